// The effects of the game's objects: ribbon trails behind missiles, and the particle
// effects of bin/test/fx.nut (see the list at the top of that script) at the moments the
// objects call for them. Missiles keep the trail index a spawn function returns and hand
// it back on their next update; -1 starts a new trail.
import core.engine
import objects.object_math
#include "render/common_fx.h"
#include "render/device.h"
#include "script/fx_script.h"

// How a missile's ribbon looks: its half width, colour and the drift of its points.
struct TrailStyle
{
  float width;
  D3dColor color;
  vec4f drift;
};
static TrailStyle fireball_trail_style, waterball_trail_style, magic_trail_style, meteor_trail_style;

static const vec4f fx_up(0.f, 1.f, 0.f, 0.f);

// Trails stopped by an impact: killed once they have shrunk to nothing.
static DynArray<int> fading_trails;

void init_fx_data()
{
  fireball_trail_style = {0.7f, D3dColor(0xFFFF9040u), vec4f(0.f, 0.8f, 0.f, 0.f)};
  waterball_trail_style = {0.6f, D3dColor(0xC060B8FFu), vec4f(0.f, -0.5f, 0.f, 0.f)};
  magic_trail_style = {0.5f, D3dColor(0xFFC070FFu), vec4f(0.f)};
  meteor_trail_style = {1.6f, D3dColor(0xFFFFA040u), vec4f(0.f, 1.2f, 0.f, 0.f)};
  fading_trails.clear();
}

// What the latest frame could see. The lasting effects and the missiles' trail particles
// of objects out of its sight are not spawned: nobody would see them, and they are most of
// the effects script's work. A trail owes the time it was out of sight and fills it in
// (its particles already aged) when it is seen again; bursts are always spawned. Before
// the first frame everything counts as seen.
static constexpr float FX_SIGHT = 124.f;       // as far as the creatures are drawn
static constexpr float TRAIL_CATCH_UP = 1.f;   // seconds of trail filled in at most
static ObjectView fx_view;
static bool fx_view_valid;
static float trail_owed[MAX_TRAILS];

// Once per update, before the objects' step.
void begin_object_fx()
{
  fx_view = current_object_view();
  fx_view_valid = false;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++)
      fx_view_valid = fx_view_valid || fx_view.glob.m[i][j] != 0.f;
}

// The sphere (pos, radius), at its copy nearest the camera, is in the frame's sight.
bool fx_seen(vec4f pos, float radius)
{
  if (!fx_view_valid)
    return true;
  const float dx = wrap_coord(pos.x - fx_view.cam.x), dz = wrap_coord(pos.z - fx_view.cam.z);
  const float reach = FX_SIGHT + radius;
  if (!(dx * dx + dz * dz < reach * reach))
    return false;
  return sphere_in_view(fx_view, vec4f(fx_view.cam.x + dx, pos.y, fx_view.cam.z + dz, 1.f), radius);
}

// After a new world (every trail was freed with the particles) or at shut-down.
void forget_object_fx() { fading_trails.clear(); }

// Once per update: frees the slots of stopped trails that are empty now.
void update_object_fx()
{
  for (int i = fading_trails.size() - 1; i >= 0; i--)
  {
    int t = fading_trails[i];
    if (t < 0 || t >= MAX_TRAILS || !fx_trails[t].inUse || fx_trails[t].count == 0)
    {
      kill_trail_fx(t);
      fading_trails.eraseFast(i);
    }
  }
}

// The ribbon's half-width offset at pos for a flight along dir, across the line of
// sight from the camera of the last frame so the ribbon shows its face.
static vec4f ribbon_side(vec4f pos, vec4f dir, float width)
{
  Matrix44 view, cam;
  get_view_tm(view);
  vec4f eye = inverse44(view, cam) ? cam.row(3) : pos + fx_up * 10.f;
  vec4f side = cross3(dir, fx_wrap_near(pos, eye) - eye);
  float l = length3(side);
  if (!(l > 1e-4f))
    side = cross3(dir, fx_up), l = length3(side);
  return l > 1e-4f ? side * (width / l) : vec4f(width, 0.f, 0.f, 0.f);
}

static bool trail_running(int trail)
{
  return trail >= 0 && trail < MAX_TRAILS && fx_trails[trail].inUse && !fx_trails[trail].stopping;
}

// One update of a missile's ribbon: a new point, or a new trail.
static int trail_step(int trail, const TrailStyle &st, vec4f pos, vec4f vel)
{
  vec4f side = ribbon_side(pos, vel, st.width);
  if (trail_running(trail))
  {
    add_trail_point(trail, pos, st.drift, side);
    return trail;
  }
  trail = add_trail_fx(pos, st.drift, side, st.width, st.color);
  if (trail >= 0 && trail < MAX_TRAILS)
    trail_owed[trail] = 0.f;
  return trail;
}

static void end_trail(int trail)
{
  if (!trail_running(trail))
    return;
  stop_trail_fx(trail);
  fading_trails.push(trail);
}

