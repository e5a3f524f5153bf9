// How a table's MEMO and BLOB contents are read from and written to the tree, and the BLOB
// operations on the contents held for the current record (the layout is in memo_store.h).
#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/code_page.h"
#include "runtime/core/error_codes.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/memo_store.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

constexpr size_t kMaxChunks = 0x10000;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string RecordMemoPrefix(uint32_t table, uint32_t recno) { return MemoChunkKey(table, recno, 0, 0).substr(0, 9); }

// The most bytes a MEMO or BLOB can hold: what its chunks can carry (sequence numbers are two
// bytes), and for a MEMO declared with a size no more than that.
size_t MemoCapacity(const StreamMemo& decl) {
  size_t chunks = kMaxChunks * kMemoChunkSize;
  if (!(decl.flags & kMemoBlob) && decl.max_size > 0) return std::min<size_t>(decl.max_size, chunks);
  return chunks;
}

// A whole decimal number in 0..limit, without sign or blanks around it.
std::optional<size_t> ParseSize(std::string_view text, size_t limit) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  size_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<size_t>(c - '0');
  }
  if (v > limit) return std::nullopt;
  return v;
}

// Reads (value null) or sets a property of one MEMO or BLOB; `out` receives its value
// afterwards. 80 for an unknown property, a read-only one being set or a value out of range.
int AnswerBlobProperty(const StreamMemo& decl, size_t capacity, std::string& content, uint32_t property,
                 const std::string_view* value, std::string& out) {
  out.clear();
  switch (property) {
    case kBlobPropContents:
      if (value) {
        if (value->size() > capacity && (decl.flags & kMemoBlob)) return kErrAccessDenied;
        content.assign(value->substr(0, capacity));
      }
      out = content;
      return 0;
    case kBlobPropSize:
      if (value) {
        auto size = ParseSize(*value, capacity);
        if (!size) return kErrUnsupported;
        content.resize(*size, '\0');
      }
      out = std::to_string(content.size());
      return 0;
    case kBlobPropKind:
    case kBlobPropBinary:
    case kBlobPropCapacity:
    case kBlobPropLabel:
      if (value) return kErrUnsupported;
      if (property == kBlobPropKind) out.assign((decl.flags & kMemoBlob) ? "BLOB" : "MEMO", 4);
      if (property == kBlobPropBinary) out.assign(1, (decl.flags & kMemoBinary) ? '1' : '0');
      if (property == kBlobPropCapacity) out = std::to_string(capacity);
      if (property == kBlobPropLabel) out = decl.name.value_or("");
      return 0;
    default:
      return kErrUnsupported;
  }
}

}  // namespace

void MemoStore::Reset(uint32_t table, const std::vector<StreamMemo>& decls, bool oem) {
  table_ = table;
  oem_ = oem;
  decls_ = decls;
  contents_.assign(decls.size(), std::string());
}

const std::string* MemoStore::Contents(size_t n) const {
  if (n == 0 || n > contents_.size()) return nullptr;
  return &contents_[n - 1];
}

bool MemoStore::SetContents(size_t n, std::string value) {
  if (n == 0 || n > contents_.size()) return false;
  const StreamMemo& decl = decls_[n - 1];
  if (!(decl.flags & kMemoBlob) && decl.max_size > 0 && value.size() > decl.max_size) value.resize(decl.max_size);
  contents_[n - 1] = std::move(value);
  return true;
}

Status MemoStore::LoadFor(BTree& tree, uint32_t recno) {
  if (skip_next_load_) {
    skip_next_load_ = false;
    return Status::Ok();
  }
  return Read(tree, recno);
}

Status MemoStore::Read(BTree& tree, uint32_t recno) {
  for (size_t m = 0; m < contents_.size(); ++m) {
    const StreamMemo& decl = decls_[m];
    bool blob = (decl.flags & kMemoBlob) != 0;
    std::string prefix = MemoChunkKey(table_, recno, static_cast<uint8_t>(m), 0).substr(0, 10);
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
    } else if (!blob && oem_ && !(decl.flags & kMemoBinary)) {
      content = platform::OemToAnsi(content);
    }
    contents_[m] = std::move(content);
  }
  return Status::Ok();
}

