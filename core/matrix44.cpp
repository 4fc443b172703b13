#include "matrix44.h"
#include <cmath>

bool inverse44(const Matrix44 &a, Matrix44 &out)
{
  // Gauss-Jordan elimination with partial pivoting on [a | I].
  double w[4][8];
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++)
    {
      w[i][j] = a.m[i][j];
      w[i][j + 4] = i == j ? 1.0 : 0.0;
    }
  for (int c = 0; c < 4; c++)
  {
    int p = c;
    for (int r = c + 1; r < 4; r++)
      if (std::fabs(w[r][c]) > std::fabs(w[p][c]))
        p = r;
    if (std::fabs(w[p][c]) < 1e-30)
      return false;
    if (p != c)
      for (int j = 0; j < 8; j++)
        std::swap(w[p][j], w[c][j]);
    double inv = 1.0 / w[c][c];
    for (int j = 0; j < 8; j++)
      w[c][j] *= inv;
    for (int r = 0; r < 4; r++)
      if (r != c && w[r][c] != 0.0)
      {
        double f = w[r][c];
        for (int j = 0; j < 8; j++)
          w[r][j] -= f * w[c][j];
      }
  }
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++)
      out.m[i][j] = float(w[i][j + 4]);
  return true;
}
