// sq: the command-line interpreter of the script engine.
//
//   sq [options] script.nut [args...]   runs the script; args arrive in vargv as strings
//   sq                                   reads statements from standard input
//
// Exit status: the main chunk's integer result (0 for any other result), 254 after
// a compile error, 1 after an uncaught runtime error, 255 when the script cannot be read.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sqstdaux.h"
#include "sqstdblob.h"
#include "sqstdio.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include "sqstdsystem.h"
#include "squirrel.h"

namespace {

constexpr int kExitCompileError = 254;
constexpr int kExitRuntimeError = 1;
constexpr int kExitNoScript = 255;

void print_out(HSQUIRRELVM, const SQChar *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stdout, fmt, ap);
    va_end(ap);
}

void print_err(HSQUIRRELVM, const SQChar *fmt, ...) {
    std::fflush(stdout);  // keep the two streams in order when they share a terminal
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
}

void print_version() {
    std::printf("sq: %s compatible interpreter (%s), %d-bit integers, %d-bit floats\n", SQUIRREL_VERSION,
                SQUIRREL_COPYRIGHT, (int)sizeof(SQInteger) * 8, (int)sizeof(SQFloat) * 8);
}

void print_usage() {
    std::printf(
        "usage: sq [options] [script.nut [args...]]\n"
        "  -v   print the version and exit\n"
        "  -d   generate debug information (line hooks)\n"
        "  -h   print this help and exit\n"
        "without a script, statements are read from standard input;\n"
        "a line starting with '=' prints the value of the expression after it.\n");
}

bool read_file(const char *path, std::string &out) {
    FILE *f = std::fopen(path, "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

HSQUIRRELVM open_vm() {
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, print_out, print_err);
    sq_pushroottable(v);
    sqstd_register_bloblib(v);
    sqstd_register_iolib(v);
    sqstd_register_systemlib(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_pop(v, 1);
    sqstd_seterrorhandlers(v);
    return v;
}

int run_script(HSQUIRRELVM v, const char *path, int argc, char **argv) {
    std::string src;
    if (!read_file(path, src)) {
        std::fprintf(stderr, "sq: cannot open '%s'\n", path);
        return kExitNoScript;
    }
    const char *text = src.data();
    SQInteger len = (SQInteger)src.size();
    if (len >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {  // UTF-8 byte order mark
        text += 3;
        len -= 3;
    }
    if (SQ_FAILED(sq_compilebuffer(v, text, len, path, SQTrue))) {
        // the handler wrote the location on stderr; the message goes to stdout too
        const SQChar *err = "";
        sq_getlasterror(v);
        if (SQ_FAILED(sq_getstring(v, -1, &err))) err = "";
        std::printf("Error [%s]\n", err);
        sq_pop(v, 1);
        return kExitCompileError;
    }
    sq_pushroottable(v);
    for (int i = 0; i < argc; ++i) sq_pushstring(v, argv[i], -1);
    if (SQ_FAILED(sq_call(v, argc + 1, SQTrue, SQTrue))) return kExitRuntimeError;
    int status = 0;
    if (sq_gettype(v, -1) == OT_INTEGER) {
        SQInteger r = 0;
        sq_getinteger(v, -1, &r);
        status = (int)r;
    }
    sq_pop(v, 2);  // result and closure
    return status;
}

// Counts brackets outside strings and comments, to know whether more lines are needed.
int open_brackets(const std::string &s) {
    int depth = 0;
    char quote = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'')
            quote = c;
        else if (c == '{' || c == '(' || c == '[')
            ++depth;
        else if (c == '}' || c == ')' || c == ']')
            --depth;
        else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
            while (i < s.size() && s[i] != '\n') ++i;
        }
    }
    return depth;
}

int interactive(HSQUIRRELVM v) {
    std::string pending;
    char line[4096];
    for (;;) {
        std::printf(pending.empty() ? "sq>" : "...");
        std::fflush(stdout);
        if (!std::fgets(line, sizeof line, stdin)) break;
        pending += line;
        if (open_brackets(pending) > 0) continue;
        std::string code = pending;
        pending.clear();
        bool show = !code.empty() && code[0] == '=';
        if (show) code = "return (" + code.substr(1) + ")";
        SQInteger top = sq_gettop(v);
        if (SQ_SUCCEEDED(sq_compilebuffer(v, code.data(), (SQInteger)code.size(), "interactive console", SQTrue))) {
            sq_pushroottable(v);
            if (SQ_SUCCEEDED(sq_call(v, 1, show ? SQTrue : SQFalse, SQTrue)) && show) {
                if (SQ_SUCCEEDED(sq_tostring(v, -1))) {
                    const SQChar *s = "";
                    sq_getstring(v, -1, &s);
                    std::printf("%s\n", s);
                }
            }
        }
        sq_settop(v, top);
    }
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    bool debug = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1]; ++i) {
        const char *opt = argv[i];
        if (!std::strcmp(opt, "--")) {
            ++i;
            break;
        }
        if (!std::strcmp(opt, "-v") || !std::strcmp(opt, "--version")) {
            print_version();
            return 0;
        }
        if (!std::strcmp(opt, "-h") || !std::strcmp(opt, "--help")) {
            print_usage();
            return 0;
        }
        if (!std::strcmp(opt, "-d")) {
            debug = true;
            continue;
        }
        std::fprintf(stderr, "sq: unknown option '%s'\n", opt);
        print_usage();
        return kExitNoScript;
    }
    HSQUIRRELVM v = open_vm();
    if (debug) sq_enabledebuginfo(v, SQTrue);
    int status = i < argc ? run_script(v, argv[i], argc - i - 1, argv + i + 1) : interactive(v);
    std::fflush(stdout);
    sq_close(v);
    return status;
}
