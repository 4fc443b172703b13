// The distance-field font and icon tables: descriptor parsing, glyph and kerning
// lookup, text measuring and icon lookup. Nothing here draws, so it is tested (and
// fuzzed) without a device.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include "render/textures.h"
#include "ui/dist_font.h"
#include "ui/dist_font_walk.h"

namespace
{
// The descriptor's lines as a text-mode reader of at most 255 characters per read would
// see them: a longer line arrives in pieces, each of which must match on its own.
struct LineReader
{
  const char *p, *end;

  bool next(char (&line)[256])
  {
    if (p >= end)
      return false;
    int n = 0;
    while (p < end && n < 255)
    {
      char c = *p++;
      if (c == '\n')
        break;
      line[n++] = c;
    }
    if (n > 0 && line[n - 1] == '\r')
      n--;
    line[n] = 0;
    return true;
  }
};

// sscanf with a trailing %n: true when every conversion was made and the pattern used
// up the whole line.
template <class... Args>
bool match(const char *line, const char *pattern, int conversions, Args... args)
{
  char fmt[160];
  snprintf(fmt, sizeof(fmt), "%s%%n", pattern);
  int used = -1;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  int got = sscanf(line, fmt, args..., &used);
#pragma GCC diagnostic pop
  return got == conversions && used == int(strlen(line));
}

bool finite_all(std::initializer_list<float> v)
{
  for (float f : v)
    if (!std::isfinite(f))
      return false;
  return true;
}

int text_len(const char *text, int len)
{
  if (!text)
    return 0;
  return len < 0 ? int(strlen(text)) : len;
}
} // namespace

// ---- DistFont -------------------------------------------------------------------------

DistFont::DistFont() = default;
DistFont::~DistFont() { clear(); }

void DistFont::clear()
{
  delete state;
  state = nullptr;
  if (texture)
    free_texture(texture);
  texture = nullptr;
  glyphs.release();
  charRanges.release();
  kernings.release();
  kerningRanges.release();
  size = spread = lineHeight = 0;
  invScaleW = invScaleH = 0.f;
}

bool DistFont::parse(const char *data, size_t data_size, char *page, int page_size)
{
  glyphs.clear();
  charRanges.clear();
  kernings.clear();
  kerningRanges.clear();
  if (page && page_size > 0)
    page[0] = 0;
  LineReader in{data, data + data_size};
  char line[256], name[256];
  int sz, spr, lh, sw, shh, count;

  // A zero size or atlas dimension would divide by zero when drawing: refused.
  if (!in.next(line) || !match(line, "info face=\"%255[^\"]\" size=%d spread=%d", 3, name, &sz, &spr) || sz <= 0 ||
      spr < 0)
    return false;
  size = sz;
  spread = spr;
  if (!in.next(line) || !match(line, "common lineHeight=%d base=0 scaleW=%d scaleH=%d", 3, &lh, &sw, &shh) || sw <= 0 ||
      shh <= 0)
    return false;
  lineHeight = lh;
  invScaleW = 1.f / float(sw);
  invScaleH = 1.f / float(shh);
  if (!in.next(line) || !match(line, "page id=0 file=\"%255[^\"]\"", 1, name))
    return false;
  if (page && page_size > 0)
    snprintf(page, size_t(page_size), "%s", name);

  if (!in.next(line) || !match(line, "chars count=%d", 1, &count) || count < 0)
    return false;
  for (int i = 0; i < count; i++)
  {
    int id;
    Glyph g;
    if (!in.next(line) ||
        !match(line, "char id=%d x=%f y=%f width=%f height=%f xoffset=%f yoffset=%f xadvance=%f", 8, &id, &g.u, &g.v,
               &g.width, &g.height, &g.xoffset, &g.yoffset, &g.xadvance) ||
        !finite_all({g.u, g.v, g.width, g.height, g.xoffset, g.yoffset, g.xadvance}))
      return false;
    g.u *= invScaleW;
    g.v *= invScaleH;
    if (charRanges.num && charRanges.back().end == id && id != 0x7FFFFFFF)
      charRanges.back().end++;
    else if (id != 0x7FFFFFFF)
      charRanges.push(CharRange{id, id + 1, glyphs.num});
    glyphs.push(g);
  }

  if (!in.next(line) || !match(line, "kernings count=%d", 1, &count) || count < 0)
    return false;
  for (int i = 0; i < count; i++)
  {
    int first, second;
    float amount;
    if (!in.next(line) || !match(line, "kerning first=%d second=%d amount=%f", 3, &first, &second, &amount) ||
        !std::isfinite(amount))
      return false;
    if (kerningRanges.num && kerningRanges.back().first == first)
      kerningRanges.back().count++;
    else
      kerningRanges.push(KerningRange{first, kernings.num, 1});
    kernings.push(Kerning{second, amount});
  }
  return true;
}

