#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

namespace orelens::world {

// A value by chunk cell, keyed by the packed cell key (see chunk_record.h). Every chunk read
// fills two of these, so they are a flat open-addressing table (linear probing, no per-entry
// allocation) with the usual map operations. Iteration order is unspecified.
class CellValueMap {
 public:
  using key_type = uint32_t;
  using mapped_type = int32_t;
  using value_type = std::pair<key_type, mapped_type>;

  template <bool kConst>
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = CellValueMap::value_type;
    using difference_type = std::ptrdiff_t;
    using reference = std::conditional_t<kConst, const value_type&, value_type&>;
    using pointer = std::conditional_t<kConst, const value_type*, value_type*>;
    using Owner = std::conditional_t<kConst, const CellValueMap, CellValueMap>;

    Iterator() = default;
    Iterator(Owner* map, size_t slot) : map_(map), slot_(slot) { SkipFree(); }
    reference operator*() const { return map_->slots_[slot_]; }
    pointer operator->() const { return &map_->slots_[slot_]; }
    Iterator& operator++() {
      ++slot_;
      SkipFree();
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const Iterator& other) const { return slot_ == other.slot_; }
    operator Iterator<true>() const { return Iterator<true>(map_, slot_); }

   private:
    void SkipFree() {
      while (slot_ < map_->used_.size() && !map_->used_[slot_]) ++slot_;
    }
    Owner* map_ = nullptr;
    size_t slot_ = 0;
  };
  using iterator = Iterator<false>;
  using const_iterator = Iterator<true>;

  CellValueMap() = default;
  CellValueMap(std::initializer_list<value_type> values) {
    for (const value_type& value : values) insert_or_assign(value.first, value.second);
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear();
  // Makes room for at least `count` entries without growing again.
  void reserve(size_t count);

  iterator begin() { return iterator(this, 0); }
  iterator end() { return iterator(this, slots_.size()); }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, slots_.size()); }

  iterator find(key_type key) { return iterator(this, FindSlot(key)); }
  const_iterator find(key_type key) const { return const_iterator(this, FindSlot(key)); }
  bool contains(key_type key) const { return FindSlot(key) != slots_.size(); }
  size_t count(key_type key) const { return contains(key) ? 1 : 0; }
  // The value for the key; nullptr when absent.
  const mapped_type* Lookup(key_type key) const {
    size_t slot = FindSlot(key);
    return slot == slots_.size() ? nullptr : &slots_[slot].second;
  }
  mapped_type& operator[](key_type key);
  void insert_or_assign(key_type key, mapped_type value) { (*this)[key] = value; }
  // Removes the key; the number removed (0 or 1).
  size_t erase(key_type key);

  bool operator==(const CellValueMap& other) const;

 private:
  size_t Home(key_type key) const { return static_cast<size_t>((key * 0x9E3779B1u) >> shift_); }
  size_t FindSlot(key_type key) const;  // slots_.size() when absent
  void Rehash(size_t capacity);

  std::vector<value_type> slots_;
  std::vector<uint8_t> used_;  // 1 where slots_ holds an entry
  size_t size_ = 0;
  int shift_ = 32;
};

}  // namespace orelens::world
