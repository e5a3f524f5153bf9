#include "runtime/data/view/row_stream.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime/core/error_codes.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/string_stack.h"
#include "runtime/core/value_ref.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/file_properties.h"
#include "runtime/data/view/view_records.h"

namespace cinevo::view {

bool TakePiece(std::string_view& in, std::string_view& piece) {
  if (in.empty()) return false;
  size_t n = static_cast<uint8_t>(in[0]);
  if (in.size() < n + 1) return false;
  piece = in.substr(1, n);
  in.remove_prefix(n + 1);
  return true;
}

void PutPiece(std::string& out, std::string_view piece) {
  size_t n = piece.size() > 255 ? 255 : piece.size();
  out += static_cast<char>(n);
  out.append(piece.data(), n);
}

namespace {
// The trace a VIEW's file operations go to while it runs an operation (TraceFileOperationsInto).
thread_local const TraceSettings* into_trace = nullptr;
}  // namespace

void TraceFileOperationsInto(const TraceSettings* trace) { into_trace = trace; }

namespace {

int Run(DriverOp op, FileControlBlock& f, DriverArgs& a) {
  if (into_trace == nullptr) return Dispatch(op, f, a);
  const int64_t start = TraceClock();
  const int e = Dispatch(op, f, a);
  TraceFileOperation(*into_trace, op, f, a, e, start);
  return e;
}

int Step(FileControlBlock& f, bool forward, RowScreen* screen = nullptr) {
  DriverArgs a;
  a.screen = screen;
  return Run(forward ? DriverOp::kNext : DriverOp::kPrevious, f, a);
}

// A file's position in the order it is read (key < 0: record order).
int SavePosition(FileControlBlock& f, int key, std::string& out) {
  DriverArgs a;
  a.key = key;
  int e = Run(key < 0 ? DriverOp::kPositionFile : DriverOp::kPositionKey, f, a);
  if (e != 0) return e;
  PutPiece(out, a.text_result);
  return 0;
}

// The position of the record a node has just read, taken while the VIEW operation that read it
// still holds its files (a driver answers it from what the read left, without reading again),
// so that a later POSITION of the VIEW costs nothing. `out` stays empty when it cannot be had.
void KeepPosition(FileControlBlock& f, int key, std::string& out) {
  out.clear();
  if (SavePosition(f, key, out) != 0) out.clear();
}

// The position KeepPosition kept at the node's last read, or else the file's position now.
int SaveKeptPosition(FileControlBlock& f, int key, const std::string& kept, std::string& out) {
  if (kept.empty()) return SavePosition(f, key, out);
  out += kept;
  return 0;
}

int ResetTo(FileControlBlock& f, int key, std::string_view piece) {
  DriverArgs a;
  a.key = key;
  a.text = piece;
  return Run(key < 0 ? DriverOp::kResetFile : DriverOp::kResetKey, f, a);
}

int SaveRecordOf(FileControlBlock& f, bool cleared, std::string& out) {
  if (cleared) {
    PutPiece(out, {});
    return 0;
  }
  return SavePosition(f, -1, out);
}

int RegetRecordOf(FileControlBlock& f, std::string_view& in) { return RegetPiece(f, in); }

}  // namespace

uint64_t ChangeStamp(FileControlBlock& f) {
  DriverArgs a;
  a.property = kPropChangeStamp;
  if (Run(DriverOp::kGetProperty, f, a) != 0) return 0;
  return std::strtoull(a.text_result.c_str(), nullptr, 10);
}

int RegetPiece(FileControlBlock& f, std::string_view& in, std::span<const uint8_t> image, uint64_t stamp,
               bool kept_only, bool same_read) {
  std::string_view piece;
  if (!TakePiece(in, piece)) return kErrRecordNotFound;
  if (piece.empty()) {
    ClearRecord(f);
    return 0;
  }
  DriverArgs a;
  a.text = piece;
  if (stamp != 0) {
    a.data = image;
    a.count = static_cast<int64_t>(stamp);
  } else if (kept_only) {
    return kErrChangedElsewhere;
  }
  a.kept_only = kept_only;
  a.same_read = kept_only && same_read;
  return Run(DriverOp::kRegetFile, f, a);
}

namespace {

// ---------------------------------------------------------------------------------------------
// File node.

class FileNode final : public RowNode {
 public:
  FileNode(FileControlBlock& file, KeyRange range) : file_(file), range_(std::move(range)) {}

