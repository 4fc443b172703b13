// The texture table, render-target kinds, lock staging, the file-texture cache and the
// DDS loader.
#include "render/textures.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include "core/log.h"
#include "core/paths.h"
#include "render/dds.h"
#include "render/gl_device_internal.h"

bool d3d_force_soft_dxt = false;

namespace
{
Texture tex_table[MAX_TEXTURES];
static_assert(sizeof(tex_table) / sizeof(tex_table[0]) == MAX_TEXTURES, "texture table size");

struct TexCacheEntry
{
  Texture *tex;
  int refcount;
  char path[260];
};
DynArray<TexCacheEntry> tex_cache;

int64_t allocated_bytes = 0;

const int rt_kind_formats[9] = {D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8, D3DFMT_G16R16,
                                D3DFMT_R16F,    D3DFMT_G16R16F,  D3DFMT_A16B16G16R16F,
                                D3DFMT_R32F,    D3DFMT_G32R32F,  D3DFMT_A32B32G32R32F};
static_assert(sizeof(rt_kind_formats) / sizeof(rt_kind_formats[0]) == 9, "kinds 1..8");
signed char blendable_cache[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};

bool soft_dxt() { return d3d_force_soft_dxt || !epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc"); }

int full_chain(int w, int h)
{
  int n = 1;
  while (w > 1 || h > 1)
    w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1, n++;
  return n;
}

int64_t texture_bytes(const Texture &t)
{
  int64_t sum = 0;
  int w = t.texW, h = t.texH;
  GlTexFormat f;
  gl_tex_format(t.format, f);
  for (int i = 0; i < t.levels; i++)
  {
    sum += f.blockBytes ? int64_t(dds_level_size(t.format, w, h)) : int64_t(w) * h * f.bytesPerPixel;
    w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
  }
  return sum;
}

bool create_gl_texture(Texture &t)
{
  GlTexFormat f;
  if (!gl_tex_format(t.format, f))
    return false;
  t.texW = t.width > 0 ? t.width : d3d_wd;
  t.texH = t.height > 0 ? t.height : d3d_ht;
  if (t.texW <= 0 || t.texH <= 0)
    return false;
  if (t.levels > full_chain(t.texW, t.texH))
    return false;
  glGetError();
  glCreateTextures(GL_TEXTURE_2D, 1, &t.tex);
  glTextureStorage2D(t.tex, t.levels, f.internal, t.texW, t.texH);
  glTextureParameteri(t.tex, GL_TEXTURE_BASE_LEVEL, 0);
  glTextureParameteri(t.tex, GL_TEXTURE_MAX_LEVEL, t.levels - 1);
  glTextureParameteriv(t.tex, GL_TEXTURE_SWIZZLE_RGBA, f.swizzle);
  if (glGetError() != GL_NO_ERROR)
  {
    glDeleteTextures(1, &t.tex);
    t.tex = 0;
    return false;
  }
  allocated_bytes += texture_bytes(t);
  return true;
}

void release_gl_texture(Texture &t)
{
  if (!t.tex)
    return;
  allocated_bytes -= texture_bytes(t);
  if (gl_device_ready)
    glDeleteTextures(1, &t.tex);
  t.tex = 0;
  // The staging copy is sized for this texture; a re-creation may change the size.
  free(t.staging);
  t.staging = nullptr;
  t.lockLevel = -1;
}

// Level size of the live texture.
void level_dims(const Texture &t, int level, int &w, int &h)
{
  w = t.texW, h = t.texH;
  for (int i = 0; i < level; i++)
    w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
}
} // namespace

bool gl_tex_format(int format, GlTexFormat &f)
{
  const int R = GL_RED, G = GL_GREEN, B = GL_BLUE, A = GL_ALPHA, ONE = GL_ONE;
  auto set = [&](unsigned internal, unsigned fmt, unsigned type, int bpp, int s0, int s1, int s2, int s3) {
    f.internal = internal, f.format = fmt, f.type = type, f.bytesPerPixel = bpp, f.blockBytes = 0;
    f.swizzle[0] = s0, f.swizzle[1] = s1, f.swizzle[2] = s2, f.swizzle[3] = s3;
    return true;
  };
  switch (format)
  {
  case D3DFMT_A8R8G8B8: return set(GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, R, G, B, A);
  case D3DFMT_X8R8G8B8: return set(GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, R, G, B, ONE);
  case D3DFMT_G16R16: return set(GL_RG16, GL_RG, GL_UNSIGNED_SHORT, 4, R, G, ONE, ONE);
  case D3DFMT_L8: return set(GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, R, R, R, ONE);
  case D3DFMT_R16F: return set(GL_R16F, GL_RED, GL_HALF_FLOAT, 2, R, ONE, ONE, ONE);
  case D3DFMT_G16R16F: return set(GL_RG16F, GL_RG, GL_HALF_FLOAT, 4, R, G, ONE, ONE);
  case D3DFMT_A16B16G16R16F: return set(GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8, R, G, B, A);
  case D3DFMT_R32F: return set(GL_R32F, GL_RED, GL_FLOAT, 4, R, ONE, ONE, ONE);
  case D3DFMT_G32R32F: return set(GL_RG32F, GL_RG, GL_FLOAT, 8, R, G, ONE, ONE);
  case D3DFMT_A32B32G32R32F: return set(GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, R, G, B, A);
  case D3DFMT_DXT1:
  case D3DFMT_DXT3:
  case D3DFMT_DXT5:
    if (soft_dxt())
      set(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, R, G, B, A);
    else
    {
      set(format == D3DFMT_DXT1   ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
          : format == D3DFMT_DXT3 ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                  : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
          0, 0, 0, R, G, B, A);
    }
    f.blockBytes = dxt_block_bytes(format);
    return true;
  }
  f = GlTexFormat{};
  return false;
}

int rt_kind_format(int kind) { return kind >= 1 && kind <= 8 ? rt_kind_formats[kind] : D3DFMT_UNKNOWN; }

Texture *create_texture(int w, int h, int levels, int usage, int format, int pool)
{
  for (int i = 0; i < MAX_TEXTURES; i++)
    if (!tex_table[i].inUse)
    {
      Texture &t = tex_table[i];
      memset(&t, 0, sizeof(t));
      t.width = w, t.height = h, t.usage = usage, t.format = format, t.pool = pool;
      int rw = w > 0 ? w : d3d_wd, rh = h > 0 ? h : d3d_ht;
      t.levels = levels > 0 ? levels : full_chain(rw > 0 ? rw : 1, rh > 0 ? rh : 1);
      t.lockLevel = -1;
      if (!gl_device_ready || !create_gl_texture(t))
      {
        debug("error creating texture (code 0x%08X)", unsigned(GL_INVALID_VALUE));
        memset(&t, 0, sizeof(t));
        return nullptr;
      }
      t.inUse = true;
      return &t;
    }
  debug("reached MAX_TEXTURES");
  return nullptr;
}

Texture *create_rt_texture(int w, int h, int kind)
{
  return create_texture(w, h, 1, D3DUSAGE_RENDERTARGET, rt_kind_format(kind), D3DPOOL_DEFAULT);
}

Texture *create_screen_rt() { return create_rt_texture(0, 0, 1); }

Texture *create_managed_texture(int w, int h) { return create_texture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED); }

