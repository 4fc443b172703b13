#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>

// Exponential, sine and cosine for the world simulation, built from plain IEEE
// operations. libm picks its kernels at run time by CPU features (with and without
// fused multiply-add), which can change the last bit of a result from one machine to
// the next; these give the same float everywhere.

// e^x in four lanes at once, with float operations only: x = k ln2 + r (Cody-Waite,
// |r| <= ln2 / 2), a degree-7 Taylor polynomial for e^r, and 2^k put into the exponent.
// About 1 ulp; e^0 is exactly 1; NaN stays NaN, below -87 gives 0, above 88.7 infinity.
inline __m128 det_exp4(__m128 x)
{
  const __m128 lo = _mm_set1_ps(-87.f), hi = _mm_set1_ps(88.7f);
  const __m128 tiny = _mm_cmplt_ps(x, lo), huge = _mm_cmpgt_ps(x, hi);
  const __m128 xc = _mm_min_ps(_mm_max_ps(x, lo), hi); // NaN becomes lo here; restored below
  const __m128i k = _mm_cvtps_epi32(_mm_mul_ps(xc, _mm_set1_ps(1.44269504f)));
  const __m128 fk = _mm_cvtepi32_ps(k);
  // ln2 = 0.693359375 - 2.12194440e-4; the first part has few bits, so fk * it is exact
  __m128 r = _mm_sub_ps(xc, _mm_mul_ps(fk, _mm_set1_ps(0.693359375f)));
  r = _mm_add_ps(r, _mm_mul_ps(fk, _mm_set1_ps(2.12194440e-4f)));
  __m128 p = _mm_set1_ps(1.f / 5040.f);
  p = _mm_add_ps(_mm_mul_ps(p, r), _mm_set1_ps(1.f / 720.f));
  p = _mm_add_ps(_mm_mul_ps(p, r), _mm_set1_ps(1.f / 120.f));
  p = _mm_add_ps(_mm_mul_ps(p, r), _mm_set1_ps(1.f / 24.f));
  p = _mm_add_ps(_mm_mul_ps(p, r), _mm_set1_ps(1.f / 6.f));
  p = _mm_add_ps(_mm_mul_ps(p, r), _mm_set1_ps(0.5f));
  p = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(p, r), r), r);
  p = _mm_add_ps(p, _mm_set1_ps(1.f));
  // 2^k in two halves so that k = 128 (just below 88.7) still scales without overflow
  const __m128i k1 = _mm_srai_epi32(k, 1), k2 = _mm_sub_epi32(k, k1);
  const __m128i bias = _mm_set1_epi32(127);
  const __m128 s1 = _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(k1, bias), 23));
  const __m128 s2 = _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(k2, bias), 23));
  __m128 e = _mm_mul_ps(_mm_mul_ps(p, s1), s2);
  e = _mm_andnot_ps(tiny, e);
  e = _mm_or_ps(_mm_andnot_ps(huge, e), _mm_and_ps(huge, _mm_set1_ps(INFINITY)));
  const __m128 nan = _mm_cmpunord_ps(x, x);
  return _mm_or_ps(_mm_andnot_ps(nan, e), _mm_and_ps(nan, x));
}

inline float det_expf(float x) { return _mm_cvtss_f32(det_exp4(_mm_set1_ps(x))); }

// sin and cos of an angle of moderate size (|a| well below 2^20), evaluated in double
// (relative error below 1e-13 before the final rounding to float).
inline void det_sincosf(float af, float &s, float &c)
{
  const double a = af;
  const int q = _mm_cvtsd_si32(_mm_set_sd(a * 0.6366197723675814)); // round(a / (pi/2))
  const double y = (a - double(q) * 1.5707963267948966) - double(q) * 6.123233995736766e-17;
  const double y2 = y * y;
  // Taylor series on |y| <= pi/4: terms to y^15 and y^14
  double sp = -1.0 / 1307674368000.0;
  sp = sp * y2 + 1.0 / 6227020800.0;
  sp = sp * y2 - 1.0 / 39916800.0;
  sp = sp * y2 + 1.0 / 362880.0;
  sp = sp * y2 - 1.0 / 5040.0;
  sp = sp * y2 + 1.0 / 120.0;
  sp = sp * y2 - 1.0 / 6.0;
  const double sy = y + y * y2 * sp;
  double cp = 1.0 / 87178291200.0;
  cp = cp * y2 - 1.0 / 479001600.0;
  cp = cp * y2 + 1.0 / 3628800.0;
  cp = cp * y2 - 1.0 / 40320.0;
  cp = cp * y2 + 1.0 / 720.0;
  cp = cp * y2 - 1.0 / 24.0;
  cp = cp * y2 + 0.5;
  const double cy = 1.0 - y2 * cp;
  switch (q & 3)
  {
  case 0:
    s = float(sy);
    c = float(cy);
    break;
  case 1:
    s = float(cy);
    c = float(-sy);
    break;
  case 2:
    s = float(-sy);
    c = float(-cy);
    break;
  default:
    s = float(-cy);
    c = float(sy);
    break;
  }
}
