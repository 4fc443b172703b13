// The device: GL context, back buffer, frame pacing, render states, samplers,
// transforms, clears, draws and render targets.
#include <SDL2/SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include "core/gfx_settings.h"
#include "core/globals.h"
#include "core/log.h"
#include "render/buffers.h"
#include "render/gl_device_internal.h"
#include "render/shaders.h"
#include "render/textures.h"

int d3d_wd = 0, d3d_ht = 0;
DeviceHooks d3d_hooks;
D3dFrameCounters d3d_frame_counters;
bool gl_device_ready = false;
bool gl_debug_enabled = false;

namespace
{
constexpr int NUM_FRAME_FENCES = 2;

struct DeviceState
{
  SDL_Window *wnd = nullptr;
  SDL_GLContext ctx = nullptr;
  bool robust = false;
  bool needsReset = false; // device was lost or a reset failed: next check forces one

  unsigned bbTex = 0;   // back buffer, RGBA8, d3d_wd x d3d_ht
  unsigned bbFbo = 0;   // back buffer only: present and read-back
  unsigned rtFbo = 0;   // what draws go to
  unsigned depthRb = 0; // scene depth, D24S8
  unsigned vao = 0;
  unsigned samplers[D3D_SAMPLER_STAGES] = {};
  unsigned ubo[3] = {};         // VSConst, PSConst, D3dState
  unsigned upVb = 0;            // positions of the full-screen quad
  VertexDecl *upDecl = nullptr; // its {FLOAT3 POSITION0} declaration (cache slots die at close)

  GLsync frameFence[NUM_FRAME_FENCES] = {};
  int frameIndex = 0;
  bool haveFlushFence = false;

  Texture *rt[D3D_MAX_RT] = {}; // null at index 0 = back buffer
  bool rtDepth = false;

  // Shadowed state needed across calls.
  int colorMask = 15;
  bool zwrite = true;
  int stencilWriteBits = 0xFF;
  int atestRef = 0;
  int vpX = 0, vpY = 0, vpW = 1, vpH = 1;
  bool stateDirty = true;

  float vc[D3D_VS_CONSTS][4] = {};
  float pc[D3D_PS_CONSTS][4] = {};
  int vcLo = D3D_VS_CONSTS, vcHi = 0; // dirty register range [lo, hi)
  int pcLo = D3D_PS_CONSTS, pcHi = 0;

  Matrix44 viewTm = Matrix44::identity();
  Matrix44 projTm = Matrix44::identity();

