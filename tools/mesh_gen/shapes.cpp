// Rings, bands, fans, boxes and spheres.
#include "shapes.h"
#include <map>

namespace meshgen
{
namespace
{
void paint_face(Mesh &m, V3 a, V3 b, V3 c, V3 outward, const PaintFn &paint)
{
  V3 n = normalize(cross(b - a, c - a));
  if (dot(n, outward) < 0.f)
    n = -n;
  face(m, a, b, c, paint((a + b + c) * (1.f / 3.f), n), outward);
}
} // namespace

std::vector<V3> ring(int n, V3 centre, float rx, float rz, float a0, Rng *rng, float jr, float jy)
{
  std::vector<V3> r;
  for (int i = 0; i < n; i++)
  {
    float a = a0 + 6.2831853f * float(i) / float(n);
    float k = rng ? 1.f + rng->range(-jr, jr) : 1.f;
    float dy = rng ? rng->range(-jy, jy) : 0.f;
    r.push_back(V3(centre.x + std::cos(a) * rx * k, centre.y + dy, centre.z + std::sin(a) * rz * k));
  }
  return r;
}

void band(Mesh &m, const std::vector<V3> &lo, const std::vector<V3> &hi, const PaintFn &paint)
{
  const size_t n = lo.size();
  V3 cl(0, 0, 0), ch(0, 0, 0);
  for (size_t i = 0; i < n; i++)
    cl += lo[i], ch += hi[i];
  cl = cl * (1.f / float(n));
  ch = ch * (1.f / float(n));
  for (size_t i = 0; i < n; i++)
  {
    const size_t j = (i + 1) % n;
    V3 mid = (lo[i] + lo[j] + hi[i] + hi[j]) * 0.25f;
    V3 axis = lerp(cl, ch, 0.5f);
    V3 out = mid - axis;
    out.y = 0.f;
    if (dot(out, out) < 1e-8f)
      out = V3(0, 1, 0);
    paint_face(m, lo[i], lo[j], hi[j], out, paint);
    paint_face(m, lo[i], hi[j], hi[i], out, paint);
  }
}

void fan(Mesh &m, const std::vector<V3> &rim, V3 apex, V3 outward, const PaintFn &paint)
{
  const size_t n = rim.size();
  V3 c(0, 0, 0);
  for (V3 p : rim)
    c += p;
  c = c * (1.f / float(n));
  for (size_t i = 0; i < n; i++)
  {
    const size_t j = (i + 1) % n;
    V3 side = (rim[i] + rim[j]) * 0.5f - c;
    V3 out = normalize(outward) + normalize(side) * 0.3f;
    paint_face(m, rim[i], rim[j], apex, out, paint);
  }
}

void box(Mesh &m, const V3 k[8], const PaintFn &paint, bool bottom)
{
  V3 c(0, 0, 0);
  for (int i = 0; i < 8; i++)
    c += k[i];
  c = c * 0.125f;
  // Faces as corner quadruples around their edge.
  const int faces[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
  for (int f = 0; f < 6; f++)
  {
    if (!bottom && f == 2)
      continue;
    const V3 a = k[faces[f][0]], b = k[faces[f][1]], cc = k[faces[f][2]], d = k[faces[f][3]];
    V3 mid = (a + b + cc + d) * 0.25f;
    V3 out = mid - c;
    paint_face(m, a, b, cc, out, paint);
    paint_face(m, a, cc, d, out, paint);
  }
}

void aabox(Mesh &m, V3 lo, V3 hi, const PaintFn &paint, bool bottom)
{
  V3 k[8];
  for (int i = 0; i < 8; i++)
    k[i] = V3(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
  box(m, k, paint, bottom);
}

namespace
{
// Unit icosahedron subdivided: directions and triangles.
void icosphere(int subdiv, std::vector<V3> &dirs, std::vector<int> &tris)
{
  const float t = 1.618034f;
  dirs = {V3(-1, t, 0),  V3(1, t, 0),  V3(-1, -t, 0), V3(1, -t, 0), V3(0, -1, t),  V3(0, 1, t),
          V3(0, -1, -t), V3(0, 1, -t), V3(t, 0, -1),  V3(t, 0, 1),  V3(-t, 0, -1), V3(-t, 0, 1)};
  for (V3 &d : dirs)
    d = normalize(d);
  tris = {0, 11, 5, 0, 5, 1, 0, 1, 7, 0, 7, 10, 0, 10, 11, 1, 5, 9, 5, 11, 4,  11, 10, 2,  10, 7, 6, 7, 1, 8,
          3, 9,  4, 3, 4, 2, 3, 2, 6, 3, 6, 8,  3, 8,  9,  4, 9, 5, 2, 4,  11, 6,  2,  10, 8,  6, 7, 9, 8, 1};
  for (int s = 0; s < subdiv; s++)
  {
    std::map<std::pair<int, int>, int> mid;
    auto middle = [&](int a, int b) {
      auto key = std::make_pair(std::min(a, b), std::max(a, b));
      auto it = mid.find(key);
      if (it != mid.end())
        return it->second;
      dirs.push_back(normalize(dirs[size_t(a)] + dirs[size_t(b)]));
      return mid[key] = int(dirs.size()) - 1;
    };
    std::vector<int> next;
    for (size_t i = 0; i < tris.size(); i += 3)
    {
      int a = tris[i], b = tris[i + 1], c = tris[i + 2];
      int ab = middle(a, b), bc = middle(b, c), ca = middle(c, a);
      next.insert(next.end(), {a, ab, ca, b, bc, ab, c, ca, bc, ab, bc, ca});
    }
    tris = std::move(next);
  }
}
} // namespace

void facet_sphere(Mesh &m, int subdiv, const std::function<V3(V3)> &shape, const PaintFn &paint)
{
  std::vector<V3> dirs;
  std::vector<int> tris;
  icosphere(subdiv, dirs, tris);
  std::vector<V3> pts;
  for (V3 d : dirs)
    pts.push_back(shape(d));
  for (size_t i = 0; i < tris.size(); i += 3)
  {
    V3 a = pts[size_t(tris[i])], b = pts[size_t(tris[i + 1])], c = pts[size_t(tris[i + 2])];
    V3 out = dirs[size_t(tris[i])] + dirs[size_t(tris[i + 1])] + dirs[size_t(tris[i + 2])];
    paint_face(m, a, b, c, out, paint);
  }
}

} // namespace meshgen
