#include "world_gen.h"
#include <cmath>
#include <cstdio>
#include "core/clock.h"
#include "core/d3dcolor.h"
#include "core/globals.h"
#include "core/log.h"
#include "core/splash.h"
#include "sq_ramps.h"
#include "sqbind.h"
#include "world/land_tools.h"
#include "world/noise.h"
#include "world/world_rnd.h"
#include "world_hooks.h"

using namespace sqbind;

// ---------------------------------------------------------------------------------------
// Argument helpers

static float argf(HSQUIRRELVM vm, SQInteger i) { return Arg<float>::get(vm, i); }
static int argi(HSQUIRRELVM vm, SQInteger i) { return Arg<int>::get(vm, i); }

// Counts the generators loop over: beyond these the work runs for hours and adds nothing
// (octaves past 32 are finer than a float resolves).
constexpr int MAX_NOISE_OCTAVES = 32;
constexpr int MAX_EROSION_DROPLETS = 10'000'000;

static void require_octaves(int octaves, const char *msg)
{
  if (octaves > MAX_NOISE_OCTAVES)
    throw SquirrelError(msg);
}

static void require_power_of_two(int tile, const char *msg)
{
  if (tile < 1 || (tile & (tile - 1)) != 0)
    throw SquirrelError(msg);
}

// The generators assert their height ranges; from script a bad range is an error.
static void require_height_range(float lo, float hi, const char *msg)
{
  if (!(lo >= 0.f) || !(lo <= hi))
    throw SquirrelError(msg);
}

// ---------------------------------------------------------------------------------------
// Random numbers: one draw advances the VM's stream (game_rnd_seed, or fx_rnd_seed for
// the effects script); u = draw / 2^32 in double.

template <uint64_t &S>
static double draw_unit()
{
  return double(world_rnd_next(S)) * (1.0 / 4294967296.0);
}

template <uint64_t &S>
static SQInteger sq_hmrnd(HSQUIRRELVM vm)
{
  sq_pushinteger(vm, SQInteger(world_rnd_next(S) & 255u));
  return 1;
}
template <uint64_t &S>
static SQInteger sq_hmfrnd(HSQUIRRELVM vm)
{
  sq_pushfloat(vm, SQFloat(draw_unit<S>() * 256.0));
  return 1;
}
template <uint64_t &S>
static SQInteger sq_hmsrnd(HSQUIRRELVM vm)
{
  sq_pushfloat(vm, SQFloat((2.0 * draw_unit<S>() - 1.0) * 128.0));
  return 1;
}
template <uint64_t &S>
static SQInteger sq_irnd(HSQUIRRELVM vm)
{
  sq_pushinteger(vm, SQInteger(world_rnd_next(S) & 0x7FFFFFFFu));
  return 1;
}
template <uint64_t &S>
static SQInteger sq_frnd(HSQUIRRELVM vm)
{
  sq_pushfloat(vm, SQFloat(draw_unit<S>()));
  return 1;
}
template <uint64_t &S>
static SQInteger sq_srnd(HSQUIRRELVM vm)
{
  sq_pushfloat(vm, SQFloat(2.0 * draw_unit<S>() - 1.0));
  return 1;
}
template <uint64_t &S>
static SQInteger sq_rndf(HSQUIRRELVM vm)
{
  double a = argf(vm, 2), b = argf(vm, 3);
  sq_pushfloat(vm, SQFloat(a + draw_unit<S>() * (b - a)));
  return 1;
}
template <uint64_t &S>
static SQInteger sq_set_rnd_seed(HSQUIRRELVM vm)
{
  SQInteger s = Arg<SQInteger>::get(vm, 2);
  S = uint64_t(int64_t(int32_t(uint32_t(s)))); // low 32 bits, sign-extended
  return 0;
}
template <uint64_t &S>
static SQInteger sq_randomize_rnd_seed(HSQUIRRELVM)
{
  S = world_hooks.fresh_seed();
  return 0;
}

