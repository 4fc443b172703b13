// Composition of the lit pixels (stage 11 = T3) with aerial perspective. Stage 8 = T4
// (depth), vc[17..19] = far-plane corner rays, pc[16] = camera position,
// pc[17].x = fog on, pc[0..12] = sun and sky.
#include "sky_light.inc"
#include "gbuffer.inc"

VARYING vec2 tc;
VARYING vec3 ray;

#if VSH
in vec4 POSITION0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
  tc = POSITION0.xy * vc[16].xy + vc[16].zw;
  ray = POSITION0.x * vc[17].xyz + POSITION0.y * vc[18].xyz + vc[19].xyz;
}
#endif

#if PSH
void psh()
{
  float depth = gb_unpack_depth(texture(s8, tc));
  // Nothing was drawn here (the stencil keeps this pixel out anyway): no work.
  if (depth >= 1.0)
  {
    COLOR0 = vec4(0.0, 0.0, 0.0, 1.0);
    return;
  }
  vec3 col = texture(s11, tc).rgb;
  if (pc[17].x > 0.0)
  {
    // The ray reaches the far plane; its length over the far distance (the centre ray's
    // length, vc[19]) turns view depth into distance.
    float far_len = 512.0;
    float dist = depth * length(ray) / far_len;
    col = apply_fog(col, normalize(ray), dist);
  }
  COLOR0 = vec4(col, 1.0);
}
#endif
