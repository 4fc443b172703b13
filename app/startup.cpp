#include "startup.h"
#include "app_globals.h"
#include "clock.h"
#include "device_link.h"
#include "frame_stats.h"
#include "game_mode.h"
#include "input.h"
#include "log.h"
#include "main_loop.h"
#include "paths.h"
#include "settings.h"
#include "window.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_host.h"
#include "script/world_export.h"
#include "script/world_hooks.h"
#include "script/world_script.h"
#include <SDL2/SDL.h>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <unistd.h>

// Drawn by the text renderer (ui/). Weak until it links in, so that a build without it
// draws nothing instead of failing to link.
ENGINE_API void draw_stats_overlay() __attribute__((weak));
ENGINE_API void draw_error_message() __attribute__((weak));

// ---------------------------------------------------------------------------------------
// The render device's loop operations. Until render/ provides check_d3d_device,
// render_d3d_frame and present_d3d, these stand-ins draw nothing and only let the frames
// pass (draw_frame still runs, so the modes' drawing paths are exercised).

static int standin_frames_drawn = 0;

static bool standin_check_device() { return true; }

static bool standin_render_frame(float dt)
{
  draw_frame(dt); // render_d3d_frame calls it between BeginScene and EndScene
  standin_frames_drawn++;
  return true;
}

// A real present waits for the display; without one the loop would spin a core.
static void standin_present() { sleep_msec(1); }

static void once_per_second()
{
  // Reload the shaders whose sources changed (render/): reload_changed_shaders();
  check_file_changes();
}

static LoopHooks loop_hooks()
{
  LoopHooks h = {};
  h.process_messages = process_window_messages;
  h.update = update_game;
  h.check_device = standin_check_device;   // -> check_d3d_device
  h.render_frame = standin_render_frame;   // -> render_d3d_frame
  h.present = standin_present;             // -> present_d3d
  h.get_gpu_load = get_gpu_load;
  h.sleep = sleep_msec;
  h.once_per_second = once_per_second;
  return h;
}

// ---------------------------------------------------------------------------------------
// What world generation reaches in the module. The module's functions are looked up at
// each call: they are null while a reload swaps the module.

static void install_world_hooks()
{
  WorldHooks h = {};
  h.bind_gameobj = [](HSQUIRRELVM vm) {
    if (gameobj_api.bind_gameobj)
      gameobj_api.bind_gameobj(vm);
  };
  h.get_land_height = [](float x, float z) {
    return gameobj_api.get_land_height ? gameobj_api.get_land_height(x, z) : hmap_land_height(x, z);
  };
  h.remove_all_gameobj = [] {
    if (gameobj_api.remove_all_gameobj)
      gameobj_api.remove_all_gameobj();
  };
  h.local_player_world_removed = [] {
    if (local_player)
      local_player->onWorldRemoved();
  };
  h.local_player_world_generated = [] {
    if (local_player)
      local_player->onWorldGenerated();
  };
  // The sky (set_sun_dir), the splash, the particles and the terrain renderer join
  // here as their subsystems land; until then the defaults do nothing.
  set_world_hooks(h);
}

// ---------------------------------------------------------------------------------------
// Start-up, second half (steps 17 to 27)

void init_systems()
{
  // 17.
  set_update_rate(20, 5);
  int q = gfx_quality >= 0 && gfx_quality <= 1 ? gfx_quality : 1;
  debug("Graphics quality: %s", gfx_quality_name[q]);

  // 18. Scene image texture (render/, fatal "can't create scene image texture").
  // 19. High quality: the four low-resolution scene textures (fatal "Can't create
  //     low-resolution scene textures") and the shaders "dr_final.sh",
  //     "dr_calc_light.sh", "dr_shadow_blur.sh".
  if (gfx_quality != 1)
    use_postfx = false;
  // 20. init_sky(); init_terrain_render(); init_postfx(); init_debug_vis();

  // 21.
  debug("game_rnd_seed=%" PRIu64 ";", game_rnd_seed);

  // 22.
  setMousePos(float(view_width() / 2), float(view_height() / 2));

  // 23. The game-object host loads and binds the module.
  start_gameobj_host("../compiler/", "main.ls");
  // 24. The module's init_inst_render, then init_common_fx(), init_shadows() (render/),
  //     then the module's init_new_gui, init_spells_ui and init_gameobj.
  gameobj_api.init_inst_render();
  gameobj_api.init_new_gui();
  gameobj_api.init_spells_ui();
  gameobj_api.init_gameobj();
  // 25. The world-generation script VM, reaching the module through the hooks.
  install_world_hooks();
  init_world_script();
  set_gameobj_script_guard(world_script_guard);
  // 26. go_to_main_menu(): the main-menu world now, the mode itself comes with the menus.
  generate_world("main_menu");
  // 27. With a local player: set_camera_pos(the player's position).
}

// ---------------------------------------------------------------------------------------
// Shutdown (S1 to S8)

