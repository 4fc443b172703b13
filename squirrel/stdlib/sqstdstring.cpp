// The string library: printf-style formatting, stripping, splitting, escaping,
// prefix/suffix tests and the script-side regexp class.
#include "sqstdstring.h"
#include "sqstdlocal.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr SQInteger kMaxConversionChars = 22;  // characters of one format specifier, the '%' and the conversion included

// strchr would also "find" a NUL byte, which format strings may contain.
bool is_one_of(char c, const char *set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// Appends snprintf(cfmt, value) to out, whatever its length.
template <typename T>
void append_formatted(std::string &out, const char *cfmt, T value) {
    char buf[128];
    int n = std::snprintf(buf, sizeof buf, cfmt, value);
    if (n < 0) return;
    if (n < (int)sizeof buf) {
        out.append(buf, (size_t)n);
        return;
    }
    size_t at = out.size();
    out.resize(at + (size_t)n + 1);
    std::snprintf(&out[at], (size_t)n + 1, cfmt, value);
    out.resize(at + (size_t)n);
}

// printf-style formatting. Each format specifier is read as flags, at most two width digits,
// '.' and at most two precision digits; then an argument must be left, and only
// then is the conversion checked: d i x X o u c take an integer (a float is
// truncated, a bool is 0/1), f e E g G a number, s a string as it is.
SQRESULT format_into(HSQUIRRELVM v, SQInteger fmtidx, std::string &out) {
    const SQChar *fmt;
    SQInteger fmtlen;
    if (SQ_FAILED(sq_getstringandsize(v, fmtidx, &fmt, &fmtlen))) return sq_throwerror(v, "format string expected");
    const SQInteger top = sq_gettop(v);
    SQInteger nparam = fmtidx + 1;
    for (SQInteger i = 0; i < fmtlen; ++i) {
        char c = fmt[i];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        const SQInteger start = i++;
        if (i < fmtlen && fmt[i] == '%') {
            out.push_back('%');
            continue;
        }
        while (i < fmtlen && is_one_of(fmt[i], "-+ #0")) ++i;
        SQInteger digits = 0;
        while (i < fmtlen && std::isdigit((unsigned char)fmt[i])) ++i, ++digits;
        if (digits > 2) return sq_throwerror(v, "width format too long");
        if (i < fmtlen && fmt[i] == '.') {
            ++i;
            digits = 0;
            while (i < fmtlen && std::isdigit((unsigned char)fmt[i])) ++i, ++digits;
            if (digits > 2) return sq_throwerror(v, "precision format too long");
        }
        if (i - start + 1 > kMaxConversionChars) return sq_throwerror(v, "format too long");
        if (nparam > top) return sq_throwerror(v, "not enough parameters for the given format string");
        if (i >= fmtlen) return sq_throwerror(v, "invalid format");
        const char conv = fmt[i];
        // the format specifier without its conversion letter, ready for a length modifier
        std::string cfmt(fmt + start, (size_t)(i - start));
        const SQObjectType t = sq_gettype(v, nparam);
        if (is_one_of(conv, "diouxXc")) {
            SQInteger iv = 0;
            if (t == OT_INTEGER || t == OT_FLOAT) {
                sq_getinteger(v, nparam, &iv);
            } else if (t == OT_BOOL) {
                SQBool b;
                sq_getbool(v, nparam, &b);
                iv = b ? 1 : 0;
            } else {
                return sq_throwerror(v, "integer expected for the specified format");
            }
            if (conv == 'c') {
                cfmt += 'c';
                append_formatted(out, cfmt.c_str(), (int)iv);
            } else {
                cfmt += "ll";
                cfmt += conv;
                append_formatted(out, cfmt.c_str(), (long long)iv);
            }
        } else if (is_one_of(conv, "feEgG")) {
            SQFloat f = 0;
            if (t != OT_INTEGER && t != OT_FLOAT) return sq_throwerror(v, "float expected for the specified format");
            sq_getfloat(v, nparam, &f);
            cfmt += conv;
            append_formatted(out, cfmt.c_str(), (double)f);
        } else if (conv == 's') {
            if (t != OT_STRING) return sq_throwerror(v, "string expected for the specified format");
            const SQChar *str;
            sq_getstring(v, nparam, &str);  // a NUL inside ends the text
            cfmt += 's';
            append_formatted(out, cfmt.c_str(), str);
        } else {
            return sq_throwerror(v, "invalid format");
        }
        ++nparam;
    }
    return SQ_OK;
}

SQInteger str_format(HSQUIRRELVM v) {
    SQChar *dest;
    SQInteger len;
    if (SQ_FAILED(sqstd_format(v, 2, &len, &dest))) return SQ_ERROR;
    sq_pushstring(v, dest, len);
    return 1;
}

SQInteger str_printf(HSQUIRRELVM v) {
    std::string out;
    if (SQ_FAILED(format_into(v, 2, out))) return SQ_ERROR;
    SQPRINTFUNCTION pf = sq_getprintfunc(v);
    if (pf) pf(v, "%s", out.c_str());
    return 0;
}

bool is_space(char c) { return std::isspace((unsigned char)c) != 0; }

SQInteger strip_common(HSQUIRRELVM v, bool left, bool right) {
    const SQChar *s;
    SQInteger len;
    sq_getstringandsize(v, 2, &s, &len);
    SQInteger b = 0, e = len;
    if (left)
        while (b < e && is_space(s[b])) ++b;
    if (right)
        while (e > b && is_space(s[e - 1])) --e;
    sq_pushstring(v, s + b, e - b);
    return 1;
}

SQInteger str_strip(HSQUIRRELVM v) { return strip_common(v, true, true); }
SQInteger str_lstrip(HSQUIRRELVM v) { return strip_common(v, true, false); }
SQInteger str_rstrip(HSQUIRRELVM v) { return strip_common(v, false, true); }

// Splits on any byte of seps. The piece after the last separator counts only
// when it is not empty; skipempty drops every empty piece.
SQInteger str_split(HSQUIRRELVM v) {
    const SQChar *s, *seps;
    SQInteger len, nseps;
    sq_getstringandsize(v, 2, &s, &len);
    sq_getstringandsize(v, 3, &seps, &nseps);
    if (nseps == 0) return sq_throwerror(v, "empty separators string");
    SQBool skipempty = SQFalse;
    if (sq_gettop(v) > 3) sq_getbool(v, 4, &skipempty);
    sq_newarray(v, 0);
    SQInteger start = 0;
    for (SQInteger i = 0; i < len; ++i) {
        if (std::memchr(seps, s[i], (size_t)nseps) == nullptr) continue;
        if (!(skipempty && i == start)) {
            sq_pushstring(v, s + start, i - start);
            sq_arrayappend(v, -2);
        }
        start = i + 1;
    }
    if (start < len) {
        sq_pushstring(v, s + start, len - start);
        sq_arrayappend(v, -2);
    }
    return 1;
}

// Quotes, backslashes and NUL get a backslash; every other byte outside
// 0x20..0x7e becomes \x and two lowercase hex digits.
SQInteger str_escape(HSQUIRRELVM v) {
    const SQChar *s;
    SQInteger len;
    sq_getstringandsize(v, 2, &s, &len);
    std::string out;
    out.reserve((size_t)len + 8);
    for (SQInteger i = 0; i < len; ++i) {
        unsigned char c = (unsigned char)s[i];
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\'': out += "\\'"; break;
            case '\0': out += "\\0"; break;
            default:
                if (c < 0x20 || c >= 0x7f) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02x", (unsigned)c);
                    out += hex;
                } else {
                    out.push_back((char)c);
                }
        }
    }
    sq_pushstring(v, out.data(), (SQInteger)out.size());
    return 1;
}

