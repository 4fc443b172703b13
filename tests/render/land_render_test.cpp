// The terrain renderer on the device (llvmpipe): a fixed island under a fixed camera
// through both scene pipelines, and the world map's orientation and colours.
#include <cmath>
#include <cstring>
#include <epoxy/gl.h>
#include <filesystem>
#include <vector>
#include "core/gfx_settings.h"
#include "core/globals.h"
#include "render/device.h"
#include "render/land_render_internal.h"
#include "render/scene_render.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "render/textures.h"
#include "tests/render/scene_test_dir.h"

using HD = HeightmapData;

namespace
{
constexpr uint32_t LAND_COLOR = 0xFF3C8C28;   // green
constexpr uint32_t SEABED_COLOR = 0xFFB4A078; // sand

int building_calls = 0;

// A round island of radius 40 around (128, 128) rising to 12, sea of depth up to 3
// elsewhere, one house cell on the island at (140, 128).
void make_island()
{
  HD::reset();
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
    {
      float dx = float(x - 128), dz = float(z - 128);
      float d = sqrtf(dx * dx + dz * dz);
      float h = d < 40.f ? 12.f * (1.f - d / 40.f) : -3.f * fminf((d - 40.f) / 10.f, 1.f);
      HD::height(x, z) = h;
      HD::target_hmap[hmap_index(x, z)] = h;
      HD::waterAt(x, z).depth = h < 0.f ? -h : 0.f;
      HD::surf(x, z).color = h > 0.f ? LAND_COLOR : SEABED_COLOR;
    }
  HD::surf(140, 128).set_ground_type(GT_HOUSE);
  memcpy(HD::tmpw, HD::water, sizeof(HD::water));
}

// Camera above the shore south of the island, looking north (+z) and down.
Matrix44 camera_itm()
{
  float p = 0.6f;
  Matrix44 itm = Matrix44::identity();
  itm.setRow(1, vec4f(0.f, cosf(p), sinf(p), 0.f));
  itm.setRow(2, vec4f(0.f, -sinf(p), cosf(p), 0.f));
  itm.setRow(3, vec4f(128.f, 45.f, 40.f, 1.f));
  return itm;
}

void set_camera() { scenetest::set_frame_camera(camera_itm()); }

void draw_island(float)
{
  set_camera();
  prepare_land_render(land_view_from_device(), 0.f);
  if (gfx_quality == 1)
    render_scene_deferred(camera_itm(), 0.f, 0.f);
  else
    render_scene_forward(0.f, 0.f);
  draw_final_image();
}

struct LandScene
{
  scenetest::ProgramDir dir;
  bool ok = true;
  explicit LandScene(int quality)
  {
    namespace fs = std::filesystem;
    for (const char *f : {"detail.dds", "foam.dds"})
    {
      std::error_code ec;
      fs::copy_file(vistest::bin_dir() + f, dir.dir + "/" + f, fs::copy_options::overwrite_existing, ec);
      ok = ok && !ec;
    }
    if (!ok)
      return;
    gfx_quality = quality;
    land_shadow_quality = 2;
    use_ppaa = false;
    use_postfx = true;
    use_wireframe = false;
    use_fog = true;
    make_island();
    SceneHooks h;
    h.init_terrain = init_land_render;
    h.close_terrain = close_land_render;
    h.render_land = render_land;
    h.render_water = render_water_prepared;
    h.render_horizon = render_horizon;
    scene_hooks = h;
    land_hooks.render_building = [](const HD::Surface *, int, int) { building_calls++; };
    init_scene_render();
    set_sun_dir(vec4f(0.4f, 1.f, -0.5f, 0.f), false);
    set_camera();
  }
  ~LandScene()
  {
    if (!ok)
      return;
    close_scene_render();
    scene_hooks = SceneHooks{};
    land_hooks = LandHooks{};
    gfx_quality = 1;
  }
};

int R(uint32_t p) { return (p >> 16) & 0xFF; }
int G(uint32_t p) { return (p >> 8) & 0xFF; }
int B(uint32_t p) { return p & 0xFF; }

void check_island_frame(const std::vector<uint32_t> &px, const char *name)
{
  ASSERT_FALSE(px.empty());
  vistest::save_png(px, name);
  const int w = d3d_wd, h = d3d_ht;
  auto at = [&](int x, int y) { return px[size_t(y) * w + x]; };
  // Top row: sky, blue.
  uint32_t sky = at(w / 2, 1);
  EXPECT_GT(B(sky), R(sky)) << std::hex << sky;
  // The island's green slope in the middle of the picture.
  int green = 0, blue = 0;
  for (int y = h * 2 / 5; y < h * 3 / 5; y++)
    for (int x = w * 2 / 5; x < w * 3 / 5; x++)
      green += G(at(x, y)) > B(at(x, y)) && G(at(x, y)) > R(at(x, y));
  EXPECT_GT(green, (w / 5) * (h / 5) / 2) << "land where the island is: " << std::hex << at(w / 2, h / 2);
  // The sea below the camera: bottom corners, blue over green and red.
  for (int x : {2, w - 3})
  {
    uint32_t sea = at(x, h - 2);
    blue += B(sea) > R(sea) + 8;
    EXPECT_LT(G(sea), 200) << std::hex << sea << " is not sky or foam";
  }
  EXPECT_EQ(blue, 2) << "water where the sea is";
  // No pixel left black: every covered pixel was lit, the rest is sky.
  int black = 0;
  for (uint32_t p : px)
    black += R(p) + G(p) + B(p) < 6;
  EXPECT_EQ(black, 0);
}
} // namespace

