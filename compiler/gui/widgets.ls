// The widgets every screen is made of: layout in units of d3d_ht * 0.001 (so a screen
// scales with the window), values from the style slots (eased by their transitions),
// and drawing into a batch.
import gui.base

// ---- the widget base ------------------------------------------------------------------

// A rectangle with an optional box (fill, border, shadow, glow), text and icon, laid
// out in its parent's area by its anchor, and laying out its children (S_LAYOUT).
class GuiWidget : public GuiElement
{
public:
  char name[32] = "";
  char style_class[32] = "";
  char text[260] = "";
  bool enabled = true;
  bool hidden = false;
  int action = 0;   // what a click asks its screen to do (the screen's own codes)
  float unit = 1.f; // pixels per layout unit, from the latest layout

  const char *getClassName() const override { return "GuiWidget"; }
  bool isEnabled() const override { return enabled; }
  bool isHidden() const override { return hidden; }
  const char *getText() const override { return text; }
  vec4f defaultPropValue(int slot) const override
  {
    switch (slot)
    {
      case S_OPACITY:
      case S_SCALE: return vec4f(1.f, 0.f, 0.f, 0.f);
      case S_ANCHOR: return vec4f(0.5f);
      case S_ICON_COLOR: return vec4f(1.f);
      case S_TEXT_COLOR: return rgba(pal::TEXT);
      default: return vec4f(0.f);
    }
  }
  // Whether the keyboard can move the focus onto it.
  virtual bool focusable() const { return false; }

  // The slot's value as shown now: its property (or default), eased by a running
  // transition.
  vec4f val(int slot) const
  {
    const BaseGuiProperty *p = prop(slot);
    const vec4f target = p ? p->animValue() : defaultPropValue(slot);
    if (auto *t = static_cast<const GuiEaseTransition *>(transitions[slot]))
      return t->valueTo(target);
    return target;
  }
  float num(int slot) const { return val(slot).x; }
  const char *str(int slot) const
  {
    const BaseGuiProperty *p = prop(slot);
    return p ? static_cast<const GuiTextProperty *>(p)->text : "";
  }

  GuiWidget *named(const char *n)
  {
    snprintf(name, sizeof(name), "%s", n);
    return this;
  }
  GuiWidget *styled(const char *c)
  {
    snprintf(style_class, sizeof(style_class), "%s", c);
    return this;
  }
  void setText(const char *t)
  {
    if (strcmp(text, t ? t : ""))
    {
      snprintf(text, sizeof(text), "%s", t ? t : "");
      markDirty();
    }
  }
  void setHidden(bool h)
  {
    if (hidden != h)
    {
      hidden = h;
      markDirty();
    }
  }
  void setEnabled(bool on)
  {
    if (enabled != on)
    {
      enabled = on;
      markDirty();
    }
  }
  // Appends w and returns it (for building trees).
  template <class W>
  W *add(W *w)
  {
    addChild(w);
    return w;
  }

  // The size the content asks for, in pixels (text, children); padding included.
  virtual vec4f contentSize(float u)
  {
    const float pad = 2.f * num(S_PADDING) * u, sp = num(S_SPACING) * u;
    const int mode = int(num(S_LAYOUT));
    float w = 0.f, h = 0.f;
    int n = 0;
    for (BaseGuiElement *c : children)
    {
      auto *g = static_cast<GuiWidget *>(c);
      if (g->hidden)
        continue;
      const vec4f s = g->measure(u);
      if (mode == 2)
        w += s.x + (n ? sp : 0.f), h = fmaxf(h, s.y);
      else if (mode == 1)
        h += s.y + (n ? sp : 0.f), w = fmaxf(w, s.x);
      else
        w = fmaxf(w, s.x), h = fmaxf(h, s.y);
      n++;
    }
    return vec4f(w + pad, h + pad, 0.f, 0.f);
  }
  // The size the element takes: fixed (> 0), fitting its content (< 0) or, for 0, none
  // of its own (it fills what its parent gives it).
  vec4f measure(float u)
  {
    const float w = num(S_WIDTH), h = num(S_HEIGHT);
    vec4f c = (w < 0.f || h < 0.f) ? contentSize(u) : vec4f(0.f);
    return vec4f(w > 0.f ? w * u : w < 0.f ? c.x : 0.f, h > 0.f ? h * u : h < 0.f ? c.y : 0.f, 0.f, 0.f);
  }

