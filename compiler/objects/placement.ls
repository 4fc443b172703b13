// Dressing a new world: forests on the grass and soil, stones on the rock and in stone
// fields, menhirs and stone circles on the heights. Everything draws from the game's
// generator, so a seed gives the same island with the same objects. Nothing stands in
// water, on house plots or reserved places, or on slopes too steep for it; each object
// marks its cell (MARK_OBJ) and keeps the others at a distance.
import core.classes
import objects.object_math
import objects.static_objects

namespace placement
{
using HD = HeightmapData;

// Lattice noise over the wrapping map: a period of cells per lattice step, offset by the
// world's draws so every island has its own forests.
struct MapNoise
{
  uint32_t seed;
  float ox, oz;

  float lattice(int i, int j) const
  {
    uint32_t h = uint32_t(i) * 0x8da6b343u ^ uint32_t(j) * 0xd8163841u ^ seed;
    h ^= h >> 13;
    h *= 0x85ebca6bu;
    h ^= h >> 16;
    return float(h & 0xFFFFFF) / 16777215.f;
  }
  // Smooth value noise of lattice step `step` cells (a divisor of HMAP_SIZE, so it wraps).
  float value(float x, float z, int step) const
  {
    const int n = HMAP_SIZE / step;
    float fx = (x + ox) / float(step), fz = (z + oz) / float(step);
    float x0 = std::floor(fx), z0 = std::floor(fz);
    float tx = fx - x0, tz = fz - z0;
    tx = tx * tx * (3.f - 2.f * tx);
    tz = tz * tz * (3.f - 2.f * tz);
    int i = ((int(x0) % n) + n) % n, j = ((int(z0) % n) + n) % n;
    int i1 = (i + 1) % n, j1 = (j + 1) % n;
    float a = lattice(i, j), b = lattice(i1, j), c = lattice(i, j1), d = lattice(i1, j1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * tz;
  }
  float fbm(float x, float z) const { return value(x, z, 32) * 0.6f + value(x, z, 16) * 0.28f + value(x, z, 8) * 0.12f; }
};

MapNoise make_noise()
{
  MapNoise n;
  n.seed = game_rnd();
  n.ox = game_rnd_unit() * float(HMAP_SIZE);
  n.oz = game_rnd_unit() * float(HMAP_SIZE);
  return n;
}

// What the land is like at a point.
struct Ground
{
  int x, z;         // the cell
  float h;          // height
  float slope;      // rise per unit
  float water;      // deepest water around
  unsigned marks;
  int type, layer;  // ground and surface type
};

Ground ground_at(float x, float z)
{
  Ground g;
  g.x = int(std::floor(x)) & HMAP_MASK;
  g.z = int(std::floor(z)) & HMAP_MASK;
  g.h = get_land_height(x, z);
  const float dx = get_land_height(x + 1.f, z) - get_land_height(x - 1.f, z);
  const float dz = get_land_height(x, z + 1.f) - get_land_height(x, z - 1.f);
  g.slope = 0.5f * std::sqrt(dx * dx + dz * dz);
  g.water = 0.f;
  for (int k = 0; k < 4; k++)
    g.water = std::fmax(g.water, HD::waterAt(g.x + (k & 1), g.z + (k >> 1)).depth);
  const HD::Surface &s = HD::surface[hmap_index(g.x, g.z)];
  g.marks = s.marks();
  g.type = s.ground_type();
  g.layer = s.surface_type();
  return g;
}

// Free of water, houses and marked places within radius r (cells) of (x, z).
bool free_at(float x, float z, float r, const Ground &g)
{
  if (g.water > 0.01f || g.type == GT_HOUSE || (g.marks & (MARK_PLACEMENT | MARK_WATER)))
    return false;
  return test_circle_mark(x, z, r, MARK_PLACEMENT | MARK_WATER, 0);
}

// The island's height range above the sea (land cells only).
struct Heights
{
  float sea = 0.f, top = 1.f;
  float frac(float h) const { return (h - sea) / std::fmax(top - sea, 1e-3f); }
};

Heights island_heights()
{
  Heights r;
  float lo = 1e30f, hi = -1e30f;
  bool any = false;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    const HD::Water &w = (&HD::water[0][0])[i];
    if (w.depth > 0.01f)
      lo = std::fmin(lo, HD::hmap[i] + w.depth);
    else
      hi = std::fmax(hi, HD::hmap[i]), any = true;
  }
  if (lo > 1e29f) // no sea: the lowest land
    for (int i = 0; i < HMAP_CELLS; i++)
      lo = std::fmin(lo, HD::hmap[i]);
  r.sea = lo;
  r.top = any ? hi : lo + 1.f;
  return r;
}

template <class T>
T *new_static(int class_id, float x, float z, const Ground &g)
{
  T *o = static_cast<T *>(new_gameobj_by_id(class_id));
  if (!o)
    return nullptr;
  o->setPos(vec4f(x, g.h, z, 1.f));
  HD::surface[hmap_index(g.x, g.z)].change_marks(MARK_OBJ, 0);
  return o;
}

float wrap_map(float v) { return v - float(HMAP_SIZE) * std::floor(v / float(HMAP_SIZE)); }

bool fertile_cell(const HD::Surface &s)
{
  return s.surface_type() == ST_GRASS ||
         (s.ground_type() == GT_SOIL && s.surface_type() != ST_SNOW && s.surface_type() != ST_ROAD);
}

// The noise values at the given fractions of the fertile land (every other cell of every
// other row), ascending; the defaults for a world without any.
void noise_quantiles(const MapNoise &noise, float lo_frac, float hi_frac, float &lo, float &hi)
{
  DynArray<float> v;
  for (int z = 0; z < HMAP_SIZE; z += 2)
    for (int x = 0; x < HMAP_SIZE; x += 2)
      if (fertile_cell(HD::surf(x, z)) && HD::waterAt(x, z).depth <= 0.01f)
        v.push(noise.fbm(float(x), float(z)));
  if (v.size() < 16)
    return;
  std::sort(v.begin(), v.end());
  lo = v[int(float(v.size() - 1) * lo_frac)];
  hi = std::fmax(v[int(float(v.size() - 1) * hi_frac)], lo + 0.01f);
}

struct Counts
{
  int trees = 0, stones = 0, menhirs = 0;
};

// Forests: dense where the forest noise is high, thinning at their edges into clearings
// and meadows; the trees at the edges smaller.
struct TreeSink : IMapPointSink
{
  MapNoise noise;
  Heights heights;
  Counts *counts;
  // The forest noise's values below which lie 40 % and 65 % of the fertile land: the
  // forest thins out between them, so every island has forests over about half of its
  // grass, whatever its noise.
  float open = 0.4f, dense = 0.6f;
  void on_map_point(float px, float pz) override
  {
    const float x = wrap_map(px), z = wrap_map(pz);
    const float accept = game_rnd_unit(), r1 = game_rnd_unit(), r2 = game_rnd_unit(), r3 = game_rnd_unit();
    const Ground g = ground_at(x, z);
    if (!fertile_cell(HD::surface[hmap_index(g.x, g.z)]) || g.slope > 0.75f)
      return;
    const float f = heights.frac(g.h);
    if (g.h < heights.sea + 0.6f || f > 0.72f)
      return;
    // Forest density, falling off towards the bare heights.
    float density = (noise.fbm(x, z) - open) / (dense - open);
    density = std::fmin(density, 1.f) * (1.f - std::fmax(f - 0.55f, 0.f) * 5.f);
    if (accept > density * 0.92f + 0.015f || !free_at(x, z, 1.45f, g))
      return;
    TreeObject *t = new_static<TreeObject>(31, x, z, g);
    if (!t)
      return;
    const float edge = std::fmin(std::fmax(density, 0.f), 1.f);
    t->yaw = r1 * 6.2831853f;
    t->scale = (0.72f + 0.4f * r2) * (0.8f + 0.2f * edge);
    t->stretch = 0.88f + 0.3f * r3;
    // A slight lean, more on slopes.
    vec4f n = calc_land_norm(x, z);
    t->up = normalize3(vec4f(0.f, 1.f, 0.f, 0.f) * 0.92f + n * 0.08f);
    t->tint = inst_tint(0.88f + 0.14f * r3, 0.9f + 0.18f * r2, 0.86f + 0.1f * r1);
    t->checkIn = 1 + counts->trees % 4;
    counts->trees++;
  }
};

// Stones: boulders on the rock, scattered on soil and sand, gathered in stone fields.
struct StoneSink : IMapPointSink
{
  MapNoise noise;
  Heights heights;
  Counts *counts;
  void on_map_point(float px, float pz) override
  {
    const float x = wrap_map(px), z = wrap_map(pz);
    const float accept = game_rnd_unit(), r1 = game_rnd_unit(), r2 = game_rnd_unit();
    const Ground g = ground_at(x, z);
    if (g.slope > 1.1f || g.h < heights.sea + 0.2f)
      return;
    const float field = std::fmax((noise.fbm(x, z) - 0.6f) * 3.5f, 0.f);
    float p = g.type == GT_ROCK ? 0.35f : g.type == GT_SAND ? 0.04f : 0.025f;
    p += field * 0.5f;
    if (g.layer == ST_SNOW) // a few boulders show through the snow
      p *= 0.15f;
    if (accept > p || !free_at(x, z, 1.f, g))
      return;
    Stone1StaticObject *s = new_static<Stone1StaticObject>(32, x, z, g);
    if (!s)
      return;
    s->yaw = r1 * 6.2831853f;
    s->scale = 0.45f + 0.75f * r2 * r2 + field * 0.3f;
    s->stretch = 0.75f + 0.5f * r1;
    s->up = calc_land_norm(x, z);
    s->tint = inst_tint(0.92f + 0.14f * r2, 0.92f + 0.12f * r2, 0.92f + 0.1f * r1);
    counts->stones++;
  }
};

// Menhirs on the heights: single standing stones, and now and then a circle of them
// around a trilithon.
struct MenhirSink : IMapPointSink
{
  Heights heights;
  Counts *counts;
  int circles = 0;

