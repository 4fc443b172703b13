#pragma once
// The render device: the one OpenGL context of the program behind a small procedural
// interface. Everything else in the renderer and the UI draws only through this header
// (and shaders.h, buffers.h, textures.h, mesh.h); GL calls live in render/gl_device*.cpp.
#include <cstdint>
#include "core/d3dcolor.h"
#include "core/engine_api.h"
#include "core/matrix44.h"

struct SDL_Window;
struct Texture;

// Primitive types (program codes, translated to GL inside the device).
enum
{
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};

// Comparison functions for set_stencil_test (1..8 = NEVER..ALWAYS).
enum
{
  D3DCMP_NEVER = 1,
  D3DCMP_LESS = 2,
  D3DCMP_EQUAL = 3,
  D3DCMP_LESSEQUAL = 4,
  D3DCMP_GREATER = 5,
  D3DCMP_NOTEQUAL = 6,
  D3DCMP_GREATEREQUAL = 7,
  D3DCMP_ALWAYS = 8,
};

// Texture addressing codes for set_tex_address: 0 wrap, 2 border, anything else clamp.
enum
{
  TEXADDR_WRAP = 0,
  TEXADDR_CLAMP = 1,
  TEXADDR_BORDER = 2,
};

constexpr int D3D_SAMPLER_STAGES = 16; // sampler objects / GLSL samplers s0..s15
constexpr int D3D_TEXTURE_STAGES = 32; // texture units unbound on reset
constexpr int D3D_VERTEX_STREAMS = 16;
constexpr int D3D_MAX_RT = 4;      // simultaneous render targets
constexpr int D3D_VS_CONSTS = 256; // vec4 registers of VSConst
constexpr int D3D_PS_CONSTS = 224; // vec4 registers of PSConst

// Current back-buffer size in pixels; written by init_d3d/resize_d3d, read everywhere.
extern ENGINE_API int d3d_wd, d3d_ht;

// ---- what the device calls in the layers above it ----
struct DeviceHooks
{
  // The frame, called by render_d3d_frame between begin and end of scene (the shell's
  // draw_frame; tests and tools draw their own).
  void (*draw_frame)(float dt) = [](float) {};
  // Called by resize_d3d after the screen-sized resources were recreated (the shell's
  // on_d3d_resize).
  void (*on_resize)() = [] {};
  // Draws the splash screen into the back buffer; called by show_splash_frame (the text
  // renderer's draw_splash).
  void (*draw_splash)() = [] {};
};
// The hooks init_d3d was given; entries are never null. Tests and tools replace entries
// to draw their own frames.
extern ENGINE_API DeviceHooks d3d_hooks;

// ---- device lifetime and frame ----
// Creates the GL context on wnd (which must have SDL_WINDOW_OPENGL) and every device
// resource, and installs hooks. w or h of 0: the window's drawable size. Calls close_d3d
// first.
ENGINE_API bool init_d3d(SDL_Window *wnd, int w, int h, const DeviceHooks &hooks = DeviceHooks());
// Releases everything; safe when nothing was created.
ENGINE_API void close_d3d();
// Recreates the screen-sized resources for a new size or mode; 0 keeps a dimension.
ENGINE_API bool resize_d3d(int w, int h, bool fullscreen, bool force);
// True when the device may be drawn to this frame (false while minimised or hidden).
ENGINE_API bool check_d3d_device();
// Draws one frame through d3d_hooks.draw_frame; false when the frame was skipped.
ENGINE_API bool render_d3d_frame(float dt);
// Shows the back buffer; call only after render_d3d_frame returned true.
ENGINE_API void present_d3d();
// Blocks until the GPU has executed everything submitted so far.
ENGINE_API void flush_gpu();
// One splash frame: begin, culling on, d3d_hooks.draw_splash, end, present. No device:
// nothing.
ENGINE_API void show_splash_frame();
// True between init_d3d and close_d3d.
ENGINE_API bool d3d_device_exists();
// Estimate of free texture memory in bytes.
ENGINE_API unsigned get_free_texmem();

