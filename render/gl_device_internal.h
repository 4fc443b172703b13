#pragma once
// Private to the device layer: the GL state shared by gl_device.cpp, shaders.cpp,
// buffers.cpp and textures.cpp. Nothing outside render/ includes this.
#include <epoxy/gl.h>
#include "render/device.h"

struct Shader;
struct VertexDecl;
struct VertexBuffer;
struct IndexBuffer;

// True between a successful context creation and close_d3d.
extern bool gl_device_ready;

// Set from ZARNITH_GL_DEBUG at init_d3d: a debug context that logs every GL error, and
// glGetError checks at the GL_CHECK points.
extern bool gl_debug_enabled;
void gl_check_error(const char *what, const char *file, int line);
// Sanitizer builds: keeps the loaded DRI driver from being unloaded (see gl_driver_pin.cpp).
void gl_pin_driver();
#define GL_CHECK(what)                          \
  do                                            \
  {                                             \
    if (gl_debug_enabled)                       \
      gl_check_error(what, __FILE__, __LINE__); \
  } while (0)

// Device-side binding state, consulted at draw time.
void gldev_bind_program(Shader *s);     // set_shader
void gldev_program_relinked(Shader *s); // a record got new code (attribute cache stale)
void gldev_program_released(Shader *s);
// The program of s that applies the alpha test (shaders.cpp); builds it on first use and
// falls back to the plain program, logged, when the variant cannot be built.
unsigned shader_alpha_test_program(Shader *s);
void gldev_set_vdecl(VertexDecl *d);
// A stream reads a buffer record (its ring segment resolved at draw time) or, with a
// null record, a raw GL buffer of the device's own.
void gldev_set_stream(int stream, VertexBuffer *vb, unsigned raw_buffer, int offset, int stride);
void gldev_set_index_buffer(unsigned buffer);
void gldev_unbind_all_streams();
void gldev_unbind_all_textures();
void gldev_restore_sampler_defaults();

// 1 x 1 target of the texture: 0.25 + additive 0.5 reads back 0.75.
bool gldev_probe_additive_blend(unsigned tex);

// The UBO block and sampler names a freshly linked program must be bound to.
void gldev_setup_program_bindings(unsigned prog);

// Primitive type code (1..6; GL_POINTS for others, check the range first) -> GL mode and vertex count for n primitives.
unsigned gl_prim_mode(int prim_type);
int prim_vertex_count(int prim_type, int prim_count);

// Texture GL format description of a program format code.
struct GlTexFormat
{
  unsigned internal; // sized internal format, 0 if unsupported
  unsigned format;   // upload format (0 for compressed)
  unsigned type;     // upload type
  int swizzle[4];    // GL_RED.. / GL_ONE / GL_ZERO per channel
  int bytesPerPixel; // 0 for block-compressed
  int blockBytes;    // 8 or 16 for DXT, 0 otherwise
};
bool gl_tex_format(int format, GlTexFormat &out);
