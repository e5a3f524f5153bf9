// The order node. Its list holds, for every input row, the record positions of the row's files
// and the values of the order items, in one byte arena:
//   u16 length of the positions, the positions (row_stream.h pieces), then per item an 8-byte
//   number (integer or floating) or a u32 length and the text as collation weights without its
//   trailing blanks.
// Entries are sorted lazily: the first rows asked for are put in place by selecting the next
// chunk of the smallest entries and sorting only that chunk, so a browse page of a large list
// costs one pass over the list rather than a full sort.
//
// When the caller has declared how many rows it means to read (a browse page), and that is few,
// the filling keeps only that many entries: the first ones of the order (the last ones, when the
// stream starts from the end), held in a heap whose top is the worst entry kept. A row that does
// not beat the top is looked at only for its values (most often only for its first item's
// prefix, see Entry) and is neither saved nor kept. When the first item is a text field of the
// primary file, the primary's driver is asked (RowNode::Screen) to pass by the records whose
// field ranks behind that prefix of the top: they never reach the record buffers. The list is
// then partial; a read past its edge fills the whole list and goes on from the same row.
//
// Besides, the list keeps each row's records as they were read (up to kMaxImageBytes in all),
// with each file's change stamp at the filling. A row is delivered through REGET as ever, but the
// REGET carries the kept record: while the file's stamp has not moved, the driver delivers that
// instead of reading the record from the file again (and makes it current, as a read does). Any
// change to a file since the filling (by this program or, seen at the start of the VIEW
// operation, by another) moves its stamp, and the records are read from the file again.
#include <algorithm>
#include <cstring>
#include <memory>

#include "runtime/core/error_codes.h"
#include "runtime/core/locale_tables.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/view/row_stream.h"

namespace cinevo::view {
namespace {

enum class ItemKind : uint8_t { kInteger, kFloating, kText };

struct Entry {
  uint64_t offset;    // of the row in the arena
  uint64_t pointer;   // the primary record's pointer (ordering rows of equal values)
  uint64_t sequence;  // input order
  uint64_t image;     // of the row's records in the image store; kNoImage: not kept
  // The first item's value reduced to a number that orders as the item does (descending items
  // reversed): entries whose prefixes differ are ordered by them alone.
  uint64_t prefix;
};

// Fields are stored filled with blanks, mostly many: they are dropped eight at a time.
std::string_view WithoutTrailingBlanks(std::string_view t) {
  static constexpr char kBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  size_t n = t.size();
  while (n >= 8 && std::memcmp(t.data() + n - 8, kBlanks, 8) == 0) n -= 8;
  while (n > 0 && t[n - 1] == ' ') --n;
  return t.substr(0, n);
}

constexpr uint64_t kNoImage = ~uint64_t{0};
constexpr size_t kMaxImageBytes = size_t{256} << 20;
// The most rows a declared read may ask for and still be filled as a partial list.
constexpr int64_t kMaxPartialRows = 4096;

// The rows' records one after another in blocks that never move (a row never spans two).
class ImageStore {
 public:
  static constexpr size_t kBlock = size_t{4} << 20;

  void Clear() {
    used_ = 0;
    total_ = 0;
  }
  size_t total() const { return total_; }
  // Room for `n` bytes (at most kBlock); its offset.
  uint64_t Append(size_t n, uint8_t*& at) {
    size_t block = used_ / kBlock, within = used_ % kBlock;
    if (within + n > kBlock) {
      ++block;
      within = 0;
    }
    if (block == blocks_.size()) blocks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(kBlock));
    const uint64_t offset = block * kBlock + within;
    at = blocks_[block].get() + within;
    used_ = offset + n;
    total_ += n;
    return offset;
  }
  const uint8_t* At(uint64_t offset) const { return blocks_[offset / kBlock].get() + offset % kBlock; }

