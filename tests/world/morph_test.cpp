#include <cmath>
#include <gtest/gtest.h>
#include <vector>
#include "world/heightmap.h"
#include "world/world_rnd.h"

namespace
{

// The morph step written out plainly, cell by cell.
float ref_step(float h, float t, float dt)
{
  float d = t - h;
  float k = std::fmin(0.2f * dt, 1.f);
  float a = std::fabs(d);
  float s = a * k + dt;
  if (s >= a)
    return t;
  return d < 0.f ? h - s : h + s;
}

void fill_random(uint64_t seed, float spread)
{
  HeightmapData::reset();
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    HeightmapData::hmap[i] = (world_rnd_unit(seed) - 0.5f) * 40.f;
    HeightmapData::target_hmap[i] = HeightmapData::hmap[i] + (world_rnd_unit(seed) - 0.5f) * spread;
  }
}

TEST(Morph, StepsMatchTheCellRuleAndNeverOvershoot)
{
  fill_random(7, 30.f);
  std::vector<float> before(HeightmapData::hmap, HeightmapData::hmap + HMAP_CELLS);
  std::vector<float> out(HMAP_CELLS + 1);
  // an unaligned output array is fine
  HeightmapData::morphHmap(0.05f, out.data() + 1);
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_EQ(HeightmapData::hmap[i], before[i]) << "morphHmap must not touch hmap";
    float t = HeightmapData::target_hmap[i];
    float expect = ref_step(before[i], t, 0.05f);
    ASSERT_EQ(out[i + 1], expect) << i;
    // moves toward the target and never past it
    ASSERT_LE(std::fabs(t - out[i + 1]), std::fabs(t - before[i]));
    ASSERT_GE((t - out[i + 1]) * (t - before[i]), 0.f);
  }
  HeightmapData::updateHmap(0.05f);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(HeightmapData::hmap[i], out[i + 1]) << i; // every group moves here
}

TEST(Morph, KnownStepsAndLanding)
{
  HeightmapData::reset();
  HeightmapData::target_hmap[0] = 10.f; // 10 below its target
  HeightmapData::target_hmap[4] = -2.f;
  HeightmapData::updateHmap(0.1f);
  EXPECT_NEAR(HeightmapData::hmap[0], 0.3f, 1e-6f);
  EXPECT_NEAR(HeightmapData::hmap[4], -(2.f * 0.02f + 0.1f), 1e-6f);

  // dt >= 5: k = 1, every height lands on its target exactly
  fill_random(11, 100.f);
  HeightmapData::updateHmap(5.f);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(HeightmapData::hmap[i], HeightmapData::target_hmap[i]) << i;
}

TEST(Morph, GroupsOfFourRestTogether)
{
  HeightmapData::reset();
  // group 0..3: all within 0.001, so nobody moves
  for (int i = 0; i < 4; i++)
    HeightmapData::target_hmap[i] = 0.0005f;
  // group 4..7: one cell far off, so the near one lands on its target
  HeightmapData::target_hmap[4] = 0.0005f;
  HeightmapData::target_hmap[7] = 3.f;
  // group 40..43 at rest next to a moving group in the same 16-cell block
  HeightmapData::target_hmap[44] = -5.f;
  HeightmapData::hmap[41] = 1.f;
  HeightmapData::target_hmap[41] = 1.0009f;
  HeightmapData::updateHmap(0.05f);
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(HeightmapData::hmap[i], 0.f);
  EXPECT_EQ(HeightmapData::hmap[4], 0.0005f);
  EXPECT_EQ(HeightmapData::hmap[5], 0.f);
  EXPECT_EQ(HeightmapData::hmap[7], ref_step(0.f, 3.f, 0.05f));
  EXPECT_EQ(HeightmapData::hmap[41], 1.f);
  EXPECT_EQ(HeightmapData::hmap[44], ref_step(0.f, -5.f, 0.05f));
  // the last group of the map is visited too
  HeightmapData::target_hmap[HMAP_CELLS - 1] = 1.f;
  HeightmapData::updateHmap(0.05f);
  EXPECT_GT(HeightmapData::hmap[HMAP_CELLS - 1], 0.f);
}

TEST(Morph, ConvergesAndThenRests)
{
  fill_random(3, 8.f);
  for (int step = 0; step < 400; step++)
    HeightmapData::updateHmap(0.05f);
  // a group stops as a whole once all four cells are within 0.001; a cell that took its
  // last step with a moving neighbour sits exactly on its target
  std::vector<float> rest(HeightmapData::hmap, HeightmapData::hmap + HMAP_CELLS);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_LT(std::fabs(HeightmapData::hmap[i] - HeightmapData::target_hmap[i]), 0.001f) << i;
  HeightmapData::updateHmap(0.05f);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(HeightmapData::hmap[i], rest[i]) << i;
}

unsigned marks_at(int x, int z) { return HeightmapData::surf(x, z).marks(); }

