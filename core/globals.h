#pragma once
#include <cstdint>
#include "engine_api.h"

// The one 64-bit random state of the game: set from the clock (or -seed) at start-up,
// may be set by the world script, advanced by every draw of the world's generator.
extern ENGINE_API uint64_t game_rnd_seed;
// The random state of what is only seen (particles, lightning bolts, the water's flow
// pattern, the effects script): never drawn from the simulation's game_rnd_seed, so the
// world plays the same whatever is drawn, at any quality, size or frame rate.
extern ENGINE_API uint64_t fx_rnd_seed;

// The simulation's fixed rate: the main loop runs this many updates a second.
constexpr int UPDATE_RATE = 20;
// The fraction of a simulation step that dt seconds are (1 for a whole step).
inline float update_fraction(float dt) { return dt * float(UPDATE_RATE); }

// Current simulation step in seconds and the interpolation factor: (period, 1.0) during
// an update; (time since the last update, that / period) while drawing.
extern ENGINE_API float time_dt;
extern ENGINE_API float time_ik;

// Kept by the window procedure.
extern ENGINE_API bool isAppActive;
extern ENGINE_API bool isFullscreen;

// The help text and statistics overlay are shown (F1).
extern ENGINE_API bool show_fps;
