// The island's game: monsters and their waves, the economy, the portal, the timers and
// sensors, and the world script's rules that drive them. The rules (bin/gen/rules.nut)
// get update_script each step and the game's events; they call back through the
// functions bound here.
import monsters.monster
import monsters.wyvern
import monsters.birds
import economy.economy
import game.portal
import game.triggers
import game.island_draw

float damage_monsters(const vec4f &center, float radius, float damage, GameObj *source); // game/combat.ls

// Before the objects' update: the rules, then the new mana balls.
void update_island(float dt)
{
  world_script_update(dt);
  if (game_playing())
    spawn_mana_balls(dt);
}

// After it: the portal's move to the next island.
void finish_island_update() { finish_portal_travel(); }

// ---- for the world script ----

static float arg_num(const GameScriptArg *a, int n, int i, float def = 0.f) { return i < n ? a[i].value : def; }

// spawn_monster(kind, x, z[, height over the land]): "wyvern" or "bird"; 1 when made.
static float sq_spawn_monster(const GameScriptArg *a, int n)
{
  int kind = monster_kind_by_name(a[0].text);
  float x = arg_num(a, n, 1), z = arg_num(a, n, 2), over = arg_num(a, n, 3, kind == MONSTER_BIRD ? 12.f : 24.f);
  vec4f at(x, land_or_water_height(x, z) + over, z, 1.f), home = at;
  if (kind == MONSTER_BIRD)
    home.y = over;
  return spawn_monster_at(kind, at, home, 0) ? 1.f : 0.f;
}
// start_wave(wave, wyverns, birds): the monsters made.
static float sq_start_wave(const GameScriptArg *a, int n)
{
  return float(start_wave(int(a[0].value), int(arg_num(a, n, 1)), int(arg_num(a, n, 2))));
}
static float sq_monsters_left(const GameScriptArg *, int) { return float(living_monsters()); }
static float sq_open_portal(const GameScriptArg *, int) { return open_world_portal() ? 1.f : 0.f; }
static float sq_portal_open(const GameScriptArg *, int) { return WorldPortal_list.empty() ? 0.f : 1.f; }
// give_mana(amount): a negative amount takes mana, down to none.
static float sq_give_mana(const GameScriptArg *a, int)
{
  if (a[0].value >= 0.f)
    give_player_mana(a[0].value);
  else if (Player *p = game_player())
    p->mana = std::fmax(p->mana + a[0].value, 0.f);
  return 0.f;
}
// player_stat("health" | "max_health" | "mana" | "max_mana"); 0 without a player.
static float sq_player_stat(const GameScriptArg *a, int)
{
  Player *p = game_player();
  const char *what = a[0].text ? a[0].text : "";
  if (!p)
    return 0.f;
  if (!strcmp(what, "health"))
    return p->health;
  if (!strcmp(what, "max_health"))
    return p->max_health;
  if (!strcmp(what, "mana"))
    return p->mana;
  if (!strcmp(what, "max_mana"))
    return p->max_mana;
  return 0.f;
}
static float sq_game_playing(const GameScriptArg *, int) { return game_playing() ? 1.f : 0.f; }
// damage_monsters(x, y, z, radius, damage): the damage dealt.
static float sq_damage_monsters(const GameScriptArg *a, int n)
{
  return damage_monsters(vec4f(a[0].value, a[1].value, a[2].value, 1.f), a[3].value, a[4].value, nullptr);
}
static float sq_remove_all_monsters(const GameScriptArg *, int)
{
  remove_all_monsters();
  return 0.f;
}
// add_timer(name, seconds[, period]) and add_sensor(name, x, z, radius).
static float sq_add_timer(const GameScriptArg *a, int n)
{
  add_time_trigger(a[0].text, a[1].value, arg_num(a, n, 2));
  return 0.f;
}
static float sq_add_sensor(const GameScriptArg *a, int n)
{
  add_sensor(a[0].text, a[1].value, a[2].value, a[3].value);
  return 0.f;
}

void bind_island_script(SQVM *vm)
{
  bind_game_script_func(vm, "spawn_monster", sq_spawn_monster, 3);
  bind_game_script_func(vm, "start_wave", sq_start_wave, 3);
  bind_game_script_func(vm, "monsters_left", sq_monsters_left, 0);
  bind_game_script_func(vm, "open_portal", sq_open_portal, 0);
  bind_game_script_func(vm, "portal_open", sq_portal_open, 0);
  bind_game_script_func(vm, "give_mana", sq_give_mana, 1);
  bind_game_script_func(vm, "game_playing", sq_game_playing, 0);
  bind_game_script_func(vm, "player_stat", sq_player_stat, 1);
  bind_game_script_func(vm, "damage_monsters", sq_damage_monsters, 5);
  bind_game_script_func(vm, "remove_all_monsters", sq_remove_all_monsters, 0);
  bind_game_script_func(vm, "add_timer", sq_add_timer, 2);
  bind_game_script_func(vm, "add_sensor", sq_add_sensor, 4);
}
