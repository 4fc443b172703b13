#include <cmath>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include "world/heightmap.h"

// The water model: depths per cell, velocities on the faces between cells (vel_x on
// the face toward +x, vel_z on the face toward +z) and foam. One step is a velocity
// pass (semi-Lagrangian advection of the previous state in tmpw plus the pull of the
// level differences) and an in-place transport pass driven by the new velocities.

using Water = HeightmapData::Water;

namespace {

constexpr float LEVEL_PULL = 10.f;
constexpr float VELOCITY_DAMPING = 0.03f;
constexpr float FOAM_FROM_PULL = 3.2f;
constexpr float FOAM_FROM_BLOCKING = 0.01f;
constexpr float FOAM_DECAY = 5.f;
constexpr float TRANSPORT_RATE = 4.f;
constexpr float TRANSPORT_THRESHOLD = 0.001f;

inline __m128 load_rec(const Water &w) { return _mm_load_ps(&w.depth); }

// Exact floor for the range of an int; beyond it the conversion yields INT_MIN, which
// still addresses a valid (if meaningless) cell after wrapping.
inline int floor_i(float v)
{
  int i = _mm_cvttss_si32(_mm_set_ss(v));
  return i - (v < float(i));
}

inline float fmin_(float a, float b) { return b < a ? b : a; }

// Bilinear sample of whole water records at (px, pz) in the lattice of records:
// corners (i, j), (i + 1, j), (i, j + 1), (i + 1, j + 1); a + (b - a) f along x, then
// the same along z. All four fields are interpolated in one go.
inline __m128 sample_rec(const Water (*g)[HMAP_SIZE], float px, float pz)
{
  int i = floor_i(px), j = floor_i(pz);
  __m128 fx = _mm_set1_ps(px - float(i)), fz = _mm_set1_ps(pz - float(j));
  int i0 = i & HMAP_MASK, i1 = (i + 1) & HMAP_MASK;
  int j0 = j & HMAP_MASK, j1 = (j + 1) & HMAP_MASK;
  __m128 a = load_rec(g[j0][i0]), b = load_rec(g[j0][i1]);
  __m128 c = load_rec(g[j1][i0]), d = load_rec(g[j1][i1]);
  __m128 top = _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), fx));
  __m128 bot = _mm_add_ps(c, _mm_mul_ps(_mm_sub_ps(d, c), fx));
  return _mm_add_ps(top, _mm_mul_ps(_mm_sub_ps(bot, top), fz));
}

inline float lane1(__m128 v) { return _mm_cvtss_f32(_mm_shuffle_ps(v, v, 1)); }
inline float lane2(__m128 v) { return _mm_cvtss_f32(_mm_shuffle_ps(v, v, 2)); }
inline float lane3(__m128 v) { return _mm_cvtss_f32(_mm_shuffle_ps(v, v, 3)); }

} // namespace

