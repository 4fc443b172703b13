// The virtual machine: value stack, call frames, the interpreter loop and the
// generic object operations (get/set/arith/compare) used by it and by the API.
#pragma once
#include "sqobject.h"
#include "sqopcodes.h"
#include "sqstate.h"

// A native returns SQ_SUSPEND_FLAG to suspend the VM (only sq_suspendvm does,
// and only where IsSuspendable() holds: one interpreter level, no error
// handler running). The VM then unwinds to the host with _suspended set; the
// frames stay on the stack until sq_wakeupvm resumes them. SQ_TAILCALL_FLAG is
// reserved for natives that replace themselves by a call; none do today.
#define SQ_SUSPEND_FLAG -666
#define SQ_TAILCALL_FLAG -777
#define SQ_MAX_CALLS 200000             // script call depth (frames live on the heap, not the C stack)
#define SQ_MAX_NATIVE_NESTING 180       // nested interpreter invocations (C stack)
#define SQ_MAX_STACK (4 * 1024 * 1024)  // value slots per thread
#define SQ_STACK_SLACK 4                // null slots allocated past the end of the stack

// raised inside the engine; never crosses the public API
struct SQException {};

// One activation. Frames live in SQVM::_calls[0.._ncalls); the storage only
// grows, so a pointer to a frame stays valid until the next push.
//  - Stack window: a script frame's registers are _stack[_base .. _base +
//    proto->_stacksize); R[0] is `this`, the arguments follow. While the frame
//    runs, _top is the end of its window. Registers are written before they are
//    read, so a new window may start over dead values of its caller; no slot
//    above the running window holds a reference (returns drop the references
//    of their window, natives those they pushed; plain values may linger). For
//    calls made by the interpreter loop the called function sits in
//    _stack[_base - 1], the caller's call register.
//  - Ownership: _closure holds the running function; the stack owns every
//    register; a generator frame's registers belong to the stack while it runs
//    and are moved back into the generator when it yields.
//  - _ip is only up to date while the frame is not the running one, or when the
//    running frame calls out or raises (the loop keeps it in a register).
struct SQCallInfo {
    const SQInstruction *_ip = nullptr;
    SQObjectPtr _closure;
    const SQObjectPtr *_literals = nullptr;       // the running prototype's literals (script frames)
    SQInteger _base = 0;                          // absolute stack index of R[0]
    SQInteger _top = 0;                           // end of the window (script frames)
    SQInteger _target = -1;                       // absolute stack index of the result; -1 into _retval, -2 dropped
    SQGenerator *_generator = nullptr;            // the generator this frame runs, if any
    const SQInstruction *_foreachexit = nullptr;  // generator resumed by foreach: where its end jumps
    bool _root = false;                           // returning from this frame leaves the interpreter loop
    bool _native = false;
    // _closure holds no reference of its own: the frame was pushed by the loop's
    // call, whose call register (_stack[_base - 1]) keeps the function alive until
    // the frame is gone. Free frames have it clear.
    bool _borrowed = false;
    void DropClosure() {
        if (_borrowed) {
            _closure._type = OT_NULL;
            _closure._unVal.raw = 0;
            _borrowed = false;
        } else {
            _closure.Null();
        }
    }
};

struct SQVM : public SQCollectable {
    explicit SQVM(SQSharedState *ss);
    ~SQVM() override;
    void Init(SQVM *friendvm, SQInteger stacksize);
    void Release() override;
    void Finalize() override;
    void Mark(SQGCList &gray) override;

    // ---- stack
    SQObjectPtr *_stack = nullptr;
    SQInteger _stacksize = 0;
    SQInteger _top = 0;
    SQInteger _stackbase = 0;
    void GrowStack(SQInteger needed);
    void EnsureStack(SQInteger abs_top) {
        if (abs_top > _stacksize) GrowStack(abs_top);
    }
    void Push(const SQObject &o) {
        if (_top >= _stacksize) {
            SQObjectPtr keep(o);  // o may live in the stack being moved
            GrowStack(_top + 1);
            _stack[_top++] = std::move(keep);
        } else {
            _stack[_top++] = o;
        }
    }
    void PushNull() {
        EnsureStack(_top + 1);
        _stack[_top++].Null();
    }
    void Pop() { _stack[--_top].Null(); }
    void Pop(SQInteger n) {
        for (SQInteger i = 0; i < n; i++) _stack[--_top].Null();
    }
    SQObjectPtr &Top() { return _stack[_top - 1]; }
    SQObjectPtr &PopGet() { return _stack[--_top]; }
    SQObjectPtr &GetUp(SQInteger n) { return _stack[_top + n]; }
    SQObjectPtr &GetAt(SQInteger n) { return _stack[n]; }
    void Remove(SQInteger n);
    // stack index relative to the current native frame, like the API
    SQObjectPtr &StackAt(SQInteger idx) { return idx >= 0 ? _stack[_stackbase + idx - 1] : _stack[_top + idx]; }

