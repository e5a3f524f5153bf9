// MEMO and BLOB contents of the native driver: chunks of up to 256 content bytes under
// (table, 0xFC, record number, memo number, sequence). A BLOB's first chunk begins with the
// BLOB's total length (4 bytes, little-endian). A MEMO is stored without its trailing blanks
// (text memos of an OEM file in the OEM code page); an empty MEMO or BLOB has no chunk.
#include <algorithm>
#include <cstring>

#include "platform/code_page.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

constexpr int kErrUnsupported = 80;
constexpr size_t kMaxChunks = 0x10000;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string RecordMemoPrefix(uint32_t table, uint32_t recno) { return MemoChunkKey(table, recno, 0, 0).substr(0, 9); }

}  // namespace

Status IsamTable::ReadMemos(uint32_t recno) {
  BTree& tree = table_.file->tree();
  for (size_t m = 0; m < memos_.size(); ++m) {
    const StreamMemo& decl = table_.declaration.memos[m];
    bool blob = (decl.flags & kMemoBlob) != 0;
    std::string prefix = MemoChunkKey(table_.number, recno, static_cast<uint8_t>(m), 0).substr(0, 10);
    std::string content;
    Record r;
    bool found = false;
    ISAM_RETURN_IF_ERROR(tree.AtOrAfter(prefix, r, found));
    uint16_t expected_seq = 0;
    while (found && StartsWith(r.key(), prefix)) {
      if (r.key_length != 12 || GetBe16(Bytes(r.bytes) + 10) != expected_seq) {
        return Status::Internal(kCheckRecordFields, "memo chunks out of sequence");
      }
      std::string_view payload = std::string_view(r.bytes).substr(r.key_length);
      content.append(payload);
      ++expected_seq;
      std::string at(r.key());
      ISAM_RETURN_IF_ERROR(tree.After(at, r, found));
    }
    if (blob && !content.empty()) {
      if (content.size() < 4) return Status::Internal(kCheckRecordFields, "BLOB without its length");
      uint32_t length = GetLe32(Bytes(content));
      content.erase(0, 4);
      if (length < content.size()) content.resize(length);
    } else if (!blob && codec_.oem && !(decl.flags & kMemoBinary)) {
      content = platform::OemToAnsi(content);
    }
    memos_[m] = std::move(content);
  }
  return Status::Ok();
}

Status IsamTable::EraseMemos(uint32_t recno) {
  if (memos_.empty()) return Status::Ok();
  BTree& tree = table_.file->tree();
  std::string prefix = RecordMemoPrefix(table_.number, recno);
  Record r;
  bool found = false;
  for (;;) {
    ISAM_RETURN_IF_ERROR(tree.AtOrAfter(prefix, r, found));
    if (!found || !StartsWith(r.key(), prefix)) return Status::Ok();
    bool erased = false;
    ISAM_RETURN_IF_ERROR(tree.Erase(std::string(r.key()), erased));
  }
}

Status IsamTable::WriteMemos(uint32_t recno) {
  if (memos_.empty()) return Status::Ok();
  ISAM_RETURN_IF_ERROR(EraseMemos(recno));
  BTree& tree = table_.file->tree();
  for (size_t m = 0; m < memos_.size(); ++m) {
    const StreamMemo& decl = table_.declaration.memos[m];
    bool blob = (decl.flags & kMemoBlob) != 0;
    std::string content = memos_[m];
    if (!blob) {
      size_t end = content.find_last_not_of(' ');
      content.resize(end == std::string::npos ? 0 : end + 1);
      if (codec_.oem && !(decl.flags & kMemoBinary)) content = platform::AnsiToOem(content);
    }
    if (content.empty()) continue;
    if (blob) {
      std::string length;
      AppendLe32(length, static_cast<uint32_t>(content.size()));
      content.insert(0, length);
    }
    // The first BLOB chunk carries its length before 256 content bytes.
    size_t first = blob ? kMemoChunkSize + 4 : kMemoChunkSize;
    size_t chunks = content.size() <= first ? 1 : 1 + (content.size() - first + kMemoChunkSize - 1) / kMemoChunkSize;
    if (chunks > kMaxChunks) return Status::Error(kErrAccessDenied, "memo too long for its chunks");
    size_t at = 0;
    for (size_t seq = 0; seq < chunks; ++seq) {
      size_t n = std::min(seq == 0 ? first : kMemoChunkSize, content.size() - at);
      bool existed = false;
      ISAM_RETURN_IF_ERROR(tree.Insert(
          MakeRecord(MemoChunkKey(table_.number, recno, static_cast<uint8_t>(m), static_cast<uint16_t>(seq)),
                     std::string_view(content).substr(at, n)),
          existed));
      at += n;
    }
  }
  return Status::Ok();
}

int IsamTable::BlobOp(DriverOp op, DriverArgs& args) {
  if (args.blob < 1 || static_cast<size_t>(args.blob) > memos_.size()) return kErrUnsupported;
  std::string& content = memos_[static_cast<size_t>(args.blob) - 1];
  switch (op) {
    case DriverOp::kBlobSize:
      args.number_result = static_cast<int64_t>(content.size());
      return 0;
    case DriverOp::kBlobYield: {
      args.number_result = 0;
      if (args.offset < 0) return kErrUnsupported;
      size_t from = static_cast<size_t>(args.offset);
      if (from >= content.size()) return 0;
      size_t n = std::min(args.buffer.size(), content.size() - from);
      std::memcpy(args.buffer.data(), content.data() + from, n);
      args.number_result = static_cast<int64_t>(n);
      return 0;
    }
    case DriverOp::kBlobTake: {
      if (args.offset < 0 || args.offset > 0x7FFFFFFF) return kErrUnsupported;
      size_t from = static_cast<size_t>(args.offset);
      if (content.size() < from + args.data.size()) content.resize(from + args.data.size(), '\0');
      if (!args.data.empty()) std::memcpy(content.data() + from, args.data.data(), args.data.size());
      return 0;
    }
    default:
      args.text_result.clear();
      return 0;
  }
}

}  // namespace cinevo::isam
