#pragma once
// The passes of one frame: the scene image, the four general targets T1..T4, the
// quarter-resolution targets, the deferred (high quality) and forward (low quality)
// pipelines, morphological anti-aliasing and the final pass to the back buffer.
//
// Stencil: bit 0 (1) = land, water or objects; bit 1 (2) = the horizon ring; the sky is
// drawn where the stencil is 0.
//
// The frame set-up (the game mode's view set-up) sets, before the scene: set_view_tm,
// set_proj_tm, VC_GLOB_TM = view x projection, VC_CAMERA_TM = the camera matrix (its
// last row, VC_CAMERA_POS, the camera position), and frame_color_drawn. Every register
// and sampler stage the passes share is named in bin/registers.inc
// (render/shader_registers.h).
//
// Everything drawn inside the passes comes through scene_hooks (terrain, objects,
// shadows, effects), so the pipeline runs with any subset of them installed.
#include "core/engine_api.h"
#include "core/matrix44.h"
#include "core/vec4f.h"

struct Texture;

// The default shadow bracket: the mask in the current target is cleared to white, so
// everything is lit.
ENGINE_API void clear_shadow_mask();

struct SceneHooks
{
  // The terrain renderer's start-up and shutdown, inside init_scene_render between the
  // sky and the post-effects, and inside close_scene_render.
  void (*init_terrain)() = [] {};
  void (*close_terrain)() = [] {};
  void (*render_land)() = [] {}; // terrain renderer
  void (*render_water)() = [] {};
  void (*render_horizon)() = [] {};
  void (*render_objects)() = [] {};        // the game-object module's object pass
  void (*render_object_shadows)() = [] {}; // its shadow pass (inside the shadow bracket)
  void (*render_object_debug)() = [] {};   // its debug pass (inside the debug-vis bracket)
  // The shadow bracket: the mask is drawn into the current target (Q1, white = lit).
  void (*start_render_shadows)() = clear_shadow_mask;
  void (*end_render_shadows)() = [] {};
  void (*render_common_fx)() = [] {}; // particles, trails and lightning
};
// The installed hooks; entries are never null. Install a set by assigning a SceneHooks
// (SceneHooks{} is the pipeline alone) or replace single entries.
extern ENGINE_API SceneHooks scene_hooks;

// The tint laid over the finished frame (rgb, a = opacity), written by the frame set-up
// (interpolated towards cur_game_mode's frame colour) and applied by the final pass.
extern ENGINE_API vec4f frame_color_drawn;

// Start-up after the device and the fonts: scene image, at high quality the quarter
// targets and the deferred shaders, then init_sky, scene_hooks.init_terrain, init_postfx
// and init_debug_vis.
ENGINE_API void init_scene_render();
ENGINE_API void close_scene_render();
// Q1..Q4 at a quarter of the screen; also after every resize.
ENGINE_API void create_quarter_targets();
ENGINE_API void init_postfx();
ENGINE_API void close_postfx();

// The pipelines; camera is the camera's world matrix (the inverse of the view matrix).
ENGINE_API void render_scene_deferred(const Matrix44 &camera, float time, float dt, float far_plane = 512.f);
ENGINE_API void render_scene_forward(float time, float dt);
// Anti-aliases the scene image; afterwards get_scene_image() is another texture.
ENGINE_API void render_mlaa();
// MLAA when use_ppaa, then the final pass onto the back buffer.
ENGINE_API void draw_final_image();

// The current scene image (changes with every MLAA pass: fetch it each frame).
ENGINE_API Texture *get_scene_image();
// General targets T1..T4 (index 1..4) and quarter targets Q1..Q4; null when absent.
ENGINE_API Texture *get_scene_target(int index);
ENGINE_API Texture *get_quarter_target(int index);
// The effects target (A16B16G16R16F), only where that format blends; else null.
ENGINE_API Texture *get_effects_target();
// The view depth of the frame being drawn (T4, packed as gbuffer.inc says), valid from
// the deferred pipeline's geometry pass until draw_final_image (MLAA reuses the target);
// null after the forward pipeline.
ENGINE_API Texture *get_scene_depth();
