#include "proximity.h"
#include <algorithm>
#include <cmath>
#include "gameobj.h"

ProximityBin proximity[PROXIMITY_BIN_COUNT];
static_assert(PROXIMITY_BIN_COUNT == 1281);

namespace
{
// floor(v / size) through round-to-nearest(v / size - 0.4999999). Kept in 64 bits so
// that far-away or non-finite coordinates cannot overflow the cell arithmetic.
inline int64_t cell_of(float v, float inv_size)
{
  float t = v * inv_size - 0.4999999f;
  if (!(std::fabs(t) < 1e15f))
    return 0; // NaN or absurdly far: any cell is as good as another
  return int64_t(std::llrint(t));
}
inline int64_t fine_cell(float v) { return cell_of(v, 1.f / 8.f); }
inline int64_t coarse_cell(float v) { return cell_of(v + 4.f, 1.f / 16.f); }
inline int fine_bin(int64_t col, int64_t row) { return int((row & 31) * 32 + (col & 31)); }
inline int coarse_bin(int64_t col, int64_t row) { return PROXIMITY_FINE_BINS + int((row & 15) * 16 + (col & 15)); }

// A rectangle spanning more than a few world widths would loop for ever listing the same
// bins again; past this many cells per axis every cell has been listed at least twice.
constexpr int64_t MAX_FINE_SPAN = 4 * 32;
constexpr int64_t MAX_COARSE_SPAN = 4 * 16;
} // namespace

int proximity_bin_for(const vec4f &fp)
{
  int64_t fx0 = fine_cell(fp.x), fz0 = fine_cell(fp.y), fx1 = fine_cell(fp.z), fz1 = fine_cell(fp.w);
  if (fx0 == fx1 && fz0 == fz1)
    return fine_bin(fx0, fz0);
  int64_t cx0 = coarse_cell(fp.x), cz0 = coarse_cell(fp.y), cx1 = coarse_cell(fp.z), cz1 = coarse_cell(fp.w);
  if (cx0 == cx1 && cz0 == cz1)
    return coarse_bin(cx0, cz0);
  return PROXIMITY_GLOBAL_BIN;
}

void update_proximity(GameObj *obj, const vec4f &footprint)
{
  if (!obj)
    return;
  int b = proximity_bin_for(footprint);
  if (b == obj->proximity_bin)
    return;
  remove_proximity_object(obj);
  proximity[b].push(obj);
  obj->proximity_bin = b;
}

void remove_proximity_object(GameObj *obj)
{
  if (!obj || uint32_t(obj->proximity_bin) >= uint32_t(PROXIMITY_BIN_COUNT))
    return;
  ProximityBin &bin = proximity[obj->proximity_bin];
  int i = bin.find(obj);
  if (i >= 0)
    bin.erase(i);
  obj->proximity_bin = -1;
}

void ProximityQuery::proximityQuery(const vec4f &r, bool skip_global)
{
  bins.clear();
  int64_t x0 = fine_cell(r.x), z0 = fine_cell(r.y), x1 = fine_cell(r.z), z1 = fine_cell(r.w);
  x1 = std::min(x1, x0 + MAX_FINE_SPAN);
  z1 = std::min(z1, z0 + MAX_FINE_SPAN);
  for (int64_t row = z0; row <= z1; row++)
    for (int64_t col = x0; col <= x1; col++)
    {
      int b = fine_bin(col, row);
      if (!proximity[b].empty())
        bins.push(b);
    }
  x0 = coarse_cell(r.x), z0 = coarse_cell(r.y), x1 = coarse_cell(r.z), z1 = coarse_cell(r.w);
  x1 = std::min(x1, x0 + MAX_COARSE_SPAN);
  z1 = std::min(z1, z0 + MAX_COARSE_SPAN);
  for (int64_t row = z0; row <= z1; row++)
    for (int64_t col = x0; col <= x1; col++)
    {
      int b = coarse_bin(col, row);
      if (!proximity[b].empty())
        bins.push(b);
    }
  if (!skip_global && !proximity[PROXIMITY_GLOBAL_BIN].empty())
    bins.push(PROXIMITY_GLOBAL_BIN);
  curBin = 0;
  curObj = -1;
}

GameObj *ProximityQuery::next()
{
  while (curBin < bins.size())
  {
    const ProximityBin &bin = proximity[bins[curBin]];
    if (++curObj < bin.size())
      return bin[curObj];
    curBin++;
    curObj = -1;
  }
  return nullptr;
}
