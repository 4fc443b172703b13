#pragma once
#include "core/engine_api.h"

// Saves the whole back buffer, at the window's size, as
// "shot<year>_<month>_<day>_<hour>_<minute>_<second>.png" in screenshot_dir() (the
// "shots" folder beside the program, created when missing). A name already taken gets
// a counter ("_2", "_3" ...): no picture replaces another. Returns true when the file
// was written; every outcome is logged ("screenshot...", then the result), and a
// failure is shown on the error strip too.
ENGINE_API bool take_screenshot();

// Copies the back buffer into a capture buffer: B,G,R,A bytes, top row first, rows
// pitch bytes apart. Null when nothing can be captured. The buffer lives until
// release_screen_capture or the next capture.
void *capture_screen(int &width, int &height, int &pitch);
void release_screen_capture();
