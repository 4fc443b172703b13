#include <emmintrin.h>
#include "world/heightmap.h"

// The morph step of one height toward its target: the height moves by |t - h| * k + dt
// (k = min(0.2 dt, 1)), keeping the sign of t - h, and lands exactly on t once the step
// would reach or pass it. Four cells at once; every lane is computed independently, so
// the result of a cell never depends on its neighbours or on the vector width.
static inline __m128 morph_step4(__m128 h, __m128 t, __m128 k, __m128 dt)
{
  const __m128 sign = _mm_set1_ps(-0.f);
  __m128 d = _mm_sub_ps(t, h);
  __m128 a = _mm_andnot_ps(sign, d);
  __m128 s = _mm_add_ps(_mm_mul_ps(a, k), dt);
  __m128 lands = _mm_cmpge_ps(s, a);
  __m128 moved = _mm_add_ps(h, _mm_or_ps(s, _mm_and_ps(d, sign)));
  return _mm_or_ps(_mm_and_ps(lands, t), _mm_andnot_ps(lands, moved));
}

// Lanes whose height is within 0.001 of its target (a NaN difference never is).
static inline __m128 at_rest4(__m128 h, __m128 t)
{
  const __m128 abs_mask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  return _mm_cmplt_ps(_mm_and_ps(_mm_sub_ps(t, h), abs_mask), _mm_set1_ps(0.001f));
}

static inline float morph_k(float dt)
{
  float k = 0.2f * dt;
  return k < 1.f ? k : 1.f;
}

void HeightmapData::updateHmap(float dt)
{
  const __m128 k = _mm_set1_ps(morph_k(dt));
  const __m128 vdt = _mm_set1_ps(dt);
  float *h = hmap;
  const float *t = target_hmap;
  // A map at rest is the common case: test 16 cells (four groups) per iteration and
  // look at single groups only where one of them moves. A group at rest is skipped
  // either way, so the coarse test only saves time.
  for (int i = 0; i < HMAP_CELLS; i += 16)
  {
    __m128 h0 = _mm_load_ps(h + i), t0 = _mm_load_ps(t + i);
    __m128 h1 = _mm_load_ps(h + i + 4), t1 = _mm_load_ps(t + i + 4);
    __m128 h2 = _mm_load_ps(h + i + 8), t2 = _mm_load_ps(t + i + 8);
    __m128 h3 = _mm_load_ps(h + i + 12), t3 = _mm_load_ps(t + i + 12);
    __m128 r0 = at_rest4(h0, t0), r1 = at_rest4(h1, t1);
    __m128 r2 = at_rest4(h2, t2), r3 = at_rest4(h3, t3);
    __m128 all = _mm_and_ps(_mm_and_ps(r0, r1), _mm_and_ps(r2, r3));
    if (__builtin_expect(_mm_movemask_ps(all) == 15, 1))
      continue;
    if (_mm_movemask_ps(r0) != 15)
      _mm_store_ps(h + i, morph_step4(h0, t0, k, vdt));
    if (_mm_movemask_ps(r1) != 15)
      _mm_store_ps(h + i + 4, morph_step4(h1, t1, k, vdt));
    if (_mm_movemask_ps(r2) != 15)
      _mm_store_ps(h + i + 8, morph_step4(h2, t2, k, vdt));
    if (_mm_movemask_ps(r3) != 15)
      _mm_store_ps(h + i + 12, morph_step4(h3, t3, k, vdt));
  }
}

void HeightmapData::morphHmap(float dt, float *out)
{
  const __m128 k = _mm_set1_ps(morph_k(dt));
  const __m128 vdt = _mm_set1_ps(dt);
  for (int i = 0; i < HMAP_CELLS; i += 4)
    _mm_storeu_ps(out + i, morph_step4(_mm_load_ps(hmap + i), _mm_load_ps(target_hmap + i), k, vdt));
}
