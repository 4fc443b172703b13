#include "main_loop.h"
#include "core/globals.h"
#include "core/clock.h"
#include "core/frame_stats.h"
#include "input.h"
#include <algorithm>
#include <cstring>
#include <vector>

// The update schedule. update_period is never below 1 tick.
static int64_t update_period = 10000000 / 20;
static int max_catchup_steps = 5;
static int64_t last_update_time = 0; // scheduled time of the latest update, advances by whole periods
static bool quit_flag = false;

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

LoopRunStats run_main_loop(const LoopHooks &h)
{
  FrameStats &fs = frame_stats;
  const int64_t P = update_period;
  const int M = max_catchup_steps;
  LoopRunStats st = {};
  RecentFrames recent;
  int64_t last_update_duration = 0;
  int64_t last_frame_time = 0;
  int64_t now = 0, d = 0, lag = 0;
  int64_t last_clock_reading = 0; // step 11's previous reading
  int step = 0;               // updates run since the last drawn frame, -1 right after one
  bool frame_waiting = false; // drawn, not yet presented

  // 1. Start the schedule and clear the histories.
  now = get_ref_time();
  const int64_t loop_start = now;
  last_clock_reading = now;
  last_update_time = now;
  fs.last_second_mark = now;
  fs.frames_this_second = 0;
  fs.frame_index = fs.update_index = 0;
  memset(fs.frame_time, 0, sizeof(fs.frame_time));
  memset(fs.update_time, 0, sizeof(fs.update_time));
  // Slots not sampled yet read as unavailable, so the overlay shows GPU rows only once
  // a backend has answered.
  for (int &g : fs.gpu_load)
    g = -1;
  if (quit_flag)
    goto leave;

update_step:
  // 2. Record the previous update's cost.
  fs.update_time[fs.update_index] = get_time_usec(last_update_duration);
  fs.update_index = (fs.update_index + 1) % STAT_HISTORY;
  // 3-5. Messages, then one fixed step.
  h.process_messages();
  {
    const int64_t update_start = get_ref_time();
    time_dt = get_time_sec(P);
    time_ik = 1.f;
    h.update(time_dt);
    last_update_duration = get_ref_time() - update_start;
  }
  st.updates++;
  // 6. Input is seen by exactly one update.
  clear_input();
  // 7.
  if (quit_flag)
    goto leave;

frame_step:
  // 8. Present the waiting frame and record it.
  if (frame_waiting)
  {
    h.present();
    frame_waiting = false;
    now = get_ref_time();
    int64_t interval = now - last_frame_time;
    if (interval < 0)
      interval = 0; // the clock went backwards; step 11 moves the schedule
    fs.frame_time[fs.frame_index] = get_time_usec(interval);
    recent.push(interval);
    int gpu = 0;
    fs.gpu_load[fs.frame_index] = h.get_gpu_load(gpu) ? gpu : -1;
    fs.frame_index = (fs.frame_index + 1) % STAT_HISTORY;
    fs.frames_this_second++;
    st.frames++;
    if (frame_limit)
      frame_intervals_us.push_back(get_time_usec(interval));
    if (now - fs.last_second_mark >= get_ref_frequency())
    {
      fs.fps = fs.frames_this_second;
      fs.last_second_mark = now;
      fs.frames_this_second = 0;
      h.once_per_second();
    }
    if (frame_limit && st.frames >= frame_limit)
    {
      quit_flag = true;
      goto leave;
    }
  }
  // 9. A lost device: wait for half the time since the last update.
  else if (!h.check_device())
  {
    d = get_ref_time() - last_update_time;
    if (d > 0)
      h.sleep(get_time_msec(d) / 2);
  }
  // 10.
  h.process_messages();
  // 11. The lag behind the schedule. Updates run early by the expected frame cost, so
  // the schedule may lie ahead of the clock: that draws with no lag but keeps the
  // schedule, or every early update would shorten the step (30 updates a second at
  // 60 frames). Only a clock that reads earlier than before moves the schedule.
  now = get_ref_time();
  if (now < last_clock_reading)
    last_update_time = now;
  last_clock_reading = now;
  lag = now - last_update_time; // negative while the schedule is ahead
  d = lag < 0 ? 0 : lag;
  // 12. Update early enough that the next frame does not show a late simulation. The
  // test uses the signed lag: with the lag clamped to 0, a frame that costs more than a
  // step would make every check due and run six updates per frame, so the simulation
  // would race ahead of real time.
  if (lag + recent.expected() >= P)
  {
    step++;
    if (step <= M)
    {
      last_update_time += P;
      if (quit_flag)
        goto leave;
      goto update_step;
    }
  }
  // 13-14. Draw.
  time_dt = get_time_sec(d);
  time_ik = time_dt / get_time_sec(P);
  frame_waiting = h.render_frame(time_dt);
  if (frame_waiting)
    last_frame_time = now;
  // 15. After the catch-up limit the backlog is dropped.
  if (step > M)
  {
    step = 0;
    last_update_time = get_ref_time();
    if (quit_flag)
      goto leave;
    goto update_step;
  }
  // 16-17.
  step = -1;
  if (!quit_flag)
    goto frame_step;

leave:
  // 18.
  if (frame_waiting)
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
