// Distance-field text and icons on the device: loading the atlases, recording glyph and
// icon quads into batches, and the render bracket.
#include "ui/dist_font.h"
#include <cmath>
#include <cstring>
#include "core/log.h"
#include "core/paths.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/textures.h"
#include "ui/dist_font_walk.h"

ENGINE_API DistFont default_font;
ENGINE_API DistIcons ui_icons;
ENGINE_API int dot_icon = -1, dot_arrow_icon = -1, portal_icon = -1;

// Valid between init_dist_fonts / init_dist_icons and the matching close.
static VDecl text_vdecl, icon_vdecl;
static Shader *text_shader, *icon_shader;

D3dColor pack_dist_params(float thickness, float offset_u, float offset_v, float outer_thickness, float v)
{
  // A zero spread (or scale) would divide by zero; such a quad has no ramp to widen.
  const float inv = v > 0.f ? 1.f / v : 0.f;
  const float a = fmaxf(0.5f * (1.f - 0.5f * (thickness + 1.f) * inv), 0.f);
  const float b = fmaxf(0.5f * (1.f - 0.5f * (outer_thickness + 1.f) * inv), 0.f);
  const float r = 0.5f * (1.f - 64.f * offset_u);
  const float g = 0.5f * (1.f - 64.f * offset_v);
  return D3dColor((unit_to_byte(a) << 24) | (unit_to_byte(r) << 16) | (unit_to_byte(g) << 8) | unit_to_byte(b));
}

// Reads a descriptor file into memory; false when it cannot be read.
static bool read_descriptor(const char *file, DynArray<uint8_t> &data)
{
  if (!file)
    return false;
  return read_whole_file(make_full_path(file), data);
}

// The shared atlas texture "<name>.dds" from the program directory; null if missing.
static Texture *get_atlas(const char *name)
{
  char dds[300];
  snprintf(dds, sizeof(dds), "%s.dds", name);
  return get_texture(make_full_path(dds), false);
}

bool DistFont::load(const char *file)
{
  DynArray<uint8_t> data;
  if (!read_descriptor(file, data))
    return false;
  // The previous content goes once the file is open; the state survives, so batches
  // recorded before a reload stay valid.
  if (texture)
    free_texture(texture);
  texture = nullptr;
  char page[256];
  if (!parse(reinterpret_cast<const char *>(data.ptr), size_t(data.num), page, sizeof(page)))
    return false;
  texture = get_atlas(page);
  if (!texture)
    return false;
  if (state)
    state->texture = texture;
  else if (text_shader)
    state = new DistFontBatchState(text_shader, text_vdecl, int(sizeof(DistTextVertex)), texture);
  return true;
}

bool DistIcons::load(const char *file)
{
  clear();
  DynArray<uint8_t> data;
  if (!read_descriptor(file, data))
    return false;
  char atlas[256];
  if (!parse(reinterpret_cast<const char *>(data.ptr), size_t(data.num), atlas, sizeof(atlas)))
    return false;
  texture = get_atlas(atlas);
  if (!texture)
    return false;
  if (icon_shader)
    state = new DistFontBatchState(icon_shader, icon_vdecl, int(sizeof(DistIconVertex)), texture);
  return true;
}

void DistFont::renderText(RenderBatch &batch, vec4f rect, int align, D3dColor color, float draw_size, const char *text,
                          int len, float thickness, float offset_x, float offset_y, float outer_thickness,
                          D3dColor color2, BaseRenderBatchState *st) const
{
  if (!st)
    st = state;
  if (!st || size <= 0 || !text)
    return;
  if (len < 0)
    len = int(strlen(text));
  int count = 0;
  const vec4f box = calcTextBox(text, len, &count);
  if (!count)
    return;
  const float s = draw_size / float(size);
  const float v = s * float(spread);
  const D3dColor params = pack_dist_params(thickness, float(size) * offset_x * invScaleW * 0.01f,
                                           float(size) * offset_y * invScaleH * 0.01f, outer_thickness, v);
  const float bx0 = box.x * s, by0 = box.y * s, bx1 = box.z * s, by1 = box.w * s;
  float ox, oy;
  switch (align & 3)
  {
  case 1: ox = rect.x - bx0; break;
  case 2: ox = rect.z - bx1; break;
  default: ox = (rect.x + rect.z) * 0.5f - (bx0 + bx1) * 0.5f; break;
  }
  switch ((align >> 2) & 3)
  {
  case 1: oy = rect.y - by0; break;
  case 2: oy = rect.w - by1; break;
  default: oy = (rect.y + rect.w) * 0.5f - (by0 + by1) * 0.5f; break;
  }
  const float m = v; // the quads reach spread x s beyond the ink
  DistTextVertex *out = static_cast<DistTextVertex *>(
    batch.add(st, ox + bx0 - m, oy + by0 - m, ox + bx1 + m, oy + by1 + m, count * DIST_GLYPH_BYTES, count * 2));
  dist_font_walk(*this, text, len, s, ox, oy, [&](const Glyph &g, float x0, float y0) {
    const float x1 = x0 + s * g.width, y1 = y0 + s * g.height;
    const float u0 = g.u, v0 = g.v, u1 = u0 + g.width * invScaleW, v1 = v0 + g.height * invScaleH;
    const DistTextVertex q[4] = {{x0, y0, color, color2, u0, v0, params},
                                 {x1, y0, color, color2, u1, v0, params},
                                 {x1, y1, color, color2, u1, v1, params},
                                 {x0, y1, color, color2, u0, v1, params}};
    out[0] = q[0], out[1] = q[1], out[2] = q[2], out[3] = q[0], out[4] = q[2], out[5] = q[3];
    out += 6;
  });
}

