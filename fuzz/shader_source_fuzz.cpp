// The shader preprocessor: the input holds the ".sh" file and the files it may include,
// served from memory. It starts as "main.sh"; a line "@@ NAME" starts the file NAME.
// Both stages are assembled; an assembled text ends in NUL with one line record per
// line, and the compiler-log mapper, the alpha-test variant and the instruction-count
// scan are run over it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "render/shader_source.h"

namespace
{
struct MemFile
{
  std::string name, text;
};

struct MemInclude : MyShaderInclude
{
  std::vector<MemFile> files;
  int opened = 0;

  uint32_t open(int, const char *name, const void *, const void **data, uint32_t *size) override
  {
    *data = nullptr;
    *size = 0;
    for (const MemFile &f : files)
      if (f.name == name)
      {
        // A copy of exactly the file's bytes, as the file reader hands them over.
        char *copy = (char *)malloc(f.text.size() + 1);
        memcpy(copy, f.text.data(), f.text.size());
        copy[f.text.size()] = 0;
        *data = copy;
        *size = uint32_t(f.text.size());
        opened++;
        return 0;
      }
    return 0x8876086C;
  }
  uint32_t close(const void *data) override
  {
    if (data)
      opened--;
    free((void *)data);
    return 0;
  }
};

void split_files(const char *p, size_t n, std::vector<MemFile> &out)
{
  out.push_back(MemFile{"main.sh", {}});
  size_t at = 0;
  while (at < n)
  {
    const char *nl = (const char *)memchr(p + at, '\n', n - at);
    const size_t end = nl ? size_t(nl - p) + 1 : n;
    if (end - at >= 3 && memcmp(p + at, "@@ ", 3) == 0)
      out.push_back(MemFile{std::string(p + at + 3, end - at - 3 - (nl ? 1 : 0)), {}});
    else
      out.back().text.append(p + at, end - at);
    at = end;
  }
}

void check_stage(const ShaderStageText &st)
{
  if (st.text.num == 0 || st.text.ptr[st.text.num - 1] != 0 || memchr(st.text.ptr, 0, size_t(st.text.num - 1)))
    __builtin_trap(); // one terminator, at the end
  int lines = 0;
  for (int i = 0; i < st.text.num; i++)
    lines += st.text.ptr[i] == '\n';
  if (lines != st.lines.num)
    __builtin_trap(); // every line has its origin
  for (const ShaderLineRef &r : st.lines)
    if (r.file < -1 || r.file >= st.files.num)
      __builtin_trap();
  // Compiler logs naming lines inside, at and beyond the text.
  std::string log;
  const int at[] = {0, 1, lines / 2, lines, lines + 1, -3, 0x7fffffff};
  for (int l : at)
    log += "0:" + std::to_string(l) + "(5): error: x\n0(" + std::to_string(l) + ") : warning\n";
  DynArray<char> mapped;
  map_shader_log(log.c_str(), st, mapped);
  if (mapped.num == 0 || mapped.ptr[mapped.num - 1] != 0)
    __builtin_trap();
  DynArray<char> variant;
  if (!shader_alpha_test_text(st.text.ptr, uint32_t(st.text.num - 1), variant))
    __builtin_trap(); // every assembled stage starts with #version
  int len = 0;
  find_instruction_count_line(st.text.ptr, len);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  MemInclude inc;
  split_files((const char *)data, size, inc.files);
  static const char defines[] = "QUALITY\0" "2\0" "SHADOWS\0" "1\0";
  for (int pixel = 0; pixel < 2; pixel++)
  {
    ShaderStageText st;
    if (build_shader_stage("main.sh", defines, pixel != 0, inc, st))
      check_stage(st);
    else if (!st.error[0] || !memchr(st.error, 0, sizeof(st.error)))
      __builtin_trap(); // a refusal says why
    if (inc.opened != 0)
      __builtin_trap(); // every file opened is closed again
  }
  // The mapper and the scan on the raw input as well (a log is any text).
  std::string text((const char *)data, size);
  ShaderStageText empty;
  DynArray<char> mapped;
  map_shader_log(text.c_str(), empty, mapped);
  int len = 0;
  find_instruction_count_line(text.c_str(), len);
  return 0;
}
