// The device on llvmpipe: clears, orientation and texel centres, culling, blending on
// float targets, several targets and the point copy, DXT upload both ways, alpha and
// stencil tests, instanced indexed draws, resets, and the texture and mesh tables.
#include <cmath>
#include <epoxy/gl.h>
#include <stb/stb_dxt.h>
#include "core/globals.h"
#include "render/dds.h"
#include "render/mesh.h"
#include "render/textures.h"
#include "tests/render/device_test_util.h"
#include "tests/render/vis_test_window.h"

// The device's resize hook, counted here.
static int resize_hook_calls = 0;
static void count_resize() { resize_hook_calls++; }

using devtest::ProgramDir;
using devtest::SolidVertex;

namespace
{
VDecl solid_decl()
{
  const VsdElement l[3] = {vsd_element(0, 0, VSDT_FLOAT4, VSDU_POSITION, 0),
                           vsd_element(16, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0), vsd_end()};
  return create_vdecl(l);
}

void neutral_states()
{
  set_blend_none();
  set_zenable(false);
  set_zwrite(false);
  set_cull_mode(0);
  set_atest(0);
  set_stencil_test(0, 0, 0);
  set_color_write_mask(15);
}

// Draws vertices through the shared writer as one primitive list.
void draw_solid(Shader *sh, const SolidVertex *v, int n, int prim = D3DPT_TRIANGLELIST)
{
  set_shader(sh);
  set_vdecl(solid_decl());
  set_vb(0, common_vb_writer.vb, 0, sizeof(SolidVertex));
  common_vb_writer.start(dynvb_draw_triangles, unsigned(prim));
  memcpy(common_vb_writer.cur, v, sizeof(SolidVertex) * n);
  common_vb_writer.cur += sizeof(SolidVertex) * n;
  common_vb_writer.count += prim == D3DPT_TRIANGLELIST ? n / 3 : prim == D3DPT_POINTLIST ? n : n - 2;
  common_vb_writer.flush(true);
}

// A quad over clip rectangle [x0, x1] x [y0, y1] as two triangles.
void draw_rect(Shader *sh, float x0, float y0, float x1, float y1, uint32_t color)
{
  SolidVertex v[6] = {{x0, y0, 0, 1, color}, {x0, y1, 0, 1, color}, {x1, y1, 0, 1, color},
                      {x0, y0, 0, 1, color}, {x1, y1, 0, 1, color}, {x1, y0, 0, 1, color}};
  draw_solid(sh, v, 6);
}

// Shows a texture texel for pixel in the top-left w x h corner of the back buffer.
void show_texture(Texture *t, int w, int h)
{
  static Shader *copy = nullptr;
  if (!copy)
  {
    char saved[260];
    memcpy(saved, app_path, sizeof(saved));
    snprintf(app_path, sizeof(app_path), "%s", vistest::bin_dir().c_str());
    copy = create_shader("copy.sh", nullptr);
    memcpy(app_path, saved, sizeof(saved));
  }
  set_backbuffer_target();
  set_viewport(0, 0, w, h);
  neutral_states();
  set_shader(copy);
  set_texture(0, t);
  set_tex_filter(0, false);
  set_tex_address(0, TEXADDR_CLAMP);
  const float reg[4] = {0.5f, -0.5f, 0.5f + 0.5f / w, 0.5f + 0.5f / h};
  set_vs_consts(16, reg, 1);
  draw_postfx();
  set_texture(0, nullptr);
}

uint32_t px_at(const std::vector<uint32_t> &px, int x, int y) { return px[size_t(y) * d3d_wd + x]; }
int red(uint32_t c) { return int((c >> 16) & 255); }
int green(uint32_t c) { return int((c >> 8) & 255); }
} // namespace

