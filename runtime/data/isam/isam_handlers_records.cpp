// Record handlers of the native driver: ADD/APPEND, PUT, DELETE, GET, DUPLICATE, BUILD and
// EMPTY. The table's keys (table_keys.h) keep every key entry in step with its data record.
//
// Every change is checked before anything is written: a missing counters record (5), a
// record held elsewhere (5), a watched record changed meanwhile (89) and a duplicate in a
// unique key (40) all leave the file as it was.
//
// Out-of-date keys: APPEND leaves its records out of the keys and marks them (table_keys.h);
// a BUILD enters every record and clears the mark.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/code_page.h"
#include "runtime/core/invariant.h"
#include "runtime/core/type_code.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_table.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {


bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string RecnoPayload(uint32_t recno) {
  std::string p;
  AppendBe32(p, recno);
  return p;
}

// Converts the string fields of a record image between the code pages.
std::string ConvertStrings(const TableDeclaration& d, std::string image, bool to_oem) {
  for (const StreamField& f : d.fields) {
    if (f.type != 18 && f.type != 19 && f.type != 20) continue;
    size_t len = size_t{f.length} * std::max<uint16_t>(f.elements, 1);
    if (f.offset >= image.size()) continue;
    len = std::min(len, image.size() - f.offset);
    std::string part = image.substr(f.offset, len);
    part = to_oem ? platform::AnsiToOem(part) : platform::OemToAnsi(part);
    image.replace(f.offset, len, part);
  }
  return image;
}

}  // namespace

std::string IsamTable::StoredImage() const {
  std::string image(table_.declaration.record_length, '\0');
  std::copy_n(fcb_.record.begin(), std::min(fcb_.record.size(), image.size()), image.begin());
  return keys_.codec().oem ? ConvertStrings(table_.declaration, std::move(image), true) : image;
}

void IsamTable::ToBuffer(std::string_view stored) {
  std::string converted;
  std::string_view image = stored;
  if (keys_.codec().oem) image = converted = ConvertStrings(table_.declaration, std::string(stored), false);
  size_t n = std::min(image.size(), fcb_.record.size());
  if (n > 0) std::memcpy(fcb_.record.data(), image.data(), n);
  if (n < fcb_.record.size()) std::memset(fcb_.record.data() + n, 0, fcb_.record.size() - n);
}

void IsamTable::ToImage(const std::string& stored, std::string& image) const {
  image = keys_.codec().oem ? ConvertStrings(table_.declaration, stored, false) : stored;
}

void IsamTable::BufferImage(std::string& image) const {
  size_t n = std::min<size_t>(fcb_.record.size(), table_.declaration.record_length);
  image.assign(reinterpret_cast<const char*>(fcb_.record.data()), n);
  image.resize(table_.declaration.record_length, '\0');
}

void IsamTable::MakeDataRecord(uint32_t recno, const std::string& image, Record& out) const {
  out.bytes.clear();
  AppendBe32(out.bytes, table_.number);
  out.bytes.push_back(static_cast<char>(kTagData));
  AppendBe32(out.bytes, recno);
  out.key_length = static_cast<uint16_t>(out.bytes.size());
  if (keys_.codec().oem) {
    out.bytes += ConvertStrings(table_.declaration, image, true);
  } else {
    out.bytes += image;
  }
}

const std::string& IsamTable::ImageOf(const std::string& stored, std::string& buffer) const {
  if (!keys_.codec().oem && stored.size() == table_.declaration.record_length) return stored;
  if (keys_.codec().oem) {
    buffer = ConvertStrings(table_.declaration, stored, false);
  } else {
    buffer.assign(stored);
  }
  buffer.resize(table_.declaration.record_length, '\0');
  return buffer;
}

void IsamTable::ForgetCopies() {
  keys_.ForgetCounters();
  seq_.Forget();
}

Status IsamTable::ReadData(uint32_t recno, std::string& payload, bool& found) {
  payload.clear();
  return AppendData(recno, payload, found);
}

Status IsamTable::AppendData(uint32_t recno, std::string& out, bool& found) {
  char key[9];
  PutBe32(reinterpret_cast<uint8_t*>(key), table_.number);
  key[4] = static_cast<char>(kTagData);
  PutBe32(reinterpret_cast<uint8_t*>(key + 5), recno);
  return table_.file->tree().AppendPayload(std::string_view(key, sizeof key), out, found);
}

Status IsamTable::StoredRecord(uint32_t recno, const std::string*& stored) {
  if (const std::string* kept = seq_.Kept(recno)) {
    stored = kept;
    return Status::Ok();
  }
  bool found = false;
  ISAM_RETURN_IF_ERROR(ReadData(recno, read_stored_, found));
  stored = found ? &read_stored_ : nullptr;
  return Status::Ok();
}

