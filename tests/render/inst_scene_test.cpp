// Instanced meshes and shadow balls through the scene pipelines on the device (llvmpipe):
// a flat stand-in ground under a fixed camera, one generated mesh, one shadow ball.
#include <cmath>
#include <filesystem>
#include <functional>
#include "core/gfx_settings.h"
#include "core/globals.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/inst_render.h"
#include "render/scene_render.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/shadow_balls.h"
#include "render/sky.h"
#include "render/textures.h"
#include "tests/render/scene_test_dir.h"

namespace
{
VertexBuffer *ground_vb = nullptr;
IndexBuffer *ground_ib = nullptr;
VDecl ground_decl = nullptr;
Shader *ground = nullptr;
Texture *open_sky = nullptr; // a 1 x 1 aperture texel: open, facing up

SimpleInstRender stone;
int stone_count = 0; // instances drawn per frame
vec4f stone_pos(0.f, 0.f, 20.f, 1.f);
bool with_ball = false; // one shadow ball over stone_pos
vec4f ball(0.f, 6.f, 20.f, 3.f);
int draws_in_shadows = 0;           // draw calls between the shadow bracket's start and end
std::function<void()> more_objects; // drawn after the stone

void draw_ground()
{
  set_cull_mode(0);
  set_vdecl(ground_decl);
  set_vb(0, ground_vb, 0, 12);
  set_ib(ground_ib);
  set_shader(ground);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
  set_cull_mode(1);
}

void draw_objects()
{
  set_texture(TEX_STAGE(TEX_MESH_APERTURE), open_sky);
  set_vs_consts(VC_MESH_LIGHT, &sun_dir_drawn.x, 1);
  set_tex_address(TEX_STAGE(TEX_MESH), TEXADDR_WRAP);
  set_tex_filter(TEX_STAGE(TEX_MESH), true);
  Matrix44 r = Matrix44::identity();
  for (int i = 0; i < stone_count; i++)
  {
    SimpleInstance *s = (SimpleInstance *)stone.allocInstances(1);
    pack_inst_rotation(r, 3.f, 3.f, 3.f, s->rot);
    s->pos[0] = stone_pos.x + float(i) * 0.001f;
    s->pos[1] = stone_pos.y;
    s->pos[2] = stone_pos.z;
    s->color = inst_tint(1.f, 1.f, 1.f);
  }
  stone.render();
  if (more_objects)
    more_objects();
}

int shadow_start_draws = 0;
void start_shadows()
{
  shadow_start_draws = d3d_frame_counters.draw_calls;
  start_render_shadows();
}
void end_shadows()
{
  end_render_shadows();
  draws_in_shadows = d3d_frame_counters.draw_calls - shadow_start_draws;
}
void object_shadows()
{
  if (with_ball)
    render_shadow_ball(vec4f(ball.x, ball.y, ball.z, 1.f), ball.w);
}

// 20 above the ground at z = -20, looking along +z and down (or at camera_at).
vec4f camera_at(0.f, 20.f, -20.f, 0.5f); // position, pitch
Matrix44 camera_itm()
{
  return scenetest::pitched_camera(vec4f(camera_at.x, camera_at.y, camera_at.z, 1.f), camera_at.w);
}
void set_camera() { scenetest::set_frame_camera(camera_itm()); }
void draw_scene(float) { scenetest::draw_pipeline_frame(camera_itm(), gfx_quality); }

// Screen pixel (top-down) of a world point.
void project(vec4f p, int &x, int &y)
{
  Matrix44 glob;
  get_glob_tm(glob);
  vec4f c = transform_point(p, glob);
  x = int((c.x / c.w * 0.5f + 0.5f) * float(d3d_wd));
  y = int((0.5f - c.y / c.w * 0.5f) * float(d3d_ht));
}

struct ObjScene
{
  scenetest::ProgramDir dir;
  bool ok = true;
  explicit ObjScene(int quality)
  {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir.dir + "/objects", ec);
    for (const auto &e : fs::directory_iterator(vistest::bin_dir() + "objects", ec))
      fs::copy_file(e.path(), dir.dir + "/objects/" + e.path().filename().string(),
                    fs::copy_options::overwrite_existing, ec);
    ok = fs::exists(dir.dir + "/objects/stone1.mesh");
    if (!ok)
      return;
    dir.write("ground.sh", scenetest::test_land_sh); // the green ground
    gfx_quality = quality;
    use_postfx = false;
    use_ppaa = false;
    use_wireframe = false;
    use_fog = false;
    use_obj_shadows = true;
    scene_hooks = SceneHooks{}; // no terrain renderer: the stand-in ground below
    init_scene_render();
    if (quality == GFX_QUALITY_HIGH)
      init_shadows();
    ground = create_shader("ground.sh", quality ? "DEFERRED\0 1\0" : "");
    ground_vb = create_vb(48, BUF_STATIC);
    float *v = (float *)lock_vb(ground_vb, 0, 0);
    const float pts[12] = {-200.f, 0.f, -100.f, 200.f, 0.f, -100.f, -200.f, 0.f, 300.f, 200.f, 0.f, 300.f};
    memcpy(v, pts, sizeof(pts));
    unlock_vb(ground_vb);
    ground_ib = create_ib(6, BUF_STATIC);
    uint16_t *ip = (uint16_t *)lock_ib(ground_ib, 0, 0);
    const uint16_t idx[6] = {0, 2, 1, 1, 2, 3};
    memcpy(ip, idx, sizeof(idx));
    unlock_ib(ground_ib);
    const VsdElement decl[] = {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0), vsd_end()};
    ground_decl = create_vdecl(decl);
    open_sky = create_managed_texture(1, 1);
    int pitch = 0;
    uint32_t *t = (uint32_t *)lock_texture(open_sky, &pitch, false);
    *t = 0xFF80FF80u; // bent normal straight up, the whole sky open
    unlock_texture(open_sky);
    stone.init("objects/stone1.mesh");
    SceneHooks h;
    h.render_land = draw_ground;
    h.render_objects = draw_objects;
    h.render_object_shadows = object_shadows;
    if (quality == GFX_QUALITY_HIGH)
    {
      h.start_render_shadows = start_shadows;
      h.end_render_shadows = end_shadows;
    }
    scene_hooks = h;
    set_sun_dir(vec4f(0.f, 1.f, 0.f, 0.f), false);
    stone_count = 0;
    with_ball = false;
    more_objects = nullptr;
    camera_at = vec4f(0.f, 20.f, -20.f, 0.5f);
  }
  ~ObjScene()
  {
    if (!ok)
      return;
    more_objects = nullptr;
    scene_hooks = SceneHooks{};
    stone.close();
    destroy_shader(ground);
    release_vb(ground_vb);
    release_ib(ground_ib);
    release_texture(open_sky);
    close_shadows();
    close_scene_render();
    gfx_quality = 1;
    use_postfx = true;
  }
};

