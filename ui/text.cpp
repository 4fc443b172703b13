#include "ui/text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include "core/dyn_array.h"
#include "core/log.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/render_batch.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/textures.h"
#include "ui/text_layout.h"

BitmapFont font;
ENGINE_API TextStyle cur_text_style = {0, 0, 1};
static DynArray<TextStyle> text_style_stack;

// The font's batch state: the standard state plus the text render states, which it
// sets up in begin and takes down again in end.
class FontBatchState : public StdRenderBatchState
{
public:
  ~FontBatchState() override;
  void begin(const BaseRenderBatchState *prev) override;
  void end() override;
};
FontBatchState::~FontBatchState() = default;
static FontBatchState font_batch_state;

// Splash: written by show_splash, read by draw_splash.
static char splash_text[256] = "Please wait...";
static float splash_progress = -1.0f;

bool font_build_glyphs(BitmapFont &f, int w, int h, const uint32_t *pixels)
{
  if (w <= 0 || h <= 0 || w % 16 || h % 16)
    return false;
  f.width = w;
  f.height = h;
  f.cell_w = w / 16;
  f.cell_h = h / 16;
  f.inv_w = 1.0f / float(w);
  f.inv_h = 1.0f / float(h);
  const int cw = f.cell_w, ch = f.cell_h;
  auto column_set = [&](int x, int row0) {
    for (int y = row0; y < row0 + ch; ++y)
      if (pixels[size_t(y) * w + x] >> 24)
        return true;
    return false;
  };
  for (int g = 0; g < 256; ++g)
  {
    const int left = (g % 16) * cw, row0 = (15 - g / 16) * ch; // rows are stored bottom-up
    FontGlyph &gl = f.glyphs[g];
    gl.y0 = row0;
    gl.y1 = row0 + ch;
    int x0 = left;
    while (x0 < left + cw && !column_set(x0, row0))
      x0++;
    if (x0 == left + cw)
    {
      gl.x0 = left;
      gl.x1 = left + cw / 2 + 1;
      continue;
    }
    int x1 = left + cw - 1;
    while (x1 > x0 && !column_set(x1, row0))
      x1--;
    gl.x0 = x0;
    gl.x1 = x1 + 1;
  }
  return true;
}

int font_scale_for_height(const BitmapFont &f, int screen_height)
{
  int s = f.cell_h > 0 ? screen_height / (f.cell_h * 30) : 1;
  return s < 1 ? 1 : s;
}

void font_quad(FontVertex *v, int x0, int y0, int x1, int y1, uint32_t color, int u0, int v0, int u1, int v1)
{
  auto put = [&](FontVertex &o, int x, int y, int u, int t) {
    o.x = int16_t(x);
    o.y = int16_t(y);
    o.color = color;
    o.u = int16_t(u);
    o.v = int16_t(t);
  };
  put(v[0], x0, y0, u0, v0);
  put(v[1], x1, y0, u1, v0);
  put(v[2], x1, y1, u1, v1);
  put(v[3], x0, y0, u0, v0);
  put(v[4], x1, y1, u1, v1);
  put(v[5], x0, y1, u0, v1);
}

void init_font()
{
  close_font();
  int w = 0, h = 0;
  DynArray<uint32_t> pixels;
  if (!load_tga("font.tga", w, h, pixels))
    fatal("can't load font.tga");
  if (!font_build_glyphs(font, w, h, pixels.ptr))
    fatal("expected 16x16 font grid in font.tga, got %dx%d image", w, h);
  font.default_scale = font_scale_for_height(font, d3d_ht);
  cur_text_style.scale = font.default_scale;
  debug("font scale: %d", font.default_scale);

  font.texture = create_managed_texture(w, h);
  if (!font.texture)
    fatal("can't create font texture");
  int pitch = 0;
  uint8_t *ptr = static_cast<uint8_t *>(lock_texture(font.texture, &pitch, false));
  ASSERT(ptr);
  for (int y = 0; y < h; ++y) // file order: the texture is upside down, as the glyph boxes expect
    memcpy(ptr + size_t(y) * pitch, pixels.ptr + size_t(y) * w, size_t(w) * 4);
  unlock_texture(font.texture);

  const VsdElement decl[] = {
    vsd_element(0, 0, VSDT_SHORT2, VSDU_POSITION, 0),
    vsd_element(4, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0),
    vsd_element(8, 0, VSDT_SHORT2, VSDU_TEXCOORD, 0),
    vsd_end(),
  };
  font.vdecl = create_vdecl(decl);
  font.shader = create_shader("font.sh", nullptr);
  font_batch_state.shader = font.shader;
  font_batch_state.vdecl = font.vdecl;
  font_batch_state.stride = int(sizeof(FontVertex));
  font_batch_state.texture = font.texture;
}

