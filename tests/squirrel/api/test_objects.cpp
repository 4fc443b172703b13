// Object manipulation through the API: tables, arrays, delegates, classes,
// closures, threads, debug information and the auxiliary calls.
#include <algorithm>
#include <vector>

#include "test_helpers.h"

namespace {

std::string TopString(HSQUIRRELVM v) {
    const SQChar *s = nullptr;
    if (SQ_FAILED(sq_getstring(v, -1, &s))) return "<not a string>";
    return s;
}

SQInteger TopInt(HSQUIRRELVM v) {
    SQInteger i = -12345;
    sq_getinteger(v, -1, &i);
    return i;
}

// pushes root[name]
void GetGlobal(HSQUIRRELVM v, const char *name) {
    sq_pushroottable(v);
    sq_pushstring(v, name, -1);
    if (SQ_FAILED(sq_get(v, -2))) sq_pushnull(v);
    sq_remove(v, -2);
}

}  // namespace

TEST_F(SqTest, TablesSeeEveryKeyOnceAcrossGrowthAndDeletes) {
    sq_newtable(v);
    for (int i = 0; i < 100; i++) {
        sq_pushinteger(v, i * 7);
        sq_pushinteger(v, i);
        sq_newslot(v, -3, SQFalse);
    }
    for (int i = 0; i < 100; i += 3) {
        sq_pushinteger(v, i * 7);
        ASSERT_TRUE(SQ_SUCCEEDED(sq_deleteslot(v, -2, SQFalse)));
    }
    std::vector<SQInteger> order;
    sq_pushnull(v);
    while (SQ_SUCCEEDED(sq_next(v, -2))) {
        order.push_back(TopInt(v));
        sq_pop(v, 2);
    }
    sq_pop(v, 1);
    ASSERT_EQ(order.size(), 66u);
    // values are the insertion numbers: every one not deleted comes exactly once
    std::sort(order.begin(), order.end());
    for (size_t i = 0; i < order.size(); i++) EXPECT_EQ(order[i], (SQInteger)(i / 2 * 3 + 1 + i % 2));
    EXPECT_EQ(sq_getsize(v, -1), 66);
    // rawget/rawset/rawdeleteslot bypass the delegate
    sq_newtable(v);
    sq_pushstring(v, "dflt", -1);
    sq_pushinteger(v, 5);
    sq_newslot(v, -3, SQFalse);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setdelegate(v, -2)));
    sq_pushstring(v, "dflt", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    EXPECT_EQ(TopInt(v), 5);
    sq_pop(v, 1);
    sq_pushstring(v, "dflt", -1);
    EXPECT_TRUE(SQ_FAILED(sq_rawget(v, -2)));
    sq_pushstring(v, "own", -1);
    sq_pushinteger(v, 9);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_rawset(v, -3)));
    sq_pushstring(v, "own", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_rawdeleteslot(v, -2, SQTrue)));
    EXPECT_EQ(TopInt(v), 9);
    sq_pop(v, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getdelegate(v, -1)));
    EXPECT_EQ(sq_gettype(v, -1), OT_TABLE);
    sq_pop(v, 1);
    // a table cannot become its own delegate
    sq_push(v, -1);
    EXPECT_TRUE(SQ_FAILED(sq_setdelegate(v, -2)));
    sq_settop(v, 0);
}

TEST_F(SqTest, ScriptIterationOverTablesSeesEveryKeyOnce) {
    EXPECT_EQ(Out("local t = {}; for (local i = 0; i < 1000; i++) t[\"k\" + i] <- i;"
                  "for (local i = 0; i < 1000; i += 2) delete t[\"k\" + i];"
                  "local n = 0, s = 0; foreach (k, v in t) { n++; s += v; } print(n + \" \" + s + \" \" + t.len())"),
              "500 250000 500");
    EXPECT_EQ(Out("local t = {a = 1, b = 2, c = 3}; local ks = \"\"; foreach (k, v in t) ks += k; print(ks)"), "acb");
    EXPECT_EQ(Out("local t = {}; t[1] <- \"i\"; t[1.0] <- \"f\"; t[true] <- \"b\"; print(t.len() + t[1] + t[1.0])"),
              "3if");
}

