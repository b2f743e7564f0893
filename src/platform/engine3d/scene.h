#pragma once

// The engine's object model, shared by the engine (which edits it) and the renderers (which
// draw it). Everything here belongs to the main thread, but the camera positions.

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <glm/glm.hpp>

#include "platform/engine3d/object_table.h"
#include "platform/image/image.h"

namespace orelens::platform {

constexpr int kNoObject = -1;

// Blending and culling modes as callers pass them.
constexpr int kBlendAlpha = 3;
constexpr int kCullNone = 1;
constexpr int kCullBack = 2;

struct Texture {
  uint64_t serial = 0;    // identifies the GPU copy; never reused
  uint64_t revision = 1;  // bumped whenever the picture may have changed
  Image image;
};

struct Material {
  int textureKey = kNoObject;
  int blending = 0;
  int culling = kCullBack;
  int filter = -1;      // -1: the engine-wide default
  int anisotropy = -1;  // -1: the engine-wide default
};

struct MeshVertex {
  glm::vec3 position{0.0f};
  glm::vec3 normal{0.0f};  // zero when the mesh gave none
  glm::vec2 uv{0.0f};
  uint32_t rgba = 0xFFFFFFFF;
};

struct Entity {
  int meshKey = kNoObject;
  int materialKey = kNoObject;
  int nodeKey = kNoObject;  // the node it is attached to
  glm::vec3 position{0.0f};
  glm::vec3 scale{1.0f};
  bool hidden = false;
  int pickMask = 0;  // ray casts whose mask shares a bit with it find the entity
};

struct Node {
  glm::vec3 position{0.0f};
  std::vector<int> entityKeys;
};

struct Light {
  glm::vec3 position{0.0f};
  int diffuse = 0xFFFFFF;
  int specular = 0;
};

struct Sprite {
  uint64_t serial = 0;
  uint64_t revision = 1;
  Image image;
  int flags = 0;
  int transparentRgb = -1;  // -1: none
};

// One vertex of built static geometry: 28 bytes.
struct GeometryVertex {
  float x, y, z;
  float u, v;
  int8_t nx, ny, nz, unused;  // normal scaled to -127..127
  uint32_t rgba;
};
static_assert(sizeof(GeometryVertex) == 28);

// Leaves new elements of a vector uninitialised on resize: the geometry builder writes every
// element it adds right away, so zeroing them first would only cost time.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};

// The faces of one material inside a static geometry: one draw call.
struct GeometryBatch {
  int materialKey = kNoObject;
  std::vector<GeometryVertex, UninitialisedAllocator<GeometryVertex>> vertices;
  std::vector<uint32_t, UninitialisedAllocator<uint32_t>> indices;
};

// Emptied batches keep their memory for the next geometry: the mesher makes and frees band
// geometries all the time, and reusing grown lists spares the allocator and the page faults.
class SpareBatches {
 public:
  GeometryBatch Take();
  void Give(std::vector<GeometryBatch>& batches);

