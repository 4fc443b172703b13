// Between two results of the world refresh: s0 = previous, s1 = next, pc[0] = (t, t, t, t).
// vc[16] = (0.5, -0.5, 0.5 + 0.5 / size, 0.5 + 0.5 / size).
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
  COLOR0 = mix(texture(s0, tc), texture(s1, tc), pc[0]);
}
#endif
