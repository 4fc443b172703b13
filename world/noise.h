#pragma once
#include <cmath>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include "core/engine_api.h"
#include "core/point2.h"

struct FloatRamp;

// Seeded noise shared by all terrain generation. noise_perm and noise_cell_points change
// only in reseed_noise; the same game_rnd_seed before a reseed gives the same tables.

// 0..255: a permutation of 0..255; 256..511 repeat it, so a + noise_perm[b] (a, b <= 255)
// never needs a wrap.
extern ENGINE_API uint8_t noise_perm[512];
// The feature point of each voronoi cell hash, both components in [0, 1] (x, then y in z).
extern ENGINE_API Point2 noise_cell_points[256];

// Rebuilds both tables from game_rnd_seed (1536 draws) and stores the advanced seed.
ENGINE_API void reseed_noise();

// floor(v) as the world computes it everywhere: v - 0.49999988 rounded to nearest. The
// subtraction is done in double: in float it rounds 3 - 0.49999988 to 2.5 and the
// even-rounding then floors every odd integer from 3 up one too low. Exact except for
// 0.99999994 (gives 1) and values within 1.2e-7 below 0 (give 0).
inline int noise_floor(float v)
{
#if defined(__SSE2__)
  return _mm_cvtsd_si32(_mm_set_sd(double(v) - 0.49999988));
#else
  return int(lrint(double(v) - 0.49999988));
#endif
}

// ceil by the same rule: v + 0.49999988 rounded to nearest.
inline int noise_ceil(float v) { return -noise_floor(-v); }

// Round to nearest, ties to even (the conversion the world uses for "nearest cell").
inline int noise_round(float v)
{
#if defined(__SSE__)
  return _mm_cvtss_si32(_mm_set_ss(v));
#else
  return int(lrintf(v));
#endif
}

ENGINE_API float noise1(float x);                              // 1D gradient noise, period 256
ENGINE_API float noise4(float x, float y, float z, float w);   // 4D simplex, about -1..1
ENGINE_API float tiled_noise2(float x, float y, float period); // repeats with period in x and y
// One axis of the torus that tiled_noise2 maps the plane onto: with a = c * 2pi / period
// and r = period / 2pi, rc = r cos a, rs = r sin a; tiled_noise2(x, y, p) is
// noise4(rc(x), rc(y), rs(x), rs(y)). Generators tabulate it per row and column.
ENGINE_API void torus_axis(float c, float period, float &rc, float &rs);
ENGINE_API float old_tiled_noise2(float x, float y, int tile); // tile: power of two <= 256

// Voronoi with tile = 1 << tileShift cells; ids are ((cy & (tile-1)) << 16) | (cx & (tile-1)).
// near4: the four nearest feature points, squared distances ascending. all9: the 3x3
// surrounding cells row by row. Any output may be null.
ENGINE_API void tiled_voronoi_noise2_near4(float x, float y, int tileShift, float dist[4], int ids[4],
                                           Point2 offsets[4]);
ENGINE_API void tiled_voronoi_noise2_all9(float x, float y, int tileShift, Point2 offsets[9], int ids[9]);

// Fractal sums: per octave the coordinates become 2c + 0.5 (and the period doubles);
// amplitudes 1, gain, gain^2, ... With a ramp, each raw octave value v is first replaced
// by ramp->get((v + 1) / 2).
ENGINE_API float fractal_noise1(float x, int octaves, const FloatRamp *ramp, float gain);
ENGINE_API float tiled_fractal_noise2(float x, float y, float period, int octaves, const FloatRamp *ramp, float gain);

ENGINE_API int get_noise_hash1(int i);
ENGINE_API int get_noise_hash2(int i, int j);
