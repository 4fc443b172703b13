#pragma once
// Elements, a fake input queue and helpers for the GUI runtime tests.
#include <deque>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "ui/gui_behaviors.h"
#include "ui/gui_screen.h"
#include "ui/gui_style.h"

namespace guitest
{
struct Elem : GuiElement
{
  std::string name;
  bool enabled = true, hidden = false;
  explicit Elem(const char *n = "") : name(n) {}
  bool isEnabled() const override { return enabled; }
  bool isHidden() const override { return hidden; }
  const char *getText() const override { return name.c_str(); }
  const char *getClassName() const override { return "Elem"; }
};

// An element with a rectangle and the given behaviours, appended to parent.
inline Elem *add(BaseGuiElement *parent, const char *name, float x0, float y0, float x1, float y1,
                 std::initializer_list<NewGuiEventHandler *> hs = {&gui_hittest_box_handler})
{
  auto *e = new Elem(name);
  e->x0 = x0, e->y0 = y0, e->x1 = x1, e->y1 = y1;
  for (NewGuiEventHandler *h : hs)
    e->addHandler(h);
  if (parent)
    parent->addChild(e);
  return e;
}

// The input the hooks hand to screens: a queue, the held buttons and the mouse.
struct FakeInput
{
  std::deque<InputEvent> queue;
  bool held[8] = {};
  float mx = 0, my = 0;
  std::string tooltip;
  int hides = 0;
};
inline FakeInput fake;

inline void install_fake_input()
{
  fake = FakeInput();
  GuiHooks h;
  h.get_event = [](InputEvent &ev) {
    if (fake.queue.empty())
      return false;
    ev = fake.queue.front();
    fake.queue.pop_front();
    return true;
  };
  h.key_held = [](int k) { return k >= 0 && k < 8 && fake.held[k]; };
  h.mouse_pos = [](float &x, float &y) { x = fake.mx, y = fake.my; };
  h.show_tooltip = [](const char *t) { fake.tooltip = t; };
  h.hide_tooltip = [] {
    fake.tooltip.clear();
    fake.hides++;
  };
  gui_hooks = h;
}

// Queues what the input layer records for a mouse action at (x, y); flags as recorded.
inline void mouse(int kind, float x, float y, int flags = 0, int button = 1)
{
  InputEvent e = {};
  e.kind = kind;
  e.key = kind == IEV_MOUSE_MOVE ? 0 : button;
  e.flags = flags;
  e.x = x, e.y = y;
  fake.queue.push_back(e);
  fake.mx = x, fake.my = y;
}

// Counts listener calls and remembers the last argument.
struct Counter
{
  int calls = 0, last = -1;
  static void hit(BaseGuiElement *, int arg, void *user)
  {
    auto *c = static_cast<Counter *>(user);
    c->calls++;
    c->last = arg;
  }
};
} // namespace guitest