 private:
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;  // kept across fillings
  uint64_t used_ = 0;
  size_t total_ = 0;
};

class OrderNode final : public RowNode {
 public:
  OrderNode(RowPtr input, std::vector<OrderItem> items, FileControlBlock* primary, bool by_pointer,
            const FieldDeclaration* first_field)
      : input_(std::move(input)), items_(std::move(items)), primary_(primary), by_pointer_(by_pointer) {
    for (auto& item : items_) {
      ResultKind k = item.expression->kind();
      kinds_.push_back(k == ResultKind::kString ? ItemKind::kText
                       : k == ResultKind::kFloating ? ItemKind::kFloating
                                                    : ItemKind::kInteger);
    }
    blank_weight_ = Locale().collation[static_cast<uint8_t>(' ')];
    input_->Files(files_);
    stamps_.assign(files_.size(), 0);
    for (FileControlBlock* f : files_) row_bytes_ += f->record.size();
    if (first_field && !items_.empty() && kinds_[0] == ItemKind::kText) {
      screen_.offset = first_field->offset;
      screen_.size = first_field->size;
      input_->Screen(&screen_);
      screening_ = true;
    }
  }

  int Start(bool forward) override {
    filled_ = false;
    fresh_ = false;
    start_forward_ = forward;
    return 0;
  }

  int Read(bool forward) override {
    if (!filled_) {
      if (int e = Fill(declared_.left())) return e;
      pos_ = start_forward_ ? -1 : static_cast<int64_t>(entries_.size());
    }
    int64_t n = static_cast<int64_t>(entries_.size());
    int64_t next = fresh_ ? pos_ : pos_ + (forward ? 1 : -1);
    if (partial_ && (partial_front_ ? next >= n : next < 0)) {
      if (int e = Widen(forward)) return e;
      n = static_cast<int64_t>(entries_.size());
      next = fresh_ ? pos_ : pos_ + (forward ? 1 : -1);
    }
    fresh_ = false;
    pos_ = next;
    if (pos_ < 0 || pos_ >= n) {
      pos_ = pos_ < 0 ? -1 : n;
      return kErrRecordNotAvailable;
    }
    EnsureSorted(static_cast<size_t>(pos_), forward);
    const int e = Deliver(static_cast<size_t>(pos_), forward);
    if (e == 0) declared_.Delivered();
    return e;
  }

  void Clear() override { input_->Clear(); }

  void Expect(int64_t rows) override { declared_.Begin(rows); }

  int Save(std::string& out) override {
    if (!filled_ || pos_ < 0 || pos_ >= static_cast<int64_t>(entries_.size())) return kErrRecordNotAvailable;
    out.append(PositionsOf(entries_[pos_]));
    return 0;
  }

  // Re-reads the saved row and finds it in the list: a binary search by its values, then the
  // entry with its positions among the entries of equal values.
  int Restore(std::string_view& in) override {
    std::string_view positions = in;
    std::string_view rest = in;
    if (int e = input_->RegetRecord(rest)) return e;
    positions = positions.substr(0, positions.size() - rest.size());
    in = rest;
    if (!filled_ || partial_) {
      if (int e = Fill()) return e;
    }
    EnsureSorted(entries_.size() ? entries_.size() - 1 : 0, false);
    probe_.clear();
    AppendRow(probe_, positions);
    Entry key{0, PrimaryPointer(), 0, kNoImage, 0};
    const uint8_t* kp = reinterpret_cast<const uint8_t*>(probe_.data());
    auto lower = std::partition_point(entries_.begin(), entries_.end(), [&](const Entry& e) {
      int c = CompareValues(Values(e), ValuesAt(kp));
      return c < 0 || (c == 0 && by_pointer_ && e.pointer < key.pointer);
    });
    auto it = lower;
    while (it != entries_.end() && CompareValues(Values(*it), ValuesAt(kp)) == 0) {
      if (PositionsOf(*it) == positions) break;
      ++it;
    }
    if (it == entries_.end() || CompareValues(Values(*it), ValuesAt(kp)) != 0) it = lower;
    pos_ = it - entries_.begin();
    fresh_ = true;
    return 0;
  }

