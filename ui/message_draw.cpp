// The on-screen error strip and the visual log, drawn with the bitmap font inside a
// start_draw_text / end_draw_text bracket.
#include "core/log.h"
#include "render/device.h"
#include "ui/text.h"

void draw_error_message()
{
  const char *msg = get_error_message();
  if (!has_error_message() || !msg)
    return;
  push_text_style();
  set_text_scale(2);
  const int g = get_font_glyph_height();
  draw_rect(0, d3d_ht - 12 * g, d3d_wd, d3d_ht, D3dColor(0xCC660000u));
  draw_text(msg, -1, d3d_wd / 2, d3d_ht - g, 0, 1, D3dColor(0xFFFFEE00u));
  pop_text_style();
}

void draw_visual_log()
{
  push_text_style();
  set_text_scale(2);
  const int g = get_font_glyph_height();
  const int n = visual_log_count();
  for (int i = 0; i < n; ++i)
    draw_text(visual_log_entry(i), -1, 2 * g, (n - i) * 2 * g, -1, -1, D3dColor(0xFFFFFFFFu));
  pop_text_style();
}
