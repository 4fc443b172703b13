#include "sq_hmap_mask.h"
#include <cmath>
#include <cstring>
#include <memory>
#include "sq_ramps.h"
#include "sqbind.h"
#include "world/noise.h"

using namespace sqbind;

template struct sqbind::ClassTag<HmapMask>;

using Hm = HeightmapData;

// ---------------------------------------------------------------------------------------
// Script class

static float argf(HSQUIRRELVM vm, SQInteger i) { return Arg<float>::get(vm, i); }
static int argi(HSQUIRRELVM vm, SQInteger i) { return Arg<int>::get(vm, i); }

static bool is_callable(HSQUIRRELVM vm, SQInteger i)
{
  SQObjectType t = sq_gettype(vm, i);
  return t == OT_CLOSURE || t == OT_NATIVECLOSURE;
}

static void mask_ctor(HSQUIRRELVM vm)
{
  std::unique_ptr<HmapMask> m(new HmapMask);
  if (is_callable(vm, 2))
  {
    SqObject fn;
    fn.fromStack(vm, 2);
    SqFunc<float> f;
    f.bind(vm, fn);
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++)
        m->v[hmap_index(x, z)] = f(float(x), float(z));
  }
  else
  {
    float value = argf(vm, 2);
    for (float &c : m->v)
      c = value;
  }
  init_instance(m.get(), vm, &delete_hook<HmapMask>);
  m.release();
}

static void push_mask(HSQUIRRELVM vm, HmapMask *m)
{
  push_instance(vm, m, ClassTag<HmapMask>::tag(), "HmapMask", &delete_hook<HmapMask>);
}

static SQInteger mask_getraw(HSQUIRRELVM vm)
{
  HmapMask *m = getInst<HmapMask>(vm, 1);
  int x = argi(vm, 2), z = argi(vm, 3);
  sq_pushfloat(vm, m->v[((z << 8) | (x & 255)) & 0xFFFF]);
  return 1;
}

static SQInteger mask_get(HSQUIRRELVM vm)
{
  HmapMask *m = getInst<HmapMask>(vm, 1);
  sq_pushfloat(vm, m->get(argf(vm, 2), argf(vm, 3)));
  return 1;
}

static SQInteger mask_minmax(HSQUIRRELVM vm)
{
  float lo, hi;
  getInst<HmapMask>(vm, 1)->calcMinMax(lo, hi);
  sq_newarray(vm, 0);
  sq_pushfloat(vm, lo);
  sq_arrayappend(vm, -2);
  sq_pushfloat(vm, hi);
  sq_arrayappend(vm, -2);
  return 1;
}

static SQInteger mask_fast_noise(HSQUIRRELVM vm)
{
  float amp = argf(vm, 2), gain = argf(vm, 3);
  HmapMask *m = new HmapMask;
  Hm::makeFastNoise(m->v, amp, gain);
  push_mask(vm, m);
  return 1;
}

static SQInteger mask_from_height(HSQUIRRELVM vm)
{
  HmapMask *m = new HmapMask;
  memcpy(m->v, Hm::hmap, sizeof(m->v));
  push_mask(vm, m);
  return 1;
}

static SQInteger mask_from_slope(HSQUIRRELVM vm)
{
  HmapMask *m = new HmapMask;
  m->fromSlope();
  push_mask(vm, m);
  return 1;
}

static SQInteger mask_from_water(HSQUIRRELVM vm)
{
  HmapMask *m = new HmapMask;
  for (int i = 0; i < HMAP_CELLS; i++)
    m->v[i] = Hm::water[i >> HMAP_SIZE_SHIFT][i & HMAP_MASK].depth;
  push_mask(vm, m);
  return 1;
}

