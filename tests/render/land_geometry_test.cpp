// The terrain renderer's CPU side: flow coordinates and their reset schedule, the house
// cell rule, the window geometry and its culling, water interpolation and the regions of
// the partial refresh.
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>
#include "render/land_render_internal.h"
#include "world/world_rnd.h"

using HD = HeightmapData;

namespace
{
struct LandGeometryTest : ::testing::Test
{
  void SetUp() override
  {
    HD::reset();
    memset(HD::tmpw, 0, sizeof(HD::tmpw));
    game_rnd_seed = 12345;
    calls.clear();
    land_hooks.render_building = [](const HD::Surface *s, int x, int z) {
      calls.push_back({x, z, s == &HD::surface[hmap_index(x, z)]});
    };
  }
  void TearDown() override { land_hooks = LandHooks{}; }

  struct Call
  {
    int x, z;
    bool rightRecord;
  };
  static std::vector<Call> calls;
};
std::vector<LandGeometryTest::Call> LandGeometryTest::calls;

float flow_at(int buf, int x, int z, int c) { return land_state.flow[buf][hmap_index(x, z)].c[c]; }

uint64_t after_draws(uint64_t seed, int n)
{
  for (int i = 0; i < n; i++)
    world_rnd_next(seed);
  return seed;
}
} // namespace

TEST_F(LandGeometryTest, FlowPairsResetTwentyStepsApartWithThreeDrawsEach)
{
  LandRenderState &s = land_state;
  land_init_flow(s);
  s.flowIndex = 0;
  s.flowCounter = 0;
  EXPECT_EQ(flow_at(0, 7, 9, 0), 7.f);
  EXPECT_EQ(flow_at(0, 7, 9, 1), 9.f);
  EXPECT_EQ(flow_at(0, 7, 9, 2), 9.f);
  EXPECT_EQ(flow_at(0, 7, 9, 3), 7.f);

  const int cx = 40, cz = 200;
  // The flow draws from the effects' stream; the simulation's stays untouched.
  const uint64_t sim_seed = game_rnd_seed;
  uint64_t seed = fx_rnd_seed;
  for (int step = 1; step < 20; step++)
  {
    land_step_flow(s, 0.05f, cx, cz);
    ASSERT_EQ(s.flowCounter, step);
    ASSERT_EQ(fx_rnd_seed, seed) << "no draws before the counter reaches 20";
  }
  // Still water: the coordinates stay where they were, in both buffers.
  EXPECT_EQ(flow_at(s.flowIndex, 100, 3, 0), 100.f);
  EXPECT_EQ(flow_at(s.flowIndex ^ 1, 100, 3, 1), 3.f);

  // Step 20 replaces the first pair of the new current buffer.
  uint64_t expect = seed;
  float u1 = world_rnd_unit(expect), u2 = world_rnd_unit(expect), u3 = world_rnd_unit(expect);
  land_step_flow(s, 0.05f, cx, cz);
  EXPECT_EQ(s.flowCounter, 20);
  EXPECT_EQ(fx_rnd_seed, after_draws(seed, 3));
  float theta = u1 * 6.2831853f, ct = cosf(theta), st = sinf(theta);
  for (int z : {0, 72, 255})
    for (int x : {0, 168, 255})
    {
      float F = float((x - cx - 128) & 255), D = float((z - cz - 128) & 255);
      EXPECT_NEAR(flow_at(s.flowIndex, x, z, 0), F * ct + D * st + u2 * 256.f, 1e-3f);
      EXPECT_NEAR(flow_at(s.flowIndex, x, z, 1), -F * st + D * ct + u3 * 256.f, 1e-3f);
      EXPECT_EQ(flow_at(s.flowIndex, x, z, 2), float(z)) << "the second pair is left alone";
      EXPECT_EQ(flow_at(s.flowIndex, x, z, 3), float(x));
    }
  // The seam of the fresh coordinates lies 128 cells from the camera.
  float a = flow_at(s.flowIndex, (cx + 127) & 255, cz, 0), b = flow_at(s.flowIndex, (cx + 128) & 255, cz, 0);
  EXPECT_GT(fabsf(a - b), 100.f);

  // Steps 21..39 draw nothing; step 40 wraps to 0 and resets the second pair.
  seed = fx_rnd_seed;
  for (int step = 21; step < 40; step++)
    land_step_flow(s, 0.05f, cx, cz);
  EXPECT_EQ(s.flowCounter, 39);
  EXPECT_EQ(fx_rnd_seed, seed);
  float first = flow_at(s.flowIndex, 10, 10, 0);
  land_step_flow(s, 0.05f, cx, cz);
  EXPECT_EQ(s.flowCounter, 0);
  EXPECT_EQ(fx_rnd_seed, after_draws(seed, 3));
  EXPECT_EQ(flow_at(s.flowIndex, 10, 10, 0), first);
  EXPECT_NE(flow_at(s.flowIndex, 10, 10, 2), 10.f);
  EXPECT_EQ(game_rnd_seed, sim_seed);
}

