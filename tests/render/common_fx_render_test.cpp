// The common effects drawn on the device over a stand-in scene: a ground plane and a
// wall in front of the right half of the view. What a glow particle adds, what the
// depth test hides, and the two ways of accumulating the effects giving one picture.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include "core/gfx_settings.h"
#include "core/globals.h"
#include "render/buffers.h"
#include "render/common_fx.h"
#include "render/device.h"
#include "render/scene_render.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "tests/render/scene_test_dir.h"

namespace
{
// Flat colours through vc[0..3]; DEFERRED writes the geometry buffer instead.
const char *const flat_sh = "#include \"gbuffer.inc\"\n"
                            "VARYING float depth;\n"
                            "#if VSH\n"
                            "in vec4 POSITION0;\n"
                            "void vsh()\n"
                            "{\n"
                            "  vec4 p = vec4(POSITION0.xyz, 1.0);\n"
                            "  gl_Position = p.x * vc[0] + p.y * vc[1] + p.z * vc[2] + vc[3];\n"
                            "  depth = gb_view_depth(p);\n"
                            "}\n"
                            "#endif\n"
                            "#if PSH\n"
                            "void psh()\n"
                            "{\n"
                            "#ifdef DEFERRED\n"
                            "  gb_write_land(depth, vec3(0.0, 1.0, 0.0), vec3(0.3, 0.35, 0.3), 1.0);\n"
                            "#else\n"
                            "  COLOR0 = vec4(0.3, 0.35, 0.3, 1.0);\n"
                            "#endif\n"
                            "}\n"
                            "#endif\n";

VertexBuffer *vb = nullptr;
VDecl decl = nullptr;
Shader *flat = nullptr;

void draw_quad(vec4f a, vec4f b, vec4f c, vec4f d)
{
  float *v = (float *)lock_vb(vb, 0, 0);
  const vec4f pts[4] = {a, b, c, d};
  for (int i = 0; i < 4; i++)
    v[i * 3] = pts[i].x, v[i * 3 + 1] = pts[i].y, v[i * 3 + 2] = pts[i].z;
  unlock_vb(vb);
  set_cull_mode(0);
  set_vdecl(decl);
  set_vb(0, vb, 0, 12);
  set_shader(flat);
  draw_prim(D3DPT_TRIANGLESTRIP, 0, 2);
}

// Ground at y = 0 and a wall at z = 40 over x >= 4.
void stand_in_land()
{
  draw_quad(vec4f(-300.f, 0.f, -50.f, 1.f), vec4f(300.f, 0.f, -50.f, 1.f), vec4f(-300.f, 0.f, 400.f, 1.f),
            vec4f(300.f, 0.f, 400.f, 1.f));
  draw_quad(vec4f(4.f, 0.f, 40.f, 1.f), vec4f(300.f, 0.f, 40.f, 1.f), vec4f(4.f, 80.f, 40.f, 1.f),
            vec4f(300.f, 80.f, 40.f, 1.f));
}

void fx_pass() { render_common_fx(0.f, 0.f); }

Matrix44 camera_itm()
{
  Matrix44 itm = Matrix44::identity();
  itm.setRow(3, vec4f(0.f, 20.f, 0.f, 1.f)); // looking along +z
  return itm;
}

void draw_scene(float)
{
  Matrix44 itm = camera_itm(), view, glob;
  inverse44(itm, view);
  set_view_tm(view);
  set_proj_tm(1.2f, float(d3d_wd) / float(d3d_ht), 0.1f, 512.f);
  get_glob_tm(glob);
  set_vs_consts(0, &glob.m[0][0], 4);
  set_vs_consts(4, &itm.m[0][0], 4);
  update_sky(1.f);
  if (gfx_quality == 1)
    render_scene_deferred(itm, 0.f, 0.f);
  else
    render_scene_forward(0.f, 0.f);
  draw_final_image();
}

struct FxScene
{
  scenetest::ProgramDir dir;

  explicit FxScene(int quality)
  {
    namespace fs = std::filesystem;
    for (const char *tex : {"blendfx.dds", "glowfx.dds"})
      fs::copy_file(vistest::bin_dir() + tex, dir.dir + "/" + tex, fs::copy_options::overwrite_existing);
    dir.write("flat.sh", flat_sh);
    gfx_quality = quality;
    use_postfx = false; // the final pass copies the scene image as it is
    use_ppaa = false;
    use_wireframe = false;
    use_fog = false;
    scene_hooks = SceneHooks{}; // stand-in terrain only
    init_scene_render();
    use_postfx = false;
    flat = create_shader("flat.sh", quality ? "DEFERRED\0 1\0" : nullptr);
    vb = create_vb(48, 0);
    const VsdElement e[] = {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0), vsd_end()};
    decl = create_vdecl(e);
    scene_hooks.render_land = stand_in_land;
    scene_hooks.render_common_fx = fx_pass;
    set_sun_dir(vec4f(0.3f, 1.f, 0.4f, 0.f), false);
    init_common_fx();
  }
  ~FxScene()
  {
    close_common_fx();
    reset_common_fx();
    scene_hooks = SceneHooks{};
    destroy_shader(flat);
    release_vb(vb);
    close_scene_render();
    gfx_quality = 1;
    use_postfx = true;
    use_fog = true;
  }

