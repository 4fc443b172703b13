// The options screen: graphics quality, land shadows, anti-aliasing, vertical sync and
// full screen. "Apply" stores them through the program's settings store (which writes
// the settings file atomically and keeps every line it does not own) and applies at
// once what can change while running; the quality level is read at start-up only.
import gui.menus

#include "core/globals.h"
#include "app/settings.h"
#include "app/window.h"

// The "flags" bits of the settings store.
enum : int
{
  FLAG_FULLSCREEN = 1,
  FLAG_AA = 2,
  FLAG_VSYNC = 4,
  FLAG_OBJ_SHADOWS = 8,
};

// What the options show: the running values, except the quality, which shows what is
// stored (it takes effect at the next start).
struct OptionValues
{
  int quality; // 0 low, 1 high
  int land_shadows;
  bool aa, vsync, fullscreen;
};

static OptionValues current_options()
{
  OptionValues v;
  v.quality = gfx_quality;
  char name[32];
  if (get_config_str("gfx_quality", name, sizeof(name)))
    for (int i = 0; gfx_quality_name[i]; i++)
      if (!strcasecmp(name, gfx_quality_name[i]))
        v.quality = i;
  v.land_shadows = land_shadow_quality;
  v.aa = use_ppaa;
  v.vsync = app_use_vsync;
  v.fullscreen = isFullscreen;
  return v;
}

// Stores v and applies what can change now. Returns false when the store failed.
static bool apply_options(const OptionValues &v)
{
  const int flags = (v.fullscreen ? FLAG_FULLSCREEN : 0) | (v.aa ? FLAG_AA : 0) | (v.vsync ? FLAG_VSYNC : 0) |
                    (use_obj_shadows ? FLAG_OBJ_SHADOWS : 0);
  const char *quality = gfx_quality_name[v.quality == 0 ? 0 : 1];
  bool ok = set_config_int("flags", flags);
  ok = set_config_int("land_shadows", v.land_shadows) && ok;
  ok = set_config_str("gfx_quality", quality, -1) && ok;
  debug("options: gfx_quality=%s land_shadows=%d flags=%d%s", quality, v.land_shadows, flags,
        ok ? "" : " (not saved)");

  land_shadow_quality = v.land_shadows;
  use_ppaa = v.aa;
  if (v.fullscreen != isFullscreen)
    set_fullscreen(v.fullscreen);
  if (v.vsync != app_use_vsync)
  {
    app_use_vsync = v.vsync;
    resize_d3d(0, 0, isFullscreen, true); // the presentation interval is set at a reset
  }
  return ok;
}

class GameOptionsScreen : public GuiScreen
{
public:
  GuiRadioButton *high = nullptr, *low = nullptr;
  GuiSlider *shadows = nullptr;
  GuiLabel *shadows_value = nullptr, *status = nullptr;
  GuiCheckbox *aa = nullptr, *vsync = nullptr, *fullscreen = nullptr;

  const char *getClassName() const override { return "GameOptionsScreen"; }

  GuiWidget *row(GuiWidget *panel, const char *caption, const char *tip)
  {
    auto *r = panel->add(new GuiWidget);
    r->styled("row");
    auto *l = label(r, "row_label", caption);
    l->setTooltip(tip);
    l->addHandler(&tooltip_box_behavior);
    return r;
  }

  static void on_shadows(BaseGuiElement *, int value, void *user)
  {
    auto *s = static_cast<GameOptionsScreen *>(user);
    static const char *const names[] = {"0  off", "1  low", "2  high"};
    s->shadows_value->setText(names[value < 0 ? 0 : value > 2 ? 2 : value]);
    s->status->setText("");
  }
  static void on_change(BaseGuiElement *, int, void *user) { static_cast<GameOptionsScreen *>(user)->status->setText(""); }

  void build()
  {
    style = &common_style;
    GuiWidget *r = makeRoot();
    r->setOwnProp(pcol(S_BG, 0x70000000));
    auto *panel = r->add(new GuiMenuPanel);
    panel->styled("menu");
    panel->setText("Options");
    place(panel, 0.5f, 0.5f, 0.5f, 0.5f);

    GuiWidget *q = row(panel, "Graphics quality", "Deferred lighting and full effects, or the faster forward renderer. "
                                                  "Takes effect at the next start.");
    high = control(q, new GuiRadioButton, "choice", "high", A_NONE, "Deferred lighting, soft shadows, post-effects.");
    low = control(q, new GuiRadioButton, "choice", "low", A_NONE, "The forward renderer, for slower machines.");

    GuiWidget *sh = row(panel, "Land shadows", "How finely the land casts shadows on itself.");
    shadows = control(sh, new GuiSlider, "slider", "", A_NONE, "0 off, 1 low, 2 high (Shift-F5 cycles it in play).");
    shadows->steps = 3;
    shadows_value = label(sh, "value", "");

    aa = control(panel, new GuiCheckbox, "check", "Anti-aliasing", A_NONE, "Smooths jagged edges (F6).");
    vsync = control(panel, new GuiCheckbox, "check", "Vertical sync", A_NONE, "Waits for the display: no tearing.");
    fullscreen = control(panel, new GuiCheckbox, "check", "Full screen", A_NONE, "The whole screen (Alt-Enter).");

    status = label(panel, "status", "");
    GuiWidget *buttons = panel->add(new GuiWidget);
    buttons->styled("buttons");
    control(buttons, new GuiButton, "button", "Apply", A_APPLY, "Save these settings and use them now.");
    control(buttons, new GuiButton, "button", "Back", A_BACK, "Leave without saving (Esc).");

    BaseGuiElement::addListener(shadows->changeListeners, on_shadows, this);
    for (GuiWidget *w : {static_cast<GuiWidget *>(high), static_cast<GuiWidget *>(low), static_cast<GuiWidget *>(aa),
                         static_cast<GuiWidget *>(vsync), static_cast<GuiWidget *>(fullscreen)})
      BaseGuiElement::addListener(w->changeListeners, on_change, this);
  }

  void onShow() override
  {
    GuiScreen::onShow();
    const OptionValues v = current_options();
    high->setChecked(v.quality == 1);
    low->setChecked(v.quality == 0);
    shadows->setValue(v.land_shadows, false);
    on_shadows(shadows, shadows->value, this);
    aa->setChecked(v.aa);
    vsync->setChecked(v.vsync);
    fullscreen->setChecked(v.fullscreen);
    status->setText("");
  }

  bool onEscape() override
  {
    pending = A_BACK;
    return true;
  }

  void perform(int a) override
  {
    if (a == A_APPLY)
    {
      OptionValues v;
      v.quality = low->isChecked() ? 0 : 1;
      v.land_shadows = shadows->value;
      v.aa = aa->isChecked();
      v.vsync = vsync->isChecked();
      v.fullscreen = fullscreen->isChecked();
      const bool later = v.quality != gfx_quality;
      if (!apply_options(v))
        status->setText("Could not write the settings file.");
      else
        status->setText(later ? "Saved. The graphics quality changes at the next start." : "Saved.");
    }
    else if (a == A_BACK && options_return)
      show_menu(*options_return, *options_return == main_menu_screen ? main_menu_screen_Class::createScreen
                                                                      : game_menu_screen_Class::createScreen);
  }
};

static BaseGuiScreen *create_options()
{
  auto *s = new GameOptionsScreen;
  s->build();
  return s;
}

static void show_options(BaseGuiScreen **from)
{
  options_return = from;
  show_menu(game_options_screen, game_options_screen_Class::createScreen);
}