  // A row whose records were kept, delivered only when every one of its files still holds it.
  int ReadKept(bool forward) override {
    if (!filled_) return kErrChangedElsewhere;
    const int64_t next = fresh_ ? pos_ : pos_ + (forward ? 1 : -1);
    const int64_t n = static_cast<int64_t>(entries_.size());
    if (next < 0 || next >= n) {
      // Past the edge of a partial list the next row is not known: a Read fills the whole list.
      // Past the end of a whole list a Read would find the end in memory too.
      if (partial_) return kErrChangedElsewhere;
      fresh_ = false;
      pos_ = next < 0 ? -1 : n;
      return kErrRecordNotAvailable;
    }
    EnsureSorted(static_cast<size_t>(next), forward);
    if (entries_[static_cast<size_t>(next)].image == kNoImage) return kErrChangedElsewhere;
    if (int e = Deliver(static_cast<size_t>(next), forward, true)) return e;
    declared_.Delivered();
    fresh_ = false;
    pos_ = next;
    return 0;
  }

  bool RestoreReads() const override { return true; }  // the saved row, and the list to find it in
  int SaveRecord(std::string& out) override { return Save(out); }
  int RegetRecord(std::string_view& in) override { return input_->RegetRecord(in); }
  void Files(std::vector<FileControlBlock*>& out) const override { input_->Files(out); }

 private:
  // Fills the list from the input. `limit` > 0: the caller means to read that many rows; when
  // they are few only they are kept (a partial list, see the top of the file).
  int Fill(int64_t limit = 0) {
    filled_ = false;  // until the filling ends well: a failed one leaves no list to read from
    entries_.clear();
    arena_.clear();
    sorted_ = 0;
    sorted_back_ = 0;
    images_.Clear();
    partial_ = false;
    partial_front_ = start_forward_;
    replaced_ = 0;
    declared_.Filling();
    const size_t best = limit > 0 && limit <= kMaxPartialRows ? static_cast<size_t>(limit) : 0;
    // Once the heap is full, the primary's driver may pass by the records whose first item's
    // prefix loses to the top's: their rows could not be kept (BeatsWorst).
    struct ScreenOff {
      RowScreen& screen;
      ~ScreenOff() { screen.on = false; }
    } screen_off{screen_};
    screen_.skipped = 0;
    screen_.weights = Locale().collation.data();
    if (int e = input_->Start(true)) return e;
    // The filling reads only: the stamps stay as they are now until it ends.
    bool keep = row_bytes_ > 0 && row_bytes_ <= ImageStore::kBlock;
    for (size_t i = 0; i < files_.size(); ++i) {
      stamps_[i] = ChangeStamp(*files_[i]);
      keep = keep && stamps_[i] != 0;
    }
    uint64_t sequence = 0;
    for (;;) {
      if (best && screening_) ScreenBy(best);
      int e = input_->Read(true);
      if (e == kErrRecordNotAvailable) break;
      if (e != 0) return e;
      if (best && entries_.size() == best && !BeatsWorst(sequence)) {
        ++sequence;
        continue;
      }
      positions_.clear();
      if ((e = input_->SaveRecord(positions_))) return e;
      Entry entry{arena_.size(), by_pointer_ ? PrimaryPointer() : 0, sequence++, kNoImage, 0};
      if (keep && images_.total() + row_bytes_ <= kMaxImageBytes) {
        uint8_t* at = nullptr;
        entry.image = images_.Append(row_bytes_, at);
        for (FileControlBlock* f : files_) {
          std::memcpy(at, f->record.data(), f->record.size());
          at += f->record.size();
        }
      }
      AppendRow(arena_, positions_);
      entry.prefix = Prefix(Values(entry));
      entries_.push_back(entry);
      if (best) KeepBest(best);
    }
    if (best) {
      partial_ = sequence > best || screen_.skipped > 0;
      std::sort(entries_.begin(), entries_.end(), [this](const Entry& x, const Entry& y) { return Less(x, y); });
      sorted_ = entries_.size();
    }
    filled_ = true;
    return 0;
  }

