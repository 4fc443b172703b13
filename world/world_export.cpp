#include "world/world_export.h"
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stb/stb_image_write.h>
#include <string>
#include <sys/stat.h>
#include <vector>
#include "core/log.h"
#include "world/heightmap.h"

// Exported by libstb beside the PNG writer, but not declared in its header.
extern "C" unsigned char *stbi_zlib_compress(unsigned char *data, int data_len, int *out_len, int quality);

using Hm = HeightmapData;

static std::string join(const char *dir, const char *name)
{
  std::string p = dir;
  if (!p.empty() && p.back() != '/')
    p += '/';
  return p + name;
}

// mkdir -p
static bool make_dirs(const char *dir)
{
  std::string p = dir;
  for (size_t i = 1; i <= p.size(); i++)
    if (i == p.size() || p[i] == '/')
    {
      std::string part = p.substr(0, i);
      if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
        return false;
    }
  struct stat st;
  return stat(dir, &st) == 0 && S_ISDIR(st.st_mode);
}

// ---------------------------------------------------------------------------------------
// 16-bit grey PNG (stb writes 8 bits per channel only): the chunks are built here, the
// image data is compressed by stb's zlib writer.

static uint32_t crc32_of(const unsigned char *p, size_t n, uint32_t crc = 0)
{
  static uint32_t table[256];
  if (!table[1])
    for (uint32_t i = 0; i < 256; i++)
    {
      uint32_t c = i;
      for (int k = 0; k < 8; k++)
        c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
  crc = ~crc;
  for (size_t i = 0; i < n; i++)
    crc = table[(crc ^ p[i]) & 255] ^ (crc >> 8);
  return ~crc;
}

static void put32(std::vector<unsigned char> &out, uint32_t v)
{
  for (int s = 24; s >= 0; s -= 8)
    out.push_back((unsigned char)(v >> s));
}

static void put_chunk(std::vector<unsigned char> &out, const char *type, const unsigned char *data, size_t n)
{
  put32(out, uint32_t(n));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + n);
  put32(out, crc32_of(out.data() + start, n + 4));
}

