#include "render/screenshot.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <stb/stb_image_write.h>
#include "core/clock.h"
#include "core/dyn_array.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/temp_string.h"
#include "render/device.h"

// Exported by libstb but only declared inside the header's implementation section.
extern "C" unsigned char *stbi_write_png_to_mem(const unsigned char *pixels, int stride_bytes, int x, int y, int n,
                                                int *out_len);

static DynArray<uint8_t> capture_pixels;

bool clip_client_to_display(int x, int y, int w, int h, int dx, int dy, int dw, int dh, int &ox, int &oy, int &ow,
                            int &oh)
{
  int x0 = x > dx ? x : dx, y0 = y > dy ? y : dy;
  int x1 = x + w < dx + dw ? x + w : dx + dw;
  int y1 = y + h < dy + dh ? y + h : dy + dh;
  ox = x0;
  oy = y0;
  ow = x1 - x0;
  oh = y1 - y0;
  return ow > 0 && oh > 0;
}

void release_screen_capture() { capture_pixels.release(); }

void *capture_screen(int &width, int &height, int &pitch)
{
  release_screen_capture();
  width = height = pitch = 0;
  SDL_Window *wnd = get_d3d_window();
  if (!wnd || d3d_wd <= 0 || d3d_ht <= 0)
    return nullptr;
  int display = SDL_GetWindowDisplayIndex(wnd);
  SDL_Rect bounds;
  if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0)
    return nullptr;
  int wx = 0, wy = 0;
  SDL_GetWindowPosition(wnd, &wx, &wy);
  int cx, cy, cw, ch;
  // Headless runs may ask for the whole frame: the fake display of SDL's offscreen
  // driver (1024 x 768) would cut larger windows.
  const char *whole = getenv("ZARNITH_SCREENSHOT_WHOLE");
  if (whole && whole[0] == '1')
    bounds = SDL_Rect{wx, wy, d3d_wd, d3d_ht};
  if (!clip_client_to_display(wx, wy, d3d_wd, d3d_ht, bounds.x, bounds.y, bounds.w, bounds.h, cx, cy, cw, ch))
    return nullptr;
  const int p = cw * 4;
  capture_pixels.resize(p * ch);
  if (!read_backbuffer(cx - wx, cy - wy, cw, ch, capture_pixels.ptr, p))
  {
    release_screen_capture();
    return nullptr;
  }
  width = cw;
  height = ch;
  pitch = p;
  return capture_pixels.ptr;
}

bool take_screenshot()
{
  const int64_t t0 = get_ref_time();
  debug("screenshot...");
  int w, h, pitch;
  uint8_t *pixels = static_cast<uint8_t *>(capture_screen(w, h, pitch));
  if (!pixels)
    return false;

  TempString<260> name("shots/shot.png");
  time_t now = time(nullptr);
  struct tm lt;
  if (localtime_r(&now, &lt))
    name = TempString<260>::printf("shots/shot%4u_%02u_%02u_%02u_%02u_%02u.png", unsigned(lt.tm_year + 1900),
                                   unsigned(lt.tm_mon + 1), unsigned(lt.tm_mday), unsigned(lt.tm_hour),
                                   unsigned(lt.tm_min), unsigned(lt.tm_sec));

  for (int y = 0; y < h; ++y)
  {
    uint8_t *row = pixels + size_t(y) * pitch;
    for (int x = 0; x < w; ++x)
    {
      uint8_t *px = row + x * 4;
      uint8_t b = px[0];
      px[0] = px[2];
      px[2] = b;
      px[3] = 255;
    }
  }

  TempString<260> path = make_full_path(name);
  int png_len = 0;
  unsigned char *png = stbi_write_png_to_mem(pixels, pitch, w, h, 4, &png_len);
  release_screen_capture();
  bool ok = false;
  if (png && png_len > 0)
  {
    FILE *f = fopen(path, "wb");
    if (f)
    {
      ok = fwrite(png, 1, size_t(png_len), f) == size_t(png_len);
      ok = (fclose(f) == 0) && ok;
      if (!ok)
        remove(path); // no half-written pictures
    }
  }
  free(png);
  if (!ok)
  {
    debug("failed to save screenshot to '%s'", path.c_str());
    return false;
  }
  debug("screenshot captured to '%s' in %d ms", path.c_str(), get_time_msec(get_ref_time() - t0));
  return true;
}
