#include <cstring>
#include "core/globals.h"
#include "world/noise.h"
#include "world_vm_fixture.h"

using Hm = HeightmapData;

static HmapMask *mask(HSQUIRRELVM vm, const char *global)
{
  sq_pushroottable(vm);
  sq_pushstring(vm, global, -1);
  sq_get(vm, -2);
  HmapMask *m = sqbind::getInst<HmapMask>(vm, -1);
  sq_pop(vm, 2);
  return m;
}

TEST_F(WorldVm, MaskConstructionAndReading)
{
  ASSERT_TRUE(run("m <- HmapMask(0.5); mm <- m.calcMinMax();"
                  "f <- HmapMask(function(x, z) { return x + 1000 * z; });"
                  "a <- f.getraw(256, 0) == f.getraw(0, 0); b <- f.getraw(3, 257);"
                  "c <- f.get(255.5, 0); d <- f.get(2.25, 3.5);"
                  "r <- f.calcMinMax();"));
  EXPECT_EQ(mask(vm, "m")->v[12345], 0.5f);
  EXPECT_TRUE(run("if (mm[0] != 0.5 || mm[1] != 0.5) throw \"range\";"));
  EXPECT_TRUE(sqbind::getGlobal<bool>(vm, "a"));
  EXPECT_EQ(num("b"), 1003.f);
  EXPECT_EQ(num("c"), 127.5f); // halfway between column 255 and column 0
  EXPECT_EQ(num("d"), 2.25f + 3500.f);
  EXPECT_TRUE(run("if (r[0] != 0 || r[1] != 255 + 255000) throw \"range\";"));

  // A failing cell function fails the constructor; a non-number result is a type error.
  EXPECT_FALSE(run("HmapMask(function(x, z) { return \"x\"; });"));
  EXPECT_EQ(error(), "sq_get*() failed (type error)");
  EXPECT_FALSE(run("HmapMask(function(x, z) { if (x == 9) throw \"bad cell\"; return 0; });"));
  EXPECT_EQ(error(), "bad cell"); // the script's own error
}

TEST_F(WorldVm, MasksFromTheWorld)
{
  ASSERT_TRUE(run("s <- HmapMask.fromSlope();"));
  EXPECT_EQ(mask(vm, "s")->v[777], 1.f);

  for (int i = 0; i < HMAP_CELLS; i++)
    Hm::hmap[i] = float(i & 255) * 0.5f;
  Hm::water[3][4].depth = 2.5f;
  ASSERT_TRUE(run("h <- HmapMask.fromHeight(); w <- HmapMask.fromWater(); s <- HmapMask.fromSlope();"));
  EXPECT_EQ(memcmp(mask(vm, "h")->v, Hm::hmap, sizeof(Hm::hmap)), 0);
  EXPECT_EQ(mask(vm, "w")->getraw(4, 3), 2.5f);
  // A slope of 0.5 per cell: sx = 4 * 2 * 0.5 * ... gives 8 / sqrt(16 + 64).
  EXPECT_FLOAT_EQ(mask(vm, "s")->getraw(100, 7), 8.f / std::sqrt(16.f + 64.f));
}

TEST_F(WorldVm, CellularMasksMatchTheGenerators)
{
  EXPECT_FALSE(run("HmapMask.fromVoronoiHills(3, 0, 1, 1);"));
  EXPECT_EQ(error(), "tile must be power of 2 in fromVoronoiHills()");
  EXPECT_FALSE(run("HmapMask.fromVoronoiFaults(0, 0, 1, 0.1, 2, 2, 1);"));
  EXPECT_EQ(error(), "tile must be power of 2 in fromVoronoiFaults()");
  ASSERT_TRUE(run("one <- HmapMask.fromVoronoiHills(1, 0, 1, 0.5);"));

  // The mask holds what the generator would add, and leaves the terrain alone.
  for (int i = 0; i < HMAP_CELLS; i++)
    Hm::hmap[i] = 3.f;
  game_rnd_seed = 99;
  ASSERT_TRUE(run("reseed_noise(); hills <- HmapMask.fromVoronoiHills(8, 1, 5, 0.8);"
                  "faults <- HmapMask.fromVoronoiFaults(4, 0, 6, 0.3, 2, 3, 0.5);"));
  const uint64_t after = game_rnd_seed;
  EXPECT_EQ(Hm::height(10, 10), 3.f);
  for (int i = 0; i < HMAP_CELLS; i++)
    Hm::hmap[i] = 0.f;
  game_rnd_seed = 99;
  ASSERT_TRUE(run("reseed_noise(); add_voronoi_hills(8, 1, 5, 0.8);"));
  EXPECT_EQ(memcmp(mask(vm, "hills")->v, Hm::hmap, sizeof(Hm::hmap)), 0);
  for (int i = 0; i < HMAP_CELLS; i++)
    Hm::hmap[i] = 0.f;
  ASSERT_TRUE(run("gen_voronoi_faults(4, 0, 6, 0.3, 2, 3, 0.5);"));
  EXPECT_EQ(game_rnd_seed, after);
  EXPECT_EQ(memcmp(mask(vm, "faults")->v, Hm::hmap, sizeof(Hm::hmap)), 0);
}

