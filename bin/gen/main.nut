// The world script: builds the island and answers the game's events.
//
// The program calls, in this VM:
//   generate_world(name)  "main_menu" for the menu backdrop, "game" for play
//   process_event(event)  game events (a string or a table)
//   update_script(t)      every world step during play (t: its seconds)
//
// Save any file of gen/ while the game runs and the "game" world is rebuilt at once;
// an error shows on screen and the old world stays.
//
// Units: one grid cell is one unit; the map is HMAP_SIZE x HMAP_SIZE and wraps at its
// edges, so every island keeps open sea toward the edges. Height 0 is sea level.
//
// Every random number comes from one generator (frnd, rndf, irnd, ... and the native
// generators draw from it too). The "game" world goes on from the seed the program
// holds (the clock, or -seed N), so each game gets a new island; the menu backdrop
// always uses MENU_SEED and then hands the sequence back.

include("gen/util.nut");
include("gen/terrain.nut");
include("gen/paint.nut");
include("gen/settle.nut");
include("gen/rules.nut");

const MENU_SEED = 20250611;

// The look of an island. Heights in units, areas in cells.
game_style <- {
  radius = 78.0,        // mean distance from the centre to the coast
  lobes = 0.16,         // how far the coast bulges in and out (fraction of the radius)
  roughness = 0.42,     // how much noise moves the coastline
  peak = 22.0,          // height of the island's core
  hills = 16.0,         // extra height of the mountain tops
  faults = 2,           // escarpments across the island
  fault_height = 12.0,
  craters = 2,
  crater_lake = true,   // the first crater holds a lake
  droplets = 20000,     // erosion droplets: the valleys and the sediment fans
  houses = 7,
  snow_line = 27.0,
};

menu_style <- {
  radius = 62.0,
  lobes = 0.22,
  roughness = 0.35,
  peak = 34.0,
  hills = 8.0,
  faults = 1,
  fault_height = 8.0,
  craters = 1,
  crater_lake = true,
  droplets = 16000,
  houses = 4,
  snow_line = 25.0,
};

function build_island(style) {
  reseed_noise();
  local island = shape_island(style);
  raise_mountains(style, island);
  paint_materials(style);
  weather(style);
  cut_faults(style, island);
  local lakes = blast_craters(style, island);
  finish_colours(style);
  flood(style, lakes);
  settle(style, island);
  set_sun_dir(norm3(make4f(-0.45, 0.8, 0.35, 0.0)));
}

function generate_world(name) {
  if (name == "main_menu") {
    local handback = irnd();
    set_rnd_seed(MENU_SEED);
    build_island(menu_style);
    set_rnd_seed(handback);
  }
  else {
    reset_rules();
    build_island(game_style);
  }
}

// Events from the game: tables with a "type" ("spell_cast", "monster_killed",
// "wave_cleared", "castle_built", "player_died", "timer", "sensor", ...) and their
// fields. Unknown events are ignored, so the game may send more than this script
// handles.
function process_event(event) {
  if (typeof event == "string")
    debug_object("world event: " + event);
  else if (typeof event == "table")
    rules_event(event);
}

function update_script(t) {
  rules_update(t);
}
