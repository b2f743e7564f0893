#pragma once

// A headless scene set up as start-up sets it up for the chunk mesher (the real face templates,
// border entities and crossed quads), a mesher over it with a clock the test moves, and a reader
// that turns what the mesher added to a static geometry back into faces.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <glm/glm.hpp>

#include "platform/draw2d/font_library.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"
#include "viewer/chunk_mesher.h"
#include "viewer/face_templates.h"

namespace orelens::viewer::mesher_test {

constexpr int32_t kOriginX = 24;
constexpr int32_t kOriginZ = -40;
constexpr int kBorder = 999;  // the border material

// One quad as a static geometry holds it: positions in thousandths of an engine unit, the
// packed normal, the texture corners at the quad's lowest and highest corner, and the material.
struct AddedFace {
  int material = 0;
  std::array<long, 3> min{}, max{};
  std::array<int, 3> normal{};
  std::array<float, 2> uvAtMin{}, uvAtMax{};
  auto operator<=>(const AddedFace&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const AddedFace& face) {
  return out << "\n  material " << face.material << " (" << face.min[0] << ' ' << face.min[1] << ' ' << face.min[2]
             << ")-(" << face.max[0] << ' ' << face.max[1] << ' ' << face.max[2] << ") normal " << face.normal[0] << ' '
             << face.normal[1] << ' ' << face.normal[2] << " uv " << face.uvAtMin[0] << ',' << face.uvAtMin[1] << " / "
             << face.uvAtMax[0] << ',' << face.uvAtMax[1];
}

inline long Thousandths(float value) { return std::lround(static_cast<double>(value) * 1000.0); }
inline std::array<long, 3> Thousandths(glm::vec3 p) { return {Thousandths(p.x), Thousandths(p.y), Thousandths(p.z)}; }

// The lowest and highest corner of the quad whose six indices start at `first`.
inline std::pair<glm::vec3, glm::vec3> QuadBounds(const platform::GeometryBatch& batch, size_t first) {
  glm::vec3 low(1e30f), high(-1e30f);
  for (size_t i = first; i < first + 6; ++i) {
    const auto& v = batch.vertices[batch.indices[i]];
    low = glm::min(low, glm::vec3(v.x, v.y, v.z));
    high = glm::max(high, glm::vec3(v.x, v.y, v.z));
  }
  return {low, high};
}

// Every add of a quad template appends its four corners and six indices to the batch of the
// entity's material, so six indices in a row are one quad.
inline std::vector<AddedFace> FacesOf(const platform::StaticGeometry& geometry) {
  std::vector<AddedFace> faces;
  for (const auto& batch : geometry.batches) {
    EXPECT_EQ(batch.indices.size() % 6, 0u);
    for (size_t first = 0; first + 6 <= batch.indices.size(); first += 6) {
      const auto [low, high] = QuadBounds(batch, first);
      AddedFace face;
      face.material = batch.materialKey;
      face.min = Thousandths(low);
      face.max = Thousandths(high);
      const auto& corner = batch.vertices[batch.indices[first]];
      face.normal = {corner.nx, corner.ny, corner.nz};
      for (size_t i = first; i < first + 6; ++i) {
        const auto& v = batch.vertices[batch.indices[i]];
        const auto at = Thousandths(glm::vec3(v.x, v.y, v.z));
        if (at == face.min) face.uvAtMin = {v.u, v.v};
        if (at == face.max) face.uvAtMax = {v.u, v.v};
      }
      faces.push_back(face);
    }
  }
  std::sort(faces.begin(), faces.end());
  return faces;
}

// The quads of a geometry cut into block-sized cells (a face narrower than a block is one cell),
// each with the texture corners it shows reduced by whole repeats: a rectangle whose texture
// repeats once per block gives the same cells as the faces it stands for, texel for texel.
inline std::vector<AddedFace> CellFacesOf(const platform::StaticGeometry& geometry) {
  std::vector<AddedFace> cells;
  for (const auto& batch : geometry.batches) {
    for (size_t first = 0; first + 6 <= batch.indices.size(); first += 6) {
      const auto [low, high] = QuadBounds(batch, first);
      int flat = 0;
      for (int axis = 0; axis < 3; ++axis)
        if (low[axis] == high[axis]) flat = axis;
      const int p = (flat + 1) % 3, q = (flat + 2) % 3;
      // The texture corners at (low, low), (high, low) and (low, high) along p and q.
      glm::vec2 uv[3]{};
      for (size_t i = first; i < first + 6; ++i) {
        const auto& v = batch.vertices[batch.indices[i]];
        const glm::vec3 at(v.x, v.y, v.z);
        if (at[q] == low[q]) uv[at[p] == low[p] ? 0 : 1] = {v.u, v.v};
        if (at[p] == low[p] && at[q] == high[q]) uv[2] = {v.u, v.v};
      }
      const int cellsP = std::max(1, static_cast<int>(std::lround((high[p] - low[p]) / 0.5f)));
      const int cellsQ = std::max(1, static_cast<int>(std::lround((high[q] - low[q]) / 0.5f)));
      const auto& corner = batch.vertices[batch.indices[first]];
      for (int i = 0; i < cellsP; ++i)
        for (int j = 0; j < cellsQ; ++j) {
          glm::vec3 cellLow = low, cellHigh = high;
          cellLow[p] = low[p] + (high[p] - low[p]) * float(i) / float(cellsP);
          cellHigh[p] = low[p] + (high[p] - low[p]) * float(i + 1) / float(cellsP);
          cellLow[q] = low[q] + (high[q] - low[q]) * float(j) / float(cellsQ);
          cellHigh[q] = low[q] + (high[q] - low[q]) * float(j + 1) / float(cellsQ);
          auto uvAt = [&](int a, int b) {
            return uv[0] + (uv[1] - uv[0]) * (float(a) / float(cellsP)) + (uv[2] - uv[0]) * (float(b) / float(cellsQ));
          };
          const glm::vec2 atLow = uvAt(i, j), atHigh = uvAt(i + 1, j + 1);
          const glm::vec2 repeats = glm::floor(atLow + glm::vec2(1e-4f));
          auto rounded = [](glm::vec2 t) {
            return std::array<float, 2>{std::round(t.x * 1000.0f) / 1000.0f, std::round(t.y * 1000.0f) / 1000.0f};
          };
          cells.push_back({batch.materialKey, Thousandths(cellLow), Thousandths(cellHigh),
                           {corner.nx, corner.ny, corner.nz}, rounded(atLow - repeats), rounded(atHigh - repeats)});
        }
    }
  }
  std::sort(cells.begin(), cells.end());
  return cells;
}

// Triangles a geometry draws.
inline size_t TrianglesOf(const platform::StaticGeometry& geometry) {
  size_t triangles = 0;
  for (const auto& batch : geometry.batches) triangles += batch.indices.size() / 3;
  return triangles;
}

struct Box {
  glm::vec3 min, max;
};

// The cell of a record: half an engine unit wide, centred on its position.
inline glm::vec3 CellCentre(int col, int row, int height) {
  return {kOriginX + col * 0.5f, height * 0.5f, kOriginZ + row * 0.5f};
}
inline Box CellBox(int col, int row, int height) {
  const glm::vec3 centre = CellCentre(col, row, height);
  return {centre - glm::vec3(0.25f), centre + glm::vec3(0.25f)};
}

class MesherScene : public ::testing::Test {
 protected:
  std::unique_ptr<platform::Engine3D> engine = platform::MakeHeadlessEngine();
  platform::FontLibrary fonts;
  BlockDefinitionTable definitions{};
  CustomBlockMap customBlocks;
  world::Settings settings;
  // Milliseconds as the mesher reads them: a millisecond passes with each reading, so a call
  // that never finishes its work still ends.
  std::function<int64_t()> clock = [now = int64_t{1000}]() mutable { return now++; };
  std::unique_ptr<ChunkMesher> mesher;
  world::HeightBandLists lists;

