// Expression half of the compiler: function state, register allocation,
// code emission and every expression form (including function and class
// literals). Statements are compiled by the derived class in sqcompiler.cpp.
//
// Registers: locals occupy R[0..nlocals-1] in declaration order (R[0] is
// `this`), temporaries are allocated above them in stack order and released at
// the end of each statement.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>

#include "sqlexer.h"
#include "sqvm.h"

namespace sqcomp {

constexpr int kMaxDepth = 200;
constexpr int kMaxRegs = 60000;

enum ExpKind { E_VOID, E_REG, E_LOCAL, E_K, E_INT, E_FLOAT, E_NULL, E_BOOL, E_OUTER, E_FIELD, E_ENV, E_CMP };

struct Exp {
    ExpKind k = E_VOID;
    int r = 0;    // register / literal / outer index; E_FIELD object; E_CMP left operand
    int key = 0;  // E_FIELD key, E_CMP right operand
    bool keyk = false;
    bool rk = false;  // E_CMP left operand is a literal
    SQInteger ival = 0;
    SQFloat fval = 0;
    int cmp = 0;
    bool isbase = false;
};

struct LocalVar {
    SQObjectPtr name;
    int reg;
    size_t infoidx;
    bool captured;
};

struct LoopInfo {
    std::vector<int> breaks;
    std::vector<int> continues;
    int contpos = -1;
    int ntraps;
    int nlocals;
    bool isswitch;
};

struct FuncState {
    FuncState *parent = nullptr;
    SQObjectPtr protoref;
    SQFunctionProto *proto = nullptr;
    std::vector<LocalVar> locals;
    int freereg = 0;
    int maxstack = 1;
    std::map<std::pair<int, SQRawObjectVal>, int> literalmap;
    std::vector<std::unique_ptr<LoopInfo>> loops;
    int ntraps = 0;
    SQInteger lastline = -1;
    int lasttarget = -1;  // the furthest position a jump was patched to go
};

// Code cut out of a function to be emitted again elsewhere (loop conditions and
// increments go after the body), with its line numbers.
struct CodeBlock {
    std::vector<SQInstruction> code;
    std::vector<SQLineInfo> lines;  // _op relative to the block
};

class ExprCompiler {
public:
    ExprCompiler(SQVM *v, const char *src, size_t len, const char *srcname)
        : _lex(src, len), _vm(v), _ss(v->_sharedstate) {
        _sourcename = _ss->MakeString(srcname ? srcname : "unknown");
    }
    virtual ~ExprCompiler() = default;

    SQLexer _lex;

protected:
    virtual void Statement() = 0;
    SQVM *_vm;
    SQSharedState *_ss;
    FuncState *_fs = nullptr;
    SQObjectPtr _sourcename;
    SQInteger _lastline = 1;
    int _depth = 0;

    struct DepthGuard {
        ExprCompiler *c;
        explicit DepthGuard(ExprCompiler *cc) : c(cc) {
            if (++c->_depth > kMaxDepth) c->Error("nesting too deep");
        }
        ~DepthGuard() { c->_depth--; }
    };

    // ------------------------------------------------------------ basics
    [[noreturn]] void Error(const char *fmt, ...) __attribute__((format(printf, 2, 3))) {
        char buf[512];
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(buf, sizeof buf, fmt, ap);
        va_end(ap);
        _lex.Error(buf);
    }
    SQInteger Tok() const { return _lex._token; }
    void Lex() {
        _lastline = _lex._tokenline;
        _lex.Lex();
    }
    void Expect(SQInteger t) {
        if (Tok() != t) {
            if (t == TK_IDENTIFIER) Error("expected 'IDENTIFIER'");
            if (t < 256) Error("expected '%c'", (int)t);
            const char *s = SQLexer::Tok2Str(t);
            Error("expected '%s'", s ? s : "?");
        }
        Lex();
    }
    SQObjectPtr ExpectId() {
        if (Tok() != TK_IDENTIFIER) {
            if (Tok() == TK_CONSTRUCTOR) {
                Lex();
                return _ss->MakeString("constructor");
            }
            Error("expected 'IDENTIFIER'");
        }
        SQObjectPtr s = _ss->MakeString(_lex._svalue.data(), (SQInteger)_lex._svalue.size());
        Lex();
        return s;
    }
    bool EndOfStatement() const { return _lex._prevnewline || Tok() == TK_EOS || Tok() == '}' || Tok() == ';'; }
    void OptionalSemicolon() {
        if (Tok() == ';') {
            Lex();
            return;
        }
        if (!EndOfStatement() && Tok() != TK_CASE && Tok() != TK_DEFAULT) Error("end of statement expected (; or lf)");
    }

