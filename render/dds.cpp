// DDS header acceptance and level layout, and a DXT1/3/5 decoder for drivers without
// S3TC support.
#include "render/dds.h"
#include <cstring>
#include "render/textures.h"

namespace
{
uint32_t rd32(const uint8_t *p)
{
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr uint32_t DDS_MAGIC = 0x20534444;
constexpr uint32_t DDSD_REQUIRED = 0x1007; // CAPS | HEIGHT | WIDTH | PIXELFORMAT
constexpr uint32_t DDSD_PITCH = 0x8, DDSD_LINEARSIZE = 0x80000;
constexpr uint32_t DDSCAPS_TEXTURE = 0x1000, DDSCAPS_MIPMAP = 0x400000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1, DDPF_FOURCC = 0x4, DDPF_RGB = 0x40, DDPF_LUMINANCE = 0x20000;
constexpr int MAX_DDS_SIZE = 16384;

// Header field offsets from the start of the file (magic included).
enum
{
  H_SIZE = 4,
  H_FLAGS = 8,
  H_HEIGHT = 12,
  H_WIDTH = 16,
  H_PITCH = 20,
  H_MIPS = 28,
  PF_SIZE = 76,
  PF_FLAGS = 80,
  PF_FOURCC = 84,
  PF_BITS = 88,
  PF_RMASK = 92,
  PF_GMASK = 96,
  PF_BMASK = 100,
  PF_AMASK = 104,
  H_CAPS = 108,
  H_CAPS2 = 112,
  H_END = 128
};
} // namespace

int dxt_block_bytes(int format)
{
  return format == D3DFMT_DXT1 ? 8 : (format == D3DFMT_DXT3 || format == D3DFMT_DXT5) ? 16 : 0;
}

size_t dds_level_size(int format, int w, int h)
{
  if (int bb = dxt_block_bytes(format))
  {
    size_t bw = size_t(w + 3) / 4, bh = size_t(h + 3) / 4;
    return (bw ? bw : 1) * (bh ? bh : 1) * size_t(bb);
  }
  return size_t(w) * size_t(h) * (format == D3DFMT_L8 ? 1 : 4);
}

bool parse_dds(const uint8_t *d, size_t size, DdsInfo &out)
{
  if (!d || size < H_END)
    return false;
  if (rd32(d) != DDS_MAGIC || rd32(d + H_SIZE) != 124 || rd32(d + PF_SIZE) != 32)
    return false;
  uint32_t flags = rd32(d + H_FLAGS);
  if ((flags & DDSD_REQUIRED) != DDSD_REQUIRED)
    return false;
  if ((flags & DDSD_PITCH) && (flags & DDSD_LINEARSIZE))
    return false;
  uint32_t caps = rd32(d + H_CAPS);
  if (!(caps & DDSCAPS_TEXTURE) || rd32(d + H_CAPS2) != 0)
    return false;
  uint32_t w = rd32(d + H_WIDTH), h = rd32(d + H_HEIGHT);
  if (w == 0 || h == 0 || w > MAX_DDS_SIZE || h > MAX_DDS_SIZE)
    return false;
  uint32_t mips = (caps & DDSCAPS_MIPMAP) ? rd32(d + H_MIPS) : 1;
  if (mips == 0)
    mips = 1;
  if (mips > 15)
    return false;

  uint32_t pf = rd32(d + PF_FLAGS), bits = rd32(d + PF_BITS);
  int format;
  uint32_t computed;
  if (pf & DDPF_FOURCC)
  {
    uint32_t cc = rd32(d + PF_FOURCC);
    if (cc == uint32_t(D3DFMT_DXT1) || cc == uint32_t(D3DFMT_DXT3) || cc == uint32_t(D3DFMT_DXT5))
      format = int(cc);
    else
      return false;
    computed = uint32_t(dds_level_size(format, int(w), int(h)));
  }
  else if (pf & DDPF_RGB)
  {
    if (rd32(d + PF_RMASK) != 0x00FF0000 || rd32(d + PF_GMASK) != 0x0000FF00 || rd32(d + PF_BMASK) != 0x000000FF ||
        bits != 32)
      return false;
    if (pf & DDPF_ALPHAPIXELS)
    {
      if (rd32(d + PF_AMASK) != 0xFF000000)
        return false;
      format = D3DFMT_A8R8G8B8;
    }
    else
      format = D3DFMT_X8R8G8B8;
    computed = (w * bits + 7) / 8;
  }
  else if ((pf & DDPF_LUMINANCE) && bits == 8)
  {
    format = D3DFMT_L8;
    computed = w;
  }
  else
    return false;

  out.width = int(w);
  out.height = int(h);
  out.mips = int(mips);
  out.format = format;
  out.pitchOrLinearSize = (flags & (DDSD_PITCH | DDSD_LINEARSIZE)) ? int(rd32(d + H_PITCH)) : int(computed);
  out.dataOffset = H_END;
  size_t total = 0;
  int lw = int(w), lh = int(h);
  for (uint32_t i = 0; i < mips; i++)
  {
    total += dds_level_size(format, lw, lh);
    lw = lw > 1 ? lw / 2 : 1;
    lh = lh > 1 ? lh / 2 : 1;
  }
  out.dataSize = total;
  return size - H_END >= total;
}

namespace
{
void rgb565(uint16_t c, int out[3])
{
  int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  out[0] = (r << 3) | (r >> 2);
  out[1] = (g << 2) | (g >> 4);
  out[2] = (b << 3) | (b >> 2);
}

// Colour part of a block into 16 RGBA texels; dxt1 enables the 3-colour + transparent mode.
void decode_color_block(const uint8_t *b, bool dxt1, uint8_t texel[16][4])
{
  uint16_t c0 = uint16_t(b[0] | b[1] << 8), c1 = uint16_t(b[2] | b[3] << 8);
  int p[4][4];
  rgb565(c0, p[0]);
  rgb565(c1, p[1]);
  p[0][3] = p[1][3] = p[2][3] = 255;
  p[3][3] = 255;
  for (int k = 0; k < 3; k++)
  {
    if (c0 > c1 || !dxt1)
    {
      p[2][k] = (2 * p[0][k] + p[1][k]) / 3;
      p[3][k] = (p[0][k] + 2 * p[1][k]) / 3;
    }
    else
    {
      p[2][k] = (p[0][k] + p[1][k]) / 2;
      p[3][k] = 0;
    }
  }
  if (dxt1 && c0 <= c1)
    p[3][3] = 0;
  uint32_t idx = rd32(b + 4);
  for (int i = 0; i < 16; i++)
  {
    int s = (idx >> (2 * i)) & 3;
    for (int k = 0; k < 4; k++)
      texel[i][k] = uint8_t(p[s][k]);
  }
}
} // namespace

void decode_dxt(int format, const uint8_t *blocks, int w, int h, uint8_t *rgba)
{
  int bw = (w + 3) / 4, bh = (h + 3) / 4, bb = dxt_block_bytes(format);
  for (int by = 0; by < bh; by++)
    for (int bx = 0; bx < bw; bx++)
    {
      const uint8_t *b = blocks + size_t(by * bw + bx) * bb;
      uint8_t t[16][4];
      decode_color_block(format == D3DFMT_DXT1 ? b : b + 8, format == D3DFMT_DXT1, t);
      if (format == D3DFMT_DXT3)
        for (int i = 0; i < 16; i++)
        {
          int a = (b[i / 2] >> ((i & 1) * 4)) & 15;
          t[i][3] = uint8_t(a * 17);
        }
      else if (format == D3DFMT_DXT5)
      {
        int a[8];
        a[0] = b[0], a[1] = b[1];
        if (a[0] > a[1])
          for (int i = 1; i < 7; i++)
            a[i + 1] = ((7 - i) * a[0] + i * a[1]) / 7;
        else
        {
          for (int i = 1; i < 5; i++)
            a[i + 1] = ((5 - i) * a[0] + i * a[1]) / 5;
          a[6] = 0, a[7] = 255;
        }
        uint64_t bits = 0;
        for (int i = 0; i < 6; i++)
          bits |= uint64_t(b[2 + i]) << (8 * i);
        for (int i = 0; i < 16; i++)
          t[i][3] = uint8_t(a[(bits >> (3 * i)) & 7]);
      }
      for (int i = 0; i < 16; i++)
      {
        int x = bx * 4 + (i & 3), y = by * 4 + (i >> 2);
        if (x < w && y < h)
          memcpy(rgba + (size_t(y) * w + x) * 4, t[i], 4);
      }
    }
}
