#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include "world/det_math.h"

namespace
{

float ulp_diff(float a, double exact)
{
  float e = float(exact);
  float gap = std::nextafter(std::fabs(e), INFINITY) - std::fabs(e);
  return float(std::fabs(double(a) - exact) / gap);
}

TEST(DetMath, ExpIsAccurateAndExactAtZero)
{
  EXPECT_EQ(det_expf(0.f), 1.f);
  EXPECT_EQ(det_expf(-0.f), 1.f);
  float worst = 0.f;
  for (float x = -87.f; x <= 88.5f; x += 0.0137f)
    worst = std::fmax(worst, ulp_diff(det_expf(x), std::exp(double(x))));
  for (float x = -1e-3f; x <= 1e-3f; x += 1.3e-6f)
    worst = std::fmax(worst, ulp_diff(det_expf(x), std::exp(double(x))));
  EXPECT_LE(worst, 2.f);
  EXPECT_EQ(det_expf(-200.f), 0.f);
  EXPECT_EQ(det_expf(100.f), INFINITY);
  EXPECT_EQ(det_expf(-INFINITY), 0.f);
  EXPECT_TRUE(std::isnan(det_expf(NAN)));
  // the four lanes are independent
  alignas(16) float out[4];
  _mm_store_ps(out, det_exp4(_mm_setr_ps(0.f, 1.f, -2.5f, 10.f)));
  EXPECT_EQ(out[0], 1.f);
  EXPECT_EQ(out[1], det_expf(1.f));
  EXPECT_EQ(out[2], det_expf(-2.5f));
  EXPECT_EQ(out[3], det_expf(10.f));
}

TEST(DetMath, SineAndCosineOverFullTurns)
{
  double worst = 0;
  for (float a = -13.f; a <= 13.f; a += 0.00173f)
  {
    float s, c;
    det_sincosf(a, s, c);
    worst = std::fmax(worst, std::fabs(s - std::sin(double(a))));
    worst = std::fmax(worst, std::fabs(c - std::cos(double(a))));
  }
  EXPECT_LE(worst, 6e-8);
  float s, c;
  det_sincosf(0.f, s, c);
  EXPECT_EQ(s, 0.f);
  EXPECT_EQ(c, 1.f);
}

} // namespace
