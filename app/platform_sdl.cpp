#include <SDL2/SDL.h>
#include <cstdio>
#include <cstdlib>
#include "core/globals.h"
#include "core/lib_pin.h"
#include "core/log.h"
#include "device_link.h"
#include "input.h"
#include "main_loop.h"
#include "window.h"

SDL_Window *main_window = nullptr;
const char *const app_window_class = "ZarnithWindow";

static bool sdl_started = false;
static bool cursor_hidden = false;

// Windowed placement remembered when entering full screen.
static struct
{
  bool valid = false;
  int x = 0, y = 0, w = 0, h = 0;
} saved_window;

bool init_platform()
{
  setenv("SDL_VIDEO_X11_WMCLASS", app_window_class, 0);
  setenv("SDL_VIDEO_WAYLAND_WMCLASS", app_window_class, 0);
  // Lets setMousePos work on Wayland, which has no pointer warping of its own.
  SDL_SetHint("SDL_VIDEO_WAYLAND_EMULATE_MOUSE_WARP", "1");
  // SIGINT and SIGTERM belong to install_quit_signals.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_VIDEO) != 0)
  {
    fprintf(stderr, "can't start SDL video: %s\n", SDL_GetError());
    fflush(stderr);
    return false;
  }
  sdl_started = true;
  pin_gl_system_libraries();
  return true;
}

static SDL_Rect work_area()
{
  SDL_Rect r = {0, 0, 0, 0};
  if (SDL_GetDisplayUsableBounds(0, &r) != 0 || r.w <= 0 || r.h <= 0)
    if (SDL_GetDisplayBounds(0, &r) != 0)
      r = SDL_Rect{0, 0, 1024, 768};
  return r;
}

bool create_main_window(bool fullscreen, int &width, int &height)
{
  const SDL_Rect work = work_area();
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
  int x, y, w, h;
  if (fullscreen)
  {
    SDL_Rect screen = work;
    SDL_GetDisplayBounds(0, &screen);
    x = screen.x;
    y = screen.y;
    w = screen.w;
    h = screen.h;
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_ALWAYS_ON_TOP;
  }
  else if (width > 0 && height > 0)
  {
    // SDL takes client sizes, so the centred rectangle is the client area itself.
    w = width;
    h = height;
    x = work.x + (work.w - w) / 2;
    y = work.y + (work.h - h) / 2;
  }
  else
  {
    // No size requested: the work area, maximised (one dimension may still be requested).
    w = width > 0 ? width : work.w;
    h = height > 0 ? height : work.h;
    x = work.x + (work.w - w) / 2;
    y = work.y + (work.h - h) / 2;
    if (width <= 0)
      flags |= SDL_WINDOW_MAXIMIZED;
  }
  main_window = SDL_CreateWindow(app_window_title, x, y, w, h, flags);
  if (!main_window)
    return false;
  pin_gl_system_libraries(); // the video driver may load EGL with the first window
  SDL_ShowWindow(main_window);
  SDL_PumpEvents(); // let a maximise take effect before the client size is read
  int cw = 0, ch = 0;
  SDL_GL_GetDrawableSize(main_window, &cw, &ch);
  if (cw <= 0 || ch <= 0)
    SDL_GetWindowSize(main_window, &cw, &ch);
  if (width <= 0)
    width = cw;
  if (height <= 0)
    height = ch;
  return true;
}

void close_platform()
{
  if (cursor_hidden)
  {
    SDL_ShowCursor(SDL_ENABLE);
    cursor_hidden = false;
  }
  if (main_window)
  {
    SDL_SetWindowGrab(main_window, SDL_FALSE);
    SDL_DestroyWindow(main_window);
    main_window = nullptr;
  }
  init_input(nullptr);
  if (sdl_started)
  {
    SDL_Quit();
    sdl_started = false;
  }
}

void sleep_msec(int ms)
{
  if (ms > 0)
    SDL_Delay(Uint32(ms));
}

void clip_cursor(bool on)
{
  if (main_window)
    SDL_SetWindowGrab(main_window, on ? SDL_TRUE : SDL_FALSE);
}

// ---------------------------------------------------------------------------------------
// Key codes

