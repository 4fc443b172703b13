// The world step of the play mode on the "game" island of seed 7 (bin/gen/main.nut) with
// the module of bin/gameobj.dll: morphing, water, the effects script and the objects'
// update, with a wave of creatures and a castle's economy about the island. Particles
// go nowhere (no renderer), so their drawing is not in it.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include "app/game_modes.h"
#include "core/globals.h"
#include "core/log.h"
#include "core/paths.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_host.h"
#include "script/fx_script.h"
#include "script/game_script.h"
#include "script/sqbind.h"
#include "script/world_hooks.h"
#include "script/world_script.h"
#include "ui/gui_behaviors.h"
#include "world/heightmap.h"

namespace
{
struct Island
{
  int wyverns, birds, gatherers, balls;

  Island(int w, int b, int g, int m) : wyverns(w), birds(b), gatherers(g), balls(m)
  {
    snprintf(app_path, sizeof(app_path), "%s/bin/", SOURCE_ROOT);
    register_std_behaviors();
    start_gameobj_host("../compiler/", "main.ls");
    WorldHooks h;
    h.bind_gameobj = [](HSQUIRRELVM vm) { gameobj_call(&GameObjFuncs::bind_gameobj, vm); };
    h.remove_all_gameobj = [] { gameobj_call(&GameObjFuncs::remove_all_gameobj); };
    h.local_player_world_generated = [] {
      if (local_player)
        local_player->onWorldGenerated();
    };
    world_hooks = h;
    init_fx_script();
    gameobj_api.init_gameobj();
    init_world_script();
    game_rnd_seed = 7;
    generate_world("game");
    cur_game_mode = play_mode;
    set_game_script_number("monster_spawn", 0.f); // the numbers below, no more
    local_player->setPos(vec4f(128.f, 120.f, 128.f, 1.f));
    fill();
  }
  ~Island()
  {
    cur_game_mode = nullptr;
    gameobj_api.close_gameobj();
    close_world_script();
    close_fx_script();
    stop_gameobj_host();
    world_hooks = {};
  }
  void run(const char *src)
  {
    HSQUIRRELVM vm = world_script.vm;
    SQInteger top = sq_gettop(vm);
    if (sqbind::compile_buffer(vm, src, SQInteger(strlen(src)), "bench.nut"))
    {
      sq_pushroottable(vm);
      sq_call(vm, 1, SQFalse, SQTrue);
    }
    sq_settop(vm, top);
  }
  // Tops the island up to its numbers: creatures that died and balls carried off come
  // back between the measured runs.
  void fill()
  {
    char src[256];
    snprintf(src, sizeof(src), "start_wave(1, %d, %d);", std::max(wyverns - WyvernMonster_list.size(), 0),
             std::max(birds - BirdMonster_list.size(), 0));
    run(src);
    // A castle keeps four gatherers out; they come out one every few seconds.
    for (int c = CastleObject_list.size(); c < (gatherers + 3) / 4; c++)
    {
      float x = 128.f + 30.f * std::cos(float(c) * 1.3f), z = 128.f + 30.f * std::sin(float(c) * 1.3f);
      gameobj_api.new_gameobj_by_id(36)->setPos(vec4f(x, gameobj_api.get_land_height(x, z), z, 1.f));
    }
    for (int i = 0; i < 400 && ManaGatherer_list.size() < gatherers; i++)
      gameobj_api.update_gameobj(0.05f);
    for (int i = ManaBall_list.size(); i < balls; i++)
    {
      float a = float(i) * 2.39996f, r = 8.f + float(i % 9) * 6.f;
      float x = 128.f + r * std::cos(a), z = 128.f + r * std::sin(a);
      gameobj_api.new_gameobj_by_id(39)->setPos(vec4f(x, gameobj_api.get_land_height(x, z) + 0.7f, z, 1.f));
    }
  }
  static int game_objects()
  {
    return WyvernMonster_list.size() + BirdMonster_list.size() + ManaGatherer_list.size() + ManaBall_list.size() +
           CastleObject_list.size() + Player_list.size();
  }
};

void world_step(benchmark::State &state)
{
  const int w = int(state.range(0)), b = int(state.range(1)), g = int(state.range(2)), m = int(state.range(3));
  Island island(w, b, g, m);
  int steps = 0;
  for (auto _ : state)
  {
    HeightmapData::updateHmap(0.05f);
    HeightmapData::simWater(0.05f);
    update_fx_script(0.05f);
    gameobj_api.update_gameobj(0.05f);
    if (++steps % 100 == 0)
    {
      state.PauseTiming();
      island.fill();
      state.ResumeTiming();
    }
  }
  state.counters["game_objects"] = float(Island::game_objects());
  state.counters["all_objects"] = float(GameObj_list.size());
}
} // namespace

// wyverns, birds, gatherers, mana balls: the island alone, and with 200 game objects
// about it (and the player and the castles).
BENCHMARK(world_step)->Args({0, 0, 0, 0})->Args({60, 76, 20, 40})->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
