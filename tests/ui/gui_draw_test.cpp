// Distance-field text and icons, rounded boxes and images drawn on the device
// (llvmpipe under SDL offscreen) from the generated atlases, and read back.
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include "render/render_batch.h"
#include "render/textures.h"
#include "tests/render/vis_test_window.h"
#include "ui/dist_font.h"
#include "ui/gui_draw.h"

namespace
{
RenderBatch batch(0x8000);

int grey(uint32_t c) { return int((c >> 8) & 255); } // the green channel of a pixel

struct GuiDraw : testing::Test
{
  static void SetUpTestSuite()
  {
    vistest::Window &w = vistest::device(320, 240);
    if (!w.ok)
      return;
    init_dist_fonts();
    init_dist_icons();
    init_rounded_box_render();
    init_ui_image_render();
    loaded = default_font.load("distfont.txt") && ui_icons.load("disticons.txt");
  }
  static void TearDownTestSuite()
  {
    close_ui_image_render();
    close_rounded_box_render();
    close_dist_icons();
    close_dist_fonts();
  }
  void SetUp() override
  {
    REQUIRE_DEVICE(320, 240);
    ASSERT_TRUE(loaded);
  }
  static inline bool loaded = false;
};

// Draws what `record` put into the batch over black, inside the GUI bracket.
void (*record)() = nullptr;
std::vector<uint32_t> draw(void (*fn)())
{
  record = fn;
  EXPECT_TRUE(vistest::draw_frame_with([](float) {
    set_backbuffer_target();
    clear_view(D3dColor(0xFF000000u));
    batch.clear();
    record();
    start_dist_font_render();
    batch.render();
    end_dist_font_render();
  }));
  return vistest::read_pixels();
}

uint32_t at(const std::vector<uint32_t> &px, int x, int y) { return px[size_t(y) * d3d_wd + x]; }

// Text of `size` px centred at (160, 120), white, no effects.
float g_size = 12.f;
const char *g_text = "H";
void white_text()
{
  default_font.renderText(batch, vec4f(0.f, 0.f, 320.f, 240.f), 0, D3dColor(0xFFFFFFFFu), g_size, g_text, -1);
}

// The placed ink box of white_text in pixels (x0, y0, x1, y1).
vec4f ink_box()
{
  int n;
  vec4f b = default_font.calcTextBox(g_text, -1, &n);
  const float s = g_size / float(default_font.size);
  const float w = (b.z - b.x) * s, h = (b.w - b.y) * s;
  return vec4f(160.f - w / 2, 120.f - h / 2, 160.f + w / 2, 120.f + h / 2);
}
} // namespace

TEST_F(GuiDraw, TextEdgesAreSharpWithoutAHalo)
{
  for (float size : {12.f, 96.f})
  {
    g_size = size;
    g_text = size > 50.f ? "H" : "Hello World";
    auto px = draw(white_text);
    vistest::save_png(px, size > 50.f ? "dist_text_96" : "dist_text_12");
    const vec4f box = ink_box();
    // Nothing lights up beyond one pixel around the ink.
    int lit_outside = 0, full = 0;
    for (int y = 0; y < d3d_ht; y++)
      for (int x = 0; x < d3d_wd; x++)
      {
        const int g = grey(at(px, x, y));
        const bool near = x >= box.x - 1.5f && x <= box.z + 1.5f && y >= box.y - 1.5f && y <= box.w + 1.5f;
        if (!near && g > 0)
          lit_outside++;
        if (g >= 250)
          full++;
      }
    EXPECT_EQ(lit_outside, 0) << size;
    EXPECT_GT(full, size > 50.f ? 800 : 20) << size; // solid strokes, not a blur
    // Across the left stem of the H at mid height: dark, one or two ramp pixels, white.
    const int y = int(120.f);
    int ramp = 0, x = int(box.x) - 3;
    while (x < d3d_wd && grey(at(px, x, y)) < 250)
    {
      if (grey(at(px, x, y)) > 5)
        ramp++;
      x++;
    }
    EXPECT_LE(ramp, 2) << size;
    EXPECT_LT(x, int(box.x) + 4) << size; // the stem starts where the ink box does
  }
}

TEST_F(GuiDraw, OutlineAndShadowUseTheSecondColour)
{
  g_size = 64.f;
  g_text = "I";
  auto plain = draw(white_text);
  auto px = draw([] {
    default_font.renderText(batch, vec4f(0.f, 0.f, 320.f, 240.f), 0, D3dColor(0xFFFFFFFFu), g_size, g_text, -1, 0.f,
                            0.f, 0.f, 4.f, D3dColor(0xFFFF0000u));
  });
  vistest::save_png(px, "dist_text_outline");
  // The stem's first and last lit pixels in the plain text.
  const int y = 120;
  int left = 0, right = d3d_wd - 1;
  while (left < d3d_wd && grey(at(plain, left, y)) == 0)
    left++;
  while (right > 0 && grey(at(plain, right, y)) == 0)
    right--;
  ASSERT_LT(left, right);
  // Two pixels outside the stem: the red outline, where the plain text was black.
  const uint32_t o = at(px, left - 2, y);
  EXPECT_GT(int((o >> 16) & 255), 120);
  EXPECT_LT(grey(o), 40);
  EXPECT_EQ(at(px, left - 5, y) & 0xFFFFFFu, 0u); // and no wider than asked
  // The fill stays white inside.
  EXPECT_GE(grey(at(px, (left + right) / 2, y)), 250);

  // A shadow offset to the right and down: red on the right of the stem only.
  px = draw([] {
    default_font.renderText(batch, vec4f(0.f, 0.f, 320.f, 240.f), 0, D3dColor(0xFFFFFFFFu), g_size, g_text, -1, 0.f,
                            8.f, 8.f, 0.f, D3dColor(0xFFFF0000u));
  });
  vistest::save_png(px, "dist_text_shadow");
  EXPECT_GT(int((at(px, right + 3, y) >> 16) & 255), 60);
  EXPECT_EQ(at(px, left - 3, y) & 0xFFFFFFu, 0u);
}

