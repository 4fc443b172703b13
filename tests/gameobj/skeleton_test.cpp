// The module built from compiler/*.ls (bin/gameobj.dll) in the test host, and the real
// build script rebuilding it from an edited copy of its sources.
#include <cmath>
#include "app/input.h"
#include "core/log.h"
#include "host_fixture.h"

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace
{
class SkeletonTest : public HostFixture
{
protected:
  void TearDown() override
  {
    if (gameobj_api.close_gameobj)
      gameobj_api.close_gameobj();
    set_error_message(nullptr);
    HostFixture::TearDown();
  }
};

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

TEST_F(SkeletonTest, MenusCloseOnlyWhenConfirmed)
{
  start(SKELETON_MODULE);
  should_close_game_menu = true;
  gameobj_api.open_main_menu();
  EXPECT_FALSE(should_close_game_menu);
  gameobj_api.update_game_menu(0.05f); // no Enter, no click
  EXPECT_FALSE(should_close_game_menu);
  EXPECT_FALSE(gameobj_api.update_spells_ui_mouse());

  post_input_event(IEV_KEY_DOWN, VK_RETURN, 0, 0, 0.f, 0.f);
  gameobj_api.update_game_menu(0.05f);
  EXPECT_TRUE(should_close_game_menu);
  clear_input();

  gameobj_api.open_main_menu();
  EXPECT_FALSE(should_close_game_menu);
  post_input_event(IEV_MOUSE_DOWN, VK_LBUTTON, 0, 0, 10.f, 10.f);
  gameobj_api.update_game_menu(0.05f);
  EXPECT_TRUE(should_close_game_menu);
  clear_input();

  // Once closed, input no longer closes anything.
  should_close_game_menu = false;
  post_input_event(IEV_KEY_DOWN, VK_RETURN, 0, 0, 0.f, 0.f);
  gameobj_api.update_game_menu(0.05f);
  EXPECT_FALSE(should_close_game_menu);
  clear_input();
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
  ASSERT_EQ(gameobj_watched_source_count(), 9); // main.ls and its 8 imports
  EXPECT_FALSE(gameobj_api.are_any_monsters_alive());

  std::ifstream in(src / "game/world.ls");
  std::string world((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string before = "bool are_any_monsters_alive() { return false; }";
  ASSERT_NE(world.find(before), std::string::npos);

  std::string broken = world;
  broken.replace(broken.find(before), before.size(), "bool are_any_monsters_alive() { return nothing; }");
  write(src / "game/world.ls", broken);
  CaptureStdout();
  EXPECT_FALSE(reload_until_built());
  std::string log = GetCapturedStdout();
  std::string strip = has_error_message() ? get_error_message() : "";
  EXPECT_NE(strip.find((src / "game/world.ls").string() + ":"), std::string::npos) << strip;
  EXPECT_NE(strip.find(": error: "), std::string::npos) << strip;
  EXPECT_NE(strip.find("gameobj rebuild failed!!!"), std::string::npos) << strip;
  EXPECT_NE(log.find("!!! failed to rebuild gameobj DLL (code 1)"), std::string::npos) << log;
  EXPECT_FALSE(gameobj_api.are_any_monsters_alive()); // the old module runs on

  std::string fixed = world;
  fixed.replace(fixed.find(before), before.size(), "bool are_any_monsters_alive() { return true; }");
  write(src / "game/world.ls", fixed);
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
