// libFuzzer entry for the device layer's file parsers: the first byte picks the parser,
// the rest is the file. Build with clang (-DZARNITH_FUZZ=ON) and run
// build/tests/render/fuzz/render_parser_fuzz -max_total_time=60.
#include <cstddef>
#include <cstdint>
#include "render/dds.h"
#include "render/mesh.h"
#include "render/shader_cache.h"
#include "render/tga.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 1)
    return 0;
  const uint8_t *p = data + 1;
  size_t n = size - 1;
  switch (data[0] % 4)
  {
  case 0:
  {
    DdsInfo info;
    if (parse_dds(p, n, info))
    {
      // Every level the loader would copy lies inside the file.
      size_t at = info.dataOffset;
      int w = info.width, h = info.height;
      for (int i = 0; i < info.mips; i++)
      {
        at += dds_level_size(info.format, w, h);
        w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
      }
      if (at > n)
        __builtin_trap();
    }
    break;
  }
  case 1:
  {
    int w, h;
    DynArray<uint32_t> px;
    const char *err;
    parse_tga(p, n, w, h, px, &err);
    break;
  }
  case 2:
  {
    MeshFileData m;
    const char *err;
    int ofs;
    if (parse_mesh_file(p, n, m, &err, &ofs))
    {
      volatile uint8_t sink = m.vertexData[m.stride * m.numVerts - 1] ^ m.indexData[m.numTris * 6 - 1];
      (void)sink;
    }
    break;
  }
  case 3:
  {
    ShaderCacheView v;
    if (parse_shader_cache(p, n, v) && v.vlen + v.plen)
    {
      volatile char sink = v.vlen ? v.vs[v.vlen - 1] : v.ps[v.plen - 1];
      (void)sink;
    }
    break;
  }
  }
  return 0;
}
