// File parsers of the device layer: DDS, TGA, mesh files, the shader cache, stage text
// assembly and the vertex-declaration cache. No GPU; this file also runs under
// AddressSanitizer, where every truncated prefix of a good file must be refused without
// reading past its end.
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>
#include "core/paths.h"
#include "render/buffers.h"
#include "render/dds.h"
#include "render/mesh.h"
#include "render/shader_cache.h"
#include "render/shader_source.h"
#include "render/textures.h"
#include "render/tga.h"

namespace
{
using Bytes = std::vector<uint8_t>;

void put32(Bytes &b, size_t at, uint32_t v)
{
  if (b.size() < at + 4)
    b.resize(at + 4);
  for (int i = 0; i < 4; i++)
    b[at + i] = uint8_t(v >> (8 * i));
}

// A DDS file with the given pixel format part; data bytes appended (zeros).
Bytes make_dds(int w, int h, int mips, uint32_t pfFlags, uint32_t fourcc, uint32_t bits, uint32_t amask,
               size_t dataBytes, uint32_t extraFlags = 0, uint32_t caps2 = 0)
{
  Bytes b(128, 0);
  put32(b, 0, 0x20534444);
  put32(b, 4, 124);
  put32(b, 8, 0x1007 | extraFlags | (mips > 1 ? 0x20000 : 0));
  put32(b, 12, uint32_t(h));
  put32(b, 16, uint32_t(w));
  put32(b, 28, uint32_t(mips));
  put32(b, 76, 32);
  put32(b, 80, pfFlags);
  put32(b, 84, fourcc);
  put32(b, 88, bits);
  if (pfFlags & 0x40)
  {
    put32(b, 92, 0x00FF0000);
    put32(b, 96, 0x0000FF00);
    put32(b, 100, 0x000000FF);
    put32(b, 104, amask);
  }
  put32(b, 108, 0x1000 | (mips > 1 ? 0x400000 : 0));
  put32(b, 112, caps2);
  b.resize(128 + dataBytes, 0);
  return b;
}

bool parse(const Bytes &b, DdsInfo &info) { return parse_dds(b.data(), b.size(), info); }

// Every strict prefix of a good file must be refused (and must not be read past its end).
template <typename F>
void expect_prefixes_refused(const Bytes &good, F accepts)
{
  for (size_t n = 0; n < good.size(); n++)
  {
    Bytes cut(good.begin(), good.begin() + long(n));
    ASSERT_FALSE(accepts(cut)) << "prefix of " << n << " bytes accepted";
  }
}
} // namespace

