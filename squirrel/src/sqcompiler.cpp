// Statement half of the compiler and its entry point: turns source text into
// the main function prototype.
#include "sqcompiler.h"

#include <cstdlib>

#include "sqcompexpr.h"

namespace sqcomp {

class Compiler final : public ExprCompiler {
public:
    using ExprCompiler::ExprCompiler;

    SQObjectPtr CompileMain() {
        FuncState fs;
        NewFunc(fs, _ss->MakeString("main"));
        _fs = &fs;
        DeclareLocal(_ss->MakeString("this"));
        DeclareLocal(_ss->MakeString("vargv"));
        fs.proto->_nparameters = 1;
        fs.proto->_varparams = 1;
        Lex();
        while (Tok() != TK_EOS) Statement();
        Emit(OP_RETURN, 0, 0, 0);
        FinishFunc(fs);
        _fs = nullptr;
        return fs.protoref;
    }

private:
    // ------------------------------------------------------------ statements
    void Statement() override {
        DepthGuard g(this);
        switch (Tok()) {
            case ';': Lex(); break;
            case TK_IF: IfStatement(); break;
            case TK_WHILE: WhileStatement(); break;
            case TK_DO: DoWhileStatement(); break;
            case TK_FOR: ForStatement(); break;
            case TK_FOREACH: ForEachStatement(); break;
            case TK_SWITCH: SwitchStatement(); break;
            case TK_LOCAL:
                LocalStatement();
                OptionalSemicolon();
                break;
            case TK_RETURN: ReturnStatement(); break;
            case TK_YIELD: {
                Lex();
                _fs->proto->_bgenerator = true;
                // c: the registers live across the yield (the locals)
                if (!EndOfStatement()) {
                    Exp e;
                    CommaExpr(e);
                    int r = ToAnyReg(e);
                    Emit(OP_YIELD, r, 1, NLocals());
                } else {
                    Emit(OP_YIELD, 0, 0, NLocals());
                }
                OptionalSemicolon();
                break;
            }
            case TK_BREAK: BreakContinue(true); break;
            case TK_CONTINUE: BreakContinue(false); break;
            case TK_FUNCTION: FunctionStatement(); break;
            case TK_CLASS: ClassStatement(); break;
            case TK_ENUM: EnumStatement(); break;
            case TK_CONST: ConstStatement(); break;
            case TK_TRY: TryStatement(); break;
            case TK_THROW: {
                Lex();
                Exp e;
                CommaExpr(e);
                int r = ToAnyReg(e);
                Emit(OP_THROW, r, 0, 0);
                OptionalSemicolon();
                break;
            }
            case '{': {
                Lex();
                int s = BeginScope();
                while (Tok() != '}') Statement();
                Lex();
                EndScope(s);
                break;
            }
            default: {
                Exp e;
                CommaExpr(e);
                // evaluate reads nobody uses for their errors and metamethods
                if (e.k == E_FIELD || e.k == E_ENV || e.k == E_CMP || e.k == E_OUTER) ToAnyReg(e);
                DropUnusedPostfix(e);
                OptionalSemicolon();
                break;
            }
        }
        _fs->freereg = NLocals();
    }
    void ScopedStatement() {
        int s = BeginScope();
        Statement();
        EndScope(s);
    }
    void Condition(Exp &c) {
        Expect('(');
        CommaExpr(c);
        Expect(')');
    }
    void IfStatement() {
        Lex();
        Exp c;
        Condition(c);
        int jf = JumpIfFalse(c);
        _fs->freereg = NLocals();
        ScopedStatement();
        if (Tok() == TK_ELSE) {
            int je = EmitJump(OP_JMP);
            Patch(jf, Pos());
            Lex();
            ScopedStatement();
            Patch(je, Pos());
        } else {
            Patch(jf, Pos());
        }
    }
    LoopInfo *BeginLoop(bool isswitch) {
        _fs->loops.push_back(std::make_unique<LoopInfo>());
        LoopInfo *l = _fs->loops.back().get();
        l->ntraps = _fs->ntraps;
        l->nlocals = NLocals();
        l->isswitch = isswitch;
        return l;
    }
    void EndLoop(int breakpos, int contpos) {
        std::unique_ptr<LoopInfo> l = std::move(_fs->loops.back());
        _fs->loops.pop_back();
        for (int b : l->breaks) Patch(b, breakpos);
        for (int c : l->continues) Patch(c, contpos);
    }
    // Loops are laid out with the test at the bottom: one jump per pass.
    void WhileStatement() {
        Lex();
        Expect('(');
        int condstart = Pos();
        Exp c;
        CommaExpr(c);
        Expect(')');
        CodeBlock cond = CutCode(condstart);
        _fs->freereg = NLocals();
        int jcond = EmitJump(OP_JMP);
        int body = Pos();
        BeginLoop(false);
        ScopedStatement();
        int condpos = Pos();
        Patch(jcond, condpos);
        PasteCode(cond);
        Patch(JumpIfTrue(c), body);
        EndLoop(Pos(), condpos);
    }
    void DoWhileStatement() {
        Lex();
        int start = Pos();
        BeginLoop(false);
        ScopedStatement();
        int contpos = Pos();
        Expect(TK_WHILE);
        Exp c;
        Condition(c);
        Patch(JumpIfTrue(c), start);
        EndLoop(Pos(), contpos);
        OptionalSemicolonIfAny();
    }
    void OptionalSemicolonIfAny() {
        if (Tok() == ';') Lex();
    }
    void ForStatement() {
        Lex();
        int scope = BeginScope();
        Expect('(');
        if (Tok() == TK_LOCAL)
            LocalStatement();
        else if (Tok() != ';') {
            Exp e;
            CommaExpr(e);
        }
        _fs->freereg = NLocals();
        Expect(';');
        int condstart = Pos();
        Exp c;
        bool hascond = Tok() != ';';
        if (hascond) CommaExpr(c);
        CodeBlock cond = CutCode(condstart);
        _fs->freereg = NLocals();
        Expect(';');
        int incstart = Pos();
        if (Tok() != ')') {
            Exp e;
            CommaExpr(e);
            DropUnusedPostfix(e);
        }
        _fs->freereg = NLocals();
        Expect(')');
        CodeBlock inc = CutCode(incstart);
        if (hascond && cond.code.empty() && c.k == E_CMP && !c.rk && c.cmp <= CMP_GE && inc.code.size() == 1 &&
            IsLocalStep(inc.code[0], c.r)) {
            CountingLoop(c, inc);
            EndScope(scope);
            return;
        }
        int jcond = hascond ? EmitJump(OP_JMP) : -1;
        int body = Pos();
        BeginLoop(false);
        ScopedStatement();
        int contpos = Pos();
        PasteCode(inc);
        if (hascond) {
            Patch(jcond, Pos());
            PasteCode(cond);
            Patch(JumpIfTrue(c), body);
        } else {
            JumpTo(body);
        }
        EndLoop(Pos(), contpos);
        EndScope(scope);
    }
    // `local += integer constant` (or -=) on the loop's register
    bool IsLocalStep(const SQInstruction &ins, int reg) {
        return (ins.op == OP_ADD || ins.op == OP_SUB) && ins.a == reg && ins.b == reg && ins.k == K_C &&
               reg < NLocals() && _fs->proto->_literals[ins.c]._type == OT_INTEGER;
    }
    // for (...; i < n; i += k): a test before the first pass, then one
    // instruction that steps i and jumps back while the test holds
    void CountingLoop(Exp &c, const CodeBlock &inc) {
        Exp guard = c;
        int jexit = JumpIfFalse(guard);
        int body = Pos();
        BeginLoop(false);
        ScopedStatement();
        int contpos = Pos();
        const SQInstruction &step = inc.code[0];
        SQInteger line = _lastline;
        if (!inc.lines.empty()) _lastline = inc.lines[0]._line;
        _fs->lastline = -1;
        Emit(OP_FORINC, c.r, c.key, step.c, (c.keyk ? K_B : 0) | (c.cmp << 2) | (step.op == OP_SUB ? FORINC_SUB : 0));
        Patch(EmitJump(OP_DATA), body);
        _lastline = line;
        Patch(jexit, Pos());
        EndLoop(Pos(), contpos);
    }
    void ForEachStatement() {
        Lex();
        Expect('(');
        SQObjectPtr keyname, valname = ExpectId();
        if (Tok() == ',') {
            Lex();
            keyname = valname;
            valname = ExpectId();
        }
        Expect(TK_IN);
        int scope = BeginScope();
        // A container that is a local of this function is iterated in its own
        // register; anything else is evaluated into a hidden one.
        int t = _fs->freereg;
        Exp c;
        CommaExpr(c);
        bool inlocal = c.k == E_LOCAL;
        int cont = c.r;
        if (!inlocal) {
            cont = t;
            ToSlot(c, cont);
            DeclareLocal(_ss->MakeString("@CONTAINER@"), true);
        }
        Expect(')');
        // key, value and iterator: one variable each for the whole loop, which
        // closures made in the body share
        int k = DeclareLocal(keyname._type == OT_NULL ? _ss->MakeString("@INDEX@") : keyname);
        DeclareLocal(valname);
        DeclareLocal(_ss->MakeString("@ITERATOR@"), !inlocal);
        Emit(OP_LOADNULL, k, 3, 0);
        int loop = Pos();
        Emit(OP_FOREACH, cont, k, 0);
        int fe = EmitJump(OP_DATA);
        BeginLoop(false);
        ScopedStatement();
        JumpTo(loop);
        Patch(fe, Pos());
        EndLoop(Pos(), loop);
        EndScope(scope);
    }
    void SwitchStatement() {
        Lex();
        int scope = BeginScope();
        Expect('(');
        int t = _fs->freereg;
        Exp c;
        CommaExpr(c);
        ToSlot(c, t);
        DeclareLocal(_ss->MakeString("@SWITCH@"));
        Expect(')');
        Expect('{');
        BeginLoop(true);
        int prevtest = -1;
        bool any = false;
        while (Tok() == TK_CASE) {
            Lex();
            int fall = -1;
            if (any) {
                fall = EmitJump(OP_JMP);
                Patch(prevtest, Pos());
            }
            Exp v;
            Expression(v);
            Expect(':');
            Exp sw;
            sw.k = E_LOCAL;
            sw.r = t;
            MakeCmp(sw, CMP_EQ, v);
            prevtest = JumpIfFalse(sw);
            Patch(fall, Pos());
            _fs->freereg = NLocals();
            any = true;
            int s = BeginScope();
            while (Tok() != TK_CASE && Tok() != TK_DEFAULT && Tok() != '}') Statement();
            EndScope(s);
        }
        if (Tok() == TK_DEFAULT) {
            Lex();
            Expect(':');
            if (any) {
                Patch(prevtest, Pos());
                prevtest = -1;
            }
            // default is the last label: a case after it ends the switch badly
            int s = BeginScope();
            while (Tok() != TK_CASE && Tok() != TK_DEFAULT && Tok() != '}') Statement();
            EndScope(s);
        }
        Expect('}');
        if (prevtest >= 0) Patch(prevtest, Pos());
        EndLoop(Pos(), Pos());
        EndScope(scope);
    }
    void BreakContinue(bool isbreak) {
        // checked with the keyword still the current token
        LoopInfo *l = nullptr;
        for (int i = (int)_fs->loops.size() - 1; i >= 0; i--) {
            if (isbreak || !_fs->loops[i]->isswitch) {
                l = _fs->loops[i].get();
                break;
            }
        }
        if (!l) Error(isbreak ? "'break' has to be in a loop block" : "'continue' has to be in a loop block");
        Lex();
        if (_fs->ntraps > l->ntraps) Emit(OP_POPTRAP, _fs->ntraps - l->ntraps, 0, 0);
        if (NLocals() > l->nlocals) Emit(OP_CLOSE, l->nlocals, 0, 0);
        if (!isbreak && l->contpos >= 0)
            JumpTo(l->contpos);
        else if (isbreak)
            l->breaks.push_back(EmitJump(OP_JMP));
        else
            l->continues.push_back(EmitJump(OP_JMP));
        OptionalSemicolon();
    }
    void LocalStatement() {
        Lex();
        if (Tok() == TK_FUNCTION) {
            // local function f() {} is local f = function() {}: the body does not see f
            Lex();
            SQObjectPtr name = ExpectId();
            int r = _fs->freereg;
            int f = FunctionExp(name, false);
            if (f != r) Emit(OP_MOVE, r, f, 0);
            SetFree(r + 1);
            DeclareLocal(name);
            return;
        }
        for (;;) {
            SQObjectPtr name = ExpectId();
            int slot = _fs->freereg;
            if (Tok() == '=') {
                Lex();
                Exp e;
                Expression(e);
                ToSlot(e, slot);
            } else {
                Emit(OP_LOADNULL, slot, 1, 0);
                SetFree(slot + 1);
            }
            DeclareLocal(name);
            if (Tok() != ',') break;
            Lex();
        }
    }
    // `return c ? a : b` leaves one branch with "MOVE r, a; JMP ->RETURN r".
    // A temporary r dies with the frame, so that branch may return a itself:
    // the move becomes the return and the jump is never reached that way.
    // Only jumps just before here are looked at (the branch is usually short).
    void ReturnInsteadOfJumping(int r) {
        auto &ins = _fs->proto->_instructions;
        int here = Pos();
        if (r < NLocals() || _fs->lasttarget != here) return;
        for (int j = here - 1; j >= 1 && j >= here - 64; j--) {
            SQInstruction &jmp = ins[(size_t)j];
            SQInstruction &mv = ins[(size_t)j - 1];
            if (jmp.op != OP_JMP || j + 1 + jmp.bx() != here) continue;
            if (mv.op == OP_MOVE && mv.a == r) {
                int from = mv.b;
                mv.op = OP_RETURN;
                mv.k = 0;
                mv.a = (uint16_t)from;
                mv.b = 1;
                mv.c = 0;
            }
        }
    }
    void ReturnStatement() {
        Lex();
        if (!EndOfStatement()) {
            Exp e;
            CommaExpr(e);
            auto &ins = _fs->proto->_instructions;
            if (e.k == E_REG && !ins.empty() && ins.back().op == OP_CALL && ins.back().c == e.r && _fs->ntraps == 0 &&
                !_fs->proto->_bgenerator) {
                ins.back().op = OP_TAILCALL;
            }
            int r = ToAnyReg(e);
            ReturnInsteadOfJumping(r);
            Emit(OP_RETURN, r, 1, 0);
        } else {
            Emit(OP_RETURN, 0, 0, 0);
        }
        OptionalSemicolon();
    }
    void FunctionStatement() {
        Lex();
        SQObjectPtr name = ExpectId();
        Exp obj;
        obj.k = E_LOCAL;
        obj.r = 0;
        if (Tok() == TK_DOUBLE_COLON) {
            Identifier(obj, name);
            while (Tok() == TK_DOUBLE_COLON) {
                Lex();
                name = ExpectId();
                if (Tok() == TK_DOUBLE_COLON) {
                    Exp k;
                    k.k = E_K;
                    k.r = Literal(name);
                    MakeField(obj, k);
                }
            }
        }
        int o = ToAnyReg(obj);
        int f = FunctionExp(name, false);
        Emit(OP_NEWSLOT, o, Literal(name), f, K_B);
    }
    // class <target> { ... }: the target is a global name, a field, an index or ::name
    void ClassStatement() {
        Lex();
        Exp target;
        PrefixedExpr(target);
        if (target.k == E_ENV) {
            int c = ClassExp();
            Emit(OP_NEWSLOT, 0, target.r, c, K_B);
        } else if (target.k == E_FIELD) {
            int c = ClassExp();
            Emit(OP_NEWSLOT, target.r, target.key, c, target.keyk ? K_B : 0);
        } else {
            Error("invalid class name");
        }
    }
    SQObjectPtr ConstValue() {
        bool neg = false;
        if (Tok() == '-') {
            neg = true;
            Lex();
        }
        SQObjectPtr v;
        switch (Tok()) {
            case TK_INTEGER:
                v = SQObjectPtr(neg ? (SQInteger)(0 - (SQUnsignedInteger)_lex._nvalue) : _lex._nvalue);
                break;
            case TK_FLOAT: v = SQObjectPtr(neg ? -_lex._fvalue : _lex._fvalue); break;
            case TK_STRING_LITERAL:
                if (neg) Error("scalar expected : integer, float, or string");
                v = _ss->MakeString(_lex._svalue.data(), (SQInteger)_lex._svalue.size());
                break;
            case TK_TRUE:
            case TK_FALSE:
                if (neg) Error("scalar expected : integer, float, or string");
                v = SQObjectPtr(Tok() == TK_TRUE);
                break;
            default: Error("scalar expected : integer, float, or string");
        }
        Lex();
        return v;
    }
    SQTable *Consts() {
        if (_ss->_consts._type != OT_TABLE) _ss->_consts = SQObjectPtr(OT_TABLE, SQTable::Create(_ss, 0));
        return _table(_ss->_consts);
    }
    void ConstStatement() {
        Lex();
        SQObjectPtr name = ExpectId();
        Expect('=');
        SQObjectPtr v = ConstValue();
        Consts()->NewSlot(name, v);
        OptionalSemicolon();
    }
    void EnumStatement() {
        Lex();
        SQObjectPtr name = ExpectId();
        Expect('{');
        SQObjectPtr table(OT_TABLE, SQTable::Create(_ss, 0));
        SQInteger next = 0;
        while (Tok() != '}') {
            SQObjectPtr key = ExpectId();
            SQObjectPtr v;
            if (Tok() == '=') {  // an explicit value leaves the counter alone
                Lex();
                v = ConstValue();
            } else {
                v = SQObjectPtr(next);
                next = (SQInteger)((SQUnsignedInteger)next + 1);
            }
            _table(table)->NewSlot(key, v);
            if (Tok() == ',') Lex();
        }
        Lex();
        Consts()->NewSlot(name, table);
    }
    void TryStatement() {
        Lex();
        int exreg = NLocals();
        int trap = EmitBx(OP_PUSHTRAP, exreg, 0);
        _fs->ntraps++;
        ScopedStatement();
        _fs->ntraps--;
        Emit(OP_POPTRAP, 1, 0, 0);
        int je = EmitJump(OP_JMP);
        Patch(trap, Pos());
        Expect(TK_CATCH);
        Expect('(');
        SQObjectPtr name = ExpectId();
        Expect(')');
        int s = BeginScope();
        DeclareLocal(name);
        ScopedStatement();
        EndScope(s);
        Patch(je, Pos());
    }
};

}  // namespace sqcomp

