// VM object, stack and frame management, error raising and the calling
// machinery (script closures, native closures, classes, generators, threads).
// The instruction loop itself lives in sqexec.cpp.
#include "sqvm.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

SQVM::SQVM(SQSharedState *ss) : _sharedstate(ss) {}

SQVM::~SQVM() {
    // frames of a suspended thread: their borrowed functions live in the stack
    for (SQInteger i = _ncalls - 1; i >= 0; i--) _calls[(size_t)i].DropClosure();
    _ncalls = 0;
    CloseOuters(0);
    delete[] _stack;
    _stack = nullptr;
}

void SQVM::Init(SQVM *friendvm, SQInteger stacksize) {
    if (stacksize < 64) stacksize = 64;
    _stack = new SQObjectPtr[(size_t)(stacksize + SQ_STACK_SLACK)];
    _stacksize = stacksize;
    _top = 0;
    _stackbase = 0;
    _calls.resize(16);
    _callcap = 16;
    if (friendvm) {
        _roottable = friendvm->_roottable;
        _errorhandler = friendvm->_errorhandler;
        _foreignptr = nullptr;
    } else {
        _roottable = _sharedstate->_roottable;
    }
    Link(_sharedstate, OT_THREAD);
}

void SQVM::Release() {
    if (_releasehook) {
        SQRELEASEHOOK h = _releasehook;
        _releasehook = nullptr;
        _uiRef++;
        h(_foreignptr, 0);
        _uiRef--;
    }
    delete this;
}

void SQVM::Finalize() {
    CloseOuters(0);
    for (SQInteger i = _ncalls - 1; i >= 0; i--) _calls[(size_t)i].DropClosure();
    _ncalls = 0;
    _etraps.clear();
    for (SQInteger i = 0; i < _stacksize; i++) _stack[i].Null();
    _top = 0;
    _stackbase = 0;
    _lasterror.Null();
    _errorhandler.Null();
    _roottable.Null();
}

void SQVM::Mark(SQGCList &gray) {
    for (SQInteger i = 0; i < _stacksize; i++)
        if (_stack[i]._type != OT_NULL) sq_markobj(_stack[i], gray);
    for (SQInteger i = 0; i < _ncalls; i++) {
        const SQCallInfo &ci = _calls[(size_t)i];
        sq_markobj(ci._closure, gray);
        if (ci._generator) sq_markobj(SQObjectPtr(OT_GENERATOR, ci._generator), gray);
    }
    for (SQOuter *o = _openouters; o; o = o->_nextopen) sq_markobj(SQObjectPtr(OT_OUTER, o), gray);
    sq_markobj(_lasterror, gray);
    sq_markobj(_errorhandler, gray);
    sq_markobj(_roottable, gray);
}

void SQVM::GrowStack(SQInteger needed) {
    if (needed > SQ_MAX_STACK) Raise("stack overflow");
    SQInteger ns = _stacksize * 2;
    while (ns < needed) ns *= 2;
    SQObjectPtr *n = new SQObjectPtr[(size_t)(ns + SQ_STACK_SLACK)];
    for (SQInteger i = 0; i < _stacksize; i++) n[i] = std::move(_stack[i]);
    delete[] _stack;
    _stack = n;
    _stacksize = ns;
    for (SQOuter *o = _openouters; o; o = o->_nextopen) o->_valptr = &_stack[o->_idx];
}

void SQVM::GrowFrames() {
    if (_ncalls >= SQ_MAX_CALLS) Raise("stack overflow");
    _calls.resize(_calls.size() * 2);
    _callcap = (SQInteger)_calls.size();
}

void SQVM::Remove(SQInteger n) {
    for (SQInteger i = n; i < _top - 1; i++) _stack[i] = std::move(_stack[i + 1]);
    _stack[--_top].Null();
}

// ------------------------------------------------------------ outers

