// The math library: thin wrappers over the C runtime, registered as globals.
#include "sqstdmath.h"

#include "sqfast.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

SQFloat arg_float(HSQUIRRELVM v, SQInteger idx) {
    SQFloat f = 0;
    sq_getfloat(v, idx, &f);
    return f;
}

template <double (*F)(double)>
SQInteger math_unary(HSQUIRRELVM v) {
    sq_pushfloat(v, (SQFloat)F((double)arg_float(v, 2)));
    return 1;
}
// the same without a call frame, for the interpreter's shortcut
template <double (*F)(double)>
bool fast_unary(const SQObject *a, SQInteger n, SQObject &res) {
    if (n != 2 || !(a[1]._type & SQOBJECT_NUMERIC)) return false;
    res = SQObjectPtr((SQFloat)F((double)tofloat(a[1])));
    return true;
}

template <double (*F)(double, double)>
SQInteger math_binary(HSQUIRRELVM v) {
    sq_pushfloat(v, (SQFloat)F((double)arg_float(v, 2), (double)arg_float(v, 3)));
    return 1;
}
template <double (*F)(double, double)>
bool fast_binary(const SQObject *a, SQInteger n, SQObject &res) {
    if (n != 3 || !(a[1]._type & SQOBJECT_NUMERIC) || !(a[2]._type & SQOBJECT_NUMERIC)) return false;
    res = SQObjectPtr((SQFloat)F((double)tofloat(a[1]), (double)tofloat(a[2])));
    return true;
}

// abs works on a C int: the value (a float truncated first) is cut to its low
// 32 bits, so abs(-2147483648) stays negative and larger values wrap.
SQInteger abs_of(SQInteger n) {
    int32_t i = (int32_t)(uint32_t)(SQUnsignedInteger)n;
    return i < 0 ? (SQInteger)(int32_t)(0u - (uint32_t)i) : i;
}
SQInteger math_abs(HSQUIRRELVM v) {
    SQInteger n = 0;
    sq_getinteger(v, 2, &n);
    sq_pushinteger(v, abs_of(n));
    return 1;
}
bool fast_abs(const SQObject *a, SQInteger n, SQObject &res) {
    if (n != 2 || !(a[1]._type & SQOBJECT_NUMERIC)) return false;
    res = SQObjectPtr(abs_of(tointeger(a[1])));
    return true;
}

SQInteger math_rand(HSQUIRRELVM v) {
    sq_pushinteger(v, std::rand());
    return 1;
}

SQInteger math_srand(HSQUIRRELVM v) {
    SQInteger seed = 0;
    sq_getinteger(v, 2, &seed);
    std::srand((unsigned)seed);
    return 0;
}

double c_sqrt(double x) { return std::sqrt(x); }
double c_sin(double x) { return std::sin(x); }
double c_cos(double x) { return std::cos(x); }
double c_tan(double x) { return std::tan(x); }
double c_asin(double x) { return std::asin(x); }
double c_acos(double x) { return std::acos(x); }
double c_atan(double x) { return std::atan(x); }
double c_log(double x) { return std::log(x); }
double c_log10(double x) { return std::log10(x); }
double c_exp(double x) { return std::exp(x); }
double c_floor(double x) { return std::floor(x); }
double c_ceil(double x) { return std::ceil(x); }
double c_fabs(double x) { return std::fabs(x); }
double c_atan2(double y, double x) { return std::atan2(y, x); }
double c_pow(double x, double y) { return std::pow(x, y); }

struct MathFunc {
    SQRegFunction reg;
    SQFASTFUNCTION fast;
};
#define UNARY(name, f) \
    { {name, math_unary<f>, 2, ".n"}, fast_unary<f> }
#define BINARY(name, f) \
    { {name, math_binary<f>, 3, ".nn"}, fast_binary<f> }
// clang-format off
const MathFunc kMathFuncs[] = {
    UNARY("sqrt", c_sqrt), UNARY("sin", c_sin), UNARY("cos", c_cos), UNARY("asin", c_asin),
    UNARY("acos", c_acos), UNARY("log", c_log), UNARY("log10", c_log10), UNARY("tan", c_tan),
    UNARY("atan", c_atan), BINARY("atan2", c_atan2), BINARY("pow", c_pow), UNARY("floor", c_floor),
    UNARY("ceil", c_ceil), UNARY("exp", c_exp), {{"srand", math_srand, 2, ".n"}, nullptr},
    {{"rand", math_rand, 1, nullptr}, nullptr}, UNARY("fabs", c_fabs), {{"abs", math_abs, 2, ".n"}, fast_abs},
};
// clang-format on
#undef UNARY
#undef BINARY

}  // namespace

SQRESULT sqstd_register_mathlib(HSQUIRRELVM v) {
    for (const MathFunc &m : kMathFuncs) {
        const SQRegFunction &f = m.reg;
        sq_pushstring(v, f.name, -1);
        sq_newclosure(v, f.f, 0);
        sq_setparamscheck(v, f.nparamscheck, f.typemask);
        sq_setnativeclosurename(v, -1, f.name);
        if (m.fast) sq_setfastpath(v, m.fast);
        sq_newslot(v, -3, SQFalse);
    }
    sq_pushstring(v, "RAND_MAX", -1);
    sq_pushinteger(v, RAND_MAX);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, "PI", -1);
    sq_pushfloat(v, (SQFloat)3.14159265358979323846);
    sq_newslot(v, -3, SQFalse);
    return SQ_OK;
}
