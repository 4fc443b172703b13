// The terrain and water renderer: resources, the per-step flow update, the per-frame
// refresh of the GPU copies and geometry, and the three scene passes.
#include "render/land_render.h"
#include <cmath>
#include <cstring>
#include <utility>
#include "core/gfx_settings.h"
#include "core/globals.h"
#include "core/log.h"
#include "core/splash.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/inst_render.h"
#include "render/land_render_internal.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "render/textures.h"

using HD = HeightmapData;

Texture *HeightmapRenderer::hmapTex = nullptr;
Texture *HeightmapRenderer::normTex = nullptr;
Texture *HeightmapRenderer::aperTex = nullptr;
Texture *HeightmapRenderer::colrTex = nullptr;
Texture *HeightmapRenderer::topcTex = nullptr;
Texture *HeightmapRenderer::mapTex = nullptr;
alignas(64) float HeightmapRenderer::curh[HMAP_CELLS];
// The building piece of each house tile letter 'a'..'s'.
HouseTileInfo HeightmapRenderer::house_tile_info[NUM_HOUSE_TILES] = {
  &roof_corner_inst,   &tower_corner_inst,  &tower_wall1_inst,    &tower_wall2_inst,    &castle_walk_inst,
  &merlon_top_inst,    &merlon_corner_inst, &merlon_wall1_inst,   &merlon_wall2_inst,   &castle_wall1_inst,
  &castle_wall2_inst,  &castle_wall3_inst,  &castle_wall4_inst,   &castle_slant1_inst,  &castle_slant2_inst,
  &castle_slant3_inst, &castle_slant4_inst, &castle_corner1_inst, &castle_corner2_inst,
};
int HeightmapRenderer::num_house_tiles = NUM_HOUSE_TILES;
static_assert(sizeof(HeightmapRenderer::house_tile_info) / sizeof(HouseTileInfo) == 19);

LandHooks land_hooks;

LandRenderState land_state;

using HR = HeightmapRenderer;

#define LAND_ASSERT(cond, text)                                       \
  do                                                                  \
  {                                                                   \
    if (!(cond))                                                      \
      fatal("%s(%d): failed ASSERT(%s)", "hmRender", __LINE__, text); \
  } while (0)

static void *lock_vb_checked(VertexBuffer *vb, int size = 0)
{
  void *p = lock_vb(vb, 0, size);
  LAND_ASSERT(p, "vp");
  return p;
}
static uint16_t *lock_ib_checked(IndexBuffer *ib, int size = 0)
{
  void *p = lock_ib(ib, 0, size);
  LAND_ASSERT(p, "ip");
  return static_cast<uint16_t *>(p);
}

// ---- creation ----

static void create_decls(LandRenderState &s)
{
  const VsdElement land[] = {
    vsd_element(0, 0, VSDT_SHORT2, VSDU_POSITION, 0),
    vsd_element(4, 0, VSDT_FLOAT1, VSDU_POSITION, 1),
    vsd_end(),
  };
  const VsdElement patch[] = {
    vsd_element(0, 0, VSDT_FLOAT2, VSDU_POSITION, 0),
    vsd_element(0, 1, VSDT_SHORT2, VSDU_POSITION, 1),
    vsd_element(4, 1, VSDT_FLOAT4, VSDU_POSITION, 2),
    vsd_end(),
  };
  const VsdElement water_hq[] = {
    vsd_element(0, 0, VSDT_SHORT2, VSDU_POSITION, 0),
    vsd_element(4, 0, VSDT_FLOAT1, VSDU_POSITION, 1),
    vsd_element(8, 0, VSDT_FLOAT4, VSDU_TEXCOORD, 0),
    vsd_element(24, 0, VSDT_FLOAT1, VSDU_TEXCOORD, 1),
    vsd_end(),
  };
  const VsdElement water_lq[] = {
    vsd_element(0, 0, VSDT_SHORT2, VSDU_POSITION, 0),
    vsd_element(4, 0, VSDT_FLOAT1, VSDU_POSITION, 1),
    vsd_element(8, 0, VSDT_FLOAT1, VSDU_TEXCOORD, 1),
    vsd_end(),
  };
  const VsdElement color_point[] = {
    vsd_element(0, 0, VSDT_SHORT2, VSDU_POSITION, 0),
    vsd_element(4, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0),
    vsd_end(),
  };
  const VsdElement height_point[] = {
    vsd_element(0, 0, VSDT_SHORT2, VSDU_POSITION, 0),
    vsd_element(4, 0, VSDT_FLOAT1, VSDU_TEXCOORD, 0),
    vsd_end(),
  };
  s.landDecl = create_vdecl(land);
  s.patchDecl = create_vdecl(patch);
  s.waterDecl = create_vdecl(s.highQuality ? water_hq : water_lq);
  s.colorPointDecl = create_vdecl(color_point);
  s.heightPointDecl = create_vdecl(height_point);
}