void close_systems()
{
  // S2, in this order; each is a no-op for a subsystem that never started.
  if (gameobj_api.remove_all_gameobj)
    gameobj_api.remove_all_gameobj();
  set_gameobj_script_guard(nullptr);
  close_world_script();
  if (gameobj_api.close_spells_ui)
    gameobj_api.close_spells_ui();
  if (gameobj_api.close_gameobj)
    gameobj_api.close_gameobj();
  stop_gameobj_host();
  // close_debug_vis(); close_postfx(); close_terrain_render(); close_sky(); the three
  // deferred-lighting shaders and the five scene textures.
}

void shutdown_sequence()
{
  static bool ran = false;
  if (ran)
    return;
  ran = true;
  debug("closing...");          // S1
  close_systems();              // S2
  // S3. close_font();
  // S4. release common_vb_writer.
  close_gpu_load();             // S5
  // S6. close_d3d(); the window goes after the device.
  close_platform();
  clear_input();                // S7
  debug("closed all systems");  // S8
}

void quit_game(int code)
{
  shutdown_sequence();
  fflush(stdout);
  fflush(stderr);
  _exit(code);
}

// ---------------------------------------------------------------------------------------
// Loop operations

void update_game(float dt)
{
  if (cur_game_mode)
    cur_game_mode->update(dt);
  if (force_gameobj_reload)
  {
    force_gameobj_reload = false;
    reload_gameobj(true);
    rebind_gameobj_scripts();
  }
}

void draw_frame(float dt)
{
  if (cur_game_mode)
    cur_game_mode->render(dt);
  // Compose the scene and apply the post-effects (render/).
  if (cur_game_mode)
    cur_game_mode->renderOverlay(dt);
  // start_draw_text();
  if (draw_error_message)
    draw_error_message();
  if (show_fps)
  {
    // The current mode's help text at (L, d3d_ht - L), L = one text line (ui/).
    if (draw_stats_overlay)
      draw_stats_overlay();
  }
  // else draw_text("F1: help/stats", -1, 2, d3d_ht - 3 * L, -1, 1, 0x66FFFFFF);
  // Development mode with the right button held: the sun's angle from the vertical.
  // end_draw_text();
}

void check_file_changes()
{
  if (reload_gameobj(false))
    rebind_gameobj_scripts();
  // The sky script's reload check, then the world script's.
  check_world_script_reload();
}

void on_d3d_resize()
{
  // The four low-resolution scene textures, the font's text scale, the terrain
  // renderer's size-dependent resources, then the module's spells_ui_after_resize.
}

// ---------------------------------------------------------------------------------------
// The entry (steps 1 to 31)

int app_main(int argc, char **argv)
{
  for (int i = 1; i < argc; i++)
    if (strcmp(argv[i], "-help") == 0)
    {
      print_help();
      return 0;
    }

  set_fatal_shutdown(shutdown_sequence);

  // 1.
  if (!get_exe_path(app_path, sizeof(app_path)))
    app_path[0] = 0;
  debug("app path: '%s'", app_path);
  // 2-3. The clock's frequency is fixed; the seed comes from it unless -seed overrides it.
  game_rnd_seed = uint64_t(get_ref_time());
  // 4.
  set_update_rate(20, 5);
  // 5.
  const int64_t start_time = get_ref_time();

  // -export-world builds a world and writes it out without a window or device.
  for (int i = 1; i < argc; i++)
    if (strcmp(argv[i], "-export-world") == 0)
    {
      parse_options(argc, argv);
      if (!app_options.export_world_dir)
        break; // malformed: logged by parse_options, run normally
      if (app_options.seed_given)
        game_rnd_seed = app_options.seed;
      return export_world(app_options.export_world_dir);
    }

  // 6.
  if (!init_platform())
    return 1;

  // 7-8.
  parse_options(argc, argv);
  if (app_options.seed_given)
    game_rnd_seed = app_options.seed;
  set_frame_limit(app_options.frame_limit);
  isFullscreen = app_options.fullscreen;

  // 9-12.
  int width = app_options.width, height = app_options.height;
  if (!create_main_window(isFullscreen, width, height))
    fatal("can't create window: %s", SDL_GetError());

  // 13.
  init_input(main_window);
  // 14. init_d3d(main_window, width, height); then point the window and input code at
  //     the device: device_link = {&d3d_wd, &d3d_ht, resize_d3d};
  standin_set_size(width, height);
  // 15.
  if (isFullscreen)
    clip_cursor(true);
  // 16. common_vb_writer (0x10000 bytes); the GPU-load query; init_font();
  //     show_splash("Loading...", -1.0f).
  init_gpu_load();

  init_systems();

  // 28.
  debug("total start-up time: %d ms", get_time_msec(get_ref_time() - start_time));
  // 29. debug("free video memory: %u MB", get_free_texmem() >> 20);

  // 30.
  LoopRunStats st = run_main_loop(loop_hooks());
  if (app_options.frame_limit)
    debug("frames: %d, updates: %d, wall time: %d ms, frame time: mean %d us, p95 %d us",
          st.frames, st.updates, get_time_msec(st.wall_ticks), st.mean_frame_us, st.p95_frame_us);

  // 31.
  shutdown_sequence();
  return 0;
}
