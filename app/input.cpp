#include "input.h"
#include <SDL2/SDL.h>
#include <cctype>
#include <cstring>
#include "core/globals.h"
#include "core/log.h"
#include "core/mem.h"
#include "device_link.h"

bool shouldHideMouse = false;

// Key flags: bit 0 went down, bit 1 went up since the last clear_input.
enum
{
  KF_DOWN = 1,
  KF_UP = 2
};

struct EventNode
{
  InputEvent ev;
  EventNode *next;
};

// The input state; written only inside the message pump and by clear_input.
static struct
{
  EventNode *head = nullptr, *tail = nullptr; // queue, oldest first
  unsigned char key_flags[256] = {};
  bool held[256] = {};
  float mouse_x = 0, mouse_y = 0;
  int wheel = 0;
  int last_key = 0, last_char = 0;
  bool mouse_over = false;
  bool capturing = false;
  bool generated_pointer = false; // set_generated_pointer
  SDL_Window *window = nullptr;
} in;

// clang-format off
static const char *const key_names[] = {
  "?", "Left Mouse Button", "Right Mouse Button", "?", "Middle Mouse Button", "?", "?", "?",
  "Backspace", "Tab", "?", "?", "?", "Enter", "?", "?",
  "Shift", "Ctrl", "Alt", "Pause", "Caps Lock", "?", "?", "?",
  "?", "?", "?", "Escape", "?", "?", "?", "?",
  "Space", "Page Up", "Page Down", "End", "Home", "Left Arrow", "Up Arrow", "Right Arrow",
  "Down Arrow", "?", "?", "?", "?", "Insert", "Delete", "?",
  "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "?", "?", "?", "?", "?", "?",
  "?", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O",
  "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "Left Win", "Right Win", "Application", "?", "?",
  "NumPad 0", "NumPad 1", "NumPad 2", "NumPad 3", "NumPad 4", "NumPad 5", "NumPad 6", "NumPad 7",
  "NumPad 8", "NumPad 9", "Multiply", "Add", "?", "Subtract", "Decimal", "Divide",
  "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12", "?", "?", "?", "?",
  "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?",
  "Num Lock", "Scroll Lock", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?",
  "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?",
  "?", "?", "?", "?", "?", "?", "?", "?", "?", "?",
  "Semicolon", "Equals", "Comma", "Minus", "Period", "Slash", "Grave",
  "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?",
  "?", "?", "?", "?", "?", "?", "?", "?", "?", "?",
  "Left bracket", "Backslash", "Right bracket", "Apostrophe", "?",
  "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?",
  "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?", "?",
};
// clang-format on
static_assert(sizeof(key_names) / sizeof(key_names[0]) == 256, "one name per key code");

const char *getKeyName(int key)
{
  if (unsigned(key) > 255u)
    return "?";
  return key_names[key];
}

// Letters and digits of a, lower case, without spaces; false when it does not fit.
static bool key_name_folded(const char *a, char *out, int size)
{
  int n = 0;
  for (; *a; a++)
  {
    if (*a == ' ')
      continue;
    if (n + 1 >= size)
      return false;
    out[n++] = char(tolower((unsigned char)*a));
  }
  out[n] = 0;
  return n > 0;
}

int key_code_by_name(const char *name)
{
  static const struct
  {
    const char *name;
    int code;
  } aliases[] = {{"return", VK_RETURN}, {"esc", VK_ESCAPE},          {"up", VK_UP},         {"down", VK_DOWN},
                 {"left", VK_LEFT},     {"right", VK_RIGHT},         {"pgup", VK_PRIOR},    {"pgdn", VK_NEXT},
                 {"del", VK_DELETE},    {"ins", VK_INSERT},          {"plus", VK_OEM_PLUS}, {"control", VK_CONTROL},
                 {"space", VK_SPACE},   {"printscreen", VK_SNAPSHOT}};
  char want[32], have[32];
  if (!name || !key_name_folded(name, want, sizeof(want)))
    return 0;
  for (const auto &a : aliases)
    if (!strcmp(a.name, want))
      return a.code;
  for (int k = 1; k < 256; k++)
    if (strcmp(key_names[k], "?") && key_name_folded(key_names[k], have, sizeof(have)) && !strcmp(have, want))
      return k;
  return 0;
}

bool getEvent(InputEvent &ev)
{
  EventNode *n = in.head;
  if (!n)
    return false;
  ev = n->ev;
  in.head = n->next;
  if (!in.head)
    in.tail = nullptr;
  dlfree(n);
  return true;
}

void getMousePos(float &x, float &y)
{
  x = in.mouse_x;
  y = in.mouse_y;
}

void setMousePos(float x, float y)
{
  if (in.window)
    SDL_WarpMouseInWindow(in.window, int(x), int(y));
}

