// `tvx check FILE`: walks every page and record and reports each violation of the format's
// rules. Never writes. Exit status 0 when clean, 1 when any violation, 2 when unreadable.
#pragma once

#include <cstdio>

namespace cinevo::tvx {

int RunCheck(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace cinevo::tvx
