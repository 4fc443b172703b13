#include "world/land_tools.h"
#include <cmath>
#include "world/noise.h"

float hmap_land_height(float x, float z)
{
  int x0 = noise_floor(x), z0 = noise_floor(z);
  float fx = x - float(x0), fz = z - float(z0);
  float h00 = HeightmapData::height(x0, z0), h10 = HeightmapData::height(x0 + 1, z0);
  float h01 = HeightmapData::height(x0, z0 + 1), h11 = HeightmapData::height(x0 + 1, z0 + 1);
  float top = h00 + (h10 - h00) * fx, bottom = h01 + (h11 - h01) * fx;
  return top + (bottom - top) * fz;
}

namespace
{
// The rows (or columns) a disc of radius r around c covers: ceil(c - r) .. floor(c + r).
int disc_lo(float c, float r) { return noise_round(c - r + 0.49999988f); }
int disc_hi(float c, float r) { return noise_round(c + r - 0.49999988f); }

// A disc wider than this covers the wrapped world several times over; larger radii are
// taken as this one so that the scan stays bounded (2049 x 2049 cells at most).
constexpr float MAX_DISC_RADIUS = 1024.f;
} // namespace

void flatten_circle(float x, float z, float r, float height, float strength, float exponent)
{
  if (!(r > 0.f)) // also NaN
    return;
  if (r > MAX_DISC_RADIUS)
    r = MAX_DISC_RADIUS;
  float r2 = r * r;
  int i0 = disc_lo(z, r), i1 = disc_hi(z, r), j0 = disc_lo(x, r), j1 = disc_hi(x, r);
  for (int i = i0; i <= i1; i++)
    for (int j = j0; j <= j1; j++)
    {
      float dx = float(j) - x, dz = float(i) - z;
      float d2 = dx * dx + dz * dz;
      if (d2 < r2)
      {
        float &h = HeightmapData::hmap[hmap_index(j, i)];
        h = h + (height - h) * strength * (1.f - std::pow(d2 / r2, exponent));
      }
    }
}

float get_average_circle_height(float x, float z, float r, float centre_height)
{
  if (!(r > 0.f))
    r = 0.f;
  if (r > MAX_DISC_RADIUS)
    r = MAX_DISC_RADIUS;
  double sum = centre_height;
  int count = 1;
  float r2 = r * r;
  int i0 = disc_lo(z, r), i1 = disc_hi(z, r), j0 = disc_lo(x, r), j1 = disc_hi(x, r);
  for (int i = i0; i <= i1; i++)
    for (int j = j0; j <= j1; j++)
    {
      float dx = float(j) - x, dz = float(i) - z;
      if (dx * dx + dz * dz < r2)
      {
        sum += HeightmapData::hmap[hmap_index(j, i)];
        count++;
      }
    }
  return float(sum / count);
}
