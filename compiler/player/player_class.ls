// The local player: a mage flying over the island with hit points, mana and the spell
// grid (player/player.ls, player/casting.ls).
import core.engine
import spells.spell_grid_data

class Player : public GameEntity
{
public:
  int classId() const override { return 2; }
  const char *getClassName() const override { return "Player"; }
  void move(float dt, float speed, const vec4f &move_vec, const Matrix44 &camera, int dash) override;
  void onWorldRemoved() override;
  void onWorldGenerated() override;
  void update(float dt) override;

  // Hit points and mana (game/combat.ls is what the rest of the game calls on them).
  float health = 100.f, max_health = 100.f;
  float mana = 100.f, max_mana = 100.f;

  SpellGrid grid;
  float since_hurt = 100.f; // seconds since the latest damage: health grows back after a while
  float healing_left = 0.f; // seconds the healing glow still shows
  bool mana_cheat = false;  // spells cost nothing (Ctrl-N)
  bool dead = false;        // health ran out; the game menu says so
};
