// MLAA run lengths of horizontal edges (the edge texture's red channel) along rows: r = pixels
// of the run ending here from the left, g = from the right (both including this one).
// Counts are stored as n / 255, capped at 255. [FIRST] starts from the edges (stage 0):
// up to 2 pixels. Every later pass with step s (pc[0].x = s / 255) reads the previous
// counts (stage 1): a count that reached s is extended by the count s pixels further on,
// so after the step-128 pass runs of up to 255 pixels are measured.
// vc[17] = (one texel, s texels) along the direction.
VARYING vec2 tc;
VARYING vec2 one;
VARYING vec2 stride;

#if VSH
in vec4 POSITION0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
  tc = POSITION0.xy * vc[16].xy + vc[16].zw;
  one = vc[17].xy;
  stride = vc[17].zw;
}
#endif

#if PSH
void psh()
{
  float a, b;
#if defined(FIRST)
  float e = texture(s0, tc).r;
  float e0 = texture(s0, tc - one).r;
  float e1 = texture(s0, tc + one).r;
  a = e > 0.5 ? (1.0 + step(0.5, e0)) / 255.0 : 0.0;
  b = e > 0.5 ? (1.0 + step(0.5, e1)) / 255.0 : 0.0;
#else
  vec2 c = texture(s1, tc).rg;
  float s = pc[0].x - 0.5 / 255.0;
  a = c.x >= s ? c.x + texture(s1, tc - stride).r : c.x;
  b = c.y >= s ? c.y + texture(s1, tc + stride).g : c.y;
  a = min(a, 1.0);
  b = min(b, 1.0);
#endif
#if defined(FINAL)
  COLOR0 = vec4(0.0, 0.0, a, b);
#else
  COLOR0 = vec4(a, b, 0.0, 0.0);
#endif
}
#endif
