#pragma once
// Private to ui/: the walk over a text's glyphs that measuring and drawing share.
#include "ui/dist_font.h"

// Calls quad(glyph, x0, y0) for every glyph of the text that has a quad (width not 0),
// with the top-left corner of its cell: the pen starts at (ox, oy) on the first line's
// baseline and everything is scaled by s. A newline returns the pen and moves down a
// line; characters without a glyph neither draw nor advance but still kern.
template <class Quad>
void dist_font_walk(const DistFont &f, const char *text, int len, float s, float ox, float oy, Quad &&quad)
{
  float pen = ox, line = oy;
  int prev = -1;
  for (int i = 0; i < len; i++)
  {
    const int c = (unsigned char)text[i];
    if (c == '\n')
    {
      prev = -1;
      pen = ox;
      line += s * float(f.lineHeight);
      continue;
    }
    const int gi = f.glyphIndex(c);
    if (gi >= 0)
    {
      const DistFont::Glyph &g = f.glyphs.ptr[gi];
      const float k = f.kerning(prev, c);
      if (g.width != 0.f)
        quad(g, pen + s * (k + g.xoffset), line - s * g.yoffset);
      pen += s * (k + g.xadvance);
    }
    prev = c;
  }
}
