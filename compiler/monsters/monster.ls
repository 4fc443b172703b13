// Monsters coming and going: spawning one or a wave, a death (the world script hears of
// it, and of the wave it clears), and the calls the program makes on all of them.
import game.island_util

int list_monsters(Monster **out, int max); // game/combat.ls

// The wave the island is in: the rules' "wave_number", else the module's own count.
static int wave_fallback = 0;
int wave_number() { return int(rules_number("wave_number", float(wave_fallback))); }
void set_wave_number(int wave)
{
  wave_fallback = wave;
  set_game_script_number("wave_number", float(wave));
}

enum MonsterKind : int
{
  MONSTER_WYVERN = 0,
  MONSTER_BIRD = 1,
};

// "wyvern" / "bird" (or the class names), else -1.
inline int monster_kind_by_name(const char *name)
{
  if (!name)
    return -1;
  if (!strcmp(name, "wyvern") || !strcmp(name, "WyvernMonster"))
    return MONSTER_WYVERN;
  if (!strcmp(name, "bird") || !strcmp(name, "BirdMonster"))
    return MONSTER_BIRD;
  return -1;
}

static int living_monsters()
{
  Monster *found[512];
  return list_monsters(found, 512);
}

// A new monster of kind at (x, y, z), circling or flocking around home. Null for an
// unknown kind.
Monster *spawn_monster_at(int kind, vec4f at, vec4f home, int flock)
{
  at.x = wrap_world_coord(at.x);
  at.z = wrap_world_coord(at.z);
  at.w = 1.f;
  if (kind == MONSTER_WYVERN)
  {
    auto *w = static_cast<WyvernMonster *>(new_gameobj_by_id(29));
    w->setPos(at);
    w->home = home;
    w->circleSign = rnd_unit() < 0.5f ? -1.f : 1.f;
    w->altitude = rnd_range(18.f, 30.f);
    w->fireCooldown = rnd_range(2.f, 5.f);
    vec4f in = wrapped_offset(at, home);
    in.y = 0.f;
    w->vel = length3(in) > 0.1f ? normalize3(in) * 8.f : vec4f(0.f, 0.f, 8.f, 0.f);
    file_near(w, 2.f);
    return w;
  }
  if (kind == MONSTER_BIRD)
  {
    auto *b = static_cast<BirdMonster *>(new_gameobj_by_id(42));
    b->setPos(at);
    b->home = home;
    b->flock = flock;
    b->flap = rnd_range(0.f, 6.28f);
    float a = rnd_range(0.f, 6.28f);
    b->vel = vec4f(std::cos(a) * 4.f, 0.f, std::sin(a) * 4.f, 0.f);
    file_near(b, 0.5f);
    return b;
  }
  return nullptr;
}

// A point of the island's land (above the sea, dry), tried a few times; the centre when
// none is found.
vec4f random_land_point(float radius)
{
  for (int i = 0; i < 24; i++)
  {
    float a = rnd_range(0.f, 6.2831853f), r = radius * std::sqrt(rnd_unit());
    float x = wrap_world_coord(ISLAND_CENTRE + std::cos(a) * r), z = wrap_world_coord(ISLAND_CENTRE + std::sin(a) * r);
    if (get_land_height(x, z) > 0.5f && water_depth_at(x, z) < 0.05f)
      return vec4f(x, get_land_height(x, z), z, 1.f);
  }
  return vec4f(ISLAND_CENTRE, get_land_height(ISLAND_CENTRE, ISLAND_CENTRE), ISLAND_CENTRE, 1.f);
}

static int next_flock = 1;

// A wave: the wyverns come in from over the sea, the birds gather in flocks of up to six
// over the land. Returns the monsters made.
int start_wave(int wave, int wyverns, int birds)
{
  wave_fallback = wave;
  wyverns = std::clamp(wyverns, 0, 200);
  birds = std::clamp(birds, 0, 200);
  for (int i = 0; i < wyverns; i++)
  {
    float a = rnd_range(0.f, 6.2831853f);
    vec4f at(ISLAND_CENTRE + std::cos(a) * 110.f, 0.f, ISLAND_CENTRE + std::sin(a) * 110.f, 1.f);
    at.y = std::fmax(land_or_water_height(at.x, at.z), 0.f) + rnd_range(25.f, 35.f);
    vec4f home = random_land_point(50.f);
    spawn_monster_at(MONSTER_WYVERN, at, home, 0);
  }
  for (int made = 0; made < birds;)
  {
    vec4f home = random_land_point(60.f);
    home.y = rnd_range(10.f, 18.f); // over the land
    int flock = next_flock++;
    for (int k = 0; k < 6 && made < birds; k++, made++)
    {
      vec4f at = home + vec4f(rnd_range(-4.f, 4.f), 0.f, rnd_range(-4.f, 4.f), 0.f);
      at.y = get_land_height(at.x, at.z) + home.y + rnd_range(-1.f, 1.f);
      spawn_monster_at(MONSTER_BIRD, at, home, flock);
    }
  }
  debug("wave %d: %d monsters", wave, wyverns + birds);
  return wyverns + birds;
}

// The common end of every monster: the world script hears of the kill, and of the wave
// when it was the last one alive.
void monster_died(Monster *m, GameObj *source)
{
  const char *cls = m->getClassName();
  const vec4f at = m->getPos();
  delete_gameobj(m);
  const float wave = float(wave_number());
  GameEventField killed[] = {{"class", cls, 0.f}, {"x", nullptr, at.x}, {"z", nullptr, at.z}, {"wave", nullptr, wave}};
  send_game_event_fields("monster_killed", killed, 4);
  if (living_monsters() == 0)
  {
    GameEventField cleared[] = {{"wave", nullptr, wave}};
    send_game_event_fields("wave_cleared", cleared, 1);
  }
}

// ---- the entries the program binds ----

// A wyvern ahead of the player (the cheat key), or over the island's middle.
void spawn_monster()
{
  vec4f at(ISLAND_CENTRE, 30.f, ISLAND_CENTRE, 1.f);
  if (local_player)
  {
    at = local_player->getPos() + vec4f(0.f, 10.f, 40.f, 0.f);
    at.y = std::fmax(at.y, land_or_water_height(at.x, at.z) + 12.f);
  }
  spawn_monster_at(MONSTER_WYVERN, at, random_land_point(50.f), 0);
}

// The next wave now: the rules of the world script start it ("next_wave"); without rules
// that answer, a wave of the default size comes.
void spawn_monsters()
{
  const int before = living_monsters();
  GameEventField none[1] = {};
  send_game_event_fields("next_wave", none, 0);
  if (living_monsters() == before)
  {
    const int wave = wave_number() + 1;
    set_wave_number(wave);
    start_wave(wave, 1 + wave, 2 + 2 * wave);
  }
}

void remove_all_monsters()
{
  for (DynArray<GameObj *> *list : {&WyvernMonster_list, &BirdMonster_list})
  {
    DynArray<GameObj *> all(*list);
    for (GameObj *o : all)
      delete_gameobj(o);
  }
}

// Ctrl-M. The switch lives with the rules ("monster_spawn"), so it outlives a reload;
// without a world script the module's own copy answers.
static bool spawn_switch = true;
bool monster_spawn_on() { return rules_number("monster_spawn", spawn_switch ? 1.f : 0.f) != 0.f; }
void toggle_monster_spawn()
{
  spawn_switch = !monster_spawn_on();
  set_game_script_number("monster_spawn", spawn_switch ? 1.f : 0.f);
  debug("monster spawn %s", spawn_switch ? "on" : "off");
}

bool are_any_monsters_alive() { return living_monsters() > 0; }
