// Shader cache files as the shader loader reads them: an accepted image has its names
// terminated inside the name block and both stage texts inside the image; writing the
// view back gives the same image (what the loader would find after its own rewrite).
#include <cstdint>
#include <cstring>
#include "render/shader_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  ShaderCacheView v;
  if (!parse_shader_cache(data, size, v))
    return 0;
  const char *begin = (const char *)data, *end = begin + size;
  DynArray<ShaderDep> deps;
  for (const char *n : v.names)
  {
    if (n < begin || n >= end || !memchr(n, 0, size_t(end - n)) || strlen(n) >= sizeof(ShaderDep::path))
      __builtin_trap();
    ShaderDep d;
    memcpy(d.path, n, strlen(n) + 1);
    d.mtime = 0;
    deps.push(d);
  }
  if (v.vs < begin || v.vs + v.vlen > end || v.ps < begin || v.ps + v.plen > end)
    __builtin_trap();
  DynArray<uint8_t> again;
  build_shader_cache(deps, v.vs, v.vlen, v.ps, v.plen, again);
  ShaderCacheView w;
  if (!parse_shader_cache(again.ptr, size_t(again.num), w) || w.names.num != v.names.num || w.vlen != v.vlen ||
      w.plen != v.plen || memcmp(w.vs, v.vs, v.vlen) != 0 || memcmp(w.ps, v.ps, v.plen) != 0)
    __builtin_trap(); // what the writer writes, the reader must read back
  for (int i = 0; i < v.names.num; i++)
    if (strcmp(v.names[i], w.names[i]) != 0)
      __builtin_trap();
  return 0;
}
