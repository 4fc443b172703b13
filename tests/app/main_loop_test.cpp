#include <algorithm>
#include <gtest/gtest.h>
#include <vector>
#include "app/device_link.h"
#include "app/input.h"
#include "app/main_loop.h"
#include "core/clock.h"
#include "core/frame_stats.h"
#include "core/globals.h"

// The loop on a fake clock: every hook advances the time by what it "costs".
namespace
{
const int64_t MS = 10000; // ticks per millisecond

struct Fake
{
  int64_t now = 1000 * MS;
  int64_t update_cost = MS / 2, render_cost = MS, present_cost = 0;
  bool device_ok = true;
  int renders_to_run = 100;
  int renders = 0, updates = 0, presents = 0, seconds = 0;
  std::vector<int> updates_before_render; // updates since the previous render, per render
  int updates_since_render = 0;
  std::vector<float> draw_dt, draw_ik;
  std::vector<int> sleeps;
  void (*on_messages)() = nullptr;
  void (*on_update)() = nullptr;
  void (*on_render)() = nullptr;
} fake;

int64_t fake_time() { return fake.now; }

void messages()
{
  if (fake.on_messages)
    fake.on_messages();
}

void update(float dt)
{
  EXPECT_FLOAT_EQ(dt, 0.05f);
  EXPECT_EQ(time_ik, 1.f);
  fake.updates++;
  fake.updates_since_render++;
  if (fake.on_update)
    fake.on_update();
  fake.now += fake.update_cost;
}

bool check_device() { return fake.device_ok; }

bool render(float dt)
{
  fake.renders++;
  fake.updates_before_render.push_back(fake.updates_since_render);
  fake.updates_since_render = 0;
  fake.draw_dt.push_back(dt);
  fake.draw_ik.push_back(time_ik);
  if (fake.on_render)
    fake.on_render();
  fake.now += fake.render_cost;
  if (fake.renders >= fake.renders_to_run)
    request_quit();
  return fake.device_ok;
}

void present()
{
  fake.presents++;
  fake.now += fake.present_cost;
}

bool no_gpu(int &) { return false; }
void sleep_ms(int ms)
{
  fake.sleeps.push_back(ms);
  fake.now += ms * MS;
}
void second() { fake.seconds++; }

const LoopHooks hooks = {messages, update, check_device, render, present, no_gpu, sleep_ms, second};

class MainLoop : public ::testing::Test
{
protected:
  void SetUp() override
  {
    fake = Fake{};
    set_ref_time_source(fake_time);
    set_update_rate(20, 5);
    set_frame_limit(0);
    set_lockstep(false);
    reset_quit_request();
    init_input(nullptr);
    clear_input();
    standin_set_size(640, 360);
  }
  void TearDown() override
  {
    set_ref_time_source(nullptr);
    set_lockstep(false);
    set_lockstep_pacing(false);
    reset_quit_request();
  }
};
} // namespace

TEST_F(MainLoop, SlowRendererGetsSixUpdatesPerFrameThenTheBacklogIsDropped)
{
  fake.render_cost = 350 * MS;
  fake.renders_to_run = 12;
  run_main_loop(hooks);
  ASSERT_EQ(fake.renders, 12);
  // The first frame comes after the first update; once the expected frame cost has
  // filled its five-frame window, every frame waits for exactly six updates (counter
  // values 0 to 5). Before that the cost is still ramping up and fewer may run.
  EXPECT_EQ(fake.updates_before_render[0], 1);
  for (int i = 2; i < 6; i++)
  {
    EXPECT_GE(fake.updates_before_render[i], 1) << "frame " << i;
    EXPECT_LE(fake.updates_before_render[i], 6) << "frame " << i;
  }
  for (int i = 6; i < fake.renders; i++)
    EXPECT_EQ(fake.updates_before_render[i], 6) << "frame " << i;
  // The schedule was reset to the present: the lag drawn never piles up.
  for (size_t i = 2; i < fake.draw_dt.size(); i++)
    EXPECT_LT(fake.draw_dt[i], 0.3f) << "frame " << i;
}

// A frame that costs more than a step but less than the catch-up limit must not make
// every check due: the simulation keeps to 20 steps per second of real time.
TEST_F(MainLoop, RendererSlowerThanAStepKeepsRealTime)
{
  fake.render_cost = 80 * MS;
  fake.renders_to_run = 125; // 10 s
  const int64_t start = fake.now;
  run_main_loop(hooks);
  double seconds = double(fake.now - start) / double(get_ref_frequency());
  EXPECT_NEAR(fake.updates / seconds, 20.0, 1.0) << fake.updates << " updates in " << seconds << " s";
}

