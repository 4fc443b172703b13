#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include "app/device_link.h"
#include "app/input.h"
#include "app/main_loop.h"
#include "app/window.h"
#include "core/globals.h"

// The window layer under SDL's offscreen driver (set by CTest). That driver sends no
// focus events, so activation is driven by injected window events.
namespace
{
class Window : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(init_platform());
    isFullscreen = false;
    isAppActive = true;
    reset_quit_request();
  }
  void TearDown() override
  {
    clear_input();
    clear_keys_held();
    close_platform();
    reset_quit_request();
    isFullscreen = false;
  }
  void open(int w, int h)
  {
    int ww = w, hh = h;
    ASSERT_TRUE(create_main_window(false, ww, hh));
    standin_set_size(ww, hh);
    init_input(main_window);
    process_window_messages();
    clear_input();
  }
};

void push_key(Uint32 type, SDL_Scancode sc, SDL_Keycode sym, Uint16 mod, bool repeat = false)
{
  SDL_Event e = {};
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = repeat;
  e.key.keysym.scancode = sc;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = mod;
  SDL_PushEvent(&e);
}

void push_window(Uint8 ev, int d1 = 0, int d2 = 0)
{
  SDL_Event e = {};
  e.type = SDL_WINDOWEVENT;
  e.window.event = ev;
  e.window.data1 = d1;
  e.window.data2 = d2;
  SDL_PushEvent(&e);
}

std::vector<InputEvent> drain()
{
  std::vector<InputEvent> v;
  InputEvent ev;
  while (getEvent(ev))
    v.push_back(ev);
  return v;
}
} // namespace

TEST_F(Window, RequestedSizeIsTheClientSize)
{
  open(640, 360);
  ASSERT_NE(main_window, nullptr);
  int w = 0, h = 0;
  SDL_GetWindowSize(main_window, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 360);
  EXPECT_TRUE(SDL_GetWindowFlags(main_window) & SDL_WINDOW_OPENGL);
  EXPECT_STREQ(SDL_GetWindowTitle(main_window), "Zarnith 0.14 DEMO");
}

TEST_F(Window, NoSizeTakesTheWholeWorkArea)
{
  int w = 0, h = 0;
  ASSERT_TRUE(create_main_window(false, w, h));
  SDL_Rect work;
  ASSERT_EQ(SDL_GetDisplayUsableBounds(0, &work), 0);
  EXPECT_EQ(w, work.w);
  EXPECT_EQ(h, work.h);
}

TEST_F(Window, KeysBecomeEventsWithCodesAndHeldState)
{
  open(640, 360);
  push_key(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT);
  push_key(SDL_KEYDOWN, SDL_SCANCODE_W, SDLK_w, KMOD_LSHIFT);
  push_key(SDL_KEYDOWN, SDL_SCANCODE_W, SDLK_w, KMOD_LSHIFT, true);
  process_window_messages();
  EXPECT_TRUE(getKeyState('W'));
  EXPECT_TRUE(getKeyState(VK_SHIFT));
  EXPECT_TRUE(keyDown('W'));
  push_key(SDL_KEYUP, SDL_SCANCODE_W, SDLK_w, KMOD_LSHIFT);
  process_window_messages();
  EXPECT_FALSE(getKeyState('W'));
  EXPECT_TRUE(keyUp('W'));

  auto evs = drain();
  ASSERT_EQ(evs.size(), 4u);
  EXPECT_EQ(evs[0].key, VK_SHIFT);
  EXPECT_EQ(evs[1].kind, IEV_KEY_DOWN);
  EXPECT_EQ(evs[1].key, 'W');
  EXPECT_EQ(evs[1].chr, 'W');
  EXPECT_EQ(evs[1].flags & (IEF_SHIFT | IEF_REPEAT), IEF_SHIFT);
  EXPECT_EQ(evs[2].flags & IEF_REPEAT, IEF_REPEAT);
  EXPECT_EQ(evs[3].kind, IEV_KEY_UP);
}

