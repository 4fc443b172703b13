#pragma once
#include "core/engine_api.h"
#include "world/heightmap.h"

// Droplet erosion: HeightmapData::genDropletErosion and HeightmapData::ErosionParams
// are declared with the world grids (world/heightmap.h); this header adds what the
// erosion shares with its callers and tests.

// Integrates the colour reactions dc/dt = sum of rate * r^order.r * g^order.g *
// b^order.b * a^order.a from c over the time T in at most 10 explicit steps, each
// ending no later than the moment the first decreasing channel reaches 0. Orders of 0
// or below count as a factor 1. Returns c unchanged when there are no reactions or
// T <= 0.
ENGINE_API vec4f run_color_reactions(vec4f c, const HeightmapData::ErosionReaction *reactions, int count, float T);
