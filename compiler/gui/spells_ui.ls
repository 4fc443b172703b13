// The interface of play: the spell bar (the spells of the two mouse buttons between the
// health and mana bars), the spell grid shown while Ctrl is held (a click with the left
// or right button puts a spell on that button), the world map in the top-right corner
// with the player's position, the crosshair, and the animation of a spell picked up.
import gui.screen
import gui.tooltip
import gui.spell_book

#include "render/land_render.h"
#include "render/shader_registers.h"

// ---- map ------------------------------------------------------------------------------

// Markers the game puts on the map for the next drawn frame (monsters, portals ...).
struct MapMarker
{
  const char *icon;
  vec4f pos;
  uint32_t color;
  float size; // units
};
static DynArray<MapMarker> map_markers;

// The map: the terrain renderer's world map, north (+z) up, centred on the player (the
// world wraps, and so does the map), in a round frame. Its state hands the shader the
// offset of the map's centre (VC_GUI_MAP_OFFSET).
class MapBatchState : public StdRenderBatchState
{
public:
  float offset[4] = {0.f, 0.f, 0.f, 0.f};
  void begin(const BaseRenderBatchState *prev) override
  {
    StdRenderBatchState::begin(prev);
    set_vs_consts(VC_GUI_MAP_OFFSET, offset, 1);
  }
};
static MapBatchState map_state;
static Shader *map_shader = nullptr;

void init_map_ui()
{
  if (!map_shader)
    map_shader = create_shader("uiMap.sh", nullptr);
  init_ui_image_state(map_state, HeightmapRenderer::mapTex, map_shader);
}

// Adds a marker for the next frame: icon at world position pos (x, z), tinted by color.
static void map_ui_marker(const char *icon, vec4f pos, uint32_t color, float size)
{
  map_markers.push(MapMarker{icon, pos, color, size});
}

class GuiMapView : public GuiImage
{
public:
  const char *getClassName() const override { return "GuiMapView"; }
  vec4f centre = vec4f(128.f, 0.f, 128.f, 0.f); // the world point in the middle

  // The map position of a world point: its nearest copy around the centre.
  vec4f mapPoint(vec4f p) const
  {
    float dx = (p.x - centre.x) / 256.f, dz = (p.z - centre.z) / 256.f;
    dx -= floorf(dx + 0.5f);
    dz -= floorf(dz + 0.5f);
    return vec4f((x0 + x1) * 0.5f + (x1 - x0) * dx, (y0 + y1) * 0.5f - (y1 - y0) * dz, 0.f, 0.f);
  }
  void drawContent(RenderBatch &batch, vec4f r, float op) override
  {
    if (GameObj *pl = local_player)
      centre = pl->getPos();
    state = &map_state;
    map_state.texture = HeightmapRenderer::mapTex;
    map_state.offset[0] = centre.x / 256.f - 0.5f;
    map_state.offset[1] = centre.z / 256.f - 0.5f;
    uv = vec4f(0.f, 1.f, 1.f, 0.f); // +z up; the offset moves it, the sampler wraps
    GuiImage::drawContent(batch, r, op);
    const float rad = (r.z - r.x) * 0.5f;
    render_rounded_box(batch, r, vec4f(rad), D3dColor(0u), fmaxf(unit * 4.f, 1.5f), 0.f, 0.f, 0.f,
                       fade(val(S_BORDER_COLOR), op), -1.f);
    const float u = unit;
    const float cx = (r.x + r.z) * 0.5f, cy = (r.y + r.w) * 0.5f, rr = (r.z - r.x) * 0.5f;
    for (const MapMarker &m : map_markers)
    {
      const vec4f at = mapPoint(m.pos);
      if ((at.x - cx) * (at.x - cx) + (at.y - cy) * (at.y - cy) < rr * rr)
        draw_icon(batch, m.icon, at.x, at.y, m.size * u, rgba(m.color), op);
    }
    if (GameObj *pl = local_player)
    {
      // The arrow points along the camera's heading on the map.
      const vec4f at = mapPoint(pl->getPos()), f = cur_view_itm.row(2);
      const float l = sqrtf(f.x * f.x + f.z * f.z);
      const float c = l > 1e-4f ? f.z / l : 1.f, s = l > 1e-4f ? f.x / l : 0.f;
      draw_icon(batch, "dot_arrow", at.x, at.y, fmaxf(44.f * u, 14.f), vec4f(1.f), op, true, c, s);
    }
  }
};

