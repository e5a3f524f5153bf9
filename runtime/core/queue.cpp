#include "runtime/core/queue.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/invariant.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/pointer_list.h"
#include "runtime/core/queue_memory.h"
#include "runtime/core/queue_prefix_index.h"

namespace cinevo {

namespace {

struct FreeBlock {
  void operator()(uint8_t* p) const { std::free(p); }
};
// The entries point into the queue's record pool, which owns the memory.
struct PoolOwned {
  void operator()(uint8_t*) const {}
};
using RecordList = PointerList<uint8_t, PoolOwned>;

void ClearPendingError() {
  if (ErrorCode() == 0) return;  // the common case: nothing pending
  // Posting 0 with no system error pending makes the current code 0.
  int saved = errno;
  errno = 0;
  PostError(0);
  errno = saved;
}

// The standard time now: hundredths of a second since local midnight, plus one.
int32_t StandardTimeNow() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  auto centis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000 / 10;
  return ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 100 +
         static_cast<int32_t>(centis) + 1;
}

template <class T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);  // the host is little-endian, as the stored layout
  return v;
}

int Sign(long long d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

int CompareReal(double a, double b) {
  if (a == b) return 0;
  double diff = a - b;
  int ed = 0, ea = 0, eb = 0;
  std::frexp(diff, &ed);
  if (a != 0) std::frexp(a, &ea);
  if (b != 0) std::frexp(b, &eb);
  if (ed < ea - 50 && ed < eb - 50) return 0;  // within the floating tolerance
  return a < b ? -1 : 1;
}

// Strings compare through the collating sequence; trailing spaces do not count.
int CompareText(const uint8_t* a, size_t la, const uint8_t* b, size_t lb) {
  const LocaleTables& t = Locale();
  size_t common = std::min(la, lb);
  for (size_t i = 0; i < common; ++i) {
    int d = int{t.collation[a[i]]} - int{t.collation[b[i]]};
    if (d != 0) return d;
  }
  const uint8_t* rest = la > lb ? a : b;
  size_t rest_len = la > lb ? la : lb;
  for (size_t i = common; i < rest_len; ++i) {
    if (rest[i] != ' ') {
      int d = int{t.collation[rest[i]]} - int{t.collation[uint8_t{' '}]};
      return la > lb ? d : -d;
    }
  }
  return 0;
}

// A packed decimal as its sign and its digits, most significant first.
struct Packed {
  bool negative = false;
  bool zero = true;
};

Packed ReadPacked(const uint8_t* p, uint32_t size, bool sign_first, uint8_t* digits) {
  Packed r;
  uint32_t n = 0;
  for (uint32_t i = 0; i < size; ++i) {
    uint8_t hi = p[i] >> 4, lo = p[i] & 0x0F;
    if (sign_first && i == 0) {
      r.negative = hi != 0;
      digits[n++] = lo;
    } else if (!sign_first && i == size - 1) {
      digits[n++] = hi;
      r.negative = lo == 0x0D;
    } else {
      digits[n++] = hi;
      digits[n++] = lo;
    }
  }
  for (uint32_t i = 0; i < n; ++i) {
    if (digits[i] > 9) digits[i] = 9;  // a nibble that is no digit reads as its nearest digit
    if (digits[i] != 0) r.zero = false;
  }
  return r;
}

int ComparePacked(const QueueKey& key, const uint8_t* a, const uint8_t* b) {
  bool sign_first = key.type == TypeCode::kDecimal;
  uint8_t da[64], db[64];  // a packed decimal of the supported sizes has at most 31 digits
  Packed pa = ReadPacked(a, key.size, sign_first, da);
  Packed pb = ReadPacked(b, key.size, sign_first, db);
  bool na = pa.negative && !pa.zero, nb = pb.negative && !pb.zero;
  if (na != nb) return na ? -1 : 1;
  uint32_t digits = 2 * key.size - 1;
  int r = std::memcmp(da, db, digits);
  r = r < 0 ? -1 : (r > 0 ? 1 : 0);
  return na ? -r : r;
}

bool KeySupported(const QueueKey& key, uint32_t record_size) {
  if (key.size == 0 || key.offset > record_size || key.size > record_size - key.offset) return false;
  switch (key.type) {
    case TypeCode::kByte: return key.size == 1;
    case TypeCode::kShort:
    case TypeCode::kUShort: return key.size == 2;
    case TypeCode::kDate:
    case TypeCode::kTime:
    case TypeCode::kLong:
    case TypeCode::kULong:
    case TypeCode::kSReal: return key.size == 4;
    case TypeCode::kReal: return key.size == 8;
    case TypeCode::kDecimal:
    case TypeCode::kPDecimal: return key.size <= 16;
    case TypeCode::kString:
    case TypeCode::kCString:
    case TypeCode::kPString:
    case TypeCode::kGroup: return true;
    default: return false;
  }
}

}  // namespace

