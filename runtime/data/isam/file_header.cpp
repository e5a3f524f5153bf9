#include "runtime/data/isam/file_header.h"

#include <cstring>

#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/page_codec.h"

namespace cinevo::isam {

uint32_t FileHeader::ClassOf(uint32_t address) const {
  for (uint32_t i = 1; i < kClassCount; ++i) {
    if (start[i] <= address && address < end[i]) {
      return (address - start[i]) % i == 0 ? i : 0;
    }
  }
  return 0;
}

uint32_t FileHeader::DataLength() const {
  for (uint32_t i = kClassCount - 1; i >= 1; --i) {
    if (end[i] > start[i]) return end[i] * kUnitSize + kHeaderSize;
  }
  return kHeaderSize;
}

std::string EncodeHeader(const FileHeader& h) {
  std::string out(kHeaderSize, '\0');
  auto* p = reinterpret_cast<uint8_t*>(out.data());
  PutLe32(p, 0);
  PutLe16(p + 4, kHeaderSize);
  PutLe32(p + 6, h.committed_length);
  PutLe32(p + 0x0A, h.written_length);
  std::memcpy(p + 0x0E, "tArV", 4);
  PutBe32(p + 0x14, h.number_counter);
  PutLe32(p + 0x18, h.change_counter);
  PutLe32(p + 0x1C, h.root);
  for (uint32_t i = 0; i < kClassCount; ++i) {
    PutLe32(p + 0x20 + 4 * i, h.start[i]);
    PutLe32(p + 0x110 + 4 * i, h.end[i]);
  }
  return out;
}

Status DecodeHeader(std::string_view raw, FileHeader& out) {
  if (raw.size() < kHeaderSize) return Status::Error(kErrInvalidDataFile, "header shorter than 0x200 bytes");
  const auto* p = reinterpret_cast<const uint8_t*>(raw.data());
  if (std::memcmp(p + 0x0E, "tArV", 4) != 0) return Status::Error(kErrInvalidDataFile, "magic missing");
  if (GetLe16(p + 4) != kHeaderSize) return Status::Error(kErrInvalidDataFile, "header size is not 0x200");
  FileHeader h;
  h.committed_length = GetLe32(p + 6);
  h.written_length = GetLe32(p + 0x0A);
  h.number_counter = GetBe32(p + 0x14);
  h.change_counter = GetLe32(p + 0x18);
  h.root = GetLe32(p + 0x1C);
  for (uint32_t i = 0; i < kClassCount; ++i) {
    h.start[i] = GetLe32(p + 0x20 + 4 * i);
    h.end[i] = GetLe32(p + 0x110 + 4 * i);
  }
  // Class invariant: each range is whole pages of its class, ranges ascend without overlap,
  // and the whole file stays addressable in 32 bits.
  uint32_t floor = 0;
  for (uint32_t i = 1; i < kClassCount; ++i) {
    if (h.start[i] < floor || h.end[i] < h.start[i] || (h.end[i] - h.start[i]) % i != 0 ||
        h.end[i] > (0xFFFFFFFFu - kHeaderSize) / kUnitSize) {
      return Status::Internal(kCheckClassTable, "class " + std::to_string(i) + " breaks the class order");
    }
    floor = h.end[i];
  }
  if (h.root != kNoRoot && h.ClassOf(h.root) == 0) {
    return Status::Internal(kCheckPageClass, "root address " + std::to_string(h.root) + " lies in no class");
  }
  out = h;
  return Status::Ok();
}

}  // namespace cinevo::isam