  bool menhir_ok(float x, float z, Ground &g, float r)
  {
    g = ground_at(x, z);
    return g.slope < 0.75f && g.type != GT_SAND && g.layer != ST_SNOW && heights.frac(g.h) > 0.22f &&
           free_at(x, z, r, g);
  }
  void standing(float x, float z, float yaw, const Ground &g, float size)
  {
    Menhir1StaticObject *m = new_static<Menhir1StaticObject>(33, x, z, g);
    if (!m)
      return;
    m->yaw = yaw;
    m->scale = size;
    m->stretch = 1.f;
    m->up = normalize3(vec4f(0.f, 1.f, 0.f, 0.f) * 0.8f + calc_land_norm(x, z) * 0.2f);
    counts->menhirs++;
  }
  void on_map_point(float px, float pz) override
  {
    const float x = wrap_map(px), z = wrap_map(pz);
    const float accept = game_rnd_unit(), r1 = game_rnd_unit(), r2 = game_rnd_unit();
    Ground g;
    if (accept > 0.5f || !menhir_ok(x, z, g, 2.f))
      return;
    if (r1 < 0.3f && circles < 3)
    {
      // A trilithon in the middle, seven stones around it, facing in.
      Ground c;
      if (!menhir_ok(x, z, c, 6.f))
        return;
      circles++;
      Menhir2StaticObject *t = new_static<Menhir2StaticObject>(34, x, z, c);
      if (t)
      {
        t->yaw = r2 * 6.2831853f;
        t->scale = 0.95f;
        t->up = vec4f(0.f, 1.f, 0.f, 0.f);
        counts->menhirs++;
      }
      for (int k = 0; k < 7; k++)
      {
        const float a = r2 * 6.2831853f + float(k) * (6.2831853f / 7.f);
        const float sx = wrap_map(x + std::cos(a) * 5.5f), sz = wrap_map(z + std::sin(a) * 5.5f);
        Ground s;
        if (menhir_ok(sx, sz, s, 1.5f))
          standing(sx, sz, -a, s, 0.7f + 0.15f * float(k % 3));
      }
      return;
    }
    standing(x, z, r2 * 6.2831853f, g, 0.8f + 0.45f * r1);
  }
};

// Houses as groups of connected house cells.
int count_houses()
{
  static uint8_t seen[HMAP_CELLS];
  memset(seen, 0, sizeof(seen));
  DynArray<int> stack;
  int houses = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    if (seen[i] || HD::surface[i].ground_type() != GT_HOUSE)
      continue;
    houses++;
    seen[i] = 1;
    stack.push(i);
    while (!stack.empty())
    {
      const int c = stack.back();
      stack.pop();
      const int cx = c & HMAP_MASK, cz = c >> HMAP_SIZE_SHIFT;
      const int next[4] = {hmap_index(cx + 1, cz), hmap_index(cx - 1, cz), hmap_index(cx, cz + 1), hmap_index(cx, cz - 1)};
      for (int n : next)
        if (!seen[n] && HD::surface[n].ground_type() == GT_HOUSE)
        {
          seen[n] = 1;
          stack.push(n);
        }
    }
  }
  return houses;
}

