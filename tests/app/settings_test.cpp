#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "app/input.h"
#include "app/settings.h"
#include "core/log.h"
#include "core/scripted_casts.h"

namespace
{
// Each test gets its own config home, so parallel runs never share a file.
class Settings : public ::testing::Test
{
protected:
  std::string home;

  void SetUp() override
  {
    char tmpl[] = "/tmp/zarnith_settings_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    home = tmpl;
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  }
  void TearDown() override
  {
    std::string cmd = "rm -rf '" + home + "'";
    (void)!system(cmd.c_str());
  }
  std::string path() const { return config_file_path(); }
  std::string read() const
  {
    std::ifstream f(path(), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  void write(const std::string &text) const
  {
    std::string dir = home + "/Oblenko Games";
    mkdir(dir.c_str(), 0777);
    mkdir((dir + "/Zarnith").c_str(), 0777);
    std::ofstream f(path(), std::ios::binary);
    f << text;
  }
};

const char *const header = "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\SOFTWARE\\Oblenko Games\\Zarnith]\n";
} // namespace

TEST_F(Settings, PathFollowsXdgConfigHome) { EXPECT_EQ(path(), home + "/Oblenko Games/Zarnith/settings.reg"); }

TEST_F(Settings, RoundTripKeepsTypesAndIgnoresCase)
{
  int v = 42;
  char buf[32] = "untouched";
  EXPECT_FALSE(get_config_int("flags", v)); // no file yet
  EXPECT_EQ(v, 42);

  ASSERT_TRUE(set_config_int("flags", 13));
  ASSERT_TRUE(set_config_str("gfx_quality", "high", -1));
  ASSERT_TRUE(set_config_int("land_shadows", -1));

  EXPECT_TRUE(get_config_int("FLAGS", v));
  EXPECT_EQ(v, 13);
  EXPECT_TRUE(get_config_int("land_shadows", v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(get_config_str("GFX_Quality", buf, sizeof(buf)));
  EXPECT_STREQ(buf, "high");

  // The wrong type reads as missing and leaves the output alone.
  v = 7;
  EXPECT_FALSE(get_config_int("gfx_quality", v));
  EXPECT_EQ(v, 7);
  EXPECT_FALSE(get_config_str("flags", buf, sizeof(buf)));

  // Overwriting through another spelling replaces the value, keeping the stored name.
  ASSERT_TRUE(set_config_int("Flags", 5));
  EXPECT_TRUE(get_config_int("flags", v));
  EXPECT_EQ(v, 5);
  std::string text = read();
  EXPECT_NE(text.find("\"flags\"=dword:00000005\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Flags"), std::string::npos);
  EXPECT_EQ(text.find("Windows Registry Editor Version 5.00\n"), 0u);
}

TEST_F(Settings, TextEscapesAndLengths)
{
  const char raw[] = "a\"b\\c\n\x01\xff"
                     "d";
  ASSERT_TRUE(set_config_str("odd", raw, int(sizeof(raw) - 1)));
  EXPECT_NE(read().find("\"odd\"=\"a\\\"b\\\\c\\x0a\\x01\\xffd\""), std::string::npos) << read();
  char buf[32];
  ASSERT_TRUE(get_config_str("odd", buf, sizeof(buf)));
  EXPECT_EQ(std::string(buf), std::string(raw));

  // Explicit lengths store only that many bytes; reads are cut to the buffer.
  ASSERT_TRUE(set_config_str("part", "abcdef", 3));
  ASSERT_TRUE(get_config_str("part", buf, sizeof(buf)));
  EXPECT_STREQ(buf, "abc");
  char small[3];
  ASSERT_TRUE(get_config_str("part", small, sizeof(small)));
  EXPECT_STREQ(small, "ab");
}

TEST_F(Settings, UnknownLinesAndOtherKeysSurviveWrites)
{
  write(std::string("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                    "; hand-written note ending in \\\r\n"
                    "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n"
                    "\"flags\"=dword:00000001\r\n\r\n") +
        "[hkey_current_user\\software\\oblenko games\\zarnith]\n"
        "\"blob\"=hex:01,02,03,\\\n  04,05\n"
        "; a comment ending in \\\n"
        "\"flags\"=dword:0000000d\n"
        "\"broken\"=dword:xyz\n");
  int v = 0;
  EXPECT_TRUE(get_config_int("flags", v));
  EXPECT_EQ(v, 13); // the other key's "flags" is not ours
  EXPECT_FALSE(get_config_int("broken", v));
  EXPECT_FALSE(get_config_int("blob", v));

  ASSERT_TRUE(set_config_int("blob", 2)); // replaces the continued hex value whole
  ASSERT_TRUE(set_config_str("new", "x", -1));
  std::string text = read();
  EXPECT_NE(text.find("; hand-written note"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\Other]\n\"flags\"=dword:00000001"), std::string::npos);
  EXPECT_NE(text.find("\"broken\"=dword:xyz"), std::string::npos);
  EXPECT_EQ(text.find("04,05"), std::string::npos) << text;
  EXPECT_NE(text.find("\"blob\"=dword:00000002"), std::string::npos);
  // New values join our section, not the end of another one.
  EXPECT_LT(text.find("\"new\"=\"x\""), text.find("\"broken\"") + 40);
  EXPECT_TRUE(get_config_int("blob", v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(get_config_int("flags", v));
  EXPECT_EQ(v, 13);
}

// A hex value cut after its continuation mark would swallow the line written after it.
TEST_F(Settings, ValueAddedAfterCutHexValueReadsBack)
{
  write(std::string(header) + "\"blob\"=hex:01,02,\\\n");
  ASSERT_TRUE(set_config_int("flags", 7));
  ASSERT_TRUE(set_config_str("gfx_quality", "low", -1));
  int v = 0;
  char buf[8] = "";
  EXPECT_TRUE(get_config_int("flags", v)) << read();
  EXPECT_EQ(v, 7);
  EXPECT_TRUE(get_config_str("gfx_quality", buf, sizeof(buf)));
  EXPECT_STREQ(buf, "low");
  EXPECT_NE(read().find("\"blob\"=hex:01,02,\\"), std::string::npos); // the cut value stays as it was
}

TEST_F(Settings, DamagedFileReadsAsDefaultsAndIsKeptAside)
{
  write(std::string("\x7f"
                    "ELF\0\0garbage\n\"flags\"=dword:00000001\n",
                    32));
  int v = 99;
  EXPECT_FALSE(get_config_int("flags", v));
  EXPECT_EQ(v, 99);
  write("not a registry file\n\"flags\"=dword:00000001\n");
  EXPECT_FALSE(get_config_int("flags", v));

  ASSERT_TRUE(set_config_int("flags", 4));
  EXPECT_TRUE(get_config_int("flags", v));
  EXPECT_EQ(v, 4);
  std::ifstream bad(path() + ".bad");
  std::string first;
  std::getline(bad, first);
  EXPECT_EQ(first, "not a registry file");
}

// Only a regular file is read, and only up to its size limit: a FIFO must not block, a
// link to an endless device must not fill the memory, a huge file is kept aside.
TEST_F(Settings, OnlyRegularFilesOfBoundedSizeAreRead)
{
  write(header);
  ASSERT_EQ(unlink(path().c_str()), 0);
  ASSERT_EQ(mkfifo(path().c_str(), 0666), 0);
  int v = 99;
  EXPECT_FALSE(get_config_int("flags", v)); // returns instead of waiting for a writer
  EXPECT_FALSE(set_config_int("flags", 1)); // nor is the FIFO replaced
  struct stat st;
  ASSERT_EQ(lstat(path().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  ASSERT_EQ(unlink(path().c_str()), 0);
  ASSERT_EQ(symlink("/dev/zero", path().c_str()), 0);
  EXPECT_FALSE(get_config_int("flags", v));
  parse_options(1, std::vector<const char *>{"zarnith"}.data());
  EXPECT_EQ(v, 99);

  ASSERT_EQ(unlink(path().c_str()), 0);
  std::string big = std::string(header) + "\"flags\"=dword:00000001\n";
  big.resize(3u << 20, ';');
  write(big);
  EXPECT_FALSE(get_config_int("flags", v));
  ASSERT_TRUE(set_config_int("flags", 2)); // the oversized file goes aside whole
  EXPECT_TRUE(get_config_int("flags", v));
  EXPECT_EQ(v, 2);
  ASSERT_EQ(stat((path() + ".bad").c_str(), &st), 0);
  EXPECT_EQ(size_t(st.st_size), big.size());
}

// Registry editors export UTF-16LE with a byte-order mark; such a file is read, and
// rewritten in the same form.
TEST_F(Settings, Utf16FileIsDecodedAndKeepsItsEncoding)
{
  const std::string smiley("\x3D\xD8\x00\xDE", 4); // U+1F600 as a surrogate pair, in a comment line
  auto utf16 = [&smiley](const std::string &ascii_or_utf8) {
    std::string out = "\xFF\xFE";
    for (size_t i = 0; i < ascii_or_utf8.size(); i++)
    {
      unsigned c = (unsigned char)ascii_or_utf8[i];
      if (c == 0xC3) // the one two-byte letter below
        c = 0xC0 | ((unsigned char)ascii_or_utf8[++i] & 0x3F);
      out += char(c);
      out += char(0);
    }
    out += smiley;
    return out;
  };
  write(utf16("Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Oblenko Games\\Zarnith]\r\n"
              "\"flags\"=dword:0000000d\r\n"
              "\"name\"=\"J\xC3\xBCrgen\"\r\n;"));
  int v = 0;
  EXPECT_TRUE(get_config_int("flags", v));
  EXPECT_EQ(v, 13);
  char buf[32];
  ASSERT_TRUE(get_config_str("name", buf, sizeof(buf)));
  EXPECT_STREQ(buf, "J\xC3\xBCrgen");

  ASSERT_TRUE(set_config_int("land_shadows", 2));
  const std::string text = read();
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(text.compare(0, 4, std::string("\xFF\xFEW\0", 4)), 0);
  EXPECT_NE(text.find(std::string("\xFC\0r\0g", 5)), std::string::npos); // the letter as one unit
  EXPECT_NE(text.find(smiley), std::string::npos); // the pair survives
  EXPECT_TRUE(get_config_int("land_shadows", v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(get_config_int("flags", v));
  EXPECT_EQ(v, 13);

  write(std::string("\xFF\xFEW\0i", 5)); // an odd byte count is damaged
  EXPECT_FALSE(get_config_int("flags", v));
}

TEST_F(Settings, WriteLeavesNoTemporaryFiles)
{
  ASSERT_TRUE(set_config_int("a", 1));
  ASSERT_TRUE(set_config_int("b", 2));
  std::string cmd = "ls -A '" + home + "/Oblenko Games/Zarnith' | grep -v '^settings.reg$' | wc -l";
  FILE *p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  int extra = -1;
  EXPECT_EQ(fscanf(p, "%d", &extra), 1);
  pclose(p);
  EXPECT_EQ(extra, 0);
}

// --- parse_options ---

static void parse(const std::vector<const char *> &args)
{
  std::vector<const char *> argv = {"zarnith"};
  argv.insert(argv.end(), args.begin(), args.end());
  parse_options(int(argv.size()), argv.data());
}

TEST_F(Settings, OptionDefaultsWithoutStoreOrSwitches)
{
  gfx_quality = 1;
  land_shadow_quality = 2;
  use_ppaa = true;
  parse({});
  EXPECT_FALSE(app_options.fullscreen);
  EXPECT_EQ(app_options.width, 0);
  EXPECT_EQ(app_options.height, 0);
  EXPECT_TRUE(app_use_vsync);
  EXPECT_FALSE(use_ppaa);
  EXPECT_EQ(gfx_quality, 1);
  EXPECT_EQ(land_shadow_quality, 2);
  EXPECT_FALSE(app_options.seed_given);
  EXPECT_EQ(app_options.frame_limit, 0);
}

TEST_F(Settings, StoredValuesThenSwitchesInOrder)
{
  ASSERT_TRUE(set_config_int("flags", 0));
  ASSERT_TRUE(set_config_int("land_shadows", 1));
  ASSERT_TRUE(set_config_str("gfx_quality", "LOW", -1));
  gfx_quality = 1;
  use_obj_shadows = true;
  parse({});
  EXPECT_FALSE(app_use_vsync); // flags 0 turns vsync off
  EXPECT_FALSE(use_ppaa);
  EXPECT_FALSE(use_obj_shadows);
  EXPECT_EQ(land_shadow_quality, 1);
  EXPECT_EQ(gfx_quality, 0); // names compare without case

  parse({"-vs", "-720", "-360", "-GFX-HIGH", "-fullscr", "bogus", "-aa"});
  EXPECT_TRUE(app_use_vsync);
  EXPECT_EQ(app_options.width, 640);
  EXPECT_EQ(app_options.height, 360);
  EXPECT_EQ(gfx_quality, 0); // switches are case-sensitive
  EXPECT_TRUE(app_options.fullscreen);
  EXPECT_TRUE(use_ppaa);

  // -size takes W x H with both sides in 64..16384; anything else leaves the size alone.
  parse({"-size", "160x96", "-size", "63x100", "-size", "200x 90", "-size", "-5x100", "-size", "100x100x3"});
  EXPECT_EQ(app_options.width, 160);
  EXPECT_EQ(app_options.height, 96);

  parse({"-1024", "-win", "-gfx-high", "-novs", "-noaa"});
  EXPECT_EQ(app_options.width, 1280);
  EXPECT_EQ(app_options.height, 1024);
  EXPECT_FALSE(app_options.fullscreen);
  EXPECT_EQ(gfx_quality, 1);
  EXPECT_FALSE(app_use_vsync);
  EXPECT_FALSE(use_ppaa);
}

TEST_F(Settings, StoredFlagBitsAndUnknownQuality)
{
  ASSERT_TRUE(set_config_int("flags", 0xd));     // full screen, vsync, object shadows
  ASSERT_TRUE(set_config_int("gfx_quality", 0)); // an integer is not a quality name
  gfx_quality = 1;
  parse({});
  EXPECT_TRUE(app_options.fullscreen);
  EXPECT_FALSE(use_ppaa);
  EXPECT_TRUE(app_use_vsync);
  EXPECT_TRUE(use_obj_shadows);
  EXPECT_EQ(gfx_quality, 1);

  ASSERT_TRUE(set_config_str("gfx_quality", "ultra", -1));
  parse({});
  EXPECT_EQ(gfx_quality, 1);
}

TEST_F(Settings, SeedFramesAndHelpSwitches)
{
  parse({"-seed", "12345678901234", "-frames", "100"});
  EXPECT_TRUE(app_options.seed_given);
  EXPECT_EQ(app_options.seed, 12345678901234ull);
  EXPECT_EQ(app_options.frame_limit, 100);
  EXPECT_FALSE(app_options.show_help);

  // A malformed number is ignored and does not swallow the next switch.
  parse({"-seed", "-360", "-frames", "x", "-help"});
  EXPECT_FALSE(app_options.seed_given);
  EXPECT_EQ(app_options.width, 640);
  EXPECT_EQ(app_options.frame_limit, 0);
  EXPECT_TRUE(app_options.show_help);

  parse({"-seed", "0x10", "-frames"});
  EXPECT_EQ(app_options.seed, 16u);
  EXPECT_EQ(app_options.frame_limit, 0);
}

TEST_F(Settings, ScriptedRunSwitches)
{
  parse({"-screenshot-at", "30", "-press", "40:H", "-press", "60:ctrl+g", "-press", "5:F9", "-press", "2:shift+F5",
         "-dev", "-sun", "85", "-cam", "128,30,100,0,-5"});
  ASSERT_EQ(app_options.screenshot_count, 1);
  EXPECT_EQ(app_options.screenshot_at[0], 30);
  ASSERT_EQ(app_options.press_count, 4);
  EXPECT_EQ(app_options.presses[3].key, 116); // F5
  EXPECT_TRUE(app_options.presses[3].shift);
  EXPECT_FALSE(app_options.presses[3].ctrl);
  EXPECT_FALSE(app_options.presses[1].shift);
  EXPECT_EQ(app_options.presses[0].update, 40);
  EXPECT_EQ(app_options.presses[0].key, 'H');
  EXPECT_FALSE(app_options.presses[0].ctrl);
  EXPECT_EQ(app_options.presses[1].key, 'G');
  EXPECT_TRUE(app_options.presses[1].ctrl);
  EXPECT_EQ(app_options.presses[2].key, 120); // F9
  EXPECT_TRUE(app_options.start_dev);
  EXPECT_TRUE(app_options.sun_given);
  EXPECT_EQ(app_options.sun_angle, 85.f);
  EXPECT_TRUE(app_options.cam_given);
  EXPECT_EQ(app_options.cam[4], -5.f);

  parse({"-fx", "40:meteor_explode", "-fx", "7:portal"});
  ASSERT_EQ(app_options.fx_preview_count, 2);
  EXPECT_EQ(app_options.fx_previews[0].update, 40);
  EXPECT_STREQ(app_options.fx_previews[0].name, "meteor_explode");
  EXPECT_STREQ(app_options.fx_previews[1].name, "portal");
  parse({"-fx", "40", "-fx", "0:portal", "-fx", "3:", "-fx", "3:bad name", "-fx",
         "3:aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "-dev"});
  EXPECT_EQ(app_options.fx_preview_count, 0);
  EXPECT_TRUE(app_options.start_dev);
  std::vector<const char *> many;
  for (int i = 0; i < 10; i++)
    many.insert(many.end(), {"-fx", "5:healing"});
  parse(many);
  EXPECT_EQ(app_options.fx_preview_count, 8);

  // Malformed arguments are ignored and leave the next switch alone.
  parse({"-press", "x:H", "-press", "3:F13", "-press", "0:A", "-press", "3:HH", "-screenshot-at", "0", "-sun", "200",
         "-cam", "1,2,3", "-360"});
  EXPECT_EQ(app_options.press_count, 0);
  EXPECT_EQ(app_options.screenshot_count, 0);
  EXPECT_FALSE(app_options.sun_given);
  EXPECT_FALSE(app_options.cam_given);
  EXPECT_EQ(app_options.width, 640);
}

TEST_F(Settings, GuiScriptSwitches)
{
  parse({"-press",    "7:Return",
         "-press",    "8:shift+Tab",
         "-press",    "9:ctrl+alt+Left Arrow",
         "-press",    "10:escape",
         "-click",    "4:320,237.5",
         "-rclick",   "6:10,20",
         "-hover",    "3:1,2",
         "-hold",     "30:60:Control",
         "-hold",     "31:40:lmb",
         "-gui-dump", "14",
         "-updates",  "15"});
  ASSERT_EQ(app_options.press_count, 4);
  EXPECT_EQ(app_options.presses[0].key, VK_RETURN);
  EXPECT_EQ(app_options.presses[1].key, VK_TAB);
  EXPECT_TRUE(app_options.presses[1].shift);
  EXPECT_FALSE(app_options.presses[1].ctrl);
  EXPECT_EQ(app_options.presses[2].key, VK_LEFT);
  EXPECT_TRUE(app_options.presses[2].ctrl && app_options.presses[2].alt);
  EXPECT_EQ(app_options.presses[3].key, VK_ESCAPE);
  ASSERT_EQ(app_options.click_count, 2);
  EXPECT_EQ(app_options.clicks[0].update, 4);
  EXPECT_EQ(app_options.clicks[0].x, 320.f);
  EXPECT_EQ(app_options.clicks[0].y, 237.5f);
  EXPECT_EQ(app_options.clicks[0].button, VK_LBUTTON);
  EXPECT_EQ(app_options.clicks[1].button, VK_RBUTTON);
  ASSERT_EQ(app_options.hover_count, 1);
  ASSERT_EQ(app_options.hold_count, 2);
  EXPECT_EQ(app_options.holds[0].key, VK_CONTROL);
  EXPECT_EQ(app_options.holds[0].to, 60);
  EXPECT_EQ(app_options.holds[1].key, VK_LBUTTON);
  ASSERT_EQ(app_options.gui_dump_count, 1);
  EXPECT_EQ(app_options.gui_dump_at[0], 14);
  EXPECT_EQ(app_options.update_limit, 15);

  // Names that are no key, the mouse buttons as pressed keys, points that are not two
  // numbers, a hold that ends before it starts: all ignored.
  parse({"-press", "3:Enterr", "-press",    "3:Left Mouse Button",
         "-press", "3:",       "-click",    "4:10",
         "-click", "4:1,2,3",  "-rclick",   "0:1,1",
         "-hover", "5:nan,1",  "-hold",     "9:9:A",
         "-hold",  "9:8:A",    "-gui-dump", "0"});
  EXPECT_EQ(app_options.press_count, 0);
  EXPECT_EQ(app_options.click_count, 0);
  EXPECT_EQ(app_options.hover_count, 0);
  EXPECT_EQ(app_options.hold_count, 0);
  EXPECT_EQ(app_options.gui_dump_count, 0);
}

TEST_F(Settings, PlayAndCastSwitches)
{
  parse({"-play", "-cast", "10:hill,100,120", "-cast", "12:watersource,-3.5,7", "-cast", "5:volcano,1,2", "-cast",
         "0:pit,1,2", "-cast", "7:pit,1", "-cast", "7:pit,1,2x", "-cast", "7:Hill,1,2", "-cast", "7:pit,nan,2"});
  EXPECT_TRUE(app_options.start_play);
  ASSERT_EQ(scripted_cast_count, 2); // the malformed ones are refused
  EXPECT_EQ(scripted_casts[0].update, 10);
  EXPECT_STREQ(scripted_casts[0].spell, "hill");
  EXPECT_EQ(scripted_casts[0].x, 100.f);
  EXPECT_EQ(scripted_casts[0].z, 120.f);
  EXPECT_STREQ(scripted_casts[1].spell, "watersource");
  EXPECT_EQ(scripted_casts[1].x, -3.5f);
  // At most 16; a new parse starts afresh.
  std::vector<const char *> many;
  for (int i = 0; i < 20; i++)
    many.insert(many.end(), {"-cast", "3:fireball,1,1"});
  parse(many);
  EXPECT_FALSE(app_options.start_play);
  EXPECT_EQ(scripted_cast_count, MAX_SCRIPTED_CASTS);
}

// Each refused switch is logged once, saying why: a full list is not a malformed
// argument; numbers that cannot be counts, and a folder name that is the next switch.
TEST_F(Settings, RefusedSwitchesSayWhy)
{
  std::vector<std::string> presses;
  for (int i = 1; i <= 17; i++)
    presses.push_back(std::to_string(i) + ":A");
  std::vector<const char *> args;
  for (const std::string &p : presses)
    args.insert(args.end(), {"-press", p.c_str()});
  args.insert(args.end(), {"-frames", "0", "-updates", "0", "-export-world", "-seed", "7", "-frames", "-1"});
  testing::internal::CaptureStdout();
  parse(args);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(app_options.press_count, 16);
  EXPECT_NE(log.find("switch -press: at most 16, 17:A ignored\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("-press: missing or malformed"), std::string::npos) << log;
  EXPECT_EQ(app_options.frame_limit, 0);
  EXPECT_EQ(app_options.update_limit, 0);
  EXPECT_EQ(app_options.export_world_dir, nullptr);
  EXPECT_TRUE(app_options.seed_given);
  EXPECT_EQ(app_options.seed, 7u);
  for (const char *line : {"switch -frames: missing or malformed N, ignored\n", "switch -updates: missing or malformed N, ignored\n",
                           "switch -export-world: missing or malformed DIR, ignored\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line << log;
  // "-frames 0" and "-frames -1" both refused.
  const char *frames = "switch -frames: missing or malformed N";
  EXPECT_NE(log.find(frames), log.rfind(frames)) << log;

  testing::internal::CaptureStdout();
  parse({"-export-world", "out", "-frames", "3"});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_STREQ(app_options.export_world_dir, "out");
  EXPECT_EQ(app_options.frame_limit, 3);
}

TEST_F(Settings, AutoplayAndStripLogging)
{
  parse({"-autoplay", "42", "-log-strip"});
  EXPECT_TRUE(app_options.autoplay);
  EXPECT_EQ(app_options.autoplay_seed, 42u);
  EXPECT_TRUE(app_options.start_play); // autoplay plays
  EXPECT_TRUE(log_error_appends);
  // A missing or malformed seed is refused; a new parse starts afresh.
  parse({"-autoplay", "-log-strip"});
  EXPECT_FALSE(app_options.autoplay);
  EXPECT_FALSE(app_options.start_play);
  EXPECT_TRUE(log_error_appends); // the next switch was left alone
  parse({"-autoplay", "seven"});
  EXPECT_FALSE(app_options.autoplay);
  EXPECT_FALSE(log_error_appends);
}
