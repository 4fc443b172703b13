// World map, step 3 (high quality): the aperture TEX_MAP_LIGHT (bent normal, open fraction) turned
// into light from the upper left, multiplied over the map.
#include "registers.inc"
#include "map_pass.inc"

#if PSH
void psh()
{
  vec4 a = texture(TEX_MAP_LIGHT, tc);
  vec3 bent = normalize(a.rgb * 2.0 - 1.0);
  vec3 l = normalize(vec3(-0.6, 1.0, -0.6));
  float light = (0.55 + 0.45 * clamp(dot(bent, l) * 1.4, 0.0, 1.0)) * (0.55 + 0.45 * a.a);
  COLOR0 = vec4(vec3(clamp(light * 1.15, 0.0, 1.0)), 1.0);
}
#endif
