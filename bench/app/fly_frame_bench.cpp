#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include "app/camera.h"
#include "app/device_link.h"
#include "app/game_modes.h"
#include "app/input.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/window.h"
#include "core/clock.h"
#include "core/globals.h"
#include "core/paths.h"
#include "core/splash.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/land_render.h"
#include "render/scene_render.h"
#include "render/sky.h"
#include "script/world_script.h"
#include "ui/text.h"

// One whole drawn frame of the development mode over the generated island, as the
// program draws it (scene, post-effects, text, present), at two sizes, both qualities,
// with and without MLAA. Wall time per frame, the GPU flushed after each.
// Run headless with SDL_VIDEODRIVER=offscreen.

static void resize_device(int w, int h, bool fs, bool force) { resize_d3d(w, h, fs, force); }

static bool start_program(int w, int h, int quality, bool mlaa)
{
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
  gfx_quality = quality;
  use_postfx = true;
  use_ppaa = mlaa;
  install_scene_hooks();
  init_scene_render();
  init_world_script();
  game_rnd_seed = 12345;
  go_to_main_menu();
  set_game_mode(dev_mode);
  set_camera_pos(vec4f(128.f, 30.f, 90.f, 1.f));
  camera.yaw = 0.f;
  camera.pitch = -0.25f;
  set_sun_dir(vec4f(0.3f, 0.8f, 0.5f, 0.f), false);
  return true;
}

static void stop_program()
{
  cur_game_mode = nullptr;
  close_world_script();
  close_scene_render();
  close_font();
  common_vb_writer.close();
  close_d3d();
  close_platform();
}

static void BM_FlyFrame(benchmark::State &state)
{
  const int w = int(state.range(0)), h = int(state.range(1));
  if (!start_program(w, h, int(state.range(2)), state.range(3) != 0))
  {
    state.SkipWithError("no device");
    return;
  }
  for (int i = 0; i < 3; i++) // warm: shader links, first uploads
  {
    dev_mode->update(0.05f);
    if (render_d3d_frame(0.025f))
      present_d3d();
  }
  flush_gpu();
  int n = 0;
  for (auto _ : state)
  {
    if ((n++ & 1) == 0)
      dev_mode->update(0.05f); // the world steps as it does at 20 updates a second
    if (render_d3d_frame(0.025f))
      present_d3d();
    flush_gpu();
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  stop_program();
}
BENCHMARK(BM_FlyFrame)
  ->ArgNames({"w", "h", "high", "mlaa"})
  ->Args({640, 360, 0, 0})
  ->Args({640, 360, 0, 1})
  ->Args({640, 360, 1, 0})
  ->Args({640, 360, 1, 1})
  ->Args({1280, 720, 0, 0})
  ->Args({1280, 720, 0, 1})
  ->Args({1280, 720, 1, 0})
  ->Args({1280, 720, 1, 1})
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime()
  ->MinTime(2.0);

// Where a frame's time goes: each terrain pass, the land preparation and the whole
// frame, with the GPU flushed around every part (so the parts cost a little more than
// inside a normal frame). Times in milliseconds per frame.
static double pass_ms[7];
static void (*orig_land)(), (*orig_water)(), (*orig_horizon)();
template <int I, void (**F)()>
static void timed_pass()
{
  flush_gpu();
  const int64_t t0 = get_ref_time();
  (*F)();
  flush_gpu();
  pass_ms[I] += get_time_usec(get_ref_time() - t0) / 1000.0;
}

static void BM_FlyFramePasses(benchmark::State &state)
{
  const int w = int(state.range(0)), h = int(state.range(1));
  if (!start_program(w, h, int(state.range(2)), false))
  {
    state.SkipWithError("no device");
    return;
  }
  SceneHooks hooks = scene_hooks;
  orig_land = hooks.render_land;
  orig_water = hooks.render_water;
  orig_horizon = hooks.render_horizon;
  hooks.render_land = timed_pass<0, &orig_land>;
  hooks.render_water = timed_pass<1, &orig_water>;
  hooks.render_horizon = timed_pass<2, &orig_horizon>;
  scene_hooks = hooks;
  for (int i = 0; i < 3; i++)
  {
    dev_mode->update(0.05f);
    if (render_d3d_frame(0.025f))
      present_d3d();
  }
  flush_gpu();
  for (double &v : pass_ms)
    v = 0;
  int n = 0;
  for (auto _ : state)
  {
    int64_t t0 = get_ref_time();
    if ((n++ & 1) == 0)
      dev_mode->update(0.05f);
    pass_ms[3] += get_time_usec(get_ref_time() - t0) / 1000.0;
    t0 = get_ref_time();
    if (render_d3d_frame(0.025f))
      present_d3d();
    flush_gpu();
    pass_ms[4] += get_time_usec(get_ref_time() - t0) / 1000.0;
    // Once more outside the frame: the per-frame preparation alone, with the refresh of
    // the GPU copies that follows every simulation step.
    t0 = get_ref_time();
    request_land_refresh();
    prepare_land_render({cur_view_itm, cur_glob_tm}, 0.025f);
    flush_gpu();
    pass_ms[5] += get_time_usec(get_ref_time() - t0) / 1000.0;
    t0 = get_ref_time();
    draw_final_image();
    flush_gpu();
    pass_ms[6] += get_time_usec(get_ref_time() - t0) / 1000.0;
  }
  const double it = double(state.iterations());
  state.counters["land_ms"] = pass_ms[0] / it;
  state.counters["water_ms"] = pass_ms[1] / it;
  state.counters["horizon_ms"] = pass_ms[2] / it;
  state.counters["update_ms"] = pass_ms[3] / it;
  state.counters["frame_ms"] = pass_ms[4] / it;
  state.counters["prepare_refresh_ms"] = pass_ms[5] / it;
  state.counters["final_ms"] = pass_ms[6] / it;
  stop_program();
}
BENCHMARK(BM_FlyFramePasses)
  ->ArgNames({"w", "h", "high"})
  ->Args({640, 360, 1})
  ->Args({1280, 720, 0})
  ->Args({1280, 720, 1})
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime()
  ->MinTime(2.0);

BENCHMARK_MAIN();
