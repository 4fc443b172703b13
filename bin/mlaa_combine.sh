// MLAA step 4: each pixel next to an edge is blended with the neighbour across it by
// the area that the reconstructed silhouette line cuts off. TEX_SCENE_IMAGE,
// TEX_MLAA_EDGES (r = edge above, g = edge on the left), TEX_MLAA_RUNS = run lengths
// (r, g = left and right counts of horizontal edges; b, a = up and down counts of
// vertical edges, n / 255). PC_MLAA_TEXEL.xy = one texel.
//
// A run of edge pixels ends in a crossing edge on one side or the other: the line goes
// through the middle of each crossing edge (half a pixel to that side, +0.5 towards the
// first row or column, -0.5 towards the second) and through the run's middle for a
// U shape. Pixels without an edge on any side stay exactly as they were.
#include "registers.inc"
VARYING vec2 tc;

#if VSH
in vec4 POSITION0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
  tc = POSITION0.xy * vc[VC_SCREEN_TEXMAP].xy + vc[VC_SCREEN_TEXMAP].zw;
}
#endif

#if PSH
vec4 edges_at(vec2 px) { return texture(TEX_MLAA_EDGES, tc + px * pc[PC_MLAA_TEXEL].xy); }
vec4 runs_at(vec2 px) { return floor(texture(TEX_MLAA_RUNS, tc + px * pc[PC_MLAA_TEXEL].xy) * 255.0 + 0.5); }

// Height of the line at the centre of the pixel at position a (0-based) in a run of n
// pixels whose ends cross at heights h0 and h1 (each -0.5, 0 or +0.5).
float line_height(float h0, float h1, float a, float n)
{
  float x = (a + 0.5) / n;
  if (h0 == 0.0 && h1 == 0.0)
    return 0.0;
  if (h0 * h1 > 0.0) // U: down to the edge in the middle and back
    return x < 0.5 ? h0 * (1.0 - 2.0 * x) : h1 * (2.0 * x - 1.0);
  if (h0 == 0.0)
    return h1 * x;
  if (h1 == 0.0)
    return h0 * (1.0 - x);
  return h0 + (h1 - h0) * x; // Z
}

float crossing(float first_side, float second_side)
{
  return first_side > 0.5 && second_side < 0.5 ? 0.5 : (second_side > 0.5 && first_side < 0.5 ? -0.5 : 0.0);
}

// The horizontal edge on top of the pixel at offset p: line height (+ = the row above).
float horizontal_line(vec2 p)
{
  vec4 r = runs_at(p);
  float left = max(r.r, 1.0), right = max(r.g, 1.0);
  float n = left + right - 1.0;
  vec2 x0 = p - vec2(left - 1.0, 0.0);
  vec2 x1 = p + vec2(right, 0.0);
  float h0 = crossing(edges_at(x0 + vec2(0.0, -1.0)).g, edges_at(x0).g);
  float h1 = crossing(edges_at(x1 + vec2(0.0, -1.0)).g, edges_at(x1).g);
  return line_height(h0, h1, left - 1.0, n);
}

// The vertical edge on the left of the pixel at offset p (+ = the column on the left).
float vertical_line(vec2 p)
{
  vec4 r = runs_at(p);
  float up = max(r.b, 1.0), down = max(r.a, 1.0);
  float n = up + down - 1.0;
  vec2 y0 = p - vec2(0.0, up - 1.0);
  vec2 y1 = p + vec2(0.0, down);
  float h0 = crossing(edges_at(y0 + vec2(-1.0, 0.0)).r, edges_at(y0).r);
  float h1 = crossing(edges_at(y1 + vec2(-1.0, 0.0)).r, edges_at(y1).r);
  return line_height(h0, h1, up - 1.0, n);
}

void psh()
{
  vec4 c = texture(TEX_SCENE_IMAGE, tc);
  vec4 e = edges_at(vec2(0.0));
  float e_below = edges_at(vec2(0.0, 1.0)).r;
  float e_right = edges_at(vec2(1.0, 0.0)).g;
  if (e.r < 0.5 && e.g < 0.5 && e_below < 0.5 && e_right < 0.5)
  {
    COLOR0 = c;
    return;
  }
  float w_up = 0.0, w_down = 0.0, w_left = 0.0, w_right = 0.0;
  if (e.r > 0.5)
    w_up = max(-horizontal_line(vec2(0.0)), 0.0);
  if (e_below > 0.5)
    w_down = max(horizontal_line(vec2(0.0, 1.0)), 0.0);
  if (e.g > 0.5)
    w_left = max(-vertical_line(vec2(0.0)), 0.0);
  if (e_right > 0.5)
    w_right = max(vertical_line(vec2(1.0, 0.0)), 0.0);
  float sum = w_up + w_down + w_left + w_right;
  if (sum <= 0.0)
  {
    COLOR0 = c;
    return;
  }
  float k = sum > 1.0 ? 1.0 / sum : 1.0;
  vec4 col = c * (1.0 - sum * k);
  col += texture(TEX_SCENE_IMAGE, tc - vec2(0.0, pc[PC_MLAA_TEXEL].y)) * w_up * k;
  col += texture(TEX_SCENE_IMAGE, tc + vec2(0.0, pc[PC_MLAA_TEXEL].y)) * w_down * k;
  col += texture(TEX_SCENE_IMAGE, tc - vec2(pc[PC_MLAA_TEXEL].x, 0.0)) * w_left * k;
  col += texture(TEX_SCENE_IMAGE, tc + vec2(pc[PC_MLAA_TEXEL].x, 0.0)) * w_right * k;
  COLOR0 = col;
}
#endif
