#include <cmath>
#include <cstring>
#include "core/log.h"
#include "core/mem.h"
#include "core/ramp.h"
#include "world/heightmap.h"
#include "world/noise.h"
#include "world/world_rnd.h"

// Argument checks of the generators name their source "hmGen" rather than the file.
#define HMGEN_ASSERT(cond)                                          \
  do                                                                \
  {                                                                 \
    if (__builtin_expect(!(cond), 0))                               \
      fatal("%s(%d): failed ASSERT(%s)", "hmGen", __LINE__, #cond); \
  } while (0)

void blend_ramp_color(HeightmapData::Surface &s, vec4f K, int alpha)
{
  D3dColor packed = (vec4f_to_color(K).u & 0x00FFFFFFu) | (uint32_t(alpha & 255) << 24);
  vec4f target = color_to_vec4f(packed);
  vec4f old = color_to_vec4f(s.color);
  s.color = vec4f_to_color(old + (target - old) * K.w);
}

namespace
{
int tile_shift(int tile)
{
  int shift = 0;
  while ((1 << shift) < tile)
    shift++;
  return shift;
}

// Height of a voronoi cell id: one of the 256 drawn heights, by a hash of the id.
inline float cell_height(const float *H, int id) { return H[noise_perm[noise_perm[(id >> 16) & 255] + (id & 255)]]; }

// tiled_fractal_noise2 without ramp over the 256 x 256 lattice of coordinates c * scale,
// with the torus axes tabulated per octave for the 256 columns and rows: every cell then
// costs one noise4 per octave instead of four sines and cosines more. Same operations in
// the same order as the plain sum, so the same bits.
struct FractalTorus
{
  static constexpr int MAX_OCTAVES = 16;
  int octaves;
  float gain;
  float rc[MAX_OCTAVES][HMAP_SIZE], rs[MAX_OCTAVES][HMAP_SIZE];

  // Returns false when there are too many octaves for the tables.
  bool build(float scale, float period, int n, float g)
  {
    octaves = n < 1 ? 1 : n;
    gain = g;
    if (octaves > MAX_OCTAVES)
      return false;
    for (int c = 0; c < HMAP_SIZE; c++)
    {
      float v = scale * float(c), p = period;
      for (int k = 0; k < octaves; k++)
      {
        torus_axis(v, p, rc[k][c], rs[k][c]);
        v = 2.f * v + 0.5f;
        p = 2.f * p;
      }
    }
    return true;
  }

  float sum(int x, int y) const
  {
    float m = noise4(rc[0][x], rc[0][y], rs[0][x], rs[0][y]);
    float amplitude = gain;
    for (int k = 1; k < octaves; k++)
    {
      m += amplitude * noise4(rc[k][x], rc[k][y], rs[k][x], rs[k][y]);
      amplitude *= gain;
    }
    return m;
  }
};

void draw_heights(float *H, float min_ht, float max_ht)
{
  WorldRnd rnd;
  for (int k = 0; k < 256; k++)
    H[k] = min_ht + (max_ht - min_ht) * rnd.unit();
}
} // namespace

void HeightmapData::makeFastNoise(float *out, float amplitude, float gain)
{
  out[hmap_index(0, 0)] = -0.5f;
  out[hmap_index(128, 0)] = -0.5f;
  out[hmap_index(0, 128)] = -0.5f;
  out[hmap_index(128, 128)] = -0.5f;

  // The blocks at the right and bottom edges read row 0 and column 0 as they were before
  // the level, but the first blocks of the level overwrite them: keep copies.
  float row0[128], col0[128];
  WorldRnd rnd;
  for (int d = 128; d >= 2; d >>= 1)
  {
    int e = d >> 1, n = HMAP_SIZE / d;
    for (int k = 0; k < n; k++)
    {
      row0[k] = out[k * d];
      col0[k] = out[(k * d) << HMAP_SIZE_SHIFT];
    }
    for (int r = 0; r < HMAP_SIZE; r += d)
    {
      bool lastRow = r + d == HMAP_SIZE;
      float *rowP = out + (r << HMAP_SIZE_SHIFT);
      float *rowR = out + (((r + d) & HMAP_MASK) << HMAP_SIZE_SHIFT);
      for (int o = 0; o < HMAP_SIZE; o += d)
      {
        bool lastCol = o + d == HMAP_SIZE;
        float P = rowP[o];
        float Q = lastCol ? col0[r / d] : rowP[o + d];
        float R = lastRow ? row0[o / d] : rowR[o];
        float S = lastRow ? row0[lastCol ? 0 : (o + d) / d] : (lastCol ? col0[(r + d) / d] : rowR[o + d]);
        float *rowE = out + ((r + e) << HMAP_SIZE_SHIFT);
        rowP[o] = (9.f * P + 3.f * Q + 3.f * R + S) / 16.f + rnd.unit() * amplitude;
        rowP[o + e] = (9.f * Q + 3.f * P + 3.f * S + R) / 16.f + rnd.unit() * amplitude;
        rowE[o] = (9.f * R + 3.f * P + 3.f * S + Q) / 16.f + rnd.unit() * amplitude;
        rowE[o + e] = (9.f * S + 3.f * Q + 3.f * R + P) / 16.f + rnd.unit() * amplitude;
      }
    }
    amplitude *= gain;
  }
}

void HeightmapData::addFastNoise(float min_ht, float max_ht, ColorRamp *ramp, int groundType, int alpha, float gain)
{
  HMGEN_ASSERT(min_ht<=max_ht);
  HMGEN_ASSERT(min_ht>=0);
  float *grid = (float *)dlmalloc(HMAP_CELLS * sizeof(float));
  if (!grid)
    fatal("out of memory for the fast-noise grid");
  memset(grid, 0, HMAP_CELLS * sizeof(float));
  makeFastNoise(grid, 1.f, gain);
  float range = max_ht - min_ht;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    float v = grid[i];
    if (ramp)
      blend_ramp_color(surface[i], ramp->get(v), alpha);
    if (groundType != GT_NONE)
      surface[i].set_ground_type(groundType);
    hmap[i] += v * range + min_ht;
  }
  dlfree(grid);
}

