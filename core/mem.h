#pragma once
#include <cstddef>
#include "engine_api.h"

// The program's general-purpose allocator, exported under these names to the
// game-object module so that both sides allocate from the same heap.
extern "C" {
ENGINE_API void *dlmalloc(size_t bytes);
ENGINE_API void dlfree(void *p);
ENGINE_API void *dlrealloc(void *p, size_t bytes);
}

// Hands the heap's free pages back to the system. A world generation or a module swap
// frees a peak of tens of MB that the C heap would otherwise keep resident for good.
void release_free_heap();
