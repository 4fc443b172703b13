// Default error reporting: the runtime error banner, the call stack with every
// frame's locals, and the compiler error line.
#include "sqstdaux.h"

namespace {

SQPRINTFUNCTION error_out(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = sq_geterrorfunc(v);
    return pf ? pf : sq_getprintfunc(v);
}

void print_local(HSQUIRRELVM v, SQPRINTFUNCTION pf, const SQChar *name) {
    switch (sq_gettype(v, -1)) {
        case OT_NULL: pf(v, "[%s] NULL\n", name); break;
        case OT_INTEGER: {
            SQInteger i = 0;
            sq_getinteger(v, -1, &i);
            pf(v, "[%s] %lld\n", name, (long long)i);
            break;
        }
        case OT_FLOAT: {
            SQFloat f = 0;
            sq_getfloat(v, -1, &f);
            pf(v, "[%s] %.14g\n", name, (double)f);
            break;
        }
        case OT_BOOL: {
            SQBool b = SQFalse;
            sq_getbool(v, -1, &b);
            pf(v, "[%s] %s\n", name, b ? "true" : "false");
            break;
        }
        case OT_STRING: {
            const SQChar *s = "";
            sq_getstring(v, -1, &s);
            pf(v, "[%s] \"%s\"\n", name, s);
            break;
        }
        case OT_TABLE: pf(v, "[%s] TABLE\n", name); break;
        case OT_ARRAY: pf(v, "[%s] ARRAY\n", name); break;
        case OT_CLOSURE: pf(v, "[%s] CLOSURE\n", name); break;
        case OT_NATIVECLOSURE: pf(v, "[%s] NATIVECLOSURE\n", name); break;
        case OT_GENERATOR: pf(v, "[%s] GENERATOR\n", name); break;
        case OT_USERDATA: pf(v, "[%s] USERDATA\n", name); break;
        case OT_USERPOINTER: pf(v, "[%s] USERPOINTER\n", name); break;
        case OT_THREAD: pf(v, "[%s] THREAD\n", name); break;
        case OT_CLASS: pf(v, "[%s] CLASS\n", name); break;
        case OT_INSTANCE: pf(v, "[%s] INSTANCE\n", name); break;
        case OT_WEAKREF: pf(v, "[%s] WEAKREF\n", name); break;
        default: pf(v, "[%s] UNKNOWN\n", name); break;
    }
}

SQInteger runtime_error_handler(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = error_out(v);
    if (!pf) return 0;
    const SQChar *msg = "unknown";
    if (sq_gettop(v) >= 2 && sq_gettype(v, 2) == OT_STRING) sq_getstring(v, 2, &msg);
    pf(v, "\nAN ERROR HAS OCCURRED [%s]\n", msg);
    sqstd_printcallstack(v);
    return 0;
}

void compiler_error_handler(HSQUIRRELVM v, const SQChar *desc, const SQChar *source, SQInteger line, SQInteger column) {
    SQPRINTFUNCTION pf = error_out(v);
    if (pf)
        pf(v, "%s line = (%lld) column = (%lld) : error %s\n", source ? source : "", (long long)line, (long long)column,
           desc ? desc : "");
}

}  // namespace

void sqstd_printcallstack(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = error_out(v);
    if (!pf) return;
    SQStackInfos si;
    // level 0 is the running native function (the handler itself when called from one)
    pf(v, "\nCALLSTACK\n");
    SQInteger level = 1;
    while (SQ_SUCCEEDED(sq_stackinfos(v, level, &si))) {
        pf(v, "*FUNCTION [%s()] %s line [%lld]\n", si.funcname ? si.funcname : "unknown",
           si.source ? si.source : "unknown", (long long)si.line);
        ++level;
    }
    pf(v, "\nLOCALS\n");
    for (SQInteger lv = 1; lv < level; ++lv) {
        for (SQUnsignedInteger seq = 0;; ++seq) {
            const SQChar *name = sq_getlocal(v, (SQUnsignedInteger)lv, seq);
            if (!name) break;
            print_local(v, pf, name);
            sq_poptop(v);
        }
    }
}

void sqstd_seterrorhandlers(HSQUIRRELVM v) {
    sq_setcompilererrorhandler(v, compiler_error_handler);
    sq_newclosure(v, runtime_error_handler, 0);
    sq_seterrorhandler(v);
}
