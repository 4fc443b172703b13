// Distance-field font and icon descriptors, measuring and the recorded quads, without a
// device: batches only record, and the tests read the recorded vertices back.
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "core/paths.h"
#include "ui/dist_font.h"

namespace
{
// A font of size 10, spread 2, atlas 100 x 50; glyph lines are added by the tests.
std::string font_head(const char *common = "common lineHeight=12 base=0 scaleW=100 scaleH=50")
{
  return std::string("info face=\"Test\" size=10 spread=2\n") + common + "\npage id=0 file=\"atlas\"\n";
}

std::string char_line(int id, float x, float w, float xoff, float yoff, float adv)
{
  char buf[160];
  snprintf(buf, sizeof(buf), "char id=%d x=%g y=10 width=%g height=9 xoffset=%g yoffset=%g xadvance=%g\n", id, x, w,
           xoff, yoff, adv);
  return buf;
}

bool parse(DistFont &f, const std::string &text)
{
  char page[64];
  return f.parse(text.data(), text.size(), page, sizeof(page));
}

// "A" (65) 6 wide, xoffset 1; "B" (66) with a negative xoffset; space (32) zero width.
std::string abc_font()
{
  return font_head() + "chars count=3\n" + char_line(32, 0, 0, 0, 0, 4) + char_line(65, 10, 6, 1, 8, 5) +
         char_line(66, 20, 6, -3, 8, 5) + "kernings count=2\nkerning first=65 second=66 amount=-1.5\n" +
         "kerning first=66 second=65 amount=0.5\n";
}
} // namespace

TEST(DistFontDescriptor, ParsesHeaderGlyphsAndKerning)
{
  DistFont f;
  char page[64];
  const std::string text = abc_font();
  ASSERT_TRUE(f.parse(text.data(), text.size(), page, sizeof(page)));
  EXPECT_STREQ(page, "atlas");
  EXPECT_EQ(f.size, 10);
  EXPECT_EQ(f.spread, 2);
  EXPECT_EQ(f.lineHeight, 12);
  EXPECT_FLOAT_EQ(f.invScaleW, 0.01f);
  ASSERT_EQ(f.glyphs.num, 3);
  EXPECT_FLOAT_EQ(f.glyphs[1].u, 0.1f); // x normalised by the width
  EXPECT_FLOAT_EQ(f.glyphs[1].v, 0.2f); // y by the height
  EXPECT_FLOAT_EQ(f.kerning(65, 66), -1.5f);
  EXPECT_FLOAT_EQ(f.kerning(66, 65), 0.5f);
  EXPECT_FLOAT_EQ(f.kerning(65, 65), 0.f);
  EXPECT_FLOAT_EQ(f.kerning(-1, 66), 0.f);
  // Windows line ends are the same lines.
  std::string crlf;
  for (char c : text)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(parse(f, crlf));
  EXPECT_EQ(f.glyphs.num, 3);
}

TEST(DistFontDescriptor, RefusesLinesThatDoNotMatchCompletely)
{
  DistFont f;
  const std::string glyphs = "chars count=1\n" + char_line(65, 10, 6, 1, 8, 5) + "kernings count=0\n";
  EXPECT_TRUE(parse(f, font_head() + glyphs));
  EXPECT_FALSE(parse(f, font_head("common lineHeight=12 base=3 scaleW=100 scaleH=50") + glyphs));
  EXPECT_FALSE(parse(f, font_head("common lineHeight=12 base=0 scaleW=100 scaleH=50 extra") + glyphs));
  // Zero sizes would divide by zero when drawing.
  EXPECT_FALSE(parse(f, font_head("common lineHeight=12 base=0 scaleW=0 scaleH=50") + glyphs));
  // Fewer glyph lines than counted, a non-finite metric, a missing kerning header.
  EXPECT_FALSE(parse(f, font_head() + "chars count=2\n" + char_line(65, 10, 6, 1, 8, 5) + "kernings count=0\n"));
  EXPECT_FALSE(parse(f, font_head() + "chars count=1\nchar id=65 x=nan y=0 width=1 height=1 xoffset=0 yoffset=0 "
                                      "xadvance=1\nkernings count=0\n"));
  EXPECT_FALSE(parse(f, font_head() + "chars count=0\n"));
  // A line longer than 255 characters arrives in pieces that cannot match.
  EXPECT_FALSE(parse(f, std::string("info face=\"") + std::string(300, 'x') + "\" size=10 spread=2\n" +
                          font_head().substr(font_head().find('\n') + 1) + glyphs));
}

