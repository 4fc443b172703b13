// The embedding API: stack, calls, native closures, classes with type tags and
// release hooks, references, iteration, errors and the collector.
#include <algorithm>
#include <vector>

#include "test_helpers.h"

namespace {

int g_released = 0;
SQInteger CountRelease(SQUserPointer, SQInteger) {
    g_released++;
    return 1;
}

SQInteger NativeAdd(HSQUIRRELVM v) {
    SQInteger a, b;
    sq_getinteger(v, 2, &a);
    sq_getinteger(v, 3, &b);
    sq_pushinteger(v, a + b);
    return 1;
}

// free variable in slot nargs+1 counts calls
SQInteger NativeCounter(HSQUIRRELVM v) {
    SQInteger n;
    sq_getinteger(v, sq_gettop(v), &n);
    sq_pushinteger(v, n * 100);
    return 1;
}

SQInteger NativeFail(HSQUIRRELVM v) { return sq_throwerror(v, "native failure"); }

void RegisterGlobal(HSQUIRRELVM v, const char *name, SQFUNCTION f, SQInteger nparams, const char *mask) {
    sq_pushroottable(v);
    sq_pushstring(v, name, -1);
    sq_newclosure(v, f, 0);
    if (nparams) sq_setparamscheck(v, nparams, mask);
    sq_setnativeclosurename(v, -1, name);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
}

}  // namespace

TEST_F(SqTest, StackOperations) {
    sq_pushinteger(v, 1);
    sq_pushfloat(v, 2.5f);
    sq_pushstring(v, "three", -1);
    sq_pushbool(v, SQTrue);
    EXPECT_EQ(sq_gettop(v), 4);
    EXPECT_EQ(sq_gettype(v, 1), OT_INTEGER);
    EXPECT_EQ(sq_gettype(v, -2), OT_STRING);
    sq_remove(v, 2);
    EXPECT_EQ(sq_gettype(v, 2), OT_STRING);
    sq_push(v, 1);
    SQInteger i = 0;
    EXPECT_TRUE(SQ_SUCCEEDED(sq_getinteger(v, -1, &i)));
    EXPECT_EQ(i, 1);
    const SQChar *s;
    EXPECT_TRUE(SQ_FAILED(sq_getstring(v, 1, &s)));
    sq_settop(v, 6);
    EXPECT_EQ(sq_gettype(v, 6), OT_NULL);
    sq_settop(v, 0);
    EXPECT_EQ(sq_gettop(v), 0);
    sq_pushinteger(v, 3);
    sq_pushinteger(v, 5);
    EXPECT_GT(sq_cmp(v), 0);  // obj1 (top) > obj2
    sq_pop(v, 2);
}

TEST_F(SqTest, CallScriptFunctionFromC) {
    ASSERT_TRUE(Run("function foo(a, b, c) { return a + b + c; }"));
    sq_pushroottable(v);
    sq_pushstring(v, "foo", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    sq_pushroottable(v);
    sq_pushinteger(v, 1);
    sq_pushfloat(v, 2.0f);
    sq_pushstring(v, "x", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 4, SQTrue, SQTrue)));
    const SQChar *r;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(v, -1, &r)));
    EXPECT_STREQ(r, "3x");
    sq_pop(v, 3);
    EXPECT_EQ(sq_gettop(v), 0);
}

TEST_F(SqTest, NativeClosuresParamsCheckAndFreeVariables) {
    RegisterGlobal(v, "add", NativeAdd, 3, ".nn");
    EXPECT_EQ(Out("print(add(2, 3))"), "5");
    EXPECT_EQ(ErrorOf("add(1)"), "wrong number of parameters");
    EXPECT_EQ(ErrorOf("add(1, \"x\")"), "parameter 2 has an invalid type 'string' ; expected: 'integer|float'");
    sq_pushroottable(v);
    sq_pushstring(v, "counter", -1);
    sq_pushinteger(v, 7);
    sq_newclosure(v, NativeCounter, 1);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    EXPECT_EQ(Out("print(counter())"), "700");
    RegisterGlobal(v, "fail", NativeFail, 0, nullptr);
    EXPECT_EQ(ErrorOf("fail()"), "native failure");
    EXPECT_EQ(Out("try { fail() } catch (e) { print(\"caught \" + e) }"), "caught native failure");
}

