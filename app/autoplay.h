#pragma once
// -autoplay SEED: play driven by random but plausible input from a seeded generator.
// Flights with turns, climbs and speed changes, casts of the buttons' spells at the
// point under the crosshair, spells chosen in the grid (Ctrl held, a click on a slot),
// flights to the spells lying on the island, the pause menu and its options, the cheat
// menu, Ctrl-M, Ctrl-N, Ctrl-G, trips into the development mode (F9, G, H) and pauses
// with the hands off. It also plays the game: while monsters are alive it mostly hunts
// them with an attack spell, and once the portal is open it mostly flies into it; an
// island under way is not thrown away (no new world, the waves stay on).
//
// The generator (autoplay_step) sees the game only through an AutoplayView and answers
// with input events; the shell posts them through the input layer like the platform's
// own, so a recording of an autoplayed run replays like any other. The same seed and
// the same views give the same events.
#include <cstdint>
#include "core/vec4f.h"

enum AutoplayMode
{
  AUTOPLAY_MAIN_MENU,
  AUTOPLAY_PLAY,
  AUTOPLAY_DEV,
  AUTOPLAY_MENU, // the pause, defeat or cheat menu, or the options
};

// A control of the active GUI screen the generator may click.
struct AutoplayButton
{
  char text[48];
  float x, y; // its centre, window pixels
  bool enabled;
  bool spell_slot; // a spell tile (of the grid or the bar)
};

// What the generator sees before an update.
struct AutoplayView
{
  int mode = AUTOPLAY_PLAY;
  vec4f pos = vec4f(0.f, 0.f, 0.f, 1.f); // the camera
  float yaw = 0.f, pitch = 0.f;
  float ground = 0.f;       // the land or water surface under the camera
  bool pickup = false;      // a spell lies on the island:
  vec4f pickup_pos;         // the nearest one (its copy nearest to pos)
  bool monster = false;     // a monster is alive:
  vec4f monster_pos;        // the nearest one (its copy nearest to pos)
  int monsters = 0;         // how many are
  bool portal = false;      // the way to the next island is open:
  vec4f portal_pos;         // its copy nearest to pos
  int wave = 0;             // the island's latest wave (0: none yet)
  bool waves_on = true;     // the waves come (Ctrl-M turns them off)
  char bar_spell[2][48] = {}; // the spells on the left and right mouse button ("": none)
  int width = 640, height = 360;
  float mouse_sens = 0.002f; // radians of turn per pixel of mouse offset
  const char *screen = "";   // the class of the active GUI screen
  AutoplayButton buttons[40];
  int button_count = 0;
};

struct AutoplayInput
{
  int kind; // IEV_KEY_DOWN, IEV_KEY_UP, IEV_MOUSE_DOWN, IEV_MOUSE_UP or IEV_MOUSE_MOVE
  int key;  // virtual key or mouse button; 0 for a move
  float x, y;
};

constexpr int AUTOPLAY_MAX_INPUTS = 32; // per update, more than any activity needs

// The activities, in the order of their weights.
enum AutoplayActivity
{
  AP_FLY,
  AP_SEEK,    // fly to the nearest spell lying on the island
  AP_CAST,    // aim below the horizon and fire a mouse button's spell
  AP_CHOOSE,  // hold Ctrl, click a spell slot with either button
  AP_PAUSE,   // Escape, wait, perhaps the options and back, Escape
  AP_CHEATS,  // Ctrl-F12, "Add all spells" or a cheat's switch, Escape
  AP_KEYS,    // Ctrl-M, Ctrl-N or F1
  AP_NEWWORLD, // Ctrl-G
  AP_DEV,     // F9, a flight, G or H now and then, F9
  AP_IDLE,    // hands off
  AP_RECOVER, // back to play from a menu or mode the run did not choose
  // The game's own goals, chosen by what the view shows rather than by weight:
  AP_HUNT,   // turn toward the nearest monster, keep a fighting distance, cast at it
  AP_PORTAL, // fly into the open portal
  AP_COUNT,
};

struct Autoplay
{
  uint64_t rng = 0;
  int update = 0;
  int activity = AP_IDLE;
  int step = 0; // updates into the activity
  int length = 0; // its planned length in updates
  int phase = 0, count = 0;
  float target_yaw = 0.f, target_pitch = 0.f;
  float climb_floor = 6.f, climb_ceiling = 30.f; // the flight keeps between these above ground
  int move_key = 0, strafe_key = 0, rise_key = 0;
  bool fast = false;
  int button = 0; // VK_LBUTTON or VK_RBUTTON of a cast or a choice
  bool held[256] = {};
  float mouse_x = -1.f, mouse_y = -1.f; // where the inputs left the mouse (-1: not yet)
  int started[AP_COUNT] = {}; // how often each activity began
  int last_new_world = 0;     // the update of the latest Ctrl-G or G
};

void autoplay_start(Autoplay &a, uint64_t seed);
// This update's inputs for the view, written to out (at most AUTOPLAY_MAX_INPUTS);
// returns their count.
int autoplay_step(Autoplay &a, const AutoplayView &v, AutoplayInput *out);
// Releases everything held (at the end of a run); returns the count of inputs.
int autoplay_release_all(Autoplay &a, AutoplayInput *out);
const char *autoplay_activity_name(int activity);

// ---- the shell's side ----

// Starts the generator (the -autoplay switch); stage_shots: a screenshot into every
// stage the log names (-autoplay-shots).
void start_autoplay(uint64_t seed, bool stage_shots = false);
bool autoplay_running();
// Before each update: the view from the game, the inputs posted.
void autoplay_update();
// After each drawn frame: the stage screenshot that is due.
void autoplay_frame_drawn();
// At the end of the run: releases what is held and logs what the run did.
void finish_autoplay();
