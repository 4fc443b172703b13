// The three styles' sheets: common_style (the menus), spells_style (the play interface)
// and tooltip_style. Sizes are layout units (a thousandth of the window height).
import gui.widgets

// Slot numbers for transitions are slot + 1, one byte each.
#define TR_LOOK "\x04\x05\x06\x14\x1f" // fill, border, text colour, scale, glow

static void add_common_sheets(GuiStyle &st)
{
  sheet(st, sel(), {pnum(S_TEXT_SIZE, 30)});
  sheet(st, sel()->sc("title"), {pnum(S_TEXT_SIZE, 132), pcol(S_TEXT_COLOR, pal::TITLE), pcol(S_TEXT_OUTLINE, 0xE0140C04),
                                 pnum(S_WIDTH, -1), pnum(S_HEIGHT, -1)});
  sheet(st, sel()->sc("subtitle"), {pnum(S_TEXT_SIZE, 36), pcol(S_TEXT_COLOR, 0xFFEDE4D0),
                                    pcol(S_TEXT_OUTLINE, pal::OUTLINE), pnum(S_WIDTH, -1), pnum(S_HEIGHT, -1)});
  sheet(st, sel()->sc("hint"), {pnum(S_TEXT_SIZE, 28), pcol(S_TEXT_COLOR, 0xD8E8E0D0), pcol(S_TEXT_OUTLINE, 0xC0000000),
                                pnum(S_WIDTH, -1), pnum(S_HEIGHT, -1), pnum(S_PADDING, 12)});
  sheet(st, sel()->c("GuiMenuPanel"),
        {pcol(S_BG, pal::PANEL), pnum(S_BORDER, 2), pcol(S_BORDER_COLOR, pal::PANEL_EDGE), pnum(S_RADIUS, 20),
         pnum(S_SHADOW, 34), pnum(S_SHADOW_Y, 12), pcol(S_SHADOW_COLOR, 0xB0000000), pnum(S_PADDING, 34),
         pnum(S_SPACING, 14), pnum(S_LAYOUT, 1), pnum(S_TEXT_SIZE, 50), pnum(S_WIDTH, -1), pnum(S_HEIGHT, -1)});

  // Buttons light up gold under the pointer and sink a little when pressed.
  sheet(st, sel()->sc("button"),
        {pbeh("solid_box\0button\0tooltip_box\0"), pcol(S_BG, pal::BUTTON), pnum(S_BORDER, 1.5f),
         pcol(S_BORDER_COLOR, pal::TRIM), pnum(S_RADIUS, 12), pnum(S_WIDTH, 440), pnum(S_HEIGHT, 68),
         pnum(S_TEXT_SIZE, 32), ptrans(TR_LOOK, 0.14f)});
  sheet(st, sel()->sc("button")->is(ST_HOVER),
        {pcol(S_BG, pal::BUTTON_HOVER), pcol(S_BORDER_COLOR, pal::TRIM_HOVER), pcol(S_TEXT_COLOR, pal::TEXT_HOVER),
         pcol(S_GLOW, pal::GLOW), pnum(S_GLOW_SIZE, 16)});
  sheet(st, sel()->sc("button")->is(ST_PRESSED),
        {pcol(S_BG, pal::BUTTON_DOWN), pnum(S_SCALE, 0.965f), pcol(S_GLOW, 0x40F0B048)});
  sheet(st, sel()->sc("button")->is(ST_DISABLED),
        {pcol(S_TEXT_COLOR, pal::TEXT_OFF), pcol(S_BG, 0x90182028), pcol(S_BORDER_COLOR, 0x40C9A45C)});
  sheet(st, sel()->sc("button")->in(sel()->sc("buttons")), {pnum(S_WIDTH, 250)});

  // The choices of a group (radio buttons): the checked one stays gold.
  sheet(st, sel()->sc("choice"),
        {pbeh("solid_box\0radio_button\0tooltip_box\0"), pcol(S_BG, pal::BUTTON), pnum(S_BORDER, 1.5f),
         pcol(S_BORDER_COLOR, pal::TRIM), pnum(S_RADIUS, 10), pnum(S_WIDTH, 162), pnum(S_HEIGHT, 58),
         pnum(S_TEXT_SIZE, 30), ptrans(TR_LOOK, 0.14f)});
  sheet(st, sel()->sc("choice")->is(ST_HOVER),
        {pcol(S_BG, pal::BUTTON_HOVER), pcol(S_BORDER_COLOR, pal::TRIM_HOVER), pcol(S_GLOW, pal::GLOW),
         pnum(S_GLOW_SIZE, 12)});
  sheet(st, sel()->sc("choice")->is(ST_CHECKED),
        {pcol(S_BG, pal::CHECKED), pcol(S_BORDER_COLOR, pal::TRIM_HOVER), pcol(S_TEXT_COLOR, 0xFFFFFFFF)});
  sheet(st, sel()->sc("choice")->is(ST_CHECKED)->is(ST_HOVER), {pcol(S_BG, pal::CHECKED_HOVER)});
  sheet(st, sel()->sc("choice")->is(ST_PRESSED), {pnum(S_SCALE, 0.965f)});

  // Check boxes are rows of the options, lit faintly under the pointer.
  sheet(st, sel()->sc("check"),
        {pbeh("solid_box\0checkbox\0tooltip_box\0"), pcol(S_BG, 0x00FFFFFF), pcol(S_BORDER_COLOR, pal::TRIM),
         pnum(S_RADIUS, 10), pnum(S_WIDTH, 656), pnum(S_HEIGHT, 58), pnum(S_TEXT_SIZE, 30), pnum(S_ALIGN, 1),
         pnum(S_PADDING, 14), pcol(S_ACCENT, 0xFFF0C878), ptrans(TR_LOOK, 0.14f)});
  sheet(st, sel()->sc("check")->is(ST_HOVER), {pcol(S_BG, 0x22FFFFFF), pcol(S_BORDER_COLOR, pal::TRIM_HOVER)});
  sheet(st, sel()->sc("check")->is(ST_PRESSED), {pcol(S_BG, 0x14FFFFFF)});

  sheet(st, sel()->sc("slider"),
        {pbeh("solid_box\0slider\0tooltip_box\0"), pnum(S_WIDTH, 214), pnum(S_HEIGHT, 52), pcol(S_BG, 0xFFF2EAD8),
         pcol(S_BORDER_COLOR, pal::TRIM), pcol(S_ACCENT, 0xFFC9A45C), ptrans("\x1f", 0.14f)});
  sheet(st, sel()->sc("slider")->is(ST_HOVER),
        {pcol(S_GLOW, pal::GLOW), pnum(S_GLOW_SIZE, 14), pcol(S_BORDER_COLOR, pal::TRIM_HOVER)});

  // The options' rows: a caption and its controls, 656 units wide.
  sheet(st, sel()->sc("row"), {pnum(S_LAYOUT, 2), pnum(S_WIDTH, -1), pnum(S_HEIGHT, 66), pnum(S_SPACING, 16)});
  sheet(st, sel()->sc("row_label"),
        {pnum(S_WIDTH, 300), pnum(S_HEIGHT, 58), pnum(S_ALIGN, 1), pnum(S_TEXT_SIZE, 30), pnum(S_PADDING, 14)});
  sheet(st, sel()->sc("value"),
        {pnum(S_WIDTH, 110), pnum(S_HEIGHT, 58), pnum(S_ALIGN, 1), pnum(S_TEXT_SIZE, 28), pcol(S_TEXT_COLOR, pal::TEXT_DIM)});
  sheet(st, sel()->sc("status"), {pnum(S_WIDTH, 656), pnum(S_HEIGHT, 44), pnum(S_TEXT_SIZE, 26),
                                  pcol(S_TEXT_COLOR, 0xFFBFE09A)});
  sheet(st, sel()->sc("buttons"), {pnum(S_LAYOUT, 2), pnum(S_WIDTH, -1), pnum(S_HEIGHT, 72), pnum(S_SPACING, 20)});
  // The cheats' switches line up with the buttons under them.
  sheet(st, sel()->sc("check")->in(sel()->n("cheats")), {pnum(S_WIDTH, 440)});
}

