// Vertex and index buffer tables. Writes go to a CPU staging copy between lock and
// unlock and reach the GL buffer at unlock; dynamic buffers are orphaned first, so the
// GPU may still read the previous contents.
#include <cstdlib>
#include <cstring>
#include "render/gl_device_internal.h"
#include "render/buffers.h"
#include "app/log.h"

namespace
{
VertexBuffer vb_table[MAX_BUFFERS];
IndexBuffer ib_table[MAX_BUFFERS];
static_assert(sizeof(vb_table) / sizeof(vb_table[0]) == MAX_BUFFERS, "VB table size");
static_assert(sizeof(ib_table) / sizeof(ib_table[0]) == MAX_BUFFERS, "IB table size");

template <typename B>
bool create_gl_buffer(B &b)
{
  glGetError();
  glCreateBuffers(1, &b.buffer);
  glNamedBufferData(b.buffer, b.size, nullptr, (b.flags & BUF_STATIC) ? GL_STATIC_DRAW : GL_DYNAMIC_DRAW);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR)
  {
    glDeleteBuffers(1, &b.buffer);
    b.buffer = 0;
    return false;
  }
  return true;
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
        debug("error creating %s (code 0x%08X)", kind, size <= 0 ? unsigned(GL_INVALID_VALUE) : unsigned(GL_OUT_OF_MEMORY));
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
  if (b->buffer && gl_device_ready)
    glDeleteBuffers(1, &b->buffer);
  free(b->staging);
  memset(b, 0, sizeof(*b));
}

template <typename B>
void *lock_buffer(B *b, int offset, int size)
{
  if (!b || !b->inUse || !b->buffer || (b->staging && b->lockSize > 0))
    return nullptr;
  if (offset == 0 && size == 0)
    size = b->size;
  else if (size == 0)
    size = b->size - offset;
  if (offset < 0 || size <= 0 || offset > b->size - size)
    return nullptr;
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
  if (!b || !b->staging || b->lockSize <= 0)
    return;
  int n = used < 0 || used > b->lockSize ? b->lockSize : used;
  if (b->buffer)
  {
    if (!(b->flags & BUF_STATIC))
      glNamedBufferData(b->buffer, b->size, nullptr, GL_DYNAMIC_DRAW); // orphan (DISCARD)
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
  gldev_set_stream(stream, vb ? vb->buffer : 0, offset_bytes, stride);
}

void set_ib(IndexBuffer *ib) { gldev_set_index_buffer(ib ? ib->buffer : 0); }

void set_vdecl(VDecl decl) { gldev_set_vdecl(decl); }

void release_default_buffers()
{
  gldev_unbind_all_streams();
  gldev_set_index_buffer(0);
  for (int i = 0; i < MAX_BUFFERS; i++)
  {
    if (vb_table[i].inUse && !(vb_table[i].flags & BUF_STATIC) && vb_table[i].buffer)
      glDeleteBuffers(1, &vb_table[i].buffer), vb_table[i].buffer = 0;
    if (ib_table[i].inUse && !(ib_table[i].flags & BUF_STATIC) && ib_table[i].buffer)
      glDeleteBuffers(1, &ib_table[i].buffer), ib_table[i].buffer = 0;
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