int CompareQueueField(const QueueKey& key, const uint8_t* a, const uint8_t* b) {
  if (key.size == 0) return 0;
  switch (key.type) {
    case TypeCode::kByte: return Sign(static_cast<long long>(a[0]) - b[0]);
    case TypeCode::kShort: return Sign(Load<int16_t>(a) - Load<int16_t>(b));
    case TypeCode::kUShort: return Sign(Load<uint16_t>(a) - Load<uint16_t>(b));
    case TypeCode::kLong: return Sign(static_cast<long long>(Load<int32_t>(a)) - Load<int32_t>(b));
    case TypeCode::kULong:
      return Sign(static_cast<long long>(Load<uint32_t>(a)) - Load<uint32_t>(b));
    case TypeCode::kDate: {
      // day, month, then a 16-bit year: compared year first, then month, then day.
      auto value = [](const uint8_t* p) {
        return (static_cast<long long>(Load<uint16_t>(p + 2)) << 16) | (p[1] << 8) | p[0];
      };
      return Sign(value(a) - value(b));
    }
    case TypeCode::kTime: {
      // hundredths, seconds, minutes, hours: compared hours first.
      auto value = [](const uint8_t* p) { return static_cast<long long>(Load<uint32_t>(p)); };
      return Sign(value(a) - value(b));
    }
    case TypeCode::kSReal: return CompareReal(Load<float>(a), Load<float>(b));
    case TypeCode::kReal: return CompareReal(Load<double>(a), Load<double>(b));
    case TypeCode::kDecimal:
    case TypeCode::kPDecimal: return key.size <= 32 ? ComparePacked(key, a, b) : 0;
    case TypeCode::kCString: {
      size_t la = strnlen(reinterpret_cast<const char*>(a), key.size);
      size_t lb = strnlen(reinterpret_cast<const char*>(b), key.size);
      return CompareText(a, la, b, lb);
    }
    case TypeCode::kPString: {
      size_t la = std::min<size_t>(a[0], key.size - 1);
      size_t lb = std::min<size_t>(b[0], key.size - 1);
      return CompareText(a + 1, la, b + 1, lb);
    }
    case TypeCode::kString:
    case TypeCode::kGroup: return CompareText(a, key.size, b, key.size);
    default: return 0;
  }
}

