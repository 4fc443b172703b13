#include "render/scene_render.h"
#include <cstring>
#include <utility>
#include "core/gfx_settings.h"
#include "core/globals.h"
#include "core/log.h"
#include "core/splash.h"
#include "render/debug_vis.h"
#include "render/device.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "render/textures.h"

vec4f frame_color_drawn(0.f, 0.f, 0.f, 0.f);

namespace
{
Texture *scene_image = nullptr;
Texture *targets[4] = {}; // T1..T4
Texture *quarter[4] = {}; // Q1..Q4
Texture *effects_target = nullptr;
Texture *frame_depth = nullptr; // T4 while it holds this frame's view depth

Shader *dr_calc_light = nullptr, *dr_shadow_blur = nullptr, *dr_final = nullptr;

enum
{
  FX_MAIN,
  FX_NONE,
  FX_MLAA_EDGE,
  FX_MLAA_ROWS_FIRST,
  FX_MLAA_ROWS,
  FX_MLAA_COLS_FIRST,
  FX_MLAA_COLS,
  FX_MLAA_COLS_FINAL,
  FX_MLAA_COMBINE,
  FX_COUNT
};
Shader *fx_shaders[FX_COUNT] = {};

Texture *&T(int i) { return targets[i - 1]; }
Texture *&Q(int i) { return quarter[i - 1]; }

void set_vc(int reg, float x, float y, float z, float w)
{
  const float v[4] = {x, y, z, w};
  set_vs_consts(reg, v, 1);
}
void set_pc(int reg, float x, float y, float z, float w)
{
  const float v[4] = {x, y, z, w};
  set_ps_consts(reg, v, 1);
}
void set_vc(int reg, vec4f v) { set_vs_consts(reg, &v.x, 1); }
void set_pc(int reg, vec4f v) { set_ps_consts(reg, &v.x, 1); }

// Clip space to texture space with the half-texel offset of the screen.
void set_screen_texmap()
{
  set_vc(VC_SCREEN_TEXMAP, 0.5f, -0.5f, 0.5f + 0.5f / float(d3d_wd), 0.5f + 0.5f / float(d3d_ht));
}

void point_clamp(int stage)
{
  set_tex_address(stage, TEXADDR_CLAMP);
  set_tex_filter(stage, false);
}

void stencil_off() { set_stencil_test(0, 0, D3DCMP_ALWAYS); }

// Corner rays of the far plane (VC_FAR_RAYS): a full-screen pass position (x, y) gives the
// world-space ray x * ray0 + y * ray1 + ray2 to view depth far.
void set_far_rays(const Matrix44 &camera, float far_plane)
{
  Matrix44 proj;
  get_proj_tm(proj);
  float px = proj.m[0][0] != 0.f ? proj.m[0][0] : 1.f;
  float py = proj.m[1][1] != 0.f ? proj.m[1][1] : 1.f;
  vec4f r0 = camera.row(0) * (far_plane / px);
  vec4f r1 = camera.row(1) * (far_plane / py);
  vec4f r2 = camera.row(2) * far_plane;
  r0.w = r1.w = r2.w = 0.f;
  set_vc(VC_FAR_RAYS, r0);
  set_vc(VC_FAR_RAYS + 1, r1);
  set_vc(VC_FAR_RAYS + 2, r2);
}

// The first register of the sky block: the light vector alone.
void light_vector_ps0() { set_pc(PC_SKY, sun_dir_drawn.x, sun_dir_drawn.y, sun_dir_drawn.z, sky_extra_light); }

// Registers for things lit in a forward pass after the scene: fog switch, light
// vector and the 12 light parameters.
void set_forward_consts()
{
  set_vc(VC_FOG, use_fog ? 1.f : 0.f, 0.f, 0.f, 0.f);
  set_sky_vs_consts(VC_SKY);
}

void debug_and_fx()
{
  set_zenable(true);
  set_zwrite(true);
  set_wireframe(use_wireframe);
  start_draw_debug_vis();
  scene_hooks.render_object_debug();
  end_draw_debug_vis();
  scene_hooks.render_common_fx();
}

void release(Texture *&t)
{
  if (t)
    release_texture(t);
  t = nullptr;
}
} // namespace

SceneHooks scene_hooks;

// Without a shadow renderer the mask is plain white: everything is lit.
void clear_shadow_mask() { clear_view_color(0xFFFFFFFF); }

Texture *get_scene_image() { return scene_image; }
Texture *get_scene_target(int i) { return i >= 1 && i <= 4 ? T(i) : nullptr; }
Texture *get_quarter_target(int i) { return i >= 1 && i <= 4 ? Q(i) : nullptr; }
Texture *get_effects_target() { return effects_target; }
Texture *get_scene_depth() { return frame_depth; }

