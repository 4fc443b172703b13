// Bitmap-font layout without a device: glyph boxes, sizes, alignment, shadows.
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "core/paths.h"
#include "render/device.h"
#include "render/render_batch.h"
#include "ui/text_layout.h"

namespace
{
// A 128 x 256 picture (8 x 16 cells) in file order. 'a' has ink in cell columns 2..5,
// 'b' in all 8 columns, '|' in column 3 only; everything else is empty.
std::vector<uint32_t> test_picture()
{
  const int w = 128, h = 256;
  std::vector<uint32_t> px(size_t(w) * h, 0x00FFFFFFu);
  auto ink = [&](int code, int c0, int c1) {
    int left = (code % 16) * 8, row0 = (15 - code / 16) * 16;
    for (int y = row0 + 3; y < row0 + 12; y++)
      for (int x = left + c0; x <= left + c1; x++)
        px[size_t(y) * w + x] = 0xFFFFFFFFu;
  };
  ink('a', 2, 5);
  ink('b', 0, 7);
  ink('|', 3, 3);
  return px;
}

// Installs the test font for the scope of a test and restores the real one afterwards.
struct TestFont
{
  BitmapFont saved = font;
  TextStyle saved_style = cur_text_style;
  TestFont()
  {
    auto px = test_picture();
    EXPECT_TRUE(font_build_glyphs(font, 128, 256, px.data()));
    cur_text_style = {0, 0, 1};
  }
  ~TestFont()
  {
    font = saved;
    cur_text_style = saved_style;
  }
};

struct Quad
{
  int x0, y0, x1, y1;
  uint32_t color;
  int u0, v0, u1, v1;
};

std::vector<Quad> layout(const char *text, int x, int y, int ax, int ay, uint32_t color = 0xFFFFFFFFu)
{
  std::vector<Quad> out;
  layout_text(font, cur_text_style, text, -1, x, y, ax, ay, D3dColor(color), [&](const FontVertex *v) {
    // Corners 0 and 2 of the two triangles span the quad.
    out.push_back({v[0].x, v[0].y, v[2].x, v[2].y, v[0].color, v[0].u, v[0].v, v[2].u, v[2].v});
    EXPECT_EQ(v[3].x, v[0].x);
    EXPECT_EQ(v[4].y, v[2].y);
    EXPECT_EQ(v[5].x, v[0].x);
    EXPECT_EQ(v[5].y, v[2].y);
  });
  return out;
}
} // namespace

TEST(FontGlyphs, BoxesFromAlphaAndHalfCellForBlanks)
{
  TestFont tf;
  const FontGlyph &a = font.glyphs['a'];
  EXPECT_EQ(a.x0, 1 * 8 + 2);
  EXPECT_EQ(a.x1, 1 * 8 + 6);
  EXPECT_EQ(a.y0, (15 - 6) * 16);
  EXPECT_EQ(a.y1, a.y0 + 16);
  const FontGlyph &bar = font.glyphs['|'];
  EXPECT_EQ(bar.x1 - bar.x0, 1);
  const FontGlyph &sp = font.glyphs[' '];
  EXPECT_EQ(sp.x0, 0);
  EXPECT_EQ(sp.x1, 5);
  // A blank advances by scale * (cellW / 2 + 2) plus the character spacing.
  cur_text_style = {0, 3, 2};
  EXPECT_EQ(glyph_advance(sp, cur_text_style), 2 * 6 + 3);
  EXPECT_EQ(glyph_advance(font.glyphs['b'], cur_text_style), 2 * 9 + 3);
}

TEST(FontGlyphs, RefusesPicturesThatAreNotA16x16Grid)
{
  BitmapFont f;
  std::vector<uint32_t> px(250 * 256);
  EXPECT_FALSE(font_build_glyphs(f, 250, 256, px.data()));
  EXPECT_FALSE(font_build_glyphs(f, 256, 0, px.data()));
  EXPECT_TRUE(font_build_glyphs(f, 16, 16, px.data()));
  f.cell_h = 16;
  EXPECT_EQ(font_scale_for_height(f, 720), 1);
  EXPECT_EQ(font_scale_for_height(f, 1080), 2);
  EXPECT_EQ(font_scale_for_height(f, 200), 1);
}

TEST(FontInit, NonGridFontIsFatalWithItsSize)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe"); // other tests may have started GL threads
  setenv("SDL_VIDEODRIVER", "offscreen", 0);      // no message box in the dying child
  char saved_path[sizeof(app_path)];
  memcpy(saved_path, app_path, sizeof(app_path));
  // A 250 x 256 32-bit TGA in a program directory of its own.
  char dir[] = "/tmp/zarnith_font_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string path = std::string(dir) + "/font.tga";
  FILE *f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  unsigned char hdr[18] = {0, 0, 2};
  hdr[12] = 250;
  hdr[14] = 0;
  hdr[15] = 1;
  hdr[16] = 32;
  fwrite(hdr, 1, 18, f);
  std::vector<uint32_t> px(250 * 256, 0xFFFFFFFFu);
  fwrite(px.data(), 4, px.size(), f);
  fclose(f);
  snprintf(app_path, sizeof(app_path), "%s/", dir);
  EXPECT_EXIT(init_font(), testing::ExitedWithCode(100), "expected 16x16 font grid in font.tga, got 250x256 image");
  remove(path.c_str());
  snprintf(app_path, sizeof(app_path), "%s/", dir);
  EXPECT_EXIT(init_font(), testing::ExitedWithCode(100), "can't load font.tga");
  rmdir(dir);
  memcpy(app_path, saved_path, sizeof(app_path));
}

