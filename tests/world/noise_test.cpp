#include <algorithm>
#include <cfloat>
#include <cmath>
#include <gtest/gtest.h>
#include "core/ramp.h"
#include "world/noise.h"
#include "world/world_rnd.h"

namespace
{
// Independent 4D simplex in double: floors by std::floor, corner order by sorting the
// offsets instead of the traversal table, gradients generated rather than tabled.
double ref_noise4(double x, double y, double z, double w)
{
  const double F4 = 0.309017, G4 = 0.1381966;
  double in[4] = {x, y, z, w};
  double s = (x + y + z + w) * F4;
  int c[4];
  for (int a = 0; a < 4; a++)
    c[a] = int(std::floor(in[a] + s));
  double t = (c[0] + c[1] + c[2] + c[3]) * G4;
  double d0[4];
  for (int a = 0; a < 4; a++)
    d0[a] = in[a] - (c[a] - t);
  int order[4] = {0, 1, 2, 3}; // largest offset first; ties to the lower index
  std::stable_sort(order, order + 4, [&](int a, int b) { return d0[a] > d0[b] || (d0[a] == d0[b] && a > b); });
  // gradient index -> vector: entry 8*q + r has its zero at position q, signs from r
  auto grad = [](int g, int a) {
    int zero = g >> 3, r = g & 7, pos = 0;
    if (a == zero)
      return 0;
    for (int b = 0; b < a; b++)
      if (b != zero)
        pos++;
    return (r >> (2 - pos)) & 1 ? -1 : 1;
  };
  double sum = 0.0;
  int off[4] = {0, 0, 0, 0};
  for (int corner = 0; corner < 5; corner++)
  {
    if (corner > 0)
      off[order[corner - 1]] = 1;
    double d[4], dd = 0.0;
    for (int a = 0; a < 4; a++)
    {
      d[a] = d0[a] - off[a] + corner * G4;
      dd += d[a] * d[a];
    }
    int gi = noise_perm[(c[0] & 255) + off[0] +
                        noise_perm[(c[1] & 255) + off[1] +
                                   noise_perm[(c[2] & 255) + off[2] + noise_perm[(c[3] & 255) + off[3]]]]] &
             31;
    double tt = 0.6 - dd;
    if (tt > 0)
      sum += tt * tt * tt * tt * (grad(gi, 0) * d[0] + grad(gi, 1) * d[1] + grad(gi, 2) * d[2] + grad(gi, 3) * d[3]);
  }
  return 27.0 * sum;
}

void reseed(uint64_t seed)
{
  game_rnd_seed = seed;
  reseed_noise();
}
} // namespace

TEST(Noise, FloorIsExactAtIntegersAndBetween)
{
  for (int i = -300; i <= 300; i++)
  {
    ASSERT_EQ(noise_floor(float(i)), i) << i;
    ASSERT_EQ(noise_floor(float(i) + 0.5f), i) << i;
    ASSERT_EQ(noise_floor(float(i) + 0.999f), i) << i;
    ASSERT_EQ(noise_floor(float(i) - 0.001f), i - 1) << i;
    ASSERT_EQ(noise_ceil(float(i)), i) << i;
    ASSERT_EQ(noise_ceil(float(i) + 0.001f), i + 1) << i;
  }
  EXPECT_EQ(noise_floor(65537.f), 65537);
  EXPECT_EQ(noise_round(2.5f), 2);
  EXPECT_EQ(noise_round(-1.6f), -2);
}

