#pragma once
#include <cstdint>
#include "engine_api.h"

// The reference clock: 10 MHz ticks from CLOCK_MONOTONIC. All time arithmetic is on
// 64-bit tick counts; only the final conversions give int ms/us or float seconds.
ENGINE_API int64_t get_ref_time();
ENGINE_API int64_t get_ref_frequency();
ENGINE_API int get_time_msec(int64_t ticks);  // ticks * 1000 / frequency
ENGINE_API int get_time_usec(int64_t ticks);  // ticks * 1000000 / frequency
ENGINE_API float get_time_sec(int64_t ticks); // ticks * seconds-per-tick

// Tests and replays may substitute the clock; null restores the real one.
using RefTimeFn = int64_t (*)();
ENGINE_API void set_ref_time_source(RefTimeFn fn);
