#include "log.h"
#include <SDL2/SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <unistd.h>
#include "dyn_array.h"

const char *const app_window_title = "Zarnith 0.14 DEMO";

static ShutdownFn fatal_shutdown = nullptr;
static bool in_fatal = false;

void set_fatal_shutdown(ShutdownFn fn) { fatal_shutdown = fn; }

void vdebug(const char *fmt, va_list args) { vfprintf(stdout, fmt, args); }

void debug_(const char *fmt, ...)
{
  va_list ap;
  va_start(ap, fmt);
  vdebug(fmt, ap);
  va_end(ap);
}

void debug(const char *fmt, ...)
{
  va_list ap;
  va_start(ap, fmt);
  vdebug(fmt, ap);
  va_end(ap);
  fputc('\n', stdout);
  fflush(stdout);
}

// Message boxes would block a headless run, so they are only shown where a display can
// exist: not under the offscreen or dummy video drivers, not without X11 or Wayland.
static bool message_box_possible()
{
  const char *drv = SDL_GetCurrentVideoDriver();
  if (!drv)
    drv = getenv("SDL_VIDEODRIVER");
  if (drv && (!strcasecmp(drv, "offscreen") || !strcasecmp(drv, "dummy")))
    return false;
  return getenv("DISPLAY") || getenv("WAYLAND_DISPLAY");
}

void error_message(const char *text)
{
  debug("ERROR: %s", text);
  if (!message_box_possible())
    return;
  char caption[256];
  snprintf(caption, sizeof(caption), "%s - FATAL ERROR", app_window_title);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr); // -1 is ignored
}

void fatal(const char *fmt, ...)
{
  va_list ap;
  fputs("\n\n", stderr);
  va_start(ap, fmt);
  vfprintf(stderr, fmt, ap);
  va_end(ap);
  fputs("\n", stderr);
  fflush(stdout);
  fflush(stderr);

  char text[4096];
  va_start(ap, fmt);
  vsnprintf(text, sizeof(text), fmt, ap);
  va_end(ap);
  error_message(text);

  // A fatal error inside the shutdown sequence must not run it again.
  if (!in_fatal)
  {
    in_fatal = true;
    if (fatal_shutdown)
      fatal_shutdown();
  }
  fflush(stdout);
  fflush(stderr);
  _exit(100);
}

// The error message: a NUL-terminated text, or empty (no bytes at all).
static DynArray<char> error_text;
bool log_error_appends = false;

void set_error_message(const char *text)
{
  if (!text || !*text)
  {
    error_text.clear();
    return;
  }
  error_text.clear();
  error_text.append(text, int(strlen(text)) + 1);
  debug("ERROR MESSAGE SET: %s", text);
}

void append_error_message(const char *text, int len)
{
  if (!text || len == 0)
    return;
  if (len < 0)
    len = int(strlen(text));
  if (len == 0)
    return;
  if (error_text.empty())
    error_text.push(0);
  else
    error_text.insert(error_text.size() - 1, '\n');
  error_text.insert(error_text.size() - 1, text, len);
  if (log_error_appends)
    debug("ERROR MESSAGE ADDED: %.*s", len, text);
}

bool has_error_message() { return !error_text.empty(); }
const char *get_error_message() { return error_text.empty() ? nullptr : error_text.data(); }

struct VisualLogEntry
{
  char text[128];
};
static DynArray<VisualLogEntry> visual_log_entries;

void visual_log(const char *fmt, ...)
{
  VisualLogEntry e;
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(e.text, sizeof(e.text), fmt, ap);
  va_end(ap);
  visual_log_entries.push(e);
  if (visual_log_entries.size() > 100)
    visual_log_entries.erase(0, visual_log_entries.size() - 100);
}

void clear_visual_log() { visual_log_entries.release(); }
int visual_log_count() { return visual_log_entries.size(); }
const char *visual_log_entry(int i)
{
  return i >= 0 && i < visual_log_entries.size() ? visual_log_entries[i].text : nullptr;
}
