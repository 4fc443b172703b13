#include "camera.h"
#include <algorithm>
#include <cmath>
#include "core/globals.h"
#include "device_link.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_host.h"
#include "input.h"
#include "render/device.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "world/heightmap.h"

CameraState camera;

float dev_fly_speed = 5.55f;
float dev_fast_factor = 6.0f;
float dev_mouse_sens = 0.002f;
float dev_max_zoom = 8.0f;
float dev_zoom_rate = 20.0f;
float play_move_speed = 8.0f;
float play_fast_factor = 2.0f;
float play_mouse_sens = 0.002f;
float play_double_tap_time = 0.2f;
float play_turn_roll = 0.2f;
float play_roll_decay = 4.0f;
float menu_fly_speed = 10.0f;

Matrix44 cur_view_itm = Matrix44::identity();
Matrix44 cur_view_tm = Matrix44::identity();
Matrix44 cur_glob_tm = Matrix44::identity();
Matrix44 cur_proj_tm = Matrix44::identity();
vec4f cur_glob_rk = vec4f(0.f);
vec4f cur_frame_color = vec4f(0.f);
vec4f prev_frame_color = vec4f(0.f);
vec4f drawn_frame_color = vec4f(0.f);

void set_camera_pos(vec4f pos)
{
  pos.w = 1.f;
  camera.pos = camera.prev_pos = pos;
}

void reset_fly_control()
{
  camera.zoom = 1.f;
  camera.fwd_tap_timer = camera.back_tap_timer = 0.f;
  camera.dash = 0;
  camera.hspeed = camera.prev_hspeed = 0.f;
  if (local_player)
    local_player->setPos(camera.pos);
  camera.mouse_captured = false;
}

float wrap_coord256(float p)
{
  const float size = float(HMAP_SIZE);
  float q = p / size + 16.f;
  float r = (q - std::trunc(q)) * size;
  // Far outside the sixteen copies the formula leaves [0, size); fold it back.
  if (!(r >= 0.f && r < size))
  {
    r = std::fmod(p, size);
    if (r < 0.f)
      r += size;
    if (!(r >= 0.f && r < size))
      r = 0.f; // NaN or rounding onto size
  }
  return r;
}

float wrap_yaw(float yaw)
{
  if (yaw >= CAMERA_TWO_PI)
    yaw -= CAMERA_TWO_PI;
  else if (yaw <= -CAMERA_TWO_PI)
    yaw += CAMERA_TWO_PI;
  return yaw;
}

float clamp_pitch(float pitch) { return std::clamp(pitch, -CAMERA_PITCH_LIMIT, CAMERA_PITCH_LIMIT); }

Matrix44 calc_camera_tm(const CameraState &c, float t)
{
  const float r = c.prev_roll + (c.roll - c.prev_roll) * t;
  const float sy = std::sin(c.yaw), cy = std::cos(c.yaw);
  const float sp = std::sin(c.pitch), cp = std::cos(c.pitch);
  const vec4f right(cy, 0.f, sy, 0.f);
  const vec4f fwd(-sy * cp, sp, cy * cp, 0.f);
  const vec4f up(sp * sy, cp, -sp * cy, 0.f);
  const float sr = std::sin(r), cr = std::cos(r);
  const vec4f right2 = right * cr - up * sr;
  const vec4f up2 = right * sr + up * cr;

  vec4f d = c.pos - c.prev_pos;
  d.x = wrap_coord(d.x);
  d.z = wrap_coord(d.z);
  vec4f p = c.prev_pos + d * t;
  p.w = 1.f;

  Matrix44 m;
  m.setRow(0, right2);
  m.setRow(1, up2);
  m.setRow(2, fwd);
  m.setRow(3, p);
  return m;
}

void camera_begin_update(float dt)
{
  camera.prev_pos = camera.pos;
  camera.prev_roll = camera.roll;
  camera.prev_hspeed = camera.hspeed;
  camera.prev_zoom = camera.zoom;
  prev_frame_color = cur_frame_color;
  cur_frame_color.w = std::max(0.f, cur_frame_color.w * (1.f - dt / 2.f) - dt / 2.f);
}

