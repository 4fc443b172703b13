// What the creatures, the economy and the rules share: distances on the wrapping world,
// the random draws, the neighbours from the proximity grid and the world script's
// events and numbers.
import core.classes
import core.land
#include "app/game_modes.h"
#include "script/game_script.h"
#include "world/world_rnd.h"

void delete_gameobj(GameObj *obj); // core/objects.ls

constexpr float ISLAND_CENTRE = 128.f;

// The offset d as the shortest way round the wrapping world.
inline float wrap_delta(float d) { return d - 256.f * std::round(d / 256.f); }
inline float wrap_world_coord(float v) { return v - 256.f * std::floor(v / 256.f); }

// b - a the short way round in x and z.
inline vec4f wrapped_offset(const vec4f &a, const vec4f &b)
{
  return vec4f(wrap_delta(b.x - a.x), b.y - a.y, wrap_delta(b.z - a.z), 0.f);
}
inline float wrapped_dist(const vec4f &a, const vec4f &b) { return length3(wrapped_offset(a, b)); }
inline float ground_dist(const vec4f &a, const vec4f &b)
{
  vec4f d = wrapped_offset(a, b);
  return std::sqrt(d.x * d.x + d.z * d.z);
}

// Random draws come from the game's one generator.
inline float rnd_unit() { return game_rnd_unit(); }
inline float rnd_range(float lo, float hi) { return lo + (hi - lo) * game_rnd_unit(); }

inline float water_depth_at(float x, float z)
{
  return HeightmapData::waterAt(int(std::floor(x + 0.5f)), int(std::floor(z + 0.5f))).depth;
}
// The land, or the water over it.
inline float land_or_water_height(float x, float z) { return get_land_height(x, z) + std::fmax(water_depth_at(x, z), 0.f); }

// Files obj in the proximity grid with a square footprint of half size r around it.
inline void file_near(GameObj *obj, float r)
{
  update_proximity(obj, vec4f(obj->pos.x - r, obj->pos.z - r, obj->pos.x + r, obj->pos.z + r));
}

// Calls f(obj) for every filed object that may lie within r of p on the ground (the
// grid's superset: f tests the distance itself).
template <class F>
void for_objects_near(const vec4f &p, float r, F f)
{
  ProximityQuery q;
  q.proximityQuery(vec4f(p.x - r, p.z - r, p.x + r, p.z + r), false);
  while (GameObj *o = q.next())
    if (!o->isDestroyed())
      f(o);
}

// The game runs (waves, spawning) only in the play mode.
inline bool game_playing() { return cur_game_mode && cur_game_mode == play_mode; }

// An event for the world script's process_event with any number of fields.
inline void send_game_event_fields(const char *type, const GameEventField *fields, int count)
{
  debug("game event %s", type);
  world_script_game_event(type, fields, count);
}

// A number the rules keep in the world script, or def.
inline float rules_number(const char *name, float def)
{
  float v = def;
  return get_game_script_number(name, &v) ? v : def;
}

// Whether obj still stands in list (pointers the objects keep to each other are checked
// before use: the other may be gone).
inline bool in_list(const DynArray<GameObj *> &list, const GameObj *obj)
{
  if (!obj)
    return false;
  for (GameObj *o : list)
    if (o == obj)
      return !o->isDestroyed();
  return false;
}
