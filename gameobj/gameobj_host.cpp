#include "gameobj_host.h"
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "core/clock.h"
#include "core/hash64.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/paths.h"
#include "core/user_dirs.h"
#include "core/temp_string.h"
#include "gameobj.h"
#include "import_scan.h"
#include "module_file.h"

extern char **environ;

GameObjFuncs gameobj_api;
GameObjHostHooks gameobj_host_hooks;
bool force_gameobj_reload = false;

namespace
{
const char *const MODULE_FILE = "gameobj.dll";
const char *const NEW_MODULE_FILE = "gameobj_new.dll";
const char *const BUILD_SCRIPT = "rebuild_dll.bat";

struct WatchedSource
{
  char path[260];
  int64_t mtime;
};

// A running build: the shell's process id and the read end of its output pipe.
struct BuildProcess
{
  pid_t pid = -1;
  int fd = -1;     // -1 once the output has ended
  char line[1024]; // the line being assembled, at most 1023 characters
  int len = 0;
  bool saw_error = false; // a compiler error line went by (the strip may be cleared meanwhile)
  bool running() const { return pid > 0; }
};

// A loaded module. The loader is given the file through its open descriptor
// ("/proc/self/fd/N"): a module is known to the loader by that name, unique while the
// descriptor stays open, so a new build can be loaded beside the running one whatever
// the files are called, and renaming the file later does not matter.
struct Module
{
  void *handle = nullptr;
  int fd = -1;
  explicit operator bool() const { return handle != nullptr; }
};

// The functions and tables of a loaded module that passed every binding check.
struct Binding
{
  GameObjFuncs funcs;
  void *const *tables = nullptr;
  GameObjLinkGuiFn link_gui = nullptr;
  GameObjStateHashFn state_hash = nullptr; // optional: older modules have none
};

struct HostState
{
  Module module;
  char source_dir[260] = "";
  char main_source[260] = "";
  DynArray<WatchedSource> sources;
  BuildProcess build;
  int64_t build_start = 0;
  const void *class_table[GAMEOBJ_CLASS_COUNT] = {};
  // The time of a "gameobj_new.dll" that was refused (a failed build's, or one that
  // would not load or bind): it is not tried again until it changes.
  int64_t refused_new_time = 0;
};
HostState host;
// The bound module's state hash, null while none is bound or the module has none.
GameObjStateHashFn bound_state_hash = nullptr;

// Every list the module shares, in re-pointing order.
DynArray<GameObj *> *const object_lists[] = {
#define GAMEOBJ_LIST_ADDR(cls) &cls##_list,
  GAMEOBJ_LISTS(GAMEOBJ_LIST_ADDR)
#undef GAMEOBJ_LIST_ADDR
};
static_assert(sizeof(object_lists) / sizeof(object_lists[0]) == GAMEOBJ_LIST_COUNT);

// --- loading and binding ---

TempString<32> loader_name(int fd) { return TempString<32>::printf("/proc/self/fd/%d", fd); }

// Opens, checks and loads the file; false (with the reason in why) when any step fails.
bool open_module(const char *path, Module &m, char *why, size_t size)
{
  m = Module();
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0)
  {
    snprintf(why, size, "%s", strerror(errno));
    return false;
  }
  if (!check_module_file(fd, why, size))
  {
    close(fd);
    return false;
  }
  void *h = dlopen(loader_name(fd), RTLD_NOW | RTLD_LOCAL);
  if (!h)
  {
    const char *err = dlerror();
    snprintf(why, size, "%s", err ? err : "dlopen failed");
    close(fd);
    return false;
  }
  m.handle = h;
  m.fd = fd;
  return true;
}

Module load_module()
{
  TempString<260> path = make_full_path(MODULE_FILE);
  Module m;
  char why[512];
  if (!open_module(path, m, why, sizeof(why)))
  {
    debug("%s: %s", path.c_str(), why);
    fatal("can't load gameobj.dll");
  }
  return m;
}

