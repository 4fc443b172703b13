// Shader records on the device: identity and reference counts, cache files, the
// no-compiler mode, compile errors, and hot reload that keeps the old code on failure.
#include "core/log.h"
#include "render/shader_cache.h"
#include "tests/render/device_test_util.h"
#include "tests/render/vis_test_window.h"

using devtest::ProgramDir;

namespace
{
const char *const tinted_sh = R"(#include "tint.inc"
#if VSH
in vec4 POSITION0;
void vsh()
{
  gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
}
#endif
#if PSH
void psh()
{
  COLOR0 = TINT;
}
#endif
)";

// Draws the shader over the whole back buffer and returns the centre pixel.
uint32_t draw_with(Shader *s, int atest = 0)
{
  set_backbuffer_target();
  set_blend_none();
  set_zenable(false);
  set_cull_mode(0);
  set_atest(atest);
  clear_view(0xFF000000);
  set_shader(s);
  draw_postfx();
  set_atest(0);
  auto px = vistest::read_pixels();
  return px[size_t(d3d_ht / 2) * d3d_wd + d3d_wd / 2];
}

std::string captured;
void start_capture() { testing::internal::CaptureStdout(); }
std::string end_capture() { return captured = testing::internal::GetCapturedStdout(); }
} // namespace

TEST(Shaders, SharedByFileAndDefinesWithOneCacheFileEach)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("tint.inc", "#define TINT vec4(1.0, 0.0, 0.0, 1.0)\n");
  dir.write("tinted.sh", tinted_sh);
  Shader *a = create_shader("tinted.sh", nullptr);
  Shader *b = create_shader("tinted.sh", "");
  Shader *c = create_shader("tinted.sh", "FINAL\0 1\0");
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(a->refcount, 2);
  ASSERT_EQ(a->deps.size(), 2);
  EXPECT_STREQ(a->deps[0].path, "tinted.sh");
  EXPECT_STREQ(a->deps[1].path, "tint.inc");
  EXPECT_TRUE(dir.exists("cache/tinted.sh.cache"));
  EXPECT_TRUE(dir.exists("cache/tinted.sh@FINAL@_1.cache"));
  EXPECT_EQ(draw_with(a), 0xFFFF0000u);

  // The file holds both names and the preprocessed stage texts.
  auto img = dir.read("cache/tinted.sh.cache");
  ShaderCacheView v;
  ASSERT_TRUE(parse_shader_cache(img.data(), img.size(), v));
  ASSERT_EQ(v.names.size(), 2);
  EXPECT_STREQ(v.names[1], "tint.inc");
  EXPECT_NE(std::string(v.vs, v.vlen).find("#define VSH 1"), std::string::npos);
  EXPECT_NE(std::string(v.ps, v.plen).find("COLOR0 = TINT;"), std::string::npos);

  destroy_shader(b);
  EXPECT_EQ(a->refcount, 1);
  EXPECT_NE(a->vs, 0u);
  destroy_shader(a);
  EXPECT_EQ(a->vs, 0u);
  destroy_shader(c);
  destroy_shader(nullptr);

  // A fresh create is served from the cache while nothing is newer than it.
  start_capture();
  Shader *d = create_shader("tinted.sh", nullptr);
  EXPECT_NE(end_capture().find("loaded shader 'tinted.sh' from cache"), std::string::npos);
  destroy_shader(d);
  // An include newer than the cache makes it stale: compiled again.
  dir.shift_mtime("tint.inc", 30);
  start_capture();
  d = create_shader("tinted.sh", nullptr);
  EXPECT_EQ(end_capture().find("from cache"), std::string::npos);
  destroy_shader(d);
  // A foreign file is never trusted.
  dir.write("cache/tinted.sh.cache", std::string("JUNKJUNKJUNKJUNKJUNK"));
  start_capture();
  d = create_shader("tinted.sh", nullptr);
  EXPECT_EQ(end_capture().find("from cache"), std::string::npos);
  EXPECT_EQ(draw_with(d), 0xFFFF0000u);
  destroy_shader(d);
}

