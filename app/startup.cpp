#include "startup.h"
#include <SDL2/SDL.h>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <unistd.h>
#include "autoplay.h"
#include "camera.h"
#include "core/angles.h"
#include "core/clock.h"
#include "core/frame_stats.h"
#include "core/globals.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/scripted_casts.h"
#include "core/paths.h"
#include "core/splash.h"
#include "device_link.h"
#include "fx_preview.h"
#include "game_mode.h"
#include "game_modes.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_host.h"
#include "gpu_load.h"
#include "gui_setup.h"
#include "input.h"
#include "main_loop.h"
#include "quit_signals.h"
#include "replay_session.h"
#include "render/buffers.h"
#include "render/common_fx.h"
#include "render/debug_vis.h"
#include "render/device.h"
#include "render/inst_render.h"
#include "render/screenshot.h"
#include "render/shaders.h"
#include "render/shadow_balls.h"
#include "scene_links.h"
#include "script/fx_script.h"
#include "script/world_hooks.h"
#include "script/world_script.h"
#include "settings.h"
#include "ui/stats_overlay.h"
#include "ui/text.h"
#include "window.h"
#include "world_export_at.h"
#include "world/land_tools.h"

static void once_per_second()
{
  reload_shaders(false);
  check_file_changes();
  // A freed peak of play (a flight over the whole island, a burst of effects) would stay
  // resident for the rest of the run; every 20 s the heap's free pages go back.
  static int seconds = 0;
  if (++seconds % 20 == 0)
    release_free_heap();
}

// Scripted runs: key presses, clicks, mouse moves and held keys at given updates, GUI
// listings after given updates, screenshots after given frames.
static int updates_run = 0, frames_drawn = 0;

static void scripted_input()
{
  for (int i = 0; i < app_options.press_count; i++)
  {
    const AppOptions::KeyPress &p = app_options.presses[i];
    if (p.update != updates_run)
      continue;
    for (int m : {p.ctrl ? VK_CONTROL : 0, p.shift ? VK_SHIFT : 0, p.alt ? VK_MENU : 0})
      if (m)
        set_key_held(m, true);
    set_key_held(p.key, true);
    post_input_event(IEV_KEY_DOWN, p.key, 0, 0, 0.f, 0.f);
    set_key_held(p.key, false);
    post_input_event(IEV_KEY_UP, p.key, 0, 0, 0.f, 0.f);
  }
  float mx, my;
  getMousePos(mx, my);
  for (int i = 0; i < app_options.hover_count; i++)
    if (app_options.hovers[i].update == updates_run)
    {
      mx = app_options.hovers[i].x, my = app_options.hovers[i].y;
      post_input_event(IEV_MOUSE_MOVE, 0, 0, 0, mx, my);
    }
  for (int i = 0; i < app_options.hold_count; i++)
  {
    const AppOptions::Hold &h = app_options.holds[i];
    if (h.from != updates_run && h.to != updates_run)
      continue;
    const bool down = h.from == updates_run;
    set_key_held(h.key, down);
    if (h.key == VK_LBUTTON || h.key == VK_RBUTTON)
      post_input_event(down ? IEV_MOUSE_DOWN : IEV_MOUSE_UP, h.key, 0, 0, mx, my);
    else
      post_input_event(down ? IEV_KEY_DOWN : IEV_KEY_UP, h.key, 0, 0, 0.f, 0.f);
  }
  for (int i = 0; i < app_options.click_count; i++)
  {
    const AppOptions::Click &c = app_options.clicks[i];
    if (c.update != updates_run)
      continue;
    post_input_event(IEV_MOUSE_MOVE, 0, 0, 0, c.x, c.y);
    set_key_held(c.button, true);
    post_input_event(IEV_MOUSE_DOWN, c.button, 0, 0, c.x, c.y);
    set_key_held(c.button, false);
    post_input_event(IEV_MOUSE_UP, c.button, 0, 0, c.x, c.y);
  }
}

static void scripted_update(float dt)
{
  updates_run++;
  scripted_update_number = updates_run;
  record_replay_pump();
  scripted_input();
  autoplay_update(); // before the recorder reads the input, so a recorded autoplay replays
  record_replay_input(updates_run);
  update_game(dt);
  for (int i = 0; i < app_options.press_count; i++)
  {
    const AppOptions::KeyPress &p = app_options.presses[i];
    if (p.update == updates_run)
      for (int m : {p.ctrl ? VK_CONTROL : 0, p.shift ? VK_SHIFT : 0, p.alt ? VK_MENU : 0})
        if (m)
          set_key_held(m, false);
  }
  for (int i = 0; i < app_options.gui_dump_count; i++)
    if (app_options.gui_dump_at[i] == updates_run)
      dump_active_gui_screen(updates_run);
  run_fx_previews(updates_run);
  run_world_export_at(updates_run);
  record_replay_after_update(updates_run);
  if (updates_run == app_options.update_limit)
    request_quit();
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
    autoplay_frame_drawn();
  }
  return drawn;
}

