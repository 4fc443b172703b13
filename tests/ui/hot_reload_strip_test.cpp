// A broken edit of the font shader while running: the error reaches the on-screen strip
// and text keeps drawing with the old code; fixing the file brings the new code in.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/time.h>
#include "core/log.h"
#include "render/shaders.h"
#include "tests/render/vis_test_window.h"
#include "ui/text.h"

namespace
{
std::string read_text(const std::string &path)
{
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void write_text(const std::string &path, const std::string &text, long mtime_shift)
{
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
  }
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  struct timeval tv[2] = {{st.st_atime + mtime_shift, 0}, {st.st_mtime + mtime_shift, 0}};
  ASSERT_EQ(utimes(path.c_str(), tv), 0);
}

void draw_marker_frame(float)
{
  set_backbuffer_target();
  clear_view(D3dColor(0xFF000000u));
  start_draw_text();
  draw_rect(10, 10, 30, 30, D3dColor(0xFF00FF00u));
  end_draw_text();
}
} // namespace

TEST(FontShaderHotReload, BrokenEditShowsInStripAndKeepsOldCode)
{
  REQUIRE_DEVICE(320, 240);
  // A program directory of our own holding copies of the font and its shader (with the
  // register names it includes).
  char tmpl[] = "/tmp/zarnith_reload_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = std::string(tmpl) + "/";
  mkdir((dir + "cache").c_str(), 0755);
  const std::string bin = vistest::bin_dir();
  const std::string good = read_text(bin + "font.sh");
  ASSERT_FALSE(good.empty());
  write_text(dir + "font.tga", read_text(bin + "font.tga"), 0);
  write_text(dir + "registers.inc", read_text(bin + "registers.inc"), -100);
  write_text(dir + "font.sh", good, -100);
  char saved[sizeof(app_path)];
  memcpy(saved, app_path, sizeof(saved));
  snprintf(app_path, sizeof(app_path), "%s", dir.c_str());

  init_font();
  ASSERT_TRUE(vistest::draw_frame_with(draw_marker_frame));
  EXPECT_EQ(vistest::at_bl(vistest::read_pixels(), 20, 20), 0xFF00FF00u);

  // Break it: the reload fails, the strip says so, the old program still draws.
  write_text(dir + "font.sh", good + "\n#if PSH\nvoid broken( {\n#endif\n", -50);
  reload_shaders(false);
  ASSERT_TRUE(has_error_message());
  EXPECT_NE(strstr(get_error_message(), "FAILED to reload shader 'font.sh'"), nullptr) << get_error_message();
  ASSERT_TRUE(vistest::draw_frame_with([](float) {
    draw_marker_frame(0);
    start_draw_text();
    draw_error_message();
    end_draw_text();
  }));
  auto px = vistest::read_pixels();
  vistest::save_png(px, "hot_reload_error");
  EXPECT_EQ(vistest::at_bl(px, 20, 20), 0xFF00FF00u);
  int yellow = 0;
  for (uint32_t c : px)
    yellow += (c | 0xFF000000u) == 0xFFFFEE00u;
  EXPECT_GT(yellow, 20);

  // Fix it with a visible change: solid rectangles come out red now.
  std::string red = good;
  size_t at = red.find("COLOR0 = v_color * t;");
  ASSERT_NE(at, std::string::npos);
  red.replace(at, strlen("COLOR0 = v_color * t;"), "COLOR0 = vec4(1.0, 0.0, 0.0, 1.0) * t.a;");
  write_text(dir + "font.sh", red, -10);
  reload_shaders(false);
  EXPECT_FALSE(has_error_message());
  ASSERT_TRUE(vistest::draw_frame_with(draw_marker_frame));
  EXPECT_EQ(vistest::at_bl(vistest::read_pixels(), 20, 20), 0xFFFF0000u);

  close_font();
  memcpy(app_path, saved, sizeof(saved));
  std::string cmd = "rm -rf '" + dir + "'";
  EXPECT_EQ(system(cmd.c_str()), 0);
}
