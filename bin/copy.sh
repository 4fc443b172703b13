// Plain full-screen copy: TEX_COPY_SOURCE onto the target, one texel per pixel
// (screen_pass.inc).
#include "registers.inc"
#include "screen_pass.inc"

#if PSH
void psh()
{
  COLOR0 = texture(TEX_COPY_SOURCE, tc);
}
#endif