  // Sets the screen for the next read of a partial list of `best` entries: on once the heap is
  // full, passing by what ranks beyond its top's prefix. The prefixes rank descending items
  // reversed; the driver ranks the field's own characters.
  void ScreenBy(size_t best) {
    screen_.on = entries_.size() == best;
    if (!screen_.on) return;
    const bool descending = items_[0].descending;
    const uint64_t worst = entries_.front().prefix;
    screen_.bound = descending ? ~worst : worst;
    screen_.skip_below = partial_front_ == descending;
  }

  // The heap of a partial list has the worst entry kept on top: the greatest when the list holds
  // the first entries of the order, the least when it holds the last ones.
  bool HeapLess(const Entry& x, const Entry& y) const { return partial_front_ ? Less(x, y) : Less(y, x); }

  // Whether the current input row, which would get `sequence`, belongs before the heap's top
  // in a partial list, judged by its values (and pointer) without saving or keeping it.
  bool BeatsWorst(uint64_t sequence) {
    const Entry& worst = entries_.front();
    // Most rows lose on the first item's prefix alone, which is had without the other items or
    // the rest of the first one.
    if (!items_.empty()) {
      const uint64_t first = FirstPrefix();
      if (first != worst.prefix) return partial_front_ ? first < worst.prefix : first > worst.prefix;
    }
    values_.clear();
    AppendValues(values_);
    const uint8_t* values = reinterpret_cast<const uint8_t*>(values_.data());
    const uint64_t prefix = Prefix(values);
    int c = prefix < worst.prefix ? -1 : prefix > worst.prefix ? 1 : CompareValues(values, Values(worst));
    if (c == 0 && by_pointer_) {
      const uint64_t pointer = PrimaryPointer();
      c = pointer < worst.pointer ? -1 : pointer > worst.pointer ? 1 : 0;
    }
    if (c == 0) c = sequence < worst.sequence ? -1 : 1;
    return partial_front_ ? c < 0 : c > 0;
  }

  // The entry just appended joins the heap; when it holds more than `keep`, the worst leaves.
  void KeepBest(size_t keep) {
    auto heap_less = [this](const Entry& x, const Entry& y) { return HeapLess(x, y); };
    std::push_heap(entries_.begin(), entries_.end(), heap_less);
    if (entries_.size() <= keep) return;
    std::pop_heap(entries_.begin(), entries_.end(), heap_less);
    entries_.pop_back();
    // The rows that left stay in the arena and the image store until there are many of them.
    if (++replaced_ > 2 * keep + 1024) Compact();
  }

  // Copies the kept rows into a new arena and image store, dropping those of rows that left.
  void Compact() {
    std::string arena;
    ImageStore images;
    for (Entry& e : entries_) {
      const uint8_t* row = Row(e);
      const uint64_t offset = arena.size();
      arena.append(reinterpret_cast<const char*>(row), static_cast<size_t>(RowEnd(row) - row));
      e.offset = offset;
      if (e.image != kNoImage) {
        uint8_t* at = nullptr;
        const uint8_t* from = images_.At(e.image);
        e.image = images.Append(row_bytes_, at);
        std::memcpy(at, from, row_bytes_);
      }
    }
    arena_ = std::move(arena);
    images_ = std::move(images);
    replaced_ = 0;
  }