static void add_tooltip_sheets(GuiStyle &st)
{
  sheet(st, sel()->c("GuiTooltipBox"),
        {pcol(S_BG, 0xF2101720), pnum(S_BORDER, 1.5f), pcol(S_BORDER_COLOR, 0xA0C9A45C), pnum(S_RADIUS, 10),
         pnum(S_PADDING, 16), pnum(S_TEXT_SIZE, 29), pnum(S_ALIGN, 1), pnum(S_SHADOW, 20), pnum(S_SHADOW_Y, 6),
         pcol(S_SHADOW_COLOR, 0xA0000000), pnum(S_WIDTH, -1), pnum(S_HEIGHT, -1)});
}

static void add_spells_sheets(GuiStyle &st)
{
  sheet(st, sel()->sc("map"),
        {pvec(S_ANCHOR, vec4f(1.f, 0.f, 1.f, 0.f)), pnum(S_OFFSET_X, -26), pnum(S_OFFSET_Y, 26), pnum(S_WIDTH, 250),
         pnum(S_HEIGHT, 250), pnum(S_RADIUS, 125), pcol(S_BORDER_COLOR, 0xE0C9A45C), pnum(S_SHADOW, 24),
         pnum(S_SHADOW_Y, 6), pcol(S_SHADOW_COLOR, 0xA0000000)});
  sheet(st, sel()->sc("bar"),
        {pvec(S_ANCHOR, vec4f(0.5f, 1.f, 0.5f, 1.f)), pnum(S_OFFSET_Y, -22), pnum(S_LAYOUT, 2), pnum(S_WIDTH, -1),
         pnum(S_HEIGHT, -1), pnum(S_SPACING, 18), pnum(S_PADDING, 14), pcol(S_BG, 0xB8101820), pnum(S_BORDER, 1.5f),
         pcol(S_BORDER_COLOR, 0x80C9A45C), pnum(S_RADIUS, 22), pnum(S_SHADOW, 26), pnum(S_SHADOW_Y, 8),
         pcol(S_SHADOW_COLOR, 0x90000000)});
  sheet(st, sel()->sc("bar_slot"),
        {pbeh("solid_box\0tooltip_box\0"), pnum(S_WIDTH, 104), pnum(S_HEIGHT, 104), pcol(S_BG, 0xE01A212C),
         pnum(S_BORDER, 2), pcol(S_BORDER_COLOR, 0xB0C9A45C), pnum(S_RADIUS, 16)});
  sheet(st, sel()->sc("bars"), {pnum(S_LAYOUT, 1), pnum(S_WIDTH, -1), pnum(S_HEIGHT, -1), pnum(S_SPACING, 14)});
  for (int mana = 0; mana < 2; mana++)
    sheet(st, sel()->sc(mana ? "mana" : "health"),
          {pnum(S_WIDTH, 430), pnum(S_HEIGHT, 40), pnum(S_RADIUS, 20), pcol(S_BG, 0xD8070A10), pnum(S_BORDER, 1.5f),
           pcol(S_BORDER_COLOR, 0x80C9A45C), pnum(S_TEXT_SIZE, 27), pcol(S_TEXT_OUTLINE, 0xC0000000),
           pcol(S_ACCENT, mana ? pal::MANA : pal::HEALTH), ptext(S_ICON, mana ? "mana" : "health")});

  sheet(st, sel()->sc("grid_panel"),
        {pvec(S_ANCHOR, vec4f(0.5f, 0.45f, 0.5f, 0.5f)), pcol(S_BG, pal::PANEL), pnum(S_BORDER, 2),
         pcol(S_BORDER_COLOR, pal::PANEL_EDGE), pnum(S_RADIUS, 20), pnum(S_SHADOW, 34), pnum(S_SHADOW_Y, 12),
         pcol(S_SHADOW_COLOR, 0xB0000000), pnum(S_PADDING, 30), pnum(S_SPACING, 12), pnum(S_LAYOUT, 1),
         pnum(S_TEXT_SIZE, 46), pnum(S_WIDTH, -1), pnum(S_HEIGHT, -1)});
  sheet(st, sel()->sc("grid"), {pnum(S_LAYOUT, 3), pnum(S_WIDTH, 7 * 108 + 6 * 14), pnum(S_HEIGHT, 2 * 108 + 14),
                                pnum(S_SPACING, 14)});
  sheet(st, sel()->sc("grid_slot"),
        {pbeh("solid_box\0button\0tooltip_box\0"), pnum(S_WIDTH, 108), pnum(S_HEIGHT, 108), pcol(S_BG, 0xE01A212C),
         pnum(S_BORDER, 1.5f), pcol(S_BORDER_COLOR, 0x70C9A45C), pnum(S_RADIUS, 14), ptrans(TR_LOOK, 0.12f)});
  sheet(st, sel()->sc("grid_slot")->is(ST_CHECKED), {pcol(S_BORDER_COLOR, 0xFFF0C878), pnum(S_BORDER, 2.5f)});
  sheet(st, sel()->sc("grid_slot")->is(ST_HOVER),
        {pcol(S_BG, 0xF0283244), pcol(S_BORDER_COLOR, pal::TRIM_HOVER), pcol(S_GLOW, pal::GLOW), pnum(S_GLOW_SIZE, 14),
         pnum(S_SCALE, 1.04f)});
  sheet(st, sel()->sc("grid_slot")->is(ST_PRESSED), {pnum(S_SCALE, 0.96f)});
  sheet(st, sel()->sc("grid_slot")->is(ST_DISABLED), {pcol(S_BG, 0x90141A22), pcol(S_BORDER_COLOR, 0x30C9A45C)});
  sheet(st, sel()->sc("grid_hint"),
        {pnum(S_TEXT_SIZE, 27), pcol(S_TEXT_COLOR, pal::TEXT_DIM), pnum(S_WIDTH, -1), pnum(S_HEIGHT, 40)});
}
