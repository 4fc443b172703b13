// The island's game in the real module (bin/gameobj.dll) with the real wave rules
// (bin/gen/rules.nut) in a world script VM: waves, kills and the portal, monsters
// keeping apart, the castle's gatherers, and a hot swap in the middle of it all.
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>
#include "app/camera.h"
#include "app/game_modes.h"
#include "host_fixture.h"
#include "render/common_fx.h"
#include "render/device.h"
#include "script/game_script.h"
#include "script/world_script.h"
#include "world/heightmap.h"

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;
using HD = HeightmapData;

namespace
{
constexpr float STEP_DT = 0.05f;

// The rules as shipped, quicker and with one wave, and counters of what the script
// heard. "test_kill" events let the test hurt monsters through the rules' own door.
const char *const test_main = R"(
include("gen/rules.nut");
wave_rules.first_delay = 0.2;
wave_rules.waves = 1;
kills <- 0; cleared <- 0; castles <- 0; mana_seen <- 0;
function generate_world(name) { reset_rules(); }
function process_event(e) {
  if (typeof e != "table") return;
  if (e.type == "monster_killed") kills++;
  else if (e.type == "wave_cleared") cleared++;
  else if (e.type == "castle_built") castles++;
  else if (e.type == "test_kill") damage_monsters(e.x, e.y, e.z, e.r, 1000000);
  else if (e.type == "test_mana") mana_seen = player_stat("mana");
  else if (e.type == "test_drain") give_mana(-1000);
  rules_event(e);
}
function update_script(t) { rules_update(t); }
)";

