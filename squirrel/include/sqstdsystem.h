// System library for the script engine: clock, time, date, getenv, system, remove, rename.
// Meant for the command-line interpreter and tools; the game does not register it.
#pragma once
#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

SQUIRREL_API SQRESULT sqstd_register_systemlib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif
