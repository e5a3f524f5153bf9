// The read-ahead node (row_stream.h). A VIEW operation holds its files' update locks for its
// whole length, and taking them costs more than reading a row whose pages are cached; so a read
// under the locks reads some rows past the one it delivers and keeps them:
//   - for each kept row, every file's record as read, the row's stream position (Save) and its
//     record positions (SaveRecord), in one arena; and, once per filling, each file's change
//     stamp;
//   - the following operations deliver the kept rows through kept_only REGETs: each file's
//     driver gives the kept record only when its stamp has not moved and no other user has
//     committed since it last looked. A row therefore comes from memory only when the files
//     are still exactly as the filling read them, which is what a read at that moment would
//     have found;
//   - when that fails (a change anywhere, seen by any file), or the reading turns round, or the
//     stream is restored, the kept rows are dropped and the input is put back at the row
//     delivered last, under the locks, and read on from there.
// Rows kept by a filling made within a read the caller declared (View::ExpectReads) belong to
// that read: they are delivered without the look at the files' headers while the read lasts,
// and looked at like any other once it has ended or a new one has begun.
// Each filling keeps twice as many rows as the one before (from kFirstAhead up to kMaxAhead),
// so a long scan costs one lock for every few hundred rows; within a declared read, a filling
// keeps every row the read has left (up to kMaxAhead), so a browse page costs one. A filling
// also stops after kMaxAheadTime, so that the locks are not held for long.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "runtime/core/error_codes.h"
#include "runtime/data/view/row_stream.h"

namespace cinevo::view {
namespace {

constexpr size_t kFirstAhead = 2;
constexpr size_t kMaxAhead = 256;
constexpr auto kMaxAheadTime = std::chrono::microseconds(2000);

class AheadNode final : public RowNode {
 public:
  explicit AheadNode(RowPtr input) : input_(std::move(input)) {
    input_->Files(files_);
    stamps_.assign(files_.size(), 0);
    for (FileControlBlock* f : files_) row_bytes_ += f->record.size();
  }

  int Start(bool forward) override {
    Drop();
    want_ = kFirstAhead;
    delivered_ = false;
    return input_->Start(forward);
  }

  int Read(bool forward) override {
    bool have_row = false;  // the input has just read the row to deliver
    if (ahead_) {
      const bool remaining = next_ < starts_.size();
      if (forward == forward_ && (remaining || at_end_) && StampsStand()) {
        return remaining ? DeliverNext(false) : kErrRecordNotAvailable;
      }
      if (remaining || at_end_ || broken_) {
        int e = PutBack();
        if (e == kErrRecordNotAvailable) {
          // The row delivered last is gone and none follows it.
          if (forward == forward_) return e;
          if ((e = input_->Start(forward)) != 0) return e;
        } else if (e == kPutBackNext) {
          have_row = forward == forward_;
        } else if (e != 0) {
          return e;
        }
      } else {
        Drop();  // every kept row was delivered: the input is at the last of them
      }
    }
    if (forward != forward_) want_ = kFirstAhead;
    forward_ = forward;
    if (!have_row) {
      if (int e = input_->Read(forward)) {
        delivered_ = false;
        return e;
      }
    }
    // The row to deliver, as its input left it; then the rows after it.
    current_.clear();
    if (!Capture(current_)) return Uncaptured();
    Fill(forward);
    declared_.Delivered();
    if (!ahead_) return 0;  // the files still hold the row
    return Reget(current_, false);
  }

  // A new declared read (or its end): rows kept before it are not of it.
  void Expect(int64_t rows) override { declared_.Begin(rows); }

  int ReadKept(bool forward) override {
    if (Kept(forward)) return DeliverNext(true);
    // The end that a filling of the caller's current read met after its rows stands while the
    // files' stamps do, as those rows did.
    if (ahead_ && at_end_ && forward == forward_ && declared_.kept_within() && StampsStand()) {
      return kErrRecordNotAvailable;
    }
    return kErrChangedElsewhere;
  }

