#pragma once
// Shader records: one vertex/pixel program pair per (".sh" file, define block), shared
// by reference count, cached in "cache/", recompiled in place when a source changes.
#include <cstdint>
#include "core/dyn_array.h"
#include "core/engine_api.h"

constexpr int MAX_SHADERS = 64;
constexpr int SHADER_FILE_LEN = 260;
constexpr int SHADER_DEFINES_LEN = 512;

// One file read while compiling: the name as the source or the include line gave it,
// and its modification time when it was read (0 without a compiler).
struct ShaderDep
{
  char path[260];
  int64_t mtime;
};

struct Shader
{
  // GL objects. The record is in use while vs is non-zero; prog is vs+ps linked.
  unsigned vs, ps, prog;
  char file[SHADER_FILE_LEN];
  // Pairs of NUL-terminated strings (name, value), ended by an empty string.
  char defines[SHADER_DEFINES_LEN];
  DynArray<ShaderDep> deps; // source first, then includes in open order
  int refcount;
  // Attribute locations of the linked program by semantic: [usage][usage index], -1 none.
  int8_t attribLoc[5][16];
  unsigned linkSerial; // changes at every (re)link; lets the device re-bind attributes
  // The alpha-tested variant (ps compiled with ALPHA_TEST), built on its first draw with
  // an alpha reference set, from the pixel stage text kept here.
  unsigned psTest, progTest;
  DynArray<char> psText;
};

// Finds or creates the shader and adds a reference; fatal when it cannot be built.
ENGINE_API Shader *create_shader(const char *file, const char *defines);
// Drops one reference (null ignored); the record is freed at 0.
ENGINE_API void destroy_shader(Shader *s);
// Binds the program; null unbinds.
ENGINE_API void set_shader(Shader *s);
// Write vec4_count registers from first_register into VSConst / PSConst.
ENGINE_API void set_vs_consts(int first_register, const float *data, int vec4_count);
ENGINE_API void set_ps_consts(int first_register, const float *data, int vec4_count);

// Called by init_d3d; logs "shader compiler available" or "no shader compiler".
void load_shader_compiler();
// Releases every record and unloads the compiler (close_d3d).
void close_shaders();
// The hot-reload pass: recompiles changed shaders (all when force); once per second.
ENGINE_API void reload_shaders(bool force);

// When set before init_d3d (or with ZARNITH_NO_SHADER_COMPILER=1 in the environment) the
// device behaves as if no shader compiler were present: shaders come only from the cache
// and are never reloaded. For shipping builds and tests.
extern ENGINE_API bool shader_compiler_disabled;
// True while a compiler is available (between load_shader_compiler and close_shaders).
bool shader_compiler_loaded();

// The cache file name "cache/<file><@define>...cache" (relative, before make_full_path).
void shader_cache_name(const char *file, const char *defines, char *out, int out_size);

// Include handler: reads a whole file for the preprocessor and records it as a
// dependency of the shader being compiled (when there is one). Tests and the fuzz target
// derive from it to serve files from memory.
struct MyShaderInclude
{
  Shader *shader = nullptr;
  virtual ~MyShaderInclude() = default;
  // 0 on success; 0x8876086C when the file cannot be read; 0x8007000E without memory.
  // data is allocated with malloc and freed by close.
  virtual uint32_t open(int type, const char *name, const void *parent, const void **data, uint32_t *size);
  virtual uint32_t close(const void *data);
};
