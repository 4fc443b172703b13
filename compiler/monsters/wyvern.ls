// The wyvern's flight: it circles its home over the island, now and then picks the
// player or a gatherer near it, dives at it breathing fire and climbs away again. It
// keeps clear of other monsters through the proximity grid.
import monsters.monster
import game.combat

int spawn_fireball_fx(int trail, vec4f pos, vec4f vel, float dt); // fx/effects.ls
void flame_burst_fx(int trail, vec4f pos, vec4f normal);
void wyvern_death_fx(vec4f pos, vec4f vel);
void hurt_gatherer(ManaGatherer *g, float damage); // economy/economy.ls

enum WyvernState : int
{
  WYVERN_CIRCLE = 0,
  WYVERN_DIVE = 1,
  WYVERN_CLIMB = 2,
};

static constexpr float WYVERN_SEGMENT = 2.4f;     // between the body's points
static constexpr float WYVERN_SIGHT = 70.f;       // it notices targets this near
static constexpr float WYVERN_FIRE_RANGE = 22.f;
static constexpr float WYVERN_FLAME_SPEED = 24.f;
static constexpr float WYVERN_FLAME_DAMAGE = 6.f;
static constexpr float MONSTER_KEEP_APART = 7.f;  // monsters steer away from each other inside this

// What the wyvern goes for: the player or the nearest gatherer within sight.
static bool wyvern_target(const WyvernMonster *w, vec4f &target)
{
  float best = WYVERN_SIGHT;
  bool found = false;
  if (Player *p = game_player())
    if (p->health > 0.f)
    {
      float d = wrapped_dist(w->pos, p->getPos());
      if (d < best)
        best = d, target = p->getPos(), found = true;
    }
  for (GameObj *o : ManaGatherer_list)
  {
    float d = wrapped_dist(w->pos, o->pos);
    if (d < best * 0.8f) // the player comes first at a like distance
      best = d, target = o->pos + vec4f(0.f, 0.8f, 0.f, 0.f), found = true;
  }
  if (found)
    target = w->pos + wrapped_offset(w->pos, target);
  return found;
}

// Away from every other monster closer than MONSTER_KEEP_APART, stronger the closer.
vec4f monster_separation(const GameObj *self, float apart)
{
  vec4f push(0.f);
  for_objects_near(self->pos, apart, [&](GameObj *o) {
    if (o == self)
      return;
    vec4f d = wrapped_offset(o->pos, self->pos);
    float l = length3(d);
    if (l < apart && l > 1e-3f && dynamic_cast<Monster *>(o))
      push = push + d * ((apart - l) / (apart * l));
  });
  return push;
}

static void breathe_fire(WyvernMonster *w, vec4f target)
{
  for (WyvernFlame &f : w->flames)
    if (f.life <= 0.f)
    {
      vec4f fwd = normalize3(w->vel);
      f.pos = w->pos + fwd * 1.5f;
      vec4f aim = target - f.pos;
      aim.y += length3(aim) * 0.06f; // a little over, it falls on the way
      f.vel = normalize3(aim) * WYVERN_FLAME_SPEED;
      f.life = 1.6f;
      f.trail = -1;
      return;
    }
}

static void end_flame(WyvernFlame &f)
{
  flame_burst_fx(f.trail, f.pos, calc_land_norm(f.pos.x, f.pos.z));
  f.life = 0.f;
  f.trail = -1;
}

static void update_flames(WyvernMonster *w, float dt)
{
  Player *p = game_player();
  for (WyvernFlame &f : w->flames)
  {
    if (f.life <= 0.f)
      continue;
    f.life -= dt;
    f.vel.y -= 4.f * dt;
    f.pos = f.pos + f.vel * dt;
    f.pos.x = wrap_world_coord(f.pos.x);
    f.pos.z = wrap_world_coord(f.pos.z);
    f.trail = spawn_fireball_fx(f.trail, f.pos, f.vel, dt);
    if (p && wrapped_dist(f.pos, p->getPos()) < 2.f)
    {
      damage_player(WYVERN_FLAME_DAMAGE);
      end_flame(f);
      continue;
    }
    bool hit = false;
    for (GameObj *o : ManaGatherer_list)
      if (wrapped_dist(f.pos, o->pos + vec4f(0.f, 0.8f, 0.f, 0.f)) < 1.6f)
      {
        hurt_gatherer(static_cast<ManaGatherer *>(o), WYVERN_FLAME_DAMAGE * 2.f);
        hit = true;
        break;
      }
    if (hit || f.pos.y < land_or_water_height(f.pos.x, f.pos.z) || f.life <= 0.f)
      end_flame(f);
  }
}