int lum(uint32_t p) { return int((p >> 16) & 255) + int((p >> 8) & 255) + int(p & 255); }

// The bounding box of the pixels that differ between two frames.
struct Diff
{
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1, count = 0;
};
Diff diff(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b, int tolerance)
{
  Diff d;
  for (int y = 0; y < d3d_ht; y++)
    for (int x = 0; x < d3d_wd; x++)
    {
      size_t i = size_t(y) * d3d_wd + x;
      if (std::abs(lum(a[i]) - lum(b[i])) > tolerance)
      {
        d.count++;
        d.x0 = std::min(d.x0, x), d.y0 = std::min(d.y0, y);
        d.x1 = std::max(d.x1, x), d.y1 = std::max(d.y1, y);
      }
    }
  return d;
}

void check_mesh_at_its_place(int quality)
{
  REQUIRE_DEVICE(320, 180);
  ObjScene scene(quality);
  ASSERT_TRUE(scene.ok) << "bin/objects is missing: build the object_meshes target";
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> bare = vistest::read_pixels();
  stone_count = 1;
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> with = vistest::read_pixels();
  ASSERT_FALSE(with.empty());
  vistest::save_png(with, quality ? "inst_stone_high" : "inst_stone_low");
  Diff d = diff(bare, with, 6);
  int px, py;
  set_camera();
  project(vec4f(stone_pos.x, stone_pos.y + 1.f, stone_pos.z, 1.f), px, py);
  ASSERT_GT(d.count, 50) << "the stone drew nothing";
  EXPECT_LE(d.x0, px);
  EXPECT_GE(d.x1, px);
  EXPECT_LE(d.y0, py);
  EXPECT_GE(d.y1, py);
  // A stone of about 7 x 3 units, 45 units away: well under a third of the screen.
  EXPECT_LT(d.x1 - d.x0, d3d_wd / 3);
  EXPECT_LT(d.y1 - d.y0, d3d_ht / 3);
}
} // namespace

TEST(InstScene, MeshLandsAtItsPlaceHighQuality) { check_mesh_at_its_place(1); }
TEST(InstScene, MeshLandsAtItsPlaceLowQuality) { check_mesh_at_its_place(0); }

