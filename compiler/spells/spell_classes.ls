// The spells, their missiles and the lasting objects they leave: springs and sinks, storm
// clouds and the spells lying on the island. What each does is in spells/*.ls.
import core.engine

// A spring (rate > 0) or a sink (rate < 0) of water at its position, for a while
// (spells/water.ls).
class WaterSource : public GameEntity
{
public:
  int classId() const override { return 3; }
  const char *getClassName() const override { return "WaterSource"; }
  void update(float dt) override;
  float rate = 1.f;    // water depth per second at the middle of its disc
  float radius = 2.5f; // of the disc it pours into or drains
  float life = 30.f;   // seconds left
};

// A spell lying on the island; flying through it puts the spell into the grid
// (spells/spell_objects.ls).
class SpellObject : public GameEntity
{
public:
  int classId() const override { return 4; }
  const char *getClassName() const override { return "SpellObject"; }
  void update(float dt) override;
  int spell_class = 0; // the class id of the spell it holds
  float age = 0.f;
};

// A storm cloud over the land that strikes the monsters below it (spells/storm.ls).
class ThunderstormObject : public GameEntity
{
public:
  int classId() const override { return 5; }
  const char *getClassName() const override { return "ThunderstormObject"; }
  void update(float dt) override;
  GameObj *owner = nullptr;
  float life = 12.f;       // seconds left
  float next_strike = 0.5f; // seconds to the next bolt
};

// A missile flies from the caster to a land point with its trail, and acts where it comes
// down (spells/missiles.ls).
class Missile : public GameEntity
{
public:
  int classId() const override { return 0; }
  const char *getClassName() const override { return "Missile"; }
  void update(float dt) override;
  // Sets off from `from` toward `to`.
  void launch(vec4f from, vec4f to, GameObj *by);
  void seekOn(GameObj *monster);
  void finish(vec4f at);
  // The flight's effect for one update; returns the trail to keep.
  virtual int flightFx(int trail_now, vec4f p, vec4f v, float dt);
  // What it does where it comes down: on the land or the water, or in the air where it
  // met a monster.
  virtual void land(vec4f at) {}
  virtual float speed() const { return 30.f; }
  virtual float gravity() const { return 0.f; } // units per second squared
  // Above 0: the missile bursts in the air when it passes this near a living monster,
  // and it homes on the monster it was aimed at (seek).
  virtual float fuse() const { return 0.f; }

  vec4f vel = vec4f(0.f);
  vec4f target = vec4f(0.f); // where it was sent
  GameObj *owner = nullptr;
  float life = 0.f;   // seconds in flight
  float arrive = 1.f; // seconds the flight to the target takes
  int trail = -1;
  int variant = 0; // what the spell chose (the kind of house ...)
  GameObj *seek = nullptr; // the monster it homes on; checked every step (it may be gone)
};

#define MISSILE_CLASS(cls, id) \
  class cls : public Missile \
  { \
  public: \
    int classId() const override { return id; } \
    const char *getClassName() const override { return #cls; } \
    int flightFx(int trail_now, vec4f p, vec4f v, float dt) override; \
    void land(vec4f at) override; \
    float speed() const override; \
    float gravity() const override; \
  };
// A missile that bursts on the monsters it meets.
#define FUSED_MISSILE_CLASS(cls, id) \
  class cls : public Missile \
  { \
  public: \
    int classId() const override { return id; } \
    const char *getClassName() const override { return #cls; } \
    int flightFx(int trail_now, vec4f p, vec4f v, float dt) override; \
    void land(vec4f at) override; \
    float speed() const override; \
    float gravity() const override; \
    float fuse() const override; \
  };

FUSED_MISSILE_CLASS(Fireball, 6)
FUSED_MISSILE_CLASS(Waterball, 7)
MISSILE_CLASS(FaultMissile, 8)
MISSILE_CLASS(HouseMissile, 9)
MISSILE_CLASS(MeteorMissile, 10)
MISSILE_CLASS(ThunderstormMissile, 11)
MISSILE_CLASS(HillMissile, 12)
MISSILE_CLASS(PitMissile, 13)
MISSILE_CLASS(WaterSourceMissile, 14)
MISSILE_CLASS(WaterSinkMissile, 15)

// A spell the player has: its cooldown, and what casting it does (spells/casting.ls).
class Spell : public GameEntity
{
public:
  int classId() const override { return 16; }
  const char *getClassName() const override { return "Spell"; }
  void update(float dt) override { cooldown_left = std::fmax(0.f, cooldown_left - dt); }
  // Casts from `from` at the land point `at`; false when it cannot be cast there (then
  // nothing is spent).
  virtual bool cast(vec4f from, vec4f at) { return false; }

  GameObj *owner = nullptr;
  float cooldown_left = 0.f; // seconds until it can be cast again
};

#define SPELL_CLASS(cls, id) \
  class cls : public Spell \
  { \
  public: \
    int classId() const override { return id; } \
    const char *getClassName() const override { return #cls; } \
    bool cast(vec4f from, vec4f at) override; \
  };

SPELL_CLASS(FireballSpell, 17)
SPELL_CLASS(WaterballSpell, 18)
SPELL_CLASS(FaultSpell, 19)
SPELL_CLASS(HouseSpell, 20)
SPELL_CLASS(MeteorSpell, 21)
SPELL_CLASS(HillSpell, 22)
SPELL_CLASS(PitSpell, 23)
SPELL_CLASS(WaterSourceSpell, 24)
SPELL_CLASS(WaterSinkSpell, 25)
SPELL_CLASS(ThunderstormSpell, 26)
SPELL_CLASS(HealingSpell, 27)
SPELL_CLASS(LightningSpell, 28)
