#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>
#include "core/ramp.h"
#include "world/heightmap.h"
#include "world/noise.h"
#include "world/world_rnd.h"

using HD = HeightmapData;

namespace
{
uint64_t advance(uint64_t s, int draws)
{
  while (draws-- > 0)
    world_rnd_next(s);
  return s;
}

uint64_t grid_hash(const void *p, size_t n)
{
  uint64_t h = 1469598103934665603ULL;
  for (size_t i = 0; i < n; i++)
    h = (h ^ static_cast<const uint8_t *>(p)[i]) * 1099511628211ULL;
  return h;
}

uint64_t world_hash()
{
  return grid_hash(HD::hmap, sizeof(HD::hmap)) ^ (grid_hash(HD::surface, sizeof(HD::surface)) * 31);
}

// The subdivision written the plain way: every level reads a full copy of the previous one.
void ref_fast_noise(float *out, float amplitude, float gain)
{
  std::vector<float> prev(HMAP_CELLS);
  out[hmap_index(0, 0)] = out[hmap_index(128, 0)] = out[hmap_index(0, 128)] = out[hmap_index(128, 128)] = -0.5f;
  uint64_t st = game_rnd_seed;
  for (int d = 128; d >= 2; d /= 2)
  {
    std::memcpy(prev.data(), out, HMAP_CELLS * sizeof(float));
    int e = d / 2;
    for (int r = 0; r < 256; r += d)
      for (int o = 0; o < 256; o += d)
      {
        float P = prev[hmap_index(o, r)], Q = prev[hmap_index(o + d, r)];
        float R = prev[hmap_index(o, r + d)], S = prev[hmap_index(o + d, r + d)];
        out[hmap_index(o, r)] = (9.f * P + 3.f * Q + 3.f * R + S) / 16.f + world_rnd_unit(st) * amplitude;
        out[hmap_index(o + e, r)] = (9.f * Q + 3.f * P + 3.f * S + R) / 16.f + world_rnd_unit(st) * amplitude;
        out[hmap_index(o, r + e)] = (9.f * R + 3.f * P + 3.f * S + Q) / 16.f + world_rnd_unit(st) * amplitude;
        out[hmap_index(o + e, r + e)] = (9.f * S + 3.f * Q + 3.f * R + P) / 16.f + world_rnd_unit(st) * amplitude;
      }
    amplitude *= gain;
  }
  game_rnd_seed = st;
}

constexpr int FAST_NOISE_DRAWS = 4 * (4 + 16 + 64 + 256 + 1024 + 4096 + 16384);
} // namespace

TEST(Generators, FastNoiseSubdividesFromThePreviousLevel)
{
  std::vector<float> a(HMAP_CELLS, 0.f), b(HMAP_CELLS, 0.f);
  game_rnd_seed = 77;
  HD::makeFastNoise(a.data(), 0.f, 0.5f);
  for (float v : a)
    ASSERT_EQ(v, -0.5f);
  EXPECT_EQ(game_rnd_seed, advance(77, FAST_NOISE_DRAWS));

  game_rnd_seed = 1234;
  HD::makeFastNoise(a.data(), 1.f, 0.6f);
  uint64_t after = game_rnd_seed;
  game_rnd_seed = 1234;
  ref_fast_noise(b.data(), 1.f, 0.6f);
  EXPECT_EQ(game_rnd_seed, after);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(a[i], b[i]) << "cell " << (i & 255) << "," << (i >> 8);
}

TEST(Generators, FastNoiseOnlyChangesHeightsUnlessAskedTo)
{
  HD::reset();
  HD::surface[5].set_marks(MARK_OBJ);
  game_rnd_seed = 5;
  HD::addFastNoise(2.f, 6.f, nullptr, GT_NONE, 255, 0.5f);
  std::vector<float> grid(HMAP_CELLS, 0.f);
  game_rnd_seed = 5;
  HD::makeFastNoise(grid.data(), 1.f, 0.5f);
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_EQ(HD::hmap[i], grid[i] * 4.f + 2.f);
    ASSERT_EQ(HD::surface[i].color.u, 0xFF808080u);
    ASSERT_EQ(HD::surface[i].ground_type(), GT_ROCK);
  }
  EXPECT_EQ(HD::surface[5].marks(), MARK_OBJ);

  // A fully opaque red ramp paints red with the given alpha; half weight goes halfway.
  ColorRamp red(vec4f(1.f, 0.f, 0.f, 1.f), vec4f(1.f, 0.f, 0.f, 1.f), vec4f(1.f, 0.f, 0.f, 1.f), 0.f, 0.f);
  HD::addFastNoise(0.f, 0.f, &red, GT_SAND, 0x40, 0.5f);
  for (int i = 0; i < HMAP_CELLS; i += 97)
  {
    ASSERT_EQ(HD::surface[i].color.u, 0x40FF0000u);
    ASSERT_EQ(HD::surface[i].ground_type(), GT_SAND);
  }
  EXPECT_EQ(HD::surface[5].marks(), MARK_OBJ);

  HD::reset();
  ColorRamp half(vec4f(1.f, 1.f, 1.f, 0.5f), vec4f(1.f, 1.f, 1.f, 0.5f), vec4f(1.f, 1.f, 1.f, 0.5f), 0.f, 0.f);
  HD::addFastNoise(0.f, 1.f, &half, GT_NONE, 255, 0.5f);
  EXPECT_EQ(HD::surface[300].color.u, 0xFFC0C0C0u); // 128 + (255 - 128) / 2, rounded
}

