// One value per cell into a float target: point (x, z) lands on texel (x, z) through
// VC_POINT_MAP.
#include "registers.inc"
VARYING float v_value;

#if VSH
in vec4 POSITION0;
in vec4 TEXCOORD0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy * vc[VC_POINT_MAP].xy + vc[VC_POINT_MAP].zw, 0.0, 1.0);
  v_value = TEXCOORD0.x;
}
#endif

#if PSH
void psh()
{
  COLOR0 = vec4(v_value, 0.0, 0.0, 1.0);
}
#endif
