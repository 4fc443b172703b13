// The local player: flies with the play mode's controls and never sinks into the land.
import core.classes
import core.land

static constexpr float PLAYER_CLEARANCE = 1.5f; // eye height above the land

static float wrap_world(float v)
{
  float t = v / 256.f;
  return (t - std::floor(t)) * 256.f;
}

void Player::move(float dt, float speed, const vec4f &move_vec, const Matrix44 &camera, int dash)
{
  vec4f p = getPos() + move_vec;
  p.x = wrap_world(p.x);
  p.z = wrap_world(p.z);
  float ground = get_land_height(p.x, p.z) + PLAYER_CLEARANCE;
  if (p.y < ground)
    p.y = ground;
  p.w = 1.f;
  setPos(p);
}

void Player::onWorldRemoved() {}

void generate_objects();

// A new world: dress it with objects and stand on its land where the player is.
void Player::onWorldGenerated()
{
  generate_objects();
  vec4f p = getPos();
  p.y = get_land_height(p.x, p.z) + PLAYER_CLEARANCE;
  setPos(p);
}