void unload_module(Module &m)
{
  if (!m.handle)
    return;
  dlclose(m.handle);
  m.handle = nullptr;
  // A module that stays resident would be found again by its name, and the next load
  // would silently run the old code. Its descriptor stays open, so that no later module
  // is given its name.
  if (void *still = dlopen(loader_name(m.fd), RTLD_NOW | RTLD_NOLOAD))
  {
    debug("!!! gameobj.dll is still loaded after unloading it: the old code stays in use");
    dlclose(still);
  }
  else
    close(m.fd);
  m.fd = -1;
}

const void *vtable_of(const BaseObject *obj)
{
  const void *vt;
  memcpy(&vt, (const void *)obj, sizeof(vt));
  return vt;
}

void set_vtable(BaseObject *obj, const void *vt) { memcpy((void *)obj, &vt, sizeof(vt)); }

// The state word, read and written as bytes like the table pointer: objects are
// re-pointed after the old module is unloaded, so until then their tables point into
// unmapped code and no member of theirs may be accessed the typed way (that reads the
// table). It follows the table pointer (checked in base_object.h).
uint32_t state_of(const BaseObject *obj)
{
  uint32_t s;
  memcpy(&s, (const char *)(const void *)obj + sizeof(void *), sizeof(s));
  return s;
}

void set_state(BaseObject *obj, uint32_t s) { memcpy((char *)(void *)obj + sizeof(void *), &s, sizeof(s)); }

// Index 1..65 of the class whose table the object uses now, or -1.
int find_class(const BaseObject *obj)
{
  const void *vt = vtable_of(obj);
  for (int i = 1; i < GAMEOBJ_CLASS_COUNT; i++)
    if (host.class_table[i] == vt)
      return i;
  return -1;
}

void repoint(BaseObject *obj, void *const *tables, bool required)
{
  if (state_of(obj) & BaseObject::STATE_HOST_MARK)
    return;
  set_state(obj, state_of(obj) | BaseObject::STATE_HOST_MARK);
  int i = find_class(obj);
  if (i < 0)
  {
    if (required)
      fatal("cannot find object vtable");
    return;
  }
  set_vtable(obj, tables[i]);
}

// Looks up everything the host binds, touching nothing of the running module. On a
// failure returns the text a start-up ends with (in buf when it names a function).
const char *resolve_module(void *h, Binding &b, char *buf, size_t size)
{
  auto by_name = (GameObjFuncByNameFn)dlsym(h, "get_gameobj_func_by_name");
  auto vtables = (GameObjVtablesFn)dlsym(h, "get_gameobj_vtables");
  if (!by_name || !vtables)
    return "invalid gameobj.dll";
  const char *missing = nullptr;
  auto lookup = [&](const char *name) {
    void *p = by_name(name);
    if (!p && !missing)
      missing = name;
    return p;
  };
#define GAMEOBJ_BIND_FUNC(name, ret, args) b.funcs.name = (ret(*) args)lookup(#name);
  GAMEOBJ_FUNCS(GAMEOBJ_BIND_FUNC)
#undef GAMEOBJ_BIND_FUNC
  if (missing)
  {
    snprintf(buf, size, "no \"%s\" function in gameobj.dll", missing);
    return buf;
  }
  int count = 0;
  b.tables = vtables(&count);
  if (count != GAMEOBJ_CLASS_COUNT || !b.tables)
    return "gameobj classes changed, need restart";
  b.link_gui = (GameObjLinkGuiFn)lookup("link_gui");
  if (missing)
  {
    snprintf(buf, size, "no \"%s\" function in gameobj.dll", missing);
    return buf;
  }
  b.state_hash = (GameObjStateHashFn)by_name("hash_gameobj_state");
  return nullptr;
}

void unbind_module()
{
  gameobj_api = GameObjFuncs();
  bound_state_hash = nullptr;
  gameobj_host_hooks.gui_release();
}