// prints the bytecode of a prototype and its children (set SQ_DUMP_BYTECODE=1)
static void DumpProto(const SQFunctionProto *p, int depth) {
    // clang-format off
    static const char *names[] = {
        "LOAD", "LOADINT", "LOADFLOAT", "LOADNULL", "LOADBOOL", "MOVE", "LOADROOT", "LOADCALLEE", "GETOUTER",
        "SETOUTER", "GET", "SET", "NEWSLOT", "GETENV", "SETENV", "DELETE", "ADD", "SUB", "MUL", "DIV", "MOD",
        "BAND", "BOR", "BXOR", "SHL", "SHR", "USHR", "EQ", "NE", "LT", "LE", "GT", "GE", "CMP3", "NEG", "NOT",
        "BNOT", "JMP", "JZ", "JNZ", "JCMP", "CALL", "TAILCALL", "RETURN", "NEWTABLE", "NEWARRAY", "APPEND",
        "CLOSURE", "NEWCLASS", "NEWMEMBER", "FOREACH", "TYPEOF", "INSTANCEOF", "IN", "CLONE", "YIELD", "RESUME",
        "THROW", "PUSHTRAP", "POPTRAP", "GETBASE", "CLOSE", "PREPCALL", "BINDENV", "PREPENV", "FORINC", "DATA",
        "JLT", "JLE", "JGT", "JGE", "JEQ", "JNE"};
    // clang-format on
    static_assert(sizeof names / sizeof names[0] == OP_COUNT, "one name per opcode");
    fprintf(stderr, "%*sfunction %s stack=%lld\n", depth * 2, "",
            p->_name._type == OT_STRING ? _string(p->_name)->_val : "?", (long long)p->_stacksize);
    for (size_t n = 0; n < p->_instructions.size(); n++) {
        const SQInstruction &i = p->_instructions[n];
        fprintf(stderr, "%*s%4zu %-10s a=%u b=%u c=%u k=%u bx=%d\n", depth * 2, "", n,
                i.op < OP_COUNT ? names[i.op] : "?", i.a, i.b, i.c, i.k, i.bx());
    }
    for (auto &f : p->_functions) DumpProto(_funcproto(f), depth + 1);
}

bool sq_compile_source(SQVM *v, const char *src, size_t len, const char *sourcename, bool /*debuginfo*/,
                       SQObjectPtr &outproto, std::string &err, SQInteger &line, SQInteger &column) {
    sqcomp::Compiler c(v, src, len, sourcename);
    try {
        outproto = c.CompileMain();
        static const bool dump = getenv("SQ_DUMP_BYTECODE") != nullptr;
        if (dump) DumpProto(_funcproto(outproto), 0);
        return true;
    } catch (const SQCompileError &e) {
        err = e.msg;
        line = e.line;
        column = e.column;
    } catch (const std::bad_alloc &e) {
        err = sq_allocerrortext(e);
        line = c._lex._currentline;
        column = c._lex._currentcolumn;
    }
    return false;
}