TEST_F(SqTest, ClassesWithTypeTagsInstanceUpAndReleaseHooks) {
    static int tagA, tagB;
    g_released = 0;
    sq_pushroottable(v);
    sq_pushstring(v, "Base", -1);
    sq_newclass(v, SQFalse);
    sq_settypetag(v, -1, &tagA);
    HSQOBJECT base;
    sq_getstackobj(v, -1, &base);
    sq_addref(v, &base);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, "Derived", -1);
    sq_pushobject(v, base);
    sq_newclass(v, SQTrue);
    sq_settypetag(v, -1, &tagB);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);

    ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, "return Derived()", 16, "t", SQTrue)));
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
    ASSERT_EQ(sq_gettype(v, -1), OT_INSTANCE);
    int payload = 42;
    EXPECT_TRUE(SQ_SUCCEEDED(sq_setinstanceup(v, -1, &payload)));
    sq_setreleasehook(v, -1, CountRelease);
    SQUserPointer up = nullptr;
    EXPECT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(v, -1, &up, &tagA, SQTrue)));  // base class tag accepted
    EXPECT_EQ(up, &payload);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(v, -1, &up, &tagB, SQTrue)));
    static int other;
    EXPECT_TRUE(SQ_FAILED(sq_getinstanceup(v, -1, &up, &other, SQFalse)));
    SQUserPointer tag;
    sq_gettypetag(v, -1, &tag);
    EXPECT_EQ(tag, &tagB);
    sq_pushobject(v, base);
    sq_push(v, -2);
    EXPECT_TRUE(sq_instanceof(v));
    sq_pop(v, 2);
    EXPECT_EQ(g_released, 0);
    sq_pop(v, 2);  // instance and the closure
    EXPECT_EQ(g_released, 1);
    EXPECT_TRUE(sq_release(v, &base));
    EXPECT_EQ(base._type, OT_NULL);
}

TEST_F(SqTest, UserdataReleaseHookRunsOnCloseAndCycles) {
    g_released = 0;
    // userdata kept alive by a reference cycle through a table
    ASSERT_TRUE(Run("cyc <- {}; cyc.self <- cyc;"));
    sq_pushroottable(v);
    sq_pushstring(v, "cyc", -1);
    sq_get(v, -2);
    sq_pushstring(v, "ud", -1);
    SQUserPointer p = sq_newuserdata(v, 16);
    ASSERT_NE(p, nullptr);
    sq_setreleasehook(v, -1, CountRelease);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    sq_pushstring(v, "cyc", -1);
    sq_deleteslot(v, -2, SQFalse);
    sq_pop(v, 1);
    EXPECT_EQ(g_released, 0);  // still held by the cycle
    EXPECT_GE(sq_collectgarbage(v), 1);
    EXPECT_EQ(g_released, 1);
    // another one that only sq_close frees
    ASSERT_TRUE(Run("keep <- {}"));
    sq_pushroottable(v);
    sq_pushstring(v, "keep", -1);
    sq_get(v, -2);
    sq_pushstring(v, "ud", -1);
    sq_newuserdata(v, 8);
    sq_setreleasehook(v, -1, CountRelease);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 2);
    sq_close(v);
    v = nullptr;
    EXPECT_EQ(g_released, 2);
}

TEST_F(SqTest, ScriptCyclesOfInstancesAreCollected) {
    g_released = 0;
    ASSERT_TRUE(Run("class N { other = null; } function mk() { local a = N(), b = N(); a.other = b; b.other = a; return a; }"
                    "w <- mk().weakref();"));
    // a weak reference read from a container slot yields its target
    EXPECT_EQ(Out("print(typeof w)"), "instance");
    sq_collectgarbage(v);
    EXPECT_EQ(Out("print(w == null)"), "true");
}

