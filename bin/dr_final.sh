// Composition of the lit pixels (TEX_LIT_IMAGE = T3) with aerial perspective.
// TEX_GBUF_DEPTH = T4 (depth), VC_FAR_RAYS = far-plane corner rays, PC_CAMERA_POS,
// PC_FOG.x = fog on, PC_SKY = sun and sky.
#include "registers.inc"
#include "sky_light.inc"
#include "gbuffer.inc"

VARYING vec2 tc;
VARYING vec3 ray;

#if VSH
in vec4 POSITION0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
  tc = POSITION0.xy * vc[VC_SCREEN_TEXMAP].xy + vc[VC_SCREEN_TEXMAP].zw;
  ray = POSITION0.x * vc[VC_FAR_RAYS].xyz + POSITION0.y * vc[VC_FAR_RAYS + 1].xyz + vc[VC_FAR_RAYS + 2].xyz;
}
#endif

#if PSH
void psh()
{
  float depth = gb_unpack_depth(texture(TEX_GBUF_DEPTH, tc));
  // Nothing was drawn here (the stencil keeps this pixel out anyway): no work.
  if (depth >= 1.0)
  {
    COLOR0 = vec4(0.0, 0.0, 0.0, 1.0);
    return;
  }
  vec3 col = texture(TEX_LIT_IMAGE, tc).rgb;
  if (pc[PC_FOG].x > 0.0)
  {
    // The ray reaches the far plane; its length over the far distance (the centre ray's
    // length, the last far ray) turns view depth into distance.
    float far_len = 512.0;
    float dist = depth * length(ray) / far_len;
    col = apply_fog(col, normalize(ray), dist);
  }
  COLOR0 = vec4(col, 1.0);
}
#endif
