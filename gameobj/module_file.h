#pragma once
// What the host checks in a module file before handing it to the dynamic loader, which
// trusts the file's headers and dies by signal on a truncated or damaged one.
#include <cstddef>

// True when the open file fd is a complete shared object for this process: a regular
// file whose ELF identification (class, byte order, version, type, machine) matches the
// program, whose program and section header tables, loaded segments and dynamic table
// lie inside the file, and whose dynamic entries point into loaded memory. Otherwise
// false with the reason in why (cut to size).
bool check_module_file(int fd, char *why, size_t size);
