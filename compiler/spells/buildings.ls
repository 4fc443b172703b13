// Houses and castles built by spells: a plot must be dry, flat and free of objects and
// other buildings; the building's heights go into the target heights, so its walls rise
// out of the ground.
import core.classes
import spells.land_water

// The sizes in cells of the four house shapes of placeHouse (0: the castle).
struct BuildingShape
{
  int w, h;
};
static const BuildingShape building_shapes[4] = {{18, 18}, {4, 4}, {4, 10}, {10, 4}};

// placeHouse's shape for a type: -1 the castle, else one of the three houses.
static int building_entry(int type) { return type < 0 ? 0 : 1 + int(unsigned(type) % 3u); }

static void building_rect(int x, int z, int type, int &x0, int &z0, int &x1, int &z1)
{
  const BuildingShape &s = building_shapes[building_entry(type)];
  x0 = x - s.w / 2;
  z0 = z - s.h / 2;
  x1 = x0 + s.w;
  z1 = z0 + s.h;
}

// Whether a building of type fits with its middle at cell (x, z).
bool building_plot_ok(int x, int z, int type)
{
  int x0, z0, x1, z1;
  building_rect(x, z, type, x0, z0, x1, z1);
  // Objects, reserved places and buildings block it; the water mark of the world's
  // generation does not (the water may have gone since: the depth decides).
  if (!test_rect_mark(x0, z0, x1, z1, MARK_PLACEMENT, 0))
    return false;
  float lo = 1e30f, hi = -1e30f;
  for (int cz = z0; cz <= z1; cz++)
    for (int cx = x0; cx <= x1; cx++)
    {
      const int i = hmap_index(cx, cz);
      const float t = HeightmapData::target_hmap[i];
      if (HeightmapData::waterAt(cx, cz).depth > 0.02f || std::fabs(t - HeightmapData::hmap[i]) > 0.5f)
        return false;
      lo = std::fmin(lo, t);
      hi = std::fmax(hi, t);
    }
  return hi - lo <= (type < 0 ? 3.5f : 2.5f);
}

// The fit plot nearest to (x, z) within reach cells (nearest first, in rings); false
// when there is none.
bool find_building_plot(int &x, int &z, int type, int reach)
{
  for (int r = 0; r <= reach; r++)
    for (int dz = -r; dz <= r; dz++)
      for (int dx = -r; dx <= r; dx++)
        if ((std::abs(dx) == r || std::abs(dz) == r) && building_plot_ok(x + dx, z + dz, type))
        {
          x = (x + dx) & HMAP_MASK;
          z = (z + dz) & HMAP_MASK;
          return true;
        }
  return false;
}

// Builds it when the plot is fit; false (and nothing changed) otherwise.
bool build_building(int x, int z, int type)
{
  if (!building_plot_ok(x, z, type))
    return false;
  int x0, z0, x1, z1;
  building_rect(x, z, type, x0, z0, x1, z1);
  mark_rect(x0, z0, x1, z1, 0, MARK_WATER); // dry now (placeHouse would refuse the mark)
  if (type < 0)
    mark_rect(x0, z0, x1, z1, MARK_HOUSE, 0); // placeHouse marks only the houses' plots
  HeightmapData::placeHouse(x, z, type, HeightmapData::target_hmap, false);
  request_land_refresh();
  return true;
}