// ---------------------------------------------------------------------------------------
// Mouse look

void apply_dev_look(float dx, float dy, float zoom)
{
  camera.yaw = wrap_yaw(camera.yaw - dev_mouse_sens * dx / zoom);
  camera.pitch = clamp_pitch(camera.pitch - dev_mouse_sens * dy / zoom);
}

void apply_play_look(float dx, float dy, float hspeed)
{
  const float f = dx * play_mouse_sens;
  camera.yaw = wrap_yaw(camera.yaw - f);
  camera.pitch = clamp_pitch(camera.pitch - play_mouse_sens * dy);
  camera.roll += f * hspeed * play_turn_roll;
}

static void recentre_mouse()
{
  setMousePos(float(view_width() / 2), float(view_height() / 2));
  camera.mouse_captured = true;
  shouldHideMouse = true;
}

// The mouse offset from the centre of the back buffer.
static void mouse_offset(float &dx, float &dy)
{
  float mx, my;
  getMousePos(mx, my);
  dx = mx - float(view_width()) / 2.f;
  dy = my - float(view_height()) / 2.f;
}

void dev_mouse_look(float t)
{
  const float z = camera.prev_zoom + (camera.zoom - camera.prev_zoom) * t;
  if (isMouseOver() && isAppActive)
  {
    if (camera.mouse_captured)
    {
      float dx, dy;
      mouse_offset(dx, dy);
      apply_dev_look(dx, dy, z > 0.f ? z : 1.f);
    }
    recentre_mouse();
  }
  else
  {
    camera.mouse_captured = false;
    shouldHideMouse = false;
  }
}

void play_mouse_look(float t)
{
  const float s = camera.prev_hspeed + (camera.hspeed - camera.prev_hspeed) * t;
  if (isMouseOver() && isAppActive)
  {
    if (gameobj_call(&GameObjFuncs::update_spells_ui_mouse))
    {
      camera.mouse_captured = false; // the interface has the mouse
      return;
    }
    if (camera.mouse_captured)
    {
      float dx, dy;
      mouse_offset(dx, dy);
      apply_play_look(dx, dy, s);
    }
    recentre_mouse();
  }
  else
  {
    shouldHideMouse = false;
    camera.mouse_captured = false;
  }
}

// ---------------------------------------------------------------------------------------
// Keyboard flight

static int axis(bool neg, bool pos) { return (pos ? 1 : 0) - (neg ? 1 : 0); }

void dev_fly_update(float dt)
{
  const Matrix44 tm = calc_camera_tm(0.f);
  if (isAppActive)
  {
    const int strafe = axis(getKeyState('A') || getKeyState(VK_LEFT), getKeyState('D') || getKeyState(VK_RIGHT));
    const int fwd = axis(getKeyState('S') || getKeyState(VK_DOWN), getKeyState('W') || getKeyState(VK_UP));
    const int rise = axis(getKeyState('C') || getKeyState(VK_NEXT), getKeyState('E') || getKeyState(VK_PRIOR));
    const int world_rise = axis(getKeyState('Z') || getKeyState(VK_END), getKeyState('Q') || getKeyState(VK_HOME));
    float step = dev_fly_speed * dt;
    if (getKeyState(VK_SHIFT))
      step *= dev_fast_factor;
    vec4f p = camera.pos;
    if (strafe)
      p += tm.row(0) * (step * float(strafe));
    if (rise)
      p += tm.row(1) * (step * float(rise));
    if (fwd)
      p += tm.row(2) * (step * float(fwd));
    if (world_rise)
      p.y += step * float(world_rise);
    p.w = 1.f;
    camera.pos = p;
  }
  if (isAppActive && getKeyState(VK_MBUTTON))
    camera.zoom = std::min(camera.zoom + dev_zoom_rate * dt, dev_max_zoom);
  else
    camera.zoom = std::max(camera.zoom - dev_zoom_rate * dt, 1.f);
}

