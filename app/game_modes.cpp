#include "game_modes.h"
#include <algorithm>
#include <cmath>
#include "camera.h"
#include "core/angles.h"
#include "core/clock.h"
#include "core/globals.h"
#include "device_link.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_host.h"
#include "input.h"
#include "main_loop.h"
#include "render/common_fx.h"
#include "render/device.h"
#include "render/screenshot.h"
#include "scene_links.h"
#include "script/fx_script.h"
#include "script/world_script.h"
#include "settings.h"
#include "world/heightmap.h"
#include "world/noise.h"

static MainMenuMode main_menu_mode_inst;
static PlayGameMode play_mode_inst;
static DevGameMode dev_mode_inst;
static GameMenuMode game_menu_mode_inst;

MainMenuMode *main_menu_mode = &main_menu_mode_inst;
PlayGameMode *play_mode = &play_mode_inst;
DevGameMode *dev_mode = &dev_mode_inst;
GameMenuMode *game_menu_mode = &game_menu_mode_inst;

MenuFlightState menu_flight = {};

const char *const dev_help_text =
  "F1: show/hide this\nF9: game/dev mode\nWASD/arrows: move\nShift: move faster\nF5: toggle post-effect\n"
  "F6: toggle anti-aliasing\nRight mouse: set sun position\nG: generate new world\nH: add water everywhere\n"
  "R: erode land\nCtrl-M: toggle monsters\nPrintScreen: screenshot\nAlt-Enter: toggle fullscreen\nAlt-F4: quit\n";

const char *const play_help_text =
  "F1: show/hide this\nF9: game/dev mode\nWASD/arrows: move\ndouble-tap forward or backward: dash\n"
  "Space/PgUp: move up\nX/C/PgDn: move down\nhold Ctrl: select spells\nLMB/RMB: fire assigned spell\n"
  "Ctrl-G: generate new world\nCtrl-M: toggle monsters\nCtrl-N: mana cheat\nCtrl-...: other dev-mode keys\n"
  "PrintScreen: screenshot\nAlt-Enter: toggle fullscreen\nAlt-F4: quit\n";

const char *cur_help_text() { return cur_game_mode == dev_mode ? dev_help_text : play_help_text; }

int sun_angle_degrees(vec4f sun_dir)
{
  const float y = std::clamp(sun_dir.y, -1.f, 1.f);
  return int(std::lround(std::acos(y) * RAD_TO_DEG));
}

void go_to_main_menu()
{
  generate_world("main_menu");
  set_game_mode(main_menu_mode);
}

// ---------------------------------------------------------------------------------------
// Keys

void erode_land_from_key()
{
  HeightmapData::ErosionParams p;
  p.Kq = 0.1f;
  p.Kw = 0.001f;
  p.Kr = 0.9f;
  p.Kd = 0.9f;
  p.Ki = 0.1f;
  p.minSlope = 0.05f;
  p.g = 20.0f;
  p.depositBlend = 2.0f;
  p.reactionTime = 100.0f;
  HeightmapData::genDropletErosion(92160, p);
  p.reactions.release();
  // The eroded heights become the target: the land morphs into them.
  std::swap_ranges(HeightmapData::hmap, HeightmapData::hmap + HMAP_CELLS, HeightmapData::target_hmap);
  request_land_refresh();
  reset_update_time();
}

void handle_dev_keys()
{
  const bool ctrl = getKeyState(VK_CONTROL);
  if (cur_game_mode == dev_mode || ctrl)
  {
    if (keyDown('G'))
      generate_world(cur_game_mode == main_menu_mode ? "main_menu" : "game");
    if (keyDown('H'))
      HeightmapData::addWater(1.0f);
    if (keyDown('R'))
      erode_land_from_key();
  }
  if (ctrl)
  {
    if (keyDown('M'))
      gameobj_call(&GameObjFuncs::toggle_monster_spawn);
    if (keyDown('N'))
      gameobj_call(&GameObjFuncs::toggle_mana_cheat);
    if (keyDown(VK_F12))
    {
      set_game_mode(game_menu_mode);
      gameobj_call(&GameObjFuncs::open_cheat_menu);
    }
  }
}

