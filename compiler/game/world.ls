// The game itself: spells and their grid, missiles, monsters, buildings, effects and the
// debug drawing. These are the entry points the game issue fills in;
// until then each does nothing (and answers "nothing there" where it answers at all).
import core.engine

// Spells, their effects on the world and the spell grid: spells/, core/player.ls and
// gui/spell_book.ls.

// Monsters.
static bool monster_spawn_enabled = true;
void spawn_monster() {}
void remove_all_monsters() {}
void toggle_monster_spawn()
{
  monster_spawn_enabled = !monster_spawn_enabled;
  debug("monster spawn %s", monster_spawn_enabled ? "on" : "off");
}
void spawn_monsters() {}
bool are_any_monsters_alive() { return false; }

// Drawing: debug shapes. (The objects of a new world and their drawing, shadows and
// houses: objects/.)
void render_debug_vis_gameobj() {}

// Particle effects of the objects: fx/effects.ls.
