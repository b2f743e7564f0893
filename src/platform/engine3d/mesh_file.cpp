#include "platform/engine3d/mesh_file.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

namespace orelens::platform {
namespace {

// Guards against files that promise absurd sizes.
constexpr size_t kMaxVertices = 16u * 1024 * 1024;

}  // namespace

std::optional<Mesh> LoadMeshFile(const std::filesystem::path& path) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(
      path.string(), aiProcess_Triangulate | aiProcess_PreTransformVertices | aiProcess_GenSmoothNormals |
                         aiProcess_JoinIdenticalVertices | aiProcess_FlipUVs | aiProcess_SortByPType |
                         aiProcess_ValidateDataStructure);
  if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || scene->mNumMeshes == 0) return std::nullopt;
  Mesh mesh;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* part = scene->mMeshes[m];
    if (!(part->mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
    if (mesh.vertices.size() + part->mNumVertices > kMaxVertices) return std::nullopt;
    const auto base = static_cast<uint32_t>(mesh.vertices.size());
    for (unsigned v = 0; v < part->mNumVertices; ++v) {
      MeshVertex vertex;
      vertex.position = {part->mVertices[v].x, part->mVertices[v].y, part->mVertices[v].z};
      if (part->mNormals) vertex.normal = {part->mNormals[v].x, part->mNormals[v].y, part->mNormals[v].z};
      if (part->mTextureCoords[0]) vertex.uv = {part->mTextureCoords[0][v].x, part->mTextureCoords[0][v].y};
      mesh.vertices.push_back(vertex);
    }
    for (unsigned f = 0; f < part->mNumFaces; ++f) {
      const aiFace& face = part->mFaces[f];
      if (face.mNumIndices != 3) continue;
      bool valid = true;
      for (unsigned i = 0; i < 3; ++i) valid = valid && face.mIndices[i] < part->mNumVertices;
      if (!valid) continue;
      for (unsigned i = 0; i < 3; ++i) mesh.indices.push_back(base + face.mIndices[i]);
    }
  }
  if (mesh.indices.empty()) return std::nullopt;
  mesh.finished = true;
  return mesh;
}

}  // namespace orelens::platform
