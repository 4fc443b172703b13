#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "core/paths.h"
#include "script/sq_reloadable_vm.h"
#include "script/sqbind.h"

namespace fs = std::filesystem;
static std::string out;
static void capture(HSQUIRRELVM, const SQChar *fmt, ...)
{
  char buf[4096];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof(buf), fmt, ap);
  va_end(ap);
  out += buf;
}

struct ReloadFixture : ::testing::Test
{
  fs::path dir;
  SqReloadableVM rvm;
  int stamp = 1000;

  void SetUp() override
  {
    dir = fs::temp_directory_path() / ("zreload_" + std::to_string(getpid()));
    fs::create_directories(dir);
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    ASSERT_TRUE(rvm.init(1024));
    sq_setprintfunc(rvm.vm, capture, capture);
    out.clear();
  }
  void TearDown() override
  {
    rvm.close();
    fs::remove_all(dir);
    app_path[0] = 0;
  }
  // Writes a file with a distinct modification time (the clock has 1 s granularity).
  void write(const char *name, const std::string &text)
  {
    std::ofstream(dir / name) << text;
    auto t = fs::file_time_type::clock::now() + std::chrono::seconds(stamp++);
    fs::last_write_time(dir / name, t);
  }
};

TEST_F(ReloadFixture, IncludeOnceAndReloadOrder)
{
  write("main.nut", "include(\"a.nut\"); include(\"A.NUT\"); include(\"b.nut\"); print(\"main;\");");
  write("a.nut", "print(\"a;\");");
  write("b.nut", "print(\"b;\");");
  ASSERT_TRUE(rvm.load_file("main.nut"));
  EXPECT_EQ(out, "a;b;main;");
  EXPECT_TRUE(rvm.load_file("MAIN.nut")); // already listed: nothing runs
  EXPECT_EQ(out, "a;b;main;");
  EXPECT_FALSE(rvm.files_changed());

  out.clear();
  write("b.nut", "print(\"b2;\");");
  ASSERT_TRUE(rvm.files_changed());
  ASSERT_TRUE(rvm.reload(true));
  EXPECT_EQ(out, "main;a;b2;"); // main first, its includes do nothing, then the list order
  EXPECT_FALSE(rvm.files_changed());
}

TEST_F(ReloadFixture, FailureStopsTheRunAndDeletionReloadsOnce)
{
  write("main.nut", "include(\"a.nut\"); include(\"b.nut\"); print(\"main;\");");
  write("a.nut", "print(\"a;\");");
  write("b.nut", "print(\"b;\");");
  ASSERT_TRUE(rvm.load_file("main.nut"));

  out.clear();
  write("a.nut", "print(\"a2;\"");
  EXPECT_FALSE(rvm.reload(true));
  EXPECT_EQ(out.find("b;"), std::string::npos); // the third file did not run
  EXPECT_NE(out.find("error: "), std::string::npos);
  EXPECT_FALSE(rvm.files_changed());

  write("a.nut", "print(\"a3;\");");
  EXPECT_TRUE(rvm.files_changed());
  out.clear();
  EXPECT_TRUE(rvm.reload(true));
  EXPECT_EQ(out, "main;a3;b;");

  fs::remove(dir / "b.nut");
  EXPECT_TRUE(rvm.files_changed());
  EXPECT_FALSE(rvm.reload(true));
  EXPECT_FALSE(rvm.files_changed()); // its time is now 0 as stored
}

// A fix saved within the same second as the broken save is still a change.
TEST_F(ReloadFixture, SavesWithinOneSecondAreChanges)
{
  auto save = [&](const std::string &text, long nsec) {
    std::ofstream(dir / "m.nut") << text;
    struct timespec ts[2] = {{1700000000, nsec}, {1700000000, nsec}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "m.nut").c_str(), ts, 0), 0);
  };
  save("print(\"a;\");", 100);
  ASSERT_TRUE(rvm.load_file("m.nut"));
  save("print(\"b;\");", 200);
  EXPECT_TRUE(rvm.files_changed());
  ASSERT_TRUE(rvm.reload(false));
  EXPECT_EQ(out, "a;b;");
}

TEST_F(ReloadFixture, LibrariesAndRegistryEntry)
{
  write("m.nut", "print(format(\"%d;\", floor(2.7).tointeger()));");
  ASSERT_TRUE(rvm.load_file("m.nut"));
  EXPECT_EQ(out, "2;");
  EXPECT_EQ(get_reloadable_vm(rvm.vm), &rvm);
}
