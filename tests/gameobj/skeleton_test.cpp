// The module built from compiler/*.ls (bin/gameobj.dll) in the test host, and the real
// build script rebuilding it from an edited copy of its sources.
#include <cmath>
#include "app/input.h"
#include "core/log.h"
#include "host_fixture.h"
#include "render/common_fx.h"
#include "script/fx_script.h"
#include "ui/gui_behaviors.h"
#include "ui/gui_screen.h"

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace
{
class SkeletonTest : public ModuleFixture
{};

TEST_F(SkeletonTest, PlayerAndObjectLifeCycle)
{
  start(SKELETON_MODULE);
  gameobj_api.init_gameobj();
  GameObj *p = gameobj_api.get_local_player();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p, local_player);
  EXPECT_STREQ(p->getClassName(), "Player");
  EXPECT_EQ(GameObj_list.find(p), 0);
  EXPECT_EQ(Player_list.find(p), 0);

  p->setPos(vec4f(10.f, 5.f, 20.f, 1.f));
  Matrix44 cam{};
  p->move(0.05f, 0.4f, vec4f(0.4f, 0.f, -30.f, 0.f), cam, 0);
  vec4f q = p->getPos();
  EXPECT_FLOAT_EQ(q.x, 10.4f);
  EXPECT_FLOAT_EQ(q.z, 246.f); // wrapped into [0, 256)
  p->move(0.05f, 10.f, vec4f(0.f, -10.f, 0.f, 0.f), cam, 0);
  EXPECT_FLOAT_EQ(p->getPos().y, 1.5f); // flat land without a world: stays above 0

  GameObj *s = gameobj_api.new_gameobj_by_id(17); // a FireballSpell
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->getClassName(), "FireballSpell");
  EXPECT_GE(GameObj_list.find(s), 0);
  EXPECT_GE(Spell_list.find(s), 0);
  EXPECT_GE(FireballSpell_list.find(s), 0);
  EXPECT_EQ(gameobj_api.new_gameobj_by_id(99), nullptr);

  gameobj_api.delete_gameobj(s);
  EXPECT_LT(GameObj_list.find(s), 0);
  EXPECT_LT(Spell_list.find(s), 0);
  EXPECT_EQ(deleted_gameobjs.size(), 1);
  gameobj_api.update_gameobj(0.05f);
  EXPECT_EQ(deleted_gameobjs.size(), 0);

  // A new world keeps the player and nothing else.
  gameobj_api.new_gameobj_by_id(31);
  gameobj_api.remove_all_gameobj();
  ASSERT_EQ(GameObj_list.size(), 1);
  EXPECT_EQ(GameObj_list[0], p);

  // A forced reload re-points the player at the new Player code; the old module really
  // went away (nothing in it keeps it resident).
  CaptureStdout();
  EXPECT_TRUE(reload_gameobj(true));
  std::string log = GetCapturedStdout();
  EXPECT_EQ(log.find("still loaded"), std::string::npos) << log;
  EXPECT_STREQ(local_player->getClassName(), "Player");
  EXPECT_EQ(gameobj_api.get_local_player(), p);

  gameobj_api.close_gameobj();
  EXPECT_EQ(local_player, nullptr);
  EXPECT_EQ(GameObj_list.size(), 0);
  EXPECT_EQ(Player_list.size(), 0);
}

TEST_F(SkeletonTest, EveryClassHasItsOwnTable)
{
  start(SKELETON_MODULE);
  for (int i = 1; i < GAMEOBJ_CLASS_COUNT; i++)
    for (int j = i + 1; j < GAMEOBJ_CLASS_COUNT; j++)
      ASSERT_NE(gameobj_class_table(i), gameobj_class_table(j)) << i << " " << j;
  for (int id = 1; id <= 44; id++)
  {
    GameObj *o = gameobj_api.new_gameobj_by_id(id);
    ASSERT_NE(o, nullptr) << id;
    EXPECT_EQ(class_index(o), id);
  }
  EXPECT_TRUE(reload_gameobj(true));
  for (int i = 0; i < 44; i++)
    EXPECT_EQ(class_index(GameObj_list[i]), i + 1);
}

