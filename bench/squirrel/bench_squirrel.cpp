// Benchmarks of the script engine: whole scripts (VM start, compile and run) and
// the string library's regular expressions and formatting.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sqstdaux.h"
#include "sqstdmath.h"
#include "sqstdstring.h"

namespace {

void quiet_print(HSQUIRRELVM, const SQChar *, ...) {}

void loud_error(HSQUIRRELVM, const SQChar *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
}

HSQUIRRELVM open_vm() {
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, quiet_print, loud_error);
    sq_pushroottable(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_pop(v, 1);
    sqstd_seterrorhandlers(v);
    return v;
}

void run_script(benchmark::State &state, const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string src = ss.str();
    for (auto _ : state) {
        HSQUIRRELVM v = open_vm();
        bool ok = SQ_SUCCEEDED(sq_compilebuffer(v, src.data(), (SQInteger)src.size(), path.c_str(), SQTrue));
        if (ok) {
            sq_pushroottable(v);
            ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
        }
        sq_close(v);
        if (!ok) {
            state.SkipWithError("script failed");
            break;
        }
    }
}

void BM_RexSearch(benchmark::State &state) {
    const SQChar *err;
    SQRex *rex = sqstd_rex_compile("(\\w+)@(\\w+)\\.com", &err);
    std::string text;
    for (int i = 0; i < 200; ++i) text += "some words here and there ";
    text += "bob@site.com";
    for (auto _ : state) {
        const SQChar *b, *e;
        benchmark::DoNotOptimize(sqstd_rex_search(rex, text.c_str(), &b, &e));
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
    sqstd_rex_free(rex);
}
BENCHMARK(BM_RexSearch);

void BM_Format(benchmark::State &state) {
    HSQUIRRELVM v = open_vm();
    for (auto _ : state) {
        sq_pushstring(v, "%s %d 0x%02X %.3f", -1);
        sq_pushstring(v, "value", -1);
        sq_pushinteger(v, 12345);
        sq_pushinteger(v, 10);
        sq_pushfloat(v, 3.25f);
        SQChar *out;
        SQInteger len;
        benchmark::DoNotOptimize(sqstd_format(v, sq_gettop(v) - 4, &len, &out));
        sq_pop(v, 5);
    }
    sq_close(v);
}
BENCHMARK(BM_Format);

} // namespace

int main(int argc, char **argv) {
    std::vector<std::filesystem::path> scripts;
    for (const auto &entry : std::filesystem::directory_iterator(SQ_BENCH_DIR))
        if (entry.path().extension() == ".nut") scripts.push_back(entry.path());
    std::sort(scripts.begin(), scripts.end());
    for (const auto &p : scripts) {
        const std::string path = p.string();
        benchmark::RegisterBenchmark(("script/" + p.stem().string()).c_str(),
                                     [path](benchmark::State &st) { run_script(st, path); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