int sdl_key_to_vk(const SDL_Keysym &ks)
{
  // Letters and digits follow the layout, as the virtual keys of the main block do.
  if (ks.sym >= SDLK_a && ks.sym <= SDLK_z)
    return 'A' + (ks.sym - SDLK_a);
  if (ks.sym >= SDLK_0 && ks.sym <= SDLK_9)
    return '0' + (ks.sym - SDLK_0);
  const SDL_Scancode sc = ks.scancode;
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z)
    return 'A' + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9)
    return '1' + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12)
    return VK_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9)
    return VK_NUMPAD0 + 1 + (sc - SDL_SCANCODE_KP_1);
  switch (sc)
  {
  case SDL_SCANCODE_0: return '0';
  case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
  case SDL_SCANCODE_BACKSPACE: return VK_BACK;
  case SDL_SCANCODE_TAB: return VK_TAB;
  case SDL_SCANCODE_RETURN:
  case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
  case SDL_SCANCODE_LSHIFT:
  case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
  case SDL_SCANCODE_LCTRL:
  case SDL_SCANCODE_RCTRL: return VK_CONTROL;
  case SDL_SCANCODE_LALT:
  case SDL_SCANCODE_RALT: return VK_MENU;
  case SDL_SCANCODE_PAUSE: return VK_PAUSE;
  case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
  case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
  case SDL_SCANCODE_SPACE: return VK_SPACE;
  case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
  case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
  case SDL_SCANCODE_END: return VK_END;
  case SDL_SCANCODE_HOME: return VK_HOME;
  case SDL_SCANCODE_LEFT: return VK_LEFT;
  case SDL_SCANCODE_UP: return VK_UP;
  case SDL_SCANCODE_RIGHT: return VK_RIGHT;
  case SDL_SCANCODE_DOWN: return VK_DOWN;
  case SDL_SCANCODE_PRINTSCREEN: return VK_SNAPSHOT;
  case SDL_SCANCODE_INSERT: return VK_INSERT;
  case SDL_SCANCODE_DELETE: return VK_DELETE;
  case SDL_SCANCODE_LGUI: return VK_LWIN;
  case SDL_SCANCODE_RGUI: return VK_RWIN;
  case SDL_SCANCODE_APPLICATION: return VK_APPS;
  case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
  case SDL_SCANCODE_KP_PLUS: return VK_ADD;
  case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
  case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
  case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
  case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
  case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
  case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
  case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
  case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
  case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
  case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
  case SDL_SCANCODE_SLASH: return VK_OEM_2;
  case SDL_SCANCODE_GRAVE: return VK_OEM_3;
  case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
  case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
  case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
  case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
  default: return 0;
  }
}

// ---------------------------------------------------------------------------------------
// Full screen

