// The system library: process clock, calendar time and a few file-system calls.
#include "sqstdsystem.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

SQInteger sys_getenv(HSQUIRRELVM v) {
    const SQChar *name;
    sq_getstring(v, 2, &name);
    const char *value = std::getenv(name);
    if (!value) return 0;
    sq_pushstring(v, value, -1);
    return 1;
}

SQInteger sys_system(HSQUIRRELVM v) {
    const SQChar *cmd;
    sq_getstring(v, 2, &cmd);
    sq_pushinteger(v, std::system(cmd));
    return 1;
}

SQInteger sys_clock(HSQUIRRELVM v) {
    sq_pushfloat(v, (SQFloat)((double)std::clock() / (double)CLOCKS_PER_SEC));
    return 1;
}

SQInteger sys_time(HSQUIRRELVM v) {
    sq_pushinteger(v, (SQInteger)std::time(nullptr));
    return 1;
}

SQInteger sys_remove(HSQUIRRELVM v) {
    const SQChar *path;
    sq_getstring(v, 2, &path);
    if (std::remove(path) != 0) return sq_throwerror(v, "remove() failed");
    return 0;
}

SQInteger sys_rename(HSQUIRRELVM v) {
    const SQChar *from, *to;
    sq_getstring(v, 2, &from);
    sq_getstring(v, 3, &to);
    if (std::rename(from, to) != 0) return sq_throwerror(v, "rename() failed");
    return 0;
}

void set_int(HSQUIRRELVM v, const char *key, SQInteger value) {
    sq_pushstring(v, key, -1);
    sq_pushinteger(v, value);
    sq_newslot(v, -3, SQFalse);
}

SQInteger sys_date(HSQUIRRELVM v) {
    std::time_t t = std::time(nullptr);
    SQInteger format = 'l';
    const SQInteger top = sq_gettop(v);
    if (top > 1) {
        SQInteger it;
        sq_getinteger(v, 2, &it);
        t = (std::time_t)it;
    }
    if (top > 2) sq_getinteger(v, 3, &format);
    std::tm tm{};
    bool ok = format == 'u' ? gmtime_r(&t, &tm) != nullptr : localtime_r(&t, &tm) != nullptr;
    if (!ok) return sq_throwerror(v, "crt api failure");
    sq_newtable(v);
    set_int(v, "sec", tm.tm_sec);
    set_int(v, "min", tm.tm_min);
    set_int(v, "hour", tm.tm_hour);
    set_int(v, "day", tm.tm_mday);
    set_int(v, "month", tm.tm_mon);
    set_int(v, "year", tm.tm_year + 1900);
    set_int(v, "wday", tm.tm_wday);
    set_int(v, "yday", tm.tm_yday);
    return 1;
}

const SQRegFunction kSystemFuncs[] = {
    {"getenv", sys_getenv, 2, ".s"},  {"system", sys_system, 2, ".s"}, {"clock", sys_clock, 0, nullptr},
    {"time", sys_time, 1, nullptr},   {"date", sys_date, -1, ".nn"},   {"remove", sys_remove, 2, ".s"},
    {"rename", sys_rename, 3, ".ss"},
};

}  // namespace

SQRESULT sqstd_register_systemlib(HSQUIRRELVM v) {
    for (const SQRegFunction &f : kSystemFuncs) {
        sq_pushstring(v, f.name, -1);
        sq_newclosure(v, f.f, 0);
        sq_setparamscheck(v, f.nparamscheck, f.typemask);
        sq_setnativeclosurename(v, -1, f.name);
        sq_newslot(v, -3, SQFalse);
    }
    return SQ_OK;
}
