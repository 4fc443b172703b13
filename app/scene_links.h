#pragma once
// The renderer's frame operations as the shell calls them: the sky and the scene
// pipeline (render/sky.h, render/scene_render.h), and the terrain and water renderer,
// whose functions are declared weak here so that the shell links (and draws no land)
// in a build without it; every call site checks.
#include "app/matrix44.h"
#include "app/vec4f.h"
#include "render/scene_render.h"
#include "render/sky.h"

#define ZWEAK __attribute__((weak))

ZWEAK void init_land_render();
ZWEAK void close_land_render();
ZWEAK void request_land_refresh();
ZWEAK void update_land_render(float dt);
ZWEAK void prepare_land_render(float t_since_step);
ZWEAK void render_land();
ZWEAK void render_water_prepared();
ZWEAK void render_horizon();

#undef ZWEAK

// Calls f(args) when it is linked in.
#define CALL_IF_LINKED(f, ...) \
  do \
  { \
    if (&f) \
      f(__VA_ARGS__); \
  } while (0)
