#include <gtest/gtest.h>
#include "gameobj/gameobj.h"

namespace
{
class ProximityTest : public ::testing::Test
{
protected:
  GameObj objs[8];
  void TearDown() override
  {
    for (GameObj &o : objs)
      remove_proximity_object(&o);
    for (ProximityBin &b : proximity)
      EXPECT_TRUE(b.empty());
  }
  static std::vector<int> query(vec4f r, bool skip_global = false)
  {
    ProximityQuery q;
    q.proximityQuery(r, skip_global);
    return std::vector<int>(q.bins.begin(), q.bins.end());
  }
};

TEST_F(ProximityTest, FootprintPicksFineCoarseOrGlobalBin)
{
  EXPECT_EQ(proximity_bin_for(vec4f(1, 1, 7, 7)), 0);
  EXPECT_EQ(proximity_bin_for(vec4f(6, 1, 9, 2)), 1024); // coarse column 0 spans -4..12
  EXPECT_EQ(proximity_bin_for(vec4f(10, 10, 30, 30)), PROXIMITY_GLOBAL_BIN);
  EXPECT_EQ(proximity_bin_for(vec4f(17, 9, 18, 10)), 1 * 32 + 2);
  // The grids wrap every 256 units, negative coordinates included.
  EXPECT_EQ(proximity_bin_for(vec4f(257, 1, 258, 2)), 0);
  EXPECT_EQ(proximity_bin_for(vec4f(-1, -1, -0.5f, -0.5f)), 31 * 32 + 31);
  EXPECT_EQ(proximity_bin_for(vec4f(-3, -3, 3, 3)), 1024);                // fine cells -1 and 0, one coarse cell
  EXPECT_EQ(proximity_bin_for(vec4f(-10, 0, -5, 1)), 1024 + 15);          // coarse column -1
  EXPECT_EQ(proximity_bin_for(vec4f(-5, 0, 1, 1)), PROXIMITY_GLOBAL_BIN); // coarse columns -1 and 0
}

TEST_F(ProximityTest, FilingKeepsOrderWithinABinAndAppendsOnAMove)
{
  GameObj &a = objs[0], &b = objs[1], &c = objs[2];
  EXPECT_EQ(a.proximity_bin, -1);
  update_proximity(&a, vec4f(1, 1, 2, 2));
  update_proximity(&b, vec4f(3, 3, 4, 4));
  update_proximity(&c, vec4f(5, 5, 6, 6));
  ASSERT_EQ(proximity[0].size(), 3);

  update_proximity(&a, vec4f(2, 2, 3, 3)); // same bin: stays first
  EXPECT_EQ(proximity[0][0], &a);

  update_proximity(&a, vec4f(9, 1, 10, 2)); // to bin 1, out of bin 0 in order
  EXPECT_EQ(a.proximity_bin, 1);
  ASSERT_EQ(proximity[0].size(), 2);
  EXPECT_EQ(proximity[0][0], &b);
  EXPECT_EQ(proximity[0][1], &c);
  update_proximity(&a, vec4f(1, 1, 2, 2)); // back: at the end now
  EXPECT_EQ(proximity[0][2], &a);

  remove_proximity_object(&b);
  EXPECT_EQ(b.proximity_bin, -1);
  EXPECT_EQ(proximity[0][0], &c);
  remove_proximity_object(&b); // not filed: nothing happens
  remove_proximity_object(nullptr);
  EXPECT_EQ(proximity[0].size(), 2);
}

TEST_F(ProximityTest, QueryListsNonEmptyBinsUnderTheRectangle)
{
  update_proximity(&objs[0], vec4f(1, 1, 2, 2));         // fine 0
  update_proximity(&objs[1], vec4f(9, 1, 10, 2));        // fine 1
  update_proximity(&objs[2], vec4f(6, 1, 9, 2));         // coarse 1024
  update_proximity(&objs[3], vec4f(100, 100, 200, 200)); // global
  update_proximity(&objs[4], vec4f(100, 100, 101, 101)); // far away

  EXPECT_EQ(query(vec4f(0, 0, 12, 4)), (std::vector<int>{0, 1, 1024, 1280}));
  EXPECT_EQ(query(vec4f(0, 0, 12, 4), true), (std::vector<int>{0, 1, 1024}));
  EXPECT_EQ(query(vec4f(50, 50, 51, 51), true), (std::vector<int>{}));
  // Wider than the world: the cells repeat, and so do their bins.
  EXPECT_EQ(query(vec4f(1, 1, 260, 2), true), (std::vector<int>{0, 1, 0, 1024, 1024}));
  // Far-away and non-finite rectangles end.
  EXPECT_LE(query(vec4f(-1e9f, -1e9f, 1e9f, 1e9f)).size(), 200u * 200u);
  query(vec4f(NAN, 0, NAN, 4));

  ProximityQuery q;
  q.proximityQuery(vec4f(0, 0, 12, 4), false);
  std::vector<GameObj *> seen;
  while (GameObj *o = q.next())
    seen.push_back(o);
  EXPECT_EQ(seen, (std::vector<GameObj *>{&objs[0], &objs[1], &objs[2], &objs[3]}));
  EXPECT_EQ(q.next(), nullptr);
}
} // namespace
