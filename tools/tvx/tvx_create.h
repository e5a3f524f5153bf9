// `tvx create FILE DECLARATION`: makes a table from a declaration text (a file, or "-" for
// standard input). FILE may name a table inside a file (FILE\!TABLE); a table that already
// exists is never replaced.
//
// The declaration text, one item per line; "#" starts a comment, words are separated by blanks
// and keywords may be in any case:
//   FIELD LABEL TYPE [DIM(n)]     TYPE: BYTE SHORT USHORT DATE TIME LONG ULONG SREAL REAL
//                                 DECIMAL(digits[,places]) PDECIMAL(digits[,places])
//                                 STRING(n) CSTRING(n) PSTRING(n) GROUP(n)
//                                 STRING(@picture) CSTRING(@picture) PSTRING(@picture)
//                                 STRING(n,@picture) ...
//   MEMO LABEL SIZE [BINARY] [NAME(external)]
//   BLOB LABEL [NAME(external)]
//   KEY LABEL COMPONENTS [DUP] [OPT] [NOCASE] [PRIMARY] [NAME(external)]
//   INDEX ...                     as KEY, for a key built on demand
// A string declared by a picture keeps it in the file; STRING(@picture) takes as many bytes as
// the picture is wide (CSTRING and PSTRING one more, for the zero byte or the length byte),
// STRING(n,@picture) n bytes. The picture runs from its "@" to the first ")" that ends a valid
// picture and after which only blanks, a DIM(n) and a comment follow, so it may hold blanks,
// "#" and parentheses:
//   FIELD PHO:NUMBER STRING(@P(###) ###-####P)
// Fields follow each other in the record in the order given (a GROUP(n) overlays the n bytes
// of the fields after it). COMPONENTS is a comma-separated list of field labels, each
// optionally preceded by "+" (ascending, the default) or "-" (descending). Example:
//   FIELD MOV:ID LONG
//   FIELD MOV:NAME STRING(40)
//   KEY MOV:KNAME MOV:NAME,-MOV:ID DUP NOCASE
#pragma once

#include <cstdio>
#include <string>

#include "runtime/data/file_declaration.h"
#include "runtime/data/isam/declaration_stream.h"

namespace cinevo::tvx {

int RunCreate(int argc, char** argv, std::FILE* out, std::FILE* err);

// Parses a declaration text into `out` (label "FILE", driver "TARVEX"); false with the line
// number and reason in `error`.
[[nodiscard]] bool ParseDeclarationText(const std::string& text, FileDeclaration& out, std::string& error);

// The declaration text of a stored table declaration, such that `tvx create` makes exactly the
// same declaration again; false with the reason in `error` when no text can (a layout that
// does not follow the rules above, a type or flag the text has no word for).
bool WriteDeclarationText(const isam::TableDeclaration& d, std::string& text, std::string& error);

}  // namespace cinevo::tvx
