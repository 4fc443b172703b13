#include "render/screenshot.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <stb/stb_image_write.h>
#include <unistd.h>
#include "core/clock.h"
#include "core/dyn_array.h"
#include "core/log.h"
#include "core/temp_string.h"
#include "core/user_dirs.h"
#include "render/device.h"

// Exported by libstb but only declared inside the header's implementation section.
extern "C" unsigned char *stbi_write_png_to_mem(const unsigned char *pixels, int stride_bytes, int x, int y, int n,
                                                int *out_len);

static DynArray<uint8_t> capture_pixels;

void release_screen_capture() { capture_pixels.release(); }

void *capture_screen(int &width, int &height, int &pitch)
{
  release_screen_capture();
  width = height = pitch = 0;
  if (!get_d3d_window() || d3d_wd <= 0 || d3d_ht <= 0)
    return nullptr;
  const int p = d3d_wd * 4;
  capture_pixels.resize(p * d3d_ht);
  if (!read_backbuffer(0, 0, d3d_wd, d3d_ht, capture_pixels.ptr, p))
  {
    release_screen_capture();
    return nullptr;
  }
  width = d3d_wd;
  height = d3d_ht;
  pitch = p;
  return capture_pixels.ptr;
}

// Creates the first free name of base.png, base_2.png, base_3.png ... in dir, exclusively,
// so that no picture replaces another. The descriptor, or -1 with path the last name tried.
static int create_unique(const char *dir, const char *base, TempString<260> &path)
{
  for (int n = 1; n <= 1000; n++)
  {
    path = n == 1 ? TempString<260>::printf("%s%s.png", dir, base)
                  : TempString<260>::printf("%s%s_%d.png", dir, base, n);
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  return -1;
}

static bool write_all(int fd, const unsigned char *data, size_t size)
{
  while (size > 0)
  {
    const ssize_t w = write(fd, data, size);
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      return false;
    data += w;
    size -= size_t(w);
  }
  return true;
}

// In the log and on the error strip, beside whatever the strip already shows.
static bool report_failure(const char *what)
{
  debug("%s", what);
  if (has_error_message())
    append_error_message(what, -1);
  else
    set_error_message(what);
  return false;
}

bool take_screenshot()
{
  const int64_t t0 = get_ref_time();
  debug("screenshot...");
  int w, h, pitch;
  uint8_t *pixels = static_cast<uint8_t *>(capture_screen(w, h, pitch));
  if (!pixels)
    return report_failure("screenshot failed: can't read the frame");

  TempString<64> base("shot");
  const time_t now = time(nullptr);
  struct tm lt;
  if (localtime_r(&now, &lt))
    base = TempString<64>::printf("shot%4u_%02u_%02u_%02u_%02u_%02u", unsigned(lt.tm_year + 1900),
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

  int png_len = 0;
  unsigned char *png = stbi_write_png_to_mem(pixels, pitch, w, h, 4, &png_len);
  release_screen_capture();
  const TempString<260> dir = screenshot_dir();
  TempString<260> path = TempString<260>::printf("shots/%s.png", base.c_str()); // the folder could not be made
  bool ok = false;
  if (png && png_len > 0 && dir.c_str()[0])
  {
    const int fd = create_unique(dir, base, path);
    if (fd >= 0)
    {
      ok = write_all(fd, png, size_t(png_len));
      ok = close(fd) == 0 && ok;
      if (!ok)
        unlink(path); // no half-written pictures
    }
  }
  free(png);
  if (!ok)
    return report_failure(TempString<320>::printf("failed to save screenshot to '%s'", path.c_str()));
  debug("screenshot captured to '%s' in %d ms", path.c_str(), get_time_msec(get_ref_time() - t0));
  return true;
}
