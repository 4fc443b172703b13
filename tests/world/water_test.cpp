#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include "world/heightmap.h"
#include "world/world_rnd.h"

namespace
{

using Water = HeightmapData::Water;

Water &W(int x, int z) { return HeightmapData::waterAt(x, z); }

double total_water()
{
  double s = 0;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      s += HeightmapData::water[z][x].depth;
  return s;
}

// The water step written out plainly, one cell at a time, straight from the model:
// simWater must agree with it bit for bit.
struct RefWater
{
  static float lerp2(const Water (*g)[HMAP_SIZE], float Water::*field, float px, float pz)
  {
    float fi = std::floor(px), fj = std::floor(pz);
    int i = int(fi), j = int(fj);
    float fx = px - fi, fz = pz - fj;
    float a = g[j & 255][i & 255].*field, b = g[j & 255][(i + 1) & 255].*field;
    float c = g[(j + 1) & 255][i & 255].*field, d = g[(j + 1) & 255][(i + 1) & 255].*field;
    float top = a + (b - a) * fx, bot = c + (d - c) * fx;
    return top + (bot - top) * fz;
  }
  static float mn(float a, float b) { return b < a ? b : a; }

  static void step(float dt)
  {
    static Water T[HMAP_SIZE][HMAP_SIZE];
    static float snap[HMAP_SIZE][HMAP_SIZE];
    std::memcpy(T, HeightmapData::water, sizeof(T));
    const float damp = std::fmax(1.f - 0.03f * dt, 0.f), fdecay = std::fmax(1.f - 5.f * dt, 0.f);
    auto H = [](int x, int z) { return HeightmapData::height(x, z); };
    auto t = [](int x, int z) -> const Water & { return T[z & 255][x & 255]; };
    auto L = [&](int x, int z) { return H(x, z) + t(x, z).depth; };
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++)
      {
        float vz = (t(x, z).vel_z + t(x + 1, z).vel_z + t(x, z - 1).vel_z + t(x + 1, z - 1).vel_z) / 4.f;
        float px = float(x) - t(x, z).vel_x * dt, pz = float(z) - vz * dt;
        float pull_x = (L(x, z) - L(x + 1, z)) * (10.f * dt);
        float nvx = lerp2(T, &Water::vel_x, px, pz) * damp + pull_x;
        float fx_foam = lerp2(T, &Water::foam, px, pz);
        float block = 0.f;
        if ((nvx >= 0.f && mn(t(x, z).depth, L(x, z) - H(x + 1, z)) <= 0.f) ||
            (nvx < 0.f && mn(t(x + 1, z).depth, L(x + 1, z) - H(x, z)) <= 0.f))
        {
          nvx = 0.f;
          block += 0.01f;
        }
        float ux = (t(x - 1, z).vel_x + t(x, z).vel_x + t(x - 1, z + 1).vel_x + t(x, z + 1).vel_x) / 4.f;
        float qx = float(x) - ux * dt, qz = float(z) - t(x, z).vel_z * dt;
        float pull_z = (L(x, z) - L(x, z + 1)) * (10.f * dt);
        float nvz = lerp2(T, &Water::vel_z, qx, qz) * damp + pull_z;
        float fz_foam = lerp2(T, &Water::foam, qx, qz);
        if ((nvz >= 0.f && mn(t(x, z).depth, L(x, z) - H(x, z + 1)) <= 0.f) ||
            (nvz < 0.f && mn(t(x, z + 1).depth, L(x, z + 1) - H(x, z)) <= 0.f))
        {
          nvz = 0.f;
          block += 0.01f;
        }
        float around =
          2.f * (fx_foam + fz_foam) + t(x, z + 1).foam + t(x - 1, z).foam + t(x + 1, z).foam + t(x, z - 1).foam;
        float foam = 3.2f * (pull_x * pull_x + pull_z * pull_z) + block + fdecay * (around / 8.f);
        Water &w = HeightmapData::water[z][x];
        w.vel_x = nvx;
        w.vel_z = nvz;
        w.foam = mn(1.f, foam);
        snap[z][x] = w.depth;
      }
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++)
      {
        float d = snap[z][x];
        if (!(d > 0.f))
          continue;
        float l = H(x, z) + d;
        float q[4] = {-W(x - 1, z).vel_x, -W(x, z - 1).vel_z, W(x, z).vel_x, W(x, z).vel_z};
        const int nx[4] = {x - 1, x, x + 1, x}, nz[4] = {z, z - 1, z, z + 1};
        for (int k = 0; k < 4; k++)
          if (q[k] < 0.f || H(nx[k], nz[k]) > l)
            q[k] = 0.f;
        float Wsum = q[0] + q[1] + q[2] + q[3];
        float A = Wsum * (4.f * dt);
        if (!(A > 0.001f))
          continue;
        A = mn(A, d);
        W(x, z).depth -= A;
        for (int k = 0; k < 4; k++)
          W(nx[k], nz[k]).depth += A * q[k] / Wsum;
      }
  }
};

