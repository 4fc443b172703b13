// The module's player and spells (bin/gameobj.dll in a test host): mana and its
// regeneration, the spell grid, and what the spells do to the land, the water and the
// monsters.
#include <cmath>
#include <cstring>
#include "core/scripted_casts.h"
#include "host_fixture.h"
#include "world/heightmap.h"

using HD = HeightmapData;

namespace
{
constexpr int FIREBALL = 17, HILL = 22, METEOR = 21, THUNDERSTORM = 26, WYVERN = 29, TREE = 31, MENHIR = 33;
constexpr int CASTLE = 38, BIRD = 42, HOUSE = 20;
constexpr float STEP = 0.05f;

class SpellTest : public ModuleFixture
{
protected:
  GameObjCastPlayerSpellFn cast = nullptr;
  GameObjPlayerVitalsFn vitals = nullptr;

  void SetUp() override
  {
    ModuleFixture::SetUp();
    start(GAME_MODULE);
    // The module's own lookup also answers the names only tools and tests use.
    cast = (GameObjCastPlayerSpellFn)module_func("cast_player_spell");
    vitals = (GameObjPlayerVitalsFn)module_func("get_player_vitals");
    ASSERT_TRUE(cast && vitals);
    // Flat dry land at height 2, at rest.
    HD::reset();
    for (int i = 0; i < HMAP_CELLS; i++)
      HD::hmap[i] = HD::target_hmap[i] = 2.f;
    gameobj_api.init_gameobj();
    local_player->setPos(vec4f(128.f, 10.f, 100.f, 1.f));
  }

  float mana()
  {
    float v[4] = {};
    EXPECT_TRUE(vitals(v));
    return v[2];
  }

  static void run(float seconds)
  {
    for (int i = 0; i < int(std::lround(seconds / STEP)); i++)
      gameobj_api.update_gameobj(STEP);
  }

  static GameObj *monster_at(float x, float y, float z)
  {
    GameObj *m = gameobj_api.new_gameobj_by_id(WYVERN);
    m->setPos(vec4f(x, y, z, 1.f));
    return m;
  }
};
} // namespace

TEST_F(SpellTest, CastingCostsManaWhichComesBack)
{
  const vec4f at(128.f, 2.f, 130.f, 1.f);
  ASSERT_FLOAT_EQ(mana(), 100.f);
  EXPECT_TRUE(cast(FIREBALL, at, false));
  const float after = mana();
  EXPECT_LT(after, 100.f);
  EXPECT_GT(after, 70.f); // a fireball is cheap
  // The cooldown holds a second cast back, and costs nothing.
  EXPECT_FALSE(cast(FIREBALL, at, false));
  EXPECT_FLOAT_EQ(mana(), after);
  // A spell not in the grid cannot be cast; a free (scripted) cast can, at no cost.
  EXPECT_FALSE(cast(METEOR, at, false));
  EXPECT_TRUE(cast(METEOR, at, true));
  EXPECT_FLOAT_EQ(mana(), after);

  // Mana grows back at a steady rate up to the maximum.
  run(1.f);
  const float one_second = mana() - after;
  EXPECT_GT(one_second, 1.f);
  EXPECT_LT(one_second, 10.f);
  EXPECT_TRUE(cast(FIREBALL, at, false)); // the cooldown is over
  run(60.f);
  EXPECT_FLOAT_EQ(mana(), 100.f);

  // Casting until the mana runs out: then nothing is cast until it has come back.
  int casts = 0;
  while (casts < 100 && (run(1.f), cast(FIREBALL, at, false)))
    casts++;
  EXPECT_GT(casts, 3);
  EXPECT_LT(casts, 100);
  // The cheat makes every spell free.
  gameobj_api.toggle_mana_cheat();
  run(1.f);
  const float full = mana();
  EXPECT_TRUE(cast(FIREBALL, at, false));
  EXPECT_FLOAT_EQ(mana(), full);
  gameobj_api.toggle_mana_cheat();
}

