#pragma once
// The script class "HmapMask" (a world-sized grid of floats, world/hmap_mask.h) and the
// world functions that take masks.
#include <squirrel.h>
#include "core/engine_api.h"
#include "world/hmap_mask.h"

// The class, "apply_height_mask", "apply_water_mask", "repaint_land",
// "recolor_by_height" and "recolor_land4".
ENGINE_API void bind_hmap_mask(HSQUIRRELVM vm);
