// Shadow sphere binning and the map walk, on the CPU.
#include <cmath>
#include <gtest/gtest.h>
#include <vector>
#include "core/globals.h"
#include "render/inst_render.h"
#include "render/map_grid_walk.h"
#include "render/shadow_balls.h"

namespace
{
// A camera at (0, 10, 0) looking along +z with a 90-degree square frustum, far 512; the
// light straight from above.
ShadowView test_view()
{
  Matrix44 view = Matrix44::identity();
  view.m[3][1] = -10.f; // world to view: y - 10
  const float zn = 0.1f, zf = 512.f;
  Matrix44 proj{};
  proj.m[0][0] = 1.f;
  proj.m[1][1] = 1.f;
  proj.m[2][2] = zf / (zf - zn);
  proj.m[2][3] = 1.f;
  proj.m[3][2] = -zn * zf / (zf - zn);
  ShadowView v;
  v.globTm = view * proj;
  v.globRk = vec4f(0.f);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++)
      v.globRk[j] += std::fabs(v.globTm.m[i][j]);
  v.camPos = vec4f(0.f, 10.f, 0.f, 1.f);
  v.light = vec4f(0.f, 1.f, 0.f, 0.f);
  return v;
}

struct PassCounts
{
  int n[4] = {}; // instances of the 8, 4, 2 and 1 passes
  std::vector<int> tiles8;
};
PassCounts count_passes(const ShadowBins &b)
{
  PassCounts c;
  const int vecs[4] = {8, 4, 2, 1};
  for (int k = 0; k < 4; k++)
    for_each_shadow_instance(b, vecs[k], [&](int col, int row, const vec4f *) {
      c.n[k]++;
      if (k == 0)
        c.tiles8.push_back(row * SHADOW_TILE_COLS + col);
    });
  return c;
}
} // namespace

TEST(ShadowBins, ThirteenSpheresInOneTileSplitAsEightFourOne)
{
  ShadowBins b;
  for (int i = 0; i < 13; i++)
    b.add(37, vec4f(float(i), 0.f, 0.f, 1.f));
  PassCounts c = count_passes(b);
  EXPECT_EQ(c.n[0], 1);
  EXPECT_EQ(c.n[1], 1);
  EXPECT_EQ(c.n[2], 0);
  EXPECT_EQ(c.n[3], 1);
  EXPECT_EQ(b.tiles[37].fullChunks, 1);
  EXPECT_EQ(b.tiles[37].lastCount, 5);
  // Every sphere is drawn exactly once, in order: 0..7 in the 8-pass, 8..11 and then 12.
  std::vector<float> seen;
  for (int numvec : {8, 4, 2, 1})
    for_each_shadow_instance(b, numvec, [&](int col, int row, const vec4f *v) {
      EXPECT_EQ(row * SHADOW_TILE_COLS + col, 37);
      for (int i = 0; i < numvec; i++)
        seen.push_back(v[i].x);
    });
  ASSERT_EQ(seen.size(), 13u);
  for (int i = 0; i < 13; i++)
    EXPECT_EQ(seen[size_t(i)], float(i));
}

TEST(ShadowBins, EightSpheresDrawOneInstanceOnly)
{
  ShadowBins b;
  for (int i = 0; i < 8; i++)
    b.add(0, vec4f(0.f, 0.f, 0.f, 1.f));
  PassCounts c = count_passes(b);
  EXPECT_EQ(c.n[0], 1);
  EXPECT_EQ(c.n[1] + c.n[2] + c.n[3], 0);
  EXPECT_EQ(b.chunks.size(), 1);
  // The ninth starts a second chunk; the 1-pass takes it.
  b.add(0, vec4f(0.f));
  c = count_passes(b);
  EXPECT_EQ(c.n[0], 1);
  EXPECT_EQ(c.n[3], 1);
  EXPECT_EQ(b.tiles[0].fullChunks, 1);
}

TEST(ShadowBins, TwentyThreeSpheresAndTileChains)
{
  // 23 = 8 + 8 + 4 + 2 + 1, with another tile's chunks interleaved in the arrays.
  ShadowBins b;
  for (int i = 0; i < 23; i++)
  {
    b.add(5, vec4f(float(i)));
    if (i % 3 == 0)
      b.add(140, vec4f(-1.f));
  }
  PassCounts c = count_passes(b);
  // Tile 5: two 8s, one each of 4, 2 and 1; tile 140 holds 8 (one 8-instance).
  EXPECT_EQ(c.n[0], 3);
  EXPECT_EQ(c.n[1], 1);
  EXPECT_EQ(c.n[2], 1);
  EXPECT_EQ(c.n[3], 1);
  EXPECT_EQ(c.tiles8, (std::vector<int>{5, 5, 140}));
  b.reset();
  EXPECT_EQ(b.chunks.size(), 0);
  EXPECT_EQ(b.links.size(), 0);
  EXPECT_EQ(count_passes(b).n[0] + count_passes(b).n[3], 0);
}

