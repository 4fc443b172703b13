#include <cmath>
#include "core/ramp.h"
#include "world/heightmap.h"
#include "world/noise.h"
#include "world/world_rnd.h"

namespace
{
constexpr float CRATER_MAX_RADIUS = 2048.f;
constexpr float CRATER_MAX_CENTRE = 1e7f;

struct FaultProfile
{
  float w, v;
};
} // namespace

void HeightmapData::genFault(Point2 pos, Point2 normal, float height, float bias, float wiggle, ColorRamp *ramp,
                             int groundType, int alpha, float *hm)
{
  float len = std::sqrt(normal.x * normal.x + normal.z * normal.z);
  float nx = 0.f, nz = 0.f;
  if (len > 0.f)
  {
    nx = normal.x / len;
    nz = normal.z / len;
  }
  float hi = 0.75f * height, lo = -0.25f * height, base = (bias - 0.75f) * height;
  float phase = pos.z + pos.x + 256.f * game_rnd_unit();

  // Along the fault: a slow wander (w) and a faster ripple (v), one entry per cell.
  FaultProfile profile[257];
  for (int i = 0; i <= 256; i++)
  {
    float a = float(i) * 0.005f + phase;
    float w = noise1(a);
    float amp = 0.5f;
    for (int k = 1; k <= 3; k++, amp *= 0.5f)
    {
      a = 2.f * a + 0.5f;
      w += amp * noise1(a);
    }
    float b = 16.f * (float(i) * 0.005f + phase);
    float v = noise1(b);
    amp = 0.5f;
    for (int k = 1; k <= 2; k++, amp *= 0.5f)
    {
      b = 2.f * b + 0.5f;
      v += amp * noise1(b);
    }
    profile[i] = {w, v};
  }

  for (int z = 0; z < HMAP_SIZE; z++)
  {
    float dz = wrap_coord(float(z) - pos.z);
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float dx = wrap_coord(float(x) - pos.x);
      float D = nx * dx + nz * dz;  // across the fault
      float E = -nz * dx + nx * dz; // along the fault
      float F = (D / 64.f) * (D / 64.f) + (E / 128.f) * (E / 128.f);
      if (F >= 1.f)
        continue;
      int k = noise_floor(E);
      float f = E - float(k);
      int j = (k + 128) & 255;
      const FaultProfile &p0 = profile[j], &p1 = profile[j + 1];
      float W = p0.w + (p1.w - p0.w) * f;
      float V = p0.v + (p1.v - p0.v) * f;
      float S = ((W + V * 0.0625f) * wiggle + D) * (4.f - (1.f - V) * 0.7f);
      float oneF = 1.f - F;
      float G = oneF * oneF * (3.f - 2.f * oneF);
      float top = G * hi, bottom = G * lo;
      float step;
      int i = (z << HMAP_SIZE_SHIFT) | x;
      if (S > top)
        step = top;
      else if (S < bottom)
        step = bottom;
      else
      {
        step = S;
        if (ramp)
          blend_ramp_color(surface[i], ramp->get((S - bottom) / (top - bottom)), alpha);
        if (groundType != GT_NONE)
          surface[i].set_ground_type(groundType);
      }
      hm[i] += G * base + step;
    }
  }
}

void HeightmapData::genCrater(Point2 centre, float radius, float depth, float *hm)
{
  float r = radius, b = depth;
  // The scans cost (4r)^2 cells: a radius beyond any use (or NaN), or a centre too far
  // out for the integer cell range, would stall the game, so they change nothing, as a
  // radius of 0 does.
  if (!(r > 0.f) || !(r <= CRATER_MAX_RADIUS) || !(std::fabs(centre.x) <= CRATER_MAX_CENTRE) ||
      !(std::fabs(centre.z) <= CRATER_MAX_CENTRE))
    return;
  float r2 = r * r;

  double acc = 0.0;
  int inside = 0;
  for (int z = noise_ceil(centre.z - r), z1 = noise_floor(centre.z + r); z <= z1; z++)
  {
    float dz = float(z) - centre.z;
    for (int x = noise_ceil(centre.x - r), x1 = noise_floor(centre.x + r); x <= x1; x++)
    {
      float dx = float(x) - centre.x;
      if (dx * dx + dz * dz < r2)
      {
        acc += double(hm[hmap_index(x, z)]);
        inside++;
      }
    }
  }
  float h = inside ? float(acc / double(inside)) : hm[hmap_index(noise_round(centre.x), noise_round(centre.z))];

  float R = 2.f * r;
  float g = r * b / (r - R); // -b
  float m = h + 1.5f * g;    // rim target
  float R2 = R * R;
  float rimIn = (r - 1.5f) * (r - 1.5f), rimOut = (r + 1.5f) * (r + 1.5f);
  for (int z = noise_ceil(centre.z - R), z1 = noise_floor(centre.z + R); z <= z1; z++)
  {
    float dz = float(z) - centre.z;
    for (int x = noise_ceil(centre.x - R), x1 = noise_floor(centre.x + R); x <= x1; x++)
    {
      float dx = float(x) - centre.x;
      float q = dx * dx + dz * dz;
      if (!(q < R2))
        continue;
      float e = std::sqrt(q) - r;
      float te = e * 2.f / 3.f;
      float t = 1.f - te * te;
      float &cell = hm[hmap_index(x, z)];
      if (q < r2)
      {
        float v = h - std::sqrt(r2 - q) * b;
        if (q > rimIn)
          v += t * (m - v);
        if (v < cell)
          cell = v;
      }
      else
      {
        float s = e / (r - R) + 1.f;
        float v = g * e + h;
        if (q < rimOut)
          v += t * (m - v);
        if (v < cell)
          cell += (v - cell) * (s * s);
      }
    }
  }
}
