// Built-in global functions and the default delegates of every type.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "sqvm.h"

namespace {

SQObjectPtr &Arg(HSQUIRRELVM v, SQInteger idx) { return v->StackAt(idx); }
SQInteger NArgs(HSQUIRRELVM v) { return v->_top - v->_stackbase; }

void Reg(SQSharedState *ss, SQTable *t, const char *name, SQFUNCTION f, SQInteger nparams, const char *mask,
         SQFASTFUNCTION fast = nullptr) {
    SQNativeClosure *nc = SQNativeClosure::Create(ss, f, 0);
    SQObjectPtr c(OT_NATIVECLOSURE, nc);
    nc->_fast = fast;
    nc->_nparamscheck = nparams;
    nc->_name = ss->MakeString(name);
    if (mask) sq_typecheck_parse(mask, nc->_typecheck);
    t->NewSlot(ss->MakeString(name), c);
}

SQInteger Ret(HSQUIRRELVM v, const SQObjectPtr &o) {
    v->Push(o);
    return 1;
}

// One call of a script callback from a library function: fn(self, args...).
// An error inside is not reported there; it comes out of the library function
// into the calling script frame.
bool CallBack(HSQUIRRELVM v, const SQObjectPtr &fn, const SQObjectPtr &self, SQObjectPtr &res, int n,
              const SQObjectPtr *args) {
    SQInteger base = v->_top;
    v->EnsureStack(base + n + 1);
    v->_stack[base] = self;
    for (int i = 0; i < n; i++) v->_stack[base + 1 + i] = args[i];
    v->_top = base + n + 1;
    bool ok = v->CallCallback(fn, n + 1, base, res);
    v->ClearSlots(base, v->_top);
    v->_top = base;
    return ok;
}

// ------------------------------------------------------------ globals

SQInteger base_print(HSQUIRRELVM v) {
    SQObjectPtr s;
    v->ToString(Arg(v, 2), s);
    if (v->_sharedstate->_printfunc) v->_sharedstate->_printfunc(v, "%s", _string(s)->_val);
    return 0;
}
SQInteger base_error(HSQUIRRELVM v) {
    SQObjectPtr s;
    v->ToString(Arg(v, 2), s);
    if (v->_sharedstate->_errorfunc) v->_sharedstate->_errorfunc(v, "%s", _string(s)->_val);
    return 0;
}
SQInteger base_seterrorhandler(HSQUIRRELVM v) {
    v->_sharedstate->_errorhandler = Arg(v, 2);
    return 0;
}
SQInteger base_setdebughook(HSQUIRRELVM v) {
    sq_push(v, 2);
    sq_setdebughook(v);
    return 0;
}
SQInteger base_enabledebuginfo(HSQUIRRELVM v) {
    v->_sharedstate->_debuginfo = !IsFalse(Arg(v, 2)) && Arg(v, 2)._type != OT_NULL;
    return 0;
}
SQInteger base_getroottable(HSQUIRRELVM v) { return Ret(v, v->_roottable); }
SQInteger base_setroottable(HSQUIRRELVM v) {
    SQObjectPtr old = v->_roottable;
    if (Arg(v, 2)._type != OT_TABLE) return sq_throwerror(v, "ivalid type, expected table");
    v->_roottable = Arg(v, 2);
    return Ret(v, old);
}
SQInteger base_getconsttable(HSQUIRRELVM v) { return Ret(v, v->_sharedstate->_consts); }
SQInteger base_setconsttable(HSQUIRRELVM v) {
    SQObjectPtr old = v->_sharedstate->_consts;
    if (Arg(v, 2)._type != OT_TABLE) return sq_throwerror(v, "ivalid type, expected table");
    v->_sharedstate->_consts = Arg(v, 2);
    return Ret(v, old);
}
SQInteger base_assert(HSQUIRRELVM v) {
    if (IsFalse(Arg(v, 2))) {
        if (NArgs(v) > 2 && Arg(v, 3)._type == OT_STRING) return sq_throwerror(v, _string(Arg(v, 3))->_val);
        if (NArgs(v) > 2) {
            v->_lasterror = Arg(v, 3);
            return SQ_ERROR;
        }
        return sq_throwerror(v, "assertion failed");
    }
    return 0;
}
SQInteger base_compilestring(HSQUIRRELVM v) {
    const char *name = NArgs(v) > 2 && Arg(v, 3)._type == OT_STRING ? _string(Arg(v, 3))->_val : "unnamedbuffer";
    SQString *src = _string(Arg(v, 2));
    if (SQ_FAILED(sq_compilebuffer(v, src->_val, src->_len, name, SQFalse))) return SQ_ERROR;
    return 1;
}
SQInteger base_collectgarbage(HSQUIRRELVM v) { return Ret(v, SQObjectPtr(sq_collectgarbage(v))); }
SQInteger base_resurrectunreachable(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_resurrectunreachable(v))) return SQ_ERROR;
    return 1;
}
SQInteger base_type(HSQUIRRELVM v) { return Ret(v, v->MakeString(GetTypeName(Arg(v, 2)))); }
SQInteger base_callee(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_getcallee(v))) return SQ_ERROR;
    return 1;
}

SQInteger StackInfos(HSQUIRRELVM v, HSQUIRRELVM target, SQInteger level) {
    SQStackInfos si;
    if (SQ_FAILED(sq_stackinfos(target, level, &si))) {
        v->PushNull();
        return 1;
    }
    SQSharedState *ss = v->_sharedstate;
    SQTable *t = SQTable::Create(ss, 4);
    SQObjectPtr res(OT_TABLE, t);
    t->NewSlot(ss->MakeString("func"), ss->MakeString(si.funcname));
    t->NewSlot(ss->MakeString("src"), ss->MakeString(si.source));
    t->NewSlot(ss->MakeString("line"), SQObjectPtr(si.line));
    SQTable *locals = SQTable::Create(ss, 0);
    SQObjectPtr lobj(OT_TABLE, locals);
    for (SQUnsignedInteger seq = 0;; seq++) {
        const char *name = sq_getlocal(target, (SQUnsignedInteger)level, seq);
        if (!name) break;
        SQObjectPtr val = target->Top();
        target->Pop();
        if (name[0] != '@') locals->NewSlot(ss->MakeString(name), val);
    }
    t->NewSlot(ss->MakeString("locals"), lobj);
    return Ret(v, res);
}
SQInteger base_getstackinfos(HSQUIRRELVM v) { return StackInfos(v, v, tointeger(Arg(v, 2))); }

