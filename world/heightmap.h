#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include "core/d3dcolor.h"
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "core/point2.h"
#include "core/vec4f.h"

struct ColorRamp;

// Grid geometry. The cell at column x, row z has index (z << 8) | x; every operation
// addressing a cell by coordinates wraps with x & 255, z & 255 (nothing clamps).
constexpr int HMAP_SIZE = 256;
constexpr int HMAP_SIZE_SHIFT = 8;
constexpr int HMAP_CELLS = HMAP_SIZE * HMAP_SIZE;
constexpr int HMAP_MASK = HMAP_SIZE - 1;

// Ground types (bits 0-3 of the surface word). GT_NONE means "leave unchanged" in the
// operations that take a ground type.
constexpr int GT_NONE = -1;
constexpr int GT_HOUSE = 0;
constexpr int GT_ROCK = 1;
constexpr int GT_SAND = 2;
constexpr int GT_SOIL = 3;

// Surface layer types (bits 4-7).
constexpr int ST_OPEN = 0;
constexpr int ST_NONE = 0;
constexpr int ST_GRASS = 1;
constexpr int ST_ASH = 2;
constexpr int ST_SNOW = 3;
constexpr int ST_ROAD = 4;

// Mark bits (bits 24-31).
constexpr unsigned MARK_OBJ = 1;
constexpr unsigned MARK_PLACE = 2;
constexpr unsigned MARK_HOUSE = 4;
constexpr unsigned MARK_WATER = 8;
constexpr unsigned MARK_PLACEMENT = 7; // any of these blocks placing

// Wrapped linear index of cell (x, z).
inline constexpr int hmap_index(int x, int z) { return ((z & HMAP_MASK) << HMAP_SIZE_SHIFT) | (x & HMAP_MASK); }

// An offset or coordinate moved to its nearest copy in the wrapping world: into
// (-128, 128] (f = x / 256, f - trunc(f), times 256, then one period off either end).
inline float wrap_coord(float x)
{
  float f = x / float(HMAP_SIZE);
  f = f - std::trunc(f);
  f = f * float(HMAP_SIZE);
  if (f > float(HMAP_SIZE / 2))
    return f - float(HMAP_SIZE);
  if (f <= -float(HMAP_SIZE / 2))
    return f + float(HMAP_SIZE);
  return f;
}

// The world: static grids shared with every generator, the simulation, the terrain
// renderer and the game-object module (which links against these symbols directly).
// There is exactly one world; everything here runs on the main thread without locks.
class ENGINE_API HeightmapData
{
public:
  // Water of one cell. vel_x sits on the face toward (x + 1, z), vel_z on the face
  // toward (x, z + 1); both in cells per second, positive toward +x / +z.
  struct Water
  {
    float depth; // water column above the ground; level = hmap + depth
    float vel_x;
    float vel_z;
    float foam; // 0..1
  };

  // Surface record of one cell: two colours and a packed word of bit fields.
  // Single fields are written by masked insertion so the other fields survive.
  struct Surface
  {
    D3dColor color;     // ground colour
    D3dColor top_color; // colour of the surface layer; 0 when there is none
    uint32_t bits;      // ground_type | surface_type | house_rot | house_tile | marks

    static constexpr int GROUND_TYPE_SHIFT = 0;
    static constexpr uint32_t GROUND_TYPE_MASK = 0xFu << GROUND_TYPE_SHIFT;
    static constexpr int SURFACE_TYPE_SHIFT = 4;
    static constexpr uint32_t SURFACE_TYPE_MASK = 0xFu << SURFACE_TYPE_SHIFT;
    static constexpr int HOUSE_ROT_SHIFT = 8;
    static constexpr uint32_t HOUSE_ROT_MASK = 0x7u << HOUSE_ROT_SHIFT;
    static constexpr int HOUSE_TILE_SHIFT = 11;
    static constexpr uint32_t HOUSE_TILE_MASK = 0x1FFFu << HOUSE_TILE_SHIFT;
    static constexpr int MARKS_SHIFT = 24;
    static constexpr uint32_t MARKS_MASK = 0xFFu << MARKS_SHIFT;

