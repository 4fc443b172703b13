// World map, step 1: ground colour under the surface layer. s0 = ground colours,
// s1 = layer colours; vc[16] = (1, 1, 0, 0), vc[17] = clip space to texels.
#include "map_pass.inc"

#if PSH
void psh()
{
  vec3 ground = texture(s0, tc).rgb;
  vec4 top = texture(s1, tc);
  COLOR0 = vec4(mix(ground, top.rgb, clamp(top.a * 1.3, 0.0, 1.0)), 1.0);
}
#endif
