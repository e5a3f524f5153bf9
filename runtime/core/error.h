// The runtime's current error and its fatal report.
//
// Failures inside the runtime are not thrown: an operation posts an error code and returns a
// neutral value, and the caller asks for the code afterwards. One code is current per process.
// Only a broken invariant of the runtime itself raises the fatal report.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace cinevo {

// Makes `code` the current error. Code 0 stands for "the last operating-system error": the
// current errno is mapped to its system error number and stored as that number + 300
// (0 itself when there is no system error).
void PostError(int code);

// The current error code (0 when none) and its text.
int ErrorCode();
std::string ErrorMessage();

// The fixed text of any runtime error code; an empty view for a code without a text.
std::string_view ErrorText(int code);

// The fatal report: the code's text, " : ", then `detail`. A registered handler receives the
// code and the composed message instead (the window system registers one that shows a message
// box titled "Runtime error" and then ends the program; tests register one that records). Without
// a handler the report goes to standard error and the program ends with exit status 3.
// RuntimeFatal returns only when a handler returned; the caller then carries on with a neutral
// result and must stay memory-safe.
using FatalHandler = std::function<void(int code, const std::string& message)>;
void SetFatalHandler(FatalHandler handler);  // an empty handler restores the default
void RuntimeFatal(int code, std::string_view detail);

// The message of a fatal report as shown to the user: ErrorText(code) + " : " + detail.
std::string FatalMessage(int code, std::string_view detail);

}  // namespace cinevo
