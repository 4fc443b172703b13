// The economy: a castle sends gatherers over the land to the mana balls lying on the
// island; they carry them home, and the castle's mana flows to the player while he is
// near (economy/economy.ls).

class ManaBall : public GameEntity
{
public:
  int classId() const override { return 39; }
  const char *getClassName() const override { return "ManaBall"; }

  float mana = 10.f;
  float age = 0.f;
  GameObj *claimedBy = nullptr; // the gatherer on its way to it, or carrying it
  bool carried = false;
  void update(float dt) override;
};

class ManaGatherer : public GameEntity
{
public:
  int classId() const override { return 35; }
  const char *getClassName() const override { return "ManaGatherer"; }

  vec4f home = vec4f(0.f);      // its castle's door
  vec4f heading = vec4f(0.f, 0.f, 1.f, 0.f);
  ManaBall *ball = nullptr;     // the ball it goes for or carries (checked against the list)
  int state = 0;                // GATHERER_SEEK, GATHERER_WALK, GATHERER_CARRY, GATHERER_REST
  float stateTime = 0.f;
  float stride = 0.f;           // walk phase
  float health = 20.f;
  float hitFlash = 0.f;
  void update(float dt) override;
};

class CastleObject : public GameEntity
{
public:
  int classId() const override { return 36; }
  const char *getClassName() const override { return "CastleObject"; }

  float mana = 0.f;          // brought in, not yet given to the player
  float sendTimer = 1.f;     // seconds to the next gatherer it sends out
  int gatherers = 4;         // how many it keeps out on the land
  bool announced = false;    // "castle_built" sent
  void update(float dt) override;
};
