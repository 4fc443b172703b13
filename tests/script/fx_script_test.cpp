// The effects script against recording hooks: how a params table becomes a particle,
// what a bad table or a missing function shows, live reload clearing the particles first,
// and ramps handed to particles outliving the script values that made them.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>
#include "core/globals.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/ramp.h"
#include "script/fx_script_vm.h"
#include "tools/fx_atlas_cells.h"

namespace fs = std::filesystem;

namespace
{
struct Spawned
{
  bool glow;
  vec4f pos, vel, acc;
  float life, delay, size;
  uint32_t color;
  float mapU, mapV, mapSize, roll, rollScale;
  const ColorRamp *colorAnim;
  const FloatRamp *sizeAnim, *rollAnim;
};
std::vector<Spawned> spawned;
std::vector<std::string> calls;

template <bool Glow>
void record(vec4f pos, vec4f vel, vec4f acc, float life, float delay, float size, D3dColor color, float u, float v,
            float cell, float roll, float roll_scale, const ColorRamp *ca, const FloatRamp *sa, const FloatRamp *ra)
{
  spawned.push_back(
    {Glow, pos, vel, acc, life, delay, size, uint32_t(color), u, v, cell, roll, roll_scale, ca, sa, ra});
  calls.push_back(Glow ? "glow" : "blend");
}

// Every key, in a table the tests vary.
const char *const fx_base = R"(
function params(extra) {
  local p = { accel = vec4f(0, -9.8, 0, 0), life = 1.5, delay = 0.25, size = 2, mapU = 64, mapV = 128,
    mapSize = 64, startRoll = 0.5, rollScale = 3, colorAnim = null, sizeAnim = null, rollAnim = null,
    color = 0xFF00FF00 };
  foreach (k, v in extra) p[k] <- v;
  return p;
}
function burst(a, b, c, t) {
  add_glow_particle(a, b, params({}));
  add_blend_particle(a + c, b * t, params({ color = vec4f(0, 1, 0, 1), colorAnim = ColorRamp.constRamp(0.5) }));
}
function without(key) { local p = params({}); delete p[key]; add_glow_particle(vec4f(0), vec4f(0), p); }
function typed(key, value) { add_glow_particle(vec4f(0), vec4f(0), params({ [key] = value })); }
function local_ramps(a, b, c, t) {
  local grow = FloatRamp.linear(1, 4);
  for (local i = 0; i < 3; i++)
    add_blend_particle(a, b, params({ sizeAnim = grow, life = t, delay = 0 }));
}
function bolt(a, b, c, t) { add_lightning_fx(a, b, c, 0.5, 4, 2, t, 0xFFC0E0FF, 12); }
function update_fx(dt) { ticks <- ("ticks" in getroottable()) ? ticks + dt : dt; }
)";

struct FxScript : ::testing::Test
{
  fs::path dir;
  int stamp = 1000;

  void SetUp() override
  {
    dir = fs::temp_directory_path() / ("zfx_" + std::to_string(getpid()));
    fs::create_directories(dir / "test");
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    spawned.clear();
    calls.clear();
    FxScriptHooks h;
    h.add_blend_particle = record<false>;
    h.add_glow_particle = record<true>;
    h.add_lightning_fx = [](vec4f, vec4f, vec4f, float, float, float, float, D3dColor c, int n) {
      calls.push_back("bolt " + std::to_string(n) + " " + std::to_string(uint32_t(c)));
    };
    h.reset_common_fx = [] {
      spawned.clear();
      calls.push_back("reset");
    };
    fx_script_hooks = h;
    set_error_message(nullptr);
  }
  void TearDown() override
  {
    close_fx_script();
    fx_script_hooks = {};
    set_error_message(nullptr);
    fs::remove_all(dir);
    app_path[0] = 0;
  }
  void write(const std::string &text)
  {
    std::ofstream(dir / "test/fx.nut") << text;
    fs::last_write_time(dir / "test/fx.nut", fs::file_time_type::clock::now() + std::chrono::seconds(stamp++));
  }
  void open(const std::string &text)
  {
    write(text);
    init_fx_script();
    calls.clear();
  }
  std::string message() { return has_error_message() ? get_error_message() : ""; }
  static void call(const char *name)
  {
    call_fx_script(name, vec4f(1, 2, 3, 1), vec4f(0, 4, 0, 0), vec4f(0, 0, 1, 0), 2.f);
  }
};
} // namespace

