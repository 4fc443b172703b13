// Final pass without post-effects: the scene image onto the back buffer under the frame
// tint (pc[1]: rgb, a = opacity).
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
  vec3 col = texture(s0, tc).rgb;
  col = mix(col, pc[1].rgb, clamp(pc[1].a, 0.0, 1.0));
  COLOR0 = vec4(col, 1.0);
}
#endif
