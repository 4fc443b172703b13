#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include "app/device_link.h"
#include "app/input.h"
#include "app/window.h"

namespace
{
class Input : public ::testing::Test
{
protected:
  void SetUp() override
  {
    init_input(nullptr);
    clear_input();
    clear_keys_held();
    standin_set_size(640, 360);
    SDL_SetModState(KMOD_NONE);
  }
  void TearDown() override { clear_input(); }
};

SDL_Keysym keysym(SDL_Scancode sc, SDL_Keycode sym)
{
  SDL_Keysym k = {};
  k.scancode = sc;
  k.sym = sym;
  return k;
}
} // namespace

TEST(KeyNames, TableEntries)
{
  EXPECT_STREQ(getKeyName(186), "Semicolon");
  EXPECT_STREQ(getKeyName(219), "Left bracket");
  EXPECT_STREQ(getKeyName(222), "Apostrophe");
  EXPECT_STREQ(getKeyName(4), "Middle Mouse Button");
  EXPECT_STREQ(getKeyName(46), "Delete");
  EXPECT_STREQ(getKeyName('A'), "A");
  EXPECT_STREQ(getKeyName(93), "Application");
  EXPECT_STREQ(getKeyName(111), "Divide");
  EXPECT_STREQ(getKeyName(123), "F12");
  EXPECT_STREQ(getKeyName(145), "Scroll Lock");
  EXPECT_STREQ(getKeyName(108), "?");
  EXPECT_STREQ(getKeyName(255), "?");
  EXPECT_STREQ(getKeyName(300), "?");
  EXPECT_STREQ(getKeyName(-1), "?");
}

// Every name of the table finds its code back, whatever the case and spaces; a few
// usual names stand for keys the table names otherwise.
TEST(KeyNames, CodesByName)
{
  for (int k = 1; k < 256; k++)
    if (strcmp(getKeyName(k), "?"))
    {
      EXPECT_EQ(key_code_by_name(getKeyName(k)), k) << getKeyName(k);
    }
  EXPECT_EQ(key_code_by_name("leftarrow"), VK_LEFT);
  EXPECT_EQ(key_code_by_name("PAGE down"), VK_NEXT);
  EXPECT_EQ(key_code_by_name("Return"), VK_RETURN);
  EXPECT_EQ(key_code_by_name("Esc"), VK_ESCAPE);
  EXPECT_EQ(key_code_by_name("Up"), VK_UP);
  EXPECT_EQ(key_code_by_name("PgDn"), VK_NEXT);
  EXPECT_EQ(key_code_by_name("PrintScreen"), VK_SNAPSHOT);
  EXPECT_EQ(key_code_by_name("f12"), VK_F12);
  EXPECT_EQ(key_code_by_name("?"), 0);
  EXPECT_EQ(key_code_by_name(""), 0);
  EXPECT_EQ(key_code_by_name(nullptr), 0);
  EXPECT_EQ(key_code_by_name("a very long name that fits no key at all"), 0);
}

TEST(KeyMapping, LettersFollowTheLayoutOtherKeysThePosition)
{
  // A French layout puts 'a' on the Q position: the code follows the symbol.
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_Q, SDLK_a)), 'A');
  // A symbol outside ASCII (a Cyrillic layout) falls back to the position.
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_F, 0x430)), 'F');
  // AZERTY's top row gives '&' unshifted: still the digit key 1.
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_1, '&')), '1');
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_0, SDLK_0)), '0');
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_F5, SDLK_F5)), 116);
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_UP, SDLK_UP)), VK_UP);
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN)), 34);
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_RSHIFT, SDLK_RSHIFT)), VK_SHIFT);
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER)), VK_RETURN);
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_KP_0, SDLK_KP_0)), 96);
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD)), 110);
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_SEMICOLON, 'm')), 'M'); // AZERTY's M key
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE)), 192);
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_APOSTROPHE, SDLK_QUOTE)), 222);
  EXPECT_EQ(sdl_key_to_vk(keysym(SDL_SCANCODE_F13, SDLK_F13)), 0);
}

TEST(KeyMapping, CharactersWithModifiers)
{
  //           vk   shift  ctrl   alt    caps   numlock
  EXPECT_EQ(key_to_char('A', false, false, false, false, false), 'a');
  EXPECT_EQ(key_to_char('A', true, false, false, false, false), 'A');
  EXPECT_EQ(key_to_char('A', false, false, false, true, false), 'A');
  EXPECT_EQ(key_to_char('A', true, false, false, true, false), 'a');  // Shift xor Caps
  EXPECT_EQ(key_to_char('C', false, true, false, false, false), 3);   // Ctrl+C
  EXPECT_EQ(key_to_char('A', false, false, true, false, false), 'a'); // Alt alone: the letter
  EXPECT_EQ(key_to_char('A', false, true, true, false, false), 0);    // AltGr: nothing on US
  EXPECT_EQ(key_to_char('2', false, false, false, false, false), '2');
  EXPECT_EQ(key_to_char('2', true, false, false, true, false), '@'); // Caps leaves digits alone
  EXPECT_EQ(key_to_char(VK_OEM_1, true, false, false, false, false), ':');
  EXPECT_EQ(key_to_char(VK_OEM_7, true, false, false, false, false), '"');
  EXPECT_EQ(key_to_char(VK_OEM_5, false, false, false, false, false), '\\');
  EXPECT_EQ(key_to_char(VK_OEM_4, false, true, false, false, false), 27);
  EXPECT_EQ(key_to_char(VK_NUMPAD0 + 7, false, false, false, false, true), '7');
  EXPECT_EQ(key_to_char(VK_NUMPAD0 + 7, false, false, false, false, false), 0);
  EXPECT_EQ(key_to_char(VK_DECIMAL, false, false, false, false, true), '.');
  EXPECT_EQ(key_to_char(VK_RETURN, false, false, false, false, false), 13);
  EXPECT_EQ(key_to_char(VK_RETURN, false, true, false, false, false), 10);
  EXPECT_EQ(key_to_char(VK_F1, false, false, false, false, false), 0);
  EXPECT_EQ(key_to_char(VK_SHIFT, true, false, false, false, false), 0);
}

