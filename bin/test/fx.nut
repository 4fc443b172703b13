// The effects: fire, water, lightning, magic. Each effect is a function
//
//     name(a, b, c, t)
//
// called by the game (through call_fx_script) with three vectors and a number:
//
//     a  where it happens (a missile's position now, the point of impact, ...)
//     b  the way up there (the ground's normal for impacts)
//     c  a direction: of flight for missiles and trails, of the blow for impacts, the
//        way a portal faces
//     t  trails and lasting effects: the seconds to fill (call them every update with
//        t = the step); bursts: a strength, 1 = normal
//
// The preview switch runs any of them where the view meets the land (or the water):
//
//     zarnith -dev -fx 40:meteor_explode -screenshot-at 46
//
// with a = that point, b = (0, 1, 0, 0), c = the camera's forward vector, t = 1.
//
// An effect spawns particles with
//
//     add_blend_particle(position, velocity, params)   smoke, dust, water, feathers:
//                                                      they cover what is behind them
//     add_glow_particle(position, velocity, params)    fire, sparks, light: added to it
//
// and lightning with add_lightning_fx(from, to, ctrl, width, wavelength, amplitude, life,
// color, points). params must hold every one of these keys:
//
//     accel      vec4f: acceleration; w changes the drag per second
//     life       seconds the particle is seen
//     delay      seconds until it is born (negative: born that much earlier, already aged)
//     size       half its width in world units
//     mapU, mapV, mapSize   its cell in the atlas (texels, see the tables below)
//     startRoll  rotation on screen, radians
//     rollScale  extra rotation, times rollAnim over the life
//     colorAnim  ColorRamp multiplying the colour over the life, or null
//     sizeAnim   FloatRamp multiplying the size, or null
//     rollAnim   FloatRamp for the extra rotation, or null
//     color      0xAARRGGBB or a colour value (vec4f, [r, g, b, a], a number)
//
// The velocity's w is the drag: the velocity is pulled toward zero by that much per
// second (drag 2 halves it in about a third of a second). Blended particles are lit by
// the sun and the sky; a glowing particle's brightness is its sprite x colour x alpha.
//
// Save this file while the game runs: every particle is cleared and the file runs again.
//
// The atlases (512 x 256 texels). Each cell: name, x, y, cell size.
//
// blendfx.dds, blended sprites (light grey: the colour tints them):
//   smoke_a      0   0 128    smoke_b    128   0 128    smoke_c    256   0 128
//   dust_cloud 384   0 128    (soft wispy dust)
//   dust         0 128  64    drop        64 128  64    splash     128 128  64 (a crown)
//   spray      192 128  64    foam       256 128  64    feather_a  320 128  64
//   feather_b  384 128  64    ripple     448 128  64
//   soft_dot     0 192  32    puff_a      32 192  32    puff_b      64 192  32
//   grain       96 192  32    foam_bit   128 192  32    droplet_a  160 192  32
//   droplet_b  192 192  32    mist       224 192  32
//   ash_a        0 224  32    ash_b       32 224  32    ash_c       64 224  32
//   chip_a      96 224  32    chip_b     128 224  32    chip_c     160 224  32
//   leaf       192 224  32    pebble     224 224  32
//   wisp       256 192  64    down       320 192  64    sheet      384 192  64 (low splash)
//   bubble     448 192  64
//
// glowfx.dds, glowing sprites (white, except the flames and the fire puff, which carry
// their own colours: tint those with white to keep them):
//   trail_head   0  64  64    flare       64  64  64    glow_ball  128  64  64
//   ring       192  64  64    shock_wave 256  64  64    flame_a    320  64  64
//   flame_b    384  64  64    sparkle    448  64  64
//   fire_puff    0 128  64    spark       64 128  64 (its head points right)
//   ember      128 128  64    heal_plus  192 128  64    flash      256 128  64
//   rune_ring  320 128  64    bubble_rim 384 128  64    swirl      448 128  64
//   the trail ribbon: body 0..512 x 0..64 (u from head to tail), head 0..64 x 64..128;
//   the lightning band: 0..512 x 192..256 (repeats along u)

const TWO_PI = 6.2831853;

B <- {
  smoke_a = [0, 0, 128], smoke_b = [128, 0, 128], smoke_c = [256, 0, 128], dust_cloud = [384, 0, 128],
  dust = [0, 128, 64], drop = [64, 128, 64], splash = [128, 128, 64], spray = [192, 128, 64],
  foam = [256, 128, 64], feather_a = [320, 128, 64], feather_b = [384, 128, 64], ripple = [448, 128, 64],
  soft_dot = [0, 192, 32], puff_a = [32, 192, 32], puff_b = [64, 192, 32], grain = [96, 192, 32],
  foam_bit = [128, 192, 32], droplet_a = [160, 192, 32], droplet_b = [192, 192, 32], mist = [224, 192, 32],
  ash_a = [0, 224, 32], ash_b = [32, 224, 32], ash_c = [64, 224, 32], chip_a = [96, 224, 32],
  chip_b = [128, 224, 32], chip_c = [160, 224, 32], leaf = [192, 224, 32], pebble = [224, 224, 32],
  wisp = [256, 192, 64], down = [320, 192, 64], sheet = [384, 192, 64], bubble = [448, 192, 64],
};
G <- {
  trail_head = [0, 64, 64], flare = [64, 64, 64], glow_ball = [128, 64, 64], ring = [192, 64, 64],
  shock_wave = [256, 64, 64], flame_a = [320, 64, 64], flame_b = [384, 64, 64], sparkle = [448, 64, 64],
  fire_puff = [0, 128, 64], spark = [64, 128, 64], ember = [128, 128, 64], heal_plus = [192, 128, 64],
  flash = [256, 128, 64], rune_ring = [320, 128, 64], bubble_rim = [384, 128, 64], swirl = [448, 128, 64],
};

// ---------------------------------------------------------------------------------------
// Helpers

ZERO <- vec4f(0, 0, 0, 0);
UP <- vec4f(0, 1, 0, 0);
GRAVITY <- vec4f(0, -9.8, 0, 0);
fx_time <- 0.0;

function update_fx(dt) { fx_time += dt; }

function pick(list) { return list[irnd() % list.len()]; }
function len(v) { return getx(len3(v)); }
function dot(a, b) { return getx(dot3(a, b)); }
function lerp(a, b, t) { return a + (b - a) * t; }

// A random unit vector; within a hemisphere around n; within a cone of half-angle
// `spread` (0..1, 1 = hemisphere) around n.
function rnd_dir() {
  while (true) {
    local v = vec4f(srnd(), srnd(), srnd(), 0);
    local l = getx(len3Sq(v));
    if (l > 0.01 && l <= 1.0)
      return v * (1.0 / sqrt(l));
  }
}
function rnd_hemi(n) {
  local v = rnd_dir();
  return dot(v, n) < 0 ? -v : v;
}
function rnd_cone(n, spread) { return norm3(n + rnd_dir() * spread); }