void HeightmapData::simWater(float dt)
{
  std::memcpy(tmpw, water, sizeof(water));
  const float damp = std::fmax(1.f - VELOCITY_DAMPING * dt, 0.f);
  const float fdecay = std::fmax(1.f - FOAM_DECAY * dt, 0.f);
  const float pull_k = LEVEL_PULL * dt;
  const Water(*T)[HMAP_SIZE] = tmpw;

  // Velocity pass: every read from tmpw, every write to water. The depth does not
  // change here, so the transport pass's depth snapshot is taken on the way.
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    const int zm = (z - 1) & HMAP_MASK, zp = (z + 1) & HMAP_MASK;
    const float fz = float(z);
    const float *hrow = hmap + (z << HMAP_SIZE_SHIFT);
    const float *hrow_p = hmap + (zp << HMAP_SIZE_SHIFT);
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const int xm = (x - 1) & HMAP_MASK, xp = (x + 1) & HMAP_MASK;
      const Water &c = T[z][x], &r = T[z][xp], &l = T[z][xm];
      const Water &u = T[zp][x], &d = T[zm][x];
      const float hc = hrow[x], hr = hrow[xp], hu = hrow_p[x];
      const float Lc = hc + c.depth, Lr = hr + r.depth, Lu = hu + u.depth;

      // x-face between (x, z) and (x + 1, z)
      float vz = (c.vel_z + r.vel_z + d.vel_z + T[zm][xp].vel_z) / 4.f;
      __m128 sx = sample_rec(T, float(x) - c.vel_x * dt, fz - vz * dt);
      float pull_x = (Lc - Lr) * pull_k;
      float nvx = lane1(sx) * damp + pull_x;
      float foam_block = 0.f;
      if ((nvx >= 0.f && fmin_(c.depth, Lc - hr) <= 0.f) || (nvx < 0.f && fmin_(r.depth, Lr - hc) <= 0.f))
      {
        nvx = 0.f;
        foam_block += FOAM_FROM_BLOCKING;
      }

      // z-face between (x, z) and (x, z + 1)
      float ux = (l.vel_x + c.vel_x + T[zp][xm].vel_x + u.vel_x) / 4.f;
      __m128 sz = sample_rec(T, float(x) - ux * dt, fz - c.vel_z * dt);
      float pull_z = (Lc - Lu) * pull_k;
      float nvz = lane2(sz) * damp + pull_z;
      if ((nvz >= 0.f && fmin_(c.depth, Lc - hu) <= 0.f) || (nvz < 0.f && fmin_(u.depth, Lu - hc) <= 0.f))
      {
        nvz = 0.f;
        foam_block += FOAM_FROM_BLOCKING;
      }

      float around = 2.f * (lane3(sx) + lane3(sz)) + u.foam + l.foam + r.foam + d.foam;
      float foam = FOAM_FROM_PULL * (pull_x * pull_x + pull_z * pull_z) + foam_block + fdecay * (around / 8.f);
      Water &out = water[z][x];
      out.vel_x = nvx;
      out.vel_z = nvz;
      out.foam = fmin_(1.f, foam);
      depth_snapshot[(z << HMAP_SIZE_SHIFT) | x] = c.depth;
    }
  }

  // Transport pass, in place: a cell sends at most what it held at the start of the
  // pass, only toward faces flowing outward and never onto ground above its level.
  const float rate = TRANSPORT_RATE * dt;
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    const int zm = (z - 1) & HMAP_MASK, zp = (z + 1) & HMAP_MASK;
    const float *snap = depth_snapshot + (z << HMAP_SIZE_SHIFT);
    const float *hrow = hmap + (z << HMAP_SIZE_SHIFT);
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const float dep = snap[x];
      if (!(dep > 0.f))
        continue;
      const int xm = (x - 1) & HMAP_MASK, xp = (x + 1) & HMAP_MASK;
      const float lvl = hrow[x] + dep;
      Water &c = water[z][x];
      Water &wl = water[z][xm], &wd = water[zm][x], &wr = water[z][xp], &wu = water[zp][x];
      float ql = -wl.vel_x, qd = -wd.vel_z, qr = c.vel_x, qu = c.vel_z;
      if (ql < 0.f || hrow[xm] > lvl)
        ql = 0.f;
      if (qd < 0.f || hmap[(zm << HMAP_SIZE_SHIFT) | x] > lvl)
        qd = 0.f;
      if (qr < 0.f || hrow[xp] > lvl)
        qr = 0.f;
      if (qu < 0.f || hmap[(zp << HMAP_SIZE_SHIFT) | x] > lvl)
        qu = 0.f;
      float W = ql + qd + qr + qu;
      float A = W * rate;
      if (!(A > TRANSPORT_THRESHOLD))
        continue;
      A = fmin_(A, dep);
      c.depth -= A;
      wl.depth += A * ql / W;
      wd.depth += A * qd / W;
      wr.depth += A * qr / W;
      wu.depth += A * qu / W;
    }
  }
}

