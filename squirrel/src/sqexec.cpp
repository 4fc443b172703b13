// The interpreter: entry (Execute), error unwinding and the instruction loop.
#include <cmath>

#include "sqvm.h"

bool SQVM::DoCall(const SQObjectPtr &fnref, SQInteger target, SQInteger nargs, SQInteger stackbase,
                  bool &suspended) {
    SQObjectPtr fn = fnref;
    suspended = false;
    switch (fn._type) {
        case OT_CLOSURE:
            return StartCall(_closure(fn), target, nargs, stackbase, false);
        case OT_NATIVECLOSURE: {
            SQObjectPtr ret;
            bool tc;
            CallNative(_nativeclosure(fn), nargs, stackbase, ret, suspended, tc);
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
                if (ctor._type == OT_CLOSURE) return StartCall(_closure(ctor), -2, nargs, stackbase, false);
                if (ctor._type == OT_NATIVECLOSURE) {
                    SQObjectPtr ret;
                    bool tc, susp;
                    CallNative(_nativeclosure(ctor), nargs, stackbase, ret, susp, tc);
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

bool SQVM::Execute(const SQObject &closure, SQInteger nargs, SQInteger stackbase, SQObjectPtr &outres,
                   bool raiseerror, ExecType et) {
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
    SQInteger rootframe = (SQInteger)_callsstack.size();
    bool ok = true;
    bool suspended = false;
    _retval.Null();
    try {
        switch (et) {
            case ET_CALL: {
                bool susp;
                bool pushed = DoCall(fn, -1, nargs, stackbase, susp);
                if (susp) {
                    _suspended = SQTrue;
                    _suspended_target = -1;
                    _suspended_rootframe = rootframe;
                    _retval = _suspendvalue;
                } else if (pushed) {
                    _callsstack.back()._root = true;
                    Run(rootframe);
                }
                break;
            }
            case ET_RESUME_GENERATOR: {
                SQGenerator *gen = _generator(fn);
                SQClosure *c = _closure(gen->_closure);
                SQFunctionProto *p = c->Proto();
                SQInteger newbase = stackbase;
                EnsureStack(newbase + p->_stacksize + 4);
                for (size_t i = 0; i < gen->_stack.size(); i++) _stack[newbase + (SQInteger)i] = std::move(gen->_stack[i]);
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
                gen->_stack.clear();
                _callsstack.emplace_back();
                SQCallInfo &ci = _callsstack.back();
                ci._closure = gen->_closure;
                ci._ip = p->_instructions.data() + gen->_ip;
                ci._base = newbase;
                ci._target = -1;
                ci._root = true;
                ci._generator = gen;
                for (auto t : gen->_etraps) {
                    t._stackbase = newbase;
                    t._frame = rootframe;
                    _etraps.push_back(t);
                }
                gen->_etraps.clear();
                gen->_state = eRunning;
                _top = newbase + p->_stacksize;
                Run(rootframe);
                break;
            }
            case ET_RESUME_VM:
            case ET_RESUME_THROW_VM: {
                rootframe = _suspended_rootframe;
                _suspended = SQFalse;
                if ((SQInteger)_callsstack.size() > rootframe) {
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
    } catch (const SQException &) {
        // errors raised before any script frame ran (argument checks, natives called directly)
        if (raiseerror && !_errorhandled && _etraps.empty()) {
            _errorhandled = true;
            CallErrorHandler(_lasterror);
        }
        while ((SQInteger)_callsstack.size() > rootframe && et != ET_RESUME_VM && et != ET_RESUME_THROW_VM)
            UnwindFrame();
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
        } catch (const std::bad_alloc &) {
            _lasterror.Null();
            try {
                _lasterror = MakeString("out of memory");
            } catch (...) {
            }
            _errorhandled = false;
            if (!HandleError(rootframe)) throw SQException();
        }
    }
}

void SQVM::UnwindFrame() {
    SQGenerator *gen = _callsstack.back()._generator;
    if (gen) {
        gen->_state = eDead;
        gen->CloseOuters();
        gen->_stack.clear();
        gen->_etraps.clear();
    }
    PopFrame();
}

bool SQVM::HandleError(SQInteger rootframe) {
    bool handled = !_etraps.empty() && _etraps.back()._frame >= rootframe;
    if (_raiseerror_active && !_errorhandled &&
        ((!handled && _etraps.empty()) || _sharedstate->_notifyallexceptions)) {
        _errorhandled = true;
        CallErrorHandler(_lasterror);
    }
    if (!handled) {
        while ((SQInteger)_callsstack.size() > rootframe) UnwindFrame();
        return false;
    }
    SQExceptionTrap trap = _etraps.back();
    _etraps.pop_back();
    while ((SQInteger)_callsstack.size() - 1 > trap._frame) UnwindFrame();
    SQCallInfo &ci = _callsstack.back();
    SQFunctionProto *p = _closure(ci._closure)->Proto();
    ci._ip = p->_instructions.data() + trap._ip;
    CloseOuters(ci._base + trap._extarget);
    _stack[ci._base + trap._extarget] = _lasterror;
    _top = ci._base + p->_stacksize;
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
        SQInteger line = CurrentLine(_callsstack.back());
        if (line != _lastline) {
            _lastline = line;
            CallDebugHook('l', line);
        }
    }
}

#define RB ((i.k & K_B) ? K[i.b] : R[i.b])
#define RC ((i.k & K_C) ? K[i.c] : R[i.c])
#define REFRESH()                                         \
    do {                                                  \
        ci = &_callsstack.back();                         \
        closure = _closure(ci->_closure);                 \
        R = _stack + ci->_base;                           \
        K = closure->Proto()->_literals.data();           \
        ip = ci->_ip;                                     \
    } while (0)

static inline bool BothNumeric(const SQObject &a, const SQObject &b) {
    return (a._type & SQOBJECT_NUMERIC) && (b._type & SQOBJECT_NUMERIC);
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

void SQVM::Loop(SQInteger rootframe) {
    SQCallInfo *ci;
    SQClosure *closure;
    SQObjectPtr *R;
    const SQObjectPtr *K;
    const SQInstruction *ip;
    SQSharedState *ss = _sharedstate;
    REFRESH();
    for (;;) {
        if (__builtin_expect(ss->_hooksactive, 0)) {
            ci->_ip = ip;
            HookStep();
            REFRESH();
        }
        const SQInstruction i = *ip++;
        ci->_ip = ip;
        switch (i.op) {
            case OP_LOAD: R[i.a] = K[i.bx()]; continue;
            case OP_LOADINT: R[i.a].SetInt(i.bx()); continue;
            case OP_LOADFLOAT: {
                int32_t bits = i.bx();
                SQFloat f;
                memcpy(&f, &bits, 4);
                R[i.a].SetFloat(f);
                continue;
            }
            case OP_LOADNULL:
                for (int n = 0; n < i.b; n++) R[i.a + n].Null();
                continue;
            case OP_LOADBOOL: R[i.a].SetBool(i.b != 0); continue;
            case OP_MOVE: R[i.a] = R[i.b]; continue;
            case OP_LOADROOT: R[i.a] = GetRootFor(closure); continue;
            case OP_LOADCALLEE: R[i.a] = ci->_closure; continue;
            case OP_GETOUTER: R[i.a] = *_outer(closure->_outervalues[i.b])->_valptr; continue;
            case OP_SETOUTER: *_outer(closure->_outervalues[i.a])->_valptr = R[i.b]; continue;
            case OP_GET: {
                const SQObject &o = R[i.b];
                const SQObject &key = RC;
                if (o._type == OT_TABLE) {
                    if (key._type == OT_STRING) {
                        SQTable::Node *n = _table(o)->FindStr(_string(key));
                        if (n) { R[i.a] = RealVal(n->val); continue; }
                    }
                } else if (o._type == OT_ARRAY) {
                    if (key._type == OT_INTEGER) {
                        SQArray *arr = _array(o);
                        SQUnsignedInteger idx = (SQUnsignedInteger)_integer(key);
                        if (idx < arr->_values.size()) { R[i.a] = RealVal(arr->_values[idx]); continue; }
                    }
                } else if (o._type == OT_INSTANCE && key._type == OT_STRING) {
                    SQInstance *inst = _instance(o);
                    SQTable::Node *n = inst->_class->_members->FindStr(_string(key));
                    if (n) {
                        SQInteger enc = _integer(n->val);
                        if (MemberIsField(enc)) R[i.a] = RealVal(inst->_values[MemberIdx(enc)]);
                        else R[i.a] = RealVal(inst->_class->_methods[MemberIdx(enc)].val);
                        continue;
                    }
                }
                SQObjectPtr obj(o), k(key), tmp;
                Get(obj, k, tmp, 0);
                REFRESH();
                R[i.a] = std::move(tmp);
                continue;
            }
            case OP_PREPCALL: {
                const SQObject &o = R[i.b];
                const SQObject &key = RC;
                SQObjectPtr obj(o);
                if (o._type == OT_INSTANCE && key._type == OT_STRING) {
                    SQInstance *inst = _instance(o);
                    SQTable::Node *n = inst->_class->_members->FindStr(_string(key));
                    if (n) {
                        SQInteger enc = _integer(n->val);
                        if (MemberIsField(enc)) R[i.a] = RealVal(inst->_values[MemberIdx(enc)]);
                        else R[i.a] = RealVal(inst->_class->_methods[MemberIdx(enc)].val);
                        R[i.a + 1] = std::move(obj);
                        continue;
                    }
                } else if (o._type == OT_TABLE && key._type == OT_STRING) {
                    SQTable::Node *n = _table(o)->FindStr(_string(key));
                    if (n) {
                        R[i.a] = RealVal(n->val);
                        R[i.a + 1] = std::move(obj);
                        continue;
                    }
                }
                SQObjectPtr k(key), tmp;
                Get(obj, k, tmp, 0);
                REFRESH();
                R[i.a + 1] = std::move(obj);
                R[i.a] = std::move(tmp);
                continue;
            }
            case OP_SET: {
                const SQObject &o = R[i.a];
                const SQObject &key = RB;
                const SQObject &val = RC;
                if (o._type == OT_TABLE && key._type == OT_STRING) {
                    SQTable::Node *n = _table(o)->FindStr(_string(key));
                    if (n) { n->val = val; continue; }
                } else if (o._type == OT_ARRAY && key._type == OT_INTEGER) {
                    SQArray *arr = _array(o);
                    SQUnsignedInteger idx = (SQUnsignedInteger)_integer(key);
                    if (idx < arr->_values.size()) { arr->_values[idx] = val; continue; }
                } else if (o._type == OT_INSTANCE && key._type == OT_STRING) {
                    SQInstance *inst = _instance(o);
                    SQTable::Node *n = inst->_class->_members->FindStr(_string(key));
                    if (n && MemberIsField(_integer(n->val))) {
                        inst->_values[MemberIdx(_integer(n->val))] = val;
                        continue;
                    }
                }
                SQObjectPtr obj(o), k(key), v(val);
                Set(obj, k, v, true);
                REFRESH();
                continue;
            }
            case OP_NEWSLOT: {
                SQObjectPtr obj(R[i.a]), k(RB), v(RC);
                NewSlot(obj, k, v, false);
                REFRESH();
                continue;
            }
            case OP_GETENV: {
                const SQObject &self = R[0];
                SQString *key = _string(K[i.bx()]);
                if (self._type == OT_TABLE) {
                    SQTable::Node *n = _table(self)->FindStr(key);
                    if (n) { R[i.a] = RealVal(n->val); continue; }
                } else if (self._type == OT_INSTANCE) {
                    SQInstance *inst = _instance(self);
                    SQTable::Node *n = inst->_class->_members->FindStr(key);
                    if (n) {
                        SQInteger enc = _integer(n->val);
                        if (MemberIsField(enc)) R[i.a] = RealVal(inst->_values[MemberIdx(enc)]);
                        else R[i.a] = RealVal(inst->_class->_methods[MemberIdx(enc)].val);
                        continue;
                    }
                }
                SQObjectPtr tmp, selfp(self), k(K[i.bx()]);
                bool plain = (self._type == OT_TABLE && !_table(self)->_delegate) ||
                             (self._type == OT_INSTANCE && _instance(self)->_class->_metamethods[MT_GET]._type == OT_NULL);
                if (plain) {
                    // only the default delegate is left to look at before the root
                    const SQObjectPtr &dd = self._type == OT_TABLE ? ss->_table_default_delegate
                                                                   : ss->_instance_default_delegate;
                    SQTable::Node *n = _table(dd)->FindStr(key);
                    if (n) { R[i.a] = n->val; continue; }
                } else {
                    if (Get(selfp, k, tmp, GET_NO_THROW)) {
                        REFRESH();
                        R[i.a] = std::move(tmp);
                        continue;
                    }
                    REFRESH();
                }
                SQObjectPtr root = GetRootFor(closure);
                if (root._type == OT_TABLE) {
                    SQTable::Node *n = _table(root)->FindStr(key);
                    if (n) { R[i.a] = RealVal(n->val); continue; }
                    if (_table(root)->_delegate && Get(root, k, tmp, GET_NO_THROW)) {
                        REFRESH();
                        R[i.a] = std::move(tmp);
                        continue;
                    }
                }
                RaiseIdxNotFound(k);
            }
            case OP_SETENV: {
                const SQObject &self = R[0];
                SQString *key = _string(K[i.bx()]);
                if (self._type == OT_TABLE) {
                    SQTable::Node *n = _table(self)->FindStr(key);
                    if (n) { n->val = R[i.a]; continue; }
                } else if (self._type == OT_INSTANCE) {
                    SQInstance *inst = _instance(self);
                    SQTable::Node *n = inst->_class->_members->FindStr(key);
                    if (n && MemberIsField(_integer(n->val))) {
                        inst->_values[MemberIdx(_integer(n->val))] = R[i.a];
                        continue;
                    }
                }
                // `this` first (its delegates or its class's _set included), then the root
                SQObjectPtr selfp(self), k(K[i.bx()]), v(R[i.a]);
                if (!Set(selfp, k, v, false)) {
                    SQObjectPtr root = GetRootFor(closure);
                    Set(root, k, v, true);
                }
                REFRESH();
                continue;
            }
            case OP_DELETE: {
                SQObjectPtr obj(R[i.b]), k(RC), res;
                DeleteSlot(obj, k, res);
                REFRESH();
                R[i.a] = std::move(res);
                continue;
            }
#define ARITH_OP(OPC, IOP, FOP)                                                                        \
    case OPC: {                                                                                        \
        const SQObject &x = RB;                                                                        \
        const SQObject &y = RC;                                                                        \
        if (x._type == OT_INTEGER && y._type == OT_INTEGER) {                                          \
            R[i.a].SetInt((SQInteger)((SQUnsignedInteger)_integer(x) IOP(SQUnsignedInteger) _integer(y))); \
            continue;                                                                                  \
        }                                                                                              \
        if (BothNumeric(x, y)) {                                                                       \
            R[i.a].SetFloat(tofloat(x) FOP tofloat(y));                                                \
            continue;                                                                                  \
        }                                                                                              \
        SQObjectPtr o1(x), o2(y), res;                                                                 \
        Arith(i.op, o1, o2, res);                                                                      \
        REFRESH();                                                                                     \
        R[i.a] = std::move(res);                                                                       \
        continue;                                                                                      \
    }
            ARITH_OP(OP_ADD, +, +)
            ARITH_OP(OP_SUB, -, -)
            ARITH_OP(OP_MUL, *, *)
#undef ARITH_OP
            case OP_DIV:
            case OP_MOD: {
                const SQObject &x = RB;
                const SQObject &y = RC;
                if (x._type == OT_INTEGER && y._type == OT_INTEGER && _integer(y) > 0) {
                    R[i.a].SetInt(i.op == OP_DIV ? _integer(x) / _integer(y) : _integer(x) % _integer(y));
                    continue;
                }
                if (x._type == OT_FLOAT && y._type == OT_FLOAT) {
                    R[i.a].SetFloat(i.op == OP_DIV ? _float(x) / _float(y) : fmodf(_float(x), _float(y)));
                    continue;
                }
                SQObjectPtr o1(x), o2(y), res;
                Arith(i.op, o1, o2, res);
                REFRESH();
                R[i.a] = std::move(res);
                continue;
            }
            case OP_BAND: case OP_BOR: case OP_BXOR: case OP_SHL: case OP_SHR: case OP_USHR: {
                const SQObject &x = RB;
                const SQObject &y = RC;
                SQObjectPtr res;
                BitwiseOp(i.op, x, y, res);
                R[i.a] = std::move(res);
                continue;
            }
            case OP_EQ: case OP_NE: {
                bool eq = IsEqual(RB, RC);
                R[i.a].SetBool(i.op == OP_EQ ? eq : !eq);
                continue;
            }
            case OP_LT: case OP_LE: case OP_GT: case OP_GE: {
                const SQObject &x = RB;
                const SQObject &y = RC;
                SQInteger c;
                if (x._type == OT_INTEGER && y._type == OT_INTEGER) {
                    c = _integer(x) < _integer(y) ? -1 : (_integer(x) > _integer(y) ? 1 : 0);
                } else if (BothNumeric(x, y)) {
                    c = NumCmp(x, y);
                } else {
                    SQObjectPtr o1(x), o2(y);
                    c = ObjCmp(o1, o2);
                    REFRESH();
                }
                bool r;
                switch (i.op) {
                    case OP_LT: r = c < 0; break;
                    case OP_LE: r = c <= 0; break;
                    case OP_GT: r = c > 0; break;
                    default: r = c >= 0; break;
                }
                R[i.a].SetBool(r);
                continue;
            }
            case OP_CMP3: {
                SQObjectPtr o1(RB), o2(RC);
                SQInteger c = ObjCmp(o1, o2);
                REFRESH();
                R[i.a].SetInt(c);
                continue;
            }
            case OP_NEG: {
                const SQObject &x = R[i.b];
                if (x._type == OT_INTEGER) { R[i.a].SetInt((SQInteger)(0 - (SQUnsignedInteger)_integer(x))); continue; }
                if (x._type == OT_FLOAT) { R[i.a].SetFloat(-_float(x)); continue; }
                SQObjectPtr o(x), res;
                Negate(o, res);
                REFRESH();
                R[i.a] = std::move(res);
                continue;
            }
            case OP_NOT: R[i.a].SetBool(IsFalse(R[i.b])); continue;
            case OP_BNOT: {
                const SQObject &x = R[i.b];
                if (x._type != OT_INTEGER) Raise("attempt to perform a bitwise op on a %s", GetTypeName(x));
                R[i.a].SetInt(~_integer(x));
                continue;
            }
            case OP_JMP: ip += i.bx(); continue;
            case OP_JZ: if (IsFalse(R[i.a])) ip += i.bx(); continue;
            case OP_JNZ: if (!IsFalse(R[i.a])) ip += i.bx(); continue;
            case OP_JCMP: {
                const SQObject &x = R[i.a];
                const SQObject &y = RB;
                int kind = i.k >> 2;
                bool r;
                if (x._type == OT_INTEGER && y._type == OT_INTEGER) {
                    SQInteger a = _integer(x), b = _integer(y);
                    switch (kind) {
                        case CMP_LT: r = a < b; break;
                        case CMP_LE: r = a <= b; break;
                        case CMP_GT: r = a > b; break;
                        case CMP_GE: r = a >= b; break;
                        case CMP_EQ: r = a == b; break;
                        default: r = a != b; break;
                    }
                } else if (BothNumeric(x, y)) {
                    if (kind == CMP_EQ || kind == CMP_NE) {
                        bool eq = tofloat(x) == tofloat(y);
                        r = kind == CMP_EQ ? eq : !eq;
                    } else {
                        SQInteger c = NumCmp(x, y);
                        switch (kind) {
                            case CMP_LT: r = c < 0; break;
                            case CMP_LE: r = c <= 0; break;
                            case CMP_GT: r = c > 0; break;
                            default: r = c >= 0; break;
                        }
                    }
                } else if (kind == CMP_EQ || kind == CMP_NE) {
                    bool eq = IsEqual(x, y);
                    r = kind == CMP_EQ ? eq : !eq;
                } else {
                    SQObjectPtr o1(x), o2(y);
                    SQInteger c = ObjCmp(o1, o2);
                    REFRESH();
                    switch (kind) {
                        case CMP_LT: r = c < 0; break;
                        case CMP_LE: r = c <= 0; break;
                        case CMP_GT: r = c > 0; break;
                        default: r = c >= 0; break;
                    }
                }
                if (!r) ip += 1 + ip->bx();
                else ip += 1;
                continue;
            }
            case OP_CALL: {
                SQInteger base = ci->_base;
                if (!LoopCall(R[i.a], base + i.c, i.b, base + i.a + 1, rootframe)) return;
                REFRESH();
                continue;
            }
            case OP_TAILCALL: {
                const SQObject &f = R[i.a];
                if (f._type == OT_CLOSURE && !_closure(f)->Proto()->_bgenerator && !ci->_generator &&
                    (_etraps.empty() || _etraps.back()._frame < (SQInteger)_callsstack.size() - 1)) {
                    SQObjectPtr fn(f);
                    SQInteger base = ci->_base, target = ci->_target;
                    bool root = ci->_root;
                    SQInteger nargs = i.b;
                    CloseOuters(base);
                    for (SQInteger n = 0; n < nargs; n++) R[n] = std::move(R[i.a + 1 + n]);
                    SQInteger end = base + closure->Proto()->_stacksize;
                    for (SQInteger n = base + nargs; n < end; n++) _stack[n].Null();
                    _callsstack.pop_back();
                    bool pushed = StartCall(_closure(fn), target, nargs, base, true);
                    if (pushed) {
                        _callsstack.back()._root = root;
                        REFRESH();
                        continue;
                    }
                    if (root) return;
                    REFRESH();
                    _top = ci->_base + closure->Proto()->_stacksize;
                    continue;
                }
                SQInteger base = ci->_base;
                if (!LoopCall(R[i.a], base + i.a, i.b, base + i.a + 1, rootframe)) return;
                REFRESH();
                continue;
            }
            case OP_RETURN: {
                SQObjectPtr ret;
                if (i.b) ret = R[i.a];
                bool root = ci->_root;
                SQInteger target = ci->_target;
                SQGenerator *gen = ci->_generator;
                if (gen) {
                    gen->_state = eDead;
                    gen->CloseOuters();
                    gen->_stack.clear();
                }
                PopFrame();
                StoreResult(target, ret);
                if (root) return;
                REFRESH();
                _top = ci->_base + closure->Proto()->_stacksize;
                continue;
            }
            case OP_NEWTABLE:
                R[i.a] = SQObjectPtr(OT_TABLE, SQTable::Create(ss, i.bx() < 4096 ? i.bx() : 4096));
                continue;
            case OP_NEWARRAY: {
                SQArray *a = SQArray::Create(ss, 0);
                a->_values.reserve((size_t)(i.bx() < 4096 ? (i.bx() < 0 ? 0 : i.bx()) : 4096));
                R[i.a] = SQObjectPtr(OT_ARRAY, a);
                continue;
            }
            case OP_APPEND:
                if (R[i.a]._type != OT_ARRAY) Raise("append to a non array");
                _array(R[i.a])->_values.push_back(RB);
                continue;
            case OP_CLOSURE: {
                SQFunctionProto *fp = _funcproto(closure->Proto()->_functions[(size_t)i.bx()]);
                SQClosure *nc = SQClosure::Create(ss, fp, closure->_root);
                SQObjectPtr ncobj(OT_CLOSURE, nc);
                for (size_t o = 0; o < fp->_outervalues.size(); o++) {
                    const SQOuterVar &ov = fp->_outervalues[o];
                    if (ov._type == otLOCAL)
                        nc->_outervalues[o] = SQObjectPtr(OT_OUTER, FindOuter(ci->_base + ov._src));
                    else
                        nc->_outervalues[o] = closure->_outervalues[(size_t)ov._src];
                }
                for (SQInteger d = 0; d < fp->_ndefaultparams; d++) nc->_defaultparams[(size_t)d] = R[i.a + d];
                R[i.a] = std::move(ncobj);
                continue;
            }
            case OP_BINDENV: {
                const SQObject &env = R[i.a];
                const SQObject &fn = R[i.b];
                if (env._type != OT_TABLE && env._type != OT_CLASS && env._type != OT_INSTANCE)
                    Raise("cannot bind a %s as environment object", GetTypeName(env));
                SQWeakRef *w = env._unVal.pRefCounted->GetWeakRef(env._type);
                if (fn._type == OT_CLOSURE) {
                    SQClosure *c = _closure(fn)->Clone();
                    c->SetEnv(w);
                    R[i.a] = SQObjectPtr(OT_CLOSURE, c);
                }
                continue;
            }
            case OP_NEWCLASS: {
                SQClass *base = nullptr;
                if (i.b != NO_REG) {
                    if (R[i.b]._type != OT_CLASS) Raise("trying to inherit from a %s", GetTypeName(R[i.b]));
                    base = _class(R[i.b]);
                }
                SQClass *c = SQClass::Create(ss, base);
                SQObjectPtr cobj(OT_CLASS, c);
                if (i.c != NO_REG) c->_attributes = R[i.c];
                if (base && base->_metamethods[MT_INHERITED]._type != OT_NULL) {
                    SQObjectPtr mm = base->_metamethods[MT_INHERITED];
                    Push(cobj);
                    Push(c->_attributes);
                    SQObjectPtr dummy;
                    CallMetaOrThrow(mm, 2, dummy);
                    REFRESH();
                }
                R[i.a] = std::move(cobj);
                continue;
            }
            case OP_NEWMEMBER: {
                SQObjectPtr cls(R[i.a]), key(R[i.b + 1]), val(R[i.b + 2]);
                SQObjectPtr attrs;
                if (i.c & 2) attrs = R[i.b];
                bool bstatic = (i.c & 1) != 0;
                NewSlotA(cls, key, val, attrs, bstatic, false);
                REFRESH();
                continue;
            }
            case OP_FOREACH: {
                bool more = ForeachStep(ci->_base + i.a, ci->_base + i.b);
                REFRESH();
                if (!more) ip += 1 + ip->bx();
                else ip += 1;
                continue;
            }
            case OP_TYPEOF: {
                SQObjectPtr o(R[i.b]), res;
                TypeOf(o, res);
                REFRESH();
                R[i.a] = std::move(res);
                continue;
            }
            case OP_INSTANCEOF: {
                const SQObject &o = R[i.b];
                const SQObject &c = R[i.c];
                if (c._type != OT_CLASS)
                    Raise("cannot apply instanceof between a %s and a %s", GetTypeName(o), GetTypeName(c));
                R[i.a].SetBool(o._type == OT_INSTANCE && _instance(o)->InstanceOf(_class(c)));
                continue;
            }
            case OP_IN: {  // raw: a table's own slots, an instance's or class's members
                SQObjectPtr key(RB), obj(R[i.c]), tmp;
                R[i.a].SetBool(Get(obj, key, tmp, GET_NO_THROW | GET_RAW));
                continue;
            }
            case OP_CLONE: {
                SQObjectPtr o(R[i.b]), res;
                Clone(o, res);
                REFRESH();
                R[i.a] = std::move(res);
                continue;
            }
            case OP_YIELD: {
                SQGenerator *gen = ci->_generator;
                if (!gen) Raise("trying to yield a 'function',only genenerator can be yielded");
                SQObjectPtr val;
                if (i.b) val = R[i.a];
                SQInteger base = ci->_base;
                SQFunctionProto *p = closure->Proto();
                gen->_stack.resize((size_t)p->_stacksize);
                for (SQInteger n = 0; n < p->_stacksize; n++) gen->_stack[(size_t)n] = std::move(_stack[base + n]);
                // outers into this frame follow the values into the generator
                while (_openouters && _openouters->_idx >= base) {
                    SQOuter *o = _openouters;
                    _openouters = o->_nextopen;
                    o->_nextopen = nullptr;
                    o->_vm = nullptr;
                    o->_idx -= base;
                    o->_valptr = &gen->_stack[(size_t)o->_idx];
                    o->_gen = gen;
                    gen->_outers.push_back(o);
                }
                gen->_ip = ip - p->_instructions.data();
                SQInteger frameidx = (SQInteger)_callsstack.size() - 1;
                size_t first = _etraps.size();
                while (first > 0 && _etraps[first - 1]._frame >= frameidx) first--;
                gen->_etraps.assign(_etraps.begin() + (std::ptrdiff_t)first, _etraps.end());
                _etraps.resize(first);
                gen->_state = eSuspended;
                SQInteger target = ci->_target;
                bool root = ci->_root;
                _callsstack.pop_back();
                StoreResult(target, val);
                if (root) return;
                REFRESH();
                continue;
            }
            case OP_RESUME: {
                const SQObject &g = R[i.b];
                if (g._type != OT_GENERATOR)
                    Raise("trying to resume a '%s',only genenerator can be resumed", GetTypeName(g));
                SQObjectPtr gen(g), res;
                ResumeGenerator(_generator(gen), res);
                REFRESH();
                R[i.a] = std::move(res);
                continue;
            }
            case OP_THROW: RaiseObj(R[i.a]);
            case OP_PUSHTRAP: {
                SQExceptionTrap t;
                t._stackbase = ci->_base;
                t._stacksize = i.a;
                t._ip = (ip - closure->Proto()->_instructions.data()) + i.bx();
                t._extarget = i.a;
                t._frame = (SQInteger)_callsstack.size() - 1;
                _etraps.push_back(t);
                continue;
            }
            case OP_POPTRAP:
                for (int n = 0; n < i.a && !_etraps.empty(); n++) _etraps.pop_back();
                continue;
            case OP_GETBASE: {
                if (closure->_base) R[i.a] = SQObjectPtr(OT_CLASS, closure->_base);
                else R[i.a].Null();
                continue;
            }
            case OP_CLOSE: CloseOuters(ci->_base + i.a); continue;
            default: Raise("invalid instruction");
        }
    }
}
