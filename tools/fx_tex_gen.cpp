// fx_tex_gen: the particle atlases, 512 x 256 A8R8G8B8 with four mip levels, colour
// premultiplied by alpha (so filtering and mip levels never darken the edges).
//   fx_tex_gen blend <out.dds>   blendfx.dds: blended sprites (smoke, dust, water, feathers)
//   fx_tex_gen glow <out.dds>    glowfx.dds: glowing sprites, the trail body and head, the
//                                lightning band
//   a third argument <preview.png> also writes the atlas over a backdrop (blend: a sky
//   gradient, glow: black) for looking at it.
// fx_atlas_cells.h is the one place that says where a sprite is; bin/test/fx.nut
// repeats it for modders (a test keeps the two alike). Every sprite fades to nothing before its cell's edge, so
// neighbours never bleed into each other on any mip level.
// Everything is seeded by constants, so the files are the same on every build.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stb/stb_image_write.h>
#include <string>
#include <vector>
#include "asset_files.h"
#include "fx_atlas_cells.h"
#include "tex_gen_util.h"

using namespace texgen;

namespace
{
constexpr int W = 512, H = 256, MIPS = 4;
constexpr float PI = 3.14159265f;

struct Rgba
{
  float r, g, b, a; // straight (not premultiplied) colour and coverage
};

// Premultiplied float texels of one atlas.
struct Canvas
{
  std::vector<float> px = std::vector<float>(size_t(W) * H * 4, 0.f);

  // Fills a square cell: f gets the position in [-1, 1]^2 (y down, as the rows run) and
  // returns straight colour; ss x ss samples per texel are averaged premultiplied.
  void paint(int x0, int y0, int cell, const std::function<Rgba(float, float)> &f, int ss = 3)
  {
    paintRect(
      x0, y0, cell, cell, [&](float u, float v) { return f(u * 2.f - 1.f, v * 2.f - 1.f); }, ss);
  }
  // Fills a rectangle: f gets (u, v) in [0, 1]^2 across it.
  void paintRect(int x0, int y0, int w, int h, const std::function<Rgba(float, float)> &f, int ss = 3)
  {
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++)
      {
        float acc[4] = {0, 0, 0, 0};
        for (int j = 0; j < ss; j++)
          for (int i = 0; i < ss; i++)
          {
            float u = (float(x) + (float(i) + 0.5f) / float(ss)) / float(w);
            float v = (float(y) + (float(j) + 0.5f) / float(ss)) / float(h);
            Rgba c = f(u, v);
            float a = clamp01(c.a);
            acc[0] += clamp01(c.r) * a;
            acc[1] += clamp01(c.g) * a;
            acc[2] += clamp01(c.b) * a;
            acc[3] += a;
          }
        float *p = &px[(size_t(y0 + y) * W + size_t(x0 + x)) * 4];
        for (int c = 0; c < 4; c++)
          p[c] = acc[c] / float(ss * ss);
      }
  }

  // Memory order of A8R8G8B8: B, G, R, A.
  std::vector<uint8_t> bytes() const
  {
    std::vector<uint8_t> out(size_t(W) * H * 4);
    for (size_t i = 0; i < size_t(W) * H; i++)
    {
      out[i * 4 + 0] = to_byte(px[i * 4 + 2]);
      out[i * 4 + 1] = to_byte(px[i * 4 + 1]);
      out[i * 4 + 2] = to_byte(px[i * 4 + 0]);
      out[i * 4 + 3] = to_byte(px[i * 4 + 3]);
    }
    return out;
  }
};

// ---------------------------------------------------------------------------------------
// Shape helpers (cell coordinates: x right, y down, both in [-1, 1])

float len2(float x, float y) { return std::sqrt(x * x + y * y); }
float gauss(float d, float w) { return std::exp(-(d / w) * (d / w)); }

// 1 inside radius r0, 0 from r1 outward: keeps every sprite off its cell's edge.
float edge_fade(float x, float y, float r0 = 0.8f, float r1 = 0.96f) { return 1.f - smoothstep_f(r0, r1, len2(x, y)); }

// Cell-local noise in [0, 1] (value noise over the cell's own lattice).
float cnoise(float x, float y, int cells, int octaves, uint32_t seed)
{
  return fbm((x + 1.f) * 0.5f, (y + 1.f) * 0.5f, cells, cells, octaves, seed);
}

// Distance from p to the segment a-b, and the position t along it.
float seg_dist(float px, float py, float ax, float ay, float bx, float by, float &t)
{
  float dx = bx - ax, dy = by - ay;
  float l2 = dx * dx + dy * dy;
  t = l2 > 0.f ? clamp01(((px - ax) * dx + (py - ay) * dy) / l2) : 0.f;
  return len2(px - (ax + dx * t), py - (ay + dy * t));
}