  // Takes its place in the area (px0, py0)-(px1, py1) the parent gives it.
  void layout(float px0, float py0, float px1, float py1, float u) override
  {
    unit = u;
    const vec4f size = measure(u);
    const float aw = px1 - px0, ah = py1 - py0;
    const float w = size.x > 0.f ? size.x : aw, h = size.y > 0.f ? size.y : ah;
    const vec4f a = val(S_ANCHOR);
    x0 = px0 + a.x * aw - a.z * w + num(S_OFFSET_X) * u;
    y0 = py0 + a.y * ah - a.w * h + num(S_OFFSET_Y) * u;
    x1 = x0 + w;
    y1 = y0 + h;
    layoutChildren(u);
  }

  void layoutChildren(float u)
  {
    const float pad = num(S_PADDING) * u, sp = num(S_SPACING) * u;
    const float ix0 = x0 + pad, iy0 = y0 + pad, ix1 = x1 - pad, iy1 = y1 - pad;
    const int mode = int(num(S_LAYOUT));
    if (mode == 0)
    {
      for (BaseGuiElement *c : children)
        c->layout(ix0, iy0, ix1, iy1, u);
      return;
    }
    DynArray<GuiWidget *> shown;
    for (BaseGuiElement *c : children)
      if (!static_cast<GuiWidget *>(c)->hidden)
        shown.push(static_cast<GuiWidget *>(c));
      else
        c->layout(ix0, iy0, ix0, iy0, u);
    if (mode == 1)
    {
      float y = iy0;
      for (GuiWidget *g : shown)
      {
        const float h = g->measure(u).y;
        g->layout(ix0, y, ix1, y + h, u);
        y += h + sp;
      }
    }
    else if (mode == 2)
    {
      float total = 0.f;
      for (GuiWidget *g : shown)
        total += g->measure(u).x;
      total += sp * float(shown.num > 0 ? shown.num - 1 : 0);
      float x = ix0 + fmaxf(0.f, (ix1 - ix0 - total) * 0.5f);
      for (GuiWidget *g : shown)
      {
        const float w = g->measure(u).x;
        g->layout(x, iy0, x + w, iy1, u);
        x += w + sp;
      }
    }
    else if (shown.num) // grid of equal cells, centred
    {
      const vec4f cell = shown[0]->measure(u);
      const int cols = cell.x + sp > 0.f ? int(fmaxf(1.f, floorf((ix1 - ix0 + sp) / (cell.x + sp)))) : 1;
      const int used = shown.num < cols ? shown.num : cols;
      const float left = ix0 + fmaxf(0.f, (ix1 - ix0 - (float(used) * (cell.x + sp) - sp)) * 0.5f);
      for (int i = 0; i < shown.num; i++)
      {
        const float x = left + float(i % cols) * (cell.x + sp), y = iy0 + float(i / cols) * (cell.y + sp);
        shown[i]->layout(x, y, x + cell.x, y + cell.y, u);
      }
    }
  }

  // The drawn rectangle: the layout scaled by S_SCALE about its centre.
  vec4f drawRect() const
  {
    const float s = num(S_SCALE);
    const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f, hw = (x1 - x0) * 0.5f * s, hh = (y1 - y0) * 0.5f * s;
    return vec4f(cx - hw, cy - hh, cx + hw, cy + hh);
  }

  // The opacity everything drawn now is multiplied by (the parents' and the screen's).
  static inline float draw_opacity = 1.f;

  void draw(RenderBatch &batch) override
  {
    if (hidden)
      return;
    const float saved = draw_opacity;
    const float op = saved * fmaxf(0.f, fminf(1.f, num(S_OPACITY)));
    draw_opacity = op;
    if (op > 0.003f)
    {
      const vec4f r = drawRect();
      drawBox(batch, r, op);
      drawContent(batch, r, op);
      GuiElement::draw(batch);
    }
    draw_opacity = saved;
  }

