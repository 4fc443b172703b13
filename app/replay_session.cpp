#include "replay_session.h"
#include <cerrno>
#include <cinttypes>
#include <cstring>
#include "core/globals.h"
#include "core/log.h"
#include "core/scripted_casts.h"
#include "device_link.h"
#include "input.h"
#include "main_loop.h"
#include "replay_file.h"
#include "replay_hash.h"
#include "settings.h"
#include "window.h"

namespace
{
enum class Mode
{
  off,
  record,
  replay,
};

struct Session
{
  Mode mode = Mode::off;
  const char *path = nullptr;
  FILE *out = nullptr;     // record
  bool write_failed = false;
  ReplayHeader header;     // record: what is written; replay: what was read
  ReplayFile file;         // replay
  size_t next_input = 0;   // replay: the next entry of file.inputs
  size_t next_check = 0;   // replay: the next entry of file.checks
  InputSnapshot state;     // the input of the latest update
  int diverged_at = 0;     // replay: the update whose hash differed, 0 none
};
Session session;

void note_write(bool ok)
{
  if (ok || session.write_failed)
    return;
  session.write_failed = true;
  debug("record %s: can't write: %s", session.path, strerror(errno));
  set_error_message("can't write the record file");
}

// "%.9g" prints a float so that it reads back the same.
std::string float_text(float v)
{
  char buf[32];
  snprintf(buf, sizeof(buf), "%.9g", v);
  return buf;
}

// The switches of app_options that change the simulation, as argv items.
std::vector<std::string> simulation_switches()
{
  std::vector<std::string> s;
  if (app_options.start_play)
    s.push_back("-play");
  if (app_options.start_dev)
    s.push_back("-dev");
  if (app_options.cam_given)
  {
    std::string v;
    for (int i = 0; i < 5; i++)
      v += (i ? "," : "") + float_text(app_options.cam[i]);
    s.push_back("-cam");
    s.push_back(v);
  }
  if (app_options.sun_given)
  {
    s.push_back("-sun");
    s.push_back(float_text(app_options.sun_angle));
  }
  for (int i = 0; i < scripted_cast_count; i++)
  {
    const ScriptedCast &c = scripted_casts[i];
    s.push_back("-cast");
    s.push_back(std::to_string(c.update) + ":" + c.spell + "," + float_text(c.x) + "," + float_text(c.z));
  }
  return s;
}

// Drops everything of the command line that a recording brings itself.
void clear_simulation_switches()
{
  AppOptions &o = app_options;
  o.start_play = o.start_dev = o.cam_given = o.sun_given = false;
  o.press_count = o.click_count = o.hover_count = o.hold_count = 0;
  scripted_cast_count = 0;
  o.fullscreen = false;
  o.record_path = nullptr;
  o.autoplay = false; // the recording holds what it played
}

bool begin_replay()
{
  std::string error;
  if (!read_replay_file(app_options.replay_path, session.file, error))
  {
    debug("replay %s", error.c_str());
    return false;
  }
  session.mode = Mode::replay;
  session.path = app_options.replay_path;
  session.header = session.file.header;
  if (app_options.record_path)
    debug("replay: -record %s ignored (a replay records nothing)", app_options.record_path);
  clear_simulation_switches();
  const std::vector<std::string> &sw = session.header.switches;
  std::vector<const char *> argv;
  for (const std::string &s : sw)
    argv.push_back(s.c_str());
  if (apply_switches(int(argv.size()), argv.data()) != 0)
  {
    debug("replay %s: a recorded switch was refused", session.path);
    return false;
  }
  app_options.seed_given = true;
  app_options.seed = session.header.seed;
  game_rnd_seed = session.header.seed;
  app_options.width = session.header.width;
  app_options.height = session.header.height;
  app_options.update_limit = session.file.updates;
  debug("replay %s: %d updates%s, seed %" PRIu64 ", %dx%d", session.path, session.file.updates,
        session.file.ended ? "" : " (the recording was cut off)", session.header.seed, session.header.width,
        session.header.height);
  return true;
}

bool begin_record()
{
  session.out = fopen(app_options.record_path, "w");
  if (!session.out)
  {
    debug("record %s: can't create it: %s", app_options.record_path, strerror(errno));
    return false;
  }
  session.mode = Mode::record;
  session.path = app_options.record_path;
  session.header.seed = game_rnd_seed;
  session.header.switches = simulation_switches();
  return true;
}
} // namespace