bool is_rt_kind_blendable(int kind)
{
  if (kind < 1 || kind > 8 || !gl_device_ready)
    return false;
  if (blendable_cache[kind] < 0)
  {
    Texture *t = create_rt_texture(1, 1, kind);
    blendable_cache[kind] = t && t->tex && gldev_probe_additive_blend(t->tex);
    release_texture(t);
  }
  return blendable_cache[kind] > 0;
}

void release_texture(Texture *t)
{
  if (!t)
    return;
  release_gl_texture(*t);
  free(t->staging);
  memset(t, 0, sizeof(*t));
}

void *lock_texture_level(Texture *t, int level, int *pitch)
{
  if (!t || !t->inUse || !t->tex || level < 0 || level >= t->levels || t->lockLevel >= 0)
  {
    if (t && t->inUse && !t->tex)
      debug("error locking texture (code 0x%08X)", unsigned(GL_INVALID_OPERATION));
    return nullptr;
  }
  GlTexFormat f;
  gl_tex_format(t->format, f);
  int w, h;
  level_dims(*t, level, w, h);
  size_t bytes;
  int p;
  if (f.blockBytes)
  {
    p = ((w + 3) / 4) * f.blockBytes;
    bytes = dds_level_size(t->format, w, h);
  }
  else
  {
    p = w * f.bytesPerPixel;
    bytes = size_t(p) * h;
  }
  // One staging buffer for level 0 size, reused for every level.
  size_t cap = f.blockBytes ? dds_level_size(t->format, t->texW, t->texH) : size_t(t->texW) * t->texH * f.bytesPerPixel;
  if (!t->staging)
  {
    t->staging = (uint8_t *)calloc(1, cap);
    if (!t->staging)
    {
      debug("error locking texture (code 0x%08X)", unsigned(GL_OUT_OF_MEMORY));
      return nullptr;
    }
  }
  (void)bytes;
  t->lockLevel = level;
  t->lockPitch = p;
  if (pitch)
    *pitch = p;
  return t->staging;
}

void *lock_texture(Texture *t, int *pitch, bool discard)
{
  (void)discard;
  return lock_texture_level(t, 0, pitch);
}

