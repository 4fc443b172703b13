#pragma once
// Small helpers shared by the asset generators: DDS preambles for uncompressed 2D
// textures with a mip chain, box-filtered mip levels, and files written through a
// temporary name so that an interrupted build never leaves half an asset behind.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace asset
{
inline void put32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
  out[at + 2] = uint8_t(v >> 16);
  out[at + 3] = uint8_t(v >> 24);
}

// The 128-byte preamble of a w x h texture with mips levels: 4 channels (A8R8G8B8, memory
// order B, G, R, A) or 1 channel (L8).
inline std::vector<uint8_t> dds_header(int w, int h, int mips, int channels)
{
  std::vector<uint8_t> d(128, 0);
  memcpy(d.data(), "DDS ", 4);
  put32(d, 4, 124);
  put32(d, 8, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000); // CAPS HEIGHT WIDTH PITCH PIXELFORMAT MIPMAPCOUNT
  put32(d, 12, uint32_t(h));
  put32(d, 16, uint32_t(w));
  put32(d, 20, uint32_t(w * channels));
  put32(d, 28, uint32_t(mips));
  put32(d, 76, 32);
  if (channels == 4)
  {
    put32(d, 80, 0x40 | 0x1); // RGB | ALPHAPIXELS
    put32(d, 88, 32);
    put32(d, 92, 0x00FF0000);
    put32(d, 96, 0x0000FF00);
    put32(d, 100, 0x000000FF);
    put32(d, 104, 0xFF000000);
  }
  else
  {
    put32(d, 80, 0x20000); // LUMINANCE
    put32(d, 88, 8);
    put32(d, 92, 0xFF);
  }
  put32(d, 108, 0x1000 | 0x400000 | 0x8); // TEXTURE | MIPMAP | COMPLEX
  return d;
}

// Levels of a w x h picture with `channels` bytes per texel: level 0 as given, each
// further level the 2 x 2 box average of the one above (odd sizes round down, at least
// 1), down to 1 x 1 or to max_levels levels (0: no limit).
inline std::vector<std::vector<uint8_t>> mip_chain(std::vector<uint8_t> top, int w, int h, int channels,
                                                   int max_levels = 0)
{
  std::vector<std::vector<uint8_t>> levels{std::move(top)};
  while ((w > 1 || h > 1) && (max_levels <= 0 || int(levels.size()) < max_levels))
  {
    const std::vector<uint8_t> &up = levels.back();
    const int uw = w;
    const int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
    std::vector<uint8_t> l(size_t(nw) * nh * channels);
    for (int y = 0; y < nh; y++)
      for (int x = 0; x < nw; x++)
        for (int c = 0; c < channels; c++)
        {
          const int x0 = 2 * x, x1 = w > 1 ? 2 * x + 1 : 2 * x, y0 = 2 * y, y1 = h > 1 ? 2 * y + 1 : 2 * y;
          int sum = up[(size_t(y0) * uw + x0) * channels + c] + up[(size_t(y0) * uw + x1) * channels + c] +
                    up[(size_t(y1) * uw + x0) * channels + c] + up[(size_t(y1) * uw + x1) * channels + c];
          l[(size_t(y) * nw + x) * channels + c] = uint8_t((sum + 2) / 4);
        }
    levels.push_back(std::move(l));
    w = nw;
    h = nh;
  }
  return levels;
}

// A whole DDS file: preamble and every level of the chain (at most max_levels; 0: all).
inline std::vector<uint8_t> dds_file(std::vector<uint8_t> top, int w, int h, int channels, int max_levels = 0)
{
  auto levels = mip_chain(std::move(top), w, h, channels, max_levels);
  std::vector<uint8_t> out = dds_header(w, h, int(levels.size()), channels);
  for (const auto &l : levels)
    out.insert(out.end(), l.begin(), l.end());
  return out;
}

// The whole file; false when it cannot be read or is empty.
inline bool read_file(const char *name, std::vector<unsigned char> &data)
{
  FILE *f = fopen(name, "rb");
  if (!f)
    return false;
  bool ok = fseek(f, 0, SEEK_END) == 0;
  long size = ok ? ftell(f) : -1;
  ok = ok && size > 0 && fseek(f, 0, SEEK_SET) == 0;
  if (ok)
  {
    data.resize(size_t(size));
    ok = fread(data.data(), 1, data.size(), f) == data.size();
  }
  fclose(f);
  return ok;
}

// Writes data to path through path + ".tmp" and a rename. Reports failures on stderr
// with the tool's name.
inline bool write_file(const char *tool, const std::string &path, const void *data, size_t size)
{
  const std::string tmp = path + ".tmp";
  FILE *f = fopen(tmp.c_str(), "wb");
  if (!f)
  {
    fprintf(stderr, "%s: can't write '%s'\n", tool, path.c_str());
    return false;
  }
  bool ok = fwrite(data, 1, size, f) == size;
  ok = fclose(f) == 0 && ok;
  if (ok)
    ok = rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok)
  {
    remove(tmp.c_str());
    fprintf(stderr, "%s: error writing '%s'\n", tool, path.c_str());
  }
  return ok;
}

inline bool write_file(const char *tool, const std::string &path, const std::vector<uint8_t> &data)
{
  return write_file(tool, path, data.data(), data.size());
}

inline bool write_text(const char *tool, const std::string &path, const std::string &text)
{
  return write_file(tool, path, text.data(), text.size());
}
} // namespace asset
