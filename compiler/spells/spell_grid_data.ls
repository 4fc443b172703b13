// The spell grid's data: which spells the player has and which each mouse button casts.
// The player carries it (core/classes.ls), so it lives through module reloads, new
// worlds and portals; gui/spell_book.ls works on it.
import core.engine

constexpr int SPELL_KINDS = 14;

struct SpellGrid
{
  bool owned[SPELL_KINDS] = {};
  int assigned[2] = {-1, -1}; // per mouse button: the kind it casts, -1 none
  int last_picked = -1;       // the latest spell picked up (its animation shows it)
};
