// Helpers shared between the standard library sources; not part of the public API.
#pragma once
#include "sqstdstring.h"

// True when the whole of [begin, end) matches; embedded NULs are ordinary bytes.
SQBool sqstd_rex_matchrange(SQRex *exp, const SQChar *begin, const SQChar *end);
