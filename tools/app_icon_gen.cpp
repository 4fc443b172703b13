// Draws the program's desktop icon: a round island in a dark sea under a lightning bolt,
// as an RGBA PNG of SIZE x SIZE pixels (antialiased by 4 x 4 supersampling).
//   app_icon_gen SIZE OUT.png
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stb/stb_image_write.h>
#include <vector>

namespace
{
struct Rgba
{
  float r, g, b, a;
};

// Inside the convex polygon of n points, in either winding.
bool inside(const float (*pts)[2], int n, float x, float y)
{
  bool pos = false, neg = false;
  for (int i = 0; i < n; i++)
  {
    const float *a = pts[i], *b = pts[(i + 1) % n];
    const float side = (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0]);
    pos |= side > 0.f;
    neg |= side < 0.f;
  }
  return !(pos && neg);
}

// The colour at (x, y) in [0, 1]^2, y downwards.
Rgba shade(float x, float y)
{
  const float cx = x - 0.5f, cy = y - 0.5f;
  const float r = std::sqrt(cx * cx + cy * cy);
  if (r > 0.48f)
    return {0, 0, 0, 0};
  // Two triangles make the bolt.
  static const float upper[3][2] = {{0.60f, 0.10f}, {0.36f, 0.52f}, {0.54f, 0.50f}};
  static const float lower[3][2] = {{0.44f, 0.46f}, {0.40f, 0.90f}, {0.64f, 0.44f}};
  if (inside(upper, 3, x, y) || inside(lower, 3, x, y))
    return {1.0f, 0.93f, 0.45f, 1};
  // The island: sand around grass, darker to the south.
  const float ir = std::sqrt(cx * cx + (cy - 0.12f) * (cy - 0.12f) * 2.2f);
  if (ir < 0.22f)
    return {0.22f, 0.55f - 0.3f * ir, 0.20f, 1};
  if (ir < 0.27f)
    return {0.85f, 0.78f, 0.52f, 1};
  // Sea, lighter towards the rim; a thin rim.
  if (r > 0.45f)
    return {0.10f, 0.16f, 0.30f, 1};
  return {0.08f, 0.22f + 0.3f * r, 0.45f + 0.3f * r, 1};
}
} // namespace

int main(int argc, char **argv)
{
  const int size = argc == 3 ? atoi(argv[1]) : 0;
  if (size < 16 || size > 1024)
  {
    fprintf(stderr, "usage: app_icon_gen SIZE(16..1024) OUT.png\n");
    return 2;
  }
  std::vector<uint8_t> px(size_t(size) * size * 4);
  const int ss = 4;
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++)
    {
      Rgba sum = {0, 0, 0, 0};
      for (int sy = 0; sy < ss; sy++)
        for (int sx = 0; sx < ss; sx++)
        {
          const Rgba c = shade((x + (sx + 0.5f) / ss) / size, (y + (sy + 0.5f) / ss) / size);
          sum.r += c.r * c.a, sum.g += c.g * c.a, sum.b += c.b * c.a, sum.a += c.a;
        }
      uint8_t *p = &px[(size_t(y) * size + x) * 4];
      const float a = sum.a / (ss * ss);
      const float inv = sum.a > 0.f ? 1.f / sum.a : 0.f; // straight, not premultiplied, alpha
      p[0] = uint8_t(std::lround(std::fmin(sum.r * inv, 1.f) * 255.f));
      p[1] = uint8_t(std::lround(std::fmin(sum.g * inv, 1.f) * 255.f));
      p[2] = uint8_t(std::lround(std::fmin(sum.b * inv, 1.f) * 255.f));
      p[3] = uint8_t(std::lround(a * 255.f));
    }
  if (!stbi_write_png(argv[2], size, size, 4, px.data(), size * 4))
  {
    fprintf(stderr, "app_icon_gen: can't write '%s'\n", argv[2]);
    return 1;
  }
  return 0;
}
