// The interpreter: entry (Execute), error unwinding, generator frames and the
// instruction loop.
//
// The loop keeps the instruction pointer, the register window and the literal
// table in locals. It stores the instruction pointer back into the frame only
// where something may look at it: before a call, before any out-of-line step
// that may raise or run script code, and when the frame changes. Everything
// that is not a plain fast case lives in the out-of-line member functions
// below the loop.
#include <cmath>

#include "sqvm.h"

// ------------------------------------------------------------ calls

bool SQVM::DoCall(const SQObjectPtr &fnref, SQInteger target, SQInteger nargs, SQInteger stackbase, bool &suspended) {
    SQObjectPtr fn = fnref;
    suspended = false;
    switch (fn._type) {
        case OT_CLOSURE: return StartCall(_closure(fn), target, nargs, stackbase);
        case OT_NATIVECLOSURE: {
            SQObjectPtr ret;
            CallNative(_nativeclosure(fn), nargs, stackbase, ret, suspended);
            if (suspended) {
                _suspendvalue = ret;
                return false;
            }
            StoreResult(target, ret);
            return false;
        }
        case OT_CLASS: {
            SQClass *cls = _class(fn);
            SQObjectPtr inst(OT_INSTANCE, cls->CreateInstance());
            _stack[stackbase] = inst;
            StoreResult(target, inst);
            SQObjectPtr ctor;
            if (cls->GetConstructor(ctor)) {
                if (ctor._type == OT_CLOSURE) {
                    // the frame keeps the constructor alive: the class may drop it meanwhile
                    bool pushed = StartCall(_closure(ctor), -2, nargs, stackbase);
                    return pushed;
                }
                if (ctor._type == OT_NATIVECLOSURE) {
                    SQObjectPtr ret;
                    bool susp;
                    CallNative(_nativeclosure(ctor), nargs, stackbase, ret, susp);
                }
            }
            return false;
        }
        case OT_TABLE:
        case OT_INSTANCE:
        case OT_USERDATA: {
            SQObjectPtr mm;
            if (GetMM(fn, MT_CALL, mm)) {
                EnsureStack(stackbase + nargs + 2);
                for (SQInteger i = nargs; i > 0; i--) _stack[stackbase + i] = std::move(_stack[stackbase + i - 1]);
                _stack[stackbase] = fn;
                if (_top < stackbase + nargs + 1) _top = stackbase + nargs + 1;
                return DoCall(mm, target, nargs + 1, stackbase, suspended);
            }
            break;
        }
        default: break;
    }
    Raise("attempt to call '%s'", GetTypeName(fn));
}

bool SQVM::LoopCall(const SQObjectPtr &fn, SQInteger target, SQInteger nargs, SQInteger stackbase,
                    SQInteger rootframe) {
    bool suspended;
    if (DoCall(fn, target, nargs, stackbase, suspended) || !suspended) return true;
    _suspended = SQTrue;
    _suspended_target = target;
    _suspended_rootframe = rootframe;
    _retval = _suspendvalue;
    return false;
}

// A native called by the interpreter loop; false when it suspended the VM.
bool SQVM::CallNativeFromLoop(SQNativeClosure *nc, SQInteger target, SQInteger nargs, SQInteger stackbase,
                              SQInteger rootframe) {
    SQObjectPtr keep(OT_NATIVECLOSURE, nc);  // the result may overwrite the call register
    SQObjectPtr ret;
    bool suspended;
    CallNative(nc, nargs, stackbase, ret, suspended);
    if (!suspended) {
        StoreResult(target, ret);
        return true;
    }
    _suspendvalue = ret;
    _suspended = SQTrue;
    _suspended_target = target;
    _suspended_rootframe = rootframe;
    _retval = _suspendvalue;
    return false;
}

// ------------------------------------------------------------ generators

void SQVM::ResumeGeneratorFrame(SQGenerator *gen, SQInteger target, const SQInstruction *foreachexit) {
    if (gen->_state == eDead) Raise("resuming dead generator");
    if (gen->_state == eRunning) Raise("resuming active generator");
    SQClosure *c = _closure(gen->_closure);
    SQFunctionProto *p = c->Proto();
    SQInteger newbase = _top;
    EnsureStack(newbase + p->_stacksize);
    for (size_t i = 0; i < gen->_stack.size(); i++) _stack[newbase + (SQInteger)i] = std::move(gen->_stack[i]);
    gen->_stack.clear();
    // outers into the saved registers point into the stack again
    for (SQOuter *o : gen->_outers) {
        SQInteger abs = newbase + o->_idx;
        SQOuter **pp = &_openouters;
        while (*pp && (*pp)->_idx > abs) pp = &(*pp)->_nextopen;
        o->_idx = abs;
        o->_valptr = &_stack[abs];
        o->_vm = this;
        o->_gen = nullptr;
        o->_nextopen = *pp;
        *pp = o;
    }
    gen->_outers.clear();
    SQCallInfo *ci = PushFrame();
    ci->_closure = gen->_closure;
    ci->_ip = p->_instructions.data() + gen->_ip;
    ci->_literals = p->_literals.data();
    ci->_base = newbase;
    ci->_top = newbase + p->_stacksize;
    ci->_target = target;
    ci->_generator = gen;
    ci->_foreachexit = foreachexit;
    ci->_root = false;
    ci->_native = false;
    for (auto t : gen->_etraps) {
        t._stackbase = newbase;
        t._frame = _ncalls - 1;
        _etraps.push_back(t);
    }
    gen->_etraps.clear();
    gen->_state = eRunning;
    _top = newbase + p->_stacksize;
}

// The running generator frame yields val: its first `live` registers (the
// locals; temporaries are dead between statements) go back into the generator.
// Returns whether the frame was the root of the interpreter run.
static bool YieldFrame(SQVM *v, SQGenerator *gen, const SQObject &value, SQInteger live, const SQInstruction *ip) {
    SQObjectPtr val(value);
    SQCallInfo &ci = v->TopFrame();
    SQInteger base = ci._base;
    SQFunctionProto *p = _closure(ci._closure)->Proto();
    if (live > p->_stacksize) live = p->_stacksize;
    gen->_stack.resize((size_t)live);
    for (SQInteger n = 0; n < live; n++) gen->_stack[(size_t)n] = std::move(v->_stack[base + n]);
    // outers into this frame follow the values into the generator
    while (v->_openouters && v->_openouters->_idx >= base) {
        SQOuter *o = v->_openouters;
        v->_openouters = o->_nextopen;
        o->_nextopen = nullptr;
        o->_vm = nullptr;
        SQInteger rel = o->_idx - base;
        if (rel >= live) {  // a dead register: nothing will read it again
            o->_value = *o->_valptr;
            o->_valptr = &o->_value;
            continue;
        }
        o->_idx = rel;
        o->_valptr = &gen->_stack[(size_t)rel];
        o->_gen = gen;
        gen->_outers.push_back(o);
    }
    gen->_ip = ip - p->_instructions.data();
    SQInteger frameidx = v->_ncalls - 1;
    size_t first = v->_etraps.size();
    while (first > 0 && v->_etraps[first - 1]._frame >= frameidx) first--;
    gen->_etraps.assign(v->_etraps.begin() + (std::ptrdiff_t)first, v->_etraps.end());
    v->_etraps.resize(first);
    gen->_state = eSuspended;
    SQInteger target = ci._target;
    bool root = ci._root;
    v->ClearSlots(base + live, base + p->_stacksize);  // may move the frame store
    v->_ncalls = frameidx;
    v->_calls[(size_t)frameidx].DropClosure();
    v->StoreResult(target, val);
    return root;
}

// ------------------------------------------------------------ entry and errors

