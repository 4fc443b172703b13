// The module's side of the GUI: what its style slots mean, the property, selector and
// transition classes the sheets are made of, the interface clock and the colours.
import core.engine

#include <initializer_list>
#include "app/camera.h"
#include "ui/dist_font.h"
#include "ui/gui_behaviors.h"
#include "ui/gui_draw.h"
#include "ui/gui_screen.h"
#include "ui/gui_style.h"
#include "render/device.h"

// Every function the program binds, declared, so the interface's files can call each
// other's in any order.
#define GAMEOBJ_FUNC_DECLARE(name, ret, args) ret name args;
GAMEOBJ_FUNCS(GAMEOBJ_FUNC_DECLARE)
#undef GAMEOBJ_FUNC_DECLARE

// ---- slots ----------------------------------------------------------------------------
// Slot numbers of the module's properties. Lengths are layout units (d3d_ht * 0.001);
// colours are vec4 (r, g, b, a); the animatable slots (3..12, 14..22, 28, 30) ease
// between looks when a transition names them.
enum GuiSlot : int
{
  S_TOOLTIP = GUI_PROP_TOOLTIP, // text
  S_ALIGN = 1,                  // x: text alignment 0 centre, 1 left, 2 right
  S_LAYOUT = 2,                 // x: children 0 anchored, 1 in a column, 2 in a row, 3 in a grid
  S_BG = 3,                     // fill colour
  S_BORDER_COLOR = 4,
  S_TEXT_COLOR = 5,
  S_TEXT_OUTLINE = 6, // outline and shadow colour of the text (alpha 0: none)
  S_ICON_COLOR = 7,   // tint of the icon (white: its own colours)
  S_WIDTH = 8,        // > 0 fixed, 0 fill the parent, < 0 fit the children
  S_HEIGHT = 9,
  S_RADIUS = 10,
  S_BORDER = 11,
  S_TEXT_SIZE = 12,
  S_ICON = 13, // text: icon name
  S_OFFSET_X = 14,
  S_OFFSET_Y = 15,
  S_SHADOW = 16,   // blur of the drop shadow (0: none)
  S_SHADOW_Y = 17, // its offset down
  S_SHADOW_COLOR = 18,
  S_SCALE = 19, // drawing scale about the centre (1: none)
  S_PADDING = 20,
  S_SPACING = 21,
  S_OPACITY = 22,
  S_PRESSED = GUI_PROP_PRESSED,
  S_CHECKED = GUI_PROP_CHECKED,
  S_HOVER = GUI_PROP_HOVER,
  S_ANCHOR = 26, // (x, y) where in the parent, (z, w) which point of the element; 0..1
  S_ICON_SIZE = 27, // x: icon height in units (0: from the element's height)
  S_ACCENT = 28,    // second colour: the checked mark, a slider's fill, a bar's value
  S_GLOW_SIZE = 29, // x: glow blur in units
  S_GLOW = 30,      // glow colour around the box (alpha 0: none)
};
static_assert(S_PRESSED == 23 && S_CHECKED == 24 && S_HOVER == 25);

// ---- properties -----------------------------------------------------------------------

// Every value slot holds four floats: a colour, or a length or number in x.
class GuiValue : public BaseGuiProperty
{
public:
  vec4f v;
  GuiValue(int slot, vec4f value) : BaseGuiProperty(slot), v(value) {}
  vec4f animValue() const override { return v; }
};

static vec4f rgba(uint32_t c) { return color_to_vec4f(D3dColor(c)); }

// Property-list builders for sheets: pcol(S_BG, 0xAARRGGBB), pnum(S_WIDTH, 420) ...
static BaseGuiProperty *pcol(int slot, uint32_t c) { return new GuiValue(slot, rgba(c)); }
static BaseGuiProperty *pnum(int slot, float x) { return new GuiValue(slot, vec4f(x, 0.f, 0.f, 0.f)); }
static BaseGuiProperty *pvec(int slot, vec4f v) { return new GuiValue(slot, v); }
static BaseGuiProperty *ptext(int slot, const char *t) { return new GuiTextProperty(slot, t); }
// Behaviour names, each ended by a NUL: pbeh("solid_box\0button\0").
static BaseGuiProperty *pbeh(const char *names) { return new GuiBehaviorsProperty(names); }

