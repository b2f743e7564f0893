#include "world/cell_value_map.h"

#include <algorithm>
#include <bit>

namespace orelens::world {
namespace {

constexpr size_t kMinCapacity = 16;

}  // namespace

void CellValueMap::clear() {
  std::fill(used_.begin(), used_.end(), 0);
  size_ = 0;
}

void CellValueMap::reserve(size_t count) {
  // At most half full keeps the probe runs short.
  size_t capacity = std::bit_ceil(std::max(kMinCapacity, count * 2));
  if (capacity > slots_.size()) Rehash(capacity);
}

size_t CellValueMap::FindSlot(key_type key) const {
  if (size_ == 0) return slots_.size();
  size_t mask = slots_.size() - 1;
  for (size_t slot = Home(key);; slot = (slot + 1) & mask) {
    if (!used_[slot]) return slots_.size();
    if (slots_[slot].first == key) return slot;
  }
}

CellValueMap::mapped_type& CellValueMap::operator[](key_type key) {
  if ((size_ + 1) * 2 > slots_.size()) Rehash(std::max(kMinCapacity, slots_.size() * 2));
  size_t mask = slots_.size() - 1;
  size_t slot = Home(key);
  for (; used_[slot]; slot = (slot + 1) & mask) {
    if (slots_[slot].first == key) return slots_[slot].second;
  }
  used_[slot] = 1;
  slots_[slot] = {key, 0};
  ++size_;
  return slots_[slot].second;
}

size_t CellValueMap::erase(key_type key) {
  size_t slot = FindSlot(key);
  if (slot == slots_.size()) return 0;
  // Backward-shift deletion: move later entries of the probe run into the hole so that every
  // entry stays reachable from its home slot.
  size_t mask = slots_.size() - 1;
  size_t hole = slot;
  for (size_t next = (hole + 1) & mask; used_[next]; next = (next + 1) & mask) {
    size_t home = Home(slots_[next].first);
    // The entry may move into the hole when its home does not lie cyclically in (hole, next].
    bool homeBetween = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
    if (!homeBetween) {
      slots_[hole] = slots_[next];
      hole = next;
    }
  }
  used_[hole] = 0;
  --size_;
  return 1;
}

bool CellValueMap::operator==(const CellValueMap& other) const {
  if (size_ != other.size_) return false;
  for (const value_type& entry : *this) {
    const mapped_type* value = other.Lookup(entry.first);
    if (!value || *value != entry.second) return false;
  }
  return true;
}

void CellValueMap::Rehash(size_t capacity) {
  std::vector<value_type> oldSlots = std::move(slots_);
  std::vector<uint8_t> oldUsed = std::move(used_);
  slots_.assign(capacity, {});
  used_.assign(capacity, 0);
  shift_ = 32 - std::countr_zero(capacity);
  size_ = 0;
  for (size_t slot = 0; slot < oldSlots.size(); ++slot) {
    if (oldUsed[slot]) (*this)[oldSlots[slot].first] = oldSlots[slot].second;
  }
}

}  // namespace orelens::world
