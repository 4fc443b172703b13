// Every block the engine keeps (objects, their arrays, strings, stacks) comes
// from sq_alloc and goes back through sq_dealloc, so the engine can count what
// it holds and tests can make any one allocation fail. Temporaries of the
// compiler and the libraries use the ordinary heap.
#pragma once
#include <cstddef>
#include <new>
#include <vector>

#include "squirrel.h"

// throws std::bad_alloc when the heap (or the test hook) refuses
void *sq_alloc(size_t size);

#ifdef __cplusplus
// Thrown where a string would pass the state's length limit. It travels the
// out-of-memory paths, which report it under its own message.
struct SQStringTooLong : std::bad_alloc {
    const char *what() const noexcept override { return "string too long"; }
};
// Thrown where an array would grow past the state's size cap; it travels the
// same paths.
struct SQArrayTooLarge : std::bad_alloc {
    const char *what() const noexcept override { return "array too large"; }
};
// the error message for a failed allocation
inline const char *sq_allocerrortext(const std::bad_alloc &e) {
    return dynamic_cast<const SQStringTooLong *>(&e) || dynamic_cast<const SQArrayTooLarge *>(&e) ? e.what()
                                                                                                  : "out of memory";
}
#endif
void sq_dealloc(void *p) noexcept;

template <class T>
struct SQAllocator {
    using value_type = T;
    SQAllocator() = default;
    template <class U>
    SQAllocator(const SQAllocator<U> &) {}
    T *allocate(size_t n) { return static_cast<T *>(sq_alloc(n * sizeof(T))); }
    void deallocate(T *p, size_t) noexcept { sq_dealloc(p); }
    template <class U>
    bool operator==(const SQAllocator<U> &) const {
        return true;
    }
    template <class U>
    bool operator!=(const SQAllocator<U> &) const {
        return false;
    }
};
template <class T>
using sqvector = std::vector<T, SQAllocator<T>>;

// Test hooks (not part of the public API).
#ifdef __cplusplus
extern "C" {
#endif
// The n-th engine allocation from now fails (n >= 1); 0 switches failures off.
SQUIRREL_API void sq_failallocation(SQInteger n);
// Blocks the engine holds right now, over all VMs of the process.
SQUIRREL_API SQInteger sq_liveblocks(void);
// Allocations made since the process started.
SQUIRREL_API SQInteger sq_allocations(void);
#ifdef __cplusplus
}
#endif
