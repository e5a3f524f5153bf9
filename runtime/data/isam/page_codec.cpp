#include "runtime/data/isam/page_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <optional>

#include "runtime/core/invariant.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/run_length.h"

namespace cinevo::isam {

int CompareKeys(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

namespace {

// The 8 bytes of `key` from `at` on, big-endian, zero-padded.
uint64_t Probe(std::string_view key, size_t at) {
  size_t n = at < key.size() ? key.size() - at : 0;
  if (n >= 8) {
    uint64_t v;
    std::memcpy(&v, key.data() + at, 8);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
  }
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | static_cast<uint8_t>(key[at + i]);
  return n == 0 ? 0 : v << (8 * (8 - n));
}

size_t SharedPrefix(std::string_view a, std::string_view b, size_t limit) {
  limit = std::min({limit, a.size(), b.size()});
  size_t n = 0;
  while (n + 8 <= limit && std::memcmp(a.data() + n, b.data() + n, 8) == 0) n += 8;
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// Copies a shared prefix (at most 63 bytes) word by word: for so few bytes a call to memcpy,
// or the string instruction the compiler picks for a bounded length, costs more than the copy.
void CopyPrefix(char* dst, const char* src, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) std::memcpy(dst + i, src + i, 8);
  for (; i < n; ++i) dst[i] = src[i];
}

}  // namespace

uint64_t Page::ProbeOf(std::string_view key) const { return Probe(key, prefix_); }

void Page::SetPrefix(size_t length) {
  prefix_ = static_cast<uint32_t>(length);
  if (!slots_.empty()) std::memcpy(prefix_bytes_, data_.data() + slots_[0].offset, std::min(length, kInlinePrefix));
}

void Page::ResetSearch() {
  SetPrefix(slots_.empty() ? 0 : SharedPrefix(key(0), key(slots_.size() - 1), SIZE_MAX));
  for (size_t i = 0; i < slots_.size(); ++i) slots_[i].probe = ProbeOf(key(i));
}

uint32_t Page::Store(std::string_view bytes) {
  std::less<const char*> below;
  if (!data_.empty() && !below(bytes.data(), data_.data()) && below(bytes.data(), data_.data() + data_.size())) {
    // The bytes lie in this buffer, which may move or be compacted: store a copy.
    return Store(std::string(bytes));
  }
  if (data_.size() > 2 * record_bytes_ + 1024) Compact();
  auto offset = static_cast<uint32_t>(data_.size());
  data_.append(bytes);
  return offset;
}

void Page::Compact() {
  std::string packed;
  packed.reserve(record_bytes_ + record_bytes_ / 4);
  for (Slot& s : slots_) {
    uint32_t offset = static_cast<uint32_t>(packed.size());
    packed.append(data_, s.offset, s.length);
    s.offset = offset;
  }
  data_.swap(packed);
}

void Page::SetSlot(size_t i, uint32_t offset, RecordView record) {
  Slot& s = slots_[i];
  s.offset = offset;
  s.length = static_cast<uint16_t>(record.bytes.size());
  s.key_length = record.key_length;
  // Only a key at either end can share less with the others than the keys before it did; a
  // key between two others shares what they share.
  size_t n = slots_.size();
  if (n == 1) {
    SetPrefix(record.key_length);
  } else if (i == 0 || i == n - 1) {
    size_t shared = SharedPrefix(key(i), key(i == 0 ? n - 1 : 0), prefix_);
    if (shared < prefix_) {
      ResetSearch();
      return;
    }
  }
  CINEVO_INVARIANT(record.key_length >= prefix_, "a key set in a slot starts with the page's shared prefix");
  s.probe = ProbeOf(key(i));
}

void Page::Insert(size_t at, RecordView record) {
  uint32_t offset = Store(record.bytes);
  slots_.insert(slots_.begin() + static_cast<std::ptrdiff_t>(at), Slot{});
  record_bytes_ += record.bytes.size();
  // Store may have compacted the buffer, but `offset` is where the new bytes went.
  SetSlot(at, offset, RecordView(std::string_view(data_).substr(offset, record.bytes.size()), record.key_length));
}

void Page::Replace(size_t i, RecordView record) {
  Slot& s = slots_[i];
  size_t old = s.length;
  uint32_t offset = s.offset;
  if (record.bytes.size() <= old) {
    std::memmove(data_.data() + offset, record.bytes.data(), record.bytes.size());
  } else {
    offset = Store(record.bytes);
  }
  record_bytes_ = record_bytes_ - old + record.bytes.size();
  SetSlot(i, offset, RecordView(std::string_view(data_).substr(offset, record.bytes.size()), record.key_length));
}

void Page::Erase(size_t i) {
  record_bytes_ -= slots_[i].length;
  slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(i));
  if (slots_.empty()) {
    data_.clear();
    prefix_ = 0;
  }
}

void Page::MoveTail(size_t from, Page& to) {
  for (size_t i = from; i < slots_.size(); ++i) {
    const Slot& s = slots_[i];
    to.slots_.push_back(Slot{0, to.Store(bytes(i)), s.length, s.key_length});
    to.record_bytes_ += s.length;
    record_bytes_ -= s.length;
  }
  slots_.resize(from);
  Compact();
  ResetSearch();
  to.ResetSearch();
}

void Page::CheckInvariants() const {
  if constexpr (!kCheckInvariants) return;
  size_t total = 0;
  for (size_t i = 0; i < slots_.size(); ++i) {
    const Slot& s = slots_[i];
    CINEVO_INVARIANT(size_t{s.offset} + s.length <= data_.size() && s.key_length <= s.length,
                     "a record lies inside the page's buffer and its key inside the record");
    total += s.length;
    CINEVO_INVARIANT(i == 0 || CompareKeys(key(i - 1), key(i)) < 0, "the keys of a page ascend strictly");
    CINEVO_INVARIANT(key(i).size() >= prefix_ && key(i).substr(0, prefix_) == key(0).substr(0, prefix_),
                     "every key starts with the page's shared prefix");
    CINEVO_INVARIANT(s.probe == ProbeOf(key(i)), "a slot's probe is the 8 key bytes after the prefix");
  }
  CINEVO_INVARIANT(total == record_bytes_, "the byte count is the sum of the records' lengths");
  CINEVO_INVARIANT(slots_.empty() || std::memcmp(prefix_bytes_, key(0).data(), std::min<size_t>(prefix_, kInlinePrefix)) == 0,
                   "the inline prefix bytes are the first key's");
}

std::vector<Record> RecordsOf(const Page& page) {
  std::vector<Record> out;
  out.reserve(page.size());
  for (size_t i = 0; i < page.size(); ++i) out.push_back(page.record(i).ToRecord());
  return out;
}

int Page::FindFloor(std::string_view key) const {
  const size_t n = slots_.size();
  if (n == 0) return -1;
  // Against the prefix every key shares: below it, the key precedes them all; above, it
  // follows them all.
  size_t common = std::min<size_t>(key.size(), prefix_);
  const char* shared = common <= kInlinePrefix ? prefix_bytes_ : data_.data() + slots_[0].offset;
  int c = common == 0 ? 0 : std::memcmp(key.data(), shared, common);
  if (c < 0 || (c == 0 && key.size() < prefix_)) return -1;
  if (c > 0) return static_cast<int>(n) - 1;
  // The first slot whose probe is not below the key's, then among the equal probes the first
  // record whose key is greater.
  const uint64_t probe = ProbeOf(key);
  size_t lo = 0, hi = n;
  if (n <= kCountedSlots) {
    // Counting every probe below the key reads the slots in no dependent order, so the
    // processor fetches all their cache lines at once; a binary search waits for each in turn.
    for (size_t i = 0; i < n; ++i) lo += slots_[i].probe < probe;
    hi = lo;
  }
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (slots_[mid].probe < probe) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  size_t end = lo;
  while (end < n && slots_[end].probe == probe) ++end;
  // Keys with equal probes: binary search by whole keys over [lo, end).
  while (lo < end) {
    size_t mid = (lo + end) / 2;
    if (CompareKeys(this->key(mid), key) <= 0) {
      lo = mid + 1;
    } else {
      end = mid;
    }
  }
  return static_cast<int>(lo) - 1;
}

uint32_t CapacityFigure(const Page& page) {
  auto count = static_cast<uint32_t>(page.size());
  uint32_t total = kPageHeaderSize + static_cast<uint32_t>(page.record_bytes()) + 5 * count;
  if (page.level > 0) total += 4 * count;
  return total;
}

bool NeedsSplit(const Page& page) {
  uint32_t cap = CapacityFigure(page);
  return cap >= kSplitCapacity || (cap > kSplitSoftCapacity && page.size() > kSplitSoftCount);
}

std::string SerializeRecords(const Page& page) {
  std::string out;
  out.reserve(page.record_bytes() + 5 * page.size());
  RecordView prev;
  for (size_t i = 0; i < page.size(); ++i) {
    RecordView r = page.record(i);
    size_t len = r.bytes.size();
    uint8_t flag = 0;
    size_t shared = 0;
    if (i == 0) {
      flag = 0xC0;
    } else {
      shared = SharedPrefix(r.bytes, prev.bytes, 63);
      if (len != prev.bytes.size()) flag |= 0x80;
      if (r.key_length != prev.key_length) flag |= 0x40;
    }
    out.push_back(static_cast<char>(flag | shared));
    if (flag & 0x80) AppendLe16(out, static_cast<uint16_t>(len));
    if (flag & 0x40) AppendLe16(out, r.key_length);
    out.append(r.bytes.substr(shared));
    prev = r;
  }
  return out;
}

static uint32_t RoundUnits(size_t bytes) { return static_cast<uint32_t>((bytes + kUnitSize - 1) / kUnitSize); }

Status EncodePage(const Page& page, std::string& out) {
  for (size_t i = 0; i < page.size(); ++i) {
    if (page.bytes(i).size() >= kRecordLimit || page.key_length(i) > page.bytes(i).size()) {
      return Status::Internal(kCheckRecordTooLong, "record of " + std::to_string(page.bytes(i).size()) + " bytes");
    }
  }
  const size_t count = page.size();
  std::string body = SerializeRecords(page);
  size_t fixed = kPageHeaderSize + (page.level > 0 ? 4 * count : 0);
  size_t unpacked = fixed + body.size();
  size_t stored = unpacked;
  std::optional<std::string> packed = RunLengthEncode(body);
  if (packed && RoundUnits(fixed + packed->size()) < RoundUnits(unpacked)) {
    stored = fixed + packed->size();
  } else {
    packed.reset();
  }
  if (unpacked > 0xFFFF || stored > kMaxPageBytes) {
    return Status::Internal(kCheckPageTooLarge, "page of " + std::to_string(stored) + " bytes");
  }
  out.assign(RoundUnits(stored) * kUnitSize, static_cast<char>(kFiller));
  auto* p = reinterpret_cast<uint8_t*>(out.data());
  PutLe32(p, page.address);
  PutLe16(p + 4, static_cast<uint16_t>(stored));
  PutLe16(p + 6, static_cast<uint16_t>(unpacked));
  PutLe16(p + 8, static_cast<uint16_t>(std::min<uint32_t>(CapacityFigure(page), 0xFFFF)));
  PutLe16(p + 10, static_cast<uint16_t>(count));
  p[12] = page.level;
  size_t pos = kPageHeaderSize;
  if (page.level > 0) {
    for (size_t i = 0; i < count; ++i, pos += 4) PutLe32(p + pos, i < page.children.size() ? page.children[i] : 0);
  }
  const std::string& bytes = packed ? *packed : body;
  std::memcpy(p + pos, bytes.data(), bytes.size());
  return Status::Ok();
}

namespace {

// Whether `next` sorts after `prev`, given that their first `shared` bytes are equal: mostly
// one byte comparison where the shared prefix ends inside both keys.
bool FollowsInOrder(RecordView prev, RecordView next, size_t shared) {
  size_t common = std::min<size_t>(prev.key_length, next.key_length);
  if (shared < common) {
    auto a = static_cast<uint8_t>(prev.bytes[shared]), b = static_cast<uint8_t>(next.bytes[shared]);
    if (a != b) return a < b;
  }
  return CompareKeys(prev.key(), next.key()) < 0;
}

}  // namespace

Status DecodePage(std::string_view raw, uint32_t address, Page& out) {
  std::string scratch;
  return DecodePage(raw, address, out, scratch);
}

Status DecodePage(std::string_view raw, uint32_t address, Page& out, std::string& scratch) {
  Status st = out.Decode(raw, address, scratch);
  if (!st.ok()) {
    // Leave an empty page, never slots that point past the record bytes.
    out.slots_.clear();
    out.children.clear();
    out.record_bytes_ = 0;
  }
  return st;
}

Status Page::Decode(std::string_view raw, uint32_t address, std::string& scratch) {
  Page& out = *this;
  const auto* p = reinterpret_cast<const uint8_t*>(raw.data());
  auto where = [address](const std::string& what) { return "page " + std::to_string(address) + ": " + what; };
  if (raw.size() < kUnitSize || raw.size() % kUnitSize != 0 || raw.size() > kMaxPageBytes) {
    return Status::Internal(kCheckPageClass, where("size does not fit a class"));
  }
  // A page taken back from the cache is reused: its buffers keep their capacity (and the record
  // buffer its bytes, which are all overwritten below), everything else starts afresh.
  out.slots_.clear();
  out.children.clear();
  out.child_pages.clear();
  out.child_pages_at = 0;
  out.encoded.clear();
  out.encoded_valid = false;
  out.record_bytes_ = 0;
  out.prefix_ = 0;
  out.address = GetLe32(p);
  if (out.address != address) return Status::Internal(kCheckPageAddress, where("header names address " + std::to_string(out.address)));
  out.stored_size = GetLe16(p + 4);
  out.unpacked_size = GetLe16(p + 6);
  out.capacity = GetLe16(p + 8);
  uint32_t count = GetLe16(p + 10);
  out.level = p[12];
  if (RoundUnits(out.stored_size) * kUnitSize != raw.size()) {
    return Status::Internal(kCheckPageClass, where("stored size " + std::to_string(out.stored_size) + " does not match its class"));
  }
  size_t fixed = kPageHeaderSize + (out.level > 0 ? 4 * size_t{count} : 0);
  if (fixed > out.stored_size || out.stored_size > out.unpacked_size) {
    return Status::Internal(kCheckPageHeader, where("inconsistent sizes"));
  }
  if (count == 0) return Status::Internal(kCheckEmptyPage, where("holds no record"));
  if (out.level > 0) {
    out.children.resize(count);
    for (uint32_t i = 0; i < count; ++i) out.children[i] = GetLe32(p + kPageHeaderSize + 4 * i);
  }
  std::string_view stored_body = raw.substr(fixed, out.stored_size - fixed);
  size_t body_size = out.unpacked_size - fixed;
  std::string_view body = stored_body;
  if (out.stored_size < out.unpacked_size) {
    if (!RunLengthDecode(stored_body, body_size, scratch)) return Status::Internal(kCheckRunLength, where("compressed records do not decode"));
    body = scratch;
  }
  // Pass one reads the record headers, checking every length against the bytes that remain.
  // Each slot gets its record's place in the page buffer; its probe field holds, until pass
  // two, where the record's own bytes start in `body` (shifted left 8) and the shared length.
  out.slots_.resize(count);
  size_t pos = 0, total = 0;
  uint16_t len = 0, key_len = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (pos >= body.size()) return Status::Internal(kCheckParsedLength, where("records end early"));
    uint8_t flag = static_cast<uint8_t>(body[pos++]);
    size_t shared = flag & 0x3F;
    if (i == 0 && (flag & 0xC0) != 0xC0) return Status::Internal(kCheckRecordFields, where("first record lacks its lengths"));
    uint16_t prev_len = len;
    if (flag & 0x80) {
      if (body.size() - pos < 2) return Status::Internal(kCheckParsedLength, where("records end early"));
      len = GetLe16(reinterpret_cast<const uint8_t*>(body.data()) + pos);
      pos += 2;
    }
    if (flag & 0x40) {
      if (body.size() - pos < 2) return Status::Internal(kCheckParsedLength, where("records end early"));
      key_len = GetLe16(reinterpret_cast<const uint8_t*>(body.data()) + pos);
      pos += 2;
    }
    if (len >= kRecordLimit) return Status::Internal(kCheckRecordTooLong, where("record of " + std::to_string(len) + " bytes"));
    if (key_len == 0 || key_len > len) return Status::Internal(kCheckRecordFields, where("key length " + std::to_string(key_len) + " of a record of " + std::to_string(len)));
    if (shared > len || (i > 0 && shared > prev_len) || (i == 0 && shared != 0)) {
      return Status::Internal(kCheckRecordFields, where("shared prefix longer than a record"));
    }
    size_t rest = len - shared;
    if (body.size() - pos < rest) return Status::Internal(kCheckParsedLength, where("records end early"));
    out.slots_[i] = Slot{(uint64_t{pos} << 8) | shared, static_cast<uint32_t>(total), len, key_len};
    pos += rest;
    total += len;
  }
  // Pass two assembles the records: the shared prefix from the record before, the rest from
  // the body. The buffer has its final size, so views into it stay valid meanwhile.
  out.data_.resize(total);
  out.record_bytes_ = total;
  char* data = out.data_.data();
  for (uint32_t i = 0; i < count; ++i) {
    Slot& slot = out.slots_[i];
    size_t shared = slot.probe & 0xFF, from = slot.probe >> 8;
    if (i > 0) CopyPrefix(data + slot.offset, data + out.slots_[i - 1].offset, shared);
    std::memcpy(data + slot.offset + shared, body.data() + from, slot.length - shared);
    if (i > 0 && !FollowsInOrder(out.record(i - 1), out.record(i), shared)) {
      return Status::Internal(kCheckRecordOrder, where("records out of order"));
    }
  }
  out.ResetSearch();
  if (pos != body.size()) return Status::Internal(kCheckParsedLength, where("record bytes do not end at the unpacked size"));
  return Status::Ok();
}

}  // namespace cinevo::isam
