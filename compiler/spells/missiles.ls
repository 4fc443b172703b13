// The missiles: each flies on an arc from the caster to its land point with its trail,
// and acts where it comes down.
import core.classes
import core.land
import game.combat
import spells.land_water
import spells.fire
import spells.buildings
import objects.static_objects
#include "core/point2.h"

int spawn_fireball_fx(int trail, vec4f pos, vec4f vel, float dt);
void fireball_explode_fx(int trail, vec4f pos, vec4f normal);
int spawn_waterball_missile_fx(int trail, vec4f pos, vec4f vel, float dt);
int spawn_magic_missile_fx(int trail, vec4f pos, vec4f vel, float dt);
int spawn_meteor_fx(int trail, vec4f pos, vec4f vel, float dt);
void meteor_explode_fx(int trail, vec4f pos, vec4f normal);
void waterball_splash_fx(int trail, vec4f pos, vec4f normal);
void magic_impact_fx(int trail, vec4f pos, vec4f normal);

static constexpr float MISSILE_MAX_FLIGHT = 12.f; // seconds: a missile that never lands goes

// The arc that reaches `to` at the missile's speed under its gravity.
void Missile::launch(vec4f from, vec4f to, GameObj *by)
{
  owner = by;
  from.w = to.w = 1.f;
  to = wrap_near(to, from);
  const vec4f d = to - from;
  const float dist = length3(d);
  arrive = std::fmax(dist / speed(), 0.05f);
  vel = d * (1.f / arrive) + vec4f(0.f, 0.5f * gravity() * arrive, 0.f, 0.f);
  vel.w = 0.f;
  target = to;
  life = 0.f;
  setPos(from);
}

static constexpr float SEEK_STEER = 5.f; // how quickly a homing missile turns onto its monster

// obj as a living monster, or null (a missile's pointer may have outlived it).
static Monster *living_monster(const GameObj *obj)
{
  Monster *found[512];
  const int n = obj ? list_monsters(found, 512) : 0;
  for (int i = 0; i < n; i++)
    if (found[i] == obj)
      return found[i];
  return nullptr;
}

// Whether a living monster is within r of p.
static bool monster_within(vec4f p, float r)
{
  Monster *found[512];
  const int n = list_monsters(found, 512);
  for (int i = 0; i < n; i++)
    if (length3(wrap_near(found[i]->getPos(), p) - p) < r)
      return true;
  return false;
}

// Homes on monster from now on: it flies at its speed without falling, until it meets a
// monster or the monster is gone (then it falls to the land on its way).
void Missile::seekOn(GameObj *monster)
{
  if (!(fuse() > 0.f) || !living_monster(monster))
    return;
  seek = monster;
  arrive = MISSILE_MAX_FLIGHT + 1.f; // no land point to reach
}

// Ends the flight at `at`: the missile's effect there, then it goes.
void Missile::finish(vec4f at)
{
  at.x = wrap_world_pos(at.x);
  at.z = wrap_world_pos(at.z);
  at.w = 1.f;
  setPos(at);
  land(at);
  delete_gameobj(this);
}

void Missile::update(float dt)
{
  life += dt;
  if (seek)
  {
    if (Monster *m = living_monster(seek))
    {
      const vec4f to = wrap_near(m->getPos(), pos) - pos;
      const float d = length3(to);
      if (d > 1e-3f)
      {
        vel = vel + (to * (speed() / d) - vel) * std::fmin(1.f, dt * SEEK_STEER);
        vel.w = 0.f;
        vel = normalize3(vel) * speed();
      }
    }
    else
      seek = nullptr;
  }
  vec4f p = pos + vel * dt;
  if (!seek)
    vel.y -= gravity() * dt;
  const float ground = surface_height(p.x, p.z);
  if (fuse() > 0.f && p.y > ground && monster_within(p, fuse()))
  {
    finish(p); // a burst in the air
    return;
  }
  if (life >= arrive || p.y <= ground || life > MISSILE_MAX_FLIGHT)
  {
    vec4f at = life >= arrive ? target : p;
    at.y = surface_height(wrap_world_pos(at.x), wrap_world_pos(at.z));
    finish(at);
    return;
  }
  setPos(p);
  trail = flightFx(trail, pos, vel, dt);
}