TEST(Generators, SimplexNoiseAddsItsRange)
{
  HD::reset();
  HD::hmap[9] = 1.f;
  HD::addSimplexNoise(3.f, 3.f, 4, 3, 0.5f);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(HD::hmap[i], i == 9 ? 4.f : 3.f);

  HD::reset();
  game_rnd_seed = 3;
  reseed_noise();
  uint64_t seed = game_rnd_seed;
  HD::addSimplexNoise(0.f, 10.f, 2, 4, 0.5f);
  EXPECT_EQ(game_rnd_seed, seed); // draws nothing
  float lo, hi;
  HD::calcHtRange(lo, hi);
  EXPECT_EQ(lo >= 0.f, true); // clamped below at min_ht
  EXPECT_GT(hi, 5.f);
  // The noise tiles across the map edge: neighbours over the seam differ as little as
  // neighbours inside the map.
  float seam = 0.f, inner = 0.f;
  for (int z = 0; z < 256; z++)
  {
    seam = std::max(seam, std::fabs(HD::height(255, z) - HD::height(0, z)));
    inner = std::max(inner, std::fabs(HD::height(128, z) - HD::height(127, z)));
  }
  EXPECT_LT(seam, 3.f * inner + 0.01f);
}

TEST(Generators, VoronoiHills)
{
  HD::reset();
  game_rnd_seed = 11;
  reseed_noise();
  uint64_t seed = game_rnd_seed;
  HD::addVoronoiHills(8, 1.f, 5.f, 0.f);
  EXPECT_EQ(game_rnd_seed, advance(seed, 256));
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(HD::hmap[i], 0.f);

  HD::addVoronoiHills(8, 1.f, 5.f, 0.7f);
  float lo, hi;
  HD::calcHtRange(lo, hi);
  EXPECT_EQ(lo, 0.f); // cells outside every hill stay flat
  EXPECT_GT(hi, 1.f);
  EXPECT_LE(hi, 5.f);
  // The hills continue across the map edge.
  float seam = 0.f, inner = 0.f;
  for (int z = 0; z < 256; z++)
  {
    seam = std::max(seam, std::fabs(HD::height(255, z) - HD::height(0, z)));
    inner = std::max(inner, std::fabs(HD::height(128, z) - HD::height(127, z)));
  }
  EXPECT_LT(seam, 2.f * inner + 0.01f);
}

TEST(Generators, VoronoiFaults)
{
  HD::reset();
  game_rnd_seed = 21;
  reseed_noise();
  uint64_t seed = game_rnd_seed;
  HD::genVoronoiFaults(4, 2.5f, 2.5f, 1.f, 2, 3, 4.f);
  EXPECT_EQ(game_rnd_seed, advance(seed, 256));
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(HD::hmap[i], 2.5f);

  HD::reset();
  seed = game_rnd_seed;
  HD::genVoronoiFaults(4, 0.f, 10.f, 0.f, 1, 1, 2.f);
  float lo, hi;
  HD::calcHtRange(lo, hi);
  EXPECT_GE(lo, 0.f);
  EXPECT_LE(hi, 10.f);
  // Without warping the plates are flat: most cells sit exactly on a plate height.
  game_rnd_seed = seed;
  float H[256];
  for (float &h : H)
    h = 10.f * game_rnd_unit();
  int onPlate = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
    onPlate += std::find(H, H + 256, HD::hmap[i]) != H + 256;
  EXPECT_GT(onPlate, HMAP_CELLS / 2);
}

