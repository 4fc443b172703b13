// Final pass without post-effects: the scene image onto the back buffer under the frame
// tint (PC_FRAME_TINT: rgb, a = opacity).
#include "registers.inc"
#include "screen_pass.inc"

#if PSH
void psh()
{
  vec3 col = texture(TEX_SCENE_IMAGE, tc).rgb;
  col = mix(col, pc[PC_FRAME_TINT].rgb, clamp(pc[PC_FRAME_TINT].a, 0.0, 1.0));
  COLOR0 = vec4(col, 1.0);
}
#endif
