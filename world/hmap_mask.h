#pragma once
// HmapMask: a world-sized grid of floats built from noise, the terrain, the water or a
// function, and then applied to the world (the world script's "HmapMask" class,
// script/sq_hmap_mask.h). Values are in the grid's cell order, (x, z) at
// hmap_index(x, z). A mask never changes after it has been built.
#include "core/engine_api.h"
#include "core/ramp.h"
#include "world/heightmap.h"

struct HmapMask
{
  float v[HMAP_CELLS];

  HmapMask() : v() {} // zero-filled
  float getraw(int x, int z) const { return v[hmap_index(x, z)]; }
  // Bilinear, wrapping at the edges.
  float get(float x, float z) const;
  void calcMinMax(float &lo, float &hi) const;

  void fromSlope(); // 1 on flat ground, toward 0 on steep slopes
  void fromSimplexNoise(float scale, float period, int octaves, const FloatRamp *ramp, float gain);
  void fromVoronoiHills(int tile, float min_ht, float max_ht, float radius); // tile: power of two
  void fromVoronoiFaults(int tile, float min_ht, float max_ht, float warpAmp, int warpScale, int warpOctaves,
                         float slope);
};

// Colours every cell from the ramp by the normalised value of src (65536 values; the
// heights when null); the cells become soil without a surface layer.
ENGINE_API void recolor_by_height(const ColorRamp &ramp, const float *src);
// Blends four colours by each cell's colour channels (r, g, b, a) as weights.
ENGINE_API void recolor_land4(vec4f c0, vec4f c1, vec4f c2, vec4f c3);
