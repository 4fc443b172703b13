#pragma once
// The sun and the sky: the sun direction, the table of sky and light colours that every
// lit pass reads, the "sky.nut" script that makes the table, and the sky quad itself.
//
// Like the terrain, the sky keeps the state at the start of the current simulation step
// (prev), the state the step moves to (target) and what is drawn this frame (drawn).
//
// The block of registers shared by the sky, terrain, deferred light and shadow shaders
// (PC_SKY and VC_SKY; set_sky_ps_consts / set_sky_vs_consts write them):
//   light vector  = (sun_dir_drawn.xyz, sky_extra_light)
//   12 parameters = sky_colors_drawn[0..11]: the script's ten entries (sun, ambient, haze,
//                   glow, zenith, horizon, fog, scatter, halo, exposure; see bin/sky.nut)
//                   and the derived extinctions e^(-haze / 0.2) and e^(-haze).
#include "core/engine_api.h"
#include "core/vec4f.h"

constexpr int SKY_SCRIPT_COLORS = 10;
constexpr int SKY_DRAWN_COLORS = 12;

extern ENGINE_API vec4f sun_dir, sun_dir_prev, sun_dir_drawn;
extern ENGINE_API vec4f sky_colors[SKY_SCRIPT_COLORS];
extern ENGINE_API vec4f sky_colors_prev[SKY_SCRIPT_COLORS];
extern ENGINE_API vec4f sky_colors_drawn[SKY_DRAWN_COLORS];
extern ENGINE_API float sky_extra_light;

// Creates the quad, the shader and the script VM and runs "sky.nut" (fatal on failure).
// Needs the device; call before the terrain renderer.
ENGINE_API void init_sky();
ENGINE_API void close_sky();
// Target sun direction (normalised; a zero vector stays zero). Without smooth the drawn
// and previous states jump there at once.
ENGINE_API void set_sun_dir(vec4f dir, bool smooth);
// Start of a simulation step: previous state = target state.
ENGINE_API void step_sky();
// Drawn state = previous + (target - previous) * t, t in [0, 1] through the step.
ENGINE_API void update_sky(float t);
// Re-runs "sky.nut" when it changed on disk and recomputes the table.
ENGINE_API void reload_sky_if_changed();
// The sky quad, in front of the camera of the device's view matrix; draw where the
// stencil is 0.
ENGINE_API void render_sky();

// The table for a sun direction from the script (or the default table).
ENGINE_API void compute_sky_colors(vec4f dir, vec4f out[SKY_SCRIPT_COLORS]);
// The built-in table used whenever the script cannot deliver one.
ENGINE_API void get_default_sky_colors(vec4f out[SKY_SCRIPT_COLORS]);
// Entries 10 and 11 from entry 2.
ENGINE_API void derive_sky_colors(vec4f table[SKY_DRAWN_COLORS]);

// Light vector at register first, the 12 parameters after it.
ENGINE_API void set_sky_ps_consts(int first);
ENGINE_API void set_sky_vs_consts(int first);
