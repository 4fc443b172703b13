// The shell's side of -autoplay: the generator's view from the game before each update,
// its inputs posted through the input layer, and what the run did in the log.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <malloc.h>
#include "autoplay.h"
#include "camera.h"
#include "core/globals.h"
#include "core/log.h"
#include "device_link.h"
#include "game_modes.h"
#include "gameobj/gameobj.h"
#include "input.h"
#include "render/screenshot.h"
#include "script/game_script.h"
#include "script/world_script.h"
#include "ui/gui_element.h"
#include "ui/gui_screen.h"
#include "world/heightmap.h"

namespace
{
Autoplay autoplay;
AutoplayView view;
bool running = false;
uint64_t spells_used = 0; // the spell kinds the player has cast (or tried to) in the run

// The module's spell classes: the player holds one object of a kind once he cast it.
struct SpellList
{
  const char *name;
  const DynArray<GameObj *> *list;
};
const SpellList spell_lists[] = {
  {"fireball", &FireballSpell_list},       {"waterball", &WaterballSpell_list},
  {"fault", &FaultSpell_list},             {"house", &HouseSpell_list},
  {"meteor", &MeteorSpell_list},           {"hill", &HillSpell_list},
  {"pit", &PitSpell_list},                 {"watersource", &WaterSourceSpell_list},
  {"watersink", &WaterSinkSpell_list},     {"thunderstorm", &ThunderstormSpell_list},
  {"healing", &HealingSpell_list},         {"lightning", &LightningSpell_list},
  {"castle", &CastleSpell_list},           {"useportal", &UsePortalSpell_list},
};

int mode_of(const GameMode *m)
{
  if (m == play_mode)
    return AUTOPLAY_PLAY;
  if (m == dev_mode)
    return AUTOPLAY_DEV;
  if (m == main_menu_mode)
    return AUTOPLAY_MAIN_MENU;
  return AUTOPLAY_MENU;
}

// The visible controls with a text, in the tree's order.
void collect_buttons(const BaseGuiElement *e, AutoplayView &v)
{
  if (!e || e->isHidden())
    return;
  const char *cls = e->getClassName();
  const bool slot = !strcmp(cls, "GuiSpellSlot");
  const bool control = slot || !strcmp(cls, "GuiButton") || !strcmp(cls, "GuiCheckbox") || !strcmp(cls, "GuiRadioButton");
  const char *text = e->getText();
  if (control && text && text[0] && v.button_count < int(sizeof(v.buttons) / sizeof(v.buttons[0])))
  {
    AutoplayButton &b = v.buttons[v.button_count++];
    snprintf(b.text, sizeof(b.text), "%s", text);
    b.x = std::round((e->x0 + e->x1) * 0.5f);
    b.y = std::round((e->y0 + e->y1) * 0.5f);
    b.enabled = e->isEnabled();
    b.spell_slot = slot;
  }
  for (const BaseGuiElement *c : e->children)
    collect_buttons(c, v);
}

// The nearest living object of the lists to at (its copy nearest to at); false when none.
bool nearest_of(std::initializer_list<const DynArray<GameObj *> *> lists, vec4f at, vec4f &out, int *count = nullptr)
{
  float best = 1e30f;
  int n = 0;
  for (const DynArray<GameObj *> *list : lists)
    for (GameObj *o : *list)
    {
      if (!o || o->isDestroyed())
        continue;
      n++;
      const vec4f p = o->getPos();
      const vec4f d(wrap_coord(p.x - at.x), p.y - at.y, wrap_coord(p.z - at.z), 0.f);
      const float dist = d.x * d.x + d.y * d.y + d.z * d.z;
      if (dist < best)
      {
        best = dist;
        out = at + d;
      }
    }
  if (count)
    *count = n;
  return n > 0;
}

// The spells on the mouse buttons: the first two spell slots of the play screen are
// the bar's left and right one.
void find_bar_spells(const BaseGuiElement *e, AutoplayView &v, int &found)
{
  if (!e || found >= 2)
    return;
  if (!strcmp(e->getClassName(), "GuiSpellSlot"))
  {
    const char *text = e->getText();
    snprintf(v.bar_spell[found], sizeof(v.bar_spell[found]), "%s", text ? text : "");
    found++;
    return;
  }
  for (const BaseGuiElement *c : e->children)
    find_bar_spells(c, v, found);
}

float rules_number(const char *name, float otherwise)
{
  float f = otherwise;
  get_game_script_number(name, &f);
  return f;
}

void fill_view(AutoplayView &v)
{
  v.mode = mode_of(cur_game_mode);
  v.pos = camera.pos;
  v.yaw = camera.yaw;
  v.pitch = camera.pitch;
  const int cx = int(std::floor(wrap_coord256(v.pos.x))), cz = int(std::floor(wrap_coord256(v.pos.z)));
  v.ground = HeightmapData::height(cx, cz) + HeightmapData::waterAt(cx, cz).depth;
  v.pickup = nearest_of({&SpellObject_list}, v.pos, v.pickup_pos);
  v.monster = nearest_of({&WyvernMonster_list, &BirdMonster_list}, v.pos, v.monster_pos, &v.monsters);
  v.portal = nearest_of({&WorldPortal_list}, v.pos, v.portal_pos);
  v.wave = int(rules_number("wave_number", 0.f));
  v.waves_on = rules_number("monster_spawn", 1.f) != 0.f;
  v.width = view_width();
  v.height = view_height();
  v.mouse_sens = v.mode == AUTOPLAY_DEV ? dev_mouse_sens : play_mouse_sens;
  BaseGuiScreen *s = gui_active_screen;
  v.screen = s ? s->getClassName() : "";
  v.button_count = 0;
  v.bar_spell[0][0] = v.bar_spell[1][0] = 0;
  if (s)
  {
    collect_buttons(s->root, v);
    int found = 0;
    if (!strcmp(v.screen, "SpellsGuiScreen"))
      find_bar_spells(s->root, v, found);
  }
}

// The stages of the game the run reaches, with their update and game time: the waves,
// the portal opening, each new island.
struct Stages
{
  int wave = 0;
  bool portal = false;
  bool portal_near = false;
  uint64_t world = 0;
  int islands = 0;
};
Stages stages;

constexpr int SHOT_DELAY = 3 * UPDATE_RATE; // a stage's picture: the wave arrived, the new island in view
bool stage_shots = false;
int shots_due[8];
int shot_count = 0;

void shoot_at(int update)
{
  if (stage_shots && shot_count < int(sizeof(shots_due) / sizeof(shots_due[0])))
    shots_due[shot_count++] = update;
}

void log_stages(const AutoplayView &v)
{
  const int u = autoplay.update;
  const float t = float(u) / float(UPDATE_RATE);
  if (last_world_seed != stages.world)
  {
    stages.islands++;
    debug("autoplay stage: update %d (%.1f s): island %d", u, t, stages.islands + 1);
    stages = Stages{0, false, false, last_world_seed, stages.islands};
    shoot_at(u + SHOT_DELAY);
  }
  if (v.wave != stages.wave && v.wave > 0)
  {
    debug("autoplay stage: update %d (%.1f s): wave %d, %d monsters", u, t, v.wave, v.monsters);
    shoot_at(u + SHOT_DELAY);
  }
  stages.wave = v.wave;
  if (v.portal && !stages.portal)
  {
    debug("autoplay stage: update %d (%.1f s): portal open", u, t);
    shoot_at(u + SHOT_DELAY);
  }
  stages.portal = v.portal;
  // Flying into it: the portal fills the view.
  const vec4f d = v.portal_pos - v.pos;
  if (v.portal && !stages.portal_near && d.x * d.x + d.y * d.y + d.z * d.z < 15.f * 15.f)
  {
    stages.portal_near = true;
    shoot_at(u);
  }
}

// Through the input layer, as the platform posts a real key or button: the held state
// first, then the event.
void post(const AutoplayInput &in)
{
  switch (in.kind)
  {
  case IEV_KEY_DOWN:
  case IEV_KEY_UP:
    set_key_held(in.key, in.kind == IEV_KEY_DOWN);
    post_input_event(in.kind, in.key, 0, 0, 0.f, 0.f);
    break;
  case IEV_MOUSE_DOWN:
  case IEV_MOUSE_UP:
    set_key_held(in.key, in.kind == IEV_MOUSE_DOWN);
    post_input_event(in.kind, in.key, 0, 0, in.x, in.y);
    break;
  case IEV_MOUSE_MOVE: post_input_event(IEV_MOUSE_MOVE, 0, 0, 0, in.x, in.y); break;
  default: break;
  }
}

// The C heap and the module's objects, for the soak's memory curve: what is allocated,
// what the allocator holds free, and what it has mapped outside its arenas.
void log_heap()
{
  const struct mallinfo2 m = mallinfo2();
  debug("autoplay heap: %zu kB in use, %zu kB free, %zu kB mapped, %d objects", m.uordblks >> 10, m.fordblks >> 10,
        m.hblkhd >> 10, GameObj_list.size());
}

void log_summary(const char *what)
{
  char acts[256] = "";
  for (int i = 0; i < AP_COUNT; i++)
  {
    const size_t n = strlen(acts);
    snprintf(acts + n, sizeof(acts) - n, "%s%s %d", i ? ", " : "", autoplay_activity_name(i), autoplay.started[i]);
  }
  char spells[256] = "";
  for (size_t i = 0; i < sizeof(spell_lists) / sizeof(spell_lists[0]); i++)
    if (spells_used >> i & 1)
    {
      const size_t n = strlen(spells);
      snprintf(spells + n, sizeof(spells) - n, " %s", spell_lists[i].name);
    }
  debug("autoplay %s: %d updates; %s; spells used:%s", what, autoplay.update, acts, spells[0] ? spells : " none");
}
} // namespace

