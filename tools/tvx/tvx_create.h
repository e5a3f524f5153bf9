// `tvx create FILE DECLARATION`: makes a table from a declaration text (a file, or "-" for
// standard input). FILE may name a table inside a file (FILE\!TABLE); a table that already
// exists is never replaced.
//
// The declaration text, one item per line; "#" starts a comment, words are separated by blanks
// and keywords may be in any case:
//   FIELD LABEL TYPE [DIM(n)]     TYPE: BYTE SHORT USHORT DATE TIME LONG ULONG SREAL REAL
//                                 DECIMAL(digits[,places]) PDECIMAL(digits[,places])
//                                 STRING(n) CSTRING(n) PSTRING(n) GROUP(n)
//   MEMO LABEL SIZE [BINARY]
//   BLOB LABEL
//   KEY LABEL COMPONENTS [DUP] [OPT] [NOCASE] [PRIMARY] [NAME(external)]
//   INDEX ...                     as KEY, for a key built on demand
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

namespace cinevo::tvx {

int RunCreate(int argc, char** argv, std::FILE* out, std::FILE* err);

// Parses a declaration text into `out` (label "FILE", driver "TARVEX"); false with the line
// number and reason in `error`.
bool ParseDeclarationText(const std::string& text, FileDeclaration& out, std::string& error);

}  // namespace cinevo::tvx
