// The engine's allocator: the heap, counted, with a failure switch for tests.
#include "sqalloc.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<long long> g_live{0};
std::atomic<long long> g_total{0};
std::atomic<long long> g_failin{0};  // > 0: allocations until one fails
}  // namespace

void *sq_alloc(size_t size) {
    g_total.fetch_add(1, std::memory_order_relaxed);
    if (g_failin.load(std::memory_order_relaxed) > 0 && g_failin.fetch_sub(1, std::memory_order_relaxed) == 1)
        throw std::bad_alloc();
    void *p = malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    g_live.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void sq_dealloc(void *p) noexcept {
    if (!p) return;
    g_live.fetch_sub(1, std::memory_order_relaxed);
    free(p);
}

void sq_failallocation(SQInteger n) { g_failin.store(n > 0 ? n : 0, std::memory_order_relaxed); }
SQInteger sq_liveblocks(void) { return g_live.load(std::memory_order_relaxed); }
SQInteger sq_allocations(void) { return g_total.load(std::memory_order_relaxed); }