int getMouseWheel() { return in.wheel; }
bool isMouseOver() { return in.mouse_over; }
bool getKeyState(int key) { return unsigned(key) <= 255u && in.held[key]; }
bool keyDown(int key) { return unsigned(key) <= 255u && (in.key_flags[key] & KF_DOWN); }
bool keyUp(int key) { return unsigned(key) <= 255u && (in.key_flags[key] & KF_UP); }
int getKey() { return in.last_key; }
int getChar() { return in.last_char; }
bool is_capturing_mouse() { return in.capturing; }
void set_generated_pointer(bool on) { in.generated_pointer = on; }

void set_key_held(int key, bool held)
{
  if (unsigned(key) <= 255u)
    in.held[key] = held;
}

void clear_keys_held()
{
  for (bool &h : in.held)
    h = false;
}

void init_input(SDL_Window *window)
{
  in.window = window;
  if (window)
  {
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    in.mouse_x = float(x);
    in.mouse_y = float(y);
  }
  for (unsigned char &f : in.key_flags)
    f = 0;
}

void clear_input()
{
  for (unsigned char &f : in.key_flags)
    f = 0;
  while (in.head)
  {
    EventNode *n = in.head;
    in.head = n->next;
    dlfree(n);
  }
  in.tail = nullptr;
  in.last_key = in.last_char = 0;
  in.wheel = 0;
}

void update_mouse_over()
{
  if (in.capturing || isFullscreen || in.generated_pointer)
  {
    in.mouse_over = true;
    return;
  }
  if (!in.window || SDL_GetMouseFocus() != in.window)
  {
    in.mouse_over = false;
    return;
  }
  int x = 0, y = 0, w = 0, h = 0;
  SDL_GetMouseState(&x, &y);
  SDL_GetWindowSize(in.window, &w, &h);
  in.mouse_over = x >= 0 && y >= 0 && x < w && y < h;
}

int key_to_char(int vk, bool shift, bool ctrl, bool alt, bool caps, bool numlock)
{
  // Ctrl with Alt is AltGr on most layouts; the US layout has no AltGr characters.
  if (ctrl && alt)
    return 0;
  if (vk >= 'A' && vk <= 'Z')
  {
    if (ctrl)
      return vk - 'A' + 1;
    return (shift != caps) ? vk : vk - 'A' + 'a';
  }
  if (ctrl)
  {
    switch (vk)
    {
    case VK_OEM_4: return 27;
    case VK_OEM_5: return 28;
    case VK_OEM_6: return 29;
    case VK_RETURN: return 10;
    case VK_BACK: return 127;
    case VK_SPACE: return ' ';
    case VK_ESCAPE: return 27;
    default: return 0;
    }
  }
  if (vk >= '0' && vk <= '9')
    return shift ? ")!@#$%^&*("[vk - '0'] : vk;
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9)
    return numlock ? '0' + vk - VK_NUMPAD0 : 0;
  struct Oem
  {
    int vk;
    char plain, shifted;
  };
  static const Oem oem[] = {
    {VK_OEM_1, ';', ':'},      {VK_OEM_PLUS, '=', '+'}, {VK_OEM_COMMA, ',', '<'}, {VK_OEM_MINUS, '-', '_'},
    {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},    {VK_OEM_3, '`', '~'},     {VK_OEM_4, '[', '{'},
    {VK_OEM_5, '\\', '|'},     {VK_OEM_6, ']', '}'},    {VK_OEM_7, '\'', '"'},
  };
  for (const Oem &o : oem)
    if (o.vk == vk)
      return shift ? o.shifted : o.plain;
  switch (vk)
  {
  case VK_BACK: return 8;
  case VK_TAB: return 9;
  case VK_RETURN: return 13;
  case VK_ESCAPE: return 27;
  case VK_SPACE: return ' ';
  case VK_MULTIPLY: return '*';
  case VK_ADD: return '+';
  case VK_SUBTRACT: return '-';
  case VK_DIVIDE: return '/';
  case VK_DECIMAL: return numlock ? '.' : 0;
  default: return 0;
  }
}

static int modifier_flags()
{
  int f = 0;
  if (in.held[VK_SHIFT])
    f |= IEF_SHIFT;
  if (in.held[VK_CONTROL])
    f |= IEF_CTRL;
  if (in.held[VK_MENU])
    f |= IEF_ALT;
  SDL_Keymod mod = SDL_GetModState();
  if (mod & KMOD_CAPS)
    f |= IEF_CAPS_LOCK;
  if (mod & KMOD_SCROLL)
    f |= IEF_SCROLL_LOCK;
  if (mod & KMOD_NUM)
    f |= IEF_NUM_LOCK;
  if (in.held[VK_LBUTTON])
    f |= IEF_LBUTTON;
  if (in.held[VK_RBUTTON])
    f |= IEF_RBUTTON;
  if (in.held[VK_MBUTTON])
    f |= IEF_MBUTTON;
  return f;
}

