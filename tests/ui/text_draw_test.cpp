// Bitmap text, boxes, the splash, the error strip, batches and the statistics overlay
// drawn on the device (llvmpipe under SDL offscreen) and read back.
#include <algorithm>
#include <gtest/gtest.h>
#include "core/frame_stats.h"
#include "core/log.h"
#include "render/render_batch.h"
#include "tests/render/vis_test_window.h"
#include "ui/stats_overlay.h"
#include "ui/text_layout.h"

namespace
{
using vistest::at_bl;

struct Bbox
{
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1; // inclusive, bottom-up
  bool empty() const { return x1 < 0; }
};

// Bounding box of the pixels that differ from bg.
Bbox bbox_not(const std::vector<uint32_t> &px, uint32_t bg)
{
  Bbox b;
  for (int y = 0; y < d3d_ht; y++)
    for (int x = 0; x < d3d_wd; x++)
      if (at_bl(px, x, y) != bg)
      {
        b.x0 = std::min(b.x0, x);
        b.y0 = std::min(b.y0, y);
        b.x1 = std::max(b.x1, x);
        b.y1 = std::max(b.y1, y);
      }
  return b;
}

// Near-white: glyph pixels are white with the font's coverage as alpha.
bool bright(uint32_t c) { return ((c >> 16) & 255) > 0xA0 && ((c >> 8) & 255) > 0xA0 && (c & 255) > 0xA0; }

void clear_black()
{
  set_backbuffer_target();
  clear_view(D3dColor(0xFF000000u));
}

// Parameters of the frame bodies below (frame callbacks take no context).
const char *g_text = "";
int g_x, g_y, g_ax, g_ay;

void draw_one_text(float)
{
  clear_black();
  start_draw_text();
  draw_text(g_text, -1, g_x, g_y, g_ax, g_ay, D3dColor(0xFFFFFFFFu));
  end_draw_text();
}

struct TextDraw : testing::Test
{
  void SetUp() override
  {
    vistest::Window &w = vistest::device(320, 240);
    ASSERT_TRUE(w.ok);
    d3d_hooks.draw_splash = draw_splash;
    init_font();
  }
  void TearDown() override { close_font(); }
};
} // namespace

TEST_F(TextDraw, SplashWithProgressBar)
{
  show_splash("Loading...", 0.5f);
  auto px = vistest::read_pixels();
  vistest::save_png(px, "splash");
  ASSERT_FALSE(px.empty());
  // 320 x 240, scale 1, cell 16: bar 80 wide from x 120, rows 12..35; half of it green.
  EXPECT_EQ(at_bl(px, 5, 5), 0xFF000A28u);
  EXPECT_EQ(at_bl(px, 120, 12), 0xFF32960Au);
  EXPECT_EQ(at_bl(px, 159, 35), 0xFF32960Au);
  EXPECT_EQ(at_bl(px, 160, 20), 0xFF000000u);
  EXPECT_EQ(at_bl(px, 199, 35), 0xFF000000u);
  EXPECT_EQ(at_bl(px, 200, 20), 0xFF000A28u);
  EXPECT_EQ(at_bl(px, 119, 20), 0xFF000A28u);
  EXPECT_EQ(at_bl(px, 150, 36), 0xFF000A28u);
  EXPECT_EQ(at_bl(px, 150, 11), 0xFF000A28u);
  // The message, centred on (160, 60), white ink within its block.
  int w, h;
  calc_text_size("Loading...", -1, w, h);
  int white = 0;
  for (int y = 0; y < d3d_ht; y++)
    for (int x = 0; x < d3d_wd; x++)
      if (bright(at_bl(px, x, y)))
      {
        white++;
        EXPECT_GE(x, 160 - w / 2);
        EXPECT_LT(x, 160 + w / 2);
        EXPECT_GE(y, 60 - h / 2);
        EXPECT_LT(y, 60 + h / 2);
      }
  EXPECT_GT(white, 20);

  // Without progress there is no bar.
  show_splash("Please wait...", -1.0f);
  px = vistest::read_pixels();
  EXPECT_EQ(at_bl(px, 130, 20), 0xFF000A28u);
}