void DistIcons::renderIcon(RenderBatch &batch, vec4f placement, float scale, int id, float thickness, float offset_x,
                           float offset_y, float outer_thickness, D3dColor c0, D3dColor c1, D3dColor c2, D3dColor c3,
                           D3dColor c4, BaseRenderBatchState *st) const
{
  if (!st)
    st = state;
  if (!st || id < 0 || id >= icons.num)
    return;
  const Icon &ic = icons.ptr[id];
  const D3dColor params =
    pack_dist_params(thickness, offset_x * invScaleW, offset_y * invScaleH, outer_thickness, float(spread) * scale);
  const float lx0 = scale * ic.pivotX, lx1 = scale * (ic.pivotX + ic.width);
  const float ly0 = -scale * ic.pivotY, ly1 = scale * (ic.height - ic.pivotY);
  const float x = placement.x, y = placement.y, a = placement.z, b = placement.w;
  auto tx = [&](float lx, float ly) { return x + a * lx - b * ly; };
  auto ty = [&](float lx, float ly) { return y + b * lx + a * ly; };
  const float px[4] = {tx(lx0, ly0), tx(lx1, ly0), tx(lx1, ly1), tx(lx0, ly1)};
  const float py[4] = {ty(lx0, ly0), ty(lx1, ly0), ty(lx1, ly1), ty(lx0, ly1)};
  float bx0 = px[0], by0 = py[0], bx1 = px[0], by1 = py[0];
  for (int i = 1; i < 4; i++)
  {
    bx0 = fminf(bx0, px[i]);
    by0 = fminf(by0, py[i]);
    bx1 = fmaxf(bx1, px[i]);
    by1 = fmaxf(by1, py[i]);
  }
  const float m = float(spread);
  DistIconVertex *out =
    static_cast<DistIconVertex *>(batch.add(st, bx0 - m, by0 - m, bx1 + m, by1 + m, DIST_ICON_BYTES, 2));
  const float u0 = ic.u, v0 = ic.v, u1 = u0 + ic.width * invScaleW, v1 = v0 + ic.height * invScaleH;
  const float us[4] = {u0, u1, u1, u0}, vs[4] = {v0, v0, v1, v1};
  static const int order[6] = {0, 1, 2, 0, 2, 3};
  for (int i = 0; i < 6; i++)
  {
    const int k = order[i];
    out[i] = DistIconVertex{px[k], py[k], c0, params, us[k], vs[k], c1, c2, c3, c4};
  }
}

void init_dist_fonts()
{
  close_dist_fonts();
  const VsdElement decl[] = {
    vsd_element(0, 0, VSDT_FLOAT2, VSDU_POSITION, 0),    vsd_element(8, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0),
    vsd_element(12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 1),    vsd_element(16, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0),
    vsd_element(24, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 1), vsd_end(),
  };
  text_vdecl = create_vdecl(decl);
  text_shader = create_shader("distfont.sh", nullptr);
}

void init_dist_icons()
{
  close_dist_icons();
  const VsdElement decl[] = {
    vsd_element(0, 0, VSDT_FLOAT2, VSDU_POSITION, 0),
    vsd_element(8, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0),
    vsd_element(12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 1),
    vsd_element(16, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0),
    vsd_element(24, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 1),
    vsd_element(28, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 2),
    vsd_element(32, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 3),
    vsd_element(36, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 4),
    vsd_end(),
  };
  icon_vdecl = create_vdecl(decl);
  icon_shader = create_shader("disticon.sh", nullptr);
}

// The fonts' and icons' states hold the shader: they go with it.
void close_dist_fonts()
{
  default_font.clear();
  if (text_shader)
    destroy_shader(text_shader);
  text_shader = nullptr;
  text_vdecl = nullptr; // declarations live until the device closes
}

void close_dist_icons()
{
  ui_icons.clear();
  if (icon_shader)
    destroy_shader(icon_shader);
  icon_shader = nullptr;
  icon_vdecl = nullptr;
}

void start_dist_font_render()
{
  const float w = float(d3d_wd), h = float(d3d_ht);
  const float screen[4] = {2.f / w, -2.f / h, -1.f - 0.5f / w, 1.f + 0.5f / h};
  set_vs_consts(VC_GUI_SCREEN, screen, 1);
  set_cull_mode(0);
  set_zenable(false);
  set_zwrite(false);
  set_blend_prealpha();
  set_atest(0);
  set_tex_address(TEX_STAGE(TEX_BATCH), TEXADDR_WRAP);
  set_tex_filter(TEX_STAGE(TEX_BATCH), true);
}

void end_dist_font_render()
{
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_blend_none();
}