// A missing cache folder is made again; one that cannot be written is reported once, and
// the shaders still work.
TEST(Shaders, CacheFolderIsRecreatedOrItsFailureLoggedOnce)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("tint.inc", "#define TINT vec4(0.0, 0.0, 1.0, 1.0)\n");
  dir.write("tinted.sh", tinted_sh);
  ASSERT_EQ(rmdir((dir.path + "cache").c_str()), 0);
  destroy_shader(create_shader("tinted.sh", nullptr));
  EXPECT_TRUE(dir.exists("cache/tinted.sh.cache"));

  ASSERT_EQ(system(("rm -r '" + dir.path + "cache'").c_str()), 0);
  dir.write("cache", "in the way of the folder");
  start_capture();
  Shader *a = create_shader("tinted.sh", nullptr);
  Shader *b = create_shader("tinted.sh", "FINAL\0 1\0");
  const std::string log = end_capture();
  EXPECT_EQ(draw_with(a), 0xFF0000FFu);
  destroy_shader(a);
  destroy_shader(b);
  const size_t at = log.find("can't write shader cache: '");
  EXPECT_NE(at, std::string::npos) << log;
  EXPECT_EQ(at, log.rfind("can't write shader cache")) << log;
}

TEST(Shaders, HotReloadSwapsCodeInPlaceAndKeepsOldCodeOnError)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("tint.inc", "#define TINT vec4(1.0, 0.0, 0.0, 1.0)\n");
  dir.write("tinted.sh", tinted_sh);
  Shader *s = create_shader("tinted.sh", nullptr);
  ASSERT_EQ(draw_with(s), 0xFFFF0000u);

  reload_shaders(false); // nothing changed: nothing happens
  unsigned prog = s->prog;
  EXPECT_EQ(s->prog, prog);

  // Editing the include recompiles the shader behind the same handle.
  dir.write("tint.inc", "#define TINT vec4(0.0, 0.0, 1.0, 1.0)\n", 10);
  start_capture();
  reload_shaders(false);
  EXPECT_NE(end_capture().find("reloaded shader 'tinted.sh'"), std::string::npos);
  EXPECT_EQ(draw_with(s), 0xFF0000FFu);

  // A broken edit: the error strip names the file and line, the old code stays.
  dir.write("tinted.sh",
            std::string(tinted_sh).replace(std::string(tinted_sh).find("COLOR0 = TINT;"), 14, "COLOR0 = TINT"), 20);
  start_capture();
  reload_shaders(false);
  std::string log = end_capture();
  ASSERT_TRUE(has_error_message());
  std::string strip = get_error_message();
  EXPECT_NE(strip.find("HLSL 'tinted.sh', func 'psh':"), std::string::npos) << strip;
  EXPECT_NE(strip.find("tinted.sh(13"), std::string::npos) << strip;
  EXPECT_NE(strip.find("FAILED to reload shader 'tinted.sh'"), std::string::npos);
  EXPECT_NE(log.find("FAILED to compile HLSL shader 'tinted.sh', func 'psh'"), std::string::npos);
  EXPECT_EQ(draw_with(s), 0xFF0000FFu);

  // Not retried until the files change again; then the fix goes in.
  start_capture();
  reload_shaders(false);
  EXPECT_EQ(end_capture().find("shader 'tinted.sh'"), std::string::npos);
  dir.write("tinted.sh", tinted_sh, 40);
  reload_shaders(false);
  EXPECT_EQ(draw_with(s), 0xFF0000FFu);
  // Shaders of other tests may be alive with sources outside this directory; only ours counts.
  EXPECT_TRUE(!has_error_message() || !strstr(get_error_message(), "tinted.sh")) << get_error_message();

  // An include deleted (a failed reload) and restored: the shader follows it again.
  remove((dir.path + "tint.inc").c_str());
  start_capture();
  reload_shaders(false);
  EXPECT_NE(end_capture().find("FAILED to reload shader 'tinted.sh'"), std::string::npos) << captured;
  EXPECT_EQ(draw_with(s), 0xFF0000FFu);
  dir.write("tint.inc", "#define TINT vec4(0.0, 1.0, 0.0, 1.0)\n", 50);
  start_capture();
  reload_shaders(false);
  EXPECT_NE(end_capture().find("reloaded shader 'tinted.sh'"), std::string::npos) << captured;
  EXPECT_EQ(draw_with(s), 0xFF00FF00u);
  destroy_shader(s);
}