TEST(Generators, SameSeedSameIsland)
{
  auto build = [] {
    HD::reset();
    game_rnd_seed = 0xC0FFEEULL;
    reseed_noise();
    HD::addFastNoise(0.f, 8.f, nullptr, GT_SOIL, 255, 0.55f);
    HD::addSimplexNoise(0.f, 12.f, 2, 3, 0.5f);
    HD::addVoronoiHills(4, 0.f, 6.f, 0.9f);
    HD::genVoronoiFaults(8, -2.f, 4.f, 0.5f, 1, 2, 3.f);
    return world_hash();
  };
  uint64_t a = build();
  uint64_t seedA = game_rnd_seed;
  EXPECT_EQ(build(), a);
  EXPECT_EQ(game_rnd_seed, seedA);
}

namespace
{
void headless() { setenv("SDL_VIDEODRIVER", "offscreen", 1); }
} // namespace

TEST(GeneratorsDeathTest, ArgumentChecksNameTheirSource)
{
  EXPECT_EXIT((headless(), HD::addFastNoise(2.f, 1.f, nullptr, -1, 255, 0.5f)), ::testing::ExitedWithCode(100),
              "hmGen\\([0-9]+\\): failed ASSERT\\(min_ht<=max_ht\\)");
  EXPECT_EXIT((headless(), HD::addFastNoise(-1.f, 1.f, nullptr, -1, 255, 0.5f)), ::testing::ExitedWithCode(100),
              "hmGen\\([0-9]+\\): failed ASSERT\\(min_ht>=0\\)");
  EXPECT_EXIT((headless(), HD::addSimplexNoise(0.f, 1.f, 3, 1, 0.5f)), ::testing::ExitedWithCode(100),
              "hmGen\\([0-9]+\\): failed ASSERT\\(\\(tile&\\(tile-1\\)\\)==0 && tile>0\\)");
  EXPECT_EXIT((headless(), HD::addVoronoiHills(0, 0.f, 1.f, 1.f)), ::testing::ExitedWithCode(100),
              "hmGen\\([0-9]+\\): failed ASSERT\\(\\(tile&\\(tile-1\\)\\)==0 && tile>0\\)");
  EXPECT_EXIT((headless(), HD::genVoronoiFaults(-4, 0.f, 1.f, 0.f, 1, 1, 1.f)), ::testing::ExitedWithCode(100),
              "hmGen\\([0-9]+\\): failed ASSERT\\(\\(tile&\\(tile-1\\)\\)==0 && tile>0\\)");
}

// The generators tabulate the torus axes; the per-cell sums of the plain functions must
// give the same bits.
TEST(Generators, TabledNoiseSumsMatchThePlainFunctions)
{
  game_rnd_seed = 99;
  reseed_noise();
  HD::reset();
  HD::addSimplexNoise(1.f, 9.f, 4, 5, 0.45f);
  for (int z = 0; z < 256; z += 3)
    for (int x = 0; x < 256; x += 5)
    {
      float m = tiled_fractal_noise2(0.015625f * float(x), 0.015625f * float(z), 4.f, 5, nullptr, 0.45f);
      ASSERT_EQ(HD::height(x, z), std::fmax(m * 0.286f + 0.5f, 0.f) * 8.f + 1.f) << x << "," << z;
    }

  HD::reset();
  uint64_t seed = game_rnd_seed;
  HD::genVoronoiFaults(8, 0.f, 6.f, 0.7f, 2, 3, 2.f);
  game_rnd_seed = seed;
  float H[256];
  for (float &h : H)
    h = 0.f + (6.f - 0.f) * game_rnd_unit();
  auto hash = [](int id) { return noise_perm[noise_perm[(id >> 16) & 255] + (id & 255)]; };
  float s = 8.f / 256.f, q = 16.f / 256.f;
  for (int z = 0; z < 256; z += 3)
    for (int x = 0; x < 256; x += 5)
    {
      float wx = tiled_fractal_noise2(float(x) * q, float(z) * q, 16.f, 3, nullptr, 0.5f);
      float wz = tiled_fractal_noise2(float(z) * q, float(x) * q, 16.f, 3, nullptr, 0.5f);
      float d[4];
      int id[4];
      tiled_voronoi_noise2_near4(float(x) * s + wx * 0.7f, float(z) * s + wz * 0.7f, 3, d, id, nullptr);
      float E = H[hash(id[0])], I = H[hash(id[1])];
      float F = (std::sqrt(d[1]) - std::sqrt(d[0])) * (2.f / s) / std::fmax(std::fabs(E - I), 0.1f);
      ASSERT_EQ(HD::height(x, z), F > 1.f ? E : ((E - I) * F + E + I) / 2.f) << x << "," << z;
    }
}
