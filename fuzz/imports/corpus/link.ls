// What the module hangs into the program's GUI, and putting it back after a reload:
// the program drops the module's screens, sheets and behaviours before the old code
// goes away; link_gui (after every binding) recreates them and shows the screen of the
// mode the program is in.
import gui.styles
import gui.menus
import gui.options
import gui.tooltip
import gui.spells_ui

#include "app/game_mode.h"

static void link_styles()
{
  if (!common_style.sheets.num)
    add_common_sheets(common_style);
  if (!spells_style.sheets.num)
    add_spells_sheets(spells_style);
  if (!tooltip_style.sheets.num)
    add_tooltip_sheets(tooltip_style);
}

void link_gui()
{
  tooltip_screen_Class::createScreen = create_tooltip_screen;
  spells_gui_screen_Class::createScreen = create_spells_screen;
  cheat_menu_screen_Class::createScreen = create_cheat_menu;
  main_menu_screen_Class::createScreen = create_main_menu;
  game_menu_screen_Class::createScreen = create_game_menu;
  game_options_screen_Class::createScreen = create_options;
  register_behavior(&slider_behavior, "slider");
  link_styles();

  // After a reload the new code knows nothing of the old menus: reopen the one the
  // mode shows (at start-up no mode is current yet).
  if (cur_game_mode && cur_game_mode == main_menu_mode)
    open_main_menu();
  else if (cur_game_mode && cur_game_mode == game_menu_mode)
    open_game_menu(cur_game_mode);
  if (cur_game_mode && !map_shader)
    init_map_ui();
}

// The font and the icons (the program keeps them across reloads), their ids for the
// map, and the styles.
void init_new_gui()
{
  if (!default_font.glyphs.num && !default_font.load("distfont.txt"))
    debug("can't load the GUI font distfont.txt");
  if (!ui_icons.icons.num && !ui_icons.load("disticons.txt"))
    debug("can't load the GUI icons disticons.txt");
  dot_icon = ui_icons.getIconId("dot");
  dot_arrow_icon = ui_icons.getIconId("dot_arrow");
  portal_icon = ui_icons.getIconId("portal");
  link_styles();
}

// The choice of a group: checks the value-th radio button among element's children.
void set_radio(BaseObject *element, int value)
{
  auto *group = dynamic_cast<BaseGuiElement *>(element);
  if (!group)
    return;
  int i = 0;
  for (BaseGuiElement *c : group->children)
    if (c->hasHandler(&radio_button_behavior))
      c->setChecked(i++ == value);
}

// The index of the checked radio button among element's children, -1 if none.
int get_radio(BaseObject *element)
{
  auto *group = dynamic_cast<BaseGuiElement *>(element);
  if (!group)
    return -1;
  int i = 0;
  for (BaseGuiElement *c : group->children)
    if (c->hasHandler(&radio_button_behavior))
    {
      if (c->isChecked())
        return i;
      i++;
    }
  return -1;
}
