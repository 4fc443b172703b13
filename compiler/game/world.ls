// The game itself: spells and their grid, missiles, monsters, buildings, effects and the
// debug drawing. These are the entry points the game issue fills in;
// until then each does nothing (and answers "nothing there" where it answers at all).
import core.engine

// Spells, their effects on the world and the spell grid: spells/, core/player.ls and
// gui/spell_book.ls.

// Monsters, their waves, the economy, the portal and the debug shapes: game/island.ls.
// (The objects of a new world and their drawing, shadows and houses: objects/.)

// Particle effects of the objects: fx/effects.ls.