TEST_F(FxScript, ParamsTableBecomesTheParticle)
{
  open(fx_base);
  call("burst");
  ASSERT_EQ(message(), "");
  ASSERT_EQ(spawned.size(), 2u);
  const Spawned &g = spawned[0];
  EXPECT_TRUE(g.glow);
  EXPECT_EQ(g.pos, vec4f(1, 2, 3, 1));
  EXPECT_EQ(g.vel, vec4f(0, 4, 0, 0));
  EXPECT_FLOAT_EQ(g.acc.y, -9.8f);
  EXPECT_FLOAT_EQ(g.life, 1.5f);
  EXPECT_FLOAT_EQ(g.delay, 0.25f);
  EXPECT_FLOAT_EQ(g.size, 2.f);
  EXPECT_EQ(g.mapU, 64.f);
  EXPECT_EQ(g.mapV, 128.f);
  EXPECT_EQ(g.mapSize, 64.f);
  EXPECT_FLOAT_EQ(g.roll, 0.5f);
  EXPECT_FLOAT_EQ(g.rollScale, 3.f);
  EXPECT_EQ(g.colorAnim, nullptr); // null ramps: no animation
  EXPECT_EQ(g.sizeAnim, nullptr);
  EXPECT_EQ(g.rollAnim, nullptr);
  const Spawned &b = spawned[1];
  EXPECT_FALSE(b.glow);
  EXPECT_EQ(b.pos, vec4f(1, 2, 4, 1)); // vector arithmetic in script
  EXPECT_EQ(b.vel, vec4f(0, 8, 0, 0));
  // 0xFF00FF00 and vec4f(0, 1, 0, 1) are the same colour.
  EXPECT_EQ(g.color, 0xFF00FF00u);
  EXPECT_EQ(b.color, 0xFF00FF00u);
  ASSERT_NE(b.colorAnim, nullptr);
  EXPECT_EQ(b.colorAnim->get(0.3f), vec4f(0.5f));
}

TEST_F(FxScript, BadTablesSpawnNothingAndSayWhy)
{
  const char *keys[] = {"accel",     "life",      "delay",     "size",     "mapU",     "mapV", "mapSize",
                        "startRoll", "rollScale", "colorAnim", "sizeAnim", "rollAnim", "color"};
  for (const char *key : keys)
  {
    set_error_message(nullptr);
    std::string src = std::string(fx_base) + "function drop_" + key + "(a, b, c, t) { without(\"" + key + "\"); }";
    close_fx_script();
    open(src);
    testing::internal::CaptureStdout();
    call((std::string("drop_") + key).c_str());
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(std::string("getSlot '") + key + "' failed"), std::string::npos) << out;
    EXPECT_EQ(message().rfind("Error in fx script:\n", 0), 0u) << key;
    EXPECT_TRUE(spawned.empty()) << key;
  }

  close_fx_script();
  open(std::string(fx_base) + "function bad_life(a, b, c, t) { typed(\"life\", \"long\"); }"
                              "function bad_ramp(a, b, c, t) { typed(\"colorAnim\", FloatRamp.linear(0, 1)); }"
                              "function bad_color(a, b, c, t) { typed(\"color\", \"red\"); }");
  call("bad_life");
  EXPECT_EQ(message(), "Error in fx script:\nsq_get*() failed (type error)");
  call("bad_ramp");
  EXPECT_EQ(message(), "Error in fx script:\ngetInst: invalid argument type");
  call("bad_color");
  EXPECT_EQ(message(), "Error in fx script:\ngetInst: invalid argument type");
  EXPECT_TRUE(spawned.empty());
}

TEST_F(FxScript, UnknownFunctionShowsItsName)
{
  open(fx_base);
  call("no_such_effect");
  EXPECT_EQ(message(), "Error in fx script:\nNo 'no_such_effect' function in script");
  EXPECT_TRUE(spawned.empty());
  close_fx_script();
  set_error_message(nullptr);
  call("burst"); // before init: an error, not a crash
  EXPECT_EQ(message(), "Error in fx script:\nfx script VM is not open");
}

