// Shader records: creation by (file, defines), the cache, compiling and linking both
// stages, and hot reload that keeps the old program when the new code fails.
#include "render/shaders.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include "core/log.h"
#include "core/paths.h"
#include "core/user_dirs.h"
#include "render/gl_device_internal.h"
#include "render/shader_cache.h"
#include "render/shader_source.h"

bool shader_compiler_disabled = false;

namespace
{
Shader shader_table[MAX_SHADERS];
static_assert(sizeof(shader_table) / sizeof(shader_table[0]) == MAX_SHADERS, "shader table size");

bool compiler_loaded = false;
bool collect_errors = false; // set during a reload pass: errors also go to the screen
unsigned link_serial = 0;

#define SH_ASSERT(c)                                                   \
  do                                                                   \
  {                                                                    \
    if (!(c))                                                          \
      fatal("%s(%d): failed ASSERT(%s)", "d3d_shaders", __LINE__, #c); \
  } while (0)

// Length of a define block including its terminating empty string.
size_t defines_len(const char *d)
{
  if (!d)
    return 1;
  const char *p = d;
  while (*p)
    p += strlen(p) + 1;
  return size_t(p - d) + 1;
}

bool same_defines(const char *a, const char *b)
{
  static const char empty[1] = {0};
  if (!a)
    a = empty;
  if (!b)
    b = empty;
  while (*a && *b)
  {
    if (strcmp(a, b) != 0)
      return false;
    a += strlen(a) + 1;
    b += strlen(b) + 1;
  }
  return *a == *b;
}

void show_error(const char *text, int len)
{
  if (collect_errors)
    append_error_message(text, len);
}

// Compiles one stage; the shader object or 0. Messages are logged with the file/line
// mapping and shown while collecting errors.
unsigned compile_stage(Shader *s, bool pixel, DynArray<char> &text_out)
{
  const char *entry = pixel ? "psh" : "vsh";
  MyShaderInclude inc;
  inc.shader = s;
  ShaderStageText st;
  if (!build_shader_stage(s->file, s->defines, pixel, inc, st))
  {
    TempString<300> head = TempString<300>::printf("HLSL '%s', func '%s':", s->file, entry);
    debug("%s", head.c_str());
    debug("%s", st.error);
    show_error(head, -1);
    show_error(st.error, -1);
    debug("FAILED to compile HLSL shader '%s', func '%s'", s->file, entry);
    return 0;
  }
  unsigned sh = glCreateShader(pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
  const char *src = st.text.ptr;
  glShaderSource(sh, 1, &src, nullptr);
  glCompileShader(sh);
  GLint ok = 0, logLen = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  glGetShaderiv(sh, GL_INFO_LOG_LENGTH, &logLen);
  bool warned = false;
  if (logLen > 1)
  {
    DynArray<char> log;
    log.resize(logLen + 1);
    glGetShaderInfoLog(sh, logLen, nullptr, log.ptr);
    log[logLen] = 0;
    DynArray<char> mapped;
    map_shader_log(log.ptr, st, mapped);
    int mlen = int(strlen(mapped.ptr));
    while (mlen > 0 && (mapped[mlen - 1] == '\n' || mapped[mlen - 1] == ' '))
      mlen--;
    if (mlen > 0)
    {
      TempString<300> head = TempString<300>::printf("HLSL '%s', func '%s':", s->file, entry);
      debug("%s", head.c_str());
      debug("%.*s", mlen, mapped.ptr);
      show_error(head, -1);
      show_error(mapped.ptr, mlen);
      // Warnings fail the compile, as errors do.
      warned = strstr(log.ptr, "warning") || strstr(log.ptr, "WARNING");
    }
  }
  if (!ok || warned)
  {
    glDeleteShader(sh);
    debug("FAILED to compile HLSL shader '%s', func '%s'", s->file, entry);
    return 0;
  }
  text_out = st.text;
  text_out.pop(); // without the NUL
  return sh;
}

unsigned compile_text(const char *text, uint32_t len, bool pixel)
{
  unsigned sh = glCreateShader(pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
  GLint l = GLint(len);
  glShaderSource(sh, 1, &text, &l);
  glCompileShader(sh);
  GLint ok = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  if (!ok)
  {
    glDeleteShader(sh);
    return 0;
  }
  return sh;
}

// Usage code of a semantic attribute name ("TEXCOORD3" -> 3, index 3), or -1.
int parse_semantic(const char *name, int &index)
{
  static const char *const names[5] = {"POSITION", "NORMAL", "COLOR", "TEXCOORD", "TANGENT"};
  for (int u = 0; u < 5; u++)
  {
    size_t l = strlen(names[u]);
    if (strncmp(name, names[u], l) == 0 && name[l] >= '0' && name[l] <= '9')
    {
      char *end;
      long i = strtol(name + l, &end, 10);
      if (*end || i < 0 || i >= 16)
        return -1;
      index = int(i);
      return u;
    }
  }
  return -1;
}

// Calls f(name, location) for every vertex input of a linked program.
template <typename F>
void for_each_input(unsigned prog, F f)
{
  GLint n = 0;
  glGetProgramiv(prog, GL_ACTIVE_ATTRIBUTES, &n);
  for (int i = 0; i < n; i++)
  {
    char name[64];
    GLint size;
    GLenum type;
    glGetActiveAttrib(prog, i, sizeof(name), nullptr, &size, &type, name);
    f(name, glGetAttribLocation(prog, name));
  }
}

// Links vs and ps; the program or 0 (logged). With same_inputs_as the vertex inputs get
// that program's attribute locations, so one vertex set-up serves both.
unsigned link_program(Shader *s, unsigned vs, unsigned ps, bool quiet, unsigned same_inputs_as = 0)
{
  unsigned prog = glCreateProgram();
  glAttachShader(prog, vs);
  glAttachShader(prog, ps);
  if (same_inputs_as)
    for_each_input(same_inputs_as, [prog](const char *name, GLint loc) {
      if (loc >= 0)
        glBindAttribLocation(prog, GLuint(loc), name);
    });
  glLinkProgram(prog);
  GLint ok = 0, logLen = 0, inputs = 0;
  glGetProgramiv(prog, GL_LINK_STATUS, &ok);
  glGetProgramiv(prog, GL_INFO_LOG_LENGTH, &logLen);
  DynArray<char> log;
  if (logLen > 1)
  {
    log.resize(logLen + 1);
    glGetProgramInfoLog(prog, logLen, nullptr, log.ptr);
    log[logLen] = 0;
  }
  if (ok)
  {
    glGetProgramiv(prog, GL_ACTIVE_ATTRIBUTES, &inputs);
    if (inputs > 16)
      ok = false;
  }
  if (!ok)
  {
    if (!quiet)
    {
      TempString<300> head = TempString<300>::printf("HLSL '%s', func '%s':", s->file, "link");
      debug("%s", head.c_str());
      if (inputs > 16)
        debug("%d vertex inputs, at most 16 are allowed", int(inputs));
      if (log.size())
        debug("%s", log.ptr);
      show_error(head, -1);
      if (log.size())
        show_error(log.ptr, -1);
    }
    glDeleteProgram(prog);
    return 0;
  }
  // No disassembler: the link log stands in for the listing (usually empty).
  if (log.size())
  {
    int len;
    if (const char *line = find_instruction_count_line(log.ptr, len))
      debug("%s (%s): %.*s", s->file, "link", len, line);
  }
  return prog;
}

void install_program(Shader *s, unsigned vs, unsigned ps, unsigned prog)
{
  s->vs = vs, s->ps = ps, s->prog = prog;
  memset(s->attribLoc, -1, sizeof(s->attribLoc));
  for_each_input(prog, [s](const char *name, GLint loc) {
    int index = 0, usage = parse_semantic(name, index);
    if (usage >= 0 && loc >= 0 && loc < 16)
      s->attribLoc[usage][index] = int8_t(loc);
  });
  gldev_setup_program_bindings(prog);
  s->linkSerial = ++link_serial;
  gldev_program_relinked(s);
}

void delete_gl(unsigned vs, unsigned ps, unsigned prog)
{
  if (!gl_device_ready)
    return;
  if (prog)
    glDeleteProgram(prog);
  if (vs)
    glDeleteShader(vs);
  if (ps)
    glDeleteShader(ps);
}

void drop_alpha_test_variant(Shader *s)
{
  delete_gl(0, s->psTest, s->progTest != s->prog ? s->progTest : 0);
  s->psTest = s->progTest = 0;
}

// A cache written by a build with another generated main holds stale stage texts.
bool ends_with_main(const char *text, uint32_t len, bool pixel)
{
  const char *m = shader_stage_main(pixel);
  size_t n = strlen(m);
  return len >= n && memcmp(text + len - n, m, n) == 0;
}

void add_dep(Shader *s, const char *name, int64_t mtime) { shader_add_dep(s, name, mtime); }

// A cache file named by shader_cache_name ("cache/...") in shader_cache_dir(); empty when
// there is no cache folder.
TempString<260> cache_file_path(const char *name)
{
  const TempString<260> dir = shader_cache_dir();
  const char *rest = strncmp(name, "cache/", 6) == 0 ? name + 6 : name;
  return dir.c_str()[0] ? TempString<260>::printf("%s%s", dir.c_str(), rest) : TempString<260>("");
}

bool load_from_cache(Shader *s)
{
  s->deps.clear();
  char name[1024];
  shader_cache_name(s->file, s->defines, name, sizeof(name));
  TempString<260> path = cache_file_path(name);
  DynArray<uint8_t> data;
  if (!path.c_str()[0] || !read_whole_file(path, data))
    return false;
  ShaderCacheView v;
  if (!parse_shader_cache(data.ptr, size_t(data.size()), v))
    return false;
  if (!ends_with_main(v.vs, v.vlen, false) || !ends_with_main(v.ps, v.plen, true))
    return false;
  for (const char *n : v.names)
    add_dep(s, n, compiler_loaded ? get_file_time(make_full_path(n)) : 0);
  if (compiler_loaded)
  {
    int64_t cacheTime = get_file_time(path);
    for (const ShaderDep &d : s->deps)
      if (d.mtime > cacheTime)
        return false;
  }
  unsigned vs = compile_text(v.vs, v.vlen, false);
  unsigned ps = vs ? compile_text(v.ps, v.plen, true) : 0;
  unsigned prog = ps ? link_program(s, vs, ps, true) : 0;
  if (!prog)
  {
    delete_gl(vs, ps, 0);
    return false;
  }
  install_program(s, vs, ps, prog);
  s->psText.clear();
  s->psText.append(v.ps, int(v.plen));
  debug("loaded shader '%s' from cache", s->file);
  return true;
}

void write_cache(Shader *s, const DynArray<char> &vtext, const DynArray<char> &ptext)
{
  char name[1024];
  shader_cache_name(s->file, s->defines, name, sizeof(name));
  TempString<260> path = cache_file_path(name);
  DynArray<uint8_t> img;
  build_shader_cache(s->deps, vtext.ptr, uint32_t(vtext.size()), ptext.ptr, uint32_t(ptext.size()), img);
  // Written under a temporary name and renamed, so a crash never leaves half a file.
  TempString<270> tmp = TempString<270>::printf("%s.tmp", path.c_str());
  FILE *fp = path.c_str()[0] ? fopen(tmp, "wb") : nullptr;
  bool ok = fp && fwrite(img.ptr, 1, size_t(img.size()), fp) == size_t(img.size());
  if (fp && fclose(fp) != 0)
    ok = false;
  if (ok && rename(tmp, path) == 0)
    return;
  if (fp)
    unlink(tmp);
  // Every start then compiles every shader: say so, once.
  static bool reported = false;
  if (!reported)
    debug("can't write shader cache: '%s'", path.c_str()[0] ? path.c_str() : "cache/");
  reported = true;
}

bool compile_shader(Shader *s)
{
  SH_ASSERT(s);
  s->deps.clear();
  DynArray<char> vtext, ptext;
  unsigned vs = compile_stage(s, false, vtext);
  if (!vs)
    return false;
  int vsDeps = s->deps.size();
  unsigned ps = compile_stage(s, true, ptext);
  if (!ps)
  {
    delete_gl(vs, 0, 0);
    return false;
  }
  // The pixel pass reads the same files again; keep one entry per file.
  for (int i = s->deps.size() - 1; i >= vsDeps; i--)
    for (int j = 0; j < vsDeps; j++)
      if (strcmp(s->deps[i].path, s->deps[j].path) == 0)
      {
        s->deps.erase(i);
        break;
      }
  unsigned prog = link_program(s, vs, ps, false);
  if (!prog)
  {
    delete_gl(vs, ps, 0);
    return false;
  }
  install_program(s, vs, ps, prog);
  s->psText = ptext;
  write_cache(s, vtext, ptext);
  return true;
}

void release_record(Shader *s)
{
  gldev_program_released(s);
  drop_alpha_test_variant(s);
  s->psText.release();
  s->deps.release();
  delete_gl(s->vs, s->ps, s->prog);
  s->vs = s->ps = s->prog = 0;
  s->refcount = 0;
  s->file[0] = 0;
  memset(s->defines, 0, sizeof(s->defines));
  SH_ASSERT(s->deps.empty());
}

bool record_changed(const Shader &s)
{
  if (s.deps.empty())
    return true;
  for (const ShaderDep &d : s.deps)
  {
    int64_t t = get_file_time(make_full_path(d.path));
    if (uint32_t(t) != uint32_t(d.mtime) || uint32_t(uint64_t(t) >> 32) != uint32_t(uint64_t(d.mtime) >> 32))
      return true;
  }
  return false;
}
} // namespace

void load_shader_compiler()
{
  const char *env = getenv("ZARNITH_NO_SHADER_COMPILER");
  bool off = shader_compiler_disabled || (env && *env && strcmp(env, "0") != 0);
  compiler_loaded = !off && gl_device_ready;
  shader_dep_times = compiler_loaded;
  debug(compiler_loaded ? "shader compiler available" : "no shader compiler");
}

bool shader_compiler_loaded() { return compiler_loaded; }

Shader *create_shader(const char *file, const char *defines)
{
  SH_ASSERT(file);
  Shader *s = nullptr;
  for (Shader &r : shader_table)
    if (r.vs && strcmp(r.file, file) == 0 && same_defines(r.defines, defines))
    {
      s = &r;
      break;
    }
  if (!s)
  {
    for (Shader &r : shader_table)
      if (!r.vs)
      {
        s = &r;
        break;
      }
    if (!s)
      fatal("reached maximum shader count!");
    size_t dl = defines_len(defines);
    if (strlen(file) >= sizeof(s->file) || dl > sizeof(s->defines))
      fatal("can't create shader from %s'%s'", compiler_loaded ? "" : "cache for ", file);
    memset(s->defines, 0, sizeof(s->defines));
    strcpy(s->file, file);
    if (defines)
      memcpy(s->defines, defines, dl);
    s->refcount = 0;
    if (!load_from_cache(s) && !(compiler_loaded && compile_shader(s)))
    {
      release_record(s);
      fatal("can't create shader from %s'%s'", compiler_loaded ? "" : "cache for ", file);
    }
  }
  s->refcount++;
  return s;
}

void destroy_shader(Shader *s)
{
  if (!s)
    return;
  SH_ASSERT(s->refcount>0);
  if (--s->refcount == 0)
    release_record(s);
}

unsigned shader_alpha_test_program(Shader *s)
{
  if (s->progTest)
    return s->progTest;
  DynArray<char> text;
  unsigned ps = 0, prog = 0;
  if (shader_alpha_test_text(s->psText.ptr, uint32_t(s->psText.size()), text))
    ps = compile_text(text.ptr, uint32_t(text.size()), true);
  if (ps)
    prog = link_program(s, s->vs, ps, false, s->prog);
  if (!prog)
  {
    debug("FAILED to build the alpha-tested variant of shader '%s'", s->file);
    delete_gl(0, ps, 0);
    s->psTest = 0;
    s->progTest = s->prog;
    return s->prog;
  }
  gldev_setup_program_bindings(prog);
  s->psTest = ps;
  s->progTest = prog;
  return prog;
}

void set_shader(Shader *s) { gldev_bind_program(s && s->prog ? s : nullptr); }

void close_shaders()
{
  for (Shader &s : shader_table)
    if (s.vs || s.deps.size() || s.refcount)
      release_record(&s);
  compiler_loaded = false;
  shader_dep_times = false;
}

void reload_shaders(bool force)
{
  if (!compiler_loaded)
    return;
  bool first = true;
  for (Shader &s : shader_table)
  {
    if (!s.vs || !(force || record_changed(s)))
      continue;
    if (first)
    {
      collect_errors = true;
      set_error_message(nullptr);
      first = false;
    }
    unsigned oldVs = s.vs, oldPs = s.ps, oldProg = s.prog;
    unsigned oldSerial = s.linkSerial;
    unsigned oldPsTest = s.psTest, oldProgTest = s.progTest;
    DynArray<char> oldText = s.psText;
    s.psTest = s.progTest = 0;
    int8_t oldLoc[5][16];
    memcpy(oldLoc, s.attribLoc, sizeof(oldLoc));
    DynArray<ShaderDep> oldDeps = s.deps;
    s.vs = s.ps = s.prog = 0;
    if (compile_shader(&s))
    {
      debug("reloaded shader '%s'", s.file);
      delete_gl(oldVs, oldPs, oldProg);
      delete_gl(0, oldPsTest, oldProgTest != oldProg ? oldProgTest : 0);
    }
    else
    {
      TempString<300> msg = TempString<300>::printf("FAILED to reload shader '%s'", s.file);
      debug("%s", msg.c_str());
      append_error_message(msg, -1);
      delete_gl(s.vs, s.ps, s.prog);
      s.vs = oldVs, s.ps = oldPs, s.prog = oldProg, s.linkSerial = oldSerial;
      s.psTest = oldPsTest, s.progTest = oldProgTest, s.psText = oldText;
      memcpy(s.attribLoc, oldLoc, sizeof(oldLoc));
      // The dependency list was rebuilt by the failed attempt; its times are those of
      // the broken files, so the record is not retried until they change again.
      if (s.deps.empty())
        s.deps = oldDeps;
      gldev_program_relinked(&s);
    }
  }
  collect_errors = false;
}