static void create_shaders(LandRenderState &s)
{
  const bool hq = s.highQuality;
  const char *land = hq ? "dr_land.sh" : "land.sh";
  s.landShader = create_shader(land, nullptr);
  s.landInstShader = create_shader(land, "INST\0 1\0");
  s.waterShader = create_shader(hq ? "dr_water.sh" : "water.sh", nullptr);
  s.loadColorShader = create_shader("load_color.sh", nullptr);
  s.loadFloatShader = create_shader("load_float.sh", nullptr);
  s.normShader = create_shader(hq ? "calc_norm.sh" : "calc_norm_low.sh", nullptr);
  if (hq)
  {
    s.aperShader[0] = create_shader("calc_aper.sh", "QUALITY\0 0\0");
    s.aperShader[1] = create_shader("calc_aper.sh", "QUALITY\0 1\0");
    s.aperShader[2] = create_shader("calc_aper.sh", "QUALITY\0 2\0");
  }
  s.interpShader = create_shader("interp_tex.sh", nullptr);
  s.horizonShader = create_shader("horizon.sh", nullptr);
}

static void create_textures(LandRenderState &s)
{
  bool ok = true;
  if (s.highQuality)
  {
    HR::aperTex = create_rt_texture(HMAP_SIZE, HMAP_SIZE, 1);
    s.aperTexPrev = create_rt_texture(HMAP_SIZE, HMAP_SIZE, 1);
    s.aperTexNext = create_rt_texture(HMAP_SIZE, HMAP_SIZE, 1);
    ok = HR::aperTex && s.aperTexPrev && s.aperTexNext;
  }
  HR::normTex = create_rt_texture(1024, 1024, 1);
  s.normTexPrev = create_rt_texture(1024, 1024, 1);
  s.normTexNext = create_rt_texture(1024, 1024, 1);
  HR::colrTex = create_rt_texture(HMAP_SIZE, HMAP_SIZE, 1);
  HR::topcTex = create_rt_texture(HMAP_SIZE, HMAP_SIZE, 1);
  HR::hmapTex = create_rt_texture(HMAP_SIZE, HMAP_SIZE, 6);
  s.detailTex = get_texture("detail.dds", false);
  if (s.highQuality)
    s.foamTex = get_texture("foam.dds", false);
  if (!ok || !HR::normTex || !s.normTexPrev || !s.normTexNext || !HR::colrTex || !HR::topcTex || !HR::hmapTex ||
      !s.detailTex)
    fatal("can't create land textures");
}

static VertexBuffer *make_vb(int bytes, int flags, const char *msg)
{
  VertexBuffer *vb = create_vb(bytes, flags);
  if (!vb)
    fatal("%s", msg);
  return vb;
}
static IndexBuffer *make_ib(int count, int flags, const char *msg)
{
  IndexBuffer *ib = create_ib(count, flags);
  if (!ib)
    fatal("%s", msg);
  return ib;
}

