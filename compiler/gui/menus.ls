// The menus: main menu, game menu and cheat menu, and the flow between them and the
// game modes (open_*, close_game_menu, update_game_menu, draw_game_menu).
import gui.screen
import gui.tooltip

#include "app/main_loop.h"
#include "app/game_modes.h"

// The program's world generation and main menu (script/world_script.h, app/).
ENGINE_API void generate_world(const char *name);
void start_new_game(); // core/player.ls

enum MenuAction : int
{
  A_NONE,
  A_NEW_GAME,
  A_OPTIONS,
  A_QUIT,
  A_RESUME,
  A_MAIN_MENU,
  A_BACK,
  A_APPLY,
  A_MANA_CHEAT,
  A_MONSTERS,
  A_ALL_SPELLS,
  A_NEW_WORLD,
  A_CLOSE,
};

// The menu showing now (null: none), and the one the options go back to.
static GuiScreen *menu_screen = nullptr;
static BaseGuiScreen **options_return = nullptr;

static void show_menu(BaseGuiScreen *&slot, BaseGuiScreen *(*create)())
{
  if (menu_screen)
    menu_screen->resetState();
  menu_screen = gui_screen(slot, create);
  if (menu_screen)
    menu_screen->onShow();
  gui_active_screen = menu_screen;
  hide_tooltip();
}

static void show_options(BaseGuiScreen **from);

// Places w with its anchor (ax, ay) in the parent and pivot (px, py) in itself.
static void place(GuiWidget *w, float ax, float ay, float px, float py)
{
  w->setOwnProp(pvec(S_ANCHOR, vec4f(ax, ay, px, py)));
}

// ---- main menu ------------------------------------------------------------------------

class MainMenuScreen : public GuiScreen
{
public:
  const char *getClassName() const override { return "MainMenuScreen"; }
  void build()
  {
    style = &common_style;
    GuiWidget *r = makeRoot();
    place(label(r, "title", "ZARNITH"), 0.5f, 0.25f, 0.5f, 0.5f);
    place(label(r, "subtitle", "Shape the island. Command the elements."), 0.5f, 0.36f, 0.5f, 0.5f);
    auto *menu = r->add(new GuiMenuPanel);
    menu->styled("menu");
    place(menu, 0.5f, 0.66f, 0.5f, 0.5f);
    button(menu, "New game", A_NEW_GAME, "Raise a new island and start playing.");
    button(menu, "Options", A_OPTIONS, "Graphics quality, shadows and display.");
    button(menu, "Quit", A_QUIT, "Leave the game.");
    place(label(r, "hint", "Arrows or Tab: choose     Enter: select     Esc: back"), 0.5f, 0.97f, 0.5f, 1.f);
  }
  void perform(int a) override
  {
    if (a == A_NEW_GAME)
    {
      start_new_game();
      should_close_game_menu = true; // the main menu mode generates the game world and starts play
    }
    else if (a == A_OPTIONS)
      show_options(&main_menu_screen);
    else if (a == A_QUIT)
      request_quit();
  }
};

static BaseGuiScreen *create_main_menu()
{
  auto *s = new MainMenuScreen;
  s->build();
  return s;
}

// ---- game menu ------------------------------------------------------------------------

// Whether the local player has been defeated: the game menu then offers a new game
// instead of going on.
static bool player_defeated()
{
  auto *p = static_cast<Player *>(local_player);
  return p && p->dead;
}

class GameMenuScreen : public GuiScreen
{
public:
  bool defeated = false; // built as the defeat menu
  const char *getClassName() const override { return "GameMenuScreen"; }
  void build()
  {
    defeated = player_defeated();
    style = &common_style;
    GuiWidget *r = makeRoot();
    r->setOwnProp(pcol(S_BG, defeated ? 0x90200000 : 0x70000000)); // the world dims behind the menu
    auto *menu = r->add(new GuiMenuPanel);
    menu->styled("menu");
    menu->setText(defeated ? "You were defeated" : "Paused");
    place(menu, 0.5f, 0.5f, 0.5f, 0.5f);
    if (defeated)
      button(menu, "New game", A_NEW_GAME, "Start again on a new island.");
    else
      button(menu, "Resume", A_RESUME, "Back to the game (Esc).");
    button(menu, "Options", A_OPTIONS, "Graphics quality, shadows and display.");
    button(menu, "Main menu", A_MAIN_MENU, "Leave this island for the main menu.");
    button(menu, "Quit", A_QUIT, "Leave the game.");
  }
  bool onEscape() override
  {
    if (!defeated)
      pending = A_RESUME;
    return true;
  }
  void perform(int a) override
  {
    if (a == A_RESUME)
      should_close_game_menu = true;
    else if (a == A_NEW_GAME)
    {
      start_new_game();
      generate_world("game");
      should_close_game_menu = true;
    }
    else if (a == A_OPTIONS)
      show_options(&game_menu_screen);
    else if (a == A_MAIN_MENU)
      go_to_main_menu();
    else if (a == A_QUIT)
      request_quit();
  }
};