void set_fullscreen(bool on)
{
  int ret_w = 0, ret_h = 0;
  if (!isFullscreen)
  {
    if (main_window)
    {
      SDL_GetWindowPosition(main_window, &saved_window.x, &saved_window.y);
      SDL_GetWindowSize(main_window, &saved_window.w, &saved_window.h);
      saved_window.valid = saved_window.w > 0 && saved_window.h > 0;
    }
    ret_w = saved_window.w;
    ret_h = saved_window.h;
  }
  else if (saved_window.valid)
  {
    ret_w = saved_window.w;
    ret_h = saved_window.h;
  }
  else
  {
    ret_w = view_width() / 2;
    ret_h = view_height() / 2;
  }

  device_link.resize(on ? 0 : ret_w, on ? 0 : ret_h, on, true); // sets isFullscreen

  if (!main_window)
    return;
  if (on)
  {
    SDL_SetWindowFullscreen(main_window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_SetWindowAlwaysOnTop(main_window, SDL_TRUE);
    clip_cursor(true);
  }
  else
  {
    SDL_SetWindowFullscreen(main_window, 0);
    SDL_SetWindowAlwaysOnTop(main_window, SDL_FALSE);
    if (saved_window.valid)
    {
      SDL_SetWindowSize(main_window, saved_window.w, saved_window.h);
      SDL_SetWindowPosition(main_window, saved_window.x, saved_window.y);
    }
    else
    {
      SDL_SetWindowSize(main_window, view_width(), view_height());
      SDL_SetWindowPosition(main_window, 0, 0);
    }
    clip_cursor(false);
  }
}

// ---------------------------------------------------------------------------------------
// Events

static bool window_minimised = false;
static bool window_focused = true; // the offscreen driver sends no focus events

static void set_active(bool active)
{
  if (active == isAppActive)
    return;
  isAppActive = active;
  if (isFullscreen)
    clip_cursor(active);
}

static void post_quit()
{
  isAppActive = false;
  SDL_Event q = {};
  q.type = SDL_QUIT;
  SDL_PushEvent(&q);
}

static int button_code(Uint8 b)
{
  switch (b)
  {
  case SDL_BUTTON_LEFT: return VK_LBUTTON;
  case SDL_BUTTON_RIGHT: return VK_RBUTTON;
  case SDL_BUTTON_MIDDLE: return VK_MBUTTON;
  default: return 0;
  }
}

// The held state changes before the event is recorded, so its flags include the key.
static void post_key(int kind, const SDL_Keysym &ks, int flags)
{
  int vk = sdl_key_to_vk(ks);
  if (!vk)
    return;
  set_key_held(vk, kind == IEV_KEY_DOWN);
  float mx, my;
  getMousePos(mx, my);
  post_input_event(kind, vk, ks.scancode, flags, mx, my);
}

void window_proc(const SDL_Event &e)
{
  switch (e.type)
  {
  case SDL_WINDOWEVENT:
    switch (e.window.event)
    {
    case SDL_WINDOWEVENT_CLOSE: post_quit(); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      window_focused = true;
      set_active(!window_minimised);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      // Releases that happen elsewhere never reach us: nothing stays held.
      clear_keys_held();
      window_focused = false;
      set_active(false);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      window_minimised = true;
      set_active(false);
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
      window_minimised = false;
      set_active(window_focused);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      if (!window_minimised && !isFullscreen && e.window.data1 > 0 && e.window.data2 > 0)
        device_link.resize(e.window.data1, e.window.data2, false, false);
      break;
    default: break; // EXPOSED: the frame loop draws anyway
    }
    break;

  case SDL_KEYDOWN:
  {
    const SDL_Keysym &ks = e.key.keysym;
    if (ks.mod & KMOD_ALT)
    {
      if (ks.scancode == SDL_SCANCODE_F4)
      {
        post_quit();
        break;
      }
      if (ks.scancode == SDL_SCANCODE_RETURN || ks.scancode == SDL_SCANCODE_KP_ENTER)
      {
        set_fullscreen(!isFullscreen);
        break;
      }
    }
    post_key(IEV_KEY_DOWN, ks, e.key.repeat ? IEF_REPEAT : 0);
    break;
  }
  case SDL_KEYUP: post_key(IEV_KEY_UP, e.key.keysym, 0); break;
  case SDL_MOUSEMOTION: post_input_event(IEV_MOUSE_MOVE, 0, 0, 0, float(e.motion.x), float(e.motion.y)); break;
  case SDL_MOUSEBUTTONDOWN:
  {
    int b = button_code(e.button.button);
    if (!b)
      break;
    set_key_held(b, true);
    if (e.button.clicks >= 2)
      post_input_event(IEV_MOUSE_DOWN, b, 0, IEF_REPEAT, float(e.button.x), float(e.button.y));
    else
    {
      if (main_window && SDL_GetKeyboardFocus() != main_window)
        SDL_SetWindowInputFocus(main_window);
      post_input_event(IEV_MOUSE_DOWN, b, 0, 0, float(e.button.x), float(e.button.y));
    }
    break;
  }
  case SDL_MOUSEBUTTONUP:
  {
    int b = button_code(e.button.button);
    if (!b)
      break;
    set_key_held(b, false);
    post_input_event(IEV_MOUSE_UP, b, 0, 0, float(e.button.x), float(e.button.y));
    break;
  }
  case SDL_MOUSEWHEEL:
  {
    int notches = e.wheel.y;
    if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
      notches = -notches;
    post_input_event(IEV_MOUSE_WHEEL, notches, 0, 0, float(e.wheel.mouseX), float(e.wheel.mouseY));
    break;
  }
  default: break;
  }
}

static void update_cursor_visibility()
{
  bool hide = isAppActive && (isMouseOver() || isFullscreen) && shouldHideMouse;
  if (hide != cursor_hidden)
  {
    SDL_ShowCursor(hide ? SDL_DISABLE : SDL_ENABLE);
    cursor_hidden = hide;
  }
}

void process_window_messages()
{
  if (!sdl_started)
    return;
  SDL_Event e;
  while (SDL_PollEvent(&e))
  {
    if (e.type == SDL_QUIT)
      request_quit();
    else
      window_proc(e);
  }
  update_mouse_over();
  update_cursor_visibility();
}

void process_quit_messages()
{
  if (!sdl_started)
    return;
  SDL_PumpEvents();
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_QUIT, SDL_QUIT) > 0)
    request_quit();
}

void discard_input_messages()
{
  if (!sdl_started)
    return;
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_KEYDOWN, SDL_MOUSEWHEEL); // keys, text input, mouse motion, buttons and wheel
}
