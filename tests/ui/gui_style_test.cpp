// The style cascade: ordering, own properties, behaviours, transitions, and what the
// program drops when the module goes away.
#include "tests/ui/gui_test_util.h"

using namespace guitest;

namespace
{
// Matches elements by name (or every element for ""), with a fixed specificity.
struct NameSel : GuiSelector
{
  std::string name;
  int spec;
  int *deleted = nullptr;
  NameSel(const char *n, int s, int *d = nullptr) : name(n), spec(s), deleted(d) {}
  ~NameSel() override
  {
    if (deleted)
      (*deleted)++;
  }
  bool match(const BaseGuiElement *e) const override
  {
    return name.empty() || static_cast<const Elem *>(e)->name == name;
  }
  int specificity() const override { return spec; }
};

struct FloatProp : BaseGuiProperty
{
  float v;
  FloatProp(int slot, float value) : BaseGuiProperty(slot), v(value) {}
  vec4f animValue() const override { return vec4f(v, 0.f, 0.f, 0.f); }
};

float slot_value(const BaseGuiElement *e, int slot)
{
  const BaseGuiProperty *p = e->prop(slot);
  return p ? static_cast<const FloatProp *>(p)->v : -1.f;
}

// A property list from the given properties, in order.
BaseGuiProperty *list(std::initializer_list<BaseGuiProperty *> ps)
{
  BaseGuiProperty *head = nullptr, **tail = &head;
  for (BaseGuiProperty *p : ps)
  {
    *tail = p;
    tail = &p->next;
  }
  return head;
}

struct Started : GuiTransition
{
  int slot;
  vec4f from;
  Started(int s, vec4f f) : slot(s), from(f) {}
};

struct CountingSettings : GuiTransitionSettings
{
  std::vector<std::pair<int, float>> *starts;
  explicit CountingSettings(std::vector<std::pair<int, float>> *s) : starts(s) {}
  GuiTransition *start(BaseGuiElement *, int slot, vec4f from) const override
  {
    starts->push_back({slot, from.x});
    return new Started(slot, from);
  }
};

struct GuiStyleTest : testing::Test
{
  GuiStyle style;
  void SetUp() override { register_std_behaviors(); }
};
} // namespace

TEST_F(GuiStyleTest, SpecificityThenSheetOrder)
{
  Elem e("btn");
  style.addSheet(new NameSel("btn", 10), list({new FloatProp(5, 1.f), new FloatProp(6, 1.f)}));
  style.addSheet(new NameSel("", 1), list({new FloatProp(5, 2.f), new FloatProp(7, 2.f)}));
  style.addSheet(new NameSel("btn", 10), list({new FloatProp(6, 3.f)}));
  style.addSheet(new NameSel("other", 50), list({new FloatProp(7, 9.f)}));
  style.restyle(&e, false);
  EXPECT_EQ(slot_value(&e, 5), 1.f); // more specific beats the general sheet
  EXPECT_EQ(slot_value(&e, 6), 3.f); // equal specificity: the later sheet wins
  EXPECT_EQ(slot_value(&e, 7), 2.f); // non-matching sheets do nothing
  EXPECT_FALSE(e.dirty);
  EXPECT_FALSE(e.isOwnProp(5));
}

TEST_F(GuiStyleTest, OwnPropertiesAreNeverReplaced)
{
  Elem e("btn");
  e.setOwnProp(new FloatProp(5, 42.f));
  style.addSheet(new NameSel("btn", 100), list({new FloatProp(5, 1.f), new FloatProp(6, 1.f)}));
  style.restyle(&e, true);
  EXPECT_EQ(slot_value(&e, 5), 42.f);
  EXPECT_TRUE(e.isOwnProp(5));
  EXPECT_EQ(slot_value(&e, 6), 1.f);
  // Replacing the own property keeps one (the old one is freed, not leaked into a slot).
  e.setOwnProp(new FloatProp(5, 7.f));
  style.restyle(&e, false);
  EXPECT_EQ(slot_value(&e, 5), 7.f);
  int own = 0;
  for (BaseGuiProperty *p = e.ownProps; p; p = p->next)
    own++;
  EXPECT_EQ(own, 1);
}