    // ------------------------------------------------------------ function state
    void NewFunc(FuncState &fs, const SQObjectPtr &name) {
        fs.proto = new SQFunctionProto();
        fs.protoref = SQObjectPtr(OT_FUNCPROTO, fs.proto);
        fs.proto->_sharedstate = _ss;
        fs.proto->_name = name;
        fs.proto->_sourcename = _sourcename;
        fs.parent = _fs;
    }
    void FinishFunc(FuncState &fs) {
        SQFunctionProto *p = fs.proto;
        for (auto &l : fs.locals)
            if (l.infoidx != kNoInfo) p->_localvarinfos[l.infoidx]._end_op = p->_instructions.size();
        p->_stacksize = fs.maxstack;
        p->Finish();
    }
    int Pos() const { return (int)_fs->proto->_instructions.size(); }
    int Emit(int op, int a, int b, int c, int k = 0) {
        SQFunctionProto *p = _fs->proto;
        if (_fs->lastline != _lastline) {
            p->_lineinfos.push_back({_lastline, (SQInteger)p->_instructions.size()});
            _fs->lastline = _lastline;
        }
        SQInstruction i;
        i.op = (uint8_t)op;
        i.k = (uint8_t)k;
        i.a = (uint16_t)a;
        i.b = (uint16_t)b;
        i.c = (uint16_t)c;
        p->_instructions.push_back(i);
        return (int)p->_instructions.size() - 1;
    }
    int EmitBx(int op, int a, int32_t bx) {
        int at = Emit(op, a, 0, 0);
        _fs->proto->_instructions[at].setbx(bx);
        return at;
    }
    int EmitJump(int op, int a = 0) { return EmitBx(op, a, 0); }
    void Patch(int handle, int target) {
        if (handle < 0) return;
        _fs->proto->_instructions[handle].setbx(target - (handle + 1));
        if (target > _fs->lasttarget) _fs->lasttarget = target;
    }
    // removes the code emitted from `from` on (no jump may lead into it)
    CodeBlock CutCode(int from) {
        CodeBlock b;
        auto &ins = _fs->proto->_instructions;
        auto &li = _fs->proto->_lineinfos;
        b.code.assign(ins.begin() + from, ins.end());
        ins.resize((size_t)from);
        size_t first = li.size();
        while (first > 0 && li[first - 1]._op >= from) first--;
        if (!b.code.empty() && (first == li.size() || li[first]._op != from) && first > 0)
            b.lines.push_back({li[first - 1]._line, 0});
        for (size_t n = first; n < li.size(); n++) b.lines.push_back({li[n]._line, li[n]._op - from});
        li.resize(first);
        _fs->lastline = -1;
        return b;
    }
    void PasteCode(const CodeBlock &b) {
        auto &ins = _fs->proto->_instructions;
        SQInteger at = (SQInteger)ins.size();
        for (const auto &l : b.lines) _fs->proto->_lineinfos.push_back({l._line, at + l._op});
        ins.insert(ins.end(), b.code.begin(), b.code.end());
        _fs->lastline = -1;
    }
    // Makes the last instruction, which computed temporary `from`, write `to`
    // instead, when it is the only way to this point. Saves a move.
    bool RetargetLast(int from, int to) {
        auto &ins = _fs->proto->_instructions;
        if (from < NLocals() || ins.empty() || _fs->lasttarget >= Pos()) return false;
        SQInstruction &last = ins.back();
        switch (last.op) {
            case OP_LOAD:
            case OP_LOADINT:
            case OP_LOADFLOAT:
            case OP_LOADBOOL:
            case OP_MOVE:
            case OP_LOADROOT:
            case OP_LOADCALLEE:
            case OP_GETOUTER:
            case OP_GET:
            case OP_GETENV:
            case OP_DELETE:
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
            case OP_NEG:
            case OP_NOT:
            case OP_BNOT:
            case OP_TYPEOF:
            case OP_INSTANCEOF:
            case OP_IN:
            case OP_CLONE:
            case OP_GETBASE:
            case OP_RESUME:
                if (last.a != from) return false;
                last.a = (uint16_t)to;
                return true;
            case OP_LOADNULL:
                if (last.a != from || last.b != 1) return false;
                last.a = (uint16_t)to;
                return true;
            case OP_CALL:
                if (last.c != from) return false;
                last.c = (uint16_t)to;
                return true;
            default: return false;
        }
    }
    void JumpTo(int target) {
        int h = EmitJump(OP_JMP);
        Patch(h, target);
    }
    int Literal(const SQObject &o) {
        auto key = std::make_pair((int)o._type, o._unVal.raw);
        auto it = _fs->literalmap.find(key);
        if (it != _fs->literalmap.end()) return it->second;
        int idx = (int)_fs->proto->_literals.size();
        _fs->proto->_literals.push_back(SQObjectPtr(o));
        _fs->literalmap[key] = idx;
        return idx;
    }
    int StrLiteral(const char *s) { return Literal(_ss->MakeString(s)); }

    int NLocals() const { return (int)_fs->locals.size(); }
    int AllocReg() {
        int r = _fs->freereg++;
        if (r >= kMaxRegs) Error("too many local variables");
        if (_fs->freereg > _fs->maxstack) _fs->maxstack = _fs->freereg;
        return r;
    }
    void FreeReg(int r) {
        if (r >= NLocals() && r == _fs->freereg - 1) _fs->freereg--;
    }
    void SetFree(int r) {
        _fs->freereg = r;
        if (r > _fs->maxstack) _fs->maxstack = r;
    }
    // A hidden local holds a register like any other but has no debug entry,
    // so stack reports and sq_getlocal do not list it.
    static constexpr size_t kNoInfo = (size_t)-1;
    int DeclareLocal(const SQObjectPtr &name, bool hidden = false) {
        int reg = NLocals();
        if (_fs->freereg < reg + 1) SetFree(reg + 1);
        size_t infoidx = kNoInfo;
        if (!hidden) {
            SQLocalVarInfo info;
            info._name = name;
            info._start_op = (SQUnsignedInteger)Pos();
            info._end_op = 0;
            info._pos = (SQUnsignedInteger)reg;
            _fs->proto->_localvarinfos.push_back(info);
            infoidx = _fs->proto->_localvarinfos.size() - 1;
        }
        _fs->locals.push_back({name, reg, infoidx, false});
        if (reg + 1 > _fs->maxstack) _fs->maxstack = reg + 1;
        return reg;
    }
    int BeginScope() { return NLocals(); }
    void EndScope(int nlocals, bool close = true) {
        bool captured = false;
        while (NLocals() > nlocals) {
            LocalVar &l = _fs->locals.back();
            captured |= l.captured;
            if (l.infoidx != kNoInfo) _fs->proto->_localvarinfos[l.infoidx]._end_op = (SQUnsignedInteger)Pos();
            _fs->locals.pop_back();
        }
        if (captured && close) Emit(OP_CLOSE, nlocals, 0, 0);
        _fs->freereg = NLocals();
    }
    static int FindLocal(FuncState *fs, const SQObject &name) {
        for (int i = (int)fs->locals.size() - 1; i >= 0; i--)
            if (RawEq(fs->locals[i].name, name)) return i;
        return -1;
    }
    int GetOuter(FuncState *fs, const SQObject &name) {
        auto &ov = fs->proto->_outervalues;
        for (size_t i = 0; i < ov.size(); i++)
            if (RawEq(ov[i]._name, name)) return (int)i;
        if (!fs->parent) return -1;
        int l = FindLocal(fs->parent, name);
        if (l >= 0) {
            fs->parent->locals[l].captured = true;
            ov.push_back({otLOCAL, SQObjectPtr(name), fs->parent->locals[l].reg});
            return (int)ov.size() - 1;
        }
        int o = GetOuter(fs->parent, name);
        if (o < 0) return -1;
        ov.push_back({otOUTER, SQObjectPtr(name), o});
        return (int)ov.size() - 1;
    }