TEST(DistFontDescriptor, ConsecutiveIdsShareOneCharRange)
{
  DistFont f;
  std::string up = font_head() + "chars count=26\n";
  for (int id = 65; id <= 90; id++)
    up += char_line(id, 0, 6, 0, 8, 5);
  ASSERT_TRUE(parse(f, up + "kernings count=0\n"));
  ASSERT_EQ(f.charRanges.num, 1);
  EXPECT_EQ(f.charRanges[0].first, 65);
  EXPECT_EQ(f.charRanges[0].end, 91);
  EXPECT_EQ(f.glyphIndex('Z'), 25);
  EXPECT_EQ(f.glyphIndex('a'), -1);

  // A gap and a step back each start a new range; lookups still find every glyph.
  std::string gaps = font_head() + "chars count=4\n" + char_line(65, 0, 6, 0, 8, 5) + char_line(66, 0, 6, 0, 8, 5) +
                     char_line(70, 0, 6, 0, 8, 5) + char_line(67, 0, 6, 0, 8, 5) + "kernings count=0\n";
  ASSERT_TRUE(parse(f, gaps));
  EXPECT_EQ(f.charRanges.num, 3);
  EXPECT_EQ(f.glyphIndex('B'), 1);
  EXPECT_EQ(f.glyphIndex('F'), 2);
  EXPECT_EQ(f.glyphIndex('C'), 3);
  EXPECT_EQ(f.glyphIndex('D'), -1);
}

TEST(DistFontMeasure, ZeroWidthGlyphsAdvanceWithoutAQuad)
{
  DistFont f;
  ASSERT_TRUE(parse(f, abc_font()));
  int n = -1;
  // "A": quad x 1..7, y -8..1, grown from the point (0, 0) and shrunk by the spread 2:
  // (2, -6, 5, -1).
  vec4f a = f.calcTextBox("A", -1, &n);
  EXPECT_EQ(n, 1);
  EXPECT_FLOAT_EQ(a.x, 2.f); // the box grew from (0,0,0,0): x0 = 0, then + spread
  EXPECT_FLOAT_EQ(a.z, 5.f);
  // The space advances the pen by 4 but counts no quad.
  vec4f sa = f.calcTextBox(" A", -1, &n);
  EXPECT_EQ(n, 1);
  EXPECT_FLOAT_EQ(sa.z, a.z + 4.f);
  // Only spaces, and the empty text: the zero box.
  vec4f none = f.calcTextBox("   ", -1, &n);
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(none == vec4f(0.f));
  none = f.calcTextBox("", -1, &n);
  EXPECT_EQ(n, 0);
  // Characters without a glyph neither draw nor advance, but still become the previous
  // character: in "B?A" the pair (?, A) has no entry, so A loses the kerning of (B, A).
  vec4f ba = f.calcTextBox("BA", -1, &n), bqa = f.calcTextBox("B?A", -1, &n);
  EXPECT_FLOAT_EQ(ba.z, 5.f + 0.5f + 1.f + 6.f - 2.f);
  EXPECT_FLOAT_EQ(bqa.z, 5.f + 1.f + 6.f - 2.f);
  EXPECT_EQ(n, 2);
}

TEST(DistFontMeasure, NegativeXoffsetAndNewlines)
{
  DistFont f;
  ASSERT_TRUE(parse(f, abc_font()));
  int n;
  vec4f b = f.calcTextBox("B", -1, &n);
  EXPECT_LT(b.x, 0.f); // -3 + 2
  // A newline restarts the pen and the kerning and moves down by the line height.
  vec4f two = f.calcTextBox("A\nB", -1, &n);
  EXPECT_EQ(n, 2);
  EXPECT_FLOAT_EQ(two.x, b.x);
  EXPECT_FLOAT_EQ(two.w, 12.f - 8.f + 9.f - 2.f);
  // len limits the text.
  f.calcTextBox("AB", 1, &n);
  EXPECT_EQ(n, 1);
}

