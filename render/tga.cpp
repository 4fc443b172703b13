// TGA reading for the bitmap font: type 2, 32 bits per pixel, pixels in file order.
#include "render/tga.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "core/log.h"
#include "core/paths.h"
#include "render/textures.h"

bool parse_tga(const uint8_t *d, size_t size, int &width, int &height, DynArray<uint32_t> &pixels, const char **error)
{
  const char *err = nullptr;
  if (!d || size < 18)
    err = "unexpected end of file";
  else if (d[2] != 2 || d[16] != 32)
    err = "unsupported TGA format";
  else
  {
    int w = d[12] | d[13] << 8, h = d[14] | d[15] << 8;
    if (w == 0 || h == 0)
      err = "zero-sized TGA image";
    else if ((size - 18) / 4 < size_t(w) * size_t(h))
      err = "unexpected end of file";
    else
    {
      width = w, height = h;
      pixels.resize(w * h);
      memcpy(pixels.ptr, d + 18, size_t(w) * h * 4);
    }
  }
  if (error)
    *error = err;
  return !err;
}

bool load_tga(const char *name, int &width, int &height, DynArray<uint32_t> &pixels)
{
  TempString<260> path = make_full_path(name);
  DynArray<uint8_t> data;
  if (!read_whole_file(path, data))
    return false;
  const char *err = nullptr;
  if (!parse_tga(data.ptr, size_t(data.size()), width, height, pixels, &err))
  {
    debug("TGA '%s': %s", path.c_str(), err);
    return false;
  }
  return true;
}
