#pragma once
#include <cstdint>
#include <vector>
#include "core/engine_api.h"

#include "core/input_event.h"

// Everything collected here is dropped by clear_input after every simulation update, so
// each press is seen by exactly one update; per-frame readers (the GUI) use getEvent.
ENGINE_API bool getEvent(InputEvent &ev);
ENGINE_API void getMousePos(float &x, float &y);
// Moves the system cursor; the stored position follows when the motion event arrives.
ENGINE_API void setMousePos(float x, float y);
ENGINE_API int getMouseWheel();
ENGINE_API bool isMouseOver();
ENGINE_API bool getKeyState(int key); // held now
ENGINE_API bool keyDown(int key);     // went down since the last clear (false outside 0..255)
ENGINE_API bool keyUp(int key);       // went up since the last clear
ENGINE_API const char *getKeyName(int key);
// The code of a key name: the names of getKeyName and a few usual others (Return, Esc,
// Up, Down, Left, Right, PgUp, PgDn, Del, Ins, Plus, PrintScreen), ignoring letter
// case and spaces. 0 when none matches.
ENGINE_API int key_code_by_name(const char *name);
ENGINE_API int getKey();
ENGINE_API int getChar();

// Set by the game modes: hide the cursor over the window while the mouse looks around.
extern ENGINE_API bool shouldHideMouse;

struct SDL_Window;
// Stores the window (null: no window, as in tests), reads the cursor, clears the flags.
void init_input(SDL_Window *window);
void clear_input();
void update_mouse_over();
void post_input_event(int kind, int key, int scan, int flags, float x, float y);

// The held state, written by the platform layer before it posts the event.
void set_key_held(int key, bool held);
void clear_keys_held();
bool is_capturing_mouse();
// Generated input (-autoplay) owns the pointer: it is over the window whatever the
// system's pointer does (a headless run has none).
void set_generated_pointer(bool on);

// The character a key gives, as the keyboard translation of the US layout would:
// letters follow Shift xor Caps Lock, Ctrl+letter gives 1..26, the keypad gives digits
// only with Num Lock. 0 when the key gives none.
int key_to_char(int vk, bool shift, bool ctrl, bool alt, bool caps, bool numlock);

// Everything the simulation reads of the input between two clears, for recording and
// replaying a session: the queued events and the key, mouse and focus state.
struct InputSnapshot
{
  std::vector<InputEvent> events; // queued, oldest first
  unsigned char key_flags[256];   // bit 0 went down, bit 1 went up since the last clear
  bool held[256];
  float mouse_x, mouse_y;
  int wheel;
  int last_key, last_char;
  bool mouse_over;
  bool capturing;
  bool app_active; // isAppActive
};
// The state with nothing held or queued, the mouse at (0, 0) outside the window, the
// application active: what a recording's first update starts from.
void reset_input_snapshot(InputSnapshot &s);
void save_input_state(InputSnapshot &s);
// Replaces the whole input state (the queue included) with s.
void load_input_state(const InputSnapshot &s);