// ---- notices --------------------------------------------------------------------------

// A line for the player (why a spell could not be cast ...), shown for a few seconds
// above the spell bar.
static char game_notice[128];
static double game_notice_start = -100.0;
static constexpr float GAME_NOTICE_TIME = 2.5f;

void show_game_notice(const char *text)
{
  snprintf(game_notice, sizeof(game_notice), "%s", text ? text : "");
  game_notice_start = gui_time;
}

// ---- slots ----------------------------------------------------------------------------

// One spell: its icon on a tile; dimmed with no spell or a spell not owned; the mouse
// buttons that cast it as badges.
class GuiSpellSlot : public GuiButton
{
public:
  int kind = -1;
  int button = -1; // a slot of the bar shows the spell of this button; grid slots -1
  const char *getClassName() const override { return "GuiSpellSlot"; }
  const char *getText() const override { return kind >= 0 ? spell_infos[kind].name : ""; }
  void drawContent(RenderBatch &batch, vec4f r, float op) override
  {
    const float h = r.w - r.y, cx = (r.x + r.z) * 0.5f, cy = (r.y + r.w) * 0.5f;
    const bool owned = spell_grid_has(kind);
    drawSheen(batch, r, op);
    if (kind >= 0)
      draw_icon(batch, spell_infos[kind].icon, cx, cy - (button < 0 ? h * 0.06f : 0.f), h * 0.66f,
                owned ? vec4f(1.f) : vec4f(0.35f, 0.35f, 0.38f, 0.8f), op);
    if (button >= 0)
      draw_icon(batch, button == 0 ? "mouse_left" : "mouse_right", button == 0 ? r.x + h * 0.12f : r.z - h * 0.12f,
                r.w - h * 0.12f, h * 0.34f, vec4f(1.f), op);
    else
    {
      // Grid: the name under the icon (where there is room for it to be read) and the
      // buttons the spell is on.
      float size = h * 0.14f;
      int n;
      const char *name = kind >= 0 ? spell_infos[kind].name : "";
      const vec4f box = default_font.calcTextBox(name, -1, &n);
      const float w = default_font.size ? (box.z - box.x) * size / float(default_font.size) : 0.f;
      if (w > (r.z - r.x) * 0.9f)
        size *= (r.z - r.x) * 0.9f / w; // long names shrink to fit the tile
      if (size >= 10.f)
        draw_label_text(batch, vec4f(r.x, r.w - h * 0.24f, r.z, r.w - h * 0.04f), 0, size, name,
                        fade(owned ? pal::TEXT : pal::TEXT_OFF, op), D3dColor(0u));
      for (int b = 0; b < 2; b++)
        if (owned && spell_assigned(b) == kind)
          draw_icon(batch, b == 0 ? "mouse_left" : "mouse_right", b == 0 ? r.x + h * 0.16f : r.z - h * 0.16f,
                    r.y + h * 0.17f, h * 0.26f, vec4f(1.f), op);
    }
  }
};

// The tooltip of a spell: name, cost, what it does and how to assign it.
static void spell_tooltip(char *out, int size, int kind, bool grid)
{
  if (kind < 0)
  {
    snprintf(out, size_t(size), "No spell on this button.\nHold Ctrl to choose one.");
    return;
  }
  const SpellInfo &s = spell_infos[kind];
  char cost[32] = "free";
  if (s.mana > 0)
    snprintf(cost, sizeof(cost), "%d mana", s.mana);
  if (!grid)
    snprintf(out, size_t(size), "%s  (%s)\n%s", s.name, cost, s.description);
  else if (spell_grid_has(kind))
    snprintf(out, size_t(size), "%s  (%s)\n%s\nLeft or right click: put it on that button.", s.name, cost,
             s.description);
  else
    snprintf(out, size_t(size), "%s\nNot found yet: look for it on the island.", s.name);
}

// ---- the screen -----------------------------------------------------------------------

