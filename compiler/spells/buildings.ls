// Houses and castles built by spells: a plot must be dry, flat and free of objects and
// other buildings; the building's heights go into the target heights, so its walls rise
// out of the ground. A castle is wide: it levels its plot (to the plot's mean height)
// and eases the land around it to that level, so it needs only fairly even ground; the
// trees on its plot fall and its stones go, only menhirs and buildings keep it out.
import core.classes
import spells.land_water
import objects.static_objects

// What can keep a building off a plot.
enum PlotProblem
{
  PLOT_FIT,
  PLOT_TAKEN,  // trees, stones, buildings or a reserved place on it
  PLOT_MOVING, // its land is still rising or sinking
  PLOT_WET,    // under water
  PLOT_STEEP,  // too uneven
  PLOT_PROBLEMS,
};

static constexpr float HOUSE_MAX_RISE = 2.5f;  // between a plot's lowest and highest cell
static constexpr float CASTLE_MAX_RISE = 10.f;
static constexpr int CASTLE_RAMP = 6;          // cells around a castle eased to its level
static constexpr float CASTLE_WATER_DEPTH = 1.f; // the deepest water a castle's plot may take in

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

// The object's cell lies in the rectangle x0..x1, z0..z1 (inclusive, across the map's
// edge too).
static bool object_in_rect(const GameObj *o, int x0, int z0, int x1, int z1)
{
  const int cx = int(std::floor(o->pos.x)), cz = int(std::floor(o->pos.z));
  return ((cx - x0) & HMAP_MASK) <= x1 - x0 && ((cz - z0) & HMAP_MASK) <= z1 - z0;
}

static bool menhir_in_rect(int x0, int z0, int x1, int z1)
{
  for (const DynArray<GameObj *> *list : {&Menhir1StaticObject_list, &Menhir2StaticObject_list})
    for (GameObj *o : *list)
      if (!o->isDestroyed() && object_in_rect(o, x0, z0, x1, z1))
        return true;
  return false;
}

// What keeps a building of type off the plot with its middle at cell (x, z), the first
// found; PLOT_FIT when it fits.
PlotProblem building_plot_problem(int x, int z, int type)
{
  int x0, z0, x1, z1;
  building_rect(x, z, type, x0, z0, x1, z1);
  // Reserved places and buildings block it, and for a house any object; the water mark
  // of the world's generation does not (the water may have gone since: the depth
  // decides).
  const bool castle = type < 0;
  if (!test_rect_mark(x0, z0, x1, z1, castle ? MARK_PLACE | MARK_HOUSE : MARK_PLACEMENT, 0))
    return PLOT_TAKEN;
  if (castle && menhir_in_rect(x0, z0, x1, z1))
    return PLOT_TAKEN;
  // A house needs dry land. A castle may take in shallow water on a fifth of its plot,
  // as long as its level (the plot's mean) stands above every water surface there.
  float lo = 1e30f, hi = -1e30f, sum = 0.f, top_water = -1e30f;
  int wet = 0;
  for (int cz = z0; cz <= z1; cz++)
    for (int cx = x0; cx <= x1; cx++)
    {
      const int i = hmap_index(cx, cz);
      const float t = HeightmapData::target_hmap[i], depth = HeightmapData::waterAt(cx, cz).depth;
      if (!(std::fabs(t - HeightmapData::hmap[i]) <= 0.5f))
        return PLOT_MOVING;
      if (!(depth <= (castle ? CASTLE_WATER_DEPTH : 0.02f)))
        return PLOT_WET;
      if (depth > 0.02f)
        wet++, top_water = std::fmax(top_water, HeightmapData::hmap[i] + depth);
      lo = std::fmin(lo, t);
      hi = std::fmax(hi, t);
      sum += t;
    }
  const int cells = (x1 - x0 + 1) * (z1 - z0 + 1);
  if (wet * 5 > cells || (wet > 0 && sum / float(cells) < top_water + 0.5f))
    return PLOT_WET;
  return hi - lo <= (castle ? CASTLE_MAX_RISE : HOUSE_MAX_RISE) ? PLOT_FIT : PLOT_STEEP;
}

