#include "replay_file.h"
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

// A record file larger than this is refused (an hour of busy play is a few MB).
static constexpr long long MAX_REPLAY_FILE = 512ll << 20;
// At most this many events in one update (a person makes a few dozen).
static constexpr size_t MAX_EVENTS_PER_UPDATE = 4096;
// Mouse coordinates stay within the largest window.
static constexpr float MAX_COORD = 65536.f;

// The switches a record file may carry, and whether each takes an argument.
static const struct
{
  const char *name;
  bool arg;
} replay_switches[] = {{"-play", false}, {"-dev", false}, {"-cam", true}, {"-sun", true}, {"-cast", true}};

bool InputDelta::empty() const
{
  return events.empty() && key_flags.empty() && held.empty() && !mouse_moved && !wheel && !last_key && !last_char &&
         over < 0 && capture < 0 && active < 0;
}

static bool same_float(float a, float b) { return memcmp(&a, &b, sizeof(a)) == 0; }

InputDelta diff_input(const InputSnapshot &prev, const InputSnapshot &now, int update)
{
  InputDelta d;
  d.update = update;
  d.events = now.events;
  for (int k = 0; k < 256; k++)
  {
    if (now.key_flags[k])
      d.key_flags.push_back({k, now.key_flags[k]});
    if (now.held[k] != prev.held[k])
      d.held.push_back({k, now.held[k]});
  }
  if (!same_float(now.mouse_x, prev.mouse_x) || !same_float(now.mouse_y, prev.mouse_y))
  {
    d.mouse_moved = true;
    d.mouse_x = now.mouse_x;
    d.mouse_y = now.mouse_y;
  }
  d.wheel = now.wheel;
  d.last_key = now.last_key;
  d.last_char = now.last_char;
  if (now.mouse_over != prev.mouse_over)
    d.over = now.mouse_over;
  if (now.capturing != prev.capturing)
    d.capture = now.capturing;
  if (now.app_active != prev.app_active)
    d.active = now.app_active;
  return d;
}

void apply_input(InputSnapshot &s, const InputDelta &d)
{
  s.events = d.events;
  memset(s.key_flags, 0, sizeof(s.key_flags));
  for (const auto &kf : d.key_flags)
    s.key_flags[kf.first & 255] = (unsigned char)kf.second;
  for (const auto &h : d.held)
    s.held[h.first & 255] = h.second;
  if (d.mouse_moved)
  {
    s.mouse_x = d.mouse_x;
    s.mouse_y = d.mouse_y;
  }
  s.wheel = d.wheel;
  s.last_key = d.last_key;
  s.last_char = d.last_char;
  if (d.over >= 0)
    s.mouse_over = d.over;
  if (d.capture >= 0)
    s.capturing = d.capture;
  if (d.active >= 0)
    s.app_active = d.active;
}

// ---------------------------------------------------------------------------------------
// Writing

bool write_replay_header(FILE *f, const ReplayHeader &h)
{
  fprintf(f, "zarnith replay %d\nbuild %016" PRIx64 "\nseed %" PRIu64 "\nsize %d %d\n", h.version, h.build_id, h.seed,
          h.width, h.height);
  for (size_t i = 0; i < h.switches.size(); i++)
  {
    const std::string &s = h.switches[i];
    if (s.empty() || s[0] != '-')
      continue; // an argument, written with its switch
    fprintf(f, "switch %s", s.c_str());
    if (i + 1 < h.switches.size() && h.switches[i + 1][0] != '-')
      fprintf(f, " %s", h.switches[++i].c_str());
    fputc('\n', f);
  }
  fputs("input\n", f);
  return fflush(f) == 0 && !ferror(f);
}

bool write_input_delta(FILE *f, const InputDelta &d)
{
  if (d.empty())
    return true;
  fprintf(f, "@%d\n", d.update);
  for (const InputEvent &e : d.events)
    fprintf(f, "ev %d %d %d %d %d %.9g %.9g\n", e.kind, e.key, e.flags, e.chr, e.wheel, e.x, e.y);
  for (const auto &kf : d.key_flags)
    fprintf(f, "kf %d %d\n", kf.first, kf.second);
  for (const auto &h : d.held)
    fprintf(f, "held %d %d\n", h.first, h.second ? 1 : 0);
  if (d.mouse_moved)
    fprintf(f, "mouse %.9g %.9g\n", d.mouse_x, d.mouse_y);
  if (d.wheel)
    fprintf(f, "wheel %d\n", d.wheel);
  if (d.last_key || d.last_char)
    fprintf(f, "last %d %d\n", d.last_key, d.last_char);
  if (d.over >= 0)
    fprintf(f, "over %d\n", d.over);
  if (d.capture >= 0)
    fprintf(f, "capture %d\n", d.capture);
  if (d.active >= 0)
    fprintf(f, "active %d\n", d.active);
  return !ferror(f);
}

