#include "runtime/data/view/view.h"

#include <chrono>
#include <optional>

#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/eval.h"
#include "runtime/core/eval_symbols.h"
#include "runtime/core/value_ref.h"
#include "runtime/data/dispatch.h"
#include "runtime/data/driver.h"
#include "runtime/data/driver_trace.h"
#include "runtime/data/view/row_stream.h"
#include "runtime/data/view/view_planner.h"
#include "runtime/data/view/view_records.h"

namespace cinevo {

using view::RowPtr;

namespace {

struct ViewBlock : FileControlBlock {
  ViewBlock(const FileDeclaration& decl, const DriverRegistration* driver, View::Impl& owner)
      : FileControlBlock(decl, driver), impl(owner) {}
  View::Impl& impl;
};

const DriverRegistration& ViewRegistration();

}  // namespace

struct View::Impl {
  ViewDeclaration declaration;
  std::vector<FileControlBlock*> files;
  FileDeclaration block_declaration;
  std::unique_ptr<ViewBlock> block;
  std::string filter, order;
  bool planning = true;
  bool keep_files = false;
};

namespace {

// The field labels of the VIEW's files, bound for as long as expressions are compiled: the
// compiled expressions keep reading the record buffers.
class FieldBindings {
 public:
  explicit FieldBindings(const std::vector<FileControlBlock*>& files) {
    PushScope(true);
    for (FileControlBlock* f : files) {
      for (const FieldDeclaration& d : f->declaration->fields) {
        if (d.type == TypeCode::kEnd) break;
        if (!ValueRef::HasKind(d.type) || d.offset + d.size > f->record.size()) continue;
        Bind(d.label, ValueRef::Make(d.type, f->record.data() + d.offset, d.size, d.places));
      }
    }
  }
  ~FieldBindings() { PopScope(); }
  FieldBindings(const FieldBindings&) = delete;
  FieldBindings& operator=(const FieldBindings&) = delete;
};

// Every file of the VIEW read as one operation (see view.h).
class FilesBracket {
 public:
  explicit FilesBracket(const std::vector<FileControlBlock*>& files) {
    for (FileControlBlock* f : files) {
      DriverArgs a;
      if (Dispatch(DriverOp::kInView, *f, a) == 0) entered_.push_back(f);
    }
  }
  ~FilesBracket() {
    for (auto it = entered_.rbegin(); it != entered_.rend(); ++it) {
      DriverArgs a;
      Dispatch(DriverOp::kEndView, **it, a);
    }
  }
  FilesBracket(const FilesBracket&) = delete;
  FilesBracket& operator=(const FilesBracket&) = delete;

 private:
  std::vector<FileControlBlock*> entered_;
};

// The order text of the items that compile; `error` gets the first failure's code.
std::string CompilableOrder(std::string_view text, int& error) {
  std::string kept;
  for (const view::OrderText& item : view::SplitOrder(text)) {
    if (!CompiledExpression::Compile(item.expression)) {
      if (error == 0) error = ErrorCode() ? ErrorCode() : 800;
      continue;
    }
    if (!kept.empty()) kept += ',';
    kept += (item.descending ? "-" : "+") + item.expression;
  }
  return kept;
}

class ViewEngine final : public DriverWorkingState {
 public:
  explicit ViewEngine(View::Impl& v) : v_(v), trace_(ViewTraceSettings()) {}
  const TraceSettings& trace() const { return trace_; }

  int Run(DriverOp op, DriverArgs& args);
  void Invalidate() { Drop(); }
  void Expect(int64_t rows) {
    expect_ = rows;
    if (root_) root_->Expect(rows);
  }

 private:
  view::ViewPlan MakePlan() const {
    return v_.planning ? view::PlanView(v_.declaration, v_.filter, v_.order)
                       : view::PlainPlan(v_.declaration, v_.filter, v_.order);
  }

  RowPtr CompileJoin(const JoinDeclaration& j) {
    RowPtr node;
    if (j.key != kNoKey) {
      std::vector<view::LinkField> links;
      for (const ViewField& l : j.links) links.push_back({l.file, l.field});
      node = view::MakeKeyJoinNode(*j.file, j.key, std::move(links));
    } else {
      auto x = CompiledExpression::Compile(j.expression);
      if (!x) x = CompiledExpression::Compile("0");
      node = view::MakeExpressionJoinNode(*j.file, std::move(x));
    }
    if (!j.joins.empty()) {
      std::vector<RowPtr> members;
      members.push_back(std::move(node));
      for (const JoinDeclaration& sub : j.joins) members.push_back(CompileJoin(sub));
      node = view::MakeChainNode(std::move(members));
    }
    return j.inner ? std::move(node) : view::MakeOuterJoinNode(std::move(node));
  }

