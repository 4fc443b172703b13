#pragma once
#include "core/engine_api.h"

// A built-in house: w x h cells, three character maps given as rows, the first row
// being the largest z (the map is drawn with +z upward), characters by increasing x.
//  heights: (h + 1) rows of (w + 1) vertex characters; digit k = k * height_scale / 9
//           above the base, anything else leaves the vertex alone;
//  tiles:   h rows of w cell characters; 'a'..'z' puts house tile (letter - 'a');
//  values:  h rows of w; the cell's house_rot becomes the character code & 7.
struct HouseDef
{
  int w, h;
  float height_scale;
  const char *const *heights;
  const char *const *tiles;
  const char *const *values;
};

constexpr int HOUSE_DEF_COUNT = 4;
extern ENGINE_API const HouseDef house_defs[HOUSE_DEF_COUNT];

// The entry placeHouse uses for a house type: 0 for -1, else 1 + (type mod 3), the type
// taken as unsigned.
inline int house_def_index(int type) { return type == -1 ? 0 : 1 + int(unsigned(type) % 3u); }