static BaseGuiScreen *create_game_menu()
{
  auto *s = new GameMenuScreen;
  s->build();
  return s;
}

// ---- cheat menu -----------------------------------------------------------------------

// The monster spawn switch of the game (monsters/monster.ls).
bool monster_spawn_on();

class CheatMenuScreen : public GuiScreen
{
public:
  GuiCheckbox *mana = nullptr, *monsters = nullptr;
  bool mana_on = false;

  const char *getClassName() const override { return "CheatMenuScreen"; }
  void build()
  {
    style = &common_style;
    GuiWidget *r = makeRoot();
    r->setOwnProp(pcol(S_BG, 0x70000000));
    auto *menu = r->add(new GuiMenuPanel);
    menu->styled("menu");
    menu->setText("Cheats");
    menu->named("cheats");
    place(menu, 0.5f, 0.5f, 0.5f, 0.5f);
    mana = control(menu, new GuiCheckbox, "check", "Endless mana", A_MANA_CHEAT, "Spells cost no mana (Ctrl-N).");
    monsters = control(menu, new GuiCheckbox, "check", "Monster waves", A_MONSTERS,
                       "Let monsters spawn, or keep the island quiet (Ctrl-M).");
    button(menu, "Add all spells", A_ALL_SPELLS, "Put every spell into the spell grid.");
    button(menu, "New world", A_NEW_WORLD, "Generate a new island (Ctrl-G).");
    button(menu, "Close", A_CLOSE, "Back to the game (Esc).");
  }
  void onShow() override
  {
    GuiScreen::onShow();
    mana->setChecked(mana_on);
    monsters->setChecked(monster_spawn_on());
  }
  bool onEscape() override
  {
    pending = A_CLOSE;
    return true;
  }
  void perform(int a) override
  {
    if (a == A_MANA_CHEAT)
    {
      toggle_mana_cheat();
      mana_on = !mana_on;
      mana->setChecked(mana_on);
    }
    else if (a == A_MONSTERS)
    {
      toggle_monster_spawn();
      monsters->setChecked(monster_spawn_on());
    }
    else if (a == A_ALL_SPELLS)
      add_all_spells();
    else if (a == A_NEW_WORLD)
      generate_world("game");
    else if (a == A_CLOSE)
      should_close_game_menu = true;
  }
};

static BaseGuiScreen *create_cheat_menu()
{
  auto *s = new CheatMenuScreen;
  s->build();
  return s;
}

// ---- the flow -------------------------------------------------------------------------

void open_main_menu()
{
  should_close_game_menu = false;
  show_menu(main_menu_screen, main_menu_screen_Class::createScreen);
}

void open_game_menu(GameMode *mode)
{
  should_close_game_menu = false;
  // The pause menu and the defeat menu are two builds of the one screen.
  auto *built = static_cast<GameMenuScreen *>(game_menu_screen);
  if (built && built->defeated != player_defeated())
  {
    if (menu_screen == built)
      menu_screen = nullptr;
    if (gui_active_screen == built)
      gui_active_screen = nullptr;
    built->onDestroy();
    game_menu_screen = nullptr;
  }
  show_menu(game_menu_screen, game_menu_screen_Class::createScreen);
}

// The player's health ran out: the game menu, saying so.
void show_defeat_menu()
{
  if (cur_game_mode == game_menu_mode)
    open_game_menu(cur_game_mode);
  else
    set_game_mode(game_menu_mode);
}

void open_cheat_menu()
{
  should_close_game_menu = false;
  show_menu(cheat_menu_screen, cheat_menu_screen_Class::createScreen);
}

void close_game_menu(GameMode *mode)
{
  if (menu_screen)
    menu_screen->resetState();
  if (gui_active_screen == menu_screen)
    gui_active_screen = nullptr;
  menu_screen = nullptr;
  hide_tooltip();
}

// Once per update: the input since the last frame, then the action a click asked for.
void update_game_menu(float dt)
{
  tick_gui_clock(dt);
  if (!menu_screen)
    return;
  menu_screen->restyle(); // the rectangles the clicks are tested against
  menu_screen->processInput();
  menu_screen->runPending();
  update_tooltip(dt);
}

// Once per frame: the input of this frame, then the menu and its tooltip. Actions wait
// for the next update (they may build a world, which never happens inside a frame).
void draw_game_menu(GameMode *mode, float dt)
{
  advance_gui_clock(dt);
  if (!menu_screen)
    return;
  menu_screen->processInput();
  menu_screen->draw(gui_batch);
  render_tooltip();
  render_gui_batch();
}