TEST(Device, ClearsFillTheWholeTargetWhateverTheMasks)
{
  REQUIRE_DEVICE(320, 240);
  set_backbuffer_target();
  clear_view(0xFF102030);
  auto px = vistest::read_pixels();
  ASSERT_EQ(px.size(), size_t(320 * 240));
  EXPECT_EQ(px.front(), 0xFF102030u);
  EXPECT_EQ(px.back(), 0xFF102030u);
  // Clears ignore the colour mask and the viewport; draws obey both.
  set_color_write_mask(0);
  set_viewport(10, 10, 20, 20);
  clear_view_color(0x80405060);
  px = vistest::read_pixels();
  EXPECT_EQ(px_at(px, 0, 0), 0x80405060u);
  EXPECT_EQ(px_at(px, 319, 239), 0x80405060u);
  set_color_write_mask(15);
  set_backbuffer_target();
}

TEST(Device, PointUploadIsTexelExactAndTopDown)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("point.sh", devtest::point_sh);
  Shader *sh = create_shader("point.sh", nullptr);
  Texture *rt = create_rt_texture(4, 4, 6); // R32F
  ASSERT_NE(rt, nullptr);
  set_render_target_texture(0, rt, false);
  neutral_states();
  clear_view(0);
  // Cell (x, y) gets (y * 4 + x + 1) / 16; register 16 maps cells to clip space with
  // D3D pixel centres, as the terrain upload does.
  const float reg[4] = {0.5f, -0.5f, -1.f, 1.f};
  set_vs_consts(16, reg, 1);
  std::vector<SolidVertex> pts;
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++)
      pts.push_back({float(x), float(y), (y * 4 + x + 1) / 16.f, 1.f, 0});
  draw_solid(sh, pts.data(), int(pts.size()), D3DPT_POINTLIST);
  show_texture(rt, 4, 4);
  auto px = vistest::read_pixels();
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++)
      EXPECT_NEAR(red(px_at(px, x, y)), (y * 4 + x + 1) * 255 / 16.0, 1.0)
        << x << "," << y << " " << std::hex << px_at(px, x, y);
  // Missing channels of a one-channel format read 1, as on D3D.
  EXPECT_EQ(green(px_at(px, 0, 0)), 255);
  release_texture(rt);
  destroy_shader(sh);
}

TEST(Device, CullingDropsCounterClockwiseOnScreen)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("solid.sh", devtest::solid_sh);
  Shader *sh = create_shader("solid.sh", nullptr);
  set_backbuffer_target();
  neutral_states();
  clear_view(0xFF000000);
  // Left: top-left, top-right, bottom-left (clockwise with y down). Right: reversed.
  SolidVertex cw[3] = {
    {-0.9f, 0.9f, 0, 1, 0xFFFF0000}, {-0.1f, 0.9f, 0, 1, 0xFFFF0000}, {-0.9f, 0.1f, 0, 1, 0xFFFF0000}};
  SolidVertex ccw[3] = {{0.1f, 0.9f, 0, 1, 0xFFFF0000}, {0.1f, 0.1f, 0, 1, 0xFFFF0000}, {0.9f, 0.9f, 0, 1, 0xFFFF0000}};
  set_cull_mode(1);
  draw_solid(sh, cw, 3);
  draw_solid(sh, ccw, 3);
  auto px = vistest::read_pixels();
  EXPECT_EQ(px_at(px, 40, 30), 0xFFFF0000u);
  EXPECT_EQ(px_at(px, 200, 30), 0xFF000000u);
  set_cull_mode(0);
  draw_solid(sh, ccw, 3);
  px = vistest::read_pixels();
  EXPECT_EQ(px_at(px, 200, 30), 0xFFFF0000u);
  destroy_shader(sh);
}

