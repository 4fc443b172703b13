// The module's static objects (bin/gameobj.dll in the test host): placement over a made
// world by its rules and seed, and trees living with the land.
#include <cmath>
#include <map>
#include <vector>
#include "core/globals.h"
#include "host_fixture.h"
#include "world/heightmap.h"

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;
using HD = HeightmapData;

namespace
{
// A world of four quarters around a sea: west a grassy meadow on soil, east bare rock,
// north a steep slope (rising 2 per cell), south sand; a lake in the meadow and a house
// on it.
void make_world()
{
  HD::reset();
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
    {
      const float dx = float(x - 128), dz = float(z - 128);
      const float r = std::sqrt(dx * dx + dz * dz);
      HD::Surface &s = HD::surf(x, z);
      float h;
      if (r > 110.f)
        h = -2.f; // the sea
      else if (dz > 60.f)
        h = 3.f + (dz - 60.f) * 2.f, s.set_ground_type(GT_ROCK);
      else if (dx < -10.f)
        h = 3.f + 0.01f * dx, s.set_ground_type(GT_SOIL), s.set_top(0xFF3C8C28u, ST_GRASS);
      else if (dz < -50.f)
        h = 2.f, s.set_ground_type(GT_SAND);
      else
        h = 8.f, s.set_ground_type(GT_ROCK);
      HD::height(x, z) = h;
      HD::waterAt(x, z).depth = h < 0.f ? 1.f - h : 0.f;
    }
  // A lake in the meadow.
  for (int z = 100; z < 120; z++)
    for (int x = 50; x < 70; x++)
    {
      HD::height(x, z) = 1.f;
      HD::waterAt(x, z).depth = 1.5f;
    }
  HD::placeHouse(70, 140, 0, HD::hmap, false);
  memcpy(HD::target_hmap, HD::hmap, sizeof(HD::hmap));
  memcpy(HD::tmpw, HD::water, sizeof(HD::water));
}

struct Placed
{
  int cls;
  float x, z;
  bool operator==(const Placed &o) const { return cls == o.cls && x == o.x && z == o.z; }
};

std::vector<Placed> placed()
{
  std::vector<Placed> r;
  const DynArray<GameObj *> *lists[] = {&TreeObject_list, &Stone1StaticObject_list, &Menhir1StaticObject_list,
                                        &Menhir2StaticObject_list};
  for (int k = 0; k < 4; k++)
    for (GameObj *o : *lists[k])
      r.push_back({31 + k, o->pos.x, o->pos.z});
  return r;
}

float max_depth_around(float x, float z)
{
  const int cx = int(std::floor(x)), cz = int(std::floor(z));
  float d = 0.f;
  for (int k = 0; k < 4; k++)
    d = std::fmax(d, HD::waterAt(cx + (k & 1), cz + (k >> 1)).depth);
  return d;
}

class ObjectsTest : public ModuleFixture
{
protected:
  void SetUp() override
  {
    ModuleFixture::SetUp();
    start(SKELETON_MODULE);
    gameobj_api.init_gameobj();
    make_world();
  }

  void generate(uint64_t seed)
  {
    game_rnd_seed = seed;
    gameobj_api.generate_objects();
  }
};
} // namespace

TEST_F(ObjectsTest, PlacementFollowsTheGroundAndTheSeed)
{
  CaptureStdout();
  generate(7);
  const std::string log = GetCapturedStdout();
  const std::vector<Placed> first = placed();
  const int trees = TreeObject_list.size(), stones = Stone1StaticObject_list.size();
  const int menhirs = Menhir1StaticObject_list.size() + Menhir2StaticObject_list.size();
  char line[128];
  snprintf(line, sizeof(line), "generated objects: %d trees, %d stones, %d menhirs, 1 buildings", trees, stones,
           menhirs);
  EXPECT_NE(log.find(line), std::string::npos) << log;
  EXPECT_GT(trees, 300);
  EXPECT_GT(stones, 30);

  for (const Placed &p : first)
  {
    const HD::Surface &s = HD::surf(int(std::floor(p.x)), int(std::floor(p.z)));
    EXPECT_EQ(max_depth_around(p.x, p.z), 0.f) << "in water at " << p.x << "," << p.z;
    EXPECT_NE(s.ground_type(), GT_HOUSE) << p.x << "," << p.z;
    EXPECT_FALSE(s.marks() & MARK_HOUSE) << "on the house plot at " << p.x << "," << p.z;
    EXPECT_TRUE(s.marks() & MARK_OBJ);
    // The steep slope (2 per cell) carries nothing beyond its foot.
    EXPECT_LE(p.z - 128.f, 63.f) << "on the cliff at " << p.x << "," << p.z;
    if (p.cls == 31) // trees grow in the meadow only
    {
      EXPECT_LT(p.x, 118.f);
      EXPECT_EQ(s.surface_type(), ST_GRASS);
    }
  }

  // The same seed again gives the same objects in the same places; another seed others.
  generate(7);
  EXPECT_EQ(placed(), first);
  generate(8);
  EXPECT_NE(placed(), first);
}

