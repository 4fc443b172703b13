// Small helpers shared by the island scripts.

function clamp(v, lo, hi) { return v < lo ? lo : (v > hi ? hi : v); }
function minf(a, b) { return a < b ? a : b; }
function maxf(a, b) { return a > b ? a : b; }
// 0 below e0, 1 above e1, smooth in between.
function smoothstep(e0, e1, v) {
  local t = clamp((v - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}
// A packed colour 0xAARRGGBB from 0..255 channels.
function argb(a, r, g, b) { return (a << 24) | (r << 16) | (g << 8) | b; }

// The island's frame: its centre and how far a cell is from it, in island radii.
class IslandFrame {
  cx = 128.0;
  cz = 128.0;
  radius = 70.0;
  stretch = 1.0;  // > 1: longer in x than in z
  turn = 0.0;     // orientation of the long axis, radians

  // Distance of (x, z) from the centre in radii, the long axis stretched.
  function dist(x, z) {
    local dx = wrap(x - cx), dz = wrap(z - cz);
    local c = cos(turn), s = sin(turn);
    local u = (dx * c + dz * s) / stretch, v = -dx * s + dz * c;
    return sqrt(u * u + v * v) / radius;
  }
  function angle(x, z) { return atan2(wrap(z - cz), wrap(x - cx)); }
}