TEST_F(SqTest, WeakReferences) {
    EXPECT_EQ(Out("local a = [1]; local t = {}; t.w <- a.weakref(); print(t.w[0]); a = null; print(\" \" + t.w)"),
              "1 null");
    sq_newtable(v);
    sq_weakref(v, -1);
    EXPECT_EQ(sq_gettype(v, -1), OT_WEAKREF);
    sq_getweakrefval(v, -1);
    EXPECT_EQ(sq_gettype(v, -1), OT_TABLE);
    sq_pop(v, 1);
    sq_remove(v, -2);  // drop the table itself
    sq_getweakrefval(v, -1);
    EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
    sq_pushinteger(v, 5);
    sq_weakref(v, -1);
    EXPECT_EQ(sq_gettype(v, -1), OT_INTEGER);
}

TEST_F(SqTest, IterationWithSqNext) {
    sq_newarray(v, 0);
    for (int i = 0; i < 3; i++) {
        sq_pushinteger(v, i * 10);
        sq_arrayappend(v, -2);
    }
    sq_pushnull(v);
    std::vector<SQInteger> keys, vals;
    while (SQ_SUCCEEDED(sq_next(v, -2))) {
        SQInteger k, val;
        sq_getinteger(v, -2, &k);
        sq_getinteger(v, -1, &val);
        keys.push_back(k);
        vals.push_back(val);
        sq_pop(v, 2);
    }
    sq_pop(v, 2);
    EXPECT_EQ(keys, (std::vector<SQInteger>{0, 1, 2}));
    EXPECT_EQ(vals, (std::vector<SQInteger>{0, 10, 20}));
    sq_newtable(v);
    for (int i = 0; i < 50; i++) {
        sq_pushinteger(v, i);
        sq_pushinteger(v, i * 2);
        sq_newslot(v, -3, SQFalse);
    }
    EXPECT_EQ(sq_getsize(v, -1), 50);
    SQInteger sum = 0, n = 0;
    sq_pushnull(v);
    while (SQ_SUCCEEDED(sq_next(v, -2))) {
        SQInteger k, val;
        sq_getinteger(v, -2, &k);
        sq_getinteger(v, -1, &val);
        EXPECT_EQ(val, k * 2);
        sum += k;
        n++;
        sq_pop(v, 2);
    }
    sq_pop(v, 2);
    EXPECT_EQ(n, 50);
    EXPECT_EQ(sum, 49 * 50 / 2);
}

TEST_F(SqTest, ReferencesFromC) {
    sq_newarray(v, 0);
    HSQOBJECT o;
    sq_resetobject(&o);
    sq_getstackobj(v, -1, &o);
    sq_addref(v, &o);
    sq_addref(v, &o);
    EXPECT_EQ(sq_getrefcount(v, &o), 2u);
    sq_pop(v, 1);
    EXPECT_FALSE(sq_release(v, &o));
    sq_pushobject(v, o);
    EXPECT_EQ(sq_gettype(v, -1), OT_ARRAY);
    sq_pop(v, 1);
    EXPECT_TRUE(sq_release(v, &o));
    EXPECT_TRUE(sq_isnull(o));
}

namespace {
std::vector<std::string> g_frames;
std::vector<std::string> g_locals;
SQInteger WalkingHandler(HSQUIRRELVM v) {
    const SQChar *msg = "";
    sq_getstring(v, 2, &msg);
    g_frames.push_back(std::string("error:") + msg);
    SQStackInfos si;
    for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(v, level, &si)); level++) {
        g_frames.push_back(std::string(si.funcname) + ":" + std::to_string(si.line));
        const SQChar *name;
        for (SQUnsignedInteger seq = 0; (name = sq_getlocal(v, (SQUnsignedInteger)level, seq)); seq++) {
            g_locals.push_back(name);
            sq_pop(v, 1);
        }
    }
    return 0;
}
}  // namespace

