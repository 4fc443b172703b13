#pragma once
// What world generation needs from subsystems that are built apart from the script
// layer: the game-object module, the sky, the splash, particles and the terrain
// renderer. Each entry has a safe default (nothing happens, or the height grid answers
// for the land). The start-up fills them all in one place (install_world_hooks in
// app/startup.cpp) before the world VM is created; tests install fakes.
#include <squirrel.h>
#include "core/engine_api.h"
#include "core/vec4f.h"

struct WorldHooks
{
  // The module registers its script classes in the world VM (bind_gameobj).
  void (*bind_gameobj)(HSQUIRRELVM vm);
  // The module's land height at (x, z); the default interpolates the height grid
  // (hmap_land_height).
  float (*get_land_height)(float x, float z);
  // The module's remove_all_gameobj.
  void (*remove_all_gameobj)();
  // The local player, if any, before the world is cleared (its slot 6) and after a new
  // world is complete (its slot 35).
  void (*local_player_world_removed)();
  void (*local_player_world_generated)();
  // The sky's sun direction ("set_sun_dir" from script).
  void (*set_sun_dir)(vec4f dir);
  // The splash screen; the default draws through show_splash when a renderer links in.
  void (*show_splash)(const char *text, float progress);
  // Clears every particle.
  void (*reset_common_fx)();
  // The terrain renderer rebuilds its textures from the grids.
  void (*refresh_terrain)();
  // The main loop's schedule moves to now, so that the time generation took is not
  // caught up with.
  void (*reset_update_time)();
};

// The installed hooks (never null entries: set_world_hooks fills gaps with defaults).
extern ENGINE_API WorldHooks world_hooks;
// Installs hooks; null entries get the defaults. Passing {} restores all defaults.
ENGINE_API void set_world_hooks(const WorldHooks &hooks);
