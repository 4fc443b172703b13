#include "startup.h"
#include <SDL2/SDL.h>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include "app_globals.h"
#include "camera.h"
#include "clock.h"
#include "device_link.h"
#include "frame_stats.h"
#include "game_mode.h"
#include "game_modes.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_host.h"
#include "input.h"
#include "log.h"
#include "main_loop.h"
#include "paths.h"
#include "render/buffers.h"
#include "render/debug_vis.h"
#include "render/device.h"
#include "render/screenshot.h"
#include "render/shaders.h"
#include "render/shadow_balls.h"
#include "scene_links.h"
#include "script/world_export.h"
#include "script/world_hooks.h"
#include "script/world_script.h"
#include "settings.h"
#include "ui/text.h"
#include "window.h"

// Statistics overlay of the text renderer (ui/stats_overlay.cpp).
ENGINE_API void draw_stats_overlay();

static void once_per_second()
{
  reload_shaders(false);
  check_file_changes();
}

// Scripted runs: key presses at given updates, screenshots after given frames.
static int updates_run = 0, frames_drawn = 0;

static void scripted_update(float dt)
{
  updates_run++;
  for (int i = 0; i < app_options.press_count; i++)
  {
    const AppOptions::KeyPress &p = app_options.presses[i];
    if (p.update != updates_run)
      continue;
    if (p.ctrl)
      set_key_held(VK_CONTROL, true);
    if (p.shift)
      set_key_held(VK_SHIFT, true);
    set_key_held(p.key, true);
    post_input_event(IEV_KEY_DOWN, p.key, 0, 0, 0.f, 0.f);
    set_key_held(p.key, false);
    post_input_event(IEV_KEY_UP, p.key, 0, 0, 0.f, 0.f);
  }
  update_game(dt);
  for (int i = 0; i < app_options.press_count; i++)
    if (app_options.presses[i].update == updates_run)
    {
      if (app_options.presses[i].ctrl)
        set_key_held(VK_CONTROL, false);
      if (app_options.presses[i].shift)
        set_key_held(VK_SHIFT, false);
    }
}

static bool scripted_render(float dt)
{
  const bool drawn = render_d3d_frame(dt);
  if (drawn)
  {
    frames_drawn++;
    for (int i = 0; i < app_options.screenshot_count; i++)
      if (app_options.screenshot_at[i] == frames_drawn)
        take_screenshot();
  }
  return drawn;
}

// -dev, -sun, -cam after start-up.
static void apply_scripted_start()
{
  if (app_options.start_dev)
  {
    set_game_mode(dev_mode);
    // The menu flight starts at the water line of the map's corner; a scripted start
    // without -cam begins 60 above the south of the map, looking north at its middle.
    if (!app_options.cam_given)
    {
      const float ground = HeightmapData::height(128, 20) + HeightmapData::waterAt(128, 20).depth;
      set_camera_pos(vec4f(128.f, std::max(ground, 0.f) + 60.f, 20.f, 1.f));
      camera.yaw = 0.f;
      camera.pitch = clamp_pitch(-25.f * 0.017453292f);
    }
  }
  if (app_options.cam_given)
  {
    set_camera_pos(vec4f(app_options.cam[0], app_options.cam[1], app_options.cam[2], 1.f));
    camera.yaw = wrap_yaw(app_options.cam[3] * 0.017453292f);
    camera.pitch = clamp_pitch(app_options.cam[4] * 0.017453292f);
  }
  if (app_options.sun_given)
  {
    const float a = app_options.sun_angle * 0.017453292f;
    set_sun_dir(vec4f(0.f, std::cos(a), std::sin(a), 0.f), false);
  }
}

static void resize_device(int w, int h, bool fullscreen, bool force) { resize_d3d(w, h, fullscreen, force); }

static LoopHooks loop_hooks()
{
  LoopHooks h = {};
  h.process_messages = process_window_messages;
  h.update = app_options.press_count ? scripted_update : update_game;
  h.check_device = check_d3d_device;
  h.render_frame = app_options.screenshot_count ? scripted_render : render_d3d_frame;
  h.present = present_d3d;
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
  // The sky and the terrain renderer; the splash keeps its default (show_splash), the
  // particles join with their renderer.
  h.set_sun_dir = [](vec4f dir) { set_sun_dir(dir, false); };
  h.refresh_terrain = [] { request_land_refresh(); };
  set_world_hooks(h);
}

// ---------------------------------------------------------------------------------------
// Start-up, second half (steps 17 to 27)

// The module's passes inside the scene pipeline (nothing while no module is bound).
static void module_objects()
{
  if (gameobj_api.render_gameobj)
    gameobj_api.render_gameobj();
}
static void module_shadows()
{
  if (gameobj_api.render_gameobj_shadow)
    gameobj_api.render_gameobj_shadow();
}
static void module_debug()
{
  if (gameobj_api.render_debug_vis_gameobj)
    gameobj_api.render_debug_vis_gameobj();
}

