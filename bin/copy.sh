// Plain full-screen copy: stage 0 onto the target, one texel per pixel.
// vc[16] = (0.5, -0.5, 0.5 + 0.5 / width, 0.5 + 0.5 / height) maps clip space to texels.
#include "screen_pass.inc"

#if PSH
void psh()
{
  COLOR0 = texture(s0, tc);
}
#endif
