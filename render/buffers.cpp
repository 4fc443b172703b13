// Vertex and index buffer tables. Static buffers and index buffers are written to a CPU
// staging copy between lock and unlock and uploaded at unlock (dynamic index buffers are
// orphaned first). Dynamic vertex buffers are persistently mapped rings: a lock hands
// out the next region of the mapping, so streaming never copies or waits on the GPU.
#include "render/buffers.h"
#include <cstdlib>
#include <cstring>
#include "core/log.h"
#include "render/gl_device_internal.h"

bool dynvb_pretend_busy = false;
int dynvb_storage_switches = 0;

namespace
{
VertexBuffer vb_table[MAX_BUFFERS];
IndexBuffer ib_table[MAX_BUFFERS];
static_assert(sizeof(vb_table) / sizeof(vb_table[0]) == MAX_BUFFERS, "VB table size");
static_assert(sizeof(ib_table) / sizeof(ib_table[0]) == MAX_BUFFERS, "IB table size");

bool is_ring(const VertexBuffer &b) { return !(b.flags & BUF_STATIC); }
bool is_ring(const IndexBuffer &) { return false; }

void release_ring(VertexBuffer &b)
{
  for (void *&f : b.segFence)
    if (f)
    {
      if (gl_device_ready)
        glDeleteSync(GLsync(f));
      f = nullptr;
    }
  if (b.mapped && b.buffer && gl_device_ready)
    glUnmapNamedBuffer(b.buffer);
  b.mapped = nullptr;
  b.segment = b.segOfs = 0;
}
void release_ring(IndexBuffer &) {}

bool create_gl_buffer(VertexBuffer &b)
{
  glGetError();
  glCreateBuffers(1, &b.buffer);
  if (is_ring(b))
  {
    const GLbitfield flags = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
    GLsizeiptr bytes = GLsizeiptr(b.size) * DYN_VB_SEGMENTS;
    glNamedBufferStorage(b.buffer, bytes, nullptr, flags);
    b.mapped = (uint8_t *)glMapNamedBufferRange(b.buffer, 0, bytes, flags);
    b.segment = DYN_VB_SEGMENTS - 1; // the first lock takes region 0
    b.segOfs = b.segment * b.size;
  }
  else
    glNamedBufferData(b.buffer, b.size, nullptr, GL_STATIC_DRAW);
  if (glGetError() != GL_NO_ERROR || (is_ring(b) && !b.mapped))
  {
    release_ring(b);
    glDeleteBuffers(1, &b.buffer);
    b.buffer = 0;
    return false;
  }
  return true;
}

bool create_gl_buffer(IndexBuffer &b)
{
  glGetError();
  glCreateBuffers(1, &b.buffer);
  glNamedBufferData(b.buffer, b.size, nullptr, (b.flags & BUF_STATIC) ? GL_STATIC_DRAW : GL_DYNAMIC_DRAW);
  if (glGetError() != GL_NO_ERROR)
  {
    glDeleteBuffers(1, &b.buffer);
    b.buffer = 0;
    return false;
  }
  return true;
}

template <typename B>
void release_gl_buffer(B &b)
{
  release_ring(b);
  if (b.buffer && gl_device_ready)
    glDeleteBuffers(1, &b.buffer);
  b.buffer = 0;
}

template <typename B>
B *create_buffer(B *table, int size, int flags, const char *kind)
{
  if (!gl_device_ready)
    fatal("%s(%d): failed ASSERT(%s)", "d3d_vbuf", __LINE__, "d3d");
  for (int i = 0; i < MAX_BUFFERS; i++)
    if (!table[i].inUse)
    {
      B &b = table[i];
      memset(&b, 0, sizeof(b));
      b.size = size;
      b.flags = flags;
      if (size <= 0 || !create_gl_buffer(b))
      {
        debug("error creating %s (code 0x%08X)", kind,
              size <= 0 ? unsigned(GL_INVALID_VALUE) : unsigned(GL_OUT_OF_MEMORY));
        memset(&b, 0, sizeof(b));
        return nullptr;
      }
      b.inUse = true;
      return &b;
    }
  debug("reached MAX_BUFFERS for %s", kind);
  return nullptr;
}

template <typename B>
void release_buffer(B *b)
{
  if (!b)
    return;
  release_gl_buffer(*b);
  free(b->staging);
  memset(b, 0, sizeof(*b));
}

// Byte range of a lock; false when it lies outside the buffer.
bool lock_range(int total, int &offset, int &size)
{
  if (offset == 0 && size == 0)
    size = total;
  else if (size == 0)
    size = total - offset;
  return offset >= 0 && size > 0 && offset <= total - size;
}

// The next region of a ring: the one being left gets a fence. When the GPU may still
// read the region entered (its fence, set a whole ring ago, has not signalled), the
// ring moves to fresh storage instead of waiting; GL frees the old one when the GPU is
// done with it. Streams look the buffer name up at draw time, so the switch is unseen.
uint8_t *next_region(VertexBuffer &b)
{
  void *&leave = b.segFence[b.segment];
  if (leave)
    glDeleteSync(GLsync(leave));
  leave = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  int next = (b.segment + 1) % DYN_VB_SEGMENTS;
  if (void *&enter = b.segFence[next])
  {
    GLenum r = dynvb_pretend_busy ? GL_TIMEOUT_EXPIRED : glClientWaitSync(GLsync(enter), 0, 0);
    if (r == GL_TIMEOUT_EXPIRED || r == GL_WAIT_FAILED)
    {
      dynvb_storage_switches++;
      release_gl_buffer(b);
      if (!create_gl_buffer(b))
        return nullptr;
      next = 0;
    }
    else
    {
      glDeleteSync(GLsync(enter));
      enter = nullptr;
    }
  }
  b.segment = next;
  b.segOfs = next * b.size;
  return b.mapped + b.segOfs;
}

template <typename B>
void *lock_buffer(B *b, int offset, int size)
{
  if (!b || !b->inUse || !b->buffer || b->lockSize > 0 || !lock_range(b->size, offset, size))
    return nullptr;
  if (is_ring(*b))
  {
    uint8_t *region = next_region((VertexBuffer &)*b);
    if (!region)
      return nullptr;
    b->lockOfs = offset;
    b->lockSize = size;
    return region + offset;
  }
  if (!b->staging)
  {
    b->staging = (uint8_t *)calloc(1, size_t(b->size));
    if (!b->staging)
      return nullptr;
  }
  b->lockOfs = offset;
  b->lockSize = size;
  return b->staging + offset;
}

// used: bytes from the lock start that hold data (-1: the whole locked range).
template <typename B>
void unlock_buffer(B *b, int used = -1)
{
  if (!b || b->lockSize <= 0)
    return;
  int n = used < 0 || used > b->lockSize ? b->lockSize : used;
  if (!is_ring(*b) && b->buffer && b->staging)
  {
    if (!(b->flags & BUF_STATIC))
      glNamedBufferData(b->buffer, b->size, nullptr, GL_DYNAMIC_DRAW); // DISCARD
    if (n > 0)
      glNamedBufferSubData(b->buffer, b->lockOfs, n, b->staging + b->lockOfs);
  }
  b->lockSize = 0;
}
} // namespace