// An effect that never returns ends under the per-call budget; the next effect runs.
TEST_F(FxScript, EndlessEffectRunsOutOfTime)
{
  open(std::string(fx_base) + "\nfunction forever(a, b, c, t) { for (;;) {} }\n");
  call("forever");
  EXPECT_EQ(message(), "Error in fx script:\nscript took too long");
  set_error_message(nullptr);
  call("no_such_effect");
  EXPECT_EQ(message(), "Error in fx script:\nNo 'no_such_effect' function in script");
}

TEST_F(FxScript, ReloadClearsParticlesBeforeTheScriptRunsAgain)
{
  open(std::string(fx_base) + "add_glow_particle(vec4f(0), vec4f(0), params({}));");
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(spawned.size(), 1u); // spawned at load, before calls were cleared
  check_fx_script_reload();      // nothing changed
  EXPECT_TRUE(calls.empty());
  write(std::string(fx_base) + "add_glow_particle(vec4f(0), vec4f(0), params({})); reloaded <- 1;");
  set_error_message("an old error");
  check_fx_script_reload();
  EXPECT_EQ(calls, (std::vector<std::string>{"reset", "glow"}));
  EXPECT_EQ(message(), "");
  // update_fx is bound again after the reload.
  update_fx_script(0.25f);
  update_fx_script(0.25f);
  sq_pushroottable(fx_script.vm);
  sq_pushstring(fx_script.vm, "ticks", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(fx_script.vm, -2)));
  SQFloat ticks = 0;
  sq_getfloat(fx_script.vm, -1, &ticks);
  sq_pop(fx_script.vm, 2);
  EXPECT_FLOAT_EQ(ticks, 0.5f);

  // A broken file shows its error; the VM stays for the next fix.
  write("function (");
  check_fx_script_reload();
  EXPECT_EQ(message().rfind("Error in fx script:\n", 0), 0u);
  EXPECT_NE(fx_script.vm, nullptr);
  write(fx_base);
  check_fx_script_reload();
  EXPECT_EQ(message(), "");
}

TEST_F(FxScript, RampsLiveAsLongAsTheirParticles)
{
  open(fx_base);
  call_fx_script("local_ramps", vec4f(0), vec4f(0), vec4f(0), 1.f); // life 1 s
  ASSERT_EQ(spawned.size(), 3u);
  EXPECT_EQ(fx_script_held_ramps(), 1); // one ramp, used three times
  sq_collectgarbage(fx_script.vm);
  // The function's local is gone; the ramp is still there.
  EXPECT_FLOAT_EQ(spawned[2].sizeAnim->get(1.f), 4.f);
  for (int i = 0; i < 20; i++)
    update_fx_script(0.05f);
  EXPECT_EQ(fx_script_held_ramps(), 1);
  for (int i = 0; i < 6; i++)
    update_fx_script(0.05f);
  EXPECT_EQ(fx_script_held_ramps(), 0); // past the particles' life
  call("local_ramps");
  EXPECT_EQ(fx_script_held_ramps(), 1);
  close_fx_script(); // the particles go with the VM's ramps
  EXPECT_EQ(calls.back(), "reset");
  EXPECT_EQ(fx_script_held_ramps(), 0);
}

TEST_F(FxScript, LightningFromScript)
{
  open(fx_base);
  call("bolt");
  EXPECT_EQ(message(), "");
  EXPECT_EQ(calls, (std::vector<std::string>{"bolt 12 " + std::to_string(0xFFC0E0FFu)}));
}

// Effects are only seen: their random numbers (and a reseed) must leave the simulation's
// stream alone, or what is drawn would change the world.
TEST_F(FxScript, RandomNumbersComeFromTheEffectsStream)
{
  open(fx_base + std::string("function noisy(a, b, c, t) { set_rnd_seed(99); frnd(); irnd(); rndf(1, 2); "
                             "randomize_rnd_seed(); srnd(); }"));
  game_rnd_seed = 4242;
  fx_rnd_seed = 1;
  call("noisy");
  EXPECT_EQ(message(), "");
  EXPECT_EQ(game_rnd_seed, 4242u);
  EXPECT_NE(fx_rnd_seed, 1u);
}

