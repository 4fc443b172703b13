// The birds: flocks that wheel over the island. Harmless until one of them is hurt; then
// the birds near it turn on the player for a while (monsters/birds.ls).
class BirdMonster : public Monster
{
public:
  int classId() const override { return 42; }
  const char *getClassName() const override { return "BirdMonster"; }

  vec4f vel = vec4f(3.f, 0.f, 0.f, 0.f);
  vec4f home = vec4f(128.f, 18.f, 128.f, 1.f); // the flock's centre
  int flock = 0;        // birds of one flock keep together
  float flap = 0.f;     // wing beat phase
  float anger = 0.f;    // seconds of attacking left
  float peckCooldown = 0.f;
  float hitFlash = 0.f;

  BirdMonster() { health = max_health = 12.f; }
  void update(float dt) override;
  void onHit(float damage, const vec4f &from, GameObj *source) override;
  void onKilled(GameObj *source) override;
};
