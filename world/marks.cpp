#include <cmath>
#include <cstdint>
#include <emmintrin.h>
#include "world/heightmap.h"

// Rectangles and discs of cells, visited in rows of increasing z and, within a row,
// columns of increasing x, with wrapped addressing. A visitor returns false to stop.
//
// Marking and testing give the same result whatever the order and however often a
// cell is visited, so selections larger than the map are cut to one copy of it: this
// keeps absurd arguments from spinning for billions of iterations.

// Round to nearest (ties to even), as the hardware conversion does.
static inline int round_i(float v) { return _mm_cvtss_si32(_mm_set_ss(v)); }
// ceil and floor as v +- 0.49999988 rounded to nearest; the sum is formed in double,
// where it is exact (in float, 7 + 0.49999988 rounds to 7.5 and then to 8).
static inline int fast_ceil(float v) { return _mm_cvtsd_si32(_mm_set_sd(double(v) + 0.49999988)); }
static inline int fast_floor(float v) { return _mm_cvtsd_si32(_mm_set_sd(double(v) - 0.49999988)); }

// Coordinates beyond this have lost their fractional part many times over; a disc
// centred there selects nothing rather than converting garbage to integers.
static constexpr float DISC_COORD_LIMIT = 1e7f;
// A radius whose square exceeds 2 * 128^2 reaches a copy of every cell.
static constexpr float DISC_ALL_R2 = 2.f * 128.f * 128.f;

template <typename Visit>
static bool visit_rect(int x0, int z0, int x1, int z1, Visit visit)
{
  if (x1 < x0 || z1 < z0)
    return true;
  int64_t nx = int64_t(x1) - x0 + 1, nz = int64_t(z1) - z0 + 1;
  if (nx > HMAP_SIZE)
    nx = HMAP_SIZE;
  if (nz > HMAP_SIZE)
    nz = HMAP_SIZE;
  for (int64_t j = 0; j < nz; j++)
  {
    int z = int((z0 + j) & HMAP_MASK);
    for (int64_t i = 0; i < nx; i++)
      if (!visit(HeightmapData::surface[(z << HMAP_SIZE_SHIFT) | int((x0 + i) & HMAP_MASK)]))
        return false;
  }
  return true;
}

template <typename Visit>
static bool visit_disc(float cx, float cz, float r, Visit visit)
{
  if (!(std::fabs(cx) < DISC_COORD_LIMIT && std::fabs(cz) < DISC_COORD_LIMIT) || std::isnan(r))
    return true;
  if (r <= 1.f)
    return visit(HeightmapData::surface[hmap_index(round_i(cx), round_i(cz))]);
  float r2 = r * r;
  if (r2 > DISC_ALL_R2)
  {
    for (int i = 0; i < HMAP_CELLS; i++)
      if (!visit(HeightmapData::surface[i]))
        return false;
    return true;
  }
  int xa = fast_ceil(cx - r), xb = fast_floor(cx + r);
  int za = fast_ceil(cz - r), zb = fast_floor(cz + r);
  for (int z = za; z <= zb; z++)
  {
    float dz = float(z) - cz;
    float dz2 = dz * dz;
    const int row = (z & HMAP_MASK) << HMAP_SIZE_SHIFT;
    for (int x = xa; x <= xb; x++)
    {
      float dx = float(x) - cx;
      if (dx * dx + dz2 < r2 && !visit(HeightmapData::surface[row | (x & HMAP_MASK)]))
        return false;
    }
  }
  return true;
}

namespace
{
struct MarkSetter
{
  unsigned set, clear;
  bool operator()(HeightmapData::Surface &s) const
  {
    s.change_marks(set, clear);
    return true;
  }
};
struct MarkTester
{
  unsigned mask, value;
  bool operator()(const HeightmapData::Surface &s) const { return (s.marks() & mask) == value; }
};
} // namespace

void mark_rect(int x0, int z0, int x1, int z1, unsigned set, unsigned clear)
{
  visit_rect(x0, z0, x1, z1, MarkSetter{set & 0xFFu, clear & 0xFFu});
}

void mark_circle(float cx, float cz, float r, unsigned set, unsigned clear)
{
  visit_disc(cx, cz, r, MarkSetter{set & 0xFFu, clear & 0xFFu});
}

bool test_rect_mark(int x0, int z0, int x1, int z1, unsigned mask, unsigned value)
{
  return visit_rect(x0, z0, x1, z1, MarkTester{mask & 0xFFu, value & 0xFFu});
}

bool test_circle_mark(float cx, float cz, float r, unsigned mask, unsigned value)
{
  return visit_disc(cx, cz, r, MarkTester{mask & 0xFFu, value & 0xFFu});
}