  int Start(bool forward) override {
    position_.clear();
    DriverArgs a;
    if (range_.key < 0) return Run(DriverOp::kSetFile, file_, a);
    a.key = range_.key;
    if (range_.fixed.empty() && !range_.has_low && !range_.has_high) return Run(DriverOp::kSetKey, file_, a);
    const bool key_forward = forward != range_.backwards;
    FillStart(key_forward);
    a.key2 = range_.key;
    return Run(DriverOp::kSetKeyKey, file_, a);
  }

  int Read(bool forward) override {
    position_.clear();
    const bool key_forward = forward != range_.backwards;
    // The screen, for a forward read of the whole file in record order only: a key range
    // would have the driver pass by records beyond its end. A traced VIEW shows every read.
    const bool screened = screen_ && screen_->on && range_.key < 0 && key_forward && into_trace == nullptr;
    int e = Step(file_, key_forward, screened ? screen_ : nullptr);
    if (e != 0 || range_.key < 0) return e;
    if (!InRange()) return kErrRecordNotAvailable;
    KeepPosition(file_, range_.key, position_);
    return 0;
  }

  void Clear() override {
    position_.clear();
    ClearRecord(file_);
  }
  int Save(std::string& out) override { return SaveKeptPosition(file_, range_.key, position_, out); }
  int Restore(std::string_view& in) override {
    position_.clear();
    std::string_view piece;
    if (!TakePiece(in, piece)) return kErrRecordNotFound;
    return ResetTo(file_, range_.key, piece);
  }
  int SaveRecord(std::string& out) override { return SaveRecordOf(file_, false, out); }
  int RegetRecord(std::string_view& in) override { return RegetRecordOf(file_, in); }
  void Files(std::vector<FileControlBlock*>& out) const override { out.push_back(&file_); }
  void Screen(RowScreen* screen) override { screen_ = screen; }

 private:
  const KeyDeclaration& Key() const { return file_.declaration->keys[range_.key]; }

  // The key's fields for SET(key,key): the fixed values, then the bound (or the extreme) of the
  // next component, then the extremes at which the reading direction starts.
  void FillStart(bool key_forward) {
    const KeyDeclaration& k = Key();
    const bool nocase = (k.flags & kKeyNoCase) != 0;
    for (size_t i = 0; i < k.components.size(); ++i) {
      const int comp = k.components[i];
      const FieldDeclaration& f = file_.declaration->fields[std::abs(comp) - 1];
      const bool descending = comp < 0;
      // The smallest value in key order for a forward read is the lowest value of an ascending
      // component and the highest of a descending one.
      const bool want_high = key_forward == descending;
      if (i < range_.fixed.size()) {
        PutImage(file_, f, range_.fixed[i]);
      } else if (i == range_.fixed.size() && want_high && range_.has_high) {
        PutImage(file_, f, range_.high);
      } else if (i == range_.fixed.size() && !want_high && range_.has_low) {
        PutImage(file_, f, range_.low);
      } else {
        FillExtreme(file_, f, nocase, want_high);
      }
    }
  }

  bool InRange() {
    const KeyDeclaration& k = Key();
    const bool nocase = (k.flags & kKeyNoCase) != 0;
    for (size_t i = 0; i < range_.fixed.size(); ++i) {
      const int field = std::abs(k.components[i]);
      if (!SameComponent(*file_.declaration, field, nocase, ImageOf(file_, field), range_.fixed[i])) return false;
    }
    if (range_.fixed.size() < k.components.size() && (range_.has_low || range_.has_high)) {
      const int field = std::abs(k.components[range_.fixed.size()]);
      const FieldDeclaration& f = file_.declaration->fields[field - 1];
      std::string_view v = ImageOf(file_, field);
      if (range_.has_low && CompareImages(f, nocase, v, range_.low) < 0) return false;
      if (range_.has_high && CompareImages(f, nocase, v, range_.high) > 0) return false;
    }
    return true;
  }

