#pragma once
// Scalable GUI text and icons drawn from signed-distance-field atlases. A glyph or an
// icon is one quad sampling a distance texture; the shaders "distfont.sh" and
// "disticon.sh" turn the distances into edges, outlines and shadows at any size.
// Both kinds of quad are recorded into a RenderBatch and drawn between
// start_dist_font_render and end_dist_font_render.
//
// Coordinates are screen pixels with y downwards. Atlas texels hold 0.5 on an outline,
// more inside, less outside; a distance of `spread` atlas texels spans half the range.
#include <cstddef>
#include <cstdint>
#include "core/d3dcolor.h"
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "core/vec4f.h"
#include "render/render_batch.h"

struct Texture;

// The state of distance-field quads: the standard batch state; the render states come
// from the start_dist_font_render bracket.
class ENGINE_API DistFontBatchState : public StdRenderBatchState
{
public:
  DistFontBatchState(Shader *s, VDecl d, int str, Texture *t) : StdRenderBatchState(s, d, str, t) {}
  ~DistFontBatchState() override = default;
};

// One text vertex: fill colour, second colour (outline and shadow), atlas uv and the
// packed effect parameters.
struct DistTextVertex
{
  float x, y;
  D3dColor color, color2;
  float u, v;
  D3dColor params;
};
static_assert(sizeof(DistTextVertex) == 28, "the text declaration reads 28-byte vertices");
constexpr int DIST_GLYPH_BYTES = 6 * int(sizeof(DistTextVertex));
static_assert(DIST_GLYPH_BYTES == 168);

// One icon vertex: colour 0, the packed parameters, atlas uv and colours 1 to 4.
struct DistIconVertex
{
  float x, y;
  D3dColor c0, params;
  float u, v;
  D3dColor c1, c2, c3, c4;
};
static_assert(sizeof(DistIconVertex) == 40, "the icon declaration reads 40-byte vertices");
constexpr int DIST_ICON_BYTES = 6 * int(sizeof(DistIconVertex));
static_assert(DIST_ICON_BYTES == 240);

// The effect parameters of a quad, packed as a colour, for the pixel spread v (spread x
// draw scale): alpha and blue the fill and outline edges, red and green the shadow
// offset, given here in normalised atlas units.
ENGINE_API D3dColor pack_dist_params(float thickness, float offset_u, float offset_v, float outer_thickness, float v);

// A distance-field font: glyph metrics, kerning and the atlas, read from a descriptor
// (see load). Constructed empty; drawing with an unloaded font draws nothing.
class ENGINE_API DistFont
{
public:
  struct Glyph
  {
    float u, v;          // normalised top-left corner in the atlas
    float width, height; // font pixels, spread margin included
    float xoffset, yoffset, xadvance;
  };
  struct CharRange
  {
    int first, end; // character codes [first, end)
    int firstGlyph; // glyph index of `first`
  };
  struct Kerning
  {
    int second;
    float amount;
  };
  struct KerningRange
  {
    int first;        // the first character of every pair in the range
    int start, count; // entries in kernings
  };

  int size = 0;       // pixel size the glyphs were generated at
  int spread = 0;     // distance-field spread in atlas texels
  int lineHeight = 0; // line advance in font pixels
  float invScaleW = 0.f, invScaleH = 0.f;
  Texture *texture = nullptr;          // shared file texture
  DistFontBatchState *state = nullptr; // owned; survives reloads
  DynArray<Glyph> glyphs;              // file order
  DynArray<CharRange> charRanges;
  DynArray<Kerning> kernings; // file order
  DynArray<KerningRange> kerningRanges;

  DistFont();
  ~DistFont();
  DistFont(const DistFont &) = delete;
  DistFont &operator=(const DistFont &) = delete;

  // Reads the descriptor file (resolved with make_full_path) and its atlas: the page
  // name resolved the same way with ".dds" appended. False for a missing file, a line
  // that does not match its pattern, or a missing atlas; the font is then partly
  // filled and should be cleared or loaded again.
  bool load(const char *file);
  // The descriptor alone, from memory (what load does after opening the file). page
  // receives the atlas name from the "page" line. Clears glyphs and kerning first.
  bool parse(const char *data, size_t size, char *page, int page_size);
  // Deletes the state, releases the atlas and frees the tables.
  void clear();

