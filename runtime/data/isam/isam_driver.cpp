#include "runtime/data/isam/isam_driver.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "runtime/core/error_codes.h"
#include "runtime/data/file_properties.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/declaration_stream.h"
#include "runtime/data/isam/isam_table.h"
#include "runtime/data/isam/record_kinds.h"
#include "runtime/data/isam/transaction.h"
#include "runtime/data/send_options.h"

namespace cinevo::isam {
namespace {

constexpr int kUpdateWaitMs = 30000;

// The operation codes declared by the driver, in its order.
constexpr uint8_t kOps[] = {1,  4,  2,  5,  3,  6,  52, 14, 7,  8,  9,  10, 11, 12, 57, 13, 29, 15,
                            16, 17, 72, 86, 18, 19, 20, 21, 22, 23, 24, 65, 25, 26, 27, 28, 61, 62,
                            31, 30, 54, 32, 33, 66, 67, 36, 37, 38, 63, 64, 40, 60, 41, 42, 43, 44,
                            47, 45, 46, 71, 85, 48, 49, 56, 50, 58, 34, 75, 76, 77, 78, 79};
constexpr uint8_t kTypes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 18, 19, 20, 21, 27, 22, 24};
static_assert(sizeof(kOps) == 70 && sizeof(kTypes) == 17);

PageStoreOptions& StoreDefaults() {
  static PageStoreOptions options;
  return options;
}

std::unique_ptr<DriverWorkingState> CreateState(FileControlBlock& fcb) { return std::make_unique<IsamTable>(fcb); }

int Entry(DriverOp op, FileControlBlock& fcb, DriverArgs& args) {
  IsamTable* t = fcb.WorkAs<IsamTable>();
  if (t == nullptr) return kErrInsufficientMemory;  // no working state could be made
  if (!t->trace().on) return t->Run(op, args);
  const int64_t start = TraceClock();
  const int e = t->Run(op, args);
  TraceFileOperation(t->trace(), op, fcb, args, e, start);  // the dispatch frees t only after this
  return e;
}

uint32_t ClockSlot() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count() / 10);
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t j = 0;
    while (j < word.size() && std::toupper(static_cast<unsigned char>(text[i + j])) == word[j]) ++j;
    if (j == word.size()) return true;
  }
  return false;
}

// Whether another open (of any program) holds the file: a file in use is neither removed nor
// renamed, as a file open elsewhere could not be.
bool InUseElsewhere(const std::string& path) {
  int err = 0;
  auto locks = TableLocks::Open(path, err);
  return locks && locks->TakeExclusive(0) != 0;
}

}  // namespace

const DriverRegistration& IsamRegistration() {
  static const DriverRegistration reg{kOps, kTypes, kDriverName, "V4TVX.DLL", "Tarvex (TVX) Driver 1.00", &Entry,
                                      &CreateState};
  return reg;
}

FileDeclaration ToFileDeclaration(const TableDeclaration& stored, const std::string& name) {
  FileDeclaration d;
  d.label = "FILE";
  d.name = name;
  d.driver = std::string(kDriverName);
  for (const StreamField& sf : stored.fields) {
    FieldDeclaration f;
    f.label = sf.name.value_or("");
    f.type = static_cast<TypeCode>(sf.type);
    f.offset = sf.offset;
    f.size = sf.length;
    f.digits = sf.digits;
    f.places = sf.places;
    f.length = sf.declared_length;
    f.picture = sf.picture.value_or("");
    if (sf.elements > 1) f.dimensions = {sf.elements};
    d.fields.push_back(std::move(f));
  }
  for (const StreamMemo& sm : stored.memos) {
    d.memos.push_back(MemoDeclaration{sm.name.value_or(""), sm.external.value_or(""), static_cast<uint8_t>(sm.flags),
                                      sm.max_size});
  }
  for (const StreamKey& sk : stored.keys) {
    KeyDeclaration k;
    k.label = sk.name.value_or("");
    k.name = sk.external.value_or("");
    k.flags = sk.flags;
    for (const StreamKeyComponent& c : sk.components) {
      k.components.push_back(c.descending ? -static_cast<int32_t>(c.field + 1) : static_cast<int32_t>(c.field + 1));
    }
    d.keys.push_back(std::move(k));
  }
  return d;
}