  // Draw-time vertex input binding.
  Shader *shader = nullptr;
  unsigned usedProg = 0; // what glUseProgram holds: the shader's plain or alpha-tested program
  VertexDecl *decl = nullptr;
  Shader *boundShader = nullptr; // shader/decl/link serial the VAO formats were made for
  VertexDecl *boundDecl = nullptr;
  unsigned boundSerial = 0;
  unsigned enabledAttribs = 0;
  int instanceCount = 0;
  struct Stream
  {
    VertexBuffer *vb;
    unsigned raw;
    int offset, stride;
    unsigned boundBuf; // what the VAO binding holds now
    int boundOfs, boundStride;
  } streams[D3D_VERTEX_STREAMS] = {};
};

DeviceState dev;

const char *gl_err_name(GLenum e)
{
  switch (e)
  {
  case GL_INVALID_ENUM: return "INVALID_ENUM";
  case GL_INVALID_VALUE: return "INVALID_VALUE";
  case GL_INVALID_OPERATION: return "INVALID_OPERATION";
  case GL_OUT_OF_MEMORY: return "OUT_OF_MEMORY";
  case GL_INVALID_FRAMEBUFFER_OPERATION: return "INVALID_FRAMEBUFFER_OPERATION";
  default: return "error";
  }
}

void create_frame_fences()
{
  for (int i = 0; i < NUM_FRAME_FENCES; i++)
  {
    if (dev.frameFence[i])
      glDeleteSync(dev.frameFence[i]);
    dev.frameFence[i] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  }
  dev.frameIndex = 0;
  dev.haveFlushFence = true;
}

void release_frame_fences()
{
  for (int i = 0; i < NUM_FRAME_FENCES; i++)
    if (dev.frameFence[i])
    {
      glDeleteSync(dev.frameFence[i]);
      dev.frameFence[i] = nullptr;
    }
  dev.haveFlushFence = false;
}

// Back buffer and scene depth of d3d_wd x d3d_ht. False on failure (logged by caller).
bool create_screen_surfaces()
{
  glCreateTextures(GL_TEXTURE_2D, 1, &dev.bbTex);
  glTextureStorage2D(dev.bbTex, 1, GL_RGBA8, d3d_wd, d3d_ht);
  glTextureParameteri(dev.bbTex, GL_TEXTURE_MAX_LEVEL, 0);
  glNamedFramebufferTexture(dev.bbFbo, GL_COLOR_ATTACHMENT0, dev.bbTex, 0);

  glCreateRenderbuffers(1, &dev.depthRb);
  glNamedRenderbufferStorage(dev.depthRb, GL_DEPTH24_STENCIL8, d3d_wd, d3d_ht);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR)
    return false;
  return glCheckNamedFramebufferStatus(dev.bbFbo, GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void release_screen_surfaces()
{
  if (dev.rtFbo)
  {
    for (int i = 0; i < D3D_MAX_RT; i++)
      glNamedFramebufferTexture(dev.rtFbo, GL_COLOR_ATTACHMENT0 + i, 0, 0);
    glNamedFramebufferRenderbuffer(dev.rtFbo, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
  }
  if (dev.bbFbo)
    glNamedFramebufferTexture(dev.bbFbo, GL_COLOR_ATTACHMENT0, 0, 0);
  if (dev.bbTex)
    glDeleteTextures(1, &dev.bbTex);
  if (dev.depthRb)
    glDeleteRenderbuffers(1, &dev.depthRb);
  dev.bbTex = dev.depthRb = 0;
}

void mark_state_dirty() { dev.stateDirty = true; }

void restore_color_mask()
{
  int m = dev.colorMask;
  glColorMaski(0, (m & 1) != 0, (m & 2) != 0, (m & 4) != 0, (m & 8) != 0);
}

// With ZARNITH_GL_DEBUG set in the environment the context is a debug one and every GL
// error is logged where it happens.
void APIENTRY gl_debug_message(GLenum source, GLenum type, GLuint, GLenum, GLsizei, const GLchar *msg, const void *)
{
  if (type == GL_DEBUG_TYPE_ERROR && source == GL_DEBUG_SOURCE_API)
    debug("GL: %s", msg);
}

void apply_viewport(int x, int y, int w, int h)
{
  dev.vpX = x, dev.vpY = y, dev.vpW = w > 0 ? w : 1, dev.vpH = h > 0 ? h : 1;
  glViewport(x, y, w, h);
  glDepthRange(0.0, 1.0);
  mark_state_dirty();
}

// Size of render target 0.
void target_size(int &w, int &h)
{
  if (dev.rt[0])
    w = dev.rt[0]->texW, h = dev.rt[0]->texH;
  else
    w = d3d_wd, h = d3d_ht;
}

void update_draw_buffers()
{
  GLenum bufs[D3D_MAX_RT];
  for (int i = 0; i < D3D_MAX_RT; i++)
  {
    bool bound = i == 0 ? (dev.rt[0] ? dev.rt[0]->tex != 0 : dev.bbTex != 0) : (dev.rt[i] && dev.rt[i]->tex);
    bufs[i] = bound ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
  }
  glNamedFramebufferDrawBuffers(dev.rtFbo, D3D_MAX_RT, bufs);
}

void bind_backbuffer_target()
{
  for (int i = 1; i < D3D_MAX_RT; i++)
  {
    dev.rt[i] = nullptr;
    glNamedFramebufferTexture(dev.rtFbo, GL_COLOR_ATTACHMENT0 + i, 0, 0);
  }
  dev.rt[0] = nullptr;
  dev.rtDepth = false;
  glNamedFramebufferTexture(dev.rtFbo, GL_COLOR_ATTACHMENT0, dev.bbTex, 0);
  glNamedFramebufferRenderbuffer(dev.rtFbo, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
  update_draw_buffers();
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, dev.rtFbo);
  apply_viewport(0, 0, d3d_wd, d3d_ht);
}

void upload_dirty_state()
{
  if (dev.vcLo < dev.vcHi)
  {
    glNamedBufferSubData(dev.ubo[0], dev.vcLo * 16, (dev.vcHi - dev.vcLo) * 16, dev.vc[dev.vcLo]);
    dev.vcLo = D3D_VS_CONSTS, dev.vcHi = 0;
  }
  if (dev.pcLo < dev.pcHi)
  {
    glNamedBufferSubData(dev.ubo[1], dev.pcLo * 16, (dev.pcHi - dev.pcLo) * 16, dev.pc[dev.pcLo]);
    dev.pcLo = D3D_PS_CONSTS, dev.pcHi = 0;
  }
  if (dev.stateDirty)
  {
    // The vertex stage moves positions by this much in clip space so that D3D pixel
    // centres (integers) land on GL ones (half integers). 63/128 of a pixel rather than
    // 1/2 keeps edges off the sample points, where GL's and D3D's tie rules differ.
    const float shift = 63.f / 64.f;
    float st[4] = {float(dev.atestRef), shift / float(dev.vpW), shift / float(dev.vpH), 0.f};
    glNamedBufferSubData(dev.ubo[2], 0, sizeof(st), st);
    dev.stateDirty = false;
  }
}

// Vertex formats of the current declaration, bound to the current program's attribute
// locations by semantic name. Redone when program, declaration or program code change.
void apply_vertex_inputs()
{
  Shader *s = dev.shader;
  VertexDecl *d = dev.decl;
  unsigned serial = s ? s->linkSerial : 0;
  if (s == dev.boundShader && d == dev.boundDecl && serial == dev.boundSerial)
    return;
  dev.boundShader = s, dev.boundDecl = d, dev.boundSerial = serial;

  unsigned enable = 0;
  if (s && d)
    for (int i = 0; i + 1 < d->count; i++)
    {
      const VsdElement &e = d->elem[i];
      if (e.type < VSDT_FLOAT1 || e.type > VSDT_SHORT4 || e.usageIndex >= 16 || e.stream >= D3D_VERTEX_STREAMS)
        continue;
      int loc = s->attribLoc[e.usage][e.usageIndex];
      if (loc < 0 || (enable & (1u << loc)))
        continue;
      switch (e.type)
      {
      case VSDT_FLOAT1:
      case VSDT_FLOAT2:
      case VSDT_FLOAT3:
      case VSDT_FLOAT4: glVertexArrayAttribFormat(dev.vao, loc, e.type, GL_FLOAT, GL_FALSE, e.offset); break;
      case VSDT_D3DCOLOR: glVertexArrayAttribFormat(dev.vao, loc, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, e.offset); break;
      case VSDT_SHORT2: glVertexArrayAttribFormat(dev.vao, loc, 2, GL_SHORT, GL_FALSE, e.offset); break;
      case VSDT_SHORT4: glVertexArrayAttribFormat(dev.vao, loc, 4, GL_SHORT, GL_FALSE, e.offset); break;
      }
      glVertexArrayAttribBinding(dev.vao, loc, e.stream);
      enable |= 1u << loc;
    }
  for (int loc = 0; loc < 16; loc++)
  {
    bool want = enable & (1u << loc), have = dev.enabledAttribs & (1u << loc);
    if (want && !have)
      glEnableVertexArrayAttrib(dev.vao, loc);
    else if (!want && have)
      glDisableVertexArrayAttrib(dev.vao, loc);
  }
  dev.enabledAttribs = enable;
}

// Stream bindings resolve here: a dynamic buffer's ring segment moves with every lock.
void apply_streams()
{
  for (int i = 0; i < D3D_VERTEX_STREAMS; i++)
  {
    DeviceState::Stream &s = dev.streams[i];
    unsigned buf = s.vb ? s.vb->buffer : s.raw;
    int ofs = buf ? (s.vb ? s.vb->segOfs : 0) + s.offset : 0;
    int stride = buf ? s.stride : 16;
    if (buf != s.boundBuf || ofs != s.boundOfs || stride != s.boundStride)
    {
      glVertexArrayVertexBuffer(dev.vao, i, buf, ofs, stride);
      s.boundBuf = buf, s.boundOfs = ofs, s.boundStride = stride;
    }
  }
}

// The current shader's program for the alpha test state: only the alpha-tested variant
// has the discard, so every other draw keeps early depth and stencil tests.
void apply_program()
{
  Shader *s = dev.shader;
  unsigned p = !s ? 0 : dev.atestRef > 0 ? shader_alpha_test_program(s) : s->prog;
  if (p != dev.usedProg)
  {
    glUseProgram(p);
    dev.usedProg = p;
  }
}

void prepare_draw()
{
  apply_program();
  upload_dirty_state();
  apply_vertex_inputs();
  apply_streams();
}

void set_sampler_defaults(int stage)
{
  unsigned s = dev.samplers[stage];
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(s, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  const float border[4] = {0, 0, 0, 0};
  glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
}

void set_initial_states()
{
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glDisable(GL_STENCIL_TEST);
  glStencilMask(0xFF);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  dev.colorMask = 15, dev.zwrite = true, dev.stencilWriteBits = 0xFF, dev.atestRef = 0;
  mark_state_dirty();
}

bool create_context(SDL_Window *wnd, bool robust)
{
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
  int flags = robust ? SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG : 0;
  if (gl_debug_enabled)
    flags |= SDL_GL_CONTEXT_DEBUG_FLAG;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, flags);
  if (robust)
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_LOSE_CONTEXT);
  dev.ctx = SDL_GL_CreateContext(wnd);
  if (!dev.ctx)
    return false;
  if (SDL_GL_MakeCurrent(wnd, dev.ctx) != 0)
  {
    SDL_GL_DeleteContext(dev.ctx);
    dev.ctx = nullptr;
    return false;
  }
  dev.robust = robust;
  gl_pin_driver();
  return true;
}

// The size a full-screen back buffer takes: the desktop mode of the window's display.
bool display_size(int &w, int &h)
{
  SDL_DisplayMode mode;
  int di = dev.wnd ? SDL_GetWindowDisplayIndex(dev.wnd) : 0;
  if (SDL_GetDesktopDisplayMode(di < 0 ? 0 : di, &mode) != 0)
    return false;
  w = mode.w, h = mode.h;
  return true;
}

void check_reset_status()
{
  if (!dev.robust)
    return;
  GLenum st = glGetGraphicsResetStatus();
  if (st != GL_NO_ERROR)
    fatal("graphics device was reset (status 0x%04X)", st);
}
} // namespace

void gl_check_error(const char *what, const char *file, int line)
{
  GLenum e = glGetError();
  if (e != GL_NO_ERROR)
    debug("%s(%d): GL error 0x%04X (%s) after %s", file, line, e, gl_err_name(e), what);
}

unsigned gl_prim_mode(int prim_type)
{
  static const unsigned modes[7] = {
    0, GL_POINTS, GL_LINES, GL_LINE_STRIP, GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN};
  static_assert(sizeof(modes) / sizeof(modes[0]) == D3DPT_TRIANGLEFAN + 1, "one GL mode per primitive type");
  return prim_type >= 1 && prim_type <= D3DPT_TRIANGLEFAN ? modes[prim_type] : 0;
}

int prim_vertex_count(int prim_type, int n)
{
  switch (prim_type)
  {
  case D3DPT_POINTLIST: return n;
  case D3DPT_LINELIST: return 2 * n;
  case D3DPT_LINESTRIP: return n + 1;
  case D3DPT_TRIANGLELIST: return 3 * n;
  case D3DPT_TRIANGLESTRIP:
  case D3DPT_TRIANGLEFAN: return n + 2;
  }
  return 0;
}

bool d3d_device_exists() { return gl_device_ready; }
SDL_Window *get_d3d_window() { return gl_device_ready ? dev.wnd : nullptr; }

bool init_d3d(SDL_Window *wnd, int w, int h, const DeviceHooks &hooks)
{
  close_d3d();
  if (!wnd)
    return false;
  d3d_hooks = hooks;
  dev.wnd = wnd;
  const char *dbg = getenv("ZARNITH_GL_DEBUG");
  gl_debug_enabled = dbg && *dbg && strcmp(dbg, "0") != 0;
  if (!create_context(wnd, true))
  {
    debug("failed HARDWARE_VERTEXPROCESSING, trying software one");
    if (!create_context(wnd, false))
    {
      debug("can't create OpenGL context: %s", SDL_GetError());
      close_d3d();
      return false;
    }
  }
  int ver = epoxy_gl_version();
  if (ver < 45 || !epoxy_is_desktop_gl())
  {
    const char *vs = (const char *)glGetString(GL_VERSION);
    fatal("OpenGL 4.5 core is required; this driver offers OpenGL %s", vs ? vs : "(unknown)");
  }
  gl_device_ready = true;
  if (gl_debug_enabled && epoxy_has_gl_extension("GL_KHR_debug"))
  {
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageCallback(gl_debug_message, nullptr);
  }
  debug("OpenGL %s, %s", (const char *)glGetString(GL_VERSION), (const char *)glGetString(GL_RENDERER));

  if (isFullscreen)
    display_size(w, h);
  if (w <= 0 || h <= 0)
    SDL_GL_GetDrawableSize(wnd, &w, &h);
  if (w <= 0 || h <= 0)
    w = 1, h = 1;
  d3d_wd = w, d3d_ht = h;
  SDL_GL_SetSwapInterval(app_use_vsync ? 1 : 0);

  glCreateVertexArrays(1, &dev.vao);
  glBindVertexArray(dev.vao);
  glCreateFramebuffers(1, &dev.bbFbo);
  glCreateFramebuffers(1, &dev.rtFbo);
  glCreateBuffers(3, dev.ubo);
  glNamedBufferData(dev.ubo[0], sizeof(dev.vc), dev.vc, GL_DYNAMIC_DRAW);
  glNamedBufferData(dev.ubo[1], sizeof(dev.pc), dev.pc, GL_DYNAMIC_DRAW);
  glNamedBufferData(dev.ubo[2], 16, nullptr, GL_DYNAMIC_DRAW);
  for (int i = 0; i < 3; i++)
    glBindBufferBase(GL_UNIFORM_BUFFER, i, dev.ubo[i]);
  dev.vcLo = D3D_VS_CONSTS, dev.vcHi = 0, dev.pcLo = D3D_PS_CONSTS, dev.pcHi = 0;

  if (!create_screen_surfaces())
  {
    debug("FAILED to create scene z-buffer surface (code 0x%08X)", glGetError());
    close_d3d();
    return false;
  }
  create_frame_fences();

  glCreateSamplers(D3D_SAMPLER_STAGES, dev.samplers);
  for (int i = 0; i < D3D_SAMPLER_STAGES; i++)
  {
    set_sampler_defaults(i);
    glBindSampler(i, dev.samplers[i]);
  }
  set_initial_states();
  bind_backbuffer_target();

  load_shader_compiler();
  debug("init d3d ok (%dx%d)", d3d_wd, d3d_ht);
  return true;
}

void close_d3d()
{
  if (!dev.ctx)
  {
    dev = DeviceState();
    gl_device_ready = false;
    return;
  }
  debug("close d3d");
  release_frame_fences();
  close_textures();
  close_buffers();
  close_vdecls();
  close_shaders();
  release_screen_surfaces();
  if (dev.upVb)
    glDeleteBuffers(1, &dev.upVb);
  glDeleteSamplers(D3D_SAMPLER_STAGES, dev.samplers);
  glDeleteBuffers(3, dev.ubo);
  glDeleteFramebuffers(1, &dev.bbFbo);
  glDeleteFramebuffers(1, &dev.rtFbo);
  glDeleteVertexArrays(1, &dev.vao);
  SDL_GL_MakeCurrent(dev.wnd, nullptr);
  SDL_GL_DeleteContext(dev.ctx);
  dev = DeviceState();
  gl_device_ready = false;
}

bool resize_d3d(int w, int h, bool fullscreen, bool force)
{
  if (!gl_device_ready)
    return false;
  if (w == 0)
    w = d3d_wd;
  if (h == 0)
    h = d3d_ht;
  if (!force && w == d3d_wd && h == d3d_ht && fullscreen == isFullscreen)
    return true;
  const char *mode = fullscreen ? "fullscreen" : "windowed";
  debug("=== resizing d3d to %dx%d %s", w, h, mode);

  gldev_unbind_all_streams();
  gldev_set_index_buffer(0);
  release_default_buffers();
  gldev_unbind_all_textures();
  release_default_textures();
  release_frame_fences();
  bind_backbuffer_target();
  release_screen_surfaces();

  isFullscreen = fullscreen;
  if (fullscreen)
    display_size(w, h);
  if (w <= 0 || h <= 0)
  {
    debug("Reset failed (code 0x%08X)", unsigned(GL_INVALID_VALUE));
    dev.needsReset = true;
    return false;
  }
  SDL_GL_SetSwapInterval(app_use_vsync ? 1 : 0);
  d3d_wd = w, d3d_ht = h;

  recreate_default_textures();
  recreate_default_buffers();
  if (!create_screen_surfaces())
  {
    debug("failed to recreate scene RT");
    dev.needsReset = true;
    return false;
  }
  create_frame_fences();
  gldev_restore_sampler_defaults();
  bind_backbuffer_target();
  dev.needsReset = false;

  debug("resized d3d to %dx%d %s", w, h, mode);
  d3d_hooks.on_resize();
  return true;
}

bool check_d3d_device()
{
  if (!gl_device_ready)
    return false;
  check_reset_status();
  unsigned flags = SDL_GetWindowFlags(dev.wnd);
  if (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN))
  {
    dev.needsReset = true; // restoring recreates the screen resources, as after a loss
    return false;
  }
  if (dev.needsReset)
    return resize_d3d(d3d_wd, d3d_ht, isFullscreen, true);
  return true;
}

