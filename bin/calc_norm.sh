// Normals of the land and water surface at four texels per cell, high quality: a 3 x 3
// Sobel gradient over the bilinear height field, so the 1024-wide result stays smooth.
#include "height_pass.inc"

#if PSH
void psh()
{
  float h00 = height_at(vec2(-1.0, -1.0)), h10 = height_at(vec2(0.0, -1.0)), h20 = height_at(vec2(1.0, -1.0));
  float h01 = height_at(vec2(-1.0, 0.0)), h21 = height_at(vec2(1.0, 0.0));
  float h02 = height_at(vec2(-1.0, 1.0)), h12 = height_at(vec2(0.0, 1.0)), h22 = height_at(vec2(1.0, 1.0));
  float gx = (h20 + 2.0 * h21 + h22) - (h00 + 2.0 * h01 + h02);
  float gz = (h02 + 2.0 * h12 + h22) - (h00 + 2.0 * h10 + h20);
  // Sobel weights sum to 4 per side over a distance of 2 cells: slope = g / 8.
  vec3 n = normalize(vec3(-gx / 8.0, 1.0, -gz / 8.0));
  COLOR0 = vec4(n * 0.5 + 0.5, 1.0);
}
#endif
