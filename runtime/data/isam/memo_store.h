// The MEMO and BLOB contents of one open table: what is held for the current record, and how
// those contents are kept in the tree.
//
// Each MEMO or BLOB of a record is stored in chunks of up to 256 content bytes under
// (table, 0xFC, record number, memo number, sequence). A BLOB's first chunk begins with the
// BLOB's total length (4 bytes, little-endian). A MEMO is stored without its trailing blanks
// (text memos of an OEM file in the OEM code page); an empty MEMO or BLOB has no chunk.
// Sequence numbers of two bytes limit every MEMO and BLOB to 65536 chunks (16 MiB); a MEMO also
// to its declared size.
//
// The BLOB operations work on the contents held for the current record (written with the
// record by ADD and PUT): BLOB_SIZE, BLOB_YIELD (reading from an offset), BLOB_TAKE (writing at
// an offset, zero-filling any gap) and the properties of isam_driver.h. Writing past the limits
// is refused for a BLOB (5, before anything grows) and cut for a MEMO.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/data/driver_args.h"
#include "runtime/data/driver_op.h"
#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/declaration_stream.h"

namespace cinevo::isam {

class MemoStore {
 public:
  // Starts over for the memos `decls` of table `table` (none: every operation does nothing);
  // `oem`: text memos are stored in the OEM code page. Every content is empty.
  void Reset(uint32_t table, const std::vector<StreamMemo>& decls, bool oem);

  size_t count() const { return contents_.size(); }
  bool empty() const { return contents_.empty(); }

  // The contents held for memo `n` (1-based), or null when the table has no memo n.
  const std::string* Contents(size_t n) const;
  // Replaces the contents of memo `n` (1-based), a MEMO cut at its declared size; false when
  // the table has no memo n.
  bool SetContents(size_t n, std::string value);

  // NOMEMO: the next LoadFor leaves the contents as they are.
  void SkipNextLoad() { skip_next_load_ = true; }
  // The contents of record `recno`, just made current, unless NOMEMO asked to skip this once.
  Status LoadFor(BTree& tree, uint32_t recno);

  // The stored contents of record `recno` into the held ones (a record without chunks has
  // empty contents). A damaged chain of chunks is an error and leaves the rest unread.
  Status Read(BTree& tree, uint32_t recno);
  // Stores the held contents as those of `recno`, in place of whatever it had.
  Status Write(BTree& tree, uint32_t recno) const;
  // Removes every chunk of `recno`.
  Status Erase(BTree& tree, uint32_t recno) const;

  // BLOB_SIZE, BLOB_YIELD, BLOB_TAKE, BLOB_GET_PROP and BLOB_SET_PROP on memo args.blob
  // (1-based); 80 for another operation or a memo the table does not have.
  int Run(DriverOp op, DriverArgs& args);

 private:
  uint32_t table_ = 0;
  bool oem_ = false;
  bool skip_next_load_ = false;
  std::vector<StreamMemo> decls_;
  std::vector<std::string> contents_;  // one per declared memo, for the current record
};

}  // namespace cinevo::isam
