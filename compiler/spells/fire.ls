// Fire: the fireball's blast (monsters hurt less the further they are, trees catch
// fire) and burning trees, which end burnt and may set their neighbours alight.
import core.classes
import game.combat
import objects.static_objects

void tree_fire_fx(vec4f pos, float dt);

static bool tree_on_fire(const GameObj *tree)
{
  for (GameObj *o : BurnEffect_list)
    if (static_cast<BurnEffect *>(o)->tree == tree && !o->isDestroyed())
      return true;
  return false;
}

// Sets a standing, unburnt tree alight; false when it cannot burn.
static bool ignite_tree(TreeObject *t)
{
  if (t->burnt || t->fall > 0.f || t->isDestroyed() || tree_on_fire(t))
    return false;
  auto *b = static_cast<BurnEffect *>(new_gameobj_by_id(30));
  if (!b)
    return false;
  b->tree = t;
  b->setPos(t->pos);
  return true;
}

// The trees within radius of pos (ground distance, wrapped).
template <class Fn>
static void for_trees_near(vec4f pos, float radius, Fn &&fn)
{
  DynArray<GameObj *> all(TreeObject_list);
  for (GameObj *o : all)
  {
    const float dx = wrap_coord(o->pos.x - pos.x), dz = wrap_coord(o->pos.z - pos.z);
    if (dx * dx + dz * dz < radius * radius)
      fn(static_cast<TreeObject *>(o));
  }
}

// The blast of a fireball at pos: damage to the monsters within radius (full at the
// middle, none at the rim) and fire in the trees near the middle, unless it burst high
// over them. Returns the damage dealt.
float apply_fireball(vec4f pos, float radius, float damage, GameObj *source)
{
  if (!(radius > 0.f) || !std::isfinite(damage))
    return 0.f;
  const float dealt = damage_monsters(pos, radius, damage, source);
  if (pos.y - get_land_height(pos.x, pos.z) < radius)
    for_trees_near(pos, radius * 0.7f, [](TreeObject *t) { ignite_tree(t); });
  return dealt;
}

// The tree burns with flames and smoke for its life; a burning tree now and then lights
// one beside it. Then it stands burnt.
void BurnEffect::update(float dt)
{
  bool alive = false;
  for (GameObj *o : TreeObject_list)
    if (o == tree)
      alive = true;
  if (!alive || tree->isDestroyed())
  {
    delete_gameobj(this);
    return;
  }
  auto *t = static_cast<TreeObject *>(tree);
  pos = t->pos;
  tree_fire_fx(pos + vec4f(0.f, 1.4f * t->scale * t->stretch, 0.f, 0.f), dt);
  const float before = life;
  life -= dt;
  // Halfway through, the fire may leap to one neighbour.
  if (before > 2.f && life <= 2.f && ((unsigned(pos.x * 13.f) ^ unsigned(pos.z * 7.f)) & 3u) != 0)
  {
    bool lit = false;
    for_trees_near(pos, 3.5f, [&](TreeObject *n) {
      if (!lit && n != t)
        lit = ignite_tree(n);
    });
  }
  if (life <= 0.f)
  {
    t->burnt = true;
    delete_gameobj(this);
  }
}