TEST_F(GuiDraw, RoundedBoxHasTheRadiiAskedFor)
{
  auto px = draw([] {
    render_rounded_box(batch, vec4f(40.f, 40.f, 200.f, 160.f), vec4f(30.f, 0.f, 10.f, 0.f), D3dColor(0xFFFFFFFFu), 0.f,
                       0.f, 0.f, 0.f, D3dColor(0u), -1.f);
  });
  vistest::save_png(px, "rounded_box");
  // Along the diagonal into the top-left corner the edge lies at 30 (1 - 1/sqrt 2) = 8.8
  // from the corner.
  int first = -1;
  for (int i = 0; i < 30 && first < 0; i++)
    if (grey(at(px, 40 + i, 40 + i)) >= 128)
      first = i;
  EXPECT_NEAR(first, 8.8, 1.0);
  // The square corner is filled to its last pixel; the small radius cuts little.
  EXPECT_GE(grey(at(px, 199, 40)), 250);
  EXPECT_EQ(grey(at(px, 200, 40)), 0);
  EXPECT_EQ(grey(at(px, 199, 159)), 0);   // inside the 10 px radius' cut
  EXPECT_GE(grey(at(px, 196, 156)), 250); // 10 (1 - 1/sqrt 2) = 2.9 in
  // Straight edges are crisp: the rectangle's pixels 40..199 x 40..159.
  EXPECT_GE(grey(at(px, 40, 100)), 250);
  EXPECT_EQ(grey(at(px, 39, 100)), 0);
  EXPECT_GE(grey(at(px, 120, 159)), 250);
  EXPECT_EQ(grey(at(px, 120, 160)), 0);
}

TEST_F(GuiDraw, BoxStrokeAndShadow)
{
  auto px = draw([] {
    render_rounded_box(batch, vec4f(60.f, 60.f, 160.f, 120.f), vec4f(8.f), D3dColor(0xFF0000FFu), 3.f, 0.f, 0.f, 0.f,
                       D3dColor(0xFF00FF00u), -1.f);
    render_rounded_box(batch, vec4f(200.f, 60.f, 260.f, 120.f), vec4f(0.f), D3dColor(0xFFFFFFFFu), 0.f, 10.f, 10.f, 4.f,
                       D3dColor(0xFFFF0000u), 0.f);
  });
  vistest::save_png(px, "box_stroke_shadow");
  EXPECT_EQ(at(px, 100, 90) & 0xFFFFFFu, 0x0000FFu); // fill
  EXPECT_EQ(at(px, 100, 58) & 0xFFFFFFu, 0x00FF00u); // stroke, outside the rectangle
  EXPECT_EQ(at(px, 100, 55) & 0xFFFFFFu, 0u);
  // The shadow shows below and right of the white box, not above or left of it.
  EXPECT_GT(int((at(px, 265, 125) >> 16) & 255), 60);
  EXPECT_EQ(at(px, 195, 55) & 0xFFFFFFu, 0u);
  EXPECT_GE(grey(at(px, 230, 90)), 250);
}

TEST_F(GuiDraw, IconsAndImages)
{
  static Texture *tex = nullptr;
  if (!tex)
  {
    tex = create_managed_texture(2, 2);
    int pitch;
    auto *p = static_cast<uint32_t *>(lock_texture(tex, &pitch, false));
    p[0] = 0xFFFF0000u, p[1] = 0xFF00FF00u;
    p[pitch / 4] = 0xFF0000FFu, p[pitch / 4 + 1] = 0xFFFFFFFFu;
    unlock_texture(tex);
  }
  static StdRenderBatchState image_state;
  init_ui_image_state(image_state, tex, nullptr);
  auto px = draw([] {
    const int id = ui_icons.getIconId("dot");
    ui_icons.renderIcon(batch, vec4f(80.f, 120.f, 1.f, 0.f), 1.f, id, 0.f, 0.f, 0.f, 0.f, D3dColor(0xFFFFFFFFu),
                        D3dColor(0xFFFF0000u), 0, 0, 0);
    render_ui_image(batch, &image_state, vec4f(200.f, 100.f, 240.f, 140.f), D3dColor(0xFFFFFFFFu),
                    vec4f(0.f, 0.f, 1.f, 1.f));
  });
  vistest::save_png(px, "icon_image");
  // The dot: a white disc of radius 13 with a red centre of radius 6.
  EXPECT_EQ(at(px, 80, 120) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_GE(grey(at(px, 80 + 10, 120)), 250);
  EXPECT_EQ(at(px, 80 + 16, 120) & 0xFFFFFFu, 0u);
  // At the texel centres the image shows its texels.
  const uint32_t red = at(px, 210, 110), white = at(px, 230, 130);
  EXPECT_GT(int((red >> 16) & 255), 240);
  EXPECT_LT(grey(red), 16);
  EXPECT_GT(int(white & 255), 240);
  EXPECT_GT(grey(white), 240);
}
