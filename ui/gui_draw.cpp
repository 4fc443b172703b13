// Rounded boxes and UI images for GUI batches.
#include "ui/gui_draw.h"
#include <cmath>
#include "render/buffers.h"
#include "render/shaders.h"

ENGINE_API StdRenderBatchState rounded_box_state;
static Shader *ui_image_shader;
static VDecl ui_image_vdecl;

void init_rounded_box_render()
{
  close_rounded_box_render();
  const VsdElement decl[] = {
    vsd_element(0, 0, VSDT_FLOAT2, VSDU_POSITION, 0),
    vsd_element(8, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0),
    vsd_element(16, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 1),
    vsd_element(24, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 2),
    vsd_element(28, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0),
    vsd_element(32, 0, VSDT_D3DCOLOR, VSDU_COLOR, 1),
    vsd_element(36, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 3),
    vsd_element(40, 0, VSDT_FLOAT1, VSDU_TEXCOORD, 4),
    vsd_end(),
  };
  rounded_box_state.vdecl = create_vdecl(decl);
  rounded_box_state.shader = create_shader("roundedBox.sh", nullptr);
  rounded_box_state.stride = int(sizeof(GuiBoxVertex));
  rounded_box_state.texture = nullptr;
}

void close_rounded_box_render()
{
  if (rounded_box_state.shader)
    destroy_shader(rounded_box_state.shader);
  rounded_box_state.reset();
}

static uint32_t byte_of(float v) { return uint32_t(lrintf(fminf(fmaxf(v, 0.f), 255.f))); }

void render_rounded_box(RenderBatch &batch, vec4f rect, vec4f radii, D3dColor fill, float border, float shadow_dx,
                        float shadow_dy, float shadow_size, D3dColor second, float shadow_spread)
{
  if (!rounded_box_state.shader)
    return;
  border = fmaxf(border, 0.5f);
  float qx0 = rect.x - border, qy0 = rect.y - border, qx1 = rect.z + border, qy1 = rect.w + border;
  if (shadow_spread >= 0.f)
  {
    const float g = fmaxf(shadow_size, 0.f) + shadow_spread;
    qx0 = fminf(qx0, rect.x + shadow_dx - g);
    qy0 = fminf(qy0, rect.y + shadow_dy - g);
    qx1 = fmaxf(qx1, rect.z + shadow_dx + g);
    qy1 = fmaxf(qy1, rect.w + shadow_dy + g);
  }
  const D3dColor r((byte_of(radii.w) << 24) | (byte_of(radii.x) << 16) | (byte_of(radii.y) << 8) | byte_of(radii.z));
  const D3dColor packed((unit_to_byte(border / 255.f) << 24) | (unit_to_byte(shadow_dx / 255.f + 0.5f) << 16) |
                        (unit_to_byte(shadow_dy / 255.f + 0.5f) << 8) | unit_to_byte(shadow_size / 255.f + 0.5f));
  const float cx = (rect.x + rect.z) * 0.5f, cy = (rect.y + rect.w) * 0.5f;
  const float w = rect.z - rect.x, h = rect.w - rect.y;
  auto *v =
    static_cast<GuiBoxVertex *>(batch.add(&rounded_box_state, qx0, qy0, qx1, qy1, 6 * int(sizeof(GuiBoxVertex)), 2));
  const float xs[6] = {qx0, qx1, qx1, qx0, qx1, qx0}, ys[6] = {qy0, qy0, qy1, qy0, qy1, qy1};
  for (int i = 0; i < 6; i++)
    v[i] = GuiBoxVertex{xs[i], ys[i], cx, cy, w, h, r, fill, second, packed, shadow_spread};
}

void init_ui_image_render()
{
  close_ui_image_render();
  const VsdElement decl[] = {
    vsd_element(0, 0, VSDT_FLOAT2, VSDU_POSITION, 0),
    vsd_element(8, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0),
    vsd_element(12, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0),
    vsd_end(),
  };
  ui_image_vdecl = create_vdecl(decl);
  ui_image_shader = create_shader("uiImage.sh", nullptr);
}

void close_ui_image_render()
{
  if (ui_image_shader)
    destroy_shader(ui_image_shader);
  ui_image_shader = nullptr;
  ui_image_vdecl = nullptr;
}

void init_ui_image_state(StdRenderBatchState &state, Texture *texture, Shader *shader)
{
  state.shader = shader ? shader : ui_image_shader;
  state.vdecl = ui_image_vdecl;
  state.stride = int(sizeof(GuiVertex));
  state.texture = texture;
}

void render_ui_image(RenderBatch &batch, StdRenderBatchState *state, vec4f rect, D3dColor color, vec4f uv)
{
  if (!state || !state->shader)
    return;
  auto *v = static_cast<GuiVertex *>(batch.add(state, rect.x, rect.y, rect.z, rect.w, 6 * int(sizeof(GuiVertex)), 2));
  v[0] = {rect.x, rect.y, color, uv.x, uv.y};
  v[1] = {rect.z, rect.y, color, uv.z, uv.y};
  v[2] = {rect.z, rect.w, color, uv.z, uv.w};
  v[3] = v[0];
  v[4] = v[2];
  v[5] = {rect.x, rect.w, color, uv.x, uv.w};
}
