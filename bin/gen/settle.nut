// Houses on flat, dry ground between the beach and the hills.

const HOUSE_SPACING = 22.0;  // no two houses closer than this
const HOUSE_LOW = 2.5;       // above the beaches
const HOUSE_HIGH = 16.0;     // below the rocky uplands

// Candidate spots on a coarse grid over the island, the flattest first.
function house_spots(f) {
  local heights = HmapMask.fromHeight(), flat = HmapMask.fromSlope();
  local spots = [];
  for (local z = 4; z < HMAP_SIZE; z += 6)
    for (local x = 4; x < HMAP_SIZE; x += 6) {
      local h = heights.getraw(x, z);
      if (h < HOUSE_LOW || h > HOUSE_HIGH)
        continue;
      // flatness over the house's footprint, the worst corner counts
      local worst = flat.getraw(x, z);
      foreach (o in [[-3, -3], [3, -3], [-3, 3], [3, 3]]) {
        local v = flat.getraw(x + o[0], z + o[1]);
        if (v < worst)
          worst = v;
      }
      if (worst > 0.9)
        spots.append([worst + frnd() * 0.03, x, z]);
    }
  spots.sort(function(a, b) { return a[0] < b[0] ? 1 : (a[0] > b[0] ? -1 : 0); });
  return spots;
}

function settle(style, f) {
  local placed = [];
  foreach (s in house_spots(f)) {
    if (placed.len() >= style.houses)
      break;
    local x = s[1], z = s[2];
    local clear = true;
    foreach (p in placed) {
      local dx = x - p[0], dz = z - p[1];
      if (dx * dx + dz * dz < HOUSE_SPACING * HOUSE_SPACING)
        clear = false;
    }
    if (!clear || !test_circle_mark(x, z, 8.0, MARK_PLACEMENT | MARK_WATER, 0))
      continue;
    // level the yard, then build; the house itself checks the marks again
    flatten_circle(x, z, 8.0, get_average_circle_height(x, z, 5.0), 0.9, 2.0);
    place_house(x, z, irnd() % 3);
    if (test_circle_mark(x, z, 1.0, MARK_HOUSE, MARK_HOUSE))
      placed.append([x, z]);
  }
}
