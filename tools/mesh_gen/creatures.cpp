// The creatures' parts. Heads and tails are rigid and hang at the ends of the wyvern's
// spline body; the bird's and the gatherer's bodies carry morph targets.
//
// Attachment convention: rigid parts have their joint at the origin and extend along +z
// (a head looks along +z, a tail runs out along +z), with +y up; the module turns +z
// outwards from the body's end.
#include <functional>
#include "meshes.h"
#include "shapes.h"

namespace meshgen
{
namespace
{
const Rgba SCALES(0.27f, 0.36f, 0.22f, 1.f);
const Rgba BELLY(0.62f, 0.56f, 0.38f, 0.8f);
const Rgba BONE(0.85f, 0.80f, 0.66f, 1.f);
const Rgba EYE(1.0f, 0.82f, 0.15f, 1.f);

Mesh creature_mesh(const char *name, Kind kind)
{
  Mesh m;
  m.name = name;
  m.kind = kind;
  m.textures = {"objects/creature.dds"};
  switch (kind)
  {
  case Kind::morph:
    m.forwardShader = "mesh_morph.sh";
    m.deferredShader = "dr_mesh_morph.sh";
    break;
  case Kind::spline:
    m.forwardShader = "mesh_spline.sh";
    m.deferredShader = "dr_mesh_spline.sh";
    break;
  default: m.forwardShader = "mesh.sh"; m.deferredShader = "dr_mesh.sh";
  }
  return m;
}

// A cross-section of a loft along z: centre (x, y) at z and radii.
struct Section
{
  float z, cx, cy, rx, ry;
};

// Flat faces between consecutive rings of n points, facing away from the loft's axis;
// closes the last ring into a point tip at tipZ when tipZ is beyond it.
void loft_z(Mesh &m, const std::vector<Section> &secs, int n, float a0, float tipZ, const PaintFn &paint)
{
  auto ring_at = [&](const Section &s) {
    std::vector<V3> r;
    for (int i = 0; i < n; i++)
    {
      float a = a0 + 6.2831853f * float(i) / float(n);
      r.push_back(V3(s.cx + std::cos(a) * s.rx, s.cy + std::sin(a) * s.ry, s.z));
    }
    return r;
  };
  for (size_t k = 0; k + 1 < secs.size(); k++)
  {
    std::vector<V3> a = ring_at(secs[k]), b = ring_at(secs[k + 1]);
    for (int i = 0; i < n; i++)
    {
      int j = (i + 1) % n;
      V3 axis((secs[k].cx + secs[k + 1].cx) * 0.5f, (secs[k].cy + secs[k + 1].cy) * 0.5f, 0);
      V3 mid = (a[size_t(i)] + a[size_t(j)] + b[size_t(i)] + b[size_t(j)]) * 0.25f;
      V3 out = mid - axis;
      out.z = 0;
      Paint p = paint(mid, normalize(out));
      quad(m, a[size_t(i)], a[size_t(j)], b[size_t(j)], b[size_t(i)], p, out);
    }
  }
  const Section &last = secs.back(), &first = secs.front();
  std::vector<V3> r = ring_at(last);
  V3 tip(last.cx, last.cy, tipZ);
  fan(m, r, tip, V3(0, 0, tipZ >= last.z ? 1.f : -1.f), paint);
  std::vector<V3> r0 = ring_at(first);
  fan(m, r0, V3(first.cx, first.cy, first.z - 0.02f), V3(0, 0, -1), paint);
}

// A thin cone from base (radius r) to tip, n sides.
void spike(Mesh &m, V3 base, V3 tip, float r, int n, const Paint &paint)
{
  V3 axis = normalize(tip - base);
  V3 s = normalize(cross(axis, std::fabs(axis.y) < 0.9f ? V3(0, 1, 0) : V3(1, 0, 0)));
  V3 u = cross(s, axis);
  std::vector<V3> rim;
  for (int i = 0; i < n; i++)
  {
    float a = 6.2831853f * float(i) / float(n);
    rim.push_back(base + s * (std::cos(a) * r) + u * (std::sin(a) * r));
  }
  fan(m, rim, tip, axis, solid(paint));
}

// Scales above, a paler belly below: shaded by the face's normal.
PaintFn hide(Rng &rng, float scale)
{
  return [&rng, scale](V3, V3 n) {
    Paint p;
    float belly = std::fmin(std::fmax(-n.y * 1.6f, 0.f), 1.f);
    p.color = mix(SCALES, BELLY, belly) * (1.f + rng.range(-0.07f, 0.07f));
    p.color.a = 0.75f + 0.25f * std::fmax(n.y, 0.f);
    p.uvScale = scale;
    return p;
  };
}

Mesh wyvern_head()
{
  Mesh m = creature_mesh("wyvern_head", Kind::simple);
  Rng rng(71);
  PaintFn skin = hide(rng, 0.35f);
  loft_z(m,
         {{0.f, 0, 0.02f, 0.26f, 0.28f},
          {0.32f, 0, 0.08f, 0.3f, 0.3f},
          {0.62f, 0, 0.02f, 0.2f, 0.19f},
          {0.98f, 0, -0.04f, 0.13f, 0.11f}},
         6, 0.5236f, 1.12f, skin);
  // The lower jaw, slightly open.
  loft_z(m, {{0.15f, 0, -0.2f, 0.2f, 0.09f}, {0.55f, 0, -0.22f, 0.15f, 0.07f}, {0.9f, 0, -0.2f, 0.09f, 0.05f}}, 6, 0.f,
         0.98f, [&](V3 c, V3 n) {
           Paint p = skin(c, n);
           p.color = mix(p.color, BELLY, 0.5f);
           return p;
         });
  Paint bone;
  bone.color = BONE;
  bone.uvScale = 0.3f;
  for (float sx : {-1.f, 1.f})
  {
    spike(m, V3(0.14f * sx, 0.26f, 0.22f), V3(0.3f * sx, 0.62f, -0.38f), 0.06f, 5, bone);
    spike(m, V3(0.2f * sx, 0.16f, 0.12f), V3(0.36f * sx, 0.3f, -0.22f), 0.04f, 4, bone);
    // Teeth along the jaw line.
    for (int k = 0; k < 3; k++)
      spike(m, V3(0.1f * sx, -0.12f, 0.55f + 0.13f * float(k)), V3(0.1f * sx, -0.21f, 0.57f + 0.13f * float(k)), 0.02f,
            3, bone);
    // Eyes: bright, a little sunk under a brow.
    Paint eye;
    eye.color = EYE;
    eye.uvScale = 0.2f;
    V3 c(0.22f * sx, 0.13f, 0.5f);
    facet_sphere(
      m, 0, [c](V3 d) { return c + d * 0.055f; }, solid(eye));
  }
  m.sphere(V3(0, 0.05f, 0.5f), 0.4f);
  return m;
}

Mesh wyvern_tail()
{
  Mesh m = creature_mesh("wyvern_tail", Kind::simple);
  Rng rng(73);
  PaintFn skin = hide(rng, 0.35f);
  loft_z(m,
         {{0.f, 0, 0, 0.2f, 0.2f},
          {0.5f, 0, 0.02f, 0.14f, 0.13f},
          {1.0f, 0, 0.05f, 0.08f, 0.07f},
          {1.45f, 0, 0.08f, 0.04f, 0.035f}},
         6, 0.5236f, 1.55f, skin);
  // The spade at the tip: a flat, double-sided diamond.
  Paint spade;
  spade.color = SCALES * 0.8f;
  spade.uvScale = 0.3f;
  const V3 a(0, 0.08f, 1.4f), b(0.28f, 0.08f, 1.62f), c(0, 0.08f, 1.95f), d(-0.28f, 0.08f, 1.62f);
  quad(m, a, b, c, d, spade, V3(0, 1, 0));
  quad(m, a, b, c, d, spade, V3(0, -1, 0));
  // Ridge spikes.
  Paint bone;
  bone.color = BONE;
  bone.uvScale = 0.3f;
  for (int k = 0; k < 4; k++)
  {
    float z = 0.15f + 0.3f * float(k);
    float r = 0.2f - 0.04f * float(k);
    spike(m, V3(0, r * 0.9f, z), V3(0, r * 0.9f + 0.14f - 0.02f * float(k), z - 0.12f), 0.035f, 4, bone);
  }
  m.sphere(V3(0, 0.05f, 0.7f), 0.3f);
  return m;
}

// The wyvern's body in the spline frame: x = side, y = up, z = t from the neck (0) to the
// tail root (1); the curve gives the length, the instance the thickness. Bat-like wings
// spread from the shoulders; NORMAL0.w (extra) grows along them for the wing beat.
Mesh wyvern_body()
{
  Mesh m = creature_mesh("wyvern_body", Kind::spline);
  Rng rng(79);
  PaintFn skin = hide(rng, 0.3f);
  const float ts[9] = {0.f, 0.1f, 0.22f, 0.35f, 0.5f, 0.64f, 0.78f, 0.9f, 1.f};
  const float rs[9] = {0.24f, 0.3f, 0.42f, 0.46f, 0.43f, 0.36f, 0.3f, 0.25f, 0.21f};
  std::vector<Section> secs;
  for (int i = 0; i < 9; i++)
    secs.push_back({ts[i], 0.f, 0.f, rs[i] * 1.05f, rs[i] * 0.92f});
  loft_z(m, secs, 8, 0.3927f, 1.0f, skin);
  // Dorsal spikes.
  Paint bone;
  bone.color = BONE;
  bone.uvScale = 0.3f;
  for (int k = 0; k < 6; k++)
  {
    float t = 0.12f + 0.14f * float(k);
    float r = 0.45f - 0.03f * float(k);
    spike(m, V3(0, r * 0.85f, t), V3(0, r * 0.85f + 0.2f, t - 0.06f), 0.05f, 4, bone);
  }
  // Wings: an arm from the shoulder to the wrist, fingers to the tips, membrane between,
  // seen from both sides.
  const size_t wing_start = m.verts.size();
  Paint membrane;
  membrane.color = Rgba(0.36f, 0.26f, 0.2f, 0.9f);
  membrane.uvScale = 0.5f;
  for (float sx : {-1.f, 1.f})
  {
    V3 shoulder(0.38f * sx, 0.12f, 0.2f), back(0.36f * sx, 0.05f, 0.52f);
    V3 wrist(1.6f * sx, 0.35f, 0.18f);
    V3 tips[3] = {V3(3.0f * sx, 0.2f, 0.3f), V3(2.6f * sx, 0.1f, 0.52f), V3(1.9f * sx, 0.05f, 0.66f)};
    std::vector<V3> pts = {shoulder, wrist, tips[0], tips[1], tips[2], back};
    for (size_t i = 1; i + 1 < pts.size(); i++)
      for (float up : {1.f, -1.f})
      {
        Paint p = membrane;
        if (up < 0.f)
          p.color = membrane.color * 0.8f;
        face(m, shoulder, pts[i], pts[i + 1], p, V3(0, up, 0));
      }
    Paint arm = membrane;
    arm.color = SCALES * 0.9f;
    spike(m, shoulder, wrist + V3(0.1f * sx, 0.02f, 0), 0.06f, 4, arm);
    spike(m, wrist, tips[0] + V3(0.08f * sx, 0, 0), 0.035f, 3, bone);
  }
  for (size_t i = wing_start; i < m.verts.size(); i++)
  {
    float w = (std::fabs(m.verts[i].p.x) - 0.3f) / 2.7f;
    m.verts[i].extra = std::fmin(std::fmax(w, 0.f), 1.f);
  }
  m.sphere(V3(0, 0, 0.3f), 0.5f);
  m.sphere(V3(0, 0, 0.7f), 0.4f);
  return m;
}

// Morph targets from rigid motions of parts: for each target, a transform applied to the
// vertices of some parts (index ranges).
struct Part
{
  size_t from, to;
};
using Motion = std::function<V3(V3 p)>;

void add_target(Mesh &m, int target, const std::vector<Part> &parts, const Motion &move)
{
  for (const Part &pt : parts)
    for (size_t i = pt.from; i < pt.to; i++)
    {
      Vertex &v = m.verts[i];
      v.morphP[target] = v.morphP[target] + (move(v.p) - v.p);
    }
}

// Rotation about the axis through pivot along dir by angle.
Motion rotation(V3 pivot, V3 dir, float angle)
{
  dir = normalize(dir);
  return [=](V3 p) {
    V3 q = p - pivot;
    return q * std::cos(angle) + cross(dir, q) * std::sin(angle) + dir * (dot(dir, q) * (1.f - std::cos(angle))) +
           pivot;
  };
}

// A gull: body, head and beak, tail, and two-part wings. Targets: 1 wings up, 2 wings
// down, 3 wings folded along the body, 4 the tail spread and the head raised (landing).
Mesh bird_body()
{
  Mesh m = creature_mesh("bird_body", Kind::morph);
  Rng rng(83);
  Paint white;
  white.color = Rgba(0.93f, 0.93f, 0.9f, 1.f);
  white.uvScale = 0.15f;
  Paint grey = white;
  grey.color = Rgba(0.56f, 0.6f, 0.65f, 1.f);
  Paint black = white;
  black.color = Rgba(0.12f, 0.12f, 0.13f, 1.f);
  Paint beak = white;
  beak.color = Rgba(0.95f, 0.62f, 0.15f, 1.f);

  const size_t body0 = m.verts.size();
  facet_sphere(
    m, 1, [](V3 d) { return V3(d.x * 0.16f, d.y * 0.14f, d.z * 0.36f); },
    [&](V3 c, V3 n) {
      Paint p = n.y > 0.3f ? grey : white;
      p.color = p.color * (1.f + rng.range(-0.04f, 0.04f));
      (void)c;
      return p;
    });
  const size_t head0 = m.verts.size();
  facet_sphere(
    m, 0, [](V3 d) { return V3(d.x * 0.09f, d.y * 0.09f + 0.08f, d.z * 0.1f + 0.38f); }, solid(white));
  spike(m, V3(0, 0.07f, 0.45f), V3(0, 0.05f, 0.6f), 0.03f, 4, beak);
  const size_t tail0 = m.verts.size();
  quad(m, V3(-0.08f, 0.02f, -0.3f), V3(0.08f, 0.02f, -0.3f), V3(0.13f, 0.01f, -0.52f), V3(-0.13f, 0.01f, -0.52f), grey,
       V3(0, 1, 0));
  quad(m, V3(-0.08f, 0.02f, -0.3f), V3(0.08f, 0.02f, -0.3f), V3(0.13f, 0.01f, -0.52f), V3(-0.13f, 0.01f, -0.52f), white,
       V3(0, -1, 0));
  const size_t tail1 = m.verts.size();
  (void)body0;

  // Wings: inner panel shoulder .. elbow, outer panel elbow .. tip (black tips).
  struct Wing
  {
    size_t inner0, inner1, outer0, outer1;
  } wings[2];
  for (int w = 0; w < 2; w++)
  {
    const float sx = w ? 1.f : -1.f;
    V3 s0(0.12f * sx, 0.06f, 0.12f), s1(0.12f * sx, 0.06f, -0.1f);
    V3 e0(0.62f * sx, 0.07f, 0.08f), e1(0.6f * sx, 0.06f, -0.16f);
    V3 t0(1.2f * sx, 0.05f, -0.05f), t1(1.05f * sx, 0.05f, -0.22f);
    wings[w].inner0 = m.verts.size();
    quad(m, s0, e0, e1, s1, grey, V3(0, 1, 0));
    quad(m, s0, e0, e1, s1, white, V3(0, -1, 0));
    wings[w].inner1 = wings[w].outer0 = m.verts.size();
    quad(m, e0, t0, t1, e1, grey, V3(0, 1, 0));
    face(m, t0, t1, lerp(t0, t1, 0.5f) + V3(0.12f * sx, 0, 0), black, V3(0, 1, 0));
    quad(m, e0, t0, t1, e1, white, V3(0, -1, 0));
    face(m, t0, t1, lerp(t0, t1, 0.5f) + V3(0.12f * sx, 0, 0), black, V3(0, -1, 0));
    wings[w].outer1 = m.verts.size();
  }
  for (int w = 0; w < 2; w++)
  {
    const float sx = w ? 1.f : -1.f;
    const V3 shoulder(0.12f * sx, 0.06f, 0), elbow(0.61f * sx, 0.07f, 0);
    const Part inner{wings[w].inner0, wings[w].inner1}, outer{wings[w].outer0, wings[w].outer1};
    // Poses about the body's long axis through the shoulder, the outer panel bending
    // further about the elbow; a pose is stored as the offsets to it.
    auto pose = [&](int target, float a_in, float a_out, float fold) {
      Motion in = rotation(shoulder, V3(0, 0, 1), a_in * sx);
      V3 e = in(elbow);
      Motion o = rotation(e, V3(0, 0, 1), a_out * sx);
      for (size_t i = inner.from; i < outer.to; i++)
      {
        Vertex &v = m.verts[i];
        bool is_outer = i >= outer.from;
        V3 p = in(v.p);
        if (is_outer)
          p = o(p);
        if (fold > 0.f) // folding pulls the span in and lays the wing back
          p = V3(shoulder.x + (p.x - shoulder.x) * (1.f - 0.75f * fold), p.y + 0.04f * fold,
                 p.z - 0.35f * fold * std::fabs(p.x - shoulder.x));
        v.morphP[target] = p - v.p;
      }
    };
    pose(0, 0.9f, 0.35f, 0.f);  // up
    pose(1, -0.7f, -0.3f, 0.f); // down
    pose(2, 0.25f, -0.6f, 1.f); // folded
  }
  // Landing: tail spread and raised, head up.
  add_target(m, 3, {{tail0, tail1}}, [](V3 p) { return V3(p.x * 1.6f, p.y - (p.z + 0.3f) * 0.6f, p.z); });
  add_target(m, 3, {{head0, tail0}}, rotation(V3(0, 0.05f, 0.3f), V3(1, 0, 0), -0.4f));
  m.sphere(V3(0, 0, 0), 0.35f);
  return m;
}

// A mana gatherer: a small robed, hooded figure with a satchel. Targets: 1 and 2 the two
// halves of a stride (legs and arms swinging opposite), 3 arms raised (carrying a ball
// over the head), 4 a squash for bobbing (y down, a little wider).
Mesh gatherer_body()
{
  Mesh m = creature_mesh("gatherer_body", Kind::morph);
  Rng rng(89);
  auto cloth = [&](Rgba c) {
    return [&rng, c](V3, V3 n) {
      Paint p;
      p.color = c * (1.f + rng.range(-0.06f, 0.06f));
      p.color.a = 0.7f + 0.3f * std::fmax(n.y, 0.f);
      p.uvScale = 0.25f;
      return p;
    };
  };
  const Rgba ROBE(0.52f, 0.38f, 0.22f), HOOD(0.40f, 0.27f, 0.16f), SKIN(0.86f, 0.7f, 0.55f), BOOT(0.22f, 0.16f, 0.11f);
  // Robe: a widening skirt from the shoulders to the hem.
  Rng r2(91);
  std::vector<V3> sh = ring(7, V3(0, 0.82f, 0), 0.17f, 0.14f, 0.2f);
  std::vector<V3> waist = ring(7, V3(0, 0.55f, 0), 0.2f, 0.17f, 0.2f, &r2, 0.04f, 0.f);
  std::vector<V3> hem = ring(7, V3(0, 0.22f, 0), 0.27f, 0.24f, 0.2f, &r2, 0.06f, 0.03f);
  band(m, waist, sh, cloth(ROBE));
  band(m, hem, waist, cloth(ROBE));
  fan(m, hem, V3(0, 0.3f, 0), V3(0, -1, 0), cloth(ROBE * 0.6f));
  // Hood and the face under it.
  std::vector<V3> neck = ring(7, V3(0, 0.86f, 0.01f), 0.15f, 0.15f, 0.2f);
  std::vector<V3> crown = ring(7, V3(0, 1.08f, -0.02f), 0.14f, 0.15f, 0.2f);
  band(m, sh, neck, cloth(HOOD));
  band(m, neck, crown, cloth(HOOD));
  fan(m, crown, V3(0, 1.2f, -0.1f), V3(0, 1, 0), cloth(HOOD));
  Paint face_p;
  face_p.color = SKIN * 0.55f; // in the hood's shade
  face_p.uvScale = 0.2f;
  quad(m, V3(-0.09f, 0.9f, 0.145f), V3(0.09f, 0.9f, 0.145f), V3(0.08f, 1.04f, 0.135f), V3(-0.08f, 1.04f, 0.135f),
       face_p, V3(0, 0, 1));
  // Satchel at the side.
  const size_t bag0 = m.verts.size();
  aabox(m, V3(0.17f, 0.42f, -0.08f), V3(0.27f, 0.6f, 0.08f), cloth(Rgba(0.35f, 0.3f, 0.2f)));
  // Arms and legs, each a box from its joint, with the joints remembered for the poses.
  struct Limb
  {
    size_t from, to;
    V3 joint;
  };
  auto limb = [&](V3 joint, V3 lo, V3 hi, Rgba c) {
    Limb l{m.verts.size(), 0, joint};
    aabox(m, lo, hi, cloth(c));
    l.to = m.verts.size();
    return l;
  };
  Limb armL = limb(V3(-0.2f, 0.8f, 0), V3(-0.27f, 0.5f, -0.05f), V3(-0.17f, 0.8f, 0.05f), ROBE * 0.92f);
  Limb armR = limb(V3(0.2f, 0.8f, 0), V3(0.17f, 0.5f, -0.05f), V3(0.27f, 0.8f, 0.05f), ROBE * 0.92f);
  Limb handL = limb(V3(-0.2f, 0.8f, 0), V3(-0.26f, 0.44f, -0.04f), V3(-0.18f, 0.51f, 0.04f), SKIN);
  Limb handR = limb(V3(0.2f, 0.8f, 0), V3(0.18f, 0.44f, -0.04f), V3(0.26f, 0.51f, 0.04f), SKIN);
  Limb legL = limb(V3(-0.09f, 0.35f, 0), V3(-0.15f, -0.02f, -0.06f), V3(-0.03f, 0.3f, 0.07f), BOOT);
  Limb legR = limb(V3(0.09f, 0.35f, 0), V3(0.03f, -0.02f, -0.06f), V3(0.15f, 0.3f, 0.07f), BOOT);
  auto swing = [&](int target, const Limb &l, float angle) {
    add_target(m, target, {{l.from, l.to}}, rotation(l.joint, V3(1, 0, 0), angle));
  };
  // Stride: a positive angle about +x swings the limb's lower end towards +z (forward).
  for (int t = 0; t < 2; t++)
  {
    const float s = t == 0 ? 1.f : -1.f;
    swing(t, legL, -0.5f * s);
    swing(t, legR, 0.5f * s);
    swing(t, armL, 0.45f * s);
    swing(t, handL, 0.45f * s);
    swing(t, armR, -0.45f * s);
    swing(t, handR, -0.45f * s);
  }
  // Arms up over the head.
  for (const Limb *l : {&armL, &handL})
    add_target(m, 2, {{l->from, l->to}}, rotation(l->joint, V3(0, 0, 1), 2.6f));
  for (const Limb *l : {&armR, &handR})
    add_target(m, 2, {{l->from, l->to}}, rotation(l->joint, V3(0, 0, 1), -2.6f));
  // Squash: everything down towards the feet and a little wider.
  add_target(m, 3, {{0, m.verts.size()}}, [](V3 p) { return V3(p.x * 1.08f, p.y * 0.9f, p.z * 1.08f); });
  (void)bag0;
  m.sphere(V3(0, 0.55f, 0), 0.35f);
  return m;
}

// The gatherer's eye: a small faceted ball, bright; the module sets two in the hood and
// makes them glow with the instance colour's alpha.
Mesh gatherer_eye()
{
  Mesh m = creature_mesh("gatherer_eye", Kind::simple);
  Paint p;
  p.color = Rgba(1.0f, 0.95f, 0.65f, 1.f);
  p.uvScale = 0.1f;
  facet_sphere(
    m, 1, [](V3 d) { return d * 0.04f; }, solid(p));
  return m;
}
} // namespace

std::vector<Mesh> creature_meshes()
{
  return {wyvern_head(), wyvern_body(), wyvern_tail(), bird_body(), gatherer_body(), gatherer_eye()};
}
} // namespace meshgen
