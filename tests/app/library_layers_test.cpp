// Each library of src/ includes only itself and the libraries below it, so that the viewer, say,
// never reaches up into the custom blocks built on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace orelens::app {
namespace {

namespace fs = std::filesystem;

TEST(LibraryLayers, EachLibraryIncludesOnlyThoseBelowIt) {
  // From the bottom up.
  const std::vector<std::string> layers{"platform", "world", "schematic", "viewer", "customblocks", "app"};
  const std::regex projectInclude(R"(^\s*#\s*include\s+"([a-z0-9_]+)/)");
  size_t filesRead = 0;
  for (size_t layer = 0; layer < layers.size(); ++layer) {
    const fs::path folder = fs::path(ORELENS_SOURCE_DIR) / "src" / layers[layer];
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      if (!entry.is_regular_file()) continue;
      ++filesRead;
      std::ifstream file(entry.path());
      std::string line;
      for (int number = 1; std::getline(file, line); ++number) {
        std::smatch match;
        if (!std::regex_search(line, match, projectInclude)) continue;
        const auto used = std::find(layers.begin(), layers.end(), match[1].str());
        if (used == layers.end()) continue;  // a system header written with quotes
        EXPECT_LE(static_cast<size_t>(used - layers.begin()), layer)
            << entry.path().string() << ":" << number << " reaches up: " << line;
      }
    }
  }
  EXPECT_GT(filesRead, 100u);
}

}  // namespace
}  // namespace orelens::app
