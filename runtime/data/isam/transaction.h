// LOGOUT, COMMIT and ROLLBACK: the updates of several data files made as one unit.
//
// While a file is listed its changes stay in its page cache (the caller does not commit after
// each update). COMMIT then writes them:
//   - no file with changes: nothing is written;
//   - one: an ordinary commit of that file (atomic through its journal);
//   - several: the control file (transaction_control.h) records a new transaction; each file
//     receives the marker record (key 0xFF; payload: the transaction number, 4 bytes
//     big-endian, the control file's name and a zero byte) and is written and flushed with
//     its journal held (phase one); the deletion of the transaction record is the commit
//     point; phase two clears the journals. A failure in phase one puts back every file
//     written so far from its journal and removes the record; the error is returned.
// ROLLBACK drops the cached changes of every listed file and re-reads its header from disk.
//
// Recovery rule (at the next open of each data file, journal.h): a file with a held journal
// whose transaction is still recorded is restored to its state before the transaction; when
// the record is gone the transaction had committed and the file keeps its new state. Since the
// record is one fact in one file, every file of a transaction makes the same choice: all of
// the transaction or none of it.
//
// The flushes of a COMMIT over files A and B, in order, and why each is needed (a flush is
// fdatasync; every commit of the control file is itself made atomic by its own journal):
//   1. A's journal (held)          A's originals are safe before A is overwritten
//   2. A                           A's new state is whole on disk before the commit point
//   3. B's journal, 4. B           the same for B
//   5. control file's journal      the control file may be overwritten now without tearing it
//   6. control file                the commit point: the record of this transaction goes out,
//                                  and the record of the next one comes in
//   7. control file's journal      cleared: after a loss of power it would otherwise bring the
//                                  record back, and with it the state before the transaction
// With the system's own I/O, 1 and 2 run beside 3 and 4, and 5 beside all four: the control
// file's journal is written while the files are, and the control file itself is not touched
// before every file has finished (ControlFile::PrepareFinish).
// The transaction's own record came in at 6 of the COMMIT before it, so it was on disk before
// any data file was touched and a crash from 1 on restores every file that was touched. The
// first COMMIT of a program over a control file has no such record yet: it first records its
// number in a commit of the control file alone (three flushes, as 5 to 7). The number reserved
// by the last COMMIT is given back when the program ends (its record alone is harmless: no
// data file names it, and no other transaction is given its number).
// Nothing else is flushed. Clearing a held journal (phase two) is one byte written in place and
// not flushed: until it reaches the disk the journal would restore the state before its
// update, but the record decides, and the record is gone for good once 10 is done. The data
// files carry no mark of a growth in progress either (the format's own header with two
// lengths): the journal restores the old header and length whatever part of the update
// reached the disk. A new journal's (or control file's) name is flushed with its directory.
//
// Errors: 48 "Unable To Log Transaction" when the transaction record cannot be written or
// removed; 65 "Unable To ROLLBACK Transaction" when a file written in phase one cannot be put
// back (its record then stays, so that the next open restores it); otherwise the error of the
// control file's open or of the failing file's write.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/data/isam/page_store.h"
#include "runtime/data/isam/transaction_control.h"

namespace cinevo::isam {

inline constexpr uint8_t kMarkerKey = 0xFF;

// The marker record naming transaction `number` coordinated through `control`.
Record MarkerRecord(uint32_t number, const std::string& control);
// Reads a file's marker; `found` is false when it has none.
Status ReadMarker(PageStore& store, uint32_t& number, std::string& control, bool& found);

class Transaction {
 public:
  Transaction() = default;
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // LOGOUT of one file: listed once however often it is named. `settle` (when given; the last
  // one given counts) runs at COMMIT before anything is written: the file's user puts into the
  // file's cache what it kept aside during the transaction (a table's counters). A settle that
  // fails makes the COMMIT write nothing.
  using Settle = std::function<Status()>;
  void Logout(PageStore& store, Settle settle = {});
  bool Listed(const PageStore& store) const;
  // Whether another open of the same physical file is listed.
  bool ListsOtherOpenOf(const PageStore& store) const;
  size_t size() const { return files_.size(); }

  // COMMIT; the list is empty afterwards in every case (changes not written are dropped).
  Status Commit();
  // ROLLBACK; the list is empty afterwards.
  void Rollback();
  // A listed file goes away (its table is closed for good): off the list, changes dropped.
  void Forget(PageStore& store);
  // An update inside the transaction failed half way: COMMIT writes nothing and returns 48.
  void MarkFailed() { failed_ = true; }
  // Every write, flush and truncation of the control file goes through `io` (null: the
  // system's own) from the next COMMIT on, so that tests reach the control file with faults.
  void set_io(FileIo* io) { io_ = io; }

  // The number and control file of the last commit over several files (0 when none yet).
  uint32_t last_number() const { return last_number_; }
  const std::string& last_control() const { return last_control_; }
  // The number recorded for the next commit over several files (0 when none).
  uint32_t reserved_number() const { return reserved_; }

 private:
  Status CommitSeveral(const std::vector<PageStore*>& changed);
  // Gives back the number reserved in the control file and lets the control file go.
  void ReleaseReservation();

  std::vector<PageStore*> files_;
  std::vector<Settle> settles_;  // settles_[i] belongs to files_[i]
  bool failed_ = false;
  std::unique_ptr<ControlFile> control_;
  uint32_t reserved_ = 0;  // recorded in control_ by the last COMMIT for the next one
  FileIo* io_ = nullptr;
  uint32_t last_number_ = 0;
  std::string last_control_;
};

// The transaction of this program (LOGOUT has one transaction at a time for the whole program).
Transaction& ProgramTransaction();

// Forgets a file's cached changes and has its header read again before the next use.
void DropChanges(PageStore& store);

}  // namespace cinevo::isam