void handle_common_keys()
{
  if (!isAppActive)
    return;
  if (keyUp(VK_SNAPSHOT))
    take_screenshot();
  if (keyDown(VK_F1))
    show_fps = !show_fps;
  if (keyDown(VK_F5))
  {
    if (getKeyState(VK_SHIFT))
      land_shadow_quality = land_shadow_quality >= 2 ? 0 : land_shadow_quality + 1;
    else
      use_postfx = !use_postfx;
  }
  if (keyDown(VK_F6))
    use_ppaa = !use_ppaa;
  GameMode *const mode = cur_game_mode;
  if (keyDown(VK_F9))
    set_game_mode(mode == dev_mode ? static_cast<GameMode *>(play_mode) : dev_mode);
  if (keyDown(VK_ESCAPE) && cur_game_mode != main_menu_mode)
    set_game_mode(game_menu_mode);
  handle_dev_keys();
}

// ---------------------------------------------------------------------------------------
// Shared steps

void world_step(float dt)
{
  update_land_render(dt, cur_view_itm.row(3));
  HeightmapData::updateHmap(dt);
  HeightmapData::simWater(dt);
  update_common_fx(dt);
  update_fx_script(dt);
  gameobj_call(&GameObjFuncs::update_gameobj, dt);
}

static float scene_time()
{
  static const int64_t t0 = get_ref_time();
  return get_time_sec(get_ref_time() - t0);
}

void setup_view_and_draw(float dt)
{
  const float t = update_fraction(dt);
  const float aspect = view_height() > 0 ? float(view_width()) / float(view_height()) : 1.f;
  compute_view(t, aspect);
  update_sky(t);
  prepare_land_render({cur_view_itm, cur_glob_tm}, dt);
  frame_color_drawn = drawn_frame_color;
  load_view_consts();
  if (!d3d_device_exists())
    return;
  if (gfx_quality == GFX_QUALITY_HIGH)
    render_scene_deferred(cur_view_itm, scene_time(), dt, 512.f);
  else
    render_scene_forward(scene_time(), dt);
}

// ---------------------------------------------------------------------------------------
// Main menu: an automatic flight over the island behind the module's menu

void MainMenuMode::onEnter(GameMode *)
{
  const vec4f e = HeightmapData::calcSquareDepth(vec4f(0.f, -5.f, 0.f, 1.f), 5.f, true);
  set_camera_pos(vec4f(0.f, e.y, 0.f, 1.f));
  camera.yaw = camera.pitch = camera.roll = camera.prev_roll = 0.f;
  menu_flight = {};
  gameobj_call(&GameObjFuncs::open_main_menu);
}

void MainMenuMode::onLeave(GameMode *) { gameobj_call(&GameObjFuncs::close_game_menu, this); }

void MainMenuMode::update(float dt)
{
  MenuFlightState &f = menu_flight;
  camera_begin_update(dt);
  f.prev_yaw_target = f.yaw_target;
  camera.yaw = f.yaw_target;
  f.prev_pitch_target = f.pitch_target;
  camera.pitch = f.pitch_target;
  f.time += dt;
  handle_common_keys();
  if (cur_game_mode != this)
    return;

  const Matrix44 tm = calc_camera_tm(0.f);
  const vec4f fwd = tm.row(2);
  camera.pos += fwd * (menu_fly_speed * dt);
  camera.pos.w = 1.f;

  // Turns: a few octaves of noise over the flight time.
  const float T = f.time * 0.1f;
  float n = noise1(T), x = 2.f * T + 0.5f, a = 0.5f;
  for (int i = 0; i < 5; i++)
  {
    n += a * noise1(x);
    a *= 0.5f;
    x = 2.f * x + 0.5f;
  }
  float yaw_in = 0.04f * n;

  // Look ahead: climb over what rises in front, sink toward what falls away.
  const vec4f L = fwd * 10.f;
  float d = HeightmapData::calcSquareDepth(camera.pos + L - vec4f(0.f, 5.f, 0.f, 0.f), 10.f, true).x;
  float pitch_in = 0.f;
  if (d > 0.f || d < -10.f)
  {
    d = std::max(d, -10.f);
    pitch_in = std::atan2(d + L.y, 10.f) - camera.pitch;
  }

  const float c = dt * 0.5f;
  pitch_in = std::clamp(pitch_in, -c, c);
  f.pitch_rate += (pitch_in - f.pitch_rate) * 0.2f;
  f.pitch_target += f.pitch_rate;
  yaw_in = std::clamp(yaw_in, -c, c);
  f.yaw_rate += (yaw_in - f.yaw_rate) * 0.2f;
  f.yaw_target += f.yaw_rate;
  camera.roll = -10.f * f.yaw_rate;

  // Never into the ground.
  const vec4f e = HeightmapData::calcSquareDepth(camera.pos - vec4f(0.f, 0.5f, 0.f, 0.f), 0.5f, true);
  if (e.x > 0.f || e.y > 0.f || e.z > 0.f || e.w > 0.f)
    camera.pos.y += e.y;

  camera.pos.x = wrap_coord256(camera.pos.x);
  camera.pos.z = wrap_coord256(camera.pos.z);

  cur_view_itm = calc_camera_tm(update_fraction(dt));
  gameobj_call(&GameObjFuncs::update_game_menu, dt);
  request_land_refresh();
  step_sky();
  world_step(dt);

  if (should_close_game_menu)
  {
    generate_world("game");
    set_game_mode(play_mode);
  }
}