// ---------------------------------------------------------------------------------------
// Lifetime

void create_quarter_targets()
{
  for (int i = 1; i <= 4; i++)
    release(Q(i));
  int w = d3d_wd / 4 > 0 ? d3d_wd / 4 : 1;
  int h = d3d_ht / 4 > 0 ? d3d_ht / 4 : 1;
  for (int i = 1; i <= 4; i++)
  {
    Q(i) = create_rt_texture(w, h, 1);
    if (!Q(i))
      fatal("Can't create low-resolution scene textures");
  }
}

void init_scene_render()
{
  const bool high = gfx_quality != GFX_QUALITY_LOW;
  debug("Graphics quality: %s", high ? "high" : "low");
  scene_image = create_screen_rt();
  if (!scene_image)
    fatal("can't create scene image texture");
  if (high)
  {
    create_quarter_targets();
    dr_final = create_shader("dr_final.sh", nullptr);
    dr_calc_light = create_shader("dr_calc_light.sh", nullptr);
    dr_shadow_blur = create_shader("dr_shadow_blur.sh", nullptr);
  }
  else
    use_postfx = false;
  init_sky();
  scene_hooks.init_terrain();
  init_postfx();
  init_debug_vis();
}

void close_scene_render()
{
  close_debug_vis();
  close_postfx();
  scene_hooks.close_terrain();
  close_sky();
  destroy_shader(dr_final);
  destroy_shader(dr_calc_light);
  destroy_shader(dr_shadow_blur);
  dr_final = dr_calc_light = dr_shadow_blur = nullptr;
  release(scene_image);
  for (int i = 1; i <= 4; i++)
    release(Q(i));
}

void init_postfx()
{
  splash_hooks.show("Creating post-effect textures", -1.f);
  T(2) = create_screen_rt();
  T(1) = create_screen_rt();
  T(3) = create_screen_rt();
  T(4) = create_screen_rt();
  if (!T(1) || !T(2) || !T(3) || !T(4))
    fatal("can't create textures for post-effect");
  if (is_rt_kind_blendable(5))
  {
    effects_target = create_rt_texture(0, 0, 5);
    if (effects_target)
      debug("using FP blending for effects!");
  }
  splash_hooks.show("Compiling post-effect shaders", -1.f);
  fx_shaders[FX_MAIN] = create_shader("postfx_main.sh", nullptr);
  fx_shaders[FX_NONE] = create_shader("postfx_none.sh", nullptr);
  fx_shaders[FX_MLAA_EDGE] = create_shader("mlaa_edge.sh", nullptr);
  fx_shaders[FX_MLAA_ROWS_FIRST] = create_shader("mlaa_rows.sh", "FIRST\0 1\0");
  fx_shaders[FX_MLAA_ROWS] = create_shader("mlaa_rows.sh", nullptr);
  fx_shaders[FX_MLAA_COLS_FIRST] = create_shader("mlaa_cols.sh", "FIRST\0 1\0");
  fx_shaders[FX_MLAA_COLS] = create_shader("mlaa_cols.sh", nullptr);
  fx_shaders[FX_MLAA_COLS_FINAL] = create_shader("mlaa_cols.sh", "FINAL\0 1\0");
  fx_shaders[FX_MLAA_COMBINE] = create_shader("mlaa_combine.sh", nullptr);
}

void close_postfx()
{
  for (Shader *&s : fx_shaders)
  {
    destroy_shader(s);
    s = nullptr;
  }
  for (int i = 1; i <= 4; i++)
    release(T(i));
  release(effects_target);
  frame_depth = nullptr;
}

// ---------------------------------------------------------------------------------------
// Pipelines