Rgba grey(float v, float a) { return {v, v, v, a}; }
Rgba glow(float i) { return {i, i, i, i}; } // additive: intensity in colour, alpha alike
Rgba glow_rgb(float r, float g, float b) { return {r, g, b, std::fmax(r, std::fmax(g, b))}; }

// Colour of fire by heat in [0, 1]: deep red, orange, yellow, white.
Rgba fire_colour(float heat)
{
  heat = clamp01(heat);
  float r = clamp01(heat * 2.2f);
  float g = clamp01((heat - 0.25f) * 1.7f);
  float b = clamp01((heat - 0.7f) * 2.8f);
  return glow_rgb(r * heat * 1.4f, g * heat * 1.25f, b * heat);
}

// ---------------------------------------------------------------------------------------
// Blended sprites

// A cluster of soft blobs, eroded by warped noise: the density of one smoke puff.
struct Puff
{
  float cx[8], cy[8], cr[8];
  int n;
  uint32_t seed;
  float erosion;

  Puff(uint32_t s, int blobs, float spread, float erosion_) : n(blobs), seed(s), erosion(erosion_)
  {
    for (int i = 0; i < n; i++)
    {
      float a = rnd01(i, 1, s) * 2.f * PI, d = std::sqrt(rnd01(i, 2, s)) * spread;
      cx[i] = std::cos(a) * d;
      cy[i] = std::sin(a) * d * 0.85f;
      cr[i] = 0.24f + rnd01(i, 3, s) * 0.2f;
    }
  }
  float operator()(float x, float y) const
  {
    float wx = x + (cnoise(x, y, 3, 3, seed + 11u) - 0.5f) * 0.3f;
    float wy = y + (cnoise(x, y, 3, 3, seed + 13u) - 0.5f) * 0.3f;
    float d = 0.f;
    for (int i = 0; i < n; i++)
    {
      float q = len2(wx - cx[i], wy - cy[i]) / cr[i];
      d += std::fmax(0.f, 1.f - q * q);
    }
    float detail = cnoise(wx, wy, 4, 4, seed + 17u);
    return std::fmax(0.f, d * (1.f - erosion + erosion * 1.6f * detail)) * edge_fade(x, y, 0.7f, 0.97f);
  }
};

// Lit from the upper left and front: the density is read as a height field for its
// billows, and the less smoke lies between a point and the light, the brighter it is.
Rgba smoke(const Puff &puff, float x, float y, float opacity)
{
  float d = puff(x, y);
  float a = std::pow(smoothstep_f(0.0f, 1.3f, d), 0.85f) * opacity;
  if (a <= 0.002f)
    return {0, 0, 0, 0};
  auto height = [&](float px, float py) { return puff(px, py) + 0.25f * cnoise(px, py, 5, 3, puff.seed + 29u); };
  const float e = 0.05f;
  float gx = (height(x + e, y) - height(x - e, y)) / (2.f * e);
  float gy = (height(x, y + e) - height(x, y - e)) / (2.f * e);
  float nx = -gx * 0.07f, ny = -gy * 0.07f, nz = 1.f;
  float nl = std::sqrt(nx * nx + ny * ny + nz * nz);
  const float lx = -0.5f, ly = -0.65f, lz = 0.57f;
  float diffuse = clamp01((nx * lx + ny * ly + nz * lz) / nl);
  float toward = puff(x - lx * 0.14f, y + ly * 0.14f) + 0.6f * puff(x - lx * 0.3f, y + ly * 0.3f);
  float shadow = std::exp(-0.45f * toward);
  float v = clamp01(0.38f + 0.3f * diffuse + 0.4f * shadow);
  return {v, v, v * 1.03f, a};
}

Rgba dust_cloud(float x, float y)
{
  float wx = x + (cnoise(x, y, 2, 3, 301u) - 0.5f) * 0.5f;
  float wy = y + (cnoise(x, y, 2, 3, 303u) - 0.5f) * 0.5f;
  float n = cnoise(wx * 1.3f, wy, 4, 5, 307u);
  float body = gauss(len2(x * 0.9f, y * 1.2f), 0.55f);
  float a = clamp01((n - 0.3f) * 2.2f) * body * edge_fade(x, y, 0.7f, 0.97f) * 0.85f;
  float v = 0.8f + 0.2f * cnoise(x, y, 24, 2, 311u) - 0.15f * std::fmax(0.f, y);
  return grey(v, a);
}

Rgba dust(float x, float y)
{
  float body = gauss(len2(x, y), 0.5f);
  float grain = cnoise(x, y, 14, 3, 401u);
  float speck = rnd01(int((x + 1.f) * 40.f), int((y + 1.f) * 40.f), 403u) > 0.93f ? 0.35f : 0.f;
  float a = clamp01(body * (0.35f + 0.75f * grain) + speck * body) * edge_fade(x, y, 0.75f);
  return grey(0.85f + 0.15f * grain, a);
}

