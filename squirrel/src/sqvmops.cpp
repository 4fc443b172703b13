// Generic object operations with delegation and metamethods: get/set/newslot/
// delete, arithmetic, comparison, conversion to string, cloning, iteration.
#include <cmath>

#include "sqvm.h"

bool SQVM::GetMM(const SQObject &o, int mm, SQObjectPtr &res) {
    switch (o._type) {
        case OT_TABLE:
        case OT_USERDATA: {
            SQTable *d = _delegable(o)->_delegate;
            if (!d) return false;
            return d->Get(_sharedstate->_metamethodnames[mm], res);
        }
        case OT_INSTANCE: return _instance(o)->GetMetaMethod(mm, res);
        default: return false;
    }
}

bool SQVM::InvokeDefaultDelegate(const SQObjectPtr &self, const SQObjectPtr &key, SQObjectPtr &dest) {
    SQSharedState *ss = _sharedstate;
    SQObjectPtr *dd = nullptr;
    switch (self._type) {
        case OT_TABLE: dd = &ss->_table_default_delegate; break;
        case OT_ARRAY: dd = &ss->_array_default_delegate; break;
        case OT_STRING: dd = &ss->_string_default_delegate; break;
        case OT_INTEGER:
        case OT_FLOAT:
        case OT_BOOL: dd = &ss->_number_default_delegate; break;
        case OT_CLOSURE:
        case OT_NATIVECLOSURE: dd = &ss->_closure_default_delegate; break;
        case OT_GENERATOR: dd = &ss->_generator_default_delegate; break;
        case OT_THREAD: dd = &ss->_thread_default_delegate; break;
        case OT_CLASS: dd = &ss->_class_default_delegate; break;
        case OT_INSTANCE: dd = &ss->_instance_default_delegate; break;
        case OT_WEAKREF: dd = &ss->_weakref_default_delegate; break;
        default: return false;
    }
    if (dd->_type != OT_TABLE) return false;
    return _table(*dd)->Get(key, dest);
}

enum { FALLBACK_OK, FALLBACK_NO_MATCH, FALLBACK_ERROR };

int SQVM::FallBackGet(const SQObjectPtr &self, const SQObjectPtr &key, SQObjectPtr &dest) {
    switch (self._type) {
        case OT_TABLE:
        case OT_USERDATA: {
            SQTable *d = _delegable(self)->_delegate;
            if (!d) return FALLBACK_NO_MATCH;
            SQObjectPtr dobj(OT_TABLE, d);
            if (Get(dobj, key, dest, GET_NO_THROW | GET_NO_ROOT)) return FALLBACK_OK;
            break;
        }
        case OT_INSTANCE: break;
        default: return FALLBACK_NO_MATCH;
    }
    SQObjectPtr mm;
    if (!GetMM(self, MT_GET, mm)) return FALLBACK_NO_MATCH;
    Push(self);
    Push(key);
    bool ok = Call(mm, 2, _top - 2, dest, false);
    Pop(2);
    if (ok) return FALLBACK_OK;
    if (_lasterror._type == OT_NULL) return FALLBACK_NO_MATCH;  // clean "not found"
    return FALLBACK_ERROR;
}