TEST(ShadowBins, CullingByFrustumAndDistance)
{
  ShadowView v = test_view();
  ShadowBins b;
  // In front, 30 ahead: binned, around the middle of the screen.
  EXPECT_TRUE(bin_shadow_ball(b, v, vec4f(0.f, 10.f, 30.f, 1.f), 1.f));
  ASSERT_GT(b.chunks.size(), 0);
  int tiles = 0;
  for (int t = 0; t < SHADOW_TILE_COUNT; t++)
    if (b.tiles[t].first >= 0)
    {
      tiles++;
      const int col = t % SHADOW_TILE_COLS, row = t / SHADOW_TILE_COLS;
      EXPECT_TRUE(col >= 6 && col <= 9) << col;
      EXPECT_TRUE(row >= 3 && row <= 5) << row;
    }
  EXPECT_GT(tiles, 0);
  b.reset();
  // Behind the camera, beyond the sides, and 112 or more away: nothing at all.
  EXPECT_FALSE(bin_shadow_ball(b, v, vec4f(0.f, 10.f, -30.f, 1.f), 1.f));
  EXPECT_FALSE(bin_shadow_ball(b, v, vec4f(200.f, 10.f, 30.f, 1.f), 1.f));
  EXPECT_FALSE(bin_shadow_ball(b, v, vec4f(0.f, 10.f, 112.f, 1.f), 1.f));
  EXPECT_FALSE(bin_shadow_ball(b, v, vec4f(80.f, 10.f, 80.f, 1.f), 1.f)); // 113 away
  b.reset();
  EXPECT_FALSE(bin_shadow_ball(b, v, vec4f(NAN, 10.f, 30.f, 1.f), 1.f));
  EXPECT_EQ(b.chunks.size(), 0);
  // A sphere right at the camera covers the whole screen, clamped into the grid.
  EXPECT_TRUE(bin_shadow_ball(b, v, vec4f(0.f, 10.f, 2.f, 1.f), 3.f));
  int all = 0;
  for (const ShadowTile &t : b.tiles)
    all += t.first >= 0;
  EXPECT_EQ(all, SHADOW_TILE_COUNT);
}

TEST(ShadowBins, TheBinnedSphereMovesAwayFromTheLight)
{
  // The sun behind the camera: a sphere is binned 3 radii farther out, so one 110 away
  // is tested at 113 and dropped.
  ShadowView v = test_view();
  v.light = vec4f(0.f, 0.f, -1.f, 0.f);
  ShadowBins b;
  EXPECT_TRUE(bin_shadow_ball(b, v, vec4f(0.f, 10.f, 100.f, 1.f), 1.f));
  EXPECT_FALSE(bin_shadow_ball(b, v, vec4f(0.f, 10.f, 110.f, 1.f), 1.f)); // binned at 113
}

namespace
{
struct Recorder : IWalkMapGrid
{
  int count = 0;
  float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f, size = 0.f;
  float firstX = -1.f, firstY = -1.f, secondX = -1.f, secondY = -1.f;
  void on_map_grid_walk(float x, float y, float s) override
  {
    if (count == 0)
      firstX = x, firstY = y;
    if (count == 1)
      secondX = x, secondY = y;
    count++;
    minX = std::fmin(minX, x), maxX = std::fmax(maxX, x);
    minY = std::fmin(minY, y), maxY = std::fmax(maxY, y);
    size = s;
  }
};
} // namespace

TEST(MapGridWalk, CellSizesAndOrder)
{
  Recorder a;
  walk_map_grid(-1, a);
  EXPECT_EQ(a.count, 512 * 512);
  EXPECT_FLOAT_EQ(a.size, 0.5f);
  EXPECT_FLOAT_EQ(a.maxX, 255.5f);
  EXPECT_FLOAT_EQ(a.maxY, 255.5f);
  // Columns inner: the second cell is beside the first.
  EXPECT_FLOAT_EQ(a.secondX, 0.5f);
  EXPECT_FLOAT_EQ(a.secondY, 0.f);

  Recorder b;
  walk_map_grid(3, b);
  EXPECT_EQ(b.count, 32 * 32);
  EXPECT_FLOAT_EQ(b.size, 8.f);
  EXPECT_FLOAT_EQ(b.maxX, 248.f);
  EXPECT_FLOAT_EQ(b.secondX, 8.f);

  Recorder c;
  walk_map_grid(9, c);
  EXPECT_EQ(c.count, 1);
  EXPECT_FLOAT_EQ(c.size, 256.f);
  EXPECT_FLOAT_EQ(c.firstX, 0.f);
}

namespace
{
struct Points : IMapPointSink
{
  std::vector<std::pair<float, float>> pts;
  void on_map_point(float x, float y) override { pts.push_back({x, y}); }
};
} // namespace