  void drawBox(RenderBatch &batch, vec4f r, float op)
  {
    const float u = unit, rad = num(S_RADIUS) * u;
    const vec4f bg = val(S_BG), edge = val(S_BORDER_COLOR), glow = val(S_GLOW), shadow = val(S_SHADOW_COLOR);
    const float border = num(S_BORDER) * u, blur = num(S_SHADOW) * u;
    if (blur > 0.f && shadow.w > 0.f)
      render_rounded_box(batch, r, vec4f(rad), D3dColor(0u), 0.f, 0.f, num(S_SHADOW_Y) * u, blur, fade(shadow, op),
                         0.f);
    if (glow.w > 0.f)
      render_rounded_box(batch, r, vec4f(rad), D3dColor(0u), 0.f, 0.f, 0.f, fmaxf(num(S_GLOW_SIZE) * u, 1.f),
                         fade(glow, op), 0.f);
    if (bg.w > 0.f || (border > 0.f && edge.w > 0.f))
      render_rounded_box(batch, r, vec4f(rad), fade(bg, op), border > 0.f ? fmaxf(border, 0.6f) : 0.f, 0.f, 0.f, 0.f,
                         fade(edge, op), -1.f);
  }

  // What the widget draws inside its box; the base: its text.
  virtual void drawContent(RenderBatch &batch, vec4f r, float op)
  {
    drawText(batch, r, op);
  }

  void drawText(RenderBatch &batch, vec4f r, float op)
  {
    if (!text[0])
      return;
    const float pad = num(S_PADDING) * unit;
    draw_label_text(batch, vec4f(r.x + pad, r.y, r.z - pad, r.w), int(num(S_ALIGN)), num(S_TEXT_SIZE) * unit, text,
                    fade(val(S_TEXT_COLOR), op), fade(val(S_TEXT_OUTLINE), op));
  }

  // The text's size in pixels, as drawn.
  float textPx(float u) const { return fmaxf(num(S_TEXT_SIZE) * u, MIN_TEXT_PX); }
  // The pixel width of the text at that size.
  float textWidth(float u) const
  {
    int n;
    if (!text[0] || !default_font.size)
      return 0.f;
    const vec4f b = default_font.calcTextBox(text, -1, &n);
    return (b.z - b.x) * textPx(u) / float(default_font.size);
  }
};

uint32_t gui_states(const BaseGuiElement *e)
{
  return (e->isHover() ? ST_HOVER : 0u) | (e->isPressed() ? ST_PRESSED : 0u) | (e->isChecked() ? ST_CHECKED : 0u) |
         (e->isEnabled() ? 0u : ST_DISABLED);
}
const char *gui_style_class(const BaseGuiElement *e)
{
  auto *w = dynamic_cast<const GuiWidget *>(e);
  return w ? w->style_class : "";
}
const char *gui_name(const BaseGuiElement *e)
{
  auto *w = dynamic_cast<const GuiWidget *>(e);
  return w ? w->name : "";
}

bool GuiEaseTransition::sample(vec4f &value) const
{
  auto *w = dynamic_cast<const GuiWidget *>(elem);
  if (!w)
    return false;
  const BaseGuiProperty *p = w->prop(slot);
  value = valueTo(p ? p->animValue() : w->defaultPropValue(slot));
  return true;
}

// ---- text and buttons -----------------------------------------------------------------

class GuiLabel : public GuiWidget
{
public:
  const char *getClassName() const override { return "GuiLabel"; }
  vec4f contentSize(float u) override
  {
    const float pad = 2.f * num(S_PADDING) * u;
    int lines = 1;
    for (const char *p = text; *p; p++)
      lines += *p == '\n';
    const float size = textPx(u);
    const float lh = default_font.size ? float(default_font.lineHeight) / float(default_font.size) : 1.2f;
    return vec4f(textWidth(u) + pad, size * (0.9f + lh * float(lines - 1)) + pad, 0.f, 0.f);
  }
};

