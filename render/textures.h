#pragma once
// The texture table (1000 records at fixed addresses), render-target kinds, the shared
// file-texture cache, the DDS loader and the TGA reader.
#include <cstdint>
#include "core/dyn_array.h"
#include "core/engine_api.h"

constexpr int MAX_TEXTURES = 1000;

// Texture formats (program codes; translated to GL formats inside the device).
enum
{
  D3DFMT_UNKNOWN = 0,
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_G16R16 = 34,
  D3DFMT_L8 = 50,
  D3DFMT_R16F = 111,
  D3DFMT_G16R16F = 112,
  D3DFMT_A16B16G16R16F = 113,
  D3DFMT_R32F = 114,
  D3DFMT_G32R32F = 115,
  D3DFMT_A32B32G32R32F = 116,
  D3DFMT_DXT1 = 0x31545844, // "DXT1"
  D3DFMT_DXT3 = 0x33545844,
  D3DFMT_DXT5 = 0x35545844,
};
enum
{
  D3DUSAGE_RENDERTARGET = 1,
  D3DUSAGE_DYNAMIC = 0x200,
};
enum
{
  D3DPOOL_DEFAULT = 0,
  D3DPOOL_MANAGED = 1,
};

struct Texture
{
  unsigned tex;      // GL texture; 0 when not created or released for a reset
  int width, height; // as requested; 0 x 0 follows the back-buffer size
  int levels;
  int usage;
  int format;
  int pool;
  bool inUse;
  // Level sizes of the live GL texture (width/height resolved).
  int texW, texH;
  // Lock staging: the locked level's bytes, uploaded at unlock.
  uint8_t *staging;
  int lockLevel; // -1 while unlocked
  int lockPitch;
};

// Format of a render-target kind 1..8; 0 for any other kind.
ENGINE_API int rt_kind_format(int kind);

ENGINE_API Texture *create_texture(int w, int h, int levels, int usage, int format, int pool);
// One level, render target, default pool.
ENGINE_API Texture *create_rt_texture(int w, int h, int kind);
// create_rt_texture(0, 0, 1): A8R8G8B8 of the back-buffer size, following every resize.
ENGINE_API Texture *create_screen_rt();
// One level, A8R8G8B8, managed.
ENGINE_API Texture *create_managed_texture(int w, int h);
// Whether targets of that kind support blending (probed once per kind).
ENGINE_API bool is_rt_kind_blendable(int kind);
ENGINE_API void release_texture(Texture *t);
// Locks level 0 for writing; pitch receives the row stride in bytes. The returned memory
// holds what was last written through a lock (not what the GPU rendered).
ENGINE_API void *lock_texture(Texture *t, int *pitch, bool discard);
ENGINE_API void unlock_texture(Texture *t);
// Any level; for compressed formats the pitch is the byte size of one row of blocks.
ENGINE_API void *lock_texture_level(Texture *t, int level, int *pitch);

// Shared file textures by full path (case-insensitive).
ENGINE_API Texture *get_texture(const char *name, bool fatal_on_fail);
ENGINE_API void free_texture(Texture *t);
ENGINE_API void free_all_textures();
ENGINE_API Texture *load_dds_texture(const char *path);
// Uncompressed 32-bit TGA: width x height values in file order (B,G,R,A bytes).
ENGINE_API bool load_tga(const char *name, int &width, int &height, DynArray<uint32_t> &pixels);

// Device reset and shutdown hooks.
void release_default_textures();
void recreate_default_textures();
void close_textures();

// Decode DXT textures in software even where the driver has S3TC (tests); read when a
// texture is created.
extern bool d3d_force_soft_dxt;

// Bytes of GPU texture storage currently allocated through the table.
int64_t get_allocated_texmem();
