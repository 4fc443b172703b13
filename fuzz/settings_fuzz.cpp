// The settings file (settings.reg, UTF-8 or UTF-16LE): reading any image, then the
// setter's rewrite. After a value is set it reads back, and every other value of the
// file reads as before: a setter loses nothing it does not own.
#include <cstdint>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>
#include "app/settings_file.h"

namespace
{
struct Seen
{
  std::string name;
  ValueType type;
  uint32_t dword;
  std::string text;
};

// What a reader gets for each value name of the file (NUL-free names only: the API
// takes C strings).
std::vector<Seen> values(const RegFile &f)
{
  std::vector<Seen> out;
  for (const RegLine &l : f.lines)
    if (l.in_key && l.type != VT_NONE && l.name.find('\0') == std::string::npos)
    {
      const RegLine *v = find_value(f, l.name.c_str());
      if (!v)
        __builtin_trap(); // a value line its own name does not find
      out.push_back(Seen{l.name, v->type, v->dword, v->text});
    }
  return out;
}

void check_set(const RegFile &before, const char *name, const std::string &value_text, ValueType type,
               uint32_t dword, const std::string &text)
{
  RegFile f = before;
  std::string image = compose_reg_file(f, name, value_text);
  RegFile after;
  parse_reg_image(image, "fuzz", after);
  if (after.damaged || after.utf16 != before.utf16)
    __builtin_trap(); // the setter's own file must read as a registry file
  const RegLine *v = find_value(after, name);
  if (!v || v->type != type || (type == VT_DWORD && v->dword != dword) || (type == VT_SZ && v->text != text))
    __builtin_trap(); // the value just set does not read back
  if (before.damaged)
    return; // a damaged file is moved aside, not merged
  for (const Seen &s : values(before))
  {
    if (strcasecmp(s.name.c_str(), name) == 0)
      continue;
    const RegLine *w = find_value(after, s.name.c_str());
    if (!w || w->type != s.type || w->dword != s.dword || w->text != s.text)
      __builtin_trap(); // another value changed or went missing
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  std::string image((const char *)data, size);
  RegFile f;
  parse_reg_image(image, "fuzz", f);
  int i = 0;
  char buf[64];
  lookup_int(f, "flags", i);
  lookup_str(f, "gfx_quality", buf, sizeof(buf));
  if (f.damaged && !f.lines.empty())
    __builtin_trap();
  values(f);

  check_set(f, "fuzz_new", "dword:12345678", VT_DWORD, 0x12345678u, "");
  const std::string text = "a\\\"b\x01\xff";
  check_set(f, "Fuzz_Text", escape_text(text.data(), text.size()), VT_SZ, 0, text);
  // Replacing a value the file already holds, under another spelling of its name.
  for (const RegLine &l : f.lines)
    if (l.in_key && l.type != VT_NONE && !l.name.empty() && l.name.find('\0') == std::string::npos)
    {
      std::string other = l.name;
      for (char &c : other)
        c = char(c >= 'a' && c <= 'z' ? c - 32 : c >= 'A' && c <= 'Z' ? c + 32 : c);
      check_set(f, other.c_str(), "dword:0000002a", VT_DWORD, 42, "");
      break;
    }
  return 0;
}