static SQInteger mask_from_simplex(HSQUIRRELVM vm)
{
  float scale = argf(vm, 2), period = argf(vm, 3);
  int octaves = argi(vm, 4);
  const FloatRamp *ramp = getInstOpt<SqFloatRamp>(vm, 5);
  float gain = argf(vm, 6);
  if (octaves > 32) // beyond that the work runs for hours and adds nothing a float holds
    throw SquirrelError("fromSimplexNoise: at most 32 octaves");
  HmapMask *m = new HmapMask;
  m->fromSimplexNoise(scale, period, octaves, ramp, gain);
  push_mask(vm, m);
  return 1;
}

static void require_tile(int tile, const char *msg)
{
  if (tile < 1 || (tile & (tile - 1)) != 0)
    throw SquirrelError(msg);
}

static SQInteger mask_from_hills(HSQUIRRELVM vm)
{
  int tile = argi(vm, 2);
  float lo = argf(vm, 3), hi = argf(vm, 4), radius = argf(vm, 5);
  require_tile(tile, "tile must be power of 2 in fromVoronoiHills()");
  HmapMask *m = new HmapMask;
  m->fromVoronoiHills(tile, lo, hi, radius);
  push_mask(vm, m);
  return 1;
}

static SQInteger mask_from_faults(HSQUIRRELVM vm)
{
  int tile = argi(vm, 2);
  float lo = argf(vm, 3), hi = argf(vm, 4), warpAmp = argf(vm, 5);
  int warpScale = argi(vm, 6), warpOctaves = argi(vm, 7);
  float slope = argf(vm, 8);
  require_tile(tile, "tile must be power of 2 in fromVoronoiFaults()");
  if (warpOctaves > 32)
    throw SquirrelError("fromVoronoiFaults: at most 32 warp octaves");
  HmapMask *m = new HmapMask;
  m->fromVoronoiFaults(tile, lo, hi, warpAmp, warpScale, warpOctaves, slope);
  push_mask(vm, m);
  return 1;
}

// ---------------------------------------------------------------------------------------
// Applying masks and functions to the world

// A function argument at index i, bound on the root table; null when the value is null.
static bool bind_func_arg(HSQUIRRELVM vm, SQInteger i, SqFunc<float> &f)
{
  if (sq_gettype(vm, i) == OT_NULL)
    return false;
  SqObject fn;
  fn.fromStack(vm, i);
  f.bind(vm, fn);
  return !f.isNull();
}

// values[i] for i in cell order, read through get and written through set.
template <typename Get, typename Set>
static void apply_mask(HSQUIRRELVM vm, const char *none_text, Get get, Set set)
{
  const HmapMask *m = getInstOpt<HmapMask>(vm, 2);
  SqFunc<float> f;
  if (!bind_func_arg(vm, 3, f))
  {
    if (!m)
      throw SquirrelError(none_text);
    for (int i = 0; i < HMAP_CELLS; i++)
      set(i, get(i) + m->v[i]);
  }
  else if (m)
    for (int i = 0; i < HMAP_CELLS; i++)
      set(i, f(get(i), m->v[i]));
  else
    for (int i = 0; i < HMAP_CELLS; i++)
      set(i, f(get(i)));
}

static SQInteger sq_apply_height_mask(HSQUIRRELVM vm)
{
  apply_mask(
    vm, "no mask and no func in apply_height_mask()", [](int i) { return Hm::hmap[i]; },
    [](int i, float v) { Hm::hmap[i] = v; });
  return 0;
}

static SQInteger sq_apply_water_mask(HSQUIRRELVM vm)
{
  auto cell = [](int i) -> Hm::Water & { return Hm::water[i >> HMAP_SIZE_SHIFT][i & HMAP_MASK]; };
  apply_mask(
    vm, "no mask and no func in apply_water_mask()", [&](int i) { return cell(i).depth; },
    [&](int i, float v) { cell(i).depth = v; });
  return 0;
}

