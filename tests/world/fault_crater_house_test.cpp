#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>
#include "core/ramp.h"
#include "world/heightmap.h"
#include "world/house.h"
#include "world/noise.h"
#include "world/world_rnd.h"

using HD = HeightmapData;

namespace
{
void flat_world(float h)
{
  HD::reset();
  for (float &v : HD::hmap)
    v = h;
}

// Wraps a coordinate difference into (-128, 128].
float wrapped(float d)
{
  while (d > 128.f)
    d -= 256.f;
  while (d <= -128.f)
    d += 256.f;
  return d;
}
} // namespace

TEST(Fault, ZeroNormalShiftsTheWholeMapByOneProfileEntry)
{
  flat_world(1.f);
  game_rnd_seed = 42;
  reseed_noise();
  uint64_t seed = game_rnd_seed;
  Point2 pos{10.f, 20.f};
  float height = 8.f, bias = 0.25f, wiggle = 3.f;
  HD::genFault(pos, Point2{0.f, 0.f}, height, bias, wiggle, nullptr, GT_NONE, 255, HD::hmap);

  // With D = E = 0 every cell reads profile entry 128 at full strength (G = 1).
  float u = world_rnd_unit(seed);
  float a = 128.f * 0.005f + (pos.z + pos.x + 256.f * u);
  float W = noise1(a) + 0.5f * noise1(2.f * a + 0.5f) + 0.25f * noise1(2.f * (2.f * a + 0.5f) + 0.5f) +
            0.125f * noise1(2.f * (2.f * (2.f * a + 0.5f) + 0.5f) + 0.5f);
  float b = 16.f * a;
  float V = noise1(b) + 0.5f * noise1(2.f * b + 0.5f) + 0.25f * noise1(2.f * (2.f * b + 0.5f) + 0.5f);
  float S = ((W + V * 0.0625f) * wiggle) * (4.f - (1.f - V) * 0.7f);
  float step = std::fmin(std::fmax(S, -0.25f * height), 0.75f * height);
  float expect = 1.f + ((bias - 0.75f) * height + step);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_FLOAT_EQ(HD::hmap[i], expect);
  EXPECT_EQ(game_rnd_seed, seed); // exactly one draw
}

TEST(Fault, RaisesThePositiveSideInsideTheEllipseAndPaintsTheSlope)
{
  flat_world(0.f);
  game_rnd_seed = 7;
  reseed_noise();
  ColorRamp blue(vec4f(0.f, 0.f, 1.f, 1.f), vec4f(0.f, 0.f, 1.f, 1.f), vec4f(0.f, 0.f, 1.f, 1.f), 0.f, 0.f);
  Point2 pos{250.f, 128.f}; // near the edge: the region wraps
  HD::genFault(pos, Point2{2.f, 0.f}, 10.f, 0.75f, 0.f, &blue, GT_SAND, 200, HD::hmap);
  int painted = 0;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
    {
      float dx = wrapped(float(x) - pos.x), dz = wrapped(float(z) - pos.z);
      float F = (dx / 64.f) * (dx / 64.f) + (dz / 128.f) * (dz / 128.f);
      float h = HD::height(x, z);
      const HD::Surface &s = HD::surf(x, z);
      if (F >= 1.f)
      {
        ASSERT_EQ(h, 0.f) << x << "," << z;
        ASSERT_EQ(s.color.u, 0xFF808080u);
        continue;
      }
      // bias 0.75: no base shift; +x side up to 7.5, -x side down to -2.5
      ASSERT_LE(h, 7.5f + 1e-4f);
      ASSERT_GE(h, -2.5f - 1e-4f);
      if (dx > 8.f)
      {
        ASSERT_GT(h, 0.f) << x << "," << z;
      }
      if (dx < -8.f)
      {
        ASSERT_LT(h, 0.f) << x << "," << z;
      }
      if (s.color.u != 0xFF808080u)
      {
        painted++;
        ASSERT_EQ(s.color.u, 0xC80000FFu);
        ASSERT_EQ(s.ground_type(), GT_SAND);
        ASSERT_LT(std::fabs(dx), 8.f); // only the slope is painted
      }
    }
  EXPECT_GT(painted, 100);
}

