#include "platform/engine3d/gl_gpu_cache.h"

#include <cmath>
#include <cstddef>

#include "platform/engine3d/gl_shaders.h"

namespace orelens::platform {
namespace {

void UploadPicture(GLuint name, const Image& picture, bool mipmaps) {
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // Pixels are R, G, B, A bytes in memory order, rows top first: row 0 lands at v = 0.
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, picture.width, picture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               picture.pixels.data());
  if (mipmaps) glGenerateMipmap(GL_TEXTURE_2D);
}

int8_t Pack(float value) { return static_cast<int8_t>(std::lround(std::fmax(-1.0f, std::fmin(1.0f, value)) * 127.0f)); }

}  // namespace

void SetGeometryVertexLayout() {
  const auto stride = static_cast<GLsizei>(sizeof(GeometryVertex));
  glEnableVertexAttribArray(kAttributePosition);
  glVertexAttribPointer(kAttributePosition, 3, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void*>(offsetof(GeometryVertex, x)));
  glEnableVertexAttribArray(kAttributeUv);
  glVertexAttribPointer(kAttributeUv, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(GeometryVertex, u)));
  glEnableVertexAttribArray(kAttributeNormal);
  glVertexAttribPointer(kAttributeNormal, 3, GL_BYTE, GL_TRUE, stride, reinterpret_cast<const void*>(offsetof(GeometryVertex, nx)));
  glEnableVertexAttribArray(kAttributeColour);
  glVertexAttribPointer(kAttributeColour, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                        reinterpret_cast<const void*>(offsetof(GeometryVertex, rgba)));
}

GLuint GlGpuCache::TextureOf(const Texture& texture) {
  GlTextureCopy& copy = textures_[texture.serial];
  if (!copy.texture) copy.texture = GlTexture(GenTexture());
  if (copy.revision != texture.revision) {
    UploadPicture(copy.texture.id(), texture.image, true);
    copy.revision = texture.revision;
  }
  return copy.texture.id();
}

GLuint GlGpuCache::SpriteTextureOf(const Sprite& sprite) {
  GlTextureCopy& copy = textures_[sprite.serial];
  if (!copy.texture) {
    copy.texture = GlTexture(GenTexture());
    glBindTexture(GL_TEXTURE_2D, copy.texture.id());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  if (copy.revision != sprite.revision) {
    UploadPicture(copy.texture.id(), sprite.image, false);
    copy.revision = sprite.revision;
  }
  return copy.texture.id();
}

const GlMeshCopy* GlGpuCache::MeshOf(const Mesh& mesh) {
  if (!mesh.finished || mesh.indices.empty()) return nullptr;
  GlMeshCopy& copy = meshes_[mesh.serial];
  if (copy.revision == mesh.revision) return &copy;
  std::vector<GeometryVertex> vertices;
  vertices.reserve(mesh.vertices.size());
  for (const MeshVertex& in : mesh.vertices) {
    const float length = glm::length(in.normal);
    const glm::vec3 n = length > 0.0f ? in.normal / length : glm::vec3(0.0f);
    vertices.push_back(GeometryVertex{in.position.x, in.position.y, in.position.z, in.uv.x, in.uv.y, Pack(n.x), Pack(n.y),
                                      Pack(n.z), 0, in.rgba});
  }
  if (!copy.vertexArray) {
    copy.vertexArray = GlVertexArray(GenVertexArray());
    copy.vertices = GlBuffer(GenBuffer());
    copy.indices = GlBuffer(GenBuffer());
  }
  glBindVertexArray(copy.vertexArray.id());
  glBindBuffer(GL_ARRAY_BUFFER, copy.vertices.id());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(GeometryVertex)), vertices.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, copy.indices.id());
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.indices.size() * sizeof(uint32_t)), mesh.indices.data(),
               GL_STATIC_DRAW);
  SetGeometryVertexLayout();
  glBindVertexArray(0);
  copy.indexCount = static_cast<GLsizei>(mesh.indices.size());
  copy.revision = mesh.revision;
  return &copy;
}

const GlGeometryCopy* GlGpuCache::GeometryOf(StaticGeometry& geometry, SpareBatches& spares) {
  if (geometry.builtRevision == 0) return nullptr;
  GlGeometryCopy& copy = geometries_[geometry.serial];
  if (copy.uploadedRevision == geometry.builtRevision) return &copy;
  copy.uploadedRevision = geometry.builtRevision;

  size_t vertexCount = 0, indexCount = 0;
  for (const GeometryBatch& batch : geometry.batches) {
    vertexCount += batch.vertices.size();
    indexCount += batch.indices.size();
  }
  if (indexCount == 0) return &copy;

  GlGeometryPart part;
  part.vertexArray = GlVertexArray(GenVertexArray());
  part.vertices = GlBuffer(GenBuffer());
  part.indices = GlBuffer(GenBuffer());
  glBindVertexArray(part.vertexArray.id());
  glBindBuffer(GL_ARRAY_BUFFER, part.vertices.id());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexCount * sizeof(GeometryVertex)), nullptr, GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, part.indices.id());
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indexCount * sizeof(uint32_t)), nullptr, GL_STATIC_DRAW);
  size_t vertexOffset = 0, indexOffset = 0;
  for (GeometryBatch& batch : geometry.batches) {
    if (batch.indices.empty()) continue;
    glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(vertexOffset * sizeof(GeometryVertex)),
                    static_cast<GLsizeiptr>(batch.vertices.size() * sizeof(GeometryVertex)), batch.vertices.data());
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLintptr>(indexOffset * sizeof(uint32_t)),
                    static_cast<GLsizeiptr>(batch.indices.size() * sizeof(uint32_t)), batch.indices.data());
    part.ranges.push_back(GlDrawRange{batch.materialKey, static_cast<GLsizei>(batch.indices.size()),
                                      indexOffset * sizeof(uint32_t), static_cast<GLint>(vertexOffset)});
    vertexOffset += batch.vertices.size();
    indexOffset += batch.indices.size();
  }
  SetGeometryVertexLayout();
  glBindVertexArray(0);
  copy.parts.push_back(std::move(part));
  // The GPU holds the faces now; the CPU lists go to the next geometries.
  spares.Give(geometry.batches);
  geometry.recentBatches.fill(0);
  return &copy;
}

void GlGpuCache::Release(uint64_t serial) {
  textures_.erase(serial);
  meshes_.erase(serial);
  geometries_.erase(serial);
}

void GlGpuCache::Clear() {
  textures_.clear();
  meshes_.clear();
  geometries_.clear();
}

}  // namespace orelens::platform