void RegisterIsamDriver() { RegisterDriver(IsamRegistration()); }

void SetIsamStoreDefaults(const PageStoreOptions& options) { StoreDefaults() = options; }
const PageStoreOptions& IsamStoreDefaults() { return StoreDefaults(); }

IsamTable::~IsamTable() {
  if (table_.file) ProgramTransaction().Forget(table_.file->store());
  if (table_.file && streaming_ && keys_.StoreCounters().ok()) {
    // A STREAM left open ends here. Nobody is left to hear of a failure, and a commit that
    // failed has already put the file back as it was.
    static_cast<void>(table_.file->store().Commit());
  }
}

std::string IsamTable::DeclaredName() const { return std::string(fcb_.declaration->ExternalName()); }

int IsamTable::Fail(const Status& st) {
  if (st.code == kErrFileSystem) fcb_.os_error = st.file_error;
  return st.code;
}

int IsamTable::Begin() {
  if (!table_.file) return kErrFileNotOpen;
  if (locked_ || !locks_ || locks_->updating()) {
    if (locks_ && locks_->updating()) locks_->TakeUpdate(0);  // nested: counted, never waits
    return 0;
  }
  int e = locks_->TakeUpdate(kUpdateWaitMs);
  if (e != 0) {
    fcb_.os_error = e;
    return kErrFileSystem;
  }
  ForgetCopies();  // another user may have changed them since
  Status st = RefreshIfChanged();
  if (!st.ok()) {
    locks_->GiveUpdate();
    return Fail(st);
  }
  return 0;
}

Status IsamTable::HeaderAsSeen(bool& same) {
  PageStore& store = table_.file->store();
  std::string& raw = header_raw_;
  size_t got = 0;
  same = false;
  ISAM_RETURN_IF_ERROR(store.ReadFileStart(64, raw, got));
  if (got == 64 && raw.size() >= 0x20) {
    const FileHeader& h = store.header();
    const uint8_t* p = Bytes(raw);
    same = GetLe32(p + 0x06) == h.committed_length && GetLe32(p + 0x0A) == h.written_length &&
           GetLe32(p + 0x18) == h.change_counter && GetLe32(p + 0x1C) == h.root &&
           GetBe32(p + 0x14) == h.number_counter && h.committed_length == h.written_length && h.change_counter != 0;
  }
  return Status::Ok();
}

bool IsamTable::UnchangedSinceLastLook() {
  if (!table_.file || !locks_) return false;
  // Nobody else can change the file: it is held exclusively, or this open holds the update lock
  // (taken by an operation around this one, a stream or a transaction, each of which looked at
  // the header when it took it).
  if (locked_ || locks_->updating()) return true;
  if (!locks_->reads_coherent()) return false;  // only the lock brings such a file's reads up to date
  PageStore& store = table_.file->store();
  if (Journal* journal = store.journal(); journal && journal->hot()) return false;
  bool same = false;
  return HeaderAsSeen(same).ok() && same;
}

Status IsamTable::RefreshIfChanged() {
  // Every commit moves the change counter, so a header whose first bytes are as this open last
  // saw them means an unchanged file and the cached pages stay good.
  PageStore& store = table_.file->store();
  // A commit that failed and could not be undone left its journal hot: Refresh undoes it first.
  if (Journal* journal = store.journal(); journal && journal->hot() && !journal->held()) return store.Refresh();
  bool same = false;
  ISAM_RETURN_IF_ERROR(HeaderAsSeen(same));
  if (same) return Status::Ok();
  return store.Refresh();
}

int IsamTable::End(int result, bool changed) {
  PageStore& store = table_.file->store();
  if (changed && !streaming_ && ProgramTransaction().Listed(store)) {
    // Inside LOGOUT the changes wait in the cache for COMMIT, and the counters wait here: the
    // update lock is held until then, so the copies stay good, and COMMIT has them stored
    // first (LogoutTable). A refused update changed nothing; one that failed half way spoils
    // the whole transaction.
    if (result == kErrFileSystem) ProgramTransaction().MarkFailed();
    if (locks_) locks_->GiveUpdate();
    return result;
  }
  if (changed && !streaming_) {
    if (result == 0) {
      Status st = keys_.StoreCounters();
      if (st.ok()) st = store.Commit();
      if (!st.ok()) {
        store.Abort();
        ForgetCopies();
        result = Fail(st);
      }
    } else {
      store.Abort();
      ForgetCopies();
    }
  } else if (changed && result == kErrFileSystem) {
    store.Abort();
    ForgetCopies();
  }
  if (locks_) locks_->GiveUpdate();
  return result;
}

