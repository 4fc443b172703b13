#pragma once
// -export-world DIR: generates the "game" world without a window or device and writes
// what it built as pictures and a summary, for looking at islands and for tests.
//   height.png  16-bit grey, heights normalised to the range in world.json
//   color.png   ground colour with the surface layer blended over it by its alpha
//   water.png   the land in grey, water in blue by depth
//   marks.png   placement marks: red object, green place, blue house, cyan water
//   world.json  seed, world name, generation time, height range, cell counts
#include <cstdint>
#include "core/engine_api.h"

// Writes the five files for the world now in the grids. False (with a log line) when a
// file cannot be written.
ENGINE_API bool write_world_files(const char *dir, const char *world_name, uint64_t seed, int gen_ms);
// The whole switch: world VM, generation with the current game_rnd_seed, the files.
// Returns the process exit code: 0 on success, 1 when the script or a file failed.
ENGINE_API int export_world(const char *dir);
