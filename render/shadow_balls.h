#pragma once
// Soft object shadows from spheres ("shadow balls"). Between start_render_shadows and
// end_render_shadows the game-object module hands in spheres; each is binned into a grid
// of 16 x 9 screen tiles, eight to a chunk, and end_render_shadows draws every tile's
// spheres into the current target (the quarter-size shadow mask: white = lit), eight at
// a time where it can, with "dr_shadow.sh".
//
// The passes read VC_SHADOW_TILE, VC_SHADOW_LIGHT and PC_CAMERA_POS, which
// end_render_shadows sets, and what the deferred pipeline left for the quarter-size passes
// (bin/registers.inc).
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "core/matrix44.h"
#include "core/vec4f.h"

constexpr int SHADOW_TILE_COLS = 16;
constexpr int SHADOW_TILE_ROWS = 9;
constexpr int SHADOW_TILE_COUNT = SHADOW_TILE_COLS * SHADOW_TILE_ROWS;
constexpr int SHADOW_CHUNK_VECS = 8;
// Spheres this far from the camera (horizontally) or farther are dropped.
constexpr float SHADOW_MAX_DIST = 112.f;

// Chunk indices (-1: none). lastCount is 1..8 once the tile has a chunk; fullChunks
// counts the chunks before the last one.
struct ShadowTile
{
  int first, last;
  int fullChunks;
  int lastCount;
};
struct ShadowChunk
{
  vec4f v[SHADOW_CHUNK_VECS]; // (x, y, z, radius) as handed in
};
static_assert(sizeof(ShadowChunk) == 128, "a chunk is one NUMVEC 8 instance's vectors");

// What the spheres are binned against: view x projection, the clip-space extent of a unit
// sphere per clip axis (sum of |rows 0..2| of globTm), the camera position and the unit
// vector towards the light.
struct ShadowView
{
  Matrix44 globTm;
  vec4f globRk;
  vec4f camPos;
  vec4f light;
};
// From the device's view and projection and the sky's drawn light vector (a sun below
// the horizon lights from its mirror image above it, as the lit shaders do).
ENGINE_API ShadowView shadow_view_from_device();

struct ShadowBins
{
  ShadowTile tiles[SHADOW_TILE_COUNT];
  DynArray<ShadowChunk> chunks;
  DynArray<int> links; // the chunk after each chunk of the same tile, -1 at the end

  ShadowBins() { reset(); }
  void reset();
  void add(int tile, vec4f sphere);
};

// Bins the sphere (it is tested moved 3 radii away from the light with 5 times the
// radius, so that the volume covers its shadow); false when it was dropped.
ENGINE_API bool bin_shadow_ball(ShadowBins &bins, const ShadowView &view, vec4f center, float radius);

// Calls f(column, row, vectors) for every instance of the pass with numvec (8, 4, 2 or 1)
// vectors, in drawing order: rows 0..8, columns 0..15. The 8-pass takes every full chunk
// and a last chunk of exactly 8; the others split the remaining 1..7 as 4 + 2 + 1.
template <class F>
void for_each_shadow_instance(const ShadowBins &b, int numvec, F &&f)
{
  for (int row = 0; row < SHADOW_TILE_ROWS; row++)
    for (int col = 0; col < SHADOW_TILE_COLS; col++)
    {
      const ShadowTile &t = b.tiles[row * SHADOW_TILE_COLS + col];
      if (t.first < 0)
        continue;
      if (numvec == SHADOW_CHUNK_VECS)
      {
        for (int c = t.first; c >= 0; c = b.links[c])
        {
          if (c == t.last && t.lastCount != SHADOW_CHUNK_VECS)
            break;
          f(col, row, b.chunks[c].v);
        }
      }
      else if (t.lastCount & numvec)
        f(col, row, b.chunks[t.last].v + (t.lastCount & ~(2 * numvec - 1) & 7));
    }
}

// The frame's bracket; the deferred pipeline calls it with the shadow mask as target.
ENGINE_API void start_render_shadows();
ENGINE_API void render_shadow_ball(vec4f center, float radius);
ENGINE_API void end_render_shadows();
// Inside the debug-drawing bracket: a black cross (size r) at each sphere of the frame and
// a green one (size 5 r) where it was binned.
ENGINE_API void render_shadows_debug();

// High quality only: declarations, the corner and index buffers and the four passes'
// shaders. close_shadows is safe when init_shadows never ran.
ENGINE_API void init_shadows();
ENGINE_API void close_shadows();

// The current frame's bins and spheres (tests, statistics).
ENGINE_API const ShadowBins &shadow_frame_bins();
ENGINE_API const DynArray<vec4f> &shadow_frame_balls();
