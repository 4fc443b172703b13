// The public C API. Every entry point catches engine errors and reports them
// as SQ_ERROR with the message in the VM's last error.
#include <cstdlib>
#include <string>

#include "sqcompiler.h"
#include "sqfast.h"
#include "sqvm.h"

// An allocation that fails inside an API call (out of memory, a string over the
// length limit) leaves its message in the last error and marks the VM, so that
// the native that made the call fails even where it did not look (the pushes
// return nothing to look at).
static void AllocFailed(HSQUIRRELVM v, const std::bad_alloc &e) {
    v->_lasterror.Null();
    try {
        v->_lasterror = v->MakeString(sq_allocerrortext(e));
    } catch (const std::bad_alloc &) {}
    v->_allocfailed = true;
}
#define SQ_TRY try {
#define SQ_CATCH(v)                    \
    }                                  \
    catch (const SQException &) {      \
        return SQ_ERROR;               \
    }                                  \
    catch (const std::bad_alloc &e) {  \
        AllocFailed(v, e);             \
        return SQ_ERROR;               \
    }
#define SQ_CATCH_VOID(v)               \
    }                                  \
    catch (const SQException &) {      \
    }                                  \
    catch (const std::bad_alloc &e) {  \
        AllocFailed(v, e);             \
    }

static SQObjectPtr g_nullobj;

static SQObjectPtr &At(HSQUIRRELVM v, SQInteger idx) {
    SQInteger abs = idx >= 0 ? v->_stackbase + idx - 1 : v->_top + idx;
    if (idx == 0 || abs < 0 || abs >= v->_top) {
        g_nullobj.Null();
        return g_nullobj;
    }
    return v->_stack[abs];
}

// pops values pushed by the caller, never below the current frame
static void SafePop(HSQUIRRELVM v, SQInteger n) {
    while (n-- > 0 && v->_top > v->_stackbase) v->Pop();
}

static SQRESULT TypeError(HSQUIRRELVM v, const char *expected, const SQObject &o) {
    char buf[128];
    snprintf(buf, sizeof buf, "wrong argument type, expected '%s' got '%s'", expected, GetTypeName(o));
    return sq_throwerror(v, buf);
}

// ------------------------------------------------------------ vm

// Frees a shared state and everything in it; works on a state only partly
// built too (a failed sq_open).
static void DestroyState(SQSharedState *ss) {
    SQVM *root = ss->_rootvm;
    ss->_closing = true;
    try {
        ss->_refs.clear();
        ss->CollectGarbage(nullptr, nullptr);
    } catch (...) {}
    SQObjectPtr *fields[] = {&ss->_roottable,
                             &ss->_registry,
                             &ss->_consts,
                             &ss->_metamethodsmap,
                             &ss->_table_default_delegate,
                             &ss->_array_default_delegate,
                             &ss->_string_default_delegate,
                             &ss->_number_default_delegate,
                             &ss->_closure_default_delegate,
                             &ss->_generator_default_delegate,
                             &ss->_thread_default_delegate,
                             &ss->_class_default_delegate,
                             &ss->_instance_default_delegate,
                             &ss->_weakref_default_delegate,
                             &ss->_errorhandler,
                             &ss->_debughook_closure,
                             &ss->_constructoridx};
    for (auto *f : fields) f->Null();
    for (auto &m : ss->_metamethodnames) m.Null();
    if (root && --root->_uiRef == 0) root->Release();
    // anything still referenced from outside is detached from the state
    while (ss->_gcchain) ss->_gcchain->Unlink();
    if (ss->_releasehook) ss->_releasehook(ss->_foreignptr, 0);
    delete ss;
}

// null when there is not enough memory for a VM
HSQUIRRELVM sq_open(SQInteger initialstacksize) {
    SQSharedState *ss = nullptr;
    try {
        ss = new SQSharedState();
        ss->Init(nullptr);
        SQVM *v = new SQVM(ss);
        v->_uiRef = 1;
        ss->_rootvm = v;
        v->Init(nullptr, initialstacksize);
        sq_init_default_delegates(ss, v);
        sq_base_register(v);
        return v;
    } catch (const std::bad_alloc &) {
        if (ss) DestroyState(ss);
        return nullptr;
    }
}

// null when there is not enough memory for the thread
HSQUIRRELVM sq_newthread(HSQUIRRELVM friendvm, SQInteger initialstacksize) {
    SQSharedState *ss = friendvm->_sharedstate;
    try {
        SQVM *t = new SQVM(ss);
        SQObjectPtr keep(OT_THREAD, t);
        t->Init(friendvm, initialstacksize);
        friendvm->Push(keep);
        return t;
    } catch (const std::bad_alloc &) { return nullptr; }
}

void sq_close(HSQUIRRELVM v) { DestroyState(v->_sharedstate); }

void sq_seterrorhandler(HSQUIRRELVM v) {
    if (v->_top <= v->_stackbase) return;
    SQObjectPtr &o = v->Top();
    if (o._type == OT_CLOSURE || o._type == OT_NATIVECLOSURE || o._type == OT_NULL) {
        v->_sharedstate->_errorhandler = o;
        v->_errorhandler.Null();
    }
    SafePop(v, 1);
}

void sq_setforeignptr(HSQUIRRELVM v, SQUserPointer p) { v->_foreignptr = p; }
SQUserPointer sq_getforeignptr(HSQUIRRELVM v) { return v->_foreignptr; }
void sq_setsharedforeignptr(HSQUIRRELVM v, SQUserPointer p) { v->_sharedstate->_foreignptr = p; }
SQUserPointer sq_getsharedforeignptr(HSQUIRRELVM v) { return v->_sharedstate->_foreignptr; }
void sq_setvmreleasehook(HSQUIRRELVM v, SQRELEASEHOOK hook) { v->_releasehook = hook; }
SQRELEASEHOOK sq_getvmreleasehook(HSQUIRRELVM v) { return v->_releasehook; }
void sq_setsharedreleasehook(HSQUIRRELVM v, SQRELEASEHOOK hook) { v->_sharedstate->_releasehook = hook; }
SQRELEASEHOOK sq_getsharedreleasehook(HSQUIRRELVM v) { return v->_sharedstate->_releasehook; }

void sq_setprintfunc(HSQUIRRELVM v, SQPRINTFUNCTION printfunc, SQPRINTFUNCTION errfunc) {
    v->_sharedstate->_printfunc = printfunc;
    v->_sharedstate->_errorfunc = errfunc;
}
SQPRINTFUNCTION sq_getprintfunc(HSQUIRRELVM v) { return v->_sharedstate->_printfunc; }
SQPRINTFUNCTION sq_geterrorfunc(HSQUIRRELVM v) { return v->_sharedstate->_errorfunc; }

SQRESULT sq_suspendvm(HSQUIRRELVM v) {
    if (!v->IsSuspendable()) return sq_throwerror(v, "cannot suspend an executing vm from this point");
    return SQ_SUSPEND_FLAG;
}

