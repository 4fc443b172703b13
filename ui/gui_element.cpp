// The GUI tree: properties, elements, event routing, hit tests and the behaviour
// registry.
#include <cstdio>
#include <cstring>
#include "core/log.h"
#include "core/mem.h"
#include "ui/gui_behaviors.h"
#include "ui/gui_screen.h"

ENGINE_API GuiHooks gui_hooks;

// ---- properties -----------------------------------------------------------------------

BaseGuiProperty::~BaseGuiProperty() = default;
vec4f BaseGuiProperty::animValue() const { return vec4f(0.f); }

template class GuiProperty<bool>;

GuiTextProperty::GuiTextProperty(int slot, const char *t) : BaseGuiProperty(slot) { set(t); }
void GuiTextProperty::set(const char *t) { snprintf(text, sizeof(text), "%s", t ? t : ""); }

GuiBehaviorsProperty::GuiBehaviorsProperty(const char *list) : BaseGuiProperty(GUI_PROP_BEHAVIORS)
{
  size_t n = 0;
  if (list)
    while (list[n])
      n += strlen(list + n) + 1;
  names = static_cast<char *>(dlmalloc(n + 2));
  ASSERT(names);
  if (n)
    memcpy(names, list, n);
  names[n] = names[n + 1] = 0;
}

GuiBehaviorsProperty::~GuiBehaviorsProperty() { dlfree(names); }

GuiTransition::~GuiTransition() = default;
bool GuiTransition::sample(vec4f &) const { return false; }
GuiTransitionSettings::~GuiTransitionSettings() = default;

GuiTransitionProperty::GuiTransitionProperty(const char *slot_numbers, GuiTransitionSettings *s)
    : BaseGuiProperty(GUI_PROP_TRANSITION), settings(s)
{
  snprintf(slots, sizeof(slots), "%s", slot_numbers ? slot_numbers : "");
}

GuiTransitionProperty::~GuiTransitionProperty() { delete settings; }

// ---- events and handlers --------------------------------------------------------------

NewGuiEvent::~NewGuiEvent() = default;
NewGuiEventHandler::~NewGuiEventHandler() = default;
void NewGuiEventHandler::attach(BaseGuiElement *) {}
void NewGuiEventHandler::detach(BaseGuiElement *) {}
int NewGuiEventHandler::behave(BaseGuiElement *, NewGuiEvent *) { return GUI_NOT_CONSUMED; }

// ---- elements -------------------------------------------------------------------------

BaseGuiElement::~BaseGuiElement()
{
  gui_forget_element(this);
  for (BaseGuiElement *c : children)
  {
    c->parent = nullptr;
    delete c;
  }
  children.release();
  if (parent)
    parent->removeChild(this);
  for (GuiTransition *&t : transitions)
  {
    delete t;
    t = nullptr;
  }
  while (ownProps)
  {
    BaseGuiProperty *n = ownProps->next;
    delete ownProps;
    ownProps = n;
  }
}

void BaseGuiElement::onDestroy()
{
  gui_forget_element(this);
  if (parent)
    parent->removeChild(this);
}

const char *BaseGuiElement::getClassName() const { return "BaseGuiElement"; }

void BaseGuiElement::layout(float px0, float py0, float px1, float py1, float unit)
{
  x0 = px0, y0 = py0, x1 = px1, y1 = py1;
  for (BaseGuiElement *c : children)
    c->layout(px0, py0, px1, py1, unit);
}

vec4f BaseGuiElement::defaultPropValue(int) const { return vec4f(0.f); }

void BaseGuiElement::markDirty()
{
  dirty = true;
  if (parent)
    parent->dirty = true;
}

void BaseGuiElement::setOwnProp(BaseGuiProperty *p)
{
  ASSERT(p && p->index >= 0 && p->index < NUM_GUI_PROPS);
  const int slot = p->index;
  if (isOwnProp(slot))
  {
    BaseGuiProperty *old = prop(slot);
    for (BaseGuiProperty **link = &ownProps; *link; link = &(*link)->next)
      if (*link == old)
      {
        *link = old->next;
        break;
      }
    delete old;
  }
  p->next = ownProps;
  ownProps = p;
  props[slot] = reinterpret_cast<uintptr_t>(p) | 1;
  markDirty();
}

