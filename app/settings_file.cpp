// The settings file's format: reading, classifying and rewriting the lines of a
// .reg-syntax file in UTF-8 or UTF-16LE.
#include "settings_file.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include "core/log.h"

static const char *const reg_header = "Windows Registry Editor Version 5.00";
static const char *const reg_key = "[HKEY_CURRENT_USER\\SOFTWARE\\Oblenko Games\\Zarnith]";

static int hex_digit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Parses a quoted string at s[i] (which must be '"'); i ends after the closing quote.
static bool parse_quoted(const std::string &s, size_t &i, std::string &out)
{
  if (i >= s.size() || s[i] != '"')
    return false;
  out.clear();
  for (i++; i < s.size(); i++)
  {
    char c = s[i];
    if (c == '"')
    {
      i++;
      return true;
    }
    if (c != '\\')
    {
      out += c;
      continue;
    }
    if (++i >= s.size())
      return false;
    c = s[i];
    if (c == '\\' || c == '"')
      out += c;
    else if (c == 'x' && i + 2 < s.size() && hex_digit(s[i + 1]) >= 0 && hex_digit(s[i + 2]) >= 0)
    {
      out += char(hex_digit(s[i + 1]) * 16 + hex_digit(s[i + 2]));
      i += 2;
    }
    else
      return false;
  }
  return false;
}

static void skip_spaces(const std::string &s, size_t &i)
{
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
    i++;
}

// Classifies a value line of our section; false when it is not a well-formed value.
static bool parse_value_line(RegLine &l)
{
  const std::string &s = l.raw;
  size_t i = 0;
  skip_spaces(s, i);
  if (!parse_quoted(s, i, l.name))
    return false;
  skip_spaces(s, i);
  if (i >= s.size() || s[i] != '=')
    return false;
  i++;
  skip_spaces(s, i);
  if (i < s.size() && s[i] == '"')
  {
    if (!parse_quoted(s, i, l.text))
      return false;
    skip_spaces(s, i);
    if (i != s.size())
      return false;
    l.type = VT_SZ;
    return true;
  }
  if (s.compare(i, 6, "dword:") == 0)
  {
    i += 6;
    size_t start = i;
    uint32_t v = 0;
    while (i < s.size() && hex_digit(s[i]) >= 0 && i - start < 8)
      v = v * 16 + uint32_t(hex_digit(s[i++]));
    skip_spaces(s, i);
    if (i == start || i != s.size())
      return false;
    l.type = VT_DWORD;
    l.dword = v;
    return true;
  }
  if (s.compare(i, 3, "hex") == 0 || (i < s.size() && s[i] == '-'))
  {
    l.type = VT_OTHER; // binary, multi-string, expandable or a deletion: kept, never read
    return true;
  }
  return false;
}

static void report_once(bool &flag, const char *fmt, const char *path)
{
  if (flag)
    return;
  flag = true;
  debug(fmt, path);
}

static bool reported_damaged = false, reported_unreadable = false, reported_bad_line = false;

// Settings files hold a few hundred bytes; a larger one is not ours and reads as damaged.
static const size_t max_settings_size = 1u << 20;

