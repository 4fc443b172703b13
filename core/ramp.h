#pragma once
#include "d3dcolor.h"
#include "engine_api.h"
#include "vec4f.h"

// Ramps: functions of t in [0, 1] stored as 257 samples inline, sample i at t = i/256.
// Evaluation is a table look-up with linear interpolation; copying copies all samples.
constexpr int RAMP_SAMPLES = 257;

// Packed 0xAARRGGBB to (r, g, b, a) in [0, 1] by the single-precision reciprocal factors
// applied to the masked channel bits (the ramps' own conversion, kept bit-exact).
ENGINE_API vec4f ramp_color_to_vec4f(D3dColor c);

struct ENGINE_API ColorRamp
{
  vec4f samples[RAMP_SAMPLES]; // vec4f is 16-byte aligned, so is the ramp

  ColorRamp() : samples() {} // all zero
  // Fade-in-out: rises from c0 to c1 over [0, fadeIn), falls from c1 to c2 over the
  // last fadeOut of the range; the rising part wins where they overlap.
  ColorRamp(vec4f c0, vec4f c1, vec4f c2, float fadeIn, float fadeOut);
  ColorRamp(D3dColor c0, D3dColor c1, D3dColor c2, float fadeIn, float fadeOut);

  void setLinear(vec4f a, vec4f b);
  void setConst(vec4f v);
  void setFadeInOut(vec4f a, vec4f b, vec4f c, float fadeIn, float fadeOut);

  // Sample i = f(i / 256) for i = 0..256, in increasing order.
  template <typename F>
  void fill(F f)
  {
    for (int i = 0; i < RAMP_SAMPLES; i++)
      samples[i] = f(float(i) / 256.f);
  }

  // t <= 0 (or NaN) gives sample 0, t >= 1 sample 256.
  vec4f get(float t) const { return at(t * 256.f); }
  // The same with the table position x = t * 256 computed by the caller.
  vec4f at(float x) const;
  // Writes the samples to the debug log as a static table in source form.
  void dump(const char *name) const;
};

struct ENGINE_API FloatRamp
{
  float samples[RAMP_SAMPLES];

  FloatRamp() : samples() {} // all zero
  FloatRamp(float a, float b) { setLinear(a, b); }
  explicit FloatRamp(float v) { setConst(v); }
  FloatRamp(float a, float b, float c, float fadeIn, float fadeOut) { setFadeInOut(a, b, c, fadeIn, fadeOut); }

  void setLinear(float a, float b);
  void setConst(float v);
  void setFadeInOut(float a, float b, float c, float fadeIn, float fadeOut);

  template <typename F>
  void fill(F f)
  {
    for (int i = 0; i < RAMP_SAMPLES; i++)
      samples[i] = f(float(i) / 256.f);
  }

  float get(float t) const { return at(t * 256.f); }
  float at(float x) const;
  void dump(const char *name) const;
};

static_assert(sizeof(ColorRamp) == RAMP_SAMPLES * sizeof(vec4f) && alignof(ColorRamp) == 16);
static_assert(sizeof(FloatRamp) == RAMP_SAMPLES * sizeof(float));
