// PointerList: the growable list of owned object pointers under queues, views and other runtime
// lists.
//
// The list is a size-class byte, an array of pointers and a count. The array's capacity steps
// through a fixed table of size classes; a list whose array is full at the largest class first cuts
// itself back (destroying the entries at the top) before it takes the next entry. When the memory
// for a larger class cannot be had, the runtime's fatal report 501 "Out of memory in WSLARRAY!" is
// raised; if the fatal handler returns, the insertion fails and the list is left as it was.
//
// The list owns its entries: removing one destroys its object unless the caller takes it over with
// Take; the entries above a removed or inserted position move as pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace cinevo {

// A table of size classes and the count a full list at its largest class is cut back to.
struct PointerListClasses {
  const uint32_t* sizes;  // ascending capacities
  uint8_t count;
  uint32_t cut_back_to;
};

// 2, 4, ..., 256, 1,024, ..., 1,000,000 entries; cut back to 999,900.
extern const PointerListClasses kObjectListClasses;
// 8 ... 16,000 entries; cut back to 15,900 (a window's pending events).
extern const PointerListClasses kEventListClasses;

// Where the pointer array's memory comes from; replaceable so that callers (tests) can make a
// larger class unobtainable. `reallocate` has the contract of std::realloc.
struct PointerListMemory {
  void* (*reallocate)(void* block, std::size_t bytes);
  void (*release)(void* block);
};

// The type-erased list; PointerList<T> below is the typed face of it.
class PointerListBase {
 public:
  using Destroy = void (*)(void*);
  static constexpr uint8_t kNoClass = 0xFF;  // the size class of a list without an array

  PointerListBase(const PointerListClasses& classes, Destroy destroy,
                  const PointerListMemory* memory = nullptr);
  ~PointerListBase();
  PointerListBase(PointerListBase&& other) noexcept;
  PointerListBase& operator=(PointerListBase&& other) noexcept;
  PointerListBase(const PointerListBase&) = delete;
  PointerListBase& operator=(const PointerListBase&) = delete;

  uint32_t size() const { return count_; }
  uint32_t capacity() const;
  uint8_t size_class() const { return size_class_; }

  // The entry at `index` (0-based), or nullptr beyond the end.
  void* at(uint32_t index) const { return index < count_ ? data_[index] : nullptr; }

  // Stores `object` before `index` (an index at or beyond the end appends). On failure the object
  // is destroyed and false is returned.
  bool Insert(uint32_t index, void* object);
  bool Append(void* object) { return Insert(count_, object); }

  // Removes the entry and hands its object to the caller (nullptr beyond the end).
  void* Take(uint32_t index);
  // Removes and destroys the entry; false beyond the end.
  bool Remove(uint32_t index);
  // Puts `object` in place of the entry at `index` and returns the old object to the caller;
  // beyond the end the new object is destroyed and nullptr is returned.
  void* Exchange(uint32_t index, void* object);
  // Moves the entry at `from` so that it ends up at index `to` (both below size()).
  void Move(uint32_t from, uint32_t to);
  // Destroys every entry and releases the array.
  void Clear();

  // The raw array, for algorithms that reorder the entries in place (size() entries).
  void** data() { return data_; }

 private:
  bool Grow();
  void Release();

  const PointerListClasses* classes_;
  Destroy destroy_;
  const PointerListMemory* memory_;
  void** data_ = nullptr;
  uint32_t count_ = 0;
  uint8_t size_class_ = kNoClass;
};

template <class T, class Deleter = std::default_delete<T>>
class PointerList {
 public:
  explicit PointerList(const PointerListClasses& classes = kObjectListClasses,
                       const PointerListMemory* memory = nullptr)
      : base_(classes, &DestroyOne, memory) {}

  uint32_t size() const { return base_.size(); }
  bool empty() const { return base_.size() == 0; }
  uint32_t capacity() const { return base_.capacity(); }
  uint8_t size_class() const { return base_.size_class(); }
  T* at(uint32_t index) const { return static_cast<T*>(base_.at(index)); }

  bool Insert(uint32_t index, std::unique_ptr<T, Deleter> object) {
    return base_.Insert(index, object.release());
  }
  bool Append(std::unique_ptr<T, Deleter> object) { return base_.Append(object.release()); }
  std::unique_ptr<T, Deleter> Take(uint32_t index) {
    return std::unique_ptr<T, Deleter>(static_cast<T*>(base_.Take(index)));
  }
  bool Remove(uint32_t index) { return base_.Remove(index); }
  std::unique_ptr<T, Deleter> Exchange(uint32_t index, std::unique_ptr<T, Deleter> object) {
    return std::unique_ptr<T, Deleter>(static_cast<T*>(base_.Exchange(index, object.release())));
  }
  void Move(uint32_t from, uint32_t to) { base_.Move(from, to); }
  void Clear() { base_.Clear(); }
  // The untyped list, for algorithms that reorder the entries in place.
  PointerListBase& base() { return base_; }

 private:
  static void DestroyOne(void* p) { Deleter()(static_cast<T*>(p)); }
  PointerListBase base_;
};

}  // namespace cinevo
