// land_tex_gen: the terrain's generated textures, tileable, with full mip chains,
// uncompressed (a software rasteriser decodes compressed texels at every fetch).
//   land_tex_gen detail <out.dds>   256 x 256 A8R8G8B8: r fine grain, g pebbles and cracks,
//                                   b streaks (0.5 is neutral in every channel)
//   land_tex_gen foam <out.dds>     256 x 256 A8R8G8B8: rg ripple slopes (0.5 flat),
//                                   b a second ripple height, a foam
// Everything is seeded by constants, so the files are the same on every build.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace
{
constexpr int SIZE = 256;

uint32_t hash2(int x, int y, uint32_t seed)
{
  uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x85ebca6bu;
  h ^= h >> 16;
  return h;
}
float rnd01(int x, int y, uint32_t seed) { return float(hash2(x, y, seed) & 0xFFFFFF) / 16777215.f; }

float smooth(float t) { return t * t * (3.f - 2.f * t); }
float smoothstep_f(float a, float b, float x)
{
  float t = (x - a) / (b - a);
  return smooth(t < 0.f ? 0.f : t > 1.f ? 1.f : t);
}

// Value noise with a lattice of period cells over [0, 1) (so it tiles).
float value_noise(float u, float v, int period, uint32_t seed)
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

float fbm(float u, float v, int period, int octaves, uint32_t seed)
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
void worley(float u, float v, int period, uint32_t seed, float &f1, float &f2)
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
void normalise(std::vector<float> &c, float sd)
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

uint8_t to_byte(float f)
{
  f = f < 0.f ? 0.f : f > 1.f ? 1.f : f;
  return uint8_t(lrintf(f * 255.f));
}

// RGBA8 levels: level 0 given, each further level the 2 x 2 box average of the one above.
std::vector<std::vector<uint8_t>> mip_chain(std::vector<uint8_t> top)
{
  std::vector<std::vector<uint8_t>> levels{std::move(top)};
  for (int s = SIZE / 2; s >= 1; s /= 2)
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

void put32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
  out[at + 2] = uint8_t(v >> 16);
  out[at + 3] = uint8_t(v >> 24);
}

// The 128-byte DDS preamble for a mip-mapped 2D A8R8G8B8 texture.
std::vector<uint8_t> dds_header(int mips)
{
  std::vector<uint8_t> h(128, 0);
  memcpy(h.data(), "DDS ", 4);
  put32(h, 4, 124);
  put32(h, 8, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000); // CAPS HEIGHT WIDTH PITCH PIXELFORMAT MIPMAPCOUNT
  put32(h, 12, SIZE);
  put32(h, 16, SIZE);
  put32(h, 20, SIZE * 4);
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

bool write_file(const char *path, const std::vector<uint8_t> &data)
{
  FILE *f = fopen(path, "wb");
  if (!f)
  {
    fprintf(stderr, "land_tex_gen: can't write '%s'\n", path);
    return false;
  }
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = fclose(f) == 0 && ok;
  if (!ok)
    fprintf(stderr, "land_tex_gen: error writing '%s'\n", path);
  return ok;
}

std::vector<uint8_t> make_detail()
{
  std::vector<float> r(SIZE * SIZE), g(SIZE * SIZE), b(SIZE * SIZE);
  for (int y = 0; y < SIZE; y++)
    for (int x = 0; x < SIZE; x++)
    {
      float u = (x + 0.5f) / SIZE, v = (y + 0.5f) / SIZE;
      size_t i = size_t(y) * SIZE + x;
      r[i] = fbm(u, v, 16, 4, 11u) * 0.7f + rnd01(x, y, 5u) * 0.3f;
      float f1, f2;
      worley(u, v, 12, 23u, f1, f2);
      float crack = 1.f - expf(-(f2 - f1) * 9.f);
      float pebble = 1.f - f1 * 0.8f;
      g[i] = crack * 0.6f + pebble * 0.25f + fbm(u, v, 32, 2, 31u) * 0.15f;
      // Streaks: noise stretched along one axis and sheared so it does not look gridded.
      float su = u + v * 0.25f;
      b[i] = value_noise(su - floorf(su), v, 64, 41u) * 0.5f + fbm(u, v, 8, 3, 43u) * 0.5f;
    }
  normalise(r, 0.16f);
  normalise(g, 0.16f);
  normalise(b, 0.17f);
  std::vector<uint8_t> rgba(size_t(SIZE) * SIZE * 4);
  for (size_t i = 0; i < r.size(); i++)
  {
    rgba[i * 4] = to_byte(r[i]);
    rgba[i * 4 + 1] = to_byte(g[i]);
    rgba[i * 4 + 2] = to_byte(b[i]);
    rgba[i * 4 + 3] = 255;
  }
  // Uncompressed: the software rasteriser decodes DXT at every fetch, which made the
  // detail lookups the most expensive part of the land.
  for (size_t i = 0; i < r.size(); i++)
    std::swap(rgba[i * 4], rgba[i * 4 + 2]); // memory order B, G, R, A
  auto levels = mip_chain(std::move(rgba));
  std::vector<uint8_t> out = dds_header(int(levels.size()));
  for (const auto &l : levels)
    out.insert(out.end(), l.begin(), l.end());
  return out;
}

std::vector<uint8_t> make_foam()
{
  std::vector<float> hgt(SIZE * SIZE), hgt2(SIZE * SIZE), foam(SIZE * SIZE);
  for (int y = 0; y < SIZE; y++)
    for (int x = 0; x < SIZE; x++)
    {
      float u = (x + 0.5f) / SIZE, v = (y + 0.5f) / SIZE;
      size_t i = size_t(y) * SIZE + x;
      float f1, f2;
      worley(u, v, 6, 71u, f1, f2);
      // Rounded wave crests from cell edges plus some finer chop.
      hgt[i] = (1.f - expf(-(f2 - f1) * 3.f)) * 0.6f + fbm(u, v, 8, 4, 73u) * 0.4f;
      hgt2[i] = fbm(u, v, 4, 5, 79u);
      float b1, b2;
      worley(u, v, 24, 83u, b1, b2);
      float bubbles = smoothstep_f(0.15f, 0.55f, b2 - b1);
      float streak = fbm(u, v, 8, 4, 89u);
      foam[i] = bubbles * 0.55f + streak * 0.45f;
    }
  normalise(foam, 0.2f);
  std::vector<uint8_t> px(size_t(SIZE) * SIZE * 4);
  for (int y = 0; y < SIZE; y++)
    for (int x = 0; x < SIZE; x++)
    {
      auto h = [&](int i, int j) { return hgt[size_t((j + SIZE) % SIZE) * SIZE + size_t((i + SIZE) % SIZE)]; };
      float dx = (h(x + 1, y) - h(x - 1, y)) * 0.5f * SIZE / 48.f;
      float dz = (h(x, y + 1) - h(x, y - 1)) * 0.5f * SIZE / 48.f;
      size_t i = size_t(y) * SIZE + x;
      // Memory order of A8R8G8B8: B, G, R, A.
      px[i * 4 + 0] = to_byte(hgt2[i]);
      px[i * 4 + 1] = to_byte(0.5f - dz * 0.5f);
      px[i * 4 + 2] = to_byte(0.5f - dx * 0.5f);
      px[i * 4 + 3] = to_byte(foam[i]);
    }
  auto levels = mip_chain(std::move(px));
  std::vector<uint8_t> out = dds_header(int(levels.size()));
  for (const auto &l : levels)
    out.insert(out.end(), l.begin(), l.end());
  return out;
}
} // namespace

int main(int argc, char **argv)
{
  if (argc != 3 || (strcmp(argv[1], "detail") != 0 && strcmp(argv[1], "foam") != 0))
  {
    fprintf(stderr, "usage: land_tex_gen detail|foam <out.dds>\n");
    return 2;
  }
  std::vector<uint8_t> data = strcmp(argv[1], "detail") == 0 ? make_detail() : make_foam();
  return write_file(argv[2], data) ? 0 : 1;
}
