// The runtime's file dialog.
//
// FileDialog asks the user for a file: `title` captions the dialog, `file` names the file it
// starts with (its folder is where the dialog opens) and receives the choice, `filter` lists
// descriptions and patterns alternating, separated by "|" ("Avi|*.AVI|Mpg|*.MPG|All|*.*"; several
// patterns of one description are separated by ";"). Patterns match without regard to case.
// Flags, added together:
//   1  save: the file need not exist
//   2  keep the current directory (without it the program's current directory becomes the folder
//      of the chosen file)
//   8  several files may be chosen; `file` receives their full paths joined by commas
// Returns true with `file` set to the choice; false when the user cancelled (`file` unchanged).
//
// This header is free of Qt. Tests answer dialogs with a ScriptedFileDialogs object.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cinevo {

namespace file_dialog_flag {
inline constexpr unsigned kSave = 1;
inline constexpr unsigned kKeepDirectory = 2;
inline constexpr unsigned kMultiple = 8;
}  // namespace file_dialog_flag

struct FileDialogRequest {
  std::string title;
  std::string file;
  std::string filter;
  unsigned flags = 0;
  friend bool operator==(const FileDialogRequest&, const FileDialogRequest&) = default;
};

bool FileDialog(std::string_view title, std::string& file, std::string_view filter,
                unsigned flags = 0);

// One name filter per description ("Avi (*.AVI)"); an empty filter gives "All Files (*.*)".
std::vector<std::string> FileDialogNameFilters(std::string_view filter);
// True when `name` (a file name, no folder) matches one of the ";"-separated patterns, without
// regard to case. "*" is any run of characters, "?" one character.
bool FileNameMatches(std::string_view name, std::string_view patterns);

// Replaces how dialogs are answered: the responder gives the chosen text, or nullopt for a
// cancel. An empty function restores the real dialog. Returns the one it replaced.
using FileDialogResponder = std::function<std::optional<std::string>(const FileDialogRequest&)>;
FileDialogResponder SetFileDialogResponder(FileDialogResponder responder);

// While it lives, every dialog is recorded and answered from the script, in order (a cancel when
// the script is empty). The answer goes through the same flag handling as a real choice.
class ScriptedFileDialogs {
 public:
  ScriptedFileDialogs();
  ~ScriptedFileDialogs();
  ScriptedFileDialogs(const ScriptedFileDialogs&) = delete;
  ScriptedFileDialogs& operator=(const ScriptedFileDialogs&) = delete;

  void Choose(std::string path) { answers_.emplace_back(std::move(path)); }
  void Cancel() { answers_.emplace_back(std::nullopt); }
  const std::vector<FileDialogRequest>& Shown() const { return shown_; }

 private:
  std::deque<std::optional<std::string>> answers_;
  std::vector<FileDialogRequest> shown_;
  FileDialogResponder previous_;
};

}  // namespace cinevo
