// The VM every script-running fuzz target uses: output discarded, only the pure math
// and string libraries (no file or process access from fuzzed code), and an
// instruction budget so endless loops end quickly, and string length and array size
// limits well below the defaults so no input can make the target hold much memory.
#pragma once
#include "sqstdmath.h"
#include "sqstdstring.h"
#include "squirrel.h"

inline void fuzz_discard_print(HSQUIRRELVM, const SQChar *, ...) {}

inline HSQUIRRELVM open_fuzz_vm(SQInteger instruction_budget) {
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, fuzz_discard_print, fuzz_discard_print);
    sq_pushroottable(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_pop(v, 1);
    sq_setinstructionlimit(v, instruction_budget);
    sq_setmaxstringlength(v, 1 << 20);
    sq_setmaxarraysize(v, 1 << 20);
    return v;
}