TEST(DistFontRender, AlignmentsPlaceTheBoxInTheRectangle)
{
  DistFont f;
  ASSERT_TRUE(parse(f, abc_font()));
  StdRenderBatchState st;
  RenderBatch batch(4096);
  const vec4f rect(100.f, 50.f, 300.f, 150.f);
  int n;
  const vec4f box = f.calcTextBox("AB", -1, &n);
  const float s = 2.f; // size 20 of a size-10 font
  // The first quad's top-left corner is that of the glyph cell; the ink starts spread x s
  // inside it.
  auto first_ink = [&](int align) {
    batch.clear();
    f.renderText(batch, rect, align, D3dColor(0xFFFFFFFFu), 20.f, "AB", -1, 0, 0, 0, 0, D3dColor(0u), &st);
    EXPECT_EQ(batch.groupCount(), 1);
    const RenderBatch::Chunk *c = batch.group(0).first;
    EXPECT_EQ(c->size, 2 * DIST_GLYPH_BYTES);
    EXPECT_EQ(c->primitives, 4);
    const DistTextVertex *v = reinterpret_cast<const DistTextVertex *>(const_cast<RenderBatch::Chunk *>(c)->data());
    // Chunk rectangle: the placed box grown by spread x s.
    EXPECT_FLOAT_EQ(c->rect.x1 - c->rect.x0, (box.z - box.x) * s + 2 * 2 * s);
    return vec4f(c->rect.x0 + 2 * s, c->rect.y0 + 2 * s, v[0].x, v[0].y);
  };
  vec4f tl = first_ink(1 | (1 << 2));
  EXPECT_FLOAT_EQ(tl.x, rect.x);
  EXPECT_FLOAT_EQ(tl.y, rect.y);
  vec4f br = first_ink(2 | (2 << 2));
  EXPECT_FLOAT_EQ(br.x + (box.z - box.x) * s, rect.z);
  EXPECT_FLOAT_EQ(br.y + (box.w - box.y) * s, rect.w);
  vec4f mid = first_ink(0);
  EXPECT_FLOAT_EQ(mid.x + (box.z - box.x) * s * 0.5f, 200.f);
  EXPECT_FLOAT_EQ(mid.y + (box.w - box.y) * s * 0.5f, 100.f);
  // Vertex order and uv of the first glyph: (x0,y0) (x1,y0) (x1,y1) (x0,y0) (x1,y1) (x0,y1).
  batch.clear();
  f.renderText(batch, rect, 5, D3dColor(0xFF112233u), 20.f, "A", -1, 0, 0, 0, 0, D3dColor(0xFF000000u), &st);
  auto *v = reinterpret_cast<const DistTextVertex *>(const_cast<RenderBatch::Chunk *>(batch.group(0).first)->data());
  EXPECT_EQ(v[0].x, v[3].x);
  EXPECT_EQ(v[1].y, v[0].y);
  EXPECT_EQ(v[2].x, v[4].x);
  EXPECT_EQ(v[5].x, v[0].x);
  EXPECT_FLOAT_EQ(v[1].x - v[0].x, 6.f * s);
  EXPECT_FLOAT_EQ(v[2].y - v[0].y, 9.f * s);
  EXPECT_FLOAT_EQ(v[0].u, 0.1f);
  EXPECT_FLOAT_EQ(v[2].u, 0.16f);
  EXPECT_FLOAT_EQ(v[2].v, 0.2f + 0.18f);
  EXPECT_EQ(v[4].color.u, 0xFF112233u);
  // Text without glyphs adds nothing.
  batch.clear();
  f.renderText(batch, rect, 0, D3dColor(0xFFFFFFFFu), 20.f, "   ", -1, 0, 0, 0, 0, D3dColor(0u), &st);
  EXPECT_EQ(batch.groupCount(), 0);
}

TEST(DistFontRender, PackedParametersFollowThicknessAndOffsets)
{
  // v = 4: thickness 0 -> 0.5 * (1 - 0.5 / 4) = 0.4375 -> 112; offsets 0 -> 0.5 -> 128.
  D3dColor p = pack_dist_params(0.f, 0.f, 0.f, 3.f, 4.f);
  EXPECT_EQ(p.a(), 112);
  EXPECT_EQ(p.r(), 128);
  EXPECT_EQ(p.g(), 128);
  EXPECT_EQ(p.b(), 64); // 0.5 * (1 - 0.5 * 4 / 4) = 0.25
  // A thick outline clamps at 0; an offset of 1/128 atlas units moves red to 0.25.
  p = pack_dist_params(0.f, 1.f / 128.f, -1.f / 128.f, 100.f, 4.f);
  EXPECT_EQ(p.b(), 0);
  EXPECT_EQ(p.r(), 64);
  EXPECT_EQ(p.g(), 191);
  // A zero spread does not divide by zero.
  p = pack_dist_params(1.f, 0.f, 0.f, 1.f, 0.f);
  EXPECT_EQ(p.a(), 128);
}