static bool write_grey16_png(const std::string &path, int w, int h, const uint16_t *pixels)
{
  std::vector<unsigned char> raw;
  raw.reserve(size_t(h) * (1 + 2 * w));
  for (int y = 0; y < h; y++)
  {
    raw.push_back(0); // filter: none
    for (int x = 0; x < w; x++)
    {
      uint16_t v = pixels[y * w + x];
      raw.push_back((unsigned char)(v >> 8));
      raw.push_back((unsigned char)(v & 255));
    }
  }
  int zlen = 0;
  unsigned char *z = stbi_zlib_compress(raw.data(), int(raw.size()), &zlen, 8);
  if (!z)
    return false;
  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  unsigned char ihdr[13];
  uint32_t W = uint32_t(w), H = uint32_t(h);
  for (int i = 0; i < 4; i++)
  {
    ihdr[i] = (unsigned char)(W >> (24 - 8 * i));
    ihdr[4 + i] = (unsigned char)(H >> (24 - 8 * i));
  }
  ihdr[8] = 16; // bit depth
  ihdr[9] = 0;  // grey
  ihdr[10] = ihdr[11] = ihdr[12] = 0;
  put_chunk(png, "IHDR", ihdr, sizeof(ihdr));
  put_chunk(png, "IDAT", z, size_t(zlen));
  free(z);
  put_chunk(png, "IEND", nullptr, 0);
  FILE *f = fopen(path.c_str(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
  return fclose(f) == 0 && ok;
}

// ---------------------------------------------------------------------------------------
// The pictures

static bool write_rgb(const std::string &path, const std::vector<unsigned char> &rgb)
{
  return stbi_write_png(path.c_str(), HMAP_SIZE, HMAP_SIZE, 3, rgb.data(), HMAP_SIZE * 3) != 0;
}

static void put_rgb(std::vector<unsigned char> &rgb, int i, float r, float g, float b)
{
  auto byte = [](float v) { return (unsigned char)(v <= 0.f ? 0 : v >= 1.f ? 255 : int(v * 255.f + 0.5f)); };
  rgb[3 * i] = byte(r);
  rgb[3 * i + 1] = byte(g);
  rgb[3 * i + 2] = byte(b);
}

// Where water counts as standing water in the summary and the picture.
static constexpr float WET_DEPTH = 0.01f;

static const char *const ground_names[16] = {"house", "rock", "sand", "soil"};
static const char *const surface_names[16] = {"open", "grass", "ash", "snow", "road"};

int count_non_finite_cells()
{
  int n = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
    if (!std::isfinite(Hm::hmap[i]) || !std::isfinite(Hm::target_hmap[i]) ||
        !std::isfinite(Hm::water[i >> HMAP_SIZE_SHIFT][i & HMAP_MASK].depth))
      n++;
  return n;
}

bool write_world_files(const char *dir, const char *world_name, uint64_t seed, int gen_ms, const char *extra_json)
{
  // Non-finite numbers have no JSON form, and no place in a height picture.
  if (int bad = count_non_finite_cells())
  {
    debug("export-world: %d cells are not finite numbers, nothing written", bad);
    return false;
  }
  if (!make_dirs(dir))
  {
    debug("export-world: can't create directory '%s'", dir);
    return false;
  }
  float lo, hi;
  Hm::calcHtRange(lo, hi);
  const float range = hi > lo ? hi - lo : 1.f;

  std::vector<uint16_t> grey(HMAP_CELLS);
  std::vector<unsigned char> color(3 * HMAP_CELLS), water(3 * HMAP_CELLS), marks(3 * HMAP_CELLS);
  long ground_count[16] = {}, surface_count[16] = {}, mark_count[8] = {};
  long wet = 0;
  float max_depth = 0.f;
  double water_volume = 0.0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    const float t = (Hm::hmap[i] - lo) / range;
    grey[i] = uint16_t(t <= 0.f ? 0 : t >= 1.f ? 65535 : int(t * 65535.f + 0.5f));

    const Hm::Surface &s = Hm::surface[i];
    vec4f c = color_to_vec4f(s.color);
    if (s.top_color.u)
    {
      vec4f top = color_to_vec4f(s.top_color);
      c = c + (top - c) * top.w;
    }
    put_rgb(color, i, c.x, c.y, c.z);

    const float d = Hm::water[i >> HMAP_SIZE_SHIFT][i & HMAP_MASK].depth;
    if (d > WET_DEPTH)
    {
      float k = d / (d + 2.f); // deeper is darker and bluer
      put_rgb(water, i, 0.25f * (1.f - k), 0.45f * (1.f - k) + 0.1f, 0.9f - 0.4f * k);
      wet++;
      water_volume += d;
    }
    else
    {
      float g = 0.3f + 0.6f * t;
      put_rgb(water, i, g, g, g);
    }
    if (d > max_depth)
      max_depth = d;

    const unsigned m = s.marks();
    float r = (m & MARK_OBJ) ? 1.f : 0.f, g = (m & MARK_PLACE) ? 1.f : 0.f, b = (m & MARK_HOUSE) ? 1.f : 0.f;
    if (m & MARK_WATER)
    {
      g = g * 0.5f + 0.5f;
      b = b * 0.5f + 0.5f;
    }
    if (!m) // unmarked land shows faintly
      r = g = b = 0.1f + 0.2f * t;
    put_rgb(marks, i, r, g, b);

    ground_count[s.ground_type()]++;
    surface_count[s.surface_type()]++;
    for (int k = 0; k < 8; k++)
      if (m & (1u << k))
        mark_count[k]++;
  }

  bool ok = write_grey16_png(join(dir, "height.png"), HMAP_SIZE, HMAP_SIZE, grey.data());
  ok = write_rgb(join(dir, "color.png"), color) && ok;
  ok = write_rgb(join(dir, "water.png"), water) && ok;
  ok = write_rgb(join(dir, "marks.png"), marks) && ok;

  std::string json = "{\n";
  char line[256];
  auto add = [&](const char *fmt, auto... args) {
    snprintf(line, sizeof(line), fmt, args...);
    json += line;
  };
  add("  \"seed\": %" PRIu64 ",\n", seed);
  add("  \"world\": \"%s\",\n", world_name);
  add("  \"generation_ms\": %d,\n", gen_ms);
  add("  \"height_min\": %.6g,\n  \"height_max\": %.6g,\n", double(lo), double(hi));
  auto counts = [&](const char *key, const long *n, const char *const *names) {
    add("  \"%s\": {", key);
    bool first = true;
    for (int k = 0; k < 16; k++)
    {
      if (!n[k] && !names[k])
        continue;
      char unnamed[16];
      snprintf(unnamed, sizeof(unnamed), "type%d", k);
      add("%s\"%s\": %ld", first ? "" : ", ", names[k] ? names[k] : unnamed, n[k]);
      first = false;
    }
    json += "},\n";
  };
  counts("ground_types", ground_count, ground_names);
  counts("surface_types", surface_count, surface_names);
  add("  \"marks\": {\"obj\": %ld, \"place\": %ld, \"house\": %ld, \"water\": %ld},\n", mark_count[0], mark_count[1],
      mark_count[2], mark_count[3]);
  add("  \"water_cells\": %ld,\n  \"water_max_depth\": %.6g,\n  \"water_volume\": %.6g", wet, double(max_depth),
      water_volume);
  if (extra_json && *extra_json)
  {
    json += ",\n  ";
    json += extra_json;
  }
  json += "\n}\n";
  FILE *f = fopen(join(dir, "world.json").c_str(), "wb");
  if (!f)
    ok = false;
  else
  {
    ok = fwrite(json.data(), 1, json.size(), f) == json.size() && ok;
    ok = fclose(f) == 0 && ok;
  }
  if (!ok)
    debug("export-world: can't write the files in '%s'", dir);
  return ok;
}