TEST_F(Window, AltEnterTogglesFullScreenWithoutAnEvent)
{
  open(640, 360);
  push_key(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);
  process_window_messages();
  EXPECT_TRUE(isFullscreen);
  EXPECT_TRUE(SDL_GetWindowFlags(main_window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
  EXPECT_FALSE(keyDown(VK_RETURN));
  push_key(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_RALT, true);
  process_window_messages();
  EXPECT_FALSE(isFullscreen);
  EXPECT_EQ(view_width(), 640);
  EXPECT_EQ(view_height(), 360);
  EXPECT_TRUE(drain().empty());
  EXPECT_FALSE(quit_requested());
}

TEST_F(Window, AltF4AndCloseQuit)
{
  open(640, 360);
  push_key(SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT);
  process_window_messages(); // posts the quit
  process_window_messages(); // which arrives now at the latest
  EXPECT_TRUE(quit_requested());
  EXPECT_FALSE(isAppActive);
  EXPECT_TRUE(drain().empty());

  reset_quit_request();
  isAppActive = true;
  push_window(SDL_WINDOWEVENT_CLOSE);
  process_window_messages();
  process_window_messages();
  EXPECT_TRUE(quit_requested());
}

TEST_F(Window, ActivationFollowsFocusAndMinimising)
{
  open(640, 360);
  push_window(SDL_WINDOWEVENT_FOCUS_LOST);
  process_window_messages();
  EXPECT_FALSE(isAppActive);
  push_window(SDL_WINDOWEVENT_FOCUS_GAINED);
  process_window_messages();
  EXPECT_TRUE(isAppActive);
  push_window(SDL_WINDOWEVENT_MINIMIZED);
  process_window_messages();
  EXPECT_FALSE(isAppActive);
  push_window(SDL_WINDOWEVENT_FOCUS_GAINED);
  process_window_messages();
  EXPECT_FALSE(isAppActive); // still minimised
  push_window(SDL_WINDOWEVENT_RESTORED);
  process_window_messages();
  EXPECT_TRUE(isAppActive);
}

TEST_F(Window, ResizeReachesTheDeviceUnlessMinimised)
{
  open(640, 360);
  push_window(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600);
  process_window_messages();
  EXPECT_EQ(view_width(), 800);
  EXPECT_EQ(view_height(), 600);
  push_window(SDL_WINDOWEVENT_MINIMIZED);
  push_window(SDL_WINDOWEVENT_SIZE_CHANGED, 1, 1);
  process_window_messages();
  EXPECT_EQ(view_width(), 800);
}

TEST_F(Window, MouseButtonsWheelAndDoubleClicks)
{
  open(640, 360);
  SDL_Event e = {};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_MIDDLE;
  e.button.clicks = 1;
  e.button.x = 10;
  e.button.y = 20;
  SDL_PushEvent(&e);
  e.button.clicks = 2;
  SDL_PushEvent(&e);
  e.type = SDL_MOUSEBUTTONUP;
  SDL_PushEvent(&e);
  SDL_Event w = {};
  w.type = SDL_MOUSEWHEEL;
  w.wheel.y = -2;
  w.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  w.wheel.mouseX = 5;
  w.wheel.mouseY = 6;
  SDL_PushEvent(&w);
  process_window_messages();

  auto evs = drain();
  std::vector<InputEvent> mine;
  for (const InputEvent &ev : evs)
    if (ev.kind != IEV_MOUSE_MOVE) // the release's cursor warp may add a move
      mine.push_back(ev);
  ASSERT_EQ(mine.size(), 4u);
  EXPECT_EQ(mine[0].kind, IEV_MOUSE_DOWN);
  EXPECT_EQ(mine[0].key, VK_MBUTTON);
  EXPECT_EQ(mine[0].flags & IEF_MBUTTON, IEF_MBUTTON);
  EXPECT_EQ(mine[0].x, 10.f);
  EXPECT_EQ(mine[1].flags & IEF_REPEAT, IEF_REPEAT);
  EXPECT_EQ(mine[2].kind, IEV_MOUSE_UP);
  EXPECT_EQ(mine[3].kind, IEV_MOUSE_WHEEL);
  EXPECT_EQ(mine[3].wheel, 2); // flipped
  EXPECT_EQ(mine[3].x, 5.f);
  EXPECT_EQ(getMouseWheel(), 2);
  EXPECT_FALSE(getKeyState(VK_MBUTTON));
}