// ---- render states (immediate, not cached) ----
ENGINE_API void set_blend_none();
ENGINE_API void set_blend_additive();
ENGINE_API void set_blend_smooth_add();
ENGINE_API void set_blend_alpha();
ENGINE_API void set_blend_prealpha();
ENGINE_API void set_blend_multiply();
// ref < 1: alpha test off; otherwise fragments with alpha*255 < ref are discarded.
ENGINE_API void set_atest(int ref);
// on: cull counter-clockwise faces (as seen on screen, y down); off: no culling.
ENGINE_API void set_cull_mode(int on);
ENGINE_API void set_zenable(bool on);
ENGINE_API void set_zwrite(bool on);
// Bit 0 red, 1 green, 2 blue, 3 alpha; applies to render target 0.
ENGINE_API void set_color_write_mask(int mask);
ENGINE_API void set_wireframe(bool on);
// mask 0: stencil test off; otherwise test (stencil & mask) func (ref & mask).
ENGINE_API void set_stencil_test(int mask, int ref, int func);
// Stencil write mask = bits; pass writes ref when bits != 0.
ENGINE_API void set_stencil_replace_bits(int bits);

// ---- samplers ----
ENGINE_API void set_texture(int stage, Texture *tex);
ENGINE_API void set_tex_filter(int stage, bool linear);
// v < 0 takes u, w < 0 takes v.
ENGINE_API void set_tex_address(int stage, int u, int v = -1, int w = -1);

// ---- transforms and viewport ----
ENGINE_API void set_view_tm(const Matrix44 &tm);
ENGINE_API void set_proj_tm(const Matrix44 &tm);
// Left-handed perspective, fov vertical in radians, depth to [0, 1].
ENGINE_API void set_proj_tm(float fov, float aspect, float znear, float zfar);
ENGINE_API void get_view_tm(Matrix44 &out);
ENGINE_API void get_proj_tm(Matrix44 &out);
// out = view x projection.
ENGINE_API void get_glob_tm(Matrix44 &out);
// Top-down pixel rectangle of the current render target; depth range 0..1.
ENGINE_API void set_viewport(int x, int y, int w, int h);

// ---- clears: always the whole current target, ignoring masks and scissor ----
ENGINE_API void clear_view(D3dColor c); // colour c, depth 1, stencil 0
ENGINE_API void clear_view_color(D3dColor c);
ENGINE_API void clear_view_z(); // depth 1, stencil 0

// ---- draws (failures are fatal) ----
ENGINE_API void draw_prim(int prim_type, int start_vertex, int prim_count);
ENGINE_API void draw_indexed(int prim_type, int base_vertex, int min_index, int num_vertices, int start_index,
                             int prim_count);
// count > 0: following draws are instanced count times, streams >= 1 advance per
// instance. count <= 0: back to plain draws.
ENGINE_API void set_instancing(int count);
// Full-screen quad: positions (-1,-1,0), (-1,1,0), (1,-1,0), (1,1,0) as a strip on
// stream 0 with the {FLOAT3 POSITION0} declaration, which stays current afterwards.
ENGINE_API void draw_postfx();

// ---- render targets ----
// Binds level 0 of tex as target index (null unbinds that index). For index 0 the
// scene depth surface is bound when with_depth, none otherwise; the viewport is reset
// to the whole target.
ENGINE_API void set_render_target_texture(int index, Texture *tex, bool with_depth);
// Back buffer as target 0, no other targets, no depth; viewport reset.
ENGINE_API void set_backbuffer_target();
// Level 0 onto level 0 with point filtering (stretching when sizes differ).
ENGINE_API void copy_texture(Texture *from, Texture *to);

// ---- read-back ----
// Copies a rectangle of the back buffer (top-down pixel coordinates) as B,G,R,A bytes,
// top row first, rows pitch bytes apart. False when the rectangle is outside or empty.
ENGINE_API bool read_backbuffer(int x, int y, int w, int h, void *dst, int pitch);
// The window the device draws to (null without a device).
ENGINE_API SDL_Window *get_d3d_window();

// Per-frame device statistics (reset by render_d3d_frame; read by overlays and tests).
struct D3dFrameCounters
{
  int draw_calls;
  int primitives;
};
extern ENGINE_API D3dFrameCounters d3d_frame_counters;
