#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace orelens::platform {

// Object references: a caller-chosen number n (0..kMaxNumber) is stored under key n and handed out
// as the handle n | kNumberedHandleBit; objects created with -1 get keys from kFirstDynamicKey up,
// which are their handles and their numbers at once. The three ranges never overlap, so an
// operation can take either a number or a handle, and no handle is ever 0.
namespace object_ref {
constexpr int kMaxNumber = 0x00FFFFFF;
constexpr int kFirstDynamicKey = 0x01000000;
constexpr int kNumberedHandleBit = 0x40000000;
constexpr int kInvalidKey = -1;

// The storage key of a number or handle, or kInvalidKey.
constexpr int KeyOf(int ref) {
  if (ref < 0) return kInvalidKey;
  if (ref >= kNumberedHandleBit) return (ref - kNumberedHandleBit) <= kMaxNumber ? ref - kNumberedHandleBit : kInvalidKey;
  return ref;
}
constexpr int HandleOf(int key) { return key <= kMaxNumber ? (key | kNumberedHandleBit) : key; }
}  // namespace object_ref

// One family of numbered objects (textures, entities, ...). Low numbers sit in a flat array so
// the hot paths (template entities, label materials) cost one index; the rest sit in a hash map.
// Keys of -1 objects are never reused.
template <class T>
class ObjectTable {
 public:
  using ReleaseHook = std::function<void(T&)>;

  explicit ObjectTable(ReleaseHook onRelease = {}) : onRelease_(std::move(onRelease)) {}

  T* Find(int ref) { return FindKey(object_ref::KeyOf(ref)); }
  const T* Find(int ref) const { return const_cast<ObjectTable*>(this)->FindKey(object_ref::KeyOf(ref)); }

  const T* FindKey(int key) const { return const_cast<ObjectTable*>(this)->FindKey(key); }
  T* FindKey(int key) {
    if (key < 0) return nullptr;
    if (key < kFlatSize) return static_cast<size_t>(key) < flat_.size() ? flat_[key].get() : nullptr;
    if (key == lastSpreadKey_) return lastSpreadObject_;  // runs of calls on one object (geometry adds)
    auto found = spread_.find(key);
    if (found == spread_.end()) return nullptr;
    lastSpreadKey_ = key;
    lastSpreadObject_ = found->second.get();
    return lastSpreadObject_;
  }

  // Creates object `number` (replacing one of that number) or, for -1, a new one. Returns the
  // object and its key, or {nullptr, -1} for a number outside the range.
  std::pair<T*, int> Create(int number) {
    int key;
    if (number == -1) {
      if (nextDynamicKey_ >= object_ref::kNumberedHandleBit) return {nullptr, object_ref::kInvalidKey};
      key = nextDynamicKey_++;
    } else if (number >= 0 && number <= object_ref::kMaxNumber) {
      key = number;
      FreeKey(key);
    } else {
      return {nullptr, object_ref::kInvalidKey};
    }
    auto object = std::make_unique<T>();
    T* raw = object.get();
    if (key < kFlatSize) {
      if (flat_.size() <= static_cast<size_t>(key)) flat_.resize(key + 1);
      flat_[key] = std::move(object);
    } else {
      spread_.emplace(key, std::move(object));
    }
    ++count_;
    return {raw, key};
  }

  bool Free(int ref) { return FreeKey(object_ref::KeyOf(ref)); }

  bool FreeKey(int key) {
    std::unique_ptr<T> removed;
    if (key < 0) return false;
    if (key < kFlatSize) {
      if (static_cast<size_t>(key) >= flat_.size() || !flat_[key]) return false;
      removed = std::move(flat_[key]);
    } else {
      auto found = spread_.find(key);
      if (found == spread_.end()) return false;
      removed = std::move(found->second);
      spread_.erase(found);
      if (key == lastSpreadKey_) lastSpreadKey_ = object_ref::kInvalidKey;
    }
    --count_;
    if (onRelease_) onRelease_(*removed);
    return true;
  }

  void Clear() {
    std::vector<int> keys;
    ForEach([&](int key, T&) { keys.push_back(key); });
    for (int key : keys) FreeKey(key);
  }

  // Visits every object with its key: flat ones in number order, then the others.
  template <class Visit>
  void ForEach(Visit&& visit) {
    for (size_t key = 0; key < flat_.size(); ++key) {
      if (flat_[key]) visit(static_cast<int>(key), *flat_[key]);
    }
    for (auto& [key, object] : spread_) visit(key, *object);
  }
  template <class Visit>
  void ForEach(Visit&& visit) const {
    const_cast<ObjectTable*>(this)->ForEach([&](int key, T& object) { visit(key, static_cast<const T&>(object)); });
  }

  size_t Count() const { return count_; }

 private:
  static constexpr int kFlatSize = 4096;
  std::vector<std::unique_ptr<T>> flat_;
  std::unordered_map<int, std::unique_ptr<T>> spread_;
  int nextDynamicKey_ = object_ref::kFirstDynamicKey;
  int lastSpreadKey_ = object_ref::kInvalidKey;  // one-entry lookup cache
  T* lastSpreadObject_ = nullptr;
  size_t count_ = 0;
  ReleaseHook onRelease_;
};

}  // namespace orelens::platform
