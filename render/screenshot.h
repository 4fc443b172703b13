#pragma once
#include "core/engine_api.h"

// Saves the window's client area, clipped to its display, as
// "shots/shot<year>_<month>_<day>_<hour>_<minute>_<second>.png" beside the program.
// The "shots" folder is not created. Returns true when the file was written; every
// outcome is logged ("screenshot...", then the result).
ENGINE_API bool take_screenshot();

// Copies the visible part of the client area into a capture buffer: B,G,R,A bytes,
// top row first, rows pitch bytes apart. Null when nothing can be captured. The buffer
// lives until release_screen_capture or the next capture.
void *capture_screen(int &width, int &height, int &pitch);
void release_screen_capture();

// The client rectangle (x, y, w, h in screen coordinates) clipped to the display
// rectangle: a part left of or above the display is cut off, as is anything beyond its
// right or bottom edge. False when nothing is left.
bool clip_client_to_display(int x, int y, int w, int h, int dx, int dy, int dw, int dh, int &ox, int &oy, int &ow,
                            int &oh);
