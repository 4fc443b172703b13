#pragma once
// The TGA reader's parser: uncompressed 32-bit true colour only. No GL here.
#include <cstddef>
#include <cstdint>
#include "core/dyn_array.h"

// False with *error set ("unsupported TGA format", "zero-sized TGA image", or a read
// error for a file shorter than its pixels).
bool parse_tga(const uint8_t *data, size_t size, int &width, int &height, DynArray<uint32_t> &pixels,
               const char **error);
