// Tooltips: the screens' tooltip boxes ask for one with show_tooltip while the mouse is
// over them and drop it with hide_tooltip; after a short rest of the mouse the text
// fades in beside the pointer, kept inside the window.
import gui.screen

class TooltipScreen : public GuiScreen
{
public:
  GuiTooltipBox *box = nullptr;
  const char *getClassName() const override { return "TooltipScreen"; }
  void build()
  {
    style = &tooltip_style;
    GuiWidget *r = makeRoot();
    box = r->add(new GuiTooltipBox);
    box->setOwnProp(pvec(S_ANCHOR, vec4f(0.f)));
  }
};

static BaseGuiScreen *create_tooltip_screen()
{
  auto *s = new TooltipScreen;
  s->build();
  return s;
}

// The tooltip asked for: its text, since when it is asked for unchanged, and whether it
// is still wanted.
static char tooltip_text[257];
static double tooltip_since = 0.0;
static bool tooltip_wanted = false;
constexpr double TOOLTIP_DELAY = 0.4, TOOLTIP_FADE = 0.15;

void init_tooltip()
{
  tooltip_wanted = false;
  tooltip_text[0] = 0;
}

void show_tooltip(const char *text)
{
  if (!text || !text[0])
  {
    hide_tooltip();
    return;
  }
  if (!tooltip_wanted || strcmp(text, tooltip_text))
  {
    snprintf(tooltip_text, sizeof(tooltip_text), "%s", text);
    tooltip_since = gui_time;
  }
  tooltip_wanted = true;
}

void hide_tooltip() { tooltip_wanted = false; }

// The fade runs on the interface clock; nothing to advance per update.
void update_tooltip(float dt) {}

// Records the tooltip into gui_batch (the caller renders the batch), beside the mouse.
void render_tooltip()
{
  if (!tooltip_wanted)
    return;
  const double shown = gui_time - tooltip_since - TOOLTIP_DELAY;
  if (shown < 0.0)
    return;
  auto *s = static_cast<TooltipScreen *>(gui_screen(tooltip_screen, tooltip_screen_Class::createScreen));
  if (!s)
    return;
  s->box->setText(tooltip_text);
  s->restyle();
  float mx, my;
  getMousePos(mx, my);
  const float u = float(d3d_ht) * 0.001f;
  const float w = s->box->x1 - s->box->x0, h = s->box->y1 - s->box->y0;
  float x = mx + 22.f * u, y = my + 30.f * u;
  if (x + w > float(d3d_wd) - 8.f * u)
    x = fmaxf(8.f * u, mx - w - 14.f * u);
  if (y + h > float(d3d_ht) - 8.f * u)
    y = fmaxf(8.f * u, my - h - 14.f * u);
  s->box->x0 = x, s->box->y0 = y, s->box->x1 = x + w, s->box->y1 = y + h;
  GuiWidget::draw_opacity = float(fmin(1.0, shown / TOOLTIP_FADE));
  s->box->draw(gui_batch);
  GuiWidget::draw_opacity = 1.f;
}