TEST(Device, FloatTargetsBlendAndAlphaTestUsesTheReference)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("solid.sh", devtest::solid_sh);
  Shader *sh = create_shader("solid.sh", nullptr);
  for (int kind = 1; kind <= 8; kind++) // all blend on llvmpipe, 32-bit float included
    EXPECT_TRUE(is_rt_kind_blendable(kind)) << kind;
  EXPECT_FALSE(is_rt_kind_blendable(0));
  EXPECT_FALSE(is_rt_kind_blendable(9));
  Texture *rt = create_rt_texture(4, 4, 8);
  set_render_target_texture(0, rt, false);
  neutral_states();
  clear_view(0xFF404040); // 0.251
  set_blend_additive();
  draw_rect(sh, -1, -1, 1, 1, 0xFF808080); // + 0.502
  show_texture(rt, 4, 4);
  auto px = vistest::read_pixels();
  EXPECT_NEAR(red(px_at(px, 2, 2)), 0x40 + 0x80, 1);

  // Alpha 64: the test passes with reference 64 and fails with 65.
  set_backbuffer_target();
  neutral_states();
  clear_view(0xFF000000);
  set_atest(65);
  draw_rect(sh, -1, -1, 0, 1, 0x40FF0000);
  set_atest(64);
  draw_rect(sh, 0, -1, 1, 1, 0x40FF0000);
  set_atest(0);
  px = vistest::read_pixels();
  EXPECT_EQ(red(px_at(px, 80, 120)), 0);
  EXPECT_EQ(red(px_at(px, 240, 120)), 255);
  release_texture(rt);
  destroy_shader(sh);
}

TEST(Device, BlendSettersHaveTheirMeanings)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("solid.sh", devtest::solid_sh);
  Shader *sh = create_shader("solid.sh", nullptr);
  const float d = 0x80 / 255.f, c = 0x40 / 255.f, a = 0x80 / 255.f; // destination, source, source alpha
  struct Case
  {
    void (*set)();
    float expect;
  } cases[] = {{set_blend_none, c},
               {set_blend_additive, c + d},
               {set_blend_smooth_add, c + d * (1 - c)},
               {set_blend_alpha, c * a + d * (1 - a)},
               {set_blend_prealpha, c + d * (1 - a)},
               {set_blend_multiply, d * c}};
  set_backbuffer_target();
  for (const Case &k : cases)
  {
    neutral_states();
    clear_view(0xFF808080);
    k.set();
    draw_rect(sh, -1, -1, 1, 1, 0x80404040);
    auto px = vistest::read_pixels();
    EXPECT_NEAR(red(px_at(px, 100, 100)), k.expect * 255, 1.5) << int(&k - cases);
  }
  set_blend_none();
  destroy_shader(sh);
}

TEST(Device, MultipleTargetsAndPointCopyAtFourToOne)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("mrt.sh", devtest::mrt_sh);
  Shader *sh = create_shader("mrt.sh", nullptr);
  Texture *a = create_rt_texture(8, 8, 1), *b = create_rt_texture(8, 8, 1), *small = create_rt_texture(2, 2, 1);
  ASSERT_TRUE(a && b && small);
  set_viewport(0, 0, 1, 1); // binding target 0 resets the viewport to the whole target
  set_render_target_texture(0, a, false);
  set_render_target_texture(1, b, false);
  neutral_states();
  clear_view(0);
  const float colors[8] = {1, 0, 0, 1, 0, 1, 0, 1};
  set_ps_consts(0, colors, 2);
  set_shader(sh);
  draw_postfx();
  set_render_target_texture(1, nullptr, false);
  copy_texture(b, small);
  show_texture(a, 8, 8);
  auto px = vistest::read_pixels();
  EXPECT_EQ(px_at(px, 7, 7), 0xFFFF0000u);
  show_texture(small, 2, 2);
  px = vistest::read_pixels();
  EXPECT_EQ(px_at(px, 0, 0), 0xFF00FF00u);
  EXPECT_EQ(px_at(px, 1, 1), 0xFF00FF00u);
  release_texture(a);
  release_texture(b);
  release_texture(small);
  destroy_shader(sh);
}