  void Compile() {
    FieldBindings bindings(v_.files);
    view::ViewPlan plan = MakePlan();
    std::vector<RowPtr> members;
    members.push_back(view::MakeFileNode(*v_.declaration.primary, plan.range));
    for (const JoinDeclaration& j : v_.declaration.joins) members.push_back(CompileJoin(j));
    RowPtr root = view::MakeChainNode(std::move(members));
    if (!plan.filter.empty()) {
      if (auto f = CompiledExpression::Compile(plan.filter)) root = view::MakeFilterNode(std::move(root), std::move(f));
    }
    if (plan.materialise) {
      std::vector<view::OrderItem> items;
      for (const view::OrderText& t : view::SplitOrder(v_.order)) {
        if (auto x = CompiledExpression::Compile(t.expression)) items.push_back({std::move(x), t.descending});
      }
      // The order holds only items that compiled (CompilableOrder), so the planner's first item
      // is the node's.
      const FileControlBlock& primary = *v_.declaration.primary;
      const FieldDeclaration* first_field =
          plan.screen_field ? &primary.declaration->fields[static_cast<size_t>(plan.screen_field) - 1] : nullptr;
      if (first_field && first_field->offset + first_field->size > primary.record.size()) first_field = nullptr;
      root = view::MakeOrderNode(std::move(root), std::move(items), v_.declaration.primary, plan.by_pointer,
                                 first_field);
    } else {
      root = view::MakeAheadNode(std::move(root));
    }
    root_ = std::move(root);
    root_->Expect(expect_);
  }

  // A changed filter, order or plan: the stream is compiled again and starts from the top.
  void Drop() {
    root_.reset();
    pending_ = Pending::kSet;
  }

  int Read(bool forward);
  int AtEnd();
  int SetProperty(DriverArgs& args);
  int GetProperty(DriverArgs& args);
  int Records(DriverArgs& args);

  enum class Pending { kNone, kSet, kResetFile };