void play_control_update(float dt)
{
  camera.fwd_tap_timer = std::max(0.f, camera.fwd_tap_timer - dt);
  camera.back_tap_timer = std::max(0.f, camera.back_tap_timer - dt);
  camera.roll *= std::max(0.f, 1.f - play_roll_decay * dt);
  if (!isAppActive)
  {
    camera.mouse_captured = false;
    shouldHideMouse = false;
    return;
  }
  const Matrix44 tm = calc_camera_tm(0.f);

  if (keyDown('S') || keyDown(VK_DOWN))
  {
    camera.dash = camera.back_tap_timer > 0.f ? -1 : 0;
    camera.back_tap_timer = play_double_tap_time;
  }
  if (keyDown('W') || keyDown(VK_UP) || keyDown('Z'))
  {
    camera.dash = camera.fwd_tap_timer > 0.f ? 1 : 0;
    camera.fwd_tap_timer = play_double_tap_time;
  }

  const int strafe =
    axis(getKeyState('A') || getKeyState(VK_LEFT) || getKeyState('Q'), getKeyState('D') || getKeyState(VK_RIGHT));
  const int fwd = camera.dash + axis(getKeyState('S') || getKeyState(VK_DOWN),
                                     getKeyState('W') || getKeyState(VK_UP) || getKeyState('Z'));
  const int vert =
    axis(getKeyState('X') || getKeyState('C') || getKeyState(VK_NEXT), getKeyState(VK_SPACE) || getKeyState(VK_PRIOR));

  float speed = play_move_speed * dt;
  if (camera.dash != 0 || getKeyState(VK_SHIFT))
    speed *= play_fast_factor;

  vec4f v = tm.row(0) * float(strafe) + tm.row(2) * float(fwd) + vec4f(0.f, float(vert), 0.f, 0.f);
  v.w = 0.f;
  const float len = length3(v);
  const vec4f move = len > 0.f ? v * (speed / len) : vec4f(0.f);

  if (local_player)
  {
    local_player->move(dt, speed, move, tm, camera.dash);
    set_camera_pos(local_player->getPos());
  }
  camera.hspeed = std::sqrt(move.x * move.x + move.z * move.z);
}

// ---------------------------------------------------------------------------------------
// View

Matrix44 calc_projection(float zoom, float aspect)
{
  const float fov = 1.2915436f / (zoom > 0.f ? zoom : 1.f);
  const float c = 1.f / std::tan(fov / 2.f);
  Matrix44 p{};
  p.m[0][0] = c / aspect;
  p.m[1][1] = c;
  p.m[2][2] = 1.0001954f;
  p.m[2][3] = 1.f;
  p.m[3][2] = -0.10001954f;
  return p;
}

void compute_view(float t, float aspect)
{
  cur_view_itm = calc_camera_tm(t);
  if (!inverse44(cur_view_itm, cur_view_tm))
    cur_view_tm = Matrix44::identity();
  const float zoom = camera.prev_zoom + (camera.zoom - camera.prev_zoom) * t;
  const Matrix44 proj = calc_projection(zoom, aspect > 0.f ? aspect : 1.f);
  cur_glob_tm = cur_view_tm * proj;
  vec4f rk(0.f);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++)
      rk[j] += std::fabs(cur_glob_tm.m[i][j]);
  cur_glob_rk = rk;
  cur_proj_tm = proj;
  drawn_frame_color = prev_frame_color + (cur_frame_color - prev_frame_color) * t;
}

void load_view_consts()
{
  if (!d3d_device_exists())
    return;
  set_view_tm(cur_view_tm);
  set_proj_tm(cur_proj_tm);
  set_vs_consts(VC_GLOB_TM, &cur_glob_tm.m[0][0], VC_GLOB_TM_COUNT);
  set_vs_consts(VC_CAMERA_TM, &cur_view_itm.m[0][0], VC_CAMERA_TM_COUNT);
}