bool SQVM::Execute(const SQObject &closure, SQInteger nargs, SQInteger stackbase, SQObjectPtr &outres, bool raiseerror,
                   ExecType et) {
    if (_nativenesting >= SQ_MAX_NATIVE_NESTING) {
        _lasterror = MakeString("stack overflow");
        _errorhandled = false;
        return false;
    }
    SQObjectPtr fn(closure);
    SQInteger savedtop = _top;
    SQInteger savedbase = _stackbase;
    bool savedraise = _raiseerror_active;
    _raiseerror_active = raiseerror;
    _nativenesting++;
    SQInteger rootframe = _ncalls;
    bool ok = true;
    bool suspended = false;
    _retval.Null();
    try {
        switch (et) {
            case ET_CALL: {
                bool susp = false;
                bool pushed = fn._type == OT_CLOSURE ? StartCall(_closure(fn), -1, nargs, stackbase)
                                                     : DoCall(fn, -1, nargs, stackbase, susp);
                if (susp) {
                    _suspended = SQTrue;
                    _suspended_target = -1;
                    _suspended_rootframe = rootframe;
                    _retval = _suspendvalue;
                } else if (pushed) {
                    TopFrame()._root = true;
                    Run(rootframe);
                }
                break;
            }
            case ET_RESUME_GENERATOR: {
                _top = stackbase;
                ResumeGeneratorFrame(_generator(fn), -1, nullptr);
                TopFrame()._root = true;
                Run(rootframe);
                break;
            }
            case ET_RESUME_VM:
            case ET_RESUME_THROW_VM: {
                rootframe = _suspended_rootframe;
                _suspended = SQFalse;
                if (_ncalls > rootframe) {
                    if (et == ET_RESUME_THROW_VM) {
                        _lasterror = fn;
                        _errorhandled = false;
                        if (!HandleError(rootframe)) throw SQException();
                    } else {
                        StoreResult(_suspended_target, fn);
                    }
                    Run(rootframe);
                } else {
                    if (et == ET_RESUME_THROW_VM) {
                        _lasterror = fn;
                        throw SQException();
                    }
                    _retval = fn;
                }
                break;
            }
        }
        suspended = _suspended != SQFalse;
        outres = std::move(_retval);
        _retval.Null();
    } catch (const std::bad_alloc &e) {
        // out of memory outside the loop (it turns it into an error itself)
        _lasterror.Null();
        try {
            _lasterror = MakeString(sq_allocerrortext(e));
        } catch (...) {}
        while (_ncalls > rootframe && et != ET_RESUME_VM && et != ET_RESUME_THROW_VM) UnwindFrame();
        ok = false;
    } catch (const SQException &) {
        // raised before any frame of this run could catch it (argument checks,
        // natives called directly); errors from inside were reported by HandleError
        if (raiseerror && !_errorhandled) {
            _errorhandled = true;
            CallErrorHandler(_lasterror);
        }
        while (_ncalls > rootframe && et != ET_RESUME_VM && et != ET_RESUME_THROW_VM) UnwindFrame();
        ok = false;
    }
    _nativenesting--;
    _raiseerror_active = savedraise;
    _stackbase = savedbase;
    if (!suspended) _top = savedtop;
    return ok;
}

void SQVM::Run(SQInteger rootframe) {
    for (;;) {
        try {
            Loop(rootframe);
            return;
        } catch (const SQException &) {
            if (!HandleError(rootframe)) throw;
        } catch (const std::bad_alloc &e) {
            _lasterror.Null();
            try {
                _lasterror = MakeString(sq_allocerrortext(e));
            } catch (...) {}
            _errorhandled = false;
            if (!HandleError(rootframe)) throw SQException();
        }
    }
}

void SQVM::UnwindFrame() {
    SQGenerator *gen = TopFrame()._generator;
    if (gen) {
        gen->_state = eDead;
        gen->CloseOuters();
        gen->_stack.clear();
        gen->_etraps.clear();
    }
    PopFrame();
}

// An error is loose in this run. It is reported (once, with the whole stack
// still in place) when no trap of this run will catch it; then the frames are
// unwound to the trap, or out of the run.
bool SQVM::HandleError(SQInteger rootframe) {
    bool handled = !_etraps.empty() && _etraps.back()._frame >= rootframe;
    if (_raiseerror_active && !_errorhandled && (!handled || _sharedstate->_notifyallexceptions)) {
        _errorhandled = true;
        CallErrorHandler(_lasterror);
    }
    if (!handled) {
        while (_ncalls > rootframe) UnwindFrame();
        return false;
    }
    SQExceptionTrap trap = _etraps.back();
    _etraps.pop_back();
    while (_ncalls - 1 > trap._frame) UnwindFrame();
    SQCallInfo &ci = TopFrame();
    SQFunctionProto *p = _closure(ci._closure)->Proto();
    ci._ip = p->_instructions.data() + trap._ip;
    SQInteger base = ci._base;
    _top = base + p->_stacksize;
    CloseOuters(base + trap._extarget);
    _stack[base + trap._extarget] = _lasterror;  // may run a release hook: ci is not used after
    return true;
}

void SQVM::HookStep() {
    SQSharedState *ss = _sharedstate;
    if (ss->_limited) {
        if (--ss->_instructionlimit < 0) {
            ss->_instructionlimit = 0;
            Raise("instruction limit exceeded");
        }
    }
    if (ss->_debughook && ss->_debuginfo) {
        SQInteger line = CurrentLine(TopFrame());
        if (line != _lastline) {
            _lastline = line;
            CallDebugHook('l', line);
        }
    }
}

// ------------------------------------------------------------ the loop

#define RB ((IK & K_B) ? K[IB] : R[IB])
#define RC ((IK & K_C) ? K[IC] : R[IC])
#define CLOSURE() _closure(ci->_closure)
// the running frame is (or became) the top one: load its state
#define REFRESH()                            \
    do {                                     \
        ci = &_calls[(size_t)(_ncalls - 1)]; \
        R = _stack + ci->_base;              \
        K = ci->_literals;                   \
        ip = ci->_ip;                        \
    } while (0)
// same frame, but the stack or the frame storage may have moved
#define RELOAD()                             \
    do {                                     \
        ci = &_calls[(size_t)(_ncalls - 1)]; \
        R = _stack + ci->_base;              \
    } while (0)
#define SAVE() (ci->_ip = ip)
// Without hooks the loop looks at the hook flag only where control goes back
// or into a call; the hooked variant counts and traces every instruction.
#define CHECK_HOOKS()                                                     \
    do {                                                                  \
        if (!kHooks && __builtin_expect(_sharedstate->_hooksactive, 0)) { \
            SAVE();                                                       \
            return true;                                                  \
        }                                                                 \
    } while (0)

// Writes into registers and container slots. Writing over the last reference
// to an object frees it, and freeing may run a release hook that calls into
// the VM and moves the stack and the frame store: the frame's pointers are
// loaded again after it (the ip saved first, for what the hook may look at).
// Nothing read before a write is used after it.
#define DROP(o)                                        \
    do {                                               \
        if (sq_isrefcounted_type((o)._type)) {         \
            SQRefCounted *r_ = (o)._unVal.pRefCounted; \
            if (--r_->_uiRef == 0) {                   \
                SAVE();                                \
                sq_releaseobject(r_);                  \
                RELOAD();                              \
            }                                          \
        }                                              \
    } while (0)
// dst = src
#define PUT(dst, src)               \
    do {                            \
        const SQObject &s_ = (src); \
        SQObject &d_ = (dst);       \
        SQObject o_ = d_;           \
        d_._type = s_._type;        \
        d_._unVal = s_._unVal;      \
        sq_objaddref(d_);           \
        DROP(o_);                   \
    } while (0)
// dst = v, where v already owns its reference
#define PUTOWNED(dst, v)      \
    do {                      \
        SQObject &d_ = (dst); \
        SQObject o_ = d_;     \
        d_ = (v);             \
        DROP(o_);             \
    } while (0)
// drops the reference dst holds, if any; the caller then stores a plain value
#define UNREF(dst)                                    \
    do {                                              \
        SQObject &d_ = (dst);                         \
        if (sq_isrefcounted_type(d_._type)) {         \
            SQRefCounted *r_ = d_._unVal.pRefCounted; \
            d_._type = OT_NULL;                       \
            d_._unVal.raw = 0;                        \
            if (--r_->_uiRef == 0) {                  \
                SAVE();                               \
                sq_releaseobject(r_);                 \
                RELOAD();                             \
            }                                         \
        }                                             \
    } while (0)
#define PUTNULL(dst)           \
    do {                       \
        UNREF(dst);            \
        (dst)._type = OT_NULL; \
        (dst)._unVal.raw = 0;  \
    } while (0)
#define PUTINT(dst, v)              \
    do {                            \
        SQInteger v_ = (v);         \
        UNREF(dst);                 \
        (dst)._type = OT_INTEGER;   \
        (dst)._unVal.nInteger = v_; \
    } while (0)
#define PUTFLOAT(dst, v)          \
    do {                          \
        SQFloat v_ = (v);         \
        UNREF(dst);               \
        (dst)._unVal.raw = 0;     \
        (dst)._type = OT_FLOAT;   \
        (dst)._unVal.fFloat = v_; \
    } while (0)
#define PUTBOOL(dst, v)                     \
    do {                                    \
        bool v_ = (v);                      \
        UNREF(dst);                         \
        (dst)._type = OT_BOOL;              \
        (dst)._unVal.nInteger = v_ ? 1 : 0; \
    } while (0)

static inline SQInstruction Instr(uint64_t w) {
    SQInstruction i;
    memcpy(&i, &w, sizeof i);
    return i;
}
static inline bool BothNumeric(const SQObject &a, const SQObject &b) {
    return (a._type & SQOBJECT_NUMERIC) && (b._type & SQOBJECT_NUMERIC);
}
static inline bool CmpResult(int kind, SQInteger c) {
    switch (kind) {
        case CMP_LT: return c < 0;
        case CMP_LE: return c <= 0;
        case CMP_GT: return c > 0;
        default: return c >= 0;
    }
}

