// The common effects' simulation and what it draws, without a device: particle birth,
// steps and the free lists, the trail ring and its slots, lightning bolts, and the wrap
// of everything drawn near the camera.
#include <cmath>
#include <gtest/gtest.h>
#include <vector>
#include "core/globals.h"
#include "core/ramp.h"
#include "render/common_fx.h"

namespace
{
const vec4f zero(0.f);

struct CommonFx : ::testing::Test
{
  void SetUp() override { reset_common_fx(); }
  void TearDown() override { reset_common_fx(); }

  // A glow particle at p with velocity v (no acceleration, no drag), 1 s of life.
  static void glow_at(vec4f p, vec4f v, float delay = 0.f, float life = 1.f)
  {
    add_glow_particle(p, v, zero, life, delay, 1.f, D3dColor(0xFFFFFFFFu), 0.f, 0.f, 64.f, 0.f, 0.f, nullptr, nullptr,
                      nullptr);
  }
  static const FxParticle &glow(int i) { return fx_glow_pool.parts[i]; }
  static int trail_with_points(int n, float x0 = 0.f)
  {
    int tr = add_trail_fx(vec4f(x0, 0.f, 0.f, 1.f), zero, vec4f(0.f, 1.f, 0.f, 0.f), 1.f, D3dColor(0xFFFFFFFFu));
    for (int i = 1; i < n; i++)
      add_trail_point(tr, vec4f(x0 + float(i), 0.f, 0.f, 1.f), zero, vec4f(0.f, 1.f, 0.f, 0.f));
    return tr;
  }
};

void expect_vec(vec4f a, vec4f b, float eps = 1e-5f)
{
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}
} // namespace

TEST_F(CommonFx, NewParticleStepsOneIntervalAheadUnlessDelayed)
{
  const vec4f p0(10.f, 5.f, 20.f, 1.f), v(1.f, 2.f, 0.f, 0.f);
  glow_at(p0, v);        // born now: one full step of 0.05 s
  glow_at(p0, v, 0.03f); // born 0.03 s from now: stepped by the remaining 0.02 s
  glow_at(p0, v, 0.2f);  // born after the next update: not moved
  expect_vec(glow(0).prev, p0);
  expect_vec(glow(0).pos, p0 + v * 0.05f);
  expect_vec(glow(1).prev, p0);
  expect_vec(glow(1).pos, p0 + v * 0.02f);
  EXPECT_FLOAT_EQ(glow(1).age, -0.03f);
  expect_vec(glow(2).pos, p0);

  // The next update brings the delayed one to where it is 0.02 s after its birth, and one
  // step further.
  update_common_fx(0.05f);
  expect_vec(glow(1).prev, p0 + v * 0.02f);
  expect_vec(glow(1).pos, p0 + v * 0.07f);
  // The late one waits until its birth, then moves a whole interval ahead.
  expect_vec(glow(2).pos, p0);
  update_common_fx(0.05f);
  update_common_fx(0.05f);
  EXPECT_NEAR(glow(2).age, -0.05f, 1e-6f);
  expect_vec(glow(2).pos, p0);
  update_common_fx(0.05f);
  expect_vec(glow(2).pos, p0 + v * 0.05f);
}

TEST_F(CommonFx, VelocityFollowsAccelerationAgainstDrag)
{
  const vec4f acc(0.f, -10.f, 0.f, 0.f);
  add_blend_particle(vec4f(0.f), vec4f(4.f, 0.f, 0.f, 0.5f), acc, 1.f, 0.f, 1.f, D3dColor(0u), 0.f, 0.f, 32.f, 0.f, 0.f,
                     nullptr, nullptr, nullptr);
  const FxParticle &p = fx_blend_pool.parts[0];
  // vel += s (acc - vel * drag), then pos += s * vel, with s = 0.05.
  EXPECT_FLOAT_EQ(p.vel.x, 4.f + 0.05f * (0.f - 4.f * 0.5f));
  EXPECT_FLOAT_EQ(p.vel.y, 0.05f * -10.f);
  EXPECT_FLOAT_EQ(p.pos.x, 0.05f * p.vel.x);
  EXPECT_FLOAT_EQ(p.pos.y, 0.05f * p.vel.y);
}

