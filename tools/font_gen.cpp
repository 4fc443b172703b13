// font_gen: renders a TrueType font into the bitmap font picture "font.tga".
//
//   font_gen <font.ttf> <out.tga> [cell_width cell_height]
//
// The picture is a 16 x 16 grid of glyph cells, glyph code = row * 16 + column with
// row 0 at the top. Codes 32..126 are ASCII, 160..255 Latin-1; control codes stay
// empty. Every texel is white; the glyph coverage is the alpha channel. The file is an
// uncompressed 32-bit TGA (type 2) stored bottom-up, which is what the text renderer
// expects.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <stb/stb_truetype.h>

#include "asset_files.h"

static bool write_tga(const char *name, int w, int h, const std::vector<uint32_t> &picture)
{
  unsigned char hdr[18] = {};
  hdr[2] = 2; // uncompressed true colour
  hdr[12] = uint8_t(w);
  hdr[13] = uint8_t(w >> 8);
  hdr[14] = uint8_t(h);
  hdr[15] = uint8_t(h >> 8);
  hdr[16] = 32;
  hdr[17] = 8; // 8 alpha bits, origin at the bottom left
  // Write to a temporary name first so that an interrupted run never leaves half a font.
  std::vector<char> tmp_name(strlen(name) + 5);
  snprintf(tmp_name.data(), tmp_name.size(), "%s.tmp", name);
  FILE *f = fopen(tmp_name.data(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(hdr, 1, sizeof(hdr), f) == sizeof(hdr);
  std::vector<unsigned char> row(size_t(w) * 4);
  for (int y = h - 1; ok && y >= 0; --y) // bottom row first
  {
    for (int x = 0; x < w; ++x)
    {
      uint32_t p = picture[size_t(y) * w + x];
      row[x * 4 + 0] = uint8_t(p);
      row[x * 4 + 1] = uint8_t(p >> 8);
      row[x * 4 + 2] = uint8_t(p >> 16);
      row[x * 4 + 3] = uint8_t(p >> 24);
    }
    ok = fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  ok = (fclose(f) == 0) && ok;
  if (ok)
    ok = rename(tmp_name.data(), name) == 0;
  if (!ok)
    remove(tmp_name.data());
  return ok;
}

int main(int argc, char **argv)
{
  if (argc != 3 && argc != 5)
  {
    fprintf(stderr, "usage: %s <font.ttf> <out.tga> [cell_width cell_height]\n", argv[0]);
    return 2;
  }
  int cell_w = 8, cell_h = 16;
  if (argc == 5)
  {
    cell_w = atoi(argv[3]);
    cell_h = atoi(argv[4]);
    if (cell_w < 4 || cell_h < 4 || cell_w > 256 || cell_h > 256)
    {
      fprintf(stderr, "font_gen: cell size %dx%d out of range 4..256\n", cell_w, cell_h);
      return 2;
    }
  }

  std::vector<unsigned char> ttf;
  if (!asset::read_file(argv[1], ttf))
  {
    fprintf(stderr, "font_gen: can't read '%s'\n", argv[1]);
    return 1;
  }
  stbtt_fontinfo font;
  if (!stbtt_InitFont(&font, ttf.data(), stbtt_GetFontOffsetForIndex(ttf.data(), 0)))
  {
    fprintf(stderr, "font_gen: '%s' is not a TrueType font\n", argv[1]);
    return 1;
  }

  // Size the font so that one advance fills the cell width minus the one texel gap the
  // text layout adds, and ascent plus descent fit the cell height.
  int ascent, descent, line_gap, advance, lsb;
  stbtt_GetFontVMetrics(&font, &ascent, &descent, &line_gap);
  stbtt_GetCodepointHMetrics(&font, 'M', &advance, &lsb);
  float scale = stbtt_ScaleForPixelHeight(&font, float(cell_h) - 1.0f);
  if (advance > 0 && scale * advance > float(cell_w))
    scale = float(cell_w) / float(advance);
  int baseline = int(lrintf(float(ascent) * scale)); // from the cell top
  int x_origin = int(lrintf((float(cell_w) - float(advance) * scale) * 0.5f));
  if (x_origin < 0)
    x_origin = 0;

  const int img_w = cell_w * 16, img_h = cell_h * 16;
  std::vector<uint32_t> picture(size_t(img_w) * img_h, 0x00FFFFFFu);
  int drawn = 0;
  for (int code = 0; code < 256; ++code)
  {
    if (code < 32 || (code >= 127 && code < 161))
      continue; // control codes and the non-breaking space stay blank
    if (!stbtt_FindGlyphIndex(&font, code))
      continue;
    int x0, y0, x1, y1;
    stbtt_GetCodepointBitmapBox(&font, code, scale, scale, &x0, &y0, &x1, &y1);
    // Place the bitmap box inside the cell and clip it to the cell.
    int gx = x_origin + x0, gy = baseline + y0;
    int bw = x1 - x0, bh = y1 - y0;
    if (bw <= 0 || bh <= 0)
      continue;
    std::vector<unsigned char> bitmap(size_t(bw) * bh);
    stbtt_MakeCodepointBitmap(&font, bitmap.data(), bw, bh, bw, scale, scale, code);
    int col = code % 16, row = code / 16;
    bool any = false;
    for (int y = 0; y < bh; ++y)
      for (int x = 0; x < bw; ++x)
      {
        int cx = gx + x, cy = gy + y;
        if (cx < 0 || cy < 0 || cx >= cell_w || cy >= cell_h)
          continue;
        unsigned a = bitmap[size_t(y) * bw + x];
        if (!a)
          continue;
        // A mild contrast curve keeps small unhinted glyphs readable when drawn 1:1.
        float f = float(a) / 255.0f;
        f = f < 0.5f ? 2.0f * f * f : 1.0f - 2.0f * (1.0f - f) * (1.0f - f);
        f = 0.5f * f + 0.5f * (float(a) / 255.0f);
        unsigned alpha = unsigned(lrintf(f * 255.0f));
        if (alpha == 0)
          alpha = 1;
        picture[size_t(row * cell_h + cy) * img_w + col * cell_w + cx] = (alpha << 24) | 0xFFFFFFu;
        any = true;
      }
    drawn += any;
  }

  if (!write_tga(argv[2], img_w, img_h, picture))
  {
    fprintf(stderr, "font_gen: can't write '%s'\n", argv[2]);
    return 1;
  }
  printf("font_gen: %d glyphs in %dx%d cells written to %s\n", drawn, cell_w, cell_h, argv[2]);
  return 0;
}