namespace {
std::span<const uint8_t> Span(const std::string& s) { return {Bytes(s), s.size()}; }
}  // namespace

int IsamTable::AddRecord(bool append) {
  int e = Begin();
  if (e != 0) return e;
  TableCounters data;
  Status st = keys_.ReadCounters(kTagData, data);
  if (!st.ok()) return End(Fail(st), false);
  if (!data.found) return End(kErrAccessDenied, false);  // checked before anything is written
  std::string& image = new_image_;
  BufferImage(image);
  if (!append) {
    int dup = 0;
    st = keys_.Check({}, image, 0, dup);
    if (!st.ok()) return End(Fail(st), false);
    if (dup != 0) return End(dup, false);
  }
  uint32_t recno = 0;
  seq_.Forget();
  st = [&]() -> Status {
    ISAM_RETURN_IF_ERROR(table_.file->store().IssueNumber(recno));
    ISAM_RETURN_IF_ERROR(keys_.Apply({}, image, recno, append));
    bool existed = false;
    MakeDataRecord(recno, image, change_record_);
    ISAM_RETURN_IF_ERROR(table_.file->tree().Insert(change_record_, existed));
    if (existed) return Status::Internal(kCheckRecordOrder, "record number issued twice");
    ++data.entries;
    ISAM_RETURN_IF_ERROR(keys_.WriteCounters(kTagData, data));
    return memos_.Write(table_.file->tree(), recno);
  }();
  if (!st.ok()) return End(Fail(st), true);
  ReleaseHold();
  seq_.Become(recno, std::string_view(change_record_.bytes).substr(change_record_.key_length));
  return End(0, true);
}

// Whether another open holds the record. With exclusive access (an exclusive open or LOCK)
// no other open of the file exists, so nothing needs asking.
bool IsamTable::HeldElsewhere(uint32_t recno) { return locks_ && !locked_ && locks_->HeldElsewhere(recno); }

int IsamTable::PutRecord(int64_t pointer) {
  uint32_t recno = pointer > 0 ? static_cast<uint32_t>(pointer) : seq_.current();
  if (recno == 0) return kErrRecordNotAvailable;
  int e = Begin();
  if (e != 0) return e;
  if (held_ != recno && HeldElsewhere(recno)) return End(kErrAccessDenied, false);
  const std::string* stored = nullptr;
  Status st = StoredRecord(recno, stored);
  if (!st.ok()) return End(Fail(st), false);
  if (stored == nullptr) return End(kErrRecordNotAvailable, false);
  if ((fcb_.state & kStateRecordWatched) && recno == seq_.current() && *stored != watched_) {
    return End(kErrChangedElsewhere, false);
  }
  const std::string& old_image = ImageOf(*stored, old_image_);
  std::string& new_image = new_image_;
  BufferImage(new_image);
  int dup = 0;
  st = keys_.Check(old_image, new_image, recno, dup);
  if (!st.ok()) return End(Fail(st), false);
  if (dup != 0) return End(dup, false);
  st = [&]() -> Status {
    // The data record first, while the tree still remembers its leaf from the read; then
    // the keys. The new stored bytes wait in new_stored_ (the old image may be the kept
    // copy itself, so they are swapped in only after the keys).
    bool replaced = false;
    MakeDataRecord(recno, new_image, change_record_);
    ISAM_RETURN_IF_ERROR(table_.file->tree().Replace(change_record_, replaced));
    new_stored_.assign(change_record_.bytes, change_record_.key_length, std::string::npos);
    Status keys = keys_.Apply(old_image, new_image, recno, false, seq_.KnownEntryOf(recno));
    if (keys.code == kErrCreatesDuplicateKey) {
      // A damaged file refused a key entry: the record keeps its bytes, as its keys do.
      Record& data = change_record_;
      data.bytes.clear();
      AppendBe32(data.bytes, table_.number);
      data.bytes.push_back(static_cast<char>(kTagData));
      AppendBe32(data.bytes, recno);
      data.key_length = static_cast<uint16_t>(data.bytes.size());
      data.bytes += *stored;
      ISAM_RETURN_IF_ERROR(table_.file->tree().Replace(data, replaced));
    }
    ISAM_RETURN_IF_ERROR(keys);
    return memos_.Write(table_.file->tree(), recno);
  }();
  seq_.Forget();
  if (!st.ok()) return End(Fail(st), true);
  ReleaseHold();
  seq_.BecomeSwapping(recno, new_stored_);
  return End(0, true);
}