void close_font()
{
  if (font.shader)
    destroy_shader(font.shader);
  if (font.texture)
    release_texture(font.texture);
  font.shader = nullptr;
  font.texture = nullptr;
  font.vdecl = nullptr; // declarations live until the device closes
  font_batch_state.reset();
  text_style_stack.release();
}

void update_font_scale()
{
  if (!font.cell_h)
    return;
  font.default_scale = font_scale_for_height(font, d3d_ht);
  cur_text_style.scale = font.default_scale;
  debug("font scale: %d", font.default_scale);
}

void push_text_style() { text_style_stack.push(cur_text_style); }

void pop_text_style()
{
  cur_text_style = text_style_stack.back();
  text_style_stack.pop();
}

void set_text_scale(int scale) { cur_text_style.scale = scale < 1 ? 1 : scale; }
int get_font_glyph_height() { return font.cell_h; }
int get_text_line_height() { return font.cell_h * cur_text_style.scale; }

void calc_text_size(const char *text, int len, int &width, int &height)
{
  len = text_length(text, len);
  width = height = 0;
  const TextStyle &s = cur_text_style;
  int line_w = 0;
  bool line_empty = true;
  for (int i = 0; i < len; ++i)
  {
    unsigned char c = (unsigned char)text[i];
    if (c == '\n')
    {
      height += s.scale * font.cell_h + s.line_spacing;
      if (line_w > width)
        width = line_w;
      line_w = 0;
      line_empty = true;
      continue;
    }
    line_w += glyph_advance(font.glyphs[c], s);
    line_empty = false;
  }
  if (line_w > width)
    width = line_w;
  if (!line_empty)
    height += s.scale * font.cell_h;
}

// The font shader's VC_FONT_SCREEN (pixels to clip space) and VC_FONT_TEXEL (texels to uv).
static void set_font_consts()
{
  const float fw = float(d3d_wd), fh = float(d3d_ht);
  const float c[8] = {2.0f / fw, 2.0f / fh, -1.0f - 0.5f / fw, 0.5f / fh - 1.0f, font.inv_w, font.inv_h, 0, 0};
  set_vs_consts(VC_FONT_SCREEN, c, 2);
}

static void set_text_states()
{
  set_tex_filter(TEX_STAGE(TEX_BATCH), false);
  set_font_consts();
  set_cull_mode(0);
  set_zenable(false);
  set_zwrite(false);
  set_blend_alpha();
  set_atest(1);
}

static void reset_text_states()
{
  common_vb_writer.flush(true);
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_blend_none();
  set_atest(0);
  set_tex_filter(TEX_STAGE(TEX_BATCH), true);
}

void start_draw_text()
{
  set_vdecl(font.vdecl);
  set_vb(0, common_vb_writer.vb, 0, int(sizeof(FontVertex)));
  set_shader(font.shader);
  set_texture(TEX_STAGE(TEX_BATCH), font.texture);
  set_text_states();
  common_vb_writer.start(dynvb_draw_triangles, D3DPT_TRIANGLELIST);
}

void end_draw_text() { reset_text_states(); }

void FontBatchState::begin(const BaseRenderBatchState *prev)
{
  StdRenderBatchState::begin(prev);
  set_text_states();
}

void FontBatchState::end() { reset_text_states(); }

StdRenderBatchState *get_font_batch_state() { return &font_batch_state; }

