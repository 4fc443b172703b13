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
#include "core/engine_api.h"
#include "core/matrix44.h"
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
// The camera a frame is drawn with, as the shell's view set-up computed it: the camera's
// world matrix (row 3 = its position) and view x projection (row vectors, clip z from 0
// to w).
struct LandView
{
  Matrix44 camera;
  Matrix44 glob_tm;
};
// The view of the device's current view and projection matrices (tests and tools that
// set those themselves).
ENGINE_API LandView land_view_from_device();

// Once per simulation step, before updateHmap: carries the flow coordinates along with
// the water around the camera at camera_pos (high quality) and requests a refresh.
ENGINE_API void update_land_render(float dt, vec4f camera_pos);
// Once per drawn frame in the view set-up: refreshes the GPU copies when asked to,
// interpolates and builds this frame's geometry for view. Leaves the back buffer bound
// as target 0.
ENGINE_API void prepare_land_render(const LandView &view, float t_since_step);
// The scene passes. t = fraction of the current step (update_fraction of the time since
// the last step).
ENGINE_API void render_land();
ENGINE_API void render_water(float t);
// render_water with the t of the latest prepare_land_render (for the scene hooks).
ENGINE_API void render_water_prepared();
ENGINE_API void render_horizon();

// What the terrain renderer hands to others; entries are never null.
struct LandHooks
{
  // Called for every house cell inside the drawn disc, once per frame, instead of
  // drawing the land there (the shell forwards it to the module's render_building).
  void (*render_building)(const HeightmapData::Surface *surface, int x, int z) = [](const HeightmapData::Surface *, int,
                                                                                    int) {};
};
extern ENGINE_API LandHooks land_hooks;
