// The runtime's numbered errors, by name.
//
// These are the codes the runtime posts (PostError, PostFileError), drivers return and the fatal
// report shows; ErrorText (error.h) gives each one's fixed text. The numbers are part of the
// language: programs test ERRORCODE() against them, so a code never changes its number. Every
// layer of the runtime and every driver names a code through this header; none keeps a copy.
//
// Operating-system errors are posted as the system error number + kErrSystemBase (0 for none);
// os_error.h maps errno values to system error numbers.
#pragma once

namespace cinevo {

inline constexpr int kErrNone = 0;
inline constexpr int kErrSystemBase = 300;                 // + system error number: 301..391

// File and record errors: posted by the file statements and the drivers; ERRORCODE() gives them.
inline constexpr int kErrFileNotFound = 2;                  // "File Not Found"
inline constexpr int kErrPathNotFound = 3;                  // "Path Not Found"
inline constexpr int kErrTooManyOpenFiles = 4;              // "Too Many Open Files"
inline constexpr int kErrAccessDenied = 5;                  // "Access Denied"
inline constexpr int kErrMemoryCorrupted = 7;               // "Memory Corrupted"
inline constexpr int kErrInsufficientMemory = 8;            // "Insufficient Memory"
inline constexpr int kErrEntryNotFound = 30;                // "Entry Not Found"
inline constexpr int kErrFileLocked = 32;                   // "File Is Already Locked"
inline constexpr int kErrRecordNotAvailable = 33;           // "Record Not Available"
inline constexpr int kErrRecordNotFound = 35;               // "Record Not Found"
inline constexpr int kErrInvalidDataFile = 36;              // "Invalid Data File"
inline constexpr int kErrFileNotOpen = 37;                  // "File Not Open"
inline constexpr int kErrInvalidKeyFile = 38;               // "Invalid Key File"
inline constexpr int kErrCreatesDuplicateKey = 40;          // "Creates Duplicate Key"
inline constexpr int kErrRecordHeld = 43;                   // "Record Is Already Held"
inline constexpr int kErrInvalidFilename = 45;              // "Invalid Filename"
inline constexpr int kErrKeyFileMustBeRebuilt = 46;         // "Key File Must Be Rebuilt"
inline constexpr int kErrInvalidRecordDeclaration = 47;     // "Invalid Record Declaration"
inline constexpr int kErrUnableToLog = 48;                  // "Unable To Log Transaction"
inline constexpr int kErrFileAlreadyOpen = 52;              // "File Already Open"
inline constexpr int kErrInvalidVexlorFile = 53;            // "Invalid Vexlor File"
inline constexpr int kErrNoCreateAttribute = 54;            // "No Create Attribute"
inline constexpr int kErrFileMustBeShared = 55;             // "File Must Be Shared"
inline constexpr int kErrLogoutActive = 56;                 // "LOGOUT Already Active"
inline constexpr int kErrInvalidMemoFile = 57;              // "Invalid Memo File"
inline constexpr int kErrExclusiveAccessRequired = 63;      // "Exclusive Access Required"
inline constexpr int kErrSharingViolation = 64;             // "Sharing Violation"
inline constexpr int kErrUnableToRollback = 65;             // "Unable To ROLLBACK Transaction"
inline constexpr int kErrMemoFileMissing = 73;              // "Memo File Missing"
inline constexpr int kErrInvalidFieldTypeDescriptor = 75;   // "Invalid Field Type Descriptor"
inline constexpr int kErrInvalidIndexString = 76;           // "Invalid Index String"
inline constexpr int kErrUnableToAccessIndex = 77;          // "Unable To Access Index"
inline constexpr int kErrInvalidNumberOfParameters = 78;    // "Invalid Number Of Parameters "
inline constexpr int kErrUnsupportedDataTypeInFile = 79;    // "Unsupported Data Type In File"
inline constexpr int kErrUnsupported = 80;                  // "Unsupported File Driver Function"
inline constexpr int kErrUnknownErrorPosted = 81;           // "Unknown Error Posted"
inline constexpr int kErrInvalidKeyLength = 88;             // "Invalid Key Length"
inline constexpr int kErrChangedElsewhere = 89;             // "Record Changed By Another Station"
inline constexpr int kErrFileSystem = 90;                   // "File System Error"
inline constexpr int kErrLogoutNotActive = 91;              // "LOGOUT Not Active"
inline constexpr int kErrBuildInProgress = 92;              // "BUILD In Progress"
inline constexpr int kErrBuildCancelled = 93;               // "BUILD Cancelled"

// Errors of running code.
inline constexpr int kErrStackOverflow = 401;               // "Stack overflow"
inline constexpr int kErrNullPointer = 402;                 // "Null pointer de-reference"
inline constexpr int kErrSignal = 403;                      // "Termination caused by signal.  (User break or Floating point)"
inline constexpr int kErrArithmeticOverflow = 404;          // "Arithmetic Overflow"
inline constexpr int kErrVariableOutOfRange = 405;          // "Variable out of range"
inline constexpr int kErrNoReturnValueFromFunction = 406;   // "No return value from function"
inline constexpr int kErrNoMatchingCaseLabel = 407;         // "No matching Case Label"
inline constexpr int kErrLongIntegerDivideByZero = 408;     // "Long Integer Divide By Zero"
inline constexpr int kErrIndexOutOfRange = 409;             // "Index out of range"
inline constexpr int kErrPureVirtualFunctionCalled = 410;   // "Pure Virtual Function Called"

// Internal errors of the runtime (shown as "Internal error NN").
inline constexpr int kErrInternalBase = 500;                // + N: "Internal error NN" (N = 1..15)
inline constexpr int kErrInternalStrings = 501;             // the string stack, typed references, list memory
inline constexpr int kErrInternalDecimals = 502;            // the decimal stack
inline constexpr int kErrInternalEvents = 503;              // the event dispatch

// Window and report errors; most end the program through the fatal report.
inline constexpr int kErrControlLibraryMismatch = 520;      // "Mismatch with VXVBX.DLL detected"
inline constexpr int kErrControlTooComplex = 521;           // "VBX control is too complex"
inline constexpr int kErrEventToReportControl = 522;        // "Event posted to a report control"
inline constexpr int kErrReportRecordTooLarge = 523;        // "Metafile record too large in report"
inline constexpr int kErrPrinterOpen = 524;                 // "Unexpected error opening printer device"
inline constexpr int kErrReportAlreadyOpen = 525;           // "Report is already open"
inline constexpr int kErrApplicationActive = 526;           // "Unable to open APPLICATION (APPLICATION already active)"
inline constexpr int kErrApplicationModal = 527;            // "Unable to open APPLICATION (system is MODAL)"
inline constexpr int kErrOpenApplication = 528;             // "Unable to open APPLICATION"
inline constexpr int kErrOpenWindow = 529;                  // "Unable to open WINDOW"
inline constexpr int kErrMdiNoApplication = 530;            // "Unable to open MDI window (No APPLICATION active)"
inline constexpr int kErrMdiModal = 531;                    // "Unable to open MDI window (system is MODAL)"
inline constexpr int kErrMdiOnApplicationThread = 532;      // "Unable to open MDI window on APPLICATION's thread"
inline constexpr int kErrOpenMdiWindow = 533;               // "Unable to open MDI WINDOW"
inline constexpr int kErrTooManyKeystrokes = 534;           // "Too many keystrokes PRESSed"
inline constexpr int kErrWindowAlreadyOpen = 535;           // "Window is already open"
inline constexpr int kErrWindowNotOpen = 536;               // "Window is not open"
inline constexpr int kErrAcceptNeedsWindow = 537;           // "ACCEPT loop requires a window"
inline constexpr int kErrPrintNotReport = 538;              // "PRINT must only be called for reports"
inline constexpr int kErrEndPageNotReport = 539;            // "ENDPAGE must only be called for reports"
inline constexpr int kErrAcceptModal = 540;                 // "Unable to process ACCEPT (system is MODAL)"
inline constexpr int kErrCreateControlModal = 541;          // "Unable to create control (system is MODAL)"
inline constexpr int kErrOperationModal = 542;              // "Unable to complete operation (system is MODAL)"
inline constexpr int kErrSliderUnavailable = 543;           // "Slider controls are only available in 32-bit programs"
inline constexpr int kErrTooManyControlHooks = 544;         // "Too Many VBX Hooks"

// Errors of the conversation channels.
inline constexpr int kErrInvalidDdeChannel = 601;           // "Invalid DDE channel"
inline constexpr int kErrDdeChannelNotOpen = 602;           // "DDE channel is not open"
inline constexpr int kErrDdeExecuteCommand = 603;           // "DDEexecute - invalid command"
inline constexpr int kErrDdePokeCommand = 604;              // "DDEpoke - invalid command"
inline constexpr int kErrDdeTimeout = 605;                  // "DDE transaction timed out"

// Errors of the expression evaluator and its bindings.
inline constexpr int kErrInvalidExpression = 800;           // "Invalid expression for EVALUATE"
inline constexpr int kErrNoBind = 801;                      // "No BIND on variable"
inline constexpr int kErrMismatchedScope = 802;             // "Mismatched PUSHSCOPE/POPSCOPE"

}  // namespace cinevo
