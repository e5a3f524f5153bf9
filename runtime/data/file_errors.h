// The error queries of the file statements. ERRORCODE() and ERROR() are the runtime's current
// error (ErrorCode() and ErrorMessage() of runtime/core/error.h); these add the file that the
// last file error was posted for and, for 90 "File System Error", the operating-system error.
#pragma once

#include <string>
#include <string_view>

namespace cinevo {

struct FileControlBlock;

// ERRORFILE(): the name of the file of the last posted file error; empty when the current error
// was not posted by a file operation.
std::string ErrorFile();
// FILEERRORCODE() / FILEERROR(): the operating-system error behind the last 90 and its text;
// 0 and empty for any other error.
int FileErrorCode();
std::string FileError();

// Posts `code` (> 0) as the runtime's current error with `fcb` as the error file.
void PostFileError(int code, const FileControlBlock& fcb);
// Makes the runtime's current error 0 ("no error").
void ClearRuntimeError();

}  // namespace cinevo
