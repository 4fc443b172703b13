#include <cmath>
#include <gtest/gtest.h>
#include "app/camera.h"
#include "app/device_link.h"
#include "app/input.h"
#include "core/globals.h"

namespace
{
class Camera : public ::testing::Test
{
protected:
  void SetUp() override
  {
    camera = CameraState{};
    init_input(nullptr);
    clear_input();
    clear_keys_held();
    standin_set_size(640, 360);
    isAppActive = true;
  }
  void TearDown() override
  {
    clear_input();
    clear_keys_held();
  }
  static void tap(int vk)
  {
    set_key_held(vk, true);
    post_input_event(IEV_KEY_DOWN, vk, 0, 0, 0.f, 0.f);
    set_key_held(vk, false);
    post_input_event(IEV_KEY_UP, vk, 0, 0, 0.f, 0.f);
  }
  // One play step: the input of the step, the update, then the input is gone.
  static void play_step(float dt)
  {
    play_control_update(dt);
    clear_input();
  }
};
} // namespace

TEST_F(Camera, PositionInterpolatesAcrossTheWorldSeam)
{
  camera.prev_pos = vec4f(255.9f, 3.f, 0.1f, 1.f);
  camera.pos = vec4f(0.1f, 5.f, 255.9f, 1.f);
  // Through 256 in x (a 0.2 step forward) and through 0 in z (a 0.2 step back).
  Matrix44 m = calc_camera_tm(0.5f);
  EXPECT_NEAR(m.m[3][0], 256.0f, 1e-3f);
  EXPECT_NEAR(m.m[3][1], 4.0f, 1e-5f);
  EXPECT_NEAR(m.m[3][2], 0.0f, 1e-3f);
  EXPECT_EQ(m.m[3][3], 1.f);
  m = calc_camera_tm(1.f);
  EXPECT_NEAR(m.m[3][0], 256.1f, 1e-3f);
  EXPECT_NEAR(wrap_coord256(-0.5f), 255.5f, 1e-3f);
  EXPECT_NEAR(wrap_coord256(300.f), 44.f, 1e-3f);
  const float far = wrap_coord256(-1e7f);
  EXPECT_TRUE(far >= 0.f && far < 256.f);
  EXPECT_EQ(wrap_coord256(NAN), 0.f);
}

TEST_F(Camera, MatrixIsAnOrthonormalFrameWithRoll)
{
  camera.yaw = 0.7f;
  camera.pitch = -0.4f;
  camera.roll = camera.prev_roll = 0.3f;
  const Matrix44 m = calc_camera_tm(0.f);
  for (int i = 0; i < 3; i++)
  {
    EXPECT_NEAR(length3(m.row(i)), 1.f, 1e-5f);
    EXPECT_EQ(m.m[i][3], 0.f);
    for (int j = i + 1; j < 3; j++)
      EXPECT_NEAR(dot3(m.row(i), m.row(j)), 0.f, 1e-5f);
  }
  // Left-handed: right x up = forward.
  const vec4f f = cross3(m.row(1), m.row(0));
  EXPECT_NEAR(dot3(f, m.row(2)), -1.f, 1e-5f);
  // Yaw 0, pitch 0 looks along +z.
  camera = CameraState{};
  const Matrix44 z = calc_camera_tm(0.f);
  EXPECT_EQ(z.row(2), vec4f(0.f, 0.f, 1.f, 0.f));
  EXPECT_EQ(z.row(0), vec4f(1.f, 0.f, 0.f, 0.f));
}

TEST_F(Camera, PitchStopsAtTheLimitsAndYawWraps)
{
  apply_dev_look(0.f, -1e6f, 1.f);
  EXPECT_EQ(camera.pitch, 1.5707964f);
  apply_dev_look(0.f, 1e6f, 1.f);
  EXPECT_EQ(camera.pitch, -1.5707964f);
  camera.yaw = 6.28f;
  apply_dev_look(-10.f, 0.f, 1.f); // +0.02
  EXPECT_NEAR(camera.yaw, 6.30f - 6.2831855f, 1e-5f);
  camera.yaw = -6.28f;
  apply_play_look(10.f, 0.f, 0.f);
  EXPECT_NEAR(camera.yaw, -6.30f + 6.2831855f, 1e-5f);
  // Zoom divides the sensitivity; play turns roll the camera with speed.
  camera.yaw = 0.f;
  apply_dev_look(100.f, 0.f, 4.f);
  EXPECT_NEAR(camera.yaw, -0.05f, 1e-6f);
  camera.roll = 0.f;
  apply_play_look(100.f, 0.f, 0.5f);
  EXPECT_NEAR(camera.roll, 0.2f * 0.5f * 0.2f, 1e-6f);
}

