// The birds' flocking: each keeps apart from its neighbours (the proximity grid finds
// them), flies with its flock and wheels around the flock's home. A hurt bird makes the
// birds of its flock near it attack the player for a while.
import monsters.wyvern

static constexpr float BIRD_SPEED = 5.f;
static constexpr float BIRD_ATTACK_SPEED = 11.f;
static constexpr float BIRD_NEIGHBOURS = 6.f;
static constexpr float BIRD_PECK = 3.f;
static constexpr float BIRD_ANGER = 15.f; // seconds

void BirdMonster::update(float dt)
{
  if (!alive())
    return;
  flap += dt * (anger > 0.f ? 16.f : 11.f);
  if (flap > 6.2831853f)
    flap -= 6.2831853f;
  anger = std::fmax(anger - dt, 0.f);
  peckCooldown = std::fmax(peckCooldown - dt, 0.f);
  hitFlash = std::fmax(hitFlash - dt, 0.f);

  // The flock: keep apart, fly along with the flock, hold together.
  vec4f apart(0.f), along(0.f), centre(0.f);
  int mates = 0;
  for_objects_near(pos, BIRD_NEIGHBOURS, [&](GameObj *o) {
    if (o == this)
      return;
    vec4f d = wrapped_offset(o->pos, pos);
    float l = length3(d);
    if (l >= BIRD_NEIGHBOURS || l < 1e-3f || !dynamic_cast<Monster *>(o))
      return;
    if (l < 2.f)
      apart = apart + d * ((2.f - l) / (2.f * l));
    auto *b = dynamic_cast<BirdMonster *>(o);
    if (b && b->flock == flock)
    {
      along = along + b->vel;
      centre = centre - d;
      mates++;
    }
  });

  vec4f want;
  float speed = BIRD_SPEED;
  Player *p = game_player();
  if (anger > 0.f && p && p->health > 0.f)
  {
    vec4f to = wrapped_offset(pos, p->getPos());
    float d = length3(to);
    speed = BIRD_ATTACK_SPEED;
    want = d > 1e-3f ? to * (1.f / d) : vec4f(0.f);
    if (d < 1.8f && peckCooldown <= 0.f)
    {
      damage_player(BIRD_PECK);
      peckCooldown = 1.2f;
      vel = vel * -0.5f; // it bounces off and comes again
    }
  }
  else
  {
    // Wheel around home at its height over the land.
    vec4f to_home = wrapped_offset(pos, home);
    to_home.y = 0.f;
    float r = length3(to_home);
    vec4f in = r > 0.1f ? to_home * (1.f / r) : vec4f(1.f, 0.f, 0.f, 0.f);
    want = vec4f(-in.z, 0.f, in.x, 0.f) + in * std::clamp((r - 10.f) * 0.1f, -0.5f, 2.f);
    want.y = std::clamp((get_land_height(pos.x, pos.z) + home.y - pos.y) * 0.2f, -0.6f, 0.6f);
    if (mates)
      want = want + normalize3(along * (1.f / float(mates))) * 0.6f + centre * (0.05f / float(mates));
  }
  want = normalize3(want) * speed + apart * 8.f + monster_separation(this, 1.2f) * 4.f;
  vel = vel + (want - vel) * std::fmin(1.f, dt * 3.f);
  pos = pos + vel * dt;
  const float ground = land_or_water_height(pos.x, pos.z) + 1.f;
  if (pos.y < ground)
    pos.y = ground, vel.y = std::fmax(vel.y, 1.f);
  pos.x = wrap_world_coord(pos.x);
  pos.z = wrap_world_coord(pos.z);
  file_near(this, 0.5f);
}

void BirdMonster::onHit(float damage, const vec4f &from, GameObj *source)
{
  if (!alive())
    return;
  hitFlash = 0.3f;
  for (GameObj *o : BirdMonster_list)
  {
    auto *b = static_cast<BirdMonster *>(o);
    if (b->flock == flock && wrapped_dist(b->pos, pos) < 30.f)
      b->anger = BIRD_ANGER;
  }
  Monster::onHit(damage, from, source);
}

void BirdMonster::onKilled(GameObj *source)
{
  wyvern_death_fx(pos, vel * 0.3f);
  monster_died(this, source);
}