TEST_F(GuiStyleTest, UnchangedRestyleStartsNothingAndDoesNotForceChildren)
{
  std::vector<std::pair<int, float>> starts;
  Elem root("root");
  Elem *child = add(&root, "child", 0, 0, 1, 1, {});
  // Transitions on slots 5 and 6 ("\x06\x07" names them 6 and 7).
  style.addSheet(new NameSel("", 0), list({new GuiTransitionProperty("\x06\x07", new CountingSettings(&starts))}));
  style.addSheet(new NameSel("root", 1), list({new FloatProp(5, 1.f)}));
  style.addSheet(new NameSel("root", 2, nullptr), list({new FloatProp(6, 1.f)}));
  style.restyle(&root, false);
  EXPECT_EQ(starts.size(), 2u); // the root's two slots changed from unset
  EXPECT_EQ(starts[0].first, 5);
  EXPECT_EQ(starts[0].second, 0.f); // from the default
  ASSERT_NE(root.transitions[5], nullptr);
  EXPECT_EQ(root.transitions[7], nullptr);
  EXPECT_FALSE(child->dirty);

  // Nothing changed: a restyle of the dirty root starts nothing, keeps the running
  // transitions and does not force the child, which is not dirty (a sheet added for it
  // stays unapplied until it is).
  starts.clear();
  style.addSheet(new NameSel("child", 5), list({new FloatProp(8, 4.f)}));
  root.dirty = true;
  GuiTransition *running = root.transitions[5];
  style.restyle(&root, false);
  EXPECT_TRUE(starts.empty());
  EXPECT_EQ(root.transitions[5], running);
  EXPECT_EQ(slot_value(child, 8), -1.f);

  // A state change of the child (an own boolean) makes it and the root dirty.
  child->setHover(true);
  EXPECT_TRUE(child->dirty);
  EXPECT_TRUE(root.dirty);
  style.restyle(&root, false);
  EXPECT_FALSE(child->dirty);
  EXPECT_EQ(slot_value(child, 8), 4.f);
}

TEST_F(GuiStyleTest, TransitionsStartFromThePreviousLook)
{
  std::vector<std::pair<int, float>> starts;
  Elem e("btn");
  // "\x03" is slot 3, index 2: not animatable, so nothing starts for it.
  style.addSheet(new NameSel("btn", 0), list({new GuiTransitionProperty("\x03", new CountingSettings(&starts)),
                                              new FloatProp(2, 1.f), new FloatProp(3, 1.f)}));
  style.restyle(&e, false);
  EXPECT_TRUE(starts.empty());

  // An empty slot text means every slot: each of the 21 animatable slots starts, from
  // its previous value (slot 3 had 1, slot 4 nothing).
  GuiStyle all;
  all.addSheet(new NameSel("btn", 0), list({new GuiTransitionProperty("", new CountingSettings(&starts)),
                                            new FloatProp(3, 5.f), new FloatProp(4, 6.f)}));
  all.restyle(&e, true);
  ASSERT_EQ(starts.size(), 21u);
  EXPECT_EQ(starts[0], (std::pair<int, float>{3, 1.f}));
  EXPECT_EQ(starts[1], (std::pair<int, float>{4, 0.f}));
  EXPECT_EQ(starts.back().first, 30);
  EXPECT_EQ(slot_value(&e, 2), -1.f); // the other style's sheet is gone from the slot
}

TEST_F(GuiStyleTest, ATransitionByteOutsideTheSlotsIsFatal)
{
  std::vector<std::pair<int, float>> starts;
  Elem e("btn");
  style.addSheet(new NameSel("btn", 0), list({new GuiTransitionProperty("\x20", new CountingSettings(&starts))}));
  EXPECT_EXIT(style.restyle(&e, true), testing::ExitedWithCode(100), "NUM_GUI_PROPS");
}

TEST_F(GuiStyleTest, BehavioursNamedTwiceAttachOnce)
{
  Elem e("btn");
  style.addSheet(new NameSel("", 0), list({new GuiBehaviorsProperty("solid_box\0button\0")}));
  style.addSheet(new NameSel("btn", 1), list({new GuiBehaviorsProperty("button\0no_such\0")}));
  style.restyle(&e, false);
  ASSERT_EQ(e.handlers.num, 2);
  EXPECT_EQ(e.handlers[0], &gui_hittest_box_handler);
  EXPECT_EQ(e.handlers[1], &button_behavior);
  EXPECT_EQ(e.eventMask, 1264u | 2u);
  style.restyle(&e, true);
  EXPECT_EQ(e.handlers.num, 2);
}

namespace
{
// A module's screen frees itself when the program drops it.
struct ModuleScreen : BaseGuiScreen
{
  static inline int destroyed = 0;
  void onDestroy() override
  {
    destroyed++;
    delete this;
  }
};
} // namespace

TEST_F(GuiStyleTest, UnloadingTheModuleDropsScreensSheetsAndBehaviours)
{
  main_menu_screen = new ModuleScreen;
  main_menu_screen->root = new Elem("root");
  gui_active_screen = main_menu_screen;
  main_menu_screen_Class::createScreen = [] { return static_cast<BaseGuiScreen *>(new ModuleScreen); };
  int selectors = 0;
  common_style.addSheet(new NameSel("", 0, &selectors), list({new FloatProp(3, 1.f)}));
  tooltip_style.addSheet(new NameSel("", 0, &selectors), nullptr);
  ButtonBehavior slider;
  register_behavior(&slider, "module_slider");

  release_module_gui();
  EXPECT_EQ(ModuleScreen::destroyed, 1);
  EXPECT_EQ(main_menu_screen, nullptr);
  EXPECT_EQ(gui_active_screen, nullptr);
  EXPECT_EQ(main_menu_screen_Class::createScreen, nullptr);
  EXPECT_EQ(common_style.sheets.num, 0);
  EXPECT_EQ(selectors, 2);
  EXPECT_EQ(get_behavior("module_slider"), nullptr);
  EXPECT_EQ(get_behavior("button"), &button_behavior);
}
