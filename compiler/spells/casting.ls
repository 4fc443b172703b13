// Casting: what each spell does when it is cast, the player's spells (one object per
// kind, keeping its cooldown), casting at the land point under the crosshair with the
// mouse buttons, and the casts of a scripted run.
import core.classes
import game.combat
import gui.spell_book
import spells.land_water
import spells.buildings
import spells.missiles
import spells.lightning
#include <cctype>
#include "app/camera.h"
#include "app/game_modes.h"
#include "core/scripted_casts.h"

void healing_fx(vec4f pos, float dt);
void use_world_portal(); // game/combat.ls

static constexpr float CAST_RANGE = 160.f; // the crosshair reaches this far

// The monster the cast being made is aimed at, or null: a missile that bursts on
// monsters flies at it and homes on it.
static GameObj *cast_aim = nullptr;

static Missile *launch_missile(int class_id, vec4f from, vec4f at, GameObj *by, int variant = 0)
{
  auto *m = static_cast<Missile *>(new_gameobj_by_id(class_id));
  if (!m)
    return nullptr;
  m->variant = variant;
  const bool aimed = cast_aim && m->fuse() > 0.f;
  m->launch(from, aimed ? wrap_near(cast_aim->getPos(), from) : at, by);
  if (aimed)
    m->seekOn(cast_aim);
  return m;
}

bool FireballSpell::cast(vec4f from, vec4f at) { return launch_missile(6, from, at, owner); }
bool WaterballSpell::cast(vec4f from, vec4f at) { return launch_missile(7, from, at, owner); }
bool FaultSpell::cast(vec4f from, vec4f at) { return launch_missile(8, from, at, owner); }
bool HillSpell::cast(vec4f from, vec4f at) { return launch_missile(12, from, at, owner); }
bool PitSpell::cast(vec4f from, vec4f at) { return launch_missile(13, from, at, owner); }
bool WaterSourceSpell::cast(vec4f from, vec4f at) { return launch_missile(14, from, at, owner); }
bool WaterSinkSpell::cast(vec4f from, vec4f at) { return launch_missile(15, from, at, owner); }
bool ThunderstormSpell::cast(vec4f from, vec4f at) { return launch_missile(11, from, at, owner); }

// The meteor comes down from high above, out of the direction the caster looks.
bool MeteorSpell::cast(vec4f from, vec4f at)
{
  at = wrap_near(at, from);
  vec4f d = at - from;
  d.y = 0.f;
  const float l = length3(d);
  d = l > 1e-3f ? d * (1.f / l) : vec4f(0.f, 0.f, 1.f, 0.f);
  return launch_missile(10, at - d * 30.f + vec4f(0.f, 70.f, 0.f, 0.f), at, owner);
}

void show_game_notice(const char *text); // gui/spells_ui.ls

static constexpr int BUILDING_REACH = 6; // cells a house moves to find a fit plot
static constexpr int CASTLE_REACH = 16;  // and a castle, which needs much more room

// Why the latest cast did nothing, in the player's words ("" when it gave no reason).
static char cast_refusal[128];

// The middle of the plot nearest to at where a building of type fits, as a land point;
// a house may come out in another of its shapes (type says which). Otherwise the
// player is told what is in the way.
static bool building_target(vec4f at, int &type, vec4f &out)
{
  int x = int(std::floor(wrap_world_pos(at.x))), z = int(std::floor(wrap_world_pos(at.z)));
  PlotProblem why = PLOT_TAKEN;
  if (!find_building_plot(x, z, type, type < 0 ? CASTLE_REACH : BUILDING_REACH, &why))
  {
    const char *what = type < 0 ? "castle" : "house";
    const char *because = why == PLOT_WET      ? "the land around is under water"
                          : why == PLOT_STEEP  ? "the land around is too steep"
                          : why == PLOT_MOVING ? "the land around is still rising or sinking"
                          : type < 0           ? "menhirs, buildings or reserved places stand in the way"
                                               : "trees, stones or buildings stand in the way";
    snprintf(cast_refusal, sizeof(cast_refusal), "No room for a %s here: %s", what, because);
    debug("no room for a %s within %d cells of %d, %d: %s", what, type < 0 ? CASTLE_REACH : BUILDING_REACH, x, z,
          because);
    show_game_notice(cast_refusal);
    return false;
  }
  out = vec4f(float(x) + 0.5f, HeightmapData::target_hmap[hmap_index(x, z)], float(z) + 0.5f, 1.f);
  return true;
}

// The house's shape follows from where it is built (or the room there); the plot must be
// fit when cast.
bool HouseSpell::cast(vec4f from, vec4f at)
{
  const unsigned h = unsigned(int(std::floor(at.x))) * 7u + unsigned(int(std::floor(at.z))) * 13u;
  int type = int(h % 3u);
  vec4f plot;
  return building_target(at, type, plot) && launch_missile(9, from, wrap_near(plot, from), owner, type);
}

