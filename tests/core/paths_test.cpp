#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>
#include "core/paths.h"

TEST(Paths, FullPathJoinsNormalisesAndFlipsBackslashes)
{
  strcpy(app_path, "/opt/game/bin/");
  EXPECT_STREQ(make_full_path("gen/main.nut"), "/opt/game/bin/gen/main.nut");
  EXPECT_STREQ(make_full_path("..\\compiler\\main.ls"), "/opt/game/compiler/main.ls");
  EXPECT_STREQ(make_full_path("./a//b/./c"), "/opt/game/bin/a/b/c");
  EXPECT_STREQ(make_full_path("/abs/x.sh"), "/abs/x.sh");
  EXPECT_STREQ(make_full_path("\\abs\\y.sh"), "/abs/y.sh");
  EXPECT_STREQ(make_full_path(nullptr), "/opt/game/bin/");
  EXPECT_STREQ(make_full_path("../../../../x"), "/x");
  app_path[0] = 0;
}

TEST(Paths, ExePathEndsWithSlashAndFileTimes)
{
  char buf[260], file[260];
  ASSERT_TRUE(get_exe_filename(file, sizeof(file)));
  ASSERT_TRUE(get_exe_path(buf, sizeof(buf)));
  size_t l = strlen(buf);
  ASSERT_GT(l, 0u);
  EXPECT_EQ(buf[l - 1], '/');
  EXPECT_EQ(strncmp(buf, file, l), 0);
  char tiny[4];
  EXPECT_FALSE(get_exe_filename(tiny, sizeof(tiny)));
  EXPECT_NE(get_file_time(file), 0);
  EXPECT_EQ(get_file_time("/nonexistent/file/here"), 0);
}
