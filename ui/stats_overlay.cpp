// The statistics overlay: frame and update time graphs along the top edge and a panel
// of minimum, average and maximum values in the bottom-right corner. Drawn with the
// bitmap font inside the caller's start_draw_text / end_draw_text bracket.
#include "ui/stats_overlay.h"
#include <cstdio>
#include "core/clock.h"
#include "core/frame_stats.h"
#include "render/device.h"
#include "ui/text.h"

namespace
{
struct SeriesStats
{
  int min, max, avg;
};

SeriesStats series_stats(const int *h)
{
  SeriesStats s{h[0], h[0], 0};
  long long sum = 0;
  for (int i = 0; i < STAT_HISTORY; ++i)
  {
    if (h[i] < s.min)
      s.min = h[i];
    if (h[i] > s.max)
      s.max = h[i];
    sum += h[i];
  }
  s.avg = int((sum + STAT_HISTORY / 2) / STAT_HISTORY);
  return s;
}

// Bars of the ring hist from its oldest sample (at index) to the newest, left to right
// from x0, hanging down from the top edge. full is the sample value of the full height.
void draw_graph(const int *hist, int index, int x0, int bar_w, int graph_h, int full, int period, const SeriesStats &st)
{
  const int top = d3d_ht;
  draw_rect(x0, top - graph_h, x0 + bar_w * STAT_HISTORY, top, D3dColor(0x40000000u));
  if (full <= 0)
    full = 1;
  if (full >= period)
  {
    int level = int((long long)graph_h * period / full);
    draw_rect(x0, top - level, x0 + bar_w * STAT_HISTORY, top, D3dColor(0x20008000u));
  }
  bool labelled = false;
  for (int k = 0; k < STAT_HISTORY; ++k)
  {
    const int v = hist[(index + k) % STAT_HISTORY];
    long long hgt = v > 0 ? (long long)graph_h * v / full : 0;
    if (hgt > graph_h)
      hgt = graph_h;
    const int tone = 64 + 191 * k / (STAT_HISTORY - 1); // dark for the oldest, full for the newest
    const D3dColor c = v < period ? D3dColor(255, tone / 4, tone, tone / 4) : D3dColor(255, tone, tone / 5, tone / 5);
    const int x = x0 + k * bar_w;
    if (hgt > 0)
      draw_rect(x, top - int(hgt), x + bar_w, top, c);
    if (!labelled && v == st.max)
    {
      char buf[16];
      snprintf(buf, sizeof(buf), "%d", v);
      int tw, th;
      calc_text_size(buf, -1, tw, th);
      int tx = x + bar_w / 2 - tw / 2;
      if (tx < x0)
        tx = x0;
      if (tx + tw > x0 + bar_w * STAT_HISTORY)
        tx = x0 + bar_w * STAT_HISTORY - tw;
      draw_text(buf, -1, tx, top - int(hgt) - 1, -1, 1, D3dColor(0xFFFFFFFFu));
      labelled = true;
    }
  }
}

// One panel block: a label at the left and values right-aligned at the right edge,
// bottom value on line `line` (counted in text lines from the bottom of the screen).
void draw_block(const char *label, const char *const *values, int count, int line, int panel_x, int l)
{
  const D3dColor white(0xFFFFFFFFu);
  const int bottom = line * l + l / 4;
  for (int i = 0; i < count; ++i) // values[0] is the top one
    draw_text(values[i], -1, d3d_wd - l / 2, bottom + (count - 1 - i) * l, 1, -1, white);
  draw_text(label, -1, panel_x + l / 2, bottom + (count > 2 ? count : 2) * l, -1, 1, white);
}
} // namespace

void draw_stats_overlay(const FrameStats &fs, int64_t update_period)
{
  push_text_style();
  const int g = get_font_glyph_height();
  int scale = g > 0 ? d3d_ht / (g * 40) : 1;
  set_text_scale(scale < 1 ? 1 : scale);
  const int l = get_text_line_height();

  const SeriesStats ft = series_stats(fs.frame_time);
  const SeriesStats ut = series_stats(fs.update_time);
  const SeriesStats gl = series_stats(fs.gpu_load);
  const int period = get_time_usec(update_period); // T in microseconds

  const int graph_h = d3d_ht / 4;
  const int bar_w = d3d_wd / 400 > 2 ? d3d_wd / 400 : 2;
  draw_graph(fs.frame_time, fs.frame_index, d3d_wd - bar_w * STAT_HISTORY, bar_w, graph_h, 2 * period, period, ft);
  int upd_full = ut.avg > 1000 ? ut.avg : 1000;
  if (upd_full > period)
    upd_full = period;
  draw_graph(fs.update_time, fs.update_index, 0, bar_w, graph_h, 2 * upd_full, period, ut);

  const int panel_w = 12 * l, panel_h = 14 * l;
  const int panel_x = d3d_wd - panel_w;
  draw_rect(panel_x, 0, d3d_wd, panel_h, D3dColor(0x40000000u));

  char b[3][24];
  const char *v[3] = {b[0], b[1], b[2]};
  int line = 0;
  snprintf(b[0], sizeof(b[0]), "%d", fs.fps);
  draw_text("FPS", -1, panel_x + l / 2, line * l + l / 4, -1, -1, D3dColor(0xFFFFFFFFu));
  draw_text(b[0], -1, d3d_wd - l / 2, line * l + l / 4, 1, -1, D3dColor(0xFFFFFFFFu));
  line += 2;

  snprintf(b[0], sizeof(b[0]), "%02d", ft.max);
  snprintf(b[1], sizeof(b[1]), "%02d", ft.avg);
  snprintf(b[2], sizeof(b[2]), "%02d", ft.min);
  draw_block("frame\ntime", v, 3, line, panel_x, l);
  line += 4;

  snprintf(b[0], sizeof(b[0]), "%02d", ut.max);
  snprintf(b[1], sizeof(b[1]), "%02d", ut.avg);
  snprintf(b[2], sizeof(b[2]), "%02d", ut.min);
  draw_block("update\ntime", v, 3, line, panel_x, l);
  line += 3;

  snprintf(b[0], sizeof(b[0]), "%3d MB", int(get_free_texmem() / (1024u * 1024u)));
  draw_block("tex\nmem", v, 1, line, panel_x, l);
  line += 2;

  if (gl.max >= 0)
  {
    snprintf(b[0], sizeof(b[0]), "%3d%%", gl.max);
    snprintf(b[1], sizeof(b[1]), "%3d%%", gl.avg);
    snprintf(b[2], sizeof(b[2]), "%3d%%", gl.min);
    draw_block("GPU\nload", v, 3, line, panel_x, l);
  }
  pop_text_style();
}