bool write_replay_check(FILE *f, int update, uint64_t hash)
{
  fprintf(f, "check %d %016" PRIx64 "\n", update, hash);
  return fflush(f) == 0 && !ferror(f);
}

bool write_replay_end(FILE *f, int updates, uint64_t hash)
{
  fprintf(f, "end %d %016" PRIx64 "\n", updates, hash);
  return fflush(f) == 0 && !ferror(f);
}

// ---------------------------------------------------------------------------------------
// Reading

namespace
{
// One line split into words, read with range checks.
struct Words
{
  std::vector<std::string> w;
  bool bad = false;

  explicit Words(const std::string &line)
  {
    size_t i = 0;
    while (i < line.size())
    {
      while (i < line.size() && line[i] == ' ')
        i++;
      size_t j = i;
      while (j < line.size() && line[j] != ' ')
        j++;
      if (j > i)
        w.push_back(line.substr(i, j - i));
      i = j;
    }
  }
  size_t size() const { return w.size(); }
  long long integer(size_t i, long long lo, long long hi)
  {
    if (i >= w.size())
      return bad = true, 0;
    const char *s = w[i].c_str();
    char *end = nullptr;
    errno = 0;
    long long v = strtoll(s, &end, 10);
    if (end == s || *end || errno || v < lo || v > hi)
      bad = true;
    return v;
  }
  uint64_t hex(size_t i)
  {
    if (i >= w.size() || w[i].size() != 16)
      return bad = true, 0;
    const char *s = w[i].c_str();
    char *end = nullptr;
    uint64_t v = strtoull(s, &end, 16);
    if (*end || strspn(s, "0123456789abcdefABCDEF") != 16)
      bad = true;
    return v;
  }
  uint64_t u64(size_t i)
  {
    if (i >= w.size() || w[i].empty() || strspn(w[i].c_str(), "0123456789") != w[i].size())
      return bad = true, 0;
    errno = 0;
    uint64_t v = strtoull(w[i].c_str(), nullptr, 10);
    if (errno)
      bad = true;
    return v;
  }
  float coord(size_t i)
  {
    if (i >= w.size())
      return bad = true, 0.f;
    const char *s = w[i].c_str();
    char *end = nullptr;
    float v = strtof(s, &end);
    if (end == s || *end || !std::isfinite(v) || std::fabs(v) > MAX_COORD)
      bad = true;
    return v;
  }
};

struct Parser
{
  const char *name;
  ReplayFile &out;
  std::string &error;
  int line_no = 0;

  bool fail(const char *why)
  {
    char buf[96];
    snprintf(buf, sizeof(buf), ":%d: ", line_no);
    error = std::string(name) + buf + why;
    return false;
  }

  bool header_line(Words &w, bool &done)
  {
    ReplayHeader &h = out.header;
    const std::string &k = w.w[0];
    if (k == "build" && w.size() == 2)
      h.build_id = w.hex(1);
    else if (k == "seed" && w.size() == 2)
      h.seed = w.u64(1);
    else if (k == "size" && w.size() == 3)
    {
      h.width = int(w.integer(1, 64, 16384));
      h.height = int(w.integer(2, 64, 16384));
    }
    else if (k == "switch" && w.size() >= 2)
    {
      const auto *known = std::find_if(std::begin(replay_switches), std::end(replay_switches),
                                       [&](const auto &s) { return w.w[1] == s.name; });
      if (known == std::end(replay_switches))
        return fail("a switch that a record file cannot carry");
      if (w.size() > 3)
        return fail("a switch with more than one argument");
      if (known->arg != (w.size() == 3))
        return fail(known->arg ? "a switch without its argument" : "a switch with an argument it does not take");
      h.switches.push_back(w.w[1]);
      if (w.size() == 3)
        h.switches.push_back(w.w[2]);
    }
    else if (k == "input" && w.size() == 1)
    {
      if (!h.width || !h.height)
        return fail("no window size before the input");
      done = true;
    }
    else
      return fail("not a header line");
    return !w.bad || fail("a value out of range");
  }

