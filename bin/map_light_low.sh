// World map, step 3 (low quality): hill shading from the normals TEX_MAP_LIGHT, light from the
// upper left, multiplied over the map.
#include "registers.inc"
#include "map_pass.inc"

#if PSH
void psh()
{
  vec3 n = normalize(texture(TEX_MAP_LIGHT, tc).xyz * 2.0 - 1.0);
  vec3 l = normalize(vec3(-0.6, 1.0, -0.6));
  float light = 0.45 + 0.65 * clamp(dot(n, l), 0.0, 1.0);
  COLOR0 = vec4(vec3(clamp(light, 0.0, 1.0)), 1.0);
}
#endif
