#include "runtime/core/pointer_list.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"

namespace cinevo {
namespace {

constexpr uint32_t kObjectSizes[] = {2,     4,     8,     16,     32,     64,     128,
                                     256,   1024,  2048,  4096,   8192,   16000,  32000,
                                     65000, 130000, 250000, 500000, 1000000};
constexpr uint32_t kEventSizes[] = {8, 16, 32, 64, 128, 256, 1024, 2048, 4096, 8192, 16000};

void* DefaultReallocate(void* block, std::size_t bytes) { return std::realloc(block, bytes); }
void DefaultRelease(void* block) { std::free(block); }
constexpr PointerListMemory kDefaultMemory{&DefaultReallocate, &DefaultRelease};

}  // namespace

const PointerListClasses kObjectListClasses{kObjectSizes, std::size(kObjectSizes), 999900};
const PointerListClasses kEventListClasses{kEventSizes, std::size(kEventSizes), 15900};

PointerListBase::PointerListBase(const PointerListClasses& classes, Destroy destroy,
                                 const PointerListMemory* memory)
    : classes_(&classes), destroy_(destroy), memory_(memory ? memory : &kDefaultMemory) {}

PointerListBase::~PointerListBase() { Clear(); }

PointerListBase::PointerListBase(PointerListBase&& other) noexcept
    : classes_(other.classes_),
      destroy_(other.destroy_),
      memory_(other.memory_),
      data_(other.data_),
      count_(other.count_),
      size_class_(other.size_class_) {
  other.data_ = nullptr;
  other.count_ = 0;
  other.size_class_ = kNoClass;
}

PointerListBase& PointerListBase::operator=(PointerListBase&& other) noexcept {
  if (this != &other) {
    Clear();
    classes_ = other.classes_;
    destroy_ = other.destroy_;
    memory_ = other.memory_;
    data_ = other.data_;
    count_ = other.count_;
    size_class_ = other.size_class_;
    other.data_ = nullptr;
    other.count_ = 0;
    other.size_class_ = kNoClass;
  }
  return *this;
}

uint32_t PointerListBase::capacity() const {
  return size_class_ == kNoClass ? 0 : classes_->sizes[size_class_];
}

// Makes room for one more entry. Invariant afterwards (on success): count_ < capacity().
bool PointerListBase::Grow() {
  if (count_ < capacity()) return true;
  uint8_t last = static_cast<uint8_t>(classes_->count - 1);
  if (size_class_ == last) {
    // Full at the largest class: the entries at the top are given up.
    while (count_ > classes_->cut_back_to) destroy_(data_[--count_]);
    return true;
  }
  uint8_t next = size_class_ == kNoClass ? 0 : static_cast<uint8_t>(size_class_ + 1);
  std::size_t bytes = std::size_t{classes_->sizes[next]} * sizeof(void*);
  void* block = memory_->reallocate(data_, bytes);
  if (block == nullptr) {
    RuntimeFatal(kErrInternalStrings, "Out of memory in WSLARRAY!");
    return false;  // the old array is untouched by a failed reallocation
  }
  data_ = static_cast<void**>(block);
  size_class_ = next;
  return true;
}

bool PointerListBase::Insert(uint32_t index, void* object) {
  if (!Grow()) {
    if (object) destroy_(object);
    return false;
  }
  if (index > count_) index = count_;
  std::memmove(data_ + index + 1, data_ + index, (count_ - index) * sizeof(void*));
  data_[index] = object;
  ++count_;
  return true;
}

void* PointerListBase::Take(uint32_t index) {
  if (index >= count_) return nullptr;
  void* object = data_[index];
  std::memmove(data_ + index, data_ + index + 1, (count_ - index - 1) * sizeof(void*));
  --count_;
  return object;
}

bool PointerListBase::Remove(uint32_t index) {
  if (index >= count_) return false;
  void* object = Take(index);
  if (object) destroy_(object);
  return true;
}

void* PointerListBase::Exchange(uint32_t index, void* object) {
  if (index >= count_) {
    if (object) destroy_(object);
    return nullptr;
  }
  void* old = data_[index];
  data_[index] = object;
  return old;
}

void PointerListBase::Move(uint32_t from, uint32_t to) {
  if (from >= count_ || to >= count_ || from == to) return;
  void* object = data_[from];
  if (from < to) {
    std::memmove(data_ + from, data_ + from + 1, (to - from) * sizeof(void*));
  } else {
    std::memmove(data_ + to + 1, data_ + to, (from - to) * sizeof(void*));
  }
  data_[to] = object;
}

void PointerListBase::Clear() {
  for (uint32_t i = 0; i < count_; ++i) {
    if (data_[i]) destroy_(data_[i]);
  }
  count_ = 0;
  Release();
}

void PointerListBase::Release() {
  if (data_) memory_->release(data_);
  data_ = nullptr;
  size_class_ = kNoClass;
}

}  // namespace cinevo