int IsamTable::DeleteRecord() {
  uint32_t recno = seq_.current();
  if (recno == 0) return kErrRecordNotAvailable;
  int e = Begin();
  if (e != 0) return e;
  if (held_ != recno && HeldElsewhere(recno)) return End(kErrAccessDenied, false);
  const std::string* stored = nullptr;
  Status st = StoredRecord(recno, stored);
  if (!st.ok()) return End(Fail(st), false);
  if (stored == nullptr) return End(kErrRecordNotAvailable, false);
  const std::string& old_image = ImageOf(*stored, old_image_);
  st = [&]() -> Status {
    ISAM_RETURN_IF_ERROR(keys_.Apply(old_image, {}, recno, false, seq_.KnownEntryOf(recno)));
    seq_.Forget();
    bool erased = false;
    char key[9];
    PutBe32(reinterpret_cast<uint8_t*>(key), table_.number);
    key[4] = static_cast<char>(kTagData);
    PutBe32(reinterpret_cast<uint8_t*>(key + 5), recno);
    ISAM_RETURN_IF_ERROR(table_.file->tree().Erase(std::string_view(key, sizeof key), erased));
    ISAM_RETURN_IF_ERROR(memos_.Erase(table_.file->tree(), recno));
    TableCounters data;
    ISAM_RETURN_IF_ERROR(keys_.ReadCounters(kTagData, data));
    if (data.entries > 0) --data.entries;
    return keys_.WriteCounters(kTagData, data);
  }();
  seq_.Forget();
  if (!st.ok()) return End(Fail(st), true);
  ReleaseHold();
  seq_.Clear();
  return End(0, true);
}

int IsamTable::Load(uint32_t recno, std::string_view stored) {
  if (fcb_.state & kStateHoldRequested) {
    if (held_ != recno) {
      // Holds are taken only under the update lock: an updater keeping that lock relies on it.
      CINEVO_INVARIANT(!locks_ || locked_ || locks_->updating(), "a record is held only by a read under the update lock");
      int e = locks_ ? locks_->TakeRecord(recno, hold_wait_ms_) : 0;
      if (e == EAGAIN) return kErrRecordHeld;
      if (e != 0) {
        fcb_.os_error = e;
        return kErrFileSystem;
      }
      if (held_ != 0 && locks_) locks_->GiveRecord(held_);
      held_ = recno;
    }
    fcb_.state |= kStateRecordHeld;
  } else if (held_ != 0) {
    locks_->GiveRecord(held_);
    held_ = 0;
  }
  if (fcb_.state & kStateWatchRequested) {
    watched_.assign(stored);
    fcb_.state |= kStateRecordWatched;
  }
  ToBuffer(stored);
  Status st = memos_.LoadFor(table_.file->tree(), recno);
  if (!st.ok()) return Fail(st);
  seq_.Become(recno, stored);
  return 0;
}

int IsamTable::GetByKey(int key) {
  if (key < 0 || static_cast<size_t>(key) >= keys_.size()) return kErrUnsupported;
  int e = Begin();
  if (e != 0) return e;
  const KeyDesc& k = keys_[static_cast<size_t>(key)];
  // The entry prefix: table, key number and the buffer's key value (without a record number).
  std::string& prefix = lookup_key_;
  keys_.EntryPrefixInto(k, std::span<const uint8_t>(fcb_.record.data(), fcb_.record.size()), prefix);
  Record& r = lookup_record_;
  bool found = false;
  Status st = k.dup ? table_.file->tree().AtOrAfter(prefix, r, found) : table_.file->tree().Find(prefix, r, found);
  if (!st.ok()) return End(Fail(st), false);
  if (!found || !StartsWith(r.key(), prefix) || r.bytes.size() < size_t{r.key_length} + 4) {
    return End(kErrRecordNotFound, false);
  }
  uint32_t recno = GetBe32(Bytes(r.bytes) + r.key_length);
  st = ReadData(recno, read_stored_, found);
  if (!st.ok()) return End(Fail(st), false);
  if (!found) return End(kErrRecordNotFound, false);
  int loaded = Load(recno, read_stored_);
  if (loaded == 0) seq_.KeepEntry(key, r.key());
  return End(loaded, false);
}

int IsamTable::GetByPointer(int64_t pointer) {
  if (pointer <= 0 || pointer > 0xFFFFFFFFll) {
    // GET by pointer 0 is how a caller says "no record is current": a DUPLICATE that follows
    // then counts every entry, the one of the record last read included.
    seq_.Clear();
    return kErrRecordNotFound;
  }
  int e = Begin();
  if (e != 0) return e;
  bool found = false;
  Status st = ReadData(static_cast<uint32_t>(pointer), read_stored_, found);
  if (!st.ok()) return End(Fail(st), false);
  if (!found) return End(kErrRecordNotFound, false);
  return End(Load(static_cast<uint32_t>(pointer), read_stored_), false);
}