// reach: how far behind the missile its trail particles lie (and their size).
static int missile_fx(const char *effect, const TrailStyle &st, int trail, vec4f pos, vec4f vel, float dt,
                      float reach)
{
  trail = trail_step(trail, st, pos, vel);
  const bool owing = trail >= 0 && trail < MAX_TRAILS;
  const float t = owing ? std::fmin(trail_owed[trail] + dt, TRAIL_CATCH_UP) : dt;
  if (!fx_seen(pos, reach))
  {
    if (owing)
      trail_owed[trail] = t;
    return trail;
  }
  if (owing)
    trail_owed[trail] = 0.f;
  call_fx_script(effect, pos, fx_up, vel, t);
  return trail;
}

// An effect that lasts while its object does, spawned over the next dt seconds.
static void lasting_fx(const char *effect, vec4f pos, vec4f b, vec4f c, float dt, float radius)
{
  if (fx_seen(pos, radius))
    call_fx_script(effect, pos, b, c, dt);
}

static void impact_fx(const char *effect, int trail, vec4f pos, vec4f normal, float strength)
{
  end_trail(trail);
  call_fx_script(effect, pos, normal, normal, strength);
}

// ---- the entries the program binds (gameobj/gameobj_funcs.h) ----

int spawn_fireball_fx(int trail, vec4f pos, vec4f vel, float dt)
{
  return missile_fx("fireball_trail", fireball_trail_style, trail, pos, vel, dt, 14.f);
}
void fireball_explode_fx(int trail, vec4f pos, vec4f normal) { impact_fx("fireball_explode", trail, pos, normal, 1.f); }
int spawn_waterball_missile_fx(int trail, vec4f pos, vec4f vel, float dt)
{
  return missile_fx("waterball_trail", waterball_trail_style, trail, pos, vel, dt, 12.f);
}
int spawn_magic_missile_fx(int trail, vec4f pos, vec4f vel, float dt)
{
  return missile_fx("magic_missile_trail", magic_trail_style, trail, pos, vel, dt, 12.f);
}
void spawn_water_source_fx(vec4f pos, float dt) { lasting_fx("water_source", pos, fx_up, vec4f(0.f), dt, 8.f); }
void spawn_water_sink_fx(vec4f pos, float dt) { lasting_fx("water_sink", pos, fx_up, vec4f(0.f), dt, 8.f); }
int spawn_meteor_fx(int trail, vec4f pos, vec4f vel, float dt)
{
  return missile_fx("meteor_trail", meteor_trail_style, trail, pos, vel, dt, 24.f);
}
void meteor_explode_fx(int trail, vec4f pos, vec4f normal) { impact_fx("meteor_explode", trail, pos, normal, 1.f); }
void wyvern_death_fx(vec4f pos, vec4f vel) { call_fx_script("wyvern_death", pos, fx_up, vel, 1.f); }
void spawn_spellobj_fx(vec4f pos, float dt) { lasting_fx("spell_object", pos, fx_up, vec4f(0.f), dt, 5.f); }

// A bolt from `from` (the sky, the caster's hand) to `to`, a fainter one beside it, and
// the burst where it strikes.
void lightning_hit_fx(vec4f from, vec4f to)
{
  to = fx_wrap_near(to, from);
  vec4f path = to - from;
  vec4f bend = path * 0.35f + vec4f(path.z, 0.f, -path.x, 0.f) * 0.08f;
  add_lightning_fx(from, to, bend, 0.9f, 7.f, 9.f, 0.55f, D3dColor(0xFFE8F0FFu), 48);
  add_lightning_fx(from, to, path * 0.5f - vec4f(path.z, 0.f, -path.x, 0.f) * 0.1f, 0.5f, 4.f, 12.f, 0.5f,
                   D3dColor(0xC0A0B8FFu), 40);
  call_fx_script("lightning_sparks", to, fx_up, normalize3(path), 1.f);
}

// ---- for the game's own objects (not bound by the program) ----

void waterball_splash_fx(int trail, vec4f pos, vec4f normal) { impact_fx("waterball_splash", trail, pos, normal, 1.f); }
void healing_fx(vec4f pos, float dt) { lasting_fx("healing", pos, fx_up, vec4f(0.f), dt, 4.f); }
void mana_ball_fx(vec4f pos, vec4f vel, float dt) { lasting_fx("mana_ball", pos, fx_up, vel, dt, 5.f); }
void portal_fx(vec4f pos, vec4f facing, float dt)
{
  lasting_fx("portal", pos, fx_up, facing, dt, 10.f);
  lasting_fx("portal_beacon", pos, fx_up, vec4f(0.f), dt, 60.f); // its light shows from afar
}
// A wyvern's fire breath bursting on what it hits: the fireball's blast, smaller; out of
// sight nobody misses it (a wave breathes a few of them every second).
void flame_burst_fx(int trail, vec4f pos, vec4f normal)
{
  end_trail(trail);
  if (fx_seen(pos, 12.f))
    call_fx_script("fireball_explode", pos, normal, normal, 0.4f);
}
// A magic missile coming down: its trail ends in a burst of sparks.
void magic_impact_fx(int trail, vec4f pos, vec4f normal) { impact_fx("lightning_sparks", trail, pos, normal, 0.6f); }
void tree_fire_fx(vec4f pos, float dt) { lasting_fx("tree_fire", pos, fx_up, fx_up, dt, 8.f); }
void storm_cloud_fx(vec4f pos, float dt) { lasting_fx("storm_cloud", pos, -fx_up, vec4f(0.f), dt, 30.f); }
