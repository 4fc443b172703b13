// Water, low quality: forward lit and alpha blended over the seabed. TEX_LAND_NORMALS =
// normals of the water surface, TEX_DETAIL = detail.dds (breaks up the foam), PC_SKY =
// sun and sky, VC_FOG.x = fog on.
#include "registers.inc"
#include "sky_light.inc"

VARYING vec3 v_pos;
VARYING vec3 v_eye;
VARYING vec2 v_uvn;
VARYING float v_foam;
VARYING float v_fog;

#if VSH
in vec4 POSITION0;
in vec4 POSITION1;
in vec4 TEXCOORD1;

void vsh()
{
  vec3 p = vec3(POSITION0.x, POSITION1.x, POSITION0.y);
  gl_Position = p.x * vc[VC_GLOB_TM] + p.y * vc[VC_GLOB_TM + 1] + p.z * vc[VC_GLOB_TM + 2] + vc[VC_GLOB_TM + 3];
  v_pos = p;
  v_eye = p - vc[VC_CAMERA_POS].xyz;
  v_uvn = p.xz * (1.0 / 256.0) + 1.0 / 2048.0;
  v_foam = TEXCOORD1.x;
  v_fog = vc[VC_FOG].x;
}
#endif

#if PSH
// The sky seen in the water: the cheap form the light pass uses.
vec3 sky_reflection(vec3 r)
{
  return (mix(HORIZON_COLOR, ZENITH_COLOR, sqrt(r.y)) + GLOW_COLOR * 0.5 * max(dot(r, SUN_DIR), 0.0)) * EXPOSURE.y;
}

void psh()
{
  float dist = length(v_eye);
  vec3 v = v_eye / max(dist, 1e-4);
  vec3 n = normalize(texture(TEX_LAND_NORMALS, v_uvn).xyz * 2.0 - 1.0);
  vec3 grain = texture(TEX_DETAIL, v_pos.xz * 0.23).rgb;
  n = normalize(n + vec3(grain.r - 0.5, 0.0, grain.g - 0.5) * 0.12 * clamp(1.0 - dist / 150.0, 0.0, 1.0));
  // Seen from below (a camera under water), the surface faces the camera.
  if (!gl_FrontFacing)
    n = -n;
  float sun_up = max(SUN_DIR.y, 0.0);
  vec3 deep = vec3(0.012, 0.06, 0.095) * (SUN_COLOR * (sun_up * 1.3 + 0.05) + AMBIENT_COLOR * 2.5);
  vec3 r = reflect(v, n);
  r.y = abs(r.y);
  float cosv = clamp(dot(-v, n), 0.0, 1.0);
  float fres = 0.02 + 0.98 * pow(1.0 - cosv, 5.0);
  float foam = clamp(v_foam * 1.6, 0.0, 1.0) * smoothstep(0.3, 0.7, grain.b + v_foam * 0.3);
  vec3 foam_col = vec3(0.9, 0.93, 0.95) * (SUN_COLOR * sun_diffuse(n) + ambient_light(n, 1.0));
  vec3 col = expose(mix(deep, foam_col, foam)) * (1.0 - fres) +
             sky_reflection(r) * fres;
  col += SUN_COLOR * EXT_SHORT * pow(max(dot(r, SUN_DIR), 0.0), 320.0) * 4.0 * (1.0 - foam);
  if (v_fog > 0.0)
    col = apply_fog(col, v, dist / 512.0);
  float edge = smoothstep(96.0, 127.0, length(v_eye.xz));
  if (edge > 0.0)
    col = mix(col, sky_radiance(v) * EXPOSURE.y, edge);
  float alpha = clamp(0.88 + fres * 0.12 + foam * 0.4 + edge, 0.0, 1.0);
  COLOR0 = vec4(clamp(col, 0.0, 1.0), alpha);
}
#endif
