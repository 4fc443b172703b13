#pragma once
// The 73 functions the program looks up in the game-object module by name, in lookup
// order, with their types. The module defines each with exactly this type (its name
// table converts through these types, so a mismatch does not compile); the program calls
// them through gameobj_api once the host has bound the module.
//
// Entries marked "game" have no caller in the program yet: the game issue gives them
// their real parameters (changing the type here and in the module together).
#include <cstdint>
#include "core/matrix44.h"
#include "core/vec4f.h"

class GameObj;
class BaseObject;
class GameMode; // app/game_mode.h
struct SQVM;    // the script engine's VM

// clang-format off
#define GAMEOBJ_FUNCS(X) \
  X(toggle_mana_cheat, void, ()) \
  X(add_source_water, void, (float x, float z, float amount, float radius)) /* game: adds (or drains) water in a disc */ \
  X(add_water_source, GameObj *, (vec4f pos, float rate, float life)) /* game: a spring (rate < 0: a sink) */ \
  X(simulate_water, void, (float dt)) /* game: the springs and sinks, each update */ \
  X(pick_lightning_target, GameObj *, (vec4f from, vec4f dir, float range)) /* game: nearest monster in the cone */ \
  X(cast_lightning, float, (vec4f from, vec4f to, GameObj *target, float damage)) /* game: the damage dealt */ \
  X(apply_fireball, float, (vec4f pos, float radius, float damage, GameObj *source)) /* game: the damage dealt */ \
  X(add_water_globe, void, (vec4f pos, float radius, float amount)) /* game */ \
  X(create_hill, void, (float x, float z, float radius, float height)) /* game: height < 0 digs a pit */ \
  X(add_spell_to_grid, bool, (int class_id)) /* game: false when it was there */ \
  X(pick_up_spell, bool, (int class_id)) /* game: adds it with the pick-up animation */ \
  X(find_spell_in_grid, int, (int class_id)) /* game: its grid index, -1 when not owned */ \
  X(add_initial_spells, void, ()) /* game */ \
  X(add_all_spells, void, ()) /* game */ \
  X(init_spell_grid, void, ()) /* game */ \
  X(spawn_monster, void, ()) /* game */ \
  X(remove_all_monsters, void, ()) /* game */ \
  X(toggle_monster_spawn, void, ()) \
  X(spawn_monsters, void, ()) /* game */ \
  X(init_inst_render, void, ()) \
  X(do_inst_render, void, ()) \
  X(render_gameobj_shadow, void, ()) \
  X(calc_land_norm, vec4f, (float x, float z)) \
  X(generate_objects, void, ()) /* game */ \
  X(render_building, void, (const void *surface, int x, int z)) /* the cell's Surface record */ \
  /* effects (compiler/fx/effects.ls): a missile passes its trail, -1 at first, and keeps */ \
  /* the one returned; dt = the seconds the call covers */ \
  X(spawn_fireball_fx, int, (int trail, vec4f pos, vec4f vel, float dt)) \
  X(fireball_explode_fx, void, (int trail, vec4f pos, vec4f normal)) \
  X(spawn_waterball_missile_fx, int, (int trail, vec4f pos, vec4f vel, float dt)) \
  X(spawn_magic_missile_fx, int, (int trail, vec4f pos, vec4f vel, float dt)) \
  X(spawn_water_source_fx, void, (vec4f pos, float dt)) \
  X(spawn_water_sink_fx, void, (vec4f pos, float dt)) \
  X(spawn_meteor_fx, int, (int trail, vec4f pos, vec4f vel, float dt)) \
  X(meteor_explode_fx, void, (int trail, vec4f pos, vec4f normal)) \
  X(wyvern_death_fx, void, (vec4f pos, vec4f vel)) \
  X(spawn_spellobj_fx, void, (vec4f pos, float dt)) \
  X(lightning_hit_fx, void, (vec4f from, vec4f to)) \
  X(init_fx_data, void, ()) \
  X(hide_tooltip, void, ()) \
  X(show_tooltip, void, (const char *text)) \
  X(update_tooltip, void, (float dt)) \
  X(render_tooltip, void, ()) \
  X(init_tooltip, void, ()) \
  X(set_radio, void, (BaseObject *element, int value)) /* game */ \
  X(get_radio, int, (BaseObject *element)) /* game */ \
  X(init_new_gui, void, ()) \
  X(init_map_ui, void, ()) \
  X(init_spells_ui, void, ()) \
  X(close_spells_ui, void, ()) \
  X(spells_ui_after_resize, void, ()) \
  X(start_spell_pick_up_anim, void, ()) /* game */ \
  X(draw_spells_ui, void, (GameMode *mode, float dt)) \
  X(update_spells_ui, void, (float dt)) \
  X(update_spells_ui_mouse, bool, ()) \
  X(reset_game_ui_screen, void, ()) \
  X(set_game_ui_screen, void, ()) /* game */ \
  X(open_game_menu, void, (GameMode *mode)) \
  X(open_main_menu, void, ()) \
  X(open_cheat_menu, void, ()) \
  X(close_game_menu, void, (GameMode *mode)) \
  X(update_game_menu, void, (float dt)) \
  X(draw_game_menu, void, (GameMode *mode, float dt)) \
  X(get_local_player, GameObj *, ()) \
  X(get_land_height, float, (float x, float z)) \
  X(are_any_monsters_alive, bool, ()) \
  X(update_gameobj, void, (float dt)) \
  X(render_gameobj, void, ()) \
  X(render_debug_vis_gameobj, void, ()) \
  X(remove_all_gameobj, void, ()) \
  X(init_gameobj, void, ()) \
  X(close_gameobj, void, ()) \
  X(delete_gameobj, void, (GameObj *obj)) \
  X(new_gameobj_by_id, GameObj *, (int class_id)) \
  X(bind_gameobj, void, (SQVM *vm))
