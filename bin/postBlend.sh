// Lays the effects buffer over the scene image, blended with premultiplied alpha:
// scene x (1 - coverage) + colour. Where blended sprites pile up beyond full coverage
// their summed colour is scaled back, so thick smoke keeps its colour instead of
// brightening. SINGLE_RT: TEX_FX_BUFFER = the floating-point effects target; otherwise
// TEX_FX_BUFFER = T1 (blended part at FX_T1_SCALE) and TEX_FX_GLOW = T2 (glow).
#include "screen_pass.inc"
#include "fx_buffer.inc"

#if PSH
void psh()
{
#ifdef SINGLE_RT
  vec4 acc = texture(TEX_FX_BUFFER, tc);
  vec3 light = acc.rgb;
  float cover = acc.a;
#else
  vec4 blended = texture(TEX_FX_BUFFER, tc) * (1.0 / FX_T1_SCALE);
  vec3 light = blended.rgb + texture(TEX_FX_GLOW, tc).rgb;
  float cover = blended.a;
#endif
  float k = 1.0 / max(cover, 1.0);
  COLOR0 = vec4(light * k, min(cover, 1.0));
}
#endif
