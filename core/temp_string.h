#pragma once
#include <cstdarg>
#include <cstdio>
#include <cstring>

// A fixed-capacity string returned by value, used for paths. Text longer than N-1
// characters is cut.
template <int N>
struct TempString
{
  char str[N];

  TempString() { str[0] = 0; }
  TempString(const char *s) { set(s); }

  void set(const char *s)
  {
    if (!s)
      s = "";
    size_t l = strlen(s);
    if (l > size_t(N - 1))
      l = N - 1;
    memcpy(str, s, l);
    str[l] = 0;
  }
  void append(const char *s)
  {
    size_t l = strlen(str), a = s ? strlen(s) : 0;
    if (l + a > size_t(N - 1))
      a = N - 1 - l;
    memcpy(str + l, s, a);
    str[l + a] = 0;
  }
  static TempString printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)))
  {
    TempString t;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(t.str, N, fmt, ap);
    va_end(ap);
    return t;
  }

  int length() const { return int(strlen(str)); }
  const char *c_str() const { return str; }
  operator const char *() const { return str; }
  static constexpr int capacity() { return N; }
};
