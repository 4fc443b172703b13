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

namespace
{

constexpr float LEVEL_PULL = 10.f;
constexpr float VELOCITY_DAMPING = 0.03f;
constexpr float FOAM_FROM_PULL = 3.2f;
constexpr float FOAM_FROM_BLOCKING = 0.01f;
constexpr float FOAM_DECAY = 5.f;
constexpr float TRANSPORT_RATE = 4.f;
constexpr float TRANSPORT_THRESHOLD = 0.001f;

// The velocity pass works on four neighbouring cells of a row at once. It reads the
// previous state from a field-by-field copy of tmpw whose rows carry PAD wrapped cells
// on either side, so the neighbours x - 1 and x + 1 of a block are plain loads; every
// lane does exactly the arithmetic of a single cell.
constexpr int PAD = 4;
constexpr int STRIDE = HMAP_SIZE + 2 * PAD;
static_assert((STRIDE * sizeof(float)) % 16 == 0, "padded rows keep 16-byte alignment");

struct PaddedGrid
{
  alignas(64) float v[HMAP_SIZE * STRIDE];
  float *row(int z) { return v + z * STRIDE + PAD; }
};

// Previous-step fields, rebuilt at the start of every step.
PaddedGrid prev_depth, prev_vel_x, prev_vel_z, prev_foam, prev_ground;

inline void pad_row(float *r)
{
  for (int i = 1; i <= PAD; i++)
  {
    r[-i] = r[HMAP_SIZE - i];
    r[HMAP_SIZE - 1 + i] = r[i - 1];
  }
}

// Water at rest is the common case: most of the island's water lies still between casts.
// The grid is cut into tiles of TILE x TILE cells. The step of a cell reads the previous
// state only within a few cells of it (the neighbours, the neighbours' inflows and the
// advected samples, whose reach is bounded by the velocities). So when a tile's step left
// it exactly as it was (settled) and nothing within the 3 x 3 tiles around it changed
// since (no water, velocity, foam or ground bit; the same dt), its next step leaves it
// exactly as it is again: the velocity pass skips it and its depths are put back after
// the transport pass. Everything stays bit for bit what the full step computes.
constexpr int TILE = 16;
constexpr int TILES = HMAP_SIZE / TILE;
// Advection reaches at most this many cells from a skipped tile's cells, so that every
// cell its step reads lies in the 3 x 3 tiles around it.
constexpr float MAX_REACH = 8.f;
static_assert(3.f + MAX_REACH + 2.f <= float(TILE), "a skipped tile's step reads only its neighbour tiles");

struct WaterRest
{
  bool settled[TILES * TILES]; // the latest step left the tile exactly as it found it
  bool same[TILES * TILES];    // the tile's input equals the previous step's input
  bool skip[TILES * TILES];    // this step leaves the tile alone in the velocity pass
  bool touch[TILES * TILES];   // the transport pass visits the tile
  float speed[TILES * TILES];  // largest |vel_x|, |vel_z| of the tile's input (inf for a NaN)
  float dt = -1.f;             // of the latest step
};
WaterRest rest;

inline int tile_at(int tx, int tz) { return (tz & (TILES - 1)) * TILES + (tx & (TILES - 1)); }

// Copies water to tmpw and splits it into the padded field grids, with the heights.
// A tile whose water and ground equal the field grids already is not written again (it
// is marked same); every tile's largest speed is recorded on the way.
void snapshot_previous(const Water *water, Water *tmpw, const float *hmap)
{
  const __m128 abs_mask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  for (int tz = 0; tz < TILES; tz++)
    for (int tx = 0; tx < TILES; tx++)
    {
      __m128i diff = _mm_setzero_si128();
      __m128 top = _mm_setzero_ps(), odd = _mm_setzero_ps();
      for (int z = tz * TILE; z < tz * TILE + TILE; z++)
      {
        const Water *src = water + z * HMAP_SIZE;
        Water *dst = tmpw + z * HMAP_SIZE;
        const float *d = prev_depth.row(z), *vx = prev_vel_x.row(z), *vz = prev_vel_z.row(z), *f = prev_foam.row(z);
        const float *g = prev_ground.row(z), *h = hmap + z * HMAP_SIZE;
        for (int x = tx * TILE; x < tx * TILE + TILE; x += 4)
        {
          __m128 a = _mm_load_ps(&src[x].depth), b = _mm_load_ps(&src[x + 1].depth);
          __m128 c = _mm_load_ps(&src[x + 2].depth), e = _mm_load_ps(&src[x + 3].depth);
          _mm_store_ps(&dst[x].depth, a);
          _mm_store_ps(&dst[x + 1].depth, b);
          _mm_store_ps(&dst[x + 2].depth, c);
          _mm_store_ps(&dst[x + 3].depth, e);
          _MM_TRANSPOSE4_PS(a, b, c, e);
          // bit for bit: -0 and 0 differ, a NaN equals itself
          auto ne = [](__m128 p, const float *q) {
            return _mm_xor_si128(_mm_castps_si128(p), _mm_castps_si128(_mm_load_ps(q)));
          };
          diff = _mm_or_si128(diff, _mm_or_si128(_mm_or_si128(ne(a, d + x), ne(b, vx + x)),
                                                 _mm_or_si128(ne(c, vz + x), ne(e, f + x))));
          diff = _mm_or_si128(diff, ne(_mm_load_ps(h + x), g + x));
          const __m128 sb = _mm_and_ps(b, abs_mask), sc = _mm_and_ps(c, abs_mask);
          top = _mm_max_ps(top, _mm_max_ps(sb, sc));
          odd = _mm_or_ps(odd, _mm_or_ps(_mm_cmpunord_ps(sb, sb), _mm_cmpunord_ps(sc, sc)));
        }
      }
      const int t = tile_at(tx, tz);
      alignas(16) float lanes[4];
      _mm_store_ps(lanes, top);
      rest.speed[t] = _mm_movemask_ps(odd) ? INFINITY : std::fmax(std::fmax(lanes[0], lanes[1]), std::fmax(lanes[2], lanes[3]));
      rest.same[t] = _mm_movemask_epi8(_mm_cmpeq_epi32(diff, _mm_setzero_si128())) == 0xFFFF;
      if (rest.same[t])
        continue;
      for (int z = tz * TILE; z < tz * TILE + TILE; z++)
      {
        const Water *src = water + z * HMAP_SIZE;
        float *d = prev_depth.row(z), *vx = prev_vel_x.row(z), *vz = prev_vel_z.row(z), *f = prev_foam.row(z);
        float *g = prev_ground.row(z);
        for (int x = tx * TILE; x < tx * TILE + TILE; x += 4)
        {
          __m128 a = _mm_load_ps(&src[x].depth), b = _mm_load_ps(&src[x + 1].depth);
          __m128 c = _mm_load_ps(&src[x + 2].depth), e = _mm_load_ps(&src[x + 3].depth);
          _MM_TRANSPOSE4_PS(a, b, c, e);
          _mm_store_ps(d + x, a);
          _mm_store_ps(vx + x, b);
          _mm_store_ps(vz + x, c);
          _mm_store_ps(f + x, e);
          _mm_store_ps(g + x, _mm_load_ps(hmap + z * HMAP_SIZE + x));
        }
      }
    }
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    pad_row(prev_depth.row(z));
    pad_row(prev_vel_x.row(z));
    pad_row(prev_vel_z.row(z));
    pad_row(prev_foam.row(z));
    pad_row(prev_ground.row(z));
  }
}