// A falling drop: round below, drawn out to a point above; clear in the middle, denser at
// the rim, with a highlight.
Rgba water_drop(float x, float y, float scale)
{
  x /= scale;
  y /= scale;
  const float cy = 0.25f, r = 0.42f, tip = -0.75f;
  float w;
  if (y >= cy)
  {
    float t = (y - cy) / r;
    w = t >= 1.f ? -1.f : r * std::sqrt(1.f - t * t);
  }
  else
  {
    float s = (y - tip) / (cy - tip);
    w = s <= 0.f ? -1.f : r * std::pow(s, 1.4f);
  }
  float e = (w - std::fabs(x)) / r; // 0 at the outline, 1 on the axis of the round part
  if (e <= -0.05f)
    return {0, 0, 0, 0};
  float cover = smoothstep_f(-0.05f, 0.04f, e);
  float rim = 1.f - smoothstep_f(0.0f, 0.35f, e);
  float lower = smoothstep_f(cy - 0.1f, cy + r, y);
  float a = cover * (0.38f + 0.5f * rim);
  float hl = gauss(len2(x + 0.14f, y - 0.12f), 0.09f);
  float r0 = 0.72f + 0.28f * (1.f - lower) + hl, g0 = 0.84f + 0.16f * (1.f - lower) + hl, b0 = 1.f;
  return {r0, g0, b0, clamp01(a + hl * cover)};
}

// A crown of water thrown up: a sheet at the bottom, streaks fanning up, drops at their tips.
Rgba splash(float x, float y, uint32_t seed, bool sheet_only)
{
  float a = 0.f;
  const float ox = 0.f, oy = 0.78f;
  int streaks = sheet_only ? 0 : 11;
  for (int i = 0; i < streaks; i++)
  {
    float ang = (rnd01(i, 5, seed) - 0.5f) * 2.1f;
    float len = 0.5f + rnd01(i, 6, seed) * 0.9f;
    float ex = ox + std::sin(ang) * len, ey = oy - std::cos(ang) * len * 0.95f;
    float t;
    float d = seg_dist(x, y, ox + std::sin(ang) * 0.15f, oy - std::cos(ang) * 0.15f, ex, ey, t);
    float th = 0.045f * (1.f - 0.6f * t);
    a = std::fmax(a, (1.f - smoothstep_f(th * 0.5f, th, d)) * (0.35f + 0.55f * t));
    float drop = len2(x - ex, y - ey) / (0.05f + 0.04f * rnd01(i, 7, seed));
    a = std::fmax(a, 1.f - smoothstep_f(0.6f, 1.f, drop));
  }
  // The sheet: a wide low arc of water with a frilly top edge.
  float sx = x / 0.8f, sy = (y - 0.82f) / 0.42f;
  float frill = 0.12f * (cnoise(x * 3.f, 0.f, 6, 2, seed + 3u) - 0.5f);
  float inside = 1.f - (sx * sx + (sy + frill) * (sy + frill));
  float sheet = smoothstep_f(0.f, 0.12f, inside) * smoothstep_f(-0.2f, 0.4f, y) * (0.45f + 0.4f * (1.f - inside));
  a = std::fmax(a, sheet * (sheet_only ? 1.f : 0.8f));
  float v = 0.82f + 0.18f * clamp01(-y);
  return {v * 0.92f, v * 0.97f, 1.f, a * edge_fade(x, y, 0.88f, 0.98f)};
}

Rgba spray(float x, float y, uint32_t seed)
{
  float a = 0.16f * gauss(len2(x, y), 0.55f);
  for (int i = 0; i < 46; i++)
  {
    float ang = rnd01(i, 1, seed) * 2.f * PI;
    float d = std::sqrt(rnd01(i, 2, seed)) * 0.72f;
    float dx = std::cos(ang) * d, dy = std::sin(ang) * d;
    float r = 0.022f + 0.045f * rnd01(i, 3, seed) * (1.f - d);
    float q = len2(x - dx, y - dy) / r;
    a = std::fmax(a, (1.f - smoothstep_f(0.55f, 1.f, q)) * 0.85f);
  }
  return {0.88f, 0.94f, 1.f, a * edge_fade(x, y, 0.82f)};
}

// Bubbly foam: the walls between packed bubbles, in a lumpy patch.
Rgba foam(float x, float y, uint32_t seed, int bubbles)
{
  float f1 = 9.f, f2 = 9.f;
  for (int i = 0; i < bubbles; i++)
  {
    float px = (rnd01(i, 1, seed) * 2.f - 1.f) * 0.85f, py = (rnd01(i, 2, seed) * 2.f - 1.f) * 0.85f;
    float d = len2(x - px, y - py);
    if (d < f1)
      f2 = f1, f1 = d;
    else if (d < f2)
      f2 = d;
  }
  float walls = 1.f - smoothstep_f(0.0f, 0.07f, f2 - f1);
  float shape = len2(x, y) + (cnoise(x, y, 4, 3, seed + 5u) - 0.5f) * 0.5f;
  float patch = 1.f - smoothstep_f(0.45f, 0.75f, shape);
  float a = (walls * 0.85f + 0.25f) * patch;
  return {0.95f, 0.98f, 1.f, a * edge_fade(x, y, 0.8f)};
}