// Rough terrain with cliffs, dry land, pools and random flow: every branch of the step.
void chaotic_state(uint64_t seed)
{
  HeightmapData::reset();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float h = 6.f * std::sin(x * 0.07f) * std::cos(z * 0.05f) + 4.f * world_rnd_unit(seed);
      if ((x / 16 + z / 16) % 5 == 0)
        h += 12.f; // blocks of cliff
      HeightmapData::height(x, z) = h;
      Water &w = W(x, z);
      float d = 3.f - h + world_rnd_unit(seed);
      w.depth = d > 0.f ? d : 0.f;
      w.vel_x = (world_rnd_unit(seed) - 0.5f) * 30.f;
      w.vel_z = (world_rnd_unit(seed) - 0.5f) * 30.f;
      w.foam = world_rnd_unit(seed);
    }
}

TEST(Water, MatchesTheCellByCellModelExactly)
{
  static Water expect[HMAP_SIZE][HMAP_SIZE];
  for (float dt : {0.05f, 0.21f})
  {
    chaotic_state(dt > 0.1f ? 5 : 6);
    std::memcpy(expect, HeightmapData::water, sizeof(expect));
    for (int step = 0; step < 3; step++)
    {
      std::memcpy(HeightmapData::water, expect, sizeof(expect));
      RefWater::step(dt);
      std::memcpy(expect, HeightmapData::water, sizeof(expect));
    }
    chaotic_state(dt > 0.1f ? 5 : 6);
    static Water before[HMAP_SIZE][HMAP_SIZE];
    for (int step = 0; step < 3; step++)
    {
      std::memcpy(before, HeightmapData::water, sizeof(before));
      HeightmapData::simWater(dt);
    }
    EXPECT_EQ(std::memcmp(HeightmapData::tmpw, before, sizeof(before)), 0) << "tmpw holds the previous step";
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++)
      {
        const Water &a = HeightmapData::water[z][x], &b = expect[z][x];
        ASSERT_TRUE(std::memcmp(&a, &b, sizeof(Water)) == 0)
          << x << "," << z << " dt " << dt << ": " << a.depth << " " << a.vel_x << " " << a.vel_z << " " << a.foam
          << " vs " << b.depth << " " << b.vel_x << " " << b.vel_z << " " << b.foam;
      }
  }
}

// One simWater step checked against the cell-by-cell model from the same state.
void step_both(float dt, const char *what, int step)
{
  static Water input[HMAP_SIZE][HMAP_SIZE], fast[HMAP_SIZE][HMAP_SIZE];
  std::memcpy(input, HeightmapData::water, sizeof(input));
  HeightmapData::simWater(dt);
  std::memcpy(fast, HeightmapData::water, sizeof(fast));
  std::memcpy(HeightmapData::water, input, sizeof(input));
  RefWater::step(dt);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      ASSERT_TRUE(std::memcmp(&fast[z][x], &HeightmapData::water[z][x], sizeof(Water)) == 0)
        << what << " step " << step << " at " << x << "," << z;
  std::memcpy(HeightmapData::water, fast, sizeof(fast));
}

