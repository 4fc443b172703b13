// The spells as the interface knows them (name, icon, mana cost, description), the
// spell grid (which spells the player has and which each mouse button casts) and the
// numbers the spell bar shows. The game fills these; the spells interface draws them.
import core.engine

struct SpellInfo
{
  const char *name;
  int class_id; // of the spell's class (core/classes.ls)
  const char *icon;
  int mana;
  const char *description;
};

// In grid order.
static const SpellInfo spell_infos[] = {
  {"Fireball", 17, "fireball", 20, "A ball of fire: sets trees alight and burns monsters."},
  {"Water ball", 18, "waterball", 15, "A globe of water that bursts where it lands."},
  {"Hill", 22, "hill", 25, "Raises the land into a hill."},
  {"Pit", 23, "pit", 25, "Sinks the land into a pit."},
  {"Fault", 19, "fault", 40, "Splits the land along a fault line."},
  {"Meteor", 21, "meteor", 80, "Calls a meteor down: a crater and a blast."},
  {"Water source", 24, "water_source", 35, "A spring that keeps pouring out water."},
  {"Water sink", 25, "water_sink", 35, "Drains the water around it away."},
  {"Lightning", 28, "lightning", 45, "Strikes the nearest monster in front of you."},
  {"Thunderstorm", 26, "thunderstorm", 90, "A storm cloud that rains bolts on monsters."},
  {"Healing", 27, "healing", 30, "Restores your health."},
  {"House", 20, "house", 30, "Builds a house on a flat, dry plot."},
  {"Castle", 38, "castle", 120, "Builds a castle whose gatherers bring you mana."},
  {"Portal", 41, "portal", 0, "Steps through an open portal to the next island."},
};
constexpr int SPELL_KINDS = int(sizeof(spell_infos) / sizeof(spell_infos[0]));
static_assert(SPELL_KINDS == 14, "one entry per spell class");

// The kind of a spell class id, -1 if none.
static int spell_kind_of_class(int class_id)
{
  for (int k = 0; k < SPELL_KINDS; k++)
    if (spell_infos[k].class_id == class_id)
      return k;
  return -1;
}

enum : int
{
  SPELL_BUTTON_LEFT = 0,
  SPELL_BUTTON_RIGHT = 1,
};

struct SpellGrid
{
  bool owned[SPELL_KINDS] = {};
  int assigned[2] = {-1, -1}; // per mouse button: the kind it casts, -1 none
  int last_picked = -1;       // the latest spell picked up (its animation shows it)
};
static SpellGrid spell_grid;

// The numbers of the spell bar.
struct SpellsHud
{
  float health = 100.f, health_max = 100.f;
  float mana = 100.f, mana_max = 100.f;
};
static SpellsHud spells_hud;

static bool spell_grid_has(int kind) { return kind >= 0 && kind < SPELL_KINDS && spell_grid.owned[kind]; }
static int spell_assigned(int button) { return button == 0 || button == 1 ? spell_grid.assigned[button] : -1; }

// Assigns an owned kind to a mouse button; the other button keeps its spell.
static bool spell_assign(int button, int kind)
{
  if ((button != 0 && button != 1) || !spell_grid_has(kind))
    return false;
  spell_grid.assigned[button] = kind;
  return true;
}

// Adds a kind; an empty button gets it. False when it was there already.
static bool spell_grid_add(int kind)
{
  if (kind < 0 || kind >= SPELL_KINDS || spell_grid.owned[kind])
    return false;
  spell_grid.owned[kind] = true;
  for (int b = 0; b < 2; b++)
    if (spell_grid.assigned[b] < 0)
    {
      spell_grid.assigned[b] = kind;
      break;
    }
  return true;
}

void init_spell_grid() { spell_grid = SpellGrid(); }

// The entry points the program knows take no arguments (gameobj/gameobj_funcs.h); the
// game calls the functions above with the spell it means.
void add_spell_to_grid() {}
void find_spell_in_grid() {}
void pick_up_spell() {}

// Fireball and hill on the buttons, water ball and pit in the grid.
void add_initial_spells()
{
  init_spell_grid();
  spell_grid_add(spell_kind_of_class(17));
  spell_grid_add(spell_kind_of_class(22));
  spell_grid_add(spell_kind_of_class(18));
  spell_grid_add(spell_kind_of_class(23));
}

// Every spell; the last one that was missing shows the pick-up animation.
void add_all_spells()
{
  int added = -1;
  for (int k = 0; k < SPELL_KINDS; k++)
    if (spell_grid_add(k))
      added = k;
  debug("all %d spells in the grid", SPELL_KINDS);
  if (added >= 0)
  {
    spell_grid.last_picked = added;
    start_spell_pick_up_anim();
  }
}
