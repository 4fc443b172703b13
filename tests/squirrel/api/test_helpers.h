// Shared fixture for the engine's C API tests: a VM with captured print and
// error output and compiler diagnostics.
#pragma once
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "squirrel.h"

struct Captured {
    std::string out, err, compile_msg;
    SQInteger compile_line = -1, compile_col = -1;
};

inline Captured *g_cap = nullptr;

inline void CapPrint(HSQUIRRELVM, const SQChar *fmt, ...) {
    char buf[4096];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (g_cap) g_cap->out += buf;
}
inline void CapError(HSQUIRRELVM, const SQChar *fmt, ...) {
    char buf[4096];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (g_cap) g_cap->err += buf;
}
inline void CapCompile(HSQUIRRELVM, const SQChar *desc, const SQChar *, SQInteger line, SQInteger col) {
    if (g_cap) {
        g_cap->compile_msg = desc;
        g_cap->compile_line = line;
        g_cap->compile_col = col;
    }
}

class SqTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_cap = &cap;
        v = sq_open(1024);
        sq_setprintfunc(v, CapPrint, CapError);
        sq_setcompilererrorhandler(v, CapCompile);
    }
    void TearDown() override {
        if (v) sq_close(v);
        g_cap = nullptr;
    }
    // compiles and runs src with the root table as this; true on success
    bool Run(const char *src) {
        SQInteger top = sq_gettop(v);
        if (SQ_FAILED(sq_compilebuffer(v, src, (SQInteger)strlen(src), "test", SQTrue))) return false;
        sq_pushroottable(v);
        bool ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
        sq_settop(v, top);
        return ok;
    }
    // runs src and returns what it printed
    std::string Out(const char *src) {
        cap.out.clear();
        EXPECT_TRUE(Run(src)) << LastError();
        return cap.out;
    }
    std::string LastError() {
        sq_getlasterror(v);
        const SQChar *s = "";
        if (sq_gettype(v, -1) == OT_STRING) sq_getstring(v, -1, &s);
        std::string r = s;
        sq_pop(v, 1);
        return r;
    }
    // runs src expecting a runtime error and returns its message
    std::string ErrorOf(const char *src) {
        EXPECT_FALSE(Run(src));
        return LastError();
    }

    HSQUIRRELVM v = nullptr;
    Captured cap;
};
