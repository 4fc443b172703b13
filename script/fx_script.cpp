#include <cmath>
#include <cstdio>
#include <cstring>
#include "core/log.h"
#include "fx_script_vm.h"
#include "sq_ramps.h"
#include "sqbind.h"
#include "world_gen.h"

using namespace sqbind;

SqReloadableVM fx_script;
FxScriptHooks fx_script_hooks;

namespace
{
SqFunc<void> update_fx_func;

// The effects' own clock: seconds of world steps since the VM was opened.
float fx_clock = 0.f;

// A ramp instance a particle got from script, held until `until` on fx_clock.
struct HeldRamp
{
  SQUserPointer ramp;
  SqObject instance;
  float until;
};
DynArray<HeldRamp> held_ramps;

// A particle is drawn a little past its last update; keep its ramps a while longer.
constexpr float HOLD_MARGIN = 0.25f;

void hold_ramp(HSQUIRRELVM vm, SQInteger idx, SQUserPointer ramp, float until)
{
  for (int i = held_ramps.size() - 1; i >= 0; i--)
    if (held_ramps[i].ramp == ramp)
    {
      if (held_ramps[i].until < until)
        held_ramps[i].until = until;
      return;
    }
  HeldRamp &h = *held_ramps.appendDefault(1);
  h.ramp = ramp;
  h.instance.fromStack(vm, idx);
  h.until = until;
}

void release_expired_ramps()
{
  for (int i = 0; i < held_ramps.size();)
    if (held_ramps[i].until < fx_clock)
      held_ramps.eraseFast(i);
    else
      i++;
}

const char fx_error[] = "Error in fx script:";

void show_error(const SquirrelError &e)
{
  const char *text = e.msg ? e.msg : "unknown error";
  char buf[1024];
  snprintf(buf, sizeof(buf), "%s\n%s", fx_error, text);
  set_error_message(buf);
}

// ---------------------------------------------------------------------------------------
// The particle functions

// Pushes params[name]; prints "getSlot '<name>' failed" and raises when it is missing.
struct Slot
{
  HSQUIRRELVM vm;
  SQInteger top;
  Slot(HSQUIRRELVM v, SQInteger params, const char *name) : vm(v), top(sq_gettop(v))
  {
    sq_push(vm, params);
    get_named(vm, -1, name, "getSlot");
  }
  ~Slot() { sq_settop(vm, top); }
};

float slot_float(HSQUIRRELVM vm, SQInteger params, const char *name)
{
  Slot s(vm, params, name);
  return Arg<float>::get(vm, -1);
}

vec4f slot_vec(HSQUIRRELVM vm, SQInteger params, const char *name)
{
  Slot s(vm, params, name);
  return read_vec4(vm, -1);
}

// A ramp instance or null; a ramp is held for as long as the particle may use it.
template <typename R>
const R *slot_ramp(HSQUIRRELVM vm, SQInteger params, const char *name, float until)
{
  Slot s(vm, params, name);
  R *r = getInstOpt<R>(vm, -1);
  if (r)
    hold_ramp(vm, -1, r, until);
  return r;
}

D3dColor slot_color(HSQUIRRELVM vm, SQInteger params, const char *name)
{
  Slot s(vm, params, name);
  if (sq_gettype(vm, -1) == OT_INTEGER)
    return D3dColor(uint32_t(Arg<SQInteger>::get(vm, -1)));
  return vec4f_to_color(read_color(vm, -1));
}

// (position, velocity, params): the keys are read in this order, each must be present.
SQInteger add_particle(HSQUIRRELVM vm, FxScriptHooks::AddParticleFn add)
{
  const vec4f pos = read_vec4(vm, 2), vel = read_vec4(vm, 3);
  if (sq_gettype(vm, 4) != OT_TABLE && sq_gettype(vm, 4) != OT_INSTANCE && sq_gettype(vm, 4) != OT_CLASS)
    throw SquirrelError(type_error_text);
  const SQInteger p = 4;
  const vec4f acc = slot_vec(vm, p, "accel");
  const float life = slot_float(vm, p, "life");
  const float delay = slot_float(vm, p, "delay");
  const float size = slot_float(vm, p, "size");
  const float map_u = slot_float(vm, p, "mapU");
  const float map_v = slot_float(vm, p, "mapV");
  const float map_size = slot_float(vm, p, "mapSize");
  const float start_roll = slot_float(vm, p, "startRoll");
  const float roll_scale = slot_float(vm, p, "rollScale");
  const float until = fx_clock + std::fmax(delay, 0.f) + std::fmax(life, 0.f) + HOLD_MARGIN;
  const ColorRamp *color_anim = slot_ramp<SqColorRamp>(vm, p, "colorAnim", until);
  const FloatRamp *size_anim = slot_ramp<SqFloatRamp>(vm, p, "sizeAnim", until);
  const FloatRamp *roll_anim = slot_ramp<SqFloatRamp>(vm, p, "rollAnim", until);
  const D3dColor color = slot_color(vm, p, "color");
  add(pos, vel, acc, life, delay, size, color, map_u, map_v, map_size, start_roll, roll_scale, color_anim, size_anim,
      roll_anim);
  return 0;
}

SQInteger sq_add_blend_particle(HSQUIRRELVM vm) { return add_particle(vm, fx_script_hooks.add_blend_particle); }
SQInteger sq_add_glow_particle(HSQUIRRELVM vm) { return add_particle(vm, fx_script_hooks.add_glow_particle); }

// add_lightning_fx(from, to, ctrl, width, wavelength, amplitude, life, color, points)
SQInteger sq_add_lightning_fx(HSQUIRRELVM vm)
{
  const vec4f from = read_vec4(vm, 2), to = read_vec4(vm, 3), ctrl = read_vec4(vm, 4);
  const float width = Arg<float>::get(vm, 5), wavelength = Arg<float>::get(vm, 6);
  const float amplitude = Arg<float>::get(vm, 7), life = Arg<float>::get(vm, 8);
  const D3dColor color = sq_gettype(vm, 9) == OT_INTEGER ? D3dColor(uint32_t(Arg<SQInteger>::get(vm, 9)))
                                                         : vec4f_to_color(read_color(vm, 9));
  const int points = Arg<int>::get(vm, 10);
  fx_script_hooks.add_lightning_fx(from, to, ctrl, width, wavelength, amplitude, life, color, points);
  return 0;
}

void bind_update_fx()
{
  sq_pushroottable(fx_script.vm);
  SqObject root;
  root.fromStack(fx_script.vm, -1);
  sq_poptop(fx_script.vm);
  update_fx_func.bind(fx_script.vm, root, "update_fx");
}

// Particles may hold the script's ramps: they go before the ramps do.
void drop_particles_and_ramps()
{
  fx_script_hooks.reset_common_fx();
  held_ramps.clear();
}
} // namespace

