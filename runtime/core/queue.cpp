#include "runtime/core/queue.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "runtime/core/error.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/pointer_list.h"

namespace cinevo {

namespace {

struct FreeRecord {
  void operator()(uint8_t* p) const { std::free(p); }
};
using RecordList = PointerList<uint8_t, FreeRecord>;

void ClearPendingError() {
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
      // day, month, then a 16-bit year: the order of the calendar.
      auto value = [](const uint8_t* p) {
        return static_cast<long long>(Load<uint16_t>(p + 2)) * 10000 + p[1] * 100 + p[0];
      };
      return Sign(value(a) - value(b));
    }
    case TypeCode::kTime: {
      // hundredths, seconds, minutes, hours.
      auto value = [](const uint8_t* p) {
        return ((static_cast<long long>(p[3]) * 60 + p[2]) * 60 + p[1]) * 100 + p[0];
      };
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

class QueueObject {
 public:
  QueueObject() : changes_(static_cast<uint32_t>(StandardTimeNow()) * 25781083u) {}

  RecordList entries;
  std::vector<QueueKey> keys;
  int32_t pointer = 0;  // 1-based position of the last entry read or written; 0 for none

  uint32_t changes() const { return changes_; }
  void Changed() { ++changes_; }

  int Compare(const uint8_t* a, const uint8_t* b) const {
    for (const QueueKey& key : keys) {
      int r = CompareQueueField(key, a + key.offset, b + key.offset);
      if (r != 0) return key.descending ? -r : r;
    }
    return 0;
  }

  // Index of the first entry that sorts after `record` (insert position: after equal entries).
  uint32_t UpperBound(const uint8_t* record) const {
    uint32_t lo = 0, hi = entries.size();
    while (lo < hi) {
      uint32_t mid = lo + (hi - lo) / 2;
      if (Compare(record, entries.at(mid)) < 0) hi = mid; else lo = mid + 1;
    }
    return lo;
  }

  // Index of the first entry that does not sort before `record` (the first of equal entries).
  uint32_t LowerBound(const uint8_t* record) const {
    uint32_t lo = 0, hi = entries.size();
    while (lo < hi) {
      uint32_t mid = lo + (hi - lo) / 2;
      if (Compare(entries.at(mid), record) < 0) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

 private:
  uint32_t changes_;
};

Queue::Queue(void* buffer, uint32_t record_size) : buffer(buffer), record_size(record_size) {}
Queue::~Queue() = default;

namespace {

// The common start of every operation; nullptr (with error 7) when the descriptor is missing.
QueueObject* Begin(Queue* queue) {
  ClearPendingError();
  if (queue == nullptr || queue->buffer == nullptr || queue->record_size == 0) {
    PostError(7);
    return nullptr;
  }
  if (!queue->object) queue->object = std::make_unique<QueueObject>();
  return queue->object.get();
}

// A heap copy of the record buffer, or null (error 8).
std::unique_ptr<uint8_t, FreeRecord> CopyBuffer(const Queue* queue) {
  std::unique_ptr<uint8_t, FreeRecord> copy(static_cast<uint8_t*>(std::malloc(queue->record_size)));
  if (!copy) {
    PostError(8);
    return nullptr;
  }
  std::memcpy(copy.get(), queue->buffer, queue->record_size);
  return copy;
}

// Stores a copy of the buffer at `index` (an unsorted store) or at its key place (sorted); returns
// the 1-based position or 0 when nothing was stored.
int32_t Store(Queue* queue, QueueObject* q, uint32_t index, bool by_key) {
  if (q->entries.size() >= kQueueMaxEntries) {
    PostError(8);
    return 0;
  }
  auto copy = CopyBuffer(queue);
  if (!copy) return 0;
  if (by_key) index = q->UpperBound(copy.get());
  if (index > q->entries.size()) index = q->entries.size();
  if (!q->entries.Insert(index, std::move(copy))) {
    PostError(8);
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
  int32_t pos = Store(queue, q, q->entries.size(), !q->keys.empty());
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
    PostError(30);
    return;
  }
  std::memcpy(queue->buffer, q->entries.at(position - 1), queue->record_size);
  q->pointer = position;
}

void QueueGetByKey(Queue* queue) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  if (q->keys.empty()) {
    PostError(30);
    return;
  }
  const auto* record = static_cast<const uint8_t*>(queue->buffer);
  uint32_t index = q->LowerBound(record);
  if (index >= q->entries.size() || q->Compare(q->entries.at(index), record) != 0) {
    PostError(30);
    return;
  }
  std::memcpy(queue->buffer, q->entries.at(index), queue->record_size);
  q->pointer = static_cast<int32_t>(index) + 1;
}

void QueuePutAt(Queue* queue, int32_t position) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  if (!ValidPosition(q, position)) {
    PostError(30);
    return;
  }
  uint32_t index = static_cast<uint32_t>(position - 1);
  if (q->keys.empty()) {
    std::memcpy(q->entries.at(index), queue->buffer, queue->record_size);
    q->Changed();
    q->pointer = position;
    return;
  }
  // Sorted: the entry leaves its place and is added again at its place in key order. The old copy
  // is rewritten and re-inserted as a pointer, so no memory is needed and nothing can be lost.
  auto entry = q->entries.Take(index);
  std::memcpy(entry.get(), queue->buffer, queue->record_size);
  uint32_t target = q->UpperBound(entry.get());
  q->entries.Insert(target, std::move(entry));  // the array has room: one entry just left it
  q->Changed();
  q->pointer = static_cast<int32_t>(target) + 1;
}

void QueueDeleteAt(Queue* queue, int32_t position) {
  QueueObject* q = Begin(queue);
  if (!q) return;
  if (!ValidPosition(q, position)) {
    PostError(30);
    return;
  }
  q->entries.Remove(static_cast<uint32_t>(position - 1));
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
      PostError(7);
      return;
    }
  }
  q->keys = std::move(keys);
  if (!q->keys.empty() && q->entries.size() > 1) {
    void** data = q->entries.base().data();
    std::stable_sort(data, data + q->entries.size(), [q](void* a, void* b) {
      return q->Compare(static_cast<const uint8_t*>(a), static_cast<const uint8_t*>(b)) < 0;
    });
  }
  q->Changed();
}

}  // namespace cinevo