TEST(DistIconsDescriptor, ParsesLooksUpAndPlaces)
{
  const std::string text = "info file=\"icons\" scaleW=200 scaleH=100 spread=4\nicons count=2\n"
                           "icon \"dot\" 16 12 0 0 24 20 -12 10\nicon \"arrow\" 32 32 100 50 40 40 0 0\n";
  DistIcons ic;
  char file[64];
  ASSERT_TRUE(ic.parse(text.data(), text.size(), file, sizeof(file)));
  EXPECT_STREQ(file, "icons");
  EXPECT_EQ(ic.getIconId("arrow"), 1);
  EXPECT_EQ(ic.getIconId("Arrow"), -1);
  EXPECT_EQ(ic.getIconId("missing"), -1);
  EXPECT_FLOAT_EQ(ic.getOrgW(0), 16.f);
  EXPECT_FLOAT_EQ(ic.getOrgH(0), 12.f);
  EXPECT_FLOAT_EQ(ic.getOrgW(-1), 0.f);
  EXPECT_FLOAT_EQ(ic.getOrgH(2), 0.f);
  EXPECT_FLOAT_EQ(ic.icons[1].u, 0.5f);
  EXPECT_FLOAT_EQ(ic.icons[1].v, 0.5f);

  StdRenderBatchState st;
  RenderBatch batch(4096);
  // Unrotated at scale 2: x from 2 * -12 to 2 * 12, y from -2 * 10 to 2 * 10 around (50, 60).
  ic.renderIcon(batch, vec4f(50.f, 60.f, 1.f, 0.f), 2.f, 0, 0, 0, 0, 0, D3dColor(0xFF0000FFu), 0, 0, 0,
                D3dColor(0xFF000000u), &st);
  ASSERT_EQ(batch.groupCount(), 1);
  RenderBatch::Chunk *c = batch.group(0).first;
  EXPECT_EQ(c->size, DIST_ICON_BYTES);
  auto *v = reinterpret_cast<const DistIconVertex *>(c->data());
  EXPECT_FLOAT_EQ(v[0].x, 26.f);
  EXPECT_FLOAT_EQ(v[0].y, 40.f);
  EXPECT_FLOAT_EQ(v[2].x, 74.f);
  EXPECT_FLOAT_EQ(v[2].y, 80.f);
  EXPECT_FLOAT_EQ(v[2].u, 24.f / 200.f);
  EXPECT_EQ(v[5].c4.u, 0xFF000000u);
  // Chunk rectangle: the corners' bounds grown by the unscaled spread.
  EXPECT_FLOAT_EQ(c->rect.x0, 22.f);
  EXPECT_FLOAT_EQ(c->rect.y1, 84.f);
  // A quarter turn: local (lx, ly) goes to (x - ly, y + lx).
  batch.clear();
  ic.renderIcon(batch, vec4f(50.f, 60.f, 0.f, 1.f), 1.f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, &st);
  v = reinterpret_cast<const DistIconVertex *>(batch.group(0).first->data());
  EXPECT_FLOAT_EQ(v[0].x, 50.f + 10.f);
  EXPECT_FLOAT_EQ(v[0].y, 60.f - 12.f);
  // Out of range ids draw nothing.
  batch.clear();
  ic.renderIcon(batch, vec4f(0.f, 0.f, 1.f, 0.f), 1.f, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, &st);
  ic.renderIcon(batch, vec4f(0.f, 0.f, 1.f, 0.f), 1.f, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, &st);
  EXPECT_EQ(batch.groupCount(), 0);

  EXPECT_FALSE(ic.parse(text.data(), text.size() - 5, file, sizeof(file))); // cut in the last line
  const std::string zero = "info file=\"a\" scaleW=0 scaleH=1 spread=1\nicons count=0\n";
  EXPECT_FALSE(ic.parse(zero.data(), zero.size(), file, sizeof(file)));
}

