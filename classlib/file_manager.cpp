#include "classlib/file_manager.h"

#include <algorithm>
#include <utility>

#include "classlib/field_values.h"
#include "classlib/relation_manager.h"
#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/eval_symbols.h"
#include "runtime/data/file_errors.h"
#include "runtime/data/file_properties.h"
#include "runtime/data/file_statements.h"
#include "runtime/ui/runtime_thread.h"

namespace cinevo::classlib {
namespace {

constexpr size_t kMaxDescription = 80;
constexpr size_t kMaxFieldName = 999;
constexpr size_t kMaxKeyOrder = 511;
constexpr size_t kMaxPrefix = 1999;

struct RegistryEntry {
  const FileControlBlock* file;
  FileManager* manager;
};

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::vector<RegistryEntry>& Registry() {
  static std::vector<RegistryEntry> registry;
  return registry;
}

auto RegistryFind(std::vector<RegistryEntry>& r, const FileControlBlock* file) {
  return std::lower_bound(r.begin(), r.end(), file,
                          [](const RegistryEntry& e, const FileControlBlock* f) { return std::less<>()(e.file, f); });
}

}  // namespace

void RegisterFileManager(FileManager& manager) {
  std::lock_guard<std::mutex> hold(RegistryLock());
  auto& r = Registry();
  auto it = RegistryFind(r, &manager.File());
  if (it != r.end() && it->file == &manager.File()) {
    it->manager = &manager;
    return;
  }
  r.insert(it, RegistryEntry{&manager.File(), &manager});
}

FileManager* FindFileManager(const FileControlBlock& file) {
  std::lock_guard<std::mutex> hold(RegistryLock());
  auto& r = Registry();
  auto it = RegistryFind(r, &file);
  return it != r.end() && it->file == &file ? it->manager : nullptr;
}

void UnregisterFileManager(const FileManager& manager) {
  std::lock_guard<std::mutex> hold(RegistryLock());
  auto& r = Registry();
  auto it = RegistryFind(r, &manager.File());
  if (it != r.end() && it->file == &manager.File() && it->manager == &manager) r.erase(it);
}

FileManager::FileManager() = default;

FileManager::~FileManager() {
  if (registered_) UnregisterFileManager(*this);
}

void FileManager::Init(FileControlBlock& file, ErrorClass& errors) {
  file_ = &file;
  errors_ = &errors;
  keys_.clear();
  info_.clear();
  buffers_.clear();
  saved_.clear();
  primaryKey_ = -1;
  hasAutoInc_ = false;
  create = true;
  lockRecover = 10;
  lazyOpen = true;
  openMode = 0x42;
  skipHeldRecords = false;
  fileName = nullptr;
  aliasedFile = nullptr;
  fileNameValue = std::string(file.declaration->ExternalName());
  RegisterFileManager(*this);
  registered_ = true;
}

void FileManager::Kill() {
  if (file_ == nullptr) return;
  UnregisterFileManager(*this);
  registered_ = false;
  info_.clear();
  keys_.clear();
  buffers_.clear();
  saved_.clear();
}

void FileManager::AddKey(int key, std::string_view description, int autoInc) {
  const auto& keys = file_->declaration->keys;
  if (key < 0 || key >= static_cast<int>(keys.size())) return;
  const KeyDeclaration& decl = keys[static_cast<size_t>(key)];
  KeyInfo k;
  k.key = key;
  k.description = std::string(description.substr(0, kMaxDescription));
  k.autoInc = autoInc;
  if (autoInc != 0) hasAutoInc_ = true;
  k.dups = (decl.flags & kKeyDup) != 0;
  k.noCase = (decl.flags & kKeyNoCase) != 0;
  const auto& fields = file_->declaration->fields;
  for (int32_t c : decl.components) {
    KeyComponent comp;
    comp.ascend = c > 0;
    comp.field = (c > 0 ? c : -c) - 1;
    if (comp.field < 0 || comp.field >= static_cast<int>(fields.size())) continue;
    const FieldDeclaration& f = fields[static_cast<size_t>(comp.field)];
    std::string name = f.label;
    if (k.noCase && IsStringField(f)) name = "UPPER(" + name + ")";
    comp.fieldName = name.substr(0, kMaxFieldName);
    k.fields.push_back(std::move(comp));
  }
  keys_.push_back(std::move(k));
  if (decl.flags & kKeyPrimary) primaryKey_ = key;
}

const KeyInfo* FileManager::FindKey(int key) const {
  for (const KeyInfo& k : keys_) {
    if (k.key == key) return &k;
  }
  return nullptr;
}

std::string FileManager::GetName() const { return fileName != nullptr ? *fileName : fileNameValue; }

ThreadInfo& FileManager::SelectThreadInfo() {
  uint32_t id = CurrentThreadNumber();
  ThreadInfo* found = nullptr;
  {
    std::lock_guard<std::mutex> hold(infoLock_);
    for (ThreadInfo& t : info_) {
      if (t.id == id) {
        found = &t;
        break;
      }
    }
    if (found == nullptr) {
      info_.push_back(ThreadInfo{});
      found = &info_.back();
      found->id = id;
    }
  }
  errors_->SetFile(GetName());
  return *found;
}

void FileManager::BindFields() {
  const auto& fields = file_->declaration->fields;
  for (const FieldDeclaration& f : fields) {
    if (f.type == TypeCode::kEnd) break;
    ValueRef ref = FieldRef(f, file_->record);
    if (!ref.Valid()) continue;
    Bind(f.label, ref);
    size_t colon = f.label.find(':');
    if (colon != std::string::npos && colon + 1 < f.label.size()) Bind(f.label.substr(colon + 1), ref);
  }
}

int FileManager::OpenFile(bool report, bool count, bool forced) {
  ThreadInfo& t = SelectThreadInfo();
  if ((!forced && lazyOpen) || (!forced && t.opened != 0)) {
    if (count) ++t.opened;
    BindFields();
    return kLevelBenign;
  }
  for (int pass = 0; pass < 2; ++pass) {
    int e = cinevo::Open(*file_, openMode);
    if (e == kErrAccessDenied) {
      Send(*file_, "Recover=" + std::to_string(lockRecover));
      e = cinevo::Open(*file_, openMode);
    }
    if (e == 0 || e == kErrFileAlreadyOpen) {
      t.used = true;
      t.atEOF = false;
      t.autoIncDone = false;
      if (count) ++t.opened;
      BindFields();
      return kLevelBenign;
    }
    if (e == kErrFileNotFound) {
      if (create && Create(*file_) == 0) continue;
      SetError(msg::kCreateError);
      return report ? TakeError() : kLevelNotify;
    }
    if (e == kErrKeyFileMustBeRebuilt) {
      SetError(msg::kInvalidKey);
      if (!report) return kLevelNotify;
      TakeError();
      int b = cinevo::Open(*file_, 0x12);  // a BUILD needs the file to itself
      if (b == 0) {
        b = Build(*file_);
        cinevo::Close(*file_);
      }
      if (b == 0) continue;
      return Throw(msg::kKeyNotBuilt);
    }
    SetError(msg::kAccessError);
    return report ? TakeError() : kLevelNotify;
  }
  SetError(msg::kAccessError);
  return report ? TakeError() : kLevelNotify;
}

int FileManager::Open() { return OpenFile(true, true, false); }

int FileManager::EnsureOpen() {
  ThreadInfo& t = SelectThreadInfo();
  if (!lazyOpen || t.used) return kLevelBenign;
  if (t.opened == 0) {
    // Used without Open: say why in the message rather than show whatever error came last.
    PostFileError(kErrFileNotOpen, *file_);
    SetError(msg::kAccessError);
    return TakeError();
  }
  long id = SaveBuffer();
  int r = OpenFile(true, false, true);
  RestoreBuffer(id, true);
  return r;
}

int FileManager::Close() {
  ThreadInfo& t = SelectThreadInfo();
  if (t.opened == 0) return kLevelBenign;
  if (--t.opened == 0 && t.used) {
    cinevo::Close(*file_);
    t.used = false;
  }
  return kLevelBenign;
}

int FileManager::Next(bool report) {
  if (EnsureOpen() != 0) return kLevelFatal;
  ThreadInfo& t = SelectThreadInfo();
  for (;;) {
    t.atEOF = false;
    int e = cinevo::Next(*file_);
    if (e == 0) return kLevelBenign;
    if (e == kErrRecordNotAvailable) {
      t.atEOF = true;
      return kLevelNotify;
    }
    if (e == kErrRecordHeld) {
      if (skipHeldRecords) {
        // The refused read ended the sequence in the state word, but the driver's point has
        // already passed the held record: carry on from there.
        file_->state |= kStateSequenceSet;
        continue;
      }
      SetError(msg::kHeldRecord);
      return report ? TakeError() : kLevelNotify;
    }
    SetError(msg::kRetrievalError);
    return report ? TakeError() : kLevelFatal;
  }
}

bool FileManager::AtEOF() { return SelectThreadInfo().atEOF; }

int FileManager::Insert(bool report) {
  if (EnsureOpen() != 0) return kLevelFatal;
  int failed = 0;
  if (ValidateRecord(failed) != 0) return kLevelNotify;
  ThreadInfo& t = SelectThreadInfo();
  int e = 0;
  if (hasAutoInc_) {
    if (t.autoIncDone) {
      e = Put(*file_);
    } else if ((report ? PrimeAutoInc() : TryPrimeAutoInc()) != 0) {
      return kLevelNotify;
    }
  } else {
    e = Add(*file_);
  }
  if (e == 0) {
    t.autoIncDone = false;
    return kLevelBenign;
  }
  if (e == kErrCreatesDuplicateKey) {
    SetError(msg::kDuplicateKey);  // the codes of the failed ADD
    if (!report) return kLevelNotify;
    if (!hasAutoInc_) GetByPointer(*file_, 0);  // no current record: every entry counts
    for (const KeyInfo& k : keys_) {
      if (DuplicateKey(*file_, k.key)) {
        errors_->SetMessageText(k.description);
        TakeError();
        return kLevelNotify;
      }
    }
    // The duplicate went away meanwhile: report the failed insert as such.
    SetError(msg::kInsertError);
    errors_->SetSavedErrors(kErrCreatesDuplicateKey, ErrorText(kErrCreatesDuplicateKey), "", "");
    TakeError();
    return kLevelNotify;
  }
  SetError(msg::kInsertError);
  return report ? TakeError() : kLevelNotify;
}

int FileManager::Update(int mode) {
  if (EnsureOpen() != 0) return kLevelFatal;
  int failed = 0;
  if (ValidateRecord(failed) != 0) return kLevelNotify;
  std::string position = GetPosition();
  int e = Put(*file_);
  if (e == 0) return kLevelBenign;
  if (e == kErrChangedElsewhere) {
    SetError(mode == kUpdateDitto ? msg::kChangedDitto : msg::kChanged);
    if (mode != kUpdateQuiet) TakeError();
    Watch(*file_);
    Fetch(position);  // the other station's version is now in the buffer, watched
    return kLevelNotify;
  }
  SetError(msg::kNotUpdated);
  return mode != kUpdateQuiet ? TakeError() : kLevelNotify;
}

int FileManager::Fetch(std::string_view position) {
  if (EnsureOpen() != 0) return kLevelFatal;
  int e = primaryKey_ >= 0 ? RegetKey(*file_, primaryKey_, position) : Reget(*file_, position);
  return e == 0 ? kLevelBenign : kLevelNotify;
}

std::string FileManager::GetPosition() {
  if (EnsureOpen() != 0) return {};
  return primaryKey_ >= 0 ? PositionKey(*file_, primaryKey_) : Position(*file_);
}

int FileManager::PrimeRecord(bool keepBuffer) {
  if (aliasedFile != nullptr) {
    long id = aliasedFile->SaveBuffer();
    int r = aliasedFile->PrimeRecord(keepBuffer);
    if (r == 0) {
      std::span<uint8_t> mine = Buffer();
      std::span<uint8_t> theirs = aliasedFile->Buffer();
      size_t n = std::min(mine.size(), theirs.size());
      std::copy_n(theirs.begin(), n, mine.begin());
      std::fill(mine.begin() + static_cast<long>(n), mine.end(), ' ');
    }
    aliasedFile->RestoreBuffer(id, true);
    return r;
  }
  if (!keepBuffer) {
    for (const FieldDeclaration& f : file_->declaration->fields) {
      if (f.type == TypeCode::kEnd) break;
      ClearField(f, file_->record, 0);
    }
  }
  return hasAutoInc_ ? PrimeAutoInc() : kLevelBenign;
}

int FileManager::PrimeAutoInc() { return AutoNumber(true); }
int FileManager::TryPrimeAutoInc() { return AutoNumber(false); }

std::string FileManager::PrefixText(const KeyInfo& k) {
  std::string text;
  for (int c = 0; c + 1 < k.autoInc && c < static_cast<int>(k.fields.size()); ++c) {
    const FieldDeclaration& f = file_->declaration->fields[static_cast<size_t>(k.fields[static_cast<size_t>(c)].field)];
    text += FieldText(f, file_->record);
    text += '|';
    if (text.size() >= kMaxPrefix) return text.substr(0, kMaxPrefix);
  }
  return text;
}

// The number after the highest one of key `k` (within the entered record's prefix group when
// the key has several components). Returns a level; `next` is set on success.
int FileManager::NumberKey(const KeyInfo& k, bool report, double& next) {
  size_t numbered = static_cast<size_t>(k.autoInc - 1);
  if (numbered >= k.fields.size()) {
    next = 1;
    return kLevelBenign;
  }
  const KeyComponent& comp = k.fields[numbered];
  const FieldDeclaration& field = file_->declaration->fields[static_cast<size_t>(comp.field)];
  int e = 0;
  std::string prefix;
  if (k.fields.size() == 1) {
    e = SetKey(*file_, k.key);
    if (e == 0) e = comp.ascend ? Previous(*file_) : cinevo::Next(*file_);
  } else {
    prefix = PrefixText(k);
    // Past the highest number of the group in key order, then one step back towards it.
    ClearField(field, file_->record, 1);
    for (size_t c = numbered + 1; c < k.fields.size(); ++c) {
      const KeyComponent& later = k.fields[c];
      ClearField(file_->declaration->fields[static_cast<size_t>(later.field)], file_->record,
                 later.ascend ? 1 : -1);
    }
    e = SetKeyFromKey(*file_, k.key, k.key);
    if (e == 0) e = comp.ascend ? Previous(*file_) : cinevo::Next(*file_);
  }
  if (e == 0) {
    bool sameGroup = k.fields.size() == 1 || PrefixText(k) == prefix;
    next = sameGroup ? FieldRef(field, file_->record).ToReal() + 1 : 1;
    return kLevelBenign;
  }
  if (e == kErrRecordNotAvailable) {
    next = 1;
    return kLevelBenign;
  }
  SetError(msg::kRetrievalError);
  return report ? TakeError() : kLevelNotify;
}

int FileManager::AutoNumber(bool report) {
  if (EnsureOpen() != 0) return kLevelFatal;
  ThreadInfo& t = SelectThreadInfo();
  if (!hasAutoInc_ || t.autoIncDone) return kLevelBenign;
  int attempts = 0;
  for (;;) {
    for (const KeyInfo& k : keys_) {
      if (k.autoInc == 0) continue;
      long id = SaveBuffer();
      NoMemo(*file_);
      double next = 1;
      int r = NumberKey(k, report, next);
      RestoreBuffer(id, true);  // the record being entered is back
      if (r != 0) return r;
      const KeyComponent& comp = k.fields[static_cast<size_t>(k.autoInc - 1)];
      FieldRef(file_->declaration->fields[static_cast<size_t>(comp.field)], file_->record).SetReal(next);
    }
    int e = Add(*file_);
    if (e == 0) {
      t.autoIncDone = true;
      return kLevelBenign;
    }
    // Typically another station took the number: compute it afresh.
    if (++attempts < 3) continue;
    SetError(msg::kRetryAutoInc);
    if (!report) return kLevelNotify;
    if (TakeError() != kLevelBenign) return kLevelNotify;
    attempts = 0;
  }
}

int FileManager::CancelAutoInc(RelationManager* relations) {
  if (EnsureOpen() != 0) return kLevelBenign;
  ThreadInfo& t = SelectThreadInfo();
  if (!hasAutoInc_ || !t.autoIncDone) return kLevelBenign;
  int r = relations != nullptr ? relations->Delete(false)
                               : (cinevo::Delete(*file_) == 0 ? kLevelBenign : kLevelNotify);
  if (r == kLevelBenign) t.autoIncDone = false;
  return r;
}

void FileManager::CopyBufferTo(FileManager& other) const {
  std::span<uint8_t> theirs = other.Buffer();
  size_t n = std::min(theirs.size(), file_->record.size());
  std::copy_n(file_->record.begin(), n, theirs.begin());
  std::fill(theirs.begin() + static_cast<long>(n), theirs.end(), ' ');
}

int FileManager::ValidateField(int field) {
  if (aliasedFile == nullptr) return kLevelBenign;
  long id = aliasedFile->SaveBuffer();
  CopyBufferTo(*aliasedFile);
  int r = aliasedFile->ValidateField(field);
  aliasedFile->RestoreBuffer(id, true);
  return r;
}

int FileManager::ValidateFields(int first, int last, int& failed) {
  if (aliasedFile != nullptr) {
    long id = aliasedFile->SaveBuffer();
    CopyBufferTo(*aliasedFile);
    int r = aliasedFile->ValidateFields(first, last, failed);
    aliasedFile->RestoreBuffer(id, true);
    return r;
  }
  for (int i = first; i <= last; ++i) {
    int r = ValidateField(i);
    if (r != 0) {
      failed = i;
      return r;
    }
  }
  return kLevelBenign;
}

int FileManager::ValidateRecord(int& failed) {
  if (aliasedFile != nullptr) {
    long id = aliasedFile->SaveBuffer();
    CopyBufferTo(*aliasedFile);
    int r = aliasedFile->ValidateRecord(failed);
    aliasedFile->RestoreBuffer(id, true);
    return r;
  }
  return ValidateFields(1, static_cast<int>(file_->declaration->FieldCount()), failed);
}

int FileManager::MemoCount() const { return static_cast<int>(file_->declaration->memos.size()); }

long FileManager::SaveBuffer() {
  long id = buffers_.empty() ? 1 : buffers_.back().id + 1;
  buffers_.push_back(SavedBuffer{id, std::string(file_->record.begin(), file_->record.end())});
  for (int n = 1; n <= MemoCount(); ++n) {
    std::string memo = file_->IsOpen() ? GetProperty(*file_, kPropMemoValue, -n) : std::string();
    buffers_.push_back(SavedBuffer{id + n, std::move(memo)});
  }
  return id;
}

void FileManager::RestoreBuffer(long& id, bool restore) {
  if (id == 0) return;
  auto find = [this](long which) {
    return std::find_if(buffers_.begin(), buffers_.end(), [which](const SavedBuffer& b) { return b.id == which; });
  };
  auto it = find(id);
  if (it == buffers_.end()) return;
  if (restore) {
    std::span<uint8_t> buffer = Buffer();
    size_t n = std::min(buffer.size(), it->bytes.size());
    std::copy_n(it->bytes.begin(), n, buffer.begin());
    std::fill(buffer.begin() + static_cast<long>(n), buffer.end(), ' ');
  }
  buffers_.erase(it);
  for (int n = 1; n <= MemoCount(); ++n) {
    auto memo = find(id + n);
    if (memo == buffers_.end()) continue;
    if (restore && file_->IsOpen()) SetProperty(*file_, kPropMemoValue, memo->bytes, -n);
    buffers_.erase(memo);
  }
  id = 0;
}

bool FileManager::EqualBuffer(long id) {
  if (EnsureOpen() != 0) return false;
  auto it = std::find_if(buffers_.begin(), buffers_.end(), [id](const SavedBuffer& b) { return b.id == id; });
  if (it == buffers_.end()) return false;
  if (it->bytes.size() != file_->record.size() ||
      !std::equal(it->bytes.begin(), it->bytes.end(), file_->record.begin())) {
    return false;
  }
  for (int n = 1; n <= MemoCount(); ++n) {
    auto memo = std::find_if(buffers_.begin(), buffers_.end(), [&](const SavedBuffer& b) { return b.id == id + n; });
    if (memo == buffers_.end() || memo->bytes != GetProperty(*file_, kPropMemoValue, -n)) return false;
  }
  return true;
}

long FileManager::SaveFile() {
  SavedFileState s;
  s.id = saved_.empty() ? 1 : saved_.back().id + 1;
  s.buffer = SaveBuffer();
  s.key = -1;
  s.held = false;
  s.watched = false;
  if (file_->IsOpen()) {
    s.key = std::atoi(GetProperty(*file_, kPropCurrentKey).c_str()) - 1;
    s.held = GetProperty(*file_, kPropHeld) == "1";
    s.watched = GetProperty(*file_, kPropWatched) == "1";
    if (file_->state & kStateRecordCurrent) {
      s.pos = s.key >= 0 ? PositionKey(*file_, s.key) : Position(*file_);
    }
  }
  saved_.push_back(std::move(s));
  return saved_.back().id;
}

void FileManager::RestoreFile(long& id) {
  if (id == 0) return;
  auto it = std::find_if(saved_.begin(), saved_.end(), [id](const SavedFileState& s) { return s.id == id; });
  if (it == saved_.end()) return;
  SavedFileState s = std::move(*it);
  saved_.erase(it);
  if (file_->IsOpen() && !s.pos.empty()) {
    int e = s.key >= 0 ? ResetKey(*file_, s.key, s.pos) : Reset(*file_, s.pos);
    if (e == 0) {
      if (s.held) Hold(*file_);
      if (s.watched) Watch(*file_);
      cinevo::Next(*file_);
    }
  }
  RestoreBuffer(s.buffer, true);
  id = 0;
}

std::string FileManager::KeyOrderText(int key, int first) const {
  const KeyInfo* k = FindKey(key);
  if (k == nullptr) return {};
  std::string text;
  for (size_t c = static_cast<size_t>(first < 1 ? 1 : first) - 1; c < k->fields.size(); ++c) {
    if (!text.empty()) text += ',';
    if (!k->fields[c].ascend) text += '-';
    text += k->fields[c].fieldName;
  }
  return text.substr(0, kMaxKeyOrder);
}

int FileManager::GetComponents(int key) const {
  const KeyInfo* k = FindKey(key);
  return k == nullptr ? 0 : static_cast<int>(k->fields.size());
}

std::string FileManager::GetComponentName(int key, int n) const {
  const KeyInfo* k = FindKey(key);
  if (k == nullptr || n < 1 || n > static_cast<int>(k->fields.size())) return {};
  return k->fields[static_cast<size_t>(n - 1)].fieldName;
}

int FileManager::GetComponentField(int key, int n) const {
  const KeyInfo* k = FindKey(key);
  if (k == nullptr || n < 1 || n > static_cast<int>(k->fields.size())) return -1;
  return k->fields[static_cast<size_t>(n - 1)].field;
}

void FileManager::SetKeyLimits(int key, int first, int last, bool high) {
  const KeyInfo* k = FindKey(key);
  if (k == nullptr) return;
  for (int c = std::max(first, 1); c <= last && c <= static_cast<int>(k->fields.size()); ++c) {
    const KeyComponent& comp = k->fields[static_cast<size_t>(c - 1)];
    bool top = (high && comp.ascend) || (!high && !comp.ascend);
    ClearField(file_->declaration->fields[static_cast<size_t>(comp.field)], file_->record, top ? 1 : 0);
  }
}

void FileManager::SetError(uint16_t id) {
  errors_->SetErrors();
  SelectThreadInfo().lastError = id;
}

int FileManager::TakeError() { return errors_->TakeError(SelectThreadInfo().lastError); }

int FileManager::Throw(uint16_t id) {
  SetError(id);
  return TakeError();
}

int FileManager::ThrowMessage(uint16_t id, std::string_view text) {
  SelectThreadInfo().lastError = id;
  return errors_->ThrowMessage(id, text);
}

}  // namespace cinevo::classlib