// -play, -dev, -sun, -cam after start-up.
static void apply_scripted_start()
{
  if (app_options.start_play)
  {
    // A new game world; without -cam the player starts 12 above the land (at least 20
    // above the sea) in the south of the island, looking north across its middle.
    generate_world("game");
    if (!app_options.cam_given)
    {
      const int mid = HMAP_SIZE / 2, south = 56;
      const float ground = HeightmapData::height(mid, south) + HeightmapData::waterAt(mid, south).depth;
      set_camera_pos(vec4f(float(mid), std::max(ground + 12.f, 20.f), float(south), 1.f));
      camera.yaw = 0.f;
      camera.pitch = clamp_pitch(-15.f * float(DEG_TO_RAD));
    }
  }
  if (app_options.start_dev)
  {
    set_game_mode(dev_mode);
    // The menu flight starts at the water line of the map's corner; a scripted start
    // without -cam begins 60 above the south of the map, looking north at its middle.
    if (!app_options.cam_given)
    {
      const int mid = HMAP_SIZE / 2, south = 20;
      const float ground = HeightmapData::height(mid, south) + HeightmapData::waterAt(mid, south).depth;
      set_camera_pos(vec4f(float(mid), std::max(ground, 0.f) + 60.f, float(south), 1.f));
      camera.yaw = 0.f;
      camera.pitch = clamp_pitch(-25.f * float(DEG_TO_RAD));
    }
  }
  if (app_options.cam_given)
  {
    set_camera_pos(vec4f(app_options.cam[0], app_options.cam[1], app_options.cam[2], 1.f));
    camera.yaw = wrap_yaw(app_options.cam[3] * float(DEG_TO_RAD));
    camera.pitch = clamp_pitch(app_options.cam[4] * float(DEG_TO_RAD));
  }
  // Entering play puts the player where the camera is.
  if (app_options.start_play && !app_options.start_dev)
    set_game_mode(play_mode);
  if (app_options.sun_given)
  {
    const float a = app_options.sun_angle * float(DEG_TO_RAD);
    set_sun_dir(vec4f(0.f, std::cos(a), std::sin(a), 0.f), false);
  }
}

static void resize_device(int w, int h, bool fullscreen, bool force) { resize_d3d(w, h, fullscreen, force); }

static LoopHooks loop_hooks()
{
  LoopHooks h;
  // A recorded or replayed session reads its input in the update only (record_replay_pump).
  h.process_messages = record_replay_active() ? process_quit_messages : process_window_messages;
  const bool scripted = app_options.press_count || app_options.click_count || app_options.gui_dump_count ||
                        app_options.hover_count || app_options.hold_count || app_options.update_limit ||
                        app_options.fx_preview_count || scripted_cast_count ||
                        app_options.export_at_dir || record_replay_active() || autoplay_running();
  h.update = scripted ? scripted_update : update_game;
  h.check_device = check_d3d_device;
  h.render_frame = app_options.screenshot_count || app_options.autoplay_shots ? scripted_render : render_d3d_frame;
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
  WorldHooks h;
  h.bind_gameobj = [](HSQUIRRELVM vm) { gameobj_call(&GameObjFuncs::bind_gameobj, vm); };
  h.get_land_height = [](float x, float z) {
    return gameobj_call_or(hmap_land_height(x, z), &GameObjFuncs::get_land_height, x, z);
  };
  h.remove_all_gameobj = [] { gameobj_call(&GameObjFuncs::remove_all_gameobj); };
  h.local_player_world_removed = [] {
    if (local_player)
      local_player->onWorldRemoved();
  };
  h.local_player_world_generated = [] {
    if (local_player)
      local_player->onWorldGenerated();
  };
  // The sky, the particles, the terrain renderer and the loop.
  h.set_sun_dir = [](vec4f dir) { set_sun_dir(dir, false); };
  h.reset_common_fx = reset_common_fx;
  h.refresh_terrain = [] { request_land_refresh(); };
  h.reset_update_time = reset_update_time;
  // A recorded session must play again the same: no clock in the random state.
  if (record_replay_active())
    h.fresh_seed = [] { return uint64_t(game_rnd_seed * 0x9E3779B97F4A7C15ull + 0xD1B54A32D192ED03ull); };
  world_hooks = h;
}