bool SQVM::Get(const SQObjectPtr &self, const SQObjectPtr &key, SQObjectPtr &dest, int flags) {
    switch (self._type) {
        case OT_TABLE:
            if (_table(self)->Get(key, dest)) return true;
            break;
        case OT_ARRAY:
            if (key._type & SQOBJECT_NUMERIC) {
                SQInteger idx = tointeger(key);
                SQArray *a = _array(self);
                if (idx >= 0 && idx < a->Size()) {
                    dest = RealVal(a->_values[(size_t)idx]);
                    return true;
                }
                if (flags & GET_NO_THROW) return false;
                RaiseIdxNotFound(key);
            }
            break;
        case OT_INSTANCE:
            if (_instance(self)->Get(key, dest)) return true;
            break;
        case OT_CLASS:
            if (_class(self)->Get(key, dest)) return true;
            break;
        case OT_STRING:
            if (key._type & SQOBJECT_NUMERIC) {
                // a negative index counts from the end
                SQInteger idx = tointeger(key);
                SQString *s = _string(self);
                if (idx < 0) idx += s->_len;
                if (idx >= 0 && idx < s->_len) {
                    dest = SQObjectPtr((SQInteger)(signed char)s->_val[idx]);
                    return true;
                }
                if (flags & GET_NO_THROW) return false;
                RaiseIdxNotFound(key);
            }
            break;
        default: break;
    }
    if (!(flags & GET_RAW)) {
        switch (FallBackGet(self, key, dest)) {
            case FALLBACK_OK: return true;
            case FALLBACK_NO_MATCH: break;
            default: RaiseLast();
        }
        if (InvokeDefaultDelegate(self, key, dest)) return true;
    }
    if (flags & GET_NO_THROW) return false;
    RaiseIdxNotFound(key);
}

int SQVM::FallBackSet(const SQObjectPtr &self, const SQObjectPtr &key, const SQObjectPtr &val) {
    switch (self._type) {
        case OT_TABLE:
        case OT_USERDATA:
        case OT_INSTANCE: break;
        default: return FALLBACK_NO_MATCH;
    }
    SQObjectPtr mm;
    if (!GetMM(self, MT_SET, mm)) return FALLBACK_NO_MATCH;
    Push(self);
    Push(key);
    Push(val);
    SQObjectPtr dummy;
    bool ok = Call(mm, 3, _top - 3, dummy, false);
    Pop(3);
    if (ok) return FALLBACK_OK;
    if (_lasterror._type == OT_NULL) return FALLBACK_NO_MATCH;
    return FALLBACK_ERROR;
}

// Assignment to an existing slot. A table or userdata whose own slots lack the
// key writes it in the first delegate along the chain that has it; only a key
// found nowhere goes to _set.
bool SQVM::Set(const SQObjectPtr &self, const SQObjectPtr &key, const SQObjectPtr &val, bool throwerr) {
    switch (self._type) {
        case OT_TABLE:
            if (_table(self)->Set(key, val)) return true;
            for (SQTable *d = _table(self)->_delegate; d; d = d->_delegate)
                if (d->Set(key, val)) return true;
            break;
        case OT_INSTANCE:
            if (_instance(self)->Set(key, val)) return true;
            break;
        case OT_ARRAY:
            if (!(key._type & SQOBJECT_NUMERIC)) {
                if (!throwerr) return false;
                Raise("indexing %s with %s", GetTypeName(self), GetTypeName(key));
            }
            {
                SQInteger idx = tointeger(key);
                SQArray *a = _array(self);
                if (idx >= 0 && idx < a->Size()) {
                    a->_values[(size_t)idx] = val;
                    return true;
                }
            }
            if (!throwerr) return false;
            RaiseIdxNotFound(key);
        case OT_CLASS: {
            SQObjectPtr tmp;
            if (_class(self)->Get(key, tmp)) {
                if (_class(self)->NewSlot(_sharedstate, key, val, false)) return true;
                if (!throwerr) return false;
                Raise("trying to modify a class that has already been instantiated");
            }
            break;
        }
        case OT_USERDATA:
            for (SQTable *d = _userdata(self)->_delegate; d; d = d->_delegate)
                if (d->Set(key, val)) return true;
            break;
        default:
            if (!throwerr) return false;
            Raise("trying to set '%s'", GetTypeName(self));
    }
    switch (FallBackSet(self, key, val)) {
        case FALLBACK_OK: return true;
        case FALLBACK_NO_MATCH: break;
        default: RaiseLast();
    }
    if (!throwerr) return false;
    RaiseIdxNotFound(key);
}

