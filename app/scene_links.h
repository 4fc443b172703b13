#pragma once
// The renderer's frame operations as the shell calls them: the sky, the terrain and
// water renderer and the scene pipeline.
#include "render/land_render.h"
#include "render/scene_render.h"
#include "render/sky.h"
