// Internal hooks for fuzzing and hostile-input tests. Not part of the public API.
#pragma once
#include "squirrel.h"

// Caps the number of VM instructions executed by v and its friend threads from now on.
// When the budget runs out the running script raises "instruction limit exceeded".
// 0 removes the limit.
#ifdef __cplusplus
extern "C" {
#endif
SQUIRREL_API void sq_setinstructionlimit(HSQUIRRELVM v, SQInteger maxinstructions);
#ifdef __cplusplus
}
#endif