TEST(Shaders, AlphaTestRunsInItsOwnVariantThatFollowsReloads)
{
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("tint.inc", "#define TINT vec4(1.0, 0.0, 0.0, 0.25)\n");
  dir.write("tinted.sh", tinted_sh);
  Shader *s = create_shader("tinted.sh", nullptr);
  // Alpha 64: drawn without a reference and with 64, discarded with 65; only the
  // alpha-tested draws build and use the second program.
  EXPECT_EQ(draw_with(s) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(s->progTest, 0u);
  EXPECT_EQ(draw_with(s, 65) & 0xFFFFFF, 0u);
  EXPECT_NE(s->progTest, 0u);
  EXPECT_NE(s->progTest, s->prog);
  EXPECT_EQ(draw_with(s, 64) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(draw_with(s) & 0xFFFFFF, 0xFF0000u);

  // A reload replaces both: the variant is built again from the new code.
  dir.write("tint.inc", "#define TINT vec4(0.0, 0.0, 1.0, 0.75)\n", 10);
  reload_shaders(false);
  EXPECT_EQ(s->progTest, 0u);
  EXPECT_EQ(draw_with(s, 65) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(draw_with(s, 200) & 0xFFFFFF, 0u);
  // A variant built from the cached text behaves the same.
  destroy_shader(s);
  dir.shift_mtime("cache/tinted.sh.cache", 20); // the edit above was dated 10 s ahead
  start_capture();
  s = create_shader("tinted.sh", nullptr);
  EXPECT_NE(end_capture().find("from cache"), std::string::npos);
  EXPECT_EQ(draw_with(s, 200) & 0xFFFFFF, 0u);
  EXPECT_EQ(draw_with(s) & 0xFFFFFF, 0x0000FFu);
  destroy_shader(s);

  // A cache whose stage texts end in another generated main (an older build's) is stale.
  auto img = dir.read("cache/tinted.sh.cache");
  std::string text(img.begin(), img.end());
  size_t at = text.find("#ifdef ALPHA_TEST");
  ASSERT_NE(at, std::string::npos);
  text[at + 16] = 'X'; // still valid code, of the same length
  dir.write("cache/tinted.sh.cache", text);
  start_capture();
  s = create_shader("tinted.sh", nullptr);
  EXPECT_EQ(end_capture().find("from cache"), std::string::npos);
  EXPECT_EQ(draw_with(s) & 0xFFFFFF, 0x0000FFu);
  destroy_shader(s);
}

TEST(Shaders, WithoutCompilerOnlyTheCacheServes)
{
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("tint.inc", "#define TINT vec4(0.0, 1.0, 0.0, 1.0)\n");
  dir.write("tinted.sh", tinted_sh);
  destroy_shader(create_shader("tinted.sh", nullptr)); // leaves the cache file
  dir.shift_mtime("tinted.sh", 100);                   // a source newer than the cache does not matter now

  shader_compiler_disabled = true;
  load_shader_compiler();
  EXPECT_FALSE(shader_compiler_loaded());
  start_capture();
  Shader *s = create_shader("tinted.sh", nullptr);
  EXPECT_NE(end_capture().find("from cache"), std::string::npos);
  EXPECT_EQ(draw_with(s), 0xFF00FF00u);
  reload_shaders(true); // no compiler: no reload
  destroy_shader(s);
  EXPECT_EXIT(create_shader("other.sh", nullptr), testing::ExitedWithCode(100),
              "can't create shader from cache for 'other.sh'");
  shader_compiler_disabled = false;
  load_shader_compiler();
  EXPECT_TRUE(shader_compiler_loaded());
}

TEST(Shaders, StartupFailuresAreFatal)
{
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  REQUIRE_DEVICE(320, 240);
  ProgramDir dir;
  dir.write("broken.sh", "#if VSH\nvoid vsh() { gl_Position = nope; }\n#endif\n#if PSH\nvoid psh() {}\n#endif\n");
  EXPECT_EXIT(create_shader("broken.sh", nullptr), testing::ExitedWithCode(100),
              "can't create shader from 'broken.sh'");
  EXPECT_EXIT(create_shader("absent.sh", nullptr), testing::ExitedWithCode(100),
              "can't create shader from 'absent.sh'");
  dir.write("ok.sh", tinted_sh);
  dir.write("tint.inc", "#define TINT vec4(1.0)\n");
  Shader *s = create_shader("ok.sh", nullptr);
  destroy_shader(s);
  EXPECT_EXIT(destroy_shader(s), testing::ExitedWithCode(100), "failed ASSERT\\(s->refcount>0\\)");
}
