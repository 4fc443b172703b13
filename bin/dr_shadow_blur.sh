// Separable blur of the quarter-size shadow mask (stage 11, red channel = light).
// pc[18] = (one texel, two texels) along the blur direction; vc[20].xy = the quarter
// targets' texel size.
VARYING vec2 tc;

#if VSH
in vec4 POSITION0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
  tc = POSITION0.xy * vc[16].xy + 0.5 + 0.5 * vc[20].xy;
}
#endif

#if PSH
void psh()
{
  float v = texture(s11, tc).r * 0.36;
  v += (texture(s11, tc - pc[18].xy).r + texture(s11, tc + pc[18].xy).r) * 0.22;
  v += (texture(s11, tc - pc[18].zw).r + texture(s11, tc + pc[18].zw).r) * 0.10;
  COLOR0 = vec4(v, v, v, 1.0);
}
#endif
