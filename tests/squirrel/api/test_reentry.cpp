// Release hooks that call back into the VM while it is in the middle of
// dropping references: the interpreter must not keep using frame or register
// pointers that the nested calls moved (the frame store and the value stack
// both grow by reallocation).
#include <string>
#include <vector>

#include "test_helpers.h"

namespace {

HSQUIRRELVM g_vm = nullptr;
std::vector<SQInteger> g_deep;  // what each hook's nested call returned

// Runs deep(kDepth) on the VM: enough nested frames to grow a fresh VM's
// frame store and value stack several times over.
constexpr SQInteger kDepth = 600;
SQInteger DeepRelease(SQUserPointer, SQInteger) {
    HSQUIRRELVM v = g_vm;
    if (!v) {  // the VM is closing
        g_deep.push_back(-1);
        return 1;
    }
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    sq_pushstring(v, "deep", -1);
    SQInteger r = -1;
    if (SQ_SUCCEEDED(sq_get(v, -2))) {
        sq_pushroottable(v);
        sq_pushinteger(v, kDepth);
        if (SQ_SUCCEEDED(sq_call(v, 2, SQTrue, SQFalse))) sq_getinteger(v, -1, &r);
    }
    sq_settop(v, top);
    g_deep.push_back(r);
    return 1;
}

// Each script runs in a VM of its own, so that its frame store starts small.
// Res is a class whose instances call DeepRelease when they go; every script
// prints what it computed and lets go of exactly one instance.
struct Case {
    const char *what, *src, *out;
};
const Case kCases[] = {
    {"a local of a returning frame", "function f() { local r = Res(); return 7; } print(f() + f())", "14"},
    {"this of a returning method", "print(Res().m() + Res().m())", "4"},
    {"the register a result replaces", "function id(x) { return x; } local r = Res(); r = id(5); print(r)", "5"},
    {"the root frame of a call from C", "local r = Res(); print(3)", "3"},
    {"a frame unwound by an error",
     "function f() { local r = Res(); throw \"x\"; } local s = 0; for (local i = 0; i < 2; i++)"
     " try { f(); } catch (e) { s++; } print(s)",
     "2"},
    {"the catch variable's register",
     "local n = 0; for (local i = 0; i < 2; i++) { { local r = Res(); } try { throw 2; } catch (e) { n += e; } }"
     " print(n)",
     "4"},
    {"a generator that returns", "function gen() { local r = Res(); yield 1; yield 2; } local s = 0;"
                                 " foreach (v in gen()) s += v; foreach (v in gen()) s += v; print(s)",
     "6"},
    {"a dead register of a yielding generator",
     "function gen() { { local r = Res(); } yield 1; yield 2; } local s = 0; foreach (v in gen()) s += v;"
     " foreach (v in gen()) s += v; print(s)",
     "6"},
    {"a frame reused by a tail call", "function id(x) { return x; } function t(n) { local r = Res(); return id(n); }"
                                      " print(t(4) + t(4))",
     "8"},
    {"an argument slot a tail call overwrites", "function id(x) { return x; } function t(r) { return id(6); }"
                                                " print(t(Res()) + t(Res()))",
     "12"},
    {"a tail call into a vararg function",
     "function va(...) { return vargv.len(); } function t() { local r = Res(); return va(1, 2); }"
     " print(t() + t())",
     "4"},
    {"a sort comparator", "local a = [3, 1, 2]; a.sort(function(x, y) { local r = Res(); return x <=> y; });"
                          " print(a[0] * 100 + a[1] * 10 + a[2])",
     "123"},
    {"a register written over", "function f() { local r = Res(); r = null; return 1; } print(f() + f())", "2"},
    {"a register a number is written into", "function f() { local r = Res(); r = 2 * r.m(); return r; } print(f())",
     "4"},
    {"a table slot written over", "local t = { r = null }; t.r = Res(); t.r = 9; t.r = Res(); t.r = 1; print(t.r)",
     "1"},
    {"an array slot written over", "local a = [Res()]; a[0] = 3; print(a[0])", "3"},
    {"a foreach value register", "local s = 0; foreach (x in [Res(), 5]) s += x == 5 ? 5 : 1; print(s)", "6"},
    {"the result of a shortcut built-in", "local x = Res(); x = (7).tofloat(); print(x)", "7"},
};

TEST_F(SqTest, ReleaseHooksMayCallDeepIntoTheVm) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.what);
        if (v) sq_close(v);
        v = sq_open(1024);
        sq_setprintfunc(v, CapPrint, CapError);
        ASSERT_TRUE(Run("function deep(n) { return n == 0 ? 0 : 1 + deep(n - 1); }"
                        "class Res { function m() { return 2; } }"));
        sq_pushroottable(v);
        sq_pushstring(v, "Res", -1);
        ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
        sq_setreleasehook(v, -1, DeepRelease);  // instances made from now on take it
        sq_pop(v, 2);
        g_vm = v;
        g_deep.clear();
        cap.out.clear();
        EXPECT_TRUE(Run(c.src)) << LastError();
        EXPECT_EQ(cap.out, c.out);
        EXPECT_FALSE(g_deep.empty());
        for (SQInteger r : g_deep) EXPECT_EQ(r, kDepth);
        // every instance went while the script ran: only the class is left
        g_vm = nullptr;
        size_t n = g_deep.size();
        sq_close(v);
        v = nullptr;
        EXPECT_EQ(g_deep.size(), n + 1);
    }
}

}  // namespace
