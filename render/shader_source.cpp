// Stage text assembly: prologue, defines, the include-expanded source and the generated
// main, with a map from assembled lines back to file lines.
#include "render/shader_source.h"
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "core/log.h"
#include "core/paths.h"

bool shader_dep_times = false;

bool shader_add_dep(Shader *s, const char *name, int64_t mtime)
{
  if (strlen(name) >= sizeof(ShaderDep::path))
    return false;
  ShaderDep d;
  snprintf(d.path, sizeof(d.path), "%s", name);
  d.mtime = mtime;
  s->deps.push(d);
  return true;
}

uint32_t MyShaderInclude::open(int type, const char *name, const void *parent, const void **data, uint32_t *size)
{
  (void)type;
  (void)parent;
  if (!data)
    fatal("%s(%d): failed ASSERT(%s)", "d3d_shaders", __LINE__, "data");
  if (!size)
    fatal("%s(%d): failed ASSERT(%s)", "d3d_shaders", __LINE__, "size");
  *data = nullptr;
  *size = 0;
  // A name that could not be kept as a dependency is refused, even where it would
  // normalise to a short path that opens ("a/../a/../...").
  if (strlen(name) >= sizeof(ShaderDep::path))
    return 0x8876086C;
  TempString<260> path = make_full_path(name);
  FILE *fp = fopen(path, "rb");
  if (!fp)
  {
    // Still a dependency: its return (a restored or re-created file) must reload the
    // shader. Time 0 is what a missing file reads as.
    if (shader)
      shader_add_dep(shader, name, 0);
    return 0x8876086C;
  }
  long n = -1;
  if (fseek(fp, 0, SEEK_END) == 0)
    n = ftell(fp);
  if (n < 0 || fseek(fp, 0, SEEK_SET) != 0)
  {
    fclose(fp);
    return 0x8876086C;
  }
  char *buf = (char *)malloc(size_t(n) + 1);
  if (!buf)
  {
    fclose(fp);
    return 0x8007000E;
  }
  if (fread(buf, 1, size_t(n), fp) != size_t(n))
  {
    free(buf);
    fclose(fp);
    return 0x8876086C;
  }
  fclose(fp);
  buf[n] = 0;
  if (shader)
    shader_add_dep(shader, name, shader_dep_times ? get_file_time(path) : 0);
  *data = buf;
  *size = uint32_t(n);
  return 0;
}

uint32_t MyShaderInclude::close(const void *data)
{
  free((void *)data);
  return 0;
}

namespace
{
const char *const vs_prologue =
  "layout(std140) uniform VSConst { vec4 vc[256]; };\n"
  "layout(std140) uniform D3dState { vec4 d3d_state; };\n"
  "uniform sampler2D s0, s1, s2, s3, s4, s5, s6, s7, s8, s9, s10, s11, s12, s13, s14, s15;\n"
  "#define VARYING out\n";
const char *const ps_prologue =
  "layout(std140) uniform PSConst { vec4 pc[224]; };\n"
  "layout(std140) uniform D3dState { vec4 d3d_state; };\n"
  "uniform sampler2D s0, s1, s2, s3, s4, s5, s6, s7, s8, s9, s10, s11, s12, s13, s14, s15;\n"
  "#define VARYING in\n"
  "layout(location = 0) out vec4 COLOR0;\n"
  "layout(location = 1) out vec4 COLOR1;\n"
  "layout(location = 2) out vec4 COLOR2;\n"
  "layout(location = 3) out vec4 COLOR3;\n";
// d3d_state = (alpha reference, the half-pixel shift in clip units for x and y, 0).
const char *const vs_main =
  "void main()\n{\n  vsh();\n  gl_Position.xy += vec2(d3d_state.y, -d3d_state.z) * gl_Position.w;\n}\n";
// The alpha test is compiled only into the ALPHA_TEST variant: a discard anywhere in a
// program keeps rasterisers from testing depth and stencil before shading.
const char *const ps_main =
  "void main()\n{\n  psh();\n#ifdef ALPHA_TEST\n  if (COLOR0.a * 255.0 < d3d_state.x - 0.5)\n    discard;\n#endif\n}\n";

constexpr int MAX_INCLUDE_DEPTH = 16;

struct Builder
{
  ShaderStageText &out;
  MyShaderInclude &inc;