template <uint64_t &S>
static void bind_rnd_funcs(HSQUIRRELVM vm)
{
  add_raw_global(vm, "hmrnd", sq_hmrnd<S>);
  add_raw_global(vm, "hmfrnd", sq_hmfrnd<S>);
  add_raw_global(vm, "hmsrnd", sq_hmsrnd<S>);
  add_raw_global(vm, "irnd", sq_irnd<S>);
  add_raw_global(vm, "frnd", sq_frnd<S>);
  add_raw_global(vm, "srnd", sq_srnd<S>);
  add_raw_global(vm, "rndf", sq_rndf<S>);
  add_raw_global(vm, "set_rnd_seed", sq_set_rnd_seed<S>);
  add_raw_global(vm, "randomize_rnd_seed", sq_randomize_rnd_seed<S>);
}

static SQInteger sq_wrap(HSQUIRRELVM vm)
{
  sq_pushfloat(vm, wrap_coord(argf(vm, 2)));
  return 1;
}

// ---------------------------------------------------------------------------------------
// Colours

static SQInteger sq_lerpcolor(HSQUIRRELVM vm)
{
  vec4f a = read_color(vm, 2), b = read_color(vm, 3);
  push_vec4f(vm, a + (b - a) * argf(vm, 4));
  return 1;
}
static SQInteger sq_mix3colors(HSQUIRRELVM vm)
{
  vec4f r = read_color(vm, 2) * argf(vm, 3);
  r = r + read_color(vm, 4) * argf(vm, 5);
  r = r + read_color(vm, 6) * argf(vm, 7);
  push_vec4f(vm, r);
  return 1;
}
static SQInteger sq_mix4colors(HSQUIRRELVM vm)
{
  vec4f r = read_color(vm, 2) * argf(vm, 3);
  r = r + read_color(vm, 4) * argf(vm, 5);
  r = r + read_color(vm, 6) * argf(vm, 7);
  r = r + read_color(vm, 8) * argf(vm, 9);
  push_vec4f(vm, r);
  return 1;
}
static SQInteger sq_hsv2rgba(HSQUIRRELVM vm)
{
  push_vec4f(vm, hsv2rgba(argf(vm, 2), argf(vm, 3), argf(vm, 4), argf(vm, 5)));
  return 1;
}
static SQInteger sq_lch2rgba(HSQUIRRELVM vm)
{
  push_vec4f(vm, lch2rgba(argf(vm, 2), argf(vm, 3), argf(vm, 4), argf(vm, 5)));
  return 1;
}
static SQInteger sq_make_dir_2d(HSQUIRRELVM vm)
{
  vec4f a = *getInst<SqVec4f>(vm, 2), b = *getInst<SqVec4f>(vm, 3);
  float t = argf(vm, 4) * 6.2831853f;
  push_vec4f(vm, a * std::cos(t) + b * std::sin(t));
  return 1;
}
static SQInteger sq_make_dir_xz(HSQUIRRELVM vm)
{
  float t = argf(vm, 2) * 6.2831853f;
  push_vec4f(vm, vec4f(std::cos(t), 0.f, std::sin(t), 0.f));
  return 1;
}

void bind_rnd_color_funcs(HSQUIRRELVM vm, bool effects_stream)
{
  if (effects_stream)
    bind_rnd_funcs<fx_rnd_seed>(vm);
  else
    bind_rnd_funcs<game_rnd_seed>(vm);
  add_raw_global(vm, "wrap", sq_wrap);
  add_raw_global(vm, "lerpcolor", sq_lerpcolor);
  add_raw_global(vm, "mix3colors", sq_mix3colors);
  add_raw_global(vm, "mix4colors", sq_mix4colors);
  add_raw_global(vm, "hsv2rgba", sq_hsv2rgba);
  add_raw_global(vm, "lch2rgba", sq_lch2rgba);
  add_raw_global(vm, "make_dir_2d", sq_make_dir_2d);
  add_raw_global(vm, "make_dir_xz", sq_make_dir_xz);
}

// ---------------------------------------------------------------------------------------
// Erosion parameters

