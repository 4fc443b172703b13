#include "render/scene_render.h"
#include <cstring>
#include <utility>
#include "app/app_globals.h"
#include "app/log.h"
#include "app/settings.h"
#include "render/debug_vis.h"
#include "render/device.h"
#include "render/shaders.h"
#include "render/sky.h"
#include "render/textures.h"

// Drawn by the bitmap-text renderer; weak so that the renderer runs without one.
ENGINE_API void show_splash(const char *text, float progress) __attribute__((weak));

vec4f frame_color_drawn(0.f, 0.f, 0.f, 0.f);
void (*scene_init_terrain)() = nullptr;
void (*scene_close_terrain)() = nullptr;

namespace
{
void nothing() {}

// Without a shadow renderer the mask is plain white: everything is lit.
void clear_shadow_mask() { clear_view_color(0xFFFFFFFF); }

SceneHooks default_hooks()
{
  SceneHooks h;
  h.render_land = nothing;
  h.render_water = nothing;
  h.render_horizon = nothing;
  h.render_objects = nothing;
  h.render_object_shadows = nothing;
  h.render_object_debug = nothing;
  h.start_render_shadows = clear_shadow_mask;
  h.end_render_shadows = nothing;
  h.render_common_fx = nothing;
  return h;
}

Texture *scene_image = nullptr;
Texture *targets[4] = {}; // T1..T4
Texture *quarter[4] = {}; // Q1..Q4
Texture *effects_target = nullptr;

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
void set_screen_texmap() { set_vc(16, 0.5f, -0.5f, 0.5f + 0.5f / float(d3d_wd), 0.5f + 0.5f / float(d3d_ht)); }

void point_clamp(int stage)
{
  set_tex_address(stage, TEXADDR_CLAMP);
  set_tex_filter(stage, false);
}

void stencil_off() { set_stencil_test(0, 0, D3DCMP_ALWAYS); }

// Corner rays of the far plane (vertex registers 17..19): a full-screen pass position
// (x, y) gives the world-space ray x * c17 + y * c18 + c19 to view depth far.
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
  set_vc(17, r0);
  set_vc(18, r1);
  set_vc(19, r2);
}

void light_vector_ps0() { set_pc(0, sun_dir_drawn.x, sun_dir_drawn.y, sun_dir_drawn.z, sky_extra_light); }

// Registers for things lit in a forward pass after the scene: fog switch, light
// vector and the 12 light parameters.
void set_forward_consts()
{
  set_vc(8, use_fog ? 1.f : 0.f, 0.f, 0.f, 0.f);
  set_sky_vs_consts(30);
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

SceneHooks scene_hooks = default_hooks();

void set_scene_hooks(const SceneHooks &h)
{
  SceneHooks d = default_hooks();
#define HOOK(name) scene_hooks.name = h.name ? h.name : d.name
  HOOK(render_land);
  HOOK(render_water);
  HOOK(render_horizon);
  HOOK(render_objects);
  HOOK(render_object_shadows);
  HOOK(render_object_debug);
  HOOK(start_render_shadows);
  HOOK(end_render_shadows);
  HOOK(render_common_fx);
#undef HOOK
}

Texture *get_scene_image() { return scene_image; }
Texture *get_scene_target(int i) { return i >= 1 && i <= 4 ? T(i) : nullptr; }
Texture *get_quarter_target(int i) { return i >= 1 && i <= 4 ? Q(i) : nullptr; }
Texture *get_effects_target() { return effects_target; }

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
  int q = gfx_quality == 0 ? 0 : 1;
  debug("Graphics quality: %s", q ? "high" : "low");
  scene_image = create_screen_rt();
  if (!scene_image)
    fatal("can't create scene image texture");
  if (q == 1)
  {
    create_quarter_targets();
    dr_final = create_shader("dr_final.sh", nullptr);
    dr_calc_light = create_shader("dr_calc_light.sh", nullptr);
    dr_shadow_blur = create_shader("dr_shadow_blur.sh", nullptr);
  }
  else
    use_postfx = false;
  init_sky();
  if (scene_init_terrain)
    scene_init_terrain();
  init_postfx();
  init_debug_vis();
}

