// Object shadows into the quarter-size shadow mask (multiplied in; white = lit): one quad
// per screen tile and instance, darkening each pixel by the spheres of the instance
// (render/shadow_balls.h). NUMVEC = spheres per instance (8, 4, 2 or 1).
//   VC_SHADOW_TILE = a tile in clip space; VC_SHADOW_LIGHT = the light vector the spheres
//   were binned with; VC_GLOB_TM = view x projection; VC_SCREEN_TEXMAP, VC_QUARTER_TEXEL:
//   screen to quarter-size texels; VC_FAR_RAYS = far-plane corner rays; PC_CAMERA_POS;
//   the sun of PC_SKY; TEX_SHADOW_DEPTH, TEX_SHADOW_NORMALS (gbuffer.inc).
#include "registers.inc"
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

// The screen rectangle (clip space: x0, y0, x1, y1) of the sphere (c, r), computed as the
// binning does.
vec4 sphere_rect(vec3 c, float r)
{
  vec4 d = c.x * vc[VC_GLOB_TM] + c.y * vc[VC_GLOB_TM + 1] + c.z * vc[VC_GLOB_TM + 2] + vc[VC_GLOB_TM + 3];
  vec4 e = (abs(vc[VC_GLOB_TM]) + abs(vc[VC_GLOB_TM + 1]) + abs(vc[VC_GLOB_TM + 2])) * r;
  vec2 m = d.xy / max(d.w, 0.1), s = e.xy / max(d.w - e.w, 0.1);
  return vec4(m - s, m + s);
}

// Where a sphere's shadow can fall on screen: it reaches 8 radii down the light and
// widens to about 2 radii there (ball_light), so the rectangle around the sphere and the
// far end holds it. Tighter than the binned volume, which keeps the tiles.
vec4 ball_rect(vec4 b)
{
  vec4 a = sphere_rect(b.xyz, 1.35 * b.w), f = sphere_rect(b.xyz - 8.0 * b.w * vc[VC_SHADOW_LIGHT].xyz, 2.1 * b.w);
  return vec4(min(a.xy, f.xy), max(a.zw, f.zw));
}

void vsh()
{
  // The quad covers only the part of its tile that the instance's spheres reach.
  vec2 lo = POSITION1.xy * vc[VC_SHADOW_TILE].xy + vc[VC_SHADOW_TILE].zw, hi = lo + vc[VC_SHADOW_TILE].xy;
  vec4 r = ball_rect(TEXCOORD0);
#if NUMVEC > 1
  vec4 r1 = ball_rect(TEXCOORD1);
  r = vec4(min(r.xy, r1.xy), max(r.zw, r1.zw));
#endif
#if NUMVEC > 2
  vec4 r2 = ball_rect(TEXCOORD2), r3 = ball_rect(TEXCOORD3);
  r = vec4(min(r.xy, min(r2.xy, r3.xy)), max(r.zw, max(r2.zw, r3.zw)));
#endif
#if NUMVEC > 4
  vec4 r4 = ball_rect(TEXCOORD4), r5 = ball_rect(TEXCOORD5), r6 = ball_rect(TEXCOORD6), r7 = ball_rect(TEXCOORD7);
  r = vec4(min(r.xy, min(min(r4.xy, r5.xy), min(r6.xy, r7.xy))), max(r.zw, max(max(r4.zw, r5.zw), max(r6.zw, r7.zw))));
#endif
  vec2 a = max(lo, r.xy), b = max(min(hi, r.zw), a);
  vec2 clip = mix(a, b, POSITION0.xy * 0.5 + 0.5);
  gl_Position = vec4(clip, 0.0, 1.0);
  tc = clip * vc[VC_SCREEN_TEXMAP].xy + 0.5 + 0.5 * vc[VC_QUARTER_TEXEL].xy;
  ray = clip.x * vc[VC_FAR_RAYS].xyz + clip.y * vc[VC_FAR_RAYS + 1].xyz + vc[VC_FAR_RAYS + 2].xyz;
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
// over the sphere's own depth (no shadow on its lit side) and out between 6 and 8 radii,
// where the sphere stops being binned.
float ball_light(vec3 p, vec3 l, vec4 b)
{
  vec3 d = b.xyz - p;
  float t = dot(d, l);
  vec3 q = d - t * l;
  float r = b.w;
  float soft = r * 0.25 + max(t, 0.0) * 0.1;
  float disc = 1.0 - smoothstep(r - soft, r + soft, length(q));
  float along = smoothstep(-0.2 * r, 0.9 * r, t) * (1.0 - smoothstep(6.0 * r, 8.0 * r, t));
  return 1.0 - 0.8 * disc * along;
}

void psh()
{
  float depth = gb_unpack_depth(texture(TEX_SHADOW_DEPTH, tc));
  float lit = 1.0;
  vec3 n = texture(TEX_SHADOW_NORMALS, tc).xyz * 2.0 - 1.0;
  vec3 l = normalize(vec3(SUN_DIR.x, abs(SUN_DIR.y), SUN_DIR.z));
  // Nothing drawn there, or a surface turned from the sun (it gets no sunlight to lose).
  if (depth < 1.0 && dot(n, l) > -0.2)
  {
    // Lifted off its surface along the normal, a point of an object is not shadowed by
    // the object's own spheres (which sit inside its surface).
    vec3 p = pc[PC_CAMERA_POS].xyz + ray * depth + n * 0.45;
    for (int i = 0; i < NUMVEC; i++)
      lit *= ball_light(p, l, v_ball[i]);
  }
  COLOR0 = vec4(lit, lit, lit, 1.0);
}
#endif
