// `tvx import FILE --csv|--json SOURCE`: adds records to a table (FILE or FILE\!TABLE) from a
// CSV file whose first line names the fields (labels with or without prefix; fields not named
// stay blank/zero), or from JSON: an array of objects of field values, an array of
// {"values": {...}} records, or a document as `tvx export` writes it (the table's records).
// SOURCE "-" reads standard input.
//
// All or nothing: every row is checked first (field count, value syntax and size), then the
// records are added through the driver inside one transaction, which holds the file's update
// lock from its start to its commit: other programs go on reading the file as it was, another
// import waits (up to 30 s, then it is refused with a message). On any error the file is
// unchanged; the count of records imported is printed only once they are committed.
#pragma once

#include <cstdio>

namespace cinevo::tvx {

int RunImport(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace cinevo::tvx
