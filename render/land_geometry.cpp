// The terrain renderer's CPU side: geometry of the camera window, water vertices, the
// flow coordinates carried along with the water.
#include <algorithm>
#include <cmath>
#include <cstring>
#include "render/land_render_internal.h"
#include "world/world_rnd.h"

using HD = HeightmapData;

void land_camera_cell(float cam_x, float cam_z, int &cx, int &cz)
{
  cx = int(lrintf(cam_x + 0.5f - 0.49999988f));
  cz = int(lrintf(cam_z + 0.5f - 0.49999988f));
}

void land_fill_patch_mesh(PatchVertex *verts, uint16_t *indices)
{
  for (int r = 0; r < 5; r++)
    for (int c = 0; c < 5; c++)
      verts[5 * r + c] = PatchVertex{c * 0.25f, r * 0.25f};
  int n = 0;
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++)
    {
      uint16_t k = uint16_t(5 * r + c);
      const uint16_t tri[6] = {k, uint16_t(k + 5), uint16_t(k + 1), uint16_t(k + 1), uint16_t(k + 5), uint16_t(k + 6)};
      memcpy(indices + n, tri, sizeof(tri));
      n += 6;
    }
}

static inline uint16_t *add_quad(uint16_t *p, int v, int row)
{
  p[0] = uint16_t(v);
  p[1] = uint16_t(v + row);
  p[2] = uint16_t(v + 1);
  p[3] = uint16_t(v + 1);
  p[4] = uint16_t(v + row);
  p[5] = uint16_t(v + row + 1);
  return p + 6;
}

int land_fill_horizon_indices(uint16_t *indices)
{
  const int n = LAND_HORIZON_SIDE;
  uint16_t *p = indices;
  for (int r = 0; r < n - 1; r++)
    for (int c = 0; c < n - 1; c++)
    {
      int b = 2 * r - 191, a = 2 * c - 191;
      if (a * a + b * b > 3843)
        p = add_quad(p, n * r + c, n);
    }
  int quads = int(p - indices) / 6;
  ASSERT(quads * 6 <= LAND_HORIZON_INDICES);
  return quads;
}

void land_init_flow(LandRenderState &s)
{
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      FlowCoord f{{float(x), float(z), float(z), float(x)}};
      s.flow[0][hmap_index(x, z)] = f;
      s.flow[1][hmap_index(x, z)] = f;
    }
}

// Bilinear sample of a flow buffer at (fx, fz), wrapping.
static inline FlowCoord sample_flow(const FlowCoord *src, float fx, float fz)
{
  float x0f = floorf(fx), z0f = floorf(fz);
  float ax = fx - x0f, az = fz - z0f;
  // A NaN or huge velocity must not index outside the buffer: wrap in integers.
  int x0 = std::isfinite(x0f) ? int(fmodf(x0f, float(HMAP_SIZE))) : 0;
  int z0 = std::isfinite(z0f) ? int(fmodf(z0f, float(HMAP_SIZE))) : 0;
  if (!std::isfinite(ax))
    ax = 0.f;
  if (!std::isfinite(az))
    az = 0.f;
  const FlowCoord &a = src[hmap_index(x0, z0)];
  const FlowCoord &b = src[hmap_index(x0 + 1, z0)];
  const FlowCoord &c = src[hmap_index(x0, z0 + 1)];
  const FlowCoord &d = src[hmap_index(x0 + 1, z0 + 1)];
  FlowCoord r;
  for (int i = 0; i < 4; i++)
  {
    float top = a.c[i] + (b.c[i] - a.c[i]) * ax;
    float bot = c.c[i] + (d.c[i] - c.c[i]) * ax;
    r.c[i] = top + (bot - top) * az;
  }
  return r;
}

