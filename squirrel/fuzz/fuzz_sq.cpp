// libFuzzer target: compiles and runs arbitrary input as a script with the math and
// string libraries, under an instruction budget so endless loops end quickly.
// Only pure libraries are registered: no file or process access from fuzzed code.
#include <cstddef>
#include <cstdint>

#include "sqstdmath.h"
#include "sqstdstring.h"
#include "squirrel.h"

// The budget hook of sqfuzz.h, bound weakly under both of the names it may carry:
// the C name it is declared with, and the C++ name it gets when its definition is
// compiled without seeing that declaration.
extern "C" void sq_setinstructionlimit(HSQUIRRELVM v, SQInteger maxinstructions) __attribute__((weak));
void sq_setinstructionlimit_cxx(HSQUIRRELVM v, SQInteger maxinstructions)
    __asm__("_Z22sq_setinstructionlimitP4SQVMx") __attribute__((weak));

namespace {

constexpr SQInteger kInstructionBudget = 200000;

void discard(HSQUIRRELVM, const SQChar *, ...) {}

void set_budget(HSQUIRRELVM v) {
    if (sq_setinstructionlimit) sq_setinstructionlimit(v, kInstructionBudget);
    else if (sq_setinstructionlimit_cxx) sq_setinstructionlimit_cxx(v, kInstructionBudget);
    else __builtin_trap(); // without a budget endless loops would stall the fuzzer
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, discard, discard);
    sq_pushroottable(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_pop(v, 1);
    set_budget(v);
    if (SQ_SUCCEEDED(sq_compilebuffer(v, (const SQChar *)data, (SQInteger)size, "fuzz", SQFalse))) {
        sq_pushroottable(v);
        sq_call(v, 1, SQFalse, SQFalse);
    }
    sq_close(v);
    return 0;
}
