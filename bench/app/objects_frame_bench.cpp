#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>
#include "app/camera.h"
#include "app/device_link.h"
#include "app/game_modes.h"
#include "app/input.h"
#include "app/startup.h"
#include "app/window.h"
#include "core/angles.h"
#include "core/clock.h"
#include "core/gfx_settings.h"
#include "core/globals.h"
#include "core/paths.h"
#include "core/splash.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_host.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/inst_render.h"
#include "render/land_render.h"
#include "render/scene_render.h"
#include "render/shadow_balls.h"
#include "render/sky.h"
#include "script/world_script.h"
#include "ui/text.h"
#include "world/world_rnd.h"

// The island with its objects: whole development-mode frames at 1280 x 720 high quality
// over the seed-7 island, with the game-object module (bin/gameobj.dll) dressing and
// drawing it, against the same frames without objects and without object shadows. The
// three kinds of frame alternate within one run, so that a busy machine slows all of
// them alike. Also the CPU costs: filling and streaming 10 000 tree instances, binning
// 5 000 shadow spheres, and generate_objects. Run headless with SDL_VIDEODRIVER=offscreen.

static void resize_device(int w, int h, bool fs, bool force) { resize_d3d(w, h, fs, force); }

static bool program_up = false;

static bool start_program(int w, int h)
{
  if (program_up)
    return true;
  snprintf(app_path, sizeof(app_path), "%s/", ZARNITH_BIN_DIR);
  setenv("SDL_VIDEODRIVER", getenv("SDL_VIDEODRIVER") ? getenv("SDL_VIDEODRIVER") : "offscreen", 0);
  if (!init_platform() || !create_main_window(false, w, h))
    return false;
  init_input(main_window);
  app_use_vsync = false;
  if (!init_d3d(main_window, w, h, shell_device_hooks()))
    return false;
  device_link = {&d3d_wd, &d3d_ht, resize_device};
  common_vb_writer.init(0x10000);
  init_font();
  splash_hooks.show = show_splash;
  gfx_quality = GFX_QUALITY_HIGH;
  use_postfx = true;
  use_ppaa = false;
  land_shadow_quality = 2;
  use_obj_shadows = true;
  install_scene_hooks();
  init_scene_render();
  start_gameobj_host("../compiler/", "main.ls");
  gameobj_call(&GameObjFuncs::init_inst_render);
  init_shadows();
  gameobj_call(&GameObjFuncs::init_gameobj);
  init_world_script();
  game_rnd_seed = 7;
  generate_world("game");
  // The program's world hooks (not installed here) let the local player dress the world.
  gameobj_call(&GameObjFuncs::generate_objects);
  set_game_mode(dev_mode);
  program_up = true;
  return true;
}

// Camera places over the island: the western forest with the tower, the forest below the
// mountain looking up at it, and -dev's start 60 above the south of the map looking at
// its middle.
struct Place
{
  float x, y, z, yaw, pitch;
};
static const Place places[] = {
  {70.f, 18.f, 75.f, -90.f, -30.f}, {96.f, 24.f, 40.f, 20.f, -22.f}, {128.f, 60.f, 20.f, 0.f, -25.f}};

static void set_place(const Place &p)
{
  set_camera_pos(vec4f(p.x, p.y, p.z, 1.f));
  camera.yaw = p.yaw * DEG_TO_RAD;
  camera.pitch = p.pitch * DEG_TO_RAD;
  set_sun_dir(vec4f(0.f, 0.9f, 0.45f, 0.f), false);
}

// Frame kinds: 0 without objects, 1 objects without their shadows, 2 objects and shadows.
static void set_kind(const SceneHooks &full, const LandHooks &land, int kind)
{
  SceneHooks h = full;
  if (kind == 0)
  {
    h.render_objects = SceneHooks().render_objects;
    land_hooks = LandHooks{};
  }
  else
    land_hooks = land;
  land_shadow_quality = kind == 2 ? 2 : 1;
  scene_hooks = h;
}

