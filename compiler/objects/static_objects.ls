// The island's static objects: trees, stones and menhirs. They stand on the land as it
// morphs (drawn at the height of the land as drawn), and a tree that ends up in water,
// in a sinking pit or on a cliff falls over and goes.
import core.engine
import core.land
import objects.object_math

void delete_gameobj(GameObj *obj); // core/objects.ls

class StaticObject : public GameEntity
{
public:
  int classId() const override { return 0; }
  const char *getClassName() const override { return "StaticObject"; }

  float yaw = 0.f;     // about the vertical, radians
  float scale = 1.f;   // across
  float stretch = 1.f; // along its up direction, times scale
  vec4f up = vec4f(0.f, 1.f, 0.f, 0.f); // the object's up (unit), leaning with the ground
  D3dColor tint = inst_tint(1.f, 1.f, 1.f);

  // The renderer of the object's mesh; far (beyond OBJECT_NEAR_DIST) a cheaper one where
  // there is one.
  virtual SimpleInstRender *inst() const { return nullptr; }
  virtual SimpleInstRender *farInst() const { return inst(); }
  // Radius of a sphere around the object's middle (at half its height) that holds it.
  virtual float boundRadius() const { return 2.f * scale; }
  virtual float boundHeight() const { return 1.f * scale * stretch; }
  // The world matrix for drawing at ground height y (rows: right, up, forward, position).
  virtual Matrix44 drawMatrix(vec4f at) const { return object_matrix(yaw, up, at); }
  // Drawing sinks objects a little: the base of a mesh on a slope never floats.
  virtual float sink() const { return 0.05f; }
};

class TreeObject : public StaticObject
{
public:
  int classId() const override { return 31; }
  const char *getClassName() const override { return "TreeObject"; }

  bool burnt = false;     // drawn as the burnt pine (tree1f)
  float fall = 0.f;       // 0 standing; otherwise the fall's angle in radians
  float fallSpeed = 0.f;
  float fallYaw = 0.f;    // direction it falls to
  float gone = 0.f;       // seconds since it hit the ground
  int checkIn = 0;        // steps until it looks at its ground again

  SimpleInstRender *inst() const override { return burnt ? &tree1f_inst : &tree1_inst; }
  SimpleInstRender *farInst() const override { return burnt ? &tree1f_inst : &tree1_lod_inst; }
  float boundRadius() const override { return 2.8f * scale * std::fmax(stretch, 1.f); }
  float boundHeight() const override { return 2.7f * scale * stretch; }
  Matrix44 drawMatrix(vec4f at) const override;
  float sink() const override { return 0.15f; }
  void update(float dt) override;
  void startFalling();
};

class Stone1StaticObject : public StaticObject
{
public:
  int classId() const override { return 32; }
  const char *getClassName() const override { return "Stone1StaticObject"; }
  SimpleInstRender *inst() const override { return &stone1_inst; }
  float boundRadius() const override { return 1.3f * scale; }
  float boundHeight() const override { return 0.3f * scale * stretch; }
  float sink() const override { return 0.1f * scale; }
};

class Menhir1StaticObject : public StaticObject
{
public:
  int classId() const override { return 33; }
  const char *getClassName() const override { return "Menhir1StaticObject"; }
  SimpleInstRender *inst() const override { return &menhir1_inst; }
  float boundRadius() const override { return 2.f * scale * stretch; }
  float boundHeight() const override { return 1.6f * scale * stretch; }
};

class Menhir2StaticObject : public StaticObject
{
public:
  int classId() const override { return 34; }
  const char *getClassName() const override { return "Menhir2StaticObject"; }
  SimpleInstRender *inst() const override { return &menhir2_inst; }
  float boundRadius() const override { return 2.2f * scale * stretch; }
  float boundHeight() const override { return 1.4f * scale * stretch; }
};

// The cell an object stands on.
inline int object_cell(const GameObj *o)
{
  return hmap_index(int(std::floor(o->pos.x)), int(std::floor(o->pos.z)));
}

// What makes a standing tree fall: water over its roots, the land under it sinking into
// a pit, or a slope too steep to stand on (a fault's cliff).
inline bool tree_must_fall(const TreeObject *t)
{
  const float x = t->pos.x, z = t->pos.z;
  const int cx = int(std::floor(x + 0.5f)), cz = int(std::floor(z + 0.5f));
  if (HeightmapData::waterAt(cx, cz).depth > 0.3f)
    return true;
  const int i = hmap_index(cx, cz);
  if (HeightmapData::target_hmap[i] < HeightmapData::hmap[i] - 1.5f)
    return true;
  const float dx = HeightmapData::height(cx + 1, cz) - HeightmapData::height(cx - 1, cz);
  const float dz = HeightmapData::height(cx, cz + 1) - HeightmapData::height(cx, cz - 1);
  return dx * dx + dz * dz > 4.f * 1.5f * 1.5f; // slope above 1.5
}

void TreeObject::startFalling()
{
  if (fall > 0.f)
    return;
  fall = 0.01f;
  fallSpeed = 0.2f;
  // Downhill where there is a slope, else wherever its lean points.
  vec4f n = calc_land_norm(pos.x, pos.z);
  fallYaw = (n.x * n.x + n.z * n.z > 0.01f) ? std::atan2(n.z, n.x) : yaw + 1.3f;
}

void TreeObject::update(float dt)
{
  if (fall <= 0.f)
  {
    // A standing tree looks at its ground every fourth step (generation spreads the
    // trees over the four).
    if (--checkIn <= 0)
    {
      checkIn = 4;
      if (tree_must_fall(this))
        startFalling();
    }
    pos.y = get_land_height(pos.x, pos.z);
    return;
  }
  // Falling: it tips over faster and faster, lies a while, then sinks away.
  if (fall < 1.5f)
  {
    fallSpeed += dt * 2.2f;
    fall = std::fmin(fall + fallSpeed * dt, 1.5f);
  }
  else
  {
    gone += dt;
    if (gone > 4.f)
    {
      HeightmapData::surface[object_cell(this)].change_marks(0, MARK_OBJ);
      delete_gameobj(this);
      return;
    }
  }
  pos.y = get_land_height(pos.x, pos.z);
}

Matrix44 TreeObject::drawMatrix(vec4f at) const
{
  if (fall <= 0.f)
    return object_matrix(yaw, up, at);
  // Tipped about the horizontal axis across the fall direction, pivoting at the base;
  // once down it sinks into the ground.
  vec4f dir(std::cos(fallYaw), 0.f, std::sin(fallYaw), 0.f);
  vec4f tipped = normalize3(up * std::cos(fall) + dir * std::sin(fall));
  at.y -= std::fmax(gone - 2.f, 0.f) * 0.8f;
  return object_matrix(yaw, tipped, at);
}