static void create_buffers(LandRenderState &s)
{
  const int water_stride = s.highQuality ? int(sizeof(WaterVertexHQ)) : int(sizeof(WaterVertexLQ));
  s.pointVB = make_vb(LAND_POINT_VERTS * 8, 0, "Can't create color VB");
  s.landVB = make_vb(LAND_FAR_VERTS * 8, 0, "Can't create land VB");
  s.horizonVB = make_vb(LAND_HORIZON_VERTS * 8, 0, "Can't create land VB");
  s.nearVB = make_vb(LAND_NEAR_INSTANCES * int(sizeof(PatchInstance)), 0, "Can't create water VB");
  s.waterVB = make_vb(LAND_WATER_VERTS * water_stride, 0, "Can't create water VB");
  s.patchVB = make_vb(LAND_PATCH_VERTS * int(sizeof(PatchVertex)), BUF_STATIC, "Can't create land VB");
  s.patchIB = make_ib(LAND_PATCH_INDICES, BUF_STATIC, "Can't create land VB");
  PatchVertex *pv = static_cast<PatchVertex *>(lock_vb_checked(s.patchVB));
  uint16_t *pi = lock_ib_checked(s.patchIB);
  land_fill_patch_mesh(pv, pi);
  unlock_vb(s.patchVB);
  unlock_ib(s.patchIB);
  s.landIB = make_ib(LAND_FAR_INDICES, 0, "Can't create land IB");
  s.horizonIB = make_ib(LAND_HORIZON_INDICES, BUF_STATIC, "Can't create land IB");
  s.waterIB = make_ib(LAND_WATER_INDICES, 0, "Can't create water IB");

  uint16_t *hi = lock_ib_checked(s.horizonIB);
  s.horizonQuads = land_fill_horizon_indices(hi);
  unlock_ib(s.horizonIB);
}

void init_land_render()
{
  close_land_render();
  splash_hooks.show("Compiling land shaders", -1.f);
  LandRenderState &s = land_state;
  s.highQuality = gfx_quality == GFX_QUALITY_HIGH;
  create_decls(s);
  create_shaders(s);
  create_textures(s);
  create_buffers(s);
  land_init_flow(s);
  s.flowIndex = 0;
  s.flowCounter = 0;
  init_world_map(s);
  s.created = true;
  request_land_refresh();
}

template <typename T>
static void drop(T *&p, void (*release)(T *))
{
  if (p)
    release(p);
  p = nullptr;
}

void close_land_render()
{
  LandRenderState &s = land_state;
  close_world_map(s);
  Shader **shaders[] = {&s.landShader,      &s.landInstShader, &s.waterShader,   &s.loadColorShader,
                        &s.loadFloatShader, &s.normShader,     &s.aperShader[0], &s.aperShader[1],
                        &s.aperShader[2],   &s.interpShader,   &s.horizonShader};
  for (Shader **sh : shaders)
    drop(*sh, destroy_shader);
  Texture **rts[] = {&HR::aperTex,   &s.aperTexPrev, &s.aperTexNext, &HR::normTex, &s.normTexPrev,
                     &s.normTexNext, &HR::colrTex,   &HR::topcTex,   &HR::hmapTex};
  for (Texture **t : rts)
    drop(*t, release_texture);
  drop(s.detailTex, free_texture);
  drop(s.foamTex, free_texture);
  VertexBuffer **vbs[] = {&s.pointVB, &s.landVB, &s.horizonVB, &s.nearVB, &s.waterVB, &s.patchVB};
  for (VertexBuffer **vb : vbs)
    drop(*vb, release_vb);
  IndexBuffer **ibs[] = {&s.patchIB, &s.landIB, &s.horizonIB, &s.waterIB};
  for (IndexBuffer **ib : ibs)
    drop(*ib, release_ib);
  // Declarations live in the device's cache until the device closes.
  s.landDecl = s.patchDecl = s.waterDecl = s.colorPointDecl = s.heightPointDecl = nullptr;
  s.created = false;
  s.haveHistory = false;
  s.refreshRequested = false;
  s.landQuads = s.nearInstances = s.waterQuads = s.horizonQuads = 0;
}

void request_land_refresh() { land_state.refreshRequested = true; }

void land_render_after_reset()
{
  land_state.haveHistory = false;
  request_land_refresh();
}

LandView land_view_from_device()
{
  LandView v;
  Matrix44 view, proj;
  get_view_tm(view);
  get_proj_tm(proj);
  v.glob_tm = view * proj;
  if (!inverse44(view, v.camera))
    v.camera = Matrix44::identity();
  return v;
}