bool render_d3d_frame(float dt)
{
  if (!gl_device_ready)
    return false;
  GLsync &fence = dev.frameFence[dev.frameIndex];
  if (d3d_limit_buffered_frames && fence)
  {
    GLenum r = glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, 0);
    if (r == GL_TIMEOUT_EXPIRED)
      return false;
  }
  d3d_frame_counters = D3dFrameCounters();
  set_cull_mode(1);
  d3d_hooks.draw_frame(dt);
  if (fence)
    glDeleteSync(fence);
  fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  dev.frameIndex = (dev.frameIndex + 1) % NUM_FRAME_FENCES;
  return true;
}

void present_d3d()
{
  if (!gl_device_ready)
    return;
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(dev.wnd, &dw, &dh);
  if (dw <= 0 || dh <= 0)
    dw = d3d_wd, dh = d3d_ht;
  // Back buffer row 0 is the top of the image; the window's row 0 is the bottom.
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  glColorMaski(0, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlitNamedFramebuffer(dev.bbFbo, 0, 0, 0, d3d_wd, d3d_ht, 0, dh, dw, 0, GL_COLOR_BUFFER_BIT,
                         dw == d3d_wd && dh == d3d_ht ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(dev.wnd);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, dev.rtFbo);
  restore_color_mask();
}

void flush_gpu()
{
  if (!dev.haveFlushFence)
    fatal("%s(%d): failed ASSERT(%s)", "d3d_misc", __LINE__, "flush_query");
  glFinish();
}

void show_splash_frame()
{
  if (!gl_device_ready)
    return;
  set_backbuffer_target();
  set_cull_mode(1);
  d3d_hooks.draw_splash();
  present_d3d();
}

unsigned get_free_texmem()
{
  if (!gl_device_ready)
    fatal("%s(%d): failed ASSERT(%s)", "d3d_misc", __LINE__, "d3d");
  GLint kb[4] = {0, 0, 0, 0};
  if (epoxy_has_gl_extension("GL_NVX_gpu_memory_info"))
  {
    glGetIntegerv(0x9049, kb);
    return unsigned(std::min<int64_t>(int64_t(kb[0]) * 1024, 0xFFFFFFFFll));
  }
  if (epoxy_has_gl_extension("GL_ATI_meminfo"))
  {
    glGetIntegerv(0x87FC, kb);
    return unsigned(std::min<int64_t>(int64_t(kb[0]) * 1024, 0xFFFFFFFFll));
  }
  int64_t pages = sysconf(_SC_PHYS_PAGES), psize = sysconf(_SC_PAGESIZE);
  int64_t total = pages > 0 && psize > 0 ? pages * psize / 4 : 0;
  total = std::min<int64_t>(total, 4095ll << 20);
  int64_t left = total - get_allocated_texmem();
  return unsigned(left > 0 ? left : 0);
}

// ---- render states ----

void set_blend_none() { glDisable(GL_BLEND); }
void set_blend_additive()
{
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
}
void set_blend_smooth_add()
{
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
}
void set_blend_alpha()
{
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
void set_blend_prealpha()
{
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}
void set_blend_multiply()
{
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
}

void set_atest(int ref)
{
  int r = ref < 1 ? 0 : ref;
  if (r != dev.atestRef)
  {
    dev.atestRef = r;
    mark_state_dirty();
  }
}

void set_cull_mode(int on)
{
  if (on)
    glEnable(GL_CULL_FACE);
  else
    glDisable(GL_CULL_FACE);
}

void set_zenable(bool on)
{
  if (on)
    glEnable(GL_DEPTH_TEST);
  else
    glDisable(GL_DEPTH_TEST);
}

void set_zwrite(bool on)
{
  dev.zwrite = on;
  glDepthMask(on ? GL_TRUE : GL_FALSE);
}

void set_color_write_mask(int mask)
{
  dev.colorMask = mask & 15;
  glColorMaski(0, (mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
}

void set_wireframe(bool on) { glPolygonMode(GL_FRONT_AND_BACK, on ? GL_LINE : GL_FILL); }

// D3DCMP 1..8 and GL_NEVER..GL_ALWAYS list the comparisons in the same order.
static_assert(GL_LESS - GL_NEVER == D3DCMP_LESS - D3DCMP_NEVER && GL_EQUAL - GL_NEVER == D3DCMP_EQUAL - D3DCMP_NEVER &&
                GL_LEQUAL - GL_NEVER == D3DCMP_LESSEQUAL - D3DCMP_NEVER &&
                GL_GREATER - GL_NEVER == D3DCMP_GREATER - D3DCMP_NEVER &&
                GL_NOTEQUAL - GL_NEVER == D3DCMP_NOTEQUAL - D3DCMP_NEVER &&
                GL_GEQUAL - GL_NEVER == D3DCMP_GREATEREQUAL - D3DCMP_NEVER &&
                GL_ALWAYS - GL_NEVER == D3DCMP_ALWAYS - D3DCMP_NEVER,
              "comparison codes map in order");

void set_stencil_test(int mask, int ref, int func)
{
  if (mask == 0)
  {
    glDisable(GL_STENCIL_TEST);
    return;
  }
  if (func < D3DCMP_NEVER || func > D3DCMP_ALWAYS)
    func = D3DCMP_ALWAYS;
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_NEVER + (func - 1), ref, unsigned(mask));
}

void set_stencil_replace_bits(int bits)
{
  dev.stencilWriteBits = bits;
  glStencilMask(unsigned(bits));
  glStencilOp(GL_KEEP, GL_KEEP, bits ? GL_REPLACE : GL_KEEP);
}

// ---- samplers ----

void set_texture(int stage, Texture *tex)
{
  if (stage < 0 || stage >= D3D_TEXTURE_STAGES)
    return;
  glBindTextureUnit(stage, tex ? tex->tex : 0);
}

void set_tex_filter(int stage, bool linear)
{
  if (stage < 0 || stage >= D3D_SAMPLER_STAGES)
    return;
  unsigned s = dev.samplers[stage];
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, linear ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST);
}

static GLint gl_address(int code)
{
  return code == TEXADDR_WRAP ? GL_REPEAT : code == TEXADDR_BORDER ? GL_CLAMP_TO_BORDER : GL_CLAMP_TO_EDGE;
}

void set_tex_address(int stage, int u, int v, int w)
{
  if (stage < 0 || stage >= D3D_SAMPLER_STAGES)
    return;
  if (v < 0)
    v = u;
  if (w < 0)
    w = v;
  unsigned s = dev.samplers[stage];
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, gl_address(u));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, gl_address(v));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_R, gl_address(w));
}

