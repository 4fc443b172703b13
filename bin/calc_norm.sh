// Normals of the land and water surface at four texels per cell, high quality: four
// bilinear taps on the diagonals, each averaging a block of cells, give a smoothed
// gradient, so the 1024-wide result has no grid pattern.
#include "height_pass.inc"

#if PSH
void psh()
{
  float pp = height_at(vec2(0.75, 0.75)), pm = height_at(vec2(0.75, -0.75));
  float mp = height_at(vec2(-0.75, 0.75)), mm = height_at(vec2(-0.75, -0.75));
  // Each difference spans 1.5 cells and appears twice.
  float gx = ((pp + pm) - (mp + mm)) / 3.0;
  float gz = ((pp + mp) - (pm + mm)) / 3.0;
  vec3 n = normalize(vec3(-gx, 1.0, -gz));
  COLOR0 = vec4(n * 0.5 + 0.5, 1.0);
}
#endif