bool monster_spawn_on(); // monsters/monster.ls

// The HUD's two lines about the island's fight: during a wave its number and the
// monsters left; between waves when the next one comes; the portal once all are beaten.
static void fight_info(char *title, size_t title_size, char *line, size_t line_size)
{
  const int wave = current_wave(), left = monsters_left();
  const float next = next_wave_in();
  if (left > 0)
  {
    snprintf(title, title_size, "Wave %d", wave);
    snprintf(line, line_size, "Monsters left: %d", left);
  }
  else if (!WorldPortal_list.empty())
  {
    snprintf(title, title_size, "Island cleared");
    snprintf(line, line_size, "The portal is open");
  }
  else if (next >= 0.f)
  {
    snprintf(title, title_size, "Wave %d", wave + 1);
    snprintf(line, line_size, "Coming in %d s", int(std::ceil(next)));
  }
  else
  {
    snprintf(title, title_size, wave > 0 ? "Wave %d" : "No wave yet", wave);
    snprintf(line, line_size, monster_spawn_on() ? "Monsters left: 0" : "Waves paused (Ctrl-M)");
  }
}

class SpellsGuiScreen : public GuiScreen
{
public:
  GuiSpellSlot *bar_slot[2] = {};
  GuiManaBar *health = nullptr, *mana = nullptr;
  GuiMenuPanel *grid_panel = nullptr;
  GuiSpellSlot *grid[SPELL_KINDS] = {};
  GuiMapView *map = nullptr;
  int last_button = 1; // of the latest press: 1 left, 2 right
  bool grid_open = false;
  int anim_kind = -1;
  double anim_start = 0.0;

  const char *getClassName() const override { return "SpellsGuiScreen"; }

  static void on_slot(BaseGuiElement *e, int, void *user)
  {
    auto *s = static_cast<SpellsGuiScreen *>(user);
    spell_assign(s->last_button == 2 ? SPELL_BUTTON_RIGHT : SPELL_BUTTON_LEFT, static_cast<GuiSpellSlot *>(e)->kind);
  }

  void build()
  {
    style = &spells_style;
    GuiWidget *r = makeRoot();

    map = r->add(new GuiMapView);
    map->styled("map");

    auto *bar = r->add(new GuiSpellBar);
    bar->styled("bar");
    for (int b = 0; b < 2; b++)
    {
      if (b == 1)
      {
        auto *mid = bar->add(new GuiWidget);
        mid->styled("bars");
        health = mid->add(new GuiManaBar);
        health->styled("health");
        mana = mid->add(new GuiManaBar);
        mana->styled("mana");
      }
      bar_slot[b] = bar->add(new GuiSpellSlot);
      bar_slot[b]->styled("bar_slot");
      bar_slot[b]->button = b;
    }

    grid_panel = r->add(new GuiMenuPanel);
    grid_panel->styled("grid_panel");
    grid_panel->setText("Spells");
    auto *cells = grid_panel->add(new GuiWidget);
    cells->styled("grid");
    for (int k = 0; k < SPELL_KINDS; k++)
    {
      grid[k] = cells->add(new GuiSpellSlot);
      grid[k]->styled("grid_slot");
      grid[k]->kind = k;
      BaseGuiElement::addListener(grid[k]->clickListeners, on_slot, this);
    }
    auto *hint = grid_panel->add(new GuiLabel);
    hint->styled("grid_hint");
    hint->setText("Click with the left or right mouse button to put a spell on it");
    hint->setTooltip("Keys: arrows choose, Enter puts the spell on the left button, Shift-Enter on the right.");
    hint->addHandler(&tooltip_box_behavior);
    grid_panel->hidden = true;
  }

  void processInputEvent(NewGuiInputEvent &ev, BaseGuiElement *target) override
  {
    if (ev.ev.kind == IEV_MOUSE_DOWN || ev.ev.kind == IEV_MOUSE_UP)
      last_button = ev.ev.key;
    else if (ev.ev.kind == IEV_KEY_DOWN && (ev.ev.key == VK_RETURN || ev.ev.key == VK_SPACE))
      last_button = ev.ev.flags & IEF_SHIFT ? 2 : 1; // the keyboard: Shift for the right button
    GuiScreen::processInputEvent(ev, target);
  }