int IsamTable::Duplicate(int key, DriverArgs& args) {
  args.number_result = 0;
  int e = Begin();
  if (e != 0) return e;
  std::string image(fcb_.record.begin(), fcb_.record.end());
  image.resize(table_.declaration.record_length, '\0');
  for (const KeyDesc& k : keys_) {
    if ((key >= 0 && k.number != key) || k.dup || !keys_.HasEntry(k, Span(image))) continue;
    uint32_t owner = 0;
    Status st = keys_.UniqueOwner(keys_.EntryKeyFor(k, Span(image), 0), owner);
    if (!st.ok()) return End(Fail(st), false);
    if (owner != 0 && owner != seq_.current()) {
      args.number_result = 1;
      break;
    }
  }
  return End(0, false);
}

int IsamTable::Build(int key) {
  if (key >= static_cast<int>(keys_.size())) return kErrUnsupported;
  int e = Begin();
  if (e != 0) return e;
  seq_.ForgetEntry();  // the entries are made anew (a foreign form of one is not kept)
  BTree& tree = table_.file->tree();
  int result = 0;
  Status st = [&]() -> Status {
    for (const KeyDesc& k : keys_) {
      if (key >= 0 && k.number != key) continue;
      std::string prefix = KeyEntryPrefix(table_.number, k.number);
      Record r;
      bool found = false;
      for (;;) {
        ISAM_RETURN_IF_ERROR(tree.AtOrAfter(prefix, r, found));
        if (!found || !StartsWith(r.key(), prefix)) break;
        bool erased = false;
        ISAM_RETURN_IF_ERROR(tree.Erase(std::string(r.key()), erased));
        // An entry that the search finds but the erase does not would be found again for ever.
        if (!erased) return Status::Internal(kCheckRecordOrder, "a key entry found but not erased");
      }
      TableCounters c;
      ISAM_RETURN_IF_ERROR(keys_.ReadCounters(k.number, c));
      c.entries = 0;
      c.mark = 0;
      std::string data_prefix = DataKey(table_.number, 0).substr(0, 5);
      ISAM_RETURN_IF_ERROR(tree.AtOrAfter(data_prefix, r, found));
      while (found && StartsWith(r.key(), data_prefix)) {
        uint32_t recno = GetBe32(Bytes(r.bytes) + 5);
        std::string stored = r.bytes.substr(r.key_length);
        std::string image = keys_.codec().oem ? ConvertStrings(table_.declaration, stored, false) : stored;
        image.resize(table_.declaration.record_length, '\0');
        if (keys_.HasEntry(k, Span(image))) {
          bool existed = false;
          ISAM_RETURN_IF_ERROR(tree.Insert(MakeRecord(keys_.EntryKeyFor(k, Span(image), recno), RecnoPayload(recno)), existed));
          if (existed) {
            result = kErrCreatesDuplicateKey;
            return Status::Ok();
          }
          ++c.entries;
        }
        std::string at(r.key());
        ISAM_RETURN_IF_ERROR(tree.After(at, r, found));
      }
      ISAM_RETURN_IF_ERROR(keys_.WriteCounters(k.number, c));
    }
    return Status::Ok();
  }();
  if (!st.ok()) return End(Fail(st), true);
  // A failed build outside a stream leaves the key as it was; inside one the stream's earlier
  // changes must stay, and the key stays incomplete until a BUILD succeeds.
  return End(result, true);
}

int IsamTable::EmptyTable() {
  int e = Begin();
  if (e != 0) return e;
  BTree& tree = table_.file->tree();
  Status st = [&]() -> Status {
    std::string prefix = TablePrefix(table_.number);
    std::string key = prefix;
    Record r;
    bool found = false;
    ISAM_RETURN_IF_ERROR(tree.AtOrAfter(key, r, found));
    while (found && StartsWith(r.key(), prefix)) {
      RecordKind kind = ClassifyKey(r.key());
      key.assign(r.key());
      if (kind == RecordKind::kKeyEntry || kind == RecordKind::kData || kind == RecordKind::kMemo) {
        bool erased = false;
        ISAM_RETURN_IF_ERROR(tree.Erase(key, erased));
      }
      ISAM_RETURN_IF_ERROR(tree.After(key, r, found));
    }
    ISAM_RETURN_IF_ERROR(keys_.WriteCounters(kTagData, TableCounters{}));
    for (const KeyDesc& k : keys_) ISAM_RETURN_IF_ERROR(keys_.WriteCounters(k.number, TableCounters{}));
    return Status::Ok();
  }();
  seq_.Forget();
  if (!st.ok()) return End(Fail(st), true);
  seq_.Clear();
  return End(0, true);
}

}  // namespace cinevo::isam
