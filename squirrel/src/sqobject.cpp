// Heap objects other than tables and classes: strings, weak references,
// arrays, userdata, closures, outers, generators and function prototypes.
#include "sqobject.h"

#include <cstdio>
#include <cstdlib>

#include "sqopcodes.h"
#include "sqstate.h"

const char *GetTypeName(SQObjectType t) {
    switch (_RAW_TYPE(t)) {
        case _RT_NULL: return "null";
        case _RT_INTEGER: return "integer";
        case _RT_FLOAT: return "float";
        case _RT_BOOL: return "bool";
        case _RT_STRING: return "string";
        case _RT_TABLE: return "table";
        case _RT_ARRAY: return "array";
        case _RT_GENERATOR: return "generator";
        case _RT_CLOSURE:
        case _RT_NATIVECLOSURE: return "function";
        case _RT_USERDATA: return "userdata";
        case _RT_USERPOINTER: return "userpointer";
        case _RT_THREAD: return "thread";
        case _RT_FUNCPROTO: return "function";
        case _RT_CLASS: return "class";
        case _RT_INSTANCE: return "instance";
        case _RT_WEAKREF: return "weakref";
        case _RT_OUTER: return "outer";
        default: return "unknown";
    }
}

// Decimal digits of v (v > 0) written backwards from end; returns the start.
static char *DigitsBackwards(char *end, unsigned long long v) {
    do {
        *--end = (char)('0' + v % 10);
        v /= 10;
    } while (v);
    return end;
}

SQInteger sq_formatinteger(SQInteger i, char *buf) {
    char tmp[24];
    unsigned long long u = i < 0 ? 0ull - (unsigned long long)i : (unsigned long long)i;
    char *p = DigitsBackwards(tmp + sizeof tmp, u);
    SQInteger n = 0;
    if (i < 0) buf[n++] = '-';
    while (p < tmp + sizeof tmp) buf[n++] = *p++;
    buf[n] = 0;
    return n;
}

// C's %g of a float. Most floats scripts print have a short exact decimal
// form (whole numbers, halves, quarters ...): those are written directly, the
// rest go through snprintf.
SQInteger sq_formatfloat(SQFloat f, char *buf, size_t bufsize) {
    double d = (double)f;
    double a = d < 0 ? -d : d;
    if (a >= 1e-4 && a < 1e6) {
        int intdigits = 1;
        for (double p = 10; p <= a; p *= 10) intdigits++;
        if (a < 1) intdigits = 0;
        // a * 10^k is exact for a float's 24 bits and k <= 10, so this finds the
        // exact decimal form with at most 6 significant digits, if there is one
        static const double kPow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
        int maxk = 6 - intdigits;
        if (a < 1) {
            int zeros = 0;  // leading zeros after the point
            for (double t = a * 10; t < 1; t *= 10) zeros++;
            maxk = zeros + 6;
        }
        for (int k = 0; k <= maxk && k <= 10; k++) {
            double v = a * kPow10[k];
            if (v != (double)(unsigned long long)v) continue;
            unsigned long long m = (unsigned long long)v;
            char tmp[40];
            char *end = tmp + sizeof tmp;
            char *p = DigitsBackwards(end, m);
            SQInteger n = 0;
            if (d < 0) buf[n++] = '-';
            SQInteger ndig = end - p;
            if (ndig <= k) {
                buf[n++] = '0';
                buf[n++] = '.';
                for (SQInteger z = ndig; z < k; z++) buf[n++] = '0';
                while (p < end) buf[n++] = *p++;
            } else {
                SQInteger whole = ndig - k;
                for (SQInteger w = 0; w < whole; w++) buf[n++] = *p++;
                if (k > 0) {
                    buf[n++] = '.';
                    while (p < end) buf[n++] = *p++;
                }
            }
            buf[n] = 0;
            return n;
        }
    }
    return snprintf(buf, bufsize, "%g", d);
}

void sq_formatnumber(const SQObject &o, char *buf, size_t bufsize) {
    if (o._type == OT_INTEGER)
        sq_formatinteger(o._unVal.nInteger, buf);
    else
        sq_formatfloat(o._unVal.fFloat, buf, bufsize);
}

// ------------------------------------------------------------ refcounting

namespace {
thread_local int t_releasedepth = 0;
thread_local std::vector<SQRefCounted *> *t_releasequeue = nullptr;
}  // namespace

