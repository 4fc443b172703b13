#include <gtest/gtest.h>
#include "core/global_ramps.h"
#include "script/sq_ramps.h"

using namespace sqbind;

struct RampVm : ::testing::Test
{
  HSQUIRRELVM vm = nullptr;
  void SetUp() override
  {
    vm = create_vm(1024);
    bind_vec4f(vm);
    bind_ramps(vm);
  }
  void TearDown() override { destroy_vm(vm); }
  bool run(const char *src)
  {
    SQInteger top = sq_gettop(vm);
    bool ok = compile_buffer(vm, src, SQInteger(strlen(src)), "ramps.nut");
    if (ok)
    {
      sq_pushroottable(vm);
      ok = SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
    }
    sq_settop(vm, top);
    return ok;
  }
  template <typename T>
  T *global(const char *name)
  {
    SQInteger top = sq_gettop(vm);
    sq_pushroottable(vm);
    sq_pushstring(vm, name, -1);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)));
    T *p = getInst<T>(vm, -1);
    sq_settop(vm, top);
    return p;
  }
};

TEST_F(RampVm, ConstructorReadsScriptColourValues)
{
  ASSERT_TRUE(run("packed <- ColorRamp(function(t) { return 0xFF0000FF; });"
                  "grey <- ColorRamp(function(t) { return 0.5; });"
                  "arr <- ColorRamp(function(t) { return [t, 0, 1 - t, 1]; });"
                  "f <- FloatRamp(function(t) { return t * 2; });"));
  vec4f p = global<SqColorRamp>("packed")->samples[100];
  EXPECT_EQ(p, vec4f(0, 0, 1, 1));
  EXPECT_EQ(global<SqColorRamp>("grey")->samples[0], vec4f(0.5f));
  EXPECT_FLOAT_EQ(global<SqColorRamp>("arr")->get(0.25f).x, 0.25f);
  EXPECT_FLOAT_EQ(global<SqFloatRamp>("f")->samples[256], 2.f);
  EXPECT_FALSE(run("bad <- FloatRamp(function(t) { return \"x\"; });"));
  EXPECT_FALSE(run("bad <- ColorRamp(function(t) { return {}; });"));
}

TEST_F(RampVm, StaticsAndGet)
{
  ASSERT_TRUE(run("lin <- FloatRamp.linear(0, 1);"
                  "flat <- ColorRamp.fadeInOut(0xFF000000, 0xFFFFFFFF, 0xFF000000, 0, 0);"
                  "c <- ColorRamp.constRamp([1, 2, 3, 4]);"
                  "g <- lin.get(0.5); v <- c.get(0.7);"));
  EXPECT_FLOAT_EQ(global<SqFloatRamp>("lin")->get(0.3f), 0.3f);
  SqColorRamp *flat = global<SqColorRamp>("flat");
  EXPECT_EQ(flat->samples[0], vec4f(1.f));
  EXPECT_EQ(flat->samples[256], vec4f(1.f));
  EXPECT_FLOAT_EQ(getGlobal<float>(vm, "g"), 0.5f);
  EXPECT_FLOAT_EQ(global<SqVec4f>("v")->w, 4.f);
}

TEST(GlobalRamps, BuiltBeforeMainWithTheirShapes)
{
  // Rising until t = 0.9, falling strictly after it.
  EXPECT_LT(blend_rev_fade_anim.samples[229].w, blend_rev_fade_anim.samples[230].w);
  EXPECT_LT(blend_rev_fade_anim.samples[231].w, 1.f);
  EXPECT_GT(blend_rev_fade_anim.samples[231].w, blend_rev_fade_anim.samples[232].w);
  EXPECT_FLOAT_EQ(size_05_4_anim.samples[256], 4.f);
  EXPECT_FLOAT_EQ(size_05_2_anim.samples[0], 0.5f);
  EXPECT_EQ(std_roll_anim.samples[128], 0.f);
  // glow_std: fadeOut 0.9, so it falls from t = 0.1 on; t = 0.5 is 4/9 of the way down.
  float s = 0.4f / 0.9f;
  EXPECT_NEAR(glow_std_fade_anim.samples[128].x, 1.f - s * s * (3.f - 2.f * s), 1e-5);
  EXPECT_LT(glow_std_fade_anim.samples[24].w, glow_std_fade_anim.samples[25].w);
}