void unlock_texture(Texture *t)
{
  if (!t || t->lockLevel < 0)
    return;
  int level = t->lockLevel;
  t->lockLevel = -1;
  if (!t->tex)
    return;
  GlTexFormat f;
  gl_tex_format(t->format, f);
  int w, h;
  level_dims(*t, level, w, h);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  if (f.blockBytes && f.internal != GL_RGBA8)
    glCompressedTextureSubImage2D(t->tex, level, 0, 0, w, h, f.internal, GLsizei(dds_level_size(t->format, w, h)),
                                  t->staging);
  else if (f.blockBytes)
  {
    uint8_t *rgba = (uint8_t *)malloc(size_t(w) * h * 4);
    if (!rgba)
      return;
    decode_dxt(t->format, t->staging, w, h, rgba);
    glTextureSubImage2D(t->tex, level, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    free(rgba);
  }
  else
    glTextureSubImage2D(t->tex, level, 0, 0, w, h, f.format, f.type, t->staging);
  GL_CHECK("unlock_texture");
}

// The DDS loader. Failures are fatal when must_load is set; otherwise they are logged
// with the same texts and give null, so an optional texture cannot end the program.
static Texture *load_dds(const char *name, bool must_load)
{
  TempString<260> path = make_full_path(name);
  FILE *fp = fopen(path, "rb");
  uint8_t *data = nullptr;
  long size = -1;
  if (fp && fseek(fp, 0, SEEK_END) == 0 && (size = ftell(fp)) >= 0 && fseek(fp, 0, SEEK_SET) == 0)
  {
    data = (uint8_t *)malloc(size_t(size) + 1);
    if (data && fread(data, 1, size_t(size), fp) != size_t(size))
      free(data), data = nullptr;
  }
  if (fp)
    fclose(fp);
#define DDS_FAIL(...)     \
  do                      \
  {                       \
    if (must_load)        \
      fatal(__VA_ARGS__); \
    debug(__VA_ARGS__);   \
    return nullptr;       \
  } while (0)
  if (!data)
    DDS_FAIL("Error loading file '%s'", path.c_str());

  DdsInfo info;
  if (!parse_dds(data, size_t(size), info))
  {
    free(data);
    DDS_FAIL("Texture '%s' is not a DDS", path.c_str());
  }
  Texture *t = create_texture(info.width, info.height, info.mips, 0, info.format, D3DPOOL_MANAGED);
  if (!t)
  {
    free(data);
    DDS_FAIL("Error creating texture from '%s'", path.c_str());
  }
  const uint8_t *src = data + info.dataOffset;
  int w = info.width, h = info.height;
  for (int i = 0; i < info.mips; i++)
  {
    int pitch = 0;
    uint8_t *dst = (uint8_t *)lock_texture_level(t, i, &pitch);
    if (!dst)
    {
      free(data);
      release_texture(t);
      DDS_FAIL("error loading texture '%s' (code 0x%08X)", path.c_str(), unsigned(GL_INVALID_OPERATION));
    }
    size_t lsize = dds_level_size(info.format, w, h);
    if (dxt_block_bytes(info.format))
      memcpy(dst, src, lsize);
    else
    {
      int row = w * (info.format == D3DFMT_L8 ? 1 : 4);
      for (int y = 0; y < h; y++)
        memcpy(dst + size_t(y) * pitch, src + size_t(y) * row, size_t(row));
    }
    src += lsize;
    w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
    unlock_texture(t);
  }
  debug("loaded DDS texture '%s'", path.c_str());
  free(data);
  return t;
#undef DDS_FAIL
}

Texture *load_dds_texture(const char *name) { return load_dds(name, true); }

Texture *get_texture(const char *name, bool fatal_on_fail)
{
  TempString<260> path = make_full_path(name);
  for (int i = 0; i < tex_cache.size(); i++)
    if (strcasecmp(tex_cache[i].path, path) == 0)
    {
      tex_cache[i].refcount++;
      return tex_cache[i].tex;
    }
  Texture *t = load_dds(path, fatal_on_fail);
  if (!t)
  {
    if (fatal_on_fail)
      fatal("Can't load texture from '%s'", path.c_str());
    return nullptr;
  }
  TexCacheEntry &e = *tex_cache.appendDefault(1);
  e.tex = t;
  e.refcount = 1;
  memcpy(e.path, path.c_str(), sizeof(e.path));
  return t;
}

void free_texture(Texture *t)
{
  if (!t)
    return;
  for (int i = 0; i < tex_cache.size(); i++)
    if (tex_cache[i].tex == t)
    {
      if (--tex_cache[i].refcount <= 0)
      {
        release_texture(t);
        tex_cache.erase(i);
      }
      return;
    }
}

void free_all_textures()
{
  for (int i = 0; i < tex_cache.size(); i++)
    release_texture(tex_cache[i].tex);
  tex_cache.clear();
}

void release_default_textures()
{
  gldev_unbind_all_textures();
  for (Texture &t : tex_table)
    if (t.inUse && t.pool == D3DPOOL_DEFAULT)
      release_gl_texture(t);
}

void recreate_default_textures()
{
  for (Texture &t : tex_table)
    if (t.inUse && t.pool == D3DPOOL_DEFAULT && !t.tex && !create_gl_texture(t))
      debug("error recreating texture (code 0x%08X)", unsigned(GL_OUT_OF_MEMORY));
}

void close_textures()
{
  tex_cache.release();
  for (Texture &t : tex_table)
    if (t.inUse || t.staging)
      release_texture(&t);
  allocated_bytes = 0;
  for (signed char &b : blendable_cache)
    b = -1;
}

int64_t get_allocated_texmem() { return allocated_bytes; }
