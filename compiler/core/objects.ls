// Object life cycle: creation by class id, filing in the program's lists, deferred
// deletion and the per-step update.
import core.classes

// The objects' effects (fx/effects.ls).
void init_fx_data();
void begin_object_fx();
void update_object_fx();
void forget_object_fx();
// The spells (spells/, gui/spell_book.ls).
void simulate_water(float dt);
void run_scripted_casts();
void add_initial_spells();

// Every list the objects may stand in, for taking an object out of all of them.
static DynArray<GameObj *> *const all_lists[] = {
#define GAMEOBJ_LIST_ADDR(cls) &cls##_list,
  GAMEOBJ_LISTS(GAMEOBJ_LIST_ADDR)
#undef GAMEOBJ_LIST_ADDR
};

// Files obj in its class's list and in the list of every base class that has one.
static void file_object(GameObj *obj, int id)
{
  for (const GameObjClassInfo *c = gameobj_class_info(id); c; c = gameobj_class_info(c->parent))
    c->list->push(obj);
}

// Takes obj out of list (each list holds an object once), keeping the others' order.
static void unfile_from(DynArray<GameObj *> &list, GameObj *obj)
{
  for (int i = list.size() - 1; i >= 0; i--)
    if (list[i] == obj)
    {
      list.erase(i);
      return;
    }
}

// An object stands only in the lists of its class and its bases (file_object); one
// whose class is not known (the program's own) is looked for in every list.
static void unfile_object(GameObj *obj)
{
  auto *e = dynamic_cast<GameEntity *>(obj);
  const GameObjClassInfo *c = e ? gameobj_class_info(e->classId()) : nullptr;
  if (c)
    for (; c; c = gameobj_class_info(c->parent))
      unfile_from(*c->list, obj);
  else
    for (DynArray<GameObj *> *list : all_lists)
      unfile_from(*list, obj);
  remove_proximity_object(obj);
  if (local_player == obj)
    local_player = nullptr;
}

// Frees every destroyed object. All of them are the module's: game objects and the GUI
// elements of its screens.
static void free_deleted_objects()
{
  while (!deleted_gameobjs.empty())
  {
    BaseObject *obj = deleted_gameobjs.back();
    deleted_gameobjs.pop();
    if (auto *g = dynamic_cast<GameObj *>(obj))
      unfile_object(g);
    delete obj;
  }
}

GameObj *new_gameobj_by_id(int class_id)
{
  const GameObjClassInfo *c = gameobj_class_info(class_id);
  if (!c)
  {
    debug("new_gameobj_by_id: no object class %d", class_id);
    return nullptr;
  }
  GameObj *obj = c->create();
  file_object(obj, class_id);
  return obj;
}

// Destroys the object now (out of every list and the proximity grid); the memory is
// freed at the end of the next update.
void delete_gameobj(GameObj *obj)
{
  if (!obj)
    return;
  unfile_object(obj);
  obj->destroy();
}

// The island's game around the objects' step (game/island.ls).
void update_island(float dt);
void finish_island_update();

void update_gameobj(float dt)
{
  begin_object_fx();
  run_scripted_casts();
  update_island(dt);
  // Objects made during the walk are updated from the next step on.
  int n = GameObj_list.size();
  for (int i = 0; i < n && i < GameObj_list.size(); i++)
  {
    GameObj *obj = GameObj_list[i];
    if (obj->isDestroyed())
      continue;
    if (auto *e = dynamic_cast<GameEntity *>(obj))
      e->update(dt);
  }
  simulate_water(dt);
  free_deleted_objects();
  update_object_fx();
  finish_island_update();
}

// The player's own spells go wherever he goes.
static bool is_player_spell(GameObj *obj)
{
  for (GameObj *s : Spell_list)
    if (s == obj)
      return static_cast<Spell *>(s)->owner == local_player;
  return false;
}

// Removes every object but the local player and his spells (world generation keeps
// them).
void remove_all_gameobj()
{
  DynArray<GameObj *> all(GameObj_list);
  for (GameObj *obj : all)
    if (obj != local_player && !(local_player && is_player_spell(obj)))
      delete_gameobj(obj);
  free_deleted_objects();
  forget_object_fx();
}

void init_gameobj()
{
  init_fx_data();
  if (!local_player)
  {
    local_player = new_gameobj_by_id(2);
    add_initial_spells();
  }
}

void close_gameobj()
{
  DynArray<GameObj *> all(GameObj_list);
  for (GameObj *obj : all)
    delete_gameobj(obj);
  free_deleted_objects();
  forget_object_fx();
  local_player = nullptr;
}

GameObj *get_local_player() { return local_player; }
