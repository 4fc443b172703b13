// The 512 x 512 world-map image: the ground and layer colours, the water on top with
// alpha blending, then the land's light multiplied in. Redrawn at the land refreshes that
// change anything it shows.
#include <cstring>
#include "core/log.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/land_render_internal.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/textures.h"

using HR = HeightmapRenderer;
using HD = HeightmapData;

void init_world_map(LandRenderState &s)
{
  HR::mapTex = create_rt_texture(512, 512, 1);
  if (!HR::mapTex)
    fatal("can't create world map texture");
  s.mapWaterTex = create_texture(HMAP_SIZE, HMAP_SIZE, 1, 0, D3DFMT_G32R32F, D3DPOOL_MANAGED);
  if (!s.mapWaterTex)
    fatal("can't create world map texture");
  s.mapSurfShader = create_shader("map_surf.sh", nullptr);
  s.mapWaterShader = create_shader("map_water.sh", nullptr);
  s.mapLightShader = create_shader(s.highQuality ? "map_light.sh" : "map_light_low.sh", nullptr);
}

void close_world_map(LandRenderState &s)
{
  Texture **textures[] = {&HR::mapTex, &s.mapWaterTex};
  for (Texture **t : textures)
  {
    if (*t)
      release_texture(*t);
    *t = nullptr;
  }
  Shader **shaders[] = {&s.mapSurfShader, &s.mapWaterShader, &s.mapLightShader};
  for (Shader **sh : shaders)
  {
    if (*sh)
      destroy_shader(*sh);
    *sh = nullptr;
  }
}

// Depth and foam of every cell, as the water pass reads them. wet: whether any cell has
// water; the result: whether any texel changed (the locked memory holds the last upload).
static bool upload_map_water(Texture *t, bool &wet)
{
  wet = false;
  int pitch = 0;
  uint8_t *texels = static_cast<uint8_t *>(lock_texture(t, &pitch, false));
  if (!texels)
    return true;
  bool changed = false;
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    float *row = reinterpret_cast<float *>(texels + size_t(pitch) * z);
    const HD::Water *w = HD::water[z];
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const float v[2] = {w[x].depth, w[x].foam};
      changed |= memcmp(&row[2 * x], v, sizeof(v)) != 0;
      memcpy(&row[2 * x], v, sizeof(v));
      wet |= v[0] > 0.01f;
    }
  }
  unlock_texture(t);
  return changed;
}

static void full_screen_map_pass()
{
  const float texmap[4] = {0.5f, -0.5f, 0.5f + 1.f / 512.f, 0.5f + 1.f / 512.f};
  const float whole_map[4] = {1.f, 1.f, 0.f, 0.f};
  set_vs_consts(VC_MAP_TEXMAP, texmap, 1);
  set_vs_consts(VC_MAP_REGION, whole_map, 1);
  draw_postfx();
}

void render_world_map(LandRenderState &s, bool force)
{
  if (!HR::mapTex)
    return;
  bool wet = false;
  if (!upload_map_water(s.mapWaterTex, wet) && !force)
    return;
  set_render_target_texture(0, HR::mapTex, false);
  set_zenable(false);
  set_zwrite(false);
  set_cull_mode(0);
  set_blend_none();

  // Ground and layer colours.
  set_shader(s.mapSurfShader);
  set_texture(TEX_STAGE(TEX_MAP_GROUND), HR::colrTex);
  set_texture(TEX_STAGE(TEX_MAP_LAYER), HR::topcTex);
  set_tex_address(TEX_STAGE(TEX_MAP_GROUND), TEXADDR_WRAP);
  set_tex_address(TEX_STAGE(TEX_MAP_LAYER), TEXADDR_WRAP);
  set_tex_filter(TEX_STAGE(TEX_MAP_GROUND), true);
  set_tex_filter(TEX_STAGE(TEX_MAP_LAYER), true);
  full_screen_map_pass();
  set_texture(TEX_STAGE(TEX_MAP_LAYER), nullptr);

  // Water over every cell with a wet corner, in one pass over the map.
  if (wet)
  {
    set_shader(s.mapWaterShader);
    set_texture(TEX_STAGE(TEX_MAP_WATER), s.mapWaterTex);
    set_blend_alpha();
    full_screen_map_pass();
  }

  // Light: the aperture (high quality) or the normals, multiplied in, of the refresh
  // before: on llvmpipe, sampling the targets the refresh has just drawn intermittently
  // lost the passes' writes. The map is one step behind the land.
  set_shader(s.mapLightShader);
  set_texture(TEX_STAGE(TEX_MAP_LIGHT), s.highQuality ? s.aperTexPrev : s.normTexPrev);
  set_tex_address(TEX_STAGE(TEX_MAP_LIGHT), TEXADDR_WRAP);
  set_blend_multiply();
  full_screen_map_pass();
  set_blend_none();
  set_texture(TEX_STAGE(TEX_MAP_LIGHT), nullptr);
}
