// Defaults for the functions other parts of the program supply, so that the renderer
// links on its own (tests, tools). The application's and the text renderer's own
// definitions replace these.
#include "render/device.h"

__attribute__((weak)) void draw_frame(float) {}
__attribute__((weak)) void on_d3d_resize() {}
__attribute__((weak)) void draw_splash() {}
