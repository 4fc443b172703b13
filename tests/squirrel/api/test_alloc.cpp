// Out of memory anywhere: every allocation the engine makes while opening a VM,
// compiling and running a script and closing the VM is made to fail in turn.
// Each run must end without a crash, with success or a clean error, and leave
// no engine block behind once the VM is closed.
#include <gtest/gtest.h>

#include <string>

#include "sqstdmath.h"
#include "sqstdstring.h"
#include "squirrel.h"

// test hooks of the engine's allocator (squirrel/src/sqalloc.h)
extern "C" SQUIRREL_API void sq_failallocation(SQInteger n);
extern "C" SQUIRREL_API SQInteger sq_liveblocks(void);
extern "C" SQUIRREL_API SQInteger sq_allocations(void);

namespace {

void quiet(HSQUIRRELVM, const SQChar *, ...) {}

enum class Outcome { kNoVm, kCompileError, kRuntimeError, kDone };

Outcome RunOnce(const std::string &src) {
    HSQUIRRELVM v = sq_open(256);
    if (!v) return Outcome::kNoVm;
    sq_setprintfunc(v, quiet, quiet);
    sq_pushroottable(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_pop(v, 1);
    Outcome r = Outcome::kDone;
    if (SQ_FAILED(sq_compilebuffer(v, src.data(), (SQInteger)src.size(), "alloc", SQFalse))) {
        r = Outcome::kCompileError;
    } else {
        sq_pushroottable(v);
        if (SQ_FAILED(sq_call(v, 1, SQFalse, SQFalse))) r = Outcome::kRuntimeError;
    }
    sq_close(v);
    return r;
}

void FailEachAllocation(const std::string &src) {
    const SQInteger base = sq_liveblocks();
    SQInteger before = sq_allocations();
    ASSERT_EQ(RunOnce(src), Outcome::kDone);
    SQInteger n = sq_allocations() - before;
    ASSERT_EQ(sq_liveblocks(), base);
    for (SQInteger k = 1; k <= n; k++) {
        sq_failallocation(k);
        Outcome r = Outcome::kDone;
        try {
            r = RunOnce(src);
        } catch (const std::bad_alloc &) {
            sq_failallocation(0);
            FAIL() << "out of memory escaped the C API at allocation " << k << " of " << n;
        }
        sq_failallocation(0);
        EXPECT_EQ(sq_liveblocks(), base) << "blocks left after failing allocation " << k << " of " << n;
        (void)r;
        if (::testing::Test::HasFailure()) return;
    }
}

const char *kTables = R"(
local t = { a = 1, b = [1, 2, 3], c = { d = "x" + 1 } };
for (local i = 0; i < 20; i++) t["k" + i] <- i * 0.5;
foreach (k, v in t) t[k] = v;
delete t.a;
local s = "";
foreach (k in t.keys()) s += k;
return s.len();
)";

const char *kClasses = R"(
class Base { x = 0; constructor(v) { x = v; } function get() { return x; } }
class Derived extends Base { y = null; constructor() { base.constructor(2); y = [x]; } }
local d = Derived();
local w = d.weakref();
local c = clone d;
function gen(n) { for (local i = 0; i < n; i++) yield i; }
local total = 0;
foreach (v in gen(5)) total += v;
local f = function(k) { return @() k + total; };
return f(3)() + c.get() + w.ref().y.len();
)";

const char *kErrorsAndLibs = R"(
local r = [];
try { null.x; } catch (e) { r.append(e); }
try { throw { code = 1 }; } catch (e) { r.append(e.code); }
r.append(format("%d-%s-%.2f", 7, "s", 0.5));
r.append(split("a,b,,c", ","));
r.append(regexp("[a-z]+").search("12abc"));
local sorted = [3, 1, 2].sort(@(a, b) a <=> b).map(@(v) v * 2);
local t = newthread(function(a) { suspend(a); return a + 1; });
t.call(1);
t.wakeup();
return sorted.len() + r.len();
)";

TEST(SqAllocation, TablesSurviveEveryFailedAllocation) { FailEachAllocation(kTables); }
TEST(SqAllocation, ClassesClosuresAndGeneratorsSurviveEveryFailedAllocation) { FailEachAllocation(kClasses); }
TEST(SqAllocation, ErrorsThreadsAndLibrariesSurviveEveryFailedAllocation) { FailEachAllocation(kErrorsAndLibs); }

TEST(SqAllocation, CountsLiveBlocks) {
    const SQInteger base = sq_liveblocks();
    HSQUIRRELVM v = sq_open(256);
    ASSERT_NE(v, nullptr);
    SQInteger open = sq_liveblocks();
    EXPECT_GT(open, base);
    sq_newarray(v, 0);
    EXPECT_GT(sq_liveblocks(), open);
    sq_pop(v, 1);
    EXPECT_EQ(sq_liveblocks(), open);
    sq_close(v);
    EXPECT_EQ(sq_liveblocks(), base);
}

}  // namespace
