#include "classlib/field_pairs.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace cinevo::classlib {
namespace {

std::string_view View(std::span<const uint8_t> s) { return {reinterpret_cast<const char*>(s.data()), s.size()}; }

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

bool Same(std::string_view a, std::string_view b) { return TrimRight(a) == TrimRight(b); }

void Copy(std::string_view from, std::span<uint8_t> to) {
  size_t n = std::min(from.size(), to.size());
  std::memcpy(to.data(), from.data(), n);
  std::memset(to.data() + n, ' ', to.size() - n);
}

}  // namespace

void FieldPairs::AddPair(std::span<uint8_t> left, std::span<uint8_t> right) {
  pairs_.push_back(Pair{left, right, std::string(right.size(), ' ')});
}

bool FieldPairs::Equal() const {
  return std::all_of(pairs_.begin(), pairs_.end(), [](const Pair& p) { return Same(View(p.left), View(p.right)); });
}

bool FieldPairs::EqualLeftBuffer() const {
  return std::all_of(pairs_.begin(), pairs_.end(), [](const Pair& p) { return Same(View(p.left), p.buffer); });
}

bool FieldPairs::EqualRightBuffer() const {
  return std::all_of(pairs_.begin(), pairs_.end(), [](const Pair& p) { return Same(View(p.right), p.buffer); });
}

void FieldPairs::AssignLeftToBuffer() {
  for (Pair& p : pairs_) {
    std::string_view v = View(p.left).substr(0, p.buffer.size());
    p.buffer.assign(v);
    p.buffer.resize(p.right.size(), ' ');
  }
}

void FieldPairs::AssignRightToBuffer() {
  for (Pair& p : pairs_) p.buffer.assign(View(p.right));
}

void FieldPairs::AssignBufferToLeft() {
  for (Pair& p : pairs_) Copy(p.buffer, p.left);
}

void FieldPairs::AssignBufferToRight() {
  for (Pair& p : pairs_) Copy(p.buffer, p.right);
}

void FieldPairs::AssignLeftToRight() {
  for (Pair& p : pairs_) Copy(View(p.left), p.right);
}

void FieldPairs::ClearRight() {
  for (Pair& p : pairs_) std::memset(p.right.data(), ' ', p.right.size());
}

}  // namespace cinevo::classlib