// Fresh coordinates for one pair of every cell: a random rotation and offset of the
// camera-relative cell position, whose seam lies half the map from the camera.
static void reset_flow_pair(FlowCoord *dst, int pair, int cx, int cz)
{
  // The flow is only seen: its draws come from the effects' stream.
  float u1 = fx_rnd_unit(), u2 = fx_rnd_unit(), u3 = fx_rnd_unit();
  float theta = u1 * 6.2831853f, s = u2 * float(HMAP_SIZE), w = u3 * float(HMAP_SIZE);
  float ct = cosf(theta), st = sinf(theta);
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    float D = float((z - cz - HMAP_SIZE / 2) & HMAP_MASK);
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float F = float((x - cx - HMAP_SIZE / 2) & HMAP_MASK);
      FlowCoord &f = dst[hmap_index(x, z)];
      f.c[2 * pair] = F * ct + D * st + s;
      f.c[2 * pair + 1] = -F * st + D * ct + w;
    }
  }
}

void land_step_flow(LandRenderState &s, float dt, int cx, int cz)
{
  s.flowIndex ^= 1;
  const FlowCoord *src = s.flow[s.flowIndex ^ 1];
  FlowCoord *dst = s.flow[s.flowIndex];
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float vx = (HD::waterAt(x - 1, z).vel_x + HD::waterAt(x, z).vel_x) * 0.5f;
      float vz = (HD::waterAt(x, z - 1).vel_z + HD::waterAt(x, z).vel_z) * 0.5f;
      dst[hmap_index(x, z)] = sample_flow(src, float(x) - vx * dt, float(z) - vz * dt);
    }
  s.flowCounter++;
  if (s.flowCounter == LAND_FLOW_PERIOD / 2)
    reset_flow_pair(dst, 0, cx, cz);
  else if (s.flowCounter >= LAND_FLOW_PERIOD)
  {
    s.flowCounter = 0;
    reset_flow_pair(dst, 1, cx, cz);
  }
}

void land_interp_depth(float t, float *curw)
{
  const HD::Water *prev = &HD::tmpw[0][0], *cur = &HD::water[0][0];
  for (int i = 0; i < HMAP_CELLS; i++)
    curw[i] = prev[i].depth + (cur[i].depth - prev[i].depth) * t;
}

LandRegion land_changed_region(const float *prev, const float *cur, int margin)
{
  int x0 = HMAP_SIZE, x1 = -1, z0 = HMAP_SIZE, z1 = -1;
  for (int z = 0; z < HMAP_SIZE; z++)
  {
    const float *a = prev + z * HMAP_SIZE, *b = cur + z * HMAP_SIZE;
    if (memcmp(a, b, HMAP_SIZE * sizeof(float)) == 0)
      continue;
    z0 = std::min(z0, z);
    z1 = z;
    for (int x = 0; x < HMAP_SIZE; x++)
      if (memcmp(&a[x], &b[x], sizeof(float)) != 0) // bitwise: a NaN that stays is no change
      {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
      }
  }
  if (z1 < 0)
    return LandRegion();
  LandRegion r{x0 - margin, z0 - margin, x1 + 1 + margin, z1 + 1 + margin};
  if (r.x0 < 0 || r.x1 > HMAP_SIZE)
    r.x0 = 0, r.x1 = HMAP_SIZE;
  if (r.z0 < 0 || r.z1 > HMAP_SIZE)
    r.z0 = 0, r.z1 = HMAP_SIZE;
  return r;
}

LandRegion land_region_union(const LandRegion &a, const LandRegion &b)
{
  if (a.empty())
    return b;
  if (b.empty())
    return a;
  return {std::min(a.x0, b.x0), std::min(a.z0, b.z0), std::max(a.x1, b.x1), std::max(a.z1, b.z1)};
}

bool land_below_water(float x, float y, float z, const float *h, const float *w)
{
  if (!std::isfinite(x) || !std::isfinite(z))
    return false;
  const int cx = int(floorf(fmodf(x, float(HMAP_SIZE)))), cz = int(floorf(fmodf(z, float(HMAP_SIZE))));
  float top = -1e30f;
  for (int k = 0; k < 4; k++)
  {
    const int i = hmap_index(cx + (k & 1), cz + (k >> 1));
    top = fmaxf(top, h[i] + fmaxf(w[i], 0.f));
  }
  return y < top;
}

