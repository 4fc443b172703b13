#include "gui_setup.h"
#include "core/log.h"
#include "gameobj/gameobj_host.h"
#include "input.h"
#include "ui/dist_font.h"
#include "ui/gui_behaviors.h"
#include "ui/gui_draw.h"
#include "ui/gui_screen.h"

void init_gui_systems()
{
  init_dist_fonts();
  init_dist_icons();
  init_rounded_box_render();
  init_ui_image_render();
  register_std_behaviors();
  GuiHooks h;
  h.get_event = getEvent;
  h.key_held = getKeyState;
  h.mouse_pos = getMousePos;
  // The module's tooltip functions are looked up at each call: they are null while a
  // reload swaps the module.
  h.show_tooltip = [](const char *text) { gameobj_call(&GameObjFuncs::show_tooltip, text); };
  h.hide_tooltip = [] { gameobj_call(&GameObjFuncs::hide_tooltip); };
  gui_hooks = h;
  gameobj_host_hooks.gui_release = release_module_gui;
}

void close_gui_systems()
{
  gameobj_host_hooks.gui_release = GameObjHostHooks().gui_release;
  gui_hooks = GuiHooks();
  close_ui_image_render();
  close_rounded_box_render();
  close_dist_icons();
  close_dist_fonts();
}

void dump_active_gui_screen(int update)
{
  BaseGuiScreen *s = gui_active_screen;
  debug("gui dump after update %d: %s", update, s ? s->getClassName() : "no active screen");
  if (s)
    gui_dump_tree(s->root);
}