// Processor time of the whole process (the rasteriser's threads included), which a
// machine shared with other work disturbs much less than wall time.
static double process_cpu_ms()
{
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

static double frame_ms()
{
  flush_gpu();
  const int64_t t0 = get_ref_time();
  dev_mode->update(0.05f);
  if (render_d3d_frame(0.025f))
    present_d3d();
  flush_gpu();
  return get_time_usec(get_ref_time() - t0) / 1000.0;
}

static void BM_IslandFrames(benchmark::State &state)
{
  if (!start_program(1280, 720))
  {
    state.SkipWithError("no device or module");
    return;
  }
  set_place(places[state.range(0)]);
  const SceneHooks full = scene_hooks;
  const LandHooks land = land_hooks;
  for (int i = 0; i < 3; i++)
    frame_ms();
  double ms[3] = {}, cpu[3] = {};
  for (auto _ : state)
    for (int k = 0; k < 3; k++)
    {
      set_kind(full, land, k);
      const double c0 = process_cpu_ms();
      ms[k] += frame_ms();
      cpu[k] += process_cpu_ms() - c0;
    }
  set_kind(full, land, 2);
  const double n = double(state.iterations());
  state.counters["bare_ms"] = ms[0] / n;
  state.counters["objects_ms"] = ms[1] / n;
  state.counters["objects_shadows_ms"] = ms[2] / n;
  state.counters["cost_objects_ms"] = (ms[1] - ms[0]) / n;
  state.counters["cost_shadows_ms"] = (ms[2] - ms[1]) / n;
  // Processor time of the whole process per frame (all threads), steadier on a busy machine.
  state.counters["bare_cpu_ms"] = cpu[0] / n;
  state.counters["cost_objects_cpu_ms"] = (cpu[1] - cpu[0]) / n;
  state.counters["cost_shadows_cpu_ms"] = (cpu[2] - cpu[1]) / n;
  state.counters["balls"] = double(shadow_frame_balls().size());
}
BENCHMARK(BM_IslandFrames)
  ->ArgName("place")
  ->Arg(0)
  ->Arg(1)
  ->Arg(2)
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime()
  ->MinTime(6.0);

// The objects' pass and the shadow bracket alone, each between two GPU flushes (so they
// cost a little more than inside a normal frame), in whole frames with everything on.
// Besides wall time, the processor time of the whole process (the rasteriser's threads
// included), which a machine shared with other work disturbs much less.
static double part_ms[3], part_cpu_ms[3];
static int64_t part_t0;
static double part_cpu0;
static void (*orig_objects)(), (*orig_start)(), (*orig_end)();
static bool objects_tiny_viewport = false; // no pixels: what the vertex side costs
static void timed_objects()
{
  flush_gpu();
  const int64_t t0 = get_ref_time();
  const double c0 = process_cpu_ms();
  if (objects_tiny_viewport)
    set_viewport(0, 0, 1, 1);
  orig_objects();
  if (objects_tiny_viewport)
    set_viewport(0, 0, d3d_wd, d3d_ht);
  flush_gpu();
  part_ms[0] += get_time_usec(get_ref_time() - t0) / 1000.0;
  part_cpu_ms[0] += process_cpu_ms() - c0;
}
static void timed_start()
{
  flush_gpu();
  part_t0 = get_ref_time();
  part_cpu0 = process_cpu_ms();
  orig_start();
}
static void timed_end()
{
  orig_end();
  flush_gpu();
  part_ms[1] += get_time_usec(get_ref_time() - part_t0) / 1000.0;
  part_cpu_ms[1] += process_cpu_ms() - part_cpu0;
}

static void BM_IslandPasses(benchmark::State &state)
{
  if (!start_program(1280, 720))
  {
    state.SkipWithError("no device or module");
    return;
  }
  set_place(places[state.range(0)]);
  objects_tiny_viewport = state.range(1) != 0;
  const SceneHooks full = scene_hooks;
  SceneHooks h = full;
  orig_objects = full.render_objects;
  orig_start = full.start_render_shadows;
  orig_end = full.end_render_shadows;
  h.render_objects = timed_objects;
  h.start_render_shadows = timed_start;
  h.end_render_shadows = timed_end;
  scene_hooks = h;
  for (int i = 0; i < 3; i++)
    frame_ms();
  for (int i = 0; i < 3; i++)
    part_ms[i] = part_cpu_ms[i] = 0.0;
  for (auto _ : state)
  {
    const double c0 = process_cpu_ms();
    part_ms[2] += frame_ms();
    part_cpu_ms[2] += process_cpu_ms() - c0;
  }
  scene_hooks = full;
  const double n = double(state.iterations());
  state.counters["objects_pass_ms"] = part_ms[0] / n;
  state.counters["shadow_pass_ms"] = part_ms[1] / n;
  state.counters["frame_ms"] = part_ms[2] / n;
  state.counters["objects_pass_cpu_ms"] = part_cpu_ms[0] / n;
  state.counters["shadow_pass_cpu_ms"] = part_cpu_ms[1] / n;
  state.counters["frame_cpu_ms"] = part_cpu_ms[2] / n;
  state.counters["balls"] = double(shadow_frame_balls().size());
  state.counters["trees"] = double(TreeObject_list.size());
}
BENCHMARK(BM_IslandPasses)
  ->ArgNames({"place", "no_pixels"})
  ->Args({0, 0})
  ->Args({1, 0})
  ->Args({2, 0})
  ->Args({0, 1})
  ->Args({2, 1})
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime()
  ->MinTime(6.0);

// The CPU side of drawing 10 000 trees: the records written as the module writes them
// and streamed by InstRender::render, drawn into a 1 x 1 viewport so that the
// rasteriser has nothing to do (the vertex stage still runs).
static void BM_InstRender10000Trees(benchmark::State &state)
{
  if (!start_program(1280, 720))
  {
    state.SkipWithError("no device or module");
    return;
  }
  const bool draw = state.range(0) != 0;
  set_render_target_texture(0, get_scene_image(), true);
  set_viewport(0, 0, 1, 1);
  for (auto _ : state)
  {
    SimpleInstance *s = static_cast<SimpleInstance *>(tree1_inst.allocInstances(10000));
    for (int i = 0; i < 10000; i++)
    {
      Matrix44 m = Matrix44::identity();
      pack_inst_rotation(m, 1.f, 1.1f, 1.f, s[i].rot);
      s[i].pos[0] = float(i % 100);
      s[i].pos[1] = 2.f;
      s[i].pos[2] = float(i / 100);
      s[i].color = inst_tint(1.f, 1.f, 1.f);
    }
    if (draw)
      tree1_inst.render();
    else
      tree1_inst.clearList();
  }
  flush_gpu();
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_InstRender10000Trees)->ArgName("draw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_ShadowBinning5000(benchmark::State &state)
{
  if (!start_program(1280, 720))
  {
    state.SkipWithError("no device or module");
    return;
  }
  set_place(places[0]);
  frame_ms();
  ShadowView v;
  v.globTm = cur_glob_tm;
  v.globRk = cur_glob_rk;
  v.camPos = cur_view_itm.row(3);
  v.light = normalize3(vec4f(0.f, 0.9f, 0.45f, 0.f));
  ShadowBins bins;
  // Spheres spread over the 150 x 150 units in front of the camera, as forests are.
  std::vector<vec4f> balls;
  uint64_t r = 12345;
  for (int i = 0; i < 5000; i++)
    balls.push_back(vec4f(v.camPos.x - 75.f + float(world_rnd_next(r) % 150), 4.f,
                          v.camPos.z - 75.f + float(world_rnd_next(r) % 150), 1.3f));
  int kept = 0;
  for (auto _ : state)
  {
    bins.reset();
    kept = 0;
    for (const vec4f &b : balls)
      kept += bin_shadow_ball(bins, v, b, b.w);
  }
  state.counters["kept"] = kept;
  state.counters["chunks"] = bins.chunks.size();
  state.SetItemsProcessed(state.iterations() * 5000);
}
BENCHMARK(BM_ShadowBinning5000)->Unit(benchmark::kMicrosecond);

static void BM_GenerateObjects(benchmark::State &state)
{
  if (!start_program(1280, 720))
  {
    state.SkipWithError("no device or module");
    return;
  }
  const uint64_t seed = game_rnd_seed;
  for (auto _ : state)
  {
    game_rnd_seed = seed;
    gameobj_call(&GameObjFuncs::generate_objects);
  }
  state.counters["trees"] = TreeObject_list.size();
}
BENCHMARK(BM_GenerateObjects)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