// Re-points every live object at the binding's tables and publishes its functions.
void apply_binding(const Binding &b)
{
  for (DynArray<GameObj *> *list : object_lists)
    for (GameObj *obj : *list)
      repoint(obj, b.tables, true);
  // Destroyed objects that already left the lists are still deleted by the module's
  // code later; they need the new tables as much. Objects of program classes (which
  // are not in the module's table) keep theirs.
  for (BaseObject *obj : deleted_gameobjs)
    repoint(obj, b.tables, false);

  for (DynArray<GameObj *> *list : object_lists)
    for (GameObj *obj : *list)
      set_state(obj, state_of(obj) & ~uint32_t(BaseObject::STATE_HOST_MARK));
  for (BaseObject *obj : deleted_gameobjs)
    set_state(obj, state_of(obj) & ~uint32_t(BaseObject::STATE_HOST_MARK));

  for (int i = 0; i < GAMEOBJ_CLASS_COUNT; i++)
    host.class_table[i] = b.tables[i];
  // Published only once the binding is complete: a fatal error half-way must not let
  // the shutdown sequence call into a module whose objects are half re-pointed.
  gameobj_api = b.funcs;
  bound_state_hash = b.state_hash;
  b.link_gui();
}

// Binding at start-up and on a forced reload: every failure is fatal.
void bind_module(void *h)
{
  Binding b;
  char buf[160];
  if (const char *err = resolve_module(h, b, buf, sizeof(buf)))
    fatal("%s", err);
  apply_binding(b);
}

void drop_module()
{
  if (!host.module)
    return;
  unbind_module();
  unload_module(host.module);
}

// Swaps in a new build: it is loaded and checked under its own name while the old
// module runs on, renamed to "gameobj.dll" once it passed, and only then bound. On a
// failure nothing changes but the log, the error strip and the refused time.
bool swap_in_new_module(const char *dll, const char *new_dll)
{
  Module fresh;
  Binding b;
  char why[512];
  const char *err = nullptr;
  if (!open_module(new_dll, fresh, why, sizeof(why)))
    err = why;
  else if ((err = resolve_module(fresh.handle, b, why, sizeof(why))))
    ;
  else if (rename(new_dll, dll) != 0)
  {
    snprintf(why, sizeof(why), "can't rename gameobj_new.dll: %s", strerror(errno));
    err = why;
  }
  if (err)
  {
    TempString<600> line = TempString<600>::printf("%s: %s", NEW_MODULE_FILE, err);
    debug("%s", line.c_str());
    host.refused_new_time = get_file_time(new_dll);
    unload_module(fresh);
    append_error_message(line, -1);
    append_error_message("gameobj reload failed", -1);
    return false;
  }
  drop_module();
  host.module = fresh;
  apply_binding(b);
  return true;
}

// --- sources ---

// An import that cannot be read is not watched; the main source always is, also while
// it is missing (an editor saving by rename, a checkout), so its return starts a build.
void scan_source(const char *name, bool always_watch = false)
{
  TempString<260> path = make_full_path(name);
  for (const WatchedSource &s : host.sources)
    if (!strcasecmp(s.path, path))
      return;
  DynArray<uint8_t> text;
  bool opened = false;
  const bool read = read_whole_file(path, text, &opened);
  if (!opened && !always_watch)
    return;
  WatchedSource rec;
  snprintf(rec.path, sizeof(rec.path), "%s", path.c_str());
  rec.mtime = opened ? get_file_time(path) : 0;
  host.sources.push(rec);
  if (!read)
    return;
  DynArray<TempString<260>> imports;
  list_imports((const char *)text.ptr, size_t(text.num), host.source_dir, imports);
  for (const TempString<260> &import : imports)
    scan_source(import);
}

void rescan_sources()
{
  host.sources.clear();
  scan_source(host.main_source, true);
}

bool main_source_missing() { return host.sources.empty() || host.sources[0].mtime == 0; }

bool sources_changed()
{
  for (const WatchedSource &s : host.sources)
    if (get_file_time(s.path) != s.mtime)
      return true;
  return false;
}

// --- the build process ---

