#include "runtime/ui/file_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <unistd.h>

#include <cctype>

#include "platform/window/native_window.h"

namespace cinevo {
namespace {

FileDialogResponder& Responder() {
  static FileDialogResponder responder;  // GUI thread only
  return responder;
}

std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t at = s.find(sep, start);
    parts.push_back(s.substr(start, at == std::string_view::npos ? s.npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool Glob(std::string_view name, std::string_view pattern) {
  // Iterative matching with one remembered "*": linear in practice, no recursion.
  size_t n = 0, p = 0, star = std::string_view::npos, mark = 0;
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string Bytes(const QString& s) {
  QByteArray b = QFile::encodeName(s);
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

std::optional<std::string> ShowReal(const FileDialogRequest& r) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return std::nullopt;
  QFileDialog dialog(QApplication::activeWindow(), platform::BytesToQString(r.title));
  QStringList filters;
  for (const std::string& f : FileDialogNameFilters(r.filter)) filters << platform::BytesToQString(f);
  dialog.setNameFilters(filters);
  // Patterns such as "*.AVI" must also find "movie.avi".
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  if (r.flags & file_dialog_flag::kSave) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
  } else {
    dialog.setFileMode((r.flags & file_dialog_flag::kMultiple) ? QFileDialog::ExistingFiles
                                                               : QFileDialog::ExistingFile);
  }
  if (!r.file.empty()) {
    QFileInfo start(QFile::decodeName(QByteArray::fromStdString(r.file)));
    if (start.isDir()) {
      dialog.setDirectory(start.absoluteFilePath());
    } else {
      dialog.setDirectory(start.absolutePath());
      dialog.selectFile(start.fileName());
    }
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::string chosen;
  for (const QString& f : dialog.selectedFiles()) {
    if (!chosen.empty()) chosen += ',';
    chosen += Bytes(QDir::toNativeSeparators(f));
  }
  return chosen;
}

}  // namespace

std::vector<std::string> FileDialogNameFilters(std::string_view filter) {
  std::vector<std::string> out;
  std::vector<std::string_view> parts = Split(filter, '|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string patterns;
    for (std::string_view p : Split(parts[i + 1], ';')) {
      p = Trim(p);
      if (p.empty()) continue;
      if (!patterns.empty()) patterns += ' ';
      patterns += p;
    }
    if (patterns.empty()) continue;
    out.push_back(std::string(Trim(parts[i])) + " (" + patterns + ")");
  }
  if (out.empty()) out.emplace_back("All Files (*.*)");
  return out;
}

bool FileNameMatches(std::string_view name, std::string_view patterns) {
  for (std::string_view p : Split(patterns, ';')) {
    p = Trim(p);
    // "*.*" means every file, also one without an extension.
    if (p == "*.*" || p == "*") return true;
    if (!p.empty() && Glob(name, p)) return true;
  }
  return false;
}

bool FileDialog(std::string_view title, std::string& file, std::string_view filter,
                unsigned flags) {
  FileDialogRequest request{std::string(title), file, std::string(filter), flags};
  std::optional<std::string> chosen = Responder() ? Responder()(request) : ShowReal(request);
  if (!chosen) return false;
  file = *chosen;
  if (!(flags & file_dialog_flag::kKeepDirectory) && !file.empty()) {
    std::string first = file.substr(0, file.find(','));
    size_t slash = first.rfind('/');
    if (slash != std::string::npos) {
      std::string folder = slash == 0 ? "/" : first.substr(0, slash);
      if (::chdir(folder.c_str()) != 0) {
        // The folder went away meanwhile; the choice itself still stands.
      }
    }
  }
  return true;
}

FileDialogResponder SetFileDialogResponder(FileDialogResponder responder) {
  FileDialogResponder previous = std::move(Responder());
  Responder() = std::move(responder);
  return previous;
}

ScriptedFileDialogs::ScriptedFileDialogs() {
  previous_ = SetFileDialogResponder([this](const FileDialogRequest& r) -> std::optional<std::string> {
    shown_.push_back(r);
    if (answers_.empty()) return std::nullopt;
    std::optional<std::string> a = std::move(answers_.front());
    answers_.pop_front();
    return a;
  });
}

ScriptedFileDialogs::~ScriptedFileDialogs() { SetFileDialogResponder(std::move(previous_)); }

}  // namespace cinevo