TEST(DdsParse, AcceptsTheThreeFamiliesAndComputesLevelSizes)
{
  DdsInfo info;
  // DXT1 8 x 8 with 4 levels: 32, 8, 8, 8 bytes.
  EXPECT_EQ(dds_level_size(D3DFMT_DXT1, 8, 8), 32u);
  EXPECT_EQ(dds_level_size(D3DFMT_DXT1, 4, 4), 8u);
  EXPECT_EQ(dds_level_size(D3DFMT_DXT1, 2, 2), 8u);
  EXPECT_EQ(dds_level_size(D3DFMT_DXT1, 1, 1), 8u);
  EXPECT_EQ(dds_level_size(D3DFMT_DXT5, 8, 8), 64u);
  ASSERT_TRUE(parse(make_dds(8, 8, 4, 0x4, D3DFMT_DXT1, 0, 0, 56), info));
  EXPECT_EQ(info.format, D3DFMT_DXT1);
  EXPECT_EQ(info.mips, 4);
  EXPECT_EQ(info.dataSize, 56u);
  EXPECT_EQ(info.pitchOrLinearSize, 32);

  // 256 x 1 uncompressed with mip maps: 9 levels, each one row.
  ASSERT_TRUE(
    parse(make_dds(256, 1, 9, 0x41, 0, 32, 0xFF000000, (256 + 128 + 64 + 32 + 16 + 8 + 4 + 2 + 1) * 4), info));
  EXPECT_EQ(info.format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(info.pitchOrLinearSize, 1024);
  ASSERT_TRUE(parse(make_dds(4, 2, 1, 0x40, 0, 32, 0, 32), info));
  EXPECT_EQ(info.format, D3DFMT_X8R8G8B8);
  ASSERT_TRUE(parse(make_dds(5, 3, 1, 0x20000, 0, 8, 0, 15), info));
  EXPECT_EQ(info.format, D3DFMT_L8);
  EXPECT_EQ(info.pitchOrLinearSize, 5);
  // Without the MIPMAP cap the count field is ignored.
  Bytes one = make_dds(4, 4, 1, 0x4, D3DFMT_DXT5, 0, 0, 16);
  put32(one, 28, 7);
  ASSERT_TRUE(parse(one, info));
  EXPECT_EQ(info.mips, 1);
}

TEST(DdsParse, RefusesEveryBrokenRule)
{
  DdsInfo info;
  const Bytes good = make_dds(4, 4, 1, 0x4, D3DFMT_DXT1, 0, 0, 8);
  ASSERT_TRUE(parse(good, info));
  auto broken = [&](size_t at, uint32_t v) {
    Bytes b = good;
    put32(b, at, v);
    return parse(b, info);
  };
  EXPECT_FALSE(broken(0, 0x20534445));             // magic
  EXPECT_FALSE(broken(4, 120));                    // header size
  EXPECT_FALSE(broken(76, 24));                    // pixel-format size
  EXPECT_FALSE(broken(8, 0x1006));                 // CAPS|HEIGHT|WIDTH|PIXELFORMAT missing one
  EXPECT_FALSE(broken(8, 0x1007 | 0x8 | 0x80000)); // both PITCH and LINEARSIZE
  EXPECT_FALSE(broken(108, 0));                    // no TEXTURE cap
  EXPECT_FALSE(broken(112, 0x200));                // cube map
  EXPECT_FALSE(broken(84, 0x32545844));            // "DXT2"
  EXPECT_FALSE(broken(16, 0));                     // zero width
  EXPECT_FALSE(broken(12, 100000));                // absurd height
  // RGB with wrong masks or bit count, alpha mask required with ALPHAPIXELS.
  EXPECT_FALSE(parse(make_dds(2, 2, 1, 0x40, 0, 24, 0, 16), info));
  Bytes b = make_dds(2, 2, 1, 0x40, 0, 32, 0, 16);
  put32(b, 92, 0x000000FF);
  EXPECT_FALSE(parse(b, info));
  EXPECT_FALSE(parse(make_dds(2, 2, 1, 0x41, 0, 32, 0x80000000, 16), info));
  // Luminance must be 8 bits; a format with no family flag at all is refused.
  EXPECT_FALSE(parse(make_dds(2, 2, 1, 0x20000, 0, 16, 0, 8), info));
  EXPECT_FALSE(parse(make_dds(2, 2, 1, 0, 0, 32, 0, 16), info));
  // A file shorter than its levels, at every length.
  expect_prefixes_refused(make_dds(8, 8, 4, 0x4, D3DFMT_DXT5, 0, 0, 112),
                          [&](const Bytes &c) { return parse(c, info); });
}

TEST(DdsDecode, SoftwareDxtMatchesTheBlockRules)
{
  // DXT1 with c0 > c1: four opaque colours; c0 <= c1: index 3 is transparent black.
  uint8_t opaque[8] = {0x00, 0xF8, 0x1F, 0x00, 0b11100100, 0, 0, 0}; // red, blue; row 0 idx 0,1,2,3
  uint8_t rgba[16 * 4];
  decode_dxt(D3DFMT_DXT1, opaque, 4, 4, rgba);
  EXPECT_EQ(rgba[0], 255);
  EXPECT_EQ(rgba[2], 0);
  EXPECT_EQ(rgba[4 + 2], 255); // texel 1 blue
  EXPECT_EQ(rgba[8 + 0], (2 * 255 + 0) / 3);
  EXPECT_EQ(rgba[12 + 3], 255);
  uint8_t punch[8] = {0x1F, 0x00, 0x00, 0xF8, 0b11000000, 0, 0, 0}; // blue <= red: 3-colour mode
  decode_dxt(D3DFMT_DXT1, punch, 4, 4, rgba);
  EXPECT_EQ(rgba[12 + 0], 0);
  EXPECT_EQ(rgba[12 + 3], 0);
  EXPECT_EQ(rgba[0 + 3], 255);
  // DXT3 explicit alpha nibbles and DXT5 interpolated alpha; partial blocks stay inside.
  uint8_t dxt3[16] = {0x0F, 0x0F, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
  uint8_t small[2 * 2 * 4];
  decode_dxt(D3DFMT_DXT3, dxt3, 2, 2, small);
  EXPECT_EQ(small[3], 255);
  EXPECT_EQ(small[4 + 3], 0);
  uint8_t dxt5[16] = {200, 100, 0b001, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
  decode_dxt(D3DFMT_DXT5, dxt5, 2, 2, small);
  EXPECT_EQ(small[3], 100);     // index 1 = a1
  EXPECT_EQ(small[4 + 3], 200); // index 0 = a0
}

TEST(TgaParse, ReadsType2At32BitsAndRefusesTheRest)
{
  Bytes t(18, 0);
  t[2] = 2;
  t[12] = 2;
  t[14] = 1;
  t[16] = 32;
  for (uint32_t v : {0x11223344u, 0x55667788u})
    for (int i = 0; i < 4; i++)
      t.push_back(uint8_t(v >> (8 * i)));
  int w = 0, h = 0;
  DynArray<uint32_t> px;
  const char *err = nullptr;
  ASSERT_TRUE(parse_tga(t.data(), t.size(), w, h, px, &err));
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 1);
  ASSERT_EQ(px.size(), 2);
  EXPECT_EQ(px[0], 0x11223344u);
  EXPECT_EQ(px[1], 0x55667788u);

  Bytes b = t;
  b[16] = 24;
  EXPECT_FALSE(parse_tga(b.data(), b.size(), w, h, px, &err));
  EXPECT_STREQ(err, "unsupported TGA format");
  b = t;
  b[2] = 10; // run-length encoded
  EXPECT_FALSE(parse_tga(b.data(), b.size(), w, h, px, &err));
  EXPECT_STREQ(err, "unsupported TGA format");
  b = t;
  b[12] = 0;
  EXPECT_FALSE(parse_tga(b.data(), b.size(), w, h, px, &err));
  EXPECT_STREQ(err, "zero-sized TGA image");
  expect_prefixes_refused(t, [&](const Bytes &c) { return parse_tga(c.data(), c.size(), w, h, px, &err); });
}

namespace
{
struct MeshWriter
{
  Bytes b;
  void u8(uint8_t v) { b.push_back(v); }
  void u16(uint16_t v) { u8(uint8_t(v)), u8(uint8_t(v >> 8)); }
  void u32(uint32_t v) { put32(b, b.size(), v); }
  void str(const char *s)
  {
    u8(uint8_t(strlen(s)));
    b.insert(b.end(), s, s + strlen(s) + 1);
  }
  void f32(float f)
  {
    uint32_t u;
    memcpy(&u, &f, 4);
    u32(u);
  }
};

// A triangle mesh: 3 vertices of FLOAT3 position + D3DCOLOR, one sphere, two textures.
Bytes make_mesh(uint16_t lastIndex = 2)
{
  MeshWriter body;
  body.str("obj_fwd.sh");
  body.str("obj_def.sh");
  body.u8(2);
  body.str("tree.dds");
  body.str("bark.dds");
  body.u8(1);
  for (float f : {1.f, 2.f, 3.f, 0.5f})
    body.f32(f);
  body.u8(2);
  for (VsdElement e :
       {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0), vsd_element(12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0)})
    body.b.insert(body.b.end(), (uint8_t *)&e, (uint8_t *)&e + 6);
  body.u32(16);
  body.u32(3);
  body.u32(1);
  for (int i = 0; i < 3 * 16; i++)
    body.u8(uint8_t(i));
  body.u16(0);
  body.u16(1);
  body.u16(lastIndex);
  MeshWriter f;
  f.u32(MESH_FILE_VERSION);
  f.u32(uint32_t(body.b.size()));
  f.b.insert(f.b.end(), body.b.begin(), body.b.end());
  return f.b;
}
} // namespace

TEST(MeshParse, ReadsEveryFieldOfAGoodFile)
{
  Bytes m = make_mesh();
  MeshFileData d;
  const char *err = nullptr;
  int ofs = 0;
  ASSERT_TRUE(parse_mesh_file(m.data(), m.size(), d, &err, &ofs)) << err;
  EXPECT_STREQ(d.forwardShader, "obj_fwd.sh");
  EXPECT_STREQ(d.deferredShader, "obj_def.sh");
  ASSERT_EQ(d.textures.size(), 2);
  EXPECT_STREQ(d.textures[1].name, "bark.dds");
  ASSERT_EQ(d.spheres.size(), 1);
  EXPECT_EQ(d.spheres[0].r, 0.5f);
  ASSERT_EQ(d.vsd.size(), 2);
  EXPECT_EQ(d.vsd[1].offset, 12);
  EXPECT_EQ(d.vsd[1].type, VSDT_D3DCOLOR);
  EXPECT_EQ(d.stride, 16u);
  EXPECT_EQ(d.numVerts, 3u);
  EXPECT_EQ(d.numTris, 1u);
  EXPECT_EQ(d.vertexData[47], 47);
  EXPECT_EQ(d.indexData[4], 2);
}

TEST(MeshParse, RefusesBadVersionsTruncationAndWildIndices)
{
  MeshFileData d;
  const char *err = nullptr;
  int ofs = 0;
  Bytes m = make_mesh();
  Bytes bad = m;
  put32(bad, 0, 0x12040901);
  EXPECT_FALSE(parse_mesh_file(bad.data(), bad.size(), d, &err, &ofs));
  EXPECT_STREQ(err, "Invalid mesh file version");
  EXPECT_EQ(ofs, -1);
  // Truncated: a read error with the offset where the data ran out.
  Bytes cut(m.begin(), m.begin() + 30);
  put32(cut, 4, uint32_t(m.size() - 8));
  EXPECT_FALSE(parse_mesh_file(cut.data(), cut.size(), d, &err, &ofs));
  EXPECT_STREQ(err, "unexpected end of file");
  EXPECT_GE(ofs, 8);
  EXPECT_LE(ofs, 30);
  // The body size bounds the reads even when the file goes on.
  Bytes shortBody = m;
  put32(shortBody, 4, 10);
  EXPECT_FALSE(parse_mesh_file(shortBody.data(), shortBody.size(), d, &err, &ofs));
  // An index past the vertices would make the GPU read outside the buffer.
  Bytes wild = make_mesh(3);
  EXPECT_FALSE(parse_mesh_file(wild.data(), wild.size(), d, &err, &ofs));
  EXPECT_STREQ(err, "Index out of range");
  // A texture name of 64 characters or more does not fit its record.
  MeshWriter w;
  w.u32(MESH_FILE_VERSION);
  w.u32(200);
  w.str("a");
  w.str("b");
  w.u8(1);
  w.str(std::string(64, 'x').c_str());
  w.b.resize(208, 0);
  EXPECT_FALSE(parse_mesh_file(w.b.data(), w.b.size(), d, &err, &ofs));
  EXPECT_STREQ(err, "Texture name too long");
  expect_prefixes_refused(m, [&](const Bytes &c) { return parse_mesh_file(c.data(), c.size(), d, &err, &ofs); });
}

TEST(ShaderCache, NamesFollowTheDefineBlock)
{
  char name[512];
  shader_cache_name("mlaa_rows.sh", "FIRST\0 1\0", name, sizeof(name));
  EXPECT_STREQ(name, "cache/mlaa_rows.sh@FIRST@_1.cache");
  shader_cache_name("postfx_main.sh", nullptr, name, sizeof(name));
  EXPECT_STREQ(name, "cache/postfx_main.sh.cache");
  shader_cache_name("mlaa_cols.sh", "", name, sizeof(name));
  EXPECT_STREQ(name, "cache/mlaa_cols.sh.cache");
  shader_cache_name("blendPart.sh", "SINGLE_RT\0 1\0MODE\0a-b.c\0", name, sizeof(name));
  EXPECT_STREQ(name, "cache/blendPart.sh@SINGLE_RT@_1@MODE@a_b_c.cache");
}

TEST(ShaderCache, FormatRoundTripsAndRefusesDamage)
{
  DynArray<ShaderDep> deps;
  ShaderDep d{};
  strcpy(d.path, "water.sh");
  deps.push(d);
  strcpy(d.path, "common.inc");
  deps.push(d);
  DynArray<uint8_t> img;
  build_shader_cache(deps, "VSTEXT", 6, "PS", 2, img);
  const uint8_t expect_head[] = {0x15, 0x07, 0x10, 0x20, 21, 0, 0, 0, 6, 0, 0, 0, 2, 0, 0, 0};
  ASSERT_EQ(img.size(), 16 + 21 + 6 + 2);
  EXPECT_EQ(memcmp(img.ptr, expect_head, 16), 0);
  EXPECT_EQ(memcmp(img.ptr + 16, "water.sh\0common.inc\0\0", 21), 0);
  EXPECT_EQ(memcmp(img.ptr + 37, "VSTEXTPS", 8), 0);

  ShaderCacheView v;
  ASSERT_TRUE(parse_shader_cache(img.ptr, size_t(img.size()), v));
  ASSERT_EQ(v.names.size(), 2);
  EXPECT_STREQ(v.names[1], "common.inc");
  EXPECT_EQ(std::string(v.vs, v.vlen), "VSTEXT");
  EXPECT_EQ(std::string(v.ps, v.plen), "PS");

  Bytes good(img.ptr, img.ptr + img.size());
  Bytes foreign = good;
  foreign[0] ^= 1;
  EXPECT_FALSE(parse_shader_cache(foreign.data(), foreign.size(), v));
  // A name block whose last name lacks its NUL, and an overlong name.
  Bytes unterminated = good;
  put32(unterminated, 4, 8);
  put32(unterminated, 8, 0);
  put32(unterminated, 12, 0);
  unterminated.resize(16 + 8);
  EXPECT_FALSE(parse_shader_cache(unterminated.data(), unterminated.size(), v));
  Bytes longName(16, 0);
  put32(longName, 0, SHADER_CACHE_MAGIC);
  put32(longName, 4, 302);
  longName.resize(16 + 300, 'n');
  longName.push_back(0);
  longName.push_back(0);
  EXPECT_FALSE(parse_shader_cache(longName.data(), longName.size(), v));
  expect_prefixes_refused(good, [&](const Bytes &c) { return parse_shader_cache(c.data(), c.size(), v); });
}

namespace
{
// A temporary program directory with shader sources.
struct TempDir
{
  std::string path;
  char saved[260];
  TempDir()
  {
    char tmpl[] = "/tmp/zarnith_sh_XXXXXX";
    path = std::string(mkdtemp(tmpl)) + "/";
    memcpy(saved, app_path, sizeof(saved));
    snprintf(app_path, sizeof(app_path), "%s", path.c_str());
  }
  ~TempDir()
  {
    memcpy(app_path, saved, sizeof(saved));
    std::string cmd = "rm -rf '" + path + "'";
    if (system(cmd.c_str()) != 0)
      fprintf(stderr, "could not remove %s\n", path.c_str());
  }
  void write(const char *name, const char *text)
  {
    FILE *f = fopen((path + name).c_str(), "wb");
    ASSERT_TRUE(f);
    fputs(text, f);
    fclose(f);
  }
};
} // namespace

TEST(ShaderSource, AssemblesDefinesIncludesAndMapsLogLines)
{
  TempDir dir;
  dir.write("main.sh", "// main\n#include \"lib.inc\"\nvoid vsh() { gl_Position = vec4(0.0); }\nvoid psh() {}\n");
  dir.write("lib.inc", "float helper() { return 1.0; }\nbroken here\n");
  Shader rec{};
  MyShaderInclude inc;
  inc.shader = &rec;
  ShaderStageText st;
  ASSERT_TRUE(build_shader_stage("main.sh", "FIRST\0 1\0EMPTY\0\0IGNORED\0 2\0", true, inc, st)) << st.error;
  std::string text = st.text.ptr;
  EXPECT_EQ(text.rfind("#version 330 core\n", 0), 0u);
  EXPECT_NE(text.find("#define FIRST  1\n"), std::string::npos);
  EXPECT_EQ(text.find("IGNORED"), std::string::npos); // the empty value ended the block
  EXPECT_NE(text.find("#define PSH 1\n"), std::string::npos);
  EXPECT_EQ(text.find("#define VSH"), std::string::npos);
  EXPECT_NE(text.find("float helper()"), std::string::npos);
  EXPECT_EQ(text.find("#include"), std::string::npos);
  EXPECT_NE(text.find("discard"), std::string::npos);
  // Dependencies in open order, source first, names as written.
  ASSERT_EQ(rec.deps.size(), 2);
  EXPECT_STREQ(rec.deps[0].path, "main.sh");
  EXPECT_STREQ(rec.deps[1].path, "lib.inc");

  // A log line about the include's second line maps back to it.
  int genLine = 0;
  for (int i = 0; i < st.lines.size(); i++)
    if (st.lines[i].file >= 0 && strcmp(st.files[st.lines[i].file], "lib.inc") == 0 && st.lines[i].line == 2)
      genLine = i + 1;
  ASSERT_GT(genLine, 0);
  char log[128];
  snprintf(log, sizeof(log), "0:%d(7): error: syntax error\nplain line\n", genLine);
  DynArray<char> mapped;
  map_shader_log(log, st, mapped);
  EXPECT_STREQ(mapped.ptr, "lib.inc(2,7): error: syntax error\nplain line\n");
  snprintf(log, sizeof(log), "0(%d) : error C0000: syntax error", genLine);
  map_shader_log(log, st, mapped);
  EXPECT_STREQ(mapped.ptr, "lib.inc(2) : error C0000: syntax error\n");
  rec.deps.release();
}

TEST(ShaderSource, MissingFilesAndRecursiveIncludesFail)
{
  TempDir dir;
  dir.write("loop.sh", "#include \"loop.sh\"\n");
  dir.write("bad.sh", "#include <sys.h>\n");
  MyShaderInclude inc;
  ShaderStageText st;
  EXPECT_FALSE(build_shader_stage("none.sh", nullptr, false, inc, st));
  EXPECT_STREQ(st.error, "can't read 'none.sh'");
  EXPECT_FALSE(build_shader_stage("loop.sh", nullptr, false, inc, st));
  EXPECT_NE(strstr(st.error, "nested too deep"), nullptr);
  EXPECT_FALSE(build_shader_stage("bad.sh", nullptr, false, inc, st));
  EXPECT_NE(strstr(st.error, "malformed #include in bad.sh(1)"), nullptr);
  // The include handler's result codes.
  const void *data = nullptr;
  uint32_t size = 7;
  EXPECT_EQ(inc.open(0, "none.sh", nullptr, &data, &size), 0x8876086Cu);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);
  ASSERT_EQ(inc.open(0, "loop.sh", nullptr, &data, &size), 0u);
  EXPECT_EQ(size, 19u);
  EXPECT_EQ(inc.close(data), 0u);
}

