// Drawing the objects: every instance renderer with its mesh, the visible objects' and
// house cells' instances each frame, and their shadow balls.
import core.classes
import objects.object_math
import objects.static_objects

// Objects are drawn out to where the drawn land ends, shrinking away over the last
// stretch so that nothing pops. Their shadows reach less far: beyond that a tree's shadow
// is a pixel or two of the quarter-size mask, gone in its blur. Buildings' walls cast
// larger ones.
static constexpr float OBJECT_DRAW_DIST = 124.f;
static constexpr float OBJECT_NEAR_DIST = 40.f; // nearer: the full meshes
static constexpr float OBJECT_FADE = 14.f;
static constexpr float OBJECT_SHADOW_DIST = 44.f;
static constexpr float BUILDING_SHADOW_DIST = 80.f;

void init_inst_render()
{
  init_inst_render_internals();
  for (const InstRenderEntry *e = inst_render_table; e->name; e++)
  {
    char path[96];
    snprintf(path, sizeof(path), "objects/%s.mesh", e->name);
    e->inst->init(path);
  }
}

// The house cells handed to render_building this frame, for their shadows.
struct BuildingCell
{
  int x, z;
  float lo, hi;
  BuildingInstRender *piece;
};
static DynArray<BuildingCell> building_cells;
// do_inst_render counts frames; render_building starts a new list on a new frame.
static unsigned object_frame = 0, building_frame = ~0u;

void render_building(const void *surface, int x, int z)
{
  if (building_frame != object_frame)
  {
    building_frame = object_frame;
    building_cells.clear();
  }
  const auto *s = static_cast<const HeightmapData::Surface *>(surface);
  const int tile = s ? s->house_tile() : -1;
  if (tile < 0 || tile >= HeightmapRenderer::num_house_tiles)
    return;
  BuildingInstRender *piece = HeightmapRenderer::house_tile_info[tile];
  if (!piece || !piece->mesh)
    return;
  const float *ch = HeightmapRenderer::curh;
  const float h[4] = {ch[hmap_index(x, z)], ch[hmap_index(x + 1, z)], ch[hmap_index(x, z + 1)],
                      ch[hmap_index(x + 1, z + 1)]};
  const float lo = std::fmin(std::fmin(h[0], h[1]), std::fmin(h[2], h[3]));
  const float hi = std::fmax(std::fmax(h[0], h[1]), std::fmax(h[2], h[3])) + (tile == 0 ? 3.6f : 0.7f);
  const ObjectView v = current_object_view();
  const float half = (hi - lo) * 0.5f;
  if (!sphere_in_view(v, vec4f(float(x) + 0.5f, lo + half, float(z) + 0.5f, 1.f), std::sqrt(0.5f + half * half)))
    return;
  BuildingInstance *b = static_cast<BuildingInstance *>(piece->allocInstances(1));
  b->x = int16_t(x);
  b->z = int16_t(z);
  memcpy(b->h, h, sizeof(h));
  const unsigned vary = (unsigned(x) * 73856093u ^ unsigned(z) * 19349663u) >> 8 & 255u;
  b->info = D3dColor(0, s->house_rot(), int(vary), 0);
  const float dx = float(x) - v.cam.x, dz = float(z) - v.cam.z;
  if (hi - lo > 0.6f && dx * dx + dz * dz < BUILDING_SHADOW_DIST * BUILDING_SHADOW_DIST)
    building_cells.push(BuildingCell{x, z, lo, hi, piece});
}

// Other parts of the module (creatures, missiles) add their instances to the frame's
// lists through a pass of their own: draw before the lists are drawn, shadows with the
// static objects' shadows (render_shadow_ball or InstRender::renderShadowBalls).
struct ObjectPass
{
  void (*draw)(const ObjectView &view);
  void (*shadows)(const ObjectView &view);
};
static DynArray<ObjectPass> object_passes;
// Adds the pass once (again on the same functions: nothing); either may be null. Register
// from a static initializer of the file that has the pass, e.g.
//   static const bool wyvern_pass = (add_object_pass(draw_wyverns, wyvern_shadows), true);
// since it runs whenever the module is loaded, a hot reload keeps the pass.
void add_object_pass(void (*draw)(const ObjectView &), void (*shadows)(const ObjectView &))
{
  for (const ObjectPass &p : object_passes)
    if (p.draw == draw && p.shadows == shadows)
      return;
  object_passes.push(ObjectPass{draw, shadows});
}

static const DynArray<GameObj *> *const static_lists[] = {&TreeObject_list, &Stone1StaticObject_list,
                                                        &Menhir1StaticObject_list, &Menhir2StaticObject_list};

