#pragma once
#include <cstdint>
#include "core/engine_api.h"
#include "core/gfx_settings.h" // the settings parse_options governs

// --- the per-user configuration store ---
// One .reg-syntax file, ${XDG_CONFIG_HOME:-$HOME/.config}/Oblenko Games/Zarnith/settings.reg,
// holding the values of the key [HKEY_CURRENT_USER\SOFTWARE\Oblenko Games\Zarnith].
// Names compare without regard to letter case. Values are 32-bit integers (dword) or
// byte texts (no terminator stored). Each call reads the file once; setters rewrite it
// through a temporary file and rename, keeping every line they do not own.
// A damaged or unreadable file reads as empty (one log line); a setter moves a damaged
// file aside to "settings.reg.bad" before writing a fresh one.
ENGINE_API bool set_config_int(const char *name, int value);
// Stores len bytes of text; len < 0: strlen(text).
ENGINE_API bool set_config_str(const char *name, const char *text, int len);
// True only if the value exists and is an integer; otherwise value is left unchanged.
ENGINE_API bool get_config_int(const char *name, int &value);
// Reads at most size - 1 bytes and terminates them; true only if the value is a text.
ENGINE_API bool get_config_str(const char *name, char *buf, int size);

// Full path of the settings file (valid until the next call).
const char *config_file_path();

// What the command line and the store ask of the start-up; filled by parse_options.
struct AppOptions
{
  bool fullscreen;   // full screen wanted
  int width, height; // requested client size, 0 = not requested (the window opens maximised)
  bool seed_given;   // -seed N: use seed instead of the clock for game_rnd_seed
  uint64_t seed;
  int frame_limit;              // -frames N: quit after N presented frames, 0 = run until closed
  bool show_help;               // -help
  const char *export_world_dir; // -export-world DIR: write the generated world there and exit (null: run)
  // Scripted runs (screenshots, measurements without a person at the keyboard):
  int screenshot_at[8]; // -screenshot-at N: take a screenshot after drawn frame N
  int screenshot_count;
  struct KeyPress
  {
    int update; // the simulation step the press belongs to (1 = the first)
    int key;    // virtual-key code
    bool ctrl;  // with Ctrl held
  };
  KeyPress presses[16]; // -press N:K, e.g. 40:H or 60:ctrl+G
  int press_count;
  bool start_dev; // -dev: the development mode after start-up
  bool sun_given; // -sun DEG: the sun DEG degrees from the vertical
  float sun_angle;
  bool cam_given; // -cam X,Y,Z,YAW,PITCH: the camera after start-up
  float cam[5];
};
extern AppOptions app_options;

// Resets app_options and the settings it governs, applies the stored "flags",
// "land_shadows" and "gfx_quality", then the switches of argv[1..argc-1] in order.
// Switches are case-sensitive; unknown arguments are ignored.
void parse_options(int argc, const char *const *argv);
// The switch list for -help.
void print_help();
