#pragma once
// The terrain and water renderer: GPU copies of the world grids (heights, normals,
// ambient aperture, colours), a camera-centred 256 x 256 window of the wrapping map drawn
// as instanced patches near the camera and a plain grid farther out, the water surface
// with foam and flowing texture coordinates, the bent-down horizon ring and the
// 512 x 512 world-map image.
//
// Lifetime: init_land_render after the sky and before the post-effects; close_land_render
// at shutdown (safe when init never ran). Every texture pointer below is valid between
// the two and null otherwise.
#include "app/engine_api.h"
#include "world/heightmap.h"

struct Texture;
class BuildingInstRender;

// The instanced building piece that draws one house tile letter ('a' + index).
using HouseTileInfo = BuildingInstRender *;
constexpr int NUM_HOUSE_TILES = 19;

class ENGINE_API HeightmapRenderer
{
public:
  static Texture *hmapTex; // 256 x 256 R32F: water surface level (hmap + depth)
  static Texture *normTex; // 1024 x 1024: normals as drawn (interpolated between steps)
  static Texture *aperTex; // 256 x 256: ambient aperture as drawn; high quality only
  static Texture *colrTex; // 256 x 256: ground colour per cell
  static Texture *topcTex; // 256 x 256: surface-layer colour per cell
  static Texture *mapTex;  // 512 x 512: the world map (the module's interface shows it)
  // Heights as drawn this frame: written by prepare_land_render, read by anyone after it.
  alignas(64) static float curh[HMAP_CELLS];
  // Indexed by house_tile: the exported building pieces (render/inst_render.h).
  static HouseTileInfo house_tile_info[NUM_HOUSE_TILES];
  static int num_house_tiles;
};

ENGINE_API void init_land_render();
ENGINE_API void close_land_render();
// The GPU copies are refreshed in the next prepare_land_render.
ENGINE_API void request_land_refresh();
// After the device recreated its render targets (a resize or reset: on_d3d_resize) the
// copies are blank: rebuild them, both previous and next, in the next frame.
ENGINE_API void land_render_after_reset();
// Once per simulation step, before updateHmap: carries the flow coordinates along with
// the water (high quality) and requests a refresh.
ENGINE_API void update_land_render(float dt);
// Once per drawn frame in the view set-up, after cur_view_itm is known: refreshes the
// GPU copies when asked to, interpolates and builds this frame's geometry. Leaves the
// back buffer bound as target 0.
ENGINE_API void prepare_land_render(float t_since_step);
// The scene passes. t = fraction of the current step (time since the last step * 20).
ENGINE_API void render_land();
ENGINE_API void render_water(float t);
// render_water with the t of the latest prepare_land_render (for the scene hooks).
ENGINE_API void render_water_prepared();
ENGINE_API void render_horizon();

// Called for every house cell inside the drawn disc, once per frame, instead of drawing
// the land there. The default forwards to the module's render_building when it is bound.
using LandBuildingFunc = void (*)(const HeightmapData::Surface *surface, int x, int z);
extern ENGINE_API LandBuildingFunc land_render_building;
