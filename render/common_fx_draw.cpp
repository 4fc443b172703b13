// What the common effects look like at a moment between two updates: particle instances
// and the trail and bolt ribbons, computed on the CPU for the renderer's passes.
#include <cmath>
#include "core/ramp.h"
#include "render/common_fx.h"

namespace
{
vec4f interp(vec4f prev, vec4f pos, float f) { return prev + (pos - prev) * f; }

D3dColor scale_color(D3dColor c, float h)
{
  auto ch = [h](int v) { return uint32_t(float(v) * h + 0.5f); };
  return D3dColor((ch(c.a()) << 24) | (ch(c.r()) << 16) | (ch(c.g()) << 8) | ch(c.b()));
}

FxRibbonVertex vtx(vec4f p, D3dColor c, float u, float v) { return FxRibbonVertex{p.x, p.y, p.z, c, u, v}; }

// Two triangles of a quad from a0-a1 (one end's two edges) to b0-b1.
FxRibbonVertex *quad(FxRibbonVertex *o, const FxRibbonVertex &a0, const FxRibbonVertex &a1, const FxRibbonVertex &b0,
                     const FxRibbonVertex &b1)
{
  o[0] = a0, o[1] = a1, o[2] = b0;
  o[3] = a1, o[4] = b1, o[5] = b0;
  return o + 6;
}

// smoothstep of the clamped value, s = (3 - 2s) s^2.
float smooth01(float s)
{
  s = s < 0.f ? 0.f : s > 1.f ? 1.f : s;
  return (3.f - 2.f * s) * s * s;
}
} // namespace

bool fx_particle_instance(const FxParticle &p, float t, float f, vec4f cam, FxInstance &out)
{
  if (!(p.life > 0.f))
    return false;
  const float r = (p.age + t) / p.life;
  if (!(r >= 0.f && r <= 1.f))
    return false;
  // A particle born inside this interval moves from its birth place over the part of the
  // interval it has lived: interval = t / f.
  float k = f;
  if (p.age < 0.f)
  {
    const float lived = f > 0.f ? t / f + p.age : 0.f;
    k = lived > 0.f ? (p.age + t) / lived : 0.f;
  }
  const vec4f at = fx_wrap_near(interp(p.prev, p.pos, k), cam);
  const float x = r * 256.f;
  D3dColor color = p.color;
  if (p.colorRamp)
    color = vec4f_to_color(color_to_vec4f(p.color) * p.colorRamp->at(x));
  float size = p.size;
  if (p.sizeRamp)
    size *= p.sizeRamp->at(x);
  float rotation = p.rotation;
  if (p.rotationRamp)
    rotation += p.rotationAmount * p.rotationRamp->at(x);
  out.x = at.x;
  out.y = at.y;
  out.z = at.z;
  out.size = size;
  out.rotation = rotation;
  out.color = color;
  out.u = p.u;
  out.v = p.v;
  out.du = p.halfCell / FX_ATLAS_W;
  out.dv = -p.halfCell / FX_ATLAS_H;
  return true;
}

int fx_pool_instances(const FxPool &pool, float t, float f, vec4f cam, FxInstance *out, int max)
{
  int n = 0;
  for (const FxParticle &p : pool.parts)
    if (n < max && fx_particle_instance(p, t, f, cam, out[n]))
      n++;
  return n;
}

int fx_trail_vertices(const FxTrail &tr, float f, vec4f cam, vec4f right, vec4f up, FxRibbonVertex *out)
{
  if (tr.count <= 0)
    return 0;
  const FxTrailPoint &h = tr.point(0);
  const vec4f head = interp(h.prev, h.pos, f);
  const vec4f m = fx_wrap_near(head, cam);
  const vec4f shift = m - head;
  const vec4f R = right * tr.width, U = up * tr.width;
  FxRibbonVertex *o = out;
  o = quad(o, vtx(m - R + U, h.color, 0.f, 0.25f), vtx(m - R - U, h.color, 0.f, 0.5f),
           vtx(m + R + U, h.color, 0.125f, 0.25f), vtx(m + R - U, h.color, 0.125f, 0.5f));
  vec4f a = m;
  const FxTrailPoint *pa = &h;
  float u = f / float(TRAIL_POINTS);
  for (int k = 1; k < tr.count; k++)
  {
    const FxTrailPoint &pb = tr.point(k);
    const vec4f b = interp(pb.prev, pb.pos, f) + shift;
    const float ub = u + 1.f / float(TRAIL_POINTS);
    o = quad(o, vtx(a + pa->side, pa->color, u, 0.f), vtx(a - pa->side, pa->color, u, 0.25f),
             vtx(b + pb.side, pb.color, ub, 0.f), vtx(b - pb.side, pb.color, ub, 0.25f));
    a = b;
    pa = &pb;
    u = ub;
  }
  return int(o - out);
}

int fx_bolt_vertices(const FxBolt &b, float t, vec4f cam, FxRibbonVertex *out)
{
  const int n = b.points.size();
  if (n < 2 || !(b.life > 0.f))
    return 0;
  const float progress = std::fmin(1.f, (b.age + t) / b.life);
  const vec4f shift = fx_wrap_near(b.points[0].pos, cam) - b.points[0].pos;
  // A bright stretch runs along the bolt as it ages: the brightness of point i.
  auto bright = [&](int i) {
    const float s = (0.5f - std::fabs(2.f * progress - float(i) / float(n - 1) - 0.5f)) * 20.f;
    return smooth01(s);
  };
  FxRibbonVertex *o = out;
  float h0 = bright(0);
  for (int i = 0; i + 1 < n; i++)
  {
    const FxBoltPoint &p0 = b.points[i], &p1 = b.points[i + 1];
    const vec4f a = p0.pos + shift, c = p1.pos + shift;
    vec4f side = cross3(c - a, a - cam);
    const float l = length3(side);
    side = l > 0.f ? side * (b.width / l) : vec4f(0.f);
    const float h1 = bright(i + 1);
    const D3dColor c0 = scale_color(p0.color, h0), c1 = scale_color(p1.color, h1);
    o = quad(o, vtx(a + side, c0, p0.u, 0.75f), vtx(a - side, c0, p0.u, 1.f), vtx(c + side, c1, p1.u, 0.75f),
             vtx(c - side, c1, p1.u, 1.f));
    h0 = h1;
  }
  return int(o - out);
}
