// Spells lying on the island: a new world scatters a few of the spells the player does
// not have yet over its dry land; flying through one puts it into the grid.
import core.classes
import gui.spell_book
import spells.land_water

void spawn_spellobj_fx(vec4f pos, float dt);

static constexpr float SPELL_PICK_UP_RADIUS = 3.f;
static constexpr int SPELL_OBJECTS_PER_WORLD = 5;

void SpellObject::update(float dt)
{
  age += dt;
  pos.y = surface_height(pos.x, pos.z) + 0.6f + 0.25f * std::sin(age * 2.f);
  spawn_spellobj_fx(pos, dt);
  auto *p = static_cast<Player *>(local_player);
  if (!p || p->dead)
    return;
  const vec4f d = wrap_near(p->getPos(), pos) - (pos + vec4f(0.f, 1.5f, 0.f, 0.f));
  if (length3(d) > SPELL_PICK_UP_RADIUS)
    return;
  if (!pick_up_spell(spell_class))
    give_player_mana(25.f); // one he has already: its power goes into his mana
  delete_gameobj(this);
}

// A small generator of its own, seeded by the world's seed (the world's own stream of
// numbers is left alone).
struct SpellPlaceRng
{
  uint64_t s;
  float next()
  {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return float((s >> 40) & 0xFFFFFFu) / float(0x1000000);
  }
};

// Up to SPELL_OBJECTS_PER_WORLD spells the player lacks (the portal's never), each on
// dry land above the shore, apart from each other.
void place_spell_objects()
{
  int missing[SPELL_KINDS], n = 0;
  for (int k = 0; k < SPELL_KINDS; k++)
    if (!spell_grid_has(k) && spell_infos[k].class_id != 41)
      missing[n++] = k;
  SpellPlaceRng rng{game_rnd_seed ^ 0x9E3779B97F4A7C15ull};
  for (int i = n - 1; i > 0; i--)
    std::swap(missing[i], missing[int(rng.next() * float(i + 1)) % (i + 1)]);
  int placed = 0;
  float px[SPELL_OBJECTS_PER_WORLD], pz[SPELL_OBJECTS_PER_WORLD];
  for (int tries = 0; tries < 2000 && placed < std::min(n, SPELL_OBJECTS_PER_WORLD); tries++)
  {
    const float x = 24.f + rng.next() * 208.f, z = 24.f + rng.next() * 208.f;
    const int cx = int(x), cz = int(z);
    if (HeightmapData::height(cx, cz) < 1.f || HeightmapData::waterAt(cx, cz).depth > 0.01f)
      continue;
    bool apart = true;
    for (int j = 0; j < placed; j++)
      apart = apart && (x - px[j]) * (x - px[j]) + (z - pz[j]) * (z - pz[j]) > 40.f * 40.f;
    if (!apart)
      continue;
    auto *o = static_cast<SpellObject *>(new_gameobj_by_id(4));
    if (!o)
      break;
    o->spell_class = spell_infos[missing[placed]].class_id;
    o->setPos(vec4f(x, surface_height(x, z) + 0.6f, z, 1.f));
    px[placed] = x, pz[placed] = z;
    placed++;
  }
  debug("placed %d spells on the island", placed);
}