SQRESULT sq_wakeupvm(HSQUIRRELVM v, SQBool resumedret, SQBool retval, SQBool raiseerror, SQBool throwerror) {
    if (!v->_suspended) return sq_throwerror(v, "cannot resume a vm that is not running any code");
    SQ_TRY
    SQObjectPtr val;
    if (resumedret && v->_top > v->_stackbase) {
        val = v->Top();
        SafePop(v, 1);
    }
    if (throwerror) val = v->_lasterror;
    SQObjectPtr res;
    if (!v->Execute(val, 0, v->_top, res, raiseerror != 0, throwerror ? SQVM::ET_RESUME_THROW_VM : SQVM::ET_RESUME_VM))
        return SQ_ERROR;
    if (retval) v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}

SQInteger sq_getvmstate(HSQUIRRELVM v) {
    if (v->_suspended) return SQ_VMSTATE_SUSPENDED;
    if (!(v->_ncalls == 0)) return SQ_VMSTATE_RUNNING;
    return SQ_VMSTATE_IDLE;
}

SQInteger sq_getversion(void) { return SQUIRREL_VERSION_NUMBER; }

void sq_setinstructionlimit(HSQUIRRELVM v, SQInteger maxinstructions) {
    v->_sharedstate->_limited = maxinstructions > 0;
    v->_sharedstate->_instructionlimit = maxinstructions > 0 ? maxinstructions : 0;
    v->_sharedstate->UpdateHooks();
}

void sq_setmaxarraysize(HSQUIRRELVM v, SQInteger maxsize) {
    v->_sharedstate->_maxarraysize = maxsize > 0 ? maxsize : SQ_DEFAULT_MAX_ARRAY_SIZE;
}
void sq_setmaxstringlength(HSQUIRRELVM v, SQInteger maxlen) {
    v->_sharedstate->_maxstringlength = maxlen > 0 ? maxlen : SQ_DEFAULT_MAX_STRING_LENGTH;
}

// ------------------------------------------------------------ compiler

static SQRESULT CompileString(HSQUIRRELVM v, const char *s, size_t len, const char *sourcename, SQBool raiseerror) {
    SQ_TRY
    SQObjectPtr proto;
    std::string err;
    SQInteger line = 0, col = 0;
    if (!sq_compile_source(v, s, len, sourcename, v->_sharedstate->_debuginfo, proto, err, line, col)) {
        v->_lasterror = v->MakeString(err.c_str());
        if (raiseerror && v->_sharedstate->_compilererrorhandler)
            v->_sharedstate->_compilererrorhandler(v, err.c_str(), sourcename ? sourcename : "unknown", line, col);
        return SQ_ERROR;
    }
    SQWeakRef *root = nullptr;
    if (v->_roottable._type == OT_TABLE) root = v->_roottable._unVal.pRefCounted->GetWeakRef(OT_TABLE);
    SQClosure *c = SQClosure::Create(v->_sharedstate, _funcproto(proto), root);
    v->Push(SQObjectPtr(OT_CLOSURE, c));
    return SQ_OK;
    SQ_CATCH(v)
}

SQRESULT sq_compile(HSQUIRRELVM v, SQLEXREADFUNC read, SQUserPointer p, const SQChar *sourcename, SQBool raiseerror) {
    std::string src;
    for (;;) {
        SQInteger c = read(p);
        if (c == 0) break;
        src.push_back((char)c);
    }
    return CompileString(v, src.data(), src.size(), sourcename, raiseerror);
}

SQRESULT sq_compilebuffer(HSQUIRRELVM v, const SQChar *s, SQInteger size, const SQChar *sourcename, SQBool raiseerror) {
    if (size < 0) size = (SQInteger)strlen(s);
    return CompileString(v, s, (size_t)size, sourcename, raiseerror);
}

void sq_enabledebuginfo(HSQUIRRELVM v, SQBool enable) { v->_sharedstate->_debuginfo = enable != 0; }
void sq_notifyallexceptions(HSQUIRRELVM v, SQBool enable) { v->_sharedstate->_notifyallexceptions = enable != 0; }
void sq_setcompilererrorhandler(HSQUIRRELVM v, SQCOMPILERERROR f) { v->_sharedstate->_compilererrorhandler = f; }

// ------------------------------------------------------------ stack

void sq_push(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr o = At(v, idx);
    v->Push(o);
    SQ_CATCH_VOID(v)
}
void sq_pop(HSQUIRRELVM v, SQInteger n) {
    while (n-- > 0 && v->_top > v->_stackbase) SafePop(v, 1);
}
void sq_poptop(HSQUIRRELVM v) {
    if (v->_top > v->_stackbase) SafePop(v, 1);
}
void sq_remove(HSQUIRRELVM v, SQInteger idx) {
    SQInteger abs = idx >= 0 ? v->_stackbase + idx - 1 : v->_top + idx;
    if (idx == 0 || abs < v->_stackbase || abs >= v->_top) return;
    v->Remove(abs);
}
SQInteger sq_gettop(HSQUIRRELVM v) { return v->_top - v->_stackbase; }
void sq_settop(HSQUIRRELVM v, SQInteger newtop) {
    SQ_TRY
    if (newtop < 0) newtop = 0;
    SQInteger abs = v->_stackbase + newtop;
    if (abs > v->_top) {
        v->EnsureStack(abs);
        while (v->_top < abs) v->PushNull();
    } else {
        while (v->_top > abs) SafePop(v, 1);
    }
    SQ_CATCH_VOID(v)
}
SQRESULT sq_reservestack(HSQUIRRELVM v, SQInteger nsize) {
    SQ_TRY
    v->EnsureStack(v->_top + nsize);
    return SQ_OK;
    SQ_CATCH(v)
}
SQInteger sq_cmp(HSQUIRRELVM v) {
    SQ_TRY
    SQObjectPtr o1 = At(v, -1), o2 = At(v, -2);
    return v->ObjCmp(o1, o2);
}
catch (...) {
    return 0;
}
}
void sq_move(HSQUIRRELVM dest, HSQUIRRELVM src, SQInteger idx) {
    SQ_TRY
    SQObjectPtr o = At(src, idx);
    dest->Push(o);
    SQ_CATCH_VOID(dest)
}

// ------------------------------------------------------------ object creation

