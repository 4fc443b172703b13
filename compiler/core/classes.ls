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
// Player (2):
import player.player_class
// WaterSource (3), SpellObject (4), ThunderstormObject (5), the missiles (6..15, with
// their base Missile) and the spells (16..28):
import spells.spell_classes
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
// BurnEffect (30):
import spells.burn_class
// StaticObject, TreeObject (31), Stone1StaticObject (32), Menhir1StaticObject (33),
// Menhir2StaticObject (34):
import objects.static_objects
// ManaGatherer (35), CastleObject (36), ManaBall (39):
import economy.classes
// CastleMissile (37), CastleSpell (38):
import spells.castle_classes
// WorldPortal (40):
import game.portal_class
// UsePortalSpell (41):
import spells.portal_class
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