// The interface clock in seconds: the game's time, so that a replayed or lockstep run
// shows its menus as they were. The updates of the interface's modes advance it
// (tick_gui_clock); each drawn frame adds how far it lies past the latest update (the
// frame's dt), so transitions and fades still move at the frame rate.
static double gui_time = 0.0;
static double gui_updates_time = 0.0;
static constexpr float GUI_MAX_FRAME_LEAD = 0.25f; // past the latest update, at most
static void tick_gui_clock(float dt)
{
  if (dt > 0.f && std::isfinite(dt))
    gui_updates_time += dt;
}
static void advance_gui_clock(float frame_dt)
{
  const float lead = std::isfinite(frame_dt) ? std::clamp(frame_dt, 0.f, GUI_MAX_FRAME_LEAD) : 0.f;
  gui_time = std::fmax(gui_time, gui_updates_time + double(lead)); // never backwards
}

// Eased change of one slot's value from the previous look to the current one.
class GuiEaseTransition : public GuiTransition
{
public:
  BaseGuiElement *elem;
  int slot;
  vec4f from;
  double start;
  float duration;

  GuiEaseTransition(BaseGuiElement *e, int s, vec4f f, float d)
    : elem(e), slot(s), from(f), start(gui_time), duration(d) {}
  float progress() const
  {
    float t = duration > 0.f ? float((gui_time - start) / duration) : 1.f;
    t = t < 0.f ? 0.f : t > 1.f ? 1.f : t;
    return 1.f - (1.f - t) * (1.f - t) * (1.f - t); // ease out (cubic)
  }
  vec4f valueTo(vec4f target) const { return lerp(from, target, progress()); }
  bool sample(vec4f &value) const override;
};

class GuiEaseSettings : public GuiTransitionSettings
{
public:
  float duration;
  explicit GuiEaseSettings(float d) : duration(d) {}
  GuiTransition *start(BaseGuiElement *e, int slot, vec4f from) const override
  {
    return new GuiEaseTransition(e, slot, from, duration);
  }
};

// A transition of the given slots (a text of slot numbers + 1; "" all) over seconds.
static BaseGuiProperty *ptrans(const char *slot_numbers, float seconds)
{
  return new GuiTransitionProperty(slot_numbers, new GuiEaseSettings(seconds));
}

// ---- selectors ------------------------------------------------------------------------

// Element states a selector can ask for.
enum GuiState : uint32_t
{
  ST_HOVER = 1,
  ST_PRESSED = 2,
  ST_CHECKED = 4,
  ST_DISABLED = 8,
};

uint32_t gui_states(const BaseGuiElement *e);
const char *gui_style_class(const BaseGuiElement *e);
const char *gui_name(const BaseGuiElement *e);

// Matches by class (getClassName), style class and name, the states required and
// forbidden, and optionally an ancestor matching another selector. Specificity as in
// CSS: a name 100, a style class or a state 10 each, a class 1, plus the ancestor's.
class GuiSel : public GuiSelector
{
public:
  const char *cls = nullptr, *style_class = nullptr, *name = nullptr;
  uint32_t need = 0, forbid = 0;
  GuiSel *ancestor = nullptr;

  ~GuiSel() override { delete ancestor; }
  GuiSel *c(const char *v) { cls = v; return this; }
  GuiSel *sc(const char *v) { style_class = v; return this; }
  GuiSel *n(const char *v) { name = v; return this; }
  GuiSel *is(uint32_t s) { need |= s; return this; }
  GuiSel *isnt(uint32_t s) { forbid |= s; return this; }
  GuiSel *in(GuiSel *a) { ancestor = a; return this; }