int Missile::flightFx(int trail_now, vec4f p, vec4f v, float dt) { return spawn_magic_missile_fx(trail_now, p, v, dt); }

static vec4f ground_normal(vec4f at) { return calc_land_norm(at.x, at.z); }

// Trees within radius of at fall over (a blast).
static void knock_trees(vec4f at, float radius)
{
  DynArray<GameObj *> all(TreeObject_list);
  for (GameObj *o : all)
  {
    const float dx = wrap_coord(o->pos.x - at.x), dz = wrap_coord(o->pos.z - at.z);
    if (dx * dx + dz * dz < radius * radius)
      static_cast<TreeObject *>(o)->startFalling();
  }
}

// The player is hurt by his own blasts when he is too close.
static void blast_player(vec4f at, float radius, float damage)
{
  if (!local_player)
    return;
  const vec4f d = wrap_near(local_player->getPos(), at) - at;
  const float l = length3(d);
  if (l < radius)
    damage_player(damage * (1.f - l / radius));
}

// ---- fireball: burns monsters and trees ----
float Fireball::speed() const { return 26.f; }
float Fireball::gravity() const { return 7.f; }
float Fireball::fuse() const { return 2.5f; }
int Fireball::flightFx(int trail_now, vec4f p, vec4f v, float dt) { return spawn_fireball_fx(trail_now, p, v, dt); }
void Fireball::land(vec4f at)
{
  fireball_explode_fx(trail, at, ground_normal(at));
  apply_fireball(at, 7.f, 45.f, owner);
}

// ---- water ball: a globe of water ----
float Waterball::speed() const { return 18.f; }
float Waterball::gravity() const { return 9.f; }
float Waterball::fuse() const { return 2.f; }
int Waterball::flightFx(int trail_now, vec4f p, vec4f v, float dt)
{
  return spawn_waterball_missile_fx(trail_now, p, v, dt);
}
void Waterball::land(vec4f at)
{
  waterball_splash_fx(trail, at, ground_normal(at));
  add_water_globe(at, 5.f, 2.5f);
  damage_monsters(at, 4.f, 10.f, owner);
}

// ---- the land spells: a magic missile each ----
float HillMissile::speed() const { return 30.f; }
float HillMissile::gravity() const { return 0.f; }
int HillMissile::flightFx(int trail_now, vec4f p, vec4f v, float dt) { return Missile::flightFx(trail_now, p, v, dt); }
void HillMissile::land(vec4f at)
{
  magic_impact_fx(trail, at, ground_normal(at));
  create_hill(at.x, at.z, 11.f, 7.f);
}

float PitMissile::speed() const { return 30.f; }
float PitMissile::gravity() const { return 0.f; }
int PitMissile::flightFx(int trail_now, vec4f p, vec4f v, float dt) { return Missile::flightFx(trail_now, p, v, dt); }
void PitMissile::land(vec4f at)
{
  magic_impact_fx(trail, at, ground_normal(at));
  create_hill(at.x, at.z, 10.f, -6.f);
}

// The fault runs across the missile's flight: the land beyond rises, the near side sinks.
float FaultMissile::speed() const { return 30.f; }
float FaultMissile::gravity() const { return 0.f; }
int FaultMissile::flightFx(int trail_now, vec4f p, vec4f v, float dt) { return Missile::flightFx(trail_now, p, v, dt); }
void FaultMissile::land(vec4f at)
{
  magic_impact_fx(trail, at, ground_normal(at));
  float nx = vel.x, nz = vel.z;
  const float l = std::sqrt(nx * nx + nz * nz);
  if (l > 1e-4f)
    nx /= l, nz /= l;
  else
    nx = 0.f, nz = 1.f;
  // A fault reaches far (an ellipse of 256 by 128 cells); the near side sinks by less
  // than a tree can stand (trees fall where the land drops away under them).
  HeightmapData::genFault(Point2{at.x, at.z}, Point2{nx, nz}, 5.5f, 0.75f, 4.f, nullptr, -1, 255,
                          HeightmapData::target_hmap);
}