TEST(ShaderSource, OverlongIncludeNamesAreRefusedCleanly)
{
  TempDir dir;
  dir.write("lib.inc", "float helper() { return 1.0; }\n");
  // 300 characters that normalise to "lib.inc", so the file would open.
  std::string longName;
  while (longName.size() < 290)
    longName += "x/../";
  longName += "lib.inc";
  ASSERT_GE(longName.size(), 260u);
  Shader rec{};
  MyShaderInclude inc;
  inc.shader = &rec;
  const void *data = nullptr;
  uint32_t size = 7;
  EXPECT_EQ(inc.open(1, longName.c_str(), nullptr, &data, &size), 0x8876086Cu);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(rec.deps.size(), 0);
  EXPECT_FALSE(shader_add_dep(&rec, longName.c_str(), 0));
  EXPECT_EQ(rec.deps.size(), 0);

  // From an include line: a clear error naming where, the short name still works.
  dir.write("main.sh", ("// main\n#include \"" + longName + "\"\n").c_str());
  ShaderStageText st;
  EXPECT_FALSE(build_shader_stage("main.sh", nullptr, false, inc, st));
  EXPECT_STREQ(st.error, "#include name too long in main.sh(2)");
  dir.write("ok.sh", "#include \"x/../lib.inc\"\nvoid vsh() {}\n");
  EXPECT_TRUE(build_shader_stage("ok.sh", nullptr, false, inc, st)) << st.error;
  ASSERT_EQ(rec.deps.size(), 3); // main.sh (its include refused), ok.sh, its include
  EXPECT_STREQ(rec.deps[2].path, "x/../lib.inc");
  rec.deps.release();
}

