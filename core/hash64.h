#pragma once
// A streaming 64-bit FNV-1a hash: the same bytes in the same order give the same value
// in every build and on every run. Floats are hashed by their bit patterns, so a value
// computed differently (even -0 for 0) hashes differently. Not for security.
#include <cstddef>
#include <cstdint>
#include <cstring>

struct Hash64
{
  static constexpr uint64_t OFFSET = 0xcbf29ce484222325ull;
  static constexpr uint64_t PRIME = 0x100000001b3ull;
  uint64_t h = OFFSET;

  Hash64() = default;
  explicit Hash64(uint64_t start) : h(start) {}

  void bytes(const void *data, size_t n)
  {
    const unsigned char *p = static_cast<const unsigned char *>(data);
    uint64_t v = h;
    for (size_t i = 0; i < n; i++)
      v = (v ^ p[i]) * PRIME;
    h = v;
  }
  void u32(uint32_t v) { bytes(&v, sizeof(v)); }
  void u64(uint64_t v) { bytes(&v, sizeof(v)); }
  void i32(int32_t v) { bytes(&v, sizeof(v)); }
  void f32(float v) { bytes(&v, sizeof(v)); }
  void floats(const float *v, size_t n) { bytes(v, n * sizeof(float)); }
};
