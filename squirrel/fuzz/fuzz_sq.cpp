// libFuzzer target: compiles and runs arbitrary input as a script with the math and
// string libraries, under an instruction budget so endless loops end quickly.
// Only pure libraries are registered: no file or process access from fuzzed code.
#include <cstddef>
#include <cstdint>

#include "fuzz_vm.h"

namespace {

constexpr SQInteger kInstructionBudget = 200000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    HSQUIRRELVM v = open_fuzz_vm(kInstructionBudget);
    if (SQ_SUCCEEDED(sq_compilebuffer(v, (const SQChar *)data, (SQInteger)size, "fuzz", SQFalse))) {
        sq_pushroottable(v);
        sq_call(v, 1, SQFalse, SQFalse);
    }
    sq_close(v);
    return 0;
}
