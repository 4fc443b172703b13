// DDS files as the texture loader reads them: the header is accepted or refused, then
// every level is copied out of the file image (and DXT levels of small textures decoded,
// as the loader does for drivers without S3TC). Reads beyond the image are faults.
#include <cstdint>
#include <cstring>
#include <vector>
#include "render/dds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  DdsInfo info;
  if (!parse_dds(data, size, info))
    return 0;
  if (info.dataOffset > size || info.dataSize > size - info.dataOffset)
    __builtin_trap(); // accepted with levels the file does not hold
  const uint8_t *src = data + info.dataOffset;
  int w = info.width, h = info.height;
  std::vector<uint8_t> level, rgba;
  for (int i = 0; i < info.mips; i++)
  {
    const size_t n = dds_level_size(info.format, w, h);
    level.assign(src, src + n);
    if (dxt_block_bytes(info.format) && size_t(w) * size_t(h) <= 256 * 256)
    {
      rgba.assign(size_t(w) * size_t(h) * 4, 0);
      decode_dxt(info.format, level.data(), w, h, rgba.data());
    }
    src += n;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  if (src != data + info.dataOffset + info.dataSize)
    __builtin_trap(); // dataSize disagrees with the levels
  return 0;
}
