#pragma once
#include <cstdint>
#include "core/d3dcolor.h"
#include "core/engine_api.h"

class RenderBatch;
class StdRenderBatchState;

// Bitmap-font text: a fixed-cell font read from "font.tga" (a 16 x 16 grid of glyph
// cells), drawn pixel-exact at an integer scale with a one-pixel drop shadow.
// Screen coordinates of every call here: pixels, origin at the bottom-left corner of
// the screen, y upwards. align_x / align_y: -1 the text starts at x / lies above y,
// 0 centred, 1 ends at x / lies below y. A negative len measures up to the NUL; a null
// text is the empty text.

struct TextStyle
{
  int line_spacing; // extra pixels between lines
  int char_spacing; // extra pixels after each character
  int scale;        // integer pixel scale of the glyphs
};
static_assert(sizeof(TextStyle) == 12);
// The current style. push_text_style/pop_text_style save and restore it.
extern ENGINE_API TextStyle cur_text_style;

// init_font needs the device; close_font is safe when init_font never ran.
ENGINE_API void init_font();
ENGINE_API void close_font();
// Recomputes the default scale d3d_ht / (cell height * 30), at least 1, for a new
// back-buffer size and logs "font scale: %d". Called from on_d3d_resize.
ENGINE_API void update_font_scale();
ENGINE_API void push_text_style();
ENGINE_API void pop_text_style();
ENGINE_API void set_text_scale(int scale);
// Cell height of the font in texture pixels (the unscaled glyph height), 0 without a font.
ENGINE_API int get_font_glyph_height();
// One text line at the current scale: glyph height * scale (without line spacing).
ENGINE_API int get_text_line_height();

ENGINE_API void calc_text_size(const char *text, int len, int &width, int &height);

// Immediate drawing, valid only between start_draw_text and end_draw_text: the quads
// stream through common_vb_writer, which stays running in between.
ENGINE_API void start_draw_text();
ENGINE_API void end_draw_text();
ENGINE_API void draw_text(const char *text, int len, int x, int y, int align_x, int align_y, D3dColor color);
ENGINE_API void draw_rect(int x0, int y0, int x1, int y1, D3dColor color);
// One-pixel outline of the rectangle: (x1, y1) is its last pixel.
ENGINE_API void draw_box(int x0, int y0, int x1, int y1, D3dColor color);

// The same into a batch, with the font batch state. A text is recorded as one block.
// The batch rectangles are flipped to top-down screen pixels (the GUI's convention), so
// text and GUI quads in one batch keep their painter's order.
ENGINE_API void batch_rect(RenderBatch &batch, int x0, int y0, int x1, int y1, D3dColor color);
ENGINE_API void batch_text(RenderBatch &batch, const char *text, int len, int x, int y, int align_x, int align_y,
                           D3dColor color);
ENGINE_API StdRenderBatchState *get_font_batch_state();

// Stores the message (at most 255 characters) and the progress (negative: no bar) and
// draws and presents one splash frame at once (show_splash_frame).
ENGINE_API void show_splash(const char *message, float progress);
// Draws the stored splash into the back buffer: the device's draw_splash hook, which
// show_splash_frame calls between the begin and end of the scene.
ENGINE_API void draw_splash();

// The help texts of draw_frame: the mode's help text while show_fps is set, otherwise
// the hint "F1: help/stats". Call between start_draw_text and end_draw_text.
ENGINE_API void draw_help_text(const char *text);
ENGINE_API void draw_help_hint();
