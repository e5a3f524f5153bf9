// The fatal report of a program with windows.
#pragma once

namespace cinevo {

// Makes the runtime's fatal report show a modal message box titled "Runtime error" with OK and
// Cancel (the report also goes to standard error); either button ends the program with exit
// status 3, because the runtime's invariants no longer hold.
void InstallRuntimeErrorBox();

}  // namespace cinevo
