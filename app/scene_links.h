#pragma once
// The renderer's frame operations as the shell calls them: the sky, the terrain and
// water renderer and the scene pipeline. Declared weak so that the shell still links
// (and draws nothing of the scene) in a build without them; every call site checks.
#include "app/matrix44.h"
#include "app/vec4f.h"

#define ZWEAK __attribute__((weak))

// Sky
ZWEAK void set_sun_dir(vec4f dir, bool smooth);
ZWEAK void step_sky();
ZWEAK void update_sky(float t);
ZWEAK void reload_sky_if_changed();
ZWEAK void close_sky();
extern vec4f sun_dir_drawn ZWEAK;

// Terrain and water
ZWEAK void request_land_refresh();
ZWEAK void update_land_render(float dt);
ZWEAK void prepare_land_render(float t_since_step);
ZWEAK void close_land_render();

// Scene pipeline and post-effects
ZWEAK void init_scene_render();
ZWEAK void close_scene_render();
ZWEAK void close_postfx();
ZWEAK void create_quarter_targets();
ZWEAK void render_scene_deferred(const Matrix44 &camera, float time, float dt, float far_plane);
ZWEAK void render_scene_forward(float time, float dt);
ZWEAK void draw_final_image();

#undef ZWEAK

// Calls f(args) when it is linked in.
#define CALL_IF_LINKED(f, ...) \
  do \
  { \
    if (&f) \
      f(__VA_ARGS__); \
  } while (0)