namespace {

// Order-preserving 64-bit prefix of a key field: when the prefixes of two values differ they
// order the values as CompareQueueField does; when they are equal the full comparison decides.
// Only for field types whose equality is exact (not the floating types).
enum class PrefixKind { kNone, kSigned, kUnsigned, kDate, kTime, kText, kCText, kPText };

PrefixKind PrefixKindOf(const QueueKey& key) {
  switch (key.type) {
    case TypeCode::kByte:
    case TypeCode::kUShort:
    case TypeCode::kULong: return PrefixKind::kUnsigned;
    case TypeCode::kShort:
    case TypeCode::kLong: return PrefixKind::kSigned;
    case TypeCode::kDate: return PrefixKind::kDate;
    case TypeCode::kTime: return PrefixKind::kTime;
    case TypeCode::kString:
    case TypeCode::kGroup: return PrefixKind::kText;
    case TypeCode::kCString: return PrefixKind::kCText;
    case TypeCode::kPString: return PrefixKind::kPText;
    default: return PrefixKind::kNone;
  }
}

// Text compares as if the shorter value were padded with spaces, so the prefix is the weights of
// the first eight bytes, padded with the weight of a space.
[[gnu::noinline]] uint64_t TextPrefix(const uint8_t* p, size_t length) {
  const LocaleTables& t = Locale();
  uint64_t v = 0;
  for (size_t i = 0; i < 8; ++i) v = v << 8 | (i < length ? t.collation[p[i]] : t.collation[uint8_t{' '}]);
  return v;
}

// Inlined into the searches and stores: for the numeric kinds it is a load and a few operations.
[[gnu::always_inline]] inline uint64_t Prefix(PrefixKind kind, const QueueKey& key,
                                              const uint8_t* record) {
  const uint8_t* p = record + key.offset;
  uint64_t v = 0;
  switch (kind) {
    case PrefixKind::kNone: return 0;
    case PrefixKind::kUnsigned:
      v = key.size == 1 ? p[0] : key.size == 2 ? Load<uint16_t>(p) : Load<uint32_t>(p);
      break;
    case PrefixKind::kSigned: {
      int64_t s = key.size == 2 ? Load<int16_t>(p) : Load<int32_t>(p);
      v = static_cast<uint64_t>(s) ^ (uint64_t{1} << 63);
      break;
    }
    case PrefixKind::kDate:
      v = (uint64_t{Load<uint16_t>(p + 2)} << 16) | (uint64_t{p[1]} << 8) | p[0];
      break;
    case PrefixKind::kTime:
      v = (uint64_t{p[3]} << 24) | (uint64_t{p[2]} << 16) | (uint64_t{p[1]} << 8) | p[0];
      break;
    case PrefixKind::kText: v = TextPrefix(p, key.size); break;
    case PrefixKind::kCText: v = TextPrefix(p, strnlen(reinterpret_cast<const char*>(p), key.size)); break;
    case PrefixKind::kPText: v = TextPrefix(p + 1, std::min<size_t>(p[0], key.size - 1)); break;
  }
  return key.descending ? ~v : v;
}

// Fixed-size record copies carved from growing chunks, with a free list threaded through released
// slots. All memory goes back when the pool (the queue object) is destroyed.
class RecordPool {
 public:
  explicit RecordPool(uint32_t record_size)
      : record_size_(record_size),
        slot_((std::max<size_t>(record_size, sizeof(void*)) + 7) & ~size_t{7}) {}

  uint32_t record_size() const { return record_size_; }

  // A slot of at least record_size bytes, or nullptr when no memory can be had.
  uint8_t* Allocate() {
    if (free_) {
      uint8_t* slot = free_;
      std::memcpy(&free_, slot, sizeof free_);
      return slot;
    }
    if (next_ == end_ && !NewChunk()) return nullptr;
    uint8_t* slot = next_;
    next_ += slot_;
    return slot;
  }

  void Release(uint8_t* slot) {
    std::memcpy(slot, &free_, sizeof free_);
    free_ = slot;
  }