SQUserPointer sq_newuserdata(HSQUIRRELVM v, SQUnsignedInteger size) {
    SQ_TRY
    SQUserData *ud = SQUserData::Create(v->_sharedstate, (SQInteger)size);
    v->Push(SQObjectPtr(OT_USERDATA, ud));
    return (SQUserPointer)ud->_data;
}
catch (...) {
    return nullptr;
}
}
void sq_newtable(HSQUIRRELVM v) {
    SQ_TRY
    v->Push(SQObjectPtr(OT_TABLE, SQTable::Create(v->_sharedstate, 0)));
    SQ_CATCH_VOID(v)
}
void sq_newtableex(HSQUIRRELVM v, SQInteger initialcapacity) {
    SQ_TRY
    v->Push(SQObjectPtr(OT_TABLE, SQTable::Create(v->_sharedstate, initialcapacity)));
    SQ_CATCH_VOID(v)
}
void sq_newarray(HSQUIRRELVM v, SQInteger size) {
    SQ_TRY
    if (size < 0) size = 0;
    v->Push(SQObjectPtr(OT_ARRAY, SQArray::Create(v->_sharedstate, size)));
    SQ_CATCH_VOID(v)
}
void sq_newclosure(HSQUIRRELVM v, SQFUNCTION func, SQUnsignedInteger nfreevars) {
    SQ_TRY
    SQInteger n = (SQInteger)nfreevars;
    if (n > v->_top - v->_stackbase) n = v->_top - v->_stackbase;
    SQNativeClosure *nc = SQNativeClosure::Create(v->_sharedstate, func, n);
    SQObjectPtr c(OT_NATIVECLOSURE, nc);
    for (SQInteger i = 0; i < n; i++) nc->_outervalues[(size_t)i] = v->_stack[v->_top - n + i];
    SafePop(v, n);
    v->Push(c);
    SQ_CATCH_VOID(v)
}
SQRESULT sq_setparamscheck(HSQUIRRELVM v, SQInteger nparamscheck, const SQChar *typemask) {
    SQ_TRY
    SQObjectPtr &o = At(v, -1);
    if (o._type != OT_NATIVECLOSURE) return sq_throwerror(v, "native closure expected");
    SQNativeClosure *nc = _nativeclosure(o);
    nc->_nparamscheck = nparamscheck;
    if (typemask) {
        sqvector<SQInteger> tc;
        if (!sq_typecheck_parse(typemask, tc)) return sq_throwerror(v, "invalid typemask");
        nc->_typecheck = tc;
    } else {
        nc->_typecheck.clear();
    }
    if (nparamscheck == SQ_MATCHTYPEMASKSTRING) nc->_nparamscheck = (SQInteger)nc->_typecheck.size();
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_bindenv(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr o = At(v, idx);
    SQObjectPtr env = At(v, -1);
    if (o._type != OT_CLOSURE && o._type != OT_NATIVECLOSURE) return sq_throwerror(v, "the target is not a closure");
    if (env._type != OT_TABLE && env._type != OT_CLASS && env._type != OT_INSTANCE)
        return sq_throwerror(v, "invalid environment");
    SQWeakRef *w = env._unVal.pRefCounted->GetWeakRef(env._type);
    SQObjectPtr res;
    if (o._type == OT_CLOSURE) {
        SQClosure *c = _closure(o)->Clone();
        res = SQObjectPtr(OT_CLOSURE, c);
        c->SetEnv(w);
    } else {
        SQNativeClosure *c = _nativeclosure(o)->Clone();
        res = SQObjectPtr(OT_NATIVECLOSURE, c);
        c->SetEnv(w);
    }
    SafePop(v, 1);
    v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_setclosureroot(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    SQObjectPtr t = At(v, -1);
    if (o._type != OT_CLOSURE) return sq_throwerror(v, "the target is not a closure");
    if (t._type != OT_TABLE) return sq_throwerror(v, "ivalid type");
    _closure(o)->SetRoot(t._unVal.pRefCounted->GetWeakRef(OT_TABLE));
    SafePop(v, 1);
    return SQ_OK;
}
SQRESULT sq_getclosureroot(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    if (o._type != OT_CLOSURE) return sq_throwerror(v, "the target is not a closure");
    SQ_TRY
    v->Push(v->GetRootFor(_closure(o)));
    return SQ_OK;
    SQ_CATCH(v)
}
void sq_pushstring(HSQUIRRELVM v, const SQChar *s, SQInteger len) {
    SQ_TRY
    if (!s)
        v->PushNull();
    else
        v->Push(v->MakeString(s, len));
    SQ_CATCH_VOID(v)
}
void sq_pushfloat(HSQUIRRELVM v, SQFloat f) {
    SQ_TRY v->Push(SQObjectPtr(f));
    SQ_CATCH_VOID(v)
}
void sq_pushinteger(HSQUIRRELVM v, SQInteger n) {
    SQ_TRY v->Push(SQObjectPtr(n));
    SQ_CATCH_VOID(v)
}
void sq_pushbool(HSQUIRRELVM v, SQBool b) {
    SQ_TRY v->Push(SQObjectPtr(b != 0));
    SQ_CATCH_VOID(v)
}
void sq_pushuserpointer(HSQUIRRELVM v, SQUserPointer p) {
    SQ_TRY v->Push(SQObjectPtr::UserPointer(p));
    SQ_CATCH_VOID(v)
}
void sq_pushnull(HSQUIRRELVM v) {
    SQ_TRY v->PushNull();
    SQ_CATCH_VOID(v)
}
void sq_pushthread(HSQUIRRELVM v, HSQUIRRELVM thread) {
    SQ_TRY v->Push(SQObjectPtr(OT_THREAD, thread));
    SQ_CATCH_VOID(v)
}
SQObjectType sq_gettype(HSQUIRRELVM v, SQInteger idx) { return At(v, idx)._type; }
SQRESULT sq_typeof(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr o = At(v, idx), res;
    v->TypeOf(o, res);
    v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}
SQInteger sq_getsize(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr &o = At(v, idx);
    switch (o._type) {
        case OT_STRING: return _string(o)->_len;
        case OT_TABLE: return _table(o)->CountUsed();
        case OT_ARRAY: return _array(o)->Size();
        case OT_USERDATA: return _userdata(o)->_size;
        case OT_INSTANCE: return _instance(o)->_memsize;
        case OT_CLASS: return _class(o)->_udsize;
        default: sq_throwerror(v, "type not supported"); return -1;
    }
}
SQHash sq_gethash(HSQUIRRELVM v, SQInteger idx) { return HashObj(At(v, idx)); }
SQRESULT sq_getbase(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    if (o._type != OT_CLASS) return TypeError(v, "class", o);
    SQ_TRY
    if (_class(o)->_base)
        v->Push(SQObjectPtr(OT_CLASS, _class(o)->_base));
    else
        v->PushNull();
    return SQ_OK;
    SQ_CATCH(v)
}
SQBool sq_instanceof(HSQUIRRELVM v) {
    SQObjectPtr &inst = At(v, -1);
    SQObjectPtr &cls = At(v, -2);
    if (inst._type != OT_INSTANCE || cls._type != OT_CLASS) return SQFalse;
    return _instance(inst)->InstanceOf(_class(cls)) ? SQTrue : SQFalse;
}
SQRESULT sq_tostring(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr o = At(v, idx), res;
    v->ToString(o, res);
    v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}
void sq_tobool(HSQUIRRELVM v, SQInteger idx, SQBool *b) { *b = IsFalse(At(v, idx)) ? SQFalse : SQTrue; }
SQRESULT sq_getstringandsize(HSQUIRRELVM v, SQInteger idx, const SQChar **c, SQInteger *size) {
    SQObjectPtr &o = At(v, idx);
    if (o._type != OT_STRING) return TypeError(v, "string", o);
    *c = _string(o)->_val;
    if (size) *size = _string(o)->_len;
    return SQ_OK;
}
SQRESULT sq_getstring(HSQUIRRELVM v, SQInteger idx, const SQChar **c) {
    SQObjectPtr &o = At(v, idx);
    if (o._type != OT_STRING) return TypeError(v, "string", o);
    *c = _string(o)->_val;
    return SQ_OK;
}
SQRESULT sq_getinteger(HSQUIRRELVM v, SQInteger idx, SQInteger *i) {
    SQObjectPtr &o = At(v, idx);
    if (o._type & SQOBJECT_NUMERIC) {
        *i = tointeger(o);
        return SQ_OK;
    }
    if (o._type == OT_BOOL) {
        *i = _integer(o);
        return SQ_OK;
    }
    return TypeError(v, "integer", o);
}
SQRESULT sq_getfloat(HSQUIRRELVM v, SQInteger idx, SQFloat *f) {
    SQObjectPtr &o = At(v, idx);
    if (o._type & SQOBJECT_NUMERIC) {
        *f = tofloat(o);
        return SQ_OK;
    }
    return TypeError(v, "float", o);
}
SQRESULT sq_getbool(HSQUIRRELVM v, SQInteger idx, SQBool *b) {
    SQObjectPtr &o = At(v, idx);
    if (o._type == OT_BOOL) {
        *b = _integer(o) ? SQTrue : SQFalse;
        return SQ_OK;
    }
    return TypeError(v, "bool", o);
}
SQRESULT sq_getthread(HSQUIRRELVM v, SQInteger idx, HSQUIRRELVM *thread) {
    SQObjectPtr &o = At(v, idx);
    if (o._type != OT_THREAD) return TypeError(v, "thread", o);
    *thread = _thread(o);
    return SQ_OK;
}
SQRESULT sq_getuserpointer(HSQUIRRELVM v, SQInteger idx, SQUserPointer *p) {
    SQObjectPtr &o = At(v, idx);
    if (o._type != OT_USERPOINTER) return TypeError(v, "userpointer", o);
    *p = _userpointer(o);
    return SQ_OK;
}
SQRESULT sq_getuserdata(HSQUIRRELVM v, SQInteger idx, SQUserPointer *p, SQUserPointer *typetag) {
    SQObjectPtr &o = At(v, idx);
    if (o._type != OT_USERDATA) return TypeError(v, "userdata", o);
    *p = (SQUserPointer)_userdata(o)->_data;
    if (typetag) *typetag = _userdata(o)->_typetag;
    return SQ_OK;
}
SQRESULT sq_settypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer typetag) {
    SQObjectPtr &o = At(v, idx);
    switch (o._type) {
        case OT_USERDATA: _userdata(o)->_typetag = typetag; return SQ_OK;
        case OT_CLASS: _class(o)->_typetag = typetag; return SQ_OK;
        default: return sq_throwerror(v, "invalid object type");
    }
}
SQRESULT sq_getobjtypetag(const HSQOBJECT *o, SQUserPointer *typetag) {
    switch (o->_type) {
        case OT_INSTANCE: *typetag = _instance(*o)->_class->_typetag; return SQ_OK;
        case OT_USERDATA: *typetag = _userdata(*o)->_typetag; return SQ_OK;
        case OT_CLASS: *typetag = _class(*o)->_typetag; return SQ_OK;
        default: return SQ_ERROR;
    }
}
SQRESULT sq_gettypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer *typetag) {
    SQObjectPtr &o = At(v, idx);
    if (SQ_FAILED(sq_getobjtypetag(&o, typetag))) return sq_throwerror(v, "invalid object type");
    return SQ_OK;
}
void sq_setreleasehook(HSQUIRRELVM v, SQInteger idx, SQRELEASEHOOK hook) {
    SQObjectPtr &o = At(v, idx);
    switch (o._type) {
        case OT_USERDATA: _userdata(o)->_hook = hook; break;
        case OT_INSTANCE: _instance(o)->_hook = hook; break;
        case OT_CLASS: _class(o)->_hook = hook; break;
        default: break;
    }
}
SQRELEASEHOOK sq_getreleasehook(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr &o = At(v, idx);
    switch (o._type) {
        case OT_USERDATA: return _userdata(o)->_hook;
        case OT_INSTANCE: return _instance(o)->_hook;
        case OT_CLASS: return _class(o)->_hook;
        default: return nullptr;
    }
}
// null when there is not enough memory
SQChar *sq_getscratchpad(HSQUIRRELVM v, SQInteger minsize) {
    auto &sp = v->_sharedstate->_scratchpad;
    if (minsize < 0) minsize = 0;
    try {
        if ((SQInteger)sp.size() < minsize + 16) sp.resize((size_t)(minsize + 16) * 2);
    } catch (const std::bad_alloc &) { return nullptr; }
    return sp.data();
}