 private:
  static constexpr size_t kMaxSpareBytes = 32u << 20;
  std::vector<GeometryBatch> spares_;
  size_t spareBytes_ = 0;  // capacity held by spares_
};

// A mesh that copies laid side by side can stand in for as one rectangle: a flat rectangle across
// an axis, two triangles covering it once and facing one way, one normal and colour at every
// corner, and a texture that moves by whole repeats from one edge to the other (the samplers
// wrap, so the larger rectangle shows every copy's texels).
struct TileShape {
  bool tileable = false;
  std::array<std::array<bool, 3>, 4> atHigh{};  // per vertex: on the high side along x, y, z
  std::array<glm::vec2, 3> uvStep{};          // texture change from the low to the high side, per axis
};

struct Mesh {
  uint64_t serial = 0;
  uint64_t revision = 1;
  std::vector<MeshVertex> vertices;
  std::vector<uint32_t> indices;  // three per triangle
  bool finished = false;
  // The vertices as static geometry stores them, made again when the revision moves on.
  std::vector<GeometryVertex> packed;
  uint64_t packedRevision = 0;
  bool normalsAxisAligned = false;  // every normal lies along an axis (or is zero)
  glm::vec3 packedMin{0.0f}, packedMax{0.0f};  // the vertices' bounding box
  TileShape tile;                              // made with `packed`
};

struct StaticGeometry {
  uint64_t serial = 0;
  glm::vec3 size{0.0f};
  bool castsShadows = false;
  std::vector<GeometryBatch> batches;  // faces added and not yet handed to the GPU
  size_t lastBatch = 0;                // the batch the previous add went to
  uint64_t builtRevision = 0;          // 0: never built; bumped by each build
  uint64_t faceCount = 0;              // every face added, uploaded or not
  glm::vec3 boundsMin{1e30f};
  glm::vec3 boundsMax{-1e30f};
};

struct Viewport {
  float xPercent = 0, yPercent = 0, widthPercent = 100, heightPercent = 100;
};

// Position atomics: the loader threads read them while the main thread moves the camera.
// The rest of a camera is main-thread state.
struct Camera {
  std::atomic<bool> exists{false};  // atomic: read with the position from other threads
  std::atomic<float> x{0.0f}, y{0.0f}, z{0.0f};
  float pitch = 0.0f, yaw = 0.0f, roll = 0.0f;  // degrees
  float fovDegrees = 60.0f;
  Viewport viewport;
  int backRgb = 0;

  glm::vec3 Position() const { return {x.load(std::memory_order_relaxed), y.load(std::memory_order_relaxed), z.load(std::memory_order_relaxed)}; }
  void SetPosition(glm::vec3 p) {
    x.store(p.x, std::memory_order_relaxed);
    y.store(p.y, std::memory_order_relaxed);
    z.store(p.z, std::memory_order_relaxed);
  }
};

struct FogSettings {
  bool enabled = false;
  int rgb = 0;
  float intensity = 0, start = 0, end = 0;
};

struct ShadowSettings {
  int mode = 0;  // 0 off, 1 simple, 2 advanced
  float range = 30.0f;
  int rgb = 0x808080;
  int mapSize = 0;
};

struct WorldSettings {
  int ambientRgb = 0x808080;
  glm::vec3 sunPosition{10.0f, 800.0f, 10.0f};
  int sunRgb = 0;
  bool sunEnabled = false;
  FogSettings fog;
  ShadowSettings shadows;
  int skyTextureKey = kNoObject;
  float skyTiling = 1.0f;
  bool physics = false;
  bool collisions = false;
  int antialiasing = 0;
  int defaultFilter = 1;
  int defaultAnisotropy = 1;
};

struct Scene {
  explicit Scene(std::function<void(uint64_t)> releaseGpuCopy);

  uint64_t nextSerial = 1;
  WorldSettings world;
  std::vector<std::filesystem::path> resourceFolders;
  SpareBatches spareBatches;  // declared before the tables whose release hooks fill it
  std::array<Camera, 16> cameras;
  ObjectTable<Texture> textures;
  ObjectTable<Material> materials;
  ObjectTable<Mesh> meshes;
  ObjectTable<Entity> entities;
  ObjectTable<Node> nodes;
  ObjectTable<Light> lights;
  ObjectTable<StaticGeometry> geometries;
  ObjectTable<Sprite> sprites;
  int meshUnderConstruction = kNoObject;  // key of the mesh the vertex operations add to
  glm::vec3 lastPickNormal{0.0f};
};

// Where an entity's mesh origin stands in the world: its node's position plus its own.
inline glm::vec3 EntityOrigin(const Scene& scene, const Entity& entity) {
  const Node* node = scene.nodes.FindKey(entity.nodeKey);
  return node ? node->position + entity.position : entity.position;
}

}  // namespace orelens::platform
