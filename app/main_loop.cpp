#include "main_loop.h"
#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>
#include "core/clock.h"
#include "core/frame_stats.h"
#include "core/globals.h"
#include "input.h"

// The update schedule. update_period is never below 1 tick.
static int64_t update_period = 10000000 / 20;
static int max_catchup_steps = 5;
static int64_t last_update_time = 0; // scheduled time of the latest update, advances by whole periods
static std::atomic<bool> quit_flag{false}; // also set from the quit-signal handler
static bool lockstep = false;
static bool lockstep_paced = false;

static int frame_limit = 0;
static std::vector<int> frame_intervals_us; // every presented frame while a limit is set

void set_update_rate(int rate, int max_steps)
{
  if (rate < 1)
    rate = 1;
  if (max_steps < 0)
    max_steps = 0;
  update_period = get_ref_frequency() / rate;
  if (update_period < 1)
    update_period = 1;
  max_catchup_steps = max_steps;
}

int64_t get_update_period() { return update_period; }
void reset_update_time() { last_update_time = get_ref_time(); }

void set_lockstep(bool on) { lockstep = on; }
void set_lockstep_pacing(bool on) { lockstep_paced = on; }

void request_quit() { quit_flag = true; }
bool quit_requested() { return quit_flag; }
void reset_quit_request() { quit_flag = false; }

void set_frame_limit(int n)
{
  frame_limit = n > 0 ? n : 0;
  frame_intervals_us.clear();
  frame_intervals_us.reserve(size_t(frame_limit) + 1); // nothing allocates inside the loop
}

// The last five intervals between presented frames, oldest first, with their exact sum.
struct RecentFrames
{
  int64_t interval[5] = {};
  int64_t sum = 0;

  void push(int64_t v)
  {
    sum += v - interval[0];
    memmove(interval, interval + 1, sizeof(interval) - sizeof(interval[0]));
    interval[4] = v;
  }
  int64_t expected() const { return sum / 5; }
};

// The loop's state between its steps.
struct LoopState
{
  LoopRunStats st = {};
  RecentFrames recent;
  int64_t period = 0; // update_period when the loop started
  int max_steps = 0;  // max_catchup_steps when the loop started
  int64_t last_update_duration = 0;
  int64_t last_frame_time = 0;
  int64_t last_clock_reading = 0;  // the lag's previous clock reading
  int step = 0;                    // updates run since the last drawn frame, -1 right after one
  bool drawn_since_update = false; // lockstep: a frame was drawn after the latest update
  bool frame_waiting = false;      // drawn, not yet presented
};

// What the loop does after a step.
enum class LoopNext
{
  update,
  frame,
  leave,
};

// One fixed simulation step: record the previous step's cost, messages, the update;
// then the input it saw is dropped.
static void update_step(LoopState &ls, const LoopHooks &h)
{
  FrameStats &fs = frame_stats;
  fs.update_time[fs.update_index] = get_time_usec(ls.last_update_duration);
  fs.update_index = (fs.update_index + 1) % STAT_HISTORY;
  h.process_messages();
  const int64_t update_start = get_ref_time();
  time_dt = get_time_sec(ls.period);
  time_ik = 1.f;
  h.update(time_dt);
  ls.last_update_duration = get_ref_time() - update_start;
  ls.st.updates++;
  clear_input(); // input is seen by exactly one update
}

// Presents the waiting frame and records it; false when the frame limit is reached.
static bool present_frame(LoopState &ls, const LoopHooks &h)
{
  FrameStats &fs = frame_stats;
  h.present();
  ls.frame_waiting = false;
  const int64_t now = get_ref_time();
  int64_t interval = now - ls.last_frame_time;
  if (interval < 0)
    interval = 0; // the clock went backwards; the lag moves the schedule
  fs.frame_time[fs.frame_index] = get_time_usec(interval);
  ls.recent.push(interval);
  int gpu = 0;
  fs.gpu_load[fs.frame_index] = h.get_gpu_load(gpu) ? gpu : -1;
  fs.frame_index = (fs.frame_index + 1) % STAT_HISTORY;
  fs.frames_this_second++;
  ls.st.frames++;
  if (frame_limit)
    frame_intervals_us.push_back(get_time_usec(interval));
  if (now - fs.last_second_mark >= get_ref_frequency())
  {
    fs.fps = fs.frames_this_second;
    fs.last_second_mark = now;
    fs.frames_this_second = 0;
    h.once_per_second();
  }
  return !(frame_limit && ls.st.frames >= frame_limit);
}

