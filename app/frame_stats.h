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
  int fps;                       // frames of the last completed second
  int64_t last_second_mark;      // ticks
};
extern ENGINE_API FrameStats frame_stats;

// The simulation step in ticks (frequency / rate, at least 1).
ENGINE_API int64_t get_update_period();

// GPU activity query (optional: NVML, else amdgpu sysfs). Without a backend
// get_gpu_load returns false and the overlay hides the GPU rows.
ENGINE_API void init_gpu_load();
ENGINE_API void close_gpu_load();
ENGINE_API bool get_gpu_load(int &percent);

// Draws the statistics overlay; implemented by the text renderer (ui/), called by
// draw_frame between the begin and end of text drawing while show_fps is set.
ENGINE_API void draw_stats_overlay();