TEST_F(SpellTest, TheGridHoldsTheSpellsThroughNewWorlds)
{
  // The player starts with a few spells.
  EXPECT_GE(gameobj_api.find_spell_in_grid(FIREBALL), 0);
  EXPECT_GE(gameobj_api.find_spell_in_grid(HILL), 0);
  EXPECT_EQ(gameobj_api.find_spell_in_grid(METEOR), -1);
  EXPECT_EQ(gameobj_api.find_spell_in_grid(WYVERN), -1); // no spell at all
  EXPECT_FALSE(gameobj_api.add_spell_to_grid(WYVERN));

  EXPECT_TRUE(gameobj_api.add_spell_to_grid(METEOR));
  EXPECT_FALSE(gameobj_api.add_spell_to_grid(METEOR));
  EXPECT_GE(gameobj_api.find_spell_in_grid(METEOR), 0);
  EXPECT_TRUE(gameobj_api.pick_up_spell(THUNDERSTORM));
  EXPECT_FALSE(gameobj_api.pick_up_spell(THUNDERSTORM));

  // The world goes, the player and his spells stay (a portal carries them on).
  EXPECT_TRUE(cast(METEOR, vec4f(128.f, 2.f, 140.f, 1.f), false));
  const int spells = Spell_list.size();
  EXPECT_GT(spells, 0);
  gameobj_api.remove_all_gameobj();
  EXPECT_EQ(Spell_list.size(), spells);
  EXPECT_EQ(MeteorMissile_list.size(), 0);
  EXPECT_GE(gameobj_api.find_spell_in_grid(METEOR), 0);
  EXPECT_GE(gameobj_api.find_spell_in_grid(THUNDERSTORM), 0);

  gameobj_api.add_all_spells();
  for (int id : {17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 38, 41})
    EXPECT_GE(gameobj_api.find_spell_in_grid(id), 0) << id;
  gameobj_api.init_spell_grid();
  EXPECT_EQ(gameobj_api.find_spell_in_grid(FIREBALL), -1);
}

TEST_F(SpellTest, AHillRaisesTheTargetHeightsInItsRadiusOnly)
{
  // Cast: the missile flies to (128, 130) and raises the land's targets there.
  EXPECT_TRUE(cast(HILL, vec4f(128.f, 2.f, 130.f, 1.f), true));
  run(3.f);
  EXPECT_EQ(HillMissile_list.size(), 0);
  const float top = HD::target_hmap[hmap_index(128, 130)];
  EXPECT_GT(top, 5.f);
  // The heights themselves morph toward it over time, not at once.
  EXPECT_LT(HD::hmap[hmap_index(128, 130)], top);

  HD::reset();
  for (int i = 0; i < HMAP_CELLS; i++)
    HD::hmap[i] = HD::target_hmap[i] = 2.f;
  gameobj_api.create_hill(60.f, 60.f, 8.f, 5.f);
  for (int z = 40; z <= 80; z++)
    for (int x = 40; x <= 80; x++)
    {
      const float d = std::hypot(float(x - 60), float(z - 60)), t = HD::target_hmap[hmap_index(x, z)];
      if (d >= 8.f)
        EXPECT_EQ(t, 2.f) << x << "," << z;
      else
        EXPECT_GT(t, 2.f) << x << "," << z;
      EXPECT_EQ(HD::hmap[hmap_index(x, z)], 2.f);
    }
  EXPECT_FLOAT_EQ(HD::target_hmap[hmap_index(60, 60)], 7.f);
  // Nearer the middle is higher; a negative height digs a pit.
  EXPECT_GT(HD::target_hmap[hmap_index(62, 60)], HD::target_hmap[hmap_index(65, 60)]);
  gameobj_api.create_hill(60.f, 60.f, 8.f, -5.f);
  EXPECT_FLOAT_EQ(HD::target_hmap[hmap_index(60, 60)], 2.f);
  // Near the map's edge it wraps.
  gameobj_api.create_hill(1.f, 1.f, 4.f, 3.f);
  EXPECT_GT(HD::target_hmap[hmap_index(255, 255)], 2.f);
}