  // A read went past the edge of a partial list: the whole list is filled, and the position
  // moves to the same row in it. Unless a file changed meanwhile, that row has the same place
  // counted from the list's edge; otherwise it is looked for by its positions.
  int Widen(bool forward) {
    const int64_t part = static_cast<int64_t>(entries_.size());
    const bool front = partial_front_;
    std::string anchor;
    const bool had = pos_ >= 0 && pos_ < part;
    if (had) anchor = PositionsOf(entries_[static_cast<size_t>(pos_)]);
    if (int e = Fill()) return e;
    const int64_t full = static_cast<int64_t>(entries_.size());
    int64_t at = front ? pos_ : full - part + pos_;
    if (had) {
      if (at >= 0 && at < full) EnsureSorted(static_cast<size_t>(at), forward);
      if (at < 0 || at >= full || PositionsOf(entries_[static_cast<size_t>(at)]) != anchor) {
        EnsureSorted(full ? static_cast<size_t>(full - 1) : 0, false);
        at = std::clamp<int64_t>(at, 0, full);
        for (int64_t i = 0; i < full; ++i) {
          if (PositionsOf(entries_[static_cast<size_t>(i)]) == anchor) {
            at = i;
            break;
          }
        }
      }
    }
    pos_ = std::clamp<int64_t>(at, -1, full);
    return 0;
  }

  uint64_t PrimaryPointer() {
    DriverArgs a;
    return Dispatch(DriverOp::kPointerFile, *primary_, a) == 0 ? static_cast<uint64_t>(a.number_result) : 0;
  }

  void AppendRow(std::string& out, std::string_view positions) {
    uint16_t n = static_cast<uint16_t>(positions.size());
    out.append(reinterpret_cast<const char*>(&n), 2);
    out.append(positions);
    AppendValues(out);
  }

  // The order items' values of the current row (see the top of the file).
  void AppendValues(std::string& out) {
    const auto& weights = Locale().collation;
    for (size_t i = 0; i < items_.size(); ++i) {
      CompiledExpression& x = *items_[i].expression;
      switch (kinds_[i]) {
        case ItemKind::kInteger: {
          int64_t v = x.Integer();
          out.append(reinterpret_cast<const char*>(&v), 8);
          break;
        }
        case ItemKind::kFloating: {
          double v = x.Floating();
          out.append(reinterpret_cast<const char*>(&v), 8);
          break;
        }
        case ItemKind::kText: {
          std::string_view t = x.Text();
          t = WithoutTrailingBlanks(t);
          uint32_t len = static_cast<uint32_t>(t.size());
          out.append(reinterpret_cast<const char*>(&len), 4);
          const size_t at = out.size();
          out.resize(at + len);
          char* to = out.data() + at;
          for (uint32_t k = 0; k < len; ++k) to[k] = static_cast<char>(weights[static_cast<uint8_t>(t[k])]);
          break;
        }
      }
    }
  }

  const uint8_t* Row(const Entry& e) const { return reinterpret_cast<const uint8_t*>(arena_.data()) + e.offset; }
  std::string_view PositionsOf(const Entry& e) const {
    const uint8_t* p = Row(e);
    uint16_t n;
    std::memcpy(&n, p, 2);
    return {reinterpret_cast<const char*>(p + 2), n};
  }
  static const uint8_t* ValuesAt(const uint8_t* row) {
    uint16_t n;
    std::memcpy(&n, row, 2);
    return row + 2 + n;
  }
  const uint8_t* Values(const Entry& e) const { return ValuesAt(Row(e)); }
  // Where the row that starts at `row` ends: after its last value.
  const uint8_t* RowEnd(const uint8_t* row) const {
    const uint8_t* end = ValuesAt(row);
    for (size_t i = 0; i < items_.size(); ++i) {
      if (kinds_[i] == ItemKind::kText) {
        uint32_t len;
        std::memcpy(&len, end, 4);
        end += 4 + len;
      } else {
        end += 8;
      }
    }
    return end;
  }

  // Compares two 8-byte values of type T stored unaligned, and steps both pointers past them.
  template <typename T>
  static int CompareFixed(const uint8_t*& a, const uint8_t*& b) {
    static_assert(sizeof(T) == 8);
    T x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    a += 8;
    b += 8;
    return x < y ? -1 : x > y ? 1 : 0;
  }

