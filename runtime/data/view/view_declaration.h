// The declaration of a VIEW: the primary file read by the VIEW, the fields it projects, and the
// JOINs that bring in related files, each by a key of the joined file with the linking fields
// of the files outside it, or by an expression. JOINs nest: a JOIN may hold JOINs of its own.
//
//   ViewDeclaration v;
//   v.primary = &groups;                       // GRUPA, read in the order of GRU:PRK
//   v.key = 0;
//   JoinDeclaration& j = v.joins.emplace_back();
//   j.file = &movies;                          // PODGRU through POD:PRK, linked by GRU:SIFRA
//   j.key = 0;
//   j.links = {{&groups, 1}};
//   j.inner = true;
//
// A declaration is static data of the program: the files it names must outlive every VIEW made
// from it.
#pragma once

#include <string>
#include <vector>

#include "runtime/data/driver_args.h"
#include "runtime/data/file_control_block.h"

namespace cinevo {

// A field of one of the VIEW's files: 1-based field number, or the negative 1-based number of a
// MEMO or BLOB.
struct ViewField {
  FileControlBlock* file = nullptr;
  int field = 0;
};

struct JoinDeclaration {
  FileControlBlock* file = nullptr;
  // Join by key: the joined file's key (0-based) and the outer fields whose values its leading
  // components must equal, one per component, in component order.
  int key = kNoKey;
  std::vector<ViewField> links;
  // Join by expression (when key is kNoKey): every record of the joined file for which the
  // expression is true, read in file order.
  std::string expression;
  bool inner = false;          // an outer row without a joined record is left out
  std::vector<int> project;    // projected field numbers of `file` (as ViewField::field); empty: all
  std::vector<JoinDeclaration> joins;
};

struct ViewDeclaration {
  FileControlBlock* primary = nullptr;
  int key = kNoKey;            // the order in which the primary file is read; kNoKey: record order
  std::vector<int> project;    // projected field numbers of the primary; empty: all
  std::vector<JoinDeclaration> joins;
};

// The declaration in source form, one item a line, nested items indented by two blanks:
//   VIEW(GRUPA)
//     PROJECT(FIELD(GRU:SIFRA))
//     JOIN(POD:PRK,FIELD(GRU:SIFRA)),INNER
//       PROJECT(FIELD(POD:NASLOV),MEMO(POD:NOTE))
//     END
//   END
// A JOIN by expression reads "JOIN(PODGRU,'expression')". Lines end with CR LF.
std::string ViewSource(const ViewDeclaration& view);

// Every file of the VIEW: the primary, then the joined files depth first in declaration order.
std::vector<FileControlBlock*> ViewFiles(const ViewDeclaration& view);

// 0 when the declaration can be used, else 47: a missing file, a key or field number that the
// file does not have, a JOIN by key with more links than the key has components or none.
int CheckViewDeclaration(const ViewDeclaration& view);

}  // namespace cinevo