bool SQVM::NewSlot(const SQObjectPtr &self, const SQObjectPtr &key, const SQObjectPtr &val, bool bstatic) {
    if (key._type == OT_NULL) Raise("null cannot be used as index");
    switch (self._type) {
        case OT_TABLE: {
            SQTable *t = _table(self);
            if (t->Set(key, val)) return true;
            SQObjectPtr mm;
            if (GetMM(self, MT_NEWSLOT, mm)) {
                Push(self);
                Push(key);
                Push(val);
                SQObjectPtr dummy;
                CallMetaOrThrow(mm, 3, dummy);
                return true;
            }
            t->NewSlot(key, val);
            return true;
        }
        case OT_CLASS:
            if (!_class(self)->NewSlot(_sharedstate, key, val, bstatic)) {
                if (_class(self)->_locked) Raise("trying to modify a class that has already been instantiated");
                Raise("the property '%s' already exists", key._type == OT_STRING ? _string(key)->_val : "?");
            }
            return true;
        case OT_INSTANCE: {
            SQObjectPtr mm;
            if (GetMM(self, MT_NEWSLOT, mm)) {
                Push(self);
                Push(key);
                Push(val);
                SQObjectPtr dummy;
                CallMetaOrThrow(mm, 3, dummy);
                return true;
            }
            Raise("class instances do not support the new slot operator");
        }
        default: Raise("indexing %s with %s", GetTypeName(self), GetTypeName(key));
    }
}

bool SQVM::NewSlotA(const SQObjectPtr &self, const SQObjectPtr &key, const SQObjectPtr &val, const SQObjectPtr &attrs,
                    bool bstatic, bool raw) {
    if (self._type != OT_CLASS) Raise("object must be a class");
    SQClass *c = _class(self);
    if (!raw && c->_metamethods[MT_NEWMEMBER]._type != OT_NULL) {
        SQObjectPtr mm = c->_metamethods[MT_NEWMEMBER];
        Push(self);
        Push(key);
        Push(val);
        Push(attrs);
        Push(SQObjectPtr(bstatic));
        SQObjectPtr dummy;
        CallMetaOrThrow(mm, 5, dummy);
        return true;
    }
    NewSlot(self, key, val, bstatic);
    if (attrs._type != OT_NULL) c->SetAttributes(key, attrs);
    return true;
}

bool SQVM::DeleteSlot(const SQObjectPtr &self, const SQObjectPtr &key, SQObjectPtr &res) {
    switch (self._type) {
        case OT_TABLE:
        case OT_INSTANCE:
        case OT_USERDATA: {
            SQObjectPtr mm;
            if (GetMM(self, MT_DELSLOT, mm)) {
                Push(self);
                Push(key);
                CallMetaOrThrow(mm, 2, res);
                return true;
            }
            if (self._type == OT_TABLE) {
                SQTable *t = _table(self);
                if (t->Get(key, res)) {
                    t->Remove(key);
                    return true;
                }
                RaiseIdxNotFound(key);
            }
            Raise("cannot delete a slot from %s", GetTypeName(self));
        }
        default: Raise("attempt to delete a slot from a %s", GetTypeName(self));
    }
}

bool SQVM::Clone(const SQObjectPtr &self, SQObjectPtr &target) {
    switch (self._type) {
        case OT_TABLE: {
            target = SQObjectPtr(OT_TABLE, _table(self)->Clone());
            SQObjectPtr mm;
            if (GetMM(target, MT_CLONED, mm)) {
                Push(target);
                Push(self);
                SQObjectPtr dummy;
                CallMetaOrThrow(mm, 2, dummy);
            }
            return true;
        }
        case OT_INSTANCE: {
            target = SQObjectPtr(OT_INSTANCE, _instance(self)->Clone(_sharedstate));
            SQObjectPtr mm;
            if (GetMM(target, MT_CLONED, mm)) {
                Push(target);
                Push(self);
                SQObjectPtr dummy;
                CallMetaOrThrow(mm, 2, dummy);
            }
            return true;
        }
        case OT_ARRAY: target = SQObjectPtr(OT_ARRAY, _array(self)->Clone()); return true;
        default: Raise("cloning a %s", GetTypeName(self));
    }
}

static char OpChar(int op) {
    switch (op) {
        case OP_ADD: return '+';
        case OP_SUB: return '-';
        case OP_MUL: return '*';
        case OP_DIV: return '/';
        default: return '%';
    }
}