    // new = old ^ ((old ^ value) & mask)
    void insert(uint32_t value, uint32_t mask) { bits ^= (bits ^ value) & mask; }

    int ground_type() const { return int((bits & GROUND_TYPE_MASK) >> GROUND_TYPE_SHIFT); }
    int surface_type() const { return int((bits & SURFACE_TYPE_MASK) >> SURFACE_TYPE_SHIFT); }
    int house_rot() const { return int((bits & HOUSE_ROT_MASK) >> HOUSE_ROT_SHIFT); }
    int house_tile() const { return int((bits & HOUSE_TILE_MASK) >> HOUSE_TILE_SHIFT); }
    unsigned marks() const { return (bits & MARKS_MASK) >> MARKS_SHIFT; }

    void set_ground_type(int v) { insert(uint32_t(v) << GROUND_TYPE_SHIFT, GROUND_TYPE_MASK); }
    void set_surface_type(int v) { insert(uint32_t(v) << SURFACE_TYPE_SHIFT, SURFACE_TYPE_MASK); }
    void set_house_rot(int v) { insert(uint32_t(v) << HOUSE_ROT_SHIFT, HOUSE_ROT_MASK); }
    void set_house_tile(int v) { insert(uint32_t(v) << HOUSE_TILE_SHIFT, HOUSE_TILE_MASK); }
    void set_marks(unsigned v) { insert(uint32_t(v) << MARKS_SHIFT, MARKS_MASK); }
    // marks = (marks & ~clear) | set; only the low 8 bits of both masks count.
    void change_marks(unsigned set, unsigned clear) { set_marks((marks() & ~clear) | (set & 0xFFu)); }

    // The surface layer: top_color and surface_type always change together.
    void set_top(D3dColor top, int surfaceType)
    {
      top_color = top;
      set_surface_type(surfaceType);
    }
    void clear_top()
    {
      top_color = 0u;
      set_surface_type(ST_OPEN);
    }
  };

  // --- grids (64-byte aligned, element counts multiples of 4) ---
  alignas(64) static float hmap[HMAP_CELLS];        // current terrain height
  alignas(64) static float target_hmap[HMAP_CELLS]; // height each cell morphs toward
  alignas(64) static Water water[HMAP_SIZE][HMAP_SIZE];
  // Water state at the start of the latest simWater (the previous step). Only simWater
  // and finishGeneration write it; the water renderer interpolates from it between steps.
  alignas(64) static Water tmpw[HMAP_SIZE][HMAP_SIZE];
  alignas(64) static Surface surface[HMAP_CELLS];

  // --- data model ---
  // Heights 0, surfaces grey rock without layer or marks, water all zero.
  // tmpw and depth_snapshot are left alone.
  static void reset();
  // A freshly generated world is at rest: target_hmap = hmap (nothing morphs) and
  // tmpw = water (nothing moves between the steps).
  static void finishGeneration();
  static void calcHtRange(float &lo, float &hi);
  // Shifts hmap so its range is symmetric about 0; returns the half-range.
  static float recenterHt();

  static float &height(int x, int z) { return hmap[hmap_index(x, z)]; }
  static Surface &surf(int x, int z) { return surface[hmap_index(x, z)]; }
  static Water &waterAt(int x, int z) { return water[z & HMAP_MASK][x & HMAP_MASK]; }

  // --- noise-based generators (hm_gen.cpp); each adds onto hmap ---
  static void makeFastNoise(float *out, float amplitude, float gain);
  static void addFastNoise(float min_ht, float max_ht, ColorRamp *ramp, int groundType, int alpha, float gain);
  static void addSimplexNoise(float min_ht, float max_ht, int tile, int octaves, float gain);
  static void addVoronoiHills(int tile, float min_ht, float max_ht, float radius);
  static void genVoronoiFaults(int tile, float min_ht, float max_ht, float warpAmp, int warpScale, int warpOctaves,
                               float slope);

