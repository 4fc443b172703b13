#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include "app/camera.h"
#include "app/device_link.h"
#include "app/game_modes.h"
#include "app/input.h"
#include "app/settings.h"
#include "core/globals.h"
#include "gameobj/gameobj.h"
#include "render/sky.h"
#include "world/heightmap.h"

namespace
{
struct CountingMode : GameMode
{
  int enters = 0, leaves = 0;
  GameMode *last_prev = nullptr, *last_next = nullptr;
  void onEnter(GameMode *prev) override
  {
    enters++;
    last_prev = prev;
  }
  void onLeave(GameMode *next) override
  {
    leaves++;
    last_next = next;
  }
  void update(float) override {}
  void render(float) override {}
  void renderOverlay(float) override {}
};

class Modes : public ::testing::Test
{
protected:
  void SetUp() override
  {
    cur_game_mode = nullptr;
    camera = CameraState{};
    init_input(nullptr);
    clear_input();
    clear_keys_held();
    standin_set_size(640, 360);
    isAppActive = true;
    should_close_game_menu = false;
  }
  void TearDown() override
  {
    clear_input();
    clear_keys_held();
    cur_game_mode = nullptr;
    should_close_game_menu = false;
  }
  static void press(int vk)
  {
    set_key_held(vk, true);
    post_input_event(IEV_KEY_DOWN, vk, 0, 0, 0.f, 0.f);
  }
};
} // namespace

TEST_F(Modes, SetGameModeCallsLeaveThenEnterAndIgnoresTheCurrentMode)
{
  CountingMode a, b;
  set_game_mode(&a);
  EXPECT_EQ(a.enters, 1);
  EXPECT_EQ(a.last_prev, nullptr);
  set_game_mode(&a);
  EXPECT_EQ(a.enters, 1);
  EXPECT_EQ(a.leaves, 0);
  set_game_mode(&b);
  EXPECT_EQ(a.leaves, 1);
  EXPECT_EQ(a.last_next, &b);
  EXPECT_EQ(b.enters, 1);
  EXPECT_EQ(b.last_prev, &a);
  EXPECT_EQ(cur_game_mode, &b);
}

TEST_F(Modes, F9TogglesPlayAndDevelopment)
{
  cur_game_mode = play_mode;
  press(VK_F9);
  handle_common_keys();
  EXPECT_EQ(cur_game_mode, dev_mode);
  clear_input();
  clear_keys_held();
  press(VK_F9);
  handle_common_keys();
  EXPECT_EQ(cur_game_mode, play_mode);
}

TEST_F(Modes, F9FromTheGameMenuGoesToDevelopmentWithoutTheMenusReturn)
{
  cur_game_mode = play_mode;
  set_game_mode(game_menu_mode);
  EXPECT_EQ(game_menu_mode->returnMode, play_mode);
  should_close_game_menu = true; // would send the menu back to play
  press(VK_F9);
  game_menu_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, dev_mode);
  // And the menu closing by itself returns to the remembered mode.
  clear_input();
  clear_keys_held();
  should_close_game_menu = false;
  set_game_mode(game_menu_mode);
  EXPECT_EQ(game_menu_mode->returnMode, dev_mode);
  should_close_game_menu = true;
  game_menu_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, dev_mode);
}

TEST_F(Modes, EscapeOpensTheGameMenuExceptInTheMainMenu)
{
  cur_game_mode = main_menu_mode;
  press(VK_ESCAPE);
  handle_common_keys();
  EXPECT_EQ(cur_game_mode, main_menu_mode);
  clear_input();
  clear_keys_held();
  cur_game_mode = dev_mode;
  press(VK_ESCAPE);
  handle_common_keys();
  EXPECT_EQ(cur_game_mode, game_menu_mode);
  EXPECT_EQ(game_menu_mode->returnMode, dev_mode);
}

TEST_F(Modes, GlobalTogglesAndInactiveWindow)
{
  cur_game_mode = dev_mode;
  const bool fps = show_fps, postfx = use_postfx, ppaa = use_ppaa;
  land_shadow_quality = 2;
  press(VK_F1);
  press(VK_F6);
  handle_common_keys();
  EXPECT_NE(show_fps, fps);
  EXPECT_NE(use_ppaa, ppaa);
  clear_input();
  clear_keys_held();
  press(VK_SHIFT);
  press(VK_F5);
  handle_common_keys();
  EXPECT_EQ(land_shadow_quality, 0); // 2 wraps to 0
  EXPECT_EQ(use_postfx, postfx);     // Shift+F5 leaves the post-effect alone
  clear_input();
  clear_keys_held();
  // Keys do nothing while the window is inactive.
  isAppActive = false;
  press(VK_F9);
  handle_common_keys();
  EXPECT_EQ(cur_game_mode, dev_mode);
  show_fps = fps;
  use_ppaa = ppaa;
}