// ---- the passes of the deferred pipeline, in the order it runs them ----
namespace
{
// View depth in [0, 1] of a world position as dot(position, vc[VC_VIEW_DEPTH]).
void set_view_depth_plane(const Matrix44 &view, float far_plane)
{
  set_vc(VC_VIEW_DEPTH, view.m[0][2] / far_plane, view.m[1][2] / far_plane, view.m[2][2] / far_plane,
         view.m[3][2] / far_plane);
}

// The geometry buffer: T4 (depth) with the scene depth, T1 and T2; the land and the
// objects mark stencil bit 0.
void geometry_pass()
{
  set_render_target_texture(0, T(4), true);
  set_zenable(true);
  set_zwrite(true);
  set_wireframe(use_wireframe);
  clear_view(0x00FFFFFF);
  set_render_target_texture(1, T(1), false);
  set_render_target_texture(2, T(2), false);
  set_stencil_test(1, 1, D3DCMP_ALWAYS);
  set_stencil_replace_bits(1);
  scene_hooks.render_land();
  scene_hooks.render_objects();
}

// The water into T4 and T1, reading the land's depth from a copy; T2 keeps the seabed.
void water_pass()
{
  copy_texture(T(4), T(3));
  set_texture(TEX_STAGE(TEX_LAND_DEPTH), T(3));
  point_clamp(TEX_STAGE(TEX_LAND_DEPTH));
  set_render_target_texture(2, nullptr, false);
  scene_hooks.render_water();
  set_render_target_texture(1, nullptr, false);
}

// The geometry passes' states end; the albedo and the mask stages read texel by texel.
void end_geometry_passes()
{
  set_texture(TEX_STAGE(TEX_GBUF_ALBEDO), T(2));
  point_clamp(TEX_STAGE(TEX_GBUF_NORMALS));
  point_clamp(TEX_STAGE(TEX_GBUF_ALBEDO));
  point_clamp(TEX_STAGE(TEX_SHADOW_MASK));
  set_wireframe(false);
  stencil_off();
}

// Quarter-size copies of the depth and the normals for the shadow passes.
void quarter_copies()
{
  copy_texture(T(4), Q(3));
  copy_texture(T(1), Q(4));
  set_texture(TEX_STAGE(TEX_SHADOW_DEPTH), Q(3));
  set_texture(TEX_STAGE(TEX_SHADOW_NORMALS), Q(4));
  set_zenable(false);
  set_zwrite(false);
  set_stencil_replace_bits(0);
}

// The shadow mask into Q1 through the shadow bracket, with the constants of the
// quarter-size passes, then its separable blur Q1 -> Q2 -> Q1.
void shadow_mask_pass(const Matrix44 &camera, float far_plane)
{
  const float w = float(d3d_wd), h = float(d3d_ht);
  set_render_target_texture(0, Q(1), false);
  light_vector_ps0();
  set_screen_texmap();
  set_vc(VC_QUARTER_TEXEL, 4.f / w, 4.f / h, 0.f, 0.f);
  set_pc(PC_QUARTER_SIZE, w / 4.f, h / 4.f, 4.f / w, 4.f / h);
  set_far_rays(camera, far_plane);
  // Object shadows with land_shadow_quality 2 (0: no shadows, 1: the land's own only).
  scene_hooks.start_render_shadows();
  if (use_obj_shadows && land_shadow_quality >= 2)
    scene_hooks.render_object_shadows();
  scene_hooks.end_render_shadows();

  set_shader(dr_shadow_blur);
  set_render_target_texture(0, Q(2), false);
  set_texture(TEX_STAGE(TEX_SHADOW_MASK), Q(1));
  point_clamp(TEX_STAGE(TEX_SHADOW_MASK));
  set_pc(PC_BLUR_STEP, 4.f / w, 0.f, 8.f / w, 0.f);
  draw_postfx();
  set_render_target_texture(0, Q(1), false);
  set_texture(TEX_STAGE(TEX_SHADOW_MASK), Q(2));
  set_pc(PC_BLUR_STEP, 0.f, 4.f / h, 0.f, 8.f / h);
  draw_postfx();
}

// Lighting of every covered pixel into T3.
void light_pass()
{
  set_texture(TEX_STAGE(TEX_GBUF_DEPTH), T(4));
  set_texture(TEX_STAGE(TEX_GBUF_NORMALS), T(1));
  set_render_target_texture(0, T(3), true);
  set_texture(TEX_STAGE(TEX_SHADOW_MASK), Q(1));
  set_tex_filter(TEX_STAGE(TEX_SHADOW_MASK), true); // the light pass reads the mask with one bilinear fetch
  set_texture(TEX_STAGE(TEX_QUARTER_DEPTH), Q(3));
  set_texture(TEX_STAGE(TEX_QUARTER_NORMALS), Q(4));
  point_clamp(TEX_STAGE(TEX_QUARTER_DEPTH));
  point_clamp(TEX_STAGE(TEX_QUARTER_NORMALS));
  set_stencil_test(255, 0, D3DCMP_NOTEQUAL);
  set_sky_ps_consts(PC_SKY);
  set_pc(PC_LAND_SHADOW, land_shadow_quality >= 1 ? 1.f : 0.f, 0.f, 0.f, 0.f);
  set_shader(dr_calc_light);
  draw_postfx();
}

// The horizon ring into the scene image, marking stencil bit 1 (the wireframe view clears
// the image first).
void horizon_pass()
{
  set_render_target_texture(0, scene_image, true);
  if (use_wireframe)
  {
    clear_view_color(0xB4B4B4B4);
    set_wireframe(true);
  }
  set_zenable(true);
  set_stencil_test(255, 2, D3DCMP_ALWAYS);
  set_stencil_replace_bits(2);
  scene_hooks.render_horizon();
  set_wireframe(false);
  set_zenable(false);
  set_stencil_replace_bits(0);
}

// The sky where nothing was drawn.
void sky_pass()
{
  if (use_wireframe)
    return;
  set_stencil_test(255, 0, D3DCMP_EQUAL);
  render_sky();
}

// The lit pixels into the scene image with fog over land, water and objects.
void composition_pass(const Matrix44 &camera, float far_plane)
{
  set_texture(TEX_STAGE(TEX_GBUF_DEPTH), T(4));
  set_texture(TEX_STAGE(TEX_LIT_IMAGE), T(3));
  point_clamp(TEX_STAGE(TEX_LIT_IMAGE));
  set_far_rays(camera, far_plane);
  set_screen_texmap();
  set_sky_ps_consts(PC_SKY);
  vec4f cam = camera.row(3);
  set_pc(PC_CAMERA_POS, cam.x, cam.y, cam.z, 1.f);
  set_pc(PC_FOG, use_fog ? 1.f : 0.f, 0.f, 0.f, 0.f);
  set_shader(dr_final);
  set_stencil_test(1, 1, D3DCMP_EQUAL);
  draw_postfx();
  stencil_off();
}
} // namespace

