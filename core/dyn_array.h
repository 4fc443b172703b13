#pragma once
#include <cstring>
#include <new>
#include <type_traits>
#include "log.h"
#include "mem.h"

// The growable array behind every list of the program, including the per-class object
// lists the game-object module shares: three fields, element pointer, count, capacity.
// Elements are moved with realloc, so T must be trivially relocatable (PODs, pointers,
// other DynArrays). Growth: capacity doubles; if that is still too small it becomes the
// needed count + 8; never below 8. reserve(n) reallocates to exactly n when n > capacity.
template <typename T>
struct DynArray
{
  T *ptr = nullptr;
  int num = 0;
  int cap = 0;

  DynArray() = default;
  DynArray(const DynArray &o) { append(o.ptr, o.num); }
  DynArray(DynArray &&o) noexcept : ptr(o.ptr), num(o.num), cap(o.cap)
  {
    o.ptr = nullptr;
    o.num = o.cap = 0;
  }
  DynArray &operator=(const DynArray &o)
  {
    if (this != &o)
    {
      clear();
      append(o.ptr, o.num);
    }
    return *this;
  }
  DynArray &operator=(DynArray &&o) noexcept
  {
    if (this != &o)
    {
      release();
      ptr = o.ptr;
      num = o.num;
      cap = o.cap;
      o.ptr = nullptr;
      o.num = o.cap = 0;
    }
    return *this;
  }
  ~DynArray() { release(); }

  int size() const { return num; }
  int capacity() const { return cap; }
  bool empty() const { return num == 0; }
  T *data() { return ptr; }
  const T *data() const { return ptr; }
  T &operator[](int i) { return ptr[i]; }
  const T &operator[](int i) const { return ptr[i]; }
  T *begin() { return ptr; }
  T *end() { return ptr + num; }
  const T *begin() const { return ptr; }
  const T *end() const { return ptr + num; }
  T &back()
  {
    ASSERT(num>0);
    return ptr[num - 1];
  }

  // Reallocates to exactly n elements when n exceeds the capacity.
  void reserve(int n)
  {
    ASSERT(n>=0);
    if (n > cap)
      setCapacity(n);
  }

  // Appends one element and returns its index.
  int push(const T &v)
  {
    if (num + 1 > cap)
    {
      T tmp(v); // v may live inside the buffer that is about to move
      grow(num + 1);
      new (ptr + num) T(static_cast<T &&>(tmp));
    }
    else
      new (ptr + num) T(v);
    return num++;
  }
  // Appends n elements (copies of p[0..n), or value-initialised when p is null); returns
  // the index of the first.
  int append(const T *p, int n)
  {
    int at = num;
    insert(at, p, n);
    return at;
  }
  // Appends n value-initialised elements and returns a pointer to the first.
  T *appendDefault(int n)
  {
    int at = append(nullptr, n);
    return ptr + at;
  }

  void insert(int at, const T &v)
  {
    T tmp(v);
    insert(at, &tmp, 1);
  }
  void insert(int at, const T *p, int n)
  {
    ASSERT(at>=0 && at<=num);
    ASSERT(n>=0);
    if (!n)
      return;
    if (p && p >= ptr && p < ptr + num)
    {
      // Source inside our own buffer: copy it out before anything moves.
      DynArray<T> tmp;
      tmp.append(p, n);
      insert(at, tmp.ptr, n);
      return;
    }
    if (num + n > cap)
      grow(num + n);
    if (at < num)
      memmove((void *)(ptr + at + n), (const void *)(ptr + at), sizeof(T) * size_t(num - at));
    for (int i = 0; i < n; i++)
      if (p)
        new (ptr + at + i) T(p[i]);
      else
        new (ptr + at + i) T();
    num += n;
  }

  // Ordered erase: the tail shifts down.
  void erase(int at, int n = 1)
  {
    ASSERT(at>=0 && at<=num);
    ASSERT(n>=0);
    ASSERT(at+n<=num);
    destroyRange(at, n);
    if (at + n < num)
      memmove((void *)(ptr + at), (const void *)(ptr + at + n), sizeof(T) * size_t(num - at - n));
    num -= n;
  }
  // Fast erase: the last elements move into the gap; order is not kept.
  void eraseFast(int at, int n = 1)
  {
    ASSERT(at>=0 && at<=num);
    ASSERT(n>=0);
    ASSERT(at+n<=num);
    destroyRange(at, n);
    int tail = num - (at + n);
    int moved = tail < n ? tail : n;
    if (moved)
      memcpy((void *)(ptr + at), (const void *)(ptr + num - moved), sizeof(T) * size_t(moved));
    num -= n;
  }
  void pop()
  {
    ASSERT(num>0);
    destroyRange(num - 1, 1);
    num--;
  }

  // Index of the first element equal to v, or -1.
  int find(const T &v) const
  {
    for (int i = 0; i < num; i++)
      if (ptr[i] == v)
        return i;
    return -1;
  }

  // Sets the count; new elements are value-initialised.
  void resize(int n)
  {
    ASSERT(n>=0);
    if (n < num)
    {
      destroyRange(n, num - n);
      num = n;
    }
    else if (n > num)
      append(nullptr, n - num);
  }
  // Empties the array but keeps its storage.
  void clear()
  {
    destroyRange(0, num);
    num = 0;
  }
  // Empties the array and frees its storage.
  void release()
  {
    clear();
    if (ptr)
      dlfree(ptr);
    ptr = nullptr;
    cap = 0;
  }

private:
  void grow(int needed)
  {
    int nc = cap * 2;
    if (nc < needed)
      nc = needed + 8;
    if (nc < 8)
      nc = 8;
    setCapacity(nc);
  }
  void setCapacity(int nc)
  {
    void *np = dlrealloc(ptr, sizeof(T) * size_t(nc));
    ASSERT(np);
    ptr = (T *)np;
    cap = nc;
  }
  void destroyRange(int at, int n)
  {
    if constexpr (!std::is_trivially_destructible_v<T>)
      for (int i = 0; i < n; i++)
        ptr[at + i].~T();
  }
};
static_assert(sizeof(DynArray<int>) == 16);