// The menus answer the keyboard: Return chooses only once a button has the focus; Down
// gives it to "New game", which closes the main menu; Escape resumes from the game menu.
TEST_F(SkeletonTest, MenusCloseOnlyWhenAButtonIsChosen)
{
  start(SKELETON_MODULE);
  GuiHooks h;
  h.get_event = getEvent;
  h.key_held = getKeyState;
  h.mouse_pos = getMousePos;
  gui_hooks = h;
  auto key = [](int vk) {
    post_input_event(IEV_KEY_DOWN, vk, 0, 0, 0.f, 0.f);
    post_input_event(IEV_KEY_UP, vk, 0, 0, 0.f, 0.f);
  };

  should_close_game_menu = true;
  gameobj_api.open_main_menu();
  EXPECT_FALSE(should_close_game_menu);
  gameobj_api.update_game_menu(0.05f); // no input
  EXPECT_FALSE(should_close_game_menu);
  key(VK_RETURN); // nothing chosen yet
  gameobj_api.update_game_menu(0.05f);
  EXPECT_FALSE(should_close_game_menu);
  clear_input();

  key(VK_DOWN);
  key(VK_RETURN);
  gameobj_api.update_game_menu(0.05f);
  EXPECT_TRUE(should_close_game_menu);
  clear_input();

  gameobj_api.open_game_menu(nullptr);
  EXPECT_FALSE(should_close_game_menu);
  key(VK_ESCAPE);
  gameobj_api.update_game_menu(0.05f);
  EXPECT_TRUE(should_close_game_menu);
  clear_input();
  gameobj_api.close_game_menu(nullptr);
  EXPECT_FALSE(gameobj_api.update_spells_ui_mouse()); // no Ctrl: the camera has the mouse
  gui_hooks = GuiHooks();
}

// The module's effect entries: ribbons behind missiles, freed after their impact, bolts
// for lightning and the effects script's particles.
TEST_F(SkeletonTest, EffectEntriesDriveTrailsBoltsAndParticles)
{
  fs::create_directories(bin / "test");
  fs::copy_file(fs::path(SOURCE_ROOT) / "bin/test/fx.nut", bin / "test/fx.nut");
  reset_common_fx();
  FxScriptHooks hooks;
  hooks.add_blend_particle = add_blend_particle;
  hooks.add_glow_particle = add_glow_particle;
  hooks.add_lightning_fx = add_lightning_fx;
  hooks.reset_common_fx = reset_common_fx;
  fx_script_hooks = hooks;
  init_fx_script();
  start(SKELETON_MODULE);
  gameobj_api.init_gameobj();

  const vec4f vel(20.f, 0.f, 0.f, 0.f);
  int trail = gameobj_api.spawn_fireball_fx(-1, vec4f(10.f, 20.f, 10.f, 1.f), vel, 0.05f);
  ASSERT_GE(trail, 0);
  for (int i = 1; i <= 5; i++)
  {
    update_common_fx(0.05f);
    EXPECT_EQ(gameobj_api.spawn_fireball_fx(trail, vec4f(10.f + float(i), 20.f, 10.f, 1.f), vel, 0.05f), trail);
  }
  EXPECT_EQ(fx_trails[trail].count, 6);
  EXPECT_GT(fx_glow_pool.alive, 0);  // fire
  EXPECT_GT(fx_blend_pool.alive, 0); // smoke
  int meteor = gameobj_api.spawn_meteor_fx(-1, vec4f(50.f, 60.f, 50.f, 1.f), vec4f(0.f, -30.f, 5.f, 0.f), 0.05f);
  EXPECT_NE(meteor, trail);

  gameobj_api.fireball_explode_fx(trail, vec4f(16.f, 20.f, 10.f, 1.f), vec4f(0.f, 1.f, 0.f, 0.f));
  EXPECT_TRUE(fx_trails[trail].stopping);
  // The stopped ribbon shrinks away and its slot comes free; the meteor's runs on.
  for (int i = 0; i < TRAIL_POINTS + 1; i++)
  {
    update_common_fx(0.05f);
    gameobj_api.update_gameobj(0.05f);
  }
  EXPECT_FALSE(fx_trails[trail].inUse);
  EXPECT_TRUE(fx_trails[meteor].inUse);

  gameobj_api.lightning_hit_fx(vec4f(0.f, 80.f, 0.f, 1.f), vec4f(250.f, 2.f, 3.f, 1.f));
  ASSERT_EQ(fx_bolts.size(), 2);
  vec4f end = fx_bolts[0].points.back().pos;
  EXPECT_NEAR(end.x, -6.f, 1e-3f); // the target is taken next to the start
  EXPECT_NEAR(end.y, 2.f, 1e-3f);

  gameobj_api.wyvern_death_fx(vec4f(5.f, 30.f, 5.f, 1.f), vel);
  gameobj_api.spawn_water_source_fx(vec4f(5.f, 1.f, 5.f, 1.f), 0.05f);
  gameobj_api.spawn_water_sink_fx(vec4f(5.f, 1.f, 5.f, 1.f), 0.05f);
  gameobj_api.spawn_spellobj_fx(vec4f(5.f, 1.f, 5.f, 1.f), 0.05f);
  EXPECT_EQ(gameobj_api.spawn_waterball_missile_fx(-1, vec4f(1.f), vel, 0.05f) >= 0, true);
  EXPECT_EQ(gameobj_api.spawn_magic_missile_fx(-1, vec4f(1.f), vel, 0.05f) >= 0, true);
  gameobj_api.meteor_explode_fx(meteor, vec4f(50.f, 0.f, 50.f, 1.f), vec4f(0.f, 1.f, 0.f, 0.f));
  EXPECT_FALSE(has_error_message()) << get_error_message();

  // A new world frees every trail with the particles; the module forgets its own.
  gameobj_api.remove_all_gameobj();
  reset_common_fx();
  gameobj_api.update_gameobj(0.05f);
  EXPECT_EQ(add_trail_fx(vec4f(0.f), vec4f(0.f), vec4f(0.f), 1.f, D3dColor(0u)), 0);

  close_fx_script();
  fx_script_hooks = {};
  reset_common_fx();
}

