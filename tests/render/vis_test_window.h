#pragma once
// A hidden window with the device on it, for tests that draw and read pixels back
// (SDL_VIDEODRIVER=offscreen gives llvmpipe). One per test executable, made on first
// use and kept until the process ends; the program directory is the source tree's bin/.
#include <SDL.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "core/paths.h"
#include "render/buffers.h"
#include "render/device.h"

extern "C" unsigned char *stbi_write_png_to_mem(const unsigned char *pixels, int stride_bytes, int x, int y, int n,
                                                int *out_len);

namespace vistest
{
// The repository's bin/ folder, from this header's own path.
inline std::string bin_dir()
{
#ifdef ZARNITH_TEST_BIN
  return ZARNITH_TEST_BIN; // the build's program directory, with its generated assets
#else
  std::string f = __FILE__;
  size_t at = f.rfind("tests/render/");
  return (at == std::string::npos ? std::string("./") : f.substr(0, at)) + "bin/";
#endif
}

struct Window
{
  SDL_Window *wnd = nullptr;
  int w = 0, h = 0;
  bool ok = false;
};

// Opens (once) a w x h device. Later calls with another size resize the device.
inline Window &device(int w = 320, int h = 240)
{
  static Window win;
  if (!win.wnd)
  {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    snprintf(app_path, sizeof(app_path), "%s", bin_dir().c_str());
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
      return win;
    win.wnd = SDL_CreateWindow("zarnith test", 0, 0, w, h, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!win.wnd || !init_d3d(win.wnd, w, h))
      return win;
    common_vb_writer.init(65536);
    win.ok = true;
  }
  if (win.ok && (d3d_wd != w || d3d_ht != h))
  {
    SDL_SetWindowSize(win.wnd, w, h);
    resize_d3d(w, h, false, false);
  }
  win.w = d3d_wd;
  win.h = d3d_ht;
  return win;
}

// The back buffer as 0xAARRGGBB values, top row first.
inline std::vector<uint32_t> read_pixels()
{
  std::vector<uint32_t> px(size_t(d3d_wd) * d3d_ht);
  if (!read_backbuffer(0, 0, d3d_wd, d3d_ht, px.data(), d3d_wd * 4))
    px.clear();
  return px;
}

// Pixel at (x, y) counted from the bottom-left corner, as the text coordinates are.
inline uint32_t at_bl(const std::vector<uint32_t> &px, int x, int y)
{
  return px[size_t(d3d_ht - 1 - y) * d3d_wd + x] | 0xFF000000u;
}

// Writes the pixels as a PNG (for looking at what a test drew), when ZARNITH_TEST_PNG_DIR is set.
inline void save_png(const std::vector<uint32_t> &px, const char *name)
{
  const char *dir = getenv("ZARNITH_TEST_PNG_DIR");
  if (!dir || px.empty())
    return;
  std::vector<uint8_t> rgba(px.size() * 4);
  for (size_t i = 0; i < px.size(); i++)
  {
    rgba[i * 4 + 0] = uint8_t(px[i] >> 16);
    rgba[i * 4 + 1] = uint8_t(px[i] >> 8);
    rgba[i * 4 + 2] = uint8_t(px[i]);
    rgba[i * 4 + 3] = 255;
  }
  int len = 0;
  unsigned char *png = stbi_write_png_to_mem(rgba.data(), d3d_wd * 4, d3d_wd, d3d_ht, 4, &len);
  std::string path = std::string(dir) + "/" + name + ".png";
  if (FILE *f = png ? fopen(path.c_str(), "wb") : nullptr)
  {
    fwrite(png, 1, size_t(len), f);
    fclose(f);
  }
  free(png);
}

// Runs fn as the frame body between the device's begin and end of scene.
inline bool draw_frame_with(void (*fn)(float))
{
  void (*const saved)(float) = d3d_hooks.draw_frame;
  d3d_hooks.draw_frame = fn;
  bool drawn = render_d3d_frame(0.0f);
  for (int i = 0; !drawn && i < 100; i++) // the latency limit may skip a frame
  {
    flush_gpu();
    drawn = render_d3d_frame(0.0f);
  }
  d3d_hooks.draw_frame = saved;
  return drawn;
}
} // namespace vistest

#define REQUIRE_DEVICE(W, H)                                      \
  vistest::Window &win = vistest::device(W, H);                   \
  ASSERT_TRUE(win.ok) << "no OpenGL 4.5 device on SDL offscreen"; \
  (void)win