  FileControlBlock& file_;
  KeyRange range_;
  std::string position_;  // of the row delivered last (key order), as a piece; empty: none
  RowScreen* screen_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Key-join node.

class KeyJoinNode final : public RowNode {
 public:
  KeyJoinNode(FileControlBlock& file, int key, std::vector<LinkField> links)
      : file_(file), key_(key), links_(std::move(links)) {}

  int Start(bool forward) override {
    const KeyDeclaration& k = file_.declaration->keys[key_];
    const bool nocase = (k.flags & kKeyNoCase) != 0;
    LinkValues(file_.record);
    for (size_t i = links_.size(); i < k.components.size(); ++i) {
      const int comp = k.components[i];
      FillExtreme(file_, file_.declaration->fields[std::abs(comp) - 1], nocase, forward == (comp < 0));
    }
    links_pending_ = false;
    position_.clear();
    DriverArgs a;
    a.key = key_;
    a.key2 = key_;
    return Run(DriverOp::kSetKeyKey, file_, a);
  }

  int Read(bool forward) override {
    if (links_pending_) {
      scratch_ = file_.record;
      LinkValues(scratch_);
      links_pending_ = false;
    }
    position_.clear();
    int e = Step(file_, forward);
    if (e != 0) return e;
    const KeyDeclaration& k = file_.declaration->keys[key_];
    const bool nocase = (k.flags & kKeyNoCase) != 0;
    for (size_t i = 0; i < links_.size(); ++i) {
      const int field = std::abs(k.components[i]);
      if (!SameComponent(*file_.declaration, field, nocase, ImageOf(file_, field), linked_[i])) return kErrRecordNotAvailable;
    }
    KeepPosition(file_, key_, position_);
    return 0;
  }

  void Clear() override {
    position_.clear();
    ClearRecord(file_);
  }
  int Save(std::string& out) override { return SaveKeptPosition(file_, key_, position_, out); }
  int Restore(std::string_view& in) override {
    position_.clear();
    std::string_view piece;
    if (!TakePiece(in, piece)) return kErrRecordNotFound;
    links_pending_ = true;  // the outer records are read again before this one
    return ResetTo(file_, key_, piece);
  }
  int SaveRecord(std::string& out) override { return SaveRecordOf(file_, false, out); }
  int RegetRecord(std::string_view& in) override { return RegetRecordOf(file_, in); }
  void Files(std::vector<FileControlBlock*>& out) const override { out.push_back(&file_); }

 private:
  // Puts the outer fields' values into the linked components of `record` (a copy of the joined
  // file's buffer) and keeps their images for the comparisons.
  void LinkValues(std::vector<uint8_t>& record) {
    const KeyDeclaration& k = file_.declaration->keys[key_];
    linked_.resize(links_.size());
    for (size_t i = 0; i < links_.size(); ++i) {
      const FieldDeclaration& to = file_.declaration->fields[std::abs(k.components[i]) - 1];
      const FieldDeclaration& from = links_[i].file->declaration->fields[links_[i].field - 1];
      CopyField(*links_[i].file, from, record, to);
      linked_[i].assign(reinterpret_cast<const char*>(record.data()) + to.offset, to.size);
    }
  }

  FileControlBlock& file_;
  int key_;
  std::vector<LinkField> links_;
  std::vector<std::string> linked_;
  std::vector<uint8_t> scratch_;
  bool links_pending_ = false;
  std::string position_;  // of the row delivered last, as a piece; empty: none
};

// ---------------------------------------------------------------------------------------------
// Expression-join node.

class ExpressionJoinNode final : public RowNode {
 public:
  ExpressionJoinNode(FileControlBlock& file, std::unique_ptr<CompiledExpression> expression)
      : file_(file), expression_(std::move(expression)) {}

