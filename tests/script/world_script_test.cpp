#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>
#include "core/globals.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/splash.h"
#include "script/sq_budget.h"
#include "script/world_hooks.h"
#include "script/world_script.h"
#include "world/heightmap.h"

namespace fs = std::filesystem;
using Hm = HeightmapData;

// The order in which generation reaches the other subsystems.
static std::vector<std::string> calls;

struct WorldScriptFixture : ::testing::Test
{
  fs::path dir;
  int stamp = 1000;

  void SetUp() override
  {
    dir = fs::temp_directory_path() / ("zworld_" + std::to_string(getpid()));
    fs::create_directories(dir / "gen");
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    calls.clear();
    WorldHooks h;
    h.bind_gameobj = [](HSQUIRRELVM) { calls.push_back("bind"); };
    h.remove_all_gameobj = [] { calls.push_back("remove"); };
    h.local_player_world_removed = [] { calls.push_back("removed"); };
    h.local_player_world_generated = [] { calls.push_back("generated"); };
    h.reset_common_fx = [] { calls.push_back("fx"); };
    h.refresh_terrain = [] { calls.push_back("terrain"); };
    world_hooks = h;
    splash_hooks.show = [](const char *text, float) { calls.push_back(text); };
    set_error_message(nullptr);
  }
  void TearDown() override
  {
    close_world_script();
    world_hooks = {};
    splash_hooks = {};
    set_error_message(nullptr);
    fs::remove_all(dir);
    app_path[0] = 0;
  }
  // Writes a file with a distinct modification time (the clock has 1 s granularity).
  void write(const char *name, const std::string &text)
  {
    std::ofstream(dir / name) << text;
    fs::last_write_time(dir / name, fs::file_time_type::clock::now() + std::chrono::seconds(stamp++));
  }
  std::string message() { return has_error_message() ? get_error_message() : ""; }
};

static const char *simple_world = "generations <- 0;\n"
                                  "function generate_world(name) {\n"
                                  "  generations++;\n"
                                  "  last_name <- name;\n"
                                  "  add_simplex_noise(0, 10, 4, 3, 0.5);\n"
                                  "  HmapMask(1.0);\n"
                                  "  apply_water_mask(HmapMask(0.25), null);\n"
                                  "}\n"
                                  "function process_event(e) { last_event <- e; }\n";

TEST_F(WorldScriptFixture, GenerationFlowAndHooks)
{
  write("gen/main.nut", simple_world);
  init_world_script();
  ASSERT_EQ(message(), "");
  EXPECT_EQ(calls, std::vector<std::string>{"bind"});
  calls.clear();

  Hm::surface[5].bits = 0xFF000000u; // reset clears it
  Hm::target_hmap[9] = 123.f;
  generate_world("main_menu");
  EXPECT_EQ(message(), "");
  EXPECT_EQ(calls,
            (std::vector<std::string>{"Generating new world...", "remove", "removed", "fx", "terrain", "generated"}));
  EXPECT_STREQ(sqbind::getGlobal<const char *>(get_world_script_vm(), "last_name"), "main_menu");
  EXPECT_EQ(Hm::surface[5].marks(), 0u);
  EXPECT_EQ(memcmp(Hm::target_hmap, Hm::hmap, sizeof(Hm::hmap)), 0);
  EXPECT_EQ(Hm::tmpw[7][7].depth, 0.25f);
  EXPECT_GE(last_world_gen_ms, 0);
}

