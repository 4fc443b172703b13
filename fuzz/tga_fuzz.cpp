// TGA files as the bitmap font loader reads them: accepted images have exactly width x
// height pixels copied from inside the file; refused ones say why.
#include <cstdint>
#include "render/tga.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  int w = -1, h = -1;
  DynArray<uint32_t> pixels;
  const char *err = nullptr;
  if (!parse_tga(data, size, w, h, pixels, &err))
  {
    if (!err || !*err)
      __builtin_trap(); // a refusal without a reason
    return 0;
  }
  if (err || w <= 0 || h <= 0 || pixels.num != w * h || 18 + size_t(w) * size_t(h) * 4 > size)
    __builtin_trap();
  volatile uint32_t sink = pixels.ptr[pixels.num - 1];
  (void)sink;
  return 0;
}