// Two unit vectors across n.
function across(n) {
  local a = fabs(getx(n)) < 0.9 ? vec4f(1, 0, 0, 0) : vec4f(0, 0, 1, 0);
  local u = norm3(cross(n, a));
  return [u, cross(n, u)];
}

function unit_or(v, fallback) {
  local l = len(v);
  return l > 1e-4 ? v * (1.0 / l) : fallback;
}

// The velocity's w is the drag.
function vel(v, drag) { return vec4f(getx(v), gety(v), getz(v), drag); }

// Every key of a particle; the effects change what they need.
function P(cell, life, size, color) {
  return {
    accel = ZERO, life = life, delay = 0.0, size = size,
    mapU = cell[0], mapV = cell[1], mapSize = cell[2],
    startRoll = frnd() * TWO_PI, rollScale = 0.0,
    colorAnim = null, sizeAnim = null, rollAnim = null, color = color
  };
}

// ---------------------------------------------------------------------------------------
// Ramps over a particle's life (they multiply its colour, size and rotation)

// Glow: quick rise, long fall.
glow_fade <- ColorRamp.fadeInOut(0x00000000, 0xFFFFFFFF, 0x00000000, 0.08, 0.7);
glow_flash <- ColorRamp.fadeInOut(0xFFFFFFFF, 0xFFFFFFFF, 0x00000000, 0.0, 0.95);
glow_twinkle <- ColorRamp(function(t) {
  local e = t < 0.15 ? t / 0.15 : 1.0 - (t - 0.15) / 0.85;
  local f = e * (0.65 + 0.35 * sin(t * 40.0));
  return vec4f(f, f, f, f);
});
// Fire: yellow-white, orange, a dull red, then out (the flame sprites carry their own
// hot cores, so the ramp only cools them).
fire_cool <- ColorRamp(function(t) {
  local r, g, b;
  if (t < 0.3) {
    local u = t / 0.3;
    r = 1.0; g = 0.8 - 0.35 * u; b = 0.45 - 0.33 * u;
  }
  else {
    local u = (t - 0.3) / 0.7;
    r = 1.0 - 0.45 * u; g = 0.45 - 0.37 * u; b = 0.12 - 0.1 * u;
  }
  local a = t < 0.06 ? t / 0.06 : pow(1.0 - (t - 0.06) / 0.94, 1.5);
  return vec4f(r, g, b, a);
});
// Embers: glowing orange, flickering, dimming to red.
ember_cool <- ColorRamp(function(t) {
  local flick = 0.75 + 0.25 * sin(t * 55.0 + sin(t * 13.0) * 3.0);
  local a = (t < 0.05 ? t / 0.05 : 1.0 - t) * flick;
  return vec4f(1.0, 0.55 - 0.35 * t, 0.2 - 0.18 * t, a);
});
// Smoke: fades in, thins out slowly.
smoke_fade <- ColorRamp.fadeInOut(0x00FFFFFF, 0xFFFFFFFF, 0x00FFFFFF, 0.12, 0.75);
smoke_late <- ColorRamp.fadeInOut(0x00FFFFFF, 0xFFFFFFFF, 0x00FFFFFF, 0.35, 0.6);
// Water: appears at once, goes at the end.
water_fade <- ColorRamp.fadeInOut(0xFFFFFFFF, 0xFFFFFFFF, 0x00FFFFFF, 0.0, 0.35);
mist_fade <- ColorRamp.fadeInOut(0x00FFFFFF, 0xFFFFFFFF, 0x00FFFFFF, 0.2, 0.8);
// Feathers keep their look until late.
feather_fade <- ColorRamp.fadeInOut(0x00FFFFFF, 0xFFFFFFFF, 0x00FFFFFF, 0.05, 0.25);

grow_smoke <- FloatRamp(function(t) { return 0.45 + 1.9 * sqrt(t); });
grow_fire <- FloatRamp(function(t) { return 0.6 + 0.9 * sqrt(t); });
shrink_fire <- FloatRamp(function(t) { return 1.0 - 0.7 * t; });
grow_fast <- FloatRamp(function(t) { return 0.15 + 0.85 * sqrt(sqrt(t)); });
grow_ring <- FloatRamp(function(t) { return 0.1 + 0.9 * sqrt(t); });
shrink <- FloatRamp.linear(1.0, 0.2);
pulse <- FloatRamp(function(t) { return 0.8 + 0.2 * sin(t * TWO_PI * 3.0); });
spin <- FloatRamp.linear(0.0, 1.0);
flutter <- FloatRamp(function(t) { return sin(t * 9.0) * 0.6 + t * 2.0; });

// ---------------------------------------------------------------------------------------
// Building blocks

// Fire puffs and flame tongues rising where the flames are.
function flames(at, drift, n, size, life, delay) {
  for (local i = 0; i < n; i++) {
    local p = P(pick([G.fire_puff, G.flame_a, G.flame_b, G.fire_puff]), life * rndf(0.7, 1.2), size * rndf(0.7, 1.3),
                pick([0x60FFFFFF, 0x58FFE0C0, 0x50FFC0A0]));
    p.delay = delay;
    p.accel = vec4f(0, 3.0, 0, 0);
    p.colorAnim = fire_cool;
    p.sizeAnim = grow_fire;
    p.rollScale = srnd() * 1.5;
    p.rollAnim = spin;
    if (p.mapU != G.fire_puff[0] || p.mapV != G.fire_puff[1])
      p.startRoll = srnd() * 0.4; // tongues point up
    add_glow_particle(at + rnd_dir() * (size * 0.4), vel(drift + rnd_dir() * (size * 1.2), 2.5), p);
  }
}

// Smoke billowing from at, rising and spreading.
function smoke(at, drift, n, size, life, color, delay) {
  for (local i = 0; i < n; i++) {
    local p = P(pick([B.smoke_a, B.smoke_b, B.smoke_c, B.puff_a]), life * rndf(0.75, 1.25), size * rndf(0.6, 1.2),
                color);
    p.delay = delay + frnd() * 0.25;
    p.accel = vec4f(srnd() * 0.4, rndf(0.6, 1.8), srnd() * 0.4, 0);
    p.colorAnim = smoke_fade;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd() * 1.2;
    p.rollAnim = spin;
    add_blend_particle(at + rnd_dir() * (size * 1.1), vel(drift + rnd_dir() * (size * 1.4), 1.1), p);
  }
}