// Ordinary rolling land with trees and a menhir: the castle finds a plot near the cast
// point, levels it, fells the trees on it and keeps off the menhir; a mountain side is
// refused with nothing changed.
TEST_F(SpellTest, ACastleIsBuiltOnOrdinaryLand)
{
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HD::height(x, z) = HD::target_hmap[hmap_index(x, z)] =
        4.f + 2.5f * std::sin(float(x) * 0.15f) * std::cos(float(z) * 0.12f);
  auto place = [](int cls, float x, float z) {
    GameObj *o = gameobj_api.new_gameobj_by_id(cls);
    o->setPos(vec4f(x + 0.5f, HD::height(int(x), int(z)), z + 0.5f, 1.f));
    HD::surf(int(x), int(z)).change_marks(MARK_OBJ, 0);
  };
  for (int i = 0; i < 6; i++)
    place(TREE, 124.f + float(i), 128.f + float(i % 3));
  place(TREE, 60.f, 60.f); // far away
  place(MENHIR, 133.f, 133.f);
  ASSERT_TRUE(cast(CASTLE, vec4f(130.f, 4.f, 130.f, 1.f), true));
  run(4.f);
  ASSERT_EQ(CastleObject_list.size(), 1);
  const vec4f c = CastleObject_list[0]->pos;
  const int cx = int(c.x), cz = int(c.z);
  EXPECT_LE(std::abs(cx - 130) + std::abs(cz - 130), 2 * 16) << "near the cast point";
  EXPECT_TRUE(std::abs(cx - 133) > 9 || std::abs(cz - 133) > 9) << "the menhir stays off the plot";
  // The plot's ground (its corners) is level.
  const float level = HD::target_hmap[hmap_index(cx - 9, cz - 9)];
  EXPECT_EQ(HD::target_hmap[hmap_index(cx + 9, cz + 9)], level);
  EXPECT_EQ(HD::target_hmap[hmap_index(cx - 9, cz + 9)], level);
  run(8.f); // the felled trees sink away
  int standing_on_plot = 0;
  for (GameObj *t : TreeObject_list)
    standing_on_plot += std::abs(int(t->pos.x) - cx) <= 9 && std::abs(int(t->pos.z) - cz) <= 9;
  EXPECT_EQ(standing_on_plot, 0);
  EXPECT_GE(TreeObject_list.size(), 1);
  EXPECT_EQ(Menhir1StaticObject_list.size(), 1);

  // A mountain side far steeper than any plot allows.
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 180; x < 230; x++)
      HD::height(x, z) = HD::target_hmap[hmap_index(x, z)] = float(x - 180) * 1.5f;
  const float before = HD::target_hmap[hmap_index(205, 40)];
  EXPECT_FALSE(cast(CASTLE, vec4f(205.f, before, 40.f, 1.f), true));
  run(3.f);
  EXPECT_EQ(CastleObject_list.size(), 1);
  EXPECT_EQ(HD::target_hmap[hmap_index(205, 40)], before);
}

// Hedges every six cells (marked as objects) leave room for the small house only: a cast
// whose spot asks for a long one still builds, the small one on the nearest clear plot.
// A mountain side is refused with the reason.
TEST_F(SpellTest, AHouseTakesTheNearestPlotThatFitsOrSaysWhatIsInTheWay)
{
  for (int z = 100; z <= 160; z++)
    for (int x = 100; x <= 160; x++)
      if ((x - 100) % 6 == 0 || (z - 100) % 6 == 0)
        HD::surf(x, z).change_marks(MARK_OBJ, 0);
  // At (130, 130) the spot's own shape is a ten by four one.
  ASSERT_TRUE(cast(HOUSE, vec4f(130.2f, 2.f, 130.2f, 1.f), true));
  run(3.f);
  int x0 = 1000, z0 = 1000, x1 = -1, z1 = -1;
  for (int z = 100; z <= 160; z++)
    for (int x = 100; x <= 160; x++)
      if (HD::surf(x, z).marks() & MARK_HOUSE)
        x0 = std::min(x0, x), z0 = std::min(z0, z), x1 = std::max(x1, x), z1 = std::max(z1, z);
  ASSERT_GE(x1, 0) << "no house was built";
  EXPECT_EQ(x1 - x0, 4);
  EXPECT_EQ(z1 - z0, 4);
  EXPECT_LE(std::max(std::abs((x0 + x1) / 2 - 130), std::abs((z0 + z1) / 2 - 130)), 6);
  EXPECT_NE((x0 - 100) % 6, 0) << "on a hedge";
  EXPECT_NE((z0 - 100) % 6, 0) << "on a hedge";

  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 180; x < 230; x++)
      HD::height(x, z) = HD::target_hmap[hmap_index(x, z)] = float(x - 180) * 1.5f;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(cast(HOUSE, vec4f(205.f, 37.5f, 40.f, 1.f), true));
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("too steep"), std::string::npos) << log;
}

