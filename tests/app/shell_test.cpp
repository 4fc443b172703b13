#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include "app/quit_signals.h"
#include "app/startup.h"
#include "core/log.h"

// The ways out of the program, each run in a child process whose output is captured.
namespace
{
struct ChildResult
{
  int exit_code = -1;
  std::string out;
};

// Runs body in a child process whose output is captured. With `ready`: once the output
// holds it, sends sig, and again after the output holds `again` when that is given.
ChildResult run_child(void (*body)(), const char *ready = nullptr, int sig = 0, const char *again = nullptr)
{
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  fflush(stdout);
  pid_t pid = fork();
  if (pid == 0)
  {
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    close(fds[0]);
    close(fds[1]);
    char tmpl[] = "/tmp/zarnith_shell_XXXXXX";
    if (mkdtemp(tmpl))
      setenv("XDG_CONFIG_HOME", tmpl, 1); // never the developer's own settings
    body();
    fflush(stdout);
    _exit(77); // body was expected to end the process
  }
  close(fds[1]);
  ChildResult r;
  char buf[4096];
  ssize_t n;
  const char *next = ready;
  while ((n = read(fds[0], buf, sizeof(buf))) > 0)
  {
    r.out.append(buf, size_t(n));
    if (next && r.out.find(next) != std::string::npos)
    {
      kill(pid, sig);
      next = next == ready ? again : nullptr;
    }
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

// True when the lines appear in this order.
bool in_order(const std::string &text, std::initializer_list<const char *> lines)
{
  size_t pos = 0;
  for (const char *l : lines)
  {
    size_t at = text.find(l, pos);
    if (at == std::string::npos)
      return false;
    pos = at + strlen(l);
  }
  return true;
}
} // namespace

TEST(Shell, QuitGameRunsTheShutdownAndExitsWithItsCode)
{
  ChildResult r = run_child([] {
    set_fatal_shutdown(shutdown_sequence);
    debug("before");
    quit_game(3);
  });
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_TRUE(in_order(r.out, {"before\n", "closing...\n", "closed all systems\n"})) << r.out;
}

TEST(Shell, FatalRunsTheShutdownOnceAndExits100)
{
  ChildResult r = run_child([] {
    set_fatal_shutdown(shutdown_sequence);
    fatal("broken %s", "setup");
  });
  EXPECT_EQ(r.exit_code, 100);
  EXPECT_TRUE(in_order(r.out, {"broken setup", "ERROR: broken setup\n", "closing...\n", "closed all systems\n"}))
    << r.out;
  EXPECT_EQ(r.out.find("closing..."), r.out.rfind("closing..."));
}

TEST(Shell, QuitAfterTheShutdownDoesNotRunItTwice)
{
  ChildResult r = run_child([] {
    shutdown_sequence();
    quit_game(5);
  });
  EXPECT_EQ(r.exit_code, 5);
  EXPECT_EQ(r.out.find("closing..."), r.out.rfind("closing..."));
}

TEST(Shell, WholeProgramRunsFramesWithAGivenSeed)
{
  ChildResult r = run_child([] {
    // The real executable: it loads the game-object module from its own directory.
    // -export-world without its folder: refused once, and the seed after it still counts.
    execl(ZARNITH_EXE, "zarnith", "-360", "-frames", "20", "-export-world", "-seed", "77", (char *)nullptr);
  });
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_TRUE(
    in_order(r.out, {"app path: '", "Graphics quality: high\n", "game_rnd_seed=77;\n",
                     "total start-up time: ", "frames: 20, updates: ", "closing...\n", "closed all systems\n"}))
    << r.out;
  const char *refused = "switch -export-world: missing or malformed DIR, ignored\n";
  EXPECT_NE(r.out.find(refused), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(refused), r.out.rfind(refused));
}

TEST(Shell, EffectPreviewsRunTheScriptWhereTheViewMeetsTheLand)
{
  ChildResult r = run_child([] {
    execl(ZARNITH_EXE, "zarnith", "-360", "-frames", "12", "-seed", "77", "-dev", "-fx", "3:meteor_explode", "-fx",
          "4:no_such_effect", (char *)nullptr);
  });
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_TRUE(in_order(r.out, {"fx preview 'meteor_explode' at update 3, (", "fx preview 'no_such_effect' at update 4",
                               "ERROR MESSAGE SET: Error in fx script:\nNo 'no_such_effect' function in script"}))
    << r.out;
  // The shipped effects script loads and the meteor's effect runs without an error.
  EXPECT_EQ(r.out.find("Error in fx script:\nNo 'meteor_explode'"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("ERROR MESSAGE SET: Error in fx script"), r.out.rfind("ERROR MESSAGE SET: Error in fx script"));
}

TEST(Shell, SdlStartFailureExitsNonZero)
{
  ChildResult r = run_child([] {
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    const char *argv[] = {"zarnith", nullptr};
    _exit(app_main(1, const_cast<char **>(argv)));
  });
  EXPECT_NE(r.exit_code, 0);
  EXPECT_NE(r.out.find("can't start SDL video"), std::string::npos) << r.out;
}

// SIGTERM and SIGINT end the program: cleanly at the next step of the loop, by force when
// it does not get there (a script that never returns), at once at the second signal.
TEST(Shell, QuitSignalsAlwaysEndTheProgram)
{
  ChildResult r = run_child(
    [] { execl(ZARNITH_EXE, "zarnith", "-360", "-seed", "5", (char *)nullptr); }, "total start-up time: ", SIGTERM);
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_TRUE(in_order(r.out, {"total start-up time: ", "closing...\n", "closed all systems\n"})) << r.out;
  // Logged by the watchdog thread, before or while the shutdown runs.
  EXPECT_NE(r.out.find("signal 15: quitting\n"), std::string::npos) << r.out;

  r = run_child(
    [] {
      install_quit_signals(300);
      debug("hung");
      for (;;)
        sleep(1);
    },
    "hung\n", SIGTERM);
  EXPECT_EQ(r.exit_code, 128 + SIGTERM);
  EXPECT_TRUE(in_order(r.out, {"signal 15: quitting\n", "still running 300 ms after signal 15: exiting now\n"}))
    << r.out;

  r = run_child(
    [] {
      install_quit_signals(60000);
      debug("hung");
      for (;;)
        sleep(1);
    },
    "hung\n", SIGINT, "signal 2: quitting\n");
  EXPECT_EQ(r.exit_code, 128 + SIGINT);
  EXPECT_NE(r.out.find("second quit signal: exiting now"), std::string::npos) << r.out;
}
