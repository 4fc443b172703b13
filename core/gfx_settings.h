#pragma once
#include "engine_api.h"

// The graphics settings. parse_options sets them from the stored settings and the
// switches at start-up, the shell's keys and the module's options toggle some while
// running; the renderer reads gfx_quality when it starts and the rest every frame.

// The two quality levels, the values of gfx_quality and indices of gfx_quality_name.
constexpr int GFX_QUALITY_LOW = 0;  // forward pipeline
constexpr int GFX_QUALITY_HIGH = 1; // deferred lighting
extern ENGINE_API int gfx_quality;
extern ENGINE_API const char *gfx_quality_name[]; // "low", "high", null

extern ENGINE_API int land_shadow_quality; // 0..2, Shift+F5 cycles it
extern ENGINE_API bool use_postfx;
extern ENGINE_API bool use_ppaa;
extern ENGINE_API bool use_obj_shadows;
extern ENGINE_API bool use_fog;
extern ENGINE_API bool use_wireframe;
// Presentation interval: vsync on when set; the device reads it at init and every resize.
extern ENGINE_API bool app_use_vsync;
// Frame-latency limit of the device: at most two frames in flight when set.
extern ENGINE_API bool d3d_limit_buffered_frames;