TEST_F(ObjectsTest, ForestsHaveClearings)
{
  generate(3);
  // Trees per 16 x 16 block of the open meadow (away from the lake, the house and the
  // meadow's edges): a uniform spray would fill every block alike.
  std::map<int, int> per_block;
  for (GameObj *o : TreeObject_list)
  {
    const int bx = int(o->pos.x) / 16, bz = int(o->pos.z) / 16;
    per_block[bz * 16 + bx]++;
  }
  int empty = 0, dense = 0, blocks = 0;
  for (int bz = 3; bz < 12; bz++)
    for (int bx = 2; bx < 7; bx++)
    {
      if ((bx >= 3 && bx <= 4 && bz >= 6 && bz <= 7) || (bx == 4 && bz >= 8 && bz <= 9))
        continue;         // the lake and the house
      bool inside = true; // the whole block in the meadow, away from the sea
      for (int k = 0; k < 4; k++)
      {
        const float dx = float(bx * 16 + (k & 1) * 16) - 128.f, dz = float(bz * 16 + (k >> 1) * 16) - 128.f;
        inside = inside && dx * dx + dz * dz < 100.f * 100.f && dx < -12.f && dz < 58.f;
      }
      if (!inside)
        continue;
      blocks++;
      const int n = per_block[bz * 16 + bx];
      empty += n <= 4;
      dense += n >= 35;
    }
  EXPECT_GT(empty, 0) << "no clearing in " << blocks << " blocks";
  EXPECT_GT(dense, 0) << "no dense forest in " << blocks << " blocks";
}

TEST_F(ObjectsTest, TreesRideTheLandAndFallInWater)
{
  generate(7);
  ASSERT_GT(TreeObject_list.size(), 2);
  GameObj *riser = TreeObject_list[0], *drowned = TreeObject_list[1];
  const float x = riser->pos.x, z = riser->pos.z;
  // The land under the first tree rises by 3 (as a hill spell leaves it), the second gets
  // water over its roots.
  for (int dz = -1; dz <= 2; dz++)
    for (int dx = -1; dx <= 2; dx++)
      HD::height(int(x) + dx, int(z) + dz) += 3.f;
  memcpy(HD::target_hmap, HD::hmap, sizeof(HD::hmap));
  const int wx = int(std::floor(drowned->pos.x + 0.5f)), wz = int(std::floor(drowned->pos.z + 0.5f));
  const int mx = int(std::floor(drowned->pos.x)), mz = int(std::floor(drowned->pos.z));
  HD::waterAt(wx, wz).depth = 1.f;
  gameobj_api.update_gameobj(0.05f);
  EXPECT_NEAR(riser->pos.y, gameobj_api.get_land_height(x, z), 1e-4f);
  EXPECT_GT(riser->pos.y, 3.f);
  // About ten seconds of steps: the drowned tree has fallen and gone, its mark with it.
  for (int i = 0; i < 200; i++)
    gameobj_api.update_gameobj(0.05f);
  EXPECT_LT(TreeObject_list.find(drowned), 0);
  EXPECT_GE(TreeObject_list.find(riser), 0);
  EXPECT_FALSE(HD::surf(mx, mz).marks() & MARK_OBJ);
  EXPECT_TRUE(HD::surf(int(std::floor(x)), int(std::floor(z))).marks() & MARK_OBJ);
}
