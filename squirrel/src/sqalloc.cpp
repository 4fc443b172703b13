// The engine's allocator: the heap, counted, with a failure switch for tests.
#include "sqalloc.h"

#include <atomic>
#include <cstdlib>

namespace {
// The counters only feed tests and statistics: plain loads and stores keep
// them out of the way of every allocation (a locked read-modify-write costs
// more than the allocation itself). Under concurrent VMs they are approximate.
std::atomic<long long> g_live{0};
std::atomic<long long> g_total{0};
std::atomic<long long> g_failin{0};  // > 0: allocations until one fails
inline void Bump(std::atomic<long long> &c, long long d) {
    c.store(c.load(std::memory_order_relaxed) + d, std::memory_order_relaxed);
}
}  // namespace

void *sq_alloc(size_t size) {
    Bump(g_total, 1);
    if (__builtin_expect(g_failin.load(std::memory_order_relaxed) > 0, 0) &&
        g_failin.fetch_sub(1, std::memory_order_relaxed) == 1)
        throw std::bad_alloc();
    void *p = malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    Bump(g_live, 1);
    return p;
}

void sq_dealloc(void *p) noexcept {
    if (!p) return;
    Bump(g_live, -1);
    free(p);
}

void sq_failallocation(SQInteger n) { g_failin.store(n > 0 ? n : 0, std::memory_order_relaxed); }
SQInteger sq_liveblocks(void) { return g_live.load(std::memory_order_relaxed); }
SQInteger sq_allocations(void) { return g_total.load(std::memory_order_relaxed); }