bool CastleSpell::cast(vec4f from, vec4f at)
{
  vec4f plot;
  int type = -1;
  return building_target(at, type, plot) && launch_missile(37, from, wrap_near(plot, from), owner);
}

bool HealingSpell::cast(vec4f from, vec4f at)
{
  auto *p = dynamic_cast<Player *>(owner);
  if (!p)
    return false;
  p->health = std::fmin(p->max_health, p->health + 45.f);
  p->healing_left = 1.5f;
  return true;
}

// The bolt goes to the nearest monster ahead; with none, it strikes the land point.
bool LightningSpell::cast(vec4f from, vec4f at)
{
  at = wrap_near(at, from);
  const vec4f dir = at - from;
  // The bolt leaps out a few strides ahead of the hand: from right at the eye its
  // flicker would fill the view.
  const float l = length3(dir);
  if (l > 8.f)
    from = from + dir * (5.f / l) - vec4f(0.f, 1.f, 0.f, 0.f);
  if (GameObj *m = pick_lightning_target(from, dir, 70.f))
    cast_lightning(from, wrap_near(m->getPos(), from), m, 60.f);
  else
  {
    cast_lightning(from, at, nullptr, 0.f);
    damage_monsters(at, 3.f, 30.f, owner);
  }
  return true;
}

bool UsePortalSpell::cast(vec4f from, vec4f at)
{
  use_world_portal();
  return true;
}

// ---- the player's spells ----

// The player's spell object of a kind, made on first use.
static Spell *player_spell(Player *p, int kind)
{
  const int cls = spell_infos[kind].class_id;
  for (GameObj *o : Spell_list)
  {
    auto *s = static_cast<Spell *>(o);
    if (s->owner == p && s->classId() == cls && !s->isDestroyed())
      return s;
  }
  auto *s = static_cast<Spell *>(new_gameobj_by_id(cls));
  if (s)
    s->owner = p;
  return s;
}

// The name a spell goes by in scripts and -cast: its class name without "Spell", in
// lower case ("fireball", "watersource", "useportal").
static const char *spell_cast_name(int kind)
{
  static char names[SPELL_KINDS][24];
  char *n = names[kind];
  if (!n[0])
  {
    const GameObjClassInfo *c = gameobj_class_info(spell_infos[kind].class_id);
    const char *src = c ? c->name : "";
    size_t len = strlen(src);
    if (len > 5 && !strcmp(src + len - 5, "Spell"))
      len -= 5;
    len = std::min(len, sizeof(names[0]) - 1);
    for (size_t i = 0; i < len; i++)
      n[i] = char(tolower((unsigned char)src[i]));
    n[len] = 0;
  }
  return n;
}

static int spell_kind_by_cast_name(const char *name)
{
  for (int k = 0; k < SPELL_KINDS; k++)
    if (!strcmp(spell_cast_name(k), name))
      return k;
  return -1;
}

// The player casts a kind at the land point at. free: no mana, no cooldown, and the
// spell need not be in the grid. origin, when given, is where the missile starts instead
// of the mage's hand. False when nothing was cast.
static bool player_cast(Player *p, int kind, vec4f at, bool free, const vec4f *origin = nullptr,
                        GameObj *aim = nullptr)
{
  cast_refusal[0] = 0;
  if (!p || p->dead || kind < 0 || kind >= SPELL_KINDS)
    return false;
  const SpellInfo &info = spell_infos[kind];
  Spell *s = player_spell(p, kind);
  if (!s)
    return false;
  if (!free)
  {
    if (!spell_grid_has(kind) || s->cooldown_left > 0.f)
      return false;
    if (!p->mana_cheat && p->mana < float(info.mana))
      return false;
  }
  // From the mage's hand: a little ahead and below the eye.
  const vec4f eye = p->getPos();
  at = wrap_near(at, eye);
  at.w = 1.f;
  vec4f d = at - eye;
  const float l = length3(d);
  d = l > 1e-3f ? d * (1.f / l) : vec4f(0.f, 0.f, 1.f, 0.f);
  const vec4f from = origin ? wrap_near(*origin, at) : eye + d * 1.2f - vec4f(0.f, 0.4f, 0.f, 0.f);
  cast_aim = aim;
  const bool cast = s->cast(from, at);
  cast_aim = nullptr;
  if (!cast)
    return false;
  if (!free)
  {
    s->cooldown_left = info.cooldown;
    if (!p->mana_cheat)
      p->mana = std::fmax(0.f, p->mana - float(info.mana));
  }
  send_game_event("spell_cast", spell_cast_name(kind), 0.f);
  return true;
}