SQInteger affix_common(HSQUIRRELVM v, bool at_end) {
    const SQChar *s, *cmp;
    SQInteger len, clen;
    sq_getstringandsize(v, 2, &s, &len);
    sq_getstringandsize(v, 3, &cmp, &clen);
    bool ok = clen <= len && std::memcmp(at_end ? s + len - clen : s, cmp, (size_t)clen) == 0;
    sq_pushbool(v, ok ? SQTrue : SQFalse);
    return 1;
}

SQInteger str_startswith(HSQUIRRELVM v) { return affix_common(v, false); }
SQInteger str_endswith(HSQUIRRELVM v) { return affix_common(v, true); }

// ---- the regexp class ----

// Unique address used as the class type tag, so methods refuse foreign instances.
const int kRexTypeTag = 0;
#define REX_TYPETAG ((SQUserPointer)&kRexTypeTag)

SQInteger rex_release(SQUserPointer p, SQInteger) {
    sqstd_rex_free((SQRex *)p);
    return 1;
}

SQRESULT get_rex(HSQUIRRELVM v, SQRex **out) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, REX_TYPETAG, SQTrue))) return SQ_ERROR;
    if (!p) return sq_throwerror(v, "the regexp was not constructed");
    *out = (SQRex *)p;
    return SQ_OK;
}

SQInteger rex_constructor(HSQUIRRELVM v) {
    const SQChar *pattern;
    sq_getstring(v, 2, &pattern);
    const SQChar *error = nullptr;
    SQRex *rex = sqstd_rex_compile(pattern, &error);
    if (!rex) return sq_throwerror(v, error);
    SQUserPointer old = nullptr;
    sq_getinstanceup(v, 1, &old, REX_TYPETAG, SQFalse);
    if (old) sqstd_rex_free((SQRex *)old);
    sq_setinstanceup(v, 1, rex);
    sq_setreleasehook(v, 1, rex_release);
    return 0;
}

// Reads the subject (stack 2) and the optional start index (stack 3).
SQRESULT get_subject(HSQUIRRELVM v, const SQChar **s, SQInteger *len, SQInteger *start) {
    sq_getstringandsize(v, 2, s, len);
    *start = 0;
    if (sq_gettop(v) > 2) sq_getinteger(v, 3, start);
    if (*start < 0 || *start > *len) return sq_throwerror(v, "invalid starting position");
    return SQ_OK;
}

