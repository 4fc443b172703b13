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
// Only a regular file of at most 1 MB is read (a FIFO or a device reads as unreadable, a
// larger file as damaged). A file in UTF-16LE with a byte-order mark, as registry
// editors export, is decoded and rewritten in that form.
// A damaged or unreadable file reads as empty (one log line); a setter moves a damaged
// file aside to "settings.reg.bad" before writing a fresh one, and leaves an unreadable
// one alone.
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
  int update_limit;             // -updates N: quit after N updates, 0 = no limit
  bool lockstep;                // -lockstep: one update per drawn frame, whatever the clock says
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
    bool shift, alt;
  };
  KeyPress presses[16]; // -press N:K, e.g. 40:H, 60:ctrl+G or 70:Return
  int press_count;
  struct Click
  {
    int update; // the simulation step it belongs to
    float x, y; // window pixels
    int button; // 1 left, 2 right
  };
  Click clicks[16]; // -click N:X,Y and -rclick N:X,Y
  int click_count;
  struct Hover
  {
    int update;
    float x, y;
  };
  Hover hovers[16]; // -hover N:X,Y: the mouse moves to (X, Y) in update N
  int hover_count;
  struct Hold
  {
    int from, to; // held from update `from` until update `to`
    int key;      // virtual key, or 1 / 2 for the mouse buttons
  };
  Hold holds[8]; // -hold N:M:KEY
  int hold_count;
  int gui_dump_at[8]; // -gui-dump N: list the active GUI screen after update N
  int gui_dump_count;
  bool start_dev; // -dev: the development mode after start-up
  bool start_play; // -play: the play mode in a new "game" world after start-up
  bool sun_given; // -sun DEG: the sun DEG degrees from the vertical
  float sun_angle;
  bool cam_given; // -cam X,Y,Z,YAW,PITCH: the camera after start-up
  float cam[5];
  struct FxPreview
  {
    int update;    // after this simulation step
    char name[64]; // the effects script's function
  };
  FxPreview fx_previews[8]; // -fx N:NAME, e.g. 40:meteor_explode
  int fx_preview_count;
  int export_at_update;      // -export-world-at N DIR: write the world after update N
  const char *export_at_dir; // (null: no export)
  const char *record_path;   // -record FILE: write the session's input there (null: none)
  const char *replay_path;   // -replay FILE: play a recorded session (null: none)
  bool autoplay;             // -autoplay SEED: the generator of app/autoplay.h plays (implies -play)
  uint64_t autoplay_seed;
  bool autoplay_shots;       // -autoplay-shots: a screenshot into every stage the autoplay log names
};
extern AppOptions app_options;

// Resets app_options and the settings it governs, applies the stored "flags",
// "land_shadows" and "gfx_quality", then the switches of argv[1..argc-1] in order.
// Switches are case-sensitive; unknown arguments are ignored.
void parse_options(int argc, const char *const *argv);
// Applies the switches of argv[0..argc-1] in order over the present app_options, as
// parse_options does after the stored values; returns how many were refused (missing or
// malformed arguments, full lists). Unknown arguments are ignored.
int apply_switches(int argc, const char *const *argv);
// The switch list for -help.
void print_help();
