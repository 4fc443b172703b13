#include "ramp.h"
#include "log.h"

vec4f ramp_color_to_vec4f(D3dColor c)
{
  uint32_t u = c.u;
  return vec4f(float(u & 0x00FF0000u) * (1.f / (255.f * 65536.f)), float(u & 0x0000FF00u) * (1.f / (255.f * 256.f)),
               float(u & 0x000000FFu) * (1.f / 255.f), float(u & 0xFF000000u) * (1.f / (255.f * 16777216.f)));
}

// The shapes are written once for both sample types.
namespace
{
template <typename T>
void fill_linear(T *s, T a, T b)
{
  for (int i = 0; i < RAMP_SAMPLES; i++)
    s[i] = a + (b - a) * (float(i) / 256.f);
}

template <typename T>
void fill_fade(T *s, T a, T b, T c, float fadeIn, float fadeOut)
{
  for (int i = 0; i < RAMP_SAMPLES; i++)
  {
    float t = float(i) / 256.f;
    if (fadeIn > t)
    {
      float k = t / fadeIn;
      s[i] = a + (b - a) * (k * k * (3.f - 2.f * k));
    }
    else if ((1.f - fadeOut) < t)
    {
      float k = (t - (1.f - fadeOut)) / (1.f - (1.f - fadeOut));
      s[i] = b + (c - b) * (k * k * (3.f - 2.f * k));
    }
    else
      s[i] = b;
  }
}

template <typename T>
T sample_at(const T *s, float x)
{
  if (!(x > 0.f)) // also catches NaN
    return s[0];
  if (x >= 256.f)
    return s[256];
  int k = int(x);
  float f = x - float(k);
  return s[k] + (s[k + 1] - s[k]) * f;
}
} // namespace

ColorRamp::ColorRamp(vec4f c0, vec4f c1, vec4f c2, float fadeIn, float fadeOut)
{
  setFadeInOut(c0, c1, c2, fadeIn, fadeOut);
}

ColorRamp::ColorRamp(D3dColor c0, D3dColor c1, D3dColor c2, float fadeIn, float fadeOut)
{
  setFadeInOut(ramp_color_to_vec4f(c0), ramp_color_to_vec4f(c1), ramp_color_to_vec4f(c2), fadeIn, fadeOut);
}

void ColorRamp::setLinear(vec4f a, vec4f b) { fill_linear(samples, a, b); }

void ColorRamp::setConst(vec4f v)
{
  for (vec4f &s : samples)
    s = v;
}

void ColorRamp::setFadeInOut(vec4f a, vec4f b, vec4f c, float fadeIn, float fadeOut)
{
  fill_fade(samples, a, b, c, fadeIn, fadeOut);
}

vec4f ColorRamp::at(float x) const { return sample_at(samples, x); }

void ColorRamp::dump(const char *name) const
{
  debug_("\nstatic ColorRamp %s=\n{\n ", name);
  for (int i = 0; i < RAMP_SAMPLES; i++)
  {
    const vec4f &s = samples[i];
    debug_(" make4f(%g, %g, %g, %g),", s.x, s.y, s.z, s.w);
    if ((i & 3) == 3)
      debug_("\n ");
  }
  debug("\n};\n");
}

void FloatRamp::setLinear(float a, float b) { fill_linear(samples, a, b); }

void FloatRamp::setConst(float v)
{
  for (float &s : samples)
    s = v;
}

void FloatRamp::setFadeInOut(float a, float b, float c, float fadeIn, float fadeOut)
{
  fill_fade(samples, a, b, c, fadeIn, fadeOut);
}

float FloatRamp::at(float x) const { return sample_at(samples, x); }

void FloatRamp::dump(const char *name) const
{
  debug_("\nstatic FloatRamp %s=\n{\n ", name);
  for (int i = 0; i < RAMP_SAMPLES; i++)
  {
    debug_(" %g,", samples[i]);
    if ((i & 7) == 7)
      debug_("\n ");
  }
  debug("\n};\n");
}
