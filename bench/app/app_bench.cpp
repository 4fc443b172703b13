#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include "app/device_link.h"
#include "app/input.h"
#include "app/main_loop.h"
#include "app/settings.h"
#include "core/clock.h"

// The shell's own cost per frame and per event, without a window or a device.

static int64_t fake_now = 0;
static int frames_left = 0;
static int64_t fake_time() { return fake_now; }
static void no_messages() {}
static void update(float) { fake_now += 5000; }
static bool device_ok() { return true; }
static bool render(float)
{
  fake_now += 10000; // 1 ms a frame
  if (--frames_left <= 0)
    request_quit();
  return true;
}
static void present() {}
static bool no_gpu(int &) { return false; }
static void no_sleep(int) {}
static void nothing() {}

// The loop's bookkeeping per presented frame (schedule, histories, input clear).
static void BM_MainLoopPerFrame(benchmark::State &state)
{
  set_ref_time_source(fake_time);
  init_input(nullptr);
  const LoopHooks hooks = {no_messages, update, device_ok, render, present, no_gpu, no_sleep, nothing};
  const int frames = 10000;
  for (auto _ : state)
  {
    reset_quit_request();
    frames_left = frames;
    benchmark::DoNotOptimize(run_main_loop(hooks));
  }
  state.SetItemsProcessed(state.iterations() * frames);
  set_ref_time_source(nullptr);
}
BENCHMARK(BM_MainLoopPerFrame)->Unit(benchmark::kMillisecond);

// One key event through the queue: post, read back, and the per-update clear.
static void BM_InputEventRoundTrip(benchmark::State &state)
{
  init_input(nullptr);
  standin_set_size(1280, 720);
  InputEvent ev;
  for (auto _ : state)
  {
    for (int i = 0; i < 64; i++)
      post_input_event(IEV_MOUSE_MOVE, 0, 0, 0, float(i), float(i));
    while (getEvent(ev))
      benchmark::DoNotOptimize(ev);
    clear_input();
  }
  state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_InputEventRoundTrip);

// What parse_options costs at start-up: three reads of a small settings file.
static void BM_ParseOptionsWithStoredSettings(benchmark::State &state)
{
  char tmpl[] = "/tmp/zarnith_bench_XXXXXX";
  if (!mkdtemp(tmpl))
  {
    state.SkipWithError("no temporary directory");
    return;
  }
  setenv("XDG_CONFIG_HOME", tmpl, 1);
  set_config_int("flags", 0xd);
  set_config_int("land_shadows", 2);
  set_config_str("gfx_quality", "high", -1);
  const char *argv[] = {"zarnith", "-360", "-novs"};
  for (auto _ : state)
    parse_options(3, argv);
  std::string cmd = std::string("rm -rf '") + tmpl + "'";
  (void)!system(cmd.c_str());
}
BENCHMARK(BM_ParseOptionsWithStoredSettings)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
