#include "runtime/data/isam/page_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

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
  if (at + 8 <= key.size()) {
    uint64_t v;
    std::memcpy(&v, key.data() + at, 8);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
  }
  uint64_t v = 0;
  for (size_t i = 0; i < 8; ++i) {
    v <<= 8;
    if (at + i < key.size()) v |= static_cast<uint8_t>(key[at + i]);
  }
  return v;
}

constexpr size_t kAidMinRecords = 8;  // smaller pages are searched plainly
constexpr unsigned kAidAfterSearches = 2;  // a page changed after every search never gets one

}  // namespace

bool Page::MakeSearchAid() const {
  SearchAid& a = search_;
  if (a.records != nullptr || a.count != records.size()) {
    // The records changed since the aid (or the last plain search) was made.
    a.records = nullptr;
    a.count = records.size();
    a.searches = 0;
  }
  if (records.size() < kAidMinRecords || ++a.searches < kAidAfterSearches) return false;
  std::string_view first = records.front().key(), last = records.back().key();
  size_t limit = std::min(first.size(), last.size());
  size_t prefix = 0;
  while (prefix < limit && first[prefix] == last[prefix]) ++prefix;
  a.prefix = prefix;
  a.probes.resize(records.size());
  for (size_t i = 0; i < records.size(); ++i) a.probes[i] = Probe(records[i].key(), prefix);
  a.records = records.data();
  a.count = records.size();
  return true;
}

int Page::FindFloor(std::string_view key) const {
  if (SearchAidReady()) {
    const SearchAid& a = search_;
    std::string_view first = records.front().key();
    size_t common = std::min(key.size(), a.prefix);
    int c = common == 0 ? 0 : std::memcmp(key.data(), first.data(), common);
    if (c < 0 || (c == 0 && key.size() < a.prefix)) return -1;  // below the shared prefix
    if (c > 0) return static_cast<int>(records.size()) - 1;
    uint64_t probe = Probe(key, a.prefix);
    auto lo = std::lower_bound(a.probes.begin(), a.probes.end(), probe);
    int floor = static_cast<int>(lo - a.probes.begin()) - 1;
    for (auto it = lo; it != a.probes.end() && *it == probe; ++it) {
      size_t i = static_cast<size_t>(it - a.probes.begin());
      if (CompareKeys(records[i].key(), key) > 0) break;
      floor = static_cast<int>(i);
    }
    return floor;
  }
  // Binary search: the first record greater than key, minus one.
  size_t lo = 0, hi = records.size();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (CompareKeys(records[mid].key(), key) <= 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return static_cast<int>(lo) - 1;
}

uint32_t CapacityFigure(const Page& page) {
  uint32_t total = kPageHeaderSize;
  for (const Record& r : page.records) total += static_cast<uint32_t>(r.bytes.size()) + 5;
  if (page.level > 0) total += 4 * static_cast<uint32_t>(page.records.size());
  return total;
}

bool NeedsSplit(const Page& page) {
  uint32_t cap = CapacityFigure(page);
  return cap >= kSplitCapacity || (cap > kSplitSoftCapacity && page.records.size() > kSplitSoftCount);
}

std::string SerializeRecords(const std::vector<Record>& records) {
  std::string out;
  const Record* prev = nullptr;
  for (const Record& r : records) {
    size_t len = r.bytes.size();
    uint8_t flag = 0;
    size_t shared = 0;
    if (prev == nullptr) {
      flag = 0xC0;
    } else {
      size_t limit = std::min<size_t>({63, len, prev->bytes.size()});
      while (shared < limit && r.bytes[shared] == prev->bytes[shared]) ++shared;
      if (len != prev->bytes.size()) flag |= 0x80;
      if (r.key_length != prev->key_length) flag |= 0x40;
    }
    out.push_back(static_cast<char>(flag | shared));
    if (flag & 0x80) AppendLe16(out, static_cast<uint16_t>(len));
    if (flag & 0x40) AppendLe16(out, r.key_length);
    out.append(r.bytes, shared, std::string::npos);
    prev = &r;
  }
  return out;
}

static uint32_t RoundUnits(size_t bytes) { return static_cast<uint32_t>((bytes + kUnitSize - 1) / kUnitSize); }

Status EncodePage(const Page& page, std::string& out) {
  for (const Record& r : page.records) {
    if (r.bytes.size() >= kRecordLimit || r.key_length > r.bytes.size()) {
      return Status::Internal(kCheckRecordTooLong, "record of " + std::to_string(r.bytes.size()) + " bytes");
    }
  }
  const size_t count = page.records.size();
  std::string body = SerializeRecords(page.records);
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
bool FollowsInOrder(const Record& prev, const Record& next, size_t shared) {
  size_t common = std::min<size_t>(prev.key_length, next.key_length);
  if (shared < common) {
    auto a = static_cast<uint8_t>(prev.bytes[shared]), b = static_cast<uint8_t>(next.bytes[shared]);
    if (a != b) return a < b;
  }
  return CompareKeys(prev.key(), next.key()) < 0;
}

}  // namespace

Status DecodePage(std::string_view raw, uint32_t address, Page& out) {
  const auto* p = reinterpret_cast<const uint8_t*>(raw.data());
  auto where = [address](const std::string& what) { return "page " + std::to_string(address) + ": " + what; };
  if (raw.size() < kUnitSize || raw.size() % kUnitSize != 0 || raw.size() > kMaxPageBytes) {
    return Status::Internal(kCheckPageClass, where("size does not fit a class"));
  }
  out = Page{};
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
  std::string expanded;
  std::string_view body = stored_body;
  if (out.stored_size < out.unpacked_size) {
    auto decoded = RunLengthDecode(stored_body, body_size);
    if (!decoded) return Status::Internal(kCheckRunLength, where("compressed records do not decode"));
    expanded = std::move(*decoded);
    body = expanded;
  }
  // Parse the records; every length is bounded by the bytes that remain.
  out.records.reserve(count);
  size_t pos = 0;
  uint16_t len = 0, key_len = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (pos >= body.size()) return Status::Internal(kCheckParsedLength, where("records end early"));
    uint8_t flag = static_cast<uint8_t>(body[pos++]);
    size_t shared = flag & 0x3F;
    if (i == 0 && (flag & 0xC0) != 0xC0) return Status::Internal(kCheckRecordFields, where("first record lacks its lengths"));
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
    const std::string* prev = i == 0 ? nullptr : &out.records.back().bytes;
    if (shared > len || (prev != nullptr && shared > prev->size()) || (i == 0 && shared != 0)) {
      return Status::Internal(kCheckRecordFields, where("shared prefix longer than a record"));
    }
    size_t rest = len - shared;
    if (body.size() - pos < rest) return Status::Internal(kCheckParsedLength, where("records end early"));
    Record r;
    r.key_length = key_len;
    r.bytes.reserve(len);
    if (shared > 0) r.bytes.assign(*prev, 0, shared);
    r.bytes.append(body.substr(pos, rest));
    pos += rest;
    if (i > 0 && !FollowsInOrder(out.records.back(), r, shared)) {
      return Status::Internal(kCheckRecordOrder, where("records out of order"));
    }
    out.records.push_back(std::move(r));
  }
  if (pos != body.size()) return Status::Internal(kCheckParsedLength, where("record bytes do not end at the unpacked size"));
  return Status::Ok();
}

}  // namespace cinevo::isam
