#pragma once
#include <cstdint>
#include "core/engine_api.h"

struct FrameStats;

// Frame and update time graphs along the top edge and a panel of minimum, average and
// maximum values in the bottom-right corner, for the histories fs and the simulation step
// update_period (ticks). Drawn inside the caller's start_draw_text / end_draw_text.
ENGINE_API void draw_stats_overlay(const FrameStats &fs, int64_t update_period);
