#pragma once
// Walking the 256 x 256 map in square cells, and scattering random points in them.
#include "core/engine_api.h"

class ENGINE_API IWalkMapGrid
{
public:
  // One cell: its corner (x, y) in map units (y runs along the map's z) and its side.
  virtual void on_map_grid_walk(float x, float y, float size) = 0;

protected:
  ~IWalkMapGrid() = default;
};

// Visits the map in cells of side 2^level (level >= 8: one cell of 256; level < 0: cells
// of 1 / 2^-level, 256 * 2^-level per side), rows outer and columns inner, both from 0.
ENGINE_API void walk_map_grid(int level, IWalkMapGrid &visitor);

// Receives the points of GenMapCellPoints.
class ENGINE_API IMapPointSink
{
public:
  virtual void on_map_point(float x, float y) = 0;

protected:
  ~IMapPointSink() = default;
};

// For every visited cell, pointsPerCell points at uniformly random places inside it: two
// draws u, v from the game's generator (game_rnd_seed) each, giving (x + size u, y + size v).
// The points may reach the cell's far edge through rounding; sinks wrap what they receive.
class ENGINE_API GenMapCellPoints : public IWalkMapGrid
{
public:
  IMapPointSink *sink = nullptr;
  int pointsPerCell = 1;

  GenMapCellPoints() = default;
  GenMapCellPoints(IMapPointSink *s, int n) : sink(s), pointsPerCell(n) {}
  void on_map_grid_walk(float x, float y, float size) override;
};
