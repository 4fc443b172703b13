// libFuzzer target for the compiled-closure reader (sq_readclosure): the input is a
// closure stream. A stream the reader accepts must be safe to run, so it is called
// (math and string libraries, under an instruction budget), written back with
// sq_writeclosure and read again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_vm.h"

namespace {

// Small: running an accepted stream checks that the reader let no unsafe code through,
// which needs no long runs.
constexpr SQInteger kInstructionBudget = 20000;

struct Input {
    const uint8_t *p;
    size_t left;
};

SQInteger read_input(SQUserPointer up, SQUserPointer dst, SQInteger n) {
    Input *in = (Input *)up;
    if (n < 0 || (size_t)n > in->left) return -1;
    memcpy(dst, in->p, (size_t)n);
    in->p += n;
    in->left -= (size_t)n;
    return n;
}

SQInteger write_output(SQUserPointer up, SQUserPointer src, SQInteger n) {
    std::vector<uint8_t> *out = (std::vector<uint8_t> *)up;
    out->insert(out->end(), (const uint8_t *)src, (const uint8_t *)src + n);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    HSQUIRRELVM v = open_fuzz_vm(kInstructionBudget);
    Input in{data, size};
    const SQInteger top = sq_gettop(v);
    if (SQ_SUCCEEDED(sq_readclosure(v, read_input, &in))) {
        if (sq_gettop(v) != top + 1 || sq_gettype(v, -1) != OT_CLOSURE) __builtin_trap();
        std::vector<uint8_t> again;
        if (SQ_FAILED(sq_writeclosure(v, write_output, &again))) __builtin_trap();  // what was read can be written
        Input in2{again.data(), again.size()};
        if (SQ_FAILED(sq_readclosure(v, read_input, &in2)) || in2.left != 0) __builtin_trap();
        sq_pop(v, 1);
        sq_pushroottable(v);
        sq_call(v, 1, SQFalse, SQFalse);
    } else if (sq_gettop(v) != top) {
        __builtin_trap();  // a refused stream leaves nothing on the stack
    }
    sq_close(v);
    return 0;
}
