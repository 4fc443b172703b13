#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include "core/ramp.h"

TEST(Ramp, GetHitsTheEndsAndTheMiddleExactly)
{
  FloatRamp f;
  for (int i = 0; i < RAMP_SAMPLES; i++)
    f.samples[i] = float(i * i) * 0.37f;
  EXPECT_EQ(f.get(0.f), f.samples[0]);
  EXPECT_EQ(f.get(-5.f), f.samples[0]);
  EXPECT_EQ(f.get(1.f), f.samples[256]);
  EXPECT_EQ(f.get(7.f), f.samples[256]);
  EXPECT_EQ(f.get(0.5f), f.samples[128]);
  EXPECT_FLOAT_EQ(f.get(1.5f / 256.f), (f.samples[1] + f.samples[2]) / 2.f);
  EXPECT_EQ(f.get(NAN), f.samples[0]); // never indexes outside the table
  EXPECT_EQ(f.get(INFINITY), f.samples[256]);

  ColorRamp c;
  for (int i = 0; i < RAMP_SAMPLES; i++)
    c.samples[i] = vec4f(float(i), float(-i), 0.5f, 1.f);
  EXPECT_EQ(c.get(0.5f), c.samples[128]);
  vec4f q = c.get(10.25f / 256.f);
  EXPECT_FLOAT_EQ(q.x, 10.25f);
  EXPECT_FLOAT_EQ(q.y, -10.25f);
  EXPECT_EQ(q.z, 0.5f);
  EXPECT_EQ(c.get(NAN), c.samples[0]);
}

TEST(Ramp, Shapes)
{
  FloatRamp lin(0.f, 1.f);
  for (int k = 0; k <= 1000; k++)
  {
    float t = float(k) / 1000.f;
    ASSERT_NEAR(lin.get(t), t, 1e-6f);
  }
  FloatRamp size(0.5f, 4.f);
  EXPECT_EQ(size.samples[0], 0.5f);
  EXPECT_EQ(size.samples[256], 4.f);
  EXPECT_EQ(size.samples[64], 0.5f + 3.5f * 0.25f);

  FloatRamp sq;
  sq.fill([](float t) { return t * t; });
  EXPECT_EQ(sq.samples[128], 0.25f);
  EXPECT_EQ(sq.samples[256], 1.f);
  EXPECT_EQ(sq.at(64.f), 1.f / 16.f);

  FloatRamp k(2.5f);
  for (float s : k.samples)
    ASSERT_EQ(s, 2.5f);

  FloatRamp flat(1.f, 3.f, 5.f, 0.f, 0.f);
  for (float s : flat.samples)
    ASSERT_EQ(s, 3.f);

  // Overlapping fades: rising wins up to fadeIn; the falling part starts only after
  // t = 1 - fadeOut (strictly), so sample 230 (t ~ 0.898) still rises, 231 falls.
  ColorRamp rev(D3dColor(0x00FFFFFFu), D3dColor(0xFFFFFFFFu), D3dColor(0x00FFFFFFu), 0.9f, 0.1f);
  EXPECT_EQ(rev.samples[0].w, 0.f);
  EXPECT_EQ(rev.samples[0].x, 1.f);
  EXPECT_GT(rev.samples[230].w, rev.samples[229].w);
  EXPECT_LT(rev.samples[230].w, 1.f);
  EXPECT_LT(rev.samples[231].w, rev.samples[230].w);
  EXPECT_LT(rev.samples[232].w, rev.samples[231].w);
  EXPECT_EQ(rev.samples[256].w, 0.f);

  ColorRamp std_fade(D3dColor(0u), D3dColor(0xFFFFFFFFu), D3dColor(0u), 0.1f, 0.9f);
  EXPECT_EQ(std_fade.samples[0], vec4f(0.f));
  EXPECT_LT(std_fade.samples[20].w, 1.f);
  EXPECT_GT(std_fade.samples[30].w, std_fade.samples[40].w); // falls from t = 0.1 on
}

TEST(Ramp, PackedColoursConvertByChannel)
{
  EXPECT_EQ(ramp_color_to_vec4f(D3dColor(0xFF0000FFu)), vec4f(0.f, 0.f, 1.f, 1.f));
  EXPECT_EQ(ramp_color_to_vec4f(D3dColor(0xFFFFFFFFu)), vec4f(1.f));
  vec4f c = ramp_color_to_vec4f(D3dColor(0x80402010u));
  EXPECT_FLOAT_EQ(c.x, 64.f / 255.f);
  EXPECT_FLOAT_EQ(c.y, 32.f / 255.f);
  EXPECT_FLOAT_EQ(c.z, 16.f / 255.f);
  EXPECT_FLOAT_EQ(c.w, 128.f / 255.f);
}

namespace
{
int count_of(const std::string &s, const std::string &what)
{
  int n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1))
    n++;
  return n;
}
} // namespace

TEST(Ramp, DumpWritesAStaticTable)
{
  FloatRamp f(0.f, 1.f);
  testing::internal::CaptureStdout();
  f.dump("my_size");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("\nstatic FloatRamp my_size=\n{\n ", 0), 0u);
  EXPECT_EQ(count_of(out, ","), 257);
  EXPECT_EQ(count_of(out, "\n "), 1 + 32); // the opening line, then one per full line of 8
  EXPECT_NE(out.find(" 0.5,"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 8), " 1,\n};\n\n");

  ColorRamp c(vec4f(0.f), vec4f(1.f), vec4f(0.f), 0.f, 0.f);
  testing::internal::CaptureStdout();
  c.dump("glow");
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(count_of(out, " make4f(1, 1, 1, 1),"), 257);
  EXPECT_EQ(count_of(out, "\n "), 1 + 64);
  EXPECT_EQ(out.substr(out.size() - 5), "\n};\n\n");
}
