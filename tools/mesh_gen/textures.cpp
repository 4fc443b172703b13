// The objects' tiling textures. They carry detail, not hue: the meshes' vertex colours
// and the instances' tints colour them, so every texture is a near-neutral grey with a
// mean of 0.78, its pattern in brightness and a faint warmth.
#include "textures.h"
#include "../asset_files.h"
#include "../tex_gen_util.h"

namespace meshgen
{
using namespace texgen;

namespace
{
constexpr int SIZE = 128;
constexpr int MIPS = 8; // 128 down to 1

struct Image
{
  std::vector<float> r, g, b;
  Image() : r(SIZE * SIZE), g(SIZE * SIZE), b(SIZE * SIZE) {}
  void set(int x, int y, float v, float warm)
  {
    const size_t i = size_t(y) * SIZE + x;
    r[i] = v * (1.f + warm);
    g[i] = v;
    b[i] = v * (1.f - warm);
  }
  // Scales the image to a mean brightness of 0.78, the value the shaders use in place of
  // the texture where they skip the fetch (bin/mesh_inst.inc, mesh_detail).
  void set_mean()
  {
    double sum = 0;
    for (float v : g)
      sum += v;
    const float k = float(0.78 / (sum / double(g.size())));
    for (size_t i = 0; i < g.size(); i++)
      r[i] *= k, g[i] *= k, b[i] *= k;
  }
  std::vector<uint8_t> dds()
  {
    set_mean();
    std::vector<uint8_t> px(size_t(SIZE) * SIZE * 4);
    for (size_t i = 0; i < r.size(); i++)
    {
      px[i * 4 + 0] = to_byte(b[i]); // memory order B, G, R, A
      px[i * 4 + 1] = to_byte(g[i]);
      px[i * 4 + 2] = to_byte(r[i]);
      px[i * 4 + 3] = 255;
    }
    return asset::dds_file(std::move(px), SIZE, SIZE, 4, MIPS);
  }
};

// Organic grain for bark, needles and stone: soft blotches with fine speckle and cracks.
Image nature()
{
  Image im;
  for (int y = 0; y < SIZE; y++)
    for (int x = 0; x < SIZE; x++)
    {
      float u = (x + 0.5f) / SIZE, v = (y + 0.5f) / SIZE;
      float f1, f2;
      worley(u, v, 8, 301u, f1, f2);
      float crack = smoothstep_f(0.0f, 0.12f, f2 - f1);
      float blot = fbm(u, v, 4, 4, 4, 307u);
      float speck = rnd01(x, y, 311u);
      float val = 0.62f + 0.22f * blot + 0.1f * speck;
      val *= 0.78f + 0.22f * crack;
      im.set(x, y, val, 0.03f);
    }
  return im;
}

// Ashlar: courses of stone blocks with recessed mortar; each block its own shade.
Image castle()
{
  Image im;
  const int rows = 4, cols = 2; // per repeat
  for (int y = 0; y < SIZE; y++)
    for (int x = 0; x < SIZE; x++)
    {
      float u = (x + 0.5f) / SIZE, v = (y + 0.5f) / SIZE;
      float fy = v * rows;
      int row = int(fy);
      float fx = u * cols + (row & 1 ? 0.5f : 0.f);
      int col = int(floorf(fx));
      float ex = fx - floorf(fx), ey = fy - row;
      float edge = std::fmin(std::fmin(ex, 1.f - ex) * 2.f / cols * rows, std::fmin(ey, 1.f - ey));
      float mortar = smoothstep_f(0.02f, 0.09f, edge);
      float shade = 0.86f + 0.16f * (rnd01(col & (cols - 1), row, 401u) - 0.5f);
      float grain = fbm(u, v, 8, 8, 3, 409u) - 0.5f;
      float val = (shade + grain * 0.12f + (rnd01(x, y, 419u) - 0.5f) * 0.05f) * (0.62f + 0.38f * mortar);
      // Worn, darker lower edges of the blocks.
      val *= 1.f - 0.08f * smoothstep_f(0.6f, 1.f, ey);
      im.set(x, y, val, 0.04f);
    }
  return im;
}

// Shingles: overlapping rows, each tile rounded at its lower edge and shaded by it.
Image roof()
{
  Image im;
  const int rows = 6, cols = 4;
  for (int y = 0; y < SIZE; y++)
    for (int x = 0; x < SIZE; x++)
    {
      float u = (x + 0.5f) / SIZE, v = (y + 0.5f) / SIZE;
      float fy = v * rows;
      int row = int(fy);
      float fx = u * cols + (row & 1 ? 0.5f : 0.f);
      int col = int(floorf(fx));
      float ex = fx - floorf(fx), ey = fy - row;
      float round = 1.f - (ex - 0.5f) * (ex - 0.5f) * 1.4f;
      float lower = smoothstep_f(round - 0.25f, round, ey);
      float gap = smoothstep_f(0.0f, 0.06f, std::fmin(ex, 1.f - ex));
      float shade = 0.85f + 0.2f * (rnd01(col & (cols - 1), row, 503u) - 0.5f);
      float val = shade * (0.95f - 0.35f * lower) * (0.7f + 0.3f * gap);
      val += (fbm(u, v, 16, 16, 2, 509u) - 0.5f) * 0.08f;
      im.set(x, y, val, 0.02f);
    }
  return im;
}

// Scales and feathers: overlapping cells, lighter at their centres.
Image creature()
{
  Image im;
  for (int y = 0; y < SIZE; y++)
    for (int x = 0; x < SIZE; x++)
    {
      float u = (x + 0.5f) / SIZE, v = (y + 0.5f) / SIZE;
      float f1, f2;
      worley(u, v, 12, 601u, f1, f2);
      float scale = 1.f - smoothstep_f(0.0f, 0.55f, f1);
      float rim = smoothstep_f(0.0f, 0.08f, f2 - f1);
      float val = (0.7f + 0.22f * scale) * (0.75f + 0.25f * rim) + (fbm(u, v, 8, 8, 2, 607u) - 0.5f) * 0.08f;
      im.set(x, y, val, 0.02f);
    }
  return im;
}
} // namespace

std::vector<TextureFile> object_textures()
{
  return {
    {"nature.dds", nature().dds()},
    {"castle.dds", castle().dds()},
    {"roof.dds", roof().dds()},
    {"creature.dds", creature().dds()},
  };
}
} // namespace meshgen
