#pragma once
// Helpers shared by the texture generators: seeded hashing and noise that tiles over a
// period, byte conversion, and writing uncompressed A8R8G8B8 DDS files with mip chains.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

inline void put32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
  out[at + 2] = uint8_t(v >> 16);
  out[at + 3] = uint8_t(v >> 24);
}

// The 128-byte preamble of a mip-mapped 2D A8R8G8B8 DDS file.
inline std::vector<uint8_t> dds_header(int width, int height, int mips)
{
  std::vector<uint8_t> h(128, 0);
  memcpy(h.data(), "DDS ", 4);
  put32(h, 4, 124);
  put32(h, 8, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000); // CAPS HEIGHT WIDTH PITCH PIXELFORMAT MIPMAPCOUNT
  put32(h, 12, uint32_t(height));
  put32(h, 16, uint32_t(width));
  put32(h, 20, uint32_t(width) * 4);
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

// A complete DDS file from level 0 (w x h texels, bytes B, G, R, A) and `mips` levels,
// each further level the 2 x 2 box average of the one above. w and h must be divisible
// by 2^(mips - 1).
inline std::vector<uint8_t> dds_with_mips(std::vector<uint8_t> top, int w, int h, int mips)
{
  std::vector<uint8_t> out = dds_header(w, h, mips);
  std::vector<uint8_t> level = std::move(top);
  for (int m = 0; m < mips; m++)
  {
    out.insert(out.end(), level.begin(), level.end());
    if (m + 1 == mips)
      break;
    int nw = w / 2, nh = h / 2;
    std::vector<uint8_t> next(size_t(nw) * nh * 4);
    for (int y = 0; y < nh; y++)
      for (int x = 0; x < nw; x++)
        for (int c = 0; c < 4; c++)
        {
          auto px = [&](int xx, int yy) { return int(level[(size_t(yy) * w + xx) * 4 + c]); };
          int sum = px(2 * x, 2 * y) + px(2 * x + 1, 2 * y) + px(2 * x, 2 * y + 1) + px(2 * x + 1, 2 * y + 1);
          next[(size_t(y) * nw + x) * 4 + c] = uint8_t((sum + 2) / 4);
        }
    level = std::move(next);
    w = nw;
    h = nh;
  }
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