TEST(Noise, ReseedBuildsAPermutationFromTheSeed)
{
  reseed(12345);
  uint64_t expect = 12345;
  for (int i = 0; i < 1536; i++)
    world_rnd_next(expect);
  EXPECT_EQ(game_rnd_seed, expect);

  bool seen[256] = {};
  for (int i = 0; i < 256; i++)
  {
    ASSERT_FALSE(seen[noise_perm[i]]);
    seen[noise_perm[i]] = true;
    ASSERT_EQ(noise_perm[256 + i], noise_perm[i]);
    ASSERT_GE(noise_cell_points[i].x, 0.f);
    ASSERT_LE(noise_cell_points[i].x, 1.f);
    ASSERT_GE(noise_cell_points[i].z, 0.f);
    ASSERT_LE(noise_cell_points[i].z, 1.f);
  }
  uint8_t perm[512];
  std::copy(noise_perm, noise_perm + 512, perm);
  Point2 p0 = noise_cell_points[0];
  reseed(12345);
  EXPECT_TRUE(std::equal(perm, perm + 512, noise_perm));
  EXPECT_EQ(p0.x, noise_cell_points[0].x);
  EXPECT_EQ(game_rnd_seed, expect);

  // The feature points follow the 1024 swap draws.
  reseed(777);
  uint64_t st2 = 777;
  for (int i = 0; i < 1024; i++)
    world_rnd_next(st2);
  EXPECT_EQ(noise_cell_points[0].x, world_rnd_unit(st2));
  EXPECT_EQ(noise_cell_points[0].z, world_rnd_unit(st2));
}

TEST(Noise, Noise1IsZeroOnIntegersAndRepeatsEvery256)
{
  reseed(99);
  float maxAbs = 0.f;
  for (int i = -512; i <= 512; i++)
    ASSERT_EQ(noise1(float(i)), 0.f) << i;
  for (int k = 0; k < 2000; k++)
  {
    float x = float(k) * 0.1237f - 100.f;
    ASSERT_NEAR(noise1(x + 256.f), noise1(x), 2e-4f) << x;
    maxAbs = std::max(maxAbs, std::fabs(noise1(x)));
  }
  EXPECT_GT(maxAbs, 0.05f);
  EXPECT_LT(maxAbs, 3.2f);
}

TEST(Noise, Noise4MatchesTheReferenceSimplex)
{
  reseed(4242);
  uint64_t st = 5;
  double maxAbs = 0.0;
  for (int k = 0; k < 4000; k++)
  {
    float p[4];
    for (float &v : p)
      v = (world_rnd_unit(st) - 0.5f) * 40.f;
    double ref = ref_noise4(p[0], p[1], p[2], p[3]);
    ASSERT_NEAR(noise4(p[0], p[1], p[2], p[3]), ref, 2e-4) << k;
    maxAbs = std::max(maxAbs, std::fabs(ref));
  }
  EXPECT_GT(maxAbs, 0.5);
  EXPECT_LT(maxAbs, 1.2);
}

TEST(Noise, TiledNoiseRepeatsWithItsPeriod)
{
  reseed(31337);
  for (float period : {4.f, 8.f, 5.5f})
    for (int k = 0; k < 200; k++)
    {
      float x = float(k) * 0.173f, y = float(k) * 0.291f - 3.f;
      float v = tiled_noise2(x, y, period);
      ASSERT_NEAR(tiled_noise2(x + period, y, period), v, 2e-4f);
      ASSERT_NEAR(tiled_noise2(x, y + period, period), v, 2e-4f);
    }
  for (int tile : {1, 4, 256})
    for (int k = 0; k < 200; k++)
    {
      float x = float(k) * 0.173f, y = float(k) * 0.291f;
      float v = old_tiled_noise2(x, y, tile);
      ASSERT_NEAR(old_tiled_noise2(x + float(tile), y, tile), v, 1e-4f);
      ASSERT_NEAR(old_tiled_noise2(x, y - float(tile), tile), v, 1e-4f);
      ASSERT_LE(std::fabs(v), 2.75f);
    }
  for (int i = 0; i < 20; i++) // gradient noise vanishes on the lattice
    EXPECT_EQ(old_tiled_noise2(float(i), float(3 * i), 16), 0.f);
}