void sq_releaseobject(SQRefCounted *r) {
    if (t_releasedepth >= 48) {
        if (!t_releasequeue) t_releasequeue = new std::vector<SQRefCounted *>();
        t_releasequeue->push_back(r);
        return;
    }
    t_releasedepth++;
    r->Release();
    if (t_releasedepth == 1 && t_releasequeue) {
        while (!t_releasequeue->empty()) {
            SQRefCounted *q = t_releasequeue->back();
            t_releasequeue->pop_back();
            q->Release();
        }
    }
    t_releasedepth--;
}

SQRefCounted::~SQRefCounted() {
    if (_weakref) {
        _weakref->_obj._type = OT_NULL;
        _weakref->_obj._unVal.raw = 0;
        if (_weakref->_uiRef == 0) delete _weakref;  // made but never handed out
        _weakref = nullptr;
    }
}

SQWeakRef *SQRefCounted::GetWeakRef(SQObjectType type) {
    if (!_weakref) {
        _weakref = new SQWeakRef();
        _weakref->_obj._type = type;
        _weakref->_obj._unVal.raw = 0;
        _weakref->_obj._unVal.pRefCounted = this;
    }
    return _weakref;
}

void SQWeakRef::Release() {
    if (_obj._type != OT_NULL) _obj._unVal.pRefCounted->_weakref = nullptr;
    delete this;
}

void sq_markobj(const SQObject &o, SQGCList &gray) {
    switch (_RAW_TYPE(o._type)) {
        case _RT_TABLE:
        case _RT_ARRAY:
        case _RT_USERDATA:
        case _RT_CLOSURE:
        case _RT_NATIVECLOSURE:
        case _RT_GENERATOR:
        case _RT_THREAD:
        case _RT_CLASS:
        case _RT_INSTANCE:
        case _RT_OUTER: {
            SQCollectable *c = static_cast<SQCollectable *>(o._unVal.pRefCounted);
            if (!c->_marked) {
                c->_marked = true;
                gray.push_back(c);
            }
            break;
        }
        default: break;
    }
}

void SQCollectable::Link(SQSharedState *ss, SQObjectType t) {
    _sharedstate = ss;
    _gctype = t;
    _gcprev = nullptr;
    _gcnext = ss->_gcchain;
    if (ss->_gcchain) ss->_gcchain->_gcprev = this;
    ss->_gcchain = this;
}

void SQCollectable::Unlink() {
    if (!_sharedstate) return;
    if (_gcprev)
        _gcprev->_gcnext = _gcnext;
    else if (_sharedstate->_gcchain == this)
        _sharedstate->_gcchain = _gcnext;
    if (_gcnext) _gcnext->_gcprev = _gcprev;
    _gcnext = _gcprev = nullptr;
    _sharedstate = nullptr;
}

SQCollectable::~SQCollectable() { Unlink(); }

// ------------------------------------------------------------ strings

SQString *SQString::Create(SQSharedState *ss, const char *s, SQInteger len) {
    if (len < 0) len = (SQInteger)strlen(s);
    return ss->_stringtable.Add(ss, s, len);
}

void SQString::Release() { _ss->_stringtable.Remove(this); }

// ------------------------------------------------------------ delegable

bool SQDelegable::SetDelegate(SQTable *t) {
    // refuse delegate chains that loop back on themselves
    for (SQTable *d = t; d; d = d->_delegate)
        if (d == static_cast<SQDelegable *>(this)) return false;
    if (t) t->_uiRef++;
    SQTable *old = _delegate;
    _delegate = t;
    if (_gctype == OT_TABLE && _sharedstate) static_cast<SQTable *>(this)->NewShape(_sharedstate);
    if (old && --old->_uiRef == 0) old->Release();
    return true;
}

SQDelegable::~SQDelegable() {
    SQTable *d = _delegate;
    _delegate = nullptr;
    if (d && --d->_uiRef == 0) d->Release();
}

// ------------------------------------------------------------ arrays

void SQArray::CheckSize(SQInteger n) const {
    if (n > _sharedstate->_maxarraysize) throw SQArrayTooLarge();
}
SQArray *SQArray::Create(SQSharedState *ss, SQInteger size) {
    if (size > ss->_maxarraysize) throw SQArrayTooLarge();
    SQBuildGuard<SQArray> a(new SQArray());
    if (size > 0) {
        ss->ChargeWork(size);
        a.p->_values.resize((size_t)size);
    }
    a.p->Link(ss, OT_ARRAY);
    return a.done();
}
void SQArray::Release() { delete this; }
void SQArray::Finalize() { _values.clear(); }
void SQArray::Mark(SQGCList &gray) {
    for (auto &v : _values) sq_markobj(v, gray);
}
SQArray *SQArray::Clone() {
    SQBuildGuard<SQArray> a(Create(_sharedstate, 0));
    a.p->_values = _values;
    return a.done();
}