// What the scene pipeline draws inside its passes.
void install_scene_hooks()
{
  SceneHooks h = scene_hooks;
  h.render_land = render_land;
  h.render_water = render_water_prepared;
  h.render_horizon = render_horizon;
  h.render_objects = module_objects;
  h.render_object_shadows = module_shadows;
  h.render_object_debug = module_debug;
  h.start_render_shadows = start_render_shadows;
  h.end_render_shadows = end_render_shadows;
  // The particles keep the pipeline's default until their renderer exists.
  set_scene_hooks(h);
  scene_init_terrain = init_land_render;
  scene_close_terrain = close_land_render;
}

void init_systems()
{
  // 17.
  set_update_rate(20, 5);
  // 17-20: the quality's log line, the scene image, at high quality the quarter targets
  // and the deferred shaders, then the sky, the terrain renderer, the post-effects and
  // the debug drawing.
  install_scene_hooks();
  init_scene_render();
  // World generation reaches the module, the sky and the terrain renderer.
  install_world_hooks();

  // 21.
  debug("game_rnd_seed=%" PRIu64 ";", game_rnd_seed);

  // 22.
  setMousePos(float(d3d_wd / 2), float(d3d_ht / 2));

  // 23. The game-object host loads and binds the module.
  start_gameobj_host("../compiler/", "main.ls");
  // 24. The module's renderers, the shadows (high quality) and the interface. The shared
  //     effects (init_common_fx) come between init_inst_render and the shadows.
  if (gameobj_api.init_inst_render)
    gameobj_api.init_inst_render();
  if (gfx_quality == 1)
    init_shadows();
  if (gameobj_api.init_new_gui)
    gameobj_api.init_new_gui();
  if (gameobj_api.init_spells_ui)
    gameobj_api.init_spells_ui();
  if (gameobj_api.init_gameobj)
    gameobj_api.init_gameobj();
  // 25. The world-generation script VM, reaching the module through the hooks.
  init_world_script();
  set_gameobj_script_guard(world_script_guard);
  // 26.
  go_to_main_menu();
  // 27.
  if (local_player)
    set_camera_pos(local_player->getPos());
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
  close_shadows();
  // The debug drawing, the post-effects, the terrain renderer, the sky, then the
  // deferred-lighting shaders and the scene textures.
  close_scene_render();
}

void shutdown_sequence()
{
  static bool ran = false;
  if (ran)
    return;
  ran = true;
  debug("closing..."); // S1
  close_systems();     // S2
  close_font();        // S3
  if (!common_vb_writer.startPtr)
    common_vb_writer.close(); // S4 (a writer still running is left to the device's end)
  close_gpu_load();           // S5
  close_d3d();                // S6; the window goes after the device
  close_platform();
  clear_input();               // S7
  debug("closed all systems"); // S8
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
  // 1-3. The mode's scene, the final image with its post-effects, the mode's overlay.
  if (cur_game_mode)
    cur_game_mode->render(dt);
  draw_final_image();
  if (cur_game_mode)
    cur_game_mode->renderOverlay(dt);
  // 4.
  start_draw_text();
  draw_error_message();
  // 5.
  if (show_fps)
  {
    draw_help_text(cur_help_text());
    draw_stats_overlay();
  }
  else
    draw_help_hint();
  // 6.
  if (cur_game_mode == dev_mode && getKeyState(VK_RBUTTON))
  {
    char buf[16];
    snprintf(buf, sizeof(buf), "%3d", sun_angle_degrees(sun_dir_drawn));
    draw_text(buf, -1, 0, d3d_ht, -1, 1, D3dColor(0xFFFFFFFFu));
  }
  // 7.
  end_draw_text();
}

void check_file_changes()
{
  if (reload_gameobj(false))
    rebind_gameobj_scripts();
  reload_sky_if_changed();
  check_world_script_reload();
}

void on_d3d_resize()
{
  if (gfx_quality == 1)
    create_quarter_targets();
  update_font_scale();
  // The terrain renderer rebuilds its GPU copies in the recreated targets.
  land_render_after_reset();
  if (gameobj_api.spells_ui_after_resize)
    gameobj_api.spells_ui_after_resize();
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
  // 14. The device; from here on the window and input code see its back buffer.
  if (!init_d3d(main_window, width, height))
    fatal("can't create render device (%dx%d)", width, height);
  device_link = {&d3d_wd, &d3d_ht, resize_device};
  // 15.
  if (isFullscreen)
    clip_cursor(true);
  // 16.
  common_vb_writer.init(0x10000);
  init_gpu_load();
  init_font();
  show_splash("Loading...", -1.0f);

  init_systems();

  // 28.
  debug("total start-up time: %d ms", get_time_msec(get_ref_time() - start_time));
  // 29.
  debug("free video memory: %u MB", get_free_texmem() >> 20);
  apply_scripted_start();

  // 30.
  LoopRunStats st = run_main_loop(loop_hooks());
  if (app_options.frame_limit)
    debug("frames: %d, updates: %d, wall time: %d ms, frame time: mean %d us, p95 %d us", st.frames, st.updates,
          get_time_msec(st.wall_ticks), st.mean_frame_us, st.p95_frame_us);

  // 31.
  shutdown_sequence();
  return 0;
}