// Which tiles this step leaves alone (skip) and which the transport pass visits (touch:
// every tile that is computed, and those beside one, whose border cells pass water on).
void plan_rest(float dt)
{
  const bool same_dt = dt == rest.dt;
  for (int tz = 0; tz < TILES; tz++)
    for (int tx = 0; tx < TILES; tx++)
    {
      bool quiet = same_dt && rest.settled[tile_at(tx, tz)];
      float fastest = 0.f;
      for (int j = -1; j <= 1 && quiet; j++)
        for (int i = -1; i <= 1; i++)
        {
          const int n = tile_at(tx + i, tz + j);
          quiet = quiet && rest.same[n];
          fastest = std::fmax(fastest, rest.speed[n]);
        }
      rest.skip[tile_at(tx, tz)] = quiet && fastest * dt <= MAX_REACH;
    }
  for (int tz = 0; tz < TILES; tz++)
    for (int tx = 0; tx < TILES; tx++)
      rest.touch[tile_at(tx, tz)] = !rest.skip[tile_at(tx, tz)] || !rest.skip[tile_at(tx - 1, tz)] ||
                                    !rest.skip[tile_at(tx + 1, tz)] || !rest.skip[tile_at(tx, tz - 1)] ||
                                    !rest.skip[tile_at(tx, tz + 1)];
}

