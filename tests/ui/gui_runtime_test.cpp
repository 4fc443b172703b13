// The GUI runtime without a device: hit tests, event routing, the behaviours, screens'
// input processing and the behaviour registry.
#include "tests/ui/gui_test_util.h"

using namespace guitest;

namespace
{
struct GuiRuntime : testing::Test
{
  void SetUp() override
  {
    register_std_behaviors();
    install_fake_input();
  }
  void TearDown() override { gui_hooks = GuiHooks(); }
};

// Records the elements a handler was offered an event in, and answers with `result` at
// the element named `consume_at`.
struct Recorder : NewGuiEventHandler
{
  std::string log;
  std::string consume_at;
  int result = GUI_CONSUMED;
  Recorder() : NewGuiEventHandler(0xFFFFFFFFu) {}
  int handle(NewGuiEvent *, BaseGuiElement *e, int phase) override
  {
    const std::string &n = static_cast<Elem *>(e)->name;
    log += n + std::to_string(phase) + " ";
    return n == consume_at ? result : GUI_NOT_CONSUMED;
  }
};
} // namespace

TEST_F(GuiRuntime, HitTestEdgesAndOverlappingChildren)
{
  Elem root("root");
  Elem *a = add(&root, "a", 10, 10, 50, 50);
  Elem *b = add(&root, "b", 30, 30, 80, 80); // overlaps a
  Elem *inner = add(a, "inner", 20, 20, 40, 40);
  // Left and top edges are outside, right and bottom edges inside.
  EXPECT_EQ(hit_test(&root, 10.f, 15.f), nullptr);
  EXPECT_EQ(hit_test(&root, 15.f, 10.f), nullptr);
  EXPECT_EQ(hit_test(&root, 10.01f, 15.f), a);
  EXPECT_EQ(hit_test(&root, 80.f, 80.f), b);
  EXPECT_EQ(hit_test(&root, 80.01f, 80.f), nullptr);
  // The earlier child wins where they overlap; a child wins over its parent.
  EXPECT_EQ(hit_test(&root, 45.f, 45.f), a);
  EXPECT_EQ(hit_test(&root, 35.f, 35.f), inner);
  // Hidden elements and their subtrees are never hit; elements without a hit box neither.
  a->hidden = true;
  EXPECT_EQ(hit_test(&root, 35.f, 35.f), b);
  EXPECT_EQ(hit_test(&root, 15.f, 15.f), nullptr);
  a->hidden = false;
  inner->removeHandler(&gui_hittest_box_handler);
  EXPECT_EQ(hit_test(&root, 35.f, 35.f), a);
  EXPECT_EQ(inner->eventMask, 0u);
}

TEST_F(GuiRuntime, SendEventModes)
{
  Recorder rec;
  Elem root("r");
  Elem *mid = add(&root, "m", 0, 0, 1, 1, {&rec});
  Elem *leaf = add(mid, "l", 0, 0, 1, 1, {&rec});
  Elem *sib = add(mid, "s", 0, 0, 1, 1, {&rec});
  root.addHandler(&rec);
  NewGuiEvent ev(GUI_EV_KEY);

  // Mode 0: from the top down; an ancestor that consumes keeps it from the element.
  EXPECT_EQ(send_event(&ev, leaf, 0), 0);
  EXPECT_EQ(rec.log, "r0 m0 l0 ");
  rec.log.clear();
  rec.consume_at = "m";
  EXPECT_EQ(send_event(&ev, leaf, 0), GUI_CONSUMED);
  EXPECT_EQ(rec.log, "r0 m0 ");
  // ... starting at stop_at rather than at the root.
  rec.log.clear();
  rec.consume_at = "";
  send_event(&ev, leaf, 0, mid);
  EXPECT_EQ(rec.log, "m0 l0 ");

  // Mode 1: bubbling up, ending once stop_at was offered.
  rec.log.clear();
  send_event(&ev, leaf, 1);
  EXPECT_EQ(rec.log, "l1 m1 r1 ");
  rec.log.clear();
  send_event(&ev, leaf, 1, mid);
  EXPECT_EQ(rec.log, "l1 m1 ");

  // Mode 2: the element alone.
  rec.log.clear();
  send_event(&ev, leaf, 2);
  EXPECT_EQ(rec.log, "l2 ");

  // Mode 3: depth first; a 2 skips the element's children and is not passed on.
  rec.log.clear();
  send_event(&ev, &root, 3);
  EXPECT_EQ(rec.log, "r3 m3 l3 s3 ");
  rec.log.clear();
  rec.consume_at = "m";
  rec.result = GUI_SKIP_CHILDREN;
  EXPECT_EQ(send_event(&ev, &root, 3), 0);
  EXPECT_EQ(rec.log, "r3 m3 ");
  rec.consume_at = "l";
  rec.result = GUI_CONSUMED;
  rec.log.clear();
  EXPECT_EQ(send_event(&ev, &root, 3), GUI_CONSUMED);
  EXPECT_EQ(rec.log, "r3 m3 l3 ");

  // Handlers only see the types in their mask; a null element gives 0.
  rec.log.clear();
  rec.mask = GUI_EV_TOOLTIP;
  EXPECT_EQ(send_event(&ev, &root, 3), 0);
  EXPECT_EQ(rec.log, "");
  EXPECT_EQ(send_event(&ev, nullptr, 0), 0);
  (void)sib;
}