TEST_F(SpellTest, ASpringAddsWaterEachUpdateAndASinkDrainsIt)
{
  GameObj *spring = gameobj_api.add_water_source(vec4f(50.f, 0.f, 50.f, 1.f), 2.f, 1.f);
  ASSERT_NE(spring, nullptr);
  float last = HD::waterAt(50, 50).depth;
  EXPECT_EQ(last, 0.f);
  for (int i = 0; i < 5; i++)
  {
    gameobj_api.update_gameobj(STEP);
    const float d = HD::waterAt(50, 50).depth;
    EXPECT_NEAR(d - last, 2.f * STEP, 1e-4f) << "update " << i;
    last = d;
  }
  EXPECT_EQ(HD::waterAt(60, 50).depth, 0.f); // beyond its disc
  // Its life runs out: it stops and goes.
  run(1.f);
  EXPECT_EQ(WaterSource_list.size(), 0);
  const float left = HD::waterAt(50, 50).depth;
  run(0.5f);
  EXPECT_EQ(HD::waterAt(50, 50).depth, left);

  // A sink takes the water away, never below dry.
  gameobj_api.add_water_source(vec4f(50.f, 0.f, 50.f, 1.f), -3.f, 5.f);
  run(2.f);
  for (int z = 45; z <= 55; z++)
    for (int x = 45; x <= 55; x++)
      EXPECT_GE(HD::waterAt(x, z).depth, 0.f);
  EXPECT_EQ(HD::waterAt(50, 50).depth, 0.f);
}

TEST_F(SpellTest, FireballDamageFallsWithDistanceAndTreesCatchFire)
{
  const vec4f at(100.f, 2.f, 100.f, 1.f);
  float dealt[3];
  const float dist[3] = {1.f, 4.f, 9.f};
  for (int i = 0; i < 3; i++)
  {
    GameObj *m = monster_at(at.x + dist[i], at.y, at.z);
    dealt[i] = gameobj_api.apply_fireball(at, 7.f, 40.f, nullptr);
    gameobj_api.delete_gameobj(m);
  }
  EXPECT_GT(dealt[0], dealt[1]);
  EXPECT_GT(dealt[1], 0.f);
  EXPECT_NEAR(dealt[1], 40.f * (1.f - 4.f / 7.f), 0.01f);
  EXPECT_EQ(dealt[2], 0.f); // beyond the blast

  // A tree in the blast burns a while; one far off does not.
  GameObj *near_tree = gameobj_api.new_gameobj_by_id(TREE);
  near_tree->setPos(vec4f(101.f, 2.f, 100.f, 1.f));
  GameObj *far_tree = gameobj_api.new_gameobj_by_id(TREE);
  far_tree->setPos(vec4f(140.f, 2.f, 100.f, 1.f));
  gameobj_api.apply_fireball(at, 7.f, 40.f, nullptr);
  ASSERT_EQ(BurnEffect_list.size(), 1);
  gameobj_api.apply_fireball(at, 7.f, 40.f, nullptr); // a burning tree is not lit twice
  EXPECT_EQ(BurnEffect_list.size(), 1);
  run(6.f);
  EXPECT_EQ(BurnEffect_list.size(), 0); // burnt out
  EXPECT_EQ(TreeObject_list.size(), 2);  // burnt trees stand
  gameobj_api.apply_fireball(at, 7.f, 40.f, nullptr);
  EXPECT_EQ(BurnEffect_list.size(), 0); // and burn no more
}

