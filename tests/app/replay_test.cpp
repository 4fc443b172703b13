// The record file: what is written reads back the same, the input of every update is
// rebuilt exactly from the differences, and a damaged or hostile file is refused with
// the line that is wrong.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <string>
#include "app/device_link.h"
#include "app/input.h"
#include "app/replay_file.h"
#include "core/globals.h"

namespace
{
InputEvent event(int kind, int key, int flags, int chr, int wheel, float x, float y)
{
  InputEvent e = {};
  e.kind = kind, e.key = key, e.flags = flags, e.chr = chr, e.wheel = wheel, e.x = x, e.y = y;
  return e;
}

void expect_same_input(const InputSnapshot &a, const InputSnapshot &b, int update)
{
  ASSERT_EQ(a.events.size(), b.events.size()) << "update " << update;
  for (size_t i = 0; i < a.events.size(); i++)
    EXPECT_EQ(memcmp(&a.events[i], &b.events[i], sizeof(InputEvent)), 0) << "update " << update << " event " << i;
  EXPECT_EQ(memcmp(a.key_flags, b.key_flags, sizeof(a.key_flags)), 0) << "update " << update;
  EXPECT_EQ(memcmp(a.held, b.held, sizeof(a.held)), 0) << "update " << update;
  EXPECT_EQ(memcmp(&a.mouse_x, &b.mouse_x, sizeof(float)), 0) << "update " << update;
  EXPECT_EQ(memcmp(&a.mouse_y, &b.mouse_y, sizeof(float)), 0) << "update " << update;
  EXPECT_EQ(a.wheel, b.wheel);
  EXPECT_EQ(a.last_key, b.last_key);
  EXPECT_EQ(a.last_char, b.last_char);
  EXPECT_EQ(a.mouse_over, b.mouse_over);
  EXPECT_EQ(a.capturing, b.capturing);
  EXPECT_EQ(a.app_active, b.app_active);
}

// The text of a file with the given header lines and body (after "input").
std::string file_text(const std::string &body, const std::string &header = "size 128 72\n")
{
  return "zarnith replay 1\nbuild 00000000000000ff\nseed 5\n" + header + "input\n" + body;
}

bool parse(const std::string &text, ReplayFile &f, std::string &error)
{
  return parse_replay_text(text.data(), text.size(), "t.rec", f, error);
}
} // namespace

// A session of a few updates written as the program writes it and read back: the header,
// the checks, the end, and every update's input rebuilt from the differences alone,
// floats bit for bit (including ones that print long).
TEST(ReplayFile, WrittenSessionReadsBackUpdateByUpdate)
{
  std::vector<InputSnapshot> seen(6);
  for (InputSnapshot &s : seen)
    reset_input_snapshot(s);
  // 1: the mouse arrives; 2: W goes down with its event; 3: nothing; 4: W still held,
  // a click with Shift, the window loses focus; 5: all released, the wheel turns.
  seen[1].events = {event(IEV_MOUSE_MOVE, 0, 0, 0, 0, 0.1f, 359.f)};
  seen[1].mouse_x = 0.1f, seen[1].mouse_y = 359.f, seen[1].mouse_over = true;
  for (int i = 2; i < 6; i++)
    seen[i].mouse_x = 0.1f, seen[i].mouse_y = 359.f, seen[i].mouse_over = true;
  seen[2].events = {event(IEV_KEY_DOWN, 'W', 0, 'w', 0, 0.1f, 359.f)};
  seen[2].key_flags['W'] = 1, seen[2].held['W'] = true, seen[2].last_key = 'W', seen[2].last_char = 'w';
  seen[3].held['W'] = true;
  seen[4].held['W'] = seen[4].held[VK_SHIFT] = seen[4].held[VK_LBUTTON] = true;
  seen[4].events = {event(IEV_MOUSE_DOWN, VK_LBUTTON, IEF_SHIFT | IEF_LBUTTON, 0, 0, 1.f / 3.f, 2.5e-7f)};
  seen[4].key_flags[VK_LBUTTON] = 1, seen[4].capturing = true, seen[4].app_active = false;
  seen[5].events = {event(IEV_MOUSE_WHEEL, 0, 0, 0, -2, 3.f, 4.f)};
  seen[5].wheel = -2, seen[5].app_active = false;

  ReplayHeader h;
  h.build_id = 0x0123456789abcdefull;
  h.seed = 18446744073709551615ull;
  h.width = 640, h.height = 360;
  h.switches = {"-play", "-cast", "10:hill,128.5,-3", "-dev", "-sun", "30"};
  char *buf = nullptr;
  size_t len = 0;
  FILE *f = open_memstream(&buf, &len);
  ASSERT_TRUE(write_replay_header(f, h));
  for (int u = 1; u < 6; u++)
  {
    ASSERT_TRUE(write_input_delta(f, diff_input(seen[u - 1], seen[u], u)));
    if (u == 3)
      ASSERT_TRUE(write_replay_check(f, 3, 0xfeedfacecafebeefull));
  }
  ASSERT_TRUE(write_replay_end(f, 5, 42));
  fclose(f);
  const std::string text(buf, len);
  free(buf);
  EXPECT_EQ(text.find("@3\n"), std::string::npos) << "an update without a change has no line";

  ReplayFile r;
  std::string error;
  ASSERT_TRUE(parse(text, r, error)) << error << "\n" << text;
  EXPECT_EQ(r.header.build_id, h.build_id);
  EXPECT_EQ(r.header.seed, h.seed);
  EXPECT_EQ(r.header.width, 640);
  EXPECT_EQ(r.header.height, 360);
  EXPECT_EQ(r.header.switches, h.switches);
  ASSERT_EQ(r.checks.size(), 1u);
  EXPECT_EQ(r.checks[0].update, 3);
  EXPECT_EQ(r.checks[0].hash, 0xfeedfacecafebeefull);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(r.updates, 5);
  EXPECT_EQ(r.end_hash, 42u);

  InputSnapshot state;
  reset_input_snapshot(state);
  size_t next = 0;
  for (int u = 1; u < 6; u++)
  {
    InputDelta none;
    none.update = u;
    const bool has = next < r.inputs.size() && r.inputs[next].update == u;
    apply_input(state, has ? r.inputs[next++] : none);
    expect_same_input(state, seen[u], u);
  }
  EXPECT_EQ(next, r.inputs.size());
}

