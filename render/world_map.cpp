// The 512 x 512 world-map image: the ground and layer colours, the water on top with
// alpha blending, then the land's light multiplied in. Redrawn at every land refresh.
#include "app/log.h"
#include "app/settings.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/land_render_internal.h"
#include "render/shaders.h"
#include "render/textures.h"

using HR = HeightmapRenderer;

void init_world_map(LandRenderState &s)
{
  HR::mapTex = create_rt_texture(512, 512, 1);
  if (!HR::mapTex)
    fatal("can't create world map texture");
  s.mapWaterVB = create_vb(MAP_WATER_VERTS * int(sizeof(MapWaterVertex)), 0);
  if (!s.mapWaterVB)
    fatal("Can't create map water VB");
  s.mapWaterIB = create_ib(MAP_WATER_INDICES, 0);
  if (!s.mapWaterIB)
    fatal("Can't create map water IB");
  s.mapSurfShader = create_shader("map_surf.sh", nullptr);
  s.mapWaterShader = create_shader("map_water.sh", nullptr);
  s.mapLightShader = create_shader(s.highQuality ? "map_light.sh" : "map_light_low.sh", nullptr);
}

void close_world_map(LandRenderState &s)
{
  if (HR::mapTex)
    release_texture(HR::mapTex);
  HR::mapTex = nullptr;
  if (s.mapWaterVB)
    release_vb(s.mapWaterVB);
  s.mapWaterVB = nullptr;
  if (s.mapWaterIB)
    release_ib(s.mapWaterIB);
  s.mapWaterIB = nullptr;
  Shader **shaders[] = {&s.mapSurfShader, &s.mapWaterShader, &s.mapLightShader};
  for (Shader **sh : shaders)
  {
    if (*sh)
      destroy_shader(*sh);
    *sh = nullptr;
  }
}

static void full_screen_map_pass()
{
  const float r17[4] = {0.5f, -0.5f, 0.5f + 1.f / 512.f, 0.5f + 1.f / 512.f};
  const float r16[4] = {1.f, 1.f, 0.f, 0.f};
  set_vs_consts(17, r17, 1);
  set_vs_consts(16, r16, 1);
  draw_postfx();
}

void render_world_map(LandRenderState &s)
{
  if (!HR::mapTex)
    return;
  set_render_target_texture(0, HR::mapTex, false);
  set_zenable(false);
  set_zwrite(false);
  set_cull_mode(0);
  set_blend_none();

  // 1. Ground and layer colours.
  set_shader(s.mapSurfShader);
  set_texture(0, HR::colrTex);
  set_texture(1, HR::topcTex);
  set_tex_address(0, TEXADDR_WRAP);
  set_tex_address(1, TEXADDR_WRAP);
  set_tex_filter(0, true);
  set_tex_filter(1, true);
  full_screen_map_pass();
  set_texture(1, nullptr);

  // 2. Water: the wet quads of the whole map, in two parts so 16-bit indices suffice.
  MapWaterVertex *v = static_cast<MapWaterVertex *>(lock_vb(s.mapWaterVB, 0, 0));
  if (!v)
    fatal("%s(%d): failed ASSERT(%s)", "hmRender", __LINE__, "vp");
  uint16_t *idx = static_cast<uint16_t *>(lock_ib(s.mapWaterIB, 0, 0));
  if (!idx)
    fatal("%s(%d): failed ASSERT(%s)", "hmRender", __LINE__, "ip");
  map_build_water(v, idx, s.mapWaterQuads);
  unlock_vb(s.mapWaterVB);
  unlock_ib(s.mapWaterIB);
  const int q0 = s.mapWaterQuads[0], q1 = s.mapWaterQuads[1];
  if (q0 + q1 > 0)
  {
    set_shader(s.mapWaterShader);
    set_vdecl(s.mapWaterDecl);
    set_vb(0, s.mapWaterVB, 0, int(sizeof(MapWaterVertex)));
    set_ib(s.mapWaterIB);
    set_blend_alpha();
    if (q0 > 0)
      draw_indexed(D3DPT_TRIANGLELIST, 0, 0, MAP_WATER_VERTS, 0, 2 * q0);
    if (q1 > 0)
      draw_indexed(D3DPT_TRIANGLELIST, MAP_WATER_SPLIT_BASE, 0, MAP_WATER_SPLIT_VERTS, 6 * q0, 2 * q1);
  }

  // 3. Light: the aperture (high quality) or the normals, multiplied in.
  set_shader(s.mapLightShader);
  set_texture(0, s.highQuality ? s.aperTexNext : s.normTexNext);
  set_tex_address(0, TEXADDR_WRAP);
  set_blend_multiply();
  full_screen_map_pass();
  set_blend_none();
  set_texture(0, nullptr);
}
