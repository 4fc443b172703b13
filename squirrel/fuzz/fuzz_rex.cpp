// libFuzzer target for the regular expression engine alone: the input up to the
// first newline is the pattern, the rest the subject.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "sqstdstring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *text = (const char *)data;
    const char *nl = (const char *)std::memchr(text, '\n', size);
    std::string pattern(text, nl ? (size_t)(nl - text) : size);
    std::string subject = nl ? std::string(nl + 1, size - (size_t)(nl + 1 - text)) : std::string();
    if (pattern.size() > 200 || subject.size() > 2000) return 0;  // keep backtracking bounded
    const SQChar *err = nullptr;
    SQRex *rex = sqstd_rex_compile(pattern.c_str(), &err);
    if (!rex) return 0;
    sqstd_rex_match(rex, subject.c_str());
    const SQChar *b, *e;
    if (sqstd_rex_search(rex, subject.c_str(), &b, &e)) {
        SQRexMatch m;
        for (SQInteger i = 0; i < sqstd_rex_getsubexpcount(rex); ++i)
            if (sqstd_rex_getsubexp(rex, i, &m) && m.begin) (void)std::strlen(m.begin);
    }
    sqstd_rex_free(rex);
    return 0;
}