int count_marked(unsigned bit)
{
  int n = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
    n += (HeightmapData::surface[i].marks() & bit) != 0;
  return n;
}

TEST(Marks, DiscSelection)
{
  HeightmapData::reset();
  mark_circle(10.4f, 20.6f, 1.f, MARK_OBJ, 0); // r <= 1: the rounded centre only
  EXPECT_EQ(count_marked(MARK_OBJ), 1);
  EXPECT_EQ(marks_at(10, 21), MARK_OBJ);

  HeightmapData::reset();
  mark_circle(10.f, 10.f, 1.5f, MARK_PLACE, 0); // diagonals at 2 < 2.25
  EXPECT_EQ(count_marked(MARK_PLACE), 9);
  for (int z = 9; z <= 11; z++)
    for (int x = 9; x <= 11; x++)
      EXPECT_EQ(marks_at(x, z), MARK_PLACE);

  HeightmapData::reset();
  mark_circle(10.f, 10.f, 1.4f, MARK_PLACE, 0); // 2 is not below 1.96: a plus sign
  EXPECT_EQ(count_marked(MARK_PLACE), 5);
  EXPECT_EQ(marks_at(9, 9), 0u);
  EXPECT_EQ(marks_at(10, 9), MARK_PLACE);

  // r = 3 on a grid point: the points at distance exactly 3 are outside
  HeightmapData::reset();
  mark_circle(0.f, 0.f, 3.f, MARK_HOUSE, 0);
  EXPECT_EQ(marks_at(2, 2), MARK_HOUSE);
  EXPECT_EQ(marks_at(3, 0), 0u);
  EXPECT_EQ(marks_at(253, 0), 0u);
  EXPECT_EQ(marks_at(254, 0), MARK_HOUSE); // wraps across the edge
  EXPECT_EQ(count_marked(MARK_HOUSE), 25);

  EXPECT_TRUE(test_circle_mark(0.f, 0.f, 3.f, MARK_HOUSE, MARK_HOUSE));
  EXPECT_FALSE(test_circle_mark(0.f, 0.f, 3.5f, MARK_HOUSE, MARK_HOUSE));
  EXPECT_TRUE(test_circle_mark(100.f, 100.f, 10.f, MARK_PLACEMENT, 0));

  // a radius larger than the map reaches every cell; a huge centre selects nothing
  mark_circle(5.f, 5.f, 1e6f, MARK_WATER, 0);
  EXPECT_EQ(count_marked(MARK_WATER), HMAP_CELLS);
  mark_circle(1e30f, 0.f, 5.f, 0, MARK_WATER);
  mark_circle(NAN, 0.f, 5.f, 0, MARK_WATER);
  EXPECT_EQ(count_marked(MARK_WATER), HMAP_CELLS);
}

TEST(Marks, RectanglesWrapClearThenSetAndTestLowBits)
{
  HeightmapData::reset();
  mark_rect(250, 0, 260, 0, MARK_OBJ, 0);
  EXPECT_EQ(count_marked(MARK_OBJ), 11);
  for (int x = 250; x <= 260; x++)
    EXPECT_EQ(marks_at(x, 0), MARK_OBJ) << x;
  EXPECT_EQ(marks_at(5, 0), 0u);

  EXPECT_TRUE(test_rect_mark(5, 5, 4, 4, 0xFF, 0x55)); // empty
  mark_rect(5, 5, 4, 4, MARK_OBJ, 0);
  EXPECT_EQ(count_marked(MARK_OBJ), 11);

  // clear first, then set: clearing and setting the same bit leaves it set
  mark_rect(0, 10, 3, 12, MARK_OBJ | MARK_WATER, 0);
  mark_rect(0, 10, 3, 12, MARK_OBJ, MARK_OBJ | MARK_WATER);
  EXPECT_EQ(marks_at(2, 11), MARK_OBJ);
  EXPECT_TRUE(test_rect_mark(0, 10, 3, 12, MARK_OBJ | MARK_WATER, MARK_OBJ));
  EXPECT_FALSE(test_rect_mark(0, 10, 4, 12, MARK_OBJ, MARK_OBJ));
  // bits above the low 8 do not count and never reach other fields
  HeightmapData::Surface before = HeightmapData::surf(2, 11);
  mark_rect(2, 11, 2, 11, 0xF00u, 0xF00u);
  EXPECT_EQ(HeightmapData::surf(2, 11).bits, before.bits);
  EXPECT_TRUE(test_rect_mark(2, 11, 2, 11, 0x1FFu | MARK_OBJ, 0x100u | MARK_OBJ));

  // a rectangle spanning billions of cells marks the map once, quickly
  mark_rect(-2000000000, -2000000000, 2000000000, 2000000000, MARK_PLACE, 0);
  EXPECT_EQ(count_marked(MARK_PLACE), HMAP_CELLS);
  EXPECT_TRUE(test_rect_mark(-2000000000, 0, 2000000000, 3, MARK_PLACE, MARK_PLACE));
}

} // namespace
