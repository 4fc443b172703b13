// The scene pipelines on the device with stand-in terrain: a ground plane under a fixed
// camera, water over its left half. Checks what lands where on screen, the low-quality
// path's targets and MLAA's effect on edges.
#include <cmath>
#include <set>
#include "core/gfx_settings.h"
#include "core/globals.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/scene_render.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "render/textures.h"
#include "tests/render/scene_test_dir.h"

namespace
{
VertexBuffer *quad_vb = nullptr;
IndexBuffer *quad_ib = nullptr;
VDecl quad_decl = nullptr;
Shader *land_sh = nullptr, *water_sh = nullptr;
int land_calls = 0, water_calls = 0, horizon_calls = 0, fx_calls = 0;

void draw_rect(Shader *sh, float x0, float x1, float z0, float z1, float y)
{
  float *v = (float *)lock_vb(quad_vb, 0, 0);
  const float pts[12] = {x0, y, z0, x1, y, z0, x0, y, z1, x1, y, z1};
  memcpy(v, pts, sizeof(pts));
  unlock_vb(quad_vb);
  set_cull_mode(0);
  set_vdecl(quad_decl);
  set_vb(0, quad_vb, 0, 12);
  set_ib(quad_ib);
  set_shader(sh);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
}

void fake_land()
{
  land_calls++;
  draw_rect(land_sh, -300.f, 300.f, -50.f, 300.f, 0.f);
}
void fake_water()
{
  water_calls++;
  set_zenable(true);
  draw_rect(water_sh, -300.f, 0.f, -50.f, 300.f, 0.5f);
}
void fake_horizon() { horizon_calls++; }
void fake_fx() { fx_calls++; }

struct Scene
{
  scenetest::ProgramDir dir;
  Scene(int quality)
  {
    dir.write("test_land.sh", scenetest::test_land_sh);
    gfx_quality = quality;
    use_postfx = true;
    use_ppaa = false;
    use_wireframe = false;
    use_fog = true;
    // Stand-in terrain only: no terrain renderer, whatever another test installed.
    scene_hooks = SceneHooks{};
    init_scene_render();
    const char *def = quality ? "DEFERRED\0 1\0" : "";
    const char *wdef = quality ? "DEFERRED\0 1\0WATER\0 1\0" : "WATER\0 1\0";
    land_sh = create_shader("test_land.sh", def);
    water_sh = create_shader("test_land.sh", wdef);
    quad_vb = create_vb(48, 0);
    quad_ib = create_ib(6, BUF_STATIC);
    uint16_t *ip = (uint16_t *)lock_ib(quad_ib, 0, 0);
    const uint16_t idx[6] = {0, 2, 1, 1, 2, 3};
    memcpy(ip, idx, sizeof(idx));
    unlock_ib(quad_ib);
    const VsdElement decl[] = {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0), vsd_end()};
    quad_decl = create_vdecl(decl);
    scene_hooks.render_land = fake_land;
    scene_hooks.render_water = fake_water;
    scene_hooks.render_horizon = fake_horizon;
    scene_hooks.render_common_fx = fake_fx;
    land_calls = water_calls = horizon_calls = fx_calls = 0;
    set_sun_dir(vec4f(0.3f, 1.f, 0.4f, 0.f), false);
  }
  ~Scene()
  {
    scene_hooks = SceneHooks{};
    destroy_shader(land_sh);
    destroy_shader(water_sh);
    release_vb(quad_vb);
    release_ib(quad_ib);
    close_scene_render();
    gfx_quality = 1;
    use_ppaa = false;
    use_postfx = true;
    use_wireframe = false;
  }
};

// Camera 20 units above the ground looking along +z, slightly down.
Matrix44 camera_itm()
{
  float p = 0.15f;
  Matrix44 itm = Matrix44::identity();
  itm.setRow(1, vec4f(0.f, std::cos(p), std::sin(p), 0.f));
  itm.setRow(2, vec4f(0.f, -std::sin(p), std::cos(p), 0.f));
  itm.setRow(3, vec4f(0.f, 20.f, 0.f, 1.f));
  return itm;
}

void set_camera() { scenetest::set_frame_camera(camera_itm()); }

void draw_scene(float)
{
  set_camera();
  if (gfx_quality == 1)
    render_scene_deferred(camera_itm(), 0.f, 0.f);
  else
    render_scene_forward(0.f, 0.f);
  draw_final_image();
}

// Only the final pass: the current scene image onto the back buffer.
void draw_final_only(float) { draw_final_image(); }

int R(uint32_t p) { return (p >> 16) & 0xFF; }
int G(uint32_t p) { return (p >> 8) & 0xFF; }
int B(uint32_t p) { return p & 0xFF; }
uint32_t at(const std::vector<uint32_t> &px, int x, int y) { return px[size_t(y) * d3d_wd + x]; }

