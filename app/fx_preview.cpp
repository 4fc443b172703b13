#include "fx_preview.h"
#include <cmath>
#include "camera.h"
#include "core/log.h"
#include "script/fx_script.h"
#include "settings.h"
#include "world/heightmap.h"
#include "world/land_tools.h"

// The land, or the water over it: an effect previewed over the sea happens on its
// surface, not on the sea floor where nobody would see it.
static float surface_height(float x, float z)
{
  const float depth = HeightmapData::waterAt(int(std::lround(x)), int(std::lround(z))).depth;
  return hmap_land_height(x, z) + (depth > 0.f ? depth : 0.f);
}

vec4f view_land_point(const Matrix44 &camera)
{
  const vec4f from = camera.row(3), dir = normalize3(camera.row(2));
  // March in half-unit steps, then halve the last step a few times for the crossing.
  const float step = 0.5f, reach = 512.f;
  auto above = [&](float t) {
    vec4f p = from + dir * t;
    return p.y - surface_height(p.x, p.z);
  };
  float prev_t = 0.f;
  for (float t = step; t <= reach; t += step)
  {
    if (above(t) > 0.f)
    {
      prev_t = t;
      continue;
    }
    float lo = prev_t, hi = t;
    for (int i = 0; i < 12; i++)
    {
      float mid = 0.5f * (lo + hi);
      (above(mid) > 0.f ? lo : hi) = mid;
    }
    vec4f p = from + dir * hi;
    return vec4f(p.x, surface_height(p.x, p.z), p.z, 1.f);
  }
  vec4f p = from + dir * 30.f;
  p.w = 1.f;
  return p;
}

void run_fx_previews(int update)
{
  for (int i = 0; i < app_options.fx_preview_count; i++)
  {
    const AppOptions::FxPreview &fx = app_options.fx_previews[i];
    if (fx.update != update)
      continue;
    vec4f fwd = cur_view_itm.row(2);
    fwd.w = 0.f;
    const vec4f at = view_land_point(cur_view_itm);
    debug("fx preview '%s' at update %d, (%.1f, %.1f, %.1f)", fx.name, update, at.x, at.y, at.z);
    call_fx_script(fx.name, at, vec4f(0.f, 1.f, 0.f, 0.f), fwd, 1.f);
  }
}