static int OpMeta(int op) {
    switch (op) {
        case OP_ADD: return MT_ADD;
        case OP_SUB: return MT_SUB;
        case OP_MUL: return MT_MUL;
        case OP_DIV: return MT_DIV;
        default: return MT_MODULO;
    }
}

void SQVM::Arith(int op, const SQObject &o1, const SQObject &o2, SQObjectPtr &dest) {
    if (o1._type == OT_INTEGER && o2._type == OT_INTEGER) {
        SQInteger a = _integer(o1), b = _integer(o2);
        switch (op) {
            case OP_ADD: dest = (SQInteger)((SQUnsignedInteger)a + (SQUnsignedInteger)b); return;
            case OP_SUB: dest = (SQInteger)((SQUnsignedInteger)a - (SQUnsignedInteger)b); return;
            case OP_MUL: dest = (SQInteger)((SQUnsignedInteger)a * (SQUnsignedInteger)b); return;
            case OP_DIV:
                if (b == 0) Raise("division by zero");
                if (b == -1 && a == INT64_MIN) Raise("integer overflow");
                dest = a / b;
                return;
            default:
                if (b == 0) Raise("modulo by zero");
                if (b == -1) {
                    dest = (SQInteger)0;
                    return;
                }
                dest = a % b;
                return;
        }
    }
    if ((o1._type & SQOBJECT_NUMERIC) && (o2._type & SQOBJECT_NUMERIC)) {
        SQFloat a = tofloat(o1), b = tofloat(o2);
        switch (op) {
            case OP_ADD: dest = a + b; return;
            case OP_SUB: dest = a - b; return;
            case OP_MUL: dest = a * b; return;
            case OP_DIV: dest = a / b; return;
            default: dest = fmodf(a, b); return;
        }
    }
    if (op == OP_ADD && (o1._type == OT_STRING || o2._type == OT_STRING)) {
        StringCat(o1, o2, dest);
        return;
    }
    if (o1._type == OT_TABLE || o1._type == OT_INSTANCE || o1._type == OT_USERDATA) {
        SQObjectPtr mm;
        if (GetMM(o1, OpMeta(op), mm)) {
            Push(o1);
            Push(o2);
            CallMetaOrThrow(mm, 2, dest);
            return;
        }
    }
    Raise("arith op %c on between '%s' and '%s'", OpChar(op), GetTypeName(o1), GetTypeName(o2));
}

void SQVM::BitwiseOp(int op, const SQObject &o1, const SQObject &o2, SQObjectPtr &dest) {
    if (o1._type != OT_INTEGER || o2._type != OT_INTEGER)
        Raise("bitwise op between '%s' and '%s'", GetTypeName(o1), GetTypeName(o2));
    SQInteger a = _integer(o1), b = _integer(o2);
    switch (op) {
        case OP_BAND: dest = a & b; return;
        case OP_BOR: dest = a | b; return;
        case OP_BXOR: dest = a ^ b; return;
        case OP_SHL: dest = (SQInteger)((SQUnsignedInteger)a << (b & 63)); return;
        case OP_SHR: dest = a >> (b & 63); return;
        default: dest = (SQInteger)((SQUnsignedInteger)a >> (b & 63)); return;
    }
}

void SQVM::Negate(const SQObject &o, SQObjectPtr &dest) {
    switch (o._type) {
        case OT_INTEGER: dest = (SQInteger)(0 - (SQUnsignedInteger)_integer(o)); return;
        case OT_FLOAT: dest = -_float(o); return;
        case OT_TABLE:
        case OT_USERDATA:
        case OT_INSTANCE: {
            SQObjectPtr mm;
            if (GetMM(o, MT_UNM, mm)) {
                Push(o);
                CallMetaOrThrow(mm, 1, dest);
                return;
            }
            break;
        }
        default: break;
    }
    Raise("attempt to negate a %s", GetTypeName(o));
}

