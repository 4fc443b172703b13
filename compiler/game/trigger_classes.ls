// Timed and area events for the world script's rules (game/triggers.ls): a TimeTrigger
// sends {type = "timer", name} when its time is up (again every period, if it has one);
// a Sensor sends {type = "sensor", name, entered} when the player enters or leaves its
// circle.
class TimeTrigger : public GameEntity
{
public:
  int classId() const override { return 43; }
  const char *getClassName() const override { return "TimeTrigger"; }

  char name[32] = "";
  float timeLeft = 1.f;
  float period = 0.f; // 0: once
  int fired = 0;
  void update(float dt) override;
};

class Sensor : public GameEntity
{
public:
  int classId() const override { return 44; }
  const char *getClassName() const override { return "Sensor"; }

  char name[32] = "";
  float radius = 8.f;
  bool inside = false;
  void update(float dt) override;
};
