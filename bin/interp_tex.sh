// Between two results of the world refresh over the region where they differ:
// s0 = previous, s1 = next, pc[0] = (t, t, t, t). vc[17] puts the quad on the region,
// vc[16] = (0.5, -0.5, 0.5 + 0.5 / size, 0.5 + 0.5 / size) maps clip space to texels.
VARYING vec2 tc;

#if VSH
in vec4 POSITION0;

void vsh()
{
  vec2 p = POSITION0.xy * vc[17].xy + vc[17].zw;
  gl_Position = vec4(p, 0.0, 1.0);
  tc = p * vc[16].xy + vc[16].zw;
}
#endif

#if PSH
void psh()
{
  COLOR0 = mix(texture(s0, tc), texture(s1, tc), pc[0]);
}
#endif
