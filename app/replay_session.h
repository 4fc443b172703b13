#pragma once
// -record FILE and -replay FILE over a whole run (the file is described in replay_file.h).
//
// Both run in lockstep (one update per drawn frame; at the real update rate unless
// -lockstep asks for as fast as the renderer goes) and take the input once per update:
// between two updates only quit requests are read, so that no frame sees input that the
// update does not. Recording writes, per update, what the input layer holds when the
// update starts; replaying loads exactly that instead of the real input. Every
// REPLAY_CHECK_EVERY updates the world hash is written, or compared: a replay whose world
// differs stops with "replay diverged at update N" and exit code 3.

// After parse_options and the seed, before anything reads app_options: -record opens its
// file; -replay reads its file and puts the recorded seed, window size and switches in
// place of the command line's (its input switches are dropped). False, with the reason
// logged, when the file cannot be written or read.
bool begin_record_replay();
// Whether -record or -replay is running.
bool record_replay_active();
bool replaying();

// After start-up, before the loop: the header is written (record), the build compared
// (replay; a different one is a warning).
void record_replay_started();

// In every update, before anything reads the input: the real input is taken in (record)
// or dropped (replay).
void record_replay_pump();
// In update n, after the scripted input and before the game's update: writes the input
// the update will see (record) or loads the recorded one (replay).
void record_replay_input(int n);
// After update n: the world hash check.
void record_replay_after_update(int n);

// After the loop (updates: how many ran): logs "world hash: %016llx", ends the file
// (record) or compares the final hash (replay). Returns the exit code: 0, 3 when the
// replay diverged, 1 when the record file could not be written.
int finish_record_replay(int updates);
