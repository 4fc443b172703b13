// Debug geometry drawn on the device and read back.
#include "render/debug_vis.h"
#include "render/shaders.h"
#include "tests/render/vis_test_window.h"

namespace
{
// An orthographic view-projection: world x, y in [-10, 10] fill the screen, z in
// [-10, 10] maps to depth [0, 1]. Registers 0..3 hold the matrix rows.
void set_ortho_view()
{
  const float rows[16] = {0.1f, 0, 0, 0, 0, 0.1f, 0, 0, 0, 0, 0.05f, 0, 0, 0, 0.5f, 1};
  set_vs_consts(0, rows, 4);
}

void begin_scene_2d()
{
  set_backbuffer_target();
  clear_view(D3dColor(0xFF000000u));
  set_zenable(false);
  set_zwrite(false);
  set_blend_none();
  set_ortho_view();
}

// Pixel of the top-down back buffer.
uint32_t px_at(const std::vector<uint32_t> &px, int x, int y) { return px[size_t(y) * d3d_wd + x] | 0xFF000000u; }

bool near_has(const std::vector<uint32_t> &px, int x, int y, uint32_t c)
{
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++)
      if (px_at(px, x + dx, y + dy) == c)
        return true;
  return false;
}

int draw_calls_seen = 0;
} // namespace

TEST(DebugVis, CubeCoversCentreMinusToPlusHalfSize)
{
  REQUIRE_DEVICE(320, 240);
  init_debug_vis();
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    begin_scene_2d();
    start_draw_debug_vis();
    draw_debug_vis_cube(vec4f(0, 0, 0, 1), 1.0f, D3dColor(0xFF00FF00u));
    draw_debug_vis_solid_box(vec4f(6, 6, 0, 1), vec4f(4, 4, 1, 1), D3dColor(0xFF0000FFu), 0.0f);
    end_draw_debug_vis();
  }));
  auto px = vistest::read_pixels();
  vistest::save_png(px, "debug_vis_boxes");
  ASSERT_FALSE(px.empty());
  // x in [-1, 1] -> pixels 144..175, y in [-1, 1] -> rows 108..131.
  EXPECT_EQ(px_at(px, 160, 120), 0xFF00FF00u);
  EXPECT_EQ(px_at(px, 145, 109), 0xFF00FF00u);
  EXPECT_EQ(px_at(px, 174, 130), 0xFF00FF00u);
  EXPECT_EQ(px_at(px, 142, 120), 0xFF000000u);
  EXPECT_EQ(px_at(px, 177, 120), 0xFF000000u);
  EXPECT_EQ(px_at(px, 160, 106), 0xFF000000u);
  EXPECT_EQ(px_at(px, 160, 133), 0xFF000000u);
  // The second box, corners given in reverse: x 4..6 -> pixels 224..255, y 4..6 -> rows 48..71 (y up).
  EXPECT_EQ(px_at(px, 232, 60), 0xFF0000FFu);
  EXPECT_EQ(px_at(px, 220, 60), 0xFF000000u);
  close_debug_vis();
}

TEST(DebugVis, WireBoxAndCrossDrawLinesOnly)
{
  REQUIRE_DEVICE(320, 240);
  init_debug_vis();
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    begin_scene_2d();
    start_draw_debug_vis();
    draw_debug_vis_wire_box(vec4f(-5, -5, -1, 1), vec4f(5, 5, 1, 1), D3dColor(0xFFFFFFFFu));
    draw_debug_vis_cross_point(vec4f(0, 0, 0, 1), 2.0f, D3dColor(0xFFFF0000u));
    end_draw_debug_vis();
  }));
  auto px = vistest::read_pixels();
  vistest::save_png(px, "debug_vis_lines");
  ASSERT_FALSE(px.empty());
  // Box edges at x = +-5 (pixels 80 and 240) and y = +-5 (rows 60 and 180).
  EXPECT_TRUE(near_has(px, 80, 100, 0xFFFFFFFFu));
  EXPECT_TRUE(near_has(px, 240, 140, 0xFFFFFFFFu));
  EXPECT_TRUE(near_has(px, 120, 60, 0xFFFFFFFFu));
  EXPECT_TRUE(near_has(px, 200, 180, 0xFFFFFFFFu));
  // The cross through the centre, the box's inside empty elsewhere.
  EXPECT_TRUE(near_has(px, 150, 120, 0xFFFF0000u));
  EXPECT_TRUE(near_has(px, 160, 110, 0xFFFF0000u));
  EXPECT_EQ(px_at(px, 120, 90), 0xFF000000u);
  EXPECT_EQ(px_at(px, 200, 150), 0xFF000000u);
  close_debug_vis();
}

TEST(DebugVis, ModeSwitchesCostOneDrawEachAndRunsBatch)
{
  REQUIRE_DEVICE(320, 240);
  init_debug_vis();
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    begin_scene_2d();
    start_draw_debug_vis();
    const vec4f a(0, 0, 0, 1), b(1, 0, 0, 1), c(0, 1, 0, 1);
    const D3dColor w(0xFFFFFFFFu);
    int before = d3d_frame_counters.draw_calls;
    for (int i = 0; i < 3; i++)
    {
      draw_debug_vis_tri(a, b, c, w, w, w);
      draw_debug_vis_line(a, b, w, w);
    }
    // Many lines in a row stream as one draw, more than one buffer's worth in a few.
    for (int i = 0; i < 5000; i++)
      draw_debug_vis_line(a, c, w, w);
    end_draw_debug_vis();
    draw_calls_seen = d3d_frame_counters.draw_calls - before;
  }));
  // 6 alternating calls -> 6 draws (the last line run continues the sixth); 5003 lines
  // of 32 bytes fill the 65536-byte buffer 3 times -> 2 extra flushes.
  EXPECT_EQ(draw_calls_seen, 6 + 2);
  close_debug_vis();
}
