// The common effects under load.
//   BM_UpdateCommonFx: one update_common_fx step with 20 000 particles (half in each
//     pool, drifting under gravity and drag), 500 trails of 16 points and 20 bolts.
//   BM_ParticleInstancesCpu: the CPU part of drawing 5 000 particles of size 1 to 3 with
//     ramps: every instance record of both pools, written to memory.
//   BM_ScriptEffect: one call of an effect of bin/test/fx.nut (a trail for one update, a
//     burst), particles added to the pools.
//   BM_RenderCommonFx: the whole effects pass for those particles at 1280 x 720 on the
//     device (llvmpipe under SDL offscreen by default): buffer fill, both particle
//     passes and the composite, the GPU finished each time; with the floating-point
//     effects target and with T1 + T2.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#include "core/gfx_settings.h"
#include "core/global_ramps.h"
#include "core/globals.h"
#include "core/paths.h"
#include "render/buffers.h"
#include "render/common_fx.h"
#include "render/device.h"
#include "render/scene_render.h"
#include "render/sky.h"
#include "script/fx_script.h"

namespace
{
float rnd(uint32_t &s)
{
  s = s * 1664525u + 1013904223u;
  return float(s >> 8) / 16777216.f;
}

// n particles in a 60 x 30 x 60 box in front of the camera (which looks along +z).
void spawn_particles(int n, float life, uint32_t seed)
{
  for (int i = 0; i < n; i++)
  {
    vec4f p(rnd(seed) * 60.f - 30.f, rnd(seed) * 30.f + 5.f, rnd(seed) * 60.f + 20.f, 1.f);
    vec4f v(rnd(seed) - 0.5f, rnd(seed) * 2.f, rnd(seed) - 0.5f, 0.8f);
    vec4f g(0.f, -1.f, 0.f, 0.f);
    float size = 1.f + 2.f * rnd(seed);
    if (i & 1)
      add_glow_particle(p, v, g, life, 0.f, size, D3dColor(0xFFFFA040u), 128.f, 64.f, 64.f, rnd(seed) * 6.f, 1.f,
                        &glow_std_fade_anim, &size_05_2_anim, nullptr);
    else
      add_blend_particle(p, v, g, life, 0.f, size, D3dColor(0x80606060u), 0.f, 0.f, 128.f, rnd(seed) * 6.f, 1.f,
                         &blend_std_fade_anim, &size_05_4_anim, nullptr);
  }
}

// Particles that drift for thousands of steps end with denormal velocities, which no
// effect ever lives to see: the load is rebuilt every 100 steps (5 s of effects).
void load_update_scene()
{
  reset_common_fx();
  uint32_t seed = 7;
  spawn_particles(20000, 1e9f, seed);
  for (int t = 0; t < 500; t++)
  {
    vec4f p(rnd(seed) * 256.f, 20.f, rnd(seed) * 256.f, 1.f), v(0.f, 0.3f, 0.f, 0.f), side(0.f, 0.5f, 0.f, 0.f);
    int tr = add_trail_fx(p, v, side, 0.5f, D3dColor(0xFFFFFFFFu));
    for (int k = 1; k < TRAIL_POINTS; k++)
      add_trail_point(tr, p + vec4f(float(k), 0.f, 0.f, 0.f), v, side);
  }
  for (int b = 0; b < 20; b++)
    add_lightning_fx(vec4f(rnd(seed) * 256.f, 80.f, rnd(seed) * 256.f, 1.f), vec4f(128.f, 0.f, 128.f, 1.f), vec4f(0.f),
                     0.5f, 4.f, 3.f, 1e9f, D3dColor(0xFFC0E0FFu), 32);
}

void BM_UpdateCommonFx(benchmark::State &state)
{
  load_update_scene();
  int steps = 0;
  for (auto _ : state)
  {
    if (++steps == 100)
    {
      state.PauseTiming();
      load_update_scene();
      steps = 0;
      state.ResumeTiming();
    }
    update_common_fx(0.05f);
  }
  state.counters["particles"] = double(fx_blend_pool.alive + fx_glow_pool.alive);
  reset_common_fx();
}
BENCHMARK(BM_UpdateCommonFx)->Unit(benchmark::kMicrosecond);

void BM_ParticleInstancesCpu(benchmark::State &state)
{
  reset_common_fx();
  spawn_particles(5000, 1e9f, 11);
  update_common_fx(0.05f);
  std::vector<FxInstance> out(5000);
  const vec4f cam(0.f, 20.f, 0.f, 1.f);
  int n = 0;
  for (auto _ : state)
  {
    n = fx_pool_instances(fx_blend_pool, 0.02f, 0.4f, cam, out.data(), 5000);
    n += fx_pool_instances(fx_glow_pool, 0.02f, 0.4f, cam, out.data() + n, 5000 - n);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["instances"] = double(n);
  reset_common_fx();
}
BENCHMARK(BM_ParticleInstancesCpu)->Unit(benchmark::kMicrosecond);

void BM_ScriptEffect(benchmark::State &state, const char *effect, float t)
{
  static bool opened = false;
  if (!opened)
  {
    snprintf(app_path, sizeof(app_path), "%s", ZARNITH_SOURCE_BIN_DIR);
    FxScriptHooks h;
    h.add_blend_particle = add_blend_particle;
    h.add_glow_particle = add_glow_particle;
    h.add_lightning_fx = add_lightning_fx;
    h.reset_common_fx = reset_common_fx;
    fx_script_hooks = h;
    init_fx_script();
    opened = true;
  }
  reset_common_fx();
  int calls = 0;
  for (auto _ : state)
  {
    call_fx_script(effect, vec4f(128.f, 5.f, 128.f, 1.f), vec4f(0.f, 1.f, 0.f, 0.f), vec4f(1.f, 0.f, 0.f, 0.f), t);
    if (++calls == 50)
    {
      state.PauseTiming();
      reset_common_fx();
      calls = 0;
      state.ResumeTiming();
    }
  }
  state.counters["particles_per_call"] = double(fx_blend_pool.alive + fx_glow_pool.alive) / double(calls ? calls : 1);
  reset_common_fx();
}
BENCHMARK_CAPTURE(BM_ScriptEffect, fireball_trail_step, "fireball_trail", 0.05f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ScriptEffect, fireball_explode, "fireball_explode", 1.f)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ScriptEffect, meteor_explode, "meteor_explode", 1.f)->Unit(benchmark::kMicrosecond);

bool open_device()
{
  static int state = 0;
  if (state)
    return state > 0;
  state = -1;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/zarnith_fx_bench_XXXXXX";
  if (!mkdtemp(tmpl))
    return false;
  std::string dir = tmpl;
  fs::create_directories(dir + "/cache");
  for (const auto &e : fs::directory_iterator(ZARNITH_SOURCE_BIN_DIR))
  {
    std::string ext = e.path().extension().string();
    if (e.is_regular_file() && (ext == ".sh" || ext == ".inc" || ext == ".nut" || ext == ".dds"))
      fs::copy_file(e.path(), dir + "/" + e.path().filename().string());
  }
  snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
  if (SDL_Init(SDL_INIT_VIDEO) != 0)
    return false;
  app_use_vsync = false;
  SDL_Window *w = SDL_CreateWindow("zarnith bench", 0, 0, 1280, 720, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w || !init_d3d(w, 1280, 720))
    return false;
  common_vb_writer.init(65536);
  gfx_quality = 0;
  init_scene_render();
  init_common_fx();
  state = 1;
  return true;
}

void fx_frame(float)
{
  Matrix44 itm = Matrix44::identity(), view;
  itm.setRow(3, vec4f(0.f, 20.f, 0.f, 1.f));
  inverse44(itm, view);
  set_view_tm(view);
  set_proj_tm(1.2f, 1280.f / 720.f, 0.1f, 512.f);
  set_render_target_texture(0, get_scene_image(), true);
  set_zenable(true);
  set_zwrite(true);
  clear_view(0xFF406080u);
  render_common_fx(0.02f, 0.4f);
  set_backbuffer_target();
}

void BM_RenderCommonFx(benchmark::State &state)
{
  if (!open_device())
  {
    state.SkipWithError("no device");
    return;
  }
  reset_common_fx();
  spawn_particles(5000, 1e9f, 11);
  update_common_fx(0.05f);
  d3d_hooks.draw_frame = fx_frame;
  fx_use_single_rt = state.range(0) != 0 && get_effects_target();
  for (auto _ : state)
  {
    render_d3d_frame(0.f);
    present_d3d();
    flush_gpu();
  }
  d3d_hooks.draw_frame = DeviceHooks().draw_frame;
  reset_common_fx();
}
// Argument: 1 accumulates in the floating-point effects target, 0 in T1 and T2.
BENCHMARK(BM_RenderCommonFx)->ArgName("single_rt")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

BENCHMARK_MAIN();
