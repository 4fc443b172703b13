// Object shadows into the quarter-size shadow mask (multiplied in; white = lit): one quad
// per screen tile and instance, darkening each pixel by the spheres of the instance
// (render/shadow_balls.h). NUMVEC = spheres per instance (8, 4, 2 or 1).
//   vc[15] = (tile width, tile height, -1, -1) in clip space; vc[16], vc[20]: screen to
//   quarter-size texels; vc[17..19] = far-plane corner rays; pc[16] = camera position;
//   pc[0] = the light vector; s8 = the quarter-size depth (gbuffer.inc).
#include "sky_light.inc"
#include "gbuffer.inc"

VARYING vec2 tc;
VARYING vec3 ray;
flat VARYING vec4 v_ball[NUMVEC];

#if VSH
in vec4 POSITION0; // quad corner, -1 or 1
in vec4 POSITION1; // tile column and row
in vec4 TEXCOORD0;
#if NUMVEC > 1
in vec4 TEXCOORD1;
#endif
#if NUMVEC > 2
in vec4 TEXCOORD2;
in vec4 TEXCOORD3;
#endif
#if NUMVEC > 4
in vec4 TEXCOORD4;
in vec4 TEXCOORD5;
in vec4 TEXCOORD6;
in vec4 TEXCOORD7;
#endif

void vsh()
{
  vec2 clip = (POSITION1.xy + POSITION0.xy * 0.5 + 0.5) * vc[15].xy + vc[15].zw;
  gl_Position = vec4(clip, 0.0, 1.0);
  tc = clip * vc[16].xy + 0.5 + 0.5 * vc[20].xy;
  ray = clip.x * vc[17].xyz + clip.y * vc[18].xyz + vc[19].xyz;
  v_ball[0] = TEXCOORD0;
#if NUMVEC > 1
  v_ball[1] = TEXCOORD1;
#endif
#if NUMVEC > 2
  v_ball[2] = TEXCOORD2;
  v_ball[3] = TEXCOORD3;
#endif
#if NUMVEC > 4
  v_ball[4] = TEXCOORD4;
  v_ball[5] = TEXCOORD5;
  v_ball[6] = TEXCOORD6;
  v_ball[7] = TEXCOORD7;
#endif
}
#endif

#if PSH
// Light left at p by the sphere b (centre, radius) with the light from l: a soft disc
// along the light ray whose edge widens with the distance behind the sphere, fading in
// over the sphere's own depth (no shadow on its lit side) and out by 8 radii, where the
// sphere stops being binned.
float ball_light(vec3 p, vec3 l, vec4 b)
{
  vec3 d = b.xyz - p;
  float t = dot(d, l);
  vec3 q = d - t * l;
  float r = b.w;
  float soft = r * 0.3 + max(t, 0.0) * 0.18;
  float disc = 1.0 - smoothstep(r - soft, r + soft, length(q));
  float along = smoothstep(-0.2 * r, 0.9 * r, t) * (1.0 - smoothstep(5.0 * r, 8.0 * r, t));
  return 1.0 - 0.72 * disc * along;
}

void psh()
{
  float depth = gb_unpack_depth(texture(s8, tc));
  float lit = 1.0;
  if (depth < 1.0)
  {
    vec3 p = pc[16].xyz + ray * depth;
    vec3 l = normalize(vec3(SUN_DIR.x, abs(SUN_DIR.y), SUN_DIR.z));
    for (int i = 0; i < NUMVEC; i++)
      lit *= ball_light(p, l, v_ball[i]);
  }
  COLOR0 = vec4(lit, lit, lit, 1.0);
}
#endif
