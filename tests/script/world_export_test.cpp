#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>
#include "core/globals.h"
#include "core/log.h"
#include "core/paths.h"
#include "script/world_script.h"
#include "world/heightmap.h"
#include "world/world_export.h"

namespace fs = std::filesystem;
using Hm = HeightmapData;

// world.json without the line that holds the generation time.
static std::string json_without_time(const fs::path &file)
{
  std::ifstream in(file);
  std::string line, out;
  while (std::getline(in, line))
    if (line.find("\"generation_ms\"") == std::string::npos)
      out += line + "\n";
  return out;
}

static std::vector<unsigned char> bytes(const fs::path &file)
{
  std::ifstream in(file, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// The shipped island script, exported twice from one seed.
TEST(WorldExport, ShippedIslandIsRepeatableAndWritten)
{
  fs::path out = fs::temp_directory_path() / ("zexport_" + std::to_string(getpid()));
  snprintf(app_path, sizeof(app_path), "%s", ZARNITH_SOURCE_BIN);
  set_error_message(nullptr);

  game_rnd_seed = 42;
  ASSERT_EQ(export_world((out / "a").c_str()), 0) << (has_error_message() ? get_error_message() : "");
  std::vector<float> heights(Hm::hmap, Hm::hmap + HMAP_CELLS);
  game_rnd_seed = 42;
  ASSERT_EQ(export_world((out / "b/c").c_str()), 0);
  EXPECT_EQ(memcmp(heights.data(), Hm::hmap, sizeof(Hm::hmap)), 0);

  for (const char *name : {"height.png", "color.png", "water.png", "marks.png", "world.json"})
    EXPECT_TRUE(fs::file_size(out / "a" / name) > 0) << name;
  std::string a = json_without_time(out / "a/world.json");
  EXPECT_EQ(a, json_without_time(out / "b/c/world.json"));
  EXPECT_NE(a.find("\"seed\": 42,"), std::string::npos);
  EXPECT_NE(a.find("\"world\": \"game\""), std::string::npos);
  EXPECT_EQ(bytes(out / "a/height.png"), bytes(out / "b/c/height.png"));

  // A 16-bit grey PNG of the grid's size.
  std::vector<unsigned char> png = bytes(out / "a/height.png");
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(memcmp(png.data() + 1, "PNG", 3), 0);
  EXPECT_EQ(memcmp(png.data() + 12, "IHDR", 4), 0);
  EXPECT_EQ(png[16 + 2], 1); // width 256
  EXPECT_EQ(png[20 + 2], 1); // height 256
  EXPECT_EQ(png[24], 16);    // bit depth
  EXPECT_EQ(png[25], 0);     // grey

  // It looks like an island: open sea along the wrap seam, land in the middle, houses.
  for (int i = 0; i < HMAP_SIZE; i++)
  {
    EXPECT_LT(Hm::height(i, 0), 0.f) << i;
    EXPECT_LT(Hm::height(0, i), 0.f) << i;
    EXPECT_GT(Hm::waterAt(i, 0).depth, 0.f) << i;
  }
  EXPECT_GT(Hm::height(128, 128), 5.f);
  EXPECT_NE(a.find("\"house\": "), std::string::npos);
  EXPECT_EQ(a.find("\"house\": 0,"), std::string::npos);

  fs::remove_all(out);
  app_path[0] = 0;
}

TEST(WorldExport, UnwritableDirectoryFails) { EXPECT_FALSE(write_world_files("/proc/no/such/dir", "game", 1, 0)); }

// A script that leaves non-finite heights fails the export with a script error, and no
// file (above all no invalid world.json) is written.
TEST(WorldExport, NonFiniteHeightsFailTheExport)
{
  const fs::path dir = fs::temp_directory_path() / ("zexport_inf_" + std::to_string(getpid()));
  fs::create_directories(dir / "gen");
  std::ofstream(dir / "gen/main.nut") << "function generate_world(name) { add_simplex_noise(0.0, 1e300, 4, 3, 0.5); }";
  snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
  set_error_message(nullptr);
  EXPECT_EQ(export_world((dir / "out").c_str()), 1);
  ASSERT_TRUE(has_error_message());
  EXPECT_NE(std::string(get_error_message()).find("not a finite number"), std::string::npos) << get_error_message();
  EXPECT_FALSE(fs::exists(dir / "out/world.json"));

  Hm::reset();
  Hm::hmap[5] = -INFINITY;
  EXPECT_EQ(count_non_finite_cells(), 1);
  EXPECT_FALSE(write_world_files((dir / "out").c_str(), "game", 1, 0));
  EXPECT_FALSE(fs::exists(dir / "out/world.json"));
  Hm::reset();
  set_error_message(nullptr);
  app_path[0] = 0;
  fs::remove_all(dir);
}

// The shipped scripts run again in the same VM, as a live reload does, and both worlds
// generate without an error.
TEST(WorldExport, ShippedScriptsSurviveAReload)
{
  snprintf(app_path, sizeof(app_path), "%s", ZARNITH_SOURCE_BIN);
  set_error_message(nullptr);
  init_world_script();
  ASSERT_FALSE(has_error_message()) << get_error_message();
  game_rnd_seed = 3;
  generate_world("main_menu");
  const uint64_t after_menu = game_rnd_seed;
  EXPECT_FALSE(has_error_message());
  ASSERT_TRUE(world_script.reload(true));
  game_rnd_seed = 3;
  generate_world("main_menu"); // the menu island hands the sequence back the same way
  EXPECT_EQ(game_rnd_seed, after_menu);
  generate_world("game");
  EXPECT_FALSE(has_error_message()) << (has_error_message() ? get_error_message() : "");
  close_world_script();
  app_path[0] = 0;
}
