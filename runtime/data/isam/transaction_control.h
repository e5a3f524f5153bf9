// The transaction control file: the record of every transaction over several data files that
// is between its start and its commit point.
//
// It is a data file of the ordinary format whose records have no table number: the key of a
// transaction record is its number (4 bytes, big-endian, so that numbers sort), the payload is
// empty. A commit over several files inserts its record before it touches any data file and
// deletes it once every file has finished phase one; that deletion is the commit point of the
// whole transaction. A record still present therefore names a transaction that has not
// committed, and a data file journalled for it is restored at its next open.
//
// Where it lives: the name set by SEND "TCF=" for the whole program, or else "tarvex.tcf" in
// the directory of the transaction's first data file with changes. Programs that share data
// files (on a shared folder, say) thereby use the same control file without any setting, and
// its name is also written into every data file's marker and journal, so that recovery finds
// the same file whatever the program's setting.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_lock.h"
#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/page_store.h"

namespace cinevo::isam {

inline constexpr std::string_view kDefaultControlFileName = "tarvex.tcf";

// SEND "TCF=name": the control file of every later transaction of this program; an empty name
// goes back to the default.
void SetControlFileName(std::string name);
const std::string& ControlFileName();
// The control file for a transaction whose first data file with changes is `data_path`.
std::string ControlFilePathFor(const std::string& data_path);

// The runtime clock: hundredths of a second since midnight, plus one.
uint32_t ClockTicks();

class ControlFile {
 public:
  // Opens the control file read-write and shared, creating it when it does not exist; the
  // error is that of the open (2, 5, 90 ...).
  static Status Open(const std::string& path, std::unique_ptr<ControlFile>& out);
  ~ControlFile();

  // Starts a transaction: under the control file's update lock, picks the first number from
  // `start` upward (skipping 0), but above every number this control file has given before,
  // that has no record; inserts the record and commits.
  Status Start(uint32_t start, uint32_t& number);
  // The commit point (or the end of an undone transaction): deletes the record and commits.
  Status Finish(uint32_t number);
  // Finish and the Start of the next transaction in one commit: deletes the record of `number`
  // and records a new number, chosen as Start chooses it from `start` (0 when it fails). The
  // next transaction over this control file can use the reserved number without a commit of
  // its own: its record is on disk already.
  Status FinishAndReserve(uint32_t number, uint32_t start, uint32_t& reserved);
  // FinishAndReserve in two steps, so that the control file's journal is written while the
  // data files go through phase one: PrepareFinish makes the change in the cache and flushes
  // the journal of what it overwrites, under the control file's update lock, which it keeps;
  // CompleteFinish writes the change (the commit point) and CancelFinish forgets it, and either
  // gives the lock back. After a PrepareFinish that failed nothing is held.
  Status PrepareFinish(uint32_t number, uint32_t start, uint32_t& reserved);
  Status CompleteFinish();
  void CancelFinish();
  // Whether path() still names the file this object opened (it may have been removed, or
  // removed and made again, meanwhile).
  bool StillNamed() const;
  Status Recorded(uint32_t number, bool& recorded);

  const std::string& path() const { return path_; }
  PageStore& store() { return *store_; }

 private:
  ControlFile() = default;
  Status Locked();
  void Unlocked();
  Status RecordNew(uint32_t start, uint32_t& number);

  std::string path_;
  std::unique_ptr<platform::FileLock> lock_;
  std::unique_ptr<PageStore> store_;
  uint64_t device_ = 0;  // the opened file, for StillNamed
  uint64_t inode_ = 0;
};

// Whether transaction `number` is still recorded in `control`. A control file that does not
// exist records nothing.
Status TransactionStillRecorded(const std::string& control, uint32_t number, bool& recorded);

}  // namespace cinevo::isam