TEST_F(TextDraw, AlignmentsMoveTheSamePixelsByTheBlockSize)
{
  g_text = "Ag|";
  int w, h;
  calc_text_size(g_text, -1, w, h);
  Bbox boxes[3][3];
  for (int ay = -1; ay <= 1; ay++)
    for (int ax = -1; ax <= 1; ax++)
    {
      g_x = 160;
      g_y = 120;
      g_ax = ax;
      g_ay = ay;
      ASSERT_TRUE(vistest::draw_frame_with(draw_one_text));
      auto px = vistest::read_pixels();
      boxes[ay + 1][ax + 1] = bbox_not(px, 0xFF000000u);
      ASSERT_FALSE(boxes[ay + 1][ax + 1].empty());
    }
  // Lower-left at (x, y) for (-1, -1): ink (with its shadow, one pixel right and down)
  // stays inside the block.
  const Bbox &ll = boxes[0][0];
  EXPECT_EQ(ll.x0, 160);
  EXPECT_GE(ll.y0, 120 - 1);
  EXPECT_LE(ll.x1, 160 + w);
  EXPECT_LE(ll.y1, 120 + h);
  for (int ay = -1; ay <= 1; ay++)
    for (int ax = -1; ax <= 1; ax++)
    {
      const Bbox &b = boxes[ay + 1][ax + 1];
      EXPECT_EQ(b.x0, ll.x0 - (ax + 1) * w / 2) << ax << "," << ay;
      EXPECT_EQ(b.y0, ll.y0 - h * (ay + 1) / 2) << ax << "," << ay;
      EXPECT_EQ(b.x1 - b.x0, ll.x1 - ll.x0);
    }

  // A picture of all nine around a cross, for looking at.
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    clear_black();
    start_draw_text();
    draw_rect(0, 120, 320, 121, D3dColor(0xFF0000FFu));
    draw_rect(160, 0, 161, 240, D3dColor(0xFF0000FFu));
    const char *names[3] = {"-1", "0", "1"};
    for (int ay = -1; ay <= 1; ay++)
      for (int ax = -1; ax <= 1; ax++)
      {
        char buf[32];
        snprintf(buf, sizeof(buf), "%s,%s\nline 2", names[ax + 1], names[ay + 1]);
        draw_text(buf, -1, 160 + ax * 80, 120 + ay * 60, ax, ay, D3dColor(0xFFFFFFFFu));
      }
    end_draw_text();
  }));
  vistest::save_png(vistest::read_pixels(), "text_alignments");
}

TEST_F(TextDraw, RectsAndBoxesArePixelExact)
{
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    clear_black();
    start_draw_text();
    draw_rect(10, 10, 20, 15, D3dColor(0xFFFF0000u));
    draw_box(40, 40, 60, 50, D3dColor(0xFF00FF00u));
    draw_box(100, 100, 120, 110, D3dColor(0x80FFFFFFu)); // translucent: corners not doubled
    end_draw_text();
  }));
  auto px = vistest::read_pixels();
  vistest::save_png(px, "rects_boxes");
  ASSERT_FALSE(px.empty());
  for (int y = 8; y < 18; y++)
    for (int x = 8; x < 22; x++)
      EXPECT_EQ(at_bl(px, x, y), (x >= 10 && x < 20 && y >= 10 && y < 15) ? 0xFFFF0000u : 0xFF000000u) << x << "," << y;
  // The outline covers columns 40 and 60 and rows 40 and 50 from corner to corner.
  for (int y = 38; y <= 52; y++)
    for (int x = 38; x <= 62; x++)
    {
      bool rim = (x >= 40 && x <= 60 && y >= 40 && y <= 50) && (x == 40 || x == 60 || y == 40 || y == 50);
      EXPECT_EQ(at_bl(px, x, y), rim ? 0xFF00FF00u : 0xFF000000u) << x << "," << y;
    }
  const uint32_t half = at_bl(px, 110, 100);
  EXPECT_NE(half, 0xFF000000u);
  EXPECT_EQ(at_bl(px, 100, 100), half);
  EXPECT_EQ(at_bl(px, 120, 110), half);
  EXPECT_EQ(at_bl(px, 100, 105), half);
}

TEST_F(TextDraw, ErrorStripAndVisualLog)
{
  set_error_message("FAILED to reload shader 'font.sh'\nsecond line");
  clear_visual_log();
  visual_log("oldest");
  visual_log("newest");
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    clear_black();
    start_draw_text();
    draw_error_message();
    draw_visual_log();
    end_draw_text();
  }));
  auto px = vistest::read_pixels();
  vistest::save_png(px, "error_strip");
  set_error_message(nullptr);
  clear_visual_log();
  ASSERT_FALSE(px.empty());
  const int g = get_font_glyph_height();
  // The strip from d3d_ht - 12 G to the top: 0xCC660000 over black.
  const uint32_t strip = at_bl(px, 2, d3d_ht - 12 * g + 1);
  EXPECT_NEAR(int((strip >> 16) & 255), 0x66 * 0xCC / 255, 1);
  EXPECT_EQ(strip & 0xFFFF, 0u);
  EXPECT_EQ(at_bl(px, 2, d3d_ht - 12 * g - 1) & 0xFFFFFF, 0u);
  // Yellow text at double scale in the strip; white log text near the bottom.
  int yellow = 0, white = 0;
  for (int y = 0; y < d3d_ht; y++)
    for (int x = 0; x < d3d_wd; x++)
    {
      uint32_t c = at_bl(px, x, y);
      if (c == 0xFFFFEE00u)
      {
        yellow++;
        EXPECT_GE(y, d3d_ht - 12 * g);
      }
      if (c == 0xFFFFFFFFu)
        white++;
    }
  EXPECT_GT(yellow, 50);
  EXPECT_GT(white, 50);
}

