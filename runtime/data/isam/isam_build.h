// Dynamic indexes of the native driver: BUILD(index, components [, filter]).
//
// A dynamic index belongs to one open of a file. It is built in memory from the table's data
// records, ordered by the components named at BUILD time, and with a filter it holds only the
// records for which the filter is true. It is never written to the file (a file opened
// read-only may have one, and other users never see it), it is not kept up to date by later
// changes (as no INDEX is), and it ends with CLOSE, with BUILD of that index by itself (which
// builds the index as declared) and with BUILD of the whole file or PACK.
//
// Entries are held as a stored key would hold them: table, key number, key value and the
// record number (big-endian), so equal values come in record-number order whatever the
// declaration says about duplicates. While the index is dynamic the working state's key
// descriptor carries its components, so SET, RESET and POSITION work on it as on a stored key;
// the steps of NEXT, PREVIOUS, SKIP, BOF and EOF, GET and SET in file order by the index, and
// RECORDS of the index read the entries from memory. An entry whose record has been deleted
// since the build is stepped over, as a stored key entry without its record is.
//
// Components text: field labels separated by commas, each with an optional "+" (ascending, the
// default) or "-" (descending); blanks around them are ignored. Labels match without regard to
// case; a label without its prefix ("NAME" for "PRE:NAME") matches when exactly one field has
// that name. A blank text builds the index from its declared components.
//
// Filter text: an expression of the evaluator (runtime/core/eval.h) over the table's fields by
// their labels, plus any variables the program has bound. The fields are bound to a private
// copy of each record in a scope of their own, so the record buffer is left as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/isam/declaration_stream.h"

namespace cinevo::isam {

struct DynamicIndex {
  StreamKey declared;            // the key as declared, restored when the index stops being dynamic
  bool declared_dup = false;
  std::vector<std::string> entries;  // sorted entry keys

  // The entry next to `point` in the given direction: with `fresh` the entry at the point
  // itself may be the answer, otherwise only entries strictly past it. Null when none.
  const std::string* Neighbour(bool forward, bool fresh, const std::string& point) const;
};

// The components of a components text (above); false when the text names no field, names an
// unknown or ambiguous field, or is malformed.
[[nodiscard]] bool ParseIndexComponents(const TableDeclaration& decl, std::string_view text,
                          std::vector<StreamKeyComponent>& out);

}  // namespace cinevo::isam
