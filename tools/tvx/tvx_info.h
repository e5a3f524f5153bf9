// `tvx info FILE`: the header, size classes, tables with their declarations and record counts,
// tree height, pages per class and compression ratio of a data file. Never writes.
#pragma once

#include <cstdio>

namespace cinevo::tvx {

// args: the arguments after "info". Returns the exit status (0, or 2 when the file cannot be read).
int RunInfo(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace cinevo::tvx