SQInteger base_newthread(HSQUIRRELVM v) {
    SQObjectPtr fn = Arg(v, 2);
    HSQUIRRELVM t = sq_newthread(v, 64);
    if (!t) return sq_throwerror(v, "out of memory");
    t->Push(fn);
    return 1;
}
SQInteger base_suspend(HSQUIRRELVM v) { return sq_suspendvm(v); }
SQInteger base_array(HSQUIRRELVM v) {
    SQInteger n = tointeger(Arg(v, 2));
    if (n < 0) return sq_throwerror(v, "array size must be non-negative");
    if (n > v->_sharedstate->_maxarraysize) return sq_throwerror(v, "array too large");
    SQArray *a = SQArray::Create(v->_sharedstate, 0);
    SQObjectPtr res(OT_ARRAY, a);
    SQObjectPtr fill;
    if (NArgs(v) > 2) fill = Arg(v, 3);
    a->_values.assign((size_t)n, fill);
    return Ret(v, res);
}

// ------------------------------------------------------------ numbers

// shortcuts of the pure built-ins (see SQFASTFUNCTION)
bool fast_tointeger(const SQObject *a, SQInteger n, SQObject &res) {
    if (n != 1) return false;
    switch (a[0]._type) {
        case OT_INTEGER:
        case OT_BOOL: res = SQObjectPtr(_integer(a[0])); return true;
        case OT_FLOAT: res = SQObjectPtr(FloatToInt(_float(a[0]))); return true;
        default: return false;
    }
}
bool fast_tofloat(const SQObject *a, SQInteger n, SQObject &res) {
    if (n != 1) return false;
    switch (a[0]._type) {
        case OT_INTEGER:
        case OT_BOOL: res = SQObjectPtr((SQFloat)_integer(a[0])); return true;
        case OT_FLOAT: res = SQObjectPtr(_float(a[0])); return true;
        default: return false;
    }
}
bool fast_len(const SQObject *a, SQInteger n, SQObject &res) {
    if (n != 1) return false;
    switch (a[0]._type) {
        case OT_STRING: res = SQObjectPtr(_string(a[0])->_len); return true;
        case OT_ARRAY: res = SQObjectPtr(_array(a[0])->Size()); return true;
        case OT_TABLE: res = SQObjectPtr(_table(a[0])->CountUsed()); return true;
        default: return false;
    }
}

SQInteger num_tofloat(HSQUIRRELVM v) {
    const SQObject &o = Arg(v, 1);
    return Ret(v, SQObjectPtr(o._type == OT_BOOL ? (SQFloat)_integer(o) : tofloat(o)));
}
SQInteger num_tointeger(HSQUIRRELVM v) { return Ret(v, SQObjectPtr(tointeger(Arg(v, 1)))); }
SQInteger num_tostring(HSQUIRRELVM v) {
    SQObjectPtr s;
    v->ToString(Arg(v, 1), s);
    return Ret(v, s);
}
SQInteger num_tochar(HSQUIRRELVM v) {
    char c = (char)tointeger(Arg(v, 1));
    return Ret(v, v->MakeString(&c, 1));
}
SQInteger obj_weakref(HSQUIRRELVM v) {
    sq_weakref(v, 1);
    return 1;
}
SQInteger obj_tostring(HSQUIRRELVM v) {
    SQObjectPtr s;
    v->ToString(Arg(v, 1), s);
    return Ret(v, s);
}

// ------------------------------------------------------------ strings

SQInteger str_len(HSQUIRRELVM v) { return Ret(v, SQObjectPtr(_string(Arg(v, 1))->_len)); }
// A string reads as a float when it has a '.' or, where 'e' is no digit of the
// base (base 14 and below), an 'e'. Floats are read with strtod, anything else
// with strtoll in the given base; trailing text is ignored either way.
bool FloatLooking(const SQString *s, SQInteger base) {
    for (SQInteger i = 0; i < s->_len; i++) {
        char c = s->_val[i];
        if (c == '.') return true;
        if ((c == 'e' || c == 'E') && base <= 14) return true;
    }
    return false;
}
// the integer reading; false when no digit converts. A base outside 0 and 2..36 reads as 0.
bool StringToInteger(const SQString *s, SQInteger base, SQInteger &out) {
    if (base != 0 && (base < 2 || base > 36)) {
        out = 0;
        return true;
    }
    char *end;
    errno = 0;
    long long r = strtoll(s->_val, &end, (int)base);
    if (end == s->_val) return false;
    out = (SQInteger)r;
    return true;
}
bool StringToFloat(const SQString *s, SQFloat &out) {
    char *end;
    double d = strtod(s->_val, &end);
    if (end == s->_val) return false;
    out = (SQFloat)d;
    return true;
}
SQInteger str_tointeger(HSQUIRRELVM v) {
    SQString *s = _string(Arg(v, 1));
    SQInteger base = NArgs(v) > 1 ? tointeger(Arg(v, 2)) : 10;
    if (FloatLooking(s, base)) {
        SQFloat f;
        if (!StringToFloat(s, f)) return sq_throwerror(v, "cannot convert the string");
        return Ret(v, SQObjectPtr(FloatToInt(f)));
    }
    SQInteger r;
    if (!StringToInteger(s, base, r)) return sq_throwerror(v, "cannot convert the string");
    return Ret(v, SQObjectPtr(r));
}
SQInteger str_tofloat(HSQUIRRELVM v) {
    SQString *s = _string(Arg(v, 1));
    SQFloat f;
    if (FloatLooking(s, 10)) {
        if (!StringToFloat(s, f)) return sq_throwerror(v, "cannot convert the string");
    } else {
        SQInteger r;
        if (!StringToInteger(s, 10, r)) return sq_throwerror(v, "cannot convert the string");
        f = (SQFloat)r;
    }
    return Ret(v, SQObjectPtr(f));
}
// [start, end) from the optional arguments at stack 2 and 3, negative values
// counting from the end; raises on a bad range
SQInteger SliceArgs(HSQUIRRELVM v, SQInteger len, SQInteger &start, SQInteger &end) {
    start = NArgs(v) > 1 ? tointeger(Arg(v, 2)) : 0;
    end = NArgs(v) > 2 ? tointeger(Arg(v, 3)) : len;
    if (start < 0) start += len;
    if (end < 0) end += len;
    if (start < 0 || end > len) return sq_throwerror(v, "slice out of range");
    if (start > end) return sq_throwerror(v, "wrong indexes");
    return SQ_OK;
}
SQInteger str_slice(HSQUIRRELVM v) {
    SQString *s = _string(Arg(v, 1));
    SQInteger a, b;
    if (SQ_FAILED(SliceArgs(v, s->_len, a, b))) return SQ_ERROR;
    return Ret(v, v->MakeString(s->_val + a, b - a));
}
SQInteger str_find(HSQUIRRELVM v) {
    SQString *s = _string(Arg(v, 1));
    SQString *sub = _string(Arg(v, 2));
    SQInteger start = NArgs(v) > 2 ? tointeger(Arg(v, 3)) : 0;
    if (start < 0 || start > s->_len) return Ret(v, SQObjectPtr());
    std::string_view hay(s->_val, (size_t)s->_len), needle(sub->_val, (size_t)sub->_len);
    size_t pos = hay.find(needle, (size_t)start);
    if (pos == std::string_view::npos) return Ret(v, SQObjectPtr());
    return Ret(v, SQObjectPtr((SQInteger)pos));
}
// converts [start, end) (slice rules), leaving the rest as it is
SQInteger str_case(HSQUIRRELVM v, bool upper) {
    SQString *s = _string(Arg(v, 1));
    SQInteger a, b;
    if (SQ_FAILED(SliceArgs(v, s->_len, a, b))) return SQ_ERROR;
    std::string r(s->_val, (size_t)s->_len);
    for (SQInteger i = a; i < b; i++) {
        unsigned char c = (unsigned char)r[(size_t)i];
        r[(size_t)i] = (char)(upper ? toupper(c) : tolower(c));
    }
    return Ret(v, v->MakeString(r.data(), (SQInteger)r.size()));
}
SQInteger str_tolower(HSQUIRRELVM v) { return str_case(v, false); }
SQInteger str_toupper(HSQUIRRELVM v) { return str_case(v, true); }