namespace
{
// A second batch state with the font's shader: solid quads without blending.
struct SolidState : StdRenderBatchState
{
  void begin(const BaseRenderBatchState *prev) override
  {
    StdRenderBatchState::begin(prev);
    const float c[8] = {2.0f / d3d_wd, 2.0f / d3d_ht, -1.0f - 0.5f / d3d_wd, 0.5f / d3d_ht - 1.0f, 1, 1, 0, 0};
    set_vs_consts(16, c, 2);
    set_cull_mode(0);
    set_zenable(false);
    set_blend_none();
    set_atest(0);
  }
};
SolidState solid_state;

void batch_solid(RenderBatch &b, int x0, int y0, int x1, int y1, uint32_t color)
{
  // Batch rectangles are top-down rows, as the GUI records them.
  void *p = b.add(&solid_state, float(x0), float(d3d_ht - y1), float(x1), float(d3d_ht - y0), FONT_QUAD_BYTES, 2);
  font_quad(static_cast<FontVertex *>(p), x0, y0, x1, y1, color, -1, -1, -1, -1);
}

RenderBatch *g_batch;
int g_draws;
} // namespace

TEST_F(TextDraw, BatchKeepsPainterOrderAcrossInterleavedStates)
{
  StdRenderBatchState *fs = get_font_batch_state();
  solid_state.shader = fs->shader;
  solid_state.vdecl = fs->vdecl;
  solid_state.stride = fs->stride;
  RenderBatch b(4096);
  batch_rect(b, 10, 10, 50, 50, D3dColor(0xFFFF0000u));   // font state: red
  batch_solid(b, 30, 30, 70, 70, 0xFF00FF00u);            // solid: green over red
  batch_rect(b, 100, 10, 140, 50, D3dColor(0xFF0000FFu)); // font state, apart: joins red's group
  batch_rect(b, 60, 60, 90, 90, D3dColor(0xFFFFFFFFu));   // font state over green: after it
  batch_text(b, "batched", -1, 200, 200, 0, 0, D3dColor(0xFFFFFF00u));
  EXPECT_EQ(b.groupCount(), 3);
  g_batch = &b;
  int draws = 0;
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    clear_black();
    int before = d3d_frame_counters.draw_calls;
    g_batch->render();
    g_draws = d3d_frame_counters.draw_calls - before;
  }));
  draws = g_draws;
  EXPECT_EQ(draws, 3);
  auto px = vistest::read_pixels();
  vistest::save_png(px, "batch");
  ASSERT_FALSE(px.empty());
  EXPECT_EQ(at_bl(px, 20, 20), 0xFFFF0000u);
  EXPECT_EQ(at_bl(px, 40, 40), 0xFF00FF00u); // green drawn after red
  EXPECT_EQ(at_bl(px, 65, 65), 0xFFFFFFFFu); // white drawn after green
  EXPECT_EQ(at_bl(px, 120, 30), 0xFF0000FFu);
  EXPECT_EQ(at_bl(px, 35, 65), 0xFF00FF00u);
  // Rendering again draws everything again; clear empties the batch.
  b.clear();
  EXPECT_EQ(b.groupCount(), 0);
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    clear_black();
    g_batch->render();
  }));
  px = vistest::read_pixels();
  EXPECT_EQ(at_bl(px, 40, 40), 0xFF000000u);
  solid_state.reset();
}

TEST_F(TextDraw, StatisticsOverlay)
{
  vistest::device(1280, 720);
  ASSERT_EQ(d3d_wd, 1280);
  update_font_scale();
  for (int i = 0; i < STAT_HISTORY; i++)
  {
    frame_stats.frame_time[i] = 16000 + (i % 50) * 900; // some above the 50 ms step
    frame_stats.update_time[i] = 2000 + (i * 37) % 3000;
    frame_stats.gpu_load[i] = 40 + i % 30;
  }
  frame_stats.frame_time[77] = 90000;
  frame_stats.frame_index = 123;
  frame_stats.update_index = 5;
  frame_stats.fps = 57;
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    set_backbuffer_target();
    clear_view(D3dColor(0xFF808080u));
    start_draw_text();
    draw_stats_overlay(frame_stats, 500000); // 1/20 s in 10 MHz ticks
    draw_help_hint();
    end_draw_text();
  }));
  auto px = vistest::read_pixels();
  vistest::save_png(px, "stats_overlay");
  ASSERT_FALSE(px.empty());
  // Backdrops darken the grey: the graphs along the top, the panel bottom-right.
  EXPECT_NE(at_bl(px, 1, d3d_ht - 1), 0xFF808080u);
  EXPECT_NE(at_bl(px, d3d_wd - 2, 1), 0xFF808080u);
  EXPECT_EQ(at_bl(px, d3d_wd / 2, d3d_ht / 2), 0xFF808080u);
  // Text drawn in the panel.
  int white = 0;
  for (int y = 0; y < 14 * get_text_line_height(); y++)
    for (int x = d3d_wd - 12 * get_text_line_height(); x < d3d_wd; x++)
      white += bright(at_bl(px, x, y));
  EXPECT_GT(white, 100);
  vistest::device(320, 240);
}