void gldev_restore_sampler_defaults()
{
  for (int i = 0; i < D3D_SAMPLER_STAGES; i++)
    set_sampler_defaults(i);
}

void gldev_unbind_all_textures()
{
  for (int i = 0; i < D3D_TEXTURE_STAGES; i++)
    glBindTextureUnit(i, 0);
}

// ---- transforms and viewport ----

void set_view_tm(const Matrix44 &tm) { dev.viewTm = tm; }
void set_proj_tm(const Matrix44 &tm) { dev.projTm = tm; }

void set_proj_tm(float fov, float aspect, float znear, float zfar)
{
  float ys = 1.f / tanf(fov * 0.5f), xs = ys / aspect, q = zfar / (zfar - znear);
  Matrix44 m{};
  m.m[0][0] = xs;
  m.m[1][1] = ys;
  m.m[2][2] = q;
  m.m[2][3] = 1.f;
  m.m[3][2] = -znear * q;
  dev.projTm = m;
}

void get_view_tm(Matrix44 &out) { out = dev.viewTm; }
void get_proj_tm(Matrix44 &out) { out = dev.projTm; }
void get_glob_tm(Matrix44 &out) { out = dev.viewTm * dev.projTm; }

void set_viewport(int x, int y, int w, int h) { apply_viewport(x, y, w, h); }