// ------------------------------------------------------------ tables

SQInteger tab_len(HSQUIRRELVM v) { return Ret(v, SQObjectPtr(sq_getsize(v, 1))); }
SQInteger obj_rawget(HSQUIRRELVM v) {
    SQObjectPtr res;
    if (!v->Get(Arg(v, 1), Arg(v, 2), res, SQVM::GET_RAW | SQVM::GET_NO_THROW))
        return sq_throwerror(v, "the index doesn't exist");
    return Ret(v, res);
}
SQInteger obj_rawset(HSQUIRRELVM v) {
    sq_push(v, 2);
    sq_push(v, 3);
    if (SQ_FAILED(sq_rawset(v, 1))) return SQ_ERROR;
    sq_push(v, 1);
    return 1;
}
SQInteger obj_rawin(HSQUIRRELVM v) {
    SQObjectPtr res;
    return Ret(v, SQObjectPtr(v->Get(Arg(v, 1), Arg(v, 2), res, SQVM::GET_RAW | SQVM::GET_NO_THROW)));
}
SQInteger tab_rawdelete(HSQUIRRELVM v) {
    sq_push(v, 2);
    if (SQ_FAILED(sq_rawdeleteslot(v, 1, SQTrue))) return SQ_ERROR;
    return 1;
}
SQInteger tab_clear(HSQUIRRELVM v) {
    sq_clear(v, 1);
    sq_push(v, 1);
    return 1;
}
SQInteger tab_setdelegate(HSQUIRRELVM v) {
    sq_push(v, 2);
    if (SQ_FAILED(sq_setdelegate(v, 1))) return SQ_ERROR;
    sq_push(v, 1);
    return 1;
}
SQInteger tab_getdelegate(HSQUIRRELVM v) { return SQ_SUCCEEDED(sq_getdelegate(v, 1)) ? 1 : SQ_ERROR; }
// filter keeps the slots for which fn(key, value) is true, map collects
// fn(key, value) into an array; both call fn with the table as this
SQInteger tab_filter_map(HSQUIRRELVM v, bool map) {
    SQObjectPtr self = Arg(v, 1), fn = Arg(v, 2);
    SQTable *src = _table(self);
    SQObjectPtr res;
    if (map)
        res = SQObjectPtr(OT_ARRAY, SQArray::Create(v->_sharedstate, 0));
    else
        res = SQObjectPtr(OT_TABLE, SQTable::Create(v->_sharedstate, 0));
    v->Push(res);  // on the stack the collector sees it while callbacks run
    SQObjectPtr key, val;
    for (SQInteger idx = 0;; idx++) {
        idx = src->Next(idx, key, val);
        if (idx < 0) break;
        SQObjectPtr args[2] = {key, val}, r;
        if (!CallBack(v, fn, self, r, 2, args)) return SQ_ERROR;
        if (map)
            _array(res)->Append(r);
        else if (!IsFalse(r))
            _table(res)->NewSlot(key, val);
    }
    return 1;
}
SQInteger tab_filter(HSQUIRRELVM v) { return tab_filter_map(v, false); }
SQInteger tab_map(HSQUIRRELVM v) { return tab_filter_map(v, true); }
SQInteger tab_keysvalues(HSQUIRRELVM v, bool keys) {
    SQTable *src = _table(Arg(v, 1));
    SQArray *a = SQArray::Create(v->_sharedstate, 0);
    SQObjectPtr res(OT_ARRAY, a);
    SQObjectPtr key, val;
    for (SQInteger idx = 0;; idx++) {
        idx = src->Next(idx, key, val);
        if (idx < 0) break;
        a->Append(keys ? key : val);
    }
    return Ret(v, res);
}
SQInteger tab_keys(HSQUIRRELVM v) { return tab_keysvalues(v, true); }
SQInteger tab_values(HSQUIRRELVM v) { return tab_keysvalues(v, false); }

