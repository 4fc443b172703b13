// The engine's allocator: the heap, counted, with a failure switch for tests.
// Small blocks (objects, short arrays, strings) are recycled through per-thread
// free lists by size class: scripts make and drop them at a high rate, and a
// list pop is a fraction of a heap round trip.
#include "sqalloc.h"

#include <malloc.h>

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

// Under the address sanitizer every block goes back to the heap, so that a use
// after free is caught rather than served a recycled block.
#if defined(__SANITIZE_ADDRESS__)
#define SQ_RECYCLE_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SQ_RECYCLE_BLOCKS 0
#endif
#endif
#ifndef SQ_RECYCLE_BLOCKS
#define SQ_RECYCLE_BLOCKS 1
#endif

namespace {
// Class c holds blocks of at least c * kGrain bytes. A block's class comes from
// the size the heap says it has, so a block always lands in a class it can
// serve, whatever request made it.
constexpr size_t kGrain = 16;
constexpr size_t kClasses = 17;   // 1..16: up to 256 bytes
constexpr unsigned kKeep = 4096;  // blocks kept per class; more go back to the heap
struct FreeBlock {
    FreeBlock *next;
};
// Plain data, so it stays usable after the thread's destructors ran (a VM
// closed by a static destructor frees into the heap then).
struct FreeLists {
    FreeBlock *head[kClasses];
    unsigned count[kClasses];
    bool gone;
};
thread_local FreeLists t_lists;
// drains the lists when the thread ends
struct FreeListsOwner {
    ~FreeListsOwner() {
        t_lists.gone = true;
        for (size_t c = 0; c < kClasses; c++) {
            while (FreeBlock *b = t_lists.head[c]) {
                t_lists.head[c] = b->next;
                free(b);
            }
            t_lists.count[c] = 0;
        }
    }
};
thread_local FreeListsOwner t_owner;
}  // namespace

void *sq_alloc(size_t size) {
    Bump(g_total, 1);
    if (__builtin_expect(g_failin.load(std::memory_order_relaxed) > 0, 0) &&
        g_failin.fetch_sub(1, std::memory_order_relaxed) == 1)
        throw std::bad_alloc();
    void *p;
    size_t c = (size + kGrain - 1) / kGrain;
    if (SQ_RECYCLE_BLOCKS && c < kClasses) {
        if (c == 0) c = 1;
        FreeLists &l = t_lists;
        if (FreeBlock *b = l.head[c]) {
            l.head[c] = b->next;
            l.count[c]--;
            Bump(g_live, 1);
            return b;
        }
        (void)&t_owner;  // registers the drain for this thread
        p = malloc(c * kGrain);
    } else {
        p = malloc(size);
    }
    if (!p) throw std::bad_alloc();
    Bump(g_live, 1);
    return p;
}

void sq_dealloc(void *p) noexcept {
    if (!p) return;
    Bump(g_live, -1);
    if (!SQ_RECYCLE_BLOCKS) {
        free(p);
        return;
    }
    size_t c = malloc_usable_size(p) / kGrain;
    FreeLists &l = t_lists;
    if (c < kClasses && l.count[c] < kKeep && !l.gone) {
        FreeBlock *b = static_cast<FreeBlock *>(p);
        b->next = l.head[c];
        l.head[c] = b;
        l.count[c]++;
        return;
    }
    free(p);
}

void sq_failallocation(SQInteger n) { g_failin.store(n > 0 ? n : 0, std::memory_order_relaxed); }
SQInteger sq_liveblocks(void) { return g_live.load(std::memory_order_relaxed); }
SQInteger sq_allocations(void) { return g_total.load(std::memory_order_relaxed); }