void sq_unlink_open_outer(SQOuter *o) {
    SQVM *v = o->_vm;
    if (!v) return;
    SQOuter **pp = &v->_openouters;
    while (*pp) {
        if (*pp == o) {
            *pp = o->_nextopen;
            break;
        }
        pp = &(*pp)->_nextopen;
    }
    o->_vm = nullptr;
}

void SQVM::CloseOuters(SQInteger absidx) {
    while (_openouters && _openouters->_idx >= absidx) {
        SQOuter *o = _openouters;
        _openouters = o->_nextopen;
        o->_value = *o->_valptr;
        o->_valptr = &o->_value;
        o->_vm = nullptr;
        o->_nextopen = nullptr;
    }
}

SQOuter *SQVM::FindOuter(SQInteger absidx) {
    SQOuter **pp = &_openouters;
    while (*pp && (*pp)->_idx > absidx) pp = &(*pp)->_nextopen;
    if (*pp && (*pp)->_idx == absidx) return *pp;
    SQOuter *o = SQOuter::Create(_sharedstate, &_stack[absidx]);
    o->_idx = absidx;
    o->_vm = this;
    o->_nextopen = *pp;
    *pp = o;
    return o;
}

// ------------------------------------------------------------ errors

// A value as error messages quote it: numbers as numbers (floats widened to
// %.14g), strings as their text cut to 50 bytes, null as null, anything else
// (bools included) as its type name.
void sq_errorvaluetext(const SQObject &o, char *buf, size_t n) {
    switch (o._type) {
        case OT_STRING: snprintf(buf, n, "%.50s", _string(o)->_val); break;
        case OT_INTEGER: snprintf(buf, n, "%lld", (long long)_integer(o)); break;
        case OT_FLOAT: snprintf(buf, n, "%.14g", (double)_float(o)); break;
        case OT_NULL: snprintf(buf, n, "null"); break;
        default: snprintf(buf, n, "%s", GetTypeName(o)); break;
    }
}

void SQVM::Raise(const char *fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    _lasterror = MakeString(buf);
    _errorhandled = false;
    throw SQException();
}

void SQVM::RaiseObj(const SQObject &o) {
    _lasterror = o;
    _errorhandled = false;
    throw SQException();
}

void SQVM::RaiseLast() { throw SQException(); }

void SQVM::RaiseIdxNotFound(const SQObject &key) {
    char buf[128];
    sq_errorvaluetext(key, buf, sizeof buf);
    Raise("the index '%s' does not exist", buf);
}

void SQVM::CallErrorHandler(const SQObject &err) {
    if (_inerrorhandler) return;
    SQObjectPtr h = _errorhandler._type != OT_NULL ? _errorhandler : _sharedstate->_errorhandler;
    if (h._type != OT_CLOSURE && h._type != OT_NATIVECLOSURE) return;
    _inerrorhandler = true;
    SQObjectPtr e(err);
    SQObjectPtr savederr = _lasterror;
    SQInteger savedtop = _top;
    EnsureStack(_top + 2);
    Push(_roottable);
    Push(e);
    SQObjectPtr dummy;
    Call(h, 2, _top - 2, dummy, false);
    while (_top > savedtop) Pop();
    _lasterror = savederr;
    _inerrorhandler = false;
}

SQInteger SQVM::CurrentLine(const SQCallInfo &ci) const {
    if (ci._native || ci._closure._type != OT_CLOSURE) return -1;
    SQFunctionProto *p = _closure(ci._closure)->Proto();
    SQInteger op = ci._ip ? (SQInteger)(ci._ip - p->_instructions.data()) - 1 : 0;
    if (op < 0) op = 0;
    return p->GetLine(op);
}

