// Shader cache names and the cache file format.
#include "render/shader_cache.h"
#include <cstring>
#include "core/temp_string.h"

void shader_cache_name(const char *file, const char *defines, char *out, int out_size)
{
  if (out_size <= 0)
    return;
  TempString<1024> s;
  s.set("cache/");
  s.append(file);
  if (defines)
    for (const char *d = defines; *d; d += strlen(d) + 1)
    {
      char part[SHADER_DEFINES_LEN + 2];
      int n = 0;
      part[n++] = '@';
      for (const char *c = d; *c && n < int(sizeof(part)) - 1; c++)
        part[n++] = ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9')) ? *c : '_';
      part[n] = 0;
      s.append(part);
    }
  s.append(".cache");
  snprintf(out, size_t(out_size), "%s", s.c_str());
}

namespace
{
void put32(DynArray<uint8_t> &o, uint32_t v)
{
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  o.append(b, 4);
}
uint32_t get32(const uint8_t *p)
{
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
} // namespace

void build_shader_cache(const DynArray<ShaderDep> &deps, const char *vs, uint32_t vlen, const char *ps, uint32_t plen,
                        DynArray<uint8_t> &out)
{
  out.clear();
  uint32_t n = 1;
  for (const ShaderDep &d : deps)
    n += uint32_t(strlen(d.path)) + 1;
  put32(out, SHADER_CACHE_MAGIC);
  put32(out, n);
  put32(out, vlen);
  put32(out, plen);
  for (const ShaderDep &d : deps)
    out.append((const uint8_t *)d.path, int(strlen(d.path)) + 1);
  uint8_t zero = 0;
  out.append(&zero, 1);
  out.append((const uint8_t *)vs, int(vlen));
  out.append((const uint8_t *)ps, int(plen));
}

bool parse_shader_cache(const uint8_t *data, size_t size, ShaderCacheView &out)
{
  out.names.clear();
  out.vs = out.ps = nullptr;
  out.vlen = out.plen = 0;
  if (!data || size < 16 || get32(data) != SHADER_CACHE_MAGIC)
    return false;
  uint64_t n = get32(data + 4), v = get32(data + 8), p = get32(data + 12);
  if (16 + n + v + p > size)
    return false;
  const char *block = (const char *)data + 16;
  size_t at = 0;
  while (at < n)
  {
    const char *s = block + at;
    size_t l = strnlen(s, size_t(n - at));
    if (l == 0)
      break;
    if (l >= 260 || at + l >= n) // too long, or not terminated inside the block
      return false;
    out.names.push(s);
    at += l + 1;
  }
  out.vs = (const char *)data + 16 + n;
  out.ps = out.vs + v;
  out.vlen = uint32_t(v);
  out.plen = uint32_t(p);
  return true;
}