  int CompareValues(const uint8_t* a, const uint8_t* b) const {
    for (size_t i = 0; i < items_.size(); ++i) {
      int c = 0;
      switch (kinds_[i]) {
        case ItemKind::kInteger:
          c = CompareFixed<int64_t>(a, b);
          break;
        case ItemKind::kFloating:
          c = CompareFixed<double>(a, b);
          break;
        case ItemKind::kText: {
          uint32_t la, lb;
          std::memcpy(&la, a, 4);
          std::memcpy(&lb, b, 4);
          a += 4;
          b += 4;
          const uint32_t common = std::min(la, lb);
          c = std::memcmp(a, b, common);
          if (c == 0 && la != lb) {
            // Texts compare as if the shorter were filled with blanks.
            const uint8_t* rest = la > lb ? a + common : b + common;
            for (uint32_t k = 0; k < std::max(la, lb) - common && c == 0; ++k) {
              c = int{rest[k]} - int{blank_weight_};
            }
            if (lb > la) c = -c;
          }
          a += la;
          b += lb;
          break;
        }
      }
      if (c != 0) return items_[i].descending ? -c : c;
    }
    return 0;
  }

  // The prefix of a row's values (see Entry): for a text, the weights of its first 8
  // characters as a big-endian number, filled with the blank's weight as the comparison fills a
  // shorter text; for numbers, their bits rearranged to order as unsigned integers.
  uint64_t Prefix(const uint8_t* values) const {
    if (items_.empty()) return 0;
    uint64_t p = 0;
    switch (kinds_[0]) {
      case ItemKind::kInteger: {
        int64_t v;
        std::memcpy(&v, values, 8);
        p = PrefixOfInteger(v);
        break;
      }
      case ItemKind::kFloating: {
        double v;
        std::memcpy(&v, values, 8);
        p = PrefixOfFloating(v);
        break;
      }
      case ItemKind::kText: {
        uint32_t len;
        std::memcpy(&len, values, 4);
        for (uint32_t k = 0; k < 8; ++k) p = (p << 8) | (k < len ? values[4 + k] : blank_weight_);
        break;
      }
    }
    return items_[0].descending ? ~p : p;
  }

  // Prefix() of the current row's values, evaluating only the first item and, for a text, only
  // collating its first eight characters.
  uint64_t FirstPrefix() {
    CompiledExpression& x = *items_[0].expression;
    uint64_t p = 0;
    switch (kinds_[0]) {
      case ItemKind::kInteger:
        p = PrefixOfInteger(x.Integer());
        break;
      case ItemKind::kFloating:
        p = PrefixOfFloating(x.Floating());
        break;
      case ItemKind::kText:
        // Blanks past the end weigh as the blanks a shorter text is filled with, so the
        // trailing blanks need not be dropped first. The driver ranks a screened field so.
        p = RowScreen::Rank(x.Text(), Locale().collation.data());
        break;
    }
    return items_[0].descending ? ~p : p;
  }

  static uint64_t PrefixOfInteger(int64_t v) { return static_cast<uint64_t>(v) ^ (uint64_t{1} << 63); }
  static uint64_t PrefixOfFloating(double v) {
    if (v == 0 || v != v) v = 0;  // -0 orders with +0; NaN is left to the full comparison
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return (bits >> 63) ? ~bits : bits | (uint64_t{1} << 63);
  }

  bool Less(const Entry& x, const Entry& y) const {
    if (x.prefix != y.prefix) return x.prefix < y.prefix;
    int c = CompareValues(Values(x), Values(y));
    if (c != 0) return c < 0;
    if (by_pointer_ && x.pointer != y.pointer) return x.pointer < y.pointer;
    return x.sequence < y.sequence;
  }