// After the transport pass: skipped tiles get back their depths (what the full step
// gives them), computed tiles are settled when their step changed nothing.
void finish_rest(Water (*water)[HMAP_SIZE], const Water (*tmpw)[HMAP_SIZE], const float *snap, float dt)
{
  for (int tz = 0; tz < TILES; tz++)
    for (int tx = 0; tx < TILES; tx++)
    {
      const int t = tile_at(tx, tz);
      if (rest.skip[t])
      {
        if (rest.touch[t] || rest.touch[tile_at(tx - 1, tz)] || rest.touch[tile_at(tx + 1, tz)] ||
            rest.touch[tile_at(tx, tz - 1)] || rest.touch[tile_at(tx, tz + 1)])
          for (int z = tz * TILE; z < tz * TILE + TILE; z++)
            for (int x = tx * TILE; x < tx * TILE + TILE; x++)
              water[z][x].depth = snap[(z << HMAP_SIZE_SHIFT) + x];
        continue;
      }
      bool settled = true;
      for (int z = tz * TILE; z < tz * TILE + TILE && settled; z++)
        settled = std::memcmp(&water[z][tx * TILE], &tmpw[z][tx * TILE], TILE * sizeof(Water)) == 0;
      rest.settled[t] = settled;
    }
  rest.dt = dt;
}

// Exact floor of four lanes for the range of an int (beyond it the conversion yields
// INT_MIN, which still addresses a valid, if meaningless, cell after wrapping).
inline __m128i floor4(__m128 v, __m128 &frac)
{
  __m128i i = _mm_cvttps_epi32(v);
  i = _mm_add_epi32(i, _mm_castps_si128(_mm_cmplt_ps(v, _mm_cvtepi32_ps(i))));
  frac = _mm_sub_ps(v, _mm_cvtepi32_ps(i));
  return i;
}

