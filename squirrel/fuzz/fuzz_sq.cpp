// libFuzzer target: compiles and runs arbitrary input as a script with the math and
// string libraries, under an instruction budget so endless loops end quickly.
// Only pure libraries are registered: no file or process access from fuzzed code.
#include <cstddef>
#include <cstdint>

#include "sqfuzz.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include "squirrel.h"

namespace {

constexpr SQInteger kInstructionBudget = 200000;

void discard(HSQUIRRELVM, const SQChar *, ...) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, discard, discard);
    sq_pushroottable(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_pop(v, 1);
    sq_setinstructionlimit(v, kInstructionBudget);  // endless loops end quickly
    if (SQ_SUCCEEDED(sq_compilebuffer(v, (const SQChar *)data, (SQInteger)size, "fuzz", SQFalse))) {
        sq_pushroottable(v);
        sq_call(v, 1, SQFalse, SQFalse);
    }
    sq_close(v);
    return 0;
}
