// The shared dynamic vertex writer and its two render functions.
#include "core/log.h"
#include "render/buffers.h"
#include "render/device.h"

DynVBWriter common_vb_writer;

#define WRITER_ASSERT(c)                                               \
  do                                                                   \
  {                                                                    \
    if (!(c))                                                          \
      fatal("%s(%d): failed ASSERT(%s)", "dynVBWriter", __LINE__, #c); \
  } while (0)

void DynVBWriter::init(int sz)
{
  WRITER_ASSERT(!startPtr);
  release_vb(vb);
  vb = create_vb(sz, 0);
  if (!vb)
    fatal("can't create dynamic VB of size %d", sz);
  size = sz;
  cur = startPtr = nullptr;
  count = 0;
  renderFunc = nullptr;
  renderArg = 0;
}

void DynVBWriter::close()
{
  WRITER_ASSERT(!startPtr);
  release_vb(vb);
  vb = nullptr;
  size = 0;
}

void DynVBWriter::start(RenderFunc func, unsigned arg)
{
  WRITER_ASSERT(!startPtr);
  WRITER_ASSERT(vb);
  startPtr = (uint8_t *)lock_vb(vb, 0, 0);
  WRITER_ASSERT(startPtr);
  cur = startPtr;
  count = 0;
  renderFunc = func;
  renderArg = arg;
}

void DynVBWriter::flush(bool end)
{
  if (!((count > 0 && !end) || (end && startPtr)))
    return;
  WRITER_ASSERT(startPtr && renderFunc);
  unlock_vb_used(vb, int(cur - startPtr));
  cur = startPtr = nullptr;
  if (count > 0)
    renderFunc(count, renderArg);
  count = 0;
  if (end)
  {
    renderFunc = nullptr;
    return;
  }
  startPtr = (uint8_t *)lock_vb(vb, 0, 0);
  WRITER_ASSERT(startPtr);
  cur = startPtr;
}

void dynvb_draw_triangles(int count, unsigned prim_type) { draw_prim(int(prim_type), 0, count); }

void dynvb_draw_instances(int count, unsigned packed)
{
  set_instancing(count);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, int(packed >> 16), 0, int(packed & 0xFFFF));
}