void BaseGuiElement::setBool(int slot, bool v, bool mark_dirty)
{
  if (isOwnProp(slot))
  {
    auto *p = static_cast<GuiProperty<bool> *>(prop(slot));
    if (p->value == v)
      return;
    p->value = v;
  }
  else
  {
    auto *p = new GuiProperty<bool>(slot, v);
    p->next = ownProps;
    ownProps = p;
    props[slot] = reinterpret_cast<uintptr_t>(p) | 1;
  }
  if (mark_dirty)
    markDirty();
}

const char *BaseGuiElement::getTooltip() const
{
  const BaseGuiProperty *p = prop(GUI_PROP_TOOLTIP);
  return p ? static_cast<const GuiTextProperty *>(p)->text : "";
}

void BaseGuiElement::setTooltip(const char *text)
{
  if (isOwnProp(GUI_PROP_TOOLTIP))
    static_cast<GuiTextProperty *>(prop(GUI_PROP_TOOLTIP))->set(text);
  else
    setOwnProp(new GuiTextProperty(GUI_PROP_TOOLTIP, text));
}

int BaseGuiElement::addHandler(NewGuiEventHandler *h)
{
  for (int i = 0; i < handlers.num; i++)
    if (handlers.ptr[i] == h)
      return i;
  const int at = handlers.push(h);
  h->attach(this);
  eventMask |= h->mask;
  return at;
}

bool BaseGuiElement::addHandler(const char *name)
{
  NewGuiEventHandler *h = get_behavior(name);
  if (!h)
    return false;
  addHandler(h);
  return true;
}

void BaseGuiElement::removeHandler(NewGuiEventHandler *h)
{
  for (int i = 0; i < handlers.num; i++)
    if (handlers.ptr[i] == h)
    {
      handlers.erase(i);
      h->detach(this);
      eventMask = 0;
      for (NewGuiEventHandler *o : handlers)
        eventMask |= o->mask;
      return;
    }
}

bool BaseGuiElement::hasHandler(const NewGuiEventHandler *h) const
{
  for (const NewGuiEventHandler *o : handlers)
    if (o == h)
      return true;
  return false;
}

void BaseGuiElement::addChild(BaseGuiElement *c)
{
  ASSERT(c && !c->parent && c != this);
  c->parent = this;
  children.push(c);
  dirty = true;
}

void BaseGuiElement::removeChild(BaseGuiElement *c)
{
  for (int i = 0; i < children.num; i++)
    if (children.ptr[i] == c)
    {
      children.erase(i);
      c->parent = nullptr;
      dirty = true;
      return;
    }
}

void BaseGuiElement::fire(const DynArray<GuiListener> &list, BaseGuiElement *e, int arg)
{
  // A listener may add listeners (or rebuild the screen); walk a copy.
  DynArray<GuiListener> copy(list);
  for (const GuiListener &l : copy)
    l.fn(e, arg, l.user);
}

void BaseGuiElement::addListener(DynArray<GuiListener> &list, void (*fn)(BaseGuiElement *, int, void *), void *user)
{
  list.push(GuiListener{fn, user});
}

const char *GuiElement::getClassName() const { return "GuiElement"; }

void GuiElement::draw(RenderBatch &batch)
{
  for (BaseGuiElement *c : children)
    if (auto *g = dynamic_cast<GuiElement *>(c); g && !g->isHidden())
      g->draw(batch);
}

// ---- routing --------------------------------------------------------------------------

