#include "world/erosion.h"
#include <cmath>
#include <cstdint>
#include <emmintrin.h>
#include "core/clock.h"
#include "core/log.h"
#include "core/splash.h"
#include "world/det_math.h"
#include "world/world_rnd.h"

// Droplet erosion. Each droplet runs downhill from a random grid corner, one cell length
// per step, carrying sediment and a sediment colour; it erodes with a radius-2 brush
// where it has spare capacity and deposits bilinearly on the four corners of its cell
// where it has too much, or where it must fill a pit. All state is local to the call;
// the only heap data touched is the grids and the reaction list.

using Surface = HeightmapData::Surface;
using Reaction = HeightmapData::ErosionReaction;

namespace
{

constexpr int MAX_STEPS = 1024;
constexpr unsigned SPLASH_INTERVAL = 16384;
constexpr float PIT_MARGIN = 0.001f;
constexpr float BRUSH_NORM = 0.15915494f; // 1 / (2 pi): the radius-2 brush sums to about 1
constexpr float TWO_PI = 6.2831855f;
constexpr float MIN_DIR_LENGTH = 1.1920929e-7f; // 2^-23

// Colours as (r, g, b, a) in [0, 1]; the same arithmetic as color_to_vec4f and
// vec4f_to_color, four lanes at once.
inline __m128 unpack_color(uint32_t c)
{
  const __m128i zero = _mm_setzero_si128();
  __m128i v = _mm_cvtsi32_si128(int(c));
  v = _mm_unpacklo_epi16(_mm_unpacklo_epi8(v, zero), zero); // b, g, r, a
  __m128 f = _mm_cvtepi32_ps(v);
  f = _mm_shuffle_ps(f, f, _MM_SHUFFLE(3, 0, 1, 2));
  return _mm_div_ps(f, _mm_set1_ps(255.f));
}

inline uint32_t pack_color(__m128 c)
{
  c = _mm_min_ps(_mm_max_ps(c, _mm_setzero_ps()), _mm_set1_ps(1.f)); // NaN becomes 0
  __m128i i = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(c, _mm_set1_ps(255.f)), _mm_set1_ps(0.5f)));
  i = _mm_shuffle_epi32(i, _MM_SHUFFLE(3, 0, 1, 2)); // b, g, r, a
  i = _mm_packs_epi32(i, i);
  i = _mm_packus_epi16(i, i);
  return uint32_t(_mm_cvtsi128_si32(i));
}

inline __m128 to_m128(vec4f v) { return _mm_load_ps(&v.x); }
inline vec4f to_vec4f(__m128 v)
{
  vec4f r;
  _mm_store_ps(&r.x, v);
  return r;
}

// c^n for n >= 1 by repeated squaring; n <= 0 gives 1.
inline float ipow(float c, int n)
{
  if (n <= 1) // the usual orders 0 and 1
    return n == 1 ? c : 1.f;
  float r = 1.f;
  while (n > 0)
  {
    if (n & 1)
      r *= c;
    n >>= 1;
    if (n)
      c *= c;
  }
  return r;
}

// Exact floor for the range of an int; beyond it (a NaN height, say) the conversion
// yields INT_MIN, so neighbouring coordinates are formed with wrapping arithmetic
// (cell_add) and still address valid, if meaningless, cells.
inline int floor_i(float v)
{
  int i = _mm_cvttss_si32(_mm_set_ss(v));
  return i - (v < float(i));
}

inline int cell_add(int c, int d) { return int(unsigned(c) + unsigned(d)); }

