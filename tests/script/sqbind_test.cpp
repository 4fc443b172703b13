#include <cstdarg>
#include <gtest/gtest.h>
#include <string>
#include "script/sqbind.h"

using namespace sqbind;

static std::string captured;
static void capture(HSQUIRRELVM, const SQChar *fmt, ...)
{
  char buf[4096];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof(buf), fmt, ap);
  va_end(ap);
  captured += buf;
}

struct VmFixture : ::testing::Test
{
  HSQUIRRELVM vm = nullptr;
  void SetUp() override
  {
    vm = create_vm(1024);
    sq_setprintfunc(vm, capture, capture);
    bind_vec4f(vm);
    captured.clear();
  }
  void TearDown() override { destroy_vm(vm); }

  bool run(const char *src, const char *name = "test.nut")
  {
    SQInteger top = sq_gettop(vm);
    bool ok = compile_buffer(vm, src, SQInteger(strlen(src)), name);
    if (ok)
    {
      sq_pushroottable(vm);
      ok = SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
    }
    sq_settop(vm, top);
    return ok;
  }
  SqObject root()
  {
    SqObject r;
    sq_pushroottable(vm);
    r.fromStack(vm, -1);
    sq_poptop(vm);
    return r;
  }
};

TEST_F(VmFixture, Vec4fArithmeticAndIndexing)
{
  ASSERT_TRUE(run("local v = vec4f(1, 2, 3, 4) + 1;"
                  "print(v[0] + \",\" + v[1] + \",\" + v[2] + \",\" + v[3] + \";\");"
                  "local m = make4f(1, 2, 3); print(m[0] + \" \" + m[3] + \";\");"
                  "local n = norm3(vec4f(0, 0, 0, 5)); print(n[3] + \";\");"
                  "local c = cross(vec4f(1,0,0,0), vec4f(0,1,0,0)); print(c[2] + \";\");"
                  "print(getx(-vec4f(2)) + \";\");"
                  "local d = vec4f(2) * [1, 2, 3, 4]; print(d[3] + \";\");"));
  EXPECT_EQ(captured, "2,3,4,5;1 1;0;1;-2;8;");
  captured.clear();
  EXPECT_FALSE(run("local v = vec4f(1); print(v[4]);"));
  EXPECT_NE(captured.find("vec4f index out of range"), std::string::npos);
  captured.clear();
  EXPECT_FALSE(run("local v = vec4f(1); v[-1] = 2;"));
  EXPECT_NE(captured.find("vec4f index out of range"), std::string::npos);
}

TEST_F(VmFixture, SqFuncBindsCallsAndGoesNull)
{
  ASSERT_TRUE(run("function twice(x) { return x * 2; }\n"
                  "obj <- { k = 3, f = function(x) { return x + k; } };"));
  SqFunc<float> f;
  f.bind(vm, root(), "twice");
  ASSERT_FALSE(f.isNull());
  EXPECT_FLOAT_EQ(f(2.5f), 5.f);

  SqFunc<float> missing;
  missing.bind(vm, root(), "no_such_function");
  EXPECT_TRUE(missing.isNull());

  SqObject obj = getGlobal<SqObject>(vm, "obj");
  SqFunc<float> m;
  m.bind(vm, obj, "f");
  EXPECT_FLOAT_EQ(m(1.f), 4.f); // `this` is the table
  obj.reset();
  ASSERT_TRUE(run("obj <- null;"));
  sq_collectgarbage(vm);
  EXPECT_TRUE(m.isNull());

  SQInteger top = sq_gettop(vm);
  SqFunc<bool> b;
  b.bind(vm, root(), "twice");
  EXPECT_TRUE(b(1.f));
  EXPECT_EQ(sq_gettop(vm), top);
}

