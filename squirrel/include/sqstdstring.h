// String library for the script engine: format/printf, strip, split, escape,
// startswith/endswith and the regexp class, plus the regular expression C API.
#pragma once
#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SQRex SQRex;

// One sub-match of the last successful search: begin points into the searched text.
typedef struct {
    const SQChar *begin;
    SQInteger len;
} SQRexMatch;

// Compiles a pattern; returns NULL and sets *error (a static string) on failure.
SQUIRREL_API SQRex *sqstd_rex_compile(const SQChar *pattern, const SQChar **error);
SQUIRREL_API void sqstd_rex_free(SQRex *exp);
// True when the whole of text matches the expression.
SQUIRREL_API SQBool sqstd_rex_match(SQRex *exp, const SQChar *text);
SQUIRREL_API SQBool sqstd_rex_search(SQRex *exp, const SQChar *text, const SQChar **out_begin, const SQChar **out_end);
SQUIRREL_API SQBool sqstd_rex_searchrange(SQRex *exp, const SQChar *text_begin, const SQChar *text_end,
                                          const SQChar **out_begin, const SQChar **out_end);
// Number of sub-expressions including the whole match (index 0).
SQUIRREL_API SQInteger sqstd_rex_getsubexpcount(SQRex *exp);
// Sub-match n of the last successful match or search; SQFalse when n is out of range.
SQUIRREL_API SQBool sqstd_rex_getsubexp(SQRex *exp, SQInteger n, SQRexMatch *subexp);

// Formats the arguments after the format string at nformatstringidx like C's printf.
// The result lives in the VM's scratchpad until the next scratchpad request.
SQUIRREL_API SQRESULT sqstd_format(HSQUIRRELVM v, SQInteger nformatstringidx, SQInteger *outlen, SQChar **output);

// Registers the library into the table on top of the stack (usually the root table).
SQUIRREL_API SQRESULT sqstd_register_stringlib(HSQUIRRELVM v);

#ifdef __cplusplus
}
#endif