bool start_build()
{
  TempString<260> script = make_full_path(TempString<260>::printf("%s%s", host.source_dir, BUILD_SCRIPT));
  if (access(script, R_OK) != 0)
    return false;
  if (!program_dir_writable())
  {
    // An installed copy: the new module could not be written beside the program.
    set_error_message(TempString<400>::printf("gameobj rebuild needs a writable copy of the game: '%s' is read-only",
                                              app_path));
    return false;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return false;

  // The child gets the program directory, where it leaves "gameobj_new.dll".
  DynArray<char *> env;
  TempString<300> app_dir = TempString<300>::printf("ZARNITH_APP_PATH=%s", app_path);
  for (char **e = environ; e && *e; e++)
    if (strncmp(*e, "ZARNITH_APP_PATH=", 17) != 0)
      env.push(*e);
  env.push(app_dir.str);
  env.push(nullptr);

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP); // own group: stop can end the whole build
  posix_spawnattr_setpgroup(&attr, 0);

  char sh[] = "/bin/sh";
  char *argv[] = {sh, script.str, nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, "/bin/sh", &fa, &attr, argv, env.data());
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  close(fds[1]);
  if (rc != 0)
  {
    close(fds[0]);
    return false;
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  host.build.pid = pid;
  host.build.fd = fds[0];
  host.build.len = 0;
  host.build.saw_error = false;
  return true;
}

void emit_build_line()
{
  BuildProcess &b = host.build;
  if (!b.len)
    return;
  b.line[b.len] = 0;
  fputs(b.line, stdout);
  fflush(stdout);
  if (is_build_error_line(b.line))
  {
    int n = b.len;
    while (n > 0 && (b.line[n - 1] == '\n' || b.line[n - 1] == '\r'))
      n--;
    append_error_message(b.line, n);
  }
  if (is_compiler_error_line(b.line))
    b.saw_error = true;
  b.len = 0;
}

// Reads what the pipe has now; false once the output has ended.
bool read_build_output()
{
  BuildProcess &b = host.build;
  while (b.fd >= 0)
  {
    int avail = 0;
    if (ioctl(b.fd, FIONREAD, &avail) != 0)
      avail = 1; // a pipe that cannot be asked is read as if it had data
    char chunk[4096];
    int want = avail > 0 ? (avail < int(sizeof(chunk)) ? avail : int(sizeof(chunk))) : 1;
    ssize_t n = read(b.fd, chunk, size_t(want));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return true; // nothing more for now
    if (n <= 0)
    {
      emit_build_line(); // the last line may lack its newline
      close(b.fd);
      b.fd = -1;
      return false;
    }
    for (ssize_t i = 0; i < n; i++)
    {
      b.line[b.len++] = chunk[i];
      if (chunk[i] == '\n' || b.len == int(sizeof(b.line)) - 1)
        emit_build_line();
    }
  }
  return false;
}

// True while the build runs; false once it has ended and its result was reported.
bool poll_build_process()
{
  BuildProcess &b = host.build;
  if (read_build_output())
    return true;
  int status = 0;
  pid_t r = waitpid(b.pid, &status, WNOHANG);
  if (r == 0)
    return true; // output closed, process not gone yet
  int code = r < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
  b.pid = -1;
  // Only the build's own verdict counts: its exit code and the compiler's error lines,
  // not other errors on the strip or the word "error" in a warning.
  if (code != 0 || b.saw_error)
  {
    append_error_message("gameobj rebuild failed!!!", -1);
    debug("!!! failed to rebuild gameobj DLL (code %d)", code);
    // Whatever the failed build left is not swapped in.
    host.refused_new_time = get_file_time(make_full_path(NEW_MODULE_FILE));
  }
  else
    debug("=== DLL rebuild done in %d ms", get_time_msec(get_ref_time() - host.build_start));
  return false;
}

void stop_build()
{
  BuildProcess &b = host.build;
  if (b.fd >= 0)
    close(b.fd);
  b.fd = -1;
  if (b.pid > 0)
  {
    // The whole build (shell and compiler) is asked to stop, and made to after 2 s.
    kill(-b.pid, SIGTERM);
    for (int i = 0; i < 200 && waitpid(b.pid, nullptr, WNOHANG) == 0; i++)
      usleep(10000);
    if (waitpid(b.pid, nullptr, WNOHANG) == 0)
    {
      kill(-b.pid, SIGKILL);
      while (waitpid(b.pid, nullptr, 0) < 0 && errno == EINTR)
        ;
    }
  }
  b.pid = -1;
  b.len = 0;
}

// True while a build is running or was started by this call.
bool poll_build()
{
  if (host.build.running())
    return poll_build_process();
  if (!sources_changed())
    return false;
  rescan_sources();
  if (main_source_missing())
  {
    debug("=== gameobj sources missing, waiting for '%s'", host.sources.empty() ? "" : host.sources[0].path);
    return false;
  }
  set_error_message(nullptr);
  debug("=== rebuilding gameobj DLL");
  TempString<260> dir = make_full_path(host.source_dir);
  if (chdir(dir) != 0)
    debug("can't enter '%s'", dir.c_str());
  host.build_start = get_ref_time();
  if (!start_build())
  {
    debug("!!! Error starting DLL rebuild");
    return true;
  }
  poll_build_process();
  return true;
}
} // namespace