  void Clear() override {
    Drop();
    delivered_ = false;
    input_->Clear();
  }

  int Save(std::string& out) override {
    if (!delivered_) return input_->Save(out);
    std::string_view at = current_;
    std::string_view position;
    SkipImages(at);
    TakeBlock(at, position);
    out.append(position);
    return 0;
  }

  int Restore(std::string_view& in) override {
    Drop();
    delivered_ = false;
    want_ = kFirstAhead;
    return input_->Restore(in);
  }

  int SaveRecord(std::string& out) override {
    if (!delivered_) return input_->SaveRecord(out);
    std::string_view at = current_;
    std::string_view position, records;
    SkipImages(at);
    TakeBlock(at, position);
    TakeBlock(at, records);
    out.append(records);
    return 0;
  }

  int RegetRecord(std::string_view& in) override { return input_->RegetRecord(in); }
  void Files(std::vector<FileControlBlock*>& out) const override { input_->Files(out); }

 private:
  // A kept row: the files' records (row_bytes_), then its position and its record positions,
  // each as a u32 length and the bytes.
  static void PutBlock(std::string& out, std::string_view bytes) {
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    out.append(reinterpret_cast<const char*>(&n), 4);
    out.append(bytes);
  }
  static void TakeBlock(std::string_view& in, std::string_view& block) {
    uint32_t n = 0;
    std::memcpy(&n, in.data(), 4);
    block = in.substr(4, n);
    in.remove_prefix(4 + n);
  }
  void SkipImages(std::string_view& in) const { in.remove_prefix(row_bytes_); }

  // The row the files hold now, after the ones in `out`. False when its positions cannot be had.
  bool Capture(std::string& out) {
    const size_t start = out.size();
    for (FileControlBlock* f : files_) out.append(reinterpret_cast<const char*>(f->record.data()), f->record.size());
    scratch_.clear();
    if (input_->Save(scratch_) != 0) {
      out.resize(start);
      return false;
    }
    PutBlock(out, scratch_);
    scratch_.clear();
    if (input_->SaveRecord(scratch_) != 0) {
      out.resize(start);
      return false;
    }
    PutBlock(out, scratch_);
    return true;
  }

  // A row read but not kept (its positions could not be had): delivered as it stands, without
  // kept rows after it.
  int Uncaptured() {
    delivered_ = false;
    declared_.Delivered();
    return 0;
  }

  // Reads the rows after the one just read, each filling more than the one before.
  void Fill(bool forward) {
    rows_.clear();
    starts_.clear();
    next_ = 0;
    at_end_ = false;
    broken_ = false;
    declared_.Filling();
    for (size_t i = 0; i < files_.size(); ++i) {
      stamps_[i] = ChangeStamp(*files_[i]);
      if (stamps_[i] == 0) return;  // a driver without stamps: nothing can be kept
    }
    const auto start = std::chrono::steady_clock::now();
    // The caller's count includes the row just read.
    const int64_t left = declared_.left();
    // Within a declared read the rows it has left are read at once: the caller said it wants them.
    const size_t limit = left > 0 ? std::min<size_t>(kMaxAhead, static_cast<size_t>(left - 1)) : want_;
    size_t n = 0;
    for (; n < limit; ++n) {
      if ((n & 7) == 7 && std::chrono::steady_clock::now() - start > kMaxAheadTime) break;
      int e = input_->Read(forward);
      if (e == kErrRecordNotAvailable) {
        at_end_ = true;
        break;
      }
      const size_t at = rows_.size();
      if (e != 0 || !Capture(rows_)) {
        // The failing row is read again, and fails again, when it is asked for.
        rows_.resize(at);
        broken_ = true;
        break;
      }
      starts_.push_back(at);
    }
    want_ = std::min(want_ * 2, kMaxAhead);
    if (n > 0 || at_end_ || broken_) {
      // The input is past the delivered row: it stays where the filling left it, and is put
      // back when the kept rows cannot be used.
      ahead_ = true;
    }
  }