// Where the effects script's particles go.
static void install_fx_script_hooks()
{
  FxScriptHooks h;
  h.add_blend_particle = add_blend_particle;
  h.add_glow_particle = add_glow_particle;
  h.add_lightning_fx = add_lightning_fx;
  h.reset_common_fx = reset_common_fx;
  fx_script_hooks = h;
}

// ---------------------------------------------------------------------------------------
// Start-up, second half: everything after the device and the font

// What the scene pipeline draws inside its passes.
void install_scene_hooks()
{
  SceneHooks h = scene_hooks;
  h.init_terrain = init_land_render;
  h.close_terrain = close_land_render;
  h.render_land = render_land;
  h.render_water = render_water_prepared;
  h.render_horizon = render_horizon;
  // The module's passes (nothing while no module is bound).
  h.render_objects = [] { gameobj_call(&GameObjFuncs::render_gameobj); };
  h.render_object_shadows = [] { gameobj_call(&GameObjFuncs::render_gameobj_shadow); };
  h.render_object_debug = [] { gameobj_call(&GameObjFuncs::render_debug_vis_gameobj); };
  h.start_render_shadows = start_render_shadows;
  h.end_render_shadows = end_render_shadows;
  // Particles, trails and lightning, interpolated to the time since the last update.
  h.render_common_fx = [] { render_common_fx(time_dt, time_ik); };
  scene_hooks = h;
  land_hooks.render_building = [](const HeightmapData::Surface *surface, int x, int z) {
    gameobj_call(&GameObjFuncs::render_building, surface, x, z);
  };
}

DeviceHooks shell_device_hooks()
{
  DeviceHooks h;
  h.draw_frame = draw_frame;
  h.on_resize = on_d3d_resize;
  h.draw_splash = draw_splash;
  return h;
}

void init_systems()
{
  set_update_rate(UPDATE_RATE, 5);
  // The scene pipeline: the quality's log line, the scene image, at high quality the
  // quarter targets and the deferred shaders, then the sky, the terrain renderer, the
  // post-effects and the debug drawing.
  install_scene_hooks();
  init_scene_render();
  // World generation reaches the module, the sky and the terrain renderer.
  install_world_hooks();

  debug("game_rnd_seed=%" PRIu64 ";", game_rnd_seed);
  // The mouse starts in the middle of the window.
  setMousePos(float(d3d_wd / 2), float(d3d_ht / 2));

  // The game-object host loads and binds the module.
  start_gameobj_host("../compiler/", "main.ls");
  // The module's renderers, the shared effects and their script, the shadows (high
  // quality), then the module's interface.
  gameobj_call(&GameObjFuncs::init_inst_render);
  init_common_fx();
  install_fx_script_hooks();
  init_fx_script();
  if (gfx_quality == GFX_QUALITY_HIGH)
    init_shadows();
  gameobj_call(&GameObjFuncs::init_new_gui);
  gameobj_call(&GameObjFuncs::init_spells_ui);
  gameobj_call(&GameObjFuncs::init_gameobj);
  // The world-generation script VM, reaching the module through the hooks.
  init_world_script();
  gameobj_host_hooks.script_guard = world_script_guard;
  // The main menu over its world, the camera on the module's player if it made one.
  go_to_main_menu();
  if (local_player)
    set_camera_pos(local_player->getPos());
}

// ---------------------------------------------------------------------------------------
// Shutdown

void close_systems()
{
  // In this order; each is a no-op for a subsystem that never started.
  gameobj_call(&GameObjFuncs::remove_all_gameobj);
  gameobj_host_hooks.script_guard = GameObjHostHooks().script_guard;
  close_world_script();
  gameobj_call(&GameObjFuncs::close_spells_ui);
  gameobj_call(&GameObjFuncs::close_gameobj);
  close_fx_script();
  close_common_fx();
  stop_gameobj_host();
  close_shadows();
  close_inst_renders();
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
  debug("closing...");
  close_systems();
  close_gui_systems(); // the GUI's drawers, then the font
  close_font();
  if (!common_vb_writer.startPtr)
    common_vb_writer.close(); // a writer still running is left to the device's end
  close_gpu_load();
  close_d3d(); // the window goes after the device
  close_platform();
  clear_input();
  debug("closed all systems");
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
  // The mode's scene, the final image with its post-effects, the mode's overlay.
  if (cur_game_mode)
    cur_game_mode->render(dt);
  draw_final_image();
  if (cur_game_mode)
    cur_game_mode->renderOverlay(dt);
  // Then text: the error strip, help and statistics or the hint.
  start_draw_text();
  draw_error_message();
  if (show_fps)
  {
    draw_help_text(cur_help_text());
    draw_stats_overlay(frame_stats, get_update_period());
  }
  else
    draw_help_hint();
  // The sun's angle while the development camera places it.
  if (cur_game_mode == dev_mode && getKeyState(VK_RBUTTON))
  {
    char buf[16];
    snprintf(buf, sizeof(buf), "%3d", sun_angle_degrees(sun_dir_drawn));
    draw_text(buf, -1, 0, d3d_ht, -1, 1, D3dColor(0xFFFFFFFFu));
  }
  end_draw_text();
}