TEST_F(SqTest, ErrorHandlerSeesTheFailingStack) {
    g_frames.clear();
    g_locals.clear();
    sq_newclosure(v, WalkingHandler, 0);
    sq_seterrorhandler(v);
    EXPECT_FALSE(Run("function inner(x) {\n local y = x * 2;\n return y.nope;\n}\nfunction outer() { local r = inner(3); return r; }\nouter();"));
    ASSERT_GE(g_frames.size(), 4u);
    EXPECT_EQ(g_frames[0], "error:the index 'nope' does not exist");
    EXPECT_EQ(g_frames[1], "inner:3");
    EXPECT_EQ(g_frames[2], "outer:5");
    EXPECT_EQ(g_frames[3], "main:6");
    EXPECT_NE(std::find(g_locals.begin(), g_locals.end(), "y"), g_locals.end());
    EXPECT_NE(std::find(g_locals.begin(), g_locals.end(), "x"), g_locals.end());
    // caught errors do not reach the handler
    g_frames.clear();
    EXPECT_TRUE(Run("try { null.x } catch (e) {}"));
    EXPECT_TRUE(g_frames.empty());
    // a thrown table arrives as itself
    EXPECT_FALSE(Run("throw { code = 1 }"));
    sq_getlasterror(v);
    EXPECT_EQ(sq_gettype(v, -1), OT_TABLE);
    sq_pop(v, 1);
}

TEST_F(SqTest, CompileErrorsCarryLineAndColumn) {
    EXPECT_FALSE(Run("local a = 1;\nlocal b = ;\n"));
    EXPECT_EQ(cap.compile_msg, "expression expected");
    EXPECT_EQ(cap.compile_line, 2);
    EXPECT_GT(cap.compile_col, 0);
    EXPECT_FALSE(Run("while (1) { }\nbreak;"));
    EXPECT_EQ(cap.compile_msg, "'break' has to be in a loop block");
    EXPECT_FALSE(Run("local s = \"abc"));
    EXPECT_EQ(cap.compile_msg, "unfinished string");
    EXPECT_FALSE(Run("local x = 1 2"));
    EXPECT_EQ(cap.compile_msg, "end of statement expected (; or lf)");
    EXPECT_FALSE(Run("1 = 2"));
    EXPECT_EQ(cap.compile_msg, "can't assign expression");
    EXPECT_FALSE(Run("local x = 0x11112222333344445"));
    EXPECT_EQ(cap.compile_msg, "too many digits for an Hex number");
    EXPECT_FALSE(Run("local x = \"\\q\""));
    EXPECT_EQ(cap.compile_msg, "unrecognised escaper char");
}

TEST_F(SqTest, RecursionAndNestingLimitsRaiseErrors) {
    EXPECT_EQ(ErrorOf("function f(n) { return 1 + f(n + 1); } f(0)"), "stack overflow");
    // recursion through natives and metamethods is bounded too
    EXPECT_FALSE(Run("local t = {}; t.setdelegate({ _get = function(k) { return this[k + \"x\"]; } }); t.a"));
    std::string deep(100000, '(');
    EXPECT_FALSE(Run(deep.c_str()));
    std::string blocks(100000, '{');
    EXPECT_FALSE(Run(blocks.c_str()));
    // freeing long chains does not recurse once per link
    EXPECT_EQ(Out("local h = null; for (local i = 0; i < 200000; i++) h = {next = h};"
                  "local a = null; for (local i = 0; i < 200000; i++) a = [a]; h = null; a = null; print(\"freed\")"),
              "freed");
    // the VM is still usable afterwards
    EXPECT_EQ(Out("print(\"ok\")"), "ok");
}

