// The rollback journal that makes an update of a data file atomic.
//
// Pages are rewritten in place and move between size classes, so a process that dies between
// two writes of an update would leave a file that is neither the old one nor the new one.
// Before the first byte of the data file is overwritten, the journal "<data file>-journal"
// receives the original bytes of every region the update will write (and of any tail it will
// cut off) together with the file's length, and is flushed. Then the data file is written and
// flushed; emptying the journal (truncating it to nothing) is the commit point. The empty file
// stays while the data file is open and is removed when it is closed. A complete journal found
// at the next open means the update did not reach its commit point: its bytes are written back
// and the file is cut to its old length, which restores the file exactly as it was before.
//
// An update that is phase one of a transaction over several files keeps its journal after the
// data file is flushed ("held"); the journal then also names the transaction and its control
// file. Phase two removes it; undoing phase one replays it. At an open, a held journal is
// replayed while its transaction is still recorded in the control file (the transaction had not
// committed) and removed otherwise (it had).
//
// The journal's writer keeps an exclusive lock on it (an open-file-description lock) for as
// long as it holds originals, so a journal whose lock can be taken is one whose writer has gone
// away or finished; only such journals are recovered.
//
// Journal layout (integers little-endian):
//   0   8  magic "CVJRNL1\n"
//   8   8  length of the data file before the update
//  16   4  number of saved regions
//  20   4  transaction number, 0 for a single-file update
//  24   2  length n of the control file's name
//  26   n  the control file's name
//  then per region: offset (8), length (4), the original bytes
//  last 8: FNV-1a 64-bit hash of every byte before it
// A journal that is shorter, has another magic or a wrong hash was not completely written; the
// data file was not touched yet and the journal is simply removed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/data/isam/file_io.h"
#include "runtime/data/isam/isam_status.h"

namespace cinevo::isam {

// The code of a failed replay of a journal ("Unable To ROLLBACK Transaction").
inline constexpr int kErrUnableToRollback = 65;
// The code of a failure to record a transaction ("Unable To Log Transaction").
inline constexpr int kErrUnableToLog = 48;

struct JournalRegion {
  uint64_t offset = 0;
  uint64_t length = 0;
};

struct JournalContents {
  uint64_t original_length = 0;
  uint32_t transaction = 0;
  std::string control_file;
  std::vector<std::pair<uint64_t, std::string>> regions;  // offset, original bytes
};

std::string JournalPathFor(const std::string& data_path);
std::string EncodeJournal(const JournalContents& contents);
// False when the bytes are not a complete journal.
bool DecodeJournal(const std::string& bytes, JournalContents& out);

class Journal {
 public:
  Journal(std::string data_path, FileIo* io, bool sync);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // The next update is phase one of transaction `number` coordinated through `control_file`.
  void HoldFor(uint32_t number, std::string control_file);
  // Saves the original bytes of `regions` (clipped to the file's length `data_length`) and
  // the length itself, flushed, before the update overwrites any of them.
  Status Begin(int data_fd, uint64_t data_length, const std::vector<JournalRegion>& regions);
  // The update's data is written and flushed. A journal that is not held is emptied: the
  // commit point. A held one stays until Release or Undo.
  Status Finish();
  // Writes the original bytes and length back, flushes, empties the journal. When that fails
  // the journal stays on disk (to be replayed at the next open) and 65 is returned.
  Status Undo(int data_fd);
  // Phase two of a transaction: the held journal is emptied.
  Status Release();

  bool hot() const { return hot_; }     // the data file may differ from the journal's originals
  bool held() const { return hold_number_ != 0; }
  void set_io(FileIo* io) { io_ = io; }
  const std::string& path() const { return journal_path_; }

 private:
  void Close();
  bool Stale() const;             // the open journal is no longer the one under its name
  Status Own(bool& created);      // opens (creating) and locks the journal
  void Disown();                  // gives up the lock
  Status Empty();                 // truncates to nothing and gives up the lock

  std::string data_path_;
  std::string journal_path_;
  FileIo* io_;
  bool sync_;
  int fd_ = -1;
  bool hot_ = false;
  JournalContents contents_;
  uint32_t hold_number_ = 0;
  std::string hold_control_;
};

// Before a data file is opened: recovers a journal left behind by a writer that has gone away
// (see above). `recovered` tells whether the data file was restored from it. Errors: 65 when
// the journal cannot be replayed, 48 when a held journal's control file cannot be read.
Status RecoverJournal(const std::string& data_path, bool& recovered);
// Before a data file is made anew: a journal left from an earlier file of that name must never
// be played back over the new one. 5 when a live writer holds it.
Status DiscardJournal(const std::string& data_path);

}  // namespace cinevo::isam
