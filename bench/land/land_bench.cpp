// The terrain renderer over a fixed island: CPU builders, and on the device the refresh
// of the GPU copies, the per-frame preparation and the land and water passes at
// 1280 x 720 (wall time, the GPU finished each time).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include "core/gfx_settings.h"
#include "core/paths.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/land_render_internal.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "render/textures.h"

using HD = HeightmapData;

namespace
{
void make_island()
{
  HD::reset();
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
    {
      float d = hypotf(float(x - 128), float(z - 128));
      float h = d < 60.f ? 20.f * (1.f - d / 60.f) + 2.f * sinf(x * 0.3f) * cosf(z * 0.2f) : -4.f;
      HD::height(x, z) = h;
      HD::target_hmap[hmap_index(x, z)] = h;
      HD::Water &w = HD::waterAt(x, z);
      w.depth = h < 0.f ? -h : 0.f;
      w.vel_x = 0.5f * sinf(z * 0.05f);
      w.vel_z = 0.5f * cosf(x * 0.05f);
      w.foam = d > 58.f && d < 64.f ? 0.7f : 0.f;
      HD::surf(x, z).color = h > 0.f ? 0xFF3C8C28u : 0xFFB4A078u;
    }
  memcpy(HD::tmpw, HD::water, sizeof(HD::water));
}

void BM_LandFlowStep(benchmark::State &state)
{
  make_island();
  land_init_flow(land_state);
  for (auto _ : state)
    land_step_flow(land_state, 0.05f, 128, 60);
}
BENCHMARK(BM_LandFlowStep)->Unit(benchmark::kMillisecond);

// Near patches, far mesh, water depth, horizon and water vertices of one frame.
void BM_LandBuildFrame(benchmark::State &state)
{
  make_island();
  land_init_flow(land_state);
  static PatchInstance inst[LAND_NEAR_INSTANCES];
  static LandVertex lv[LAND_FAR_VERTS], hv[LAND_HORIZON_VERTS];
  static uint16_t li[LAND_FAR_INDICES], wi[LAND_WATER_INDICES];
  static WaterVertexHQ wv[LAND_WATER_VERTS];
  const bool hq = state.range(0) != 0;
  land_hooks = LandHooks{};
  for (auto _ : state)
  {
    HD::morphHmap(0.02f, HeightmapRenderer::curh);
    land_build_near(0, -68, HeightmapRenderer::curh, inst);
    land_build_far(0, -68, HeightmapRenderer::curh, lv, li);
    land_interp_depth(0.4f, land_state.curw);
    if (hq)
      land_build_horizon(128, 60, 128.f, 60.f, HeightmapRenderer::curh, land_state.curw, hv);
    benchmark::DoNotOptimize(
      land_build_water(land_state, hq, 0, -68, 0.4f, HeightmapRenderer::curh, land_state.curw, wv, wi));
  }
}
BENCHMARK(BM_LandBuildFrame)->ArgName("high")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// ---- on the device ----

int cur_quality = -1;

bool open(int quality)
{
  static SDL_Window *wnd = nullptr;
  static bool failed = false;
  if (failed)
    return false;
  if (!wnd)
  {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/zarnith_land_bench_XXXXXX";
    if (!mkdtemp(tmpl))
      return !(failed = true);
    std::string dir = tmpl;
    fs::create_directories(dir + "/cache");
    for (const auto &e : fs::directory_iterator(ZARNITH_SOURCE_BIN_DIR))
    {
      std::string ext = e.path().extension().string();
      if (e.is_regular_file() && (ext == ".sh" || ext == ".inc" || ext == ".nut" || ext == ".dds"))
        fs::copy_file(e.path(), dir + "/" + e.path().filename().string());
    }
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    app_use_vsync = false;
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
      return !(failed = true);
    wnd = SDL_CreateWindow("zarnith bench", 0, 0, 1280, 720, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!wnd || !init_d3d(wnd, 1280, 720))
      return !(failed = true);
    common_vb_writer.init(65536);
    init_sky();
    set_sun_dir(vec4f(0.4f, 1.f, -0.5f, 0.f), false);
  }
  if (cur_quality != quality)
  {
    gfx_quality = quality;
    land_shadow_quality = 2;
    make_island();
    init_land_render();
    cur_quality = quality;
  }
  return true;
}

void set_camera()
{
  float p = 0.6f;
  Matrix44 itm = Matrix44::identity(), view, glob;
  itm.setRow(1, vec4f(0.f, cosf(p), sinf(p), 0.f));
  itm.setRow(2, vec4f(0.f, -sinf(p), cosf(p), 0.f));
  itm.setRow(3, vec4f(128.f, 45.f, 40.f, 1.f));
  inverse44(itm, view);
  set_view_tm(view);
  set_proj_tm(1.2915436f, 1280.f / 720.f, 0.1f, 512.f);
  get_glob_tm(glob);
  set_vs_consts(0, &glob.m[0][0], 4);
  set_vs_consts(4, &itm.m[0][0], 4);
}

// Arguments: quality, refresh (the world changed since the last frame).
void BM_LandPrepare(benchmark::State &state)
{
  if (!open(int(state.range(0))))
    return state.SkipWithError("no device");
  set_camera();
  for (auto _ : state)
  {
    if (state.range(1))
      request_land_refresh();
    prepare_land_render(land_view_from_device(), 0.02f);
    flush_gpu();
  }
}
BENCHMARK(BM_LandPrepare)->ArgNames({"high", "refresh"})->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// The land and water passes into a plain colour target with depth (forward shaders at
// low quality, the geometry-buffer shaders at high quality writing only target 0).
void BM_LandDraw(benchmark::State &state)
{
  if (!open(int(state.range(0))))
    return state.SkipWithError("no device");
  static Texture *target = nullptr, *below = nullptr;
  if (!target)
  {
    target = create_rt_texture(0, 0, 1);
    below = create_rt_texture(0, 0, 1);
  }
  set_camera();
  prepare_land_render(land_view_from_device(), 0.02f);
  for (auto _ : state)
  {
    set_render_target_texture(0, target, true);
    clear_view(0xFF000000);
    set_zenable(true);
    set_zwrite(true);
    set_sky_ps_consts(0);
    render_land();
    if (state.range(0))
    {
      set_texture(8, below);
      set_tex_address(8, TEXADDR_CLAMP);
    }
    render_water(0.4f);
    flush_gpu();
  }
  set_backbuffer_target();
}
BENCHMARK(BM_LandDraw)->ArgName("high")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
