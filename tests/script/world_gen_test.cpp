#include <cmath>
#include "core/globals.h"
#include "script/world_hooks.h"
#include "world/noise.h"
#include "world/world_rnd.h"
#include "world_vm_fixture.h"

using Hm = HeightmapData;

TEST_F(WorldVm, SeededDrawsRepeatAndFollowTheGenerator)
{
  ASSERT_TRUE(run("set_rnd_seed(-1);"));
  EXPECT_EQ(game_rnd_seed, ~0ull);
  ASSERT_TRUE(run("set_rnd_seed(0x100000005);"));
  EXPECT_EQ(game_rnd_seed, 5ull); // the low 32 bits only

  const char *draws = "set_rnd_seed(12345); a <- [hmrnd(), irnd(), frnd(), srnd(), rndf(10, 20), hmfrnd(), hmsrnd()];"
                      "s <- \"\"; foreach (v in a) s += v + \";\";";
  ASSERT_TRUE(run(draws));
  std::string first = sqbind::getGlobal<const char *>(vm, "s");
  ASSERT_TRUE(run(draws));
  EXPECT_EQ(first, sqbind::getGlobal<const char *>(vm, "s"));

  // The same numbers as the native generator gives from the same state.
  uint64_t st = 12345;
  ASSERT_TRUE(run("set_rnd_seed(12345); h <- hmrnd(); i <- irnd(); f <- frnd(); r <- rndf(10, 20);"));
  EXPECT_EQ(integer("h"), int(world_rnd_next(st) & 255));
  EXPECT_EQ(integer("i"), int(world_rnd_next(st) & 0x7FFFFFFF));
  EXPECT_FLOAT_EQ(num("f"), float(double(world_rnd_next(st)) / 4294967296.0));
  EXPECT_FLOAT_EQ(num("r"), float(10.0 + double(world_rnd_next(st)) / 4294967296.0 * 10.0));
  EXPECT_EQ(game_rnd_seed, st);
}

TEST_F(WorldVm, ColourFunctionsReadScriptColourValues)
{
  ASSERT_TRUE(run("a <- lerpcolor(0xFF000000, [1, 1, 1, 1], 0.5);"
                  "m <- mix3colors(1.0, 0.5, make4f(2), 0.25, [0, 0, 4, 0], 1);"
                  "d <- make_dir_xz(0.25);"
                  "e <- make_dir_2d(make4f(1, 0, 0, 0), make4f(0, 1, 0, 0), 0.5);"));
  EXPECT_EQ(vec("a"), vec4f(0.5f, 0.5f, 0.5f, 1.f));
  EXPECT_EQ(vec("m"), vec4f(1.f, 1.f, 5.f, 1.f));
  vec4f d = vec("d");
  EXPECT_NEAR(d.x, 0, 1e-6);
  EXPECT_EQ(d.y, 0);
  EXPECT_NEAR(d.z, 1, 1e-6);
  EXPECT_NEAR(vec("e").x, -1, 1e-6);
  EXPECT_FALSE(run("lerpcolor(\"red\", 0, 1);"));
  EXPECT_EQ(error(), "getInst: invalid argument type");
}

TEST_F(WorldVm, ConstantsAreCompiledIn)
{
  ASSERT_TRUE(run("c <- [HMAP_SIZE, HMAP_SIZE_SHIFT, GT_NONE, GT_SOIL, ST_ROAD, MARK_WATER, MARK_PLACEMENT, DEMO];"
                  "s <- \"\"; foreach (v in c) s += v + \",\";"));
  EXPECT_STREQ(sqbind::getGlobal<const char *>(vm, "s"), "256,8,-1,3,4,8,7,1,");
}

