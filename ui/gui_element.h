#pragma once
// The GUI runtime's retained tree: elements with style property slots, typed events
// routed through the tree in four ways, and pluggable event handlers (behaviours)
// attached to elements by name. The game-object module derives its widgets and screens
// from these classes; the program owns the routing, the behaviours it registers and the
// style cascade (gui_style.h).
//
// Coordinates are screen pixels, y downwards. An element's rectangle is (x0, y0, x1, y1);
// a point is inside when x0 < x <= x1 and y0 < y <= y1 (left and top edges outside).
#include <cstdint>
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "core/input_event.h"
#include "core/vec4f.h"
#include "gameobj/base_object.h"

class BaseGuiElement;
class RenderBatch;

// ---- property slots -------------------------------------------------------------------

// Every element has this many style slots (style texts number them 1..31).
constexpr int NUM_GUI_PROPS = 31;
// Slots the runtime itself reads or writes; the module gives the others their meaning.
enum : int
{
  GUI_PROP_TOOLTIP = 0,  // GuiTextProperty
  GUI_PROP_PRESSED = 23, // GuiProperty<bool>
  GUI_PROP_CHECKED = 24,
  GUI_PROP_HOVER = 25,
};
// Property indices that are not slots.
constexpr int GUI_PROP_BEHAVIORS = -1;  // GuiBehaviorsProperty
constexpr int GUI_PROP_TRANSITION = -2; // GuiTransitionProperty

// Slots whose values may animate: 3..12, 14..22, 28 and 30.
constexpr bool gui_prop_animatable(int slot)
{
  return (slot >= 3 && slot <= 12) || (slot >= 14 && slot <= 22) || slot == 28 || slot == 30;
}

// A style property: one value for one slot (or a behaviour list / transition), linked
// into a list: a sheet's properties or an element's own properties.
class ENGINE_API BaseGuiProperty
{
public:
  BaseGuiProperty *next = nullptr;
  int index; // slot 0..30, GUI_PROP_BEHAVIORS or GUI_PROP_TRANSITION

  explicit BaseGuiProperty(int slot) : index(slot) {}
  BaseGuiProperty(const BaseGuiProperty &) = delete;
  BaseGuiProperty &operator=(const BaseGuiProperty &) = delete;
  virtual ~BaseGuiProperty();
  // The value as four floats, for style snapshots and transitions (a colour as r, g, b,
  // a in [0, 1], a length or factor in x). The base has no value: zero.
  virtual vec4f animValue() const;
};

template <class T>
class ENGINE_API GuiProperty : public BaseGuiProperty
{
public:
  T value;
  GuiProperty(int slot, const T &v) : BaseGuiProperty(slot), value(v) {}
};
extern template class GuiProperty<bool>; // the pressed, checked and hover slots

// A text of up to 256 characters (the tooltip of slot 0, and any text slot the module
// defines); longer texts are cut.
class ENGINE_API GuiTextProperty : public BaseGuiProperty
{
public:
  char text[257];
  GuiTextProperty(int slot, const char *t);
  void set(const char *t);
};

// Behaviour names to attach: NUL-terminated names, ended by an empty name ("a\0b\0\0").
class ENGINE_API GuiBehaviorsProperty : public BaseGuiProperty
{
public:
  char *names; // owned copy, ends with two NULs
  explicit GuiBehaviorsProperty(const char *list);
  ~GuiBehaviorsProperty() override;
};

// A running animation of one slot's value, made by a GuiTransitionSettings when a
// restyle changes an element's look. Timing and easing are the settings' own.
class ENGINE_API GuiTransition
{
public:
  virtual ~GuiTransition();
  // The value shown now, if the transition knows it: a restyle during a running
  // transition then starts the next one from there instead of jumping.
  virtual bool sample(vec4f &value) const;
};

class ENGINE_API GuiTransitionSettings
{
public:
  virtual ~GuiTransitionSettings();
  // A transition of `slot` of e starting from the look's previous value.
  virtual GuiTransition *start(BaseGuiElement *e, int slot, vec4f from) const = 0;
};

// Which slots animate and how: slots is a text of slot numbers, each a byte from 1 to
// 31 (slot index + 1); an empty text means every slot. Owns its settings.
class ENGINE_API GuiTransitionProperty : public BaseGuiProperty
{
public:
  char slots[NUM_GUI_PROPS + 1];
  GuiTransitionSettings *settings;
  GuiTransitionProperty(const char *slot_numbers, GuiTransitionSettings *s);
  ~GuiTransitionProperty() override;
};

// ---- events ---------------------------------------------------------------------------

enum : uint32_t
{
  GUI_EV_HITTEST = 2,
  GUI_EV_KEY = 4,
  GUI_EV_ENTER = 16,
  GUI_EV_LEAVE = 32,
  GUI_EV_UP = 64,
  GUI_EV_DOWN = 128,
  GUI_EV_MOVE = 256,
  GUI_EV_WHEEL = 512,
  GUI_EV_RESET = 1024,
  GUI_EV_TOOLTIP = 2048,
};

