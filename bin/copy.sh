// Plain full-screen copy: stage 0 onto the target, one texel per pixel.
// vc[16] = (0.5, -0.5, 0.5 + 0.5 / width, 0.5 + 0.5 / height) maps clip space to texels.
VARYING vec2 tc;

#if VSH
in vec4 POSITION0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
  tc = POSITION0.xy * vc[16].xy + vc[16].zw;
}
#endif

#if PSH
void psh()
{
  COLOR0 = texture(s0, tc);
}
#endif