// A caption on a box, with an optional icon (S_ICON) left of the text.
class GuiButton : public GuiWidget
{
public:
  const char *getClassName() const override { return "GuiButton"; }
  bool focusable() const override { return true; }
  vec4f contentSize(float u) override
  {
    return vec4f(textWidth(u) + 2.f * num(S_PADDING) * u, textPx(u) * 1.8f, 0.f, 0.f);
  }
  // A thin light just inside the top edge, as if the box were lit from above.
  void drawSheen(RenderBatch &batch, vec4f r, float op)
  {
    if (val(S_BG).w < 0.5f)
      return;
    const float b = fmaxf(num(S_BORDER) * unit, 1.f), rad = num(S_RADIUS) * unit, t = fmaxf(unit * 1.5f, 1.f);
    render_rounded_box(batch, vec4f(r.x + rad * 0.7f, r.y + b, r.z - rad * 0.7f, r.y + b + t), vec4f(t * 0.5f),
                       fade(0x30FFFFFFu, op), 0.f, 0.f, 0.f, 0.f, D3dColor(0u), -1.f);
  }
  void drawContent(RenderBatch &batch, vec4f r, float op) override
  {
    drawSheen(batch, r, op);
    const char *icon = str(S_ICON);
    if (icon[0])
    {
      const float h = r.w - r.y, size = num(S_ICON_SIZE) > 0.f ? num(S_ICON_SIZE) * unit : h * 0.62f;
      const float pad = num(S_PADDING) * unit;
      draw_icon(batch, icon, r.x + pad + size * 0.5f, (r.y + r.w) * 0.5f, size, val(S_ICON_COLOR), op);
      if (text[0])
      {
        const vec4f tr(r.x + size + pad * 0.5f, r.y, r.z, r.w);
        drawText(batch, tr, op);
      }
      return;
    }
    drawText(batch, r, op);
  }
};

// A button with a check box in front of its caption.
class GuiCheckbox : public GuiButton
{
public:
  const char *getClassName() const override { return "GuiCheckbox"; }
  void drawContent(RenderBatch &batch, vec4f r, float op) override
  {
    const float h = r.w - r.y, box = h * 0.56f, pad = num(S_PADDING) * unit;
    const vec4f b(r.x + pad, (r.y + r.w - box) * 0.5f, r.x + pad + box, (r.y + r.w + box) * 0.5f);
    render_rounded_box(batch, b, vec4f(box * 0.22f), fade(0xE00A0E14u, op), fmaxf(unit * 2.f, 1.f), 0.f, 0.f, 0.f,
                       fade(val(S_BORDER_COLOR), op), -1.f);
    if (isChecked())
      draw_icon(batch, "check", (b.x + b.z) * 0.5f, (b.y + b.w) * 0.5f, box * 0.9f, val(S_ACCENT), op, false);
    drawText(batch, vec4f(b.z, r.y, r.z, r.w), op);
  }
};

// One choice of a group: a button that stays lit while it is the checked one.
class GuiRadioButton : public GuiButton
{
public:
  const char *getClassName() const override { return "GuiRadioButton"; }
};

// ---- slider ---------------------------------------------------------------------------

// A value of 0 .. steps - 1 on a track; the pointer drags it, the keyboard steps it.
// Change listeners get the new value.
class GuiSlider : public GuiWidget
{
public:
  int value = 0, steps = 3;
  const char *getClassName() const override { return "GuiSlider"; }
  bool focusable() const override { return true; }
  void setValue(int v, bool tell)
  {
    v = v < 0 ? 0 : v >= steps ? steps - 1 : v;
    if (v == value)
      return;
    value = v;
    markDirty();
    if (tell)
      fire(changeListeners, this, value);
  }
  // The track, inset so the knob stays inside the widget.
  vec4f track() const
  {
    const float h = y1 - y0, inset = h * 0.5f;
    return vec4f(x0 + inset, (y0 + y1) * 0.5f - h * 0.08f, x1 - inset, (y0 + y1) * 0.5f + h * 0.08f);
  }
  int valueAt(float x) const
  {
    const vec4f t = track();
    const float f = t.z > t.x ? (x - t.x) / (t.z - t.x) : 0.f;
    return int(lrintf(fmaxf(0.f, fminf(1.f, f)) * float(steps - 1)));
  }
  void drawContent(RenderBatch &batch, vec4f, float op) override
  {
    const vec4f t = track();
    const float th = t.w - t.y, f = steps > 1 ? float(value) / float(steps - 1) : 0.f;
    const float kx = t.x + (t.z - t.x) * f, ky = (t.y + t.w) * 0.5f, kr = (y1 - y0) * 0.3f;
    render_rounded_box(batch, t, vec4f(th * 0.5f), fade(0xE00A0E14u, op), 1.f, 0.f, 0.f, 0.f,
                       fade(val(S_BORDER_COLOR), op), -1.f);
    render_rounded_box(batch, vec4f(t.x, t.y, kx, t.w), vec4f(th * 0.5f), fade(val(S_ACCENT), op), 0.f, 0.f, 0.f, 0.f,
                       D3dColor(0u), -1.f);
    for (int i = 0; i < steps; i++)
    {
      const float x = t.x + (t.z - t.x) * (steps > 1 ? float(i) / float(steps - 1) : 0.f);
      render_rounded_box(batch, vec4f(x - th * 0.35f, ky - th * 0.35f, x + th * 0.35f, ky + th * 0.35f),
                         vec4f(th * 0.35f), fade(i <= value ? 0xFFFFF0D0u : 0xFF5A6270u, op), 0.f, 0.f, 0.f, 0.f,
                         D3dColor(0u), -1.f);
    }
    render_rounded_box(batch, vec4f(kx - kr, ky - kr, kx + kr, ky + kr), vec4f(kr), fade(val(S_BG), op),
                       fmaxf(unit * 2.5f, 1.f), 0.f, kr * 0.25f, kr * 0.5f, fade(val(S_BORDER_COLOR), op), -1.f);
  }
  void draw(RenderBatch &batch) override
  {
    if (hidden)
      return;
    const float op = draw_opacity * num(S_OPACITY);
    const vec4f g = val(S_GLOW);
    if (g.w > 0.f)
    {
      const vec4f t = track();
      const float f = steps > 1 ? float(value) / float(steps - 1) : 0.f;
      const float kx = t.x + (t.z - t.x) * f, ky = (t.y + t.w) * 0.5f, kr = (y1 - y0) * 0.3f;
      render_rounded_box(batch, vec4f(kx - kr, ky - kr, kx + kr, ky + kr), vec4f(kr), D3dColor(0u), 0.f, 0.f, 0.f,
                         fmaxf(num(S_GLOW_SIZE) * unit, 1.f), fade(g, op), 0.f);
    }
    drawContent(batch, drawRect(), op);
  }
};

