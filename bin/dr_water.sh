// Water, high quality: depth, normal, opacity and foam into the geometry buffer
// (gbuffer.inc); the light pass mixes the seabed and the deep colour by the opacity.
// Stages: TEX_LAND_NORMALS (of the water surface), TEX_FOAM (foam.dds: rg ripple slopes,
// b second ripple, a foam), TEX_LAND_DEPTH (the land's T4 before the water: depth under
// the surface). PC_FLOW_WEIGHT.x = weight of the flow pair (z, w), which is fresh when
// the counter is 0; the pair (x, y) gets the rest. PC_WATER_TEXMAP maps clip space to
// screen texture space.
#include "registers.inc"
#include "gbuffer.inc"

VARYING vec3 v_pos;
VARYING vec4 v_flow;
VARYING vec4 v_clip;
VARYING vec2 v_uvn;
VARYING float v_foam;
VARYING float v_depth;
VARYING float v_dist;

#if VSH
in vec4 POSITION0;
in vec4 POSITION1;
in vec4 TEXCOORD0;
in vec4 TEXCOORD1;

void vsh()
{
  vec3 p = vec3(POSITION0.x, POSITION1.x, POSITION0.y);
  gl_Position = p.x * vc[VC_GLOB_TM] + p.y * vc[VC_GLOB_TM + 1] + p.z * vc[VC_GLOB_TM + 2] + vc[VC_GLOB_TM + 3];
  v_clip = gl_Position;
  v_pos = p;
  v_flow = TEXCOORD0;
  v_uvn = p.xz * (1.0 / 256.0) + 1.0 / 2048.0;
  v_foam = TEXCOORD1.x;
  v_depth = gb_view_depth(vec4(p, 1.0));
  v_dist = length(p - vc[VC_CAMERA_POS].xyz);
}
#endif

#if PSH
void psh()
{
  float w_zw = clamp(pc[PC_FLOW_WEIGHT].x, 0.0, 1.0);
  float w_xy = 1.0 - w_zw;
  vec4 a = texture(TEX_FOAM, v_flow.xy * 0.125);
  vec4 b = texture(TEX_FOAM, v_flow.zw * 0.125);
  // Blending two patterns flattens them; the norm of the weights restores the contrast.
  float k = inversesqrt(w_xy * w_xy + w_zw * w_zw);
  vec2 slope = ((a.rg - 0.5) * w_xy + (b.rg - 0.5) * w_zw) * k;
  float pattern = a.a * w_xy + b.a * w_zw;
  // Ripples calm down with distance, where they would only alias.
  float calm = clamp(1.0 - v_dist / 200.0, 0.15, 1.0);
  vec3 base = normalize(texture(TEX_LAND_NORMALS, v_uvn).xyz * 2.0 - 1.0);
  vec3 n = normalize(base + vec3(slope.x, 0.0, slope.y) * 0.9 * calm);
  // Seen from below (a camera under water), the surface faces the camera.
  if (!gl_FrontFacing)
    n = -n;

  vec2 suv = v_clip.xy / v_clip.w * pc[PC_WATER_TEXMAP].xy + pc[PC_WATER_TEXMAP].zw;
  float ground = gb_unpack_depth(texture(TEX_LAND_DEPTH, suv));
  float thick = max(ground - v_depth, 0.0) * 512.0;
  float opacity = 1.0 - exp(-thick * 0.6);
  float shore = 1.0 - smoothstep(0.05, 0.9, thick);
  float foam = clamp(v_foam * 1.6, 0.0, 1.0) * smoothstep(0.25, 0.75, pattern + v_foam * 0.3);
  foam = max(foam, shore * smoothstep(0.45, 0.7, pattern) * 0.8);
  gb_write_water(v_depth, n, opacity, clamp(foam, 0.0, 1.0));
}
#endif
