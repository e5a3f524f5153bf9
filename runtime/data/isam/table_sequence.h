// Where one open table stands: its current record, and the point from which NEXT, PREVIOUS and
// SKIP step (fixed by SET and RESET).
//
// Current record: the record number that PUT, DELETE, POSITION and POINTER address (0 none),
// with a copy of its stored bytes as last read or written by this open and the key entry it was
// reached through. The copy is trusted only while kept: no other user can have changed the file
// since it was taken (the update lock held throughout, or exclusive access). Forget drops it;
// making another record current replaces it, and the entry with it.
//
// Sequence point: the tree key from which the next step starts (a data key in file order, a
// key entry in key order) and how the first step after SET/RESET treats it: a step taken
// "fresh" may return the record at the point itself; later steps go strictly past it. A fresh
// PREVIOUS starts from the back point instead (after the last entry of an equal value when the
// start was a key value). A SET without a starting value ("whole") starts NEXT at the first
// record and PREVIOUS at the last. After a DELETE of the current record the point stays where
// that record was, so NEXT and PREVIOUS go on with its neighbours.
//
// Invariants:
//   1. order() == kNone, or the point and the back point lie within this table's order or at
//      its end: they begin with the table number and their fifth byte is the order's tag (the
//      key number, or the data tag in file order) or one past it (OrderEnd).
//   2. Once a step has moved the point, the sequence is neither fresh nor whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/isam_status.h"
#include "runtime/data/isam/table_keys.h"

namespace cinevo::isam {

class TableSequence {
 public:
  enum class Order { kNone, kFile, kKey };

  // Starts over for the table numbered `table`, just opened: no current record, no sequence.
  void Reset(uint32_t table);

  // ---- The current record.
  uint32_t current() const { return current_; }
  // Makes `recno` current with `stored` as its kept copy (`stored` may view the copy itself).
  void Become(uint32_t recno, std::string_view stored);
  // The same, taking the bytes out of `stored` (which receives the copy's old bytes).
  void BecomeSwapping(uint32_t recno, std::string& stored);
  void Clear();  // no current record
  void Forget() { kept_ = false; }  // the copy may no longer be the file's
  void ForgetEntry() { entry_key_ = -1; }  // the entries of the kept copy are made anew
  bool kept() const { return kept_; }
  // The kept copy of record `recno`, or null when `recno` is not current or nothing is kept.
  const std::string* Kept(uint32_t recno) const { return kept_ && recno == current_ ? &stored_ : nullptr; }
  // Records that the current record was reached through `entry` of key `key`.
  void KeepEntry(int key, std::string_view entry);
  // The entry through which the kept record `recno` was reached (key -1 when none).
  KnownEntry KnownEntryOf(uint32_t recno) const;

  // ---- The sequence.
  Order order() const { return order_; }
  int key() const { return key_; }  // the key of key order, -1 otherwise
  const std::string& point() const { return point_; }
  void End() { order_ = Order::kNone; }  // no sequence: NEXT and PREVIOUS have nowhere to go

  // A SET without a starting value, in the order of `key` (file order when negative).
  void StartWhole(int key);
  // A SET or RESET from `point` (a fresh PREVIOUS from `back`), in the order of `key`.
  void StartAt(int key, std::string point, std::string back);
  void StartAt(int key, const std::string& point) { StartAt(key, point, point); }
  // The first and one past the last tree key of the order of `key` (file order when negative).
  std::string OrderStart(int key) const;
  std::string OrderEnd(int key) const;

  // Where the next step in direction `forward` starts, and whether it is taken fresh (may
  // return the record at that point). The result stays valid until the sequence changes.
  const std::string& From(bool forward, bool& fresh);
  // The step found `found` (a key of this order): it becomes the point, and `found` receives
  // the old one (a buffer to reuse).
  void MovedSwapping(std::string& found);
  void MovedTo(std::string_view found);

  // The neighbour of `point` in this order, in direction `forward` (fresh: `point` itself may
  // be the answer): `found` tells whether there is one within the order; `found_key` receives
  // its tree key and `recno` its record number; in file order `data`, when given, the stored
  // record. `scratch` receives the tree record found and keeps it until it is next used.
  // `screen`, for a forward step that is not fresh, passes by the records it skips.
  Status Neighbour(BTree& tree, bool forward, bool fresh, const std::string& point, Record& scratch,
                   std::string& found_key, uint32_t& recno, bool& found, std::string* data = nullptr,
                   RecordScreen* screen = nullptr) const;

  void CheckInvariants() const;

 private:
  uint32_t table_ = 0;
  // The current record.
  uint32_t current_ = 0;
  std::string stored_;
  bool kept_ = false;
  std::string entry_;
  int entry_key_ = -1;
  // The sequence.
  Order order_ = Order::kNone;
  int key_ = -1;
  std::string point_;
  std::string back_point_;
  std::string edge_;  // the start of a whole sequence's first step
  bool fresh_ = false;
  bool whole_ = false;
};

}  // namespace cinevo::isam
