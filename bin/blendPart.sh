// Blended particles (smoke, dust, water, feathers): they cover and darken what lies
// behind them, lit by the scene's sun and sky. See fx_particle.inc and fx_common.inc.
#include "fx_particle.inc"

#if PSH
void psh()
{
  vec4 t = texture(TEX_FX_ATLAS, v_uv);
  float k = v_color.a * fx_fade(v_depth.x, v_depth.y);
  vec3 albedo = t.rgb / max(t.a, 1.0 / 255.0) * v_color.rgb;
  vec3 lit = (1.0 - exp(-albedo * v_light.rgb * v_light.a)) * v_keep + v_air;
  fx_out_blend(lit * (t.a * k), t.a * k);
}
#endif