void SQVM::CallDebugHook(SQInteger type, SQInteger line) {
    if (_indebughook || _ncalls == 0) return;
    SQSharedState *ss = _sharedstate;
    const SQCallInfo &ci = TopFrame();
    const char *src = "unknown", *fname = nullptr;
    if (ci._closure._type == OT_CLOSURE) {
        SQFunctionProto *p = _closure(ci._closure)->Proto();
        if (p->_sourcename._type == OT_STRING) src = _string(p->_sourcename)->_val;
        if (p->_name._type == OT_STRING) fname = _string(p->_name)->_val;
    } else if (ci._closure._type == OT_NATIVECLOSURE) {
        SQNativeClosure *n = _nativeclosure(ci._closure);
        if (n->_name._type == OT_STRING) fname = _string(n->_name)->_val;
        src = "NATIVE";
    }
    _indebughook = true;
    if (ss->_debughook_native) {
        ss->_debughook_native(this, type, src, line, fname);
    } else if (ss->_debughook_closure._type != OT_NULL) {
        SQInteger savedtop = _top;
        EnsureStack(_top + 5);
        Push(_roottable);
        Push(SQObjectPtr(type));
        Push(MakeString(src));
        Push(SQObjectPtr(line));
        if (fname)
            Push(MakeString(fname));
        else
            PushNull();
        SQObjectPtr dummy;
        SQObjectPtr hook = ss->_debughook_closure;
        Call(hook, 5, _top - 5, dummy, false);
        while (_top > savedtop) Pop();
    }
    _indebughook = false;
}

// ------------------------------------------------------------ type checks

SQInteger sq_rawtypeflag(SQObjectType t) { return (SQInteger)_RAW_TYPE(t); }

bool sq_typecheck_parse(const char *mask, sqvector<SQInteger> &out) {
    out.clear();
    bool ornext = false;
    for (const char *p = mask; *p; p++) {
        SQInteger m = 0;
        switch (*p) {
            case ' ': continue;
            case '|':
                if (out.empty()) return false;
                ornext = true;
                continue;
            case 'o': m = _RT_NULL; break;
            case 'i': m = _RT_INTEGER; break;
            case 'f': m = _RT_FLOAT; break;
            case 'n': m = _RT_INTEGER | _RT_FLOAT; break;
            case 's': m = _RT_STRING; break;
            case 't': m = _RT_TABLE; break;
            case 'a': m = _RT_ARRAY; break;
            case 'u': m = _RT_USERDATA; break;
            case 'c': m = _RT_CLOSURE | _RT_NATIVECLOSURE; break;
            case 'g': m = _RT_GENERATOR; break;
            case 'p': m = _RT_USERPOINTER; break;
            case 'v': m = _RT_THREAD; break;
            case 'x': m = _RT_INSTANCE; break;
            case 'y': m = _RT_CLASS; break;
            case 'b': m = _RT_BOOL; break;
            case 'r': m = _RT_WEAKREF; break;
            case '.': m = -1; break;
            default: return false;
        }
        if (ornext) {
            if (m == -1 || out.back() == -1)
                out.back() = -1;
            else
                out.back() |= m;
            ornext = false;
        } else {
            out.push_back(m);
        }
    }
    return !ornext;
}

static void MaskToString(SQInteger mask, char *buf, size_t n) {
    // clang-format off
    static const struct { SQInteger bit; const char *name; } names[] = {
        {_RT_NULL, "null"}, {_RT_INTEGER, "integer"}, {_RT_FLOAT, "float"}, {_RT_BOOL, "bool"},
        {_RT_STRING, "string"}, {_RT_TABLE, "table"}, {_RT_ARRAY, "array"}, {_RT_USERDATA, "userdata"},
        {_RT_CLOSURE, "function"}, {_RT_NATIVECLOSURE, "function"}, {_RT_GENERATOR, "generator"},
        {_RT_USERPOINTER, "userpointer"}, {_RT_THREAD, "thread"}, {_RT_CLASS, "class"},
        {_RT_INSTANCE, "instance"}, {_RT_WEAKREF, "weakref"}};
    // clang-format on
    buf[0] = 0;
    size_t len = 0;
    for (auto &nm : names) {
        if (mask & nm.bit) {
            int w = snprintf(buf + len, n - len, "%s%s", len ? "|" : "", nm.name);
            if (w < 0 || (size_t)w >= n - len) break;
            len += (size_t)w;
        }
    }
}