TEST(InstScene, ShadowBallDarkensTheGroundBelowItOnly)
{
  REQUIRE_DEVICE(320, 180);
  ObjScene scene(1);
  ASSERT_TRUE(scene.ok);
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> lit = vistest::read_pixels();
  EXPECT_EQ(draws_in_shadows, 0); // no spheres: the mask is only cleared
  with_ball = true;
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> shaded = vistest::read_pixels();
  vistest::save_png(shaded, "inst_shadow_ball");
  EXPECT_EQ(draws_in_shadows, 1); // one sphere in a few tiles: one instanced draw
  set_camera();
  int x, y, fx, fy;
  project(vec4f(ball.x, 0.f, ball.z, 1.f), x, y);
  const size_t below = size_t(y) * d3d_wd + x;
  EXPECT_LT(lum(shaded[below]), lum(lit[below]) * 9 / 10) << "no shadow under the ball";
  // Ten units to the side the ground is as lit as before.
  project(vec4f(ball.x + 10.f, 0.f, ball.z, 1.f), fx, fy);
  const size_t far = size_t(fy) * d3d_wd + fx;
  EXPECT_NEAR(lum(shaded[far]), lum(lit[far]), 6);
  Diff d = diff(lit, shaded, 6);
  EXPECT_GT(d.count, 0);
  EXPECT_LT(d.x1 - d.x0, d3d_wd / 2);
}

TEST(InstScene, BallsBehindTheCameraOrFarAwayCostNothing)
{
  REQUIRE_DEVICE(320, 180);
  ObjScene scene(1);
  ASSERT_TRUE(scene.ok);
  with_ball = true;
  ball = vec4f(0.f, 4.f, -40.f, 2.f); // behind the camera
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  EXPECT_EQ(draws_in_shadows, 0);
  EXPECT_EQ(shadow_frame_bins().chunks.size(), 0);
  EXPECT_EQ(shadow_frame_balls().size(), 1); // still kept for the debug view
  ball = vec4f(0.f, 4.f, 100.f, 2.f);        // 120 from the camera
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  EXPECT_EQ(draws_in_shadows, 0);
  ball = vec4f(0.f, 6.f, 20.f, 3.f);
}

namespace
{
int flush_draws[2];
void draw_many(float)
{
  set_camera();
  set_render_target_texture(0, get_scene_image(), true);
  for (int k = 0; k < 2; k++)
  {
    const int n = 2340 + k;
    const int before = d3d_frame_counters.draw_calls;
    SimpleInstance *s = (SimpleInstance *)stone.allocInstances(n);
    for (int i = 0; i < n; i++)
    {
      pack_inst_rotation(Matrix44::identity(), 0.1f, 0.1f, 0.1f, s[i].rot);
      s[i].pos[0] = float(i % 50), s[i].pos[1] = 0.f, s[i].pos[2] = 10.f + float(i / 50);
      s[i].color = inst_tint(1.f, 1.f, 1.f);
    }
    stone.render();
    flush_draws[k] = d3d_frame_counters.draw_calls - before;
  }
}
} // namespace

TEST(InstScene, OneDrawPerBufferFill)
{
  REQUIRE_DEVICE(320, 180);
  ObjScene scene(0);
  ASSERT_TRUE(scene.ok);
  // 65536 / 28 = 2340 simple instances fill the writer once.
  ASSERT_TRUE(vistest::draw_frame_with(draw_many));
  EXPECT_EQ(flush_draws[0], 1);
  EXPECT_EQ(flush_draws[1], 2);
  EXPECT_EQ(stone.list, nullptr);
  EXPECT_EQ(common_vb_writer.startPtr, nullptr);
}

