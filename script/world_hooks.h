#pragma once
// What world generation needs from subsystems that are built apart from the script
// layer: the game-object module, the sky, particles, the terrain renderer and the main
// loop. Each entry has a safe default (nothing happens, or the height grid answers for
// the land), so an entry is never null. The start-up fills them all in one place
// (install_world_hooks in app/startup.cpp) before the world VM is created; tests install
// fakes. The splash goes through splash_hooks (core/splash.h).
#include <squirrel.h>
#include "core/clock.h"
#include "core/engine_api.h"
#include "core/vec4f.h"
#include "world/land_tools.h"

struct WorldHooks
{
  // The module registers its script classes in the world VM (bind_gameobj).
  void (*bind_gameobj)(HSQUIRRELVM vm) = [](HSQUIRRELVM) {};
  // The module's land height at (x, z); the default interpolates the height grid.
  float (*get_land_height)(float x, float z) = hmap_land_height;
  // The module's remove_all_gameobj.
  void (*remove_all_gameobj)() = [] {};
  // The local player, if any, before the world is cleared (its slot 6) and after a new
  // world is complete (its slot 35).
  void (*local_player_world_removed)() = [] {};
  void (*local_player_world_generated)() = [] {};
  // The sky's sun direction ("set_sun_dir" from script).
  void (*set_sun_dir)(vec4f dir) = [](vec4f) {};
  // Clears every particle.
  void (*reset_common_fx)() = [] {};
  // The terrain renderer rebuilds its textures from the grids.
  void (*refresh_terrain)() = [] {};
  // The main loop's schedule moves to now, so that the time generation took is not
  // caught up with.
  void (*reset_update_time)() = [] {};
  // A new random state for the script's randomize_rnd_seed: the clock by default; a
  // recorded or replayed session derives it from the present state instead.
  uint64_t (*fresh_seed)() = [] { return uint64_t(get_ref_time()); };
};

// The installed hooks. Install a set by assigning a WorldHooks (WorldHooks{} restores
// every default) or replace single entries.
extern ENGINE_API WorldHooks world_hooks;