namespace
{
// A 4 x 4 DXT1 file: left two columns red, third blue, last column transparent.
std::vector<uint8_t> dxt1_file()
{
  std::vector<uint8_t> f(128 + 8, 0);
  auto put = [&](size_t at, uint32_t v) { memcpy(&f[at], &v, 4); };
  put(0, 0x20534444);
  put(4, 124);
  put(8, 0x1007);
  put(12, 4);
  put(16, 4);
  put(76, 32);
  put(80, 0x4);
  put(84, D3DFMT_DXT1);
  put(108, 0x1000);
  // c0 = blue (0x001F) <= c1 = red (0xF800): 3-colour mode, index 3 transparent.
  uint8_t block[8] = {0x1F, 0x00, 0x00, 0xF8, 0, 0, 0, 0};
  uint32_t idx = 0;
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++)
      idx |= uint32_t(x < 2 ? 1 : x == 2 ? 0 : 3) << (2 * (y * 4 + x));
  memcpy(block + 4, &idx, 4);
  memcpy(&f[128], block, 8);
  return f;
}

void check_dxt_pixels()
{
  auto px = vistest::read_pixels();
  EXPECT_EQ(px_at(px, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(px_at(px, 1, 3), 0xFFFF0000u);
  EXPECT_EQ(px_at(px, 2, 1), 0xFF0000FFu);
  EXPECT_EQ(px_at(px, 3, 2), 0x00000000u);
}
} // namespace

TEST(Textures, DxtThroughTheDriverAndTheSoftwareDecoder)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("tile.dds", dxt1_file());
  Texture *t = get_texture("tile.dds", true);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->format, D3DFMT_DXT1);
  show_texture(t, 4, 4);
  check_dxt_pixels();
  free_texture(t);

  d3d_force_soft_dxt = true;
  Texture *s = get_texture("tile.dds", true);
  show_texture(s, 4, 4);
  check_dxt_pixels();
  free_texture(s);
  d3d_force_soft_dxt = false;
}

TEST(Textures, FileCacheIsCaseInsensitiveAndCounted)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("Grass.dds", dxt1_file());
  Texture *a = get_texture("Grass.dds", true);
  Texture *b = get_texture("grass.DDS", true); // same full path apart from case: shared
  EXPECT_EQ(a, b);
  free_texture(a);
  EXPECT_TRUE(a->inUse);
  free_texture(b);
  EXPECT_FALSE(a->inUse);
  free_texture(b); // no longer cached: ignored
  EXPECT_EQ(get_texture("missing.dds", false), nullptr);
}

TEST(Textures, LoaderFailuresAreFatalWithTheirTexts)
{
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  std::vector<uint8_t> cube = dxt1_file();
  cube[112] = 0x00;
  cube[113] = 0x02; // caps2 = cube map
  dir.write("cube.dds", cube);
  std::vector<uint8_t> cut = dxt1_file();
  cut.resize(130);
  dir.write("cut.dds", cut);
  EXPECT_EXIT(load_dds_texture("nothere.dds"), testing::ExitedWithCode(100), "Error loading file '.*nothere.dds'");
  EXPECT_EXIT(load_dds_texture("cube.dds"), testing::ExitedWithCode(100), "Texture '.*cube.dds' is not a DDS");
  EXPECT_EXIT(load_dds_texture("cut.dds"), testing::ExitedWithCode(100), "Texture '.*cut.dds' is not a DDS");
  EXPECT_EXIT(get_texture("nothere.dds", true), testing::ExitedWithCode(100), "Error loading file");
}