TEST_F(SqTest, HostileInputsDoNotCrash) {
    const char *inputs[] = {
        "", ";;;;", "}", "{", "local", "function", "class", "class A extends", "@", "@(", "[1,2",
        "{a=}", "a.b.c.d = ", "foreach(", "switch(1){case}", "try{}", "throw", "return return",
        "local a = [1,2,3]; a[99] = 1", "local t = {}; delete t.x", "resume 5", "yield 1",
        "local x = clone print", "enum {", "const x = y", "'ab'", "''", "\"\\x\"", "0x123456789abcdef01",
        "1e", "/* unterminated", "base.x", "this = 1", "::", "a <- ", "local s = \"a\" * 2",
        "getroottable().clear(); print(1)", "local a = array(100000000000)", "null()", "(1)(2)",
        "local f = function(a = 1, b) {}", "x++ ++", "local t = {}; t.setdelegate(t)",
    };
    for (const char *s : inputs) {
        Run(s);
    }
    sq_close(v);
    v = sq_open(1024);
    sq_setprintfunc(v, CapPrint, CapError);
    EXPECT_EQ(Out("print(1 + 1)"), "2");
}

TEST_F(SqTest, GeneratorsFromC) {
    ASSERT_TRUE(Run("function gen() { yield 1; yield 2; }"));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, "return gen()", 12, "t", SQTrue)));
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
    ASSERT_EQ(sq_gettype(v, -1), OT_GENERATOR);
    SQInteger a, b;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_resume(v, SQTrue, SQTrue)));
    sq_getinteger(v, -1, &a);
    sq_pop(v, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_resume(v, SQTrue, SQTrue)));
    sq_getinteger(v, -1, &b);
    sq_pop(v, 1);
    EXPECT_EQ(a + b, 3);
}

TEST_F(SqTest, MemberHandlesAndAttributes) {
    ASSERT_TRUE(Run("class P { x = 1; static s = 5; } inst <- P();"));
    sq_pushroottable(v);
    sq_pushstring(v, "P", -1);
    sq_get(v, -2);
    sq_pushstring(v, "x", -1);
    HSQMEMBERHANDLE hx;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getmemberhandle(v, -2, &hx)));
    sq_pushstring(v, "inst", -1);
    sq_get(v, -3);
    sq_pushinteger(v, 99);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setbyhandle(v, -2, &hx)));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getbyhandle(v, -1, &hx)));
    SQInteger x;
    sq_getinteger(v, -1, &x);
    EXPECT_EQ(x, 99);
    sq_settop(v, 0);
    EXPECT_EQ(Out("print(inst.x)"), "99");
}

TEST_F(SqTest, InstructionLimitStopsRunawayScripts) {
    sq_setinstructionlimit(v, 100000);
    EXPECT_EQ(ErrorOf("while (true) {}"), "instruction limit exceeded");
    EXPECT_FALSE(Run("while (true) { try { while (true) {} } catch (e) {} }"));
    sq_setinstructionlimit(v, 0);
    EXPECT_EQ(Out("local i = 0; while (i < 200000) i++; print(i)"), "200000");
}

// Loops whose values grow each pass do work out of proportion to their instructions:
// the budget must count that work, or the run takes time quadratic (or worse) in it.
TEST_F(SqTest, InstructionLimitCountsBulkWork) {
    sq_setinstructionlimit(v, 200000);
    // both strings grow each pass and each pass copies them whole
    EXPECT_EQ(ErrorOf("local s = \"\", t = \"\"; for (local x = \"a\"; x < \"b\"; x += 1) t += x;"),
              "instruction limit exceeded");
    sq_setinstructionlimit(v, 200000);
    EXPECT_EQ(ErrorOf("local a = []; while (true) { a.resize(1000000); a.resize(0); }"),
              "instruction limit exceeded");
    sq_setinstructionlimit(v, 200000);
    EXPECT_EQ(ErrorOf("local a = array(100000, 0); while (true) { a.insert(0, 1); a.remove(0); }"),
              "instruction limit exceeded");
    // a string of 16 MB cannot be made with 100000 instructions, one of 16 KB can
    sq_setinstructionlimit(v, 100000);
    EXPECT_EQ(ErrorOf("local s = \"x\"; for (local n = 0; n < 24; n++) s += s;"), "instruction limit exceeded");
    sq_setinstructionlimit(v, 100000);
    EXPECT_EQ(Out("local s = \"x\"; for (local n = 0; n < 14; n++) s += s; print(s.len())"), "16384");
    sq_setinstructionlimit(v, 0);
}

