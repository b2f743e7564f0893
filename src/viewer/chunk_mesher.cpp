#include "viewer/chunk_mesher.h"

#include "platform/engine3d/engine3d.h"
#include "viewer/face_layouts.h"
#include "viewer/face_templates.h"
#include "viewer/unknown_custom_block.h"

namespace orelens::viewer {
namespace {

using world::BlockRecord;

constexpr int64_t kTimeSliceMs = 15;
// The clock is read every this many steps of a call (and right after drawing a placeholder
// texture): reading it costs more than placing a typical record, and this many records take a
// few microseconds, so a slice overruns by far less than a millisecond.
constexpr int kStepsPerClockRead = 16;
constexpr float kGeometrySizeX = 32.0f;
constexpr float kGeometrySizeY = 50.0f;
constexpr float kGeometrySizeZ = 32.0f;
constexpr uint8_t kMeshBlockKind = 3;
constexpr uint8_t kCustomBlockType = 66;

// The face-mask bits in face order 0..5.
constexpr std::array<uint8_t, 6> kFaceBits = {world::kFaceTop,   world::kFaceBottom, world::kFaceMinusX,
                                              world::kFacePlusX, world::kFacePlusZ,  world::kFaceMinusZ};
// The entities of the chunk-border slabs by face: the slab at the +X edge, then at the +Z edge.
// Top, bottom and the slab's own long sides show the border material; its ends the block's.
constexpr std::array<int, 6> kBorderSlabEntitiesX = {0, 1, 12, 13, 4, 5};
constexpr std::array<int, 6> kBorderSlabEntitiesZ = {0, 1, 2, 3, 14, 15};
}  // namespace

ChunkMesher::ChunkMesher(platform::Engine3D& engine, const BlockDefinitionTable& definitions,
                         CustomBlockMap& customBlocks, const platform::FontLibrary& fonts,
                         const world::Settings& settings, Clock clock)
    : engine_(engine),
      definitions_(definitions),
      customBlocks_(customBlocks),
      fonts_(fonts),
      settings_(settings),
      clock_(std::move(clock)),
      random_(std::random_device{}()) {
  meshSection_.fill(-1);
  meshSlotState_.fill(kMeshSlotIdle);
}

void ChunkMesher::LookUpTemplateEntities() {
  for (int entity = 0; entity <= kCrossedQuadEntity; ++entity)
    entityHandles_[entity] = engine_.PBO_EntityID(entity);
}

ChunkRenderEntry& ChunkMesher::EntryOf(int32_t chunkId) {
  return chunkRenderMap_[std::to_string(chunkId)];
}

int ChunkMesher::CreateBandGeometry() {
  return engine_.PBO_CreateStaticGeometry(-1, kGeometrySizeX, kGeometrySizeY, kGeometrySizeZ, 1);
}

const BlockRecord* ChunkMesher::NextRecord(int slot, int band, const world::HeightBandLists& faceLists) {
  const auto& list = faceLists[band];
  size_t& cursor = listCursor_[slot][band];
  if (cursor >= list.size()) return nullptr;  // exhausted: stays so until rewound
  return &list[cursor++];
}

int ChunkMesher::BuildChunkMeshStep(int32_t chunkId, int slot, const world::HeightBandLists& faceLists,
                                    int32_t originX, int32_t originZ, int resetCache) {
  if (resetCache != 0) {
    meshLastType_ = -1;
    meshLastCustomId_ = -1;
  }
  LookUpTemplateEntities();
  int& section = meshSection_[slot];
  int& state = meshSlotState_[slot];

  if (section == -1) {
    section = 0;
    state = kMeshSlotBuilding;
    listCursor_[slot].fill(0);
    meshGeometry_ = CreateBandGeometry();
    meshExtraGeometry_ =
        engine_.PBO_CreateStaticGeometry(-1, kGeometrySizeX, kGeometrySizeY, kGeometrySizeZ, 0);
    ChunkRenderEntry& entry = EntryOf(chunkId);
    entry.geometries[0] = meshGeometry_;
    entry.geometries[kModelGeometryIndex] = meshExtraGeometry_;
  }

  const int64_t start = clock_();
  bool addedRecord = false;
  // Only the mesher adds to, builds or makes geometries while a call runs, so whether both of
  // the chunk's geometries still exist changes only when it opens a band geometry.
  bool geometriesExist = BothGeometriesExist();
  int stepsUntilClockRead = kStepsPerClockRead;
  while (true) {
    if (--stepsUntilClockRead == 0) {
      stepsUntilClockRead = kStepsPerClockRead;
      if (clock_() - start >= kTimeSliceMs) return 0;
    }

    if (section == world::kHeightBandCount) {
      if (engine_.PBO_IsStaticGeometry(meshExtraGeometry_) != 0) {
        engine_.PBO_BuildStaticGeometry(meshExtraGeometry_);
        EntryOf(chunkId).complete = 1;
      }
      state = kMeshSlotIdle;
      section = -1;
      return 1;
    }

    if (meshGeometry_ == 0) {
      if (NextRecord(slot, section, faceLists) == nullptr) {
        ++section;
        continue;
      }
      state = kMeshSlotBuilding;
      meshGeometry_ = CreateBandGeometry();
      geometriesExist = BothGeometriesExist();
      ChunkRenderEntry& entry = EntryOf(chunkId);
      entry.geometries[section] = meshGeometry_;
      entry.complete = 0;
      listCursor_[slot][section] = 0;
      continue;
    }

    const BlockRecord* record = NextRecord(slot, section, faceLists);
    if (record != nullptr && geometriesExist) {
      PlaceRecord(*record, originX, originZ);
      addedRecord = true;
      if (drewPlaceholder_) {  // drawing a texture takes long: look at the clock right away
        drewPlaceholder_ = false;
        stepsUntilClockRead = 1;
      }
      continue;
    }
    if (!geometriesExist) {
      state = kMeshSlotAbandoned;
      section = -1;
      return 1;
    }
    if (!addedRecord) {
      engine_.PBO_BuildStaticGeometry(meshGeometry_);
      meshGeometry_ = 0;
      continue;
    }
    state = kMeshSlotBandDue;
    return 0;
  }
}

bool ChunkMesher::BothGeometriesExist() const {
  return engine_.PBO_IsStaticGeometry(meshGeometry_) != 0 && engine_.PBO_IsStaticGeometry(meshExtraGeometry_) != 0;
}

void ChunkMesher::PlaceRecord(const BlockRecord& record, int32_t originX, int32_t originZ) {
  const Position at{static_cast<float>(originX) + static_cast<float>(record.col) * 0.5f,
                    static_cast<float>(record.height) * 0.5f,
                    static_cast<float>(originZ) + static_cast<float>(record.row) * 0.5f};
  if (definitions_[record.type].kind == kMeshBlockKind) {
    AddMeshBlock(record, at);
    return;
  }
  if (record.type == kCustomBlockType) {
    ApplyCustomBlockMaterials(record.extra);
  } else {
    ApplyBlockTypeMaterials(record.type);
  }
  AddCubeFaces(record, at);
}

void ChunkMesher::SetTemplateMaterial(int entity, int material) {
  engine_.PBO_SetEntityMaterial(entity, engine_.PBO_MaterialID(material));
}

void ChunkMesher::ApplyBlockTypeMaterials(uint8_t type) {
  if (type == meshLastType_) return;
  meshLastCustomId_ = -1;
  const BlockDefinition& definition = definitions_[type];
  if (IsCubeTextype(definition.textype)) {
    for (int face = 0; face < 6; ++face)
      SetTemplateMaterial(kFirstFaceTemplateEntity + face,
                          definition.faceMaterials[FaceSlotOfTextype(definition.textype, static_cast<CubeFace>(face))]);
  } else if (definition.textype == 5) {
    SetTemplateMaterial(kCrossedQuadEntity, definition.faceMaterials[0]);
  }
  meshLastType_ = type;
}

void ChunkMesher::ApplyCustomBlockMaterials(int32_t customId) {
  if (customId == meshLastCustomId_) return;
  meshLastCustomId_ = customId;
  const size_t knownBefore = customBlocks_.Size();
  const CustomBlockDefinition& definition =
      FindOrAddUnknownCustomBlock(customBlocks_, customId, engine_, fonts_, random_);
  drewPlaceholder_ = customBlocks_.Size() != knownBefore;
  if (definition.kind >= 1 && definition.kind <= 4) {  // other layouts leave the faces as they are
    for (int face = 0; face < 6; ++face)
      SetTemplateMaterial(kFirstFaceTemplateEntity + face,
                          definition.faces[FaceSlotOfKind(definition.kind, static_cast<CubeFace>(face))]);
  }
  meshLastType_ = kCustomBlockType;
}

void ChunkMesher::AddCubeFaces(const BlockRecord& record, Position at) {
  float scaleX = 1.0f;
  float scaleZ = 1.0f;
  const bool wholeBlock = (record.faceMask & world::kFaceWholeBlock) != 0;
  if (settings_.VisibleChunkBorders != 0 && !wholeBlock) {
    // A block at the chunk's +X or +Z edge is drawn 0.9 wide and a thin slab fills the rest,
    // showing the border material as a line along the edge.
    if (record.col == world::kChunkColumns - 1) {
      scaleX = 0.9f;
      at.x -= 0.025f;
      for (int face = 0; face < 6; ++face)
        if (record.faceMask & kFaceBits[face])
          engine_.PBO_AddStaticGeometryEntity2(meshGeometry_, entityHandles_[kBorderSlabEntitiesX[face]],
                                               at.x + 0.25f, at.y, at.z, 0.1f, 1.0f, 1.0f);
    }
    if (record.row == world::kChunkRows - 1) {
      scaleZ = 0.9f;
      at.z -= 0.025f;
      for (int face = 0; face < 6; ++face)
        if (record.faceMask & kFaceBits[face])
          engine_.PBO_AddStaticGeometryEntity2(meshGeometry_, entityHandles_[kBorderSlabEntitiesZ[face]],
                                               at.x, at.y, at.z + 0.25f, 1.0f, 1.0f, 0.1f);
    }
  }
  if (wholeBlock) {
    engine_.PBO_AddStaticGeometryEntity2(meshExtraGeometry_, entityHandles_[kCrossedQuadEntity], at.x, at.y,
                                         at.z, scaleX, 1.0f, scaleZ);
    return;
  }
  for (int face = 0; face < 6; ++face)
    if (record.faceMask & kFaceBits[face])
      engine_.PBO_AddStaticGeometryEntity2(meshGeometry_, entityHandles_[kFirstFaceTemplateEntity + face],
                                           at.x, at.y, at.z, scaleX, 1.0f, scaleZ);
}

void ChunkMesher::AddMeshBlock(const BlockRecord& record, Position at) {
  const MeshBlockPlacement p = MeshBlockPlacementFor(record.extra);
  engine_.PBO_AddStaticGeometryEntity3(meshExtraGeometry_,
                                       engine_.PBO_EntityID(definitions_[record.type].meshEntity), at.x + p.offsetX,
                                       at.y + p.offsetY, at.z + p.offsetZ, p.scaleX, p.scaleY, p.scaleZ, p.angleX,
                                       p.angleY, p.angleZ);
}

void ChunkMesher::FreeChunkGeometry(int32_t chunkId) {
  const auto found = chunkRenderMap_.find(std::to_string(chunkId));
  if (found == chunkRenderMap_.end()) return;
  for (const int32_t geometry : found->second.geometries)
    if (geometry != 0 && engine_.PBO_IsStaticGeometry(geometry) != 0)
      engine_.PBO_FreeStaticGeometry(geometry);
  chunkRenderMap_.erase(found);
}

void ChunkMesher::FreeAllChunkGeometry() {
  engine_.PBO_FreeStaticGeometry(-1);
  chunkRenderMap_.clear();
  meshSection_.fill(-1);
  meshSlotState_.fill(kMeshSlotIdle);
  meshGeometry_ = 0;
  meshExtraGeometry_ = 0;
}

}  // namespace orelens::viewer