void SQVM::Loop(SQInteger rootframe) {
    for (;;) {
        bool again = _sharedstate->_hooksactive ? LoopImpl<true>(rootframe) : LoopImpl<false>(rootframe);
        if (!again) return;
    }
}

// Runs frames until the root frame returns, yields or the VM suspends (false),
// or until the hook flag changes what kind of loop is needed (true).
// The loop dispatches on the opcode and the two literal bits together, so a
// handler that reads RB or RC is compiled once for each kind of its operands
// (register or literal) and tests nothing to find them. Every handler ends in
// its own copy of the dispatch (NEXT), through a table of label addresses.
// The running instruction stays one 64-bit word (the layout of SQInstruction:
// op, k, a, b, c from the low byte up) and each handler takes out the fields it
// uses; the dispatch index is the opcode and the two literal bits, its low ten bits.
#define IK ((unsigned)(uint8_t)(i >> 8))
#define IA ((unsigned)(uint16_t)(i >> 16))
#define IB ((unsigned)(uint16_t)(i >> 32))
#define IC ((unsigned)(uint16_t)(i >> 48))
#define IBX ((int32_t)(i >> 32))
#define DISPATCH(i) ((unsigned)(i)&0x3FFu)
#define CASE4(op) L4_##op
#define KSPEC(op, H) LK_##op##_0 : H(op, 0) LK_##op##_1 : H(op, 1) LK_##op##_2 : H(op, 2) LK_##op##_3 : H(op, 3)
#define KSPEC3(op, H, x, y) \
    LK_##op##_0 : H(op, x, y, 0) LK_##op##_1 : H(op, x, y, 1) LK_##op##_2 : H(op, x, y, 2) LK_##op##_3 : H(op, x, y, 3)
#define NEXT()                                            \
    do {                                                  \
        if (kHooks) {                                     \
            SAVE();                                       \
            if (!_sharedstate->_hooksactive) return true; \
            HookStep();                                   \
            REFRESH();                                    \
        }                                                 \
        memcpy(&i, ip++, sizeof i);                       \
        goto *kTable[DISPATCH(i)];                        \
    } while (0)
// Every opcode in the order of SQOpcode: T4 for a handler that serves all four
// literal combinations, TK for one compiled per combination.
#define SQ_LOOP_OPS(T4, TK) \
    T4(OP_LOAD)             \
    T4(OP_LOADINT)          \
    T4(OP_LOADFLOAT)        \
    T4(OP_LOADNULL)         \
    T4(OP_LOADBOOL)         \
    T4(OP_MOVE)             \
    T4(OP_LOADROOT)         \
    T4(OP_LOADCALLEE)       \
    T4(OP_GETOUTER)         \
    T4(OP_SETOUTER)         \
    TK(OP_GET)              \
    TK(OP_SET)              \
    T4(OP_NEWSLOT)          \
    T4(OP_GETENV)           \
    T4(OP_SETENV)           \
    T4(OP_DELETE)           \
    TK(OP_ADD)              \
    TK(OP_SUB)              \
    TK(OP_MUL)              \
    TK(OP_DIV)              \
    TK(OP_MOD)              \
    TK(OP_BAND)             \
    TK(OP_BOR)              \
    TK(OP_BXOR)             \
    TK(OP_SHL)              \
    TK(OP_SHR)              \
    TK(OP_USHR)             \
    TK(OP_EQ)               \
    TK(OP_NE)               \
    TK(OP_LT)               \
    TK(OP_LE)               \
    TK(OP_GT)               \
    TK(OP_GE)               \
    TK(OP_CMP3)             \
    T4(OP_NEG)              \
    T4(OP_NOT)              \
    T4(OP_BNOT)             \
    T4(OP_JMP)              \
    T4(OP_JZ)               \
    T4(OP_JNZ)              \
    TK(OP_JCMP)             \
    T4(OP_CALL)             \
    T4(OP_TAILCALL)         \
    T4(OP_RETURN)           \
    T4(OP_NEWTABLE)         \
    T4(OP_NEWARRAY)         \
    T4(OP_APPEND)           \
    T4(OP_CLOSURE)          \
    T4(OP_NEWCLASS)         \
    T4(OP_NEWMEMBER)        \
    T4(OP_FOREACH)          \
    T4(OP_TYPEOF)           \
    T4(OP_INSTANCEOF)       \
    T4(OP_IN)               \
    T4(OP_CLONE)            \
    T4(OP_YIELD)            \
    T4(OP_RESUME)           \
    T4(OP_THROW)            \
    T4(OP_PUSHTRAP)         \
    T4(OP_POPTRAP)          \
    T4(OP_GETBASE)          \
    T4(OP_CLOSE)            \
    T4(OP_PREPCALL)         \
    T4(OP_BINDENV)          \
    T4(OP_PREPENV)          \
    TK(OP_FORINC)           \
    T4(OP_DATA)             \
    TK(OP_JLT)              \
    TK(OP_JLE)              \
    TK(OP_JGT)              \
    TK(OP_JGE)              \
    TK(OP_JEQ)              \
    TK(OP_JNE)
// The table holds four blocks of 256 entries, one per value of the literal
// bits, each listing every opcode and then padding.
#define LABEL4(op) &&L4_##op,
#define LABELK0(op) &&LK_##op##_0,
#define LABELK1(op) &&LK_##op##_1,
#define LABELK2(op) &&LK_##op##_2,
#define LABELK3(op) &&LK_##op##_3,
#define SQ_PAD1 &&L_INVALID,
#define SQ_PAD10 SQ_PAD1 SQ_PAD1 SQ_PAD1 SQ_PAD1 SQ_PAD1 SQ_PAD1 SQ_PAD1 SQ_PAD1 SQ_PAD1 SQ_PAD1
#define SQ_PAD_OPS                                                                                              \
    SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 \
        SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD10 SQ_PAD1 SQ_PAD1 SQ_PAD1
#define SQ_TABLE_BLOCK(n) SQ_LOOP_OPS(LABEL4, LABELK##n) SQ_PAD_OPS
#define SQ_OP_ORDER(op) op,
namespace {
constexpr SQOpcode kLoopOrder[] = {SQ_LOOP_OPS(SQ_OP_ORDER, SQ_OP_ORDER)};
constexpr bool LoopOrderMatches() {
    for (unsigned n = 0; n < sizeof kLoopOrder / sizeof kLoopOrder[0]; n++)
        if (kLoopOrder[n] != n) return false;
    return sizeof kLoopOrder / sizeof kLoopOrder[0] == OP_COUNT;
}
static_assert(LoopOrderMatches(), "SQ_LOOP_OPS must list every opcode in the order of SQOpcode");
static_assert(OP_COUNT + 183 == 256, "the table pads to 256 opcodes");
}  // namespace
#define RBK(kk) (((kk)&K_B) ? K[IB] : R[IB])
#define RCK(kk) (((kk)&K_C) ? K[IC] : R[IC])

#define H_ARITH(OPC, IOP, FOP, KK)                                                                         \
    {                                                                                                      \
        const SQObject &x = RBK(KK);                                                                       \
        const SQObject &y = RCK(KK);                                                                       \
        if (x._type == OT_INTEGER && y._type == OT_INTEGER) {                                              \
            PUTINT(R[IA], (SQInteger)((SQUnsignedInteger)_integer(x) IOP(SQUnsignedInteger) _integer(y))); \
            NEXT();                                                                                        \
        }                                                                                                  \
        if (BothNumeric(x, y)) {                                                                           \
            PUTFLOAT(R[IA], tofloat(x) FOP tofloat(y));                                                    \
            NEXT();                                                                                        \
        }                                                                                                  \
        SAVE();                                                                                            \
        ArithSlow(OPC, x, y, ci->_base + IA);                                                              \
        RELOAD();                                                                                          \
        NEXT();                                                                                            \
    }

#define H_GET(OPC, KK)                                                        \
    {                                                                         \
        const SQObject &o = R[IB];                                            \
        const SQObject &key = RCK(KK);                                        \
        if (o._type == OT_TABLE) {                                            \
            if (key._type == OT_STRING) {                                     \
                SQTable::Node *n = _table(o)->FindStr(_string(key));          \
                if (n) {                                                      \
                    PUT(R[IA], RealVal(n->val));                              \
                    NEXT();                                                   \
                }                                                             \
            }                                                                 \
        } else if (o._type == OT_ARRAY) {                                     \
            if (key._type == OT_INTEGER) {                                    \
                SQArray *arr = _array(o);                                     \
                SQUnsignedInteger idx = (SQUnsignedInteger)_integer(key);     \
                if (idx < arr->_values.size()) {                              \
                    PUT(R[IA], RealVal(arr->_values[idx]));                   \
                    NEXT();                                                   \
                }                                                             \
            }                                                                 \
        } else if (o._type == OT_INSTANCE && key._type == OT_STRING) {        \
            SQInstance *inst = _instance(o);                                  \
            SQTable::Node *n = inst->_class->_members->FindStr(_string(key)); \
            if (n) {                                                          \
                PUT(R[IA], RealVal(inst->Member(_integer(n->val))));          \
                NEXT();                                                       \
            }                                                                 \
        }                                                                     \
        SAVE();                                                               \
        GetSlow(o, key, ci->_base + IA);                                      \
        RELOAD();                                                             \
        NEXT();                                                               \
    }

