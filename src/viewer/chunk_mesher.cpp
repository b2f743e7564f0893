#include "viewer/chunk_mesher.h"

#include <algorithm>
#include <bit>

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
constexpr int kStepsPerClockRead = 64;
constexpr float kGeometrySizeX = 32.0f;
constexpr float kGeometrySizeY = 50.0f;
constexpr float kGeometrySizeZ = 32.0f;
constexpr uint8_t kMeshBlockKind = 3;
constexpr uint8_t kCustomBlockType = 66;

// The face-mask bits in face order 0..5.
constexpr std::array<uint8_t, 6> kFaceBits = {world::kFaceTop,   world::kFaceBottom, world::kFaceMinusX,
                                              world::kFacePlusX, world::kFacePlusZ,  world::kFaceMinusZ};
constexpr unsigned kCubeFaceBits = 0x3F;  // face f is bit f
static_assert(kFaceBits[0] == 1 && kFaceBits[1] == 2 && kFaceBits[2] == 4 && kFaceBits[3] == 8 &&
              kFaceBits[4] == 16 && kFaceBits[5] == 32);

// Where and how wide a cell's faces are drawn. With chunk borders shown, a block at the chunk's
// +X or +Z edge is drawn 0.9 wide and a thin slab fills the rest, showing the border material as
// a line along the edge. Faces merge only with faces of their own layout.
enum FaceLayout : int { kWholeCell, kEdgeX, kEdgeZ, kEdgeCorner, kSlabX, kSlabZ, kSlabZAtCorner, kLayoutCount };
struct FaceLayoutShape {
  bool narrowX, narrowZ;  // the block is drawn 0.9 wide along the axis, its centre moved in by 0.025
  float slabShiftX, slabShiftZ;  // a slab stands 0.25 on from the narrowed block's centre
  float scaleX, scaleZ;
  std::array<int, 6> entities;  // by face
  bool slab;
};
// The slab entities by face: top, bottom and the ends show the border material, the long sides
// the block's.
constexpr std::array<int, 6> kFaceTemplateEntities = {10, 11, 12, 13, 14, 15};
constexpr std::array<int, 6> kBorderSlabEntitiesX = {0, 1, 12, 13, 4, 5};
constexpr std::array<int, 6> kBorderSlabEntitiesZ = {0, 1, 2, 3, 14, 15};
constexpr std::array<FaceLayoutShape, kLayoutCount> kFaceLayouts = {{
    {false, false, 0.0f, 0.0f, 1.0f, 1.0f, kFaceTemplateEntities, false},   // kWholeCell
    {true, false, 0.0f, 0.0f, 0.9f, 1.0f, kFaceTemplateEntities, false},    // kEdgeX
    {false, true, 0.0f, 0.0f, 1.0f, 0.9f, kFaceTemplateEntities, false},    // kEdgeZ
    {true, true, 0.0f, 0.0f, 0.9f, 0.9f, kFaceTemplateEntities, false},     // kEdgeCorner
    {true, false, 0.25f, 0.0f, 0.1f, 1.0f, kBorderSlabEntitiesX, true},     // kSlabX (the corner's too)
    {false, true, 0.0f, 0.25f, 1.0f, 0.1f, kBorderSlabEntitiesZ, true},     // kSlabZ
    {true, true, 0.0f, 0.25f, 1.0f, 0.1f, kBorderSlabEntitiesZ, true},      // kSlabZAtCorner
}};
static_assert(kFaceTemplateEntities[0] == kFirstFaceTemplateEntity);

// Where a face of the cell whose corner stands at `cell` is placed in `layout`.
constexpr float PlacedAt(float cell, bool narrow, float slabShift) {
  if (narrow) cell -= 0.025f;
  if (slabShift != 0.0f) cell += slabShift;
  return cell;
}
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

void ChunkMesher::OpenBandGeometry(int band) {
  meshGeometry_ = CreateBandGeometry();
  bandMerging_ = faceMerging_;
  bandFirstHeight_ = band * world::kHeightBandSize;
  bandGrid_.Clear();
  slabGrid_.Clear();
  static_assert(std::tuple_size_v<decltype(gridSlots_)> == kLayoutCount);
  for (auto& slots : gridSlots_) slots.fill(kSlotNotLookedUp);
  blendedFaces_.clear();
  blendedSorted_ = false;
  if (bandMerging_) NoteTemplateMaterials();
}

