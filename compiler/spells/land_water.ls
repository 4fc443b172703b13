// What the spells do to the land and the water: hills and pits through the target
// heights (the land morphs toward them), water globes, springs and sinks.
import core.classes
import core.land
#include "core/point2.h"
#include "render/land_render.h"

void delete_gameobj(GameObj *obj); // core/objects.ls
void spawn_water_source_fx(vec4f pos, float dt);
void spawn_water_sink_fx(vec4f pos, float dt);

// A coordinate moved into [0, 256).
inline float wrap_world_pos(float v) { return v - float(HMAP_SIZE) * std::floor(v / float(HMAP_SIZE)); }

// The nearest copy of p around c (x and z).
inline vec4f wrap_near(vec4f p, vec4f c)
{
  p.x = c.x + wrap_coord(p.x - c.x);
  p.z = c.z + wrap_coord(p.z - c.z);
  return p;
}

// The land and water surface at a ground point: bilinear land plus bilinear depth.
inline float surface_height(float x, float z)
{
  if (!std::isfinite(x) || !std::isfinite(z))
    return 0.f;
  return HeightmapData::calcSquareDepth(vec4f(x, 0.f, z, 1.f), 0.f, true).x;
}

// Calls fn(cell index, weight) for each cell whose centre lies strictly inside the disc
// of radius r around (x, z), with the weight (1 - d^2/r^2)^2: 1 in the middle, falling
// smoothly to 0 at the rim. The disc wraps with the map.
template <class Fn>
static void for_disc_cells(float x, float z, float r, Fn &&fn)
{
  if (!(r > 0.f) || !std::isfinite(x) || !std::isfinite(z))
    return;
  r = std::fmin(r, 100.f);
  const int x0 = int(std::ceil(x - r)), x1 = int(std::floor(x + r));
  const int z0 = int(std::ceil(z - r)), z1 = int(std::floor(z + r));
  const float r2 = r * r;
  for (int cz = z0; cz <= z1; cz++)
    for (int cx = x0; cx <= x1; cx++)
    {
      const float dx = float(cx) - x, dz = float(cz) - z;
      const float f = 1.f - (dx * dx + dz * dz) / r2;
      if (f > 0.f)
        fn(hmap_index(cx, cz), f * f);
    }
}

// Raises (height > 0) or sinks the land's target heights into a round hill or pit of the
// given radius; the land morphs toward it over the next seconds.
void create_hill(float x, float z, float radius, float height)
{
  if (!std::isfinite(height))
    return;
  for_disc_cells(x, z, radius, [&](int i, float w) { HeightmapData::target_hmap[i] += height * w; });
}

// A globe of water bursting at pos: amount of depth in the middle of a disc.
void add_water_globe(vec4f pos, float radius, float amount)
{
  if (!std::isfinite(amount))
    return;
  for_disc_cells(pos.x, pos.z, radius, [&](int i, float w) {
    HeightmapData::Water &c = HeightmapData::water[i >> HMAP_SIZE_SHIFT][i & HMAP_MASK];
    c.depth = std::fmax(0.f, c.depth + amount * w);
  });
}

// Adds amount of depth (less toward the rim of the disc) to the water around (x, z); a
// negative amount drains it, never below dry.
void add_source_water(float x, float z, float amount, float radius)
{
  add_water_globe(vec4f(x, 0.f, z, 1.f), radius, amount);
}

// A spring pouring rate depth per second (a sink for rate < 0) for life seconds.
GameObj *add_water_source(vec4f pos, float rate, float life)
{
  if (!std::isfinite(rate) || !std::isfinite(life) || !std::isfinite(pos.x) || !std::isfinite(pos.z))
    return nullptr;
  auto *s = static_cast<WaterSource *>(new_gameobj_by_id(3));
  if (!s)
    return nullptr;
  pos.x = wrap_world_pos(pos.x);
  pos.z = wrap_world_pos(pos.z);
  pos.y = surface_height(pos.x, pos.z);
  pos.w = 1.f;
  s->setPos(pos);
  s->rate = rate;
  s->life = life;
  s->radius = rate < 0.f ? 4.f : 2.5f;
  return s;
}

// Once per update: every spring and sink pours or drains its share; spent ones go.
void simulate_water(float dt)
{
  DynArray<GameObj *> all(WaterSource_list);
  for (GameObj *o : all)
  {
    auto *s = static_cast<WaterSource *>(o);
    if (s->isDestroyed())
      continue;
    add_source_water(s->pos.x, s->pos.z, s->rate * dt, s->radius);
    s->life -= dt;
    if (s->life <= 0.f)
      delete_gameobj(s);
  }
}

void WaterSource::update(float dt)
{
  pos.y = surface_height(pos.x, pos.z);
  if (rate >= 0.f)
    spawn_water_source_fx(pos, dt);
  else
    spawn_water_sink_fx(pos, dt);
}