  void addText(const char *s, size_t n, int file, int firstLine)
  {
    int line = firstLine;
    for (size_t i = 0; i < n; i++)
    {
      out.text.push(s[i]);
      if (s[i] == '\n')
        out.lines.push(ShaderLineRef{file, line++});
    }
    if (n && s[n - 1] != '\n')
    {
      out.text.push('\n');
      out.lines.push(ShaderLineRef{file, line});
    }
  }
  void addGenerated(const char *s) { addText(s, strlen(s), -1, 0); }

  bool fail(const char *fmt, const char *a)
  {
    char arg[260];
    snprintf(arg, sizeof(arg), "%s", a);
    snprintf(out.error, sizeof(out.error), fmt, arg);
    return false;
  }

  // Name of an include line (#include "x"), or false when the line is none. A name of cap
  // characters or more sets tooLong (and malformed).
  static bool includeName(const char *line, size_t len, char *name, size_t cap, bool &malformed, bool &tooLong)
  {
    malformed = tooLong = false;
    size_t i = 0;
    while (i < len && (line[i] == ' ' || line[i] == '\t'))
      i++;
    if (i >= len || line[i] != '#')
      return false;
    i++;
    while (i < len && (line[i] == ' ' || line[i] == '\t'))
      i++;
    if (len - i < 7 || strncmp(line + i, "include", 7) != 0)
      return false;
    i += 7;
    while (i < len && (line[i] == ' ' || line[i] == '\t'))
      i++;
    if (i >= len || line[i] != '"')
      return malformed = true, true;
    size_t start = ++i;
    while (i < len && line[i] != '"')
      i++;
    if (i >= len || i - start == 0)
      return malformed = true, true;
    if (i - start >= cap)
      return malformed = tooLong = true, true;
    memcpy(name, line + start, i - start);
    name[i - start] = 0;
    return true;
  }

  bool addFile(const char *name, int depth)
  {
    if (depth > MAX_INCLUDE_DEPTH)
      return fail("includes nested too deep at '%s'", name);
    const void *data = nullptr;
    uint32_t size = 0;
    if (inc.open(depth ? 1 : 0, name, nullptr, &data, &size) != 0)
      return fail("can't read '%s'", name);
    char *copy = (char *)malloc(strlen(name) + 1);
    strcpy(copy, name);
    int fileIdx = out.files.push(copy);
    const char *src = (const char *)data;
    size_t pos = 0, line = 1;
    bool ok = true;
    while (pos < size && ok)
    {
      size_t end = pos;
      while (end < size && src[end] != '\n')
        end++;
      char incName[260];
      bool malformed, tooLong;
      if (includeName(src + pos, end - pos, incName, sizeof(incName), malformed, tooLong))
      {
        if (malformed)
        {
          char where[240];
          snprintf(where, sizeof(where), "%s(%d)", name, int(line));
          ok = fail(tooLong ? "#include name too long in %s" : "malformed #include in %s", where);
        }
        else
          ok = addFile(incName, depth + 1);
      }
      else
      {
        size_t n = end < size ? end + 1 - pos : end - pos;
        // NULs in a source would end the text early; refuse them.
        if (memchr(src + pos, 0, n))
          ok = fail("'%s' is not a text file", name);
        else
          addText(src + pos, n, fileIdx, int(line));
      }
      pos = end + 1;
      line++;
    }
    inc.close(data);
    return ok;
  }
};
} // namespace