// Edits a copy of the module's sources while "running": a compile error shows the
// compiler's lines and leaves the old module; the fixed source is built and swapped in.
TEST_F(SkeletonTest, EditedSourcesAreRebuiltAndSwappedIn)
{
  fs::copy(fs::path(SOURCE_ROOT) / "compiler", src, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  setenv("ZARNITH_SOURCE_ROOT", SOURCE_ROOT, 1);
  setenv("GAMEOBJ_CXXFLAGS", "-O0", 1);
  start(SKELETON_MODULE);
  gameobj_api.init_gameobj();
  GameObj *p = local_player;
  // main.ls imports every other source of the module, directly or through others.
  int sources = 0;
  for (const fs::directory_entry &e : fs::recursive_directory_iterator(src))
    sources += e.is_regular_file() && e.path().extension() == ".ls";
  ASSERT_EQ(gameobj_watched_source_count(), sources);
  EXPECT_FALSE(gameobj_api.are_any_monsters_alive());

  std::ifstream in(src / "monsters/monster.ls");
  std::string world((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string before = "bool are_any_monsters_alive() { return living_monsters() > 0; }";
  ASSERT_NE(world.find(before), std::string::npos);

  std::string broken = world;
  broken.replace(broken.find(before), before.size(), "bool are_any_monsters_alive() { return nothing; }");
  write(src / "monsters/monster.ls", broken);
  CaptureStdout();
  EXPECT_FALSE(reload_until_built());
  std::string log = GetCapturedStdout();
  std::string strip = has_error_message() ? get_error_message() : "";
  EXPECT_NE(strip.find((src / "monsters/monster.ls").string() + ":"), std::string::npos) << strip;
  EXPECT_NE(strip.find(": error: "), std::string::npos) << strip;
  EXPECT_NE(strip.find("gameobj rebuild failed!!!"), std::string::npos) << strip;
  EXPECT_NE(log.find("!!! failed to rebuild gameobj DLL (code 1)"), std::string::npos) << log;
  EXPECT_FALSE(gameobj_api.are_any_monsters_alive()); // the old module runs on

  std::string fixed = world;
  fixed.replace(fixed.find(before), before.size(), "bool are_any_monsters_alive() { return true; }");
  write(src / "monsters/monster.ls", fixed);
  CaptureStdout();
  EXPECT_TRUE(reload_until_built());
  log = GetCapturedStdout();
  EXPECT_NE(log.find("=== DLL rebuild done in "), std::string::npos) << log;
  EXPECT_NE(log.find("gameobj reload ok"), std::string::npos) << log;
  EXPECT_FALSE(has_error_message());
  EXPECT_TRUE(gameobj_api.are_any_monsters_alive());
  EXPECT_EQ(local_player, p);
  EXPECT_STREQ(p->getClassName(), "Player");

  unsetenv("ZARNITH_SOURCE_ROOT");
  unsetenv("GAMEOBJ_CXXFLAGS");
}
} // namespace
