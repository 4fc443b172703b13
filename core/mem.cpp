#include "mem.h"
#include <cstdlib>
#include <malloc.h>

extern "C" {
void *dlmalloc(size_t bytes) { return malloc(bytes); }
void dlfree(void *p) { free(p); }
void *dlrealloc(void *p, size_t bytes) { return realloc(p, bytes); }
}

void release_free_heap()
{
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}
