// The portal to the next island: it opens when an island's monsters are cleared; the
// player flies into it (or casts the use-portal spell) and the next "game" world is made
// with him and his spells carried over (game/portal.ls).
class WorldPortal : public GameEntity
{
public:
  int classId() const override { return 40; }
  const char *getClassName() const override { return "WorldPortal"; }

  float radius = 4.f;
  float age = 0.f;
  void update(float dt) override;
};
