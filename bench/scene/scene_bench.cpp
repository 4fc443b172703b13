// One whole scene frame through the pipelines at 640 x 360 and 1280 x 720: both
// qualities, MLAA off and on. The terrain is a stand-in (a lit ground plane over the
// lower part of the screen, water over its left half), so this measures the passes of
// the pipeline itself: geometry buffer, shadow blur, light, composition, sky, MLAA and
// the final pass. Wall time per frame, the GPU finished each time.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include "core/gfx_settings.h"
#include "core/globals.h"
#include "core/paths.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/scene_render.h"
#include "render/shaders.h"
#include "render/sky.h"

namespace
{
const char *const stand_in_sh = R"(#include "gbuffer.inc"
VARYING float depth;
VARYING vec3 wpos;
#if VSH
in vec4 POSITION0;
void vsh()
{
  vec4 p = vec4(POSITION0.xyz, 1.0);
  gl_Position = p.x * vc[0] + p.y * vc[1] + p.z * vc[2] + vc[3];
  depth = gb_view_depth(p);
  wpos = p.xyz;
}
#endif
#if PSH
void psh()
{
  vec3 n = normalize(vec3(sin(wpos.x * 0.3) * 0.3, 1.0, cos(wpos.z * 0.2) * 0.3));
#if defined(DEFERRED) && defined(WATER)
  gb_write_water(depth, n, 0.8, 0.0);
#elif defined(DEFERRED)
  gb_write_land(depth, n, vec3(0.3, 0.45, 0.2), 0.9);
#elif defined(WATER)
  COLOR0 = vec4(0.1, 0.3, 0.6, 1.0);
#else
  COLOR0 = vec4(vec3(0.3, 0.6, 0.2) * max(n.y, 0.2), 1.0);
#endif
}
#endif
)";

VertexBuffer *vb = nullptr;
IndexBuffer *ib = nullptr;
VDecl decl = nullptr;
Shader *land = nullptr, *water = nullptr;
int cur_quality = -1;

void rect(Shader *sh, float x0, float x1, float z0, float z1, float y)
{
  float *v = (float *)lock_vb(vb, 0, 0);
  const float p[12] = {x0, y, z0, x1, y, z0, x0, y, z1, x1, y, z1};
  memcpy(v, p, sizeof(p));
  unlock_vb(vb);
  set_cull_mode(0);
  set_vdecl(decl);
  set_vb(0, vb, 0, 12);
  set_ib(ib);
  set_shader(sh);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
}
void draw_land() { rect(land, -300.f, 300.f, -50.f, 300.f, 0.f); }
void draw_water() { rect(water, -300.f, 0.f, -50.f, 300.f, 0.5f); }

Matrix44 camera()
{
  Matrix44 itm = Matrix44::identity();
  float p = 0.15f;
  itm.setRow(1, vec4f(0.f, std::cos(p), std::sin(p), 0.f));
  itm.setRow(2, vec4f(0.f, -std::sin(p), std::cos(p), 0.f));
  itm.setRow(3, vec4f(0.f, 20.f, 0.f, 1.f));
  return itm;
}

void frame(float)
{
  Matrix44 itm = camera(), view, glob;
  inverse44(itm, view);
  set_view_tm(view);
  set_proj_tm(1.2915436f, float(d3d_wd) / float(d3d_ht), 0.1f, 512.f);
  get_glob_tm(glob);
  set_vs_consts(0, &glob.m[0][0], 4);
  set_vs_consts(4, &itm.m[0][0], 4);
  if (gfx_quality == 1)
    render_scene_deferred(itm, 0.f, 0.f);
  else
    render_scene_forward(0.f, 0.f);
  draw_final_image();
}

bool open(int quality, int w, int h)
{
  static SDL_Window *wnd = nullptr;
  if (!wnd)
  {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/zarnith_scene_bench_XXXXXX";
    if (!mkdtemp(tmpl))
      return false;
    std::string dir = tmpl;
    fs::create_directories(dir + "/cache");
    for (const auto &e : fs::directory_iterator(ZARNITH_SOURCE_BIN_DIR))
    {
      std::string ext = e.path().extension().string();
      if (e.is_regular_file() && (ext == ".sh" || ext == ".inc" || ext == ".nut"))
        fs::copy_file(e.path(), dir + "/" + e.path().filename().string());
    }
    std::ofstream(dir + "/stand_in.sh") << stand_in_sh;
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
      return false;
    app_use_vsync = false;
    wnd = SDL_CreateWindow("zarnith bench", 0, 0, w, h, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!wnd || !init_d3d(wnd, w, h))
      return false;
    common_vb_writer.init(65536);
    vb = create_vb(48, 0);
    ib = create_ib(6, BUF_STATIC);
    uint16_t *ip = (uint16_t *)lock_ib(ib, 0, 0);
    const uint16_t idx[6] = {0, 2, 1, 1, 2, 3};
    memcpy(ip, idx, sizeof(idx));
    unlock_ib(ib);
    const VsdElement l[] = {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0), vsd_end()};
    decl = create_vdecl(l);
  }
  if (d3d_wd != w || d3d_ht != h)
  {
    SDL_SetWindowSize(wnd, w, h);
    resize_d3d(w, h, false, false);
    if (cur_quality == 1)
      create_quarter_targets();
  }
  if (cur_quality != quality)
  {
    if (cur_quality >= 0)
    {
      destroy_shader(land);
      destroy_shader(water);
      close_scene_render();
    }
    gfx_quality = quality;
    use_postfx = true;
    init_scene_render();
    land = create_shader("stand_in.sh", quality ? "DEFERRED\0 1\0" : "");
    water = create_shader("stand_in.sh", quality ? "DEFERRED\0 1\0WATER\0 1\0" : "WATER\0 1\0");
    scene_hooks = SceneHooks{};
    scene_hooks.render_land = draw_land;
    scene_hooks.render_water = draw_water;
    set_sun_dir(vec4f(0.3f, 1.f, 0.4f, 0.f), false);
    cur_quality = quality;
  }
  return true;
}

// Arguments: quality (0 low, 1 high), MLAA (0, 1), width, height.
void BM_SceneFrame(benchmark::State &state)
{
  if (!open(int(state.range(0)), int(state.range(2)), int(state.range(3))))
  {
    state.SkipWithError("no device");
    return;
  }
  use_ppaa = state.range(1) != 0;
  d3d_hooks.draw_frame = frame;
  auto cpu_seconds = [] {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  };
  double cpu0 = cpu_seconds();
  for (auto _ : state)
  {
    render_d3d_frame(0.f);
    present_d3d();
    flush_gpu();
  }
  // All threads of the process (llvmpipe rasterises on several): less sensitive to
  // other load on the machine than the wall time.
  state.counters["all_threads_ms"] = benchmark::Counter((cpu_seconds() - cpu0) * 1000.0 / double(state.iterations()));
  d3d_hooks.draw_frame = DeviceHooks().draw_frame;
  use_ppaa = false;
}
BENCHMARK(BM_SceneFrame)
  ->ArgNames({"high", "mlaa", "w", "h"})
  ->Apply([](benchmark::internal::Benchmark *b) {
    for (int q = 0; q <= 1; q++)
      for (int aa = 0; aa <= 1; aa++)
      {
        b->Args({q, aa, 640, 360});
        b->Args({q, aa, 1280, 720});
      }
  })
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime();
} // namespace

BENCHMARK_MAIN();