TEST_F(CommonFx, DeadParticlesAreReusedAndPoolsKeepTheirRoom)
{
  EXPECT_GE(fx_glow_pool.parts.capacity(), FX_POOL_RESERVE);
  glow_at(zero, zero, 0.f, 0.1f);
  glow_at(zero, zero, 0.f, 0.3f);
  glow_at(zero, zero, 0.f, 0.12f);
  update_common_fx(0.05f);
  update_common_fx(0.05f); // ages 0.1: the first dies, the third not yet
  EXPECT_FALSE(glow(0).isAlive());
  EXPECT_TRUE(glow(2).isAlive());
  EXPECT_EQ(fx_glow_pool.alive, 2);
  update_common_fx(0.05f); // the third dies after the first: it is the first to be reused
  EXPECT_EQ(fx_glow_pool.alive, 1);
  glow_at(vec4f(1.f), zero);
  glow_at(vec4f(2.f), zero);
  glow_at(vec4f(3.f), zero);
  EXPECT_EQ(fx_glow_pool.parts.size(), 4);
  EXPECT_EQ(glow(2).prev.x, 1.f);
  EXPECT_EQ(glow(0).prev.x, 2.f);
  EXPECT_EQ(glow(3).prev.x, 3.f);
  EXPECT_EQ(fx_glow_pool.alive, 4);
  // A life of zero or less makes a particle that dies at the next update instead of one
  // that is neither alive nor free.
  glow_at(zero, zero, 0.f, 0.f);
  update_common_fx(0.05f);
  EXPECT_EQ(fx_glow_pool.alive, 4);
  reset_common_fx();
  EXPECT_EQ(fx_glow_pool.parts.size(), 0);
  EXPECT_EQ(fx_glow_pool.alive, 0);
}

TEST_F(CommonFx, DrawnOnlyOverItsLifeAndInterpolated)
{
  const vec4f cam(0.f, 0.f, 0.f, 1.f);
  glow_at(vec4f(0.f, 0.f, 0.f, 1.f), vec4f(20.f, 0.f, 0.f, 0.f), 0.03f, 0.5f);
  FxInstance in;
  // Born 0.03 s into the interval: invisible before, then moving from its birth place.
  EXPECT_FALSE(fx_particle_instance(glow(0), 0.02f, 0.4f, cam, in));
  ASSERT_TRUE(fx_particle_instance(glow(0), 0.04f, 0.8f, cam, in));
  EXPECT_NEAR(in.x, 20.f * 0.01f, 1e-5f); // it has lived 0.01 s
  update_common_fx(0.05f);
  ASSERT_TRUE(fx_particle_instance(glow(0), 0.025f, 0.5f, cam, in));
  EXPECT_NEAR(in.x, 20.f * (0.02f + 0.025f), 1e-5f);
  // Its life ends 0.5 s after its birth.
  for (int i = 0; i < 9; i++)
    update_common_fx(0.05f);
  EXPECT_TRUE(fx_particle_instance(glow(0), 0.02f, 0.4f, cam, in));
  EXPECT_FALSE(fx_particle_instance(glow(0), 0.04f, 0.8f, cam, in));
}

