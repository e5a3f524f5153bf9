#include "runtime/data/isam/table_sequence.h"

#include "runtime/core/invariant.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

// The tag of an order in the tree keys: the key number, or the data tag in file order.
char OrderTag(int key) { return static_cast<char>(key >= 0 ? key : kTagData); }

}  // namespace

void TableSequence::Reset(uint32_t table) {
  table_ = table;
  Clear();
  order_ = Order::kNone;
  key_ = -1;
}

void TableSequence::Become(uint32_t recno, std::string_view stored) {
  current_ = recno;
  if (stored.data() != stored_.data()) stored_.assign(stored);
  kept_ = true;
  entry_key_ = -1;
}

void TableSequence::BecomeSwapping(uint32_t recno, std::string& stored) {
  current_ = recno;
  stored_.swap(stored);
  kept_ = true;
  entry_key_ = -1;
}

void TableSequence::Clear() {
  current_ = 0;
  kept_ = false;
  entry_key_ = -1;
}

void TableSequence::KeepEntry(int key, std::string_view entry) {
  entry_.assign(entry);
  entry_key_ = key;
}

KnownEntry TableSequence::KnownEntryOf(uint32_t recno) const {
  if (!kept_ || recno != current_) return {};
  return {entry_key_, entry_};
}

std::string TableSequence::OrderStart(int key) const {
  std::string p = TablePrefix(table_);
  p.push_back(OrderTag(key));
  return p;
}

std::string TableSequence::OrderEnd(int key) const {
  std::string p = OrderStart(key);
  p.back() = static_cast<char>(static_cast<uint8_t>(p.back()) + 1);
  return p;
}

void TableSequence::StartWhole(int key) {
  order_ = key >= 0 ? Order::kKey : Order::kFile;
  key_ = key >= 0 ? key : -1;
  point_ = OrderStart(key_);
  back_point_ = OrderEnd(key_);
  fresh_ = true;
  whole_ = true;
}

void TableSequence::StartAt(int key, std::string point, std::string back) {
  order_ = key >= 0 ? Order::kKey : Order::kFile;
  key_ = key >= 0 ? key : -1;
  point_ = std::move(point);
  back_point_ = std::move(back);
  fresh_ = true;
  whole_ = false;
}

const std::string& TableSequence::From(bool forward, bool& fresh) {
  if (whole_) {
    edge_ = forward ? OrderStart(key_) : OrderEnd(key_);
    fresh = forward;
    return edge_;
  }
  fresh = fresh_;
  return fresh_ && !forward ? back_point_ : point_;
}

void TableSequence::MovedSwapping(std::string& found) {
  point_.swap(found);
  fresh_ = false;
  whole_ = false;
}

void TableSequence::MovedTo(std::string_view found) {
  point_.assign(found);
  fresh_ = false;
  whole_ = false;
}

Status TableSequence::Neighbour(BTree& tree, bool forward, bool fresh, const std::string& point, Record& r,
                                std::string& found_key, uint32_t& recno, bool& found, std::string* data,
                                RecordScreen* screen) const {
  if (forward) {
    ISAM_RETURN_IF_ERROR(fresh ? tree.AtOrAfter(point, r, found) : tree.After(point, r, found, screen));
  } else {
    ISAM_RETURN_IF_ERROR(fresh ? tree.AtOrBefore(point, r, found) : tree.Before(point, r, found));
  }
  if (!found) return Status::Ok();
  // The table number and the key number (or the data tag) of this order.
  char prefix[5];
  PutBe32(reinterpret_cast<uint8_t*>(prefix), table_);
  prefix[4] = OrderTag(order_ == Order::kKey ? key_ : -1);
  if (r.key().substr(0, sizeof prefix) != std::string_view(prefix, sizeof prefix)) {
    found = false;
    return Status::Ok();
  }
  found_key.assign(r.key());
  if (order_ == Order::kFile) {
    if (r.key_length != 9) return Status::Internal(kCheckRecordFields, "data record key of the wrong length");
    recno = GetBe32(Bytes(r.bytes) + 5);
    if (data) data->assign(r.bytes, r.key_length, std::string::npos);
  } else {
    if (r.bytes.size() < size_t{r.key_length} + 4) return Status::Internal(kCheckRecordFields, "key entry without a record number");
    recno = GetBe32(Bytes(r.bytes) + r.key_length);
  }
  return Status::Ok();
}

void TableSequence::CheckInvariants() const {
  if (order_ == Order::kNone) return;
  CINEVO_INVARIANT((order_ == Order::kKey) == (key_ >= 0), "key order has a key, file order none");
  const std::string start = OrderStart(key_);
  const std::string end = OrderEnd(key_);
  for (const std::string* p : {&point_, &back_point_}) {
    const bool in_order = p->size() >= 5 && p->compare(0, 4, start, 0, 4) == 0 && ((*p)[4] == start[4] || (*p)[4] == end[4]);
    CINEVO_INVARIANT(in_order, "the sequence's points lie within its order or at its end");
  }
  CINEVO_INVARIANT(!whole_ || fresh_, "a whole sequence has not been stepped yet");
}

}  // namespace cinevo::isam
