#include "clock.h"
#include <time.h>

static const int64_t ref_frequency = 10000000;
static const float sec_per_tick = 1.f / float(ref_frequency);
static RefTimeFn time_source = nullptr;

int64_t get_ref_time()
{
  if (time_source)
    return time_source();
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * ref_frequency + int64_t(ts.tv_nsec) / 100;
}

int64_t get_ref_frequency() { return ref_frequency; }
int get_time_msec(int64_t ticks) { return int(ticks * 1000 / ref_frequency); }
int get_time_usec(int64_t ticks) { return int(ticks * 1000000 / ref_frequency); }
float get_time_sec(int64_t ticks) { return float(ticks) * sec_per_tick; }
void set_ref_time_source(RefTimeFn fn) { time_source = fn; }