// Sparks thrown out around n, falling; embers flicker and drift on the heat.
function sparks(at, n, dir, spread, speed, color, life, delay) {
  for (local i = 0; i < n; i++) {
    local p = P(pick([G.ember, G.spark]), life * rndf(0.5, 1.2), rndf(0.25, 0.45), color);
    p.delay = delay + frnd() * 0.05;
    p.accel = GRAVITY * 0.8;
    p.colorAnim = ember_cool;
    p.sizeAnim = shrink;
    add_glow_particle(at, vel(rnd_cone(dir, spread) * (speed * rndf(0.4, 1.1)), 0.6), p);
  }
}

function embers(at, n, radius, life, delay) {
  for (local i = 0; i < n; i++) {
    local p = P(G.ember, life * rndf(0.6, 1.3), rndf(0.05, 0.14), 0xFFFFB060);
    p.delay = delay + frnd() * 0.4;
    p.accel = vec4f(srnd() * 1.5, rndf(0.5, 2.0), srnd() * 1.5, 0);
    p.colorAnim = ember_cool;
    add_glow_particle(at + rnd_dir() * radius, vel(rnd_dir() * 2.0 + UP * 1.5, 0.8), p);
  }
}

function flash(at, size, color, life, delay) {
  local p = P(G.flash, life, size, color);
  p.delay = delay;
  p.colorAnim = glow_flash;
  p.sizeAnim = grow_fast;
  add_glow_particle(at, ZERO, p);
}

function shock_ring(at, size, color, life, delay) {
  local p = P(G.shock_wave, life, size, color);
  p.delay = delay;
  p.colorAnim = glow_flash;
  p.sizeAnim = grow_ring;
  add_glow_particle(at, ZERO, p);
}

// Chips of rock and earth thrown up around n.
function debris(at, n, n_up, speed, color) {
  for (local i = 0; i < n; i++) {
    local p = P(pick([B.chip_a, B.chip_b, B.chip_c, B.pebble, B.grain]), rndf(1.0, 1.8), rndf(0.12, 0.3), color);
    p.accel = GRAVITY * 1.6;
    p.colorAnim = water_fade;
    p.rollScale = srnd() * 12.0;
    p.rollAnim = spin;
    add_blend_particle(at + UP * 0.3, vel(rnd_cone(n_up, 0.8) * (speed * rndf(0.4, 1.0)), 0.3), p);
  }
}

// Water drops flung out around n, falling under gravity.
function droplets(at, n, dir, spread, speed, size, delay) {
  for (local i = 0; i < n; i++) {
    local p = P(pick([B.drop, B.droplet_a, B.droplet_b, B.spray]), rndf(0.6, 1.3), size * rndf(0.6, 1.3),
                0xE0E8F4FF);
    p.delay = delay + frnd() * 0.05;
    p.accel = GRAVITY * 1.5;
    p.colorAnim = water_fade;
    p.startRoll = srnd() * 0.3;
    add_blend_particle(at, vel(rnd_cone(dir, spread) * (speed * rndf(0.5, 1.1)), 0.4), p);
  }
}

function mist(at, n, size, life, color, delay) {
  for (local i = 0; i < n; i++) {
    local p = P(pick([B.mist, B.puff_a, B.puff_b, B.wisp]), life * rndf(0.7, 1.3), size * rndf(0.7, 1.3), color);
    p.delay = delay + frnd() * 0.2;
    p.accel = vec4f(0, 0.4, 0, 0);
    p.colorAnim = mist_fade;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd();
    p.rollAnim = spin;
    add_blend_particle(at + rnd_dir() * size, vel(rnd_dir() * (size * 0.8), 1.5), p);
  }
}

// Particles along the path flown during the last t seconds, each already aged by when
// it was left behind: fn(position, age). The missile flew at speed along dir and falls
// with `sag` (units per second squared), so the path behind it arcs up toward the cast.
function along_path(pos, dir, speed, sag, t, per_second, fn) {
  local n = (per_second * t + frnd()).tointeger();
  local d = unit_or(dir, UP);
  for (local i = 0; i < n; i++) {
    local age = (i + frnd()) / n * t;
    fn(pos - d * (speed * age) + UP * (0.5 * sag * age * age), age);
  }
}

// ---------------------------------------------------------------------------------------
// Fireball
//
// fireball_trail(pos, up, dir, t): the fireball at pos flying along dir; the fire and
//   smoke it left over the last t seconds.
// fireball_explode(pos, normal, dir, strength): the blast where it hits.

const FIREBALL_SPEED = 22.0;

function fireball_trail(pos, up, dir, t) {
  local d = unit_or(dir, UP);
  // The ball itself: a hot core and a halo, renewed each update.
  local core = P(G.glow_ball, 0.12, 2.2, 0xFFFFD890);
  core.colorAnim = glow_flash;
  add_glow_particle(pos, ZERO, core);
  local halo = P(G.flare, 0.1, 4.0, 0x90FF8030);
  halo.rollScale = 2.0;
  halo.rollAnim = spin;
  add_glow_particle(pos, ZERO, halo);
  along_path(pos, d, FIREBALL_SPEED, 7.0, t, 60.0, function(at, age) {
    local p = P(pick([G.fire_puff, G.flame_a, G.fire_puff]), rndf(0.3, 0.5), rndf(0.9, 1.5), 0xB0FFFFFF);
    p.delay = -age;
    p.colorAnim = fire_cool;
    p.sizeAnim = grow_fire;
    p.rollScale = srnd() * 2.0;
    p.rollAnim = spin;
    add_glow_particle(at + rnd_dir() * 0.4, vel(rnd_dir() * 1.5 + UP * 1.0, 2.0), p);
  });
  along_path(pos, d, FIREBALL_SPEED, 7.0, t, 28.0, function(at, age) {
    local p = P(pick([B.smoke_a, B.smoke_b, B.puff_a, B.smoke_c]), rndf(1.6, 2.6), rndf(0.9, 1.4), 0x80605650);
    p.delay = -age + 0.1;
    p.accel = vec4f(0, rndf(0.8, 1.6), 0, 0);
    p.colorAnim = smoke_late;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd() * 1.5;
    p.rollAnim = spin;
    add_blend_particle(at + rnd_dir() * 0.5, vel(rnd_dir() * 0.8, 1.0), p);
  });
  along_path(pos, d, FIREBALL_SPEED, 7.0, t, 16.0, function(at, age) {
    local p = P(G.ember, rndf(0.5, 1.0), rndf(0.15, 0.3), 0xFFFFC070);
    p.delay = -age;
    p.accel = GRAVITY * 0.4;
    p.colorAnim = ember_cool;
    add_glow_particle(at, vel(rnd_dir() * 3.0, 0.8), p);
  });
}