// ------------------------------------------------------------ arrays

SQArray *Arr(HSQUIRRELVM v) { return _array(Arg(v, 1)); }
SQInteger arr_len(HSQUIRRELVM v) { return Ret(v, SQObjectPtr(Arr(v)->Size())); }
SQInteger arr_append(HSQUIRRELVM v) {
    Arr(v)->Append(Arg(v, 2));
    sq_push(v, 1);
    return 1;
}
SQInteger arr_extend(HSQUIRRELVM v) {
    SQArray *a = Arr(v), *b = _array(Arg(v, 2));
    a->CheckSize(a->Size() + b->Size());
    sqvector<SQObjectPtr> copy = b->_values;
    for (auto &o : copy) a->_values.push_back(o);
    sq_push(v, 1);
    return 1;
}
SQInteger arr_pop(HSQUIRRELVM v) {
    SQArray *a = Arr(v);
    if (a->_values.empty()) return sq_throwerror(v, "empty array");
    SQObjectPtr last = a->_values.back();
    a->_values.pop_back();
    return Ret(v, last);
}
SQInteger arr_top(HSQUIRRELVM v) {
    SQArray *a = Arr(v);
    if (a->_values.empty()) return sq_throwerror(v, "top() on a empty array");
    return Ret(v, a->_values.back());
}
SQInteger arr_insert(HSQUIRRELVM v) {
    SQArray *a = Arr(v);
    SQInteger idx = tointeger(Arg(v, 2));
    if (idx < 0 || idx > a->Size()) return sq_throwerror(v, "index out of range");
    a->CheckSize(a->Size() + 1);
    v->_sharedstate->ChargeWork(a->Size() - idx);  // the slots moved up
    a->_values.insert(a->_values.begin() + idx, Arg(v, 3));
    sq_push(v, 1);
    return 1;
}
SQInteger arr_remove(HSQUIRRELVM v) {
    SQArray *a = Arr(v);
    SQInteger idx = tointeger(Arg(v, 2));
    if (idx < 0 || idx >= a->Size()) return sq_throwerror(v, "idx out of range");
    SQObjectPtr val = a->_values[(size_t)idx];
    v->_sharedstate->ChargeWork(a->Size() - idx);  // the slots moved down
    a->_values.erase(a->_values.begin() + idx);
    return Ret(v, val);
}
SQInteger arr_resize(HSQUIRRELVM v) {
    SQArray *a = Arr(v);
    SQInteger n = tointeger(Arg(v, 2));
    if (n < 0) return sq_throwerror(v, "resizing to negative length");
    if (n > v->_sharedstate->_maxarraysize) return sq_throwerror(v, "array too large");
    SQObjectPtr fill;
    if (NArgs(v) > 2) fill = Arg(v, 3);
    v->_sharedstate->ChargeWork(n > a->Size() ? n - a->Size() : a->Size() - n);
    a->_values.resize((size_t)n, fill);
    sq_push(v, 1);
    return 1;
}
// a compare function's result as an order
SQInteger SortResult(HSQUIRRELVM v, SQObjectPtr r) {
    if (r._type != OT_INTEGER && r._type != OT_FLOAT && r._type != OT_BOOL)
        v->Raise("numeric value expected as return value of the compare function");
    return tointeger(r);
}
// comparison used by sort: the script function or the language order
SQInteger SortCompare(HSQUIRRELVM v, const SQObjectPtr &fn, const SQObject &a, const SQObject &b) {
    if (fn._type == OT_NULL) {
        if ((a._type & SQOBJECT_NUMERIC) && (b._type & SQOBJECT_NUMERIC)) return NumCmp(a, b);
        SQObjectPtr x(a), y(b);  // _cmp may run script code
        return v->ObjCmp(x, y);
    }
    SQInteger base = v->_top;
    v->EnsureStack(base + 3);
    // nothing above the top holds a reference: the slots are written over as they are
    SQObject *args = v->_stack + base;
    args[0] = v->_roottable;
    args[1] = a;
    args[2] = b;
    sq_objaddref(args[0]);
    sq_objaddref(args[1]);
    sq_objaddref(args[2]);
    v->_top = base + 3;
    if (!v->CanCallDirect(fn, 3, base)) {
        SQObjectPtr r;
        bool ok = v->CallCallback(fn, 3, base, r);
        v->ClearSlots(base, base + 3);
        v->_top = base;
        if (!ok) v->RaiseLast();
        return SortResult(v, r);
    }
    // the comparator's return clears its window, arguments included
    bool ok = v->CallDirect(_closure(fn), base);
    v->_top = base;
    if (!ok) {
        v->ClearSlots(base, base + 3);
        v->RaiseLast();
    }
    SQObject &res = v->_retval;
    if (res._type == OT_INTEGER) {
        SQInteger c = _integer(res);
        res._type = OT_NULL;
        res._unVal.raw = 0;
        return c;
    }
    return SortResult(v, std::move(v->_retval));
}
// Heap sort with children at 2i and 2i+1 (the root's "children" are itself and
// node 1). Not stable: the order of equal elements and the sequence of compare
// calls are part of what scripts observe.
void SiftDown(HSQUIRRELVM v, const SQObjectPtr &fn, SQArray *arr, SQInteger size, SQInteger root, SQInteger bottom) {
    auto &a = arr->_values;
    while (root * 2 <= bottom) {
        SQInteger child = root * 2;
        // the next step reads the children of child: start fetching them while
        // this one compares (a large array misses the cache at every level)
        if (root * 4 + 3 <= bottom) {
            __builtin_prefetch(a.data() + root * 4);
            __builtin_prefetch(a.data() + root * 4 + 3);
        }
        if (child != bottom) {
            if (SortCompare(v, fn, a[(size_t)child], a[(size_t)child + 1]) <= 0) child++;
            if (arr->Size() != size) v->Raise("array resized while sorting");
        }
        SQInteger cmp = SortCompare(v, fn, a[(size_t)root], a[(size_t)child]);
        if (arr->Size() != size) v->Raise("array resized while sorting");
        if (cmp >= 0) return;
        if (root == child) v->Raise("inconsistent compare function");
        std::swap(a[(size_t)root], a[(size_t)child]);
        root = child;
    }
}
// The language order over an array of only integers, or only floats with no
// NaN and no zero, is a strict order in which equal elements cannot be told
// apart: any sort gives what the heap sort gives. False (nothing done) for
// other arrays.
bool SortPlainNumbers(SQArray *arr) {
    auto &a = arr->_values;
    SQObjectType t = a[0]._type;
    if (t != OT_INTEGER && t != OT_FLOAT) return false;
    for (const SQObjectPtr &o : a) {
        if (o._type != t) return false;
        if (t == OT_FLOAT && (std::isnan(_float(o)) || _float(o) == 0.0f)) return false;
    }
    if (t == OT_INTEGER) {
        std::vector<SQInteger> keys(a.size());
        for (size_t i = 0; i < a.size(); i++) keys[i] = _integer(a[i]);
        std::sort(keys.begin(), keys.end());
        for (size_t i = 0; i < a.size(); i++) a[i]._unVal.nInteger = keys[i];
    } else {
        std::vector<SQFloat> keys(a.size());
        for (size_t i = 0; i < a.size(); i++) keys[i] = _float(a[i]);
        std::sort(keys.begin(), keys.end());
        for (size_t i = 0; i < a.size(); i++) a[i]._unVal.fFloat = keys[i];
    }
    return true;
}
SQInteger arr_sort(HSQUIRRELVM v) {
    SQObjectPtr self = Arg(v, 1), fn;
    if (NArgs(v) > 1) fn = Arg(v, 2);
    SQArray *arr = _array(self);
    SQInteger n = arr->Size();
    if (n > 1 && fn._type == OT_NULL && SortPlainNumbers(arr)) {
        sq_push(v, 1);
        return 1;
    }
    if (n > 1) {
        for (SQInteger i = n / 2; i >= 0; i--) SiftDown(v, fn, arr, n, i, n - 1);
        for (SQInteger i = n - 1; i >= 1; i--) {
            std::swap(arr->_values[0], arr->_values[(size_t)i]);
            SiftDown(v, fn, arr, n, 0, i - 1);
        }
    }
    sq_push(v, 1);
    return 1;
}
SQInteger arr_reverse(HSQUIRRELVM v) {
    sq_arrayreverse(v, 1);
    sq_push(v, 1);
    return 1;
}
SQInteger arr_slice(HSQUIRRELVM v) {
    SQArray *a = Arr(v);
    SQInteger s, e;
    if (SQ_FAILED(SliceArgs(v, a->Size(), s, e))) return SQ_ERROR;
    SQArray *r = SQArray::Create(v->_sharedstate, 0);
    SQObjectPtr res(OT_ARRAY, r);
    r->_values.assign(a->_values.begin() + s, a->_values.begin() + e);
    return Ret(v, res);
}
SQInteger arr_clear(HSQUIRRELVM v) {
    Arr(v)->_values.clear();
    sq_push(v, 1);
    return 1;
}
// How many of (value, index, array) map and apply pass: as many as the callback
// declares, a vararg function one more than its named parameters; never more
// than three (a callback that wants more then fails its own parameter check).
int CallbackArity(const SQObjectPtr &fn) {
    SQInteger n = 1;
    if (fn._type == OT_CLOSURE) {
        SQFunctionProto *p = _closure(fn)->Proto();
        n = p->_nparameters - 1 + (p->_varparams ? 1 : 0);
    } else if (fn._type == OT_NATIVECLOSURE) {
        SQInteger pc = _nativeclosure(fn)->_nparamscheck;
        n = pc > 0 ? pc - 1 : (pc < 0 ? -pc : 1);
    }
    return (int)(n < 1 ? 1 : (n > 3 ? 3 : n));
}
SQInteger arr_map_apply(HSQUIRRELVM v, bool apply) {
    SQObjectPtr self = Arg(v, 1), fn = Arg(v, 2);
    int arity = CallbackArity(fn);
    SQArray *r = SQArray::Create(v->_sharedstate, 0);
    SQObjectPtr res(OT_ARRAY, r);
    v->Push(res);
    for (SQInteger i = 0; i < _array(self)->Size(); i++) {
        SQObjectPtr args[3] = {_array(self)->_values[(size_t)i], SQObjectPtr(i), self};
        SQObjectPtr out;
        if (!CallBack(v, fn, self, out, arity, args)) return SQ_ERROR;
        if (apply) {
            if (i < _array(self)->Size()) _array(self)->_values[(size_t)i] = out;
        } else {
            r->Append(out);
        }
    }
    if (apply) sq_push(v, 1);
    return 1;
}
SQInteger arr_map(HSQUIRRELVM v) { return arr_map_apply(v, false); }
SQInteger arr_apply(HSQUIRRELVM v) { return arr_map_apply(v, true); }
SQInteger arr_reduce(HSQUIRRELVM v) {
    SQObjectPtr self = Arg(v, 1), fn = Arg(v, 2);
    SQInteger n = _array(self)->Size();
    SQObjectPtr acc;
    SQInteger i = 0;
    if (NArgs(v) > 2)
        acc = Arg(v, 3);
    else {
        if (n == 0) return Ret(v, SQObjectPtr());
        acc = _array(self)->_values[0];
        i = 1;
    }
    for (; i < _array(self)->Size(); i++) {
        SQObjectPtr args[2] = {acc, _array(self)->_values[(size_t)i]};
        SQObjectPtr out;
        if (!CallBack(v, fn, self, out, 2, args)) return SQ_ERROR;
        acc = out;
    }
    return Ret(v, acc);
}
SQInteger arr_filter(HSQUIRRELVM v) {
    SQObjectPtr self = Arg(v, 1), fn = Arg(v, 2);
    SQArray *r = SQArray::Create(v->_sharedstate, 0);
    SQObjectPtr res(OT_ARRAY, r);
    v->Push(res);
    for (SQInteger i = 0; i < _array(self)->Size(); i++) {
        SQObjectPtr val = _array(self)->_values[(size_t)i];
        SQObjectPtr args[2] = {SQObjectPtr(i), val};
        SQObjectPtr out;
        if (!CallBack(v, fn, self, out, 2, args)) return SQ_ERROR;
        if (!IsFalse(out)) r->Append(val);
    }
    return 1;
}
SQInteger arr_find(HSQUIRRELVM v) {
    SQArray *a = Arr(v);
    for (SQInteger i = 0; i < a->Size(); i++)
        if (v->IsEqual(a->_values[(size_t)i], Arg(v, 2))) return Ret(v, SQObjectPtr(i));
    return Ret(v, SQObjectPtr());
}