__m128 react(__m128 c, const Reaction *rx, int count, float T)
{
  for (int step = 0; step < 10; step++)
  {
    alignas(16) float cc[4];
    _mm_store_ps(cc, c);
    __m128 v = _mm_setzero_ps();
    for (int k = 0; k < count; k++)
    {
      const Reaction &r = rx[k];
      float p = ipow(cc[0], r.order[0]) * ipow(cc[1], r.order[1]) * ipow(cc[2], r.order[2]) * ipow(cc[3], r.order[3]);
      v = _mm_add_ps(v, _mm_mul_ps(to_m128(r.rate), _mm_set1_ps(p)));
    }
    alignas(16) float vv[4];
    _mm_store_ps(vv, v);
    float len = T;
    for (int ch = 0; ch < 4; ch++)
      if (vv[ch] < 0.f)
      {
        float until_zero = (0.f - cc[ch]) / vv[ch];
        if (until_zero < len)
          len = until_zero;
      }
    c = _mm_add_ps(c, _mm_mul_ps(v, _mm_set1_ps(len)));
    T -= len;
    if (T <= 0.f)
      break;
  }
  return c;
}

struct Erosion
{
  float *hm;
  Surface *surf;
  float blend;
  const Reaction *reactions;
  int reaction_count;
  float reaction_time;

  // Deposit A at fractions (fx, fz) of the cell whose corners are idx[0..3], in the
  // order (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1). Each corner's share a raises
  // it, buries every layer but grass, moves the ground colour toward the carried colour
  // by 1 - e^(-a * depositBlend) and lets the reactions run on it. The four corners are
  // distinct cells, so they are worked on side by side.
  __attribute__((always_inline)) void deposit(float A, const int idx[4], float fx, float fz, __m128 sed_col) const
  {
    const float gx = 1.f - fx, gz = 1.f - fz;
    const float share[4] = {A * gx * gz, A * fx * gz, A * gx * fz, A * fx * fz};
    const __m128 a = _mm_setr_ps(share[0], share[1], share[2], share[3]);
    // t = 1 - e^(-a blend); a share of 0 gives t = 0 exactly and leaves the colour alone
    alignas(16) float t[4];
    _mm_store_ps(
      t, _mm_sub_ps(_mm_set1_ps(1.f), det_exp4(_mm_xor_ps(_mm_mul_ps(a, _mm_set1_ps(blend)), _mm_set1_ps(-0.f)))));
    __m128 col[4];
    for (int k = 0; k < 4; k++)
    {
      const int cell = idx[k];
      hm[cell] += share[k];
      Surface &s = surf[cell];
      if (s.surface_type() != ST_GRASS)
        s.clear_top();
      const __m128 c = unpack_color(s.color);
      col[k] = _mm_add_ps(c, _mm_mul_ps(_mm_sub_ps(sed_col, c), _mm_set1_ps(t[k])));
    }
    if (reaction_count > 0)
      for (int k = 0; k < 4; k++)
        col[k] = react(col[k], reactions, reaction_count, reaction_time);
    for (int k = 0; k < 4; k++)
      surf[idx[k]].color = pack_color(col[k]);
  }