// ---- clears ----

static void clear_target(bool color, bool depth, D3dColor c)
{
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  glDisable(GL_SCISSOR_TEST);
  GLbitfield bits = 0;
  if (color)
  {
    glClearColor(c.r() / 255.f, c.g() / 255.f, c.b() / 255.f, c.a() / 255.f);
    bits |= GL_COLOR_BUFFER_BIT;
  }
  if (depth)
  {
    glClearDepth(1.0);
    glClearStencil(0);
    bits |= GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;
  }
  glClear(bits);
  if (scissor)
    glEnable(GL_SCISSOR_TEST);
  restore_color_mask();
  glDepthMask(dev.zwrite ? GL_TRUE : GL_FALSE);
  glStencilMask(unsigned(dev.stencilWriteBits));
}

void clear_view(D3dColor c) { clear_target(true, true, c); }
void clear_view_color(D3dColor c) { clear_target(true, false, c); }
void clear_view_z() { clear_target(false, true, D3dColor(0u)); }

// ---- draws ----

void draw_prim(int prim_type, int start_vertex, int prim_count)
{
  unsigned mode = gl_prim_mode(prim_type);
  int n = prim_vertex_count(prim_type, prim_count);
  if (prim_type < D3DPT_POINTLIST || prim_type > D3DPT_TRIANGLEFAN || prim_count < 0 || start_vertex < 0)
    fatal("draw_prim failed (code 0x%08X)", unsigned(GL_INVALID_ENUM));
  prepare_draw();
  if (dev.instanceCount > 0)
    glDrawArraysInstanced(mode, start_vertex, n, dev.instanceCount);
  else
    glDrawArrays(mode, start_vertex, n);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR)
    fatal("draw_prim failed (code 0x%08X)", err);
  d3d_frame_counters.draw_calls++;
  d3d_frame_counters.primitives += prim_count;
}

