#include "inc/common.inc"
#if VSH
in vec4 POSITION0;
VARYING vec2 uv;
void vsh() { gl_Position = POSITION0 * vc[0].x; uv = POSITION0.xy; }
#endif
#if PSH
  #  include "inc/fog.inc"
VARYING vec2 uv;
void psh() { COLOR0 = texture(s0, uv) * fog(uv.x); }
#endif
@@ inc/common.inc
// shared helpers
float sq(float x) { return x * x; }
@@ inc/fog.inc
#include "inc/common.inc"
float fog(float d) { return 1.0 - sq(d); }
