// The game itself: spells and their grid, missiles, monsters, buildings, effects and the
// debug drawing. These are the entry points the game issue fills in;
// until then each does nothing (and answers "nothing there" where it answers at all).
import core.engine

// Spells (the spell grid lives with the spells interface, gui/spell_book.ls).
void toggle_mana_cheat() {}

// Spell effects on the world.
void add_source_water() {}
void add_water_source() {}
void simulate_water() {}
void pick_lightning_target() {}
void cast_lightning() {}
void apply_fireball() {}
void add_water_globe() {}
void create_hill() {}

// Monsters, their waves, the economy, the portal and the debug shapes: game/island.ls.
// (The objects of a new world and their drawing, shadows and houses: objects/.)

// Particle effects of the objects: fx/effects.ls.