  int Start(bool) override {
    DriverArgs a;
    return Run(DriverOp::kSetFile, file_, a);
  }
  int Read(bool forward) override {
    for (;;) {
      int e = Step(file_, forward);
      if (e != 0) return e;
      if (expression_->Truth()) return 0;
    }
  }
  void Clear() override { ClearRecord(file_); }
  int Save(std::string& out) override { return SavePosition(file_, -1, out); }
  int Restore(std::string_view& in) override {
    std::string_view piece;
    if (!TakePiece(in, piece)) return kErrRecordNotFound;
    return ResetTo(file_, -1, piece);
  }
  int SaveRecord(std::string& out) override { return SaveRecordOf(file_, false, out); }
  int RegetRecord(std::string_view& in) override { return RegetRecordOf(file_, in); }
  void Files(std::vector<FileControlBlock*>& out) const override { out.push_back(&file_); }

 private:
  FileControlBlock& file_;
  std::unique_ptr<CompiledExpression> expression_;
};

// ---------------------------------------------------------------------------------------------
// Join chain: nested loops.

class ChainNode final : public RowNode {
 public:
  explicit ChainNode(std::vector<RowPtr> members) : members_(std::move(members)) {}

  // Every row of a primary record the screen skips shares that record's values.
  void Screen(RowScreen* screen) override { members_[0]->Screen(screen); }

  int Start(bool forward) override {
    depth_ = 0;
    restored_ = false;
    return members_[0]->Start(forward);
  }

  // `depth_` members have a current row. With all of them current the last one advances; a
  // member at its end hands the step to the one before it, and a member that has advanced
  // starts every member after it again.
  int Read(bool forward) override {
    const size_t n = members_.size();
    size_t i = depth_ == n ? n - 1 : depth_;
    for (;;) {
      int e = members_[i]->Read(forward);
      if (e == 0) {
        if (i + 1 == n) {
          depth_ = n;
          restored_ = false;
          return 0;
        }
        ++i;
        if (!restored_) {
          e = members_[i]->Start(forward);
          if (e != 0) return e;
        }
        continue;
      }
      restored_ = false;
      if (e != kErrRecordNotAvailable) return e;
      if (i == 0) {
        depth_ = 0;
        return kErrRecordNotAvailable;
      }
      --i;
    }
  }

  void Clear() override {
    for (auto& m : members_) m->Clear();
  }
  int Save(std::string& out) override {
    for (auto& m : members_) {
      if (int e = m->Save(out)) return e;
    }
    return 0;
  }
  int Restore(std::string_view& in) override {
    for (auto& m : members_) {
      if (int e = m->Restore(in)) return e;
    }
    depth_ = 0;
    restored_ = true;
    return 0;
  }
  int SaveRecord(std::string& out) override {
    for (auto& m : members_) {
      if (int e = m->SaveRecord(out)) return e;
    }
    return 0;
  }
  int RegetRecord(std::string_view& in) override {
    for (auto& m : members_) {
      if (int e = m->RegetRecord(in)) return e;
    }
    return 0;
  }
  void Files(std::vector<FileControlBlock*>& out) const override {
    for (auto& m : members_) m->Files(out);
  }

 private:
  std::vector<RowPtr> members_;
  size_t depth_ = 0;
  bool restored_ = false;
};

// ---------------------------------------------------------------------------------------------
// Outer join.

class OuterJoinNode final : public RowNode {
 public:
  explicit OuterJoinNode(RowPtr join) : join_(std::move(join)) {}