void update_land_render(float dt, vec4f camera_pos)
{
  LandRenderState &s = land_state;
  if (s.highQuality && s.created)
  {
    int cx, cz;
    land_camera_cell(camera_pos.x, camera_pos.z, cx, cz);
    land_step_flow(s, dt, cx, cz);
  }
  request_land_refresh();
}

// ---- refresh of the GPU copies ----

static void pass_state()
{
  set_zenable(false);
  set_zwrite(false);
  set_cull_mode(0);
  set_blend_none();
  set_stencil_test(0, 0, D3DCMP_ALWAYS);
  set_stencil_replace_bits(0);
  set_color_write_mask(15);
}

static void set_vs4(int reg, float a, float b, float c, float d)
{
  const float v[4] = {a, b, c, d};
  set_vs_consts(reg, v, 1);
}
static void set_ps4(int reg, float a, float b, float c, float d)
{
  const float v[4] = {a, b, c, d};
  set_ps_consts(reg, v, 1);
}

// Register reg = the scale and offset that put the full-screen quad on the region of a
// map-sized target.
static void set_region_consts(int reg, const LandRegion &r)
{
  const float nx = float(r.x1 - r.x0), nz = float(r.z1 - r.z0);
  const float size = float(HMAP_SIZE);
  set_vs4(reg, nx / size, nz / size, (2.f * r.x0 - size + nx) / size, -(2.f * r.z0 - size + nz) / size);
}

// One point per cell, in batches that fit the point buffer; value(i) fills the payload.
template <typename F>
static void upload_points(LandRenderState &s, int x0, int z0, int nx, int nz, F value)
{
  const float half = float(HMAP_SIZE / 2);
  set_vs4(VC_POINT_MAP, 1.f / half, -1.f / half, -1.f, 1.f);
  set_vb(0, s.pointVB, 0, int(sizeof(PointVertex)));
  const int total = nx * nz;
  for (int first = 0; first < total; first += LAND_POINT_VERTS)
  {
    int n = total - first < LAND_POINT_VERTS ? total - first : LAND_POINT_VERTS;
    PointVertex *p = static_cast<PointVertex *>(lock_vb_checked(s.pointVB));
    for (int k = 0; k < n; k++)
    {
      int x = x0 + (first + k) % nx, z = z0 + (first + k) / nx;
      p[k].x = int16_t(x);
      p[k].z = int16_t(z);
      value(p[k], hmap_index(x, z));
    }
    unlock_vb(s.pointVB);
    draw_prim(D3DPT_POINTLIST, 0, n);
  }
}

// One value per cell of the region into a map-sized texture; whether any texel changed
// (always true for the point draws, which cannot tell). GL can write a render target's
// texels directly, which costs a fraction of the point draws; the points remain the way
// when a texture cannot be locked. Both give the same texels.
template <typename T, typename F>
static bool upload_cells(LandRenderState &s, Texture *target, VDecl decl, Shader *sh, const LandRegion &r, F value)
{
  const int x0 = r.x0, z0 = r.z0, nx = r.x1 - r.x0, nz = r.z1 - r.z0;
  LAND_ASSERT(nx > 0 && nz > 0, "nx>0 && nz>0");
  LAND_ASSERT(x0 >= 0 && z0 >= 0 && x0 + nx <= HMAP_SIZE && z0 + nz <= HMAP_SIZE,
              "x0>=0 && z0>=0 && x0+nx<=HMAP_SIZE && z0+nz<=HMAP_SIZE");
  int pitch = 0;
  // The locked memory holds what the previous lock wrote.
  if (uint8_t *texels = static_cast<uint8_t *>(lock_texture(target, &pitch, false)))
  {
    bool changed = false;
    for (int z = z0; z < z0 + nz; z++)
    {
      T *row = reinterpret_cast<T *>(texels + size_t(pitch) * z);
      for (int x = x0; x < x0 + nx; x++)
      {
        PointVertex p;
        value(p, hmap_index(x, z));
        changed |= memcmp(&row[x], &p.color, sizeof(T)) != 0;
        memcpy(&row[x], &p.color, sizeof(T));
      }
    }
    unlock_texture(target);
    return changed;
  }
  set_render_target_texture(0, target, false);
  set_vdecl(decl);
  set_shader(sh);
  upload_points(s, x0, z0, nx, nz, value);
  return true;
}