bool begin_record_replay()
{
  session = Session();
  if (!app_options.replay_path && !app_options.record_path)
    return true;
  // Lockstep at the update rate unless the command line asked for it outright.
  set_lockstep_pacing(!app_options.lockstep);
  app_options.lockstep = true;
  return app_options.replay_path ? begin_replay() : begin_record();
}

bool record_replay_active() { return session.mode != Mode::off; }
bool replaying() { return session.mode == Mode::replay; }

void record_replay_started()
{
  reset_input_snapshot(session.state);
  const uint64_t build = program_build_id();
  const int w = view_width(), h = view_height();
  if (session.mode == Mode::record)
  {
    session.header.build_id = build;
    session.header.width = w;
    session.header.height = h;
    note_write(write_replay_header(session.out, session.header));
    debug("record %s: seed %" PRIu64 ", %dx%d, build %016" PRIx64, session.path, session.header.seed, w, h, build);
  }
  else if (session.mode == Mode::replay)
  {
    if (session.header.build_id != build)
      debug("replay %s: warning: recorded by build %016" PRIx64 ", this is build %016" PRIx64 ": it may diverge",
            session.path, session.header.build_id, build);
    if (w != session.header.width || h != session.header.height)
      debug("replay %s: warning: the window is %dx%d, the recording's was %dx%d", session.path, w, h,
            session.header.width, session.header.height);
    if (session.file.updates == 0)
      request_quit(); // nothing was recorded: the replay is over before it starts
  }
}

void record_replay_pump()
{
  if (session.mode == Mode::record)
    process_window_messages();
  else if (session.mode == Mode::replay)
  {
    // The window's own events still count (a close, a resize); keys and the mouse do not.
    discard_input_messages();
    process_window_messages();
  }
}

void record_replay_input(int n)
{
  if (session.mode == Mode::record)
  {
    InputSnapshot now;
    save_input_state(now);
    if (!session.write_failed)
      note_write(write_input_delta(session.out, diff_input(session.state, now, n)));
    session.state = now;
  }
  else if (session.mode == Mode::replay)
  {
    const std::vector<InputDelta> &in = session.file.inputs;
    InputDelta none;
    none.update = n;
    const bool recorded = session.next_input < in.size() && in[session.next_input].update == n;
    apply_input(session.state, recorded ? in[session.next_input++] : none);
    load_input_state(session.state);
  }
}

void record_replay_after_update(int n)
{
  if (session.mode == Mode::record)
  {
    if (n % REPLAY_CHECK_EVERY == 0 && !session.write_failed)
      note_write(write_replay_check(session.out, n, world_state_hash()));
  }
  else if (session.mode == Mode::replay && !session.diverged_at)
  {
    const std::vector<ReplayCheck> &c = session.file.checks;
    while (session.next_check < c.size() && c[session.next_check].update < n)
      session.next_check++;
    if (session.next_check < c.size() && c[session.next_check].update == n)
    {
      const uint64_t want = c[session.next_check++].hash, got = world_state_hash();
      if (got != want)
      {
        session.diverged_at = n;
        debug("replay diverged at update %d", n);
        debug("replay %s: world hash %016" PRIx64 ", recorded %016" PRIx64, session.path, got, want);
        request_quit();
      }
    }
  }
}

int finish_record_replay(int updates)
{
  if (session.mode == Mode::off)
    return 0;
  bool objects = false;
  const uint64_t hash = world_state_hash(&objects);
  debug("world hash: %016" PRIx64, hash);
  if (!objects)
    debug("world hash: the grids only (the module has no hash_gameobj_state)");
  int rc = 0;
  if (session.mode == Mode::record)
  {
    if (!session.write_failed)
      note_write(write_replay_end(session.out, updates, hash));
    if (fclose(session.out) != 0)
      note_write(false);
    session.out = nullptr;
    if (session.write_failed)
      rc = 1;
    else
      debug("record %s: %d updates", session.path, updates);
  }
  else if (session.diverged_at)
    rc = 3;
  else if (updates < session.file.updates)
    debug("replay %s: stopped at update %d of %d", session.path, updates, session.file.updates);
  else if (!session.file.ended)
    debug("replay %s: the recording was cut off: no final hash to compare", session.path);
  else if (hash != session.file.end_hash)
  {
    debug("replay diverged at update %d", updates);
    debug("replay %s: world hash %016" PRIx64 ", recorded %016" PRIx64, session.path, hash, session.file.end_hash);
    rc = 3;
  }
  else
    debug("replay %s: %d updates, the same world", session.path, updates);
  session.mode = Mode::off;
  return rc;
}