  // The widgets follow the grid, the numbers and the open state.
  void sync()
  {
    char tip[256];
    for (int b = 0; b < 2; b++)
    {
      bar_slot[b]->kind = spell_assigned(b);
      spell_tooltip(tip, sizeof(tip), bar_slot[b]->kind, false);
      if (strcmp(tip, bar_slot[b]->getTooltip()))
        bar_slot[b]->setTooltip(tip);
    }
    for (int k = 0; k < SPELL_KINDS; k++)
    {
      grid[k]->setEnabled(spell_grid_has(k));
      grid[k]->setChecked(spell_assigned(0) == k || spell_assigned(1) == k);
      spell_tooltip(tip, sizeof(tip), k, true);
      if (strcmp(tip, grid[k]->getTooltip()))
        grid[k]->setTooltip(tip);
    }
    health->value = spells_hud.health, health->maximum = spells_hud.health_max;
    mana->value = spells_hud.mana, mana->maximum = spells_hud.mana_max;
    if (grid_panel->hidden == grid_open)
    {
      grid_panel->setHidden(!grid_open);
      if (!grid_open)
      {
        resetState();
        hide_tooltip();
      }
    }
  }

  void drawCrosshair(RenderBatch &batch)
  {
    const float u = float(d3d_ht) * 0.001f, cx = float(d3d_wd) * 0.5f, cy = float(d3d_ht) * 0.5f;
    const float r = 9.f * u, t = fmaxf(1.5f, 2.2f * u);
    render_rounded_box(batch, vec4f(cx - r, cy - r, cx + r, cy + r), vec4f(r), D3dColor(0u), t, 0.f, 0.f, 0.f,
                       D3dColor(0xC8FFF2D8u), -1.f);
    render_rounded_box(batch, vec4f(cx - t, cy - t, cx + t, cy + t), vec4f(t), D3dColor(0xE6FFF2D8u), 0.f, 0.f, 0.f,
                       2.f * u, D3dColor(0x80000000u), 0.f);
  }

  // A picked-up spell grows in the middle of the screen, then flies into the bar.
  void drawPickUp(RenderBatch &batch)
  {
    if (anim_kind < 0)
      return;
    const float t = float(gui_time - anim_start) / 1.6f;
    if (t >= 1.f)
    {
      anim_kind = -1;
      return;
    }
    const float u = float(d3d_ht) * 0.001f;
    const float grow = fminf(1.f, t * 4.f), fly = t < 0.55f ? 0.f : (t - 0.55f) / 0.45f;
    const float e = fly * fly * (3.f - 2.f * fly);
    const float sx = float(d3d_wd) * 0.5f, sy = float(d3d_ht) * 0.42f;
    const GuiSpellSlot *dst = bar_slot[spell_assigned(1) == anim_kind ? 1 : 0];
    const float tx = (dst->x0 + dst->x1) * 0.5f, ty = (dst->y0 + dst->y1) * 0.5f;
    const float x = sx + (tx - sx) * e, y = sy + (ty - sy) * e;
    const float size = (150.f * (0.6f + 0.4f * grow) * (1.f - e) + 70.f * e) * u;
    const float op = fminf(1.f, t * 6.f);
    render_rounded_box(batch, vec4f(x - size * 0.5f, y - size * 0.5f, x + size * 0.5f, y + size * 0.5f),
                       vec4f(size * 0.5f), D3dColor(0u), 0.f, 0.f, 0.f, size * 0.35f, fade(pal::GLOW, op * (1.f - e)),
                       0.f);
    draw_icon(batch, spell_infos[anim_kind].icon, x, y, size, vec4f(1.f), op);
    char caption[64];
    snprintf(caption, sizeof(caption), "New spell: %s", spell_infos[anim_kind].name);
    draw_label_text(batch, vec4f(0.f, sy + 110.f * u, float(d3d_wd), sy + 160.f * u), 0, 40.f * u, caption,
                    fade(pal::TITLE, op * (1.f - e)), fade(pal::OUTLINE, op * (1.f - e)));
  }

