#include "mem.h"
#include <cstdlib>

extern "C" {
void *dlmalloc(size_t bytes) { return malloc(bytes); }
void dlfree(void *p) { free(p); }
void *dlrealloc(void *p, size_t bytes) { return realloc(p, bytes); }
}