TEST(LandRender, HighQualityIsland)
{
  REQUIRE_DEVICE(320, 180);
  LandScene scene(1);
  if (!scene.ok)
    GTEST_SKIP() << "detail.dds / foam.dds not generated";
  building_calls = 0;
  ASSERT_TRUE(vistest::draw_frame_with(draw_island));
  EXPECT_EQ(building_calls, 1) << "the house cell goes to the module once per frame";
  EXPECT_GT(land_state.waterQuads, 0);
  EXPECT_GT(land_state.horizonQuads, 0);
  check_island_frame(vistest::read_pixels(), "land_high");
}

TEST(LandRender, LowQualityIsland)
{
  REQUIRE_DEVICE(320, 180);
  LandScene scene(0);
  if (!scene.ok)
    GTEST_SKIP() << "detail.dds / foam.dds not generated";
  EXPECT_EQ(HeightmapRenderer::aperTex, nullptr) << "no aperture at low quality";
  ASSERT_TRUE(vistest::draw_frame_with(draw_island));
  check_island_frame(vistest::read_pixels(), "land_low");
}

namespace
{
Shader *copy_sh = nullptr;
void draw_map(float)
{
  prepare_land_render(land_view_from_device(), 0.f);
  set_backbuffer_target();
  set_zenable(false);
  set_cull_mode(0);
  set_blend_none();
  set_shader(copy_sh);
  set_texture(0, HeightmapRenderer::mapTex);
  set_tex_filter(0, false);
  const float r16[4] = {0.5f, -0.5f, 0.5f + 0.5f / 512.f, 0.5f + 0.5f / 512.f};
  set_vs_consts(16, r16, 1);
  draw_postfx();
  set_texture(0, nullptr);
}
} // namespace

TEST(LandRender, WorldMapShowsLandAndWaterInPlace)
{
  REQUIRE_DEVICE(512, 512);
  for (int q : {1, 0})
  {
    LandScene scene(q);
    if (!scene.ok)
      GTEST_SKIP() << "detail.dds / foam.dds not generated";
    // Mark the map's orientation: a land square in the sea's north-east (x 200, z 40).
    for (int z = 36; z < 44; z++)
      for (int x = 196; x < 204; x++)
      {
        HD::height(x, z) = 2.f;
        HD::waterAt(x, z).depth = 0.f;
        HD::surf(x, z).color = 0xFFE01010; // red
      }
    // One wet cell on the island: water over the four cells it is a corner of, no more.
    const int wx = 128, wz = 120;
    ASSERT_EQ(HD::waterAt(wx, wz).depth, 0.f) << "the island's middle is dry";
    HD::waterAt(wx, wz).depth = 3.f;
    request_land_refresh();
    copy_sh = create_shader("copy.sh", nullptr);
    ASSERT_TRUE(vistest::draw_frame_with(draw_map));
    std::vector<uint32_t> px = vistest::read_pixels();
    destroy_shader(copy_sh);
    ASSERT_FALSE(px.empty());
    vistest::save_png(px, q ? "land_map_high" : "land_map_low");
    auto at = [&](int x, int z) { return px[size_t(2 * z) * 512 + 2 * x]; };
    uint32_t island = at(128, 128), mark = at(200, 40), sea = at(20, 230);
    EXPECT_GT(G(island), R(island)) << std::hex << island << " quality " << q;
    EXPECT_GT(G(island), B(island)) << std::hex << island;
    EXPECT_GT(R(mark), 2 * G(mark)) << std::hex << mark << ": cell (200, 40) at pixel (400, 80)";
    EXPECT_GT(B(sea), R(sea)) << std::hex << sea;
    // Pixel (2x, 2z) is corner (x, z); the pixels between it and its neighbours lie in
    // the cells around it, half as deep; cells without a wet corner stay land.
    auto pix = [&](int px_x, int px_z) { return px[size_t(px_z) * 512 + px_x]; };
    const int cx = 2 * wx, cz = 2 * wz;
    auto blueness = [&](int ox, int oz) {
      uint32_t c = pix(cx + ox, cz + oz);
      return int(B(c)) - int(G(c));
    };
    const int land = blueness(9, 9);
    for (auto [ox, oz] : {std::pair{0, 0}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}})
      EXPECT_GT(blueness(ox, oz), land + 25) << "water at " << ox << "," << oz;
    for (auto [ox, oz] : {std::pair{3, 1}, {-3, 1}, {1, 3}, {1, -3}})
      EXPECT_LT(blueness(ox, oz), land + 10) << "land at " << ox << "," << oz;
    // The mirror image of the mark is sea.
    uint32_t mirror = at(200, 215);
    EXPECT_GT(B(mirror), R(mirror)) << std::hex << mirror;
  }
}

