// icon_gen: draws the GUI's icons from vector shapes into a signed-distance-field atlas
// and writes its text descriptor.
//
//   icon_gen <out_base>
//
// Writes <out_base>.dds (A8R8G8B8 with mips) and <out_base>.txt. Every icon is designed
// on a 64 x 64 canvas (y down) and stored in an 80 x 80 cell: the canvas plus the
// distance ramp of SPREAD texels on each side. Each of the four channels holds the
// distance field of one layer, painted bottom to top by the icon shader: red the
// silhouette (always the union of all layers, so outlines and shadows follow the whole
// icon), green, blue and alpha three detail layers. Texel 128 lies on a layer's edge,
// 255 is SPREAD texels inside, 0 SPREAD texels outside. The distances are computed
// analytically from the shapes, so edges stay exact at any size the field allows.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "asset_files.h"

namespace
{
constexpr const char *TOOL = "icon_gen";
constexpr int CANVAS = 64;
constexpr int SPREAD = 8;
constexpr int CELL = CANVAS + 2 * SPREAD;
constexpr int COLUMNS = 6;
constexpr int ATLAS = 512;
constexpr float FAR = 1e6f; // distance of an absent layer

// ---- 2D distance functions (negative inside) -----------------------------------------

struct V
{
  float x, y;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y}; }
V operator*(V a, float s) { return {a.x * s, a.y * s}; }
float dot(V a, V b) { return a.x * b.x + a.y * b.y; }
float len(V a) { return std::sqrt(dot(a, a)); }

float circle(V p, V c, float r) { return len(p - c) - r; }

// Box with centre c, half size h and rounded corners of radius r.
float box(V p, V c, V h, float r = 0.f)
{
  V q = {std::fabs(p.x - c.x) - h.x + r, std::fabs(p.y - c.y) - h.y + r};
  V m = {std::max(q.x, 0.f), std::max(q.y, 0.f)};
  return len(m) + std::min(std::max(q.x, q.y), 0.f) - r;
}

// Capsule around the segment a-b.
float capsule(V p, V a, V b, float r)
{
  V pa = p - a, ba = b - a;
  float h = std::clamp(dot(pa, ba) / std::max(dot(ba, ba), 1e-6f), 0.f, 1.f);
  return len(pa - ba * h) - r;
}

float polyline(V p, const std::vector<V> &pts, float r)
{
  float d = FAR;
  for (size_t i = 0; i + 1 < pts.size(); i++)
    d = std::min(d, capsule(p, pts[i], pts[i + 1], r));
  return d;
}

// Exact signed distance to a simple polygon (even-odd inside test).
float polygon(V p, const std::vector<V> &v)
{
  float d = dot(p - v[0], p - v[0]);
  bool inside = false;
  for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i, i++)
  {
    V e = v[j] - v[i], w = p - v[i];
    V b = w - e * std::clamp(dot(w, e) / std::max(dot(e, e), 1e-6f), 0.f, 1.f);
    d = std::min(d, dot(b, b));
    bool c1 = p.y >= v[i].y, c2 = p.y<v[j].y, c3 = e.x * w.y> e.y * w.x;
    if ((c1 && c2 && c3) || (!c1 && !c2 && !c3))
      inside = !inside;
  }
  return (inside ? -1.f : 1.f) * std::sqrt(d);
}

// Axis-aligned ellipse; a bound rather than the exact distance, good near the edge.
float ellipse(V p, V c, float a, float b)
{
  V q = {(p.x - c.x) / a, (p.y - c.y) / b};
  return (len(q) - 1.f) * std::min(a, b);
}

float uni(float a, float b) { return std::min(a, b); }
float sub(float a, float b) { return std::max(a, -b); }
float inter(float a, float b) { return std::max(a, b); }
// Smooth union with a blend radius k.
float smin(float a, float b, float k)
{
  float h = std::clamp(0.5f + 0.5f * (b - a) / k, 0.f, 1.f);
  return b + (a - b) * h - k * h * (1.f - h);
}
// The ring of width w around the outline of d.
float ring(float d, float w) { return std::fabs(d) - w; }

