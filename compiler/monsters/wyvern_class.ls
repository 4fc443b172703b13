// The wyvern: a winged serpent whose body is a curve through the points its head has
// passed. It circles over the island, dives at the player and at the gatherers and
// breathes fire at them (monsters/wyvern.ls).

// A gout of fire on its way: flies straight, falls a little, hurts what it meets.
struct WyvernFlame
{
  vec4f pos = vec4f(0.f), vel = vec4f(0.f);
  float life = 0.f; // seconds left; 0 = slot free
  int trail = -1;
};

class WyvernMonster : public Monster
{
public:
  int classId() const override { return 29; }
  const char *getClassName() const override { return "WyvernMonster"; }

  static constexpr int FLAMES = 4;
  vec4f vel = vec4f(0.f, 0.f, 6.f, 0.f);
  vec4f home = vec4f(128.f, 0.f, 128.f, 1.f); // the centre it circles
  vec4f body[3];                              // neck, hip and tail end, trailing the head
  WyvernFlame flames[FLAMES];
  int state = 0;          // WYVERN_CIRCLE, WYVERN_DIVE, WYVERN_CLIMB
  float stateTime = 0.f;  // seconds in the state
  float fireCooldown = 3.f;
  float flap = 0.f;       // wing beat phase, radians
  float hitFlash = 0.f;   // seconds of the hit reaction left
  float circleSign = 1.f; // which way round it circles
  float altitude = 24.f;  // over the land while circling
  bool placed = false;    // body points laid out

  WyvernMonster() { health = max_health = 60.f; }
  void update(float dt) override;
  void onHit(float damage, const vec4f &from, GameObj *source) override;
  void onKilled(GameObj *source) override;
};
