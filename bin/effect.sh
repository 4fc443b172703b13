// Trails and lightning: ribbons in world space, textured from glowfx.dds (the trail body
// at v 0..0.25, its head at u 0..0.125 and v 0.25..0.5, the lightning band at v 0.75..1)
// and added like glowing particles. See fx_common.inc.
#include "fx_common.inc"

VARYING vec2 v_uv;
VARYING vec4 v_color;

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  vec3 p = POSITION0.xyz;
  gl_Position = fx_clip_pos(p);
  v_uv = TEXCOORD0.xy;
  v_color = COLOR0;
}
#endif

#if PSH
void psh()
{
  vec4 t = texture(TEX_FX_ATLAS, v_uv);
  fx_out_glow(t.rgb * v_color.rgb * v_color.a);
}
#endif
