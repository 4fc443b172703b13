// The spells as the interface and the casting know them (name, icon, mana cost,
// cooldown, description), the spell grid (which spells the player has and which each
// mouse button casts; the player carries it) and the numbers the spell bar shows.
import core.classes
import spells.spell_grid_data

void start_spell_pick_up_anim(); // gui/spells_ui.ls

struct SpellInfo
{
  const char *name;
  int class_id; // of the spell's class (core/classes.ls)
  const char *icon;
  int mana;
  float cooldown; // seconds between two casts
  const char *description;
};

// In grid order.
static const SpellInfo spell_infos[] = {
  {"Fireball", 17, "fireball", 12, 0.6f, "A ball of fire: sets trees alight and burns monsters."},
  {"Water ball", 18, "waterball", 10, 0.8f, "A globe of water that bursts where it lands."},
  {"Hill", 22, "hill", 20, 1.5f, "Raises the land into a hill."},
  {"Pit", 23, "pit", 20, 1.5f, "Sinks the land into a pit."},
  {"Fault", 19, "fault", 45, 5.f, "Splits the land along a fault line."},
  {"Meteor", 21, "meteor", 70, 8.f, "Calls a meteor down: a crater and a blast."},
  {"Water source", 24, "water_source", 30, 4.f, "A spring that keeps pouring out water."},
  {"Water sink", 25, "water_sink", 30, 4.f, "Drains the water around it away."},
  {"Lightning", 28, "lightning", 25, 1.2f, "Strikes the nearest monster in front of you."},
  {"Thunderstorm", 26, "thunderstorm", 80, 15.f, "A storm cloud that rains bolts on monsters."},
  {"Healing", 27, "healing", 35, 6.f, "Restores your health."},
  {"House", 20, "house", 30, 3.f, "Builds a house on a flat, dry plot."},
  {"Castle", 38, "castle", 100, 10.f, "Builds a castle whose gatherers bring you mana."},
  {"Portal", 41, "portal", 0, 1.f, "Steps through an open portal to the next island."},
};
static_assert(int(sizeof(spell_infos) / sizeof(spell_infos[0])) == SPELL_KINDS, "one entry per spell class");

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

// The grid of the local player; without one (before start-up ends) a spare one.
static SpellGrid spare_spell_grid;
inline SpellGrid &spell_grid()
{
  Player *p = static_cast<Player *>(local_player);
  return p ? p->grid : spare_spell_grid;
}

// The numbers of the spell bar.
struct SpellsHud
{
  float health = 100.f, health_max = 100.f;
  float mana = 100.f, mana_max = 100.f;
};
static SpellsHud spells_hud;

static bool spell_grid_has(int kind) { return kind >= 0 && kind < SPELL_KINDS && spell_grid().owned[kind]; }
static int spell_assigned(int button) { return button == 0 || button == 1 ? spell_grid().assigned[button] : -1; }

// Assigns an owned kind to a mouse button; the other button keeps its spell.
static bool spell_assign(int button, int kind)
{
  if ((button != 0 && button != 1) || !spell_grid_has(kind))
    return false;
  spell_grid().assigned[button] = kind;
  return true;
}

// Adds a kind; an empty button gets it. False when it was there already.
static bool spell_grid_add(int kind)
{
  if (kind < 0 || kind >= SPELL_KINDS || spell_grid().owned[kind])
    return false;
  spell_grid().owned[kind] = true;
  for (int b = 0; b < 2; b++)
    if (spell_grid().assigned[b] < 0)
    {
      spell_grid().assigned[b] = kind;
      break;
    }
  return true;
}

void init_spell_grid() { spell_grid() = SpellGrid(); }

// Adds the spell of class_id to the grid; false when it is there already or no spell.
bool add_spell_to_grid(int class_id) { return spell_grid_add(spell_kind_of_class(class_id)); }

// The spell's place in the grid, -1 while the player does not have it.
int find_spell_in_grid(int class_id)
{
  const int kind = spell_kind_of_class(class_id);
  return spell_grid_has(kind) ? kind : -1;
}

// A spell found on the island: into the grid, with the pick-up animation.
bool pick_up_spell(int class_id)
{
  const int kind = spell_kind_of_class(class_id);
  if (!spell_grid_add(kind))
    return false;
  spell_grid().last_picked = kind;
  start_spell_pick_up_anim();
  debug("picked up the %s spell", spell_infos[kind].name);
  return true;
}

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
    spell_grid().last_picked = added;
    start_spell_pick_up_anim();
  }
}
