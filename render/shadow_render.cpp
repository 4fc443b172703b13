// The frame's shadow spheres and their passes into the shadow mask.
#include <cmath>
#include <cstring>
#include "core/log.h"
#include "render/buffers.h"
#include "render/debug_vis.h"
#include "render/device.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/shadow_balls.h"
#include "render/sky.h"

namespace
{
// The four passes, in drawing order: vectors per instance and its record size.
constexpr int PASS_COUNT = 4;
constexpr int pass_vecs[PASS_COUNT] = {8, 4, 2, 1};
constexpr int pass_size(int numvec) { return 4 + 16 * numvec; }
static_assert(pass_size(8) == 132 && pass_size(4) == 68 && pass_size(2) == 36 && pass_size(1) == 20);

struct ShadowResources
{
  VDecl decl[PASS_COUNT] = {};
  Shader *shader[PASS_COUNT] = {};
  VertexBuffer *corners = nullptr;
  IndexBuffer *indices = nullptr;
};
ShadowResources res;

// The frame: set by start_render_shadows, read until the next start.
ShadowBins bins;
DynArray<vec4f> balls; // (x, y, z, radius) of every sphere handed in
ShadowView frame_view;
bool bracket_open = false;

void shadow_assert(bool ok, const char *what)
{
  if (!ok)
    fatal("%s(%d): failed ASSERT(%s)", "shadows", __LINE__, what);
}

// One instance: tile column and row, then numvec vectors.
void write_instance(DynVBWriter &w, int col, int row, const vec4f *v, int numvec)
{
  int16_t tile[2] = {int16_t(col), int16_t(row)};
  memcpy(w.cur, tile, 4);
  for (int i = 0; i < numvec; i++)
    memcpy(w.cur + 4 + 16 * i, &v[i].x, 16);
  w.cur += pass_size(numvec);
  w.count++;
}
} // namespace

ShadowView shadow_view_from_device()
{
  ShadowView v;
  get_glob_tm(v.globTm);
  vec4f rk(0.f);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++)
      rk[j] += std::fabs(v.globTm.m[i][j]);
  v.globRk = rk;
  Matrix44 view, cam;
  get_view_tm(view);
  v.camPos = inverse44(view, cam) ? cam.row(3) : vec4f(0.f, 0.f, 0.f, 1.f);
  vec4f l(sun_dir_drawn.x, std::fabs(sun_dir_drawn.y), sun_dir_drawn.z, 0.f);
  v.light = length3(l) > 0.f ? normalize3(l) : vec4f(0.f, 1.f, 0.f, 0.f);
  return v;
}

const ShadowBins &shadow_frame_bins() { return bins; }
const DynArray<vec4f> &shadow_frame_balls() { return balls; }

void init_shadows()
{
  close_shadows();
  for (int k = 0; k < PASS_COUNT; k++)
  {
    VsdElement list[2 + SHADOW_CHUNK_VECS + 1];
    int n = 0;
    list[n++] = vsd_element(0, 0, VSDT_SHORT2, VSDU_POSITION, 0);
    list[n++] = vsd_element(0, 1, VSDT_SHORT2, VSDU_POSITION, 1);
    for (int i = 0; i < pass_vecs[k]; i++)
      list[n++] = vsd_element(4 + 16 * i, 1, VSDT_FLOAT4, VSDU_TEXCOORD, i);
    list[n] = vsd_end();
    res.decl[k] = create_vdecl(list);
  }
  res.corners = create_vb(16, BUF_STATIC);
  res.indices = create_ib(6, BUF_STATIC);
  if (!res.corners || !res.indices)
    fatal("Can't create shadows VB");
  int16_t *vp = (int16_t *)lock_vb(res.corners, 0, 0);
  shadow_assert(vp, "vp");
  const int16_t corners[8] = {-1, -1, 1, -1, -1, 1, 1, 1};
  memcpy(vp, corners, sizeof(corners));
  unlock_vb(res.corners);
  uint16_t *ip = (uint16_t *)lock_ib(res.indices, 0, 0);
  shadow_assert(ip, "ip");
  const uint16_t idx[6] = {0, 2, 1, 1, 2, 3};
  memcpy(ip, idx, sizeof(idx));
  unlock_ib(res.indices);
  const char *const numvec_define[PASS_COUNT] = {"NUMVEC\0 8\0", "NUMVEC\0 4\0", "NUMVEC\0 2\0", "NUMVEC\0 1\0"};
  for (int k = 0; k < PASS_COUNT; k++)
    res.shader[k] = create_shader("dr_shadow.sh", numvec_define[k]);
}

void close_shadows()
{
  for (Shader *&s : res.shader)
  {
    destroy_shader(s);
    s = nullptr;
  }
  release_vb(res.corners);
  release_ib(res.indices);
  res = ShadowResources{};
  bins.reset();
  balls.clear();
  bracket_open = false;
}

void start_render_shadows()
{
  balls.clear();
  bins.reset();
  frame_view = shadow_view_from_device();
  bracket_open = true;
}

void render_shadow_ball(vec4f center, float radius)
{
  if (!bracket_open)
    return; // outside the frame's bracket there is no view to bin against
  balls.push(vec4f(center.x, center.y, center.z, radius));
  bin_shadow_ball(bins, frame_view, center, radius);
}

void end_render_shadows()
{
  bracket_open = false;
  clear_view_color(0xFFFFFFFF);
  if (!res.corners || !bins.chunks.size())
    return;
  const vec4f cam = frame_view.camPos;
  const float camc[4] = {cam.x, cam.y, cam.z, 1.f};
  set_ps_consts(PC_CAMERA_POS, camc, 1);
  set_blend_multiply();
  const float tile[4] = {2.f / SHADOW_TILE_COLS, 2.f / SHADOW_TILE_ROWS, -1.f, -1.f};
  set_vs_consts(VC_SHADOW_TILE, tile, 1);
  set_vs_consts(VC_SHADOW_LIGHT, &frame_view.light.x, 1);
  set_vb(0, res.corners, 0, 4);
  set_ib(res.indices);
  set_cull_mode(0);
  DynVBWriter &w = common_vb_writer;
  for (int k = 0; k < PASS_COUNT; k++)
  {
    const int numvec = pass_vecs[k], size = pass_size(numvec), capacity = w.size / size;
    bool started = false;
    for_each_shadow_instance(bins, numvec, [&](int col, int row, const vec4f *v) {
      if (!started)
      {
        set_vdecl(res.decl[k]);
        set_shader(res.shader[k]);
        set_vb(1, w.vb, 0, size);
        w.start(dynvb_draw_instances, 4u << 16 | 2u);
        started = true;
      }
      if (w.count >= capacity)
        w.flush(false);
      write_instance(w, col, row, v, numvec);
    });
    if (started)
      w.flush(true);
  }
  set_cull_mode(1);
  set_instancing(0);
  set_blend_none();
}

void render_shadows_debug()
{
  const vec4f L = frame_view.light;
  for (const vec4f &b : balls)
  {
    const vec4f c(b.x, b.y, b.z, 1.f);
    draw_debug_vis_cross_point(c, b.w, 0xFF000000);
    draw_debug_vis_cross_point(c - L * (3.f * b.w), 5.f * b.w, 0xFF00FF00);
  }
}