void check_file_changes()
{
  // A swap keeps every object: the count before and after says so in the log.
  const int objects = GameObj_list.size();
  if (reload_gameobj(false))
  {
    debug("gameobj swap: %d objects before, %d after", objects, GameObj_list.size());
    rebind_gameobj_scripts();
  }
  reload_sky_if_changed();
  check_world_script_reload();
  check_fx_script_reload();
}

void on_d3d_resize()
{
  if (gfx_quality == GFX_QUALITY_HIGH)
    create_quarter_targets();
  update_font_scale();
  // The terrain renderer rebuilds its GPU copies in the recreated targets.
  land_render_after_reset();
  gameobj_call(&GameObjFuncs::spells_ui_after_resize);
}

// ---------------------------------------------------------------------------------------
// The entry

int app_main(int argc, char **argv)
{
  for (int i = 1; i < argc; i++)
    if (strcmp(argv[i], "-help") == 0)
    {
      print_help();
      return 0;
    }

  set_fatal_shutdown(shutdown_sequence);
  install_quit_signals(QUIT_SIGNAL_GRACE_MS);

  // The program directory, then the clock: its frequency is fixed; the seed comes from it
  // unless -seed overrides it.
  if (!get_exe_path(app_path, sizeof(app_path)))
    app_path[0] = 0;
  debug("app path: '%s'", app_path);
  game_rnd_seed = uint64_t(get_ref_time());
  set_update_rate(UPDATE_RATE, 5);
  const int64_t start_time = get_ref_time();

  // Stored settings, then the switches (each malformed one logged once).
  parse_options(argc, argv);
  if (app_options.seed_given)
    game_rnd_seed = app_options.seed;
  // -export-world builds a world and writes it out without a window or device.
  if (app_options.export_world_dir)
    return export_world(app_options.export_world_dir);
  // -record and -replay: the recorded seed, size and switches take their places now.
  if (!begin_record_replay())
    return 1;

  if (!init_platform())
    return 1;
  set_frame_limit(app_options.frame_limit);
  set_lockstep(app_options.lockstep);
  isFullscreen = app_options.fullscreen;

  // The window, then input.
  int width = app_options.width, height = app_options.height;
  if (!create_main_window(isFullscreen, width, height))
    fatal("can't create window: %s", SDL_GetError());

  init_input(main_window);
  // The device; from here on the window and input code see its back buffer.
  if (!init_d3d(main_window, width, height, shell_device_hooks()))
    fatal("can't create render device (%dx%d)", width, height);
  device_link = {&d3d_wd, &d3d_ht, resize_device};
  if (isFullscreen)
    clip_cursor(true);
  // The shared vertex writer, the GPU-load query, the font and the first splash.
  common_vb_writer.init(0x10000);
  init_gpu_load();
  init_font();
  splash_hooks.show = show_splash;
  show_splash("Loading...", -1.0f);
  init_gui_systems();

  init_systems();

  debug("total start-up time: %d ms", get_time_msec(get_ref_time() - start_time));
  debug("free video memory: %u MB", get_free_texmem() >> 20);
  apply_scripted_start();
  record_replay_started();
  if (app_options.autoplay)
    start_autoplay(app_options.autoplay_seed, app_options.autoplay_shots);

  LoopRunStats st = run_main_loop(loop_hooks());
  finish_autoplay();
  if (app_options.frame_limit)
    debug("frames: %d, updates: %d, wall time: %d ms, frame time: mean %d us, p95 %d us", st.frames, st.updates,
          get_time_msec(st.wall_ticks), st.mean_frame_us, st.p95_frame_us);
  const int rc = finish_record_replay(st.updates);

  shutdown_sequence();
  return rc;
}
