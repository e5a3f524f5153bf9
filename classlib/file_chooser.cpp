#include "classlib/file_chooser.h"

#include <filesystem>
#include <system_error>

#include "runtime/ui/file_dialog.h"

namespace cinevo::classlib {

FileDialogFunction RuntimeFileDialog() {
  return [](std::string_view title, std::string& file, std::string_view filter, unsigned flags) {
    return FileDialog(title, file, filter, flags);
  };
}

namespace {

std::string_view Clipped(std::string_view s) {
  const size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1);
}

}  // namespace

void FileChooser::Init() {
  windowTitle = kDefaultTitle;
  flags = 0;
}

void FileChooser::AppendMask(std::string_view addition) {
  if (addition.empty()) return;
  if (maskString.empty()) {
    maskString = addition;
    return;
  }
  std::string joined(Clipped(maskString));
  joined += '|';
  joined += Clipped(addition);
  maskString = std::move(joined);
}

void FileChooser::AddMask(std::string_view description, std::string_view pattern) {
  std::string addition(Clipped(description));
  addition += '|';
  addition += pattern;
  AppendMask(addition);
}

void FileChooser::SetMask(std::string_view text) {
  maskString.clear();
  AppendMask(text);
}

std::string FileChooser::Ask(bool restorePath) {
  std::string result;
  std::error_code ec;
  if (restorePath) savePath = std::filesystem::current_path(ec).string();
  // A default directory that cannot be entered leaves the dialog where the program is.
  if (!defaultDirectory.empty()) std::filesystem::current_path(defaultDirectory, ec);
  result = defaultFile;
  const std::string_view filter = maskString.empty() ? kAllFiles : std::string_view(maskString);
  if (!dialog || !dialog(windowTitle, result, filter, flags)) result.clear();
  if (restorePath && !savePath.empty()) std::filesystem::current_path(savePath, ec);
  return result;
}

}  // namespace cinevo::classlib
