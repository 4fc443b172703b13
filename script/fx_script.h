#pragma once
// The effects script: "test/fx.nut" in its own VM describes particle effects by name.
// A named script function gets three vectors and a number and spawns particles through
// "add_blend_particle"(position, velocity, params) and "add_glow_particle"(...), whose
// params table holds every other property of the particle. The game-object module (and
// the -fx preview switch) reach it through call_fx_script.
//
// Lifetime: init_fx_script after the effects renderer (init_common_fx),
// check_fx_script_reload in the once-per-second pass, update_fx_script once per world
// step, close_fx_script at shut-down before the effects are closed (safe when init never
// ran). call_fx_script before init_fx_script only shows an error.
//
// Every script error on these roads is shown in the on-screen error strip as
// "Error in fx script:\n..."; the program keeps running.
// This header needs no script engine headers: the game-object module includes it.
#include "core/d3dcolor.h"
#include "core/engine_api.h"
#include "core/vec4f.h"

struct ColorRamp;
struct FloatRamp;

// Where the script's particles go: the common effects, installed by the start-up (the
// renderer is built apart from the script layer). The defaults drop everything.
struct FxScriptHooks
{
  using AddParticleFn = void (*)(vec4f pos, vec4f vel, vec4f acc, float life, float delay, float size, D3dColor color,
                                 float atlas_x, float atlas_y, float cell, float rotation, float rotation_amount,
                                 const ColorRamp *color_ramp, const FloatRamp *size_ramp,
                                 const FloatRamp *rotation_ramp);
  using AddLightningFn = void (*)(vec4f from, vec4f to, vec4f ctrl, float width, float wavelength, float amplitude,
                                  float life, D3dColor color, int points);

  static void no_particle(vec4f, vec4f, vec4f, float, float, float, D3dColor, float, float, float, float, float,
                          const ColorRamp *, const FloatRamp *, const FloatRamp *)
  {}
  static void no_lightning(vec4f, vec4f, vec4f, float, float, float, float, D3dColor, int) {}
  static void nothing() {}

  AddParticleFn add_blend_particle = no_particle;
  AddParticleFn add_glow_particle = no_particle;
  AddLightningFn add_lightning_fx = no_lightning;
  // Removes every particle (a reload, the shut-down: their ramps go with the script).
  void (*reset_common_fx)() = nothing;
};
// The installed hooks; entries are never null. Assign a whole FxScriptHooks
// (FxScriptHooks{} drops everything again) or replace single entries.
extern ENGINE_API FxScriptHooks fx_script_hooks;

// Creates the VM (fatal "error creating fx script VM" when it cannot), registers the
// ramps, "vec4f", the random and colour functions and the particle functions, and runs
// "test/fx.nut". A script that fails to load is shown and leaves its functions undefined.
ENGINE_API void init_fx_script();
// Once per world step: forgets ramps no particle can still use, then calls the script's
// update_fx(dt) when it defines one.
ENGINE_API void update_fx_script(float dt);
// When a file of the script changed: clears every particle, re-runs the files and binds
// update_fx again.
ENGINE_API void check_fx_script_reload();
ENGINE_API void close_fx_script();
// Calls the script function name(a, b, c, t), each vector as a new "vec4f". A missing
// function shows "No '<name>' function in script".
ENGINE_API void call_fx_script(const char *name, vec4f a, vec4f b, vec4f c, float t);

// Ramps handed to particles are kept alive by the VM until the last particle that may
// use them has died (for tests: how many are held now).
ENGINE_API int fx_script_held_ramps();
