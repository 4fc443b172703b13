#pragma once
#include "core/engine_api.h"

// GPU activity query (optional: NVML, else amdgpu sysfs). Without a backend
// get_gpu_load returns false and the overlay hides the GPU rows.
ENGINE_API void init_gpu_load();
ENGINE_API void close_gpu_load();
ENGINE_API bool get_gpu_load(int &percent);