void check_layout(const std::vector<uint32_t> &px)
{
  int w = d3d_wd, h = d3d_ht;
  uint32_t sky = at(px, w / 2, 3), land = at(px, w * 7 / 8, h - 4), water = at(px, w / 8, h - 4);
  // Sky: blue above everything else.
  EXPECT_GT(B(sky), R(sky)) << std::hex << sky;
  EXPECT_GT(B(sky), 120) << std::hex << sky;
  // Land: the green ground, lit.
  EXPECT_GT(G(land), B(land)) << std::hex << land;
  EXPECT_GT(G(land), R(land)) << std::hex << land;
  EXPECT_GT(G(land), 40) << std::hex << land;
  // Water: blue over green.
  EXPECT_GT(B(water), G(water)) << std::hex << water;
  EXPECT_GT(B(water), R(water)) << std::hex << water;
  // Every row from the top down to the horizon is sky, every row below ground or water:
  // the lower quarter has no sky-blue pixel on the land half.
  for (int y = h * 3 / 4; y < h; y++)
    for (int x = w * 5 / 8; x < w; x++)
      ASSERT_GT(G(at(px, x, y)), B(at(px, x, y))) << x << "," << y;
}
} // namespace

TEST(SceneRender, HighQualityFrame)
{
  REQUIRE_DEVICE(320, 180);
  Scene scene(1);
  for (int i = 1; i <= 4; i++)
  {
    EXPECT_NE(get_quarter_target(i), nullptr);
    EXPECT_NE(get_scene_target(i), nullptr);
  }
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> px = vistest::read_pixels();
  ASSERT_FALSE(px.empty());
  vistest::save_png(px, "scene_high");
  EXPECT_EQ(land_calls, 1);
  EXPECT_EQ(water_calls, 1);
  EXPECT_EQ(horizon_calls, 1);
  EXPECT_EQ(fx_calls, 1);
  check_layout(px);
}

TEST(SceneRender, LowQualityFrameWithoutQuarterTargets)
{
  REQUIRE_DEVICE(320, 180);
  Scene scene(0);
  EXPECT_FALSE(use_postfx);
  for (int i = 1; i <= 4; i++)
    EXPECT_EQ(get_quarter_target(i), nullptr);
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> px = vistest::read_pixels();
  ASSERT_FALSE(px.empty());
  vistest::save_png(px, "scene_low");
  EXPECT_EQ(land_calls, 1);
  EXPECT_EQ(water_calls, 1);
  check_layout(px);
  // Without post-effects the final pass copies exactly: the flat forward land colour.
  EXPECT_EQ(at(px, d3d_wd * 7 / 8, d3d_ht - 4) & 0xFFFFFF, 0x4C9933u);
}

TEST(SceneRender, WireframeSkipsTheSky)
{
  REQUIRE_DEVICE(320, 180);
  Scene scene(1);
  use_wireframe = true;
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> px = vistest::read_pixels();
  ASSERT_FALSE(px.empty());
  // The wireframe clear colour stays where the sky would be, untouched by grading.
  EXPECT_EQ(at(px, d3d_wd / 2, 3) & 0xFFFFFF, 0xB4B4B4u);
}

TEST(SceneRender, MlaaChangesOnlyEdgePixels)
{
  REQUIRE_DEVICE(320, 180);
  Scene scene(0); // plain copy in the final pass: what is read back is the scene image
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> before = vistest::read_pixels();
  Texture *image = get_scene_image();
  std::set<Texture *> pool = {image};
  for (int i = 1; i <= 4; i++)
    pool.insert(get_scene_target(i));
  use_ppaa = true;
  ASSERT_TRUE(vistest::draw_frame_with(draw_final_only));
  std::vector<uint32_t> after = vistest::read_pixels();
  ASSERT_EQ(before.size(), after.size());
  // The image moved to another of the five textures; none is lost or doubled.
  EXPECT_NE(get_scene_image(), image);
  std::set<Texture *> pool_after = {get_scene_image()};
  for (int i = 1; i <= 4; i++)
    pool_after.insert(get_scene_target(i));
  EXPECT_EQ(pool_after, pool);
  vistest::save_png(after, "scene_mlaa");

  auto luma = [](uint32_t p) { return (0.299f * R(p) + 0.587f * G(p) + 0.114f * B(p)) / 255.f; };
  int w = d3d_wd, h = d3d_ht;
  auto edge_between = [&](int x0, int y0, int x1, int y1) {
    if (x1 < 0 || y1 < 0 || x1 >= w || y1 >= h)
      return false;
    return std::fabs(luma(at(before, x0, y0)) - luma(at(before, x1, y1))) > 0.09f;
  };
  int changed = 0;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
    {
      bool near_edge = edge_between(x, y, x - 1, y) || edge_between(x, y, x + 1, y) || edge_between(x, y, x, y - 1) ||
                       edge_between(x, y, x, y + 1);
      bool differs = (at(before, x, y) & 0xFFFFFF) != (at(after, x, y) & 0xFFFFFF);
      if (differs)
      {
        changed++;
        ASSERT_TRUE(near_edge) << "pixel " << x << "," << y << " changed without an edge";
      }
    }
  // The horizon line and the shore are long, slightly slanted edges: some pixels blend.
  EXPECT_GT(changed, 20);
  EXPECT_LT(changed, w * h / 10);
}

TEST(SceneRender, QuarterTargetsFollowResizes)
{
  REQUIRE_DEVICE(320, 180);
  Scene scene(1);
  EXPECT_EQ(get_quarter_target(1)->texW, 80);
  vistest::device(328, 200);
  create_quarter_targets();
  for (int i = 1; i <= 4; i++)
  {
    EXPECT_EQ(get_quarter_target(i)->texW, 82);
    EXPECT_EQ(get_quarter_target(i)->texH, 50);
  }
  // The frame still draws at the new size.
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> px = vistest::read_pixels();
  ASSERT_FALSE(px.empty());
  check_layout(px);
  vistest::device(320, 180);
  create_quarter_targets();
}