// Results of NewGuiEventHandler::handle and send_event.
enum : int
{
  GUI_NOT_CONSUMED = 0,
  GUI_CONSUMED = 1,
  GUI_SKIP_CHILDREN = 2, // stop descending into this element (tree walks)
};

class ENGINE_API NewGuiEvent
{
public:
  uint32_t type;
  explicit NewGuiEvent(uint32_t t) : type(t) {}
  virtual ~NewGuiEvent();
};

class ENGINE_API NewGuiHittestEvent : public NewGuiEvent
{
public:
  float x, y;
  BaseGuiElement *result = nullptr;
  NewGuiHittestEvent(float px, float py) : NewGuiEvent(GUI_EV_HITTEST), x(px), y(py) {}
};

// Keyboard and mouse events: the input event as recorded, retyped by the routing.
class ENGINE_API NewGuiInputEvent : public NewGuiEvent
{
public:
  InputEvent ev;
  NewGuiInputEvent(uint32_t t, const InputEvent &e) : NewGuiEvent(t), ev(e) {}
};

class ENGINE_API NewGuiTooltipEvent : public NewGuiEvent
{
public:
  float x, y;
  NewGuiTooltipEvent(float px, float py) : NewGuiEvent(GUI_EV_TOOLTIP), x(px), y(py) {}
};

// ---- behaviours -----------------------------------------------------------------------

// An event handler that elements share. mask: the event types it wants.
class ENGINE_API NewGuiEventHandler
{
public:
  uint32_t mask;
  explicit NewGuiEventHandler(uint32_t m) : mask(m) {}
  // GUI_NOT_CONSUMED, GUI_CONSUMED or GUI_SKIP_CHILDREN. phase: the send_event mode.
  virtual int handle(NewGuiEvent *ev, BaseGuiElement *e, int phase) = 0;
  // Called when the handler is added to / removed from an element.
  virtual void attach(BaseGuiElement *e);
  virtual void detach(BaseGuiElement *e);
  // The behaviour's own operation: the hit check of a hit box (GUI_CONSUMED or
  // GUI_SKIP_CHILDREN), the click of a button (ev carries the flags; may be null).
  virtual int behave(BaseGuiElement *e, NewGuiEvent *ev);
  virtual ~NewGuiEventHandler();
};

// A callback the module hangs on an element. arg: the event flags for clicks, the
// checked value (0 or 1) for value clicks and changes, 0 for press begin and end.
struct GuiListener
{
  void (*fn)(BaseGuiElement *e, int arg, void *user);
  void *user;
};

// ---- elements -------------------------------------------------------------------------

class ENGINE_API BaseGuiElement : public BaseObject
{
public:
  BaseGuiElement *parent = nullptr;
  DynArray<BaseGuiElement *> children;     // drawing order; owned
  DynArray<NewGuiEventHandler *> handlers; // each at most once
  uint32_t eventMask = 0;                  // union of the handlers' masks
  // Slot values: a property pointer, bit 0 set for an own property (set on the element,
  // never replaced by a sheet), null when unset.
  uintptr_t props[NUM_GUI_PROPS] = {};
  GuiTransition *transitions[NUM_GUI_PROPS] = {}; // running, owned
  BaseGuiProperty *ownProps = nullptr;            // owned, linked through next
  bool dirty = true;                              // needs a restyle
  float x0 = 0.f, y0 = 0.f, x1 = 0.f, y1 = 0.f;   // set by layout
  DynArray<GuiListener> pressBeginListeners, pressEndListeners, clickListeners, valueClickListeners, changeListeners;

  BaseGuiElement() = default;
  // Deletes the children, the own properties and the transitions; screens forget it.
  ~BaseGuiElement() override;
  // Takes the element out of its parent (its subtree goes with it when it is freed).
  void onDestroy() override;
  const char *getClassName() const override;

  // Queries the runtime uses; the module's classes override them.
  virtual bool isEnabled() const { return true; }
  virtual bool isHidden() const { return false; }
  // Places the element in the rectangle its parent gives it; unit = pixels per layout
  // unit (d3d_ht * 0.001 for a screen's root). The base fills the rectangle and gives
  // every child the same.
  virtual void layout(float px0, float py0, float px1, float py1, float unit);
  // The element's own text (a label's, a button's caption), "" if none.
  virtual const char *getText() const { return ""; }
  // The value of an unset slot, for style snapshots.
  virtual vec4f defaultPropValue(int slot) const;