// The generated assets: every ASCII character has a glyph, and every icon the module
// asks for exists.
TEST(DistFontAssets, GeneratedDescriptorsCoverWhatTheGameUses)
{
#ifdef ZARNITH_TEST_BIN
  std::string bin = ZARNITH_TEST_BIN;
#else
  std::string bin = __FILE__;
  bin = bin.substr(0, bin.rfind("tests/ui/")) + "bin/";
#endif
  snprintf(app_path, sizeof(app_path), "%s", bin.c_str());
  DynArray<uint8_t> data;
  ASSERT_TRUE(read_whole_file(make_full_path("distfont.txt"), data));
  DistFont f;
  char page[64];
  ASSERT_TRUE(f.parse(reinterpret_cast<const char *>(data.ptr), size_t(data.num), page, sizeof(page)));
  EXPECT_STREQ(page, "distfont");
  for (int c = 32; c < 127; c++)
    EXPECT_GE(f.glyphIndex(c), 0) << c;
  EXPECT_GE(f.glyphIndex(0xE9), 0); // Latin-1
  EXPECT_NE(f.kerning('A', 'V'), 0.f);
  int n;
  const vec4f box = f.calcTextBox("Hg", -1, &n);
  EXPECT_EQ(n, 2);
  EXPECT_LT(box.y, -0.6f * float(f.size)); // the cap height above the baseline
  EXPECT_GT(box.w, 0.1f * float(f.size));  // the descender below

  ASSERT_TRUE(read_whole_file(make_full_path("disticons.txt"), data));
  DistIcons ic;
  ASSERT_TRUE(ic.parse(reinterpret_cast<const char *>(data.ptr), size_t(data.num), page, sizeof(page)));
  for (const char *name :
       {"fireball",     "waterball",  "fault",        "house",     "meteor",    "hill",       "pit",
        "water_source", "water_sink", "thunderstorm", "healing",   "lightning", "castle",     "portal",
        "mana",         "health",     "monsters",     "settings",  "close",     "arrow_left", "arrow_right",
        "arrow_up",     "arrow_down", "dot",          "dot_arrow", "check",     "mouse_left", "mouse_right"})
    EXPECT_GE(ic.getIconId(name), 0) << name;
}

// Every cut and many single-byte changes of valid descriptors are parsed without reading
// outside the text (the sanitizer build of these tests checks that); a cut one is
// refused unless the cut falls inside its very last number.
TEST(DistFontDescriptor, CutAndDamagedDescriptorsAreRefusedSafely)
{
  const std::string font = abc_font();
  const std::string icons = "info file=\"icons\" scaleW=200 scaleH=100 spread=4\nicons count=2\n"
                            "icon \"dot\" 16 12 0 0 24 20 -12 10\nicon \"arrow\" 32 32 100 50 40 40 0 0\n";
  DistFont f;
  DistIcons ic;
  char name[64];
  for (size_t n = 0; n < font.size(); n++)
  {
    std::vector<char> cut(font.begin(), font.begin() + long(n)); // exactly n bytes, no terminator
    const bool ok = f.parse(cut.data(), cut.size(), name, sizeof(name));
    if (n <= font.rfind('=') + 1)
    {
      EXPECT_FALSE(ok) << n;
    }
  }
  for (size_t n = 0; n < icons.size(); n++)
  {
    std::vector<char> cut(icons.begin(), icons.begin() + long(n));
    const bool ok = ic.parse(cut.data(), cut.size(), name, sizeof(name));
    if (n <= icons.size() - 3)
    {
      EXPECT_FALSE(ok) << n;
    }
  }
  for (size_t i = 0; i < font.size(); i++)
    for (char c : {'\0', '"', '\n', '-', '9', 'x'})
    {
      std::string bad = font;
      bad[i] = c;
      f.parse(bad.data(), bad.size(), name, sizeof(name));
      std::string bad_icons = icons.substr(0, std::min(icons.size(), i + 1));
      if (i < icons.size())
      {
        bad_icons = icons;
        bad_icons[i] = c;
      }
      ic.parse(bad_icons.data(), bad_icons.size(), name, sizeof(name));
    }
  // A tiny page buffer gets a cut, terminated name.
  char tiny[4];
  EXPECT_TRUE(f.parse(font.data(), font.size(), tiny, sizeof(tiny)));
  EXPECT_STREQ(tiny, "atl");
}