TEST_F(SqTest, ArraysThroughTheApi) {
    sq_newarray(v, 3);
    EXPECT_EQ(sq_getsize(v, -1), 3);
    for (int i = 0; i < 3; i++) {
        sq_pushinteger(v, i);
        sq_pushinteger(v, i + 10);
        ASSERT_TRUE(SQ_SUCCEEDED(sq_set(v, -3)));
    }
    sq_pushinteger(v, 99);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayinsert(v, -2, 0)));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayremove(v, -1, 1)));  // drops 10
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayreverse(v, -1)));     // 12 11 99
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arraypop(v, -1, SQTrue)));
    EXPECT_EQ(TopInt(v), 99);
    sq_pop(v, 1);
    sq_pushinteger(v, 0);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    EXPECT_EQ(TopInt(v), 12);
    sq_pop(v, 1);
    EXPECT_TRUE(SQ_FAILED(sq_arrayremove(v, -1, 5)));
    EXPECT_TRUE(SQ_FAILED(sq_arrayinsert(v, -1, -1)));
    EXPECT_TRUE(SQ_FAILED(sq_arrayresize(v, -1, -4)));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayresize(v, -1, 5)));
    EXPECT_EQ(sq_getsize(v, -1), 5);
    sq_pushinteger(v, 7);
    EXPECT_TRUE(SQ_FAILED(sq_get(v, -2)));  // out of range
    ASSERT_TRUE(SQ_SUCCEEDED(sq_clear(v, -1)));
    EXPECT_TRUE(SQ_FAILED(sq_arraypop(v, -1, SQFalse)));
    sq_pushinteger(v, 1);
    EXPECT_TRUE(SQ_FAILED(sq_arrayappend(v, -3)));  // not an array at -3 (nothing there)
    sq_settop(v, 0);
}

TEST_F(SqTest, ArrayDelegateFunctions) {
    EXPECT_EQ(Out("local a = [5, 1, 4, 2]; a.sort(); print(a.top() + \" \" + a[0] + \" \" + a.find(4))"), "5 1 2");
    EXPECT_EQ(Out("local a = [1, 2, 3]; print(a.map(@(x) x * 2).reduce(@(p, c) p + c) + \" \" +"
                  " a.filter(@(i, x) x != 2).len() + \" \" + a.slice(1).len() + \" \" + a.slice(-1)[0])"),
              "12 2 2 3");
    EXPECT_EQ(Out("local a = [3, 1, 2]; a.sort(@(x, y) y <=> x); a.apply(@(x) x + 1); print(a[0] + a[2])"), "6");
    EXPECT_EQ(Out("local a = [[1], [2]]; a.extend([[3]]); a.insert(1, [9]); print(a.len() + \" \" + a.remove(1)[0])"),
              "4 9");
    EXPECT_FALSE(Run("[1, 2].sort(@(a, b) \"x\")"));
    EXPECT_FALSE(Run("[1, \"a\", {}].sort()"));
    EXPECT_FALSE(Run("[].pop()"));
    EXPECT_EQ(Out("print(([].reduce(@(a, b) a + b) == null) + \" \" + array(3, \"z\").len())"), "true 3");
}

TEST_F(SqTest, StringDelegateFunctions) {
    EXPECT_EQ(Out("local s = \"Hello World\"; print(s.len() + s.slice(0, 5) + s.slice(-5) + s.find(\"o\") +"
                  " s.find(\"o\", 5) + s.toupper() + s.tolower())"),
              "11HelloWorld47HELLO WORLDhello world");
    EXPECT_EQ(Out("print(\"42\".tointeger() + \"ff\".tointeger(16) + \"2.5\".tofloat() + \" \" + \"abc\"[1])"), "299.5 98");
    EXPECT_FALSE(Run("\"abc\".slice(2, 1)"));
    EXPECT_FALSE(Run("\"x\".tointeger()"));
    EXPECT_EQ(Out("print((65).tochar() + (3.7).tointeger() + true.tointeger() + (2).tofloat())"), "A312");
    EXPECT_EQ(Out("print((\"b\" > \"a\") + \" \" + (\"ab\" < \"abc\") + \" \" + (\"x\" <=> \"x\"))"), "true true 0");
}

