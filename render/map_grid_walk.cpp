// walk_map_grid and GenMapCellPoints.
#include "render/map_grid_walk.h"
#include "world/heightmap.h"
#include "world/world_rnd.h"

void walk_map_grid(int level, IWalkMapGrid &visitor)
{
  if (level >= HMAP_SIZE_SHIFT)
  {
    visitor.on_map_grid_walk(0.f, 0.f, float(HMAP_SIZE));
    return;
  }
  if (level >= 0)
  {
    const int size = 1 << level;
    for (int y = 0; y < HMAP_SIZE; y += size)
      for (int x = 0; x < HMAP_SIZE; x += size)
        visitor.on_map_grid_walk(float(x), float(y), float(size));
    return;
  }
  // The count per side must fit an int: levels below -22 walk like -22.
  const int shift = -level < 22 ? -level : 22;
  const int n = HMAP_SIZE << shift;
  const float size = 1.f / float(1 << shift);
  for (int j = 0; j < n; j++)
    for (int i = 0; i < n; i++)
      visitor.on_map_grid_walk(float(i) * size, float(j) * size, size);
}

void GenMapCellPoints::on_map_grid_walk(float x, float y, float size)
{
  for (int i = 0; i < pointsPerCell; i++)
  {
    const float u = game_rnd_unit();
    const float v = game_rnd_unit();
    if (sink)
      sink->on_map_point(x + size * u, y + size * v);
  }
}
