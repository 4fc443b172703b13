// Normals of the land and water surface, low quality: central differences.
#include "height_pass.inc"

#if PSH
void psh()
{
  float dx = height_at(vec2(1.0, 0.0)) - height_at(vec2(-1.0, 0.0));
  float dz = height_at(vec2(0.0, 1.0)) - height_at(vec2(0.0, -1.0));
  vec3 n = normalize(vec3(-dx * 0.5, 1.0, -dz * 0.5));
  COLOR0 = vec4(n * 0.5 + 0.5, 1.0);
}
#endif