// p turned by angle a (radians) about c, for drawing a shape rotated by -a.
V turn(V p, V c, float a)
{
  float s = std::sin(a), co = std::cos(a);
  V q = p - c;
  return {c.x + q.x * co - q.y * s, c.y + q.x * s + q.y * co};
}

// ---- the icons ----------------------------------------------------------------------

struct Layers
{
  float d[4] = {FAR, FAR, FAR, FAR};
};
using IconFn = std::function<Layers(V)>;

Layers L(float a, float b = FAR, float c = FAR, float d = FAR)
{
  Layers l;
  l.d[0] = a;
  l.d[1] = b;
  l.d[2] = c;
  l.d[3] = d;
  return l;
}

// A comet: a head at h and a tail narrowing toward dir; used by fireball and meteor.
float comet(V p, V h, V dir, float r, float len_, float k)
{
  float d = circle(p, h, r);
  for (int i = 1; i <= 5; i++)
  {
    float t = float(i) / 5.f;
    d = smin(d, circle(p, h + dir * (len_ * t), r * (1.f - 0.78f * t)), k);
  }
  return d;
}

float drop(V p) { return smin(circle(p, {32, 40}, 17), polygon(p, {{32, 4}, {18, 32}, {46, 32}}), 4.f); }

float heart(V p)
{
  float lobes = uni(circle(p, {23, 24}, 13), circle(p, {41, 24}, 13));
  return smin(lobes, polygon(p, {{11, 28}, {53, 28}, {32, 56}}), 3.f);
}

float bolt(V p) { return polygon(p, {{39, 3}, {13, 36}, {29, 36}, {21, 61}, {51, 26}, {35, 26}, {45, 3}}); }

float arrow_right(V p) { return uni(capsule(p, {10, 32}, {38, 32}, 5.f), polygon(p, {{32, 13}, {56, 32}, {32, 51}})); }

float mouse_body(V p) { return box(p, {32, 34}, {15, 23}, 14.f); }

float gear(V p)
{
  float d = circle(p, {32, 32}, 17);
  for (int i = 0; i < 8; i++)
  {
    float a = float(i) * 3.14159265f / 4.f;
    d = uni(d, box(turn(p, {32, 32}, a), {32, 10}, {4.5f, 7}, 1.5f));
  }
  return sub(d, circle(p, {32, 32}, 7));
}

struct IconDef
{
  const char *name;
  IconFn fn;
};

