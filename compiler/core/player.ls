// The local player: flies with the play mode's controls over the land and the water
// (never into them), regains health and mana over time, casts the spells of his mouse
// buttons, and is defeated when his health runs out.
import core.classes
import core.land
import game.combat
import gui.spell_book
import spells.casting
import spells.spell_objects

void healing_fx(vec4f pos, float dt);
void show_defeat_menu(); // gui/menus.ls

static constexpr float PLAYER_CLEARANCE = 1.5f;  // eye height above the land or water
static constexpr float PLAYER_CEILING = 90.f;    // highest flight above the sea
static constexpr float MANA_REGEN = 3.f;         // per second
static constexpr float HEALTH_REGEN = 2.f;       // per second, once unhurt for a while
static constexpr float HEALTH_REGEN_DELAY = 5.f; // seconds

static float wrap_world(float v)
{
  float t = v / 256.f;
  return (t - std::floor(t)) * 256.f;
}

void Player::move(float dt, float speed, const vec4f &move_vec, const Matrix44 &camera, int dash)
{
  vec4f p = getPos() + move_vec;
  p.x = wrap_world(p.x);
  p.z = wrap_world(p.z);
  // The highest land or water surface under a small square around the eye.
  const float surface = HeightmapData::calcSquareDepth(vec4f(p.x, 0.f, p.z, 1.f), 0.4f, true).x;
  const float ground = std::fmax(surface, get_land_height(p.x, p.z)) + PLAYER_CLEARANCE;
  p.y = std::fmin(std::fmax(p.y, ground), std::fmax(PLAYER_CEILING, ground));
  p.w = 1.f;
  setPos(p);
}

void Player::update(float dt)
{
  if (dead)
    return;
  since_hurt += dt;
  mana = mana_cheat ? max_mana : std::fmin(max_mana, mana + MANA_REGEN * dt);
  if (since_hurt >= HEALTH_REGEN_DELAY && health > 0.f)
    health = std::fmin(max_health, health + HEALTH_REGEN * dt);
  if (healing_left > 0.f)
  {
    healing_left -= dt;
    healing_fx(pos - vec4f(0.f, 1.f, 0.f, 0.f), dt);
  }
  spells_hud = SpellsHud{health, max_health, mana, max_mana};
  if (health <= 0.f)
  {
    dead = true;
    debug("the player was defeated");
    send_game_event("player_died");
    show_defeat_menu();
    return;
  }
  update_player_casting(this);
}

// A fresh start: full health and mana, the first spells, no cooldowns.
void start_new_game()
{
  auto *p = static_cast<Player *>(local_player);
  if (!p)
    return;
  p->health = p->max_health;
  p->mana = p->max_mana;
  p->dead = false;
  p->since_hurt = 100.f;
  p->healing_left = 0.f;
  add_initial_spells();
  for (GameObj *o : Spell_list)
    static_cast<Spell *>(o)->cooldown_left = 0.f;
}

void toggle_mana_cheat()
{
  auto *p = static_cast<Player *>(local_player);
  if (!p)
    return;
  p->mana_cheat = !p->mana_cheat;
  debug("mana cheat %s", p->mana_cheat ? "on" : "off");
}

void Player::onWorldRemoved() {}

void generate_objects();

// Where a new island starts the player: over the first dry land north of its southern
// sea on the island's middle line, high enough to look across it.
static constexpr float START_Z = 40.f, START_HEIGHT = 12.f, START_MIN_Y = 20.f;
static vec4f island_start_point()
{
  const float x = 0.5f * float(HMAP_SIZE);
  float z = START_Z;
  for (; z < x; z += 1.f)
  {
    const int cx = int(x), cz = int(z);
    if (HeightmapData::height(cx, cz) > 0.5f && HeightmapData::waterAt(cx, cz).depth < 0.05f)
      break;
  }
  const float surface = std::fmax(get_land_height(x, z), 0.f);
  return vec4f(x, std::fmax(surface + START_HEIGHT, START_MIN_Y), z, 1.f);
}

// A new world: dress it with objects and spells to find; the player starts at the
// island's southern shore, flying (he may have stood anywhere, out at sea or under what
// is now a mountain).
void Player::onWorldGenerated()
{
  generate_objects();
  place_spell_objects();
  setPos(island_start_point());
}