function fireball_explode(pos, normal, dir, strength) {
  local n = unit_or(normal, UP);
  local k = strength > 0 ? strength : 1.0;
  local at = pos + n * 1.5;
  flash(at, 14.0 * k, 0x90FFD8A0, 0.25, 0.0);
  shock_ring(at, 16.0 * k, 0xA0FFB060, 0.45, 0.0);
  flames(at, n * 4.0, (24 * k).tointeger(), 3.0 * k, 0.9, 0.0);
  // A second wave of fire that rolls outward as the first rises.
  for (local i = 0; i < 14 * k; i++) {
    local p = P(pick([G.fire_puff, G.flame_b]), rndf(0.6, 1.0), rndf(2.0, 3.2) * k, 0x48FFD0B0);
    p.delay = frnd() * 0.1;
    p.colorAnim = fire_cool;
    p.sizeAnim = grow_fire;
    p.rollScale = srnd() * 2.0;
    p.rollAnim = spin;
    add_glow_particle(at, vel(rnd_hemi(n) * rndf(9.0, 15.0) * k, 3.0), p);
  }
  sparks(at, (60 * k).tointeger(), n, 0.9, 24.0 * k, 0xFFFFD080, 1.6, 0.0);
  smoke(at + n * 2.5, n * 2.5, (22 * k).tointeger(), 3.0 * k, 4.0, 0x907A6A5E, 0.2);
  debris(pos, (16 * k).tointeger(), n, 15.0 * k, 0xFF705A48);
  embers(at + n * 2.0, (30 * k).tointeger(), 4.0 * k, 3.0, 0.25);
}

// ---------------------------------------------------------------------------------------
// Water globe
//
// waterball_trail(pos, up, dir, t): the globe at pos flying along dir, shedding drops
//   and spray over the last t seconds.
// waterball_splash(pos, normal, dir, strength): it bursts where it lands.

const WATERBALL_SPEED = 18.0;

function waterball_trail(pos, up, dir, t) {
  local core = P(G.bubble_rim, 0.12, 2.2, 0xFF60B0FF);
  core.colorAnim = glow_flash;
  add_glow_particle(pos, ZERO, core);
  local glow = P(G.glow_ball, 0.12, 3.2, 0x8040A0FF);
  glow.colorAnim = glow_flash;
  add_glow_particle(pos, ZERO, glow);
  local body = P(B.bubble, 0.12, 2.0, 0xC0D8F0FF);
  body.colorAnim = water_fade;
  add_blend_particle(pos, ZERO, body);
  local d = unit_or(dir, UP);
  along_path(pos, d, WATERBALL_SPEED, 9.0, t, 45.0, function(at, age) {
    local p = P(pick([B.drop, B.droplet_a, B.droplet_b]), rndf(0.5, 0.9), rndf(0.2, 0.4), 0xE0E8F4FF);
    p.delay = -age;
    p.accel = GRAVITY * 1.2;
    p.colorAnim = water_fade;
    p.startRoll = srnd() * 0.3;
    add_blend_particle(at + rnd_dir() * 1.0, vel(rnd_dir() * 1.5 - d * 2.0, 0.5), p);
  });
  along_path(pos, d, WATERBALL_SPEED, 9.0, t, 20.0, function(at, age) {
    local p = P(pick([B.mist, B.spray, B.puff_b]), rndf(0.6, 1.1), rndf(0.8, 1.5), 0x80E8F0FF);
    p.delay = -age;
    p.colorAnim = mist_fade;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd();
    p.rollAnim = spin;
    add_blend_particle(at + rnd_dir() * 0.6, vel(rnd_dir() * 1.0, 2.0), p);
  });
  along_path(pos, d, WATERBALL_SPEED, 9.0, t, 14.0, function(at, age) {
    local p = P(G.sparkle, rndf(0.3, 0.5), rndf(0.3, 0.6), 0xFF90D0FF);
    p.delay = -age;
    p.colorAnim = glow_twinkle;
    add_glow_particle(at + rnd_dir() * 0.8, vel(rnd_dir() * 0.5, 1.0), p);
  });
}

function waterball_splash(pos, normal, dir, strength) {
  local n = unit_or(normal, UP);
  local k = strength > 0 ? strength : 1.0;
  // The crown rising from the impact, and a low sheet around it.
  local crown = P(B.splash, 0.8, 6.0 * k, 0xF0F0F8FF);
  crown.colorAnim = water_fade;
  crown.sizeAnim = grow_fast;
  crown.startRoll = 0.0;
  add_blend_particle(pos + n * (4.0 * k), ZERO, crown);
  local sheet = P(B.sheet, 0.6, 7.0 * k, 0xD0E8F0FF);
  sheet.colorAnim = water_fade;
  sheet.sizeAnim = grow_ring;
  sheet.startRoll = 0.0;
  add_blend_particle(pos + n * (2.0 * k), ZERO, sheet);
  droplets(pos + n * 0.6, (70 * k).tointeger(), n, 0.75, 16.0 * k, 0.5 * k, 0.0);
  droplets(pos + n * 0.6, (35 * k).tointeger(), n, 0.3, 20.0 * k, 0.4 * k, 0.05);
  mist(pos + n * 2.0, (14 * k).tointeger(), 2.8 * k, 1.8, 0x90E8F0FF, 0.05);
  for (local i = 0; i < 1; i++) {
    local r = P(B.ripple, 1.0, 6.0 * k, 0x60E0F0FF);
    r.delay = i * 0.15;
    r.colorAnim = water_fade;
    r.sizeAnim = grow_ring;
    add_blend_particle(pos + n * 0.3, ZERO, r);
  }
  local foam_at = across(n);
  for (local i = 0; i < 18 * k; i++) {
    local a = frnd() * TWO_PI, r = rndf(1.0, 4.5) * k;
    local p = P(pick([B.foam, B.foam_bit]), rndf(1.2, 2.0), rndf(0.8, 1.5), 0xD0FFFFFF);
    p.delay = 0.2 + frnd() * 0.2;
    p.colorAnim = water_fade;
    p.sizeAnim = grow_fire;
    add_blend_particle(pos + n * 0.2 + foam_at[0] * (cos(a) * r) + foam_at[1] * (sin(a) * r),
                       vel(foam_at[0] * (cos(a) * 2.0) + foam_at[1] * (sin(a) * 2.0), 1.5), p);
  }
  flash(pos + n * 2.0, 8.0 * k, 0x8060B0FF, 0.3, 0.0);
}

// ---------------------------------------------------------------------------------------
// Magic missile
//
// magic_missile_trail(pos, up, dir, t): a darting bolt of violet light at pos flying
//   along dir; the motes it leaves spiral about its path.

const MISSILE_SPEED = 30.0;

