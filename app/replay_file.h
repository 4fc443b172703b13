#pragma once
// The record file of -record and -replay: what a session needs to be played again
// exactly. Plain text, one item per line, written as the session runs:
//
//   zarnith replay 1                  format version
//   build 0123456789abcdef            the program and the module it was recorded with
//   seed 1234                         game_rnd_seed at start-up
//   size 128 72                       the window's client size
//   switch -cast 30:fireball,128,110  a switch that changes the simulation (-play, -dev,
//                                     -cam, -sun, -cast), with its argument
//   input                             the end of the header
//   @12                               the lines up to the next "@" are update 12's input
//   ev KIND KEY FLAGS CHR WHEEL X Y   a queued event (core/input_event.h), oldest first
//   kf KEY BITS                       key flags of the update (1 went down, 2 went up)
//   held KEY 0|1                      a key or button held from now on / released
//   mouse X Y                         the mouse position from now on
//   wheel N / last KEY CHR            the update's wheel notches, latest key and character
//   over 0|1 / capture 0|1 / active 0|1   mouse over the window, captured, window focused
//   check N HASH                      the world hash after update N (every 60 updates)
//   end N HASH                        N updates recorded, the world hash at exit
//
// Updates without a line of their own saw no events and no change. Numbers are decimal
// (hashes hexadecimal); coordinates print with 9 significant digits, which reads back
// the same float.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include "input.h"

constexpr int REPLAY_FORMAT_VERSION = 1;
// The world hash is stored after every this many updates.
constexpr int REPLAY_CHECK_EVERY = 60;

struct ReplayHeader
{
  int version = REPLAY_FORMAT_VERSION;
  uint64_t build_id = 0;
  uint64_t seed = 0;
  int width = 0, height = 0;
  std::vector<std::string> switches; // argv items: each switch, then its argument
};

// What one update's input differs by from the one before.
struct InputDelta
{
  int update = 0;
  std::vector<InputEvent> events;
  std::vector<std::pair<int, int>> key_flags; // key, bits (nonzero only)
  std::vector<std::pair<int, bool>> held;     // key, held now
  bool mouse_moved = false;
  float mouse_x = 0.f, mouse_y = 0.f;
  int wheel = 0, last_key = 0, last_char = 0;
  int over = -1, capture = -1, active = -1; // -1 unchanged, else the new value

  bool empty() const;
};

// The differences from prev to now (now's update number is given).
InputDelta diff_input(const InputSnapshot &prev, const InputSnapshot &now, int update);
// Turns the state of the previous update into this update's: the queue, key flags,
// wheel and latest key come from d alone (an update starts with none), the rest changes
// where d says so.
void apply_input(InputSnapshot &state, const InputDelta &d);

struct ReplayCheck
{
  int update;
  uint64_t hash;
};

// A whole record file, read back.
struct ReplayFile
{
  ReplayHeader header;
  std::vector<InputDelta> inputs; // in increasing update order
  std::vector<ReplayCheck> checks;
  bool ended = false; // the "end" line was there (else the recording was cut off)
  int updates = 0;    // from "end", or the last update that left a trace
  uint64_t end_hash = 0;
};

// Writing. Each returns false when the stream failed.
bool write_replay_header(FILE *f, const ReplayHeader &h);
bool write_input_delta(FILE *f, const InputDelta &d); // nothing for an empty delta
bool write_replay_check(FILE *f, int update, uint64_t hash);
bool write_replay_end(FILE *f, int updates, uint64_t hash);

// Reads and checks a whole file: false with the reason (naming the line) in error. A
// file of another format version, a malformed line, an update out of order or a value
// out of range (key codes, event kinds, coordinates, sizes) is refused; a file cut off
// after the header reads as far as it goes.
bool read_replay_file(const char *path, ReplayFile &out, std::string &error);
// The same over text in memory (name is used in the messages).
bool parse_replay_text(const char *text, size_t len, const char *name, ReplayFile &out, std::string &error);
