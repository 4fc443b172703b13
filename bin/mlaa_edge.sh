// MLAA step 1: edges of the scene image (TEX_SCENE_IMAGE). r = 1 where the pixel differs
// from the one above (a horizontal edge on its top side), g = 1 where it differs from
// the one on its left. VC_MLAA_TEXEL.xy = one texel.
#include "registers.inc"
VARYING vec2 tc;
VARYING vec2 texel;

#if VSH
in vec4 POSITION0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
  tc = POSITION0.xy * vc[VC_SCREEN_TEXMAP].xy + vc[VC_SCREEN_TEXMAP].zw;
  texel = vc[VC_MLAA_TEXEL].xy;
}
#endif

#if PSH
float luma(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }

void psh()
{
  float c = luma(texture(TEX_SCENE_IMAGE, tc).rgb);
  float up = luma(texture(TEX_SCENE_IMAGE, tc - vec2(0.0, texel.y)).rgb);
  float left = luma(texture(TEX_SCENE_IMAGE, tc - vec2(texel.x, 0.0)).rgb);
  const float threshold = 0.1;
  COLOR0 = vec4(step(threshold, abs(c - up)), step(threshold, abs(c - left)), 0.0, 0.0);
}
#endif