  bool input_line(Words &w)
  {
    const std::string &k = w.w[0];
    if (k[0] == '@')
    {
      if (w.size() != 1)
        return fail("not an update line");
      Words n(k.substr(1));
      const int u = int(n.integer(0, 1, 0x7fffffff));
      if (n.bad)
        return fail("a bad update number");
      if (!out.inputs.empty() && u <= out.inputs.back().update)
        return fail("updates out of order");
      if (!out.checks.empty() && u <= out.checks.back().update)
        return fail("an update before a check it follows");
      out.inputs.push_back(InputDelta());
      out.inputs.back().update = u;
      out.updates = std::max(out.updates, u);
      return true;
    }
    if (k == "check" || k == "end")
    {
      if (w.size() != 3)
        return fail("not a check line");
      const int u = int(w.integer(1, k == "end" ? 0 : 1, 0x7fffffff));
      const uint64_t hash = w.hex(2);
      if (w.bad)
        return fail("a value out of range");
      if (u < out.updates || (!out.checks.empty() && u <= out.checks.back().update && k == "check"))
        return fail("a check before updates it follows");
      if (k == "end")
      {
        out.ended = true;
        out.updates = u;
        out.end_hash = hash;
      }
      else
      {
        out.checks.push_back({u, hash});
        out.updates = std::max(out.updates, u);
      }
      return true;
    }
    if (out.inputs.empty() || (!out.checks.empty() && out.checks.back().update >= out.inputs.back().update))
      return fail("input outside an update");
    InputDelta &d = out.inputs.back();
    if (k == "ev" && w.size() == 8)
    {
      if (d.events.size() >= MAX_EVENTS_PER_UPDATE)
        return fail("too many events in one update");
      InputEvent e;
      e.kind = int(w.integer(1, IEV_KEY_DOWN, IEV_MOUSE_WHEEL));
      e.key = int(w.integer(2, -1024, 1024));
      e.flags = int(w.integer(3, 0, 0x3ff));
      e.chr = int(w.integer(4, 0, 255));
      e.wheel = int(w.integer(5, -1000000, 1000000));
      e.x = w.coord(6);
      e.y = w.coord(7);
      d.events.push_back(e);
    }
    else if (k == "kf" && w.size() == 3)
      d.key_flags.push_back({int(w.integer(1, 0, 255)), int(w.integer(2, 1, 3))});
    else if (k == "held" && w.size() == 3)
      d.held.push_back({int(w.integer(1, 0, 255)), w.integer(2, 0, 1) != 0});
    else if (k == "mouse" && w.size() == 3)
    {
      d.mouse_moved = true;
      d.mouse_x = w.coord(1);
      d.mouse_y = w.coord(2);
    }
    else if (k == "wheel" && w.size() == 2)
      d.wheel = int(w.integer(1, -1000000, 1000000));
    else if (k == "last" && w.size() == 3)
    {
      d.last_key = int(w.integer(1, -1024, 1024));
      d.last_char = int(w.integer(2, 0, 255));
    }
    else if (k == "over" && w.size() == 2)
      d.over = int(w.integer(1, 0, 1));
    else if (k == "capture" && w.size() == 2)
      d.capture = int(w.integer(1, 0, 1));
    else if (k == "active" && w.size() == 2)
      d.active = int(w.integer(1, 0, 1));
    else
      return fail("not an input line");
    return !w.bad || fail("a value out of range");
  }
};
} // namespace

bool parse_replay_text(const char *text, size_t len, const char *name, ReplayFile &out, std::string &error)
{
  out = ReplayFile();
  Parser p{name, out, error};
  bool in_header = true, first = true;
  size_t i = 0;
  while (i < len)
  {
    size_t j = i;
    while (j < len && text[j] != '\n')
      j++;
    std::string line(text + i, j - i);
    i = j + 1;
    p.line_no++;
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.find('\0') != std::string::npos)
      return p.fail("a binary file");
    Words w(line);
    if (w.size() == 0)
      continue;
    if (first)
    {
      first = false;
      if (w.size() != 3 || w.w[0] != "zarnith" || w.w[1] != "replay")
        return p.fail("not a record file");
      const long long v = w.integer(2, 0, 1 << 30);
      if (w.bad)
        return p.fail("not a record file");
      if (v != REPLAY_FORMAT_VERSION)
      {
        char buf[96];
        snprintf(buf, sizeof(buf), "format version %lld, this program reads %d", v, REPLAY_FORMAT_VERSION);
        return p.fail(buf);
      }
      out.header.version = int(v);
      continue;
    }
    if (out.ended)
      return p.fail("lines after the end");
    if (in_header)
    {
      bool done = false;
      if (!p.header_line(w, done))
        return false;
      in_header = !done;
    }
    else if (!p.input_line(w))
      return false;
  }
  if (first)
    return p.fail("an empty file");
  if (in_header)
    return p.fail("the file ends inside its header");
  return true;
}

bool read_replay_file(const char *path, ReplayFile &out, std::string &error)
{
  FILE *f = fopen(path, "rb");
  if (!f)
  {
    error = std::string(path) + ": " + strerror(errno);
    return false;
  }
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MAX_REPLAY_FILE)
  {
    fclose(f);
    error = std::string(path) + ": not a regular file of at most 512 MB";
    return false;
  }
  std::string text(size_t(st.st_size), '\0');
  const size_t got = text.empty() ? 0 : fread(&text[0], 1, text.size(), f);
  fclose(f);
  text.resize(got);
  return parse_replay_text(text.data(), text.size(), path, out, error);
}
