// Distance-field font descriptors (distfont.txt) as the GUI reads them: an accepted
// descriptor maps every character to a glyph of its own table or to none, and measuring
// any text walks only those glyphs and kernings.
#include <cmath>
#include <cstdint>
#include <cstring>
#include "ui/dist_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  DistFont font;
  char page[256];
  memset(page, 'x', sizeof(page));
  const bool ok = font.parse(reinterpret_cast<const char *>(data), size, page, sizeof(page));
  if (!memchr(page, 0, sizeof(page)))
    __builtin_trap(); // the atlas name is always terminated
  if (!ok)
    return 0;
  if (font.size <= 0 || !(font.invScaleW > 0.f) || !(font.invScaleH > 0.f))
    __builtin_trap();
  char all[256];
  for (int c = 0; c < 256; c++)
  {
    all[c] = char(c);
    const int g = font.glyphIndex(c);
    if (g < -1 || g >= font.glyphs.num)
      __builtin_trap();
    (void)font.kerning(c > 0 ? c - 1 : -1, c);
  }
  int n = -1;
  const vec4f box = font.calcTextBox(all, 256, &n);
  if (n < 0 || n > 256 || std::isnan(box.x) != std::isnan(box.z))
    __builtin_trap();
  // The text itself as a string to measure: lines, kerning pairs, every byte.
  font.calcTextBox(reinterpret_cast<const char *>(data), int(size < 4096 ? size : 4096), &n);
  return 0;
}