// Bilinear samples of two field grids at four points (px, pz) in the lattice of cells:
// corners (i, j), (i + 1, j), (i, j + 1), (i + 1, j + 1); a + (b - a) f along x, then
// the same along z.
inline void sample2(const PaddedGrid &g0, const PaddedGrid &g1, __m128 px, __m128 pz, __m128 &s0, __m128 &s1)
{
  __m128 fx, fz;
  const __m128i mask = _mm_set1_epi32(HMAP_MASK);
  __m128i i = _mm_and_si128(floor4(px, fx), mask);
  __m128i j = floor4(pz, fz);
  __m128i j0 = _mm_and_si128(j, mask), j1 = _mm_and_si128(_mm_add_epi32(j, _mm_set1_epi32(1)), mask);
  // row * STRIDE = row * 256 + row * 8
  __m128i base = _mm_add_epi32(_mm_set1_epi32(PAD), i);
  __m128i a = _mm_add_epi32(base, _mm_add_epi32(_mm_slli_epi32(j0, 8), _mm_slli_epi32(j0, 3)));
  __m128i c = _mm_add_epi32(base, _mm_add_epi32(_mm_slli_epi32(j1, 8), _mm_slli_epi32(j1, 3)));
  alignas(16) int ia[4], ic[4];
  _mm_store_si128(reinterpret_cast<__m128i *>(ia), a);
  _mm_store_si128(reinterpret_cast<__m128i *>(ic), c);
  const float *v0 = g0.v, *v1 = g1.v;
  __m128 a0 = _mm_setr_ps(v0[ia[0]], v0[ia[1]], v0[ia[2]], v0[ia[3]]);
  __m128 b0 = _mm_setr_ps(v0[ia[0] + 1], v0[ia[1] + 1], v0[ia[2] + 1], v0[ia[3] + 1]);
  __m128 c0 = _mm_setr_ps(v0[ic[0]], v0[ic[1]], v0[ic[2]], v0[ic[3]]);
  __m128 d0 = _mm_setr_ps(v0[ic[0] + 1], v0[ic[1] + 1], v0[ic[2] + 1], v0[ic[3] + 1]);
  __m128 a1 = _mm_setr_ps(v1[ia[0]], v1[ia[1]], v1[ia[2]], v1[ia[3]]);
  __m128 b1 = _mm_setr_ps(v1[ia[0] + 1], v1[ia[1] + 1], v1[ia[2] + 1], v1[ia[3] + 1]);
  __m128 c1 = _mm_setr_ps(v1[ic[0]], v1[ic[1]], v1[ic[2]], v1[ic[3]]);
  __m128 d1 = _mm_setr_ps(v1[ic[0] + 1], v1[ic[1] + 1], v1[ic[2] + 1], v1[ic[3] + 1]);
  __m128 t0 = _mm_add_ps(a0, _mm_mul_ps(_mm_sub_ps(b0, a0), fx));
  __m128 u0 = _mm_add_ps(c0, _mm_mul_ps(_mm_sub_ps(d0, c0), fx));
  s0 = _mm_add_ps(t0, _mm_mul_ps(_mm_sub_ps(u0, t0), fz));
  __m128 t1 = _mm_add_ps(a1, _mm_mul_ps(_mm_sub_ps(b1, a1), fx));
  __m128 u1 = _mm_add_ps(c1, _mm_mul_ps(_mm_sub_ps(d1, c1), fx));
  s1 = _mm_add_ps(t1, _mm_mul_ps(_mm_sub_ps(u1, t1), fz));
}

inline float fmin_(float a, float b) { return b < a ? b : a; }
// fmin_ of four lanes: MINPS(b, a) is b < a ? b : a.
inline __m128 min4(__m128 a, __m128 b) { return _mm_min_ps(b, a); }

} // namespace

