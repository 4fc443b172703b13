// Bitmap-font text and solid rectangles: VC_FONT_SCREEN maps screen pixels to clip space,
// VC_FONT_TEXEL texels to texture space, TEX_BATCH is the font.
// A texel coordinate of (-1, -1) marks a solid rectangle drawn in the vertex colour.
#include "registers.inc"
VARYING vec4 v_color;
VARYING vec3 v_uv; // z = 1 for glyphs, 0 for solid rectangles

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy * vc[VC_FONT_SCREEN].xy + vc[VC_FONT_SCREEN].zw, 0.0, 1.0);
  v_color = COLOR0;
  float glyph = (TEXCOORD0.x < 0.0 && TEXCOORD0.y < 0.0) ? 0.0 : 1.0;
  v_uv = vec3(TEXCOORD0.xy * vc[VC_FONT_TEXEL].xy, glyph);
}
#endif

#if PSH
void psh()
{
  vec4 t = v_uv.z > 0.5 ? texture(TEX_BATCH, v_uv.xy) : vec4(1.0);
  COLOR0 = v_color * t;
}
#endif
