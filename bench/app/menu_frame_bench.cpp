#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include "app/device_link.h"
#include "app/game_modes.h"
#include "app/gui_setup.h"
#include "app/input.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/window.h"
#include "core/clock.h"
#include "core/globals.h"
#include "core/paths.h"
#include "core/splash.h"
#include "gameobj/gameobj_host.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/scene_render.h"
#include "script/world_script.h"
#include "ui/text.h"

// The whole main-menu frame at 1280 x 720 as the program draws it (the flight over the
// island, post-effects, the module's menu, text, present), and the same frame without
// the menu. The game-object module bin/gameobj.dll is loaded as at start-up. Wall time
// per frame, the GPU flushed after each. Run headless with SDL_VIDEODRIVER=offscreen.

static void resize_device(int w, int h, bool fs, bool force) { resize_d3d(w, h, fs, force); }

static bool start_program(int w, int h)
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
  init_gui_systems();
  gfx_quality = 1;
  use_postfx = true;
  install_scene_hooks();
  init_scene_render();
  start_gameobj_host("../compiler/", "main.ls");
  for (void (*f)() :
       {gameobj_api.init_inst_render, gameobj_api.init_new_gui, gameobj_api.init_spells_ui, gameobj_api.init_gameobj})
    if (f)
      f();
  init_world_script();
  game_rnd_seed = 12345;
  go_to_main_menu();
  return true;
}

static void stop_program()
{
  set_game_mode(nullptr);
  if (gameobj_api.remove_all_gameobj)
    gameobj_api.remove_all_gameobj();
  close_world_script();
  if (gameobj_api.close_spells_ui)
    gameobj_api.close_spells_ui();
  if (gameobj_api.close_gameobj)
    gameobj_api.close_gameobj();
  stop_gameobj_host();
  close_scene_render();
  close_gui_systems();
  close_font();
  common_vb_writer.close();
  close_d3d();
  close_platform();
}

// draw_frame with (gui_ms: its time alone, the GPU flushed around it) or without the
// mode's overlay.
static bool with_gui = true;
static double gui_ms = 0.0;
static void menu_frame(float dt)
{
  cur_game_mode->render(dt);
  draw_final_image();
  if (with_gui)
  {
    flush_gpu();
    const int64_t t0 = get_ref_time();
    cur_game_mode->renderOverlay(dt);
    flush_gpu();
    gui_ms += get_time_usec(get_ref_time() - t0) / 1000.0;
  }
  start_draw_text();
  draw_help_hint();
  end_draw_text();
}

static void BM_MainMenuFrame(benchmark::State &state)
{
  if (!start_program(1280, 720))
  {
    state.SkipWithError("no device");
    return;
  }
  with_gui = state.range(0) != 0;
  const DeviceHooks saved = d3d_hooks;
  d3d_hooks.draw_frame = menu_frame;
  for (int i = 0; i < 3; i++) // warm: shader links, first uploads
  {
    main_menu_mode->update(0.05f);
    if (render_d3d_frame(0.025f))
      present_d3d();
  }
  flush_gpu();
  gui_ms = 0.0;
  int n = 0;
  for (auto _ : state)
  {
    if ((n++ & 1) == 0)
      main_menu_mode->update(0.05f); // the flight steps at 20 updates a second
    if (render_d3d_frame(0.025f))
      present_d3d();
    flush_gpu();
  }
  d3d_hooks = saved;
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["gui_ms"] = gui_ms / double(state.iterations());
  stop_program();
}
BENCHMARK(BM_MainMenuFrame)
  ->ArgNames({"gui"})
  ->Arg(0)
  ->Arg(1)
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime()
  ->MinTime(8.0);

BENCHMARK_MAIN();