// A contour feather: quill along the cell's vertical, vanes of fine barbs, a ragged
// outline with a notch or two, a fluffy base.
Rgba feather(float x, float y, uint32_t seed, float bend, float width, bool downy)
{
  // Along the quill: s = 0 at the base (bottom), 1 at the tip (top).
  float qx = x - bend * (y * y - 0.7f);
  float s = clamp01((0.86f - y) / 1.7f);
  if (y > 0.86f || y < -0.86f)
    return {0, 0, 0, 0};
  float profile = width * std::sin(PI * std::pow(s, 0.75f)) * (downy ? 1.f : (0.75f + 0.25f * s));
  float ragged = (cnoise(std::fabs(qx) * 0.3f, y, 10, 3, seed + (qx < 0 ? 1u : 2u)) - 0.5f) * 0.16f;
  float half = profile + ragged;
  float e = half - std::fabs(qx);
  float cover = smoothstep_f(-0.02f, 0.03f, e);
  // Barbs run outward and toward the tip; a notch splits the vane in a few places.
  float phase = (y + std::fabs(qx) * 0.9f) * (downy ? 28.f : 62.f);
  float barbs = 0.72f + 0.28f * std::cos(phase + 2.f * cnoise(x, y, 6, 2, seed + 7u));
  float notch = cnoise(0.f, y + (qx < 0.f ? 0.37f : 0.f), 7, 1, seed + 9u);
  float split = smoothstep_f(0.78f, 0.86f, notch) * smoothstep_f(0.f, half * 0.6f + 0.01f, std::fabs(qx));
  float fluff = downy ? 0.55f + 0.45f * cnoise(x, y, 12, 3, seed + 11u) : 1.f - 0.5f * smoothstep_f(0.1f, 0.f, s);
  float a = cover * barbs * fluff * (1.f - split) * (0.55f + 0.4f * smoothstep_f(0.f, 0.1f, e));
  float quill = downy ? 0.f : (1.f - smoothstep_f(0.008f, 0.022f, std::fabs(qx))) * smoothstep_f(0.97f, 0.85f, s);
  float shade = 0.78f + 0.22f * (1.f - s) - 0.1f * (qx > 0.f ? 1.f : 0.f);
  float v = clamp01(shade * (0.9f + 0.1f * barbs));
  Rgba c{v, v, v * 0.97f, clamp01(std::fmax(a, quill * 0.95f))};
  if (quill > 0.f)
  {
    float q = 0.93f * quill + v * (1.f - quill);
    c.r = c.g = q;
    c.b = q * 0.95f;
  }
  return c;
}

Rgba ripple(float x, float y)
{
  float r = len2(x, y);
  float a = gauss(r - 0.72f, 0.07f) * 0.9f + gauss(r - 0.5f, 0.05f) * 0.35f;
  return {0.92f, 0.96f, 1.f, a * edge_fade(x, y, 0.85f, 0.97f)};
}

// An irregular flake or chip: a noisy outline; chips are shaded like little stones.
Rgba flake(float x, float y, uint32_t seed, bool stone)
{
  float ang = std::atan2(y, x);
  float rr = 0.48f + 0.3f * (value_noise(ang / (2.f * PI) + 0.5f, 0.5f, 5, 1, seed) - 0.5f) * 2.f;
  float r = len2(x, y);
  float cover = 1.f - smoothstep_f(rr - 0.05f, rr + 0.03f, r);
  float v;
  if (stone)
  {
    float nz = std::sqrt(std::fmax(0.f, 1.f - (r / rr) * (r / rr)));
    float lit = clamp01((-x * 0.5f - y * 0.7f) / rr * 0.6f + nz * 0.6f);
    v = 0.35f + 0.6f * lit;
  }
  else
    v = 0.7f + 0.3f * cnoise(x, y, 6, 2, seed + 3u);
  return grey(v, cover * (stone ? 1.f : 0.9f) * edge_fade(x, y, 0.85f));
}

Rgba leaf(float x, float y)
{
  // Pointed oval along the diagonal with a mid vein.
  float u = (x + y) * 0.7071f, v = (x - y) * 0.7071f;
  float w = 0.32f * std::sqrt(std::fmax(0.f, 1.f - (u / 0.8f) * (u / 0.8f))) * (1.f - 0.3f * u);
  float cover = smoothstep_f(0.f, 0.04f, w - std::fabs(v));
  float vein = 1.f - smoothstep_f(0.01f, 0.03f, std::fabs(v));
  return grey(0.75f + 0.25f * vein, cover * edge_fade(x, y, 0.85f));
}