void push_range(HSQUIRRELVM v, SQInteger b, SQInteger e) {
    sq_newtable(v);
    sq_pushstring(v, "begin", -1);
    sq_pushinteger(v, b);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, "end", -1);
    sq_pushinteger(v, e);
    sq_newslot(v, -3, SQFalse);
}

SQInteger rex_search(HSQUIRRELVM v) {
    SQRex *rex = nullptr;
    const SQChar *s, *b, *e;
    SQInteger len, start;
    if (SQ_FAILED(get_rex(v, &rex)) || SQ_FAILED(get_subject(v, &s, &len, &start))) return SQ_ERROR;
    if (!sqstd_rex_searchrange(rex, s + start, s + len, &b, &e)) return 0;
    push_range(v, b - s, e - s);
    return 1;
}

SQInteger rex_capture(HSQUIRRELVM v) {
    SQRex *rex = nullptr;
    const SQChar *s, *b, *e;
    SQInteger len, start;
    if (SQ_FAILED(get_rex(v, &rex)) || SQ_FAILED(get_subject(v, &s, &len, &start))) return SQ_ERROR;
    if (!sqstd_rex_searchrange(rex, s + start, s + len, &b, &e)) return 0;
    SQInteger n = sqstd_rex_getsubexpcount(rex);
    sq_newarray(v, 0);
    for (SQInteger i = 0; i < n; ++i) {
        SQRexMatch m;
        sqstd_rex_getsubexp(rex, i, &m);
        // a group that took no part in the match reports an empty range at 0
        SQInteger mb = m.begin ? m.begin - s : 0;
        push_range(v, mb, mb + m.len);
        sq_arrayappend(v, -2);
    }
    return 1;
}

SQInteger rex_match(HSQUIRRELVM v) {
    SQRex *rex = nullptr;
    const SQChar *s;
    SQInteger len;
    if (SQ_FAILED(get_rex(v, &rex))) return SQ_ERROR;
    sq_getstringandsize(v, 2, &s, &len);
    sq_pushbool(v, sqstd_rex_matchrange(rex, s, s + len));
    return 1;
}

SQInteger rex_subexpcount(HSQUIRRELVM v) {
    SQRex *rex = nullptr;
    if (SQ_FAILED(get_rex(v, &rex))) return SQ_ERROR;
    sq_pushinteger(v, sqstd_rex_getsubexpcount(rex));
    return 1;
}

SQInteger rex_typeof(HSQUIRRELVM v) {
    sq_pushstring(v, "regexp", -1);
    return 1;
}

const SQRegFunction kRexMethods[] = {
    {"constructor", rex_constructor, 2, ".s"},
    {"search", rex_search, -2, "xsn"},
    {"match", rex_match, 2, "xs"},
    {"capture", rex_capture, -2, "xsn"},
    {"subexpcount", rex_subexpcount, 1, "x"},
    {"_typeof", rex_typeof, 1, "x"},
};

const SQRegFunction kStringFuncs[] = {
    {"format", str_format, -2, ".s"}, {"printf", str_printf, -2, ".s"},         {"strip", str_strip, 2, ".s"},
    {"lstrip", str_lstrip, 2, ".s"},  {"rstrip", str_rstrip, 2, ".s"},          {"split", str_split, -3, ".ssb"},
    {"escape", str_escape, 2, ".s"},  {"startswith", str_startswith, 3, ".ss"}, {"endswith", str_endswith, 3, ".ss"},
};

void register_funcs(HSQUIRRELVM v, const SQRegFunction *f, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        sq_pushstring(v, f[i].name, -1);
        sq_newclosure(v, f[i].f, 0);
        sq_setparamscheck(v, f[i].nparamscheck, f[i].typemask);
        sq_setnativeclosurename(v, -1, f[i].name);
        sq_newslot(v, -3, SQFalse);
    }
}

}  // namespace

SQRESULT sqstd_format(HSQUIRRELVM v, SQInteger nformatstringidx, SQInteger *outlen, SQChar **output) {
    std::string out;
    if (SQ_FAILED(format_into(v, nformatstringidx, out))) return SQ_ERROR;
    SQChar *dest = sq_getscratchpad(v, (SQInteger)out.size() + 1);
    if (!dest) return sq_throwerror(v, "out of memory");
    std::memcpy(dest, out.data(), out.size());
    dest[out.size()] = '\0';
    *outlen = (SQInteger)out.size();
    *output = dest;
    return SQ_OK;
}

SQRESULT sqstd_register_stringlib(HSQUIRRELVM v) {
    sq_pushstring(v, "regexp", -1);
    sq_newclass(v, SQFalse);
    sq_settypetag(v, -1, REX_TYPETAG);
    register_funcs(v, kRexMethods, sizeof kRexMethods / sizeof kRexMethods[0]);
    sq_newslot(v, -3, SQFalse);
    register_funcs(v, kStringFuncs, sizeof kStringFuncs / sizeof kStringFuncs[0]);
    return SQ_OK;
}
