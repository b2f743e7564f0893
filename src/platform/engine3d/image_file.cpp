#include "platform/engine3d/image_file.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

// stb_image stays private to this file.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384  // larger claims are refused before any allocation
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace orelens::platform {

namespace {

constexpr std::uintmax_t kMaxImageFileBytes = 256u << 20;

}  // namespace

std::optional<Image> LoadImageFile(const std::filesystem::path& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size == 0 || size > kMaxImageFileBytes) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.empty()) return std::nullopt;
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
  if (!pixels) return std::nullopt;
  Image image(width, height);
  std::memcpy(image.pixels.data(), pixels, static_cast<size_t>(width) * height * 4);
  stbi_image_free(pixels);
  return image;
}

}  // namespace orelens::platform
