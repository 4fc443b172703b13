#pragma once
#include <cstdint>
#include "core/d3dcolor.h"
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/shaders.h"
#include "render/textures.h"

// A render-batch state: what a group of batched quads is drawn with. States are
// long-lived objects (globals); a batch only points at them, so every state must
// outlive the batches that refer to it.
class ENGINE_API BaseRenderBatchState
{
public:
  Shader *shader = nullptr;
  VDecl vdecl = nullptr;
  int stride = 0; // bytes per vertex
  Texture *texture = nullptr;

  BaseRenderBatchState() = default;
  BaseRenderBatchState(Shader *s, VDecl d, int str, Texture *t) : shader(s), vdecl(d), stride(str), texture(t) {}
  virtual ~BaseRenderBatchState();
  // Forgets shader, declaration and texture; the stride stays.
  virtual void reset();
  // Applies the state. prev is the state of the group drawn just before (null for the
  // first group); only what differs from it is set.
  virtual void begin(const BaseRenderBatchState *prev);
  // Finishes the group: draws what is left in common_vb_writer and stops it.
  virtual void end();
};

// The usual state: binds the shared dynamic buffer with the state's stride and starts
// the writer drawing triangle lists.
class ENGINE_API StdRenderBatchState : public BaseRenderBatchState
{
public:
  StdRenderBatchState() = default;
  StdRenderBatchState(Shader *s, VDecl d, int str, Texture *t) : BaseRenderBatchState(s, d, str, t) {}
  ~StdRenderBatchState() override;
  void begin(const BaseRenderBatchState *prev) override;
};

// The game-object module derives its own states and reads these fields.
static_assert(sizeof(BaseRenderBatchState) == 40, "vptr, shader, declaration, stride, texture");

// The standard 2D vertex of GUI images and boxes: screen pixels, colour, texture uv.
struct GuiVertex
{
  float x, y;
  D3dColor color;
  float u, v;
};
static_assert(sizeof(GuiVertex) == 20);

// 2D drawing recorded during a frame and drawn in one go. Quads are grouped by state,
// but painter's order is kept wherever quads overlap: a quad joins an earlier group of
// its state only if nothing recorded after that group overlaps it. The vertex data is
// copied into common_vb_writer at render time; the batch never looks inside it.
class ENGINE_API RenderBatch
{
public:
  struct Rect
  {
    float x0, y0, x1, y1;
  };
  // One add() call: header, then the vertex data at 32 bytes from the chunk start.
  struct Chunk
  {
    Rect rect;
    int size;       // bytes of vertex data
    int primitives; // primitive count
    Chunk *next;
    uint8_t *data() { return reinterpret_cast<uint8_t *>(this) + sizeof(Chunk); }
  };
  struct Group
  {
    Rect rect; // union of its chunks' rectangles
    BaseRenderBatchState *state;
    Chunk *first, *last;
  };

  explicit RenderBatch(unsigned block_size);
  ~RenderBatch();
  RenderBatch(const RenderBatch &) = delete;
  RenderBatch &operator=(const RenderBatch &) = delete;

  // Records a chunk of data_size bytes of triangle-list data covering rect and returns
  // where the caller writes it (16-byte aligned). Valid until clear().
  void *add(BaseRenderBatchState *state, float x0, float y0, float x1, float y1, int data_size, int primitive_count);
  // Draws every group in recording order; the content stays for another render().
  void render();
  // Drops every group and chunk; the arena keeps its blocks for reuse.
  void clear();

  int groupCount() const { return groups.num; }
  const Group &group(int i) const { return groups.ptr[i]; }
  // Number of arena blocks (for checking that recording stops allocating).
  int blockCount() const;

  // a counts as overlapping c also when it only touches c's right or bottom edge.
  static bool overlaps(const Rect &a, const Rect &c)
  {
    return a.x0 <= c.x1 && a.y0 <= c.y1 && a.x1 > c.x0 && a.y1 > c.y0;
  }

private:
  struct Block
  {
    Block *next;
    uint8_t *used;
    uint8_t *end;
  };
  static_assert(sizeof(Block) == 24, "arena block header");
  static_assert(sizeof(Chunk) == 32, "chunk header: vertex data starts 32 bytes in");

  void *alloc(size_t size, size_t align);
  Block *newBlock(size_t size);

  Block *blocks = nullptr; // most recently added first
  unsigned blockSize;
  DynArray<Group> groups;
};

static_assert(sizeof(RenderBatch) == 32, "the module holds RenderBatch objects of its own");

// The batch of the GUI, drawn by the game-object module's interface each frame.
extern ENGINE_API RenderBatch gui_batch;
