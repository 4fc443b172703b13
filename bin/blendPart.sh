// Blended particles (smoke, dust, water, feathers): they cover and darken what lies
// behind them. See fx_particle.inc and fx_common.inc.
#include "fx_particle.inc"

#if PSH
void psh()
{
  vec4 t = texture(s0, v_uv);
  float k = v_color.a * fx_fade(v_depth.x, v_depth.y);
  fx_out_blend(t.rgb * v_color.rgb * k, t.a * k);
}
#endif
