// The sky and light colours for every sun position.
//
// get_sky_colors(angle) is called with the sun's angle from straight overhead in degrees:
// 0 at noon, 90 at the horizon, above 90 below it. It returns ten entries, each [r, g, b].
// The program hands them unchanged to the shaders (sky, terrain, lighting, shadows);
// this is what each one means to them:
//
//   0  sun       colour and strength of the direct sunlight
//   1  ambient   light added everywhere, from the whole sky (lifts the shadows)
//   2  haze      extinction of light through the air per channel; larger is thicker.
//                The program derives two more entries from it: e^(-haze / 0.2) and
//                e^(-haze), the light left after a long and a short path
//   3  glow      colour added around the sun near the horizon (dawn, dusk)
//   4  zenith    sky colour straight up
//   5  horizon   sky colour at the horizon
//   6  fog       colour distant land fades into
//   7  scatter   how strongly the air scatters red, green and blue (blue the most)
//   8  halo      x: brightness of the haze around the sun, y: its tightness, z: sun disc size
//   9  exposure  x: overall exposure of the lit scene, y: of the sky, z: night (0 day, 1 night)
//
// Edit freely while the game runs: saving this file recolours the sky at once.

function mix(a, b, t) {
  return [a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t];
}
function scale(a, k) { return [a[0] * k, a[1] * k, a[2] * k]; }
function clamp01(v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// Key times of the day: noon, afternoon, sunset (sun on the horizon), night.
noon <- {
  sun = [1.0, 0.97, 0.9], ambient = [0.16, 0.19, 0.24], haze = [0.45, 0.15, 0.06],
  glow = [0.0, 0.0, 0.0], zenith = [0.2, 0.42, 0.85], horizon = [0.62, 0.76, 0.92],
  fog = [0.66, 0.76, 0.86]
};
afternoon <- {
  sun = [1.0, 0.9, 0.74], ambient = [0.15, 0.17, 0.22], haze = [0.5, 0.2, 0.09],
  glow = [0.12, 0.06, 0.02], zenith = [0.18, 0.36, 0.78], horizon = [0.72, 0.74, 0.8],
  fog = [0.7, 0.72, 0.76]
};
sunset <- {
  sun = [1.0, 0.55, 0.25], ambient = [0.12, 0.1, 0.14], haze = [0.7, 0.35, 0.2],
  glow = [0.9, 0.38, 0.12], zenith = [0.14, 0.2, 0.45], horizon = [0.95, 0.5, 0.28],
  fog = [0.6, 0.42, 0.36]
};
night <- {
  sun = [0.08, 0.1, 0.18], ambient = [0.04, 0.05, 0.09], haze = [0.3, 0.2, 0.15],
  glow = [0.0, 0.0, 0.0], zenith = [0.01, 0.015, 0.04], horizon = [0.04, 0.05, 0.09],
  fog = [0.03, 0.04, 0.07]
};

// The two key times around the angle and how far between them it is.
function key_times(angle) {
  if (angle <= 45.0)
    return [noon, afternoon, clamp01(angle / 45.0)];
  if (angle <= 90.0)
    return [afternoon, sunset, clamp01((angle - 45.0) / 45.0)];
  return [sunset, night, clamp01((angle - 90.0) / 12.0)];
}

function get_sky_colors(angle) {
  local k = key_times(angle);
  local a = k[0], b = k[1], t = k[2];
  t = t * t * (3.0 - 2.0 * t);
  local night_amount = clamp01((angle - 90.0) / 12.0);
  local low_sun = clamp01((angle - 60.0) / 30.0);  // the halo widens as the sun sinks
  return [
    mix(a.sun, b.sun, t),
    mix(a.ambient, b.ambient, t),
    mix(a.haze, b.haze, t),
    mix(a.glow, b.glow, t),
    mix(a.zenith, b.zenith, t),
    mix(a.horizon, b.horizon, t),
    mix(a.fog, b.fog, t),
    [3.0, 6.0, 15.0],
    [2.0 - low_sun, 8.0 - 4.0 * low_sun, 0.02],
    [2.0 - night_amount, 1.0, night_amount]
  ];
}
