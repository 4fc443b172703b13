// dist_font_gen: renders a TrueType font into a signed-distance-field atlas and its text
// descriptor, the scalable GUI font.
//
//   dist_font_gen <font.ttf> <out_base> [size spread]
//
// Writes <out_base>.dds (an L8 atlas with its mip chain) and <out_base>.txt (the
// descriptor whose page names the atlas by the base name without a folder). The glyphs
// are rendered at `size` pixels to the em (default 64) with a distance ramp of `spread`
// atlas pixels on each side of the outline (default 8): texel 128 lies on the outline,
// 255 is `spread` pixels inside, 0 `spread` pixels outside. That resolution keeps the
// outline sharp when drawn from about 12 px (a fifth of the size, read from the mips)
// to 120 px (under twice the size, where the ramp is still several texels wide).
//
// Codes 32..126 and 160..255 (Latin-1) get a glyph; glyphs without an outline (the
// spaces) have width 0 and only advance. Kerning pairs between those codes come from the
// font's kerning tables.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <stb/stb_truetype.h>

#include "asset_files.h"

namespace
{
constexpr const char *TOOL = "dist_font_gen";
constexpr int ATLAS_W = 1024;
constexpr int GAP = 2; // texels between cells, so the mips of neighbours do not bleed

struct Glyph
{
  int code;
  int w = 0, h = 0;       // bitmap size including the spread margin
  int xoff = 0, yoff = 0; // from the pen on the baseline to the bitmap's top-left (y down)
  float advance = 0;
  std::vector<uint8_t> sdf;
  int x = 0, y = 0; // atlas position
};

// The family name from the font's name table (Windows Unicode entry), ASCII only.
std::string family_name(const stbtt_fontinfo &font)
{
  int len = 0;
  const char *s = stbtt_GetFontNameString(&font, &len, STBTT_PLATFORM_ID_MICROSOFT, STBTT_MS_EID_UNICODE_BMP,
                                          STBTT_MS_LANG_ENGLISH, 1);
  std::string name;
  for (int i = 0; s && i + 1 < len; i += 2) // UTF-16 big endian
    if (s[i] == 0 && s[i + 1] >= 32 && s[i + 1] < 127 && s[i + 1] != '"')
      name += s[i + 1];
  return name.empty() ? "font" : name;
}

// Shelf packing, tallest first: returns the atlas height, a multiple of 32 (the mips
// keep whole texels down to level 5).
int pack(std::vector<Glyph> &glyphs)
{
  std::vector<Glyph *> order;
  for (Glyph &g : glyphs)
    if (g.w > 0)
      order.push_back(&g);
  std::stable_sort(order.begin(), order.end(), [](const Glyph *a, const Glyph *b) { return a->h > b->h; });
  int x = GAP, y = GAP, shelf_h = 0;
  for (Glyph *g : order)
  {
    if (x + g->w + GAP > ATLAS_W)
    {
      x = GAP;
      y += shelf_h + GAP;
      shelf_h = 0;
    }
    g->x = x;
    g->y = y;
    x += (g->w + GAP + 1) & ~1; // even positions keep the first mip levels apart
    shelf_h = std::max(shelf_h, g->h);
  }
  return (y + shelf_h + GAP + 31) & ~31;
}

std::string fmt(float v)
{
  char buf[32];
  snprintf(buf, sizeof(buf), "%.3f", v);
  std::string s = buf;
  while (s.size() > 1 && s.back() == '0')
    s.pop_back();
  if (s.back() == '.')
    s.pop_back();
  return s == "-0" ? "0" : s;
}
} // namespace

