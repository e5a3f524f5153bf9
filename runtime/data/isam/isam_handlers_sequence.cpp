// Sequence handlers of the native driver: the SET family, NEXT, PREVIOUS, SKIP, BOF, EOF,
// POSITION, RESET and REGET.
//
// Position strings: for file order the record number (4 bytes, big-endian); for a key the
// record number followed by the key value (key size + 4 bytes).
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_table.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {


bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
std::span<const uint8_t> Span(const std::string& s) { return {Bytes(s), s.size()}; }

// A caller's RowScreen applied to the tree's records in a scan in file order. Anything but a data
// record of the table (the scan has reached the end of the table's records) is not skipped, so
// that the step ends there as it would without the screen.
struct ScreenedScan {
  const RowScreen* screen;
  char prefix[5];  // of the table's data records

  static bool Skip(const void* context, RecordView r) {
    const auto& scan = *static_cast<const ScreenedScan*>(context);
    if (r.key_length != 9 || r.bytes.substr(0, 5) != std::string_view(scan.prefix, 5)) return false;
    const RowScreen& s = *scan.screen;
    const std::string_view stored = r.bytes.substr(9);
    const size_t n = std::min<size_t>(s.size, 8);
    if (stored.size() < size_t{s.offset} + n) return false;
    const uint64_t rank = RowScreen::Rank(stored.substr(s.offset, n), s.weights);
    return s.skip_below ? rank < s.bound : rank > s.bound;
  }
};

}  // namespace

Status IsamTable::Neighbour(bool forward, bool fresh, const std::string& point, std::string& found_key, uint32_t& recno,
                            bool& found, RecordScreen* screen) {
  return seq_.Neighbour(table_.file->tree(), forward, fresh, point, step_record_, found_key, recno, found, nullptr,
                        screen);
}

int IsamTable::SetOrder(DriverOp op, DriverArgs& args) {
  bool by_key = op == DriverOp::kSetKey || op == DriverOp::kSetKeyKey || op == DriverOp::kSetKeyPtr ||
                op == DriverOp::kSetKeyKeyPtr;
  if ((by_key || op == DriverOp::kSetFileKey) && (args.key < 0 || static_cast<size_t>(args.key) >= keys_.size())) {
    return kErrUnsupported;
  }
  int e = Begin();
  if (e != 0) return e;
  const int key = by_key ? args.key : -1;
  ahead_.Reset();
  std::string image(fcb_.record.begin(), fcb_.record.end());
  image.resize(table_.declaration.record_length, '\0');
  switch (op) {
    case DriverOp::kSetFile:
    case DriverOp::kSetKey:
      seq_.StartWhole(key);
      break;
    case DriverOp::kSetFilePtr:
      seq_.StartAt(key, DataKey(table_.number, static_cast<uint32_t>(args.pointer)));
      break;
    case DriverOp::kSetFileKey: {
      // File order from the first record whose key value is at or after the buffer's.
      const KeyDesc& k = keys_[static_cast<size_t>(args.key)];
      std::string value_prefix = keys_.EntryKeyFor(k, Span(image), 0);
      if (k.dup) value_prefix.resize(value_prefix.size() - 4);
      std::string key_prefix = KeyEntryPrefix(table_.number, k.number);
      Record r;
      bool found = false;
      Status st = table_.file->tree().AtOrAfter(value_prefix, r, found);
      if (!st.ok()) return End(Fail(st), false);
      if (found && StartsWith(r.key(), key_prefix) && r.bytes.size() >= size_t{r.key_length} + 4) {
        seq_.StartAt(key, DataKey(table_.number, GetBe32(Bytes(r.bytes) + r.key_length)));
      } else {
        seq_.StartAt(key, seq_.OrderEnd(key));  // nothing at or after the value
      }
      break;
    }
    case DriverOp::kSetKeyKey: {
      const KeyDesc& k = keys_[static_cast<size_t>(args.key)];
      std::string point = keys_.EntryKeyFor(k, Span(image), 0);
      if (k.dup) point.resize(point.size() - 4);
      std::string back = point + std::string(5, '\xFF');  // the last entry of an equal value
      seq_.StartAt(key, std::move(point), std::move(back));
      break;
    }
    case DriverOp::kSetKeyPtr: {
      const KeyDesc& k = keys_[static_cast<size_t>(args.key)];
      std::string stored;
      bool found = false;
      Status st = ReadData(static_cast<uint32_t>(args.pointer), stored, found);
      if (!st.ok()) return End(Fail(st), false);
      if (!found) return End(kErrRecordNotFound, false);
      ToBuffer(stored);  // as the language's SET(key, pointer): the record's values start it
      std::string img(fcb_.record.begin(), fcb_.record.end());
      img.resize(table_.declaration.record_length, '\0');
      seq_.StartAt(key, keys_.EntryKeyFor(k, Span(img), static_cast<uint32_t>(args.pointer)));
      break;
    }
    case DriverOp::kSetKeyKeyPtr: {
      const KeyDesc& k = keys_[static_cast<size_t>(args.key)];
      seq_.StartAt(key, keys_.EntryKeyFor(k, Span(image), static_cast<uint32_t>(args.pointer)));
      break;
    }
    default:
      return End(kErrUnsupported, false);
  }
  return End(0, false);
}