void land_cull_blocks(const Matrix44 &glob, int ox, int oz, const float *h, const float *w, LandCull &out)
{
  out.all = false;
  for (int bk = 0; bk < LAND_CULL_SIDE; bk++)
    for (int bc = 0; bc < LAND_CULL_SIDE; bc++)
    {
      // The block's vertices and their neighbours (water levels come from neighbours).
      const int k0 = bk * LAND_CULL_BLOCK, c0 = bc * LAND_CULL_BLOCK;
      float lo = 1e30f, hi = -1e30f;
      for (int k = k0 - 1; k <= k0 + LAND_CULL_BLOCK + 1; k++)
        for (int c = c0 - 1; c <= c0 + LAND_CULL_BLOCK + 1; c++)
        {
          int i = hmap_index(ox + c, oz + k);
          lo = fminf(lo, h[i]);
          hi = fmaxf(hi, h[i] + fmaxf(w[i], 0.f));
        }
      lo -= 0.5f; // the low-quality water sinks below the ground it covers
      hi += 0.5f;
      const float x0 = float(ox + c0), x1 = x0 + LAND_CULL_BLOCK;
      const float z0 = float(oz + k0), z1 = z0 + LAND_CULL_BLOCK;
      // Outside when all eight corners lie beyond the same clip plane.
      unsigned outside = 63;
      for (int n = 0; n < 8; n++)
      {
        vec4f p = transform_point(vec4f(n & 1 ? x1 : x0, n & 2 ? hi : lo, n & 4 ? z1 : z0, 1.f), glob);
        unsigned bits =
          (p.x < -p.w) | (p.x > p.w) << 1 | (p.y < -p.w) << 2 | (p.y > p.w) << 3 | (p.z < 0.f) << 4 | (p.z > p.w) << 5;
        outside &= bits;
      }
      // A NaN in the matrix compares false everywhere and keeps the block.
      out.visible[bk * LAND_CULL_SIDE + bc] = outside == 0;
    }
}

static inline void building(int x, int z) { land_hooks.render_building(&HD::surface[hmap_index(x, z)], x, z); }

int land_build_near(int ox, int oz, const float *h, PatchInstance *out, const LandCull &cull)
{
  int n = 0;
  for (int i = LAND_NEAR_LO; i <= LAND_NEAR_HI; i++)
    for (int j = LAND_NEAR_LO; j <= LAND_NEAR_HI; j++)
    {
      int x = ox + j, z = oz + i;
      if (is_house_cell(HD::surface[hmap_index(x, z)]))
      {
        building(x, z);
        continue;
      }
      if (!cull.quad(i, j))
        continue;
      PatchInstance &p = out[n++];
      p.x = int16_t(x);
      p.z = int16_t(z);
      p.h[0] = h[hmap_index(x, z)];
      p.h[1] = h[hmap_index(x + 1, z)];
      p.h[2] = h[hmap_index(x, z + 1)];
      p.h[3] = h[hmap_index(x + 1, z + 1)];
    }
  return n;
}

int land_build_far(int ox, int oz, const float *h, LandVertex *verts, uint16_t *indices, const LandCull &cull)
{
  for (int i = 0; i < HMAP_SIZE; i++)
  {
    LandVertex *row = verts + HMAP_SIZE * i;
    int z = oz + i;
    for (int j = 0; j < HMAP_SIZE; j++)
      row[j] = LandVertex{int16_t(ox + j), int16_t(z), h[hmap_index(ox + j, z)]};
  }
  uint16_t *p = indices;
  for (int k = 0; k < HMAP_SIZE - 1; k++)
    for (int c = 0; c < HMAP_SIZE - 1; c++)
    {
      if (!land_in_disc(k, c) || land_in_near(k, c))
        continue;
      if (is_house_cell(HD::surface[hmap_index(ox + c, oz + k)]))
      {
        building(ox + c, oz + k);
        continue;
      }
      if (cull.quad(k, c))
        p = add_quad(p, HMAP_SIZE * k + c, HMAP_SIZE);
    }
  int quads = int(p - indices) / 6;
  ASSERT(quads * 6 <= LAND_FAR_INDICES);
  return quads;
}

