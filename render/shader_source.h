#pragma once
// Assembles the GLSL text of one shader stage from a ".sh" file. No GL here.
//
// The dialect: a ".sh" file is GLSL 3.30 holding both stages, separated with #if VSH /
// #if PSH. The vertex stage defines `void vsh()` (writes gl_Position), the pixel stage
// `void psh()` (writes COLOR0..COLOR3). Both see, declared before the file's text:
//   VSConst { vec4 vc[256]; } (vertex) / PSConst { vec4 pc[224]; } (pixel): the
//     registers of set_vs_consts / set_ps_consts;
//   sampler2D s0..s15: texture stage n;
//   VARYING: "out" in the vertex stage, "in" in the pixel stage, so one declaration
//     serves both;
//   vertex inputs are declared by the file as `in vec4 <SEMANTIC><index>;` (POSITION0,
//     NORMAL0, COLOR0, TEXCOORD0..15, TANGENT0); the device binds declarations to them
//     by name. Missing components read (x, y, 0, 1).
// The generated main of the vertex stage moves positions by half a pixel so that pixel
// centres lie on integer coordinates; that of the pixel stage applies the alpha test when
// ALPHA_TEST is defined (the variant the device uses while an alpha reference is set).
// `#include "name"` lines (outside any #if) pull in files through the include handler.
#include "core/dyn_array.h"
#include "render/shaders.h"

// Whether include reads record file times (true while a compiler is loaded).
extern bool shader_dep_times;
// Appends a dependency; false (nothing added) for a name of 260 characters or more.
bool shader_add_dep(Shader *s, const char *name, int64_t mtime);

// Where a line of the assembled text came from: file index into the name list (-1 for
// generated lines) and the line number in that file.
struct ShaderLineRef
{
  int file;
  int line;
};

struct ShaderStageText
{
  DynArray<char> text;           // NUL-terminated
  DynArray<ShaderLineRef> lines; // one per line of text
  DynArray<const char *> files;  // names as the source and include lines gave them
  char error[300];               // set when assembling failed

  ShaderStageText() { error[0] = 0; }
  ~ShaderStageText();
  ShaderStageText(const ShaderStageText &) = delete;
  ShaderStageText &operator=(const ShaderStageText &) = delete;
};

// Builds the stage text of file for the entry "vsh" or "psh" with the define block
// (pairs of strings, ended by an empty one). Files are read through inc. False with
// out.error set when a file cannot be read or an include is malformed or nested too deep.
bool build_shader_stage(const char *file, const char *defines, bool pixel, MyShaderInclude &inc, ShaderStageText &out);

// The generated main that ends every stage text of this build.
const char *shader_stage_main(bool pixel);
// The alpha-tested variant of an assembled pixel stage (len characters, starting with its
// #version line): the same text with ALPHA_TEST defined after the first line. False when
// the text does not start with a #version line.
bool shader_alpha_test_text(const char *text, uint32_t len, DynArray<char> &out);

// Rewrites a compiler log in terms of the source files: "0:12(5): error" becomes
// "<file>(<line>,5): error". Lines that do not start with a location stay as they are.
void map_shader_log(const char *log, const ShaderStageText &st, DynArray<char> &out);

// The first line of a listing that starts with "//", is at least 19 characters long and
// contains " instruction slot", without the "//"; null (and len 0) when there is none.
const char *find_instruction_count_line(const char *listing, int &len);
