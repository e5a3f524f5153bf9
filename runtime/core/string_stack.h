// The process-wide string evaluation stack.
//
// Code that evaluates a string expression pushes its operands, applies operators to the top
// entries and pops the result into a destination. There are 32 slots (indices 0..31). Each entry
// is one of:
//   - borrowed: `text` points into a variable owned by someone else (null only with length 0);
//   - owned:    `text` points into `owned`, a heap block the entry owns;
//   - inline:   `text` points at the entry's own 20-byte buffer.
// Invariant: an inline entry's `text` always points at the buffer of the slot it occupies, and an
// owned entry's `text` at its own block; every move between slots re-points them.
//
// Pushing onto a full stack or operating on too few entries is a broken invariant of the
// calling code: it raises the fatal report 501 with a detail naming the operation. When a
// registered handler returns, the operation does nothing (a pop yields an empty text), so memory
// stays safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace cinevo {

enum class StringEntryKind : uint32_t { kBorrowed = 0, kOwned = 1, kInline = 2 };

struct StringStackEntry {
  static constexpr int32_t kInlineSize = 20;
  StringEntryKind kind = StringEntryKind::kBorrowed;
  const char* text = nullptr;
  int32_t length = 0;
  char inline_buf[kInlineSize] = {};
  std::string owned;  // the heap block of an owned entry; empty otherwise

  std::string_view view() const { return {text ? text : "", static_cast<size_t>(length)}; }
};

// A saved copy of the whole stack (count and entries); see StringStack::Save.
struct StringStackSnapshot;

class StringStack {
 public:
  static constexpr int kDepth = 32;

  StringStack();
  ~StringStack();
  StringStack(const StringStack&) = delete;
  StringStack& operator=(const StringStack&) = delete;

  int Count() const { return count_; }

  // Pushes.
  void PushBorrowed(const char* text, int32_t length);  // a null text pushes an empty entry
  void PushOwned(std::string block);                    // the entry takes the block over
  void PushCString(const char* text);  // measured, then materialised (copied)
  void PushText(std::string_view text);  // copied: inline up to 20 bytes, owned beyond
  void PushLong(int32_t value);          // decimal digits, leading "-" when negative
  void PushReal(double value);           // 14 significant digits, trailing zeros and "." dropped

  // A borrowed top entry of at most 20 bytes is copied inline; a longer one gets an owned copy.
  void Materialize();

  // Pops into destinations.
  void PopToString(char* dest, size_t size);    // copy, pad with spaces, cut at size
  void PopToCString(char* dest, size_t capacity);  // at most capacity-1 bytes, then NUL
  std::string PopToHeap();  // an owned entry hands over its block; others are copied
  std::string PopText() { return PopToHeap(); }
  void Drop();

  // Operators on the top entries.
  void Clip();                 // shrink the top past trailing spaces (nothing is copied)
  int32_t Len() const;         // length of the top entry (0 when empty)
  int32_t PopLen();            // its length, and pop it
  // Concatenation: the result is owned, or inline when it has at most 20 bytes.
  void Concat();               // [.., a, b] -> [.., a+b]
  void ConcatReversed();       // [.., a, b] -> [.., b+a]
  int Compare();               // [.., a, b] -> []; sign of a compared with b (CompareStrings)
  void Rotate(int depth);      // entry at depth (0 = top) moves to the top, those above move down

  // The text of the entry `depth` below the top (0 = top); empty when there is none.
  std::string_view Peek(int depth = 0) const;
  const StringStackEntry& Entry(int index) const { return entries_[index]; }

  // Moves the whole stack into a heap block and leaves it empty; Restore drops whatever is on
  // the stack and puts the saved entries back (re-pointing inline ones).
  std::unique_ptr<StringStackSnapshot> Save();
  void Restore(std::unique_ptr<StringStackSnapshot> snapshot);

  void Reset();  // drops every entry

  // Checks the invariant above for every entry, and that the count lies in 0..32 (see
  // invariant.h). A no-op in builds without invariant checks.
  void CheckInvariants() const;

 private:
  bool Need(int n, const char* op);
  StringStackEntry* PushSlot(const char* op);

  StringStackEntry entries_[kDepth];
  int count_ = 0;
};

struct StringStackSnapshot {
  int count = 0;
  StringStackEntry entries[StringStack::kDepth];
};

// The process-wide stack (unlocked, like all evaluation state).
StringStack& TheStringStack();

// Compares two texts through the collation table: trailing spaces are insignificant; the first
// differing pair decides by weight difference; otherwise the first non-space byte of the longer
// text's rest is weighed against a space (negated when the longer text is `b`).
int CompareStrings(std::string_view a, std::string_view b);

// The text a REAL pushes: rounded to 14 significant digits, trailing zeros and "." dropped;
// exponent notation ("1.5E+20", "1E-20") beyond 15 integer digits or below 1e-14.
std::string RealToText(double value);
std::string LongToText(int32_t value);

}  // namespace cinevo
