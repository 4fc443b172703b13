#pragma once
#include <cstdarg>
#include "engine_api.h"

// The text log is the process's standard output; there is no log file and no levels.
ENGINE_API void debug(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// Like debug, without the newline and without flushing.
ENGINE_API void debug_(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
ENGINE_API void vdebug(const char *fmt, va_list args);

// Logs "ERROR: <text>" and shows a modal box captioned "<title> - FATAL ERROR" when a
// display is available. Returns when the box is closed; does not end the program.
ENGINE_API void error_message(const char *text);

// Reports on stderr and in a message box, runs the shutdown sequence and exits with 100.
// Safe at any depth, including before any subsystem exists and during shutdown.
[[noreturn]] ENGINE_API void fatal(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Always-on assertion, reported through fatal as "file(line): failed ASSERT(cond)".
#define ASSERT(cond)                                                 \
  do                                                                 \
  {                                                                  \
    if (__builtin_expect(!(cond), 0))                                \
      fatal("%s(%d): failed ASSERT(%s)", __FILE__, __LINE__, #cond); \
  } while (0)

// The shutdown sequence that fatal runs (closing..., every close_*, closed all systems).
// The application installs it at start-up; until then fatal only reports and exits.
using ShutdownFn = void (*)();
ENGINE_API void set_fatal_shutdown(ShutdownFn fn);

// The window title, used for the caption of error boxes.
extern ENGINE_API const char *const app_window_title;

// --- on-screen error strip: the errors of the latest hot-reload attempt ---
// Non-empty text: replace the message and log "ERROR MESSAGE SET: <text>". Null or "": clear.
ENGINE_API void set_error_message(const char *text);
// Appends len characters (len < 0: the whole text) on a new line; nothing is logged
// unless log_error_appends is set.
ENGINE_API void append_error_message(const char *text, int len);
// Set by the -log-strip switch: every appended text is logged too, as "ERROR MESSAGE
// ADDED: <text>", so that the log holds everything the strip showed.
extern ENGINE_API bool log_error_appends;
ENGINE_API bool has_error_message();
// The current message, or null when there is none. Valid until the next change.
ENGINE_API const char *get_error_message();

// --- visual log: at most 100 entries of at most 127 characters, oldest first ---
ENGINE_API void visual_log(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
ENGINE_API void clear_visual_log();
ENGINE_API int visual_log_count();
ENGINE_API const char *visual_log_entry(int i); // 0 = oldest

// Drawing of both stores; implemented by the text renderer.
ENGINE_API void draw_error_message();
ENGINE_API void draw_visual_log();