TEST(Device, StencilReplaceThenEqualMasksTheSecondPass)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("solid.sh", devtest::solid_sh);
  Shader *sh = create_shader("solid.sh", nullptr);
  Texture *rt = create_rt_texture(0, 0, 1);
  set_render_target_texture(0, rt, true);
  neutral_states();
  clear_view(0xFF000000);
  set_stencil_test(0xFF, 1, D3DCMP_ALWAYS);
  set_stencil_replace_bits(1);
  set_color_write_mask(0);
  draw_rect(sh, -1, -1, 0, 1, 0xFFFFFFFF);
  set_color_write_mask(15);
  set_stencil_replace_bits(0);
  set_stencil_test(0xFF, 1, D3DCMP_EQUAL);
  draw_rect(sh, -1, -1, 1, 1, 0xFF00FF00);
  set_stencil_test(0, 1, D3DCMP_EQUAL);
  set_stencil_replace_bits(0xFF);
  show_texture(rt, d3d_wd, d3d_ht);
  auto px = vistest::read_pixels();
  EXPECT_EQ(px_at(px, 80, 120), 0xFF00FF00u);
  EXPECT_EQ(px_at(px, 240, 120), 0xFF000000u);
  release_texture(rt);
  destroy_shader(sh);
}

TEST(Device, InstancedIndexedDrawReadsPerInstanceStream)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("inst.sh", devtest::inst_sh);
  Shader *sh = create_shader("inst.sh", nullptr);
  const VsdElement l[3] = {vsd_element(0, 0, VSDT_FLOAT2, VSDU_POSITION, 0),
                           vsd_element(0, 1, VSDT_FLOAT2, VSDU_TEXCOORD, 1), vsd_end()};
  VDecl decl = create_vdecl(l);
  VertexBuffer *quad = create_vb(4 * 8, BUF_STATIC);
  IndexBuffer *ib = create_ib(6, BUF_STATIC);
  VertexBuffer *offs = create_vb(2 * 8, BUF_STATIC);
  ASSERT_TRUE(quad && ib && offs);
  const float q[8] = {-0.1f, -0.1f, -0.1f, 0.1f, 0.1f, 0.1f, 0.1f, -0.1f};
  memcpy(lock_vb(quad, 0, 0), q, sizeof(q));
  unlock_vb(quad);
  const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
  memcpy(lock_ib(ib, 0, 0), idx, sizeof(idx));
  unlock_ib(ib);
  const float o[4] = {-0.5f, 0.5f, 0.5f, -0.5f}; // top-left and bottom-right
  memcpy(lock_vb(offs, 0, 0), o, sizeof(o));
  unlock_vb(offs);

  set_backbuffer_target();
  neutral_states();
  clear_view(0xFF000000);
  set_shader(sh);
  set_vdecl(decl);
  set_vb(0, quad, 0, 8);
  set_vb(1, offs, 0, 8);
  set_ib(ib);
  set_instancing(2);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
  set_instancing(0);
  set_vb(1, nullptr, 0, 0);
  set_ib(nullptr);
  auto px = vistest::read_pixels();
  EXPECT_EQ(px_at(px, 80, 60), 0xFF00FF00u);   // (-0.5, 0.5) in clip
  EXPECT_EQ(px_at(px, 240, 180), 0xFF00FF00u); // (0.5, -0.5)
  EXPECT_EQ(px_at(px, 160, 120), 0xFF000000u);
  release_vb(quad);
  release_vb(offs);
  release_ib(ib);
  destroy_shader(sh);
}