// ------------------------------------------------------------ calls

SQObjectPtr SQVM::GetRootFor(SQClosure *c) {
    if (c && c->_root && c->_root->_obj._type != OT_NULL) return SQObjectPtr(c->_root->_obj);
    return _roottable;
}

// Arranges the arguments of a script call: default parameters, vargv, the
// bound environment. nargs counts `this`.
static void PrepareArgs(SQVM *v, SQClosure *closure, SQInteger &nargs, SQInteger stackbase) {
    SQFunctionProto *p = closure->Proto();
    SQInteger nparams = p->_nparameters;
    v->EnsureStack(stackbase + p->_stacksize);
    if (p->_varparams) {
        if (nargs < nparams) {
            SQInteger nd = p->_ndefaultparams;
            if (nparams - nargs > nd)
                v->Raise("wrong number of parameters (%d passed, at least %d required)", (int)nargs, (int)nparams);
            for (SQInteger i = nargs; i < nparams; i++)
                v->_stack[stackbase + i] = closure->_defaultparams[(size_t)(i - (nparams - nd))];
            nargs = nparams;
        }
        SQInteger nvargs = nargs - nparams;
        SQArray *arr = SQArray::Create(v->_sharedstate, 0);
        SQObjectPtr arrobj(OT_ARRAY, arr);
        arr->_values.reserve((size_t)nvargs);
        for (SQInteger i = 0; i < nvargs; i++) arr->_values.push_back(std::move(v->_stack[stackbase + nparams + i]));
        v->_stack[stackbase + nparams] = std::move(arrobj);
        nargs = nparams + 1;
    } else if (nargs != nparams) {
        SQInteger nd = p->_ndefaultparams;
        if (nargs < nparams && nparams - nargs <= nd) {
            for (SQInteger i = nargs; i < nparams; i++)
                v->_stack[stackbase + i] = closure->_defaultparams[(size_t)(i - (nparams - nd))];
            nargs = nparams;
        } else {
            v->Raise("wrong number of parameters (%d passed, %d required)", (int)nargs, (int)nparams);
        }
    }
    if (closure->_env) v->_stack[stackbase] = SQObjectPtr(closure->_env->_obj);
}

bool SQVM::StartCall(SQClosure *closure, SQInteger target, SQInteger nargs, SQInteger stackbase) {
    PrepareArgs(this, closure, nargs, stackbase);
    SQFunctionProto *p = closure->Proto();
    if (p->_bgenerator) {
        // calling a generator function makes the generator; its arguments wait in it
        SQGenerator *g = SQGenerator::Create(_sharedstate, closure);
        SQObjectPtr gen(OT_GENERATOR, g);
        g->_stack.resize((size_t)p->_stacksize);
        for (SQInteger i = 0; i < nargs; i++) g->_stack[(size_t)i] = std::move(_stack[stackbase + i]);
        StoreResult(target, gen);
        return false;
    }
    SQCallInfo *ci = PushFrame();
    ci->_closure = SQObjectPtr(OT_CLOSURE, closure);
    ci->_ip = p->_instructions.data();
    ci->_literals = p->_literals.data();
    ci->_base = stackbase;
    ci->_top = stackbase + p->_stacksize;
    ci->_target = target;
    ci->_generator = nullptr;
    ci->_foreachexit = nullptr;
    ci->_root = false;
    ci->_native = false;
    _top = stackbase + p->_stacksize;
    if (_sharedstate->_debughook) CallDebugHook('c', p->GetLine(0));
    return true;
}

