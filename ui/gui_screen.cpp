// Screens: input routing, hover and capture, tooltips; the module's screen pointers,
// dropping them on unload, and the element listing of -gui-dump.
#include "ui/gui_screen.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include "core/log.h"
#include "render/device.h"
#include "ui/gui_style.h"

#define GUI_DEFINE_SCREEN(name)             \
  ENGINE_API BaseGuiScreen *name = nullptr; \
  BaseGuiScreen *(*name##_Class::createScreen)() = nullptr;
GUI_MODULE_SCREENS(GUI_DEFINE_SCREEN)
#undef GUI_DEFINE_SCREEN

ENGINE_API BaseGuiScreen *gui_active_screen = nullptr;

// Every screen alive, so that a destroyed element can be forgotten by all of them.
static DynArray<BaseGuiScreen *> live_screens;

BaseGuiScreen::BaseGuiScreen() { live_screens.push(this); }

BaseGuiScreen::~BaseGuiScreen()
{
  for (int i = 0; i < live_screens.num; i++)
    if (live_screens.ptr[i] == this)
    {
      live_screens.erase(i);
      break;
    }
  if (gui_active_screen == this)
    gui_active_screen = nullptr;
  BaseGuiElement *r = root;
  root = captured = hover = nullptr;
  delete r;
}

const char *BaseGuiScreen::getClassName() const { return "BaseGuiScreen"; }

void BaseGuiScreen::forget(const BaseGuiElement *e)
{
  if (captured == e)
    captured = nullptr;
  if (hover == e)
    hover = nullptr;
  if (root == e)
    root = nullptr;
}

void gui_forget_element(const BaseGuiElement *e)
{
  for (BaseGuiScreen *s : live_screens)
    s->forget(e);
}

void BaseGuiScreen::processInputEvent(NewGuiInputEvent &ev, BaseGuiElement *target)
{
  switch (ev.ev.kind)
  {
  case IEV_MOUSE_DOWN:
    captured = target;
    ev.type = GUI_EV_DOWN;
    break;
  case IEV_MOUSE_UP: ev.type = GUI_EV_UP; break;
  case IEV_MOUSE_MOVE: ev.type = GUI_EV_MOVE; break;
  case IEV_MOUSE_WHEEL: ev.type = GUI_EV_WHEEL; break;
  case IEV_KEY_DOWN:
  case IEV_KEY_UP: ev.type = GUI_EV_KEY; break;
  default: fatal("%s(%d): failed ASSERT(%s)", "guiRuntime", 320, "!\"unknown input event type\"");
  }
  if (target)
    gui_offer(target, &ev, 2);
}

void BaseGuiScreen::processInput()
{
  InputEvent ie;
  while (gui_hooks.get_event(ie))
  {
    BaseGuiElement *target = nullptr;
    const bool held = gui_hooks.key_held(1) || gui_hooks.key_held(2);
    if (!captured)
    {
      if (!root)
        continue;
      BaseGuiElement *p = hit_test(root, ie.x, ie.y);
      if (p != hover)
      {
        NewGuiInputEvent leave(GUI_EV_LEAVE, ie);
        send_event(&leave, hover, 2);
        hover = p;
        NewGuiInputEvent enter(GUI_EV_ENTER, ie);
        send_event(&enter, hover, 2);
      }
      target = p;
    }
    else if (held)
    {
      BaseGuiElement *q = hit_test(root, ie.x, ie.y);
      if (q != hover)
      {
        NewGuiInputEvent leave(GUI_EV_LEAVE, ie);
        send_event(&leave, hover, 2);
        hover = nullptr;
        if (q == captured)
        {
          hover = q;
          NewGuiInputEvent enter(GUI_EV_ENTER, ie);
          send_event(&enter, hover, 2);
        }
      }
      target = captured;
    }
    else
    {
      target = captured;
      captured = nullptr;
    }
    NewGuiInputEvent ev(0, ie);
    processInputEvent(ev, target);
  }

  if (!root)
    return;
  float mx, my;
  gui_hooks.mouse_pos(mx, my);
  NewGuiTooltipEvent tip(mx, my);
  const int r = gui_offer(root, &tip, 3);
  if (r == GUI_SKIP_CHILDREN)
  {
    gui_hooks.hide_tooltip();
    return;
  }
  if (r == GUI_CONSUMED)
    return;
  for (int i = 0; i < root->children.num; i++)
    if (send_event(&tip, root->children.ptr[i], 3) == GUI_CONSUMED)
      return;
  gui_hooks.hide_tooltip();
}

void BaseGuiScreen::resetState()
{
  captured = nullptr;
  if (hover)
  {
    InputEvent ie = {};
    ie.kind = IEV_MOUSE_MOVE;
    gui_hooks.mouse_pos(ie.x, ie.y);
    NewGuiInputEvent leave(GUI_EV_LEAVE, ie);
    BaseGuiElement *h = hover;
    hover = nullptr;
    send_event(&leave, h, 2);
  }
}

void BaseGuiScreen::restyle()
{
  if (style && root)
    style->restyle(root, false);
  if (root)
    root->layout(0.f, 0.f, float(d3d_wd), float(d3d_ht), float(d3d_ht) * 0.001f);
}

// ---- unloading the module -------------------------------------------------------------

void release_module_gui()
{
  // The screens' onDestroy frees them (the module's code does that, while it is still
  // loaded); nobody may reach them afterwards.
#define GUI_RELEASE_SCREEN(name)   \
  if (BaseGuiScreen *s = name)     \
  {                                \
    name = nullptr;                \
    if (gui_active_screen == s)    \
      gui_active_screen = nullptr; \
    s->onDestroy();                \
  }                                \
  name##_Class::createScreen = nullptr;
  GUI_MODULE_SCREENS(GUI_RELEASE_SCREEN)
#undef GUI_RELEASE_SCREEN
  gui_active_screen = nullptr;
  tooltip_style.removeAllSheets();
  spells_style.removeAllSheets();
  common_style.removeAllSheets();
  unregister_module_behaviors();
}

// ---- listing --------------------------------------------------------------------------

void gui_dump_line(const BaseGuiElement *e, char *out, int size)
{
  char states[64] = "";
  const struct
  {
    bool on;
    const char *name;
  } st[] = {
    {e->isHover(), "hover"}, {e->isPressed(), "pressed"}, {e->isChecked(), "checked"}, {!e->isEnabled(), "disabled"}};
  for (const auto &s : st)
    if (s.on)
    {
      strcat(states, " ");
      strcat(states, s.name);
    }
  snprintf(out, size_t(size), "%s '%s' %ld,%ld,%ld,%ld%s", e->getClassName(), e->getText(), lrintf(e->x0),
           lrintf(e->y0), lrintf(e->x1), lrintf(e->y1), states);
}

static void dump_element(const BaseGuiElement *e, int depth)
{
  char line[512];
  gui_dump_line(e, line, sizeof(line));
  debug("%*s%s", depth * 2, "", line);
  for (const BaseGuiElement *c : e->children)
    dump_element(c, depth + 1);
}

void gui_dump_tree(const BaseGuiElement *root)
{
  if (root)
    dump_element(root, 0);
}