TEST(ShaderSource, InstructionCountLineRules)
{
  int len = 0;
  const char *l = find_instruction_count_line(
    "ps_3_0\r\n// short slot\n//   12 instruction slots used\n// 3 instruction slots x\n", len);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(std::string(l, len), "   12 instruction slots used");
  EXPECT_EQ(find_instruction_count_line("12 instruction slots used\n", len), nullptr);
  EXPECT_EQ(find_instruction_count_line("", len), nullptr);
  EXPECT_EQ(find_instruction_count_line("  // 12 instruction slots used", len), nullptr);
}

// The declaration cache test empties the cache, which would pull declarations from
// under the device tests sharing the process; it runs in the parser-only executable.
#ifdef ZARNITH_PARSERS_ONLY
TEST(VertexDecl, CacheSharesEqualLayoutsAndChecksLengths)
{
  close_vdecls();
  VsdElement a[3] = {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0), vsd_element(12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0),
                     vsd_end()};
  VsdElement b[3] = {a[0], a[1], vsd_end()};
  VDecl da = create_vdecl(a);
  EXPECT_EQ(create_vdecl(b), da);
  EXPECT_EQ(da->count, 3);
  // Unknown codes are normalised (type -> UNUSED, usage -> TANGENT) before comparing.
  VsdElement odd[2] = {vsd_element(0, 0, 9, 7, 0), vsd_end()};
  VsdElement norm[2] = {vsd_element(0, 0, 0, VSDU_TANGENT, 0), vsd_end()};
  EXPECT_EQ(create_vdecl(odd), create_vdecl(norm));
  EXPECT_EQ(create_vdecl(odd)->elem[0].type, 0);

  // 31 elements and the end marker convert; 32 without one is fatal.
  VsdElement many[33];
  for (int i = 0; i < 31; i++) // distinct semantics: TEXCOORD0..15, NORMAL0..14
    many[i] = vsd_element(i * 4, 0, VSDT_FLOAT1, i < 16 ? VSDU_TEXCOORD : VSDU_NORMAL, i % 16);
  many[31] = vsd_end();
  EXPECT_EQ(create_vdecl(many)->count, 32);
  for (int i = 0; i < 32; i++)
    many[i] = vsd_element(i * 4, 0, VSDT_FLOAT1, VSDU_TEXCOORD, i % 16);
  EXPECT_EXIT(create_vdecl(many), testing::ExitedWithCode(100), "failed ASSERT\\(i<MAX_VDECL_LEN\\)");
  // Duplicate semantics cannot be bound: the layout is listed and refused.
  VsdElement dup[3] = {a[0], vsd_element(12, 0, VSDT_FLOAT3, VSDU_POSITION, 0), vsd_end()};
  EXPECT_EXIT(create_vdecl(dup), testing::ExitedWithCode(100),
              "failed to create vertex declaration \\(code 0x8876086C\\)");

  // The 65th different layout is fatal.
  close_vdecls();
  for (int i = 0; i < MAX_VDECLS; i++)
  {
    VsdElement l[2] = {vsd_element(i, 0, VSDT_FLOAT4, VSDU_POSITION, 0), vsd_end()};
    create_vdecl(l);
  }
  EXPECT_EQ(vdecl_count(), MAX_VDECLS);
  VsdElement extra[2] = {vsd_element(999, 0, VSDT_FLOAT4, VSDU_POSITION, 0), vsd_end()};
  EXPECT_EXIT(create_vdecl(extra), testing::ExitedWithCode(100), "reached maximum vertex declaration count");
  close_vdecls();
}
#endif
