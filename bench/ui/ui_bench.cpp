// Frame costs of the text layer at 1280 x 720: an empty frame, the statistics overlay,
// a screen of text, and batch recording and rendering. Each iteration draws, presents
// and waits for the GPU, so the times are whole frames.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include "core/frame_stats.h"
#include "core/gfx_settings.h"
#include "core/log.h"
#include "core/paths.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/render_batch.h"
#include "ui/stats_overlay.h"
#include "ui/text.h"

namespace
{
bool open_device()
{
  static int state = 0; // 0 untried, 1 ok, -1 failed
  if (state)
    return state > 0;
  state = -1;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  snprintf(app_path, sizeof(app_path), "%s", ZARNITH_SOURCE_BIN_DIR);
  if (SDL_Init(SDL_INIT_VIDEO) != 0)
    return false;
  SDL_Window *w = SDL_CreateWindow("zarnith bench", 0, 0, 1280, 720, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w || !init_d3d(w, 1280, 720))
    return false;
  app_use_vsync = false;
  common_vb_writer.init(65536);
  init_font();
  for (int i = 0; i < STAT_HISTORY; i++)
  {
    frame_stats.frame_time[i] = 15000 + (i * 7919) % 10000;
    frame_stats.update_time[i] = 1000 + (i * 104729) % 4000;
    frame_stats.gpu_load[i] = -1;
  }
  frame_stats.fps = 60;
  state = 1;
  return true;
}

void run_frames(benchmark::State &st, void (*body)(float))
{
  if (!open_device())
  {
    st.SkipWithError("no device");
    return;
  }
  d3d_hooks.draw_frame = body;
  for (auto _ : st)
  {
    while (!render_d3d_frame(0.0f))
      ;
    present_d3d();
    flush_gpu();
  }
  d3d_hooks.draw_frame = DeviceHooks().draw_frame;
}

void clear_frame()
{
  set_backbuffer_target();
  clear_view(D3dColor(0xFF203040u));
}

void BM_EmptyFrame(benchmark::State &st)
{
  run_frames(st, [](float) { clear_frame(); });
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StatsOverlayFrame(benchmark::State &st)
{
  run_frames(st, [](float) {
    clear_frame();
    start_draw_text();
    draw_error_message();
    draw_help_text("F1: show/hide this\nF9: game/dev mode\nWASD/arrows: move\nShift: move faster\n"
                   "F5: toggle post-effect\nF6: toggle anti-aliasing\nRight mouse: set sun position\n");
    draw_stats_overlay(frame_stats, 500000); // 1/20 s in 10 MHz ticks
    end_draw_text();
  });
}
BENCHMARK(BM_StatsOverlayFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScreenOfTextFrame(benchmark::State &st)
{
  run_frames(st, [](float) {
    clear_frame();
    start_draw_text();
    for (int y = 0; y < 720; y += 16)
      draw_text("The quick brown fox jumps over the lazy dog 0123456789 !\"#$%&'()*+,-./:;<=>?", -1, 0, y, -1, -1,
                D3dColor(0xFFFFFFFFu));
    end_draw_text();
  });
}
BENCHMARK(BM_ScreenOfTextFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Recording only: 1000 rectangles and 100 texts into a batch, then clear.
void BM_BatchRecord(benchmark::State &st)
{
  if (!open_device())
  {
    st.SkipWithError("no device");
    return;
  }
  RenderBatch b(0x8000);
  for (auto _ : st)
  {
    for (int i = 0; i < 1000; i++)
      batch_rect(b, (i * 37) % 1200, (i * 53) % 700, (i * 37) % 1200 + 20, (i * 53) % 700 + 10, D3dColor(0xFF00FF00u));
    for (int i = 0; i < 100; i++)
      batch_text(b, "batched label", -1, (i * 97) % 1200, (i * 31) % 700, -1, -1, D3dColor(0xFFFFFFFFu));
    benchmark::DoNotOptimize(b.groupCount());
    b.clear();
  }
  st.SetItemsProcessed(st.iterations() * 1100);
}
BENCHMARK(BM_BatchRecord)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
