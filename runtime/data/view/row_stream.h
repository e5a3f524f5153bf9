// The nodes a VIEW's rows flow through. Every node offers the same operations; a VIEW compiles
// its declaration, filter and order into a tree of them (view.cpp).
//
// Reading: Start(forward) places the node before its first row in that direction; Read(forward)
// delivers the next row in that direction into the files' record buffers and returns 0, 33
// "Record Not Available" at the end, or the error of a file. Reading in the direction opposite to
// the last read continues from the current row (the row before it comes next), as files do.
//
// Positions: Save appends to `out` one piece per file under the node (a length byte and the
// file's position in the order the node reads it; an empty piece for a file whose record the
// node cleared); Restore takes such pieces back, so that the next Read in either direction
// delivers the saved row first. Pieces of record positions (SaveRecord/RegetRecord) name
// records only and re-read them without touching the sequence.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/error_codes.h"
#include "runtime/core/eval.h"
#include "runtime/data/driver_trace.h"
#include "runtime/data/file_control_block.h"

namespace cinevo::view {

// While set (not null), every file operation of the nodes is also written to that trace: a
// VIEW traced "into files" sets it for the length of each of its operations.
void TraceFileOperationsInto(const TraceSettings* trace);

// Reads one length-prefixed piece from `in`, advancing it. False when `in` is too short.
bool TakePiece(std::string_view& in, std::string_view& piece);
void PutPiece(std::string& out, std::string_view piece);

// The file's change stamp (kPropChangeStamp), 0 when its driver keeps none.
uint64_t ChangeStamp(FileControlBlock& f);
// What RegetRecord does for a node over the one file `f`: takes the file's piece from `in` and
// re-reads its record (an empty piece clears the buffer). `image`, when not empty, is the
// record's bytes as read at change stamp `stamp`: the driver delivers them when the file is still
// at that stamp, and reads the record otherwise.
// With `kept_only` the driver delivers `image` or nothing (89, see DriverArgs::kept_only).
int RegetPiece(FileControlBlock& f, std::string_view& in, std::span<const uint8_t> image = {}, uint64_t stamp = 0,
               bool kept_only = false, bool same_read = false);

class RowNode {
 public:
  virtual ~RowNode() = default;
  virtual int Start(bool forward) = 0;
  virtual int Read(bool forward) = 0;
  virtual void Clear() = 0;                                  // clears the record buffers
  virtual int Save(std::string& out) = 0;
  virtual int Restore(std::string_view& in) = 0;
  // Whether Restore reads the files (and so must run with them held), or only hands the
  // positions to their drivers, which read nothing until the next Read.
  virtual bool RestoreReads() const { return false; }
  virtual int SaveRecord(std::string& out) = 0;              // record positions of the row
  virtual int RegetRecord(std::string_view& in) = 0;
  virtual void Files(std::vector<FileControlBlock*>& out) const = 0;
  // Delivers the next row in that direction from what the node keeps in memory, while the
  // files are not held by the VIEW: each file's driver gives the kept record only when nothing
  // was committed since it was read (kept_only REGET). 0: delivered, as Read would have; 33:
  // the end, known from memory by the same rule, as Read would have found it; 89: not possible
  // now, and the node reads as if the call had not been made (a Read under the files' locks
  // comes next).
  virtual int ReadKept(bool /*forward*/) { return kErrChangedElsewhere; }
  // How many more rows the caller means to read before it positions the stream again (0: not
  // known): a node that reads ahead reads no further than that.
  virtual void Expect(int64_t /*rows*/) {}
  // Rows whose primary record the screen skips (DriverArgs::screen) are not wanted: the node that
  // reads the primary file offers it to the file's driver with each forward read of the whole
  // file while it is on, and the nodes between pass it down. The reader of this node still
  // judges every row it gets. The screen outlives the node.
  virtual void Screen(RowScreen* /*screen*/) {}
};

// The caller's declared read (View::ExpectReads) as a node that keeps rows sees it: how many
// rows it still means to read, and whether the rows kept now were read within it (then they
// are delivered without the look for other programs' commits).
class DeclaredRead {
 public:
  // A new declared read, or with 0 its end: rows kept before it are not of it.
  void Begin(int64_t rows) {
    left_ = rows > 0 ? rows : 0;
    kept_within_ = false;
  }
  // A filling starts: what it keeps is of the read while one lasts.
  void Filling() { kept_within_ = left_ > 0; }
  // One of the read's rows was delivered; after its last one the read is over.
  void Delivered() {
    if (left_ > 0 && --left_ == 0) kept_within_ = false;
  }
  int64_t left() const { return left_; }  // 0: not known, or over
  bool kept_within() const { return kept_within_; }

 private:
  int64_t left_ = 0;
  bool kept_within_ = false;
};

using RowPtr = std::unique_ptr<RowNode>;

// How a file node reads its file: the whole file in record order or in a key's order, or the
// part of a key in which the leading components equal fixed values and the next one lies between
// optional bounds. Values are field images (the field's bytes as stored in the record).
struct KeyRange {
  int key = -1;                        // -1: record order
  std::vector<std::string> fixed;      // values of components 1..n
  std::string low, high;               // bounds of component n+1 (as values, not key order)
  bool has_low = false, has_high = false;
  bool backwards = false;              // the node's forward is the key read backwards
};

// One file read in order (record order, key order or a key range).
RowPtr MakeFileNode(FileControlBlock& file, KeyRange range);

// For each outer row: the joined file's records whose leading key components equal the linking
// fields' values, read through SET(key,key).
struct LinkField {
  FileControlBlock* file;
  int field;  // 1-based
};
RowPtr MakeKeyJoinNode(FileControlBlock& file, int key, std::vector<LinkField> links);
// For each outer row: the joined file's records, in record order, for which `expression` holds.
RowPtr MakeExpressionJoinNode(FileControlBlock& file, std::unique_ptr<CompiledExpression> expression);
// Nested loops over its members: a row when every member has one.
RowPtr MakeChainNode(std::vector<RowPtr> members);
// A JOIN that is not INNER: one row with the joined records cleared when the JOIN has none.
RowPtr MakeOuterJoinNode(RowPtr join);
// Only the input rows for which the expression holds.
RowPtr MakeFilterNode(RowPtr input, std::unique_ptr<CompiledExpression> filter);

// The order node: the input's rows materialised and delivered in the order of the items' values.
struct OrderItem {
  std::unique_ptr<CompiledExpression> expression;
  bool descending = false;
};
// `by_pointer`: rows of equal values follow the primary file's record pointers (the order in
// which the primary is read in record order), then the input order.
// `first_field`: when the first item is a STRING field of the primary file and of no other
// file, that field (its value is then its bytes); null otherwise. A partial list then asks the
// primary file's driver to pass by the records that cannot be kept (RowNode::Screen).
RowPtr MakeOrderNode(RowPtr input, std::vector<OrderItem> items, FileControlBlock* primary, bool by_pointer,
                     const FieldDeclaration* first_field = nullptr);

// Reads ahead: each Read under the files' locks delivers a row of the input and keeps the rows
// that follow it (their records, positions and the files' change stamps), more with each read
// in the same direction, so that the next rows come from memory through ReadKept while no file
// has changed. A change to any file, a turn or a restore drops what was kept, and the input is
// put back at the row delivered last. Positions are those of the rows delivered.
RowPtr MakeAheadNode(RowPtr input);

// Key-order comparison of one key component's field images (true: equal).
bool SameComponent(const FileDeclaration& decl, int field, bool nocase, std::string_view a, std::string_view b);

}  // namespace cinevo::view