// The land or water point under the crosshair (the middle of the view), at most
// CAST_RANGE away; beyond that the point of the land under the ray's end.
static vec4f crosshair_point(const Matrix44 &view)
{
  const vec4f eye = view.row(3), dir = normalize3(view.row(2));
  float t0 = 0.f;
  for (float t = 0.5f; t <= CAST_RANGE; t += 0.5f)
  {
    const vec4f p = eye + dir * t;
    if (p.y <= surface_height(p.x, p.z))
    {
      // Narrow down between the last point above and this one.
      float a = t0, b = t;
      for (int i = 0; i < 8; i++)
      {
        const float m = (a + b) * 0.5f;
        const vec4f q = eye + dir * m;
        (q.y <= surface_height(q.x, q.z) ? b : a) = m;
      }
      vec4f hit = eye + dir * b;
      hit.w = 1.f;
      return hit;
    }
    t0 = t;
  }
  vec4f end = eye + dir * CAST_RANGE;
  end.y = surface_height(end.x, end.z);
  end.w = 1.f;
  return end;
}

// The living monster the crosshair is on: the one nearest the view's ray within a
// narrow cone (a little wider than the creature), not behind the land point the ray
// hits; null when none is.
static constexpr float AIM_SLACK = 2.5f;   // units beside the ray at any distance
static constexpr float AIM_SPREAD = 0.07f; // and this much more per unit away
static GameObj *crosshair_monster(const Matrix44 &view, vec4f land_hit)
{
  const vec4f eye = view.row(3), dir = normalize3(view.row(2));
  const float reach = std::fmin(length3(land_hit - eye) + AIM_SLACK, CAST_RANGE);
  Monster *found[512];
  const int n = list_monsters(found, 512);
  GameObj *best = nullptr;
  float best_off = 1.f;
  for (int i = 0; i < n; i++)
  {
    const vec4f d = wrap_near(found[i]->getPos(), eye) - eye;
    const float along = dot3(d, dir);
    if (along <= 0.f || along > reach)
      continue;
    const float off = length3(d - dir * along) / (AIM_SLACK + AIM_SPREAD * along);
    if (off < best_off)
      best = found[i], best_off = off;
  }
  return best;
}

// In play, each mouse button casts its spell at the crosshair, again and again while it
// is held (as the cooldown allows). Not while the spell grid is open (Ctrl).
static void update_player_casting(Player *p)
{
  if (cur_game_mode != play_mode || !isAppActive || getKeyState(VK_CONTROL))
    return;
  for (int b = 0; b < 2; b++)
  {
    const int key = b == 0 ? VK_LBUTTON : VK_RBUTTON;
    if (!keyDown(key) && !getKeyState(key))
      continue;
    const int kind = spell_assigned(b);
    if (kind < 0)
      continue;
    const vec4f at = crosshair_point(cur_view_itm);
    player_cast(p, kind, at, false, nullptr, crosshair_monster(cur_view_itm, at));
  }
}

// The living monster nearest over the land point at within radius on the ground, or null.
static GameObj *monster_over(vec4f at, float radius)
{
  Monster *found[512];
  const int n = list_monsters(found, 512);
  GameObj *best = nullptr;
  float best_d = radius;
  for (int i = 0; i < n; i++)
  {
    const vec4f d = wrap_near(found[i]->getPos(), at) - at;
    const float flat = std::sqrt(d.x * d.x + d.z * d.z);
    if (flat < best_d)
      best = found[i], best_d = flat;
  }
  return best;
}

// The casts a scripted run asked for in this update (-cast), whatever the mana says; a
// missile that bursts on monsters goes for one flying over its point.
static constexpr float SCRIPTED_CAST_DROP = 40.f;
static constexpr float SCRIPTED_CAST_AIM = 12.f;
void run_scripted_casts()
{
  auto *p = static_cast<Player *>(local_player);
  for (int i = 0; i < scripted_cast_count; i++)
  {
    const ScriptedCast &c = scripted_casts[i];
    if (c.update != scripted_update_number || scripted_update_number <= 0)
      continue;
    const int kind = spell_kind_by_cast_name(c.spell);
    if (kind < 0 || !p)
    {
      debug("cast %s: %s", c.spell, p ? "no such spell" : "no player");
      continue;
    }
    // A scripted cast falls on its point from straight above, so that no hill between
    // the player and the point catches it.
    const vec4f at(c.x, surface_height(c.x, c.z), c.z, 1.f);
    const vec4f above = at + vec4f(0.f, SCRIPTED_CAST_DROP, 0.f, 0.f);
    const bool done = player_cast(p, kind, at, true, &above, monster_over(at, SCRIPTED_CAST_AIM));
    debug("cast %s at %.1f, %.1f%s%s", c.spell, c.x, c.z, done ? "" : ": ",
          done ? "" : cast_refusal[0] ? cast_refusal : "nothing there to cast on");
  }
}

// ---- for tools and tests (gameobj_funcs.h) ----

bool cast_player_spell(int class_id, vec4f target, bool free)
{
  return player_cast(static_cast<Player *>(local_player), spell_kind_of_class(class_id), target, free);
}

bool get_player_vitals(float *out)
{
  auto *p = static_cast<Player *>(local_player);
  if (!p || !out)
    return false;
  out[0] = p->health, out[1] = p->max_health, out[2] = p->mana, out[3] = p->max_mana;
  return true;
}