// A full-screen pass over the region of a map-sized target, from the height texture.
static void height_pass(Shader *sh, Texture *target, const LandRegion &r)
{
  set_render_target_texture(0, target, false);
  set_shader(sh);
  set_texture(TEX_STAGE(TEX_HEIGHTS), HR::hmapTex);
  set_tex_address(TEX_STAGE(TEX_HEIGHTS), TEXADDR_WRAP);
  set_tex_filter(TEX_STAGE(TEX_HEIGHTS), true);
  set_vs4(VC_MAP_TEXMAP, 0.5f, -0.5f, 0.5f + 1.f / 512.f, 0.5f + 1.f / 512.f);
  set_ps4(PC_HEIGHT_TEXEL, 1.f / float(HMAP_SIZE), 1.f / float(HMAP_SIZE), 0.f, 0.f);
  set_region_consts(VC_MAP_REGION, r);
  draw_postfx();
}

// Uploads the levels and both colour textures, then redoes the normals and the aperture
// where the levels changed; the world map when anything did.
static void refresh_gpu_copies(LandRenderState &s)
{
  pass_state();
  const bool hq = s.highQuality;
  const int q = land_shadow_quality < 0 ? 0 : land_shadow_quality > 2 ? 2 : land_shadow_quality;
  const unsigned serials[3] = {s.normShader->linkSerial, hq ? s.aperShader[q]->linkSerial : 0u,
                               s.interpShader->linkSerial};
  // Everything after a reset, at the first refresh, for another aperture quality and
  // after the passes' code was reloaded.
  const bool full = !s.haveHistory || q != s.refreshQuality || memcmp(serials, s.refreshSerials, sizeof(serials)) != 0;
  const HD::Water *water = &HD::water[0][0];
  for (int i = 0; i < HMAP_CELLS; i++)
    s.level[i] = HD::hmap[i] + water[i].depth;
  const LandRegion change = full ? LandRegion::full() : land_changed_region(s.lastLevel, s.level, LAND_PASS_REACH);
  const LandRegion area = full ? change : land_region_union(change, s.lastChange);
  if (!change.empty())
  {
    const float *level = s.level;
    upload_cells<float>(s, HR::hmapTex, s.heightPointDecl, s.loadFloatShader, change,
                        [level](PointVertex &p, int i) { p.value = level[i]; });
  }
  // Normals, then at high quality the aperture, into the swapped "next" targets.
  std::swap(s.normTexPrev, s.normTexNext);
  if (!area.empty())
    height_pass(s.normShader, s.normTexNext, area);
  if (hq)
  {
    std::swap(s.aperTexPrev, s.aperTexNext);
    if (!area.empty())
      height_pass(s.aperShader[q], s.aperTexNext, area);
  }
  // The first refresh has no previous result to come from: start both from it.
  if (!s.haveHistory)
  {
    copy_texture(s.normTexNext, s.normTexPrev);
    if (hq)
      copy_texture(s.aperTexNext, s.aperTexPrev);
    s.haveHistory = true;
  }
  set_texture(TEX_STAGE(TEX_HEIGHTS), nullptr);
  memcpy(s.lastLevel, s.level, sizeof(s.level));
  s.lastChange = change;
  s.interpArea = area;
  s.refreshQuality = q;
  memcpy(s.refreshSerials, serials, sizeof(serials));
  // Colours.
  bool changed = upload_cells<uint32_t>(s, HR::colrTex, s.colorPointDecl, s.loadColorShader, LandRegion::full(),
                                        [](PointVertex &p, int i) { p.color = HD::surface[i].color.u; });
  changed |= upload_cells<uint32_t>(s, HR::topcTex, s.colorPointDecl, s.loadColorShader, LandRegion::full(),
                                    [](PointVertex &p, int i) { p.color = HD::surface[i].top_color.u; });
  render_world_map(s, full || changed || !area.empty());
}