// Lockstep: after a drawn frame the next update, after an update a frame at t = 1. A
// frame the device did not draw is tried again before the world moves on.
static LoopNext lockstep_step(LoopState &ls, const LoopHooks &h)
{
  if (ls.drawn_since_update)
  {
    ls.drawn_since_update = false;
    const int64_t now = get_ref_time();
    if (!lockstep_paced)
      last_update_time = now;
    else
    {
      // Wait for the update's time; more than a step behind, the schedule moves to now.
      const int64_t due = last_update_time + ls.period;
      if (now < due)
        h.sleep(get_time_msec(due - now));
      last_update_time = now - due > ls.period ? now : due;
    }
    return quit_flag ? LoopNext::leave : LoopNext::update;
  }
  const int64_t now = get_ref_time();
  time_dt = get_time_sec(ls.period);
  time_ik = 1.f;
  ls.frame_waiting = h.render_frame(time_dt);
  if (ls.frame_waiting)
  {
    ls.last_frame_time = now;
    ls.drawn_since_update = true;
  }
  return quit_flag ? LoopNext::leave : LoopNext::frame;
}

// Between updates: present what was drawn, decide whether an update is due, else draw.
static LoopNext frame_step(LoopState &ls, const LoopHooks &h)
{
  if (ls.frame_waiting)
  {
    if (!present_frame(ls, h))
    {
      quit_flag = true;
      return LoopNext::leave;
    }
  }
  // A lost device: wait for half the time since the last update.
  else if (!h.check_device())
  {
    const int64_t d = get_ref_time() - last_update_time;
    if (d > 0)
      h.sleep(get_time_msec(d) / 2);
  }
  h.process_messages();
  if (lockstep)
    return lockstep_step(ls, h);
  // The lag behind the schedule. Updates run early by the expected frame cost, so the
  // schedule may lie ahead of the clock: that draws with no lag but keeps the schedule,
  // or every early update would shorten the step (30 updates a second at 60 frames).
  // Only a clock that reads earlier than before moves the schedule.
  const int64_t now = get_ref_time();
  if (now < ls.last_clock_reading)
    last_update_time = now;
  ls.last_clock_reading = now;
  const int64_t lag = now - last_update_time; // negative while the schedule is ahead
  const int64_t d = lag < 0 ? 0 : lag;
  // Update early enough that the next frame does not show a late simulation. The test
  // uses the signed lag: with the lag clamped to 0, a frame that costs more than a step
  // would make every check due and run six updates per frame, so the simulation would
  // race ahead of real time.
  if (lag + ls.recent.expected() >= ls.period)
  {
    ls.step++;
    if (ls.step <= ls.max_steps)
    {
      last_update_time += ls.period;
      return quit_flag ? LoopNext::leave : LoopNext::update;
    }
  }
  // Draw, interpolating by the lag.
  time_dt = get_time_sec(d);
  time_ik = time_dt / get_time_sec(ls.period);
  ls.frame_waiting = h.render_frame(time_dt);
  if (ls.frame_waiting)
    ls.last_frame_time = now;
  // After the catch-up limit the backlog is dropped.
  if (ls.step > ls.max_steps)
  {
    ls.step = 0;
    last_update_time = get_ref_time();
    return quit_flag ? LoopNext::leave : LoopNext::update;
  }
  ls.step = -1;
  return quit_flag ? LoopNext::leave : LoopNext::frame;
}

LoopRunStats run_main_loop(const LoopHooks &h)
{
  FrameStats &fs = frame_stats;
  LoopState ls;
  ls.period = update_period;
  ls.max_steps = max_catchup_steps;

  // Start the schedule and clear the histories.
  const int64_t loop_start = get_ref_time();
  ls.last_clock_reading = loop_start;
  last_update_time = loop_start;
  fs.last_second_mark = loop_start;
  fs.frames_this_second = 0;
  fs.frame_index = fs.update_index = 0;
  memset(fs.frame_time, 0, sizeof(fs.frame_time));
  memset(fs.update_time, 0, sizeof(fs.update_time));
  // Slots not sampled yet read as unavailable, so the overlay shows GPU rows only once
  // a backend has answered.
  for (int &g : fs.gpu_load)
    g = -1;

  LoopNext next = quit_flag ? LoopNext::leave : LoopNext::update;
  while (next != LoopNext::leave)
    if (next == LoopNext::update)
    {
      update_step(ls, h);
      next = quit_flag ? LoopNext::leave : LoopNext::frame;
    }
    else
      next = frame_step(ls, h);

  // A frame drawn last is still shown.
  LoopRunStats st = ls.st;
  if (ls.frame_waiting)
  {
    h.present();
    st.frames++;
  }
  clear_input();
  st.wall_ticks = get_ref_time() - loop_start;
  if (!frame_intervals_us.empty())
  {
    int64_t sum = 0;
    for (int v : frame_intervals_us)
      sum += v;
    st.mean_frame_us = int(sum / int64_t(frame_intervals_us.size()));
    std::vector<int> &sorted = frame_intervals_us;
    std::sort(sorted.begin(), sorted.end());
    size_t rank = (sorted.size() * 95 + 99) / 100; // nearest-rank percentile
    st.p95_frame_us = sorted[rank > 0 ? rank - 1 : 0];
  }
  return st;
}
