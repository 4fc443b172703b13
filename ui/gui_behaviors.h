#pragma once
// The program's behaviours. Each is one static instance shared by every element it is
// attached to (register_std_behaviors names them); the module may derive its own.
#include "ui/gui_element.h"

// "solid_box": makes the element a hit-test target. Children are asked first; then the
// point test of gui_point_inside. Hidden elements and their subtrees are never hit.
class ENGINE_API NewGuiHittestHandler : public NewGuiEventHandler
{
public:
  NewGuiHittestHandler() : NewGuiEventHandler(GUI_EV_HITTEST) {}
  int handle(NewGuiEvent *ev, BaseGuiElement *e, int phase) override;
  // The point check: stores e as the result and GUI_CONSUMED when inside, else
  // GUI_SKIP_CHILDREN. ev is a hit-test or tooltip event.
  int behave(BaseGuiElement *e, NewGuiEvent *ev) override;
};

// "button": hover and pressed follow the pointer; a release over the element while no
// button is held any more clicks it (click listeners with the flags, then value-click
// listeners with the checked value).
class ENGINE_API ButtonBehavior : public NewGuiEventHandler
{
public:
  ButtonBehavior() : NewGuiEventHandler(GUI_EV_ENTER | GUI_EV_LEAVE | GUI_EV_UP | GUI_EV_DOWN | GUI_EV_RESET) {}
  int handle(NewGuiEvent *ev, BaseGuiElement *e, int phase) override;
  void attach(BaseGuiElement *e) override;
  void detach(BaseGuiElement *e) override;
  // The click; ev (a NewGuiInputEvent or null) gives the flags.
  int behave(BaseGuiElement *e, NewGuiEvent *ev) override;
  void click(BaseGuiElement *e, int flags);

protected:
  static void pressChanged(BaseGuiElement *e, bool was_pressed);
};
static_assert((GUI_EV_ENTER | GUI_EV_LEAVE | GUI_EV_UP | GUI_EV_DOWN | GUI_EV_RESET) == 1264);

// "checkbox": a click inverts checked and tells the change listeners first.
class ENGINE_API CheckboxBehavior : public ButtonBehavior
{
public:
  void attach(BaseGuiElement *e) override;
  int behave(BaseGuiElement *e, NewGuiEvent *ev) override;
};

// "radio_button": a click checks the element and unchecks every sibling that has the
// same behaviour, telling each sibling's change listeners.
class ENGINE_API RadioButtonBehavior : public ButtonBehavior
{
public:
  int behave(BaseGuiElement *e, NewGuiEvent *ev) override;
};

// "tooltip_box": an element under the pointer with a tooltip text shows it through the
// module's show_tooltip; children are asked first (the hit box's walk).
class ENGINE_API TooltipBoxBehavior : public NewGuiHittestHandler
{
public:
  TooltipBoxBehavior() { mask = GUI_EV_TOOLTIP; }
  int behave(BaseGuiElement *e, NewGuiEvent *ev) override;
};

extern ENGINE_API NewGuiHittestHandler gui_hittest_box_handler;
extern ENGINE_API ButtonBehavior button_behavior;
extern ENGINE_API CheckboxBehavior checkbox_behavior;
extern ENGINE_API RadioButtonBehavior radio_button_behavior;
extern ENGINE_API TooltipBoxBehavior tooltip_box_behavior;