static bool has_slot(HSQUIRRELVM vm, const SqObject &table, const char *key)
{
  SQInteger top = sq_gettop(vm);
  table.push(vm);
  sq_pushstring(vm, key, -1);
  bool found = SQ_SUCCEEDED(sq_get(vm, -2));
  sq_settop(vm, top);
  return found;
}

void read_erosion_params(HSQUIRRELVM vm, SQInteger idx, HeightmapData::ErosionParams &p)
{
  if (sq_gettype(vm, idx) == OT_NULL)
    return;
  if (sq_gettype(vm, idx) != OT_TABLE)
    throw SquirrelError(type_error_text);
  SqObject t;
  t.fromStack(vm, idx);
  struct Key
  {
    const char *name;
    float *field;
  } keys[] = {{"Kq", &p.Kq},
              {"Kr", &p.Kr},
              {"Kd", &p.Kd},
              {"Kw", &p.Kw},
              {"Ki", &p.Ki},
              {"minSlope", &p.minSlope},
              {"g", &p.g},
              {"depositBlend", &p.depositBlend},
              {"reactionTime", &p.reactionTime}};
  for (const Key &k : keys)
    if (has_slot(vm, t, k.name))
      *k.field = getSlot<float>(vm, t, k.name);
  if (!has_slot(vm, t, "reactions"))
    return;
  SqObject list = getSlot<SqObject>(vm, t, "reactions");
  if (list.type() != OT_ARRAY)
    throw SquirrelError(type_error_text);
  SQInteger top = sq_gettop(vm);
  list.push(vm);
  SQInteger n = sq_getsize(vm, -1);
  sq_settop(vm, top);
  for (SQInteger k = 0; k < n; k++)
  {
    SQInteger base = sq_gettop(vm);
    StackRestore restore(vm, base);
    list.push(vm);
    sq_pushinteger(vm, k);
    if (SQ_FAILED(sq_get(vm, -2)))
      throw SquirrelError(last_error(vm));
    if (sq_gettype(vm, -1) != OT_ARRAY)
      throw SquirrelError(type_error_text);
    SQInteger elem = sq_gettop(vm);
    vec4f v[2];
    for (int e = 0; e < 2; e++)
    {
      sq_pushinteger(vm, e);
      if (SQ_FAILED(sq_get(vm, elem)))
        throw SquirrelError(last_error(vm));
      v[e] = read_vec4(vm, -1);
      sq_poptop(vm);
    }
    sq_pushinteger(vm, 2);
    if (SQ_FAILED(sq_get(vm, elem)))
      throw SquirrelError(last_error(vm));
    float rate = argf(vm, -1);
    HeightmapData::ErosionReaction r;
    r.rate = (v[1] - v[0]) * rate;
    r.order[0] = noise_round(v[0].x);
    r.order[1] = noise_round(v[0].y);
    r.order[2] = noise_round(v[0].z);
    r.order[3] = noise_round(v[0].w);
    p.reactions.push(r);
  }
}

// ---------------------------------------------------------------------------------------
// Generators and tools

static SQInteger sq_place_house(HSQUIRRELVM vm)
{
  HeightmapData::placeHouse(argi(vm, 2), argi(vm, 3), argi(vm, 4), HeightmapData::hmap, false);
  return 0;
}

static SQInteger sq_add_fast_noise(HSQUIRRELVM vm)
{
  float lo = argf(vm, 2), hi = argf(vm, 3);
  ColorRamp *ramp = getInstOpt<SqColorRamp>(vm, 4);
  int gt = argi(vm, 5), alpha = argi(vm, 6);
  float gain = argf(vm, 7);
  require_height_range(lo, hi, "add_fast_noise: need 0 <= min_ht <= max_ht");
  HeightmapData::addFastNoise(lo, hi, ramp, gt, alpha, gain);
  return 0;
}

