// Timers and sensors for the rules: they tell the world script when time is up or when
// the player comes into or leaves an area.
import game.island_util

static void copy_name(char (&dst)[32], const char *src)
{
  snprintf(dst, sizeof(dst), "%s", src ? src : "");
}

TimeTrigger *add_time_trigger(const char *name, float seconds, float period)
{
  auto *t = static_cast<TimeTrigger *>(new_gameobj_by_id(43));
  copy_name(t->name, name);
  t->timeLeft = std::fmax(seconds, 0.f);
  t->period = std::fmax(period, 0.f);
  return t;
}

Sensor *add_sensor(const char *name, float x, float z, float radius)
{
  auto *s = static_cast<Sensor *>(new_gameobj_by_id(44));
  copy_name(s->name, name);
  s->setPos(vec4f(wrap_world_coord(x), get_land_height(x, z), wrap_world_coord(z), 1.f));
  s->radius = std::fmax(radius, 0.1f);
  return s;
}

void TimeTrigger::update(float dt)
{
  timeLeft -= dt;
  if (timeLeft > 0.f)
    return;
  fired++;
  GameEventField f[] = {{"name", name, 0.f}, {"count", nullptr, float(fired)}};
  send_game_event_fields("timer", f, 2);
  if (period > 0.f)
    timeLeft += period;
  else
    delete_gameobj(this);
}

void Sensor::update(float dt)
{
  if (!local_player)
    return;
  const bool now = ground_dist(local_player->getPos(), pos) < radius;
  if (now == inside)
    return;
  inside = now;
  GameEventField f[] = {{"name", name, 0.f}, {"entered", nullptr, now ? 1.f : 0.f}};
  send_game_event_fields("sensor", f, 2);
}
