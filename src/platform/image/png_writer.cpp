#include "platform/image/png_writer.h"

#include <png.h>

#include <cstdint>
#include <vector>

namespace orelens::platform {

bool WritePngFile(const std::string& path, const Image& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
    return false;
  }
  // Our pixels are packed integers; libpng wants R, G, B, A bytes whatever the host byte order.
  std::vector<uint8_t> bytes;
  bytes.reserve(image.pixels.size() * 4);
  for (uint32_t pixel : image.pixels) {
    bytes.push_back(static_cast<uint8_t>(RedOf(pixel)));
    bytes.push_back(static_cast<uint8_t>(GreenOf(pixel)));
    bytes.push_back(static_cast<uint8_t>(BlueOf(pixel)));
    bytes.push_back(static_cast<uint8_t>(AlphaOf(pixel)));
  }

  png_image description{};
  description.version = PNG_IMAGE_VERSION;
  description.width = static_cast<png_uint_32>(image.width);
  description.height = static_cast<png_uint_32>(image.height);
  description.format = PNG_FORMAT_RGBA;
  // The simplified writer reports errors through its return value, not through longjmp,
  // so no C++ object is skipped on failure.
  const int written = png_image_write_to_file(&description, path.c_str(), 0, bytes.data(),
                                              static_cast<png_int_32>(image.width) * 4, nullptr);
  png_image_free(&description);
  return written != 0;
}

}  // namespace orelens::platform
