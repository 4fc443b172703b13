#pragma once
// What the program shares with the game-object module: the GameObj base, the per-class
// object lists, the local player and the proximity grid. The module includes this header
// (and the other subsystems' headers) and links against the running program.
#include <cstdint>
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "core/matrix44.h"
#include "core/vec4f.h"
#include "gameobj/base_object.h"

// The base of every game object of the module. The program calls only the virtual
// operations declared here; the module's classes override them and add their own.
// Fields and virtual operations are a binary contract with the module: adding or moving
// one needs a rebuild of both (a hot reload cannot change a live object's layout).
class ENGINE_API GameObj : public BaseObject
{
public:
  // The proximity bin the object is filed in, -1 while it is in none (gameobj/proximity.h).
  int32_t proximity_bin = -1;
  vec4f pos = vec4f(0.f);

  GameObj() = default;
  ~GameObj() override;
  const char *getClassName() const override;

  virtual vec4f getPos() const;
  virtual void setPos(const vec4f &p);
  // Player control from the play mode: the time step, the speed for this step, the move
  // vector (length = speed, or zero), the camera's world matrix and the dash direction
  // (-1, 0, +1). The base does nothing.
  virtual void move(float dt, float speed, const vec4f &move_vec, const Matrix44 &camera, int dash);
  // World generation calls these on the local player: after the module removed every
  // object and before the grids are cleared, and once the new world is complete.
  virtual void onWorldRemoved();
  virtual void onWorldGenerated();
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(GameObj, proximity_bin) == 12, "GameObj is shared with the game-object module");
static_assert(offsetof(GameObj, pos) == 16 && sizeof(GameObj) == 32, "GameObj is shared with the game-object module");
#pragma GCC diagnostic pop

// The 44 per-class object lists in the order the host re-points them after a reload.
// An object may stand in several lists (its class's and its bases'); the module keeps
// them, the host only walks them.
// clang-format off
#define GAMEOBJ_LISTS(X) \
  X(GameObj) X(Player) X(WaterSource) X(SpellObject) X(ThunderstormObject) X(Fireball) \
  X(Waterball) X(FaultMissile) X(HouseMissile) X(MeteorMissile) X(ThunderstormMissile) \
  X(HillMissile) X(PitMissile) X(WaterSourceMissile) X(WaterSinkMissile) X(Spell) \
  X(FireballSpell) X(WaterballSpell) X(FaultSpell) X(HouseSpell) X(MeteorSpell) \
  X(HillSpell) X(PitSpell) X(WaterSourceSpell) X(WaterSinkSpell) X(ThunderstormSpell) \
  X(HealingSpell) X(LightningSpell) X(WyvernMonster) X(BurnEffect) X(TreeObject) \
  X(Stone1StaticObject) X(Menhir1StaticObject) X(Menhir2StaticObject) X(ManaGatherer) \
  X(CastleObject) X(CastleMissile) X(CastleSpell) X(ManaBall) X(WorldPortal) \
  X(UsePortalSpell) X(BirdMonster) X(TimeTrigger) X(Sensor)
// clang-format on

#define GAMEOBJ_DECLARE_LIST(cls) extern ENGINE_API DynArray<GameObj *> cls##_list;
GAMEOBJ_LISTS(GAMEOBJ_DECLARE_LIST)
#undef GAMEOBJ_DECLARE_LIST

constexpr int GAMEOBJ_LIST_COUNT = 44;
// The module's class dispatch tables: always this many, entry 0 reserved (never matched).
constexpr int GAMEOBJ_CLASS_COUNT = 66;

// The player the camera follows, or null. Written by the module, read by the game modes.
extern ENGINE_API GameObj *local_player;

// Set by the module's menu code when the current menu wants to close; the game modes
// read it (and the module clears it when it opens a menu).
extern ENGINE_API bool should_close_game_menu;

#include "gameobj/proximity.h"
