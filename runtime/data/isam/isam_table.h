// The native driver's working state for one open table (internal to the driver).
//
// The working state holds the opened table (file, table number, stored declaration), the
// keys, the memos, the current record, the sequence point of SET/NEXT/PREVIOUS,
// the hold and watch marks and the locks through which other users are kept out. Its
// operations live in isam_driver.cpp (opening, file-level operations, the begin and end of
// every operation), isam_handlers_records.cpp (records and keys), isam_handlers_sequence.cpp
// (the sequence) and isam_build.cpp (dynamic indexes); the keys with their counters are a
// TableKeys (table_keys.h), the memos and BLOBs a MemoStore (memo_store.h), the current
// record and the sequence point a TableSequence (table_sequence.h).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "runtime/data/driver.h"
#include "runtime/data/driver_trace.h"
#include "runtime/data/file_control_block.h"
#include "runtime/data/isam/isam_build.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/isam_locking.h"
#include "runtime/data/isam/key_encoding.h"
#include "runtime/data/isam/key_read_ahead.h"
#include "runtime/data/isam/memo_store.h"
#include "runtime/data/isam/table_keys.h"
#include "runtime/data/isam/table_sequence.h"

namespace cinevo::isam {

class IsamTable : public DriverWorkingState {
 public:
  explicit IsamTable(FileControlBlock& fcb) : fcb_(fcb) {}
  ~IsamTable() override;

  int Run(DriverOp op, DriverArgs& args);
  // The file's trace settings, read from the profile when the working state was made.
  const TraceSettings& trace() const { return trace_; }

 private:
  using Order = TableSequence::Order;

  // Opening and file-level operations (isam_driver.cpp).
  int OpenTable(DriverArgs& args);
  int CloseTable();
  int CreateFile();
  int RemoveFile();
  int RenameOrCopy(DriverArgs& args, bool copy);
  int Send(DriverArgs& args);
  int GetProperty(DriverArgs& args);
  int SetProperty(DriverArgs& args);
  int LockFile(DriverArgs& args);
  int UnlockFile();
  int StartStream();
  int FlushStream();
  int HoldRequested(DriverArgs& args);
  // LOGOUT keeps the file's update lock until COMMIT or ROLLBACK, so that no other user
  // changes the file under the transaction's cached changes.
  int LogoutTable(DriverArgs& args);
  void EndTransaction();
  int ReleaseHold();

  // Begin/end of an operation: the update lock and a fresh header for shared files; End
  // commits (unless streaming) or forgets the changes on failure.
  int Begin();
  int End(int result, bool changed);
  int Fail(const Status& st);
  Status RefreshIfChanged();
  // Whether no other user has committed a change since this open last looked at the file's
  // header: true at once while nobody else can change the file (exclusive, or the update lock
  // held by this open); otherwise the header is read once, without the update lock. A writer
  // writes its pages, then the header with the change counter moved, then flushes and clears
  // its journal (the commit point), and a failed commit puts the old header back; so a header
  // as last seen means that no commit has been completed since, and what this open holds in
  // memory from then is still the file's. Nothing may be read from the file's pages on its
  // word (they may be half written); false when the answer would take more than that one read
  // (a hot journal of this open), or on a file system whose unlocked reads may be served from a
  // stale cache (network and user-space file systems).
  bool UnchangedSinceLastLook();
  Status HeaderAsSeen(bool& same);  // the header's first bytes as this open last saw them
  std::string DeclaredName() const;

  // Records and keys (isam_handlers_records.cpp).
  int AddRecord(bool append);
  int PutRecord(int64_t pointer);
  bool HeldElsewhere(uint32_t recno);
  int DeleteRecord();
  int GetByKey(int key);
  int GetByPointer(int64_t pointer);
  int Duplicate(int key, DriverArgs& args);
  int Build(int key);
  int EmptyTable();
  // Drops the copies kept of the file's contents (counters, the current record's bytes): another
  // user may change the file from now on, or the changes they reflect were undone.
  void ForgetCopies();
  // The stored bytes of record `recno` (its payload in the tree), into `payload` or after `out`.
  Status ReadData(uint32_t recno, std::string& payload, bool& found);
  Status AppendData(uint32_t recno, std::string& out, bool& found);
  // The stored bytes of record `recno` (null when it does not exist): the kept copy of the
  // current record when there is one, else read into `read_stored_`.
  Status StoredRecord(uint32_t recno, const std::string*& stored);
  // Loads a stored record into the buffer (with holds, watches and memos) and makes it current.
  int Load(uint32_t recno, std::string_view payload);
  std::string StoredImage() const;              // the record buffer as it is stored (OEM)
  // The record buffer, record_length bytes, into `image` (buffer form).
  void BufferImage(std::string& image) const;
  // The data record of `recno` holding `image` (buffer form, converted to the stored form).
  void MakeDataRecord(uint32_t recno, const std::string& image, Record& out) const;
  // A stored record in buffer form, record_length bytes: `stored` itself when it already is,
  // else converted into `buffer`.
  const std::string& ImageOf(const std::string& stored, std::string& buffer) const;
  void ToBuffer(std::string_view stored);       // a stored record into the buffer
  void ToImage(const std::string& stored, std::string& image) const;  // stored -> buffer form