TEST(Device, ResizeRecreatesScreenSizedResourcesInPlace)
{
  REQUIRE_DEVICE(320, 240);
  d3d_hooks.on_resize = count_resize;
  int before = resize_hook_calls;
  EXPECT_TRUE(resize_d3d(0, 0, isFullscreen, false)); // unchanged: nothing happens
  EXPECT_EQ(resize_hook_calls, before);
  Texture *screen = create_screen_rt();
  Texture *fixed = create_rt_texture(16, 8, 3);
  VertexBuffer *dyn = create_vb(1024, 0);
  ASSERT_TRUE(screen && fixed && dyn);
  EXPECT_EQ(screen->texW, 320);
  VertexBuffer *writerVb = common_vb_writer.vb;
  int calls = resize_hook_calls;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(resize_d3d(200, 100, false, false));
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("=== resizing d3d to 200x100 windowed"), std::string::npos);
  EXPECT_NE(log.find("resized d3d to 200x100 windowed"), std::string::npos);
  EXPECT_EQ(resize_hook_calls, calls + 1);
  EXPECT_EQ(d3d_wd, 200);
  EXPECT_EQ(screen->texW, 200);
  EXPECT_EQ(screen->texH, 100);
  EXPECT_NE(screen->tex, 0u);
  EXPECT_EQ(fixed->texW, 16);
  EXPECT_EQ(common_vb_writer.vb, writerVb);
  EXPECT_NE(dyn->buffer, 0u);
  EXPECT_EQ(dyn->size, 1024);
  EXPECT_NE(lock_vb(dyn, 0, 0), nullptr);
  unlock_vb(dyn);
  set_backbuffer_target();
  clear_view(0xFF123456);
  auto px = vistest::read_pixels();
  ASSERT_EQ(px.size(), size_t(200 * 100));
  EXPECT_EQ(px.back(), 0xFF123456u);
  ASSERT_TRUE(resize_d3d(320, 240, false, false));
  release_texture(screen);
  release_texture(fixed);
  release_vb(dyn);
}

TEST(Device, FreeTextureMemoryFallsWithAllocations)
{
  REQUIRE_DEVICE(320, 240);
  unsigned before = get_free_texmem();
  EXPECT_GT(before, 0u);
  Texture *big = create_texture(1024, 1024, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  ASSERT_NE(big, nullptr);
  unsigned after = get_free_texmem();
  if (!epoxy_has_gl_extension("GL_NVX_gpu_memory_info") && !epoxy_has_gl_extension("GL_ATI_meminfo"))
  {
    EXPECT_EQ(before - after, 4u << 20);
  }
  release_texture(big);
  EXPECT_EQ(get_free_texmem(), before);
}

namespace
{
int writer_calls, writer_last_count;
void count_render(int count, unsigned) { writer_calls++, writer_last_count = count; }
} // namespace

TEST(Buffers, WriterFlushRules)
{
  REQUIRE_DEVICE(320, 240);
  DynVBWriter &w = common_vb_writer;
  writer_calls = 0;
  w.flush(true); // idle: nothing
  EXPECT_EQ(writer_calls, 0);
  w.start(count_render, 7);
  uint8_t *start = w.startPtr;
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(w.roomLeft(), 65536);
  w.flush(false); // nothing written: not even an unlock
  EXPECT_EQ(w.startPtr, start);
  EXPECT_EQ(writer_calls, 0);
  w.cur += 48;
  w.count = 2;
  w.flush(false); // draws and goes on at the start of a fresh buffer
  EXPECT_EQ(writer_calls, 1);
  EXPECT_EQ(writer_last_count, 2);
  EXPECT_EQ(w.cur, w.startPtr);
  EXPECT_EQ(w.count, 0);
  EXPECT_EQ(w.renderFunc, count_render);
  w.flush(true); // nothing pending: unlock only
  EXPECT_EQ(writer_calls, 1);
  EXPECT_EQ(w.startPtr, nullptr);
  EXPECT_EQ(w.renderFunc, nullptr);
}

TEST(Buffers, TablesRefuseTheRecordAfterTheLast)
{
  REQUIRE_DEVICE(320, 240);
  std::vector<VertexBuffer *> made;
  testing::internal::CaptureStdout();
  while (VertexBuffer *vb = create_vb(16, BUF_STATIC))
    made.push_back(vb);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("reached MAX_BUFFERS for VB"), std::string::npos);
  EXPECT_LE(made.size(), size_t(MAX_BUFFERS));
  EXPECT_GT(made.size(), size_t(MAX_BUFFERS - 20));
  // Freed records are reused first.
  VertexBuffer *freed = made[3];
  release_vb(freed);
  EXPECT_EQ(create_vb(16, BUF_STATIC), freed);
  for (VertexBuffer *vb : made)
    release_vb(vb);
  EXPECT_EQ(lock_vb(nullptr, 0, 0), nullptr);
  unlock_vb(nullptr);
  release_vb(nullptr);
}

