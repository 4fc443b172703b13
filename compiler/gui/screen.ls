// The base of the module's screens: a full-screen root, keyboard focus (arrows and Tab
// move it, Enter or Space activate, Escape goes back), clicks that ask the screen for
// an action, and drawing with a short fade-in.
import gui.widgets

class GuiScreen : public BaseGuiScreen
{
public:
  GuiWidget *focus = nullptr; // the keyboard's choice, lit like the hover
  int pending = 0;            // the action a click asked for, run by the next update
  double shown_at = -1.0;

  const char *getClassName() const override { return "GuiScreen"; }
  // The program drops screens by their onDestroy when the module goes away, and the
  // module drops its own the same way: the screen and its tree are freed at once (a
  // screen queued by destroy() is left to the queue).
  void onDestroy() override
  {
    if (!isDestroyed())
      delete this;
  }

  // Makes the root: a widget over the whole back buffer with anchored children.
  GuiWidget *makeRoot()
  {
    auto *r = new GuiWidget;
    r->named("root");
    root = r;
    return r;
  }
  GuiWidget *rootWidget() const { return static_cast<GuiWidget *>(root); }

  // Called each time the screen comes up.
  virtual void onShow()
  {
    shown_at = gui_time;
    pending = 0;
    clearFocus();
    resetState();
  }
  // Escape; true when handled.
  virtual bool onEscape() { return false; }
  // Runs an action asked for by a click (in an update, never while drawing).
  virtual void perform(int action) { (void)action; }
  void runPending()
  {
    const int a = pending;
    pending = 0;
    if (a)
      perform(a);
  }

  static void on_click(BaseGuiElement *e, int, void *user)
  {
    static_cast<GuiScreen *>(user)->pending = static_cast<GuiWidget *>(e)->action;
  }
  // A control that asks for `action` when clicked.
  template <class W>
  W *control(GuiWidget *parent, W *w, const char *style, const char *text, int action, const char *tip)
  {
    parent->add(w);
    w->styled(style);
    w->setText(text);
    w->action = action;
    if (tip && tip[0])
      w->setTooltip(tip);
    if (action)
      BaseGuiElement::addListener(w->clickListeners, on_click, this);
    return w;
  }
  GuiButton *button(GuiWidget *parent, const char *text, int action, const char *tip)
  {
    return control(parent, new GuiButton, "button", text, action, tip);
  }
  GuiLabel *label(GuiWidget *parent, const char *style, const char *text)
  {
    auto *l = parent->add(new GuiLabel);
    l->styled(style);
    l->setText(text);
    return l;
  }

  // ---- keyboard focus ----

  static void collect(BaseGuiElement *e, DynArray<GuiWidget *> &out)
  {
    auto *w = static_cast<GuiWidget *>(e);
    if (w->hidden)
      return;
    if (w->focusable() && w->isEnabled())
      out.push(w);
    for (BaseGuiElement *c : e->children)
      collect(c, out);
  }
  void setFocus(GuiWidget *w)
  {
    if (focus == w)
      return;
    clearFocus();
    focus = w;
    if (w)
      w->setHover(true);
  }
  void clearFocus()
  {
    if (focus && focus != hover)
      focus->setHover(false);
    focus = nullptr;
  }
  void moveFocus(int dir)
  {
    DynArray<GuiWidget *> all;
    if (root)
      collect(root, all);
    if (!all.num)
      return;
    int at = -1;
    for (int i = 0; i < all.num; i++)
      if (all[i] == focus || (!focus && all[i] == hover))
        at = i;
    at = at < 0 ? (dir > 0 ? 0 : all.num - 1) : (at + dir + all.num) % all.num;
    setFocus(all[at]);
  }
  // Left and right: step a slider, move within a radio group, else like up and down.
  void sideways(int dir)
  {
    GuiWidget *w = focus ? focus : static_cast<GuiWidget *>(hover);
    if (auto *s = dynamic_cast<GuiSlider *>(w))
    {
      s->setValue(s->value + dir, true);
      return;
    }
    if (w && w->hasHandler(&radio_button_behavior) && w->parent)
    {
      DynArray<BaseGuiElement *> &sib = w->parent->children;
      for (int i = 0; i < sib.num; i++)
        if (sib[i] == w)
          for (int j = i + dir; j >= 0 && j < sib.num; j += dir)
            if (sib[j]->hasHandler(&radio_button_behavior) && sib[j]->isEnabled())
            {
              gui_click(sib[j], 0);
              setFocus(static_cast<GuiWidget *>(sib[j]));
              return;
            }
      return;
    }
    moveFocus(dir);
  }
  bool handleKey(const InputEvent &ie)
  {
    switch (ie.key)
    {
      case VK_TAB: moveFocus(ie.flags & IEF_SHIFT ? -1 : 1); return true;
      case VK_DOWN: moveFocus(1); return true;
      case VK_UP: moveFocus(-1); return true;
      case VK_LEFT: sideways(-1); return true;
      case VK_RIGHT: sideways(1); return true;
      case VK_RETURN:
      case VK_SPACE:
      {
        BaseGuiElement *w = focus ? focus : hover;
        return w && gui_click(w, 0);
      }
      case VK_ESCAPE: return onEscape();
      default: return false;
    }
  }

  void processInputEvent(NewGuiInputEvent &ev, BaseGuiElement *target) override
  {
    // The mouse takes over from the keyboard as soon as it moves.
    if (ev.ev.kind == IEV_MOUSE_MOVE && focus && focus != hover)
      clearFocus();
    if (ev.ev.kind == IEV_KEY_DOWN && handleKey(ev.ev))
      return;
    BaseGuiScreen::processInputEvent(ev, target);
  }

  // 0 -> 1 over the first quarter second after the screen came up.
  float fadeIn() const
  {
    const float t = shown_at < 0.0 ? 1.f : float((gui_time - shown_at) / 0.25);
    return t < 0.f ? 0.f : t > 1.f ? 1.f : 1.f - (1.f - t) * (1.f - t);
  }

  // Restyles, lays out and records the screen into the batch.
  virtual void draw(RenderBatch &batch)
  {
    restyle();
    if (!root)
      return;
    GuiWidget::draw_opacity = fadeIn();
    static_cast<GuiElement *>(root)->draw(batch);
    GuiWidget::draw_opacity = 1.f;
  }
};

// The screen in slot, made through its factory on first use.
static GuiScreen *gui_screen(BaseGuiScreen *&slot, BaseGuiScreen *(*create)())
{
  if (!slot && create)
    slot = create();
  return static_cast<GuiScreen *>(slot);
}

// Draws the batch the interface recorded this frame.
static void render_gui_batch()
{
  start_dist_font_render();
  gui_batch.render();
  end_dist_font_render();
  gui_batch.clear();
}