TEST_F(LandGeometryTest, FlowIsCarriedAlongWithTheWaterAndWraps)
{
  LandRenderState &s = land_state;
  land_init_flow(s);
  s.flowIndex = 0;
  s.flowCounter = 0;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
      HD::waterAt(x, z).vel_x = 2.f; // cell centres move at 2 cells per second toward +x
  land_step_flow(s, 0.25f, 0, 0);
  // Cell 10 takes what was half a cell behind it.
  EXPECT_FLOAT_EQ(flow_at(s.flowIndex, 10, 5, 0), 9.5f);
  EXPECT_FLOAT_EQ(flow_at(s.flowIndex, 10, 5, 1), 5.f);
  // At x = 0 the back-trace wraps to the other side of the map.
  EXPECT_FLOAT_EQ(flow_at(s.flowIndex, 0, 5, 0), 127.5f);
  // A broken velocity must not reach outside the buffers.
  HD::waterAt(3, 3).vel_x = NAN;
  HD::waterAt(4, 4).vel_z = 1e30f;
  land_step_flow(s, 0.25f, 0, 0);
  SUCCEED();
}

TEST_F(LandGeometryTest, HouseCellsInsideTheDiscGoToTheModuleOnceEach)
{
  int cx, cz;
  land_camera_cell(130.2f, 20.7f, cx, cz);
  ASSERT_EQ(cx, 130);
  ASSERT_EQ(cz, 21);
  const int ox = cx - 128, oz = cz - 128;
  // Window (row, column): one in the near square, one in the far disc, one outside it,
  // the near one across the wrap of the map.
  struct Cell
  {
    int k, c;
  } cells[] = {{100, 120}, {200, 128}, {2, 2}};
  for (const Cell &c : cells)
    HD::surf(ox + c.c, oz + c.k).set_ground_type(GT_HOUSE);

  static PatchInstance inst[LAND_NEAR_INSTANCES];
  static LandVertex verts[LAND_FAR_VERTS];
  static uint16_t idx[LAND_FAR_INDICES];
  int n = land_build_near(ox, oz, HeightmapRenderer::curh, inst);
  EXPECT_EQ(n, 64 * 64 - 1);
  int quads = land_build_far(ox, oz, HeightmapRenderer::curh, verts, idx);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].x, ox + 120);
  EXPECT_EQ(calls[0].z, oz + 100);
  EXPECT_EQ(calls[1].x, ox + 128);
  EXPECT_EQ(calls[1].z, oz + 200);
  for (const Call &c : calls)
    EXPECT_TRUE(c.rightRecord) << "the surface record of the wrapped cell is passed";

  // The far quads are the disc minus the near square minus the house.
  int disc = 0;
  for (int k = 0; k < 255; k++)
    for (int c = 0; c < 255; c++)
      disc += land_in_disc(k, c) && !land_in_near(k, c);
  EXPECT_EQ(quads, disc - 1);
  EXPECT_LE(quads * 6, LAND_FAR_INDICES);
  // Vertices are unwrapped cell coordinates around the camera.
  EXPECT_EQ(verts[0].x, ox);
  EXPECT_EQ(verts[0].z, oz);
  EXPECT_EQ(verts[256 * 255 + 255].x, ox + 255);
  EXPECT_EQ(verts[256 * 255 + 255].z, oz + 255);
}