TEST_F(CommonFx, RampsShapeColourSizeAndRotationOverTheLife)
{
  ColorRamp half;
  half.setConst(vec4f(0.5f, 1.f, 0.25f, 2.f));
  FloatRamp grow(1.f, 3.f), spin(0.f, 1.f);
  add_glow_particle(zero, zero, zero, 1.f, 0.f, 2.f, D3dColor(0x80FF4010u), 128.f, 64.f, 64.f, 0.5f, 2.f, &half, &grow,
                    &spin);
  FxInstance in;
  ASSERT_TRUE(fx_particle_instance(glow(0), 0.f, 0.f, vec4f(0.f), in));
  EXPECT_EQ(uint32_t(in.color), 0xFF804004u); // each channel times the ramp, rounded, clamped
  EXPECT_FLOAT_EQ(in.size, 2.f);
  EXPECT_FLOAT_EQ(in.rotation, 0.5f);
  // Atlas centre and half cell in texture units.
  EXPECT_FLOAT_EQ(in.u, 160.f / 512.f);
  EXPECT_FLOAT_EQ(in.v, 96.f / 256.f);
  EXPECT_FLOAT_EQ(in.du, 32.f / 512.f);
  EXPECT_FLOAT_EQ(in.dv, -32.f / 256.f);
  for (int i = 0; i < 10; i++)
    update_common_fx(0.05f);
  ASSERT_TRUE(fx_particle_instance(glow(0), 0.f, 0.f, vec4f(0.f), in)); // half its life
  EXPECT_NEAR(in.size, 2.f * 2.f, 1e-5f);
  EXPECT_NEAR(in.rotation, 0.5f + 2.f * 0.5f, 1e-5f);
}

TEST_F(CommonFx, DrawnAtTheWorldCopyNearestTheCamera)
{
  glow_at(vec4f(200.f, 3.f, -10.f, 1.f), zero);
  glow_at(vec4f(128.f, 0.f, -128.f, 1.f), zero);
  FxInstance in;
  ASSERT_TRUE(fx_particle_instance(glow(0), 0.f, 0.f, vec4f(0.f, 0.f, 0.f, 1.f), in));
  EXPECT_FLOAT_EQ(in.x, -56.f); // 200 units away: 56 on the other side
  EXPECT_FLOAT_EQ(in.y, 3.f);
  EXPECT_FLOAT_EQ(in.z, -10.f);
  ASSERT_TRUE(fx_particle_instance(glow(0), 0.f, 0.f, vec4f(1000.f, 0.f, 500.f, 1.f), in));
  EXPECT_FLOAT_EQ(in.x, 968.f);
  EXPECT_FLOAT_EQ(in.z, 502.f);
  // Offsets land in (-128, 128].
  ASSERT_TRUE(fx_particle_instance(glow(1), 0.f, 0.f, vec4f(0.f, 0.f, 0.f, 1.f), in));
  EXPECT_FLOAT_EQ(in.x, 128.f);
  EXPECT_FLOAT_EQ(in.z, 128.f);
}

TEST_F(CommonFx, TrailKeepsItsNewestSixteenPoints)
{
  int tr = trail_with_points(20);
  ASSERT_EQ(tr, 0);
  const FxTrail &t = fx_trails[tr];
  EXPECT_EQ(t.count, TRAIL_POINTS);
  for (int k = 0; k < TRAIL_POINTS; k++)
    EXPECT_FLOAT_EQ(t.point(k).pos.x, float(19 - k)) << k;
  // A new point starts where the head was at the last update (its prev).
  EXPECT_FLOAT_EQ(t.point(0).prev.x, 0.f);
  // The slots come from the free list in order.
  EXPECT_EQ(trail_with_points(1), 1);
  EXPECT_EQ(trail_with_points(1), 2);
}

TEST_F(CommonFx, StoppedTrailEmptiesButKeepsItsSlotUntilKilled)
{
  int tr = trail_with_points(16);
  stop_trail_fx(tr);
  for (int i = 0; i < 15; i++)
    update_common_fx(0.05f);
  EXPECT_EQ(fx_trails[tr].count, 1);
  update_common_fx(0.05f);
  EXPECT_EQ(fx_trails[tr].count, 0);
  FxRibbonVertex v[TRAIL_POINTS * 6];
  EXPECT_EQ(fx_trail_vertices(fx_trails[tr], 0.5f, zero, vec4f(1.f, 0.f, 0.f, 0.f), vec4f(0.f, 1.f, 0.f, 0.f), v), 0);
  // Still taken: the next trail gets another slot.
  int other = trail_with_points(1);
  EXPECT_NE(other, tr);
  // Killing frees it, also when empty; killing twice frees it once.
  kill_trail_fx(tr);
  kill_trail_fx(tr);
  EXPECT_EQ(trail_with_points(1), tr);
  EXPECT_NE(trail_with_points(1), tr);
}