// Where the object is drawn this frame: near the camera, on the drawn land. False when it
// is beyond dist or out of view; fade is 1, going to 0 over the last OBJECT_FADE.
static bool place_static(const StaticObject *s, const ObjectView &v, float dist, Matrix44 &m, float &fade)
{
  const float dx = wrap_coord(s->pos.x - v.cam.x), dz = wrap_coord(s->pos.z - v.cam.z);
  const float d2 = dx * dx + dz * dz;
  if (d2 >= dist * dist)
    return false;
  const float x = v.cam.x + dx, z = v.cam.z + dz;
  const float y = drawn_land_height(x, z) - s->sink();
  if (!sphere_in_view(v, vec4f(x, y + s->boundHeight(), z, 1.f), s->boundRadius()))
    return false;
  fade = std::fmin((OBJECT_DRAW_DIST - std::sqrt(d2)) * (1.f / OBJECT_FADE), 1.f);
  m = s->drawMatrix(vec4f(x, y, z, 1.f));
  return true;
}

// This frame's visible static objects, nearest first: drawn in that order the depth test
// throws away the pixels of what stands behind before they are shaded.
struct VisibleObject
{
  float dist2;
  const StaticObject *obj;
  Matrix44 m;
  float fade;
};
static DynArray<VisibleObject> visible_objects;

void do_inst_render()
{
  const ObjectView v = current_object_view();
  // Each mesh's texture, the land's aperture and the light for the land's shadow at the
  // objects (bin/mesh_inst.inc).
  set_tex_address(TEX_STAGE(TEX_MESH), TEXADDR_WRAP);
  set_tex_filter(TEX_STAGE(TEX_MESH), true);
  set_texture(TEX_STAGE(TEX_MESH_APERTURE), HeightmapRenderer::aperTex);
  set_tex_address(TEX_STAGE(TEX_MESH_APERTURE), TEXADDR_WRAP);
  set_tex_filter(TEX_STAGE(TEX_MESH_APERTURE), true);
  set_vs_consts(VC_MESH_LIGHT, &sun_dir_drawn.x, 1);
  visible_objects.clear();
  for (const DynArray<GameObj *> *list : static_lists)
    for (GameObj *o : *list)
    {
      const StaticObject *s = static_cast<const StaticObject *>(o);
      VisibleObject vo;
      if (!s->inst() || !place_static(s, v, OBJECT_DRAW_DIST, vo.m, vo.fade))
        continue;
      const float dx = vo.m.m[3][0] - v.cam.x, dz = vo.m.m[3][2] - v.cam.z;
      vo.dist2 = dx * dx + dz * dz;
      vo.obj = s;
      visible_objects.push(vo);
    }
  std::sort(visible_objects.begin(), visible_objects.end(),
            [](const VisibleObject &a, const VisibleObject &b) { return a.dist2 < b.dist2; });
  for (const VisibleObject &vo : visible_objects)
  {
    const StaticObject *s = vo.obj;
    SimpleInstRender *inst = vo.dist2 < OBJECT_NEAR_DIST * OBJECT_NEAR_DIST ? s->inst() : s->farInst();
    SimpleInstance *rec = static_cast<SimpleInstance *>(inst->allocInstances(1));
    write_simple_instance(*rec, vo.m, s->scale * vo.fade, s->scale * s->stretch * vo.fade, s->tint);
  }
  for (const ObjectPass &p : object_passes)
    if (p.draw)
      p.draw(v);
  set_cull_mode(1);
  for (const InstRenderEntry *e = inst_render_table; e->name; e++)
    e->inst->render();
  object_frame++;
}

void render_gameobj() { do_inst_render(); }

void render_gameobj_shadow()
{
  const ObjectView v = current_object_view();
  for (const DynArray<GameObj *> *list : static_lists)
    for (GameObj *o : *list)
    {
      const StaticObject *s = static_cast<const StaticObject *>(o);
      Matrix44 m;
      float fade;
      if (!s->inst() || !place_static(s, v, OBJECT_SHADOW_DIST, m, fade))
        continue;
      for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
          m.m[r][c] *= r == 1 ? s->scale * s->stretch : s->scale;
      // The shadows shrink away over the last stretch of their distance instead of popping.
      const float dx = m.m[3][0] - v.cam.x, dz = m.m[3][2] - v.cam.z;
      const float away = std::fmin((OBJECT_SHADOW_DIST - std::sqrt(dx * dx + dz * dz)) * (1.f / 8.f), 1.f);
      s->inst()->renderShadowBalls(m, s->scale * (1.f + s->stretch) * 0.5f * away);
    }
  for (const ObjectPass &p : object_passes)
    if (p.shadows)
      p.shadows(v);
  // A building piece's spheres are in its unit cell, their height a fraction of the
  // cell's span.
  for (const BuildingCell &b : building_cells)
  {
    Matrix44 m = Matrix44::identity();
    m.m[1][1] = b.hi - b.lo;
    m.setRow(3, vec4f(float(b.x), b.lo, float(b.z), 1.f));
    b.piece->renderShadowBalls(m, 1.f);
  }
}
