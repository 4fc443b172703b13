#pragma once
// A scratch program directory for the scene and sky tests: the shaders, includes and
// scripts of bin/ copied into a fresh folder, which becomes app_path until the object
// goes. Tests write their own scripts and shaders there.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include "core/gfx_settings.h"
#include "core/paths.h"
#include "render/device.h"
#include "render/scene_render.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "tests/render/vis_test_window.h"

namespace scenetest
{
// World positions through vc[0..3]. Deferred: into the geometry buffer; forward: flat
// colours. WATER selects the water variant.
inline const char *const test_land_sh = "#include \"gbuffer.inc\"\n"
                                        "VARYING float depth;\n"
                                        "#if VSH\n"
                                        "in vec4 POSITION0;\n"
                                        "void vsh()\n"
                                        "{\n"
                                        "  vec4 p = vec4(POSITION0.xyz, 1.0);\n"
                                        "  gl_Position = p.x * vc[0] + p.y * vc[1] + p.z * vc[2] + vc[3];\n"
                                        "  depth = gb_view_depth(p);\n"
                                        "}\n"
                                        "#endif\n"
                                        "#if PSH\n"
                                        "void psh()\n"
                                        "{\n"
                                        "#if defined(DEFERRED) && defined(WATER)\n"
                                        "  gb_write_water(depth, vec3(0.0, 1.0, 0.0), 0.9, 0.0);\n"
                                        "#elif defined(DEFERRED)\n"
                                        "  gb_write_land(depth, vec3(0.0, 1.0, 0.0), vec3(0.25, 0.5, 0.15), 1.0);\n"
                                        "#elif defined(WATER)\n"
                                        "  COLOR0 = vec4(0.1, 0.3, 0.6, 1.0);\n"
                                        "#else\n"
                                        "  COLOR0 = vec4(0.3, 0.6, 0.2, 1.0);\n"
                                        "#endif\n"
                                        "}\n"
                                        "#endif\n";

// A camera at pos looking along +z, pitched down by pitch (radians): its world matrix.
inline Matrix44 pitched_camera(vec4f pos, float pitch)
{
  Matrix44 itm = Matrix44::identity();
  itm.setRow(1, vec4f(0.f, std::cos(pitch), std::sin(pitch), 0.f));
  itm.setRow(2, vec4f(0.f, -std::sin(pitch), std::cos(pitch), 0.f));
  itm.setRow(3, vec4f(pos.x, pos.y, pos.z, 1.f));
  return itm;
}

// What the frame set-up does for the camera itm: the device's view and projection (the
// program's field of view, near 0.1, far 512), VC_GLOB_TM and VC_CAMERA_TM, the sky.
inline void set_frame_camera(const Matrix44 &itm)
{
  Matrix44 view;
  inverse44(itm, view);
  set_view_tm(view);
  set_proj_tm(1.2915436f, float(d3d_wd) / float(d3d_ht), 0.1f, 512.f);
  Matrix44 glob;
  get_glob_tm(glob);
  set_vs_consts(VC_GLOB_TM, &glob.m[0][0], VC_GLOB_TM_COUNT);
  set_vs_consts(VC_CAMERA_TM, &itm.m[0][0], VC_CAMERA_TM_COUNT);
  update_sky(1.f);
}

// One frame of the pipeline of gfx_quality from the camera itm, and the final image.
inline void draw_pipeline_frame(const Matrix44 &itm, int quality)
{
  set_frame_camera(itm);
  if (quality == GFX_QUALITY_HIGH)
    render_scene_deferred(itm, 0.f, 0.f);
  else
    render_scene_forward(0.f, 0.f);
  draw_final_image();
}

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
