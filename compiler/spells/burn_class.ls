// Fire on a tree: it burns a while, then the tree stands burnt (spells/fire.ls).
import core.engine

class BurnEffect : public GameEntity
{
public:
  int classId() const override { return 30; }
  const char *getClassName() const override { return "BurnEffect"; }
  void update(float dt) override;
  GameObj *tree = nullptr; // the TreeObject on fire
  float life = 4.f;        // seconds of fire left
};