int DistFont::glyphIndex(int c) const
{
  for (const CharRange &r : charRanges)
    if (r.first <= c && c < r.end)
      return r.firstGlyph + (c - r.first);
  return -1;
}

float DistFont::kerning(int prev, int c) const
{
  if (prev < 0)
    return 0.f;
  for (const KerningRange &r : kerningRanges)
  {
    if (r.first != prev)
      continue;
    for (int i = r.start; i < r.start + r.count; i++)
      if (kernings.ptr[i].second == c)
        return kernings.ptr[i].amount;
  }
  return 0.f;
}

vec4f DistFont::calcTextBox(const char *text, int len, int *glyph_count) const
{
  len = text_len(text, len);
  vec4f box(0.f); // grows from the degenerate box at the origin
  int count = 0;
  dist_font_walk(*this, text, len, 1.f, 0.f, 0.f, [&](const Glyph &g, float x0, float y0) {
    box.x = fminf(box.x, x0);
    box.y = fminf(box.y, y0);
    box.z = fmaxf(box.z, x0 + g.width);
    box.w = fmaxf(box.w, y0 + g.height);
    count++;
  });
  // The quads reach spread texels beyond the ink.
  const float s = float(spread);
  box = count ? vec4f(box.x + s, box.y + s, box.z - s, box.w - s) : vec4f(0.f);
  if (glyph_count)
    *glyph_count = count;
  return box;
}

// ---- DistIcons ------------------------------------------------------------------------

DistIcons::DistIcons() = default;
DistIcons::~DistIcons() { clear(); }

static void free_icon_names(DynArray<DistIcons::Icon> &icons)
{
  for (DistIcons::Icon &i : icons)
    dlfree(i.name);
  icons.release();
}

void DistIcons::clear()
{
  delete state;
  state = nullptr;
  if (texture)
    free_texture(texture);
  texture = nullptr;
  free_icon_names(icons);
  spread = 0;
  invScaleW = invScaleH = 0.f;
}

bool DistIcons::parse(const char *data, size_t data_size, char *file, int file_size)
{
  free_icon_names(icons);
  if (file && file_size > 0)
    file[0] = 0;
  LineReader in{data, data + data_size};
  char line[256], name[256];
  int sw, shh, spr, count;
  if (!in.next(line) ||
      !match(line, "info file=\"%255[^\"]\" scaleW=%d scaleH=%d spread=%d", 4, name, &sw, &shh, &spr) || sw <= 0 ||
      shh <= 0 || spr < 0)
    return false;
  if (file && file_size > 0)
    snprintf(file, size_t(file_size), "%s", name);
  invScaleW = 1.f / float(sw);
  invScaleH = 1.f / float(shh);
  spread = spr;
  if (!in.next(line) || !match(line, "icons count=%d", 1, &count) || count < 0)
    return false;
  for (int i = 0; i < count; i++)
  {
    Icon ic;
    if (!in.next(line) ||
        !match(line, "icon \"%255[^\"]\" %f %f %f %f %f %f %f %f", 9, name, &ic.orgW, &ic.orgH, &ic.u, &ic.v, &ic.width,
               &ic.height, &ic.pivotX, &ic.pivotY) ||
        !finite_all({ic.orgW, ic.orgH, ic.u, ic.v, ic.width, ic.height, ic.pivotX, ic.pivotY}))
      return false;
    ic.u *= invScaleW;
    ic.v *= invScaleH;
    const size_t n = strlen(name) + 1;
    ic.name = static_cast<char *>(dlmalloc(n));
    ASSERT(ic.name);
    memcpy(ic.name, name, n);
    icons.push(ic);
  }
  return true;
}

int DistIcons::getIconId(const char *name) const
{
  if (!name)
    return -1;
  for (int i = 0; i < icons.num; i++)
    if (!strcmp(icons.ptr[i].name, name))
      return i;
  return -1;
}

float DistIcons::getOrgW(int id) const { return id >= 0 && id < icons.num ? icons.ptr[id].orgW : 0.f; }
float DistIcons::getOrgH(int id) const { return id >= 0 && id < icons.num ? icons.ptr[id].orgH : 0.f; }