TEST_F(WorldVm, SimplexMaskTilesAndShapes)
{
  game_rnd_seed = 5;
  ASSERT_TRUE(run("reseed_noise(); n <- HmapMask.fromSimplexNoise(2, 4, 3, null, 0.5);"
                  "k <- HmapMask.fromSimplexNoise(1, 4, 1, FloatRamp.constRamp(0.25), 0.5);"));
  HmapMask *n = mask(vm, "n");
  EXPECT_EQ(n->getraw(0, 9),
            2.f * (tiled_noise2(0.f, 9.f / 64.f, 4.f) + tiled_noise2(0.5f, 2.f * (9.f / 64.f) + 0.5f, 8.f) * 0.5f +
                   tiled_noise2(1.5f, 2.f * (2.f * (9.f / 64.f) + 0.5f) + 0.5f, 16.f) * 0.25f));
  EXPECT_EQ(mask(vm, "k")->v[4242], 0.25f);
}

TEST_F(WorldVm, ApplyingMasksAndFunctions)
{
  EXPECT_FALSE(run("apply_height_mask(null, null);"));
  EXPECT_EQ(error(), "no mask and no func in apply_height_mask()");
  EXPECT_FALSE(run("apply_water_mask(null, null);"));
  EXPECT_EQ(error(), "no mask and no func in apply_water_mask()");

  ASSERT_TRUE(run("m <- HmapMask(function(x, z) { return x; }); apply_height_mask(m, null);"));
  EXPECT_EQ(Hm::height(7, 3), 7.f);
  ASSERT_TRUE(run("apply_height_mask(m, function(h, v) { return h * 10 + v; });"));
  EXPECT_EQ(Hm::height(7, 3), 77.f);
  ASSERT_TRUE(run("apply_height_mask(null, function(h) { return -h; });"));
  EXPECT_EQ(Hm::height(7, 3), -77.f);
  ASSERT_TRUE(run("apply_water_mask(m, function(d, v) { return v > 100 ? 1.5 : 0; });"));
  EXPECT_EQ(Hm::waterAt(101, 0).depth, 1.5f);
  EXPECT_EQ(Hm::waterAt(100, 0).depth, 0.f);

  // A function failing part-way leaves the cells it already changed.
  EXPECT_FALSE(run("apply_height_mask(null, function(h) { if (h < -200) throw \"stop\"; return 1; });"));
  EXPECT_EQ(Hm::height(0, 0), 1.f);
  EXPECT_EQ(Hm::height(18, 0), 1.f);
  EXPECT_EQ(Hm::height(19, 0), -209.f); // the first cell below -200 stopped it
  EXPECT_EQ(Hm::height(255, 255), -2805.f);
}

TEST_F(WorldVm, RepaintLand)
{
  Hm::surface[hmap_index(1, 0)].bits = 0x12345600u | 0x21u;
  EXPECT_FALSE(run("repaint_land(null);"));
  EXPECT_EQ(error(), "null function in repaint_land()");
  ASSERT_TRUE(run("repaint_land(function(x, z, c, t) {"
                  "  if (x == 1 && z == 0) return [0xFF00FF00, 3];"
                  "  if (x == 2 && z == 0) return [[1, 0, 0, 1], GT_ROCK, vec4f(2, 1, 1, 0.5), ST_SNOW];"
                  "  return [c, GT_SAND];"
                  "});"));
  const Hm::Surface &a = Hm::surf(1, 0);
  EXPECT_EQ(a.color.u, 0xFF00FF00u);
  EXPECT_EQ(a.top_color.u, 0u);
  EXPECT_EQ(a.bits, 0x12345603u); // ground 3, no layer, the rest kept
  const Hm::Surface &b = Hm::surf(2, 0);
  EXPECT_EQ(b.color.u, 0xFFFF0000u);
  EXPECT_EQ(b.top_color.u, 0x80FFFFFFu); // clamped, then packed
  EXPECT_EQ(b.ground_type(), GT_ROCK);
  EXPECT_EQ(b.surface_type(), ST_SNOW);
  EXPECT_EQ(Hm::surf(9, 9).color.u, 0xFF808080u); // the colour passed in comes back unchanged
  EXPECT_EQ(Hm::surf(9, 9).ground_type(), GT_SAND);

  EXPECT_FALSE(run("repaint_land(function(x, z, c, t) { return [c, 1, c]; });"));
  EXPECT_FALSE(run("repaint_land(function(x, z, c, t) { return 5; });"));
  EXPECT_EQ(error(), "sq_get*() failed (type error)");
}
