#include "render/debug_vis.h"

#include "core/log.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/shaders.h"

struct DebugVertex
{
  float x, y, z;
  uint32_t color;
};
static_assert(sizeof(DebugVertex) == 16, "debug_vis.sh reads 16-byte vertices");

static Shader *debug_vis_shader = nullptr;
static VDecl debug_vis_vdecl = nullptr;
// Primitive type the writer is running with between the bracket calls.
static int debug_vis_mode = D3DPT_TRIANGLELIST;

void init_debug_vis()
{
  close_debug_vis();
  const VsdElement decl[] = {
    vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0),
    vsd_element(12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0),
    vsd_end(),
  };
  debug_vis_vdecl = create_vdecl(decl);
  debug_vis_shader = create_shader("debug_vis.sh", nullptr);
}

void close_debug_vis()
{
  if (debug_vis_shader)
    destroy_shader(debug_vis_shader);
  debug_vis_shader = nullptr;
  debug_vis_vdecl = nullptr;
}

void start_draw_debug_vis()
{
  set_vdecl(debug_vis_vdecl);
  set_vb(0, common_vb_writer.vb, 0, int(sizeof(DebugVertex)));
  set_shader(debug_vis_shader);
  set_cull_mode(0);
  debug_vis_mode = D3DPT_TRIANGLELIST;
  common_vb_writer.start(dynvb_draw_triangles, D3DPT_TRIANGLELIST);
}

void end_draw_debug_vis()
{
  common_vb_writer.flush(true);
  set_cull_mode(1);
}

// Switches the running writer to the primitive type and makes room for one primitive.
static DebugVertex *debug_vis_room(int mode, int bytes)
{
  DynVBWriter &w = common_vb_writer;
  ASSERT(w.startPtr); // only between start_draw_debug_vis and end_draw_debug_vis
  if (debug_vis_mode != mode)
  {
    w.flush(true);
    debug_vis_mode = mode;
    w.start(dynvb_draw_triangles, unsigned(mode));
  }
  else if (w.roomLeft() < bytes)
    w.flush(false);
  DebugVertex *v = reinterpret_cast<DebugVertex *>(w.cur);
  w.cur += bytes;
  w.count++;
  return v;
}

static DebugVertex debug_vertex(vec4f p, D3dColor c) { return DebugVertex{p.x, p.y, p.z, c.u}; }

void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor ca, D3dColor cb, D3dColor cc)
{
  DebugVertex *v = debug_vis_room(D3DPT_TRIANGLELIST, 3 * int(sizeof(DebugVertex)));
  v[0] = debug_vertex(a, ca);
  v[1] = debug_vertex(b, cb);
  v[2] = debug_vertex(c, cc);
}

void draw_debug_vis_line(vec4f a, vec4f b, D3dColor ca, D3dColor cb)
{
  DebugVertex *v = debug_vis_room(D3DPT_LINELIST, 2 * int(sizeof(DebugVertex)));
  v[0] = debug_vertex(a, ca);
  v[1] = debug_vertex(b, cb);
}

// Corner i of the box: bit 0 picks x, bit 1 y, bit 2 z from hi (set) or lo (clear).
static vec4f box_corner(vec4f lo, vec4f hi, int i)
{
  return vec4f((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z, 1.0f);
}

void draw_debug_vis_solid_box(vec4f a, vec4f b, D3dColor color, float grow)
{
  const vec4f g(grow, grow, grow, 0.0f);
  const vec4f lo = vmin(a, b) - g, hi = vmax(a, b) + g;
  // Each face as a corner quad (p0 p1 p2 p3 around its rim); two triangles per face.
  static const int faces[6][4] = {
    {0, 2, 6, 4}, {1, 5, 7, 3}, // x = lo, x = hi
    {0, 4, 5, 1}, {2, 3, 7, 6}, // y = lo, y = hi
    {0, 1, 3, 2}, {4, 6, 7, 5}, // z = lo, z = hi
  };
  for (const auto &f : faces)
  {
    vec4f p0 = box_corner(lo, hi, f[0]), p1 = box_corner(lo, hi, f[1]);
    vec4f p2 = box_corner(lo, hi, f[2]), p3 = box_corner(lo, hi, f[3]);
    draw_debug_vis_tri(p0, p1, p2, color, color, color);
    draw_debug_vis_tri(p0, p2, p3, color, color, color);
  }
}

void draw_debug_vis_cube(vec4f center, float half_size, D3dColor color)
{
  draw_debug_vis_solid_box(center, center, color, half_size);
}

void draw_debug_vis_wire_box(vec4f a, vec4f b, D3dColor color)
{
  const vec4f lo = vmin(a, b), hi = vmax(a, b);
  // Every pair of corners that differs in exactly one coordinate bit is an edge.
  for (int i = 0; i < 8; ++i)
    for (int bit = 1; bit < 8; bit <<= 1)
      if (!(i & bit))
        draw_debug_vis_line(box_corner(lo, hi, i), box_corner(lo, hi, i | bit), color, color);
}

void draw_debug_vis_cross_point(vec4f center, float size, D3dColor color)
{
  draw_debug_vis_line(center - vec4f(size, 0, 0, 0), center + vec4f(size, 0, 0, 0), color, color);
  draw_debug_vis_line(center - vec4f(0, size, 0, 0), center + vec4f(0, size, 0, 0), color, color);
  draw_debug_vis_line(center - vec4f(0, 0, size, 0), center + vec4f(0, 0, size, 0), color, color);
}
