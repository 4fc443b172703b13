// Deferred lighting of every covered pixel (see gbuffer.inc for the inputs):
//   TEX_GBUF_DEPTH = T4 depth and foam, TEX_GBUF_NORMALS = T1 normal and water opacity,
//   TEX_GBUF_ALBEDO = T2 albedo and openness, TEX_SHADOW_MASK = the blurred quarter-size
//   shadow mask (linear filtering), TEX_QUARTER_DEPTH and TEX_QUARTER_NORMALS.
// VC_FAR_RAYS = far-plane corner rays, PC_SKY = sun and sky, PC_LAND_SHADOW.x = the
// land's own shadow on (1) or off (0).
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
// One code path for land and water: the software rasteriser runs every branch of a
// shader for every pixel, so the water terms are blended in by the water opacity rather
// than chosen by a test.
void psh()
{
  vec4 t4 = texture(TEX_GBUF_DEPTH, tc);
  vec4 t1 = texture(TEX_GBUF_NORMALS, tc);
  vec4 t2 = texture(TEX_GBUF_ALBEDO, tc);
  float foam = t4.a;
  float water = step(0.5 / 255.0, t1.a);
  float opacity = t1.a;
  vec3 n = t1.rgb * 2.0 - 1.0;
  vec3 albedo = t2.rgb;
  float open = t2.a;
  vec3 v = normalize(ray);
  // The quarter-size mask of the objects' shadows, filtered linearly, and the land's own
  // shadow on land and objects (T4's alpha there) when PC_LAND_SHADOW.x is set.
  float shadow = texture(TEX_SHADOW_MASK, tc).r * (1.0 - foam * (1.0 - water) * pc[PC_LAND_SHADOW].x);
  vec3 sun = SUN_COLOR * shadow;
  float diff = sun_diffuse(n);

  // Land: direct sun, sky light and a faint sheen towards the sun.
  vec3 hv = normalize(SUN_DIR - v);
  float nh = max(dot(n, hv), 0.0);
  vec3 land = albedo * (sun * diff + ambient_light(n, open)) + sun * (0.04 * open) * pow(nh, 24.0);

  // Water: the seabed (the albedo under the surface) fading into deep water with the
  // opacity, foam on top, the sky and the sun reflected by the Fresnel term.
  float sun_up = max(SUN_DIR.y, 0.0);
  vec3 seabed = albedo * (sun * (sun_up * 0.85) + AMBIENT_COLOR * open) * vec3(0.55, 0.8, 0.85);
  vec3 deep = vec3(0.012, 0.06, 0.095) * (SUN_COLOR * (sun_up * 1.3 + 0.05) + AMBIENT_COLOR * 2.5);
  vec3 body = mix(seabed, deep, opacity);
  vec3 foam_col = vec3(0.9, 0.93, 0.95) * (sun * diff + ambient_light(n, 1.0));
  body = mix(body, foam_col, foam);
  vec3 r = reflect(v, n);
  r.y = abs(r.y);
  float c = 1.0 - clamp(dot(-v, n), 0.0, 1.0);
  float c2 = c * c;
  float fres = (0.02 + 0.98 * c2 * c2 * c) * (1.0 - foam);
  vec3 refl = (mix(HORIZON_COLOR, ZENITH_COLOR, sqrt(r.y)) + GLOW_COLOR * 0.5 * max(dot(r, SUN_DIR), 0.0)) * EXPOSURE.y;
  float rs = max(dot(r, SUN_DIR), 0.0);
  float rs8 = rs * rs;
  rs8 *= rs8;
  rs8 *= rs8;
  float rs256 = rs8 * rs8;
  rs256 *= rs256;
  rs256 *= rs256;
  vec3 specular = SUN_COLOR * EXT_SHORT * shadow * (rs256 * 5.0 + rs8 * rs8 * rs8 * 0.12) * (1.0 - foam);

  vec3 lit = expose(mix(land, body * (1.0 - fres), water)) + water * (refl * fres + specular);
  COLOR0 = vec4(clamp(lit, 0.0, 1.0), 1.0);
}
#endif
