// Final pass without post-effects: the scene image onto the back buffer under the frame
// tint (pc[1]: rgb, a = opacity).
#include "screen_pass.inc"

#if PSH
void psh()
{
  vec3 col = texture(s0, tc).rgb;
  col = mix(col, pc[1].rgb, clamp(pc[1].a, 0.0, 1.0));
  COLOR0 = vec4(col, 1.0);
}
#endif
