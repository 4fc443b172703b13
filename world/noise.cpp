#include "world/noise.h"
#include <cfloat>
#include <cmath>
#include "core/ramp.h"
#include "world/det_math.h"
#include "world/world_rnd.h"

namespace
{
// Built-in tables before the first reseed: the reseed algorithm run at compile time from
// a fixed state, so every start shows the same noise until a script reseeds.
struct InitialTables
{
  uint8_t perm[512];
  Point2 points[256];

  constexpr InitialTables() : perm(), points()
  {
    uint64_t state = 0x2545F4914F6CDD1DULL;
    for (int i = 0; i < 256; i++)
      perm[i] = uint8_t(i);
    for (int pass = 0; pass < 4; pass++)
      for (int i = 0; i < 256; i++)
      {
        state = state * WORLD_RND_MUL + WORLD_RND_ADD;
        int r = int((state >> 32) & 255);
        uint8_t t = perm[i];
        perm[i] = perm[r];
        perm[r] = t;
      }
    for (int i = 0; i < 256; i++)
      perm[256 + i] = perm[i];
    for (int i = 0; i < 256; i++)
    {
      state = state * WORLD_RND_MUL + WORLD_RND_ADD;
      points[i].x = float(uint32_t(state >> 32) >> 8) * (1.f / 16777216.f);
      state = state * WORLD_RND_MUL + WORLD_RND_ADD;
      points[i].z = float(uint32_t(state >> 32) >> 8) * (1.f / 16777216.f);
    }
  }
};
constexpr InitialTables initial_tables;

// The 32 gradients of 4D simplex noise: all permutations of (0, +-1, +-1, +-1).
constexpr float grad4[32][4] = {
  {0, 1, 1, 1},    {0, 1, 1, -1},   {0, 1, -1, 1},   {0, 1, -1, -1},  {0, -1, 1, 1},  {0, -1, 1, -1}, {0, -1, -1, 1},
  {0, -1, -1, -1}, {1, 0, 1, 1},    {1, 0, 1, -1},   {1, 0, -1, 1},   {1, 0, -1, -1}, {-1, 0, 1, 1},  {-1, 0, 1, -1},
  {-1, 0, -1, 1},  {-1, 0, -1, -1}, {1, 1, 0, 1},    {1, 1, 0, -1},   {1, -1, 0, 1},  {1, -1, 0, -1}, {-1, 1, 0, 1},
  {-1, 1, 0, -1},  {-1, -1, 0, 1},  {-1, -1, 0, -1}, {1, 1, 1, 0},    {1, 1, -1, 0},  {1, -1, 1, 0},  {1, -1, -1, 0},
  {-1, 1, 1, 0},   {-1, 1, -1, 0},  {-1, -1, 1, 0},  {-1, -1, -1, 0},
};

// Traversal table indexed by the six pairwise comparisons of the offsets (x>y 32, x>z 16,
// y>z 8, x>w 4, y>w 2, z>w 1): the rank of each coordinate, 3 for the largest. Indices
// no ordering can produce hold zeros.
constexpr uint8_t simplex4[64][4] = {
  {0, 1, 2, 3}, {0, 1, 3, 2}, {0, 0, 0, 0}, {0, 2, 3, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {1, 2, 3, 0},
  {0, 2, 1, 3}, {0, 0, 0, 0}, {0, 3, 1, 2}, {0, 3, 2, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {1, 3, 2, 0},
  {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},
  {1, 2, 0, 3}, {0, 0, 0, 0}, {1, 3, 0, 2}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {2, 3, 0, 1}, {2, 3, 1, 0},
  {1, 0, 2, 3}, {1, 0, 3, 2}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {2, 0, 3, 1}, {0, 0, 0, 0}, {2, 1, 3, 0},
  {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},
  {2, 0, 1, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {3, 0, 1, 2}, {3, 0, 2, 1}, {0, 0, 0, 0}, {3, 1, 2, 0},
  {2, 1, 0, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {3, 1, 0, 2}, {0, 0, 0, 0}, {3, 2, 0, 1}, {3, 2, 1, 0},
};

// Every table entry that an ordering of four distinct values can select must rank them.
constexpr bool simplex4_consistent()
{
  int perm[4] = {0, 1, 2, 3}; // perm[r] = coordinate with rank r
  for (int n = 0; n < 24; n++)
  {
    int rank[4] = {};
    int rest[4] = {0, 1, 2, 3};
    int f = n, avail = 4;
    for (int r = 3; r >= 0; r--)
    {
      int pick = f % avail;
      f /= avail;
      perm[r] = rest[pick];
      for (int q = pick; q < avail - 1; q++)
        rest[q] = rest[q + 1];
      avail--;
    }
    for (int r = 0; r < 4; r++)
      rank[perm[r]] = r;
    int c = (rank[0] > rank[1] ? 32 : 0) + (rank[0] > rank[2] ? 16 : 0) + (rank[1] > rank[2] ? 8 : 0) +
            (rank[0] > rank[3] ? 4 : 0) + (rank[1] > rank[3] ? 2 : 0) + (rank[2] > rank[3] ? 1 : 0);
    for (int q = 0; q < 4; q++)
      if (simplex4[c][q] != rank[q])
        return false;
  }
  return true;
}
static_assert(simplex4_consistent(), "simplex traversal table does not rank the offsets");

// The eight gradients of the old 2D noise, by h & 7.
constexpr int8_t grad2_old[8][2] = {{0, 1}, {0, -1}, {-1, -1}, {1, -1}, {1, 0}, {-1, 0}, {-1, 1}, {1, 1}};

inline float grad1(int h)
{
  float g = float((h & 7) + 1);
  return (h & 8) ? -g : g;
}

inline float pow4(float v)
{
  float v2 = v * v;
  return v2 * v2;
}

constexpr float TWO_PI = 6.28318530718f;
} // namespace

uint8_t noise_perm[512] = {};
Point2 noise_cell_points[256] = {};

namespace
{
// Copies the built-in tables in before anything else in the program can run noise.
struct InstallInitialTables
{
  InstallInitialTables()
  {
    for (int i = 0; i < 512; i++)
      noise_perm[i] = initial_tables.perm[i];
    for (int i = 0; i < 256; i++)
      noise_cell_points[i] = initial_tables.points[i];
  }
} install_initial_tables;
} // namespace

void reseed_noise()
{
  uint64_t state = game_rnd_seed;
  for (int i = 0; i < 256; i++)
    noise_perm[i] = uint8_t(i);
  for (int pass = 0; pass < 4; pass++)
    for (int i = 0; i < 256; i++)
    {
      uint32_t r = world_rnd_next(state);
      uint8_t t = noise_perm[i];
      noise_perm[i] = noise_perm[r & 255];
      noise_perm[r & 255] = t;
    }
  for (int i = 0; i < 256; i++)
    noise_perm[256 + i] = noise_perm[i];
  for (int i = 0; i < 256; i++)
  {
    noise_cell_points[i].x = world_rnd_unit(state);
    noise_cell_points[i].z = world_rnd_unit(state);
  }
  game_rnd_seed = state;
}

float noise1(float x)
{
  int i = noise_floor(x);
  float f = x - float(i);
  float g0 = grad1(noise_perm[i & 255]);
  float g1 = grad1(noise_perm[(i + 1) & 255]);
  float f1 = f - 1.f;
  float a = 1.f - f * f;
  float b = 1.f - f1 * f1;
  return (g0 * f * pow4(a) + g1 * f1 * pow4(b)) * 0.4f;
}

namespace
{
// Evaluated unconditionally and then selected, so the five corners run without
// unpredictable branches; the selected values are the same.
inline float corner4(float t, int gi, float x, float y, float z, float w)
{
  const float *g = grad4[gi];
  float v = pow4(t) * (g[0] * x + g[1] * y + g[2] * z + g[3] * w);
  return t < 0.f ? 0.f : v;
}
} // namespace

float noise4(float x, float y, float z, float w)
{
  constexpr float F4 = 0.309017f;
  constexpr float G4 = 0.1381966f;
  float s = (x + y + z + w) * F4;
  int i = noise_floor(x + s);
  int j = noise_floor(y + s);
  int k = noise_floor(z + s);
  int l = noise_floor(w + s);
  float t = float(i + j + k + l) * G4;
  float x0 = x - (float(i) - t);
  float y0 = y - (float(j) - t);
  float z0 = z - (float(k) - t);
  float w0 = w - (float(l) - t);

  int c = (x0 > y0 ? 32 : 0) + (x0 > z0 ? 16 : 0) + (y0 > z0 ? 8 : 0) + (x0 > w0 ? 4 : 0) + (y0 > w0 ? 2 : 0) +
          (z0 > w0 ? 1 : 0);
  const uint8_t *sc = simplex4[c];
  int i1 = sc[0] >= 3, j1 = sc[1] >= 3, k1 = sc[2] >= 3, l1 = sc[3] >= 3;
  int i2 = sc[0] >= 2, j2 = sc[1] >= 2, k2 = sc[2] >= 2, l2 = sc[3] >= 2;
  int i3 = sc[0] >= 1, j3 = sc[1] >= 1, k3 = sc[2] >= 1, l3 = sc[3] >= 1;

  float x1 = x0 - float(i1) + 0.1381966f, y1 = y0 - float(j1) + 0.1381966f;
  float z1 = z0 - float(k1) + 0.1381966f, w1 = w0 - float(l1) + 0.1381966f;
  float x2 = x0 - float(i2) + 0.2763932f, y2 = y0 - float(j2) + 0.2763932f;
  float z2 = z0 - float(k2) + 0.2763932f, w2 = w0 - float(l2) + 0.2763932f;
  float x3 = x0 - float(i3) + 0.41458982f, y3 = y0 - float(j3) + 0.41458982f;
  float z3 = z0 - float(k3) + 0.41458982f, w3 = w0 - float(l3) + 0.41458982f;
  float x4 = x0 - 1.f + 0.5527864f, y4 = y0 - 1.f + 0.5527864f;
  float z4 = z0 - 1.f + 0.5527864f, w4 = w0 - 1.f + 0.5527864f;

  const uint8_t *p = noise_perm;
  int ii = i & 255, jj = j & 255, kk = k & 255, ll = l & 255;
  int gi0 = p[ii + p[jj + p[kk + p[ll]]]] & 31;
  int gi1 = p[ii + i1 + p[jj + j1 + p[kk + k1 + p[ll + l1]]]] & 31;
  int gi2 = p[ii + i2 + p[jj + j2 + p[kk + k2 + p[ll + l2]]]] & 31;
  int gi3 = p[ii + i3 + p[jj + j3 + p[kk + k3 + p[ll + l3]]]] & 31;
  int gi4 = p[ii + 1 + p[jj + 1 + p[kk + 1 + p[ll + 1]]]] & 31;

  float n0 = corner4(0.6f - x0 * x0 - y0 * y0 - z0 * z0 - w0 * w0, gi0, x0, y0, z0, w0);
  float n1 = corner4(0.6f - x1 * x1 - y1 * y1 - z1 * z1 - w1 * w1, gi1, x1, y1, z1, w1);
  float n2 = corner4(0.6f - x2 * x2 - y2 * y2 - z2 * z2 - w2 * w2, gi2, x2, y2, z2, w2);
  float n3 = corner4(0.6f - x3 * x3 - y3 * y3 - z3 * z3 - w3 * w3, gi3, x3, y3, z3, w3);
  float n4 = corner4(0.6f - x4 * x4 - y4 * y4 - z4 * z4 - w4 * w4, gi4, x4, y4, z4, w4);
  return 27.f * (n0 + n1 + n2 + n3 + n4);
}

// The sine and cosine come from det_sincosf, not libm: libm picks its kernels by CPU
// features, which could change the last bit of an island from one machine to the next.
void torus_axis(float c, float period, float &rc, float &rs)
{
  float a = c * TWO_PI / period;
  float r = period / TWO_PI;
  float sn, cs;
  det_sincosf(a, sn, cs);
  rc = r * cs;
  rs = r * sn;
}

float tiled_noise2(float x, float y, float period)
{
  float xc, xs, yc, ys;
  torus_axis(x, period, xc, xs);
  torus_axis(y, period, yc, ys);
  return noise4(xc, yc, xs, ys);
}

float old_tiled_noise2(float x, float y, int tile)
{
  int m = (tile - 1) & 255;
  int i = noise_floor(x), j = noise_floor(y);
  float fx = x - float(i), fy = y - float(j);
  const uint8_t *p = noise_perm;
  int hj0 = p[j & m], hj1 = p[(j + 1) & m];
  int h[4] = {p[(i & m) + hj0], p[((i + 1) & m) + hj0], p[(i & m) + hj1], p[((i + 1) & m) + hj1]};
  float sum = 0.f;
  for (int c = 0; c < 4; c++)
  {
    float dx = fx - float(c & 1), dy = fy - float(c >> 1);
    float t = 1.f - dx * dx - dy * dy;
    if (t > 0.f)
    {
      const int8_t *g = grad2_old[h[c] & 7];
      sum += pow4(t) * (float(g[0]) * dx + float(g[1]) * dy);
    }
  }
  return sum * 2.75f;
}

void tiled_voronoi_noise2_all9(float x, float y, int tileShift, Point2 offsets[9], int ids[9])
{
  int tile = 1 << tileShift;
  int mask8 = (tile - 1) & 255;
  int cx0 = noise_floor(x), cy0 = noise_floor(y);
  int n = 0;
  for (int cy = cy0 - 1; cy <= cy0 + 1; cy++)
  {
    int hy = noise_perm[cy & mask8];
    for (int cx = cx0 - 1; cx <= cx0 + 1; cx++, n++)
    {
      const Point2 &P = noise_cell_points[noise_perm[(cx & mask8) + hy]];
      if (offsets)
        offsets[n] = Point2{(float(cx) + P.x) - x, (float(cy) + P.z) - y};
      if (ids)
        ids[n] = ((cy & (tile - 1)) << 16) | (cx & (tile - 1));
    }
  }
}

void tiled_voronoi_noise2_near4(float x, float y, int tileShift, float dist[4], int ids[4], Point2 offsets[4])
{
  int tile = 1 << tileShift;
  int mask8 = (tile - 1) & 255;
  int cx0 = noise_floor(x), cy0 = noise_floor(y);
  float ox[9], oy[9], d[9];
  int id[9];
  for (int row = 0, n = 0; row < 3; row++)
  {
    int cy = cy0 - 1 + row;
    int hy = noise_perm[cy & mask8];
    for (int col = 0; col < 3; col++, n++)
    {
      int cx = cx0 - 1 + col;
      const Point2 &P = noise_cell_points[noise_perm[(cx & mask8) + hy]];
      ox[n] = (float(cx) + P.x) - x;
      oy[n] = (float(cy) + P.z) - y;
      d[n] = ox[n] * ox[n] + oy[n] * oy[n];
      id[n] = ((cy & (tile - 1)) << 16) | (cx & (tile - 1));
    }
  }
  // Insertion into the four kept entries before the first strictly larger one, written
  // as selects: kd stays ascending, so the tests c0..c3 are monotone.
  float kd[4] = {FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX};
  int ki[4] = {-1, -1, -1, -1};
  for (int n = 0; n < 9; n++)
  {
    float v = d[n];
    bool c0 = kd[0] > v, c1 = kd[1] > v, c2 = kd[2] > v, c3 = kd[3] > v;
    kd[3] = c2 ? kd[2] : (c3 ? v : kd[3]);
    ki[3] = c2 ? ki[2] : (c3 ? n : ki[3]);
    kd[2] = c1 ? kd[1] : (c2 ? v : kd[2]);
    ki[2] = c1 ? ki[1] : (c2 ? n : ki[2]);
    kd[1] = c0 ? kd[0] : (c1 ? v : kd[1]);
    ki[1] = c0 ? ki[0] : (c1 ? n : ki[1]);
    kd[0] = c0 ? v : kd[0];
    ki[0] = c0 ? n : ki[0];
  }
  for (int k = 0; k < 4; k++)
  {
    int n = ki[k]; // -1 only when fewer than four distances were finite
    if (dist)
      dist[k] = kd[k];
    if (ids)
      ids[k] = n < 0 ? 0 : id[n];
    if (offsets)
      offsets[k] = n < 0 ? Point2{0.f, 0.f} : Point2{ox[n], oy[n]};
  }
}

float fractal_noise1(float x, int octaves, const FloatRamp *ramp, float gain)
{
  auto shape = [ramp](float v) { return ramp ? ramp->get((v + 1.f) / 2.f) : v; };
  float sum = shape(noise1(x));
  float amplitude = gain;
  for (int o = 1; o < octaves; o++)
  {
    x = 2.f * x + 0.5f;
    sum += amplitude * shape(noise1(x));
    amplitude *= gain;
  }
  return sum;
}

float tiled_fractal_noise2(float x, float y, float period, int octaves, const FloatRamp *ramp, float gain)
{
  auto shape = [ramp](float v) { return ramp ? ramp->get((v + 1.f) / 2.f) : v; };
  float sum = shape(tiled_noise2(x, y, period));
  float amplitude = gain;
  for (int o = 1; o < octaves; o++)
  {
    x = 2.f * x + 0.5f;
    y = 2.f * y + 0.5f;
    period = 2.f * period;
    sum += amplitude * shape(tiled_noise2(x, y, period));
    amplitude *= gain;
  }
  return sum;
}

int get_noise_hash1(int i) { return noise_perm[i & 255]; }

int get_noise_hash2(int i, int j) { return noise_perm[(i & 255) + noise_perm[j & 255]]; }