// Takes every static object out (and its mark).
void remove_static_objects()
{
  DynArray<GameObj *> *const lists[] = {&TreeObject_list, &Stone1StaticObject_list, &Menhir1StaticObject_list,
                                         &Menhir2StaticObject_list};
  for (DynArray<GameObj *> *list : lists)
  {
    DynArray<GameObj *> all(*list);
    for (GameObj *o : all)
    {
      HD::surface[object_cell(o)].change_marks(0, MARK_OBJ);
      delete_gameobj(o);
    }
  }
}
} // namespace placement

void generate_objects()
{
  using namespace placement;
  remove_static_objects();
  Counts counts;
  const Heights heights = island_heights();

  // Menhirs first (they want the few flat high places), then stones, then the forests.
  MenhirSink menhirs;
  menhirs.heights = heights;
  menhirs.counts = &counts;
  GenMapCellPoints menhir_points(&menhirs, 2);
  walk_map_grid(5, menhir_points);

  StoneSink stones;
  stones.noise = make_noise();
  stones.heights = heights;
  stones.counts = &counts;
  GenMapCellPoints stone_points(&stones, 3);
  walk_map_grid(3, stone_points);

  TreeSink trees;
  trees.noise = make_noise();
  noise_quantiles(trees.noise, 0.4f, 0.65f, trees.open, trees.dense);
  trees.heights = heights;
  trees.counts = &counts;
  GenMapCellPoints tree_points(&trees, 1);
  walk_map_grid(1, tree_points);

  debug("generated objects: %d trees, %d stones, %d menhirs, %d buildings", counts.trees, counts.stones,
        counts.menhirs, count_houses());
}