  // Takes E from the cells within distance 2 of (px, pz), rows then columns, stripping
  // their layers and mixing their colours into the sediment colour. s is the sediment
  // carried before this erosion. The brush weights of the 4 x 4 block are computed four
  // at a time; the cells with a positive weight are then visited in order.
  __m128 erode(float E, int ix, int iz, float px, float pz, float s, __m128 sed_col) const
  {
    // Cells outside the brush take part as no-ops (share 0, keep 1, give 0, layer
    // untouched), which leaves every value exactly as skipping them would, and spares
    // the unpredictable branches of a variable-length walk.
    alignas(16) float share[16], keep[16], give[16];
    alignas(16) uint32_t inside[16];
    const __m128 one = _mm_set1_ps(1.f), zero = _mm_setzero_ps(), vs = _mm_set1_ps(s);
    __m128 di = _mm_sub_ps(
      _mm_setr_ps(float(cell_add(ix, -1)), float(ix), float(cell_add(ix, 1)), float(cell_add(ix, 2))), _mm_set1_ps(px));
    const __m128 di2 = _mm_mul_ps(di, di);
    for (int r = 0; r < 4; r++)
    {
      const float dj = float(cell_add(iz, r - 1)) - pz;
      // x / 4 and x * 0.25 round the same real number: identical
      const __m128 w = _mm_sub_ps(one, _mm_mul_ps(_mm_add_ps(di2, _mm_set1_ps(dj * dj)), _mm_set1_ps(0.25f)));
      const __m128 in = _mm_cmpgt_ps(w, zero);
      const __m128 a = _mm_mul_ps(_mm_mul_ps(w, _mm_set1_ps(BRUSH_NORM)), _mm_set1_ps(E));
      const __m128 sum = _mm_add_ps(a, vs);
      // with no material on either side (sum 0) the sediment keeps its colour
      const __m128 nonzero = _mm_and_ps(in, _mm_cmpneq_ps(sum, zero));
      const __m128 k = _mm_or_ps(_mm_and_ps(nonzero, _mm_div_ps(vs, sum)), _mm_andnot_ps(nonzero, one));
      _mm_store_ps(share + 4 * r, _mm_and_ps(in, a));
      _mm_store_ps(keep + 4 * r, k);
      _mm_store_ps(give + 4 * r, _mm_and_ps(in, _mm_sub_ps(one, k)));
      _mm_store_ps(reinterpret_cast<float *>(inside) + 4 * r, in);
    }
    for (int r = 0; r < 4; r++)
    {
      const int row = (cell_add(iz, r - 1) & HMAP_MASK) << HMAP_SIZE_SHIFT;
      for (int i = 0; i < 4; i++)
      {
        const int b = 4 * r + i;
        const int cell = row | (cell_add(ix, i - 1) & HMAP_MASK);
        hm[cell] -= share[b];
        Surface &c = surf[cell];
        c.bits &= ~(Surface::SURFACE_TYPE_MASK & inside[b]);
        c.top_color = c.top_color & ~inside[b];
        sed_col = _mm_add_ps(_mm_mul_ps(sed_col, _mm_set1_ps(keep[b])),
                             _mm_mul_ps(unpack_color(c.color), _mm_set1_ps(give[b])));
      }
    }
    return sed_col;
  }
};

inline void corner_indices(int ix, int iz, int idx[4])
{
  const int r0 = (iz & HMAP_MASK) << HMAP_SIZE_SHIFT, r1 = (cell_add(iz, 1) & HMAP_MASK) << HMAP_SIZE_SHIFT;
  const int c0 = ix & HMAP_MASK, c1 = cell_add(ix, 1) & HMAP_MASK;
  idx[0] = r0 | c0;
  idx[1] = r0 | c1;
  idx[2] = r1 | c0;
  idx[3] = r1 | c1;
}

} // namespace

vec4f run_color_reactions(vec4f c, const HeightmapData::ErosionReaction *reactions, int count, float T)
{
  if (count <= 0 || !(T > 0.f))
    return c;
  return to_vec4f(react(to_m128(c), reactions, count, T));
}

