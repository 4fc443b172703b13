#pragma once
// A scratch program directory for the scene and sky tests: the shaders, includes and
// scripts of bin/ copied into a fresh folder, which becomes app_path until the object
// goes. Tests write their own scripts and shaders there.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include "core/paths.h"
#include "tests/render/vis_test_window.h"

namespace scenetest
{
struct ProgramDir
{
  std::string dir;
  char saved[sizeof(app_path)];

  ProgramDir()
  {
    namespace fs = std::filesystem;
    memcpy(saved, app_path, sizeof(app_path));
    char tmpl[] = "/tmp/zarnith_scene_XXXXXX";
    dir = mkdtemp(tmpl) ? tmpl : "/tmp/zarnith_scene";
    fs::create_directories(dir + "/cache");
    for (const auto &e : fs::directory_iterator(vistest::bin_dir()))
    {
      std::string ext = e.path().extension().string();
      if (e.is_regular_file() && (ext == ".sh" || ext == ".inc" || ext == ".nut"))
        fs::copy_file(e.path(), dir + "/" + e.path().filename().string(), fs::copy_options::overwrite_existing);
    }
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
  }
  ~ProgramDir()
  {
    memcpy(app_path, saved, sizeof(app_path));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  void write(const char *name, const std::string &text) const
  {
    std::ofstream(dir + "/" + name, std::ios::binary) << text;
  }
  // Moves the file's modification time forward so that change checks see it.
  void touch_later(const char *name, int seconds) const
  {
    namespace fs = std::filesystem;
    fs::path p = dir + "/" + name;
    fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(seconds));
  }
};
} // namespace scenetest