TEST_F(SqTest, ClassesThroughTheApi) {
    // class with a native constructor storing a pointer, udsize and attributes
    sq_pushroottable(v);
    sq_pushstring(v, "Box", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_newclass(v, SQFalse)));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setclassudsize(v, -1, 32)));
    sq_pushstring(v, "size", -1);
    sq_pushinteger(v, 3);
    sq_newtable(v);
    sq_pushstring(v, "doc", -1);
    sq_pushstring(v, "edge", -1);
    sq_newslot(v, -3, SQFalse);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_newmember(v, -4, SQFalse)));
    sq_pushstring(v, "count", -1);
    sq_pushinteger(v, 0);
    sq_pushnull(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_rawnewmember(v, -4, SQTrue)));
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);

    EXPECT_EQ(Out("local b = Box(); print(b.size + \" \" + Box.getattributes(\"size\").doc + \" \" + Box.count)"),
              "3 edge 0");
    GetGlobal(v, "Box");
    ASSERT_TRUE(SQ_SUCCEEDED(sq_createinstance(v, -1)));
    SQUserPointer up = nullptr;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(v, -1, &up, nullptr, SQFalse)));
    EXPECT_NE(up, nullptr);  // points at the class udsize buffer
    EXPECT_EQ(sq_getsize(v, -1), 32);
    memset(up, 0xAB, 32);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getclass(v, -1)));
    EXPECT_EQ(sq_gettype(v, -1), OT_CLASS);
    sq_pop(v, 1);
    sq_pushstring(v, "size", -1);
    sq_pushinteger(v, 8);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_set(v, -3)));
    sq_pushstring(v, "size", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    EXPECT_EQ(TopInt(v), 8);
    sq_settop(v, 0);
    // attributes of a member through the API
    GetGlobal(v, "Box");
    sq_pushstring(v, "size", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getattributes(v, -2)));
    EXPECT_EQ(sq_gettype(v, -1), OT_TABLE);
    sq_pop(v, 1);
    sq_pushnull(v);
    sq_pushstring(v, "class level", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setattributes(v, -3)));
    sq_pop(v, 1);
    sq_pushnull(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getattributes(v, -2)));
    EXPECT_EQ(TopString(v), "class level");
    sq_pop(v, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getbase(v, -1)));
    EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
    sq_settop(v, 0);
    // instantiated classes refuse new fields but accept methods
    EXPECT_FALSE(Run("Box.extra <- 1"));
    EXPECT_TRUE(Run("Box.method <- function() { return size * 2; }"));
    EXPECT_EQ(Out("print(Box().method())"), "6");
}

