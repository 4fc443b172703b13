// The sky: colour table from the script, its fallbacks and errors, interpolation between
// steps, and the sky quad on screen.
#include <cmath>
#include "core/log.h"
#include "render/device.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "tests/render/scene_test_dir.h"

namespace
{
const char *const const_script = "function get_sky_colors(angle) {\n"
                                 "  local a = angle / 100.0;\n"
                                 "  return [[a, 0.5, 0.25], [0.1, 0.2, 0.3], [0, 0, 0], [1, 1, 1], [0.2, 0.4, 0.8],\n"
                                 "          [0.6, 0.7, 0.9], [0.6, 0.7, 0.8], [3, 6, 15], [2, 8, 0.02], [2, 1, 0]];\n"
                                 "}\n";

void expect_vec(vec4f v, float x, float y, float z, float w, float eps = 1e-5f)
{
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
  EXPECT_NEAR(v.w, w, eps);
}

void expect_default_table()
{
  vec4f def[SKY_SCRIPT_COLORS];
  get_default_sky_colors(def);
  for (int i = 0; i < SKY_SCRIPT_COLORS; i++)
    EXPECT_EQ(sky_colors_drawn[i], def[i]) << "entry " << i;
}
} // namespace

TEST(SceneSky, ShippedScriptGivesDaylightAtNoonAndDerivedEntries)
{
  REQUIRE_DEVICE(320, 240);
  scenetest::ProgramDir dir;
  set_error_message(nullptr);
  init_sky();
  expect_vec(sun_dir_drawn, 0.f, 0.3162278f, 0.9486833f, 0.f);
  EXPECT_NEAR(sky_extra_light, 0.9396926f, 1e-6f);

  set_sun_dir(vec4f(0.f, 10.f, 0.f, 5.f), false);
  expect_vec(sun_dir, 0.f, 1.f, 0.f, 0.f);
  EXPECT_EQ(sun_dir_drawn, sun_dir);
  EXPECT_EQ(sun_dir_prev, sun_dir);
  // The noon entries of bin/sky.nut: white-yellow sun, blue zenith.
  expect_vec(sky_colors_drawn[0], 1.f, 0.97f, 0.9f, 0.f);
  EXPECT_GT(sky_colors_drawn[4].z, sky_colors_drawn[4].x);
  for (int k = 0; k < 3; k++)
  {
    EXPECT_NEAR(sky_colors_drawn[10][k], std::exp(-sky_colors_drawn[2][k] / 0.2f), 1e-6f);
    EXPECT_NEAR(sky_colors_drawn[11][k], std::exp(-sky_colors_drawn[2][k]), 1e-6f);
  }
  EXPECT_FALSE(has_error_message());
  close_sky();
}

TEST(SceneSky, SmoothSunMovesOverOneStep)
{
  REQUIRE_DEVICE(320, 240);
  scenetest::ProgramDir dir;
  dir.write("sky.nut", const_script);
  init_sky();
  set_sun_dir(vec4f(0.f, 1.f, 0.f, 0.f), false);
  vec4f old0 = sky_colors_drawn[0];
  step_sky();
  set_sun_dir(vec4f(1.f, 0.f, 0.f, 0.f), true); // to the horizon: angle 90
  update_sky(0.f);
  EXPECT_EQ(sun_dir_drawn, vec4f(0.f, 1.f, 0.f, 0.f));
  EXPECT_EQ(sky_colors_drawn[0], old0);
  update_sky(1.f);
  expect_vec(sun_dir_drawn, 1.f, 0.f, 0.f, 0.f);
  expect_vec(sky_colors_drawn[0], 0.9f, 0.5f, 0.25f, 0.f);
  update_sky(0.5f);
  expect_vec(sun_dir_drawn, 0.7071068f, 0.7071068f, 0.f, 0.f);
  EXPECT_NEAR(sky_colors_drawn[0].x, 0.45f, 1e-5f);
  // Entry 2 is zero here: both extinctions are 1.
  expect_vec(sky_colors_drawn[10], 1.f, 1.f, 1.f, 1.f);
  expect_vec(sky_colors_drawn[11], 1.f, 1.f, 1.f, 1.f);
  step_sky();
  update_sky(0.f);
  expect_vec(sky_colors_drawn[0], 0.9f, 0.5f, 0.25f, 0.f);
  // A zero direction stays zero instead of becoming NaN.
  set_sun_dir(vec4f(0.f), false);
  EXPECT_EQ(sun_dir, vec4f(0.f));
  close_sky();
}

TEST(SceneSky, MissingFunctionFallsBackSilently)
{
  REQUIRE_DEVICE(320, 240);
  scenetest::ProgramDir dir;
  dir.write("sky.nut", "x <- 1;\n");
  set_error_message(nullptr);
  init_sky();
  expect_default_table();
  EXPECT_FALSE(has_error_message());
  close_sky();
}