// A fireball finds a bird flying over its point and bursts on it in the air, setting no
// tree below alight; cast at a point with no monster over it, it comes down there.
TEST_F(SpellTest, ScriptedFireballBurstsOnAMonsterFlyingOverItsPoint)
{
  gameobj_api.new_gameobj_by_id(BIRD)->setPos(vec4f(128.f, 20.f, 134.f, 1.f));
  gameobj_api.new_gameobj_by_id(TREE)->setPos(vec4f(128.f, 2.f, 130.f, 1.f));
  scripted_casts[0] = ScriptedCast{1, "fireball", 128.f, 130.f};
  scripted_casts[1] = ScriptedCast{2, "fireball", 60.f, 60.f};
  scripted_cast_count = 2;
  for (int u = 1; u <= 60; u++)
  {
    scripted_update_number = u;
    gameobj_api.update_gameobj(STEP);
  }
  scripted_cast_count = 0;
  scripted_update_number = 0;
  EXPECT_EQ(BirdMonster_list.size(), 0);
  EXPECT_EQ(BurnEffect_list.size(), 0);
  EXPECT_EQ(Fireball_list.size(), 0); // the other one came down on its point
}

TEST_F(SpellTest, LightningStrikesTheNearestMonsterInTheCone)
{
  const vec4f from(100.f, 10.f, 100.f, 1.f), ahead(0.f, 0.f, 1.f, 0.f);
  EXPECT_EQ(gameobj_api.pick_lightning_target(from, ahead, 60.f), nullptr);
  GameObj *far_ahead = monster_at(102.f, 10.f, 140.f);
  GameObj *ahead_one = monster_at(101.f, 12.f, 125.f);
  monster_at(100.f, 10.f, 95.f);  // behind
  monster_at(115.f, 10.f, 108.f); // nearer, but 60 degrees to the side
  EXPECT_EQ(gameobj_api.pick_lightning_target(from, ahead, 60.f), ahead_one);
  EXPECT_EQ(gameobj_api.pick_lightning_target(from, ahead, 20.f), nullptr); // out of reach
  gameobj_api.delete_gameobj(ahead_one);
  EXPECT_EQ(gameobj_api.pick_lightning_target(from, ahead, 60.f), far_ahead);
  // Across the map's edge: a monster at z = 2 is 6 ahead of one at z = 252.
  const vec4f edge(50.f, 10.f, 252.f, 1.f);
  GameObj *over = monster_at(50.f, 10.f, 2.f);
  EXPECT_EQ(gameobj_api.pick_lightning_target(edge, ahead, 20.f), over);
  EXPECT_GT(gameobj_api.cast_lightning(edge, over->getPos(), over, 30.f), 0.f);
  EXPECT_EQ(gameobj_api.cast_lightning(edge, over->getPos(), nullptr, 30.f), 0.f);
}

TEST_F(SpellTest, SpellsLieOnANewIslandAndArePickedUpInFlight)
{
  auto owned = [] {
    int n = 0;
    for (int id : {17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 38, 41})
      n += gameobj_api.find_spell_in_grid(id) >= 0;
    return n;
  };
  const int before = owned();
  local_player->onWorldGenerated();
  ASSERT_EQ(SpellObject_list.size(), 5);
  // Flying through one puts its spell into the grid; it is gone from the island.
  GameObj *lying = SpellObject_list[0];
  local_player->setPos(lying->getPos() + vec4f(0.5f, 1.f, 0.f, 0.f));
  gameobj_api.update_gameobj(STEP);
  EXPECT_EQ(SpellObject_list.size(), 4);
  EXPECT_EQ(owned(), before + 1);
  // The others stay where they lie while the player is far away.
  local_player->setPos(vec4f(0.f, 50.f, 0.f, 1.f));
  run(1.f);
  EXPECT_EQ(SpellObject_list.size(), 4);
}
