// Separable blur of the quarter-size shadow mask (TEX_SHADOW_MASK, red channel = light).
// PC_BLUR_STEP = (one texel, two texels) along the blur direction; VC_QUARTER_TEXEL.xy =
// the quarter targets' texel size.
#include "registers.inc"
VARYING vec2 tc;

#if VSH
in vec4 POSITION0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
  tc = POSITION0.xy * vc[VC_SCREEN_TEXMAP].xy + 0.5 + 0.5 * vc[VC_QUARTER_TEXEL].xy;
}
#endif

#if PSH
void psh()
{
  float v = texture(TEX_SHADOW_MASK, tc).r * 0.36;
  v += (texture(TEX_SHADOW_MASK, tc - pc[PC_BLUR_STEP].xy).r + texture(TEX_SHADOW_MASK, tc + pc[PC_BLUR_STEP].xy).r) * 0.22;
  v += (texture(TEX_SHADOW_MASK, tc - pc[PC_BLUR_STEP].zw).r + texture(TEX_SHADOW_MASK, tc + pc[PC_BLUR_STEP].zw).r) * 0.10;
  COLOR0 = vec4(v, v, v, 1.0);
}
#endif
