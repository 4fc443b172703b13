#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "world/erosion.h"
#include "world/heightmap.h"
#include "world/world_rnd.h"

namespace
{

using Params = HeightmapData::ErosionParams;
using Reaction = HeightmapData::ErosionReaction;

// The parameters of the developer key: Kq 0.1, Kw 0.001, Kr 0.9, Kd 0.9, Ki 0.1, ...
Params dev_key_params()
{
  Params p;
  p.Kq = 0.1f;
  p.Kw = 0.001f;
  p.Kr = 0.9f;
  p.Kd = 0.9f;
  p.Ki = 0.1f;
  p.minSlope = 0.05f;
  p.g = 20.f;
  p.depositBlend = 2.f;
  p.reactionTime = 100.f;
  return p;
}

// A reaction as the script gives it: [from, to, speed].
Reaction make_reaction(vec4f from, vec4f to, float speed)
{
  Reaction r;
  r.rate = (to - from) * speed;
  for (int i = 0; i < 4; i++)
    r.order[i] = int(std::lrint(from[i]));
  return r;
}

// Rolling hills with a colour gradient, so droplets both erode and deposit.
void hills()
{
  HeightmapData::reset();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float a = x * (6.2831853f / 256.f), b = z * (6.2831853f / 128.f);
      HeightmapData::height(x, z) = 20.f * std::sin(a) * std::cos(b) + 3.f * std::sin(3.f * a + b);
      HeightmapData::surf(x, z).color = D3dColor(255, x, z, 128);
    }
}

struct Snapshot
{
  std::vector<float> h;
  std::vector<HeightmapData::Surface> s;
  Snapshot()
      : h(HeightmapData::hmap, HeightmapData::hmap + HMAP_CELLS),
        s(HeightmapData::surface, HeightmapData::surface + HMAP_CELLS)
  {}
};

bool same_surface(const HeightmapData::Surface &a, const HeightmapData::Surface &b)
{
  return a.color == b.color && a.top_color == b.top_color && a.bits == b.bits;
}

std::string run_logged(unsigned count, Params &p)
{
  testing::internal::CaptureStdout();
  HeightmapData::genDropletErosion(count, p);
  return testing::internal::GetCapturedStdout();
}

TEST(Erosion, FlatMapDropletTakesARandomDirectionAndStops)
{
  HeightmapData::reset();
  for (int i = 0; i < HMAP_CELLS; i++)
    HeightmapData::surface[i].set_top(0xFF00FF00u, ST_SNOW);
  Snapshot before;
  Params p;
  game_rnd_seed = 42;
  std::string log = run_logged(1, p);
  uint64_t seed = 42;
  for (int i = 0; i < 3; i++) // start x, start z, one direction
    world_rnd_next(seed);
  EXPECT_EQ(game_rnd_seed, seed);
  EXPECT_NE(log.find("computed       1 erosion droplets in "), std::string::npos) << log;
  EXPECT_NE(log.find("  0.00 average path length, 0 long paths cut, 1 random directions picked"), std::string::npos)
    << log;
  // the heights are unchanged; the empty deposit at the start corner buries its layer
  int stripped = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_EQ(HeightmapData::hmap[i], 0.f);
    ASSERT_EQ(HeightmapData::surface[i].color, before.s[i].color);
    stripped += HeightmapData::surface[i].surface_type() == ST_OPEN;
  }
  EXPECT_LE(stripped, 4);
}

TEST(Erosion, DropletInASingleCellPitStopsDepositingNothing)
{
  HeightmapData::reset();
  uint64_t seed = 977;
  int x0 = int(world_rnd_next(seed) & 255), z0 = int(world_rnd_next(seed) & 255);
  HeightmapData::height(x0, z0) = -1.f;
  Snapshot before;
  Params p;
  game_rnd_seed = 977;
  std::string log = run_logged(1, p);
  EXPECT_EQ(game_rnd_seed, seed); // no random direction was needed
  EXPECT_NE(log.find("0 random directions picked"), std::string::npos) << log;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_EQ(HeightmapData::hmap[i], before.h[i]);
    ASSERT_TRUE(same_surface(HeightmapData::surface[i], before.s[i]));
  }
}

TEST(Erosion, ZeroDropletsChangeNothingButStillLog)
{
  hills();
  Snapshot before;
  Params p;
  game_rnd_seed = 5;
  std::string log = run_logged(0, p);
  EXPECT_EQ(game_rnd_seed, 5u);
  EXPECT_NE(log.find("computed       0 erosion droplets in "), std::string::npos) << log;
  EXPECT_NE(log.find("  0.00 average path length, 0 long paths cut, 0 random directions picked"), std::string::npos)
    << log;
  EXPECT_EQ(std::memcmp(before.h.data(), HeightmapData::hmap, sizeof(HeightmapData::hmap)), 0);
}