TEST_F(SqTest, ClosuresThroughTheApi) {
    ASSERT_TRUE(Run("function named(a, b, c = 1) { return a + b + c; }"
                    "local up = 10; withfree <- function() { return up; }"));
    GetGlobal(v, "named");
    SQInteger np = 0, nf = 0;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getclosureinfo(v, -1, &np, &nf)));
    EXPECT_EQ(np, 4);
    EXPECT_EQ(nf, 0);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getclosurename(v, -1)));
    EXPECT_EQ(TopString(v), "named");
    sq_pop(v, 1);
    sq_pushroottable(v);
    sq_pushinteger(v, 1);
    sq_pushinteger(v, 2);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 3, SQTrue, SQTrue)));  // default for c
    EXPECT_EQ(TopInt(v), 4);
    sq_settop(v, 0);
    GetGlobal(v, "withfree");
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getclosureinfo(v, -1, &np, &nf)));
    EXPECT_EQ(nf, 1);
    const SQChar *name = sq_getfreevariable(v, -1, 0);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "up");
    EXPECT_EQ(TopInt(v), 10);
    sq_pop(v, 1);
    sq_pushinteger(v, 77);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setfreevariable(v, -2, 0)));
    EXPECT_EQ(sq_getfreevariable(v, -1, 5), nullptr);
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
    EXPECT_EQ(TopInt(v), 77);
    sq_settop(v, 0);
    // binding an environment and a custom root
    ASSERT_TRUE(Run("function who() { return this.name; } rootfn <- function() { return ::marker; }"));
    GetGlobal(v, "who");
    sq_newtable(v);
    sq_pushstring(v, "name", -1);
    sq_pushstring(v, "bound", -1);
    sq_newslot(v, -3, SQFalse);
    sq_push(v, -1);  // the closure holds its environment weakly: keep it alive
    ASSERT_TRUE(SQ_SUCCEEDED(sq_bindenv(v, -3)));
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
    EXPECT_EQ(TopString(v), "bound");
    sq_settop(v, 0);
    sq_pushinteger(v, 1);
    EXPECT_TRUE(SQ_FAILED(sq_bindenv(v, -1)));
    sq_settop(v, 0);
    GetGlobal(v, "rootfn");
    sq_newtable(v);
    sq_pushstring(v, "marker", -1);
    sq_pushstring(v, "custom", -1);
    sq_newslot(v, -3, SQFalse);
    sq_push(v, -1);  // roots are held weakly too
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setclosureroot(v, -3)));
    sq_push(v, -2);
    sq_pushroottable(v);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
    EXPECT_EQ(TopString(v), "custom");
    sq_settop(v, 0);
}

namespace {
SQInteger NativeSuspend(HSQUIRRELVM v) {
    sq_pushinteger(v, 5);
    return sq_suspendvm(v);
}
}  // namespace

TEST_F(SqTest, ThreadsFromC) {
    ASSERT_TRUE(Run("function body(n) { local got = suspend(n * 2); return got + 1; }"));
    HSQUIRRELVM t = sq_newthread(v, 256);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(sq_gettype(v, -1), OT_THREAD);
    EXPECT_EQ(sq_getvmstate(t), SQ_VMSTATE_IDLE);
    GetGlobal(t, "body");
    sq_pushroottable(t);
    sq_pushinteger(t, 4);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(t, 2, SQTrue, SQTrue)));
    EXPECT_EQ(sq_getvmstate(t), SQ_VMSTATE_SUSPENDED);
    EXPECT_EQ(TopInt(t), 8);
    sq_pop(t, 1);
    sq_pushinteger(t, 41);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(t, SQTrue, SQTrue, SQTrue, SQFalse)));
    EXPECT_EQ(TopInt(t), 42);
    EXPECT_EQ(sq_getvmstate(t), SQ_VMSTATE_IDLE);
    EXPECT_TRUE(SQ_FAILED(sq_wakeupvm(t, SQFalse, SQFalse, SQFalse, SQFalse)));
    // a native that suspends the VM it was called from
    sq_pushroottable(v);
    sq_pushstring(v, "nsusp", -1);
    sq_newclosure(v, NativeSuspend, 0);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    EXPECT_EQ(Out("local th = newthread(function() { local r = nsusp(); return \"after \" + r; });"
                  "print(th.call() + \" \" + th.wakeup(\"w\"))"),
              "5 after w");
    sq_settop(v, 0);
}

namespace {
std::vector<SQInteger> g_hookevents;
void NativeHook(HSQUIRRELVM, SQInteger type, const SQChar *, SQInteger, const SQChar *) {
    g_hookevents.push_back(type);
}
bool g_hook_notified = false;
SQInteger NoteHandler(HSQUIRRELVM) {
    g_hook_notified = true;
    return 0;
}
}  // namespace