// ---------------------------------------------------------------------------------------
// Glowing sprites

Rgba flare(float x, float y)
{
  float r = len2(x, y);
  float core = gauss(r, 0.1f) * 1.2f;
  float halo = gauss(r, 0.38f) * 0.45f;
  float rays = std::exp(-std::fabs(x) * 40.f) * std::exp(-std::fabs(y) * 2.8f) +
               std::exp(-std::fabs(y) * 40.f) * std::exp(-std::fabs(x) * 2.8f);
  float u = (x + y) * 0.7071f, v = (x - y) * 0.7071f;
  rays += 0.45f * (std::exp(-std::fabs(u) * 50.f) * std::exp(-std::fabs(v) * 4.5f) +
                   std::exp(-std::fabs(v) * 50.f) * std::exp(-std::fabs(u) * 4.5f));
  return glow((core + halo + rays * 0.8f) * edge_fade(x, y, 0.7f, 0.97f));
}

Rgba glow_ball(float x, float y)
{
  float r = len2(x, y);
  return glow((gauss(r, 0.5f) * 0.7f + gauss(r, 0.16f) * 0.7f) * edge_fade(x, y, 0.75f, 0.97f));
}

Rgba ring(float x, float y)
{
  float r = len2(x, y);
  return glow((gauss(r - 0.7f, 0.045f) + gauss(r - 0.7f, 0.16f) * 0.3f) * edge_fade(x, y, 0.88f, 0.98f));
}

// A pressure front: a sharp bright edge outside, a broken glow trailing inward.
Rgba shock_wave(float x, float y)
{
  float r = len2(x, y);
  float ang = std::atan2(y, x) / (2.f * PI) + 0.5f;
  float broken = 0.55f + 0.45f * value_noise(ang, r * 0.5f, 16, 2, 601u);
  float inside = r < 0.78f ? gauss(0.78f - r, 0.3f) * 0.75f * broken : 0.f;
  float front = gauss(r - 0.78f, 0.035f);
  return glow((front + inside) * edge_fade(x, y, 0.88f, 0.98f));
}

// A tongue of flame pointing up: hot at the root, thinning and cooling toward a wavering tip.
Rgba flame(float x, float y, uint32_t seed)
{
  const float base = 0.62f, tip = -0.88f;
  float s = clamp01((base - y) / (base - tip)); // 0 at the root, 1 at the tip
  float sway = (cnoise(0.f, y, 3, 2, seed) - 0.5f) * 0.35f * s;
  float fx = x - sway;
  float w = 0.36f * std::pow(1.f - s, 0.55f) * (0.85f + 0.3f * cnoise(fx, y, 4, 2, seed + 3u));
  if (y > base)
    w = 0.36f * std::sqrt(std::fmax(0.f, 1.f - ((y - base) / 0.3f) * ((y - base) / 0.3f)));
  float e = (w - std::fabs(fx)) / 0.36f;
  float lick = cnoise(fx * 1.5f, y * 0.8f + 0.3f, 6, 3, seed + 5u);
  float heat = smoothstep_f(-0.05f, 0.45f, e + (lick - 0.5f) * 0.35f) * (1.f - 0.55f * s);
  heat *= edge_fade(x, y, 0.86f, 0.98f);
  return fire_colour(heat);
}

Rgba sparkle(float x, float y)
{
  float r = len2(x, y);
  float star =
    std::exp(-std::fabs(x) * 28.f - std::fabs(y) * 2.4f) + std::exp(-std::fabs(y) * 28.f - std::fabs(x) * 2.4f);
  return glow((star * 0.9f + gauss(r, 0.09f) + gauss(r, 0.3f) * 0.2f) * edge_fade(x, y, 0.75f, 0.97f));
}

// The core of a fireball: churning noise, hottest in the middle.
Rgba fire_puff(float x, float y)
{
  float wx = x + (cnoise(x, y, 4, 3, 701u) - 0.5f) * 0.3f;
  float wy = y + (cnoise(x, y, 4, 3, 703u) - 0.5f) * 0.3f;
  float n = cnoise(wx, wy, 6, 4, 707u);
  float r = len2(x, y);
  float body = gauss(r, 0.5f) * (1.f - smoothstep_f(0.55f, 0.9f, r + (n - 0.5f) * 0.3f));
  float heat = clamp01(body * (0.45f + 1.f * n));
  return fire_colour(heat * 1.1f);
}

// A spark's streak, hot at its head (the right end), fading along its tail.
Rgba spark(float x, float y)
{
  float along = clamp01((x + 0.85f) / 1.7f);
  float tail = std::pow(along, 1.6f) * (x < 0.85f ? 1.f : 0.f);
  float line = gauss(y, 0.035f * (0.5f + 0.5f * along));
  float head = gauss(len2(x - 0.75f, y), 0.1f);
  float halo = gauss(y, 0.14f) * 0.25f * tail;
  return glow((line * tail + head + halo) * edge_fade(x, y, 0.88f, 0.98f));
}

