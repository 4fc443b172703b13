#pragma once
// Sanitizer builds: keeps Mesa's EGL and DRI libraries, once loaded, from being unloaded
// (see lib_pin.cpp). Does nothing in normal builds; safe to call any number of times.
void pin_gl_system_libraries();
