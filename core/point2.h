#pragma once

// A point on the ground plane, used by the terrain generators.
struct Point2
{
  float x, z;
};
static_assert(sizeof(Point2) == 8);