  std::vector<uint32_t> frame()
  {
    EXPECT_TRUE(vistest::draw_frame_with(draw_scene));
    return vistest::read_pixels();
  }
};

int R(uint32_t p) { return (p >> 16) & 0xFF; }
int G(uint32_t p) { return (p >> 8) & 0xFF; }
int B(uint32_t p) { return p & 0xFF; }
int max_diff(uint32_t a, uint32_t b)
{
  return std::max({std::abs(R(a) - R(b)), std::abs(G(a) - G(b)), std::abs(B(a) - B(b))});
}

// Where a world point lands on screen, and how many pixels a world length there spans.
void project(vec4f p, float world_len, float &x, float &y, float &r)
{
  Matrix44 glob;
  get_glob_tm(glob);
  vec4f c = transform_point(p, glob);
  x = (c.x / c.w * 0.5f + 0.5f) * float(d3d_wd);
  y = (0.5f - c.y / c.w * 0.5f) * float(d3d_ht);
  r = world_len * glob.m[0][0] / c.w * 0.5f * float(d3d_wd);
}

void glow_ball(vec4f p, float size, D3dColor c)
{
  add_glow_particle(p, vec4f(0.f), vec4f(0.f), 10.f, 0.f, size, c, 128.f, 64.f, 64.f, 0.f, 0.f, nullptr, nullptr,
                    nullptr);
}
void smoke(vec4f p, float size, D3dColor c)
{
  add_blend_particle(p, vec4f(0.f), vec4f(0.f), 10.f, 0.f, size, c, 0.f, 0.f, 128.f, 0.f, 0.f, nullptr, nullptr,
                     nullptr);
}
} // namespace

TEST(CommonFxRender, GlowBrightensOnlyWhereItIsDrawn)
{
  REQUIRE_DEVICE(320, 180);
  FxScene scene(0);
  // The baseline runs the effects' passes too (a particle behind the camera), so both
  // frames leave the samplers alike for the final pass.
  glow_ball(vec4f(0.f, 20.f, -60.f, 1.f), 4.f, D3dColor(0xFFFFFFFFu));
  std::vector<uint32_t> before = scene.frame();
  const vec4f at(-12.f, 18.f, 60.f, 1.f);
  glow_ball(at, 4.f, D3dColor(0xFFFF8040u));
  std::vector<uint32_t> after = scene.frame();
  vistest::save_png(after, "fx_glow");
  ASSERT_EQ(before.size(), after.size());
  float cx, cy, r;
  project(at, 4.f, cx, cy, r);
  ASSERT_GT(r, 4.f);
  const uint32_t centre_before = before[size_t(cy) * d3d_wd + size_t(cx)];
  const uint32_t centre_after = after[size_t(cy) * d3d_wd + size_t(cx)];
  EXPECT_GT(R(centre_after), R(centre_before) + 60) << std::hex << centre_after;
  EXPECT_GT(R(centre_after) - R(centre_before), B(centre_after) - B(centre_before)); // its colour, orange
  int changed = 0;
  for (int y = 0; y < d3d_ht; y++)
    for (int x = 0; x < d3d_wd; x++)
    {
      size_t i = size_t(y) * d3d_wd + x;
      if (before[i] == after[i])
        continue;
      changed++;
      ASSERT_LE(std::hypot(float(x) - cx, float(y) - cy), r + 2.f)
        << x << "," << y << std::hex << " " << before[i] << " " << after[i];
      ASSERT_GE(R(after[i]), R(before[i])) << x << "," << y; // only ever adds light
    }
  EXPECT_GT(changed, 20);
}

TEST(CommonFxRender, WallHidesWhatIsBehindIt)
{
  REQUIRE_DEVICE(320, 180);
  FxScene scene(0);
  glow_ball(vec4f(0.f, 20.f, -60.f, 1.f), 4.f, D3dColor(0xFFFFFFFFu)); // behind the camera
  std::vector<uint32_t> before = scene.frame();
  glow_ball(vec4f(20.f, 15.f, 80.f, 1.f), 5.f, D3dColor(0xFFFFFFFFu)); // behind the wall
  smoke(vec4f(24.f, 15.f, 70.f, 1.f), 5.f, D3dColor(0xFF202020u));
  std::vector<uint32_t> after = scene.frame();
  EXPECT_EQ(before, after);
  // The same particles in front of the wall do show.
  glow_ball(vec4f(20.f, 15.f, 30.f, 1.f), 5.f, D3dColor(0xFFFFFFFFu));
  std::vector<uint32_t> front = scene.frame();
  EXPECT_NE(before, front);
}

