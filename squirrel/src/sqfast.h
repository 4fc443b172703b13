// Shortcuts for pure built-ins, for the engine's own libraries (not part of
// the public API): see SQFASTFUNCTION in sqobject.h.
#pragma once
#include "sqobject.h"

// Gives the native closure on top of the stack a shortcut. It must compute
// exactly what the closure computes whenever it returns true.
void sq_setfastpath(HSQUIRRELVM v, SQFASTFUNCTION f);