// Water that has come to rest is left alone by the step; whatever disturbs it (a splash
// on a tile border, one across the map's edge, a change of the ground, another dt) must
// still give exactly what the full step gives.
TEST(Water, WaterAtRestStepsExactlyAsTheFullStep)
{
  HeightmapData::reset();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const bool basin = x >= 40 && x < 120 && z >= 30 && z < 100, corner = x < 12 || x >= 248;
      HeightmapData::height(x, z) = basin || corner ? -3.f : 2.f + 0.01f * float((x * 7 + z * 3) % 5);
      W(x, z).depth = basin || corner ? 3.f : 0.f;
    }
  for (int step = 0; step < 160; step++)
    ASSERT_NO_FATAL_FAILURE(step_both(0.05f, "settling", step));
  EXPECT_GT(water_tiles_at_rest(), 128) << "the still water and the plain are at rest";

  W(96, 64).depth += 4.f; // on a tile corner in the basin
  W(0, 80).depth += 2.f;  // on the map's edge: the tiles wrap
  for (int step = 0; step < 40; step++)
    ASSERT_NO_FATAL_FAILURE(step_both(0.05f, "splashes", step));
  HeightmapData::height(200, 200) += 1.5f; // dry land raised
  HeightmapData::height(47, 60) -= 0.5f;   // the basin's floor lowered under still water
  for (int step = 0; step < 10; step++)
    ASSERT_NO_FATAL_FAILURE(step_both(0.05f, "ground", step));
  for (int step = 0; step < 4; step++)
    ASSERT_NO_FATAL_FAILURE(step_both(step < 2 ? 0.1f : 0.05f, "dt", step));
  W(130, 140).vel_x = 1e6f; // far beyond what a tile's neighbours cover
  for (int step = 0; step < 3; step++)
    ASSERT_NO_FATAL_FAILURE(step_both(0.05f, "fast", step));
}

TEST(Water, StillWaterKeepsDepthsAndFoamDecays)
{
  HeightmapData::reset();
  for (int i = 0; i < HMAP_CELLS; i++)
    HeightmapData::hmap[i] = 2.f;
  HeightmapData::addWater(1.5f);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HeightmapData::water[z][x].foam = 0.5f;
  const float dt = 0.05f, fdecay = 1.f - 5.f * dt;
  HeightmapData::simWater(dt);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const Water &w = HeightmapData::water[z][x];
      ASSERT_EQ(w.depth, 1.5f);
      ASSERT_EQ(w.vel_x, 0.f);
      ASSERT_EQ(w.vel_z, 0.f);
      ASSERT_EQ(w.foam, fdecay * 0.5f);
      ASSERT_EQ(HeightmapData::tmpw[z][x].foam, 0.5f); // the previous step
    }
  // with dt >= 0.2 the advected foam is gone in one step
  HeightmapData::simWater(0.25f);
  EXPECT_EQ(W(17, 99).foam, 0.f);
  EXPECT_EQ(W(17, 99).depth, 1.5f);
}

TEST(Water, SingleColumnSpreadsWithinTheSameStep)
{
  HeightmapData::reset();
  const int cx = 0, cz = 0; // at the corner, so every neighbour wraps
  W(cx, cz).depth = 2.f;
  HeightmapData::simWater(0.05f);
  EXPECT_GT(W(cx, cz).vel_x, 0.f);     // face toward +x flows out
  EXPECT_GT(W(cx, cz).vel_z, 0.f);     // face toward +z flows out
  EXPECT_LT(W(cx - 1, cz).vel_x, 0.f); // face toward -x flows out
  EXPECT_LT(W(cx, cz - 1).vel_z, 0.f); // face toward -z flows out
  const float left = W(cx, cz).depth;
  EXPECT_LT(left, 2.f);
  EXPECT_GE(left, 0.f);
  const float n[4] = {W(cx + 1, cz).depth, W(cx - 1, cz).depth, W(cx, cz + 1).depth, W(cx, cz - 1).depth};
  for (float d : n)
  {
    EXPECT_GT(d, 0.f);
    EXPECT_NEAR(d, n[0], 1e-6f); // symmetric
  }
  EXPECT_NEAR(left + n[0] + n[1] + n[2] + n[3], 2.f, 1e-5f);
  EXPECT_EQ(W(cx + 2, cz).depth, 0.f); // water that just arrived is not passed on
  // a face with dry land on both sides is blocked and foams
  EXPECT_EQ(W(100, 100).vel_x, 0.f);
  EXPECT_NEAR(W(100, 100).foam, 0.02f, 1e-7f);
}

TEST(Water, NeverClimbsACliffAndStaysNonNegative)
{
  HeightmapData::reset();
  // a pool at ground 0 walled in by ground 10 on the left half of the map
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HeightmapData::height(x, z) = (x >= 20 && x < 40 && z >= 20 && z < 40) ? 0.f : 10.f;
  for (int z = 20; z < 40; z++)
    for (int x = 20; x < 30; x++)
      W(x, z).depth = 5.f; // a dam break inside the pool; level 5 stays below the walls
  const double before = total_water();
  for (int step = 0; step < 200; step++)
  {
    HeightmapData::simWater(0.05f);
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++)
      {
        float d = W(x, z).depth;
        ASSERT_GE(d, 0.f) << x << "," << z << " step " << step;
        if (HeightmapData::height(x, z) > 5.f)
        {
          ASSERT_EQ(d, 0.f) << x << "," << z << " step " << step;
        }
      }
  }
  EXPECT_NEAR(total_water(), before, before * 1e-5);
  // the water has spread over the whole pool
  EXPECT_GT(W(38, 30).depth, 0.5f);
}