TEST_F(LandGeometryTest, NearPatchesCarryTheFourCornerHeights)
{
  for (int i = 0; i < HMAP_CELLS; i++)
    HeightmapRenderer::curh[i] = float(i & 255) + float(i >> 8) * 1000.f;
  static PatchInstance inst[LAND_NEAR_INSTANCES];
  // Window origin at (-128, -128): cell (-33, -33) is map cell (223, 223).
  int n = land_build_near(-128, -128, HeightmapRenderer::curh, inst);
  ASSERT_EQ(n, 4096);
  const PatchInstance &p = inst[0];
  EXPECT_EQ(p.x, -128 + 95);
  EXPECT_EQ(p.z, -128 + 95);
  EXPECT_EQ(p.h[0], 223.f + 223000.f);
  EXPECT_EQ(p.h[1], 224.f + 223000.f);
  EXPECT_EQ(p.h[2], 223.f + 224000.f);
  EXPECT_EQ(p.h[3], 224.f + 224000.f);
}

TEST_F(LandGeometryTest, PatchMeshAndHorizonRing)
{
  PatchVertex pv[25];
  uint16_t pi[96];
  land_fill_patch_mesh(pv, pi);
  EXPECT_EQ(pv[7].u, 0.5f);
  EXPECT_EQ(pv[7].v, 0.25f);
  const uint16_t first[6] = {0, 5, 1, 1, 5, 6};
  EXPECT_EQ(memcmp(pi, first, sizeof(first)), 0);
  EXPECT_EQ(pi[95], 24);

  static uint16_t hi[LAND_HORIZON_INDICES];
  int quads = land_fill_horizon_indices(hi);
  EXPECT_LE(quads * 6, LAND_HORIZON_INDICES);
  // The hole: a disc of radius about 31 grid steps (pi * 31^2 quads).
  EXPECT_NEAR(191 * 191 - quads, 3019, 40);
  // No quad starts in the hole around the centre.
  for (int q = 0; q < quads; q++)
  {
    int v = hi[6 * q], r = v / 192, c = v % 192;
    int a = 2 * c - 191, b = 2 * r - 191;
    ASSERT_GT(a * a + b * b, 3843);
  }
}

TEST_F(LandGeometryTest, HorizonBendsDownBeyond128Cells)
{
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    HeightmapRenderer::curh[i] = 5.f;
    land_state.curw[i] = 1.f;
  }
  static LandVertex hv[LAND_HORIZON_VERTS];
  land_build_horizon(128, 128, 128.f, 128.f, HeightmapRenderer::curh, land_state.curw, hv);
  // Grid origin: ((128 - 383) & ~3) = -256 in both axes, steps of 4.
  EXPECT_EQ(hv[0].x, -256);
  EXPECT_EQ(hv[0].z, -256);
  const LandVertex &mid = hv[192 * 96 + 96]; // (128, 128): the camera
  EXPECT_EQ(mid.x, 128);
  EXPECT_FLOAT_EQ(mid.h, 6.f);
  const LandVertex &edge = hv[192 * 96 + 191]; // 380 cells out along x
  float k = (380.f - 128.f) / 256.f;
  EXPECT_FLOAT_EQ(edge.h, 6.f - 128.f * k * k);
}

TEST_F(LandGeometryTest, WaterInterpolatesFromThePreviousStepAndSkipsDryQuads)
{
  LandRenderState &s = land_state;
  land_init_flow(s);
  for (int i = 0; i < HMAP_CELLS; i++)
    HeightmapRenderer::curh[i] = 1.f;
  static WaterVertexHQ wv[LAND_WATER_VERTS];
  static WaterVertexLQ wl[LAND_WATER_VERTS];
  static uint16_t wi[LAND_WATER_INDICES];

  // No water anywhere: no quads at either quality.
  land_interp_depth(0.5f, s.curw);
  EXPECT_EQ(land_build_water(s, true, 0, 0, 0.5f, HeightmapRenderer::curh, s.curw, wv, wi), 0);
  EXPECT_EQ(land_build_water(s, false, 0, 0, 0.5f, HeightmapRenderer::curh, s.curw, wl, wi), 0);

  // One wet cell at (50, 60): the previous step had it, the current one dried it.
  HD::tmpw[60][50].depth = 2.f;
  HD::tmpw[60][50].foam = 0.8f;
  HD::water[60][50].depth = 0.f;
  HD::water[60][50].foam = 0.2f;
  land_interp_depth(0.f, s.curw);
  EXPECT_EQ(s.curw[hmap_index(50, 60)], 2.f) << "t = 0 draws the previous step";
  int quads = land_build_water(s, true, 0, 0, 0.f, HeightmapRenderer::curh, s.curw, wv, wi);
  EXPECT_EQ(quads, 4) << "the four quads sharing the wet corner";
  const WaterVertexHQ &v = wv[256 * 60 + 50];
  EXPECT_FLOAT_EQ(v.level, 3.f);
  EXPECT_FLOAT_EQ(v.foam, 0.8f);
  // A dry neighbour takes the wet level only when that is not above its own ground.
  EXPECT_FLOAT_EQ(wv[256 * 60 + 51].level, 1.f);
  HeightmapRenderer::curh[hmap_index(51, 60)] = 4.f;
  land_build_water(s, true, 0, 0, 0.f, HeightmapRenderer::curh, s.curw, wv, wi);
  EXPECT_FLOAT_EQ(wv[256 * 60 + 51].level, 3.f);

  land_interp_depth(0.25f, s.curw);
  land_build_water(s, false, 0, 0, 0.25f, HeightmapRenderer::curh, s.curw, wl, wi);
  EXPECT_FLOAT_EQ(s.curw[hmap_index(50, 60)], 1.5f);
  EXPECT_FLOAT_EQ(wl[256 * 60 + 50].level, 1.f + 1.5f - 0.1f) << "low quality sinks the surface";
  EXPECT_FLOAT_EQ(wl[256 * 60 + 50].foam, 0.65f);
}