  void drawNotice(RenderBatch &batch)
  {
    const float t = float(gui_time - game_notice_start);
    if (!game_notice[0] || t < 0.f || t >= GAME_NOTICE_TIME)
      return;
    const float u = float(d3d_ht) * 0.001f, op = fminf(1.f, (GAME_NOTICE_TIME - t) * 2.f);
    draw_label_text(batch, vec4f(0.f, float(d3d_ht) - 250.f * u, float(d3d_wd), float(d3d_ht) - 200.f * u), 0,
                    30.f * u, game_notice, fade(pal::TEXT, op), fade(pal::OUTLINE, op));
  }

  // The island's fight in the top-left corner: the wave and the monsters still alive;
  // between waves the time to the next one; once the island is won, the portal.
  void drawFightInfo(RenderBatch &batch)
  {
    const float u = float(d3d_ht) * 0.001f;
    char title[64], line[64];
    fight_info(title, sizeof(title), line, sizeof(line));
    draw_label_text(batch, vec4f(28.f * u, 22.f * u, float(d3d_wd) * 0.4f, 72.f * u), 0, 42.f * u, title,
                    D3dColor(pal::TITLE), D3dColor(pal::OUTLINE));
    draw_label_text(batch, vec4f(28.f * u, 74.f * u, float(d3d_wd) * 0.4f, 110.f * u), 0, 30.f * u, line,
                    D3dColor(pal::TEXT), D3dColor(pal::OUTLINE));
  }

  // The open portal: a marker over it with its distance while it is in view, else an
  // arrow at the screen's edge pointing the way to turn.
  void drawPortalPointer(RenderBatch &batch)
  {
    if (WorldPortal_list.empty() || !local_player)
      return;
    const vec4f eye = cur_view_itm.row(3), at = WorldPortal_list[0]->getPos();
    const vec4f to(wrap_coord(at.x - eye.x), at.y - eye.y, wrap_coord(at.z - eye.z), 0.f);
    const float x = dot3(to, cur_view_itm.row(0)), y = dot3(to, cur_view_itm.row(1)), z = dot3(to, cur_view_itm.row(2));
    const float u = float(d3d_ht) * 0.001f, cx = float(d3d_wd) * 0.5f, cy = float(d3d_ht) * 0.5f;
    const float pulse = 0.75f + 0.25f * sinf(float(gui_time) * 5.f);
    char text[32];
    snprintf(text, sizeof(text), "Portal  %d", int(length3(to)));
    if (z > 0.5f)
    {
      const float sx = cx + x / z * cur_proj_tm.m[0][0] * cx, sy = cy - y / z * cur_proj_tm.m[1][1] * cy;
      if (fabsf(sx - cx) < cx - 60.f * u && fabsf(sy - cy) < cy - 90.f * u)
      {
        draw_icon(batch, "portal", sx, sy - 70.f * u, 64.f * u * pulse, vec4f(1.f), 1.f);
        draw_label_text(batch, vec4f(sx - 200.f * u, sy - 140.f * u, sx + 200.f * u, sy - 110.f * u), 0, 28.f * u,
                        text, D3dColor(pal::TITLE), D3dColor(pal::OUTLINE));
        return;
      }
    }
    // Off screen (or behind): toward its side, straight down when it is right behind.
    float dx = x, dy = -y;
    if (z <= 0.5f && fabsf(dx) < 1e-3f && fabsf(dy) < 1e-3f)
      dy = 1.f;
    const float l = sqrtf(dx * dx + dy * dy);
    dx /= l, dy /= l;
    const float rx = cx - 90.f * u, ry = cy - 150.f * u;
    const float t = fminf(fabsf(dx) > 1e-4f ? rx / fabsf(dx) : 1e9f, fabsf(dy) > 1e-4f ? ry / fabsf(dy) : 1e9f);
    const float px = cx + dx * t, py = cy + dy * t;
    draw_icon(batch, "arrow_up", px, py, 80.f * u, vec4f(0.85f, 0.6f, 1.f, 1.f), pulse, true, -dy, dx);
    draw_icon(batch, "portal", px - dx * 70.f * u, py - dy * 70.f * u, 48.f * u, vec4f(1.f), 1.f);
    draw_label_text(batch, vec4f(px - dx * 70.f * u - 200.f * u, py - dy * 70.f * u + 30.f * u, px - dx * 70.f * u + 200.f * u,
                                 py - dy * 70.f * u + 60.f * u),
                    0, 26.f * u, text, D3dColor(pal::TITLE), D3dColor(pal::OUTLINE));
  }

