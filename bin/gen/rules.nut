// The game's rules on an island: when the waves of monsters come, how big they are, and
// what winning the island brings. The module calls them through main.nut's
// update_script and process_event; they reach the game through the module's functions:
//   start_wave(wave, wyverns, birds)   spawn_monster(kind, x, z[, height])
//   monsters_left()   open_portal()   portal_open()   give_mana(amount)
//   game_playing()    player_stat("health" | "max_health" | "mana" | "max_mana")
//   damage_monsters(x, y, z, radius, damage)   remove_all_monsters()
//   add_timer(name, seconds[, period])   add_sensor(name, x, z, radius)
// Change anything here while playing: the island is rebuilt with the new rules.

wave_rules <- {
  first_delay = 12.0,  // seconds of peace on a new island before the first wave
  pause = 15.0,        // seconds between a cleared wave and the next
  waves = 4,           // the portal opens when the last of these is cleared
  kill_mana = 5,       // mana for the player per monster killed
  wave_mana = 40,      // and per wave cleared
};

// The monsters of a wave: more wyverns every wave, a flock of birds on the first ones.
function wave_monsters(wave) {
  return { wyverns = 1 + wave, birds = wave <= 2 ? 6 : 3 + wave };
}

// The state the rules keep; the module reads wave_number and next_wave_in (its HUD:
// seconds until the next wave, -1 while none is on its way) and monster_spawn (Ctrl-M)
// from here.
wave_number <- 0;
wave_timer <- 0.0;
next_wave_in <- -1.0;
island_won <- false;
if (!("monster_spawn" in getroottable()))
  monster_spawn <- 1;

// A new "game" island starts the waves again.
function reset_rules() {
  wave_number = 0;
  wave_timer = 0.0;
  next_wave_in = -1.0;
  island_won = false;
}

function start_next_wave() {
  wave_number += 1;
  wave_timer = 0.0;
  local m = wave_monsters(wave_number);
  start_wave(wave_number, m.wyverns, m.birds);
}

function rules_update(t) {
  next_wave_in = -1.0;
  if (island_won || !monster_spawn || !game_playing() || monsters_left() > 0)
    return;
  wave_timer += t;
  local delay = wave_number == 0 ? wave_rules.first_delay : wave_rules.pause;
  if (wave_timer >= delay)
    start_next_wave();
  else
    next_wave_in = delay - wave_timer;
}

function rules_event(event) {
  switch (event.type) {
  case "monster_killed":
    give_mana(wave_rules.kill_mana);
    break;
  case "wave_cleared":
    give_mana(wave_rules.wave_mana);
    if (wave_number >= wave_rules.waves && !island_won) {
      island_won = true;
      open_portal();
    }
    else
      wave_timer = 0.0;
    break;
  case "next_wave":
    if (!island_won)
      start_next_wave();
    break;
  }
}
