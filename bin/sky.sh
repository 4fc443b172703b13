// The sky quad: world positions through the view-projection matrix (VC_GLOB_TM); the view
// direction from the camera position (VC_CAMERA_POS).
#include "registers.inc"
#include "sky_light.inc"

VARYING vec3 v_dir;

#if VSH
in vec4 POSITION0;

void vsh()
{
  vec4 p = vec4(POSITION0.xyz, 1.0);
  gl_Position = p.x * vc[VC_GLOB_TM] + p.y * vc[VC_GLOB_TM + 1] + p.z * vc[VC_GLOB_TM + 2] + vc[VC_GLOB_TM + 3];
  v_dir = POSITION0.xyz - vc[VC_CAMERA_POS].xyz;
}
#endif

#if PSH
float hash13(vec3 p)
{
  p = fract(p * 0.1031);
  p += dot(p, p.zyx + 31.32);
  return fract((p.x + p.y) * p.z);
}

void psh()
{
  vec3 dir = normalize(v_dir);
  vec3 col = sky_radiance(dir) + sun_disc(dir) * step(0.0, dir.y + 0.02);
  // Stars come out with the night, only well above the horizon.
  float night = clamp(EXPOSURE.z, 0.0, 1.0);
  if (night > 0.0 && dir.y > 0.0)
  {
    vec3 cell = floor(dir * 420.0);
    float h = hash13(cell);
    float star = smoothstep(0.9965, 1.0, h) * smoothstep(0.0, 0.25, dir.y);
    col += vec3(0.8, 0.85, 1.0) * star * night * 1.5;
  }
  col *= max(EXPOSURE.y, 0.0);
  COLOR0 = vec4(clamp(col, 0.0, 1.0), 1.0);
}
#endif