// ------------------------------------------------------------ functions

SQInteger fn_call_impl(HSQUIRRELVM v, bool raise) {
    SQInteger n = NArgs(v);
    SQObjectPtr fn = Arg(v, 1);
    SQObjectPtr res;
    // stack: fn, this, args... -> call with (this, args...)
    if (!v->Call(fn, n - 1, v->_stackbase + 1, res, raise && v->_raiseerror_active)) return SQ_ERROR;
    return Ret(v, res);
}
SQInteger fn_call(HSQUIRRELVM v) { return fn_call_impl(v, true); }
SQInteger fn_pcall(HSQUIRRELVM v) { return fn_call_impl(v, false); }
SQInteger fn_acall_impl(HSQUIRRELVM v, bool raise) {
    SQObjectPtr fn = Arg(v, 1);
    SQObjectPtr arr = Arg(v, 2);
    SQArray *a = _array(arr);
    SQInteger base = v->_top;
    for (auto &o : sqvector<SQObjectPtr>(a->_values)) v->Push(o);
    SQObjectPtr res;
    bool ok = v->Call(fn, a->Size(), base, res, raise && v->_raiseerror_active);
    while (v->_top > base) v->Pop();
    if (!ok) return SQ_ERROR;
    return Ret(v, res);
}
SQInteger fn_acall(HSQUIRRELVM v) { return fn_acall_impl(v, true); }
SQInteger fn_pacall(HSQUIRRELVM v) { return fn_acall_impl(v, false); }
SQInteger fn_bindenv(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_bindenv(v, 1))) return SQ_ERROR;
    return 1;
}
SQInteger fn_setroot(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_setclosureroot(v, 1))) return SQ_ERROR;
    return 0;
}
SQInteger fn_getroot(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_getclosureroot(v, 1))) return SQ_ERROR;
    return 1;
}
SQInteger fn_getinfos(HSQUIRRELVM v) {
    SQObjectPtr o = Arg(v, 1);
    SQSharedState *ss = v->_sharedstate;
    SQTable *t = SQTable::Create(ss, 0);
    SQObjectPtr res(OT_TABLE, t);
    if (o._type == OT_CLOSURE) {
        SQFunctionProto *p = _closure(o)->Proto();
        t->NewSlot(ss->MakeString("native"), SQObjectPtr(false));
        t->NewSlot(ss->MakeString("name"), p->_name);
        t->NewSlot(ss->MakeString("src"), p->_sourcename);
        SQArray *params = SQArray::Create(ss, 0);
        SQObjectPtr pa(OT_ARRAY, params);
        for (auto &n : p->_parameters) params->_values.push_back(n);
        if (p->_varparams) {
            params->_values.push_back(ss->MakeString("vargv"));
            params->_values.push_back(ss->MakeString("..."));
        }
        t->NewSlot(ss->MakeString("parameters"), pa);
        SQArray *defs = SQArray::Create(ss, 0);
        SQObjectPtr da(OT_ARRAY, defs);
        for (auto &d : _closure(o)->_defaultparams) defs->_values.push_back(d);
        t->NewSlot(ss->MakeString("defparams"), da);
        t->NewSlot(ss->MakeString("varargs"), SQObjectPtr(p->_varparams));
    } else {
        SQNativeClosure *n = _nativeclosure(o);
        t->NewSlot(ss->MakeString("native"), SQObjectPtr(true));
        t->NewSlot(ss->MakeString("name"), n->_name);
        t->NewSlot(ss->MakeString("paramscheck"), SQObjectPtr(n->_nparamscheck));
        SQObjectPtr ta;  // null for a native without a type mask
        if (!n->_typecheck.empty()) {
            SQArray *tc = SQArray::Create(ss, 0);
            ta = SQObjectPtr(OT_ARRAY, tc);
            for (auto m : n->_typecheck) tc->_values.push_back(SQObjectPtr(m));
        }
        t->NewSlot(ss->MakeString("typecheck"), ta);
    }
    return Ret(v, res);
}

