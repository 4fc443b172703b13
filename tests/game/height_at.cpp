// height_at DIR X Z: prints the land height at cell (X, Z) of a world written by
// -export-world (height.png scaled back by world.json's height_min and height_max).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stb/stb_image.h>
#include <string>

static bool json_number(const std::string &json, const char *key, double &out)
{
  const std::string k = std::string("\"") + key + "\":";
  const size_t at = json.find(k);
  if (at == std::string::npos)
    return false;
  out = strtod(json.c_str() + at + k.size(), nullptr);
  return true;
}

int main(int argc, char **argv)
{
  if (argc != 4)
  {
    fprintf(stderr, "usage: height_at DIR X Z\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int x = atoi(argv[2]), z = atoi(argv[3]);
  std::ifstream f(dir + "/world.json");
  std::stringstream s;
  s << f.rdbuf();
  double lo, hi;
  if (!json_number(s.str(), "height_min", lo) || !json_number(s.str(), "height_max", hi))
  {
    fprintf(stderr, "height_at: no height range in %s/world.json\n", dir.c_str());
    return 1;
  }
  int w = 0, h = 0, n = 0;
  stbi_us *img = stbi_load_16((dir + "/height.png").c_str(), &w, &h, &n, 1);
  if (!img || x < 0 || z < 0 || x >= w || z >= h)
  {
    fprintf(stderr, "height_at: can't read %s/height.png at (%d, %d)\n", dir.c_str(), x, z);
    return 1;
  }
  printf("%.4f\n", lo + (hi - lo) * img[z * w + x] / 65535.0);
  stbi_image_free(img);
  return 0;
}