TEST_F(WorldScriptFixture, SameSeedSameGrids)
{
  write("gen/main.nut",
        "function generate_world(name) { set_rnd_seed(4711); reseed_noise();"
        "  add_fast_noise(0, 5, null, GT_NONE, 255, 0.5); add_voronoi_hills(4, 1, 3, 0.7);"
        "  gen_droplet_erosion(500, null); recolor_by_height(ColorRamp.linear(0, 0xFFFFFFFF), null); }");
  init_world_script();
  game_rnd_seed = 1;
  generate_world("game");
  std::vector<float> h(Hm::hmap, Hm::hmap + HMAP_CELLS);
  std::vector<Hm::Surface> s(Hm::surface, Hm::surface + HMAP_CELLS);
  game_rnd_seed = 2; // the script sets its own seed
  generate_world("game");
  EXPECT_EQ(memcmp(h.data(), Hm::hmap, sizeof(Hm::hmap)), 0);
  EXPECT_EQ(memcmp(s.data(), Hm::surface, sizeof(Hm::surface)), 0);
  EXPECT_EQ(message(), "");
}

TEST_F(WorldScriptFixture, ErrorsShowAndKeepWhatWasBuilt)
{
  write("gen/main.nut", "function generate_world(name) { add_simplex_noise(2, 2, 1, 1, 0.5);"
                        "  apply_height_mask(null, null); }");
  init_world_script();
  calls.clear();
  generate_world("game");
  EXPECT_EQ(message(), "Error in world gen script:\nno mask and no func in apply_height_mask()");
  EXPECT_EQ(Hm::hmap[100], 2.f);                                            // what the script built stays
  EXPECT_EQ(Hm::target_hmap[100], 0.f);                                     // cleared by the reset, not copied
  EXPECT_EQ(std::find(calls.begin(), calls.end(), "terrain"), calls.end()); // steps 8-12 skipped

  close_world_script();
  write("gen/main.nut", "x <- 1;");
  init_world_script();
  generate_world("game");
  EXPECT_EQ(message(), "Error in world gen script:\nNo 'generate_world' function in script");
  world_script_str_event("hello");
  EXPECT_EQ(message(), "Error in world script:\nNo 'process_event' function in script");
  update_world_script(0.05f); // no update_script: nothing happens
  EXPECT_EQ(message(), "Error in world script:\nNo 'process_event' function in script");
  set_error_message(nullptr);
  EXPECT_TRUE(get_world_script_bool("missing", 7));
  EXPECT_NE(message().find("Error in world script:\n"), std::string::npos);
  EXPECT_FALSE(get_world_script_bool("missing", 0));
}

TEST_F(WorldScriptFixture, LoadFailureAtStartUp)
{
  write("gen/main.nut", "function generate_world(name) {");
  init_world_script();
  EXPECT_EQ(message().rfind("Error in world gen script:\n", 0), 0u);
  EXPECT_GT(message().size(), strlen("Error in world gen script:\n"));
  EXPECT_NE(get_world_script_vm(), nullptr); // the VM stays for a later reload

  close_world_script();
  fs::remove(dir / "gen/main.nut");
  init_world_script();
  EXPECT_EQ(message(), "Error in world gen script:\ncan't open 'gen/main.nut'");
}

// The compile error keeps the strip, with its file and line, through the generation
// that follows the start-up.
TEST_F(WorldScriptFixture, CompileErrorAtStartUpStaysOnTheStrip)
{
  write("gen/main.nut", "function generate_world(name) {\n  local x = ;\n}\n");
  init_world_script();
  const std::string first = message();
  EXPECT_NE(first.find("gen/main.nut(2,"), std::string::npos) << first;
  generate_world("main_menu");
  EXPECT_EQ(message(), first);
  EXPECT_EQ(message().find("No 'generate_world'"), std::string::npos);
}