Rgba ember(float x, float y)
{
  float r = len2(x * (1.f + 0.25f * (cnoise(x, y, 3, 1, 801u) - 0.5f)), y);
  float flicker = 0.7f + 0.3f * cnoise(x, y, 6, 2, 803u);
  return glow((gauss(r, 0.16f) * 1.2f * flicker + gauss(r, 0.45f) * 0.28f) * edge_fade(x, y, 0.7f));
}

// A soft plus sign: the mark of healing.
Rgba heal_plus(float x, float y)
{
  float arm = std::fmin(std::fabs(x), std::fabs(y));
  float reach = std::fmax(std::fabs(x), std::fabs(y));
  float bar = gauss(arm, 0.12f) * (1.f - smoothstep_f(0.45f, 0.62f, reach));
  float r = len2(x, y);
  return glow((bar * 0.95f + gauss(r, 0.45f) * 0.25f) * edge_fade(x, y, 0.8f));
}

Rgba flash(float x, float y)
{
  float r = len2(x, y);
  float f = 1.f - smoothstep_f(0.f, 0.95f, r);
  return glow(f * f * 0.9f);
}

// A magic circle: two rings and marks between them.
Rgba rune_ring(float x, float y)
{
  float r = len2(x, y);
  float ang = std::atan2(y, x);
  float outer = gauss(r - 0.78f, 0.025f), inner = gauss(r - 0.58f, 0.018f) * 0.8f;
  float cell = ang / (2.f * PI) * 12.f;
  float k = cell - std::floor(cell);
  int idx = int(std::floor(cell)) & 15;
  float mark = 0.f;
  if (r > 0.61f && r < 0.75f)
  {
    float rad = (r - 0.61f) / 0.14f;
    float shape = rnd01(idx, 1, 901u);
    float stroke = shape < 0.5f ? gauss(k - 0.5f, 0.05f)
                                : gauss(rad - (0.3f + 0.4f * shape), 0.09f) * smoothstep_f(0.15f, 0.3f, k) *
                                    smoothstep_f(0.85f, 0.7f, k);
    mark = stroke * 0.8f;
  }
  float tri = 0.f;
  for (int i = 0; i < 3; i++)
  {
    float a0 = float(i) * 2.f * PI / 3.f - PI / 2.f, a1 = a0 + 2.f * PI / 3.f;
    float t;
    float d = seg_dist(x, y, std::cos(a0) * 0.56f, std::sin(a0) * 0.56f, std::cos(a1) * 0.56f, std::sin(a1) * 0.56f, t);
    tri = std::fmax(tri, gauss(d, 0.015f) * 0.6f);
  }
  return glow((outer + inner + mark + tri + gauss(r - 0.7f, 0.2f) * 0.12f) * edge_fade(x, y, 0.88f, 0.98f));
}

// The rim of a water globe, brightest toward the light.
Rgba bubble_rim(float x, float y)
{
  float r = len2(x, y);
  float lit = 0.45f + 0.55f * clamp01((-x * 0.6f - y * 0.8f) / std::fmax(r, 1e-3f) * 0.5f + 0.5f);
  float rim = gauss(r - 0.74f, 0.06f) * lit + gauss(r - 0.7f, 0.2f) * 0.12f;
  float hl = gauss(len2(x + 0.3f, y + 0.36f), 0.1f) * 0.9f;
  return glow((rim + hl) * edge_fade(x, y, 0.88f, 0.98f));
}

// Two arms spiralling into the middle (portals).
Rgba swirl(float x, float y)
{
  float r = len2(x, y);
  float ang = std::atan2(y, x);
  float arms = 0.5f + 0.5f * std::cos(2.f * ang + 7.f * std::sqrt(r));
  arms = std::pow(arms, 3.f);
  float body = smoothstep_f(0.05f, 0.25f, r) * (1.f - smoothstep_f(0.6f, 0.9f, r));
  return glow((arms * body * 0.9f + gauss(r, 0.15f) * 0.5f) * edge_fade(x, y, 0.8f, 0.97f));
}

// The trail body: u runs from the head (0) to the tail (1), v across the ribbon.
Rgba trail_body(float u, float v)
{
  float d = std::fabs(v - 0.5f) * 2.f;
  float across = gauss(d, 0.2f) * 0.9f + gauss(d, 0.5f) * 0.35f;
  across *= 1.f - smoothstep_f(0.8f, 0.97f, d);
  float streak = 0.7f + 0.45f * fbm(u, v, 8, 2, 3, 1001u);
  float along = smoothstep_f(0.f, 0.04f, u) * std::pow(1.f - u, 1.4f);
  return glow(across * streak * along);
}