#define H_SET(OPC, KK)                                                        \
    {                                                                         \
        const SQObject &o = R[IA];                                            \
        const SQObject &key = RBK(KK);                                        \
        const SQObject &val = RCK(KK);                                        \
        if (o._type == OT_TABLE && key._type == OT_STRING) {                  \
            SQTable::Node *n = _table(o)->FindStr(_string(key));              \
            if (n) {                                                          \
                PUT(n->val, val);                                             \
                NEXT();                                                       \
            }                                                                 \
        } else if (o._type == OT_ARRAY && key._type == OT_INTEGER) {          \
            SQArray *arr = _array(o);                                         \
            SQUnsignedInteger idx = (SQUnsignedInteger)_integer(key);         \
            if (idx < arr->_values.size()) {                                  \
                PUT(arr->_values[idx], val);                                  \
                NEXT();                                                       \
            }                                                                 \
        } else if (o._type == OT_INSTANCE && key._type == OT_STRING) {        \
            SQInstance *inst = _instance(o);                                  \
            SQTable::Node *n = inst->_class->_members->FindStr(_string(key)); \
            if (n && MemberIsField(_integer(n->val))) {                       \
                PUT(inst->_values[MemberIdx(_integer(n->val))], val);         \
                NEXT();                                                       \
            }                                                                 \
        }                                                                     \
        SAVE();                                                               \
        SetSlow(o, key, val);                                                 \
        RELOAD();                                                             \
        NEXT();                                                               \
    }

// Division and remainder: integers inline only for a positive divisor (the slow
// path raises on zero and handles the signs), floats inline always.
#define H_DIVMOD(OPC, IOP, FEXPR, KK)                         \
    {                                                         \
        const SQObject &x = RBK(KK);                          \
        const SQObject &y = RCK(KK);                          \
        if (x._type == OT_INTEGER && y._type == OT_INTEGER) { \
            if (_integer(y) > 0) {                            \
                PUTINT(R[IA], _integer(x) IOP _integer(y));   \
                NEXT();                                       \
            }                                                 \
        } else if (BothNumeric(x, y)) {                       \
            SQFloat fx = tofloat(x), fy = tofloat(y);         \
            PUTFLOAT(R[IA], FEXPR);                           \
            NEXT();                                           \
        }                                                     \
        SAVE();                                               \
        ArithSlow(OPC, x, y, ci->_base + IA);                 \
        RELOAD();                                             \
        NEXT();                                               \
    }

#define H_BAND(OPC, KK)                                                                \
    {                                                                                  \
        const SQObject &x = RBK(KK);                                                   \
        const SQObject &y = RCK(KK);                                                   \
        if (x._type == OT_INTEGER && y._type == OT_INTEGER) {                          \
            SQInteger a = _integer(x), b = _integer(y), r;                             \
            switch (OPC) {                                                             \
                case OP_BAND: r = a & b; break;                                        \
                case OP_BOR: r = a | b; break;                                         \
                case OP_BXOR: r = a ^ b; break;                                        \
                case OP_SHL: r = (SQInteger)((SQUnsignedInteger)a << (b & 63)); break; \
                case OP_SHR: r = a >> (b & 63); break;                                 \
                default: r = (SQInteger)((SQUnsignedInteger)a >> (b & 63)); break;     \
            }                                                                          \
            PUTINT(R[IA], r);                                                          \
            NEXT();                                                                    \
        }                                                                              \
        SAVE();                                                                        \
        BitwiseSlow(OPC, x, y); /* raises: not two integers */                         \
        NEXT();                                                                        \
    }

#define H_EQ(OPC, KK)                                                                                          \
    {                                                                                                          \
        const SQObject &x = RBK(KK);                                                                           \
        const SQObject &y = RCK(KK);                                                                           \
        bool eq = x._type == OT_INTEGER && y._type == OT_INTEGER ? _integer(x) == _integer(y) : IsEqual(x, y); \
        PUTBOOL(R[IA], OPC == OP_EQ ? eq : !eq);                                                               \
        NEXT();                                                                                                \
    }

// Three-way compare of the B and C operands into c: numbers inline, the rest out of line.
#define CMP_OPERANDS(KK)         \
    const SQObject &x = RBK(KK); \
    const SQObject &y = RCK(KK); \
    SQInteger c;                 \
    if (BothNumeric(x, y)) {     \
        c = NumCmp(x, y);        \
    } else {                     \
        SAVE();                  \
        c = CmpSlow(x, y);       \
        RELOAD();                \
    }

#define H_LT(OPC, KK)                              \
    {                                              \
        CMP_OPERANDS(KK)                           \
        PUTBOOL(R[IA], CmpResult(OPC - OP_LT, c)); \
        NEXT();                                    \
    }

#define H_CMP3(OPC, KK)   \
    {                     \
        CMP_OPERANDS(KK)  \
        PUTINT(R[IA], c); \
        NEXT();           \
    }

// Compare and jump when false; JCMP reads the comparison from k, JLT..JNE have
// it in the opcode, so their handlers test nothing to find it.
#define H_JCMPK(OPC, KIND, _, KK)                             \
    {                                                         \
        const SQObject &x = R[IA];                            \
        const SQObject &y = RBK(KK);                          \
        int kind = KIND;                                      \
        bool r;                                               \
        if (x._type == OT_INTEGER && y._type == OT_INTEGER) { \
            SQInteger a = _integer(x), b = _integer(y);       \
            switch (kind) {                                   \
                case CMP_LT: r = a < b; break;                \
                case CMP_LE: r = a <= b; break;               \
                case CMP_GT: r = a > b; break;                \
                case CMP_GE: r = a >= b; break;               \
                case CMP_EQ: r = a == b; break;               \
                default: r = a != b; break;                   \
            }                                                 \
        } else if (BothNumeric(x, y)) {                       \
            if (kind >= CMP_EQ) {                             \
                bool eq = tofloat(x) == tofloat(y);           \
                r = kind == CMP_EQ ? eq : !eq;                \
            } else {                                          \
                r = CmpResult(kind, NumCmp(x, y));            \
            }                                                 \
        } else if (kind >= CMP_EQ) {                          \
            bool eq = IsEqual(x, y);                          \
            r = kind == CMP_EQ ? eq : !eq;                    \
        } else {                                              \
            SAVE();                                           \
            SQInteger c = CmpSlow(x, y);                      \
            RELOAD();                                         \
            r = CmpResult(kind, c);                           \
        }                                                     \
        if (!r) {                                             \
            int32_t off = ip->bx();                           \
            ip += 1 + off;                                    \
            if (off < 0) CHECK_HOOKS();                       \
        } else {                                              \
            ip += 1;                                          \
        }                                                     \
        NEXT();                                               \
    }

#define H_JCMP(OPC, KK) H_JCMPK(OPC, (int)(IK >> 2), _, KK)

#define H_FORINC(OPC, KK)                                                                                       \
    {                                                                                                           \
        SQObjectPtr &x = R[IA];                                                                                 \
        const SQObject &lim = RBK(KK);                                                                          \
        SQInteger step = _integer(K[IC]);                                                                       \
        int kind = (IK >> 2) & 7;                                                                               \
        bool r;                                                                                                 \
        if (x._type == OT_INTEGER && lim._type == OT_INTEGER) {                                                 \
            SQUnsignedInteger v = (SQUnsignedInteger)_integer(x);                                               \
            SQInteger l = _integer(lim);                                                                        \
            if ((IK & ~3u) == 0) { /* counting up while below the limit: most loops */                          \
                SQInteger n = (SQInteger)(v + (SQUnsignedInteger)step);                                         \
                x._unVal.nInteger = n;                                                                          \
                r = n < l;                                                                                      \
            } else {                                                                                            \
                SQInteger n =                                                                                   \
                    (SQInteger)((IK & FORINC_SUB) ? v - (SQUnsignedInteger)step : v + (SQUnsignedInteger)step); \
                x._unVal.nInteger = n;                                                                          \
                switch (kind) {                                                                                 \
                    case CMP_LT: r = n < l; break;                                                              \
                    case CMP_LE: r = n <= l; break;                                                             \
                    case CMP_GT: r = n > l; break;                                                              \
                    default: r = n >= l; break;                                                                 \
                }                                                                                               \
            }                                                                                                   \
        } else {                                                                                                \
            SAVE();                                                                                             \
            r = ForIncSlow(ci->_base + IA, lim, K[IC], IK);                                                     \
            RELOAD();                                                                                           \
        }                                                                                                       \
        if (r) {                                                                                                \
            ip += 1 + ip->bx();                                                                                 \
            CHECK_HOOKS();                                                                                      \
        } else {                                                                                                \
            ip += 1;                                                                                            \
        }                                                                                                       \
        NEXT();                                                                                                 \
    }

