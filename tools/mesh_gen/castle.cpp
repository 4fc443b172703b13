// The building pieces: one house cell each, in the unit square (u along x, v along z),
// their heights taken from the cell's corners when drawn (bin/mesh_inst.inc, MESH_BUILDING).
//
// Every piece stands on the same massing: each quarter of the cell is a flat block at the
// height of its nearest corner, walls drop between quarters of different heights and
// skirts drop from the cell's edges to below its lowest corner. So a house's height
// pattern becomes crisp stone blocks: a tower's ring of raised corners a 3 x 3 keep on a
// plinth, the castle's alternating heights its crenellations. The pieces differ in what
// stands on the massing (merlons, arrow slits, caps, buttresses, a roof).
//
// Canonical orientation: an edge piece has the outside at v = 0, a corner piece at u = 0
// and v = 0. Edge pieces are symmetric under u -> 1 - u, corner and centre pieces under
// the diagonal, which is how the shader draws mirrored cells without turning faces over.
#include "meshes.h"
#include "shapes.h"

namespace meshgen
{
namespace
{
// Corner indices: bit 0 = u high, bit 1 = v high.
V3 corner_look(int c) { return V3(float(c & 1), float(c >> 1), 1.f); }
const V3 LOW_LOOK(0, 0, 0); // k = 0: the cell's lowest corner, minus a margin

struct BVert
{
  V3 p;       // u, height offset, v
  V3 look;    // height lookup u, v and blend
  float nomY; // a nominal height used only to orient and light the face
};

struct Piece
{
  Mesh m;
  float mirror = 0; // 0: u mirror (edge pieces), 1: diagonal
  float repeats = 0.5f;

