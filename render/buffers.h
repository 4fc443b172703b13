#pragma once
// Vertex and index buffer tables, vertex declarations, and the dynamic vertex writer.
#include <cstdint>
#include "core/dyn_array.h"
#include "core/engine_api.h"

constexpr int MAX_BUFFERS = 1000;
constexpr int MAX_VDECL_LEN = 32;
constexpr int MAX_VDECLS = 64;

// create_vb/create_ib flags.
enum
{
  BUF_STATIC = 1, // write-only, survives resets; without it the buffer is dynamic
};

struct VertexBuffer
{
  unsigned buffer; // GL buffer; 0 when not created or released for a reset
  int size;        // bytes
  int flags;
  bool inUse;
  uint8_t *staging; // CPU copy written between lock and unlock
  int lockOfs, lockSize;
  // Dynamic buffers are persistently mapped rings of DYN_VB_SEGMENTS regions of size
  // bytes: every (discarding) lock moves to the next region, written in place, and a
  // region is reused only after the fence set when it was left has signalled. Streams
  // add segOfs at draw time.
  uint8_t *mapped;
  int segment, segOfs;
  void *segFence[8];
};
constexpr int DYN_VB_SEGMENTS = 8;
static_assert(sizeof(VertexBuffer::segFence) / sizeof(void *) == DYN_VB_SEGMENTS, "one fence per region");

struct IndexBuffer
{
  unsigned buffer;
  int size; // index count x 2 (16-bit indices)
  int flags;
  bool inUse;
  uint8_t *staging;
  int lockOfs, lockSize;
};

// Vertex element types and usages (program codes as stored in mesh files).
enum
{
  VSDT_FLOAT1 = 1,
  VSDT_FLOAT2 = 2,
  VSDT_FLOAT3 = 3,
  VSDT_FLOAT4 = 4,
  VSDT_D3DCOLOR = 5,
  VSDT_SHORT2 = 6,
  VSDT_SHORT4 = 7,
};
enum
{
  VSDU_POSITION = 0,
  VSDU_NORMAL = 1,
  VSDU_COLOR = 2,
  VSDU_TEXCOORD = 3,
  VSDU_TANGENT = 4, // any other code
};

#pragma pack(push, 1)
// One element of a vertex layout; a list ends with stream == 0xFF.
struct VsdElement
{
  uint16_t offset;
  uint8_t stream;
  uint8_t type;
  uint8_t usage;
  uint8_t usageIndex;
};
#pragma pack(pop)
static_assert(sizeof(VsdElement) == 6, "VsdElement is stored in mesh files");

inline VsdElement vsd_element(int offset, int stream, int type, int usage, int index)
{
  return VsdElement{uint16_t(offset), uint8_t(stream), uint8_t(type), uint8_t(usage), uint8_t(index)};
}
inline VsdElement vsd_end() { return VsdElement{0, 0xFF, 0, 0, 0}; }

// A converted declaration: elements with the type and usage codes normalised (unknown
// type -> 0 UNUSED, unknown usage -> TANGENT) followed by the end marker.
struct VertexDecl
{
  int count; // elements including the end marker
  VsdElement elem[MAX_VDECL_LEN];
};
using VDecl = VertexDecl *;

// Table records stay at fixed addresses; null is returned when the table is full or the
// buffer cannot be created (logged).
ENGINE_API VertexBuffer *create_vb(int size_bytes, int flags);
ENGINE_API IndexBuffer *create_ib(int index_count, int flags);
ENGINE_API void release_vb(VertexBuffer *vb);
ENGINE_API void release_ib(IndexBuffer *ib);
// Byte offset and size; offset 0 and size 0 lock the whole buffer. Dynamic buffers are
// always discarded: after their unlock only the locked range holds data.
ENGINE_API void *lock_vb(VertexBuffer *vb, int offset, int size);
ENGINE_API void *lock_ib(IndexBuffer *ib, int offset, int size);
ENGINE_API void unlock_vb(VertexBuffer *vb);
ENGINE_API void unlock_ib(IndexBuffer *ib);
// Tests: treat every ring region as still in use by the GPU (forces fresh storage on
// each wrap), and the number of such switches so far.
extern bool dynvb_pretend_busy;
extern int dynvb_storage_switches;
// Unlock uploading only the first used_bytes of the locked range (the writer's fill).
void unlock_vb_used(VertexBuffer *vb, int used_bytes);
ENGINE_API void set_vb(int stream, VertexBuffer *vb, int offset_bytes, int stride);
ENGINE_API void set_ib(IndexBuffer *ib);

// Cached by content; fatal when a list lacks its end marker within 32 elements or when
// the 65th different layout is asked for.
ENGINE_API VDecl create_vdecl(const VsdElement *list);
ENGINE_API void set_vdecl(VDecl decl);

// Device reset and shutdown hooks.
void release_default_buffers();
void recreate_default_buffers();
void close_buffers();
void close_vdecls();
int vdecl_count(); // declarations in the cache
const char *vsd_type_name(int type);

// Streams geometry through one dynamic vertex buffer: start, write at cur (advance cur,
// add primitives to count; call flush(false) when the next write would not fit), then
// flush(true). init/close only while idle.
class ENGINE_API DynVBWriter
{
public:
  using RenderFunc = void (*)(int count, unsigned arg);

  uint8_t *cur = nullptr;
  int count = 0;
  uint8_t *startPtr = nullptr; // null while idle
  VertexBuffer *vb = nullptr;
  int size = 0;
  RenderFunc renderFunc = nullptr;
  unsigned renderArg = 0;

  void init(int size);
  void close();
  void start(RenderFunc func, unsigned arg);
  void flush(bool end);

  int roomLeft() const { return size - int(cur - startPtr); }
};

// The writer for all immediate drawing, 65536 bytes, initialised after the device.
extern ENGINE_API DynVBWriter common_vb_writer;

// Render functions for the writer: arg = primitive type; and instances, where count is
// the instance count and arg packs (vertex count << 16) | triangle count.
ENGINE_API void dynvb_draw_triangles(int count, unsigned prim_type);
ENGINE_API void dynvb_draw_instances(int count, unsigned packed_mesh_size);