// What the entities that band faces are copied from carry now, for the faces that wait.
void ChunkMesher::NoteTemplateMaterials() {
  for (int entity = 0; entity < kCrossedQuadEntity; ++entity) NoteTemplateMaterial(entity);
}

void ChunkMesher::NoteTemplateMaterial(int entity) {
  entityMaterials_[entity] = engine_.EntityMaterial(entityHandles_[entity]);
  entityBlended_[entity] = engine_.IsMaterialBlended(entityMaterials_[entity]);
  entityWaits_[entity] = !entityBlended_[entity] && entityMaterials_[entity] != 0;
  for (auto& slots : gridSlots_) slots[static_cast<size_t>(entity)] = kSlotNotLookedUp;
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
    OpenBandGeometry(0);
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
      OpenBandGeometry(section);
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
      if (bandMerging_ && !AddMergedFaces(originX, originZ, start)) {
        state = kMeshSlotBandDue;
        return 0;
      }
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
  if (bandMerging_) NoteTemplateMaterial(entity);
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

void ChunkMesher::AddCubeFaces(const BlockRecord& record, Position cell) {
  const bool wholeBlock = (record.faceMask & world::kFaceWholeBlock) != 0;
  if (wholeBlock) {
    engine_.PBO_AddStaticGeometryEntity2(meshExtraGeometry_, entityHandles_[kCrossedQuadEntity], cell.x, cell.y,
                                         cell.z, 1.0f, 1.0f, 1.0f);
    return;
  }
  FaceLayout layout = kWholeCell;
  if (settings_.VisibleChunkBorders != 0) {
    const bool edgeX = record.col == world::kChunkColumns - 1, edgeZ = record.row == world::kChunkRows - 1;
    if (edgeX) AddCellFaces(record, cell, kSlabX);
    if (edgeZ) AddCellFaces(record, cell, edgeX ? kSlabZAtCorner : kSlabZ);
    layout = edgeX ? (edgeZ ? kEdgeCorner : kEdgeX) : (edgeZ ? kEdgeZ : kWholeCell);
  }
  AddCellFaces(record, cell, layout);
}

// The record's shown faces in `layout`. Merging, the opaque ones wait in the band's grids.
void ChunkMesher::AddCellFaces(const BlockRecord& record, Position cell, int layout) {
  const FaceLayoutShape& shape = kFaceLayouts[static_cast<size_t>(layout)];
  BandFaceGrid& grid = shape.slab ? slabGrid_ : bandGrid_;
  // Only the faces shown: a test of each of the six bits is mispredicted often.
  for (unsigned shown = record.faceMask & kCubeFaceBits; shown != 0; shown &= shown - 1) {
    const int face = std::countr_zero(shown);
    const int entity = shape.entities[static_cast<size_t>(face)];
    if (bandMerging_ && entityWaits_[entity]) {
      int& slot = gridSlots_[static_cast<size_t>(layout)][static_cast<size_t>(entity)];
      if (slot == kSlotNotLookedUp) slot = grid.SlotOf(entityMaterials_[entity], layout);
      if (slot >= 0 && grid.PutInSlot(face, record.col, record.row, record.height - bandFirstHeight_, slot)) continue;
    }
    const Position at{PlacedAt(cell.x, shape.narrowX, shape.slabShiftX), cell.y,
                      PlacedAt(cell.z, shape.narrowZ, shape.slabShiftZ)};
    AddBandFace(entity, record, layout == kWholeCell ? face : -1, at, shape.scaleX, shape.scaleZ);
  }
}

// A face for the open band geometry that does not wait in a grid: added at once, or (merging,
// a blended material) left to wait for the band's build in the order placed. `face`: which face
// of the record's cell it is, or -1 for a face that never merges.
void ChunkMesher::AddBandFace(int entity, const BlockRecord& record, int face, Position at, float scaleX,
                              float scaleZ) {
  if (bandMerging_ && entityBlended_[entity]) {
    blendedFaces_.push_back({entity, entityMaterials_[entity], at, scaleX, scaleZ, face, record.col, record.row,
                             record.height - bandFirstHeight_});
    return;
  }
  engine_.PBO_AddStaticGeometryEntity2(meshGeometry_, entityHandles_[entity], at.x, at.y, at.z, scaleX, 1.0f, scaleZ);
}

// The band's waiting faces into its geometry, before it is built: blended ones of a material that
// shows in one plane facing one way join the grid, the other blended ones follow in the order
// they were placed, then the grid's rectangles plane by plane. False when the slice that began at
// `start` ran out first; the next call goes on where this one stopped.
bool ChunkMesher::AddMergedFaces(int32_t originX, int32_t originZ, int64_t start) {
  if (!blendedSorted_) {
    struct BlendedMaterial {
      int material, face, plane;
      bool onePlane;
    };
    std::vector<BlendedMaterial> materials;
    auto planeOf = [](const WaitingFace& f) { return f.face < 2 ? f.height : f.face < 4 ? f.col : f.row; };
    auto materialOf = [&materials](const WaitingFace& f) {
      return std::find_if(materials.begin(), materials.end(),
                          [&f](const BlendedMaterial& m) { return m.material == f.material; });
    };
    for (const WaitingFace& waiting : blendedFaces_) {
      const auto known = materialOf(waiting);
      if (known == materials.end()) {
        materials.push_back({waiting.material, waiting.face, planeOf(waiting), waiting.face >= 0});
      } else if (waiting.face != known->face || planeOf(waiting) != known->plane) {
        known->onePlane = false;
      }
    }
    for (WaitingFace& waiting : blendedFaces_) {
      if (materialOf(waiting)->onePlane &&
          bandGrid_.Put(waiting.face, waiting.col, waiting.row, waiting.height, waiting.material))
        waiting.entity = -1;  // in the grid now
    }
    blendedSorted_ = true;
    blendedNext_ = 0;
  }
  constexpr size_t kFacesPerClockRead = 256;
  for (; blendedNext_ < blendedFaces_.size(); ++blendedNext_) {
    const WaitingFace& waiting = blendedFaces_[blendedNext_];
    if (waiting.entity < 0) continue;
    const platform::StaticGeometryTile tile{.x = waiting.at.x, .y = waiting.at.y, .z = waiting.at.z,
                                            .scaleX = waiting.scaleX, .scaleZ = waiting.scaleZ,
                                            .materialHandle = waiting.material};
    engine_.AddStaticGeometryTiles(meshGeometry_, entityHandles_[waiting.entity], {&tile, 1});
    if ((blendedNext_ + 1) % kFacesPerClockRead == 0 && clock_() - start >= kTimeSliceMs) {
      ++blendedNext_;
      return false;
    }
  }
  size_t rectanglesUntilClockRead = kFacesPerClockRead;
  while (bandGrid_.TakeNextPlane(rectangles_) || slabGrid_.TakeNextPlane(rectangles_)) {
    AddRectangles(originX, originZ);
    // Most planes hold a few rectangles: the clock is read once some hundred have been added.
    if (rectangles_.size() < rectanglesUntilClockRead) {
      rectanglesUntilClockRead -= rectangles_.size();
      continue;
    }
    rectanglesUntilClockRead = kFacesPerClockRead;
    if (clock_() - start >= kTimeSliceMs) return false;
  }
  blendedFaces_.clear();
  blendedSorted_ = false;
  return true;
}

// A plane's rectangles (all facing one way) into the band geometry, in runs of one entity: the
// grid hands those of one material and layout one after another.
void ChunkMesher::AddRectangles(int32_t originX, int32_t originZ) {
  int runEntity = -1;
  auto addRun = [&] {
    if (!tiles_.empty()) engine_.AddStaticGeometryTiles(meshGeometry_, entityHandles_[runEntity], tiles_);
    tiles_.clear();
  };
  for (const BandFaceGrid::Rectangle& r : rectangles_) {
    const FaceLayoutShape& shape = kFaceLayouts[static_cast<size_t>(r.layout)];
    const int entity = shape.entities[static_cast<size_t>(r.face)];
    if (entity != runEntity) {
      addRun();
      runEntity = entity;
    }
    tiles_.push_back(
        {.x = PlacedAt(static_cast<float>(originX) + static_cast<float>(r.col) * 0.5f, shape.narrowX, shape.slabShiftX),
         .y = static_cast<float>(bandFirstHeight_ + r.height) * 0.5f,
         .z = PlacedAt(static_cast<float>(originZ) + static_cast<float>(r.row) * 0.5f, shape.narrowZ, shape.slabShiftZ),
         .scaleX = shape.scaleX, .scaleZ = shape.scaleZ,
         .copiesX = r.cols, .copiesY = r.heights, .copiesZ = r.rows,
         .materialHandle = r.material});
  }
  addRun();
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
