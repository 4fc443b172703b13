// The land itself: the island's outline and body, mountains, escarpments, craters and
// the weathering that carves valleys and lays down sediment.

const TWO_PI = 6.2831853;

// The island's body. Returns its frame (centre, radius, orientation) for the later steps.
//
// A smooth base falls from 1 at the centre to 0 on the mean coastline and below 0 out
// at sea; the coast bulges by two and three lobes at random angles. Tiling simplex
// noise then moves the coastline and gives the land its rolling relief, and the sum is
// mapped to heights: gently rising beaches, a core of about style.peak, and a sea floor
// that levels out a dozen units down.
function shape_island(style) {
  local f = IslandFrame();
  f.cx = 128.0 + rndf(-8.0, 8.0);
  f.cz = 128.0 + rndf(-8.0, 8.0);
  f.radius = style.radius;
  f.stretch = rndf(1.0, 1.22);
  f.turn = rndf(0.0, TWO_PI);

  local a2 = style.lobes * rndf(0.5, 1.0), p2 = rndf(0.0, TWO_PI);
  local a3 = style.lobes * rndf(0.3, 0.8), p3 = rndf(0.0, TWO_PI);
  local c2 = cos(p2), s2 = sin(p2), c3 = cos(p3), s3 = sin(p3);
  local ct = cos(f.turn), st = sin(f.turn);
  local cx = f.cx, cz = f.cz, inv_r = 1.0 / f.radius, inv_stretch = 1.0 / f.stretch;

  // Distance from the centre over the lobed radius. The angle terms use the direction's
  // cosine and sine directly (sin 2a = 2sc, cos 3a = 4c^3 - 3c, ...), which keeps this
  // per-cell function free of trigonometry.
  local outline = HmapMask(function(x, z) {
    local dx = x - cx, dz = z - cz;
    local u = (dx * ct + dz * st) * inv_stretch, v = dz * ct - dx * st;
    local d = sqrt(u * u + v * v);
    if (d < 0.001)
      return 1.0;
    local c = u / d, s = v / d;
    local sin2 = 2.0 * s * c, cos2 = c * c - s * s;
    local sin3 = s * (3.0 - 4.0 * s * s), cos3 = c * (4.0 * c * c - 3.0);
    local lobe = 1.0 + a2 * (sin2 * c2 + cos2 * s2) + a3 * (sin3 * c3 + cos3 * s3);
    return 1.0 - d * inv_r / lobe;
  });

  add_simplex_noise(0.0, 1.0, 4, 5, 0.5);  // about 0..1 into the empty height grid

  local rough = style.roughness, peak = style.peak;
  apply_height_mask(outline, function(n, b) {
    local e = b + (n - 0.5) * rough;
    if (e >= 0.0)
      return peak * e * (0.45 + 0.55 * e) + 0.3;  // a thin strip of dry sand at e = 0
    local s = e * 40.0;
    return s / (1.0 - s * 0.08) + 0.25;         // levels out near -12
  });

  // A little roughness everywhere: stony ground, ripples on the sea floor.
  add_fast_noise(0.0, 0.9, null, GT_NONE, 255, 0.55);
  return f;
}

// Rounded peaks on the high ground only; the lowlands stay as they are.
function raise_mountains(style, f) {
  local hills = HmapMask.fromVoronoiHills(8, style.hills * 0.25, style.hills, 0.9);
  apply_height_mask(hills, function(h, m) {
    if (h <= 4.0)
      return h;
    local t = (h - 4.0) / 12.0;
    if (t > 1.0)
      t = 1.0;
    return h + m * t * t * (3.0 - 2.0 * t);
  });
}

// A random point on the island at most `reach` radii from its centre.
function point_near_centre(f, reach) {
  local a = rndf(0.0, TWO_PI), r = f.radius * reach * sqrt(frnd());
  return [f.cx + cos(a) * r, f.cz + sin(a) * r];
}

// Escarpments: the land on one side of a wavy line is lifted, the other side sinks a
// little, and the exposed face is painted as bare rock (see paint.nut for what the
// colour channels mean while the land is being built).
function cut_faults(style, f) {
  local face = ColorRamp(function(t) {
    local cover = 0.9 * sin(t * 3.14159);
    return [1.0, 0.0, 0.0, cover];  // rock with dark stone, covering by `cover`
  });
  for (local k = 0; k < style.faults; k++) {
    local before = HmapMask.fromHeight();
    local p = point_near_centre(f, 0.35);
    local n = make_dir_xz(frnd());
    gen_fault(p[0], p[1], getx(n), getz(n), style.fault_height * rndf(0.7, 1.1), 0.75, rndf(14.0, 24.0),
              face, GT_ROCK);
    // The fault runs out toward the coast: the lowlands and the sea floor keep their
    // heights, so the coastline stays natural instead of following the fault line.
    apply_height_mask(before, function(h, b) {
      local t = (b - 3.0) / 9.0;
      if (t <= 0.0)
        return b;
      if (t >= 1.0)
        return h;
      return b + (h - b) * t * t * (3.0 - 2.0 * t);
    });
  }
}

// Craters on solid ground between the beaches and the peaks. Returns the lakes to fill:
// [x, z, radius, water level] each.
function blast_craters(style, f) {
  local lakes = [];
  local heights = HmapMask.fromHeight();
  for (local k = 0; k < style.craters; k++) {
    local x = 0.0, z = 0.0, found = false;
    for (local tries = 0; tries < 40 && !found; tries++) {
      local p = point_near_centre(f, 0.7);
      x = p[0];
      z = p[1];
      local h = heights.get(x, z);
      found = h > 5.0 && h < 20.0;
    }
    if (!found)
      continue;
    local r = rndf(8.0, 12.0);
    gen_crater(x, z, r, rndf(0.45, 0.6));
    if (k == 0 && style.crater_lake)
      lakes.append([x, z, r, lake_level(x, z, r)]);
  }
  return lakes;
}

// The water a bowl can hold: a little below the lowest point of its rim.
function lake_level(x, z, r) {
  local lowest = 1.0e9;
  for (local i = 0; i < 48; i++) {
    local a = i * TWO_PI / 48.0;
    for (local d = r - 1.0; d <= r + 2.0; d += 1.0) {
      local h = get_average_circle_height(x + cos(a) * d, z + sin(a) * d, 0.0);
      if (h < lowest)
        lowest = h;
    }
  }
  return lowest - 0.3;
}

// Rain erosion: droplets cut gullies into the slopes and drop their load in the
// valleys and on the beaches, carrying the colours of the ground they wore away.
function weather(style) {
  gen_droplet_erosion(style.droplets, {
    Kq = 6.0,
    Kr = 0.3,
    Kd = 0.1,
    Kw = 0.002,
    Ki = 0.25,
    minSlope = 0.03,
    depositBlend = 1.5,
    reactionTime = 0.0,
  });
}