TEST_F(WorldVm, CircleTools)
{
  for (int i = 0; i < HMAP_CELLS; i++)
    Hm::hmap[i] = 2.f;
  ASSERT_TRUE(run("flatten_circle(10, 10, 0, 50, 1, 1);"));
  EXPECT_EQ(Hm::height(10, 10), 2.f);
  ASSERT_TRUE(run("flatten_circle(10, 10, 3, 8, 1, 1);"));
  EXPECT_EQ(Hm::height(10, 10), 8.f); // d2 = 0: exactly the target
  EXPECT_GT(Hm::height(11, 10), 2.f); // inside: part of the way
  EXPECT_LT(Hm::height(11, 10), 8.f);
  EXPECT_EQ(Hm::height(13, 10), 2.f); // d2 = r^2 is outside
  // Across the edge: the disc wraps.
  ASSERT_TRUE(run("flatten_circle(0, 0, 2, 6, 1, 1);"));
  EXPECT_GT(Hm::height(255, 0), 2.f);
  EXPECT_GT(Hm::height(0, 255), 2.f);

  // A huge radius stays a bounded scan (and flattens everything).
  ASSERT_TRUE(run("flatten_circle(0, 0, 1e9, 4, 0.01, 1);"));
  EXPECT_GT(Hm::height(77, 200), 2.f);
  EXPECT_LE(Hm::height(77, 200), 4.f);
  for (int i = 0; i < HMAP_CELLS; i++)
    Hm::hmap[i] = 2.f;

  // The module's land height comes first in the mean; r = 0 gives it alone.
  world_hooks.get_land_height = [](float, float) { return 100.f; };
  ASSERT_TRUE(run("a <- get_average_circle_height(50, 50, 0); b <- get_average_circle_height(50, 50, 1);"));
  world_hooks = {};
  EXPECT_EQ(num("a"), 100.f);
  EXPECT_EQ(num("b"), (100.f + 2.f) / 2.f); // the centre cell is the only one with d2 < 1
}

TEST_F(WorldVm, ErosionTableDefaultsAndOverrides)
{
  auto read = [&](const char *table) {
    Hm::ErosionParams p;
    std::string src = std::string("t <- ") + table + ";";
    EXPECT_TRUE(run(src));
    sq_pushroottable(vm);
    sq_pushstring(vm, "t", -1);
    sq_get(vm, -2);
    read_erosion_params(vm, -1, p);
    sq_pop(vm, 2);
    return p;
  };
  Hm::ErosionParams d = read("null");
  EXPECT_EQ(d.Kq, 10.f);
  EXPECT_EQ(d.Kr, 0.9f);
  EXPECT_EQ(d.Kd, 0.02f);
  EXPECT_EQ(d.Kw, 0.001f);
  EXPECT_EQ(d.Ki, 0.1f);
  EXPECT_EQ(d.minSlope, 0.05f);
  EXPECT_EQ(d.g, 20.f);
  EXPECT_EQ(d.depositBlend, 2.f);
  EXPECT_EQ(d.reactionTime, 100.f);
  EXPECT_EQ(d.reactions.size(), 0);

  Hm::ErosionParams g = read("{ g = 5 }");
  EXPECT_EQ(g.g, 5.f);
  EXPECT_EQ(g.Kq, 10.f);
  EXPECT_EQ(g.reactionTime, 100.f);

  Hm::ErosionParams r = read("{ reactions = [[[0, 1, 0, 0], vec4f(1, 0, 0, 0), 0.5], [0.6, 1, 2]] }");
  ASSERT_EQ(r.reactions.size(), 2);
  EXPECT_EQ(r.reactions[0].rate, vec4f(0.5f, -0.5f, 0.f, 0.f));
  EXPECT_EQ(r.reactions[0].order[1], 1);
  EXPECT_EQ(r.reactions[0].order[0], 0);
  for (int c = 0; c < 4; c++)
    EXPECT_FLOAT_EQ((&r.reactions[1].rate.x)[c], 0.8f);
  EXPECT_EQ(r.reactions[1].order[3], 1); // 0.6 rounds to 1
  r.reactions.release();

  EXPECT_FALSE(run("gen_droplet_erosion(10, { Kq = \"lots\" });"));
  EXPECT_EQ(error(), "sq_get*() failed (type error)");
}

