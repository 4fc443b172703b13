#pragma once
#include <cstdint>
#include "engine_api.h"

// Performance histories: written by the main loop, read by the statistics overlay.
constexpr int STAT_HISTORY = 200;

struct FrameStats
{
  int frame_time[STAT_HISTORY];  // us between consecutive presented frames (ring)
  int update_time[STAT_HISTORY]; // us spent in each update (ring)
  int gpu_load[STAT_HISTORY];    // percent at each presented frame, -1 = unavailable; shares frame_index
  int frame_index;               // next slot of frame_time/gpu_load, wraps 200 -> 0
  int update_index;              // next slot of update_time
  int frames_this_second;
  int fps;                  // frames of the last completed second
  int64_t last_second_mark; // ticks
};
// The program's histories: run_main_loop writes them, the shell hands them to the overlay.
extern ENGINE_API FrameStats frame_stats;