// ------------------------------------------------------------ classes and instances

SQInteger cls_instance(HSQUIRRELVM v) { return SQ_SUCCEEDED(sq_createinstance(v, 1)) ? 1 : SQ_ERROR; }
SQInteger cls_getattributes(HSQUIRRELVM v) {
    sq_push(v, 2);
    return SQ_SUCCEEDED(sq_getattributes(v, 1)) ? 1 : SQ_ERROR;
}
SQInteger cls_setattributes(HSQUIRRELVM v) {
    sq_push(v, 2);
    sq_push(v, 3);
    return SQ_SUCCEEDED(sq_setattributes(v, 1)) ? 1 : SQ_ERROR;
}
SQInteger cls_getbase(HSQUIRRELVM v) { return SQ_SUCCEEDED(sq_getbase(v, 1)) ? 1 : SQ_ERROR; }
SQInteger cls_newmember_impl(HSQUIRRELVM v, bool raw) {
    SQObjectPtr attrs, val;
    if (NArgs(v) > 2) val = Arg(v, 3);
    if (NArgs(v) > 3) attrs = Arg(v, 4);
    bool bstatic = NArgs(v) > 4 && !IsFalse(Arg(v, 5));
    v->NewSlotA(Arg(v, 1), Arg(v, 2), val, attrs, bstatic, raw);
    return 0;
}
SQInteger cls_newmember(HSQUIRRELVM v) { return cls_newmember_impl(v, false); }
SQInteger cls_rawnewmember(HSQUIRRELVM v) { return cls_newmember_impl(v, true); }
SQInteger inst_getclass(HSQUIRRELVM v) { return SQ_SUCCEEDED(sq_getclass(v, 1)) ? 1 : SQ_ERROR; }

