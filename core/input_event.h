#pragma once
// The program's input codes and the input event: the types the input layer (app/input.h)
// records and the GUI and the game-object module read.
#include <cstdint>

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