  View::Impl& v_;
  TraceSettings trace_;  // read when the VIEW's working state is made
  RowPtr root_;
  Pending pending_ = Pending::kSet;
  uint64_t reset_pointer_ = 0;
  int64_t expect_ = 0;  // rows the caller means to read (View::ExpectReads)
  bool watch_ = false;
  bool forward_ = true;
};

uint64_t PointerOf(FileControlBlock& f) {
  DriverArgs a;
  return Dispatch(DriverOp::kPointerFile, f, a) == 0 ? static_cast<uint64_t>(a.number_result) : 0;
}

int ViewEngine::Read(bool forward) {
  if (!root_) Compile();
  if (pending_ == Pending::kNone) {
    // A row kept from an earlier operation (or the end found after such rows), delivered
    // without taking the files' locks because no file has changed since it was read (view.h).
    const int kept = root_->ReadKept(forward);
    if (kept == 0 || kept == kErrRecordNotAvailable) {
      forward_ = forward;
      return kept == 0 ? 0 : AtEnd();
    }
  }
  FilesBracket bracket(v_.files);
  int e = 0;
  if (pending_ != Pending::kNone) {
    const Pending p = pending_;
    pending_ = Pending::kNone;
    if (watch_) {
      for (FileControlBlock* f : v_.files) {
        DriverArgs a;
        Dispatch(DriverOp::kWatch, *f, a);
      }
    }
    e = root_->Start(forward);
    if (e == 0 && p == Pending::kResetFile) {
      // From the row of the primary record that was current when RESET was given.
      while ((e = root_->Read(forward)) == 0 && PointerOf(*v_.declaration.primary) != reset_pointer_) {
      }
      if (e == 0) {
        forward_ = forward;
        return 0;
      }
    }
  }
  if (e == 0) e = root_->Read(forward);
  forward_ = forward;
  return e == kErrRecordNotAvailable ? AtEnd() : e;
}

int ViewEngine::AtEnd() {
  // The end: the buffers are cleared and the next read begins anew.
  root_->Clear();
  pending_ = Pending::kSet;
  return kErrRecordNotAvailable;
}

int ViewEngine::SetProperty(DriverArgs& args) {
  switch (args.property) {
    case kPropViewFilter: {
      Drop();
      v_.filter.clear();
      std::string text(args.text);
      if (text.find_first_not_of(" \t") == std::string::npos) return 0;
      FieldBindings b(v_.files);
      if (!CompiledExpression::Compile(text)) return ErrorCode() ? ErrorCode() : 800;
      v_.filter = text;
      return 0;
    }
    case kPropViewOrder: {
      Drop();
      FieldBindings b(v_.files);
      int error = 0;
      v_.order = CompilableOrder(args.text, error);
      return error;
    }
    case kPropViewKeepFiles:
      v_.keep_files = !args.text.empty() && args.text != "0";
      return 0;
    default:
      return kErrUnsupported;
  }
}

int ViewEngine::GetProperty(DriverArgs& args) {
  switch (args.property) {
    case kPropViewFilter:
      args.text_result = v_.filter;
      return 0;
    case kPropViewOrder:
      args.text_result = v_.order;
      return 0;
    case kPropViewFileCount:
      args.text_result = std::to_string(v_.files.size());
      return 0;
    case kPropViewFile:
      if (args.index < 1 || static_cast<size_t>(args.index) > v_.files.size()) return kErrUnsupported;
      args.text_result = std::string(v_.files[args.index - 1]->declaration->ExternalName());
      return 0;
    case kPropViewKeepFiles:
      args.text_result = v_.keep_files ? "1" : "0";
      return 0;
    default:
      return kErrUnsupported;
  }
}

int ViewEngine::Records(DriverArgs& args) {
  if (!root_) Compile();
  FilesBracket bracket(v_.files);
  std::string saved;
  const bool had_row = pending_ == Pending::kNone && root_->Save(saved) == 0;
  int e = root_->Start(true);
  int64_t n = 0;
  while (e == 0 && (e = root_->Read(true)) == 0) ++n;
  if (e != kErrRecordNotAvailable) return e;
  args.number_result = n;
  if (had_row) {
    std::string_view in = saved;
    if (root_->Restore(in) == 0 && root_->Read(forward_) == 0) return 0;
  }
  pending_ = Pending::kSet;
  return 0;
}

int ViewEngine::Run(DriverOp op, DriverArgs& args) {
  FileControlBlock& primary = *v_.declaration.primary;
  switch (op) {
    case DriverOp::kOpen:
    case DriverOp::kShare: {
      if (int e = CheckViewDeclaration(v_.declaration)) return e;
      for (FileControlBlock* f : v_.files) {
        if (!f->IsOpen()) return kErrFileNotOpen;
      }
      v_.block->state |= primary.state & (kStateWriteAllowed | kStateExclusive);
      root_.reset();
      pending_ = Pending::kSet;
      watch_ = false;
      return 0;
    }
    case DriverOp::kClose:
      root_.reset();
      return 0;
    case DriverOp::kSetView:
      pending_ = Pending::kSet;
      return 0;
    case DriverOp::kResetViewFile:
      pending_ = Pending::kResetFile;
      reset_pointer_ = PointerOf(primary);
      return 0;
    case DriverOp::kNext:
    case DriverOp::kPrevious:
      return Read(op == DriverOp::kNext);
    case DriverOp::kPositionFile: {
      if (!root_ || pending_ != Pending::kNone) return kErrRecordNotAvailable;
      return root_->Save(args.text_result);
    }
    case DriverOp::kResetFile: {
      if (!root_) Compile();
      // A stream that only hands the positions to the files' drivers reads nothing here: the
      // files are held for the reads that follow, not for this.
      std::optional<FilesBracket> bracket;
      if (root_->RestoreReads()) bracket.emplace(v_.files);
      std::string_view in = args.text;
      int e = root_->Restore(in);
      pending_ = e == 0 ? Pending::kNone : Pending::kSet;
      return e;
    }
    case DriverOp::kRegetFile: {
      if (!root_) Compile();
      FilesBracket bracket(v_.files);
      std::string_view in = args.text;
      return root_->RegetRecord(in);
    }
    case DriverOp::kGetFilePtr:
      return Dispatch(DriverOp::kGetFilePtr, primary, args);
    case DriverOp::kRecordsFile:
      return Records(args);
    case DriverOp::kSkip: {
      const bool forward = args.count >= 0;
      for (int64_t i = 0; i < (forward ? args.count : -args.count); ++i) {
        if (int e = Read(forward)) return e;
      }
      return 0;
    }
    case DriverOp::kWatch:
      watch_ = true;
      return 0;
    case DriverOp::kFlush:
      Drop();
      return 0;
    case DriverOp::kDelete:
    case DriverOp::kPut:
    case DriverOp::kHoldFile:
    case DriverOp::kHoldFileSec:
    case DriverOp::kRelease:
      return Dispatch(op, primary, args);
    case DriverOp::kSetProperty:
      return SetProperty(args);
    case DriverOp::kGetProperty:
      return GetProperty(args);
    default:
      return kErrUnsupported;
  }
}

int ViewEntry(DriverOp op, FileControlBlock& fcb, DriverArgs& args);

uint32_t ViewIdentity(const FileControlBlock& fcb) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&fcb));
}