void HeightmapData::addSimplexNoise(float min_ht, float max_ht, int tile, int octaves, float gain)
{
  HMGEN_ASSERT(min_ht<=max_ht);
  HMGEN_ASSERT(min_ht>=0);
  HMGEN_ASSERT((tile&(tile-1))==0 && tile>0);
  float p = float(tile);
  float scale = p / 256.f;
  float range = max_ht - min_ht;
  static FractalTorus torus; // 32 KB of tables: kept off the stack
  bool tabled = torus.build(scale, p, octaves, gain);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float m =
        tabled ? torus.sum(x, z) : tiled_fractal_noise2(scale * float(x), scale * float(z), p, octaves, nullptr, gain);
      float o = m * 0.286f + 0.5f;
      hmap[(z << HMAP_SIZE_SHIFT) | x] += std::fmax(o, 0.f) * range + min_ht;
    }
}

void HeightmapData::addVoronoiHills(int tile, float min_ht, float max_ht, float radius)
{
  HMGEN_ASSERT((tile&(tile-1))==0 && tile>0);
  int shift = tile_shift(tile);
  float H[256];
  draw_heights(H, min_ht, max_ht);
  float scale = float(tile) / 256.f;
  float r2 = radius * radius;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      Point2 ofs[9];
      int ids[9];
      tiled_voronoi_noise2_all9(float(x) * scale, float(z) * scale, shift, ofs, ids);
      bool any = false;
      float best = 0.f;
      for (int k = 0; k < 9; k++)
      {
        float w = 1.f - (ofs[k].x * ofs[k].x + ofs[k].z * ofs[k].z) / r2;
        if (w > 0.f)
        {
          float v = cell_height(H, ids[k]) * w;
          if (!any || v > best)
            best = v;
          any = true;
        }
      }
      hmap[(z << HMAP_SIZE_SHIFT) | x] += best;
    }
}

void HeightmapData::genVoronoiFaults(int tile, float min_ht, float max_ht, float warpAmp, int warpScale,
                                     int warpOctaves, float slope)
{
  HMGEN_ASSERT((tile&(tile-1))==0 && tile>0);
  int shift = tile_shift(tile);
  float H[256];
  draw_heights(H, min_ht, max_ht);
  float s = float(tile) / 256.f;
  float P = float(int64_t(tile) * warpScale); // no int overflow for any script arguments
  float q = P / 256.f;
  float steep = slope / s;
  static FractalTorus torus;
  bool tabled = torus.build(q, P, warpOctaves, 0.5f);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float fx = float(x), fz = float(z);
      float wx, wz;
      if (tabled)
      {
        wx = torus.sum(x, z);
        wz = torus.sum(z, x);
      }
      else
      {
        wx = tiled_fractal_noise2(fx * q, fz * q, P, warpOctaves, nullptr, 0.5f);
        wz = tiled_fractal_noise2(fz * q, fx * q, P, warpOctaves, nullptr, 0.5f);
      }
      float dist[4];
      int ids[4];
      tiled_voronoi_noise2_near4(fx * s + wx * warpAmp, fz * s + wz * warpAmp, shift, dist, ids, nullptr);
      float E = cell_height(H, ids[0]);
      float I = cell_height(H, ids[1]);
      float F = (std::sqrt(dist[1]) - std::sqrt(dist[0])) * steep / std::fmax(std::fabs(E - I), 0.1f);
      hmap[(z << HMAP_SIZE_SHIFT) | x] += F > 1.f ? E : ((E - I) * F + E + I) / 2.f;
    }
}
