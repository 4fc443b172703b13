// GUI boxes: a rectangle with its own radius at each corner, an optional stroke around
// it and an optional soft shadow, all from per-vertex data (44-byte vertices):
//   POSITION0 the quad corner; TEXCOORD0 the rectangle's centre; TEXCOORD1 its size;
//   TEXCOORD2 the corner radii / 255 (x top-left, y top-right, z bottom-right,
//   w bottom-left); COLOR0 the fill; COLOR1 the second colour, which paints the stroke
//   and the shadow; TEXCOORD3 (shadow dx / 255 + 0.5, dy / 255 + 0.5,
//   size / 255 + 0.5, border / 255); TEXCOORD4.x the shadow spread (< 0: no shadow).
// The stroke lies outside the rectangle and is `border` pixels wide; a border of 0.5 or
// less is only the anti-aliased edge. The shadow is the rectangle moved by (dx, dy),
// grown by the spread and blurred over `size` pixels.
#include "gui_screen.inc"

VARYING vec2 v_pos;
VARYING vec2 v_centre;
VARYING vec2 v_half;
VARYING vec4 v_radii;
VARYING vec4 v_fill;
VARYING vec4 v_second;
VARYING vec4 v_shadow; // dx, dy, size, border in pixels
VARYING float v_spread;

#if VSH
in vec4 POSITION0;
in vec4 TEXCOORD0;
in vec4 TEXCOORD1;
in vec4 TEXCOORD2;
in vec4 COLOR0;
in vec4 COLOR1;
in vec4 TEXCOORD3;
in vec4 TEXCOORD4;

void vsh()
{
  gl_Position = gui_clip(POSITION0.xy);
  v_pos = gui_pixel(POSITION0.xy);
  v_centre = TEXCOORD0.xy;
  v_half = TEXCOORD1.xy * 0.5;
  v_radii = min(TEXCOORD2 * 255.0, vec4(min(v_half.x, v_half.y)));
  v_fill = COLOR0;
  v_second = COLOR1;
  v_shadow = vec4((TEXCOORD3.xyz - 0.5) * 255.0, TEXCOORD3.w * 255.0);
  v_spread = TEXCOORD4.x;
}
#endif

#if PSH
// Signed distance to the rounded rectangle around the origin (negative inside).
float box_dist(vec2 q, vec2 half_size, vec4 radii)
{
  float r = q.x < 0.0 ? (q.y < 0.0 ? radii.x : radii.w) : (q.y < 0.0 ? radii.y : radii.z);
  vec2 d = abs(q) - half_size + r;
  return length(max(d, 0.0)) + min(max(d.x, d.y), 0.0) - r;
}

void psh()
{
  vec2 q = v_pos - v_centre;
  float d = box_dist(q, v_half, v_radii);
  float border = max(v_shadow.w, 0.5);
  float inside = clamp(0.5 - d, 0.0, 1.0);
  float outer = border > 0.5 ? clamp(border + 0.5 - d, 0.0, 1.0) : inside;
  vec4 second = premul(v_second);
  vec4 res = premul(v_fill) * inside + second * (outer - inside);
  if (v_spread >= 0.0)
  {
    float size = max(v_shadow.z, 0.5);
    float ds = box_dist(q - v_shadow.xy, v_half, v_radii) - v_spread;
    res = over(res, second * (1.0 - smoothstep(-size, size, ds)));
  }
  COLOR0 = res;
}
#endif