int IsamTable::OpenTable(DriverArgs& args) {
  const FileDeclaration& fd = *fcb_.declaration;
  std::string name = DeclaredName();
  FileName fn = SplitFileName(name);
  std::string path = ResolvePhysicalPath(fn.physical);
  int err = 0;
  locks_ = TableLocks::Open(path, err);
  if (!locks_) {
    if (err == ENOENT) return kErrFileNotFound;
    if (err == EACCES) return kErrAccessDenied;
    fcb_.os_error = err;
    return kErrFileSystem;
  }
  bool deny_all = (args.mode & 0xF0) == 0x10;
  int e = deny_all ? locks_->TakeExclusive(0) : locks_->TakeReaderSlot(ClockSlot());
  if (e != 0) {
    locks_.reset();
    return e == EAGAIN ? kErrAccessDenied : kErrFileSystem;
  }
  locked_ = deny_all;
  if (!locked_) locks_->TakeUpdate(kUpdateWaitMs);
  const bool oem = fd.driver_string && ContainsNoCase(*fd.driver_string, "OEM");
  PageStoreOptions options = StoreDefaults();
  options.read_only = (args.mode & 0x0F) == 0;
  if (fd.owner) options.owner = *fd.owner;
  TableDeclaration program;
  bool has_program = fd.FieldCount() > 0;
  if (has_program) program = FromFileDeclaration(fd);
  Status st = isam::OpenTable(name, has_program ? &program : nullptr, options, table_);
  if (locks_->updating()) locks_->GiveUpdate();
  if (!st.ok()) {
    locks_.reset();
    table_ = OpenedTable{};
    return Fail(st);
  }
  std::vector<KeyDesc> keys = DescribeKeys(table_.declaration);
  for (size_t k = 0; has_program && k < keys.size() && k < fd.keys.size(); ++k) keys[k].on_demand = fd.keys[k].IsIndex();
  keys_.Reset(std::move(keys), oem);
  memos_.Reset(table_.number, table_.declaration.memos, oem);
  if (fcb_.record.size() < table_.declaration.record_length) fcb_.record.resize(table_.declaration.record_length, 0);
  seq_.Reset(table_.number);
  return 0;
}

int IsamTable::CloseTable() {
  int result = 0;
  if (streaming_) result = FlushStream();
  ReleaseHold();
  if (table_.file) ProgramTransaction().Forget(table_.file->store());  // the file goes now
  table_ = OpenedTable{};
  locks_.reset();
  locked_ = false;
  ForgetCopies();
  return result;
}

int IsamTable::CreateFile() {
  const FileDeclaration& fd = *fcb_.declaration;
  if (ValidateDeclaration(fd) != 0 || fd.FieldCount() == 0) return kErrInvalidRecordDeclaration;
  PageStoreOptions options = StoreDefaults();
  if (fd.owner) options.owner = *fd.owner;
  OpenedTable created;
  Status st = CreateTable(DeclaredName(), FromFileDeclaration(fd), options, created);
  return st.ok() ? 0 : Fail(st);
}

int IsamTable::RemoveFile() {
  FileName fn = SplitFileName(DeclaredName());
  std::string path = ResolvePhysicalPath(fn.physical);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return kErrFileNotFound;
  std::unique_ptr<IsamFile> file;
  PageStoreOptions options = StoreDefaults();
  Status st = IsamFile::Open(path, options, file);
  std::vector<TableInfo> tables;
  if (st.ok()) st = file->ListTables(tables);
  if (!st.ok()) return Fail(st);
  bool other = false;
  for (const TableInfo& t : tables) other |= t.name != fn.table;
  if (other) {
    uint32_t number = 0;
    bool found = false;
    st = file->FindTable(fn.table, number, found);
    if (!st.ok()) return Fail(st);
    if (!found) return kErrFileNotFound;
    st = file->RemoveTable(fn.table, number);
    return st.ok() ? 0 : Fail(st);
  }
  file.reset();
  if (InUseElsewhere(path)) return kErrAccessDenied;
  if (!std::filesystem::remove(path, ec)) return ec ? kErrAccessDenied : kErrFileNotFound;
  return 0;
}