void WyvernMonster::update(float dt)
{
  if (!alive())
    return;
  if (!placed)
  {
    vec4f back = length3(vel) > 0.1f ? normalize3(vel) * -WYVERN_SEGMENT : vec4f(0.f, 0.f, -WYVERN_SEGMENT, 0.f);
    for (int i = 0; i < 3; i++)
      body[i] = pos + back * float(i + 1);
    placed = true;
  }
  stateTime += dt;
  fireCooldown -= dt;
  hitFlash = std::fmax(hitFlash - dt, 0.f);
  flap += dt * (state == WYVERN_CLIMB ? 9.f : state == WYVERN_DIVE ? 3.f : 5.5f);
  if (flap > 6.2831853f)
    flap -= 6.2831853f;

  const float ground = land_or_water_height(pos.x, pos.z);
  vec4f want(0.f);
  float speed = 9.f;
  vec4f target;
  if (state == WYVERN_CIRCLE)
  {
    vec4f to_home = wrapped_offset(pos, home);
    to_home.y = 0.f;
    float r = length3(to_home);
    vec4f in = r > 0.1f ? to_home * (1.f / r) : vec4f(1.f, 0.f, 0.f, 0.f);
    vec4f round = vec4f(-in.z, 0.f, in.x, 0.f) * circleSign;
    want = round + in * std::clamp((r - 28.f) * 0.08f, -0.6f, 1.5f);
    want.y = std::clamp((ground + altitude - pos.y) * 0.1f, -0.5f, 0.5f);
    if (stateTime > 5.f && wyvern_target(this, target))
      state = WYVERN_DIVE, stateTime = 0.f;
  }
  else if (state == WYVERN_DIVE)
  {
    speed = 15.f;
    if (!wyvern_target(this, target) || stateTime > 7.f)
      state = WYVERN_CLIMB, stateTime = 0.f;
    else
    {
      vec4f to = target - pos;
      float d = length3(to);
      // Aim above the target and pull out before hitting it.
      want = normalize3(to + vec4f(0.f, std::fmin(d * 0.3f, 6.f), 0.f, 0.f));
      if (d < WYVERN_FIRE_RANGE && fireCooldown <= 0.f && dot3(normalize3(vel), to * (1.f / d)) > 0.5f)
      {
        breathe_fire(this, target);
        fireCooldown = 1.3f;
      }
      if (d < 7.f)
        state = WYVERN_CLIMB, stateTime = 0.f;
    }
  }
  else
  {
    speed = 11.f;
    vec4f flat(vel.x, 0.f, vel.z, 0.f);
    want = (length3(flat) > 0.1f ? normalize3(flat) : vec4f(1.f, 0.f, 0.f, 0.f)) + vec4f(0.f, 0.7f, 0.f, 0.f);
    if (stateTime > 2.5f || pos.y > ground + altitude + 8.f)
      state = WYVERN_CIRCLE, stateTime = 0.f;
  }
  want = normalize3(want) * speed + monster_separation(this, MONSTER_KEEP_APART) * 12.f;
  vel = vel + (want - vel) * std::fmin(1.f, dt * 1.8f);
  pos = pos + vel * dt;
  if (pos.y < ground + 2.5f)
  {
    pos.y = ground + 2.5f;
    vel.y = std::fmax(vel.y, 3.f);
  }
  pos.x = wrap_world_coord(pos.x);
  pos.z = wrap_world_coord(pos.z);
  // The body follows the head: each point keeps its distance to the one before.
  vec4f prev = pos;
  for (int i = 0; i < 3; i++)
  {
    vec4f d = wrapped_offset(prev, body[i]);
    float l = length3(d);
    body[i] = prev + (l > 1e-3f ? d * (WYVERN_SEGMENT / l) : vec4f(0.f, 0.f, -WYVERN_SEGMENT, 0.f));
    prev = body[i];
  }
  update_flames(this, dt);
  file_near(this, 2.f);
}

void WyvernMonster::onHit(float damage, const vec4f &from, GameObj *source)
{
  if (!alive())
    return;
  hitFlash = 0.4f;
  vec4f away = wrapped_offset(from, pos);
  if (length3(away) > 1e-3f)
    vel = vel + normalize3(away) * 6.f;
  // Hurt, it goes for whoever is near.
  if (state == WYVERN_CIRCLE)
    state = WYVERN_DIVE, stateTime = 0.f;
  Monster::onHit(damage, from, source);
}

void WyvernMonster::onKilled(GameObj *source)
{
  wyvern_death_fx(pos, vel);
  for (WyvernFlame &f : flames)
    if (f.life > 0.f)
      end_flame(f);
  monster_died(this, source);
}
