// Mapping of POSIX errno values to the system error numbers that the runtime reports
// (its codes 301..391 are these numbers + 300).
#pragma once

namespace cinevo {

// 0 for errno 0; 31 ("General Failure") for an errno without a closer match.
int SystemErrorFromErrno(int err);

}  // namespace cinevo
