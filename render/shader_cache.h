#pragma once
// The compiled-shader cache file: name and binary format. No GL here.
//   u32 magic 0x20100715, u32 N, u32 V, u32 P (little-endian),
//   N bytes of dependency names (each NUL-terminated, then one more NUL),
//   V bytes of vertex stage code, P bytes of pixel stage code.
// The "code" of a stage is its complete preprocessed GLSL text.
#include <cstddef>
#include <cstdint>
#include "core/dyn_array.h"
#include "render/shaders.h"

constexpr uint32_t SHADER_CACHE_MAGIC = 0x20100715;

// The whole file image for the given dependencies and stage code.
void build_shader_cache(const DynArray<ShaderDep> &deps, const char *vs, uint32_t vlen, const char *ps, uint32_t plen,
                        DynArray<uint8_t> &out);

struct ShaderCacheView
{
  DynArray<const char *> names; // point into the image
  const char *vs, *ps;
  uint32_t vlen, plen;
};
// False for a foreign, truncated or malformed image (a name of 260 characters or more
// included). Views point into data.
bool parse_shader_cache(const uint8_t *data, size_t size, ShaderCacheView &out);