  // One flat triangle, wound (by its nominal positions) to face along outward.
  void tri(BVert a, BVert b, BVert c, Rgba color, V3 outward)
  {
    auto nom = [](const BVert &v) { return V3(v.p.x, v.p.y + v.nomY, v.p.z); };
    V3 n = cross(nom(b) - nom(a), nom(c) - nom(a));
    if (length(n) < 1e-9f)
      return;
    if (dot(n, outward) < 0.f)
    {
      std::swap(b, c);
      n = -n;
    }
    for (const BVert &v : {a, b, c})
    {
      Vertex x;
      x.p = v.p;
      x.n = V3(0, 0, 0); // lit by the plane it ends up in
      x.u = repeats;
      x.c = color;
      x.look = v.look;
      x.extra = mirror;
      m.add(x);
    }
    const int i = int(m.verts.size()) - 3;
    m.tri(i, i + 1, i + 2);
  }
  void quad(BVert a, BVert b, BVert c, BVert d, Rgba color, V3 outward)
  {
    tri(a, b, c, color, outward);
    tri(a, c, d, color, outward);
  }
};

BVert at(float u, float dy, float v, V3 look, float nom) { return BVert{V3(u, dy, v), look, nom}; }

// Quarter q (corner index) spans [qu, qu + 0.5] x [qv, qv + 0.5].
void quarter_origin(int q, float &u, float &v)
{
  u = (q & 1) ? 0.5f : 0.f;
  v = (q & 2) ? 0.5f : 0.f;
}

// The massing described at the top of the file.
void massing(Piece &pc, Rgba top, Rgba side)
{
  for (int q = 0; q < 4; q++)
  {
    float u0, v0;
    quarter_origin(q, u0, v0);
    const float u1 = u0 + 0.5f, v1 = v0 + 0.5f;
    const V3 L = corner_look(q);
    pc.quad(at(u0, 0, v0, L, 1), at(u1, 0, v0, L, 1), at(u1, 0, v1, L, 1), at(u0, 0, v1, L, 1), top, V3(0, 1, 0));
    // Skirts on the quarter's two edges that are the cell's edges.
    const float eu = (q & 1) ? 1.f : 0.f, ev = (q & 2) ? 1.f : 0.f;
    V3 outU((q & 1) ? 1.f : -1.f, 0, 0), outV(0, 0, (q & 2) ? 1.f : -1.f);
    pc.quad(at(eu, 0, v0, L, 1), at(eu, 0, v1, L, 1), at(eu, 0, v1, LOW_LOOK, 0), at(eu, 0, v0, LOW_LOOK, 0), side,
            outU);
    pc.quad(at(u0, 0, ev, L, 1), at(u1, 0, ev, L, 1), at(u1, 0, ev, LOW_LOOK, 0), at(u0, 0, ev, LOW_LOOK, 0), side,
            outV);
  }
  // Walls between neighbouring quarters of different heights (flat where they agree).
  struct Seam
  {
    int a, b;       // quarters, b on the high side of the line along the axis
    bool alongV;    // the line runs along v (at u = 0.5)
    float from, to; // the segment along the line
  };
  const Seam seams[4] = {
    {0, 1, true, 0.f, 0.5f}, {2, 3, true, 0.5f, 1.f}, {0, 2, false, 0.f, 0.5f}, {1, 3, false, 0.5f, 1.f}};
  for (const Seam &s : seams)
  {
    const V3 La = corner_look(s.a), Lb = corner_look(s.b);
    auto P = [&](float t, V3 look, float nom) {
      return s.alongV ? at(0.5f, 0, t, look, nom) : at(t, 0, 0.5f, look, nom);
    };
    const V3 towardB = s.alongV ? V3(1, 0, 0) : V3(0, 0, 1);
    // Wound to face b when a is the higher; when b is, the same quad turns over and faces a.
    pc.quad(P(s.from, La, 1), P(s.to, La, 1), P(s.to, Lb, 0), P(s.from, Lb, 0), side, towardB);
  }
}

// A block standing on the quarter whose corner gives its height: u0..u1, v0..v1, from
// dy0 to dy1 above it; the bottom left open.
void block(Piece &pc, int corner, float u0, float u1, float v0, float v1, float dy0, float dy1, Rgba color)
{
  const V3 L = corner_look(corner);
  const float h = dy1 - dy0;
  auto P = [&](float u, float y, float v) { return at(u, y, v, L, 0); };
  BVert b00 = P(u0, dy0, v0), b10 = P(u1, dy0, v0), b01 = P(u0, dy0, v1), b11 = P(u1, dy0, v1);
  BVert t00 = P(u0, dy1, v0), t10 = P(u1, dy1, v0), t01 = P(u0, dy1, v1), t11 = P(u1, dy1, v1);
  (void)h;
  pc.quad(t00, t10, t11, t01, color, V3(0, 1, 0));
  pc.quad(b00, b10, t10, t00, color, V3(0, 0, -1));
  pc.quad(b01, b11, t11, t01, color, V3(0, 0, 1));
  pc.quad(b00, b01, t01, t00, color, V3(-1, 0, 0));
  pc.quad(b10, b11, t11, t10, color, V3(1, 0, 0));
}

// A dark opening on a wall face at v = face (facing -v), u0..u1, dy0..dy1 below the top
// of the quarter of corner.
void slit_v(Piece &pc, int corner, float face, float u0, float u1, float dy0, float dy1)
{
  const V3 L = corner_look(corner);
  const Rgba dark(0.07f, 0.06f, 0.05f, 0.3f);
  pc.quad(at(u0, dy0, face, L, 0), at(u1, dy0, face, L, 0), at(u1, dy1, face, L, 0), at(u0, dy1, face, L, 0), dark,
          V3(0, 0, -1));
}

const Rgba STONE(0.74f, 0.70f, 0.62f, 1.f);
const Rgba STONE_SIDE(0.70f, 0.66f, 0.59f, 0.85f);
const Rgba PAVING(0.62f, 0.58f, 0.52f, 1.f);
const Rgba CAP(0.82f, 0.79f, 0.72f, 1.f);
const Rgba ROOF(0.58f, 0.24f, 0.16f, 1.f);

Piece new_piece(const char *name, float mirror, const char *texture = "objects/castle.dds")
{
  Piece pc;
  pc.m.name = name;
  pc.m.kind = Kind::building;
  pc.m.forwardShader = "building.sh";
  pc.m.deferredShader = "dr_building.sh";
  pc.m.textures = {texture};
  pc.mirror = mirror;
  return pc;
}

// Merlons along the outer rim (v = 0.5) of an edge piece's raised inner half.
void edge_merlons(Piece &pc)
{
  block(pc, 2, 0.1f, 0.38f, 0.5f, 0.72f, 0.f, 0.5f, CAP);
  block(pc, 3, 0.62f, 0.9f, 0.5f, 0.72f, 0.f, 0.5f, CAP);
}

Mesh tower_wall(const char *name, bool slit)
{
  Piece pc = new_piece(name, 0);
  massing(pc, STONE, STONE_SIDE);
  edge_merlons(pc);
  if (slit)
    slit_v(pc, 2, 0.48f, 0.4f, 0.5f, -2.6f, -1.5f), slit_v(pc, 3, 0.48f, 0.5f, 0.6f, -2.6f, -1.5f);
  else
    slit_v(pc, 2, 0.48f, 0.36f, 0.5f, -1.3f, -0.85f), slit_v(pc, 3, 0.48f, 0.5f, 0.64f, -1.3f, -0.85f);
  pc.m.sphere(V3(0.5f, 0.35f, 0.75f), 0.5f);
  pc.m.sphere(V3(0.5f, 0.8f, 0.75f), 0.5f);
  return pc.m;
}

Mesh tower_corner()
{
  Piece pc = new_piece("tower_corner", 1);
  massing(pc, STONE, STONE_SIDE);
  // The raised quarter's outer rim on both sides, a corner merlon where they meet.
  block(pc, 3, 0.5f, 0.72f, 0.5f, 0.72f, 0.f, 0.6f, CAP);
  block(pc, 3, 0.8f, 1.0f, 0.5f, 0.68f, 0.f, 0.5f, CAP);
  block(pc, 3, 0.5f, 0.68f, 0.8f, 1.0f, 0.f, 0.5f, CAP);
  pc.m.sphere(V3(0.75f, 0.35f, 0.75f), 0.45f);
  pc.m.sphere(V3(0.75f, 0.8f, 0.75f), 0.45f);
  return pc.m;
}

// A quarter of a pyramid roof: the peak over corner (1, 1), the eaves over the outer
// edges reaching a little past them.
Mesh roof_corner()
{
  Piece pc = new_piece("roof_corner", 1, "objects/roof.dds");
  pc.repeats = 1.5f;
  const float rise = 3.4f, eave = 0.15f, over = 0.18f;
  const V3 L00 = corner_look(0), L10 = corner_look(1), L01 = corner_look(2), L11 = corner_look(3);
  BVert peak = at(1, rise, 1, L11, 0);
  BVert e00 = at(-over, eave - over * 0.5f, -over, L00, 0);
  BVert e10 = at(1, eave - over * 0.5f, -over, L10, 0);
  BVert e01 = at(-over, eave - over * 0.5f, 1, L01, 0);
  pc.tri(e00, e10, peak, ROOF, V3(0, 0.3f, -1));
  pc.tri(e00, peak, e01, ROOF, V3(-1, 0.3f, 0));
  // A darker underside under the overhang, and a ridge cap along the hip.
  const Rgba under = ROOF * 0.45f;
  BVert u00 = at(0, eave, 0, L00, 0), u10 = at(1, eave, 0, L10, 0), u01 = at(0, eave, 1, L01, 0);
  pc.quad(e00, e10, u10, u00, under, V3(0, -1, 0));
  pc.quad(e00, u00, u01, e01, under, V3(0, -1, 0));
  // Short walls under the eaves down to the roof's base (hidden in the tower).
  pc.quad(u00, u10, at(1, 0, 0, LOW_LOOK, 0), at(0, 0, 0, LOW_LOOK, 0), STONE_SIDE, V3(0, 0, -1));
  pc.quad(u00, u01, at(0, 0, 1, LOW_LOOK, 0), at(0, 0, 0, LOW_LOOK, 0), STONE_SIDE, V3(-1, 0, 0));
  pc.m.sphere(V3(0.6f, 0.5f, 0.6f), 0.6f);
  return pc.m;
}

// The castle's wall walk: paving on the massing.
Mesh castle_walk()
{
  Piece pc = new_piece("castle_walk", 1);
  pc.repeats = 1.f;
  massing(pc, PAVING, STONE_SIDE);
  pc.m.sphere(V3(0.5f, 0.5f, 0.5f), 0.5f);
  return pc.m;
}

// Parapet pieces: the massing with a cap slab on each raised quarter (a cap stands on
// every quarter; on the low ones it is a kerb).
Mesh parapet(const char *name, float mirror)
{
  Piece pc = new_piece(name, mirror);
  massing(pc, STONE, STONE_SIDE);
  for (int q = 0; q < 4; q++)
  {
    float u0, v0;
    quarter_origin(q, u0, v0);
    block(pc, q, u0 + 0.04f, u0 + 0.46f, v0 + 0.04f, v0 + 0.46f, 0.f, 0.12f, CAP);
  }
  pc.m.sphere(V3(0.5f, 0.4f, 0.5f), 0.55f);
  pc.m.sphere(V3(0.5f, 0.85f, 0.5f), 0.5f);
  return pc.m;
}

// The castle's outer walls: the massing, and on the raised inner half's face details
// that tell the four apart.
enum class WallDetail
{
  slit,
  buttress,
  window,
  plain,
};
Mesh castle_wall(const char *name, WallDetail d)
{
  Piece pc = new_piece(name, 0);
  massing(pc, STONE, STONE_SIDE);
  switch (d)
  {
  case WallDetail::slit:
    slit_v(pc, 2, 0.48f, 0.4f, 0.5f, -2.2f, -1.2f), slit_v(pc, 3, 0.48f, 0.5f, 0.6f, -2.2f, -1.2f);
    break;
  case WallDetail::buttress:
    // A sloping buttress on the low outer half against the face.
    for (int q = 0; q < 2; q++)
    {
      const float u0 = q ? 0.5f : 0.3f, u1 = q ? 0.7f : 0.5f;
      const V3 L = corner_look(q);
      BVert a = at(u0, 0, 0.5f, L, 0), b = at(u1, 0, 0.5f, L, 0);
      BVert c = at(u1, 1.2f, 0.5f, L, 0), e = at(u0, 1.2f, 0.5f, L, 0);
      BVert f = at(u0, 0, 0.2f, L, 0), g = at(u1, 0, 0.2f, L, 0);
      pc.quad(f, g, c, e, STONE_SIDE, V3(0, 0.6f, -1));
      pc.tri(a, f, e, STONE_SIDE, V3(-1, 0, 0));
      pc.tri(b, g, c, STONE_SIDE, V3(1, 0, 0));
      (void)b;
    }
    break;
  case WallDetail::window:
    slit_v(pc, 2, 0.48f, 0.34f, 0.5f, -1.1f, -0.6f), slit_v(pc, 3, 0.48f, 0.5f, 0.66f, -1.1f, -0.6f);
    break;
  case WallDetail::plain: break;
  }
  pc.m.sphere(V3(0.5f, 0.3f, 0.75f), 0.5f);
  pc.m.sphere(V3(0.5f, 0.75f, 0.75f), 0.5f);
  return pc.m;
}
} // namespace

std::vector<Mesh> castle_meshes()
{
  // In house tile order 'a'..'s'.
  return {
    roof_corner(),
    tower_corner(),
    tower_wall("tower_wall1", true),
    tower_wall("tower_wall2", false),
    castle_walk(),
    parapet("merlon_top", 1),
    parapet("merlon_corner", 1),
    parapet("merlon_wall1", 0),
    parapet("merlon_wall2", 0),
    castle_wall("castle_wall1", WallDetail::slit),
    castle_wall("castle_wall2", WallDetail::buttress),
    castle_wall("castle_wall3", WallDetail::window),
    castle_wall("castle_wall4", WallDetail::plain),
    castle_wall("castle_slant1", WallDetail::plain),
    castle_wall("castle_slant2", WallDetail::plain),
    castle_wall("castle_slant3", WallDetail::buttress),
    castle_wall("castle_slant4", WallDetail::buttress),
    parapet("castle_corner1", 1),
    parapet("castle_corner2", 1),
  };
}
} // namespace meshgen
