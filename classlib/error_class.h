// The error reporter: the one place where the class library turns a failure or a question into
// words on the screen.
//
// It keeps a table of messages (id, severity, title, text), loaded by Init from the built-in set
// and extendable by the application with AddErrors. A caller asks for a message by id; the
// reporter fills the placeholders of its text with the values captured at the failure, shows it
// through the runtime's message box and returns an ErrorLevel that says how to go on. A message
// of severity Fatal ends the program through the runtime's halt operation.
//
// Placeholders: %ErrorCode, %ErrorText, %Error, %FileErrorCode, %FileError, %File, %Message,
// %Field and %Previous (the text of the older message of the same id, unfilled). They are
// filled in one left-to-right pass over the message text, the longest placeholder first where
// several begin at one place, so an inserted value is never searched again: a file named
// "%Message" shows as "%Message".
//
// Invariants:
//  1. Entries are only appended between Init and Kill; FindError prefers the newest of an id.
//  2. The current entry is an index into the table or none; it is none after FindError of an
//     unknown id.
//  3. Every saved text holds at most 254 bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "classlib/message_set.h"

namespace cinevo::classlib {

// What class-library operations return; anything but kLevelBenign means "stop what you do".
enum ErrorLevel : int {
  kLevelBenign = 0,
  kLevelQuestion = 1,
  kLevelProgram = 2,
  kLevelFatal = 3,
  kLevelCancel = 4,
  kLevelNotify = 5,
};

// Message severities (MessageEntry::severity).
enum Severity : uint8_t {
  kSeverityBenign = 0,
  kSeverityQuestion = 1,
  kSeverityProgram = 2,
  kSeverityFatal = 3,
  kSeverityCancel = 4,
  kSeverityNotify = 5,
};

// The texts shown for an id that no entry has: the table is the program's own, so this is a
// fault of the program; the box says which id was asked for, and the level is kLevelProgram.
inline constexpr std::string_view kUnknownMessageTitle = "Unknown Message";

class ErrorClass {
 public:
  ErrorClass() = default;
  virtual ~ErrorClass() = default;
  ErrorClass(const ErrorClass&) = delete;
  ErrorClass& operator=(const ErrorClass&) = delete;

  // Creates the table and loads DefaultMessages(). Kill empties it.
  void Init();
  void Kill();

  // Appends every entry of `set` in stored order. The set's bytes must outlive this object.
  // Returns false for a damaged set (too short for its count); its complete entries before the
  // damage are added all the same.
  virtual bool AddErrors(std::span<const uint8_t> set);

  // The handlers; each works on the current entry.
  virtual int TakeBenign();    // shows nothing; 0
  virtual int TakeFatal();     // shows the text, then halts; returns 3 only if the halt returns
  virtual int TakeNotify();    // OK box; 5
  virtual int TakeOther();     // TakeProgram
  virtual int TakeProgram();   // TakeFatal
  virtual int TakeQuestion();  // Yes/No box: Yes 0, anything else 4

  // The value of %File: `name` without trailing blanks.
  void SetFile(std::string_view name);
  // Captures the runtime's current error code and text and the file-driver error code and text.
  void SetErrors();
  // Makes current the newest entry with `id`; false (and no current entry) when there is none.
  bool FindError(uint16_t id);
  // The current entry's text with its placeholders filled (at most 1999 bytes); empty when there
  // is no current entry.
  std::string FormatText() const;
  // FindError, then the handler for the entry's severity; the level it gives.
  int TakeError(uint16_t id);
  int Throw(uint16_t id);                                  // SetErrors, then TakeError
  int ThrowMessage(uint16_t id, std::string_view text);    // %Message := text, then Throw
  // Shows message `id` under its title with the exclamation icon and the given buttons and
  // default; returns the button pressed. For an unknown id it shows the unknown-message box and
  // answers Cancel.
  unsigned Ask(uint16_t id, unsigned buttons, unsigned defaultButton);

  // The placeholder values and captured codes.
  void SetFieldName(std::string_view name) { fieldName_ = Cut(name); }
  void SetMessageText(std::string_view text) { messageText_ = Cut(text); }
  const std::string& FieldName() const { return fieldName_; }
  const std::string& FileName() const { return fileName_; }
  const std::string& MessageText() const { return messageText_; }
  const std::string& SavedError() const { return saveError_; }
  int32_t SavedErrorCode() const { return saveErrorCode_; }
  const std::string& SavedFileError() const { return saveFileError_; }
  const std::string& SavedFileErrorCode() const { return saveFileErrorCode_; }
  // Sets the captured values directly (what SetErrors would have captured).
  void SetSavedErrors(int32_t code, std::string_view text, std::string_view fileCode,
                      std::string_view fileText);

  const std::vector<MessageEntry>& Entries() const { return errors_; }
  // The current entry, or null.
  const MessageEntry* Current() const;

 private:
  static std::string Cut(std::string_view text);  // at most 254 bytes
  int TakeUnknown();

  std::vector<MessageEntry> errors_;
  long current_ = -1;        // index into errors_, -1 none
  long unknownId_ = -1;      // the id that the last FindError did not find
  std::string fieldName_;
  std::string fileName_;
  std::string messageText_;
  std::string saveError_;
  int32_t saveErrorCode_ = 0;
  std::string saveFileError_;
  std::string saveFileErrorCode_;
};

}  // namespace cinevo::classlib