TEST(SceneSky, ScriptErrorsAreShownAndTheDefaultTableUsed)
{
  REQUIRE_DEVICE(320, 240);
  scenetest::ProgramDir dir;
  dir.write("sky.nut", "function get_sky_colors(angle) { throw \"no colours today\"; }\n");
  set_error_message(nullptr);
  init_sky();
  expect_default_table();
  ASSERT_TRUE(has_error_message());
  EXPECT_EQ(std::string(get_error_message()).rfind("Error in sky script:\n", 0), 0u);
  EXPECT_NE(std::string(get_error_message()).find("no colours today"), std::string::npos);
  close_sky();

  // Wrong shapes are errors too: nine entries, a short entry, a string component.
  const char *bad[] = {
    "function get_sky_colors(a) { return [[1,1,1],[1,1,1],[1,1,1],[1,1,1],[1,1,1],[1,1,1],[1,1,1],[1,1,1],[1,1,1]]; }",
    "function get_sky_colors(a) { local r = []; for (local i = 0; i < 10; i++) r.append([1, 1]); return r; }",
    "function get_sky_colors(a) { local r = []; for (local i = 0; i < 10; i++) r.append([1, \"x\", 1]); return r; }",
  };
  for (const char *src : bad)
  {
    dir.write("sky.nut", src);
    set_error_message(nullptr);
    init_sky();
    expect_default_table();
    EXPECT_TRUE(has_error_message()) << src;
    close_sky();
  }
  set_error_message(nullptr);
}

TEST(SceneSky, EditedScriptRecoloursAtOnce)
{
  REQUIRE_DEVICE(320, 240);
  scenetest::ProgramDir dir;
  dir.write("sky.nut", "x <- 1;\n");
  set_error_message(nullptr);
  init_sky();
  expect_default_table();
  reload_sky_if_changed(); // unchanged: nothing happens
  expect_default_table();
  dir.write("sky.nut", const_script);
  dir.touch_later("sky.nut", 5);
  set_sun_dir(vec4f(0.f, 0.f, 1.f, 0.f), true); // drawn state stays at the start direction
  reload_sky_if_changed();
  // Recomputed for the drawn direction (angle acos(0.316) = 71.57 degrees), in all states.
  EXPECT_NEAR(sky_colors_drawn[0].x, 0.7157f, 1e-3f);
  EXPECT_EQ(sky_colors_prev[0], sky_colors_drawn[0]);
  EXPECT_EQ(sky_colors[0], sky_colors_drawn[0]);

  // A broken save: its error on the strip and the old function stay, also when the sky
  // is asked again; the fix takes the error off.
  dir.write("sky.nut", "function get_sky_colors(a) { return [ ");
  dir.touch_later("sky.nut", 10);
  set_error_message(nullptr);
  reload_sky_if_changed();
  ASSERT_TRUE(has_error_message());
  EXPECT_EQ(std::string(get_error_message()).rfind("Error in sky script:\nbin/sky.nut(1,", 0), 0u) << get_error_message();
  set_sun_dir(vec4f(0.f, 1.f, 3.f, 0.f), false);
  EXPECT_TRUE(has_error_message());
  EXPECT_NEAR(sky_colors[0].x, 0.7157f, 1e-3f); // the old function still answers
  dir.write("sky.nut", const_script);
  dir.touch_later("sky.nut", 15);
  reload_sky_if_changed();
  EXPECT_FALSE(has_error_message());
  close_sky();
}

TEST(SceneSky, QuadCoversTheScreenWithSkyColours)
{
  REQUIRE_DEVICE(160, 120);
  scenetest::ProgramDir dir;
  init_sky();
  set_sun_dir(vec4f(0.f, 1.f, 0.2f, 0.f), false);
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    Matrix44 itm = Matrix44::identity();
    itm.setRow(3, vec4f(0.f, 10.f, 0.f, 1.f));
    scenetest::set_frame_camera(itm);
    set_backbuffer_target();
    clear_view(0xFFFF00FF);
    set_zenable(false);
    set_blend_none();
    render_sky();
  }));
  std::vector<uint32_t> px = vistest::read_pixels();
  ASSERT_FALSE(px.empty());
  vistest::save_png(px, "sky_noon");
  int magenta = 0;
  for (uint32_t p : px)
    magenta += (p & 0xFFFFFF) == 0xFF00FF;
  EXPECT_EQ(magenta, 0);
  // Looking at the horizon at noon: blue above, and brighter towards the horizon.
  uint32_t top = px[size_t(2) * d3d_wd + d3d_wd / 2], mid = px[size_t(d3d_ht / 2 - 4) * d3d_wd + d3d_wd / 2];
  EXPECT_GT(top & 0xFF, (top >> 16) & 0xFF);
  EXPECT_GT(((mid >> 16) & 0xFF) + ((mid >> 8) & 0xFF), ((top >> 16) & 0xFF) + ((top >> 8) & 0xFF));
  close_sky();
}