static SQInteger sq_add_simplex_noise(HSQUIRRELVM vm)
{
  float lo = argf(vm, 2), hi = argf(vm, 3);
  int tile = argi(vm, 4), octaves = argi(vm, 5);
  float gain = argf(vm, 6);
  require_height_range(lo, hi, "add_simplex_noise: need 0 <= min_ht <= max_ht");
  require_power_of_two(tile, "tile must be power of 2 in add_simplex_noise()");
  require_octaves(octaves, "add_simplex_noise: at most 32 octaves");
  HeightmapData::addSimplexNoise(lo, hi, tile, octaves, gain);
  return 0;
}

static SQInteger sq_gen_fault(HSQUIRRELVM vm)
{
  Point2 pos{argf(vm, 2), argf(vm, 3)}, normal{argf(vm, 4), argf(vm, 5)};
  float height = argf(vm, 6), bias = argf(vm, 7), wiggle = argf(vm, 8);
  ColorRamp *ramp = getInstOpt<SqColorRamp>(vm, 9);
  int gt = argi(vm, 10);
  HeightmapData::genFault(pos, normal, height, bias, wiggle, ramp, gt, 255, HeightmapData::hmap);
  return 0;
}

static SQInteger sq_gen_crater(HSQUIRRELVM vm)
{
  Point2 c{argf(vm, 2), argf(vm, 3)};
  HeightmapData::genCrater(c, argf(vm, 4), argf(vm, 5), HeightmapData::hmap);
  return 0;
}

static SQInteger sq_gen_droplet_erosion(HSQUIRRELVM vm)
{
  int n = argi(vm, 2);
  if (n < 0)
    throw SquirrelError("gen_droplet_erosion: iterations must not be negative");
  if (n > MAX_EROSION_DROPLETS)
    throw SquirrelError("gen_droplet_erosion: at most 10000000 iterations");
  HeightmapData::ErosionParams params;
  try
  {
    read_erosion_params(vm, 3, params);
  }
  catch (...)
  {
    params.reactions.release();
    throw;
  }
  HeightmapData::genDropletErosion(unsigned(n), params);
  params.reactions.release();
  return 0;
}

static SQInteger sq_add_voronoi_hills(HSQUIRRELVM vm)
{
  int tile = argi(vm, 2);
  float lo = argf(vm, 3), hi = argf(vm, 4), radius = argf(vm, 5);
  require_power_of_two(tile, "tile must be power of 2 in add_voronoi_hills()");
  HeightmapData::addVoronoiHills(tile, lo, hi, radius);
  return 0;
}

static SQInteger sq_gen_voronoi_faults(HSQUIRRELVM vm)
{
  int tile = argi(vm, 2);
  float lo = argf(vm, 3), hi = argf(vm, 4), warpAmp = argf(vm, 5);
  int warpScale = argi(vm, 6), warpOctaves = argi(vm, 7);
  float slope = argf(vm, 8);
  require_power_of_two(tile, "tile must be power of 2 in gen_voronoi_faults()");
  require_octaves(warpOctaves, "gen_voronoi_faults: at most 32 warp octaves");
  HeightmapData::genVoronoiFaults(tile, lo, hi, warpAmp, warpScale, warpOctaves, slope);
  return 0;
}

static SQInteger sq_recenter_hmap(HSQUIRRELVM vm)
{
  sq_pushfloat(vm, HeightmapData::recenterHt());
  return 1;
}

static SQInteger sq_set_sun_dir(HSQUIRRELVM vm)
{
  world_hooks.set_sun_dir(*getInst<SqVec4f>(vm, 2));
  return 0;
}

static SQInteger sq_flatten_circle(HSQUIRRELVM vm)
{
  flatten_circle(argf(vm, 2), argf(vm, 3), argf(vm, 4), argf(vm, 5), argf(vm, 6), argf(vm, 7));
  return 0;
}

static SQInteger sq_get_average_circle_height(HSQUIRRELVM vm)
{
  const float x = argf(vm, 2), z = argf(vm, 3), r = argf(vm, 4);
  sq_pushfloat(vm, get_average_circle_height(x, z, r, world_hooks.get_land_height(x, z)));
  return 1;
}

