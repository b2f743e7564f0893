// Static geometry: copies of entities' meshes baked into per-material vertex and index lists.
// This is the mesher's hot path: each add appends a few transformed vertices to one batch.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"
#include "platform/engine3d/tile_shape.h"

namespace orelens::platform {
namespace {

// A vertex's texture corner, normal and colour: copied unchanged unless the normal turns.
constexpr size_t kTexturedTailBytes = sizeof(GeometryVertex) - offsetof(GeometryVertex, u);
static_assert(kTexturedTailBytes == 16);

// A batch grows by copying what it holds into fresh memory, and fresh pages are slow to come by
// on a busy machine: past this many vertices a material's faces go on in a batch of their own
// (one more draw call), so that no single add copies and touches more than half a megabyte.
constexpr size_t kBatchVertexLimit = size_t{1} << 14;

// The batch that takes the material's next faces: its latest one, unless that is full. It,
// Extend and AppendTile are written into each caller: a call costs as much as a face's vertices.
[[gnu::always_inline]] inline GeometryBatch& BatchFor(Scene& scene, StaticGeometry& geometry, int materialKey) {
  auto open = [materialKey](const GeometryBatch& batch) {
    return batch.materialKey == materialKey && batch.vertices.size() < kBatchVertexLimit;
  };
  size_t& recent = geometry.recentBatches[static_cast<size_t>(materialKey) % geometry.recentBatches.size()];
  if (recent < geometry.batches.size() && open(geometry.batches[recent])) return geometry.batches[recent];
  for (size_t i = geometry.batches.size(); i-- > 0;) {
    if (geometry.batches[i].materialKey != materialKey) continue;
    if (!open(geometry.batches[i])) break;
    recent = i;
    return geometry.batches[i];
  }
  recent = geometry.batches.size();
  GeometryBatch& added = geometry.batches.emplace_back(scene.spareBatches.Take());
  added.materialKey = materialKey;
  return added;
}

// `count` elements more at the end of `list`, left unwritten, and the first of them: growing by
// resize goes through a call that costs more than writing a face's few vertices.
template <class List>
[[gnu::always_inline]] inline auto* Extend(List& list, size_t count) {
  if (list.capacity() - list.size() < count) list.reserve(std::max(list.size() + count, list.capacity() * 2));
  for (size_t i = 0; i < count; ++i) list.emplace_back();  // constructs nothing (UninitialisedAllocator)
  return list.data() + (list.size() - count);
}

// value in -1..1; rounds half away from zero without a library call.
int8_t PackNormalComponent(float value) {
  const float scaled = value * 127.0f;
  return static_cast<int8_t>(scaled >= 0.0f ? scaled + 0.5f : scaled - 0.5f);
}

// The vertex's normal after scaling (by the inverse scale, which keeps it perpendicular to the
// scaled face) and turning, packed; zero stays zero.
void PackNormal(GeometryVertex& out, glm::vec3 normal, glm::vec3 inverseScale, const glm::mat3* rotation) {
  if (normal.x == 0.0f && normal.y == 0.0f && normal.z == 0.0f) {
    out.nx = out.ny = out.nz = 0;
    return;
  }
  glm::vec3 n = normal * inverseScale;
  if (rotation) n = *rotation * n;
  const float lengthSquared = glm::dot(n, n);
  if (!(lengthSquared > 0.0f) || !std::isfinite(lengthSquared)) {
    out.nx = out.ny = out.nz = 0;
    return;
  }
  n *= 1.0f / std::sqrt(lengthSquared);
  out.nx = PackNormalComponent(n.x);
  out.ny = PackNormalComponent(n.y);
  out.nz = PackNormalComponent(n.z);
}

const std::vector<GeometryVertex>& PackedVertices(Mesh& mesh) {
  if (mesh.packedRevision == mesh.revision) return mesh.packed;
  mesh.packed.resize(mesh.vertices.size());
  mesh.normalsAxisAligned = true;
  mesh.packedMin = glm::vec3(1e30f);
  mesh.packedMax = glm::vec3(-1e30f);
  for (size_t i = 0; i < mesh.vertices.size(); ++i) {
    const MeshVertex& in = mesh.vertices[i];
    mesh.packedMin = glm::min(mesh.packedMin, in.position);
    mesh.packedMax = glm::max(mesh.packedMax, in.position);
    GeometryVertex& out = mesh.packed[i];
    out = GeometryVertex{in.position.x, in.position.y, in.position.z, in.uv.x, in.uv.y, 0, 0, 0, 0, in.rgba};
    PackNormal(out, in.normal, glm::vec3(1.0f), nullptr);
    const int axes = (in.normal.x != 0.0f) + (in.normal.y != 0.0f) + (in.normal.z != 0.0f);
    mesh.normalsAxisAligned = mesh.normalsAxisAligned && axes <= 1;
  }
  mesh.tile = ReadTileShape(mesh.vertices, mesh.indices);
  mesh.packedRevision = mesh.revision;
  return mesh.packed;
}

// A flat rectangle (TileShape) whose normals stay as packed: its four corners written straight
// into place, those on the high side where the last of `copies` has them, the texture stepping on
// by a whole repeat per copy.
[[gnu::always_inline]] inline void AppendTile(StaticGeometry& target, GeometryBatch& batch, const Mesh& mesh,
                                              glm::vec3 position, glm::vec3 scale, glm::vec3 step, glm::ivec3 copies) {
  const glm::vec3 far = position + glm::vec3(copies - 1) * step;
  const glm::vec3 repeats(copies - 1);
  const auto base = static_cast<uint32_t>(batch.vertices.size());
  GeometryVertex* out = Extend(batch.vertices, 4);
  const GeometryVertex* in = mesh.packed.data();
  const bool single = copies == glm::ivec3(1);  // most adds: no corner moves, no texture steps
  for (int i = 0; i < 4 && single; ++i) {
    out[i].x = in[i].x * scale.x + position.x;
    out[i].y = in[i].y * scale.y + position.y;
    out[i].z = in[i].z * scale.z + position.z;
    std::memcpy(&out[i].u, &in[i].u, kTexturedTailBytes);
  }
  for (int i = 0; i < 4 && !single; ++i) {
    const auto& high = mesh.tile.atHigh[i];
    out[i].x = in[i].x * scale.x + (high[0] ? far.x : position.x);
    out[i].y = in[i].y * scale.y + (high[1] ? far.y : position.y);
    out[i].z = in[i].z * scale.z + (high[2] ? far.z : position.z);
    std::memcpy(&out[i].u, &in[i].u, kTexturedTailBytes);
    const glm::vec2 shift = (high[0] ? repeats.x : 0.0f) * mesh.tile.uvStep[0] +
                            (high[1] ? repeats.y : 0.0f) * mesh.tile.uvStep[1] +
                            (high[2] ? repeats.z : 0.0f) * mesh.tile.uvStep[2];
    out[i].u += shift.x;
    out[i].v += shift.y;
  }
  const glm::vec3 a = mesh.packedMin * scale + position, b = mesh.packedMax * scale + far;
  target.boundsMin = glm::min(target.boundsMin, glm::min(a, b));
  target.boundsMax = glm::max(target.boundsMax, glm::max(a, b));
  uint32_t* indexOut = Extend(batch.indices, 6);
  for (int k = 0; k < 6; ++k) indexOut[k] = base + mesh.indices[k];
}

}  // namespace

GeometryBatch SpareBatches::Take() {
  if (spares_.empty()) return GeometryBatch();
  // The roomiest spare: a batch that has to grow copies every vertex it holds each time.
  auto roomiest = std::max_element(spares_.begin(), spares_.end(), [](const GeometryBatch& a, const GeometryBatch& b) {
    return a.vertices.capacity() < b.vertices.capacity();
  });
  std::iter_swap(roomiest, spares_.end() - 1);
  GeometryBatch batch = std::move(spares_.back());
  spares_.pop_back();
  spareBytes_ -= batch.vertices.capacity() * sizeof(GeometryVertex) + batch.indices.capacity() * sizeof(uint32_t);
  return batch;
}

void SpareBatches::Give(std::vector<GeometryBatch>& batches) {
  for (GeometryBatch& batch : batches) {
    const size_t bytes = batch.vertices.capacity() * sizeof(GeometryVertex) + batch.indices.capacity() * sizeof(uint32_t);
    if (spareBytes_ + bytes > kMaxSpareBytes) continue;  // freed with `batches`
    batch.vertices.clear();
    batch.indices.clear();
    batch.materialKey = kNoObject;
    spareBytes_ += bytes;
    spares_.push_back(std::move(batch));
  }
  std::vector<GeometryBatch>().swap(batches);
}

int Engine3D::PBO_CreateStaticGeometry(int geometry, float sizeX, float sizeY, float sizeZ, int castsShadows) {
  auto [created, key] = scene_->geometries.Create(geometry);
  if (!created) return 0;
  created->serial = scene_->nextSerial++;
  created->size = {sizeX, sizeY, sizeZ};
  created->castsShadows = castsShadows != 0;
  return object_ref::HandleOf(key);
}

int Engine3D::PBO_AddStaticGeometryEntity2(int geometry, int entityHandle, float x, float y, float z, float scaleX,
                                           float scaleY, float scaleZ) {
  return AddToStaticGeometry(geometry, entityHandle, {.position = {x, y, z}, .scale = {scaleX, scaleY, scaleZ}});
}

int Engine3D::PBO_AddStaticGeometryEntity3(int geometry, int entityHandle, float x, float y, float z, float scaleX,
                                           float scaleY, float scaleZ, float angleX, float angleY, float angleZ) {
  const float angles[3] = {angleX, angleY, angleZ};
  return AddToStaticGeometry(geometry, entityHandle,
                             {.position = {x, y, z}, .scale = {scaleX, scaleY, scaleZ}, .angles = angles});
}

int Engine3D::AddStaticGeometryTiles(int geometry, int entityHandle, std::span<const StaticGeometryTile> tiles) {
  StaticGeometry* target = scene_->geometries.Find(geometry);
  const Entity* entity = scene_->entities.Find(entityHandle);
  if (!target || !entity) return 0;
  Mesh* mesh = scene_->meshes.FindKey(entity->meshKey);
  if (!mesh || !mesh->finished) return 0;
  const bool empty = mesh->vertices.empty() || mesh->indices.empty();
  if (!empty) PackedVertices(*mesh);
  // Runs of tiles of one material go on into one batch, looked up once: a flat rectangle's
  // tiles, unturned and scaled up, are written straight in.
  const bool flat = mesh->tile.tileable && mesh->normalsAxisAligned;
  const glm::vec3 meshSize = mesh->packedMax - mesh->packedMin;
  const uint64_t facesPerCopy = mesh->indices.size() / 3;
  int runMaterialKey = object_ref::kInvalidKey;
  GeometryBatch* runBatch = nullptr;
  for (const StaticGeometryTile& tile : tiles) {
    const int materialKey = object_ref::KeyOf(tile.materialHandle);
    if (materialKey != runMaterialKey && !scene_->materials.FindKey(materialKey)) return 0;
    if (tile.copiesX < 1 || tile.copiesY < 1 || tile.copiesZ < 1) return 0;
    if (empty) continue;
    const glm::vec3 position(tile.x, tile.y, tile.z), scale(tile.scaleX, tile.scaleY, tile.scaleZ);
    const glm::ivec3 copies(tile.copiesX, tile.copiesY, tile.copiesZ);
    const glm::vec3 step = meshSize * scale;
    const bool straight = flat && scale.x > 0.0f && scale.y > 0.0f && scale.z > 0.0f &&
                          (copies.x == 1 || step.x > 0.0f) && (copies.y == 1 || step.y > 0.0f) &&
                          (copies.z == 1 || step.z > 0.0f);
    if (!straight) {
      AddCopies(*target, *mesh, {.position = position, .scale = scale, .materialKey = materialKey, .copies = copies});
      runMaterialKey = object_ref::kInvalidKey;  // it may have added a batch, moving the others
      continue;
    }
    if (materialKey != runMaterialKey || runBatch->vertices.size() >= kBatchVertexLimit) {
      runBatch = &BatchFor(*scene_, *target, materialKey);
      runMaterialKey = materialKey;
    }
    AppendTile(*target, *runBatch, *mesh, position, scale, step, copies);
    target->faceCount += facesPerCopy * static_cast<uint64_t>(copies.x) * copies.y * copies.z;
  }
  return 1;
}

int Engine3D::AddToStaticGeometry(int geometry, int entityHandle, StaticAdd add) {
  StaticGeometry* target = scene_->geometries.Find(geometry);
  const Entity* entity = scene_->entities.Find(entityHandle);
  if (!target || !entity) return 0;
  Mesh* mesh = scene_->meshes.FindKey(entity->meshKey);
  if (!mesh || !mesh->finished) return 0;
  add.materialKey = entity->materialKey;
  AddCopies(*target, *mesh, add);
  return 1;
}

void Engine3D::AddCopies(StaticGeometry& target, Mesh& mesh, const StaticAdd& add) {
  if (mesh.vertices.empty() || mesh.indices.empty()) return;
  PackedVertices(mesh);
  GeometryBatch& batch = BatchFor(*scene_, target, add.materialKey);

  const glm::vec3 scale = add.scale;
  const bool rotated = add.angles && (add.angles[0] != 0.0f || add.angles[1] != 0.0f || add.angles[2] != 0.0f);
  const glm::ivec3 copies = add.copies;
  const bool positiveScale = scale.x > 0.0f && scale.y > 0.0f && scale.z > 0.0f;
  // Copies stand side by side: one scaled mesh size apart along each axis.
  const glm::vec3 step = (mesh.packedMax - mesh.packedMin) * scale;
  const bool sideBySide = (copies.x == 1 || step.x > 0.0f) && (copies.y == 1 || step.y > 0.0f) &&
                          (copies.z == 1 || step.z > 0.0f);  // not stacked across a flat mesh
  const bool tileable = !rotated && positiveScale && sideBySide && mesh.tile.tileable;
  if (tileable && mesh.normalsAxisAligned) {
    AppendTile(target, batch, mesh, add.position, scale, step, copies);
  } else if (copies == glm::ivec3(1) || tileable) {
    AppendCopy(target, batch, mesh, add.position, scale, add.angles, rotated, step, copies);
  } else {
    for (int i = 0; i < copies.x; ++i)
      for (int j = 0; j < copies.y; ++j)
        for (int k = 0; k < copies.z; ++k) {
          const glm::vec3 at = add.position + glm::vec3(float(i) * step.x, float(j) * step.y, float(k) * step.z);
          AppendCopy(target, batch, mesh, at, scale, add.angles, rotated, step, glm::ivec3(1));
        }
  }
  target.faceCount += mesh.indices.size() / 3 * static_cast<uint64_t>(copies.x) * copies.y * copies.z;
}

// One copy of the mesh into the batch, or with `tiles` other than 1 x 1 x 1 (a tileable mesh,
// unturned) that many copies side by side as one. `step`: how far one copy stands from the next.
void Engine3D::AppendCopy(StaticGeometry& target, GeometryBatch& batch, const Mesh& mesh, glm::vec3 position,
                          glm::vec3 scale, const float* angles, bool rotated, glm::vec3 step, glm::ivec3 tiles) {
  const uint32_t vertexCount = static_cast<uint32_t>(mesh.vertices.size());
  const float sx = scale.x, sy = scale.y, sz = scale.z;
  // Axis-aligned normals keep their direction under a positive scale: the packed ones are right.
  const bool keepNormals = !rotated && mesh.normalsAxisAligned && sx > 0.0f && sy > 0.0f && sz > 0.0f;

  const auto base = static_cast<uint32_t>(batch.vertices.size());
  batch.vertices.resize(base + vertexCount);
  GeometryVertex* out = batch.vertices.data() + base;
  const GeometryVertex* in = mesh.packed.data();
  // Tiles: the vertices on the high side of the rectangle stand where the last copy's do, and
  // its texture steps on by a whole repeat per copy.
  const bool tiled = tiles != glm::ivec3(1);
  const glm::vec3 far = position + glm::vec3(tiles - 1) * step;
  auto originOf = [&mesh, tiled, position, far](uint32_t i) {
    if (!tiled) return position;
    const auto& high = mesh.tile.atHigh[i];
    return glm::vec3(high[0] ? far.x : position.x, high[1] ? far.y : position.y, high[2] ? far.z : position.z);
  };
  auto stepTexture = [&mesh, tiles](uint32_t i, GeometryVertex& vertex) {
    for (int axis = 0; axis < 3; ++axis) {
      if (!mesh.tile.atHigh[i][axis]) continue;
      vertex.u += float(tiles[axis] - 1) * mesh.tile.uvStep[axis].x;
      vertex.v += float(tiles[axis] - 1) * mesh.tile.uvStep[axis].y;
    }
  };
  // Every vertex is written field by field straight into its place: assembling it on the stack
  // first and copying it whole makes the wide load wait for the narrow stores before it.
  if (keepNormals) {
    for (uint32_t i = 0; i < vertexCount; ++i) {
      const glm::vec3 origin = originOf(i);
      out[i].x = in[i].x * sx + origin.x;
      out[i].y = in[i].y * sy + origin.y;
      out[i].z = in[i].z * sz + origin.z;
      std::memcpy(&out[i].u, &in[i].u, kTexturedTailBytes);
      if (tiled) stepTexture(i, out[i]);
    }
  } else {
    const glm::vec3 inverseScale(sx != 0.0f ? 1.0f / sx : 0.0f, sy != 0.0f ? 1.0f / sy : 0.0f,
                                 sz != 0.0f ? 1.0f / sz : 0.0f);
    glm::mat3 rotation(1.0f);
    if (rotated) {
      // Mesh blocks come in a few turns, one after another: the matrix of the last one is kept.
      const glm::vec3 turn(angles[0], angles[1], angles[2]);
      if (turn != lastTurn_) {
        lastTurn_ = turn;
        lastTurnRotation_ = EulerRotation(angles[0], angles[1], angles[2]);
      }
      rotation = lastTurnRotation_;
    }
    for (uint32_t i = 0; i < vertexCount; ++i) {
      glm::vec3 p(in[i].x * sx, in[i].y * sy, in[i].z * sz);
      p = rotated ? rotation * p + position : p + originOf(i);
      out[i].x = p.x;
      out[i].y = p.y;
      out[i].z = p.z;
      std::memcpy(&out[i].u, &in[i].u, kTexturedTailBytes);
      PackNormal(out[i], mesh.vertices[i].normal, inverseScale, rotated ? &rotation : nullptr);
      if (tiled) stepTexture(i, out[i]);
    }
  }
  if (rotated) {
    glm::vec3 boundsMin = target.boundsMin, boundsMax = target.boundsMax;
    for (uint32_t i = 0; i < vertexCount; ++i) {
      const glm::vec3 p(out[i].x, out[i].y, out[i].z);
      boundsMin = glm::min(boundsMin, p);
      boundsMax = glm::max(boundsMax, p);
    }
    target.boundsMin = boundsMin;
    target.boundsMax = boundsMax;
  } else {
    // Without rotation the mesh's box, scaled and moved, bounds the copy (to the last tile's side).
    const glm::vec3 a = mesh.packedMin * scale + position, b = mesh.packedMax * scale + far;
    target.boundsMin = glm::min(target.boundsMin, glm::min(a, b));
    target.boundsMax = glm::max(target.boundsMax, glm::max(a, b));
  }

  const size_t indexBase = batch.indices.size();
  batch.indices.resize(indexBase + mesh.indices.size());
  uint32_t* indexOut = batch.indices.data() + indexBase;
  for (uint32_t index : mesh.indices) *indexOut++ = base + index;
}

int Engine3D::PBO_BuildStaticGeometry(int geometry) {
  StaticGeometry* target = scene_->geometries.Find(geometry);
  if (!target) return 0;
  ++target->builtRevision;
  return 1;
}

int Engine3D::PBO_FreeStaticGeometry(int geometry) {
  if (geometry == -1) {
    scene_->geometries.Clear();
    return 1;
  }
  return scene_->geometries.Free(geometry) ? 1 : 0;
}

int Engine3D::PBO_IsStaticGeometry(int geometry) const { return scene_->geometries.Find(geometry) ? 1 : 0; }

const StaticGeometry* Engine3D::FindStaticGeometry(int geometry) const { return scene_->geometries.Find(geometry); }

int Engine3D::StaticGeometryCount() const { return static_cast<int>(scene_->geometries.Count()); }

}  // namespace orelens::platform