function magic_missile_trail(pos, up, dir, t) {
  local d = unit_or(dir, UP);
  local ax = across(d);
  local core = P(G.flare, 0.1, 2.4, 0xFFE0B0FF);
  core.colorAnim = glow_flash;
  core.rollScale = 3.0;
  core.rollAnim = spin;
  add_glow_particle(pos, ZERO, core);
  local halo = P(G.glow_ball, 0.1, 3.6, 0x909040FF);
  halo.colorAnim = glow_flash;
  add_glow_particle(pos, ZERO, halo);
  along_path(pos, d, MISSILE_SPEED, 0.0, t, 70.0, function(at, age) {
    local phase = (fx_time - age) * 18.0;
    local off = ax[0] * (cos(phase) * 0.8) + ax[1] * (sin(phase) * 0.8);
    local p = P(pick([G.sparkle, G.glow_ball, G.ember]), rndf(0.35, 0.6), rndf(0.3, 0.6),
                pick([0xFFB070FF, 0xFF80A0FF, 0xFFFF90F0]));
    p.delay = -age;
    p.colorAnim = glow_twinkle;
    p.sizeAnim = shrink;
    add_glow_particle(at + off, vel(off * 2.0 + rnd_dir() * 0.5, 1.5), p);
  });
}

// ---------------------------------------------------------------------------------------
// Water source and sink
//
// water_source(pos, up, dir, t): a spring welling up at pos: a fountain of drops, spray
//   and sparkles, spread over the next t seconds.
// water_sink(pos, up, dir, t): water swirling down into the ground at pos, over t seconds.

function water_source(pos, up, dir, t) {
  local n = unit_or(up, UP);
  local count = (140 * t + frnd()).tointeger();
  for (local i = 0; i < count; i++) {
    local p = P(pick([B.drop, B.droplet_a, B.droplet_b, B.spray]), rndf(0.9, 1.5), rndf(0.3, 0.6), 0xF0E8F4FF);
    p.delay = frnd() * t;
    p.accel = GRAVITY * 1.4;
    p.colorAnim = water_fade;
    p.startRoll = srnd() * 0.3;
    add_blend_particle(pos + n * 0.5, vel(rnd_cone(n, 0.3) * rndf(9.0, 14.0), 0.3), p);
  }
  // The jet itself: spray thrown straight up, thinning into mist.
  for (local i = 0; i < 30 * t; i++) {
    local p = P(pick([B.spray, B.mist, B.splash]), rndf(0.5, 0.9), rndf(0.8, 1.4), 0xC0F0F4FF);
    p.delay = frnd() * t;
    p.accel = GRAVITY * 0.9;
    p.colorAnim = mist_fade;
    p.sizeAnim = grow_fire;
    p.startRoll = srnd() * 0.2;
    add_blend_particle(pos + n * 0.6, vel(rnd_cone(n, 0.08) * rndf(8.0, 12.0), 0.8), p);
  }
  for (local i = 0; i < 16 * t; i++) {
    local p = P(pick([B.mist, B.spray, B.puff_b]), rndf(1.0, 1.8), rndf(1.5, 2.5), 0x80E8F0FF);
    p.delay = frnd() * t;
    p.accel = vec4f(0, 0.6, 0, 0);
    p.colorAnim = mist_fade;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd();
    p.rollAnim = spin;
    add_blend_particle(pos + n * rndf(1.0, 5.0), vel(rnd_dir() * 2.0, 1.0), p);
  }
  local ax = across(n);
  for (local i = 0; i < 12 * t; i++) {
    local a = frnd() * TWO_PI, r = rndf(0.5, 3.0);
    local p = P(pick([B.foam, B.foam_bit, B.foam]), rndf(1.0, 1.6), rndf(1.0, 2.0), 0xC0FFFFFF);
    p.delay = frnd() * t;
    p.colorAnim = water_fade;
    p.sizeAnim = grow_ring;
    add_blend_particle(pos + n * 0.2 + ax[0] * (cos(a) * r) + ax[1] * (sin(a) * r),
                       vel(ax[0] * (cos(a) * 1.5) + ax[1] * (sin(a) * 1.5), 1.0), p);
  }
  for (local i = 0; i < 20 * t; i++) {
    local p = P(G.sparkle, rndf(0.5, 0.9), rndf(0.3, 0.6), 0xFFA0E0FF);
    p.delay = frnd() * t;
    p.accel = GRAVITY;
    p.colorAnim = glow_twinkle;
    add_glow_particle(pos + n * 0.8, vel(rnd_cone(n, 0.35) * rndf(7.0, 12.0), 0.5), p);
  }
}

function water_sink(pos, up, dir, t) {
  local n = unit_or(up, UP);
  local ax = across(n);
  local count = (90 * t + frnd()).tointeger();
  for (local i = 0; i < count; i++) {
    // Start on a ring, swirl around and inward, sink at the centre.
    local a = frnd() * TWO_PI, r = rndf(4.0, 7.0);
    local radial = ax[0] * cos(a) + ax[1] * sin(a), tangent = ax[1] * cos(a) - ax[0] * sin(a);
    local p = P(pick([B.foam, B.foam_bit, B.spray, B.droplet_a]), rndf(1.0, 1.5), rndf(0.5, 1.0), 0xC0E0F0FF);
    p.delay = frnd() * t;
    p.accel = -radial * 6.0 - n * 2.0;
    p.colorAnim = water_fade;
    p.sizeAnim = shrink;
    p.rollScale = 8.0;
    p.rollAnim = spin;
    add_blend_particle(pos + n * 0.3 + radial * r, vel(tangent * rndf(6.0, 8.0) - radial * 1.5, 0.6), p);
  }
  for (local i = 0; i < 3 * t; i++) {
    local p = P(B.ripple, rndf(0.8, 1.2), rndf(6.0, 8.0), 0x40D0E8FF);
    p.delay = frnd() * t;
    p.colorAnim = mist_fade;
    p.sizeAnim = shrink;
    add_blend_particle(pos + n * 0.2, ZERO, p);
  }
  for (local i = 0; i < 6 * t; i++) {
    local p = P(G.swirl, rndf(0.8, 1.2), rndf(2.0, 3.0), 0x303070B0);
    p.delay = frnd() * t;
    p.colorAnim = glow_fade;
    p.sizeAnim = shrink;
    p.rollScale = -9.0;
    p.rollAnim = spin;
    add_glow_particle(pos + n * 0.5, ZERO, p);
  }
}

// ---------------------------------------------------------------------------------------
// Meteor
//
// meteor_trail(pos, up, dir, t): a burning rock falling along dir, trailing fire and a
//   thick column of smoke over the last t seconds.
// meteor_explode(pos, normal, dir, strength): the impact: fire, a ring of dust along the
//   ground, rocks thrown high, a rising cloud.

const METEOR_SPEED = 35.0;