TEST(Water, SlopeFlowConservesWater)
{
  HeightmapData::reset();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HeightmapData::height(x, z) = 4.f * std::sin(x * 0.0245f) + 3.f * std::cos(z * 0.049f + 1.f);
  HeightmapData::addWater(0.5f);
  const double before = total_water();
  for (int step = 0; step < 40; step++)
    HeightmapData::simWater(0.05f);
  EXPECT_NEAR(total_water(), before, before * 1e-5);
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    const Water &w = (&HeightmapData::water[0][0])[i];
    ASSERT_GE(w.depth, 0.f);
    ASSERT_GE(w.foam, 0.f);
    ASSERT_LE(w.foam, 1.f);
  }
}

TEST(Water, MarkWater)
{
  HeightmapData::reset();
  HeightmapData::addWater(1.f);
  mark_water(0.5f, MARK_WATER, 0);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(HeightmapData::surface[i].marks(), MARK_WATER);
  HeightmapData::addWater(-1.f);
  W(3, 4).depth = NAN;
  W(5, 4).depth = 0.25f;
  mark_water(0.25f, MARK_OBJ, MARK_WATER); // not deeper than the level: untouched
  EXPECT_EQ(HeightmapData::surf(3, 4).marks(), MARK_OBJ);
  EXPECT_EQ(HeightmapData::surf(5, 4).marks(), MARK_WATER);
  EXPECT_EQ(HeightmapData::surf(0, 0).marks(), MARK_WATER);
}

TEST(Water, SquareDepth)
{
  HeightmapData::reset();
  HeightmapData::height(10, 10) = 4.f;
  HeightmapData::height(11, 10) = 2.f;
  W(11, 10).depth = 3.f;
  // halfSize 0: the bilinear surface at the point
  vec4f r = HeightmapData::calcSquareDepth(vec4f(10.5f, 1.f, 10.f, 0.f), 0.f, false);
  EXPECT_FLOAT_EQ(r.x, 3.f - 1.f);
  EXPECT_EQ(r.x, r.y);
  EXPECT_EQ(r.x, r.z);
  EXPECT_EQ(r.x, r.w);
  r = HeightmapData::calcSquareDepth(vec4f(10.5f, 1.f, 10.f, 0.f), 0.f, true);
  EXPECT_FLOAT_EQ(r.x, 4.5f - 1.f);
  r = HeightmapData::calcSquareDepth(vec4f(10.25f, 0.f, 10.5f, 0.f), 0.f, false);
  EXPECT_FLOAT_EQ(r.x, 0.5f * (4.f * 0.75f + 2.f * 0.25f));

  // a peak strictly inside the square is found at its grid point
  HeightmapData::height(200, 50) = 9.f;
  r = HeightmapData::calcSquareDepth(vec4f(200.3f, 2.f, 49.8f, 0.f), 1.5f, false);
  EXPECT_EQ(r.x, 7.f);
  // a ridge crossing the border between grid points is found at the crossing
  HeightmapData::reset();
  for (int z = 0; z < HMAP_SIZE; z++)
    HeightmapData::height(30, z) = 6.f;
  r = HeightmapData::calcSquareDepth(vec4f(29.5f, 0.f, 70.3f, 0.f), 0.5f, false);
  EXPECT_EQ(r.x, 6.f);
  r = HeightmapData::calcSquareDepth(vec4f(29.f, 0.f, 70.3f, 0.f), 0.5f, false);
  EXPECT_FLOAT_EQ(r.x, 3.f);
  // wrapping at the edge, and a square larger than the map
  r = HeightmapData::calcSquareDepth(vec4f(286.f, 1.f, -3.f, 0.f), 0.f, false);
  EXPECT_EQ(r.x, 5.f);
  r = HeightmapData::calcSquareDepth(vec4f(0.f, 0.f, 0.f, 0.f), 1e6f, false);
  EXPECT_EQ(r.x, 6.f);
  // empty land, nothing above 0
  HeightmapData::reset();
  r = HeightmapData::calcSquareDepth(vec4f(5.f, -2.f, 5.f, 0.f), 10.f, true);
  EXPECT_EQ(r.x, 2.f);
}

} // namespace
