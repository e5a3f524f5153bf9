// The file manager: one object per data file of the application.
//
// It stands between the procedures and the file statements: opening and closing with per-thread
// use counts and deferred ("lazy") opening, inserting and updating with error reporting,
// automatic numbering of keys, reading on, re-reading a record at a position, saving and
// restoring the record buffer and the file's position around nested work, and hooks for field
// validation. Every failure is reported by message id through the error reporter; the id of the
// last message set for the file is kept per thread, with the codes captured at the failure, so a
// caller that asked for quiet can report it later with TakeError. Deleting, and everything that
// involves related files, belongs to the relation manager.
//
// Results are ErrorLevels: 0 success; 5 failure (reported, or quiet); 3 when the file cannot be
// made usable (failed opens and reads).
//
// Per thread (the runtime's thread number): not opened (opened == 0) -> opened lazily
// (opened > 0, used false) -> really open (used true) at the first EnsureOpen. Each Open adds one
// to `opened`, each Close takes one off, and the driver's CLOSE comes with the last Close.
//
// Invariants:
//  1. A thread's `used` is true only while the driver has the file open for it.
//  2. `autoIncDone` is set only after automatic numbering added the current record; a real open,
//     a successful Insert and CancelAutoInc clear it.
//  3. Saved buffers and saved file states are numbered upwards from 1 in the order made; restoring
//     one consumes it and resets the caller's id to 0.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "classlib/error_class.h"
#include "runtime/data/file_control_block.h"

namespace cinevo::classlib {

class RelationManager;

// Message ids of the built-in set that the file and relation managers raise.
namespace msg {
inline constexpr uint16_t kRetryAutoInc = 1;
inline constexpr uint16_t kCreateError = 5;
inline constexpr uint16_t kDeleteError = 8;
inline constexpr uint16_t kAccessError = 9;
inline constexpr uint16_t kDuplicateKey = 10;
inline constexpr uint16_t kChangedDitto = 14;
inline constexpr uint16_t kInsertError = 16;
inline constexpr uint16_t kInvalidKey = 18;
inline constexpr uint16_t kTransactionError = 19;
inline constexpr uint16_t kNotDeleted = 27;
inline constexpr uint16_t kNotUpdated = 28;
inline constexpr uint16_t kKeyNotBuilt = 29;
inline constexpr uint16_t kChanged = 30;
inline constexpr uint16_t kRetrievalError = 31;
inline constexpr uint16_t kRestrictDelete = 32;
inline constexpr uint16_t kRestrictUpdate = 33;
inline constexpr uint16_t kConfirmDelete = 37;
inline constexpr uint16_t kHeldRecord = 42;
}  // namespace msg

// Update modes.
enum UpdateMode : int { kUpdateQuiet = 0, kUpdateReport = 1, kUpdateDitto = 2 };

struct KeyComponent {
  int field = 0;          // 0-based index into the declaration's fields
  std::string fieldName;  // the field's label, "UPPER(label)" for a string in a NOCASE key
  bool ascend = true;
};

struct KeyInfo {
  int key = 0;              // 0-based index into the declaration's keys
  std::string description;  // at most 80 bytes; named in the duplicate-key message
  std::vector<KeyComponent> fields;
  int autoInc = 0;          // 1-based component numbered automatically, 0 none
  bool dups = false;
  bool noCase = false;
};

struct ThreadInfo {
  uint32_t id = 0;
  bool used = false;
  uint16_t opened = 0;
  bool atEOF = false;
  bool autoIncDone = false;
  uint16_t lastError = 0;
};

class FileManager {
 public:
  FileManager();
  virtual ~FileManager();
  FileManager(const FileManager&) = delete;
  FileManager& operator=(const FileManager&) = delete;

  // Set-up: Init, then AddKey once per key (in the order keys are searched for duplicates).
  void Init(FileControlBlock& file, ErrorClass& errors);
  void Kill();
  // `key` is the 0-based key of the declaration; `autoInc` the 1-based numbered component or 0.
  void AddKey(int key, std::string_view description, int autoInc = 0);

