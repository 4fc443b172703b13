#pragma once
// The program's start-up up to the bitmap font, and its end, for benchmarks that draw
// whole frames: the platform, a window of w x h, input, the device without vsync, the
// shared vertex writer, the font and the splash. The program directory is bin/ of the
// source tree; SDL's video driver defaults to offscreen.
#include <cstdio>
#include <cstdlib>
#include "app/device_link.h"
#include "app/input.h"
#include "app/startup.h"
#include "app/window.h"
#include "core/gfx_settings.h"
#include "core/paths.h"
#include "core/splash.h"
#include "render/buffers.h"
#include "render/device.h"
#include "ui/text.h"

inline bool start_bench_device(int w, int h)
{
  snprintf(app_path, sizeof(app_path), "%s/", ZARNITH_BIN_DIR);
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (!init_platform() || !create_main_window(false, w, h))
    return false;
  init_input(main_window);
  app_use_vsync = false;
  if (!init_d3d(main_window, w, h, shell_device_hooks()))
    return false;
  device_link = {&d3d_wd, &d3d_ht, [](int nw, int nh, bool fs, bool force) { resize_d3d(nw, nh, fs, force); }};
  common_vb_writer.init(0x10000);
  init_font();
  splash_hooks.show = show_splash;
  return true;
}

inline void stop_bench_device()
{
  close_font();
  common_vb_writer.close();
  close_d3d();
  close_platform();
}
