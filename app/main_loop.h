#pragma once
#include <cstdint>
#include "core/engine_api.h"

// What the main loop calls; entries are never null. Start-up fills it with the platform
// and the render device; tests fill it with fakes (and substitute the clock with
// set_ref_time_source). The defaults are a loop without window or device.
struct LoopHooks
{
  void (*process_messages)() = [] {};      // process_window_messages
  void (*update)(float dt) = [](float) {}; // update_game
  // check_d3d_device: false while the device is lost.
  bool (*check_device)() = [] { return true; };
  // render_d3d_frame: true when a frame waits to be presented.
  bool (*render_frame)(float dt) = [](float) { return false; };
  void (*present)() = [] {}; // present_d3d
  bool (*get_gpu_load)(int &percent) = [](int &) { return false; };
  void (*sleep)(int ms) = [](int) {};
  void (*once_per_second)() = [] {}; // shader reload, then check_file_changes
};

// Fixed-rate schedule: rate updates per second (at least 1), at most max_steps + 1
// updates between two drawn frames (max_steps at least 0).
ENGINE_API void set_update_rate(int rate, int max_steps);
// The simulation step in ticks (frequency / rate, at least 1).
ENGINE_API int64_t get_update_period();
// Moves the schedule to now, so that a long stall is not caught up with.
ENGINE_API void reset_update_time();

// Ends the loop after the current step (the window's quit message, -frames).
ENGINE_API void request_quit();
bool quit_requested();
void reset_quit_request();

// Lockstep: exactly one update before every drawn frame, whatever the clock says, and
// frames drawn with the latest update's state (t = 1). Scripted runs use it so that
// frame N shows the world after update N on any renderer, however slow.
void set_lockstep(bool on);
// Lockstep at the update rate: an update waits until its time on the schedule (a frame
// that took longer is not caught up with), so a person can play a recorded session at
// the real speed. Off: as fast as the frames go.
void set_lockstep_pacing(bool on);

// Quit after n presented frames (0: no limit), recording every frame interval so that
// run_main_loop can report the mean and 95th percentile.
void set_frame_limit(int n);

struct LoopRunStats
{
  int frames; // presented frames
  int updates;
  int64_t wall_ticks; // from entering the loop to leaving it
  int mean_frame_us;  // over every presented frame (with a frame limit only)
  int p95_frame_us;
};
// Runs the loop until the quit flag is set.
LoopRunStats run_main_loop(const LoopHooks &hooks);
