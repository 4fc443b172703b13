// World map, step 1: ground colour under the surface layer from TEX_MAP_GROUND and
// TEX_MAP_LAYER; VC_MAP_REGION = (1, 1, 0, 0), the whole map.
#include "registers.inc"
#include "map_pass.inc"

#if PSH
void psh()
{
  vec3 ground = texture(TEX_MAP_GROUND, tc).rgb;
  vec4 top = texture(TEX_MAP_LAYER, tc);
  COLOR0 = vec4(mix(ground, top.rgb, clamp(top.a * 1.3, 0.0, 1.0)), 1.0);
}
#endif
