// The math library: thin wrappers over the C runtime, registered as globals.
#include "sqstdmath.h"

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

template <double (*F)(double, double)>
SQInteger math_binary(HSQUIRRELVM v) {
    sq_pushfloat(v, (SQFloat)F((double)arg_float(v, 2), (double)arg_float(v, 3)));
    return 1;
}

// abs works on a C int: the value (a float truncated first) is cut to its low
// 32 bits, so abs(-2147483648) stays negative and larger values wrap.
SQInteger math_abs(HSQUIRRELVM v) {
    SQInteger n = 0;
    sq_getinteger(v, 2, &n);
    int32_t i = (int32_t)(uint32_t)(SQUnsignedInteger)n;
    sq_pushinteger(v, i < 0 ? (SQInteger)(int32_t)(0u - (uint32_t)i) : i);
    return 1;
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

const SQRegFunction kMathFuncs[] = {
    {"sqrt", math_unary<c_sqrt>, 2, ".n"},
    {"sin", math_unary<c_sin>, 2, ".n"},
    {"cos", math_unary<c_cos>, 2, ".n"},
    {"asin", math_unary<c_asin>, 2, ".n"},
    {"acos", math_unary<c_acos>, 2, ".n"},
    {"log", math_unary<c_log>, 2, ".n"},
    {"log10", math_unary<c_log10>, 2, ".n"},
    {"tan", math_unary<c_tan>, 2, ".n"},
    {"atan", math_unary<c_atan>, 2, ".n"},
    {"atan2", math_binary<c_atan2>, 3, ".nn"},
    {"pow", math_binary<c_pow>, 3, ".nn"},
    {"floor", math_unary<c_floor>, 2, ".n"},
    {"ceil", math_unary<c_ceil>, 2, ".n"},
    {"exp", math_unary<c_exp>, 2, ".n"},
    {"srand", math_srand, 2, ".n"},
    {"rand", math_rand, 1, nullptr},
    {"fabs", math_unary<c_fabs>, 2, ".n"},
    {"abs", math_abs, 2, ".n"},
};

} // namespace

SQRESULT sqstd_register_mathlib(HSQUIRRELVM v) {
    for (const SQRegFunction &f : kMathFuncs) {
        sq_pushstring(v, f.name, -1);
        sq_newclosure(v, f.f, 0);
        sq_setparamscheck(v, f.nparamscheck, f.typemask);
        sq_setnativeclosurename(v, -1, f.name);
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