template <bool kHooks>
bool SQVM::LoopImpl(SQInteger rootframe) {
    SQCallInfo *ci;
    SQObjectPtr *R;
    const SQObjectPtr *K;
    const SQInstruction *ip;
    uint64_t i;
    static_assert(sizeof(SQInstruction) == sizeof(uint64_t), "an instruction is one word");
    // one entry per opcode and literal bits; any opcode byte lands somewhere
    static const void *const kTable[256 * 4] = {SQ_TABLE_BLOCK(0) SQ_TABLE_BLOCK(1) SQ_TABLE_BLOCK(2)
                                                    SQ_TABLE_BLOCK(3)};
    REFRESH();
    NEXT();
    {
        {
            CASE4(OP_LOAD) : PUT(R[IA], K[IBX]);
            NEXT();
            CASE4(OP_LOADINT) : PUTINT(R[IA], IBX);
            NEXT();
            CASE4(OP_LOADFLOAT) : {
                int32_t bits = IBX;
                SQFloat f;
                memcpy(&f, &bits, 4);
                PUTFLOAT(R[IA], f);
                NEXT();
            }
            CASE4(OP_LOADNULL) : for (unsigned n = 0; n < IB; n++) PUTNULL(R[IA + n]);
            NEXT();
            CASE4(OP_LOADBOOL) : PUTBOOL(R[IA], IB != 0);
            NEXT();
            CASE4(OP_MOVE) : PUT(R[IA], R[IB]);
            NEXT();
            CASE4(OP_LOADROOT) : PUT(R[IA], GetRootFor(CLOSURE()));  // the temporary goes before NEXT
            NEXT();
            CASE4(OP_LOADCALLEE) : PUT(R[IA], ci->_closure);
            NEXT();
            CASE4(OP_GETOUTER) : PUT(R[IA], *_outer(CLOSURE()->_outervalues[IB])->_valptr);
            NEXT();
            CASE4(OP_SETOUTER) : PUT(*_outer(CLOSURE()->_outervalues[IA])->_valptr, R[IB]);
            NEXT();
            KSPEC(OP_GET, H_GET)
            CASE4(OP_PREPCALL) : {
                const SQObject &o = R[IB];
                const SQObject &key = RC;
                if (o._type == OT_INSTANCE && key._type == OT_STRING) {
                    SQInstance *inst = _instance(o);
                    SQTable::Node *n = inst->_class->_members->FindStr(_string(key));
                    if (n) {
                        SQObject fn = RealVal(inst->Member(_integer(n->val)));
                        sq_objaddref(fn);
                        PUT(R[IA + 1], R[IB]);  // first: R[IB] may be R[IA]
                        PUTOWNED(R[IA], fn);
                        NEXT();
                    }
                } else if (o._type == OT_TABLE && key._type == OT_STRING) {
                    SQTable::Node *n = _table(o)->FindStr(_string(key));
                    if (n) {
                        SQObject fn = RealVal(n->val);
                        sq_objaddref(fn);
                        PUT(R[IA + 1], R[IB]);
                        PUTOWNED(R[IA], fn);
                        NEXT();
                    }
                } else if (key._type == OT_STRING &&
                           (o._type == OT_STRING || o._type == OT_ARRAY || (o._type & SQOBJECT_NUMERIC))) {
                    // methods of the built-in types come from their default delegate
                    const SQObjectPtr &dd = o._type == OT_STRING  ? _sharedstate->_string_default_delegate
                                            : o._type == OT_ARRAY ? _sharedstate->_array_default_delegate
                                                                  : _sharedstate->_number_default_delegate;
                    SQTable::Node *n = _table(dd)->FindStr(_string(key));
                    if (n) {
                        SQObject fn = n->val;
                        sq_objaddref(fn);
                        PUT(R[IA + 1], R[IB]);
                        PUTOWNED(R[IA], fn);
                        NEXT();
                    }
                }
                SAVE();
                PrepCallSlow(o, key, ci->_base + IA);
                RELOAD();
                NEXT();
            }
            KSPEC(OP_SET, H_SET)
            CASE4(OP_NEWSLOT) : {
                SAVE();
                NewSlotSlow(R[IA], RB, RC);
                RELOAD();
                NEXT();
            }
            CASE4(OP_GETENV) : {
                const SQObject &self = R[0];
                SQString *key = _string(K[IBX]);
                if (self._type == OT_TABLE) {
                    SQTable::Node *n = _table(self)->FindStr(key);
                    if (n) {
                        PUT(R[IA], RealVal(n->val));
                        NEXT();
                    }
                } else if (self._type == OT_INSTANCE) {
                    SQInstance *inst = _instance(self);
                    SQTable::Node *n = inst->_class->_members->FindStr(key);
                    if (n) {
                        PUT(R[IA], RealVal(inst->Member(_integer(n->val))));
                        NEXT();
                    }
                }
                if (SQTable::Node *n = CachedEnvNode(CLOSURE(), self, IBX)) {
                    PUT(R[IA], RealVal(n->val));
                    NEXT();
                }
                SAVE();
                GetEnvSlow(CLOSURE(), IBX, ci->_base + IA);
                RELOAD();
                NEXT();
            }
            CASE4(OP_PREPENV) : {  // a call of a bare name: the function and this
                const SQObject &self = R[0];
                SQString *key = _string(K[IBX]);
                if (self._type == OT_TABLE) {
                    SQTable::Node *n = _table(self)->FindStr(key);
                    if (n) {
                        PUT(R[IA], RealVal(n->val));
                        PUT(R[IA + 1], R[0]);
                        NEXT();
                    }
                } else if (self._type == OT_INSTANCE) {
                    SQInstance *inst = _instance(self);
                    SQTable::Node *n = inst->_class->_members->FindStr(key);
                    if (n) {
                        PUT(R[IA], RealVal(inst->Member(_integer(n->val))));
                        PUT(R[IA + 1], R[0]);
                        NEXT();
                    }
                }
                if (SQTable::Node *n = CachedEnvNode(CLOSURE(), self, IBX)) {
                    PUT(R[IA], RealVal(n->val));
                    PUT(R[IA + 1], R[0]);
                    NEXT();
                }
                SAVE();
                GetEnvSlow(CLOSURE(), IBX, ci->_base + IA);
                RELOAD();
                PUT(R[IA + 1], R[0]);
                NEXT();
            }
            CASE4(OP_SETENV) : {
                const SQObject &self = R[0];
                SQString *key = _string(K[IBX]);
                if (self._type == OT_TABLE) {
                    SQTable::Node *n = _table(self)->FindStr(key);
                    if (n) {
                        PUT(n->val, R[IA]);
                        NEXT();
                    }
                } else if (self._type == OT_INSTANCE) {
                    SQInstance *inst = _instance(self);
                    SQTable::Node *n = inst->_class->_members->FindStr(key);
                    if (n && MemberIsField(_integer(n->val))) {
                        PUT(inst->_values[MemberIdx(_integer(n->val))], R[IA]);
                        NEXT();
                    }
                }
                SAVE();
                SetEnvSlow(CLOSURE(), K[IBX], R[IA]);
                RELOAD();
                NEXT();
            }
            CASE4(OP_DELETE) : {
                SAVE();
                DeleteSlow(R[IB], RC, ci->_base + IA);
                RELOAD();
                NEXT();
            }
            KSPEC3(OP_ADD, H_ARITH, +, +)
            KSPEC3(OP_SUB, H_ARITH, -, -)
            KSPEC3(OP_MUL, H_ARITH, *, *)
            KSPEC3(OP_DIV, H_DIVMOD, /, fx / fy)
            KSPEC3(OP_MOD, H_DIVMOD, %, fmodf(fx, fy))
            KSPEC(OP_BAND, H_BAND)
            KSPEC(OP_BOR, H_BAND)
            KSPEC(OP_BXOR, H_BAND)
            KSPEC(OP_SHL, H_BAND)
            KSPEC(OP_SHR, H_BAND)
            KSPEC(OP_USHR, H_BAND)
            KSPEC(OP_EQ, H_EQ)
            KSPEC(OP_NE, H_EQ)
            KSPEC(OP_LT, H_LT)
            KSPEC(OP_LE, H_LT)
            KSPEC(OP_GT, H_LT)
            KSPEC(OP_GE, H_LT)
            KSPEC(OP_CMP3, H_CMP3)
            CASE4(OP_NEG) : {
                const SQObject &x = R[IB];
                if (x._type == OT_INTEGER) {
                    PUTINT(R[IA], (SQInteger)(0 - (SQUnsignedInteger)_integer(x)));
                    NEXT();
                }
                if (x._type == OT_FLOAT) {
                    PUTFLOAT(R[IA], -_float(x));
                    NEXT();
                }
                SAVE();
                NegSlow(x, ci->_base + IA);
                RELOAD();
                NEXT();
            }
            CASE4(OP_NOT) : PUTBOOL(R[IA], IsFalse(R[IB]));
            NEXT();
            CASE4(OP_BNOT) : {
                const SQObject &x = R[IB];
                if (x._type != OT_INTEGER) {
                    SAVE();
                    Raise("attempt to perform a bitwise op on a %s", GetTypeName(x));
                }
                PUTINT(R[IA], ~_integer(x));
                NEXT();
            }
            CASE4(OP_JMP) : ip += IBX;
            if (IBX < 0) CHECK_HOOKS();
            NEXT();
            CASE4(OP_JZ) : if (IsFalse(R[IA])) {
                ip += IBX;
                if (IBX < 0) CHECK_HOOKS();
            }
            NEXT();
            CASE4(OP_JNZ) : if (!IsFalse(R[IA])) {
                ip += IBX;
                if (IBX < 0) CHECK_HOOKS();
            }
            NEXT();
            KSPEC(OP_JCMP, H_JCMP)
            KSPEC3(OP_JLT, H_JCMPK, CMP_LT, _)
            KSPEC3(OP_JLE, H_JCMPK, CMP_LE, _)
            KSPEC3(OP_JGT, H_JCMPK, CMP_GT, _)
            KSPEC3(OP_JGE, H_JCMPK, CMP_GE, _)
            KSPEC3(OP_JEQ, H_JCMPK, CMP_EQ, _)
            KSPEC3(OP_JNE, H_JCMPK, CMP_NE, _)
            KSPEC(OP_FORINC, H_FORINC)
            CASE4(OP_CALL) : {
                const SQObject &f = R[IA];
                if (f._type == OT_CLOSURE) {
                    SQClosure *c = _closure(f);
                    SQFunctionProto *p = c->Proto();
                    SQInteger newbase = ci->_base + IA + 1;
                    SQInteger newtop = newbase + p->_stacksize;
                    if ((SQInteger)IB == p->_directnargs && !c->_env && newtop <= _stacksize && _ncalls < _callcap) {
                        SAVE();
                        SQInteger target = ci->_base + IC;
                        ci = &_calls[(size_t)_ncalls++];
                        // a free frame holds no closure; the call register keeps
                        // this one alive, so the frame only borrows it
                        ci->_closure._type = OT_CLOSURE;
                        ci->_closure._unVal.pClosure = c;
                        ci->_borrowed = true;
                        ci->_literals = p->_literals.data();
                        ci->_base = newbase;
                        ci->_top = newtop;
                        ci->_target = target;
                        ci->_generator = nullptr;
                        ci->_foreachexit = nullptr;
                        ci->_root = false;
                        ci->_native = false;
                        ip = ci->_ip = p->_instructions.data();
                        _top = newtop;
                        R = _stack + newbase;
                        K = p->_literals.data();
                        // a debug hook makes the hook flag true as well: one test
                        // for both while neither is set
                        if (__builtin_expect(_sharedstate->_hooksactive, 0)) {
                            if (_sharedstate->_debughook) {
                                CallDebugHook('c', p->GetLine(0));
                                REFRESH();
                            }
                            CHECK_HOOKS();
                        }
                        NEXT();
                    }
                }
                if (f._type == OT_NATIVECLOSURE) {
                    SQNativeClosure *nc = _nativeclosure(f);
                    if (nc->_fast && !_sharedstate->_debughook) {
                        SQObject res;
                        if (nc->_fast(&R[IA + 1], IB, res)) {
                            PUTOWNED(R[IC], res);  // a plain value
                            NEXT();
                        }
                    }
                    SAVE();
                    if (!CallNativeFromLoop(nc, ci->_base + IC, IB, ci->_base + IA + 1, rootframe)) return false;
                    RELOAD();
                    NEXT();
                }
                SAVE();
                SQInteger base = ci->_base;
                if (!LoopCall(R[IA], base + IC, IB, base + IA + 1, rootframe)) return false;
                REFRESH();
                CHECK_HOOKS();
                NEXT();
            }
            CASE4(OP_TAILCALL) : {
                const SQObject &f = R[IA];
                if (f._type == OT_CLOSURE && !ci->_generator && !_sharedstate->_debughook &&
                    (_etraps.empty() || _etraps.back()._frame < _ncalls - 1)) {
                    SQClosure *c = _closure(f);
                    SQFunctionProto *p = c->Proto();
                    SQInteger base = ci->_base;
                    SQInteger newtop = base + p->_stacksize;
                    if (IB == p->_nparameters && !p->_varparams && !p->_bgenerator && !c->_env &&
                        newtop <= _stacksize) {
                        // the frame is reused: arguments down to R[0..], the rest dropped
                        c->_uiRef++;
                        SQObject old = ci->_closure;
                        bool borrowed = ci->_borrowed;
                        SQInteger end = ci->_top > newtop ? ci->_top : newtop;
                        ci->_closure._unVal.pClosure = c;
                        ci->_closure._type = OT_CLOSURE;
                        ci->_borrowed = false;
                        ip = ci->_ip = p->_instructions.data();
                        K = ci->_literals = p->_literals.data();
                        if (_openouters && _openouters->_idx >= base) CloseOuters(base);
                        // the values written over go up into the slots that are
                        // cleared next: nothing is released while R is in use
                        for (SQInteger n = 0; n < IB; n++) std::swap(R[n], R[IA + 1 + n]);
                        // releases may call into the VM and move the stack and the frames
                        ClearSlots(base + IB, end);
                        if (!borrowed) sq_objrelease(old);
                        ci = &_calls[(size_t)(_ncalls - 1)];
                        R = _stack + base;
                        _top = ci->_top = newtop;
                        CHECK_HOOKS();
                        NEXT();
                    }
                }
                SAVE();
                if (TailCall(Instr(i), rootframe)) return false;
                REFRESH();
                CHECK_HOOKS();
                NEXT();
            }
            CASE4(OP_RETURN) : {
                if (ci->_generator) {
                    SAVE();
                    if (GeneratorReturn(Instr(i))) return false;
                    REFRESH();
                    _top = ci->_top;
                    NEXT();
                }
                if (__builtin_expect(_sharedstate->_debughook, 0)) {
                    SAVE();
                    CallDebugHook('r', CurrentLine(*ci));
                    RELOAD();
                }
                SQInteger base = ci->_base, target = ci->_target;
                bool root = ci->_root;
                {
                    // the result moves out of its register as a bare value that
                    // owns its reference, so it lives in machine registers
                    // closures made here keep the values of the locals they
                    // see: their outers close before the result moves out
                    if (_openouters && _openouters->_idx >= base) CloseOuters(base);
                    SQObject ret;
                    ret._type = OT_NULL;
                    ret._unVal.raw = 0;
                    if (IB) {
                        ret = R[IA];
                        R[IA]._type = OT_NULL;
                        R[IA]._unVal.raw = 0;
                    }
                    SQInteger idx = _ncalls - 1;
                    while (!_etraps.empty() && _etraps.back()._frame >= idx) _etraps.pop_back();
                    // a release below may call into the VM and move the frame store
                    auto refind = [&] { ci = &_calls[(size_t)idx]; };
                    ClearWindow(base, ci->_top, refind);
                    if (ci->_borrowed) {
                        ci->_closure._type = OT_NULL;
                        ci->_closure._unVal.raw = 0;
                        ci->_borrowed = false;
                        _ncalls = idx;
                    } else {
                        SQObject c = ci->_closure;
                        ci->_closure._type = OT_NULL;
                        ci->_closure._unVal.raw = 0;
                        _ncalls = idx;
                        Drop(c, refind);
                    }
                    SQObject *dest = target >= 0 ? &_stack[target] : target == -1 ? &_retval : nullptr;
                    if (dest) {
                        SQObject old = *dest;
                        dest->_type = ret._type;
                        dest->_unVal = ret._unVal;
                        Drop(old, refind);
                    } else {
                        Drop(ret, refind);
                    }
                }
                if (root) return false;
                ci--;  // the caller's frame, just below in the same storage
                R = _stack + ci->_base;
                K = ci->_literals;
                ip = ci->_ip;
                _top = ci->_top;
                CHECK_HOOKS();
                NEXT();
            }
            CASE4(OP_NEWTABLE) : SAVE();
            {
                SQObject t;
                t._type = OT_TABLE;
                t._unVal.raw = 0;
                t._unVal.pTable = SQTable::Create(_sharedstate, IBX < 4096 ? IBX : 4096);
                t._unVal.pRefCounted->_uiRef++;
                PUTOWNED(R[IA], t);
            }
            NEXT();
            CASE4(OP_NEWARRAY) : {
                SAVE();
                SQArray *a = SQArray::Create(_sharedstate, 0);
                a->_values.reserve((size_t)(IBX < 4096 ? (IBX < 0 ? 0 : IBX) : 4096));
                SQObject t;
                t._type = OT_ARRAY;
                t._unVal.raw = 0;
                t._unVal.pArray = a;
                a->_uiRef++;
                PUTOWNED(R[IA], t);
                NEXT();
            }
            CASE4(OP_APPEND) : if (R[IA]._type != OT_ARRAY) {
                SAVE();
                Raise("append to a non array");
            }
            _array(R[IA])->Append(RB);
            NEXT();
            CASE4(OP_CLOSURE) : {
                SAVE();
                MakeClosure(CLOSURE(), Instr(i), ci->_base);
                RELOAD();
                NEXT();
            }
            CASE4(OP_BINDENV) : {
                SAVE();
                BindEnv(ci->_base + IA, ci->_base + IB);
                RELOAD();
                NEXT();
            }
            CASE4(OP_NEWCLASS) : {
                SAVE();
                NewClass(Instr(i), ci->_base);
                RELOAD();
                NEXT();
            }
            CASE4(OP_NEWMEMBER) : {
                SAVE();
                NewMember(Instr(i), ci->_base);
                RELOAD();
                NEXT();
            }
            CASE4(OP_FOREACH) : {
                const SQObject &cont = R[IA];
                SQObjectPtr *kv = &R[IB];
                if (cont._type == OT_ARRAY) {
                    SQArray *arr = _array(cont);
                    SQInteger idx = kv[2]._type == OT_INTEGER ? _integer(kv[2]) : 0;
                    if (idx >= 0 && idx < arr->Size()) {
                        PUT(R[IB + 1], RealVal(arr->_values[(size_t)idx]));
                        PUTINT(R[IB], idx);
                        PUTINT(R[IB + 2], idx + 1);
                        ip += 1;
                    } else {
                        ip += 1 + ip->bx();
                    }
                    NEXT();
                }
                if (cont._type == OT_GENERATOR) {
                    // resumed in this loop: the yield stores the value and goes on
                    // with the body, the end jumps past the loop
                    SQGenerator *g = _generator(cont);
                    if (g->_state == eDead) {
                        ip += 1 + ip->bx();
                        NEXT();
                    }
                    SQInteger n = kv[2]._type == OT_INTEGER ? _integer(kv[2]) : 0;
                    PUTINT(R[IB], n);
                    PUTINT(R[IB + 2], n + 1);
                    const SQInstruction *exit = ip + 1 + ip->bx();
                    ci->_ip = ip + 1;
                    ResumeGeneratorFrame(g, ci->_base + IB + 1, exit);
                    REFRESH();
                    NEXT();
                }
                SAVE();
                bool more = ForeachStep(ci->_base + IA, ci->_base + IB);
                RELOAD();
                if (!more)
                    ip += 1 + ip->bx();
                else
                    ip += 1;
                NEXT();
            }
            CASE4(OP_TYPEOF) : {
                SAVE();
                TypeOfSlow(R[IB], ci->_base + IA);
                RELOAD();
                NEXT();
            }
            CASE4(OP_INSTANCEOF) : {
                const SQObject &o = R[IB];
                const SQObject &c = R[IC];
                if (c._type != OT_CLASS) {
                    SAVE();
                    Raise("cannot apply instanceof between a %s and a %s", GetTypeName(o), GetTypeName(c));
                }
                PUTBOOL(R[IA], o._type == OT_INSTANCE && _instance(o)->InstanceOf(_class(c)));
                NEXT();
            }
            CASE4(OP_IN) : {  // raw: a table's own slots, an instance's or class's members
                SAVE();
                bool found = InSlow(RB, R[IC]);
                RELOAD();
                PUTBOOL(R[IA], found);
                NEXT();
            }
            CASE4(OP_CLONE) : {
                SAVE();
                CloneSlow(R[IB], ci->_base + IA);
                RELOAD();
                NEXT();
            }
            CASE4(OP_YIELD) : {
                SAVE();
                if (!ci->_generator) Raise("trying to yield a 'function',only genenerator can be yielded");
                if (YieldFrame(this, ci->_generator, IB ? R[IA] : _null_, IC, ip)) return false;
                REFRESH();
                _top = ci->_top;
                NEXT();
            }
            CASE4(OP_RESUME) : {
                const SQObject &g = R[IB];
                SAVE();
                if (g._type != OT_GENERATOR)
                    Raise("trying to resume a '%s',only genenerator can be resumed", GetTypeName(g));
                ResumeGeneratorFrame(_generator(g), ci->_base + IA, nullptr);
                REFRESH();
                NEXT();
            }
            CASE4(OP_THROW) : SAVE();
            RaiseObj(R[IA]);
            CASE4(OP_PUSHTRAP) : {
                SQExceptionTrap t;
                t._stackbase = ci->_base;
                t._stacksize = IA;
                t._ip = (ip - CLOSURE()->Proto()->_instructions.data()) + IBX;
                t._extarget = IA;
                t._frame = _ncalls - 1;
                _etraps.push_back(t);
                NEXT();
            }
            CASE4(OP_POPTRAP) : for (unsigned n = 0; n < IA && !_etraps.empty(); n++) _etraps.pop_back();
            NEXT();
            CASE4(OP_GETBASE) : if (SQClass *b = CLOSURE()->_base) { PUT(R[IA], SQObjectPtr(OT_CLASS, b)); }
            else PUTNULL(R[IA]);
            NEXT();
            CASE4(OP_CLOSE) : CloseOuters(ci->_base + IA);
            NEXT();
            CASE4(OP_DATA) : L_INVALID : SAVE();
            Raise("invalid instruction");
        }
    }
}

