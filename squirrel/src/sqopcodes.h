// Register-based instruction set. R[x] is a register of the running frame
// (R[0] is `this`), K[x] a literal of the function prototype. RK operands are
// registers unless the matching bit in `k` marks them as literals.
#pragma once
#include <cstdint>

// clang-format off
enum SQOpcode : uint8_t {
    OP_LOAD,        // R[a] = K[bx]
    OP_LOADINT,     // R[a] = bx
    OP_LOADFLOAT,   // R[a] = float bits bx
    OP_LOADNULL,    // R[a..a+b-1] = null
    OP_LOADBOOL,    // R[a] = b != 0
    OP_MOVE,        // R[a] = R[b]
    OP_LOADROOT,    // R[a] = root table
    OP_LOADCALLEE,  // R[a] = running closure
    OP_GETOUTER,    // R[a] = outer[b]
    OP_SETOUTER,    // outer[a] = R[b]
    OP_GET,         // R[a] = R[b][RK c]
    OP_SET,         // R[a][RK b] = RK c
    OP_NEWSLOT,     // R[a][RK b] <- RK c
    OP_GETENV,      // R[a] = this.K[bx], falling back to the root table
    OP_SETENV,      // this.K[bx] = R[a] if present in this, else root.K[bx] = R[a]
    OP_DELETE,      // R[a] = delete R[b][RK c]
    OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_MOD,  // R[a] = RK b op RK c
    OP_BAND, OP_BOR, OP_BXOR, OP_SHL, OP_SHR, OP_USHR,
    OP_EQ, OP_NE, OP_LT, OP_LE, OP_GT, OP_GE, OP_CMP3,
    OP_NEG,         // R[a] = -R[b]
    OP_NOT,         // R[a] = !R[b]
    OP_BNOT,        // R[a] = ~R[b]
    OP_JMP,         // ip += bx
    OP_JZ,          // if !R[a] ip += bx
    OP_JNZ,         // if R[a] ip += bx
    OP_JCMP,        // if !(R[a] cmp(k>>2) RK b) ip += next.bx ; followed by a data word
    OP_CALL,        // R[c] = R[a](R[a+1] .. R[a+b]) ; b counts this
    OP_TAILCALL,    // return R[a](R[a+1] .. R[a+b])
    OP_RETURN,      // return b ? R[a] : null
    OP_NEWTABLE,    // R[a] = {} with capacity bx
    OP_NEWARRAY,    // R[a] = [] with capacity bx
    OP_APPEND,      // R[a].append(RK b)
    OP_CLOSURE,     // R[a] = closure of function bx; default params taken from R[a..]
    OP_NEWCLASS,    // R[a] = class extends R[b] (0xFFFF none), attributes R[c] (0xFFFF none)
    OP_NEWMEMBER,   // class R[a]: key R[b], value R[b+1], attrs R[b+2]; c&1 static, c&2 has attrs
    OP_FOREACH,     // container R[a]; key R[b], value R[b+1], iterator R[b+2]; done: ip += next.bx ; data word follows
    OP_TYPEOF,      // R[a] = typeof R[b]
    OP_INSTANCEOF,  // R[a] = R[b] instanceof R[c]
    OP_IN,          // R[a] = RK b in R[c]
    OP_CLONE,       // R[a] = clone R[b]
    OP_YIELD,       // yield b ? R[a] : null; R[0..c) are kept for the resume
    OP_RESUME,      // R[a] = resume R[b]
    OP_THROW,       // throw R[a]
    OP_PUSHTRAP,    // on error: R[a] = error, ip = ip + bx
    OP_POPTRAP,     // drop a traps
    OP_GETBASE,     // R[a] = base class of the running method's class
    OP_CLOSE,       // close outers at or above R[a]
    OP_PREPCALL,    // R[a] = R[b][RK c]; R[a+1] = R[b]
    OP_BINDENV,     // R[a] = R[a] bound to environment R[b]
    OP_PREPENV,     // R[a] = this.K[bx] (as GETENV); R[a+1] = this
    OP_FORINC,      // R[a] += K[c] (-= with FORINC_SUB in k); if R[a] cmp(k>>2 & 7) RK b: ip += next.bx ; data word follows
    OP_DATA,        // operand word of the preceding instruction
    // JCMP with its comparison in the opcode (what the compiler emits; k>>2 agrees)
    OP_JLT, OP_JLE, OP_JGT, OP_JGE, OP_JEQ, OP_JNE,
    OP_COUNT
};
// clang-format on

enum SQCmpKind { CMP_LT = 0, CMP_LE, CMP_GT, CMP_GE, CMP_EQ, CMP_NE };

struct SQInstruction {
    uint8_t op;
    uint8_t k;
    uint16_t a;
    uint16_t b;
    uint16_t c;
    int32_t bx() const { return (int32_t)((uint32_t)b | ((uint32_t)c << 16)); }
    void setbx(int32_t v) {
        b = (uint16_t)((uint32_t)v & 0xFFFF);
        c = (uint16_t)((uint32_t)v >> 16);
    }
};

enum { K_B = 1, K_C = 2 };
enum { FORINC_SUB = 0x20 };
#define NO_REG 0xFFFF
