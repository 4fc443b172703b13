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
#include "asset_files.h"
#include "tex_gen_util.h"

namespace
{
constexpr int SIZE = 256;
constexpr int MIPS = 9; // 256 down to 1

using texgen::clamp01;
using texgen::rnd01;
using texgen::smoothstep_f;
using texgen::to_byte;
using texgen::worley;

// Value noise and its octaves on a square lattice of period cells over [0, 1) (tiling).
float value_noise(float u, float v, int period, uint32_t seed)
{
  return texgen::value_noise(u, v, period, period, seed);
}
float fbm(float u, float v, int period, int octaves, uint32_t seed)
{
  return texgen::fbm(u, v, period, period, octaves, seed);
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
  return asset::dds_file(std::move(rgba), SIZE, SIZE, 4);
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
  return asset::dds_file(std::move(px), SIZE, SIZE, 4);
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
  return asset::write_file("land_tex_gen", argv[2], data) ? 0 : 1;
}