TEST_F(WorldVm, BadGeneratorArgumentsAreScriptErrors)
{
  EXPECT_FALSE(run("add_voronoi_hills(3, 0, 1, 1);"));
  EXPECT_EQ(error(), "tile must be power of 2 in add_voronoi_hills()");
  EXPECT_FALSE(run("add_simplex_noise(5, 1, 4, 2, 0.5);"));
  EXPECT_EQ(error(), "add_simplex_noise: need 0 <= min_ht <= max_ht");
  EXPECT_FALSE(run("gen_droplet_erosion(-1, null);"));
  // Counts that would run for hours are refused before any work.
  EXPECT_FALSE(run("add_simplex_noise(0, 1, 4, 2000000000, 0.5);"));
  EXPECT_EQ(error(), "add_simplex_noise: at most 32 octaves");
  EXPECT_FALSE(run("gen_droplet_erosion(2000000000, null);"));
  EXPECT_EQ(error(), "gen_droplet_erosion: at most 10000000 iterations");
  EXPECT_FALSE(run("gen_voronoi_faults(4, 0, 1, 1, 4, 2000000000, 1);"));
  EXPECT_EQ(error(), "gen_voronoi_faults: at most 32 warp octaves");
  EXPECT_FALSE(run("HmapMask.fromSimplexNoise(1, 4, 2000000000, null, 0.5);"));
  EXPECT_EQ(error(), "fromSimplexNoise: at most 32 octaves");
  EXPECT_FALSE(run("gen_crater(1, 2, \"big\", 1);"));
  EXPECT_EQ(error(), "sq_get*() failed (type error)");
  // A correct call runs the generator (simplex with min = max adds exactly min).
  ASSERT_TRUE(run("add_simplex_noise(1.5, 1.5, 4, 3, 0.5);"));
  EXPECT_EQ(Hm::height(17, 99), 1.5f);
}

TEST_F(WorldVm, NoiseBindingsMatchTheNativeFunctions)
{
  game_rnd_seed = 77;
  ASSERT_TRUE(run("reseed_noise(); a <- noise1(3.7); b <- tiled_noise2(1.5, 2.5, 8);"
                  "c <- tiled_fractal_noise2(1.5, 2.5, 8, 3, FloatRamp.linear(0, 1), 0.5);"
                  "d <- get_noise_hash2(300, 7); e <- fractal_noise1(2.5, 4, null, 0.5);"));
  EXPECT_EQ(num("a"), noise1(3.7f));
  EXPECT_EQ(num("b"), tiled_noise2(1.5f, 2.5f, 8.f));
  FloatRamp lin(0.f, 1.f);
  EXPECT_EQ(num("c"), tiled_fractal_noise2(1.5f, 2.5f, 8.f, 3, &lin, 0.5f));
  EXPECT_EQ(integer("d"), get_noise_hash2(300, 7));
  EXPECT_EQ(num("e"), fractal_noise1(2.5f, 4, nullptr, 0.5f));
}

TEST_F(WorldVm, RecolourRules)
{
  // Weights from the cell colour; alpha-only cells take c3.
  for (int i = 0; i < HMAP_CELLS; i++)
    Hm::surface[i].color = 0xFF000000u;
  Hm::surface[5].color = 0x00FF0000u; // pure red weight
  Hm::surface[6].color = 0u;          // no weight at all
  Hm::surface[7].bits = 0xAB001234u;  // marks and house fields survive
  ASSERT_TRUE(run("recolor_land4(0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0);"));
  EXPECT_EQ(Hm::surface[0].color.u, 0u);
  EXPECT_EQ(Hm::surface[5].color.u, 0xFFFF0000u);
  EXPECT_EQ(Hm::surface[6].color.u, 0xFFFF0000u); // defined: the first colour
  EXPECT_EQ(Hm::surface[7].bits, 0xAB001203u);
  EXPECT_EQ(Hm::surface[0].ground_type(), GT_SOIL);

  // By height: lowest cell gets the ramp's start, highest its end; flat ground is defined.
  Hm::hmap[3] = -1.f;
  Hm::hmap[4] = 1.f;
  ASSERT_TRUE(run("recolor_by_height(ColorRamp.linear(0xFF000000, 0xFFFFFFFF), null);"));
  EXPECT_EQ(Hm::surface[3].color.u, 0xFF000000u);
  EXPECT_EQ(Hm::surface[4].color.u, 0xFFFFFFFFu);
  EXPECT_EQ(Hm::surface[0].color.u, 0xFF808080u);
  ASSERT_TRUE(run("recolor_by_height(ColorRamp.linear(0xFF102030, 0xFFFFFFFF), HmapMask(2));"));
  EXPECT_EQ(Hm::surface[4].color.u, 0xFF102030u);
  EXPECT_FALSE(run("recolor_by_height(null, null);"));
  EXPECT_EQ(error(), "null ramp in recolor_by_height()");
}