function meteor_trail(pos, up, dir, t) {
  local d = unit_or(dir, -UP);
  local core = P(G.glow_ball, 0.12, 3.6, 0xFFFFE0A0);
  core.colorAnim = glow_flash;
  add_glow_particle(pos, ZERO, core);
  local halo = P(G.flare, 0.1, 7.0, 0xA0FF7020);
  halo.rollScale = 1.5;
  halo.rollAnim = spin;
  add_glow_particle(pos, ZERO, halo);
  local rock = P(B.chip_a, 0.12, 1.4, 0xFF302420);
  rock.colorAnim = water_fade;
  add_blend_particle(pos, ZERO, rock);
  along_path(pos, d, METEOR_SPEED, 6.0, t, 70.0, function(at, age) {
    local p = P(pick([G.fire_puff, G.flame_a, G.flame_b, G.fire_puff]), rndf(0.35, 0.6), rndf(1.4, 2.4), 0xA0FFFFFF);
    p.delay = -age;
    p.colorAnim = fire_cool;
    p.sizeAnim = grow_fire;
    p.rollScale = srnd() * 2.0;
    p.rollAnim = spin;
    add_glow_particle(at + rnd_dir() * 0.8, vel(rnd_dir() * 2.0, 2.0), p);
  });
  along_path(pos, d, METEOR_SPEED, 6.0, t, 30.0, function(at, age) {
    // A thin haze that is gone about when the meteor strikes: the old smoke of a fall
    // from high up hung on over the land as a dark cloud against an evening sky.
    local p = P(pick([B.smoke_a, B.smoke_b, B.smoke_c]), rndf(1.0, 1.6), rndf(1.0, 1.6), 0x60A09080);
    p.delay = -age + 0.1;
    p.accel = vec4f(0, rndf(0.4, 1.0), 0, 0);
    p.colorAnim = smoke_fade;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd() * 1.2;
    p.rollAnim = spin;
    add_blend_particle(at + rnd_dir() * 1.0, vel(rnd_dir() * 0.8, 0.8), p);
  });
  along_path(pos, d, METEOR_SPEED, 6.0, t, 30.0, function(at, age) {
    local p = P(G.ember, rndf(0.6, 1.4), rndf(0.2, 0.4), 0xFFFFC070);
    p.delay = -age;
    p.accel = GRAVITY * 0.5;
    p.colorAnim = ember_cool;
    add_glow_particle(at + rnd_dir() * 0.8, vel(rnd_dir() * 6.0, 0.6), p);
  });
}

function meteor_explode(pos, normal, dir, strength) {
  local n = unit_or(normal, UP);
  local k = strength > 0 ? strength : 1.0;
  local at = pos + n * 1.0;
  flash(at + n * 2.0, 18.0 * k, 0xFFFFE8C0, 0.5, 0.0);
  shock_ring(at, 22.0 * k, 0xB0FFC080, 0.6, 0.0);
  shock_ring(at, 14.0 * k, 0x80FF9040, 0.5, 0.08);
  flames(at, n * 5.0, (45 * k).tointeger(), 2.6 * k, 1.0, 0.0);
  for (local i = 0; i < 30 * k; i++) {
    local p = P(pick([G.fire_puff, G.flame_a, G.flame_b]), rndf(0.6, 1.0), rndf(1.5, 2.6) * k, 0xFFFFFFFF);
    p.delay = frnd() * 0.12;
    p.colorAnim = fire_cool;
    p.sizeAnim = grow_fire;
    p.rollScale = srnd() * 2.0;
    p.rollAnim = spin;
    add_glow_particle(at, vel(rnd_hemi(n) * rndf(9.0, 16.0) * k, 2.5), p);
  }
  sparks(at, (90 * k).tointeger(), n, 0.85, 28.0 * k, 0xFFFFD080, 2.0, 0.0);
  // The mushroom: a column that rises and spreads, dark and slow.
  for (local i = 0; i < 30 * k; i++) {
    local h = frnd();
    local p = P(pick([B.smoke_a, B.smoke_b, B.smoke_c]), rndf(3.0, 4.5), rndf(2.0, 3.2) * k, 0xA0585048);
    p.delay = 0.1 + h * 0.5;
    p.accel = vec4f(0, 1.0, 0, 0);
    p.colorAnim = smoke_fade;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd();
    p.rollAnim = spin;
    add_blend_particle(at + n * (h * 4.0 * k) + rnd_dir() * (1.5 * k), vel(n * rndf(3.0, 7.0) * k + rnd_dir() * 2.0, 0.9), p);
  }
  // Dust rolling out along the ground.
  local ax = across(n);
  for (local i = 0; i < 24 * k; i++) {
    local a = frnd() * TWO_PI;
    local out = ax[0] * cos(a) + ax[1] * sin(a);
    local p = P(pick([B.dust_cloud, B.smoke_b, B.dust]), rndf(2.5, 4.0), rndf(1.8, 3.0) * k, 0xB08A7A66);
    p.delay = 0.05 + frnd() * 0.15;
    p.accel = vec4f(0, 0.3, 0, 0);
    p.colorAnim = smoke_fade;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd();
    p.rollAnim = spin;
    add_blend_particle(pos + n * 0.8 + out * (2.0 * k), vel(out * rndf(10.0, 16.0) * k, 1.6), p);
  }
  debris(pos, (30 * k).tointeger(), n, 18.0 * k, 0xFF5A4A3E);
  embers(at + n * 3.0, (40 * k).tointeger(), 4.0 * k, 3.5, 0.3);
}

// ---------------------------------------------------------------------------------------
// Wyvern
//
// wyvern_death(pos, up, vel, strength): the wyvern at pos, flying with vel, bursts
//   into a cloud of feathers and embers that flutter down.

function wyvern_death(pos, up, velocity, strength) {
  local k = strength > 0 ? strength : 1.0;
  local at = pos + unit_or(up, UP) * 2.5; // the death at the ground preview: in the air above it
  local drift = velocity * 0.3;
  local colours = [0xFFC08A5C, 0xFFA06A44, 0xFFE0C090, 0xFF805A40, 0xFFF0E4D0];
  for (local i = 0; i < 70 * k; i++) {
    local p = P(pick([B.feather_a, B.feather_b, B.feather_a, B.down]), rndf(3.0, 5.0), rndf(0.7, 1.2), pick(colours));
    p.delay = frnd() * 0.05;
    p.accel = vec4f(srnd() * 1.5, -2.0, srnd() * 1.5, 0);
    p.colorAnim = feather_fade;
    p.rollScale = srnd() * 4.0;
    p.rollAnim = flutter;
    add_blend_particle(at + rnd_dir() * 1.5, vel(drift + rnd_dir() * rndf(4.0, 11.0), 1.6), p);
  }
  for (local i = 0; i < 50 * k; i++) {
    local p = P(G.ember, rndf(1.2, 2.6), rndf(0.2, 0.4), pick([0xFFFFB060, 0xFFFF8030, 0xFFFFD090]));
    p.delay = frnd() * 0.2;
    p.accel = vec4f(srnd(), rndf(-1.5, 0.8), srnd(), 0);
    p.colorAnim = ember_cool;
    add_glow_particle(at + rnd_dir() * 1.5, vel(drift + rnd_dir() * rndf(2.0, 8.0), 1.2), p);
  }
  flames(at, drift, (12 * k).tointeger(), 2.0 * k, 0.5, 0.0);
  smoke(at, drift + UP, (10 * k).tointeger(), 2.2 * k, 2.5, 0x80605248, 0.1);
  flash(at, 8.0 * k, 0xA0FF9050, 0.3, 0.0);
}