TEST_F(MainLoop, FastRendererRunsTwentyUpdatesPerSecond)
{
  fake.renders_to_run = 10000; // 1 ms each: 10 s of simulated time
  run_main_loop(hooks);
  const int64_t simulated = fake.now - 1000 * MS;
  EXPECT_NEAR(double(fake.updates), double(simulated) / (50.0 * MS), 1.5);
  EXPECT_GE(fake.seconds, 9);
  EXPECT_GT(frame_stats.fps, 500);
  double sum = 0;
  for (float ik : fake.draw_ik)
  {
    EXPECT_GE(ik, 0.f);
    EXPECT_LT(ik, 1.f);
    sum += ik;
  }
  double mean = sum / double(fake.draw_ik.size());
  EXPECT_GT(mean, 0.3);
  EXPECT_LT(mean, 0.7);
  // Histories: the frame interval is the render plus nothing else, updates cost 0.5 ms.
  EXPECT_EQ(frame_stats.update_time[(frame_stats.update_index + STAT_HISTORY - 1) % STAT_HISTORY], 500);
  int last_frame = (frame_stats.frame_index + STAT_HISTORY - 1) % STAT_HISTORY;
  EXPECT_GE(frame_stats.frame_time[last_frame], 1000);
  EXPECT_EQ(frame_stats.gpu_load[last_frame], -1);
}

TEST_F(MainLoop, SixtyHertzRendererStillRunsTwentyUpdatesPerSecond)
{
  // Updates run early by the expected frame cost; that must not shorten the step.
  fake.render_cost = 166667;
  fake.renders_to_run = 600;
  run_main_loop(hooks);
  const int64_t simulated = fake.now - 1000 * MS;
  EXPECT_NEAR(double(fake.updates), double(simulated) / (50.0 * MS), 1.5);
}

TEST_F(MainLoop, BackwardsClockDrawsWithZeroLagAndMovesTheSchedule)
{
  fake.renders_to_run = 400;
  fake.on_render = [] {
    if (fake.renders == 200)
      fake.now -= 5000 * MS; // five seconds back
  };
  run_main_loop(hooks);
  ASSERT_GT(fake.draw_dt.size(), 201u);
  EXPECT_EQ(fake.draw_dt[200], 0.f);
  EXPECT_EQ(fake.draw_ik[200], 0.f);
  // No update storm to catch up, no five-second freeze: updates resume 50 ms later.
  for (size_t i = 201; i < fake.updates_before_render.size(); i++)
    EXPECT_LE(fake.updates_before_render[i], 1);
  int updates_after = 0;
  for (size_t i = 201; i < fake.updates_before_render.size(); i++)
    updates_after += fake.updates_before_render[i];
  EXPECT_NEAR(updates_after, 199 / 50.0, 1.5);
}

static int posted_since_update = 0, updates_seeing = 0, mismatches = 0, message_calls = 0;

TEST_F(MainLoop, EachKeyPressIsSeenByExactlyOneUpdate)
{
  posted_since_update = updates_seeing = mismatches = message_calls = 0;
  fake.renders_to_run = 2000;
  fake.on_messages = [] {
    if (++message_calls % 7 == 0)
    {
      post_input_event(IEV_KEY_DOWN, 'K', 0, 0, 0, 0);
      posted_since_update++;
    }
  };
  fake.on_update = [] {
    // The flag and the queue hold exactly the presses since the previous update.
    int events = 0;
    InputEvent ev;
    while (getEvent(ev))
      events++;
    mismatches += keyDown('K') != (posted_since_update > 0) || events != posted_since_update;
    updates_seeing += posted_since_update > 0;
    posted_since_update = 0;
  };
  run_main_loop(hooks);
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(updates_seeing, 10);
  EXPECT_FALSE(keyDown('K')); // leaving the loop discards what is left
  InputEvent ev;
  EXPECT_FALSE(getEvent(ev));
}

TEST_F(MainLoop, KeyPressVisibleDuringOneUpdateOnly)
{
  static std::vector<bool> seen;
  seen.clear();
  fake.renders_to_run = 300;
  fake.on_render = [] {
    if (fake.renders == 20)
      post_input_event(IEV_KEY_DOWN, 'K', 0, 0, 0, 0); // between two updates
  };
  fake.on_update = [] { seen.push_back(keyDown('K')); };
  run_main_loop(hooks);
  int count = 0;
  for (bool s : seen)
    count += s;
  EXPECT_EQ(count, 1);
}