TEST_F(FxScript, LoadFailureKeepsTheVmForALaterFix)
{
  open("function burst(a, b, c, t) {");
  EXPECT_EQ(message().rfind("Error in fx script:\n", 0), 0u);
  EXPECT_NE(fx_script.vm, nullptr);
  close_fx_script();
  set_error_message(nullptr);
  fs::remove(dir / "test/fx.nut");
  init_fx_script();
  EXPECT_EQ(message(), "Error in fx script:\ncan't open 'test/fx.nut'");
}

// The shipped script: it loads, names every atlas cell as the generator paints it (in its
// tables and in the list at its top), and the cells keep apart.
TEST(FxScriptShipped, CellTablesMatchTheAtlases)
{
  snprintf(app_path, sizeof(app_path), "%s", ZARNITH_SOURCE_BIN);
  set_error_message(nullptr);
  init_fx_script();
  ASSERT_FALSE(has_error_message()) << get_error_message();
  std::ifstream in(std::string(ZARNITH_SOURCE_BIN) + "test/fx.nut");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string header = text.substr(0, text.find("\nconst "));
  HSQUIRRELVM vm = fx_script.vm;
  auto check = [&](const char *table, const FxAtlasCell *cells, size_t n) {
    for (size_t i = 0; i < n; i++)
    {
      const FxAtlasCell &c = cells[i];
      sq_pushroottable(vm);
      sq_pushstring(vm, table, -1);
      ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2))) << table;
      sq_pushstring(vm, c.name, -1);
      ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2))) << table << "." << c.name;
      int v[3];
      for (int k = 0; k < 3; k++)
      {
        sq_pushinteger(vm, k);
        ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)));
        SQInteger x = 0;
        sq_getinteger(vm, -1, &x);
        v[k] = int(x);
        sq_poptop(vm);
      }
      sq_pop(vm, 3);
      EXPECT_EQ(v[0], c.x) << c.name;
      EXPECT_EQ(v[1], c.y) << c.name;
      EXPECT_EQ(v[2], c.size) << c.name;
      // The modders' list at the top: "name x y size".
      std::smatch m;
      const std::regex row(std::string("[ /]") + c.name + " +([0-9]+) +([0-9]+) +([0-9]+)");
      ASSERT_TRUE(std::regex_search(header, m, row)) << c.name << " is not in the list";
      EXPECT_EQ(std::stoi(m[1]), c.x) << c.name << " in the list";
      EXPECT_EQ(std::stoi(m[2]), c.y) << c.name << " in the list";
      EXPECT_EQ(std::stoi(m[3]), c.size) << c.name << " in the list";
      // Inside the atlas, aligned, apart from every other cell.
      EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.size <= 512 && c.y + c.size <= 256) << c.name;
      EXPECT_EQ(c.x % c.size, 0) << c.name;
      EXPECT_EQ(c.y % c.size, 0) << c.name;
      for (size_t j = 0; j < i; j++)
      {
        const FxAtlasCell &o = cells[j];
        bool apart = c.x + c.size <= o.x || o.x + o.size <= c.x || c.y + c.size <= o.y || o.y + o.size <= c.y;
        EXPECT_TRUE(apart) << c.name << " overlaps " << o.name;
      }
    }
  };
  check("B", fx_blend_cells, sizeof(fx_blend_cells) / sizeof(fx_blend_cells[0]));
  check("G", fx_glow_cells, sizeof(fx_glow_cells) / sizeof(fx_glow_cells[0]));
  // The effects the game calls by name.
  for (const char *fn :
       {"fireball_trail", "fireball_explode", "waterball_trail", "waterball_splash", "magic_missile_trail",
        "water_source", "water_sink", "meteor_trail", "meteor_explode", "wyvern_death", "spell_object", "lightning_hit",
        "lightning_sparks", "healing", "mana_ball", "portal", "update_fx"})
  {
    sq_pushroottable(vm);
    sq_pushstring(vm, fn, -1);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)) && sq_gettype(vm, -1) == OT_CLOSURE) << fn;
    sq_settop(vm, 0);
  }
  close_fx_script();
  app_path[0] = 0;
}