int IsamTable::RenameOrCopy(DriverArgs& args, bool copy) {
  FileName fn = SplitFileName(DeclaredName());
  std::string from = ResolvePhysicalPath(fn.physical);
  std::string target(args.text);
  while (!target.empty() && target.back() == ' ') target.pop_back();
  if (target.empty()) return kErrInvalidFilename;
  std::filesystem::path to{SplitFileName(target).physical};
  if (!to.has_extension()) to += std::string(kDefaultExtension);
  std::error_code ec;
  if (!std::filesystem::exists(from, ec)) return kErrFileNotFound;
  if (std::filesystem::equivalent(from, to, ec)) return kErrAccessDenied;
  if (!copy && InUseElsewhere(from)) return kErrAccessDenied;
  // Journals go with the names: none stays behind under the old name, and none left under the
  // new one is ever played back over the file that takes it.
  if (Status st = SettleJournalsForMove(from, to.string()); !st.ok()) return Fail(st);
  if (copy) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
  } else {
    std::filesystem::rename(from, to, ec);
  }
  if (ec) {
    fcb_.os_error = ec.value();
    return ec.value() == ENOENT ? kErrPathNotFound : kErrAccessDenied;
  }
  return 0;
}

int IsamTable::LogoutTable(DriverArgs& args) {
  if (!table_.file) return kErrFileNotOpen;
  // Each open keeps its own cache of the file; a second open of it in the same transaction
  // would wait for the first one's lock and then write over its changes.
  if (ProgramTransaction().ListsOtherOpenOf(table_.file->store())) return kErrUnableToLog;
  if (locks_ && !locked_ && !transaction_lock_) {
    int e = locks_->TakeUpdate(args.seconds > 0 ? args.seconds * 1000 : kUpdateWaitMs);
    if (e != 0) {
      fcb_.os_error = e;
      return e == EAGAIN ? kErrFileLocked : kErrFileSystem;
    }
    transaction_lock_ = true;
    // The transaction starts from the file as it is now.
    ForgetCopies();
    Status st = RefreshIfChanged();
    if (!st.ok()) {
      EndTransaction();
      return Fail(st);
    }
  }
  ProgramTransaction().Logout(table_.file->store(), [this] { return keys_.StoreCounters(); });
  return 0;
}

void IsamTable::EndTransaction() {
  if (transaction_lock_ && locks_) locks_->GiveUpdate();
  transaction_lock_ = false;
  ForgetCopies();
}

int IsamTable::Send(DriverArgs& args) {
  if (auto o = MatchSendOption(args.text, "TCF"); o && o->has_value) {
    tcf_ = o->value;
    SetControlFileName(tcf_);  // for the whole program
    args.text_result = tcf_;
    return 0;
  }
  if (auto o = MatchSendOption(args.text, "FULLBUILD")) {
    if (o->has_value) full_build_ = SendValueIsOn(o->value);
    args.text_result = std::string(SendOnOff(full_build_));
    return 0;
  }
  if (auto o = MatchSendOption(args.text, "FLAGS")) {
    if (o->has_value) {
      auto n = ParseSendNumber(o->value);
      if (!n) return kErrUnsupported;
      flags_ = *n;
    }
    args.text_result = std::to_string(flags_);
    return 0;
  }
  args.text_result.clear();
  return 0;
}

int IsamTable::GetProperty(DriverArgs& args) {
  if (args.property == kPropChangeStamp) {
    if (!table_.file) return kErrFileNotOpen;
    // The store's version moves with every change to its pages and whenever the pages it had
    // cached were dropped (another user's commit seen at the start of an operation, a rollback).
    args.text_result = std::to_string(table_.file->store().version());
    return 0;
  }
  if (args.property == kPropMemoValue && args.index < 0) {
    const std::string* contents = memos_.Contents(static_cast<size_t>(-static_cast<int64_t>(args.index)));
    if (contents == nullptr) return kErrUnsupported;
    args.text_result = *contents;
    return 0;
  }
  return kErrUnsupported;  // the generic answers from the declaration and the state word
}