// ------------------------------------------------------------ generators, threads, weakrefs

SQInteger gen_getstatus(HSQUIRRELVM v) {
    static const char *names[] = {"running", "suspended", "dead"};
    return Ret(v, v->MakeString(names[_generator(Arg(v, 1))->_state]));
}

SQInteger thread_call(HSQUIRRELVM v) {
    HSQUIRRELVM t = _thread(Arg(v, 1));
    if (t->_suspended || t->_ncalls != 0) return sq_throwerror(v, "wrong status");
    if (t->_top < 1) return sq_throwerror(v, "the thread has no function");
    SQObjectPtr keep = Arg(v, 1);
    sq_settop(t, 1);
    SQInteger n = NArgs(v);
    t->Push(t->_roottable);
    for (SQInteger i = 2; i <= n; i++) sq_move(t, v, i);
    if (SQ_FAILED(sq_call(t, n, SQTrue, v->_raiseerror_active))) {
        v->_lasterror = t->_lasterror;
        sq_settop(t, 1);
        return SQ_ERROR;
    }
    SQObjectPtr res = t->Top();
    t->Pop();
    if (!t->_suspended) sq_settop(t, 1);
    return Ret(v, res);
}
SQInteger thread_wakeup_impl(HSQUIRRELVM v, bool throwerr) {
    HSQUIRRELVM t = _thread(Arg(v, 1));
    if (!t->_suspended)
        return sq_throwerror(v, t->_ncalls == 0 ? "cannot wakeup a idle thread" : "cannot wakeup a running thread");
    SQObjectPtr keep = Arg(v, 1);
    SQObjectPtr val;
    if (NArgs(v) > 1) val = Arg(v, 2);
    bool propagate = !(throwerr && NArgs(v) > 2 && IsFalse(Arg(v, 3)));
    if (throwerr) t->_lasterror = val;
    t->Push(val);
    if (SQ_FAILED(sq_wakeupvm(t, SQTrue, SQTrue, v->_raiseerror_active, throwerr ? SQTrue : SQFalse))) {
        v->_lasterror = t->_lasterror;
        sq_settop(t, 1);
        return propagate ? SQ_ERROR : 0;
    }
    SQObjectPtr res = t->Top();
    t->Pop();
    if (!t->_suspended) sq_settop(t, 1);
    return Ret(v, res);
}
SQInteger thread_wakeup(HSQUIRRELVM v) { return thread_wakeup_impl(v, false); }
SQInteger thread_wakeupthrow(HSQUIRRELVM v) { return thread_wakeup_impl(v, true); }
SQInteger thread_getstatus(HSQUIRRELVM v) {
    HSQUIRRELVM t = _thread(Arg(v, 1));
    const char *s = t->_suspended ? "suspended" : (t->_ncalls == 0 ? "idle" : "running");
    return Ret(v, v->MakeString(s));
}
SQInteger thread_getstackinfos(HSQUIRRELVM v) {
    HSQUIRRELVM t = _thread(Arg(v, 1));
    return StackInfos(v, t, tointeger(Arg(v, 2)));
}
SQInteger weakref_ref(HSQUIRRELVM v) { return SQ_SUCCEEDED(sq_getweakrefval(v, 1)) ? 1 : SQ_ERROR; }

SQTable *NewDelegate(SQSharedState *ss, SQObjectPtr &slot) {
    SQTable *t = SQTable::Create(ss, 0);
    slot = SQObjectPtr(OT_TABLE, t);
    return t;
}

}  // namespace