 private:
  bool NewChunk() {
    // Chunks double in slots up to 2 MiB. From then on, when at least two records fit in 2 MiB,
    // each chunk is a huge-page block of its own; a larger record gets a chunk of one slot.
    size_t slots = std::max<size_t>(1, std::min<size_t>(chunk_slots_, LargeBlock::kUnit / slot_));
    uint8_t* block = nullptr;
    try {
      if (slot_ <= LargeBlock::kUnit / 2 && chunk_slots_ * slot_ >= LargeBlock::kUnit) {
        LargeBlock large;
        if (large.Map(LargeBlock::kUnit, /*populate=*/true)) {
          large_chunks_.push_back(std::move(large));
          block = large_chunks_.back().data();
          slots = LargeBlock::kUnit / slot_;
        }
      }
      if (block == nullptr) {
        std::unique_ptr<uint8_t, FreeBlock> chunk(static_cast<uint8_t*>(std::malloc(slots * slot_)));
        if (!chunk) return false;
        chunks_.push_back(std::move(chunk));
        block = chunks_.back().get();
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    next_ = block;
    end_ = next_ + slots * slot_;
    if (chunk_slots_ * slot_ < LargeBlock::kUnit) chunk_slots_ *= 2;
    return true;
  }

  uint32_t record_size_;
  size_t slot_;  // record_size_ rounded up to 8, room for the free-list link
  std::vector<std::unique_ptr<uint8_t, FreeBlock>> chunks_;  // the small ones
  std::vector<LargeBlock> large_chunks_;                     // from 2 MiB on
  uint8_t* next_ = nullptr;
  uint8_t* end_ = nullptr;
  uint8_t* free_ = nullptr;
  size_t chunk_slots_ = 64;
};

}  // namespace

class QueueObject {
 public:
  explicit QueueObject(uint32_t record_size)
      : pool(record_size), changes_(static_cast<uint32_t>(StandardTimeNow()) * 25781083u) {}

  RecordPool pool;
  RecordList entries{kObjectListClasses, &kQueueEntryMemory};
  int32_t pointer = 0;  // 1-based position of the last entry read or written; 0 for none

  uint32_t changes() const { return changes_; }
  void Changed() { ++changes_; }
  bool sorted() const { return !keys_.empty(); }
  bool prefixed() const { return prefix_kind_ != PrefixKind::kNone; }

  int Compare(const uint8_t* a, const uint8_t* b) const {
    for (const QueueKey& key : keys_) {
      int r = CompareQueueField(key, a + key.offset, b + key.offset);
      if (r != 0) return key.descending ? -r : r;
    }
    return 0;
  }

  [[gnu::always_inline]] uint64_t PrefixOf(const uint8_t* record) const {
    return prefixed() ? Prefix(prefix_kind_, keys_[0], record) : 0;
  }

  // Index of the first entry that sorts after `record`, whose prefix is `p` (insert position:
  // after equal entries).
  [[gnu::always_inline]] uint32_t UpperBound(const uint8_t* record, uint64_t p) const {
    uint32_t n = entries.size();
    if (!prefixed()) {
      // Filling in key order is the common case: one comparison with the last entry settles it.
      if (n > 0 && Compare(record, entries.at(n - 1)) >= 0) return n;
      return FullUpperBound(record, 0, n);
    }
    if (n > 0) {
      // As above: at or after the last entry appends.
      uint64_t last = prefixes_.at(n - 1);
      if (last < p || (last == p && (prefix_exact_ || Compare(record, entries.at(n - 1)) >= 0))) {
        return n;
      }
    }
    uint32_t first_after = prefixes_.UpperBound(p, 0, n);
    if (prefix_exact_) return first_after;
    // The entries with the same prefix sit just before first_after; the full keys order them.
    uint32_t first_equal = prefixes_.LowerBound(p, 0, first_after);
    return FullUpperBound(record, first_equal, first_after);
  }

  // Index of the first entry with keys equal to `record`'s, or entries.size() when there is none.
  uint32_t Find(const uint8_t* record) {
    uint32_t n = entries.size();
    uint32_t index;
    if (!prefixed()) {
      index = FullLowerBound(record, 0, n);
      return index < n && Compare(record, entries.at(index)) == 0 ? index : n;
    }
    uint64_t p = PrefixOf(record);
    // The pointer array around the answer is fetched during the search: the copy reads it next.
    index = prefixes_.LowerBound(p, 0, n, entries.base().data());
    if (index == n || prefixes_.at(index) != p) return n;
    if (prefix_exact_) return index;
    uint32_t end = prefixes_.UpperBound(p, index, n);
    index = FullLowerBound(record, index, end);
    return index < end && Compare(record, entries.at(index)) == 0 ? index : n;
  }

