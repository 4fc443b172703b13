#pragma once
// The world hash of record and replay: one 64-bit number over everything the simulation
// carries from one update to the next that a replay must reproduce.
#include <cstdint>

// The grids (heights, target heights, water, surfaces with their marks), the random
// state, then the module's objects through its "hash_gameobj_state". with_objects tells
// whether the module took part (older modules have no such export: grids only).
uint64_t world_state_hash(bool *with_objects = nullptr);

// The hash of the program file and the loaded module file: what a record file calls its
// build. 0 parts stand in for files that cannot be read.
uint64_t program_build_id();
