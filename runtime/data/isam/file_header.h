// The file header: the first 0x200 bytes of every data file, written in one piece.
//
//   0x00  4        0 (the header's own address)
//   0x04  2        header size, 0x200
//   0x06  4        file length (committed)
//   0x0A  4        file length (written); differs from the committed one only while an
//                  update is under way
//   0x0E  4        magic "tArV"
//   0x12  2        0
//   0x14  4        last table or record number issued, BIG-endian
//   0x18  4        change counter, increased by every update
//   0x1C  4        root page address, 0xFFFFFFFF when the file holds no record
//   0x20  60 x 4   first page address (in 256-byte units) of size class i
//   0x110 60 x 4   end address (one past the last unit) of size class i
// All other integers are little-endian. Class i (1..59) holds pages of i x 256 bytes laid end
// to end in [start[i], end[i]); classes follow each other in increasing order, possibly with
// free gaps between them. Entry 0 is unused.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/data/isam/isam_status.h"

namespace cinevo::isam {

inline constexpr uint32_t kNoRoot = 0xFFFFFFFF;
inline constexpr uint32_t kClassCount = 60;

struct FileHeader {
  uint32_t committed_length = 0x200;
  uint32_t written_length = 0x200;
  uint32_t number_counter = 0;
  uint32_t change_counter = 0;
  uint32_t root = kNoRoot;
  std::array<uint32_t, kClassCount> start{};
  std::array<uint32_t, kClassCount> end{};

  // The class (1..59) of a page address, or 0 when it lies in no class or not on a page
  // boundary of its class.
  uint32_t ClassOf(uint32_t address) const;

  // end[k] x 256 + 0x200 for the highest class k whose range is not empty; 0x200 when none.
  uint32_t DataLength() const;

  friend bool operator==(const FileHeader&, const FileHeader&) = default;
};

std::string EncodeHeader(const FileHeader& header);

// Parses 0x200 bytes. A wrong magic or header size gives 36; a class table that breaks the
// class invariant gives 90 with check 12.
Status DecodeHeader(std::string_view raw, FileHeader& out);

}  // namespace cinevo::isam
