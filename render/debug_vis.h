#pragma once
#include "core/d3dcolor.h"
#include "core/engine_api.h"
#include "core/vec4f.h"

// Immediate world-space debug geometry, drawn between start_draw_debug_vis and
// end_draw_debug_vis with "debug_vis.sh", which transforms positions by the
// view-projection matrix in VC_GLOB_TM (the rows of the Matrix44 as stored).
// Only x, y and z of the vec4f arguments are used.

// init needs the device; close is safe when init never ran.
ENGINE_API void init_debug_vis();
ENGINE_API void close_debug_vis();

// Culling off and the writer running in triangle mode; depth states stay as the caller
// set them. common_vb_writer is busy until end_draw_debug_vis.
ENGINE_API void start_draw_debug_vis();
ENGINE_API void end_draw_debug_vis();

ENGINE_API void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor ca, D3dColor cb, D3dColor cc);
ENGINE_API void draw_debug_vis_line(vec4f a, vec4f b, D3dColor ca, D3dColor cb);
// The box spanned by a and b (in any corner order), grown by grow on every side.
ENGINE_API void draw_debug_vis_solid_box(vec4f a, vec4f b, D3dColor color, float grow);
ENGINE_API void draw_debug_vis_cube(vec4f center, float half_size, D3dColor color);
ENGINE_API void draw_debug_vis_wire_box(vec4f a, vec4f b, D3dColor color);
ENGINE_API void draw_debug_vis_cross_point(vec4f center, float size, D3dColor color);
