#include "quit_signals.h"
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <semaphore.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include "main_loop.h"

// Written by the signal handler, read by the watchdog thread. The handler itself only
// stores, posts the semaphore and, at the second signal, writes and exits: all of them
// async-signal-safe.
static std::atomic<int> signal_number{0};
static sem_t signal_posted;
static int grace_period_ms = QUIT_SIGNAL_GRACE_MS;

static void write_text(const char *s)
{
  ssize_t ignored = write(2, s, strlen(s));
  (void)ignored;
}

static void on_quit_signal(int sig)
{
  int expected = 0;
  if (!signal_number.compare_exchange_strong(expected, sig))
  {
    write_text("second quit signal: exiting now\n");
    _exit(128 + sig);
  }
  request_quit();
  sem_post(&signal_posted);
}

// Waits for the first signal, then gives the program its grace period to end normally.
static void watchdog()
{
  while (sem_wait(&signal_posted) != 0 && errno == EINTR)
  {
  }
  const int sig = signal_number.load();
  fprintf(stdout, "signal %d: quitting\n", sig);
  fflush(stdout);
  timespec t = {grace_period_ms / 1000, long(grace_period_ms % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR)
  {
  }
  char msg[96];
  snprintf(msg, sizeof(msg), "still running %d ms after signal %d: exiting now\n", grace_period_ms, sig);
  write_text(msg);
  _exit(128 + sig);
}

void install_quit_signals(int grace_ms)
{
  static bool installed = false;
  grace_period_ms = grace_ms > 0 ? grace_ms : 1;
  if (installed)
    return;
  installed = true;
  sem_init(&signal_posted, 0, 0);
  std::thread(watchdog).detach();
  struct sigaction sa = {};
  sa.sa_handler = on_quit_signal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}
