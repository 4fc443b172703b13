#pragma once
// The program's GUI services: the distance-field text and icons, the box and image
// drawers, the standard behaviours, the GUI's input and tooltip hooks, and dropping the
// module's screens when the module is unloaded.

// After the device and the bitmap font (start-up), before the module is loaded.
void init_gui_systems();
// Before the font and the device close; safe when init never ran.
void close_gui_systems();
// -gui-dump: logs the active GUI screen's element tree.
void dump_active_gui_screen(int update);
