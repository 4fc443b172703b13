#pragma once
// GUI styles: ordered lists of sheets pairing a selector with properties, applied to the
// element tree like cascading style sheets. The module creates the selectors, property
// values and sheets; the program owns the cascade.
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "ui/gui_element.h"

// Which elements a sheet applies to, and how specific that is (higher wins).
class ENGINE_API GuiSelector
{
public:
  virtual ~GuiSelector();
  virtual bool match(const BaseGuiElement *e) const = 0;
  virtual int specificity() const = 0;
};

class ENGINE_API GuiStyle
{
public:
  struct Sheet
  {
    GuiSelector *selector;  // owned
    BaseGuiProperty *props; // owned, linked through next
    int specificity;        // the selector's, taken when the sheet was added
  };
  DynArray<Sheet> sheets;

  GuiStyle() = default;
  ~GuiStyle();
  GuiStyle(const GuiStyle &) = delete;
  GuiStyle &operator=(const GuiStyle &) = delete;

  // Appends a sheet; the style takes ownership of the selector and the property list.
  void addSheet(GuiSelector *selector, BaseGuiProperty *props);
  // Destroys every sheet (their selectors and properties).
  void removeAllSheets();

  // Applies the matching sheets to e, from least to most specific (ties: sheet order),
  // keeping e's own properties, attaching the named behaviours once, and, when a slot
  // changed, starting the transitions from the previous look and restyling every child
  // with force. Without force, an element that is not dirty only passes the call on to
  // its children. Not re-entrant (one scratch list is shared).
  void restyle(BaseGuiElement *e, bool force);
};

extern ENGINE_API GuiStyle common_style, spells_style, tooltip_style;
