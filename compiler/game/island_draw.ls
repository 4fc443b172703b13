// Drawing the island's creatures: wyverns (head, spline body, tail), birds and gatherers
// (morphing bodies), their shadows, and the debug view of every game object's bounds
// and what it is after.
import objects.inst_draw
import game.island_util
#include "render/debug_vis.h"

static constexpr float CREATURE_DRAW_DIST = 124.f;
static constexpr float CREATURE_SHADOW_DIST = 60.f;

// Rows right, up, forward (forward along fwd, up as near to world up as it allows), at.
static Matrix44 facing_matrix(vec4f fwd, vec4f at)
{
  fwd.w = 0.f;
  if (length3(fwd) < 1e-4f)
    fwd = vec4f(0.f, 0.f, 1.f, 0.f);
  fwd = normalize3(fwd);
  vec4f up(0.f, 1.f, 0.f, 0.f);
  vec4f right = cross3(up, fwd);
  if (length3(right) < 1e-4f)
    right = vec4f(1.f, 0.f, 0.f, 0.f);
  right = normalize3(right);
  Matrix44 m;
  m.setRow(0, right);
  m.setRow(1, cross3(fwd, right));
  m.setRow(2, fwd);
  m.setRow(3, vec4f(at.x, at.y, at.z, 1.f));
  return m;
}

// p moved to its copy nearest the camera; false beyond dist.
static bool near_camera(const ObjectView &v, vec4f p, float dist, vec4f &out)
{
  const float dx = wrap_coord(p.x - v.cam.x), dz = wrap_coord(p.z - v.cam.z);
  if (dx * dx + dz * dz >= dist * dist)
    return false;
  out = vec4f(v.cam.x + dx, p.y, v.cam.z + dz, 1.f);
  return true;
}

static void draw_rigid(SimpleInstRender &r, vec4f at, vec4f fwd, float scale, D3dColor tint)
{
  SimpleInstance *s = static_cast<SimpleInstance *>(r.allocInstances(1));
  write_simple_instance(*s, facing_matrix(fwd, at), scale, scale, tint);
}

static void draw_wyvern(const ObjectView &v, const WyvernMonster *w)
{
  vec4f head;
  if (!w->placed || !near_camera(v, w->pos, CREATURE_DRAW_DIST, head) || !sphere_in_view(v, head, 9.f))
    return;
  vec4f p[4] = {head};
  for (int i = 0; i < 3; i++)
    p[i + 1] = head + wrapped_offset(w->pos, w->body[i]);
  const float flash = w->hitFlash > 0.f ? 1.f : 0.f;
  const D3dColor tint = inst_tint(1.f, 1.f - 0.4f * flash, 1.f - 0.4f * flash, 0.6f * flash);
  const vec4f up(0.f, 1.f, 0.f, 0.f);
  SplineInstance *b = static_cast<SplineInstance *>(wyvern_body_inst.allocInstances(1));
  write_spline_instance(*b, p, up, up, 1.f, 0.8f, tint, tint, 0.6f * flash, std::sin(w->flap));
  draw_rigid(wyvern_head_inst, p[0], p[0] - p[1], 1.f, tint);
  draw_rigid(wyvern_tail_inst, p[3], p[3] - p[2], 1.f, tint);
}

static void draw_bird(const ObjectView &v, const BirdMonster *b)
{
  vec4f at;
  if (!near_camera(v, b->pos, CREATURE_DRAW_DIST * 0.7f, at) || !sphere_in_view(v, at, 1.5f))
    return;
  const float s = std::sin(b->flap);
  const float red = b->anger > 0.f ? 0.7f : 1.f;
  MorphInstance *m = static_cast<MorphInstance *>(bird_body_inst.allocInstances(1));
  write_morph_instance(*m, facing_matrix(b->vel, at), 1.4f, inst_tint(1.f, red, red, b->hitFlash > 0.f ? 0.8f : 0.f),
                       vec4f(std::fmax(s, 0.f), std::fmax(-s, 0.f), 0.f, 0.f));
}

static void draw_gatherer(const ObjectView &v, const ManaGatherer *g)
{
  vec4f at;
  if (!near_camera(v, g->pos, CREATURE_DRAW_DIST * 0.6f, at))
    return;
  at.y = drawn_land_height(at.x, at.z);
  if (!sphere_in_view(v, at + vec4f(0.f, 0.7f, 0.f, 0.f), 1.2f))
    return;
  const float scale = 1.3f, s = std::sin(g->stride * 3.1415927f);
  const bool carrying = g->state == 2;
  const Matrix44 m = facing_matrix(g->heading, at);
  MorphInstance *rec = static_cast<MorphInstance *>(gatherer_body_inst.allocInstances(1));
  write_morph_instance(*rec, m, scale, inst_tint(1.f, 1.f, 1.f, g->hitFlash > 0.f ? 0.8f : 0.f),
                       vec4f(std::fmax(s, 0.f), std::fmax(-s, 0.f), carrying ? 1.f : 0.f, 0.f));
  for (float side : {-1.f, 1.f})
  {
    vec4f eye = at + m.row(0) * (0.05f * side * scale) + m.row(1) * (0.98f * scale) + m.row(2) * (0.15f * scale);
    draw_rigid(gatherer_eye_inst, eye, g->heading, scale, inst_tint(1.f, 1.f, 1.f, 1.f));
  }
}

