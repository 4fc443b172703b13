#pragma once
// Helpers of the texture generators: tileable noise, byte conversion, box-filtered mip
// chains and the DDS preamble of a mip-mapped A8R8G8B8 texture. Everything is seeded by
// constants, so the generated files are the same on every build.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
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
inline float smoothstep_f(float a, float b, float x)
{
  float t = (x - a) / (b - a);
  return smooth(t < 0.f ? 0.f : t > 1.f ? 1.f : t);
}

// Value noise with a lattice of period cells over [0, 1) (so it tiles).
inline float value_noise(float u, float v, int period, uint32_t seed)
{
  float x = u * period, y = v * period;
  int x0 = int(floorf(x)), y0 = int(floorf(y));
  float fx = smooth(x - x0), fy = smooth(y - y0);
  auto at = [&](int i, int j) {
    return rnd01(((i % period) + period) % period, ((j % period) + period) % period, seed);
  };
  float a = at(x0, y0), b = at(x0 + 1, y0), c = at(x0, y0 + 1), d = at(x0 + 1, y0 + 1);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

inline float fbm(float u, float v, int period, int octaves, uint32_t seed)
{
  float sum = 0.f, amp = 1.f, norm = 0.f;
  for (int o = 0; o < octaves; o++)
  {
    sum += value_noise(u, v, period << o, seed + uint32_t(o) * 101u) * amp;
    norm += amp;
    amp *= 0.5f;
  }
  return sum / norm;
}

// Distances to the nearest and second nearest feature point of a tiling cell grid.
inline void worley(float u, float v, int period, uint32_t seed, float &f1, float &f2)
{
  float x = u * period, y = v * period;
  int cx = int(floorf(x)), cy = int(floorf(y));
  f1 = f2 = 1e9f;
  for (int j = -1; j <= 1; j++)
    for (int i = -1; i <= 1; i++)
    {
      int gx = cx + i, gy = cy + j;
      int wx = ((gx % period) + period) % period, wy = ((gy % period) + period) % period;
      float px = gx + rnd01(wx, wy, seed), py = gy + rnd01(wx, wy, seed + 7u);
      float d = sqrtf((px - x) * (px - x) + (py - y) * (py - y));
      if (d < f1)
        f2 = f1, f1 = d;
      else if (d < f2)
        f2 = d;
    }
}

// Rescales a channel to mean 0.5 and the given standard deviation.
inline void normalise(std::vector<float> &c, float sd)
{
  double mean = 0, var = 0;
  for (float f : c)
    mean += f;
  mean /= double(c.size());
  for (float f : c)
    var += (f - mean) * (f - mean);
  double s = sqrt(var / double(c.size()));
  for (float &f : c)
    f = float(0.5 + (f - mean) / (s > 1e-9 ? s : 1.0) * sd);
}

inline uint8_t to_byte(float f)
{
  f = f < 0.f ? 0.f : f > 1.f ? 1.f : f;
  return uint8_t(lrintf(f * 255.f));
}

// RGBA8 levels of a size x size image: level 0 given, each further level the 2 x 2 box
// average of the one above.
inline std::vector<std::vector<uint8_t>> mip_chain(std::vector<uint8_t> top, int size)
{
  std::vector<std::vector<uint8_t>> levels{std::move(top)};
  for (int s = size / 2; s >= 1; s /= 2)
  {
    const std::vector<uint8_t> &up = levels.back();
    int us = s * 2;
    std::vector<uint8_t> l(size_t(s) * s * 4);
    for (int y = 0; y < s; y++)
      for (int x = 0; x < s; x++)
        for (int c = 0; c < 4; c++)
        {
          int sum = up[((2 * y) * us + 2 * x) * 4 + c] + up[((2 * y) * us + 2 * x + 1) * 4 + c] +
                    up[((2 * y + 1) * us + 2 * x) * 4 + c] + up[((2 * y + 1) * us + 2 * x + 1) * 4 + c];
          l[(size_t(y) * s + x) * 4 + c] = uint8_t((sum + 2) / 4);
        }
    levels.push_back(std::move(l));
  }
  return levels;
}

inline void put32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
  out[at + 2] = uint8_t(v >> 16);
  out[at + 3] = uint8_t(v >> 24);
}

// The 128-byte DDS preamble for a mip-mapped 2D A8R8G8B8 texture of size x size.
inline std::vector<uint8_t> dds_header(int size, int mips)
{
  std::vector<uint8_t> h(128, 0);
  memcpy(h.data(), "DDS ", 4);
  put32(h, 4, 124);
  put32(h, 8, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000); // CAPS HEIGHT WIDTH PITCH PIXELFORMAT MIPMAPCOUNT
  put32(h, 12, uint32_t(size));
  put32(h, 16, uint32_t(size));
  put32(h, 20, uint32_t(size) * 4);
  put32(h, 28, uint32_t(mips));
  put32(h, 76, 32);
  put32(h, 80, 0x40 | 0x1); // RGB | ALPHAPIXELS
  put32(h, 88, 32);
  put32(h, 92, 0x00FF0000);
  put32(h, 96, 0x0000FF00);
  put32(h, 100, 0x000000FF);
  put32(h, 104, 0xFF000000);
  put32(h, 108, 0x1000 | 0x400000 | 0x8); // TEXTURE | MIPMAP | COMPLEX
  return h;
}

// A whole DDS file from level 0 in memory order B, G, R, A.
inline std::vector<uint8_t> dds_file(std::vector<uint8_t> bgra, int size)
{
  auto levels = mip_chain(std::move(bgra), size);
  std::vector<uint8_t> out = dds_header(size, int(levels.size()));
  for (const auto &l : levels)
    out.insert(out.end(), l.begin(), l.end());
  return out;
}

inline bool write_file(const char *tool, const char *path, const std::vector<uint8_t> &data)
{
  FILE *f = fopen(path, "wb");
  if (!f)
  {
    fprintf(stderr, "%s: can't write '%s'\n", tool, path);
    return false;
  }
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = fclose(f) == 0 && ok;
  if (!ok)
    fprintf(stderr, "%s: error writing '%s'\n", tool, path);
  return ok;
}
} // namespace texgen
