#pragma once
// Private to the terrain renderer (land_render*.cpp, world_map.cpp and their tests):
// vertex layouts, the renderer's state and the CPU geometry builders, which touch no GPU
// object and so run without a device.
#include <cstdint>
#include "core/matrix44.h"
#include "render/land_render.h"

struct Shader;
struct VertexBuffer;
struct IndexBuffer;
struct VertexDecl;

#pragma pack(push, 1)
struct LandVertex // far land and horizon: land format
{
  int16_t x, z;
  float h;
};
struct PatchVertex
{
  float u, v;
};
struct PatchInstance
{
  int16_t x, z;
  float h[4]; // (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1)
};
struct WaterVertexHQ
{
  int16_t x, z;
  float level;
  float flow[4];
  float foam;
};
struct WaterVertexLQ
{
  int16_t x, z;
  float level;
  float foam;
};
struct PointVertex // colour and height uploads
{
  int16_t x, z;
  union
  {
    uint32_t color;
    float value;
  };
};
#pragma pack(pop)
static_assert(sizeof(LandVertex) == 8 && sizeof(PatchVertex) == 8 && sizeof(PatchInstance) == 20);
static_assert(sizeof(WaterVertexHQ) == 28 && sizeof(WaterVertexLQ) == 12);
static_assert(sizeof(PointVertex) == 8);

// Flow texture coordinates of one cell: two pairs, reset 20 steps apart.
struct FlowCoord
{
  float c[4];
};

// Fixed sizes of the buffers.
constexpr int LAND_POINT_VERTS = 4096;
constexpr int LAND_FAR_VERTS = 65536;
constexpr int LAND_FAR_INDICES = 365574;
constexpr int LAND_HORIZON_SIDE = 192;
constexpr int LAND_HORIZON_VERTS = LAND_HORIZON_SIDE * LAND_HORIZON_SIDE;
constexpr int LAND_HORIZON_INDICES = 218886;
constexpr int LAND_NEAR_INSTANCES = 4096;
constexpr int LAND_WATER_VERTS = 65536;
constexpr int LAND_WATER_INDICES = 390150;
constexpr int LAND_PATCH_VERTS = 25;
constexpr int LAND_PATCH_INDICES = 96;

// The near square (window rows and columns) and the drawn disc.
constexpr int LAND_NEAR_LO = 95, LAND_NEAR_HI = 158;
constexpr int LAND_DISC_R2 = 67600; // (2k - 255)^2 + (2c - 255)^2 <= this: radius 130 cells
constexpr int LAND_FLOW_PERIOD = 40;

inline bool land_in_disc(int k, int c)
{
  int a = 2 * k - (HMAP_SIZE - 1), b = 2 * c - (HMAP_SIZE - 1);
  return a * a + b * b <= LAND_DISC_R2;
}
inline bool land_in_near(int k, int c)
{
  return k >= LAND_NEAR_LO && k <= LAND_NEAR_HI && c >= LAND_NEAR_LO && c <= LAND_NEAR_HI;
}
inline bool is_house_cell(const HeightmapData::Surface &s)
{
  return (s.bits & HeightmapData::Surface::GROUND_TYPE_MASK) == uint32_t(GT_HOUSE);
}

// Which 8 x 8-cell blocks of the camera window the view can see: a block is dropped only
// when its box (cells, and heights from the lowest ground to the highest water around it)
// lies wholly outside one side of the view volume.
constexpr int LAND_CULL_BLOCK = 8;
constexpr int LAND_CULL_SIDE = HMAP_SIZE / LAND_CULL_BLOCK;
struct LandCull
{
  bool all = true; // draw everything (no view to cull against)
  uint8_t visible[LAND_CULL_SIDE * LAND_CULL_SIDE];

  bool quad(int k, int c) const { return all || visible[(k / LAND_CULL_BLOCK) * LAND_CULL_SIDE + c / LAND_CULL_BLOCK]; }
};

// A rectangle of map cells [x0, x1) x [z0, z1) inside the map; empty when x0 >= x1.
struct LandRegion
{
  int x0 = 0, z0 = 0, x1 = 0, z1 = 0;

  bool empty() const { return x0 >= x1 || z0 >= z1; }
  static LandRegion full() { return {0, 0, HMAP_SIZE, HMAP_SIZE}; }
};
// How far the passes that read the height texture reach from a cell: the aperture's
// farthest step (20 cells at the highest quality) and the bilinear tap beyond it.
constexpr int LAND_PASS_REACH = 22;
// The cells whose value differs between prev and cur, grown by margin. An axis whose
// grown range would cross the map's edge (the passes wrap) covers the whole axis.
LandRegion land_changed_region(const float *prev, const float *cur, int margin);
// The smallest region holding both.
LandRegion land_region_union(const LandRegion &a, const LandRegion &b);

