// What the parts of the game call on each other: hurting and healing the player and the
// monsters, finding the monsters, and telling the world script what happened. The spells
// (player side) and the creatures (monster side) both build on these.
import core.classes
#include "script/game_script.h"

// The local player as the game's Player, or null.
inline Player *game_player() { return static_cast<Player *>(local_player); }

// Player side.
void damage_player(float amount)
{
  if (Player *p = game_player())
  {
    p->health = std::max(0.f, p->health - amount);
    if (amount > 0.f)
      p->since_hurt = 0.f;
  }
}

void give_player_mana(float amount)
{
  if (Player *p = game_player())
    p->mana = std::min(p->max_mana, p->mana + amount);
}

// Monster side (the creatures and their waves: monsters/).
void monster_died(Monster *m, GameObj *source);
int wave_number();
void send_game_event_fields(const char *type, const GameEventField *fields, int count);

void Monster::onHit(float damage, const vec4f &from, GameObj *source)
{
  if (!alive())
    return;
  health -= damage;
  if (health <= 0.f)
    onKilled(source);
}

void Monster::onKilled(GameObj *source) { monster_died(this, source); }

// Every living monster, at most max of them; returns the count written.
int list_monsters(Monster **out, int max)
{
  int n = 0;
  for (DynArray<GameObj *> *list : {&WyvernMonster_list, &BirdMonster_list})
    for (GameObj *obj : *list)
    {
      auto *m = static_cast<Monster *>(obj);
      if (n < max && m->alive())
        out[n++] = m;
    }
  return n;
}

// Hurts every living monster within radius of center: the full damage at the centre,
// falling linearly to none at the radius. Returns the damage dealt in all.
float damage_monsters(const vec4f &center, float radius, float damage, GameObj *source)
{
  Monster *found[512];
  int n = list_monsters(found, 512);
  float dealt = 0.f;
  for (int i = 0; i < n; i++)
  {
    vec4f d = found[i]->getPos() - center;
    float dist = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (dist >= radius)
      continue;
    float hit = damage * (1.f - dist / radius);
    found[i]->onHit(hit, center, source);
    dealt += hit;
  }
  return dealt;
}

// The state of the island's fight, for the HUD.
int current_wave() { return wave_number(); }
// Seconds until the rules start the next wave; below 0 while none is on its way.
float next_wave_in()
{
  float v = -1.f;
  return get_game_script_number("next_wave_in", &v) ? v : -1.f;
}
int monsters_left()
{
  Monster *found[512];
  return list_monsters(found, 512);
}

// Game events for the world script's "process_event": a table with "type" = type and
// the given field (none when field is null).
void send_game_event(const char *type, const char *field = nullptr, float value = 0.f)
{
  GameEventField f = {field, nullptr, value};
  send_game_event_fields(type, &f, field ? 1 : 0);
}
