#pragma once
#include <cstdint>
#include "dyn_array.h"
#include "engine_api.h"
#include "temp_string.h"

// The program directory with a trailing "/", or empty when it cannot be determined.
// Written once at start-up, read everywhere.
extern ENGINE_API char app_path[260];

// Full path of the running executable; false on failure or when it fills the buffer.
ENGINE_API bool get_exe_filename(char *buf, int size);
// The same, cut after the last "/" (which remains).
ENGINE_API bool get_exe_path(char *buf, int size);
// Resolves a name against app_path. Names starting with "/" or "\" are absolute; every
// "\" becomes "/"; "." and ".." are folded lexically, so paths that do not exist yet
// resolve too. A null name gives app_path itself.
ENGINE_API TempString<260> make_full_path(const char *name);
// Modification time in nanoseconds, 0 when the file does not exist: two saves within one
// second differ. Compare only with other results of this function.
ENGINE_API int64_t get_file_time(const char *path);
// Reads the whole file into out (cleared first). False when it cannot be opened or a read
// fails; opened then tells which, and out holds what was read before the failure.
ENGINE_API bool read_whole_file(const char *path, DynArray<uint8_t> &out, bool *opened = nullptr);