struct LandRenderState
{
  bool created = false;
  bool highQuality = true;
  bool refreshRequested = false;
  bool haveHistory = false; // the "prev" textures hold a refresh result
  // Refreshes redo only what changed. A refresh writes the cells changed since the one
  // before and those changed by that one into "next" (which holds the result of two
  // refreshes ago); the interpolation covers the same region, prev and next agreeing
  // elsewhere.
  LandRegion lastChange;           // what the latest refresh changed, with the passes' reach
  LandRegion interpArea;           // what "prev" and "next" may differ in
  int refreshQuality = -1;         // aperture quality of the latest refresh
  unsigned refreshSerials[3] = {}; // link serials of the normal, aperture and interpolation programs
  int flowIndex = 0;               // flow[flowIndex] is the current buffer, the other the previous
  int flowCounter = 0;             // 0..39
  // Counts of this frame's geometry.
  int landQuads = 0, nearInstances = 0, waterQuads = 0, horizonQuads = 0;
  int camX = 0, camZ = 0;        // camera cell of the latest prepare
  LandCull cull;                 // blocks of the latest prepare's view
  bool cameraUnderWater = false; // below the water surface of its cell (both sides drawn)
  float drawT = 0.f;             // fraction of the step of the latest prepare

  Texture *normTexPrev = nullptr, *normTexNext = nullptr;
  Texture *aperTexPrev = nullptr, *aperTexNext = nullptr;
  Texture *detailTex = nullptr, *foamTex = nullptr;

  VertexDecl *landDecl = nullptr, *patchDecl = nullptr, *waterDecl = nullptr;
  VertexDecl *colorPointDecl = nullptr, *heightPointDecl = nullptr;
  Shader *landShader = nullptr, *landInstShader = nullptr, *waterShader = nullptr;
  Shader *loadColorShader = nullptr, *loadFloatShader = nullptr, *normShader = nullptr;
  Shader *aperShader[3] = {nullptr, nullptr, nullptr};
  Shader *interpShader = nullptr, *horizonShader = nullptr;
  Shader *mapSurfShader = nullptr, *mapWaterShader = nullptr, *mapLightShader = nullptr;

  VertexBuffer *pointVB = nullptr, *landVB = nullptr, *horizonVB = nullptr, *nearVB = nullptr;
  VertexBuffer *waterVB = nullptr, *patchVB = nullptr;
  IndexBuffer *landIB = nullptr, *horizonIB = nullptr, *waterIB = nullptr, *patchIB = nullptr;
  Texture *mapWaterTex = nullptr; // 256 x 256 (depth, foam) of every cell: world map and horizon

  // Water depth as drawn and the two flow buffers (written by update_land_render).
  alignas(64) float curw[HMAP_CELLS];
  // The water levels (ground + depth) of the latest refresh and of this one.
  alignas(64) float lastLevel[HMAP_CELLS];
  alignas(64) float level[HMAP_CELLS];
  alignas(64) FlowCoord flow[2][HMAP_CELLS];
};
extern LandRenderState land_state;

// ---- CPU builders (land_geometry.cpp) ----

// The camera cell of a camera position and the window origin (half the map before it).
void land_camera_cell(float cam_x, float cam_z, int &cx, int &cz);
// The static 5 x 5 patch mesh.
void land_fill_patch_mesh(PatchVertex *verts, uint16_t *indices);
// The horizon ring's indices; returns the quad count.
int land_fill_horizon_indices(uint16_t *indices);
// Both flow buffers: cell (x, z) gets (x, z, z, x).
void land_init_flow(LandRenderState &s);
// The flow of one simulation step: toggle, carry along the water velocity, count and
// reset a pair at 20 and at 40 (three draws from the game generator each).
void land_step_flow(LandRenderState &s, float dt, int cx, int cz);
// curw = tmpw + (water - tmpw) * t.
void land_interp_depth(float t, float *curw);
// Whether a point lies below the highest water level (ground + depth) of the corners of
// its cell, where the underside of the surface can be seen.
bool land_below_water(float x, float y, float z, const float *h, const float *w);
// The blocks of the window at (ox, oz) that view x projection glob (row vectors, clip
// z from 0 to w) can see, with ground heights h and water depths w.
void land_cull_blocks(const Matrix44 &glob, int ox, int oz, const float *h, const float *w, LandCull &out);
// The near patches around the window origin that the cull keeps; house cells (all of
// them, seen or not) go to land_hooks.render_building.
int land_build_near(int ox, int oz, const float *h, PatchInstance *out, const LandCull &cull = LandCull());
// The far mesh: 256 x 256 vertices and the quads of the disc outside the near square that
// the cull keeps.
int land_build_far(int ox, int oz, const float *h, LandVertex *verts, uint16_t *indices,
                   const LandCull &cull = LandCull());
// The horizon vertices around camera cell (cx, cz) for camera position (px, pz).
void land_build_horizon(int cx, int cz, float px, float pz, const float *h, const float *w, LandVertex *verts);
// Water vertices of the window (high or low quality layout) and the quads of the disc;
// returns the quad count.
int land_build_water(const LandRenderState &s, bool hq, int ox, int oz, float t, const float *h, const float *w,
                     void *verts, uint16_t *indices, const LandCull &cull = LandCull());

// ---- world map (world_map.cpp) ----
void init_world_map(LandRenderState &s);
void close_world_map(LandRenderState &s);
// Redraws the map when its water changed or force is set (the land or colours changed).
void render_world_map(LandRenderState &s, bool force);