// A closed VIEW: OPEN brings the engine back; the dispatch refuses the rest for a closed file.
int ClosedViewEntry(DriverOp op, FileControlBlock& fcb, DriverArgs& args) {
  if (op != DriverOp::kOpen && op != DriverOp::kShare && op != DriverOp::kSetProperty &&
      op != DriverOp::kGetProperty) {
    return kErrFileNotOpen;
  }
  fcb.entry = &ViewEntry;
  return ViewEntry(op, fcb, args);
}

int ViewEntry(DriverOp op, FileControlBlock& fcb, DriverArgs& args) {
  ViewEngine* engine = fcb.WorkAs<ViewEngine>();
  if (engine == nullptr) return kErrInsufficientMemory;
  const TraceSettings& trace = engine->trace();
  if (!trace.on) {
    int e = engine->Run(op, args);
    if (op == DriverOp::kClose) fcb.entry = &ClosedViewEntry;
    return e;
  }
  const int64_t start = TraceClock();
  const std::string name(fcb.declaration->ExternalName());
  const TraceSettings settings = trace;  // CLOSE frees the engine after the call
  if (settings.into_files) view::TraceFileOperationsInto(&settings);
  int e = engine->Run(op, args);
  view::TraceFileOperationsInto(nullptr);
  if (op == DriverOp::kClose) fcb.entry = &ClosedViewEntry;
  TraceViewOperation(settings, ViewIdentity(fcb), op, name, e, start);
  return e;
}

std::unique_ptr<DriverWorkingState> CreateViewState(FileControlBlock& fcb) {
  return std::make_unique<ViewEngine>(static_cast<ViewBlock&>(fcb).impl);
}

constexpr uint8_t kViewOps[] = {25, 48, 7, 81, 83, 24, 31, 61, 63, 66, 16, 32, 49, 58, 29, 11, 30, 18, 19, 36, 71, 72};

const DriverRegistration& ViewRegistration() {
  static const DriverRegistration reg{kViewOps, {}, "VIEW", "", "VIEW engine", &ViewEntry, &CreateViewState,
                                      /*restarts_at_end=*/true};
  return reg;
}

}  // namespace

View::View(ViewDeclaration declaration) : impl_(std::make_unique<Impl>()) {
  impl_->declaration = std::move(declaration);
  impl_->files = ViewFiles(impl_->declaration);
  FileDeclaration& d = impl_->block_declaration;
  d.label = impl_->declaration.primary ? impl_->declaration.primary->declaration->label : "VIEW";
  d.driver = "VIEW";
  impl_->block = std::make_unique<ViewBlock>(d, &ViewRegistration(), *impl_);
}

View::~View() = default;

FileControlBlock& View::block() { return *impl_->block; }
const ViewDeclaration& View::declaration() const { return impl_->declaration; }
uint32_t View::identity() const { return ViewIdentity(*impl_->block); }

void View::ExpectReads(int64_t rows) {
  if (auto* engine = impl_->block->WorkAs<ViewEngine>()) engine->Expect(rows);
}

void View::SetPlanning(bool on) {
  impl_->planning = on;
  if (auto* engine = impl_->block->WorkAs<ViewEngine>()) engine->Invalidate();
}

std::string View::Explain() {
  if (!impl_->declaration.primary) return {};
  FieldBindings b(impl_->files);
  view::ViewPlan plan = impl_->planning ? view::PlanView(impl_->declaration, impl_->filter, impl_->order)
                                        : view::PlainPlan(impl_->declaration, impl_->filter, impl_->order);
  return view::ExplainPlan(impl_->declaration, plan);
}

int SetView(FileControlBlock& view) {
  DriverArgs a;
  return Dispatch(DriverOp::kSetView, view, a);
}

int ResetViewFile(FileControlBlock& view) {
  DriverArgs a;
  return Dispatch(DriverOp::kResetViewFile, view, a);
}

}  // namespace cinevo