// ------------------------------------------------------------ userdata

SQUserData *SQUserData::Create(SQSharedState *ss, SQInteger size) {
    void *mem = sq_alloc(sizeof(SQUserData) + (size_t)size);
    SQUserData *ud = new (mem) SQUserData();
    ud->_size = size;
    memset(ud->_data, 0, (size_t)size + 1);
    ud->Link(ss, OT_USERDATA);
    return ud;
}
void SQUserData::Release() {
    if (_hook) {
        SQRELEASEHOOK h = _hook;
        _hook = nullptr;
        _uiRef++;  // keep alive while the hook runs
        h((SQUserPointer)_data, _size);
        _uiRef--;
    }
    this->~SQUserData();
    sq_dealloc((void *)this);
}
void SQUserData::Finalize() { SetDelegate(nullptr); }
void SQUserData::Mark(SQGCList &gray) {
    if (_delegate) sq_markobj(SQObjectPtr(OT_TABLE, (SQRefCounted *)_delegate), gray);
}

// ------------------------------------------------------------ outers

SQOuter *SQOuter::Create(SQSharedState *ss, SQObjectPtr *slot) {
    SQOuter *o = new SQOuter();
    o->_valptr = slot;
    o->Link(ss, OT_OUTER);
    return o;
}
void SQOuter::Release() {
    if (_gen) {
        auto &v = _gen->_outers;
        for (size_t i = 0; i < v.size(); i++)
            if (v[i] == this) {
                v.erase(v.begin() + (std::ptrdiff_t)i);
                break;
            }
        _gen = nullptr;
    }
    if (_vm) {
        // still open: unlink from the vm's open list
        extern void sq_unlink_open_outer(SQOuter * o);
        sq_unlink_open_outer(this);
    }
    delete this;
}
void SQOuter::Finalize() { _value.Null(); }
void SQOuter::Mark(SQGCList &gray) { sq_markobj(*_valptr, gray); }

// ------------------------------------------------------------ closures

SQClosure *SQClosure::Create(SQSharedState *ss, SQFunctionProto *func, SQWeakRef *root) {
    // one block: the closure, then its outer values, then its default parameters
    static_assert(sizeof(SQClosure) % alignof(SQObjectPtr) == 0, "the values follow the closure aligned");
    size_t nouters = func->_outervalues.size(), ndefaults = (size_t)func->_ndefaultparams;
    void *block = sq_alloc(sizeof(SQClosure) + (nouters + ndefaults) * sizeof(SQObjectPtr));
    SQBuildGuard<SQClosure> c(new (block) SQClosure());
    SQObjectPtr *values = reinterpret_cast<SQObjectPtr *>(c.p + 1);
    for (size_t i = 0; i < nouters + ndefaults; i++) new (values + i) SQObjectPtr();
    c.p->_outervalues = {values, nouters};
    c.p->_defaultparams = {values + nouters, ndefaults};
    c.p->_function = SQObjectPtr(OT_FUNCPROTO, func);
    c.p->SetRoot(root);
    c.p->Link(ss, OT_CLOSURE);
    return c.done();
}
static void SetWeak(SQWeakRef *&slot, SQWeakRef *w) {
    if (w) w->_uiRef++;
    SQWeakRef *old = slot;
    slot = w;
    if (old && --old->_uiRef == 0) old->Release();
}
void SQClosure::SetEnv(SQWeakRef *w) { SetWeak(_env, w); }
void SQClosure::SetRoot(SQWeakRef *w) { SetWeak(_root, w); }
void SQClosure::SetBase(SQClass *c) {
    if (c) c->_uiRef++;
    SQClass *old = _base;
    _base = c;
    if (old && --old->_uiRef == 0) old->Release();
}
SQClosure *SQClosure::Clone() {
    SQBuildGuard<SQClosure> c(Create(_sharedstate, Proto(), _root));
    // a finalized closure has no values left to copy
    for (size_t i = 0; i < _outervalues.size() && i < c.p->_outervalues.size(); i++)
        c.p->_outervalues[i] = _outervalues[i];
    for (size_t i = 0; i < _defaultparams.size() && i < c.p->_defaultparams.size(); i++)
        c.p->_defaultparams[i] = _defaultparams[i];
    c.p->SetEnv(_env);
    c.p->SetBase(_base);
    return c.done();
}
SQClosure::~SQClosure() {
    _outervalues.clear();
    _defaultparams.clear();
    SetEnv(nullptr);
    SetRoot(nullptr);
    SetBase(nullptr);
}
void SQClosure::Release() { delete this; }
void SQClosure::Finalize() {
    _outervalues.clear();
    _defaultparams.clear();
    SetBase(nullptr);
}
void SQClosure::Mark(SQGCList &gray) {
    for (auto &o : _outervalues) sq_markobj(o, gray);
    for (auto &o : _defaultparams) sq_markobj(o, gray);
    if (_base) sq_markobj(SQObjectPtr(OT_CLASS, (SQRefCounted *)_base), gray);
    // literals of the prototype may hold collectables (constant tables)
    SQFunctionProto *p = Proto();
    for (auto &l : p->_literals) sq_markobj(l, gray);
}

