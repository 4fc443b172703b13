#include <gtest/gtest.h>
#include "core/clock.h"
#include "core/d3dcolor.h"
#include "core/matrix44.h"
#include "core/temp_string.h"

TEST(Color, PackingRoundsAndClamps)
{
  D3dColor c = vec4f_to_color(vec4f(1.f, 0.5f, -3.f, 2.f));
  EXPECT_EQ(uint32_t(c), 0xFFFF8000u); // 0.5*255 = 127.5 rounds to 128
  vec4f v = color_to_vec4f(0x80FF0033u);
  EXPECT_FLOAT_EQ(v.x, 1.f);
  EXPECT_FLOAT_EQ(v.y, 0.f);
  EXPECT_FLOAT_EQ(v.z, 0x33 / 255.f);
  EXPECT_FLOAT_EQ(v.w, 0x80 / 255.f);
  EXPECT_EQ(uint32_t(vec4f_to_color(color_to_vec4f(0x12345678u))), 0x12345678u);
}

TEST(Color, HsvAndLchConversions)
{
  vec4f red = hsv2rgba(0, 1, 1, 1);
  EXPECT_EQ(red, vec4f(1, 0, 0, 1));
  vec4f green = hsv2rgba(120, 1, 1, 0.5f);
  EXPECT_NEAR(green.x, 0, 1e-5);
  EXPECT_NEAR(green.y, 1, 1e-5);
  EXPECT_NEAR(green.z, 0, 1e-5);
  EXPECT_EQ(green.w, 0.5f);
  EXPECT_EQ(hsv2rgba(360, 1, 1, 1), red);
  EXPECT_EQ(hsv2rgba(200, 0, 0.3f, 1), vec4f(0.3f, 0.3f, 0.3f, 1));

  vec4f white = lch2rgba(100, 0, 0, 1);
  EXPECT_NEAR(white.x, 1, 1e-3);
  EXPECT_NEAR(white.y, 1, 1e-3);
  EXPECT_NEAR(white.z, 1, 1e-3);
  EXPECT_EQ(lch2rgba(0, 0, 0, 1), vec4f(0, 0, 0, 1));
}

TEST(Matrix, RowVectorsMultiplyOnTheLeft)
{
  Matrix44 t = Matrix44::identity();
  t.setRow(3, vec4f(10, 20, 30, 1)); // translation lives in the last row
  Matrix44 s = Matrix44::identity();
  s.m[0][0] = 2;
  vec4f p = transform_point(vec4f(1, 1, 1, 0), t * s); // translate, then scale x
  EXPECT_FLOAT_EQ(p.x, 22.f);
  EXPECT_FLOAT_EQ(p.y, 21.f);
  Matrix44 inv;
  ASSERT_TRUE(inverse44(t * s, inv));
  vec4f q = transform_point(p, inv);
  EXPECT_NEAR(q.x, 1.f, 1e-5);
  EXPECT_NEAR(q.z, 1.f, 1e-5);
  Matrix44 z{};
  EXPECT_FALSE(inverse44(z, inv));
}

TEST(Clock, ConversionsUseSixtyFourBitProducts)
{
  int64_t f = get_ref_frequency();
  EXPECT_EQ(get_time_msec(f), 1000);
  EXPECT_EQ(get_time_usec(f / 20), 50000);
  EXPECT_FLOAT_EQ(get_time_sec(f / 2), 0.5f);
  // An hour of ticks times 1000000 still fits in 64 bits before the division.
  EXPECT_EQ(get_time_msec(f * 3600), 3600000);
}

TEST(TempString, CutsAtCapacity)
{
  TempString<8> t("0123456789");
  EXPECT_STREQ(t, "0123456");
  t.set("ab");
  t.append("cdefghij");
  EXPECT_STREQ(t, "abcdefg");
  EXPECT_STREQ(TempString<260>::printf("%s-%d", "x", 3), "x-3");
}
