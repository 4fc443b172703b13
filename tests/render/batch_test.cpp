// Render batches: the grouping rule and the arena, without a device.
#include <cstring>
#include <gtest/gtest.h>
#include <vector>
#include "render/render_batch.h"

namespace
{
struct NamedState : BaseRenderBatchState
{};

// Records a quad-sized chunk for rect and writes a marker into its data.
void add_quad(RenderBatch &b, NamedState &s, float x0, float y0, float x1, float y1, int marker = 0)
{
  void *p = b.add(&s, x0, y0, x1, y1, 120, 2);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
  memset(p, marker, 120);
}

int chunks_in(const RenderBatch::Group &g)
{
  int n = 0;
  for (RenderBatch::Chunk *c = g.first; c; c = c->next)
    n++;
  return n;
}
} // namespace

TEST(RenderBatchGrouping, QuadJoinsEarlierGroupUnlessSomethingBetweenOverlapsIt)
{
  NamedState s, t;
  {
    RenderBatch b(0x8000);
    add_quad(b, s, 0, 0, 10, 10);   // P
    add_quad(b, t, 50, 50, 60, 60); // Q, elsewhere
    add_quad(b, s, 20, 0, 30, 10);  // R overlaps nothing of Q: joins P
    ASSERT_EQ(b.groupCount(), 2);
    EXPECT_EQ(b.group(0).state, &s);
    EXPECT_EQ(chunks_in(b.group(0)), 2);
    EXPECT_FLOAT_EQ(b.group(0).rect.x0, 0);
    EXPECT_FLOAT_EQ(b.group(0).rect.x1, 30);
  }
  {
    RenderBatch b(0x8000);
    add_quad(b, s, 0, 0, 10, 10);   // P
    add_quad(b, t, 5, 5, 25, 25);   // Q
    add_quad(b, s, 20, 20, 30, 30); // R overlaps Q: must be drawn after it
    ASSERT_EQ(b.groupCount(), 3);
    EXPECT_EQ(b.group(2).state, &s);
    EXPECT_EQ(chunks_in(b.group(0)), 1);
  }
}

TEST(RenderBatchGrouping, GroupRectangleAloneDoesNotSplit)
{
  // Q's group spans a wide rectangle but its chunks leave a hole where R lands.
  NamedState s, t;
  RenderBatch b(0x8000);
  add_quad(b, s, 40, 40, 50, 50);
  add_quad(b, t, 0, 0, 10, 10);
  add_quad(b, t, 90, 90, 100, 100);
  add_quad(b, s, 45, 45, 55, 55);
  ASSERT_EQ(b.groupCount(), 2);
  EXPECT_EQ(chunks_in(b.group(0)), 2);
  EXPECT_EQ(chunks_in(b.group(1)), 2);
}

TEST(RenderBatchGrouping, TouchingEdgesFromRightOrBelowCountAsOverlap)
{
  using R = RenderBatch::Rect;
  const R c{10, 10, 20, 20};
  EXPECT_TRUE(RenderBatch::overlaps(R{20, 12, 30, 18}, c)); // touches c's right edge
  EXPECT_TRUE(RenderBatch::overlaps(R{12, 20, 18, 30}, c)); // touches c's bottom edge
  EXPECT_FALSE(RenderBatch::overlaps(R{0, 12, 10, 18}, c)); // touches c's left edge
  EXPECT_FALSE(RenderBatch::overlaps(R{12, 0, 18, 10}, c)); // touches c's top edge
  EXPECT_FALSE(RenderBatch::overlaps(R{30, 30, 40, 40}, c));

  NamedState s, t;
  RenderBatch b(0x8000);
  add_quad(b, s, 0, 0, 10, 10);
  add_quad(b, t, 10, 0, 20, 10); // touches the first from the right
  add_quad(b, s, 0, 0, 10, 10);  // t's chunk touches it only from the left: joins
  EXPECT_EQ(b.groupCount(), 2);
  add_quad(b, s, 20, 0, 30, 10); // touches t's chunk from the right: new group
  EXPECT_EQ(b.groupCount(), 3);
}