TEST(Noise, VoronoiNearestFourAreTheSmallestOfTheNine)
{
  reseed(2024);
  for (int k = 0; k < 500; k++)
  {
    float x = float(k) * 0.0731f - 5.f, y = float(k % 37) * 0.19f;
    Point2 ofs9[9];
    int ids9[9];
    tiled_voronoi_noise2_all9(x, y, 3, ofs9, ids9);
    float d9[9];
    for (int i = 0; i < 9; i++)
    {
      d9[i] = ofs9[i].x * ofs9[i].x + ofs9[i].z * ofs9[i].z;
      ASSERT_EQ(ids9[i] & ~0x00070007, 0); // ids stay inside the 8 x 8 tile
    }
    float d4[4];
    int ids4[4];
    Point2 ofs4[4];
    tiled_voronoi_noise2_near4(x, y, 3, d4, ids4, ofs4);
    float sorted[9];
    std::copy(d9, d9 + 9, sorted);
    std::stable_sort(sorted, sorted + 9);
    for (int i = 0; i < 4; i++)
    {
      ASSERT_EQ(d4[i], sorted[i]);
      int at = int(std::find(d9, d9 + 9, d4[i]) - d9);
      ASSERT_EQ(ids4[i], ids9[at]);
      ASSERT_EQ(ofs4[i].x, ofs9[at].x);
    }
  }
  // The pattern repeats every tile cells; offsets stay continuous across the seam.
  for (int k = 0; k < 100; k++)
  {
    float x = float(k) * 0.037f, y = float(k) * 0.011f + 1.f;
    float a[4], b[4];
    int ia[4], ib[4];
    tiled_voronoi_noise2_near4(x, y, 2, a, ia, nullptr);
    tiled_voronoi_noise2_near4(x + 4.f, y, 2, b, ib, nullptr);
    for (int i = 0; i < 4; i++)
    {
      ASSERT_NEAR(a[i], b[i], 1e-5f);
      ASSERT_EQ(ia[i], ib[i]);
    }
  }
  // Null outputs are allowed.
  tiled_voronoi_noise2_near4(1.5f, 2.5f, 8, nullptr, nullptr, nullptr);
  tiled_voronoi_noise2_all9(1.5f, 2.5f, 0, nullptr, nullptr);
}

TEST(Noise, FractalSums)
{
  reseed(8);
  EXPECT_EQ(fractal_noise1(3.3f, 1, nullptr, 0.5f), noise1(3.3f));
  EXPECT_EQ(fractal_noise1(3.3f, 0, nullptr, 0.5f), noise1(3.3f));
  float x = 1.7f;
  float raw = noise1(x) + 0.6f * noise1(2.f * x + 0.5f) + 0.36f * noise1(2.f * (2.f * x + 0.5f) + 0.5f);
  EXPECT_FLOAT_EQ(fractal_noise1(x, 3, nullptr, 0.6f), raw);

  FloatRamp quarter(0.25f); // every octave's value becomes 0.25
  EXPECT_FLOAT_EQ(fractal_noise1(x, 3, &quarter, 0.5f), 0.25f * 1.75f);
  EXPECT_FLOAT_EQ(tiled_fractal_noise2(x, 2.f, 4.f, 4, &quarter, 0.5f), 0.25f * 1.875f);

  float y = 0.3f;
  float t2 = tiled_noise2(x, y, 4.f) + 0.5f * tiled_noise2(2.f * x + 0.5f, 2.f * y + 0.5f, 8.f);
  EXPECT_FLOAT_EQ(tiled_fractal_noise2(x, y, 4.f, 2, nullptr, 0.5f), t2);
}

TEST(Noise, Hashes)
{
  reseed(1);
  EXPECT_EQ(get_noise_hash1(300), noise_perm[44]);
  EXPECT_EQ(get_noise_hash1(-1), noise_perm[255]);
  EXPECT_EQ(get_noise_hash2(3, 260), noise_perm[3 + noise_perm[4]]);
}