  // The ink box (x0, y0, x1, y1) of the text in font pixels, the first line's baseline
  // at y = 0, and the number of glyph quads it needs. len < 0: up to the NUL.
  vec4f calcTextBox(const char *text, int len, int *glyph_count) const;
  // Records the text as one batch chunk. align bits 0-1: 1 left edge at rect.x0, 2 right
  // edge at rect.x1, else centred; bits 2-3 the same for top (y0) and bottom (y1).
  // size: drawn pixels per font size. thickness: extra fill width in pixels; offset_x,
  // offset_y: shadow offset in percent of the font size; outer_thickness: the outline's
  // width in pixels (drawn in color2 where it exceeds thickness). A null state is the
  // font's own.
  void renderText(RenderBatch &batch, vec4f rect, int align, D3dColor color, float size, const char *text, int len,
                  float thickness = 0.f, float offset_x = 0.f, float offset_y = 0.f, float outer_thickness = 0.f,
                  D3dColor color2 = D3dColor(0u), BaseRenderBatchState *state = nullptr) const;

  // Glyph index of a character code (0..255), -1 when no range holds it.
  int glyphIndex(int c) const;
  // Kerning between prev and c; 0 when no pair matches (prev = -1 at a line start).
  float kerning(int prev, int c) const;
};

// A distance-field icon atlas addressed by name. Four channels, each the distance field
// of one layer painted bottom to top: red the silhouette (the union of all layers), then
// green, blue and alpha three detail layers.
class ENGINE_API DistIcons
{
public:
  struct Icon
  {
    char *name;          // heap copy
    float u, v;          // normalised top-left corner
    float width, height; // atlas texels
    float pivotX, pivotY;
    float orgW, orgH; // nominal size
  };

  int spread = 0;
  float invScaleW = 0.f, invScaleH = 0.f;
  Texture *texture = nullptr;
  DistFontBatchState *state = nullptr; // owned
  DynArray<Icon> icons;                // file order; the index is the icon id

  DistIcons();
  ~DistIcons();
  DistIcons(const DistIcons &) = delete;
  DistIcons &operator=(const DistIcons &) = delete;

  // Releases the previous state, atlas and icons, then reads the descriptor and the
  // atlas named in its "info" line (".dds" appended). False as for DistFont::load.
  bool load(const char *file);
  // The descriptor from memory; file receives the atlas name. Frees the icons first.
  bool parse(const char *data, size_t size, char *file, int file_size);
  void clear();

  // The first icon of that name (case-sensitive), -1 if none.
  int getIconId(const char *name) const;
  // Nominal size of an icon; 0 for an id out of range.
  float getOrgW(int id) const;
  float getOrgH(int id) const;
  // One quad. placement = (x, y, a, b): the pivot lands on (x, y) and the icon turns by
  // (a, b) = (cos, sin) of its rotation (optionally times a scale); scale multiplies
  // the atlas size (getOrgW x scale = drawn nominal width). Offsets are in atlas texels.
  // c0 paints the silhouette, c1 to c3 the detail layers, c4 the outline and shadow.
  // An id out of range draws nothing; a null state is the atlas's own.
  void renderIcon(RenderBatch &batch, vec4f placement, float scale, int id, float thickness, float offset_x,
                  float offset_y, float outer_thickness, D3dColor c0, D3dColor c1, D3dColor c2, D3dColor c3,
                  D3dColor c4, BaseRenderBatchState *state = nullptr) const;
};

// The vertex declarations and shaders; call once the device exists, before any load.
// The close functions are safe when init never ran.
ENGINE_API void init_dist_fonts();
ENGINE_API void init_dist_icons();
ENGINE_API void close_dist_fonts();
ENGINE_API void close_dist_icons();
// Bracket the rendering of batches holding distance-field quads (and the GUI's boxes
// and images): screen transform, no culling or depth, premultiplied alpha blending.
ENGINE_API void start_dist_font_render();
ENGINE_API void end_dist_font_render();

// The GUI's font and icons; the game-object module loads them.
extern ENGINE_API DistFont default_font;
extern ENGINE_API DistIcons ui_icons;
// Icon ids for the module (-1: none). The program never changes them.
extern ENGINE_API int dot_icon, dot_arrow_icon, portal_icon;
