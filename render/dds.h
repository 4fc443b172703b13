#pragma once
// DDS header parsing, mip level layout and the software DXT decoder. No GL here.
#include <cstddef>
#include <cstdint>

struct DdsInfo
{
  int width, height;
  int mips;
  int format;            // D3DFMT_DXT1/3/5, A8R8G8B8, X8R8G8B8 or L8
  int pitchOrLinearSize; // as in the file, or computed when the file gives neither
  size_t dataOffset;     // 4 + 124
  size_t dataSize;       // bytes of all levels, tightly packed
};

// Applies every acceptance rule; also refuses files too short for their levels and
// sizes beyond 16384. False: "is not a DDS".
bool parse_dds(const uint8_t *data, size_t size, DdsInfo &out);
// Bytes of one level of w x h pixels in a format (blocks for DXT, tight rows otherwise).
size_t dds_level_size(int format, int w, int h);
// Bytes per block (8 or 16) for DXT formats, 0 for others.
int dxt_block_bytes(int format);
// Decodes one DXT level into w x h RGBA bytes (rows top to bottom).
void decode_dxt(int format, const uint8_t *blocks, int w, int h, uint8_t *rgba);
