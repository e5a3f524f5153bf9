// QUEUE: the runtime's in-memory table of records of one declared layout.
//
// A queue descriptor names the program's record buffer (the "current" record) and its size; the
// queue object behind it (created on first use) keeps an ordered list of heap copies of that
// record, each exactly record_size bytes. Entries are read and written by 1-based position or, in
// a sorted queue, by key.
//
// Errors are posted as runtime error codes and the operations return normally:
//   7  the descriptor is missing (null, no buffer or size 0) - nothing done;
//   30 a position of 0 or beyond the last entry for get, put or delete (a get at 0 also sets the
//      pointer to 0), get by key in an unsorted queue, or no entry with equal keys;
//   8  no memory for a record copy, or the queue already holds its limit of 1,000,000 entries -
//      nothing stored.
// Every operation first clears a pending error code and creates the queue object if needed.
//
// Sorted queues: keys are declared with QueueSort (in declaration order; each a field of the record
// and a descending flag). Records compare key by key; the first unequal key decides. Equal records
// keep the order in which they were added. The entries move as pointers, never as record copies.
//
// The change stamp starts at the standard time of creation times 25,781,083 (wrapping to 32 bits)
// and grows by one on every add, put, delete and re-sort, so that displays can notice changes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/core/type_code.h"

namespace cinevo {

// One sort key: a field of the record. Supported types: BYTE, SHORT, USHORT, DATE, TIME, LONG,
// ULONG, SREAL, REAL, DECIMAL, PDECIMAL, STRING, CSTRING, PSTRING and GROUP.
struct QueueKey {
  uint32_t offset = 0;  // of the field within the record
  uint32_t size = 0;    // of the field in bytes
  TypeCode type = TypeCode::kString;
  bool descending = false;
};

class QueueObject;

// The queue descriptor, declared with the program's data.
struct Queue {
  Queue() = default;
  Queue(void* buffer, uint32_t record_size);
  ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  void* buffer = nullptr;   // the record buffer
  uint32_t record_size = 0; // its size in bytes
  std::unique_ptr<QueueObject> object;  // created on first use, destroyed by QueueFree
};

// The most entries a queue holds.
inline constexpr uint32_t kQueueMaxEntries = 1000000;

void QueueAdd(Queue* queue);
void QueueAddAt(Queue* queue, int32_t position);  // 0 or beyond the last entry appends
void QueueGetAt(Queue* queue, int32_t position);
void QueueGetByKey(Queue* queue);
void QueuePutAt(Queue* queue, int32_t position);
void QueueDeleteAt(Queue* queue, int32_t position);
int32_t QueueRecords(Queue* queue);
int32_t QueuePointer(Queue* queue);
uint32_t QueueChanges(Queue* queue);
void QueueFree(Queue* queue);

// Declares the sort keys (an empty list makes the queue unsorted) and re-sorts the entries, keeping
// the order of entries with equal keys. A key outside the record or of an unsupported type posts 7
// and leaves the keys and the entries as they were.
void QueueSort(Queue* queue, std::vector<QueueKey> keys);

// Checks the queue's rules (see invariant.h): every entry a record, at most the limit of
// them, the pointer not negative; in a sorted queue the entries in key order and the key
// prefixes kept beside them exactly those of their records, in order too. A missing queue
// object has nothing to check. A no-op in builds without invariant checks.
void QueueCheckInvariants(const Queue* queue);

// Compares two values of one key field as the queue does (negative, 0, positive; the descending
// flag is not applied). Exposed for the tests and for displays that sort by a column.
int CompareQueueField(const QueueKey& key, const uint8_t* a, const uint8_t* b);

// Read-only access for displays, which read entries many times while the program works with its
// record buffer: these post and clear no error, create no queue object and move no pointer.
// QueuePeekEntry gives the stored record at `position` (record_size bytes), nullptr when there
// is none; the pointer stays valid until that entry is changed or deleted.
int32_t QueuePeekRecords(const Queue* queue);
uint32_t QueuePeekChanges(const Queue* queue);
const uint8_t* QueuePeekEntry(const Queue* queue, int32_t position);

}  // namespace cinevo