static void interp_pass(LandRenderState &s, Texture *target, Texture *prev, Texture *next, int size, float t)
{
  set_render_target_texture(0, target, false);
  set_shader(s.interpShader);
  set_texture(TEX_STAGE(TEX_INTERP_PREV), prev);
  set_texture(TEX_STAGE(TEX_INTERP_NEXT), next);
  set_tex_address(TEX_STAGE(TEX_INTERP_PREV), TEXADDR_WRAP);
  set_tex_address(TEX_STAGE(TEX_INTERP_NEXT), TEXADDR_WRAP);
  set_region_consts(VC_MAP_REGION, s.interpArea);
  set_vs4(VC_MAP_TEXMAP, 0.5f, -0.5f, 0.5f + 0.5f / size, 0.5f + 0.5f / size);
  set_ps4(PC_INTERP_T, t, t, t, t);
  draw_postfx();
}

void prepare_land_render(const LandView &view, float t_since_step)
{
  LandRenderState &s = land_state;
  if (!s.created)
    return;
  const float t = update_fraction(t_since_step);
  s.drawT = t;
  const bool hq = s.highQuality;
  if (s.refreshRequested)
  {
    refresh_gpu_copies(s);
    s.refreshRequested = false;
  }
  pass_state();
  if (!s.interpArea.empty())
  {
    if (hq)
      interp_pass(s, HR::aperTex, s.aperTexPrev, s.aperTexNext, HMAP_SIZE, t);
    interp_pass(s, HR::normTex, s.normTexPrev, s.normTexNext, 1024, t);
  }
  set_texture(TEX_STAGE(TEX_INTERP_PREV), nullptr);
  set_texture(TEX_STAGE(TEX_INTERP_NEXT), nullptr);
  set_backbuffer_target();
  set_cull_mode(1);

  HD::morphHmap(t_since_step, HR::curh);

  const vec4f cam = view.camera.row(3);
  land_camera_cell(cam.x, cam.z, s.camX, s.camZ);
  const int ox = s.camX - HMAP_SIZE / 2, oz = s.camZ - HMAP_SIZE / 2;

  land_interp_depth(t, s.curw);
  s.cameraUnderWater = land_below_water(cam.x, cam.y, cam.z, HR::curh, s.curw);
  land_cull_blocks(view.glob_tm, ox, oz, HR::curh, s.curw, s.cull);

  PatchInstance *inst = static_cast<PatchInstance *>(lock_vb_checked(s.nearVB));
  s.nearInstances = land_build_near(ox, oz, HR::curh, inst, s.cull);
  unlock_vb(s.nearVB);

  LandVertex *lv = static_cast<LandVertex *>(lock_vb_checked(s.landVB));
  uint16_t *li = lock_ib_checked(s.landIB);
  s.landQuads = land_build_far(ox, oz, HR::curh, lv, li, s.cull);
  unlock_vb(s.landVB);
  unlock_ib(s.landIB);

  if (hq)
  {
    LandVertex *hv = static_cast<LandVertex *>(lock_vb_checked(s.horizonVB));
    land_build_horizon(s.camX, s.camZ, cam.x, cam.z, HR::curh, s.curw, hv);
    unlock_vb(s.horizonVB);
  }

  void *wv = lock_vb_checked(s.waterVB);
  uint16_t *wi = lock_ib_checked(s.waterIB);
  s.waterQuads = land_build_water(s, hq, ox, oz, t, HR::curh, s.curw, wv, wi, s.cull);
  unlock_vb(s.waterVB);
  unlock_ib(s.waterIB);
}

// ---- scene passes ----

static void land_stages(LandRenderState &s)
{
  set_texture(TEX_STAGE(TEX_APERTURE), s.highQuality ? HR::aperTex : nullptr);
  set_texture(TEX_STAGE(TEX_LAND_NORMALS), HR::normTex);
  set_texture(TEX_STAGE(TEX_GROUND_COLOR), HR::colrTex);
  set_texture(TEX_STAGE(TEX_LAYER_COLOR), HR::topcTex);
  set_texture(TEX_STAGE(TEX_DETAIL), s.detailTex);
  for (int i : {TEX_STAGE(TEX_APERTURE), TEX_STAGE(TEX_LAND_NORMALS), TEX_STAGE(TEX_GROUND_COLOR),
                TEX_STAGE(TEX_LAYER_COLOR), TEX_STAGE(TEX_DETAIL)})
  {
    set_tex_address(i, TEXADDR_WRAP);
    set_tex_filter(i, true);
  }
}

