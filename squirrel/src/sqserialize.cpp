// Compiled-closure streams (sq_writeclosure / sq_readclosure). The reader
// treats the stream as untrusted: every count is bounded and every instruction
// operand is checked against its prototype before the closure is created.
#include <cstring>

#include "sqvm.h"

namespace {

constexpr uint32_t kMagic = 0x52495153;  // "SQIR"
constexpr uint32_t kTail = 0x4C494154;   // "TAIL"
constexpr uint32_t kFormat = 1;
constexpr SQInteger kMaxCount = 1 << 24;

struct SerialError {
    const char *msg;
};

struct Writer {
    SQWRITEFUNC f;
    SQUserPointer up;
    void Bytes(const void *p, SQInteger n) {
        if (n > 0 && f(up, (SQUserPointer)p, n) != n) throw SerialError{"io error"};
    }
    void U32(uint32_t v) { Bytes(&v, 4); }
    void I64(SQInteger v) { Bytes(&v, 8); }
    void Obj(const SQObject &o) {
        U32((uint32_t)o._type);
        switch (o._type) {
            case OT_NULL: break;
            case OT_INTEGER:
            case OT_BOOL: I64(_integer(o)); break;
            case OT_FLOAT: Bytes(&o._unVal.fFloat, 4); break;
            case OT_STRING:
                I64(_string(o)->_len);
                Bytes(_string(o)->_val, _string(o)->_len);
                break;
            default: throw SerialError{"cannot serialize a literal of this type"};
        }
    }
    void Proto(const SQFunctionProto *p) {
        Obj(p->_sourcename);
        Obj(p->_name);
        I64(p->_nparameters);
        I64(p->_ndefaultparams);
        I64(p->_stacksize);
        I64(p->_varparams);
        I64(p->_bgenerator ? 1 : 0);
        I64((SQInteger)p->_parameters.size());
        for (auto &o : p->_parameters) Obj(o);
        I64((SQInteger)p->_literals.size());
        for (auto &o : p->_literals) Obj(o);
        I64((SQInteger)p->_outervalues.size());
        for (auto &ov : p->_outervalues) {
            I64(ov._type);
            I64(ov._src);
            Obj(ov._name);
        }
        I64((SQInteger)p->_localvarinfos.size());
        for (auto &lv : p->_localvarinfos) {
            Obj(lv._name);
            I64((SQInteger)lv._start_op);
            I64((SQInteger)lv._end_op);
            I64((SQInteger)lv._pos);
        }
        I64((SQInteger)p->_lineinfos.size());
        for (auto &li : p->_lineinfos) {
            I64(li._line);
            I64(li._op);
        }
        I64((SQInteger)p->_instructions.size());
        Bytes(p->_instructions.data(), (SQInteger)(p->_instructions.size() * sizeof(SQInstruction)));
        I64((SQInteger)p->_functions.size());
        for (auto &f : p->_functions) Proto(_funcproto(f));
    }
};

struct Reader {
    SQREADFUNC f;
    SQUserPointer up;
    SQSharedState *ss;
    int depth = 0;
    void Bytes(void *p, SQInteger n) {
        if (n > 0 && f(up, p, n) != n) throw SerialError{"io error"};
    }
    uint32_t U32() {
        uint32_t v;
        Bytes(&v, 4);
        return v;
    }
    SQInteger I64() {
        SQInteger v;
        Bytes(&v, 8);
        return v;
    }
    // n elements into c: the container grows with the bytes that arrive, so a forged
    // count in a short stream costs no large allocation
    template <class C>
    void Array(C &c, SQInteger n) {
        const SQInteger chunk = 65536 / (SQInteger)sizeof(c[0]);
        c.clear();
        for (SQInteger done = 0; done < n;) {
            const SQInteger k = n - done < chunk ? n - done : chunk;
            c.resize((size_t)(done + k));
            Bytes(&c[(size_t)done], k * (SQInteger)sizeof(c[0]));
            done += k;
        }
    }
    SQInteger Count() {
        SQInteger n = I64();
        if (n < 0 || n > kMaxCount) throw SerialError{"corrupted stream"};
        return n;
    }
    SQObjectPtr Obj() {
        // compared as a number: a foreign value is no SQObjectType to load
        const uint32_t t = U32();
        switch (t) {
            case (uint32_t)OT_NULL: return SQObjectPtr();
            case (uint32_t)OT_INTEGER: return SQObjectPtr(I64());
            case (uint32_t)OT_BOOL: return SQObjectPtr(I64() != 0);
            case (uint32_t)OT_FLOAT: {
                SQFloat fl;
                Bytes(&fl, 4);
                return SQObjectPtr(fl);
            }
            case (uint32_t)OT_STRING: {
                SQInteger n = Count();
                std::string s;
                Array(s, n);
                return ss->MakeString(s.data(), n);
            }
            default: throw SerialError{"corrupted stream"};
        }
    }
    SQObjectPtr Str() {
        SQObjectPtr o = Obj();
        if (o._type != OT_STRING && o._type != OT_NULL) throw SerialError{"corrupted stream"};
        return o;
    }
    SQObjectPtr Proto(const SQFunctionProto *parent) {
        if (++depth > 200) throw SerialError{"corrupted stream"};
        SQFunctionProto *p = new SQFunctionProto();
        SQObjectPtr ref(OT_FUNCPROTO, p);
        p->_sharedstate = ss;
        p->_sourcename = Str();
        p->_name = Str();
        p->_nparameters = I64();
        p->_ndefaultparams = I64();
        p->_stacksize = I64();
        p->_varparams = I64();
        p->_bgenerator = I64() != 0;
        if (p->_stacksize < 1 || p->_stacksize > 0x10000 || p->_nparameters < 1 ||
            p->_nparameters + p->_varparams > p->_stacksize || p->_ndefaultparams < 0 ||
            p->_ndefaultparams >= p->_nparameters || (p->_varparams != 0 && p->_varparams != 1))
            throw SerialError{"corrupted stream"};
        for (SQInteger n = Count(); n > 0; n--) p->_parameters.push_back(Str());
        for (SQInteger n = Count(); n > 0; n--) p->_literals.push_back(Obj());
        for (SQInteger n = Count(); n > 0; n--) {
            SQOuterVar ov;
            SQInteger type = I64();
            ov._src = I64();
            ov._name = Str();
            if (type != otLOCAL && type != otOUTER) throw SerialError{"corrupted stream"};
            ov._type = (SQOuterType)type;
            if (!parent) throw SerialError{"corrupted stream"};
            SQInteger limit = type == otLOCAL ? parent->_stacksize : (SQInteger)parent->_outervalues.size();
            if (ov._src < 0 || ov._src >= limit) throw SerialError{"corrupted stream"};
            p->_outervalues.push_back(ov);
        }
        for (SQInteger n = Count(); n > 0; n--) {
            SQLocalVarInfo lv;
            lv._name = Str();
            if (lv._name._type != OT_STRING) throw SerialError{"corrupted stream"};
            lv._start_op = (SQUnsignedInteger)I64();
            lv._end_op = (SQUnsignedInteger)I64();
            lv._pos = (SQUnsignedInteger)I64();
            if (lv._pos >= (SQUnsignedInteger)p->_stacksize) throw SerialError{"corrupted stream"};
            p->_localvarinfos.push_back(lv);
        }
        for (SQInteger n = Count(); n > 0; n--) {
            SQLineInfo li;
            li._line = I64();
            li._op = I64();
            p->_lineinfos.push_back(li);
        }
        SQInteger ninstr = Count();
        Array(p->_instructions, ninstr);
        for (SQInteger n = Count(); n > 0; n--) p->_functions.push_back(Proto(p));
        Verify(p);
        p->Finish();
        depth--;
        return ref;
    }
    // every operand must stay inside the frame, the literals and the code
    static void Verify(const SQFunctionProto *p) {
        const SQInteger n = (SQInteger)p->_instructions.size();
        const SQInteger regs = p->_stacksize;
        const SQInteger nk = (SQInteger)p->_literals.size();
        auto bad = []() { throw SerialError{"invalid bytecode"}; };
        auto reg = [&](SQInteger r) {
            if (r < 0 || r >= regs) bad();
        };
        auto lit = [&](SQInteger k) {
            if (k < 0 || k >= nk) bad();
        };
        auto rk = [&](SQInteger v, bool isk) { isk ? lit(v) : reg(v); };
        auto target = [&](SQInteger at, SQInteger off) {
            SQInteger t = at + 1 + off;
            if (t < 0 || t >= n) bad();
        };
        auto strlit = [&](SQInteger k) {
            lit(k);
            if (p->_literals[(size_t)k]._type != OT_STRING) bad();
        };
        if (n == 0 || p->_instructions[(size_t)(n - 1)].op != OP_RETURN) bad();
        for (SQInteger at = 0; at < n; at++) {
            const SQInstruction &i = p->_instructions[(size_t)at];
            bool kb = (i.k & K_B) != 0, kc = (i.k & K_C) != 0;
            switch (i.op) {
                case OP_LOAD:
                    reg(i.a);
                    lit(i.bx());
                    break;
                case OP_LOADINT:
                case OP_LOADFLOAT:
                case OP_LOADBOOL:
                case OP_LOADROOT:
                case OP_LOADCALLEE:
                case OP_NEWTABLE:
                case OP_NEWARRAY:
                case OP_GETBASE:
                case OP_THROW:
                case OP_CLOSE: reg(i.a); break;
                case OP_LOADNULL:
                    reg(i.a);
                    if (i.a + i.b > regs) bad();
                    break;
                case OP_MOVE:
                case OP_NEG:
                case OP_NOT:
                case OP_BNOT:
                case OP_TYPEOF:
                case OP_CLONE:
                case OP_RESUME:
                case OP_BINDENV:
                    reg(i.a);
                    reg(i.b);
                    break;
                case OP_GETOUTER:
                    reg(i.a);
                    if (i.b >= p->_outervalues.size()) bad();
                    break;
                case OP_SETOUTER:
                    reg(i.b);
                    if (i.a >= p->_outervalues.size()) bad();
                    break;
                case OP_GET:
                case OP_DELETE:
                    reg(i.a);
                    reg(i.b);
                    rk(i.c, kc);
                    break;
                case OP_PREPCALL:
                    reg(i.a);
                    reg(i.a + 1);
                    reg(i.b);
                    rk(i.c, kc);
                    break;
                case OP_SET:
                case OP_NEWSLOT:
                    reg(i.a);
                    rk(i.b, kb);
                    rk(i.c, kc);
                    break;
                case OP_GETENV:
                case OP_SETENV:
                    reg(i.a);
                    strlit(i.bx());
                    break;
                case OP_PREPENV:
                    reg(i.a);
                    reg(i.a + 1);
                    strlit(i.bx());
                    break;
                case OP_FORINC:
                    reg(i.a);
                    rk(i.b, kb);
                    lit(i.c);
                    if (((i.k >> 2) & 7) > CMP_GE || p->_literals[(size_t)i.c]._type != OT_INTEGER || at + 1 >= n ||
                        p->_instructions[(size_t)(at + 1)].op != OP_DATA)
                        bad();
                    target(at + 1, p->_instructions[(size_t)(at + 1)].bx());
                    at++;
                    break;
                case OP_ADD:
                case OP_SUB:
                case OP_MUL:
                case OP_DIV:
                case OP_MOD:
                case OP_BAND:
                case OP_BOR:
                case OP_BXOR:
                case OP_SHL:
                case OP_SHR:
                case OP_USHR:
                case OP_EQ:
                case OP_NE:
                case OP_LT:
                case OP_LE:
                case OP_GT:
                case OP_GE:
                case OP_CMP3:
                    reg(i.a);
                    rk(i.b, kb);
                    rk(i.c, kc);
                    break;
                case OP_JMP: target(at, i.bx()); break;
                case OP_JZ:
                case OP_JNZ:
                    reg(i.a);
                    target(at, i.bx());
                    break;
                case OP_FOREACH:
                    reg(i.a);
                    reg(i.b + 2);
                    if (at + 1 >= n || p->_instructions[(size_t)(at + 1)].op != OP_DATA) bad();
                    target(at + 1, p->_instructions[(size_t)(at + 1)].bx());
                    at++;
                    break;
                case OP_JLT:
                case OP_JLE:
                case OP_JGT:
                case OP_JGE:
                case OP_JEQ:
                case OP_JNE:
                    if ((i.k >> 2) != i.op - OP_JLT) bad();
                    [[fallthrough]];
                case OP_JCMP:
                    reg(i.a);
                    rk(i.b, kb);
                    if ((i.k >> 2) > CMP_NE || at + 1 >= n || p->_instructions[(size_t)(at + 1)].op != OP_DATA) bad();
                    target(at + 1, p->_instructions[(size_t)(at + 1)].bx());
                    at++;
                    break;
                case OP_CALL:
                case OP_TAILCALL:
                    reg(i.a);
                    if (i.b < 1 || i.a + i.b >= regs) bad();
                    if (i.op == OP_CALL) reg(i.c);
                    break;
                case OP_RETURN:
                case OP_YIELD:
                    if (i.b) reg(i.a);
                    break;
                case OP_APPEND:
                    reg(i.a);
                    rk(i.b, kb);
                    break;
                case OP_CLOSURE: {
                    reg(i.a);
                    SQInteger fi = i.bx();
                    if (fi < 0 || fi >= (SQInteger)p->_functions.size()) bad();
                    if (i.a + _funcproto(p->_functions[(size_t)fi])->_ndefaultparams > regs) bad();
                    break;
                }
                case OP_NEWCLASS:
                    reg(i.a);
                    if (i.b != NO_REG) reg(i.b);
                    if (i.c != NO_REG) reg(i.c);
                    break;
                case OP_NEWMEMBER:
                    reg(i.a);
                    reg(i.b + 2);
                    break;
                case OP_INSTANCEOF:
                    reg(i.a);
                    reg(i.b);
                    reg(i.c);
                    break;
                case OP_IN:
                    reg(i.a);
                    rk(i.b, kb);
                    reg(i.c);
                    break;
                case OP_PUSHTRAP:
                    reg(i.a);
                    target(at, i.bx());
                    break;
                case OP_POPTRAP: break;
                default: bad();
            }
        }
    }
};

}  // namespace

