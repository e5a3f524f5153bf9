// `tvx dump FILE [--key NAME] [--filter EXPRESSION] [--order TEXT] [--explain]
// [--format text|csv|json]`: the records of one table (FILE or FILE\!TABLE) with their record
// numbers, in file order or in a key's order, as aligned text columns, CSV or JSON. With a
// filter or an order the records are read through a VIEW, as a program reads them (fields by
// their labels, e.g. --filter "UPPER(POD:SIFRA) = 'HOLIDAYS'" --order "-POD:NASLOV");
// --explain prints how the VIEW reads them instead: the key, the range, the filter that
// remains and whether the rows are materialised. Never writes.
#pragma once

#include <cstdio>

namespace cinevo::tvx {

int RunDump(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace cinevo::tvx
