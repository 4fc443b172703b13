// The simulation of the common effects: particle pools with their free lists, the trail
// table with its free list and point rings, and the lightning bolts.
#include "render/common_fx.h"
#include <cmath>
#include "core/log.h"
#include "world/heightmap.h"
#include "world/noise.h"
#include "world/world_rnd.h"

FxPool fx_blend_pool, fx_glow_pool;
FxTrail fx_trails[MAX_TRAILS];
DynArray<FxBolt> fx_bolts;

namespace
{
// Head of the trails' free list; -1 when every slot is in use.
int first_free_trail = -1;

// The step every new particle makes at once: one update interval.
constexpr float FX_BIRTH_STEP = 0.05f;

#define TRAIL_ASSERT(c)                                            \
  do                                                               \
  {                                                                \
    if (!(c))                                                      \
      fatal("%s(%d): failed ASSERT(%s)", "trailFx", __LINE__, #c); \
  } while (0)

constexpr float WORLD_PERIOD = float(HMAP_SIZE);

// prev = pos; the velocity follows the acceleration against the drag (vel.w, itself
// changed by acc.w), then moves pos. Whole-vector operations: pos.w is not used.
inline void step(FxParticle &p, float s)
{
  p.prev = p.pos;
  const float drag = p.vel.w;
  p.vel += (p.acc - p.vel * vec4f(drag, drag, drag, 0.f)) * s;
  p.pos += p.vel * s;
}

void reset_pool(FxPool &pool)
{
  pool.parts.clear();
  pool.parts.reserve(FX_POOL_RESERVE);
  pool.firstFree = -1;
  pool.alive = 0;
}

void add_particle(FxPool &pool, vec4f pos, vec4f vel, vec4f acc, float life, float delay, float size, D3dColor color,
                  float atlas_x, float atlas_y, float cell, float rotation, float rotation_amount,
                  const ColorRamp *color_ramp, const FloatRamp *size_ramp, const FloatRamp *rotation_ramp)
{
  int at = pool.firstFree;
  if (at >= 0)
    pool.firstFree = pool.parts[at].nextFree;
  else
  {
    at = pool.parts.size();
    pool.parts.appendDefault(1);
  }
  FxParticle &p = pool.parts[at];
  p.pos = p.prev = pos;
  p.vel = vel;
  p.acc = acc;
  // A life that is not a positive number would leave a record that is neither alive nor
  // on the free list: such a particle is dead at birth.
  p.life = life > 0.f ? life : 1e-6f;
  p.age = -delay;
  p.nextFree = -1;
  p.size = size;
  p.color = color;
  p.u = (atlas_x + cell * 0.5f) / FX_ATLAS_W;
  p.v = (atlas_y + cell * 0.5f) / FX_ATLAS_H;
  p.halfCell = cell * 0.5f;
  p.rotation = rotation;
  p.rotationAmount = rotation_amount;
  p.colorRamp = color_ramp;
  p.sizeRamp = size_ramp;
  p.rotationRamp = rotation_ramp;
  pool.alive++;
  if (!(delay > 0.f))
    step(p, FX_BIRTH_STEP);
  else if (delay < FX_BIRTH_STEP)
    step(p, FX_BIRTH_STEP - delay);
}

void update_pool(FxPool &pool, float dt)
{
  FxParticle *parts = pool.parts.data();
  const int n = pool.parts.size();
  for (int i = 0; i < n; i++)
  {
    FxParticle &p = parts[i];
    if (!(p.life > 0.f))
      continue;
    p.age += dt;
    if (p.age >= p.life)
    {
      p.life = -1.f;
      p.nextFree = pool.firstFree;
      pool.firstFree = i;
      pool.alive--;
    }
    else if (p.age < 0.f)
    {
      // Born within the next interval: be where the particle will be at the next update.
      if (p.age + dt > 0.f)
        step(p, p.age + dt);
    }
    else
      step(p, dt);
  }
}

void free_trail(int i)
{
  FxTrail &tr = fx_trails[i];
  tr.count = 0;
  tr.stopping = false;
  tr.inUse = false;
  tr.nextFree = first_free_trail;
  first_free_trail = i;
}

FxTrail *trail_in_use(int i)
{
  if (i < 0 || i >= MAX_TRAILS || !fx_trails[i].inUse)
    return nullptr;
  return &fx_trails[i];
}

void push_trail_point(FxTrail &tr, vec4f pos, vec4f vel, vec4f side)
{
  vec4f prev = pos;
  if (tr.count > 0)
  {
    const FxTrailPoint &last = tr.points[tr.head];
    pos = fx_wrap_near(pos, last.pos);
    prev = last.prev;
  }
  tr.head = (tr.head + TRAIL_POINTS - 1) & (TRAIL_POINTS - 1);
  if (tr.count < TRAIL_POINTS)
    tr.count++;
  FxTrailPoint &p = tr.points[tr.head];
  p.pos = pos;
  p.prev = prev;
  p.side = side;
  p.vel = vel;
  p.color = tr.color;
}

void update_trail(FxTrail &tr, float dt)
{
  if (tr.count <= 0)
    return;
  if (tr.stopping)
    tr.count--;
  const vec4f head = tr.points[tr.head].pos;
  const float ox = -WORLD_PERIOD * std::floor(head.x / WORLD_PERIOD);
  const float oz = -WORLD_PERIOD * std::floor(head.z / WORLD_PERIOD);
  for (int k = 0; k < tr.count; k++)
  {
    FxTrailPoint &p = tr.points[(tr.head + k) & (TRAIL_POINTS - 1)];
    p.pos.x += ox;
    p.pos.z += oz;
    p.prev = p.pos;
    p.pos.x += p.vel.x * dt;
    p.pos.y += p.vel.y * dt;
    p.pos.z += p.vel.z * dt;
  }
}

// One draw of the effects' generator (fx_rnd_seed) as a unit float: high 32 bits / 2^32,
// in [0, 1).
static float rnd_unit() { return float(double(world_rnd_next(fx_rnd_seed)) * (1.0 / 4294967296.0)); }

float bolt_fbm(float q)
{
  float q1 = 2.f * q + 0.5f, q2 = 2.f * q1 + 0.5f, q3 = 2.f * q2 + 0.5f;
  return noise1(q) + 0.5f * noise1(q1) + 0.25f * noise1(q2) + 0.125f * noise1(q3);
}
} // namespace

vec4f fx_wrap_near(vec4f p, vec4f c)
{
  return vec4f(c.x + wrap_coord(p.x - c.x), p.y, c.z + wrap_coord(p.z - c.z), p.w);
}

void reset_common_fx()
{
  reset_pool(fx_blend_pool);
  reset_pool(fx_glow_pool);
  first_free_trail = -1;
  for (int i = MAX_TRAILS - 1; i >= 0; i--)
    free_trail(i); // pushed from the top: the list runs 0, 1, ..., 3999
  fx_bolts.clear();
}

void update_common_fx(float dt)
{
  update_pool(fx_blend_pool, dt);
  update_pool(fx_glow_pool, dt);
  for (FxTrail &tr : fx_trails)
    update_trail(tr, dt);
  for (int i = 0; i < fx_bolts.size();)
  {
    FxBolt &b = fx_bolts[i];
    b.age += dt;
    if (b.age >= b.life)
      fx_bolts.erase(i);
    else
      i++;
  }
}

void add_blend_particle(vec4f pos, vec4f vel, vec4f acc, float life, float delay, float size, D3dColor color,
                        float atlas_x, float atlas_y, float cell, float rotation, float rotation_amount,
                        const ColorRamp *color_ramp, const FloatRamp *size_ramp, const FloatRamp *rotation_ramp)
{
  add_particle(fx_blend_pool, pos, vel, acc, life, delay, size, color, atlas_x, atlas_y, cell, rotation,
               rotation_amount, color_ramp, size_ramp, rotation_ramp);
}

void add_glow_particle(vec4f pos, vec4f vel, vec4f acc, float life, float delay, float size, D3dColor color,
                       float atlas_x, float atlas_y, float cell, float rotation, float rotation_amount,
                       const ColorRamp *color_ramp, const FloatRamp *size_ramp, const FloatRamp *rotation_ramp)
{
  add_particle(fx_glow_pool, pos, vel, acc, life, delay, size, color, atlas_x, atlas_y, cell, rotation, rotation_amount,
               color_ramp, size_ramp, rotation_ramp);
}

int add_trail_fx(vec4f pos, vec4f vel, vec4f side, float width, D3dColor color)
{
  const int i = first_free_trail;
  if (i < 0)
    return -1;
  FxTrail &tr = fx_trails[i];
  TRAIL_ASSERT(!tr.isAlive());
  first_free_trail = tr.nextFree;
  tr.count = 0;
  tr.head = 0;
  tr.nextFree = -1;
  tr.width = width;
  tr.color = color;
  tr.stopping = false;
  tr.inUse = true;
  push_trail_point(tr, pos, vel, side);
  return i;
}

void add_trail_point(int trail, vec4f pos, vec4f vel, vec4f side)
{
  if (FxTrail *tr = trail_in_use(trail))
    push_trail_point(*tr, pos, vel, side);
}

void set_trail_color(int trail, D3dColor color)
{
  if (FxTrail *tr = trail_in_use(trail))
    tr->color = color;
}

void stop_trail_fx(int trail)
{
  if (FxTrail *tr = trail_in_use(trail))
    if (tr->isAlive())
      tr->stopping = true;
}

void kill_trail_fx(int trail)
{
  if (trail_in_use(trail))
    free_trail(trail);
}

void add_lightning_fx(vec4f from, vec4f to, vec4f ctrl, float width, float wavelength, float amplitude, float life,
                      D3dColor color, int points)
{
  // A script's typo must not ask for gigabytes: a bolt has at most FX_BOLT_MAX_POINTS.
  const int n = points < 3 ? 3 : points > FX_BOLT_MAX_POINTS ? FX_BOLT_MAX_POINTS : points;
  FxBolt &b = fx_bolts[fx_bolts.push(FxBolt())];
  b.age = 0.f;
  b.life = life;
  b.width = width;
  FxBoltPoint *pts = b.points.appendDefault(n);

  float u = rnd_unit();
  const float ox = (2.f * rnd_unit() - 1.f) * 1000.f;
  const float oy = (2.f * rnd_unit() - 1.f) * 1000.f;
  const float oz = (2.f * rnd_unit() - 1.f) * 1000.f;
  to = fx_wrap_near(to, from);
  const vec4f bend = to - from - ctrl;
  // Texture coordinates per unit of length, and noise coordinates per unit of u.
  const float u_per_len = width != 0.f ? 0.0625f / width : 0.f;
  const float noise_per_u = wavelength != 0.f ? width / (0.0625f * wavelength) : 0.f;
  // Each point is placed with the running u; u then grows by the distance from that
  // point to the one before it.
  for (int j = 0; j < n; j++)
  {
    const float N = float(j) / float(n - 1);
    const float a = u * noise_per_u;
    const vec4f jitter(bolt_fbm(a + ox), bolt_fbm(a + oy), bolt_fbm(a + oz), 0.f);
    vec4f p = from + ctrl * N + bend * (N * N) + jitter * (amplitude * 4.f * N * (1.f - N));
    p.w = 1.f;
    pts[j].pos = p;
    pts[j].color = color;
    pts[j].u = u;
    if (j > 0)
      u += u_per_len * length3(p - pts[j - 1].pos);
  }
  pts[0].color = pts[n - 1].color = D3dColor(0u);
}