TEST(Erosion, MovesMaterialDownhillAndIsRepeatable)
{
  hills();
  Snapshot before;
  Params p = dev_key_params();
  p.reactions.push(make_reaction(vec4f(0, 1, 0, 0), vec4f(1, 0, 0, 0), 0.01f));
  game_rnd_seed = 1234;
  std::string log = run_logged(4000, p);
  EXPECT_EQ(log.find("nan"), std::string::npos) << log;
  const uint64_t seed_after = game_rnd_seed;
  std::vector<float> h1(HeightmapData::hmap, HeightmapData::hmap + HMAP_CELLS);
  std::vector<HeightmapData::Surface> s1(HeightmapData::surface, HeightmapData::surface + HMAP_CELLS);

  int raised = 0, lowered = 0;
  double sum_before = 0, sum_after = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_TRUE(std::isfinite(h1[i]));
    raised += h1[i] > before.h[i];
    lowered += h1[i] < before.h[i];
    sum_before += before.h[i];
    sum_after += h1[i];
  }
  EXPECT_GT(raised, 1000);
  EXPECT_GT(lowered, 1000);
  // material moves, it is neither created nor destroyed in bulk
  EXPECT_NEAR(sum_after, sum_before, 0.05 * 65536);

  hills();
  game_rnd_seed = 1234;
  run_logged(4000, p);
  EXPECT_EQ(game_rnd_seed, seed_after);
  EXPECT_EQ(std::memcmp(h1.data(), HeightmapData::hmap, sizeof(HeightmapData::hmap)), 0);
  EXPECT_EQ(std::memcmp(s1.data(), HeightmapData::surface, sizeof(HeightmapData::surface)), 0);
}

TEST(Erosion, LayersColoursAndReactions)
{
  // one colour everywhere and no reactions: mixing and blending keep that colour
  hills();
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    HeightmapData::surface[i].color = 0xFF4080C0u;
    HeightmapData::surface[i].set_top(0xFFFFFFFFu, ST_SNOW);
  }
  Snapshot before;
  Params p = dev_key_params();
  game_rnd_seed = 99;
  run_logged(3000, p);
  int changed = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    const HeightmapData::Surface &s = HeightmapData::surface[i];
    ASSERT_EQ(s.color, 0xFF4080C0u) << i;
    if (HeightmapData::hmap[i] != before.h[i])
    {
      changed++;
      ASSERT_EQ(s.surface_type(), ST_OPEN) << i; // snow is buried or washed away
      ASSERT_EQ(s.top_color, 0u) << i;
    }
  }
  EXPECT_GT(changed, 1000);

  // grass survives deposits but not erosion
  hills();
  for (int i = 0; i < HMAP_CELLS; i++)
    HeightmapData::surface[i].set_top(0xFF00FF00u, ST_GRASS);
  Snapshot grass;
  game_rnd_seed = 99;
  run_logged(3000, p);
  int kept_on_raised = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    const HeightmapData::Surface &s = HeightmapData::surface[i];
    if (HeightmapData::hmap[i] < grass.h[i])
    {
      ASSERT_EQ(s.surface_type(), ST_OPEN) << i;
    }
    kept_on_raised += HeightmapData::hmap[i] > grass.h[i] && s.surface_type() == ST_GRASS;
  }
  EXPECT_GT(kept_on_raised, 100);

  // a green-to-red reaction reddens the deposits
  hills();
  for (int i = 0; i < HMAP_CELLS; i++)
    HeightmapData::surface[i].color = 0xFF20C020u;
  p.reactions.push(make_reaction(vec4f(0, 1, 0, 0), vec4f(1, 0, 0, 0), 0.05f));
  game_rnd_seed = 99;
  run_logged(3000, p);
  int reddened = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    D3dColor c = HeightmapData::surface[i].color;
    ASSERT_GE(c.r(), 0x20);
    reddened += c.r() > 0x80 && c.g() < 0x60;
  }
  EXPECT_GT(reddened, 1000);
}

