#pragma once
#include "engine_api.h"
#include "temp_string.h"

// The folders the program writes to. Beside the program ("cache/", "shots/") while its
// directory is writable; an installed, read-only copy uses the user's folders instead:
// the shader cache in $XDG_CACHE_HOME/zarnith/ (else ~/.cache/zarnith/), screenshots in
// the pictures folder (`xdg-user-dir PICTURES`, else ~/Pictures) under zarnith/.
// Each call creates the folder (and its parents) when missing. The result ends in "/";
// it is empty when no folder can be made.
ENGINE_API TempString<260> shader_cache_dir();
ENGINE_API TempString<260> screenshot_dir();

// True while the program directory (app_path) can be written to.
ENGINE_API bool program_dir_writable();

// Creates dir and its missing parents; true when it is a folder afterwards.
ENGINE_API bool make_dirs(const char *dir);
