#pragma once

// The GPU copies of the scene's textures, meshes, static geometry and sprites, keyed by the
// objects' serials and refreshed when their revisions move on.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include <glm/glm.hpp>

#include "platform/engine3d/gl_objects.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {

struct GlTextureCopy {
  GlTexture texture;
  uint64_t revision = 0;
};

struct GlMeshCopy {
  GlVertexArray vertexArray;
  GlBuffer vertices, indices;
  GLsizei indexCount = 0;
  uint64_t revision = 0;
};

// One material's faces inside an uploaded part: one draw call.
struct GlDrawRange {
  int materialKey = kNoObject;
  GLsizei indexCount = 0;
  size_t indexOffsetBytes = 0;
  GLint baseVertex = 0;
};

struct GlGeometryPart {
  GlVertexArray vertexArray;
  GlBuffer vertices, indices;
  std::vector<GlDrawRange> ranges;
};

// A geometry is normally one part; faces added after a build become another part at the next.
struct GlGeometryCopy {
  std::vector<GlGeometryPart> parts;
  uint64_t uploadedRevision = 0;
};

class GlGpuCache {
 public:
  // The texture's GL name, uploaded (with mipmaps) if it changed.
  GLuint TextureOf(const Texture& texture);
  // The sprite's GL name, uploaded if it changed.
  GLuint SpriteTextureOf(const Sprite& sprite);
  const GlMeshCopy* MeshOf(const Mesh& mesh);
  // Uploads what a build made drawable and hands the CPU copy's memory back. Null until the
  // geometry has been built.
  const GlGeometryCopy* GeometryOf(StaticGeometry& geometry, SpareBatches& spares);

  void Release(uint64_t serial);
  void Clear();

 private:
  std::unordered_map<uint64_t, GlTextureCopy> textures_;
  std::unordered_map<uint64_t, GlMeshCopy> meshes_;
  std::unordered_map<uint64_t, GlGeometryCopy> geometries_;
};

// Points the bound vertex array's attributes at GeometryVertex records in the bound buffer.
void SetGeometryVertexLayout();

}  // namespace orelens::platform
