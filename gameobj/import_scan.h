#pragma once
// The import lines of the module's sources, which the host watches for rebuilds.
// "import a.b" at the start of a line names the source "<dir>a/b.ls". Lines are taken
// in pieces of at most 255 characters (a longer line goes on in the next piece), and a
// piece is an import line when it starts with "import ".
#include <cstddef>
#include "core/dyn_array.h"
#include "core/temp_string.h"

// Appends the source path of every import line of text (size bytes) to out, in order.
// An import whose path would not fit is skipped: a cut path names another file.
void list_imports(const char *text, size_t size, const char *dir, DynArray<TempString<260>> &out);