// Appends one quad to the running writer, making room first.
static void write_quad(const FontVertex *quad)
{
  DynVBWriter &w = common_vb_writer;
  ASSERT(w.startPtr); // only between start_draw_text and end_draw_text
  if (w.roomLeft() < FONT_QUAD_BYTES)
    w.flush(false);
  memcpy(w.cur, quad, FONT_QUAD_BYTES);
  w.cur += FONT_QUAD_BYTES;
  w.count += 2;
}

void draw_text(const char *text, int len, int x, int y, int align_x, int align_y, D3dColor color)
{
  layout_text(font, cur_text_style, text, len, x, y, align_x, align_y, color, write_quad);
}

void draw_rect(int x0, int y0, int x1, int y1, D3dColor color)
{
  FontVertex quad[6];
  font_quad(quad, x0, y0, x1, y1, color.u, -1, -1, -1, -1);
  write_quad(quad);
}

// Four quads that meet without overlapping, so a translucent outline has even corners
// and every pixel of the rim, corners included, is covered.
void draw_box(int x0, int y0, int x1, int y1, D3dColor color)
{
  draw_rect(x0, y0, x1 + 1, y0 + 1, color);
  draw_rect(x0, y1, x1 + 1, y1 + 1, color);
  draw_rect(x0, y0 + 1, x0 + 1, y1, color);
  draw_rect(x1, y0 + 1, x1 + 1, y1, color);
}

// Batch rectangles are in top-down screen pixels, as the GUI records its quads, so that
// the overlap rule compares text with the boxes around it; the vertices stay bottom-up.
static void *batch_font_quad(RenderBatch &batch, int x0, int y0, int x1, int y1)
{
  return batch.add(&font_batch_state, float(x0), float(d3d_ht - y1), float(x1), float(d3d_ht - y0), FONT_QUAD_BYTES, 2);
}

void batch_rect(RenderBatch &batch, int x0, int y0, int x1, int y1, D3dColor color)
{
  void *p = batch_font_quad(batch, x0, y0, x1, y1);
  font_quad(static_cast<FontVertex *>(p), x0, y0, x1, y1, color.u, -1, -1, -1, -1);
}

void batch_text(RenderBatch &batch, const char *text, int len, int x, int y, int align_x, int align_y, D3dColor color)
{
  len = text_length(text, len);
  if (!len)
    return;
  int w, h, bx, by;
  calc_text_size(text, len, w, h);
  text_block_origin(x, y, align_x, align_y, w, h, bx, by);
  layout_text(font, cur_text_style, text, len, x, y, align_x, align_y, color, [&](const FontVertex *quad) {
    void *p = batch_font_quad(batch, bx, by, bx + w, by + h);
    memcpy(p, quad, FONT_QUAD_BYTES);
  });
}

void show_splash(const char *message, float progress)
{
  // Longer messages (they may come from scripts) are cut to the 255 characters kept.
  snprintf(splash_text, sizeof(splash_text), "%s", message ? message : "");
  splash_progress = progress;
  show_splash_frame();
}

void draw_splash()
{
  set_backbuffer_target();
  clear_view_color(D3dColor(0xFF000A28u));
  if (!font.shader)
    return; // before init_font: the background only
  start_draw_text();
  draw_text(splash_text, -1, d3d_wd / 2, d3d_ht / 4, 0, 0, D3dColor(0xFFFFFFFFu));
  if (splash_progress >= 0)
  {
    const int bar_w = d3d_wd / 4;
    const int a = cur_text_style.scale * font.cell_h * 3;
    const int left = (d3d_wd - bar_w) / 2, bottom = d3d_ht / 4 - a, top = bottom + a / 2;
    draw_rect(left, bottom, left + bar_w, top, D3dColor(0xFF000000u));
    float p = splash_progress > 1.0f ? 1.0f : splash_progress;
    draw_rect(left, bottom, left + int(rintf(float(bar_w) * p)), top, D3dColor(0xFF32960Au));
  }
  end_draw_text();
}

void draw_help_text(const char *text)
{
  const int l = get_text_line_height();
  draw_text(text, -1, l, d3d_ht - l, -1, 1, D3dColor(0xFFFFFFFFu));
}

void draw_help_hint()
{
  const int l = get_text_line_height();
  draw_text("F1: help/stats", -1, 2, d3d_ht - 3 * l, -1, 1, D3dColor(0x66FFFFFFu));
}