void draw_indexed(int prim_type, int base_vertex, int min_index, int num_vertices, int start_index, int prim_count)
{
  (void)min_index;
  (void)num_vertices;
  unsigned mode = gl_prim_mode(prim_type);
  int n = prim_vertex_count(prim_type, prim_count);
  if (prim_type < D3DPT_POINTLIST || prim_type > D3DPT_TRIANGLEFAN || prim_count < 0 || start_index < 0)
    fatal("draw_indexed failed (code 0x%08X)", unsigned(GL_INVALID_ENUM));
  prepare_draw();
  const void *ofs = (const void *)(intptr_t(start_index) * 2);
  if (dev.instanceCount > 0)
    glDrawElementsInstancedBaseVertex(mode, n, GL_UNSIGNED_SHORT, ofs, dev.instanceCount, base_vertex);
  else
    glDrawElementsBaseVertex(mode, n, GL_UNSIGNED_SHORT, ofs, base_vertex);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR)
    fatal("draw_indexed failed (code 0x%08X)", err);
  d3d_frame_counters.draw_calls++;
  d3d_frame_counters.primitives += prim_count;
}

void set_instancing(int count)
{
  if (!gl_device_ready)
    return;
  dev.instanceCount = count > 0 ? count : 0;
  for (int s = 1; s < D3D_VERTEX_STREAMS; s++)
    glVertexArrayBindingDivisor(dev.vao, s, count > 0 ? 1 : 0);
}