  bool Kept(bool forward) const { return ahead_ && forward == forward_ && next_ < starts_.size(); }

  // Under the files' locks: whether every file is as the filling read it.
  bool StampsStand() {
    for (size_t i = 0; i < files_.size(); ++i) {
      if (ChangeStamp(*files_[i]) != stamps_[i]) return false;
    }
    return true;
  }

  int DeliverNext(bool kept_only) {
    std::string_view at = std::string_view(rows_).substr(starts_[next_]);
    if (int e = Reget(at, kept_only)) return e;
    current_.assign(rows_, starts_[next_], (next_ + 1 < starts_.size() ? starts_[next_ + 1] : rows_.size()) - starts_[next_]);
    ++next_;
    delivered_ = true;
    declared_.Delivered();
    return 0;
  }

  // Loads the row at `at` into the files (their drivers make each record current).
  int Reget(std::string_view at, bool kept_only) {
    const uint8_t* image = reinterpret_cast<const uint8_t*>(at.data());
    SkipImages(at);
    std::string_view position, records;
    TakeBlock(at, position);
    TakeBlock(at, records);
    for (size_t i = 0; i < files_.size(); ++i) {
      const size_t n = files_[i]->record.size();
      if (int e = RegetPiece(*files_[i], records, {image, n}, kept_only || ahead_ ? stamps_[i] : 0, kept_only,
                             declared_.kept_within())) {
        return e;
      }
      image += n;
    }
    delivered_ = true;
    return 0;
  }

  // The kept rows are of no use: the input goes back to the row delivered last and reads it
  // again, so that the next read continues after it. 0: it did; kPutBackNext: that row is gone
  // (deleted, or moved by a change) and the input has read the row that now follows it in its
  // place; otherwise the error of that read (33: nothing follows).
  static constexpr int kPutBackNext = -1;
  int PutBack() {
    const bool had = ahead_;
    Drop();
    if (!had || !delivered_) return 0;
    std::string_view at = current_;
    std::string_view position, records;
    SkipImages(at);
    TakeBlock(at, position);
    TakeBlock(at, records);
    std::string_view in = position;
    if (int e = input_->Restore(in)) return e;
    if (int e = input_->Read(forward_)) return e;
    scratch_.clear();
    if (input_->SaveRecord(scratch_) != 0 || scratch_ != records) return kPutBackNext;
    return 0;
  }

  void Drop() {
    ahead_ = false;
    at_end_ = false;
    broken_ = false;
    rows_.clear();
    starts_.clear();
    next_ = 0;
  }

  RowPtr input_;
  std::vector<FileControlBlock*> files_;  // the input's files, in the order of its pieces
  std::vector<uint64_t> stamps_;          // each file's change stamp at the filling
  size_t row_bytes_ = 0;
  std::string current_;        // the row delivered last (when delivered_)
  bool delivered_ = false;     // current_ holds the row the files were last given
  std::string rows_;           // the kept rows after it
  std::vector<size_t> starts_;  // where each kept row starts in rows_
  size_t next_ = 0;            // the next kept row to deliver
  bool ahead_ = false;         // the input is past current_ (rows kept, or the end found)
  bool at_end_ = false;        // the input reported its end after the kept rows
  bool broken_ = false;        // a read after the kept rows failed
  bool forward_ = true;        // the direction of the kept rows
  size_t want_ = kFirstAhead;  // how many rows the next filling keeps
  DeclaredRead declared_;      // the rows the caller still means to read
  std::string scratch_;
};

}  // namespace

RowPtr MakeAheadNode(RowPtr input) { return std::make_unique<AheadNode>(std::move(input)); }

}  // namespace cinevo::view