static SQInteger sq_mark_rect(HSQUIRRELVM vm)
{
  mark_rect(argi(vm, 2), argi(vm, 3), argi(vm, 4), argi(vm, 5), unsigned(argi(vm, 6)), unsigned(argi(vm, 7)));
  return 0;
}
static SQInteger sq_mark_circle(HSQUIRRELVM vm)
{
  mark_circle(argf(vm, 2), argf(vm, 3), argf(vm, 4), unsigned(argi(vm, 5)), unsigned(argi(vm, 6)));
  return 0;
}
static SQInteger sq_mark_water(HSQUIRRELVM vm)
{
  mark_water(argf(vm, 2), unsigned(argi(vm, 3)), unsigned(argi(vm, 4)));
  return 0;
}
static SQInteger sq_test_rect_mark(HSQUIRRELVM vm)
{
  sq_pushbool(vm, test_rect_mark(argi(vm, 2), argi(vm, 3), argi(vm, 4), argi(vm, 5), unsigned(argi(vm, 6)),
                                 unsigned(argi(vm, 7))));
  return 1;
}
static SQInteger sq_test_circle_mark(HSQUIRRELVM vm)
{
  sq_pushbool(vm,
              test_circle_mark(argf(vm, 2), argf(vm, 3), argf(vm, 4), unsigned(argi(vm, 5)), unsigned(argi(vm, 6))));
  return 1;
}

static SQInteger sq_reseed_noise(HSQUIRRELVM)
{
  reseed_noise();
  return 0;
}
static SQInteger sq_noise1(HSQUIRRELVM vm)
{
  sq_pushfloat(vm, noise1(argf(vm, 2)));
  return 1;
}
static SQInteger sq_fractal_noise1(HSQUIRRELVM vm)
{
  float x = argf(vm, 2);
  int oct = argi(vm, 3);
  const FloatRamp *ramp = getInstOpt<SqFloatRamp>(vm, 4);
  sq_pushfloat(vm, fractal_noise1(x, oct, ramp, argf(vm, 5)));
  return 1;
}
static SQInteger sq_tiled_noise2(HSQUIRRELVM vm)
{
  sq_pushfloat(vm, tiled_noise2(argf(vm, 2), argf(vm, 3), argf(vm, 4)));
  return 1;
}
static SQInteger sq_tiled_fractal_noise2(HSQUIRRELVM vm)
{
  float x = argf(vm, 2), y = argf(vm, 3);
  int period = argi(vm, 4), oct = argi(vm, 5);
  const FloatRamp *ramp = getInstOpt<SqFloatRamp>(vm, 6);
  sq_pushfloat(vm, tiled_fractal_noise2(x, y, float(period), oct, ramp, argf(vm, 7)));
  return 1;
}
static SQInteger sq_get_noise_hash1(HSQUIRRELVM vm)
{
  sq_pushinteger(vm, get_noise_hash1(argi(vm, 2)));
  return 1;
}
static SQInteger sq_get_noise_hash2(HSQUIRRELVM vm)
{
  sq_pushinteger(vm, get_noise_hash2(argi(vm, 2), argi(vm, 3)));
  return 1;
}

static SQInteger sq_show_splash(HSQUIRRELVM vm)
{
  const char *text = Arg<const char *>::get(vm, 2);
  splash_hooks.show(text, argf(vm, 3));
  return 0;
}

static SQInteger sq_debug_object(HSQUIRRELVM vm)
{
  SQInteger top = sq_gettop(vm);
  switch (sq_gettype(vm, 2))
  {
  case OT_NATIVECLOSURE:
  {
    // Our native closures keep the function they call as their first free variable.
    SQUserPointer fn = nullptr;
    if (sq_getfreevariable(vm, 2, 0))
      sq_getuserpointer(vm, -1, &fn);
    debug("(native func %p)", fn);
    break;
  }
  case OT_INSTANCE:
  {
    SQUserPointer up = nullptr;
    sq_getinstanceup(vm, 2, &up, nullptr, SQFalse);
    debug("(instance UP=%p hook=%p)", up, (void *)sq_getreleasehook(vm, 2));
    break;
  }
  default:
  {
    const SQChar *s = nullptr;
    if (SQ_SUCCEEDED(sq_tostring(vm, 2)) && SQ_SUCCEEDED(sq_getstring(vm, -1, &s)))
      debug("%s", s);
    else
      debug("(unprintable)");
    break;
  }
  }
  sq_settop(vm, top);
  return 0;
}

