// The file chooser of a form: a file dialog with a default directory and file, a filter built
// from description/pattern pairs, flags and a title, that can put the program's current
// directory back after the user has wandered elsewhere in the dialog.
//
//   FileChooser chooser;
//   chooser.Init();
//   chooser.AddMask("Avi", "*.AVI");
//   chooser.AddMask("All", "*.*");      // filter "Avi|*.AVI|All|*.*"
//   std::string path = chooser.Ask(true);  // empty when the user cancelled
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace cinevo::classlib {

// Shows the file dialog: `file` holds the file to start with and receives the chosen path.
// Returns false when the user cancelled. `filter` alternates descriptions and patterns,
// separated by "|"; `flags` are the dialog's flags (2 keep the current directory, 8 several
// files).
using FileDialogFunction = std::function<bool(std::string_view title, std::string& file,
                                              std::string_view filter, unsigned flags)>;

// The runtime's file dialog (runtime/ui/file_dialog.h) as a FileDialogFunction.
FileDialogFunction RuntimeFileDialog();

class FileChooser {
 public:
  static constexpr std::string_view kDefaultTitle = "Select A File";
  static constexpr std::string_view kAllFiles = "All Files|*.*";

  std::string defaultDirectory;  // made current before the dialog; empty = stay
  std::string defaultFile;       // file name the dialog starts with
  uint8_t flags = 0;
  std::string maskString;  // the filter
  std::string savePath;    // the current directory, kept during Ask
  std::string windowTitle;
  // The dialog to show: the runtime's file dialog unless replaced; empty means no dialog can be
  // shown, which answers as a cancel.
  FileDialogFunction dialog = RuntimeFileDialog();

  void Init();
  // Appends description (without trailing blanks) + "|" + pattern to the filter.
  void AddMask(std::string_view description, std::string_view pattern);
  // Empties the filter, then appends `text`.
  void SetMask(std::string_view text);
  // Shows the dialog and returns the chosen path, or an empty string when cancelled. With
  // `restorePath` the current directory afterwards is the one before, wherever the user went.
  std::string Ask(bool restorePath);

 private:
  void AppendMask(std::string_view addition);
};

}  // namespace cinevo::classlib
