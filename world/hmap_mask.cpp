#include "world/hmap_mask.h"
#include <cmath>
#include <cstring>
#include <memory>
#include "world/noise.h"

using Hm = HeightmapData;

float HmapMask::get(float x, float z) const
{
  int x0 = noise_floor(x), z0 = noise_floor(z);
  float fx = x - float(x0), fz = z - float(z0);
  float v00 = getraw(x0, z0), v10 = getraw(x0 + 1, z0);
  float v01 = getraw(x0, z0 + 1), v11 = getraw(x0 + 1, z0 + 1);
  float top = v00 + (v10 - v00) * fx;
  float bottom = v01 + (v11 - v01) * fx;
  return top + (bottom - top) * fz;
}

void HmapMask::calcMinMax(float &lo, float &hi) const
{
  lo = hi = v[0];
  for (int i = 1; i < HMAP_CELLS; i++)
  {
    if (!(v[i] > lo))
      lo = v[i];
    if (v[i] > hi)
      hi = v[i];
  }
}

void HmapMask::fromSlope()
{
  auto h = [](int x, int z) { return Hm::hmap[hmap_index(x, z)]; };
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float sx = (h(x - 1, z + 1) + 2.f * h(x - 1, z) + h(x - 1, z - 1)) -
                 (h(x + 1, z + 1) + 2.f * h(x + 1, z) + h(x + 1, z - 1));
      float sz = (h(x - 1, z - 1) + 2.f * h(x, z - 1) + h(x + 1, z - 1)) -
                 (h(x - 1, z + 1) + 2.f * h(x, z + 1) + h(x + 1, z + 1));
      v[hmap_index(x, z)] = 8.f / std::sqrt(sx * sx + 64.f + sz * sz);
    }
}

void HmapMask::fromSimplexNoise(float scale, float period, int octaves, const FloatRamp *ramp, float gain)
{
  const float step = period / 256.f;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      v[hmap_index(x, z)] = tiled_fractal_noise2(step * float(x), step * float(z), period, octaves, ramp, gain) * scale;
}

// The cellular generators add their values onto the heights; run on a zeroed grid,
// what they add is exactly the mask. The terrain is put back afterwards.
template <typename Gen>
static void capture_generator(float *out, Gen gen)
{
  std::unique_ptr<float[]> saved(new float[HMAP_CELLS]);
  memcpy(saved.get(), Hm::hmap, sizeof(Hm::hmap));
  memset(Hm::hmap, 0, sizeof(Hm::hmap));
  gen();
  memcpy(out, Hm::hmap, sizeof(Hm::hmap));
  memcpy(Hm::hmap, saved.get(), sizeof(Hm::hmap));
}

void HmapMask::fromVoronoiHills(int tile, float min_ht, float max_ht, float radius)
{
  capture_generator(v, [&] { Hm::addVoronoiHills(tile, min_ht, max_ht, radius); });
}

void HmapMask::fromVoronoiFaults(int tile, float min_ht, float max_ht, float warpAmp, int warpScale, int warpOctaves,
                                 float slope)
{
  capture_generator(v, [&] { Hm::genVoronoiFaults(tile, min_ht, max_ht, warpAmp, warpScale, warpOctaves, slope); });
}

// ---------------------------------------------------------------------------------------
// Recolouring

static uint32_t soil_bits(uint32_t bits)
{
  return (bits & ~0xFFu) | uint32_t(GT_SOIL); // house fields and marks stay
}

void recolor_by_height(const ColorRamp &ramp, const float *src)
{
  if (!src)
    src = Hm::hmap;
  float lo = src[0], hi = src[0];
  for (int i = 1; i < HMAP_CELLS; i++)
  {
    if (src[i] < lo)
      lo = src[i];
    if (src[i] > hi)
      hi = src[i];
  }
  // A flat source has no range: every cell takes the colour at t = 0.
  float inv = hi > lo ? 1.f / (hi - lo) : 0.f;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    Hm::Surface &s = Hm::surface[i];
    s.color = vec4f_to_color(ramp.at(inv * (src[i] - lo) * 256.f));
    s.top_color = 0u;
    s.bits = soil_bits(s.bits);
  }
}

void recolor_land4(vec4f c0, vec4f c1, vec4f c2, vec4f c3)
{
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    Hm::Surface &s = Hm::surface[i];
    vec4f w = color_to_vec4f(s.color);
    float sum = w.x + w.y + w.z + w.w;
    // A cell without any weight (colour 0) takes the first colour.
    vec4f c = c0;
    if (sum > 0.f)
      c = vec4f((c0.x * w.x + c1.x * w.y + c2.x * w.z + c3.x * w.w) / sum,
                (c0.y * w.x + c1.y * w.y + c2.y * w.z + c3.y * w.w) / sum,
                (c0.z * w.x + c1.z * w.y + c2.z * w.z + c3.z * w.w) / sum,
                (c0.w * w.x + c1.w * w.y + c2.w * w.z + c3.w * w.w) / sum);
    s.color = vec4f_to_color(c);
    s.top_color = 0u;
    s.bits = soil_bits(s.bits);
  }
}
