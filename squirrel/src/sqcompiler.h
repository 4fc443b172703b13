// Single-pass compiler from source text to register bytecode.
#pragma once
#include "sqobject.h"

struct SQVM;

// Compiles src into a function prototype (the main chunk). On failure returns
// false and fills err/line/column.
bool sq_compile_source(SQVM *v, const char *src, size_t len, const char *sourcename, bool debuginfo,
                       SQObjectPtr &outproto, std::string &err, SQInteger &line, SQInteger &column);
