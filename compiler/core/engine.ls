// What the module uses of the program: its headers.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include "core/globals.h"
#include "core/clock.h"
#include "app/input.h"
#include "core/log.h"
#include "core/matrix44.h"
#include "core/vec4f.h"
#include "gameobj/gameobj.h"
#include "gameobj/gameobj_funcs.h"

#define GAMEOBJ_EXPORT extern "C" __attribute__((visibility("default")))

// The land heights: the world's grid, which the module links against directly.
#include "world/heightmap.h"
inline const float *land_heights() { return HeightmapData::hmap; }