// --- interface ---

void start_gameobj_host(const char *dir, const char *main_file)
{
  drop_module();
  stop_build();
  host.sources.release();

  ASSERT(!dir || strlen(dir) < sizeof(host.source_dir));
  snprintf(host.source_dir, sizeof(host.source_dir), "%s", dir ? dir : "");
  snprintf(host.main_source, sizeof(host.main_source), "%s", dir ? dir : "");
  ASSERT(strlen(host.main_source) + strlen(main_file ? main_file : "") < sizeof(host.main_source));
  strcat(host.main_source, main_file ? main_file : "");

  host.module = load_module();
  bind_module(host.module.handle);
  rescan_sources();
}

void stop_gameobj_host()
{
  drop_module();
  stop_build();
  host.sources.release();
}

bool reload_gameobj(bool force)
{
  if (poll_build())
    return false;
  TempString<260> dll = make_full_path(MODULE_FILE);
  TempString<260> new_dll = make_full_path(NEW_MODULE_FILE);
  if (!force)
  {
    int64_t t = get_file_time(new_dll);
    if (t == 0 || t == host.refused_new_time)
      return false;
    bool ok = swap_in_new_module(dll, new_dll);
    release_free_heap(); // the old module's code and the swap's copies of the objects
    debug("gameobj reload %s", ok ? "ok" : "failed");
    return ok;
  }
  // The present file again: the loader would hand back the running copy of the same
  // file, so it is unloaded first.
  drop_module();
  host.module = load_module();
  bind_module(host.module.handle);
  debug("gameobj reload ok");
  return true;
}

void rebind_gameobj_scripts()
{
  if (!gameobj_api.bind_gameobj)
    return;
  if (const char *err = gameobj_host_hooks.script_guard(gameobj_api.bind_gameobj))
  {
    size_t n = strlen(err) + 64;
    char *text = (char *)malloc(n);
    snprintf(text, n, "Error in world gen script:\n%s", err);
    set_error_message(text);
    free(text);
  }
}

bool is_gameobj_build_running() { return host.build.running(); }
int gameobj_watched_source_count() { return host.sources.size(); }
const char *gameobj_watched_source(int i) { return i >= 0 && i < host.sources.size() ? host.sources[i].path : nullptr; }
const void *gameobj_class_table(int i) { return i >= 0 && i < GAMEOBJ_CLASS_COUNT ? host.class_table[i] : nullptr; }

bool is_compiler_error_line(const char *line)
{
  return strstr(line, ": error:") || strstr(line, ": fatal error:");
}

bool is_build_error_line(const char *line)
{
  auto word_char = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  };
  for (const char *p = line; *p; p++)
  {
    if (strncasecmp(p, "error", 5) != 0)
      continue;
    if (p > line && word_char(p[-1]))
      continue;
    const char *e = p + 5;
    if (*e == 's' || *e == 'S')
      e++;
    if (!word_char(*e))
      return true;
  }
  return false;
}

bool gameobj_state_hash(uint64_t &h)
{
  if (!bound_state_hash)
    return false;
  h = bound_state_hash(h);
  return true;
}

bool gameobj_module_file_hash(uint64_t &h)
{
  if (!host.module)
    return false;
  Hash64 fnv(h);
  char buf[65536];
  off_t at = 0;
  for (;;)
  {
    const ssize_t n = pread(host.module.fd, buf, sizeof(buf), at);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return false;
    if (n == 0)
      break;
    fnv.bytes(buf, size_t(n));
    at += n;
  }
  h = fnv.h;
  return true;
}