void HeightmapData::addWater(float amount)
{
  Water *w = &water[0][0];
  for (int i = 0; i < HMAP_CELLS; i++)
    w[i].depth += amount;
}

void mark_water(float level, unsigned set, unsigned clear)
{
  const Water *w = &HeightmapData::water[0][0];
  set &= 0xFFu;
  clear &= 0xFFu;
  for (int i = 0; i < HMAP_CELLS; i++)
    if (!(w[i].depth <= level))
      HeightmapData::surface[i].change_marks(set, clear);
}

// The surface S is hmap (plus the water depth when withWater), bilinear between cells.
// Over an axis-aligned square its maximum lies at a corner of one of the pieces the
// grid lines cut it into: the square's corners, the crossings of grid lines with its
// border and the grid points inside. Each family repeats every 256 units, so none is
// walked further than that.
namespace {

struct SurfaceSampler
{
  bool withWater;

  float cell(int x, int z) const
  {
    int i = hmap_index(x, z);
    float h = HeightmapData::hmap[i];
    return withWater ? h + (&HeightmapData::water[0][0])[i].depth : h;
  }

  // Floor as a wrapped cell coordinate plus the fraction; non-finite or huge values
  // address cell 0 (the fraction of a NaN stays NaN).
  static int split(float v, float &frac)
  {
    if (!(std::fabs(v) < 1e9f))
    {
      frac = std::isnan(v) ? v : 0.f;
      return 0;
    }
    float f = std::floor(v);
    frac = v - f;
    return int(int64_t(f) & HMAP_MASK);
  }

  float at(float px, float pz) const
  {
    float fx, fz;
    int i = split(px, fx), j = split(pz, fz);
    float a = cell(i, j), b = cell(i + 1, j), c = cell(i, j + 1), d = cell(i + 1, j + 1);
    float top = a + (b - a) * fx;
    float bot = c + (d - c) * fx;
    return top + (bot - top) * fz;
  }
};

// Integer points k with lo <= k <= hi, as a first value and a count capped at one
// period past the first point (so a period's worth lies strictly inside as well).
inline int64_t grid_range(float lo, float hi, int64_t &first)
{
  if (!(lo <= hi) || !(std::fabs(lo) < 1e9f) || !(std::fabs(hi) < 1e9f))
    return 0;
  first = int64_t(std::ceil(lo));
  int64_t n = int64_t(std::floor(hi)) - first + 1;
  return n < HMAP_SIZE + 1 ? n : HMAP_SIZE + 1;
}

} // namespace

vec4f HeightmapData::calcSquareDepth(vec4f pos, float halfSize, bool withWater)
{
  const SurfaceSampler S{withWater};
  const float x0 = pos.x - halfSize, x1 = pos.x + halfSize;
  const float z0 = pos.z - halfSize, z1 = pos.z + halfSize;
  float best = -3.4028235e38f;
  auto take = [&best](float v) {
    if (v > best)
      best = v;
  };
  take(S.at(x0, z0));
  take(S.at(x1, z0));
  take(S.at(x0, z1));
  take(S.at(x1, z1));

  int64_t kx = 0, kz = 0;
  const int64_t nx = grid_range(x0, x1, kx), nz = grid_range(z0, z1, kz);
  for (int64_t i = 0; i < nx; i++)
  {
    float gx = float(kx + i);
    take(S.at(gx, z0));
    take(S.at(gx, z1));
  }
  for (int64_t j = 0; j < nz; j++)
  {
    float gz = float(kz + j);
    take(S.at(x0, gz));
    take(S.at(x1, gz));
  }
  for (int64_t j = 0; j < nz; j++)
  {
    float gz = float(kz + j);
    if (!(gz > z0 && gz < z1))
      continue;
    for (int64_t i = 0; i < nx; i++)
    {
      float gx = float(kx + i);
      if (gx > x0 && gx < x1)
        take(S.cell(int(kx + i), int(kz + j)));
    }
  }
  float v = best - pos.y;
  return vec4f(v, v, v, v);
}