template bool SQVM::LoopImpl<false>(SQInteger rootframe);
template bool SQVM::LoopImpl<true>(SQInteger rootframe);

// ------------------------------------------------------------ out-of-line steps

// The steps below own their copies of the operands, so that the loop itself
// holds no value with a destructor.
void SQVM::NewSlotSlow(const SQObject &o, const SQObject &key, const SQObject &val) {
    SQObjectPtr obj(o), k(key), v(val);
    NewSlot(obj, k, v, false);
}

void SQVM::DeleteSlow(const SQObject &o, const SQObject &key, SQInteger target) {
    SQObjectPtr obj(o), k(key), res;
    DeleteSlot(obj, k, res);
    _stack[target] = std::move(res);
}

void SQVM::BitwiseSlow(int op, const SQObject &x, const SQObject &y) {
    SQObjectPtr res;
    BitwiseOp(op, x, y, res);
}

SQInteger SQVM::CmpSlow(const SQObject &x, const SQObject &y) {
    SQObjectPtr o1(x), o2(y);
    return ObjCmp(o1, o2);
}

void SQVM::NegSlow(const SQObject &x, SQInteger target) {
    SQObjectPtr o(x), res;
    Negate(o, res);
    _stack[target] = std::move(res);
}

void SQVM::TypeOfSlow(const SQObject &x, SQInteger target) {
    SQObjectPtr o(x), res;
    TypeOf(o, res);
    _stack[target] = std::move(res);
}