  // Stores `record` (a pool slot, whose prefix is `p`) before `index`; false (nothing stored, slot
  // released) when memory runs out.
  bool Insert(uint32_t index, uint8_t* record, uint64_t p) {
    if (prefixed() && !prefixes_.Insert(index, p)) {
      pool.Release(record);
      return false;
    }
    if (!entries.Insert(index, std::unique_ptr<uint8_t, PoolOwned>(record))) {
      if (prefixed()) prefixes_.Erase(index);  // index is at most the old size: where it went
      pool.Release(record);
      return false;
    }
    return true;
  }

  // Takes the entry at `index` out of the list (the slot stays allocated).
  void CheckInvariants() const {
    const uint32_t n = entries.size();
    CINEVO_INVARIANT(n <= kQueueMaxEntries, "a queue holds at most its limit of entries");
    CINEVO_INVARIANT(pointer >= 0, "the pointer is a position or 0");
    CINEVO_INVARIANT(!prefixed() || prefixes_.size() == n, "a key prefix beside every entry");
    for (uint32_t i = 0; i < n; ++i) {
      CINEVO_INVARIANT(entries.at(i) != nullptr, "every entry is a record");
      if (prefixed()) {
        CINEVO_INVARIANT(prefixes_.at(i) == PrefixOf(entries.at(i)), "an entry's prefix is its record's");
        CINEVO_INVARIANT(i == 0 || prefixes_.at(i - 1) <= prefixes_.at(i), "the prefixes ascend");
      }
      if (sorted() && i > 0) {
        CINEVO_INVARIANT(Compare(entries.at(i - 1), entries.at(i)) <= 0, "a sorted queue's entries are in key order");
      }
    }
  }

  uint8_t* Take(uint32_t index) {
    if (prefixed()) prefixes_.Erase(index);
    return entries.Take(index).release();
  }

  // Sets the keys and re-sorts the entries stably. Without memory for the key prefixes the queue
  // goes on without them (full comparisons only).
  void SetKeys(std::vector<QueueKey> keys) {
    keys_ = std::move(keys);
    prefix_kind_ = keys_.empty() ? PrefixKind::kNone : PrefixKindOf(keys_[0]);
    // A single key whose whole value fits in the prefix needs no other comparison.
    prefix_exact_ = keys_.size() == 1 && prefix_kind_ != PrefixKind::kNone &&
                    (keys_[0].size <= 8 || (prefix_kind_ != PrefixKind::kText &&
                                            prefix_kind_ != PrefixKind::kCText &&
                                            prefix_kind_ != PrefixKind::kPText));
    prefixes_.Clear();
    uint32_t n = entries.size();
    void** data = entries.base().data();
    if (prefixed()) {
      struct Slot {
        uint64_t prefix;
        void* record;
      };
      try {
        if (!prefixes_.Reserve(n)) throw std::bad_alloc();
        std::vector<Slot> slots(n);
        for (uint32_t i = 0; i < n; ++i) {
          slots[i] = Slot{PrefixOf(static_cast<const uint8_t*>(data[i])), data[i]};
        }
        std::stable_sort(slots.begin(), slots.end(), [this](const Slot& a, const Slot& b) {
          if (a.prefix != b.prefix) return a.prefix < b.prefix;
          return !prefix_exact_ && Compare(static_cast<const uint8_t*>(a.record),
                                           static_cast<const uint8_t*>(b.record)) < 0;
        });
        prefixes_.Resize(n);
        uint64_t* prefixes = prefixes_.data();
        for (uint32_t i = 0; i < n; ++i) {
          data[i] = slots[i].record;
          prefixes[i] = slots[i].prefix;
        }
        return;
      } catch (const std::bad_alloc&) {
        prefix_kind_ = PrefixKind::kNone;  // sort without the prefixes below
        prefix_exact_ = false;
        prefixes_.Clear();
      }
    }
    if (!keys_.empty() && n > 1) {
      std::stable_sort(data, data + n, [this](void* a, void* b) {
        return Compare(static_cast<const uint8_t*>(a), static_cast<const uint8_t*>(b)) < 0;
      });
    }
  }