TEST_F(GuiRuntime, ButtonClicksOnReleaseInsideOnly)
{
  BaseGuiScreen screen;
  screen.root = new Elem("root");
  Elem *btn = add(screen.root, "ok", 100, 100, 200, 140, {&gui_hittest_box_handler, &button_behavior});
  Counter clicks, begins, ends;
  BaseGuiElement::addListener(btn->clickListeners, Counter::hit, &clicks);
  BaseGuiElement::addListener(btn->pressBeginListeners, Counter::hit, &begins);
  BaseGuiElement::addListener(btn->pressEndListeners, Counter::hit, &ends);

  mouse(IEV_MOUSE_MOVE, 150, 120);
  screen.processInput();
  EXPECT_TRUE(btn->isHover());
  EXPECT_FALSE(btn->isPressed());
  EXPECT_EQ(screen.hover, btn);

  fake.held[1] = true;
  mouse(IEV_MOUSE_DOWN, 150, 120, IEF_LBUTTON);
  screen.processInput();
  EXPECT_TRUE(btn->isPressed());
  EXPECT_EQ(screen.captured, btn);
  EXPECT_EQ(begins.calls, 1);

  // Dragged out while held: the hover goes, the capture stays.
  mouse(IEV_MOUSE_MOVE, 300, 120, IEF_LBUTTON);
  screen.processInput();
  EXPECT_FALSE(btn->isHover());
  EXPECT_FALSE(btn->isPressed());
  EXPECT_EQ(screen.hover, nullptr);
  EXPECT_EQ(screen.captured, btn);
  EXPECT_EQ(ends.calls, 1);

  // Released outside: the capture ends, nothing is clicked.
  fake.held[1] = false;
  mouse(IEV_MOUSE_UP, 300, 120);
  screen.processInput();
  EXPECT_EQ(screen.captured, nullptr);
  EXPECT_FALSE(btn->isPressed());
  EXPECT_FALSE(btn->isHover());
  EXPECT_EQ(clicks.calls, 0);

  // Pressed and released inside: one click with the event's flags.
  mouse(IEV_MOUSE_MOVE, 150, 120);
  fake.held[1] = true;
  mouse(IEV_MOUSE_DOWN, 150, 120, IEF_LBUTTON);
  screen.processInput();
  fake.held[1] = false;
  mouse(IEV_MOUSE_UP, 150, 120, IEF_SHIFT);
  screen.processInput();
  EXPECT_EQ(clicks.calls, 1);
  EXPECT_EQ(clicks.last, IEF_SHIFT);
  EXPECT_TRUE(btn->isHover());
  EXPECT_FALSE(btn->isPressed());

  // A disabled button ignores the pointer.
  btn->enabled = false;
  fake.held[1] = true;
  mouse(IEV_MOUSE_DOWN, 150, 120, IEF_LBUTTON);
  fake.held[1] = false;
  mouse(IEV_MOUSE_UP, 150, 120);
  screen.processInput();
  EXPECT_EQ(clicks.calls, 1);

  // resetState: the hover element gets a leave; a reset event clears the press.
  btn->enabled = true;
  screen.resetState();
  EXPECT_EQ(screen.hover, nullptr);
  EXPECT_FALSE(btn->isHover());
}

TEST_F(GuiRuntime, CheckboxAndRadioGroups)
{
  Elem root("root");
  Elem *box = add(&root, "box", 0, 0, 10, 10, {&checkbox_behavior});
  Counter changed, valued;
  BaseGuiElement::addListener(box->changeListeners, Counter::hit, &changed);
  BaseGuiElement::addListener(box->valueClickListeners, Counter::hit, &valued);
  gui_click(box, 0);
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(changed.last, 1);
  EXPECT_EQ(valued.last, 1);
  gui_click(box, 0);
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(changed.calls, 2);
  EXPECT_EQ(changed.last, 0);

  Elem group("group");
  Elem *hi = add(&group, "high", 0, 0, 10, 10, {&radio_button_behavior});
  Elem *lo = add(&group, "low", 0, 0, 10, 10, {&radio_button_behavior});
  Elem *other = add(&group, "other", 0, 0, 10, 10, {&checkbox_behavior});
  other->setChecked(true);
  hi->setChecked(true);
  Counter hi_changes, lo_changes;
  BaseGuiElement::addListener(hi->changeListeners, Counter::hit, &hi_changes);
  BaseGuiElement::addListener(lo->changeListeners, Counter::hit, &lo_changes);
  gui_click(lo, 0);
  EXPECT_TRUE(lo->isChecked());
  EXPECT_FALSE(hi->isChecked());
  EXPECT_TRUE(other->isChecked()); // not of the group
  EXPECT_EQ(hi_changes.last, 0);
  EXPECT_EQ(lo_changes.last, 1);
  // Keyboard activation needs a button-like behaviour and an enabled element.
  Elem plain;
  EXPECT_FALSE(gui_click(&plain, 0));
  lo->enabled = false;
  EXPECT_FALSE(gui_click(lo, 0));
}

