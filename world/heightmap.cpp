#include "world/heightmap.h"
#include <cstring>

alignas(64) float HeightmapData::hmap[HMAP_CELLS];
alignas(64) float HeightmapData::target_hmap[HMAP_CELLS];
alignas(64) HeightmapData::Water HeightmapData::water[HMAP_SIZE][HMAP_SIZE];
alignas(64) HeightmapData::Water HeightmapData::tmpw[HMAP_SIZE][HMAP_SIZE];
alignas(64) HeightmapData::Surface HeightmapData::surface[HMAP_CELLS];
alignas(64) float HeightmapData::depth_snapshot[HMAP_CELLS];

void HeightmapData::reset()
{
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    hmap[i] = 0.f;
    target_hmap[i] = 0.f;
    Surface &s = surface[i];
    s.color = 0xFF808080u;
    s.top_color = 0u;
    s.bits = uint32_t(GT_ROCK) << Surface::GROUND_TYPE_SHIFT; // no layer, no marks, no house fields
  }
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      water[z][x] = Water{0.f, 0.f, 0.f, 0.f};
}

void HeightmapData::finishGeneration()
{
  memcpy(target_hmap, hmap, sizeof(hmap));
  memcpy(tmpw, water, sizeof(water));
}

void HeightmapData::calcHtRange(float &lo, float &hi)
{
  float mn = hmap[0], mx = hmap[0];
  for (int i = 1; i < HMAP_CELLS; i++)
  {
    float v = hmap[i];
    if (v < mn)
      mn = v;
    if (v > mx)
      mx = v;
  }
  lo = mn;
  hi = mx;
}

float HeightmapData::recenterHt()
{
  float lo, hi;
  calcHtRange(lo, hi);
  float shift = -(lo + hi) / 2.f;
  for (int i = 0; i < HMAP_CELLS; i++)
    hmap[i] += shift;
  return (hi - lo) / 2.f;
}