// ---------------------------------------------------------------------------------------
// Spell object
//
// spell_object(pos, up, dir, t): the glow of a spell lying ready to be picked up: a golden
//   light with motes circling it and sparks rising, over the next t seconds.

function spell_object(pos, up, dir, t) {
  local n = unit_or(up, UP);
  local ax = across(n);
  local at = pos + n * 1.5;
  local glow = P(G.glow_ball, t + 0.15, 3.2, 0xC0FFD070);
  glow.colorAnim = glow_fade;
  glow.sizeAnim = pulse;
  add_glow_particle(at, ZERO, glow);
  local star = P(G.flare, t + 0.15, 2.2, 0xFFFFF0C0);
  star.colorAnim = glow_fade;
  star.rollScale = 1.5 * (t + 0.15);
  star.rollAnim = spin;
  add_glow_particle(at, ZERO, star);
  for (local i = 0; i < 30 * t; i++) {
    local a = frnd() * TWO_PI;
    local radial = ax[0] * cos(a) + ax[1] * sin(a), tangent = ax[1] * cos(a) - ax[0] * sin(a);
    local p = P(pick([G.sparkle, G.ember]), rndf(0.8, 1.3), rndf(0.35, 0.6), pick([0xFFFFE090, 0xFFFFC060, 0xFFFFFFD0]));
    p.delay = frnd() * t;
    p.accel = -radial * 8.0 + n * 0.5;
    p.colorAnim = glow_twinkle;
    add_glow_particle(at + radial * 2.0 + n * srnd() * 0.5, vel(tangent * 4.0, 0.2), p);
  }
}

// ---------------------------------------------------------------------------------------
// Lightning
//
// lightning_hit(pos, up, dir, t): a strike from the sky onto pos (dir leans the bolt;
//   t scales it): the bolt crawls down, then the ground bursts into sparks.
// lightning_sparks(pos, up, dir, strength): the burst alone, for a bolt drawn by the
//   caller; dir points the way the bolt travelled.

function lightning_hit(pos, up, dir, t) {
  local n = unit_or(up, UP);
  local k = t > 0 ? t : 1.0;
  local lean = dir - n * dot(dir, n);
  local sky = pos + n * 70.0 + lean * 15.0 + vec4f(srnd() * 6.0, 0, srnd() * 6.0, 0);
  local life = 0.55;
  add_lightning_fx(sky, pos, (pos - sky) * 0.35 + vec4f(srnd() * 8.0, 0, srnd() * 8.0, 0), 0.9 * k, 7.0, 9.0,
                   life, 0xFFE8F0FF, 48);
  add_lightning_fx(sky, pos, (pos - sky) * 0.5 + vec4f(srnd() * 12.0, 0, srnd() * 12.0, 0), 0.5 * k, 4.0, 12.0,
                   life * 0.9, 0xC0A0B8FF, 40);
  // A branch that forks off and dies in the air.
  local mid = lerp(sky, pos, rndf(0.35, 0.55));
  add_lightning_fx(mid, mid + vec4f(srnd() * 16.0, -rndf(8.0, 16.0), srnd() * 16.0, 0), ZERO, 0.35 * k, 3.0, 4.0,
                   life * 0.6, 0xA0A0C0FF, 20);
  // The bolt's bright stretch reaches the ground half way through its life.
  lightning_burst(pos, n, -n, k, life * 0.45);
}

function lightning_sparks(pos, up, dir, strength) {
  lightning_burst(pos, unit_or(up, UP), unit_or(dir, -UP), strength > 0 ? strength : 1.0, 0.0);
}

function lightning_burst(pos, n, dir, k, delay) {
  local at = pos + n * 0.3;
  flash(at + n, 12.0 * k, 0xFFC8D8FF, 0.45, delay);
  shock_ring(at, 8.0 * k, 0x60B0C8FF, 0.3, delay);
  for (local i = 0; i < 70 * k; i++) {
    local p = P(pick([G.spark, G.ember, G.sparkle]), rndf(0.4, 1.0), rndf(0.25, 0.45), pick([0xFFE0E8FF, 0xFFB0C8FF, 0xFFFFFFFF]));
    p.delay = delay + frnd() * 0.08;
    p.accel = GRAVITY;
    p.colorAnim = glow_twinkle;
    p.sizeAnim = shrink;
    add_glow_particle(at, vel(rnd_hemi(n) * rndf(5.0, 16.0) * k, 0.8), p);
  }
  smoke(at, n * 0.8, (6 * k).tointeger(), 0.9 * k, 2.0, 0x80403C3C, delay + 0.1);
  debris(pos, (8 * k).tointeger(), n, 8.0 * k, 0xFF4A3E36);
}

// ---------------------------------------------------------------------------------------
// Healing
//
// healing(pos, up, dir, t): green and golden light rising around pos (someone standing
//   there), over the next t seconds.

function healing(pos, up, dir, t) {
  local n = unit_or(up, UP);
  local ax = across(n);
  for (local i = 0; i < 50 * t; i++) {
    local a = frnd() * TWO_PI, r = rndf(0.8, 2.2);
    local radial = ax[0] * cos(a) + ax[1] * sin(a), tangent = ax[1] * cos(a) - ax[0] * sin(a);
    local p = P(pick([G.sparkle, G.sparkle, G.ember]), rndf(1.0, 1.8), rndf(0.35, 0.6),
                pick([0xFF80FF90, 0xFFC0FF70, 0xFFFFF0A0]));
    p.delay = frnd() * t;
    p.accel = n * 1.5;
    p.colorAnim = glow_twinkle;
    add_glow_particle(pos + radial * r + n * rndf(0.0, 0.8), vel(tangent * 2.0 + n * rndf(1.0, 2.5), 0.5), p);
  }
  for (local i = 0; i < 6 * t; i++) {
    local p = P(G.heal_plus, 1.4, rndf(0.7, 1.1), 0xFF90FFA0);
    p.delay = frnd() * t;
    p.accel = n * 0.8;
    p.colorAnim = glow_fade;
    p.sizeAnim = pulse;
    p.startRoll = 0.0;
    add_glow_particle(pos + ax[0] * srnd() * 1.5 + ax[1] * srnd() * 1.5 + n * 1.0, vel(n * 1.5, 0.3), p);
  }
  // A soft column of light around the one being healed.
  for (local i = 0; i < 4; i++) {
    local c = P(G.glow_ball, t + 0.6, 2.2 - i * 0.2, 0x5050FF70);
    c.delay = i * 0.08;
    c.colorAnim = glow_fade;
    c.sizeAnim = pulse;
    add_glow_particle(pos + n * (0.8 + i * 1.1), ZERO, c);
  }
}