// Leaves the top frame: its traps and open outers go, its registers are cleared.
// The debug hook and the releases may call into the VM and move the frame
// store, so the frame is looked up by its index after each.
void SQVM::PopFrame() {
    SQInteger idx = _ncalls - 1;
    while (!_etraps.empty() && _etraps.back()._frame >= idx) _etraps.pop_back();
    const SQCallInfo *ci = &_calls[(size_t)idx];
    if (!ci->_native && ci->_closure._type == OT_CLOSURE) {
        if (_sharedstate->_debughook) {
            CallDebugHook('r', CurrentLine(*ci));
            ci = &_calls[(size_t)idx];
        }
        SQInteger base = ci->_base;
        SQInteger end = base + _closure(ci->_closure)->Proto()->_stacksize;
        CloseOuters(base);
        if (end > _stacksize) end = _stacksize;
        ClearSlots(base, end);
    }
    _ncalls = idx;
    _calls[(size_t)idx].DropClosure();
}

bool SQVM::CallNative(SQNativeClosure *nclosure, SQInteger nargs, SQInteger newbase, SQObjectPtr &retval,
                      bool &suspend) {
    suspend = false;
    SQInteger nparamscheck = nclosure->_nparamscheck;
    if ((nparamscheck > 0 && nargs != nparamscheck) || (nparamscheck < 0 && nargs < -nparamscheck))
        Raise("wrong number of parameters");
    const auto &tc = nclosure->_typecheck;
    SQInteger ntc = (SQInteger)tc.size();
    for (SQInteger i = 0; i < nargs && i < ntc; i++) {
        SQInteger m = tc[(size_t)i];
        if (m != -1 && !(sq_rawtypeflag(_stack[newbase + i]._type) & m)) {
            char exp[256];
            MaskToString(m, exp, sizeof exp);
            Raise("parameter %d has an invalid type '%s' ; expected: '%s'", (int)i, GetTypeName(_stack[newbase + i]),
                  exp);
        }
    }
    SQInteger nouters = (SQInteger)nclosure->_outervalues.size();
    EnsureStack(newbase + nargs + nouters + 32);
    for (SQInteger i = 0; i < nouters; i++) _stack[newbase + nargs + i] = nclosure->_outervalues[(size_t)i];
    if (nclosure->_env) _stack[newbase] = SQObjectPtr(nclosure->_env->_obj);

    SQCallInfo *ci = PushFrame();
    ci->_closure = SQObjectPtr(OT_NATIVECLOSURE, nclosure);
    ci->_ip = nullptr;
    ci->_literals = nullptr;
    ci->_base = newbase;
    ci->_top = newbase + nargs;
    ci->_target = -2;
    ci->_generator = nullptr;
    ci->_foreachexit = nullptr;
    ci->_root = false;
    ci->_native = true;
    SQInteger savedbase = _stackbase;
    SQInteger savedtop = _top;
    _stackbase = newbase;
    _top = newbase + nargs + nouters;
    if (_sharedstate->_debughook) CallDebugHook('c', -1);
    SQInteger ret;
    bool savedallocfailed = _allocfailed;
    _allocfailed = false;
    try {
        ret = nclosure->_function(this);
    } catch (const SQException &) { ret = SQ_ERROR; } catch (const std::bad_alloc &e) {
        _lasterror.Null();
        try {
            _lasterror = MakeString(sq_allocerrortext(e));
        } catch (...) {}
        ret = SQ_ERROR;
    }
    if (_allocfailed) ret = SQ_ERROR;  // lasterror says why
    _allocfailed = savedallocfailed;
    if (_sharedstate->_debughook) CallDebugHook('r', -1);
    _stackbase = savedbase;
    if (ret == SQ_SUSPEND_FLAG) {
        // the waker gets the value on top: the argument of suspend(), or its this
        suspend = true;
        retval = _stack[_top - 1];
    } else if (ret > 0) {
        retval = _stack[_top - 1];
    } else {
        retval.Null();
    }
    SQInteger end = _top;
    _calls[(size_t)(_ncalls - 1)].DropClosure();
    _ncalls--;
    ClearSlots(newbase, end);
    _top = savedtop;
    if (ret < 0 && ret != SQ_SUSPEND_FLAG) {
        // the error leaves the native as a new one: reported again where nothing catches it
        _errorhandled = false;
        RaiseLast();
    }
    return true;
}

