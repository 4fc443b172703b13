#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include "world/heightmap.h"

namespace {

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
  EXPECT_GT(W(cx, cz).vel_x, 0.f);      // face toward +x flows out
  EXPECT_GT(W(cx, cz).vel_z, 0.f);      // face toward +z flows out
  EXPECT_LT(W(cx - 1, cz).vel_x, 0.f);  // face toward -x flows out
  EXPECT_LT(W(cx, cz - 1).vel_z, 0.f);  // face toward -z flows out
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
