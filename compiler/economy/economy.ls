// The castle's gatherers walk the land to the mana balls, carry them home and fill the
// castle's store; the store flows to the player while he is near. New balls appear over
// time on the island's dry land, more of them around the menhirs.
import game.island_util
import game.combat

void mana_ball_fx(vec4f pos, vec4f vel, float dt); // fx/effects.ls
void wyvern_death_fx(vec4f pos, vec4f vel);

enum GathererState : int
{
  GATHERER_SEEK = 0,
  GATHERER_WALK = 1,
  GATHERER_CARRY = 2,
  GATHERER_REST = 3,
};

static constexpr float GATHERER_SPEED = 3.2f;
static constexpr float GATHERER_REACH = 90.f;   // balls farther than this are left alone
static constexpr float CASTLE_MANA_RANGE = 30.f; // the player gets mana this near his castle
static constexpr float CASTLE_MANA_RATE = 10.f;  // per second
static constexpr int MANA_BALLS_MAX = 40;
static constexpr float MANA_BALL_EVERY = 1.5f;   // seconds between new balls, on average

static bool ball_valid(const ManaBall *b) { return in_list(ManaBall_list, b); }

void ManaBall::update(float dt)
{
  age += dt;
  if (claimedBy && !in_list(ManaGatherer_list, claimedBy))
    claimedBy = nullptr, carried = false;
  if (!carried)
  {
    pos.y = land_or_water_height(pos.x, pos.z) + 0.7f + 0.15f * std::sin(age * 2.5f);
    mana_ball_fx(pos, vec4f(0.f), dt);
  }
}

// The nearest free ball within reach of the gatherer.
static ManaBall *nearest_free_ball(const ManaGatherer *g)
{
  ManaBall *best = nullptr;
  float best_d = GATHERER_REACH;
  for (GameObj *o : ManaBall_list)
  {
    auto *b = static_cast<ManaBall *>(o);
    if (b->claimedBy || b->isDestroyed())
      continue;
    float d = ground_dist(g->pos, b->pos);
    if (d < best_d)
      best_d = d, best = b;
  }
  return best;
}

// One step on foot toward goal, round water and steep land: the first of the heading
// and a few turns off it that stays dry. True when the goal is reached.
static bool walk_to(ManaGatherer *g, vec4f goal, float dt, float reach)
{
  vec4f to = wrapped_offset(g->pos, goal);
  to.y = 0.f;
  float d = length3(to);
  if (d < reach)
    return true;
  vec4f dir = to * (1.f / d);
  const float step = GATHERER_SPEED * dt;
  const float turns[] = {0.f, 0.6f, -0.6f, 1.2f, -1.2f, 2.f, -2.f};
  for (float a : turns)
  {
    float c = std::cos(a), s = std::sin(a);
    vec4f h(dir.x * c - dir.z * s, 0.f, dir.x * s + dir.z * c, 0.f);
    float nx = g->pos.x + h.x * step, nz = g->pos.z + h.z * step;
    if (water_depth_at(nx, nz) > 0.25f && water_depth_at(g->pos.x, g->pos.z) <= 0.25f)
      continue;
    g->heading = h;
    g->pos.x = wrap_world_coord(nx);
    g->pos.z = wrap_world_coord(nz);
    g->stride += step * 1.6f;
    break;
  }
  g->pos.y = get_land_height(g->pos.x, g->pos.z);
  return false;
}

static CastleObject *castle_at(vec4f home)
{
  CastleObject *best = nullptr;
  float best_d = 10.f;
  for (GameObj *o : CastleObject_list)
  {
    float d = ground_dist(o->pos, home);
    if (d < best_d)
      best_d = d, best = static_cast<CastleObject *>(o);
  }
  return best;
}

void ManaGatherer::update(float dt)
{
  stateTime += dt;
  hitFlash = std::fmax(hitFlash - dt, 0.f);
  if (ball && !ball_valid(ball))
  {
    ball = nullptr;
    if (state != GATHERER_REST)
      state = GATHERER_SEEK;
  }
  switch (state)
  {
  case GATHERER_SEEK:
    if ((ball = nearest_free_ball(this)))
    {
      ball->claimedBy = this;
      state = GATHERER_WALK;
    }
    else
      state = GATHERER_REST;
    stateTime = 0.f;
    break;
  case GATHERER_WALK:
    if (walk_to(this, ball->pos, dt, 0.9f))
    {
      ball->carried = true;
      state = GATHERER_CARRY, stateTime = 0.f;
    }
    break;
  case GATHERER_CARRY:
    ball->pos = pos + vec4f(0.f, 1.6f, 0.f, 0.f);
    if (walk_to(this, home, dt, 1.5f))
    {
      if (CastleObject *c = castle_at(home))
        c->mana += ball->mana;
      delete_gameobj(ball);
      ball = nullptr;
      state = GATHERER_SEEK, stateTime = 0.f;
    }
    break;
  default: // resting by the castle, looking again now and then
    walk_to(this, home, dt, 3.f);
    if (stateTime > 2.f)
      state = GATHERER_SEEK, stateTime = 0.f;
    break;
  }
  file_near(this, 0.5f);
}