namespace
{
// The creatures' parts, as the game will put them together: a wyvern (head, spline body,
// tail) over the ground, a bird and a gatherer with its eyes.
struct Creatures
{
  SimpleInstRender head, tail, eye;
  SplineInstRender body;
  MorphInstRender bird, gatherer;
  vec4f birdWeights = vec4f(0.f), walkWeights = vec4f(0.f);
  float lift = 0.5f;
  Creatures()
  {
    head.init("objects/wyvern_head.mesh");
    tail.init("objects/wyvern_tail.mesh");
    eye.init("objects/gatherer_eye.mesh");
    body.init("objects/wyvern_body.mesh");
    bird.init("objects/bird_body.mesh");
    gatherer.init("objects/gatherer_body.mesh");
  }
  ~Creatures()
  {
    for (InstRender *r : std::initializer_list<InstRender *>{&head, &tail, &eye, &body, &bird, &gatherer})
      r->close();
  }
  void draw()
  {
    // The wyvern flies across the view along a curve, head to the left.
    const vec4f p[4] = {vec4f(-4.f, 6.f, 22.f, 1.f), vec4f(-1.5f, 6.8f, 21.f, 1.f), vec4f(1.5f, 6.5f, 22.5f, 1.f),
                        vec4f(4.f, 6.f, 21.5f, 1.f)};
    SplineInstance *b = static_cast<SplineInstance *>(body.allocInstances(1));
    for (int i = 0; i < 4; i++)
      b->p[i][0] = p[i].x, b->p[i][1] = p[i].y, b->p[i][2] = p[i].z;
    b->up[0] = b->up[1] = vec4f_to_color(vec4f(0.5f, 1.f, 0.5f, 0.5f));
    b->color[0] = inst_tint(1.f, 1.f, 1.f);
    b->color[1] = vec4f_to_color(vec4f(0.5f, 0.5f, 0.5f, lift));
    auto rigid = [](SimpleInstRender &r, vec4f at, vec4f fwd, float scale) {
      Matrix44 m = Matrix44::identity();
      vec4f f = normalize3(fwd), up(0.f, 1.f, 0.f, 0.f);
      vec4f right = normalize3(cross3(up, f));
      m.setRow(0, right);
      m.setRow(1, cross3(f, right));
      m.setRow(2, f);
      SimpleInstance *s = static_cast<SimpleInstance *>(r.allocInstances(1));
      pack_inst_rotation(m, scale, scale, scale, s->rot);
      s->pos[0] = at.x, s->pos[1] = at.y, s->pos[2] = at.z;
      s->color = inst_tint(1.f, 1.f, 1.f, 0.f);
    };
    rigid(head, p[0], p[0] - p[1], 1.f);
    rigid(tail, p[3], p[3] - p[2], 1.f);
    auto morph = [](MorphInstRender &r, vec4f at, vec4f w, float scale) {
      MorphInstance *s = static_cast<MorphInstance *>(r.allocInstances(1));
      pack_inst_rotation(Matrix44::identity(), scale, scale, scale, s->rot);
      s->pos[0] = at.x, s->pos[1] = at.y, s->pos[2] = at.z;
      s->color = inst_tint(1.f, 1.f, 1.f);
      s->weights = vec4f_to_color(vec4f(w.x, w.y, w.z, w.w));
    };
    morph(bird, vec4f(-6.f, 3.f, 12.f, 1.f), birdWeights, 3.f);
    morph(gatherer, vec4f(6.f, 0.f, 12.f, 1.f), walkWeights, 3.f);
    rigid(eye, vec4f(5.85f, 2.95f, 12.45f, 1.f), vec4f(0.f, 0.f, 1.f, 0.f), 3.f);
    rigid(eye, vec4f(6.15f, 2.95f, 12.45f, 1.f), vec4f(0.f, 0.f, 1.f, 0.f), 3.f);
    for (InstRender *r : std::initializer_list<InstRender *>{&head, &tail, &eye, &body, &bird, &gatherer})
      r->render();
  }
};
} // namespace

TEST(InstScene, CreaturePartsDrawAndMove)
{
  REQUIRE_DEVICE(480, 270);
  ObjScene scene(1);
  ASSERT_TRUE(scene.ok);
  camera_at = vec4f(0.f, 7.f, 4.f, 0.25f);
  Creatures c;
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> bare = vistest::read_pixels();
  more_objects = [&c] { c.draw(); };
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> rest = vistest::read_pixels();
  vistest::save_png(rest, "inst_creatures");
  set_camera();
  // The wyvern's body lies along its curve: pixels change around its middle.
  int x, y;
  project(vec4f(0.f, 6.6f, 21.8f, 1.f), x, y);
  const size_t mid = size_t(y) * d3d_wd + x;
  EXPECT_GT(std::abs(lum(rest[mid]) - lum(bare[mid])), 20) << "no body at the curve's middle";
  // Wing beat: the lift and the bird's morph weights change the picture.
  c.lift = 1.f;
  c.birdWeights = vec4f(1.f, 0.f, 0.f, 0.f);
  c.walkWeights = vec4f(1.f, 0.f, 0.f, 0.f);
  ASSERT_TRUE(vistest::draw_frame_with(draw_scene));
  std::vector<uint32_t> beat = vistest::read_pixels();
  vistest::save_png(beat, "inst_creatures_beat");
  Diff d = diff(rest, beat, 10);
  EXPECT_GT(d.count, 100);
  int bx, by;
  project(vec4f(-6.f, 3.f, 12.f, 1.f), bx, by);
  EXPECT_LT(d.x0, bx); // the bird's wings moved
  int gx, gy;
  project(vec4f(6.f, 1.5f, 12.f, 1.f), gx, gy);
  EXPECT_GT(d.x1, gx); // the gatherer's legs moved
}