// ---------------------------------------------------------------------------------------
// Mana ball
//
// mana_ball(pos, up, dir, t): a ball of gathered mana at pos (dir: where it drifts):
//   a blue heart with motes orbiting it, over the next t seconds.

function mana_ball(pos, up, dir, t) {
  local at = pos + unit_or(up, UP) * 1.5;
  local heart = P(G.glow_ball, t + 0.2, 2.6, 0xFF70A0FF);
  heart.colorAnim = glow_fade;
  heart.sizeAnim = pulse;
  add_glow_particle(at, ZERO, heart);
  local halo = P(G.bubble_rim, t + 0.2, 2.4, 0xC07090FF);
  halo.colorAnim = glow_fade;
  halo.rollScale = 3.0 * (t + 0.2);
  halo.rollAnim = spin;
  add_glow_particle(at, ZERO, halo);
  for (local i = 0; i < 36 * t; i++) {
    local axis = rnd_dir();
    local ax = across(axis);
    local p = P(pick([G.sparkle, G.ember]), rndf(0.6, 1.0), rndf(0.3, 0.5), pick([0xFF90C0FF, 0xFFC0A0FF, 0xFFFFFFFF]));
    p.delay = frnd() * t;
    p.accel = -ax[0] * 10.0;
    p.colorAnim = glow_twinkle;
    add_glow_particle(at + ax[0] * 1.5, vel(ax[1] * 3.9 + unit_or(dir, ZERO) * 0.5, 0.1), p);
  }
}

// ---------------------------------------------------------------------------------------
// Portal
//
// portal(pos, up, facing, t): a gate standing at pos, its ring upright and turned toward
//   facing: runes, a slow swirl, and light streaming around the ring into the middle,
//   over the next t seconds.

function portal(pos, up, facing, t) {
  local n = unit_or(up, UP);
  local f = unit_or(facing - n * dot(facing, n), vec4f(0, 0, 1, 0));
  local side = norm3(cross(n, f));
  local centre = pos + n * 4.0;
  local rune = P(G.rune_ring, t + 0.3, 4.5, 0xD0A080FF);
  rune.colorAnim = glow_fade;
  rune.rollScale = 0.6 * (t + 0.3);
  rune.rollAnim = spin;
  add_glow_particle(centre, ZERO, rune);
  local swirl = P(G.swirl, t + 0.3, 3.6, 0xC08060FF);
  swirl.colorAnim = glow_fade;
  swirl.rollScale = -4.0 * (t + 0.3);
  swirl.rollAnim = spin;
  add_glow_particle(centre, ZERO, swirl);
  local heart = P(G.glow_ball, t + 0.3, 3.0, 0x80C0A0FF);
  heart.colorAnim = glow_fade;
  heart.sizeAnim = pulse;
  add_glow_particle(centre, ZERO, heart);
  for (local i = 0; i < 70 * t; i++) {
    local a = frnd() * TWO_PI;
    local radial = n * cos(a) + side * sin(a), tangent = side * cos(a) - n * sin(a);
    local p = P(pick([G.sparkle, G.ember, G.glow_ball]), rndf(0.6, 1.1), rndf(0.2, 0.4),
                pick([0xFFC090FF, 0xFF9070FF, 0xFFF0D0FF]));
    p.delay = frnd() * t;
    p.accel = -radial * 5.0;
    p.colorAnim = glow_twinkle;
    add_glow_particle(centre + radial * 3.6, vel(tangent * 5.0, 0.3), p);
  }
  for (local i = 0; i < 8 * t; i++) {
    local p = P(pick([B.mist, B.wisp]), rndf(1.2, 2.0), rndf(1.5, 2.5), 0x50B0A0D0);
    p.delay = frnd() * t;
    p.colorAnim = mist_fade;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd();
    p.rollAnim = spin;
    add_blend_particle(pos + side * srnd() * 3.0 + n * 0.5, vel(rnd_dir() * 0.5 + n * 0.3, 1.0), p);
  }
}

// portal_beacon(pos, up, dir, t): a column of light rising high over the portal at pos,
//   seen from across the island, over the next t seconds.

function portal_beacon(pos, up, dir, t) {
  local n = unit_or(up, UP);
  local foot = pos + n * 6.0;
  local k = (30 * t + frnd()).tointeger();
  for (local i = 0; i < k; i++) {
    local p = P(pick([G.flare, G.glow_ball, G.sparkle]), rndf(2.0, 2.6), rndf(0.9, 1.6),
                pick([0xC0C090FF, 0xA0E0C8FF, 0xC0FFF0FF]));
    p.delay = frnd() * t;
    p.colorAnim = glow_fade;
    p.sizeAnim = shrink;
    local side = rnd_dir();
    add_glow_particle(foot + (side - n * dot(side, n)) * 0.6, vel(n * rndf(26.0, 32.0), 0.1), p);
  }
}

// ---------------------------------------------------------------------------------------
// Burning trees and storm clouds
//
// tree_fire(pos, up, dir, t): a tree on fire; pos is the middle of its crown. Call it
//   every update with t = the step.
// storm_cloud(pos, up, dir, t): a dark cloud hanging at pos, up pointing to the ground
//   below it. Every update, t = the step.

function tree_fire(pos, up, dir, t) {
  local n = unit_or(up, UP);
  local k = (24 * t + frnd()).tointeger();
  flames(pos, n * 1.5, k, 0.9, 0.6, 0.0);
  if (frnd() < 10 * t)
    smoke(pos + n * 2.0, n * 1.2, 1, 1.6, 2.5, 0xA0302820, 0.0);
  if (frnd() < 6 * t)
    embers(pos, 2, 1.2, 1.5, 0.0);
}

function storm_cloud(pos, up, dir, t) {
  local down = unit_or(up, -UP);
  local k = (8 * t + frnd()).tointeger();
  for (local i = 0; i < k; i++) {
    local p = P(pick([B.smoke_a, B.smoke_b, B.smoke_c]), rndf(2.0, 3.0), rndf(5.0, 8.0), 0xD0404450);
    p.delay = frnd() * t;
    p.accel = vec4f(srnd() * 0.3, srnd() * 0.2, srnd() * 0.3, 0);
    p.colorAnim = smoke_fade;
    p.sizeAnim = grow_smoke;
    p.rollScale = srnd() * 0.6;
    p.rollAnim = spin;
    local off = vec4f(srnd() * 12.0, srnd() * 1.5, srnd() * 12.0, 0);
    add_blend_particle(pos + off, vel(rnd_dir() * 0.6, 0.5), p);
  }
  if (frnd() < 3 * t)
    mist(pos - down * 2.0, 2, 4.0, 1.5, 0x60303848, 0.0);
}
