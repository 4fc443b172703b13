// The device side of the common effects: atlases, shaders, the particle and ribbon
// declarations, and the passes that draw everything into the effects buffer and lay it
// over the scene image.
//
// The effects buffer: with the scene's floating-point effects target (single-target
// mode) everything accumulates in one target: rgb = blended colour x coverage plus glow,
// a = coverage. Without it (two-target mode) T1 takes the blended part at half scale (so
// that 8 bits hold a coverage up to 2) and T2 the glow. "postBlend.sh" recombines either
// into the same colour and coverage, which are laid over the scene with premultiplied
// alpha blending. The register and stage contract of the four shaders is written at the
// top of bin/fx_common.inc and in bin/registers.inc.
#include <cstring>
#include "core/gfx_settings.h"
#include "core/log.h"
#include "core/matrix44.h"
#include "render/buffers.h"
#include "render/common_fx.h"
#include "render/device.h"
#include "render/scene_render.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "render/textures.h"

bool fx_use_single_rt = false;

namespace
{
constexpr int STAGE_ATLAS = TEX_STAGE(TEX_FX_ATLAS);
constexpr int STAGE_DEPTH = TEX_STAGE(TEX_FX_DEPTH);
constexpr int STAGE_BUFFER = TEX_STAGE(TEX_FX_BUFFER);
constexpr int STAGE_GLOW = TEX_STAGE(TEX_FX_GLOW);
constexpr float FAR_DISTANCE = 512.f; // the deferred pipeline's depth range

enum
{
  SH_BLEND,
  SH_GLOW,
  SH_RIBBON,
  SH_POST,
  SH_KINDS
};
const char *const shader_files[SH_KINDS] = {"blendPart.sh", "glowPart.sh", "effect.sh", "postBlend.sh"};
static_assert(sizeof(shader_files) / sizeof(shader_files[0]) == SH_KINDS, "one source per pass");

struct FxRender
{
  bool ready = false;
  Texture *blendAtlas = nullptr, *glowAtlas = nullptr;
  Shader *shaders[2][SH_KINDS] = {}; // [single target][kind]
  VDecl particleDecl = nullptr, ribbonDecl = nullptr;
  VertexBuffer *cornerVb = nullptr;
  IndexBuffer *cornerIb = nullptr;
  DynArray<FxRibbonVertex> scratch; // one bolt's vertices
};
FxRender R;

#define FX_ASSERT(c)                                               \
  do                                                               \
  {                                                                \
    if (!(c))                                                      \
      fatal("%s(%d): failed ASSERT(%s)", "trailFx", __LINE__, #c); \
  } while (0)

void set_vc(int reg, vec4f v) { set_vs_consts(reg, &v.x, 1); }

void create_buffers()
{
  R.cornerVb = create_vb(16, BUF_STATIC);
  R.cornerIb = create_ib(6, BUF_STATIC);
  if (!R.cornerVb || !R.cornerIb)
    fatal("can't create particle VB");
  int16_t *vp = (int16_t *)lock_vb(R.cornerVb, 0, 0);
  FX_ASSERT(vp);
  const int16_t corners[8] = {-1, -1, 1, -1, -1, 1, 1, 1};
  memcpy(vp, corners, sizeof(corners));
  unlock_vb(R.cornerVb);
  uint16_t *ip = (uint16_t *)lock_ib(R.cornerIb, 0, 0);
  FX_ASSERT(ip);
  const uint16_t idx[6] = {0, 2, 1, 1, 2, 3};
  memcpy(ip, idx, sizeof(idx));
  unlock_ib(R.cornerIb);
}

void create_decls()
{
  const VsdElement particle[] = {
    vsd_element(0, 0, VSDT_SHORT2, VSDU_POSITION, 10), // corner
    vsd_element(0, 1, VSDT_FLOAT4, VSDU_POSITION, 1),  // position, size
    vsd_element(16, 1, VSDT_FLOAT1, VSDU_POSITION, 2), // rotation
    vsd_element(20, 1, VSDT_D3DCOLOR, VSDU_COLOR, 0),  vsd_element(24, 1, VSDT_FLOAT4, VSDU_TEXCOORD, 0), vsd_end()};
  const VsdElement ribbon[] = {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0),
                               vsd_element(12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0),
                               vsd_element(16, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0), vsd_end()};
  R.particleDecl = create_vdecl(particle);
  R.ribbonDecl = create_vdecl(ribbon);
}

bool anything_to_draw()
{
  if (fx_blend_pool.alive > 0 || fx_glow_pool.alive > 0 || fx_bolts.size() > 0)
    return true;
  for (const FxTrail &tr : fx_trails)
    if (tr.count > 0)
      return true;
  return false;
}

// The camera's world matrix, and the constants every pass of the effects reads.
Matrix44 set_view_consts()
{
  Matrix44 view, cam, glob;
  get_view_tm(view);
  if (!inverse44(view, cam))
    cam = Matrix44::identity();
  get_glob_tm(glob);
  set_vs_consts(VC_GLOB_TM, &glob.m[0][0], VC_GLOB_TM_COUNT);
  set_vs_consts(VC_CAMERA_TM, &cam.m[0][0], VC_CAMERA_TM_COUNT);
  set_vc(VC_VIEW_DEPTH, vec4f(view.m[0][2], view.m[1][2], view.m[2][2], view.m[3][2]) / FAR_DISTANCE);
  set_vc(VC_FOG, vec4f(use_fog ? 1.f : 0.f, 0.f, 0.f, 0.f)); // smoke fades into the air as the land does
  set_sky_vs_consts(VC_SKY);
  return cam;
}

void draw_pool(const FxPool &pool, Shader *sh, Texture *atlas, float t, float f, vec4f cam)
{
  if (pool.alive <= 0)
    return;
  set_shader(sh);
  set_texture(STAGE_ATLAS, atlas);
  set_tex_address(STAGE_ATLAS, TEXADDR_CLAMP);
  set_tex_filter(STAGE_ATLAS, true);
  DynVBWriter &w = common_vb_writer;
  w.start(dynvb_draw_instances, (4u << 16) | 2u);
  for (const FxParticle &p : pool.parts)
  {
    if (w.roomLeft() < int(sizeof(FxInstance)))
      w.flush(false);
    if (fx_particle_instance(p, t, f, cam, *(FxInstance *)w.cur))
    {
      w.cur += sizeof(FxInstance);
      w.count++;
    }
  }
  w.flush(true);
}

// Copies whole triangles of a vertex run into the writer, flushing when it is full.
void write_ribbon(const FxRibbonVertex *v, int n)
{
  DynVBWriter &w = common_vb_writer;
  while (n > 0)
  {
    int room = w.roomLeft() / int(sizeof(FxRibbonVertex) * 3) * 3;
    if (room <= 0)
    {
      w.flush(false);
      continue;
    }
    int k = n < room ? n : room;
    memcpy(w.cur, v, sizeof(FxRibbonVertex) * size_t(k));
    w.cur += sizeof(FxRibbonVertex) * size_t(k);
    w.count += k / 3;
    v += k;
    n -= k;
  }
}

void draw_ribbons(Shader *sh, float t, float f, const Matrix44 &camm)
{
  bool trails = false;
  for (const FxTrail &tr : fx_trails)
    trails = trails || tr.count > 0;
  if (!trails && fx_bolts.size() == 0)
    return;
  const vec4f cam = camm.row(3), right = camm.row(0), up = camm.row(1);
  set_instancing(0);
  set_vdecl(R.ribbonDecl);
  DynVBWriter &w = common_vb_writer;
  set_vb(0, w.vb, 0, sizeof(FxRibbonVertex));
  set_shader(sh);
  set_texture(STAGE_ATLAS, R.glowAtlas);
  set_tex_address(STAGE_ATLAS, TEXADDR_WRAP); // the lightning band repeats along u
  w.start(dynvb_draw_triangles, D3DPT_TRIANGLELIST);
  for (const FxTrail &tr : fx_trails)
  {
    if (tr.count <= 0)
      continue;
    const int bytes = tr.count * 6 * int(sizeof(FxRibbonVertex));
    if (w.roomLeft() < bytes)
      w.flush(false);
    int n = fx_trail_vertices(tr, f, cam, right, up, (FxRibbonVertex *)w.cur);
    w.cur += sizeof(FxRibbonVertex) * size_t(n);
    w.count += n / 3;
  }
  for (const FxBolt &b : fx_bolts)
  {
    const int need = (b.points.size() - 1) * 6;
    if (need <= 0)
      continue;
    if (R.scratch.size() < need)
      R.scratch.resize(need);
    write_ribbon(R.scratch.data(), fx_bolt_vertices(b, t, cam, R.scratch.data()));
  }
  w.flush(true);
}

void composite(bool single)
{
  Texture *image = get_scene_image();
  set_render_target_texture(0, image, true);
  set_render_target_texture(1, nullptr, false);
  Shader *post = R.shaders[single][SH_POST];
  set_shader(post);
  if (single)
    set_texture(STAGE_BUFFER, get_effects_target());
  else
  {
    set_texture(STAGE_BUFFER, get_scene_target(1));
    set_texture(STAGE_GLOW, get_scene_target(2));
    set_tex_address(STAGE_GLOW, TEXADDR_CLAMP);
    set_tex_filter(STAGE_GLOW, false);
  }
  set_tex_address(STAGE_BUFFER, TEXADDR_CLAMP);
  set_tex_filter(STAGE_BUFFER, false);
  set_vc(VC_SCREEN_TEXMAP, vec4f(0.5f, -0.5f, 0.5f + 0.5f / float(d3d_wd), 0.5f + 0.5f / float(d3d_ht)));
  set_zenable(false);
  set_blend_prealpha();
  if (use_wireframe)
    set_wireframe(false);
  draw_postfx();
  if (use_wireframe)
    set_wireframe(true);
  set_blend_none();
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
}
} // namespace

