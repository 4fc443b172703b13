// World map, step 3 (low quality): hill shading from the normals s0, light from the
// upper left, multiplied over the map.
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
  vec3 n = normalize(texture(s0, tc).xyz * 2.0 - 1.0);
  vec3 l = normalize(vec3(-0.6, 1.0, -0.6));
  float light = 0.45 + 0.65 * clamp(dot(n, l), 0.0, 1.0);
  COLOR0 = vec4(vec3(clamp(light, 0.0, 1.0)), 1.0);
}
#endif
