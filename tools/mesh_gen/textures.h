#pragma once
// The objects' generated textures (written next to the meshes).
#include <cstdint>
#include <string>
#include <vector>

namespace meshgen
{
struct TextureFile
{
  std::string name; // file name inside the objects folder
  std::vector<uint8_t> data;
};
std::vector<TextureFile> object_textures();
} // namespace meshgen
