#pragma once
// mesh_gen's geometry: vectors, a mesh under construction and the mesh file writer.
//
// The world is left-handed (x right, y up, z forward); a triangle (a, b, c) faces the
// side cross(b - a, c - a) points to, which the device draws as its front. Meshes carry
// no normals: the shaders light every triangle by its own plane (the faceted look), so
// triangles share the corners where position, colour and the rest agree.
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace meshgen
{
struct V3
{
  float x = 0, y = 0, z = 0;
  V3() = default;
  constexpr V3(float a, float b, float c) : x(a), y(b), z(c) {}
  V3 operator+(V3 o) const { return {x + o.x, y + o.y, z + o.z}; }
  V3 operator-(V3 o) const { return {x - o.x, y - o.y, z - o.z}; }
  V3 operator*(float s) const { return {x * s, y * s, z * s}; }
  V3 operator*(V3 o) const { return {x * o.x, y * o.y, z * o.z}; }
  V3 operator-() const { return {-x, -y, -z}; }
  V3 &operator+=(V3 o) { return *this = *this + o; }
};
inline float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float length(V3 a) { return std::sqrt(dot(a, a)); }
inline V3 normalize(V3 a)
{
  float l = length(a);
  return l > 1e-12f ? a * (1.f / l) : V3(0, 1, 0);
}
inline V3 lerp(V3 a, V3 b, float t) { return a + (b - a) * t; }
// Rotation about the y axis by angle (radians), x towards z.
inline V3 rot_y(V3 p, float a)
{
  return {p.x * std::cos(a) - p.z * std::sin(a), p.y, p.x * std::sin(a) + p.z * std::cos(a)};
}
inline V3 rot_x(V3 p, float a)
{
  return {p.x, p.y * std::cos(a) - p.z * std::sin(a), p.y * std::sin(a) + p.z * std::cos(a)};
}
inline V3 rot_z(V3 p, float a)
{
  return {p.x * std::cos(a) - p.y * std::sin(a), p.x * std::sin(a) + p.y * std::cos(a), p.z};
}

// A colour with the openness in a (1 = open to the sky).
struct Rgba
{
  float r = 1, g = 1, b = 1, a = 1;
  Rgba() = default;
  constexpr Rgba(float r_, float g_, float b_, float a_ = 1.f) : r(r_), g(g_), b(b_), a(a_) {}
  Rgba operator*(float s) const { return {r * s, g * s, b * s, a}; }
};
inline Rgba mix(Rgba p, Rgba q, float t)
{
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t, p.a + (q.a - p.a) * t};
}

constexpr int MORPH_TARGETS = 4;

struct Vertex
{
  V3 p, n;
  float u = 0, v = 0;
  Rgba c;
  V3 morphP[MORPH_TARGETS]; // target offsets (morph meshes)
  float extra = 0;          // spline: wing weight (NORMAL0.w); building: its mirror (TEXCOORD1.w)
  V3 look{-1, -1, 1};       // building meshes: height lookup u, v (-1 = own) and blend
};

enum class Kind
{
  simple,
  morph,
  spline,
  building,
};

struct Mesh
{
  std::string name;
  Kind kind = Kind::simple;
  std::string forwardShader, deferredShader;
  std::vector<std::string> textures;
  std::vector<float> spheres; // x, y, z, r per sphere
  std::vector<Vertex> verts;
  std::vector<uint32_t> idx;
  // Colour by position (optional): it replaces the faces' paint at every corner, so that
  // neighbouring faces share their corners (a fraction of the vertices to transform).
  // Texture coordinates are projected from the position at flatUvScale per repeat.
  std::function<Rgba(V3)> vertexColor;
  float flatUvScale = 1.f;

  int add(const Vertex &v)
  {
    verts.push_back(v);
    return int(verts.size()) - 1;
  }
  void tri(int a, int b, int c) { idx.insert(idx.end(), {uint32_t(a), uint32_t(b), uint32_t(c)}); }
  void sphere(V3 c, float r) { spheres.insert(spheres.end(), {c.x, c.y, c.z, r}); }
  int triCount() const { return int(idx.size() / 3); }
};

// Vertex template for flat faces: the colour, the texture scale (world units per repeat
// of the tiling texture) and the building height lookup.
struct Paint
{
  Rgba color;
  float uvScale = 1;
  V3 look{-1, -1, 1};
};

// One flat triangle with three fresh vertices, turned so that it faces along outward
// when outward is not zero. Texture coordinates by planar projection along the face's
// dominant axis.
void face(Mesh &m, V3 a, V3 b, V3 c, const Paint &paint, V3 outward = V3(0, 0, 0));
// Two triangles a b c, a c d (a planar quad in order around its edge).
void quad(Mesh &m, V3 a, V3 b, V3 c, V3 d, const Paint &paint, V3 outward = V3(0, 0, 0));
// Colour (vertexColor) and texture coordinates from the position, then every vertex
// that agrees with an earlier one in everything written merged into it.
void share_facet_corners(Mesh &m);
// The mesh's bounds, for checks.
void bounds(const Mesh &m, V3 &lo, V3 &hi);

// Writes the mesh file; false (with a message on stderr) on failure.
bool write_mesh(const std::string &path, const Mesh &m);

// A deterministic generator for shapes (not the game's).
struct Rng
{
  uint32_t s;
  explicit Rng(uint32_t seed) : s(seed * 2654435761u + 12345u) {}
  uint32_t next()
  {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  float unit() { return float(next() >> 8) * (1.f / 16777216.f); }
  float range(float a, float b) { return a + (b - a) * unit(); }
};
} // namespace meshgen
