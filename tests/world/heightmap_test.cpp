#include <cstdint>
#include <gtest/gtest.h>
#include "world/heightmap.h"

using HD = HeightmapData;

TEST(Heightmap, ResetEmptiesEveryGridButTheScratch)
{
  HD::hmap[77] = 3.f;
  HD::target_hmap[78] = -2.f;
  HD::surface[79].bits = 0xFFFFFFFFu;
  HD::surface[79].top_color = 0x12345678u;
  HD::water[3][4] = {1.f, 2.f, 3.f, 4.f};
  HD::tmpw[5][6] = {1.f, 2.f, 3.f, 4.f};
  HD::reset();
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_EQ(HD::hmap[i], 0.f);
    ASSERT_EQ(HD::target_hmap[i], 0.f);
    const HD::Surface &s = HD::surface[i];
    ASSERT_EQ(s.color.u, 0xFF808080u);
    ASSERT_EQ(s.top_color.u, 0u);
    ASSERT_EQ(s.ground_type(), GT_ROCK);
    ASSERT_EQ(s.surface_type(), 0);
    ASSERT_EQ(s.marks(), 0u);
  }
  EXPECT_EQ(HD::water[3][4].depth, 0.f);
  EXPECT_EQ(HD::water[3][4].foam, 0.f);
  EXPECT_EQ(HD::tmpw[5][6].depth, 1.f); // the previous step stays for the renderer
}

TEST(Heightmap, HeightRangeAndRecentre)
{
  HD::reset();
  float lo = 1.f, hi = 1.f;
  HD::calcHtRange(lo, hi);
  EXPECT_EQ(lo, 0.f);
  EXPECT_EQ(hi, 0.f);
  EXPECT_EQ(HD::recenterHt(), 0.f);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(HD::hmap[i], 0.f);

  for (int i = 0; i < HMAP_CELLS; i++)
    HD::hmap[i] = (i % 3) ? -3.f : 5.f;
  HD::target_hmap[10] = 7.f;
  EXPECT_EQ(HD::recenterHt(), 4.f);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(HD::hmap[i], (i % 3) ? -4.f : 4.f);
  EXPECT_EQ(HD::target_hmap[10], 7.f);

  // extremes in the first and the last cell are found too
  HD::reset();
  HD::hmap[0] = -9.f;
  HD::hmap[HMAP_CELLS - 1] = 11.f;
  HD::calcHtRange(lo, hi);
  EXPECT_EQ(lo, -9.f);
  EXPECT_EQ(hi, 11.f);
}

TEST(Heightmap, CellAddressingWraps)
{
  EXPECT_EQ(hmap_index(256, -1), hmap_index(0, 255));
  EXPECT_EQ(hmap_index(0, 255), 255 << 8);
  EXPECT_EQ(hmap_index(-1, 0), 255);
  EXPECT_EQ(hmap_index(300, 513), (1 << 8) | 44);
  HD::reset();
  HD::hmap[hmap_index(0, 255)] = 2.5f;
  EXPECT_EQ(HD::height(256, -1), 2.5f);
  HD::waterAt(-1, 256).depth = 1.5f;
  EXPECT_EQ(HD::water[0][255].depth, 1.5f);
}

TEST(Heightmap, SurfaceFieldsAreInsertedWithoutTouchingTheOthers)
{
  HD::Surface s{0u, 0u, 0xFFFFFFFFu};
  s.set_ground_type(GT_SAND);
  EXPECT_EQ(s.ground_type(), GT_SAND);
  EXPECT_EQ(s.surface_type(), 15);
  EXPECT_EQ(s.house_rot(), 7);
  EXPECT_EQ(s.house_tile(), 0x1FFF);
  EXPECT_EQ(s.marks(), 0xFFu);

  s.bits = 0;
  s.set_house_tile(25);
  s.set_house_rot(5);
  s.set_marks(MARK_WATER | MARK_OBJ);
  s.set_ground_type(GT_SOIL);
  s.set_top(0xFF00FF00u, ST_SNOW);
  EXPECT_EQ(s.bits, (uint32_t(9) << 24) | (25u << 11) | (5u << 8) | (uint32_t(ST_SNOW) << 4) | uint32_t(GT_SOIL));
  s.change_marks(MARK_HOUSE, MARK_OBJ | 0x100u); // bits above 8 are ignored
  EXPECT_EQ(s.marks(), MARK_HOUSE | MARK_WATER);
  s.clear_top();
  EXPECT_EQ(s.top_color.u, 0u);
  EXPECT_EQ(s.surface_type(), ST_OPEN);
  EXPECT_EQ(s.house_tile(), 25);
  EXPECT_EQ(s.ground_type(), GT_SOIL);
}

TEST(Heightmap, WrapCoordGivesTheNearestCopy)
{
  EXPECT_EQ(wrap_coord(128.f), 128.f);
  EXPECT_EQ(wrap_coord(129.f), -127.f);
  EXPECT_EQ(wrap_coord(256.f), 0.f);
  EXPECT_EQ(wrap_coord(-300.f), -44.f);
  EXPECT_NEAR(wrap_coord(-200.f), 56.f, 1e-4f);
  // Half the world either way is the same copy: +128.
  EXPECT_EQ(wrap_coord(-128.f), 128.f);
}