TEST(Erosion, LongPathIsCutAndItsSedimentLost)
{
  // a droplet running off a spike onto flat land with no deposition keeps its load and
  // walks on, filling 0.001 pits, until it is cut
  HeightmapData::reset();
  uint64_t seed = 31;
  int x0 = int(world_rnd_next(seed) & 255), z0 = int(world_rnd_next(seed) & 255);
  for (int z = -3; z <= 3; z++)
    for (int x = -3; x <= 3; x++)
    {
      float r = std::sqrt(float(x * x + z * z));
      if (r < 3.f)
        HeightmapData::height(x0 + x, z0 + z) = 20.f * (1.f - r / 3.f);
    }
  double before = 0, after = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
    before += HeightmapData::hmap[i];
  Params p;
  p.Kd = 0.f;
  game_rnd_seed = 31;
  std::string log = run_logged(1, p);
  EXPECT_NE(log.find("droplet #0 path is too long!"), std::string::npos) << log;
  EXPECT_NE(log.find("  1024.00 average path length, 1 long paths cut,"), std::string::npos) << log;
  for (int i = 0; i < HMAP_CELLS; i++)
    after += HeightmapData::hmap[i];
  EXPECT_LT(after, before - 0.5); // what it still carried is gone
}

TEST(Erosion, ReactionIntegration)
{
  Reaction green_to_red = make_reaction(vec4f(0, 1, 0, 0), vec4f(1, 0, 0, 0), 0.01f);
  // green runs out after 1/k; the step stops exactly there and the rest does nothing
  vec4f c = run_color_reactions(vec4f(0.2f, 0.5f, 0.1f, 1.f), &green_to_red, 1, 100.f);
  EXPECT_FLOAT_EQ(c.x, 0.7f);
  EXPECT_EQ(c.y, 0.f);
  EXPECT_EQ(c.z, 0.1f);
  EXPECT_EQ(c.w, 1.f);
  // a short time: one explicit step of length T
  c = run_color_reactions(vec4f(0.2f, 0.5f, 0.1f, 1.f), &green_to_red, 1, 10.f);
  EXPECT_FLOAT_EQ(c.x, 0.2f + 0.5f * 0.1f);
  EXPECT_FLOAT_EQ(c.y, 0.5f - 0.5f * 0.1f);

  // a decreasing channel already at 0: every step is 0 long, nothing changes
  Reaction drain = make_reaction(vec4f(1, 0, 0, 0), vec4f(1, -1, 0, 0), 1.f);
  c = run_color_reactions(vec4f(0.6f, 0.f, 0.3f, 1.f), &drain, 1, 100.f);
  EXPECT_EQ(c, vec4f(0.6f, 0.f, 0.3f, 1.f));

  // second order in red, first in blue: rate * r^2 * b
  Reaction rb = make_reaction(vec4f(2, 0, 1, 0), vec4f(2, 0, 1, 0) + vec4f(0, 0, 0, 1), 0.1f);
  c = run_color_reactions(vec4f(0.5f, 0.f, 0.4f, 0.f), &rb, 1, 1.f);
  EXPECT_FLOAT_EQ(c.w, 0.1f * 0.25f * 0.4f);
  // negative orders count as 0
  Reaction neg = green_to_red;
  neg.order[1] = -3;
  c = run_color_reactions(vec4f(0.f, 0.5f, 0.f, 0.f), &neg, 1, 10.f);
  EXPECT_FLOAT_EQ(c.x, 0.1f);

  // no reactions or no time: unchanged
  c = run_color_reactions(vec4f(0.3f, 0.3f, 0.3f, 1.f), nullptr, 0, 100.f);
  EXPECT_EQ(c, vec4f(0.3f, 0.3f, 0.3f, 1.f));
  c = run_color_reactions(vec4f(0.3f, 0.3f, 0.3f, 1.f), &green_to_red, 1, 0.f);
  EXPECT_EQ(c, vec4f(0.3f, 0.3f, 0.3f, 1.f));
}

TEST(Erosion, NoErosionRateLeavesColoursDefined)
{
  // Kr = 0: every brush weight is 0 and no sediment is carried; the sediment colour
  // must stay a number rather than 0/0
  hills();
  for (int i = 0; i < HMAP_CELLS; i++)
    HeightmapData::surface[i].color = 0xFF7F6F5Fu;
  Params p = dev_key_params();
  p.Kr = 0.f;
  game_rnd_seed = 3;
  std::string log = run_logged(2000, p);
  EXPECT_EQ(log.find("nan"), std::string::npos) << log;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_TRUE(std::isfinite(HeightmapData::hmap[i]));
    ASSERT_EQ(HeightmapData::surface[i].color, 0xFF7F6F5Fu) << i; // nothing carried, nothing changes colour
  }
}

} // namespace