bool SQVM::IsSuspendable() const { return _nativenesting == 1 && !_inerrorhandler; }

bool SQVM::Call(const SQObject &closure, SQInteger nargs, SQInteger stackbase, SQObjectPtr &outres, bool raiseerror) {
    return Execute(closure, nargs, stackbase, outres, raiseerror);
}

// What Execute does for an ET_CALL of a closure CanCallDirect accepts, less
// what does not apply.
bool SQVM::CallDirect(SQClosure *closure, SQInteger stackbase) {
    SQFunctionProto *p = closure->Proto();
    SQInteger newtop = stackbase + p->_stacksize;
    SQInteger savedtop = _top;
    SQInteger savedbase = _stackbase;
    bool savedraise = _raiseerror_active;
    _raiseerror_active = false;
    _nativenesting++;
    SQInteger rootframe = _ncalls;
    bool ok = true;
    // a free frame holds no closure: the new one takes its own reference
    SQCallInfo *ci = &_calls[(size_t)_ncalls++];
    closure->_uiRef++;
    ci->_closure._type = OT_CLOSURE;
    ci->_closure._unVal.pClosure = closure;
    ci->_borrowed = false;
    ci->_ip = p->_instructions.data();
    ci->_literals = p->_literals.data();
    ci->_base = stackbase;
    ci->_top = newtop;
    ci->_target = -1;
    ci->_generator = nullptr;
    ci->_foreachexit = nullptr;
    ci->_root = true;
    ci->_native = false;
    _top = newtop;
    try {
        Run(rootframe);
    } catch (const std::bad_alloc &e) {
        _lasterror.Null();
        try {
            _lasterror = MakeString(sq_allocerrortext(e));
        } catch (...) {}
        while (_ncalls > rootframe) UnwindFrame();
        ok = false;
    } catch (const SQException &) {
        while (_ncalls > rootframe) UnwindFrame();
        ok = false;
    }
    _nativenesting--;
    _raiseerror_active = savedraise;
    _stackbase = savedbase;
    _top = savedtop;
    return ok;
}

bool SQVM::CallCallback(const SQObject &fn, SQInteger nargs, SQInteger stackbase, SQObjectPtr &outres) {
    if (!CanCallDirect(fn, nargs, stackbase)) return Execute(fn, nargs, stackbase, outres, false);
    if (!CallDirect(_closure(fn), stackbase)) return false;
    outres = std::move(_retval);
    return true;
}

// Metamethods never report their errors themselves: an error comes out into
// the frame that used the operator.
bool SQVM::CallMetaMethod(SQObjectPtr &closure, int /*mm*/, SQInteger nparams, SQObjectPtr &outres) {
    bool ok = Call(closure, nparams, _top - nparams, outres, false);
    Pop(nparams);
    return ok;
}

void SQVM::CallMetaOrThrow(SQObjectPtr &closure, SQInteger nparams, SQObjectPtr &outres) {
    if (!CallMetaMethod(closure, 0, nparams, outres)) RaiseLast();
}

bool SQVM::ResumeGenerator(SQGenerator *gen, SQObjectPtr &dest) {
    if (gen->_state == eDead) Raise("resuming dead generator");
    if (gen->_state == eRunning) Raise("resuming active generator");
    SQObjectPtr g(OT_GENERATOR, gen);
    if (!Execute(g, 0, _top, dest, _raiseerror_active, ET_RESUME_GENERATOR)) RaiseLast();
    return true;
}
