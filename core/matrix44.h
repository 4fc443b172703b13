#pragma once
#include "vec4f.h"

// 4x4 floats, row-major. Row vectors multiply on the left (v * M), so world, view and
// projection apply in that order: v * world * view * proj.
struct alignas(16) Matrix44
{
  float m[4][4];

  static Matrix44 identity()
  {
    Matrix44 r{};
    r.m[0][0] = r.m[1][1] = r.m[2][2] = r.m[3][3] = 1.f;
    return r;
  }

  vec4f row(int i) const { return {m[i][0], m[i][1], m[i][2], m[i][3]}; }
  void setRow(int i, vec4f v)
  {
    m[i][0] = v.x;
    m[i][1] = v.y;
    m[i][2] = v.z;
    m[i][3] = v.w;
  }

  Matrix44 operator*(const Matrix44 &b) const
  {
    Matrix44 r;
    for (int i = 0; i < 4; i++)
      for (int j = 0; j < 4; j++)
        r.m[i][j] = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j] + m[i][3] * b.m[3][j];
    return r;
  }

  Matrix44 transposed() const
  {
    Matrix44 r;
    for (int i = 0; i < 4; i++)
      for (int j = 0; j < 4; j++)
        r.m[i][j] = m[j][i];
    return r;
  }
};
static_assert(sizeof(Matrix44) == 64);

// v * M for a full four-component row vector.
inline vec4f transform4(vec4f v, const Matrix44 &a)
{
  return {v.x * a.m[0][0] + v.y * a.m[1][0] + v.z * a.m[2][0] + v.w * a.m[3][0],
          v.x * a.m[0][1] + v.y * a.m[1][1] + v.z * a.m[2][1] + v.w * a.m[3][1],
          v.x * a.m[0][2] + v.y * a.m[1][2] + v.z * a.m[2][2] + v.w * a.m[3][2],
          v.x * a.m[0][3] + v.y * a.m[1][3] + v.z * a.m[2][3] + v.w * a.m[3][3]};
}
// A point (w = 1) through M, keeping the resulting w.
inline vec4f transform_point(vec4f p, const Matrix44 &a) { return transform4(vec4f(p.x, p.y, p.z, 1.f), a); }
// A direction (w = 0) through M.
inline vec4f transform_dir(vec4f d, const Matrix44 &a) { return transform4(vec4f(d.x, d.y, d.z, 0.f), a); }

// General inverse; returns false (and leaves out untouched) for a singular matrix.
bool inverse44(const Matrix44 &a, Matrix44 &out);
