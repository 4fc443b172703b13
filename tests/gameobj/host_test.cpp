#include <sys/stat.h>
#include <utime.h>
#include <cstring>
#include "core/log.h"
#include "host_fixture.h"

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace
{
using HostTest = HostFixture;

// The stand-in module answers get_land_height with 1000 * version + link_gui calls.
float module_stamp() { return gameobj_api.get_land_height(0.f, 0.f); }

TEST_F(HostTest, BindsEveryFunctionAndTheClassTable)
{
  start(TEST_MODULE_V1);
#define CHECK_BOUND(name, ret, args) EXPECT_NE(gameobj_api.name, nullptr) << #name;
  GAMEOBJ_FUNCS(CHECK_BOUND)
#undef CHECK_BOUND
  EXPECT_EQ(gameobj_class_table(0), nullptr);
  for (int i = 1; i < GAMEOBJ_CLASS_COUNT; i++)
    EXPECT_NE(gameobj_class_table(i), nullptr) << i;
  EXPECT_EQ(module_stamp(), 1001.f); // link_gui ran once, after binding

  stop_gameobj_host();
  EXPECT_EQ(gameobj_api.init_gameobj, nullptr);
  EXPECT_EQ(gameobj_api.bind_gameobj, nullptr);
}

TEST_F(HostTest, ForcedReloadKeepsEveryObjectOnItsClass)
{
  start(TEST_MODULE_V1);
  GameObj *a = gameobj_api.new_gameobj_by_id(1);
  GameObj *b = gameobj_api.new_gameobj_by_id(2); // in GameObj_list and Player_list
  GameObj *c = gameobj_api.new_gameobj_by_id(3);
  a->state |= 0x10; // bits of the object's own survive the reload
  ASSERT_EQ(class_index(a), 1);
  ASSERT_EQ(class_index(b), 2);
  ASSERT_EQ(class_index(c), 3);

  CaptureStdout();
  EXPECT_TRUE(reload_gameobj(true));
  std::string log = GetCapturedStdout();
  EXPECT_NE(log.find("gameobj reload ok"), std::string::npos) << log;
  EXPECT_EQ(log.find("still loaded"), std::string::npos) << log;

  ASSERT_EQ(GameObj_list.size(), 3);
  EXPECT_EQ(GameObj_list[0], a);
  EXPECT_EQ(GameObj_list[1], b);
  EXPECT_EQ(GameObj_list[2], c);
  ASSERT_EQ(Player_list.size(), 1);
  EXPECT_EQ(Player_list[0], b);
  EXPECT_EQ(class_index(a), 1);
  EXPECT_EQ(class_index(b), 2);
  EXPECT_EQ(class_index(c), 3);
  EXPECT_EQ(a->state, 0x10u);
  EXPECT_EQ(b->state, 0u);
  EXPECT_EQ(a->query(0), 101);
  EXPECT_EQ(b->query(0), 201);
  EXPECT_EQ(module_stamp(), 1001.f); // a fresh module, linked once
  EXPECT_TRUE(fs::exists(bin / "gameobj.dll"));
}

TEST_F(HostTest, SwapToANewBuildChangesTheCodeOfLiveObjects)
{
  start(TEST_MODULE_V1);
  GameObj *a = gameobj_api.new_gameobj_by_id(1);
  GameObj *b = gameobj_api.new_gameobj_by_id(2);
  // A destroyed object that already left the lists still gets the new code.
  GameObj *d = gameobj_api.new_gameobj_by_id(1);
  d->destroy();
  GameObj_list.pop();
  ASSERT_EQ(deleted_gameobjs.size(), 1);
  EXPECT_EQ(a->query(0), 101);
  EXPECT_EQ(b->query(0), 201);

  install(TEST_MODULE_V2, "gameobj_new.dll");
  CaptureStdout();
  EXPECT_TRUE(reload_gameobj(false));
  std::string log = GetCapturedStdout();
  EXPECT_NE(log.find("gameobj reload ok"), std::string::npos) << log;

  EXPECT_EQ(module_stamp(), 2001.f);
  EXPECT_FALSE(fs::exists(bin / "gameobj_new.dll"));
  EXPECT_EQ(a->query(0), 102);
  EXPECT_EQ(b->query(0), 202); // re-pointed once although it stands in two lists
  EXPECT_EQ(class_index(b), 2);
  EXPECT_EQ(b->state, 0u);
  EXPECT_EQ(d->query(0), 102);
  EXPECT_EQ(d->state, uint32_t(BaseObject::STATE_DESTROYED));
}

// The state hash is optional: a module without it leaves the hash alone (the world hash
// then covers the grids only); the file hash tells the two builds apart.
TEST_F(HostTest, StateHashOnlyFromModulesThatHaveIt)
{
  uint64_t h = 77, file1 = 5, file1_again = 5, file2 = 5;
  EXPECT_FALSE(gameobj_state_hash(h)) << "no module";
  EXPECT_FALSE(gameobj_module_file_hash(file1));
  start(TEST_MODULE_V1);
  EXPECT_FALSE(gameobj_state_hash(h));
  EXPECT_EQ(h, 77u);
  ASSERT_TRUE(gameobj_module_file_hash(file1));
  ASSERT_TRUE(gameobj_module_file_hash(file1_again));
  EXPECT_EQ(file1, file1_again);
  EXPECT_NE(file1, 5u);

  install(TEST_MODULE_V2, "gameobj_new.dll");
  CaptureStdout();
  ASSERT_TRUE(reload_gameobj(false));
  GetCapturedStdout();
  gameobj_api.new_gameobj_by_id(1);
  ASSERT_TRUE(gameobj_state_hash(h));
  EXPECT_EQ(h, (77u ^ uint64_t(GameObj_list.size())) * 0x100000001b3ull);
  ASSERT_TRUE(gameobj_module_file_hash(file2));
  EXPECT_NE(file2, file1);
  drop_objects();
  stop_gameobj_host();
  EXPECT_FALSE(gameobj_state_hash(h)) << "nothing bound";
}

TEST_F(HostTest, ModuleThatStaysLoadedIsReported)
{
  start(TEST_MODULE_UNIQUE);
  EXPECT_EQ(module_stamp(), 1001.f);
  CaptureStdout();
  EXPECT_TRUE(reload_gameobj(true));
  std::string log = GetCapturedStdout();
  EXPECT_NE(log.find("!!! gameobj.dll is still loaded after unloading it"), std::string::npos) << log;
  EXPECT_EQ(module_stamp(), 1002.f); // the same copy again: link_gui ran twice in it
}

TEST_F(HostTest, NothingToReloadIsQuiet)
{
  start(TEST_MODULE_V1);
  CaptureStdout();
  EXPECT_FALSE(reload_gameobj(false));
  EXPECT_FALSE(reload_gameobj(false));
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(module_stamp(), 1001.f);
}

TEST_F(HostTest, FailedSwapLoadsTheOldModuleAgain)
{
  start(TEST_MODULE_V1);
  GameObj *a = gameobj_api.new_gameobj_by_id(1);
  // A directory in the new library's place cannot be renamed over the old file.
  fs::create_directories(bin / "gameobj_new.dll");
  CaptureStdout();
  EXPECT_FALSE(reload_gameobj(false));
  std::string log = GetCapturedStdout();
  EXPECT_NE(log.find("gameobj reload failed"), std::string::npos) << log;
  EXPECT_EQ(module_stamp(), 1001.f);
  EXPECT_EQ(a->query(0), 101);
  fs::remove(bin / "gameobj_new.dll");
}

std::string file_text(const fs::path &p)
{
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A module file cut or patched: what the loader must never be given.
std::string damaged(const char *module, const std::string &how)
{
  std::string img = file_text(module);
  if (how == "truncated")
    img.resize(5000);
  else if (how == "random")
  {
    srand(7);
    for (size_t i = 0; i < 5000; i++)
      img[i] = char(rand());
    img.resize(5000);
  }
  else if (how == "class")
    img[4] = 1; // 32-bit
  else if (how == "sections")
    memset(&img[0x28], 0x7f, 8); // e_shoff far past the end
  else if (how == "segments")
    memset(&img[0x20], 0x7f, 4); // e_phoff far past the end
  return img;
}

// A new build that cannot be loaded or bound changes nothing: the old module runs on,
// its file stays, the strip says so, and the same file is not tried again every second.
TEST_F(HostTest, NewBuildThatFailsToLoadOrBindKeepsTheOldModule)
{
  start(TEST_MODULE_V1);
  GameObj *a = gameobj_api.new_gameobj_by_id(1);
  const std::string v1 = file_text(bin / "gameobj.dll");
  const std::pair<const char *, std::string> bad[] = {
    {"random", damaged(TEST_MODULE_V2, "random")},
    {"truncated", damaged(TEST_MODULE_V2, "truncated")},
    {"sections", damaged(TEST_MODULE_V2, "sections")},
    {"missing function", file_text(TEST_MODULE_MISSING)},
    {"class count", file_text(TEST_MODULE_COUNT)},
    {"no entry points", file_text(TEST_MODULE_NOENTRY)},
  };
  for (const auto &[what, img] : bad)
  {
    SCOPED_TRACE(what);
    fs::remove(bin / "gameobj_new.dll");
    write(bin / "gameobj_new.dll", img);
    set_error_message(nullptr);
    CaptureStdout();
    EXPECT_FALSE(reload_gameobj(false));
    std::string log = GetCapturedStdout();
    EXPECT_NE(log.find("gameobj reload failed"), std::string::npos) << log;
    ASSERT_TRUE(has_error_message());
    EXPECT_NE(std::string(get_error_message()).find("gameobj reload failed"), std::string::npos);
    EXPECT_EQ(module_stamp(), 1001.f); // the old module, not even re-linked
    EXPECT_EQ(a->query(0), 101);
    EXPECT_EQ(file_text(bin / "gameobj.dll"), v1);
    EXPECT_TRUE(fs::exists(bin / "gameobj_new.dll"));
    CaptureStdout();
    EXPECT_FALSE(reload_gameobj(false));
    EXPECT_EQ(GetCapturedStdout(), "");
  }
  set_error_message(nullptr);
  // A good build after all that goes in as usual.
  fs::remove(bin / "gameobj_new.dll");
  install(TEST_MODULE_V2, "gameobj_new.dll");
  EXPECT_TRUE(reload_gameobj(false));
  EXPECT_EQ(a->query(0), 102);
  EXPECT_EQ(file_text(bin / "gameobj.dll"), file_text(TEST_MODULE_V2));
  // And the build before it once more: loaded beside the running one under its own name.
  install(TEST_MODULE_V1, "gameobj_new.dll");
  EXPECT_TRUE(reload_gameobj(false));
  EXPECT_EQ(a->query(0), 101);
}

int gui_releases = 0;
bool bound_during_release = false;
void count_gui_release()
{
  gui_releases++;
  bound_during_release = gameobj_api.init_gameobj != nullptr;
}

TEST_F(HostTest, UnbindDropsTheModulesGuiFirst)
{
  gui_releases = 0;
  gameobj_host_hooks.gui_release = count_gui_release;
  start(TEST_MODULE_V1);
  EXPECT_EQ(gui_releases, 0);
  EXPECT_TRUE(reload_gameobj(true));
  EXPECT_EQ(gui_releases, 1);
  EXPECT_FALSE(bound_during_release); // the functions are unbound before the GUI goes
  stop_gameobj_host();
  EXPECT_EQ(gui_releases, 2);
  gameobj_host_hooks = GameObjHostHooks();
}

SQVM *const fake_vm = reinterpret_cast<SQVM *>(0x1234);
const char *guard_result = nullptr;
const char *fake_guard(void (*bind)(SQVM *))
{
  bind(fake_vm);
  return guard_result;
}

TEST_F(HostTest, RebindShowsScriptErrors)
{
  start(TEST_MODULE_V1);
  set_error_message(nullptr);
  rebind_gameobj_scripts(); // the default guard (no VM): nothing happens
  EXPECT_FALSE(has_error_message());

  gameobj_host_hooks.script_guard = fake_guard;
  guard_result = nullptr;
  rebind_gameobj_scripts();
  EXPECT_FALSE(has_error_message());
  guard_result = "the index 'x' does not exist";
  rebind_gameobj_scripts();
  ASSERT_TRUE(has_error_message());
  EXPECT_STREQ(get_error_message(), "Error in world gen script:\nthe index 'x' does not exist");
  gameobj_host_hooks = GameObjHostHooks();
  set_error_message(nullptr);
}

// --- fatal paths: each ends the process with 100 and the text on stderr ---

using HostDeathTest = HostFixture;

TEST_F(HostDeathTest, MissingModule)
{
  EXPECT_EXIT(start_gameobj_host("../compiler/", "main.ls"), ::testing::ExitedWithCode(100), "can't load gameobj.dll");
}

TEST_F(HostDeathTest, ModuleWithoutEntryPoints)
{
  EXPECT_EXIT(start(TEST_MODULE_NOENTRY), ::testing::ExitedWithCode(100), "invalid gameobj.dll");
}

TEST_F(HostDeathTest, MissingFunction)
{
  EXPECT_EXIT(start(TEST_MODULE_MISSING), ::testing::ExitedWithCode(100),
              "no \"init_gameobj\" function in gameobj.dll");
}

TEST_F(HostDeathTest, ClassCountChanged)
{
  EXPECT_EXIT(start(TEST_MODULE_COUNT), ::testing::ExitedWithCode(100), "gameobj classes changed, need restart");
}

// A damaged module file ends the start with the same message as a missing one, never by
// a signal inside the loader.
TEST_F(HostDeathTest, DamagedModuleFile)
{
  for (const char *how : {"truncated", "random", "class", "sections", "segments"})
  {
    SCOPED_TRACE(how);
    write(bin / "gameobj.dll", damaged(TEST_MODULE_V1, how));
    EXPECT_EXIT(start_gameobj_host("../compiler/", "main.ls"), ::testing::ExitedWithCode(100),
                "can't load gameobj.dll");
  }
}

// An object whose class the module does not list.
class Stranger : public GameObj
{
public:
  int query(int) override { return -1; }
};

int module_calls_in_shutdown = 0;
void shutdown_calling_the_module()
{
  // What the program's shutdown does: module calls only while the module is bound.
  if (gameobj_api.remove_all_gameobj)
    module_calls_in_shutdown++;
  fprintf(stderr, "module calls in shutdown: %d\n", module_calls_in_shutdown);
  stop_gameobj_host();
}

TEST_F(HostDeathTest, UnknownDispatchTable)
{
  start(TEST_MODULE_V1);
  Stranger s;
  GameObj_list.push(&s);
  set_fatal_shutdown(shutdown_calling_the_module);
  EXPECT_EXIT(reload_gameobj(true), ::testing::ExitedWithCode(100),
              "cannot find object vtable(.|\n)*module calls in shutdown: 0");
  set_fatal_shutdown(nullptr);
  GameObj_list.clear();
}

// --- the source scan ---

TEST_F(HostTest, ScanFollowsImportsOnceEach)
{
  write(src / "main.ls", "import main\n"    // itself
                         "import a.b.c\n"   // a/b/c.ls
                         "import \t x\n"    // spaces and tabs before the name
                         "  import y\n"     // not at the start of the line: ignored
                         "import missing\n" // no such file: not watched
                         "#include <x>\n");
  write(src / "a/b/c.ls", "import x\r\n");
  write(src / "x.ls", "import a.b.c // and back\nimport main\n");
  write(src / "y.ls", "");
  start(TEST_MODULE_V1);
  ASSERT_EQ(gameobj_watched_source_count(), 3);
  EXPECT_EQ(fs::path(gameobj_watched_source(0)), src / "main.ls");
  EXPECT_EQ(fs::path(gameobj_watched_source(1)), src / "a/b/c.ls");
  EXPECT_EQ(fs::path(gameobj_watched_source(2)), src / "x.ls");
}
} // namespace