  void SetUp() override {
    engine->PBO_InitEngine3D(2);
    for (int material = 0; material < 64; ++material) {
      engine->PBO_CreateTexture(material, 1, 1);
      engine->PBO_CreateMaterial(material, engine->PBO_TextureID(material));
    }
    engine->PBO_CreateTexture(kBorder, 1, 1);
    CreateFaceTemplateMeshes(*engine, definitions);
    mesher = std::make_unique<ChunkMesher>(*engine, definitions, customBlocks, fonts, settings,
                                           [this] { return clock(); });
    mesher->SetFaceMerging(false);  // the geometry holds exactly the faces placed
  }

  void Add(int col, int row, int height, uint8_t type, uint8_t mask, int32_t extra = 0) {
    lists[height / 50].push_back(world::BlockRecord{col, row, height, type, mask, extra});
  }
  int Step(int32_t chunkId = 7, int slot = 0) {
    return mesher->BuildChunkMeshStep(chunkId, slot, lists, kOriginX, kOriginZ, 1);
  }
  // Calls until the slot is finished; returns the number of calls.
  int MeshToEnd(int32_t chunkId = 7, int slot = 0) {
    for (int calls = 1; calls < 1000; ++calls)
      if (Step(chunkId, slot) == 1) return calls;
    ADD_FAILURE() << "the mesher never finished";
    return 0;
  }
  // Meshes the records added so far as chunk 7 from scratch and forgets them.
  void MeshAgain() {
    mesher->FreeChunkGeometry(7);
    MeshToEnd();
    lists = {};
  }
  const ChunkRenderEntry& Entry(const std::string& key) { return mesher->RenderMap().at(key); }
  const platform::StaticGeometry& Geometry(int handle) {
    static const platform::StaticGeometry kNone;
    const auto* geometry = engine->FindStaticGeometry(handle);
    EXPECT_NE(geometry, nullptr);
    return geometry ? *geometry : kNone;
  }
  std::vector<AddedFace> BandFaces(int band, const std::string& chunk = "7") {
    return FacesOf(Geometry(Entry(chunk).geometries[band]));
  }
  std::vector<AddedFace> ModelFaces(const std::string& chunk = "7") {
    return FacesOf(Geometry(Entry(chunk).geometries[kModelGeometryIndex]));
  }

