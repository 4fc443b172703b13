// Small maths of the object drawing: frames, the wrap near the camera, the view test and
// the drawn land's height. The program's headers the objects use come in here.
import core.engine
#include <algorithm>
#include "render/device.h"
#include "render/inst_render.h"
#include "render/land_render.h"
#include "render/map_grid_walk.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/shadow_balls.h"
#include "render/sky.h"
#include "world/heightmap.h"
#include "world/world_rnd.h"

// A frame with up as its second row, turned by yaw about it, placed at at: rows right,
// up, forward, position (row vectors, v * M).
inline Matrix44 object_matrix(float yaw, vec4f up, vec4f at)
{
  vec4f fwd0(-std::sin(yaw), 0.f, std::cos(yaw), 0.f);
  vec4f right = cross3(up, fwd0);
  if (dot3(right, right) < 1e-8f)
    right = vec4f(std::cos(yaw), 0.f, std::sin(yaw), 0.f);
  right = normalize3(right);
  vec4f fwd = cross3(right, up);
  Matrix44 m;
  m.setRow(0, vec4f(right.x, right.y, right.z, 0.f));
  m.setRow(1, vec4f(up.x, up.y, up.z, 0.f));
  m.setRow(2, vec4f(fwd.x, fwd.y, fwd.z, 0.f));
  m.setRow(3, vec4f(at.x, at.y, at.z, 1.f));
  return m;
}


// What the frame's objects are tested against: view x projection, the clip-space extent
// of a unit sphere per axis, and the camera position.
struct ObjectView
{
  Matrix44 glob;
  vec4f rk;
  vec4f cam;
};

// From the device's view and projection, as the frame set-up left them.
inline ObjectView current_object_view()
{
  ObjectView v;
  get_glob_tm(v.glob);
  v.rk = vec4f(0.f);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++)
      v.rk[j] += std::fabs(v.glob.m[i][j]);
  Matrix44 view, cam;
  get_view_tm(view);
  v.cam = inverse44(view, cam) ? cam.row(3) : vec4f(0.f, 0.f, 0.f, 1.f);
  return v;
}

// The sphere (c, r) touches the view frustum.
inline bool sphere_in_view(const ObjectView &v, vec4f c, float r)
{
  vec4f d = transform_point(c, v.glob);
  vec4f e = v.rk * r;
  float w = d.w + e.w;
  return d.x + e.x >= -w && d.y + e.y >= -w && d.z + e.z >= 0.f && d.x - e.x <= w && d.y - e.y <= w &&
         d.z - e.z <= w;
}

// Height of the land as drawn this frame (bilinear over the cell, as the near patches).
inline float drawn_land_height(float x, float z)
{
  const float *h = HeightmapRenderer::curh;
  float fx = std::floor(x), fz = std::floor(z);
  int ix = int(fx), iz = int(fz);
  float tx = x - fx, tz = z - fz;
  float h00 = h[hmap_index(ix, iz)], h10 = h[hmap_index(ix + 1, iz)];
  float h01 = h[hmap_index(ix, iz + 1)], h11 = h[hmap_index(ix + 1, iz + 1)];
  return (h00 + (h10 - h00) * tx) + ((h01 + (h11 - h01) * tx) - (h00 + (h10 - h00) * tx)) * tz;
}

// A simple instance for the matrix m (unit rows) scaled by sx across and sy along up.
inline void write_simple_instance(SimpleInstance &s, const Matrix44 &m, float sx, float sy, D3dColor tint)
{
  pack_inst_rotation(m, sx, sy, sx, s.rot);
  s.pos[0] = m.m[3][0];
  s.pos[1] = m.m[3][1];
  s.pos[2] = m.m[3][2];
  s.color = tint;
}

// A morph instance: as write_simple_instance, and the weights of the mesh's morph targets
// 1..4 in [0, 1] (bird_body: wings up, wings down, folded, landing; gatherer_body: the
// two halves of a stride, arms up, squash).
inline void write_morph_instance(MorphInstance &s, const Matrix44 &m, float scale, D3dColor tint, vec4f weights)
{
  pack_inst_rotation(m, scale, scale, scale, s.rot);
  s.pos[0] = m.m[3][0];
  s.pos[1] = m.m[3][1];
  s.pos[2] = m.m[3][2];
  s.color = tint;
  s.weights = vec4f_to_color(weights);
}

// A body along the Bezier curve p[0] (head end) .. p[3] (tail end): up directions and
// thicknesses (1 = the mesh's own) at the two ends, tints, the glow and the wings' lift
// (-1 fully down .. 1 fully up).
inline void write_spline_instance(SplineInstance &s, const vec4f p[4], vec4f up_head, vec4f up_tail, float thick_head,
                                  float thick_tail, D3dColor tint_head, D3dColor tint_tail, float glow, float lift)
{
  for (int i = 0; i < 4; i++)
    s.p[i][0] = p[i].x, s.p[i][1] = p[i].y, s.p[i][2] = p[i].z;
  auto up = [](vec4f u, float thick) {
    u = normalize3(u);
    return vec4f_to_color(vec4f(u.x * 0.5f + 0.5f, u.y * 0.5f + 0.5f, u.z * 0.5f + 0.5f, thick * 0.5f));
  };
  s.up[0] = up(up_head, thick_head);
  s.up[1] = up(up_tail, thick_tail);
  s.color[0] = D3dColor((tint_head.u & 0xFFFFFFu) | (unit_to_byte(glow) << 24));
  s.color[1] = D3dColor((tint_tail.u & 0xFFFFFFu) | (unit_to_byte(lift * 0.5f + 0.5f) << 24));
}
