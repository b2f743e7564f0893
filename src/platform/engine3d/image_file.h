#pragma once

#include <filesystem>
#include <optional>

#include "platform/image/image.h"

namespace orelens::platform {

// Decodes a picture file (PNG, JPEG, BMP, TGA, ...) into RGBA. Nothing for a missing, unreadable
// or undecodable file.
std::optional<Image> LoadImageFile(const std::filesystem::path& path);

}  // namespace orelens::platform
