#pragma once
// The proximity grid: every filed object sits in exactly one bin chosen from its ground
// footprint (x0, z0, x1, z1): a fine 8x8 cell when it fits in one, else a coarse 16x16
// cell (shifted by 4 units) when it fits in one, else the global bin. Both grids wrap
// every 256 units like the world. Only the module files and removes objects.
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "core/vec4f.h"

class GameObj;

using ProximityBin = DynArray<GameObj *>; // insertion order

constexpr int PROXIMITY_FINE_BINS = 32 * 32;                                      // bins 0..1023
constexpr int PROXIMITY_COARSE_BINS = 16 * 16;                                    // bins 1024..1279
constexpr int PROXIMITY_GLOBAL_BIN = PROXIMITY_FINE_BINS + PROXIMITY_COARSE_BINS; // 1280
constexpr int PROXIMITY_BIN_COUNT = PROXIMITY_GLOBAL_BIN + 1;                     // 1281

extern ENGINE_API ProximityBin proximity[PROXIMITY_BIN_COUNT];

// The bin a footprint (x0, z0, x1, z1) belongs in.
ENGINE_API int proximity_bin_for(const vec4f &footprint);
// Files obj in the bin of its footprint; nothing happens when it is already there (its
// place in the bin is kept). Moving to another bin appends it at the end there.
ENGINE_API void update_proximity(GameObj *obj, const vec4f &footprint);
// Takes obj out of its bin (if it is filed) and marks it unfiled. Null is ignored. Call
// it before an object is deleted.
ENGINE_API void remove_proximity_object(GameObj *obj);

// The non-empty bins under a ground rectangle, fine cells first, then coarse cells, then
// the global bin. A superset: the caller tests each object it walks.
class ENGINE_API ProximityQuery
{
public:
  DynArray<int> bins;
  int curBin = 0;  // index into bins
  int curObj = -1; // index into proximity[bins[curBin]]

  // rect = (x0, z0, x1, z1). A rectangle wider than the world lists some bins twice.
  void proximityQuery(const vec4f &rect, bool skip_global);
  // Walks the listed bins' objects in order; null at the end.
  GameObj *next();
};