namespace
{
std::vector<uint8_t> mesh_file(uint32_t version)
{
  std::vector<uint8_t> body;
  auto u8 = [&](uint8_t v) { body.push_back(v); };
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; i++)
      body.push_back(uint8_t(v >> (8 * i)));
  };
  auto str = [&](const char *s) {
    u8(uint8_t(strlen(s)));
    body.insert(body.end(), s, s + strlen(s) + 1);
  };
  str("fwd.sh");
  str("def.sh");
  u8(1);
  str("rock.dds");
  u8(0);
  u8(1);
  VsdElement e = vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0);
  body.insert(body.end(), (uint8_t *)&e, (uint8_t *)&e + 6);
  u32(12);
  u32(3);
  u32(1);
  for (int i = 0; i < 9; i++)
    u32(0);
  for (uint16_t i : {0, 1, 2})
    u8(uint8_t(i)), u8(0);
  std::vector<uint8_t> f;
  for (int i = 0; i < 4; i++)
    f.push_back(uint8_t(version >> (8 * i)));
  uint32_t n = uint32_t(body.size());
  for (int i = 0; i < 4; i++)
    f.push_back(uint8_t(n >> (8 * i)));
  f.insert(f.end(), body.begin(), body.end());
  return f;
}
} // namespace

TEST(Meshes, SharedByPathAndReleasedAtZero)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("Rock.mesh", mesh_file(MESH_FILE_VERSION));
  Mesh *a = get_mesh("Rock.mesh", true);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(get_mesh("ROCK.mesh", true), a);
  EXPECT_EQ(a->refcount, 2);
  EXPECT_EQ(a->numTris, 1);
  EXPECT_STREQ(a->textures[0].name, "rock.dds");
  EXPECT_STREQ(a->deferredShader, "def.sh");
  EXPECT_NE(a->vb, nullptr);
  EXPECT_EQ(a->ib->size, 6);
  release_mesh(a);
  EXPECT_EQ(a->refcount, 1);
  release_mesh(a);
  free_all_meshes();
}

TEST(Meshes, BrokenFilesReportPathMessageAndOffset)
{
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("old.mesh", mesh_file(0x12040800));
  EXPECT_EXIT(get_mesh("old.mesh", true), testing::ExitedWithCode(100),
              "Error reading mesh file '.*old.mesh':\nInvalid mesh file version \\(offset -1\\)");
  EXPECT_EXIT(get_mesh("none.mesh", false), testing::ExitedWithCode(100), "failed ASSERT\\(m\\)");
}

TEST(Device, HiddenWindowIsLostAndShowingItForcesOneReset)
{
  REQUIRE_DEVICE(320, 240);
  d3d_hooks.on_resize = count_resize;
  int calls = resize_hook_calls;
  EXPECT_FALSE(check_d3d_device()); // the test window is hidden
  EXPECT_FALSE(check_d3d_device());
  EXPECT_EQ(resize_hook_calls, calls);
  SDL_ShowWindow(win.wnd);
  EXPECT_TRUE(check_d3d_device()); // restored: the screen resources are recreated once
  EXPECT_EQ(resize_hook_calls, calls + 1);
  EXPECT_TRUE(check_d3d_device());
  EXPECT_EQ(resize_hook_calls, calls + 1);
  SDL_HideWindow(win.wnd);
  EXPECT_EQ(d3d_wd, 320);
}

