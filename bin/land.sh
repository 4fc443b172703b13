// Land, low quality: forward lit with the sun and sky registers (PC_SKY) and fogged when
// VC_FOG.x is set. See land_common.inc for the inputs.
#include "registers.inc"
#include "sky_light.inc"
#include "land_common.inc"

VARYING vec3 v_pos;
VARYING vec3 v_eye; // from the camera to the point
VARYING vec4 v_uv;  // xy: 256-wide textures, zw: normal texture
VARYING float v_fog;

#if VSH
void vsh()
{
  vec3 p = land_world_pos();
  gl_Position = land_clip_pos(p);
  v_pos = p;
  v_eye = p - vc[VC_CAMERA_POS].xyz;
  v_uv = vec4(p.xz * vc[VC_LAND_COORD].xy + vc[VC_LAND_COORD].zz, p.xz * vc[VC_LAND_COORD].xy + vc[VC_LAND_COORD].ww);
  v_fog = vc[VC_FOG].x;
}
#endif

#if PSH
void psh()
{
  vec3 n = land_normal(v_uv.zw);
  float dist = length(v_eye);
  vec3 albedo = land_albedo(v_pos, n, v_uv.xy, dist);
  vec3 col = expose(albedo * (SUN_COLOR * sun_diffuse(n) + ambient_light(n, 1.0)));
  vec3 v = v_eye / max(dist, 1e-4);
  if (v_fog > 0.0)
    col = apply_fog(col, v, dist / 512.0);
  // Without the horizon ring the drawn disc ends 130 cells out: fade into the sky there.
  float edge = smoothstep(96.0, 127.0, length(v_eye.xz));
  if (edge > 0.0)
    col = mix(col, sky_radiance(v) * EXPOSURE.y, edge);
  COLOR0 = vec4(clamp(col, 0.0, 1.0), 1.0);
}
#endif