void close_scene_render()
{
  close_debug_vis();
  close_postfx();
  if (scene_close_terrain)
    scene_close_terrain();
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
  if (show_splash)
    show_splash("Creating post-effect textures", -1.f);
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
  if (show_splash)
    show_splash("Compiling post-effect shaders", -1.f);
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
}

// ---------------------------------------------------------------------------------------
// Pipelines

void render_scene_deferred(const Matrix44 &camera, float time, float dt, float far_plane)
{
  (void)time;
  (void)dt;
  if (!scene_image || !T(1) || !Q(1) || !dr_calc_light)
    return;
  const float w = float(d3d_wd), h = float(d3d_ht);
  Matrix44 view;
  if (!inverse44(camera, view))
    view = Matrix44::identity();

  // 1. View depth in [0, 1] as dot(position, c9).
  set_vc(9, view.m[0][2] / far_plane, view.m[1][2] / far_plane, view.m[2][2] / far_plane, view.m[3][2] / far_plane);

  // 2. The geometry buffer: T4 (depth) with the scene depth, T1 and T2.
  set_render_target_texture(0, T(4), true);
  set_zenable(true);
  set_zwrite(true);
  set_wireframe(use_wireframe);
  clear_view(0x00FFFFFF);
  set_render_target_texture(1, T(1), false);
  set_render_target_texture(2, T(2), false);

  // 3. Land and objects mark stencil bit 0.
  set_stencil_test(1, 1, D3DCMP_ALWAYS);
  set_stencil_replace_bits(1);
  scene_hooks.render_land();
  scene_hooks.render_objects();

  // 4. The water reads the land's depth from a copy.
  copy_texture(T(4), T(3));
  set_texture(8, T(3));
  point_clamp(8);
  set_render_target_texture(2, nullptr, false);
  scene_hooks.render_water();
  set_render_target_texture(1, nullptr, false);

  // 5.
  set_texture(10, T(2));
  point_clamp(9);
  point_clamp(10);
  point_clamp(11);
  set_wireframe(false);
  stencil_off();

  // 6. Quarter-size depth and normals.
  copy_texture(T(4), Q(3));
  copy_texture(T(1), Q(4));
  set_texture(8, Q(3));
  set_texture(9, Q(4));
  set_zenable(false);
  set_zwrite(false);
  set_stencil_replace_bits(0);

  // 7. Shadow mask target and the constants of the quarter-size passes.
  set_render_target_texture(0, Q(1), false);
  light_vector_ps0();
  set_screen_texmap();
  set_vc(20, 4.f / w, 4.f / h, 0.f, 0.f);
  set_pc(17, w / 4.f, h / 4.f, 4.f / w, 4.f / h);
  set_far_rays(camera, far_plane);

  // 8. Object shadows with land_shadow_quality 2 (0: no shadows, 1: the land's only).
  scene_hooks.start_render_shadows();
  if (use_obj_shadows && land_shadow_quality >= 2)
    scene_hooks.render_object_shadows();
  scene_hooks.end_render_shadows();

  // 9. Separable blur of the mask, Q1 -> Q2 -> Q1.
  set_shader(dr_shadow_blur);
  set_render_target_texture(0, Q(2), false);
  set_texture(11, Q(1));
  point_clamp(11);
  set_pc(18, 4.f / w, 0.f, 8.f / w, 0.f);
  draw_postfx();
  set_render_target_texture(0, Q(1), false);
  set_texture(11, Q(2));
  set_pc(18, 0.f, 4.f / h, 0.f, 8.f / h);
  draw_postfx();

  // 10. Lighting of every covered pixel into T3.
  set_texture(8, T(4));
  set_texture(9, T(1));
  set_render_target_texture(0, T(3), true);
  set_texture(11, Q(1));
  set_tex_filter(11, true); // the light pass reads the mask with one bilinear fetch
  set_texture(12, Q(3));
  set_texture(13, Q(4));
  point_clamp(12);
  point_clamp(13);
  set_stencil_test(255, 0, D3DCMP_NOTEQUAL);
  set_sky_ps_consts(0);
  set_pc(19, land_shadow_quality >= 1 ? 1.f : 0.f, 0.f, 0.f, 0.f);
  set_shader(dr_calc_light);
  draw_postfx();

  // 11. Horizon ring into the scene image, marking stencil bit 1.
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

  // 12. Sky where nothing was drawn.
  if (!use_wireframe)
  {
    set_stencil_test(255, 0, D3DCMP_EQUAL);
    render_sky();
  }

  // 13. Composition with fog over land, water and objects.
  set_texture(8, T(4));
  set_texture(11, T(3));
  point_clamp(11);
  set_far_rays(camera, far_plane);
  set_screen_texmap();
  set_sky_ps_consts(0);
  vec4f cam = camera.row(3);
  set_pc(16, cam.x, cam.y, cam.z, 1.f);
  set_pc(17, use_fog ? 1.f : 0.f, 0.f, 0.f, 0.f);
  set_shader(dr_final);
  set_stencil_test(1, 1, D3DCMP_EQUAL);
  draw_postfx();
  stencil_off();

  // 14, 15.
  set_forward_consts();
  debug_and_fx();
}