SQRESULT sq_writeclosure(HSQUIRRELVM v, SQWRITEFUNC writef, SQUserPointer up) {
    SQObjectPtr o = v->_top > v->_stackbase ? v->Top() : SQObjectPtr();
    if (o._type != OT_CLOSURE) return sq_throwerror(v, "the object is not a closure");
    SQClosure *c = _closure(o);
    if (!c->_outervalues.empty()) return sq_throwerror(v, "a closure with free variables cannot be serialized");
    try {
        Writer w{writef, up};
        uint16_t tag = SQ_BYTECODE_STREAM_TAG;
        w.Bytes(&tag, 2);
        w.U32(kMagic);
        w.U32(kFormat);
        w.U32((uint32_t)sizeof(SQChar));
        w.U32((uint32_t)sizeof(SQInteger));
        w.U32((uint32_t)sizeof(SQFloat));
        w.Proto(c->Proto());
        w.U32(kTail);
    } catch (const SerialError &e) { return sq_throwerror(v, e.msg); } catch (const std::bad_alloc &e) {
        return sq_throwerror(v, sq_allocerrortext(e));
    }
    return SQ_OK;
}

SQRESULT sq_readclosure(HSQUIRRELVM v, SQREADFUNC readf, SQUserPointer up) {
    try {
        Reader r{readf, up, v->_sharedstate};
        uint16_t tag;
        r.Bytes(&tag, 2);
        if (tag != SQ_BYTECODE_STREAM_TAG) throw SerialError{"invalid stream"};
        if (r.U32() != kMagic || r.U32() != kFormat) throw SerialError{"invalid stream"};
        if (r.U32() != sizeof(SQChar) || r.U32() != sizeof(SQInteger) || r.U32() != sizeof(SQFloat))
            throw SerialError{"the stream was written by an incompatible build"};
        SQObjectPtr proto = r.Proto(nullptr);
        if (!_funcproto(proto)->_outervalues.empty()) throw SerialError{"corrupted stream"};
        if (r.U32() != kTail) throw SerialError{"corrupted stream"};
        SQWeakRef *root = nullptr;
        if (v->_roottable._type == OT_TABLE) root = v->_roottable._unVal.pRefCounted->GetWeakRef(OT_TABLE);
        SQClosure *c = SQClosure::Create(v->_sharedstate, _funcproto(proto), root);
        v->Push(SQObjectPtr(OT_CLOSURE, c));
    } catch (const SerialError &e) { return sq_throwerror(v, e.msg); } catch (const std::bad_alloc &e) {
        return sq_throwerror(v, sq_allocerrortext(e));
    } catch (const SQException &) { return SQ_ERROR; }
    return SQ_OK;
}
