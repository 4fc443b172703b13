// Glowing particles (fire, sparks, light): added to the scene, brightness = sprite x
// colour x its alpha. See fx_particle.inc and fx_common.inc.
#include "fx_particle.inc"

#if PSH
void psh()
{
  vec4 t = texture(TEX_FX_ATLAS, v_uv);
  fx_out_glow(t.rgb * v_color.rgb * (v_color.a * fx_fade(v_depth.x, v_depth.y)));
}
#endif
