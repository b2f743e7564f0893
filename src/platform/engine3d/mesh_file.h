#pragma once

#include <filesystem>
#include <optional>

#include "platform/engine3d/scene.h"

namespace orelens::platform {

// Reads a mesh file (OBJ and the other formats of the importer) into one mesh: every part of the
// file's scene, placed by its transforms, triangulated, with normals (made when missing) and UVs
// with v running down the picture. Nothing for a missing, unreadable or empty file.
std::optional<Mesh> LoadMeshFile(const std::filesystem::path& path);

}  // namespace orelens::platform