void init_common_fx()
{
  reset_common_fx();
  if (R.ready)
    close_common_fx();
  R.blendAtlas = get_texture("blendfx.dds", true);
  R.glowAtlas = get_texture("glowfx.dds", true);
  for (int single = 0; single < 2; single++)
    for (int k = 0; k < SH_KINDS; k++)
      R.shaders[single][k] = create_shader(shader_files[k], single ? "SINGLE_RT\0 1\0" : nullptr);
  create_decls();
  create_buffers();
  fx_use_single_rt = get_effects_target() != nullptr;
  R.ready = true;
}

void close_common_fx()
{
  if (!R.ready)
    return;
  for (auto &row : R.shaders)
    for (Shader *&s : row)
    {
      destroy_shader(s);
      s = nullptr;
    }
  free_texture(R.blendAtlas);
  free_texture(R.glowAtlas);
  R.blendAtlas = R.glowAtlas = nullptr;
  release_vb(R.cornerVb);
  release_ib(R.cornerIb);
  R.cornerVb = nullptr;
  R.cornerIb = nullptr;
  R.scratch.release();
  R.ready = false;
}

void render_common_fx(float t, float f)
{
  // An empty effects buffer would leave the scene image as it is.
  if (!R.ready || !get_scene_image() || !anything_to_draw())
    return;
  const bool single = fx_use_single_rt && get_effects_target();
  if (!single && (!get_scene_target(1) || !get_scene_target(2)))
    return;

  if (single)
    set_render_target_texture(0, get_effects_target(), true);
  else
  {
    set_render_target_texture(0, get_scene_target(1), true);
    set_render_target_texture(1, get_scene_target(2), false);
  }
  clear_view_color(0);

  const Matrix44 camm = set_view_consts();
  const vec4f cam = camm.row(3);
  Texture *depth = get_scene_depth();
  const float soft[4] = {depth ? 1.f : 0.f, FAR_DISTANCE, 1.f / float(d3d_wd), 1.f / float(d3d_ht)};
  set_ps_consts(PC_FX_SOFT, soft, 1);
  set_texture(STAGE_DEPTH, depth);
  set_tex_address(STAGE_DEPTH, TEXADDR_CLAMP);
  set_tex_filter(STAGE_DEPTH, false);

  set_vdecl(R.particleDecl);
  set_vb(0, R.cornerVb, 0, 4);
  set_vb(1, common_vb_writer.vb, 0, sizeof(FxInstance));
  set_ib(R.cornerIb);
  set_blend_additive();
  set_cull_mode(0);
  set_zwrite(false);
  draw_pool(fx_blend_pool, R.shaders[single][SH_BLEND], R.blendAtlas, t, f, cam);
  draw_pool(fx_glow_pool, R.shaders[single][SH_GLOW], R.glowAtlas, t, f, cam);
  set_instancing(0);
  set_vb(1, nullptr, 0, 0);

  draw_ribbons(R.shaders[single][SH_RIBBON], t, f, camm);

  set_blend_none();
  set_cull_mode(1);
  set_zwrite(true);
  composite(single);
}