std::vector<IconDef> icons()
{
  const V diag = V{-1, -1} * (1.f / std::sqrt(2.f));
  return {
    {"fireball",
     [=](V p) {
       float flame = comet(p, {39, 39}, diag, 16, 34, 7);
       flame = smin(flame, capsule(p, {30, 44}, {12, 40}, 3), 4); // side tongues
       flame = smin(flame, capsule(p, {44, 30}, {40, 12}, 3), 4);
       float inner = comet(p, {41, 41}, diag, 10, 22, 5);
       return L(flame, inner, circle(p, {42, 42}, 5));
     }},
    {"waterball",
     [](V p) {
       float ball = circle(p, {32, 33}, 23);
       float wave = (36.f + 3.f * std::sin(p.x * 0.35f)) - p.y;
       return L(ball, inter(ball + 2.f, wave * 0.8f), uni(circle(p, {23, 23}, 5), circle(p, {18, 31}, 2.2f)));
     }},
    {"fault",
     [](V p) {
       float left = polygon(p, {{4, 22}, {35, 22}, {29, 35}, {37, 46}, {30, 60}, {4, 60}});
       float right = polygon(p, {{41, 32}, {60, 32}, {60, 60}, {35, 60}, {42, 46}, {34, 36}});
       float blocks = uni(left, right);
       float lava = polyline(p, {{38, 24}, {32, 35}, {40, 46}, {33, 60}}, 2.2f);
       float grass = uni(inter(left, p.y - 27), inter(right, p.y - 37));
       return L(uni(blocks, lava), lava, grass);
     }},
    {"house",
     [](V p) {
       float body = box(p, {32, 43}, {17, 14}, 1.5f);
       float roof = polygon(p, {{8, 31}, {32, 9}, {56, 31}});
       float chimney = box(p, {45, 17}, {3.5f, 7});
       float door = uni(box(p, {32, 49}, {5, 8}), circle(p, {32, 41}, 5));
       float windows = uni(box(p, {21, 39}, {4, 4}, 1), box(p, {43, 39}, {4, 4}, 1));
       return L(uni(uni(body, roof), chimney), uni(roof, chimney), uni(door, windows));
     }},
    {"meteor",
     [=](V p) {
       float trail = comet(p, {40, 40}, diag, 13, 40, 6);
       float rock = sub(circle(p, {41, 41}, 14), uni(circle(p, {56, 34}, 4), circle(p, {47, 57}, 3.5f)));
       float craters = uni(uni(circle(p, {37, 38}, 3), circle(p, {46, 45}, 2.2f)), circle(p, {43, 34}, 1.6f));
       return L(uni(trail, rock), trail, rock, craters);
     }},
    {"hill",
     [](V p) {
       float dome = inter(circle(p, {32, 66}, 34), p.y - 57);
       float grass = sub(dome, circle(p, {32, 72}, 34));
       float up = uni(capsule(p, {32, 15}, {32, 24}, 3), polygon(p, {{22, 16}, {32, 4}, {42, 16}}));
       return L(uni(dome, up), grass, up);
     }},
    {"pit",
     [](V p) {
       float ground = sub(box(p, {32, 48}, {28, 12}, 2), ellipse(p, {32, 36}, 17, 9));
       float hole = inter(ellipse(p, {32, 39}, 15, 6), box(p, {32, 48}, {28, 12}, 2));
       float down = uni(capsule(p, {32, 3}, {32, 14}, 3), polygon(p, {{23, 12}, {41, 12}, {32, 25}}));
       return L(uni(uni(ground, hole), down), hole, down);
     }},
    {"water_source",
     [](V p) {
       float plus = uni(capsule(p, {32, 32}, {32, 48}, 2.6f), capsule(p, {24, 40}, {40, 40}, 2.6f));
       return L(drop(p), plus, ellipse(p, {22, 36}, 2.5f, 5));
     }},
    {"water_sink",
     [](V p) {
       float minus = capsule(p, {24, 40}, {40, 40}, 2.6f);
       float swirl = ring(circle(p, {32, 41}, 9), 1.2f);
       return L(drop(p), minus, swirl);
     }},
    {"thunderstorm",
     [](V p) {
       float cloud = smin(smin(circle(p, {21, 27}, 10), circle(p, {34, 20}, 13), 4), circle(p, {47, 27}, 9), 4);
       cloud = smin(cloud, box(p, {34, 31}, {21, 7}, 6), 3);
       float b = polygon(p, {{35, 30}, {25, 47}, {33, 47}, {28, 62}, {44, 40}, {36, 40}, {42, 30}});
       float rain = uni(capsule(p, {15, 43}, {12, 51}, 1.6f), capsule(p, {52, 43}, {49, 51}, 1.6f));
       return L(uni(uni(cloud, b), rain), b, rain);
     }},
    {"healing",
     [](V p) {
       float cross = uni(box(p, {32, 34}, {8, 22}, 3), box(p, {32, 34}, {22, 8}, 3));
       float spark =
         uni(polygon(p, {{53, 3}, {55, 10}, {53, 17}, {51, 10}}), polygon(p, {{46, 10}, {53, 8}, {60, 10}, {53, 12}}));
       spark = uni(spark, circle(p, {10, 10}, 2.5f));
       return L(uni(cross, spark), cross + 3.5f, spark);
     }},
    {"lightning", [](V p) { return L(bolt(p), bolt(p) + 2.8f); }},
    {"castle",
     [](V p) {
       float towers = uni(box(p, {13, 38}, {8, 21}), box(p, {51, 38}, {8, 21}));
       float merlons = FAR;
       for (float x : {7.f, 13.f, 19.f, 45.f, 51.f, 57.f})
         merlons = uni(merlons, box(p, {x, 15}, {2.2f, 3}));
       float wall = box(p, {32, 44}, {14, 15});
       for (float x : {24.f, 32.f, 40.f})
         wall = uni(wall, box(p, {x, 27}, {2.2f, 3}));
       float gate = uni(box(p, {32, 53}, {6, 6}), circle(p, {32, 47}, 6));
       float flag = uni(capsule(p, {51, 3}, {51, 13}, 1), polygon(p, {{52, 3}, {61, 6}, {52, 9}}));
       return L(uni(uni(uni(towers, merlons), wall), flag), gate, flag);
     }},
    {"portal",
     [](V p) {
       float disc = ellipse(p, {32, 32}, 22, 27);
       float rim = ring(disc, 3.5f);
       std::vector<V> spiral;
       for (int i = 0; i <= 40; i++)
       {
         float a = float(i) * 0.3f, r = 2.f + a * 1.3f;
         spiral.push_back({32 + r * std::cos(a) * 0.82f, 32 + r * std::sin(a)});
       }
       return L(uni(disc, rim), rim, polyline(p, spiral, 1.6f), circle(p, {32, 32}, 3.5f));
     }},
    {"mana",
     [](V p) {
       float gem = polygon(p, {{32, 3}, {53, 22}, {32, 61}, {11, 22}});
       float facet = polygon(p, {{32, 3}, {53, 22}, {32, 28}, {11, 22}});
       return L(gem, facet, capsule(p, {21, 20}, {28, 11}, 1.8f));
     }},
    {"health",
     [](V p) {
       float inner = uni(circle(p, {23, 24}, 9), circle(p, {41, 24}, 9));
       inner = smin(inner, polygon(p, {{16, 29}, {48, 29}, {32, 50}}), 3.f);
       return L(heart(p), inner, circle(p, {22, 21}, 4));
     }},
    {"monsters",
     [](V p) {
       float body = smin(ellipse(p, {32, 38}, 7, 13), circle(p, {32, 20}, 7), 3);
       float horns = uni(polygon(p, {{26, 17}, {24, 6}, {30, 14}}), polygon(p, {{38, 17}, {40, 6}, {34, 14}}));
       float wing_l = polygon(p, {{28, 31}, {3, 13}, {9, 29}, {2, 40}, {26, 43}});
       float wing_r = polygon(p, {{36, 31}, {61, 13}, {55, 29}, {62, 40}, {38, 43}});
       float tail = polyline(p, {{32, 48}, {37, 55}, {30, 61}}, 2.2f);
       float eyes = uni(circle(p, {29, 20}, 1.8f), circle(p, {35, 20}, 1.8f));
       return L(uni(uni(uni(body, horns), uni(wing_l, wing_r)), tail), uni(wing_l, wing_r) + 2.5f, eyes);
     }},
    {"settings",
     [](V p) {
       return L(gear(p), ring(circle(p, {32, 32}, 11), 1.5f));
     }},
    {"close",
     [](V p) {
       return L(uni(capsule(p, {15, 15}, {49, 49}, 5.5f), capsule(p, {49, 15}, {15, 49}, 5.5f)));
     }},
    {"arrow_right", [](V p) { return L(arrow_right(p)); }},
    {"arrow_left",
     [](V p) {
       return L(arrow_right(V{64 - p.x, p.y}));
     }},
    {"arrow_up",
     [](V p) {
       return L(arrow_right(V{64 - p.y, p.x}));
     }},
    {"arrow_down",
     [](V p) {
       return L(arrow_right(V{p.y, p.x}));
     }},
    {"dot",
     [](V p) {
       return L(circle(p, {32, 32}, 13), circle(p, {32, 32}, 6));
     }},
    {"dot_arrow",
     [](V p) {
       float pin = smin(circle(p, {32, 38}, 12), polygon(p, {{32, 4}, {20, 32}, {44, 32}}), 3);
       return L(pin, circle(p, {32, 38}, 5));
     }},
    {"check",
     [](V p) {
       return L(polyline(p, {{12, 34}, {26, 48}, {52, 17}}, 5.5f));
     }},
    {"mouse_left",
     [](V p) {
       float body = mouse_body(p);
       float button = inter(body + 2.5f, inter(p.x - 30.5f, p.y - 27));
       return L(body, button, capsule(p, {32, 14}, {32, 22}, 2.2f));
     }},
    {"mouse_right",
     [](V p) {
       float body = mouse_body(p);
       float button = inter(body + 2.5f, inter(33.5f - p.x, p.y - 27));
       return L(body, button, capsule(p, {32, 14}, {32, 22}, 2.2f));
     }},
  };
}

