// The keystroke buffer behind PRESS: a circular buffer of 1,024 keystrokes per thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace cinevo {

class PressBuffer {
 public:
  static constexpr size_t kCapacity = 1024;

  bool Push(uint16_t key);  // false when full (the key is not stored)
  std::optional<uint16_t> Pop();
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void Clear() { head_ = size_ = 0; }

 private:
  std::array<uint16_t, kCapacity> keys_{};
  size_t head_ = 0;
  size_t size_ = 0;
};

}  // namespace cinevo
