// One colour per cell: point (x, z) lands on texel (x, z) through VC_POINT_MAP.
#include "registers.inc"
VARYING vec4 v_color;

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy * vc[VC_POINT_MAP].xy + vc[VC_POINT_MAP].zw, 0.0, 1.0);
  v_color = COLOR0;
}
#endif

#if PSH
void psh()
{
  COLOR0 = v_color;
}
#endif