 private:
  // Binary searches with the full comparison over entries [lo, hi).
  uint32_t FullUpperBound(const uint8_t* record, uint32_t lo, uint32_t hi) const {
    while (lo < hi) {
      uint32_t mid = lo + (hi - lo) / 2;
      if (Compare(record, entries.at(mid)) < 0) hi = mid; else lo = mid + 1;
    }
    return lo;
  }
  uint32_t FullLowerBound(const uint8_t* record, uint32_t lo, uint32_t hi) const {
    while (lo < hi) {
      uint32_t mid = lo + (hi - lo) / 2;
      if (Compare(record, entries.at(mid)) > 0) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

  std::vector<QueueKey> keys_;
  PrefixKind prefix_kind_ = PrefixKind::kNone;
  bool prefix_exact_ = false;  // equal prefixes mean equal keys
  // When prefix_kind_ is not kNone: the first key's prefix of every entry, parallel to entries.
  QueuePrefixIndex prefixes_;
  uint32_t changes_;
};

Queue::Queue(void* buffer, uint32_t record_size) : buffer(buffer), record_size(record_size) {}
Queue::~Queue() = default;

namespace {

// The common start of every operation; nullptr (with error 7) when the descriptor is missing or
// no longer matches the queue object.
[[gnu::always_inline]] inline QueueObject* Begin(Queue* queue) {
  ClearPendingError();
  if (queue == nullptr || queue->buffer == nullptr || queue->record_size == 0) {
    PostError(kErrMemoryCorrupted);
    return nullptr;
  }
  if (!queue->object) {
    try {
      queue->object = std::make_unique<QueueObject>(queue->record_size);
    } catch (const std::bad_alloc&) {
      PostError(kErrInsufficientMemory);
      return nullptr;
    }
  }
  if (queue->object->pool.record_size() != queue->record_size) {
    PostError(kErrMemoryCorrupted);
    return nullptr;
  }
  return queue->object.get();
}

// Stores a copy of the buffer at `index` (unsorted) or at its key place (sorted); returns the
// 1-based position or 0 when nothing was stored.
[[gnu::always_inline]] inline int32_t Store(Queue* queue, QueueObject* q, uint32_t index,
                                            bool by_key) {
  if (q->entries.size() >= kQueueMaxEntries) {
    PostError(kErrInsufficientMemory);
    return 0;
  }
  uint8_t* copy = q->pool.Allocate();
  if (!copy) {
    PostError(kErrInsufficientMemory);
    return 0;
  }
  std::memcpy(copy, queue->buffer, queue->record_size);
  uint64_t p = q->PrefixOf(copy);
  if (by_key) index = q->UpperBound(copy, p);
  if (index > q->entries.size()) index = q->entries.size();
  if (!q->Insert(index, copy, p)) {
    PostError(kErrInsufficientMemory);
    return 0;
  }
  q->Changed();
  return static_cast<int32_t>(index) + 1;
}

bool ValidPosition(const QueueObject* q, int32_t position) {
  return position >= 1 && static_cast<uint32_t>(position) <= q->entries.size();
}

}  // namespace

void QueueAdd(Queue* queue) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  int32_t pos = Store(queue, q, q->entries.size(), q->sorted());
  if (pos) q->pointer = pos;
}

void QueueAddAt(Queue* queue, int32_t position) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  uint32_t index = ValidPosition(q, position) ? static_cast<uint32_t>(position - 1) : q->entries.size();
  int32_t pos = Store(queue, q, index, false);
  if (pos) q->pointer = pos;
}

void QueueGetAt(Queue* queue, int32_t position) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  if (!ValidPosition(q, position)) {
    if (position == 0) q->pointer = 0;
    PostError(kErrEntryNotFound);
    return;
  }
  std::memcpy(queue->buffer, q->entries.at(position - 1), queue->record_size);
  q->pointer = position;
}

void QueueGetByKey(Queue* queue) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  if (!q->sorted()) {
    PostError(kErrEntryNotFound);
    return;
  }
  uint32_t index = q->Find(static_cast<const uint8_t*>(queue->buffer));
  if (index >= q->entries.size()) {
    PostError(kErrEntryNotFound);
    return;
  }
  std::memcpy(queue->buffer, q->entries.at(index), queue->record_size);
  q->pointer = static_cast<int32_t>(index) + 1;
}

