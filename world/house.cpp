#include "world/house.h"
#include "world/heightmap.h"

namespace
{
// clang-format off
const char *const house0_heights[] = {
  "0000000000000000000",
  "0888000000000008880",
  "0898664466644668980",
  "0888664466644668880",
  "0066444444444446600",
  "0066444444444446600",
  "0044440000000444400",
  "0044440000000444400",
  "0066440088800446600",
  "0066440089800446600",
  "0066440088800446600",
  "0044440000000444400",
  "0044440000000444400",
  "0066444444444446600",
  "0066444444444446600",
  "0888664466644668880",
  "0898664466644668980",
  "0888000000000008880",
  "0000000000000000000",
};
const char *const house0_tiles[] = {
  "bdcb..........bdcb",
  "caarkomnkjqlpjraad",
  "daaifheiffheifhaac",
  "brhsigeghigeghsirb",
  ".jfheeeeeeeeeeifk.",
  ".pigebcdcdcdbegho.",
  ".leeed......ceeem.",
  ".qhgec.bdcb.degin.",
  ".jfied.caad.cehfk.",
  ".kfhec.daac.deifj.",
  ".niged.bcdb.ceghq.",
  ".meeec......deeel.",
  ".ohgebdcdcdcbegip.",
  ".kfieeeeeeeeeehfj.",
  "brishgegihgegishrb",
  "caahfiehffiehfiaad",
  "daarjplqjknmokraac",
  "bcdb..........bcdb",
};
const char *const house0_values[] = {
  "566600000000005666",
  "556766666666665563",
  "503363056630565033",
  "000303000030000043",
  "055300000000005330",
  "050305000000600030",
  "050003000000500030",
  "056603056660505630",
  "055303055630505330",
  "055303050330505330",
  "050303000030500030",
  "050003000000500030",
  "056600666666305630",
  "055300000000005330",
  "526666056660565666",
  "556303050030505563",
  "503300000000001033",
  "000300000000000003",
};
const char *const house1_heights[] = {
  "00000",
  "08880",
  "08980",
  "08880",
  "00000",
};
const char *const house1_tiles[] = {
  "bdcb",
  "caad",
  "daac",
  "bcdb",
};
const char *const house1_values[] = {
  "5666",
  "5563",
  "5033",
  "0003",
};
const char *const house2_heights[] = {
  "00000",
  "05550",
  "05650",
  "05550",
  "05550",
  "05750",
  "05550",
  "05550",
  "05650",
  "05550",
  "00000",
};
const char *const house2_tiles[] = {
  "bdcb",
  "caad",
  "daac",
  "ceed",
  "daac",
  "caad",
  "deec",
  "caad",
  "daac",
  "bcdb",
};
const char *const house2_values[] = {
  "5666",
  "5563",
  "5033",
  "5003",
  "5563",
  "5033",
  "5003",
  "5563",
  "5033",
  "0003",
};
const char *const house3_heights[] = {
  "00000000000",
  "05555555550",
  "05655755650",
  "05555555550",
  "00000000000",
};
const char *const house3_tiles[] = {
  "bdcdcdcdcb",
  "caaeaaeaad",
  "daaeaaeaac",
  "bcdcdcdcdb",
};
const char *const house3_values[] = {
  "5666666666",
  "5560560563",
  "5030030033",
  "0000000003",
};
// clang-format on

constexpr float HOUSE_HEIGHT_SCALE = 6.75f;

inline float digit_height(const HouseDef &def, char c) { return float(c - '0') * def.height_scale / 9.f; }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_tile(char c) { return c >= 'a' && c <= 'z'; }
} // namespace

const HouseDef house_defs[HOUSE_DEF_COUNT] = {
  {18, 18, HOUSE_HEIGHT_SCALE, house0_heights, house0_tiles, house0_values},
  {4, 4, HOUSE_HEIGHT_SCALE, house1_heights, house1_tiles, house1_values},
  {4, 10, HOUSE_HEIGHT_SCALE, house2_heights, house2_tiles, house2_values},
  {10, 4, HOUSE_HEIGHT_SCALE, house3_heights, house3_tiles, house3_values},
};
static_assert(sizeof(house0_heights) / sizeof(house0_heights[0]) == 19 &&
              sizeof(house0_tiles) / sizeof(house0_tiles[0]) == 18);
static_assert(sizeof(house1_heights) / sizeof(house1_heights[0]) == 5 &&
              sizeof(house1_tiles) / sizeof(house1_tiles[0]) == 4);
static_assert(sizeof(house2_heights) / sizeof(house2_heights[0]) == 11 &&
              sizeof(house2_tiles) / sizeof(house2_tiles[0]) == 10);
static_assert(sizeof(house3_heights) / sizeof(house3_heights[0]) == 5 &&
              sizeof(house3_tiles) / sizeof(house3_tiles[0]) == 4);
static_assert(sizeof(house0_values) == sizeof(house0_tiles) && sizeof(house1_values) == sizeof(house1_tiles) &&
              sizeof(house2_values) == sizeof(house2_tiles) && sizeof(house3_values) == sizeof(house3_tiles));

void HeightmapData::placeHouse(int x, int z, int type, float *hm, bool subtractHouse)
{
  const HouseDef &def = house_defs[house_def_index(type)];
  int w = def.w, h = def.h;
  int x0 = (x - w / 2) & HMAP_MASK, z0 = (z - h / 2) & HMAP_MASK;

  if (type >= 0)
  {
    if (!test_rect_mark(x0, z0, x0 + w, z0 + h, 15u, 0u))
      return;
    mark_rect(x0, z0, x0 + w, z0 + h, MARK_HOUSE, 0u);
  }

  float sum = 0.f;
  for (int j = 0; j <= h; j++)
    for (int i = 0; i <= w; i++)
      sum += hm[hmap_index(x0 + i, z0 + j)];
  if (subtractHouse)
    for (int j = 0; j <= h; j++)
      for (int i = 0; i <= w; i++)
      {
        char c = def.heights[h - j][i];
        if (is_digit(c))
          sum -= digit_height(def, c);
      }
  float base = sum / float((w + 1) * (h + 1));

  for (int j = 0; j <= h; j++)
    for (int i = 0; i <= w; i++)
    {
      char c = def.heights[h - j][i];
      if (is_digit(c))
        hm[hmap_index(x0 + i, z0 + j)] = digit_height(def, c) + base;
    }

  for (int j = 0; j < h; j++)
    for (int i = 0; i < w; i++)
    {
      char c = def.tiles[h - 1 - j][i];
      if (!is_tile(c))
        continue;
      Surface &s = surface[hmap_index(x0 + i, z0 + j)];
      uint32_t fields = (uint32_t(c - 'a') << Surface::HOUSE_TILE_SHIFT) |
                        ((uint32_t(def.values[h - 1 - j][i]) & 7u) << Surface::HOUSE_ROT_SHIFT) |
                        (uint32_t(GT_HOUSE) << Surface::GROUND_TYPE_SHIFT) |
                        (uint32_t(ST_OPEN) << Surface::SURFACE_TYPE_SHIFT);
      s.insert(fields, ~Surface::MARKS_MASK);
      s.top_color = 0u;
    }
}