TEST_F(CommonFx, StaleAndOutOfRangeTrailIndicesAreIgnored)
{
  int tr = trail_with_points(3);
  kill_trail_fx(tr);
  add_trail_point(tr, vec4f(1.f), zero, zero); // a stale handle must not revive the slot
  set_trail_color(tr, D3dColor(0u));
  stop_trail_fx(tr);
  EXPECT_EQ(fx_trails[tr].count, 0);
  add_trail_point(-1, zero, zero, zero);
  add_trail_point(MAX_TRAILS, zero, zero, zero);
  kill_trail_fx(MAX_TRAILS);
  EXPECT_EQ(trail_with_points(2), tr); // taken again without tripping the slot check
}

TEST_F(CommonFx, TrailTableFullAnswersMinusOne)
{
  for (int i = 0; i < MAX_TRAILS; i++)
    ASSERT_EQ(trail_with_points(1), i);
  EXPECT_EQ(trail_with_points(1), -1);
  kill_trail_fx(1234);
  EXPECT_EQ(trail_with_points(1), 1234);
  reset_common_fx();
  EXPECT_EQ(trail_with_points(1), 0);
}

TEST_F(CommonFx, TrailStaysInOnePieceAcrossTheWorldEdge)
{
  int tr = add_trail_fx(vec4f(255.f, 0.f, 0.f, 1.f), vec4f(0.f, 1.f, 0.f, 0.f), zero, 1.f, D3dColor(0xFFFFFFFFu));
  add_trail_point(tr, vec4f(1.f, 0.f, 0.f, 1.f), vec4f(0.f, 1.f, 0.f, 0.f), zero); // 2 units further on
  const FxTrail &t = fx_trails[tr];
  EXPECT_FLOAT_EQ(t.point(0).pos.x, 257.f);
  update_common_fx(0.05f);
  // The head is moved back into [0, 256); the whole trail moves with it and drifts.
  EXPECT_FLOAT_EQ(t.point(0).pos.x, 1.f);
  EXPECT_FLOAT_EQ(t.point(1).pos.x, -1.f);
  EXPECT_FLOAT_EQ(t.point(0).prev.x, 1.f);
  EXPECT_FLOAT_EQ(t.point(1).pos.y, 0.05f);
}

TEST_F(CommonFx, TrailRibbonHasACapAndOneQuadPerSegment)
{
  int tr = trail_with_points(3);
  const vec4f right(1.f, 0.f, 0.f, 0.f), up(0.f, 1.f, 0.f, 0.f);
  FxRibbonVertex v[TRAIL_POINTS * 6];
  ASSERT_EQ(fx_trail_vertices(fx_trails[tr], 0.5f, zero, right, up, v), 18);
  // The cap around the head (half way from where it was to where it goes), width 1,
  // head cell of the atlas.
  EXPECT_FLOAT_EQ(v[0].x, 1.f - 1.f);
  EXPECT_FLOAT_EQ(v[0].y, 1.f);
  EXPECT_FLOAT_EQ(v[0].u, 0.f);
  EXPECT_FLOAT_EQ(v[0].v, 0.25f);
  EXPECT_FLOAT_EQ(v[4].u, 0.125f);
  EXPECT_FLOAT_EQ(v[4].v, 0.5f);
  // Segments: u from f / 16 in steps of 1/16, v 0 on the + side, 0.25 on the - side.
  EXPECT_FLOAT_EQ(v[6].u, 0.5f / 16.f);
  EXPECT_FLOAT_EQ(v[6].v, 0.f);
  EXPECT_FLOAT_EQ(v[7].v, 0.25f);
  EXPECT_FLOAT_EQ(v[8].u, 1.5f / 16.f);
  EXPECT_FLOAT_EQ(v[12].u, 1.5f / 16.f);
  EXPECT_FLOAT_EQ(v[14].u, 2.5f / 16.f);
  EXPECT_FLOAT_EQ(v[6].y, 1.f); // + side vector
  EXPECT_FLOAT_EQ(v[7].y, -1.f);
}