void draw_postfx()
{
  static const float quad[12] = {-1, -1, 0, -1, 1, 0, 1, -1, 0, 1, 1, 0};
  VertexDecl *&xyz = dev.upDecl;
  if (!dev.upVb)
  {
    glCreateBuffers(1, &dev.upVb);
    glNamedBufferStorage(dev.upVb, sizeof(quad), quad, 0);
  }
  if (!xyz)
  {
    const VsdElement list[2] = {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0), vsd_end()};
    xyz = create_vdecl(list);
  }
  set_vdecl(xyz);
  gldev_set_stream(0, nullptr, dev.upVb, 0, 12);
  draw_prim(D3DPT_TRIANGLESTRIP, 0, 2);
  gldev_set_stream(0, nullptr, 0, 0, 0);
}

// ---- render targets ----

void set_render_target_texture(int index, Texture *tex, bool with_depth)
{
  if (index < 0 || index >= D3D_MAX_RT)
    return;
  if (index == 0 && !tex)
  {
    // Target 0 cannot be empty: fall back to the back buffer.
    set_backbuffer_target();
    return;
  }
  dev.rt[index] = tex;
  glNamedFramebufferTexture(dev.rtFbo, GL_COLOR_ATTACHMENT0 + index, tex ? tex->tex : 0, 0);
  if (index == 0)
  {
    dev.rtDepth = with_depth;
    glNamedFramebufferRenderbuffer(dev.rtFbo, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                   with_depth ? dev.depthRb : 0);
  }
  update_draw_buffers();
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, dev.rtFbo);
  if (index == 0)
  {
    int w, h;
    target_size(w, h);
    apply_viewport(0, 0, w, h);
  }
}

void set_backbuffer_target() { bind_backbuffer_target(); }

void copy_texture(Texture *from, Texture *to)
{
  if (!from)
    fatal("%s(%d): failed ASSERT(%s)", "d3d_render", __LINE__, "fromTex");
  if (!to)
    fatal("%s(%d): failed ASSERT(%s)", "d3d_render", __LINE__, "toTex");
  if (!from->tex || !to->tex)
    return;
  unsigned fbo[2];
  glCreateFramebuffers(2, fbo);
  glNamedFramebufferTexture(fbo[0], GL_COLOR_ATTACHMENT0, from->tex, 0);
  glNamedFramebufferTexture(fbo[1], GL_COLOR_ATTACHMENT0, to->tex, 0);
  glNamedFramebufferReadBuffer(fbo[0], GL_COLOR_ATTACHMENT0);
  glNamedFramebufferDrawBuffer(fbo[1], GL_COLOR_ATTACHMENT0);
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  glDisable(GL_SCISSOR_TEST);
  glColorMaski(0, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlitNamedFramebuffer(fbo[0], fbo[1], 0, 0, from->texW, from->texH, 0, 0, to->texW, to->texH, GL_COLOR_BUFFER_BIT,
                         GL_NEAREST);
  restore_color_mask();
  if (scissor)
    glEnable(GL_SCISSOR_TEST);
  glDeleteFramebuffers(2, fbo);
  GL_CHECK("copy_texture");
}

// ---- read-back ----

bool read_backbuffer(int x, int y, int w, int h, void *dst, int pitch)
{
  if (!gl_device_ready || !dst || w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > d3d_wd || y + h > d3d_ht ||
      pitch < w * 4)
    return false;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, pitch / 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, dev.bbFbo);
  glNamedFramebufferReadBuffer(dev.bbFbo, GL_COLOR_ATTACHMENT0);
  if (pitch % 4 == 0)
    glReadPixels(x, y, w, h, GL_BGRA, GL_UNSIGNED_BYTE, dst);
  else
  {
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    for (int r = 0; r < h; r++)
      glReadPixels(x, y + r, w, 1, GL_BGRA, GL_UNSIGNED_BYTE, (uint8_t *)dst + size_t(r) * pitch);
  }
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  return glGetError() == GL_NO_ERROR;
}

// ---- blending probe for render-target formats ----

