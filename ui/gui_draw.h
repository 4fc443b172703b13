#pragma once
// The GUI's two drawing primitives, recorded into a RenderBatch and drawn inside the
// start_dist_font_render bracket: a shader-drawn rounded box ("roundedBox.sh") and a
// textured quad ("uiImage.sh"). Coordinates are screen pixels, y downwards.
#include "core/d3dcolor.h"
#include "core/engine_api.h"
#include "core/vec4f.h"
#include "render/render_batch.h"

// One box vertex: the quad corner, the rectangle's centre and size, the corner radii as
// the bytes of a packed colour (red top-left, green top-right, blue bottom-right, alpha
// bottom-left), fill, second colour, the packed shadow and border, the shadow spread.
struct GuiBoxVertex
{
  float x, y;
  float cx, cy;
  float w, h;
  D3dColor radii;
  D3dColor fill, second;
  D3dColor shadow; // dx / 255 + 0.5, dy / 255 + 0.5, size / 255 + 0.5, border / 255
  float spread;
};
static_assert(sizeof(GuiBoxVertex) == 44, "the box declaration reads 44-byte vertices");

// The state of rounded boxes (valid between init_rounded_box_render and the close).
extern ENGINE_API StdRenderBatchState rounded_box_state;

ENGINE_API void init_rounded_box_render();
ENGINE_API void close_rounded_box_render();
// rect (x0, y0, x1, y1); radii (top-left, top-right, bottom-right, bottom-left) in
// pixels. border: the stroke's width outside the rectangle, in the second colour (0.5 or
// less: just the anti-aliased edge). A shadow spread >= 0 adds a shadow in the second
// colour: the rectangle moved by (shadow_dx, shadow_dy), grown by the spread and
// blurred over shadow_size pixels; a negative spread draws none.
ENGINE_API void render_rounded_box(RenderBatch &batch, vec4f rect, vec4f radii, D3dColor fill, float border,
                                   float shadow_dx, float shadow_dy, float shadow_size, D3dColor second,
                                   float shadow_spread);

ENGINE_API void init_ui_image_render();
ENGINE_API void close_ui_image_render();
// Fills a state for images of texture, drawn with shader (null: "uiImage.sh").
ENGINE_API void init_ui_image_state(StdRenderBatchState &state, Texture *texture, Shader *shader);
// The texture rectangle uv = (umin, vmin, umax, vmax) over rect, times colour.
ENGINE_API void render_ui_image(RenderBatch &batch, StdRenderBatchState *state, vec4f rect, D3dColor color, vec4f uv);