TEST(MapGridWalk, CellPointsStayInTheirCellsAndFollowTheSeed)
{
  Points p;
  GenMapCellPoints gen(&p, 3);
  game_rnd_seed = 99;
  walk_map_grid(5, gen);
  ASSERT_EQ(p.pts.size(), size_t(8 * 8 * 3));
  for (size_t i = 0; i < p.pts.size(); i++)
  {
    const int cell = int(i / 3);
    const float x0 = float(cell % 8) * 32.f, y0 = float(cell / 8) * 32.f;
    EXPECT_GE(p.pts[i].first, x0);
    EXPECT_LE(p.pts[i].first, x0 + 32.f);
    EXPECT_GE(p.pts[i].second, y0);
    EXPECT_LE(p.pts[i].second, y0 + 32.f);
  }
  Points q;
  GenMapCellPoints again(&q, 3);
  game_rnd_seed = 99;
  walk_map_grid(5, again);
  EXPECT_EQ(p.pts, q.pts);
}

TEST(InstRenderLayout, DeclarationsJoinTheMeshAndTheInstanceStream)
{
  SplineInstRender spline;
  int n = 0;
  const VsdElement *e = spline.instanceLayout(n);
  EXPECT_EQ(n, 8);
  EXPECT_EQ(spline.instanceSize(), 64);
  DynArray<VsdElement> mesh;
  for (int i = 0; i < 23; i++)
    mesh.push(vsd_element(i * 4, 3, VSDT_FLOAT1, VSDU_TEXCOORD, i % 16));
  VsdElement out[MAX_VDECL_LEN];
  build_inst_vsd(mesh, e, n, out); // 23 + 8 = 31: the most a declaration holds
  EXPECT_EQ(out[0].stream, 0);     // the mesh is always stream 0
  EXPECT_EQ(out[23].stream, 1);
  EXPECT_EQ(out[31].stream, 0xFF);
  int k = 0;
  SimpleInstRender simple;
  simple.instanceLayout(k);
  EXPECT_EQ(k, 5);
  EXPECT_EQ(simple.instanceSize(), 28);
  MorphInstRender morph;
  morph.instanceLayout(k);
  EXPECT_EQ(k, 6);
  EXPECT_EQ(morph.instanceSize(), 32);
  BuildingInstRender building;
  building.instanceLayout(k);
  EXPECT_EQ(k, 3);
  EXPECT_EQ(building.instanceSize(), 24);
}

TEST(InstRenderLayout, TooManyElementsAreFatal)
{
  SplineInstRender spline;
  int n = 0;
  const VsdElement *e = spline.instanceLayout(n);
  DynArray<VsdElement> mesh;
  for (int i = 0; i < 27; i++)
    mesh.push(vsd_element(i * 4, 0, VSDT_FLOAT1, VSDU_TEXCOORD, i % 16));
  VsdElement out[MAX_VDECL_LEN];
  EXPECT_EXIT(build_inst_vsd(mesh, e, n, out), testing::ExitedWithCode(100),
              "renderInst\\([0-9]+\\): failed ASSERT\\(mesh->vsd.size\\(\\)\\+inum<MAX_VDECL_LEN\\)");
}

TEST(InstRenderLayout, PackedRowsRoundTrip)
{
  D3dColor c = pack_inst_row(vec4f(1.f, 0.f, -1.f, 0.f), 1.f);
  EXPECT_EQ(c.r(), 255);
  EXPECT_EQ(c.g(), 128);
  EXPECT_EQ(c.b(), 0);
  EXPECT_EQ(c.a(), 32);
  EXPECT_EQ(pack_inst_row(vec4f(0.f), 100.f).a(), 255); // clamped
  EXPECT_EQ(pack_inst_row(vec4f(0.f), NAN).a(), 0);
}

TEST(InstRenderList, BlocksAndOwnedMemoryChainInOrder)
{
  SimpleInstRender r;
  EXPECT_EQ(r.instanceCount(), 0);
  SimpleInstance own[3] = {};
  InstBlock b{own, int(sizeof(own)), nullptr};
  r.addBlock(&b);
  SimpleInstance *p = (SimpleInstance *)r.allocInstances(2);
  SimpleInstance *q = (SimpleInstance *)r.allocInstances(5); // continues the owned block
  EXPECT_EQ(q, p + 2);
  EXPECT_EQ(r.instanceCount(), 10);
  EXPECT_EQ(r.list, &b);
  EXPECT_EQ(b.next, r.listTail);
  // Larger than a chunk: a block of its own.
  void *big = r.allocInstances(5000);
  EXPECT_NE(big, nullptr);
  EXPECT_EQ(r.instanceCount(), 5010);
  r.clearList();
  EXPECT_EQ(r.instanceCount(), 0);
  EXPECT_EQ(r.list, nullptr);
  // The owned memory is reused after the list was emptied.
  EXPECT_EQ(r.allocInstances(1), (void *)p);
  r.close();
}