std::string read_text(const fs::path &p)
{
  std::ifstream f(p);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class GameTest : public ModuleFixture
{
protected:
  void SetUp() override
  {
    ModuleFixture::SetUp();
    write(bin / "gen/rules.nut", read_text(fs::path(SOURCE_ROOT) / "bin/gen/rules.nut"));
    write(bin / "gen/main.nut", test_main);
    write(bin / "test/fx.nut", read_text(fs::path(SOURCE_ROOT) / "bin/test/fx.nut"));
    start(GAME_MODULE);
    open_game_scripts(); // the effects go nowhere (no renderer), but their script runs
    ASSERT_FALSE(has_error_message()) << get_error_message();
    generate_world("game");
    flat_land(2.f);
    cur_game_mode = play_mode;
  }
  void TearDown() override
  {
    cur_game_mode = nullptr;
    close_game_scripts();
    ModuleFixture::TearDown();
  }

  // Dry land at height h everywhere.
  static void flat_land(float h)
  {
    for (int i = 0; i < HMAP_SIZE * HMAP_SIZE; i++)
      HD::hmap[i] = HD::target_hmap[i] = h;
  }
  static void step(int n)
  {
    for (int i = 0; i < n; i++)
      gameobj_api.update_gameobj(STEP_DT);
  }
  static float script_num(const char *name)
  {
    float v = -1.f;
    EXPECT_TRUE(get_game_script_number(name, &v)) << name;
    return v;
  }
  static int monsters() { return WyvernMonster_list.size() + BirdMonster_list.size(); }
  static void kill_near(vec4f p, float r)
  {
    GameEventField f[] = {{"x", nullptr, p.x}, {"y", nullptr, p.y}, {"z", nullptr, p.z}, {"r", nullptr, r}};
    world_script_game_event("test_kill", f, 4);
  }
  // Runs until the rules start their first wave; its size from the log.
  int first_wave()
  {
    CaptureStdout();
    for (int i = 0; i < 40 && monsters() == 0; i++)
      step(1);
    const std::string log = GetCapturedStdout();
    int wave = 0, count = -1;
    const size_t at = log.find("wave ");
    if (at != std::string::npos)
      sscanf(log.c_str() + at, "wave %d: %d monsters", &wave, &count);
    EXPECT_EQ(wave, 1) << log;
    return count;
  }
};

TEST_F(GameTest, AWaveIsClearedWhenItsLastMonsterDiesAndThePortalOpens)
{
  local_player->setPos(vec4f(128.f, 60.f, 128.f, 1.f));
  // Before the first wave the rules count down to it (the HUD shows it).
  step(1);
  const float countdown = script_num("next_wave_in");
  EXPECT_GT(countdown, 0.f);
  EXPECT_LT(countdown, 0.2f);
  const int count = first_wave();
  ASSERT_GT(count, 1);
  EXPECT_EQ(monsters(), count);
  EXPECT_TRUE(gameobj_api.are_any_monsters_alive());
  EXPECT_EQ(script_num("wave_number"), 1.f);
  EXPECT_LT(script_num("next_wave_in"), 0.f) << "none is on its way while one is fought";
  step(5); // nothing more comes while the wave lives
  EXPECT_EQ(monsters(), count);

  // All but one die: the wave goes on.
  GameObj *last = WyvernMonster_list[0];
  for (DynArray<GameObj *> *list : {&WyvernMonster_list, &BirdMonster_list})
  {
    DynArray<GameObj *> all(*list);
    for (GameObj *o : all)
      if (o != last)
        kill_near(o->pos, 0.01f);
  }
  step(1);
  EXPECT_EQ(monsters(), 1);
  EXPECT_EQ(script_num("kills"), float(count - 1));
  EXPECT_EQ(script_num("cleared"), 0.f);
  EXPECT_TRUE(WorldPortal_list.empty());

  kill_near(last->pos, 1.f);
  step(1);
  EXPECT_EQ(monsters(), 0);
  EXPECT_FALSE(gameobj_api.are_any_monsters_alive());
  EXPECT_EQ(script_num("kills"), float(count));
  EXPECT_EQ(script_num("cleared"), 1.f);
  // One wave on this island: it is won, the portal is open and no wave follows.
  EXPECT_EQ(WorldPortal_list.size(), 1);
  step(100);
  EXPECT_EQ(monsters(), 0);
  EXPECT_EQ(WorldPortal_list.size(), 1);
}

TEST_F(GameTest, ThePortalTakesThePlayerToANewIsland)
{
  GameObj *player = local_player;
  player->setPos(vec4f(60.f, 30.f, 60.f, 1.f));
  gameobj_api.toggle_monster_spawn(); // off: only the portal matters here
  set_game_script_number("wave_number", 1.f); // the island's last wave
  world_script_game_event("wave_cleared", nullptr, 0);
  ASSERT_EQ(WorldPortal_list.size(), 1);
  const vec4f portal = WorldPortal_list[0]->pos;
  const uint64_t seed = last_world_seed;
  step(20); // standing off, nothing happens
  EXPECT_EQ(last_world_seed, seed);

  CaptureStdout();
  player->setPos(portal);
  step(2);
  const std::string log = GetCapturedStdout();
  EXPECT_NE(log.find("through the portal to the next island"), std::string::npos) << log;
  EXPECT_STREQ(last_world_name, "game");
  EXPECT_NE(last_world_seed, seed);
  EXPECT_EQ(local_player, player); // the same player goes on
  EXPECT_TRUE(WorldPortal_list.empty());
  EXPECT_EQ(script_num("wave_number"), 0.f);
}

TEST_F(GameTest, MonstersKeepApart)
{
  gameobj_api.toggle_monster_spawn();
  local_player->setPos(vec4f(128.f, 80.f, 20.f, 1.f)); // far from where they fly
  // A dozen wyverns appear at one point.
  for (int i = 0; i < 12; i++)
    gameobj_api.spawn_monster();
  ASSERT_EQ(WyvernMonster_list.size(), 12);
  step(80);
  float nearest = 1e9f;
  for (int i = 0; i < WyvernMonster_list.size(); i++)
    for (int j = i + 1; j < WyvernMonster_list.size(); j++)
    {
      vec4f d = WyvernMonster_list[i]->pos - WyvernMonster_list[j]->pos;
      d.x -= 256.f * std::round(d.x / 256.f);
      d.z -= 256.f * std::round(d.z / 256.f);
      nearest = std::fmin(nearest, length3(d));
    }
  EXPECT_GT(nearest, 2.f);
  // They are in the proximity grid, each where its position says.
  for (GameObj *o : WyvernMonster_list)
  {
    ASSERT_GE(o->proximity_bin, 0);
    EXPECT_GE(proximity[o->proximity_bin].find(o), 0);
  }
  gameobj_api.remove_all_monsters();
  EXPECT_EQ(monsters(), 0);
}

// The effects of what the frame cannot see are left out: a mana ball behind the camera
// spawns nothing, a missile's trail out of sight owes its particles and fills them in
// once seen, and a blast is spawned wherever it is.
namespace
{
int particles_spawned;
void count_particle(vec4f, vec4f, vec4f, float, float, float, D3dColor, float, float, float, float, float,
                    const ColorRamp *, const FloatRamp *, const FloatRamp *)
{
  particles_spawned++;
}

// The play view from at, facing +z (forward) or -z.
void look_from(vec4f at, bool forward)
{
  const float f = forward ? 1.f : -1.f;
  Matrix44 cam;
  cam.setRow(0, vec4f(f, 0.f, 0.f, 0.f));
  cam.setRow(1, vec4f(0.f, 1.f, 0.f, 0.f));
  cam.setRow(2, vec4f(0.f, 0.f, f, 0.f));
  cam.setRow(3, at);
  Matrix44 view;
  ASSERT_TRUE(inverse44(cam, view));
  set_view_tm(view);
  set_proj_tm(calc_projection(1.f, 16.f / 9.f));
}
} // namespace

TEST_F(GameTest, EffectsOutOfSightAreLeftOut)
{
  reset_common_fx(); // the trails' slots (their drawing needs no renderer)
  fx_script_hooks.add_blend_particle = fx_script_hooks.add_glow_particle = count_particle;
  const vec4f eye(128.f, 12.f, 100.f, 1.f), ahead(128.f, 3.f, 130.f, 1.f);
  gameobj_api.new_gameobj_by_id(39)->setPos(ahead); // a mana ball
  auto spawned = [](int steps) {
    particles_spawned = 0;
    step(steps);
    return particles_spawned;
  };
  look_from(eye, true);
  EXPECT_GT(spawned(10), 20);
  look_from(eye, false);
  EXPECT_EQ(spawned(10), 0);

  // A fireball's trail flying away behind the camera, then seen again.
  const vec4f vel(0.f, 0.f, 22.f, 0.f);
  particles_spawned = 0;
  int trail = gameobj_api.spawn_fireball_fx(-1, ahead, vel, STEP_DT);
  for (int i = 0; i < 9; i++)
    trail = gameobj_api.spawn_fireball_fx(trail, ahead + vel * (float(i) * STEP_DT), vel, STEP_DT);
  EXPECT_EQ(particles_spawned, 0);
  ASSERT_GE(trail, 0);
  look_from(eye, true);
  step(1);
  particles_spawned = 0;
  gameobj_api.spawn_fireball_fx(trail, ahead + vel * 0.5f, vel, STEP_DT);
  const int caught_up = particles_spawned;
  particles_spawned = 0;
  gameobj_api.spawn_fireball_fx(trail, ahead + vel * 0.55f, vel, STEP_DT);
  EXPECT_GT(caught_up, 4 * particles_spawned) << "half a second of trail at once";
  EXPECT_GT(particles_spawned, 0);

  // The player's fireball bursting behind the camera.
  look_from(eye, false);
  step(1);
  particles_spawned = 0;
  gameobj_api.fireball_explode_fx(-1, ahead, vec4f(0.f, 1.f, 0.f, 0.f));
  EXPECT_GT(particles_spawned, 50);

  set_view_tm(Matrix44{});
  set_proj_tm(Matrix44{});
  fx_script_hooks = FxScriptHooks{};
  reset_common_fx();
}

TEST_F(GameTest, GatherersBringManaToThePlayerNearTheCastle)
{
  gameobj_api.toggle_monster_spawn();
  local_player->setPos(vec4f(20.f, 40.f, 20.f, 1.f)); // far away
  GameObj *castle = gameobj_api.new_gameobj_by_id(36);
  castle->setPos(vec4f(128.f, 2.f, 128.f, 1.f));
  vec4f balls[6];
  for (int i = 0; i < 6; i++)
  {
    balls[i] = vec4f(128.f + 12.f * std::cos(i * 1.f), 2.7f, 128.f + 12.f * std::sin(i * 1.f), 1.f);
    gameobj_api.new_gameobj_by_id(39)->setPos(balls[i]);
  }
  // The player has spent his mana.
  world_script_game_event("test_drain", nullptr, 0);
  world_script_game_event("test_mana", nullptr, 0);
  ASSERT_EQ(script_num("mana_seen"), 0.f);
  step(1);
  EXPECT_EQ(script_num("castles"), 1.f);

  step(400); // 20 s: the gatherers go out and bring balls home
  EXPECT_EQ(ManaGatherer_list.size(), 4);
  // New balls appear over the island, but those that lay near the castle are gone.
  for (const vec4f &b : balls)
    for (GameObj *o : ManaBall_list)
      EXPECT_GT(std::hypot(o->pos.x - b.x, o->pos.z - b.z), 0.3f) << b.x << "," << b.z;
  // The player is too far for the castle's mana: he has only what he regains himself
  // (at most 3 a second).
  world_script_game_event("test_mana", nullptr, 0);
  EXPECT_LE(script_num("mana_seen"), 20.f * 3.f + 0.5f);

  // Near the castle its store flows to him, far faster than he regains it.
  world_script_game_event("test_drain", nullptr, 0);
  local_player->setPos(vec4f(135.f, 20.f, 128.f, 1.f));
  step(20);
  world_script_game_event("test_mana", nullptr, 0);
  EXPECT_GT(script_num("mana_seen"), 9.f + 3.f);
}
// Every object's count per class list, in the host's order.
std::vector<int> list_counts()
{
  std::vector<int> n;
#define GAME_TEST_COUNT(cls) n.push_back(cls##_list.size());
  GAMEOBJ_LISTS(GAME_TEST_COUNT)
#undef GAME_TEST_COUNT
  return n;
}

TEST_F(GameTest, AHotSwapInPlayKeepsTheGameGoing)
{
  local_player->setPos(vec4f(128.f, 60.f, 128.f, 1.f));
  gameobj_api.new_gameobj_by_id(36)->setPos(vec4f(100.f, 2.f, 100.f, 1.f));
  const int count = first_wave();
  ASSERT_GT(count, 0);
  step(60);
  const std::vector<int> before = list_counts();
  EXPECT_GT(before[34], 0); // gatherers are out
  const vec4f was = WyvernMonster_list[0]->pos;

  CaptureStdout();
  cur_game_mode = nullptr; // (the play mode's interface would want a device)
  ASSERT_TRUE(reload_gameobj(true));
  rebind_gameobj_scripts();
  cur_game_mode = play_mode;
  GetCapturedStdout();
  EXPECT_FALSE(has_error_message()) << get_error_message();
  EXPECT_EQ(list_counts(), before);
  EXPECT_EQ(script_num("wave_number"), 1.f); // the rules' state outlives the module

  // The creatures fly on with the new code, and the rules still reach the module.
  step(1);
  EXPECT_GT(length3(WyvernMonster_list[0]->pos - was), 0.1f);
  for (DynArray<GameObj *> *list : {&WyvernMonster_list, &BirdMonster_list})
  {
    DynArray<GameObj *> all(*list);
    for (GameObj *o : all)
      kill_near(o->pos, 0.01f);
  }
  step(1);
  EXPECT_EQ(monsters(), 0);
  EXPECT_EQ(script_num("cleared"), 1.f);
  EXPECT_EQ(WorldPortal_list.size(), 1);
}
} // namespace