void init_fx_script()
{
  if (!fx_script.init(1024))
    fatal("error creating fx script VM");
  HSQUIRRELVM vm = fx_script.vm;
  fx_clock = 0.f;
  try
  {
    bind_ramps(vm);
    bind_vec4f(vm);
    bind_rnd_color_funcs(vm, true); // effects never draw from the simulation's stream
    add_raw_global(vm, "add_blend_particle", sq_add_blend_particle);
    add_raw_global(vm, "add_glow_particle", sq_add_glow_particle);
    add_raw_global(vm, "add_lightning_fx", sq_add_lightning_fx);
    if (!fx_script.load_file("test/fx.nut"))
      throw SquirrelError(last_error(vm));
    bind_update_fx();
  }
  catch (const SquirrelError &e)
  {
    show_error(e);
  }
}

void update_fx_script(float dt)
{
  if (!fx_script.vm)
    return;
  fx_clock += dt;
  release_expired_ramps();
  if (update_fx_func.isNull())
    return;
  try
  {
    update_fx_func(dt);
  }
  catch (const SquirrelError &e)
  {
    show_error(e);
  }
}

void check_fx_script_reload()
{
  if (!fx_script.vm || !fx_script.files_changed())
    return;
  set_error_message(nullptr);
  try
  {
    drop_particles_and_ramps();
    if (!fx_script.reload(true))
      throw SquirrelError(last_error(fx_script.vm));
    bind_update_fx();
  }
  catch (const SquirrelError &e)
  {
    show_error(e);
  }
}

void close_fx_script()
{
  update_fx_func.release();
  if (fx_script.vm)
    drop_particles_and_ramps();
  held_ramps.release();
  fx_script.close();
  // The records describe what ran in the closed VM; a new VM starts with none.
  fx_script.files.clear();
}

void call_fx_script(const char *name, vec4f a, vec4f b, vec4f c, float t)
{
  static char missing[512]; // outlives the exception that carries it
  try
  {
    if (!fx_script.vm)
      throw SquirrelError("fx script VM is not open");
    SqFunc<void> f;
    sq_pushroottable(fx_script.vm);
    SqObject root;
    root.fromStack(fx_script.vm, -1);
    sq_poptop(fx_script.vm);
    f.bind(fx_script.vm, root, name ? name : "");
    if (f.isNull())
    {
      snprintf(missing, sizeof(missing), "No '%s' function in script", name ? name : "");
      throw SquirrelError(missing);
    }
    f(a, b, c, t);
  }
  catch (const SquirrelError &e)
  {
    show_error(e);
  }
}

int fx_script_held_ramps() { return held_ramps.size(); }
