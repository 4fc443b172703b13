// Screenshots: PNGs of the whole back buffer, never overwriting each other, in a folder
// made when missing, and failures on the error strip.
#include <dirent.h>
#include <set>
#include <stb/stb_image.h>
#include <sys/stat.h>
#include "core/log.h"
#include "render/screenshot.h"
#include "tests/render/vis_test_window.h"

namespace
{
std::set<std::string> list_shots(const std::string &dir)
{
  std::set<std::string> names;
  if (DIR *d = opendir(dir.c_str()))
  {
    while (dirent *e = readdir(d))
      if (strncmp(e->d_name, "shot", 4) == 0)
        names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

// A fresh program directory for the duration of a test.
struct ShotDir
{
  std::string path;
  char saved[sizeof(app_path)];
  ShotDir()
  {
    char tmpl[] = "/tmp/zarnith_shot_XXXXXX";
    path = std::string(mkdtemp(tmpl)) + "/";
    memcpy(saved, app_path, sizeof(saved));
    snprintf(app_path, sizeof(app_path), "%s", path.c_str());
  }
  ~ShotDir()
  {
    memcpy(app_path, saved, sizeof(saved));
    (void)!system(("rm -rf '" + path + "'").c_str());
  }
};

uint32_t clear_color;
void clear_to(uint32_t color)
{
  clear_color = color;
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    set_backbuffer_target();
    clear_view_color(D3dColor(clear_color));
  }));
  present_d3d();
}
} // namespace

TEST(Screenshot, ShotsInOneSecondEachGetTheirOwnOpaqueFile)
{
  REQUIRE_DEVICE(320, 240);
  ShotDir dir;
  clear_to(0x20336699u); // alpha must not reach the file
  for (int i = 0; i < 3; i++)
    ASSERT_TRUE(take_screenshot());
  const auto names = list_shots(dir.path + "shots"); // made on the first shot
  ASSERT_EQ(names.size(), 3u);
  std::set<size_t> lengths;
  for (const std::string &n : names)
  {
    lengths.insert(n.size());
    int w = 0, h = 0, c = 0;
    unsigned char *img = stbi_load((dir.path + "shots/" + n).c_str(), &w, &h, &c, 0);
    ASSERT_NE(img, nullptr) << n;
    EXPECT_EQ(c, 4);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_EQ(img[0], 0x33);
    EXPECT_EQ(img[1], 0x66);
    EXPECT_EQ(img[2], 0x99);
    EXPECT_EQ(img[3], 0xFF);
    stbi_image_free(img);
  }
  // shot2026_01_02_03_04_05.png, and a counter for a second one in the same second.
  EXPECT_TRUE(lengths.count(strlen("shot2026_01_02_03_04_05.png"))) << *names.begin();
  if (lengths.size() > 1)
  {
    EXPECT_TRUE(lengths.count(strlen("shot2026_01_02_03_04_05_2.png")));
  }
}

// Wider than SDL's offscreen display (1024 x 768): still the whole frame.
TEST(Screenshot, HoldsTheWholeBackBufferOfALargeWindow)
{
  REQUIRE_DEVICE(1280, 720);
  ShotDir dir;
  clear_to(0xFF102030u);
  ASSERT_TRUE(take_screenshot());
  const auto names = list_shots(dir.path + "shots");
  ASSERT_EQ(names.size(), 1u);
  int w = 0, h = 0, c = 0;
  ASSERT_TRUE(stbi_info((dir.path + "shots/" + *names.begin()).c_str(), &w, &h, &c));
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
}

TEST(Screenshot, FailureIsShownOnTheErrorStrip)
{
  REQUIRE_DEVICE(320, 240);
  ShotDir dir;
  FILE *f = fopen((dir.path + "shots").c_str(), "w"); // in the way of the folder
  ASSERT_NE(f, nullptr);
  fclose(f);
  set_error_message(nullptr);
  clear_to(0xFF000000u);
  EXPECT_FALSE(take_screenshot());
  ASSERT_TRUE(has_error_message());
  EXPECT_NE(strstr(get_error_message(), "failed to save screenshot to '"), nullptr) << get_error_message();
  // A second failure joins the first instead of replacing it.
  EXPECT_FALSE(take_screenshot());
  const std::string strip = get_error_message();
  EXPECT_NE(strip.find("failed to save"), strip.rfind("failed to save")) << strip;
  set_error_message(nullptr);
}
