// The game-object module: the program loads it, asks get_gameobj_func_by_name for each
// function of gameobj/gameobj_funcs.h and get_gameobj_vtables for the class list.
import core.engine
import core.classes
import core.land
import core.objects
import core.player
import core.script
import game.combat
import game.world
import objects.inst_draw
import objects.placement
import fx.effects
import game.island
import gui.link
import core.state_hash

// The dispatch table of class T, read from a scratch instance (constructors only set
// fields, so nothing is registered anywhere).
template <class T>
static void *dispatch_table()
{
  alignas(T) unsigned char buf[sizeof(T)];
  T *obj = new (buf) T();
  void *table;
  memcpy(&table, (void *)obj, sizeof(table));
  obj->~T();
  return table;
}

GAMEOBJ_EXPORT void *const *get_gameobj_vtables(int *count)
{
  static void *tables[GAMEOBJ_CLASS_COUNT];
  if (!tables[1])
  {
    void *all[] = {
      nullptr, // reserved
      dispatch_table<GameObj>(), dispatch_table<Player>(), dispatch_table<WaterSource>(),
      dispatch_table<SpellObject>(), dispatch_table<ThunderstormObject>(), dispatch_table<Fireball>(),
      dispatch_table<Waterball>(), dispatch_table<FaultMissile>(), dispatch_table<HouseMissile>(),
      dispatch_table<MeteorMissile>(), dispatch_table<ThunderstormMissile>(), dispatch_table<HillMissile>(),
      dispatch_table<PitMissile>(), dispatch_table<WaterSourceMissile>(), dispatch_table<WaterSinkMissile>(),
      dispatch_table<Spell>(), dispatch_table<FireballSpell>(), dispatch_table<WaterballSpell>(),
      dispatch_table<FaultSpell>(), dispatch_table<HouseSpell>(), dispatch_table<MeteorSpell>(),
      dispatch_table<HillSpell>(), dispatch_table<PitSpell>(), dispatch_table<WaterSourceSpell>(),
      dispatch_table<WaterSinkSpell>(), dispatch_table<ThunderstormSpell>(), dispatch_table<HealingSpell>(),
      dispatch_table<LightningSpell>(), dispatch_table<WyvernMonster>(), dispatch_table<BurnEffect>(),
      dispatch_table<TreeObject>(), dispatch_table<Stone1StaticObject>(), dispatch_table<Menhir1StaticObject>(),
      dispatch_table<Menhir2StaticObject>(), dispatch_table<ManaGatherer>(), dispatch_table<CastleObject>(),
      dispatch_table<CastleMissile>(), dispatch_table<CastleSpell>(), dispatch_table<ManaBall>(),
      dispatch_table<WorldPortal>(), dispatch_table<UsePortalSpell>(), dispatch_table<BirdMonster>(),
      dispatch_table<TimeTrigger>(), dispatch_table<Sensor>(),
      // 45..: bases and GUI classes
      dispatch_table<GameEntity>(), dispatch_table<Missile>(), dispatch_table<Monster>(),
      dispatch_table<StaticObject>(), dispatch_table<GuiWidget>(), dispatch_table<GuiLabel>(),
      dispatch_table<GuiButton>(), dispatch_table<GuiCheckbox>(), dispatch_table<GuiRadioButton>(),
      dispatch_table<GuiImage>(), dispatch_table<GuiSpellSlot>(), dispatch_table<GuiSpellBar>(),
      dispatch_table<GuiManaBar>(), dispatch_table<GuiTooltipBox>(), dispatch_table<GuiMenuPanel>(),
      dispatch_table<TooltipScreen>(), dispatch_table<SpellsGuiScreen>(), dispatch_table<CheatMenuScreen>(),
      dispatch_table<MainMenuScreen>(), dispatch_table<GameMenuScreen>(), dispatch_table<GameOptionsScreen>(),
    };
    static_assert(sizeof(all) / sizeof(all[0]) == GAMEOBJ_CLASS_COUNT, "the class list has a fixed length");
    memcpy(tables, all, sizeof(tables));
  }
  *count = GAMEOBJ_CLASS_COUNT;
  return tables;
}

struct GameObjFuncEntry
{
  const char *name;
  void *fn;
};

// Each function converts through its declared type: a definition with another signature
// does not compile.
static const GameObjFuncEntry func_table[] = {
#define GAMEOBJ_FUNC_ENTRY(name, ret, args) {#name, (void *)static_cast<ret(*) args>(&name)},
  GAMEOBJ_FUNCS(GAMEOBJ_FUNC_ENTRY)
#undef GAMEOBJ_FUNC_ENTRY
  {"link_gui", (void *)static_cast<GameObjLinkGuiFn>(&link_gui)},
  {"cast_player_spell", (void *)static_cast<GameObjCastPlayerSpellFn>(&cast_player_spell)},
  {"get_player_vitals", (void *)static_cast<GameObjPlayerVitalsFn>(&get_player_vitals)},
  {"hash_gameobj_state", (void *)static_cast<GameObjStateHashFn>(&hash_gameobj_state)},
};

GAMEOBJ_EXPORT void *get_gameobj_func_by_name(const char *name)
{
  if (!name)
    return nullptr;
  for (const GameObjFuncEntry &e : func_table)
    if (!strcmp(e.name, name))
      return e.fn;
  return nullptr;
}
