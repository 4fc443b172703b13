// The objects' state as one number, for record and replay: the program folds it into its
// world hash every few updates, and a replay that computes a different one has diverged.
// What goes in is what the game plays on: every object's class, position and the fields
// its behaviour depends on, in list order. Pointers never go in (they differ from run to
// run); a link to another object counts as present or absent.
import core.classes
#include "core/hash64.h"

static void hash_vec(Hash64 &h, const vec4f &v)
{
  for (int i = 0; i < 4; i++)
    h.f32(v[i]);
}

static void hash_missile(Hash64 &h, const Missile *m)
{
  hash_vec(h, m->vel);
  hash_vec(h, m->target);
  h.f32(m->life);
  h.f32(m->arrive);
  h.i32(m->variant);
  h.u32(m->owner != nullptr);
}

static void hash_static_object(Hash64 &h, const StaticObject *s)
{
  h.f32(s->yaw);
  h.f32(s->scale);
  h.f32(s->stretch);
  hash_vec(h, s->up);
}

// The fields of obj's own class (id) that its update reads or writes.
static void hash_object_fields(Hash64 &h, GameObj *obj, int id)
{
  if (const auto *m = dynamic_cast<Missile *>(obj))
  {
    hash_missile(h, m);
    return;
  }
  if (const auto *s = dynamic_cast<Spell *>(obj))
  {
    h.f32(s->cooldown_left);
    h.u32(s->owner != nullptr);
    return;
  }
  switch (id)
  {
  case 2:
  {
    const auto *p = static_cast<Player *>(obj);
    h.f32(p->health);
    h.f32(p->max_health);
    h.f32(p->mana);
    h.f32(p->max_mana);
    h.f32(p->since_hurt);
    h.f32(p->healing_left);
    h.u32(p->mana_cheat | (p->dead << 1));
    h.bytes(p->grid.owned, sizeof(p->grid.owned));
    h.i32(p->grid.assigned[0]);
    h.i32(p->grid.assigned[1]);
    break;
  }
  case 3:
  {
    const auto *w = static_cast<WaterSource *>(obj);
    h.f32(w->rate);
    h.f32(w->radius);
    h.f32(w->life);
    break;
  }
  case 4:
  {
    const auto *s = static_cast<SpellObject *>(obj);
    h.i32(s->spell_class);
    h.f32(s->age);
    break;
  }
  case 5:
  {
    const auto *t = static_cast<ThunderstormObject *>(obj);
    h.f32(t->life);
    h.f32(t->next_strike);
    break;
  }
  case 29:
  {
    const auto *w = static_cast<WyvernMonster *>(obj);
    h.f32(w->health);
    hash_vec(h, w->vel);
    hash_vec(h, w->home);
    for (const vec4f &b : w->body)
      hash_vec(h, b);
    for (const WyvernFlame &f : w->flames)
    {
      hash_vec(h, f.pos);
      hash_vec(h, f.vel);
      h.f32(f.life);
    }
    h.i32(w->state);
    h.f32(w->stateTime);
    h.f32(w->fireCooldown);
    h.f32(w->circleSign);
    h.f32(w->altitude);
    break;
  }
  case 30:
  {
    const auto *b = static_cast<BurnEffect *>(obj);
    h.f32(b->life);
    h.u32(b->tree != nullptr);
    break;
  }
  case 31:
  {
    const auto *t = static_cast<TreeObject *>(obj);
    hash_static_object(h, t);
    h.u32(t->burnt);
    h.f32(t->fall);
    h.f32(t->fallSpeed);
    h.f32(t->fallYaw);
    h.f32(t->gone);
    h.i32(t->checkIn);
    break;
  }
  case 32:
  case 33:
  case 34: hash_static_object(h, static_cast<StaticObject *>(obj)); break;
  case 35:
  {
    const auto *g = static_cast<ManaGatherer *>(obj);
    hash_vec(h, g->home);
    hash_vec(h, g->heading);
    h.i32(g->state);
    h.f32(g->stateTime);
    h.f32(g->health);
    h.u32(g->ball != nullptr);
    break;
  }
  case 36:
  {
    const auto *c = static_cast<CastleObject *>(obj);
    h.f32(c->mana);
    h.f32(c->sendTimer);
    h.i32(c->gatherers);
    h.u32(c->announced);
    break;
  }
  case 39:
  {
    const auto *b = static_cast<ManaBall *>(obj);
    h.f32(b->mana);
    h.f32(b->age);
    h.u32(b->carried | ((b->claimedBy != nullptr) << 1));
    break;
  }
  case 40:
  {
    const auto *p = static_cast<WorldPortal *>(obj);
    h.f32(p->radius);
    h.f32(p->age);
    break;
  }
  case 42:
  {
    const auto *b = static_cast<BirdMonster *>(obj);
    h.f32(b->health);
    hash_vec(h, b->vel);
    hash_vec(h, b->home);
    h.i32(b->flock);
    h.f32(b->anger);
    h.f32(b->peckCooldown);
    break;
  }
  case 43:
  {
    const auto *t = static_cast<TimeTrigger *>(obj);
    h.bytes(t->name, strnlen(t->name, sizeof(t->name)));
    h.f32(t->timeLeft);
    h.f32(t->period);
    h.i32(t->fired);
    break;
  }
  case 44:
  {
    const auto *s = static_cast<Sensor *>(obj);
    h.bytes(s->name, strnlen(s->name, sizeof(s->name)));
    h.f32(s->radius);
    h.u32(s->inside);
    break;
  }
  default: break;
  }
}

uint64_t hash_gameobj_state(uint64_t start)
{
  Hash64 h(start);
  // How many objects each class list holds, then every object in update order.
  for (int id = 1; id <= 44; id++)
    h.i32(gameobj_class_info(id)->list->size());
  for (GameObj *obj : GameObj_list)
  {
    auto *e = dynamic_cast<GameEntity *>(obj);
    const int id = e ? e->classId() : 1;
    h.i32(id);
    h.u32(obj->isDestroyed());
    hash_vec(h, obj->pos);
    h.u32(obj == local_player);
    hash_object_fields(h, obj, id);
  }
  return h.h;
}