void start_autoplay(uint64_t seed, bool shots)
{
  stage_shots = shots;
  shot_count = 0;
  shoot_at(2 * UPDATE_RATE); // the start
  autoplay_start(autoplay, seed);
  running = true;
  spells_used = 0;
  stages = Stages{0, false, false, last_world_seed, 0};
  set_generated_pointer(true);
  debug("autoplay: seed %" PRIu64, seed);
}

bool autoplay_running() { return running; }

void autoplay_update()
{
  if (!running)
    return;
  fill_view(view);
  log_stages(view);
  AutoplayInput in[AUTOPLAY_MAX_INPUTS];
  const int n = autoplay_step(autoplay, view, in);
  for (int i = 0; i < n; i++)
    post(in[i]);
  for (size_t i = 0; i < sizeof(spell_lists) / sizeof(spell_lists[0]); i++)
    if (spell_lists[i].list->size())
      spells_used |= uint64_t(1) << i;
  if (autoplay.update % 1200 == 0)
  {
    log_summary("so far");
    log_heap();
    debug("autoplay: %s, camera %.1f %.1f %.1f, yaw %.2f pitch %.2f", autoplay_activity_name(autoplay.activity),
          camera.pos.x, camera.pos.y, camera.pos.z, camera.yaw, camera.pitch);
  }
}

void autoplay_frame_drawn()
{
  if (!running)
    return;
  for (int i = 0; i < shot_count; i++)
    if (autoplay.update >= shots_due[i])
    {
      take_screenshot();
      shots_due[i--] = shots_due[--shot_count];
    }
}

void finish_autoplay()
{
  if (!running)
    return;
  AutoplayInput in[AUTOPLAY_MAX_INPUTS];
  const int n = autoplay_release_all(autoplay, in);
  for (int i = 0; i < n; i++)
    post(in[i]);
  log_summary("done");
  log_heap();
  running = false;
  set_generated_pointer(false);
}
