// Debug geometry: world positions through the view-projection matrix, whose rows are in
// VC_GLOB_TM (row vector times matrix), coloured per vertex.
#include "registers.inc"
VARYING vec4 v_color;

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;

void vsh()
{
  gl_Position = POSITION0.x * vc[VC_GLOB_TM] + POSITION0.y * vc[VC_GLOB_TM + 1] + POSITION0.z * vc[VC_GLOB_TM + 2] +
                vc[VC_GLOB_TM + 3];
  v_color = COLOR0;
}
#endif

#if PSH
void psh()
{
  COLOR0 = v_color;
}
#endif