// include() failures are errors of the including script, naming the file; a path that
// is too long is one too, at start-up and in a live reload, and the old world stays.
TEST_F(WorldScriptFixture, IncludeFailuresAreScriptErrors)
{
  write("gen/main.nut", "include(\"gen/missing.nut\"); function generate_world(name) {}");
  init_world_script();
  EXPECT_NE(message().find("include 'gen/missing.nut': can't open 'gen/missing.nut'"), std::string::npos)
    << message();
  close_world_script();

  fs::create_directories(dir / "gen/adir");
  write("gen/main.nut", "include(\"gen/adir\"); function generate_world(name) {}");
  init_world_script();
  EXPECT_NE(message().find("include 'gen/adir':"), std::string::npos) << message();
  close_world_script();

  write("gen/bad.nut", "local x = ;");
  write("gen/main.nut", "include(\"gen/bad.nut\"); function generate_world(name) {}");
  init_world_script();
  EXPECT_NE(message().find("include 'gen/bad.nut': bin/gen/bad.nut(1,"), std::string::npos) << message();
  close_world_script();

  write("gen/throws.nut", "throw \"boom\";");
  write("gen/main.nut", "include(\"gen/throws.nut\"); function generate_world(name) {}");
  init_world_script();
  EXPECT_EQ(message(), "Error in world gen script:\ninclude 'gen/throws.nut': boom");
  close_world_script();

  const std::string long_path = "gen/" + std::string(300, 'x') + ".nut";
  write("gen/main.nut", "include(\"" + long_path + "\"); function generate_world(name) {}");
  init_world_script();
  EXPECT_EQ(message(), "Error in world gen script:\ninclude: path too long");
  close_world_script();
  set_error_message(nullptr);

  write("gen/main.nut", "function generate_world(name) { add_simplex_noise(4, 4, 1, 1, 0.5); }");
  init_world_script();
  generate_world("game");
  ASSERT_EQ(message(), "");
  write("gen/main.nut", "include(\"" + long_path + "\"); function generate_world(name) {}");
  check_world_script_reload();
  EXPECT_EQ(message(), "Error in world gen script:\ninclude: path too long");
  EXPECT_EQ(Hm::hmap[42], 4.f);
}

// An endless loop ends with "script took too long": in the file, in generate_world and
// in the per-update calls; the game goes on and a fixed script runs again.
TEST_F(WorldScriptFixture, EndlessLoopsRunOutOfTime)
{
  const ScriptBudgets saved = script_budgets;
  script_budgets.world = 20'000'000;
  write("gen/main.nut", "function generate_world(name) { add_simplex_noise(4, 4, 1, 1, 0.5); }\n"
                        "function update_script(t) { while (true) {} }\n"
                        "function process_event(e) { try { while (true) {} } catch (x) { while (true) {} } }\n");
  init_world_script();
  generate_world("game");
  ASSERT_EQ(message(), "");
  update_world_script(0.1f);
  EXPECT_EQ(message(), "Error in world script:\nscript took too long");
  set_error_message(nullptr);
  world_script_str_event("x"); // catching the error does not buy more time
  EXPECT_EQ(message(), "Error in world script:\nscript took too long");

  write("gen/main.nut", "while (true) {}\nfunction generate_world(name) {}");
  check_world_script_reload();
  EXPECT_EQ(message(), "Error in world gen script:\nscript took too long");
  EXPECT_EQ(Hm::hmap[42], 4.f); // the old world stays

  write("gen/main.nut", "function generate_world(name) { add_simplex_noise(6, 6, 1, 1, 0.5); for (;;) {} }");
  check_world_script_reload();
  EXPECT_EQ(message(), "Error in world gen script:\nscript took too long");

  write("gen/main.nut", "function generate_world(name) { add_simplex_noise(8, 8, 1, 1, 0.5); }");
  check_world_script_reload();
  EXPECT_EQ(message(), "");
  EXPECT_EQ(Hm::hmap[42], 8.f);
  script_budgets = saved;
}

