#pragma once
// GUI screens: a root element with the input routing of one menu or interface. The
// game-object module derives its screens from BaseGuiScreen and creates them through
// the createScreen pointers it sets; the program keeps the screen pointers so that it
// can drop everything the module built when the module is unloaded.
#include "ui/gui_element.h"

class GuiStyle;

class ENGINE_API BaseGuiScreen : public BaseObject
{
public:
  BaseGuiElement *root = nullptr;     // owned
  BaseGuiElement *captured = nullptr; // gets the input while a button is held
  BaseGuiElement *hover = nullptr;    // under the pointer
  GuiStyle *style = nullptr;          // not owned

  BaseGuiScreen();
  ~BaseGuiScreen() override;
  const char *getClassName() const override;

  // Routes one input event to target: a button-down captures target; the event's type
  // follows its kind (down 128, up 64, move 256, wheel 512, keys 4); target gets it in
  // phase 2. A kind outside 1..6 is fatal.
  virtual void processInputEvent(NewGuiInputEvent &ev, BaseGuiElement *target);
  // Takes every queued input event (hover, capture, routing), then asks for a tooltip
  // at the mouse position. The module calls it for its active screen.
  virtual void processInput();
  // Releases the capture and sends the hover element a leave.
  virtual void resetState();
  // The style cascade from the root, then the layout over the back buffer with a unit
  // of d3d_ht * 0.001.
  virtual void restyle();

  // Clears captured and hover when they are e (elements call it as they go).
  void forget(const BaseGuiElement *e);
};

// Every live screen forgets e (called when an element is destroyed or deleted).
ENGINE_API void gui_forget_element(const BaseGuiElement *e);

// The module's screens, null until the module creates them, each with its factory.
#define GUI_MODULE_SCREENS(X) \
  X(tooltip_screen)           \
  X(spells_gui_screen) X(cheat_menu_screen) X(main_menu_screen) X(game_menu_screen) X(game_options_screen)
#define GUI_DECLARE_SCREEN(name)             \
  extern ENGINE_API BaseGuiScreen *name;     \
  struct ENGINE_API name##_Class             \
  {                                          \
    static BaseGuiScreen *(*createScreen)(); \
  };
GUI_MODULE_SCREENS(GUI_DECLARE_SCREEN)
#undef GUI_DECLARE_SCREEN

// The screen the module shows now (it sets it; -gui-dump lists it). Null: none.
extern ENGINE_API BaseGuiScreen *gui_active_screen;

// Drops what the module built in the program's GUI before its code goes away: each
// existing module screen's onDestroy, then its pointer and its createScreen; the sheets
// of common_style, spells_style and tooltip_style; the module's behaviours.
ENGINE_API void release_module_gui();

// Writes the element tree below root to the log, one line per element: two spaces per
// depth, the class, the text in single quotes, the rectangle as x0,y0,x1,y1 (rounded
// window pixels) and the states among hover, pressed, checked and disabled.
ENGINE_API void gui_dump_tree(const BaseGuiElement *root);
// One line of that listing (without the indentation), for tests.
ENGINE_API void gui_dump_line(const BaseGuiElement *e, char *out, int size);
