#include "classlib/error_class.h"

#include <array>

#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/data/file_errors.h"
#include "runtime/ui/message_box.h"

namespace cinevo::classlib {
namespace {

constexpr size_t kMaxText = 1999;     // the working text of FormatText
constexpr size_t kMaxSaved = 254;     // the saved values (a CSTRING(255))
constexpr std::string_view kFatalTail = "  Press OK to end this application";

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

void AppendCut(std::string& out, std::string_view value) {
  if (out.size() >= kMaxText) return;
  out.append(value.substr(0, kMaxText - out.size()));
}

}  // namespace

void ErrorClass::Init() {
  errors_.clear();
  current_ = -1;
  AddErrors(DefaultMessages());
}

void ErrorClass::Kill() {
  errors_.clear();
  errors_.shrink_to_fit();
  current_ = -1;
}

bool ErrorClass::AddErrors(std::span<const uint8_t> set) { return ReadMessageSet(set, errors_); }

std::string ErrorClass::Cut(std::string_view text) {
  return std::string(text.substr(0, kMaxSaved));
}

void ErrorClass::SetFile(std::string_view name) { fileName_ = Cut(TrimRight(name)); }

void ErrorClass::SetErrors() {
  saveErrorCode_ = ErrorCode();
  saveError_ = Cut(TrimRight(ErrorMessage()));
  saveFileErrorCode_ = Cut(TrimRight(FileErrorCode() == 0 ? std::string() : std::to_string(FileErrorCode())));
  saveFileError_ = Cut(TrimRight(FileError()));
}

void ErrorClass::SetSavedErrors(int32_t code, std::string_view text, std::string_view fileCode,
                                std::string_view fileText) {
  saveErrorCode_ = code;
  saveError_ = Cut(TrimRight(text));
  saveFileErrorCode_ = Cut(TrimRight(fileCode));
  saveFileError_ = Cut(TrimRight(fileText));
}

bool ErrorClass::FindError(uint16_t id) {
  for (long p = static_cast<long>(errors_.size()) - 1; p >= 0; --p) {
    if (errors_[static_cast<size_t>(p)].id == id) {
      current_ = p;
      unknownId_ = -1;
      return true;
    }
  }
  current_ = -1;
  unknownId_ = id;
  return false;
}

const MessageEntry* ErrorClass::Current() const {
  return current_ < 0 ? nullptr : &errors_[static_cast<size_t>(current_)];
}

std::string ErrorClass::FormatText() const {
  const MessageEntry* entry = Current();
  if (entry == nullptr) return {};
  // A file-system error shows what the system said; when it said nothing, the runtime's text.
  std::string errorText = saveErrorCode_ == kErrFileSystem && !saveFileError_.empty()
                              ? saveFileError_ + " (" + saveFileErrorCode_ + ")"
                              : saveError_ + " (" + std::to_string(saveErrorCode_) + ")";
  // The older entry of the same id, whose text stands for %Previous unchanged.
  std::string_view previous;
  for (long p = current_ - 1; p >= 0; --p) {
    if (errors_[static_cast<size_t>(p)].id == entry->id) {
      previous = errors_[static_cast<size_t>(p)].message;
      break;
    }
  }
  std::string code = std::to_string(saveErrorCode_);
  // Longest first among the names that begin alike.
  const std::array<std::pair<std::string_view, std::string_view>, 9> placeholders = {{
      {"%ErrorCode", code},
      {"%ErrorText", errorText},
      {"%Error", saveError_},
      {"%FileErrorCode", saveFileErrorCode_},
      {"%FileError", saveFileError_},
      {"%File", fileName_},
      {"%Message", messageText_},
      {"%Field", fieldName_},
      {"%Previous", previous},
  }};
  std::string_view text = entry->message.substr(0, kMaxText);
  std::string out;
  out.reserve(text.size() + 64);
  size_t i = 0;
  while (i < text.size() && out.size() < kMaxText) {
    size_t pct = text.find('%', i);
    if (pct == std::string_view::npos) pct = text.size();
    AppendCut(out, text.substr(i, pct - i));
    if (pct == text.size()) break;
    bool matched = false;
    for (const auto& [name, value] : placeholders) {
      if (text.compare(pct, name.size(), name) == 0) {
        AppendCut(out, value);
        i = pct + name.size();
        matched = true;
        break;
      }
    }
    if (!matched) {
      AppendCut(out, "%");
      i = pct + 1;
    }
  }
  return out;
}

int ErrorClass::TakeBenign() { return kLevelBenign; }

int ErrorClass::TakeFatal() {
  const MessageEntry* entry = Current();
  std::string title = entry ? std::string(entry->title) : std::string(kUnknownMessageTitle);
  ShowMessageBox(FormatText() + std::string(kFatalTail), title, box_icon::kAsterisk,
                 box_button::kOk, box_button::kOk);
  Halt(0, title);
  return kLevelFatal;  // only when a halt handler let the program go on
}

int ErrorClass::TakeNotify() {
  const MessageEntry* entry = Current();
  if (entry == nullptr) return TakeUnknown();
  ShowMessageBox(FormatText(), entry->title, box_icon::kAsterisk, box_button::kOk, box_button::kOk);
  return kLevelNotify;
}

int ErrorClass::TakeOther() { return TakeProgram(); }

int ErrorClass::TakeProgram() { return TakeFatal(); }

int ErrorClass::TakeQuestion() {
  const MessageEntry* entry = Current();
  if (entry == nullptr) return TakeUnknown();
  unsigned answer = ShowMessageBox(FormatText(), entry->title, box_icon::kExclamation,
                                   box_button::kYes + box_button::kNo, box_button::kYes);
  return answer == box_button::kYes ? kLevelBenign : kLevelCancel;
}

int ErrorClass::TakeUnknown() {
  std::string text = "Message " + std::to_string(unknownId_) + " is not in the message table.";
  if (!saveError_.empty() || saveErrorCode_ != 0) {
    text += "|Error: " + saveError_ + " (" + std::to_string(saveErrorCode_) + ")";
  }
  ShowMessageBox(text, kUnknownMessageTitle, box_icon::kAsterisk, box_button::kOk, box_button::kOk);
  return kLevelProgram;
}

int ErrorClass::TakeError(uint16_t id) {
  if (!FindError(id)) return TakeUnknown();
  switch (Current()->severity) {
    case kSeverityBenign: return TakeBenign();
    case kSeverityQuestion:
    case kSeverityCancel: return TakeQuestion();
    case kSeverityProgram: return TakeProgram();
    case kSeverityFatal: TakeFatal(); return kLevelFatal;
    case kSeverityNotify: TakeNotify(); return kLevelNotify;
    default: return TakeOther();
  }
}

int ErrorClass::Throw(uint16_t id) {
  SetErrors();
  return TakeError(id);
}

int ErrorClass::ThrowMessage(uint16_t id, std::string_view text) {
  SetMessageText(text);
  return Throw(id);
}

unsigned ErrorClass::Ask(uint16_t id, unsigned buttons, unsigned defaultButton) {
  if (!FindError(id)) {
    TakeUnknown();
    return box_button::kCancel;
  }
  return ShowMessageBox(FormatText(), Current()->title, box_icon::kExclamation, buttons, defaultButton);
}

}  // namespace cinevo::classlib
