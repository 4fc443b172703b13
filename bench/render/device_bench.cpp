// Device-layer costs at 1280 x 720: an empty frame, quads streamed through the shared
// writer, many small draws with state changes between them, constant uploads, shader
// creation from the cache against a full compile, and texture uploads.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include "core/gfx_settings.h"
#include "core/paths.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/shaders.h"
#include "render/textures.h"

namespace
{
const char *const solid_sh = R"(VARYING vec4 v_color;
#if VSH
in vec4 POSITION0;
in vec4 COLOR0;
void vsh() { gl_Position = vec4(POSITION0.xy * vc[16].xy + vc[16].zw, 0.0, 1.0); v_color = COLOR0; }
#endif
#if PSH
void psh() { COLOR0 = v_color; }
#endif
)";

struct Vtx
{
  float x, y;
  uint32_t c;
};

Shader *solid = nullptr;
VDecl decl = nullptr;

bool open_device()
{
  static int state = 0;
  if (state)
    return state > 0;
  state = -1;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  // Shaders and their cache live in a scratch program directory.
  char tmpl[] = "/tmp/zarnith_bench_XXXXXX";
  if (!mkdtemp(tmpl))
    return false;
  snprintf(app_path, sizeof(app_path), "%s/", tmpl);
  mkdir((std::string(app_path) + "cache").c_str(), 0755);
  if (FILE *f = fopen((std::string(app_path) + "solid.sh").c_str(), "wb"))
  {
    fputs(solid_sh, f);
    fclose(f);
  }
  if (SDL_Init(SDL_INIT_VIDEO) != 0)
    return false;
  app_use_vsync = false;
  SDL_Window *w = SDL_CreateWindow("zarnith bench", 0, 0, 1280, 720, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w || !init_d3d(w, 1280, 720))
    return false;
  common_vb_writer.init(65536);
  solid = create_shader("solid.sh", nullptr);
  const VsdElement l[3] = {vsd_element(0, 0, VSDT_FLOAT2, VSDU_POSITION, 0),
                           vsd_element(8, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0), vsd_end()};
  decl = create_vdecl(l);
  state = 1;
  return true;
}

void begin_2d()
{
  set_backbuffer_target();
  clear_view(0xFF203040);
  set_zenable(false);
  set_cull_mode(0);
  set_shader(solid);
  set_vdecl(decl);
  set_vb(0, common_vb_writer.vb, 0, sizeof(Vtx));
  const float reg[4] = {2.f / d3d_wd, -2.f / d3d_ht, -1.f, 1.f};
  set_vs_consts(16, reg, 1);
}

void write_quad(float x, float y, float s, uint32_t c)
{
  DynVBWriter &w = common_vb_writer;
  if (w.roomLeft() < int(6 * sizeof(Vtx)))
    w.flush(false);
  Vtx *v = (Vtx *)w.cur;
  Vtx q[6] = {{x, y, c}, {x + s, y, c}, {x + s, y + s, c}, {x, y, c}, {x + s, y + s, c}, {x, y + s, c}};
  memcpy(v, q, sizeof(q));
  w.cur += sizeof(q);
  w.count += 2;
}

void frame_loop(benchmark::State &st, void (*body)(int), int arg)
{
  if (!open_device())
  {
    st.SkipWithError("no device");
    return;
  }
  for (auto _ : st)
  {
    while (!render_d3d_frame(0.0f))
      ;
    body(arg);
    present_d3d();
    flush_gpu();
  }
}

void BM_EmptyFrame(benchmark::State &st)
{
  d3d_hooks.draw_frame = [](float) {
    set_backbuffer_target();
    clear_view(0xFF203040);
  };
  frame_loop(
    st, [](int) {}, 0);
  d3d_hooks.draw_frame = DeviceHooks().draw_frame;
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond);

// n small quads through the writer: one draw per 64 KB.
void BM_WriterQuads(benchmark::State &st)
{
  frame_loop(
    st,
    [](int n) {
      begin_2d();
      common_vb_writer.start(dynvb_draw_triangles, D3DPT_TRIANGLELIST);
      for (int i = 0; i < n; i++)
        write_quad(float((i * 37) % 1270), float((i * 53) % 710), 8.f, 0xFF000000u | uint32_t(i * 2654435761u));
      common_vb_writer.flush(true);
    },
    int(st.range(0)));
  st.SetItemsProcessed(st.iterations() * st.range(0));
}
BENCHMARK(BM_WriterQuads)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

// n separate draws with a blend change and a constant upload between them.
void BM_SmallDraws(benchmark::State &st)
{
  frame_loop(
    st,
    [](int n) {
      begin_2d();
      for (int i = 0; i < n; i++)
      {
        if (i & 1)
          set_blend_alpha();
        else
          set_blend_none();
        float reg[4] = {2.f / d3d_wd, -2.f / d3d_ht, -1.f + (i & 7) * 0.001f, 1.f};
        set_vs_consts(16, reg, 1);
        common_vb_writer.start(dynvb_draw_triangles, D3DPT_TRIANGLELIST);
        write_quad(float((i * 37) % 1270), float((i * 53) % 710), 8.f, 0xFF808080u);
        common_vb_writer.flush(true);
      }
      set_blend_none();
    },
    int(st.range(0)));
  st.SetItemsProcessed(st.iterations() * st.range(0));
}
BENCHMARK(BM_SmallDraws)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_ShaderFromCache(benchmark::State &st)
{
  if (!open_device())
    return st.SkipWithError("no device");
  for (auto _ : st)
  {
    Shader *s = create_shader("solid.sh", "BENCH\0 1\0");
    destroy_shader(s);
  }
}
BENCHMARK(BM_ShaderFromCache)->Unit(benchmark::kMillisecond);

void BM_ShaderCompile(benchmark::State &st)
{
  if (!open_device())
    return st.SkipWithError("no device");
  std::string cache = std::string(app_path) + "cache/solid.sh@BENCH@_2.cache";
  for (auto _ : st)
  {
    unlink(cache.c_str());
    Shader *s = create_shader("solid.sh", "BENCH\0 2\0");
    destroy_shader(s);
  }
}
BENCHMARK(BM_ShaderCompile)->Unit(benchmark::kMillisecond);

// A 256 x 256 A8R8G8B8 texture written through a lock and uploaded.
void BM_TextureUpload(benchmark::State &st)
{
  if (!open_device())
    return st.SkipWithError("no device");
  Texture *t = create_managed_texture(256, 256);
  for (auto _ : st)
  {
    int pitch = 0;
    uint8_t *p = (uint8_t *)lock_texture(t, &pitch, true);
    memset(p, 0x7F, size_t(pitch) * 256);
    unlock_texture(t);
    flush_gpu();
  }
  release_texture(t);
  st.SetBytesProcessed(st.iterations() * 256 * 256 * 4);
}
BENCHMARK(BM_TextureUpload)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