  // Names are literals, the same pointer when equal as a rule: compared first.
  static bool same(const char *a, const char *b) { return a == b || !strcmp(a, b); }
  bool matchSelf(const BaseGuiElement *e) const
  {
    if (cls && !same(e->getClassName(), cls))
      return false;
    if (style_class && strcmp(gui_style_class(e), style_class))
      return false;
    if (name && strcmp(gui_name(e), name))
      return false;
    if (!(need | forbid))
      return true;
    const uint32_t s = gui_states(e);
    return (s & need) == need && !(s & forbid);
  }
  bool match(const BaseGuiElement *e) const override
  {
    if (!matchSelf(e))
      return false;
    if (!ancestor)
      return true;
    for (const BaseGuiElement *p = e->parent; p; p = p->parent)
      if (ancestor->match(p))
        return true;
    return false;
  }
  int specificity() const override
  {
    int s = (name ? 100 : 0) + (style_class ? 10 : 0) + (cls ? 1 : 0);
    for (uint32_t b = need; b; b &= b - 1)
      s += 10;
    return s + (ancestor ? ancestor->specificity() : 0);
  }
};

static GuiSel *sel() { return new GuiSel(); }

// Adds a sheet: style.addSheet(selector, properties linked in the order given).
static void sheet(GuiStyle &style, GuiSel *s, std::initializer_list<BaseGuiProperty *> props)
{
  BaseGuiProperty *head = nullptr, **tail = &head;
  for (BaseGuiProperty *p : props)
  {
    *tail = p;
    tail = &p->next;
  }
  style.addSheet(s, head);
}

// ---- colours --------------------------------------------------------------------------

// The interface's palette: dark slate panels with warm gold trim, warm white text.
namespace pal
{
constexpr uint32_t PANEL = 0xD9121820, PANEL_EDGE = 0x99C9A45C, TITLE = 0xFFF3D28A;
constexpr uint32_t BUTTON = 0xE6222B38, BUTTON_HOVER = 0xF2334157, BUTTON_DOWN = 0xF2161C27;
constexpr uint32_t TRIM = 0x80C9A45C, TRIM_HOVER = 0xFFF0C878, GLOW = 0x70F0B048;
constexpr uint32_t TEXT = 0xFFF2EAD8, TEXT_HOVER = 0xFFFFF6DE, TEXT_DIM = 0xFF9AA0A8, TEXT_OFF = 0x807F858C;
constexpr uint32_t OUTLINE = 0xD0000000, SHADOW = 0x90000000;
constexpr uint32_t CHECKED = 0xF29A7A34, CHECKED_HOVER = 0xF2B48E40;
constexpr uint32_t MANA = 0xFF3C8CFF, HEALTH = 0xFFE0483C;
} // namespace pal

// A colour with its alpha scaled by op.
static D3dColor fade(vec4f c, float op) { return vec4f_to_color(vec4f(c.x, c.y, c.z, c.w * op)); }
static D3dColor fade(uint32_t c, float op) { return fade(rgba(c), op); }

// ---- text -----------------------------------------------------------------------------

// Smaller text is no longer readable, whatever the window: sizes stop here.
constexpr float MIN_TEXT_PX = 10.5f;

// Text drawn so that its first line's caps are centred vertically in rect (or the block
// of lines when there are several), aligned horizontally by align (0 centre, 1 left, 2
// right). An outline colour with alpha adds a dark rim and a soft drop shadow, which
// keeps light text readable over snow and over dark water alike.
static void draw_label_text(RenderBatch &batch, vec4f rect, int align, float size, const char *text, D3dColor color,
                            D3dColor outline)
{
  if (!text || !text[0] || size < 1.f || !default_font.size)
    return;
  size = fmaxf(size, MIN_TEXT_PX);
  int lines = 1;
  for (const char *p = text; *p; p++)
    lines += *p == '\n';
  int n;
  const vec4f box = default_font.calcTextBox(text, -1, &n);
  if (!n)
    return;
  const float s = size / float(default_font.size);
  const float lh = float(default_font.lineHeight) * s;
  const float mid = (rect.y + rect.w) * 0.5f;
  const float baseline = mid - float(lines - 1) * lh * 0.5f + 0.36f * size;
  vec4f r(rect.x, baseline + box.y * s, rect.z, rect.w);
  const bool rim = outline.a() > 0;
  const float outer = rim ? fmaxf(1.5f, fminf(size * 0.10f, 2.5f + size * 0.04f)) : 0.f;
  const float shadow = rim ? 4.f : 0.f;
  default_font.renderText(batch, r, (align == 1 ? 1 : align == 2 ? 2 : 0) | (1 << 2), color, size, text, -1, 0.f,
                          shadow, shadow, outer, outline);
}