  // The map's markers: the monsters of the wave and the open portal.
  static void addFightMarkers()
  {
    for (GameObj *o : WyvernMonster_list)
      map_ui_marker("dot", o->pos, 0xFFFFFFFFu, 26.f);
    for (GameObj *o : BirdMonster_list)
      map_ui_marker("dot", o->pos, 0xFFFFD080u, 16.f);
    for (GameObj *o : WorldPortal_list)
      map_ui_marker("portal", o->pos, 0xFFFFFFFFu, 44.f);
  }

  void draw(RenderBatch &batch) override
  {
    sync();
    addFightMarkers();
    GuiScreen::draw(batch);
    drawFightInfo(batch);
    drawPortalPointer(batch);
    if (!grid_open)
      drawCrosshair(batch);
    drawPickUp(batch);
    drawNotice(batch);
    map_markers.clear();
  }
};

static BaseGuiScreen *create_spells_screen()
{
  auto *s = new SpellsGuiScreen;
  s->build();
  return s;
}

static SpellsGuiScreen *spells_screen()
{
  return static_cast<SpellsGuiScreen *>(gui_screen(spells_gui_screen, spells_gui_screen_Class::createScreen));
}

// ---- the entry points -----------------------------------------------------------------

void init_spells_ui()
{
  init_spell_grid();
  add_initial_spells();
  init_map_ui();
  spells_screen();
}

void close_spells_ui()
{
  if (spells_gui_screen)
    spells_gui_screen->onDestroy();
  spells_gui_screen = nullptr;
  if (map_shader)
    destroy_shader(map_shader);
  map_shader = nullptr;
  map_state.reset();
  map_markers.release();
}

void spells_ui_after_resize()
{
  // The world map is recreated with the screen targets: the state follows it.
  map_state.texture = HeightmapRenderer::mapTex;
  if (spells_gui_screen)
    spells_gui_screen->resetState();
}

void start_spell_pick_up_anim()
{
  SpellsGuiScreen *s = spells_screen();
  if (!s || spell_grid().last_picked < 0)
    return;
  s->anim_kind = spell_grid().last_picked;
  s->anim_start = gui_time;
}

// True while the interface has the mouse: the spell grid is open (Ctrl held), so the
// camera leaves the mouse alone and the pointer shows.
bool update_spells_ui_mouse()
{
  SpellsGuiScreen *s = spells_screen();
  if (!s)
    return false;
  s->grid_open = isAppActive && getKeyState(VK_CONTROL);
  if (s->grid_open)
    shouldHideMouse = false;
  return s->grid_open;
}

// Whether a click belongs to the interface (the game casts nothing then).
[[maybe_unused]] static bool spells_ui_has_mouse()
{
  return spells_gui_screen && static_cast<SpellsGuiScreen *>(spells_gui_screen)->grid_open;
}

void update_spells_ui(float dt)
{
  tick_gui_clock(dt);
  SpellsGuiScreen *s = spells_screen();
  if (!s)
    return;
  s->grid_open = isAppActive && getKeyState(VK_CONTROL);
  if (s->grid_open)
  {
    s->sync();
    s->restyle();
    s->processInput();
  }
  update_tooltip(dt);
}

void draw_spells_ui(GameMode *mode, float dt)
{
  advance_gui_clock(dt);
  SpellsGuiScreen *s = spells_screen();
  if (!s)
    return;
  gui_active_screen = s;
  if (s->grid_open)
    s->processInput();
  else
    hide_tooltip();
  s->draw(gui_batch);
  render_tooltip();
  render_gui_batch();
}

void reset_game_ui_screen()
{
  if (spells_gui_screen)
    spells_gui_screen->resetState();
  hide_tooltip();
}

void set_game_ui_screen() { gui_active_screen = spells_screen(); }