VertexBuffer *create_vb(int size_bytes, int flags) { return create_buffer(vb_table, size_bytes, flags, "VB"); }
IndexBuffer *create_ib(int index_count, int flags) { return create_buffer(ib_table, index_count * 2, flags, "IB"); }
void release_vb(VertexBuffer *vb) { release_buffer(vb); }
void release_ib(IndexBuffer *ib) { release_buffer(ib); }
void *lock_vb(VertexBuffer *vb, int offset, int size) { return lock_buffer(vb, offset, size); }
void *lock_ib(IndexBuffer *ib, int offset, int size) { return lock_buffer(ib, offset, size); }
void unlock_vb(VertexBuffer *vb) { unlock_buffer(vb); }
void unlock_ib(IndexBuffer *ib) { unlock_buffer(ib); }
void unlock_vb_used(VertexBuffer *vb, int used_bytes) { unlock_buffer(vb, used_bytes); }

void set_vb(int stream, VertexBuffer *vb, int offset_bytes, int stride)
{
  gldev_set_stream(stream, vb, 0, offset_bytes, stride);
}

void set_ib(IndexBuffer *ib) { gldev_set_index_buffer(ib ? ib->buffer : 0); }

void set_vdecl(VDecl decl) { gldev_set_vdecl(decl); }

void release_default_buffers()
{
  gldev_unbind_all_streams();
  gldev_set_index_buffer(0);
  for (int i = 0; i < MAX_BUFFERS; i++)
  {
    if (vb_table[i].inUse && !(vb_table[i].flags & BUF_STATIC))
      release_gl_buffer(vb_table[i]), vb_table[i].lockSize = 0;
    if (ib_table[i].inUse && !(ib_table[i].flags & BUF_STATIC))
      release_gl_buffer(ib_table[i]), ib_table[i].lockSize = 0;
  }
}

void recreate_default_buffers()
{
  for (int i = 0; i < MAX_BUFFERS; i++)
  {
    VertexBuffer &v = vb_table[i];
    if (v.inUse && !(v.flags & BUF_STATIC) && !v.buffer && !create_gl_buffer(v))
      debug("error creating VB (code 0x%08X)", unsigned(GL_OUT_OF_MEMORY));
    IndexBuffer &b = ib_table[i];
    if (b.inUse && !(b.flags & BUF_STATIC) && !b.buffer && !create_gl_buffer(b))
      debug("error creating IB (code 0x%08X)", unsigned(GL_OUT_OF_MEMORY));
  }
}

void close_buffers()
{
  for (int i = 0; i < MAX_BUFFERS; i++)
  {
    if (vb_table[i].inUse || vb_table[i].staging)
      release_buffer(&vb_table[i]);
    if (ib_table[i].inUse || ib_table[i].staging)
      release_buffer(&ib_table[i]);
  }
}