namespace {
// returns a string of n bytes made through the API, or its own first argument
// (the wrong answer) when the push fails unnoticed
SQInteger NativeLongString(HSQUIRRELVM v) {
    SQInteger n = 0;
    sq_getinteger(v, 2, &n);
    std::string s((size_t)n, 'x');
    sq_pushstring(v, s.c_str(), n);
    return 1;
}
}  // namespace

// The string length limit: a doubling loop ends in a script error it can catch, at
// exactly the limit; a native whose push would pass the limit fails with the same
// error instead of returning whatever is on its stack.
TEST_F(SqTest, StringLengthLimitStopsGrowingStrings) {
    sq_setmaxstringlength(v, 1000);
    EXPECT_EQ(Out("local s = \"ab\"; try { while (true) s += s; } catch (e) print(e + \" \" + s.len())"),
              "string too long 512");
    EXPECT_EQ(Out("local s = \"\"; for (local n = 0; n < 1000; n++) s += \"x\"; print(s.len())"), "1000");
    EXPECT_EQ(ErrorOf("local s = \"\"; for (local n = 0; n < 1001; n++) s += 1;"), "string too long");
    RegisterGlobal(v, "longstring", NativeLongString, 2, ".i");
    EXPECT_EQ(Out("print(longstring(1000).len())"), "1000");
    EXPECT_EQ(ErrorOf("longstring(1001)"), "string too long");
    EXPECT_EQ(Out("try { longstring(5000); } catch (e) print(e); print(\" \" + longstring(3).len())"),
              "string too long 3");
    // from the host: the push fails and says why
    SQInteger top = sq_gettop(v);
    std::string big(2000, 'y');
    sq_pushstring(v, big.c_str(), (SQInteger)big.size());
    EXPECT_EQ(sq_gettop(v), top);
    EXPECT_EQ(LastError(), "string too long");
    sq_setmaxstringlength(v, 0);  // the default again
    sq_pushstring(v, big.c_str(), (SQInteger)big.size());
    EXPECT_EQ(sq_gettop(v), top + 1);
    sq_settop(v, top);
}

// The array size cap: every way of growing an array stops at the cap with a
// script error the script can catch, and leaves the array as it was.
TEST_F(SqTest, ArraySizeCapStopsGrowingArrays) {
    EXPECT_EQ(ErrorOf("array(2e9)"), "array too large");
    EXPECT_EQ(ErrorOf("[].resize(2000000000)"), "array too large");
    sq_setmaxarraysize(v, 100);
    EXPECT_EQ(Out("local a = []; try { while (true) a.push(0); } catch (e) print(e + \" \" + a.len())"),
              "array too large 100");
    EXPECT_EQ(Out("local a = [1]; try { while (true) a.extend(a); } catch (e) print(e + \" \" + a.len())"),
              "array too large 64");
    EXPECT_EQ(Out("local a = array(100, 0); try { a.insert(0, 1) } catch (e) print(e + \" \" + a.len() + a[0])"),
              "array too large 1000");
    EXPECT_EQ(Out("local a = []; a.resize(100); try { a.resize(101) } catch (e) print(e + \" \" + a.len())"),
              "array too large 100");
    EXPECT_EQ(ErrorOf("array(101)"), "array too large");
    EXPECT_EQ(Out("print(array(100).len() + \" \" + array(100).map(@(x) 1).len())"), "100 100");
    // an array literal appends its elements one by one
    std::string lit = "local a = [";
    for (int n = 0; n < 101; n++) lit += "0,";
    lit += "]";
    EXPECT_EQ(ErrorOf(lit.c_str()), "array too large");
    // from the host
    SQInteger top = sq_gettop(v);
    sq_newarray(v, 100);
    sq_pushinteger(v, 7);
    EXPECT_TRUE(SQ_FAILED(sq_arrayappend(v, -2)));
    EXPECT_EQ(LastError(), "array too large");
    sq_settop(v, top + 1);
    sq_pushinteger(v, 7);
    EXPECT_TRUE(SQ_FAILED(sq_arrayinsert(v, -2, 0)));
    sq_settop(v, top + 1);
    EXPECT_TRUE(SQ_FAILED(sq_arrayresize(v, -1, 101)));
    EXPECT_EQ(sq_getsize(v, -1), 100);
    sq_settop(v, top);
    sq_newarray(v, 101);
    EXPECT_EQ(sq_gettop(v), top);
    sq_setmaxarraysize(v, 0);  // the default again
    EXPECT_EQ(Out("local a = array(1000); a.push(1); print(a.len())"), "1001");
}