TEST_F(GuiRuntime, TooltipsFromTheInnermostBoxUnderTheMouse)
{
  BaseGuiScreen screen;
  screen.root = new Elem("root");
  Elem *panel = add(screen.root, "panel", 0, 0, 100, 100, {&tooltip_box_behavior});
  panel->setTooltip("panel tip");
  Elem *slot = add(panel, "slot", 10, 10, 30, 30, {&tooltip_box_behavior});
  slot->setTooltip("slot tip");
  Elem *quiet = add(panel, "quiet", 40, 40, 60, 60, {&tooltip_box_behavior});
  (void)quiet; // no text: the panel's shows

  fake.mx = 20, fake.my = 20;
  screen.processInput();
  EXPECT_EQ(fake.tooltip, "slot tip");
  fake.mx = 50, fake.my = 50;
  screen.processInput();
  EXPECT_EQ(fake.tooltip, "panel tip");
  const int hides = fake.hides;
  fake.mx = 150, fake.my = 50;
  screen.processInput();
  EXPECT_EQ(fake.tooltip, "");
  EXPECT_EQ(fake.hides, hides + 1);
  // Long texts are cut at 256 characters.
  slot->setTooltip(std::string(300, 'x').c_str());
  EXPECT_EQ(strlen(slot->getTooltip()), 256u);
}

TEST_F(GuiRuntime, DestroyedElementsLeaveTheTreeAndTheScreen)
{
  BaseGuiScreen screen;
  screen.root = new Elem("root");
  Elem *btn = add(screen.root, "b", 0, 0, 10, 10, {&gui_hittest_box_handler, &button_behavior});
  mouse(IEV_MOUSE_MOVE, 5, 5);
  screen.processInput();
  ASSERT_EQ(screen.hover, btn);
  const int queued = deleted_gameobjs.num;
  btn->destroy();
  btn->destroy();
  EXPECT_EQ(deleted_gameobjs.num, queued + 1); // queued once
  EXPECT_EQ(screen.hover, nullptr);
  EXPECT_EQ(screen.root->children.num, 0);
  delete deleted_gameobjs.back();
  deleted_gameobjs.pop();
  // The next move does not touch the freed element.
  mouse(IEV_MOUSE_MOVE, 6, 6);
  screen.processInput();
  EXPECT_EQ(screen.hover, nullptr);
}

TEST_F(GuiRuntime, RegistryKeepsTheFirstRegistration)
{
  ButtonBehavior second;
  register_behavior(&second, "button");
  EXPECT_EQ(get_behavior("button"), &button_behavior);
  EXPECT_EQ(get_behavior("solid_box"), &gui_hittest_box_handler);
  EXPECT_EQ(get_behavior("no such"), nullptr);
  // Registering the program's behaviours again changes nothing.
  register_std_behaviors();
  EXPECT_EQ(get_behavior("radio_button"), &radio_button_behavior);
  // A module's behaviour is dropped with the module; the program's stay.
  ButtonBehavior slider;
  register_behavior(&slider, "slider");
  EXPECT_EQ(get_behavior("slider"), &slider);
  unregister_module_behaviors();
  EXPECT_EQ(get_behavior("slider"), nullptr);
  EXPECT_EQ(get_behavior("tooltip_box"), &tooltip_box_behavior);

  Elem e;
  EXPECT_FALSE(e.addHandler("slider"));
  EXPECT_TRUE(e.addHandler("button"));
  EXPECT_EQ(e.addHandler(&button_behavior), 0); // present already: its index
  EXPECT_EQ(e.handlers.num, 1);
  EXPECT_EQ(e.eventMask, 1264u);
}

TEST_F(GuiRuntime, UnknownInputKindIsFatal)
{
  BaseGuiScreen screen;
  InputEvent ie = {};
  ie.kind = 7;
  NewGuiInputEvent ev(0, ie);
  EXPECT_EXIT(screen.processInputEvent(ev, nullptr), testing::ExitedWithCode(100), "unknown input event type");
}

TEST_F(GuiRuntime, DumpLinesListClassTextRectangleAndStates)
{
  Elem root("root");
  Elem *b = add(&root, "Options", 10.4f, 20.6f, 110.5f, 60.f, {&button_behavior});
  b->setHover(true);
  b->setChecked(true);
  b->enabled = false;
  char line[256];
  gui_dump_line(b, line, sizeof(line));
  EXPECT_STREQ(line, "Elem 'Options' 10,21,110,60 hover checked disabled");
}
