#include <gtest/gtest.h>
#include "core/dyn_array.h"

TEST(DynArray, GrowthDoublesOrJumpsToNeededPlusEight)
{
  DynArray<int> a;
  a.push(1);
  EXPECT_EQ(a.capacity(), 9); // 0*2 is too small: needed (1) + 8
  for (int i = 0; i < 8; i++)
    a.push(i);
  EXPECT_EQ(a.capacity(), 9);
  a.push(9);
  EXPECT_EQ(a.capacity(), 18); // doubles
  a.append(nullptr, 40);       // 36 is too small for 50: 50 + 8
  EXPECT_EQ(a.capacity(), 58);
  EXPECT_EQ(a.size(), 50);
  a.reserve(10); // never shrinks
  EXPECT_EQ(a.capacity(), 58);
  a.reserve(100);
  EXPECT_EQ(a.capacity(), 100);
}

TEST(DynArray, InsertAndEraseForms)
{
  DynArray<int> a;
  for (int i = 0; i < 6; i++)
    a.push(i);
  a.insert(0, 100);
  a.insert(a.size(), 200);
  EXPECT_EQ(a[0], 100);
  EXPECT_EQ(a[7], 200);
  a.erase(0);
  a.erase(a.size() - 1);
  a.erase(1, 2); // 0 3 4 5
  ASSERT_EQ(a.size(), 4);
  EXPECT_EQ(a[0], 0);
  EXPECT_EQ(a[1], 3);
  EXPECT_EQ(a[3], 5);
  a.eraseFast(0); // last moves into the gap: 5 3 4
  ASSERT_EQ(a.size(), 3);
  EXPECT_EQ(a[0], 5);
  EXPECT_EQ(a[1], 3);
  a.eraseFast(1, 2);
  ASSERT_EQ(a.size(), 1);
  EXPECT_EQ(a[0], 5);
}

TEST(DynArray, InsertFromOwnStorageSurvivesReallocation)
{
  DynArray<int> a;
  for (int i = 0; i < 9; i++)
    a.push(i);
  ASSERT_EQ(a.capacity(), 9);
  a.insert(0, a.data(), 9); // source moves during the insert
  ASSERT_EQ(a.size(), 18);
  for (int i = 0; i < 18; i++)
    EXPECT_EQ(a[i], i % 9);
  a.push(a[3]); // reference into a buffer that grows
  EXPECT_EQ(a.back(), 3);
}

TEST(DynArrayDeath, OutOfRangeIsFatal)
{
  EXPECT_EXIT(
    {
      DynArray<int> a;
      a.insert(1, 5);
    },
    ::testing::ExitedWithCode(100), "failed ASSERT\\(at>=0 && at<=num\\)");
  EXPECT_EXIT(
    {
      DynArray<int> a;
      a.push(1);
      a.erase(0, 2);
    },
    ::testing::ExitedWithCode(100), "failed ASSERT\\(at\\+n<=num\\)");
  EXPECT_EXIT(
    {
      DynArray<int> a;
      a.pop();
    },
    ::testing::ExitedWithCode(100), "failed ASSERT\\(num>0\\)");
}
