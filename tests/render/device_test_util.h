#pragma once
// Helpers for the device tests: a temporary program directory for test shaders and data
// files, and a few small shaders in the device's GLSL dialect.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <vector>
#include "core/paths.h"
#include "render/shaders.h"

namespace devtest
{
// Makes a fresh directory (with cache/) the program directory until destroyed.
struct ProgramDir
{
  std::string path;
  char saved[260];
  ProgramDir()
  {
    char tmpl[] = "/tmp/zarnith_dev_XXXXXX";
    path = std::string(mkdtemp(tmpl)) + "/";
    mkdir((path + "cache").c_str(), 0755);
    memcpy(saved, app_path, sizeof(saved));
    snprintf(app_path, sizeof(app_path), "%s", path.c_str());
  }
  ~ProgramDir()
  {
    memcpy(app_path, saved, sizeof(saved));
    std::string cmd = "rm -rf '" + path + "'";
    if (system(cmd.c_str()) != 0)
      fprintf(stderr, "could not remove %s\n", path.c_str());
  }
  void write(const std::string &name, const std::string &text, long mtime_offset = 0) const
  {
    FILE *f = fopen((path + name).c_str(), "wb");
    ASSERT_TRUE(f) << name;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    if (mtime_offset)
      shift_mtime(name, mtime_offset);
  }
  void write(const std::string &name, const std::vector<uint8_t> &bytes) const
  {
    FILE *f = fopen((path + name).c_str(), "wb");
    ASSERT_TRUE(f) << name;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  // Moves a file's modification time by seconds (the device compares whole seconds).
  void shift_mtime(const std::string &name, long seconds) const
  {
    struct stat st;
    ASSERT_EQ(stat((path + name).c_str(), &st), 0);
    struct timeval tv[2] = {{st.st_atime + seconds, 0}, {st.st_mtime + seconds, 0}};
    ASSERT_EQ(utimes((path + name).c_str(), tv), 0);
  }
  bool exists(const std::string &name) const
  {
    struct stat st;
    return stat((path + name).c_str(), &st) == 0;
  }
  std::vector<uint8_t> read(const std::string &name) const
  {
    std::vector<uint8_t> b;
    if (FILE *f = fopen((path + name).c_str(), "rb"))
    {
      int c;
      while ((c = fgetc(f)) != EOF)
        b.push_back(uint8_t(c));
      fclose(f);
    }
    return b;
  }
};

// Clip-space position (x, y, z, w) and a packed colour.
constexpr const char *solid_sh = R"(VARYING vec4 v_color;
#if VSH
in vec4 POSITION0;
in vec4 COLOR0;
void vsh()
{
  gl_Position = POSITION0;
  v_color = COLOR0;
}
#endif
#if PSH
void psh()
{
  COLOR0 = v_color;
}
#endif
)";

// Points at integer cell coordinates (x, y) carrying a value z: vc[16] maps cells to clip.
constexpr const char *point_sh = R"(VARYING float v_value;
#if VSH
in vec4 POSITION0;
void vsh()
{
  gl_Position = vec4(POSITION0.xy * vc[16].xy + vc[16].zw, 0.0, 1.0);
  v_value = POSITION0.z;
}
#endif
#if PSH
void psh()
{
  COLOR0 = vec4(v_value, 0.0, 0.0, 1.0);
}
#endif
)";

// Two targets at once: pc[0] to target 0, pc[1] to target 1.
constexpr const char *mrt_sh = R"(#if VSH
in vec4 POSITION0;
void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
}
#endif
#if PSH
void psh()
{
  COLOR0 = pc[0];
  COLOR1 = pc[1];
}
#endif
)";

// A small square per instance, moved by the instance's TEXCOORD1.
constexpr const char *inst_sh = R"(#if VSH
in vec4 POSITION0;
in vec4 TEXCOORD1;
void vsh()
{
  gl_Position = vec4(POSITION0.xy + TEXCOORD1.xy, 0.0, 1.0);
}
#endif
#if PSH
void psh()
{
  COLOR0 = vec4(0.0, 1.0, 0.0, 1.0);
}
#endif
)";

struct SolidVertex
{
  float x, y, z, w;
  uint32_t color;
};
} // namespace devtest