uint8_t encode(float d)
{
  float t = 0.5f - d / (2.f * float(SPREAD));
  t = std::clamp(t, 0.f, 1.f);
  return uint8_t(std::lrint(t * 255.f));
}
} // namespace

int main(int argc, char **argv)
{
  if (argc != 2)
  {
    fprintf(stderr, "usage: %s <out_base>\n", argv[0]);
    return 2;
  }
  const std::vector<IconDef> defs = icons();
  const int rows = (int(defs.size()) + COLUMNS - 1) / COLUMNS;
  if (COLUMNS * CELL > ATLAS || rows * CELL > ATLAS)
  {
    fprintf(stderr, "%s: %d icons do not fit a %dx%d atlas\n", TOOL, int(defs.size()), ATLAS, ATLAS);
    return 1;
  }
  std::vector<uint8_t> atlas(size_t(ATLAS) * ATLAS * 4, 0);
  std::string text;
  text += "info file=\"";
  std::string base = argv[1];
  size_t slash = base.find_last_of('/');
  text += (slash == std::string::npos ? base : base.substr(slash + 1)) + "\" scaleW=" + std::to_string(ATLAS) +
          " scaleH=" + std::to_string(ATLAS) + " spread=" + std::to_string(SPREAD) + "\n";
  text += "icons count=" + std::to_string(defs.size()) + "\n";
  for (size_t i = 0; i < defs.size(); i++)
  {
    const int cx = int(i % COLUMNS) * CELL, cy = int(i / COLUMNS) * CELL;
    for (int y = 0; y < CELL; y++)
      for (int x = 0; x < CELL; x++)
      {
        Layers l = defs[i].fn(V{float(x - SPREAD) + 0.5f, float(y - SPREAD) + 0.5f});
        l.d[0] = std::min({l.d[0], l.d[1], l.d[2], l.d[3]}); // the silhouette covers every layer
        uint8_t *t = &atlas[(size_t(cy + y) * ATLAS + cx + x) * 4];
        t[2] = encode(l.d[0]); // memory order B, G, R, A
        t[1] = encode(l.d[1]);
        t[0] = encode(l.d[2]);
        t[3] = encode(l.d[3]);
      }
    // Nominal size = the canvas; the cell's pivot is its centre.
    text += "icon \"" + std::string(defs[i].name) + "\" " + std::to_string(CANVAS) + " " + std::to_string(CANVAS) +
            " " + std::to_string(cx) + " " + std::to_string(cy) + " " + std::to_string(CELL) + " " +
            std::to_string(CELL) + " " + std::to_string(-CELL / 2) + " " + std::to_string(CELL / 2) + "\n";
  }
  if (!asset::write_file(TOOL, base + ".dds", asset::dds_file(std::move(atlas), ATLAS, ATLAS, 4)) ||
      !asset::write_text(TOOL, base + ".txt", text))
    return 1;
  printf("%s: %d icons in a %dx%d atlas written to %s.dds/.txt\n", TOOL, int(defs.size()), ATLAS, ATLAS, base.c_str());
  return 0;
}
