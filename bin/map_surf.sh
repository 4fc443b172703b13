// World map, step 1: ground colour under the surface layer. s0 = ground colours,
// s1 = layer colours; vc[16] = (1, 1, 0, 0), vc[17] = clip space to texels.
VARYING vec2 tc;

#if VSH
in vec4 POSITION0;

void vsh()
{
  vec2 p = POSITION0.xy * vc[16].xy + vc[16].zw;
  gl_Position = vec4(p, 0.0, 1.0);
  tc = p * vc[17].xy + vc[17].zw;
}
#endif

#if PSH
void psh()
{
  vec3 ground = texture(s0, tc).rgb;
  vec4 top = texture(s1, tc);
  COLOR0 = vec4(mix(ground, top.rgb, clamp(top.a * 1.3, 0.0, 1.0)), 1.0);
}
#endif
