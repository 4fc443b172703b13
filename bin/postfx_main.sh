// Final pass with the colour grade: a gentle filmic contrast curve, a touch more
// saturation, a soft vignette, then the frame tint (PC_FRAME_TINT: rgb, a = opacity).
// PC_SCREEN_SIZE = (1 / width, 1 / height, width, height).
#include "registers.inc"
#include "screen_pass.inc"

#if PSH
void psh()
{
  vec3 col = texture(TEX_SCENE_IMAGE, tc).rgb;
  // Contrast around the middle grey, keeping black and white where they are.
  vec3 s = col * col * (3.0 - 2.0 * col);
  col = mix(col, s, 0.3);
  float luma = dot(col, vec3(0.299, 0.587, 0.114));
  col = clamp(mix(vec3(luma), col, 1.05), 0.0, 1.0);
  // Vignette, stretched to the screen's aspect.
  vec2 d = (tc - 0.5) * vec2(pc[PC_SCREEN_SIZE].z / pc[PC_SCREEN_SIZE].w, 1.0);
  col *= 1.0 - 0.22 * smoothstep(0.35, 1.05, length(d));
  col = mix(col, pc[PC_FRAME_TINT].rgb, clamp(pc[PC_FRAME_TINT].a, 0.0, 1.0));
  COLOR0 = vec4(col, 1.0);
}
#endif