  // Sequence (isam_handlers_sequence.cpp).
  int SetOrder(DriverOp op, DriverArgs& args);
  // `screen`: a NEXT in file order may step over the records it skips (DriverArgs::screen).
  int Step(bool forward, bool read, int64_t count = 1, RowScreen* screen = nullptr);
  int TestEnd(bool forward, DriverArgs& args);
  int Position(int key, DriverArgs& args);
  int Reset(int key, std::string_view position);
  // REGET of the record named by args.text; with the caller's bytes of it (args.data, read at
  // change stamp args.count) those are delivered when the store has not moved since.
  int Reget(const DriverArgs& args);
  // The next entry of the sequence from `point`, left in step_record_.
  Status Neighbour(bool forward, bool fresh, const std::string& point, std::string& found_key, uint32_t& recno,
                   bool& found, RecordScreen* screen = nullptr);

  // BUILD with components and filter: dynamic indexes (isam_build.cpp). RouteBuild takes the
  // operations that concern a dynamic index (and drops dynamic indexes before the BUILDs that
  // rebuild declared keys); true when it carried the operation out, with its outcome.
  bool RouteBuild(DriverOp op, DriverArgs& args, int& result);
  int BuildDynamic(int key, std::string_view components, std::string_view filter);
  void DropDynamic(int key);  // -1: every dynamic index
  DynamicIndex* DynamicOf(int key);
  int DynamicStep(const DynamicIndex& d, bool forward, bool read, int64_t count);
  int DynamicTestEnd(const DynamicIndex& d, bool forward, DriverArgs& args);
  int DynamicGet(const DynamicIndex& d, int key);
  int DynamicSetFileKey(const DynamicIndex& d, int key);

  FileControlBlock& fcb_;
  TraceSettings trace_ = FileTraceSettings();
  OpenedTable table_;
  std::unique_ptr<TableLocks> locks_;
  TableKeys keys_{table_};           // the keys, their maintenance and the counters
  MemoStore memos_;                 // the memos and BLOBs of the current record
  // The current record (with the copy of its stored bytes as last read or written by this
  // open, trusted under the same rule as the counters' copies and dropped with them) and the
  // sequence point.
  TableSequence seq_;
  std::string watched_;             // the stored record as read under WATCH
  bool watch_armed_ = false;
  uint32_t held_ = 0;               // record held by this user, 0 none
  int hold_wait_ms_ = 0;            // how long the pending HOLD waits for the record
  bool streaming_ = false;
  bool transaction_lock_ = false;  // the update lock taken by LOGOUT
  bool locked_ = false;             // LOCK or a deny-all open
  bool full_build_ = false;
  int64_t flags_ = 0;
  std::string tcf_;
  // Buffers the record handlers reuse, so that reading and changing records does not allocate
  // for every record. Each is written before it is read within one operation.
  std::string read_stored_;   // a data record's payload read by StoredRecord / GET
  std::string lookup_key_;    // the key entry prefix GET looks for
  Record lookup_record_;      // the key entry GET found
  std::string old_image_, new_image_;  // a change's record before and after, buffer form
  Record change_record_;      // a data record being written
  std::string new_stored_;    // PUT: the record's new stored bytes, until they become current
  std::string header_raw_;    // the header's first bytes as read by RefreshIfChanged
  // Buffers a sequential step reuses, so that a scan does not allocate for every record.
  Record step_record_;
  std::string step_found_;
  std::string step_stored_;  // in key order: the data record of the entry stepped to
  // A forward scan in key order reads the records of the entries ahead in batches.
  KeyReadAhead ahead_;
  std::string ahead_cursor_, ahead_found_;
  std::vector<uint32_t> ahead_recnos_;
  // The data record of the key entry just stepped to (recno), through the read-ahead when
  // stepping forward; `stored` views the kept copy or step_stored_.
  Status StepRecord(bool forward, uint32_t recno, std::string_view& stored, bool& exists);
  std::map<int, DynamicIndex> dynamic_;  // by key: the keys built with components of their own
};

}  // namespace cinevo::isam