  // --- droplet erosion (erosion.cpp) ---
  struct ErosionReaction
  {
    vec4f rate;   // speed * (to - from), per channel r, g, b, a
    int order[4]; // from rounded to nearest, per channel
  };
  struct ErosionParams
  {
    float Kq = 10.f;   // sediment capacity factor
    float Kw = 0.001f; // evaporation per step
    float Kr = 0.9f;   // erosion rate
    float Kd = 0.02f;  // deposition rate
    float Ki = 0.1f;   // inertia
    float minSlope = 0.05f;
    float g = 20.f;
    float depositBlend = 2.f;
    float reactionTime = 100.f; // <= 0 switches the colour reactions off
    DynArray<ErosionReaction> reactions;
  };
  static void genDropletErosion(unsigned count, ErosionParams &params);

  // --- water (water.cpp) ---
  static void simWater(float dt);
  static void addWater(float amount);
  // Highest land (or land + water) surface over the square around pos, minus pos.y.
  static vec4f calcSquareDepth(vec4f pos, float halfSize, bool withWater);

  // --- morphing (morph.cpp) ---
  static void updateHmap(float dt);
  static void morphHmap(float dt, float *out);

  // --- features placed at a point (fault_crater.cpp, house.cpp); they work on hm ---
  static void genFault(Point2 pos, Point2 normal, float height, float bias, float wiggle, ColorRamp *ramp,
                       int groundType, int alpha, float *hm);
  static void genCrater(Point2 centre, float radius, float depth, float *hm);
  static void placeHouse(int x, int z, int type, float *hm, bool subtractHouse);

private:
  // Scratch of simWater: the depths at the start of its transport pass.
  alignas(64) static float depth_snapshot[HMAP_CELLS];
};

static_assert(sizeof(HeightmapData::Water) == 16);
// The grids are aligned and gapless for loops over four cells at a time.
static_assert(__alignof__(HeightmapData::hmap) >= 16 && __alignof__(HeightmapData::target_hmap) >= 16 &&
              __alignof__(HeightmapData::water) >= 16 && __alignof__(HeightmapData::tmpw) >= 16 &&
              __alignof__(HeightmapData::surface) >= 16);
static_assert(sizeof(HeightmapData::water) == sizeof(HeightmapData::Water) * HMAP_CELLS && HMAP_CELLS % 4 == 0);
static_assert(sizeof(HeightmapData::Surface) == 12);
static_assert(offsetof(HeightmapData::Surface, top_color) == 4);
static_assert(offsetof(HeightmapData::Surface, bits) == 8);
static_assert(sizeof(HeightmapData::ErosionReaction) == 32);

// Marks on rectangles and discs (marks.cpp). Rectangles are inclusive; only the low
// 8 bits of the masks count. Setting: marks = (marks & ~clear) | set. A cell passes a
// test when (marks & mask) == value.
ENGINE_API void mark_rect(int x0, int z0, int x1, int z1, unsigned set, unsigned clear);
ENGINE_API void mark_circle(float cx, float cz, float r, unsigned set, unsigned clear);
ENGINE_API bool test_rect_mark(int x0, int z0, int x1, int z1, unsigned mask, unsigned value);
ENGINE_API bool test_circle_mark(float cx, float cz, float r, unsigned mask, unsigned value);
// For every cell deeper than level (or with a NaN depth): marks = (marks & ~clear) | set.
ENGINE_API void mark_water(float level, unsigned set, unsigned clear);
// How many of the 256 tiles of 16 x 16 cells the latest simWater found at rest and left
// alone (for tests and benchmarks).
ENGINE_API int water_tiles_at_rest();

// Moves the cell colour toward a ramp colour: K is clamped and packed with its alpha
// byte replaced by alpha; the cell colour then moves toward it by K.w (unclamped).
ENGINE_API void blend_ramp_color(HeightmapData::Surface &s, vec4f K, int alpha);