// An element of a repaint result: integers are packed colours as they stand, any other
// colour value is clamped and packed.
static uint32_t read_packed_color(HSQUIRRELVM vm, SQInteger idx)
{
  if (sq_gettype(vm, idx) == OT_INTEGER)
  {
    SQInteger i = 0;
    sq_getinteger(vm, idx, &i);
    return uint32_t(i);
  }
  return vec4f_to_color(read_color(vm, idx)).u;
}

static void push_element(HSQUIRRELVM vm, SQInteger arr, SQInteger k)
{
  sq_pushinteger(vm, k);
  if (SQ_FAILED(sq_get(vm, arr)))
    throw SquirrelError(last_error(vm));
}

static SQInteger sq_repaint_land(HSQUIRRELVM vm)
{
  if (!is_callable(vm, 2))
    throw SquirrelError("null function in repaint_land()");
  SqObject fn;
  fn.fromStack(vm, 2);
  SqFunc<SqObject> f;
  f.bind(vm, fn);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      Hm::Surface &s = Hm::surface[hmap_index(x, z)];
      SqObject r = f(float(x), float(z), color_to_vec4f(s.color), color_to_vec4f(s.top_color));
      if (r.type() != OT_ARRAY)
        throw SquirrelError(type_error_text);
      SQInteger top = sq_gettop(vm);
      StackRestore restore(vm, top);
      r.push(vm);
      SQInteger arr = sq_gettop(vm);
      SQInteger n = sq_getsize(vm, arr);
      push_element(vm, arr, 0);
      uint32_t color = read_packed_color(vm, -1);
      push_element(vm, arr, 1);
      int gt = argi(vm, -1);
      if (n == 2)
      {
        s.color = color;
        s.top_color = 0u;
        s.bits = (s.bits & ~0xFFu) | uint32_t(gt & 15);
        continue;
      }
      push_element(vm, arr, 2);
      uint32_t top_color = read_packed_color(vm, -1);
      push_element(vm, arr, 3);
      int st = argi(vm, -1);
      s.color = color;
      s.top_color = top_color;
      s.bits = (s.bits & ~0xFFu) | (uint32_t(st * 16) & 255u) | uint32_t(gt & 15);
    }
  return 0;
}

static SQInteger sq_recolor_by_height(HSQUIRRELVM vm)
{
  if (sq_gettype(vm, 2) == OT_NULL)
    throw SquirrelError("null ramp in recolor_by_height()");
  const ColorRamp *ramp = getInst<SqColorRamp>(vm, 2);
  const HmapMask *src = getInstOpt<HmapMask>(vm, 3);
  recolor_by_height(*ramp, src ? src->v : nullptr);
  return 0;
}

static SQInteger sq_recolor_land4(HSQUIRRELVM vm)
{
  recolor_land4(read_color(vm, 2), read_color(vm, 3), read_color(vm, 4), read_color(vm, 5));
  return 0;
}

void bind_hmap_mask(HSQUIRRELVM vm)
{
  SqClassDef def = create_class(vm, "HmapMask", nullptr, ClassTag<HmapMask>::tag());
  def.ctor(mask_ctor)
    .rawMethod("getraw", mask_getraw)
    .rawMethod("get", mask_get)
    .rawMethod("calcMinMax", mask_minmax)
    .rawMethod("fastNoise", mask_fast_noise)
    .rawMethod("fromHeight", mask_from_height)
    .rawMethod("fromSlope", mask_from_slope)
    .rawMethod("fromWater", mask_from_water)
    .rawMethod("fromSimplexNoise", mask_from_simplex)
    .rawMethod("fromVoronoiHills", mask_from_hills)
    .rawMethod("fromVoronoiFaults", mask_from_faults);
  add_raw_global(vm, "apply_height_mask", sq_apply_height_mask);
  add_raw_global(vm, "apply_water_mask", sq_apply_water_mask);
  add_raw_global(vm, "repaint_land", sq_repaint_land);
  add_raw_global(vm, "recolor_by_height", sq_recolor_by_height);
  add_raw_global(vm, "recolor_land4", sq_recolor_land4);
}