int gui_offer(BaseGuiElement *e, NewGuiEvent *ev, int phase)
{
  if (!(e->eventMask & ev->type))
    return GUI_NOT_CONSUMED;
  // A handler may remove handlers from e (a rebuild): walk a copy.
  NewGuiEventHandler *local[8];
  const int n = e->handlers.num;
  DynArray<NewGuiEventHandler *> heap;
  NewGuiEventHandler **hs = local;
  if (n > 8)
  {
    heap = e->handlers;
    hs = heap.ptr;
  }
  else
    memcpy(local, e->handlers.ptr, sizeof(NewGuiEventHandler *) * size_t(n));
  for (int i = 0; i < n; i++)
    if (hs[i]->mask & ev->type)
      if (int r = hs[i]->handle(ev, e, phase))
        return r;
  return GUI_NOT_CONSUMED;
}

int send_event(NewGuiEvent *ev, BaseGuiElement *e, int mode, BaseGuiElement *stop_at)
{
  if (!e)
    return GUI_NOT_CONSUMED;
  switch (mode)
  {
  case 0:
    if (e != stop_at && e->parent)
      if (int r = send_event(ev, e->parent, 0, stop_at))
        return r;
    return gui_offer(e, ev, 0);
  case 1:
    for (BaseGuiElement *p = e; p; p = p->parent)
    {
      if (int r = gui_offer(p, ev, 1))
        return r;
      if (p == stop_at)
        break;
    }
    return GUI_NOT_CONSUMED;
  case 2: return gui_offer(e, ev, 2);
  case 3:
  {
    const int r = gui_offer(e, ev, 3);
    if (r == GUI_SKIP_CHILDREN)
      return GUI_NOT_CONSUMED;
    if (r)
      return r;
    for (int i = 0; i < e->children.num; i++)
      if (int cr = send_event(ev, e->children.ptr[i], 3, stop_at))
        return cr;
    return GUI_NOT_CONSUMED;
  }
  default: return GUI_NOT_CONSUMED;
  }
}

BaseGuiElement *hit_test(BaseGuiElement *root, float x, float y)
{
  NewGuiHittestEvent ev(x, y);
  if (root && gui_offer(root, &ev, 3) == GUI_NOT_CONSUMED)
    for (int i = 0; i < root->children.num; i++)
      if (send_event(&ev, root->children.ptr[i], 3))
        break;
  return ev.result;
}

// ---- registry -------------------------------------------------------------------------

namespace
{
struct BehaviorEntry
{
  char name[64];
  NewGuiEventHandler *handler;
  bool program_own; // registered by register_std_behaviors
};
DynArray<BehaviorEntry> behaviors;
bool registering_std = false;
} // namespace

void register_behavior(NewGuiEventHandler *h, const char *name)
{
  if (!h || !name || get_behavior(name))
    return;
  BehaviorEntry e;
  snprintf(e.name, sizeof(e.name), "%s", name);
  e.handler = h;
  e.program_own = registering_std;
  behaviors.push(e);
}

NewGuiEventHandler *get_behavior(const char *name)
{
  if (!name)
    return nullptr;
  for (const BehaviorEntry &e : behaviors)
    if (!strcmp(e.name, name))
      return e.handler;
  return nullptr;
}

void register_std_behaviors()
{
  registering_std = true;
  register_behavior(&gui_hittest_box_handler, "solid_box");
  register_behavior(&button_behavior, "button");
  register_behavior(&checkbox_behavior, "checkbox");
  register_behavior(&radio_button_behavior, "radio_button");
  register_behavior(&tooltip_box_behavior, "tooltip_box");
  registering_std = false;
}

void unregister_module_behaviors()
{
  for (int i = behaviors.num - 1; i >= 0; i--)
    if (!behaviors.ptr[i].program_own)
      behaviors.erase(i);
}

bool gui_click(BaseGuiElement *e, int flags)
{
  if (!e || !e->isEnabled())
    return false;
  for (NewGuiEventHandler *h : e->handlers)
    if (auto *b = dynamic_cast<ButtonBehavior *>(h))
    {
      InputEvent ie = {};
      ie.kind = IEV_MOUSE_UP;
      ie.key = 1;
      ie.flags = flags;
      NewGuiInputEvent ev(GUI_EV_UP, ie);
      b->behave(e, &ev);
      return true;
    }
  return false;
}