bool SQVM::IsEqual(const SQObject &o1, const SQObject &o2) {
    if (o1._type == o2._type) {
        if (o1._type == OT_FLOAT) return _float(o1) == _float(o2);
        if (o1._type == OT_NULL) return true;
        return o1._unVal.pRefCounted == o2._unVal.pRefCounted || o1._unVal.raw == o2._unVal.raw;
    }
    if ((o1._type & SQOBJECT_NUMERIC) && (o2._type & SQOBJECT_NUMERIC)) return tofloat(o1) == tofloat(o2);
    return false;
}

SQInteger SQVM::ObjCmp(const SQObjectPtr &o1, const SQObjectPtr &o2) {
    SQObjectType t1 = o1._type, t2 = o2._type;
    if ((t1 & SQOBJECT_NUMERIC) && (t2 & SQOBJECT_NUMERIC)) return NumCmp(o1, o2);
    if (t1 == t2) {
        if (o1._unVal.raw == o2._unVal.raw) return 0;
        switch (t1) {
            case OT_STRING: {
                SQString *a = _string(o1), *b = _string(o2);
                SQInteger n = a->_len < b->_len ? a->_len : b->_len;
                int r = memcmp(a->_val, b->_val, (size_t)n);
                if (r) return r < 0 ? -1 : 1;
                return a->_len < b->_len ? -1 : (a->_len > b->_len ? 1 : 0);
            }
            case OT_BOOL: return _integer(o1) < _integer(o2) ? -1 : 1;
            case OT_TABLE:
            case OT_USERDATA:
            case OT_INSTANCE: {
                SQObjectPtr mm;
                if (GetMM(o1, MT_CMP, mm)) {
                    Push(o1);
                    Push(o2);
                    SQObjectPtr res;
                    CallMetaOrThrow(mm, 2, res);
                    if (res._type != OT_INTEGER) Raise("_cmp must return an integer");
                    return _integer(res);
                }
                break;
            }
            default: break;
        }
        // same type, no order of its own: by address (consistent, unspecified)
        return o1._unVal.raw < o2._unVal.raw ? -1 : 1;
    }
    // null orders before everything else
    if (t1 == OT_NULL) return -1;
    if (t2 == OT_NULL) return 1;
    char a[128], b[128];
    sq_errorvaluetext(o1, a, sizeof a);
    sq_errorvaluetext(o2, b, sizeof b);
    Raise("comparison between '%s' and '%s'", a, b);
}

bool SQVM::ToString(const SQObjectPtr &o, SQObjectPtr &res) {
    char buf[128];
    switch (o._type) {
        case OT_STRING: res = o; return true;
        case OT_INTEGER:
        case OT_FLOAT: sq_formatnumber(o, buf, sizeof buf); break;
        case OT_BOOL: res = MakeString(_integer(o) ? "true" : "false"); return true;
        case OT_NULL: res = MakeString("null"); return true;
        case OT_TABLE:
        case OT_USERDATA:
        case OT_INSTANCE: {
            SQObjectPtr mm;
            if (GetMM(o, MT_TOSTRING, mm)) {
                // a _tostring that gives no string is ignored
                Push(o);
                CallMetaOrThrow(mm, 1, res);
                if (res._type == OT_STRING) return true;
            }
        }
            [[fallthrough]];
        default: snprintf(buf, sizeof buf, "(%s : 0x%p)", GetTypeName(o), (void *)o._unVal.pRefCounted); break;
    }
    res = MakeString(buf);
    return true;
}

// The text of o for a concatenation: a string's own bytes, a number or a
// constant written into buf, anything else through ToString (kept in hold).
void SQVM::ConcatPiece(const SQObject &o, char *buf, const char *&p, SQInteger &len, SQObjectPtr &hold) {
    switch (o._type) {
        case OT_STRING:
            p = _string(o)->_val;
            len = _string(o)->_len;
            return;
        case OT_INTEGER:
            p = buf;
            len = sq_formatinteger(_integer(o), buf);
            return;
        case OT_FLOAT:
            p = buf;
            len = sq_formatfloat(_float(o), buf, 64);
            return;
        case OT_BOOL:
            p = _integer(o) ? "true" : "false";
            len = _integer(o) ? 4 : 5;
            return;
        case OT_NULL:
            p = "null";
            len = 4;
            return;
        default: {
            SQObjectPtr self(o);
            ToString(self, hold);
            p = _string(hold)->_val;
            len = _string(hold)->_len;
            return;
        }
    }
}

