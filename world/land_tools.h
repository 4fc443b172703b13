#pragma once
// The land between cell centres: reading it at any point and shaping it in discs. Every
// coordinate wraps with the grid.
#include "core/engine_api.h"
#include "world/heightmap.h"

// Bilinear in the height grid at (x, z).
ENGINE_API float hmap_land_height(float x, float z);

// Pulls the heights in the disc of radius r around (x, z) toward height by
// strength * (1 - (d2 / r^2)^exponent); r <= 0 does nothing, radii above 1024 count as
// 1024.
ENGINE_API void flatten_circle(float x, float z, float r, float height, float strength, float exponent);
// The mean of centre_height and every cell height inside the disc (radii as above; below
// 0 counts as 0). Scripts pass the module's land height at (x, z).
ENGINE_API float get_average_circle_height(float x, float z, float r, float centre_height);
