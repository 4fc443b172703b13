#include "sq_ramps.h"

using namespace sqbind;

template struct sqbind::ClassTag<SqColorRamp>;
template struct sqbind::ClassTag<SqFloatRamp>;

static constexpr float inv_steps = 1.f / 256.f;

// Reads the result of a sample function at the top of the stack.
template <typename R>
static void fill_from_function(HSQUIRRELVM vm, R *ramp, SQInteger fn_idx)
{
  SqObject fn;
  fn.fromStack(vm, fn_idx);
  SqFunc<SqObject> f;
  f.bind(vm, fn);
  for (int i = 0; i < RAMP_SAMPLES; i++)
  {
    SqObject r = f(float(i) * inv_steps);
    SQInteger top = sq_gettop(vm);
    r.push(vm);
    StackRestore restore(vm, top);
    if constexpr (std::is_same_v<R, SqColorRamp>)
      ramp->samples[i] = read_color(vm, -1);
    else
      ramp->samples[i] = Arg<float>::get(vm, -1);
  }
}

template <typename R>
static void ramp_ctor(HSQUIRRELVM vm)
{
  R *r = new R;
  try
  {
    fill_from_function(vm, r, 2);
    init_instance(r, vm, &delete_hook<R>);
  }
  catch (...)
  {
    delete r;
    throw;
  }
}

template <typename R>
static void push_new(HSQUIRRELVM vm, R *r)
{
  push_instance(vm, r, ClassTag<R>::tag(), std::is_same_v<R, SqColorRamp> ? "ColorRamp" : "FloatRamp", &delete_hook<R>);
}

// Colour statics read script colour values; FloatRamp statics read numbers.
template <typename R>
static auto read_value(HSQUIRRELVM vm, SQInteger idx)
{
  if constexpr (std::is_same_v<R, SqColorRamp>)
    return read_color(vm, idx);
  else
    return Arg<float>::get(vm, idx);
}

template <typename R>
static SQInteger ramp_linear(HSQUIRRELVM vm)
{
  auto a = read_value<R>(vm, 2), b = read_value<R>(vm, 3);
  R *r = new R;
  r->setLinear(a, b);
  push_new(vm, r);
  return 1;
}

template <typename R>
static SQInteger ramp_const(HSQUIRRELVM vm)
{
  auto v = read_value<R>(vm, 2);
  R *r = new R;
  r->setConst(v);
  push_new(vm, r);
  return 1;
}

template <typename R>
static SQInteger ramp_fade(HSQUIRRELVM vm)
{
  auto a = read_value<R>(vm, 2), b = read_value<R>(vm, 3), c = read_value<R>(vm, 4);
  float fi = Arg<float>::get(vm, 5), fo = Arg<float>::get(vm, 6);
  R *r = new R;
  r->setFadeInOut(a, b, c, fi, fo);
  push_new(vm, r);
  return 1;
}

template <typename R>
static SQInteger ramp_get(HSQUIRRELVM vm)
{
  R *r = getInst<R>(vm, 1);
  float t = Arg<float>::get(vm, 2);
  push_value(vm, r->get(t));
  return 1;
}

template <typename R>
static SQInteger ramp_dump(HSQUIRRELVM vm)
{
  getInst<R>(vm, 1)->dump(Arg<const char *>::get(vm, 2));
  return 0;
}

template <typename R>
static void bind_one(HSQUIRRELVM vm, const char *name)
{
  SqClassDef def = create_class(vm, name, nullptr, ClassTag<R>::tag());
  def.ctor(ramp_ctor<R>)
    .rawMethod("get", ramp_get<R>)
    .rawMethod("dump", ramp_dump<R>)
    .rawMethod("linear", ramp_linear<R>)
    .rawMethod("constRamp", ramp_const<R>)
    .rawMethod("fadeInOut", ramp_fade<R>);
}

void bind_ramps(HSQUIRRELVM vm)
{
  bind_one<SqColorRamp>(vm, "ColorRamp");
  bind_one<SqFloatRamp>(vm, "FloatRamp");
}
