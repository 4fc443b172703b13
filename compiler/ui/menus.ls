// Menus and the game interface. For now the flow only: the main menu (and the game and
// cheat menus) close on Enter or a left click. Nothing is drawn yet: drawing comes with
// the GUI runtime and the text renderer.
import core.engine

enum class OpenMenu { none, main_menu, game_menu, cheat_menu };
static OpenMenu open_menu = OpenMenu::none;

static void open_menu_screen(OpenMenu m)
{
  open_menu = m;
  should_close_game_menu = false;
}

void open_main_menu() { open_menu_screen(OpenMenu::main_menu); }
void open_game_menu(GameMode *mode) { open_menu_screen(OpenMenu::game_menu); }
void open_cheat_menu() { open_menu_screen(OpenMenu::cheat_menu); }
void close_game_menu(GameMode *mode) { open_menu = OpenMenu::none; }

static bool menu_confirmed() { return keyDown(VK_RETURN) || keyDown(VK_LBUTTON); }

void update_game_menu(float dt)
{
  if (open_menu != OpenMenu::none && menu_confirmed())
  {
    open_menu = OpenMenu::none;
    should_close_game_menu = true;
  }
}

void draw_game_menu(GameMode *mode, float dt) {}

// The GUI the module hangs into the program: screens, styles and behaviours. Called
// after every binding; nothing to link until the GUI runtime exists.
void link_gui() {}
void init_new_gui() {}

// Tooltips: the GUI's tooltip boxes ask for one with show_tooltip and drop it with
// hide_tooltip; the text is kept for the tooltip screen to draw.
static char tooltip_text[257];
static bool tooltip_shown = false;
void init_tooltip() { tooltip_shown = false; tooltip_text[0] = 0; }
void show_tooltip(const char *text)
{
  snprintf(tooltip_text, sizeof(tooltip_text), "%s", text ? text : "");
  tooltip_shown = tooltip_text[0] != 0;
}
void hide_tooltip() { tooltip_shown = false; }
void update_tooltip(float dt) {}
void render_tooltip() {}

// The spell bar and the in-game interface: the game issue builds them.
void init_map_ui() {}
void init_spells_ui() {}
void close_spells_ui() {}
void spells_ui_after_resize() {}
void start_spell_pick_up_anim() {}
void draw_spells_ui(GameMode *mode, float dt) {}
void update_spells_ui(float dt) {}
// True when the interface has the mouse (the camera then leaves it alone).
bool update_spells_ui_mouse() { return false; }
void reset_game_ui_screen() {}
void set_game_ui_screen() {}
void set_radio(BaseObject *element, int value) {}
int get_radio(BaseObject *element) { return 0; }