int IsamTable::SetProperty(DriverArgs& args) {
  // The file may take part in transactions: LOGOUT, COMMIT and ROLLBACK are supported.
  if (args.property == kPropTransaction) return 0;
  if (args.property == kPropMemoValue && args.index < 0) {
    size_t n = static_cast<size_t>(-static_cast<int64_t>(args.index));
    return memos_.SetContents(n, std::string(args.text)) ? 0 : kErrUnsupported;
  }
  return kErrUnsupported;
}

int IsamTable::LockFile(DriverArgs& args) {
  if (!locks_) return kErrFileNotOpen;
  if (locked_) return 0;
  int wait = args.seconds > 0 ? args.seconds * 1000 : (args.seconds == 0 ? -1 : 0);
  int e = locks_->TakeExclusive(wait);
  if (e != 0) return e == EAGAIN ? kErrFileLocked : kErrFileSystem;
  locked_ = true;
  // From now on nobody else changes the file: read its state once more, then trust the cache.
  ForgetCopies();
  if (!streaming_) {
    Status st = table_.file->store().Refresh();
    if (!st.ok()) return Fail(st);
  }
  return 0;
}

int IsamTable::UnlockFile() {
  if (!locks_ || fcb_.opened_exclusive) return 0;
  locks_->DropExclusive();
  locked_ = false;
  return 0;
}

int IsamTable::StartStream() {
  int e = Begin();
  if (e != 0) return e;
  streaming_ = true;  // keeps the update lock until FLUSH
  return 0;
}

int IsamTable::FlushStream() {
  if (!streaming_) return 0;
  streaming_ = false;
  Status st = keys_.StoreCounters();
  if (st.ok()) st = table_.file->store().Commit();
  int result = 0;
  if (!st.ok()) {
    table_.file->store().Abort();
    ForgetCopies();
    result = Fail(st);
  }
  if (locks_) locks_->GiveUpdate();
  return result;
}

int IsamTable::HoldRequested(DriverArgs& args) {
  hold_wait_ms_ = args.seconds > 0 ? args.seconds * 1000 : 0;
  return 0;
}

int IsamTable::ReleaseHold() {
  if (held_ != 0 && locks_) locks_->GiveRecord(held_);
  held_ = 0;
  fcb_.state &= ~static_cast<uint32_t>(kStateRecordHeld);
  return 0;
}

