// `tvx rebuild FILE [KEY]`: rewrites every key entry of the table (or of the one key) from its
// data records, with exclusive access. Exit 0 when rebuilt, 1 when a unique key finds
// duplicates (the file is left as it was), 2 for other errors.
#pragma once

#include <cstdio>

namespace cinevo::tvx {

int RunRebuild(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace cinevo::tvx
