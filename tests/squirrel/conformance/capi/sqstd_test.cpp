// C API tests of the standard libraries: the regular expression engine on its own,
// sqstd_format through a VM, and the text of the default error report.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "sqstdaux.h"
#include "sqstdblob.h"
#include "sqstdmath.h"
#include "sqstdstring.h"

namespace {

struct Rex {
    SQRex *r = nullptr;
    const SQChar *err = nullptr;
    explicit Rex(const char *pattern) { r = sqstd_rex_compile(pattern, &err); }
    ~Rex() { if (r) sqstd_rex_free(r); }
    std::string search(const char *text) {
        const SQChar *b, *e;
        if (!sqstd_rex_search(r, text, &b, &e)) return "<none>";
        return std::string(b, e);
    }
    std::string sub(SQInteger n) {
        SQRexMatch m;
        if (!sqstd_rex_getsubexp(r, n, &m)) return "<bad>";
        return m.begin ? std::string(m.begin, (size_t)m.len) : "<unset>";
    }
};

TEST(SqstdRex, BadPatternsAreRejectedWithAMessage) {
    for (const char *bad : {"(", "(a|b", "a)", "[abc", "*a", "a{3,1}", "\\", "x{2,y}"}) {
        Rex x(bad);
        EXPECT_EQ(x.r, nullptr) << bad;
        EXPECT_NE(x.err, nullptr) << bad;
    }
}

TEST(SqstdRex, MatchIsWholeStringSearchIsLeftmost) {
    Rex a("a|aab");
    ASSERT_NE(a.r, nullptr);
    EXPECT_TRUE(sqstd_rex_match(a.r, "aab")); // needs the second alternative to cover the string
    EXPECT_EQ(a.search("xaab"), "a");
    Rex d("\\d+");
    EXPECT_FALSE(sqstd_rex_match(d.r, "12a"));
    EXPECT_EQ(d.search("ab 123 4"), "123");
    Rex anchored("^ab");
    EXPECT_EQ(anchored.search("xab"), "<none>");
}

TEST(SqstdRex, CapturesAndCounts) {
    Rex x("(\\w+)@((\\w+)\\.(?:com|org))");
    ASSERT_NE(x.r, nullptr);
    EXPECT_EQ(sqstd_rex_getsubexpcount(x.r), 4);
    EXPECT_EQ(x.search("to: bob@site.org!"), "bob@site.org");
    EXPECT_EQ(x.sub(0), "bob@site.org");
    EXPECT_EQ(x.sub(1), "bob");
    EXPECT_EQ(x.sub(2), "site.org");
    EXPECT_EQ(x.sub(3), "site");
    EXPECT_EQ(x.sub(4), "<bad>");
    Rex opt("a(b)?c");
    EXPECT_EQ(opt.search("ac"), "ac");
    EXPECT_EQ(opt.sub(1), "<unset>");
}

TEST(SqstdRex, SearchRangeStopsAtTheGivenEnd) {
    Rex x("b+$");
    const char *text = "abbbxyz";
    const SQChar *b, *e;
    ASSERT_TRUE(sqstd_rex_searchrange(x.r, text, text + 4, &b, &e));
    EXPECT_EQ(b - text, 1);
    EXPECT_EQ(e - text, 4);
}

TEST(SqstdRex, LoopsTerminateAndLongSubjectsDoNotRecurse) {
    Rex empty_loop("(a*)*b");
    EXPECT_TRUE(sqstd_rex_match(empty_loop.r, "aaab"));
    EXPECT_FALSE(sqstd_rex_match(empty_loop.r, "aaaa"));
    Rex nested("(x?)+y");
    EXPECT_EQ(nested.search("xxy"), "xxy");
    std::string big(200000, 'a');
    big += "b";
    Rex star("(a|c)*b");
    EXPECT_TRUE(sqstd_rex_match(star.r, big.c_str()));
    Rex bal("\\m()");
    EXPECT_EQ(bal.search("f(a(b)c)d"), "(a(b)c)");
}

std::string g_out;

void capture_print(HSQUIRRELVM, const SQChar *fmt, ...) {
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    g_out += buf;
}

class SqstdVm : public ::testing::Test {
protected:
    HSQUIRRELVM v = nullptr;
    void SetUp() override {
        g_out.clear();
        v = sq_open(1024);
        sq_setprintfunc(v, capture_print, capture_print);
        sq_pushroottable(v);
        sqstd_register_mathlib(v);
        sqstd_register_stringlib(v);
        sq_pop(v, 1);
    }
    void TearDown() override { sq_close(v); }
    bool run(const char *src) {
        if (SQ_FAILED(sq_compilebuffer(v, src, (SQInteger)strlen(src), "test", SQTrue))) return false;
        sq_pushroottable(v);
        bool ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
        sq_pop(v, 1);
        return ok;
    }
};

TEST_F(SqstdVm, FormatThroughTheCApi) {
    sq_pushstring(v, "%s=%05.1f|%-4d|%c", -1);
    sq_pushstring(v, "pi", -1);
    sq_pushfloat(v, 3.14159f);
    sq_pushinteger(v, 7);
    sq_pushinteger(v, 'Z');
    SQChar *out = nullptr;
    SQInteger len = 0;
    ASSERT_TRUE(SQ_SUCCEEDED(sqstd_format(v, sq_gettop(v) - 4, &len, &out)));
    EXPECT_EQ(std::string(out, (size_t)len), "pi=003.1|7   |Z");
    sq_settop(v, 0);
    sq_pushstring(v, "%d %d", -1);
    sq_pushinteger(v, 1);
    EXPECT_TRUE(SQ_FAILED(sqstd_format(v, 1, &len, &out))); // one argument short
    sq_settop(v, 0);
}

TEST_F(SqstdVm, FormatRefusesHugeWidthsAndKeepsNulBytes) {
    EXPECT_FALSE(run("format(\"%999999999d\", 1);"));
    EXPECT_FALSE(run("format(\"%\\x00d\", 1);")); // a NUL is neither a flag nor a conversion
    EXPECT_FALSE(run("format(\"%.\\x00\\t2f\", 1.5);"));
    // a format specifier of more than 22 characters is refused, however it is made up
    const std::string many_flags = "format(\"%" + std::string(200, '-') + "5d|\", 7);";
    EXPECT_FALSE(run(many_flags.c_str()));
    const std::string longest = "if (format(\"%" + std::string(19, '-') + "5d|\", 7) != \"7    |\") throw 1;";
    EXPECT_TRUE(run(longest.c_str()));
    EXPECT_TRUE(run("::r <- format(\"a%cb\", 0).len();"));
    sq_pushroottable(v);
    sq_pushstring(v, "r", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    SQInteger n = 0;
    sq_getinteger(v, -1, &n);
    EXPECT_EQ(n, 3);
    sq_pop(v, 2);
}

TEST_F(SqstdVm, RegexpMethodsRefuseForeignInstancesAndBadStarts) {
    EXPECT_FALSE(run("regexp.match.call({}, \"a\");"));
    EXPECT_FALSE(run("regexp(\"a\").search(\"abc\", 10);"));
    EXPECT_FALSE(run("regexp(\"a\").search(\"abc\", -1);"));
    EXPECT_TRUE(run("if (regexp(\"c\").search(\"abc\", 3) != null) throw \"found past the end\";"));
}

TEST_F(SqstdVm, ErrorReportHasBannerCallstackAndLocals) {
    sqstd_seterrorhandlers(v);
    EXPECT_FALSE(run("local answer = 42;\nfunction f(x) { throw \"bad thing\"; }\nf(answer);"));
    EXPECT_NE(g_out.find("\nAN ERROR HAS OCCURRED [bad thing]\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("\nCALLSTACK\n*FUNCTION [f()] test line [2]\n*FUNCTION [main()] test line [3]\n"),
              std::string::npos) << g_out;
    EXPECT_NE(g_out.find("\nLOCALS\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("[answer] 42\n"), std::string::npos) << g_out;
    EXPECT_NE(g_out.find("[x] 42\n"), std::string::npos) << g_out;
    g_out.clear();
    EXPECT_FALSE(run("local = 1;"));
    EXPECT_EQ(g_out.rfind("test line = (1) column = (", 0), 0u) << g_out;
}

TEST_F(SqstdVm, BlobsCreatedFromCAreScriptBlobs) {
    sq_pushroottable(v);
    sqstd_register_bloblib(v);
    sq_pop(v, 1);
    unsigned char *data = (unsigned char *)sqstd_createblob(v, 3);
    ASSERT_NE(data, nullptr);
    data[0] = 7;
    data[2] = 9;
    EXPECT_EQ(sqstd_getblobsize(v, -1), 3);
    SQUserPointer p = nullptr;
    ASSERT_TRUE(SQ_SUCCEEDED(sqstd_getblob(v, -1, &p)));
    EXPECT_EQ(p, (SQUserPointer)data);
    sq_pushroottable(v);
    sq_pushstring(v, "b", -1);
    sq_push(v, -3);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 2);
    EXPECT_TRUE(run("if (b.len() != 3 || b[0] != 7 || b[2] != 9 || typeof b != \"blob\") throw \"bad\";"));
    sq_pushinteger(v, 5);
    EXPECT_EQ(sqstd_getblobsize(v, -1), -1); // not a blob
    sq_pop(v, 1);
    EXPECT_FALSE(run("blob(-1);"));
}

} // namespace
