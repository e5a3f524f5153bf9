// `tvx dump FILE [--key NAME] [--format text|csv|json]`: the records of one table (FILE or
// FILE\!TABLE) with their record numbers, in file order or in a key's order, as aligned text
// columns, CSV or JSON. Never writes.
#pragma once

#include <cstdio>

namespace cinevo::tvx {

int RunDump(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace cinevo::tvx
