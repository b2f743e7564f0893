// Meshes: built vertex by vertex, the cube primitive, loaded from files, transformed.
#include <array>
#include <cmath>

#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/mesh_file.h"
#include "platform/engine3d/resource_folders.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

// Vertex colours come packed like image pixels: red in the lowest byte, alpha in the highest.
// A colour without alpha (below 2^24) is taken as opaque.
uint32_t VertexColour(int rgba) {
  const auto packed = static_cast<uint32_t>(rgba);
  return (packed >> 24) == 0 ? (packed | 0xFF000000u) : packed;
}

Mesh* MeshUnderConstruction(Scene& scene) {
  Mesh* mesh = scene.meshes.FindKey(scene.meshUnderConstruction);
  return mesh && !mesh->finished ? mesh : nullptr;
}

}  // namespace

int Engine3D::PBO_CreateMesh(int mesh) {
  auto [created, key] = scene_->meshes.Create(mesh);
  if (!created) return 0;
  created->serial = scene_->nextSerial++;
  scene_->meshUnderConstruction = key;
  return object_ref::HandleOf(key);
}

int Engine3D::PBO_MeshVertex(float x, float y, float z, float u, float v, int rgba) {
  Mesh* mesh = MeshUnderConstruction(*scene_);
  if (!mesh) return 0;
  mesh->vertices.push_back(MeshVertex{{x, y, z}, {0, 0, 0}, {u, v}, VertexColour(rgba)});
  return 1;
}

int Engine3D::PBO_MeshVertex2(float x, float y, float z, float u, float v, int rgba, float nx, float ny,
                              float nz) {
  Mesh* mesh = MeshUnderConstruction(*scene_);
  if (!mesh) return 0;
  mesh->vertices.push_back(MeshVertex{{x, y, z}, {nx, ny, nz}, {u, v}, VertexColour(rgba)});
  return 1;
}

int Engine3D::PBO_MeshFace(int a, int b, int c) {
  Mesh* mesh = MeshUnderConstruction(*scene_);
  if (!mesh || a < 0 || b < 0 || c < 0) return 0;
  // Checked at the finish: vertices may follow their faces.
  mesh->indices.insert(mesh->indices.end(), {uint32_t(a), uint32_t(b), uint32_t(c)});
  return 1;
}

int Engine3D::PBO_FinishMesh(int /*keep*/) {
  Mesh* mesh = MeshUnderConstruction(*scene_);
  if (!mesh) return 0;
  std::vector<uint32_t> valid;
  valid.reserve(mesh->indices.size());
  const size_t vertexCount = mesh->vertices.size();
  for (size_t i = 0; i + 2 < mesh->indices.size(); i += 3) {
    const uint32_t* t = &mesh->indices[i];
    if (t[0] < vertexCount && t[1] < vertexCount && t[2] < vertexCount) valid.insert(valid.end(), t, t + 3);
  }
  mesh->indices = std::move(valid);
  mesh->finished = true;
  ++mesh->revision;
  scene_->meshUnderConstruction = kNoObject;
  return 1;
}

int Engine3D::PBO_BuildMeshShadowVolume(int mesh) { return scene_->meshes.Find(mesh) ? 1 : 0; }

int Engine3D::PBO_CreateCube(int mesh, float size) {
  if (!(size > 0.0f)) return 0;
  auto [created, key] = scene_->meshes.Create(mesh);
  if (!created) return 0;
  created->serial = scene_->nextSerial++;
  const float h = size / 2;
  // Each face: its normal and two axes spanning it, counter-clockwise seen from outside.
  struct Face {
    glm::vec3 normal, right, up;
  };
  const std::array<Face, 6> faces = {{{{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
                                      {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                                      {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                                      {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
                                      {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
                                      {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}}};
  for (const Face& face : faces) {
    const auto base = static_cast<uint32_t>(created->vertices.size());
    const glm::vec3 centre = face.normal * h;
    const std::array<glm::vec2, 4> corners = {{{-1, 1}, {1, 1}, {1, -1}, {-1, -1}}};
    for (const glm::vec2& corner : corners) {
      MeshVertex vertex;
      vertex.position = centre + face.right * (corner.x * h) + face.up * (corner.y * h);
      vertex.normal = face.normal;
      vertex.uv = {(corner.x + 1) / 2, (1 - corner.y) / 2};
      created->vertices.push_back(vertex);
    }
    created->indices.insert(created->indices.end(), {base + 2, base + 1, base, base, base + 3, base + 2});
  }
  created->finished = true;
  return object_ref::HandleOf(key);
}

int Engine3D::PBO_LoadMesh(int mesh, const std::string& file) {
  const auto path = FindResourceFile(scene_->resourceFolders, file);
  if (!path) return 0;
  std::optional<Mesh> loaded = LoadMeshFile(*path);
  if (!loaded) return 0;
  auto [created, key] = scene_->meshes.Create(mesh);
  if (!created) return 0;
  *created = std::move(*loaded);
  created->serial = scene_->nextSerial++;
  return object_ref::HandleOf(key);
}

int Engine3D::PBO_MeshID(int mesh) const {
  return scene_->meshes.Find(mesh) ? object_ref::HandleOf(object_ref::KeyOf(mesh)) : 0;
}

int Engine3D::PBO_TransformMesh(int mesh, float moveX, float moveY, float moveZ, float scaleX, float scaleY,
                                float scaleZ, float angleX, float angleY, float angleZ) {
  Mesh* found = scene_->meshes.Find(mesh);
  if (!found) return 0;
  const glm::mat3 rotation = EulerRotation(angleX, angleY, angleZ);
  const glm::vec3 scale(scaleX, scaleY, scaleZ), move(moveX, moveY, moveZ);
  for (MeshVertex& vertex : found->vertices) {
    vertex.position = rotation * (vertex.position * scale) + move;
    if (vertex.normal != glm::vec3(0.0f)) {
      const glm::vec3 n = rotation * (vertex.normal / scale);
      const float length = glm::length(n);
      vertex.normal = length > 0.0f && std::isfinite(length) ? n / length : glm::vec3(0.0f);
    }
  }
  ++found->revision;
  return 1;
}

}  // namespace orelens::platform
