#pragma once
// Building blocks of the object meshes: rings of points, flat-faced bands and caps between
// them, boxes and faceted spheres. Every face's paint comes from a callback that sees its
// centre and normal, so colours can follow height, facing and chance.
#include <functional>
#include <vector>
#include "geom.h"

namespace meshgen
{
using PaintFn = std::function<Paint(V3 centre, V3 normal)>;
inline PaintFn solid(const Paint &p)
{
  return [p](V3, V3) { return p; };
}

// n points around the vertical axis through centre at height centre.y: radii rx (along x)
// and rz, starting angle a0; with rng, radius and height jittered by jr (fraction) and jy.
std::vector<V3> ring(int n, V3 centre, float rx, float rz, float a0, Rng *rng = nullptr, float jr = 0, float jy = 0);
// Flat faces between two rings of equal size (lo below hi), facing away from the axis.
void band(Mesh &m, const std::vector<V3> &lo, const std::vector<V3> &hi, const PaintFn &paint);
// A fan from the ring to the point apex, facing away from the ring's centre opposite to
// inward (up for a roof or cone, down for an underside).
void fan(Mesh &m, const std::vector<V3> &rim, V3 apex, V3 outward, const PaintFn &paint);
// A box of 8 corners in the order (x, y, z bits: 1 = x high, 2 = y high, 4 = z high), all
// six faces facing out.
void box(Mesh &m, const V3 corners[8], const PaintFn &paint, bool bottom = true);
// An axis-aligned box from lo to hi.
void aabox(Mesh &m, V3 lo, V3 hi, const PaintFn &paint, bool bottom = true);
// A faceted sphere: an icosahedron subdivided subdiv times, each vertex moved by shape
// (unit direction in, point out), flat faces.
void facet_sphere(Mesh &m, int subdiv, const std::function<V3(V3)> &shape, const PaintFn &paint);
} // namespace meshgen
