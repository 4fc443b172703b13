#pragma once
// The world in the grids as pictures and a summary, for looking at islands and for tests
// (-export-world DIR; export_world in script/world_script.h generates and writes it).
//   height.png  16-bit grey, heights normalised to the range in world.json
//   color.png   ground colour with the surface layer blended over it by its alpha
//   water.png   the land in grey, water in blue by depth
//   marks.png   placement marks: red object, green place, blue house, cyan water
//   world.json  seed, world name, generation time, height range, cell counts
#include <cstdint>
#include "core/engine_api.h"

// The cells whose height, target height or water depth is not a finite number (a
// script's division by zero, say); such a world cannot be exported.
ENGINE_API int count_non_finite_cells();
// Writes the five files for the world now in the grids. False (with a log line) when a
// file cannot be written, or nothing written when the grids hold non-finite values.
// extra_json, when given, is one more member of world.json's object ("name": value,
// without the separating comma).
ENGINE_API bool write_world_files(const char *dir, const char *world_name, uint64_t seed, int gen_ms,
                                  const char *extra_json = nullptr);
