// Deferred lighting of every covered pixel (see gbuffer.inc for the inputs):
//   s8 = T4 depth and foam, s9 = T1 normal and water opacity, s10 = T2 albedo and
//   openness, s11 = the blurred quarter-size shadow mask, s12 = quarter-size depth.
// vc[17..19] = far-plane corner rays, pc[0..12] = sun and sky, pc[17] = (quarter width,
// quarter height, 1 / quarter width, 1 / quarter height).
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
// The shadow mask at full resolution: the four nearest quarter texels, each weighted by
// how close its depth is to this pixel's, so shadows do not bleed across silhouettes.
float upsampled_shadow(float depth)
{
  vec2 base = tc * pc[17].xy - 0.5;
  vec2 f = fract(base);
  vec2 i0 = floor(base);
  float sum = 0.0, wsum = 0.0;
  for (int k = 0; k < 4; k++)
  {
    vec2 o = vec2(float(k & 1), float(k >> 1));
    vec2 uv = (i0 + o + 0.5) * pc[17].zw;
    float bw = (o.x > 0.5 ? f.x : 1.0 - f.x) * (o.y > 0.5 ? f.y : 1.0 - f.y);
    float dz = abs(gb_unpack_depth(texture(s12, uv)) - depth) * 512.0;
    float w = bw / (0.05 + dz) + 1e-4;
    sum += texture(s11, uv).r * w;
    wsum += w;
  }
  return sum / wsum;
}

void psh()
{
  vec4 t4 = texture(s8, tc);
  vec4 t1 = texture(s9, tc);
  vec4 t2 = texture(s10, tc);
  float depth = gb_unpack_depth(t4);
  float foam = t4.a;
  float water = t1.a;
  vec3 n = gb_unpack_normal(t1);
  vec3 albedo = t2.rgb;
  float open = t2.a;
  vec3 v = normalize(ray);
  float shadow = upsampled_shadow(depth);

  vec3 sun = SUN_COLOR * shadow;
  vec3 col;
  if (water <= 0.5 / 255.0)
  {
    col = albedo * (sun * sun_diffuse(n) + ambient_light(n, open));
    // A faint sheen on flat, open ground facing the sun.
    vec3 hv = normalize(SUN_DIR - v);
    col += sun * 0.04 * pow(max(dot(n, hv), 0.0), 24.0) * open;
    col = expose(col);
  }
  else
  {
    float sun_up = max(SUN_DIR.y, 0.0);
    vec3 seabed = albedo * (sun * sun_up * 0.85 + AMBIENT_COLOR * open) * vec3(0.55, 0.8, 0.85);
    vec3 deep = vec3(0.012, 0.06, 0.095) * (SUN_COLOR * (sun_up * 1.3 + 0.05) + AMBIENT_COLOR * 2.5);
    vec3 body = mix(seabed, deep, clamp(water, 0.0, 1.0));
    vec3 foam_col = vec3(0.9, 0.93, 0.95) * (sun * sun_diffuse(n) + ambient_light(n, 1.0));
    body = mix(body, foam_col, clamp(foam, 0.0, 1.0));
    vec3 r = reflect(v, n);
    r.y = abs(r.y);
    float cosv = clamp(dot(-v, n), 0.0, 1.0);
    float fres = (0.02 + 0.98 * pow(1.0 - cosv, 5.0)) * (1.0 - foam);
    vec3 refl = sky_radiance(r) * EXPOSURE.y;
    vec3 spec = SUN_COLOR * EXT_SHORT * shadow * (pow(max(dot(r, SUN_DIR), 0.0), 320.0) * 5.0 +
                                                  pow(max(dot(r, SUN_DIR), 0.0), 24.0) * 0.12);
    col = expose(body) * (1.0 - fres) + refl * fres + spec * (1.0 - foam);
  }
  COLOR0 = vec4(clamp(col, 0.0, 1.0), 1.0);
}
#endif
