#include "settings.h"
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "core/log.h"
#include "core/scripted_casts.h"
#include "core/user_dirs.h"
#include "input.h"
#include "settings_file.h"

AppOptions app_options = {};

// ---------------------------------------------------------------------------------------
// The file (its format is settings_file.cpp's)

static std::string config_dir()
{
  std::string base;
  const char *xdg = getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/')
    base = xdg;
  else
  {
    const char *home = getenv("HOME");
    if (!home || !*home)
    {
      const passwd *pw = getpwuid(getuid());
      home = pw && pw->pw_dir ? pw->pw_dir : "/tmp";
    }
    base = std::string(home) + "/.config";
  }
  return base + "/Oblenko Games/Zarnith";
}

static std::string config_path() { return config_dir() + "/settings.reg"; }

const char *config_file_path()
{
  static std::string path;
  path = config_path();
  return path.c_str();
}

static bool write_all(int fd, const std::string &s)
{
  size_t done = 0;
  while (done < s.size())
  {
    ssize_t w = write(fd, s.data() + done, s.size() - done);
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      return false;
    done += size_t(w);
  }
  return true;
}

// Replaces (or adds) one value line and writes the file atomically.
static bool store_value(const char *name, const std::string &value_text)
{
  if (!name)
    return false;
  std::string dir = config_dir();
  if (!make_dirs(dir.c_str()))
    return false;
  const std::string path = config_path();
  RegFile f = read_reg_file(path.c_str());
  if (f.unreadable)
    return false; // rewriting it would lose what we could not read
  if (f.damaged)
  {
    // Keep the damaged file for whoever wants to look at it; start a fresh one.
    std::string bad = path + ".bad";
    if (rename(path.c_str(), bad.c_str()) != 0)
      return false;
    debug("settings: moved the damaged file to '%s'", bad.c_str());
    forget_reported_damage();
  }

  std::string out = compose_reg_file(f, name, value_text);
  std::string tmp = path + ".tmp" + std::to_string(getpid());
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  bool ok = write_all(fd, out) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(tmp.c_str(), path.c_str()) != 0)
  {
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool set_config_int(const char *name, int value)
{
  char text[32];
  snprintf(text, sizeof(text), "dword:%08x", uint32_t(value));
  return store_value(name, text);
}

bool set_config_str(const char *name, const char *text, int len)
{
  if (!text)
    text = "";
  size_t n = len < 0 ? strlen(text) : size_t(len);
  return store_value(name, escape_text(text, n));
}

bool get_config_int(const char *name, int &value)
{
  return name && lookup_int(read_reg_file(config_file_path()), name, value);
}

bool get_config_str(const char *name, char *buf, int size)
{
  return name && buf && size > 0 && lookup_str(read_reg_file(config_file_path()), name, buf, size);
}

// ---------------------------------------------------------------------------------------
// Switches

// Number arguments: decimal or 0x-hex, the whole text. False leaves the argument unused.
static bool parse_u64(const char *s, uint64_t &out)
{
  if (!s || !*s || *s == '-' || *s == '+')
    return false;
  char *end = nullptr;
  errno = 0;
  unsigned long long v = strtoull(s, &end, 0);
  if (errno || *end)
    return false;
  out = v;
  return true;
}

static void set_size(int w, int h)
{
  app_options.width = w;
  app_options.height = h;
}

// "WxH": a window size, each side 64 to 16384.
static bool parse_size(const char *a)
{
  unsigned long w, h;
  int used = -1;
  if (!a || strspn(a, "0123456789x") != strlen(a) || sscanf(a, "%lux%lu%n", &w, &h, &used) != 2 ||
      used != int(strlen(a)) || w < 64 || h < 64 || w > 16384 || h > 16384)
    return false;
  set_size(int(w), int(h));
  return true;
}

// A switch given more often than its list holds sets this to the list's size, so that
// the message says so instead of calling the argument malformed.
static int switch_limit_hit = 0;

// False, noting the limit, when a list of max entries is full.
static bool has_room(int count, int max)
{
  if (count < max)
    return true;
  switch_limit_hit = max;
  return false;
}

struct Switch
{
  const char *name;
  const char *arg; // name of the argument for -help, null when the switch takes none
  const char *help;
  // Applies the switch; arg is the next command-line argument (or null). Returns false
  // when a required argument is missing or malformed.
  bool (*apply)(const char *arg);
  // Instead of apply, for a switch that takes the next two arguments (either may be null).
  bool (*apply2)(const char *a, const char *b) = nullptr;
};

// "N:KEY": KEY a key name (a letter, a digit, F1..F12, Return, Escape, Space, Tab,
// Up ...; see key_code_by_name), with "ctrl+", "shift+" or "alt+" in front for the
// modifiers held with it.
static bool parse_press(const char *a)
{
  if (!a || !has_room(app_options.press_count, 16))
    return false;
  char *end = nullptr;
  long n = strtol(a, &end, 10);
  if (end == a || *end != ':' || n < 1 || n > 0x7fffffff)
    return false;
  const char *k = end + 1;
  AppOptions::KeyPress p = {int(n), 0, false, false, false};
  for (;;)
  {
    if (strncasecmp(k, "ctrl+", 5) == 0)
      p.ctrl = true, k += 5;
    else if (strncasecmp(k, "shift+", 6) == 0)
      p.shift = true, k += 6;
    else if (strncasecmp(k, "alt+", 4) == 0)
      p.alt = true, k += 4;
    else
      break;
  }
  p.key = key_code_by_name(k);
  if (!p.key || p.key == VK_LBUTTON || p.key == VK_RBUTTON || p.key == VK_MBUTTON)
    return false;
  app_options.presses[app_options.press_count++] = p;
  return true;
}

// "N:X,Y": update N and window pixel (X, Y).
static bool parse_update_point(const char *a, int &n, float &x, float &y)
{
  long u;
  int used = -1;
  if (!a || sscanf(a, "%ld:%f,%f%n", &u, &x, &y, &used) != 3 || used != int(strlen(a)) || u < 1 || u > 0x7fffffff ||
      !std::isfinite(x) || !std::isfinite(y))
    return false;
  n = int(u);
  return true;
}

// "N:X,Y": a click of button at window pixel (X, Y) in update N.
static bool parse_click(const char *a, int button)
{
  AppOptions::Click c = {0, 0.f, 0.f, button};
  if (!has_room(app_options.click_count, 16) || !parse_update_point(a, c.update, c.x, c.y))
    return false;
  app_options.clicks[app_options.click_count++] = c;
  return true;
}

// "N:X,Y": the mouse moves to window pixel (X, Y) in update N.
static bool parse_hover(const char *a)
{
  AppOptions::Hover h = {};
  if (!has_room(app_options.hover_count, 16) || !parse_update_point(a, h.update, h.x, h.y))
    return false;
  app_options.hovers[app_options.hover_count++] = h;
  return true;
}

// "N:M:KEY": KEY (a key name, or LMB / RMB for the mouse buttons) goes down in update N
// and up in update M.
static bool parse_hold(const char *a)
{
  if (!a || !has_room(app_options.hold_count, 8))
    return false;
  long from, to;
  int used = -1;
  if (sscanf(a, "%ld:%ld:%n", &from, &to, &used) != 2 || used < 0 || from < 1 || to <= from || to > 0x7fffffff)
    return false;
  const char *k = a + used;
  int key = strcasecmp(k, "lmb") == 0 ? VK_LBUTTON : strcasecmp(k, "rmb") == 0 ? VK_RBUTTON : key_code_by_name(k);
  if (!key)
    return false;
  app_options.holds[app_options.hold_count++] = {int(from), int(to), key};
  return true;
}

// "N:SPELL,X,Z": in update N the local player casts SPELL at the world point (X, Z).
static bool parse_cast(const char *a)
{
  if (!a || scripted_cast_count >= MAX_SCRIPTED_CASTS)
    return false;
  long n;
  char name[16];
  float x, z;
  int used = -1;
  if (sscanf(a, "%ld:%15[a-z],%f,%f%n", &n, name, &x, &z, &used) != 4 || used != int(strlen(a)) || n < 1 ||
      n > 0x7fffffff || !std::isfinite(x) || !std::isfinite(z) || !is_scripted_cast_spell(name))
    return false;
  ScriptedCast &c = scripted_casts[scripted_cast_count++];
  c.update = int(n);
  memcpy(c.spell, name, sizeof(c.spell));
  c.x = x;
  c.z = z;
  return true;
}

// clang-format off
// "N:NAME": an effects-script function name after update N.
static bool parse_fx_preview(const char *a)
{
  if (!a || !has_room(app_options.fx_preview_count, 8))
    return false;
  char *end = nullptr;
  long n = strtol(a, &end, 10);
  if (end == a || *end != ':' || n < 1 || n > 0x7fffffff)
    return false;
  const char *name = end + 1;
  size_t len = strlen(name);
  if (len == 0 || len >= sizeof(AppOptions::FxPreview::name))
    return false;
  for (size_t i = 0; i < len; i++)
    if (!isalnum((unsigned char)name[i]) && name[i] != '_')
      return false;
  AppOptions::FxPreview &fx = app_options.fx_previews[app_options.fx_preview_count++];
  fx.update = int(n);
  memcpy(fx.name, name, len + 1);
  return true;
}

static const Switch switches[] = {
  {"-720", nullptr, "request a 1280 x 720 window", [](const char *) { set_size(1280, 720); return true; }},
  {"-360", nullptr, "request a 640 x 360 window", [](const char *) { set_size(640, 360); return true; }},
  {"-1024", nullptr, "request a 1280 x 1024 window", [](const char *) { set_size(1280, 1024); return true; }},
  {"-size", "WxH", "request a W x H window (each 64 to 16384; small sizes make quick headless test runs)",
   [](const char *a) { return parse_size(a); }},
  {"-aa", nullptr, "anti-aliasing post-effect on", [](const char *) { use_ppaa = true; return true; }},
  {"-noaa", nullptr, "anti-aliasing post-effect off", [](const char *) { use_ppaa = false; return true; }},
  {"-vs", nullptr, "vertical sync on", [](const char *) { app_use_vsync = true; return true; }},
  {"-novs", nullptr, "vertical sync off", [](const char *) { app_use_vsync = false; return true; }},
  {"-fullscr", nullptr, "start in full screen", [](const char *) { app_options.fullscreen = true; return true; }},
  {"-win", nullptr, "start in a window", [](const char *) { app_options.fullscreen = false; return true; }},
  {"-gfx-high", nullptr, "high graphics quality (deferred lighting)", [](const char *) { gfx_quality = GFX_QUALITY_HIGH; return true; }},
  {"-gfx-low", nullptr, "low graphics quality (forward pipeline)", [](const char *) { gfx_quality = GFX_QUALITY_LOW; return true; }},
  {"-seed", "N", "use N as the world's random seed instead of the clock",
   [](const char *a) {
     uint64_t v;
     if (!parse_u64(a, v))
       return false;
     app_options.seed_given = true;
     app_options.seed = v;
     return true;
   }},
  {"-frames", "N", "quit normally after N presented frames (N at least 1) and log frame timings",
   [](const char *a) {
     uint64_t v;
     if (!parse_u64(a, v) || v == 0 || v > 0x7fffffff)
       return false;
     app_options.frame_limit = int(v);
     return true;
   }},
  {"-updates", "N", "quit normally after N simulation updates (N at least 1; scripted runs that must reach an update)",
   [](const char *a) {
     uint64_t v;
     if (!parse_u64(a, v) || v == 0 || v > 0x7fffffff)
       return false;
     app_options.update_limit = int(v);
     return true;
   }},
  {"-lockstep", nullptr,
   "run exactly one update before every drawn frame, whatever the clock says, so that frame N shows the world "
   "after update N (repeatable screenshots on a slow renderer; the game then runs slower or faster than real time)",
   [](const char *) { app_options.lockstep = true; return true; }},
  {"-export-world", "DIR",
   "generate the game world without a window (-seed N makes it repeatable), write height.png, color.png, "
   "water.png, marks.png and world.json to DIR, then exit",
   [](const char *a) {
     if (!a || !*a || a[0] == '-') // a forgotten DIR: the next switch is no folder name
       return false;
     app_options.export_world_dir = a;
     return true;
   }},
  {"-export-world-at", "N DIR",
   "after update N, write the current world (the files of -export-world, and in world.json the object count of "
   "every class list) to DIR, in any mode; the program goes on",
   nullptr,
   [](const char *n, const char *dir) {
     uint64_t v;
     if (!parse_u64(n, v) || v == 0 || v > 0x7fffffff || !dir || !*dir)
       return false;
     app_options.export_at_update = int(v);
     app_options.export_at_dir = dir;
     return true;
   }},
  {"-screenshot-at", "N", "take a screenshot after drawn frame N (up to 8 times)",
   [](const char *a) {
     uint64_t v;
     if (!parse_u64(a, v) || v == 0 || v > 0x7fffffff || !has_room(app_options.screenshot_count, 8))
       return false;
     app_options.screenshot_at[app_options.screenshot_count++] = int(v);
     return true;
   }},
  {"-press", "N:KEY",
   "press KEY in update N (up to 16): a key name (A, 7, F5, Return, Escape, Space, Tab, Up, Down, Left, Right, "
   "PgUp ...), ctrl+, shift+ or alt+ in front for modifiers",
   [](const char *a) { return parse_press(a); }},
  {"-click", "N:X,Y", "press and release the left mouse button at window pixel (X, Y) in update N (up to 16)",
   [](const char *a) { return parse_click(a, VK_LBUTTON); }},
  {"-rclick", "N:X,Y", "the same with the right mouse button",
   [](const char *a) { return parse_click(a, VK_RBUTTON); }},
  {"-hover", "N:X,Y", "move the mouse to window pixel (X, Y) in update N (up to 16)",
   [](const char *a) { return parse_hover(a); }},
  {"-hold", "N:M:KEY", "hold KEY (a key name as for -press, or LMB / RMB) from update N until update M (up to 8)",
   [](const char *a) { return parse_hold(a); }},
  {"-gui-dump", "N",
   "after update N, log the active GUI screen: one line per element, indented by depth, with its class, "
   "'text', rectangle x0,y0,x1,y1 and states (up to 8)",
   [](const char *a) {
     uint64_t v;
     if (!parse_u64(a, v) || v == 0 || v > 0x7fffffff || !has_room(app_options.gui_dump_count, 8))
       return false;
     app_options.gui_dump_at[app_options.gui_dump_count++] = int(v);
     return true;
   }},
  {"-dev", nullptr, "enter the development mode after start-up (without -cam: 60 above the map's south, looking north)",
   [](const char *) {
     app_options.start_dev = true;
     return true;
   }},
  {"-play", nullptr, "enter the play mode with a new game world after start-up",
   [](const char *) {
     app_options.start_play = true;
     return true;
   }},
  {"-cast", "N:SPELL,X,Z",
   "in update N the player casts SPELL (hill, pit, fault, meteor, fireball, waterball, watersource, watersink, "
   "lightning, thunderstorm, healing, house, castle) at the world point (X, Z), ignoring mana and cooldown; a "
   "fireball or waterball goes for a monster flying within 12 of the point, a house or castle takes the nearest "
   "plot that fits (within 6 or 16 cells; the log says what is in the way when none does) (up to 16)",
   [](const char *a) { return parse_cast(a); }},
  {"-sun", "DEG", "put the sun DEG degrees from the vertical after start-up",
   [](const char *a) {
     char *end = nullptr;
     float v = a ? strtof(a, &end) : 0.f;
     if (!a || end == a || *end || !(v >= 0.f && v <= 180.f))
       return false;
     app_options.sun_given = true;
     app_options.sun_angle = v;
     return true;
   }},
  {"-cam", "X,Y,Z,YAW,PITCH", "place the camera after start-up (angles in degrees)",
   [](const char *a) {
     float v[5];
     if (!a || sscanf(a, "%f,%f,%f,%f,%f", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5)
       return false;
     for (int i = 0; i < 5; i++)
       if (!std::isfinite(v[i]))
         return false;
     app_options.cam_given = true;
     memcpy(app_options.cam, v, sizeof(v));
     return true;
   }},
  {"-fx", "N:NAME", "after update N run the effects script's NAME at the land under the view's centre (up to 8)",
   [](const char *a) { return parse_fx_preview(a); }},
  {"-record", "FILE",
   "record the session to FILE: the seed, the window size, the switches that change the simulation and every "
   "update's input (runs in lockstep); at exit the log shows the world hash",
   [](const char *a) {
     if (!a || !*a || a[0] == '-')
       return false;
     app_options.record_path = a;
     return true;
   }},
  {"-replay", "FILE",
   "play the session recorded in FILE instead of the real input, with its seed, size and switches, and quit after "
   "its last update; a world hash that differs from the recorded one ends it with \"replay diverged at update N\" "
   "and exit code 3",
   [](const char *a) {
     if (!a || !*a || a[0] == '-')
       return false;
     app_options.replay_path = a;
     return true;
   }},
  {"-autoplay", "SEED",
   "play with random but plausible input from a generator seeded with SEED: flights, casts, the spell grid, "
   "pick-ups, menus, Ctrl-M, Ctrl-G, the development mode; while monsters are alive it mostly hunts them, and it "
   "flies into an open portal, so it plays island after island (implies -play; for soak tests)",
   [](const char *a) {
     uint64_t v;
     if (!parse_u64(a, v))
       return false;
     app_options.autoplay = true;
     app_options.autoplay_seed = v;
     app_options.start_play = true;
     return true;
   }},
  {"-autoplay-shots", nullptr,
   "with -autoplay: a screenshot three seconds into every stage the log names (a wave, the portal open, a new "
   "island), one as the player reaches the portal and one at the start",
   [](const char *) {
     app_options.autoplay_shots = true;
     return true;
   }},
  {"-log-strip", nullptr, "log every line added to the on-screen error strip, not only the ones that replace it",
   [](const char *) { log_error_appends = true; return true; }},
  {"-help", nullptr, "print this list and exit", [](const char *) { app_options.show_help = true; return true; }},
};
// clang-format on

void parse_options(int argc, const char *const *argv)
{
  app_options = AppOptions{};
  scripted_cast_count = 0;
  log_error_appends = false;
  app_use_vsync = true;
  use_ppaa = false;

  // The file is read once for all the stored values.
  const RegFile stored = read_reg_file(config_file_path());
  int flags = 0;
  if (lookup_int(stored, "flags", flags))
  {
    app_options.fullscreen = flags & 1;
    use_ppaa = flags & 2;
    app_use_vsync = flags & 4;
    use_obj_shadows = flags & 8;
  }
  int shadows = 0;
  if (lookup_int(stored, "land_shadows", shadows))
    land_shadow_quality = shadows;
  char quality[32];
  if (lookup_str(stored, "gfx_quality", quality, sizeof(quality)))
    for (int i = 0; gfx_quality_name[i]; i++)
      if (strcasecmp(gfx_quality_name[i], quality) == 0)
      {
        gfx_quality = i;
        break;
      }

  if (argc > 1)
    apply_switches(argc - 1, argv + 1);
}

int apply_switches(int argc, const char *const *argv)
{
  int refused = 0;
  for (int i = 0; i < argc; i++)
  {
    if (!argv[i])
      continue;
    for (const Switch &s : switches)
    {
      if (strcmp(argv[i], s.name) != 0)
        continue;
      if (s.apply2)
      {
        const char *a = i + 1 < argc ? argv[i + 1] : nullptr, *b = i + 2 < argc ? argv[i + 2] : nullptr;
        if (!s.apply2(a, b))
        {
          debug("switch %s: missing or malformed %s, ignored", s.name, s.arg);
          refused++;
        }
        else
          i += 2;
        break;
      }
      const char *arg = s.arg && i + 1 < argc ? argv[i + 1] : nullptr;
      switch_limit_hit = 0;
      if (s.apply(arg))
      {
        if (s.arg)
          i++; // the argument was used
      }
      else if (switch_limit_hit && arg)
      {
        debug("switch %s: at most %d, %s ignored", s.name, switch_limit_hit, arg);
        refused++;
      }
      else
      {
        debug("switch %s: missing or malformed %s, ignored", s.name, s.arg);
        refused++;
      }
      break;
    }
  }
  return refused;
}

void print_help()
{
  printf("usage: zarnith [switches]\n\nswitches (later ones override earlier ones and the stored settings):\n");
  for (const Switch &s : switches)
  {
    char left[32];
    snprintf(left, sizeof(left), "%s%s%s", s.name, s.arg ? " " : "", s.arg ? s.arg : "");
    printf("  %-17s %s\n", left, s.help);
  }
  printf("\nsettings file: %s\n", config_file_path());
  fflush(stdout);
}