void SQVM::StringCat(const SQObject &str, const SQObject &obj, SQObjectPtr &dest) {
    char ba[64], bb[64];
    const char *pa, *pb;
    SQInteger la, lb;
    SQObjectPtr ha, hb;
    ConcatPiece(str, ba, pa, la, ha);
    ConcatPiece(obj, bb, pb, lb, hb);
    if (la + lb > _sharedstate->_maxstringlength) Raise("string too long");
    dest = SQObjectPtr(OT_STRING, _sharedstate->_stringtable.AddConcat(_sharedstate, pa, la, pb, lb));
}

void SQVM::TypeOf(const SQObjectPtr &obj, SQObjectPtr &dest) {
    if (obj._type == OT_TABLE || obj._type == OT_INSTANCE || obj._type == OT_USERDATA) {
        SQObjectPtr mm;
        if (GetMM(obj, MT_TYPEOF, mm)) {
            Push(obj);
            CallMetaOrThrow(mm, 1, dest);
            return;
        }
    }
    dest = MakeString(GetTypeName(obj));
}

// one step of iteration over o; iter is null at the start
bool SQVM::Next(const SQObjectPtr &o, const SQObjectPtr &iter, SQObjectPtr &outkey, SQObjectPtr &outval,
                SQObjectPtr &outiter) {
    SQInteger idx = iter._type == OT_INTEGER ? _integer(iter) : 0;
    switch (o._type) {
        case OT_TABLE: {
            SQInteger n = _table(o)->Next(idx, outkey, outval);
            if (n < 0) return false;
            outiter = SQObjectPtr(n + 1);
            return true;
        }
        case OT_ARRAY: {
            SQArray *a = _array(o);
            if (idx >= a->Size()) return false;
            outkey = SQObjectPtr(idx);
            outval = RealVal(a->_values[(size_t)idx]);
            outiter = SQObjectPtr(idx + 1);
            return true;
        }
        case OT_STRING: {
            SQString *s = _string(o);
            if (idx >= s->_len) return false;
            outkey = SQObjectPtr(idx);
            outval = SQObjectPtr((SQInteger)(signed char)s->_val[idx]);
            outiter = SQObjectPtr(idx + 1);
            return true;
        }
        case OT_CLASS: {
            SQInteger n = _class(o)->Next(idx, outkey, outval);
            if (n < 0) return false;
            outiter = SQObjectPtr(n + 1);
            return true;
        }
        case OT_INSTANCE:
        case OT_USERDATA: {
            SQObjectPtr mm;
            if (GetMM(o, MT_NEXTI, mm)) {
                Push(o);
                Push(iter);
                SQObjectPtr nextidx;
                if (!CallMetaMethod(mm, MT_NEXTI, 2, nextidx)) RaiseLast();
                if (nextidx._type == OT_NULL) return false;
                outkey = nextidx;
                if (!Get(o, nextidx, outval, GET_NO_THROW)) Raise("_nexti returned an invalid idx");
                outiter = nextidx;
                return true;
            }
            Raise("_nexti failed");
        }
        default: break;
    }
    Raise("cannot iterate %s", GetTypeName(o));
}

// One step of foreach over anything but a generator (the loop resumes those
// itself): container at stack[c]; key, value and iterator at stack[k..k+2].
bool SQVM::ForeachStep(SQInteger c, SQInteger k) {
    SQObjectPtr cont = _stack[c];
    SQObjectPtr iter = _stack[k + 2], key, v, it;
    if (!Next(cont, iter, key, v, it)) return false;
    _stack[k] = key;
    _stack[k + 1] = v;
    _stack[k + 2] = it;
    return true;
}
