// What the module uses of the program: its headers, and stand-ins for the parts of the
// program that are not built yet (each switches to the real header once it exists).
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


// The land heights. Until the world's header is part of the program the grid is reached
// through a weak declaration of the one symbol the module reads: without a world linked
// into the program it is null and the land is flat.
#if __has_include("world/heightmap.h")
#include "world/heightmap.h"
inline const float *land_heights() { return HeightmapData::hmap; }
#else
// HeightmapData::hmap, referenced weakly by its linker name.
extern float weak_land_hmap[65536] __asm__("_ZN13HeightmapData4hmapE") __attribute__((weak));
inline const float *land_heights()
{
  const float *h = weak_land_hmap;
  asm("" : "+r"(h)); // the symbol may be absent: keep the null test
  return h;
}
#endif