void render_scene_deferred(const Matrix44 &camera, float time, float dt, float far_plane)
{
  (void)time;
  (void)dt;
  frame_depth = nullptr;
  if (!scene_image || !T(1) || !Q(1) || !dr_calc_light)
    return;
  frame_depth = T(4);
  Matrix44 view;
  if (!inverse44(camera, view))
    view = Matrix44::identity();
  set_view_depth_plane(view, far_plane);
  geometry_pass();
  water_pass();
  end_geometry_passes();
  quarter_copies();
  shadow_mask_pass(camera, far_plane);
  light_pass();
  horizon_pass();
  sky_pass();
  composition_pass(camera, far_plane);
  // Debug drawing and effects are lit forward.
  set_forward_consts();
  debug_and_fx();
}

void render_scene_forward(float time, float dt)
{
  (void)time;
  (void)dt;
  frame_depth = nullptr;
  if (!scene_image)
    return;
  set_forward_consts();
  // The scene image with depth (the wireframe view clears it to grey).
  set_render_target_texture(0, scene_image, true);
  set_zenable(true);
  set_zwrite(true);
  if (use_wireframe)
  {
    clear_view(0xB4B4B4B4);
    set_wireframe(true);
  }
  else
    clear_view_z();
  // Land, objects and water, lit as they are drawn, mark stencil bit 0.
  set_stencil_test(1, 1, D3DCMP_ALWAYS);
  set_stencil_replace_bits(1);
  scene_hooks.render_land();
  scene_hooks.render_objects();
  scene_hooks.render_water();
  stencil_off();
  set_wireframe(false);
  set_zenable(false);
  set_zwrite(false);
  set_stencil_replace_bits(0);
  // The sky where nothing was drawn.
  if (!use_wireframe)
  {
    set_stencil_test(255, 0, D3DCMP_EQUAL);
    render_sky();
    stencil_off();
  }
  debug_and_fx();
}

// ---------------------------------------------------------------------------------------
// MLAA: edges into T2, run lengths along rows and columns by doubling steps, then the
// blend of each edge pixel with its neighbours by the covered area.

