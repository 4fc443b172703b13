#pragma once
#include <cmath>

// Four floats, 16-byte aligned, passed by value. Positions use x and z as the ground
// plane and y as up; colours use (r, g, b, a) in [0, 1].
struct alignas(16) vec4f
{
  float x, y, z, w;

  vec4f() = default;
  constexpr vec4f(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
  constexpr explicit vec4f(float v) : x(v), y(v), z(v), w(v) {}

  float &operator[](int i) { return (&x)[i]; }
  float operator[](int i) const { return (&x)[i]; }

  constexpr vec4f operator+(vec4f b) const { return {x + b.x, y + b.y, z + b.z, w + b.w}; }
  constexpr vec4f operator-(vec4f b) const { return {x - b.x, y - b.y, z - b.z, w - b.w}; }
  constexpr vec4f operator*(vec4f b) const { return {x * b.x, y * b.y, z * b.z, w * b.w}; }
  constexpr vec4f operator/(vec4f b) const { return {x / b.x, y / b.y, z / b.z, w / b.w}; }
  constexpr vec4f operator*(float s) const { return {x * s, y * s, z * s, w * s}; }
  constexpr vec4f operator/(float s) const { return {x / s, y / s, z / s, w / s}; }
  constexpr vec4f operator-() const { return {-x, -y, -z, -w}; }
  vec4f &operator+=(vec4f b) { return *this = *this + b; }
  vec4f &operator-=(vec4f b) { return *this = *this - b; }
  vec4f &operator*=(vec4f b) { return *this = *this * b; }
  vec4f &operator*=(float s) { return *this = *this * s; }
  vec4f &operator/=(float s) { return *this = *this / s; }
  constexpr bool operator==(const vec4f &b) const { return x == b.x && y == b.y && z == b.z && w == b.w; }
};
static_assert(sizeof(vec4f) == 16 && alignof(vec4f) == 16);

inline constexpr vec4f operator*(float s, vec4f v) { return v * s; }
inline constexpr float dot3(vec4f a, vec4f b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline constexpr float dot4(vec4f a, vec4f b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
inline constexpr vec4f cross3(vec4f a, vec4f b)
{
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.f};
}
inline float length3(vec4f a) { return std::sqrt(dot3(a, a)); }
inline vec4f normalize3(vec4f a)
{
  float l = length3(a);
  return l > 0.f ? vec4f(a.x / l, a.y / l, a.z / l, a.w) : a;
}
inline vec4f vmin(vec4f a, vec4f b)
{
  return {std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fmin(a.z, b.z), std::fmin(a.w, b.w)};
}
inline vec4f vmax(vec4f a, vec4f b)
{
  return {std::fmax(a.x, b.x), std::fmax(a.y, b.y), std::fmax(a.z, b.z), std::fmax(a.w, b.w)};
}
inline constexpr vec4f lerp(vec4f a, vec4f b, float t) { return a + (b - a) * t; }
