// The world step of the play mode on the "game" island of seed 7 (bin/gen/main.nut) with
// the module of bin/gameobj.dll: morphing, water, the effects script and the objects'
// update, with a wave of creatures and a castle's economy about the island. The water has
// come to rest before the measured steps (as on an island in play between casts), and the
// camera looks over the island from the player as in the play mode, so that effects out
// of its sight are left out as they are in the game. Particles are counted, not drawn.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <string>
#include "app/camera.h"
#include "app/game_modes.h"
#include "core/globals.h"
#include "core/log.h"
#include "core/paths.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_host.h"
#include "host_fixture.h"
#include "render/common_fx.h"
#include "render/device.h"
#include "script/fx_script.h"
#include "script/game_script.h"
#include "script/sqbind.h"
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
    reset_common_fx(); // particles and trails without their drawing
    open_game_scripts();
    game_rnd_seed = 7;
    generate_world("game");
    cur_game_mode = play_mode;
    set_game_script_number("monster_spawn", 0.f); // the numbers below, no more
    local_player->setPos(vec4f(128.f, 120.f, 128.f, 1.f));
    look_from_player();
    fill();
    for (int i = 0; i < 400; i++)
    {
      HeightmapData::updateHmap(0.05f);
      HeightmapData::simWater(0.05f);
    }
  }
  // The play mode's view from the player: facing +z, a little down over the island.
  static void look_from_player()
  {
    const float yaw = 0.f, pitch = -0.35f;
    Matrix44 cam;
    cam.setRow(0, vec4f(std::cos(yaw), 0.f, std::sin(yaw), 0.f));
    cam.setRow(1, vec4f(std::sin(pitch) * std::sin(yaw), std::cos(pitch), -std::sin(pitch) * std::cos(yaw), 0.f));
    cam.setRow(2, vec4f(-std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch), 0.f));
    vec4f at = local_player->getPos();
    cam.setRow(3, vec4f(at.x, at.y, at.z, 1.f));
    Matrix44 view;
    inverse44(cam, view);
    set_view_tm(view);
    set_proj_tm(calc_projection(1.f, 16.f / 9.f));
  }
  ~Island()
  {
    cur_game_mode = nullptr;
    close_game_scripts();
    stop_gameobj_host();
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

long particles = 0;
void count_particle(vec4f, vec4f, vec4f, float, float, float, D3dColor, float, float, float, float, float,
                    const ColorRamp *, const FloatRamp *, const FloatRamp *)
{
  particles++;
}

double cpu_ms()
{
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) * 1e-6;
}

void world_step(benchmark::State &state)
{
  const int w = int(state.range(0)), b = int(state.range(1)), g = int(state.range(2)), m = int(state.range(3));
  Island island(w, b, g, m);
  fx_script_hooks.add_blend_particle = fx_script_hooks.add_glow_particle = count_particle;
  particles = 0;
  int steps = 0;
  double water_ms = 0., objects_ms = 0.;
  for (auto _ : state)
  {
    Island::look_from_player();
    HeightmapData::updateHmap(0.05f);
    const double t0 = cpu_ms();
    HeightmapData::simWater(0.05f);
    const double t1 = cpu_ms();
    update_fx_script(0.05f);
    gameobj_api.update_gameobj(0.05f);
    water_ms += t1 - t0;
    objects_ms += cpu_ms() - t1;
    if (++steps % 100 == 0)
    {
      state.PauseTiming();
      const long counted = particles;
      island.fill();
      particles = counted;
      state.ResumeTiming();
    }
  }
  fx_script_hooks = FxScriptHooks{};
  // per step: CPU milliseconds of the water and of the objects with their effects, and
  // the particles their effects spawned
  state.counters["water_ms"] = water_ms / double(steps);
  state.counters["objects_ms"] = objects_ms / double(steps);
  state.counters["particles"] = double(particles) / double(steps);
  state.counters["game_objects"] = float(Island::game_objects());
  state.counters["all_objects"] = float(GameObj_list.size());
}
} // namespace

// wyverns, birds, gatherers, mana balls: the island alone, and with 200 game objects
// about it (and the player and the castles).
BENCHMARK(world_step)->Args({0, 0, 0, 0})->Args({60, 76, 20, 40})->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
