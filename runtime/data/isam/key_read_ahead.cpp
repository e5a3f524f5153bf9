#include "runtime/data/isam/key_read_ahead.h"

#include <algorithm>

namespace cinevo::isam {

void KeyReadAhead::Drop() {
  entries_.clear();
  records_.clear();
  next_ = 0;
  version_ = 0;
}

void KeyReadAhead::Reset() {
  Drop();
  // A finished long scan gives its buffers back.
  if (records_.capacity() > 65536) {
    std::string().swap(records_);
    std::vector<Entry>().swap(entries_);
    std::vector<uint64_t>().swap(order_);
  }
  steps_ = 0;
  stopped_ = false;
  window_step_ = 0;
  window_loads_ = 0;
}

size_t KeyReadAhead::CountStep(uint64_t loads, size_t record_bytes) {
  if (steps_++ == 0) {
    window_step_ = steps_;
    window_loads_ = loads;
  }
  if (steps_ < kStartAfter || stopped_) return 0;
  // Worth it only while the scan makes the cache load pages; the window starts afresh at each
  // decision, so a scan that starts or stops outgrowing the cache is followed.
  uint64_t steps = steps_ - window_step_;
  bool loading = (loads - window_loads_) * 4 >= steps;
  window_step_ = steps_;
  window_loads_ = loads;
  if (!loading) return 0;
  size_t most = std::max<size_t>(1, kMaxBytes / std::max<size_t>(record_bytes, 1));
  return static_cast<size_t>(std::min<uint64_t>(steps_, most));
}

bool KeyReadAhead::Next(uint64_t version, uint32_t recno, std::string_view& stored, bool& exists) {
  if (next_ >= entries_.size()) return false;
  const Entry& e = entries_[next_];
  if (version != version_ || e.recno != recno) {
    // The file changed under the batch (or the scan went elsewhere): the rest is of no use.
    Drop();
    stopped_ = true;
    return false;
  }
  ++next_;
  stored = std::string_view(records_).substr(e.offset, e.length);
  exists = e.exists;
  if (next_ < entries_.size()) {
    // The next step copies the next record: ask for it now (the batch is larger than the
    // processor's caches, and the records lie in record order, not in the scan's).
    const Entry& n = entries_[next_];
    const char* p = records_.data() + n.offset;
    for (uint32_t at = 0; at < n.length; at += 64) __builtin_prefetch(p + at);
  }
  return true;
}

Status KeyReadAhead::Fill(uint64_t version, const std::vector<uint32_t>& recnos, const Reader& read) {
  Drop();
  entries_.resize(recnos.size());
  order_.resize(recnos.size());
  for (size_t i = 0; i < recnos.size(); ++i) {
    entries_[i] = Entry{recnos[i], 0, 0, false};
    order_[i] = uint64_t{recnos[i]} << 32 | i;  // by record number, then position
  }
  std::sort(order_.begin(), order_.end());
  for (uint64_t key : order_) {
    Entry& e = entries_[static_cast<uint32_t>(key)];
    e.offset = static_cast<uint32_t>(records_.size());
    Status st = read(e.recno, records_, e.exists);
    if (!st.ok()) {
      Drop();
      return st;
    }
    e.length = static_cast<uint32_t>(records_.size() - e.offset);
  }
  version_ = version;
  return Status::Ok();
}

}  // namespace cinevo::isam