void render_scene_forward(float time, float dt)
{
  (void)time;
  (void)dt;
  if (!scene_image)
    return;
  // 1.
  set_forward_consts();
  // 2.
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
  // 3.
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
  // 4.
  if (!use_wireframe)
  {
    set_stencil_test(255, 0, D3DCMP_EQUAL);
    render_sky();
    stencil_off();
  }
  // 5.
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

  // 1. Edges.
  set_render_target_texture(0, T(2), false);
  set_shader(fx_shaders[FX_MLAA_EDGE]);
  set_texture(0, scene_image);
  point_clamp(0);
  set_screen_texmap();
  set_vc(17, 1.f / w, 1.f / h, 0.f, 0.f);
  draw_postfx();

  // 2. Rows: ping-pong between T1 and T3.
  set_texture(0, T(2));
  point_clamp(0);
  Texture *cur = T(1), *other = T(3), *prev = nullptr;
  for (int s = 1; s <= 128; s *= 2)
  {
    set_render_target_texture(0, cur, false);
    if (s == 1)
      clear_view_color(0);
    set_shader(fx_shaders[s == 1 ? FX_MLAA_ROWS_FIRST : FX_MLAA_ROWS]);
    if (s > 1)
    {
      set_texture(1, prev);
      point_clamp(1);
    }
    set_vc(17, 1.f / w, 0.f, float(s) / w, 0.f);
    set_pc(0, float(s) / 255.f, 0.f, 0.f, 0.f);
    draw_postfx();
    prev = cur;
    std::swap(cur, other);
  }
  Texture *rows = prev; // T3

  // 3. Columns: ping-pong between the other of T1/T3 and T4; the last step writes into
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
      set_texture(1, prev);
      point_clamp(1);
    }
    set_vc(17, 0.f, 1.f / h, 0.f, float(s) / h);
    set_pc(0, float(s) / 255.f, 0.f, 0.f, 0.f);
    draw_postfx();
    if (!last)
    {
      prev = cur;
      std::swap(cur, other);
    }
  }
  set_color_write_mask(15);

  // 4. Combine into the free target, which becomes the scene image.
  Texture *free_target = cur == prev ? other : cur;
  if (free_target == rows || free_target == T(2))
    free_target = T(4);
  set_render_target_texture(0, free_target, false);
  set_shader(fx_shaders[FX_MLAA_COMBINE]);
  set_texture(0, scene_image);
  point_clamp(0);
  set_texture(1, T(2));
  set_texture(2, rows);
  for (int st = 1; st <= 2; st++)
  {
    set_tex_address(st, TEXADDR_WRAP);
    set_tex_filter(st, false);
  }
  set_vc(17, 1.f / w, 1.f / h, 0.f, 0.f);
  set_pc(0, 1.f / w, 1.f / h, 0.f, 0.f);
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
  set_texture(0, scene_image);
  if (!use_postfx || use_wireframe)
  {
    set_shader(fx_shaders[FX_NONE]);
    set_tex_address(0, TEXADDR_CLAMP);
    set_screen_texmap();
  }
  else
  {
    set_shader(fx_shaders[FX_MAIN]);
    set_screen_texmap();
    set_pc(0, 1.f / float(d3d_wd), 1.f / float(d3d_ht), float(d3d_wd), float(d3d_ht));
  }
  set_pc(1, frame_color_drawn);
  draw_postfx();
}