static void draw_creatures(const ObjectView &v)
{
  for (GameObj *o : WyvernMonster_list)
    draw_wyvern(v, static_cast<const WyvernMonster *>(o));
  for (GameObj *o : BirdMonster_list)
    draw_bird(v, static_cast<const BirdMonster *>(o));
  for (GameObj *o : ManaGatherer_list)
    draw_gatherer(v, static_cast<const ManaGatherer *>(o));
}

static void creature_shadows(const ObjectView &v)
{
  vec4f at;
  for (GameObj *o : WyvernMonster_list)
  {
    const auto *w = static_cast<const WyvernMonster *>(o);
    if (!w->placed || !near_camera(v, w->pos, CREATURE_SHADOW_DIST, at))
      continue;
    render_shadow_ball(at, 1.2f);
    for (int i = 0; i < 3; i++)
      render_shadow_ball(at + wrapped_offset(w->pos, w->body[i]), 1.f - 0.2f * float(i));
  }
  for (GameObj *o : BirdMonster_list)
    if (near_camera(v, o->pos, CREATURE_SHADOW_DIST * 0.5f, at))
      render_shadow_ball(at, 0.5f);
  for (GameObj *o : ManaGatherer_list)
    if (near_camera(v, o->pos, CREATURE_SHADOW_DIST * 0.5f, at))
      render_shadow_ball(vec4f(at.x, drawn_land_height(at.x, at.z) + 0.6f, at.z, 1.f), 0.5f);
}

static const bool creature_pass = (add_object_pass(draw_creatures, creature_shadows), true);

// ---- the debug view ----

static void debug_box(const ObjectView &v, vec4f p, float half, float height, D3dColor c)
{
  vec4f at;
  if (!near_camera(v, p, 160.f, at))
    return;
  draw_debug_vis_wire_box(at - vec4f(half, 0.f, half, 0.f), at + vec4f(half, height, half, 0.f), c);
}

static void debug_line(const ObjectView &v, vec4f from, vec4f to, D3dColor c)
{
  vec4f a;
  if (!near_camera(v, from, 160.f, a))
    return;
  vec4f b = a + wrapped_offset(from, to);
  draw_debug_vis_line(a, b, c, c);
}

// Object bounds, and what each is after: a wyvern's home, a gatherer's ball or castle.
// Shown in the development mode only; the player never sees them.
void render_debug_vis_gameobj()
{
  if (!cur_game_mode || cur_game_mode != dev_mode)
    return;
  const ObjectView v = current_object_view();
  const D3dColor red(0xFFFF4040u), orange(0xFFFFA020u), green(0xFF40FF40u), cyan(0xFF40E0FFu), white(0xFFFFFFFFu);
  for (GameObj *o : WyvernMonster_list)
  {
    const auto *w = static_cast<const WyvernMonster *>(o);
    debug_box(v, w->pos - vec4f(0.f, 1.5f, 0.f, 0.f), 2.f, 3.f, red);
    debug_line(v, w->pos, w->home, red);
    for (const WyvernFlame &f : w->flames)
      if (f.life > 0.f)
        debug_box(v, f.pos, 0.4f, 0.8f, orange);
  }
  for (GameObj *o : BirdMonster_list)
    debug_box(v, o->pos - vec4f(0.f, 0.5f, 0.f, 0.f), 0.6f, 1.f, static_cast<BirdMonster *>(o)->anger > 0.f ? red : orange);
  for (GameObj *o : ManaGatherer_list)
  {
    const auto *g = static_cast<const ManaGatherer *>(o);
    debug_box(v, g->pos, 0.5f, 1.5f, green);
    if (g->ball && in_list(ManaBall_list, g->ball))
      debug_line(v, g->pos + vec4f(0.f, 1.f, 0.f, 0.f), g->state == 2 ? g->home : g->ball->pos, green);
  }
  for (GameObj *o : ManaBall_list)
    debug_box(v, o->pos - vec4f(0.f, 0.4f, 0.f, 0.f), 0.4f, 0.8f, cyan);
  for (GameObj *o : CastleObject_list)
    debug_box(v, o->pos, 6.f, 8.f, white);
  for (GameObj *o : WorldPortal_list)
  {
    const auto *p = static_cast<const WorldPortal *>(o);
    debug_box(v, p->pos - vec4f(0.f, p->radius, 0.f, 0.f), p->radius, 2.f * p->radius, cyan);
  }
  for (GameObj *o : Sensor_list)
  {
    const auto *s = static_cast<const Sensor *>(o);
    debug_box(v, s->pos, s->radius, 1.f, s->inside ? green : white);
  }
}