TEST(Buffers, StreamingWrapsTheRingWithoutLosingDraws)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("solid.sh", devtest::solid_sh);
  Shader *sh = create_shader("solid.sh", nullptr);
  set_backbuffer_target();
  neutral_states();
  clear_view(0xFF000000);
  // 3 rings' worth of separate writer passes, each one quad in its own cell.
  const int n = 3 * DYN_VB_SEGMENTS;
  for (int i = 0; i < n; i++)
  {
    float x0 = -1.f + (i % 8) * 0.25f, y0 = 1.f - (i / 8 + 1) * 0.25f;
    draw_rect(sh, x0, y0, x0 + 0.2f, y0 + 0.2f, 0xFF000000u | uint32_t(40 + i * 8) << 8);
  }
  auto px = vistest::read_pixels();
  for (int i = 0; i < n; i++)
  {
    int x = (i % 8) * 40 + 8, y = (i / 8) * 30 + 15;
    EXPECT_EQ(green(px_at(px, x, y)), 40 + i * 8) << i;
  }
  // A GPU still reading the region ahead: the ring moves to fresh storage, draws intact.
  clear_view(0xFF000000);
  dynvb_pretend_busy = true;
  int switches = dynvb_storage_switches;
  for (int i = 0; i < n; i++)
  {
    float x0 = -1.f + (i % 8) * 0.25f, y0 = 1.f - (i / 8 + 1) * 0.25f;
    draw_rect(sh, x0, y0, x0 + 0.2f, y0 + 0.2f, 0xFF000000u | uint32_t(40 + i * 8) << 8);
  }
  dynvb_pretend_busy = false;
  EXPECT_GE(dynvb_storage_switches - switches, 2);
  px = vistest::read_pixels();
  for (int i = 0; i < n; i++)
    EXPECT_EQ(green(px_at(px, (i % 8) * 40 + 8, (i / 8) * 30 + 15)), 40 + i * 8) << i;
  destroy_shader(sh);
}

TEST(Textures, SoftwareDxtMatchesTheDriverOnCompressedImages)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  // A 16 x 16 image with gradients and hard edges, compressed by stb_dxt as DXT1 and DXT5.
  uint8_t img[16][16][4];
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++)
    {
      img[y][x][0] = uint8_t(x * 16);
      img[y][x][1] = uint8_t(y * 16);
      img[y][x][2] = uint8_t((x ^ y) & 8 ? 255 : 0);
      img[y][x][3] = uint8_t(255 - x * y);
    }
  for (int fmt : {D3DFMT_DXT1, D3DFMT_DXT5})
  {
    std::vector<uint8_t> f = dxt1_file();
    f.resize(128);
    uint32_t w = 16;
    memcpy(&f[12], &w, 4);
    memcpy(&f[16], &w, 4);
    memcpy(&f[84], &fmt, 4);
    for (int by = 0; by < 4; by++)
      for (int bx = 0; bx < 4; bx++)
      {
        uint8_t block[16][4], out[16];
        for (int i = 0; i < 16; i++)
          memcpy(block[i], img[by * 4 + i / 4][bx * 4 + i % 4], 4);
        stb_compress_dxt_block(out, &block[0][0], fmt == D3DFMT_DXT5, STB_DXT_HIGHQUAL);
        f.insert(f.end(), out, out + (fmt == D3DFMT_DXT5 ? 16 : 8));
      }
    dir.write("img.dds", f);
    Texture *hw = get_texture("img.dds", true);
    show_texture(hw, 16, 16);
    auto a = vistest::read_pixels();
    free_texture(hw);
    d3d_force_soft_dxt = true;
    Texture *sw = get_texture("img.dds", true);
    show_texture(sw, 16, 16);
    auto b = vistest::read_pixels();
    free_texture(sw);
    d3d_force_soft_dxt = false;
    int worst = 0;
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 16; x++)
        for (int k = 0; k < 32; k += 8)
          worst = std::max(worst, std::abs(int((px_at(a, x, y) >> k) & 255) - int((px_at(b, x, y) >> k) & 255)));
    EXPECT_LE(worst, 3) << "format " << std::hex << fmt; // decoders may round interpolants differently
  }
}