bool building_plot_ok(int x, int z, int type) { return building_plot_problem(x, z, type) == PLOT_FIT; }

// The fit plot nearest to (x, z) within reach cells (nearest first, in rings) for a
// building of type; a house may take any of the house shapes when the one of its type
// does not fit (tried from its own on each ring), and type says which it took. False
// when there is none, and then why (when asked): what ruled out most of the plots.
bool find_building_plot(int &x, int &z, int &type, int reach, PlotProblem *why)
{
  const int shapes = type < 0 ? 1 : 3;
  int seen[PLOT_PROBLEMS] = {};
  for (int r = 0; r <= reach; r++)
    for (int dz = -r; dz <= r; dz++)
      for (int dx = -r; dx <= r; dx++)
      {
        if (std::abs(dx) != r && std::abs(dz) != r)
          continue;
        for (int k = 0; k < shapes; k++)
        {
          const int t = type < 0 ? type : (type + k) % 3;
          const PlotProblem p = building_plot_problem(x + dx, z + dz, t);
          if (p == PLOT_FIT)
          {
            x = (x + dx) & HMAP_MASK;
            z = (z + dz) & HMAP_MASK;
            type = t;
            return true;
          }
          seen[p]++;
        }
      }
  if (why)
  {
    *why = PLOT_TAKEN;
    for (int p = PLOT_TAKEN; p < PLOT_PROBLEMS; p++)
      if (seen[p] > seen[*why])
        *why = PlotProblem(p);
  }
  return false;
}

// The castle's plot is cleared: its trees fall, its stones go.
static void clear_castle_plot(int x0, int z0, int x1, int z1)
{
  for (GameObj *o : TreeObject_list)
    if (!o->isDestroyed() && object_in_rect(o, x0, z0, x1, z1))
      static_cast<TreeObject *>(o)->startFalling();
  DynArray<GameObj *> stones(Stone1StaticObject_list);
  for (GameObj *o : stones)
    if (!o->isDestroyed() && object_in_rect(o, x0, z0, x1, z1))
    {
      HeightmapData::surface[object_cell(o)].change_marks(0, MARK_OBJ);
      delete_gameobj(o);
    }
}

// The land within CASTLE_RAMP cells of the plot moves toward the plot's level, the more
// the nearer (buildings stay as they are).
static void ease_castle_surroundings(int x0, int z0, int x1, int z1, float level)
{
  float *t = HeightmapData::target_hmap;
  for (int cz = z0 - CASTLE_RAMP; cz <= z1 + CASTLE_RAMP; cz++)
    for (int cx = x0 - CASTLE_RAMP; cx <= x1 + CASTLE_RAMP; cx++)
    {
      const int d = std::max(std::max(x0 - cx, cx - x1), std::max(z0 - cz, cz - z1));
      const int i = hmap_index(cx, cz);
      if (d <= 0 || HeightmapData::surface[i].ground_type() == GT_HOUSE ||
          (HeightmapData::surface[i].marks() & MARK_HOUSE))
        continue;
      const float w = 1.f - float(d) / float(CASTLE_RAMP + 1);
      t[i] += (level - t[i]) * w * w * (3.f - 2.f * w);
    }
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
  {
    // placeHouse levels the plot at the mean of its target heights.
    float sum = 0.f;
    for (int cz = z0; cz <= z1; cz++)
      for (int cx = x0; cx <= x1; cx++)
        sum += HeightmapData::target_hmap[hmap_index(cx, cz)];
    clear_castle_plot(x0, z0, x1, z1);
    ease_castle_surroundings(x0, z0, x1, z1, sum / float((x1 - x0 + 1) * (z1 - z0 + 1)));
    mark_rect(x0, z0, x1, z1, MARK_HOUSE, 0); // placeHouse marks only the houses' plots
  }
  HeightmapData::placeHouse(x, z, type, HeightmapData::target_hmap, false);
  request_land_refresh();
  return true;
}