// clang-format on

// Called once after every binding; recreates what the module hangs into the program's GUI.
using GameObjLinkGuiFn = void (*)();

// Looked up by tools and tests only (the program binds neither):
// "cast_player_spell": the local player casts the spell of class_id at the world point
// target; free skips the mana, the cooldown and the grid. False when nothing was cast.
using GameObjCastPlayerSpellFn = bool (*)(int class_id, vec4f target, bool free);
// "get_player_vitals": the local player's health, maximum health, mana and maximum mana
// in out[0..3]; false without a local player.
using GameObjPlayerVitalsFn = bool (*)(float *out);

// "hash_gameobj_state" (optional; bound by the host, see gameobj_state_hash): folds the
// state of every object (class, position, health, mana, timers, counts) into the running
// 64-bit FNV-1a hash h (core/hash64.h) and returns it. Never pointers or addresses.
using GameObjStateHashFn = uint64_t (*)(uint64_t h);

// The module's two entry points (extern "C" in the module).
using GameObjFuncByNameFn = void *(*)(const char *name);
// Returns the class dispatch tables and stores their count (GAMEOBJ_CLASS_COUNT) in *count.
using GameObjVtablesFn = void *const *(*)(int *count);

#define GAMEOBJ_COUNT_FUNC(name, ret, args) +1
constexpr int GAMEOBJ_FUNC_COUNT = 0 GAMEOBJ_FUNCS(GAMEOBJ_COUNT_FUNC);
#undef GAMEOBJ_COUNT_FUNC
static_assert(GAMEOBJ_FUNC_COUNT == 73, "the module interface has 73 functions");

// The bound functions: all null while no module is bound.
struct GameObjFuncs
{
#define GAMEOBJ_FUNC_MEMBER(name, ret, args) ret(*name) args = nullptr;
  GAMEOBJ_FUNCS(GAMEOBJ_FUNC_MEMBER)
#undef GAMEOBJ_FUNC_MEMBER
};
