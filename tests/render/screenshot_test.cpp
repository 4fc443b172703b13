// Screenshots: the display clip, and a PNG written from a drawn frame.
#include <dirent.h>
#include <set>
#include <stb/stb_image.h>
#include <sys/stat.h>
#include "render/screenshot.h"
#include "tests/render/vis_test_window.h"

TEST(ScreenshotClip, KeepsOnlyTheVisiblePartOfTheClientArea)
{
  int x, y, w, h;
  // Partly off the left and top edges: width and height shrink, the edge moves to 0.
  ASSERT_TRUE(clip_client_to_display(-100, -20, 640, 480, 0, 0, 1920, 1080, x, y, w, h));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 540);
  EXPECT_EQ(h, 460);
  // Beyond the right and bottom edges: cut at the display.
  ASSERT_TRUE(clip_client_to_display(1600, 900, 640, 480, 0, 0, 1920, 1080, x, y, w, h));
  EXPECT_EQ(x, 1600);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 180);
  // A display that does not start at the origin (a second monitor).
  ASSERT_TRUE(clip_client_to_display(1900, 10, 100, 100, 1920, 0, 1280, 1024, x, y, w, h));
  EXPECT_EQ(x, 1920);
  EXPECT_EQ(w, 80);
  // Nothing visible: nothing captured.
  EXPECT_FALSE(clip_client_to_display(-700, 0, 640, 480, 0, 0, 1920, 1080, x, y, w, h));
  EXPECT_FALSE(clip_client_to_display(0, 1080, 640, 480, 0, 0, 1920, 1080, x, y, w, h));
  EXPECT_FALSE(clip_client_to_display(0, 0, 0, 480, 0, 0, 1920, 1080, x, y, w, h));
}

static std::set<std::string> list_shots(const std::string &dir)
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

TEST(Screenshot, WritesOpaqueRgbaPngOfTheFrame)
{
  REQUIRE_DEVICE(320, 240);
  const std::string shots = vistest::bin_dir() + "shots";
  mkdir(shots.c_str(), 0755);
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    set_backbuffer_target();
    clear_view_color(D3dColor(0x20336699u)); // alpha must not reach the file
  }));
  present_d3d();
  const auto before = list_shots(shots);
  ASSERT_TRUE(take_screenshot());
  const auto after = list_shots(shots);
  std::string added;
  for (const auto &n : after)
    if (!before.count(n))
      added = n;
  // Taken within the same second as another shot the name repeats; then the file was
  // rewritten, so look at the newest one.
  if (added.empty() && !after.empty())
    added = *after.rbegin();
  ASSERT_FALSE(added.empty());
  EXPECT_EQ(added.size(), strlen("shot2026_01_02_03_04_05.png"));
  const std::string path = shots + "/" + added;
  int w = 0, h = 0, n = 0;
  unsigned char *img = stbi_load(path.c_str(), &w, &h, &n, 0);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_EQ(img[0], 0x33);
  EXPECT_EQ(img[1], 0x66);
  EXPECT_EQ(img[2], 0x99);
  EXPECT_EQ(img[3], 0xFF);
  stbi_image_free(img);
  remove(path.c_str());
}

TEST(Screenshot, MissingShotsFolderFailsWithoutCreatingIt)
{
  REQUIRE_DEVICE(320, 240);
  char saved[sizeof(app_path)];
  memcpy(saved, app_path, sizeof(saved));
  char tmpl[] = "/tmp/zarnith_shot_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  snprintf(app_path, sizeof(app_path), "%s/", tmpl);
  EXPECT_FALSE(take_screenshot());
  struct stat st;
  EXPECT_NE(stat((std::string(tmpl) + "/shots").c_str(), &st), 0);
  memcpy(app_path, saved, sizeof(saved));
  rmdir(tmpl);
}