void HeightmapData::simWater(float dt)
{
  snapshot_previous(&water[0][0], &tmpw[0][0], hmap);
  plan_rest(dt);
  const __m128 damp = _mm_set1_ps(std::fmax(1.f - VELOCITY_DAMPING * dt, 0.f));
  const __m128 fdecay = _mm_set1_ps(std::fmax(1.f - FOAM_DECAY * dt, 0.f));
  const __m128 pull_k = _mm_set1_ps(LEVEL_PULL * dt);
  const __m128 vdt = _mm_set1_ps(dt);
  const __m128 zero = _mm_setzero_ps(), quarter_div = _mm_set1_ps(4.f), eighth_div = _mm_set1_ps(8.f);
  const __m128 block_foam = _mm_set1_ps(FOAM_FROM_BLOCKING), pull_foam = _mm_set1_ps(FOAM_FROM_PULL);
  const __m128 one = _mm_set1_ps(1.f), two = _mm_set1_ps(2.f);

  // Velocity pass: every read from the previous state, every write to water. The depth
  // does not change here, so the transport pass's depth snapshot is taken on the way.
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    const int zm = (z - 1) & HMAP_MASK, zp = (z + 1) & HMAP_MASK;
    const __m128 fz = _mm_set1_ps(float(z));
    const float *D = prev_depth.row(z), *VX = prev_vel_x.row(z), *VZ = prev_vel_z.row(z), *F = prev_foam.row(z);
    const float *G = prev_ground.row(z);
    const float *Du = prev_depth.row(zp), *VXu = prev_vel_x.row(zp), *Fu = prev_foam.row(zp);
    const float *Gu = prev_ground.row(zp);
    const float *VZd = prev_vel_z.row(zm), *Fd = prev_foam.row(zm);
    Water *out = water[z];
    float *snap = depth_snapshot + (z << HMAP_SIZE_SHIFT);
    for (int x = 0; x < HMAP_SIZE; x += 4)
    {
      if ((x & (TILE - 1)) == 0 && rest.skip[tile_at(x / TILE, z / TILE)])
      {
        x += TILE - 4;
        continue;
      }
      const __m128 fx = _mm_setr_ps(float(x), float(x + 1), float(x + 2), float(x + 3));
      const __m128 c_d = _mm_load_ps(D + x), c_vx = _mm_load_ps(VX + x), c_vz = _mm_load_ps(VZ + x);
      const __m128 r_d = _mm_loadu_ps(D + x + 1), hr = _mm_loadu_ps(G + x + 1), hc = _mm_load_ps(G + x);
      const __m128 u_d = _mm_load_ps(Du + x), hu = _mm_load_ps(Gu + x);
      const __m128 Lc = _mm_add_ps(hc, c_d), Lr = _mm_add_ps(hr, r_d), Lu = _mm_add_ps(hu, u_d);

      // x-face between (x, z) and (x + 1, z)
      __m128 vz = _mm_add_ps(_mm_add_ps(_mm_add_ps(c_vz, _mm_loadu_ps(VZ + x + 1)), _mm_load_ps(VZd + x)),
                             _mm_loadu_ps(VZd + x + 1));
      vz = _mm_div_ps(vz, quarter_div);
      __m128 sx_v, sx_f;
      sample2(prev_vel_x, prev_foam, _mm_sub_ps(fx, _mm_mul_ps(c_vx, vdt)), _mm_sub_ps(fz, _mm_mul_ps(vz, vdt)), sx_v,
              sx_f);
      const __m128 pull_x = _mm_mul_ps(_mm_sub_ps(Lc, Lr), pull_k);
      __m128 nvx = _mm_add_ps(_mm_mul_ps(sx_v, damp), pull_x);
      // blocked: the upstream side of the face is dry
      const __m128 bx =
        _mm_or_ps(_mm_and_ps(_mm_cmpge_ps(nvx, zero), _mm_cmple_ps(min4(c_d, _mm_sub_ps(Lc, hr)), zero)),
                  _mm_and_ps(_mm_cmplt_ps(nvx, zero), _mm_cmple_ps(min4(r_d, _mm_sub_ps(Lr, hc)), zero)));
      nvx = _mm_andnot_ps(bx, nvx);

      // z-face between (x, z) and (x, z + 1)
      __m128 ux = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_loadu_ps(VX + x - 1), c_vx), _mm_loadu_ps(VXu + x - 1)),
                             _mm_load_ps(VXu + x));
      ux = _mm_div_ps(ux, quarter_div);
      __m128 sz_v, sz_f;
      sample2(prev_vel_z, prev_foam, _mm_sub_ps(fx, _mm_mul_ps(ux, vdt)), _mm_sub_ps(fz, _mm_mul_ps(c_vz, vdt)), sz_v,
              sz_f);
      const __m128 pull_z = _mm_mul_ps(_mm_sub_ps(Lc, Lu), pull_k);
      __m128 nvz = _mm_add_ps(_mm_mul_ps(sz_v, damp), pull_z);
      const __m128 bz =
        _mm_or_ps(_mm_and_ps(_mm_cmpge_ps(nvz, zero), _mm_cmple_ps(min4(c_d, _mm_sub_ps(Lc, hu)), zero)),
                  _mm_and_ps(_mm_cmplt_ps(nvz, zero), _mm_cmple_ps(min4(u_d, _mm_sub_ps(Lu, hc)), zero)));
      nvz = _mm_andnot_ps(bz, nvz);
      // 0, 0.01 or 0.01 + 0.01, as adding 0.01 per blocked face gives
      const __m128 foam_block = _mm_add_ps(_mm_and_ps(bx, block_foam), _mm_and_ps(bz, block_foam));

      // foam(x, z + 1) + foam(x - 1, z) + foam(x + 1, z) + foam(x, z - 1), in that order
      __m128 around = _mm_add_ps(_mm_mul_ps(two, _mm_add_ps(sx_f, sz_f)), _mm_load_ps(Fu + x));
      around = _mm_add_ps(around, _mm_loadu_ps(F + x - 1));
      around = _mm_add_ps(around, _mm_loadu_ps(F + x + 1));
      around = _mm_add_ps(around, _mm_load_ps(Fd + x));
      __m128 foam = _mm_add_ps(
        _mm_mul_ps(pull_foam, _mm_add_ps(_mm_mul_ps(pull_x, pull_x), _mm_mul_ps(pull_z, pull_z))), foam_block);
      foam = _mm_add_ps(foam, _mm_mul_ps(fdecay, _mm_div_ps(around, eighth_div)));
      foam = _mm_min_ps(foam, one); // foam < 1 ? foam : 1

      __m128 r0 = c_d, r1 = nvx, r2 = nvz, r3 = foam;
      _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
      _mm_store_ps(&out[x].depth, r0);
      _mm_store_ps(&out[x + 1].depth, r1);
      _mm_store_ps(&out[x + 2].depth, r2);
      _mm_store_ps(&out[x + 3].depth, r3);
      _mm_store_ps(snap + x, c_d);
    }
  }

  // Transport pass, in place: a cell sends at most what it held at the start of the
  // pass, only through faces flowing outward and never onto ground above its level.
  // The four outflows of a cell, to (x - 1, z), (x, z - 1), (x + 1, z) and (x, z + 1),
  // are the lanes of one vector.
  const float rate = TRANSPORT_RATE * dt;
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    const int zm = (z - 1) & HMAP_MASK, zp = (z + 1) & HMAP_MASK;
    const float *snap = depth_snapshot + (z << HMAP_SIZE_SHIFT);
    const float *G = prev_ground.row(z), *Gd = prev_ground.row(zm), *Gu = prev_ground.row(zp);
    Water *row = water[z], *row_d = water[zm], *row_u = water[zp];
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      if ((x & (TILE - 1)) == 0 && !rest.touch[tile_at(x / TILE, z / TILE)])
      {
        x += TILE - 1;
        continue;
      }
      const float dep = snap[x];
      if (!(dep > 0.f))
        continue;
      const int xm = (x - 1) & HMAP_MASK, xp = (x + 1) & HMAP_MASK;
      const float lvl = G[x] + dep;
      Water &c = row[x];
      __m128 q = _mm_setr_ps(-row[xm].vel_x, -row_d[x].vel_z, c.vel_x, c.vel_z);
      const __m128 ground = _mm_setr_ps(G[x - 1], Gd[x], G[x + 1], Gu[x]);
      // a weight toward this cell, or onto ground above the level, becomes 0
      q = _mm_andnot_ps(_mm_or_ps(_mm_cmplt_ps(q, zero), _mm_cmpgt_ps(ground, _mm_set1_ps(lvl))), q);
      __m128 W = _mm_add_ss(q, _mm_shuffle_ps(q, q, 1));
      W = _mm_add_ss(W, _mm_movehl_ps(q, q));
      W = _mm_add_ss(W, _mm_shuffle_ps(q, q, 3));
      float A = _mm_cvtss_f32(W) * rate;
      if (!(A > TRANSPORT_THRESHOLD))
        continue;
      A = fmin_(A, dep);
      c.depth -= A;
      alignas(16) float share[4];
      _mm_store_ps(share, _mm_div_ps(_mm_mul_ps(_mm_set1_ps(A), q), _mm_shuffle_ps(W, W, 0)));
      row[xm].depth += share[0];
      row_d[x].depth += share[1];
      row[xp].depth += share[2];
      row_u[x].depth += share[3];
    }
  }
  finish_rest(water, tmpw, depth_snapshot, dt);
}

int water_tiles_at_rest()
{
  int n = 0;
  for (bool s : rest.skip)
    n += s;
  return n;
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
namespace
{

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