Status MemoStore::Erase(BTree& tree, uint32_t recno) const {
  if (contents_.empty()) return Status::Ok();
  std::string prefix = RecordMemoPrefix(table_, recno);
  Record r;
  bool found = false;
  for (;;) {
    ISAM_RETURN_IF_ERROR(tree.AtOrAfter(prefix, r, found));
    if (!found || !StartsWith(r.key(), prefix)) return Status::Ok();
    bool erased = false;
    ISAM_RETURN_IF_ERROR(tree.Erase(std::string(r.key()), erased));
    // A chunk that the search finds but the erase does not would be found again for ever.
    if (!erased) return Status::Internal(kCheckRecordOrder, "a memo chunk found but not erased");
  }
}

Status MemoStore::Write(BTree& tree, uint32_t recno) const {
  if (contents_.empty()) return Status::Ok();
  ISAM_RETURN_IF_ERROR(Erase(tree, recno));
  for (size_t m = 0; m < contents_.size(); ++m) {
    const StreamMemo& decl = decls_[m];
    bool blob = (decl.flags & kMemoBlob) != 0;
    std::string content = contents_[m];
    if (!blob) {
      size_t end = content.find_last_not_of(' ');
      content.resize(end == std::string::npos ? 0 : end + 1);
      if (oem_ && !(decl.flags & kMemoBinary)) content = platform::AnsiToOem(content);
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
          MakeRecord(MemoChunkKey(table_, recno, static_cast<uint8_t>(m), static_cast<uint16_t>(seq)),
                     std::string_view(content).substr(at, n)),
          existed));
      at += n;
    }
  }
  return Status::Ok();
}

int MemoStore::Run(DriverOp op, DriverArgs& args) {
  if (args.blob < 1 || static_cast<size_t>(args.blob) > contents_.size()) return kErrUnsupported;
  const size_t n = static_cast<size_t>(args.blob) - 1;
  const StreamMemo& decl = decls_[n];
  std::string& content = contents_[n];
  const size_t capacity = MemoCapacity(decl);
  switch (op) {
    case DriverOp::kBlobSize:
      args.number_result = static_cast<int64_t>(content.size());
      return 0;
    case DriverOp::kBlobYield: {
      args.number_result = 0;
      if (args.offset < 0) return kErrUnsupported;
      size_t from = static_cast<size_t>(args.offset);
      if (from >= content.size()) return 0;
      size_t n_read = std::min(args.buffer.size(), content.size() - from);
      if (n_read > 0) std::memcpy(args.buffer.data(), content.data() + from, n_read);
      args.number_result = static_cast<int64_t>(n_read);
      return 0;
    }
    case DriverOp::kBlobTake: {
      if (args.offset < 0) return kErrUnsupported;
      // Checked before anything grows: an offset far beyond what the chunks can hold is refused
      // rather than allocated.
      const uint64_t from = static_cast<uint64_t>(args.offset);
      const uint64_t end = from + args.data.size();
      const bool blob = (decl.flags & kMemoBlob) != 0;
      if (end > capacity && (blob || from >= capacity)) {
        if (blob) return kErrAccessDenied;
        return 0;  // a MEMO keeps its declared size: nothing of this lies within it
      }
      size_t take = static_cast<size_t>(std::min<uint64_t>(end, capacity) - from);  // a MEMO is cut at its size
      if (take == 0) return 0;  // nothing to write: no growth either
      if (content.size() < from + take) content.resize(static_cast<size_t>(from) + take, '\0');
      std::memcpy(content.data() + from, args.data.data(), take);
      return 0;
    }
    case DriverOp::kBlobGetProp:
      return AnswerBlobProperty(decl, capacity, content, args.property, nullptr, args.text_result);
    case DriverOp::kBlobSetProp:
      return AnswerBlobProperty(decl, capacity, content, args.property, &args.text, args.text_result);
    default:
      return kErrUnsupported;
  }
}

}  // namespace cinevo::isam