TEST_F(Modes, HelpTextFollowsTheModeAndSunAngle)
{
  cur_game_mode = dev_mode;
  EXPECT_EQ(cur_help_text(), dev_help_text);
  cur_game_mode = main_menu_mode;
  EXPECT_EQ(cur_help_text(), play_help_text);
  EXPECT_NE(std::string(dev_help_text).find("R: erode land\n"), std::string::npos);
  EXPECT_EQ(sun_angle_degrees(vec4f(0.f, 1.f, 0.f, 0.f)), 0);
  EXPECT_EQ(sun_angle_degrees(vec4f(0.f, 0.f, 1.f, 0.f)), 90);
  EXPECT_EQ(sun_angle_degrees(vec4f(0.f, 0.5f, 0.8660254f, 0.f)), 60);
  EXPECT_EQ(sun_angle_degrees(vec4f(0.f, 1.0001f, 0.f, 0.f)), 0); // rounding past 1
}

TEST_F(Modes, MainMenuFlightClimbsOverLandAndStaysInsideTheWorld)
{
  // A ridge across the flight path: the camera must clear it.
  HeightmapData::reset();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HeightmapData::height(x, z) = (z >= 20 && z < 40) ? 12.f : 0.f;
  memcpy(HeightmapData::target_hmap, HeightmapData::hmap, sizeof(HeightmapData::hmap));
  set_game_mode(main_menu_mode);
  EXPECT_NEAR(camera.pos.y, 5.f, 1e-4f); // at the origin, 5 above the (flat) ground
  float prev_x = camera.pos.x, prev_z = camera.pos.z, max_y = 0.f;
  for (int i = 0; i < 120; i++)
  {
    main_menu_mode->update(0.05f);
    const vec4f p = camera.pos;
    ASSERT_TRUE(p.x >= 0.f && p.x < 256.f && p.z >= 0.f && p.z < 256.f) << i;
    // Never inside the land under it.
    const float ground = HeightmapData::calcSquareDepth(vec4f(p.x, 0.f, p.z, 1.f), 0.5f, true).y;
    EXPECT_GE(p.y + 1e-3f, ground) << i;
    // Half a unit per step at 10 units per second, wrapped.
    const float step = std::hypot(wrap_coord(p.x - prev_x), wrap_coord(p.z - prev_z));
    EXPECT_LE(step, 0.5f + 1e-3f);
    prev_x = p.x;
    prev_z = p.z;
    EXPECT_NEAR(camera.yaw, menu_flight.yaw_target - menu_flight.yaw_rate, 1e-5f);
    max_y = std::max(max_y, p.y);
  }
  EXPECT_GT(max_y, 12.f); // went over the ridge
  EXPECT_GT(menu_flight.time, 5.9f);
  HeightmapData::reset();
}

TEST_F(Modes, RightButtonPutsTheSunWhereTheDevelopmentCameraLooks)
{
  HeightmapData::reset();
  set_game_mode(dev_mode);
  set_camera_pos(vec4f(100.f, 40.f, 60.f, 1.f));
  camera.yaw = 0.7f;
  camera.pitch = 0.4f;
  set_sun_dir(vec4f(0.f, 1.f, 0.f, 0.f), false);
  dev_mode->update(0.05f);
  EXPECT_NEAR(sun_dir.y, 1.f, 1e-6f) << "without the button the sun stays";

  set_key_held(VK_RBUTTON, true);
  dev_mode->update(0.05f);
  const vec4f fwd = cur_view_itm.row(2);
  EXPECT_NEAR(sun_dir.x, fwd.x, 1e-5f);
  EXPECT_NEAR(sun_dir.y, fwd.y, 1e-5f);
  EXPECT_NEAR(sun_dir.z, fwd.z, 1e-5f);
  EXPECT_GT(sun_dir.y, 0.3f) << "looking up puts the sun up";
  // Smoothly: the drawn sun moves there over the step.
  EXPECT_NEAR(sun_dir_prev.y, 1.f, 1e-6f);
  update_sky(0.5f);
  EXPECT_GT(sun_dir_drawn.y, fwd.y);
  EXPECT_LT(sun_dir_drawn.y, 1.f);

  // Only in the development mode.
  set_game_mode(play_mode);
  set_sun_dir(vec4f(0.f, 1.f, 0.f, 0.f), false);
  play_mode->update(0.05f);
  EXPECT_NEAR(sun_dir.y, 1.f, 1e-6f);
  set_key_held(VK_RBUTTON, false);
}