TEST(TextSize, LinesAndSpacing)
{
  TestFont tf;
  int w, h;
  calc_text_size(nullptr, -1, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  calc_text_size("", -1, w, h);
  EXPECT_EQ(h, 0);
  calc_text_size("ab", -1, w, h);
  EXPECT_EQ(w, 5 + 9);
  EXPECT_EQ(h, 16);
  cur_text_style = {4, 1, 1};
  // a, b, newline: one line high, with its line spacing.
  calc_text_size("ab\n", -1, w, h);
  EXPECT_EQ(w, 5 + 9 + 2);
  EXPECT_EQ(h, 16 + 4);
  // a, b, newline, c: the first line with spacing, the last without.
  calc_text_size("ab\nc", -1, w, h);
  EXPECT_EQ(h, 16 + 4 + 16);
  // The widest line counts; an explicit length stops early.
  calc_text_size("a\nbbb\nb", -1, w, h);
  EXPECT_EQ(w, 3 * 10);
  calc_text_size("bbb", 1, w, h);
  EXPECT_EQ(w, 10);
  cur_text_style.scale = 2;
  calc_text_size("b", -1, w, h);
  EXPECT_EQ(w, 2 * 9 + 1);
  EXPECT_EQ(h, 32);
}

TEST(TextLayout, AlignmentPlacesTheBlockCorner)
{
  TestFont tf;
  int w, h;
  calc_text_size("ab", -1, w, h);
  // (-1, -1): the block's lower-left corner at (x, y).
  auto q = layout("ab", 100, 50, -1, -1);
  ASSERT_EQ(q.size(), 4u); // shadow and glyph for each letter
  EXPECT_EQ(q[1].x0, 100);
  EXPECT_EQ(q[1].y0, 50);
  EXPECT_EQ(q[1].y1, 66);
  EXPECT_EQ(q[3].x0, 100 + 5); // after 'a''s advance
  // (1, 1): the upper-right corner at (x, y): the same quads moved by the block size.
  auto r = layout("ab", 100, 50, 1, 1);
  ASSERT_EQ(r.size(), q.size());
  for (size_t i = 0; i < q.size(); i++)
  {
    EXPECT_EQ(r[i].x0, q[i].x0 - w);
    EXPECT_EQ(r[i].y0, q[i].y0 - h);
  }
  // (0, 0) centred.
  auto c = layout("ab", 100, 50, 0, 0);
  EXPECT_EQ(c[1].x0, 100 - w / 2);
  EXPECT_EQ(c[1].y0, 50 - h / 2);
  int bx, by;
  text_block_origin(100, 50, 1, 1, w, h, bx, by);
  EXPECT_EQ(bx, 100 - w);
  EXPECT_EQ(by, 50 - h);
}

TEST(TextLayout, ShadowGlyphTexelsAndNewlines)
{
  TestFont tf;
  cur_text_style = {2, 0, 2};
  auto q = layout("a\n b", 10, 100, -1, 1, 0xC0FF8000u);
  // Space and newline draw nothing: two glyphs, each shadow first.
  ASSERT_EQ(q.size(), 4u);
  const FontGlyph &a = font.glyphs['a'];
  EXPECT_EQ(q[0].color, 0x60000000u); // black, half the alpha
  EXPECT_EQ(q[1].color, 0xC0FF8000u);
  EXPECT_EQ(q[0].x0, q[1].x0 + 1);
  EXPECT_EQ(q[0].y0, q[1].y0 - 1);
  EXPECT_EQ(q[0].x1, q[1].x1 + 1);
  EXPECT_EQ(q[0].y1, q[1].y1 - 1);
  EXPECT_EQ(q[1].x1 - q[1].x0, 2 * (a.x1 - a.x0));
  EXPECT_EQ(q[1].u0, a.x0);
  EXPECT_EQ(q[1].v0, a.y0);
  EXPECT_EQ(q[1].u1, a.x1);
  EXPECT_EQ(q[1].v1, a.y1);
  // The second line starts at x again, one line height plus spacing lower, after the space.
  EXPECT_EQ(q[3].x0, 10 + glyph_advance(font.glyphs[' '], cur_text_style));
  EXPECT_EQ(q[1].y0 - q[3].y0, 2 * 16 + 2);
  // Aligned below y = 100: the first line's top is at 100 minus the spacing offset.
  int w, h;
  calc_text_size("a\n b", -1, w, h);
  EXPECT_EQ(q[1].y1, 100 + 2);
}

TEST(TextBatch, TextIsOneBlockInTheBatch)
{
  TestFont tf;
  RenderBatch b(4096);
  batch_text(b, "ab\nba", -1, 20, 20, -1, -1, D3dColor(0xFFFFFFFFu));
  batch_rect(b, 0, 0, 5, 5, D3dColor(0xFF0000FFu));
  batch_text(b, nullptr, -1, 0, 0, 0, 0, D3dColor(0xFFFFFFFFu));
  ASSERT_EQ(b.groupCount(), 1);
  int w, h;
  calc_text_size("ab\nba", -1, w, h);
  int chunks = 0;
  for (RenderBatch::Chunk *c = b.group(0).first; c; c = c->next, chunks++)
  {
    EXPECT_EQ(c->size, FONT_QUAD_BYTES);
    EXPECT_EQ(c->primitives, 2);
    if (chunks < 8)
    {
      // The whole block, in top-down rows.
      EXPECT_EQ(c->rect.x0, 20);
      EXPECT_EQ(c->rect.y0, d3d_ht - (20 + h));
      EXPECT_EQ(c->rect.x1, 20 + w);
      EXPECT_EQ(c->rect.y1, d3d_ht - 20);
    }
  }
  EXPECT_EQ(chunks, 8 + 1);
  EXPECT_EQ(b.group(0).state, get_font_batch_state());
}
