// The module's classes. Their order is fixed: the program matches live objects to their
// classes by position when it swaps in a rebuilt module, and ends the program when the
// count differs from GAMEOBJ_CLASS_COUNT. Add behaviour freely; add, remove or reorder
// classes only together with a restart of the program.
import core.engine

// The module's base of every object class: what the module itself calls on all objects.
class GameEntity : public GameObj
{
public:
  virtual int classId() const { return 0; }
  virtual void update(float dt) {}
};

#define GAMEOBJ_ENTITY(cls, base, id) \
  class cls : public base \
  { \
  public: \
    int classId() const override { return id; } \
    const char *getClassName() const override { return #cls; } \
  };

// Object classes; ids are positions in the dispatch-table list (entry 0 is reserved and
// entry 1 is the program's GameObj).
class Player : public GameEntity
{
public:
  int classId() const override { return 2; }
  const char *getClassName() const override { return "Player"; }
  void move(float dt, float speed, const vec4f &move_vec, const Matrix44 &camera, int dash) override;
  void onWorldRemoved() override;
  void onWorldGenerated() override;

  // Hit points and mana (game/combat.ls is what the rest of the game calls on them).
  float health = 100.f, max_health = 100.f;
  float mana = 100.f, max_mana = 100.f;
};
GAMEOBJ_ENTITY(WaterSource, GameEntity, 3)
GAMEOBJ_ENTITY(SpellObject, GameEntity, 4)
GAMEOBJ_ENTITY(ThunderstormObject, GameEntity, 5)
GAMEOBJ_ENTITY(Missile, GameEntity, 0)
GAMEOBJ_ENTITY(Fireball, Missile, 6)
GAMEOBJ_ENTITY(Waterball, Missile, 7)
GAMEOBJ_ENTITY(FaultMissile, Missile, 8)
GAMEOBJ_ENTITY(HouseMissile, Missile, 9)
GAMEOBJ_ENTITY(MeteorMissile, Missile, 10)
GAMEOBJ_ENTITY(ThunderstormMissile, Missile, 11)
GAMEOBJ_ENTITY(HillMissile, Missile, 12)
GAMEOBJ_ENTITY(PitMissile, Missile, 13)
GAMEOBJ_ENTITY(WaterSourceMissile, Missile, 14)
GAMEOBJ_ENTITY(WaterSinkMissile, Missile, 15)
GAMEOBJ_ENTITY(Spell, GameEntity, 16)
GAMEOBJ_ENTITY(FireballSpell, Spell, 17)
GAMEOBJ_ENTITY(WaterballSpell, Spell, 18)
GAMEOBJ_ENTITY(FaultSpell, Spell, 19)
GAMEOBJ_ENTITY(HouseSpell, Spell, 20)
GAMEOBJ_ENTITY(MeteorSpell, Spell, 21)
GAMEOBJ_ENTITY(HillSpell, Spell, 22)
GAMEOBJ_ENTITY(PitSpell, Spell, 23)
GAMEOBJ_ENTITY(WaterSourceSpell, Spell, 24)
GAMEOBJ_ENTITY(WaterSinkSpell, Spell, 25)
GAMEOBJ_ENTITY(ThunderstormSpell, Spell, 26)
GAMEOBJ_ENTITY(HealingSpell, Spell, 27)
GAMEOBJ_ENTITY(LightningSpell, Spell, 28)
// The base of the creatures: hit points, and what a hit does (game/combat.ls).
class Monster : public GameEntity
{
public:
  const char *getClassName() const override { return "Monster"; }
  float health = 100.f, max_health = 100.f;
  bool alive() const { return health > 0.f && !isDestroyed(); }
  // damage > 0 hurts; from is the point the hit came from, source its object or null.
  virtual void onHit(float damage, const vec4f &from, GameObj *source);
  virtual void onKilled(GameObj *source);
};
// WyvernMonster (29):
import monsters.wyvern_class
GAMEOBJ_ENTITY(BurnEffect, GameEntity, 30)
// StaticObject, TreeObject (31), Stone1StaticObject (32), Menhir1StaticObject (33),
// Menhir2StaticObject (34):
import objects.static_objects
// ManaGatherer (35), CastleObject (36), ManaBall (39):
import economy.classes
GAMEOBJ_ENTITY(CastleMissile, Missile, 37)
GAMEOBJ_ENTITY(CastleSpell, Spell, 38)
// WorldPortal (40):
import game.portal_class
GAMEOBJ_ENTITY(UsePortalSpell, Spell, 41)
// BirdMonster (42):
import monsters.bird_class
// TimeTrigger (43), Sensor (44):
import game.trigger_classes

// The module's GUI classes (widgets and screens) are those of compiler/gui/.

// Where each object class files its objects, and how to make one.
struct GameObjClassInfo
{
  const char *name;
  DynArray<GameObj *> *list; // the class's own list
  int parent;                // the nearest base class with a list (0: none)
  GameObj *(*create)();
};

template <class T>
GameObj *create_object() { return new T(); }

// Indexed by class id 1..44.
static const GameObjClassInfo *gameobj_class_info(int id)
{
  static const GameObjClassInfo info[45] = {
    {nullptr, nullptr, 0, nullptr},
    {"GameObj", &GameObj_list, 0, create_object<GameObj>},
    {"Player", &Player_list, 1, create_object<Player>},
    {"WaterSource", &WaterSource_list, 1, create_object<WaterSource>},
    {"SpellObject", &SpellObject_list, 1, create_object<SpellObject>},
    {"ThunderstormObject", &ThunderstormObject_list, 1, create_object<ThunderstormObject>},
    {"Fireball", &Fireball_list, 1, create_object<Fireball>},
    {"Waterball", &Waterball_list, 1, create_object<Waterball>},
    {"FaultMissile", &FaultMissile_list, 1, create_object<FaultMissile>},
    {"HouseMissile", &HouseMissile_list, 1, create_object<HouseMissile>},
    {"MeteorMissile", &MeteorMissile_list, 1, create_object<MeteorMissile>},
    {"ThunderstormMissile", &ThunderstormMissile_list, 1, create_object<ThunderstormMissile>},
    {"HillMissile", &HillMissile_list, 1, create_object<HillMissile>},
    {"PitMissile", &PitMissile_list, 1, create_object<PitMissile>},
    {"WaterSourceMissile", &WaterSourceMissile_list, 1, create_object<WaterSourceMissile>},
    {"WaterSinkMissile", &WaterSinkMissile_list, 1, create_object<WaterSinkMissile>},
    {"Spell", &Spell_list, 1, create_object<Spell>},
    {"FireballSpell", &FireballSpell_list, 16, create_object<FireballSpell>},
    {"WaterballSpell", &WaterballSpell_list, 16, create_object<WaterballSpell>},
    {"FaultSpell", &FaultSpell_list, 16, create_object<FaultSpell>},
    {"HouseSpell", &HouseSpell_list, 16, create_object<HouseSpell>},
    {"MeteorSpell", &MeteorSpell_list, 16, create_object<MeteorSpell>},
    {"HillSpell", &HillSpell_list, 16, create_object<HillSpell>},
    {"PitSpell", &PitSpell_list, 16, create_object<PitSpell>},
    {"WaterSourceSpell", &WaterSourceSpell_list, 16, create_object<WaterSourceSpell>},
    {"WaterSinkSpell", &WaterSinkSpell_list, 16, create_object<WaterSinkSpell>},
    {"ThunderstormSpell", &ThunderstormSpell_list, 16, create_object<ThunderstormSpell>},
    {"HealingSpell", &HealingSpell_list, 16, create_object<HealingSpell>},
    {"LightningSpell", &LightningSpell_list, 16, create_object<LightningSpell>},
    {"WyvernMonster", &WyvernMonster_list, 1, create_object<WyvernMonster>},
    {"BurnEffect", &BurnEffect_list, 1, create_object<BurnEffect>},
    {"TreeObject", &TreeObject_list, 1, create_object<TreeObject>},
    {"Stone1StaticObject", &Stone1StaticObject_list, 1, create_object<Stone1StaticObject>},
    {"Menhir1StaticObject", &Menhir1StaticObject_list, 1, create_object<Menhir1StaticObject>},
    {"Menhir2StaticObject", &Menhir2StaticObject_list, 1, create_object<Menhir2StaticObject>},
    {"ManaGatherer", &ManaGatherer_list, 1, create_object<ManaGatherer>},
    {"CastleObject", &CastleObject_list, 1, create_object<CastleObject>},
    {"CastleMissile", &CastleMissile_list, 1, create_object<CastleMissile>},
    {"CastleSpell", &CastleSpell_list, 16, create_object<CastleSpell>},
    {"ManaBall", &ManaBall_list, 1, create_object<ManaBall>},
    {"WorldPortal", &WorldPortal_list, 1, create_object<WorldPortal>},
    {"UsePortalSpell", &UsePortalSpell_list, 16, create_object<UsePortalSpell>},
    {"BirdMonster", &BirdMonster_list, 1, create_object<BirdMonster>},
    {"TimeTrigger", &TimeTrigger_list, 1, create_object<TimeTrigger>},
    {"Sensor", &Sensor_list, 1, create_object<Sensor>},
  };
  return id >= 1 && id <= 44 ? &info[id] : nullptr;
}
