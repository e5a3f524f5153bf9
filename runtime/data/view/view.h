// A VIEW: the rows of a primary file, joined with related files, restricted by a filter and
// delivered in a chosen order (view_declaration.h declares them). A VIEW is a file of its own
// to the file statements: its control block takes OPEN, SET, NEXT, PREVIOUS, POSITION, RESET,
// REGET, RECORDS, SKIP, WATCH, FLUSH, HOLD, RELEASE, PUT, DELETE, CLOSE and the properties
// below through the common dispatch, and answers any other operation with 80.
//
//   View v(declaration);                      // the files must be open before OPEN
//   Open(v.block());
//   SetProperty(v.block(), kPropViewFilter, "UPPER(POD:SIFRA) = UPPER('Holidays')");
//   SetView(v.block());
//   while (Next(v.block()) == 0) ... the files' record buffers hold the row ...
//
// Filter and order texts are expressions over the files' field labels (bound by the VIEW).
// An order text is a list of expressions separated by ",", each optionally preceded by "+"
// (ascending) or "-" (descending). A text that does not compile leaves the VIEW without it (an
// order: without that item) and its error is the result of setting it. After NEXT or PREVIOUS
// has reported the end (33), the next one starts again from the first row.
//
// Sharing: each VIEW operation that reads its files reads them as one operation. It takes each
// file's update lock once, when the operation starts (checking there, once, whether another
// program has committed a change), and gives it back when the operation ends, so a reader sees
// every change another program committed before the operation began, and a change committed
// while it runs waits until it ends; rows delivered by earlier operations are not re-read.
// What a VIEW keeps from one operation to the next never hides such a change:
//   - a read under the locks reads some rows past the one it delivers (more with each read in
//     the same direction) and keeps them with their records and each file's change stamp
//     (kPropChangeStamp). A later NEXT or PREVIOUS delivers the next kept row without taking
//     the locks only when every file's driver finds, in one look at the file's header, that
//     no other program has committed since it last looked, and the stamp has not moved (no
//     change by this program either): then the files are exactly as the rows were read, and
//     the row is what a read under the locks would find. Otherwise the kept rows are dropped
//     and the operation reads under the locks from the row delivered last;
//   - an order's rows (the list sorted in memory) are the rows the filling found; each row's
//     records are delivered as the file holds them at the operation that delivers it: the
//     records kept from the filling stand for them only while the file's change stamp has not
//     moved and no commit has been seen since, as above, and are read under the locks
//     otherwise; past the last row of the whole list the end is delivered from memory;
//   - a read the caller declares (ExpectReads: the next n NEXT or PREVIOUS, such as a browse
//     filling a page) is one operation: rows kept by a filling made within it, and the end
//     that filling met after them, are delivered without the look while it lasts, as that
//     filling read them under the locks. So such a
//     read sees every change committed before it began (its first filling looks), and a change
//     committed while it runs shows from its next filling on. Rows kept before it began, or
//     delivered after its n rows or after ExpectReads(0), are looked at as above;
//   - POSITION gives the position of the row delivered last, as the operation that read it
//     found it (taken while that operation held the files, so it costs no read of its own).
//     RESET to it reads nothing and takes no lock when the rows are not sorted in memory: it
//     hands the positions to the files' drivers, and the NEXT or PREVIOUS after it reads
//     under the locks. A sorted VIEW re-reads the row to find it in its list, under the locks.
// The look at the header is sound because a writer writes its pages, then the header with the
// change counter moved, and only then reaches its commit point; nothing is read from the
// file's pages on the word of such a look.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/data/file_control_block.h"
#include "runtime/data/view/view_declaration.h"

namespace cinevo {

enum ViewProperty : uint32_t {
  kPropViewFilter = 0x7CB8,     // the filter text; empty: no filter
  kPropViewOrder = 0x7CE6,      // the order text; empty: no order
  kPropViewFileCount = 0x7325,  // read only: the number of files
  kPropViewFile = 0x7326,       // read only, index n (1-based): the name of the n-th file
  kPropViewKeepFiles = 0x7327,  // "1": the files are not restored after each operation
};

class View {
 public:
  explicit View(ViewDeclaration declaration);
  ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // The VIEW's control block, for the file statements and the dispatch.
  FileControlBlock& block();
  const ViewDeclaration& declaration() const;

  // Planning is on by default; off, every filter and order is read through the whole primary
  // file (tests compare the two).
  void SetPlanning(bool on);
  // How the current filter and order are read: key, range, remaining filter, whether rows are
  // materialised (one item a line).
  std::string Explain();
  // The caller means to read `rows` more rows (NEXT or PREVIOUS; a browse filling a page)
  // before it positions the VIEW again, as one read (see Sharing above): the VIEW then reads
  // no rows ahead beyond them, and an order it sorts in memory keeps only that many rows when
  // they are few (reading on past them sorts the whole list first). 0: not known (the
  // default), or the read has ended.
  void ExpectReads(int64_t rows);
  // The VIEW's identity in its trace lines ("VIEW:" and this number in hexadecimal).
  uint32_t identity() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// SET(view): the next NEXT or PREVIOUS starts at the first (last) row.
int SetView(FileControlBlock& view);
// RESET(view, file): the next NEXT or PREVIOUS starts at the row of the primary file's current
// record.
int ResetViewFile(FileControlBlock& view);

}  // namespace cinevo