void HeightmapData::genDropletErosion(unsigned count, ErosionParams &params)
{
  const int64_t t0 = get_ref_time();
  const float Kq = params.Kq, Kr = params.Kr, Kd = params.Kd, Ki = params.Ki;
  const float minSlope = params.minSlope, g2 = 2.f * params.g, keep_water = 1.f - params.Kw;
  Erosion ctx;
  ctx.hm = hmap;
  ctx.surf = surface;
  ctx.blend = params.depositBlend;
  ctx.reaction_time = params.reactionTime;
  ctx.reactions = params.reactions.ptr;
  ctx.reaction_count = params.reactionTime > 0.f ? params.reactions.num : 0;
  float *hm = hmap;

  uint64_t total_steps = 0, long_paths = 0, random_dirs = 0;
  WorldRnd rnd;
  for (unsigned n = 0; n < count; n++)
  {
    if (n != 0 && n % SPLASH_INTERVAL == 0)
    {
      rnd.commit(); // the splash frame may draw from the game generator too
      splash_hooks.show("Calculating erosion", (float(n) + 0.5f) / float(count));
      rnd.state = game_rnd_seed;
    }
    const uint32_t r1 = rnd.next(), r2 = rnd.next();
    int ix = int(r1 & HMAP_MASK), iz = int(r2 & HMAP_MASK);
    float px = float(ix), pz = float(iz), fx = 0.f, fz = 0.f;
    int idx[4];
    corner_indices(ix, iz, idx);
    float h00 = hm[idx[0]], h10 = hm[idx[1]], h01 = hm[idx[2]], h11 = hm[idx[3]];
    float h = h00;
    float dx = 0.f, dz = 0.f, speed = 0.f, water = 1.f, sed = 0.f;
    __m128 sed_col = _mm_setzero_ps();
    int steps = 0;
    for (;;)
    {
      const float gx = (h00 + h01) - (h10 + h11);
      const float gz = (h00 + h10) - (h01 + h11);
      dx = gx + (dx - gx) * Ki;
      dz = gz + (dz - gz) * Ki;
      const float len = std::sqrt(dx * dx + dz * dz);
      if (len <= MIN_DIR_LENGTH)
      {
        const float a = float(rnd.next()) / 4294967296.f * TWO_PI;
        det_sincosf(a, dz, dx);
        random_dirs++;
      }
      else
      {
        dx = dx / len;
        dz = dz / len;
      }

      const float qx = px + dx, qz = pz + dz;
      const int nix = floor_i(qx), niz = floor_i(qz);
      const float nfx = qx - float(nix), nfz = qz - float(niz);
      int nidx[4];
      corner_indices(nix, niz, nidx);
      const float n00 = hm[nidx[0]], n10 = hm[nidx[1]], n01 = hm[nidx[2]], n11 = hm[nidx[3]];
      const float top = n00 + (n10 - n00) * nfx;
      const float bot = n01 + (n11 - n01) * nfx;
      const float h_new = top + (bot - top) * nfz;
      float d = h - h_new;

      if (h_new >= h)
      {
        const float f = h_new - h + PIT_MARGIN;
        if (sed <= f)
        {
          ctx.deposit(sed, idx, fx, fz, sed_col);
          break;
        }
        ctx.deposit(f, idx, fx, fz, sed_col);
        sed -= f;
        d = PIT_MARGIN;
        speed = 0.f;
      }

      const float cap = (d > minSlope ? d : minSlope) * speed * water * Kq;
      if (sed - cap >= 0.f)
      {
        const float D = (sed - cap) * Kd;
        ctx.deposit(D, idx, fx, fz, sed_col);
        sed -= D;
        d += D;
      }
      else
      {
        const float spare = (cap - sed) * Kr, most = 0.99f * d;
        const float E = most < spare ? most : spare;
        sed_col = ctx.erode(E, ix, iz, px, pz, sed, sed_col);
        sed += E;
        d -= E;
      }
      speed = std::sqrt(d * g2 + speed * speed);
      water = water * keep_water;

      px = qx;
      pz = qz;
      ix = nix;
      iz = niz;
      fx = nfx;
      fz = nfz;
      h = h_new;
      h00 = n00;
      h10 = n10;
      h01 = n01;
      h11 = n11;
      for (int k = 0; k < 4; k++)
        idx[k] = nidx[k];
      if (++steps == MAX_STEPS)
      {
        debug("droplet #%d path is too long!", int(n));
        long_paths++;
        break;
      }
    }
    total_steps += unsigned(steps);
  }
  rnd.commit();

  const int64_t elapsed = get_ref_time() - t0;
  const float secs = get_time_sec(elapsed);
  debug("computed %7d erosion droplets in %6u ms, %.0f droplets/s", int(count), unsigned(get_time_msec(elapsed)),
        secs > 0.f ? double(count) / double(secs) : 0.0);
  debug("  %.2f average path length, %llu long paths cut, %llu random directions picked",
        count ? double(total_steps) / double(count) : 0.0, (unsigned long long)long_paths,
        (unsigned long long)random_dirs);
}
