// `tvx import FILE --csv|--json SOURCE`: adds records to a table (FILE or FILE\!TABLE) from a
// CSV file whose first line names the fields (labels with or without prefix; fields not named
// stay blank/zero), or from JSON: an array of objects of field values, an array of
// {"values": {...}} records, or a document as `tvx export` writes it (the table's records).
// SOURCE "-" reads standard input.
//
// All or nothing: every row is checked first (field count, value syntax and size), then the
// records are added to a copy of the file under exclusive access, and the copy replaces the
// file only when every ADD succeeded. On any error the file is unchanged.
#pragma once

#include <cstdio>

namespace cinevo::tvx {

int RunImport(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace cinevo::tvx
