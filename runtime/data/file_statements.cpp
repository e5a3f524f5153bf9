#include "runtime/data/file_statements.h"

#include "runtime/data/dispatch.h"
#include "runtime/data/file_errors.h"

namespace cinevo {
namespace {

int Run(DriverOp op, FileControlBlock& f, DriverArgs& a) { return Dispatch(op, f, a); }

int Run(DriverOp op, FileControlBlock& f) {
  DriverArgs a;
  return Dispatch(op, f, a);
}

int RunKey(DriverOp op, FileControlBlock& f, int key) {
  DriverArgs a;
  a.key = key;
  return Dispatch(op, f, a);
}

int64_t Number(DriverOp op, FileControlBlock& f, DriverArgs& a) {
  return Dispatch(op, f, a) == 0 ? a.number_result : 0;
}

std::string Text(DriverOp op, FileControlBlock& f, DriverArgs& a) {
  Dispatch(op, f, a);
  return std::move(a.text_result);
}

}  // namespace

int Open(FileControlBlock& f, uint32_t mode) {
  DriverArgs a;
  a.mode = mode;
  return Run(DriverOp::kOpen, f, a);
}

int Share(FileControlBlock& f, uint32_t mode) {
  DriverArgs a;
  a.mode = mode;
  return Run(DriverOp::kShare, f, a);
}

int Close(FileControlBlock& f) { return Run(DriverOp::kClose, f); }
int Create(FileControlBlock& f) { return Run(DriverOp::kCreate, f); }

int Copy(FileControlBlock& f, std::string_view new_name) {
  DriverArgs a;
  a.text = new_name;
  return Run(DriverOp::kCopy, f, a);
}

int Rename(FileControlBlock& f, std::string_view new_name) {
  DriverArgs a;
  a.text = new_name;
  return Run(DriverOp::kRename, f, a);
}

int Remove(FileControlBlock& f) { return Run(DriverOp::kRemove, f); }

int Add(FileControlBlock& f) { return Run(DriverOp::kAdd, f); }

int Add(FileControlBlock& f, uint32_t length) {
  DriverArgs a;
  a.length = length;
  return Run(DriverOp::kAddFileLen, f, a);
}

int Append(FileControlBlock& f) { return Run(DriverOp::kAppend, f); }

int Append(FileControlBlock& f, uint32_t length) {
  DriverArgs a;
  a.length = length;
  return Run(DriverOp::kAppendLen, f, a);
}

int Put(FileControlBlock& f) { return Run(DriverOp::kPut, f); }

int Put(FileControlBlock& f, int64_t pointer) {
  DriverArgs a;
  a.pointer = pointer;
  return Run(DriverOp::kPutFilePtr, f, a);
}

int Put(FileControlBlock& f, int64_t pointer, uint32_t length) {
  DriverArgs a;
  a.pointer = pointer;
  a.length = length;
  return Run(DriverOp::kPutFilePtrLen, f, a);
}

int Delete(FileControlBlock& f) { return Run(DriverOp::kDelete, f); }

int Get(FileControlBlock& f, int key) { return RunKey(DriverOp::kGetFileKey, f, key); }

int GetByPointer(FileControlBlock& f, int64_t pointer) {
  DriverArgs a;
  a.pointer = pointer;
  return Run(DriverOp::kGetFilePtr, f, a);
}

int GetByPointer(FileControlBlock& f, int64_t pointer, uint32_t length) {
  DriverArgs a;
  a.pointer = pointer;
  a.length = length;
  return Run(DriverOp::kGetFilePtrLen, f, a);
}

int GetByKeyPointer(FileControlBlock& f, int key, int64_t pointer) {
  DriverArgs a;
  a.key = key;
  a.pointer = pointer;
  return Run(DriverOp::kGetKeyPtr, f, a);
}

int Reget(FileControlBlock& f, std::string_view position) {
  DriverArgs a;
  a.text = position;
  return Run(DriverOp::kRegetFile, f, a);
}

int RegetKey(FileControlBlock& f, int key, std::string_view position) {
  DriverArgs a;
  a.key = key;
  a.text = position;
  return Run(DriverOp::kRegetKey, f, a);
}

int Set(FileControlBlock& f) { return Run(DriverOp::kSetFile, f); }

int SetFromKey(FileControlBlock& f, int key) {
  DriverArgs a;
  a.key = key;
  a.key2 = key;
  return Run(DriverOp::kSetFileKey, f, a);
}

int SetFromPointer(FileControlBlock& f, int64_t pointer) {
  DriverArgs a;
  a.pointer = pointer;
  return Run(DriverOp::kSetFilePtr, f, a);
}

int SetKey(FileControlBlock& f, int key) { return RunKey(DriverOp::kSetKey, f, key); }

int SetKeyFromKey(FileControlBlock& f, int key, int start_key) {
  DriverArgs a;
  a.key = key;
  a.key2 = start_key;
  return Run(DriverOp::kSetKeyKey, f, a);
}

int SetKeyFromPointer(FileControlBlock& f, int key, int64_t pointer) {
  DriverArgs a;
  a.key = key;
  a.pointer = pointer;
  return Run(DriverOp::kSetKeyPtr, f, a);
}

int SetKeyFromKeyPointer(FileControlBlock& f, int key, int start_key, int64_t pointer) {
  DriverArgs a;
  a.key = key;
  a.key2 = start_key;
  a.pointer = pointer;
  return Run(DriverOp::kSetKeyKeyPtr, f, a);
}

int Reset(FileControlBlock& f, std::string_view position) {
  DriverArgs a;
  a.text = position;
  return Run(DriverOp::kResetFile, f, a);
}

int ResetKey(FileControlBlock& f, int key, std::string_view position) {
  DriverArgs a;
  a.key = key;
  a.text = position;
  return Run(DriverOp::kResetKey, f, a);
}

int Next(FileControlBlock& f) { return Run(DriverOp::kNext, f); }
int Previous(FileControlBlock& f) { return Run(DriverOp::kPrevious, f); }

int Skip(FileControlBlock& f, int64_t count) {
  DriverArgs a;
  a.count = count;
  return Run(DriverOp::kSkip, f, a);
}

std::string Position(FileControlBlock& f) {
  DriverArgs a;
  return Text(DriverOp::kPositionFile, f, a);
}

std::string PositionKey(FileControlBlock& f, int key) {
  DriverArgs a;
  a.key = key;
  return Text(DriverOp::kPositionKey, f, a);
}

int64_t Pointer(FileControlBlock& f) {
  DriverArgs a;
  return Number(DriverOp::kPointerFile, f, a);
}

int64_t PointerKey(FileControlBlock& f, int key) {
  DriverArgs a;
  a.key = key;
  return Number(DriverOp::kPointerKey, f, a);
}

bool Bof(FileControlBlock& f) {
  DriverArgs a;
  return Number(DriverOp::kBof, f, a) != 0;
}

bool Eof(FileControlBlock& f) {
  DriverArgs a;
  return Number(DriverOp::kEof, f, a) != 0;
}

int64_t Records(FileControlBlock& f) {
  DriverArgs a;
  return Number(DriverOp::kRecordsFile, f, a);
}

int64_t RecordsKey(FileControlBlock& f, int key) {
  DriverArgs a;
  a.key = key;
  return Number(DriverOp::kRecordsKey, f, a);
}

int64_t Bytes(FileControlBlock& f) {
  DriverArgs a;
  return Number(DriverOp::kBytes, f, a);
}

int Hold(FileControlBlock& f) { return Run(DriverOp::kHoldFile, f); }

int Hold(FileControlBlock& f, int32_t seconds) {
  DriverArgs a;
  a.seconds = seconds;
  return Run(DriverOp::kHoldFileSec, f, a);
}

int Release(FileControlBlock& f) { return Run(DriverOp::kRelease, f); }
int Watch(FileControlBlock& f) { return Run(DriverOp::kWatch, f); }
int Lock(FileControlBlock& f) { return Run(DriverOp::kLockFile, f); }

int Lock(FileControlBlock& f, int32_t seconds) {
  DriverArgs a;
  a.seconds = seconds;
  return Run(DriverOp::kLockFileSec, f, a);
}

int Unlock(FileControlBlock& f) { return Run(DriverOp::kUnlock, f); }
int Stream(FileControlBlock& f) { return Run(DriverOp::kStream, f); }
int Flush(FileControlBlock& f) { return Run(DriverOp::kFlush, f); }

int Logout(int32_t seconds, std::span<FileControlBlock* const> files) {
  for (size_t i = 0; i < files.size(); ++i) {
    DriverArgs a;
    a.seconds = seconds;
    int e = Run(DriverOp::kLogout, *files[i], a);
    if (e != 0) {
      // Undo the files already in; the refusal stays the error to report.
      for (size_t j = 0; j < i; ++j) Run(DriverOp::kRollback, *files[j]);
      PostFileError(e, *files[i]);
      return e;
    }
  }
  return 0;
}

int Commit(std::span<FileControlBlock* const> files) {
  int first = 0;
  for (FileControlBlock* f : files) {
    int e = Run(DriverOp::kCommit, *f);
    if (first == 0) first = e;
  }
  return first;
}

int Rollback(std::span<FileControlBlock* const> files) {
  int first = 0;
  for (FileControlBlock* f : files) {
    int e = Run(DriverOp::kRollback, *f);
    if (first == 0) first = e;
  }
  return first;
}

int Build(FileControlBlock& f) { return Run(DriverOp::kBuildFile, f); }
int BuildKey(FileControlBlock& f, int key) { return RunKey(DriverOp::kBuildKey, f, key); }

int BuildIndex(FileControlBlock& f, int index, std::string_view components) {
  DriverArgs a;
  a.key = index;
  a.text = components;
  return Run(DriverOp::kBuildDyn, f, a);
}

int BuildIndex(FileControlBlock& f, int index, std::string_view components,
               std::string_view filter) {
  DriverArgs a;
  a.key = index;
  a.text = components;
  a.text2 = filter;
  return Run(DriverOp::kBuildDynFilter, f, a);
}

int Pack(FileControlBlock& f) { return Run(DriverOp::kPack, f); }
int Empty(FileControlBlock& f) { return Run(DriverOp::kEmpty, f); }

bool Duplicate(FileControlBlock& f) {
  DriverArgs a;
  return Number(DriverOp::kDuplicate, f, a) != 0;
}

bool DuplicateKey(FileControlBlock& f, int key) {
  DriverArgs a;
  a.key = key;
  return Number(DriverOp::kDuplicateKey, f, a) != 0;
}

int Clear(FileControlBlock& f) { return Run(DriverOp::kClear, f); }
int NoMemo(FileControlBlock& f) { return Run(DriverOp::kNoMemo, f); }

std::string Name(FileControlBlock& f) {
  DriverArgs a;
  return Text(DriverOp::kName, f, a);
}

std::string Send(FileControlBlock& f, std::string_view option) {
  DriverArgs a;
  a.text = option;
  return Text(DriverOp::kSend, f, a);
}

std::string GetProperty(FileControlBlock& f, uint32_t property, int32_t index) {
  DriverArgs a;
  a.property = property;
  a.index = index;
  return Text(DriverOp::kGetProperty, f, a);
}

int SetProperty(FileControlBlock& f, uint32_t property, std::string_view value, int32_t index) {
  DriverArgs a;
  a.property = property;
  a.index = index;
  a.text = value;
  return Run(DriverOp::kSetProperty, f, a);
}

std::string GetKeyProperty(FileControlBlock& f, int key, uint32_t property, int32_t index) {
  DriverArgs a;
  a.key = key;
  a.property = property;
  a.index = index;
  return Text(DriverOp::kGetPropertyKey, f, a);
}

int SetKeyProperty(FileControlBlock& f, int key, uint32_t property, std::string_view value,
                   int32_t index) {
  DriverArgs a;
  a.key = key;
  a.property = property;
  a.index = index;
  a.text = value;
  return Run(DriverOp::kSetPropertyKey, f, a);
}

std::string DoProperty(FileControlBlock& f, uint32_t property, std::string_view value,
                       int32_t index) {
  DriverArgs a;
  a.property = property;
  a.index = index;
  a.text = value;
  Dispatch(DriverOp::kDoProperty, f, a);
  return std::move(a.text_result);
}

std::string DoKeyProperty(FileControlBlock& f, int key, uint32_t property, std::string_view value,
                          int32_t index) {
  DriverArgs a;
  a.key = key;
  a.property = property;
  a.index = index;
  a.text = value;
  Dispatch(DriverOp::kDoPropertyKey, f, a);
  return std::move(a.text_result);
}

std::string DoBlobProperty(FileControlBlock& f, int blob, uint32_t property,
                           std::string_view value) {
  DriverArgs a;
  a.blob = blob;
  a.property = property;
  a.text = value;
  Dispatch(DriverOp::kDoPropertyBlob, f, a);
  return std::move(a.text_result);
}

int64_t BlobSize(FileControlBlock& f, int blob) {
  DriverArgs a;
  a.blob = blob;
  return Number(DriverOp::kBlobSize, f, a);
}

int64_t BlobRead(FileControlBlock& f, int blob, std::span<uint8_t> dest, int64_t offset) {
  DriverArgs a;
  a.blob = blob;
  a.buffer = dest;
  a.length = static_cast<uint32_t>(dest.size());
  a.offset = offset;
  return Number(DriverOp::kBlobYield, f, a);
}

int BlobWrite(FileControlBlock& f, int blob, std::span<const uint8_t> data, int64_t offset) {
  DriverArgs a;
  a.blob = blob;
  a.data = data;
  a.length = static_cast<uint32_t>(data.size());
  a.offset = offset;
  return Run(DriverOp::kBlobTake, f, a);
}

std::string BlobGetProperty(FileControlBlock& f, int blob, uint32_t property) {
  DriverArgs a;
  a.blob = blob;
  a.property = property;
  Dispatch(DriverOp::kBlobGetProp, f, a);
  return std::move(a.text_result);
}

std::string BlobSetProperty(FileControlBlock& f, int blob, uint32_t property,
                            std::string_view value) {
  DriverArgs a;
  a.blob = blob;
  a.property = property;
  a.text = value;
  return Text(DriverOp::kBlobSetProp, f, a);
}

void BuildByEvents(FileControlBlock& f, bool on) {
  if (on) {
    f.state |= kStateBuildByEvents;
  } else {
    f.state &= ~static_cast<uint32_t>(kStateBuildByEvents);
  }
}

}  // namespace cinevo
