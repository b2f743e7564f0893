#pragma once

// Scene pieces the engine tests share: the viewer's face quads and a textured block set.

#include <filesystem>
#include <string>

#include "platform/engine3d/engine3d.h"

namespace orelens::platform::engine3d_test {

// Mesh 10 + k is the quad of face k (top, bottom, -X, +X, +Z, -Z) of a 0.5 block, with normals.
void MakeFaceQuads(Engine3D& engine);

// A texture of one colour and a material made from it; returns the material's handle.
int MakeColourMaterial(Engine3D& engine, int number, uint32_t rgba);

// A fresh empty folder under the system's temporary folder, removed by the destructor.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name);
  ~TempFolder();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& path);

}  // namespace orelens::platform::engine3d_test