// Clears a 1 x 1 target to 0.25, adds 0.5 with additive blending and reads 0.75 back when
// the format blends. The GL state the probe touches is put back afterwards.
bool gldev_probe_additive_blend(unsigned tex)
{
  static const char *const vs = "#version 330 core\nvoid main() { vec2 p = vec2(gl_VertexID & 1, gl_VertexID >> 1) * "
                                "4.0 - 1.0; gl_Position = vec4(p, 0.0, 1.0); }\n";
  static const char *const fs = "#version 330 core\nlayout(location = 0) out vec4 c;\nvoid main() { c = vec4(0.5); }\n";
  unsigned prog = glCreateShaderProgramv(GL_VERTEX_SHADER, 1, &vs);
  unsigned fprog = glCreateShaderProgramv(GL_FRAGMENT_SHADER, 1, &fs);
  unsigned pipe = 0, vao = 0, fbo = 0;
  glCreateProgramPipelines(1, &pipe);
  glUseProgramStages(pipe, GL_VERTEX_SHADER_BIT, prog);
  glUseProgramStages(pipe, GL_FRAGMENT_SHADER_BIT, fprog);
  glCreateVertexArrays(1, &vao);
  glCreateFramebuffers(1, &fbo);
  glNamedFramebufferTexture(fbo, GL_COLOR_ATTACHMENT0, tex, 0);
  bool ok = glCheckNamedFramebufferStatus(fbo, GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  float px[4] = {0, 0, 0, 0};
  if (ok)
  {
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &src);
    glGetIntegerv(GL_BLEND_DST_RGB, &dst);
    const GLenum caps[5] = {GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_STENCIL_TEST, GL_SCISSOR_TEST};
    GLboolean was[5];
    for (int i = 0; i < 5; i++)
      was[i] = glIsEnabled(caps[i]);
    GLint poly[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, poly);

    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
    glViewport(0, 0, 1, 1);
    for (int i = 1; i < 5; i++)
      glDisable(caps[i]);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMaski(0, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const float quarter[4] = {0.25f, 0.25f, 0.25f, 0.25f};
    glClearNamedFramebufferfv(fbo, GL_COLOR, 0, quarter);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glUseProgram(0);
    glBindProgramPipeline(pipe);
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(dev.vao);
    glBindProgramPipeline(0);
    dev.usedProg = 0; // the next draw binds its program again
    glGetTextureSubImage(tex, 0, 0, 0, 0, 1, 1, 1, GL_RED, GL_FLOAT, sizeof(px), px);

    glBlendFunc(GLenum(src), GLenum(dst));
    for (int i = 0; i < 5; i++)
      was[i] ? glEnable(caps[i]) : glDisable(caps[i]);
    glPolygonMode(GL_FRONT_AND_BACK, GLenum(poly[0]));
    restore_color_mask();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, dev.rtFbo);
    glViewport(dev.vpX, dev.vpY, dev.vpW, dev.vpH);
    ok = glGetError() == GL_NO_ERROR && fabsf(px[0] - 0.75f) < 0.02f;
  }
  glDeleteFramebuffers(1, &fbo);
  glDeleteVertexArrays(1, &vao);
  glDeleteProgramPipelines(1, &pipe);
  glDeleteProgram(prog);
  glDeleteProgram(fprog);
  return ok;
}

// ---- binding state used by shaders.cpp and buffers.cpp ----

// The program itself is bound at draw time, when the alpha test state is known.
void gldev_bind_program(Shader *s) { dev.shader = s; }

void gldev_program_relinked(Shader *)
{
  dev.usedProg = ~0u;        // rebind at the next draw
  dev.boundShader = nullptr; // force the vertex formats to be rebuilt
}

void gldev_program_released(Shader *s)
{
  if (dev.shader == s)
  {
    dev.shader = nullptr;
    glUseProgram(0);
    dev.usedProg = 0;
  }
  if (dev.usedProg && (dev.usedProg == s->prog || dev.usedProg == s->progTest))
    dev.usedProg = ~0u;
  if (dev.boundShader == s)
    dev.boundShader = nullptr;
}

void gldev_set_vdecl(VertexDecl *d) { dev.decl = d; }

void gldev_set_stream(int stream, VertexBuffer *vb, unsigned raw_buffer, int offset, int stride)
{
  if (stream < 0 || stream >= D3D_VERTEX_STREAMS)
    return;
  DeviceState::Stream &s = dev.streams[stream];
  s.vb = vb;
  s.raw = vb ? 0 : raw_buffer;
  s.offset = offset;
  s.stride = stride;
}

void gldev_set_index_buffer(unsigned buffer)
{
  if (dev.vao)
    glVertexArrayElementBuffer(dev.vao, buffer);
}

void gldev_unbind_all_streams()
{
  for (int i = 0; i < D3D_VERTEX_STREAMS; i++)
    gldev_set_stream(i, nullptr, 0, 0, 0);
}

void gldev_setup_program_bindings(unsigned prog)
{
  static const char *const blocks[3] = {"VSConst", "PSConst", "D3dState"};
  for (int i = 0; i < 3; i++)
  {
    GLuint idx = glGetUniformBlockIndex(prog, blocks[i]);
    if (idx != GL_INVALID_INDEX)
      glUniformBlockBinding(prog, idx, i);
  }
  for (int i = 0; i < D3D_SAMPLER_STAGES; i++)
  {
    char name[8];
    snprintf(name, sizeof(name), "s%d", i);
    GLint loc = glGetUniformLocation(prog, name);
    if (loc >= 0)
      glProgramUniform1i(prog, loc, i);
  }
}

void set_vs_consts(int first, const float *data, int count)
{
  if (!data || count <= 0 || first < 0 || first >= D3D_VS_CONSTS)
    return;
  if (first + count > D3D_VS_CONSTS)
    count = D3D_VS_CONSTS - first;
  memcpy(dev.vc[first], data, size_t(count) * 16);
  dev.vcLo = std::min(dev.vcLo, first);
  dev.vcHi = std::max(dev.vcHi, first + count);
}

void set_ps_consts(int first, const float *data, int count)
{
  if (!data || count <= 0 || first < 0 || first >= D3D_PS_CONSTS)
    return;
  if (first + count > D3D_PS_CONSTS)
    count = D3D_PS_CONSTS - first;
  memcpy(dev.pc[first], data, size_t(count) * 16);
  dev.pcLo = std::min(dev.pcLo, first);
  dev.pcHi = std::max(dev.pcHi, first + count);
}