void render_land()
{
  LandRenderState &s = land_state;
  if (!s.created)
    return;
  land_stages(s);
  set_vs4(VC_LAND_COORD, 1.f / float(HMAP_SIZE), 1.f / float(HMAP_SIZE), 0.5f / float(HMAP_SIZE),
          0.5f / float(4 * HMAP_SIZE));
  set_sky_ps_consts(PC_SKY);
  if (s.nearInstances > 0)
  {
    set_vdecl(s.patchDecl);
    set_vb(0, s.patchVB, 0, int(sizeof(PatchVertex)));
    set_vb(1, s.nearVB, 0, int(sizeof(PatchInstance)));
    set_ib(s.patchIB);
    set_shader(s.landInstShader);
    set_instancing(s.nearInstances);
    draw_indexed(D3DPT_TRIANGLELIST, 0, 0, LAND_PATCH_VERTS, 0, LAND_PATCH_INDICES / 3);
    set_instancing(0);
    set_vb(1, nullptr, 0, 0);
  }
  if (s.landQuads > 0)
  {
    set_vdecl(s.landDecl);
    set_vb(0, s.landVB, 0, int(sizeof(LandVertex)));
    set_ib(s.landIB);
    set_shader(s.landShader);
    draw_indexed(D3DPT_TRIANGLELIST, 0, 0, LAND_FAR_VERTS, 0, 2 * s.landQuads);
  }
}

void render_water(float t)
{
  LandRenderState &s = land_state;
  if (!s.created || s.waterQuads <= 0)
    return;
  const bool hq = s.highQuality;
  if (hq)
  {
    set_texture(TEX_STAGE(TEX_APERTURE), HR::aperTex);
    set_texture(TEX_STAGE(TEX_FOAM), s.foamTex);
    float w = 1.f - fabsf((float(s.flowCounter) + t - 20.f) * 0.05f);
    set_ps4(PC_FLOW_WEIGHT, w, 0.f, 0.f, 0.f);
    set_ps4(PC_WATER_TEXMAP, 0.5f, -0.5f, 0.5f + 0.5f / d3d_wd, 0.5f + 0.5f / d3d_ht);
  }
  set_vdecl(s.waterDecl);
  set_vb(0, s.waterVB, 0, hq ? int(sizeof(WaterVertexHQ)) : int(sizeof(WaterVertexLQ)));
  set_ib(s.waterIB);
  set_shader(s.waterShader);
  // The forward water is blended over the seabed; the deferred one writes the G-buffer.
  // From above the surface only its upper side can be seen; a camera under it sees the
  // lower side, so both are drawn then.
  if (!hq)
    set_blend_alpha();
  set_cull_mode(s.cameraUnderWater ? 0 : 1);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, LAND_WATER_VERTS, 0, 2 * s.waterQuads);
  set_cull_mode(1);
  if (hq)
    set_texture(TEX_STAGE(TEX_WATER_LEVEL), HR::hmapTex);
  else
    set_blend_none();
}

void render_water_prepared() { render_water(land_state.drawT); }

void render_horizon()
{
  LandRenderState &s = land_state;
  if (!s.created || s.horizonQuads <= 0)
    return;
  // The horizon shades like the land, from the same textures, and tells water from
  // land by the depth per cell (shared with the world map).
  land_stages(s);
  set_texture(TEX_STAGE(TEX_HORIZON_WATER), s.mapWaterTex);
  set_tex_address(TEX_STAGE(TEX_HORIZON_WATER), TEXADDR_WRAP);
  set_tex_filter(TEX_STAGE(TEX_HORIZON_WATER), true);
  set_vdecl(s.landDecl);
  set_vb(0, s.horizonVB, 0, int(sizeof(LandVertex)));
  set_ib(s.horizonIB);
  set_shader(s.horizonShader);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, LAND_HORIZON_VERTS, 0, 2 * s.horizonQuads);
  set_texture(TEX_STAGE(TEX_HORIZON_WATER), nullptr);
}