TEST_F(SqTest, DebugHooksAndFunctionInfo) {
    g_hookevents.clear();
    sq_enabledebuginfo(v, SQTrue);
    sq_setnativedebughook(v, NativeHook);
    ASSERT_TRUE(Run("function f() {\n return 1;\n}\nf();"));
    sq_setnativedebughook(v, nullptr);
    int calls = 0, rets = 0, lines = 0;
    for (auto e : g_hookevents) {
        calls += e == 'c';
        rets += e == 'r';
        lines += e == 'l';
    }
    EXPECT_GE(calls, 2);
    EXPECT_EQ(calls, rets);
    EXPECT_GE(lines, 2);
    // the callback sees nothing once removed
    g_hookevents.clear();
    ASSERT_TRUE(Run("local x = 1;"));
    EXPECT_TRUE(g_hookevents.empty());
    // notifyallexceptions reports caught errors too
    sq_newclosure(v, NoteHandler, 0);
    sq_seterrorhandler(v);
    sq_notifyallexceptions(v, SQTrue);
    g_hook_notified = false;
    ASSERT_TRUE(Run("try { throw 1 } catch (e) {}"));
    EXPECT_TRUE(g_hook_notified);
    sq_notifyallexceptions(v, SQFalse);
    g_hook_notified = false;
    ASSERT_TRUE(Run("try { throw 1 } catch (e) {}"));
    EXPECT_FALSE(g_hook_notified);
}

TEST_F(SqTest, ConversionsComparisonsAndHashes) {
    ASSERT_TRUE(Run("class T { function _tostring() { return \"T!\"; } function _typeof() { return \"tee\"; } } tinst <- T();"));
    GetGlobal(v, "tinst");
    ASSERT_TRUE(SQ_SUCCEEDED(sq_tostring(v, -1)));
    EXPECT_EQ(TopString(v), "T!");
    sq_pop(v, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_typeof(v, -1)));
    EXPECT_EQ(TopString(v), "tee");
    sq_settop(v, 0);
    sq_pushfloat(v, 0.0f);
    SQBool b = SQTrue;
    sq_tobool(v, -1, &b);
    EXPECT_EQ(b, SQFalse);
    sq_pushstring(v, "", 0);
    sq_tobool(v, -1, &b);
    EXPECT_EQ(b, SQTrue);
    sq_pushinteger(v, 3);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_tostring(v, -1)));
    EXPECT_EQ(TopString(v), "3");
    sq_settop(v, 0);
    sq_pushstring(v, "same", -1);
    sq_pushstring(v, "same", -1);
    EXPECT_EQ(sq_gethash(v, -1), sq_gethash(v, -2));
    EXPECT_EQ(sq_cmp(v), 0);
    HSQOBJECT o;
    sq_getstackobj(v, -1, &o);
    EXPECT_STREQ(sq_objtostring(&o), "same");
    EXPECT_EQ(sq_objtointeger(&o), 0);
    sq_settop(v, 0);
    sq_pushfloat(v, 2.75f);
    sq_getstackobj(v, -1, &o);
    EXPECT_EQ(sq_objtointeger(&o), 2);
    EXPECT_FLOAT_EQ(sq_objtofloat(&o), 2.75f);
    sq_pushuserpointer(v, &o);
    sq_getstackobj(v, -1, &o);
    EXPECT_EQ(sq_objtouserpointer(&o), &o);
    sq_settop(v, 0);
    SQChar *pad = sq_getscratchpad(v, 1000);
    ASSERT_NE(pad, nullptr);
    memset(pad, 'x', 1000);
}

