// The rollback journal that makes an update of a data file atomic.
//
// Pages are rewritten in place and move between size classes, so a process that dies between
// two writes of an update would leave a file that is neither the old one nor the new one.
// Before the first byte of the data file is overwritten, the journal "<data file>-journal"
// receives the original bytes of every region the update will write (and of any tail it will
// cut off) together with the file's length, and is flushed. Then the data file is written and
// flushed; clearing the journal's magic (a write of one byte in place) is the commit point. The
// journal file itself stays, with its blocks, while the data file is open, and the next update
// writes its journal over it: a flush of bytes rewritten in place needs no change of the file
// system's own records, where a journal made anew or cut to nothing and grown again needs one
// at every flush. The file is removed when the data file is closed. A complete journal found
// at the next open means the update did not reach its commit point: its bytes are written back
// and the file is cut to its old length, which restores the file exactly as it was before.
//
// Why the commit point is flushed: until the clearing reaches the disk the journal still
// decodes, and after a loss of power replaying it would give the state before the update. That
// state is whole, but an update whose commit had returned would be lost, and for a control file
// (transaction_control.h) the lost update is the record of a transaction whose files are being
// written, which decides whether they are kept or restored. So the clearing is flushed before
// the commit returns. Clearing a held journal (phase two) and the clearing after an undo are
// not: for the first the control file's record decides, and replaying the second writes back
// the bytes the file already holds.
//
// An update that is phase one of a transaction over several files keeps its journal after the
// data file is flushed ("held"); the journal then also names the transaction and its control
// file. Phase two clears it; undoing phase one replays it. At an open, a held journal is
// replayed while its transaction is still recorded in the control file (the transaction had not
// committed) and dropped otherwise (it had).
//
// The journal's writer keeps an exclusive lock on it (an open-file-description lock) for as
// long as it holds originals, so a journal whose lock can be taken is one whose writer has gone
// away or finished; only such journals are recovered.
//
// Journal layout (integers little-endian):
//   0   8  magic "CVJRNL2\n" (its first byte zero: cleared, the journal restores nothing)
//   8   8  length of the journal in bytes, hash included (the file may be longer: bytes of an
//          earlier, longer journal that follow are of no meaning)
//  16   8  length of the data file before the update
//  24   4  number of saved regions
//  28   4  transaction number, 0 for a single-file update
//  32   2  length n of the control file's name
//  34   n  the control file's name
//  then per region: offset (8), length (4), the original bytes
//  then 8: FNV-1a 64-bit hash of every byte of the journal before it
// A journal that is shorter than its length, has another magic or a wrong hash was not
// completely written; the data file was not touched yet and the journal is simply dropped.
// (The first layout, magic "CVJRNL1\n", had no length of its own: its hash ends the file.)
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/data/isam/file_io.h"
#include "runtime/data/isam/isam_status.h"

namespace cinevo::isam {

struct JournalRegion {
  uint64_t offset = 0;
  uint64_t length = 0;
  // The update only cuts these bytes off (they lie past its new length) and never writes them.
  // Holes in such a region need not be saved: a replay makes the file its old length again,
  // and the bytes that come back with it read as zeros, just as a hole does.
  bool cut = false;
};

struct JournalContents {
  uint64_t original_length = 0;
  uint32_t transaction = 0;
  std::string control_file;
  std::vector<std::pair<uint64_t, std::string>> regions;  // offset, original bytes
};

std::string JournalPathFor(const std::string& data_path);
std::string EncodeJournal(const JournalContents& contents);
// False when the bytes do not begin with a complete journal.
[[nodiscard]] bool DecodeJournal(const std::string& bytes, JournalContents& out);
// Whether the journal file at `path` holds a complete journal (one that a recovery would act on).
[[nodiscard]] bool JournalIsHot(const std::string& path);

class Journal {
 public:
  Journal(std::string data_path, FileIo* io, bool sync);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // The next update is phase one of transaction `number` coordinated through `control_file`.
  void HoldFor(uint32_t number, std::string control_file);
  // Saves the original bytes of `regions` (clipped to the file's length `data_length`) and
  // the length itself, flushed, before the update overwrites any of them. Overlapping and
  // adjoining regions are saved as one.
  Status Begin(int data_fd, uint64_t data_length, const std::vector<JournalRegion>& regions);
  // The update's data is written and flushed. A journal that is not held is cleared and the
  // clearing flushed: the commit point. A held one stays until Release or Undo. When the
  // clearing fails the journal is still hot, and the caller undoes the update.
  Status Finish();
  // Writes the original bytes and length back, flushes, clears the journal. When that fails
  // the journal stays on disk (to be replayed at the next open) and 65 is returned.
  Status Undo(int data_fd);
  // Phase two of a transaction: the held journal is cleared.
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
  Status Empty();                 // clears the magic and gives up the lock
  void Forget();                  // drops the originals held in memory

  std::string data_path_;
  std::string journal_path_;
  FileIo* io_;
  bool sync_;
  int fd_ = -1;
  bool hot_ = false;
  // The journal as written (kept for Undo; its buffer is reused by the next update) and
  // where in it each saved region's original bytes lie.
  struct Saved {
    uint64_t offset;  // in the data file
    size_t at;        // in image_
    size_t length;
  };
  std::string image_;
  std::vector<Saved> saved_;
  uint64_t original_length_ = 0;
  uint32_t hold_number_ = 0;
  std::string hold_control_;
};

// Before a data file is opened: recovers a journal left behind by a writer that has gone away
// (see above). `recovered` tells whether the data file was restored from it. Errors: 65 when
// the journal cannot be replayed, 48 when a held journal's control file cannot be read.
// With `read_only` nothing is written, neither the data file nor the journal: a journal that
// restores nothing (cleared, incomplete, or held for a transaction that committed) is left
// where it is, and one that would have to be played back refuses the open with 65, so that a
// reader never sees a half-updated file.
Status RecoverJournal(const std::string& data_path, bool& recovered, bool read_only = false);
// Before a data file `from` is renamed (or copied) to `to`: its own journal is recovered, so
// that none is left behind under the old name (5 while a live writer holds it), and a journal
// left under the new name by an earlier file of that name is dropped, so that it is never
// played back over the file that takes the name.
Status SettleJournalsForMove(const std::string& from, const std::string& to);
// Before a data file is made anew: a journal left from an earlier file of that name must never
// be played back over the new one. 5 when a live writer holds it.
Status DiscardJournal(const std::string& data_path);

}  // namespace cinevo::isam
