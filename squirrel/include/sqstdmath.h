// Math library for the script engine: abs, fabs, trigonometry, pow, exp, log,
// floor/ceil, sqrt, rand/srand and the RAND_MAX and PI constants.
#pragma once
#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

// Registers the library into the table on top of the stack (usually the root table).
SQUIRREL_API SQRESULT sqstd_register_mathlib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif
