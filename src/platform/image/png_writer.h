#pragma once

#include <string>

#include "platform/image/image.h"

namespace orelens::platform {

// Saves the picture as an 8-bit RGBA PNG file, replacing any file at that path.
// Returns false when the file cannot be written (missing folder, no permission, empty picture);
// libpng removes a file it could only partly write.
bool WritePngFile(const std::string& path, const Image& image);

}  // namespace orelens::platform