// The snapshot is the input layer's whole state: loaded into it, the update reads the
// same queue, keys, mouse and focus, and a save gives the snapshot back.
TEST(ReplayFile, SnapshotLoadsIntoTheInputLayer)
{
  init_input(nullptr);
  clear_input();
  clear_keys_held();
  standin_set_size(640, 360);
  InputSnapshot s;
  reset_input_snapshot(s);
  s.events = {event(IEV_KEY_DOWN, 'G', IEF_CTRL, 7, 0, 5.f, 6.f), event(IEV_KEY_UP, 'G', IEF_CTRL, 7, 0, 5.f, 6.f)};
  s.key_flags['G'] = 3;
  s.held[VK_CONTROL] = true;
  s.mouse_x = 5.f, s.mouse_y = 6.f;
  s.wheel = 3, s.last_key = 'G', s.last_char = 7;
  s.mouse_over = true, s.app_active = false;
  post_input_event(IEV_KEY_DOWN, 'Q', 0, 0, 0.f, 0.f); // the real input is replaced
  load_input_state(s);
  EXPECT_TRUE(keyDown('G'));
  EXPECT_TRUE(keyUp('G'));
  EXPECT_FALSE(keyDown('Q'));
  EXPECT_TRUE(getKeyState(VK_CONTROL));
  EXPECT_EQ(getMouseWheel(), 3);
  EXPECT_EQ(getKey(), 'G');
  EXPECT_TRUE(isMouseOver());
  EXPECT_FALSE(isAppActive);
  InputSnapshot back;
  save_input_state(back);
  expect_same_input(back, s, 0);
  InputEvent e;
  ASSERT_TRUE(getEvent(e));
  EXPECT_EQ(e.kind, IEV_KEY_DOWN);
  EXPECT_EQ(e.chr, 7);
  ASSERT_TRUE(getEvent(e));
  EXPECT_FALSE(getEvent(e));
  clear_input();
  clear_keys_held();
  isAppActive = true;
}

// A recording cut off by a crash plays as far as it goes; a file that is not one, or
// that carries what a record file never does, is refused naming the line.
TEST(ReplayFile, DamagedAndHostileFilesAreRefused)
{
  ReplayFile r;
  std::string error;
  ASSERT_TRUE(parse(file_text("@4\nheld 87 1\ncheck 60 0000000000000001\n@61\nkf 87 2\n"), r, error)) << error;
  EXPECT_FALSE(r.ended);
  EXPECT_EQ(r.updates, 61);

  const struct
  {
    std::string text, why;
  } bad[] = {
    {"", "an empty file"},
    {"zarnith replay 2\n", "format version 2"},
    {"hello\n", "not a record file"},
    {"zarnith replay 1\nseed 5\n", "ends inside its header"},
    {file_text("", "switch -export-world-at 5 /tmp\n"), "cannot carry"},
    {file_text("", "switch -record /tmp/x\n"), "cannot carry"},
    {file_text("", "switch -cast\n"), "without its argument"},
    {file_text("", "switch -play now\n"), "does not take"},
    {file_text("", "size 10 10\n"), ":4: a value out of range"},
    {"zarnith replay 1\ninput\n", "no window size"},
    {file_text("held 87 1\n"), "outside an update"},
    {file_text("@5\n@5\n"), "out of order"},
    {file_text("@0\n"), "bad update number"},
    {file_text("@5\ncheck 60 0000000000000001\nheld 1 1\n"), "outside an update"},
    {file_text("@5\nheld 300 1\n"), "out of range"},
    {file_text("@5\nev 9 0 0 0 0 1 1\n"), "out of range"},
    {file_text("@5\nmouse nan 1\n"), "out of range"},
    {file_text("@5\nmouse 1e30 1\n"), "out of range"},
    {file_text("@5\nev 1 2 3\n"), "not an input line"},
    {file_text("@5\nend 4 0000000000000000\n"), "before updates"},
    {file_text("end 5 0000000000000000\n@6\n"), "after the end"},
    {file_text("check 5 xyz\n"), "out of range"},
    {std::string("zarnith replay 1\nse\0ed 5\n", 24), "binary"},
  };
  for (const auto &b : bad)
  {
    EXPECT_FALSE(parse(b.text, r, error)) << b.text;
    EXPECT_NE(error.find(b.why), std::string::npos) << "'" << error << "' for:\n" << b.text;
    EXPECT_EQ(error.rfind("t.rec:", 0), 0u) << error;
  }

  // Too many events in one update, as a hostile file would have.
  std::string flood = "@5\n";
  for (int i = 0; i < 5000; i++)
    flood += "ev 5 0 0 0 0 1 1\n";
  EXPECT_FALSE(parse(file_text(flood), r, error));
  EXPECT_NE(error.find("too many events"), std::string::npos) << error;

  EXPECT_FALSE(read_replay_file("/nonexistent/dir/x.rec", r, error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  EXPECT_FALSE(read_replay_file("/dev/null", r, error)) << "not a regular file";
}
