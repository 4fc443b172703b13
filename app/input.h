#pragma once
#include <cstdint>
#include "core/engine_api.h"

// Key codes are the Win32 virtual-key numbers (the program's own codes); the SDL mapping
// lives in app/platform_sdl.cpp only.
// clang-format off
enum : int
{
  VK_LBUTTON = 1, VK_RBUTTON = 2, VK_MBUTTON = 4,
  VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13,
  VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18, VK_PAUSE = 19, VK_CAPITAL = 20,
  VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36,
  VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_SNAPSHOT = 44,
  VK_INSERT = 45, VK_DELETE = 46,
  VK_LWIN = 91, VK_RWIN = 92, VK_APPS = 93,
  VK_NUMPAD0 = 96, VK_MULTIPLY = 106, VK_ADD = 107, VK_SUBTRACT = 109, VK_DECIMAL = 110,
  VK_DIVIDE = 111,
  VK_F1 = 112, VK_F2, VK_F3, VK_F4, VK_F5, VK_F6, VK_F7, VK_F8, VK_F9, VK_F10, VK_F11, VK_F12,
  VK_NUMLOCK = 144, VK_SCROLL = 145,
  VK_OEM_1 = 186, VK_OEM_PLUS = 187, VK_OEM_COMMA = 188, VK_OEM_MINUS = 189,
  VK_OEM_PERIOD = 190, VK_OEM_2 = 191, VK_OEM_3 = 192,
  VK_OEM_4 = 219, VK_OEM_5 = 220, VK_OEM_6 = 221, VK_OEM_7 = 222,
};
// clang-format on
static_assert(VK_F12 == 123, "the function keys are numbered in a row");

enum InputEventKind
{
  IEV_KEY_DOWN = 1,
  IEV_KEY_UP = 2,
  IEV_MOUSE_DOWN = 3, // also double-click (flag 0x40)
  IEV_MOUSE_UP = 4,
  IEV_MOUSE_MOVE = 5,
  IEV_MOUSE_WHEEL = 6,
};

// Event flags: the state at the time the event was recorded.
enum : int
{
  IEF_SHIFT = 0x1,
  IEF_CTRL = 0x2,
  IEF_ALT = 0x4,
  IEF_CAPS_LOCK = 0x8,
  IEF_SCROLL_LOCK = 0x10,
  IEF_NUM_LOCK = 0x20,
  IEF_REPEAT = 0x40, // auto-repeat (kind 1) or double-click (kind 3)
  IEF_LBUTTON = 0x80,
  IEF_RBUTTON = 0x100,
  IEF_MBUTTON = 0x200,
};

// One keyboard or mouse event, shared with the game-object module: seven 32-bit fields.
struct InputEvent
{
  int kind;
  int key; // virtual key (kinds 1, 2), button 1/2/4 (kinds 3, 4), 0 otherwise
  int flags;
  int chr;    // the character the key gives (kinds 1, 2), 0 otherwise
  int wheel;  // notches, positive away from the user (kind 6)
  float x, y; // client pixels
};
static_assert(sizeof(InputEvent) == 28, "InputEvent is shared with the module");

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

// The character a key gives, as the keyboard translation of the US layout would:
// letters follow Shift xor Caps Lock, Ctrl+letter gives 1..26, the keypad gives digits
// only with Num Lock. 0 when the key gives none.
int key_to_char(int vk, bool shift, bool ctrl, bool alt, bool caps, bool numlock);
