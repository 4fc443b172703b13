#include "d3dcolor.h"
#include <cmath>
#include "angles.h"

namespace
{
float lab_f_inv(float f)
{
  float g = f * f * f;
  return g > 0.008856f ? g : (f - 0.13793103f) * 0.12841855f;
}

double srgb_gamma(double c) { return c > 0.0031308 ? 1.055 * std::pow(c, 1.0 / 2.4) - 0.055 : 12.92 * c; }
} // namespace

vec4f hsv2rgba(float h, float s, float v, float a)
{
  if (s == 0.f)
    return vec4f(v, v, v, a);
  float hh = h * 0.0027777778f;
  hh = hh - std::floor(hh);
  hh = hh * 6.f;
  float fi = std::floor(hh);
  float f = hh - fi;
  float p = (1.f - s) * v, q = (1.f - f * s) * v, t = (1.f - (1.f - f) * s) * v;
  switch (int(fi))
  {
  case 0: return vec4f(v, t, p, a);
  case 1: return vec4f(q, v, p, a);
  case 2: return vec4f(p, v, t, a);
  case 3: return vec4f(p, q, v, a);
  case 4: return vec4f(t, p, v, a);
  default: return vec4f(v, p, q, a);
  }
}

vec4f lch2rgba(float l, float c, float h, float a)
{
  double hr = double(h) * DEG_TO_RAD;
  float A = float(double(c) * std::cos(hr)), B = float(double(c) * std::sin(hr));
  float fy = (l + 16.f) * 0.00862069f;
  float fx = fy + A * 0.002f;
  float fz = fy - B * 0.005f;
  float X = lab_f_inv(fx) * 95.047f * 0.01f;
  float Y = lab_f_inv(fy) * 100.f * 0.01f;
  float Z = lab_f_inv(fz) * 108.883f * 0.01f;
  double R = 3.2406 * X - 1.5372 * Y - 0.4986 * Z;
  double G = -0.9689 * X + 1.8758 * Y + 0.0415 * Z;
  double Bl = 0.0557 * X - 0.204 * Y + 1.057 * Z;
  return vec4f(float(srgb_gamma(R)), float(srgb_gamma(G)), float(srgb_gamma(Bl)), a);
}
