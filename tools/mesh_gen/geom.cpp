// Flat faces, smooth normals and the mesh file writer.
#include "geom.h"
#include <cstdio>
#include <cstring>
#include <map>

namespace meshgen
{
void face(Mesh &m, V3 a, V3 b, V3 c, const Paint &paint, V3 outward)
{
  V3 n = cross(b - a, c - a);
  if (length(n) < 1e-9f)
    return; // degenerate: nothing to see
  if (dot(outward, outward) > 0.f && dot(n, outward) < 0.f)
  {
    std::swap(b, c);
    n = -n;
  }
  n = normalize(n);
  // Project along the dominant axis of the normal.
  const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  auto uv = [&](V3 p, float &u, float &v) {
    if (ay >= ax && ay >= az)
      u = p.x, v = p.z;
    else if (ax >= az)
      u = p.z, v = -p.y;
    else
      u = p.x, v = -p.y;
    u /= paint.uvScale;
    v /= paint.uvScale;
  };
  for (V3 p : {a, b, c})
  {
    Vertex vx;
    vx.p = p;
    vx.n = n;
    uv(p, vx.u, vx.v);
    vx.c = paint.color;
    vx.look = paint.look;
    m.add(vx);
  }
  const int i = int(m.verts.size()) - 3;
  m.tri(i, i + 1, i + 2);
}

void quad(Mesh &m, V3 a, V3 b, V3 c, V3 d, const Paint &paint, V3 outward)
{
  if (dot(outward, outward) == 0.f)
    outward = cross(b - a, c - a) + cross(c - a, d - a);
  face(m, a, b, c, paint, outward);
  face(m, a, c, d, paint, outward);
}

void share_facet_corners(Mesh &m)
{
  std::vector<Vertex> out;
  std::vector<uint32_t> remap(m.verts.size());
  auto key = [](const Vertex &v) {
    std::string k;
    auto q = [&k](float f) { k += std::to_string(std::lrint(f * 8192.f)) + ","; };
    for (V3 p : {v.p, v.look})
      q(p.x), q(p.y), q(p.z);
    for (const V3 &p : v.morphP)
      q(p.x), q(p.y), q(p.z);
    for (float f : {v.c.r, v.c.g, v.c.b, v.c.a, v.u, v.v, v.extra})
      q(f);
    return k;
  };
  std::map<std::string, uint32_t> seen;
  for (size_t i = 0; i < m.verts.size(); i++)
  {
    Vertex v = m.verts[i];
    if (m.vertexColor)
      v.c = m.vertexColor(v.p);
    // Buildings project their texture in the shader; the others get a slanted projection
    // of their position, so that no face of an upright object gets a stretched streak.
    if (m.kind != Kind::building)
    {
      v.u = (v.p.x * 0.8f + v.p.z * 0.6f) / m.flatUvScale;
      v.v = (-v.p.y * 0.9f + v.p.z * 0.35f - v.p.x * 0.25f) / m.flatUvScale;
    }
    auto [it, fresh] = seen.emplace(key(v), uint32_t(out.size()));
    if (fresh)
      out.push_back(v);
    remap[i] = it->second;
  }
  for (uint32_t &i : m.idx)
    i = remap[i];
  m.verts = std::move(out);
}

void bounds(const Mesh &m, V3 &lo, V3 &hi)
{
  lo = V3(1e30f, 1e30f, 1e30f);
  hi = V3(-1e30f, -1e30f, -1e30f);
  for (const Vertex &v : m.verts)
  {
    lo = V3(std::fmin(lo.x, v.p.x), std::fmin(lo.y, v.p.y), std::fmin(lo.z, v.p.z));
    hi = V3(std::fmax(hi.x, v.p.x), std::fmax(hi.y, v.p.y), std::fmax(hi.z, v.p.z));
  }
}

namespace
{
// Element codes of the mesh format: types FLOAT2 2, FLOAT3 3, FLOAT4 4, D3DCOLOR 5;
// usages POSITION 0, NORMAL 1, COLOR 2, TEXCOORD 3.
struct Element
{
  uint16_t offset;
  uint8_t type, usage, index;
};

uint8_t byte_of(float v)
{
  v = v < 0.f ? 0.f : v > 1.f ? 1.f : v;
  return uint8_t(std::lrint(v * 255.f));
}
// D3DCOLOR bytes in memory: B, G, R, A; the shader reads x = R.
void put_color(std::vector<uint8_t> &o, float x, float y, float z, float w)
{
  o.insert(o.end(), {byte_of(z), byte_of(y), byte_of(x), byte_of(w)});
}
void put_f(std::vector<uint8_t> &o, float f)
{
  uint8_t b[4];
  memcpy(b, &f, 4);
  o.insert(o.end(), b, b + 4);
}
void put_u32(std::vector<uint8_t> &o, uint32_t v)
{
  o.insert(o.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
void put_str(std::vector<uint8_t> &o, const std::string &s)
{
  o.push_back(uint8_t(s.size()));
  o.insert(o.end(), s.begin(), s.end());
  o.push_back(0);
}

// Vertex layouts: position, texture coordinates and colour, then per kind the morph
// targets' offsets, the spline's wing weights (NORMAL0.w) or the building's lookup.
std::vector<Element> layout(Kind k, uint32_t &stride)
{
  std::vector<Element> e = {{0, 3, 0, 0}, {12, 2, 3, 0}, {20, 5, 2, 0}};
  stride = 24;
  if (k == Kind::morph)
    for (int t = 0; t < MORPH_TARGETS; t++, stride += 12)
      e.push_back({uint16_t(stride), 3, 0, uint8_t(1 + t)});
  if (k == Kind::spline)
  {
    e.push_back({24, 5, 1, 0});
    stride = 28;
  }
  if (k == Kind::building)
  {
    e.push_back({24, 4, 3, 1});
    stride = 40;
  }
  return e;
}
} // namespace

bool write_mesh(const std::string &path, const Mesh &src)
{
  Mesh m = src;
  share_facet_corners(m);
  if (m.verts.empty() || m.verts.size() > 65535 || m.idx.size() / 3 > 65535 || m.spheres.size() / 4 > 255)
  {
    fprintf(stderr, "mesh_gen: mesh '%s' out of the format's limits\n", m.name.c_str());
    return false;
  }
  uint32_t stride = 0;
  std::vector<Element> elems = layout(m.kind, stride);
  std::vector<uint8_t> body;
  put_str(body, m.forwardShader);
  put_str(body, m.deferredShader);
  body.push_back(uint8_t(m.textures.size()));
  for (const std::string &t : m.textures)
    put_str(body, t);
  body.push_back(uint8_t(m.spheres.size() / 4));
  for (float f : m.spheres)
    put_f(body, f);
  body.push_back(uint8_t(elems.size()));
  for (const Element &e : elems)
    body.insert(body.end(), {uint8_t(e.offset), uint8_t(e.offset >> 8), 0, e.type, e.usage, e.index});
  put_u32(body, stride);
  put_u32(body, uint32_t(m.verts.size()));
  put_u32(body, uint32_t(m.idx.size() / 3));
  for (const Vertex &v : m.verts)
  {
    const size_t at = body.size();
    put_f(body, v.p.x);
    put_f(body, v.p.y);
    put_f(body, v.p.z);
    put_f(body, v.u);
    put_f(body, v.v);
    put_color(body, v.c.r, v.c.g, v.c.b, v.c.a);
    if (m.kind == Kind::morph)
      for (int t = 0; t < MORPH_TARGETS; t++)
      {
        put_f(body, v.morphP[t].x);
        put_f(body, v.morphP[t].y);
        put_f(body, v.morphP[t].z);
      }
    if (m.kind == Kind::spline)
      put_color(body, 0.5f, 0.5f, 0.5f, v.extra);
    if (m.kind == Kind::building)
    {
      put_f(body, v.look.x);
      put_f(body, v.look.y);
      put_f(body, v.look.z);
      put_f(body, v.extra);
    }
    if (body.size() - at != stride)
    {
      fprintf(stderr, "mesh_gen: vertex size mismatch in '%s'\n", m.name.c_str());
      return false;
    }
  }
  for (uint32_t i : m.idx)
    body.insert(body.end(), {uint8_t(i), uint8_t(i >> 8)});

  std::vector<uint8_t> file;
  put_u32(file, 0x12040900u);
  put_u32(file, uint32_t(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  FILE *f = fopen(path.c_str(), "wb");
  if (!f)
  {
    fprintf(stderr, "mesh_gen: can't write '%s'\n", path.c_str());
    return false;
  }
  bool ok = fwrite(file.data(), 1, file.size(), f) == file.size();
  ok = fclose(f) == 0 && ok;
  if (!ok)
    fprintf(stderr, "mesh_gen: error writing '%s'\n", path.c_str());
  return ok;
}
} // namespace meshgen