// The lightning band: a jagged bright core with faint side filaments, tiling along u.
Rgba lightning_band(float u, float v)
{
  float y = (v - 0.5f) * 2.f;
  float path = (fbm(u, 0.25f, 16, 1, 3, 1101u) - 0.5f) * 0.45f;
  float core = gauss(y - path, 0.07f);
  float fil = 0.f;
  for (int i = 0; i < 2; i++)
  {
    float p2 = (fbm(u, 0.5f + 0.2f * float(i), 24, 1, 3, 1103u + uint32_t(i)) - 0.5f) * 1.1f;
    float on = smoothstep_f(0.45f, 0.7f, fbm(u, 0.1f * float(i), 8, 1, 2, 1107u + uint32_t(i)));
    fil += gauss(y - p2, 0.04f) * 0.45f * on;
  }
  float halo = gauss(y, 0.45f) * 0.3f;
  float fade = 1.f - smoothstep_f(0.8f, 0.97f, std::fabs(y));
  return glow((core * 1.1f + fil + halo) * fade);
}

// ---------------------------------------------------------------------------------------
// The two atlases

using SpriteFn = std::function<Rgba(float, float)>;

SpriteFn blend_sprite(const char *name)
{
  static const Puff smoke_a(31u, 7, 0.34f, 0.55f), smoke_b(37u, 6, 0.3f, 0.6f), smoke_c(41u, 8, 0.4f, 0.5f);
  static const Puff puff_a(43u, 5, 0.3f, 0.5f), puff_b(47u, 4, 0.25f, 0.6f), wisp(53u, 6, 0.45f, 0.85f);
  const std::string n = name;
  if (n == "smoke_a")
    return [](float x, float y) { return smoke(smoke_a, x, y, 0.95f); };
  if (n == "smoke_b")
    return [](float x, float y) { return smoke(smoke_b, x, y, 0.95f); };
  if (n == "smoke_c")
    return [](float x, float y) { return smoke(smoke_c, x, y, 0.9f); };
  if (n == "dust_cloud")
    return dust_cloud;
  if (n == "dust")
    return dust;
  if (n == "drop")
    return [](float x, float y) { return water_drop(x, y, 1.f); };
  if (n == "splash")
    return [](float x, float y) { return splash(x, y, 61u, false); };
  if (n == "spray")
    return [](float x, float y) { return spray(x, y, 67u); };
  if (n == "foam")
    return [](float x, float y) { return foam(x, y, 71u, 26); };
  if (n == "feather_a")
    return [](float x, float y) { return feather(x, y, 73u, 0.12f, 0.3f, false); };
  if (n == "feather_b")
    return [](float x, float y) { return feather(x, y, 79u, -0.2f, 0.24f, false); };
  if (n == "ripple")
    return ripple;
  if (n == "soft_dot")
    return [](float x, float y) { return grey(1.f, gauss(len2(x, y), 0.42f) * edge_fade(x, y, 0.75f)); };
  if (n == "puff_a")
    return [](float x, float y) { return smoke(puff_a, x, y, 0.9f); };
  if (n == "puff_b")
    return [](float x, float y) { return smoke(puff_b, x, y, 0.9f); };
  if (n == "grain")
    return [](float x, float y) { return flake(x * 1.8f, y * 1.8f, 83u, true); };
  if (n == "foam_bit")
    return [](float x, float y) { return foam(x, y, 89u, 9); };
  if (n == "droplet_a")
    return [](float x, float y) { return water_drop(x, y, 0.9f); };
  if (n == "droplet_b")
    return [](float x, float y) {
      Rgba c = water_drop(x, y - 0.2f, 0.6f);
      return c;
    };
  if (n == "mist")
    return [](float x, float y) {
      return grey(0.95f,
                  gauss(len2(x, y), 0.5f) * 0.45f * (0.6f + 0.4f * cnoise(x, y, 4, 3, 97u)) * edge_fade(x, y, 0.7f));
    };
  if (n == "ash_a")
    return [](float x, float y) { return flake(x, y, 101u, false); };
  if (n == "ash_b")
    return [](float x, float y) { return flake(x * 1.2f, y * 0.8f, 103u, false); };
  if (n == "ash_c")
    return [](float x, float y) { return flake(x * 0.8f, y * 1.3f, 107u, false); };
  if (n == "chip_a")
    return [](float x, float y) { return flake(x, y, 109u, true); };
  if (n == "chip_b")
    return [](float x, float y) { return flake(x * 1.2f, y, 113u, true); };
  if (n == "chip_c")
    return [](float x, float y) { return flake(x, y * 1.25f, 127u, true); };
  if (n == "leaf")
    return leaf;
  if (n == "pebble")
    return [](float x, float y) { return flake(x * 1.3f, y * 1.3f, 131u, true); };
  if (n == "wisp")
    return [](float x, float y) { return smoke(wisp, x, y * 1.3f, 0.6f); };
  if (n == "down")
    return [](float x, float y) { return feather(x, y, 137u, 0.05f, 0.42f, true); };
  if (n == "sheet")
    return [](float x, float y) { return splash(x, y, 139u, true); };
  if (n == "bubble")
    return [](float x, float y) {
      float r = len2(x, y);
      float a = (gauss(r - 0.72f, 0.07f) * 0.8f + 0.12f * (r < 0.72f ? 1.f : 0.f)) * edge_fade(x, y, 0.85f, 0.97f);
      float hl = gauss(len2(x + 0.3f, y + 0.35f), 0.1f);
      return Rgba{0.85f + hl, 0.93f + hl, 1.f, clamp01(a + hl)};
    };
  return nullptr;
}

