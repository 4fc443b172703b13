// A whole island played through the player's own controls, on an island the shipped
// world scripts generate and with their wave rules: a simple pilot looks at the nearest
// monster and holds the left mouse button (the starting fireball, with real mana and
// cooldowns), keeps its distance, and once the portal opens flies into it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include "app/camera.h"
#include "app/game_modes.h"
#include "app/input.h"
#include "core/globals.h"
#include "host_fixture.h"
#include "script/game_script.h"
#include "script/world_script.h"
#include "world/heightmap.h"

namespace
{
constexpr float STEP_DT = 0.05f;
constexpr float FLY_SPEED = 8.f; // the play mode's, twice that when dashing
constexpr int FIREBALL_SPELL = 17, HILL_SPELL = 22, WATERBALL_SPELL = 18, PIT_SPELL = 23;

float wrap_d(float d) { return d - 256.f * std::round(d / 256.f); }
vec4f offset_to(vec4f from, vec4f to) { return vec4f(wrap_d(to.x - from.x), to.y - from.y, wrap_d(to.z - from.z), 0.f); }

// The view from eye along dir, laid out as the play camera's matrix (right, up, forward,
// position).
Matrix44 look_along(vec4f eye, vec4f dir)
{
  dir.w = 0.f;
  dir = normalize3(dir);
  vec4f right = cross3(vec4f(0.f, 1.f, 0.f, 0.f), dir);
  right = length3(right) > 1e-4f ? normalize3(right) : vec4f(1.f, 0.f, 0.f, 0.f);
  Matrix44 m;
  m.setRow(0, right);
  m.setRow(1, cross3(dir, right));
  m.setRow(2, dir);
  m.setRow(3, vec4f(eye.x, eye.y, eye.z, 1.f));
  return m;
}

GameObj *nearest_monster(vec4f at)
{
  GameObj *best = nullptr;
  float best_d = 1e9f;
  for (DynArray<GameObj *> *list : {&WyvernMonster_list, &BirdMonster_list})
    for (GameObj *o : *list)
    {
      const float d = length3(offset_to(at, o->pos));
      if (!o->isDestroyed() && d < best_d)
        best = o, best_d = d;
    }
  return best;
}

// One update of the pilot: where it looks, how it moves and whether it holds the button.
struct PilotInput
{
  vec4f look = vec4f(0.f, -0.3f, 1.f, 0.f);
  vec4f move = vec4f(0.f);
  bool fire = false;
};

PilotInput pilot(vec4f eye)
{
  PilotInput in;
  if (!WorldPortal_list.empty())
  {
    // Straight for the portal, dashing.
    in.look = offset_to(eye, WorldPortal_list[0]->pos);
    in.move = normalize3(in.look) * (2.f * FLY_SPEED * STEP_DT);
  }
  else if (GameObj *m = nearest_monster(eye))
  {
    // Closer than 30 on the ground, not within 12, a little under it; fire within 60.
    const vec4f to = offset_to(eye, m->pos);
    const float flat = std::sqrt(to.x * to.x + to.z * to.z);
    const vec4f ahead = vec4f(to.x, 0.f, to.z, 0.f) * (1.f / std::fmax(flat, 1e-3f));
    in.look = to;
    if (flat > 30.f)
      in.move = ahead * (2.f * FLY_SPEED * STEP_DT);
    else if (flat < 12.f)
      in.move = ahead * (-FLY_SPEED * STEP_DT);
    in.move.y = std::clamp(m->pos.y - 4.f - eye.y, -1.f, 1.f) * FLY_SPEED * STEP_DT;
    in.fire = length3(to) < 60.f;
  }
  return in;
}

class IslandRunTest : public ModuleFixture
{
protected:
  GameObjPlayerVitalsFn vitals = nullptr;