  // The slot's property (mark removed), null if unset.
  BaseGuiProperty *prop(int slot) const { return reinterpret_cast<BaseGuiProperty *>(props[slot] & ~uintptr_t(1)); }
  bool isOwnProp(int slot) const { return (props[slot] & 1) != 0; }
  // Sets p (index = a slot) as an own property, replacing and deleting an own one of the
  // same slot; the element takes ownership. Marks the element and its parent dirty.
  void setOwnProp(BaseGuiProperty *p);
  // The own boolean of a slot (false when unset).
  bool getBool(int slot) const { return isOwnProp(slot) && static_cast<const GuiProperty<bool> *>(prop(slot))->value; }
  // Stores an own GuiProperty<bool> (created on first use, changed in place after);
  // a change marks the element and its parent dirty unless mark_dirty is false.
  void setBool(int slot, bool v, bool mark_dirty = true);
  bool isPressed() const { return getBool(GUI_PROP_PRESSED); }
  bool isChecked() const { return getBool(GUI_PROP_CHECKED); }
  bool isHover() const { return getBool(GUI_PROP_HOVER); }
  void setPressed(bool v, bool mark_dirty = true) { setBool(GUI_PROP_PRESSED, v, mark_dirty); }
  void setChecked(bool v, bool mark_dirty = true) { setBool(GUI_PROP_CHECKED, v, mark_dirty); }
  void setHover(bool v, bool mark_dirty = true) { setBool(GUI_PROP_HOVER, v, mark_dirty); }
  // The tooltip text (slot 0), "" if none.
  const char *getTooltip() const;
  void setTooltip(const char *text);
  void markDirty();

  // Adds the handler unless present (returns its index), calls its attach and ORs its
  // mask into the event mask.
  int addHandler(NewGuiEventHandler *h);
  // The same by registered name; false when the name is not registered.
  bool addHandler(const char *name);
  void removeHandler(NewGuiEventHandler *h);
  bool hasHandler(const NewGuiEventHandler *h) const;

  // Appends c (which must have no parent) as the last child.
  void addChild(BaseGuiElement *c);
  // Takes c out of the children without deleting it.
  void removeChild(BaseGuiElement *c);

  static void fire(const DynArray<GuiListener> &list, BaseGuiElement *e, int arg);
  static void addListener(DynArray<GuiListener> &list, void (*fn)(BaseGuiElement *, int, void *), void *user);
};

// The module's elements derive from this one: what every widget can be asked by the
// module's own screens.
class ENGINE_API GuiElement : public BaseGuiElement
{
public:
  const char *getClassName() const override;
  // Records the element's quads into the batch; the base draws the children in order.
  virtual void draw(RenderBatch &batch);
};

// ---- routing --------------------------------------------------------------------------

// Offers the event to the element's handlers whose mask holds its type, in order; the
// first non-zero result.
ENGINE_API int gui_offer(BaseGuiElement *e, NewGuiEvent *ev, int phase);
// mode 0: the ancestors from the root (or stop_at) down, then the element; mode 1: the
// element, then up through its parents until stop_at was offered; mode 2: the element
// only; mode 3: its subtree depth first (GUI_SKIP_CHILDREN skips an element's children).
ENGINE_API int send_event(NewGuiEvent *ev, BaseGuiElement *e, int mode, BaseGuiElement *stop_at = nullptr);
// The element under the point: hit boxes prefer children over their parent and earlier
// children over later ones.
ENGINE_API BaseGuiElement *hit_test(BaseGuiElement *root, float x, float y);
// The point test of hit boxes: x0 < x <= x1 and y0 < y <= y1.
inline bool gui_point_inside(const BaseGuiElement *e, float x, float y)
{
  return e->x0 < x && x <= e->x1 && e->y0 < y && y <= e->y1;
}

// ---- the behaviour registry -----------------------------------------------------------

// Adds the pair unless the name is registered already (the first registration wins).
ENGINE_API void register_behavior(NewGuiEventHandler *h, const char *name);
ENGINE_API NewGuiEventHandler *get_behavior(const char *name);
// "solid_box", "button", "checkbox", "radio_button" and "tooltip_box", each only if the
// name is free.
ENGINE_API void register_std_behaviors();
// Drops every registration that is not one of the program's own behaviours (the
// module's handlers go away with its code).
ENGINE_API void unregister_module_behaviors();
// Clicks the element as its button-like behaviour would (keyboard activation); false
// when it has none or is disabled.
ENGINE_API bool gui_click(BaseGuiElement *e, int flags);

// What the GUI reaches above it: input and the module's tooltip functions. Each entry
// has a harmless default, so the runtime works (quietly) before anything is installed.
struct GuiHooks
{
  bool (*get_event)(InputEvent &ev) = [](InputEvent &) { return false; };
  bool (*key_held)(int key) = [](int) { return false; };
  void (*mouse_pos)(float &x, float &y) = [](float &x, float &y) { x = y = 0.f; };
  void (*show_tooltip)(const char *text) = [](const char *) {};
  void (*hide_tooltip)() = [] {};
};
extern ENGINE_API GuiHooks gui_hooks;