void QueuePutAt(Queue* queue, int32_t position) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  if (!ValidPosition(q, position)) {
    PostError(kErrEntryNotFound);
    return;
  }
  uint32_t index = static_cast<uint32_t>(position - 1);
  if (!q->sorted()) {
    std::memcpy(q->entries.at(index), queue->buffer, queue->record_size);
    q->Changed();
    q->pointer = position;
    return;
  }
  // Sorted: the entry leaves its place and is added again at its place in key order. Its own slot
  // is rewritten and re-inserted, and the arrays have room for the entry that just left them.
  uint8_t* entry = q->Take(index);
  std::memcpy(entry, queue->buffer, queue->record_size);
  uint64_t p = q->PrefixOf(entry);
  uint32_t target = q->UpperBound(entry, p);
  if (!q->Insert(target, entry, p)) {
    PostError(kErrInsufficientMemory);  // not reachable in practice; the entry is then gone and the change reported
    q->Changed();
    return;
  }
  q->Changed();
  q->pointer = static_cast<int32_t>(target) + 1;
}

void QueueDeleteAt(Queue* queue, int32_t position) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  if (!ValidPosition(q, position)) {
    PostError(kErrEntryNotFound);
    return;
  }
  q->pool.Release(q->Take(static_cast<uint32_t>(position - 1)));
  q->Changed();
}

int32_t QueueRecords(Queue* queue) {
  QueueObject* q = Begin(queue);
  return q ? static_cast<int32_t>(q->entries.size()) : 0;
}

int32_t QueuePointer(Queue* queue) {
  QueueObject* q = Begin(queue);
  return q ? q->pointer : 0;
}

void QueueCheckInvariants(const Queue* queue) {
  if (queue != nullptr && queue->object) queue->object->CheckInvariants();
}

uint32_t QueueChanges(Queue* queue) {
  QueueObject* q = Begin(queue);
  return q ? q->changes() : 0;
}

void QueueFree(Queue* queue) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  queue->object.reset();
}

void QueueSort(Queue* queue, std::vector<QueueKey> keys) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  for (const QueueKey& key : keys) {
    if (!KeySupported(key, queue->record_size)) {
      PostError(kErrMemoryCorrupted);
      return;
    }
  }
  q->SetKeys(std::move(keys));
  q->Changed();
}

int32_t QueuePeekRecords(const Queue* queue) {
  if (queue == nullptr || !queue->object) return 0;
  return static_cast<int32_t>(queue->object->entries.size());
}

uint32_t QueuePeekChanges(const Queue* queue) {
  if (queue == nullptr || !queue->object) return 0;
  return queue->object->changes();
}

const uint8_t* QueuePeekEntry(const Queue* queue, int32_t position) {
  if (queue == nullptr || !queue->object || !ValidPosition(queue->object.get(), position)) {
    return nullptr;
  }
  return queue->object->entries.at(static_cast<uint32_t>(position - 1));
}

}  // namespace cinevo