  void SetUp() override
  {
    ModuleFixture::SetUp();
    fs::create_directories(bin / "gen");
    for (const char *f : {"main.nut", "paint.nut", "rules.nut", "settle.nut", "terrain.nut", "util.nut"})
      fs::copy_file(fs::path(SOURCE_ROOT) / "bin/gen" / f, bin / "gen" / f);
    fs::create_directories(bin / "test");
    fs::copy_file(fs::path(SOURCE_ROOT) / "bin/test/fx.nut", bin / "test/fx.nut");
    start(GAME_MODULE);
    vitals = (GameObjPlayerVitalsFn)module_func("get_player_vitals");
    ASSERT_NE(vitals, nullptr);
    open_game_scripts();
    ASSERT_FALSE(has_error_message()) << get_error_message();
    game_rnd_seed = 11;
    generate_world("game");
    cur_game_mode = play_mode;
    isAppActive = true;
  }
  void TearDown() override
  {
    clear_keys_held();
    clear_input();
    cur_view_itm = Matrix44{};
    cur_game_mode = nullptr;
    close_game_scripts();
    ModuleFixture::TearDown();
  }

  static float rules_number(const char *name)
  {
    float v = -1.f;
    EXPECT_TRUE(get_game_script_number(name, &v)) << name;
    return v;
  }

  // The player stands over the dry land of the island, flying.
  static void expect_over_land(vec4f p)
  {
    const int x = int(p.x), z = int(p.z);
    EXPECT_GT(HeightmapData::height(x, z), 0.5f) << p.x << "," << p.z;
    EXPECT_LT(HeightmapData::waterAt(x, z).depth, 0.05f) << p.x << "," << p.z;
    EXPECT_GT(p.y, gameobj_api.get_land_height(p.x, p.z) + 5.f);
  }
};
} // namespace

// The starting spells beat every wave of the island within a few minutes, without the
// player falling; the portal then takes him to a new island with his spells.
TEST_F(IslandRunTest, StartingSpellsClearTheIslandAndThePortalLeadsOn)
{
  GameObj *player = local_player;
  expect_over_land(player->getPos());
  const uint64_t seed = last_world_seed;
  float v[4] = {};
  float lowest_health = 1e9f, won_at = -1.f;
  int step = 0;
  const int limit = int(360.f / STEP_DT); // six minutes of play
  for (; step < limit && last_world_seed == seed; step++)
  {
    const PilotInput in = pilot(player->getPos());
    cur_view_itm = look_along(player->getPos(), in.look);
    player->move(STEP_DT, FLY_SPEED * STEP_DT, in.move, cur_view_itm, 0);
    cur_view_itm = look_along(player->getPos(), in.look);
    set_key_held(VK_LBUTTON, in.fire);
    gameobj_api.update_gameobj(STEP_DT);
    clear_input();
    ASSERT_TRUE(vitals(v));
    lowest_health = std::fmin(lowest_health, v[0]);
    if (won_at < 0.f && !WorldPortal_list.empty())
      won_at = float(step) * STEP_DT;
  }
  set_key_held(VK_LBUTTON, false);
  printf("island won after %.0f s, lowest health %.0f\n", won_at, lowest_health);
  ASSERT_GT(won_at, 0.f) << "wave " << rules_number("wave_number") << ", monsters left "
                         << WyvernMonster_list.size() + BirdMonster_list.size();
  EXPECT_GT(lowest_health, 25.f) << "a new player, who aims worse, would fall";
  ASSERT_NE(last_world_seed, seed) << "the portal did not take the player on";

  // A new island: its first wave to come, the same player with his spells over its land.
  EXPECT_STREQ(last_world_name, "game");
  EXPECT_EQ(local_player, player);
  EXPECT_TRUE(WorldPortal_list.empty());
  EXPECT_EQ(WyvernMonster_list.size() + BirdMonster_list.size(), 0);
  EXPECT_EQ(rules_number("wave_number"), 0.f);
  for (int cls : {FIREBALL_SPELL, HILL_SPELL, WATERBALL_SPELL, PIT_SPELL})
    EXPECT_GE(gameobj_api.find_spell_in_grid(cls), 0) << cls;
  expect_over_land(player->getPos());
  EXPECT_FALSE(has_error_message()) << get_error_message(); // the rules and the effects ran clean
}