  int Start(bool forward) override {
    had_row_ = false;
    cleared_ = false;
    return join_->Start(forward);
  }
  int Read(bool forward) override {
    if (restored_cleared_) {
      restored_cleared_ = false;
      join_->Clear();
      cleared_ = true;
      had_row_ = false;
      return 0;
    }
    if (cleared_) return kErrRecordNotAvailable;  // the one cleared row has been given
    int e = join_->Read(forward);
    if (e == 0) {
      had_row_ = true;
      return 0;
    }
    if (e == kErrRecordNotAvailable && !had_row_) {
      join_->Clear();
      cleared_ = true;
      return 0;
    }
    return e;
  }
  void Clear() override { join_->Clear(); }
  int Save(std::string& out) override {
    if (!cleared_) return join_->Save(out);
    std::vector<FileControlBlock*> files;
    join_->Files(files);
    for (size_t i = 0; i < files.size(); ++i) PutPiece(out, {});
    return 0;
  }
  int Restore(std::string_view& in) override {
    std::string_view probe = in, piece;
    if (TakePiece(probe, piece) && piece.empty()) {
      std::vector<FileControlBlock*> files;
      join_->Files(files);
      for (size_t i = 0; i < files.size(); ++i) TakePiece(in, piece);
      restored_cleared_ = true;
      return 0;
    }
    had_row_ = true;
    cleared_ = false;
    restored_cleared_ = false;
    return join_->Restore(in);
  }
  int SaveRecord(std::string& out) override {
    if (!cleared_) return join_->SaveRecord(out);
    std::vector<FileControlBlock*> files;
    join_->Files(files);
    for (size_t i = 0; i < files.size(); ++i) PutPiece(out, {});
    return 0;
  }
  int RegetRecord(std::string_view& in) override { return join_->RegetRecord(in); }
  void Files(std::vector<FileControlBlock*>& out) const override { join_->Files(out); }

 private:
  RowPtr join_;
  bool restored_cleared_ = false;  // the next Read gives the cleared row that was restored
  bool had_row_ = false;
  bool cleared_ = false;
};

// ---------------------------------------------------------------------------------------------
// Filter.

class FilterNode final : public RowNode {
 public:
  FilterNode(RowPtr input, std::unique_ptr<CompiledExpression> filter)
      : input_(std::move(input)), filter_(std::move(filter)) {}

  int Start(bool forward) override { return input_->Start(forward); }
  int Read(bool forward) override {
    for (;;) {
      int e = input_->Read(forward);
      if (e != 0) return e;
      if (filter_->Truth()) return 0;
    }
  }
  void Screen(RowScreen* screen) override { input_->Screen(screen); }
  void Clear() override { input_->Clear(); }
  int Save(std::string& out) override { return input_->Save(out); }
  int Restore(std::string_view& in) override { return input_->Restore(in); }
  int SaveRecord(std::string& out) override { return input_->SaveRecord(out); }
  int RegetRecord(std::string_view& in) override { return input_->RegetRecord(in); }
  void Files(std::vector<FileControlBlock*>& out) const override { input_->Files(out); }

 private:
  RowPtr input_;
  std::unique_ptr<CompiledExpression> filter_;
};

}  // namespace

RowPtr MakeFileNode(FileControlBlock& file, KeyRange range) {
  return std::make_unique<FileNode>(file, std::move(range));
}
RowPtr MakeKeyJoinNode(FileControlBlock& file, int key, std::vector<LinkField> links) {
  return std::make_unique<KeyJoinNode>(file, key, std::move(links));
}
RowPtr MakeExpressionJoinNode(FileControlBlock& file, std::unique_ptr<CompiledExpression> expression) {
  return std::make_unique<ExpressionJoinNode>(file, std::move(expression));
}
RowPtr MakeChainNode(std::vector<RowPtr> members) {
  if (members.size() == 1) return std::move(members[0]);
  return std::make_unique<ChainNode>(std::move(members));
}
RowPtr MakeOuterJoinNode(RowPtr join) { return std::make_unique<OuterJoinNode>(std::move(join)); }
RowPtr MakeFilterNode(RowPtr input, std::unique_ptr<CompiledExpression> filter) {
  return std::make_unique<FilterNode>(std::move(input), std::move(filter));
}

bool SameComponent(const FileDeclaration& decl, int field, bool nocase, std::string_view a, std::string_view b) {
  return CompareImages(decl.fields[field - 1], nocase, a, b) == 0;
}

}  // namespace cinevo::view