TEST_F(WorldScriptFixture, EventsQueriesAndBoolFunctions)
{
  write("gen/main.nut",
        std::string(simple_world) +
          "flag <- 1; off <- null;"
          "function yes() { return 1; } function boom() { throw \"boom\"; }"
          "function update_script(t) { updated <- t; }"
          "function long_error() { local s = \"\"; for (local i = 0; i < 2000; i++) s += \"x\"; throw s; }");
  init_world_script();
  world_script_str_event("spell_cast");
  EXPECT_STREQ(sqbind::getGlobal<const char *>(get_world_script_vm(), "last_event"), "spell_cast");
  update_world_script(0.5f);
  EXPECT_EQ(sqbind::getGlobal<float>(get_world_script_vm(), "updated"), 0.5f);
  EXPECT_TRUE(get_world_script_bool("flag", 0));
  EXPECT_FALSE(get_world_script_bool("off", 1));

  HSQUIRRELVM vm = get_world_script_vm();
  sq_pushroottable(vm);
  sqbind::SqObject root;
  root.fromStack(vm, -1);
  sq_poptop(vm);
  sqbind::SqFunc<bool> f;
  EXPECT_TRUE(call_bool_func(f, true)); // null: the default
  f.bind(vm, root, "yes");
  EXPECT_TRUE(call_bool_func(f, false));
  f.bind(vm, root, "boom");
  EXPECT_FALSE(call_bool_func(f, false));
  EXPECT_EQ(message(), "Error in world script:\nboom");
  f.release();
  EXPECT_EQ(message().size(), strlen("Error in world script:\nboom"));

  // Long error texts are cut to the message buffer.
  f.bind(vm, root, "long_error");
  EXPECT_FALSE(call_bool_func(f, false));
  EXPECT_EQ(message().size(), 1023u);
  EXPECT_EQ(message().rfind("Error in world script:\nxxxx", 0), 0u);
  f.release();

  EXPECT_EQ(world_script_guard([](HSQUIRRELVM) { throw sqbind::SquirrelError("bad bind"); }), std::string("bad bind"));
  EXPECT_EQ(world_script_guard([](HSQUIRRELVM) {}), nullptr);
}

TEST_F(WorldScriptFixture, LiveReloadRegeneratesTheGameWorldOnce)
{
  write("gen/part.nut", "height <- 3;");
  write("gen/main.nut",
        "include(\"gen/part.nut\"); include(\"GEN/PART.NUT\"); runs <- (\"runs\" in getroottable()) ? runs + 1 : 1;"
        "function generate_world(name) { last_name <- name; add_simplex_noise(height, height, 1, 1, 0.5); }");
  init_world_script();
  generate_world("main_menu");
  HSQUIRRELVM vm = get_world_script_vm();
  EXPECT_EQ(sqbind::getGlobal<int>(vm, "runs"), 1);
  calls.clear();
  check_world_script_reload(); // nothing changed
  EXPECT_TRUE(calls.empty());

  write("gen/part.nut", "height <- 5;");
  check_world_script_reload();
  EXPECT_EQ(message(), "");
  EXPECT_EQ(sqbind::getGlobal<int>(vm, "runs"), 2); // the main file ran again, the include once more
  EXPECT_STREQ(sqbind::getGlobal<const char *>(vm, "last_name"), "game");
  EXPECT_EQ(Hm::hmap[42], 5.f);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "terrain"), 1);
  calls.clear();
  check_world_script_reload();
  EXPECT_TRUE(calls.empty());

  // A syntax error: shown, the old world stays, and no generation runs.
  write("gen/main.nut", "function generate_world(name) { add_simplex_noise(9, 9, 1, 1, 0.5); ");
  check_world_script_reload();
  EXPECT_EQ(message().rfind("Error in world gen script:\n", 0), 0u);
  EXPECT_GT(message().size(), strlen("Error in world gen script:\n"));
  EXPECT_EQ(Hm::hmap[42], 5.f);
  EXPECT_TRUE(calls.empty());
  // Fixed again: the strip clears and the world comes back.
  write("gen/main.nut", "function generate_world(name) { add_simplex_noise(7, 7, 1, 1, 0.5); }");
  check_world_script_reload();
  EXPECT_EQ(message(), "");
  EXPECT_EQ(Hm::hmap[42], 7.f);
}