ShaderStageText::~ShaderStageText()
{
  for (const char *f : files)
    free((void *)f);
}

bool build_shader_stage(const char *file, const char *defines, bool pixel, MyShaderInclude &inc, ShaderStageText &out)
{
  for (const char *f : out.files)
    free((void *)f);
  out.files.clear();
  out.text.clear();
  out.lines.clear();
  out.error[0] = 0;
  Builder b{out, inc};
  b.addGenerated("#version 330 core\n");
  b.addGenerated(pixel ? ps_prologue : vs_prologue);
  if (defines)
    for (const char *d = defines; *d;)
    {
      const char *value = d + strlen(d) + 1;
      if (!*value)
        break; // an empty value ends the block
      char line[SHADER_DEFINES_LEN + 16];
      snprintf(line, sizeof(line), "#define %s %s\n", d, value);
      b.addGenerated(line);
      d = value + strlen(value) + 1;
    }
  b.addGenerated(pixel ? "#define PSH 1\n" : "#define VSH 1\n");
  if (!b.addFile(file, 0))
    return false;
  b.addGenerated(pixel ? ps_main : vs_main);
  out.text.push(0);
  return true;
}

const char *shader_stage_main(bool pixel) { return pixel ? ps_main : vs_main; }

bool shader_alpha_test_text(const char *text, uint32_t len, DynArray<char> &out)
{
  out.clear();
  if (!text || !len)
    return false;
  const char *nl = static_cast<const char *>(memchr(text, '\n', len));
  if (!nl || strncmp(text, "#version", 8) != 0)
    return false;
  static const char define[] = "#define ALPHA_TEST 1\n";
  const int head = int(nl + 1 - text);
  out.append(text, head);
  out.append(define, int(sizeof(define)) - 1);
  out.append(text + head, int(len) - head);
  return true;
}

void map_shader_log(const char *log, const ShaderStageText &st, DynArray<char> &out)
{
  out.clear();
  const char *p = log;
  while (p && *p)
  {
    const char *end = strchr(p, '\n');
    size_t len = end ? size_t(end - p) : strlen(p);
    // Mesa: "0:LINE(COL): ..."; NVIDIA: "0(LINE) : ...".
    int srcNo = 0, line = 0, col = -1, used = 0;
    bool mapped = false;
    if (sscanf(p, "%d:%d(%d)%n", &srcNo, &line, &col, &used) == 3 && used > 0)
      mapped = true;
    else if (sscanf(p, "%d(%d)%n", &srcNo, &line, &used) == 2 && used > 0)
      mapped = true, col = -1;
    if (mapped && line >= 1 && line <= st.lines.size())
    {
      const ShaderLineRef &r = st.lines[line - 1];
      char head[300];
      const char *fname = r.file >= 0 ? st.files[r.file] : "<generated>";
      int fline = r.file >= 0 ? r.line : line;
      int n = col >= 0 ? snprintf(head, sizeof(head), "%s(%d,%d)", fname, fline, col)
                       : snprintf(head, sizeof(head), "%s(%d)", fname, fline);
      out.append(head, n < int(sizeof(head)) ? n : int(sizeof(head)) - 1);
      out.append(p + used, int(len) - used);
    }
    else
      out.append(p, int(len));
    out.push('\n');
    p = end ? end + 1 : nullptr;
  }
  out.push(0);
}

const char *find_instruction_count_line(const char *s, int &len)
{
  len = 0;
  while (s && *s)
  {
    const char *e = s;
    while (*e && *e != '\n' && *e != '\r')
      e++;
    int l = int(e - s);
    if (l >= 19 && s[0] == '/' && s[1] == '/')
    {
      const char *f = strstr(s, " instruction slot");
      if (f && f + 17 <= e)
      {
        len = l - 2;
        return s + 2;
      }
    }
    if (*e == '\r' && e[1] == '\n')
      e++;
    s = *e ? e + 1 : e;
  }
  return nullptr;
}