TEST_F(LandGeometryTest, ChangedRegionGrowsByTheReachAndTakesWholeAxesAtTheEdge)
{
  static float a[HMAP_CELLS], b[HMAP_CELLS];
  for (int i = 0; i < HMAP_CELLS; i++)
    a[i] = b[i] = float(i % 97);
  EXPECT_TRUE(land_changed_region(a, b, LAND_PASS_REACH).empty());
  a[hmap_index(5, 7)] = b[hmap_index(5, 7)] = NAN; // a NaN that stays is no change
  EXPECT_TRUE(land_changed_region(a, b, LAND_PASS_REACH).empty());

  b[hmap_index(100, 50)] += 1.f;
  b[hmap_index(104, 60)] -= 1.f;
  LandRegion r = land_changed_region(a, b, 22);
  EXPECT_EQ(r.x0, 78);
  EXPECT_EQ(r.x1, 127);
  EXPECT_EQ(r.z0, 28);
  EXPECT_EQ(r.z1, 83);
  // Near the edge the passes wrap: that axis is refreshed whole.
  b[hmap_index(110, 250)] += 1.f;
  r = land_changed_region(a, b, 22);
  EXPECT_EQ(r.x0, 78);
  EXPECT_EQ(r.x1, 133);
  EXPECT_EQ(r.z0, 0);
  EXPECT_EQ(r.z1, 256);

  LandRegion u = land_region_union(LandRegion{10, 20, 30, 40}, LandRegion{25, 5, 60, 35});
  EXPECT_EQ(u.x0, 10);
  EXPECT_EQ(u.z0, 5);
  EXPECT_EQ(u.x1, 60);
  EXPECT_EQ(u.z1, 40);
  EXPECT_EQ(land_region_union(LandRegion(), LandRegion{1, 2, 3, 4}).x1, 3);
  EXPECT_EQ(land_region_union(LandRegion{1, 2, 3, 4}, LandRegion()).z1, 4);
}

namespace
{
// View x projection of a camera at p with pitch (radians, negative looks down) facing +z,
// with a D3D-style projection (clip z from 0 to w).
Matrix44 glob_tm(vec4f p, float pitch)
{
  Matrix44 itm = Matrix44::identity(), view;
  itm.setRow(1, vec4f(0.f, cosf(pitch), -sinf(pitch), 0.f));
  itm.setRow(2, vec4f(0.f, sinf(pitch), cosf(pitch), 0.f));
  itm.setRow(3, vec4f(p.x, p.y, p.z, 1.f));
  EXPECT_TRUE(inverse44(itm, view));
  const float n = 0.1f, f = 512.f, c = 1.f / tanf(0.65f);
  Matrix44 proj{};
  proj.m[0][0] = c / (16.f / 9.f);
  proj.m[1][1] = c;
  proj.m[2][2] = f / (f - n);
  proj.m[2][3] = 1.f;
  proj.m[3][2] = -n * f / (f - n);
  return view * proj;
}
bool block_seen(const LandCull &c, int k, int col) { return c.visible[(k / 8) * LAND_CULL_SIDE + col / 8] != 0; }
} // namespace