  // The texture corners of a template quad at its lowest and highest corner, as the mesh has them.
  std::array<std::array<float, 2>, 2> TemplateUvs(int meshNumber, size_t quad) {
    const platform::Mesh* mesh = engine->GetScene().meshes.Find(meshNumber);
    glm::vec3 low(1e30f), high(-1e30f);
    for (size_t i = quad * 6; i < quad * 6 + 6; ++i) {
      low = glm::min(low, mesh->vertices[mesh->indices[i]].position);
      high = glm::max(high, mesh->vertices[mesh->indices[i]].position);
    }
    std::array<std::array<float, 2>, 2> uvs{};
    for (size_t i = quad * 6; i < quad * 6 + 6; ++i) {
      const auto& v = mesh->vertices[mesh->indices[i]];
      if (v.position == low) uvs[0] = {v.uv.x, v.uv.y};
      if (v.position == high) uvs[1] = {v.uv.x, v.uv.y};
    }
    return uvs;
  }

  // The faces of a box for the face-mask bits set, face k showing materials[k], each textured
  // like its face template.
  std::vector<AddedFace> BoxFaces(Box box, uint8_t mask, std::array<int, 6> materials) {
    std::vector<AddedFace> faces;
    for (int k = 0; k < 6; ++k) {
      if ((mask & (1 << k)) == 0) continue;
      glm::vec3 low = box.min, high = box.max;
      std::array<int, 3> normal{};
      switch (k) {
        case 0: low.y = high.y, normal = {0, 127, 0}; break;
        case 1: high.y = low.y, normal = {0, -127, 0}; break;
        case 2: high.x = low.x, normal = {-127, 0, 0}; break;
        case 3: low.x = high.x, normal = {127, 0, 0}; break;
        case 4: low.z = high.z, normal = {0, 0, 127}; break;
        default: high.z = low.z, normal = {0, 0, -127}; break;
      }
      const auto uvs = TemplateUvs(kTopFaceMesh + k, 0);
      faces.push_back({materials[k], Thousandths(low), Thousandths(high), normal, uvs[0], uvs[1]});
    }
    return faces;
  }
  // The two crossed quads of a plant standing in `box`, through its centre.
  std::vector<AddedFace> CrossedQuads(Box box, int material) {
    const glm::vec3 centre = (box.min + box.max) * 0.5f;
    std::vector<AddedFace> faces;
    const auto alongZ = TemplateUvs(kCrossedQuadMesh, 0), alongX = TemplateUvs(kCrossedQuadMesh, 1);
    faces.push_back({material, Thousandths(glm::vec3(centre.x, box.min.y, box.min.z)),
                     Thousandths(glm::vec3(centre.x, box.max.y, box.max.z)), {0, 0, 0}, alongZ[0], alongZ[1]});
    faces.push_back({material, Thousandths(glm::vec3(box.min.x, box.min.y, centre.z)),
                     Thousandths(glm::vec3(box.max.x, box.max.y, centre.z)), {0, 0, 0}, alongX[0], alongX[1]});
    return faces;
  }
};

inline std::vector<AddedFace> Sorted(std::vector<AddedFace> faces) {
  std::sort(faces.begin(), faces.end());
  return faces;
}
inline std::vector<AddedFace> Joined(std::initializer_list<std::vector<AddedFace>> parts) {
  std::vector<AddedFace> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return Sorted(all);
}

}  // namespace orelens::viewer::mesher_test
