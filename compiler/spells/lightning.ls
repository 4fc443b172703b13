// Lightning: the bolt finds the nearest monster in a cone ahead of the caster; a storm
// cloud strikes the monsters below it for a while.
import core.classes
import game.combat
import spells.land_water

void lightning_hit_fx(vec4f from, vec4f to);
void storm_cloud_fx(vec4f pos, float dt);

static constexpr float LIGHTNING_CONE_COS = 0.866f; // 30 degrees to either side

// The living monster nearest to `from` within range whose direction lies within 30
// degrees of dir; null when there is none.
GameObj *pick_lightning_target(vec4f from, vec4f dir, float range)
{
  const float dl = length3(dir);
  if (!(dl > 1e-6f) || !(range > 0.f))
    return nullptr;
  dir = dir * (1.f / dl);
  Monster *found[512];
  const int n = list_monsters(found, 512);
  Monster *best = nullptr;
  float best_d = range;
  for (int i = 0; i < n; i++)
  {
    const vec4f d = wrap_near(found[i]->getPos(), from) - from;
    const float l = length3(d);
    if (l >= best_d || l < 1e-4f)
      continue;
    if (dot3(d, dir) < LIGHTNING_CONE_COS * l)
      continue;
    best = found[i];
    best_d = l;
  }
  return best;
}

// A bolt from `from` to `to`; target (a monster, or null for the bare ground) takes the
// damage. Returns the damage dealt.
float cast_lightning(vec4f from, vec4f to, GameObj *target, float damage)
{
  lightning_hit_fx(from, to);
  auto *m = dynamic_cast<Monster *>(target);
  if (!m || !m->alive() || !(damage > 0.f))
    return 0.f;
  const float before = m->health;
  m->onHit(damage, from, local_player);
  return std::fmin(before, damage);
}

// A simple hash for the storm's choice of ground to strike when no monster is near.
static float storm_noise(float a, float b)
{
  uint32_t h = uint32_t(int32_t(a * 97.f)) * 2654435761u ^ uint32_t(int32_t(b * 57.f)) * 40503u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  return float(h & 0xFFFFu) / 65535.f;
}

void ThunderstormObject::update(float dt)
{
  life -= dt;
  if (life <= 0.f)
  {
    delete_gameobj(this);
    return;
  }
  storm_cloud_fx(pos, dt);
  next_strike -= dt;
  if (next_strike > 0.f)
    return;
  next_strike = 0.7f;
  // The monster nearest below the cloud within 30 across, else a random stretch of
  // ground under it.
  Monster *found[512];
  const int n = list_monsters(found, 512);
  Monster *best = nullptr;
  float best_d = 30.f * 30.f;
  for (int i = 0; i < n; i++)
  {
    const vec4f d = wrap_near(found[i]->getPos(), pos) - pos;
    const float d2 = d.x * d.x + d.z * d.z;
    if (d2 < best_d)
      best = found[i], best_d = d2;
  }
  const float jx = storm_noise(life, pos.x) - 0.5f, jz = storm_noise(pos.z, life) - 0.5f;
  const vec4f from = pos + vec4f(jx * 6.f, 0.f, jz * 6.f, 0.f);
  if (best)
    cast_lightning(from, wrap_near(best->getPos(), from), best, 35.f);
  else
  {
    vec4f at = pos + vec4f(jx * 24.f, 0.f, jz * 24.f, 0.f);
    at.y = surface_height(at.x, at.z);
    cast_lightning(from, at, nullptr, 0.f);
  }
}