TEST(Crater, CutsABowlAndNeverRaises)
{
  flat_world(5.f);
  std::vector<float> before(HD::hmap, HD::hmap + HMAP_CELLS);
  HD::genCrater(Point2{3.f, 100.f}, 10.f, 1.f, HD::hmap);
  float lowest = 1e9f;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
    {
      float h = HD::height(x, z);
      ASSERT_LE(h, before[hmap_index(x, z)]);
      float dx = wrapped(float(x) - 3.f), dz = float(z) - 100.f;
      if (dx * dx + dz * dz >= 400.f)
      {
        ASSERT_EQ(h, 5.f) << x << "," << z; // nothing beyond twice the radius
      }
      lowest = std::fmin(lowest, h);
    }
  EXPECT_EQ(HD::height(3, 100), 5.f - 10.f); // h - sqrt(r^2) * depth at the centre
  EXPECT_EQ(lowest, -5.f);
  EXPECT_LT(HD::height(250, 100), 5.f); // continues across the edge

  // Radius 0 or less (and radii or centres beyond any use) change nothing.
  std::vector<float> now(HD::hmap, HD::hmap + HMAP_CELLS);
  HD::genCrater(Point2{50.f, 50.f}, 0.f, 3.f, HD::hmap);
  HD::genCrater(Point2{50.f, 50.f}, -4.f, 3.f, HD::hmap);
  HD::genCrater(Point2{50.f, 50.f}, NAN, 3.f, HD::hmap);
  HD::genCrater(Point2{50.f, 50.f}, 1e12f, 3.f, HD::hmap); // would scan 1.6e25 cells
  HD::genCrater(Point2{-3e9f, 50.f}, 10.f, 3.f, HD::hmap);
  EXPECT_EQ(std::memcmp(now.data(), HD::hmap, sizeof(HD::hmap)), 0);

  // On rough ground the base is the mean inside the circle; still nothing rises.
  HD::reset();
  game_rnd_seed = 9;
  HD::addFastNoise(0.f, 20.f, nullptr, GT_NONE, 255, 0.6f);
  before.assign(HD::hmap, HD::hmap + HMAP_CELLS);
  HD::genCrater(Point2{128.5f, 64.25f}, 6.f, 0.5f, HD::hmap);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_LE(HD::hmap[i], before[i]);
}

TEST(House, DefinitionsAreConsistent)
{
  for (const HouseDef &d : house_defs)
  {
    for (int j = 0; j <= d.h; j++)
      ASSERT_EQ(int(std::strlen(d.heights[j])), d.w + 1);
    for (int j = 0; j < d.h; j++)
    {
      ASSERT_EQ(int(std::strlen(d.tiles[j])), d.w);
      ASSERT_EQ(int(std::strlen(d.values[j])), d.w);
    }
  }
  EXPECT_EQ(house_def_index(-1), 0);
  EXPECT_EQ(house_def_index(0), 1);
  EXPECT_EQ(house_def_index(3), 1);
  EXPECT_EQ(house_def_index(4), 2);
  EXPECT_EQ(house_def_index(5), 3);
  EXPECT_EQ(house_def_index(-2), 1 + int(0xFFFFFFFEu % 3u));
}

TEST(House, StampsHeightsTilesAndMarks)
{
  flat_world(2.f);
  HD::surface[hmap_index(100, 100)].set_top(0xFF00FF00u, ST_GRASS);
  HD::placeHouse(100, 100, 0, HD::hmap, false); // type 0 is entry 1: 4 x 4, corner at (98, 98)
  const HouseDef &d = house_defs[1];
  for (int j = 0; j <= 4; j++)
    for (int i = 0; i <= 4; i++)
    {
      char c = d.heights[4 - j][i];
      ASSERT_FLOAT_EQ(HD::height(98 + i, 98 + j), 2.f + float(c - '0') * 0.75f);
      ASSERT_TRUE(HD::surf(98 + i, 98 + j).marks() & MARK_HOUSE);
    }
  EXPECT_EQ(HD::surf(103, 98).marks(), 0u);
  // Row z = 98 is the last tile row "bcdb" with values "0003".
  EXPECT_EQ(HD::surf(98, 98).ground_type(), GT_HOUSE);
  EXPECT_EQ(HD::surf(98, 98).house_tile(), 'b' - 'a');
  EXPECT_EQ(HD::surf(101, 98).house_tile(), 'b' - 'a');
  EXPECT_EQ(HD::surf(101, 98).house_rot(), 3);
  EXPECT_EQ(HD::surf(99, 101).house_tile(), 'd' - 'a'); // top row "bdcb"
  EXPECT_EQ(HD::surf(99, 101).house_rot(), 6);          // "5666"
  const HD::Surface &mid = HD::surf(100, 100);
  EXPECT_EQ(mid.top_color.u, 0u);
  EXPECT_EQ(mid.surface_type(), ST_OPEN);
  EXPECT_EQ(mid.color.u, 0xFF808080u);
  EXPECT_EQ(mid.marks(), MARK_HOUSE);
  EXPECT_EQ(HD::surf(102, 100).ground_type(), GT_ROCK); // the vertex column beyond the tiles

  // The place is now taken: a second house there changes nothing.
  std::vector<float> h(HD::hmap, HD::hmap + HMAP_CELLS);
  std::vector<HD::Surface> s(HD::surface, HD::surface + HMAP_CELLS);
  HD::placeHouse(101, 99, 0, HD::hmap, false);
  EXPECT_EQ(std::memcmp(h.data(), HD::hmap, sizeof(HD::hmap)), 0);
  EXPECT_EQ(std::memcmp(s.data(), HD::surface, sizeof(HD::surface)), 0);
}