int IsamTable::Run(DriverOp op, DriverArgs& args) {
  if (int routed = 0; RouteBuild(op, args, routed)) return routed;  // dynamic indexes
  switch (op) {
    case DriverOp::kOpen:
    case DriverOp::kShare:
      return OpenTable(args);
    case DriverOp::kClose:
      return CloseTable();
    case DriverOp::kCreate:
      return CreateFile();
    case DriverOp::kRemove:
      return RemoveFile();
    case DriverOp::kRename:
      return RenameOrCopy(args, false);
    case DriverOp::kCopy:
      return RenameOrCopy(args, true);
    case DriverOp::kName:
      args.text_result = DeclaredName();
      return 0;
    case DriverOp::kSend:
      return Send(args);
    case DriverOp::kGetProperty:
    case DriverOp::kGetPropertyKey:
      return op == DriverOp::kGetProperty ? GetProperty(args) : kErrUnsupported;
    case DriverOp::kSetProperty:
    case DriverOp::kSetPropertyKey:
      return op == DriverOp::kSetProperty ? SetProperty(args) : kErrUnsupported;
    case DriverOp::kQueryView:
      return 0;
    // A VIEW operation reads the file as one operation: the update lock is taken (and the
    // header checked for other programs' commits) once at its start and given back at its end;
    // the reads in between nest inside it.
    case DriverOp::kInView:
      return Begin();
    case DriverOp::kEndView:
      return table_.file ? End(0, false) : 0;
    case DriverOp::kAdd:
    case DriverOp::kAddFileLen:
      return AddRecord(false);
    case DriverOp::kAppend:
    case DriverOp::kAppendLen:
      return AddRecord(true);
    case DriverOp::kPut:
      return PutRecord(0);
    case DriverOp::kPutFilePtr:
    case DriverOp::kPutFilePtrLen:
      return PutRecord(args.pointer);
    case DriverOp::kDelete:
      return DeleteRecord();
    case DriverOp::kGetFileKey:
      return GetByKey(args.key);
    case DriverOp::kGetFilePtr:
    case DriverOp::kGetFilePtrLen:
    case DriverOp::kGetKeyPtr:
      return GetByPointer(args.pointer);
    case DriverOp::kDuplicate:
      return Duplicate(-1, args);
    case DriverOp::kDuplicateKey:
      return Duplicate(args.key, args);
    case DriverOp::kSetFile:
    case DriverOp::kSetFileKey:
    case DriverOp::kSetFilePtr:
    case DriverOp::kSetKey:
    case DriverOp::kSetKeyKey:
    case DriverOp::kSetKeyPtr:
    case DriverOp::kSetKeyKeyPtr:
      return SetOrder(op, args);
    case DriverOp::kNext:
      return Step(true, true, 1, args.screen);
    case DriverOp::kPrevious:
      return Step(false, true);
    case DriverOp::kSkip:
      return args.count >= 0 ? Step(true, false, args.count) : Step(false, false, -args.count);
    case DriverOp::kBof:
      return TestEnd(false, args);
    case DriverOp::kEof:
      return TestEnd(true, args);
    case DriverOp::kPositionFile:
      return Position(-1, args);
    case DriverOp::kPositionKey:
      return Position(args.key, args);
    case DriverOp::kResetFile:
      return Reset(-1, args.text);
    case DriverOp::kResetKey:
      return Reset(args.key, args.text);
    case DriverOp::kRegetFile:
    case DriverOp::kRegetKey:
      return Reget(args);
    case DriverOp::kPointerFile:
    case DriverOp::kPointerKey:
      args.number_result = seq_.current();
      return 0;
    case DriverOp::kRecordsFile:
    case DriverOp::kRecordsKey: {
      int e = Begin();
      if (e != 0) return e;
      TableCounters c;
      uint8_t which = op == DriverOp::kRecordsFile ? kTagData : static_cast<uint8_t>(args.key);
      if (op == DriverOp::kRecordsKey && (args.key < 0 || static_cast<size_t>(args.key) >= keys_.size())) {
        return End(kErrUnsupported, false);
      }
      Status st = keys_.ReadCounters(which, c);
      args.number_result = c.entries;
      return End(st.ok() ? 0 : Fail(st), false);
    }
    case DriverOp::kBytes:
      args.number_result = table_.file ? static_cast<int64_t>(table_.file->store().file_size()) : 0;
      return 0;
    case DriverOp::kHoldFile:
    case DriverOp::kHoldFileSec:
      return HoldRequested(args);
    case DriverOp::kRelease:
      return ReleaseHold();
    case DriverOp::kWatch:
      return 0;
    case DriverOp::kLockFile:
    case DriverOp::kLockFileSec:
      return LockFile(args);
    case DriverOp::kUnlock:
      return UnlockFile();
    case DriverOp::kStream:
      return StartStream();
    case DriverOp::kFlush:
      return FlushStream();
    case DriverOp::kNoMemo:
      memos_.SkipNextLoad();
      return 0;
    case DriverOp::kBuildFile:
    case DriverOp::kPack:
      return Build(-1);
    case DriverOp::kBuildKey:
      return Build(args.key);
    case DriverOp::kBuildEvent: {  // the dispatch runs stored builds itself; this serves direct calls
      DeferredBuild stored = std::move(deferred);
      deferred = DeferredBuild{};
      if (stored.op == DriverOp::kNone || stored.op == DriverOp::kBuildEvent) return 0;
      DriverArgs build;
      build.key = stored.key;
      build.text = stored.components;
      build.text2 = stored.filter;
      return Run(stored.op, build);
    }
    case DriverOp::kEmpty:
      return EmptyTable();
    case DriverOp::kLogout:
      return LogoutTable(args);
    case DriverOp::kCommit: {
      Status st = ProgramTransaction().Commit();
      EndTransaction();
      return st.ok() ? 0 : Fail(st);
    }
    case DriverOp::kRollback:
      ProgramTransaction().Rollback();
      EndTransaction();
      return 0;
    case DriverOp::kBlobYield:
    case DriverOp::kBlobTake:
    case DriverOp::kBlobSize:
    case DriverOp::kBlobGetProp:
    case DriverOp::kBlobSetProp:
      return memos_.Run(op, args);
    default:
      return kErrUnsupported;
  }
}

}  // namespace cinevo::isam