    // ------------------------------------------------------------ expression discharge
    void FreeExp(const Exp &e) {
        if (e.k == E_REG)
            FreeReg(e.r);
        else if (e.k == E_FIELD || e.k == E_CMP) {
            if (!e.keyk) FreeReg(e.key);
            if (!(e.k == E_CMP && e.rk)) FreeReg(e.r);
        }
    }
    static int CmpOp(int cmp) {
        switch (cmp) {
            case CMP_LT: return OP_LT;
            case CMP_LE: return OP_LE;
            case CMP_GT: return OP_GT;
            case CMP_GE: return OP_GE;
            case CMP_EQ: return OP_EQ;
            default: return OP_NE;
        }
    }
    void ToReg(const Exp &e, int target) {
        switch (e.k) {
            case E_LOCAL:
                if (e.r != target) Emit(OP_MOVE, target, e.r, 0);
                break;
            case E_REG:
                if (e.r != target && !RetargetLast(e.r, target)) Emit(OP_MOVE, target, e.r, 0);
                break;
            case E_K: EmitBx(OP_LOAD, target, e.r); break;
            case E_INT:
                if (e.ival >= INT32_MIN && e.ival <= INT32_MAX)
                    EmitBx(OP_LOADINT, target, (int32_t)e.ival);
                else
                    EmitBx(OP_LOAD, target, Literal(SQObjectPtr(e.ival)));
                break;
            case E_FLOAT: {
                int32_t bits;
                memcpy(&bits, &e.fval, 4);
                EmitBx(OP_LOADFLOAT, target, bits);
                break;
            }
            case E_NULL: Emit(OP_LOADNULL, target, 1, 0); break;
            case E_BOOL: Emit(OP_LOADBOOL, target, e.ival ? 1 : 0, 0); break;
            case E_OUTER: Emit(OP_GETOUTER, target, e.r, 0); break;
            case E_FIELD: Emit(OP_GET, target, e.r, e.key, e.keyk ? K_C : 0); break;
            case E_ENV: EmitBx(OP_GETENV, target, e.r); break;
            case E_CMP: Emit(CmpOp(e.cmp), target, e.r, e.key, (e.rk ? K_B : 0) | (e.keyk ? K_C : 0)); break;
            case E_VOID: Emit(OP_LOADNULL, target, 1, 0); break;
        }
    }
    int ToAnyReg(Exp &e) {
        if (e.k == E_LOCAL || e.k == E_REG) return e.r;
        FreeExp(e);
        int t = AllocReg();
        ToReg(e, t);
        e = Exp();
        e.k = E_REG;
        e.r = t;
        return t;
    }
    // value into a register the caller may overwrite (never a local)
    int ToTempReg(Exp &e) {
        if (e.k == E_REG && e.r >= NLocals()) return e.r;
        if (e.k == E_REG || e.k == E_LOCAL) {
            int t = AllocReg();
            Emit(OP_MOVE, t, e.r, 0);
            e.k = E_REG;
            e.r = t;
            return t;
        }
        return ToAnyReg(e);
    }
    // evaluates into exactly `slot` and leaves freereg at slot+1
    void ToSlot(Exp &e, int slot) {
        ToReg(e, slot);
        SetFree(slot + 1);
        e = Exp();
        e.k = E_REG;
        e.r = slot;
    }
    int ToRK(Exp &e, bool &isk) {
        int idx = -1;
        switch (e.k) {
            case E_K: idx = e.r; break;
            case E_INT: idx = Literal(SQObjectPtr(e.ival)); break;
            case E_FLOAT: idx = Literal(SQObjectPtr(e.fval)); break;
            case E_NULL: idx = Literal(SQObjectPtr()); break;
            case E_BOOL: idx = Literal(SQObjectPtr(e.ival != 0)); break;
            default: break;
        }
        if (idx >= 0 && idx <= 0xFFFF) {
            isk = true;
            return idx;
        }
        isk = false;
        return ToAnyReg(e);
    }
    // keeps constants and locals as they are, pushes everything else to a register
    void Infix(Exp &e) {
        switch (e.k) {
            case E_K:
            case E_INT:
            case E_FLOAT:
            case E_NULL:
            case E_BOOL:
            case E_LOCAL:
            case E_REG: break;
            default: ToAnyReg(e); break;
        }
    }
    // returns the handle of a jump taken when e is false
    int JumpIfFalse(Exp &e) {
        if (e.k == E_CMP) {
            Exp c = e;
            if (c.rk) {
                if (c.keyk) {
                    ToAnyReg(e);
                    FreeExp(e);
                    return EmitJump(OP_JZ, e.r);
                }
                // mirror so the left operand is a register
                std::swap(c.r, c.key);
                c.rk = false;
                c.keyk = true;
                static const int mirror[] = {CMP_GT, CMP_GE, CMP_LT, CMP_LE, CMP_EQ, CMP_NE};
                c.cmp = mirror[c.cmp];
            }
            FreeExp(e);
            Emit(OP_JLT + c.cmp, c.r, c.key, 0, (c.keyk ? K_B : 0) | (c.cmp << 2));
            return EmitJump(OP_DATA);
        }
        if (e.k == E_BOOL || e.k == E_INT) {
            if (e.ival) return -1;
            return EmitJump(OP_JMP);
        }
        if (e.k == E_NULL) return EmitJump(OP_JMP);
        int r = ToAnyReg(e);
        FreeExp(e);
        return EmitJump(OP_JZ, r);
    }

    // returns the handle of a jump taken when e is true (-1: never)
    int JumpIfTrue(Exp &e) {
        if (e.k == E_CMP) {
            Exp c = e;
            if (c.rk) {
                if (c.keyk) {
                    ToAnyReg(e);
                    FreeExp(e);
                    return EmitJump(OP_JNZ, e.r);
                }
                std::swap(c.r, c.key);
                c.rk = false;
                c.keyk = true;
                static const int mirror[] = {CMP_GT, CMP_GE, CMP_LT, CMP_LE, CMP_EQ, CMP_NE};
                c.cmp = mirror[c.cmp];
            }
            // the jump of JCMP is taken when its comparison is false: compare
            // the other way round (every order derives from one three-way result,
            // so < and >=, <= and > are exact opposites, NaN included)
            static const int opposite[] = {CMP_GE, CMP_GT, CMP_LE, CMP_LT, CMP_NE, CMP_EQ};
            FreeExp(e);
            Emit(OP_JLT + opposite[c.cmp], c.r, c.key, 0, (c.keyk ? K_B : 0) | (opposite[c.cmp] << 2));
            return EmitJump(OP_DATA);
        }
        if (e.k == E_BOOL || e.k == E_INT) {
            if (!e.ival) return -1;
            return EmitJump(OP_JMP);
        }
        if (e.k == E_NULL) return -1;
        int r = ToAnyReg(e);
        FreeExp(e);
        return EmitJump(OP_JNZ, r);
    }

