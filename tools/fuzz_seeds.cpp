// fuzz_seeds: writes the binary seed inputs of the fuzz targets (UTF-16 settings files,
// small textures, meshes, shader cache images and compiled scripts), made by the program's own writers, so that
// no binary file needs to be kept in the repository.
//   fuzz_seeds OUT_DIR SCRIPT_DIR
// writes OUT_DIR/{settings,dds,tga,mesh,shader_cache,bytecode}/; the bytecode seeds are the
// compiled scripts of SCRIPT_DIR (*.nut).
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>
#include "asset_files.h"
#include "mesh_gen/geom.h"
#include "render/shader_cache.h"
#include "squirrel.h"

namespace
{
const char *const tool = "fuzz_seeds";

std::vector<uint8_t> pattern(size_t n, uint32_t seed)
{
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; i++)
  {
    seed = seed * 1664525u + 1013904223u;
    out[i] = uint8_t(seed >> 24);
  }
  return out;
}

bool put(const std::string &dir, const char *name, const std::vector<uint8_t> &data)
{
  return asset::write_file(tool, dir + "/" + name, data);
}

// A DXT texture: the uncompressed preamble turned into a four-character-code one.
std::vector<uint8_t> dxt_file(const char *fourcc, int w, int h, int mips, uint32_t seed)
{
  std::vector<uint8_t> d = asset::dds_header(w, h, mips, 4);
  const int block = strcmp(fourcc, "DXT1") == 0 ? 8 : 16;
  asset::put32(d, 8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000); // LINEARSIZE instead of PITCH
  asset::put32(d, 20, uint32_t(((w + 3) / 4) * ((h + 3) / 4) * block));
  asset::put32(d, 80, 0x4); // FOURCC
  memcpy(d.data() + 84, fourcc, 4);
  for (int at = 88; at < 108; at += 4)
    asset::put32(d, size_t(at), 0);
  for (int i = 0; i < mips; i++)
  {
    const std::vector<uint8_t> level = pattern(size_t((w + 3) / 4) * ((h + 3) / 4) * block, seed + uint32_t(i));
    d.insert(d.end(), level.begin(), level.end());
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  return d;
}

bool write_dds(const std::string &dir)
{
  return put(dir, "argb_8x8_mips.dds", asset::dds_file(pattern(8 * 8 * 4, 1), 8, 8, 4)) &&
         put(dir, "l8_5x3.dds", asset::dds_file(pattern(5 * 3, 2), 5, 3, 1, 1)) &&
         put(dir, "dxt1_8x8.dds", dxt_file("DXT1", 8, 8, 1, 3)) &&
         put(dir, "dxt3_4x4_mips.dds", dxt_file("DXT3", 4, 4, 3, 4)) &&
         put(dir, "dxt5_6x10_mips.dds", dxt_file("DXT5", 6, 10, 4, 5));
}

std::vector<uint8_t> tga_file(int w, int h, uint32_t seed)
{
  std::vector<uint8_t> d(18, 0);
  d[2] = 2; // uncompressed true colour
  d[12] = uint8_t(w), d[13] = uint8_t(w >> 8), d[14] = uint8_t(h), d[15] = uint8_t(h >> 8);
  d[16] = 32;
  d[17] = 8; // 8 alpha bits
  const std::vector<uint8_t> px = pattern(size_t(w) * h * 4, seed);
  d.insert(d.end(), px.begin(), px.end());
  return d;
}

bool write_tga(const std::string &dir)
{
  return put(dir, "rgba_2x2.tga", tga_file(2, 2, 6)) && put(dir, "rgba_7x1.tga", tga_file(7, 1, 7));
}

bool write_meshes(const std::string &dir)
{
  using namespace meshgen;
  bool ok = true;
  const Kind kinds[] = {Kind::simple, Kind::morph, Kind::spline, Kind::building};
  const char *names[] = {"simple.mesh", "morph.mesh", "spline.mesh", "building.mesh"};
  for (int k = 0; k < 4; k++)
  {
    Mesh m;
    m.name = names[k];
    m.kind = kinds[k];
    m.forwardShader = "obj_fwd.sh";
    m.deferredShader = "obj_def.sh";
    m.textures = {"objects/bark.dds", "objects/leaf.dds"};
    m.sphere(V3(0, 1, 0), 1.5f);
    // A tetrahedron: four corners, four faces.
    const V3 p[4] = {V3(0, 0, 0), V3(1, 0, 0), V3(0, 1, 0), V3(0, 0, 1)};
    for (const V3 &c : p)
    {
      Vertex v;
      v.p = c;
      v.c = Rgba(c.x, c.y, c.z, 1.f);
      m.add(v);
    }
    m.tri(0, 2, 1);
    m.tri(0, 1, 3);
    m.tri(0, 3, 2);
    m.tri(1, 2, 3);
    ok = ok && write_mesh(dir + "/" + names[k], m);
  }
  return ok;
}

bool write_shader_caches(const std::string &dir)
{
  DynArray<ShaderDep> deps;
  for (const char *n : {"land.sh", "inc/common.sh", "inc/fog.sh"})
  {
    ShaderDep d;
    snprintf(d.path, sizeof(d.path), "%s", n);
    d.mtime = 0;
    deps.push(d);
  }
  static const char vs[] = "#version 330 core\nvoid vsh() { gl_Position = vec4(0.0); }\nvoid main() { vsh(); }\n";
  static const char ps[] = "#version 330 core\nvoid psh() { COLOR0 = vec4(1.0); }\nvoid main() { psh(); }\n";
  DynArray<uint8_t> img;
  build_shader_cache(deps, vs, uint32_t(strlen(vs)), ps, uint32_t(strlen(ps)), img);
  std::vector<uint8_t> a(img.ptr, img.ptr + img.num);
  DynArray<ShaderDep> none;
  build_shader_cache(none, "", 0, ps, uint32_t(strlen(ps)), img);
  std::vector<uint8_t> b(img.ptr, img.ptr + img.num);
  return put(dir, "three_deps.cache", a) && put(dir, "no_deps.cache", b);
}

// Settings files in UTF-16LE with a byte-order mark, as registry editors export them: a
// whole one, one with a character beyond the basic plane and a lone surrogate, and one
// cut in the middle of a character.
bool write_settings(const std::string &dir)
{
  const char16_t text[] = u"Windows Registry Editor Version 5.00\r\n\r\n"
                          u"[HKEY_CURRENT_USER\\SOFTWARE\\Oblenko Games\\Zarnith]\r\n"
                          u"\"flags\"=dword:0000000d\r\n\"gfx_quality\"=\"high\"\r\n"
                          u"\"n\u00e4me \U0001F600\"=\"v\xd800\"\r\n";
  std::vector<uint8_t> d = {0xFF, 0xFE};
  for (const char16_t *c = text; *c; c++)
    d.insert(d.end(), {uint8_t(*c), uint8_t(*c >> 8)});
  std::vector<uint8_t> cut(d.begin(), d.begin() + 41);
  return put(dir, "utf16.reg", d) && put(dir, "utf16_cut.reg", cut);
}

SQInteger collect(SQUserPointer up, SQUserPointer p, SQInteger n)
{
  std::vector<uint8_t> *out = static_cast<std::vector<uint8_t> *>(up);
  out->insert(out->end(), static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n);
  return n;
}

// Every script of the folder that compiles, as a closure stream.
bool write_bytecode(const std::string &dir, const std::string &scripts)
{
  DIR *d = opendir(scripts.c_str());
  if (!d)
  {
    fprintf(stderr, "%s: can't read '%s'\n", tool, scripts.c_str());
    return false;
  }
  std::vector<std::string> names;
  while (const dirent *e = readdir(d))
  {
    const size_t n = strlen(e->d_name);
    if (n > 4 && strcmp(e->d_name + n - 4, ".nut") == 0)
      names.push_back(e->d_name);
  }
  closedir(d);
  bool ok = true;
  int written = 0;
  HSQUIRRELVM v = sq_open(1024);
  for (const std::string &n : names)
  {
    std::vector<unsigned char> src;
    if (!asset::read_file((scripts + "/" + n).c_str(), src))
      continue;
    const SQInteger top = sq_gettop(v);
    std::vector<uint8_t> out;
    if (SQ_SUCCEEDED(sq_compilebuffer(v, (const SQChar *)src.data(), SQInteger(src.size()), n.c_str(), SQFalse)) &&
        SQ_SUCCEEDED(sq_writeclosure(v, collect, &out)))
    {
      ok = ok && put(dir, (n.substr(0, n.size() - 4) + ".cnut").c_str(), out);
      written++;
    }
    sq_settop(v, top);
  }
  sq_close(v);
  if (!written)
    fprintf(stderr, "%s: no script of '%s' compiled\n", tool, scripts.c_str());
  return ok && written > 0;
}
} // namespace

int main(int argc, char **argv)
{
  if (argc != 3)
  {
    fprintf(stderr, "usage: %s OUT_DIR SCRIPT_DIR\n", tool);
    return 2;
  }
  const std::string out = argv[1];
  for (const char *sub : {"", "/settings", "/dds", "/tga", "/mesh", "/shader_cache", "/bytecode"})
    if (mkdir((out + sub).c_str(), 0777) != 0 && errno != EEXIST)
    {
      fprintf(stderr, "%s: can't create '%s%s'\n", tool, out.c_str(), sub);
      return 1;
    }
  const bool ok = write_settings(out + "/settings") && write_dds(out + "/dds") && write_tga(out + "/tga") && write_meshes(out + "/mesh") &&
                  write_shader_caches(out + "/shader_cache") && write_bytecode(out + "/bytecode", argv[2]);
  return ok ? 0 : 1;
}
