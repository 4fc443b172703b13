#pragma once
#include <cstdint>
#include "engine_api.h"
#include "vec4f.h"

// A packed colour 0xAARRGGBB (bytes B, G, R, A in memory), passed by value. It converts
// freely to and from its 32-bit value, so it can sit in vertex data and packed words.
struct D3dColor
{
  uint32_t u;

  D3dColor() = default;
  constexpr D3dColor(uint32_t c) : u(c) {}
  constexpr D3dColor(int a, int r, int g, int b)
      : u((uint32_t(a & 255) << 24) | (uint32_t(r & 255) << 16) | (uint32_t(g & 255) << 8) | uint32_t(b & 255))
  {}
  constexpr operator uint32_t() const { return u; }

  constexpr int a() const { return int(u >> 24); }
  constexpr int r() const { return int((u >> 16) & 255); }
  constexpr int g() const { return int((u >> 8) & 255); }
  constexpr int b() const { return int(u & 255); }
};
static_assert(sizeof(D3dColor) == 4);

// Packed to float: channel / 255, as (r, g, b, a).
inline constexpr vec4f color_to_vec4f(D3dColor c)
{
  return {c.r() / 255.f, c.g() / 255.f, c.b() / 255.f, c.a() / 255.f};
}

// One channel in [0, 1] to a byte: clamp, scale by 255, round to nearest.
inline constexpr uint32_t unit_to_byte(float v)
{
  v = v > 0.f ? (v < 1.f ? v : 1.f) : 0.f; // NaN becomes 0
  return uint32_t(v * 255.f + 0.5f);
}

// Float to packed: each channel clamped to [0, 1], times 255, rounded to nearest.
inline constexpr D3dColor vec4f_to_color(vec4f c)
{
  return D3dColor((unit_to_byte(c.w) << 24) | (unit_to_byte(c.x) << 16) | (unit_to_byte(c.y) << 8) | unit_to_byte(c.z));
}

// HSV to (r, g, b, a), h in degrees (any value; it wraps), s and v in [0, 1].
ENGINE_API vec4f hsv2rgba(float h, float s, float v, float a);
// CIE LCh (D65) to sRGB (r, g, b, a), h in degrees; not clamped.
ENGINE_API vec4f lch2rgba(float l, float c, float h, float a);