TEST_F(MainLoop, LostDeviceSleepsHalfTheLagAndKeepsUpdating)
{
  fake.device_ok = false;
  fake.renders_to_run = 300;
  run_main_loop(hooks);
  EXPECT_EQ(fake.presents, 0);
  ASSERT_FALSE(fake.sleeps.empty());
  int longest = 0;
  for (int ms : fake.sleeps)
    longest = std::max(longest, ms);
  EXPECT_GE(longest, 10);
  EXPECT_LE(longest, 25); // half of a lag that stays below one period
  const int64_t simulated = fake.now - 1000 * MS;
  EXPECT_NEAR(double(fake.updates), double(simulated) / (50.0 * MS), 1.5);
}

TEST_F(MainLoop, FrameLimitStopsAfterThatManyPresentsAndReportsTimes)
{
  set_frame_limit(50);
  fake.renders_to_run = 1000000;
  fake.render_cost = 2 * MS;
  LoopRunStats st = run_main_loop(hooks);
  EXPECT_EQ(st.frames, 50);
  EXPECT_EQ(fake.presents, 50);
  EXPECT_EQ(st.updates, fake.updates);
  EXPECT_GE(st.mean_frame_us, 2000);
  EXPECT_LT(st.mean_frame_us, 3000);
  EXPECT_GE(st.p95_frame_us, st.mean_frame_us);
  EXPECT_EQ(st.wall_ticks, fake.now - 1000 * MS);
  set_frame_limit(0);
}

// Lockstep: one update before each frame, slow or fast renderer, and the frame shows
// the latest update (t = 1); a frame the device skipped is drawn again first.
TEST_F(MainLoop, LockstepRunsOneUpdatePerDrawnFrame)
{
  set_lockstep(true);
  for (int64_t cost : {350 * MS, 1 * MS})
  {
    fake = Fake{};
    fake.render_cost = cost;
    fake.renders_to_run = 30;
    run_main_loop(hooks);
    reset_quit_request();
    ASSERT_EQ(fake.renders, 30);
    for (int i = 0; i < fake.renders; i++)
    {
      EXPECT_EQ(fake.updates_before_render[i], 1) << "frame " << i << " at cost " << cost;
      EXPECT_FLOAT_EQ(fake.draw_dt[i], 0.05f);
      EXPECT_EQ(fake.draw_ik[i], 1.f);
    }
  }
  fake = Fake{};
  fake.renders_to_run = 10;
  fake.on_render = [] { fake.device_ok = fake.renders % 3 != 0; }; // every third frame is skipped
  run_main_loop(hooks);
  EXPECT_EQ(fake.presents, 7);
  EXPECT_EQ(fake.updates, fake.presents); // one update per frame drawn, none per frame skipped
}

// Paced lockstep: still one update per drawn frame, but a fast renderer waits for each
// update's time (20 a second, no drift); a slow one runs them as fast as it can, without
// catching up afterwards.
TEST_F(MainLoop, PacedLockstepRunsAtTheUpdateRate)
{
  static std::vector<int64_t> update_times;
  set_lockstep(true);
  set_lockstep_pacing(true);
  for (int64_t cost : {1 * MS, 120 * MS})
  {
    fake = Fake{};
    update_times.clear();
    fake.render_cost = cost;
    fake.renders_to_run = 40;
    fake.on_update = [] { update_times.push_back(fake.now); };
    run_main_loop(hooks);
    reset_quit_request();
    ASSERT_EQ(fake.renders, 40);
    for (int i = 0; i < fake.renders; i++)
      ASSERT_EQ(fake.updates_before_render[i], 1) << "frame " << i;
    ASSERT_GE(update_times.size(), 40u);
    const int64_t span = update_times.back() - update_times.front();
    const int64_t steps = int64_t(update_times.size()) - 1;
    if (cost < 50 * MS)
    {
      EXPECT_GE(span, steps * 50 * MS - 2 * MS) << "a fast renderer waits for each update";
      EXPECT_LE(span, steps * 50 * MS + 2 * MS) << "and the waits do not add up to a drift";
      EXPECT_FALSE(fake.sleeps.empty());
    }
    else
    {
      EXPECT_TRUE(fake.sleeps.empty()) << "a slow renderer never waits";
      // After the slow frame the next update does not come early to catch up.
      for (size_t i = 1; i < update_times.size(); i++)
        EXPECT_GE(update_times[i] - update_times[i - 1], cost);
    }
  }
  set_lockstep_pacing(false);
}
