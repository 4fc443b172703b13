// The program's behaviours: hit boxes, buttons, checkboxes, radio buttons and tooltip
// boxes.
#include "ui/gui_behaviors.h"

ENGINE_API NewGuiHittestHandler gui_hittest_box_handler;
ENGINE_API ButtonBehavior button_behavior;
ENGINE_API CheckboxBehavior checkbox_behavior;
ENGINE_API RadioButtonBehavior radio_button_behavior;
ENGINE_API TooltipBoxBehavior tooltip_box_behavior;

namespace
{
// The point of a hit-test or tooltip event.
bool event_point(const NewGuiEvent *ev, float &x, float &y)
{
  if (ev->type == GUI_EV_HITTEST)
  {
    auto *h = static_cast<const NewGuiHittestEvent *>(ev);
    x = h->x, y = h->y;
    return true;
  }
  if (ev->type == GUI_EV_TOOLTIP)
  {
    auto *t = static_cast<const NewGuiTooltipEvent *>(ev);
    x = t->x, y = t->y;
    return true;
  }
  return false;
}

// Children first, in order: GUI_CONSUMED as soon as one consumed the event.
bool children_consume(NewGuiEvent *ev, BaseGuiElement *e, int phase)
{
  for (int i = 0; i < e->children.num; i++)
    if (send_event(ev, e->children.ptr[i], phase) == GUI_CONSUMED)
      return true;
  return false;
}

constexpr int HELD_BUTTONS = IEF_LBUTTON | IEF_RBUTTON;
} // namespace

// ---- hit boxes ------------------------------------------------------------------------

// Also the tooltip boxes' walk: only the event type (the mask) and the check differ.
int NewGuiHittestHandler::handle(NewGuiEvent *ev, BaseGuiElement *e, int phase)
{
  if (!(ev->type & mask))
    return GUI_NOT_CONSUMED;
  // A hidden element hides its subtree too: its children are not hit either.
  if (e->isHidden())
    return GUI_SKIP_CHILDREN;
  if (children_consume(ev, e, phase))
    return GUI_CONSUMED;
  return behave(e, ev);
}

int NewGuiHittestHandler::behave(BaseGuiElement *e, NewGuiEvent *ev)
{
  float x, y;
  if (!ev || !event_point(ev, x, y) || !gui_point_inside(e, x, y))
    return GUI_SKIP_CHILDREN;
  if (ev->type == GUI_EV_HITTEST)
    static_cast<NewGuiHittestEvent *>(ev)->result = e;
  return GUI_CONSUMED;
}

// ---- buttons --------------------------------------------------------------------------

void ButtonBehavior::pressChanged(BaseGuiElement *e, bool was_pressed)
{
  const bool now = e->isPressed();
  if (now == was_pressed)
    return;
  BaseGuiElement::fire(now ? e->pressBeginListeners : e->pressEndListeners, e, 0);
}

int ButtonBehavior::handle(NewGuiEvent *ev, BaseGuiElement *e, int)
{
  if (ev->type == GUI_EV_RESET)
  {
    const bool was = e->isPressed();
    e->setPressed(false);
    e->setHover(false);
    if (was)
      BaseGuiElement::fire(e->pressEndListeners, e, 0);
    return GUI_NOT_CONSUMED;
  }
  if (!e->isEnabled())
    return GUI_NOT_CONSUMED;
  const InputEvent &ie = static_cast<NewGuiInputEvent *>(ev)->ev;
  const bool was = e->isPressed();
  switch (ev->type)
  {
  case GUI_EV_ENTER:
    e->setPressed((ie.flags & HELD_BUTTONS) != 0);
    e->setHover(true);
    break;
  case GUI_EV_LEAVE:
    e->setPressed(false);
    e->setHover(false);
    break;
  case GUI_EV_DOWN: e->setPressed(true); break;
  case GUI_EV_UP:
  {
    const bool held = (ie.flags & HELD_BUTTONS) != 0;
    const bool inside = hit_test(e, ie.x, ie.y) == e;
    e->setPressed(held);
    e->setHover(inside);
    if (!held && inside)
      behave(e, ev);
    break;
  }
  default: return GUI_NOT_CONSUMED;
  }
  pressChanged(e, was);
  return GUI_CONSUMED;
}

void ButtonBehavior::attach(BaseGuiElement *e)
{
  e->setPressed(false);
  e->setHover(false);
}

void ButtonBehavior::detach(BaseGuiElement *e)
{
  const bool was = e->isPressed();
  e->setPressed(false);
  e->setHover(false);
  if (was)
    BaseGuiElement::fire(e->pressEndListeners, e, 0);
}

void ButtonBehavior::click(BaseGuiElement *e, int flags)
{
  BaseGuiElement::fire(e->clickListeners, e, flags);
  BaseGuiElement::fire(e->valueClickListeners, e, e->isChecked() ? 1 : 0);
}

int ButtonBehavior::behave(BaseGuiElement *e, NewGuiEvent *ev)
{
  const int flags = ev && ev->type != GUI_EV_HITTEST && ev->type != GUI_EV_TOOLTIP && ev->type != GUI_EV_RESET
                      ? static_cast<NewGuiInputEvent *>(ev)->ev.flags
                      : 0;
  click(e, flags);
  return GUI_CONSUMED;
}

void CheckboxBehavior::attach(BaseGuiElement *e)
{
  ButtonBehavior::attach(e);
  e->setChecked(e->isChecked());
}

int CheckboxBehavior::behave(BaseGuiElement *e, NewGuiEvent *ev)
{
  e->setChecked(!e->isChecked());
  BaseGuiElement::fire(e->changeListeners, e, e->isChecked() ? 1 : 0);
  return ButtonBehavior::behave(e, ev);
}

int RadioButtonBehavior::behave(BaseGuiElement *e, NewGuiEvent *ev)
{
  e->setChecked(true);
  if (BaseGuiElement *p = e->parent)
  {
    // The siblings' states first, then their change listeners, so that every listener
    // sees the group settled.
    DynArray<BaseGuiElement *> group;
    for (BaseGuiElement *s : p->children)
      if (s->hasHandler(this))
      {
        s->setChecked(s == e);
        group.push(s);
      }
    for (BaseGuiElement *s : group)
      BaseGuiElement::fire(s->changeListeners, s, s->isChecked() ? 1 : 0);
  }
  else
    BaseGuiElement::fire(e->changeListeners, e, 1);
  return ButtonBehavior::behave(e, ev);
}

// ---- tooltip boxes --------------------------------------------------------------------

int TooltipBoxBehavior::behave(BaseGuiElement *e, NewGuiEvent *ev)
{
  float x, y;
  const char *text = e->getTooltip();
  if (!text[0] || !ev || !event_point(ev, x, y) || !gui_point_inside(e, x, y))
    return GUI_SKIP_CHILDREN;
  gui_hooks.show_tooltip(text);
  return GUI_CONSUMED;
}