static float clamp_coord(float v, int size)
{
  if (v > float(size - 1))
    v = float(size - 1);
  return v < 0.f ? 0.f : v;
}

// Links a filled node at the end of the queue.
static void append_event(EventNode *n)
{
  n->next = nullptr;
  if (in.tail)
    in.tail->next = n;
  else
    in.head = n;
  in.tail = n;
}

void post_input_event(int kind, int key, int scan, int flags, float x, float y)
{
  (void)scan; // the translation works from the virtual key, which is layout-aware for letters
  EventNode *n = (EventNode *)dlmalloc(sizeof(EventNode));
  ASSERT(n);
  InputEvent &ev = n->ev;
  ev = InputEvent{};
  ev.kind = kind;
  int mods = modifier_flags();
  bool key_in_table = unsigned(key) <= 255u;

  if (kind == IEV_KEY_DOWN || kind == IEV_KEY_UP)
  {
    if (key_in_table)
      in.key_flags[key] |= kind == IEV_KEY_DOWN ? (flags & IEF_REPEAT ? 0 : KF_DOWN) : KF_UP;
    ev.chr =
      key_to_char(key, mods & IEF_SHIFT, mods & IEF_CTRL, mods & IEF_ALT, mods & IEF_CAPS_LOCK, mods & IEF_NUM_LOCK);
  }
  if (kind >= IEV_KEY_DOWN && kind <= IEV_MOUSE_MOVE)
  {
    ev.key = key;
    if (kind == IEV_MOUSE_DOWN)
    {
      if (key_in_table)
        in.key_flags[key] |= KF_DOWN;
      if (in.window)
        SDL_CaptureMouse(SDL_TRUE); // unsupported on some drivers: capturing still holds
      in.capturing = true;
    }
    else if (kind == IEV_MOUSE_UP)
    {
      if (key_in_table)
        in.key_flags[key] |= KF_UP;
      if (in.window)
      {
        SDL_CaptureMouse(SDL_FALSE);
        SDL_WarpMouseInWindow(in.window, int(in.mouse_x), int(in.mouse_y));
      }
      x = in.mouse_x;
      y = in.mouse_y;
      in.capturing = false;
    }
  }
  else if (kind == IEV_MOUSE_WHEEL)
  {
    ev.key = 0;
    ev.wheel = key;
  }
  ev.flags = flags | mods;

  if (kind == IEV_KEY_DOWN || kind == IEV_KEY_UP)
  {
    ev.x = in.mouse_x;
    ev.y = in.mouse_y;
  }
  else
  {
    ev.x = clamp_coord(x, view_width());
    ev.y = clamp_coord(y, view_height());
  }

  append_event(n);

  if (kind == IEV_KEY_DOWN || kind == IEV_MOUSE_DOWN)
  {
    in.last_key = ev.key;
    in.last_char = ev.chr;
  }
  else if (kind == IEV_MOUSE_MOVE)
  {
    in.mouse_x = ev.x;
    in.mouse_y = ev.y;
  }
  else if (kind == IEV_MOUSE_WHEEL)
    in.wheel += ev.wheel;
}

void reset_input_snapshot(InputSnapshot &s)
{
  s.events.clear();
  memset(s.key_flags, 0, sizeof(s.key_flags));
  memset(s.held, 0, sizeof(s.held));
  s.mouse_x = s.mouse_y = 0.f;
  s.wheel = s.last_key = s.last_char = 0;
  s.mouse_over = s.capturing = false;
  s.app_active = true;
}

void save_input_state(InputSnapshot &s)
{
  s.events.clear();
  for (const EventNode *n = in.head; n; n = n->next)
    s.events.push_back(n->ev);
  memcpy(s.key_flags, in.key_flags, sizeof(s.key_flags));
  memcpy(s.held, in.held, sizeof(s.held));
  s.mouse_x = in.mouse_x;
  s.mouse_y = in.mouse_y;
  s.wheel = in.wheel;
  s.last_key = in.last_key;
  s.last_char = in.last_char;
  s.mouse_over = in.mouse_over;
  s.capturing = in.capturing;
  s.app_active = isAppActive;
}

void load_input_state(const InputSnapshot &s)
{
  clear_input();
  for (const InputEvent &ev : s.events)
  {
    EventNode *n = (EventNode *)dlmalloc(sizeof(EventNode));
    ASSERT(n);
    n->ev = ev;
    append_event(n);
  }
  memcpy(in.key_flags, s.key_flags, sizeof(in.key_flags));
  memcpy(in.held, s.held, sizeof(in.held));
  in.mouse_x = s.mouse_x;
  in.mouse_y = s.mouse_y;
  in.wheel = s.wheel;
  in.last_key = s.last_key;
  in.last_char = s.last_char;
  in.mouse_over = s.mouse_over;
  in.capturing = s.capturing;
  isAppActive = s.app_active;
}
