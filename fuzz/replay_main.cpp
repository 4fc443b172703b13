// The driver a fuzz target is linked with outside libFuzzer: it runs the target once
// over every file named on the command line and every file of a named folder (sorted;
// not its subfolders, NOTES.txt or hidden files). A fault ends the process as it would
// end the fuzzer; a missing folder or file is an error, so that a moved corpus is noticed.
// A file named *.hex is a binary input kept as text: hex byte pairs, whitespace ignored,
// "#" to the end of a line a comment (cut -d'#' -f1 FILE | xxd -r -p gives the input).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static bool read_file(const std::string &path, std::vector<uint8_t> &out)
{
  FILE *f = fopen(path.c_str(), "rb");
  if (!f)
    return false;
  out.clear();
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
    out.insert(out.end(), buf, buf + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

static bool ends_with(const std::string &s, const char *tail)
{
  const size_t n = strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

static bool decode_hex(std::vector<uint8_t> &data)
{
  std::vector<uint8_t> out;
  int high = -1;
  bool comment = false;
  for (uint8_t c : data)
  {
    if (c == '\n')
      comment = false;
    if (comment || c == ' ' || c == '\t' || c == '\r' || c == '\n')
      continue;
    if (c == '#')
    {
      comment = true;
      continue;
    }
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (v < 0)
      return false;
    if (high < 0)
      high = v;
    else
    {
      out.push_back(uint8_t(high * 16 + v));
      high = -1;
    }
  }
  data.swap(out);
  return high < 0;
}

static bool list_inputs(const std::string &path, std::vector<std::string> &files)
{
  struct stat st;
  if (stat(path.c_str(), &st) != 0)
    return false;
  if (!S_ISDIR(st.st_mode))
  {
    files.push_back(path);
    return true;
  }
  DIR *d = opendir(path.c_str());
  if (!d)
    return false;
  std::vector<std::string> names;
  while (const dirent *e = readdir(d))
  {
    struct stat es;
    const std::string p = path + "/" + e->d_name;
    if (e->d_name[0] != '.' && strcmp(e->d_name, "NOTES.txt") != 0 && stat(p.c_str(), &es) == 0 && S_ISREG(es.st_mode))
      names.push_back(p);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  files.insert(files.end(), names.begin(), names.end());
  return true;
}

int main(int argc, char **argv)
{
  std::vector<std::string> files;
  for (int i = 1; i < argc; i++)
    if (!list_inputs(argv[i], files))
    {
      fprintf(stderr, "%s: can't read '%s'\n", argv[0], argv[i]);
      return 2;
    }
  std::vector<uint8_t> data;
  for (const std::string &f : files)
  {
    if (!read_file(f, data) || (ends_with(f, ".hex") && !decode_hex(data)))
    {
      fprintf(stderr, "%s: can't read '%s'\n", argv[0], f.c_str());
      return 2;
    }
    // An empty vector has no data pointer; the fuzzer never passes null.
    static const uint8_t none = 0;
    LLVMFuzzerTestOneInput(data.empty() ? &none : data.data(), data.size());
  }
  printf("%zu inputs ran\n", files.size());
  return 0;
}
