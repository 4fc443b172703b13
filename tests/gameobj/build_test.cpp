#include <chrono>
#include <sys/stat.h>
#include "core/log.h"
#include "host_fixture.h"

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace
{
class BuildTest : public HostFixture
{
protected:
  void SetUp() override
  {
    HostFixture::SetUp();
    set_error_message(nullptr);
  }
  void TearDown() override
  {
    set_error_message(nullptr);
    HostFixture::TearDown();
  }

  // Saves main.ls again; the host compares times to the nanosecond.
  void edit_sources() { write(src / "main.ls", "// module, edited\n"); }

  std::string strip() { return has_error_message() ? get_error_message() : ""; }
};

TEST(BuildErrorLine, WordRule)
{
  EXPECT_TRUE(is_build_error_line("x.ls:3:1: error: expected ';'"));
  EXPECT_TRUE(is_build_error_line("Errors: 0"));
  EXPECT_TRUE(is_build_error_line("ERROR"));
  EXPECT_TRUE(is_build_error_line("2 errors generated."));
  EXPECT_TRUE(is_build_error_line("(error)"));
  EXPECT_FALSE(is_build_error_line("error_count=3"));
  EXPECT_FALSE(is_build_error_line("myerror"));
  EXPECT_FALSE(is_build_error_line("errors2"));
  EXPECT_FALSE(is_build_error_line("errorsome"));
  EXPECT_FALSE(is_build_error_line("terror errorx _error"));
  EXPECT_TRUE(is_build_error_line("myerror error"));

  // Only the compiler's own form fails a build.
  EXPECT_TRUE(is_compiler_error_line("x.ls:3:1: error: expected ';'"));
  EXPECT_TRUE(is_compiler_error_line("x.ls:3:10: fatal error: y.h: No such file or directory"));
  EXPECT_FALSE(is_compiler_error_line("x.ls:3:5: warning: unused variable 'error' [-Wunused-variable]"));
  EXPECT_FALSE(is_compiler_error_line("Errors: 0"));
}

TEST_F(BuildTest, ErrorLinesGoToTheStripAndFailTheBuild)
{
  write(src / "rebuild_dll.bat",
        "echo compiling\n"
        "echo 'Errors: 0'\n"
        "echo error_count=3\n"
        "echo 'myerror is not one'\n"
        "echo 'x.ls:3:1: error: boom' >&2\n"
        "printf 'last line error'\n"); // no newline at the end
  start(TEST_MODULE_V1);
  set_error_message("from before the build");
  edit_sources();

  CaptureStdout();
  EXPECT_FALSE(reload_until_built());
  std::string log = GetCapturedStdout();

  EXPECT_NE(log.find("=== rebuilding gameobj DLL\n"), std::string::npos) << log;
  EXPECT_NE(log.find("compiling\n"), std::string::npos) << log;
  EXPECT_NE(log.find("error_count=3\n"), std::string::npos) << log;
  EXPECT_NE(log.find("!!! failed to rebuild gameobj DLL (code 0)"), std::string::npos) << log;
  EXPECT_EQ(strip(), "Errors: 0\nx.ls:3:1: error: boom\nlast line error\ngameobj rebuild failed!!!");
  EXPECT_FALSE(fs::exists(bin / "gameobj_new.dll"));
  EXPECT_NE(gameobj_api.init_gameobj, nullptr); // the old module stays
}

TEST_F(BuildTest, ExitCodeAloneFailsTheBuild)
{
  write(src / "rebuild_dll.bat", "echo working\nexit 3\n");
  start(TEST_MODULE_V1);
  edit_sources();
  CaptureStdout();
  EXPECT_FALSE(reload_until_built());
  std::string log = GetCapturedStdout();
  EXPECT_NE(log.find("!!! failed to rebuild gameobj DLL (code 3)"), std::string::npos) << log;
  EXPECT_EQ(strip(), "gameobj rebuild failed!!!");
}

// Another reload pass may clear the strip while the build runs; its error lines still
// fail the build.
TEST_F(BuildTest, ErrorLinesFailTheBuildEvenIfTheStripWasCleared)
{
  write(src / "rebuild_dll.bat", "echo 'x.ls:1:1: error: boom'\nsleep 0.3\necho end\n");
  start(TEST_MODULE_V1);
  edit_sources();
  CaptureStdout();
  EXPECT_FALSE(reload_gameobj(false));
  for (int i = 0; i < 100 && !has_error_message(); i++)
  {
    usleep(10000);
    reload_gameobj(false);
  }
  set_error_message(nullptr);
  EXPECT_FALSE(reload_until_built());
  std::string log = GetCapturedStdout();
  EXPECT_NE(log.find("!!! failed to rebuild gameobj DLL (code 0)"), std::string::npos) << log;
  EXPECT_EQ(strip(), "gameobj rebuild failed!!!");
}

TEST_F(BuildTest, FinishedBuildIsSwappedInOnTheCallThatSeesItEnd)
{
  write(src / "rebuild_dll.bat", "sleep 0.2\n"
                                 "cp \"" TEST_MODULE_V2 "\" \"${ZARNITH_APP_PATH}gameobj_new.dll\" || exit 1\n"
                                 "echo built\n");
  start(TEST_MODULE_V1);
  GameObj *a = gameobj_api.new_gameobj_by_id(1);
  edit_sources();

  CaptureStdout();
  EXPECT_FALSE(reload_gameobj(false)); // starts the build
  EXPECT_TRUE(is_gameobj_build_running());
  EXPECT_TRUE(reload_until_built());
  std::string log = GetCapturedStdout();
  EXPECT_NE(log.find("=== DLL rebuild done in "), std::string::npos) << log;
  EXPECT_NE(log.find("gameobj reload ok"), std::string::npos) << log;
  EXPECT_EQ(strip(), "");
  EXPECT_EQ(a->query(0), 102);
  EXPECT_FALSE(fs::exists(bin / "gameobj_new.dll"));

  // Unchanged sources: no new build.
  CaptureStdout();
  EXPECT_FALSE(reload_gameobj(false));
  EXPECT_EQ(GetCapturedStdout(), "");
}

TEST_F(BuildTest, StoppingTheHostEndsARunningBuild)
{
  write(src / "rebuild_dll.bat", "trap '' TERM\nsleep 30\n"); // even one that ignores the request
  start(TEST_MODULE_V1);
  edit_sources();
  CaptureStdout();
  EXPECT_FALSE(reload_gameobj(false));
  GetCapturedStdout();
  ASSERT_TRUE(is_gameobj_build_running());
  auto t0 = std::chrono::steady_clock::now();
  stop_gameobj_host();
  EXPECT_FALSE(is_gameobj_build_running());
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
}

TEST_F(BuildTest, NewImportsAreWatchedAfterTheRescan)
{
  write(src / "rebuild_dll.bat", "exit 0\n");
  start(TEST_MODULE_V1);
  ASSERT_EQ(gameobj_watched_source_count(), 1);
  write(src / "extra.ls", "");
  write(src / "main.ls", "import extra\n");
  CaptureStdout();
  reload_until_built();
  GetCapturedStdout();
  EXPECT_EQ(gameobj_watched_source_count(), 2);
}

TEST_F(BuildTest, MissingScriptIsReportedOnceUntilTheSourcesChange)
{
  start(TEST_MODULE_V1);
  edit_sources();
  CaptureStdout();
  EXPECT_FALSE(reload_gameobj(false));
  EXPECT_FALSE(reload_gameobj(false));
  std::string log = GetCapturedStdout();
  EXPECT_NE(log.find("!!! Error starting DLL rebuild"), std::string::npos) << log;
  EXPECT_EQ(log.find("!!! Error starting DLL rebuild"), log.rfind("!!! Error starting DLL rebuild")) << log;
}
// The verdict and the action agree: a build that exits 0 without compiler errors is
// swapped in and never called failed, whatever its warnings or the strip held before;
// one with a compiler error line is failed and what it left is not swapped in.
TEST_F(BuildTest, BuildVerdictIsTheExitCodeAndCompilerErrors)
{
  const std::string copy_v2 = "cp \"" TEST_MODULE_V2 "\" \"${ZARNITH_APP_PATH}gameobj_new.dll\" || exit 1\n";
  write(src / "rebuild_dll.bat", "echo \"x.ls:3:5: warning: unused variable 'error' [-Wunused-variable]\"\n" + copy_v2);
  start(TEST_MODULE_V1);
  GameObj *a = gameobj_api.new_gameobj_by_id(1);
  edit_sources();
  CaptureStdout();
  EXPECT_FALSE(reload_gameobj(false)); // starts the build; the strip is cleared for it
  set_error_message("Error in world gen script:\nunrelated");
  EXPECT_TRUE(reload_until_built());
  std::string log = GetCapturedStdout();
  EXPECT_EQ(strip().find("gameobj rebuild failed!!!"), std::string::npos) << strip();
  EXPECT_NE(log.find("=== DLL rebuild done in "), std::string::npos) << log;
  EXPECT_NE(log.find("gameobj reload ok"), std::string::npos) << log;
  EXPECT_EQ(a->query(0), 102);

  // Exit code 0, but the compiler said error: failed, and the left library stays out.
  write(src / "rebuild_dll.bat", "echo 'x.ls:1:1: error: boom'\n"
                                 "cp \"" TEST_MODULE_V1 "\" \"${ZARNITH_APP_PATH}gameobj_new.dll\" || exit 1\n");
  edit_sources();
  CaptureStdout();
  EXPECT_FALSE(reload_until_built());
  EXPECT_FALSE(reload_gameobj(false));
  log = GetCapturedStdout();
  EXPECT_NE(strip().find("gameobj rebuild failed!!!"), std::string::npos) << strip();
  EXPECT_EQ(log.find("gameobj reload"), std::string::npos) << log;
  EXPECT_EQ(a->query(0), 102);
}

// A main source that is gone for a while (saved by rename, a checkout) starts no build
// and is watched on; its return is built.
TEST_F(BuildTest, MainSourceThatGoesAndComesBackIsBuilt)
{
  write(src / "rebuild_dll.bat", "echo built\n");
  start(TEST_MODULE_V1);
  fs::remove(src / "main.ls");
  CaptureStdout();
  for (int i = 0; i < 3; i++)
    EXPECT_FALSE(reload_gameobj(false));
  std::string log = GetCapturedStdout();
  EXPECT_EQ(log.find("=== rebuilding gameobj DLL"), std::string::npos) << log;
  EXPECT_FALSE(is_gameobj_build_running());
  EXPECT_EQ(gameobj_watched_source_count(), 1);

  write(src / "main.ls", "// back\n");
  CaptureStdout();
  reload_until_built();
  log = GetCapturedStdout();
  EXPECT_NE(log.find("=== rebuilding gameobj DLL"), std::string::npos) << log;
  EXPECT_NE(log.find("built"), std::string::npos) << log;
}
} // namespace