TEST_F(LandGeometryTest, CullKeepsWhatTheViewCanSee)
{
  static float h[HMAP_CELLS], w[HMAP_CELLS];
  for (int i = 0; i < HMAP_CELLS; i++)
    h[i] = 1.f, w[i] = 0.f;
  // The camera at cell (128, 128) of the window at origin (0, 0), 30 above the ground,
  // looking down to the north.
  const Matrix44 glob = glob_tm(vec4f(128.f, 30.f, 128.f, 1.f), -0.9f);
  static LandCull cull;
  land_cull_blocks(glob, 0, 0, h, w, cull);
  EXPECT_FALSE(cull.all);
  EXPECT_TRUE(block_seen(cull, 160, 128)) << "ahead";
  EXPECT_FALSE(block_seen(cull, 60, 128)) << "behind";
  EXPECT_FALSE(block_seen(cull, 160, 20)) << "far to the side";
  EXPECT_FALSE(block_seen(cull, 250, 128)) << "flat ground beyond the top of the view";
  EXPECT_TRUE(cull.quad(160, 128));
  EXPECT_FALSE(cull.quad(60, 128));

  // Looking up, the flat ground far ahead lies below the view; a mountain out there rises
  // into it, and so does the surface of a deep lake.
  const Matrix44 up = glob_tm(vec4f(128.f, 30.f, 128.f, 1.f), 0.5f);
  land_cull_blocks(up, 0, 0, h, w, cull);
  EXPECT_FALSE(block_seen(cull, 250, 128));
  EXPECT_FALSE(block_seen(cull, 234, 120));
  for (int z = 248; z < 256; z++)
    for (int x = 128; x < 136; x++)
      h[hmap_index(x, z)] = 400.f;
  for (int z = 232; z < 240; z++)
    for (int x = 120; x < 128; x++)
      w[hmap_index(x, z)] = 400.f;
  land_cull_blocks(up, 0, 0, h, w, cull);
  EXPECT_TRUE(block_seen(cull, 250, 128));
  EXPECT_TRUE(block_seen(cull, 234, 120));
  EXPECT_FALSE(block_seen(cull, 250, 104));

  // The window moves with the camera: the same view from a camera at (20, 140) over the
  // wrap of the map sees the cells ahead of it.
  const Matrix44 moved = glob_tm(vec4f(20.f, 30.f, 140.f, 1.f), -0.9f);
  land_cull_blocks(moved, 20 - 128, 140 - 128, h, w, cull);
  EXPECT_TRUE(block_seen(cull, 160, 128));
  EXPECT_FALSE(block_seen(cull, 60, 128));

  // A broken view culls nothing.
  Matrix44 broken;
  for (auto &row : broken.m)
    for (float &v : row)
      v = NAN;
  land_cull_blocks(broken, 20 - 128, 140 - 128, h, w, cull);
  EXPECT_TRUE(block_seen(cull, 60, 128));
}

TEST_F(LandGeometryTest, UnderWaterIsBelowTheHighestCornerOfTheCell)
{
  static float h[HMAP_CELLS], w[HMAP_CELLS];
  for (int i = 0; i < HMAP_CELLS; i++)
    h[i] = -5.f, w[i] = 5.f; // a calm sea at level 0
  EXPECT_TRUE(land_below_water(10.5f, -0.5f, 20.5f, h, w));
  EXPECT_FALSE(land_below_water(10.5f, 0.5f, 20.5f, h, w));
  // A wave on one corner of the cell lifts the surface over the camera; cells wrap.
  w[hmap_index(0, 0)] = 6.f;
  EXPECT_TRUE(land_below_water(255.5f, 0.5f, 255.5f, h, w));
  EXPECT_TRUE(land_below_water(-0.5f, 0.5f, -0.5f, h, w));
  EXPECT_FALSE(land_below_water(1.5f, 0.5f, 1.5f, h, w));
  // Inside a hill counts as below: the underside of nearby water may be in view.
  h[hmap_index(40, 40)] = 30.f;
  EXPECT_TRUE(land_below_water(40.2f, 20.f, 40.2f, h, w));
  EXPECT_FALSE(land_below_water(NAN, 0.f, 3.f, h, w));
}