TEST(LandRender, ResizeRebuildsTheCopies)
{
  REQUIRE_DEVICE(320, 180);
  LandScene scene(1);
  if (!scene.ok)
    GTEST_SKIP() << "detail.dds / foam.dds not generated";
  ASSERT_TRUE(vistest::draw_frame_with(draw_island));
  // The device recreates its render targets blank; the next frame must not draw from them.
  ASSERT_TRUE(vistest::device(336, 188).ok);
  land_render_after_reset();
  ASSERT_TRUE(vistest::draw_frame_with(draw_island));
  check_island_frame(vistest::read_pixels(), "land_after_resize");
}

namespace
{
std::vector<uint8_t> texels(Texture *t)
{
  std::vector<uint8_t> v(size_t(t->texW) * t->texH * 4);
  glGetTextureImage(t->tex, 0, GL_RGBA, GL_UNSIGNED_BYTE, GLsizei(v.size()), v.data());
  return v;
}
int max_difference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
  int d = 0;
  for (size_t i = 0; i < a.size(); i++)
    d = std::max(d, std::abs(int(a[i]) - int(b[i])));
  return d;
}
void raise_hill(int cx, int cz, float height)
{
  for (int z = cz - 4; z <= cz + 4; z++)
    for (int x = cx - 4; x <= cx + 4; x++)
      HD::height(x, z) += height * (1.f - fmaxf(fabsf(float(x - cx)), fabsf(float(z - cz))) / 5.f);
}
} // namespace

TEST(LandRender, PartialRefreshGivesWhatAFullOneGives)
{
  REQUIRE_DEVICE(320, 180);
  LandScene scene(1);
  if (!scene.ok)
    GTEST_SKIP() << "detail.dds / foam.dds not generated";
  LandRenderState &s = land_state;
  prepare_land_render(land_view_from_device(), 0.f);
  EXPECT_FALSE(s.lastChange.empty()) << "the first refresh covers the map";
  for (int i = 0; i < 2; i++)
  {
    request_land_refresh();
    prepare_land_render(land_view_from_device(), 0.f);
  }
  EXPECT_TRUE(s.lastChange.empty()) << "nothing changed";
  EXPECT_TRUE(s.interpArea.empty());

  // Two edits in two steps, far apart: the second refresh must carry the first one too.
  raise_hill(90, 150, 6.f);
  request_land_refresh();
  prepare_land_render(land_view_from_device(), 0.02f);
  EXPECT_EQ(s.lastChange.x0, 90 - 4 - LAND_PASS_REACH);
  EXPECT_EQ(s.lastChange.z1, 150 + 5 + LAND_PASS_REACH);
  raise_hill(170, 100, 8.f);
  HD::waterAt(60, 60).depth += 0.5f;
  request_land_refresh();
  prepare_land_render(land_view_from_device(), 0.05f); // t = 1: the interpolated copies are the latest results
  EXPECT_LE(s.interpArea.x0, 60 - LAND_PASS_REACH);
  EXPECT_GE(s.interpArea.x1, 170 + 5 + LAND_PASS_REACH);
  const std::vector<uint8_t> part[4] = {texels(s.normTexNext), texels(s.aperTexNext),
                                        texels(HeightmapRenderer::normTex), texels(HeightmapRenderer::aperTex)};
  // The map is lit from the refresh before (the latest targets may still be drawing):
  // one more step shows the edits.
  request_land_refresh();
  prepare_land_render(land_view_from_device(), 0.05f);
  const std::vector<uint8_t> map_part = texels(HeightmapRenderer::mapTex);

  land_render_after_reset(); // the next refresh redoes everything
  prepare_land_render(land_view_from_device(), 0.05f);
  const std::vector<uint8_t> full[4] = {texels(s.normTexNext), texels(s.aperTexNext),
                                        texels(HeightmapRenderer::normTex), texels(HeightmapRenderer::aperTex)};
  const char *names[4] = {"normals", "aperture", "interpolated normals", "interpolated aperture"};
  for (int i = 0; i < 4; i++)
    EXPECT_LE(max_difference(part[i], full[i]), 1) << names[i];
  EXPECT_LE(max_difference(map_part, texels(HeightmapRenderer::mapTex)), 1) << "world map";
  // The edits show: the hill's east slope faces east (normal x well above 0.5).
  EXPECT_GT(int(part[0][(size_t(4 * 150 + 2) * 1024 + 4 * 92 + 2) * 4]), 128 + 20);
}
