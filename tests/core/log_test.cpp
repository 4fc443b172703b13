#include <cstdio>
#include <gtest/gtest.h>
#include "core/log.h"

TEST(ErrorMessage, AppendJoinsWithNewlines)
{
  set_error_message(nullptr);
  EXPECT_FALSE(has_error_message());
  append_error_message("abc", -1);
  EXPECT_STREQ(get_error_message(), "abc");
  append_error_message("de", 1);
  EXPECT_STREQ(get_error_message(), "abc\nd");
  append_error_message(nullptr, 3);
  append_error_message("x", 0);
  append_error_message("", -1);
  EXPECT_STREQ(get_error_message(), "abc\nd");
  set_error_message("");
  EXPECT_FALSE(has_error_message());
  set_error_message("boom");
  EXPECT_STREQ(get_error_message(), "boom");
  set_error_message(nullptr);
  EXPECT_EQ(get_error_message(), nullptr);
}

TEST(ErrorMessage, AppendsAreLoggedOnlyWhenAsked)
{
  set_error_message(nullptr);
  testing::internal::CaptureStdout();
  append_error_message("quiet", -1);
  log_error_appends = true;
  append_error_message("loud line\nand more", 9);
  log_error_appends = false;
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "ERROR MESSAGE ADDED: loud line\n");
  EXPECT_STREQ(get_error_message(), "quiet\nloud line");
  set_error_message(nullptr);
}

TEST(VisualLog, KeepsNewestHundredAndCutsLongText)
{
  clear_visual_log();
  for (int i = 0; i < 101; i++)
    visual_log("msg %d", i);
  ASSERT_EQ(visual_log_count(), 100);
  EXPECT_STREQ(visual_log_entry(0), "msg 1");
  EXPECT_STREQ(visual_log_entry(99), "msg 100");
  std::string longtext(300, 'x');
  visual_log("%s", longtext.c_str());
  EXPECT_EQ(strlen(visual_log_entry(99)), 127u);
  clear_visual_log();
  EXPECT_EQ(visual_log_count(), 0);
}

static void fake_shutdown()
{
  debug("closing...");
  debug("closed all systems");
}

TEST(FatalDeath, ReportsRunsShutdownAndExits100)
{
  EXPECT_EXIT(
    {
      set_fatal_shutdown(fake_shutdown);
      debug_("pending output ");
      fatal("bad thing %d", 7);
    },
    ::testing::ExitedWithCode(100), "bad thing 7");
}

TEST(FatalDeath, AssertFormat)
{
  EXPECT_EXIT(
    {
      int x = 1;
      ASSERT(x == 2);
    },
    ::testing::ExitedWithCode(100), "log_test.cpp\\([0-9]+\\): failed ASSERT\\(x == 2\\)");
}