// The slider's pointer handling: a press picks the value under the pointer and drags
// it while the capture lasts.
class GuiSliderBehavior : public NewGuiEventHandler
{
public:
  GuiSliderBehavior() : NewGuiEventHandler(GUI_EV_ENTER | GUI_EV_LEAVE | GUI_EV_DOWN | GUI_EV_UP | GUI_EV_MOVE | GUI_EV_RESET) {}
  int handle(NewGuiEvent *ev, BaseGuiElement *e, int) override
  {
    auto *s = dynamic_cast<GuiSlider *>(e);
    if (!s)
      return GUI_NOT_CONSUMED;
    if (ev->type == GUI_EV_RESET)
    {
      s->setPressed(false);
      s->setHover(false);
      return GUI_NOT_CONSUMED;
    }
    if (!s->isEnabled())
      return GUI_NOT_CONSUMED;
    const InputEvent &ie = static_cast<NewGuiInputEvent *>(ev)->ev;
    switch (ev->type)
    {
      case GUI_EV_ENTER: s->setHover(true); break;
      case GUI_EV_LEAVE: s->setHover(s->isPressed()); break;
      case GUI_EV_DOWN:
        s->setPressed(true);
        s->setValue(s->valueAt(ie.x), true);
        break;
      case GUI_EV_MOVE:
        if (s->isPressed())
          s->setValue(s->valueAt(ie.x), true);
        break;
      case GUI_EV_UP:
        s->setPressed(false);
        s->setHover(gui_point_inside(s, ie.x, ie.y));
        break;
      default: return GUI_NOT_CONSUMED;
    }
    return GUI_CONSUMED;
  }
};
static GuiSliderBehavior slider_behavior;

// ---- images and bars ------------------------------------------------------------------

// A texture in the widget's rectangle (uv: its part of the texture).
class GuiImage : public GuiWidget
{
public:
  StdRenderBatchState *state = nullptr;
  vec4f uv = vec4f(0.f, 0.f, 1.f, 1.f);
  const char *getClassName() const override { return "GuiImage"; }
  void drawContent(RenderBatch &batch, vec4f r, float op) override
  {
    if (state)
      render_ui_image(batch, state, r, fade(val(S_ICON_COLOR), op), uv);
  }
};