TEST_F(SqTest, RegistryConstAndRootTables) {
    sq_pushregistrytable(v);
    sq_pushstring(v, "secret", -1);
    sq_pushinteger(v, 1);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    EXPECT_FALSE(Run("print(secret)"));  // the registry is not visible to scripts
    sq_pushconsttable(v);
    sq_pushstring(v, "LIMIT", -1);
    sq_pushinteger(v, 64);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    EXPECT_EQ(Out("print(LIMIT * 2)"), "128");
    // a fresh root table for the VM
    sq_newtable(v);
    sq_pushstring(v, "only", -1);
    sq_pushinteger(v, 3);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, "print", -1);
    GetGlobal(v, "print");
    sq_newslot(v, -3, SQFalse);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setroottable(v)));
    EXPECT_EQ(Out("print(only)"), "3");
    EXPECT_FALSE(Run("array(1)"));
}

TEST_F(SqTest, ForeignPointersAndVmReleaseHook) {
    static int shared_released = 0;
    int fp = 1, sfp = 2;
    sq_setforeignptr(v, &fp);
    sq_setsharedforeignptr(v, &sfp);
    EXPECT_EQ(sq_getforeignptr(v), &fp);
    EXPECT_EQ(sq_getsharedforeignptr(v), &sfp);
    sq_setsharedreleasehook(v, [](SQUserPointer p, SQInteger) -> SQInteger {
        shared_released = *static_cast<int *>(p);
        return 0;
    });
    EXPECT_EQ(sq_getversion(), SQUIRREL_VERSION_NUMBER);
    EXPECT_EQ(sq_getprintfunc(v), (SQPRINTFUNCTION)CapPrint);
    sq_close(v);
    v = nullptr;
    EXPECT_EQ(shared_released, 2);
}

TEST_F(SqTest, ResurrectUnreachableReturnsTheCycles) {
    ASSERT_TRUE(Run("local a = {}; local b = {x = a}; a.y <- b;"));
    ASSERT_TRUE(SQ_SUCCEEDED(sq_resurrectunreachable(v)));
    ASSERT_EQ(sq_gettype(v, -1), OT_ARRAY);
    EXPECT_GE(sq_getsize(v, -1), 2);
    sq_pop(v, 1);
    // they were handed back, not freed: collecting again finds them
    EXPECT_GE(sq_collectgarbage(v), 2);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_resurrectunreachable(v)));
    EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
    sq_pop(v, 1);
}

TEST_F(SqTest, ApiMisuseWithEmptyStackFailsCleanly) {
    // every call below gets too few values or bad indices; each must fail without touching memory
    EXPECT_TRUE(SQ_FAILED(sq_set(v, 1)));
    EXPECT_TRUE(SQ_FAILED(sq_get(v, -1)));
    EXPECT_TRUE(SQ_FAILED(sq_rawset(v, 5)));
    EXPECT_TRUE(SQ_FAILED(sq_newslot(v, 1, SQFalse)));
    EXPECT_TRUE(SQ_FAILED(sq_deleteslot(v, 1, SQTrue)));
    EXPECT_TRUE(SQ_FAILED(sq_arrayappend(v, 1)));
    EXPECT_TRUE(SQ_FAILED(sq_call(v, 3, SQTrue, SQTrue)));
    EXPECT_TRUE(SQ_FAILED(sq_setattributes(v, 1)));
    EXPECT_TRUE(SQ_FAILED(sq_next(v, 1)));
    EXPECT_TRUE(SQ_FAILED(sq_bindenv(v, 1)));
    EXPECT_TRUE(SQ_FAILED(sq_resume(v, SQTrue, SQTrue)));
    EXPECT_TRUE(SQ_FAILED(sq_wakeupvm(v, SQTrue, SQTrue, SQTrue, SQFalse)));
    sq_pop(v, 10);
    sq_remove(v, 3);
    sq_throwobject(v);
    sq_seterrorhandler(v);
    EXPECT_TRUE(SQ_FAILED(sq_setroottable(v)));
    sq_newclosure(v, nullptr, 50);
    EXPECT_TRUE(SQ_FAILED(sq_setparamscheck(v, 2, "xx|")));
    sq_settop(v, 0);
    EXPECT_EQ(sq_gettop(v), 0);
    EXPECT_EQ(Out("print(\"alive\")"), "alive");
}