void hurt_gatherer(ManaGatherer *g, float damage)
{
  if (g->isDestroyed())
    return;
  g->health -= damage;
  g->hitFlash = 0.4f;
  if (g->health > 0.f)
    return;
  if (g->ball && ball_valid(g->ball))
    g->ball->claimedBy = nullptr, g->ball->carried = false;
  wyvern_death_fx(g->pos + vec4f(0.f, 1.f, 0.f, 0.f), vec4f(0.f, 2.f, 0.f, 0.f));
  delete_gameobj(g);
}

void CastleObject::update(float dt)
{
  if (!announced)
  {
    announced = true;
    GameEventField built[] = {{"x", nullptr, pos.x}, {"z", nullptr, pos.z}};
    send_game_event_fields("castle_built", built, 2);
  }
  int out = 0;
  for (GameObj *o : ManaGatherer_list)
    if (ground_dist(static_cast<ManaGatherer *>(o)->home, pos) < 1.f)
      out++;
  sendTimer -= dt;
  if (out < gatherers && sendTimer <= 0.f)
  {
    sendTimer = 4.f;
    auto *g = static_cast<ManaGatherer *>(new_gameobj_by_id(35));
    float a = rnd_range(0.f, 6.2831853f);
    g->home = pos;
    g->setPos(vec4f(wrap_world_coord(pos.x + std::cos(a) * 2.f), 0.f, wrap_world_coord(pos.z + std::sin(a) * 2.f), 1.f));
    g->pos.y = get_land_height(g->pos.x, g->pos.z);
    file_near(g, 0.5f);
  }
  Player *p = game_player();
  if (p && mana > 0.f && ground_dist(p->getPos(), pos) < CASTLE_MANA_RANGE)
  {
    const float before = p->mana;
    give_player_mana(std::fmin(mana, CASTLE_MANA_RATE * dt));
    mana -= std::fmax(p->mana - before, 0.f);
  }
}

// A new ball now and then: beside a menhir half of the time, else on any dry land.
void spawn_mana_balls(float dt)
{
  if (ManaBall_list.size() >= MANA_BALLS_MAX || rnd_unit() >= dt / MANA_BALL_EVERY)
    return;
  vec4f at;
  const int menhirs = Menhir1StaticObject_list.size() + Menhir2StaticObject_list.size();
  bool found = false;
  if (menhirs && rnd_unit() < 0.5f)
  {
    int k = std::min(int(rnd_unit() * float(menhirs)), menhirs - 1);
    GameObj *m = k < Menhir1StaticObject_list.size() ? Menhir1StaticObject_list[k]
                                                     : Menhir2StaticObject_list[k - Menhir1StaticObject_list.size()];
    float a = rnd_range(0.f, 6.2831853f), r = rnd_range(2.f, 6.f);
    at = vec4f(wrap_world_coord(m->pos.x + std::cos(a) * r), 0.f, wrap_world_coord(m->pos.z + std::sin(a) * r), 1.f);
    found = get_land_height(at.x, at.z) > 0.3f && water_depth_at(at.x, at.z) < 0.05f;
  }
  if (!found)
  {
    for (int i = 0; i < 12 && !found; i++)
    {
      float a = rnd_range(0.f, 6.2831853f), r = 90.f * std::sqrt(rnd_unit());
      at = vec4f(wrap_world_coord(ISLAND_CENTRE + std::cos(a) * r), 0.f,
                 wrap_world_coord(ISLAND_CENTRE + std::sin(a) * r), 1.f);
      found = get_land_height(at.x, at.z) > 0.5f && water_depth_at(at.x, at.z) < 0.05f;
    }
  }
  if (!found)
    return;
  auto *b = static_cast<ManaBall *>(new_gameobj_by_id(39));
  at.y = get_land_height(at.x, at.z) + 0.7f;
  b->setPos(at);
  b->age = rnd_range(0.f, 3.f);
}
