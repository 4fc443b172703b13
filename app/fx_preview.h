#pragma once
// Scripted effect previews (-fx N:NAME): after update N the effects script's NAME runs at
// the land point under the centre of the view, so a modder sees an effect without
// playing.
#include "core/matrix44.h"
#include "core/vec4f.h"

// Where the camera's centre ray (camera = its world matrix) first meets the height map
// or the water over it, within 512 units; 30 units ahead when it meets nothing.
vec4f view_land_point(const Matrix44 &camera);

// Runs the previews due after this update: call_fx_script(name, land point, (0, 1, 0, 0),
// the camera's forward vector, 1).
void run_fx_previews(int update);
