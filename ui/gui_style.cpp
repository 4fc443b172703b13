// The style cascade.
#include "ui/gui_style.h"
#include <cstring>
#include "core/log.h"

ENGINE_API GuiStyle common_style, spells_style, tooltip_style;

GuiSelector::~GuiSelector() = default;

GuiStyle::~GuiStyle() { removeAllSheets(); }

void GuiStyle::addSheet(GuiSelector *selector, BaseGuiProperty *props)
{
  ASSERT(selector);
  sheets.push(Sheet{selector, props, selector->specificity()});
}

void GuiStyle::removeAllSheets()
{
  for (Sheet &s : sheets)
  {
    delete s.selector;
    while (s.props)
    {
      BaseGuiProperty *n = s.props->next;
      delete s.props;
      s.props = n;
    }
  }
  sheets.release();
}

// The sheets matching the element being restyled; shared by every call, which is why a
// selector must never restyle.
static DynArray<int> matched;

void GuiStyle::restyle(BaseGuiElement *e, bool force)
{
  if (!e)
    return;
  if (!force && !e->dirty)
  {
    for (int i = 0; i < e->children.num; i++)
      restyle(e->children.ptr[i], false);
    return;
  }

  const Sheet *const sh = sheets.ptr;
  const int num_sheets = sheets.num;
  if (matched.cap < num_sheets)
    matched.reserve(num_sheets);
  int *const m = matched.ptr;
  int found = 0;
  for (int i = 0; i < num_sheets; i++)
    if (sh[i].selector->match(e))
      m[found++] = i;
  matched.num = found;
  // Specificity, then sheet order: a total order, so the sort method does not matter.
  for (int i = 1; i < found; i++)
  {
    const int v = m[i];
    int j = i - 1;
    while (j >= 0 && sh[m[j]].specificity > sh[v].specificity)
    {
      m[j + 1] = m[j];
      j--;
    }
    m[j + 1] = v;
  }

  uintptr_t slots[NUM_GUI_PROPS];
  for (int k = 0; k < NUM_GUI_PROPS; k++)
    slots[k] = e->props[k] & (uintptr_t(0) - (e->props[k] & 1)); // own properties only
  // Transition settings per slot; only entries whose bit is set in `timed` are valid.
  const GuiTransitionSettings *trans[NUM_GUI_PROPS];
  uint32_t timed = 0;
  static_assert(NUM_GUI_PROPS <= 32, "one bit per slot");

  for (int i = 0; i < found; i++)
    for (BaseGuiProperty *p = sh[m[i]].props; p; p = p->next)
    {
      if (p->index == GUI_PROP_BEHAVIORS)
      {
        for (const char *n = static_cast<GuiBehaviorsProperty *>(p)->names; *n; n += strlen(n) + 1)
          if (NewGuiEventHandler *h = get_behavior(n))
            e->addHandler(h);
      }
      else if (p->index == GUI_PROP_TRANSITION)
      {
        auto *t = static_cast<GuiTransitionProperty *>(p);
        if (!t->slots[0])
        {
          for (const GuiTransitionSettings *&s : trans)
            s = t->settings;
          timed = (1u << NUM_GUI_PROPS) - 1;
        }
        for (const unsigned char *s = reinterpret_cast<const unsigned char *>(t->slots); *s; s++)
        {
          if (!(*s > 0 && *s <= NUM_GUI_PROPS))
            fatal("%s(%d): failed ASSERT(%s)", "guiRuntime", 496, "*s>0 && *s<=NUM_GUI_PROPS");
          trans[*s - 1] = t->settings;
          timed |= 1u << (*s - 1);
        }
      }
      else if (p->index >= 0 && p->index < NUM_GUI_PROPS && !(slots[p->index] & 1))
        slots[p->index] = reinterpret_cast<uintptr_t>(p);
    }

  if (memcmp(slots, e->props, sizeof(slots)) != 0)
  {
    vec4f look[NUM_GUI_PROPS];
    for (int k = 0; k < NUM_GUI_PROPS; k++)
    {
      if (e->transitions[k] && e->transitions[k]->sample(look[k]))
        continue;
      const BaseGuiProperty *p = e->prop(k);
      look[k] = p ? p->animValue() : e->defaultPropValue(k);
    }
    for (GuiTransition *&t : e->transitions)
    {
      delete t;
      t = nullptr;
    }
    memcpy(e->props, slots, sizeof(slots));
    for (int k = 0; k < NUM_GUI_PROPS; k++)
      if ((timed >> k & 1) && trans[k] && gui_prop_animatable(k))
        e->transitions[k] = trans[k]->start(e, k, look[k]);
    force = true;
  }
  e->dirty = false;
  for (int i = 0; i < e->children.num; i++)
    restyle(e->children.ptr[i], force);
}