TEST(House, BlockedByAnyPlacementMark)
{
  for (unsigned mark : {MARK_OBJ, MARK_PLACE, MARK_WATER})
  {
    flat_world(0.f);
    HD::surf(40 + 2, 60 + 2).set_marks(mark); // the far corner of the 5 x 5 vertex rectangle
    std::vector<HD::Surface> s(HD::surface, HD::surface + HMAP_CELLS);
    HD::placeHouse(40, 60, 0, HD::hmap, false);
    for (int i = 0; i < HMAP_CELLS; i++)
      ASSERT_EQ(HD::hmap[i], 0.f);
    ASSERT_EQ(std::memcmp(s.data(), HD::surface, sizeof(HD::surface)), 0) << mark;
  }
  // A neighbour's MARK_HOUSE on the shared border blocks too; higher mark bits do not.
  flat_world(0.f);
  HD::placeHouse(40, 60, 3, HD::hmap, false); // type 3 is entry 1 as well
  EXPECT_EQ(HD::surf(42, 62).marks(), MARK_HOUSE);
  std::vector<float> h(HD::hmap, HD::hmap + HMAP_CELLS);
  HD::placeHouse(44, 60, 0, HD::hmap, false); // rectangle 42..46 touches column 42
  EXPECT_EQ(std::memcmp(h.data(), HD::hmap, sizeof(HD::hmap)), 0);
  EXPECT_EQ(HD::surf(46, 60).marks(), 0u);
  HD::surf(100, 60).set_marks(0x10u);
  HD::placeHouse(100, 60, 0, HD::hmap, false);
  EXPECT_EQ(HD::surf(100, 60).marks(), 0x10u | MARK_HOUSE);
}

TEST(House, StraddlesTheEdgeAndSubtractsItself)
{
  flat_world(0.f);
  HD::placeHouse(2, 128, -1, HD::hmap, false); // the 18 x 18 entry: tile columns 249..255, 0..10
  int z = 119 + 16;                            // tile row "caarkomnkjqlpjraad", all letters
  for (int x = 249; x <= 255 + 11; x++)
    ASSERT_EQ(HD::surf(x, z).ground_type(), GT_HOUSE) << x;
  EXPECT_EQ(HD::surf(248, z).ground_type(), GT_ROCK);
  EXPECT_EQ(HD::surf(11, z).ground_type(), GT_ROCK);
  EXPECT_EQ(HD::surf(249, z).house_tile(), 'c' - 'a');
  EXPECT_EQ(HD::surf(10, z).house_tile(), 'd' - 'a');
  EXPECT_FLOAT_EQ(HD::height(250, 119 + 17), 8.f * 0.75f); // second vertex row "0888...", second vertex

  // Type -1 neither tests nor marks; placing it again over itself with subtractHouse
  // finds the same base, so the heights stay.
  flat_world(1.f);
  HD::placeHouse(128, 128, -1, HD::hmap, false);
  EXPECT_EQ(HD::surf(128, 128).marks(), 0u);
  std::vector<float> once(HD::hmap, HD::hmap + HMAP_CELLS);
  HD::placeHouse(128, 128, -1, HD::hmap, true);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_NEAR(HD::hmap[i], once[i], 1e-5f);
  HD::placeHouse(128, 128, -1, HD::hmap, false); // without subtracting the house rises
  EXPECT_GT(HD::height(128 - 9 + 1, 128 - 9 + 1), once[hmap_index(120, 120)] + 0.1f);
}