void MainMenuMode::render(float dt)
{
  const float t = update_fraction(dt);
  camera.yaw = menu_flight.prev_yaw_target + (menu_flight.yaw_target - menu_flight.prev_yaw_target) * t;
  camera.pitch = menu_flight.prev_pitch_target + (menu_flight.pitch_target - menu_flight.prev_pitch_target) * t;
  setup_view_and_draw(dt);
}

void MainMenuMode::renderOverlay(float dt) { gameobj_call(&GameObjFuncs::draw_game_menu, this, dt); }

// ---------------------------------------------------------------------------------------
// Play: the local player under keyboard and mouse, the camera follows

void PlayGameMode::onEnter(GameMode *) { reset_fly_control(); }

void PlayGameMode::update(float dt)
{
  camera_begin_update(dt);
  play_control_update(dt);
  cur_view_itm = calc_camera_tm(update_fraction(dt));
  handle_common_keys();
  step_sky();
  world_step(dt);
  gameobj_call(&GameObjFuncs::update_spells_ui, dt);
}

void PlayGameMode::render(float dt)
{
  play_mouse_look(update_fraction(dt));
  setup_view_and_draw(dt);
}

void PlayGameMode::renderOverlay(float dt) { gameobj_call(&GameObjFuncs::draw_spells_ui, this, dt); }

// ---------------------------------------------------------------------------------------
// Development: free fly camera with zoom, sun placement and the terrain keys

void DevGameMode::onEnter(GameMode *)
{
  camera.roll = 0.f;
  camera.mouse_captured = false;
}

void DevGameMode::update(float dt)
{
  camera_begin_update(dt);
  dev_fly_update(dt);
  cur_view_itm = calc_camera_tm(update_fraction(dt));
  handle_common_keys();
  step_sky();
  if (cur_game_mode == this && isAppActive && getKeyState(VK_RBUTTON))
    set_sun_dir(cur_view_itm.row(2), true);
  world_step(dt);
}

void DevGameMode::render(float dt)
{
  dev_mouse_look(update_fraction(dt));
  setup_view_and_draw(dt);
}

void DevGameMode::renderOverlay(float) {}

// ---------------------------------------------------------------------------------------
// In-game menu: the world stands still behind the module's menu

void GameMenuMode::onEnter(GameMode *prev)
{
  returnMode = prev;
  gameobj_call(&GameObjFuncs::open_game_menu, this);
}

void GameMenuMode::onLeave(GameMode *) { gameobj_call(&GameObjFuncs::close_game_menu, this); }

void GameMenuMode::update(float dt)
{
  camera_begin_update(dt);
  handle_common_keys();
  if (cur_game_mode != this)
    return; // F9 or a key of the module left the menu already
  cur_view_itm = calc_camera_tm(update_fraction(dt));
  gameobj_call(&GameObjFuncs::update_game_menu, dt);
  request_land_refresh();
  if (should_close_game_menu)
    set_game_mode(returnMode ? returnMode : static_cast<GameMode *>(play_mode));
}

void GameMenuMode::render(float) { setup_view_and_draw(1.f / float(UPDATE_RATE)); }

void GameMenuMode::renderOverlay(float dt) { gameobj_call(&GameObjFuncs::draw_game_menu, this, dt); }
