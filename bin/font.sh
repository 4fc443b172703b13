// Bitmap-font text and solid rectangles.
// vc[16] = (2 / width, 2 / height, -1 - 0.5 / width, 0.5 / height - 1): screen pixels
//          (origin at the bottom-left corner, y up) to clip space.
// vc[17] = (1 / texture width, 1 / texture height, 0, 0): texels to texture space.
// A texel coordinate of (-1, -1) marks a solid rectangle drawn in the vertex colour.
VARYING vec4 v_color;
VARYING vec3 v_uv; // z = 1 for glyphs, 0 for solid rectangles

#if VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy * vc[16].xy + vc[16].zw, 0.0, 1.0);
  v_color = COLOR0;
  float glyph = (TEXCOORD0.x < 0.0 && TEXCOORD0.y < 0.0) ? 0.0 : 1.0;
  v_uv = vec3(TEXCOORD0.xy * vc[17].xy, glyph);
}
#endif

#if PSH
void psh()
{
  vec4 t = v_uv.z > 0.5 ? texture(s0, v_uv.xy) : vec4(1.0);
  COLOR0 = v_color * t;
}
#endif