    // ------------------------------------------------------------ expressions
    // `x++` whose value nobody reads: drop the copy of the old value
    void DropUnusedPostfix(const Exp &e) {
        auto &ins = _fs->proto->_instructions;
        size_t n = ins.size();
        if (e.k != E_REG || n < 2 || e.r < NLocals()) return;
        SQInstruction &mv = ins[n - 2], &op = ins[n - 1];
        if (mv.op == OP_MOVE && mv.a == e.r && (op.op == OP_ADD || op.op == OP_SUB) && op.a == mv.b && op.b == mv.b &&
            op.k == K_C) {
            mv = op;
            ins.pop_back();
        }
    }
    void CommaExpr(Exp &e) {
        Expression(e);
        while (Tok() == ',') {
            Lex();
            FreeExp(e);
            Expression(e);
        }
    }
    bool IsAssignable(const Exp &e) const { return e.k == E_LOCAL || e.k == E_OUTER || e.k == E_FIELD || e.k == E_ENV; }
    static int ArithForTok(SQInteger t) {
        switch (t) {
            case TK_PLUSEQ: return OP_ADD;
            case TK_MINUSEQ: return OP_SUB;
            case TK_MULEQ: return OP_MUL;
            case TK_DIVEQ: return OP_DIV;
            default: return OP_MOD;
        }
    }
    void Expression(Exp &e) {
        DepthGuard g(this);
        Ternary(e);
        SQInteger op = Tok();
        switch (op) {
            case '=':
            case TK_NEWSLOT:
            case TK_PLUSEQ:
            case TK_MINUSEQ:
            case TK_MULEQ:
            case TK_DIVEQ:
            case TK_MODEQ: {
                if (e.isbase && e.k == E_REG) Error("'base' cannot be modified");
                if (!IsAssignable(e)) Error("can't assign expression");
                if (op == TK_NEWSLOT && (e.k == E_LOCAL || e.k == E_OUTER)) Error("can't 'create' a local slot");
                Lex();
                Exp v;
                Expression(v);
                if (op == '=' || op == TK_NEWSLOT)
                    Store(e, v, op == TK_NEWSLOT);
                else
                    CompoundStore(e, ArithForTok(op), v);
                break;
            }
            default: break;
        }
    }
    // e = v ; leaves the assigned value in e
    void Store(Exp &e, Exp &v, bool newslot) {
        switch (e.k) {
            case E_LOCAL:
                ToReg(v, e.r);
                FreeExp(v);
                break;
            case E_OUTER: {
                int r = ToAnyReg(v);
                Emit(OP_SETOUTER, e.r, r, 0);
                e = v;
                break;
            }
            case E_FIELD: {
                bool vk;
                int c = ToRK(v, vk);
                Emit(newslot ? OP_NEWSLOT : OP_SET, e.r, e.key, c, (e.keyk ? K_B : 0) | (vk ? K_C : 0));
                if (vk) {
                    e = Exp();
                    e.k = E_K;
                    e.r = c;
                } else {
                    e = Exp();
                    e.k = E_REG;
                    e.r = c;
                }
                break;
            }
            case E_ENV: {
                if (newslot) {
                    bool vk;
                    int c = ToRK(v, vk);
                    Emit(OP_NEWSLOT, 0, e.r, c, K_B | (vk ? K_C : 0));
                    e = Exp();
                    if (vk) {
                        e.k = E_K;
                        e.r = c;
                    } else {
                        e.k = E_REG;
                        e.r = c;
                    }
                } else {
                    int r = ToAnyReg(v);
                    EmitBx(OP_SETENV, r, e.r);
                    e = v;
                }
                break;
            }
            default: Error("can't assign expression");
        }
    }
    // reads the current value of an assignable expression into a fresh temp
    int LoadCurrent(const Exp &e) {
        int t = AllocReg();
        ToReg(e, t);
        return t;
    }
    void WriteBack(const Exp &e, int valreg) {
        switch (e.k) {
            case E_LOCAL:
                if (e.r != valreg) Emit(OP_MOVE, e.r, valreg, 0);
                break;
            case E_OUTER: Emit(OP_SETOUTER, e.r, valreg, 0); break;
            case E_FIELD: Emit(OP_SET, e.r, e.key, valreg, e.keyk ? K_B : 0); break;
            case E_ENV: EmitBx(OP_SETENV, valreg, e.r); break;
            default: break;
        }
    }
    void CompoundStore(Exp &e, int op, Exp &v) {
        if (e.k == E_LOCAL) {
            bool vk;
            int c = ToRK(v, vk);
            Emit(op, e.r, e.r, c, vk ? K_C : 0);
            FreeExp(v);
            return;
        }
        bool vk;
        int c = ToRK(v, vk);
        int t = LoadCurrent(e);
        Emit(op, t, t, c, vk ? K_C : 0);
        WriteBack(e, t);
        e = Exp();
        e.k = E_REG;
        e.r = t;
    }
    // ++x / --x / x++ / x--
    void IncDec(Exp &e, int delta, bool postfix) {
        if (!IsAssignable(e)) Error("can't '++' or '--' an expression");
        int k = Literal(SQObjectPtr((SQInteger)1));
        int op = delta > 0 ? OP_ADD : OP_SUB;
        if (e.k == E_LOCAL) {
            if (postfix) {
                int t = AllocReg();
                Emit(OP_MOVE, t, e.r, 0);
                Emit(op, e.r, e.r, k, K_C);
                e = Exp();
                e.k = E_REG;
                e.r = t;
            } else {
                Emit(op, e.r, e.r, k, K_C);
            }
            return;
        }
        int t = LoadCurrent(e);
        if (postfix) {
            int t2 = AllocReg();
            Emit(op, t2, t, k, K_C);
            WriteBack(e, t2);
            FreeReg(t2);
        } else {
            Emit(op, t, t, k, K_C);
            WriteBack(e, t);
        }
        e = Exp();
        e.k = E_REG;
        e.r = t;
    }
    void Ternary(Exp &e) {
        LogicalOr(e);
        if (Tok() != '?') return;
        Lex();
        int jf = JumpIfFalse(e);
        int t = AllocReg();
        Exp a;
        Expression(a);
        ToReg(a, t);
        SetFree(t + 1);
        int je = EmitJump(OP_JMP);
        Patch(jf, Pos());
        Expect(':');
        Exp b;
        Expression(b);
        ToReg(b, t);
        SetFree(t + 1);
        Patch(je, Pos());
        e = Exp();
        e.k = E_REG;
        e.r = t;
    }
    void LogicalOr(Exp &e) {
        LogicalAnd(e);
        while (Tok() == TK_OR) {
            Lex();
            int t = ToTempReg(e);
            int j = EmitJump(OP_JNZ, t);
            Exp r;
            LogicalAnd(r);
            ToReg(r, t);
            SetFree(t + 1);
            Patch(j, Pos());
            e = Exp();
            e.k = E_REG;
            e.r = t;
        }
    }
    void LogicalAnd(Exp &e) {
        BitOr(e);
        for (;;) {
            if (Tok() == TK_AND) {
                Lex();
                int t = ToTempReg(e);
                int j = EmitJump(OP_JZ, t);
                Exp r;
                BitOr(r);
                ToReg(r, t);
                SetFree(t + 1);
                Patch(j, Pos());
                e = Exp();
                e.k = E_REG;
                e.r = t;
            } else if (Tok() == TK_IN) {
                Lex();
                Infix(e);
                Exp r;
                BitOr(r);
                BinaryOp(e, OP_IN, r);
            } else {
                return;
            }
        }
    }
    // emits R[t] = l op r, for ops whose operands may both be literals
    void BinaryOp(Exp &l, int op, Exp &r) {
        if (op == OP_IN || op == OP_INSTANCEOF) {
            // IN: RK key, register container ; INSTANCEOF: registers
            bool lk = false;
            int b = op == OP_IN ? ToRK(l, lk) : ToAnyReg(l);
            int c = ToAnyReg(r);
            FreeExp(r);
            if (!lk) FreeExp(l);
            int t = AllocReg();
            Emit(op, t, b, c, lk ? K_B : 0);
            l = Exp();
            l.k = E_REG;
            l.r = t;
            return;
        }
        if (FoldConstants(l, op, r)) return;
        bool lk, rk;
        int b = ToRK(l, lk);
        int c = ToRK(r, rk);
        if (!rk) FreeReg(c);
        if (!lk) FreeReg(b);
        int t = AllocReg();
        Emit(op, t, b, c, (lk ? K_B : 0) | (rk ? K_C : 0));
        l = Exp();
        l.k = E_REG;
        l.r = t;
    }
    bool FoldConstants(Exp &l, int op, Exp &r) {
        if (l.k == E_INT && r.k == E_INT) {
            SQInteger a = l.ival, b = r.ival;
            SQInteger res;
            switch (op) {
                case OP_ADD: res = (SQInteger)((SQUnsignedInteger)a + (SQUnsignedInteger)b); break;
                case OP_SUB: res = (SQInteger)((SQUnsignedInteger)a - (SQUnsignedInteger)b); break;
                case OP_MUL: res = (SQInteger)((SQUnsignedInteger)a * (SQUnsignedInteger)b); break;
                case OP_BAND: res = a & b; break;
                case OP_BOR: res = a | b; break;
                case OP_BXOR: res = a ^ b; break;
                default: return false;
            }
            l.ival = res;
            return true;
        }
        if ((l.k == E_FLOAT || l.k == E_INT) && (r.k == E_FLOAT || r.k == E_INT) &&
            (l.k == E_FLOAT || r.k == E_FLOAT)) {
            SQFloat a = l.k == E_FLOAT ? l.fval : (SQFloat)l.ival;
            SQFloat b = r.k == E_FLOAT ? r.fval : (SQFloat)r.ival;
            SQFloat res;
            switch (op) {
                case OP_ADD: res = a + b; break;
                case OP_SUB: res = a - b; break;
                case OP_MUL: res = a * b; break;
                case OP_DIV: res = a / b; break;
                default: return false;
            }
            l = Exp();
            l.k = E_FLOAT;
            l.fval = res;
            return true;
        }
        return false;
    }
    // One left-associative level of binary operators: operands from the next tighter
    // level, combined in source order.
    struct OpToken {
        SQInteger tok;
        int op;
    };
    template <size_t N>
    void BinaryLevel(Exp &e, void (ExprCompiler::*next)(Exp &), const OpToken (&ops)[N]) {
        (this->*next)(e);
        for (;;) {
            int op = -1;
            for (const OpToken &o : ops)
                if (Tok() == o.tok) op = o.op;
            if (op < 0) return;
            Lex();
            Infix(e);
            Exp r;
            (this->*next)(r);
            BinaryOp(e, op, r);
        }
    }
    void BitOr(Exp &e) {
        static const OpToken ops[] = {{'|', OP_BOR}};
        BinaryLevel(e, &ExprCompiler::BitXor, ops);
    }
    void BitXor(Exp &e) {
        static const OpToken ops[] = {{'^', OP_BXOR}};
        BinaryLevel(e, &ExprCompiler::BitAnd, ops);
    }
    void BitAnd(Exp &e) {
        static const OpToken ops[] = {{'&', OP_BAND}};
        BinaryLevel(e, &ExprCompiler::EqExp, ops);
    }
    void MakeCmp(Exp &l, int cmp, Exp &r) {
        bool lk, rk;
        int b = ToRK(l, lk);
        int c = ToRK(r, rk);
        Exp e;
        e.k = E_CMP;
        e.r = b;
        e.rk = lk;
        e.key = c;
        e.keyk = rk;
        e.cmp = cmp;
        l = e;
    }
    void EqExp(Exp &e) {
        CompareExp(e);
        for (;;) {
            SQInteger t = Tok();
            if (t == TK_EQ || t == TK_NE) {
                Lex();
                if (e.k == E_CMP) ToAnyReg(e);
                Infix(e);
                Exp r;
                CompareExp(r);
                if (r.k == E_CMP) ToAnyReg(r);
                MakeCmp(e, t == TK_EQ ? CMP_EQ : CMP_NE, r);
            } else if (t == TK_3WAYSCMP) {
                Lex();
                if (e.k == E_CMP) ToAnyReg(e);
                Infix(e);
                Exp r;
                CompareExp(r);
                if (r.k == E_CMP) ToAnyReg(r);
                BinaryOp(e, OP_CMP3, r);
            } else {
                return;
            }
        }
    }
    void CompareExp(Exp &e) {
        ShiftExp(e);
        for (;;) {
            int cmp;
            switch (Tok()) {
                case '<': cmp = CMP_LT; break;
                case '>': cmp = CMP_GT; break;
                case TK_LE: cmp = CMP_LE; break;
                case TK_GE: cmp = CMP_GE; break;
                case TK_INSTANCEOF: {
                    Lex();
                    if (e.k == E_CMP) ToAnyReg(e);
                    Infix(e);
                    Exp r;
                    ShiftExp(r);
                    BinaryOp(e, OP_INSTANCEOF, r);
                    continue;
                }
                default: return;
            }
            Lex();
            if (e.k == E_CMP) ToAnyReg(e);
            Infix(e);
            Exp r;
            ShiftExp(r);
            MakeCmp(e, cmp, r);
        }
    }
    void ShiftExp(Exp &e) {
        static const OpToken ops[] = {{TK_SHIFTL, OP_SHL}, {TK_SHIFTR, OP_SHR}, {TK_USHIFTR, OP_USHR}};
        BinaryLevel(e, &ExprCompiler::PlusExp, ops);
    }
    void PlusExp(Exp &e) {
        static const OpToken ops[] = {{'+', OP_ADD}, {'-', OP_SUB}};
        BinaryLevel(e, &ExprCompiler::MulExp, ops);
    }
    void MulExp(Exp &e) {
        static const OpToken ops[] = {{'*', OP_MUL}, {'/', OP_DIV}, {'%', OP_MOD}};
        BinaryLevel(e, &ExprCompiler::PrefixedExpr, ops);
    }
    void UnaryOp(Exp &e, int op) {
        int r = ToAnyReg(e);
        FreeExp(e);
        int t = AllocReg();
        Emit(op, t, r, 0);
        e = Exp();
        e.k = E_REG;
        e.r = t;
    }
    void PrefixedExpr(Exp &e) {
        DepthGuard g(this);
        switch (Tok()) {
            case '-':
                Lex();
                PrefixedExpr(e);
                if (e.k == E_INT)
                    e.ival = (SQInteger)(0 - (SQUnsignedInteger)e.ival);
                else if (e.k == E_FLOAT)
                    e.fval = -e.fval;
                else
                    UnaryOp(e, OP_NEG);
                return;
            case '!':
                Lex();
                PrefixedExpr(e);
                UnaryOp(e, OP_NOT);
                return;
            case '~':
                Lex();
                PrefixedExpr(e);
                if (e.k == E_INT)
                    e.ival = ~e.ival;
                else
                    UnaryOp(e, OP_BNOT);
                return;
            case TK_TYPEOF:
                Lex();
                PrefixedExpr(e);
                UnaryOp(e, OP_TYPEOF);
                return;
            case TK_CLONE:
                Lex();
                PrefixedExpr(e);
                UnaryOp(e, OP_CLONE);
                return;
            case TK_RESUME:
                Lex();
                PrefixedExpr(e);
                UnaryOp(e, OP_RESUME);
                return;
            case TK_DELETE: {
                Lex();
                PrefixedExpr(e);
                if (e.k == E_ENV) {
                    int t = AllocReg();
                    Emit(OP_DELETE, t, 0, e.r, K_C);
                    e = Exp();
                    e.k = E_REG;
                    e.r = t;
                    return;
                }
                if (e.k != E_FIELD) Error("can't delete an expression");
                FreeExp(e);
                int t = AllocReg();
                Emit(OP_DELETE, t, e.r, e.key, e.keyk ? K_C : 0);
                e = Exp();
                e.k = E_REG;
                e.r = t;
                return;
            }
            case TK_PLUSPLUS:
            case TK_MINUSMINUS: {
                int d = Tok() == TK_PLUSPLUS ? 1 : -1;
                Lex();
                PrefixedExpr(e);
                IncDec(e, d, false);
                return;
            }
            default: Factor(e); Postfix(e);
        }
    }
    void MakeField(Exp &e, Exp &key) {
        int obj;
        if (e.k == E_LOCAL || e.k == E_REG)
            obj = e.r;
        else
            obj = ToAnyReg(e);
        bool kk;
        int kr = ToRK(key, kk);
        bool isbase = e.isbase;
        e = Exp();
        e.k = E_FIELD;
        e.r = obj;
        e.key = kr;
        e.keyk = kk;
        e.isbase = isbase;
    }
    void Postfix(Exp &e) {
        for (;;) {
            switch (Tok()) {
                case '.': {
                    Lex();
                    Exp k;
                    k.k = E_K;
                    k.r = Literal(ExpectId());
                    MakeField(e, k);
                    break;
                }
                case '[': {
                    if (_lex._prevnewline) return;
                    Lex();
                    if (e.k != E_LOCAL && e.k != E_REG) ToAnyReg(e);
                    Exp k;
                    Expression(k);
                    Expect(']');
                    MakeField(e, k);
                    break;
                }
                case '(':
                    Lex();
                    Call(e);
                    break;
                case TK_PLUSPLUS:
                case TK_MINUSMINUS:
                    if (_lex._prevnewline) return;
                    {
                        int d = Tok() == TK_PLUSPLUS ? 1 : -1;
                        Lex();
                        IncDec(e, d, true);
                    }
                    return;
                default: return;
            }
        }
    }
    // callee in e, '(' already consumed
    void Call(Exp &e) {
        int t;
        if (e.k == E_FIELD && !e.isbase) {
            FreeExp(e);
            t = AllocReg();
            AllocReg();
            Emit(OP_PREPCALL, t, e.r, e.key, e.keyk ? K_C : 0);
        } else if (e.k == E_ENV) {
            t = AllocReg();
            AllocReg();
            EmitBx(OP_PREPENV, t, e.r);
        } else {
            Exp c = e;
            FreeExp(c);
            t = AllocReg();
            ToReg(c, t);
            AllocReg();
            Emit(OP_MOVE, t + 1, 0, 0);
        }
        int nargs = 1;
        while (Tok() != ')') {
            Exp a;
            Expression(a);
            ToSlot(a, t + 1 + nargs);
            nargs++;
            if (Tok() == ',') {
                Lex();
                if (Tok() == ')') Error("expression expected, found ')'");
            }
        }
        Lex();
        Emit(OP_CALL, t, nargs, t);
        SetFree(t + 1);
        e = Exp();
        e.k = E_REG;
        e.r = t;
        // post-call initializer: f() { a = 1, b = 2 }
        if (Tok() == '{' && !_lex._prevnewline) {
            Lex();
            while (Tok() != '}') {
                SQObjectPtr name = ExpectId();
                Expect('=');
                Exp v;
                Expression(v);
                ToSlot(v, t + 1);
                Emit(OP_SET, t, Literal(name), t + 1, K_B);
                SetFree(t + 1);
                if (Tok() == ',') Lex();
            }
            Lex();
        }
    }
    void Identifier(Exp &e, const SQObjectPtr &name) {
        int l = FindLocal(_fs, name);
        if (l >= 0) {
            e.k = E_LOCAL;
            e.r = _fs->locals[l].reg;
            return;
        }
        int o = GetOuter(_fs, name);
        if (o >= 0) {
            e.k = E_OUTER;
            e.r = o;
            return;
        }
        SQObjectPtr cval;
        if (sq_isrefcounted_type(_ss->_consts._type) && _ss->_consts._type == OT_TABLE &&
            _table(_ss->_consts)->Get(name, cval)) {
            if (cval._type == OT_TABLE) {
                // an enum is only ever read through one of its members
                Expect('.');
                SQObjectPtr member = ExpectId();
                SQObjectPtr mv;
                if (!_table(cval)->Get(member, mv))
                    Error("invalid constant [%s.%s]", _string(name)->_val, _string(member)->_val);
                cval = mv;
            }
            ConstExp(e, cval);
            return;
        }
        e.k = E_ENV;
        e.r = Literal(name);
    }
    void ConstExp(Exp &e, const SQObject &v) {
        switch (v._type) {
            case OT_INTEGER:
                e.k = E_INT;
                e.ival = _integer(v);
                break;
            case OT_FLOAT:
                e.k = E_FLOAT;
                e.fval = _float(v);
                break;
            case OT_BOOL:
                e.k = E_BOOL;
                e.ival = _integer(v);
                break;
            case OT_NULL: e.k = E_NULL; break;
            default:
                e.k = E_K;
                e.r = Literal(v);
                break;
        }
    }
    void Factor(Exp &e) {
        e = Exp();
        switch (Tok()) {
            case TK_STRING_LITERAL:
                e.k = E_K;
                e.r = Literal(_ss->MakeString(_lex._svalue.data(), (SQInteger)_lex._svalue.size()));
                Lex();
                return;
            case TK_INTEGER:
                e.k = E_INT;
                e.ival = _lex._nvalue;
                Lex();
                return;
            case TK_FLOAT:
                e.k = E_FLOAT;
                e.fval = _lex._fvalue;
                Lex();
                return;
            case TK_NULL:
                e.k = E_NULL;
                Lex();
                return;
            case TK_TRUE:
                e.k = E_BOOL;
                e.ival = 1;
                Lex();
                return;
            case TK_FALSE:
                e.k = E_BOOL;
                e.ival = 0;
                Lex();
                return;
            case TK___LINE__:
                e.k = E_INT;
                e.ival = _lex._tokenline;
                Lex();
                return;
            case TK___FILE__:
                e.k = E_K;
                e.r = Literal(_sourcename);
                Lex();
                return;
            case TK_IDENTIFIER: {
                SQObjectPtr name = _ss->MakeString(_lex._svalue.data(), (SQInteger)_lex._svalue.size());
                Lex();
                Identifier(e, name);
                return;
            }
            case TK_THIS:
                e.k = E_LOCAL;
                e.r = 0;
                Lex();
                return;
            case TK_BASE: {
                Lex();
                int t = AllocReg();
                Emit(OP_GETBASE, t, 0, 0);
                e.k = E_REG;
                e.r = t;
                e.isbase = true;
                return;
            }
            case TK_DOUBLE_COLON: {
                Lex();
                int t = AllocReg();
                Emit(OP_LOADROOT, t, 0, 0);
                Exp obj;
                obj.k = E_REG;
                obj.r = t;
                Exp k;
                k.k = E_K;
                k.r = Literal(ExpectId());
                MakeField(obj, k);
                e = obj;
                return;
            }
            case '(': {
                Lex();
                CommaExpr(e);
                Expect(')');
                if (e.k == E_CMP) ToAnyReg(e);
                return;
            }
            case '[': {
                Lex();
                int t = AllocReg();
                int at = EmitBx(OP_NEWARRAY, t, 0);
                int n = 0;
                while (Tok() != ']') {
                    Exp v;
                    Expression(v);
                    bool vk;
                    int c = ToRK(v, vk);
                    Emit(OP_APPEND, t, c, 0, vk ? K_B : 0);
                    SetFree(t + 1);
                    n++;
                    if (Tok() == ',') Lex();
                }
                Lex();
                _fs->proto->_instructions[at].setbx(n);
                e.k = E_REG;
                e.r = t;
                return;
            }
            case '{': {
                Lex();
                int t = AllocReg();
                int at = EmitBx(OP_NEWTABLE, t, 0);
                int n = TableSlots(t, '}');
                _fs->proto->_instructions[at].setbx(n);
                e.k = E_REG;
                e.r = t;
                return;
            }
            case TK_FUNCTION: {
                Lex();
                int t = FunctionExp(SQObjectPtr(), false);
                e.k = E_REG;
                e.r = t;
                return;
            }
            case '@': {
                Lex();
                int t = FunctionExp(SQObjectPtr(), true);
                e.k = E_REG;
                e.r = t;
                return;
            }
            case TK_CLASS: {
                Lex();
                int t = ClassExp();
                e.k = E_REG;
                e.r = t;
                return;
            }
            case TK_RAWCALL: {
                Lex();
                Expect('(');
                int t = AllocReg();
                Exp f;
                Expression(f);
                ToSlot(f, t);
                Expect(',');
                int nargs = 0;
                for (;;) {
                    Exp a;
                    Expression(a);
                    ToSlot(a, t + 1 + nargs);
                    nargs++;
                    if (Tok() == ',')
                        Lex();
                    else
                        break;
                }
                Expect(')');
                Emit(OP_CALL, t, nargs, t);
                SetFree(t + 1);
                e.k = E_REG;
                e.r = t;
                return;
            }
            default: Error("expression expected");
        }
    }
    // slots of a table constructor or an attribute block; returns the count
    int TableSlots(int t, SQInteger terminator) {
        int n = 0;
        while (Tok() != terminator) {
            int k = _fs->freereg;
            if (Tok() == TK_FUNCTION || Tok() == TK_CONSTRUCTOR) {
                // `constructor` in a table can only start a method
                if (Tok() == TK_FUNCTION) Lex();
                SQObjectPtr name = ExpectId();
                EmitBx(OP_LOAD, AllocReg(), Literal(name));
                int f = FunctionExp(name, false);
                if (f != k + 1) Emit(OP_MOVE, k + 1, f, 0);
            } else if (Tok() == '[') {
                Lex();
                Exp key;
                CommaExpr(key);
                ToSlot(key, k);
                Expect(']');
                Expect('=');
                Exp v;
                Expression(v);
                ToSlot(v, k + 1);
            } else {
                SQObjectPtr name;
                if (Tok() == TK_STRING_LITERAL) {
                    name = _ss->MakeString(_lex._svalue.data(), (SQInteger)_lex._svalue.size());
                    Lex();
                    Expect(':');
                } else {
                    name = ExpectId();
                    Expect('=');
                }
                EmitBx(OP_LOAD, AllocReg(), Literal(name));
                Exp v;
                Expression(v);
                ToSlot(v, k + 1);
            }
            Emit(OP_NEWSLOT, t, k, k + 1);
            SetFree(k);
            n++;
            if (Tok() == ',') Lex();
        }
        Lex();
        return n;
    }
    // parses "[env](params) body" (or a lambda body) and emits a closure; returns its register
    int FunctionExp(const SQObjectPtr &name, bool lambda) {
        int envreg = -1;
        if (Tok() == '[') {
            Lex();
            Exp env;
            Expression(env);
            envreg = _fs->freereg;
            ToSlot(env, envreg);
            Expect(']');
        }
        Expect('(');
        int base = _fs->freereg;
        std::vector<SQObjectPtr> params;
        int ndefaults = 0;
        bool varargs = false;
        while (Tok() != ')') {
            if (Tok() == TK_VARPARAMS) {
                if (ndefaults > 0) Error("function with default parameters cannot have variable number of parameters");
                varargs = true;
                Lex();
                if (Tok() != ')') Error("expected ')'");
                break;
            }
            params.push_back(ExpectId());
            if (Tok() == '=') {
                Lex();
                Exp d;
                Expression(d);
                ToSlot(d, base + ndefaults);
                ndefaults++;
            } else if (ndefaults > 0) {
                Error("expected '='");
            }
            if (Tok() == ',')
                Lex();
            else if (Tok() != ')')
                Error("expected ')' or ','");
        }
        Lex();
        FuncState child;
        NewFunc(child, name);
        FuncState *parent = _fs;
        _fs = &child;
        DeclareLocal(_ss->MakeString("this"));
        for (auto &p : params) DeclareLocal(p);
        if (varargs) DeclareLocal(_ss->MakeString("vargv"));
        child.proto->_nparameters = (SQInteger)params.size() + 1;
        child.proto->_ndefaultparams = ndefaults;
        child.proto->_varparams = varargs ? 1 : 0;
        child.proto->_parameters.push_back(_ss->MakeString("this"));
        for (auto &p : params) child.proto->_parameters.push_back(p);
        if (lambda) {
            Exp body;
            Expression(body);
            int r = ToAnyReg(body);
            Emit(OP_RETURN, r, 1, 0);
        } else {
            Statement();
        }
        Emit(OP_RETURN, 0, 0, 0);
        FinishFunc(child);
        _fs = parent;
        int idx = (int)_fs->proto->_functions.size();
        _fs->proto->_functions.push_back(child.protoref);
        int t = ndefaults > 0 ? base : AllocReg();
        EmitBx(OP_CLOSURE, t, idx);
        SetFree(t + 1);
        if (envreg >= 0) {
            Emit(OP_BINDENV, envreg, t, 0);
            SetFree(envreg + 1);
            return envreg;
        }
        return t;
    }
    int ClassExp() {
        int basereg = NO_REG, attrs = NO_REG;
        int first = _fs->freereg;
        if (Tok() == TK_EXTENDS) {
            Lex();
            Exp b;
            PrefixedExpr(b);
            basereg = _fs->freereg;
            ToSlot(b, basereg);
        }
        if (Tok() == TK_ATTR_OPEN) {
            Lex();
            attrs = AllocReg();
            EmitBx(OP_NEWTABLE, attrs, 0);
            TableSlots(attrs, TK_ATTR_CLOSE);
        }
        Expect('{');
        int c = AllocReg();
        Emit(OP_NEWCLASS, c, basereg, attrs);
        ClassBody(c);
        if (c != first) {
            Emit(OP_MOVE, first, c, 0);
            SetFree(first + 1);
            return first;
        }
        return c;
    }
    void ClassBody(int c) {
        while (Tok() != '}') {
            int k = _fs->freereg;
            int flags = 0;
            AllocReg();  // attributes
            if (Tok() == TK_ATTR_OPEN) {
                Lex();
                EmitBx(OP_NEWTABLE, k, 0);
                TableSlots(k, TK_ATTR_CLOSE);
                flags |= 2;
            }
            SetFree(k + 1);
            if (Tok() == TK_STATIC) {
                flags |= 1;
                Lex();
            }
            if (Tok() == TK_FUNCTION) {
                Lex();
                SQObjectPtr name = ExpectId();
                EmitBx(OP_LOAD, AllocReg(), Literal(name));
                int f = FunctionExp(name, false);
                if (f != k + 2) Emit(OP_MOVE, k + 2, f, 0);
            } else if (Tok() == TK_CONSTRUCTOR) {
                Lex();
                SQObjectPtr name = _ss->MakeString("constructor");
                EmitBx(OP_LOAD, AllocReg(), Literal(name));
                int f = FunctionExp(name, false);
                if (f != k + 2) Emit(OP_MOVE, k + 2, f, 0);
            } else if (Tok() == '[') {
                Lex();
                Exp key;
                CommaExpr(key);
                ToSlot(key, k + 1);
                Expect(']');
                Expect('=');
                Exp v;
                Expression(v);
                ToSlot(v, k + 2);
            } else {
                SQObjectPtr name = ExpectId();
                EmitBx(OP_LOAD, AllocReg(), Literal(name));
                Expect('=');
                Exp v;
                Expression(v);
                ToSlot(v, k + 2);
            }
            Emit(OP_NEWMEMBER, c, k, flags);
            SetFree(k);
            if (Tok() == ';') Lex();
        }
        Lex();
    }
};

}  // namespace sqcomp