TEST_F(Input, AutoRepeatQueuesEventsButSetsThePressOnce)
{
  post_input_event(IEV_KEY_DOWN, 'W', 0, 0, 0, 0);
  post_input_event(IEV_KEY_DOWN, 'W', 0, IEF_REPEAT, 0, 0);
  post_input_event(IEV_KEY_DOWN, 'W', 0, IEF_REPEAT, 0, 0);
  EXPECT_TRUE(keyDown('W'));
  EXPECT_FALSE(keyUp('W'));
  int n = 0;
  InputEvent ev;
  while (getEvent(ev))
  {
    EXPECT_EQ(ev.kind, IEV_KEY_DOWN);
    EXPECT_EQ(ev.flags & IEF_REPEAT, n ? IEF_REPEAT : 0);
    EXPECT_EQ(ev.chr, 'w');
    n++;
  }
  EXPECT_EQ(n, 3);
  EXPECT_TRUE(keyDown('W')); // reading the queue does not clear the flags

  // A repeat alone (the press came before the last clear) sets nothing.
  clear_input();
  post_input_event(IEV_KEY_DOWN, 'W', 0, IEF_REPEAT, 0, 0);
  EXPECT_FALSE(keyDown('W'));
  post_input_event(IEV_KEY_UP, 'W', 0, 0, 0, 0);
  EXPECT_TRUE(keyUp('W'));
  EXPECT_FALSE(keyDown(-1));
  EXPECT_FALSE(keyUp(256));
}

TEST_F(Input, ModifierFlagsAndLastKey)
{
  set_key_held(VK_SHIFT, true);
  set_key_held(VK_RBUTTON, true);
  SDL_SetModState(KMOD_CAPS);
  post_input_event(IEV_KEY_DOWN, 'Q', 0, 0, 0, 0);
  InputEvent ev;
  ASSERT_TRUE(getEvent(ev));
  EXPECT_EQ(ev.flags, IEF_SHIFT | IEF_CAPS_LOCK | IEF_RBUTTON);
  EXPECT_EQ(ev.chr, 'q'); // Shift and Caps cancel
  EXPECT_EQ(getKey(), 'Q');
  EXPECT_EQ(getChar(), 'q');
  EXPECT_TRUE(getKeyState(VK_SHIFT));
  EXPECT_FALSE(getKeyState(VK_CONTROL));
  EXPECT_FALSE(getKeyState(1000));

  post_input_event(IEV_MOUSE_DOWN, VK_LBUTTON, 0, 0, 3, 4);
  EXPECT_EQ(getKey(), VK_LBUTTON);
  EXPECT_EQ(getChar(), 0);
  clear_input();
  EXPECT_EQ(getKey(), 0);
  EXPECT_FALSE(getEvent(ev));
}

TEST_F(Input, PositionsAreClampedToTheBackBuffer)
{
  post_input_event(IEV_MOUSE_MOVE, 0, 0, 0, -5, 10000);
  float x, y;
  getMousePos(x, y);
  EXPECT_EQ(x, 0.f);
  EXPECT_EQ(y, 359.f);
  post_input_event(IEV_MOUSE_MOVE, 0, 0, 0, 700.5f, 20.25f);
  getMousePos(x, y);
  EXPECT_EQ(x, 639.f);
  EXPECT_EQ(y, 20.25f);
  // Key events carry the stored position, not their arguments.
  post_input_event(IEV_KEY_DOWN, 'A', 0, 0, 5, 5);
  InputEvent ev;
  while (getEvent(ev))
    ;
  EXPECT_EQ(ev.x, 639.f);
  EXPECT_EQ(ev.y, 20.25f);
}

TEST_F(Input, ButtonReleaseReturnsToTheStoredPosition)
{
  post_input_event(IEV_MOUSE_MOVE, 0, 0, 0, 100, 50);
  post_input_event(IEV_MOUSE_DOWN, VK_LBUTTON, 0, 0, 100, 50);
  EXPECT_TRUE(is_capturing_mouse());
  post_input_event(IEV_MOUSE_UP, VK_LBUTTON, 0, 0, 300, 200);
  EXPECT_FALSE(is_capturing_mouse());
  InputEvent ev, last;
  while (getEvent(ev))
    last = ev;
  EXPECT_EQ(last.kind, IEV_MOUSE_UP);
  EXPECT_EQ(last.x, 100.f);
  EXPECT_EQ(last.y, 50.f);
  EXPECT_TRUE(keyDown(VK_LBUTTON));
  EXPECT_TRUE(keyUp(VK_LBUTTON));
}

TEST_F(Input, WheelNotchesAccumulateUntilCleared)
{
  post_input_event(IEV_MOUSE_WHEEL, 2, 0, 0, 10, 10);
  post_input_event(IEV_MOUSE_WHEEL, -1, 0, 0, 10, 10);
  EXPECT_EQ(getMouseWheel(), 1);
  InputEvent ev;
  ASSERT_TRUE(getEvent(ev));
  EXPECT_EQ(ev.key, 0);
  EXPECT_EQ(ev.wheel, 2);
  clear_input();
  EXPECT_EQ(getMouseWheel(), 0);
}
