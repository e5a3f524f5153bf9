// `tvx check FILE`: walks every page and record and reports each violation of the format's
// rules, then cross-checks every key entry and counter against the data records. Never
// writes. Exit status 0 when clean, 1 when any violation, 2 when unreadable.
#pragma once

#include <cstdio>

namespace cinevo::tvx {

int RunCheck(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace cinevo::tvx