TEST_F(VmFixture, FailedSqFuncCallCarriesTheScriptsError)
{
  ASSERT_TRUE(run("function fails(x) { if (x > 1) throw \"too big: \" + x; return {}; }\n"
                  "function throws_table() { throw {}; }"));
  SqFunc<float> f;
  f.bind(vm, root(), "fails");
  const SQInteger top = sq_gettop(vm);
  std::string text;
  try
  {
    f(2.f);
  }
  catch (const SquirrelError &e)
  {
    text = e.msg;
  }
  EXPECT_EQ(text, "too big: 2");
  EXPECT_EQ(sq_gettop(vm), top);
  text.clear();
  try
  {
    f(1.f); // a table is no float
  }
  catch (const SquirrelError &e)
  {
    text = e.msg;
  }
  EXPECT_EQ(text, type_error_text);
  EXPECT_EQ(sq_gettop(vm), top);

  SqFunc<void> t;
  t.bind(vm, root(), "throws_table");
  text.clear();
  try
  {
    t();
  }
  catch (const SquirrelError &e)
  {
    text = e.msg;
  }
  EXPECT_EQ(text, "SqFunc<> call failed"); // no text to carry
}

TEST_F(VmFixture, TypedReadersRaiseWithTexts)
{
  ASSERT_TRUE(run("g_int <- 7; g_str <- \"x\"; g_tab <- { a = 1.5 };"));
  EXPECT_EQ(getGlobal<int>(vm, "g_int"), 7);
  EXPECT_FLOAT_EQ(getSlot<float>(vm, getGlobal<SqObject>(vm, "g_tab"), "a"), 1.5f);
  try
  {
    getGlobal<int>(vm, "g_str");
    FAIL();
  }
  catch (const SquirrelError &e)
  {
    EXPECT_STREQ(e.msg, "sq_get*() failed (type error)");
  }
  SQInteger top = sq_gettop(vm);
  EXPECT_THROW(getGlobal<int>(vm, "nope"), SquirrelError);
  EXPECT_EQ(sq_gettop(vm), top);
  EXPECT_TRUE(getGlobal<bool>(vm, "g_str"));
}

TEST_F(VmFixture, InstancesAndClassReuse)
{
  SQInteger top = sq_gettop(vm);
  EXPECT_TRUE(push_instance(vm, nullptr, ClassTag<SqVec4f>::tag(), "vec4f", nullptr));
  EXPECT_EQ(sq_gettype(vm, -1), OT_NULL);
  sq_settop(vm, top);

  SqClassDef again = create_class(vm, "vec4f", nullptr, ClassTag<SqVec4f>::tag());
  EXPECT_EQ(again.cls.type(), OT_CLASS);
  ASSERT_TRUE(run("print((vec4f(3) instanceof vec4f) + \";\");"));
  EXPECT_EQ(captured, "true;");
  // A native result pushed as a new instance carries its pointer and tag.
  push_vec4f(vm, vec4f(1, 2, 3, 4));
  EXPECT_FLOAT_EQ(getInst<SqVec4f>(vm, -1)->z, 3.f);
  sq_settop(vm, top);
}

TEST_F(VmFixture, ErrorReportsNameFileLineAndLocals)
{
  EXPECT_FALSE(
    run("local x = 1;\nlocal s = \"hi\";\nfunction f(a) { local q = 2.5; return a.nope; }\nf(null);\n", "gen/err.nut"));
  EXPECT_NE(captured.find("\nCALLSTACK\n"), std::string::npos) << captured;
  EXPECT_NE(captured.find("bin/gen/err.nut(3): ERROR: "), std::string::npos) << captured;
  EXPECT_NE(captured.find("(in f())\n"), std::string::npos) << captured;
  EXPECT_NE(captured.find("bin/gen/err.nut(4): function main() (CALLSTACK)\n"), std::string::npos) << captured;
  EXPECT_NE(captured.find("\nLOCALS\n"), std::string::npos);
  EXPECT_NE(captured.find("[q] 2.5\n"), std::string::npos) << captured;
  EXPECT_NE(captured.find("[a] NULL\n"), std::string::npos) << captured;
  EXPECT_NE(captured.find("[s] \"hi\"\n"), std::string::npos) << captured;
  EXPECT_NE(captured.find("[x] 1\n"), std::string::npos) << captured;

  captured.clear();
  EXPECT_FALSE(run("local a = ;", "bad.nut"));
  EXPECT_EQ(captured.rfind("bin/bad.nut(1,", 0), 0u) << captured;
  EXPECT_NE(captured.find("): error: "), std::string::npos) << captured;
}
