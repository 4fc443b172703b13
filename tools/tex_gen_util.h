#pragma once
// Helpers shared by the texture generators: seeded hashing, noise that tiles over a
// period and byte conversion. Files and DDS layout are in asset_files.h.
#include <cmath>
#include <cstdint>
#include <vector>

namespace texgen
{
inline uint32_t hash2(int x, int y, uint32_t seed)
{
  uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x85ebca6bu;
  h ^= h >> 16;
  return h;
}
inline float rnd01(int x, int y, uint32_t seed) { return float(hash2(x, y, seed) & 0xFFFFFF) / 16777215.f; }

inline float smooth(float t) { return t * t * (3.f - 2.f * t); }
inline float clamp01(float v) { return v < 0.f ? 0.f : v > 1.f ? 1.f : v; }
inline float smoothstep_f(float a, float b, float x) { return smooth(clamp01((x - a) / (b - a))); }

inline int wrap_int(int i, int period) { return ((i % period) + period) % period; }

// Value noise over a lattice of px x py cells on [0, 1) x [0, 1), tiling at the edges.
inline float value_noise(float u, float v, int px, int py, uint32_t seed)
{
  float x = u * float(px), y = v * float(py);
  int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  float fx = smooth(x - float(x0)), fy = smooth(y - float(y0));
  auto at = [&](int i, int j) { return rnd01(wrap_int(i, px), wrap_int(j, py), seed); };
  float a = at(x0, y0), b = at(x0 + 1, y0), c = at(x0, y0 + 1), d = at(x0 + 1, y0 + 1);
  float top = a + (b - a) * fx, bottom = c + (d - c) * fx;
  return top + (bottom - top) * fy;
}

// Octaves of value noise, each at twice the lattice of the one before; result in [0, 1].
inline float fbm(float u, float v, int px, int py, int octaves, uint32_t seed)
{
  float sum = 0.f, amp = 1.f, norm = 0.f;
  for (int o = 0; o < octaves; o++)
  {
    sum += value_noise(u, v, px << o, py << o, seed + uint32_t(o) * 101u) * amp;
    norm += amp;
    amp *= 0.5f;
  }
  return sum / norm;
}

// Distances to the nearest and second nearest feature point of a tiling cell grid.
inline void worley(float u, float v, int period, uint32_t seed, float &f1, float &f2)
{
  float x = u * period, y = v * period;
  int cx = int(std::floor(x)), cy = int(std::floor(y));
  f1 = f2 = 1e9f;
  for (int j = -1; j <= 1; j++)
    for (int i = -1; i <= 1; i++)
    {
      int gx = cx + i, gy = cy + j;
      int wx = wrap_int(gx, period), wy = wrap_int(gy, period);
      float px = gx + rnd01(wx, wy, seed), py = gy + rnd01(wx, wy, seed + 7u);
      float d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
      if (d < f1)
        f2 = f1, f1 = d;
      else if (d < f2)
        f2 = d;
    }
}

inline uint8_t to_byte(float f) { return uint8_t(std::lrint(clamp01(f) * 255.f)); }

} // namespace texgen