TEST_F(Camera, DoubleTapStartsADashUntilTheNextPress)
{
  tap('W');
  play_step(0.05f);
  EXPECT_EQ(camera.dash, 0);
  tap('W'); // 0.05 s later: inside the 0.2 s window
  play_step(0.05f);
  EXPECT_EQ(camera.dash, 1);
  for (int i = 0; i < 5; i++)
    play_step(0.05f);
  EXPECT_EQ(camera.dash, 1); // lasts while no new press comes
  tap('W');                  // the window has run out: a single tap again
  play_step(0.05f);
  EXPECT_EQ(camera.dash, 0);
  // Backward: S then Down within the window.
  tap('S');
  play_step(0.05f);
  tap(VK_DOWN);
  play_step(0.05f);
  EXPECT_EQ(camera.dash, -1);
  // Dash speed: 8 * dt * 2, forward component -1 with no keys held.
  EXPECT_NEAR(camera.hspeed, 0.8f, 1e-5f);
}

TEST_F(Camera, PlayRollDecaysAndInactiveWindowReleasesTheMouse)
{
  camera.roll = 1.f;
  camera.mouse_captured = true;
  shouldHideMouse = true;
  isAppActive = false;
  play_control_update(0.05f);
  EXPECT_NEAR(camera.roll, 0.8f, 1e-6f);
  EXPECT_FALSE(camera.mouse_captured);
  EXPECT_FALSE(shouldHideMouse);
  camera.roll = 1.f;
  play_control_update(0.5f); // 1 - 4 * 0.5 < 0: no sign flip
  EXPECT_EQ(camera.roll, 0.f);
}

TEST_F(Camera, DevFlightAndZoom)
{
  set_key_held('W', true);
  set_key_held(VK_SHIFT, true);
  dev_fly_update(0.05f);
  EXPECT_NEAR(camera.pos.z, 5.55f * 0.05f * 6.f, 1e-5f);
  set_key_held(VK_SHIFT, false);
  set_key_held('W', false);
  set_key_held(VK_HOME, true);
  dev_fly_update(0.05f);
  EXPECT_NEAR(camera.pos.y, 5.55f * 0.05f, 1e-5f);
  set_key_held(VK_HOME, false);
  set_key_held(VK_MBUTTON, true);
  for (int i = 0; i < 20; i++)
    dev_fly_update(0.05f);
  EXPECT_EQ(camera.zoom, 8.f);
  set_key_held(VK_MBUTTON, false);
  dev_fly_update(0.05f);
  EXPECT_EQ(camera.zoom, 7.f);
  for (int i = 0; i < 20; i++)
    dev_fly_update(0.05f);
  EXPECT_EQ(camera.zoom, 1.f);
}

TEST_F(Camera, StartOfUpdateKeepsThePreviousStateAndFadesTheTint)
{
  camera.pos = vec4f(1.f, 2.f, 3.f, 1.f);
  camera.roll = 0.5f;
  camera.zoom = 3.f;
  cur_frame_color = vec4f(1.f, 0.5f, 0.25f, 1.f);
  camera_begin_update(0.05f);
  EXPECT_EQ(camera.prev_pos, camera.pos);
  EXPECT_EQ(camera.prev_roll, 0.5f);
  EXPECT_EQ(camera.prev_zoom, 3.f);
  EXPECT_NEAR(cur_frame_color.w, 1.f * (1.f - 0.025f) - 0.025f, 1e-6f);
  EXPECT_EQ(cur_frame_color.x, 1.f);
  for (int i = 0; i < 100; i++)
    camera_begin_update(0.05f);
  EXPECT_EQ(cur_frame_color.w, 0.f);
}

TEST_F(Camera, ProjectionAndViewResults)
{
  const Matrix44 p = calc_projection(1.f, 2.f);
  const float c = 1.f / std::tan(1.2915436f / 2.f);
  EXPECT_NEAR(p.m[0][0], c / 2.f, 1e-6f);
  EXPECT_NEAR(p.m[1][1], c, 1e-6f);
  EXPECT_EQ(p.m[2][2], 1.0001954f);
  EXPECT_EQ(p.m[2][3], 1.f);
  EXPECT_EQ(p.m[3][2], -0.10001954f);
  // Near and far planes map to depth 0 and 1.
  vec4f n = transform_point(vec4f(0.f, 0.f, 0.1f, 1.f), p);
  vec4f f = transform_point(vec4f(0.f, 0.f, 512.f, 1.f), p);
  EXPECT_NEAR(n.z / n.w, 0.f, 1e-4f);
  EXPECT_NEAR(f.z / f.w, 1.f, 1e-4f);
  // Zoom narrows the field of view.
  EXPECT_GT(calc_projection(2.f, 2.f).m[1][1], c * 2.f);

  set_camera_pos(vec4f(10.f, 20.f, 30.f, 1.f));
  camera.yaw = 0.3f;
  compute_view(1.f, 16.f / 9.f);
  const vec4f eye = transform_point(vec4f(10.f, 20.f, 30.f, 1.f), cur_view_tm);
  EXPECT_NEAR(length3(eye), 0.f, 1e-4f);
  vec4f rk(0.f);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++)
      rk[j] += std::fabs(cur_glob_tm.m[i][j]);
  EXPECT_EQ(cur_glob_rk, rk);
}
