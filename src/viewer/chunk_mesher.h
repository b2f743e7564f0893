#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <unordered_map>

#include "platform/engine3d/engine3d.h"
#include "viewer/band_face_grid.h"
#include "viewer/block_definitions.h"
#include "viewer/custom_block_map.h"
#include "world/block_walk.h"
#include "world/settings.h"

namespace orelens::platform {
class Engine3D;
class FontLibrary;
}  // namespace orelens::platform

namespace orelens::viewer {

inline constexpr int kMeshSlotCount = 8;
inline constexpr int kModelGeometryIndex = 16;  // ChunkRenderEntry::geometries index of the model geometry

// The geometries made for one chunk.
struct ChunkRenderEntry {
  uint8_t complete = 0;  // 1 once every band and the model geometry are built
  // Static geometry handles: 0..15 the height bands (0 = none made), 16 the model geometry.
  std::array<int32_t, 17> geometries{};
};

// Keyed by the chunk id in decimal; every chunk id -1 shares the key "-1".
using ChunkRenderMap = std::unordered_map<std::string, ChunkRenderEntry>;

// MeshSlotState values.
enum MeshSlotStateValue : int {
  kMeshSlotIdle = 0,  // finished or idle
  kMeshSlotBuilding = 1,
  kMeshSlotBandDue = 2,    // the band's records are all added; it is built at the next call
  kMeshSlotAbandoned = 3,  // a geometry of the chunk vanished while it was being meshed
};

// Turns the face lists of a loader slot into static geometry, a time slice per call: one
// geometry per height band that holds records (band 0 always) and one model geometry per chunk
// for crossed quads and mesh blocks. Main thread only, like everything it touches.
class ChunkMesher {
 public:
  using Clock = std::function<int64_t()>;  // milliseconds

  ChunkMesher(platform::Engine3D& engine, const BlockDefinitionTable& definitions,
              CustomBlockMap& customBlocks, const platform::FontLibrary& fonts,
              const world::Settings& settings, Clock clock);

  // Works on the chunk of `slot` for at most 15 ms. Returns 1 when the slot is finished (the
  // chunk complete, or abandoned because one of its geometries was freed meanwhile), 0 when work
  // is left; the caller then calls again with the same arguments on a later pass.
  int BuildChunkMeshStep(int32_t chunkId, int slot, const world::HeightBandLists& faceLists, int32_t originX,
                         int32_t originZ, int resetCache);

  // Frees every geometry of the chunk and forgets it; nothing when the chunk has none.
  void FreeChunkGeometry(int32_t chunkId);
  // After all chunks were unloaded: frees every static geometry, forgets every chunk and sends
  // every slot back to its start, so the next chunk of a slot that was half-way starts afresh.
  void FreeAllChunkGeometry();

  // On (the default), side-by-side cube faces of one material in a band are drawn as rectangles
  // whose texture repeats once per block; off, every face is added as it is placed. Takes effect
  // from the next band geometry on.
  void SetFaceMerging(bool enabled) { faceMerging_ = enabled; }

  const ChunkRenderMap& RenderMap() const { return chunkRenderMap_; }
  int MeshSlotState(int slot) const { return meshSlotState_[slot]; }
  int MeshSection(int slot) const { return meshSection_[slot]; }

 private:
  struct Position {
    float x, y, z;
  };

  const world::BlockRecord* NextRecord(int slot, int band, const world::HeightBandLists& faceLists);
  ChunkRenderEntry& EntryOf(int32_t chunkId);
  int CreateBandGeometry();
  bool BothGeometriesExist() const;
  void PlaceRecord(const world::BlockRecord& record, int32_t originX, int32_t originZ);
  void ApplyBlockTypeMaterials(uint8_t type);
  void ApplyCustomBlockMaterials(int32_t customId);
  void SetTemplateMaterial(int entity, int material);
  void AddCubeFaces(const world::BlockRecord& record, Position cell);
  void AddCellFaces(const world::BlockRecord& record, Position cell, int layout);
  void AddRectangles(int32_t originX, int32_t originZ);
  void AddMeshBlock(const world::BlockRecord& record, Position at);
  void AddBandFace(int entity, const world::BlockRecord& record, int face, Position at, float scaleX, float scaleZ);
  bool AddMergedFaces(int32_t originX, int32_t originZ, int64_t start);
  void OpenBandGeometry(int band);
  void LookUpTemplateEntities();
  void NoteTemplateMaterials();
  void NoteTemplateMaterial(int entity);

  platform::Engine3D& engine_;
  const BlockDefinitionTable& definitions_;
  CustomBlockMap& customBlocks_;
  const platform::FontLibrary& fonts_;
  const world::Settings& settings_;
  Clock clock_;
  std::mt19937 random_;  // the placeholder colours

  std::array<int, kMeshSlotCount> meshSection_{};  // MeshSection: -1 not started, 0..15 band, 16 finish due
  std::array<int, kMeshSlotCount> meshSlotState_{};  // MeshSlotState
  // Where each band's list is read next, per slot: the list's own position.
  std::array<std::array<size_t, world::kHeightBandCount>, kMeshSlotCount> listCursor_{};
  int meshGeometry_ = 0;       // MeshGeometry: the band geometry open for adding, 0 = none
  int meshExtraGeometry_ = 0;  // MeshExtraGeometry: the model geometry of the chunk in progress
  int meshLastType_ = -1;      // MeshLastType
  int meshLastCustomId_ = -1;  // MeshLastCustomId
  bool drewPlaceholder_ = false;  // the record just placed drew a placeholder texture
  ChunkRenderMap chunkRenderMap_;
  std::array<int, 17> entityHandles_{};  // template and border entities 0..16 by number

  // Merging the open band's faces: opaque cube faces wait in the grids; faces of blended materials
  // wait in the order they were placed, since the order they are drawn in shows where they
  // overlap; those of a material whose faces all lie in one plane, facing one way, cannot
  // overlap and join the grid when the band is built.
  struct WaitingFace {
    int entity, material;  // entity -1: taken into the grid
    Position at;
    float scaleX, scaleZ;
    int face, col, row, height;  // face -1: not a whole block face, never merged
  };
  bool faceMerging_ = true;
  bool bandMerging_ = false;    // the open band geometry merges
  int bandFirstHeight_ = 0;
  std::array<int, 17> entityMaterials_{};  // the material handle each template entity carries
  std::array<bool, 17> entityBlended_{};
  std::array<bool, 17> entityWaits_{};  // its faces wait in a grid: opaque, with a material
  // The grid slot of each template entity's material by layout, looked up at its first face.
  static constexpr int kSlotNotLookedUp = -2;
  std::array<std::array<int, 17>, 7> gridSlots_{};
  BandFaceGrid bandGrid_;
  BandFaceGrid slabGrid_;  // the chunk-border slabs, which share their cells with the edge blocks
  std::vector<WaitingFace> blendedFaces_;
  bool blendedSorted_ = false;  // the blended faces are sorted into the grid and the rest
  size_t blendedNext_ = 0;      // the next blended face to add
  std::vector<BandFaceGrid::Rectangle> rectangles_;
  std::vector<platform::StaticGeometryTile> tiles_;
};

}  // namespace orelens::viewer