  // Entries [0, sorted_) and [n - sorted_back_, n) are in their final places.
  void EnsureSorted(size_t index, bool forward) {
    const size_t n = entries_.size();
    auto less = [this](const Entry& x, const Entry& y) { return Less(x, y); };
    if (sorted_ + sorted_back_ >= n) return;
    if (forward && index < sorted_) return;
    if (!forward && index >= n - sorted_back_) return;
    if (!forward || index >= n / 2) {
      std::sort(entries_.begin() + sorted_, entries_.end() - sorted_back_, less);
      sorted_ = n;
      return;
    }
    // A declared read of the rest of the list has it sorted at once, not chunk by chunk.
    const int64_t left = declared_.left();
    size_t want = left > 0 && static_cast<uint64_t>(left) >= n - index ? n - sorted_back_
                                                                       : std::max<size_t>({index + 1, sorted_ * 2, sorted_ + 64});
    want = std::min(want, n - sorted_back_);
    auto first = entries_.begin() + sorted_, mid = entries_.begin() + want, last = entries_.end() - sorted_back_;
    if (mid != last) std::nth_element(first, mid, last, less);
    std::sort(first, mid, less);
    sorted_ = want;
  }

  // Re-reads the row's records, offering the kept ones (see the top of the file). The input's
  // RegetRecord takes one piece per file in the order of Files(); so does this.
  // `forward`: the direction of the reading. `kept_only`: from the kept records or not at all (89).
  int Deliver(size_t index, bool forward, bool kept_only = false) {
    const Entry& entry = entries_[index];
    // The rows' records lie in the image store in the order they were read, so each row in the
    // list's order is a fresh miss in the processor's caches: ask now for a row a few ahead,
    // where it is already in its final place.
    constexpr size_t kAhead = 6;
    const size_t ahead = forward ? index + kAhead : index - kAhead;  // wraps round below 0
    const size_t n = entries_.size();
    if (ahead < n && (ahead < sorted_ || ahead >= n - sorted_back_) && entries_[ahead].image != kNoImage) {
      const uint8_t* at = images_.At(entries_[ahead].image);
      for (size_t b = 0; b < row_bytes_; b += 64) __builtin_prefetch(at + b);
      __builtin_prefetch(Row(entries_[ahead]));
    }
    std::string_view positions = PositionsOf(entry);
    if (entry.image == kNoImage) return input_->RegetRecord(positions);
    const uint8_t* image = images_.At(entry.image);
    for (size_t i = 0; i < files_.size(); ++i) {
      const size_t n = files_[i]->record.size();
      if (int e = RegetPiece(*files_[i], positions, {image, n}, stamps_[i], kept_only, declared_.kept_within())) return e;
      image += n;
    }
    return 0;
  }

  RowPtr input_;
  std::vector<OrderItem> items_;
  std::vector<ItemKind> kinds_;
  FileControlBlock* primary_;
  bool by_pointer_;
  uint8_t blank_weight_ = 0;
  std::string arena_;
  std::vector<Entry> entries_;
  std::vector<FileControlBlock*> files_;  // the input's files, in the order of its pieces
  std::vector<uint64_t> stamps_;          // each file's change stamp at the filling
  size_t row_bytes_ = 0;                  // the records of one row
  ImageStore images_;
  std::string positions_, probe_, values_;
  size_t sorted_ = 0, sorted_back_ = 0;
  size_t replaced_ = 0;         // rows that left the heap of a partial list since it was compacted
  bool filled_ = false;
  bool partial_ = false;        // the list holds only the first (or last) entries of the order
  bool partial_front_ = true;   // which: the first
  bool fresh_ = false;
  bool start_forward_ = true;
  int64_t pos_ = -1;
  DeclaredRead declared_;  // the caller's declared read, and whether the list was filled within it
  RowScreen screen_;        // offered to the primary's driver while a partial list is filled
  bool screening_ = false;  // the first item is a field the driver can rank
};

}  // namespace

RowPtr MakeOrderNode(RowPtr input, std::vector<OrderItem> items, FileControlBlock* primary, bool by_pointer,
                     const FieldDeclaration* first_field) {
  return std::make_unique<OrderNode>(std::move(input), std::move(items), primary, by_pointer, first_field);
}

}  // namespace cinevo::view
