#include "engine3d_test_scene.h"

#include <unistd.h>

#include <array>
#include <fstream>
#include <iterator>

namespace orelens::platform::engine3d_test {

void MakeFaceQuads(Engine3D& engine) {
  struct Corner {
    float x, y, z, u, v;
  };
  struct Quad {
    std::array<Corner, 4> corners;
    float nx, ny, nz;
  };
  const std::array<Quad, 6> quads = {{
      {{{{-0.25f, 0.25f, -0.25f, 0, 1}, {0.25f, 0.25f, -0.25f, 0, 0}, {0.25f, 0.25f, 0.25f, 1, 0}, {-0.25f, 0.25f, 0.25f, 1, 1}}}, 0, 1, 0},
      {{{{-0.25f, -0.25f, 0.25f, 0, 1}, {0.25f, -0.25f, 0.25f, 0, 0}, {0.25f, -0.25f, -0.25f, 1, 0}, {-0.25f, -0.25f, -0.25f, 1, 1}}}, 0, -1, 0},
      {{{{-0.25f, 0.25f, -0.25f, 0, 0}, {-0.25f, 0.25f, 0.25f, 1, 0}, {-0.25f, -0.25f, 0.25f, 1, 1}, {-0.25f, -0.25f, -0.25f, 0, 1}}}, -1, 0, 0},
      {{{{0.25f, 0.25f, 0.25f, 0, 0}, {0.25f, 0.25f, -0.25f, 1, 0}, {0.25f, -0.25f, -0.25f, 1, 1}, {0.25f, -0.25f, 0.25f, 0, 1}}}, 1, 0, 0},
      {{{{-0.25f, 0.25f, 0.25f, 0, 0}, {0.25f, 0.25f, 0.25f, 1, 0}, {0.25f, -0.25f, 0.25f, 1, 1}, {-0.25f, -0.25f, 0.25f, 0, 1}}}, 0, 0, 1},
      {{{{0.25f, 0.25f, -0.25f, 0, 0}, {-0.25f, 0.25f, -0.25f, 1, 0}, {-0.25f, -0.25f, -0.25f, 1, 1}, {0.25f, -0.25f, -0.25f, 0, 1}}}, 0, 0, -1},
  }};
  for (int k = 0; k < 6; ++k) {
    engine.PBO_CreateMesh(10 + k);
    for (const Corner& c : quads[k].corners) {
      engine.PBO_MeshVertex2(c.x, c.y, c.z, c.u, c.v, -1, quads[k].nx, quads[k].ny, quads[k].nz);
    }
    engine.PBO_MeshFace(2, 1, 0);
    engine.PBO_MeshFace(0, 3, 2);
    engine.PBO_FinishMesh(1);
  }
}

int MakeColourMaterial(Engine3D& engine, int number, uint32_t rgba) {
  const int texture = engine.PBO_CreateTexture(-1, 4, 4);
  Image* picture = engine.PBO_LockTexture(texture);
  for (uint32_t& pixel : picture->pixels) pixel = rgba;
  engine.PBO_UnlockTexture(texture);
  return engine.PBO_CreateMaterial(number, texture);
}

TempFolder::TempFolder(const std::string& name)
    : path_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace orelens::platform::engine3d_test
