#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "viewer/face_layouts.h"

namespace orelens::viewer {

// Material slots of a custom block: 0 top, 1 bottom, 2 left (-X) and, in layouts 2 and 3, all
// four sides, 3 right (+X), 4 front (+Z), 5 back (-Z). Slot 6 exists but is never used.
inline constexpr int kCustomBlockFaceSlots = 7;

// One imported custom block, or a placeholder ("UNKNOWN", kind 1) for an id not installed.
struct CustomBlockDefinition {
  std::string name;
  std::array<int32_t, kCustomBlockFaceSlots> faces{};  // material handles, zero until set
  int32_t id = 0;
  uint8_t kind = 0;  // face layout 1..4, the block's "Mode"
};

// Custom blocks by their unique id written in decimal ("1234567", "-5"). Created empty at
// start-up and only ever grows. Main thread only: the import fills it before the main loop,
// and the mesher, the schematic preview and material culling read it on the main thread.
class CustomBlockMap {
 public:
  // The entry under key, added (zeroed) when missing. References stay valid as the map grows.
  CustomBlockDefinition& AddOrFind(const std::string& key) { return entries_[key]; }
  CustomBlockDefinition* Find(const std::string& key) {
    const auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : &found->second;
  }
  const CustomBlockDefinition* Find(const std::string& key) const {
    const auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : &found->second;
  }
  size_t Size() const { return entries_.size(); }

  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  std::unordered_map<std::string, CustomBlockDefinition> entries_;
};

}  // namespace orelens::viewer