static SQCallInfo *FrameAt(HSQUIRRELVM v, SQInteger level) {
    SQInteger n = v->_ncalls;
    if (level < 0 || level >= n) return nullptr;
    return &v->_calls[(size_t)(n - 1 - level)];
}

SQRESULT sq_getfunctioninfo(HSQUIRRELVM v, SQInteger level, SQFunctionInfo *fi) {
    SQCallInfo *ci = FrameAt(v, level);
    if (!ci) return sq_throwerror(v, "the level doesn't exist");
    if (ci->_closure._type != OT_CLOSURE) return sq_throwerror(v, "the object is not a closure");
    SQFunctionProto *p = _closure(ci->_closure)->Proto();
    fi->funcid = (SQUserPointer)p;
    fi->name = p->_name._type == OT_STRING ? _string(p->_name)->_val : "unknown";
    fi->source = p->_sourcename._type == OT_STRING ? _string(p->_sourcename)->_val : "unknown";
    fi->line = p->_lineinfos.empty() ? 0 : p->_lineinfos[0]._line;
    return SQ_OK;
}
SQRESULT sq_getclosureinfo(HSQUIRRELVM v, SQInteger idx, SQInteger *nparams, SQInteger *nfreevars) {
    SQObjectPtr &o = At(v, idx);
    if (o._type == OT_CLOSURE) {
        SQFunctionProto *p = _closure(o)->Proto();
        if (nparams) *nparams = p->_nparameters;
        if (nfreevars) *nfreevars = (SQInteger)p->_outervalues.size();
        return SQ_OK;
    }
    if (o._type == OT_NATIVECLOSURE) {
        if (nparams) *nparams = _nativeclosure(o)->_nparamscheck;
        if (nfreevars) *nfreevars = (SQInteger)_nativeclosure(o)->_outervalues.size();
        return SQ_OK;
    }
    return sq_throwerror(v, "the object is not a closure");
}
SQRESULT sq_getclosurename(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    SQ_TRY
    if (o._type == OT_CLOSURE)
        v->Push(_closure(o)->Proto()->_name);
    else if (o._type == OT_NATIVECLOSURE)
        v->Push(_nativeclosure(o)->_name);
    else
        return sq_throwerror(v, "the target is not a closure");
    return SQ_OK;
    SQ_CATCH(v)
}
void sq_setfastpath(HSQUIRRELVM v, SQFASTFUNCTION f) {
    SQObjectPtr &o = At(v, -1);
    if (o._type == OT_NATIVECLOSURE) _nativeclosure(o)->_fast = f;
}
SQRESULT sq_setnativeclosurename(HSQUIRRELVM v, SQInteger idx, const SQChar *name) {
    SQObjectPtr &o = At(v, idx);
    if (o._type != OT_NATIVECLOSURE) return sq_throwerror(v, "the object is not a nativeclosure");
    SQ_TRY
    _nativeclosure(o)->_name = v->MakeString(name);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_setinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer p) {
    SQObjectPtr &o = At(v, idx);
    if (o._type != OT_INSTANCE) return sq_throwerror(v, "the object is not a class instance");
    _instance(o)->_userpointer = p;
    return SQ_OK;
}
SQRESULT sq_getinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer *p, SQUserPointer typetag, SQBool throwerror) {
    SQObjectPtr &o = At(v, idx);
    if (o._type != OT_INSTANCE) {
        if (throwerror) return sq_throwerror(v, "the object is not a class instance");
        return SQ_ERROR;
    }
    SQInstance *inst = _instance(o);
    if (typetag) {
        bool ok = false;
        for (SQClass *c = inst->_class; c; c = c->_base)
            if (c->_typetag == typetag) {
                ok = true;
                break;
            }
        if (!ok) {
            if (throwerror) return sq_throwerror(v, "invalid type tag");
            return SQ_ERROR;
        }
    }
    *p = inst->_userpointer;
    return SQ_OK;
}
SQRESULT sq_setclassudsize(HSQUIRRELVM v, SQInteger idx, SQInteger udsize) {
    SQObjectPtr &o = At(v, idx);
    if (o._type != OT_CLASS) return sq_throwerror(v, "the object is not a class");
    if (_class(o)->_locked) return sq_throwerror(v, "the class is locked");
    _class(o)->_udsize = udsize < 0 ? 0 : udsize;
    return SQ_OK;
}
SQRESULT sq_newclass(HSQUIRRELVM v, SQBool hasbase) {
    SQ_TRY
    SQClass *base = nullptr;
    if (hasbase) {
        SQObjectPtr &b = At(v, -1);
        if (b._type != OT_CLASS) return sq_throwerror(v, "invalid base type");
        base = _class(b);
    }
    SQObjectPtr c(OT_CLASS, SQClass::Create(v->_sharedstate, base));
    if (hasbase) SafePop(v, 1);
    v->Push(c);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_createinstance(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    if (o._type != OT_CLASS) return TypeError(v, "class", o);
    SQ_TRY
    v->Push(SQObjectPtr(OT_INSTANCE, _class(o)->CreateInstance()));
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_setattributes(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    if (o._type != OT_CLASS) return TypeError(v, "class", o);
    SQ_TRY
    SQObjectPtr key = At(v, -2), val = At(v, -1), old;
    if (key._type == OT_NULL) {
        old = _class(o)->_attributes;
        _class(o)->_attributes = val;
    } else if (_class(o)->GetAttributes(key, old)) {
        _class(o)->SetAttributes(key, val);
    } else {
        return sq_throwerror(v, "wrong index");
    }
    SafePop(v, 2);
    v->Push(old);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_getattributes(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    if (o._type != OT_CLASS) return TypeError(v, "class", o);
    SQ_TRY
    SQObjectPtr key = At(v, -1), attrs;
    if (key._type == OT_NULL)
        attrs = _class(o)->_attributes;
    else if (!_class(o)->GetAttributes(key, attrs))
        return sq_throwerror(v, "wrong index");
    SafePop(v, 1);
    v->Push(attrs);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_getclass(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    if (o._type != OT_INSTANCE) return TypeError(v, "instance", o);
    SQ_TRY
    v->Push(SQObjectPtr(OT_CLASS, _instance(o)->_class));
    return SQ_OK;
    SQ_CATCH(v)
}
void sq_weakref(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr o = At(v, idx);
    if (sq_isrefcounted_type(o._type)) {
        SQWeakRef *w = o._unVal.pRefCounted->GetWeakRef(o._type);
        v->Push(SQObjectPtr(OT_WEAKREF, w));
    } else {
        v->Push(o);
    }
    SQ_CATCH_VOID(v)
}
SQRESULT sq_getdefaultdelegate(HSQUIRRELVM v, SQObjectType t) {
    SQSharedState *ss = v->_sharedstate;
    SQObjectPtr *dd;
    switch (t) {
        case OT_TABLE: dd = &ss->_table_default_delegate; break;
        case OT_ARRAY: dd = &ss->_array_default_delegate; break;
        case OT_STRING: dd = &ss->_string_default_delegate; break;
        case OT_INTEGER:
        case OT_FLOAT:
        case OT_BOOL: dd = &ss->_number_default_delegate; break;
        case OT_GENERATOR: dd = &ss->_generator_default_delegate; break;
        case OT_CLOSURE:
        case OT_NATIVECLOSURE: dd = &ss->_closure_default_delegate; break;
        case OT_THREAD: dd = &ss->_thread_default_delegate; break;
        case OT_CLASS: dd = &ss->_class_default_delegate; break;
        case OT_INSTANCE: dd = &ss->_instance_default_delegate; break;
        case OT_WEAKREF: dd = &ss->_weakref_default_delegate; break;
        default: return sq_throwerror(v, "the type doesn't have a default delegate");
    }
    SQ_TRY
    v->Push(*dd);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_getmemberhandle(HSQUIRRELVM v, SQInteger idx, HSQMEMBERHANDLE *handle) {
    SQObjectPtr o = At(v, idx);
    if (o._type != OT_CLASS) return TypeError(v, "class", o);
    SQObjectPtr key = At(v, -1);
    SQTable::Node *n = _class(o)->_members->Find(key);
    SafePop(v, 1);
    if (!n) return sq_throwerror(v, "wrong index");
    SQInteger enc = _integer(n->val);
    handle->_static = MemberIsField(enc) ? SQFalse : SQTrue;
    handle->_index = MemberIdx(enc);
    return SQ_OK;
}
static SQObjectPtr *HandleSlot(HSQUIRRELVM v, const SQObjectPtr &o, const HSQMEMBERHANDLE *h) {
    if (o._type == OT_INSTANCE) {
        SQInstance *i = _instance(o);
        if (h->_static) {
            if (h->_index < 0 || h->_index >= (SQInteger)i->_class->_methods.size()) return nullptr;
            return &i->_class->_methods[(size_t)h->_index].val;
        }
        if (h->_index < 0 || h->_index >= (SQInteger)i->_values.size()) return nullptr;
        return &i->_values[(size_t)h->_index];
    }
    if (o._type == OT_CLASS) {
        SQClass *c = _class(o);
        auto &vec = h->_static ? c->_methods : c->_defaultvalues;
        if (h->_index < 0 || h->_index >= (SQInteger)vec.size()) return nullptr;
        return &vec[(size_t)h->_index].val;
    }
    (void)v;
    return nullptr;
}
SQRESULT sq_getbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE *handle) {
    SQObjectPtr o = At(v, idx);
    SQObjectPtr *slot = HandleSlot(v, o, handle);
    if (!slot) return sq_throwerror(v, "wrong type or index");
    SQ_TRY
    v->Push(RealVal(*slot));
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_setbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE *handle) {
    SQObjectPtr o = At(v, idx);
    SQObjectPtr *slot = HandleSlot(v, o, handle);
    if (!slot) return sq_throwerror(v, "wrong type or index");
    *slot = At(v, -1);
    SafePop(v, 1);
    return SQ_OK;
}

// ------------------------------------------------------------ object manipulation

void sq_pushroottable(HSQUIRRELVM v) {
    SQ_TRY v->Push(v->_roottable);
    SQ_CATCH_VOID(v)
}
void sq_pushregistrytable(HSQUIRRELVM v) {
    SQ_TRY v->Push(v->_sharedstate->_registry);
    SQ_CATCH_VOID(v)
}
void sq_pushconsttable(HSQUIRRELVM v) {
    SQ_TRY v->Push(v->_sharedstate->_consts);
    SQ_CATCH_VOID(v)
}
SQRESULT sq_setroottable(HSQUIRRELVM v) {
    SQObjectPtr o = At(v, -1);
    if (o._type != OT_TABLE) return sq_throwerror(v, "ivalid type");
    v->_roottable = o;
    SafePop(v, 1);
    return SQ_OK;
}
SQRESULT sq_setconsttable(HSQUIRRELVM v) {
    SQObjectPtr o = At(v, -1);
    if (o._type != OT_TABLE) return sq_throwerror(v, "ivalid type, expected table");
    v->_sharedstate->_consts = o;
    SafePop(v, 1);
    return SQ_OK;
}
SQRESULT sq_newslot(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
    if (sq_gettop(v) < 3) return sq_throwerror(v, "not enough params in the stack");
    SQ_TRY
    SQObjectPtr self = At(v, idx), key = At(v, -2), val = At(v, -1);
    SafePop(v, 2);
    if (self._type != OT_TABLE && self._type != OT_CLASS) return TypeError(v, "table", self);
    v->NewSlot(self, key, val, bstatic != 0);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_deleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    SQ_TRY
    SQObjectPtr self = At(v, idx), key = At(v, -1), res;
    SafePop(v, 1);
    if (self._type != OT_TABLE) return TypeError(v, "table", self);
    if (key._type == OT_NULL) return sq_throwerror(v, "null is not a valid key");
    if (!_table(self)->Get(key, res) && !_table(self)->_delegate) {
        if (pushval) v->PushNull();
        return SQ_OK;
    }
    v->DeleteSlot(self, key, res);
    if (pushval) v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_set(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr self = At(v, idx), key = At(v, -2), val = At(v, -1);
    SafePop(v, 2);
    v->Set(self, key, val, true);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_get(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr self = At(v, idx), key = At(v, -1), res;
    SafePop(v, 1);
    v->Get(self, key, res, 0);
    v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_rawget(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr self = At(v, idx), key = At(v, -1), res;
    SafePop(v, 1);
    switch (self._type) {
        case OT_TABLE:
        case OT_ARRAY:
        case OT_CLASS:
        case OT_INSTANCE:
            if (v->Get(self, key, res, SQVM::GET_RAW | SQVM::GET_NO_THROW)) {
                v->Push(res);
                return SQ_OK;
            }
            return sq_throwerror(v, "the index doesn't exist");
        default: return TypeError(v, "table", self);
    }
    SQ_CATCH(v)
}
SQRESULT sq_rawset(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr self = At(v, idx), key = At(v, -2), val = At(v, -1);
    SafePop(v, 2);
    switch (self._type) {
        case OT_TABLE:
            if (key._type == OT_NULL) return sq_throwerror(v, "null key");
            _table(self)->NewSlot(key, val);
            return SQ_OK;
        case OT_CLASS: v->NewSlot(self, key, val, false); return SQ_OK;
        case OT_INSTANCE:
            if (_instance(self)->Set(key, val)) return SQ_OK;
            v->RaiseIdxNotFound(key);
        case OT_ARRAY: v->Set(self, key, val, true); return SQ_OK;
        default: return TypeError(v, "table", self);
    }
    SQ_CATCH(v)
}
SQRESULT sq_rawdeleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    SQ_TRY
    SQObjectPtr self = At(v, idx), key = At(v, -1), res;
    SafePop(v, 1);
    if (self._type != OT_TABLE) return TypeError(v, "table", self);
    if (_table(self)->Get(key, res)) _table(self)->Remove(key);
    if (pushval) v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}
static SQRESULT NewMember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic, bool raw) {
    SQ_TRY
    SQObjectPtr self = At(v, idx), key = At(v, -3), val = At(v, -2), attrs = At(v, -1);
    SafePop(v, 3);
    if (self._type != OT_CLASS) return TypeError(v, "class", self);
    v->NewSlotA(self, key, val, attrs, bstatic != 0, raw);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_newmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) { return NewMember(v, idx, bstatic, false); }
SQRESULT sq_rawnewmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) { return NewMember(v, idx, bstatic, true); }

SQRESULT sq_arrayappend(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr a = At(v, idx);
    if (a._type != OT_ARRAY) return TypeError(v, "array", a);
    SQ_TRY
    _array(a)->Append(At(v, -1));
    SafePop(v, 1);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_arraypop(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    SQObjectPtr a = At(v, idx);
    if (a._type != OT_ARRAY) return TypeError(v, "array", a);
    auto &vals = _array(a)->_values;
    if (vals.empty()) return sq_throwerror(v, "empty array");
    SQ_TRY
    SQObjectPtr last = vals.back();
    vals.pop_back();
    if (pushval) v->Push(last);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_arrayresize(HSQUIRRELVM v, SQInteger idx, SQInteger newsize) {
    SQObjectPtr a = At(v, idx);
    if (a._type != OT_ARRAY) return TypeError(v, "array", a);
    if (newsize < 0) return sq_throwerror(v, "negative size");
    SQ_TRY
    _array(a)->CheckSize(newsize);
    _array(a)->_values.resize((size_t)newsize);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_arrayreverse(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr a = At(v, idx);
    if (a._type != OT_ARRAY) return TypeError(v, "array", a);
    auto &vals = _array(a)->_values;
    for (size_t i = 0, j = vals.size(); i + 1 < j; i++, j--) std::swap(vals[i], vals[j - 1]);
    return SQ_OK;
}
SQRESULT sq_arrayremove(HSQUIRRELVM v, SQInteger idx, SQInteger itemidx) {
    SQObjectPtr a = At(v, idx);
    if (a._type != OT_ARRAY) return TypeError(v, "array", a);
    auto &vals = _array(a)->_values;
    if (itemidx < 0 || itemidx >= (SQInteger)vals.size()) return sq_throwerror(v, "index out of range");
    vals.erase(vals.begin() + itemidx);
    return SQ_OK;
}
SQRESULT sq_arrayinsert(HSQUIRRELVM v, SQInteger idx, SQInteger destpos) {
    SQObjectPtr a = At(v, idx);
    if (a._type != OT_ARRAY) return TypeError(v, "array", a);
    auto &vals = _array(a)->_values;
    if (destpos < 0 || destpos > (SQInteger)vals.size()) return sq_throwerror(v, "index out of range");
    SQ_TRY
    _array(a)->CheckSize(_array(a)->Size() + 1);
    vals.insert(vals.begin() + destpos, At(v, -1));
    SafePop(v, 1);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_setdelegate(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = At(v, idx), mt = At(v, -1);
    if (self._type != OT_TABLE && self._type != OT_USERDATA) return TypeError(v, "table", self);
    if (mt._type != OT_TABLE && mt._type != OT_NULL) return TypeError(v, "table", mt);
    if (!_delegable(self)->SetDelegate(mt._type == OT_TABLE ? _table(mt) : nullptr))
        return sq_throwerror(v, "delegate cycle");
    SafePop(v, 1);
    return SQ_OK;
}
SQRESULT sq_getdelegate(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = At(v, idx);
    if (self._type != OT_TABLE && self._type != OT_USERDATA) return TypeError(v, "table", self);
    SQ_TRY
    SQTable *d = _delegable(self)->_delegate;
    if (d)
        v->Push(SQObjectPtr(OT_TABLE, d));
    else
        v->PushNull();
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_clone(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr o = At(v, idx), res;
    v->Clone(o, res);
    v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_setfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
    SQObjectPtr o = At(v, idx), val = At(v, -1);
    if (o._type == OT_CLOSURE) {
        SQClosure *c = _closure(o);
        if (nval >= c->_outervalues.size()) return sq_throwerror(v, "invalid free var index");
        *_outer(c->_outervalues[nval])->_valptr = val;
    } else if (o._type == OT_NATIVECLOSURE) {
        SQNativeClosure *c = _nativeclosure(o);
        if (nval >= c->_outervalues.size()) return sq_throwerror(v, "invalid free var index");
        c->_outervalues[nval] = val;
    } else {
        return TypeError(v, "closure", o);
    }
    SafePop(v, 1);
    return SQ_OK;
}
const SQChar *sq_getfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
    SQObjectPtr o = At(v, idx);
    try {
        if (o._type == OT_CLOSURE) {
            SQClosure *c = _closure(o);
            if (nval >= c->_outervalues.size()) return nullptr;
            v->Push(*_outer(c->_outervalues[nval])->_valptr);
            return _string(c->Proto()->_outervalues[nval]._name)->_val;
        }
        if (o._type == OT_NATIVECLOSURE) {
            SQNativeClosure *c = _nativeclosure(o);
            if (nval >= c->_outervalues.size()) return nullptr;
            v->Push(c->_outervalues[nval]);
            return "@NATIVE";
        }
    } catch (...) {}
    return nullptr;
}
SQRESULT sq_next(HSQUIRRELVM v, SQInteger idx) {
    SQ_TRY
    SQObjectPtr o = At(v, idx), iter = At(v, -1), key, val, newiter;
    if (o._type == OT_GENERATOR) return sq_throwerror(v, "cannot iterate a generator");
    if (!v->Next(o, iter, key, val, newiter)) return SQ_ERROR;
    v->Top() = newiter;
    v->Push(key);
    v->Push(val);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_getweakrefval(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    if (o._type != OT_WEAKREF) return TypeError(v, "weakref", o);
    SQ_TRY
    v->Push(SQObjectPtr(_weakref(o)->_obj));
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_clear(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = At(v, idx);
    if (o._type == OT_TABLE)
        _table(o)->Clear();
    else if (o._type == OT_ARRAY)
        _array(o)->_values.clear();
    else
        return sq_throwerror(v, "clear only works on table and array");
    return SQ_OK;
}

// ------------------------------------------------------------ calls

SQRESULT sq_call(HSQUIRRELVM v, SQInteger params, SQBool retval, SQBool raiseerror) {
    if (params < 1 || v->_top - params - 1 < v->_stackbase) return sq_throwerror(v, "not enough params in the stack");
    SQ_TRY
    SQInteger base = v->_top - params;
    SQObjectPtr fn = v->_stack[base - 1];
    SQObjectPtr res;
    if (v->Call(fn, params, base, res, raiseerror != 0)) {
        if (!v->_suspended) SafePop(v, params);
        if (retval) v->Push(res);
        return SQ_OK;
    }
    SafePop(v, params);
    return SQ_ERROR;
    SQ_CATCH(v)
}
SQRESULT sq_tailcall(HSQUIRRELVM v, SQInteger nparams) {
    SQRESULT r = sq_call(v, nparams, SQTrue, SQTrue);
    if (SQ_FAILED(r)) return r;
    return 1;
}
SQRESULT sq_resume(HSQUIRRELVM v, SQBool retval, SQBool raiseerror) {
    SQObjectPtr g = At(v, -1);
    if (g._type != OT_GENERATOR) return sq_throwerror(v, "only generators can be resumed");
    SQGenerator *gen = _generator(g);
    if (gen->_state == eDead) return sq_throwerror(v, "resuming dead generator");
    if (gen->_state == eRunning) return sq_throwerror(v, "resuming active generator");
    SQ_TRY
    SQObjectPtr res;
    if (!v->Execute(g, 0, v->_top, res, raiseerror != 0, SQVM::ET_RESUME_GENERATOR)) return SQ_ERROR;
    if (retval) v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}
const SQChar *sq_getlocal(HSQUIRRELVM v, SQUnsignedInteger level, SQUnsignedInteger idx) {
    SQCallInfo *ci = FrameAt(v, (SQInteger)level);
    if (!ci || ci->_closure._type != OT_CLOSURE) return nullptr;
    SQClosure *c = _closure(ci->_closure);
    SQFunctionProto *p = c->Proto();
    try {
        if (idx < p->_outervalues.size()) {
            v->Push(*_outer(c->_outervalues[idx])->_valptr);
            return _string(p->_outervalues[idx]._name)->_val;
        }
        idx -= p->_outervalues.size();
        SQUnsignedInteger op = (SQUnsignedInteger)(ci->_ip - p->_instructions.data());
        if (op > 0) op--;
        SQUnsignedInteger reg;
        const SQChar *name = p->GetLocal(op, idx, reg);
        if (!name) return nullptr;
        v->Push(v->_stack[ci->_base + (SQInteger)reg]);
        return name;
    } catch (...) { return nullptr; }
}
SQRESULT sq_getcallee(HSQUIRRELVM v) {
    SQInteger n = v->_ncalls;
    if (n == 0) return sq_throwerror(v, "no closure in the calls stack");
    SQ_TRY
    const SQCallInfo &top = v->_calls[(size_t)(n - 1)];
    if (top._native && n > 1)
        v->Push(v->_calls[(size_t)(n - 2)]._closure);
    else
        v->Push(top._closure);
    return SQ_OK;
    SQ_CATCH(v)
}
SQRESULT sq_throwerror(HSQUIRRELVM v, const SQChar *err) {
    try {
        v->_lasterror = v->MakeString(err ? err : "");
    } catch (...) { v->_lasterror.Null(); }
    v->_errorhandled = false;
    return SQ_ERROR;
}
SQRESULT sq_throwobject(HSQUIRRELVM v) {
    v->_lasterror = At(v, -1);
    v->_errorhandled = false;
    if (v->_top > v->_stackbase) SafePop(v, 1);
    return SQ_ERROR;
}
void sq_reseterror(HSQUIRRELVM v) { v->_lasterror.Null(); }
SQRESULT sq_getlasterror(HSQUIRRELVM v) {
    SQ_TRY
    v->Push(v->_lasterror);
    return SQ_OK;
    SQ_CATCH(v)
}

// ------------------------------------------------------------ raw objects

SQRESULT sq_getstackobj(HSQUIRRELVM v, SQInteger idx, HSQOBJECT *po) {
    *po = At(v, idx);
    return SQ_OK;
}
void sq_pushobject(HSQUIRRELVM v, HSQOBJECT obj) {
    SQ_TRY v->Push(obj);
    SQ_CATCH_VOID(v)
}
void sq_addref(HSQUIRRELVM v, HSQOBJECT *po) {
    if (!sq_isrefcounted_type(po->_type)) return;
    auto &refs = v->_sharedstate->_refs;
    auto it = refs.find(po->_unVal.pRefCounted);
    try {
        if (it == refs.end())
            refs.emplace(po->_unVal.pRefCounted, SQRefEntry{SQObjectPtr(*po), 1});
        else
            it->second.refs++;
    } catch (const std::bad_alloc &) {
        // no handle: the object is as referenced as it was
    }
}
SQBool sq_release(HSQUIRRELVM v, HSQOBJECT *po) {
    if (!sq_isrefcounted_type(po->_type)) return SQTrue;
    auto &refs = v->_sharedstate->_refs;
    auto it = refs.find(po->_unVal.pRefCounted);
    if (it == refs.end()) return SQTrue;
    if (--it->second.refs == 0) {
        SQObjectPtr keep = std::move(it->second.obj);
        refs.erase(it);
        sq_resetobject(po);
        return SQTrue;
    }
    return SQFalse;
}
SQUnsignedInteger sq_getrefcount(HSQUIRRELVM v, HSQOBJECT *po) {
    if (!sq_isrefcounted_type(po->_type)) return 0;
    auto &refs = v->_sharedstate->_refs;
    auto it = refs.find(po->_unVal.pRefCounted);
    return it == refs.end() ? 0 : it->second.refs;
}
SQUnsignedInteger sq_getvmrefcount(HSQUIRRELVM, const HSQOBJECT *po) {
    if (!sq_isrefcounted_type(po->_type)) return 0;
    return po->_unVal.pRefCounted->_uiRef;
}
void sq_resetobject(HSQOBJECT *po) {
    po->_type = OT_NULL;
    po->_unVal.raw = 0;
}
const SQChar *sq_objtostring(const HSQOBJECT *o) { return o->_type == OT_STRING ? _string(*o)->_val : nullptr; }
SQBool sq_objtobool(const HSQOBJECT *o) { return o->_type == OT_BOOL && _integer(*o) ? SQTrue : SQFalse; }
SQInteger sq_objtointeger(const HSQOBJECT *o) { return (o->_type & SQOBJECT_NUMERIC) ? tointeger(*o) : 0; }
SQFloat sq_objtofloat(const HSQOBJECT *o) { return (o->_type & SQOBJECT_NUMERIC) ? tofloat(*o) : 0; }
SQUserPointer sq_objtouserpointer(const HSQOBJECT *o) {
    return o->_type == OT_USERPOINTER ? _userpointer(*o) : nullptr;
}

// ------------------------------------------------------------ gc

SQInteger sq_collectgarbage(HSQUIRRELVM v) {
    try {
        return v->_sharedstate->CollectGarbage(v, nullptr);
    } catch (...) { return 0; }
}
SQRESULT sq_resurrectunreachable(HSQUIRRELVM v) {
    SQ_TRY
    SQObjectPtr res;
    v->_sharedstate->CollectGarbage(v, &res);
    v->Push(res);
    return SQ_OK;
    SQ_CATCH(v)
}

// ------------------------------------------------------------ memory

void *sq_malloc(SQUnsignedInteger size) { return malloc((size_t)size); }
void *sq_realloc(void *p, SQUnsignedInteger, SQUnsignedInteger newsize) { return realloc(p, (size_t)newsize); }
void sq_free(void *p, SQUnsignedInteger) { free(p); }

// ------------------------------------------------------------ debug

SQRESULT sq_stackinfos(HSQUIRRELVM v, SQInteger level, SQStackInfos *si) {
    SQCallInfo *ci = FrameAt(v, level);
    if (!ci) return SQ_ERROR;
    si->funcname = "unknown";
    si->source = "NATIVE";
    si->line = -1;
    if (ci->_closure._type == OT_CLOSURE) {
        SQFunctionProto *p = _closure(ci->_closure)->Proto();
        if (p->_name._type == OT_STRING) si->funcname = _string(p->_name)->_val;
        if (p->_sourcename._type == OT_STRING) si->source = _string(p->_sourcename)->_val;
        si->line = v->CurrentLine(*ci);
    } else if (ci->_closure._type == OT_NATIVECLOSURE) {
        SQNativeClosure *n = _nativeclosure(ci->_closure);
        if (n->_name._type == OT_STRING) si->funcname = _string(n->_name)->_val;
    }
    return SQ_OK;
}
void sq_setdebughook(HSQUIRRELVM v) {
    SQObjectPtr o = At(v, -1);
    if (o._type == OT_CLOSURE || o._type == OT_NATIVECLOSURE || o._type == OT_NULL) {
        SQSharedState *ss = v->_sharedstate;
        ss->_debughook_closure = o;
        ss->_debughook_native = nullptr;
        ss->_debughook = o._type != OT_NULL;
        ss->UpdateHooks();
        if (v->_top > v->_stackbase) SafePop(v, 1);
    }
}
void sq_setnativedebughook(HSQUIRRELVM v, SQDEBUGHOOK hook) {
    SQSharedState *ss = v->_sharedstate;
    ss->_debughook_native = hook;
    ss->_debughook_closure.Null();
    ss->_debughook = hook != nullptr;
    ss->UpdateHooks();
}
