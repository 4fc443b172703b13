// Colours, ground types, surface layers and water.
//
// While the land is being built, a cell's colour is not a colour but the mix of four
// materials, one per channel: red = rock, green = soil, blue = sand, alpha = dark stone.
// Erosion carries these mixes downhill like real sediment. finish_colours() then turns
// each mix into a real colour with recolor_land4 and lays grass and snow on top.

// The materials' real colours.
ROCK_COLOR <- [0.50, 0.47, 0.44, 1.0];
SOIL_COLOR <- [0.42, 0.33, 0.21, 1.0];
SAND_COLOR <- [0.86, 0.78, 0.56, 1.0];
DARK_COLOR <- [0.22, 0.21, 0.22, 1.0];
WET_SAND_COLOR <- [0.72, 0.64, 0.46, 1.0];
MUD_COLOR <- [0.36, 0.34, 0.28, 1.0];

// Surface layers: packed 0xAARRGGBB, the alpha is how much of the ground they cover.
GRASS_LUSH <- argb(235, 74, 118, 46);
GRASS_DRY <- argb(200, 122, 128, 62);
SNOW <- argb(245, 240, 244, 250);

// The material mix for a height: sand under the sea and on the beaches, soil in the
// lowlands, rock up high.
function material_at(h) {
  if (h < -3.0)
    return [0.0, 0.0, 0.7, 0.3];  // muddy sea floor
  if (h < 1.6)
    return [0.0, 0.0, 1.0, 0.0];  // beach
  local soil = 1.0 - smoothstep(14.0, 26.0, h);
  local beach = 1.0 - smoothstep(1.6, 2.6, h);
  return [1.0 - soil, soil * (1.0 - beach), beach, 0.0];
}

// Every cell gets the mix for its height.
function paint_materials(style) {
  local range = HmapMask.fromHeight().calcMinMax();
  local lo = range[0], span = range[1] - range[0];
  recolor_by_height(ColorRamp(function(t) { return material_at(lo + t * span); }), null);
}

// Real colours from the material mixes, then the ground types and the layers: sand on
// the beaches, rock on steep or high ground, grass on the gentle slopes, snow on the
// flat high places.
function finish_colours(style) {
  recolor_land4(ROCK_COLOR, SOIL_COLOR, SAND_COLOR, DARK_COLOR);
  local heights = HmapMask.fromHeight(), flat = HmapMask.fromSlope();
  local snow_line = style.snow_line;
  // The sea floor by depth, in half units: wet sand in the shallows, mud further out.
  local seabed = [];
  for (local k = 0; k <= 16; k++) {
    local c = lerpcolor(WET_SAND_COLOR, MUD_COLOR, k / 16.0);
    seabed.append(argb(255, (getx(c) * 255).tointeger(), (gety(c) * 255).tointeger(), (getz(c) * 255).tointeger()));
  }
  repaint_land(function(x, z, ground, top) {
    local h = heights.getraw(x, z), f = flat.getraw(x, z);
    if (h < -0.3)
      return [seabed[h < -8.0 ? 16 : (-2.0 * h).tointeger()], GT_SAND];
    if (h < 1.4)
      return [ground, GT_SAND];
    if (h > snow_line && f > 0.8 - (h - snow_line) * 0.03)
      return [ground, GT_ROCK, SNOW, ST_SNOW];
    if (f < 0.62 || h > snow_line - 2.0)
      return [ground, GT_ROCK];
    if (f < 0.72 || h < 2.0)
      return [ground, GT_SOIL];
    return [ground, GT_SOIL, h < 10.0 ? GRASS_LUSH : GRASS_DRY, ST_GRASS];
  });
}

// The sea up to height 0 and the lakes up to their levels; wet cells are marked so
// that nothing is placed in the water. A lake fills only the inside of its bowl.
function flood(style, lakes) {
  local heights = HmapMask.fromHeight();
  local water = HmapMask(function(x, z) {
    local h = heights.getraw(x, z);
    if (h < 0.0)
      return -h;
    foreach (lake in lakes) {
      local dx = x - lake[0], dz = z - lake[1];
      if (dx * dx + dz * dz < lake[2] * lake[2] && h < lake[3])
        return lake[3] - h;
    }
    return 0.0;
  });
  apply_water_mask(water, null);
  mark_water(0.05, MARK_WATER, 0);
}
