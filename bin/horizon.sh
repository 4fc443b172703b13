// The horizon ring beyond the drawn disc: the map repeated, bent down with distance and
// drawn straight into the scene image (after the light pass), so it is lit and fogged
// here. Stages as for the land (land_common.inc), TEX_HORIZON_WATER = (water depth, foam)
// per cell; PC_SKY = sun and sky.
#include "registers.inc"
#include "sky_light.inc"
#include "land_common.inc"

VARYING vec3 v_pos;
VARYING vec3 v_eye;
VARYING vec4 v_uv;

#if VSH
void vsh()
{
  vec3 p = land_world_pos();
  gl_Position = land_clip_pos(p);
  v_pos = p;
  v_eye = p - vc[VC_CAMERA_POS].xyz;
  v_uv = vec4(p.xz * (1.0 / 256.0) + 1.0 / 512.0, p.xz * (1.0 / 256.0) + 1.0 / 2048.0);
}
#endif

#if PSH
void psh()
{
  float dist = length(v_eye);
  vec3 v = v_eye / max(dist, 1e-4);
  vec3 n = land_normal(v_uv.zw);
  vec3 albedo = land_albedo(v_pos, n, v_uv.xy, dist);
  vec3 col = expose(albedo * (SUN_COLOR * sun_diffuse(n) + ambient_light(n, 1.0)));
  // Water far out is shaded as the light pass shades deep water, so the ring meets the
  // drawn disc without a seam; shallow water lets the ground show through, foam is white.
  vec2 wf = texture(TEX_HORIZON_WATER, v_uv.xy).rg;
  float water = smoothstep(0.01, 0.2, wf.x);
  float sun_up = max(SUN_DIR.y, 0.0);
  vec3 deep = vec3(0.012, 0.06, 0.095) * (SUN_COLOR * (sun_up * 1.3 + 0.05) + AMBIENT_COLOR * 2.5);
  vec3 body = mix(col * vec3(0.55, 0.8, 0.85), expose(deep), 1.0 - exp(-wf.x * 0.6));
  vec3 foam = expose(vec3(0.9, 0.93, 0.95) * (SUN_COLOR * sun_up + ambient_light(vec3(0.0, 1.0, 0.0), 1.0)));
  body = mix(body, foam, clamp(wf.y, 0.0, 1.0) * 0.6);
  vec3 r = reflect(v, vec3(0.0, 1.0, 0.0));
  float fres = 0.02 + 0.98 * pow(1.0 - clamp(-v.y, 0.0, 1.0), 5.0);
  vec3 wcol = body * (1.0 - fres) + sky_radiance(r) * EXPOSURE.y * fres;
  col = mix(col, wcol, water);
  col = apply_fog(col, v, dist / 512.0);
  COLOR0 = vec4(clamp(col, 0.0, 1.0), 1.0);
}
#endif
