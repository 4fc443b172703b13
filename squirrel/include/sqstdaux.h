// Default error handlers and the call-stack dump used by the command-line interpreter.
#pragma once
#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

// Installs a compiler error handler and a runtime error handler that report
// through the VM's error function (falling back to its print function).
SQUIRREL_API void sqstd_seterrorhandlers(HSQUIRRELVM v);
// Prints the call stack and the locals of every frame through the same function.
SQUIRREL_API void sqstd_printcallstack(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif
