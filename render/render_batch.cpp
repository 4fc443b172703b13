#include "render/render_batch.h"

#include <cstring>
#include "core/log.h"
#include "core/mem.h"
#include "render/shader_registers.h"

BaseRenderBatchState::~BaseRenderBatchState() = default;

void BaseRenderBatchState::reset()
{
  shader = nullptr;
  vdecl = nullptr;
  texture = nullptr;
}

void BaseRenderBatchState::begin(const BaseRenderBatchState *prev)
{
  if (!prev || prev->shader != shader)
    set_shader(shader);
  if (!prev || prev->vdecl != vdecl)
    set_vdecl(vdecl);
  if (!prev || prev->texture != texture)
    set_texture(TEX_STAGE(TEX_BATCH), texture);
}

void BaseRenderBatchState::end() { common_vb_writer.flush(true); }

StdRenderBatchState::~StdRenderBatchState() = default;

void StdRenderBatchState::begin(const BaseRenderBatchState *prev)
{
  BaseRenderBatchState::begin(prev);
  set_vb(0, common_vb_writer.vb, 0, stride);
  common_vb_writer.start(dynvb_draw_triangles, D3DPT_TRIANGLELIST);
}

ENGINE_API RenderBatch gui_batch(0x8000);

RenderBatch::RenderBatch(unsigned block_size) : blockSize(block_size)
{
  blocks = newBlock(blockSize > sizeof(Block) ? blockSize : sizeof(Block) + 16);
}

RenderBatch::~RenderBatch()
{
  groups.release();
  while (blocks)
  {
    Block *next = blocks->next;
    dlfree(blocks);
    blocks = next;
  }
}

RenderBatch::Block *RenderBatch::newBlock(size_t size)
{
  void *p = dlmalloc(size);
  ASSERT(p);
  Block *b = static_cast<Block *>(p);
  b->next = nullptr;
  b->used = reinterpret_cast<uint8_t *>(b + 1);
  b->end = reinterpret_cast<uint8_t *>(b) + size;
  return b;
}

static uint8_t *align_up(uint8_t *p, size_t align)
{
  uintptr_t v = reinterpret_cast<uintptr_t>(p);
  return reinterpret_cast<uint8_t *>((v + align - 1) & ~uintptr_t(align - 1));
}

void *RenderBatch::alloc(size_t size, size_t align)
{
  for (Block *b = blocks; b; b = b->next)
  {
    uint8_t *p = align_up(b->used, align);
    if (p <= b->end && size_t(b->end - p) >= size)
    {
      b->used = p + size;
      return p;
    }
  }
  // No block has room: a new one, large enough for this request whatever the alignment
  // of the header end turns out to be.
  size_t need = size + align + sizeof(Block) - 1;
  Block *b = newBlock(need > blockSize ? need : blockSize);
  b->next = blocks;
  blocks = b;
  uint8_t *ptr = align_up(b->used, align);
  ASSERT(ptr + size <= b->end);
  b->used = ptr + size;
  return ptr;
}

int RenderBatch::blockCount() const
{
  int n = 0;
  for (const Block *b = blocks; b; b = b->next)
    n++;
  return n;
}

void *RenderBatch::add(BaseRenderBatchState *state, float x0, float y0, float x1, float y1, int data_size,
                       int primitive_count)
{
  ASSERT(data_size>=0);
  Chunk *ne = static_cast<Chunk *>(alloc(sizeof(Chunk) + size_t(data_size), 16));
  ASSERT(ne);
  ne->rect = {x0, y0, x1, y1};
  ne->size = data_size;
  ne->primitives = primitive_count;
  ne->next = nullptr;

  for (int gi = groups.num - 1; gi >= 0; --gi)
  {
    Group &g = groups.ptr[gi];
    if (g.state == state)
    {
      if (x0 < g.rect.x0)
        g.rect.x0 = x0;
      if (y0 < g.rect.y0)
        g.rect.y0 = y0;
      if (x1 > g.rect.x1)
        g.rect.x1 = x1;
      if (y1 > g.rect.y1)
        g.rect.y1 = y1;
      g.last->next = ne;
      g.last = ne;
      return ne->data();
    }
    if (overlaps(ne->rect, g.rect))
    {
      bool hit = false;
      for (const Chunk *c = g.first; c && !hit; c = c->next)
        hit = overlaps(ne->rect, c->rect);
      if (hit)
        break; // drawing later than this group must stay later
    }
  }
  groups.push(Group{ne->rect, state, ne, ne});
  return ne->data();
}

void RenderBatch::render()
{
  DynVBWriter &w = common_vb_writer;
  const BaseRenderBatchState *prev = nullptr;
  for (int gi = 0; gi < groups.num; ++gi)
  {
    Group &g = groups.ptr[gi];
    g.state->begin(prev);
    ASSERT(w.startPtr); // the state's begin must start the writer
    for (Chunk *c = g.first; c; c = c->next)
    {
      if (c->size > w.size - int(w.cur - w.startPtr))
      {
        w.flush(false);
        if (c->size > w.size - int(w.cur - w.startPtr))
          fatal("batch vertex buffer is not large enough");
      }
      memcpy(w.cur, c->data(), size_t(c->size));
      w.cur += c->size;
      w.count += c->primitives;
    }
    g.state->end();
    prev = g.state;
  }
}

void RenderBatch::clear()
{
  groups.clear();
  for (Block *b = blocks; b; b = b->next)
    b->used = reinterpret_cast<uint8_t *>(b + 1);
}