// A fill of value / maximum along the bar in the accent colour, an icon at its left end
// and the numbers in it.
class GuiManaBar : public GuiWidget
{
public:
  float value = 0.f, maximum = 1.f;
  float shown = -1.f; // the displayed fraction, following value smoothly
  double last = 0.0;  // gui_time of the previous drawing
  const char *getClassName() const override { return "GuiManaBar"; }
  void drawContent(RenderBatch &batch, vec4f r, float op) override
  {
    const float f = maximum > 0.f ? fmaxf(0.f, fminf(1.f, value / maximum)) : 0.f;
    const float dt = float(fminf(0.1f, float(gui_time - last)));
    last = gui_time;
    shown = shown < 0.f ? f : shown + (f - shown) * fminf(1.f, dt * 8.f);
    const float h = r.w - r.y, inset = fmaxf(unit * 4.f, 1.5f), rad = (h - 2.f * inset) * 0.5f;
    const float left = r.x + h * 0.9f;
    const vec4f track(left, r.y + inset, r.z - inset, r.w - inset);
    if (shown > 0.001f)
    {
      const vec4f fill(track.x, track.y, track.x + (track.z - track.x) * shown, track.w);
      render_rounded_box(batch, fill, vec4f(rad), fade(val(S_ACCENT), op), 0.f, 0.f, 0.f, 0.f, D3dColor(0u), -1.f);
      // A lighter band along the top gives the fill some depth.
      const vec4f band(fill.x + rad * 0.5f, fill.y + (fill.w - fill.y) * 0.14f, fmaxf(fill.x + rad * 0.5f, fill.z - rad * 0.5f),
                       fill.y + (fill.w - fill.y) * 0.38f);
      render_rounded_box(batch, band, vec4f((band.w - band.y) * 0.5f), fade(0x40FFFFFFu, op), 0.f, 0.f, 0.f, 0.f,
                         D3dColor(0u), -1.f);
    }
    const char *icon = str(S_ICON);
    if (icon[0])
      draw_icon(batch, icon, r.x + h * 0.5f, (r.y + r.w) * 0.5f, h * 1.1f, vec4f(1.f), op);
    char buf[32];
    snprintf(buf, sizeof(buf), "%d / %d", int(lrintf(value)), int(lrintf(maximum)));
    draw_label_text(batch, track, 0, num(S_TEXT_SIZE) * unit, buf, fade(val(S_TEXT_COLOR), op),
                    fade(val(S_TEXT_OUTLINE), op));
  }
};

// A titled panel: its caption (text) across the top, a trim line below it, and the
// children in a column underneath.
class GuiMenuPanel : public GuiWidget
{
public:
  const char *getClassName() const override { return "GuiMenuPanel"; }
  // Units the title takes above the first child.
  float titleHeight() const { return text[0] ? num(S_TEXT_SIZE) * 2.1f : 0.f; }
  vec4f contentSize(float u) override
  {
    vec4f c = GuiWidget::contentSize(u);
    return vec4f(fmaxf(c.x, textWidth(u) + 2.f * num(S_PADDING) * u), c.y + titleHeight() * u, 0.f, 0.f);
  }
  void layout(float px0, float py0, float px1, float py1, float u) override
  {
    GuiWidget::layout(px0, py0, px1, py1, u);
    // The column starts below the title.
    const float th = titleHeight() * u;
    if (th > 0.f)
    {
      const float keep_y0 = y0;
      y0 += th;
      layoutChildren(u);
      y0 = keep_y0;
    }
  }
  void drawContent(RenderBatch &batch, vec4f r, float op) override
  {
    if (!text[0])
      return;
    const float u = unit, th = titleHeight() * u, pad = num(S_PADDING) * u;
    const vec4f tr(r.x + pad, r.y + pad * 0.6f, r.z - pad, r.y + th + pad * 0.4f);
    draw_label_text(batch, tr, 0, num(S_TEXT_SIZE) * u, text, fade(pal::TITLE, op), fade(pal::OUTLINE, op));
    const float ly = r.y + th + pad * 0.55f, lw = (r.z - r.x) * 0.36f, cx = (r.x + r.z) * 0.5f;
    render_rounded_box(batch, vec4f(cx - lw, ly, cx + lw, ly + fmaxf(u * 2.f, 1.f)), vec4f(0.f),
                       fade(pal::PANEL_EDGE, op), 0.f, 0.f, 0.f, fmaxf(u * 3.f, 1.f), fade(0x40C9A45Cu, op), 0.f);
  }
};

// The panel a tooltip is drawn in.
class GuiTooltipBox : public GuiLabel
{
public:
  const char *getClassName() const override { return "GuiTooltipBox"; }
};

// Declared here, drawn by the spells interface (gui/spells_ui.ls).
class GuiSpellSlot;
class GuiSpellBar : public GuiWidget
{
public:
  const char *getClassName() const override { return "GuiSpellBar"; }
};
