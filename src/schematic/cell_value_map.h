#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>

#include "schematic/schematic_file.h"

namespace orelens::schematic {

// Values of schematic cells by their indexes (x, z, y); a later entry for the same cell replaces
// an earlier one. The file's own key for a cell is the text "x,z,y", which maps one to one onto
// the three indexes, so the map keys on the numbers themselves.
class CellValueMap {
 public:
  void Add(std::span<const SchematicExtraEntry> entries) {
    for (const SchematicExtraEntry& entry : entries) values_[Key(entry.x, entry.z, entry.y)] = entry.value;
  }
  const int32_t* Find(int32_t x, int32_t z, int32_t y) const {
    const auto found = values_.find(Key(x, z, y));
    return found == values_.end() ? nullptr : &found->second;
  }
  size_t size() const { return values_.size(); }

 private:
  struct CellKey {
    int32_t x, z, y;
    bool operator==(const CellKey&) const = default;
  };
  struct CellKeyHash {
    size_t operator()(const CellKey& key) const {
      uint64_t h = static_cast<uint32_t>(key.x);
      h = h * 0x9E3779B97F4A7C15ull ^ static_cast<uint32_t>(key.z);
      h = h * 0x9E3779B97F4A7C15ull ^ static_cast<uint32_t>(key.y);
      return static_cast<size_t>(h ^ (h >> 29));
    }
  };
  static CellKey Key(int32_t x, int32_t z, int32_t y) { return {x, z, y}; }

  std::unordered_map<CellKey, int32_t, CellKeyHash> values_;
};

}  // namespace orelens::schematic