int IsamTable::Step(bool forward, bool read, int64_t count, RowScreen* screen) {
  if (seq_.order() == Order::kNone) return kErrRecordNotAvailable;
  int e = Begin();
  if (e != 0) return e;
  // The caller's screen, where the stored records are what the buffer will hold (no conversion)
  // and a record stepped over needs nothing else (no HOLD or WATCH pending).
  ScreenedScan scan{screen, {}};
  RecordScreen tree_screen{&ScreenedScan::Skip, &scan, 0};
  RecordScreen* use = nullptr;
  if (screen && screen->on && screen->weights && forward && read && seq_.order() == Order::kFile &&
      !keys_.codec().oem && !(fcb_.state & (kStateHoldRequested | kStateWatchRequested))) {
    PutBe32(reinterpret_cast<uint8_t*>(scan.prefix), table_.number);
    scan.prefix[4] = static_cast<char>(kTagData);
    use = &tree_screen;
  }
  struct CountSkipped {
    RecordScreen& from;
    RowScreen* to;
    ~CountSkipped() {
      if (to) to->skipped += from.skipped;
    }
  } count_skipped{tree_screen, use ? screen : nullptr};
  uint32_t recno = 0;
  std::string_view stored;  // the stored record of the last step
  for (int64_t done = 0; done < count;) {
    bool fresh = false;
    const std::string& point = seq_.From(forward, fresh);
    bool found = false;
    Status st = Neighbour(forward, fresh, point, step_found_, recno, found, use);
    if (!st.ok()) return End(Fail(st), false);
    if (!found) {
      ahead_.Reset();  // the scan is at its end
      return End(kErrRecordNotAvailable, false);
    }
    seq_.MovedSwapping(step_found_);
    if (seq_.order() == Order::kKey) {
      bool exists = false;
      st = StepRecord(forward, recno, stored, exists);
      if (!st.ok()) return End(Fail(st), false);
      if (!exists) continue;  // a key entry whose record is gone is stepped over
    } else {
      // In file order the step found the data record itself; it stays in step_record_ until
      // the next step.
      stored = std::string_view(step_record_.bytes).substr(step_record_.key_length);
    }
    ++done;
  }
  if (!read) return End(0, false);
  int loaded = Load(recno, stored);
  if (loaded == 0 && seq_.order() == Order::kKey) seq_.KeepEntry(seq_.key(), seq_.point());
  return End(loaded, false);
}

Status IsamTable::StepRecord(bool forward, uint32_t recno, std::string_view& stored, bool& exists) {
  if (!forward) {
    ahead_.Reset();
  } else {
    PageStore& store = table_.file->store();
    size_t want = ahead_.CountStep(store.cache().loads(), table_.declaration.record_length);
    if (ahead_.Next(store.version(), recno, stored, exists)) return Status::Ok();
    if (want > 1) {
      // The entries from the one just stepped to onwards, and their records.
      ahead_recnos_.assign(1, recno);
      ahead_cursor_ = seq_.point();
      while (ahead_recnos_.size() < want) {
        uint32_t next = 0;
        bool found = false;
        if (!Neighbour(true, false, ahead_cursor_, ahead_found_, next, found).ok() || !found) break;
        ahead_recnos_.push_back(next);
        ahead_cursor_.swap(ahead_found_);
      }
      auto read = [this](uint32_t r, std::string& out, bool& found) { return AppendData(r, out, found); };
      if (ahead_.Fill(store.version(), ahead_recnos_, read).ok() && ahead_.Next(store.version(), recno, stored, exists)) {
        return Status::Ok();
      }
    }
  }
  ISAM_RETURN_IF_ERROR(ReadData(recno, step_stored_, exists));
  stored = step_stored_;
  return Status::Ok();
}