  // Settings (defaults as set by Init).
  bool create = true;              // create a missing file on open
  int lockRecover = 10;            // sent as "Recover=" when the file is locked
  bool lazyOpen = true;            // Open only counts; the first use opens
  uint32_t openMode = 0x42;        // read/write, deny none
  bool skipHeldRecords = false;    // Next passes over records held elsewhere
  std::string fileNameValue;       // the name in messages (default: the file's name)
  const std::string* fileName = nullptr;  // when set, overrides fileNameValue
  FileManager* aliasedFile = nullptr;     // validation and priming go to that manager

  // The overridable operations.
  virtual void BindFields();
  virtual int CancelAutoInc(RelationManager* relations = nullptr);
  virtual int Close();
  virtual bool EqualBuffer(long id);
  virtual int Open();
  virtual int PrimeAutoInc();          // reporting
  virtual int PrimeRecord(bool keepBuffer = false);
  virtual int TryPrimeAutoInc();       // quiet
  virtual int ValidateField(int field);
  virtual int ValidateFields(int first, int last, int& failed);
  virtual int ValidateRecord(int& failed);

  int EnsureOpen();
  int Insert(bool report = true);
  int Update(int mode = kUpdateReport);
  int Fetch(std::string_view position);
  int Next(bool report = true);
  long SaveBuffer();
  void RestoreBuffer(long& id, bool restore = true);
  long SaveFile();
  void RestoreFile(long& id);
  std::string GetPosition();
  std::string KeyOrderText(int key, int first = 1) const;
  std::string GetName() const;
  int GetComponents(int key) const;
  std::string GetComponentName(int key, int n) const;
  int GetComponentField(int key, int n) const;  // 0-based field index, -1 none
  bool AtEOF();
  void SetKeyLimits(int key, int first, int last, bool high);
  void SetError(uint16_t id);
  int TakeError();
  int Throw(uint16_t id);
  int ThrowMessage(uint16_t id, std::string_view text);

  // Opens for real or lazily: the work behind Open and EnsureOpen.
  int OpenFile(bool report, bool count, bool forced);

  FileControlBlock& File() const { return *file_; }
  ErrorClass& Errors() const { return *errors_; }
  std::span<uint8_t> Buffer() const { return file_->record; }
  const std::vector<KeyInfo>& Keys() const { return keys_; }
  const KeyInfo* FindKey(int key) const;
  int PrimaryKey() const { return primaryKey_; }  // 0-based key, -1 none
  bool HasAutoInc() const { return hasAutoInc_; }
  // The calling thread's state (made on first use); tells the error reporter this file's name.
  ThreadInfo& SelectThreadInfo();
  uint16_t LastError() { return SelectThreadInfo().lastError; }
  size_t SavedBuffers() const { return buffers_.size(); }
  size_t SavedFiles() const { return saved_.size(); }

 private:
  struct SavedBuffer {
    long id;
    std::string bytes;
  };
  struct SavedFileState {
    long buffer;
    long id;
    bool held;
    bool watched;
    std::string pos;
    int key;  // 0-based, -1 file order
  };
  int MemoCount() const;
  int AutoNumber(bool report);
  int NumberKey(const KeyInfo& k, bool report, double& next);
  std::string PrefixText(const KeyInfo& k);
  void CopyBufferTo(FileManager& other) const;

  FileControlBlock* file_ = nullptr;
  ErrorClass* errors_ = nullptr;
  std::vector<KeyInfo> keys_;
  int primaryKey_ = -1;
  bool hasAutoInc_ = false;
  std::mutex infoLock_;
  std::deque<ThreadInfo> info_;
  std::vector<SavedBuffer> buffers_;
  std::vector<SavedFileState> saved_;
  bool registered_ = false;
};

// The registry from each FILE to its manager, kept sorted by the FILE's identity.
void RegisterFileManager(FileManager& manager);
FileManager* FindFileManager(const FileControlBlock& file);
void UnregisterFileManager(const FileManager& manager);

}  // namespace cinevo::classlib