SpriteFn glow_sprite(const char *name)
{
  const std::string n = name;
  if (n == "trail_head")
    return glow_ball;
  if (n == "flare")
    return flare;
  if (n == "glow_ball")
    return glow_ball;
  if (n == "ring")
    return ring;
  if (n == "shock_wave")
    return shock_wave;
  if (n == "flame_a")
    return [](float x, float y) { return flame(x, y, 1201u); };
  if (n == "flame_b")
    return [](float x, float y) { return flame(x * 1.15f, y, 1211u); };
  if (n == "sparkle")
    return sparkle;
  if (n == "fire_puff")
    return fire_puff;
  if (n == "spark")
    return spark;
  if (n == "ember")
    return ember;
  if (n == "heal_plus")
    return heal_plus;
  if (n == "flash")
    return flash;
  if (n == "rune_ring")
    return rune_ring;
  if (n == "bubble_rim")
    return bubble_rim;
  if (n == "swirl")
    return swirl;
  return nullptr;
}

template <size_t N>
bool paint_cells(Canvas &c, const FxAtlasCell (&cells)[N], SpriteFn (*lookup)(const char *))
{
  for (const FxAtlasCell &cell : cells)
  {
    SpriteFn f = lookup(cell.name);
    if (!f)
    {
      fprintf(stderr, "fx_tex_gen: no sprite for cell '%s'\n", cell.name);
      return false;
    }
    c.paint(cell.x, cell.y, cell.size, f, cell.size <= 32 ? 4 : 3);
  }
  return true;
}

bool make_blend(Canvas &c) { return paint_cells(c, fx_blend_cells, blend_sprite); }

bool make_glow(Canvas &c)
{
  c.paintRect(0, 0, W, 64, trail_body, 2);
  c.paintRect(0, 192, W, 64, lightning_band, 2);
  return paint_cells(c, fx_glow_cells, glow_sprite);
}

// The atlas drawn over a backdrop at twice its size: blended sprites over a sky-to-grass
// gradient, glowing ones added to black.
bool write_preview(const Canvas &c, bool glowing, const char *path)
{
  const int S = 2;
  std::vector<uint8_t> rgb(size_t(W * S) * H * S * 3);
  for (int y = 0; y < H * S; y++)
    for (int x = 0; x < W * S; x++)
    {
      const float *p = &c.px[(size_t(y / S) * W + size_t(x / S)) * 4];
      float t = float(y) / float(H * S);
      float bg[3] = {0.f, 0.f, 0.f};
      if (!glowing)
      {
        bool check = ((x / 16) + (y / 16)) & 1;
        bg[0] = 0.35f + 0.2f * t + (check ? 0.04f : 0.f);
        bg[1] = 0.45f + 0.05f * t + (check ? 0.04f : 0.f);
        bg[2] = 0.6f - 0.3f * t + (check ? 0.04f : 0.f);
      }
      for (int k = 0; k < 3; k++)
        rgb[(size_t(y) * W * S + x) * 3 + k] = to_byte(p[k] + bg[k] * (glowing ? 1.f : 1.f - p[3]));
    }
  if (!stbi_write_png(path, W * S, H * S, 3, rgb.data(), W * S * 3))
  {
    fprintf(stderr, "fx_tex_gen: can't write '%s'\n", path);
    return false;
  }
  return true;
}
} // namespace

int main(int argc, char **argv)
{
  if ((argc != 3 && argc != 4) || (strcmp(argv[1], "blend") != 0 && strcmp(argv[1], "glow") != 0))
  {
    fprintf(stderr, "usage: fx_tex_gen blend|glow <out.dds> [preview.png]\n");
    return 2;
  }
  const bool glowing = strcmp(argv[1], "glow") == 0;
  Canvas c;
  if (!(glowing ? make_glow(c) : make_blend(c)))
    return 1;
  if (!asset::write_file("fx_tex_gen", argv[2], asset::dds_file(c.bytes(), W, H, 4, MIPS)))
    return 1;
  return argc == 4 && !write_preview(c, glowing, argv[3]) ? 1 : 0;
}