TEST_F(CommonFx, ShortBoltGetsThreePointsWithTransparentEnds)
{
  game_rnd_seed = 777; // a bolt is only seen: it never draws from the simulation's stream
  fx_rnd_seed = 12345;
  add_lightning_fx(vec4f(250.f, 50.f, 0.f, 1.f), vec4f(10.f, 0.f, 0.f, 1.f), zero, 0.5f, 4.f, 2.f, 0.38f,
                   D3dColor(0xFFC0D0FFu), 1);
  ASSERT_EQ(fx_bolts.size(), 1);
  const FxBolt &b = fx_bolts[0];
  ASSERT_EQ(b.points.size(), 3);
  EXPECT_EQ(uint32_t(b.points[0].color), 0u);
  EXPECT_EQ(uint32_t(b.points[1].color), 0xFFC0D0FFu);
  EXPECT_EQ(uint32_t(b.points[2].color), 0u);
  // The ends are exact; the target is taken next to the start.
  expect_vec(b.points[0].pos, vec4f(250.f, 50.f, 0.f, 1.f));
  expect_vec(b.points[2].pos, vec4f(266.f, 0.f, 0.f, 1.f), 1e-4f);
  EXPECT_GE(b.points[0].u, 0.f);
  EXPECT_LT(b.points[0].u, 1.f);
  EXPECT_FLOAT_EQ(b.points[1].u, b.points[0].u);
  EXPECT_GT(b.points[2].u, b.points[1].u);
  // The same seed makes the same bolt.
  const vec4f mid = b.points[1].pos;
  EXPECT_EQ(game_rnd_seed, 777u);
  fx_rnd_seed = 12345;
  add_lightning_fx(vec4f(250.f, 50.f, 0.f, 1.f), vec4f(10.f, 0.f, 0.f, 1.f), zero, 0.5f, 4.f, 2.f, 0.38f,
                   D3dColor(0xFFC0D0FFu), 1);
  expect_vec(fx_bolts[1].points[1].pos, mid);
  // Point counts are bounded both ways.
  add_lightning_fx(vec4f(0.f), vec4f(1.f), zero, 0.5f, 4.f, 2.f, 0.38f, D3dColor(0u), 1 << 30);
  EXPECT_EQ(fx_bolts.back().points.size(), FX_BOLT_MAX_POINTS);
  fx_bolts.pop();
  // Removed once its life is over.
  for (int i = 0; i < 7; i++)
    update_common_fx(0.05f);
  EXPECT_EQ(fx_bolts.size(), 2);
  update_common_fx(0.05f);
  EXPECT_EQ(fx_bolts.size(), 0);
}

TEST_F(CommonFx, BoltBrightensFromStartToEndOverItsLife)
{
  add_lightning_fx(vec4f(0.f, 40.f, 0.f, 1.f), vec4f(0.f, 0.f, 40.f, 1.f), zero, 0.5f, 4.f, 0.f, 1.f,
                   D3dColor(0xFFFFFFFFu), 11);
  const FxBolt &b = fx_bolts[0];
  std::vector<FxRibbonVertex> v(60);
  auto red_at = [&](int point) { // first vertex of the segment that starts at point
    return point < 10 ? v[size_t(point) * 6].color.r() : v[9 * 6 + 2].color.r();
  };
  ASSERT_EQ(fx_bolt_vertices(b, 0.25f, vec4f(50.f, 20.f, 20.f, 1.f), v.data()), 60);
  EXPECT_EQ(red_at(3), 255); // a quarter through its life the first half is lit
  EXPECT_EQ(red_at(7), 0);
  fx_bolt_vertices(b, 0.75f, vec4f(50.f, 20.f, 20.f, 1.f), v.data());
  EXPECT_EQ(red_at(3), 0); // three quarters through, the far half
  EXPECT_EQ(red_at(7), 255);
  // Each quad is as wide as the bolt and faces the camera.
  const FxRibbonVertex &a = v[0], &c = v[1];
  EXPECT_NEAR(std::hypot(a.x - c.x, a.y - c.y, a.z - c.z), 1.f, 1e-4f);
  EXPECT_FLOAT_EQ(a.v, 0.75f);
  EXPECT_FLOAT_EQ(c.v, 1.f);
}
