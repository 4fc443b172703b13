// Where an effect preview happens: the first point of the view's centre ray on the land
// or on the water over it.
#include <cmath>
#include <gtest/gtest.h>
#include "app/fx_preview.h"
#include "world/heightmap.h"

namespace
{
using Hm = HeightmapData;

// A camera at pos looking along the unit direction fwd.
Matrix44 camera_at(vec4f pos, vec4f fwd)
{
  Matrix44 m = Matrix44::identity();
  vec4f right = normalize3(cross3(vec4f(0.f, 1.f, 0.f, 0.f), fwd));
  m.setRow(0, right);
  m.setRow(1, cross3(fwd, right));
  m.setRow(2, fwd);
  m.setRow(3, pos);
  return m;
}
} // namespace

TEST(FxPreview, CentreRayMeetsLandWaterOrNothing)
{
  Hm::reset();
  for (int i = 0; i < HMAP_CELLS; i++)
    Hm::hmap[i] = 5.f;
  const vec4f down45 = normalize3(vec4f(0.f, -1.f, 1.f, 0.f));
  vec4f p = view_land_point(camera_at(vec4f(100.f, 25.f, 100.f, 1.f), down45));
  EXPECT_NEAR(p.y, 5.f, 1e-3f);
  EXPECT_NEAR(p.z, 120.f, 0.01f);
  EXPECT_NEAR(p.x, 100.f, 1e-3f);

  // Water 3 deep: the surface.
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      Hm::waterAt(x, z).depth = 3.f;
  p = view_land_point(camera_at(vec4f(100.f, 25.f, 100.f, 1.f), down45));
  EXPECT_NEAR(p.y, 8.f, 1e-3f);
  EXPECT_NEAR(p.z, 117.f, 0.01f);

  // Looking up: 30 units ahead.
  p = view_land_point(camera_at(vec4f(100.f, 25.f, 100.f, 1.f), normalize3(vec4f(0.f, 1.f, 1.f, 0.f))));
  EXPECT_NEAR(p.y, 25.f + 30.f * std::sqrt(0.5f), 1e-3f);
  Hm::reset();
}