SQNativeClosure *SQNativeClosure::Create(SQSharedState *ss, SQFUNCTION f, SQInteger nouters) {
    SQBuildGuard<SQNativeClosure> c(new SQNativeClosure());
    c.p->_function = f;
    c.p->_outervalues.resize((size_t)nouters);
    c.p->Link(ss, OT_NATIVECLOSURE);
    return c.done();
}
void SQNativeClosure::SetEnv(SQWeakRef *w) { SetWeak(_env, w); }
SQNativeClosure *SQNativeClosure::Clone() {
    SQBuildGuard<SQNativeClosure> c(Create(_sharedstate, _function, 0));
    c.p->_fast = _fast;
    c.p->_outervalues = _outervalues;
    c.p->_typecheck = _typecheck;
    c.p->_nparamscheck = _nparamscheck;
    c.p->_name = _name;
    c.p->SetEnv(_env);
    return c.done();
}
SQNativeClosure::~SQNativeClosure() { SetEnv(nullptr); }
void SQNativeClosure::Release() { delete this; }
void SQNativeClosure::Finalize() { _outervalues.clear(); }
void SQNativeClosure::Mark(SQGCList &gray) {
    for (auto &o : _outervalues) sq_markobj(o, gray);
}

// ------------------------------------------------------------ generators

SQGenerator *SQGenerator::Create(SQSharedState *ss, SQClosure *closure) {
    SQGenerator *g = new SQGenerator();
    g->_closure = SQObjectPtr(OT_CLOSURE, closure);
    g->Link(ss, OT_GENERATOR);
    return g;
}
void SQGenerator::CloseOuters() {
    for (SQOuter *o : _outers) {
        o->_value = *o->_valptr;
        o->_valptr = &o->_value;
        o->_gen = nullptr;
    }
    _outers.clear();
}
SQGenerator::~SQGenerator() { CloseOuters(); }
void SQGenerator::Release() { delete this; }
void SQGenerator::Finalize() {
    CloseOuters();
    _stack.clear();
    _closure.Null();
    _state = eDead;
}
void SQGenerator::Mark(SQGCList &gray) {
    sq_markobj(_closure, gray);
    for (auto &o : _stack) sq_markobj(o, gray);
}

// ------------------------------------------------------------ function protos

void SQFunctionProto::Release() { delete this; }

SQInteger SQFunctionProto::GetLine(SQInteger op) const {
    SQInteger line = 0;
    for (const auto &li : _lineinfos) {
        if (li._op > op) break;
        line = li._line;
    }
    if (line == 0 && !_lineinfos.empty()) line = _lineinfos[0]._line;
    return line;
}

// The seq-th local alive at op, counting from the highest register down (the
// latest declared first, `this` last). A local is alive from the end of its
// declaration to the end of its scope.
const SQChar *SQFunctionProto::GetLocal(SQUnsignedInteger op, SQUnsignedInteger seq, SQUnsignedInteger &reg) const {
    const SQLocalVarInfo *pick = nullptr;
    SQUnsignedInteger below = ~(SQUnsignedInteger)0;  // registers above this were counted
    for (SQUnsignedInteger n = 0; n <= seq; n++) {
        pick = nullptr;
        for (const auto &lv : _localvarinfos) {
            if (lv._start_op <= op && op < lv._end_op && lv._pos < below && (!pick || lv._pos > pick->_pos)) pick = &lv;
        }
        if (!pick) return nullptr;
        below = pick->_pos;
    }
    reg = pick->_pos;
    return _string(pick->_name)->_val;
}