void sq_init_default_delegates(SQSharedState *ss, SQVM *) {
    SQTable *t = NewDelegate(ss, ss->_number_default_delegate);
    Reg(ss, t, "tofloat", num_tofloat, 1, "n|b", fast_tofloat);
    Reg(ss, t, "tostring", num_tostring, 1, ".");
    Reg(ss, t, "tointeger", num_tointeger, 1, "n|b", fast_tointeger);
    Reg(ss, t, "tochar", num_tochar, 1, "n|b");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);

    t = NewDelegate(ss, ss->_string_default_delegate);
    Reg(ss, t, "len", str_len, 1, "s", fast_len);
    Reg(ss, t, "tointeger", str_tointeger, -1, "sn");
    Reg(ss, t, "tofloat", str_tofloat, 1, "s");
    Reg(ss, t, "tostring", obj_tostring, 1, ".");
    Reg(ss, t, "slice", str_slice, -1, "snn");
    Reg(ss, t, "find", str_find, -2, "ssn");
    Reg(ss, t, "tolower", str_tolower, -1, "snn");
    Reg(ss, t, "toupper", str_toupper, -1, "snn");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);

    t = NewDelegate(ss, ss->_table_default_delegate);
    Reg(ss, t, "len", tab_len, 1, "t", fast_len);
    Reg(ss, t, "rawget", obj_rawget, 2, "t");
    Reg(ss, t, "rawset", obj_rawset, 3, "t");
    Reg(ss, t, "rawdelete", tab_rawdelete, 2, "t");
    Reg(ss, t, "rawin", obj_rawin, 2, "t");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);
    Reg(ss, t, "tostring", obj_tostring, 1, ".");
    Reg(ss, t, "clear", tab_clear, 1, ".");
    Reg(ss, t, "setdelegate", tab_setdelegate, 2, ".t|o");
    Reg(ss, t, "getdelegate", tab_getdelegate, 1, ".");
    Reg(ss, t, "filter", tab_filter, 2, "tc");
    Reg(ss, t, "map", tab_map, 2, "tc");
    Reg(ss, t, "keys", tab_keys, 1, "t");
    Reg(ss, t, "values", tab_values, 1, "t");

    t = NewDelegate(ss, ss->_array_default_delegate);
    Reg(ss, t, "len", arr_len, 1, "a", fast_len);
    Reg(ss, t, "append", arr_append, 2, "a");
    Reg(ss, t, "push", arr_append, 2, "a");
    Reg(ss, t, "extend", arr_extend, 2, "aa");
    Reg(ss, t, "pop", arr_pop, 1, "a");
    Reg(ss, t, "top", arr_top, 1, "a");
    Reg(ss, t, "insert", arr_insert, 3, "an");
    Reg(ss, t, "remove", arr_remove, 2, "an");
    Reg(ss, t, "resize", arr_resize, -2, "an");
    Reg(ss, t, "sort", arr_sort, -1, "ac");
    Reg(ss, t, "reverse", arr_reverse, 1, "a");
    Reg(ss, t, "slice", arr_slice, -1, "ann");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);
    Reg(ss, t, "tostring", obj_tostring, 1, ".");
    Reg(ss, t, "clear", arr_clear, 1, ".");
    Reg(ss, t, "map", arr_map, 2, "ac");
    Reg(ss, t, "apply", arr_apply, 2, "ac");
    Reg(ss, t, "reduce", arr_reduce, -2, "ac.");
    Reg(ss, t, "filter", arr_filter, 2, "ac");
    Reg(ss, t, "find", arr_find, 2, "a.");

    t = NewDelegate(ss, ss->_closure_default_delegate);
    Reg(ss, t, "call", fn_call, -1, "c");
    Reg(ss, t, "pcall", fn_pcall, -1, "c");
    Reg(ss, t, "acall", fn_acall, 2, "ca");
    Reg(ss, t, "pacall", fn_pacall, 2, "ca");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);
    Reg(ss, t, "tostring", obj_tostring, 1, ".");
    Reg(ss, t, "bindenv", fn_bindenv, 2, "c x|y|t");
    Reg(ss, t, "setroot", fn_setroot, 2, "ct");
    Reg(ss, t, "getroot", fn_getroot, 1, "c");
    Reg(ss, t, "getinfos", fn_getinfos, 1, "c");

    t = NewDelegate(ss, ss->_class_default_delegate);
    Reg(ss, t, "instance", cls_instance, 1, "y");
    Reg(ss, t, "getattributes", cls_getattributes, 2, "y.");
    Reg(ss, t, "setattributes", cls_setattributes, 3, "y..");
    Reg(ss, t, "rawin", obj_rawin, 2, "y");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);
    Reg(ss, t, "tostring", obj_tostring, 1, ".");
    Reg(ss, t, "rawget", obj_rawget, 2, "y");
    Reg(ss, t, "rawset", obj_rawset, 3, "y");
    Reg(ss, t, "newmember", cls_newmember, -3, "y");
    Reg(ss, t, "rawnewmember", cls_rawnewmember, -3, "y");
    Reg(ss, t, "getbase", cls_getbase, 1, "y");

    t = NewDelegate(ss, ss->_instance_default_delegate);
    Reg(ss, t, "getclass", inst_getclass, 1, "x");
    Reg(ss, t, "rawin", obj_rawin, 2, "x");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);
    Reg(ss, t, "tostring", obj_tostring, 1, ".");
    Reg(ss, t, "rawget", obj_rawget, 2, "x");
    Reg(ss, t, "rawset", obj_rawset, 3, "x");

    t = NewDelegate(ss, ss->_generator_default_delegate);
    Reg(ss, t, "getstatus", gen_getstatus, 1, "g");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);
    Reg(ss, t, "tostring", obj_tostring, 1, ".");

    t = NewDelegate(ss, ss->_thread_default_delegate);
    Reg(ss, t, "call", thread_call, -1, "v");
    Reg(ss, t, "wakeup", thread_wakeup, -1, "v");
    Reg(ss, t, "wakeupthrow", thread_wakeupthrow, -2, "v.b");
    Reg(ss, t, "getstatus", thread_getstatus, 1, "v");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);
    Reg(ss, t, "tostring", obj_tostring, 1, ".");
    Reg(ss, t, "getstackinfos", thread_getstackinfos, 2, "vn");

    t = NewDelegate(ss, ss->_weakref_default_delegate);
    Reg(ss, t, "ref", weakref_ref, 1, "r");
    Reg(ss, t, "weakref", obj_weakref, 1, nullptr);
    Reg(ss, t, "tostring", obj_tostring, 1, ".");
}

void sq_base_register(SQVM *v) {
    SQSharedState *ss = v->_sharedstate;
    SQTable *root = _table(v->_roottable);
    Reg(ss, root, "seterrorhandler", base_seterrorhandler, 2, nullptr);
    Reg(ss, root, "setdebughook", base_setdebughook, 2, nullptr);
    Reg(ss, root, "enabledebuginfo", base_enabledebuginfo, 2, nullptr);
    Reg(ss, root, "getroottable", base_getroottable, 1, nullptr);
    Reg(ss, root, "setroottable", base_setroottable, 2, nullptr);
    Reg(ss, root, "getconsttable", base_getconsttable, 1, nullptr);
    Reg(ss, root, "setconsttable", base_setconsttable, 2, nullptr);
    Reg(ss, root, "assert", base_assert, -2, nullptr);
    Reg(ss, root, "print", base_print, 2, nullptr);
    Reg(ss, root, "error", base_error, 2, nullptr);
    Reg(ss, root, "compilestring", base_compilestring, -2, ".ss");
    Reg(ss, root, "collectgarbage", base_collectgarbage, 0, nullptr);
    Reg(ss, root, "resurrectunreachable", base_resurrectunreachable, 1, nullptr);
    Reg(ss, root, "type", base_type, 2, nullptr);
    Reg(ss, root, "callee", base_callee, 0, nullptr);
    Reg(ss, root, "getstackinfos", base_getstackinfos, 2, ".n");
    Reg(ss, root, "newthread", base_newthread, 2, ".c");
    Reg(ss, root, "suspend", base_suspend, -1, nullptr);
    Reg(ss, root, "array", base_array, -2, ".n");
    root->NewSlot(ss->MakeString("_versionnumber_"), SQObjectPtr((SQInteger)SQUIRREL_VERSION_NUMBER));
    root->NewSlot(ss->MakeString("_version_"), ss->MakeString(SQUIRREL_VERSION));
    root->NewSlot(ss->MakeString("_charsize_"), SQObjectPtr((SQInteger)sizeof(SQChar)));
    root->NewSlot(ss->MakeString("_intsize_"), SQObjectPtr((SQInteger)sizeof(SQInteger)));
    root->NewSlot(ss->MakeString("_floatsize_"), SQObjectPtr((SQInteger)sizeof(SQFloat)));
}
