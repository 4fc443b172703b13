#pragma once
// The settings file's format (settings.h describes the store): .reg syntax, the values
// of one key, in UTF-8 (a byte-order mark allowed) or UTF-16LE with a byte-order mark.
// Bad content never fails a read: the file reads as damaged or its line as malformed,
// each kind logged once until forget_reported_damage.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum ValueType
{
  VT_NONE,
  VT_DWORD,
  VT_SZ,
  VT_OTHER
};

// One logical line of the file. Lines continued with a trailing "\" (long hex values as
// regedit writes them) are kept together so a replaced value takes its tail with it.
struct RegLine
{
  std::string raw;         // the text as read, physical lines joined by "\n"
  bool in_key = false;     // inside our key's section (the header line excluded)
  bool key_header = false; // the header line of our key
  bool blank = false;
  ValueType type = VT_NONE;
  std::string name; // for value lines
  uint32_t dword = 0;
  std::string text; // VT_SZ bytes
};

struct RegFile
{
  std::vector<RegLine> lines;
  bool exists = false;
  bool damaged = false;    // not a registry file at all: reads as empty
  bool unreadable = false; // exists but could not be read, or is not a regular file
  bool utf16 = false;      // stored as UTF-16LE with a byte-order mark
};

// Reads the file at path: a regular file of at most 1 MB, else unreadable or damaged.
RegFile read_reg_file(const char *path);
// The classification of a file image already read (data is decoded in place); path
// only names the file in log lines.
void parse_reg_image(std::string &data, const char *path, RegFile &f);

// The value line of name in our key (the last one of that name), or null.
const RegLine *find_value(const RegFile &f, const char *name);
// True only for an integer value; value is left unchanged otherwise.
bool lookup_int(const RegFile &f, const char *name, int &value);
// True only for a text value, cut to size - 1 bytes and terminated.
bool lookup_str(const RegFile &f, const char *name, char *buf, int size);

// A text value as the file stores it: quoted, with \\, \" and \xNN escapes.
std::string escape_text(const char *s, size_t len);
// The new file image with the value line name=value_text replaced (keeping the stored
// spelling of the name, dropping later duplicates) or added at the end of our key,
// every other line as it was, in the file's own encoding. A damaged or empty f gives a
// fresh file. f's lines change.
std::string compose_reg_file(RegFile &f, const char *name, const std::string &value_text);

// After a damaged file was moved aside: the next damaged one is reported again.
void forget_reported_damage();