// ---- meteor: falls from the sky, a crater and a blast ----
float MeteorMissile::speed() const { return 35.f; }
float MeteorMissile::gravity() const { return 6.f; }
int MeteorMissile::flightFx(int trail_now, vec4f p, vec4f v, float dt) { return spawn_meteor_fx(trail_now, p, v, dt); }
void MeteorMissile::land(vec4f at)
{
  meteor_explode_fx(trail, at, ground_normal(at));
  HeightmapData::genCrater(Point2{at.x, at.z}, 7.f, 0.7f, HeightmapData::target_hmap);
  damage_monsters(at, 16.f, 150.f, owner);
  knock_trees(at, 10.f);
  blast_player(at, 12.f, 40.f);
}

// ---- thunderstorm: the missile carries the cloud up over the land point ----
float ThunderstormMissile::speed() const { return 30.f; }
float ThunderstormMissile::gravity() const { return 0.f; }
int ThunderstormMissile::flightFx(int trail_now, vec4f p, vec4f v, float dt)
{
  return Missile::flightFx(trail_now, p, v, dt);
}
void ThunderstormMissile::land(vec4f at)
{
  magic_impact_fx(trail, at, ground_normal(at));
  auto *cloud = static_cast<ThunderstormObject *>(new_gameobj_by_id(5));
  if (!cloud)
    return;
  cloud->owner = owner;
  cloud->setPos(at + vec4f(0.f, 24.f, 0.f, 0.f));
}

// ---- water source and sink ----
float WaterSourceMissile::speed() const { return 30.f; }
float WaterSourceMissile::gravity() const { return 0.f; }
int WaterSourceMissile::flightFx(int trail_now, vec4f p, vec4f v, float dt)
{
  return spawn_waterball_missile_fx(trail_now, p, v, dt);
}
void WaterSourceMissile::land(vec4f at)
{
  waterball_splash_fx(trail, at, ground_normal(at));
  add_water_source(at, 2.f, 30.f);
}

float WaterSinkMissile::speed() const { return 30.f; }
float WaterSinkMissile::gravity() const { return 0.f; }
int WaterSinkMissile::flightFx(int trail_now, vec4f p, vec4f v, float dt)
{
  return Missile::flightFx(trail_now, p, v, dt);
}
void WaterSinkMissile::land(vec4f at)
{
  magic_impact_fx(trail, at, ground_normal(at));
  add_water_source(at, -3.f, 30.f);
}

// ---- buildings ----
float HouseMissile::speed() const { return 30.f; }
float HouseMissile::gravity() const { return 0.f; }
int HouseMissile::flightFx(int trail_now, vec4f p, vec4f v, float dt) { return Missile::flightFx(trail_now, p, v, dt); }
void HouseMissile::land(vec4f at)
{
  magic_impact_fx(trail, at, ground_normal(at));
  if (build_building(int(std::floor(at.x)), int(std::floor(at.z)), variant))
    debug("built a house at %d, %d", int(std::floor(at.x)), int(std::floor(at.z)));
}

float CastleMissile::speed() const { return 30.f; }
float CastleMissile::gravity() const { return 0.f; }
int CastleMissile::flightFx(int trail_now, vec4f p, vec4f v, float dt) { return Missile::flightFx(trail_now, p, v, dt); }
void CastleMissile::land(vec4f at)
{
  magic_impact_fx(trail, at, ground_normal(at));
  const int x = int(std::floor(at.x)), z = int(std::floor(at.z));
  if (!build_building(x, z, -1))
    return;
  if (GameObj *castle = new_gameobj_by_id(36))
    castle->setPos(vec4f(float(x), HeightmapData::target_hmap[hmap_index(x, z)], float(z), 1.f));
  debug("built a castle at %d, %d", x, z); // the castle itself announces "castle_built"
}