bool SQVM::InSlow(const SQObject &key, const SQObject &obj) {
    SQObjectPtr k(key), o(obj), tmp;
    return Get(o, k, tmp, GET_NO_THROW | GET_RAW);
}

void SQVM::CloneSlow(const SQObject &x, SQInteger target) {
    SQObjectPtr o(x), res;
    Clone(o, res);
    _stack[target] = std::move(res);
}

// FORINC on anything but two integers: the step and the test as the ADD (SUB)
// and the comparison they stand for would do them.
bool SQVM::ForIncSlow(SQInteger slot, const SQObject &limit, const SQObject &step, int k) {
    SQObjectPtr lim(limit);
    ArithSlow((k & FORINC_SUB) ? OP_SUB : OP_ADD, _stack[slot], step, slot);
    SQInteger c = CmpSlow(_stack[slot], lim);
    return CmpResult((k >> 2) & 7, c);
}

void SQVM::GetSlow(const SQObject &o, const SQObject &key, SQInteger target) {
    SQObjectPtr obj(o), k(key), tmp;
    Get(obj, k, tmp, 0);
    _stack[target] = std::move(tmp);
}

void SQVM::PrepCallSlow(const SQObject &o, const SQObject &key, SQInteger target) {
    SQObjectPtr obj(o), k(key), tmp;
    Get(obj, k, tmp, 0);
    _stack[target + 1] = std::move(obj);
    _stack[target] = std::move(tmp);
}