// Appends code point c as UTF-8.
static void put_utf8(std::string &out, uint32_t c)
{
  if (c < 0x80)
    out += char(c);
  else if (c < 0x800)
  {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  }
  else if (c < 0x10000)
  {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
  else
  {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// UTF-16LE bytes (after the byte-order mark) to UTF-8. False for an odd byte count;
// unpaired surrogates become U+FFFD.
static bool utf16le_to_utf8(const std::string &in, size_t from, std::string &out)
{
  if ((in.size() - from) % 2)
    return false;
  out.clear();
  out.reserve(in.size() / 2);
  for (size_t i = from; i < in.size(); i += 2)
  {
    uint32_t c = uint8_t(in[i]) | uint32_t(uint8_t(in[i + 1])) << 8;
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < in.size())
    {
      uint32_t lo = uint8_t(in[i + 2]) | uint32_t(uint8_t(in[i + 3])) << 8;
      if (lo >= 0xDC00 && lo < 0xE000)
      {
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
      else
        c = 0xFFFD;
    }
    else if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD;
    put_utf8(out, c);
  }
  return true;
}

// UTF-8 text to UTF-16LE with a byte-order mark. Bytes that are not valid UTF-8 (raw
// bytes of a text value) are kept as the code points of the same number.
static std::string utf8_to_utf16le(const std::string &in)
{
  std::string out = "\xFF\xFE";
  out.reserve(in.size() * 2 + 2);
  auto put16 = [&out](uint32_t u) {
    out += char(u & 0xFF);
    out += char(u >> 8);
  };
  for (size_t i = 0; i < in.size();)
  {
    const uint8_t b = uint8_t(in[i]);
    int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
    if (b >= 0xF5)
      extra = 0;
    uint32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : extra == 1 ? b & 0x1F : b;
    bool ok = b < 0x80 || extra > 0;
    for (int k = 1; ok && k <= extra; k++)
    {
      if (i + size_t(k) >= in.size() || (uint8_t(in[i + k]) & 0xC0) != 0x80)
        ok = false;
      else
        c = c << 6 | (uint8_t(in[i + k]) & 0x3F);
    }
    if (!ok)
    {
      put16(b);
      i++;
      continue;
    }
    i += size_t(extra) + 1;
    if (c >= 0x10000)
    {
      c -= 0x10000;
      put16(0xD800 + (c >> 10));
      put16(0xDC00 + (c & 0x3FF));
    }
    else
      put16(c);
  }
  return out;
}

static const char *const msg_unreadable = "settings: can't read '%s', using the defaults";
static const char *const msg_damaged = "settings: '%s' is damaged, using the defaults";

// Reads the file's bytes: regular files only (a FIFO would block, a device never ends),
// at most max_settings_size of them.
static bool read_reg_bytes(const char *path, RegFile &f, std::string &data)
{
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
  {
    if (errno != ENOENT)
    {
      f.exists = f.unreadable = true;
      report_once(reported_unreadable, msg_unreadable, path);
    }
    return false;
  }
  f.exists = true;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
  {
    close(fd);
    f.unreadable = true;
    report_once(reported_unreadable, "settings: '%s' is not a regular file, using the defaults", path);
    return false;
  }
  bool ok = true;
  if (size_t(st.st_size) <= max_settings_size)
  {
    data.resize(max_settings_size + 1);
    size_t got = 0;
    while (got < data.size())
    {
      ssize_t n = read(fd, &data[got], data.size() - got);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0)
        ok = false;
      if (n <= 0)
        break;
      got += size_t(n);
    }
    data.resize(got);
  }
  close(fd);
  if (!ok)
  {
    f.unreadable = true;
    report_once(reported_unreadable, msg_unreadable, path);
    return false;
  }
  if (size_t(st.st_size) > max_settings_size || data.size() > max_settings_size)
  {
    // Kept aside like a damaged file by the next setter.
    f.damaged = true;
    report_once(reported_damaged, "settings: '%s' is larger than 1 MB, using the defaults", path);
    return false;
  }
  return true;
}

// regedit continues long hex values with a trailing "\"; only those lines are joined
// with the next one.
static bool continued(const std::string &raw)
{
  return !raw.empty() && raw.back() == '\\' && raw.find("\"=hex") != std::string::npos;
}

RegFile read_reg_file(const char *path)
{
  RegFile f;
  std::string data;
  if (!read_reg_bytes(path, f, data))
    return f;
  parse_reg_image(data, path, f);
  return f;
}

void parse_reg_image(std::string &data, const char *path, RegFile &f)
{
  f.lines.clear();
  f.exists = true;
  f.damaged = f.unreadable = f.utf16 = false;

  if (data.compare(0, 2, "\xFF\xFE") == 0)
  {
    // UTF-16LE, as registry editors export; written back the same way.
    std::string text;
    if (!utf16le_to_utf8(data, 2, text))
    {
      report_once(reported_damaged, msg_damaged, path);
      f.damaged = true;
      return;
    }
    data.swap(text);
    f.utf16 = true;
  }
  if (data.compare(0, 3, "\xEF\xBB\xBF") == 0)
    data.erase(0, 3); // a UTF-8 byte-order mark from an editor

  // Physical lines without their "\r\n" / "\n".
  std::vector<std::string> phys;
  size_t pos = 0;
  while (pos < data.size())
  {
    size_t e = data.find('\n', pos);
    if (e == std::string::npos)
      e = data.size();
    std::string line = data.substr(pos, e - pos);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    phys.push_back(line);
    pos = e + 1;
  }

  if (data.find('\0') != std::string::npos)
  {
    report_once(reported_damaged, msg_damaged, path);
    f.damaged = true;
    return;
  }
  bool saw_content = false;
  bool in_key = false;
  for (size_t k = 0; k < phys.size(); k++)
  {
    RegLine l;
    l.raw = phys[k];
    while (continued(l.raw) && k + 1 < phys.size())
      l.raw += "\n" + phys[++k];
    std::string trimmed = l.raw;
    size_t t = trimmed.find_first_not_of(" \t");
    trimmed = t == std::string::npos ? "" : trimmed.substr(t);
    l.blank = trimmed.empty();
    if (!l.blank && !saw_content)
    {
      // The first line tells a registry file from anything else.
      saw_content = true;
      if (trimmed != reg_header && trimmed != "REGEDIT4")
      {
        f.damaged = true;
        break;
      }
    }
    if (!l.blank && trimmed[0] == '[')
      in_key = l.key_header = strcasecmp(trimmed.c_str(), reg_key) == 0;
    else if (in_key)
    {
      l.in_key = true;
      if (!trimmed.empty() && trimmed[0] == '"' && !parse_value_line(l))
      {
        l.type = VT_NONE;
        report_once(reported_bad_line, "settings: ignoring a malformed value in '%s'", path);
      }
    }
    f.lines.push_back(l);
  }
  if (f.damaged)
  {
    f.lines.clear();
    report_once(reported_damaged, msg_damaged, path);
  }
}

const RegLine *find_value(const RegFile &f, const char *name)
{
  // The registry holds one value per name; with duplicates the last line wins, as
  // importing the file would leave it.
  const RegLine *found = nullptr;
  for (const RegLine &l : f.lines)
    if (l.in_key && l.type != VT_NONE && strcasecmp(l.name.c_str(), name) == 0)
      found = &l;
  return found;
}

std::string escape_text(const char *s, size_t len)
{
  std::string out = "\"";
  for (size_t i = 0; i < len; i++)
  {
    unsigned char c = (unsigned char)s[i];
    if (c == '"' || c == '\\')
    {
      out += '\\';
      out += char(c);
    }
    else if (c >= 0x20 && c < 0x7F)
      out += char(c);
    else
    {
      char hex[8];
      snprintf(hex, sizeof(hex), "\\x%02x", c);
      out += hex;
    }
  }
  return out + "\"";
}

bool lookup_int(const RegFile &f, const char *name, int &value)
{
  const RegLine *l = name ? find_value(f, name) : nullptr;
  if (!l || l->type != VT_DWORD)
    return false;
  value = int(l->dword);
  return true;
}

bool lookup_str(const RegFile &f, const char *name, char *buf, int size)
{
  if (!name || !buf || size <= 0)
    return false;
  const RegLine *l = find_value(f, name);
  if (!l || l->type != VT_SZ)
    return false;
  size_t n = l->text.size() < size_t(size - 1) ? l->text.size() : size_t(size - 1);
  memcpy(buf, l->text.data(), n);
  buf[n] = 0;
  return true;
}

std::string compose_reg_file(RegFile &f, const char *name, const std::string &value_text)
{
  std::string line = escape_text(name, strlen(name)) + "=" + value_text;
  int key_last = -1; // last non-blank line of our section
  bool replaced = false;
  for (int i = 0; i < int(f.lines.size()); i++)
  {
    RegLine &l = f.lines[i];
    bool named = l.in_key && l.type != VT_NONE && strcasecmp(l.name.c_str(), name) == 0;
    if (named)
    {
      if (replaced)
      {
        f.lines.erase(f.lines.begin() + i--); // a duplicate would shadow the new value
        continue;
      }
      // Keep the stored spelling of the name, as the registry does.
      l.raw = escape_text(l.name.data(), l.name.size()) + "=" + value_text;
      replaced = true;
    }
    if (l.key_header || (l.in_key && !l.blank))
      key_last = i;
  }

  std::string out;
  bool any_content = false;
  for (const RegLine &l : f.lines)
    any_content |= !l.blank;
  if (!any_content)
  {
    f.lines.clear();
    out = std::string(reg_header) + "\n\n";
  }
  for (int i = 0; i < int(f.lines.size()); i++)
  {
    out += f.lines[i].raw;
    out += "\n";
    if (!replaced && i == key_last)
    {
      // After a hex value cut in its continuation the new line would be read as part
      // of it: a blank line ends the continuation first.
      if (continued(f.lines[i].raw))
        out += "\n";
      out += line + "\n";
      replaced = true;
    }
  }
  if (!replaced)
  {
    if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") != 0)
      out += "\n";
    out += std::string(reg_key) + "\n" + line + "\n";
  }

  if (f.utf16)
    out = utf8_to_utf16le(out);
  return out;
}

void forget_reported_damage() { reported_damaged = false; }