namespace {
struct Buf {
    std::string data;
    size_t pos = 0;
};
SQInteger BufWrite(SQUserPointer up, SQUserPointer p, SQInteger n) {
    static_cast<Buf *>(up)->data.append(static_cast<const char *>(p), (size_t)n);
    return n;
}
SQInteger BufRead(SQUserPointer up, SQUserPointer p, SQInteger n) {
    Buf *b = static_cast<Buf *>(up);
    if (b->pos + (size_t)n > b->data.size()) return -1;
    memcpy(p, b->data.data() + b->pos, (size_t)n);
    b->pos += (size_t)n;
    return n;
}
}  // namespace

TEST_F(SqTest, ClosureStreamsRoundTripAndRejectCorruption) {
    const char *src =
        "local t = [1, 2.5, \"x\"]; local s = 0;\n"
        "function f(a, b = 2) { return a * b; }\n"
        "foreach (i, v in t) if (typeof v != \"string\") s += f(v);\n"
        "try { throw s } catch (e) { return e + \"!\" }";
    ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, src, (SQInteger)strlen(src), "stream", SQTrue)));
    Buf b;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_writeclosure(v, BufWrite, &b)));
    sq_pop(v, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_readclosure(v, BufRead, &b)));
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
    const SQChar *r;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(v, -1, &r)));
    EXPECT_STREQ(r, "7!");
    sq_settop(v, 0);
    // flipped bytes and truncations must be refused or run safely, never crash
    // (a flipped jump may well loop for ever: the budget ends such runs)
    sq_setinstructionlimit(v, 100000);
    unsigned seed = 12345;
    for (int iter = 0; iter < 400; iter++) {
        Buf m;
        m.data = b.data;
        seed = seed * 1103515245u + 12345u;
        if (iter % 4 == 0) {
            m.data.resize(seed % m.data.size());
        } else {
            for (int k = 0; k < 1 + iter % 3; k++) {
                seed = seed * 1103515245u + 12345u;
                m.data[(seed >> 8) % m.data.size()] ^= (char)(1u << (seed % 8));
            }
        }
        if (SQ_SUCCEEDED(sq_readclosure(v, BufRead, &m))) {
            sq_pushroottable(v);
            sq_call(v, 1, SQFalse, SQFalse);
        }
        sq_settop(v, 0);
    }
    sq_setinstructionlimit(v, 0);
    // closures with free variables are refused
    ASSERT_TRUE(Run("local k = 1; captured <- function() { return k; }"));
    sq_pushroottable(v);
    sq_pushstring(v, "captured", -1);
    sq_get(v, -2);
    Buf c;
    EXPECT_TRUE(SQ_FAILED(sq_writeclosure(v, BufWrite, &c)));
}