TEST(CommonFxRender, SmokeDarkensAndBothTargetModesAgree)
{
  REQUIRE_DEVICE(320, 180);
  for (int quality = 0; quality <= 1; quality++)
  {
    FxScene scene(quality);
    ASSERT_TRUE(fx_use_single_rt) << "llvmpipe blends into floating-point targets";
    std::vector<uint32_t> bare = scene.frame();
    // Smoke against the sky, a stack of it covering more than fully (up to twice, as much
    // as the two-target mode holds), and glow inside and beside it.
    const vec4f at(-14.f, 24.f, 60.f, 1.f);
    smoke(at, 6.f, D3dColor(0xC0303030u));
    for (int i = 0; i < 3; i++)
      smoke(vec4f(8.f, 22.f, 34.f - float(i), 1.f), 4.f, D3dColor(0x80808080u));
    glow_ball(vec4f(8.f, 22.f, 33.f, 1.f), 3.f, D3dColor(0xFF40C0FFu));
    glow_ball(vec4f(-4.f, 14.f, 50.f, 1.f), 3.f, D3dColor(0xFFFFC040u));
    std::vector<uint32_t> single = scene.frame();
    fx_use_single_rt = false;
    std::vector<uint32_t> split = scene.frame();
    vistest::save_png(single, quality ? "fx_single_high" : "fx_single_low");
    vistest::save_png(split, quality ? "fx_split_high" : "fx_split_low");
    ASSERT_EQ(single.size(), split.size());
    int worst = 0;
    for (size_t i = 0; i < single.size(); i++)
      worst = std::max(worst, max_diff(single[i], split[i]));
    // Every sprite's share is rounded to 8 bits at half scale in T1: up to one level of
    // the final picture per sprite where they overlap.
    EXPECT_LE(worst, 5) << "quality " << quality;
    float cx, cy, r;
    project(at, 6.f, cx, cy, r);
    const size_t c = size_t(cy) * d3d_wd + size_t(cx);
    EXPECT_LT(G(single[c]) + 30, G(bare[c])) << std::hex << single[c] << " over " << bare[c];
    EXPECT_NE(single, bare);
  }
}

TEST(CommonFxRender, TrailsAndBoltsLightTheirPath)
{
  REQUIRE_DEVICE(320, 180);
  FxScene scene(1);
  glow_ball(vec4f(0.f, 20.f, -60.f, 1.f), 4.f, D3dColor(0xFFFFFFFFu)); // behind the camera
  std::vector<uint32_t> before = scene.frame();
  // A ribbon across the sky from left to right, and a bolt down onto the ground.
  const vec4f side(0.f, 2.f, 0.f, 0.f);
  int tr = add_trail_fx(vec4f(-32.f, 26.f, 60.f, 1.f), vec4f(0.f), side, 2.f, D3dColor(0xFFFFA040u));
  for (int i = 1; i < TRAIL_POINTS; i++)
    add_trail_point(tr, vec4f(-32.f + float(i) * 2.f, 26.f, 60.f, 1.f), vec4f(0.f), side);
  add_lightning_fx(vec4f(-10.f, 45.f, 70.f, 1.f), vec4f(-6.f, 0.f, 70.f, 1.f), vec4f(0.f), 0.8f, 6.f, 3.f, 1.f,
                   D3dColor(0xFFC0D0FFu), 30);
  update_common_fx(0.05f);
  for (FxBolt &b : fx_bolts)
    b.age = 0.25f; // a quarter through its life: the upper half is lit
  std::vector<uint32_t> after = scene.frame();
  vistest::save_png(after, "fx_ribbons");
  float hx, hy, r, tx, ty;
  project(vec4f(-4.f, 26.f, 60.f, 1.f), 1.f, hx, hy, r);  // near the trail's head (newest point)
  project(vec4f(-24.f, 26.f, 60.f, 1.f), 1.f, tx, ty, r); // toward its tail
  auto gain = [&](float x, float y) {                     // the most in a column of 5 pixels
    int best = -255;
    for (int dy = -2; dy <= 2; dy++)
    {
      size_t i = size_t(y + float(dy)) * d3d_wd + size_t(x);
      best = std::max(best, R(after[i]) - R(before[i]));
    }
    return best;
  };
  EXPECT_GT(gain(hx, hy), 40);
  EXPECT_GT(gain(hx, hy), gain(tx, ty)); // the ribbon fades toward its tail
  EXPECT_GT(gain(tx, ty), 0);
  float ux, uy, lx, ly;
  project(vec4f(-9.f, 36.f, 70.f, 1.f), 1.f, ux, uy, r); // upper part of the bolt
  project(vec4f(-6.5f, 5.f, 70.f, 1.f), 1.f, lx, ly, r); // lower part, not lit yet
  int best_upper = 0, best_lower = 0;
  for (int dx = -6; dx <= 6; dx++)
  {
    best_upper = std::max(best_upper, gain(ux + float(dx), uy));
    best_lower = std::max(best_lower, gain(lx + float(dx), ly));
  }
  EXPECT_GT(best_upper, 40);
  EXPECT_LT(best_lower, 10);
  kill_trail_fx(tr);
}