int IsamTable::TestEnd(bool forward, DriverArgs& args) {
  if (seq_.order() == Order::kNone) return kErrRecordNotAvailable;
  int e = Begin();
  if (e != 0) return e;
  bool fresh = false;
  const std::string& point = seq_.From(forward, fresh);
  std::string found_key;
  uint32_t recno = 0;
  bool found = false;
  Status st = Neighbour(forward, fresh, point, found_key, recno, found);
  if (!st.ok()) return End(Fail(st), false);
  args.number_result = found ? 0 : 1;
  return End(0, false);
}

int IsamTable::Position(int key, DriverArgs& args) {
  args.text_result.clear();
  const uint32_t current = seq_.current();
  if (current == 0) return kErrRecordNotAvailable;
  AppendBe32(args.text_result, current);
  if (key < 0) return 0;
  if (static_cast<size_t>(key) >= keys_.size()) return kErrUnsupported;
  int e = Begin();
  if (e != 0) return e;
  const KeyDesc& k = keys_[static_cast<size_t>(key)];
  // A record reached through this key in the same span of the update lock (a step inside one
  // VIEW operation) still has the entry it was reached through: its value is the position.
  const size_t value_size = KeyValueSize(table_.declaration, k.key);
  const KnownEntry known = seq_.KnownEntryOf(current);
  if (known.key == key && known.entry.size() >= 5 + value_size) {
    args.text_result.append(known.entry, 5, value_size);
    return End(0, false);
  }
  const std::string* stored = nullptr;
  Status st = StoredRecord(current, stored);
  if (!st.ok()) return End(Fail(st), false);
  std::string image;
  if (stored) {
    ToImage(*stored, image);
  } else {
    image.assign(fcb_.record.begin(), fcb_.record.end());
  }
  image.resize(table_.declaration.record_length, '\0');
  args.text_result += EncodeKeyValue(table_.declaration, k.key, Span(image), keys_.codec());
  return End(0, false);
}

int IsamTable::Reset(int key, std::string_view position) {
  if (position.size() < 4) return kErrRecordNotFound;
  uint32_t recno = GetBe32(reinterpret_cast<const uint8_t*>(position.data()));
  ahead_.Reset();
  if (key < 0) {
    seq_.StartAt(-1, DataKey(table_.number, recno));
    return 0;
  }
  if (static_cast<size_t>(key) >= keys_.size()) return kErrUnsupported;
  const KeyDesc& k = keys_[static_cast<size_t>(key)];
  std::string value(position.substr(4));
  value.resize(KeyValueSize(table_.declaration, k.key), '\0');
  seq_.StartAt(key, KeyEntryKey(table_.number, k.number, value, k.dup, recno));
  return 0;
}

int IsamTable::Reget(const DriverArgs& args) {
  std::string_view position = args.text;
  if (position.size() < 4) return kErrRecordNotFound;
  const uint32_t recno = GetBe32(reinterpret_cast<const uint8_t*>(position.data()));
  // The caller's copy stands for the stored record only where the two have one form (no OEM
  // conversion, the full record length) and nothing needs the stored bytes themselves (WATCH).
  const bool kept_usable = !args.data.empty() && args.count > 0 && !keys_.codec().oem &&
                           args.data.size() == table_.declaration.record_length &&
                           !(fcb_.state & kStateWatchRequested);
  const std::string_view kept(reinterpret_cast<const char*>(args.data.data()), args.data.size());
  if (args.kept_only) {
    // Only from the copy, and without the update lock unless it is held already: the copy is
    // the record while nothing changed the store since it was read and no other user has
    // committed since this open last looked (one read of the header), or the copy was made
    // within the caller's current read (`same_read`). Memos and a pending HOLD would need the
    // file itself.
    if (!kept_usable || !memos_.empty() || (fcb_.state & kStateHoldRequested) || !table_.file ||
        table_.file->store().version() != static_cast<uint64_t>(args.count) ||
        (!args.same_read && !UnchangedSinceLastLook())) {
      return kErrChangedElsewhere;
    }
    const int loaded = Load(recno, kept);
    seq_.Forget();
    return loaded;
  }
  if (!kept_usable) return GetByPointer(recno);
  int e = Begin();
  if (e != 0) return e;
  if (table_.file->store().version() != static_cast<uint64_t>(args.count)) return End(GetByPointer(recno), false);
  const int loaded = Load(recno, kept);
  // The copy is the record in buffer form; a change reads the stored bytes again.
  seq_.Forget();
  return End(loaded, false);
}

}  // namespace cinevo::isam