void render_mlaa()
{
  if (!scene_image || !T(1) || !fx_shaders[FX_MLAA_EDGE])
    return;
  const float w = float(d3d_wd), h = float(d3d_ht);
  set_zenable(false);
  set_zwrite(false);
  stencil_off();
  set_blend_none();

  // Edges.
  set_render_target_texture(0, T(2), false);
  set_shader(fx_shaders[FX_MLAA_EDGE]);
  set_texture(TEX_STAGE(TEX_SCENE_IMAGE), scene_image);
  point_clamp(TEX_STAGE(TEX_SCENE_IMAGE));
  set_screen_texmap();
  set_vc(VC_MLAA_TEXEL, 1.f / w, 1.f / h, 0.f, 0.f);
  draw_postfx();

  // Rows: ping-pong between T1 and T3.
  set_texture(TEX_STAGE(TEX_MLAA_RUN_EDGES), T(2));
  point_clamp(TEX_STAGE(TEX_MLAA_RUN_EDGES));
  Texture *cur = T(1), *other = T(3), *prev = nullptr;
  for (int s = 1; s <= 128; s *= 2)
  {
    set_render_target_texture(0, cur, false);
    if (s == 1)
      clear_view_color(0);
    set_shader(fx_shaders[s == 1 ? FX_MLAA_ROWS_FIRST : FX_MLAA_ROWS]);
    if (s > 1)
    {
      set_texture(TEX_STAGE(TEX_MLAA_PREV_RUNS), prev);
      point_clamp(TEX_STAGE(TEX_MLAA_PREV_RUNS));
    }
    set_vc(VC_MLAA_TEXEL, 1.f / w, 0.f, float(s) / w, 0.f);
    set_pc(PC_MLAA_STEP, float(s) / 255.f, 0.f, 0.f, 0.f);
    draw_postfx();
    prev = cur;
    std::swap(cur, other);
  }
  Texture *rows = prev; // T3

  // Columns: ping-pong between the other of T1/T3 and T4; the last step writes into
  // the blue and alpha channels of the row result.
  cur = rows == T(1) ? T(3) : T(1);
  other = T(4);
  for (int s = 1; s <= 128; s *= 2)
  {
    bool last = s == 128;
    set_render_target_texture(0, last ? rows : cur, false);
    if (s == 1)
      clear_view_color(0);
    if (last)
      set_color_write_mask(12);
    set_shader(fx_shaders[s == 1 ? FX_MLAA_COLS_FIRST : (last ? FX_MLAA_COLS_FINAL : FX_MLAA_COLS)]);
    if (s > 1)
    {
      set_texture(TEX_STAGE(TEX_MLAA_PREV_RUNS), prev);
      point_clamp(TEX_STAGE(TEX_MLAA_PREV_RUNS));
    }
    set_vc(VC_MLAA_TEXEL, 0.f, 1.f / h, 0.f, float(s) / h);
    set_pc(PC_MLAA_STEP, float(s) / 255.f, 0.f, 0.f, 0.f);
    draw_postfx();
    if (!last)
    {
      prev = cur;
      std::swap(cur, other);
    }
  }
  set_color_write_mask(15);

  // Combine into the free target, which becomes the scene image.
  Texture *free_target = cur == prev ? other : cur;
  if (free_target == rows || free_target == T(2))
    free_target = T(4);
  set_render_target_texture(0, free_target, false);
  set_shader(fx_shaders[FX_MLAA_COMBINE]);
  set_texture(TEX_STAGE(TEX_SCENE_IMAGE), scene_image);
  point_clamp(TEX_STAGE(TEX_SCENE_IMAGE));
  set_texture(TEX_STAGE(TEX_MLAA_EDGES), T(2));
  set_texture(TEX_STAGE(TEX_MLAA_RUNS), rows);
  for (int st : {TEX_STAGE(TEX_MLAA_EDGES), TEX_STAGE(TEX_MLAA_RUNS)})
  {
    set_tex_address(st, TEXADDR_WRAP);
    set_tex_filter(st, false);
  }
  set_vc(VC_MLAA_TEXEL, 1.f / w, 1.f / h, 0.f, 0.f);
  set_pc(PC_MLAA_TEXEL, 1.f / w, 1.f / h, 0.f, 0.f);
  draw_postfx();

  for (int i = 1; i <= 4; i++)
    if (T(i) == free_target)
    {
      T(i) = scene_image;
      break;
    }
  scene_image = free_target;
}

void draw_final_image()
{
  set_wireframe(false);
  if (use_ppaa)
    render_mlaa();
  if (!scene_image || !fx_shaders[FX_NONE])
    return;
  set_backbuffer_target();
  set_zenable(false);
  set_zwrite(false);
  stencil_off();
  set_blend_none();
  set_texture(TEX_STAGE(TEX_SCENE_IMAGE), scene_image);
  if (!use_postfx || use_wireframe)
  {
    set_shader(fx_shaders[FX_NONE]);
    set_tex_address(TEX_STAGE(TEX_SCENE_IMAGE), TEXADDR_CLAMP);
    set_screen_texmap();
  }
  else
  {
    set_shader(fx_shaders[FX_MAIN]);
    set_screen_texmap();
    set_pc(PC_SCREEN_SIZE, 1.f / float(d3d_wd), 1.f / float(d3d_ht), float(d3d_wd), float(d3d_ht));
  }
  set_pc(PC_FRAME_TINT, frame_color_drawn);
  draw_postfx();
}