int main(int argc, char **argv)
{
  if (argc != 3 && argc != 5)
  {
    fprintf(stderr, "usage: %s <font.ttf> <out_base> [size spread]\n", argv[0]);
    return 2;
  }
  int size = 64, spread = 8;
  if (argc == 5)
  {
    size = atoi(argv[3]);
    spread = atoi(argv[4]);
    if (size < 8 || size > 256 || spread < 1 || spread > 32)
    {
      fprintf(stderr, "%s: size %d or spread %d out of range (8..256, 1..32)\n", TOOL, size, spread);
      return 2;
    }
  }
  std::vector<unsigned char> ttf;
  if (!asset::read_file(argv[1], ttf))
  {
    fprintf(stderr, "%s: can't read '%s'\n", TOOL, argv[1]);
    return 1;
  }
  stbtt_fontinfo font;
  if (!stbtt_InitFont(&font, ttf.data(), stbtt_GetFontOffsetForIndex(ttf.data(), 0)))
  {
    fprintf(stderr, "%s: '%s' is not a TrueType font\n", TOOL, argv[1]);
    return 1;
  }
  const float scale = stbtt_ScaleForMappingEmToPixels(&font, float(size));
  int ascent, descent, line_gap;
  stbtt_GetFontVMetrics(&font, &ascent, &descent, &line_gap);
  const int line_height = int(lrintf(float(ascent - descent + line_gap) * scale));

  std::vector<Glyph> glyphs;
  for (int code = 32; code < 256; code++)
  {
    if (code >= 127 && code < 160)
      continue;
    Glyph g;
    g.code = code;
    const int cp = code == 160 ? 32 : code; // the non-breaking space looks like the space
    int adv, lsb;
    stbtt_GetCodepointHMetrics(&font, cp, &adv, &lsb);
    g.advance = float(adv) * scale;
    if (!stbtt_FindGlyphIndex(&font, cp))
      fprintf(stderr, "%s: warning: no glyph for code %d\n", TOOL, code);
    unsigned char *sdf =
      stbtt_GetCodepointSDF(&font, scale, cp, spread, 128, 128.f / float(spread), &g.w, &g.h, &g.xoff, &g.yoff);
    if (sdf)
    {
      g.sdf.assign(sdf, sdf + size_t(g.w) * g.h);
      stbtt_FreeSDF(sdf, nullptr);
    }
    else
      g.w = g.h = 0;
    glyphs.push_back(std::move(g));
  }

  const int atlas_h = pack(glyphs);
  std::vector<uint8_t> atlas(size_t(ATLAS_W) * atlas_h, 0);
  for (const Glyph &g : glyphs)
    for (int y = 0; y < g.h; y++)
      std::copy_n(g.sdf.data() + size_t(y) * g.w, g.w, atlas.data() + size_t(g.y + y) * ATLAS_W + g.x);

  // Kerning between every pair of covered codes, in order of the first code.
  struct Kern
  {
    int first, second;
    float amount;
  };
  std::vector<Kern> kerns;
  for (const Glyph &a : glyphs)
    for (const Glyph &b : glyphs)
    {
      if (a.code == 160 || b.code == 160)
        continue;
      const float k = float(stbtt_GetCodepointKernAdvance(&font, a.code, b.code)) * scale;
      if (std::fabs(k) >= 0.25f)
        kerns.push_back({a.code, b.code, k});
    }

  std::string base = argv[2];
  size_t slash = base.find_last_of('/');
  const std::string page = slash == std::string::npos ? base : base.substr(slash + 1);
  std::string text;
  text +=
    "info face=\"" + family_name(font) + "\" size=" + std::to_string(size) + " spread=" + std::to_string(spread) + "\n";
  text += "common lineHeight=" + std::to_string(line_height) + " base=0 scaleW=" + std::to_string(ATLAS_W) +
          " scaleH=" + std::to_string(atlas_h) + "\n";
  text += "page id=0 file=\"" + page + "\"\n";
  text += "chars count=" + std::to_string(glyphs.size()) + "\n";
  for (const Glyph &g : glyphs)
    text += "char id=" + std::to_string(g.code) + " x=" + std::to_string(g.x) + " y=" + std::to_string(g.y) +
            " width=" + std::to_string(g.w) + " height=" + std::to_string(g.h) + " xoffset=" + std::to_string(g.xoff) +
            " yoffset=" + std::to_string(-g.yoff) + " xadvance=" + fmt(g.advance) + "\n";
  text += "kernings count=" + std::to_string(kerns.size()) + "\n";
  for (const Kern &k : kerns)
    text += "kerning first=" + std::to_string(k.first) + " second=" + std::to_string(k.second) +
            " amount=" + fmt(k.amount) + "\n";

  if (!asset::write_file(TOOL, base + ".dds", asset::dds_file(std::move(atlas), ATLAS_W, atlas_h, 1)) ||
      !asset::write_text(TOOL, base + ".txt", text))
    return 1;
  printf("%s: %d glyphs, %d kerning pairs, %dx%d atlas written to %s.dds/.txt\n", TOOL, int(glyphs.size()),
         int(kerns.size()), ATLAS_W, atlas_h, base.c_str());
  return 0;
}
