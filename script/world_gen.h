#pragma once
// The functions bound into the world script VM for building the island: the seeded
// random generator and colour helpers (shared with the effects VM), the terrain
// generators and tools, noise, and the integer constants scripts compile against.
#include <squirrel.h>
#include "core/engine_api.h"
#include "core/vec4f.h"
#include "world/heightmap.h"

// "hmrnd" .. "make_dir_xz": random numbers from game_rnd_seed (effects_stream: from
// fx_rnd_seed, for a VM whose work is only seen), colour mixing and conversion,
// directions. Registered into every VM that shapes or draws things.
ENGINE_API void bind_rnd_color_funcs(HSQUIRRELVM vm, bool effects_stream = false);
// The generators, tools and noise functions of the world script.
ENGINE_API void bind_world_gen_funcs(HSQUIRRELVM vm);
// HMAP_SIZE, GT_*, ST_*, MARK_*, DEMO into the constant table; before any compile.
ENGINE_API void bind_world_consts(HSQUIRRELVM vm);

// Fills params from a script table at stack index idx (null keeps every default).
// Missing keys keep their defaults; a present key with a non-number raises.
ENGINE_API void read_erosion_params(HSQUIRRELVM vm, SQInteger idx, HeightmapData::ErosionParams &params);