void bind_world_gen_funcs(HSQUIRRELVM vm)
{
  add_raw_global(vm, "place_house", sq_place_house);
  add_raw_global(vm, "add_fast_noise", sq_add_fast_noise);
  add_raw_global(vm, "add_simplex_noise", sq_add_simplex_noise);
  add_raw_global(vm, "gen_fault", sq_gen_fault);
  add_raw_global(vm, "gen_crater", sq_gen_crater);
  add_raw_global(vm, "gen_droplet_erosion", sq_gen_droplet_erosion);
  add_raw_global(vm, "add_voronoi_hills", sq_add_voronoi_hills);
  add_raw_global(vm, "gen_voronoi_faults", sq_gen_voronoi_faults);
  add_raw_global(vm, "recenter_hmap", sq_recenter_hmap);
  add_raw_global(vm, "set_sun_dir", sq_set_sun_dir);
  add_raw_global(vm, "flatten_circle", sq_flatten_circle);
  add_raw_global(vm, "get_average_circle_height", sq_get_average_circle_height);
  add_raw_global(vm, "mark_rect", sq_mark_rect);
  add_raw_global(vm, "mark_circle", sq_mark_circle);
  add_raw_global(vm, "mark_water", sq_mark_water);
  add_raw_global(vm, "test_rect_mark", sq_test_rect_mark);
  add_raw_global(vm, "test_circle_mark", sq_test_circle_mark);
  add_raw_global(vm, "reseed_noise", sq_reseed_noise);
  add_raw_global(vm, "noise1", sq_noise1);
  add_raw_global(vm, "fractal_noise1", sq_fractal_noise1);
  add_raw_global(vm, "tiled_noise2", sq_tiled_noise2);
  add_raw_global(vm, "tiled_fractal_noise2", sq_tiled_fractal_noise2);
  add_raw_global(vm, "get_noise_hash1", sq_get_noise_hash1);
  add_raw_global(vm, "get_noise_hash2", sq_get_noise_hash2);
  add_raw_global(vm, "show_splash", sq_show_splash);
  add_raw_global(vm, "debug_object", sq_debug_object);
}

void bind_world_consts(HSQUIRRELVM vm)
{
  static const struct
  {
    const char *name;
    int value;
  } consts[] = {{"HMAP_SIZE", HMAP_SIZE},
                {"HMAP_SIZE_SHIFT", HMAP_SIZE_SHIFT},
                {"GT_NONE", GT_NONE},
                {"GT_HOUSE", GT_HOUSE},
                {"GT_ROCK", GT_ROCK},
                {"GT_SAND", GT_SAND},
                {"GT_SOIL", GT_SOIL},
                {"ST_OPEN", ST_OPEN},
                {"ST_NONE", ST_NONE},
                {"ST_GRASS", ST_GRASS},
                {"ST_ASH", ST_ASH},
                {"ST_SNOW", ST_SNOW},
                {"ST_ROAD", ST_ROAD},
                {"MARK_OBJ", int(MARK_OBJ)},
                {"MARK_PLACE", int(MARK_PLACE)},
                {"MARK_HOUSE", int(MARK_HOUSE)},
                {"MARK_WATER", int(MARK_WATER)},
                {"MARK_PLACEMENT", int(MARK_PLACEMENT)},
                {"DEMO", 1}};
  static_assert(sizeof(consts) / sizeof(consts[0]) == 19);
  for (const auto &c : consts)
    add_const(vm, c.name, c.value);
}
