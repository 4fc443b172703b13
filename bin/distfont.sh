// Distance-field text. Per vertex: screen position, fill colour, second colour (outline
// and shadow), atlas uv and the packed parameters (dist_field.inc). TEX_BATCH: the font
// atlas (one channel).
#include "gui_screen.inc"
#include "dist_field.inc"

VARYING vec2 v_uv;
VARYING vec4 v_color;
VARYING vec4 v_color2;
VARYING vec4 v_params;

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 COLOR1;
in vec4 TEXCOORD0;
in vec4 TEXCOORD1;

void vsh()
{
  gl_Position = gui_clip(POSITION0.xy);
  v_uv = TEXCOORD0.xy;
  v_color = COLOR0;
  v_color2 = COLOR1;
  v_params = TEXCOORD1;
}
#endif

#if PSH
void psh()
{
  float t = texture(TEX_BATCH, v_uv).r;
  float px = dist_pixel(t);
  float fill_edge = v_params.w, outline_edge = v_params.z;
  vec4 second = premul(v_color2);
  vec4 res = vec4(0.0);
  if (dist_has_shadow(v_params))
  {
    float ts = texture(TEX_BATCH, v_uv - dist_shadow_offset(v_params)).r;
    res = second * dist_shadow_cover(ts, min(fill_edge, outline_edge), px);
  }
  if (outline_edge < fill_edge)
    res = over(second * dist_cover(t, outline_edge, px), res);
  res = over(premul(v_color) * dist_cover(t, fill_edge, px), res);
  COLOR0 = res;
}
#endif
