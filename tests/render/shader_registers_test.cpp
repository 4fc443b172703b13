// The register contract of bin/registers.inc: every name is well formed and in range,
// the shaders use names only, and no two names one shader uses share a register.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include "render/shader_registers.h"
#include "tests/render/vis_test_window.h"

namespace
{
namespace fs = std::filesystem;

std::string read_text(const fs::path &p)
{
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// One name of the contract: its register file ('v', 'p' or sampler stages 's') and range.
struct Reg
{
  char file;
  int first, count;
};

std::map<std::string, Reg> read_contract(const std::string &text)
{
  std::map<std::string, Reg> regs;
  std::map<std::string, int> sizes;
  static const std::regex define(R"(^#define\s+((VC|PC|TEX)_\w+)\s+(\S+))");
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
  {
    std::smatch m;
    if (!std::regex_search(line, m, define))
      continue;
    const std::string name = m[1], kind = m[2], value = m[3];
    if (name.size() > 6 && name.compare(name.size() - 6, 6, "_COUNT") == 0)
      sizes[name.substr(0, name.size() - 6)] = std::stoi(value);
    else if (kind == "TEX")
    {
      EXPECT_TRUE(std::regex_match(value, std::regex(R"(s\d+)"))) << name << " " << value;
      regs[name] = {'s', std::stoi(value.substr(1)), 1};
    }
    else
      regs[name] = {kind == "VC" ? 'v' : 'p', std::stoi(value), 1};
  }
  for (const auto &[name, size] : sizes)
  {
    EXPECT_TRUE(regs.count(name)) << name << "_COUNT without " << name;
    regs[name].count = size;
  }
  return regs;
}

// The shader's code with its includes, each file once, without comments (which may name
// what other passes use).
std::string expand(const fs::path &dir, const std::string &file, std::set<std::string> &seen)
{
  if (!seen.insert(file).second)
    return "";
  const std::string text = read_text(dir / file);
  EXPECT_FALSE(text.empty()) << file;
  static const std::regex include(R"re(^\s*#include\s+"([^"]+)")re");
  std::string out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
  {
    std::smatch m;
    if (std::regex_search(line, m, include))
      out += expand(dir, m[1], seen);
    else
      out += line.substr(0, line.find("//")) + "\n";
  }
  return out;
}

TEST(ShaderRegisters, NamesAreInRangeAndSharedByCppAndShaders)
{
  const auto regs = read_contract(read_text(fs::path(vistest::bin_dir()) / "registers.inc"));
  ASSERT_FALSE(regs.empty());
  for (const auto &[name, r] : regs)
  {
    const int limit = r.file == 'v' ? D3D_VS_CONSTS : r.file == 'p' ? D3D_PS_CONSTS : D3D_SAMPLER_STAGES;
    EXPECT_GE(r.first, 0) << name;
    EXPECT_LE(r.first + r.count, limit) << name;
  }
  // The program reads the same numbers.
  EXPECT_EQ(regs.at("VC_FAR_RAYS").first, VC_FAR_RAYS);
  EXPECT_EQ(regs.at("VC_SKY").count, VC_SKY_COUNT);
  EXPECT_EQ(regs.at("TEX_GBUF_ALBEDO").first, (TEX_STAGE(TEX_GBUF_ALBEDO)));
  EXPECT_EQ((TEX_STAGE(TEX_QUARTER_NORMALS)), 13);
}

TEST(ShaderRegisters, NoTwoNamesOfOneShaderShareARegister)
{
  const fs::path dir = vistest::bin_dir();
  const auto regs = read_contract(read_text(dir / "registers.inc"));
  // A register or stage written as a number instead of a name.
  static const std::regex literal(R"((\b[vp]c\[\s*\d)|(\bs\d+\b))");
  static const std::regex word(R"(\b(VC|PC|TEX)_\w+\b)");
  int shaders = 0;
  for (const auto &e : fs::directory_iterator(dir))
  {
    const std::string name = e.path().filename().string();
    if (e.path().extension() != ".sh" && e.path().extension() != ".inc")
      continue;
    if (name == "registers.inc")
      continue;
    std::smatch m;
    const std::string own = read_text(e.path());
    EXPECT_FALSE(std::regex_search(own, m, literal)) << name << ": '" << m.str() << "' instead of a name";
    if (e.path().extension() != ".sh")
      continue;
    shaders++;
    std::set<std::string> seen = {"registers.inc"};
    const std::string text = expand(dir, name, seen);
    std::set<std::string> used;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it)
      if (regs.count(it->str()))
        used.insert(it->str());
    for (auto a = used.begin(); a != used.end(); ++a)
      for (auto b = std::next(a); b != used.end(); ++b)
      {
        const Reg &x = regs.at(*a), &y = regs.at(*b);
        const bool overlap = x.file == y.file && x.first < y.first + y.count && y.first < x.first + x.count;
        EXPECT_FALSE(overlap) << name << ": " << *a << " and " << *b << " share a register";
      }
  }
  EXPECT_GT(shaders, 20);
}
} // namespace
