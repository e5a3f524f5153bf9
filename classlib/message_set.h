// Message sets: the packed tables of messages that the error reporter loads.
//
// Layout (little-endian, no terminators, no filler):
//   count    u16
//   count times:
//     id       u16
//     severity u8      0 Benign, 1 Question, 2 Program, 3 Fatal, 4 Cancel, 5 Notify
//     titleLen u8, title bytes
//     textLen  u8, text bytes
// Titles and texts are therefore at most 255 bytes. A set is read in place: the entries read from
// it refer to its bytes, so a set must outlive every reader of its entries.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace cinevo::classlib {

struct MessageEntry {
  uint16_t id = 0;
  uint8_t severity = 0;
  std::string_view title;    // refers into the set
  std::string_view message;  // refers into the set; may hold placeholders ("%File", ...)
};

// Reads the entries of `set` in stored order into `out` (appended). Returns false when the set
// is damaged: shorter than its count (no count at all, or an entry cut short). The entries before
// the damage are still appended; nothing is read past the set's end.
bool ReadMessageSet(std::span<const uint8_t> set, std::vector<MessageEntry>& out);

// Packs entries into a set. Titles and texts longer than 255 bytes are cut to 255.
std::vector<uint8_t> PackMessageSet(std::span<const MessageEntry> entries);

// The built-in set: the 36 messages of the class library, packed, in their stored order. The
// bytes live for the whole program.
std::span<const uint8_t> DefaultMessages();

}  // namespace cinevo::classlib