TEST(RenderBatchGrouping, SameStateAlwaysOneGroupWhenNothingBetweenOverlaps)
{
  NamedState s, t, u;
  RenderBatch b(0x8000);
  for (int i = 0; i < 20; i++)
  {
    add_quad(b, s, float(i * 20), 0, float(i * 20 + 10), 10, i);
    add_quad(b, t, float(i * 20), 100, float(i * 20 + 10), 110);
    add_quad(b, u, float(i * 20), 200, float(i * 20 + 10), 210);
  }
  ASSERT_EQ(b.groupCount(), 3);
  // Chunks stay in recording order with their data intact.
  int i = 0;
  for (RenderBatch::Chunk *c = b.group(0).first; c; c = c->next, i++)
  {
    EXPECT_EQ(c->data()[0], i);
    EXPECT_EQ(c->data()[119], i);
    EXPECT_EQ(c->size, 120);
    EXPECT_EQ(c->primitives, 2);
  }
  EXPECT_EQ(i, 20);
}

TEST(RenderBatchArena, ClearReusesBlocksAndLargeChunksGetTheirOwn)
{
  NamedState s;
  RenderBatch b(1024);
  for (int frame = 0; frame < 3; frame++)
  {
    for (int i = 0; i < 40; i++)
      add_quad(b, s, float(i), 0, float(i + 1), 1);
    b.clear();
  }
  const int blocks = b.blockCount();
  EXPECT_GT(blocks, 1);
  for (int i = 0; i < 40; i++)
    add_quad(b, s, float(i), 0, float(i + 1), 1);
  EXPECT_EQ(b.blockCount(), blocks); // steady state: no new allocation
  EXPECT_EQ(b.groupCount(), 1);

  // A chunk larger than the block size still fits, in a block of its own.
  void *big = b.add(&s, 0, 0, 1, 1, 5000, 1);
  ASSERT_NE(big, nullptr);
  memset(big, 0xAB, 5000);
  EXPECT_EQ(b.blockCount(), blocks + 1);
  b.clear();
  EXPECT_EQ(b.groupCount(), 0);
}

// ---- on the device: the copy into the shared writer ----
#include "render/shaders.h"
#include "tests/render/vis_test_window.h"

namespace
{
StdRenderBatchState *debug_state()
{
  static StdRenderBatchState st;
  if (!st.shader)
  {
    const VsdElement decl[] = {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0),
                               vsd_element(12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0), vsd_end()};
    st = StdRenderBatchState(create_shader("debug_vis.sh", nullptr), create_vdecl(decl), 16, nullptr);
  }
  return &st;
}

RenderBatch *g_batch = nullptr;
int g_draws = 0;

// Renders g_batch in a frame and counts its draw calls.
int render_counting_draws()
{
  g_draws = -1;
  bool drawn = vistest::draw_frame_with([](float) {
    set_backbuffer_target();
    clear_view(D3dColor(0xFF000000u));
    int before = d3d_frame_counters.draw_calls;
    g_batch->render();
    g_draws = d3d_frame_counters.draw_calls - before;
  });
  return drawn ? g_draws : -1;
}

void add_zero_chunk(RenderBatch &b, StdRenderBatchState *s, int bytes)
{
  void *p = b.add(s, 0, 0, 1, 1, bytes, bytes / 48); // degenerate triangles at the origin
  memset(p, 0, size_t(bytes));
}
} // namespace

TEST(RenderBatchDevice, ChunkFillingTheRoomExactlyNeedsNoFlush)
{
  REQUIRE_DEVICE(64, 64);
  StdRenderBatchState *s = debug_state();
  RenderBatch b(0x8000);
  g_batch = &b;
  EXPECT_EQ(render_counting_draws(), 0); // an empty batch draws nothing

  add_zero_chunk(b, s, 65536); // the whole buffer: one draw
  EXPECT_EQ(render_counting_draws(), 1);
  EXPECT_EQ(render_counting_draws(), 1); // the content stays for another render
  b.clear();

  add_zero_chunk(b, s, 48);
  add_zero_chunk(b, s, 65536 - 48); // exactly the room left
  EXPECT_EQ(render_counting_draws(), 1);
  b.clear();

  add_zero_chunk(b, s, 48);
  add_zero_chunk(b, s, 65536 - 47); // one byte too many: flushed first, same state
  EXPECT_EQ(render_counting_draws(), 2);
  b.clear();
}

TEST(RenderBatchDevice, ChunkLargerThanTheWriterIsFatal)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
    {
      vistest::Window &w = vistest::device(64, 64);
      if (!w.ok)
        exit(1);
      RenderBatch b(0x8000);
      g_batch = &b;
      add_zero_chunk(b, debug_state(), 65536 + 16);
      render_counting_draws();
      exit(0);
    },
    testing::ExitedWithCode(100), "batch vertex buffer is not large enough");
}
