// Distance-field icons. Per vertex: screen position, colour 0, the packed parameters
// (dist_field.inc), atlas uv and colours 1 to 4. TEX_BATCH: the icon atlas, one layer per
// channel: red the silhouette painted in colour 0, green, blue and alpha the detail
// layers painted over it in colours 1 to 3; colour 4 is the outline and the shadow,
// both taken from the silhouette.
#include "gui_screen.inc"
#include "dist_field.inc"

VARYING vec2 v_uv;
VARYING vec4 v_c0;
VARYING vec4 v_params;
VARYING vec4 v_c1;
VARYING vec4 v_c2;
VARYING vec4 v_c3;
VARYING vec4 v_c4;

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 COLOR1;
in vec4 TEXCOORD0;
in vec4 TEXCOORD1;
in vec4 TEXCOORD2;
in vec4 TEXCOORD3;
in vec4 TEXCOORD4;

void vsh()
{
  gl_Position = gui_clip(POSITION0.xy);
  v_uv = TEXCOORD0.xy;
  v_c0 = COLOR0;
  v_params = COLOR1;
  v_c1 = TEXCOORD1;
  v_c2 = TEXCOORD2;
  v_c3 = TEXCOORD3;
  v_c4 = TEXCOORD4;
}
#endif

#if PSH
void psh()
{
  vec4 t = texture(TEX_BATCH, v_uv);
  float fill_edge = v_params.w, outline_edge = v_params.z;
  vec4 shade = premul(v_c4);
  vec4 res = vec4(0.0);
  float px = dist_pixel(t.r);
  if (dist_has_shadow(v_params))
  {
    float ts = texture(TEX_BATCH, v_uv - dist_shadow_offset(v_params)).r;
    res = shade * dist_shadow_cover(ts, min(fill_edge, outline_edge), px);
  }
  if (outline_edge < fill_edge)
    res = over(shade * dist_cover(t.r, outline_edge, px), res);
  res = over(premul(v_c0) * dist_cover(t.r, fill_edge, px), res);
  res = over(premul(v_c1) * dist_cover(t.g, fill_edge, dist_pixel(t.g)), res);
  res = over(premul(v_c2) * dist_cover(t.b, fill_edge, dist_pixel(t.b)), res);
  res = over(premul(v_c3) * dist_cover(t.a, fill_edge, dist_pixel(t.a)), res);
  COLOR0 = res;
}
#endif