// ---- icons ----------------------------------------------------------------------------

// The colours of each icon's layers (silhouette, then three details) as the interface
// paints them; icons not listed are drawn in one colour.
struct IconColors
{
  const char *name;
  uint32_t c0, c1, c2, c3;
};
static const IconColors icon_colors[] = {
  {"fireball", 0xFFE0501C, 0xFFFFA828, 0xFFFFF2C0, 0},
  {"waterball", 0xFF2F7FD8, 0xFF1B4FA0, 0xFFE6F6FF, 0},
  {"fault", 0xFF7D6A58, 0xFFFF7A1C, 0xFF6FAF48, 0},
  {"house", 0xFFD8C8A8, 0xFFB0483A, 0xFF4A3426, 0},
  {"meteor", 0xFFFF9A30, 0xFFFFC860, 0xFF6A5444, 0xFF3E3028},
  {"hill", 0xFF8E7256, 0xFF5FA844, 0xFFF2E6C8, 0},
  {"pit", 0xFF8E7256, 0xFF2E241C, 0xFFF2E6C8, 0},
  {"water_source", 0xFF3C92E8, 0xFFFFFFFF, 0xFFBFE4FF, 0},
  {"water_sink", 0xFF2C68B8, 0xFFFFFFFF, 0xFF8CC4F4, 0},
  {"thunderstorm", 0xFF8A94A8, 0xFFFFE04A, 0xFF6AAEFF, 0},
  {"healing", 0xFF3FBF5A, 0xFFB8F5B8, 0xFFFFF3A0, 0},
  {"lightning", 0xFFF5C830, 0xFFFFF7C8, 0, 0},
  {"castle", 0xFFB8AE9C, 0xFF3A3028, 0xFFD03A30, 0},
  {"portal", 0xFF3A1E5C, 0xFFB46CFF, 0xFFE8C8FF, 0xFFFFFFFF},
  {"mana", 0xFF2E6CE0, 0xFF8EC4FF, 0xFFFFFFFF, 0},
  {"health", 0xFFD83A34, 0xFFF06058, 0xFFFFD8D0, 0},
  {"monsters", 0xFF5A4A42, 0xFF8A3A30, 0xFFFF3A2A, 0},
  {"dot", 0xFFFFFFFF, 0xFFE0483C, 0, 0},
  {"dot_arrow", 0xFFFFE8A0, 0xFFB07820, 0, 0},
  {"mouse_left", 0xFFE8E4DC, 0xFFF0B048, 0xFF4A4A4A, 0},
  {"mouse_right", 0xFFE8E4DC, 0xFFF0B048, 0xFF4A4A4A, 0},
};

// Draws icon `name` centred at (x, y), `size` pixels high, its layer colours tinted by
// tint and faded by op; a dark rim when rim is set.
static void draw_icon(RenderBatch &batch, const char *name, float x, float y, float size, vec4f tint, float op,
                      bool rim = true, float angle_cos = 1.f, float angle_sin = 0.f)
{
  const int id = ui_icons.getIconId(name);
  const float org = ui_icons.getOrgH(id);
  if (id < 0 || org <= 0.f)
    return;
  uint32_t cs[4] = {0xFFFFFFFF, 0, 0, 0};
  for (const IconColors &c : icon_colors)
    if (!strcmp(c.name, name))
    {
      cs[0] = c.c0, cs[1] = c.c1, cs[2] = c.c2, cs[3] = c.c3;
      break;
    }
  D3dColor out[4];
  for (int i = 0; i < 4; i++)
    out[i] = fade(rgba(cs[i]) * tint, op);
  const float scale = size / org;
  ui_icons.renderIcon(batch, vec4f(x, y, angle_cos, angle_sin), scale, id, 0.f, 0.f, 0.f, rim ? 2.5f : 0.f, out[0],
                      out[1], out[2], out[3], fade(pal::OUTLINE, op * tint.w));
}
