// World map, step 2: water over the cells that have a wet corner, alpha blended; deeper
// is darker and more opaque, foam shows white. TEX_MAP_WATER = (depth, foam) per cell, read texel by
// texel; corner (x, z) sits on the centre of map pixel (2x, 2z). Each cell is shaded as
// the two triangles (x, z) (x + 1, z) (x, z + 1) and (x + 1, z) (x, z + 1) (x + 1, z + 1)
// of a mesh through the corners would be, so depth and foam vary linearly within each.
#include "registers.inc"
#include "map_pass.inc"

#if PSH
vec2 corner(ivec2 c) { return texelFetch(TEX_MAP_WATER, c & 255, 0).rg; }

void psh()
{
  vec2 u = tc * 256.0 - 0.5;
  vec2 c0 = floor(u);
  vec2 f = u - c0;
  ivec2 i = ivec2(c0);
  vec2 a = corner(i), b = corner(i + ivec2(1, 0)), c = corner(i + ivec2(0, 1)), d = corner(i + ivec2(1, 1));
  if (max(max(a.x, b.x), max(c.x, d.x)) <= 0.01)
    discard;
  vec2 w = f.x + f.y <= 1.0 ? a + (b - a) * f.x + (c - a) * f.y
                            : d + (c - d) * (1.0 - f.x) + (b - d) * (1.0 - f.y);
  float depth = max(w.x, 0.0);
  float k = 1.0 - exp(-depth * 0.35);
  vec3 col = mix(vec3(0.25, 0.55, 0.7), vec3(0.04, 0.16, 0.32), k);
  col = mix(col, vec3(0.92, 0.95, 0.97), clamp(w.y, 0.0, 1.0) * 0.8);
  float alpha = clamp(0.35 + k * 0.65, 0.0, 1.0) * smoothstep(0.0, 0.05, depth);
  COLOR0 = vec4(col, alpha);
}
#endif
