#pragma once
// Private to ui/: the bitmap font's data and the text layout shared by immediate and
// batched drawing. Nothing here touches the device, so layout is testable without one.
#include <cstdint>
#include "core/d3dcolor.h"
#include "ui/text.h"

struct Texture;
struct Shader;
struct VertexDecl;

// Position in screen pixels (bottom-left origin, y up), colour, texel coordinate.
// Texel (-1, -1) on every vertex of a quad marks a solid rectangle.
struct FontVertex
{
  int16_t x, y;
  uint32_t color;
  int16_t u, v;
};
static_assert(sizeof(FontVertex) == 12, "the font declaration reads 12-byte vertices");

constexpr int FONT_QUAD_BYTES = 6 * int(sizeof(FontVertex));

// A glyph's box within its cell in texture pixels; x1 and y1 exclusive.
struct FontGlyph
{
  int x0, y0, x1, y1;
};

struct BitmapFont
{
  int width = 0, height = 0;  // texture size
  int cell_w = 0, cell_h = 0; // width / 16, height / 16
  FontGlyph glyphs[256] = {};
  float inv_w = 0, inv_h = 0;
  int default_scale = 1;
  Texture *texture = nullptr;
  Shader *shader = nullptr;
  VertexDecl *vdecl = nullptr;
};
// Valid after init_font (or font_build_glyphs in tests) until close_font.
extern BitmapFont font;

// Fills the cell sizes and glyph boxes from a picture in file order (bottom row first,
// 0xAARRGGBB). False when the size is not a non-zero multiple of 16 in both directions.
bool font_build_glyphs(BitmapFont &f, int w, int h, const uint32_t *pixels);
// d3d_ht / (cell_h * 30), at least 1.
int font_scale_for_height(const BitmapFont &f, int screen_height);

// Two triangles (x0,y0) (x1,y0) (x1,y1) (x0,y0) (x1,y1) (x0,y1) with matching texels.
void font_quad(FontVertex *v, int x0, int y0, int x1, int y1, uint32_t color, int u0, int v0, int u1, int v1);

inline int glyph_advance(const FontGlyph &g, const TextStyle &s)
{
  return s.char_spacing + s.scale * (g.x1 - g.x0 + 1);
}

inline int text_length(const char *text, int len)
{
  if (!text)
    return 0;
  if (len < 0)
  {
    len = 0;
    while (text[len])
      len++;
  }
  return len;
}

// Lower-left corner of the aligned text block of size (w, h) at (x, y).
inline void text_block_origin(int x, int y, int align_x, int align_y, int w, int h, int &bx, int &by)
{
  bx = x - (align_x + 1) * w / 2;
  by = y - h * (align_y + 1) / 2;
}

// Calls emit(const FontVertex *six) for every quad of the text, the shadow of a glyph
// before the glyph, in drawing order.
template <class Emit>
void layout_text(const BitmapFont &f, const TextStyle &s, const char *text, int len, int x, int y, int align_x,
                 int align_y, D3dColor color, Emit &&emit)
{
  len = text_length(text, len);
  if (!len)
    return;
  int w, h;
  calc_text_size(text, len, w, h);
  const int line_h = s.scale * f.cell_h;
  const int start_x = x - (align_x + 1) * w / 2;
  int pen = start_x;
  int line = y + s.line_spacing + h - h * (align_y + 1) / 2 - line_h;
  const uint32_t shadow = (color.u >> 1) & 0x7F000000u;
  FontVertex quad[6];
  for (int i = 0; i < len; ++i)
  {
    unsigned char c = (unsigned char)text[i];
    const FontGlyph &g = f.glyphs[c];
    if (c == '\n')
    {
      line -= line_h + s.line_spacing;
      pen = start_x;
      continue;
    }
    if (c != 0 && c != ' ')
    {
      int qw = s.scale * (g.x1 - g.x0), qh = s.scale * (g.y1 - g.y0);
      font_quad(quad, pen + 1, line - 1, pen + qw + 1, line + qh - 1, shadow, g.x0, g.y0, g.x1, g.y1);
      emit(quad);
      font_quad(quad, pen, line, pen + qw, line + qh, color.u, g.x0, g.y0, g.x1, g.y1);
      emit(quad);
    }
    pen += glyph_advance(g, s);
  }
}
