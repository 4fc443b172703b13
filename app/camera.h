#pragma once
#include "core/engine_api.h"
#include "core/matrix44.h"
#include "core/vec4f.h"

// The fly camera shared by every game mode: its state after the latest two simulation
// steps, the interpolated matrix between them, mouse look and keyboard flight.
// The world wraps every 256 units in x and z; positions stay in [0, 256) there.

struct CameraState
{
  vec4f pos = vec4f(0.f, 0.f, 0.f, 1.f);      // after the latest update
  vec4f prev_pos = vec4f(0.f, 0.f, 0.f, 1.f); // after the update before
  float yaw = 0.f;                            // radians, wrapped into (-2pi, 2pi)
  float pitch = 0.f;                          // radians, clamped to +-pi/2
  float roll = 0.f, prev_roll = 0.f;
  float zoom = 1.f, prev_zoom = 1.f;               // divides the field of view and the mouse sensitivity
  float fwd_tap_timer = 0.f, back_tap_timer = 0.f; // seconds left for a dash's second tap
  int dash = 0;                                    // +1 forward, -1 backward, 0 none
  float hspeed = 0.f, prev_hspeed = 0.f;           // horizontal length of the play move
  bool mouse_captured = false;                     // the previous mouse-look call recentred the mouse
};
extern ENGINE_API CameraState camera;

// Tuning (globals so that the module and a console can adjust them).
extern ENGINE_API float dev_fly_speed;   // units per second
extern ENGINE_API float dev_fast_factor; // with Shift
extern ENGINE_API float dev_mouse_sens;  // radians per pixel, divided by zoom
extern ENGINE_API float dev_max_zoom;
extern ENGINE_API float dev_zoom_rate;        // per second
extern ENGINE_API float play_move_speed;      // units per second
extern ENGINE_API float play_fast_factor;     // with Shift or while dashing
extern ENGINE_API float play_mouse_sens;      // radians per pixel
extern ENGINE_API float play_double_tap_time; // seconds
extern ENGINE_API float play_turn_roll;       // roll per radian of turn and unit of speed
extern ENGINE_API float play_roll_decay;      // per second
extern ENGINE_API float menu_fly_speed;       // units per second

constexpr float CAMERA_PITCH_LIMIT = 1.5707964f;
constexpr float CAMERA_TWO_PI = 6.2831855f;

// The view results of the frame set-up.
extern ENGINE_API Matrix44 cur_view_itm; // the camera's world matrix
extern ENGINE_API Matrix44 cur_view_tm;  // its inverse
extern ENGINE_API Matrix44 cur_glob_tm;  // view x projection
extern ENGINE_API Matrix44 cur_proj_tm;  // the projection alone
extern ENGINE_API vec4f cur_glob_rk;     // sum of |rows 0..2| of cur_glob_tm, per component
extern ENGINE_API vec4f cur_frame_color; // full-screen tint, w = opacity
// The tint of the step before (for interpolation) and the one drawn this frame.
extern vec4f prev_frame_color;
extern ENGINE_API vec4f drawn_frame_color;

// Sets position and previous position: no interpolated movement into it.
ENGINE_API void set_camera_pos(vec4f pos);
// Zoom 1, tap timers, dash and speeds 0, the local player at the camera, mouse released.
ENGINE_API void reset_fly_control();

// A coordinate brought into [0, 256).
float wrap_coord256(float p);
// Yaw wrapped once by 2pi when it reaches +-2pi; pitch clamped to +-pi/2.
float wrap_yaw(float yaw);
float clamp_pitch(float pitch);

// The camera's world matrix at interpolation time t (0 = previous step, 1 = latest):
// rows right', up', forward, position. Yaw and pitch are taken as they are.
Matrix44 calc_camera_tm(const CameraState &c, float t);
inline Matrix44 calc_camera_tm(float t) { return calc_camera_tm(camera, t); }

// Start of every mode update: the previous state becomes the latest, the tint fades.
void camera_begin_update(float dt);

// Mouse look, once per drawn frame (t = interpolation time).
void dev_mouse_look(float t);
void play_mouse_look(float t);
// The same turn from a mouse offset against the centre, for the two modes.
void apply_dev_look(float dx, float dy, float zoom);
void apply_play_look(float dx, float dy, float hspeed);

// Keyboard flight in the development mode, one step.
void dev_fly_update(float dt);
// Player control in the play mode, one step.
void play_control_update(float dt);

// The left-handed projection of the view set-up: fov divided by zoom, near 0.1, far 512.
Matrix44 calc_projection(float zoom, float aspect);
// cur_view_itm / cur_view_tm / cur_proj_tm / cur_glob_tm / cur_glob_rk and the drawn
// tint for time t and the aspect.
void compute_view(float t, float aspect);
// The device's view and projection, VC_GLOB_TM (cur_glob_tm) and VC_CAMERA_TM
// (cur_view_itm); nothing without a device.
void load_view_consts();
