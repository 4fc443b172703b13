// World map, step 2: water over the wet cells, alpha blended; deeper is darker and more
// opaque, foam shows white. Corner (x, z) sits on the centre of map cell (x, z).
VARYING vec2 v_water; // depth, foam

#if VSH
in vec4 POSITION0;
in vec4 TEXCOORD0;

void vsh()
{
  gl_Position = vec4(POSITION0.x / 128.0 - 1.0, 1.0 - POSITION0.y / 128.0, 0.0, 1.0);
  v_water = TEXCOORD0.xy;
}
#endif

#if PSH
void psh()
{
  float depth = max(v_water.x, 0.0);
  float k = 1.0 - exp(-depth * 0.35);
  vec3 col = mix(vec3(0.25, 0.55, 0.7), vec3(0.04, 0.16, 0.32), k);
  col = mix(col, vec3(0.92, 0.95, 0.97), clamp(v_water.y, 0.0, 1.0) * 0.8);
  float alpha = clamp(0.35 + k * 0.65, 0.0, 1.0) * smoothstep(0.0, 0.05, depth);
  COLOR0 = vec4(col, alpha);
}
#endif
