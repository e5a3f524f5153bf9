// Lists of linked fields: (left, right) pairs of fields in two record buffers, each with a
// buffer for a saved value. Relations use them for their linking fields (left in the parent,
// right in the child); the view manager turns them into range limits.
//
// Every field is treated as a string of its size: values are compared with trailing blanks
// ignored, copied with blank padding or cut, and cleared to blanks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cinevo::classlib {

class FieldPairs {
 public:
  struct Pair {
    std::span<uint8_t> left;
    std::span<uint8_t> right;
    std::string buffer;  // a saved value of the right field's size
  };

  virtual ~FieldPairs() = default;
  virtual void AddPair(std::span<uint8_t> left, std::span<uint8_t> right);

  bool Equal() const;             // every left equals its right
  bool EqualLeftBuffer() const;   // every left equals its buffer
  bool EqualRightBuffer() const;  // every right equals its buffer
  void AssignLeftToBuffer();
  void AssignRightToBuffer();
  void AssignBufferToLeft();
  void AssignBufferToRight();
  void AssignLeftToRight();
  void ClearRight();

  const std::vector<Pair>& Pairs() const { return pairs_; }
  size_t Size() const { return pairs_.size(); }

 private:
  std::vector<Pair> pairs_;
};

using BufferedPairs = FieldPairs;

}  // namespace cinevo::classlib