    // ---- frames
    sqvector<SQCallInfo> _calls;  // storage; [0, _ncalls) are the live frames
    SQInteger _ncalls = 0;
    SQInteger _callcap = 0;  // _calls.size()
    SQInteger _nativenesting = 0;
    SQCallInfo *PushFrame() {
        if (_ncalls == _callcap) GrowFrames();
        return &_calls[(size_t)_ncalls++];
    }
    void GrowFrames();
    SQCallInfo &TopFrame() { return _calls[(size_t)(_ncalls - 1)]; }
    sqvector<SQExceptionTrap> _etraps;
    SQOuter *_openouters = nullptr;
    void CloseOuters(SQInteger absidx);
    SQOuter *FindOuter(SQInteger absidx);

    // ---- state
    SQSharedState *_sharedstate;
    SQObjectPtr _roottable;
    SQObjectPtr _lasterror;
    SQObjectPtr _retval;  // result of the root frame of an interpreter run
    SQObjectPtr _errorhandler;
    SQUserPointer _foreignptr = nullptr;
    SQRELEASEHOOK _releasehook = nullptr;
    // Suspension: while _suspended is set the frames above _suspended_rootframe
    // stay on the stack, waiting; sq_wakeupvm stores the wake value into
    // _suspended_target (a stack slot, or -1 for the run's result) and runs them on.
    SQInteger _suspended = SQFalse;
    SQInteger _suspended_target = -1;
    SQInteger _suspended_rootframe = 0;
    // Errors: _errorhandled is set once the error in _lasterror was reported, so
    // the same error is not reported again by an outer run; it is cleared when an
    // error is raised and when an error leaves a native. _raiseerror_active says
    // whether the running interpreter run reports errors at all.
    bool _errorhandled = false;
    bool _raiseerror_active = true;
    SQInteger _lastline = -1;
    bool _inerrorhandler = false;
    // an API call made by the running native failed to allocate: the native fails
    bool _allocfailed = false;
    bool _indebughook = false;