void land_build_horizon(int cx, int cz, float px, float pz, const float *h, const float *w, LandVertex *verts)
{
  int z0 = (cz - 383) & ~3, x0 = (cx - 383) & ~3;
  for (int l = 0; l < LAND_HORIZON_SIDE; l++)
  {
    int z = z0 + 4 * l;
    float dz = float(z) - pz;
    for (int m = 0; m < LAND_HORIZON_SIDE; m++)
    {
      int x = x0 + 4 * m;
      int i = hmap_index(x, z);
      float ht = h[i] + w[i];
      float dx = float(x) - px;
      float d = sqrtf(dx * dx + dz * dz);
      // Beyond half the map the ring bends down.
      const float half = float(HMAP_SIZE / 2);
      if (d > half)
      {
        float k = (d - half) / float(HMAP_SIZE);
        ht -= half * k * k;
      }
      verts[LAND_HORIZON_SIDE * l + m] = LandVertex{int16_t(x), int16_t(z), ht};
    }
  }
}

template <typename V>
static void fill_water_verts(const LandRenderState &s, bool hq, int ox, int oz, float t, const float *h, const float *w,
                             V *verts)
{
  const float e = hq ? 0.01f : 0.1f;
  const float drop = hq ? 0.f : 0.1f;
  const FlowCoord *cur = s.flow[s.flowIndex], *prev = s.flow[s.flowIndex ^ 1];
  for (int i = 0; i < HMAP_SIZE; i++)
  {
    int z = oz + i;
    for (int j = 0; j < HMAP_SIZE; j++)
    {
      int x = ox + j;
      int ci = hmap_index(x, z);
      float level;
      if (w[ci] > e)
        level = h[ci] + w[ci] - drop;
      else
      {
        float sum = 0.f;
        int n = 0;
        for (int dz = -1; dz <= 1; dz++)
          for (int dx = -1; dx <= 1; dx++)
          {
            if (!dx && !dz)
              continue;
            int ni = hmap_index(x + dx, z + dz);
            if (w[ni] > e)
              sum += h[ni] + w[ni], n++;
          }
        float avg = n ? sum / float(n) : 0.f;
        level = (n && avg <= h[ci] ? avg : h[ci]) - drop;
      }
      const HD::Water &wp = HD::tmpw[z & HMAP_MASK][x & HMAP_MASK];
      const HD::Water &wc = HD::water[z & HMAP_MASK][x & HMAP_MASK];
      V &v = verts[HMAP_SIZE * i + j];
      v.x = int16_t(x);
      v.z = int16_t(z);
      v.level = level;
      v.foam = wp.foam + (wc.foam - wp.foam) * t;
      if constexpr (sizeof(V) == sizeof(WaterVertexHQ))
        for (int k = 0; k < 4; k++)
          v.flow[k] = prev[ci].c[k] + (cur[ci].c[k] - prev[ci].c[k]) * t;
    }
  }
}

int land_build_water(const LandRenderState &s, bool hq, int ox, int oz, float t, const float *h, const float *w,
                     void *verts, uint16_t *indices, const LandCull &cull)
{
  if (hq)
    fill_water_verts(s, hq, ox, oz, t, h, w, static_cast<WaterVertexHQ *>(verts));
  else
    fill_water_verts(s, hq, ox, oz, t, h, w, static_cast<WaterVertexLQ *>(verts));

  // A window corner is dry when neither the previous nor the current step has water there.
  const float e = hq ? 0.01f : 0.1f;
  static uint8_t wet[HMAP_CELLS];
  for (int i = 0; i < HMAP_SIZE; i++)
    for (int j = 0; j < HMAP_SIZE; j++)
    {
      int x = (ox + j) & HMAP_MASK, z = (oz + i) & HMAP_MASK;
      wet[HMAP_SIZE * i + j] = HD::tmpw[z][x].depth > e || HD::water[z][x].depth > e;
    }
  uint16_t *p = indices;
  for (int k = 0; k < HMAP_SIZE - 1; k++)
    for (int c = 0; c < HMAP_SIZE - 1; c++)
    {
      int v = HMAP_SIZE * k + c;
      if (!(wet[v] | wet[v + 1] | wet[v + HMAP_SIZE] | wet[v + HMAP_SIZE + 1]) || !land_in_disc(k, c) ||
          !cull.quad(k, c))
        continue;
      p = add_quad(p, v, HMAP_SIZE);
    }
  int quads = int(p - indices) / 6;
  ASSERT(quads * 6 <= LAND_WATER_INDICES);
  return quads;
}