void SQVM::SetSlow(const SQObject &o, const SQObject &key, const SQObject &val) {
    SQObjectPtr obj(o), k(key), v(val);
    Set(obj, k, v, true);
}

void SQVM::ArithSlow(int op, const SQObject &x, const SQObject &y, SQInteger target) {
    SQObjectPtr o1(x), o2(y), res;
    Arith(op, o1, o2, res);
    _stack[target] = std::move(res);
}

// A bare name: `this` first (honouring its delegates or its class's _get), then
// the root table.
void SQVM::GetEnvSlow(SQClosure *closure, SQInteger kidx, SQInteger target) {
    const SQObjectPtr self = _stack[TopFrame()._base];
    SQFunctionProto *proto = closure->Proto();
    const SQObject &key = proto->_literals[(size_t)kidx];
    SQObjectPtr k(key), tmp;
    SQString *s = _string(key);
    if (self._type == OT_TABLE) {
        SQTable::Node *n = _table(self)->FindStr(s);
        if (n) {
            _stack[target] = RealVal(n->val);
            return;
        }
    } else if (self._type == OT_INSTANCE && _instance(self)->Get(key, tmp)) {
        _stack[target] = std::move(tmp);
        return;
    }
    bool plain = (self._type == OT_TABLE && !_table(self)->_delegate) ||
                 (self._type == OT_INSTANCE && _instance(self)->_class->_metamethods[MT_GET]._type == OT_NULL);
    if (plain) {
        // only the default delegate is left to look at before the root
        const SQObjectPtr &dd =
            self._type == OT_TABLE ? _sharedstate->_table_default_delegate : _sharedstate->_instance_default_delegate;
        SQTable::Node *n = _table(dd)->FindStr(s);
        if (n) {
            _stack[target] = n->val;
            return;
        }
    } else if (Get(self, k, tmp, GET_NO_THROW)) {
        _stack[target] = std::move(tmp);
        return;
    }
    SQObjectPtr root = GetRootFor(closure);
    if (root._type == OT_TABLE) {
        SQTable::Node *n = _table(root)->FindStr(s);
        if (n) {
            // `this` missed for good unless its layout changes: remember the node
            SQTable *selft = self._type == OT_TABLE ? _table(self) : nullptr;
            if (self._type == OT_INSTANCE && !_instance(self)->_class->_members->FindStr(s))
                selft = _instance(self)->_class->_members;
            if (plain && selft) {
                if (proto->_envcache.empty()) proto->_envcache.resize(proto->_literals.size());
                const SQObjectPtr &dd = self._type == OT_TABLE ? _sharedstate->_table_default_delegate
                                                               : _sharedstate->_instance_default_delegate;
                SQEnvCache &e = proto->_envcache[(size_t)kidx];
                e.self = selft;
                e.selfshape = selft->_shape;
                e.root = _table(root);
                e.rootshape = _table(root)->_shape;
                e.ddshape = _table(dd)->_shape;
                e.node = n;
            }
            _stack[target] = RealVal(n->val);
            return;
        }
        if (_table(root)->_delegate && Get(root, k, tmp, GET_NO_THROW)) {
            _stack[target] = std::move(tmp);
            return;
        }
    }
    RaiseIdxNotFound(k);
}

void SQVM::SetEnvSlow(SQClosure *closure, const SQObject &key, const SQObject &val) {
    // `this` first (its delegates or its class's _set included), then the root
    SQObjectPtr selfp(_stack[TopFrame()._base]), k(key), v(val);
    if (!Set(selfp, k, v, false)) {
        SQObjectPtr root = GetRootFor(closure);
        Set(root, k, v, true);
    }
}

void SQVM::MakeClosure(SQClosure *closure, SQInstruction i, SQInteger base) {
    SQFunctionProto *fp = _funcproto(closure->Proto()->_functions[(size_t)i.bx()]);
    SQClosure *nc = SQClosure::Create(_sharedstate, fp, closure->_root);
    SQObjectPtr ncobj(OT_CLOSURE, nc);
    for (size_t o = 0; o < fp->_outervalues.size(); o++) {
        const SQOuterVar &ov = fp->_outervalues[o];
        if (ov._type == otLOCAL)
            nc->_outervalues[o] = SQObjectPtr(OT_OUTER, FindOuter(base + ov._src));
        else
            nc->_outervalues[o] = closure->_outervalues[(size_t)ov._src];
    }
    for (SQInteger d = 0; d < fp->_ndefaultparams; d++) nc->_defaultparams[(size_t)d] = _stack[base + i.a + d];
    _stack[base + i.a] = std::move(ncobj);
}

void SQVM::BindEnv(SQInteger envslot, SQInteger fnslot) {
    const SQObject &env = _stack[envslot];
    const SQObject &fn = _stack[fnslot];
    if (env._type != OT_TABLE && env._type != OT_CLASS && env._type != OT_INSTANCE)
        Raise("cannot bind a %s as environment object", GetTypeName(env));
    SQWeakRef *w = env._unVal.pRefCounted->GetWeakRef(env._type);
    if (fn._type == OT_CLOSURE) {
        SQClosure *c = _closure(fn)->Clone();
        c->SetEnv(w);
        _stack[envslot] = SQObjectPtr(OT_CLOSURE, c);
    }
}

void SQVM::NewClass(SQInstruction i, SQInteger base) {
    SQClass *basecls = nullptr;
    if (i.b != NO_REG) {
        const SQObject &b = _stack[base + i.b];
        if (b._type != OT_CLASS) Raise("trying to inherit from a %s", GetTypeName(b));
        basecls = _class(b);
    }
    SQClass *c = SQClass::Create(_sharedstate, basecls);
    SQObjectPtr cobj(OT_CLASS, c);
    if (i.c != NO_REG) c->_attributes = _stack[base + i.c];
    if (basecls && basecls->_metamethods[MT_INHERITED]._type != OT_NULL) {
        SQObjectPtr mm = basecls->_metamethods[MT_INHERITED];
        Push(cobj);
        Push(c->_attributes);
        SQObjectPtr dummy;
        CallMetaOrThrow(mm, 2, dummy);
    }
    _stack[base + i.a] = std::move(cobj);
}

void SQVM::NewMember(SQInstruction i, SQInteger base) {
    SQObjectPtr cls(_stack[base + i.a]), key(_stack[base + i.b + 1]), val(_stack[base + i.b + 2]);
    SQObjectPtr attrs;
    if (i.c & 2) attrs = _stack[base + i.b];
    NewSlotA(cls, key, val, attrs, (i.c & 1) != 0, false);
}

// return f(args) in a frame that can go: reuses the frame for a script
// function; anything else is an ordinary call. True when the root returned.
bool SQVM::TailCall(SQInstruction i, SQInteger rootframe) {
    SQCallInfo *ci = &TopFrame();
    SQInteger base = ci->_base;
    const SQObject &f = _stack[base + i.a];
    if (f._type == OT_CLOSURE && !_closure(f)->Proto()->_bgenerator && !ci->_generator &&
        (_etraps.empty() || _etraps.back()._frame < _ncalls - 1)) {
        SQObjectPtr fn(f);
        SQInteger target = ci->_target;
        bool root = ci->_root;
        SQInteger nargs = i.b;
        SQInteger end = base + _closure(ci->_closure)->Proto()->_stacksize;
        CloseOuters(base);
        // releases below may call into the VM and move the frame store
        for (SQInteger n = 0; n < nargs; n++) _stack[base + n] = std::move(_stack[base + i.a + 1 + n]);
        ClearSlots(base + nargs, end);
        _ncalls--;
        _calls[(size_t)_ncalls].DropClosure();
        if (StartCall(_closure(fn), target, nargs, base)) {
            TopFrame()._root = root;
            return false;
        }
        if (root) return true;
        _top = TopFrame()._base + _closure(TopFrame()._closure)->Proto()->_stacksize;
        return false;
    }
    return !LoopCall(_stack[base + i.a], base + i.a, i.b, base + i.a + 1, rootframe);
}

// OP_RETURN in a generator frame: the generator is done. Its value goes where
// the resume wanted it; a foreach over it leaves its loop. True when the root returned.
bool SQVM::GeneratorReturn(SQInstruction i) {
    SQCallInfo &ci = TopFrame();
    SQObjectPtr ret;
    if (i.b) ret = _stack[ci._base + i.a];
    SQGenerator *gen = ci._generator;
    bool root = ci._root;
    SQInteger target = ci._target;
    const SQInstruction *exit = ci._foreachexit;
    gen->_state = eDead;
    gen->CloseOuters();
    gen->_stack.clear();
    PopFrame();
    StoreResult(target, ret);
    if (exit) TopFrame()._ip = exit;
    return root;
}