    // ---- errors
    [[noreturn]] void Raise(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
    [[noreturn]] void RaiseObj(const SQObject &o);
    [[noreturn]] void RaiseLast();
    [[noreturn]] void RaiseIdxNotFound(const SQObject &key);
    void CallErrorHandler(const SQObject &err);
    void CallDebugHook(SQInteger type, SQInteger line = 0);

    // ---- execution
    enum ExecType { ET_CALL, ET_RESUME_GENERATOR, ET_RESUME_VM, ET_RESUME_THROW_VM };
    // Calls closure with nargs values at stack[stackbase..]; result in outres.
    // Returns false when an error escaped (lasterror holds it). With raiseerror
    // an error no trap of this run catches is reported before it escapes.
    bool Call(const SQObject &closure, SQInteger nargs, SQInteger stackbase, SQObjectPtr &outres, bool raiseerror);
    bool Execute(const SQObject &closure, SQInteger nargs, SQInteger stackbase, SQObjectPtr &outres, bool raiseerror,
                 ExecType et = ET_CALL);
    // The library callbacks' way in (sort's comparator, map, filter...): Call
    // without error reports. A script closure with fixed parameters, no bound
    // environment and no generator body goes straight into its frame.
    bool CallCallback(const SQObject &fn, SQInteger nargs, SQInteger stackbase, SQObjectPtr &outres);
    // Whether CallDirect may run fn with nargs arguments at stackbase: a script
    // closure with fixed parameters, no bound environment and no generator body,
    // no debug hook, and room for its frame without growing anything.
    bool CanCallDirect(const SQObject &fn, SQInteger nargs, SQInteger stackbase) const {
        if (fn._type != OT_CLOSURE) return false;
        SQClosure *closure = _closure(fn);
        SQFunctionProto *p = closure->Proto();
        // _directnargs is -1 for vararg functions and generators
        return p->_directnargs == nargs && !closure->_env && !_sharedstate->_debughook &&
               _nativenesting < SQ_MAX_NATIVE_NESTING && stackbase + p->_stacksize <= _stacksize &&
               _ncalls < _callcap;
    }
    // Runs closure, its arguments at stackbase, as the root frame of a run that
    // reports no errors; the result is left in _retval. False when an error
    // escaped (lasterror holds it; the frames are gone, their slots cleared).
    bool CallDirect(SQClosure *closure, SQInteger stackbase);
    void Run(SQInteger rootframe);
    void Loop(SQInteger rootframe);
    template <bool kHooks>
    bool LoopImpl(SQInteger rootframe);
    bool HandleError(SQInteger rootframe);
    void UnwindFrame();
    // calls fn with args at stack[stackbase..]; true when a script frame was pushed.
    // target: stack slot for the result, -1 for _retval, -2 to drop it
    bool DoCall(const SQObjectPtr &fn, SQInteger target, SQInteger nargs, SQInteger stackbase, bool &suspended);
    // DoCall from the interpreter loop; false when the call suspended the VM (the
    // suspension is recorded for the resume into target).
    bool LoopCall(const SQObjectPtr &fn, SQInteger target, SQInteger nargs, SQInteger stackbase, SQInteger rootframe);
    void StoreResult(SQInteger target, const SQObjectPtr &v) {
        if (target >= 0)
            _stack[target] = v;
        else if (target == -1)
            _retval = v;
    }
    bool GetMM(const SQObject &o, int mm, SQObjectPtr &res);
    bool ForeachStep(SQInteger c, SQInteger k);
    void HookStep();
    SQObjectPtr _suspendvalue;
    const SQObjectPtr _null_;  // a null to hand out by reference
    bool StartCall(SQClosure *closure, SQInteger target, SQInteger nargs, SQInteger stackbase);
    bool CallNative(SQNativeClosure *nclosure, SQInteger nargs, SQInteger newbase, SQObjectPtr &retval, bool &suspend);
    void PopFrame();
    // Drops the references held in stack[from, to). Numbers and other plain
    // values may stay: nothing reads a register before writing it.
    SQ_FORCEINLINE void ClearSlots(SQInteger from, SQInteger to) {
        SQObjectPtr *p = _stack + from, *end = _stack + to;
        for (; p < end; p++) {
            if (!sq_isrefcounted_type(p->_type)) continue;
            SQRefCounted *r = p->_unVal.pRefCounted;
            p->_type = OT_NULL;
            p->_unVal.raw = 0;
            if (--r->_uiRef == 0) {
                // a release hook may use the VM and move its stack
                SQInteger at = p - _stack;
                sq_releaseobject(r);
                p = _stack + at;
                end = _stack + to;
            }
        }
    }
    // Drops one reference; when that was the last one, after() runs once the
    // object is gone. Freeing an object may run a release hook, and a hook may
    // call into this VM and move the stack and the frame store: after() is
    // where a caller finds again what it points into.
    template <class F>
    static SQ_FORCEINLINE void Drop(const SQObject &o, F &&after) {
        if (sq_isrefcounted_type(o._type)) {
            SQRefCounted *r = o._unVal.pRefCounted;
            if (--r->_uiRef == 0) {
                sq_releaseobject(r);
                after();
            }
        }
    }
    // ClearSlots for a returning frame's window. R[0] (`this`) mostly holds a
    // reference, the registers above it in many frames only numbers: they are
    // looked at four type words at a time (the stack store has SQ_STACK_SLACK
    // null slots past its end for the last group to read), and from the first
    // group with a reference on the rest is cleared slot by slot. after() runs
    // whenever a release may have run foreign code (see Drop).
    template <class F>
    SQ_FORCEINLINE void ClearWindow(SQInteger from, SQInteger to, F &&after) {
        SQObjectPtr *p = _stack + from;
        if (sq_isrefcounted_type(p->_type)) {
            SQRefCounted *r = p->_unVal.pRefCounted;
            p->_type = OT_NULL;
            p->_unVal.raw = 0;
            if (--r->_uiRef == 0) {
                sq_releaseobject(r);
                after();
            }
        }
        SQObjectPtr *end = _stack + to;
        for (p = _stack + from + 1; p < end; p += 4) {
            if ((p[0]._type | p[1]._type | p[2]._type | p[3]._type) & SQOBJECT_REF_COUNTED) {
                ClearRest(p - _stack, to);
                after();
                break;
            }
        }
    }
    __attribute__((noinline)) void ClearRest(SQInteger from, SQInteger to) { ClearSlots(from, to); }
    // pushes a frame that resumes gen, its registers placed at the current top
    void ResumeGeneratorFrame(SQGenerator *gen, SQInteger target, const SQInstruction *foreachexit);
    // resumes gen from C++ (sq_resume): runs it to its next yield or its end
    bool ResumeGenerator(SQGenerator *gen, SQObjectPtr &dest);
    bool CallMetaMethod(SQObjectPtr &closure, int mm, SQInteger nparams, SQObjectPtr &outres);
    void CallMetaOrThrow(SQObjectPtr &closure, SQInteger nparams, SQObjectPtr &outres);
    bool IsSuspendable() const;
    // the interpreter loop's slow steps (sqexec.cpp)
    __attribute__((noinline)) void NewSlotSlow(const SQObject &o, const SQObject &key, const SQObject &val);
    __attribute__((noinline)) void DeleteSlow(const SQObject &o, const SQObject &key, SQInteger target);
    __attribute__((noinline)) void BitwiseSlow(int op, const SQObject &x, const SQObject &y);
    __attribute__((noinline)) SQInteger CmpSlow(const SQObject &x, const SQObject &y);
    __attribute__((noinline)) void NegSlow(const SQObject &x, SQInteger target);
    __attribute__((noinline)) void TypeOfSlow(const SQObject &x, SQInteger target);
    __attribute__((noinline)) bool InSlow(const SQObject &key, const SQObject &obj);
    __attribute__((noinline)) void CloneSlow(const SQObject &x, SQInteger target);
    __attribute__((noinline)) bool ForIncSlow(SQInteger slot, const SQObject &limit, const SQObject &step, int k);
    __attribute__((noinline)) void GetSlow(const SQObject &o, const SQObject &key, SQInteger target);
    __attribute__((noinline)) void PrepCallSlow(const SQObject &o, const SQObject &key, SQInteger target);
    __attribute__((noinline)) void SetSlow(const SQObject &o, const SQObject &key, const SQObject &val);
    __attribute__((noinline)) void ArithSlow(int op, const SQObject &x, const SQObject &y, SQInteger target);
    __attribute__((noinline)) void GetEnvSlow(SQClosure *closure, SQInteger kidx, SQInteger target);
    // the root table closure sees, or null when that is no table
    SQTable *RootTableFor(SQClosure *c) {
        const SQObject &r = c->_root && c->_root->_obj._type != OT_NULL ? c->_root->_obj : _roottable;
        return r._type == OT_TABLE ? _table(r) : nullptr;
    }
    // the node GetEnvSlow last found the name K[kidx] in for this `this`, if
    // nothing it looked at has changed since (SQEnvCache)
    SQ_FORCEINLINE SQTable::Node *CachedEnvNode(SQClosure *c, const SQObject &self, SQInteger kidx) {
        const SQEnvCache *ec = c->Proto()->_envcache.data();
        if (!ec) return nullptr;
        const SQEnvCache &e = ec[kidx];
        SQTable *t;
        const SQObjectPtr *dd;
        if (self._type == OT_TABLE) {
            t = _table(self);
            dd = &_sharedstate->_table_default_delegate;
        } else if (self._type == OT_INSTANCE) {
            SQClass *cls = _instance(self)->_class;
            if (cls->_metamethods[MT_GET]._type != OT_NULL) return nullptr;
            t = cls->_members;
            dd = &_sharedstate->_instance_default_delegate;
        } else {
            return nullptr;
        }
        if (t != e.self || t->_shape != e.selfshape || _table(*dd)->_shape != e.ddshape) return nullptr;
        SQTable *root = RootTableFor(c);
        if (root != e.root || root->_shape != e.rootshape) return nullptr;
        return e.node;
    }
    __attribute__((noinline)) void SetEnvSlow(SQClosure *closure, const SQObject &key, const SQObject &val);
    __attribute__((noinline)) void MakeClosure(SQClosure *closure, SQInstruction i, SQInteger base);
    __attribute__((noinline)) void BindEnv(SQInteger envslot, SQInteger fnslot);
    __attribute__((noinline)) void NewClass(SQInstruction i, SQInteger base);
    __attribute__((noinline)) void NewMember(SQInstruction i, SQInteger base);
    __attribute__((noinline)) bool TailCall(SQInstruction i, SQInteger rootframe);
    __attribute__((noinline)) bool GeneratorReturn(SQInstruction i);
    __attribute__((noinline)) bool CallNativeFromLoop(SQNativeClosure *nc, SQInteger target, SQInteger nargs,
                                                      SQInteger stackbase, SQInteger rootframe);

    // ---- generic operations (may call metamethods, raise on error)
    enum { GET_RAW = 1, GET_NO_ROOT = 2, GET_NO_THROW = 4 };
    bool Get(const SQObjectPtr &self, const SQObjectPtr &key, SQObjectPtr &dest, int flags);
    bool InvokeDefaultDelegate(const SQObjectPtr &self, const SQObjectPtr &key, SQObjectPtr &dest);
    int FallBackGet(const SQObjectPtr &self, const SQObjectPtr &key, SQObjectPtr &dest);
    bool Set(const SQObjectPtr &self, const SQObjectPtr &key, const SQObjectPtr &val, bool throwerr);
    int FallBackSet(const SQObjectPtr &self, const SQObjectPtr &key, const SQObjectPtr &val);
    bool NewSlot(const SQObjectPtr &self, const SQObjectPtr &key, const SQObjectPtr &val, bool bstatic);
    bool NewSlotA(const SQObjectPtr &self, const SQObjectPtr &key, const SQObjectPtr &val, const SQObjectPtr &attrs,
                  bool bstatic, bool raw);
    bool DeleteSlot(const SQObjectPtr &self, const SQObjectPtr &key, SQObjectPtr &res);
    bool Clone(const SQObjectPtr &self, SQObjectPtr &target);
    void ArithMetaOrThrow(int op, const SQObjectPtr &o1, const SQObjectPtr &o2, SQObjectPtr &dest);
    void Arith(int op, const SQObject &o1, const SQObject &o2, SQObjectPtr &dest);
    void BitwiseOp(int op, const SQObject &o1, const SQObject &o2, SQObjectPtr &dest);
    void Negate(const SQObject &o, SQObjectPtr &dest);
    // three-way compare; raises on incomparable operands
    SQInteger ObjCmp(const SQObjectPtr &o1, const SQObjectPtr &o2);
    bool IsEqual(const SQObject &o1, const SQObject &o2);
    bool ToString(const SQObjectPtr &o, SQObjectPtr &res);  // may call _tostring
    void TypeOf(const SQObjectPtr &obj, SQObjectPtr &dest);
    void StringCat(const SQObject &str, const SQObject &obj, SQObjectPtr &dest);
    void ConcatPiece(const SQObject &o, char *buf, const char *&p, SQInteger &len, SQObjectPtr &hold);
    bool Next(const SQObjectPtr &o, const SQObjectPtr &iter, SQObjectPtr &outkey, SQObjectPtr &outval,
              SQObjectPtr &outiter);  // false when done
    bool InClass(const SQObjectPtr &key, const SQObjectPtr &obj);
    SQObjectPtr &Root() { return _roottable; }
    SQObjectPtr GetRootFor(SQClosure *c);

    // ---- helpers for natives
    SQObjectPtr MakeString(const char *s, SQInteger len = -1) { return _sharedstate->MakeString(s, len); }
    SQInteger CurrentLine(const SQCallInfo &ci) const;
};

void sq_vm_init_opnames();
void sq_errorvaluetext(const SQObject &o, char *buf, size_t n);

// Three-way order of two numbers. Two floats are equal only when their bits
// are; otherwise -1 when a < b and 1 in every other case, NaN included (so
// NaN is greater than everything, and > and >= hold both ways).
SQ_FORCEINLINE SQInteger NumCmp(const SQObject &a, const SQObject &b) {
    if (a._type == OT_INTEGER && b._type == OT_INTEGER)
        return _integer(a) < _integer(b) ? -1 : (_integer(a) == _integer(b) ? 0 : 1);
    SQFloat x = tofloat(a), y = tofloat(b);
    if (a._type == OT_FLOAT && b._type == OT_FLOAT) {
        uint32_t bx, by;
        memcpy(&bx, &x, 4);
        memcpy(&by, &y, 4);
        if (bx == by) return 0;
    } else if (x == y) {
        return 0;
    }
    return x < y ? -1 : 1;
}
bool sq_typecheck_parse(const char *mask, sqvector<SQInteger> &out);
SQInteger sq_rawtypeflag(SQObjectType t);
void sq_base_register(SQVM *v);
void sq_init_default_delegates(SQSharedState *ss, SQVM *v);

inline SQObjectPtr &stk(SQVM *v, SQInteger idx) { return v->StackAt(idx); }
